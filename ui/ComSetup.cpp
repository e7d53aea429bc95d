#include "ComSetup.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "HelpContext.h"

TComSetupDlg::TComSetupDlg(QWidget* Parent, const TComSettings& C, TDeviceOf DeviceOf)
    : QDialog(Parent) {
  setObjectName("ComSetupDlg");
  setWindowTitle("COM port setup");
  auto* grid = new QGridLayout(this);
  QStringList ports;
  for (int i = 0; i < 4; ++i) {
    QString label = QString("COM%1").arg(C.FirstCOMno + i);
    if (DeviceOf) {
      const std::string dev = DeviceOf(C.FirstCOMno + i);
      if (!dev.empty()) label += QString("  (%1)").arg(QString::fromStdString(dev));
    }
    ports << label;
  }
  QGroupBox* box;
  fPort = AddGroup("ComPortRG", "COM port", ports, C.ComPort, box);
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
  connect(buttons, &QDialogButtonBox::helpRequested, this, [] { ShowHelp(kHelpComSetup); });
  grid->addWidget(buttons, 2, 0, 1, 4);
}

QButtonGroup* TComSetupDlg::AddGroup(const char* Name, const char* Title,
                                     const QStringList& Items, int Selected, QGroupBox*& Box) {
  Box = new QGroupBox(Title, this);
  Box->setObjectName(Name);
  auto* layout = new QVBoxLayout(Box);
  auto* group = new QButtonGroup(Box);
  for (int i = 0; i < Items.size(); ++i) {
    auto* rb = new QRadioButton(Items[i], Box);
    rb->setObjectName(QString("%1_%2").arg(Name).arg(i));
    group->addButton(rb, i);
    layout->addWidget(rb);
  }
  if (QAbstractButton* b = group->button(Selected)) b->setChecked(true);
  return group;
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

bool ComSetupDialog(QWidget* Parent, TComSettings& C, TComSetupDlg::TDeviceOf DeviceOf) {
  TComSetupDlg dlg(Parent, C, std::move(DeviceOf));
  if (dlg.exec() != QDialog::Accepted) return false;
  const TComSettings before = C;
  dlg.Store(C);
  if (!(C == before)) SaveComSettings(C);
  return true;
}
