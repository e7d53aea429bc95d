#include "Views.h"

#include "FKey.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QTabWidget>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "Errors.h"
#include "Feedback.h"
#include "Operation.h"
#include "Ranges.h"
#include "SysData.h"
#include "Text.h"

namespace {

// A view opens a dialog only when it exists and no PBX operation runs; otherwise the status
// bar says why, instead of nothing happening.
bool MayOpenDialog(QWidget* From, bool Exists) {
  QString why;
  if (!Exists)
    why = "This programming dialog is not available in this version yet.";
  else if (TPbxOperations::Instance().Active())
    why = BusyMessage();
  if (why.isEmpty()) return true;
  if (auto* main = qobject_cast<TMainForm*>(From->window())) main->ShowStatus(why);
  return false;
}

// After a dialog or a paste that may have edited the store: the frame updates its title and
// pending changes, and the views their marks.
void TellFrame(QWidget* From) {
  if (auto* main = qobject_cast<TMainForm*>(From->window())) main->UpdateTitle();
}

}  // namespace

TViewDialogs& ViewDialogs() {
  static TViewDialogs dialogs;
  return dialogs;
}

namespace {

constexpr int kNumberRole = Qt::UserRole;

// The PBX stores names as single bytes; Latin-1 shows every byte as one character.
QString FromPbx(const std::string& Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::string RawName(const TSysData& Store, int Jack) {
  return Store.Extensions.Jacks(Jack).BlockOf("604E").ItemStr(1);
}

std::string NumberOf(const TSysData& Store, int Jack) {
  return Store.Extensions.Cmd009.NumberOfJack(Jack);
}

// An extension number that does not read as a number above 0 counts as none.
int NumericNumber(const TSysData& Store, int Jack) {
  int n = 0;
  if (!TryStrToInt(TrimBlanks(NumberOf(Store, Jack)), n) || n <= 0) return 0;
  return n;
}

enum TIconKind { iconExtension, iconDSS, iconCO, iconParam, iconGroup };

QIcon MakeIcon(TIconKind Kind) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1.2));
  switch (Kind) {
    case iconExtension: {
      // Desk telephone: body, handset on top, a small key field.
      p.setBrush(QColor(70, 110, 170));
      p.drawRoundedRect(QRectF(4, 13, 24, 15), 3, 3);
      p.setBrush(QColor(40, 60, 100));
      p.drawRoundedRect(QRectF(2, 6, 28, 6), 3, 3);
      p.setBrush(Qt::white);
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) p.drawRect(QRectF(10 + c * 5, 16 + r * 5, 3, 3));
      break;
    }
    case iconDSS: {
      // Console with a grid of direct station keys.
      p.setBrush(QColor(200, 200, 190));
      p.drawRoundedRect(QRectF(3, 5, 26, 22), 2, 2);
      p.setBrush(QColor(90, 160, 90));
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) p.drawRect(QRectF(6 + c * 6, 8 + r * 4.5, 4, 3));
      break;
    }
    case iconCO: {
      // Outside line: a pole with two wires.
      p.setPen(QPen(QColor(120, 80, 40), 3));
      p.drawLine(QPointF(16, 4), QPointF(16, 29));
      p.drawLine(QPointF(8, 9), QPointF(24, 9));
      p.setPen(QPen(QColor(30, 30, 30), 1.2));
      QPainterPath wire;
      wire.moveTo(0, 14);
      wire.quadTo(8, 18, 8, 9);
      wire.moveTo(24, 9);
      wire.quadTo(24, 18, 32, 14);
      p.setBrush(Qt::NoBrush);
      p.drawPath(wire);
      break;
    }
    case iconParam:
    case iconGroup: {
      p.setBrush(Kind == iconGroup ? QColor(230, 190, 80) : QColor(245, 245, 235));
      p.drawRect(QRectF(6, 4, 20, 24));
      p.setPen(QPen(QColor(120, 120, 120), 1));
      for (int y = 9; y < 26; y += 4) p.drawLine(QPointF(9, y), QPointF(23, y));
      break;
    }
  }
  return QIcon(pm);
}

QListWidget* NewIconList(QWidget* Parent, const char* Name) {
  auto* list = new QListWidget(Parent);
  list->setObjectName(Name);
  list->setViewMode(QListView::IconMode);
  list->setMovement(QListView::Free);
  list->setFlow(QListView::LeftToRight);
  list->setWrapping(true);
  list->setResizeMode(QListView::Adjust);
  list->setWordWrap(true);
  list->setGridSize(QSize(120, 64));
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return list;
}

QListWidgetItem* AddEntry(QListWidget* List, const QIcon& Icon, const QString& Caption,
                          int Number) {
  auto* item = new QListWidgetItem(Icon, Caption);
  item->setData(kNumberRole, Number);
  List->addItem(item);
  return item;
}

int NumberOfItem(const QListWidgetItem* Item) {
  return Item ? Item->data(kNumberRole).toInt() : 0;
}

// The number of the first selected entry in list order; 0 when nothing is selected.
int FirstSelected(const QListWidget* List) {
  for (int i = 0; i < List->count(); ++i)
    if (List->item(i)->isSelected()) return NumberOfItem(List->item(i));
  return 0;
}

TIntegerList SelectedNumbers(const QListWidget* List) {
  TIntegerList numbers;
  for (int i = 0; i < List->count(); ++i)
    if (List->item(i)->isSelected()) numbers.Add(NumberOfItem(List->item(i)));
  numbers.Sort();
  return numbers;
}

void SortList(QListWidget* List, const std::function<bool(int, int)>& Less) {
  std::vector<QListWidgetItem*> items;
  while (List->count() > 0) items.push_back(List->takeItem(0));
  std::stable_sort(items.begin(), items.end(), [&](QListWidgetItem* a, QListWidgetItem* b) {
    return Less(NumberOfItem(a), NumberOfItem(b));
  });
  for (QListWidgetItem* item : items) List->addItem(item);
}

// Bold for an entry whose blocks hold changes not yet uploaded.
void MarkEntry(QListWidgetItem* Item, bool Changed) {
  QFont f = Item->font();
  if (f.bold() == Changed) return;
  f.setBold(Changed);
  Item->setFont(f);
  Item->setToolTip(Changed ? QString("Changed, not yet uploaded to the PBX") : QString());
}

// Lines the icons up along the top again, whatever the user dragged about.
void ArrangeList(QListWidget* List) {
  List->setFlow(QListView::LeftToRight);
  List->setWrapping(true);
  List->doItemsLayout();
  List->scrollToTop();
}

// What the pop-up menus' entries do, for the status bar.
QString PopupTip(const QString& Text) {
  if (Text == "Edit") return "Open the programming dialog of the selected entries";
  if (Text == "Copy") return "Take the selected entry as the one Paste copies";
  if (Text == "Paste") return "Copy the taken entry's settings into the selected entries";
  if (Text == "Select All") return "Select every entry";
  if (Text == "Arrange") return "Arrange the entries in the window";
  if (Text.startsWith("By ")) return "Sort the entries " + Text.toLower();
  return QString();
}

QAction* MenuAction(QMenu* Menu, const char* Name, const QString& Text) {
  QAction* a = Menu->addAction(Text);
  a->setObjectName(Name);
  a->setStatusTip(PopupTip(Text));
  return a;
}

void SetEnabled(QMenu* Menu, const char* Name, bool On) {
  if (QAction* a = Menu->findChild<QAction*>(Name)) a->setEnabled(On);
}

QWidget* WithLayout(QWidget* Owner, QWidget* Child) {
  auto* layout = new QVBoxLayout(Owner);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Child);
  return Owner;
}

}  // namespace

QString ExtensionCaption(const TSysData& Store, int Jack) {
  const std::string number = NumberOf(Store, Jack);
  if (number.empty()) return QString("Jack %1").arg(Jack);
  const std::string name = TrimBlanks(RawName(Store, Jack));
  // "^" is how the PBX writes an empty item, not a name.
  if (name.empty() || name == "^") return QString("Jack %1, E%2").arg(Jack).arg(FromPbx(number));
  return QString("%1 (P%2, E%3)").arg(FromPbx(name)).arg(Jack).arg(FromPbx(number));
}

QString DSSCaption(const TSysData& Store, int DSS) {
  const int jack = Store.DSSConsoles.Consoles(DSS).Cmd004D.ItemInt(1);
  if (jack >= 1 && jack <= TExtensionArray::kJackCount) {
    const std::string number = NumberOf(Store, jack);
    if (!number.empty()) return QString("DSS %1 (Extension %2)").arg(DSS).arg(FromPbx(number));
  }
  return QString("DSS %1").arg(DSS);
}

bool ExtensionChanged(const TSysData& Store, int Jack) {
  // Its own blocks, button lists and number, and its digits in the shared lists where the
  // PBX's text of the line is known (a line of those lists is changed as a whole).
  if (Store.Extensions.Jacks(Jack).PendingCount() > 0) return true;
  const TCmd009S& numbers = Store.Extensions.Cmd009;
  if (Jack <= numbers.Count() && numbers.Items(Jack - 1).Pending()) return true;
  return Store.Extensions.SharedDigitPending(Jack);
}

bool DSSChanged(const TSysData& Store, int DSS) {
  return Store.DSSConsoles.Consoles(DSS).PendingCount() > 0;
}

bool COChanged(const TSysData& Store, int CO) { return Store.COLines.Lines(CO).PendingCount() > 0; }

void TViewWindow::closeEvent(QCloseEvent* Event) {
  Event->ignore();
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
    sub->showMinimized();
  else
    showMinimized();
}

// ---------------------------------------------------------------------------------------------
// Stations window

TStationsWnd::TStationsWnd(TSysData& Store, QWidget* Parent) : TViewWindow(Parent), fStore(Store) {
  setObjectName("StationsWnd");
  setWindowTitle("Extensions");
  setWindowIcon(MakeIcon(iconExtension));
  fPages = new QTabWidget(this);
  fPages->setObjectName("StationPages");
  fExtList = NewIconList(fPages, "ExtList");
  fDSSList = NewIconList(fPages, "DSSList");
  fPages->addTab(fExtList, "Extensions");
  fPages->addTab(fDSSList, "DSS");
  WithLayout(this, fPages);

  fExtMenu = new QMenu(this);
  connect(MenuAction(fExtMenu, "ExtEditAct", "Edit"), &QAction::triggered, this,
          &TStationsWnd::EditExtensions);
  fExtMenu->addSeparator();
  connect(MenuAction(fExtMenu, "ExtCopyAct", "Copy"), &QAction::triggered, this,
          &TStationsWnd::CopyExtension);
  connect(MenuAction(fExtMenu, "ExtPasteAct", "Paste"), &QAction::triggered, this,
          &TStationsWnd::PasteExtension);
  connect(MenuAction(fExtMenu, "ExtSelectAllAct", "Select All"), &QAction::triggered, this,
          &TStationsWnd::SelectAll);
  fExtMenu->addSeparator();
  connect(MenuAction(fExtMenu, "ExtArrangeAct", "Arrange"), &QAction::triggered, this,
          &TStationsWnd::Arrange);
  QMenu* sort = fExtMenu->addMenu("Sort");
  sort->menuAction()->setObjectName("ExtSortAct");
  sort->menuAction()->setStatusTip("Sort the entries");
  connect(MenuAction(sort, "ExtSortNameAct", "By Name"), &QAction::triggered, this,
          [this] { Sort(sortByName); });
  connect(MenuAction(sort, "ExtSortExtAct", "By Extension"), &QAction::triggered, this,
          [this] { Sort(sortByExtension); });
  connect(MenuAction(sort, "ExtSortPortAct", "By Port Id"), &QAction::triggered, this,
          [this] { Sort(sortByPortId); });
  connect(fExtMenu, &QMenu::aboutToShow, this, &TStationsWnd::UpdateExtMenu);

  fDSSMenu = new QMenu(this);
  connect(MenuAction(fDSSMenu, "DSSEditAct", "Edit"), &QAction::triggered, this,
          &TStationsWnd::EditDSS);
  fDSSMenu->addSeparator();
  connect(MenuAction(fDSSMenu, "DSSCopyAct", "Copy"), &QAction::triggered, this,
          &TStationsWnd::CopyDSS);
  connect(MenuAction(fDSSMenu, "DSSPasteAct", "Paste"), &QAction::triggered, this,
          &TStationsWnd::PasteDSS);
  connect(MenuAction(fDSSMenu, "DSSSelectAllAct", "Select All"), &QAction::triggered, this,
          &TStationsWnd::SelectAll);
  fDSSMenu->addSeparator();
  connect(MenuAction(fDSSMenu, "DSSArrangeAct", "Arrange"), &QAction::triggered, this,
          &TStationsWnd::Arrange);
  connect(fDSSMenu, &QMenu::aboutToShow, this, &TStationsWnd::UpdateDSSMenu);

  connect(fExtList, &QListWidget::customContextMenuRequested, this, [this](const QPoint& P) {
    fExtMenu->popup(fExtList->viewport()->mapToGlobal(P));
  });
  connect(fDSSList, &QListWidget::customContextMenuRequested, this, [this](const QPoint& P) {
    fDSSMenu->popup(fDSSList->viewport()->mapToGlobal(P));
  });
  connect(fExtList, &QListWidget::itemDoubleClicked, this, [this] { EditExtensions(); });
  connect(fDSSList, &QListWidget::itemDoubleClicked, this, [this] { EditDSS(); });
  fExtList->installEventFilter(this);
  fDSSList->installEventFilter(this);
  Rebuild();
}

bool TStationsWnd::eventFilter(QObject* Watched, QEvent* Event) {
  // Enter on a list opens its dialog for the selection, as Edit and a double click do.
  if ((Watched == fExtList || Watched == fDSSList) && Event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(Event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (Watched == fExtList)
        EditExtensions();
      else
        EditDSS();
      return true;
    }
  }
  return TViewWindow::eventFilter(Watched, Event);
}

bool TStationsWnd::ExtPageActive() const { return fPages->currentWidget() == fExtList; }

void TStationsWnd::Rebuild() {
  fExtList->clear();
  fDSSList->clear();
  const QIcon ext = MakeIcon(iconExtension), dss = MakeIcon(iconDSS);
  const int jacks = ModelJackCount(fStore.Settings.PBXtype);
  for (int j = 1; j <= jacks; ++j) AddEntry(fExtList, ext, ExtensionCaption(fStore, j), j);
  for (int d = 1; d <= TDSSarray::kConsoleCount; ++d)
    AddEntry(fDSSList, dss, DSSCaption(fStore, d), d);
  RefreshMarks();
}

void TStationsWnd::RefreshMarks() {
  for (int i = 0; i < fExtList->count(); ++i)
    MarkEntry(fExtList->item(i), ExtensionChanged(fStore, NumberOfItem(fExtList->item(i))));
  for (int i = 0; i < fDSSList->count(); ++i)
    MarkEntry(fDSSList->item(i), DSSChanged(fStore, NumberOfItem(fDSSList->item(i))));
}

void TStationsWnd::RefreshExtCaptions() {
  for (int i = 0; i < fExtList->count(); ++i) {
    QListWidgetItem* item = fExtList->item(i);
    item->setText(ExtensionCaption(fStore, NumberOfItem(item)));
  }
  RefreshMarks();
}

void TStationsWnd::RefreshDSSCaptions() {
  for (int i = 0; i < fDSSList->count(); ++i) {
    QListWidgetItem* item = fDSSList->item(i);
    item->setText(DSSCaption(fStore, NumberOfItem(item)));
  }
  RefreshMarks();
}

void TStationsWnd::CopyItems() {
  if (ExtPageActive())
    CopyExtension();
  else
    CopyDSS();
}

void TStationsWnd::PasteItems() {
  if (ExtPageActive())
    PasteExtension();
  else
    PasteDSS();
}

void TStationsWnd::EditExtensions() {
  if (FirstSelected(fExtList) == 0) return;
  const TIntegerList jacks = SelectedNumbers(fExtList);
  const auto& dialog = ViewDialogs().Extensions;
  if (!MayOpenDialog(this, bool(dialog))) return;
  if (dialog(this, jacks)) RefreshExtCaptions();
  TellFrame(this);
}

void TStationsWnd::CopyExtension() {
  if (const int jack = FirstSelected(fExtList)) fExtSource = jack;
}

void TStationsWnd::PasteExtension() {
  const int src = fExtSource;
  if (src == 0 || FirstSelected(fExtList) == 0) return;
  TExtensionArray& ext = fStore.Extensions;
  if (!ext.Jacks(src).HasActualData()) {
    Feedback().ShowInformation(
        Format("There are no actual data for jack %d - nothing to copy!", src));
    return;
  }
  TIntegerList targets, numbers;
  const TIntegerList selected = SelectedNumbers(fExtList);
  for (int jack : selected.Values()) {
    if (jack == src) continue;
    const int number = NumericNumber(fStore, jack);
    if (number == 0) continue;
    targets.Add(jack);
    numbers.Add(number);
  }
  const std::string question = "Copy data of Extension " + NumberOf(fStore, src) +
                               " into Extension(s) " + FormatRanges(numbers) + "?";
  if (!Feedback().Confirm(question)) return;
  for (int t : targets.Values()) {
    ext.Jacks(t).Paste(ext.Jacks(src));
    ext.CopyJackColumn(src, t);
  }
  RefreshExtCaptions();
  TellFrame(this);
}

void TStationsWnd::EditDSS() {
  if (FirstSelected(fDSSList) == 0) return;
  const TIntegerList consoles = SelectedNumbers(fDSSList);
  const auto& dialog = ViewDialogs().DSSConsoles;
  if (!MayOpenDialog(this, bool(dialog))) return;
  if (dialog(this, consoles)) RefreshDSSCaptions();
  TellFrame(this);
}

void TStationsWnd::CopyDSS() {
  if (const int dss = FirstSelected(fDSSList)) fDSSSource = dss;
}

void TStationsWnd::PasteDSS() {
  const int src = fDSSSource;
  if (src == 0 || FirstSelected(fDSSList) == 0) return;
  TIntegerList targets;
  const TIntegerList selected = SelectedNumbers(fDSSList);
  for (int dss : selected.Values())
    if (dss != src) targets.Add(dss);
  if (targets.Count() == 0) return;
  TIntegerList shown = targets;
  const std::string question =
      Format("Copy data of DSS %d into DSS ", src) + FormatRanges(shown) + "?";
  if (!Feedback().Confirm(question)) return;
  // The console's own port (003) and paired jack (004) belong to the console, not to the
  // settings being copied: keep the target's blocks as they were.
  TDSSdata& target = fStore.DSSConsoles.Consoles(targets.First());
  TCmdData port, pair;
  port.Assign(target.Cmd003D);
  pair.Assign(target.Cmd004D);
  target.Paste(fStore.DSSConsoles.Consoles(src));
  target.Cmd003D.Assign(port);
  target.Cmd004D.Assign(pair);
  RefreshDSSCaptions();
  TellFrame(this);
}

void TStationsWnd::SelectAll() {
  (ExtPageActive() ? fExtList : fDSSList)->selectAll();
}

void TStationsWnd::Arrange() { ArrangeList(ExtPageActive() ? fExtList : fDSSList); }

void TStationsWnd::Sort(TSortKind Kind) {
  const TSysData& store = fStore;
  switch (Kind) {
    case sortByName:
      SortList(fExtList, [&store](int a, int b) {
        const std::string na = RawName(store, a), nb = RawName(store, b);
        return na != nb ? na < nb : a < b;
      });
      break;
    case sortByExtension:
      SortList(fExtList, [&store](int a, int b) {
        const std::string na = NumberOf(store, a), nb = NumberOf(store, b);
        return na != nb ? na < nb : a < b;
      });
      break;
    case sortByPortId:
      SortList(fExtList, [](int a, int b) { return a < b; });
      break;
  }
}

QMenu* TStationsWnd::ExtMenu() { return fExtMenu; }
QMenu* TStationsWnd::DSSMenu() { return fDSSMenu; }

void TStationsWnd::UpdateExtMenu() {
  const bool selected = FirstSelected(fExtList) != 0;
  const bool several = fExtList->count() > 1;
  SetEnabled(fExtMenu, "ExtEditAct", selected);
  SetEnabled(fExtMenu, "ExtCopyAct", selected);
  SetEnabled(fExtMenu, "ExtPasteAct", selected && fExtSource != 0);
  SetEnabled(fExtMenu, "ExtSelectAllAct", several);
  SetEnabled(fExtMenu, "ExtArrangeAct", several);
  SetEnabled(fExtMenu, "ExtSortAct", several);
}

void TStationsWnd::UpdateDSSMenu() {
  const bool selected = FirstSelected(fDSSList) != 0;
  const bool filled = fDSSList->count() > 0 && NumberOfItem(fDSSList->item(0)) != 0;
  SetEnabled(fDSSMenu, "DSSEditAct", selected);
  SetEnabled(fDSSMenu, "DSSCopyAct", selected);
  SetEnabled(fDSSMenu, "DSSPasteAct", selected && fDSSSource != 0);
  SetEnabled(fDSSMenu, "DSSSelectAllAct", filled);
  SetEnabled(fDSSMenu, "DSSArrangeAct", filled);
}

// ---------------------------------------------------------------------------------------------
// Trunks window

TTrunksWnd::TTrunksWnd(TSysData& Store, QWidget* Parent) : TViewWindow(Parent), fStore(Store) {
  setObjectName("TrunksWnd");
  setWindowTitle("CO lines");
  setWindowIcon(MakeIcon(iconCO));
  fPages = new QTabWidget(this);
  fCOList = NewIconList(fPages, "COList");
  fPages->addTab(fCOList, "CO");
  WithLayout(this, fPages);
  fCOList->installEventFilter(this);

  fCOMenu = new QMenu(this);
  connect(MenuAction(fCOMenu, "COEditAct", "Edit"), &QAction::triggered, this,
          &TTrunksWnd::EditCO);
  fCOMenu->addSeparator();
  connect(MenuAction(fCOMenu, "COCopyAct", "Copy"), &QAction::triggered, this,
          &TTrunksWnd::CopyCO);
  connect(MenuAction(fCOMenu, "COPasteAct", "Paste"), &QAction::triggered, this,
          &TTrunksWnd::PasteCO);
  connect(MenuAction(fCOMenu, "COSelectAllAct", "Select All"), &QAction::triggered, this,
          &TTrunksWnd::SelectAll);
  fCOMenu->addSeparator();
  connect(MenuAction(fCOMenu, "COArrangeAct", "Arrange"), &QAction::triggered, this,
          &TTrunksWnd::Arrange);
  QMenu* sort = fCOMenu->addMenu("Sort");
  sort->menuAction()->setObjectName("COSortAct");
  sort->menuAction()->setStatusTip("Sort the entries");
  connect(MenuAction(sort, "COSortNameAct", "By Name"), &QAction::triggered, this,
          [this] { Sort(sortByName); });
  connect(MenuAction(sort, "COSortPortAct", "By Port"), &QAction::triggered, this,
          [this] { Sort(sortByPort); });
  connect(fCOMenu, &QMenu::aboutToShow, this, &TTrunksWnd::UpdateCOMenu);
  connect(fCOList, &QListWidget::customContextMenuRequested, this, [this](const QPoint& P) {
    fCOMenu->popup(fCOList->viewport()->mapToGlobal(P));
  });
  connect(fCOList, &QListWidget::itemDoubleClicked, this, [this] { EditCO(); });
  Rebuild();
}

bool TTrunksWnd::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == fCOList && Event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(Event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      EditCO();
      return true;
    }
  }
  return TViewWindow::eventFilter(Watched, Event);
}

void TTrunksWnd::Rebuild() {
  fCOList->clear();
  const QIcon icon = MakeIcon(iconCO);
  const int lines = ModelCOCount(fStore.Settings.PBXtype);
  for (int c = 1; c <= lines; ++c) AddEntry(fCOList, icon, QString("CO %1").arg(c), c);
  RefreshMarks();
}

void TTrunksWnd::RefreshMarks() {
  for (int i = 0; i < fCOList->count(); ++i)
    MarkEntry(fCOList->item(i), COChanged(fStore, NumberOfItem(fCOList->item(i))));
}

void TTrunksWnd::EditCO() {
  if (FirstSelected(fCOList) == 0) return;
  const TIntegerList lines = SelectedNumbers(fCOList);
  const auto& dialog = ViewDialogs().COLines;
  if (!MayOpenDialog(this, bool(dialog))) return;
  dialog(this, lines);
  RefreshMarks();
  TellFrame(this);
}

void TTrunksWnd::CopyCO() {
  if (const int co = FirstSelected(fCOList)) fCOSource = co;
}

void TTrunksWnd::PasteCO() {
  const int src = fCOSource;
  if (src == 0 || FirstSelected(fCOList) == 0) return;
  TCOarray& lines = fStore.COLines;
  if (!lines.Lines(src).HasActualData()) {
    Feedback().ShowInformation(Format("There are no actual data for CO %d - nothing to copy!", src));
    return;
  }
  TIntegerList targets = SelectedNumbers(fCOList);
  const std::string question =
      Format("Copy data of CO %d into CO(s) ", src) + FormatRanges(targets) + "?";
  if (!Feedback().Confirm(question)) return;
  for (int t : targets.Values()) {
    if (t == src) continue;  // a copy onto itself changes nothing
    lines.Lines(t).Paste(lines.Lines(src));
  }
  RefreshMarks();
  TellFrame(this);
}

void TTrunksWnd::SelectAll() { fCOList->selectAll(); }

void TTrunksWnd::Arrange() { ArrangeList(fCOList); }

void TTrunksWnd::Sort(TSortKind Kind) {
  if (Kind == sortByPort) {
    SortList(fCOList, [](int a, int b) { return a < b; });
    return;
  }
  SortList(fCOList, [](int a, int b) {
    const std::string ca = "CO " + std::to_string(a), cb = "CO " + std::to_string(b);
    return ca != cb ? ca < cb : a < b;
  });
}

QMenu* TTrunksWnd::COMenu() { return fCOMenu; }

void TTrunksWnd::UpdateCOMenu() {
  const bool selected = FirstSelected(fCOList) != 0;
  const bool several = fCOList->count() > 1;
  SetEnabled(fCOMenu, "COEditAct", selected);
  SetEnabled(fCOMenu, "COCopyAct", selected);
  SetEnabled(fCOMenu, "COPasteAct", selected && fCOSource != 0);
  SetEnabled(fCOMenu, "COSelectAllAct", several);
  SetEnabled(fCOMenu, "COArrangeAct", several);
  SetEnabled(fCOMenu, "COSortAct", several);
}

// ---------------------------------------------------------------------------------------------
// Parameter window

namespace {

struct TParamEntry {
  const char* Caption;
  int Parent;  // -1 for a top-level entry
};

constexpr TParamEntry kParamEntries[kParamEntryCount] = {
    {"Date and time", -1},
    {"Speed Dials", -1},
    {"DISA", -1},
    {"UCD (Uniform Call Distribution)", -1},
    {"Account codes", -1},
    {"ARS (Automatic Route Selection)", -1},
    {"TRS (Toll Restriction)..", -1},
    {"Toll Restriction codes and parameters", 6},
    {"Emergency dial", 6},
    {"System..", -1},
    {"Day/Night/Lunch", 9},
    {"Timer", 9},
    {"Automatic Pause Insertion codes", 9},
    {"Carrier Excepted codes", 9},
    {"Voice Mail Integration for KX-TVP75/KX-TVP100", 9},
    {"Call Hunting", 9},
    {"SMDR (Station Message Detail Recording)", 9},
    {"System parameters", 9},
};

bool IsGroupEntry(int Index) {
  for (const TParamEntry& e : kParamEntries)
    if (e.Parent == Index) return true;
  return false;
}

}  // namespace

TParamWnd::TParamWnd(QWidget* Parent) : TViewWindow(Parent) {
  setObjectName("ParamWnd");
  setWindowTitle("Parameters");
  setWindowIcon(MakeIcon(iconParam));
  fTree = new QTreeWidget(this);
  fTree->setObjectName("ParamTree");
  fTree->setHeaderHidden(true);
  fTree->setRootIsDecorated(false);
  fTree->setColumnCount(1);
  const QIcon param = MakeIcon(iconParam), group = MakeIcon(iconGroup);
  std::vector<QTreeWidgetItem*> items;
  for (int i = 0; i < kParamEntryCount; ++i) {
    const TParamEntry& e = kParamEntries[i];
    QTreeWidgetItem* item =
        e.Parent < 0 ? new QTreeWidgetItem(fTree) : new QTreeWidgetItem(items[e.Parent]);
    item->setText(0, e.Caption);
    item->setIcon(0, IsGroupEntry(i) ? group : param);
    items.push_back(item);
  }
  fTree->expandAll();
  WithLayout(this, fTree);
  // The F key is followed program-wide, since it may go down before the tree has the focus.
  InstallFKeyTracker();
  connect(fTree, &QTreeWidget::itemDoubleClicked, this, [this] { OpenSelected(FKeyHeld()); });
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter})
    connect(new QShortcut(QKeySequence(key), fTree, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, [this] { OpenSelected(FKeyHeld()); });
}

TParamWnd::~TParamWnd() = default;

int TParamWnd::EntryIndex(const QTreeWidgetItem* Item) const {
  if (!Item) return -1;
  int index = 0;
  for (QTreeWidgetItemIterator it(fTree); *it; ++it, ++index)
    if (*it == Item) return index;
  return -1;
}

void TParamWnd::OpenSelected(bool Force) {
  const QList<QTreeWidgetItem*> selected = fTree->selectedItems();
  if (selected.isEmpty()) return;
  const int index = EntryIndex(selected.first());
  if (index < 0 || index >= kParamEntryCount || IsGroupEntry(index)) return;
  const auto& opener = ViewDialogs().Params[static_cast<size_t>(index)];
  if (!MayOpenDialog(this, bool(opener))) return;
  opener(this, Force);
  TellFrame(this);
}

// ---------------------------------------------------------------------------------------------

TViews CreateViews(TMainForm& Main) { return CreateViews(Main, SysData()); }

TViews CreateViews(TMainForm& Main, TSysData& Store) {
  TViews v;
  QMdiArea* mdi = Main.MdiArea();
  // Created in this order; the Window menu lists them the other way round.
  v.Params = new TParamWnd;
  mdi->addSubWindow(v.Params);
  v.Trunks = new TTrunksWnd(Store);
  mdi->addSubWindow(v.Trunks);
  v.Stations = new TStationsWnd(Store);
  QMdiSubWindow* stations = mdi->addSubWindow(v.Stations);
  Main.AddView(v.Stations, "Stations");
  Main.AddView(v.Trunks, "CO lines");
  Main.AddView(v.Params, "Parameters");
  mdi->setActiveSubWindow(stations);
  QObject::connect(&Main, &TMainForm::DataChanged, v.Trunks, &TTrunksWnd::Rebuild);
  QObject::connect(&Main, &TMainForm::DataChanged, v.Stations, &TStationsWnd::Rebuild);
  QObject::connect(&Main, &TMainForm::PendingChangesShown, v.Trunks, &TTrunksWnd::RefreshMarks);
  QObject::connect(&Main, &TMainForm::PendingChangesShown, v.Stations,
                   &TStationsWnd::RefreshMarks);
  return v;
}
