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

#include "Main.h"
#include "Operation.h"
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
      QCOMPARE(m.size(), QSize(avail.width() / 2, avail.height() / 2));
      QCOMPARE(qobject_cast<QMdiSubWindow*>(views.Stations->parentWidget())->geometry(), stations);
      QVERIFY(m.close());
    }
    // A place saved on a larger screen is brought within this one.
    TIniFile(AppPaths().SettingsFile()).WriteString("Windows", "Main", "-100,-50,5000,4000");
    TTestMainForm m(SysData(), pbx.Actions(), false);
    m.show();
    QVERIFY(avail.contains(m.frameGeometry()));
  }
};

QTEST_MAIN(MainTest)
#include "MainTest.moc"
