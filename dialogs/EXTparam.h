// The extension parameters dialog: the per-jack programs of one jack or of several at once
// (name, group, classes of service, options, door phones, CO line access and ringing, buttons).
// It edits a working copy of the whole extension table and assigns it back on OK, so that
// Prev / Next, the free-number choice, the button copy and Cancel never touch the store.
//
// The three button pages hold empty containers (COButtonsPage, PFButtonsPage, MessagePage);
// their editors work on the dialog's scratch button lists and message block, which the dialog
// loads (ReloadButtonPages is called after every load) and stores into the selected jacks.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "CmdData.h"
#include "ExtData.h"
#include "TableDlg.h"

class QCheckBox;
class TButtonPage;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class QTabWidget;
class QTableWidget;

// Incoming ringing choice of a CO line for a jack: 0-3 ring after 0, 5, 10, 15 seconds,
// 4 no rings, -1 none. From the ring digit (List408C..410C) and the delay digit
// (List411C..413C); -1 digits (no line) give no choice.
int IncomingChoice(int RingDigit, int DelayDigit);
// The digits a choice writes; a negative choice gives -1 for both (leave them).
void IncomingDigits(int Choice, int& RingDigit, int& DelayDigit);

// The extension numbers the free-number dialog offers for Jack: the plan's range without the
// numbers of the table's program 009, the jack's own number added back, sorted as text. Plan is
// that of the plan block when it holds actual data, else the one detected from the numbers;
// Detected is false when neither tells it (plan 1 is then used unless UsePlan2 is set).
std::vector<std::string> FreeExtensionNumbers(const TExtensionArray& Table, int Jack,
                                              bool UsePlan2, bool* Detected = nullptr);

// A combo box whose drop-down is replaced by a dialog of the owner's (OnDropDown).
class TDropDownCombo : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
  std::function<void()> OnDropDown;
  void showPopup() override;
};

// "Free Extension numbers": a grid of 10 columns of the numbers no jack uses.
class TFreeDNdlg : public QDialog {
  Q_OBJECT
 public:
  // Current: the number shown now (selected when offered); Jack's own number is offered too.
  TFreeDNdlg(int Jack, const TExtensionArray& Table, const QString& Current,
             QWidget* Parent = nullptr);
  // Modal at Pos (screen coordinates); true with a number chosen.
  bool Execute(const QPoint& Pos);
  QString Chosen() const { return fChosen; }

  QTableWidget* Grid() const { return fGrid; }
  QCheckBox* Plan2Box() const { return fPlan2; }

  void accept() override;

 private:
  void Fill();

  int fJack;
  const TExtensionArray& fTable;
  QString fCurrent, fChosen;
  QTableWidget* fGrid;
  QCheckBox* fPlan2;
};

// "Copy buttons": copies the CO and / or PF button lists of one extension to others in the
// given table. OK checks that the source and every destination hold actual data; otherwise it
// tells which one does not and stays open.
class TCopyBtnDlg : public QDialog {
  Q_OBJECT
 public:
  TCopyBtnDlg(int SrcJack, TExtensionArray& Table, QWidget* Parent = nullptr);

  // The jacks the buttons were copied to (after OK).
  const TIntegerList& Destinations() const { return fDest; }
  bool CopyCO() const;
  bool CopyPF() const;
  int Source() const;

  void accept() override;

 private:
  TExtensionArray& fTable;
  TIntegerList fDest;
  QComboBox* fSrc;
  QPlainTextEdit* fDestMemo;
  QCheckBox *fCopyCO, *fCopyPF;
};

// Rebuilds Dest's button lists as renumbered copies of Src's; a line that comes out as it was
// keeps its flags.
void CopyButtonLists(TExtensionArray& Table, int Src, int Dest, bool CO, bool PF);

// The extension table to the dialog base.
struct TExtensionTraits {
  using TTable = TExtensionArray;
  using TRecord = TExtensionData;
  static constexpr const char* kNoun = "Ext";
  static TExtensionArray& Of(TSysData& Store);
  static TExtensionData& Record(TExtensionArray& T, int N) { return T.Jacks(N); }
  static const TExtensionData& Record(const TExtensionArray& T, int N) { return T.Jacks(N); }
  static bool HaveData(const TExtensionArray& T, const TIntegerList& L) {
    return T.JacksHaveData(L);
  }
  // With no jack lacking data the read still brings the numbers and shared lists it lacks.
  static bool Read(TExtensionArray& T, const TIntegerList& L) { return T.ReadJacks(L, true); }
  static bool Upload(TExtensionArray& T, const TIntegerList& L) {
    return T.UploadJacks(L, true);
  }
  static TCmdData& BlockOf(TExtensionData& R, const std::string& Code) { return R.BlockOf(Code); }
  // The blocks and the button lists.
  static void KeepUnchanged(TExtensionData& R, const TExtensionData& Before);
};

class TEXTprmDlg : public TTableDlg<TExtensionTraits> {
  Q_OBJECT
 public:
  TEXTprmDlg(QWidget* Parent, const TIntegerList& Jacks);

  // What the button pages edit: copies of the first selected jack's lists and message block,
  // items that differ between the selected jacks marked undefined (multi-edit mode). Stored on
  // OK into every selected jack: the block when it has no undefined item, the lists line by
  // line by the same rule.
  TCmdList& ScratchBC() { return fScratchBC; }
  TCmdList& ScratchBF() { return fScratchBF; }
  TCmdData& ScratchMessage() { return fScratchMsg; }

  // The containers of the button pages (each with a QVBoxLayout).
  QWidget* COButtonsPage() const { return fCOPage; }
  QWidget* PFButtonsPage() const { return fPFPage; }
  QWidget* MessagePage() const { return fMsgPage; }

 protected:
  // The extension numbers, "?" where program 009 does not give one.
  QString Caption() const override;
  QString StepCaption(int Jack) const override;
  // The copy buttons and the extension number.
  void RefreshPage() override;
  void TakeRead(int Jack) override;
  void MarkFurther(TExtensionData& Shown, const TExtensionData& Other) override;
  void LoadMore(const TExtensionData& Shown) override;
  void StoreMore(TExtensionData& Scratch) override;
  // The extension number and the shared lists.
  void StoreTable() override;

  // Called whenever the scratch button lists were (re)loaded: opening, Prev / Next, a button
  // copy into the dialog's own jack. The button pages redraw from the scratch data here.
  virtual void ReloadButtonPages();

 private:
  static constexpr int kPeriods = 3;  // day, night, lunch
  static constexpr int kCOs = 6;
  static constexpr int kDoors = 4;

  void BuildMain(QWidget* Page);
  void BuildExtra(QWidget* Page);
  void BuildLines(QWidget* Page);
  QWidget* BuildButtonPage(const char* Name, QWidget*& Container, const char* CopyName,
                           QPushButton** Copy);
  void DeclareBindings();
  void LoadShared();
  void StoreShared();
  void ShowLines(int Period);
  void TakeLines(int Period);
  void ChooseNumber();
  void CopyButtons();
  QString NumberText(int Jack) const;

  TCmdList fScratchBC, fScratchBF;
  TCmdData fScratchMsg;
  bool fNumberEditable = false;
  QString fLoadedName;  // the name field as loaded, to tell an edit from an untouched field

  // Outgoing / incoming matrix: check state (0, 1, 2 greyed) and choice (-1 .. 4) per period
  // and CO; Lines: how many CO lines the period's lists carry (at most 6).
  std::array<std::array<int, kCOs>, kPeriods> fOut{}, fIn{};
  std::array<int, kPeriods> fOutLines{}, fInLines{};
  int fShownPeriod = 0;

  QTabWidget* fPages;
  QLineEdit* fName;
  QComboBox *fEXG, *fCOSday, *fCOSnight, *fCOSlunch, *fAccount, *fLanguage, *fLCSmode, *fCID;
  TDropDownCombo* fExtNum;
  QLabel* fExtNumLbl;
  QListWidget* fOptions;
  std::array<QListWidget*, 6> fDoor{};  // DphDay.. DphLunch, DopenDay.. DopenLunch
  QTabBar* fPeriodTabs;
  std::array<QCheckBox*, kCOs> fCOout{};
  std::array<QComboBox*, kCOs> fCOin{};
  QWidget *fCOPage = nullptr, *fPFPage = nullptr, *fMsgPage = nullptr;
  QPushButton *fCopyCO = nullptr, *fCopyPF = nullptr;
  // The button pages over the scratch data; every edit on them is taken back at once.
  TButtonPage *fCOButtons = nullptr, *fPFButtons = nullptr, *fMsgButton = nullptr;
};

// Opens the dialog for the given jacks (1 to 24); true when it was closed with OK.
bool EditExtensions(QWidget* Parent, const TIntegerList& Jacks);
