#include "ButtonPages.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <memory>

#include "Binding.h"
#include "BtnGrid.h"
#include "Cmd9S.h"
#include "Errors.h"
#include "Feedback.h"
#include "SysData.h"
#include "Text.h"

namespace {

constexpr const char* kDialChars = "0123456789*#P[]";

bool IsDialChar(char C) {
  return C != '\0' && std::strchr(kDialChars, C);
}
constexpr int kJackCount = 24;

QString Latin1(const std::string& Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

// An item as a label shows it: trimmed, "^" (the PBX's empty item) as nothing.
std::string ShownItem(const TCmdData& Line, int Item) {
  const std::string s = TrimBlanks(Line.ItemStr(Item));
  return s == "^" ? std::string() : s;
}

// A jack parameter ("05") by the extension number of that jack, or as it stands.
QString JackShown(const std::string& Jack, const TCmd009S* Numbers) {
  int jack = 0;
  if (Numbers && TryStrToInt(Jack, jack)) {
    const std::string number = TrimBlanks(Numbers->NumberOfJack(jack));
    if (!number.empty()) return Latin1(number);
  }
  return Latin1(Jack);
}

TButtonLabel Same(const QString& Text) {
  return {Text, Text};
}

TButtonLabel COLabel(const std::string& Code, const std::string& Param, const TCmd009S* Numbers) {
  const QString p = Latin1(Param);
  if (Code.empty()) return {p, "Not assigned" + p};
  if (Code.size() == 1) {
    switch (Code[0]) {
      case '0':
        return {"S-C0 " + p, "Single C0 " + p};
      case '1':
        return {"G-C0, " + p, "Group C0, TRG " + p};
      case '2':
        return Same("DSS " + JackShown(Param, Numbers));
      case '3':
        return Same(p);
      case '4':
        return {"O-CO", "Other CO"};
      case '5':
        return {"Conf", "Conference"};
      case '6':
        return Same("FWD/DND");
      case '7':
        return Same("Save");
      case 'A':
        return {"LogIn/Out", "Group Login/Logout"};
      default:
        break;
    }
  }
  return Same("Func " + Latin1(Code));
}

TButtonLabel DSSLabel(const std::string& Code, const std::string& Param, const TCmd009S* Numbers) {
  if (Code.size() == 1) {
    switch (Code[0]) {
      case '6': {
        const QString jack = JackShown(Param, Numbers);
        return {"Lock " + jack, "Station Lock " + jack};
      }
      case '7':
        return {"Day", "Day mode"};
      case '8':
        return {"Night", "Night mode"};
      case '9':
        return {"Lunch", "Lunch mode"};
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case 'A':
        break;
      default:
        return Same("Func " + Latin1(Code));
    }
  }
  // An empty code and the codes a console shares with the CO buttons are labelled as there.
  return COLabel(Code, Param, Numbers);
}

// Typed or pasted, a number field takes only what a number to dial holds; a lower-case p is
// taken as P. Whatever it refuses, it refuses whole, as the digit fields do. The item breakers
// are none of its characters.
class TDialNumberValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& Input, int&) const override {
    const QString upper = Input.toUpper();
    if (upper.size() > kMaxDialNumber) return Invalid;
    for (QChar c : upper)
      if (c.unicode() > 0x7f || !IsDialChar(c.toLatin1())) return Invalid;
    Input = upper;
    return Acceptable;
  }
};

// The editors' OK (the default button, running OnOk) and Cancel, at the right.
QHBoxLayout* OkCancelRow(QDialog* Dlg, const std::function<void()>& OnOk) {
  auto* ok = new QPushButton("&OK", Dlg);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  auto* cancel = new QPushButton("&Cancel", Dlg);
  cancel->setObjectName("CancelBtn");
  QObject::connect(ok, &QPushButton::clicked, Dlg, OnOk);
  QObject::connect(cancel, &QPushButton::clicked, Dlg, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

}  // namespace

// ---- numbering, labels, hints --------------------------------------------------------------

int ButtonNumber(int Col, int Row, int Cols, int Rows) {
  return (Rows - 1 - Row) * Cols + Col + 1;
}

void ButtonCell(int Number, int Cols, int Rows, int& Col, int& Row) {
  Col = (Number - 1) % Cols;
  Row = Rows - 1 - (Number - 1) / Cols;
}

TButtonLabel ButtonLabel(TButtonKind Kind, const TCmdData& Line, const TCmd009S* Numbers) {
  if (Line.Undefined[0] || Line.Undefined[1]) return Same("???");
  const std::string item1 = ShownItem(Line, 1);
  switch (Kind) {
    case TButtonKind::PF:
      return Same(Latin1(item1));
    case TButtonKind::Message:
      if (!item1.empty() && item1[0] == '5') return Same("Message");
      return COLabel(item1, ShownItem(Line, 2), Numbers);
    case TButtonKind::DSS:
      return DSSLabel(item1, ShownItem(Line, 2), Numbers);
    case TButtonKind::CO:
      break;
  }
  return COLabel(item1, ShownItem(Line, 2), Numbers);
}

QString ButtonHint(TButtonKind Kind, int Number, const TCmdData* Line, const TCmd009S* Numbers) {
  if (!Line) return "No data!";
  const QString text = ButtonLabel(Kind, *Line, Numbers).Long;
  return QString("%1: %2").arg(Number).arg(text.isEmpty() ? QString("Not assigned") : text);
}

std::string DialNumber(const std::string& Text) {
  std::string number;
  for (char c : Text) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (IsDialChar(u)) number += u;
    if (static_cast<int>(number.size()) == kMaxDialNumber) break;
  }
  return number;
}

void StorePFNumber(TCmdData& Line, const std::string& Text) {
  const std::string t = TrimBlanks(Text);
  if (!t.empty() && t[0] == '?') {
    Line.Undefined[0] = true;
    return;
  }
  Line.Undefined[0] = false;
  // Filtered first: the block refuses "," and "/" in an item, and an empty item would turn the
  // line into a query.
  const std::string number = DialNumber(t);
  Line.SetItemStr(1, number.empty() ? std::string("^") : number);
}

void AddExtensionEntries(QComboBox* Combo, const TCmd009S* Numbers) {
  if (!Numbers) return;
  for (int jack = 1; jack <= Numbers->Count() && jack <= kJackCount; ++jack) {
    const std::string number = TrimBlanks(Numbers->NumberOfJack(jack));
    if (number.empty()) continue;  // no extension there to choose
    Combo->addItem(
        QString("%1 (Jack %2)").arg(Latin1(number)).arg(jack, 2, 10, QChar('0')), jack);
  }
}

void SelectJack(QComboBox* Combo, int Jack) {
  Combo->setCurrentIndex(Combo->findData(Jack));
}

int SelectedJack(const QComboBox* Combo) {
  return Combo->currentIndex() < 0 ? -1 : Combo->currentData().toInt();
}

// ---- the page ------------------------------------------------------------------------------

// The longest label a cell must show: a whole number to dial on a PF key.
static QString WidestLabel(TButtonKind Kind) {
  return Kind == TButtonKind::PF ? QString(kMaxDialNumber, QChar('0')) : QString("Lock 0000 ");
}

TButtonPage::TButtonPage(TButtonKind Kind, const QString& GridName, int Rows, int Cols,
                         QWidget* Parent)
    : QWidget(Parent), fKind(Kind), fGrid(new TBtnGrid(this)) {
  fGrid->setObjectName(GridName);
  fGrid->SetRowCount(Rows);
  fGrid->SetColCount(Cols);
  // A cell: the label line on top, the key below it. A PF label is a whole number to dial.
  const QFontMetrics fm(fGrid->font());
  const QString widest = WidestLabel(Kind);
  const int keyW = 48, keyH = 20;
  const int labelH = fm.height();
  // The gap below the key keeps a label apart from the key of the row above it.
  const int h = labelH + 1 + keyH + 10;
  fGrid->SetImages(MakeKeyImages(keyW, keyH));
  fGrid->SetColWidth(std::max(keyW + 8, fm.horizontalAdvance(widest) + 6));
  fGrid->SetRowHeight(h);
  // The key sits right below its label instead of in the middle of the cell.
  fGrid->SetShiftYbmp(labelH + 1 - (h - 1 - keyH) / 2);

  fGrid->OnGetLblEvent = [this](TBtnGrid*, int Col, int Row, QString& Text) {
    Text = Label(NumberAt(Col, Row));
  };
  // The hook asks the first grid's handler for every grid: each page answers for its own.
  fGrid->OnGetHintEvent = [](TBtnGrid* Sender, int Col, int Row, QString& Text) {
    if (auto* page = qobject_cast<TButtonPage*>(Sender->parentWidget()))
      Text = page->Hint(page->NumberAt(Col, Row));
    else
      Text = QString("Button %1").arg(Row * Sender->ColCount() + Col + 1);
  };
  fGrid->OnBtnClick = [this](TBtnGrid*, int Col, int Row) { EditButton(NumberAt(Col, Row)); };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(fGrid);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TButtonPage::PutLabelsBeside() {
  const QFontMetrics fm(fGrid->font());
  const QString widest = WidestLabel(fKind);
  const int keyW = fGrid->Images().isEmpty() ? 0 : fGrid->Images()[0].width();
  const int keyH = fGrid->Images().isEmpty() ? 0 : fGrid->Images()[0].height();
  const int margin = 6;
  fGrid->SetOptions(fGrid->Options() | bgLabelBeside);
  fGrid->SetShiftXbmp(margin);
  fGrid->SetShiftYbmp(0);
  fGrid->SetColWidth(margin + keyW + TBtnGrid::kLabelGap + fm.horizontalAdvance(widest) +
                     2 * margin);
  fGrid->SetRowHeight(std::max(keyH, fm.height()) + 6);
}

void TButtonPage::SetNumbers(const TCmd009S* Numbers) {
  fNumbers = Numbers;
  fGrid->update();
}

const TCmd009S* TButtonPage::Numbers() const {
  return fNumbers ? fNumbers : &SysData().Extensions.Cmd009;
}

void TButtonPage::SetLines(const TCmdList& Lines) {
  fLines.Assign(Lines);
  fGrid->update();
}

void TButtonPage::SetBlock(const TCmdData& Block) {
  fLines.Clear();
  if (!Block.Data().empty()) fLines.Add(TCmdData::CreateCopy(Block));
  fGrid->update();
}

int TButtonPage::NumberAt(int Col, int Row) const {
  return ButtonNumber(Col, Row, fGrid->ColCount(), fGrid->RowCount());
}

const TCmdData* TButtonPage::LineOf(int Number) const {
  return Number >= 1 && Number <= fLines.Count() ? &fLines.Items(Number - 1) : nullptr;
}

QString TButtonPage::Label(int Number) const {
  const TCmdData* line = LineOf(Number);
  return line ? ButtonLabel(fKind, *line, Numbers()).Short : QString();
}

QString TButtonPage::Hint(int Number) const {
  return ButtonHint(fKind, Number, LineOf(Number), Numbers());
}

bool TButtonPage::EditButton(int Number) {
  if (!LineOf(Number)) return false;
  TCmdData& line = fLines.Items(Number - 1);
  std::unique_ptr<QDialog> editor;
  switch (fKind) {
    case TButtonKind::CO:
      editor = std::make_unique<TCObuttonsDlg>(this, Number, line, Numbers(),
                                               SysData().Settings.PBXtype);
      break;
    case TButtonKind::Message:
      editor = std::make_unique<TMsgButtonDlg>(this, line, Numbers());
      break;
    case TButtonKind::DSS:
      editor = std::make_unique<TDSSbuttonsDlg>(this, Number, line, Numbers());
      break;
    case TButtonKind::PF:
      editor = std::make_unique<TPFbuttonDlg>(this, Number, line);
      break;
  }
  const bool ok = editor->exec() == QDialog::Accepted;
  if (ok) {
    fGrid->update();
    emit Changed(Number);
  }
  return ok;
}

// ---- the function editors ------------------------------------------------------------------

TButtonFuncDlg::TButtonFuncDlg(QWidget* Parent, int Button, TCmdData& Line,
                               const std::vector<TButtonFunc>& Functions, const TCmd009S* Numbers,
                               int COcount)
    : QDialog(Parent), fLine(Line), fFunctions(Functions) {
  setWindowTitle(Button > 0 ? QString("Button %1").arg(Button) : QString("Message button"));
  QStringList captions;
  for (const TButtonFunc& f : fFunctions) captions << f.Caption;
  fFunc = new TRadioGroup("FuncRG", "Function", captions, this);

  // Only the controls some function of the dialog needs, each with its label.
  auto* params = new QGridLayout;
  auto needs = [this](TButtonParam Param) {
    return std::any_of(fFunctions.begin(), fFunctions.end(),
                       [Param](const TButtonFunc& f) { return f.Param == Param; });
  };
  auto addRow = [&](TButtonParam Param, const char* Caption, QWidget* Control) {
    auto* label = new QLabel(Caption, this);
    label->setBuddy(Control);
    const int row = params->rowCount();
    params->addWidget(label, row, 0);
    params->addWidget(Control, row, 1);
    fParamRows.push_back({Param, label, Control});
  };
  auto combo = [this](const char* Name) {
    auto* cb = new QComboBox(this);
    cb->setObjectName(Name);
    return cb;
  };
  if (needs(TButtonParam::Extension)) {
    fExt = combo("DSScb");
    AddExtensionEntries(fExt, Numbers);
    addRow(TButtonParam::Extension, "Extension:", fExt);
  }
  if (needs(TButtonParam::LockJack)) {
    fLock = combo("LockExtcb");
    AddExtensionEntries(fLock, Numbers);
    addRow(TButtonParam::LockJack, "Extension to lock:", fLock);
  }
  if (needs(TButtonParam::CO)) {
    fCO = combo("COcb");
    for (int c = 1; c <= COcount; ++c) fCO->addItem(QString::number(c));
    addRow(TButtonParam::CO, "CO:", fCO);
  }
  if (needs(TButtonParam::TRG)) {
    fTRG = combo("TRGcb");
    for (int g = 1; g <= 5; ++g) fTRG->addItem(QString::number(g));
    addRow(TButtonParam::TRG, "Trunk group (TRG):", fTRG);
  }
  if (needs(TButtonParam::Number)) {
    fNumber = new QLineEdit(this);
    fNumber->setObjectName("NumEdit");
    fNumber->setMaxLength(kMaxDialNumber);
    fNumber->setValidator(new TDialNumberValidator(fNumber));
    addRow(TButtonParam::Number, "Number to dial:", fNumber);
  }
  for (QComboBox* cb : {fExt, fLock, fCO, fTRG})
    if (cb) cb->setCurrentIndex(-1);
  params->setRowStretch(params->rowCount(), 1);

  auto* body = new QHBoxLayout;
  body->addWidget(fFunc);
  body->addLayout(params);
  auto* top = new QVBoxLayout(this);
  top->addLayout(body);
  top->addLayout(OkCancelRow(this, [this] { TryAccept(); }));
  connect(fFunc, &TRadioGroup::Changed, this, &TButtonFuncDlg::UpdateEnabling);
  Load();
  UpdateEnabling();
}

int TButtonFuncDlg::Function() const {
  return fFunc->ItemIndex();
}

TButtonParam TButtonFuncDlg::ParamOf(int Function) const {
  return Function >= 0 && Function < static_cast<int>(fFunctions.size())
             ? fFunctions[static_cast<size_t>(Function)].Param
             : TButtonParam::None;
}

void TButtonFuncDlg::Load() {
  if (fLine.Undefined[0]) return;  // the records differ: no function chosen
  const std::string code = ShownItem(fLine, 1);
  // Code "3" is "Not assiged" with no number and One-Touch Dialing with one: when the
  // records' numbers differ, neither is known, and choosing "Not assiged" for them would
  // empty every record's number on OK.
  if (fLine.Undefined[1] &&
      std::count_if(fFunctions.begin(), fFunctions.end(), [&](const TButtonFunc& f) {
        return code.size() == 1 && f.Code == code[0];
      }) > 1)
    return;
  const std::string param = fLine.Undefined[1] ? std::string() : ShownItem(fLine, 2);
  // Code "3" is "Not assiged" without a number and One-Touch Dialing with one.
  int choice = -1;
  for (size_t i = 0; i < fFunctions.size(); ++i) {
    const TButtonFunc& f = fFunctions[i];
    if (code.size() != 1 || code[0] != f.Code) continue;
    const bool fits = f.Param == TButtonParam::Empty    ? param.empty()
                      : f.Param == TButtonParam::Number ? !param.empty()
                                                        : true;
    if (fits || choice < 0) choice = static_cast<int>(i);
    if (fits) break;
  }
  if (choice < 0) return;
  fFunc->SetItemIndex(choice);
  int value = -1;
  TryStrToInt(param, value);
  switch (ParamOf(choice)) {
    case TButtonParam::Extension:
      SelectJack(fExt, value);
      break;
    case TButtonParam::LockJack:
      SelectJack(fLock, value);
      break;
    case TButtonParam::Number:
      fNumber->setText(Latin1(param));
      break;
    case TButtonParam::CO:
      SetControlValue(fCO, value - 1);
      break;
    case TButtonParam::TRG:
      SetControlValue(fTRG, value - 1);
      break;
    default:
      break;
  }
}

void TButtonFuncDlg::UpdateEnabling() {
  const TButtonParam chosen = ParamOf(fFunc->ItemIndex());
  for (const TParamRow& r : fParamRows) {
    r.Label->setEnabled(r.Param == chosen);
    r.Control->setEnabled(r.Param == chosen);
  }
}

void TButtonFuncDlg::TryAccept() {
  const int choice = fFunc->ItemIndex();
  if (choice < 0) {
    Feedback().ShowInformation("No function is selected!");
    return;
  }
  const TButtonFunc& f = fFunctions[static_cast<size_t>(choice)];
  std::string param;
  switch (f.Param) {
    case TButtonParam::Extension:
    case TButtonParam::LockJack: {
      const int jack = SelectedJack(f.Param == TButtonParam::Extension ? fExt : fLock);
      if (jack < 0) {
        Feedback().ShowInformation("Select some Extension!");
        return;
      }
      param = Format("%.2d", jack);
      break;
    }
    case TButtonParam::CO:
      if (fCO->currentIndex() < 0) {
        Feedback().ShowInformation("Select some CO!");
        return;
      }
      param = std::to_string(fCO->currentIndex() + 1);
      break;
    case TButtonParam::TRG:
      if (fTRG->currentIndex() < 0) {
        Feedback().ShowInformation("Select some trunk group (TRG)!");
        return;
      }
      param = std::to_string(fTRG->currentIndex() + 1);
      break;
    case TButtonParam::Number:
      param = DialNumber(TrimBlanks(fNumber->text().toStdString()));
      break;
    case TButtonParam::None:
    case TButtonParam::Empty:
      break;
  }
  fLine.Undefined[0] = fLine.Undefined[1] = false;
  fLine.SetItemCount(f.Param == TButtonParam::None ? 1 : 2);
  fLine.SetItemStr(1, std::string(1, f.Code));
  if (f.Param != TButtonParam::None) fLine.SetItemStr(2, param);
  accept();
}

const std::vector<TButtonFunc>& TCObuttonsDlg::Functions() {
  // In the order of the codes "323567A041".
  using P = TButtonParam;
  static const std::vector<TButtonFunc> kFunctions = {
      {"Not assiged", '3', P::Empty},
      {"DSS (Direct Station Selection)", '2', P::Extension},
      {"One-Touch Dialing", '3', P::Number},
      {"Conference", '5', P::None},
      {"Forward/Do Not Disturb)", '6', P::None},
      {"SAVE", '7', P::None},
      {"Log-In/Log-Out", 'A', P::None},
      {"Single-CO (S-CO)", '0', P::CO},
      {"Other CO (O-CO)", '4', P::None},
      {"Group-CO (G-CO)", '1', P::TRG},
  };
  return kFunctions;
}

TCObuttonsDlg::TCObuttonsDlg(QWidget* Parent, int Button, TCmdData& Line, const TCmd009S* Numbers,
                             int PBXtype)
    : TButtonFuncDlg(Parent, Button, Line, Functions(), Numbers, PBXtype == 0 ? 4 : 6) {
  setObjectName("CObuttonsDlg");
}

const std::vector<TButtonFunc>& TMsgButtonDlg::Functions() {
  using P = TButtonParam;
  static const std::vector<TButtonFunc> kFunctions = {
      {"Not assiged", '3', P::Empty},
      {"DSS (Direct Station Selection)", '2', P::Extension},
      {"One-Touch Dialing", '3', P::Number},
      {"Message", '5', P::None},
  };
  return kFunctions;
}

TMsgButtonDlg::TMsgButtonDlg(QWidget* Parent, TCmdData& Line, const TCmd009S* Numbers)
    : TButtonFuncDlg(Parent, 0, Line, Functions(), Numbers) {
  setObjectName("MsgButtonDlg");
}

const std::vector<TButtonFunc>& TDSSbuttonsDlg::Functions() {
  using P = TButtonParam;
  static const std::vector<TButtonFunc> kFunctions = {
      {"Not assiged", '3', P::Empty},
      {"DSS (Direct Station Selection)", '2', P::Extension},
      {"One-Touch Dialing", '3', P::Number},
      {"Day", '7', P::None},
      {"Night", '8', P::None},
      {"Lunch", '9', P::None},
      {"Station Lock", '6', P::LockJack},
  };
  return kFunctions;
}

TDSSbuttonsDlg::TDSSbuttonsDlg(QWidget* Parent, int Button, TCmdData& Line, const TCmd009S* Numbers)
    : TButtonFuncDlg(Parent, Button, Line, Functions(), Numbers) {
  setObjectName("DSSbuttonsDlg");
}

// ---- the PF box ----------------------------------------------------------------------------

TPFbuttonDlg::TPFbuttonDlg(QWidget* Parent, int Button, TCmdData& Line)
    : QDialog(Parent), fLine(Line) {
  setObjectName("PFbuttonDlg");
  setWindowTitle(QString("Button %1").arg(Button));
  fEdit = new QLineEdit(ItemText(Line, 1), this);
  fEdit->setObjectName("PFNumberEdit");
  KeepItemBreakersOut(fEdit);
  auto* label = new QLabel("Number to dial:", this);
  label->setBuddy(fEdit);
  auto* top = new QVBoxLayout(this);
  top->addWidget(label);
  top->addWidget(fEdit);
  top->addLayout(OkCancelRow(this, [this] {
    StorePFNumber(fLine, fEdit->text().toStdString());
    accept();
  }));
}
