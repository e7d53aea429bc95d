#include "CodeTables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "FormParts.h"
#include "HelpContext.h"

namespace {

constexpr int kTollCodeLength = 11;
constexpr int kTollRows = 20;
// The rows a code table shows at least; one of more rows scrolls and grows with the dialog.
constexpr int kShownCodeRows = 12;

const TCodeListDlgSpec kCodeLists[] = {
    {"TAccountDlg", "Account codes", 380, grAccountCodes, idList310S, 24, true,
     {"0123456789", 4}, "Account code"},
    {"TAutoPauseDlg", "Auto Pause Insertion Codes", 480, grAutoPause, idList311S, 40, true,
     {"0123456789#*", 7}, "Code"},
    {"TCarrierExceptDlg", "Carrier Excepted codes", 490, grCarrierExcepted, idList300S, 20,
     true, {"0123456789#*x", 10}, "Carrier code"},
    {"TEmergencyDlg", "Emergency dial", 450, grEmergencyDial, idList309S, 5, false,
     {"0123456789", 11}, "Emergency number"},
};

const TCodeRule kTollRule{"0123456789#*x", kTollCodeLength};

QTableWidget* NewGrid(const char* Name, int Rows, int Cols, QWidget* Parent) {
  auto* g = new QTableWidget(Rows, Cols, Parent);
  g->setObjectName(Name);
  g->verticalHeader()->hide();
  for (int r = 0; r < Rows; ++r)
    for (int c = 0; c < Cols; ++c) {
      auto* item = new QTableWidgetItem;
      if (c == 0) item->setFlags(Qt::ItemIsEnabled);
      g->setItem(r, c, item);
    }
  return g;
}

void Open(QWidget* Parent, TGroupId Group, bool Force) {
  TCodeListDlg dlg(Parent, CodeListSpec(Group));
  dlg.Execute(Force);
}

}  // namespace

const TCodeListDlgSpec& CodeListSpec(TGroupId Group) {
  for (const TCodeListDlgSpec& s : kCodeLists)
    if (s.Group == Group) return s;
  throw std::invalid_argument("no code list dialog for this group");
}

// ---- the single-list code dialogs -----------------------------------------------------------

TCodeListDlg::TCodeListDlg(QWidget* Parent, const TCodeListDlgSpec& Spec)
    : TProgDlg(Parent), fSpec(Spec) {
  setObjectName(QString(Spec.Name).mid(1));
  setWindowTitle(Spec.Caption);
  auto* top = new QVBoxLayout(this);
  fGrid = NewGrid("StringGrid1", Spec.Rows, 2, this);
  fGrid->setHorizontalHeaderLabels({" #", Spec.Heading});
  fGrid->horizontalHeader()->setStretchLastSection(true);
  fGrid->setColumnWidth(0, 34);
  fGrid->setColumnWidth(1, 120);
  fGrid->setItemDelegateForColumn(1, new TCodeCellDelegate(Spec.Rule, fGrid));
  for (int r = 0; r < Spec.Rows; ++r)
    fGrid->item(r, 0)->setText(Spec.TwoDigitLabels ? QString::asprintf(" %.2d", r + 1)
                                                   : QString::asprintf(" %d", r + 1));
  ShowRows(fGrid, std::min(Spec.Rows, kShownCodeRows));
  top->addWidget(fGrid);
  AddOkCancelHelp(this, top, Spec.Help);
  SetGroup(Spec.Group);
}

void TCodeListDlg::LoadControls() {
  const TCmdList& list = Store().List(fSpec.List);
  for (int r = 0; r < fSpec.Rows; ++r) {
    const std::string item = r < list.Count() ? list.Items(r).ItemStr(1) : std::string();
    fGrid->item(r, 1)->setText(item == "^" ? QString() : QString::fromStdString(item));
  }
}

void TCodeListDlg::StoreControls() {
  TCmdList& list = Store().List(fSpec.List);
  for (int r = 0; r < std::min(fSpec.Rows, list.Count()); ++r) {
    // As typed, untrimmed: the cell's editor has kept everything but the code's characters out.
    const std::string text = fGrid->item(r, 1)->text().toStdString();
    list.Items(r).SetItemStr(1, text.empty() ? "^" : text);
  }
}

void EditAccountCodes(QWidget* Parent, bool Force) { Open(Parent, grAccountCodes, Force); }
void EditAutoPauseCodes(QWidget* Parent, bool Force) { Open(Parent, grAutoPause, Force); }
void EditCarrierExceptedCodes(QWidget* Parent, bool Force) {
  Open(Parent, grCarrierExcepted, Force);
}
void EditEmergencyCodes(QWidget* Parent, bool Force) { Open(Parent, grEmergencyDial, Force); }

// ---- toll restriction -----------------------------------------------------------------------

QString TollCodeShown(const std::string& Item) {
  if (Item == "^") return QString();
  const size_t end = Item.find_last_not_of('x');
  // A code of nothing but "x" is shown as it is.
  return QString::fromStdString(end == std::string::npos ? Item : Item.substr(0, end + 1));
}

std::string TollCodeStored(const QString& Cell) {
  std::string code = Cell.toStdString();
  if (code.empty()) return std::string(1, '^');
  if (code.size() < kTollCodeLength) code.resize(kTollCodeLength, 'x');
  return code;
}

TTRSDlg::TTRSDlg(QWidget* Parent) : TProgDlg(Parent) {
  setObjectName("TRSDlg");
  setWindowTitle("Toll Restriction");
  auto* top = new QVBoxLayout(this);
  auto* pages = new QTabWidget(this);
  pages->setObjectName("PageControl1");
  top->addWidget(pages);
  const auto grid = [&](const char* Name, const char* Page, const QString& Heading) {
    auto* page = new QWidget;
    auto* l = new QVBoxLayout(page);
    QTableWidget* g = NewGrid(Name, kTollRows, 5, page);
    g->setHorizontalHeaderLabels(Heading.split('|'));
    g->setColumnWidth(0, 28);
    for (int c = 1; c <= 4; ++c) {
      g->setColumnWidth(c, 90);
      g->setItemDelegateForColumn(c, new TCodeCellDelegate(kTollRule, g));
    }
    for (int r = 0; r < kTollRows; ++r) g->item(r, 0)->setText(QString(" %1").arg(r + 1));
    g->horizontalHeader()->setStretchLastSection(true);
    ShowRows(g, kShownCodeRows);
    l->addWidget(g);
    pages->addTab(page, Page);
    return g;
  };
  fDenied = grid("DeniedGrid", "Denied codes", " #| Class 2| Class 3| Class 4| Class 5");
  fExcept = grid("ExceptGrid", "Exception codes",
                 " #| Class 2| Classes 2-3| Classes 2-4| Classes 2-5");

  auto* params = new QWidget;
  auto* form = new QFormLayout(params);
  auto* check = new QCheckBox("Toll Restriction Check for * and #", params);
  check->setObjectName("CheckCharsCx");
  form->addRow(check);
  auto* speed = new QComboBox(params);
  speed->setObjectName("SpDialBoundaryCb");
  speed->addItems({"1", "2", "3", "4", "5"});
  form->addRow("System Speed Dialing Boundary Class:", speed);
  auto* lock = new QComboBox(params);
  lock->setObjectName("StLockCb");
  lock->addItems({"Disable", "2", "3", "4", "5"});
  form->addRow("Station Lock Boundary Class:", lock);
  pages->addTab(params, "Parameters");
  AddOkCancelHelp(this, top, kHelpTollRestriction);

  SetPages(pages);
  SetGroup(grTollRestriction);
  Bindings().Add(check, "125S", 1, TItemConv::Check);
  Bindings().Add(speed, "301S", 1, TItemConv::Index);
  Bindings().Add(lock, "312S", 1, TItemConv::Index);
}

std::vector<TTRSDlg::TColumn> TTRSDlg::Columns() const {
  TSysData& s = Store();
  return {{fDenied, &s.List302S, 0}, {fDenied, &s.List303S, 0}, {fDenied, &s.List304S, 0},
          {fDenied, &s.List305S, 0}, {fExcept, &s.List306S, 60}, {fExcept, &s.List306S, 40},
          {fExcept, &s.List306S, 20}, {fExcept, &s.List306S, 0}};
}

void TTRSDlg::LoadControls() {
  TProgDlg::LoadControls();
  const std::vector<TColumn> cols = Columns();
  for (size_t i = 0; i < cols.size(); ++i) {
    const TColumn& c = cols[i];
    const int col = static_cast<int>(i % 4) + 1;
    // The exception list is taken by columns of twenty blocks: only whole ones.
    const bool whole = c.Grid == fDenied || c.List->Count() >= c.First + kTollRows;
    for (int r = 0; r < kTollRows; ++r) {
      const int b = c.First + r;
      const bool there = whole && b < c.List->Count();
      c.Grid->item(r, col)->setText(there ? TollCodeShown(c.List->Items(b).ItemStr(1)) : QString());
    }
  }
}

void TTRSDlg::StoreControls() {
  const std::vector<TColumn> cols = Columns();
  for (size_t i = 0; i < cols.size(); ++i) {
    const TColumn& c = cols[i];
    const int col = static_cast<int>(i % 4) + 1;
    const bool whole = c.Grid == fDenied || c.List->Count() >= c.First + kTollRows;
    if (!whole) continue;
    for (int r = 0; r < kTollRows && c.First + r < c.List->Count(); ++r)
      c.List->Items(c.First + r).SetItemStr(1, TollCodeStored(c.Grid->item(r, col)->text()));
  }
  TProgDlg::StoreControls();
}

void EditTollRestriction(QWidget* Parent, bool Force) {
  TTRSDlg dlg(Parent);
  dlg.Execute(Force);
}
