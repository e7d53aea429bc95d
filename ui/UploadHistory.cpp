#include "UploadHistory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <set>

#include "Text.h"

TUploadHistoryDlg::TUploadHistoryDlg(QWidget* Parent, std::vector<TJournalRun> Runs,
                                     const std::string& Site)
    : QDialog(Parent), fRuns(std::move(Runs)) {
  setObjectName("UploadHistoryDlg");
  setWindowTitle("Upload history");
  auto* top = new QVBoxLayout(this);
  auto* head = new QHBoxLayout;
  top->addLayout(head);
  head->addWidget(new QLabel(QString::fromStdString("Journal: " + JournalFile()), this), 1);
  fSites = new QComboBox(this);
  fSites->setObjectName("SiteFilterCB");
  fSites->addItem("All sites");
  std::set<std::string> names;
  for (const TJournalRun& r : fRuns)
    if (!r.Site.empty()) names.insert(r.Site);
  for (const std::string& n : names) fSites->addItem(QString::fromStdString(n));
  head->addWidget(new QLabel("&Site:", this));
  head->addWidget(fSites);
  auto* split = new QSplitter(Qt::Vertical, this);
  fList = new QListWidget(split);
  fList->setObjectName("RunList");
  fDetails = new QPlainTextEdit(split);
  fDetails->setObjectName("RunDetails");
  fDetails->setReadOnly(true);
  // A line longer than the window wraps rather than running out of sight.
  fDetails->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  fList->setWordWrap(true);
  top->addWidget(split, 1);
  // A whole upload writes every line, most of them as the PBX held them: those only on request.
  fAllLines = new QCheckBox("Show also the lines the PBX held already as they were sent", this);
  fAllLines->setObjectName("AllLinesCx");
  top->addWidget(fAllLines);
  connect(fList, &QListWidget::currentRowChanged, this, [this] { ShowDetails(); });
  connect(fAllLines, &QCheckBox::toggled, this, [this] { ShowDetails(); });
  const int site = Site.empty() ? 0 : fSites->findText(QString::fromStdString(Site), Qt::MatchFixedString);
  fSites->setCurrentIndex(site > 0 ? site : 0);
  connect(fSites, &QComboBox::currentIndexChanged, this, [this] { Fill(); });
  Fill();
  auto* box = new QDialogButtonBox(QDialogButtonBox::Close, this);
  box->button(QDialogButtonBox::Close)->setObjectName("CloseBtn");
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  top->addWidget(box);
  resize(760, 480);
}

void TUploadHistoryDlg::Fill() {
  const std::string site = fSites->currentIndex() > 0 ? fSites->currentText().toStdString() : "";
  fShown.clear();
  fList->clear();
  for (size_t i = fRuns.size(); i-- > 0;)
    if (site.empty() || SameTextAscii(fRuns[i].Site, site)) fShown.push_back(i);
  for (const size_t i : fShown) {
    const QString text = QString::fromStdString(JournalRunText(fRuns[i], false));
    fList->addItem(text.section('\n', 0, 0));
    fList->item(fList->count() - 1)->setToolTip(text);
  }
  if (fRuns.empty()) fList->addItem("No upload in the journal yet.");
  if (!fShown.empty()) fList->setCurrentRow(0);
}

void TUploadHistoryDlg::ShowDetails() {
  fDetails->clear();
  const int row = fList->currentRow();
  if (row < 0 || row >= static_cast<int>(fShown.size())) return;
  fDetails->setPlainText(QString::fromStdString(
      JournalRunText(fRuns[fShown[size_t(row)]], true, !fAllLines->isChecked())));
}
