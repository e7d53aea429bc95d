#include "ModemDlg.h"

#include <QApplication>
#include <algorithm>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "ConnectText.h"
#include "DgtEdit.h"
#include "Errors.h"
#include "Feedback.h"
#include "HelpContext.h"
#include "Profile.h"
#include "Text.h"

namespace {
const char* const kSection = "Remote Administration";
}  // namespace

std::string ModemConnectMessage(int Result, int DialResult) {
  if (Result == 4) return DialResultMessage(DialResult);
  return ConnectResultMessage(Result);
}

TModemConnectDlg::TModemConnectDlg(QWidget* Parent, std::string SettingsFile,
                                   TModemConnectFn ConnectFn, std::function<void()> OnConnected)
    : QDialog(Parent),
      fSettingsFile(std::move(SettingsFile)),
      fConnect(std::move(ConnectFn)),
      fOnConnected(std::move(OnConnected)) {
  setObjectName("ModemConnectDlg");
  setWindowTitle("Modem");
  auto* form = new QFormLayout(this);
  fInit = new QLineEdit(this);
  fInit->setObjectName("InitEdit");
  form->addRow("Modem initialization string:", fInit);
  fPassword = new QLineEdit(this);
  fPassword->setObjectName("PasswordEdit");
  form->addRow("Access pasword for remote PBX:", fPassword);
  fWaitCD = new TDgtEdit(this);
  fWaitCD->setObjectName("WaitCDedit");
  fWaitCD->setMaxLength(3);
  fWaitCD->setToolTip(QString("Seconds to wait for the remote modem's carrier, %1 to %2")
                          .arg(kMinWaitCD)
                          .arg(kMaxWaitCD));
  form->addRow("Wait CD timeout:", fWaitCD);
  fNumbers = new QComboBox(this);
  fNumbers->setObjectName("DialNumCB");
  fNumbers->setEditable(true);
  fNumbers->setInsertPolicy(QComboBox::NoInsert);
  form->addRow("Number to dial:", fNumbers);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::Help, this);
  QPushButton* dial = buttons->addButton("Dial", QDialogButtonBox::ActionRole);
  dial->setObjectName("DialBtn");
  dial->setDefault(true);
  connect(dial, &QPushButton::clicked, this, &TModemConnectDlg::Dial);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  SetHelpContext(this, kHelpModem);
  connect(buttons, &QDialogButtonBox::helpRequested, this, [] { ShowHelp(kHelpModem); });
  form->addRow(buttons);
  LoadSettings();
}

TModemConnectDlg::~TModemConnectDlg() { SaveSettings(); }

void TModemConnectDlg::LoadSettings() {
  const TIniFile ini(fSettingsFile);
  fInit->setText(QString::fromStdString(ini.ReadString(kSection, "InitModem", "")));
  fPassword->setText(QString::fromStdString(ini.ReadString(kSection, "PbxPassword", "7392")));
  fWaitCD->SetIValue(std::clamp(ini.ReadInteger(kSection, "WaitCDtimeout", 60), kMinWaitCD, kMaxWaitCD));
  fNumbers->clear();
  for (int i = 1; i <= 4; ++i) {
    const std::string n = ini.ReadString(kSection, Format("Dial%d", i), "");
    if (!n.empty()) fNumbers->addItem(QString::fromStdString(n));
  }
  if (fNumbers->count() > 0) fNumbers->setCurrentIndex(0);
}

void TModemConnectDlg::SaveSettings() {
  if (fSaved) return;
  fSaved = true;
  TIniFile ini(fSettingsFile);
  ini.WriteString(kSection, "InitModem", fInit->text().toStdString());
  ini.WriteString(kSection, "PbxPassword", fPassword->text().toStdString());
  ini.WriteInteger(kSection, "WaitCDtimeout", fWaitCD->IValue());
  for (int i = 0; i < 4 && i < fNumbers->count(); ++i)
    ini.WriteString(kSection, Format("Dial%d", i + 1), fNumbers->itemText(i).toStdString());
}

void TModemConnectDlg::done(int Result) {
  SaveSettings();  // whatever the outcome
  QDialog::done(Result);
}

QStringList TModemConnectDlg::Numbers() const {
  QStringList l;
  for (int i = 0; i < fNumbers->count(); ++i) l << fNumbers->itemText(i);
  return l;
}

void TModemConnectDlg::Dial() {
  if (fIsOnline && fIsOnline()) {
    ShowError("Already connected to a PBX.\rDisconnect first (Actions, Disconnect), then dial.");
    return;
  }
  // The field holds what it shows: a wait outside the range becomes its nearest end.
  fWaitCD->SetIValue(std::clamp(fWaitCD->IValue(), kMinWaitCD, kMaxWaitCD));
  const std::string number = fNumbers->currentText().toStdString();
  if (!ModemConnect(fInit->text().toStdString(), number, fWaitCD->IValue(),
                    fPassword->text().toStdString()))
    return;
  const QString n = QString::fromStdString(TrimBlanks(number));
  if (!n.isEmpty() && fNumbers->findText(n) < 0) {
    fNumbers->insertItem(0, n);
    fNumbers->setCurrentIndex(0);
  }
}

bool TModemConnectDlg::ModemConnect(const std::string& InitString,
                                    const std::string& DialNumber, int WaitCDtimeout,
                                    const std::string& Password) {
  if (fBusy) {
    QApplication::beep();
    return false;
  }
  ShowTopInfo("Connecting..");
  fBusy = true;
  int dialResult = 0;
  const int r = fConnect ? fConnect(InitString, DialNumber, WaitCDtimeout, Password, dialResult)
                         : 1;
  if (r == 0) {
    if (fOnConnected) fOnConnected();
  } else {
    ShowError(ModemConnectMessage(r, dialResult));
  }
  HideTopInfo();
  fBusy = false;
  return r == 0;
}
