// The item bindings of the programming dialogs. Every dialog declares which control shows which
// item of which program block, and by which convention; loading the controls and storing them
// back are then one loop over that table.
//
// Undefined items (several records combined into one, their values differing) load as a grayed
// check box, no selection or "???". Stored back, such a control marks the item undefined again
// when the block is in multi-edit mode (AllowUndefined); in a single record it leaves the item
// as it is, so that an undecided control can never write a value nobody chose.
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStyledItemDelegate>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "CmdData.h"

class QLineEdit;
class QTableWidget;

enum class TItemConv {
  Number,          // ItemInt; written as decimal text
  TwoDigit,        // as Number, written "%.2d"
  Index,           // entry = item value (0-based)
  Index1,          // ItemIndex: entry = item value - 1 (0 selects the first entry)
  Index1TwoDigit,  // as Index1, the entry number + 1 written "%.2d"
  Check,           // 1 checked, other values unchecked, undefined grayed
  Text,            // ItemStr; the empty marker "^" shows as an empty field
};

// A titled group of exclusive radio buttons whose selection is an entry number; -1 selects
// none (an undefined item). Its buttons are named <object name>_<entry>.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& Name, const QString& Title, const QStringList& Entries,
              QWidget* Parent = nullptr);
  int ItemIndex() const { return fGroup->checkedId(); }
  void SetItemIndex(int Index);
  int Count() const { return static_cast<int>(fGroup->buttons().size()); }
  QAbstractButton* Button(int Index) const { return fGroup->button(Index); }

 signals:
  void Changed(int Index);

 private:
  QButtonGroup* fGroup;
};

// Control values as the conventions see them: an entry number, a number or a check state
// (0, 1, 2 = grayed); -1 means undefined.
int ControlValue(const QWidget* Control);
void SetControlValue(QWidget* Control, int Value);

// One item to or from one control by a convention. Controls: QCheckBox (Check), QComboBox and
// TRadioGroup (the index conventions, Number and TwoDigit as the entry number), QLineEdit and
// TDgtEdit (Number, TwoDigit, Text). A table cell takes Text through the cell overloads.
void LoadItem(QWidget* Control, const TCmdData& Block, int Item, TItemConv Conv);
void StoreItem(const QWidget* Control, TCmdData& Block, int Item, TItemConv Conv);
void LoadCell(QTableWidget* Grid, int Row, int Col, const TCmdData& Block, int Item);
void StoreCell(const QTableWidget* Grid, int Row, int Col, TCmdData& Block, int Item);

// Writes an integer by a convention; a negative value marks the item undefined in multi-edit
// mode and otherwise writes nothing.
void StoreValue(TCmdData& Block, int Item, TItemConv Conv, int Value);
// The text convention's store: trimmed; "?..." is undefined as above; empty becomes "^". A text
// holding an item breaker raises Exception from the block.
void StoreText(TCmdData& Block, int Item, const std::string& Text);
// The text convention's load: "^" shows empty; an undefined item reads "???".
QString ItemText(const TCmdData& Block, int Item);

// Keeps the characters no item text may hold (kItemBreakers: "," "/" and line breaks, and
// anything that is no printable ASCII) out of a text field: typed or pasted, they are refused.
// A field with its own validator keeps it.
void KeepItemBreakersOut(QLineEdit* Edit);

// The editor of a text cell, with the item breakers kept out. Text cells of a binding table get
// it; a dialog's own cell delegate derives from it.
class TItemTextDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                        const QModelIndex& Index) const override;
};

struct TBinding {
  QWidget* Control = nullptr;
  std::string Block;  // program code, e.g. "401C"
  int Item = 1;
  TItemConv Conv = TItemConv::Number;
  int Row = -1, Col = -1;  // a text cell of a QTableWidget
  // A program whose items do not map one to one (durations, counted items, grids).
  std::function<void(const TCmdData&)> Load;
  std::function<void(TCmdData&)> Store;
};

class TBindingTable {
 public:
  // Finds a block of the record being loaded or stored by its program code.
  using TResolver = std::function<TCmdData&(const std::string& Code)>;

  void Add(QWidget* Control, const std::string& Block, int Item, TItemConv Conv);
  void AddCell(QTableWidget* Grid, int Row, int Col, const std::string& Block, int Item);
  void AddCustom(QWidget* Control, const std::string& Block,
                 std::function<void(const TCmdData&)> Load, std::function<void(TCmdData&)> Store);

  void Load(const TResolver& Resolve) const;
  void Store(const TResolver& Resolve) const;

  const std::vector<TBinding>& Entries() const { return fEntries; }
  // The distinct program codes of the table in declaration order.
  std::vector<std::string> Blocks() const;

 private:
  std::vector<TBinding> fEntries;
};
