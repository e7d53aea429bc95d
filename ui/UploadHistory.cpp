#include "UploadHistory.h"

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
  fDetails->setLineWrapMode(QPlainTextEdit::NoWrap);
  top->addWidget(split, 1);
  connect(fList, &QListWidget::currentRowChanged, this, [this](int Row) {
    fDetails->clear();
    if (Row < 0 || Row >= static_cast<int>(fShown.size())) return;
    fDetails->setPlainText(QString::fromStdString(JournalRunText(fRuns[fShown[size_t(Row)]], true)));
  });
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
  for (const size_t i : fShown)
    fList->addItem(QString::fromStdString(JournalRunText(fRuns[i], false)).section('\n', 0, 0));
  if (fRuns.empty()) fList->addItem("No upload in the journal yet.");
  if (!fShown.empty()) fList->setCurrentRow(0);
}
