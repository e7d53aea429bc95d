// The system-wide dialogs over store groups: the timers' conventions, the day/night times on
// the 12-hour clock through the two tabs and the warning, and the clock dialog offline.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <functional>

#include "DateDlg.h"
#include "DayNightDlg.h"
#include "FKey.h"
#include "PbxModel.h"
#include "RecordingFeedback.h"
#include "SysData.h"
#include "TimerDlg.h"

namespace {

struct TEnv {
  TRecordingFeedback Fb;
  TPbxModel Pbx;
  TEnv() {
    SysData().ClearData();
    SysData().OnLine = true;
    SysData().Settings.ShowDayModeWarn = true;
    SetFKeyQuery([] { return false; });
    for (const char* l : {"200S/2/", "201S/1/", "202S/0/", "203S/3/", "204S/02/", "205S/05/",
                          "206S/1/", "207S/2/", "208S/0/", "210S/1/", "211S/0/", "212S/32/",
                          "213S/2/", "006S/1/"})
      Pbx.SetLine(l);
    const char* days[] = {"12001,12000,08301,^", "09000,05001,12001,01001"};
    std::vector<std::string> list;
    for (int d = 1; d <= 7; ++d)
      list.push_back("007S" + std::to_string(d) + "/" + days[d == 1 ? 0 : 1] + "/");
    Pbx.SetList("007S*", list);
  }
  ~TEnv() {
    SetFKeyQuery({});
    SysData().OnLine = false;
    SysData().ClearData();
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> w;
    for (const auto& s : Pbx.Sent)
      if (s.size() < 2 || s.compare(s.size() - 2, 2, "//") != 0) w.push_back(s);
    return w;
  }
};

// Runs Open with Action inside the first modal dialog; the dialog is closed afterwards.
void Run(const std::function<void()>& Open, const std::function<void(QDialog*)>& Action) {
  std::function<void()> poll;
  poll = [&] {
    auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dlg) {
      QTimer::singleShot(0, poll);
      return;
    }
    Action(dlg);
    if (dlg->isVisible()) dlg->reject();
  };
  QTimer::singleShot(0, poll);
  Open();
}

template <class T>
T* Find(QWidget* Dlg, const QString& Name) {
  T* w = Dlg->findChild<T*>(Name);
  if (!w) qWarning("no control %s", qPrintable(Name));
  return w;
}

}  // namespace

class SysDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  // Each combo's convention, loaded and written back: a plain index, an index written with two
  // digits, and the 1-based minute limits. Only what was changed is sent.
  void TimersLoadAndStoreByTheirConventions() {
    TEnv env;
    Run([] { EditTimers(nullptr, false); }, [](QDialog* d) {
      QCOMPARE(Find<QComboBox>(d, "HoldRecallCb")->currentText(), QString("1 min"));
      QCOMPARE(Find<QComboBox>(d, "CallDurCb")->currentText(), QString("10 sec"));
      QCOMPARE(Find<QComboBox>(d, "COCOdurCb")->currentText(), QString("5 min"));
      QCOMPARE(Find<QComboBox>(d, "ExtCOdurCb")->currentText(), QString("32 min"));
      QCOMPARE(Find<QComboBox>(d, "DialStartCb")->currentText(), QString("250 ms"));
      QCOMPARE(Find<QComboBox>(d, "ExtCOdurCb")->count(), 32);
      Find<QComboBox>(d, "CallDurCb")->setCurrentIndex(10);     // "50 sec"
      Find<QComboBox>(d, "COCOdurCb")->setCurrentIndex(0);      // "1 min"
      Find<QCheckBox>(d, "NoDialCx")->setChecked(true);
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QCOMPARE(env.Writes(), (std::vector<std::string>{"204S/10/", "205S/01/", "211S/1/"}));
    QCOMPARE(env.Fb.Progress.front().Maximum, 39);
  }

  // Noon and midnight on the 12-hour clock both ways, an evening time, "^", a damaged item;
  // the tabs keep each other's edits; OK without a change of a time sends nothing for it.
  void DayNightTimesThroughBothTabs() {
    for (const auto& [item, set, ok, time] :
         std::vector<std::tuple<std::string, bool, bool, QTime>>{
             {"12001", true, true, QTime(12, 0)}, {"12000", true, true, QTime(0, 0)},
             {"08301", true, true, QTime(20, 30)}, {"^", false, true, QTime(0, 0)},
             {"0830", true, false, QTime(0, 0)}, {"0x301", true, false, QTime(0, 0)}}) {
      const TDayTime t = ParseDayTime(item);
      QCOMPARE(t.Set, set);
      QCOMPARE(t.Ok, ok);
      QCOMPARE(t.Time, time);
      if (ok) QCOMPARE(DayTimeItem(t), item);
    }

    TEnv env;
    Run([] { EditDayNight(nullptr, false); }, [&env](QDialog* d) {
      auto* tabs = Find<QTabBar>(d, "TabControl1");
      QCOMPARE(Find<QComboBox>(d, "DayNightMode")->currentText(), QString("Auto"));
      QCOMPARE(Find<QTimeEdit>(d, "SunStartPicker")->time(), QTime(12, 0));
      QCOMPARE(Find<QTimeEdit>(d, "SunEndPicker")->time(), QTime(0, 0));
      QVERIFY(Find<QCheckBox>(d, "MonEndCB")->isChecked());
      // An edit on the first tab survives a visit to the second and back.
      Find<QTimeEdit>(d, "MonEndPicker")->setTime(QTime(18, 45));
      tabs->setCurrentIndex(1);
      QCOMPARE(Find<QTimeEdit>(d, "SunStartPicker")->time(), QTime(20, 30));
      QVERIFY(!Find<QCheckBox>(d, "SunEndCB")->isChecked());
      // Unchecking on the lunch tab warns nobody.
      Find<QCheckBox>(d, "MonStartCB")->setChecked(false);
      QVERIFY(env.Fb.Warnings.empty());
      tabs->setCurrentIndex(0);
      QCOMPARE(Find<QTimeEdit>(d, "MonEndPicker")->time(), QTime(18, 45));
      // On the day/night tab it warns, until the warning's box is cleared.
      env.Fb.ShowAgainAnswers = {false};
      Find<QCheckBox>(d, "TueStartCB")->setChecked(false);
      Find<QCheckBox>(d, "WedStartCB")->setChecked(false);
      QCOMPARE(env.Fb.Warnings.size(), size_t(1));
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QVERIFY(!SysData().Settings.ShowDayModeWarn);
    // Sunday's line went back as it came; only Monday to Wednesday changed.
    QCOMPARE(env.Writes(), (std::vector<std::string>{"007S2/09000,06451,^,01001/",
                                                     "007S3/^,05001,12001,01001/",
                                                     "007S4/^,05001,12001,01001/"}));
  }

  void ClockDialogOfflineSaysSoAndSendsNothing() {
    TEnv env;
    SysData().OnLine = false;
    QVERIFY(!EditPbxClock(nullptr, false));
    QCOMPARE(env.Fb.Infos, (std::vector<std::string>{"This feature is available On-Line only!"}));
    QVERIFY(env.Pbx.Sent.empty());
  }
};

QTEST_MAIN(SysDialogsTest)
#include "SysDialogsTest.moc"
