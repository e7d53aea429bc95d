// A one-line edit field for non-negative whole numbers, read and written as an integer.
#pragma once

#include <QLineEdit>

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
  // Only digits and Backspace get through; every other typed character, control characters
  // such as Ctrl+V included, is dropped before the field sees it.
  void keyPressEvent(QKeyEvent* Event) override;
};
