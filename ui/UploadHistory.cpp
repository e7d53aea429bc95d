#include "UploadHistory.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

TUploadHistoryDlg::TUploadHistoryDlg(QWidget* Parent, std::vector<TJournalRun> Runs)
    : QDialog(Parent), fRuns(std::move(Runs)) {
  setObjectName("UploadHistoryDlg");
  setWindowTitle("Upload history");
  auto* top = new QVBoxLayout(this);
  top->addWidget(new QLabel(QString::fromStdString("Journal: " + JournalFile()), this));
  auto* split = new QSplitter(Qt::Vertical, this);
  fList = new QListWidget(split);
  fList->setObjectName("RunList");
  fDetails = new QPlainTextEdit(split);
  fDetails->setObjectName("RunDetails");
  fDetails->setReadOnly(true);
  fDetails->setLineWrapMode(QPlainTextEdit::NoWrap);
  top->addWidget(split, 1);
  for (auto r = fRuns.rbegin(); r != fRuns.rend(); ++r)
    fList->addItem(QString::fromStdString(JournalRunText(*r, false)).section('\n', 0, 0));
  if (fRuns.empty()) fList->addItem("No upload in the journal yet.");
  connect(fList, &QListWidget::currentRowChanged, this, [this](int Row) {
    if (Row < 0 || Row >= static_cast<int>(fRuns.size())) return;
    fDetails->setPlainText(
        QString::fromStdString(JournalRunText(fRuns[fRuns.size() - 1 - size_t(Row)], true)));
  });
  if (!fRuns.empty()) fList->setCurrentRow(0);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Close, this);
  box->button(QDialogButtonBox::Close)->setObjectName("CloseBtn");
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  top->addWidget(box);
  resize(760, 480);
}
