// The "System Setup" dialog: the PBX system password, the PBX model, and whether Connect warns
// first (the warning's own check box can switch it off; this one brings it back).
#pragma once

#include <QDialog>

#include "Settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class TSystemSetup : public QDialog {
  Q_OBJECT
 public:
  TSystemSetup(QWidget* Parent, const TSettings& S);
  // Takes the edits into S; true when the model changed.
  bool Store(TSettings& S) const;

 private:
  QLineEdit* fPassword;
  QComboBox* fModel;
  QCheckBox* fConnectWarn;
};

// Runs the dialog on S. Returns whether OK was pressed; ModelChanged tells whether PBXtype
// changed (the views then show the new model's jacks and CO lines).
bool SystemSetupDialog(QWidget* Parent, TSettings& S, bool& ModelChanged);
