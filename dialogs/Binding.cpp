#include "Binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QVBoxLayout>

#include "Text.h"
#include "ValueNames.h"

// ---- TRadioGroup -------------------------------------------------------------------------

TRadioGroup::TRadioGroup(const QString& Name, const QString& Title, const QStringList& Entries,
                         QWidget* Parent)
    : QGroupBox(Title, Parent), fGroup(new QButtonGroup(this)) {
  setObjectName(Name);
  auto* layout = new QVBoxLayout(this);
  for (int i = 0; i < Entries.size(); ++i) {
    auto* rb = new QRadioButton(Entries[i], this);
    rb->setObjectName(QString("%1_%2").arg(Name).arg(i));
    fGroup->addButton(rb, i);
    layout->addWidget(rb);
  }
  connect(fGroup, &QButtonGroup::idToggled, this, [this](int Id, bool On) {
    if (On) emit Changed(Id);
  });
}

void TRadioGroup::SetItemIndex(int Index) {
  if (QAbstractButton* b = fGroup->button(Index)) {
    b->setChecked(true);
    return;
  }
  // An exclusive group never unchecks its last button on its own.
  if (QAbstractButton* b = fGroup->checkedButton()) {
    fGroup->setExclusive(false);
    b->setChecked(false);
    fGroup->setExclusive(true);
    emit Changed(-1);
  }
}

// ---- control values ------------------------------------------------------------------------

int ControlValue(const QWidget* Control) {
  if (auto* c = qobject_cast<const QCheckBox*>(Control)) {
    switch (c->checkState()) {
      case Qt::Unchecked:
        return 0;
      case Qt::Checked:
        return 1;
      default:
        return 2;
    }
  }
  if (auto* c = qobject_cast<const QComboBox*>(Control)) return c->currentIndex();
  if (auto* r = qobject_cast<const TRadioGroup*>(Control)) return r->ItemIndex();
  if (auto* e = qobject_cast<const QLineEdit*>(Control)) {
    const std::string t = TrimBlanks(e->text().toStdString());
    int v;
    if (t.empty() || t[0] == '?' || !TryStrToInt(t, v) || v < 0) return -1;
    return v;
  }
  return -1;
}

void SetControlValue(QWidget* Control, int Value) {
  if (auto* c = qobject_cast<QCheckBox*>(Control)) {
    // Only a box that opens grayed may be put back to grayed by the user.
    const bool grayed = Value < 0 || Value == 2;
    c->setTristate(grayed);
    c->setCheckState(grayed ? Qt::PartiallyChecked : Value == 1 ? Qt::Checked : Qt::Unchecked);
  } else if (auto* cb = qobject_cast<QComboBox*>(Control)) {
    cb->setCurrentIndex(Value >= 0 && Value < cb->count() ? Value : -1);
  } else if (auto* r = qobject_cast<TRadioGroup*>(Control)) {
    r->SetItemIndex(Value >= 0 && Value < r->Count() ? Value : -1);
  } else if (auto* e = qobject_cast<QLineEdit*>(Control)) {
    e->setText(Value < 0 ? QString("???") : QString::number(Value));
  }
}

// ---- items -----------------------------------------------------------------------------------

void StoreValue(TCmdData& Block, int Item, TItemConv Conv, int Value) {
  if (Value < 0) {
    if (Block.AllowUndefined) Block.SetItemInt(Item, -1);  // marks it, writes nothing
    return;
  }
  switch (Conv) {
    case TItemConv::TwoDigit:
      Block.SetItem2d(Item, Value);
      break;
    case TItemConv::Index1:
      Block.SetItemIndex(Item, Value);
      break;
    case TItemConv::Index1TwoDigit:
      Block.SetItem2d(Item, Value + 1);
      break;
    default:
      Block.SetItemInt(Item, Value);
      break;
  }
}

void StoreText(TCmdData& Block, int Item, const std::string& Text) {
  const std::string t = TrimBlanks(Text);
  if (!t.empty() && t[0] == '?') {
    if (Block.AllowUndefined) Block.SetItemStr(Item, "?");
    return;
  }
  Block.SetItemStr(Item, t.empty() ? std::string("^") : t);
}

QString ItemText(const TCmdData& Block, int Item) {
  const std::string s = Block.ItemStr(Item);
  return s == "^" ? QString() : QString::fromStdString(s);
}

void LoadItem(QWidget* Control, const TCmdData& Block, int Item, TItemConv Conv) {
  switch (Conv) {
    case TItemConv::Text:
      if (auto* e = qobject_cast<QLineEdit*>(Control)) e->setText(ItemText(Block, Item));
      return;
    case TItemConv::Check: {
      const int v = Block.ItemInt(Item);
      SetControlValue(Control, v < 0 ? 2 : v == 1 ? 1 : 0);
      return;
    }
    case TItemConv::Index1:
    case TItemConv::Index1TwoDigit:
      SetControlValue(Control, Block.ItemIndex(Item));
      return;
    default:
      SetControlValue(Control, Block.ItemInt(Item));
      return;
  }
}

void StoreItem(const QWidget* Control, TCmdData& Block, int Item, TItemConv Conv) {
  switch (Conv) {
    case TItemConv::Text:
      if (auto* e = qobject_cast<const QLineEdit*>(Control))
        StoreText(Block, Item, e->text().toStdString());
      return;
    case TItemConv::Check: {
      const int v = ControlValue(Control);
      StoreValue(Block, Item, Conv, v == 2 ? -1 : v);
      return;
    }
    default:
      StoreValue(Block, Item, Conv, ControlValue(Control));
      return;
  }
}

void LoadCell(QTableWidget* Grid, int Row, int Col, const TCmdData& Block, int Item) {
  QTableWidgetItem* cell = Grid->item(Row, Col);
  if (!cell) {
    cell = new QTableWidgetItem;
    Grid->setItem(Row, Col, cell);
  }
  cell->setText(ItemText(Block, Item));
}

void StoreCell(const QTableWidget* Grid, int Row, int Col, TCmdData& Block, int Item) {
  const QTableWidgetItem* cell = Grid->item(Row, Col);
  StoreText(Block, Item, cell ? cell->text().toStdString() : std::string());
}

// ---- keeping item breakers out -----------------------------------------------------------

void KeepItemBreakersOut(QLineEdit* Edit) {
  if (!Edit || Edit->validator()) return;
  // Printable ASCII but the breakers: a control character would reach the PBX as a key.
  static const QRegularExpression kNoBreakers(QString("[^%1\\x00-\\x1f\\x7f-\\x{ffff}]*")
                                                  .arg(QRegularExpression::escape(
                                                      QString::fromLatin1(kItemBreakers))));
  Edit->setValidator(new QRegularExpressionValidator(kNoBreakers, Edit));
}

QWidget* TItemTextDelegate::createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                                         const QModelIndex& Index) const {
  QWidget* w = QStyledItemDelegate::createEditor(Parent, Option, Index);
  KeepItemBreakersOut(qobject_cast<QLineEdit*>(w));
  return w;
}

// ---- TBindingTable -----------------------------------------------------------------------

void TBindingTable::Add(QWidget* Control, const std::string& Block, int Item, TItemConv Conv) {
  TBinding b;
  b.Control = Control;
  b.Block = Block;
  b.Item = Item;
  b.Conv = Conv;
  fEntries.push_back(std::move(b));
  if (Conv == TItemConv::Text) KeepItemBreakersOut(qobject_cast<QLineEdit*>(Control));
  // The choices name the item's values for the windows outside the dialogs.
  QStringList names;
  if (const auto* combo = qobject_cast<const QComboBox*>(Control))
    for (int i = 0; i < combo->count(); ++i) names << combo->itemText(i);
  if (const auto* radios = qobject_cast<const TRadioGroup*>(Control))
    for (int i = 0; i < radios->Count(); ++i) names << radios->Button(i)->text().remove('&');
  const bool fromOne = Conv == TItemConv::Index1 || Conv == TItemConv::Index1TwoDigit;
  if (Conv != TItemConv::Check && Conv != TItemConv::Text)
    AddValueNames(Block, Item, names, fromOne ? 1 : 0);
}

void TBindingTable::AddCell(QTableWidget* Grid, int Row, int Col, const std::string& Block,
                            int Item) {
  TBinding b;
  b.Control = Grid;
  b.Block = Block;
  b.Item = Item;
  b.Conv = TItemConv::Text;
  b.Row = Row;
  b.Col = Col;
  fEntries.push_back(std::move(b));
  if (Grid && !qobject_cast<TItemTextDelegate*>(Grid->itemDelegate()))
    Grid->setItemDelegate(new TItemTextDelegate(Grid));
}

void TBindingTable::AddCustom(QWidget* Control, const std::string& Block,
                              std::function<void(const TCmdData&)> Load,
                              std::function<void(TCmdData&)> Store) {
  TBinding b;
  b.Control = Control;
  b.Block = Block;
  b.Load = std::move(Load);
  b.Store = std::move(Store);
  fEntries.push_back(std::move(b));
}

void TBindingTable::Load(const TResolver& Resolve) const {
  for (const TBinding& b : fEntries) {
    const TCmdData& block = Resolve(b.Block);
    if (b.Load)
      b.Load(block);
    else if (b.Row >= 0)
      LoadCell(static_cast<QTableWidget*>(b.Control), b.Row, b.Col, block, b.Item);
    else
      LoadItem(b.Control, block, b.Item, b.Conv);
  }
}

void TBindingTable::Store(const TResolver& Resolve) const {
  for (const TBinding& b : fEntries) {
    TCmdData& block = Resolve(b.Block);
    if (b.Store)
      b.Store(block);
    else if (b.Row >= 0)
      StoreCell(static_cast<const QTableWidget*>(b.Control), b.Row, b.Col, block, b.Item);
    else
      StoreItem(b.Control, block, b.Item, b.Conv);
  }
}

std::vector<std::string> TBindingTable::Blocks() const {
  std::vector<std::string> codes;
  for (const TBinding& b : fEntries) {
    bool seen = false;
    for (const auto& c : codes) seen = seen || c == b.Block;
    if (!seen) codes.push_back(b.Block);
  }
  return codes;
}
