// The extension parameters dialog against the small in-process PBX: multi-jack editing, the
// name field, the shared per-jack digits, the free-number and button-copy dialogs, and what
// OK, Cancel and the F key send.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <map>

#include "CopyButtons.h"
#include "EXTparam.h"
#include "FKey.h"
#include "FreeNumbers.h"
#include "PbxModel.h"
#include "RecordingFeedback.h"
#include "SysData.h"
#include "Views.h"

namespace {

std::string TwoDigits(int N) { return (N < 10 ? "0" : "") + std::to_string(N); }

// A shared line whose jacks all carry Digit except those given.
std::string DigitLine(const std::string& Head, char Digit, std::map<int, char> Jacks = {}) {
  std::string items;
  for (int j = 1; j <= 24; ++j) {
    if (j > 1 && (j - 1) % 8 == 0) items += ',';
    if ((j - 1) % 8 == 4) items += ' ';
    items += Jacks.count(j) ? Jacks[j] : Digit;
  }
  return Head + "/" + items + "/";
}

struct TEnv {
  TRecordingFeedback Fb;
  TPbxModel Pbx;
  bool F = false;

  explicit TEnv(bool Online) {
    Pbx.FillTables();
    // Groups and classes of service count from 1.
    for (int j = 1; j <= 24; ++j)
      for (const char* code : {"600E", "601E", "602E", "603E"})
        Pbx.SetLine(code + TwoDigits(j) + "/1/");
    SysData().ClearData();
    SysData().OnLine = Online;
    SetFKeyQuery([this] { return F; });
    TProgDlg::SetRememberedPage("TEXTprmDlg", 0);
  }
  ~TEnv() {
    SetFKeyQuery({});
    SysData().OnLine = false;
    SysData().ClearData();
    ViewDialogs() = TViewDialogs();
  }
  void Preload(const TIntegerList& Jacks) {
    SysData().Extensions.ReadJacks(Jacks, false);
    Pbx.Sent.clear();
    Fb.Progress.clear();
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> w;
    for (const auto& s : Pbx.Sent)
      if (s.size() < 2 || s.compare(s.size() - 2, 2, "//") != 0) w.push_back(s);
    return w;
  }
  size_t Reads() const { return Pbx.Sent.size() - Writes().size(); }
};

TExtensionArray& Ext() { return SysData().Extensions; }
std::string Block(int Jack, const char* Code) { return Ext().Jacks(Jack).BlockOf(Code).Data(); }
int Digit(int List, int Line, int Jack) {
  return TExtensionArray::JackDigit(Ext().SharedList(List).Items(Line), Jack);
}

template <class T>
T* Find(QWidget* Dlg, const char* Name) {
  T* w = Dlg->findChild<T*>(Name);
  if (!w) qWarning("no control %s", Name);
  return w;
}

void Click(QWidget* Dlg, const char* Name) {
  if (auto* b = Find<QPushButton>(Dlg, Name)) b->click();
}

// Runs Action inside the next modal dialog of type T that Open brings up; the dialog is closed
// afterwards whatever Action did, so that a failed check cannot hang the test.
template <class T>
void WhenOpen(std::function<void(T*)> Action) {
  QTimer::singleShot(0, [Action] {
    auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dlg) return WhenOpen<T>(Action);
    Action(dlg);
    if (dlg->isVisible()) dlg->reject();
  });
}

bool Run(const TIntegerList& Jacks, std::function<void(TEXTprmDlg*)> Action) {
  WhenOpen<TEXTprmDlg>(Action);
  return EditExtensions(nullptr, Jacks);
}

// Counts the reloads of the button pages, as the button editors will see them.
class TCountingDlg : public TEXTprmDlg {
 public:
  using TEXTprmDlg::TEXTprmDlg;
  int Reloads = 0;

 protected:
  void ReloadButtonPages() override {
    ++Reloads;
    TEXTprmDlg::ReloadButtonPages();
  }
};

}  // namespace

class EXTparamTest : public QObject {
  Q_OBJECT

 private slots:
  void StationsWindowOpensTheDialogFromEveryEntryPoint() {
    TEnv env(false);
    std::vector<TIntegerList> opened;
    ViewDialogs().Extensions = [&](QWidget*, const TIntegerList& L) {
      opened.push_back(L);
      return false;
    };
    TStationsWnd w(SysData());
    w.ExtList()->item(4)->setSelected(true);
    w.ExtList()->item(1)->setSelected(true);
    QTest::keyClick(w.ExtList(), Qt::Key_Return);
    w.ExtMenu()->findChild<QAction*>("ExtEditAct")->trigger();
    emit w.ExtList()->itemDoubleClicked(w.ExtList()->item(1));
    QCOMPARE(opened.size(), size_t(3));
    for (const TIntegerList& l : opened) QVERIFY(l == TIntegerList({2, 5}));
    std::vector<TIntegerList> consoles;
    ViewDialogs().DSSConsoles = [&](QWidget*, const TIntegerList& L) {
      consoles.push_back(L);
      return false;
    };
    w.DSSList()->item(1)->setSelected(true);
    QTest::keyClick(w.DSSList(), Qt::Key_Enter);
    QCOMPARE(consoles.size(), size_t(1));
    QVERIFY(consoles[0] == TIntegerList({2}));

    // The real dialog, offline over a jack without data: it says so and still opens.
    ViewDialogs().Extensions = EditExtensions;
    w.ExtList()->clearSelection();
    w.ExtList()->item(2)->setSelected(true);
    bool shown = false;
    WhenOpen<TEXTprmDlg>([&shown](TEXTprmDlg*) { shown = true; });
    QTest::keyClick(w.ExtList(), Qt::Key_Return);
    QVERIFY(shown);
    QCOMPARE(env.Fb.Infos,
             std::vector<std::string>{"No actual data!\rPlease, go On-Line or load saved disk file."});
    QVERIFY(env.Pbx.Sent.empty());
  }

  void TwoJacksKeepTheirOwnClassWhileATypedNameReachesBoth() {
    TEnv env(true);
    env.Pbx.SetLine("601E01/2/");
    env.Pbx.SetLine("601E02/4/");
    // Differing in what the dialog does not show (389E) or only in the message button's
    // parameter: each jack keeps its own.
    env.Pbx.SetLine("389E02/1/");
    env.Pbx.SetLine("P01BM01/2,07/");
    env.Pbx.SetLine("P02BM01/2,05/");
    ViewDialogs().Extensions = EditExtensions;
    TStationsWnd w(SysData());
    w.ExtList()->item(1)->setSelected(true);
    w.ExtList()->item(0)->setSelected(true);
    WhenOpen<TEXTprmDlg>([](TEXTprmDlg* d) {
      QCOMPARE(d->windowTitle(), QString("Extension 101-102"));
      QCOMPARE(Find<QComboBox>(d, "COSdayCB")->currentIndex(), -1);
      QCOMPARE(Find<QLineEdit>(d, "StnName")->text(), QString("???"));
      QVERIFY(!Find<QComboBox>(d, "ExtNumCB")->isEnabled());
      QVERIFY(Find<QPushButton>(d, "CopyBtnsCO")->isHidden());
      Find<QLineEdit>(d, "StnName")->setText("Desk");
      Click(d, "OkBtn");
    });
    QTest::keyClick(w.ExtList(), Qt::Key_Return);
    // Both jacks, the numbers and the shared lists were read first.
    QCOMPARE(env.Fb.Progress.front().Caption, std::string("Read"));
    QCOMPARE(env.Fb.Progress.front().Maximum, 2 * 94 + 29 + 36 + 72);
    QCOMPARE(Block(1, "601E"), std::string("601E01/2/"));
    QCOMPARE(Block(2, "601E"), std::string("601E02/4/"));
    QCOMPARE(env.Writes(),
             (std::vector<std::string>{"604E01/Desk      /", "604E02/Desk      /"}));
    QCOMPARE(w.ExtList()->item(0)->text(), QString("Desk (P1, E101)"));
    QVERIFY(!Ext().HasChanges());
  }

  void TheNameTakesOnlyWhatThePbxStoresAndAtMostTenCharacters() {
    TEnv env(false);
    env.Preload({1});
    QVERIFY(Run({1}, [](TEXTprmDlg* d) {
      auto* name = Find<QLineEdit>(d, "StnName");
      QCOMPARE(name->text(), QString("Stn 01"));
      struct {
        const char* Paste;
        const char* Field;
      } pastes[] = {{"Reception desk", "Reception "}, {"A,B", ""}, {"x/y", ""}, {"a\nb", ""}};
      for (const auto& p : pastes) {
        name->clear();
        QApplication::clipboard()->setText(p.Paste);
        name->paste();
        QCOMPARE(name->text(), QString(p.Field));
      }
      name->clear();
      QTest::keyClicks(name, "Ann,/~{Lee}");
      QCOMPARE(name->text(), QString("AnnLee"));
      name->setText("Reception desk");  // set past the field's checks: still cut at 10
      Click(d, "OkBtn");
    }));
    QCOMPARE(Block(1, "604E"), std::string("604E01/Reception /"));
    // An untouched name stays as the PBX holds it, even the empty mark.
    Ext().Jacks(1).BlockOf("604E").SetData("604E01/^/");
    Ext().Jacks(1).BlockOf("604E").Changed = false;
    QVERIFY(Run({1}, [](TEXTprmDlg* d) { Click(d, "OkBtn"); }));
    QCOMPARE(Block(1, "604E"), std::string("604E01/^/"));
    QVERIFY(!Ext().HasChanges());
  }

  void GreyedChecksAndBlankChoicesLeaveEachJacksDigits() {
    TEnv env(false);
    env.Pbx.SetLine("606E01/1/");
    env.Pbx.SetLine("606E02/0/");
    env.Pbx.SetList("408C*", {DigitLine("408C1", '1', {{2, '0'}}), DigitLine("408C2", '1'),
                              DigitLine("408C3", '1'), DigitLine("408C4", '1'),
                              DigitLine("408C5", '1'), DigitLine("408C6", '1')});
    env.Pbx.SetList("700P*", {DigitLine("700P1", '1'), DigitLine("700P2", '1'),
                              DigitLine("700P3", '1')});
    env.Preload({1, 2});
    QVERIFY(Run({2, 1}, [](TEXTprmDlg* d) {
      auto* options = Find<QListWidget>(d, "OptionsLB");
      QCOMPARE(options->count(), 11);
      QCOMPARE(options->item(0)->checkState(), Qt::PartiallyChecked);  // 606E differs
      QCOMPARE(options->item(2)->checkState(), Qt::Unchecked);
      options->item(2)->setCheckState(Qt::Checked);  // 608E for both
      QVERIFY(!Find<QListWidget>(d, "DphDayCl")->isEnabled());  // 3 lines: not used
      QCOMPARE(Find<QListWidget>(d, "DopenDayCl")->item(3)->checkState(), Qt::Checked);
      Find<QListWidget>(d, "DopenDayCl")->item(3)->setCheckState(Qt::Unchecked);
      // Day: CO 1 rings jack 1 only (blank), the other lines after 5 seconds.
      QCOMPARE(Find<QComboBox>(d, "CO1inCb")->currentIndex(), -1);
      QCOMPARE(Find<QComboBox>(d, "CO2inCb")->currentText(), QString("after 5 sec"));
      Find<QComboBox>(d, "CO2inCb")->setCurrentIndex(4);  // "No rings"
      Find<QCheckBox>(d, "CO3outCx")->setCheckState(Qt::Unchecked);
      auto* periods = Find<QTabBar>(d, "PeriodTabs");
      periods->setCurrentIndex(1);  // Night
      QCOMPARE(Find<QComboBox>(d, "CO2inCb")->currentText(), QString("after 5 sec"));
      QCOMPARE(Find<QCheckBox>(d, "CO3outCx")->checkState(), Qt::Checked);
      Find<QComboBox>(d, "CO4inCb")->setCurrentIndex(2);  // "after 10 sec"
      periods->setCurrentIndex(0);
      QCOMPARE(Find<QComboBox>(d, "CO2inCb")->currentIndex(), 4);  // the day's edit kept
      Click(d, "OkBtn");
    }));
    QCOMPARE(Block(1, "606E"), std::string("606E01/1/"));
    QCOMPARE(Block(2, "606E"), std::string("606E02/0/"));
    QCOMPARE(Block(2, "608E"), std::string("608E02/1/"));
    // Shared lists: 0 700P, 3 703P, 6 405C, 7 406C, 9 408C, 10 409C, 12 411C, 13 412C.
    struct {
      int List, Line, Jack, Digit;
    } digits[] = {{9, 0, 1, 1},  {9, 0, 2, 0},  {12, 0, 1, 1}, {12, 0, 2, 1}, {9, 1, 1, 0},
                  {9, 1, 2, 0},  {12, 1, 1, 0}, {12, 1, 2, 0}, {9, 1, 3, 1},  {12, 1, 3, 1},
                  {6, 2, 1, 0},  {6, 2, 2, 0},  {6, 2, 3, 1},  {7, 2, 1, 1},  {10, 3, 2, 1},
                  {13, 3, 2, 2}, {13, 3, 3, 1}, {3, 3, 1, 0},  {3, 3, 2, 0},  {0, 2, 1, 1}};
    for (const auto& c : digits) {
      QCOMPARE(Digit(c.List, c.Line, c.Jack), c.Digit);
    }
  }

  void FreeNumbersFollowThePlanAndTheChoiceBecomesTheNumber() {
    struct {
      int Plan;
      bool BoxShown;
      const char *First, *Last;
      int Count;
      bool Online;
    } cases[] = {{3, false, "10", "49", 17, true}, {1, true, "100", "199", 77, false}};
    for (const auto& c : cases) {
      TEnv env(c.Online);
      env.Pbx.SetPlan(c.Plan);
      env.Preload({5});
      const QString own = QString::fromStdString(env.Pbx.Number(5));
      QVERIFY(Run({5}, [&](TEXTprmDlg* d) {
        auto* num = Find<QComboBox>(d, "ExtNumCB");
        QVERIFY(num->isEnabled());
        QCOMPARE(num->currentText(), own);
        WhenOpen<TFreeDNdlg>([&](TFreeDNdlg* f) {
          QCOMPARE(f->windowTitle(), QString("Free Extension numbers"));
          QCOMPARE(!f->Plan2Box()->isHidden(), c.BoxShown);
          QTableWidget* g = f->Grid();
          QCOMPARE(g->columnCount(), 10);
          QCOMPARE(g->rowCount(), (c.Count + 9) / 10);
          QStringList cells;
          for (int r = 0; r < g->rowCount(); ++r)
            for (int k = 0; k < 10; ++k)
              if (!g->item(r, k)->text().isEmpty()) cells << g->item(r, k)->text();
          QCOMPARE(cells.size(), c.Count);
          QCOMPARE(cells.front(), QString(c.First));
          QCOMPARE(cells.back(), QString(c.Last));
          QVERIFY(cells.contains(own));
          for (int j = 1; j <= 24; ++j)
            if (j != 5) QVERIFY(!cells.contains(QString::fromStdString(env.Pbx.Number(j))));
          QCOMPARE(g->currentItem()->text(), own);
          if (c.BoxShown) {
            f->Plan2Box()->setChecked(true);
            QCOMPARE(g->rowCount(), 38);  // 100-499 without the other jacks' 23 numbers
            QCOMPARE(g->item(37, 6)->text(), QString("499"));
          }
          g->setCurrentCell(g->rowCount() - 1, 9);  // empty cell: refused, stays open
          Click(f, "OkBtn");
          QVERIFY(f->isVisible());
          QCOMPARE(env.Fb.Infos.back(), std::string("Select some non-empty Entension number!"));
          g->setCurrentCell(0, 0);
          Click(f, "OkBtn");
        });
        num->showPopup();
        QCOMPARE(num->currentText(), QString(c.First));
        Click(d, "OkBtn");
      }));
      QCOMPARE(Ext().Cmd009.NumberOfJack(5), std::string(c.First));
      if (c.Online)
        QCOMPARE(env.Pbx.Number(5), std::string(c.First));  // the new number reached the PBX
      else
        QVERIFY(env.Pbx.Sent.empty());
    }
  }

  void CopiedButtonsAreRenumberedAndNeedDataEverywhere() {
    TEnv env(false);
    env.Pbx.SetList("P01BC*", {"P01BC01/0,1/", "P01BC02/2,05/"});
    env.Pbx.SetList("P01BF*", {"P01BF01/123/"});
    env.Preload({1, 4, 5});
    TCountingDlg dlg(nullptr, {1});
    WhenOpen<TEXTprmDlg>([&env, &dlg](TEXTprmDlg* d) {
      QCOMPARE(dlg.Reloads, 1);
      QCOMPARE(d->ScratchBC().Items(1).Data(), std::string("P01BC02/2,05/"));
      auto copy = [&](const char* Src, const char* Dest, const char* Info) {
        WhenOpen<TCopyBtnDlg>([=, &env](TCopyBtnDlg* c) {
          auto* src = Find<QComboBox>(c, "SrcEXTcombo");
          src->setCurrentIndex(src->findText(Src));
          Find<QPlainTextEdit>(c, "DestExtMemo")->setPlainText(Dest);
          QVERIFY(Find<QCheckBox>(c, "CopyCOcx")->isChecked());
          QVERIFY(Find<QCheckBox>(c, "CopyPFcx")->isChecked());
          env.Fb.Infos.clear();
          Click(c, "OkBtn");
          QCOMPARE(c->isVisible(), *Info != 0);
          if (*Info) QCOMPARE(env.Fb.Infos, std::vector<std::string>{Info});
        });
        Click(d, "CopyBtnsCO");
      };
      copy("101", "101, 107",
           "Destination Extension 107 still has not actual data - copying is not possible!");
      copy("107", "101", "Source Extension 107 still has not actual data - nothing to copy!");
      QCOMPARE(dlg.Reloads, 1);
      copy("101", "101, 105-104", "");
      QCOMPARE(dlg.Reloads, 2);  // its own jack was a target
      for (int j : {4, 5}) {
        const TExtensionData& w = d->WorkingCopy().Jacks(j);
        const std::string jj = TwoDigits(j);
        QCOMPARE(w.BC.Count(), 2);
        QCOMPARE(w.BC.Items(1).Data(), "P" + jj + "BC02/2,05/");
        QCOMPARE(w.BF.Count(), 1);
        QCOMPARE(w.BF.Items(0).Data(), "P" + jj + "BF01/123/");
      }
      QCOMPARE(Ext().Jacks(4).BC.Count(), 3);  // the store is untouched until OK
      Click(d, "OkBtn");
    });
    QVERIFY(dlg.Execute(false));
    QCOMPARE(Ext().Jacks(5).BC.Items(0).Data(), std::string("P05BC01/0,1/"));
    QCOMPARE(Ext().Jacks(5).BC.Count(), 2);
    // Two CO lines and one PF line of each destination; the source is as it was.
    QCOMPARE(Ext().ChangedCount(), 6);
  }

  void FKeyRereadsOnOpenAndUploadsEverythingOnOK() {
    TEnv env(true);
    env.Preload({2, 3});
    env.F = true;
    QVERIFY(Run({3, 2}, [&env](TEXTprmDlg*) {
      // Two jacks again: 22 blocks and two button lists each; numbers and lists are actual.
      QCOMPARE(env.Reads(), size_t(48));
      env.Pbx.Sent.clear();
    }) == false);
    env.Pbx.Sent.clear();
    QVERIFY(Run({3, 2}, [](TEXTprmDlg* d) { Click(d, "OkBtn"); }));
    std::vector<std::string> w = env.Writes();
    for (int j : {2, 3})
      for (const char* code : TExtensionData::kCodes) {
        const std::string head =
            std::string(code) == "BM01" ? "P" + TwoDigits(j) + "BM01/" : code + TwoDigits(j) + "/";
        QVERIFY2(std::any_of(w.begin(), w.end(),
                             [&](const std::string& s) { return s.rfind(head, 0) == 0; }),
                 head.c_str());
      }
    QCOMPARE(env.Fb.Progress.back().Caption, std::string("Save"));
    QCOMPARE(env.Fb.Progress.back().Maximum, 2 * 444);
    // Without F an untouched dialog over two jacks sends nothing: renumbering is no edit.
    env.F = false;
    env.Pbx.Sent.clear();
    QVERIFY(Run({2, 3}, [](TEXTprmDlg* d) { Click(d, "OkBtn"); }));
    QVERIFY(env.Pbx.Sent.empty());
  }

  // Prev / Next name the neighbour by its extension number, "Ext ?" when program 009 has none
  // for it, and the caption follows the jack shown. Catches "Jack 3" on the button, and the
  // caption of the jack left behind after stepping onto a jack without a number.
  void PrevNextAndCaptionNameExtensionNumbers() {
    TEnv env(true);
    env.Preload({1, 2, 3});
    SysData().OnLine = false;
    TCmd009S& numbers = Ext().Cmd009;
    TCmdList two;  // jacks 1 and 2 have numbers, the others none
    for (int i = 0; i < 2; ++i) two.Add(TCmdData::CreateCopy(numbers.Items(i)));
    numbers.TCmdList::Assign(two);
    QVERIFY(!Run({2}, [](TEXTprmDlg* d) {
      QCOMPARE(d->windowTitle(), QString("Extension 102"));
      QCOMPARE(Find<QPushButton>(d, "PrevExt")->text(), QString("Ext 101"));
      QCOMPARE(Find<QPushButton>(d, "NextExt")->text(), QString("Ext ?"));
      Click(d, "NextExt");
      QCOMPARE(d->windowTitle(), QString("Extension ?"));
      QCOMPARE(Find<QPushButton>(d, "PrevExt")->text(), QString("Ext 102"));
      Click(d, "CancelBtn");
    }));
  }

  void NavigationAndCancel() {
    TEnv env(true);
    env.Preload({24});
    std::vector<std::string> before;
    for (int i = 0; i < TExtensionData::kBlockCount; ++i)
      before.push_back(Ext().Jacks(24).Block(i).Data());
    QVERIFY(!Run({24}, [&env](TEXTprmDlg* d) {
      QCOMPARE(d->windowTitle(), QString("Extension 124"));
      auto* next = Find<QPushButton>(d, "NextExt");
      auto* prev = Find<QPushButton>(d, "PrevExt");
      QVERIFY(!next->isEnabled());
      QCOMPARE(next->text(), QString("&Next Ext"));
      QCOMPARE(prev->text(), QString("Ext 123"));
      QVERIFY(!Find<QPushButton>(d, "CopyBtnsPF")->isHidden());
      Find<QLineEdit>(d, "StnName")->setText("Changed");
      Find<QComboBox>(d, "COSnightCB")->setCurrentIndex(4);
      Find<QComboBox>(d, "CO1inCb")->setCurrentIndex(4);
      prev->click();
      QCOMPARE(env.Reads(), size_t(24));  // jack 23 lacked data: read
      QCOMPARE(d->windowTitle(), QString("Extension 123"));
      QCOMPARE(Find<QLineEdit>(d, "StnName")->text(), QString("Stn 23"));
      QCOMPARE(d->WorkingCopy().Jacks(24).BlockOf("604E").Data(), std::string("604E24/Changed   /"));
      Click(d, "CancelBtn");
    }));
    std::vector<std::string> after;
    for (int i = 0; i < TExtensionData::kBlockCount; ++i)
      after.push_back(Ext().Jacks(24).Block(i).Data());
    QCOMPARE(after, before);
    QCOMPARE(Block(23, "604E"), std::string("604E23/Stn 23    /"));  // read, not edited
    QCOMPARE(Digit(9, 0, 24), 1);
    QVERIFY(!Ext().HasChanges());
    QVERIFY(env.Writes().empty());
  }
};

QTEST_MAIN(EXTparamTest)
#include "EXTparamTest.moc"
