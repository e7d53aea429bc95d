#include "Infotop.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

TTopInfo::TTopInfo(QWidget* Parent, const QString& Text) : QFrame(Parent) {
  setObjectName("TopInfo");
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
  setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(this);
  fText = new QLabel(Text, this);
  fText->setObjectName("TopInfoText");
  fText->setAlignment(Qt::AlignCenter);
  QFont f = fText->font();
  f.setBold(true);
  fText->setFont(f);
  fText->setMinimumWidth(160);
  layout->addWidget(fText, 1);
  fCancel = new QPushButton("Cancel", this);
  fCancel->setObjectName("TopInfoCancel");
  fCancel->setToolTip("Stop the operation in progress (Esc)");
  connect(fCancel, &QPushButton::clicked, this, &TTopInfo::Cancel);
  layout->addWidget(fCancel);
  setFocusPolicy(Qt::StrongFocus);
  setFixedHeight(42);
  adjustSize();
}

void TTopInfo::setText(const QString& Text) {
  fText->setText(Text);
  adjustSize();
}

QString TTopInfo::text() const { return fText->text(); }

void TTopInfo::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Escape) {
    Cancel();
    return;
  }
  QFrame::keyPressEvent(Event);
}

void TTopInfo::Cancel() {
  fCancel->setEnabled(false);  // once: the operation ends at its next wait
  fText->setText("Wait for abort..");
  if (OnCancel) OnCancel();
}
