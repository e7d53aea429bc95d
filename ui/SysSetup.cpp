#include "SysSetup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "HelpContext.h"

TSystemSetup::TSystemSetup(QWidget* Parent, const TSettings& S) : QDialog(Parent) {
  setObjectName("SystemSetup");
  setWindowTitle("System Setup");
  auto* form = new QFormLayout(this);
  fPassword = new QLineEdit(QString::fromStdString(S.PbxPassword), this);
  fPassword->setObjectName("PasswordEdit");
  form->addRow("Main KX-TA PBX password:", fPassword);
  fModel = new QComboBox(this);
  fModel->setObjectName("ModelCB");
  fModel->addItems({"KX-TA308", "KX-TA616", "KX-TA624"});
  fModel->setCurrentIndex(S.PBXtype <= 2 ? S.PBXtype : 2);
  form->addRow("KX-TA model:", fModel);
  fConnectWarn = new QCheckBox("Warn before connecting (the PBX stops all current talks)", this);
  fConnectWarn->setObjectName("ConnectWarnCB");
  fConnectWarn->setChecked(S.ShowConnectWarn);
  form->addRow(fConnectWarn);
  auto* buttons =
      new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help,
                           this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  SetHelpContext(this, kHelpSystemSetup);
  connect(buttons, &QDialogButtonBox::helpRequested, this, [] { ShowHelp(kHelpSystemSetup); });
  form->addRow(buttons);
}

bool TSystemSetup::Store(TSettings& S) const {
  S.PbxPassword = fPassword->text().toStdString().substr(0, kMaxPasswordLen);
  const auto model = static_cast<uint8_t>(fModel->currentIndex());
  const bool changed = model != S.PBXtype;
  S.PBXtype = model;
  S.ShowConnectWarn = fConnectWarn->isChecked();
  return changed;
}

bool SystemSetupDialog(QWidget* Parent, TSettings& S, bool& ModelChanged) {
  ModelChanged = false;
  TSystemSetup dlg(Parent, S);
  if (dlg.exec() != QDialog::Accepted) return false;
  ModelChanged = dlg.Store(S);
  return true;
}
