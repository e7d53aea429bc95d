#include "DayNightDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "DateDlg.h"  // TimeFormatWithoutSeconds
#include "Errors.h"  // Format
#include "Feedback.h"
#include "FormParts.h"
#include "HelpContext.h"
#include "SysData.h"

namespace {

constexpr int kDays = 7;
const char* const kDayNames[kDays] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDayCaptions[kDays] = {"Sunday:",   "Monday:", "Tuesday:", "Wednesday:",
                                         "Thursday:", "Friday:", "Saturday:"};

}  // namespace

TDayTime ParseDayTime(const std::string& Item) {
  TDayTime t;
  if (Item == "^") return t;
  t.Set = true;
  const bool digits = Item.size() == 5 && Item.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || (Item[4] != '0' && Item[4] != '1')) {
    t.Ok = false;
    return t;
  }
  const int hh = std::stoi(Item.substr(0, 2)), mm = std::stoi(Item.substr(2, 2));
  const QTime time(hh % 12 + (Item[4] == '1' ? 12 : 0), mm);
  if (!time.isValid()) {
    t.Ok = false;
    return t;
  }
  t.Time = time;
  return t;
}

std::string DayTimeItem(const TDayTime& T) {
  if (!T.Set) return "^";
  const int h = T.Time.hour();
  const int h12 = h % 12 == 0 ? 12 : h % 12;
  return Format("%.2d%.2d%d", h12, T.Time.minute(), h >= 12 ? 1 : 0);
}

TDayNightDlg::TDayNightDlg(QWidget* Parent) : TProgDlg(Parent) {
  setObjectName("DayNightDlg");
  setWindowTitle("Day/Night/Lunch");
  auto* top = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  fMode = new QComboBox(this);
  fMode->setObjectName("DayNightMode");
  fMode->addItems({"Manual", "Auto"});
  fMode->setCurrentIndex(-1);
  form->addRow("Time (Day/Night/Lunch) Service Changing Mode:", fMode);
  top->addLayout(form);

  fTabs = new QTabBar(this);
  fTabs->setObjectName("TabControl1");
  fTabs->addTab("Day/Night");
  fTabs->addTab("Lunch");
  top->addWidget(fTabs);
  auto* grid = new QGridLayout;
  top->addLayout(grid);
  grid->addWidget(new QLabel("Starting:", this), 0, 0, 1, 2);
  grid->addWidget(new QLabel("Ending:", this), 0, 2, 1, 2);
  const QString format = TimeFormatWithoutSeconds();
  for (int col = 0; col < 2; ++col)
    for (int d = 0; d < kDays; ++d) {
      const size_t i = static_cast<size_t>(col * kDays + d);
      const QString part = col == 0 ? "Start" : "End";
      auto* box = new QCheckBox(kDayCaptions[d], this);
      box->setObjectName(QString(kDayNames[d]) + part + "CB");
      auto* picker = new TTimeField(this);
      picker->setObjectName(QString(kDayNames[d]) + part + "Picker");
      picker->setDisplayFormat(format);
      fChecks[i] = box;
      fPickers[i] = picker;
      grid->addWidget(box, 1 + d, col * 2);
      grid->addWidget(picker, 1 + d, col * 2 + 1);
      connect(box, &QCheckBox::toggled, this, [this](bool On) {
        if (!On) Unchecked();
      });
    }
  connect(fTabs, &QTabBar::currentChanged, this, [this](int Tab) {
    SaveTab(fShownTab);
    ShowTab(Tab);
  });

  AddOkCancelHelp(this, top, kHelpDayNight);

  SetGroup(grDayNight);
  Bindings().Add(fMode, "006S", 1, TItemConv::Index);
}

int TDayNightDlg::Tab() const { return fTabs->currentIndex(); }

void TDayNightDlg::Unchecked() {
  if (fLoading || fTabs->currentIndex() != 0) return;
  TSettings& s = Store().Settings;
  if (!s.ShowDayModeWarn) return;
  ShowMsgAgain(
      "Some versions of KXTA PBX do not permit disabling of Day/Night mode from the external "
      "computer.\rBetter adjust starting/ending limits.",
      s.ShowDayModeWarn, false);  // kept in the settings file with the others at exit
}

void TDayNightDlg::LoadControls() {
  TProgDlg::LoadControls();
  const TCmdList& list = Store().List007S;
  for (int d = 0; d < kDays; ++d)
    for (int i = 0; i < 4; ++i)
      fEntries[static_cast<size_t>(d)][static_cast<size_t>(i)] =
          list.Count() == kDays ? ParseDayTime(list.Items(d).ItemStr(i + 1)) : TDayTime{};
  fShownTab = fTabs->currentIndex();
  ShowTab(fShownTab);
}

void TDayNightDlg::ShowTab(int Tab) {
  fLoading = true;
  for (int col = 0; col < 2; ++col)
    for (int d = 0; d < kDays; ++d) {
      const size_t i = static_cast<size_t>(col * kDays + d);
      const TDayTime& e = fEntries[static_cast<size_t>(d)][static_cast<size_t>(Tab * 2 + col)];
      // A text that could not be read keeps its box's state and cannot be switched.
      fChecks[i]->setEnabled(e.Ok);
      if (e.Ok) fChecks[i]->setChecked(e.Set);
      fPickers[i]->setTime(e.Time);
    }
  fShownTab = Tab;
  fLoading = false;
}

void TDayNightDlg::SaveTab(int Tab) {
  for (int col = 0; col < 2; ++col)
    for (int d = 0; d < kDays; ++d) {
      const size_t i = static_cast<size_t>(col * kDays + d);
      TDayTime& e = fEntries[static_cast<size_t>(d)][static_cast<size_t>(Tab * 2 + col)];
      e.Set = fChecks[i]->isChecked();
      e.Time = fPickers[i]->time();
    }
}

void TDayNightDlg::StoreControls() {
  TProgDlg::StoreControls();
  SaveTab(fShownTab);
  TCmdList& list = Store().List007S;
  if (list.Count() != kDays) return;
  for (int d = 0; d < kDays; ++d)
    for (int i = 0; i < 4; ++i) {
      const TDayTime& e = fEntries[static_cast<size_t>(d)][static_cast<size_t>(i)];
      // An item that could not be read is written only when the user made it readable: its
      // box is disabled, so it still says what it said.
      if (!e.Ok) continue;
      list.Items(d).SetItemStr(i + 1, DayTimeItem(e));
    }
}

void EditDayNight(QWidget* Parent, bool Force) {
  TDayNightDlg dlg(Parent);
  dlg.Execute(Force);
}
