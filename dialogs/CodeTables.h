// The tables of dial codes: four dialogs of one list each (account codes, automatic pause
// insertion codes, carrier excepted codes, emergency numbers), declared by a row of a table,
// and the toll restriction dialog with its denied and exception codes per class.
#pragma once

#include <vector>

#include "FieldFilter.h"
#include "ProgDlg.h"
#include "SysData.h"

class QCheckBox;
class QComboBox;
class QTableWidget;

constexpr int kHelpTollRestriction = 420;

// One single-list code dialog.
struct TCodeListDlgSpec {
  const char* Name;     // the dialog's class name, e.g. "TAccountDlg"
  const char* Caption;
  int Help;
  TGroupId Group;
  TListId List;
  int Rows;
  bool TwoDigitLabels;  // " 01" rather than " 1"
  TCodeRule Rule;
  const char* Heading;  // the heading of the codes' column
};
const TCodeListDlgSpec& CodeListSpec(TGroupId Group);

class TCodeListDlg : public TProgDlg {
  Q_OBJECT
 public:
  TCodeListDlg(QWidget* Parent, const TCodeListDlgSpec& Spec);
  QTableWidget* Grid() const { return fGrid; }

 protected:
  void LoadControls() override;
  void StoreControls() override;

 private:
  const TCodeListDlgSpec& fSpec;
  QTableWidget* fGrid;
};

// Toll restriction codes are stored 11 characters long, padded with "x".
QString TollCodeShown(const std::string& Item);
std::string TollCodeStored(const QString& Cell);

class TTRSDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TTRSDlg(QWidget* Parent);

 protected:
  void LoadControls() override;
  void StoreControls() override;

 private:
  // Column c (1 to 4) of the grids: the list and its first block.
  struct TColumn {
    QTableWidget* Grid;
    TCmdList* List;
    int First;
  };
  std::vector<TColumn> Columns() const;

  QTableWidget *fDenied, *fExcept;
};

// The parameter list's entries.
void EditAccountCodes(QWidget* Parent, bool Force);
void EditAutoPauseCodes(QWidget* Parent, bool Force);
void EditCarrierExceptedCodes(QWidget* Parent, bool Force);
void EditEmergencyCodes(QWidget* Parent, bool Force);
void EditTollRestriction(QWidget* Parent, bool Force);
