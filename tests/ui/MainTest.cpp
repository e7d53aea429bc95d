// The frame window: enabled states, the connection and its messages, file handling, the
// recent files and the data-changed notification.
#include <QAction>
#include <QListWidget>
#include <QStatusBar>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QScreen>
#include <QGuiApplication>
#include <QSet>
#include <QMdiSubWindow>
#include <QMdiArea>
#include <QLabel>

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include "Check.h"
#include "CompareDlg.h"
#include "Main.h"
#include "Operation.h"
#include "PbxModel.h"
#include "ReadAll.h"
#include "UploadCheck.h"
#include "WhenModal.h"
#include "Paths.h"
#include "Profile.h"
#include "RecordingFeedback.h"
#include "Stream.h"
#include "SysData.h"
#include "TempDir.h"
#include "TestMainForm.h"
#include "Views.h"

namespace {

struct TFakePbx {
  int Result = 0;
  int Connects = 0, Disconnects = 0;
  bool CarrierHandlerSet = false;
  std::string Why;
  std::function<void()> DuringConnect;
  bool DumpComplete = true;

  TPbxActions Actions() {
    TPbxActions a;
    a.Connect = [this] {
      ++Connects;
      if (DuringConnect) DuringConnect();
      return Result;
    };
    a.Disconnect = [this] { ++Disconnects; };
    a.PbxVersion = [] { return std::string("Y501A-1234"); };
    a.ConnectErrorText = [this] { return Why; };
    a.SetOnCarrierLost = [this](std::function<void()> F) { CarrierHandlerSet = bool(F); };
    a.StoreDump = [this](TStream& S) {
      S.Write("PBX listing\r\n", 13);
      return DumpComplete;
    };
    return a;
  }
};

}  // namespace

class MainTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TTempDir> fDir;

 private slots:
  void init() {
    fDir = std::make_unique<TTempDir>();
    FreshProgramState(*fDir);
  }

  void EnabledStatesFollowTheOnlineFlag() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), true);
    QVERIFY(m.Action("StoreDumpAct")->isVisible());
    QVERIFY(!m.Action("StoreDumpAct")->isEnabled());
    QVERIFY(m.Action("ConnectAct")->isEnabled());
    QVERIFY(!m.Action("ReadAct")->isEnabled());
    QVERIFY(!m.Action("DisconnectBtn")->isEnabled());
    QCOMPARE(m.StatusText(0), QString("OFF LINE"));
    m.SetOnline(true);
    QVERIFY(!m.Action("ConnectAct")->isEnabled());
    QVERIFY(!m.Action("ModemAct")->isEnabled());
    QVERIFY(m.Action("UploadBtn")->isEnabled());
    QVERIFY(m.Action("StoreDumpAct")->isEnabled());
    QCOMPARE(m.StatusText(0), QString("ON LINE"));
    QCOMPARE(m.StatusText(1), QString(" Y501A-1234"));
    QVERIFY(m.Action("NewAct")->isEnabled());

    TTestMainForm plain(SysData(), pbx.Actions(), false);
    QVERIFY(!plain.Action("StoreDumpAct")->isVisible());
  }

  void ConnectWarningFlagAndMessages() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    SysData().Settings.Sounds[2] = "/s/cue2.wav";

    // No, with the check box cleared: nothing connects, and the warning is gone for good.
    f.Answers = {false};
    f.ShowAgainAnswers = {false};
    QVERIFY(!m.Connect());
    QCOMPARE(pbx.Connects, 0);
    QVERIFY(!SysData().Settings.ShowConnectWarn);

    pbx.Result = 5;
    QVERIFY(!m.Connect());
    QCOMPARE(f.Warnings.size(), size_t(1));
    QCOMPARE(f.Errors.back(), std::string("Bad access password!\rPlease, set correct one in the "
                                          "dialog \"Settings->System\""));
    QCOMPARE(f.TopInfos.back(), std::string("Connecting.."));
    QVERIFY(f.TopInfoHidden >= 1);
    QVERIFY(!SysData().OnLine);

    pbx.Result = 1;
    pbx.Why = "/dev/ttyUSB0: permission denied; join the dialout group";
    m.Connect();
    QCOMPARE(f.Errors.back(),
             std::string("Failed do initialize COM-port!\rMay be already used by another "
                         "program?\r\r/dev/ttyUSB0: permission denied; join the dialout group"));
    pbx.Result = 7;
    m.Connect();
    // The number stays for support; the words say what failed.
    QCOMPARE(f.Errors.back().rfind("Connection failed (Error=7)!\rThe PBX stopped answering", 0),
             size_t(0));

    pbx.Result = 0;
    SysData().Version.ExtendedSpeedDial = 0;
    QVERIFY(m.Connect());
    QVERIFY(SysData().OnLine);
    QCOMPARE(int(SysData().Version.ExtendedSpeedDial), 1);  // the model was set
    QCOMPARE(f.Sounds.size(), size_t(4));  // the cue ends every attempt, failed or not
  }

  void SecondConnectWhileOneRunsOnlyBeeps() {
    TRecordingFeedback f;
    TFakePbx pbx;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    bool nested = true;
    pbx.DuringConnect = [&] { nested = m.Connect(); };
    QVERIFY(m.Connect());
    QVERIFY(!nested);
    QCOMPARE(pbx.Connects, 1);
  }

  void DisconnectDropsTheCarrierHandlerFirst() {
    TRecordingFeedback f;
    TFakePbx pbx;
    SysData().Settings.Sounds[1] = "/s/bye.wav";
    TTestMainForm m(SysData(), pbx.Actions(), false);
    m.SetOnline(true);
    pbx.CarrierHandlerSet = true;
    m.Disconnect();
    QVERIFY(!pbx.CarrierHandlerSet);
    QCOMPARE(pbx.Disconnects, 1);
    QVERIFY(!SysData().OnLine);
    QCOMPARE(f.Sounds, (std::vector<std::string>{"/s/bye.wav"}));
    QCOMPARE(f.TopInfos.back(), std::string("Disconnecting.."));

    m.SetOnline(true);
    m.CarrierLost();
    QVERIFY(!SysData().OnLine);
    QCOMPARE(f.Errors.back(), std::string("Modem carrier is lost - disconnected!"));
  }

  void ClosingWhileOnlineDisconnectsFirst() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    m.show();
    m.SetOnline(true);
    QVERIFY(m.close());
    QCOMPARE(pbx.Disconnects, 1);
  }

  void NewOpenSaveAndTheRecentList() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    QSignalSpy changed(&m, &TMainForm::DataChanged);

    SysData().Cmd103S.SetData("103S/1/");
    m.NextFile = QString::fromStdString(fDir->File("a.ta"));
    QVERIFY(m.Save());  // no current name: Save As
    QCOMPARE(m.CurrentFileName(), fDir->File("a.ta"));
    QCOMPARE(m.StatusText(2), QString("a.ta"));
    m.NextFile = QString::fromStdString(fDir->File("b.ta"));
    QVERIFY(m.SaveAs());
    m.NextFile = QString::fromStdString(fDir->File("c.ta"));
    QVERIFY(m.SaveAs());
    QCOMPARE(m.RecentFiles().Entries(),
             (std::vector<std::string>{fDir->File("c.ta"), fDir->File("b.ta"), fDir->File("a.ta")}));
    m.NextFile.clear();
    QVERIFY(!m.SaveAs());  // cancelled: nothing changes
    QCOMPARE(m.CurrentFileName(), fDir->File("c.ta"));

    m.New();
    QCOMPARE(SysData().Cmd103S.Data(), std::string());
    QCOMPARE(m.CurrentFileName(), std::string());
    QCOMPARE(changed.count(), 0);  // posted, not called
    QTRY_COMPARE(changed.count(), 1);

    m.OpenRecent(fDir->File("a.ta"));  // the third entry trades places with the first
    QCOMPARE(SysData().Cmd103S.Data(), std::string("103S/1/"));
    QCOMPARE(m.RecentFiles().Entries(),
             (std::vector<std::string>{fDir->File("a.ta"), fDir->File("b.ta"), fDir->File("c.ta")}));
    QTRY_COMPARE(changed.count(), 2);
    QCOMPARE(m.Action("RecentFile1")->text(), QString("a.ta"));

    std::remove(fDir->File("b.ta").c_str());
    m.OpenRecent(fDir->File("b.ta"));
    QCOMPARE(f.Errors.back(), "File \r" + fDir->File("b.ta") + "\r not exists!");
    QCOMPARE(m.RecentFiles().Entries().size(), size_t(2));
    QVERIFY(m.Action("RecentFile3") == nullptr);
  }

  // Faults caught: the entry wired to New (an empty store), the factory lines taken as read
  // from a PBX (not changed: an upload would send none), the model's setting ignored.
  void NewFromFactoryDataHoldsWhatANewPbxOfTheModelHolds() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    for (const int type : {2, 0}) {
      SysData().Settings.PBXtype = uint8_t(type);
      m.Action("NewFactoryAct")->trigger();
      const TCmdData& hold = SysData().Cmd200S;
      QCOMPARE(hold.Data(), std::string("200S/1/"));
      QVERIFY(hold.Changed);
      QVERIFY(hold.PbxText.empty());
      QCOMPARE(SysData().Extensions.Jacks(8).BlockOf("604E").Data(), std::string("604E08/^/"));
      QCOMPARE(SysData().Extensions.Jacks(9).BlockOf("604E").Data().empty(), type == 0);
      QCOMPARE(m.CurrentFileName(), std::string());
    }
    SysData().Settings.PBXtype = 2;
  }

  void ReadAsksBeforeReplacingFileData() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    SysData().HaveFileData = true;
    SysData().Cmd103S.SetData("103S/1/");
    f.Answers = {false};
    m.ReadFromPbx();
    QCOMPARE(f.Questions,
             (std::vector<std::string>{"Already have actual data!\rWould you like to re-read them?"}));
    f.Answers = {false};
    m.UploadToPbx();
    QCOMPARE(f.Questions.back(), std::string("Upload data to PBX?"));
  }

  void DumpGoesToTheChosenFileWithoutTruncatingItFirst() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), true);
    fDir->Write("old.log", "old dump");
    m.NextFile = QString::fromStdString(fDir->File("old.log"));
    m.StoreDump();
    QCOMPARE(fDir->Read("old.log"), std::string("PBX listing\r\n"));
    QVERIFY(f.Errors.empty());
  }

  void IncompleteDumpKeepsTheEarlierFile() {
    TRecordingFeedback f;
    TFakePbx pbx;
    pbx.DumpComplete = false;
    TTestMainForm m(SysData(), pbx.Actions(), true);
    fDir->Write("old.log", "old dump");
    m.NextFile = QString::fromStdString(fDir->File("old.log"));
    m.StoreDump();
    QCOMPARE(fDir->Read("old.log"), std::string("old dump"));
    QCOMPARE(f.Errors.size(), size_t(1));
    QVERIFY2(f.Errors[0].find("listing is incomplete") != std::string::npos, f.Errors[0].c_str());
  }

  void UploadOfAStoreWithoutDataSaysSoAndAsksNothing() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    m.SetOnline(true);
    f.Answers = {true};
    m.UploadToPbx();
    QVERIFY(f.Questions.empty());
    QCOMPARE(f.Errors,
             (std::vector<std::string>{"The configuration holds no PBX data: nothing to upload."}));
  }

  void APbxOperationDisablesWhatWouldStartAnotherAndTheViewsRefuseDialogs() {
    TRecordingFeedback f;
    TFakePbx pbx;
    int aborts = 0;
    TPbxActions actions = pbx.Actions();
    actions.RequestAbort = [&aborts] { ++aborts; };
    TTestMainForm m(SysData(), actions, true);
    const TViews views = CreateViews(m, SysData());
    int opened = 0;
    ViewDialogs().COLines = [&opened](QWidget*, const TIntegerList&) { return ++opened > 0; };
    m.show();
    m.SetOnline(true);
    views.Trunks->COList()->setCurrentRow(0);
    const char* const starters[] = {"DisconnectAct", "DisconnectBtn", "ReadAct", "UploadAct",
                                    "StoreDumpAct", "NewAct", "OpenAct"};
    {
      TPbxOperation op("Reading from the PBX");
      for (const char* a : starters) QVERIFY2(!m.Action(a)->isEnabled(), a);
      m.Disconnect();  // called directly, as a shortcut would
      QCOMPARE(pbx.Disconnects, 0);
      QVERIFY(SysData().OnLine);
      views.Trunks->EditCO();
      QCOMPARE(opened, 0);
      QVERIFY(m.statusBar()->currentMessage().contains("Reading from the PBX is in progress"));
      // Closing asks, asks the session to stop, and waits for the operation to end.
      f.Answers = {true};
      QVERIFY(!m.close());
      QCOMPARE(aborts, 1);
    }
    for (const char* a : starters) QVERIFY2(m.Action(a)->isEnabled(), a);
    views.Trunks->EditCO();
    QCOMPARE(opened, 1);
    // The close asked for comes once the operation has ended, goodbye first.
    QTRY_COMPARE(pbx.Disconnects, 1);
    QVERIFY(!m.isVisible());
    // A dialog that does not exist yet says so instead of doing nothing.
    ViewDialogs().COLines = nullptr;
    views.Trunks->EditCO();
    QVERIFY(m.statusBar()->currentMessage().contains("not available"));
  }

  void UnsavedWorkIsMarkedAndAskedAboutBeforeItIsReplaced() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    SysData().Cmd103S.SetData("103S/1/");
    m.NextFile = QString::fromStdString(fDir->File("site.ta"));
    QVERIFY(m.Save());
    QVERIFY(!m.HasUnsavedWork());
    QVERIFY(!m.windowTitle().startsWith('*'));
    QVERIFY(m.windowTitle().startsWith("site.ta - "));
    SysData().Cmd103S.SetItemStr(1, "0");
    m.UpdateTitle();
    QVERIFY(m.HasUnsavedWork());
    QVERIFY(m.windowTitle().startsWith("*site.ta - "));
    // Cancel keeps everything; Save writes the file first; Discard drops the edit.
    m.NextChoice = TMainForm::ucCancel;
    m.New();
    QCOMPARE(SysData().Cmd103S.Data(), std::string("103S/0/"));
    QVERIFY(!m.close());
    QVERIFY(m.UnsavedQuestions.size() == 2);
    QVERIFY(m.UnsavedQuestions[0].contains("\"site.ta\" holds changes"));
    m.NextChoice = TMainForm::ucSave;
    m.New();
    QCOMPARE(SysData().Cmd103S.Data(), std::string());
    TSysData saved;
    QVERIFY(saved.LoadFromFile(fDir->File("site.ta")));
    QCOMPARE(saved.Cmd103S.Data(), std::string("103S/0/"));
    QVERIFY(m.OpenFile(fDir->File("site.ta")));
    QVERIFY(!m.HasUnsavedWork());  // every block waits for upload, yet the file holds them
    SysData().Cmd103S.SetItemStr(1, "1");
    m.NextChoice = TMainForm::ucDiscard;
    m.NextFile = QString::fromStdString(fDir->File("site.ta"));
    m.Open();
    QCOMPARE(SysData().Cmd103S.Data(), std::string("103S/0/"));
    QCOMPARE(m.UnsavedQuestions.size(), 4);
  }

  void WindowMenuShortcutsAndStatusPanels() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TPbxActions actions = pbx.Actions();
    actions.PbxVersion = [] { return std::string("Y581M KX-TA624 V2.10"); };
    TTestMainForm m(SysData(), actions, false);
    const TViews views = CreateViews(m, SysData());
    m.resize(900, 640);
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    // Ctrl+C and Ctrl+V reach the view that has the focus.
    views.Stations->ExtList()->setFocus();
    views.Stations->ExtList()->setCurrentRow(0);
    QTest::keyClick(views.Stations->ExtList(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(views.Stations->ExtCopySource(), 1);
    views.Stations->ExtList()->setCurrentRow(1);
    QTest::keyClick(views.Stations->ExtList(), Qt::Key_V, Qt::ControlModifier);
    QVERIFY(!f.Infos.empty());  // jack 1 holds no data: the paste said so
    QVERIFY(f.Infos.back().find("nothing to copy") != std::string::npos);

    // Side by side, one above the other, the minimised ones in a row at the bottom.
    const QRect area = m.MdiArea()->viewport()->rect();
    auto windows = [&m] { return m.MdiArea()->subWindowList(); };
    m.Action("TileHorAct")->trigger();
    for (QMdiSubWindow* w : windows()) QCOMPARE(w->height(), area.height());
    m.Action("TileVerAct")->trigger();
    for (QMdiSubWindow* w : windows()) QCOMPARE(w->width(), area.width());
    QSet<int> tops;
    for (QMdiSubWindow* w : windows()) tops << w->y();
    QCOMPARE(tops.size(), 3);
    m.Action("MinimizeAllAct")->trigger();
    m.Action("ArrangeAllAct")->trigger();
    QSet<int> lefts;
    for (QMdiSubWindow* w : windows()) {
      QCOMPARE(w->geometry().bottom(), area.bottom());
      lefts << w->x();
    }
    QCOMPARE(lefts.size(), 3);
    // The separator stands between Arrange All and the views.
    QList<QAction*> menu;
    for (QMenu* mm : m.findChildren<QMenu*>())
      if (mm->actions().contains(m.Action("ArrangeAllAct"))) menu = mm->actions();
    const qsizetype at = menu.indexOf(m.Action("ArrangeAllAct"));
    QVERIFY(menu.value(at + 1) && menu.value(at + 1)->isSeparator());
    QCOMPARE(menu.value(at + 2)->text(), QString("Stations"));

    // The PBX actions have keys, every menu an Alt letter, every action a status-bar hint.
    for (const char* a : {"ConnectAct", "DisconnectAct", "ReadAct", "UploadAct"})
      QVERIFY2(!m.Action(a)->shortcut().isEmpty(), a);
    for (QAction* top : m.menuBar()->actions()) QVERIFY2(top->text().contains('&'), qPrintable(top->text()));
    for (QAction* a : m.findChildren<QAction*>())
      if (!a->isSeparator() && !a->objectName().isEmpty() && a->objectName().endsWith("Act"))
        QVERIFY2(!a->statusTip().isEmpty(), qPrintable(a->objectName()));

    // Every panel shows its text whole.
    m.SetOnline(true);
    for (int i = 0; i < 2; ++i) {
      auto* panel = m.findChild<QLabel*>(QString("StatusPanel%1").arg(i));
      QFont font = panel->font();
      if (i == 0) font.setBold(true);
      QVERIFY2(QFontMetrics(font).horizontalAdvance(panel->text()) < panel->width(),
               qPrintable(panel->text()));
    }
    m.SetOnline(false);
    auto* state = m.findChild<QLabel*>("StatusPanel0");
    QFont bold = state->font();
    bold.setBold(true);
    QVERIFY(QFontMetrics(bold).horizontalAdvance("OFF LINE") < state->width());
  }

  // A value the PBX would refuse is listed before anything is sent: Enter (Cancel, the
  // default) sends nothing, "Upload anyway" sends the configuration as it stands.
  void UploadListsWhatThePbxWouldRefuseFirst() {
    TRecordingFeedback f;
    TFakePbx fake;
    TPbxModel pbx;
    TReadAllDlg::SetStaysOpenOnErrors(false);
    TTestMainForm m(SysData(), fake.Actions(), false);
    m.SetOnline(true);
    SysData().Cmd103S.SetData("103S/1/");
    SysData().List001S.Add().SetData("001S07/01A3/");  // a letter in a dial code
    pbx.SetLine("103S/0/");  // what the backup before the upload finds
    pbx.SetLine("001S07/^/");
    QStringList row;
    bool cancelIsDefault = false, closedByKey = false;
    WhenModal([&](QWidget* W) {
      auto* dlg = qobject_cast<TUploadCheckDlg*>(W);
      if (!dlg) {
        W->close();
        return;
      }
      QTableWidget* t = dlg->Table();
      for (int c = 0; c < t->columnCount() && t->rowCount() == 1; ++c) row << t->item(0, c)->text();
      cancelIsDefault = dlg->CancelButton()->isDefault() && !dlg->UploadButton()->isDefault();
      QTest::keyClick(t, Qt::Key_Return);  // from the list, Enter is the dialog's
      closedByKey = !dlg->isVisible();
      if (dlg->isVisible()) dlg->reject();  // a failed test must not hang here
    });
    m.UploadToPbx();
    const std::vector<TLineProblem> problems = CheckStore(SysData());
    QCOMPARE(problems.size(), size_t(1));
    QCOMPARE(row, (QStringList{"001S07", "Speed dial number", "1", "01A3",
                               QString::fromStdString(problems[0].Allowed)}));
    QVERIFY(!problems[0].Allowed.empty());
    QVERIFY(cancelIsDefault);
    QVERIFY(closedByKey);
    QVERIFY(pbx.Sent.empty());
    QVERIFY(f.Questions.empty());  // the list is the question

    bool shown = false;
    WhenModal([&](QWidget* W) {
      auto* dlg = qobject_cast<TUploadCheckDlg*>(W);
      if (!dlg) {
        W->close();
        return;
      }
      shown = true;
      dlg->UploadButton()->click();
    });
    m.UploadToPbx();
    QVERIFY(shown);
    QVERIFY(f.Questions.empty());
    auto sent = [&pbx](const std::string& Line) {
      return std::find(pbx.Sent.begin(), pbx.Sent.end(), Line) != pbx.Sent.end();
    };
    QVERIFY(sent("103S/1/"));
    QVERIFY(sent("001S07/01A3/"));  // the PBX judges it now; this one takes it

    // Without such values the upload asks as it always did.
    SysData().List001S.Items(0).SetData("001S07/0123/");
    pbx.Sent.clear();
    f.Answers = {false};
    m.UploadToPbx();
    QCOMPARE(f.Questions, (std::vector<std::string>{"Upload data to PBX?"}));
    QVERIFY(pbx.Sent.empty());
    TReadAllDlg::SetStaysOpenOnErrors(true);
  }

  // The differences with a data file, item by item, in a window of their own; the window's
  // configuration, file name and changed flags stay as they were. A file that cannot be read
  // gives the loader's message; an equal one says so.
  void CompareWithFileListsTheDifferencesAndTouchesNothing() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    TSysData& s = SysData();
    s.Cmd103S.SetData("103S/1/");
    s.Extensions.Jacks(3).BlockOf("604E").SetData("604E03/Office    /");
    m.NextFile = QString::fromStdString(fDir->File("site.ta"));
    QVERIFY(m.SaveAs());
    s.Cmd103S.SetData("103S/0/");
    s.Extensions.Jacks(3).BlockOf("604E").SetData("604E03/Desk      /");
    s.COLines.Lines(2).BlockOf("403C").SetData("403C2/1/");
    s.Cmd103S.Changed = false;  // as if uploaded: the flag must stay so
    m.UpdateTitle();
    const QString title = m.windowTitle();
    std::string image;
    ForEachFileBlock(s, [&image](const TCmdData& B) {
      image += B.Data() + (B.Changed ? "+" : "-");
    });
    const auto recent = m.RecentFiles().Entries();

    m.CompareWithFile();
    auto* wnd = m.findChild<TCompareDlg*>();
    QVERIFY(wnd && wnd->isVisible());
    QTableWidget* t = wnd->Table();
    auto rows = [t] {
      QStringList r;
      for (int i = 0; i < t->rowCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < t->columnCount(); ++c) cells << t->item(i, c)->text();
        r << cells.join('|');
      }
      return r;
    };
    // Data-file order: the extensions, the CO lines, the single blocks.
    QCOMPARE(rows(), (QStringList{"604E03|Extension name|1|Desk      |Office    ",
                                  "403C2|Host PBX access codes|block|403C2/1/|(no such block)",
                                  "103S|Voice mail DTMF codes|1|0|1"}));
    QCOMPARE(t->horizontalHeaderItem(TCompareDlg::colFile)->text(), QString("In site.ta"));
    QVERIFY(wnd->Summary().startsWith("3 differences"));
    t->horizontalHeader()->setSortIndicator(TCompareDlg::colProgram, Qt::AscendingOrder);
    QCOMPARE(t->item(0, 0)->text(), QString("103S"));
    QCOMPARE(t->item(2, 0)->text(), QString("604E03"));
    t->horizontalHeader()->setSortIndicator(TCompareDlg::colItem, Qt::AscendingOrder);
    QCOMPARE(t->item(0, TCompareDlg::colItem)->text(), QString("block"));

    std::string after;
    ForEachFileBlock(s, [&after](const TCmdData& B) {
      after += B.Data() + (B.Changed ? "+" : "-");
    });
    QCOMPARE(after, image);
    QCOMPARE(m.CurrentFileName(), fDir->File("site.ta"));
    QCOMPARE(m.RecentFiles().Entries(), recent);
    m.UpdateTitle();
    QCOMPARE(m.windowTitle(), title);

    // Files that cannot be read: the loader's own message, and no window.
    fDir->Write("notes.ta", "not a data file at all, just some words");
    const struct {
      std::string File;
      std::string MessageStart;
    } bad[] = {{fDir->File("missing.ta"), "Cannot load data file"},
               {fDir->File("notes.ta"), "It is not PANASONIC KX-TA data file!"}};
    for (const auto& b : bad) {
      f.Errors.clear();
      QVERIFY(!m.CompareWithFile(b.File));
      QCOMPARE(f.Errors.size(), size_t(1));
      QVERIFY2(f.Errors[0].rfind(b.MessageStart, 0) == 0, f.Errors[0].c_str());
    }
    QCOMPARE(m.findChildren<TCompareDlg*>().size(), 1);

    // The same configuration: a message, no list; a new comparison replaces the old window.
    m.NextFile = QString::fromStdString(fDir->File("same.ta"));
    QVERIFY(m.SaveAs());
    QVERIFY(m.CompareWithFile(fDir->File("same.ta")));
    QVERIFY(!f.Infos.empty() && f.Infos.back().find("no difference") != std::string::npos);
    QVERIFY(m.CompareWithFile(fDir->File("site.ta")));
    QCOMPARE(m.findChildren<TCompareDlg*>().size(), 1);
  }

  // The pending changes: a count in the status bar and bold entries in the views, after edits
  // (a dialog's OK and a paste tell the frame), a save (which uploads nothing), a load and New.
  void PendingChangesAreCountedAndMarked() {
    TRecordingFeedback f;
    TFakePbx pbx;
    TTestMainForm m(SysData(), pbx.Actions(), false);
    const TViews views = CreateViews(m, SysData());
    TSysData& s = SysData();
    QCOMPARE(m.StatusText(3), QString("No changes"));
    auto bold = [](QListWidget* List) {
      QList<int> rows;
      for (int i = 0; i < List->count(); ++i)
        if (List->item(i)->font().bold()) rows << i;
      return rows;
    };
    const struct {
      const char* What;
      std::function<void()> Edit;
      int Count;
      QList<int> Ext, DSS, CO;
    } steps[] = {
        {"a name", [&] { s.Extensions.Jacks(2).BlockOf("604E").SetData("604E02/Office    /"); },
         1, {1}, {}, {}},
        {"a button line", [&] { s.Extensions.Jacks(4).BF.Add().SetData("P04BF01/1/"); },
         2, {1, 3}, {}, {}},
        {"an extension number",
         [&] {
           for (int j = 1; j <= 24; ++j) {
             TCmdData& l = s.Extensions.Cmd009.Add();
             l.SetData(TPbxModel::Line009(j, std::to_string(100 + j)));
             l.Changed = j == 6;
           }
         },
         3, {1, 3, 5}, {}, {}},
        {"a console", [&] { s.DSSConsoles.Consoles(2).Cmd004D.SetData("004D2/05/"); },
         4, {1, 3, 5}, {1}, {}},
        {"a single block", [&] { s.Cmd103S.SetData("103S/1/"); }, 5, {1, 3, 5}, {1}, {}},
        // A CO line's outgoing permission for jack 8, read and then changed: jack 8 alone.
        {"a jack's digit in a shared list",
         [&] {
           TCmdData& l = s.Extensions.SharedList(6).Add();
           l.SetData("405C1/1111 0000,0000 0000,0000 0000/");
           l.PbxText = l.Data();
           l.Changed = false;
           TExtensionArray::SetJackDigit(l, 8, 1);
           l.Changed = true;
         },
         6, {1, 3, 5, 7}, {1}, {}},
    };
    for (const auto& st : steps) {
      st.Edit();
      m.UpdateTitle();
      QCOMPARE(m.StatusText(3), QString("%1 change%2").arg(st.Count).arg(st.Count == 1 ? "" : "s"));
      QCOMPARE(bold(views.Stations->ExtList()), st.Ext);
      QCOMPARE(bold(views.Stations->DSSList()), st.DSS);
      QCOMPARE(bold(views.Trunks->COList()), st.CO);
    }
    // A dialog's OK: the view tells the frame, no data-changed notification needed.
    ViewDialogs().COLines = [&s](QWidget*, const TIntegerList& Lines) {
      s.COLines.Lines(Lines.First()).BlockOf("403C").SetData("403C3/1/");
      return true;
    };
    views.Trunks->COList()->setCurrentRow(2);
    views.Trunks->EditCO();
    ViewDialogs().COLines = nullptr;
    QCOMPARE(m.StatusText(3), QString("7 changes"));
    QCOMPARE(bold(views.Trunks->COList()), QList<int>{2});
    QVERIFY(!views.Trunks->COList()->item(2)->toolTip().isEmpty());

    // Saving uploads nothing; a loaded file waits for its upload as a whole; New has nothing.
    m.NextFile = QString::fromStdString(fDir->File("site.ta"));
    QVERIFY(m.SaveAs());
    QCOMPARE(m.StatusText(3), QString("7 changes"));
    m.New();
    QCOMPARE(m.StatusText(3), QString("No changes"));
    QTRY_VERIFY(bold(views.Stations->ExtList()).isEmpty());
    QVERIFY(m.OpenFile(fDir->File("site.ta")));
    QCOMPARE(m.StatusText(3), QString("%1 changes").arg(7 + 24 - 1));  // every 009 line too
    QTRY_COMPARE(bold(views.Stations->ExtList()).size(), 24);  // each holds its number
    QCOMPARE(bold(views.Trunks->COList()), QList<int>{2});
  }

  void LayoutIsRememberedAndNeverLargerThanTheScreen() {
    TRecordingFeedback f;
    TFakePbx pbx;
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    QRect stations;
    {
      TTestMainForm m(SysData(), pbx.Actions(), false);
      const TViews views = CreateViews(m, SysData());
      m.show();
      QVERIFY(avail.contains(m.frameGeometry()));
      m.setGeometry(40, 50, avail.width() / 2, avail.height() / 2);
      QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(views.Stations->parentWidget());
      sub->setGeometry(5, 6, 250, 200);
      stations = sub->geometry();
      QVERIFY(m.close());
    }
    {
      TTestMainForm m(SysData(), pbx.Actions(), false);
      const TViews views = CreateViews(m, SysData());
      m.show();
      // Fault caught: the frame saved and its size given back to the inside (growing on
      // every start), or the place not given back at all.
      QCOMPARE(m.geometry(), QRect(40, 50, avail.width() / 2, avail.height() / 2));
      QCOMPARE(qobject_cast<QMdiSubWindow*>(views.Stations->parentWidget())->geometry(), stations);
      QVERIFY(m.close());
    }
    // A place saved on a larger screen is brought within this one.
    TIniFile(AppPaths().SettingsFile()).WriteString("Windows", "MainInside", "-100,-50,5000,4000");
    TTestMainForm m(SysData(), pbx.Actions(), false);
    m.show();
    QVERIFY(avail.contains(m.frameGeometry()));
  }
};

QTEST_MAIN(MainTest)
#include "MainTest.moc"
