#include "DgtEdit.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QRegularExpressionValidator>

#include "Text.h"

TDgtEdit::TDgtEdit(QWidget* Parent) : QLineEdit(Parent) {
  // Pasted or dropped text is not typing: one that holds anything but digits is refused whole
  // and the field keeps what it had (a number with a character taken out is another number).
  // The field's maximum length, when set, cuts a long paste as in any line edit.
  setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this));
}

int TDgtEdit::IValue() const { return LeadingInt(text().toStdString()); }

void TDgtEdit::SetIValue(int V) {
  const QString t = QString::number(V).left(10);
  if (t != text()) setText(t);
}

void TDgtEdit::keyPressEvent(QKeyEvent* Event) {
  if (DigitFieldDropsKey(Event)) {
    Event->accept();  // typed, but not a digit: dropped, and no further up either
    return;
  }
  QLineEdit::keyPressEvent(Event);
}

bool DigitFieldDropsKey(const QKeyEvent* Event) {
  // Shortcuts first: on some platforms Ctrl+V and the like come with their letter as text.
  for (QKeySequence::StandardKey k :
       {QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
        QKeySequence::Undo, QKeySequence::Redo})
    if (Event->matches(k)) return false;
  const QString t = Event->text();
  // Return, Escape, Tab, Backspace and Delete come with control characters as their text, the
  // cursor keys with none: none of them types anything.
  if (t.isEmpty() || !t.at(0).isPrint()) return false;
  const bool digit = t.size() == 1 && t.at(0) >= '0' && t.at(0) <= '9';
  return !digit ||
         (Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}
