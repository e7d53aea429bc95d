// The warning dialog with its "Show this warning next time again" check box.
#pragma once

#include <QDialog>

class QCheckBox;

class TShowMsgAgain : public QDialog {
  Q_OBJECT
 public:
  TShowMsgAgain(QWidget* Parent, const QString& Text, bool ShowAgain, bool YesNo);
  bool ShowAgain() const;

 private:
  QCheckBox* fCheck;
};
