// The shared dialog pattern over a store group, as the system-wide dialogs use it: a dialog
// that only declares its controls reads, loads, stores and uploads through its group.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "FKey.h"
#include "PbxModel.h"
#include "ProgDlg.h"
#include "RecordingFeedback.h"
#include "SysData.h"

class TSmdrTestDlg : public TProgDlg {
  Q_OBJECT
 public:
  TSmdrTestDlg() {
    auto* l = new QVBoxLayout(this);
    Print = new QCheckBox("Print", this);
    Lines = new QComboBox(this);
    Lines->addItems({"a", "b", "c", "d"});
    l->addWidget(Print);
    l->addWidget(Lines);
    SetGroup(grSMDR);
    Bindings().Add(Print, "801S", 1, TItemConv::Check);
    Bindings().Add(Lines, "802S", 1, TItemConv::Index1TwoDigit);
  }
  QCheckBox* Print;
  QComboBox* Lines;
};

namespace {

struct TEnv {
  TRecordingFeedback Fb;
  TPbxModel Pbx;
  bool F = false;
  explicit TEnv(bool Online) {
    for (const char* l : {"801S/1/", "802S/03/", "803S/0/", "805S/0/", "806S/0/"}) Pbx.SetLine(l);
    SysData().ClearData();
    SysData().OnLine = Online;
    SetFKeyQuery([this] { return F; });
  }
  ~TEnv() {
    SetFKeyQuery({});
    SysData().OnLine = false;
    SysData().ClearData();
  }
};

bool Run(std::function<void(TSmdrTestDlg*)> Action) {
  TSmdrTestDlg dlg;
  QTimer::singleShot(0, [&] {
    Action(&dlg);
    if (dlg.isVisible()) dlg.reject();
  });
  return dlg.Execute(FKeyHeld());
}

}  // namespace

class ProgDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void GroupDialogReadsWhenMissingAndUploadsChanges() {
    TEnv env(true);
    QVERIFY(Run([&](TSmdrTestDlg* d) {
      QCOMPARE(env.Pbx.Sent.size(), size_t(5));
      QCOMPARE(env.Fb.Progress.front().Caption, std::string("Read"));
      QCOMPARE(d->Print->checkState(), Qt::Checked);
      QCOMPARE(d->Lines->currentIndex(), 2);
      d->Print->setCheckState(Qt::Unchecked);
      d->Lines->setCurrentIndex(3);
      env.Pbx.Sent.clear();
      d->accept();
    }));
    QCOMPARE(env.Pbx.Sent, (std::vector<std::string>{"801S/0/", "802S/04/"}));
    QCOMPARE(env.Fb.Progress.back().Caption, std::string("Save"));
    QVERIFY(!SysData().Cmd801S.Changed);

    // Actual data and F up: no read; F held on OK: the whole group goes up.
    env.Pbx.Sent.clear();
    QVERIFY(Run([&](TSmdrTestDlg* d) {
      QVERIFY(env.Pbx.Sent.empty());
      env.F = true;
      d->accept();
    }));
    QCOMPARE(env.Pbx.Sent.size(), size_t(5));
    // F held while opening reads again although the data is actual.
    env.Pbx.Sent.clear();
    QVERIFY(!Run([&](TSmdrTestDlg*) {}));
    QCOMPARE(env.Pbx.Sent.size(), size_t(5));
    QVERIFY(env.Fb.Infos.empty());
  }

  void FailedOrAbortedReadStillOpensTheDialog() {
    TEnv env(true);
    env.Pbx.AbortAfter = 1;
    bool opened = false;
    QVERIFY(!Run([&](TSmdrTestDlg*) { opened = true; }));
    QVERIFY(opened);
    QCOMPARE(env.Fb.Infos.size(), size_t(1));  // "No actual data!..."
    QVERIFY(env.Fb.Progress.back().Closed);
    QVERIFY(env.Fb.Errors.empty());  // the user's own abort is not an error
  }

  void OfflineStoresAndKeepsTheChanges() {
    TEnv env(false);
    SysData().Cmd801S.SetData("801S/1/");
    SysData().Cmd801S.Changed = false;
    QVERIFY(Run([](TSmdrTestDlg* d) {
      d->Print->setCheckState(Qt::Unchecked);
      d->accept();
    }));
    QVERIFY(env.Pbx.Sent.empty());
    QCOMPARE(SysData().Cmd801S.Data(), std::string("801S/0/"));
    QVERIFY(SysData().Cmd801S.Changed);
    QCOMPARE(env.Fb.Infos.size(), size_t(1));  // the group lacks actual data
  }
};

QTEST_MAIN(ProgDlgTest)
#include "ProgDlgTest.moc"
