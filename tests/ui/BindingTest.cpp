// The item bindings: every convention loads and stores as the dialogs rely on, undefined items
// survive a multi-edit store, and an undecided control never writes into a single record.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include "Binding.h"
#include "DgtEdit.h"
#include "FKey.h"

namespace {

TCmdData Block(const std::string& Text) {
  TCmdData b;
  b.SetData(Text);
  b.Changed = false;
  return b;
}

QComboBox* Combo(int Entries) {
  auto* cb = new QComboBox;
  for (int i = 0; i < Entries; ++i) cb->addItem(QString::number(i));
  return cb;
}

}  // namespace

class BindingTest : public QObject {
  Q_OBJECT

 private slots:
  void TextFieldsKeepItemSeparatorsOut() {
    // A bound text field and a text cell take neither typed nor pasted "," "/", line breaks or
    // other control characters, which would split the item or the line the PBX receives.
    QLineEdit edit;
    QTableWidget grid(1, 1);
    TBindingTable table;
    table.Add(&edit, "403C", 1, TItemConv::Text);
    table.AddCell(&grid, 0, 0, "403C", 2);
    std::unique_ptr<QWidget> cellEditor(
        grid.itemDelegate()->createEditor(nullptr, {}, grid.model()->index(0, 0)));
    auto* cell = qobject_cast<QLineEdit*>(cellEditor.get());
    QVERIFY(cell);
    for (QLineEdit* e : {&edit, cell}) {
      QTest::keyClicks(e, "8,1/2");
      QCOMPARE(e->text(), QString("812"));
      e->clear();
      e->insert("9,9");  // as a paste arrives
      QCOMPARE(e->text(), QString());
      e->insert("99");
      QCOMPARE(e->text(), QString("99"));
      // A pasted control character would reach the PBX as a key (a backspace rubs out the
      // line), a character beyond ASCII is none the PBX has.
      for (const QString& paste : {QString("AB\b\b002S"), QString("\x1b]2;x\x07"), QString("a\tb"),
                                   QString::fromUtf8("Caf\xc3\xa9")}) {
        e->clear();
        e->insert(paste);
        QCOMPARE(e->text(), QString());
      }
    }
  }

  void NumbersAndTwoDigits() {
    TDgtEdit edit;
    TCmdData b = Block("999X1/12,5,^/");
    LoadItem(&edit, b, 1, TItemConv::Number);
    QCOMPARE(edit.text(), QString("12"));
    LoadItem(&edit, b, 3, TItemConv::Number);  // "^" has no digits
    QCOMPARE(edit.text(), QString("0"));
    edit.setText("7");
    StoreItem(&edit, b, 1, TItemConv::Number);
    StoreItem(&edit, b, 2, TItemConv::TwoDigit);
    QCOMPARE(b.Data(), std::string("999X1/7,07,^/"));
    QVERIFY(b.Changed);
    // An emptied field decides nothing in a single record.
    edit.clear();
    StoreItem(&edit, b, 1, TItemConv::Number);
    QCOMPARE(b.Data(), std::string("999X1/7,07,^/"));
  }

  void IndexConventions() {
    std::unique_ptr<QComboBox> cb(Combo(6));
    TCmdData b = Block("999X1/2,3,0,9,05/");
    LoadItem(cb.get(), b, 1, TItemConv::Index);
    QCOMPARE(cb->currentIndex(), 2);
    LoadItem(cb.get(), b, 2, TItemConv::Index1);
    QCOMPARE(cb->currentIndex(), 2);
    LoadItem(cb.get(), b, 3, TItemConv::Index1);  // 0 selects the first entry
    QCOMPARE(cb->currentIndex(), 0);
    LoadItem(cb.get(), b, 4, TItemConv::Index);  // no such entry: no selection
    QCOMPARE(cb->currentIndex(), -1);
    LoadItem(cb.get(), b, 5, TItemConv::Index1TwoDigit);
    QCOMPARE(cb->currentIndex(), 4);

    cb->setCurrentIndex(1);
    StoreItem(cb.get(), b, 1, TItemConv::Index);
    StoreItem(cb.get(), b, 2, TItemConv::Index1);
    cb->setCurrentIndex(5);
    StoreItem(cb.get(), b, 5, TItemConv::Index1TwoDigit);
    QCOMPARE(b.Data(), std::string("999X1/1,2,0,9,06/"));
    // No selection leaves a single record's item alone.
    cb->setCurrentIndex(-1);
    StoreItem(cb.get(), b, 1, TItemConv::Index);
    QCOMPARE(b.Data(), std::string("999X1/1,2,0,9,06/"));
  }

  void RadioGroupSelectsAndClears() {
    TRadioGroup g("ModeRB", "", {"A", "B", "C"});
    TCmdData b = Block("999X1/1/");
    LoadItem(&g, b, 1, TItemConv::Index);
    QCOMPARE(g.ItemIndex(), 1);
    QVERIFY(g.Button(1)->isChecked());
    QCOMPARE(g.findChild<QAbstractButton*>("ModeRB_2")->text(), QString("C"));
    b.AllowUndefined = true;
    b.SetItemInt(1, -1);
    LoadItem(&g, b, 1, TItemConv::Index);
    QCOMPARE(g.ItemIndex(), -1);
    for (int i = 0; i < 3; ++i) QVERIFY(!g.Button(i)->isChecked());
    g.Button(2)->click();
    StoreItem(&g, b, 1, TItemConv::Index);
    QCOMPARE(b.Data(), std::string("999X1/2/"));
    QVERIFY(!b.Undefined[0]);
  }

  void CheckBoxesThreeStates() {
    QCheckBox c;
    TCmdData b = Block("999X1/1,5/");
    LoadItem(&c, b, 1, TItemConv::Check);
    QCOMPARE(c.checkState(), Qt::Checked);
    QVERIFY(!c.isTristate());
    LoadItem(&c, b, 2, TItemConv::Check);  // any value but 1 is unchecked
    QCOMPARE(c.checkState(), Qt::Unchecked);

    TCmdData multi = Block("999X1/1,0/");
    multi.AllowUndefined = true;
    multi.SetItemInt(1, -1);
    LoadItem(&c, multi, 1, TItemConv::Check);
    QCOMPARE(c.checkState(), Qt::PartiallyChecked);
    QVERIFY(c.isTristate());
    // Stored grayed, the item stays undefined and its text untouched.
    StoreItem(&c, multi, 1, TItemConv::Check);
    QVERIFY(multi.Undefined[0]);
    QCOMPARE(multi.Data(), std::string("999X1/1,0/"));
    // A grayed box over a single record writes nothing (never "-1").
    StoreItem(&c, b, 2, TItemConv::Check);
    QCOMPARE(b.Data(), std::string("999X1/1,5/"));
    QVERIFY(!b.Changed);
    c.setCheckState(Qt::Checked);
    StoreItem(&c, b, 2, TItemConv::Check);
    c.setCheckState(Qt::Unchecked);
    StoreItem(&c, b, 1, TItemConv::Check);
    QCOMPARE(b.Data(), std::string("999X1/0,1/"));
  }

  void TextFieldsAndCells() {
    QLineEdit e;
    QTableWidget grid(2, 1);
    TCmdData b = Block("999X1/^,Name/");
    LoadItem(&e, b, 1, TItemConv::Text);
    QCOMPARE(e.text(), QString());
    LoadCell(&grid, 1, 0, b, 2);
    QCOMPARE(grid.item(1, 0)->text(), QString("Name"));
    e.setText("  ");
    StoreItem(&e, b, 2, TItemConv::Text);  // blank is the empty marker
    QCOMPARE(b.Data(), std::string("999X1/^,^/"));
    grid.item(1, 0)->setText(" 42 ");
    StoreCell(&grid, 1, 0, b, 1);
    QCOMPARE(b.Data(), std::string("999X1/42,^/"));
    StoreCell(&grid, 0, 0, b, 2);  // a cell that was never filled
    QCOMPARE(b.Data(), std::string("999X1/42,^/"));

    TCmdData multi = Block("999X1/7/");
    multi.AllowUndefined = true;
    multi.SetItemStr(1, "?");
    LoadItem(&e, multi, 1, TItemConv::Text);
    QCOMPARE(e.text(), QString("???"));
    StoreItem(&e, multi, 1, TItemConv::Text);
    QVERIFY(multi.Undefined[0]);
    QCOMPARE(multi.Data(), std::string("999X1/7/"));
    e.setText("8");
    StoreItem(&e, multi, 1, TItemConv::Text);
    QVERIFY(!multi.Undefined[0]);
    QCOMPARE(multi.Data(), std::string("999X1/8/"));
  }

  void TableLoadsAndStoresEveryBindingThroughTheResolver() {
    QCheckBox check;
    std::unique_ptr<QComboBox> combo(Combo(4));
    TDgtEdit number;
    QTableWidget cells(1, 1);
    QComboBox custom;
    TCmdData a = Block("111A1/1/"), b = Block("222B1/3,4,^/");
    TBindingTable t;
    t.Add(&check, "111A", 1, TItemConv::Check);
    t.Add(combo.get(), "222B", 1, TItemConv::Index1);
    t.Add(&number, "222B", 2, TItemConv::TwoDigit);
    t.AddCell(&cells, 0, 0, "222B", 3);
    int customLoads = 0, customStores = 0;
    t.AddCustom(
        &custom, "111A", [&](const TCmdData& B) { customLoads += B.ItemInt(1); },
        [&](TCmdData&) { ++customStores; });
    QCOMPARE(t.Blocks(), (std::vector<std::string>{"111A", "222B"}));

    std::vector<std::string> asked;
    auto resolve = [&](const std::string& Code) -> TCmdData& {
      asked.push_back(Code);
      return Code == "111A" ? a : b;
    };
    t.Load(resolve);
    QCOMPARE(asked.size(), size_t(5));
    QCOMPARE(customLoads, 1);
    QCOMPARE(combo->currentIndex(), 2);
    QCOMPARE(number.text(), QString("4"));

    // Loading and storing without an edit changes no block...
    t.Store(resolve);
    QCOMPARE(customStores, 1);
    QVERIFY(!a.Changed);
    QCOMPARE(b.Data(), std::string("222B1/3,04,^/"));  // ...except the two-digit form
    b.Changed = false;
    // ...and edits reach their items.
    check.setCheckState(Qt::Unchecked);
    combo->setCurrentIndex(0);
    cells.item(0, 0)->setText("9");
    t.Store(resolve);
    QCOMPARE(a.Data(), std::string("111A1/0/"));
    QCOMPARE(b.Data(), std::string("222B1/1,04,9/"));
    QVERIFY(a.Changed && b.Changed);
  }

  void FKeyTrackerFollowsPressAndRelease() {
    InstallFKeyTracker();
    SetFKeyQuery({});
    QWidget w;
    w.show();
    QVERIFY(!FKeyHeld());
    QTest::keyPress(&w, Qt::Key_F);
    QVERIFY(FKeyHeld());
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_F, Qt::NoModifier, "f", true);
    QApplication::sendEvent(&w, &repeat);  // auto-repeat is no release
    QVERIFY(FKeyHeld());
    QTest::keyRelease(&w, Qt::Key_G);
    QVERIFY(FKeyHeld());
    QTest::keyRelease(&w, Qt::Key_F);
    QVERIFY(!FKeyHeld());
    SetFKeyQuery([] { return true; });
    QVERIFY(FKeyHeld());
    SetFKeyQuery({});
  }
};

QTEST_MAIN(BindingTest)
#include "BindingTest.moc"
