// Grid cells and fields that hold dial codes: each takes a set of characters up to a length.
// Typed keys outside the set, or past the length, are dropped; pasted text is cleaned the same
// way, and the status bar says what was dropped, so that a paste can never put into a code a
// character or a length the PBX would refuse in the middle of an upload.
#pragma once

#include <QString>

#include "Binding.h"

class QLineEdit;

struct TCodeRule {
  QString Chars;       // the characters a code may hold
  int MaxLength = 0;   // 0: no limit
  bool Upper = false;  // letters are upper-cased first ("p" types "P")
};

// What of Text the rule keeps: upper-cased when the rule says so, other characters dropped,
// cut at the length.
QString CleanCode(const QString& Text, const TCodeRule& Rule);

// Applies the rule to a line edit: typed keys filtered, any other change (a paste, a drop, the
// context menu) cleaned afterwards with a word in the status bar.
void ApplyCodeRule(QLineEdit* Edit, const TCodeRule& Rule);

// Shows Text for a while in the main window's status bar, when there is one.
void TellInStatusBar(const QString& Text);

// The editor of code cells: the rule of its column (columns without a rule get the item-text
// editor alone).
class TCodeCellDelegate : public TItemTextDelegate {
  Q_OBJECT
 public:
  TCodeCellDelegate(const TCodeRule& Rule, QObject* Parent);
  QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                        const QModelIndex& Index) const override;

 private:
  TCodeRule fRule;
};
