// The table of what every control writes. Each row names the control, the entry, state or
// text the technician sets and the block, item and text the PBX must hold afterwards, as the
// programs' descriptions give them (an index entry e of a 1-based program writes e + 1, a
// two-digit one "%.2d", a jack's digit sits where the shared lines keep it); nothing here is
// taken from the dialogs' own binding tables.
#include "ControlTable.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "ARSdlg.h"
#include "Binding.h"
#include "BtnGrid.h"
#include "ButtonPages.h"
#include "CodeTables.h"
#include "COparam.h"
#include "DateDlg.h"
#include "DayNightDlg.h"
#include "DISAparam.h"
#include "DSSparam.h"
#include "EXTparam.h"
#include "Services.h"
#include "SimPbx.h"
#include "SpeedDial.h"
#include "SysData.h"
#include "SystemParam.h"
#include "TimerDlg.h"

namespace {

// ---- steps ---------------------------------------------------------------------------------

[[noreturn]] void Fail(const std::string& Why) { throw std::runtime_error(Why); }

template <class T>
T* Find(QWidget* Dlg, const std::string& Name) {
  T* w = Dlg->findChild<T*>(QString::fromStdString(Name));
  if (!w) Fail("no control " + Name);
  return w;
}

// Brings the page holding W to the front, as the technician would before using it.
void Reveal(QWidget* W) {
  for (QWidget* w = W; w && w->parentWidget(); w = w->parentWidget()) {
    auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
    if (stack && qobject_cast<QTabWidget*>(stack->parentWidget()))
      qobject_cast<QTabWidget*>(stack->parentWidget())->setCurrentWidget(w);
  }
}

template <class T>
T* Usable(QWidget* Dlg, const std::string& Name) {
  T* w = Find<T>(Dlg, Name);
  Reveal(w);
  if (!w->isEnabled()) Fail(Name + " is disabled");
  return w;
}

// Runs Action on the next modal window other than Outer (an editor Outer opens); stops looking
// when Alive is cleared, so that an editor that never opened cannot take the next window.
void WhenEditor(QWidget* Outer, std::shared_ptr<bool> Alive,
                std::function<void(QWidget*)> Action) {
  QTimer::singleShot(0, [=] {
    if (!*Alive) return;
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w == Outer) return WhenEditor(Outer, Alive, Action);
    Action(w);
  });
}

// Opens an editor with Open and answers it with Steps and OK; the editor must close.
void InEditor(QWidget* Dlg, const std::vector<TStep>& Steps, const std::function<void()>& Open) {
  auto alive = std::make_shared<bool>(true);
  std::string failure;
  bool stayed = false;
  WhenEditor(Dlg, alive, [&](QWidget* Ed) {
    try {
      for (const TStep& s : Steps) s.Do(Ed);
      Find<QPushButton>(Ed, "OkBtn")->click();
    } catch (const std::exception& e) {
      failure = e.what();
    }
    if (Ed->isVisible()) {
      stayed = true;
      if (auto* d = qobject_cast<QDialog*>(Ed)) d->reject();
    }
  });
  Open();
  *alive = false;
  if (!failure.empty()) Fail(failure);
  if (stayed) Fail("the editor refused OK");
}

TStep Pick(const std::string& Name, int Entry) {
  return {Name + " entry " + std::to_string(Entry), [=](QWidget* Dlg) {
            auto* cb = Usable<QComboBox>(Dlg, Name);
            if (Entry >= cb->count()) Fail(Name + " has no entry " + std::to_string(Entry));
            cb->setCurrentIndex(Entry);
          }};
}

// A combo box the dialog keeps disabled, set all the same: what it shows must not be stored.
TStep PickDisabled(const std::string& Name, int Entry) {
  return {Name + " (disabled) entry " + std::to_string(Entry), [=](QWidget* Dlg) {
            auto* cb = Find<QComboBox>(Dlg, Name);
            if (cb->isEnabled()) Fail(Name + " is enabled");
            cb->setCurrentIndex(Entry);
          }};
}

TStep Radio(const std::string& Name, int Entry) {
  return {Name + " button " + std::to_string(Entry), [=](QWidget* Dlg) {
            auto* rg = Usable<TRadioGroup>(Dlg, Name);
            if (!rg->Button(Entry)) Fail(Name + " has no button " + std::to_string(Entry));
            rg->Button(Entry)->click();
          }};
}

TStep Tick(const std::string& Name, bool On) {
  return {Name + (On ? " checked" : " unchecked"),
          [=](QWidget* Dlg) { Usable<QCheckBox>(Dlg, Name)->setChecked(On); }};
}

TStep TickItem(const std::string& Name, int Row, bool On, bool Disabled = false) {
  return {Name + " item " + std::to_string(Row) + (On ? " checked" : " unchecked"),
          [=](QWidget* Dlg) {
            auto* l = Disabled ? Find<QListWidget>(Dlg, Name) : Usable<QListWidget>(Dlg, Name);
            if (Disabled && l->isEnabled()) Fail(Name + " is enabled");
            QListWidgetItem* item = l->item(Row);
            if (!item) Fail(Name + " has no item " + std::to_string(Row));
            if (!Disabled && !(item->flags() & Qt::ItemIsUserCheckable))
              Fail(Name + " item " + std::to_string(Row) + " cannot be checked");
            item->setCheckState(On ? Qt::Checked : Qt::Unchecked);
          }};
}

// Typed over what the field holds, key by key, so that its filters judge every character.
TStep Type(const std::string& Name, const std::string& Text) {
  return {Name + " \"" + Text + "\"", [=](QWidget* Dlg) {
            auto* e = Usable<QLineEdit>(Dlg, Name);
            e->selectAll();
            if (Text.empty())
              QTest::keyClick(e, Qt::Key_Delete);
            else
              QTest::keyClicks(e, QString::fromStdString(Text));
          }};
}

// Typed into the editor of a cell, which is then closed, as moving to another cell does.
TStep Cell(const std::string& Name, int Row, int Col, const std::string& Text) {
  return {Name + " cell " + std::to_string(Row) + "," + std::to_string(Col) + " \"" + Text + "\"",
          [=](QWidget* Dlg) {
            auto* g = Usable<QTableWidget>(Dlg, Name);
            QTableWidgetItem* item = g->item(Row, Col);
            if (!item) Fail(Name + " has no cell there");
            if (!(item->flags() & Qt::ItemIsEditable)) Fail(Name + " cell is not editable");
            g->setCurrentCell(Row, Col);
            g->editItem(item);
            auto* e = g->findChild<QLineEdit*>();
            if (!e) Fail(Name + " opened no editor");
            e->selectAll();
            if (Text.empty())
              QTest::keyClick(e, Qt::Key_Delete);
            else
              QTest::keyClicks(e, QString::fromStdString(Text));
            g->setCurrentCell(Row == 0 ? 1 : 0, Col);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
          }};
}

// A cell of a grid the dialog keeps disabled, given a text all the same.
TStep CellDisabled(const std::string& Name, int Row, int Col, const std::string& Text) {
  return {Name + " (disabled) cell \"" + Text + "\"", [=](QWidget* Dlg) {
            auto* g = Find<QTableWidget>(Dlg, Name);
            if (g->isEnabled() && (g->item(Row, Col)->flags() & Qt::ItemIsEditable))
              Fail(Name + " cell is editable");
            g->item(Row, Col)->setText(QString::fromStdString(Text));
          }};
}

TStep Spin(const std::string& Name, int Value) {
  return {Name + " " + std::to_string(Value),
          [=](QWidget* Dlg) { Usable<QSpinBox>(Dlg, Name)->setValue(Value); }};
}

TStep Clock(const std::string& Name, int H, int M, int S = 0) {
  return {Name + " time", [=](QWidget* Dlg) { Usable<QTimeEdit>(Dlg, Name)->setTime(QTime(H, M, S)); }};
}

TStep Day(const std::string& Name, int Y, int M, int D) {
  return {Name + " date", [=](QWidget* Dlg) { Usable<QDateEdit>(Dlg, Name)->setDate(QDate(Y, M, D)); }};
}

// A tab of a tab bar or a page of a tab widget.
TStep Tab(const std::string& Name, int Index) {
  return {Name + " tab " + std::to_string(Index), [=](QWidget* Dlg) {
            QWidget* w = Find<QWidget>(Dlg, Name);
            Reveal(w);
            if (auto* bar = qobject_cast<QTabBar*>(w))
              bar->setCurrentIndex(Index);
            else if (auto* tabs = qobject_cast<QTabWidget*>(w))
              tabs->setCurrentIndex(Index);
            else
              Fail(Name + " is no tab bar");
          }};
}

TStep Click(const std::string& Name) {
  return {"click " + Name, [=](QWidget* Dlg) { Usable<QPushButton>(Dlg, Name)->click(); }};
}

TStep Current(const std::string& Grid, int Row, int Col) {
  return {Grid + " current " + std::to_string(Row),
          [=](QWidget* Dlg) { Usable<QTableWidget>(Dlg, Grid)->setCurrentCell(Row, Col); }};
}

TStep Trigger(const std::string& Name) {
  return {"tool " + Name, [=](QWidget* Dlg) {
            auto* a = Dlg->findChild<QAction*>(QString::fromStdString(Name));
            if (!a) Fail("no tool " + Name);
            a->trigger();
          }};
}

// A button of a button page pressed; its editor answered with Steps and OK.
TStep Button(const std::string& Grid, int Number, std::vector<TStep> Steps) {
  return {Grid + " button " + std::to_string(Number), [=](QWidget* Dlg) {
            auto* page = qobject_cast<TButtonPage*>(Find<TBtnGrid>(Dlg, Grid)->parentWidget());
            if (!page) Fail(Grid + " is on no button page");
            Reveal(page);
            InEditor(Dlg, Steps, [&] {
              if (!page->EditButton(Number)) Fail("button " + std::to_string(Number) + " took nothing");
            });
          }};
}

// The function of a button editor, by its caption.
TStep Func(const std::string& Caption) {
  return {"function " + Caption, [=](QWidget* Ed) {
            auto* rg = Find<TRadioGroup>(Ed, "FuncRG");
            for (int i = 0; i < rg->Count(); ++i)
              if (rg->Button(i)->text().toStdString() == Caption) return rg->Button(i)->click();
            Fail("no function " + Caption);
          }};
}

// The entry of an extension choice that stands for Jack.
TStep PickJack(const std::string& Name, int Jack) {
  return {Name + " jack " + std::to_string(Jack), [=](QWidget* Ed) {
            auto* cb = Usable<QComboBox>(Ed, Name);
            const int i = cb->findData(Jack);
            if (i < 0) Fail(Name + " offers no jack " + std::to_string(Jack));
            cb->setCurrentIndex(i);
          }};
}

// The extension number chosen in the free-number dialog that replaces ExtNumCB's drop-down;
// Plan2: with "Numbering plan '2' is actually used" checked first.
TStep FreeNumber(const std::string& Number, bool Plan2 = false) {
  return {"free number " + Number, [=](QWidget* Dlg) {
            auto* cb = Usable<QComboBox>(Dlg, "ExtNumCB");
            const TStep choose{"", [Number, Plan2](QWidget* Ed) {
                                 if (Plan2) Usable<QCheckBox>(Ed, "Plan2Cx")->setChecked(true);
                                 auto* g = Find<QTableWidget>(Ed, "FreeNumGrid");
                                 for (int r = 0; r < g->rowCount(); ++r)
                                   for (int c = 0; c < g->columnCount(); ++c)
                                     if (g->item(r, c) && g->item(r, c)->text().toStdString() == Number)
                                       return g->setCurrentCell(r, c);
                                 Fail("number " + Number + " is not offered");
                               }};
            InEditor(Dlg, {choose}, [cb] { cb->showPopup(); });
          }};
}

// The buttons of jack Src (the dialog's own by default) copied to the jack Dest (given by its
// extension number).
TStep CopyTo(const char* CopyButton, int Dest, bool CO, bool PF, int Src = 0) {
  return {std::string(CopyButton) + " to jack " + std::to_string(Dest), [=](QWidget* Dlg) {
            auto* copy = Usable<QPushButton>(Dlg, CopyButton);
            const std::string number = SysData().Extensions.Cmd009.NumberOfJack(Dest);
            const TStep fill{"", [=](QWidget* Ed) {
                               if (Src) {
                                 auto* src = Find<QComboBox>(Ed, "SrcEXTcombo");
                                 src->setCurrentIndex(src->findData(Src));
                                 if (src->currentIndex() < 0) Fail("no source jack " + std::to_string(Src));
                               }
                               Find<QPlainTextEdit>(Ed, "DestExtMemo")
                                   ->setPlainText(QString::fromStdString(number));
                               Find<QCheckBox>(Ed, "CopyCOcx")->setChecked(CO);
                               Find<QCheckBox>(Ed, "CopyPFcx")->setChecked(PF);
                             }};
            InEditor(Dlg, {fill}, [copy] { copy->click(); });
          }};
}

// A text file imported into the speed dials.
TStep Import(const std::string& Content) {
  return {"import", [=](QWidget* Dlg) {
            QTemporaryDir dir;
            const QString file = dir.filePath("dials.txt");
            std::ofstream(file.toStdString(), std::ios::binary) << Content;
            auto saved = TSpeedDialDlg::FileChooser();
            TSpeedDialDlg::FileChooser() = [file](QWidget*, bool) { return file; };
            Trigger("ImportBtn").Do(Dlg);
            TSpeedDialDlg::FileChooser() = saved;
          }};
}

// ---- rows ----------------------------------------------------------------------------------

std::string D2(int N) { return (N < 10 ? "0" : "") + std::to_string(N); }

struct TRows {
  std::vector<TControlRow> Rows;

  TControlRow& Add(const std::string& Dialog, const std::string& Control,
                   std::vector<TChoice> Choices) {
    Rows.push_back({Dialog, Control, std::move(Choices), {}, {}, {}});
    return Rows.back();
  }
  // A combo box of one item: each entry chosen and the text it writes there.
  void Combo(const std::string& Dialog, const std::string& Name, const std::string& Head,
             int Item, std::vector<std::pair<int, std::string>> Entries) {
    std::vector<TChoice> c;
    for (const auto& [entry, text] : Entries) c.push_back({{Pick(Name, entry)}, {{Head, Item, -1, text}}});
    Add(Dialog, Name, c);
  }
  // A check box of one item: checked writes 1, unchecked 0.
  void Check(const std::string& Dialog, const std::string& Name, const std::string& Head) {
    Add(Dialog, Name, {{{Tick(Name, true)}, {{Head, 1, -1, "1"}}},
                       {{Tick(Name, false)}, {{Head, 1, -1, "0"}}}});
  }
  // An entry of a check list standing for item 1 of Head.
  void CheckItem(const std::string& Dialog, const std::string& Name, int Row,
                 const std::string& Head) {
    Add(Dialog, Name + " " + std::to_string(Row),
        {{{TickItem(Name, Row, true)}, {{Head, 1, -1, "1"}}},
         {{TickItem(Name, Row, false)}, {{Head, 1, -1, "0"}}}});
  }
  // An entry of a check list standing for character At of item 1 of Head.
  void CheckChar(const std::string& Dialog, const std::string& Name, int Row,
                 const std::string& Head, int At) {
    Add(Dialog, Name + " " + std::to_string(Row),
        {{{TickItem(Name, Row, true)}, {{Head, 1, At, "1"}}},
         {{TickItem(Name, Row, false)}, {{Head, 1, At, "0"}}}});
  }
  // A cell of a code grid standing for item 1 of Head: typed, and as the PBX keeps it.
  void CodeCell(const std::string& Dialog, const std::string& Grid, int Row, int Col,
                const std::string& Head, std::pair<std::string, std::string> A,
                std::pair<std::string, std::string> B) {
    Add(Dialog, Grid + " " + std::to_string(Row) + "," + std::to_string(Col),
        {{{Cell(Grid, Row, Col, A.first)}, {{Head, 1, -1, A.second}}},
         {{Cell(Grid, Row, Col, B.first)}, {{Head, 1, -1, B.second}}}});
  }
};

// Shortens a list of the store to Count blocks.
void Shorten(TCmdList& List, int Count) {
  TCmdList kept;
  for (int i = 0; i < Count && i < List.Count(); ++i) kept.Add(TCmdData::CreateCopy(List.Items(i)));
  List.Assign(kept);
}

void ExtensionRows(TRows& T) {
  const std::string E = "Extension";
  T.Add(E, "StnName", {{{Type("StnName", "Reception")}, {{"604E01", 1, -1, "Reception "}}},
                       {{Type("StnName", "Office")}, {{"604E01", 1, -1, "Office    "}}}});
  T.Add(E, "ExtNumCB", {{{FreeNumber("150")}, {{"009S01", 1, -1, "150"}}},
                        {{FreeNumber("151")}, {{"009S01", 1, -1, "151"}}}});
  // Groups and classes of service: entry e is the value e + 1.
  T.Combo(E, "EXGcb", "600E01", 1, {{2, "3"}, {3, "4"}});
  T.Combo(E, "COSdayCB", "601E01", 1, {{2, "3"}, {3, "4"}});
  T.Combo(E, "COSnightCB", "602E01", 1, {{2, "3"}, {3, "4"}});
  T.Combo(E, "COSlunchCB", "603E01", 1, {{2, "3"}, {3, "4"}});
  // The value is the entry's position.
  T.Combo(E, "AccountCB", "605E01", 1, {{2, "2"}, {3, "3"}});
  T.Combo(E, "LanguageCB", "615E01", 1, {{1, "1"}, {2, "2"}});
  T.Combo(E, "LCSmodeCB", "620E01", 1, {{1, "1"}, {0, "0"}});
  T.Combo(E, "CIDcb", "904E01", 1, {{1, "1"}, {0, "0"}});
  const char* options[] = {"606E", "607E", "608E", "609E", "610E", "611E",
                           "612E", "613E", "614E", "617E", "925E"};
  for (int k = 0; k < 11; ++k) T.CheckItem(E, "OptionsLB", k, std::string(options[k]) + "01");

  // Door phones and openers: item k is the jack's digit in line k + 1.
  const char* doors[] = {"DphDayCl", "DphNightCl", "DphLunchCl",
                         "DopenDayCl", "DopenNightCl", "DopenLunchCl"};
  const char* doorLists[] = {"700P", "701P", "702P", "703P", "704P", "705P"};
  for (int d = 0; d < 6; ++d)
    for (int k = 0; k < 4; ++k) {
      const std::string head = doorLists[d] + std::to_string(k + 1);
      T.Add(E, std::string(doors[d]) + " " + std::to_string(k),
            {{{TickItem(doors[d], k, true)}, {JackDigit(head, 1, '1')}},
             {{TickItem(doors[d], k, false)}, {JackDigit(head, 1, '0')}}});
    }
  // CO lines per period: outgoing in 405C..407C; incoming rings in 408C..410C with the delay
  // in 411C..413C ("Immediately" .. "after 15 sec": ring 1 and delay 0..3, "No rings": 0, 0).
  for (int p = 0; p < 3; ++p)
    for (int c = 1; c <= 6; ++c) {
      const std::string out = "CO" + std::to_string(c) + "outCx", in = "CO" + std::to_string(c) + "inCb";
      const std::string outHead = std::to_string(405 + p) + "C" + std::to_string(c);
      const std::string ring = std::to_string(408 + p) + "C" + std::to_string(c);
      const std::string delay = std::to_string(411 + p) + "C" + std::to_string(c);
      const TStep tab = Tab("PeriodTabs", p);
      T.Add(E, out + " period " + std::to_string(p),
            {{{tab, Tick(out, false)}, {JackDigit(outHead, 1, '0')}},
             {{tab, Tick(out, true)}, {JackDigit(outHead, 1, '1')}}});
      T.Add(E, in + " rings, period " + std::to_string(p),
            {{{tab, Pick(in, 4)}, {JackDigit(ring, 1, '0'), JackDigit(delay, 1, '0')}},
             {{tab, Pick(in, 0)}, {JackDigit(ring, 1, '1'), JackDigit(delay, 1, '0')}}});
      T.Add(E, in + " delay, period " + std::to_string(p),
            {{{tab, Pick(in, 3)}, {JackDigit(ring, 1, '1'), JackDigit(delay, 1, '3')}},
             {{tab, Pick(in, 1)}, {JackDigit(ring, 1, '1'), JackDigit(delay, 1, '1')}}});
    }

  // CO buttons: the function's code, and the parameter in item 2.
  const auto co = [&](int N, const std::string& Caption, std::vector<TStep> A, const std::string& TA,
                      std::vector<TStep> B, const std::string& TB) {
    A.insert(A.begin(), Func(Caption));
    B.insert(B.begin(), Func(Caption));
    const std::string head = "P01BC" + D2(N);
    T.Add(E, "BtnGrid1 " + Caption, {{{Button("BtnGrid1", N, A)}, {{head, 0, -1, TA}}},
                                    {{Button("BtnGrid1", N, B)}, {{head, 0, -1, TB}}}});
  };
  co(7, "One-Touch Dialing", {Type("NumEdit", "0123")}, "3,0123", {Type("NumEdit", "4567")}, "3,4567");
  co(8, "DSS (Direct Station Selection)", {PickJack("DSScb", 5)}, "2,05", {PickJack("DSScb", 6)}, "2,06");
  co(9, "Single-CO (S-CO)", {Pick("COcb", 2)}, "0,3", {Pick("COcb", 3)}, "0,4");
  co(10, "Group-CO (G-CO)", {Pick("TRGcb", 1)}, "1,2", {Pick("TRGcb", 2)}, "1,3");
  const auto code = [&](int N, const std::string& A, const std::string& TA, const std::string& B,
                        const std::string& TB) {
    const std::string head = "P01BC" + D2(N);
    T.Add(E, "BtnGrid1 " + A, {{{Button("BtnGrid1", N, {Func(A)})}, {{head, 0, -1, TA}}},
                              {{Button("BtnGrid1", N, {Func(B)})}, {{head, 0, -1, TB}}}});
  };
  code(1, "Not assiged", "3,", "Conference", "5");
  code(11, "Conference", "5", "SAVE", "7");
  code(12, "Forward/Do Not Disturb)", "6", "Log-In/Log-Out", "A");
  code(13, "Other CO (O-CO)", "4", "SAVE", "7");
  code(14, "Log-In/Log-Out", "A", "Conference", "5");
  code(15, "SAVE", "7", "Other CO (O-CO)", "4");
  // PF buttons: the number to dial, upper-cased.
  T.Add(E, "BtnGrid2", {{{Button("BtnGrid2", 3, {Type("PFNumberEdit", "12p*")})}, {{"P01BF03", 1, -1, "12P*"}}},
                        {{Button("BtnGrid2", 3, {Type("PFNumberEdit", "98#")})}, {{"P01BF03", 1, -1, "98#"}}}});
  // The message button.
  const auto msg = [&](const std::string& What, std::vector<TStep> A, const std::string& TA,
                       std::vector<TStep> B, const std::string& TB) {
    T.Add(E, "BtnGrid3 " + What, {{{Button("BtnGrid3", 1, A)}, {{"P01BM01", 0, -1, TA}}},
                                 {{Button("BtnGrid3", 1, B)}, {{"P01BM01", 0, -1, TB}}}});
  };
  msg("Message", {Func("Message")}, "5", {Func("DSS (Direct Station Selection)"), PickJack("DSScb", 3)}, "2,03");
  msg("One-Touch Dialing", {Func("One-Touch Dialing"), Type("NumEdit", "555")}, "3,555",
      {Func("One-Touch Dialing"), Type("NumEdit", "777")}, "3,777");
  msg("Not assiged", {Func("Not assiged")}, "3,", {Func("Message")}, "5");
  // Copying buttons to jack 2: the dialog's own edits go with them, only the lists chosen.
  T.Add(E, "CopyBtnsCO",
        {{{Button("BtnGrid1", 7, {Func("One-Touch Dialing"), Type("NumEdit", "0123")}),
           CopyTo("CopyBtnsCO", 2, true, false)},
          {{"P01BC07", 0, -1, "3,0123"}, {"P02BC07", 0, -1, "3,0123"}}}});
  T.Add(E, "CopyBtnsPF",
        {{{Button("BtnGrid2", 3, {Type("PFNumberEdit", "55")}), CopyTo("CopyBtnsPF", 2, false, true)},
          {{"P01BF03", 1, -1, "55"}, {"P02BF03", 1, -1, "55"}}}});
  // From another jack than the dialog's own.
  T.Add(E, "SrcEXTcombo", {{{CopyTo("CopyBtnsCO", 2, true, false, 3)}, {{"P02BC07", 0, -1, "3,999"}}}})
      .OnPbx = [](TSimPbx& P) { P.SetLine("P03BC07/3,999/"); };
  // A number of plan 2 on a PBX whose plan cannot be told: the plan goes first, and the PBX
  // renumbers the others in answer.
  T.Add(E, "Plan2Cx", {{{FreeNumber("250", true)}, {{"009S00", 1, -1, "2"}, {"009S01", 1, -1, "250"}}}})
      .RewrittenByPbx = "009S(0[2-9]|1[0-9]|2[0-4])";
  // Next reads the next jack (its data is gone from the store) and edits it alone.
  T.Add(E, "NextExt", {{{Click("NextExt"), Type("StnName", "Office")}, {{"604E02", 1, -1, "Office    "}}},
                       {{Click("NextExt"), Type("StnName", "Store")}, {{"604E02", 1, -1, "Store     "}}}})
      .OnStore = [](TSysData& S) { S.Extensions.Jacks(2).Clear(); };
  T.Add("Extension 2", "PrevExt",
        {{{Click("PrevExt"), Type("StnName", "Office")}, {{"604E01", 1, -1, "Office    "}}},
         {{Click("PrevExt"), Type("StnName", "Store")}, {{"604E01", 1, -1, "Store     "}}}})
      .OnStore = [](TSysData& S) { S.Extensions.Jacks(1).Clear(); };

  // Two jacks at once: what is set goes to both, nothing else changes.
  const std::string E2 = "Extensions 1-2";
  T.Add(E2, "COSdayCB", {{{Pick("COSdayCB", 3)}, {{"601E01", 1, -1, "4"}, {"601E02", 1, -1, "4"}}},
                         {{Pick("COSdayCB", 2)}, {{"601E01", 1, -1, "3"}, {"601E02", 1, -1, "3"}}}});
  T.Add(E2, "OptionsLB 2", {{{TickItem("OptionsLB", 2, true)}, {{"608E01", 1, -1, "1"}, {"608E02", 1, -1, "1"}}},
                            {{TickItem("OptionsLB", 2, false)}, {{"608E01", 1, -1, "0"}, {"608E02", 1, -1, "0"}}}});
  T.Add(E2, "DphNightCl 1",
        {{{TickItem("DphNightCl", 1, true)}, {JackDigit("701P2", 1, '1'), JackDigit("701P2", 2, '1')}},
         {{TickItem("DphNightCl", 1, false)}, {JackDigit("701P2", 1, '0'), JackDigit("701P2", 2, '0')}}});
  T.Add(E2, "BtnGrid2", {{{Button("BtnGrid2", 5, {Type("PFNumberEdit", "321")})},
                          {{"P01BF05", 1, -1, "321"}, {"P02BF05", 1, -1, "321"}}}});
}

void DSSRows(TRows& T) {
  const std::string D = "DSS console";
  // The port's entry is the jack ("none" 00); the pair's entries are the extensions in jack
  // order after "none".
  T.Combo(D, "DssPortCb", "003D1", 1, {{5, "05"}, {6, "06"}});
  T.Combo(D, "PairExtCb", "004D1", 1, {{3, "03"}, {4, "04"}});
  const auto dss = [&](int N, const std::string& What, std::vector<TStep> A, const std::string& TA,
                       std::vector<TStep> B, const std::string& TB) {
    const std::string head = "D01BD" + D2(N);
    T.Add(D, "DSSbtns " + What, {{{Button("DSSbtns", N, A)}, {{head, 0, -1, TA}}},
                                {{Button("DSSbtns", N, B)}, {{head, 0, -1, TB}}}});
  };
  dss(1, "Day", {Func("Day")}, "7", {Func("Night")}, "8");
  dss(2, "Lunch", {Func("Lunch")}, "9", {Func("Day")}, "7");
  dss(5, "Night", {Func("Night")}, "8", {Func("Lunch")}, "9");
  dss(3, "Station Lock", {Func("Station Lock"), PickJack("LockExtcb", 4)}, "6,04",
      {Func("Station Lock"), PickJack("LockExtcb", 5)}, "6,05");
  dss(25, "DSS", {Func("DSS (Direct Station Selection)"), PickJack("DSScb", 6)}, "2,06",
      {Func("DSS (Direct Station Selection)"), PickJack("DSScb", 7)}, "2,07");
  dss(26, "One-Touch Dialing", {Func("One-Touch Dialing"), Type("NumEdit", "789")}, "3,789",
      {Func("One-Touch Dialing"), Type("NumEdit", "123")}, "3,123");
  dss(4, "Not assiged", {Func("Not assiged")}, "3,", {Func("Day")}, "7");
  T.Add(D, "PFbtns", {{{Button("PFbtns", 2, {Type("PFNumberEdit", "44")})}, {{"D01BF02", 1, -1, "44"}}},
                      {{Button("PFbtns", 2, {Type("PFNumberEdit", "55")})}, {{"D01BF02", 1, -1, "55"}}}});
  // Online Prev / Next: the console stepped to is read (its data is gone from the store).
  T.Add(D, "NextDSS", {{{Click("NextDSS"), Pick("DssPortCb", 7)}, {{"003D2", 1, -1, "07"}}},
                       {{Click("NextDSS"), Pick("DssPortCb", 8)}, {{"003D2", 1, -1, "08"}}}})
      .OnStore = [](TSysData& S) { S.DSSConsoles.Consoles(2).Clear(); };
  T.Add("DSS console 2", "PrevDSS",
        {{{Click("PrevDSS"), Pick("DssPortCb", 7)}, {{"003D1", 1, -1, "07"}}},
         {{Click("PrevDSS"), Pick("DssPortCb", 8)}, {{"003D1", 1, -1, "08"}}}})
      .OnStore = [](TSysData& S) { S.DSSConsoles.Consoles(1).Clear(); };
  T.Add("DSS consoles 1-2", "DSSbtns",
        {{{Button("DSSbtns", 1, {Func("Night")})}, {{"D01BD01", 0, -1, "8"}, {"D02BD01", 0, -1, "8"}}},
         {{Button("DSSbtns", 1, {Func("Lunch")})}, {{"D01BD01", 0, -1, "9"}, {"D02BD01", 0, -1, "9"}}}});
}

void COLineRows(TRows& T) {
  const std::string C = "CO line";
  T.Check(C, "ConnectedCx", "400C2");
  T.Add(C, "DialModeRB", {{{Radio("DialModeRB", 1)}, {{"401C2", 1, -1, "1"}}},
                          {{Radio("DialModeRB", 2)}, {{"401C2", 1, -1, "2"}}}});
  T.Add(C, "PulseSpeedCB", {{{Radio("DialModeRB", 1), Pick("PulseSpeedCB", 1)},
                             {{"401C2", 1, -1, "1"}, {"402C2", 1, -1, "1"}}},
                            {{Radio("DialModeRB", 1), Pick("PulseSpeedCB", 0)},
                             {{"401C2", 1, -1, "1"}, {"402C2", 1, -1, "0"}}}});
  T.Combo(C, "TRGcb", "404C2", 1, {{2, "3"}, {3, "4"}});
  const char* modes[] = {"LineModeDay", "LineModeNight", "LineModeLunch"};
  const char* jacks[] = {"DILday", "DILnight", "DILlunch"};
  for (int p = 0; p < 3; ++p) {
    const std::string head = std::to_string(414 + p) + "C2";
    T.Add(C, modes[p], {{{Pick(modes[p], 2)}, {{head, 0, -1, "2"}}},
                        {{Pick(modes[p], 4)}, {{head, 0, -1, "4"}}}});
    // A DIL line rings the jack chosen, in item 2.
    T.Add(C, jacks[p], {{{Pick(modes[p], 1), Pick(jacks[p], 4)}, {{head, 0, -1, "1,05"}}},
                        {{Pick(modes[p], 1), Pick(jacks[p], 5)}, {{head, 0, -1, "1,06"}}}});
  }
  T.Combo(C, "PauseTimeCB", "417C2", 1, {{2, "2"}, {3, "3"}});
  T.Combo(C, "FlashTimeCB", "418C2", 1, {{5, "5"}, {6, "6"}});
  T.Check(C, "LineAccessCx", "419C2");
  // CPC: off writes 00; on, the duration in ms as (ms - 14) / 8 with two digits.
  T.Add(C, "CPCinCx", {{{Tick("CPCinCx", true), Type("CPCinEdit", "100")}, {{"420C2", 1, -1, "10"}}},
                       {{Tick("CPCinCx", false)}, {{"420C2", 1, -1, "00"}}}});
  T.Add(C, "CPCinEdit", {{{Tick("CPCinCx", true), Type("CPCinEdit", "614")}, {{"420C2", 1, -1, "75"}}},
                         {{Tick("CPCinCx", true), Type("CPCinEdit", "22")}, {{"420C2", 1, -1, "01"}}}});
  T.Check(C, "CPCoutCx", "421C2");
  T.Combo(C, "DisconTimeCb", "422C2", 1, {{2, "2"}, {0, "0"}});
  T.Combo(C, "RingPatternCB", "423C2", 1, {{2, "2"}, {1, "1"}});
  T.Check(C, "ReverseCircuitCx", "424C2");
  T.Check(C, "CIDcx", "900C2");
  T.Add(C, "CIDtypeCb", {{{Tick("CIDcx", true), Pick("CIDtypeCb", 1)}, {{"900C2", 1, -1, "1"}, {"910C2", 1, -1, "1"}}},
                         {{Tick("CIDcx", true), Pick("CIDtypeCb", 0)}, {{"900C2", 1, -1, "1"}, {"910C2", 1, -1, "0"}}}});
  T.Check(C, "PayToneCx", "920C2");
  T.Check(C, "PayFlashCx", "928C2");
  // Host PBX access codes: the codes fill the first items, as many items as codes.
  T.Add(C, "PbxCodesGrid", {{{Cell("PbxCodesGrid", 2, 1, "12"), Cell("PbxCodesGrid", 5, 1, "34")}, {{"403C2", 0, -1, "12,34"}}},
                            {{Cell("PbxCodesGrid", 0, 1, "9")}, {{"403C2", 0, -1, "9"}}}});
  T.Add(C, "NextCO", {{{Click("NextCO"), Tick("ConnectedCx", false)}, {{"400C3", 1, -1, "0"}}},
                      {{Click("NextCO"), Tick("ConnectedCx", true)}, {{"400C3", 1, -1, "1"}}}})
      .OnStore = [](TSysData& S) { S.COLines.Lines(3).Clear(); };
  T.Add(C, "PrevCO", {{{Click("PrevCO"), Tick("ConnectedCx", false)}, {{"400C1", 1, -1, "0"}}},
                      {{Click("PrevCO"), Tick("ConnectedCx", true)}, {{"400C1", 1, -1, "1"}}}});
  T.Add("CO lines 1-2", "TRGcb", {{{Pick("TRGcb", 3)}, {{"404C1", 1, -1, "4"}, {"404C2", 1, -1, "4"}}},
                                  {{Pick("TRGcb", 4)}, {{"404C1", 1, -1, "5"}, {"404C2", 1, -1, "5"}}}});
}

void SystemRows(TRows& T) {
  const std::string S = "System parameters";
  T.Add(S, "SysPswEdit", {{{Type("SysPswEdit", "1234")}, {{"002S", 1, -1, "1234"}}},
                          {{Type("SysPswEdit", "4321")}, {{"002S", 1, -1, "4321"}}}});
  T.Combo(S, "OperatorCb", "008S", 1, {{2, "03"}, {3, "04"}});
  T.Combo(S, "LCDdisplayCb", "010S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(S, "HoldMusicCb", "111S", 1, {{2, "2"}, {1, "1"}});
  T.Combo(S, "RedialRepeatCb", "113S", 1, {{3, "3"}, {2, "2"}});
  T.Combo(S, "RedialTimeCb", "114S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(S, "BellFreqCb", "120S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(S, "SLTringCb", "124S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(S, "OneTouchCb", "005S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(S, "HoldmodeCb", "104S", 1, {{2, "2"}, {1, "1"}});
  T.Combo(S, "FlashModeCb", "110S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(S, "ExtRingCb", "115S", 1, {{2, "2"}, {1, "1"}});
  T.Combo(S, "ConfCb", "116S", 1, {{3, "3"}, {2, "2"}});
  T.Combo(S, "AutoAccessNumCb", "121S", 1, {{0, "0"}, {1, "1"}});
  // A model with program 123S.
  T.Combo(S, "PulseCb", "123S", 1, {{1, "1"}, {0, "0"}});
  T.Rows.back().OnStore = [](TSysData& D) { D.Version.Skip123S = 0; };
  // A model without it: the box cannot be set and nothing is written.
  T.Add(S, "PulseCb without 123S", {{{PickDisabled("PulseCb", 1)}, {}}})
      .OnStore = [](TSysData& D) { D.Version.Skip123S = 1; };
  const char* features[] = {"105S", "106S", "108S", "109S", "112S",
                            "117S", "118S", "119S", "122S", "126S"};
  for (int i = 0; i < 10; ++i) T.CheckItem(S, "CheckListBox1", i, features[i]);
  for (int i = 0; i < 6; ++i) T.CheckChar(S, "DTMFcxl", i, "107S", i);
  // Groups 1-4 at characters 1-4, groups 5-8 at 6-9.
  for (int g = 0; g < 8; ++g) T.CheckChar(S, "CallPickupCxl", g, "127S", g < 4 ? g : g + 1);
  for (int r = 0; r < 10; ++r)
    T.CodeCell(S, "NumPlanGrid", r, 1, "012S" + std::to_string(50 + r), {"12#", "12#"}, {"*9", "*9"});
  // A new plan; the PBX gives every extension the plan's number in answer.
  T.Add(S, "NumPlanCb", {{{Pick("NumPlanCb", 2)}, {{"009S00", 1, -1, "3"}}},
                         {{Pick("NumPlanCb", 1)}, {{"009S00", 1, -1, "2"}}}})
      .RewrittenByPbx = "009S(0[1-9]|1[0-9]|2[0-4])";
}

void SpeedDialRows(TRows& T) {
  const std::string S = "Speed dials";
  T.CodeCell(S, "TenantGrid1", 0, 1, "001S00", {"0123*45", "0123*45"}, {"55", "55"});
  T.CodeCell(S, "TenantGrid1", 99, 1, "001S99", {"9p1", "9P1"}, {"77", "77"});
  T.CodeCell(S, "TenantGrid1", 0, 2, "011S00", {"Bob", "Bob"}, {"Ann", "Ann"});
  T.CodeCell(S, "TenantGrid1", 99, 2, "011S99", {"Zoe", "Zoe"}, {"Al", "Al"});
  const auto held = [](TSimPbx& P) {
    P.SetLine("001S00/111/");
    P.SetLine("001S01/222/");
    P.SetLine("011S00/Ann/");
  };
  // Insert at entry 00 moves every entry one down; Delete moves them up.
  T.Add(S, "InsertBtn", {{{Current("TenantGrid1", 0, 1), Trigger("InsertBtn")},
                          {{"001S00", 1, -1, "^"}, {"001S01", 1, -1, "111"}, {"001S02", 1, -1, "222"},
                           {"011S00", 1, -1, "^"}, {"011S01", 1, -1, "Ann"}}}})
      .OnPbx = held;
  T.Add(S, "DeleteBtn", {{{Current("TenantGrid1", 0, 1), Trigger("DeleteBtn")},
                          {{"001S00", 1, -1, "222"}, {"001S01", 1, -1, "^"}, {"011S00", 1, -1, "^"}}}})
      .OnPbx = held;
  T.Add(S, "ImportBtn", {{{Import("555;\"Ann\"\r\n")}, {{"001S00", 1, -1, "555"}, {"011S00", 1, -1, "Ann"}}},
                         {{Import("666;\"Bo\"\r\n")}, {{"001S00", 1, -1, "666"}, {"011S00", 1, -1, "Bo"}}}});
}

void DayNightRows(TRows& T) {
  const std::string N = "Day/night";
  T.Combo(N, "DayNightMode", "006S", 1, {{1, "1"}, {0, "0"}});
  // "Day/Night" shows items 1 and 2 of each day's line, "Lunch" items 3 and 4; "hhmmp" on the
  // 12-hour clock, p = 1 for PM; a box cleared writes "^".
  const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  for (int tab = 0; tab < 2; ++tab)
    for (int col = 0; col < 2; ++col)
      for (int d = 0; d < 7; ++d) {
        const std::string part = col == 0 ? "Start" : "End";
        const std::string box = days[d] + part + "CB", picker = days[d] + part + "Picker";
        const std::string head = "007S" + std::to_string(d + 1);
        const int item = tab * 2 + col + 1;
        const TStep t = Tab("TabControl1", tab);
        T.Add(N, picker + " tab " + std::to_string(tab),
              {{{t, Tick(box, true), Clock(picker, 7, 45)}, {{head, item, -1, "07450"}}},
               {{t, Tick(box, true), Clock(picker, 19, 15)}, {{head, item, -1, "07151"}}}});
        T.Add(N, box + " tab " + std::to_string(tab),
              {{{t, Tick(box, false)}, {{head, item, -1, "^"}}},
               {{t, Tick(box, true), Clock(picker, 12, 0)}, {{head, item, -1, "12001"}}}});
      }
}

void TimerRows(TRows& T) {
  const std::string M = "Timer";
  T.Combo(M, "HoldRecallCb", "200S", 1, {{3, "3"}, {4, "4"}});
  T.Combo(M, "TransferRecallTimeCb", "201S", 1, {{2, "2"}, {3, "3"}});
  T.Combo(M, "FwdStartTimeCb", "202S", 1, {{3, "3"}, {1, "1"}});
  T.Combo(M, "PickupDelayCb", "203S", 1, {{2, "2"}, {1, "1"}});
  T.Combo(M, "CallDurCb", "204S", 1, {{3, "03"}, {4, "04"}});
  T.Combo(M, "COCOdurCb", "205S", 1, {{4, "05"}, {5, "06"}});
  T.Combo(M, "DialStartCb", "206S", 1, {{4, "4"}, {5, "5"}});
  T.Combo(M, "FlashRangeCb", "207S", 1, {{4, "4"}, {1, "1"}});
  T.Combo(M, "InterdigitCb", "208S", 1, {{3, "3"}, {2, "2"}});
  T.Combo(M, "DTMFcb", "210S", 1, {{1, "1"}, {0, "0"}});
  T.Check(M, "NoDialCx", "211S");
  T.Combo(M, "ExtCOdurCb", "212S", 1, {{6, "07"}, {7, "08"}});
  T.Combo(M, "BellOffCb", "213S", 1, {{2, "2"}, {0, "0"}});
}

void DateRows(TRows& T) {
  // "yymmddw,hhmmp": 1 March 2026 is a Sunday (0); 00:05 is 12:05 AM, 13:20 is 01:20 PM.
  for (const char* c : {"TimePicker", "DatePicker"})
    T.Add("Date", c, {{{Day("DatePicker", 2026, 3, 1), Clock("TimePicker", 0, 5)}, {{"000S", 0, -1, "2603010,12050"}}},
                      {{Day("DatePicker", 2026, 3, 2), Clock("TimePicker", 13, 20)}, {{"000S", 0, -1, "2603021,01201"}}}});
}

void CodeTableRows(TRows& T) {
  // Row r is item 1 of block r of the dialog's list.
  T.CodeCell("Account codes", "StringGrid1", 0, 1, "310S01", {"1234", "1234"}, {"4321", "4321"});
  T.CodeCell("Account codes", "StringGrid1", 23, 1, "310S24", {"99", "99"}, {"88", "88"});
  T.CodeCell("Auto pause codes", "StringGrid1", 0, 1, "311S01", {"12#*", "12#*"}, {"9", "9"});
  T.CodeCell("Auto pause codes", "StringGrid1", 39, 1, "311S40", {"0#", "0#"}, {"8", "8"});
  T.CodeCell("Carrier excepted codes", "StringGrid1", 0, 1, "300S01", {"12x", "12x"}, {"9", "9"});
  T.CodeCell("Carrier excepted codes", "StringGrid1", 19, 1, "300S20", {"1#", "1#"}, {"7", "7"});
  T.CodeCell("Emergency codes", "StringGrid1", 0, 1, "309S1", {"911", "911"}, {"112", "112"});
  T.CodeCell("Emergency codes", "StringGrid1", 4, 1, "309S5", {"110", "110"}, {"999", "999"});

  // Toll restriction: codes padded with x to 11. Denied: column c is class c + 1 (302S..305S),
  // row k block k. Exceptions, all in 306S: column 1 blocks 60-79 .. column 4 blocks 0-19.
  const std::string R = "Toll restriction";
  for (int c = 1; c <= 4; ++c) {
    const std::string list = std::to_string(301 + c) + "S";
    T.CodeCell(R, "DeniedGrid", 0, c, list + "01", {"123", "123xxxxxxxx"}, {"9", "9xxxxxxxxxx"});
    T.CodeCell(R, "DeniedGrid", 19, c, list + "20", {"0#", "0#xxxxxxxxx"}, {"8", "8xxxxxxxxxx"});
    const int first = (4 - c) * 20;
    T.CodeCell(R, "ExceptGrid", 0, c, "306S" + D2(first + 1), {"44", "44xxxxxxxxx"}, {"5", "5xxxxxxxxxx"});
    T.CodeCell(R, "ExceptGrid", 19, c, "306S" + D2(first + 20), {"66", "66xxxxxxxxx"}, {"7", "7xxxxxxxxxx"});
  }
  T.Check(R, "CheckCharsCx", "125S");
  T.Combo(R, "SpDialBoundaryCb", "301S", 1, {{2, "2"}, {3, "3"}});
  T.Combo(R, "StLockCb", "312S", 1, {{2, "2"}, {3, "3"}});
}

void DisaRows(TRows& T) {
  const std::string D = "DISA";
  T.Combo(D, "DISAincModeCb", "500S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(D, "OGMmodeCb", "502S", 1, {{3, "3"}, {4, "4"}});
  T.Combo(D, "FaxJackCb", "503S", 1, {{3, "03"}, {5, "05"}});
  T.Combo(D, "DelayTimeCb", "504S", 1, {{2, "2"}, {3, "3"}});
  T.Combo(D, "AfterOGMtimeCb", "505S", 1, {{2, "2"}, {3, "3"}});
  T.Combo(D, "BusyModeCb", "506S", 1, {{2, "2"}, {1, "1"}});
  T.Combo(D, "IRNAmodeCb", "507S", 1, {{0, "1"}, {1, "2"}});
  T.Combo(D, "RingBeforeCb", "508S", 1, {{4, "4"}, {5, "5"}});
  T.Combo(D, "RingAfterCb", "509S", 1, {{4, "4"}, {5, "5"}});
  T.Combo(D, "SecurityCb", "511S", 1, {{2, "2"}, {1, "1"}});
  T.Combo(D, "CyclicCb", "513S", 1, {{2, "2"}, {3, "3"}});
  T.Combo(D, "FaxToneCb", "514S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(D, "IterceptIntCb", "515S", 1, {{2, "2"}, {1, "1"}});
  T.Combo(D, "AAtimeCb", "517S", 1, {{3, "3"}, {4, "4"}});
  T.Check(D, "SecurityToneCx", "518S");
  T.Combo(D, "MuteTime", "519S", 1, {{2, "2"}, {3, "3"}});
  T.Combo(D, "CodeLenCb", "530S", 1, {{2, "2"}, {3, "3"}});
  // The attendant's digits: "none" 0; "EXG n" 2 and the group; "Jack n" 1 and the jack.
  for (int d = 0; d < 10; ++d) {
    const std::string head = "501S" + std::to_string(d), cb = "AAcb" + std::to_string(d);
    T.Add(D, cb, {{{Pick(cb, 11)}, {{head, 0, -1, "1,03"}}},
                  {{Pick(cb, 8)}, {{head, 0, -1, "2,08"}}},
                  {{Pick(cb, 0)}, {{head, 0, -1, "0"}}}});
  }
  T.Combo(D, "NoDialMode1Cb", "510S1", 1, {{1, "1"}, {0, "0"}});
  T.Combo(D, "NoDialMode2Cb", "510S2", 1, {{1, "1"}, {0, "0"}});
  for (int r = 0; r < 4; ++r) {
    const std::string head = "512S" + std::to_string(r + 1);
    T.Add(D, "CodesGrid " + std::to_string(r),
          {{{Pick("CodeLenCb", 0), Cell("CodesGrid", r, 1, "1234")}, {{"530S", 1, -1, "0"}, {head, 1, -1, "1234"}}},
           {{Pick("CodeLenCb", 0), Cell("CodesGrid", r, 1, "5678")}, {{"530S", 1, -1, "0"}, {head, 1, -1, "5678"}}}});
  }
  for (int j = 1; j <= 24; ++j) T.CheckItem(D, "IncomingCxl", j - 1, "516E" + D2(j));
  // Lists too short for their controls: shown empty and disabled, nothing of them stored.
  T.Add(D, "AAcb0, 501S short", {{{PickDisabled("AAcb0", 11)}, {}}})
      .OnStore = [](TSysData& S) { Shorten(S.List501S, 9); };
  T.Add(D, "NoDialMode1Cb, 510S short", {{{PickDisabled("NoDialMode1Cb", 1)}, {}}})
      .OnStore = [](TSysData& S) { Shorten(S.List510S, 1); };
  T.Add(D, "CodesGrid, 512S short", {{{CellDisabled("CodesGrid", 0, 1, "1234")}, {}}})
      .OnStore = [](TSysData& S) { Shorten(S.List512S, 3); };
  T.Add(D, "IncomingCxl, 516E short", {{{TickItem("IncomingCxl", 0, false, true), TickItem("IncomingCxl", 1, true, true)}, {}}})
      .OnStore = [](TSysData& S) { Shorten(S.List516E, 23); };

  const std::string U = "UCD";
  T.Combo(U, "EXGcb", "520S", 1, {{3, "3"}, {4, "4"}});
  // Whole minutes as minutes (unit 0), less than a minute as seconds (unit 1).
  T.Add(U, "BusyTimePk", {{{Clock("BusyTimePk", 0, 2, 30)}, {{"521S", 0, -1, "02,0"}}},
                          {{Clock("BusyTimePk", 0, 0, 45)}, {{"521S", 0, -1, "45,1"}}}});
  T.Combo(U, "IntervalTimeCb", "522S", 1, {{2, "2"}, {3, "3"}});
  T.Combo(U, "BusyModeCb", "523S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(U, "InterceptModeCb", "524S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(U, "BeforeTimeCb", "525S", 1, {{4, "4"}, {5, "5"}});
  T.Combo(U, "AfterTimeCb", "526S", 1, {{4, "4"}, {5, "5"}});
}

void ArsRows(TRows& T) {
  const std::string A = "ARS";
  for (int c = 0; c < 6; ++c) T.CheckItem(A, "COcxl", c, "350C" + std::to_string(c + 1));
  T.Add(A, "Carrier1stEdit", {{{Type("Carrier1stEdit", "1234")}, {{"359S", 1, -1, "1234"}}},
                              {{Type("Carrier1stEdit", "5678")}, {{"359S", 1, -1, "5678"}}}});
  // A code emptied is the PBX's empty item, never an empty item (the line would be a query).
  T.Add(A, "Carrier1stEdit emptied", {{{Type("Carrier1stEdit", "")}, {{"359S", 1, -1, "^"}}}})
      .OnPbx = [](TSimPbx& P) { P.SetLine("359S/12/"); };
  T.Combo(A, "TonePatternCb", "362S", 1, {{2, "2"}, {3, "3"}});
  T.Combo(A, "InterDgtTimeCb", "363S", 1, {{2, "03"}, {3, "04"}});
  // Route r: selection codes 351S.. 354S, exception codes 355S..358S (padded with x to 7),
  // removed digits, added number and CO group in block r of 360S, 361S, 364S ("*" = All).
  for (int r = 1; r <= 4; ++r) {
    const TStep tab = Tab("TabControl1", r - 1);
    const std::string lead = std::to_string(350 + r) + "S", except = std::to_string(354 + r) + "S";
    const std::string route = " route " + std::to_string(r);
    T.Add(A, "LeadGrid 0" + route, {{{tab, Cell("LeadGrid", 0, 1, "0123")}, {{lead + "01", 1, -1, "0123xxx"}}},
                                    {{tab, Cell("LeadGrid", 0, 1, "45")}, {{lead + "01", 1, -1, "45xxxxx"}}}});
    T.Add(A, "LeadGrid 79" + route, {{{tab, Cell("LeadGrid", 79, 1, "9#")}, {{lead + "80", 1, -1, "9#xxxxx"}}},
                                     {{tab, Cell("LeadGrid", 79, 1, "8")}, {{lead + "80", 1, -1, "8xxxxxx"}}}});
    T.Add(A, "ExceptGrid 0" + route, {{{tab, Cell("ExceptGrid", 0, 1, "0123")}, {{except + "01", 1, -1, "0123xxx"}}},
                                      {{tab, Cell("ExceptGrid", 0, 1, "45")}, {{except + "01", 1, -1, "45xxxxx"}}}});
    T.Add(A, "ExceptGrid 79" + route, {{{tab, Cell("ExceptGrid", 79, 1, "*1")}, {{except + "80", 1, -1, "*1xxxxx"}}},
                                       {{tab, Cell("ExceptGrid", 79, 1, "2")}, {{except + "80", 1, -1, "2xxxxxx"}}}});
    const std::string k = std::to_string(r);
    T.Add(A, "RemoveDigitsCb" + route, {{{tab, Pick("RemoveDigitsCb", 3)}, {{"360S" + k, 1, -1, "3"}}},
                                        {{tab, Pick("RemoveDigitsCb", 4)}, {{"360S" + k, 1, -1, "4"}}}});
    T.Add(A, "AddNumEdit" + route, {{{tab, Type("AddNumEdit", "99")}, {{"361S" + k, 1, -1, "99"}}},
                                    {{tab, Type("AddNumEdit", "88")}, {{"361S" + k, 1, -1, "88"}}}});
    T.Add(A, "COgroupCb" + route, {{{tab, Pick("COgroupCb", 3)}, {{"364S" + k, 1, -1, "3"}}},
                                   {{tab, Pick("COgroupCb", 0)}, {{"364S" + k, 1, -1, "*"}}}});
  }
  // Route lists of other than four blocks: the routes are neither shown nor stored.
  T.Add(A, "LeadGrid, 360S short", {{{Tab("TabControl1", 0), CellDisabled("LeadGrid", 0, 1, "12")}, {}}})
      .OnStore = [](TSysData& S) { Shorten(S.List360S, 3); };
}

void ServiceRows(TRows& T) {
  const std::string V = "Voice mail";
  const char* ports[] = {"102E07", "102E08", "102E15", "102E16"};
  for (int i = 0; i < 4; ++i) T.CheckItem(V, "JackCxl", i, ports[i]);
  T.Check(V, "DTMFcx", "103S");

  // Group g's digit is character g (1-4) or g + 1 (5-8) of both blocks: "Disable" 0 and 0,
  // "Terminate" 1 and 0, "Circular" 1 and 1.
  const std::string H = "Call hunting";
  for (int g = 1; g <= 8; ++g) {
    const std::string cb = "EXG" + std::to_string(g) + "cb";
    const int at = g <= 4 ? g - 1 : g;
    T.Add(H, cb, {{{Pick(cb, 2)}, {{"100S", 1, at, "1"}, {"101S", 1, at, "1"}}},
                  {{Pick(cb, 0)}, {{"100S", 1, at, "0"}, {"101S", 1, at, "0"}}},
                  {{Pick(cb, 1)}, {{"100S", 1, at, "1"}, {"101S", 1, at, "0"}}}});
  }
  // Blocks too short for eight digits: nothing shown, nothing written.
  T.Add(H, "EXG1cb, 100S short", {{{Pick("EXG1cb", 2)}, {}}})
      .OnStore = [](TSysData& S) {
        S.Cmd100S.SetData("100S/1111/");
        S.Cmd100S.Changed = false;
      };

  const std::string M = "SMDR";
  T.Add(M, "PageLenEdit", {{{Spin("PageLenEdit", 9)}, {{"801S", 1, -1, "09"}}},
                           {{Spin("PageLenEdit", 8)}, {{"801S", 1, -1, "08"}}}});
  T.Add(M, "PerfEdit", {{{Spin("PerfEdit", 5)}, {{"801S", 2, -1, "05"}}},
                        {{Spin("PerfEdit", 6)}, {{"801S", 2, -1, "06"}}}});
  T.Combo(M, "OutgoingCb", "802S", 1, {{2, "2"}, {0, "0"}});
  T.Combo(M, "IncomingCb", "802S", 2, {{0, "0"}, {1, "1"}});
  T.Check(M, "SpeedDialsCx", "803S");
  T.Combo(M, "AccountCodeCb", "805S", 1, {{1, "1"}, {0, "0"}});
  T.Combo(M, "LanguageCb", "806S", 1, {{2, "2"}, {1, "1"}});
}

}  // namespace

TLineChange JackDigit(const std::string& Head, int Jack, char Digit) {
  const int at = (Jack - 1) % 8;
  return {Head, (Jack - 1) / 8 + 1, at >= 4 ? at + 1 : at, std::string(1, Digit)};
}

const std::vector<TDialogEntry>& DialogEntries() {
  // The lines an OK with F writes: every block of the dialog's programs, for the table dialogs
  // every block of the selected records (an extension's also the numbers and the lists of
  // digits per jack).
  const std::string jackLists = "009S(0[1-9]|1[0-9]|2[0-4])|70[0-5]P[1-4]|4(0[5-9]|1[0-3])C[1-6]";
  const auto jacks = [&](const std::string& J) {
    return "(60[0-9]E|61[0-5]E|617E|620E|389E|904E|925E)" + J + "|P" + J + "B(M01|C..|F..)|" +
           jackLists;
  };
  static const std::vector<TDialogEntry> entries = {
      {"Extension", [] { EditExtensions(nullptr, TIntegerList({1})); }, jacks("01")},
      {"Extension 2", [] { EditExtensions(nullptr, TIntegerList({2})); }, jacks("02")},
      {"Extensions 1-2", [] { EditExtensions(nullptr, TIntegerList({1, 2})); }, jacks("(01|02)")},
      {"DSS console", [] { EditDSSConsoles(nullptr, TIntegerList({1})); }, "00[34]D1|D01B[DF].."},
      {"DSS console 2", [] { EditDSSConsoles(nullptr, TIntegerList({2})); }, "00[34]D2|D02B[DF].."},
      {"DSS consoles 1-2", [] { EditDSSConsoles(nullptr, TIntegerList({1, 2})); },
       "00[34]D[12]|D0[12]B[DF].."},
      {"CO line", [] { EditCOLines(nullptr, TIntegerList({2})); },
       "(40[0-4]C|41[4-9]C|42[0-4]C|900C|910C|920C|928C)2"},
      {"CO lines 1-2", [] { EditCOLines(nullptr, TIntegerList({1, 2})); },
       "(40[0-4]C|41[4-9]C|42[0-4]C|900C|910C|920C|928C)[12]"},
      {"System parameters", [] { EditSystemParams(nullptr, false); },
       "002S|005S|008S|010S|10[4-9]S|11[0-9]S|12[0-2]S|124S|126S|127S|012S5[0-9]"},
      {"Speed dials", [] { EditSpeedDials(nullptr, false); }, "0[01]1S[0-9][0-9]"},
      {"Day/night", [] { EditDayNight(nullptr, false); }, "006S|007S[1-7]"},
      {"Timer", [] { EditTimers(nullptr, false); }, "20[0-8]S|21[0-3]S"},
      {"Date", [] { EditPbxClock(nullptr, false); }, ""},
      {"Account codes", [] { EditAccountCodes(nullptr, false); }, "310S[0-9][0-9]"},
      {"Auto pause codes", [] { EditAutoPauseCodes(nullptr, false); }, "311S[0-9][0-9]"},
      {"Carrier excepted codes", [] { EditCarrierExceptedCodes(nullptr, false); }, "300S[0-9][0-9]"},
      {"Emergency codes", [] { EditEmergencyCodes(nullptr, false); }, "309S[1-5]"},
      {"Toll restriction", [] { EditTollRestriction(nullptr, false); },
       "125S|301S|312S|30[2-5]S[0-9][0-9]|306S[0-9][0-9]"},
      {"DISA", [] { EditDISA(nullptr, false); },
       "500S|50[2-9]S|511S|51[345]S|51[789]S|530S|501S[0-9]|510S[12]|512S[1-4]|516E[0-9][0-9]"},
      {"UCD", [] { EditUCD(nullptr, false); }, "52[0-6]S"},
      {"ARS", [] { EditARS(nullptr, false); },
       "359S|36[23]S|350C[1-6]|35[1-8]S[0-9][0-9]|36[014]S[1-4]"},
      {"Voice mail", [] { EditVoiceMail(nullptr, false); }, "102E[0-9][0-9]|103S"},
      {"Call hunting", [] { EditCallHunting(nullptr, false); }, "10[01]S"},
      {"SMDR", [] { EditSMDR(nullptr, false); }, "80[1-356]S"},
  };
  return entries;
}

const std::vector<TControlRow>& ControlRows() {
  static const std::vector<TControlRow> rows = [] {
    TRows t;
    ExtensionRows(t);
    DSSRows(t);
    COLineRows(t);
    SystemRows(t);
    SpeedDialRows(t);
    DayNightRows(t);
    TimerRows(t);
    DateRows(t);
    CodeTableRows(t);
    DisaRows(t);
    ArsRows(t);
    ServiceRows(t);
    return t.Rows;
  }();
  return rows;
}
