// Text fields and table cells that take only what the PBX item they edit can hold: typed
// characters outside the item's character set, or past the length typing may fill, are dropped;
// what a paste or a drop brings in loses the characters the item cannot hold and is cut to the
// item's length, and the main window's status bar says so. Without this a paste would carry
// letters, blanks or the item breakers "," and "/" past the key filter into the block.
#pragma once

#include <QString>
#include <QStyledItemDelegate>
#include <QValidator>
#include <functional>
#include <string>

#include "Binding.h"

class QLineEdit;
struct TItemSpec;

// The layout of a text item in the program table (item 1 of "512S": ten digits).
const TItemSpec& TextItemLayout(const std::string& Code, int Item = 1);

// Shows Text in the status bar of the program's main window when the window chain of From
// leads to it; otherwise nothing is shown.
void ShowMainStatus(const QWidget* From, const QString& Text);

// The filter of one field: its validator and its key filter at once.
class TFieldFilter : public QValidator {
  Q_OBJECT
 public:
  // Chars: the characters the field takes; MaxLength: the most it holds, pasted text
  // included; TypedMax: the most typing fills it to (MaxLength when not given), asked at each
  // key, so that it may follow another control.
  TFieldFilter(QLineEdit* Edit, std::string Chars, int MaxLength,
               std::function<int()> TypedMax = {});
  // Drops the characters outside the set and cuts what is over the length from the text just
  // inserted (before the cursor); the result is always taken.
  State validate(QString& Input, int& Pos) const override;
  // Letters are upper-cased before they are judged ("p" types "P").
  void SetUpperCase(bool On) { fUpper = On; }

 protected:
  bool eventFilter(QObject* Object, QEvent* Event) override;

 private:
  QLineEdit* fEdit;
  std::string fChars;
  int fMax;
  std::function<int()> fTypedMax;
  bool fUpper = false;
};

// Puts a filter on Edit in place of the validator it has (the item breakers' among them).
TFieldFilter* FilterField(QLineEdit* Edit, const std::string& Chars, int MaxLength,
                          std::function<int()> TypedMax = {});
TFieldFilter* FilterField(QLineEdit* Edit, const TItemSpec& Layout,
                          std::function<int()> TypedMax = {});

// The editor of text cells filtered alike.
class TFilteredCellDelegate : public TItemTextDelegate {
  Q_OBJECT
 public:
  TFilteredCellDelegate(const TItemSpec& Layout, int MaxLength, std::function<int()> TypedMax,
                        QObject* Parent);
  QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                        const QModelIndex& Index) const override;

 private:
  std::string fChars;
  int fMax;
  std::function<int()> fTypedMax;
};

// Fields and cells of dial codes (code tables, speed dials): a set of characters up to a length.
struct TCodeRule {
  QString Chars;       // the characters a code may hold
  int MaxLength = 0;   // the most it holds
  bool Upper = false;  // letters are upper-cased first ("p" types "P")
};
void ApplyCodeRule(QLineEdit* Edit, const TCodeRule& Rule);

// The editor of code cells, filtered by the rule of its column.
class TCodeCellDelegate : public TItemTextDelegate {
  Q_OBJECT
 public:
  TCodeCellDelegate(const TCodeRule& Rule, QObject* Parent);
  QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                        const QModelIndex& Index) const override;

 private:
  TCodeRule fRule;
};

class QTableWidget;
// Ends an edit in progress in Grid, keeping what was typed, before the dialog reads the cells.
void CommitOpenEditor(QTableWidget* Grid);
