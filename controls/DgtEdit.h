// A one-line edit field for non-negative whole numbers, read and written as an integer.
#pragma once

#include <QLineEdit>

class QKeyEvent;

class TDgtEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(int IValue READ IValue WRITE SetIValue)
 public:
  explicit TDgtEdit(QWidget* Parent = nullptr);

  // The text as a number; empty text reads 0, a number too large for an int reads its limit.
  int IValue() const;
  // Replaces the text with the decimal text of V, cut to its first 10 characters; an unchanged
  // text raises no change signal.
  void SetIValue(int V);

 protected:
  // Typed characters other than digits are dropped (DigitFieldDropsKey); every other key does
  // what it does in any line edit.
  void keyPressEvent(QKeyEvent* Event) override;
};

// Whether a field that takes only digits drops this key press: a printable character that is
// not a digit, or a digit typed with Ctrl, Alt or Meta. The keys that finish, leave or edit the
// field (Return, Escape, Tab, Delete, Backspace, the cursor keys, Home, End) and the standard
// select-all, copy, cut, paste, undo and redo shortcuts pass; what a paste inserts is the
// field's validator's to judge, which takes it whole or not at all.
bool DigitFieldDropsKey(const QKeyEvent* Event);
