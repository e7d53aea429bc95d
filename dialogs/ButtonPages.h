// The button pages of the extension and DSS console dialogs: a grid of telephone keys over a
// scratch copy of a record's button lines, the labels and hints of every kind of button, and
// the small editors a press on a button opens.
//
// Use from a dialog (see TDSSprmDlg for a whole example):
//
//   auto* co = new TButtonPage(TButtonKind::CO, "BtnGrid1", 12, 2, Page);
//   connect(co, &TButtonPage::Changed, ...);          // optional
//   co->SetLines(Shown.BC);        // on loading: a copy of the combined record's lines, with
//                                  // their undefined ("???") marks
//   ... the user edits buttons through the grid ...
//   Scratch.BC.Assign(co->Lines()); // on storing: lines the user did not decide keep their
//                                  // undefined marks, so AssignKnown leaves them alone
//
// The message button is one block: SetBlock(Shown.BlockOf("BM01")) and, on storing, Block()
// (taken only when it has no undefined item). MarkDifferences compares a block's item 1 only:
// mark item 2 of BM01 as well (MarkDifferent(Other, 2)), or a DSS or One-Touch message button
// that differs only in its parameter would show, and be stored as, the first record's.
// A page's lines carry the numbering of the record they were copied from: the owner renumbers
// after copying them into another record (SetNumber / SetJack), as for any block.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "CmdData.h"

class QComboBox;
class QLineEdit;
class TBtnGrid;
class TCmd009S;
class TRadioGroup;

// What a page's lines are, which decides their labels and their editor.
enum class TButtonKind {
  CO,       // a jack's CO buttons (BC lines); editor TCObuttonsDlg
  PF,       // PF buttons of a jack or a console (BF lines): the number to dial, in TPFbuttonDlg
  Message,  // a jack's message button (the BM01 block); editor TMsgButtonDlg
  DSS,      // a console's DSS buttons (BD lines); editor TDSSbuttonsDlg
};

// ---- numbering, labels, hints (no widgets) ------------------------------------------------

// Button 1 is bottom left; numbers rise left to right, then bottom to top. Button n shows line
// n of the list.
int ButtonNumber(int Col, int Row, int Cols, int Rows);
// The cell of button Number (1-based) in a grid of Cols x Rows.
void ButtonCell(int Number, int Cols, int Rows, int& Col, int& Row);

struct TButtonLabel {
  QString Short;  // on the key
  QString Long;   // in the hint
  bool operator==(const TButtonLabel&) const = default;
};

// The label of one button line. A line whose item 1 or item 2 is undefined (the selected
// records differ) is "???". A jack parameter (DSS, Station Lock) is shown as the jack's
// extension number, item 1 of its line of Numbers (program 009); with Numbers null or without
// that line, as the jack stands in the item ("05").
TButtonLabel ButtonLabel(TButtonKind Kind, const TCmdData& Line, const TCmd009S* Numbers);

// The hint of button Number: "n: " + the long label, "n: Not assigned" when that is empty;
// "No data!" for a button beyond the list (Line null).
QString ButtonHint(TButtonKind Kind, int Number, const TCmdData* Line, const TCmd009S* Numbers);

// The number to dial as a PF button or a One-Touch button stores it: upper-cased, every
// character other than 0-9 * # P [ ] dropped, cut to 16 characters.
constexpr int kMaxDialNumber = 16;
std::string DialNumber(const std::string& Text);

// The PF box's OK: Text trimmed; beginning with "?" marks item 1 undefined (each record keeps
// its own); otherwise the mark goes and item 1 takes DialNumber of the text ("^", the PBX's
// empty item, when nothing is left).
void StorePFNumber(TCmdData& Line, const std::string& Text);

// The extensions of Numbers as combo entries "101 (Jack 01)" in program 009 order, each with
// its jack as item data; a jack without a number, and every jack while program 009 holds no
// numbers, gives no entry (a jack offered without its number could be chosen for the wrong
// extension).
void AddExtensionEntries(QComboBox* Combo, const TCmd009S* Numbers);
// Selects the entry whose item data is Jack; none when no entry has it.
void SelectJack(QComboBox* Combo, int Jack);
// The jack of the selected entry; -1 when none is selected.
int SelectedJack(const QComboBox* Combo);

// ---- the page ------------------------------------------------------------------------------

// A grid of keys over a scratch copy of button lines. A press on button n (n at most the
// number of lines) opens the kind's editor on line n; after an accepted edit the grid repaints
// and Changed(n) is emitted. Every page's grid serves the hints of every page (the one hint
// hook of TBtnGrid asks the first grid's handler), so several pages can share a dialog.
class TButtonPage : public QWidget {
  Q_OBJECT
 public:
  // GridName: the grid's object name ("BtnGrid1", "DSSbtns"). The grid is as large as its
  // cells, and the page as large as the grid.
  TButtonPage(TButtonKind Kind, const QString& GridName, int Rows, int Cols,
              QWidget* Parent = nullptr);

  // Each key's label beside it instead of above: a column of twelve keys half as high, for a
  // page that should be no higher than its dialog's other pages.
  void PutLabelsBeside();

  TButtonKind Kind() const { return fKind; }
  TBtnGrid* Grid() const { return fGrid; }

  // The extension numbers labels and the jack choices use; null (the default) takes the
  // store's, SysData().Extensions.Cmd009, at the time they are needed.
  void SetNumbers(const TCmd009S* Numbers);

  // Loading: a copy of Lines, undefined marks included.
  void SetLines(const TCmdList& Lines);
  // Loading the message button: a copy of Block; a block without text gives no button.
  void SetBlock(const TCmdData& Block);
  // The scratch lines as the user left them.
  const TCmdList& Lines() const { return fLines; }
  // The message button's block; null when there is none.
  const TCmdData* Block() const { return fLines.Count() > 0 ? &fLines.Items(0) : nullptr; }

  int ButtonCount() const { return fLines.Count(); }
  // Label and hint of button Number (1-based); a button beyond the lines is empty, its hint
  // "No data!".
  QString Label(int Number) const;
  QString Hint(int Number) const;

  // What a press on button Number does: opens the editor when the button has a line. True
  // when the editor was accepted (the line may have changed).
  bool EditButton(int Number);

 signals:
  void Changed(int Number);

 private:
  const TCmd009S* Numbers() const;
  int NumberAt(int Col, int Row) const;
  const TCmdData* LineOf(int Number) const;

  TButtonKind fKind;
  TBtnGrid* fGrid;
  TCmdList fLines;
  const TCmd009S* fNumbers = nullptr;
};

// ---- the editors ---------------------------------------------------------------------------

// The parameter a button function takes in item 2.
enum class TButtonParam {
  None,       // one item only
  Empty,      // item 2 empty ("Not assiged")
  Extension,  // a jack "%.2d" from DSScb
  LockJack,   // a jack "%.2d" from LockExtcb
  Number,     // a number to dial from NumEdit
  CO,         // a CO line 1.. from COcb
  TRG,        // a trunk group 1..5 from TRGcb
};

struct TButtonFunc {
  const char* Caption;
  char Code;
  TButtonParam Param;
};

// A function choice (radio group FuncRG) for one button line and the parameter controls its
// functions need. OK refuses an incomplete choice with an information box and keeps the
// dialog open; an accepted choice is written into Line: both undefined marks cleared, item 1
// the function's code, two items with the parameter (or empty) or one item.
class TButtonFuncDlg : public QDialog {
  Q_OBJECT
 public:
  TButtonFuncDlg(QWidget* Parent, int Button, TCmdData& Line,
                 const std::vector<TButtonFunc>& Functions, const TCmd009S* Numbers,
                 int COcount = 6);

  // The function chosen (its position in the list); -1 for none.
  int Function() const;

 private:
  void Load();
  void TryAccept();
  void UpdateEnabling();
  TButtonParam ParamOf(int Function) const;

  struct TParamRow {
    TButtonParam Param;
    QWidget* Label;
    QWidget* Control;
  };

  TCmdData& fLine;
  std::vector<TButtonFunc> fFunctions;
  std::vector<TParamRow> fParamRows;  // enabled while their function is chosen
  TRadioGroup* fFunc;
  QComboBox* fExt = nullptr;
  QComboBox* fLock = nullptr;
  QComboBox* fCO = nullptr;
  QComboBox* fTRG = nullptr;
  QLineEdit* fNumber = nullptr;
};

// One CO button of a jack. COcb offers CO 1 to 6, 1 to 4 on a KX-TA308 (PBXtype 0).
class TCObuttonsDlg : public TButtonFuncDlg {
  Q_OBJECT
 public:
  TCObuttonsDlg(QWidget* Parent, int Button, TCmdData& Line, const TCmd009S* Numbers, int PBXtype);
  static const std::vector<TButtonFunc>& Functions();
};

// The message button of a jack.
class TMsgButtonDlg : public TButtonFuncDlg {
  Q_OBJECT
 public:
  TMsgButtonDlg(QWidget* Parent, TCmdData& Line, const TCmd009S* Numbers);
  static const std::vector<TButtonFunc>& Functions();
};

// One DSS button of a console. Station Lock, like DSS, needs the extension it locks: the PBX
// takes the function only with a jack.
class TDSSbuttonsDlg : public TButtonFuncDlg {
  Q_OBJECT
 public:
  TDSSbuttonsDlg(QWidget* Parent, int Button, TCmdData& Line, const TCmd009S* Numbers);
  static const std::vector<TButtonFunc>& Functions();
};

// The input box of a PF button: "Button n", "Number to dial:", item 1 in PFNumberEdit ("???"
// when the records differ). OK stores the text with StorePFNumber.
class TPFbuttonDlg : public QDialog {
  Q_OBJECT
 public:
  TPFbuttonDlg(QWidget* Parent, int Button, TCmdData& Line);

 private:
  TCmdData& fLine;
  QLineEdit* fEdit;
};
