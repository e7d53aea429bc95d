#include "FormParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>

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
