#include "Infotop.h"

TTopInfo::TTopInfo(QWidget* Parent, const QString& Text) : QLabel(Parent) {
  setObjectName("TopInfo");
  setFixedSize(203, 42);
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
  setAutoFillBackground(true);
  setAlignment(Qt::AlignCenter);
  QFont f = font();
  f.setBold(true);
  setFont(f);
  setText(Text);
}
