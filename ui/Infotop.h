// The borderless information panel that tells which operation is in progress.
#pragma once

#include <QLabel>

class TTopInfo : public QLabel {
  Q_OBJECT
 public:
  TTopInfo(QWidget* Parent, const QString& Text);
};
