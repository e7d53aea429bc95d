// The extension parameters dialog: the per-jack programs of one jack or of several at once
// (name, group, classes of service, options, door phones, CO line access and ringing, buttons).
// It edits a working copy of the whole extension table and assigns it back on OK, so that
// Prev / Next, the free-number choice, the button copy and Cancel never touch the store.
// The pages are built, loaded and stored each in a file of its own: EXTparam.cpp (the frame and
// the main page), EXTextra.cpp (options, door phones), EXTlines.cpp (outgoing / incoming),
// EXTbuttons.cpp (the button pages and the button copy).
//
// The three button pages hold empty containers (COButtonsPage, PFButtonsPage, MessagePage);
// their editors work on the dialog's scratch button lists and message block, which the dialog
// loads (ReloadButtonPages is called after every load) and stores into the selected jacks.
#pragma once

#include <QString>
#include <array>
#include <string>

#include "CmdData.h"
#include "ExtData.h"
#include "TableDlg.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabBar;
class QTabWidget;
class TButtonPage;
class TDropDownCombo;

// Incoming ringing choice of a CO line for a jack: 0-3 ring after 0, 5, 10, 15 seconds,
// 4 no rings, -1 none. From the ring digit (List408C..410C) and the delay digit
// (List411C..413C); -1 digits (no line) give no choice.
int IncomingChoice(int RingDigit, int DelayDigit);
// The digits a choice writes; a negative choice gives -1 for both (leave them).
void IncomingDigits(int Choice, int& RingDigit, int& DelayDigit);

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
  static constexpr const char* kPeriodNames[kPeriods] = {"Day", "Night", "Lunch"};

  // The check state of a jack digit over all selected jacks: 1 when it is 1, 0 otherwise, 2
  // when the jacks differ. A line too short to carry digits shows 0.
  static int DigitState(const TCmdData& Line, const TIntegerList& Jacks);
  // Writes a decided check state (0 or 1) as every selected jack's digit; greyed leaves them.
  static void SetDigits(TCmdData& Line, const TIntegerList& Jacks, int State);

  // Main page and frame (EXTparam.cpp).
  void BuildMain(QWidget* Page);
  void DeclareBindings();
  void ChooseNumber();
  QString NumberText(int Jack) const;
  // Extra page (EXTextra.cpp): the options are bound blocks, the door phones shared lists.
  void BuildExtra(QWidget* Page);
  void DeclareOptions();
  void LoadDoors();
  void StoreDoors();
  // Outgoing / incoming page (EXTlines.cpp), over the shared lists.
  void BuildLines(QWidget* Page);
  void LoadLines();
  void StoreLines();
  void ShowLines(int Period);
  void TakeLines(int Period);
  // Button pages (EXTbuttons.cpp).
  void BuildButtonPages(QTabWidget* Pages);
  QWidget* BuildButtonPage(const char* Name, QWidget*& Container, const char* CopyName,
                           QPushButton** Copy);
  void CopyButtons();

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
