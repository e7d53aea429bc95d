#include "DgtEdit.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

#include "Text.h"

TDgtEdit::TDgtEdit(QWidget* Parent) : QLineEdit(Parent) {
  // A paste through the context menu is not typing; a pasted text that holds anything but
  // digits is refused whole and the field keeps what it had.
  setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this));
}

int TDgtEdit::IValue() const { return LeadingInt(text().toStdString()); }

void TDgtEdit::SetIValue(int V) {
  const QString t = QString::number(V).left(10);
  if (t != text()) setText(t);
}

void TDgtEdit::keyPressEvent(QKeyEvent* Event) {
  const QString t = Event->text();
  if (Event->key() == Qt::Key_Backspace) {
    QLineEdit::keyPressEvent(Event);
    return;
  }
  if (!t.isEmpty()) {
    const QChar c = t.at(0);
    if (t.size() == 1 && c >= '0' && c <= '9' &&
        !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
      QLineEdit::keyPressEvent(Event);
      return;
    }
    Event->accept();  // typed, but not a digit: dropped
    return;
  }
  // Keys that type nothing (arrows, Home, End, Delete, Tab) keep their usual meaning, except
  // the clipboard and undo shortcuts, which Qt reports without text on some platforms.
  if (Event->modifiers() & Qt::ControlModifier) {
    switch (Event->key()) {
      case Qt::Key_V:
      case Qt::Key_X:
      case Qt::Key_Z:
      case Qt::Key_Y:
        Event->accept();
        return;
      default:
        break;
    }
  }
  QLineEdit::keyPressEvent(Event);
}
