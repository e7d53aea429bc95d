// The DSS console parameters dialog: the port, the paired extension, the 32 DSS buttons and the
// 16 PF buttons of one console or of both at once. It edits a working copy of the DSS console
// table and assigns it back on OK, so that Prev / Next and Cancel never touch the store.
#pragma once

#include "DSSdata.h"
#include "IntList.h"
#include "ProgDlg.h"

class QComboBox;
class QLabel;
class QPushButton;
class TButtonPage;

constexpr int kHelpDSSparams = 4100;

class TDSSprmDlg : public TProgDlg {
  Q_OBJECT
 public:
  TDSSprmDlg(QWidget* Parent, const TIntegerList& Consoles);

  const TIntegerList& Selected() const { return fConsoles; }
  const TDSSarray& WorkingCopy() const { return fWork; }

 protected:
  void PreRead(bool Force) override;
  void Prepare() override;
  bool HasData() const override;
  void LoadControls() override;
  void StoreControls() override;
  void Commit() override;
  bool HasChanges() const override;
  bool UploadAll() override;
  bool UploadChanged() override;

 private:
  void DeclareBindings();
  void RefreshFrame();  // caption, extension entries, enabling, Prev / Next
  void Navigate(int Target);

  TIntegerList fConsoles;
  TDSSarray fWork;
  int fPrevTarget = 0, fNextTarget = 0;

  QComboBox *fPort, *fPair;
  QLabel *fPortLbl, *fPairLbl;
  TButtonPage *fDSSbtns, *fPFbtns;
  QPushButton *fPrev, *fNext;
};

// Opens the dialog for the given DSS consoles (1, 2); true when it was closed with OK.
bool EditDSSConsoles(QWidget* Parent, const TIntegerList& Consoles);
