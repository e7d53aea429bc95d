// The CO line parameters dialog: the twenty per-line programs of one CO line or of several at
// once. It edits a working copy of the whole CO line table and assigns it back on OK, so that
// Prev / Next and Cancel never touch the store.
#pragma once

#include <QStyledItemDelegate>
#include <array>

#include "COdata.h"
#include "IntList.h"
#include "ProgDlg.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class TDgtEdit;

constexpr int kHelpCOparams = 4000;

// The CPC signal duration of program 420C: code n stands for 8 n + 14 ms.
int CPCcodeOfMs(int Ms);  // clamped to 22..614 ms first
int CPCmsOfCode(int Code);

// Cell editors of the host PBX access code grid take at most two digits, typed or pasted, and
// the keys of any digit field (DigitFieldDropsKey).
class TPbxCodeDelegate : public TItemTextDelegate {
  Q_OBJECT
 public:
  using TItemTextDelegate::TItemTextDelegate;
  QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                        const QModelIndex& Index) const override;

 protected:
  bool eventFilter(QObject* Editor, QEvent* Event) override;
};

class TCOprmDlg : public TProgDlg {
  Q_OBJECT
 public:
  TCOprmDlg(QWidget* Parent, const TIntegerList& Lines);

  const TIntegerList& Selected() const { return fLines; }
  const TCOarray& WorkingCopy() const { return fWork; }

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
  void BuildMain(QWidget* Page);
  void BuildExtra(QWidget* Page);
  void DeclareBindings();
  void AddLineMode(const char* Code, int Index, QComboBox* Mode, QComboBox* Jack);
  void LoadCodes(const TCmdData& Block);
  void StoreCodes(TCmdData& Block);
  void LoadCPC(const TCmdData& Block);
  void StoreCPC(TCmdData& Block);
  void UpdateEnabling();
  void RefreshFrame();  // caption, grid labels, Prev / Next
  void Navigate(int Target);

  TIntegerList fLines;
  TCOarray fWork;
  int fPrevTarget = 0, fNextTarget = 0;
  std::array<bool, 3> fJackUndefined{};  // day, night, lunch: the lines' DIL jacks differ

  QTabWidget* fPages;
  QCheckBox *fConnected, *fLineAccess, *fCPCin, *fCPCout, *fReverse, *fCID, *fPayTone, *fPayFlash;
  TRadioGroup* fDialMode;
  QComboBox *fPulseSpeed, *fTRG, *fPauseTime, *fFlashTime, *fDisconTime, *fRingPattern, *fCIDtype;
  QComboBox *fModeDay, *fModeNight, *fModeLunch, *fDILday, *fDILnight, *fDILlunch;
  QTableWidget* fCodes;
  TDgtEdit* fCPCms;
  QLabel* fCPCinLbl;
  QPushButton *fPrev, *fNext;
};

// Opens the dialog for the given CO lines (1 to 6); true when it was closed with OK.
bool EditCOLines(QWidget* Parent, const TIntegerList& Lines);
