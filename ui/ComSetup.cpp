#include "ComSetup.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "CommDevice.h"
#include "Errors.h"
#include "Feedback.h"
#include "HelpContext.h"
#include "Paths.h"

TComDevices MachineComDevices() {
  TComDevices d;
  d.DeviceOf = [](int ComNo) {
    return ResolveDevicePath(Format("COM%d", ComNo), AppPaths().SettingsFile());
  };
  d.Present = ListSerialPorts();
  return d;
}

TComSetupDlg::TComSetupDlg(QWidget* Parent, const TComSettings& C, TComDevices Devices)
    : QDialog(Parent), fFirstComNo(C.FirstCOMno) {
  setObjectName("ComSetupDlg");
  setWindowTitle("COM port setup");
  auto* grid = new QGridLayout(this);
  QStringList ports;
  for (int i = 0; i < 4; ++i) ports << QString("COM%1").arg(C.FirstCOMno + i);
  QGroupBox* box;
  fPort = AddGroup("ComPortRG", "COM port", ports, C.ComPort, box);
  if (Devices.DeviceOf) AddDeviceColumn(box, Devices);
  grid->addWidget(box, 0, 0, 2, 1);
  fSpeed = AddGroup("SpeedRG", "Speed", {"1200", "2400", "4800", "9600"}, C.Speed, box);
  grid->addWidget(box, 0, 1, 2, 1);
  fParity = AddGroup("ParityRG", "Parity", {"None", "Odd", "Even", "Mark", "Space"}, C.Parity,
                     box);
  grid->addWidget(box, 0, 2, 2, 1);
  fStopBits = AddGroup("StopBitsRG", "Stop bits", {"1 bit", "2 bits"}, C.StopBits, box);
  grid->addWidget(box, 0, 3);
  fWordLen = AddGroup("WordLenRG", "WordLen", {"7 bits", "8 bits"}, C.WordLen, box);
  grid->addWidget(box, 1, 3);
  AddNetworkGroup(grid, C);
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &TComSetupDlg::TryAccept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  SetHelpContext(this, kHelpComSetup);
  connect(buttons, &QDialogButtonBox::helpRequested, this, [] { ShowHelp(kHelpComSetup); });
  grid->addWidget(buttons, 3, 0, 1, 4);
}

// A serial server (ser2net, a serial-to-Ethernet converter) instead of the COM port; checked,
// the session goes to it and the COM port stays as set for when it is unchecked again.
void TComSetupDlg::AddNetworkGroup(QGridLayout* Grid, const TComSettings& C) {
  fNetwork = new QGroupBox("&Network: a serial server instead of the COM port", this);
  fNetwork->setObjectName("NetworkGB");
  fNetwork->setCheckable(true);
  fNetwork->setChecked(C.UseNetwork);
  auto* layout = new QGridLayout(fNetwork);
  fHost = new QLineEdit(QString::fromStdString(C.NetHost), fNetwork);
  fHost->setObjectName("NetHostEd");
  fHost->setMaxLength(253);
  fHost->setPlaceholderText("192.168.1.20 or pbx-gw.example.org");
  auto* hostLbl = new QLabel("&Host:", fNetwork);
  hostLbl->setBuddy(fHost);
  fNetPort = new QSpinBox(fNetwork);
  fNetPort->setObjectName("NetPortSE");
  fNetPort->setRange(1, 65535);
  fNetPort->setValue(C.NetPort ? C.NetPort : 3001);
  auto* portLbl = new QLabel("P&ort:", fNetwork);
  portLbl->setBuddy(fNetPort);
  fNetMode = new QComboBox(fNetwork);
  fNetMode->setObjectName("NetModeCB");
  fNetMode->addItem("RFC 2217 (the line set from here)");
  fNetMode->addItem("Raw TCP (the line set in the server)");
  fNetMode->setCurrentIndex(C.NetRfc2217 ? 0 : 1);
  auto* modeLbl = new QLabel("&Protocol:", fNetwork);
  modeLbl->setBuddy(fNetMode);
  auto* note = new QLabel(
      "The network carries the PBX's password unencrypted: reach the server through a VPN or "
      "an SSH tunnel.",
      fNetwork);
  note->setWordWrap(true);
  layout->addWidget(hostLbl, 0, 0);
  layout->addWidget(fHost, 0, 1);
  layout->addWidget(portLbl, 0, 2);
  layout->addWidget(fNetPort, 0, 3);
  layout->addWidget(modeLbl, 1, 0);
  layout->addWidget(fNetMode, 1, 1, 1, 3);
  layout->addWidget(note, 2, 0, 1, 4);
  layout->setColumnStretch(1, 1);
  Grid->addWidget(fNetwork, 2, 0, 1, 4);
}

void TComSetupDlg::TryAccept() {
  const QString host = fHost->text().trimmed();
  bool bad = false;
  for (QChar c : host) bad |= c.isSpace() || c == '/' || c == '@' || c.unicode() > 0x7E;
  if (fNetwork->isChecked() && (host.isEmpty() || bad)) {
    QMessageBox::warning(this, windowTitle(),
                         host.isEmpty() ? "Enter the serial server's host name or address."
                                        : "The host name holds a character no host name has.");
    fHost->setFocus();
    return;
  }
  accept();
}

QButtonGroup* TComSetupDlg::AddGroup(const char* Name, const char* Title,
                                     const QStringList& Items, int Selected, QGroupBox*& Box) {
  Box = new QGroupBox(Title, this);
  Box->setObjectName(Name);
  auto* layout = new QGridLayout(Box);
  auto* group = new QButtonGroup(Box);
  for (int i = 0; i < Items.size(); ++i) {
    auto* rb = new QRadioButton(Items[i], Box);
    rb->setObjectName(QString("%1_%2").arg(Name).arg(i));
    group->addButton(rb, i);
    layout->addWidget(rb, i, 0);
  }
  if (QAbstractButton* b = group->button(Selected)) b->setChecked(true);
  return group;
}

// Beside each entry the device it maps to; below them a chooser that edits the device of the
// selected entry, listing the devices present.
void TComSetupDlg::AddDeviceColumn(QGroupBox* Box, const TComDevices& Devices) {
  auto* layout = static_cast<QGridLayout*>(Box->layout());
  for (int i = 0; i < 4; ++i) {
    const QString dev = QString::fromStdString(Devices.DeviceOf(fFirstComNo + i));
    fDevicesAtOpening << dev;
    fDeviceLabels[i] = new QLabel(dev, Box);
    fDeviceLabels[i]->setObjectName(QString("ComDeviceLbl_%1").arg(i));
    fDeviceLabels[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(fDeviceLabels[i], i, 1);
  }
  fDevices = fDevicesAtOpening;
  fDevice = new QComboBox(Box);
  fDevice->setObjectName("ComDeviceCB");
  fDevice->setEditable(true);
  fDevice->setInsertPolicy(QComboBox::NoInsert);
  fDevice->setMinimumContentsLength(24);
  fDevice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  for (const TSerialPortEntry& p : Devices.Present) {
    fDevice->addItem(QString::fromStdString(p.Path));
    if (!p.Target.empty())
      fDevice->setItemData(fDevice->count() - 1, QString::fromStdString(p.Target),
                           Qt::ToolTipRole);
  }
  fDevice->setEnabled(Devices.Editable);
  auto* caption = new QLabel("&Device:", Box);
  caption->setBuddy(fDevice);
  layout->addWidget(caption, 4, 0);
  layout->addWidget(fDevice, 4, 1);
  if (Devices.Present.empty()) {
    fDevice->lineEdit()->setPlaceholderText("no serial device found");
    // Said in words too: a technician with no adapter plugged in must not hunt for a setting.
    auto* none = new QLabel(
        "No serial device was found on this computer. Plug in the serial or USB serial adapter "
        "and open this dialog again; Help, Troubleshooting tells more.",
        Box);
    none->setObjectName("NoDeviceLbl");
    none->setWordWrap(true);
    layout->addWidget(none, 5, 0, 1, 2);
  }
  connect(fPort, &QButtonGroup::idToggled, this, [this](int Id, bool On) {
    if (On) ShowDeviceOf(Id);
  });
  connect(fDevice, &QComboBox::currentTextChanged, this, &TComSetupDlg::DeviceEdited);
  ShowDeviceOf(fPort->checkedId() >= 0 ? fPort->checkedId() : 0);
}

void TComSetupDlg::ShowDeviceOf(int Entry) {
  if (!fDevice || Entry < 0 || Entry >= 4) return;
  fShownEntry = -1;  // the text set here is no edit
  fDevice->setEditText(fDevices[Entry]);
  fShownEntry = Entry;
}

void TComSetupDlg::DeviceEdited(const QString& Text) {
  if (fShownEntry < 0) return;
  fDevices[fShownEntry] = Text.trimmed();
  // A blank device falls back to the default one.
  fDeviceLabels[fShownEntry]->setText(
      fDevices[fShownEntry].isEmpty()
          ? QString::fromStdString(DefaultComDevice(fFirstComNo + fShownEntry))
          : fDevices[fShownEntry]);
}

std::vector<std::pair<int, std::string>> TComSetupDlg::DeviceChanges() const {
  std::vector<std::pair<int, std::string>> changes;
  if (!fDevice || !fDevice->isEnabled()) return changes;
  for (int i = 0; i < fDevices.size(); ++i)
    if (fDevices[i] != fDevicesAtOpening[i])
      changes.emplace_back(fFirstComNo + i, fDevices[i].toStdString());
  return changes;
}

void TComSetupDlg::Store(TComSettings& C) const {
  // An empty selection keeps the value the record had.
  auto take = [](const QButtonGroup* g, int& Field) {
    if (g->checkedId() >= 0) Field = g->checkedId();
  };
  take(fPort, C.ComPort);
  take(fSpeed, C.Speed);
  take(fParity, C.Parity);
  take(fStopBits, C.StopBits);
  take(fWordLen, C.WordLen);
  C.UseNetwork = fNetwork->isChecked();
  C.NetHost = fHost->text().trimmed().toStdString();
  C.NetPort = fNetPort->value();
  C.NetRfc2217 = fNetMode->currentIndex() == 0;
  // An address typed in brackets is kept without them.
  if (C.NetHost.size() > 2 && C.NetHost.front() == '[' && C.NetHost.back() == ']')
    C.NetHost = C.NetHost.substr(1, C.NetHost.size() - 2);
}

bool ComSetupDialog(QWidget* Parent, TComSettings& C, TComDevices Devices) {
  TComSetupDlg dlg(Parent, C, std::move(Devices));
  if (dlg.exec() != QDialog::Accepted) return false;
  const TComSettings before = C;
  dlg.Store(C);
  if (!(C == before)) SaveComSettings(C);
  for (const auto& [comNo, device] : dlg.DeviceChanges())
    if (!SetComDeviceMapping(AppPaths().SettingsFile(), comNo, device))
      ShowError("The device of COM" + std::to_string(comNo) + " could not be stored in\r" +
                AppPaths().SettingsFile());
  return true;
}
