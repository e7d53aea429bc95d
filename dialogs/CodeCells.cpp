#include "CodeCells.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>
#include <QValidator>

namespace {

// Filters the typed keys of one edit by its rule.
class TCodeKeyFilter : public QObject {
 public:
  TCodeKeyFilter(const TCodeRule& Rule, QLineEdit* Edit) : QObject(Edit), fRule(Rule) {}

 protected:
  bool eventFilter(QObject* Object, QEvent* Event) override {
    if (Event->type() != QEvent::KeyPress) return false;
    auto* edit = static_cast<QLineEdit*>(Object);
    auto* key = static_cast<QKeyEvent*>(Event);
    const QString text = key->text();
    if (text.size() != 1 || !text[0].isPrint() ||
        (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
      return false;  // editing keys and shortcuts go their way
    const QChar c = fRule.Upper ? text[0].toUpper() : text[0];
    const int room = fRule.MaxLength > 0 ? fRule.MaxLength - static_cast<int>(edit->text().size() -
                                                                              edit->selectedText().size())
                                         : 1;
    if (fRule.Chars.contains(c) && room > 0) edit->insert(c);
    return true;
  }

 private:
  TCodeRule fRule;
};

}  // namespace

QString CleanCode(const QString& Text, const TCodeRule& Rule) {
  QString out;
  for (QChar c : Text) {
    if (Rule.Upper) c = c.toUpper();
    if (Rule.Chars.contains(c)) out += c;
  }
  if (Rule.MaxLength > 0) out.truncate(Rule.MaxLength);
  return out;
}

void TellInStatusBar(const QString& Text) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* main = qobject_cast<QMainWindow*>(w); main && main->statusBar()) {
      main->statusBar()->showMessage(Text, 6000);
      return;
    }
}

void ApplyCodeRule(QLineEdit* Edit, const TCodeRule& Rule) {
  Edit->installEventFilter(new TCodeKeyFilter(Rule, Edit));
  // The key filter handles typing; what else changes the text is cleaned here.
  QObject::connect(Edit, &QLineEdit::textEdited, Edit, [Edit, Rule](const QString& Text) {
    const QString clean = CleanCode(Text, Rule);
    if (clean == Text) return;
    const int at = std::min<int>(Edit->cursorPosition(), static_cast<int>(clean.size()));
    Edit->setText(clean);
    Edit->setCursorPosition(at);
    TellInStatusBar(QString("Pasted text cut to what the field takes: %1").arg(clean));
  });
}

TCodeCellDelegate::TCodeCellDelegate(const TCodeRule& Rule, QObject* Parent)
    : TItemTextDelegate(Parent), fRule(Rule) {}

QWidget* TCodeCellDelegate::createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                                         const QModelIndex& Index) const {
  QWidget* w = TItemTextDelegate::createEditor(Parent, Option, Index);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    // The rule is stricter than the item breakers' validator, and a validator would refuse a
    // paste whole where the rule keeps what it can.
    const QValidator* breakers = edit->validator();
    edit->setValidator(nullptr);
    delete breakers;
    ApplyCodeRule(edit, fRule);
  }
  return w;
}
