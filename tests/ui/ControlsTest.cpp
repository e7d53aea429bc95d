// The digit edit and the button grid: typing rules, number reads and writes, grid geometry,
// cell drawing states, keyboard wrapping, presses and the shared hint hook; the F key held.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <functional>

#include "BtnGrid.h"
#include "DgtEdit.h"
#include "FKey.h"

namespace {

// Records the arrow keys a grid posts to its parent.
class TKeySink : public QWidget {
 public:
  QList<int> Keys;

 protected:
  void keyPressEvent(QKeyEvent* E) override { Keys << E->key(); }
};

}  // namespace

class ControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void DigitEditTakesOnlyDigitsAndTheKeysThatEditTheField() {
    TDgtEdit e;
    QTest::keyClicks(&e, "12a3");
    QCOMPARE(e.text(), QString("123"));
    QTest::keyClick(&e, Qt::Key_Backspace);
    QCOMPARE(e.text(), QString("12"));
    QTest::keyClicks(&e, " -+.f");
    QTest::keyClick(&e, Qt::Key_5, Qt::ControlModifier);
    QCOMPARE(e.text(), QString("12"));
    QCOMPARE(e.IValue(), 12);

    // From "1234", the cursor at the end: the editing keys and shortcuts work, and a paste is
    // taken whole or not at all, never with another character in the number.
    struct TCase {
      const char* Clipboard;
      QList<QPair<Qt::Key, Qt::KeyboardModifiers>> Keys;
      const char* Text;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier, ctrl = Qt::ControlModifier;
    const TCase cases[] = {
        {"", {{Qt::Key_Home, none}, {Qt::Key_Delete, none}}, "234"},
        {"", {{Qt::Key_A, ctrl}, {Qt::Key_9, none}}, "9"},
        {"", {{Qt::Key_5, none}, {Qt::Key_Z, ctrl}}, "1234"},
        {"56", {{Qt::Key_V, ctrl}}, "123456"},
        {"7x", {{Qt::Key_V, ctrl}}, "1234"},
    };
    for (const TCase& c : cases) {
      QApplication::clipboard()->setText(c.Clipboard);
      e.setText("1234");
      for (const auto& k : c.Keys) QTest::keyClick(&e, k.first, k.second);
      QCOMPARE(e.text(), QString(c.Text));
    }
  }

  void FKeyHeldChangesNoControlButTypesInTextFields() {
    InstallFKeyTracker();
    SetFKeyQuery({});
    QWidget w;
    auto* layout = new QVBoxLayout(&w);
    auto* combo = new QComboBox;
    combo->addItems({"DTMF", "FSK", "Pulse"});
    auto* list = new QListWidget;
    list->addItems({"Jack 1, E101", "Fax (P2, E102)"});
    list->setCurrentRow(0);
    auto* edit = new QLineEdit;
    for (QWidget* c : std::initializer_list<QWidget*>{combo, list, edit}) layout->addWidget(c);
    struct TCase {
      QWidget* Control;
      std::function<QString()> State;
      const char* After;
    } cases[] = {
        {combo, [combo] { return combo->currentText(); }, "DTMF"},
        {list, [list] { return list->currentItem()->text(); }, "Jack 1, E101"},
        {edit, [edit] { return edit->text(); }, "ff"},
    };
    w.show();
    for (const TCase& c : cases) {
      c.Control->setFocus();
      QTest::keyPress(c.Control, Qt::Key_F);
      QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F, Qt::NoModifier, "f", true);
      QApplication::sendEvent(c.Control, &repeat);
      QVERIFY(FKeyHeld());  // the state is followed wherever the key went
      QTest::keyRelease(c.Control, Qt::Key_F);
      QVERIFY(!FKeyHeld());
      QCOMPARE(c.State(), QString(c.After));
    }
    // Other letters still reach the controls.
    QTest::keyClick(combo, Qt::Key_P);
    QCOMPARE(combo->currentText(), QString("Pulse"));
  }

  void DigitEditNumberRules() {
    TDgtEdit e;
    QCOMPARE(e.IValue(), 0);
    e.SetIValue(0);
    QSignalSpy changed(&e, &QLineEdit::textChanged);
    e.SetIValue(0);
    QCOMPARE(changed.count(), 0);
    e.SetIValue(-2147483647 - 1);
    QCOMPARE(e.text(), QString("-214748364"));
    QCOMPARE(e.IValue(), -214748364);
    e.setText("99999999999");
    QCOMPARE(e.IValue(), 2147483647);

    // A paste that holds anything but digits is refused whole.
    e.setText("5");
    QApplication::clipboard()->setText("1x2");
    e.paste();
    QCOMPARE(e.text(), QString("5"));
    QApplication::clipboard()->setText("42");
    e.end(false);
    e.paste();
    QCOMPARE(e.text(), QString("542"));
  }

  void GridGeometryFollowsCountsAndSizes() {
    TBtnGrid g;
    QCOMPARE(g.size(), QSize(45, 45));
    g.SetColWidth(60);
    g.SetColCount(4);
    QCOMPARE(g.width(), 240);
    g.SetRowHeight(20);
    g.SetRowCount(2);
    QCOMPARE(g.height(), 40);
    QCOMPARE(g.CellRect(1, 1), QRect(QPoint(60, 20), QPoint(119, 39)));

    // Larger images widen the cells, and the control follows them.
    g.SetImages(MakeKeyImages(70, 30));
    QCOMPARE(g.ColWidth(), 70);
    QCOMPARE(g.RowHeight(), 30);
    QCOMPARE(g.size(), QSize(280, 60));
    QCOMPARE(g.sizeHint(), QSize(280, 60));  // what a dialog's layout gives it
  }

  void KeyboardWrapsAndPostsArrowsToTheParent() {
    TKeySink parent;
    auto* g = new TBtnGrid(&parent);
    g->SetColCount(3);
    g->SetRowCount(2);
    g->SetCol(2);
    QCOMPARE(g->FocusedState(), bsUpFocused);
    QTest::keyClick(g, Qt::Key_Right);
    QCOMPARE(g->Col(), 0);
    QCOMPARE(g->Row(), 1);
    QTest::keyClick(g, Qt::Key_Left);
    QCOMPARE(g->Col(), 2);
    QCOMPARE(g->Row(), 0);

    g->SetRow(1);
    QTest::keyClick(g, Qt::Key_Right);  // very last cell
    QCOMPARE(g->Col(), 2);
    QCOMPARE(g->Row(), 1);
    QTest::keyClick(g, Qt::Key_Down);
    g->SetCol(0);
    g->SetRow(0);
    QTest::keyClick(g, Qt::Key_Left);  // cell (0, 0)
    QTest::keyClick(g, Qt::Key_Up);
    QCoreApplication::processEvents();
    QCOMPARE(parent.Keys, (QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up}));
    QCOMPARE(g->Col(), 0);
    QCOMPARE(g->Row(), 0);
  }

  void PressesReachTheOwnerWithThePressedLook() {
    TBtnGrid g;
    g.SetColWidth(20);
    g.SetRowHeight(20);
    QList<QPoint> clicks;
    TBtnState during = bsUpUnfocused;
    g.OnBtnClick = [&](TBtnGrid*, int c, int r) {
      clicks << QPoint(c, r);
      during = g.FocusedState();
    };
    g.SetCol(1);
    QTest::keyClick(&g, Qt::Key_Space);
    QTest::keyClick(&g, Qt::Key_Return);
    QTest::mouseClick(&g, Qt::LeftButton, {}, QPoint(45, 25));
    QCOMPARE(clicks, (QList<QPoint>{{1, 0}, {1, 0}, {2, 1}}));
    QCOMPARE(during, bsPressed);
    QCOMPARE(g.FocusedState(), bsUpFocused);
    QCOMPARE(g.CellState(2, 1), bsUpFocused);
    QCOMPARE(g.CellState(0, 0), bsUpUnfocused);  // only the current cell is drawn focused
  }

  void LabelsComeFromTheOwnerAndMissingImagesDrawNothing() {
    TBtnGrid g;
    g.SetColWidth(40);
    g.SetRowHeight(40);
    g.SetImages(MakeKeyImages(30, 20).mid(0, 3));  // no disabled image
    g.OnGetLblEvent = [](TBtnGrid*, int c, int r, QString& s) { s = QString("CO%1").arg(r * 3 + c + 1); };
    QCOMPARE(g.CellLabel(2, 1), QString("CO6"));
    g.SetFocusedState(bsDisabled);
    const QImage shot = g.grab().toImage();
    // The current cell (0, 0) in the disabled state: its centre shows no key image, only the
    // filled background; a neighbour shows the key.
    const QColor bg = g.palette().color(g.backgroundRole());
    QCOMPARE(shot.pixelColor(20, 19).rgb(), bg.rgb());
    QVERIFY(shot.pixelColor(60, 19).rgb() != bg.rgb());
  }

  void OneHintHookServesEveryGridThroughTheFirstHandler() {
    QWidget dialog;
    auto* first = new TBtnGrid(&dialog);
    auto* second = new TBtnGrid(&dialog);
    QCOMPARE(TBtnGrid::HintHookOwner(), first);
    second->SetColWidth(10);
    second->SetRowHeight(10);
    QList<TBtnGrid*> senders;
    first->OnGetHintEvent = [&](TBtnGrid* s, int c, int r, QString& h) {
      senders << s;
      h = QString("%1/%2").arg(c).arg(r);
    };
    QCOMPARE(TBtnGrid::HintFor(second, 2, 1), QString("2/1"));
    QCOMPARE(senders.value(0), second);

    QHelpEvent tip(QEvent::ToolTip, QPoint(25, 15), second->mapToGlobal(QPoint(25, 15)));
    QApplication::sendEvent(second, &tip);
    QCOMPARE(senders.size(), 2);

    first->OnGetHintEvent = nullptr;
    second->SetColCount(4);
    QCOMPARE(TBtnGrid::HintFor(second, 1, 1), QString("Button 6"));

    delete first;
    QCOMPARE(TBtnGrid::HintHookOwner(), nullptr);
  }
};

QTEST_MAIN(ControlsTest)
#include "ControlsTest.moc"
