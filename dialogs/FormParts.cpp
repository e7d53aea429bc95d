#include "FormParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QTableWidget>

QComboBox* Combo(const char* Name, const QStringList& Entries, QWidget* Parent) {
  auto* cb = new QComboBox(Parent);
  cb->setObjectName(Name);
  cb->addItems(Entries);
  cb->setCurrentIndex(-1);
  return cb;
}

QComboBox* Combo(QFormLayout* Form, const char* Name, const char* Label,
                 const QStringList& Entries, QLabel** LabelOut) {
  QWidget* page = Form->parentWidget();
  QComboBox* cb = Combo(Name, Entries, page);
  auto* label = new QLabel(Label, page);
  label->setBuddy(cb);
  Form->addRow(label, cb);
  if (LabelOut) *LabelOut = label;
  return cb;
}

QCheckBox* Check(const char* Name, const char* Caption, QWidget* Parent) {
  auto* c = new QCheckBox(Caption, Parent);
  c->setObjectName(Name);
  return c;
}

QLabel* Label(const QString& Caption, QWidget* Buddy, QWidget* Parent) {
  auto* l = new QLabel(Caption, Parent);
  l->setBuddy(Buddy);
  return l;
}

void TTimeField::keyPressEvent(QKeyEvent* Event) {
  const QString typed = Event->text();
  const QString chosen = lineEdit()->selectedText();
  const bool printable = !typed.isEmpty() && typed.at(0).isPrint() &&
                         !(Event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
  // More than the current section is selected: the whole text, or parts of two sections.
  if (printable && sectionCount() > 0 && !chosen.isEmpty() &&
      chosen != sectionText(currentSection())) {
    setCurrentSectionIndex(0);
    setSelectedSection(sectionAt(0));
  }
  QTimeEdit::keyPressEvent(Event);
}

void FitRows(QListWidget* List) {
  List->setFixedHeight(List->count() * List->sizeHintForRow(0) + 2 * List->frameWidth());
}

void ShowRows(QTableWidget* Table, int Rows) {
  const QHeaderView* top = Table->horizontalHeader();
  const QHeaderView* side = Table->verticalHeader();
  const int frame = 2 * Table->frameWidth();
  const int header = top->isHidden() ? 0 : top->sizeHint().height();
  Table->setMinimumHeight(frame + header + Rows * side->defaultSectionSize());
  int width = frame + (side->isHidden() ? 0 : side->sizeHint().width());
  for (int c = 0; c < Table->columnCount(); ++c) width += Table->columnWidth(c);
  // Room for the scroll bar of a table with more rows than it shows.
  if (Table->rowCount() > Rows) width += Table->verticalScrollBar()->sizeHint().width();
  Table->setMinimumWidth(width);
}
