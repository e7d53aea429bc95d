// Direct inward system access (programs 500S to 519S, 530S and their lists) and uniform call
// distribution (programs 520S to 526S), each a dialog over its store group.
#pragma once

#include <array>

#include "ProgDlg.h"

class QComboBox;
class QListWidget;
class QTableWidget;
class QTimeEdit;

constexpr int kHelpDISA = 320;
constexpr int kHelpUCD = 350;

// The automatic attendant choice of one digit (list 501S): entry 0 "none", 1 to 8 the
// extension groups "EXG 1" to "EXG 8", 9 to 32 the jacks "Jack 1" to "Jack 24". A block whose
// group or jack cannot be read gives -1.
int AutoAttendantEntry(const TCmdData& Block);
// Entry 0 writes the one item "0"; a group "2" and its number, a jack "1" and its number, each
// number with two digits. -1 leaves the block as it is.
void StoreAutoAttendant(TCmdData& Block, int Entry);

class TDISAprmDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TDISAprmDlg(QWidget* Parent);

  // The digits of a security code: the length chosen in CodeLenCb, 4 while none is chosen.
  int CodeLength() const;

 protected:
  void LoadControls() override;
  void StoreControls() override;

 private:
  void TryAccept();

  QComboBox* fCodeLen;
  std::array<QComboBox*, 10> fAA{};
  std::array<QComboBox*, 2> fNoDial{};
  QTableWidget* fCodes;
  QListWidget* fIncoming;
  // Which lists hold the blocks the controls show; the others are neither loaded nor stored.
  bool fUseAA = false, fUseNoDial = false, fUseCodes = false, fUseIncoming = false;
};

// UCD busy waiting time (521S): item 1 an amount, item 2 its unit (0 minutes, 1 seconds).
int UcdBusySeconds(const TCmdData& Block);
// Whole minutes (at most 32) when there is one, the seconds dropped; seconds otherwise, and
// never no time at all (0 seconds is written as 1).
void StoreUcdBusyTime(TCmdData& Block, int Seconds);

class TUCDprmDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TUCDprmDlg(QWidget* Parent);

 private:
  QTimeEdit* fBusyTime;
};

// The parameter list's "DISA" and "UCD (Uniform Call Distribution)" entries.
void EditDISA(QWidget* Parent, bool Force);
void EditUCD(QWidget* Parent, bool Force);
