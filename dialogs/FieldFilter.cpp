#include "FieldFilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <algorithm>
#include <cstring>

#include "Errors.h"
#include "Main.h"
#include "PbxPrograms.h"

const TItemSpec& TextItemLayout(const std::string& Code, int Item) {
  const TPbxCatalogue& cat = TPbxCatalogue::Get();
  const int p = cat.FindCode(Code);
  if (p < 0 || Item < 1 || cat.Programs()[size_t(p)].Items.size() < size_t(Item) ||
      cat.Programs()[size_t(p)].Items[size_t(Item - 1)].Kind != TItemSpec::Text)
    throw Exception("The program table has no text item " + std::to_string(Item) + " of " + Code);
  return cat.Programs()[size_t(p)].Items[size_t(Item - 1)];
}

void ShowMainStatus(const QWidget* From, const QString& Text) {
  for (const QWidget* w = From; w;) {
    QWidget* top = w->window();
    if (auto* main = qobject_cast<TMainForm*>(top)) {
      main->ShowStatus(Text);
      return;
    }
    w = top->parentWidget();
  }
}

// ---- TFieldFilter ----------------------------------------------------------------------

namespace {

bool Takes(const std::string& Chars, QChar C) {
  const char16_t u = C.unicode();
  return u > 0 && u < 128 && !std::strchr(kItemBreakers, char(u)) &&
         Chars.find(char(u)) != std::string::npos;
}

}  // namespace

TFieldFilter::TFieldFilter(QLineEdit* Edit, std::string Chars, int MaxLength,
                           std::function<int()> TypedMax)
    : QValidator(Edit),
      fEdit(Edit),
      fChars(std::move(Chars)),
      fMax(std::max(0, MaxLength)),
      fTypedMax(std::move(TypedMax)) {
  Edit->installEventFilter(this);
}

QValidator::State TFieldFilter::validate(QString& Input, int& Pos) const {
  QString kept;
  kept.reserve(Input.size());
  int pos = Pos;
  bool dropped = false;
  for (int i = 0; i < Input.size(); ++i) {
    const QChar c = fUpper ? Input[i].toUpper() : Input[i];
    if (Takes(fChars, c)) {
      kept += c;
    } else {
      dropped = true;
      if (i < Pos) --pos;
    }
  }
  if (kept.size() > fMax) {
    // What was just put in ends at the cursor: its end goes, the text around it stays.
    const int excess = int(kept.size()) - fMax;
    const int from = std::clamp(pos - excess, 0, fMax);
    kept.remove(from, excess);
    pos = from;
    dropped = true;
  }
  if (dropped || kept != Input) {
    Input = kept;
    Pos = std::clamp(pos, 0, int(kept.size()));
  }
  if (dropped) {
    ShowMainStatus(fEdit, QString("Not all of the pasted text was taken: this field holds at "
                                  "most %1 of the characters %2.")
                              .arg(fMax)
                              .arg(QString::fromStdString(fChars)));
  }
  return Acceptable;
}

bool TFieldFilter::eventFilter(QObject* Object, QEvent* Event) {
  if (Object == fEdit && Event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(Event);
    const QString text = key->text();
    const bool typed = text.size() == 1 && text[0].isPrint() &&
                       !(key->modifiers() &
                         (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (typed) {
      const int limit = fTypedMax ? std::min(fTypedMax(), fMax) : fMax;
      const QChar c = fUpper ? text[0].toUpper() : text[0];
      if (!Takes(fChars, c) || fEdit->text().size() - fEdit->selectedText().size() >= limit)
        return true;
      if (c != text[0]) {
        fEdit->insert(c);
        return true;
      }
    }
  }
  return QValidator::eventFilter(Object, Event);
}

TFieldFilter* FilterField(QLineEdit* Edit, const std::string& Chars, int MaxLength,
                          std::function<int()> TypedMax) {
  const QValidator* old = Edit->validator();
  auto* filter = new TFieldFilter(Edit, Chars, MaxLength, std::move(TypedMax));
  Edit->setValidator(filter);
  if (old && old->parent() == Edit) delete old;
  return filter;
}

TFieldFilter* FilterField(QLineEdit* Edit, const TItemSpec& Layout,
                          std::function<int()> TypedMax) {
  return FilterField(Edit, Layout.Chars, Layout.Width, std::move(TypedMax));
}

// ---- dial codes ------------------------------------------------------------------------

void ApplyCodeRule(QLineEdit* Edit, const TCodeRule& Rule) {
  FilterField(Edit, Rule.Chars.toStdString(), Rule.MaxLength)->SetUpperCase(Rule.Upper);
}

TCodeCellDelegate::TCodeCellDelegate(const TCodeRule& Rule, QObject* Parent)
    : TItemTextDelegate(Parent), fRule(Rule) {}

QWidget* TCodeCellDelegate::createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                                         const QModelIndex& Index) const {
  QWidget* w = TItemTextDelegate::createEditor(Parent, Option, Index);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) ApplyCodeRule(edit, fRule);
  return w;
}

// ---- cells -----------------------------------------------------------------------------

TFilteredCellDelegate::TFilteredCellDelegate(const TItemSpec& Layout, int MaxLength,
                                             std::function<int()> TypedMax, QObject* Parent)
    : TItemTextDelegate(Parent),
      fChars(Layout.Chars),
      fMax(std::min(MaxLength, Layout.Width)),
      fTypedMax(std::move(TypedMax)) {}

QWidget* TFilteredCellDelegate::createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                                             const QModelIndex& Index) const {
  QWidget* w = TItemTextDelegate::createEditor(Parent, Option, Index);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) FilterField(edit, fChars, fMax, fTypedMax);
  return w;
}

void CommitOpenEditor(QTableWidget* Grid) {
  const QModelIndex at = Grid->currentIndex();
  QWidget* editor = at.isValid() ? Grid->indexWidget(at) : nullptr;
  if (!editor) return;
  QAbstractItemDelegate* delegate = Grid->itemDelegateForIndex(at);
  emit delegate->commitData(editor);
  emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}
