#include "FreeNumbers.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "Feedback.h"
#include "PbxPrograms.h"
#include "Text.h"

std::vector<std::string> FreeExtensionNumbers(const TExtensionArray& Table, int Jack,
                                              bool UsePlan2, bool* Detected) {
  const TCmd009S& numbers = Table.Cmd009;
  int plan = 0;
  bool known = false;
  if (numbers.PlanBlock.IsActual()) {
    plan = numbers.PlanBlock.ItemInt(1);
    known = true;
  } else if (numbers.DetectPlan(plan)) {
    known = true;
  } else {
    plan = UsePlan2 ? 2 : 1;
  }
  if (Detected) *Detected = known;
  int lo = 0, hi = 0, digits = 0;
  PlanRange(plan, lo, hi, digits);  // any other plan gets plan 1's range
  std::set<std::string> used;
  for (int i = 0; i < numbers.Count(); ++i) used.insert(TrimBlanks(numbers.Items(i).ItemStr(1)));
  std::vector<std::string> free;
  for (int n = lo; n <= hi; ++n)
    if (!used.count(std::to_string(n))) free.push_back(std::to_string(n));
  const std::string own = TrimBlanks(numbers.NumberOfJack(Jack));
  if (!own.empty() && std::find(free.begin(), free.end(), own) == free.end()) free.push_back(own);
  std::sort(free.begin(), free.end());
  return free;
}

void TDropDownCombo::showPopup() {
  if (OnDropDown)
    OnDropDown();
  else
    QComboBox::showPopup();
}

TFreeDNdlg::TFreeDNdlg(int Jack, const TExtensionArray& Table, const QString& Current,
                       QWidget* Parent)
    : QDialog(Parent), fJack(Jack), fTable(Table), fCurrent(Current.trimmed()) {
  setObjectName("FreeDNdlg");
  setWindowTitle("Free Extension numbers");
  auto* top = new QVBoxLayout(this);
  fGrid = new QTableWidget(0, 10, this);
  fGrid->setObjectName("FreeNumGrid");
  fGrid->horizontalHeader()->hide();
  fGrid->verticalHeader()->hide();
  fGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  fGrid->horizontalHeader()->setDefaultSectionSize(40);
  fGrid->verticalHeader()->setDefaultSectionSize(22);
  top->addWidget(fGrid);
  fPlan2 = new QCheckBox("Numbering plan '2' is actually used (Ext.no. 100-499)", this);
  fPlan2->setObjectName("Plan2Cx");
  top->addWidget(fPlan2);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  auto* cancel = new QPushButton("&Cancel", this);
  cancel->setObjectName("CancelBtn");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  top->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &TFreeDNdlg::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(fGrid, &QTableWidget::cellDoubleClicked, this, [this] { accept(); });
  connect(fPlan2, &QCheckBox::toggled, this, [this] { Fill(); });
  Fill();
  resize(10 * 40 + 40, 300);
}

void TFreeDNdlg::Fill() {
  bool detected = true;
  const std::vector<std::string> numbers =
      FreeExtensionNumbers(fTable, fJack, fPlan2->isChecked(), &detected);
  fPlan2->setVisible(!detected);
  const int cols = fGrid->columnCount();
  const int count = static_cast<int>(numbers.size());
  fGrid->clearContents();
  fGrid->setRowCount((count + cols - 1) / cols);
  int current = -1;
  for (int r = 0; r < fGrid->rowCount(); ++r)
    for (int c = 0; c < cols; ++c) {
      const int i = r * cols + c;
      auto* cell = new QTableWidgetItem(
          i < count ? QString::fromStdString(numbers[size_t(i)]) : QString());
      cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      fGrid->setItem(r, c, cell);
      if (i < count && cell->text() == fCurrent) current = i;
    }
  if (current >= 0) fGrid->setCurrentCell(current / cols, current % cols);
}

bool TFreeDNdlg::Execute(const QPoint& Pos) {
  move(Pos);
  return exec() == QDialog::Accepted;
}

void TFreeDNdlg::accept() {
  const QTableWidgetItem* cell = fGrid->currentItem();
  if (!cell || !cell->isSelected() || cell->text().trimmed().isEmpty()) {
    Feedback().ShowInformation("Select some non-empty Entension number!");
    return;
  }
  fChosen = cell->text().trimmed();
  QDialog::accept();
}
