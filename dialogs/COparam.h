// The CO line parameters dialog: the twenty per-line programs of one CO line or of several at
// once. It edits a working copy of the whole CO line table and assigns it back on OK, so that
// Prev / Next and Cancel never touch the store.
#pragma once

#include <QStyledItemDelegate>
#include <array>

#include "COdata.h"
#include "TableDlg.h"

class QCheckBox;
class QComboBox;
class QLabel;
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

// The CO line table to the dialog base.
struct TCOlineTraits {
  using TTable = TCOarray;
  using TRecord = TCOdata;
  static constexpr const char* kNoun = "CO";
  static TCOarray& Of(TSysData& Store);
  static TCOdata& Record(TCOarray& T, int N) { return T.Lines(N); }
  static const TCOdata& Record(const TCOarray& T, int N) { return T.Lines(N); }
  static bool HaveData(const TCOarray& T, const TIntegerList& L) { return T.LinesHaveData(L); }
  static bool Read(TCOarray& T, const TIntegerList& L) { return T.ReadLines(L, true); }
  static bool Upload(TCOarray& T, const TIntegerList& L) { return T.UploadLines(L, true); }
  static TCmdData& BlockOf(TCOdata& R, const std::string& Code) { return R.BlockOf(Code); }
  static void KeepUnchanged(TCOdata& R, const TCOdata& Before);
};

class TCOprmDlg : public TTableDlg<TCOlineTraits> {
  Q_OBJECT
 public:
  TCOprmDlg(QWidget* Parent, const TIntegerList& Lines);

 protected:
  void RefreshPage() override;
  void MarkFurther(TCOdata& Shown, const TCOdata& Other) override;
  void LoadMore(const TCOdata& Shown) override;

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

  std::array<bool, 3> fJackUndefined{};  // day, night, lunch: the lines' DIL jacks differ

  QTabWidget* fPages;
  QCheckBox *fConnected, *fLineAccess, *fCPCin, *fCPCout, *fReverse, *fCID, *fPayTone, *fPayFlash;
  TRadioGroup* fDialMode;
  QComboBox *fPulseSpeed, *fTRG, *fPauseTime, *fFlashTime, *fDisconTime, *fRingPattern, *fCIDtype;
  QComboBox *fModeDay, *fModeNight, *fModeLunch, *fDILday, *fDILnight, *fDILlunch;
  QTableWidget* fCodes;
  TDgtEdit* fCPCms;
  QLabel* fCPCinLbl;
};

// Opens the dialog for the given CO lines (1 to 6); true when it was closed with OK.
bool EditCOLines(QWidget* Parent, const TIntegerList& Lines);
