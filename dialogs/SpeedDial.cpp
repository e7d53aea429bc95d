#include "SpeedDial.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "FKey.h"
#include "Feedback.h"
#include "FieldFilter.h"
#include "HelpContext.h"
#include "SafeFile.h"
#include "SysData.h"
#include "Text.h"

namespace {

constexpr int kNumberCol = 1, kNameCol = 2;
constexpr int kMaxNumber = 32, kMaxName = 16;
const char kNumberChars[] = "#*-0123456789FP[]";
// The characters a speed dial name can hold, in the order of a telephone's keypad. The ","
// of the keypad is left out: it separates the items of a PBX line.
const char kNameChars[] =
    "1QqZz!?2AaBbCc3DdEeFf4GgHhIi5JjKkLl6MmNnOo7PpRrSs8TtUuVv9WwXxYy0 .':;*\"+-=<>#$%&@()";

// What a text file or a cell brings in loses the item breakers and every byte that is no
// printable ASCII (a control character would reach the PBX as a key).
std::string WithoutBreakers(std::string S) {
  std::string out;
  for (char c : S)
    if (PrintableAscii(c) && !std::strchr(kItemBreakers, c)) out += c;
  return out;
}

// The cells' editors: typed keys filtered by column (number keys upper-cased), lengths kept,
// and pasted text cleaned by the same rule, so that a paste cannot put into a speed dial what
// the PBX would refuse in the middle of an upload.
class TSpeedDialDelegate : public TItemTextDelegate {
 public:
  using TItemTextDelegate::TItemTextDelegate;
  QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                        const QModelIndex& Index) const override {
    QWidget* w = TItemTextDelegate::createEditor(Parent, Option, Index);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      const bool number = Index.column() == kNumberCol;
      ApplyCodeRule(edit, number ? TCodeRule{kNumberChars, kMaxNumber, true}
                                 : TCodeRule{kNameChars, kMaxName, false});
    }
    return w;
  }
};

}  // namespace

std::string SpeedDialLine(const std::string& Number, const std::string* Name) {
  std::string line = TrimBlanks(Number);
  if (!Name) return line;
  line += ";\"";
  for (char c : TrimBlanks(*Name)) {
    if (c == '"') line += '"';
    line += c;
  }
  return line + "\"";
}

void ParseSpeedDialLine(const std::string& Line, std::string& Number, std::string& Name) {
  const size_t semi = Line.find(';');
  Number = Line.substr(0, semi);
  Name.clear();
  if (semi == std::string::npos || semi + 1 >= Line.size() || Line[semi + 1] != '"') return;
  for (size_t i = semi + 2; i < Line.size(); ++i) {
    if (Line[i] == '"') {
      if (i + 1 < Line.size() && Line[i + 1] == '"') {
        Name += '"';
        ++i;
        continue;
      }
      break;  // the closing quote
    }
    Name += Line[i];
  }
}

std::function<QString(QWidget*, bool)>& TSpeedDialDlg::FileChooser() {
  static std::function<QString(QWidget*, bool)> chooser = [](QWidget* Parent, bool Save) {
    const QString filter = "Text files (*.txt);;All files (*.*)";
    if (!Save) return QFileDialog::getOpenFileName(Parent, "Import from a file", {}, filter);
    QFileDialog dlg(Parent, "Export to a file", {}, filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("txt");
    return dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()
               ? dlg.selectedFiles().first()
               : QString();
  };
  return chooser;
}

TSpeedDialDlg::TSpeedDialDlg(QWidget* Parent)
    : TProgDlg(Parent), fNames(SysData().Version.ExtendedSpeedDial != 0) {
  setObjectName("SpeedDialDlg");
  setWindowTitle("System speed dials");
  auto* top = new QVBoxLayout(this);
  auto* bar = new QToolBar(this);
  bar->setObjectName("Panel1");
  const auto tool = [&](const char* Name, const char* Text, void (TSpeedDialDlg::*Slot)()) {
    QAction* a = bar->addAction(Text);
    a->setObjectName(Name);
    if (Slot) connect(a, &QAction::triggered, this, Slot);
  };
  tool("ImportBtn", "Import from a file", nullptr);
  tool("ExportBtn", "Export to a file", nullptr);
  tool("InsertBtn", "Insert empty line", &TSpeedDialDlg::InsertLine);
  tool("DeleteBtn", "Delete current line", &TSpeedDialDlg::DeleteLine);
  top->addWidget(bar);
  connect(bar->findChild<QAction*>("ImportBtn"), &QAction::triggered, this, [this] {
    const QString f = FileChooser()(this, false);
    if (!f.isEmpty()) Import(f.toStdString());
  });
  connect(bar->findChild<QAction*>("ExportBtn"), &QAction::triggered, this, [this] {
    const QString f = FileChooser()(this, true);
    if (!f.isEmpty()) Export(f.toStdString());
  });

  fGrid = new QTableWidget(kSpeedDialCount, fNames ? 3 : 2, this);
  fGrid->setObjectName("TenantGrid1");
  fGrid->setHorizontalHeaderLabels({" #", " Number", " Name"});
  fGrid->verticalHeader()->hide();
  fGrid->setColumnWidth(0, 34);
  fGrid->setColumnWidth(kNumberCol, 190);
  if (fNames) fGrid->setColumnWidth(kNameCol, 120);
  fGrid->setItemDelegate(new TSpeedDialDelegate(fGrid));
  // Numbers hold F (flash) and names any letter: typed on a cell not yet open, F is text.
  LetFKeyTypeInto(fGrid);
  for (int r = 0; r < kSpeedDialCount; ++r) {
    auto* label = new QTableWidgetItem(QString::asprintf(" %.2d", r));
    label->setFlags(Qt::ItemIsEnabled);
    fGrid->setItem(r, 0, label);
    for (int c = 1; c < fGrid->columnCount(); ++c) fGrid->setItem(r, c, new QTableWidgetItem);
  }
  fGrid->setCurrentCell(0, kNumberCol);
  fGrid->setMinimumSize(34 + 190 + (fNames ? 120 : 0) + 24, 360);
  top->addWidget(fGrid);

  AddOkCancelHelp(this, top, kHelpSpeedDial);
  SetGroup(grSpeedDials);
}

QString TSpeedDialDlg::Cell(int Row, int Col) const { return fGrid->item(Row, Col)->text(); }

void TSpeedDialDlg::SetCell(int Row, int Col, const QString& Text) {
  fGrid->item(Row, Col)->setText(Text);
}

void TSpeedDialDlg::ClearRow(int Row) {
  for (int c = 1; c < fGrid->columnCount(); ++c) SetCell(Row, c, QString());
}

void TSpeedDialDlg::PreRead(bool Force) {
  // The numbers decide: a model without names keeps none, so missing names alone read nothing.
  if (Force || !Store().List001S.IsActual(1))
    Guarded([this] { return Group(grSpeedDials).Read(Store(), true); });
}

void TSpeedDialDlg::LoadControls() {
  const TSysData& s = Store();
  for (int r = 0; r < kSpeedDialCount; ++r) {
    SetCell(r, kNumberCol, r < s.List001S.Count() ? ItemText(s.List001S.Items(r), 1).trimmed()
                                                  : QString());
    if (fNames)
      SetCell(r, kNameCol, r < s.List011S.Count() ? ItemText(s.List011S.Items(r), 1).trimmed()
                                                  : QString());
  }
}

void TSpeedDialDlg::StoreControls() {
  CommitOpenEditor(fGrid);
  TSysData& s = Store();
  for (int r = 0; r < std::min(kSpeedDialCount, s.List001S.Count()); ++r) {
    const std::string n = TrimBlanks(WithoutBreakers(Cell(r, kNumberCol).toStdString()));
    s.List001S.Items(r).SetItemStr(1, n.empty() ? "^" : n);
  }
  if (!fNames) return;
  for (int r = 0; r < std::min(kSpeedDialCount, s.List011S.Count()); ++r) {
    TCmdData& block = s.List011S.Items(r);
    const std::string typed = TrimBlanks(WithoutBreakers(Cell(r, kNameCol).toStdString()));
    std::string name = typed.empty() ? std::string(1, '^') : typed;
    // The PBX keeps a name at its length: a shorter one is padded, so that no rest of the
    // old name stays behind it.
    const size_t old = block.ItemStr(1).size();
    if (name != "^" && name.size() < old) name.resize(old, ' ');
    block.SetItemStr(1, name);
  }
}

void TSpeedDialDlg::InsertLine() {
  // A cell being edited is taken first: its text moves with its row.
  CommitOpenEditor(fGrid);
  const int at = std::max(0, fGrid->currentRow());
  // The last entry moves off the end of the list, its name as well as its number.
  QStringList last;
  for (int c = 1; c < fGrid->columnCount(); ++c) {
    const QString text = Cell(kSpeedDialCount - 1, c).trimmed();
    if (!text.isEmpty()) last << (c == kNameCol ? "\"" + text + "\"" : text);
  }
  if (!last.isEmpty() &&
      !Confirm("Speed dial 99 (" + last.join(' ').toStdString() +
               ") moves off the end of the list and is lost. Insert an empty line?"))
    return;
  for (int r = kSpeedDialCount - 1; r > at; --r)
    for (int c = 1; c < fGrid->columnCount(); ++c) SetCell(r, c, Cell(r - 1, c));
  ClearRow(at);
}

void TSpeedDialDlg::DeleteLine() {
  CommitOpenEditor(fGrid);
  const int at = std::max(0, fGrid->currentRow());
  for (int r = at; r < kSpeedDialCount - 1; ++r)
    for (int c = 1; c < fGrid->columnCount(); ++c) SetCell(r, c, Cell(r + 1, c));
  ClearRow(kSpeedDialCount - 1);
}

bool TSpeedDialDlg::Import(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  if (!in) {
    ShowError("Cannot open " + Path + ": " + std::strerror(errno));
    return false;
  }
  std::vector<std::string> lines;
  std::string line;
  while (lines.size() < kSpeedDialCount && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (in.bad()) {
    ShowError("Cannot read " + Path + ": " + std::strerror(errno));
    return false;
  }
  // An editor left open would later put its old text over the imported cell.
  CommitOpenEditor(fGrid);
  for (int r = 0; r < kSpeedDialCount; ++r) {
    if (r >= static_cast<int>(lines.size())) {
      ClearRow(r);
      continue;
    }
    std::string number, name;
    ParseSpeedDialLine(lines[size_t(r)], number, name);
    // The grid takes what a cell can hold: no item breaker, no more than its length.
    SetCell(r, kNumberCol, QString::fromStdString(WithoutBreakers(number)).left(kMaxNumber));
    if (fNames) SetCell(r, kNameCol, QString::fromStdString(WithoutBreakers(name)).left(kMaxName));
  }
  return true;
}

bool TSpeedDialDlg::Export(const std::string& Path) {
  // What is being typed into a cell belongs to the file too.
  CommitOpenEditor(fGrid);
  std::string text;
  for (int r = 0; r < kSpeedDialCount; ++r) {
    const std::string name = fNames ? Cell(r, kNameCol).toStdString() : std::string();
    text += SpeedDialLine(Cell(r, kNumberCol).toStdString(), fNames ? &name : nullptr) + "\r\n";
  }
  std::string error;
  if (!ReplaceFileContents(Path, text, error)) {
    ShowError(error);
    return false;
  }
  return true;
}

void EditSpeedDials(QWidget* Parent, bool Force) {
  TSpeedDialDlg dlg(Parent);
  dlg.Execute(Force);
}
