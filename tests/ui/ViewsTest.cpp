// The three views of the store: captions, model limits, copy and paste with their questions,
// sorts, rebuilds on the data-changed notification, the parameter tree's openers, closing.
#include <QAction>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "Groups.h"
#include "Main.h"
#include "Paths.h"
#include "PbxModel.h"
#include "RecordingFeedback.h"
#include "SysData.h"
#include "TempDir.h"
#include "TestMainForm.h"
#include "Views.h"

namespace {

QStringList Captions(const QListWidget* List) {
  QStringList out;
  for (int i = 0; i < List->count(); ++i) out << List->item(i)->text();
  return out;
}

void Select(QListWidget* List, std::initializer_list<int> Numbers) {
  List->clearSelection();
  for (int n : Numbers)
    for (int i = 0; i < List->count(); ++i)
      if (List->item(i)->data(Qt::UserRole).toInt() == n) List->item(i)->setSelected(true);
}

bool Enabled(QMenu* Menu, const char* Name) {
  QAction* a = Menu->findChild<QAction*>(Name);
  return a && a->isEnabled();
}

int Digit(const TCmdList& List, int Jack) {
  return TExtensionArray::JackDigit(List.Items(0), Jack);
}

// A main window without file choosers or PBX.
TPbxActions NoPbx() {
  TPbxActions a;
  a.Connect = [] { return 0; };
  a.Disconnect = [] {};
  a.PbxVersion = [] { return std::string(); };
  a.ConnectErrorText = [] { return std::string(); };
  a.SetOnCarrierLost = [](std::function<void()>) {};
  return a;
}

}  // namespace

class ViewsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TTempDir> fDir;
  std::unique_ptr<TPbxModel> fPbx;

  // Reads the whole store from the model: jack j has number 100 + j and name "Stn jj".
  void ReadStore() {
    fPbx->FillTables();
    QVERIFY(SysData().Extensions.ReadAll());
    QVERIFY(SysData().COLines.ReadAll());
    QVERIFY(SysData().DSSConsoles.ReadAll());
  }

 private slots:
  void init() {
    fDir = std::make_unique<TTempDir>();
    FreshProgramState(*fDir);
    ViewDialogs() = TViewDialogs();
    fPbx = std::make_unique<TPbxModel>();
  }
  void cleanup() {
    ViewDialogs() = TViewDialogs();
    fPbx.reset();
  }

  void CaptionsWithAndWithoutNumbersAndNames() {
    TSysData& s = SysData();
    QCOMPARE(ExtensionCaption(s, 3), QString("Jack 3"));  // nothing read yet
    fPbx->SetNumber(3, "101");
    fPbx->SetNumber(4, "102");
    ReadStore();
    // Blank, the PBX's empty mark (padded or not) or missing: no name, the jack's caption.
    struct {
      const char* Line;
      const char* Caption;
    } names[] = {{"604E04/   /", "Jack 4, E102"}, {"604E04/^/", "Jack 4, E102"},
                 {"604E04/ ^   /", "Jack 4, E102"}, {"604E04//", "Jack 4, E102"},
                 {"604E04/^^/", "^^ (P4, E102)"}, {"604E04/ ^A/", "^A (P4, E102)"}};
    for (const auto& n : names) {
      s.Extensions.Jacks(4).BlockOf("604E").SetData(n.Line);
      QCOMPARE(ExtensionCaption(s, 4), QString(n.Caption));
    }
    s.Extensions.Jacks(3).BlockOf("604E").SetData("604E03/  Office    /");
    QCOMPARE(ExtensionCaption(s, 3), QString("Office (P3, E101)"));
    QCOMPARE(DSSCaption(s, 1), QString("DSS 1"));  // paired jack 00
    s.DSSConsoles.Consoles(1).Cmd004D.SetData("004D1/04/");
    QCOMPARE(DSSCaption(s, 1), QString("DSS 1 (Extension 102)"));
    s.DSSConsoles.Consoles(2).Cmd004D.SetData("004D2/24/");
    s.Extensions.Cmd009.Clear();  // no numbers: the pair does not show
    QCOMPARE(DSSCaption(s, 2), QString("DSS 2"));
    QCOMPARE(ExtensionCaption(s, 3), QString("Jack 3"));

    TStationsWnd w(s);
    QCOMPARE(w.windowTitle(), QString("Extensions"));
    QCOMPARE(w.Pages()->tabText(0), QString("Extensions"));
    QCOMPARE(w.Pages()->tabText(1), QString("DSS"));
    QVERIFY(w.ExtPageActive());
    TTrunksWnd t(s);
    QCOMPARE(t.windowTitle(), QString("CO lines"));
    QCOMPARE(Captions(t.COList()).first(), QString("CO 1"));
  }

  void ModelLimitsAndMenuStates() {
    TSysData& s = SysData();
    s.Settings.PBXtype = 0;
    TStationsWnd w(s);
    TTrunksWnd t(s);
    QCOMPARE(w.ExtList()->count(), 8);
    QCOMPARE(w.DSSList()->count(), 2);
    QCOMPARE(Captions(t.COList()), QStringList({"CO 1", "CO 2", "CO 3"}));
    s.Settings.PBXtype = 1;
    w.Rebuild();
    t.Rebuild();
    QCOMPARE(w.ExtList()->count(), 16);
    QCOMPARE(t.COList()->count(), 6);
    s.Settings.PBXtype = 2;
    w.Rebuild();
    t.Rebuild();
    QCOMPARE(w.ExtList()->count(), 24);
    QCOMPARE(t.COList()->count(), 6);

    w.UpdateExtMenu();
    QVERIFY(!Enabled(w.ExtMenu(), "ExtEditAct"));
    QVERIFY(!Enabled(w.ExtMenu(), "ExtCopyAct"));
    QVERIFY(!Enabled(w.ExtMenu(), "ExtPasteAct"));
    QVERIFY(Enabled(w.ExtMenu(), "ExtSortAct"));
    Select(w.ExtList(), {5});
    w.UpdateExtMenu();
    QVERIFY(Enabled(w.ExtMenu(), "ExtCopyAct"));
    QVERIFY(!Enabled(w.ExtMenu(), "ExtPasteAct"));  // nothing copied yet
    w.CopyExtension();
    w.UpdateExtMenu();
    QVERIFY(Enabled(w.ExtMenu(), "ExtPasteAct"));
    // A single entry: nothing to sort, arrange or select all.
    for (int i = w.ExtList()->count() - 1; i > 0; --i) delete w.ExtList()->takeItem(i);
    w.UpdateExtMenu();
    QVERIFY(!Enabled(w.ExtMenu(), "ExtSortAct"));
    QVERIFY(!Enabled(w.ExtMenu(), "ExtSelectAllAct"));

    w.UpdateDSSMenu();
    QVERIFY(Enabled(w.DSSMenu(), "DSSSelectAllAct"));
    QVERIFY(!Enabled(w.DSSMenu(), "DSSPasteAct"));
    t.UpdateCOMenu();
    QVERIFY(!Enabled(t.COMenu(), "COEditAct"));
    t.SelectAll();
    QCOMPARE(t.COList()->selectedItems().size(), 6);
    t.UpdateCOMenu();
    QVERIFY(Enabled(t.COMenu(), "COEditAct"));
  }

  void ExtensionPasteAsksAndCopiesRecordAndJackDigits() {
    TRecordingFeedback f;
    for (int j = 1; j <= 8; ++j) fPbx->SetNumber(j, std::to_string(100 + j));
    ReadStore();
    TSysData& s = SysData();
    TExtensionArray& ext = s.Extensions;
    ext.Jacks(3).BlockOf("604E").SetData("604E03/Office/");
    ext.Jacks(3).BlockOf("600E").SetData("600E03/5/");
    TExtensionArray::SetJackDigit(ext.List700P.Items(0), 3, 7);
    TExtensionArray::SetJackDigit(ext.List413C.Items(0), 3, 4);
    TStationsWnd w(s);

    Select(w.ExtList(), {3});
    w.CopyExtension();
    QCOMPARE(w.ExtCopySource(), 3);
    Select(w.ExtList(), {2, 3, 4, 7});
    w.PasteExtension();  // answered No
    QCOMPARE(f.Questions.back(), std::string("Copy data of Extension 103 into Extension(s) 102,104,107?"));
    QCOMPARE(ext.Jacks(2).BlockOf("600E").Data(), std::string("600E02/0/"));

    Select(w.ExtList(), {2, 4, 5});
    f.Answers.push_back(true);
    w.PasteExtension();
    QCOMPARE(f.Questions.back(), std::string("Copy data of Extension 103 into Extension(s) 102,104-105?"));
    for (int t : {2, 4, 5}) {
      const std::string jj = t < 10 ? "0" + std::to_string(t) : std::to_string(t);
      QCOMPARE(ext.Jacks(t).BlockOf("600E").Data(), "600E" + jj + "/5/");
      QCOMPARE(Digit(ext.List700P, t), 7);
      QCOMPARE(Digit(ext.List413C, t), 4);
      QCOMPARE(w.ExtList()->item(t - 1)->text(), QString("Office (P%1, E%2)").arg(t).arg(100 + t));
    }
    QCOMPARE(ext.Cmd009.NumberOfJack(2), std::string("102"));  // numbers are not copied
    QCOMPARE(Digit(ext.List700P, 6), 1);
    QCOMPARE(ext.Jacks(6).BlockOf("600E").Data(), std::string("600E06/0/"));
    QVERIFY(w.ExtList()->item(4)->isSelected());  // the refresh keeps the selection

    // Jacks without a number drop out; the question still comes, with an empty list.
    f.Answers.push_back(true);
    s.Extensions.Cmd009.Items(7).SetData("009S08/0/");
    Select(w.ExtList(), {3, 8});
    w.PasteExtension();
    QCOMPARE(f.Questions.back(), std::string("Copy data of Extension 103 into Extension(s) ?"));
    QCOMPARE(ext.Jacks(8).BlockOf("600E").Data(), std::string("600E08/0/"));

    // A source without actual data.
    ext.Jacks(6).BlockOf("601E").SetData("");
    Select(w.ExtList(), {6});
    w.CopyExtension();
    Select(w.ExtList(), {1});
    const size_t asked = f.Questions.size();
    w.PasteExtension();
    QCOMPARE(f.Infos.back(), std::string("There are no actual data for jack 6 - nothing to copy!"));
    QCOMPARE(f.Questions.size(), asked);
  }

  void DSSPasteKeepsTheConsolesOwnPortAndPair() {
    TRecordingFeedback f;
    ReadStore();
    TSysData& s = SysData();
    TDSSdata& d1 = s.DSSConsoles.Consoles(1);
    TDSSdata& d2 = s.DSSConsoles.Consoles(2);
    d1.Cmd003D.SetData("003D1/05/");
    d1.Cmd004D.SetData("004D1/06/");
    d2.Cmd003D.SetData("003D2/07/");
    d2.Cmd004D.SetData("004D2/08/");
    d1.BD.Items(0).SetData("D01BD01/9,99/");
    TStationsWnd w(s);
    w.Pages()->setCurrentIndex(1);
    Select(w.DSSList(), {1});
    w.CopyItems();  // the current page decides
    QCOMPARE(w.DSSCopySource(), 1);
    QCOMPARE(w.ExtCopySource(), 0);
    Select(w.DSSList(), {1, 2});
    f.Answers.push_back(true);
    w.PasteItems();
    QCOMPARE(f.Questions.back(), std::string("Copy data of DSS 1 into DSS 2?"));
    QCOMPARE(d2.BD.Items(0).Data(), std::string("D02BD01/9,99/"));
    QCOMPARE(d2.Cmd003D.Data(), std::string("003D2/07/"));
    QCOMPARE(d2.Cmd004D.Data(), std::string("004D2/08/"));
    QCOMPARE(d1.Cmd003D.Data(), std::string("003D1/05/"));
    // Only the source selected: no target, no question.
    Select(w.DSSList(), {1});
    const size_t asked = f.Questions.size();
    w.PasteItems();
    QCOMPARE(f.Questions.size(), asked);
  }

  void COPasteOntoItselfIsHarmless() {
    TRecordingFeedback f;
    ReadStore();
    TSysData& s = SysData();
    s.COLines.Lines(1).BlockOf("403C").SetData("403C1/2/");
    const std::string before = s.COLines.Lines(1).BlockOf("403C").Data();
    TTrunksWnd t(s);
    Select(t.COList(), {1});
    t.CopyCO();
    Select(t.COList(), {1, 2, 3, 4, 6});
    f.Answers.push_back(true);
    t.PasteCO();
    QCOMPARE(f.Questions.back(), std::string("Copy data of CO 1 into CO(s) 1-4,6?"));
    QCOMPARE(s.COLines.Lines(1).BlockOf("403C").Data(), before);
    QCOMPARE(s.COLines.Lines(4).BlockOf("403C").Data(), std::string("403C4/2/"));
    QCOMPARE(s.COLines.Lines(5).BlockOf("403C").Data(), std::string("403C5/1/"));

    s.COLines.Lines(5).BlockOf("403C").SetData("");
    Select(t.COList(), {5});
    t.CopyItems();
    Select(t.COList(), {2});
    t.PasteItems();
    QCOMPARE(f.Infos.back(), std::string("There are no actual data for CO 5 - nothing to copy!"));
  }

  // A paste counts what it changes: onto a record that holds the same settings nothing, onto
  // one that differs in one block or one button line exactly that one. Catches a paste that
  // marks every pasted block changed (CO 1 onto an identical CO 6 counted 20 changes, all bold).
  void PasteCountsOnlyWhatItChanges() {
    TRecordingFeedback f;
    ReadStore();
    TSysData& s = SysData();
    TStationsWnd w(s);
    TTrunksWnd t(s);
    // What the PBX would hold: Line differs from the read in one item, not as an edit.
    const auto differ = [](TCmdData& Line) {
      Line.SetItemStr(1, Line.ItemStr(1) == "2" ? "3" : "2");
      Line.Changed = false;
    };
    TCmdData& name4 = s.Extensions.Jacks(4).BlockOf("604E");
    name4.SetItemStr(1, s.Extensions.Jacks(3).BlockOf("604E").ItemStr(1));  // alike now
    name4.Changed = false;
    TCmdList& bd2 = s.DSSConsoles.Consoles(2).BD;  // its DSS buttons as console 1's
    for (int i = 0; i < bd2.Count(); ++i) {
      bd2.Items(i).SetItemStr(2, s.DSSConsoles.Consoles(1).BD.Items(i).ItemStr(2));
      bd2.Items(i).Changed = false;
    }
    struct TCase {
      const char* What;
      std::function<void()> Paste;
      std::function<void()> Differ;
    };
    const TCase cases[] = {
        {"CO 1 onto CO 6",
         [&] {
           Select(t.COList(), {1});
           t.CopyCO();
           Select(t.COList(), {6});
           t.PasteCO();
         },
         [&] { differ(s.COLines.Lines(6).BlockOf("417C")); }},
        {"jack 3 onto jack 4",
         [&] {
           Select(w.ExtList(), {3});
           w.CopyExtension();
           Select(w.ExtList(), {4});
           w.PasteExtension();
         },
         [&] { differ(s.Extensions.Jacks(4).BC.Items(1)); }},
        {"DSS 1 onto DSS 2",
         [&] {
           w.Pages()->setCurrentIndex(1);
           Select(w.DSSList(), {1});
           w.CopyItems();
           Select(w.DSSList(), {1, 2});
           w.PasteItems();
           w.Pages()->setCurrentIndex(0);
         },
         [&] { differ(s.DSSConsoles.Consoles(2).BD.Items(0)); }}};
    QCOMPARE(PendingChangeCount(s), 0);
    for (const TCase& c : cases) {
      const int before = PendingChangeCount(s);
      f.Answers.push_back(true);
      c.Paste();
      QVERIFY2(PendingChangeCount(s) == before, c.What);
      c.Differ();
      f.Answers.push_back(true);
      c.Paste();
      QVERIFY2(PendingChangeCount(s) == before + 1, c.What);
    }
  }

  void EditOpensTheListDialogForTheSortedSelection() {
    std::vector<TIntegerList> opened;
    ViewDialogs().COLines = [&](QWidget*, const TIntegerList& L) {
      opened.push_back(L);
      return true;
    };
    TTrunksWnd t(SysData());
    Select(t.COList(), {4, 2});
    QTest::keyClick(t.COList(), Qt::Key_Return);
    QCOMPARE(opened.size(), size_t(1));
    QVERIFY(opened[0] == TIntegerList({2, 4}));
    t.COList()->clearSelection();
    t.EditCO();
    QCOMPARE(opened.size(), size_t(1));  // nothing selected: nothing opens
  }

  void SortsAreByteWiseWithTiesByJack() {
    TSysData& s = SysData();
    s.Settings.PBXtype = 0;
    const char* numbers[] = {"200", "1000", "30", "200", "", "201", "1000", "21"};
    const char* names[] = {"bob", "Bob", "Al", "Bo", "Bob", "Al", "", "Bob"};
    for (int j = 1; j <= 8; ++j) {
      s.Extensions.Cmd009.Add().SetData(TPbxModel::Line009(j, numbers[j - 1]));
      s.Extensions.Jacks(j).BlockOf("604E").SetData("604E0" + std::to_string(j) + "/" +
                                                    names[j - 1] + "/");
    }
    TStationsWnd w(s);
    auto order = [&w] {
      QList<int> out;
      for (int i = 0; i < w.ExtList()->count(); ++i)
        out << w.ExtList()->item(i)->data(Qt::UserRole).toInt();
      return out;
    };
    w.Sort(TStationsWnd::sortByName);
    QCOMPARE(order(), QList<int>({7, 3, 6, 4, 2, 5, 8, 1}));
    w.Sort(TStationsWnd::sortByExtension);
    QCOMPARE(order(), QList<int>({5, 2, 7, 1, 4, 6, 8, 3}));
    w.Sort(TStationsWnd::sortByPortId);
    QCOMPARE(order(), QList<int>({1, 2, 3, 4, 5, 6, 7, 8}));

    TTrunksWnd t(s);
    t.Sort(TTrunksWnd::sortByName);
    QCOMPARE(Captions(t.COList()), QStringList({"CO 1", "CO 2", "CO 3"}));
  }

  void MainWindowRebuildsKeepCopySourceAndCloseMinimises() {
    TRecordingFeedback f;
    for (int j = 1; j <= 8; ++j) fPbx->SetNumber(j, std::to_string(100 + j));
    ReadStore();
    const std::string file = fDir->File("x.ta");
    QVERIFY(SysData().SaveToFile(file));
    TMainForm m(SysData(), NoPbx(), false);
    TViews v = CreateViews(m, SysData());
    const QList<QMdiSubWindow*> subs = m.MdiArea()->subWindowList(QMdiArea::CreationOrder);
    QCOMPARE(subs.size(), 3);
    QCOMPARE(subs[0]->widget(), static_cast<QWidget*>(v.Params));
    QCOMPARE(subs[1]->widget(), static_cast<QWidget*>(v.Trunks));
    QCOMPARE(subs[2]->widget(), static_cast<QWidget*>(v.Stations));
    QCOMPARE(subs[0]->windowTitle(), QString("Parameters"));

    Select(v.Stations->ExtList(), {3});
    v.Stations->CopyExtension();
    Select(v.Stations->ExtList(), {2});
    SysData().Settings.PBXtype = 0;
    QVERIFY(m.OpenFile(file));
    QTRY_COMPARE(v.Stations->ExtList()->count(), 8);  // the notification is queued
    QCOMPARE(v.Trunks->COList()->count(), 3);
    QVERIFY(v.Stations->ExtList()->selectedItems().isEmpty());
    QCOMPARE(v.Stations->ExtList()->item(2)->text(), QString("Stn 03 (P3, E103)"));

    // The Edit menu's Paste goes to the active page and still uses jack 3.
    m.MdiArea()->setActiveSubWindow(subs[2]);
    Select(v.Stations->ExtList(), {5});
    m.Action("PasteAct")->trigger();
    QCOMPARE(f.Questions.back(), std::string("Copy data of Extension 103 into Extension(s) 105?"));

    // Closing only minimises; the Window menu entry brings it back.
    QVERIFY(!subs[2]->close());
    QVERIFY(subs[2]->isMinimized());
    QCOMPARE(m.MdiArea()->subWindowList().size(), 3);
    QAction* show = m.findChild<QAction*>("ShowView_Stations");
    QVERIFY(show);
    show->trigger();
    QVERIFY(!subs[2]->isMinimized());
    QVERIFY(m.findChild<QAction*>("ShowView_CO_lines"));
    QVERIFY(m.findChild<QAction*>("ShowView_Parameters"));
  }

  void ParameterTreeOpensByWholeTreePositionWithForceFlag() {
    std::vector<std::pair<int, bool>> opened;
    for (int i = 0; i < kParamEntryCount; ++i)
      ViewDialogs().Params[size_t(i)] = [&opened, i](QWidget*, bool Force) {
        opened.push_back({i, Force});
      };
    TParamWnd w;
    w.resize(400, 600);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTreeWidget* tree = w.Tree();
    QVERIFY(!tree->rootIsDecorated());
    QTreeWidgetItem* system = tree->topLevelItem(7);
    QCOMPARE(system->text(0), QString("System.."));
    QTreeWidgetItem* params = system->child(7);
    QCOMPARE(params->text(0), QString("System parameters"));
    QCOMPARE(w.EntryIndex(params), 17);

    tree->setCurrentItem(params);
    const QPoint at = tree->visualItemRect(params).center();
    QTest::keyPress(tree, Qt::Key_F);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::keyRelease(tree, Qt::Key_F);
    QCOMPARE(opened.size(), size_t(1));
    QCOMPARE(opened[0], std::make_pair(17, true));
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(opened.back(), std::make_pair(17, false));

    // Collapsing a group changes no entry's number; group entries open nothing.
    tree->collapseItem(system);
    QTreeWidgetItem* dayNight = system->child(0);
    QCOMPARE(dayNight->text(0), QString("Day/Night/Lunch"));
    tree->setCurrentItem(dayNight);
    w.OpenSelected(false);
    QCOMPARE(opened.back(), std::make_pair(10, false));
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(opened.size(), size_t(4));  // Enter opens the current entry, once
    QCOMPARE(opened.back(), std::make_pair(10, false));
    const size_t count = opened.size();
    tree->setCurrentItem(system);
    w.OpenSelected(false);
    tree->setCurrentItem(tree->topLevelItem(6));
    w.OpenSelected(false);
    QCOMPARE(opened.size(), count);
    tree->clearSelection();
    w.OpenSelected(false);
    QCOMPARE(opened.size(), count);
  }
};

QTEST_MAIN(ViewsTest)
#include "ViewsTest.moc"
