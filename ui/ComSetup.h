// The "COM port setup" dialog: which port, which device is behind each COM entry, and how the
// serial line is set.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "SerialPorts.h"
#include "Settings.h"

class QButtonGroup;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// What the dialog shows of the device behind each COM entry and offers to map an entry to.
struct TComDevices {
  // The device COMn uses now, shown beside the entry; without it the entries stand alone.
  std::function<std::string(int ComNo)> DeviceOf;
  // The serial devices present, offered in the device chooser.
  std::vector<TSerialPortEntry> Present;
  // False when the mapping is shown but cannot be changed here (the demo program).
  bool Editable = true;
};

// The devices of the machine and the mapping of the program's settings file.
TComDevices MachineComDevices();

class TComSetupDlg : public QDialog {
  Q_OBJECT
 public:
  TComSetupDlg(QWidget* Parent, const TComSettings& C, TComDevices Devices = {});
  void Store(TComSettings& C) const;
  // The COM numbers whose device was changed, with the new device ("" for the default).
  std::vector<std::pair<int, std::string>> DeviceChanges() const;

 private:
  QButtonGroup* AddGroup(const char* Name, const char* Title, const QStringList& Items,
                         int Selected, QGroupBox*& Box);
  void AddDeviceColumn(QGroupBox* Box, const TComDevices& Devices);
  void ShowDeviceOf(int Entry);
  void DeviceEdited(const QString& Text);
  void AddNetworkGroup(QGridLayout* Grid, const TComSettings& C);
  void TryAccept();

  int fFirstComNo;
  QButtonGroup* fPort;
  QButtonGroup* fSpeed;
  QButtonGroup* fParity;
  QButtonGroup* fStopBits;
  QButtonGroup* fWordLen;
  QComboBox* fDevice = nullptr;
  QLabel* fDeviceLabels[4] = {};
  QStringList fDevicesAtOpening, fDevices;  // by entry
  int fShownEntry = -1;
  QGroupBox* fNetwork = nullptr;
  QLineEdit* fHost = nullptr;
  QSpinBox* fNetPort = nullptr;
  QComboBox* fNetMode = nullptr;
};

// Runs the dialog on C; when OK changed anything, the communication settings and the changed
// device mappings are written at once. Returns whether OK was pressed.
bool ComSetupDialog(QWidget* Parent, TComSettings& C, TComDevices Devices = {});
