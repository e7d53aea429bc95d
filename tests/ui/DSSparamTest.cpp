// The button pages and the DSS console dialog against the small in-process PBX: labels and
// numbering of the keys, the button editors and their refusals, one and both consoles, and
// what OK, Cancel and the F key read and send.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "BtnGrid.h"
#include "ButtonPages.h"
#include "DSSparam.h"
#include "FKey.h"
#include "PbxModel.h"
#include "RecordingFeedback.h"
#include "SysData.h"
#include "Views.h"

namespace {

const char* const kNoData = "No actual data!\rPlease, go On-Line or load saved disk file.";

struct TEnv {
  TRecordingFeedback Fb;
  TPbxModel Pbx;  // plan 1: jack j has extension 100 + j
  bool F = false;
  int PBXtype = SysData().Settings.PBXtype;

  explicit TEnv(bool Online) {
    Pbx.FillTables();
    SysData().ClearData();
    SysData().OnLine = Online;
    SetFKeyQuery([this] { return F; });
  }
  ~TEnv() {
    SetFKeyQuery({});
    SysData().OnLine = false;
    SysData().ClearData();
    SysData().Settings.PBXtype = static_cast<uint8_t>(PBXtype);
  }
  // What an earlier read-all would have left in the store, then the traffic forgotten.
  void Preload(const TIntegerList& Consoles) {
    SysData().Extensions.ReadNumbers(false);
    SysData().DSSConsoles.ReadConsoles(Consoles, false);
    Pbx.Sent.clear();
    Fb.Progress.clear();
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> w;
    for (const auto& s : Pbx.Sent)
      if (s.size() < 2 || s.compare(s.size() - 2, 2, "//") != 0) w.push_back(s);
    return w;
  }
  std::vector<std::string> Reads() const {
    std::vector<std::string> r;
    for (const auto& s : Pbx.Sent)
      if (s.size() >= 2 && s.compare(s.size() - 2, 2, "//") == 0) r.push_back(s);
    return r;
  }
};

TDSSdata& Console(int D) {
  return SysData().DSSConsoles.Consoles(D);
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

void Choose(QWidget* Dlg, int Function) {
  Find<TRadioGroup>(Dlg, "FuncRG")->Button(Function)->click();
}

TButtonPage* Page(QWidget* Dlg, const char* Grid) {
  auto* g = Find<TBtnGrid>(Dlg, Grid);
  return g ? qobject_cast<TButtonPage*>(g->parentWidget()) : nullptr;
}

// Runs Action on the next modal dialog of type T once it shows; whatever Action does, the
// dialog is closed afterwards (Cancel) so that a failed check cannot hang the test.
template <class T>
void OnModal(std::function<void(T*)> Action) {
  QTimer::singleShot(0, [Action] {
    auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dlg) {
      OnModal<T>(Action);
      return;
    }
    Action(dlg);
    if (dlg->isVisible()) dlg->reject();
  });
}

bool Run(const TIntegerList& Consoles, std::function<void(TDSSprmDlg*)> Action) {
  OnModal<TDSSprmDlg>(std::move(Action));
  return EditDSSConsoles(nullptr, Consoles);
}

// A line of button text with the undefined marks of a multi-selection.
std::unique_ptr<TCmdData> Line(const std::string& Text, bool Undef1 = false, bool Undef2 = false) {
  auto b = std::make_unique<TCmdData>();
  b->SetData(Text);
  b->Undefined[0] = Undef1;
  b->Undefined[1] = Undef2;
  return b;
}

}  // namespace

class DSSparamTest : public QObject {
  Q_OBJECT

 private slots:
  void LabelsAndHintsOfEveryKindOfButton() {
    TCmd009S numbers;
    for (int j = 1; j <= 24; ++j) numbers.Add(Line(TPbxModel::Line009(j, std::to_string(100 + j))));
    using K = TButtonKind;
    struct TCase {
      K Kind;
      const char* Text;
      bool Undef1, Undef2;
      const char* Short;
      const char* Hint;  // of button 7
    } cases[] = {
        {K::CO, "P01BC07/,/", false, false, "", "7: Not assigned"},
        {K::CO, "P01BC07/0,3/", false, false, "S-C0 3", "7: Single C0 3"},
        {K::CO, "P01BC07/1,2/", false, false, "G-C0, 2", "7: Group C0, TRG 2"},
        {K::CO, "P01BC07/2,05/", false, false, "DSS 105", "7: DSS 105"},
        {K::CO, "P01BC07/3,5551234/", false, false, "5551234", "7: 5551234"},
        {K::CO, "P01BC07/3,/", false, false, "", "7: Not assigned"},
        {K::CO, "P01BC07/4/", false, false, "O-CO", "7: Other CO"},
        {K::CO, "P01BC07/5/", false, false, "Conf", "7: Conference"},
        {K::CO, "P01BC07/6/", false, false, "FWD/DND", "7: FWD/DND"},
        {K::CO, "P01BC07/7/", false, false, "Save", "7: Save"},
        {K::CO, "P01BC07/A/", false, false, "LogIn/Out", "7: Group Login/Logout"},
        {K::CO, "P01BC07/9/", false, false, "Func 9", "7: Func 9"},
        {K::CO, "P01BC07/2,05/", false, true, "???", "7: ???"},
        {K::CO, "P01BC07/2,05/", true, false, "???", "7: ???"},
        {K::DSS, "D01BD07/2,05/", false, false, "DSS 105", "7: DSS 105"},
        {K::DSS, "D01BD07/6,05/", false, false, "Lock 105", "7: Station Lock 105"},
        {K::DSS, "D01BD07/7/", false, false, "Day", "7: Day mode"},
        {K::DSS, "D01BD07/8/", false, false, "Night", "7: Night mode"},
        {K::DSS, "D01BD07/9/", false, false, "Lunch", "7: Lunch mode"},
        {K::DSS, "D01BD07/3,12/", false, false, "12", "7: 12"},
        {K::DSS, "D01BD07/3,/", false, false, "", "7: Not assigned"},
        {K::DSS, "D01BD07/0,1/", false, false, "S-C0 1", "7: Single C0 1"},
        {K::DSS, "D01BD07/1,5/", false, false, "G-C0, 5", "7: Group C0, TRG 5"},
        {K::DSS, "D01BD07/4/", false, false, "O-CO", "7: Other CO"},
        {K::DSS, "D01BD07/5/", false, false, "Conf", "7: Conference"},
        {K::DSS, "D01BD07/A/", false, false, "LogIn/Out", "7: Group Login/Logout"},
        {K::DSS, "D01BD07/B/", false, false, "Func B", "7: Func B"},
        {K::DSS, "D01BD07/6,05/", false, true, "???", "7: ???"},
        {K::Message, "P01BM01/5/", false, false, "Message", "7: Message"},
        {K::Message, "P01BM01/2,03/", false, false, "DSS 103", "7: DSS 103"},
        {K::Message, "P01BM01/3,/", false, false, "", "7: Not assigned"},
        {K::Message, "P01BM01/5/", true, false, "???", "7: ???"},
        {K::PF, "D01BF07/12P3/", false, false, "12P3", "7: 12P3"},
        {K::PF, "D01BF07/^/", false, false, "", "7: Not assigned"},
        {K::PF, "D01BF07/12P3/", true, false, "???", "7: ???"},
    };
    for (const TCase& c : cases) {
      const auto line = Line(c.Text, c.Undef1, c.Undef2);
      const QByteArray what =
          QByteArray(c.Text) + (c.Undef1 ? " u1" : "") + (c.Undef2 ? " u2" : "");
      QVERIFY2(ButtonLabel(c.Kind, *line, &numbers).Short == c.Short, what);
      QVERIFY2(ButtonHint(c.Kind, 7, line.get(), &numbers) == c.Hint, what);
    }
    // Without the extension numbers a jack shows as it stands.
    const auto lock = Line("D01BD07/6,05/");
    TCmd009S none;
    QCOMPARE(ButtonLabel(K::DSS, *lock, &none), (TButtonLabel{"Lock 05", "Station Lock 05"}));
    QCOMPARE(ButtonLabel(K::DSS, *lock, nullptr).Short, QString("Lock 05"));
    QCOMPARE(ButtonHint(K::DSS, 33, nullptr, &numbers), QString("No data!"));

    // The PF box's text: filtered before it reaches the block, which refuses "," and "/".
    struct {
      const char* Typed;
      const char* Stored;
    } pf[] = {{" 12p,3 ", "D01BF01/12P3/"},
              {"a/b\nc", "D01BF01/^/"},
              {"[1]*#p-0", "D01BF01/[1]*#P0/"},
              {"", "D01BF01/^/"},
              {"12345678901234567890", "D01BF01/1234567890123456/"}};
    for (const auto& p : pf) {
      const auto b = Line("D01BF01/9/", true);
      StorePFNumber(*b, p.Typed);
      QCOMPARE(b->Data(), std::string(p.Stored));
      QVERIFY(!b->Undefined[0]);
    }
    const auto keep = Line("D01BF01/9/");
    StorePFNumber(*keep, " ???");
    QVERIFY(keep->Undefined[0]);
    QCOMPARE(keep->Data(), std::string("D01BF01/9/"));
  }

  void ButtonOneIsBottomLeftAndEachGridServesItsOwnHints() {
    QCOMPARE(ButtonNumber(0, 7, 4, 8), 1);
    QCOMPARE(ButtonNumber(3, 7, 4, 8), 4);
    QCOMPARE(ButtonNumber(0, 6, 4, 8), 5);
    QCOMPARE(ButtonNumber(3, 0, 4, 8), 32);
    QCOMPARE(ButtonNumber(1, 0, 2, 12), 24);
    for (int n = 1; n <= 32; ++n) {
      int c, r;
      ButtonCell(n, 4, 8, c, r);
      QCOMPARE(ButtonNumber(c, r, 4, 8), n);
    }

    TEnv env(false);
    env.Pbx.SetList("D01BD*", {"D01BD01/2,01/", "D01BD02/7/", "D01BD03/6,05/", "D01BD04/3,/"});
    env.Pbx.SetList("D01BF*", {"D01BF01/555/", "D01BF02/^/"});
    env.Preload({1});
    QVERIFY(!Run({1}, [&env](TDSSprmDlg* d) {
      auto* dss = Find<TBtnGrid>(d, "DSSbtns");
      auto* pf = Find<TBtnGrid>(d, "PFbtns");
      QCOMPARE(dss->ColCount(), 4);
      QCOMPARE(dss->RowCount(), 8);
      QCOMPARE(pf->ColCount(), 2);
      QCOMPARE(pf->RowCount(), 8);
      // The keys look like keys, and the grid is as large as its cells.
      QCOMPARE(dss->Images().size(), 4);
      QCOMPARE(dss->size(), QSize(4 * dss->ColWidth(), 8 * dss->RowHeight()));
      QVERIFY(dss->ColWidth() >= dss->Images()[0].width());
      QCOMPARE(dss->CellLabel(0, 7), QString("DSS 101"));
      QCOMPARE(dss->CellLabel(1, 7), QString("Day"));
      QCOMPARE(dss->CellLabel(2, 7), QString("Lock 105"));
      QCOMPARE(dss->CellLabel(0, 6), QString());  // button 5: beyond the four lines
      QCOMPARE(pf->CellLabel(0, 7), QString("555"));
      // One hint hook serves both grids; each grid's own buttons answer.
      QCOMPARE(TBtnGrid::HintFor(dss, 0, 6), QString("No data!"));
      QCOMPARE(TBtnGrid::HintFor(dss, 3, 7), QString("4: Not assigned"));
      QCOMPARE(TBtnGrid::HintFor(pf, 0, 7), QString("1: 555"));
      QCOMPARE(TBtnGrid::HintFor(pf, 1, 7), QString("2: Not assigned"));
      // A click on the bottom left key edits button 1; a key without a line opens nothing.
      bool opened = false;
      OnModal<TDSSbuttonsDlg>([&opened](TDSSbuttonsDlg* b) {
        opened = true;
        QCOMPARE(b->windowTitle(), QString("Button 1"));
        QCOMPARE(b->Function(), 1);
        QCOMPARE(Find<QComboBox>(b, "DSScb")->currentText(), QString("101 (Jack 01)"));
        QVERIFY(Find<QComboBox>(b, "DSScb")->isEnabled());
        QVERIFY(!Find<QComboBox>(b, "LockExtcb")->isEnabled());
        QVERIFY(!Find<QLineEdit>(b, "NumEdit")->isEnabled());
      });
      QTest::mouseClick(dss, Qt::LeftButton, {}, dss->CellRect(0, 7).center());
      QVERIFY(opened);
      QVERIFY(!Page(d, "DSSbtns")->EditButton(5));
      QVERIFY(env.Fb.Infos.empty());
      Click(d, "CancelBtn");
    }));
  }

  void DSSbuttonEditorRefusesIncompleteChoicesAndStoresTheJack() {
    TEnv env(false);
    env.Pbx.SetList("D01BD*", {"D01BD01/0,1/", "D01BD02/7/", "D01BD03/7/", "D01BD04/2,01/"});
    env.Preload({1});
    QVERIFY(Run({1}, [&env](TDSSprmDlg* d) {
      TButtonPage* page = Page(d, "DSSbtns");
      QSignalSpy changed(page, &TButtonPage::Changed);
      OnModal<TDSSbuttonsDlg>([&env](TDSSbuttonsDlg* b) {
        QCOMPARE(b->Function(), -1);  // S-CO is read from a PBX, never chosen here
        Click(b, "OkBtn");
        Choose(b, 1);  // DSS
        Click(b, "OkBtn");
        Choose(b, 6);  // Station Lock
        QVERIFY(Find<QComboBox>(b, "LockExtcb")->isEnabled());
        Click(b, "OkBtn");
        QCOMPARE(env.Fb.Infos,
                 (std::vector<std::string>{"No function is selected!", "Select some Extension!",
                                           "Select some Extension!"}));
        QVERIFY(b->isVisible());
        Choose(b, 1);
        SelectJack(Find<QComboBox>(b, "DSScb"), 7);
        Click(b, "OkBtn");
        QVERIFY(!b->isVisible());
      });
      QVERIFY(page->EditButton(1));
      QCOMPARE(page->Label(1), QString("DSS 107"));
      OnModal<TDSSbuttonsDlg>([](TDSSbuttonsDlg* b) {
        QCOMPARE(b->Function(), 3);  // Day
        Choose(b, 6);
        SelectJack(Find<QComboBox>(b, "LockExtcb"), 5);
        Click(b, "OkBtn");
      });
      QVERIFY(page->EditButton(2));
      QCOMPARE(page->Hint(2), QString("2: Station Lock 105"));
      OnModal<TDSSbuttonsDlg>([](TDSSbuttonsDlg* b) {
        Choose(b, 2);  // One-Touch Dialing
        QTest::keyClicks(Find<QLineEdit>(b, "NumEdit"), "9p1,x#");
        Click(b, "OkBtn");
      });
      QVERIFY(page->EditButton(3));
      OnModal<TDSSbuttonsDlg>([](TDSSbuttonsDlg* b) {
        QCOMPARE(b->Function(), 1);
        Choose(b, 5);  // Lunch: one item
        Click(b, "OkBtn");
      });
      QVERIFY(page->EditButton(4));
      QCOMPARE(changed.count(), 4);
      QCOMPARE(changed.at(0).at(0).toInt(), 1);
      Click(d, "OkBtn");
    }));
    const TCmdList& bd = Console(1).BD;
    QCOMPARE(bd.Items(0).Data(), std::string("D01BD01/2,07/"));
    QCOMPARE(bd.Items(1).Data(), std::string("D01BD02/6,05/"));
    QCOMPARE(bd.Items(2).Data(), std::string("D01BD03/3,9P1#/"));
    QCOMPARE(bd.Items(3).Data(), std::string("D01BD04/9/"));
    // Offline: the store holds the edits, nothing went to the PBX.
    QCOMPARE(SysData().DSSConsoles.ChangedCount(), 4);
    QVERIFY(env.Pbx.Sent.empty());
  }

  // A One-Touch button whose numbers differ between the records opens every editor with no
  // function chosen (as the PF box shows "???"), so that OK is refused instead of writing "Not
  // assiged" and emptying each record's number; and without the numbers of program 009 no
  // editor offers jacks as extensions. Catches "Not assiged" chosen for the differing line, and
  // "Jack 01" .. "Jack 24" offered in DSScb and PairExtCb.
  void DifferingNumbersChooseNoFunctionAndNoNumbersOfferNoJacks() {
    TEnv env(false);
    env.Pbx.SetList("D01BD*", {"D01BD01/3,111/"});
    env.Pbx.SetList("D02BD*", {"D02BD01/3,222/"});
    env.Preload({1, 2});
    QVERIFY(Run({1, 2}, [&env](TDSSprmDlg* d) {
      QCOMPARE(Page(d, "DSSbtns")->Label(1), QString("???"));
      OnModal<TDSSbuttonsDlg>([&env](TDSSbuttonsDlg* b) {
        QCOMPARE(b->Function(), -1);
        Click(b, "OkBtn");
        QCOMPARE(env.Fb.Infos, (std::vector<std::string>{"No function is selected!"}));
      });
      QVERIFY(!Page(d, "DSSbtns")->EditButton(1));
      Click(d, "OkBtn");
    }));
    QCOMPARE(Console(1).BD.Items(0).Data(), std::string("D01BD01/3,111/"));
    QCOMPARE(Console(2).BD.Items(0).Data(), std::string("D02BD01/3,222/"));
    for (int kind = 0; kind < 2; ++kind) {
      auto line = Line("P01BC01/3,111/", false, true);
      std::unique_ptr<TButtonFuncDlg> editor;
      if (kind == 0)
        editor = std::make_unique<TCObuttonsDlg>(nullptr, 1, *line, nullptr, 1);
      else
        editor = std::make_unique<TMsgButtonDlg>(nullptr, *line, nullptr);
      QCOMPARE(editor->Function(), -1);
    }

    SysData().Extensions.Clear();  // no numbers
    QVERIFY(!Run({1}, [](TDSSprmDlg* d) {
      QCOMPARE(Find<QComboBox>(d, "PairExtCb")->count(), 1);  // "none"
      OnModal<TDSSbuttonsDlg>([](TDSSbuttonsDlg* b) {
        QCOMPARE(Find<QComboBox>(b, "DSScb")->count(), 0);
        QCOMPARE(Find<QComboBox>(b, "LockExtcb")->count(), 0);
      });
      Page(d, "DSSbtns")->EditButton(1);
    }));
  }

  void COButtonEditorOffersTheModelsCOsAndRefusesIncompleteChoices() {
    TEnv env(false);
    env.Preload({});
    TCmdList bc;
    bc.Add(Line("P01BC01/3,/"));
    bc.Add(Line("P01BC02/4/"));
    bc.Add(Line("P01BC03/3,123/"));
    TButtonPage page(TButtonKind::CO, "BtnGrid1", 12, 2);
    page.SetLines(bc);
    QCOMPARE(page.Grid()->CellLabel(1, 11), QString("O-CO"));  // button 2, bottom right
    QCOMPARE(page.Grid()->CellLabel(0, 10), QString("123"));
    SysData().Settings.PBXtype = 0;
    OnModal<TCObuttonsDlg>([&env](TCObuttonsDlg* b) {
      QCOMPARE(b->windowTitle(), QString("Button 1"));
      QCOMPARE(b->Function(), 0);  // "3" without a number: not assigned
      auto* co = Find<QComboBox>(b, "COcb");
      QCOMPARE(co->count(), 4);
      QCOMPARE(co->itemText(3), QString("4"));
      QCOMPARE(Find<QComboBox>(b, "TRGcb")->count(), 5);
      Choose(b, 7);  // S-CO
      Click(b, "OkBtn");
      Choose(b, 9);  // G-CO
      Click(b, "OkBtn");
      Choose(b, 1);  // DSS
      Click(b, "OkBtn");
      QCOMPARE(env.Fb.Infos,
               (std::vector<std::string>{"Select some CO!", "Select some trunk group (TRG)!",
                                         "Select some Extension!"}));
      Choose(b, 7);
      co->setCurrentIndex(3);
      Click(b, "OkBtn");
    });
    QVERIFY(page.EditButton(1));
    QCOMPARE(page.Lines().Items(0).Data(), std::string("P01BC01/0,4/"));
    QCOMPARE(page.Label(1), QString("S-C0 4"));

    SysData().Settings.PBXtype = 2;
    OnModal<TCObuttonsDlg>([](TCObuttonsDlg* b) {
      QCOMPARE(b->Function(), 8);  // O-CO
      QCOMPARE(Find<QComboBox>(b, "COcb")->count(), 6);
      Choose(b, 9);
      Find<QComboBox>(b, "TRGcb")->setCurrentIndex(4);
      Click(b, "OkBtn");
    });
    QVERIFY(page.EditButton(2));
    QCOMPARE(page.Lines().Items(1).Data(), std::string("P01BC02/1,5/"));

    // The number field takes the keys of a number to dial, typed or pasted, and refuses the
    // rest; Conference cuts the line to one item.
    OnModal<TCObuttonsDlg>([](TCObuttonsDlg* b) {
      QCOMPARE(b->Function(), 2);
      auto* num = Find<QLineEdit>(b, "NumEdit");
      QCOMPARE(num->text(), QString("123"));
      QTest::keyClicks(num, "p,a/[4]*");
      QCOMPARE(num->text(), QString("123P[4]*"));
      QApplication::clipboard()->setText("56x");
      num->paste();
      QCOMPARE(num->text(), QString("123P[4]*"));
      QApplication::clipboard()->setText("5#6789012345");
      num->paste();
      QCOMPARE(num->text(), QString("123P[4]*5#678901"));
      Click(b, "CancelBtn");
    });
    QVERIFY(!page.EditButton(3));
    QCOMPARE(page.Lines().Items(2).Data(), std::string("P01BC03/3,123/"));
    OnModal<TCObuttonsDlg>([](TCObuttonsDlg* b) {
      Choose(b, 3);
      Click(b, "OkBtn");
    });
    QVERIFY(page.EditButton(3));
    QCOMPARE(page.Lines().Items(2).Data(), std::string("P01BC03/5/"));
    QCOMPARE(env.Fb.Infos.size(), size_t(3));
  }

  void MessageButtonIsOneBlockWithItsOwnFunctions() {
    TEnv env(false);
    TButtonPage page(TButtonKind::Message, "BtnGrid3", 1, 1);
    TCmdData empty;
    page.SetBlock(empty);
    QCOMPARE(page.ButtonCount(), 0);
    QCOMPARE(page.Hint(1), QString("No data!"));
    QVERIFY(!page.Block());
    page.SetBlock(*Line("P04BM01/5/"));
    QCOMPARE(page.Grid()->CellLabel(0, 0), QString("Message"));
    OnModal<TMsgButtonDlg>([&env](TMsgButtonDlg* b) {
      QCOMPARE(b->Function(), 3);
      QVERIFY(!b->findChild<QComboBox*>("COcb") && !b->findChild<QComboBox*>("LockExtcb"));
      Choose(b, 1);
      Click(b, "OkBtn");
      QCOMPARE(env.Fb.Infos, (std::vector<std::string>{"Select some Extension!"}));
      Choose(b, 2);
      QTest::keyClicks(Find<QLineEdit>(b, "NumEdit"), "0123");
      Click(b, "OkBtn");
    });
    QVERIFY(page.EditButton(1));
    QCOMPARE(page.Block()->Data(), std::string("P04BM01/3,0123/"));
    QCOMPARE(page.Hint(1), QString("1: 0123"));
  }

  void BothConsolesKeepTheirPortsPairsAndDifferingButtons() {
    TEnv env(false);
    env.Pbx.SetLine("003D1/03/");
    env.Pbx.SetLine("003D2/04/");
    env.Pbx.SetLine("004D1/06/");
    env.Pbx.SetLine("004D2/06/");
    env.Pbx.SetList("D01BD*", {"D01BD01/2,01/", "D01BD02/7/"});
    env.Pbx.SetList("D02BD*", {"D02BD01/2,02/", "D02BD02/7/"});
    env.Pbx.SetList("D01BF*", {"D01BF01/111/", "D01BF02/^/", "D01BF03/^/"});
    env.Pbx.SetList("D02BF*", {"D02BF01/222/", "D02BF02/^/", "D02BF03/^/"});
    env.Preload({1, 2});
    QVERIFY(Run({2, 1}, [](TDSSprmDlg* d) {
      QCOMPARE(d->windowTitle(), QString("DSS 1-2"));
      for (const char* name : {"DssPortCb", "PairExtCb", "DssPortLbl", "PairExtLbl"})
        QVERIFY2(!Find<QWidget>(d, name)->isEnabled(), name);
      // A common pair shows, differing ports do not.
      QCOMPARE(Find<QComboBox>(d, "DssPortCb")->currentIndex(), -1);
      QCOMPARE(Find<QComboBox>(d, "PairExtCb")->currentText(), QString("106 (Jack 06)"));
      TButtonPage* dss = Page(d, "DSSbtns");
      TButtonPage* pf = Page(d, "PFbtns");
      QCOMPARE(dss->Label(1), QString("???"));
      QCOMPARE(dss->Label(2), QString("Day"));
      QCOMPARE(pf->Label(1), QString("???"));
      // OK on the mark of differing numbers leaves each console its own.
      OnModal<TPFbuttonDlg>([](TPFbuttonDlg* b) {
        QCOMPARE(b->windowTitle(), QString("Button 1"));
        QCOMPARE(Find<QLineEdit>(b, "PFNumberEdit")->text(), QString("???"));
        Click(b, "OkBtn");
      });
      QVERIFY(pf->EditButton(1));
      QCOMPARE(pf->Label(1), QString("???"));
      // Typed, "," never reaches the field; set as a whole, the filter drops it.
      OnModal<TPFbuttonDlg>([](TPFbuttonDlg* b) {
        QCOMPARE(b->findChild<QLabel*>()->text(), QString("Number to dial:"));
        auto* edit = Find<QLineEdit>(b, "PFNumberEdit");
        QCOMPARE(edit->text(), QString());
        QTest::keyClicks(edit, "12p,3");
        QCOMPARE(edit->text(), QString("12p3"));
        Click(b, "OkBtn");
      });
      QVERIFY(pf->EditButton(2));
      OnModal<TPFbuttonDlg>([](TPFbuttonDlg* b) {
        Find<QLineEdit>(b, "PFNumberEdit")->setText("12p,3");
        Click(b, "OkBtn");
      });
      QVERIFY(pf->EditButton(3));
      QCOMPARE(pf->Label(3), QString("12P3"));
      Click(d, "OkBtn");
    }));
    for (int c = 1; c <= 2; ++c) {
      const std::string n = std::to_string(c);
      QCOMPARE(Console(c).Cmd003D.Data(), "003D" + n + (c == 1 ? "/03/" : "/04/"));
      QCOMPARE(Console(c).Cmd004D.Data(), "004D" + n + "/06/");
      QVERIFY(!Console(c).Cmd003D.Changed && !Console(c).Cmd004D.Changed);
      QCOMPARE(Console(c).BD.Items(0).Data(), "D0" + n + "BD01/2,0" + n + "/");
      QCOMPARE(Console(c).BF.Items(0).Data(), "D0" + n + (c == 1 ? "BF01/111/" : "BF01/222/"));
      QCOMPARE(Console(c).BF.Items(1).Data(), "D0" + n + "BF02/12P3/");
      QCOMPARE(Console(c).BF.Items(2).Data(), "D0" + n + "BF03/12P3/");
    }
    // Only the two PF buttons set, on both consoles.
    QCOMPARE(SysData().DSSConsoles.ChangedCount(), 4);
  }

  void OneConsoleSetsPortAndPairedExtension() {
    TEnv env(false);
    env.Pbx.SetLine("003D2/05/");
    env.Pbx.SetLine("004D2/06/");
    env.Preload({1, 2});
    QVERIFY(Run({2}, [](TDSSprmDlg* d) {
      QCOMPARE(d->windowTitle(), QString("DSS 2"));
      auto* port = Find<QComboBox>(d, "DssPortCb");
      auto* pair = Find<QComboBox>(d, "PairExtCb");
      QVERIFY(port->isEnabled() && pair->isEnabled() && Find<QLabel>(d, "PairExtLbl")->isEnabled());
      QCOMPARE(port->count(), 25);
      QCOMPARE(port->currentText(), QString("5"));
      QCOMPARE(pair->count(), 25);
      QCOMPARE(pair->itemText(0), QString("none"));
      QCOMPARE(pair->itemText(1), QString("101 (Jack 01)"));
      QCOMPARE(pair->currentText(), QString("106 (Jack 06)"));
      auto* prev = Find<QPushButton>(d, "PrevDSS");
      auto* next = Find<QPushButton>(d, "NextDSS");
      QVERIFY(prev->isEnabled() && !next->isEnabled());
      QCOMPARE(prev->text(), QString("DSS 1"));
      QCOMPARE(next->text(), QString("&Next DSS"));
      port->setCurrentIndex(0);  // "none"
      pair->setCurrentIndex(3);
      Click(d, "OkBtn");
    }));
    QCOMPARE(Console(2).Cmd003D.Data(), std::string("003D2/00/"));
    QCOMPARE(Console(2).Cmd004D.Data(), std::string("004D2/03/"));
    QCOMPARE(Console(1).Cmd003D.Data(), std::string("003D1/00/"));
    QVERIFY(!Console(1).Cmd003D.Changed);
    QCOMPARE(SysData().DSSConsoles.ChangedCount(), 2);
    // "none" as the pair writes jack 00.
    QVERIFY(Run({2}, [](TDSSprmDlg* d) {
      Find<QComboBox>(d, "PairExtCb")->setCurrentIndex(0);
      Click(d, "OkBtn");
    }));
    QCOMPARE(Console(2).Cmd004D.Data(), std::string("004D2/00/"));
  }

  void NavigationKeepsEditsInTheWorkingCopyUntilOK() {
    TEnv env(false);
    env.Preload({1, 2});
    QVERIFY(!Run({1}, [](TDSSprmDlg* d) {
      QCOMPARE(Find<QPushButton>(d, "PrevDSS")->text(), QString("&Prev DSS"));
      Find<QComboBox>(d, "DssPortCb")->setCurrentIndex(7);
      Click(d, "NextDSS");
      QCOMPARE(d->windowTitle(), QString("DSS 2"));
      QCOMPARE(Find<QComboBox>(d, "DssPortCb")->currentIndex(), 0);
      QCOMPARE(d->WorkingCopy().Consoles(1).Cmd003D.Data(), std::string("003D1/07/"));
      QCOMPARE(Console(1).Cmd003D.Data(), std::string("003D1/00/"));  // the store: untouched
      Click(d, "PrevDSS");
      QCOMPARE(Find<QComboBox>(d, "DssPortCb")->currentIndex(), 7);
      Click(d, "CancelBtn");
    }));
    QCOMPARE(Console(1).Cmd003D.Data(), std::string("003D1/00/"));
    QVERIFY(!SysData().DSSConsoles.HasChanges());
  }

  void OnlineReadsWhatIsMissingAndSendsOnlyTheChanges() {
    TEnv env(true);
    QVERIFY(Run({1}, [&env](TDSSprmDlg* d) {
      // Numbers and names first, then the console.
      const auto r = env.Reads();
      QCOMPARE(r.size(), size_t(25 + 4));
      QCOMPARE(r.front(), std::string("009S*//"));
      QCOMPARE(r[25], std::string("003D1//"));
      QCOMPARE(env.Fb.Progress.at(0).Caption, std::string("Read Extensions"));
      QCOMPARE(env.Fb.Progress.at(1).Caption, std::string("Read"));
      QCOMPARE(env.Fb.Progress.at(1).Maximum, 58);
      QCOMPARE(Page(d, "DSSbtns")->Label(1), QString("DSS 101"));
      env.Pbx.Sent.clear();
      OnModal<TDSSbuttonsDlg>([](TDSSbuttonsDlg* b) {
        SelectJack(Find<QComboBox>(b, "DSScb"), 12);
        Click(b, "OkBtn");
      });
      QVERIFY(Page(d, "DSSbtns")->EditButton(3));
      Click(d, "OkBtn");
    }));
    QCOMPARE(env.Writes(), (std::vector<std::string>{"D01BD03/2,12/"}));
    QCOMPARE(env.Pbx.List("D01BD*").at(2), std::string("D01BD03/2,12/"));
    QVERIFY(!SysData().DSSConsoles.HasChanges());
    QVERIFY(env.Fb.Infos.empty());

    // With everything actual nothing is read again, and an unchanged OK sends nothing.
    env.Pbx.Sent.clear();
    QVERIFY(Run({1}, [](TDSSprmDlg* d) { Click(d, "OkBtn"); }));
    QVERIFY(env.Pbx.Sent.empty());
  }

  void AnAbortedReadOfTheNumbersReadsNoConsole() {
    TEnv env(true);
    env.Pbx.AbortAfter = 3;
    QVERIFY(!Run({1}, [](TDSSprmDlg* d) { Click(d, "CancelBtn"); }));
    QCOMPARE(env.Pbx.Sent.size(), size_t(3));
    QCOMPARE(env.Fb.Progress.size(), size_t(1));  // no second progress window after the abort
    QVERIFY(env.Fb.Errors.empty());
    QCOMPARE(env.Fb.Infos, (std::vector<std::string>{kNoData}));
  }

  void FKeyForcesTheReadsAndTheFullUpload() {
    TEnv env(true);
    env.Preload({1, 2});
    env.F = true;
    QVERIFY(Run({1, 2}, [&env](TDSSprmDlg* d) {
      QCOMPARE(env.Reads().size(), size_t(25 + 8));
      env.Pbx.Sent.clear();
      env.F = false;  // F on opening only: OK sends what changed, here nothing
      Click(d, "OkBtn");
    }));
    QVERIFY(env.Pbx.Sent.empty());

    QVERIFY(Run({1, 2}, [&env](TDSSprmDlg* d) {
      QVERIFY(env.Pbx.Sent.empty());
      env.F = true;
      Click(d, "OkBtn");
    }));
    // Both blocks and every line of both consoles, unchanged as they are.
    const auto w = env.Writes();
    QCOMPARE(w.size(), size_t(2 * (2 + 4 + 2)));
    QCOMPARE(w.front(), std::string("003D1/00/"));
    QCOMPARE(w.back(), std::string("D02BF02/^/"));
    QCOMPARE(env.Fb.Progress.back().Caption, std::string("Save"));
    QCOMPARE(env.Fb.Progress.back().Maximum, 40);
  }

  void WithoutDataItWarnsAndCancelTouchesNothing() {
    TEnv env(false);
    QVERIFY(!Run({1}, [](TDSSprmDlg* d) {
      QCOMPARE(Page(d, "DSSbtns")->ButtonCount(), 0);
      Click(d, "CancelBtn");
    }));
    QCOMPARE(env.Fb.Infos, (std::vector<std::string>{kNoData}));
    env.Preload({1});
    QVERIFY(!Run({1}, [](TDSSprmDlg* d) {
      Find<QComboBox>(d, "DssPortCb")->setCurrentIndex(3);
      OnModal<TPFbuttonDlg>([](TPFbuttonDlg* b) {
        Find<QLineEdit>(b, "PFNumberEdit")->setText("77");
        Click(b, "OkBtn");
      });
      QVERIFY(Page(d, "PFbtns")->EditButton(1));
      Click(d, "CancelBtn");
    }));
    QCOMPARE(Console(1).Cmd003D.Data(), std::string("003D1/00/"));
    QCOMPARE(Console(1).BF.Items(0).Data(), std::string("D01BF01/^/"));
    QVERIFY(!SysData().DSSConsoles.HasChanges());
    QVERIFY(env.Pbx.Sent.empty());
  }

  void StationsWindowOpensTheDialogAndShowsTheNewPair() {
    TEnv env(false);
    env.Preload({1, 2});
    ViewDialogs().DSSConsoles = EditDSSConsoles;
    TStationsWnd w(SysData());
    w.Pages()->setCurrentIndex(1);
    QListWidget* list = w.DSSList();
    list->item(0)->setSelected(true);
    OnModal<TDSSprmDlg>([](TDSSprmDlg* d) {
      QCOMPARE(d->windowTitle(), QString("DSS 1"));
      Find<QComboBox>(d, "PairExtCb")->setCurrentIndex(3);
      Click(d, "OkBtn");
    });
    w.EditDSS();
    ViewDialogs() = TViewDialogs();
    QCOMPARE(list->item(0)->text(), QString("DSS 1 (Extension 103)"));
  }
};

QTEST_MAIN(DSSparamTest)
#include "DSSparamTest.moc"
