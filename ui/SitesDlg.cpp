#include "SitesDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "Feedback.h"
#include "HelpContext.h"
#include "Keyring.h"
#include "Settings.h"
#include "Text.h"

namespace {

// The combos' first entry is "from the settings": a site need not repeat what TALVEN.INI says.
const char* const kFromSettings = "(settings)";

QComboBox* Choices(QWidget* Parent, const char* Name, const QStringList& Items) {
  auto* c = new QComboBox(Parent);
  c->setObjectName(Name);
  c->addItem(kFromSettings);
  c->addItems(Items);
  return c;
}

void Select(QComboBox* C, const std::string& Text) {
  const int i = Text.empty() ? 0 : C->findText(QString::fromStdString(Text), Qt::MatchFixedString);
  C->setCurrentIndex(i < 0 ? 0 : i);
}

std::string Chosen(const QComboBox* C) {
  return C->currentIndex() <= 0 ? std::string() : C->currentText().toLower().toStdString();
}

int ChosenNumber(const QComboBox* C) { return C->currentIndex() <= 0 ? 0 : C->currentText().toInt(); }

}  // namespace

bool TakeKeyringNote() {
  static bool said = false;
  const bool first = !said;
  said = true;
  return first;
}

TSitesDlg::TSitesDlg(QWidget* Parent, const std::string& BookFile, const std::string& Current)
    : QDialog(Parent), fBook(BookFile) {
  setObjectName("SitesDlg");
  setWindowTitle("Sites");
  auto* top = new QHBoxLayout(this);
  fList = new QListWidget(this);
  fList->setObjectName("SiteList");
  top->addWidget(fList, 1);
  auto* right = new QVBoxLayout;
  top->addLayout(right, 2);
  auto* form = new QFormLayout;
  right->addLayout(form);
  const auto edit = [this, form](const char* Name, const QString& Label, int Max) {
    auto* e = new QLineEdit(this);
    e->setObjectName(Name);
    e->setMaxLength(Max);
    form->addRow(Label, e);
    return e;
  };
  fName = edit("SiteNameEd", "&Name:", int(kMaxSiteName));
  fNote = edit("SiteNoteEd", "N&ote:", int(kMaxSiteNote));
  fModel = Choices(this, "SiteModelCB", {"KX-TA308", "KX-TA616", "KX-TA624"});
  form->addRow("&Model:", fModel);
  fPort = edit("SitePortEd", "&Port:", int(kMaxSitePort));
  fPort->setPlaceholderText(
      "COM1, /dev/ttyUSB0, rfc2217://HOST:PORT, tcp://HOST:PORT (empty: the settings')");
  fSpeed = Choices(this, "SiteSpeedCB", {"1200", "2400", "4800", "9600"});
  form->addRow("&Speed:", fSpeed);
  fParity = Choices(this, "SiteParityCB", {"None", "Odd", "Even", "Mark", "Space"});
  form->addRow("P&arity:", fParity);
  fDataBits = Choices(this, "SiteDataBitsCB", {"7", "8"});
  form->addRow("&Data bits:", fDataBits);
  fStopBits = Choices(this, "SiteStopBitsCB", {"1", "2"});
  form->addRow("S&top bits:", fStopBits);
  fModem = edit("SiteModemEd", "Modem n&umber:", int(kMaxModemNumber));
  fModem->setPlaceholderText("empty: a direct line");
  fPassword = edit("SitePasswordEd", "Pass&word:", int(kMaxPasswordLen));
  fPassword->setEchoMode(QLineEdit::Password);

  auto* row = new QHBoxLayout;
  right->addLayout(row);
  const auto button = [this, row](const char* Name, const QString& Text) {
    auto* b = new QPushButton(Text, this);
    b->setObjectName(Name);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
  };
  QPushButton* add = button("SiteNewBtn", "N&ew");
  QPushButton* save = button("SiteSaveBtn", "Sa&ve");
  QPushButton* remove = button("SiteRemoveBtn", "&Remove");
  auto* box = new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::Help, this);
  fConnect = box->addButton("&Connect", QDialogButtonBox::AcceptRole);
  fConnect->setObjectName("SiteConnectBtn");
  right->addStretch();
  right->addWidget(box);

  connect(add, &QPushButton::clicked, this, [this] {
    fList->setCurrentRow(-1);
    ShowSite(nullptr);
    fName->setFocus();
  });
  connect(save, &QPushButton::clicked, this, [this] { SaveSite(); });
  connect(remove, &QPushButton::clicked, this, [this] { RemoveSite(); });
  connect(fList, &QListWidget::currentRowChanged, this, [this](int Row) {
    const auto& sites = fBook.Sites();
    ShowSite(Row >= 0 && Row < int(sites.size()) ? &sites[size_t(Row)] : nullptr);
  });
  connect(fList, &QListWidget::itemDoubleClicked, fConnect, &QPushButton::click);
  connect(fConnect, &QPushButton::clicked, this, [this] {
    const int current = fList->currentRow();
    if (current < 0 || current >= int(fBook.Sites().size())) return;
    fPicked = fBook.Sites()[size_t(current)].Name;
    accept();
  });
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  SetHelpContext(this, kHelpSites);
  connect(box, &QDialogButtonBox::helpRequested, this, [] { ShowHelp(kHelpSites); });

  std::string why;
  if (!fBook.Load(why)) {
    // Nothing of a book that cannot be read is shown, and nothing can be saved over it.
    ShowError(why);
    for (QWidget* w : std::initializer_list<QWidget*>{save, remove, fConnect}) w->setEnabled(false);
  }
  Refill(Current);
  resize(720, 420);
}

void TSitesDlg::Refill(const std::string& Select) {
  fList->clear();
  int selected = -1;
  for (const TSite& s : fBook.Sites()) {
    if (SameTextAscii(s.Name, Select)) selected = fList->count();
    fList->addItem(QString::fromStdString(s.Note.empty() ? s.Name : s.Name + "  (" + s.Note + ")"));
  }
  // A damaged site is shown but cannot be picked: the file keeps it as it is.
  for (const auto& [name, why] : fBook.Damaged()) {
    auto* item = new QListWidgetItem(QString::fromStdString(name + ": " + why), fList);
    item->setFlags(Qt::NoItemFlags);
  }
  fList->setCurrentRow(selected >= 0 ? selected : fBook.Sites().empty() ? -1 : 0);
  if (fList->currentRow() < 0) ShowSite(nullptr);
  fConnect->setEnabled(!fBook.Sites().empty());
}

void TSitesDlg::ShowSite(const TSite* Site) {
  const TSite none;
  const TSite& s = Site ? *Site : none;
  fName->setText(QString::fromStdString(s.Name));
  fNote->setText(QString::fromStdString(s.Note));
  fModel->setCurrentIndex(s.Model + 1);
  fPort->setText(QString::fromStdString(s.Port));
  ::Select(fSpeed, s.Speed ? std::to_string(s.Speed) : "");
  ::Select(fParity, s.Parity);
  ::Select(fDataBits, s.DataBits ? std::to_string(s.DataBits) : "");
  ::Select(fStopBits, s.StopBits ? std::to_string(s.StopBits) : "");
  fModem->setText(QString::fromStdString(s.ModemNumber));
  fPassword->clear();
  fPassword->setPlaceholderText(!Site               ? "empty: the settings' password"
                                : s.InKeyring        ? "kept in the keyring (empty: unchanged)"
                                : s.Password.empty() ? "the settings' password"
                                                     : "kept in the site book (empty: unchanged)");
}

bool TSitesDlg::SaveSite() {
  const std::string name = fName->text().trimmed().toStdString();
  if (const std::string why = SiteNameProblem(name); !why.empty()) {
    ShowError("The site cannot be saved: " + why + ".");
    return false;
  }
  std::string why;
  TSite site;
  if (const TSite* held = fBook.Find(name, why)) site = *held;
  site.Name = site.Name.empty() ? name : site.Name;
  site.Note = fNote->text().toStdString();
  site.Model = fModel->currentIndex() - 1;
  site.Port = fPort->text().trimmed().toStdString();
  site.Speed = ChosenNumber(fSpeed);
  site.Parity = Chosen(fParity);
  site.DataBits = ChosenNumber(fDataBits);
  site.StopBits = ChosenNumber(fStopBits);
  site.ModemNumber = fModem->text().trimmed().toStdString();
  if (!fPassword->text().isEmpty()) {
    std::string note;
    KeepSitePassword(site, fPassword->text().toStdString(), note);
    if (!note.empty() && TakeKeyringNote()) ShowInformation(note);
  }
  if (!fBook.Save(site, why)) {
    ShowError(why);
    return false;
  }
  Refill(site.Name);
  return true;
}

void TSitesDlg::RemoveSite() {
  const int row = fList->currentRow();
  if (row < 0 || row >= int(fBook.Sites().size())) return;
  const TSite site = fBook.Sites()[size_t(row)];
  if (!Confirm("Remove the site \"" + site.Name + "\" from the site book?\rIts folder and "
               "backups are kept."))
    return;
  std::string why;
  if (!fBook.Remove(site.Name, why)) {
    ShowError(why);
    return;
  }
  if (site.InKeyring) KeyringRemove(site.Name, why);
  Refill(std::string());
}
