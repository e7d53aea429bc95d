// The general system programs: the system password, the operator jack, the single-choice
// settings, ten on/off features, the DTMF receivers, call pickup by going off-hook, the second
// feature numbering plan (012S) and the numbering plan of the extension numbers.
#pragma once

#include <string>

#include "ProgDlg.h"

class QComboBox;
class QLabel;
class QListWidget;
class QTableWidget;
class TDgtEdit;

constexpr int kHelpSystemParams = 530;

class TSystemParamDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TSystemParamDlg(QWidget* Parent);

  // Entries of the numbering plan combo: the three plans, then (while the plan is not known)
  // "stay with current plan".
  static constexpr int kStayEntry = 3;

 protected:
  void LoadControls() override;
  void StoreControls() override;
  bool UploadAll() override;
  bool UploadChanged() override;

 private:
  void TryAccept();
  void LoadPlan();
  void StorePlan();
  // After an upload: a plan chosen here that the PBX did not take is said to be unchanged.
  bool TellPlanKept(bool Uploaded);

  std::string fPassword;   // as loaded, at most its first four characters
  int fLoadedPlan = -1;    // the plan entry selected as the dialog opened
  bool fLoadingPlan = false;
  bool fPlanChosen = false;  // OK wrote a plan the user chose into the plan block
  TDgtEdit* fPasswordEdit;
  QComboBox *fPlan, *fPulse;
  QLabel *fPlanLbl, *fPulseLbl;
  QListWidget *fFeatures, *fDTMF, *fPickup;
  QTableWidget* fFeatureNumbers;
};

void EditSystemParams(QWidget* Parent, bool Force);
