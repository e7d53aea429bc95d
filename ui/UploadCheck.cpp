#include "UploadCheck.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ValueNames.h"

namespace {

// The PBX stores single bytes; Latin-1 shows every byte as one character.
QString FromPbx(const std::string& Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

QTableWidgetItem* Cell(const QString& Text) {
  auto* item = new QTableWidgetItem(Text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  item->setToolTip(Text);  // readable whole in a narrow column
  return item;
}

}  // namespace

TUploadCheckDlg::TUploadCheckDlg(QWidget* Parent, const std::vector<TLineProblem>& Problems)
    : QDialog(Parent) {
  setObjectName("UploadCheckDlg");
  setWindowTitle("Upload to PBX - values the PBX would refuse");
  auto* layout = new QVBoxLayout(this);
  const int n = static_cast<int>(Problems.size());
  const QString what = n == 1 ? QString("one value") : QString("%1 values").arg(n);
  auto* label = new QLabel(
      "The PBX would refuse " + what + " of this configuration: the upload would report "
      "errors for those programs and leave what the PBX holds there.\nCancel to correct the "
      "configuration first, or upload anyway.",
      this);
  label->setObjectName("ProblemsLabel");
  label->setWordWrap(true);
  layout->addWidget(label);

  fTable = new QTableWidget(n, 5, this);
  fTable->setObjectName("ProblemTable");
  fTable->setHorizontalHeaderLabels({"Program", "Name", "Item", "Value", "Allowed"});
  fTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  fTable->setTabKeyNavigation(false);  // Tab leaves the list for the buttons
  fTable->verticalHeader()->hide();
  for (int r = 0; r < n; ++r) {
    const TLineProblem& p = Problems[static_cast<size_t>(r)];
    fTable->setItem(r, 0, Cell(FromPbx(p.Head)));
    fTable->setItem(r, 1, Cell(p.Name.empty() ? QString("(a program the PBX does not have)")
                                              : QString::fromStdString(p.Name)));
    fTable->setItem(r, 2, Cell(p.Item > 0 ? QString::number(p.Item) : QString("line")));
    fTable->setItem(r, 3, Cell(p.Item > 0 ? NamedValue(p.Head, p.Item, FromPbx(p.Value))
                                          : FromPbx(p.Value)));
    // What the PBX takes, in the words of the dialog that offers it.
    QString allowed = QString::fromStdString(p.Allowed);
    int first = 0;
    const QStringList names = p.Item > 0 ? ValueNames(p.Head, p.Item, &first) : QStringList();
    QStringList choices;
    for (int i = 0; i < names.size(); ++i) choices << QString("%1 %2").arg(first + i).arg(names[i]);
    if (!names.isEmpty()) allowed += ": " + names.front() + " \u2026 " + names.back();
    fTable->setItem(r, 4, Cell(allowed));
    if (!choices.isEmpty()) fTable->item(r, 4)->setToolTip(choices.join('\n'));
  }
  fTable->resizeColumnsToContents();
  fTable->horizontalHeader()->setStretchLastSection(true);
  fTable->setMinimumSize(640, 240);
  layout->addWidget(fTable);

  auto* buttons = new QDialogButtonBox(this);
  fUpload = buttons->addButton("&Upload anyway", QDialogButtonBox::AcceptRole);
  fUpload->setObjectName("UploadAnywayBtn");
  fCancel = buttons->addButton(QDialogButtonBox::Cancel);
  fCancel->setObjectName("CancelBtn");
  // Enter cancels unless the user has moved to "Upload anyway"; Escape always cancels.
  fUpload->setAutoDefault(true);
  fCancel->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  fCancel->setFocus();
}

bool UploadDespiteProblems(QWidget* Parent, const std::vector<TLineProblem>& Problems) {
  TUploadCheckDlg dlg(Parent, Problems);
  return dlg.exec() == QDialog::Accepted;
}
