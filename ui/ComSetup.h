// The "COM port setup" dialog: which port and how the serial line is set.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "Settings.h"

class QButtonGroup;
class QGroupBox;

class TComSetupDlg : public QDialog {
  Q_OBJECT
 public:
  // DeviceOf names the device a COM number maps to, shown beside each entry (may be empty).
  using TDeviceOf = std::function<std::string(int ComNo)>;
  TComSetupDlg(QWidget* Parent, const TComSettings& C, TDeviceOf DeviceOf = {});
  void Store(TComSettings& C) const;

 private:
  QButtonGroup* AddGroup(const char* Name, const char* Title, const QStringList& Items,
                         int Selected, QGroupBox*& Box);
  QButtonGroup* fPort;
  QButtonGroup* fSpeed;
  QButtonGroup* fParity;
  QButtonGroup* fStopBits;
  QButtonGroup* fWordLen;
};

// Runs the dialog on C; when OK changed anything, the communication settings are written at
// once. Returns whether OK was pressed.
bool ComSetupDialog(QWidget* Parent, TComSettings& C, TComSetupDlg::TDeviceOf DeviceOf = {});
