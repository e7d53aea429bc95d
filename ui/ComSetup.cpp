#include "ComSetup.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
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
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  SetHelpContext(this, kHelpComSetup);
  connect(buttons, &QDialogButtonBox::helpRequested, this, [] { ShowHelp(kHelpComSetup); });
  grid->addWidget(buttons, 2, 0, 1, 4);
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
