// The system-wide dialogs over store groups: the timers' conventions, the day/night times on
// the 12-hour clock through the two tabs and the warning, and the clock dialog offline.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include "DgtEdit.h"
#include <QPushButton>
#include <QTabBar>
#include <QHeaderView>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QLineEdit>
#include <algorithm>
#include <functional>
#include <sstream>

#include "BtnGrid.h"
#include "COparam.h"
#include "CodeTables.h"
#include "DateDlg.h"
#include "CompareDlg.h"
#include "DayNightDlg.h"
#include "DialogNames.h"
#include "EXTparam.h"
#include "FKey.h"
#include "FormParts.h"
#include "PbxModel.h"
#include "RecordingFeedback.h"
#include "SysData.h"
#include "Services.h"
#include "SpeedDial.h"
#include "SystemParam.h"
#include "TempDir.h"
#include "TimerDlg.h"
#include "UploadCheck.h"
#include "ValueNames.h"

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

// A PBX with a clock: it answers the read in show mode and takes the write in edit mode.
class TClockPbx : public TPbxModel {
 public:
  std::string Reply = ";=>000S/2903014,08301/";
  bool Fail = false;
  std::vector<std::string> Modes;
  void EndMode() override { Modes.push_back("END"); }
  bool EnterShowMode() override {
    Modes.push_back("SHW");
    return true;
  }
  bool EnterEditMode() override {
    Modes.push_back("EDT");
    return true;
  }
  bool SendCommand(const std::string& Cmd, TStringList& Lines, const std::string& Prompt) override {
    if (Cmd.rfind("000S", 0) != 0) return TPbxModel::SendCommand(Cmd, Lines, Prompt);
    Sent.push_back(Cmd + " " + Prompt);
    Lines = {Cmd, Reply};
    return !Fail;
  }
};

// A list of Count lines "CODEnn/item/" with keys from 1 of Width digits.
std::vector<std::string> Lines(const std::string& Code, int Width, int Count,
                               const std::function<std::string(int)>& Item) {
  std::vector<std::string> l;
  for (int i = 0; i < Count; ++i)
    l.push_back(Code + QString("%1").arg(i + 1, Width, 10, QChar('0')).toStdString() + "/" +
                Item(i) + "/");
  return l;
}

// Types Keys into the editor of a grid cell and ends the edit; the text the editor held.
QString TypeInto(QTableWidget* Grid, int Row, int Col, const QString& Keys, bool Paste = false) {
  Grid->setCurrentCell(Row, Col);
  Grid->editItem(Grid->item(Row, Col));
  auto* edit = Grid->findChild<QLineEdit*>();
  if (!edit) return "no editor";
  edit->selectAll();
  if (Paste) {
    QApplication::clipboard()->setText(Keys);
    edit->paste();
  } else {
    QTest::keyClicks(edit, Keys);
  }
  const QString text = edit->text();
  Grid->setCurrentCell(Row == 0 ? 1 : 0, Col);  // ends the edit
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // and its editor
  return text;
}

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

  // The whole page set read and written back: the password rule and its reminder, flag strings
  // changed only where their boxes are, the feature numbers, and a numbering plan chosen here
  // sent last, after which the numbers are no longer known. The plan shown at opening is never
  // sent on its own.
  void SystemParametersAndTheNumberingPlan() {
    TEnv env;
    SysData().Version.Skip123S = 1;
    for (const char* code : {"005S", "010S", "104S", "105S", "106S", "108S", "109S", "110S",
                             "111S", "112S", "113S", "114S", "115S", "116S", "117S", "118S",
                             "119S", "120S", "121S", "122S", "124S", "126S"})
      env.Pbx.SetLine(std::string(code) + "/0/");
    for (const char* l : {"002S/1234/", "008S/03/", "107S/111111/", "127S/1111 0000/"})
      env.Pbx.SetLine(l);
    std::vector<std::string> feature;
    for (int r = 50; r <= 59; ++r) feature.push_back("012S" + std::to_string(r) + "/^/");
    feature[1] = "012S51/*5/";
    env.Pbx.SetList("012S*", feature);

    Run([] { EditSystemParams(nullptr, false); }, [&env](QDialog* d) {
      auto* plan = Find<QComboBox>(d, "NumPlanCb");
      QCOMPARE(plan->count(), 4);  // plan 1 is not told from the numbers: "stay"
      QCOMPARE(plan->currentIndex(), TSystemParamDlg::kStayEntry);
      QVERIFY(plan->isEnabled());
      QVERIFY(!Find<QComboBox>(d, "PulseCb")->isEnabled());
      QCOMPARE(Find<QComboBox>(d, "OperatorCb")->currentText(), QString("3"));
      QCOMPARE(Find<QComboBox>(d, "OperatorCb")->count(), 24);  // no jack the PBX refuses
      auto* grid = Find<QTableWidget>(d, "NumPlanGrid");
      QCOMPARE(grid->item(1, 0)->text(), QString(" 51"));
      QCOMPARE(grid->item(1, 1)->text(), QString("*5"));
      QCOMPARE(grid->item(0, 1)->text(), QString());
      grid->item(2, 1)->setText("#7");
      Find<QListWidget>(d, "DTMFcxl")->item(1)->setCheckState(Qt::Unchecked);
      QCOMPARE(Find<QListWidget>(d, "CallPickupCxl")->item(4)->checkState(), Qt::Unchecked);
      Find<QListWidget>(d, "CallPickupCxl")->item(4)->setCheckState(Qt::Checked);
      Find<QListWidget>(d, "CheckListBox1")->item(9)->setCheckState(Qt::Checked);
      plan->setCurrentIndex(2);
      plan->setCurrentIndex(TSystemParamDlg::kStayEntry);
      plan->setCurrentIndex(2);
      QCOMPARE(env.Fb.Infos.size(), size_t(2));  // once per change to another plan
      Find<TDgtEdit>(d, "SysPswEdit")->setText("567");
      Find<QPushButton>(d, "OkBtn")->click();
      QVERIFY(d->isVisible());
      QCOMPARE(env.Fb.Infos.back(), std::string("System password must consist from 4 digits!"));
      Find<TDgtEdit>(d, "SysPswEdit")->setText("5678");
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QVERIFY(env.Fb.Infos.back().rfind("Access password was changed!", 0) == 0);
    QCOMPARE(env.Writes(), (std::vector<std::string>{"002S/5678/", "107S/101111/", "126S/1/",
                                                     "127S/1111 1000/", "012S52/#7/",
                                                     "009S00/3/"}));
    QCOMPARE(env.Pbx.Plan(), 3);
    QCOMPARE(SysData().Extensions.Cmd009.Count(), 0);

    // On plan 3, read back: the plan is known, "stay" is gone, and OK sends nothing.
    env.Pbx.Sent.clear();
    SetFKeyQuery([] { return true; });  // read again as the dialog opens
    Run([] { EditSystemParams(nullptr, true); }, [](QDialog* d) {
      SetFKeyQuery([] { return false; });
      auto* plan = Find<QComboBox>(d, "NumPlanCb");
      QCOMPARE(plan->count(), 3);
      QCOMPARE(plan->currentIndex(), 2);
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QVERIFY(env.Writes().empty());

    // A plan line the PBX refuses changes nothing: the numbers stay, and the dialog says so.
    env.Pbx.Refused.insert("009S00/2/");
    Run([] { EditSystemParams(nullptr, false); }, [](QDialog* d) {
      Find<QComboBox>(d, "NumPlanCb")->setCurrentIndex(1);
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QVERIFY(env.Fb.Infos.back().rfind("The numbering plan was not changed", 0) == 0);
    QCOMPARE(SysData().Extensions.Cmd009.Count(), 24);
    QCOMPARE(env.Pbx.Plan(), 3);
    // Everything uploaded with F held on OK: the plan chosen is sent, and the numbers the PBX
    // has just reset are no longer shown.
    env.Pbx.Refused.clear();
    Run([] { EditSystemParams(nullptr, false); }, [](QDialog* d) {
      Find<QComboBox>(d, "NumPlanCb")->setCurrentIndex(0);
      SetFKeyQuery([] { return true; });
      Find<QPushButton>(d, "OkBtn")->click();
    });
    SetFKeyQuery([] { return false; });
    QCOMPARE(env.Pbx.Plan(), 1);
    QCOMPARE(SysData().Extensions.Cmd009.Count(), 0);
    QCOMPARE(env.Writes().back(), std::string("009S00/1/"));

    SysData().OnLine = false;
    Run([] { EditSystemParams(nullptr, false); }, [](QDialog* d) {
      QVERIFY(!Find<QComboBox>(d, "NumPlanCb")->isEnabled());
      QVERIFY(!Find<QLabel>(d, "NumPlanLbl")->isEnabled());
    });
  }

  // Keys typed into the cells, insert and delete, the file both ways (a name with ";" and a
  // quote survives, an unquoted name field gives no name), and names padded to the stored
  // length on OK.
  void SpeedDialsGridFileAndStore() {
    for (const auto& [line, number, name] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"123;\"Bob\"", "123", "Bob"}, {"9;\"a;b \"\"c\"\"\"", "9", "a;b \"c\""},
             {"55;Bob", "55", ""}, {" 7 ", " 7 ", ""}, {";\"\"", "", ""}}) {
      std::string n, m;
      ParseSpeedDialLine(line, n, m);
      QCOMPARE(n, number);
      QCOMPARE(m, name);
    }

    TEnv env;
    SysData().Version.ExtendedSpeedDial = 1;
    std::vector<std::string> numbers, names;
    for (int r = 0; r < 100; ++r) {
      const std::string rr = QString::asprintf("%.2d", r).toStdString();
      numbers.push_back("001S" + rr + "/" + (r < 3 ? std::to_string(100 + r) : "^") + "/");
      names.push_back("011S" + rr + "/" + (r == 1 ? "Long name1" : "^") + "/");
    }
    env.Pbx.SetList("001S*", numbers);
    env.Pbx.SetList("011S*", names);
    TTempDir dir;
    const std::string file = dir.File("dials.txt");
    Run([] { EditSpeedDials(nullptr, false); }, [&](QDialog* dlg) {
      auto* d = qobject_cast<TSpeedDialDlg*>(dlg);
      QTableWidget* g = d->Grid();
      QCOMPARE(g->columnCount(), 3);
      QCOMPARE(g->item(1, 1)->text(), QString("101"));
      QCOMPARE(g->item(1, 2)->text(), QString("Long name1"));
      // Typing: f and p become F and P, other letters and blanks are dropped, 32 at most.
      g->setCurrentCell(3, 1);
      g->editItem(g->item(3, 1));
      auto* edit = g->findChild<QLineEdit*>();
      QVERIFY(edit);
      QTest::keyClicks(edit, "1f p*x#");
      QCOMPARE(edit->text(), QString("1FP*#"));
      QTest::keyClicks(edit, QString(40, '9'));
      QCOMPARE(edit->text().size(), 32);
      edit->clear();
      QApplication::clipboard()->setText("0x12,p#");  // a paste keeps what a number may hold
      edit->paste();
      QCOMPARE(edit->text(), QString("012P#"));
      g->setCurrentCell(4, 2);  // ends the edit
      g->item(1, 2)->setText("Ann");
      g->item(2, 2)->setText("a;b \"c\"");
      QVERIFY(d->Export(file));
      g->setCurrentCell(0, 1);
      d->DeleteLine();
      QCOMPARE(g->item(0, 1)->text(), QString("101"));
      QCOMPARE(g->item(99, 1)->text(), QString());
      g->item(99, 1)->setText("999");
      env.Fb.Answers = {false};
      d->InsertLine();  // entry 99 would be lost: asked, and No keeps the grid
      QCOMPARE(g->item(0, 1)->text(), QString("101"));
      QCOMPARE(env.Fb.Questions.size(), size_t(1));
      g->item(99, 1)->setText("");
      d->InsertLine();
      QCOMPARE(env.Fb.Questions.size(), size_t(1));
      QCOMPARE(g->item(0, 1)->text(), QString());
      QCOMPARE(g->item(1, 1)->text(), QString("101"));
      QVERIFY(d->Import(file));
      QCOMPARE(g->item(0, 1)->text(), QString("100"));
      QCOMPARE(g->item(2, 2)->text(), QString("a;b \"c\""));
      QCOMPARE(g->item(3, 1)->text(), QString("012P#"));
      QVERIFY(!d->Import(dir.File("missing.txt")));
      QCOMPARE(g->item(0, 1)->text(), QString("100"));  // a failed import leaves the grid
      g->item(2, 2)->setText("Cy");
      Find<QPushButton>(d, "OkBtn")->click();
    });
    const std::string exported = dir.Read("dials.txt");
    QVERIFY(exported.rfind("100;\"\"\r\n101;\"Ann\"\r\n102;\"a;b \"\"c\"\"\"\r\n", 0) == 0);
    QCOMPARE(std::count(exported.begin(), exported.end(), '\n'), 100L);
    QCOMPARE(SysData().List011S.Items(1).ItemStr(1), std::string("Ann       "));
    QCOMPARE(SysData().List011S.Items(2).ItemStr(1), std::string("Cy"));
    QCOMPARE(env.Fb.Errors.size(), size_t(1));
  }

  // What a technician met in the speed dials: the first F typed on a cell selected but not yet
  // open was taken for the force key ("f12" gave "12", "Fred" "red"); Insert asked about a
  // number in entry 99 only, so a name there was lost unasked; Export left out the text of a
  // cell still being edited; and the dialog read the PBX when only the names were missing.
  void SpeedDialTypedFNameAt99OpenEditorAndPreRead() {
    TEnv env;
    SysData().Version.ExtendedSpeedDial = 1;
    std::vector<std::string> numbers, names;
    for (int r = 0; r < 100; ++r) {
      numbers.push_back(QString::asprintf("001S%.2d/^/", r).toStdString());
      names.push_back(QString::asprintf("011S%.2d/^/", r).toStdString());
    }
    env.Pbx.SetList("001S*", numbers);
    env.Pbx.SetList("011S*", names);
    QVERIFY(SysData().List001S.ReadPBX("001S*//"));  // the numbers there, the names not
    env.Pbx.Sent.clear();
    TTempDir dir;
    const std::string file = dir.File("dials.txt");
    Run([] { EditSpeedDials(nullptr, false); }, [&](QDialog* dlg) {
      QVERIFY(env.Pbx.Sent.empty());
      auto* d = qobject_cast<TSpeedDialDlg*>(dlg);
      QTableWidget* g = d->Grid();
      const auto typeOnCell = [g](int Row, int Col, char First, const char* Rest) {
        g->setCurrentCell(Row, Col);
        QTest::keyClick(g, First);
        auto* edit = g->findChild<QLineEdit*>();
        if (!edit) return QString("no editor");
        QTest::keyClicks(edit, Rest);
        const QString text = edit->text();
        g->setCurrentCell(Row + 1, Col);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the editor
        return text;
      };
      QCOMPARE(typeOnCell(0, 1, 'f', "12"), QString("F12"));
      QCOMPARE(typeOnCell(0, 2, 'F', "red"), QString("Fred"));
      g->item(99, 2)->setText("Zoe");
      env.Fb.Answers = {false};
      d->InsertLine();
      QCOMPARE(env.Fb.Questions.size(), size_t(1));
      QVERIFY(QString::fromStdString(env.Fb.Questions[0]).contains("\"Zoe\""));
      QCOMPARE(g->item(1, 1)->text(), QString());  // No: nothing moved
      g->setCurrentCell(5, 1);
      g->editItem(g->item(5, 1));
      QTest::keyClicks(g->findChild<QLineEdit*>(), "77");
      QVERIFY(d->Export(file));
      Find<QPushButton>(d, "OkBtn")->click();
    });
    std::istringstream lines(dir.Read("dials.txt"));
    std::vector<std::string> exported;
    for (std::string l; std::getline(lines, l);) exported.push_back(l);
    QCOMPARE(exported[0], std::string("F12;\"Fred\"\r"));
    QCOMPARE(exported[5], std::string("77;\"\"\r"));
    QCOMPARE(SysData().List001S.Items(0).ItemStr(1), std::string("F12"));

    SysData().ClearData();  // the numbers missing: read
    Run([] { EditSpeedDials(nullptr, false); }, [](QDialog*) {});
    QVERIFY(std::find(env.Pbx.Sent.begin(), env.Pbx.Sent.end(), "001S*//") != env.Pbx.Sent.end());
  }

  // Read in show mode and back to edit mode, the two-digit year, a 12 AM time written back;
  // a failed read still opens the dialog, with the computer's clock.
  void ClockDialogReadsAndSetsThePbxClock() {
    TRecordingFeedback fb;
    TClockPbx pbx;
    SysData().OnLine = true;
    Run([] { QVERIFY(EditPbxClock(nullptr, false)); }, [](QDialog* dlg) {
      auto* d = qobject_cast<TDateDlg*>(dlg);
      QCOMPARE(d->Value(), QDateTime(QDate(2029, 3, 1), QTime(20, 30)));
      d->SetValue(QDateTime(QDate(2027, 3, 1), QTime(0, 5)));
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QCOMPARE(pbx.Sent, (std::vector<std::string>{"000S ;S>", "000S/2703011,12050/ ;E>"}));
    QCOMPARE(pbx.Modes, (std::vector<std::string>{"END", "SHW", "END", "EDT"}));
    QCOMPARE(fb.TopInfos, (std::vector<std::string>{"Reading..", "Saving.."}));

    for (const auto& [fail, reply, error] : std::vector<std::tuple<bool, std::string, std::string>>{
             {true, "", "Failed to read date and time!"},
             {false, ";=>000S/2902304,08301/", "Bad time - use current value!"}}) {
      pbx.Fail = fail;
      pbx.Reply = reply;
      fb.Errors.clear();
      Run([] { EditPbxClock(nullptr, false); }, [](QDialog* dlg) {
        auto* d = qobject_cast<TDateDlg*>(dlg);
        QVERIFY(qAbs(d->Value().secsTo(QDateTime::currentDateTime())) < 120);
      });
      QCOMPARE(fb.Errors, (std::vector<std::string>{error}));
    }
    SysData().OnLine = false;
  }

  // Typing over the selected text of a time field (Ctrl+A) gives the typed time, in the
  // formats the dialogs use; OK without a change leaves the PBX clock unwritten, a typed time
  // is written. Catches a time field that refuses digits typed over a selection of several
  // sections (the old time stayed), and an OK that rewrites the clock it was given.
  void TimeFieldsTakeTypingOverTheSelection() {
    for (const QString& format : {TimeFormatWithoutSeconds(), QString("HH:mm"), QString("h:mm AP"),
                                  QString("mm:ss")}) {
      TTimeField field;
      field.setDisplayFormat(format);
      field.setTime(format == "mm:ss" ? QTime(0, 17, 45) : QTime(8, 15));
      field.show();
      field.setFocus();
      QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
      QCOMPARE(field.findChild<QLineEdit*>()->selectedText(), field.text());
      QTest::keyClicks(&field, "0930");
      QVERIFY2(field.time() == (format == "mm:ss" ? QTime(0, 9, 30) : QTime(9, 30)),
               qPrintable(format + " gave " + field.text()));
    }

    TRecordingFeedback fb;
    TClockPbx pbx;
    SysData().OnLine = true;
    Run([] { QVERIFY(EditPbxClock(nullptr, false)); },
        [](QDialog* dlg) { Find<QPushButton>(dlg, "OkBtn")->click(); });
    QCOMPARE(pbx.Sent, (std::vector<std::string>{"000S ;S>"}));
    Run([] { QVERIFY(EditPbxClock(nullptr, false)); }, [](QDialog* dlg) {
      auto* time = Find<QTimeEdit>(dlg, "TimePicker");
      time->setFocus();
      QTest::keyClick(time, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(time, "0930");
      Find<QPushButton>(dlg, "OkBtn")->click();
    });
    QCOMPARE(pbx.Sent.back(), std::string("000S/2903014,09300/ ;E>"));
    QVERIFY(fb.Errors.empty());
    SysData().OnLine = false;
  }

  // The windows outside the dialogs name a value as its dialog's choice list does, the raw
  // code beside it: the check before an upload (Hold Recall Time 9 against "Disable ... 6 min")
  // and the comparison with a file (an empty name as "(empty)"). Catches a list counted from
  // the wrong first value (the 1-based durations named one off), a number list taken for names,
  // and the empty item shown as "^".
  void ValuesAreNamedAsTheirDialogsNameThem() {
    SetValueNamesSource(NameValuesFromDialogs);
    const std::tuple<const char*, int, QString, QString> cases[] = {
        {"200S", 1, "0", "Disable  [0]"},   {"200S", 1, "8", "6 min  [8]"},
        {"200S", 1, "9", "9"},              {"205S", 1, "01", "1 min  [01]"},
        {"205S", 1, "32", "32 min  [32]"},  {"604E03", 1, "^", "(empty)  [^]"},
        {"604E03", 1, "Desk", "Desk"},      {"212S", 1, "00", "00"}};
    for (const auto& [head, item, raw, shown] : cases)
      QVERIFY2(NamedValue(head, item, raw) == shown,
               qPrintable(QString("%1 item %2: %3 shown as %4").arg(head).arg(item).arg(raw,
                                                                   NamedValue(head, item, raw))));

    TLineProblem p;
    p.Head = "200S";
    p.Name = "Hold Recall Time";
    p.Item = 1;
    p.Value = "9";
    p.Allowed = "a number from 0 to 8";
    TUploadCheckDlg check(nullptr, {p});
    QCOMPARE(check.Table()->item(0, 3)->text(), QString("9"));
    QCOMPARE(check.Table()->item(0, 4)->text(),
             QString("a number from 0 to 8: Disable \u2026 6 min"));
    QVERIFY(check.Table()->item(0, 4)->toolTip().contains("8 6 min"));
    TCompareDlg compare(nullptr, {{"604E03", "Extension name", 1, "^", "Desk"}, {"200S", "Hold Recall Time", 1, "3", "8"}},
                        "site.ta");
    QCOMPARE(compare.Table()->item(0, TCompareDlg::colWindow)->text(), QString("(empty)  [^]"));
    QCOMPARE(compare.Table()->item(1, TCompareDlg::colWindow)->text(), QString("1.5 min  [3]"));
    QCOMPARE(compare.Table()->item(1, TCompareDlg::colFile)->text(), QString("6 min  [8]"));
    SetValueNamesSource({});
  }

  // Toll restriction codes without their x padding and back, the exception columns by their
  // block ranges, typed and pasted text held to the cell's characters and length; the
  // single-list code dialogs by their table row.
  void CodeTablesAndTollRestriction() {
    TEnv env;
    for (const char* l : {"125S/1/", "301S/2/", "312S/0/"}) env.Pbx.SetLine(l);
    for (const char* code : {"302S", "303S", "304S", "305S"})
      env.Pbx.SetList(std::string(code) + "*", Lines(code, 2, 20, [](int i) {
                        return i == 0 ? std::string("12xxxxxxxxx") : std::string("^");
                      }));
    env.Pbx.SetList("306S*", Lines("306S", 2, 80, [](int i) {
                      return i == 0 || i == 79 ? std::to_string(900 + i) + "xxxxxxxx"
                                               : std::string("^");
                    }));
    Run([] { EditTollRestriction(nullptr, false); }, [](QDialog* d) {
      auto* denied = Find<QTableWidget>(d, "DeniedGrid");
      auto* except = Find<QTableWidget>(d, "ExceptGrid");
      QCOMPARE(denied->item(0, 1)->text(), QString("12"));
      QCOMPARE(except->item(0, 4)->text(), QString("900"));   // block 0: "Classes 2-5", row 1
      QCOMPARE(except->item(19, 1)->text(), QString("979"));  // block 79: "Class 2", row 20
      QCOMPARE(TypeInto(denied, 3, 2, "123456789012"), QString("12345678901"));
      QCOMPARE(TypeInto(denied, 4, 2, "9a,x#*"), QString("9x#*"));
      QCOMPARE(TypeInto(denied, 5, 2, "12-34/5678901234", true), QString("12345678901"));
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QCOMPARE(env.Writes(), (std::vector<std::string>{"303S04/12345678901/", "303S05/9x#*xxxxxxx/",
                                                     "303S06/12345678901/"}));

    env.Pbx.Sent.clear();
    env.Pbx.SetList("309S*", Lines("309S", 1, 3, [](int) { return std::string("^"); }));
    Run([] { EditEmergencyCodes(nullptr, false); }, [](QDialog* d) {
      auto* g = Find<QTableWidget>(d, "StringGrid1");
      QCOMPARE(g->rowCount(), 5);
      QCOMPARE(g->item(4, 0)->text(), QString(" 5"));
      QCOMPARE(TypeInto(g, 0, 1, "911*#0123456789"), QString("91101234567"));
      g->item(4, 1)->setText("112");  // a row the list does not hold: dropped
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QCOMPARE(env.Writes(), (std::vector<std::string>{"309S1/91101234567/"}));
    QCOMPARE(CodeListSpec(grAccountCodes).Rule.MaxLength, 4);
  }

  // Pages and tables say what they hold: a page named by a bare number says in words what it
  // holds, every column of a table has a heading, and a table shows at least twelve rows (all of a shorter one) without
  // scrolling. Catches a page named "1", a hidden or missing heading, a table left at its
  // default size with a few rows showing.
  void PagesAndTablesSayWhatTheyHold() {
    TEnv env;
    SysData().OnLine = false;
    const auto check = [](QDialog* d) {
      for (QTabWidget* pages : d->findChildren<QTabWidget*>()) {
        // A grid of keys does not set the dialog's height, leaving its settings pages half
        // empty (the extension dialog's twelve rows of keys with their labels above them).
        int keys = 0, settings = 0;
        for (int i = 0; i < pages->count(); ++i) {
          const int h = pages->widget(i)->sizeHint().height();
          int& tallest = pages->widget(i)->findChild<TBtnGrid*>() ? keys : settings;
          tallest = std::max(tallest, h);
        }
        QVERIFY2(keys <= settings, qPrintable(d->objectName() + QString(": keys %1 high, "
                                                                        "settings %2")
                                                                    .arg(keys)
                                                                    .arg(settings)));
        for (int i = 0; i < pages->count(); ++i) {
          // A page named by its number alone says in its tip what it holds.
          bool number = false;
          pages->tabText(i).remove('&').trimmed().toInt(&number);
          bool tipNumber = false;
          pages->tabToolTip(i).trimmed().toInt(&tipNumber);
          QVERIFY2(!number || (!pages->tabToolTip(i).isEmpty() && !tipNumber),
                   qPrintable(d->objectName() + " page " + pages->tabText(i)));
        }
      }
      for (QTableWidget* t : d->findChildren<QTableWidget*>()) {
        const QString name = d->objectName() + " " + t->objectName();
        // The page that holds the table is shown first.
        for (QTabWidget* pages : d->findChildren<QTabWidget*>())
          for (int i = 0; i < pages->count(); ++i)
            if (pages->widget(i)->isAncestorOf(t)) pages->setCurrentIndex(i);
        QApplication::processEvents();
        QVERIFY2(t->isVisible() && !t->horizontalHeader()->isHidden(), qPrintable(name));
        for (int c = 0; c < t->columnCount(); ++c) {
          const QTableWidgetItem* h = t->horizontalHeaderItem(c);
          QVERIFY2(h && !h->text().trimmed().isEmpty(), qPrintable(name));
        }
        int shown = 0;
        for (int r = 0; r < t->rowCount(); ++r)
          if (t->rowViewportPosition(r) >= 0 &&
              t->rowViewportPosition(r) + t->rowHeight(r) <= t->viewport()->height())
            ++shown;
        QVERIFY2(shown >= std::min(t->rowCount(), 12),
                 qPrintable(name + QString(" shows %1 rows").arg(shown)));
      }
    };
    for (const std::function<void()>& open : std::vector<std::function<void()>>{
             [] { EditSystemParams(nullptr, false); }, [] { EditAccountCodes(nullptr, false); },
             [] { EditAutoPauseCodes(nullptr, false); },
             [] { EditCarrierExceptedCodes(nullptr, false); },
             [] { EditEmergencyCodes(nullptr, false); },
             [] { EditTollRestriction(nullptr, false); },
             [] { EditCOLines(nullptr, TIntegerList{1}); },
             [] { EditExtensions(nullptr, TIntegerList{1}); }})
      Run(open, check);
  }

  // Hunting type by the group digits (group 5 is the sixth character), the two-digit SMDR
  // page length, and voice mail ports only as far as the list goes.
  void VoiceMailCallHuntingAndSmdr() {
    TEnv env;
    env.Pbx.SetLine("100S/1010 0101/");
    env.Pbx.SetLine("101S/1000 0001/");
    for (const char* l : {"801S/66,03/", "802S/1,1/", "803S/0/", "805S/0/", "806S/0/",
                          "103S/0/"})
      env.Pbx.SetLine(l);
    env.Pbx.SetList("102E*", {"102E07/0/", "102E08/1/"});
    Run([] { EditCallHunting(nullptr, false); }, [](QDialog* d) {
      QCOMPARE(Find<QComboBox>(d, "EXG1cb")->currentText(), QString("Circular"));
      QCOMPARE(Find<QComboBox>(d, "EXG3cb")->currentText(), QString("Terminate"));
      QCOMPARE(Find<QComboBox>(d, "EXG5cb")->currentText(), QString("Disable"));
      Find<QComboBox>(d, "EXG5cb")->setCurrentIndex(2);
      Find<QComboBox>(d, "EXG1cb")->setCurrentIndex(0);
      Find<QPushButton>(d, "OkBtn")->click();
    });
    Run([] { EditSMDR(nullptr, false); }, [](QDialog* d) {
      QCOMPARE(Find<QSpinBox>(d, "PageLenEdit")->value(), 66);
      Find<QSpinBox>(d, "PageLenEdit")->setValue(9);
      Find<QSpinBox>(d, "PerfEdit")->setValue(120);  // held within 0 to 95
      Find<QPushButton>(d, "OkBtn")->click();
    });
    Run([] { EditVoiceMail(nullptr, false); }, [](QDialog* d) {
      auto* jacks = Find<QListWidget>(d, "JackCxl");
      QCOMPARE(jacks->item(1)->checkState(), Qt::Checked);
      QVERIFY(!(jacks->item(2)->flags() & Qt::ItemIsUserCheckable));
      jacks->item(0)->setCheckState(Qt::Checked);
      jacks->item(3)->setCheckState(Qt::Checked);  // no such port in the list: not stored
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QCOMPARE(env.Writes(), (std::vector<std::string>{"100S/0010 1101/", "101S/0000 1001/",
                                                     "801S/09,95/", "102E07/1/"}));
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
