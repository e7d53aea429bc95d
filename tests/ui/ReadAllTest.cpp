// The read-all / upload-all run window against the small PBX model.
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QProgressBar>
#include <QTest>

#include "RecordingFeedback.h"
#include "ReadAll.h"
#include "data/StoreTestUtil.h"
#include "SysData.h"

class ReadAllTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    SysData().ClearData();
    SysData().Settings.Sounds[2] = "/sounds/done.wav";
  }

  void ReadMarksEveryStepAndPlaysTheCue() {
    TPbxModel pbx;
    FillStorePrograms(pbx);
    pbx.Refused.insert("200S//");  // the timer group fails; the later groups still run
    TRecordingFeedback f;
    TReadAllDlg dlg(nullptr, false);
    QCOMPARE(dlg.windowTitle(), QString("Read PBX configuration"));
    QStringList seenDuringCommand;
    dlg.OnStepStarted = [&](const TGroup& G) {
      if (G.Id == grCallHunting) seenDuringCommand << dlg.LineTexts().value(grCallHunting);
    };
    const TRunResult r = dlg.Run(SysData());
    QVERIFY(!r.Ok);
    QVERIFY(!r.Aborted);
    const QStringList lines = dlg.LineTexts();
    QCOMPARE(lines.size(), 18);
    QCOMPARE(lines[0], QString("Extensions - Ok"));
    QCOMPARE(lines[grTimer], QString("Timer - errors!"));
    QCOMPARE(dlg.LineIcon(grTimer), TReadAllDlg::icErrors);
    QCOMPARE(lines[17], QString("Day/Night/Lunch - Ok"));
    QCOMPARE(dlg.LineIcon(17), TReadAllDlg::icOk);
    // Fault caught: a finished run's bar left where the last program's lines stopped it.
    const auto* bar = dlg.findChild<QProgressBar*>("StepProgress");
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(seenDuringCommand, QStringList{"Read Call hunting data"});
    QCOMPARE(f.Sounds, (std::vector<std::string>{"/sounds/done.wav"}));
    QVERIFY(f.Infos.empty());
    QVERIFY(!PbxComm().HasOnRxLine());
    QVERIFY(!PbxComm().OnCommand);
  }

  void CommandCodeShowsInTheCurrentLine() {
    TPbxModel pbx;
    FillStorePrograms(pbx);
    TRecordingFeedback f;
    TReadAllDlg dlg(nullptr, true);
    QCOMPARE(dlg.windowTitle(), QString("Save PBX configuration"));
    QString shown;
    pbx.OnCommand = nullptr;
    dlg.OnStepStarted = [&](const TGroup& G) {
      if (G.Id != grSMDR) return;
      // The dialog's own command callback is installed; feed it one command as the session would.
      PbxComm().OnCommand("801S/1/");
      shown = dlg.LineTexts().value(grSMDR);
      PbxComm().OnCommand("001S*//");
    };
    dlg.Run(SysData());
    QCOMPARE(shown, QString("Save SMDR data (801S)"));
  }

  void StopAbortsOnceAndSaysSo() {
    TPbxModel pbx;
    FillStorePrograms(pbx);
    TRecordingFeedback f;
    TReadAllDlg dlg(nullptr, false);
    dlg.OnStepStarted = [&](const TGroup& G) {
      if (G.Id != grDISA) return;
      dlg.Stop();
      dlg.Stop();  // the second press does nothing while the request is pending
    };
    const TRunResult r = dlg.Run(SysData());
    QVERIFY(r.Aborted);
    QCOMPARE(dlg.LineTexts()[grDISA], QString("Wait for abort.."));
    QCOMPARE(dlg.LineIcon(grDISA), TReadAllDlg::icAbort);
    QCOMPARE(dlg.LineTexts()[grUCD], QString("UCD"));  // never started
    QCOMPARE(f.Infos, (std::vector<std::string>{"Read operation aborted."}));
    QVERIFY(f.Sounds.empty());
    QVERIFY(!PbxComm().AbortRequested());
  }

  void UploadAbortMessage() {
    TPbxModel pbx;
    FillStorePrograms(pbx);
    TRecordingFeedback f;
    QVERIFY(RunGroups(SysData(), TRunDirection::Read).Ok);  // something to upload
    TReadAllDlg dlg(nullptr, true);
    dlg.OnStepStarted = [&](const TGroup&) { dlg.Stop(); };
    dlg.Run(SysData());
    QCOMPARE(f.Infos, (std::vector<std::string>{"Save operation aborted."}));
    QCOMPARE(dlg.LineTexts()[0], QString("Wait for abort.."));
  }

  void StopAfterTheLastCommandDoesNotLeakIntoTheNextExchange() {
    TPbxModel pbx;
    FillStorePrograms(pbx);
    TRecordingFeedback f;
    TReadAllDlg dlg(nullptr, true);  // an empty store sends nothing: the request stays unused
    dlg.OnStepStarted = [&](const TGroup& G) {
      if (G.Id == grDayNight) dlg.Stop();
    };
    dlg.Run(SysData());
    QVERIFY(!PbxComm().AbortRequested());
    QVERIFY(SysData().Cmd103S.ReadPBX("103S//"));
  }

  void BarStopsAtItsMaximumWhileTicksCount() {
    TPbxModel pbx;
    FillStorePrograms(pbx);
    TRecordingFeedback f;
    TReadAllDlg dlg(nullptr, false);
    dlg.OnStepStarted = [&](const TGroup& G) {
      if (G.Id != grDayNight) return;
      for (int i = 0; i < G.ReadMax + 8; ++i) PbxComm().FireRxLine();
    };
    dlg.Run(SysData());
    QCOMPARE(dlg.Bar()->maximum(), Group(grDayNight).ReadMax);
    QCOMPARE(dlg.Bar()->value(), Group(grDayNight).ReadMax);
    QCOMPARE(dlg.Ticks(), Group(grDayNight).ReadMax + 8);
  }

  void ARunWithErrorsStaysOpenUntilClosed() {
    TPbxModel pbx;
    FillStorePrograms(pbx);
    TRecordingFeedback f;
    for (const bool errors : {true, false}) {
      if (errors) pbx.Refused.insert("200S//");
      else pbx.Refused.clear();
      bool seenOpen = false;
      QString timerLine;
      // Looks for the window waiting with its Close button, as a technician would.
      QTimer look;
      QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (auto* dlg = qobject_cast<TReadAllDlg*>(w); dlg && dlg->isVisible())
            if (auto* close = dlg->findChild<QPushButton*>("CloseBtn")) {
              seenOpen = true;
              timerLine = dlg->LineTexts()[grTimer];
              close->click();
            }
      });
      look.start(20);
      ReadAll(nullptr, SysData());
      look.stop();
      QCOMPARE(seenOpen, errors);
      if (errors) QCOMPARE(timerLine, QString("Timer - errors!"));
    }
  }
};

QTEST_MAIN(ReadAllTest)
#include "ReadAllTest.moc"
