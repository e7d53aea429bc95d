#include "ShowWarn.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TShowMsgAgain::TShowMsgAgain(QWidget* Parent, const QString& Text, bool ShowAgain, bool YesNo)
    : QDialog(Parent) {
  setObjectName("ShowMsgAgain");
  setWindowTitle(QApplication::applicationDisplayName());
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(Text, this);
  label->setObjectName("MsgLabel");
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  layout->addWidget(label);
  fCheck = new QCheckBox(tr("Show this warning next time again"), this);
  fCheck->setObjectName("ShowAgainCB");
  fCheck->setChecked(ShowAgain);
  layout->addWidget(fCheck);
  auto* buttons = new QDialogButtonBox(this);
  if (YesNo) {
    buttons->addButton(QDialogButtonBox::Yes)->setObjectName("YesBtn");
    buttons->addButton(QDialogButtonBox::No)->setObjectName("NoBtn");
  } else {
    buttons->addButton(QDialogButtonBox::Close)->setObjectName("CloseBtn");
  }
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::clicked, this, [this, buttons](QAbstractButton* b) {
    done(buttons->standardButton(b) == QDialogButtonBox::Yes ? QDialog::Accepted
                                                             : QDialog::Rejected);
  });
  layout->addWidget(buttons);
}

bool TShowMsgAgain::ShowAgain() const { return fCheck->isChecked(); }
