// The desktop program end to end: the real frame, session, run window and Qt waiting against
// the in-process demo PBX, from Connect to Disconnect, a modem call, and the connect failures a
// PBX and a port give.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QSet>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

#include "ARSdlg.h"
#include "Binding.h"
#include "BtnGrid.h"
#include "ButtonPages.h"
#include "Check.h"
#include "CodeTables.h"
#include "CommKXTA.h"
#include "Compare.h"
#include "DemoLine.h"
#include "DgtEdit.h"
#include "DISAparam.h"
#include "DSSparam.h"
#include "EXTparam.h"
#include "Infotop.h"
#include "Journal.h"
#include "ModemDlg.h"
#include "Paths.h"
#include "QtFeedback.h"
#include "ReadAll.h"
#include "Services.h"
#include "SessionActions.h"
#include "SimPbx.h"
#include "SimSession.h"
#include "SitesDlg.h"
#include "SpeedDial.h"
#include "Groups.h"
#include "SysData.h"
#include "SystemParam.h"
#include "TempDir.h"
#include "TestMainForm.h"
#include "TimerDlg.h"
#include "UploadHistory.h"
#include "Views.h"
#include "WhenModal.h"

namespace {

// The Qt feedback with its boxes recorded and answered Yes instead of shown; waiting, the
// information panel and the progress window are the real ones.
class TAnsweringFeedback : public TQtFeedback {
 public:
  TAnsweringFeedback() { SetFeedback(this); }
  ~TAnsweringFeedback() override { SetFeedback(nullptr); }
  void ShowError(const std::string& Text) override { Errors.push_back(Text); }
  bool Confirm(const std::string& Text) override {
    Questions.push_back(Text);
    return true;
  }
  void ShowInformation(const std::string& Text) override { Infos.push_back(Text); }
  bool ShowMsgAgain(const std::string& Text, bool&, bool YesNo) override {
    Warnings.push_back(Text);
    return YesNo;
  }
  std::vector<std::string> Errors, Questions, Infos, Warnings;
};

// Keeps the title and lines of the last run window as they stood at its last change.
class TRunWatcher : public QObject {
 public:
  TRunWatcher() { qApp->installEventFilter(this); }
  QString Title;
  QStringList Lines;
  std::function<void(TReadAllDlg*)> OnShown;

  bool AllEndWith(const QString& Tail) const {
    for (const QString& l : Lines)
      if (!l.endsWith(Tail)) return false;
    return Lines.size() == 18;
  }

 protected:
  bool eventFilter(QObject* Object, QEvent* Event) override {
    auto* dlg = qobject_cast<TReadAllDlg*>(Object);
    if (dlg && Event->type() == QEvent::Show) {
      Title = dlg->windowTitle();
      Lines = dlg->LineTexts();
      connect(dlg->findChild<QListWidget*>("StepList")->model(), &QAbstractItemModel::dataChanged,
              dlg, [this, dlg] { Lines = dlg->LineTexts(); });
      if (OnShown) OnShown(dlg);
    }
    return false;
  }
};

std::string SimLine(const std::string& Head) {
  std::string line;
  DemoLine().Control([&](TSimPbx& P) { line = P.Line(Head); });
  return line;
}

std::vector<std::string> SimLines() {
  std::vector<std::string> lines;
  DemoLine().Control([&](TSimPbx& P) { lines = P.AllLines(); });
  return lines;
}

// The simulated PBX's lines that differ from Before, sorted.
std::vector<std::string> ChangedSimLines(const std::vector<std::string>& Before) {
  return ChangedLines(Before, SimLines());
}

}  // namespace

class DemoRunTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TTempDir> fDir;
  std::unique_ptr<TKXTAcomm> fComm;

 private slots:
  void initTestCase() { RegisterDemoLine(); }

  void init() {
    fDir = std::make_unique<TTempDir>();
    FreshProgramState(*fDir);
    DemoLine().Control([](TSimPbx& P) {
      P.ResetToFactory();
      P.ClearFaults();
      P.SetDsr(true);
    });
    fComm = std::make_unique<TKXTAcomm>();
    TSessionTiming& t = fComm->Timing;
    t.SlowPause = t.ByePause = 2;
    t.OpenPause = t.LoginPause = t.FailPause = t.DisconnectPause = t.DisconnectTail = 10;
    t.PromptPause = t.ClosePause = 5;
    t.DirectTimeout = 1500;
    fComm->SetErrorLogFile(fDir->File("Error.log"));
    SetPbxComm(fComm.get());
  }

  void cleanup() {
    if (fComm->LoggedIn()) fComm->Disconnect();  // a failed test leaves the demo PBX logged out
    SetPbxComm(nullptr);
    fComm.reset();
  }

  void ConnectReadSaveOpenUploadDumpDisconnect() {
    TAnsweringFeedback f;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), true);
    f.SetMainWindow(&m);
    m.show();
    QSignalSpy changed(&m, &TMainForm::DataChanged);
    TRunWatcher run;

    QVERIFY(m.Connect());
    QCOMPARE(f.Warnings.size(), size_t(1));
    QVERIFY(f.Warnings[0].rfind("Connecting KX-TA PBX will stop all current talks.", 0) == 0);
    QVERIFY(SysData().Settings.ShowConnectWarn);  // answered Yes with the box left checked
    QCOMPARE(m.StatusText(0), QString("ON LINE"));
    QVERIFY2(m.StatusText(1).contains("KX-TA624"), qPrintable(m.StatusText(1)));
    QVERIFY(!m.Action("ConnectAct")->isEnabled());
    QVERIFY(m.Action("ReadAct")->isEnabled() && m.Action("StoreDumpAct")->isEnabled());

    m.ReadFromPbx();
    QCOMPARE(run.Title, QString("Read PBX configuration"));
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QVERIFY(f.Questions.empty());  // nothing loaded before: no re-read question
    QCOMPARE(SysData().Extensions.Cmd009.Count(), 24);
    QTRY_COMPARE(changed.count(), 1);

    // An edit, saved (Save without a name is Save As), the store emptied, the file opened.
    SysData().Cmd103S.SetItemInt(1, SysData().Cmd103S.ItemInt(1) == 1 ? 2 : 1);
    const std::string edited = SysData().Cmd103S.Data();
    QVERIFY(edited != SimLine("103S"));
    m.NextFile = QString::fromStdString(fDir->File("site.ta"));
    QVERIFY(m.Save());
    QCOMPARE(m.StatusText(2), QString("site.ta"));
    m.New();
    QCOMPARE(SysData().Cmd103S.Data(), std::string());
    QVERIFY(m.OpenFile(fDir->File("site.ta")));
    QCOMPARE(SysData().Cmd103S.Data(), edited);

    m.UploadToPbx();
    QCOMPARE(f.Questions, (std::vector<std::string>{"Upload data to PBX?"}));
    QCOMPARE(run.Title, QString("Save PBX configuration"));
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QCOMPARE(SimLine("103S"), edited);

    m.NextFile = QString::fromStdString(fDir->File("site.log"));
    m.StoreDump();
    const std::string dump = fDir->Read("site.log");
    QVERIFY2(dump.find(edited) != std::string::npos, dump.substr(0, 400).c_str());
    QVERIFY(dump.find("009S24") != std::string::npos);

    m.Disconnect();
    QVERIFY(!SysData().OnLine);
    QCOMPARE(m.StatusText(0), QString("OFF LINE"));
    QVERIFY(m.Action("ConnectAct")->isEnabled() && !m.Action("ReadAct")->isEnabled());
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
    QVERIFY(f.Infos.empty());
  }

  // Stop pressed as the run window opens: the read ends at once, says so, still has the views
  // rebuilt, and leaves the session fit for the next run.
  void StoppedReadRebuildsTheViewsAndTheNextReadWorks() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    QSignalSpy changed(&m, &TMainForm::DataChanged);
    TRunWatcher run;
    QVERIFY(m.Connect());
    run.OnShown = [](TReadAllDlg* Dlg) { Dlg->Stop(); };
    m.ReadFromPbx();
    QCOMPARE(f.Infos, (std::vector<std::string>{"Read operation aborted."}));
    QCOMPARE(run.Lines.size(), 19);  // pressed before any step: a line of its own
    QCOMPARE(run.Lines.last(), QString("Wait for abort.."));
    QVERIFY(!run.Lines[0].endsWith(" - Ok"));
    QTRY_COMPARE(changed.count(), 1);

    run.OnShown = nullptr;
    m.ReadFromPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QTRY_COMPARE(changed.count(), 2);
    m.Disconnect();
    QVERIFY(f.Errors.empty());
  }

  // During a real read every other way to the PBX is closed: a second read, a Disconnect, a
  // dialog. The read ends Ok, online; a close asked for meanwhile stops it and then quits.
  void OneOperationAtATimeDuringARead() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    m.show();
    const TViews views = CreateViews(m, SysData());
    views.Trunks->COList()->setCurrentRow(0);
    int opened = 0;
    ViewDialogs().COLines = [&opened](QWidget*, const TIntegerList&) { return ++opened > 0; };
    TRunWatcher run;
    int runs = 0;
    QVERIFY(m.Connect());
    run.OnShown = [&](TReadAllDlg* Dlg) {
      ++runs;
      Dlg->OnStepStarted = [&](const TGroup& G) {
        if (G.Id != grCOLines) return;
        QVERIFY(!m.Action("ReadAct")->isEnabled() && !m.Action("DisconnectAct")->isEnabled());
        m.ReadFromPbx();
        m.Disconnect();
        m.StoreDump();
        views.Trunks->EditCO();
      };
    };
    m.ReadFromPbx();
    QCOMPARE(runs, 1);
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QVERIFY(SysData().OnLine);
    QCOMPARE(opened, 0);
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());

    run.OnShown = [&](TReadAllDlg* Dlg) {
      Dlg->OnStepStarted = [&](const TGroup& G) {
        if (G.Id == grCOLines) m.close();
      };
    };
    m.ReadFromPbx();
    QCOMPARE(f.Infos.back(), std::string("Read operation aborted."));
    QTRY_VERIFY(!m.isVisible());
    QVERIFY(!SysData().OnLine);
    QVERIFY(!fComm->LoggedIn());
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
    ViewDialogs().COLines = nullptr;
  }

  // The system dialogs online against the simulated PBX: a timer and a speed dial changed in
  // their dialogs reach the PBX and nothing else does; plan 3 chosen in the system parameters
  // gives two-digit numbers, which the stations window shows after a read.
  void SystemDialogsProgramTheSimulatedPbx() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    SysData().OnDataChanged = [&m] { m.PostDataChanged(); };
    m.show();
    const TViews views = CreateViews(m, SysData());
    QVERIFY(m.Connect());
    TRunWatcher run;
    m.ReadFromPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    const std::vector<std::string> before = SimLines();

    const std::string hold = SimLine("200S") == "200S/1/" ? "200S/2/" : "200S/1/";
    WhenModal([&](QWidget* d) {
      d->findChild<QComboBox*>("HoldRecallCb")->setCurrentIndex(hold == "200S/2/" ? 2 : 1);
      d->findChild<QPushButton*>("OkBtn")->click();
    });
    EditTimers(&m, false);
    WhenModal([](QWidget* d) {
      qobject_cast<TSpeedDialDlg*>(d)->Grid()->item(7, 1)->setText("0123*45");
      d->findChild<QPushButton*>("OkBtn")->click();
    });
    EditSpeedDials(&m, false);
    QCOMPARE(ChangedSimLines(before), (std::vector<std::string>{"001S07/0123*45/", hold}));
    // Each dialog's upload is journaled and backed up like any other, with the line as the
    // PBX held it before (fault caught: dialog writes that bypass the journal and the backup).
    {
      std::map<std::string, std::string> was;
      for (const std::string& l : before) was[BlockHead(l)] = l;
      const std::vector<TJournalRun> runs = ReadJournal(JournalFile());
      QCOMPARE(runs.size(), size_t(2));
      for (const TJournalRun& r : runs) {
        QVERIFY2(r.Mode.rfind("dialog", 0) == 0, r.Mode.c_str());
        QCOMPARE(r.End, std::string("ok"));
        QCOMPARE(r.Blocks.size(), size_t(1));
        const TJournalBlock& b = r.Blocks[0];
        QVERIFY(b.Taken());
        QCOMPARE(b.Before, was[b.Head]);
        TSysData backup;
        QVERIFY2(backup.LoadFromFile(r.Backup), r.Backup.c_str());
        QCOMPARE(FileBlockTexts(backup), std::vector<std::string>{was[b.Head]});
      }
    }

    WhenModal([](QWidget* d) {
      d->findChild<QComboBox*>("NumPlanCb")->setCurrentIndex(2);
      d->findChild<QPushButton*>("OkBtn")->click();
    });
    EditSystemParams(&m, false);
    QCOMPARE(SimLine("009S00"), std::string("009S00/3/"));
    QCOMPARE(SimLine("009S01").substr(0, 9), std::string("009S01/11"));
    QCOMPARE(SysData().Extensions.Cmd009.Count(), 0);
    m.ReadFromPbx();
    QTRY_VERIFY(views.Stations->ExtList()->item(0)->text().contains("E11"));
    m.Disconnect();
    SysData().OnDataChanged = nullptr;
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
  }

  // The extension dialog from the stations window against the simulated PBX: a name typed for
  // jack 1, Next, a name and a One-Touch CO button for jack 2, OK: the PBX holds exactly those
  // three lines changed.
  void ExtensionDialogProgramsTheSimulatedPbx() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    m.show();
    const TViews views = CreateViews(m, SysData());
    ViewDialogs().Extensions = [](QWidget* Parent, const TIntegerList& Jacks) {
      return EditExtensions(Parent, Jacks);
    };
    QVERIFY(m.Connect());
    TRunWatcher run;
    m.ReadFromPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QTRY_COMPARE(views.Stations->ExtList()->count(), 24);
    const std::vector<std::string> before = SimLines();

    views.Stations->ExtList()->setCurrentRow(0);
    WhenModal([](QWidget* d) {
      d->findChild<QLineEdit*>("StnName")->setText("Reception");
      d->findChild<QPushButton*>("NextExt")->click();
      d->findChild<QLineEdit*>("StnName")->setText("Office");
      auto* page = qobject_cast<TButtonPage*>(d->findChild<TBtnGrid*>("BtnGrid1")->parentWidget());
      WhenModal([](QWidget* b) {
        auto* func = b->findChild<TRadioGroup*>("FuncRG");
        for (int i = 0; i < func->Count(); ++i)
          if (func->Button(i)->text() == "One-Touch Dialing") func->Button(i)->click();
        b->findChild<QLineEdit*>("NumEdit")->setText("0123");
        b->findChild<QPushButton*>("OkBtn")->click();
      });
      QVERIFY(page->EditButton(3));
      QCOMPARE(page->Label(3), QString("0123"));
      d->findChild<QPushButton*>("OkBtn")->click();
    });
    views.Stations->EditExtensions();
    QCOMPARE(ChangedSimLines(before),
             (std::vector<std::string>{"604E01/Reception /", "604E02/Office    /",
                                       "P02BC03/3,0123/"}));
    QVERIFY(views.Stations->ExtList()->item(1)->text().startsWith("Office"));
    m.Disconnect();
    ViewDialogs().Extensions = nullptr;
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
  }

  // The DISA and ARS dialogs online, each reading its programs as it opens: a security code
  // and a route's selection code and removed digits changed there are the only lines of the
  // simulated PBX that change (a code padded with x, nothing else rewritten).
  void DisaAndArsDialogsProgramTheSimulatedPbx() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    m.show();
    QVERIFY(m.Connect());
    const std::vector<std::string> before = SimLines();
    const std::string length = SimLine("530S");
    QCOMPARE(length, std::string("530S/0/"));  // codes of 4 digits
    WhenModal([](QWidget* d) {
      d->findChild<QTableWidget*>("CodesGrid")->item(0, 1)->setText("1234");
      d->findChild<QPushButton*>("OkBtn")->click();
    });
    EditDISA(&m, false);
    WhenModal([](QWidget* d) {
      qobject_cast<TARSDlg*>(d)->RouteTabs()->setCurrentIndex(1);
      d->findChild<QTableWidget*>("LeadGrid")->item(0, 1)->setText("0123");
      d->findChild<QComboBox*>("RemoveDigitsCb")->setCurrentIndex(2);
      d->findChild<QPushButton*>("OkBtn")->click();
    });
    EditARS(&m, false);
    QCOMPARE(ChangedSimLines(before),
             (std::vector<std::string>{"352S01/0123xxx/", "360S2/2/", "512S1/1234/"}));
    QVERIFY(!GroupChangedCount(SysData(), grDISA) && !GroupChangedCount(SysData(), grARS));
    m.Disconnect();
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
  }

  // The pending changes against the simulated PBX: nothing after a read; an edit made offline
  // in the extension dialog counts in the status bar and makes its jack bold; Upload to PBX
  // (with a configuration that passes the check, so the usual question) clears both.
  void PendingChangesClearWithTheUpload() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    m.show();
    const TViews views = CreateViews(m, SysData());
    ViewDialogs().Extensions = [](QWidget* Parent, const TIntegerList& Jacks) {
      return EditExtensions(Parent, Jacks);
    };
    QListWidget* ext = views.Stations->ExtList();
    auto boldRows = [ext] {
      QList<int> rows;
      for (int i = 0; i < ext->count(); ++i)
        if (ext->item(i)->font().bold()) rows << i;
      return rows;
    };
    QVERIFY(m.Connect());
    TRunWatcher run;
    m.ReadFromPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QTRY_COMPARE(ext->count(), 24);
    // What the PBX holds passes the PBX's own table: the upload below asks its usual question.
    const std::vector<TLineProblem> problems = CheckStore(SysData());
    QVERIFY2(problems.empty(), problems.empty() ? "" : ProblemText(problems[0]).c_str());
    QCOMPARE(m.StatusText(3), QString("No changes"));
    QVERIFY(boldRows().isEmpty());

    m.Disconnect();
    ext->setCurrentRow(1);
    WhenModal([](QWidget* d) {
      d->findChild<QLineEdit*>("StnName")->setText("Office");
      d->findChild<QPushButton*>("OkBtn")->click();
    });
    views.Stations->EditExtensions();
    QCOMPARE(m.StatusText(3), QString("1 change"));
    QCOMPARE(boldRows(), QList<int>{1});
    QVERIFY(SimLine("604E02") != "604E02/Office    /");

    QVERIFY(m.Connect());
    run.Lines.clear();
    m.UploadToPbx();
    QCOMPARE(f.Questions.back(), std::string("Upload data to PBX?"));
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QCOMPARE(SimLine("604E02"), std::string("604E02/Office    /"));
    QCOMPARE(m.StatusText(3), QString("No changes"));
    QVERIFY(boldRows().isEmpty());
    m.Disconnect();
    ViewDialogs().Extensions = nullptr;
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
  }

  // An upload from the window makes its backup and names it in the run window; the upload
  // journal then lists it under "Upload history...", with the line written.
  void UploadNamesItsBackupAndTheHistoryListsIt() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    m.show();
    QVERIFY(m.Connect());
    TRunWatcher run;
    m.ReadFromPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    const std::string old = SimLine("604E05");
    SysData().Extensions.Jacks(5).BlockOf("604E").SetItemStr(1, "Store     ");
    QString backupText;
    run.OnShown = [&backupText](TReadAllDlg* Dlg) {
      Dlg->OnStepStarted = [Dlg, &backupText](const TGroup&) {
        if (backupText.isEmpty()) backupText = Dlg->findChild<QLabel*>("BackupLbl")->text();
      };
    };
    m.UploadToPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QVERIFY2(backupText.startsWith("Backup: " + QString::fromStdString(fDir->Path())),
             qPrintable(backupText));
    TSysData backup;
    QVERIFY(backup.LoadFromFile(backupText.mid(8).toStdString()));
    QCOMPARE(backup.Extensions.Jacks(5).BlockOf("604E").Data(), old);

    QStringList shown;
    qsizetype all = 0;
    WhenModal([&](QWidget* d) {
      auto* h = qobject_cast<TUploadHistoryDlg*>(d);
      QVERIFY(h);
      QCOMPARE(h->Runs()->count(), 1);
      QVERIFY2(h->Runs()->item(0)->text().contains("ended ok"), qPrintable(h->Runs()->item(0)->text()));
      shown = h->Details()->toPlainText().split('\n');
      h->AllLines()->setChecked(true);
      all = h->Details()->toPlainText().split('\n').size();
      h->reject();
    });
    m.Action("HistoryAct")->trigger();
    // The one line the upload changed, and a word on the thousands it wrote as they were; all
    // of them on request. Catches a history that lists every line a whole upload wrote
    // ("'101' -> '101'"), and one that hides a line the PBX held otherwise.
    QVERIFY2(shown.size() == 4 && shown[2].contains("604E05/Store     /") &&
                 shown[3].contains(" lines the PBX held already as they were sent are not shown"),
             qPrintable(shown.mid(0, 5).join('|')));
    QVERIFY(all > 3000);
    m.Disconnect();
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
  }

  // After an untouched OK of the extension dialog over two jacks and of the console dialog over
  // both consoles, and pastes of a jack and of a CO line, the upload's backup and journal hold
  // for every line what the PBX held in that very line. Catches the PBX text travelling with a
  // copied block (jack 1's lines recorded as jack 2's, so that the backup restores them twice).
  // Upload differences writes what the PBX holds otherwise and nothing else: the configuration's
  // own edit, and a line someone changed at the PBX between the read and this connection. Faults caught: the entry
  // wired to the whole upload, and one that sends only the pending changes.
  void UploadDifferencesWritesOnlyWhatThePbxHoldsOtherwise() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    m.show();
    QVERIFY(m.Connect());
    TRunWatcher run;
    m.ReadFromPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    const std::string read605 = SimLine("605E03");
    SysData().Cmd103S.SetItemStr(1, SysData().Cmd103S.ItemStr(1) == "1" ? "0" : "1");
    const std::string edited = SysData().Cmd103S.Data();
    // Changed at the PBX between two visits: what was read then is no longer what it holds.
    m.Disconnect();
    DemoLine().Control([](TSimPbx& P) { P.ExecuteEditCommand("605E03/2/"); });
    QVERIFY(SimLine("605E03") != read605);
    QVERIFY(m.Connect());
    const std::vector<std::string> before = SimLines();
    // Fault caught: the backup's read leaving the bar full and still for its whole length (the
    // run window looked hung for over a minute on a fresh connection).
    QSet<QString> backupSteps;
    int backupTicks = 0;
    run.OnShown = [&](TReadAllDlg* Dlg) {
      auto* label = Dlg->findChild<QLabel*>("BackupLbl");
      auto* bar = Dlg->findChild<QProgressBar*>("StepProgress");
      QObject::connect(bar, &QProgressBar::valueChanged, Dlg, [&, label, bar](int V) {
        if (!label->text().startsWith("Making the backup of the PBX's lines: ")) return;
        backupSteps.insert(label->text());
        if (V > 0 && V < bar->maximum()) ++backupTicks;
      });
    };
    m.Action("UploadDiffAct")->trigger();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QVERIFY2(backupSteps.size() > 10, qPrintable(QStringList(backupSteps.values()).join('|')));
    QVERIFY(backupTicks > 0);
    std::vector<std::string> expected{edited, read605};
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> changed = ChangedSimLines(before);
    std::sort(changed.begin(), changed.end());
    QCOMPARE(changed, expected);
    const std::vector<TJournalRun> runs = ReadJournal(JournalFile());
    QVERIFY(!runs.empty());
    QCOMPARE(runs.back().Mode, std::string("differing"));
    QCOMPARE(runs.back().Blocks.size(), size_t(2));
    m.Disconnect();
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
  }

  // After a read in this connection the question before a whole upload names the lines it
  // writes, the time, and how many of them the PBX holds otherwise; its differences button
  // runs the differing upload, which writes just those. Catches a count of the wrong set (the
  // pending changes, among them a line edited and edited back, or every line) and a button
  // that runs the whole upload.
  void UploadQuestionOffersTheDifferingUpload() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    m.show();
    QVERIFY(m.Connect());
    TRunWatcher run;
    m.ReadFromPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    TCmdData& hold = SysData().Cmd103S;
    hold.SetItemStr(1, hold.ItemStr(1) == "1" ? "0" : "1");
    TCmdData& name = SysData().Extensions.Jacks(2).BlockOf("604E");
    name.SetItemStr(1, "Desk");
    TCmdData& back = SysData().Extensions.Jacks(3).BlockOf("600E");
    const std::string was = back.ItemStr(1);
    back.SetItemStr(1, was == "1" ? "2" : "1");
    back.SetItemStr(1, was);  // pending, yet what the PBX holds
    QCOMPARE(m.PendingChanges(), 3);
    const std::vector<std::string> before = SimLines();

    m.RealUploadBox = true;
    QString info;
    bool offered = false;
    WhenModal([&](QWidget* W) {
      info = qobject_cast<QMessageBox*>(W)->informativeText();
      auto* differing = W->findChild<QPushButton*>("UploadDiffBtn");
      offered = differing && differing->text() == "Upload &differences only (2)";
      if (differing) differing->click();
      if (W->isVisible()) qobject_cast<QDialog*>(W)->reject();
    });
    m.UploadToPbx();
    const QRegularExpressionMatch whole =
        QRegularExpression("^It writes all (\\d+) lines of the configuration, about ").match(info);
    QVERIFY2(whole.hasMatch(), qPrintable(info));
    QVERIFY2(info.contains(" minutes at 9600 bit/s.") && info.contains("\n2 differ from what the PBX holds"),
             qPrintable(info));
    QVERIFY(offered);
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    // The PBX's own form of the two lines (it pads the name) is what the store now holds.
    std::vector<std::string> changed = ChangedSimLines(before), expected{hold.Data(), name.Data()};
    std::sort(changed.begin(), changed.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(changed, expected);
    const std::vector<TJournalRun> runs = ReadJournal(JournalFile());
    QVERIFY(!runs.empty());
    QCOMPARE(runs.back().Mode, std::string("differing"));
    QCOMPARE(runs.back().Blocks.size(), size_t(2));

    // Now the PBX holds every line as the store has it; the whole upload writes as many lines
    // as the question said.
    m.RealUploadBox = false;
    m.UploadToPbx();
    QVERIFY2(m.UploadInfos.back().contains("\nThe PBX holds every one of them already"),
             qPrintable(m.UploadInfos.back()));
    QCOMPARE(ReadJournal(JournalFile()).back().Blocks.size(), size_t(whole.captured(1).toInt()));
    m.Disconnect();
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
  }

  void BackupAfterMultiSelectionAndPasteHoldsEachRecordsOwnLines() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    m.show();
    const TViews views = CreateViews(m, SysData());
    QVERIFY(m.Connect());
    TRunWatcher run;
    m.ReadFromPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    QTRY_COMPARE(views.Stations->ExtList()->count(), 24);
    std::map<std::string, std::string> held;
    for (const std::string& line : SimLines()) held[BlockHead(line)] = line;

    for (int dialog = 0; dialog < 2; ++dialog) {
      WhenModal([](QWidget* d) { d->findChild<QPushButton*>("OkBtn")->click(); });
      if (dialog == 0)
        EditExtensions(&m, TIntegerList({1, 2}));
      else
        EditDSSConsoles(&m, TIntegerList({1, 2}));
    }
    QCOMPARE(SysData().Extensions.ChangedCount() + SysData().DSSConsoles.ChangedCount(), 0);
    const auto select = [](QListWidget* List, int Number) {
      for (int i = 0; i < List->count(); ++i)
        if (List->item(i)->data(Qt::UserRole).toInt() == Number) List->setCurrentRow(i);
    };
    // A paste changes only what differs: jack 3 is given a name of its own to copy.
    SysData().Extensions.Jacks(3).BlockOf("604E").SetItemStr(1, "Desk");
    select(views.Stations->ExtList(), 3);
    views.Stations->CopyExtension();
    select(views.Stations->ExtList(), 4);
    views.Stations->PasteExtension();
    select(views.Trunks->COList(), 1);
    views.Trunks->CopyCO();
    select(views.Trunks->COList(), 2);
    views.Trunks->PasteCO();
    QVERIFY(SysData().Extensions.Jacks(4).ChangedCount() > 0);

    m.UploadToPbx();
    QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
    const std::vector<TJournalRun> runs = ReadJournal(JournalFile());
    QCOMPARE(runs.size(), size_t(1));
    TSysData backup;
    QVERIFY(backup.LoadFromFile(runs[0].Backup));
    const std::vector<std::string> backedUp = FileBlockTexts(backup);
    QVERIFY(backedUp.size() > 3000);
    for (const std::string& line : backedUp)
      QVERIFY2(held[BlockHead(line)] == line, line.c_str());
    QCOMPARE(std::set<std::string>(backedUp.begin(), backedUp.end()).size(), backedUp.size());
    for (const TJournalBlock& b : runs[0].Blocks)
      if (!b.Before.empty()) QVERIFY2(held[b.Head] == b.Before, (b.Head + ": " + b.Before).c_str());
    m.Disconnect();
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
  }

  // The code tables and the service dialogs online, each reading its programs as it opens: a
  // toll restriction code, an account code, a hunting type and the SMDR page length changed
  // there are the only lines of the simulated PBX that change.
  void CodeTablesAndServicesProgramTheSimulatedPbx() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    m.show();
    QVERIFY(m.Connect());
    const std::vector<std::string> before = SimLines();
    const auto edit = [](std::function<void(QWidget*)> Change) {
      WhenModal([Change](QWidget* d) {
        Change(d);
        d->findChild<QPushButton*>("OkBtn")->click();
      });
    };
    edit([](QWidget* d) { d->findChild<QTableWidget*>("DeniedGrid")->item(0, 1)->setText("123"); });
    EditTollRestriction(&m, false);
    edit([](QWidget* d) { d->findChild<QTableWidget*>("StringGrid1")->item(0, 1)->setText("4321"); });
    EditAccountCodes(&m, false);
    edit([](QWidget* d) { d->findChild<QComboBox*>("EXG2cb")->setCurrentIndex(2); });
    EditCallHunting(&m, false);
    edit([](QWidget* d) { d->findChild<QSpinBox*>("PageLenEdit")->setValue(50); });
    EditSMDR(&m, false);
    QCOMPARE(ChangedSimLines(before),
             (std::vector<std::string>{"100S/0100 0000/", "101S/0100 0000/", "302S01/123xxxxxxxx/",
                                       "310S01/4321/", "801S/50,00/"}));
    m.Disconnect();
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());
  }

  // A PBX that does not answer keeps a connect going for seconds: Cancel on the information
  // panel ends it at once, without an error box; the same for a dump.
  void CancelOnTheInformationPanelEndsTheWait() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), true);
    f.SetMainWindow(&m);
    m.show();
    auto cancelSoon = [&f] {
      QTimer::singleShot(300, [&f] {
        if (TTopInfo* info = f.TopInfo())
          info->findChild<QPushButton*>("TopInfoCancel")->click();
      });
    };
    DemoLine().Control([](TSimPbx& P) { P.SetSilentAfter(0); });
    QElapsedTimer t;
    t.start();
    cancelSoon();
    QVERIFY(!m.Connect());
    QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
    QVERIFY(f.Errors.empty());
    QCOMPARE(m.statusBar()->currentMessage(), QString("Connecting aborted."));
    QVERIFY(!fComm->AbortRequested());

    DemoLine().Control([](TSimPbx& P) { P.ClearFaults(); });
    QVERIFY(m.Connect());
    fDir->Write("site.log", "an earlier dump");
    m.NextFile = QString::fromStdString(fDir->File("site.log"));
    cancelSoon();
    fComm->Timing.DirectTimeout = 3000;  // the end of the listing would take this long
    t.restart();
    m.StoreDump();
    QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(fDir->Read("site.log"), std::string("an earlier dump"));
    QCOMPARE(m.statusBar()->currentMessage(), QString("Dump aborted; nothing was saved."));
    QVERIFY(f.Errors.empty());
    // The session is in edit mode again for the next command.
    QVERIFY(SysData().Cmd103S.ReadPBX("103S//"));
    m.Disconnect();
  }

  // The modem dialog through the real session against the demo device, which answers the
  // modem commands as kxta-sim --modem: a busy line, no carrier, no dial tone, a call that
  // connects after an initialisation string, the carrier lost while online, and a direct
  // connection on the same device afterwards.
  void ModemDialBusyLostCarrierAndDirectAgain() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);
    std::vector<std::string> failures;
    bool onlineInDialog = false;
    WhenModal([&](QWidget* W) {
      auto* dlg = qobject_cast<TModemConnectDlg*>(W);
      if (!dlg) {
        W->close();  // not the dialog under test: the checks below then fail
        return;
      }
      auto* number = dlg->findChild<QComboBox*>("DialNumCB");
      auto* dial = dlg->findChild<QPushButton*>("DialBtn");
      dlg->findChild<TDgtEdit*>("WaitCDedit")->SetIValue(5);  // a failing check fails soon
      for (const char* n : {"111", "222", "000"}) {
        number->setEditText(n);
        dial->click();
      }
      failures = f.Errors;
      dlg->findChild<QLineEdit*>("InitEdit")->setText("ATZ");
      number->setEditText("555 0100");
      dial->click();
      onlineInDialog = SysData().OnLine;
      dlg->reject();
    });
    m.Action("ModemAct")->trigger();
    QCOMPARE(failures, (std::vector<std::string>{"Line is busy, please try later again.",
                                                  "No carrier was detected!", "No dial."}));
    QVERIFY(onlineInDialog);
    QVERIFY(fComm->ModemMode());
    QCOMPARE(m.StatusText(0), QString("ON LINE"));
    QVERIFY2(m.StatusText(1).contains("KX-TA624"), qPrintable(m.StatusText(1)));
    QCOMPARE(f.Errors.size(), size_t(3));

    DemoLine().Control([](TSimPbx& P) { P.DropCarrier(); });
    // The read fails: its window stays until closed.
    bool runWindowStayed = false;
    WhenModal([&runWindowStayed](QWidget* W) {
      runWindowStayed = qobject_cast<TReadAllDlg*>(W) != nullptr;
      W->close();
    });
    m.ReadFromPbx();
    QVERIFY(runWindowStayed);
    QVERIFY(std::find(f.Errors.begin(), f.Errors.end(), "Modem carrier is lost - disconnected!") !=
            f.Errors.end());
    QVERIFY(!SysData().OnLine);
    QCOMPARE(m.StatusText(0), QString("OFF LINE"));

    QVERIFY(m.Connect());
    QVERIFY(!fComm->ModemMode());
    m.Disconnect();
  }

  // File, Sites...: the site picked is connected with its own port and password (the settings
  // hold neither), its name goes to the title and the status bar, its upload lands in its own
  // backups and journal entry, and the history lists the site in use first, or all. Faults
  // caught: the site's port or password not reaching Connect, the name missing from the title
  // or the status bar, and a history filter that shows every site's uploads.
  void SitesDialogConnectsAndTheHistoryFiltersBySite() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    SysData().Settings.PbxPassword = "0000";  // the demo PBX's is 7392: only the sites have it
    fDir->Write("sites.ini",
                "[Hotel Adler]\nNote=Main street 1\nPort=demo\nPassword=7392\n"
                "[Dentist]\nPort=demo\nPassword=7392\n");
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), ""), false);
    f.SetMainWindow(&m);
    m.show();
    TRunWatcher run;
    const auto pick = [&m](const QString& Site) {
      WhenModal([Site](QWidget* d) {
        auto* dlg = qobject_cast<TSitesDlg*>(d);
        QVERIFY(dlg);
        auto* list = dlg->findChild<QListWidget*>("SiteList");
        const auto found = list->findItems(Site, Qt::MatchStartsWith);
        QCOMPARE(found.size(), 1);
        list->setCurrentItem(found[0]);
        dlg->findChild<QPushButton*>("SiteConnectBtn")->click();
      });
      m.Action("SitesAct")->trigger();
    };
    const auto uploadEdit = [&](const char* Name) {
      m.ReadFromPbx();
      QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
      SysData().Extensions.Jacks(5).BlockOf("604E").SetItemStr(1, Name);
      m.UploadToPbx();
      QVERIFY2(run.AllEndWith(" - Ok"), qPrintable(run.Lines.join('|')));
      m.Disconnect();
    };

    pick("Hotel Adler");
    QVERIFY2(SysData().OnLine, f.Errors.empty() ? "" : f.Errors.back().c_str());
    QVERIFY2(m.windowTitle().contains("Hotel Adler - "), qPrintable(m.windowTitle()));
    QCOMPARE(m.StatusText(4), QString("Site Hotel Adler"));
    uploadEdit("Lobby     ");
    QVERIFY(!std::filesystem::is_empty(fDir->File("sites/Hotel Adler/backups")));
    pick("Dentist");
    QVERIFY(SysData().OnLine);
    QCOMPARE(m.StatusText(4), QString("Site Dentist"));
    uploadEdit("Surgery   ");
    QVERIFY2(f.Errors.empty(), f.Errors.empty() ? "" : f.Errors[0].c_str());

    WhenModal([](QWidget* d) {
      auto* h = qobject_cast<TUploadHistoryDlg*>(d);
      QVERIFY(h);
      QCOMPARE(h->SiteFilter()->currentText(), QString("Dentist"));
      QCOMPARE(h->Runs()->count(), 1);
      QVERIFY(h->Details()->toPlainText().contains("604E05/Surgery   /"));
      h->SiteFilter()->setCurrentIndex(0);
      QCOMPARE(h->Runs()->count(), 2);
      h->SiteFilter()->setCurrentText("Hotel Adler");
      QCOMPARE(h->Runs()->count(), 1);
      QVERIFY(h->Details()->toPlainText().contains("604E05/Lobby     /"));
      h->reject();
    });
    m.Action("HistoryAct")->trigger();
  }

  void ConnectFailuresGiveTheirMessages() {
    TAnsweringFeedback f;
    SysData().Settings.ShowConnectWarn = false;
    fComm->Timing.DirectTimeout = 300;
    TTestMainForm m(SysData(), SessionActions(*fComm, SysData(), "demo"), false);
    f.SetMainWindow(&m);

    SysData().Settings.PbxPassword = "0000";
    QVERIFY(!m.Connect());
    QCOMPARE(f.Errors.back(), std::string("Bad access password!\rPlease, set correct one in the "
                                          "dialog \"Settings->System\""));
    SysData().Settings.PbxPassword = "7392";

    DemoLine().Control([](TSimPbx& P) { P.SetSilentAfter(0); });
    QVERIFY(!m.Connect());
    QCOMPARE(f.Errors.back(), std::string("No PBX reaction!\rPlease, check hardware."));
    DemoLine().Control([](TSimPbx& P) {
      P.ClearFaults();
      P.SetDsr(false);
    });
    QVERIFY(!m.Connect());
    QCOMPARE(f.Errors.back(),
             std::string("No DSR signal!\rPlease, check hardware or set correct COM-port number "
                         "in the dialog \"Settings->COM-port\""));
    QVERIFY(!SysData().OnLine);
    QCOMPARE(m.StatusText(0), QString("OFF LINE"));

    // A port another program holds.
    int master = -1, slave = -1;
    char name[128] = {};
    QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
    const int holder = ::open(name, O_RDWR | O_NOCTTY);
    QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
    TTestMainForm busy(SysData(), SessionActions(*fComm, SysData(), name), false);
    QVERIFY(!busy.Connect());
    QVERIFY2(f.Errors.back().rfind("Failed do initialize COM-port!\rMay be already used by "
                                   "another program?\r\r",
                                   0) == 0 &&
                 f.Errors.back().find("busy") != std::string::npos,
             f.Errors.back().c_str());
    ::close(holder);
    ::close(slave);
    ::close(master);
    QCOMPARE(f.Errors.size(), size_t(4));
  }
};

QTEST_MAIN(DemoRunTest)
#include "DemoRunTest.moc"
