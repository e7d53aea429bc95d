#include "SystemParam.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "DgtEdit.h"
#include "Errors.h"  // Format
#include "Feedback.h"
#include "FormParts.h"
#include "HelpContext.h"
#include "SysData.h"

namespace {

constexpr int kFeatureRows = 10;

QListWidget* CheckList(const char* Name, const QStringList& Entries, QWidget* Parent) {
  auto* l = new QListWidget(Parent);
  l->setObjectName(Name);
  for (const QString& e : Entries) {
    auto* item = new QListWidgetItem(e, l);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  return l;
}

// A check list entry from a digit: 1 checked, another digit unchecked, nothing known grayed.
void SetEntry(QListWidget* List, int Row, int Digit) {
  List->item(Row)->setCheckState(Digit < 0 ? Qt::PartiallyChecked
                                           : Digit == 1 ? Qt::Checked : Qt::Unchecked);
}

// The digit an entry writes: 1 or 0, -1 for a grayed entry that must leave the item.
int EntryDigit(const QListWidget* List, int Row) {
  switch (List->item(Row)->checkState()) {
    case Qt::Checked: return 1;
    case Qt::Unchecked: return 0;
    default: return -1;
  }
}

int DigitAt(const std::string& S, size_t At) {
  return At < S.size() && S[At] >= '0' && S[At] <= '9' ? S[At] - '0' : -1;
}

// Cells of the feature numbers: at most four of the digits, * and #.
class TFeatureNumberDelegate : public TItemTextDelegate {
 public:
  using TItemTextDelegate::TItemTextDelegate;
  QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                        const QModelIndex& Index) const override {
    QWidget* w = TItemTextDelegate::createEditor(Parent, Option, Index);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      static const QRegularExpression kCode("[0-9*#]{0,4}");
      const QValidator* breakers = edit->validator();
      edit->setValidator(new QRegularExpressionValidator(kCode, edit));
      delete breakers;
    }
    return w;
  }
};

const char* const kFeatureCodes[] = {"105S", "106S", "108S", "109S", "112S",
                                     "117S", "118S", "119S", "122S", "126S"};

}  // namespace

TSystemParamDlg::TSystemParamDlg(QWidget* Parent) : TProgDlg(Parent) {
  setObjectName("SystemParamDlg");
  setWindowTitle("System parameters");
  auto* top = new QVBoxLayout(this);
  auto* pages = new QTabWidget(this);
  pages->setObjectName("PageControl1");
  top->addWidget(pages);
  QWidget* p[4];
  QFormLayout* form[3];
  // The pages keep their numbers as captions; the tab's tip says what each holds.
  const char* const names[4] = {"General", "Calls", "Features", "DTMF and numbers"};
  for (int i = 0; i < 4; ++i) {
    p[i] = new QWidget;
    p[i]->setObjectName(QString("Page%1").arg(i + 1));
    if (i < 3) form[i] = new QFormLayout(p[i]);
    pages->addTab(p[i], QString::number(i + 1));
    pages->setTabToolTip(i, names[i]);
    pages->setTabWhatsThis(i, names[i]);
  }
  using C = TItemConv;
  TBindingTable& t = Bindings();

  // Page 1: the password, the operator, the plan and the settings of calls and lines.
  fPasswordEdit = new TDgtEdit(p[0]);
  fPasswordEdit->setObjectName("SysPswEdit");
  fPasswordEdit->setMaxLength(4);
  form[0]->addRow("System Password:", fPasswordEdit);
  // Jacks 1 to 24: the PBX refuses an operator on any other.
  QStringList jacks;
  for (int j = 1; j <= 24; ++j) jacks << QString::number(j);
  t.Add(Combo(form[0], "OperatorCb", "Operator jack:", jacks), "008S", 1, C::Index1TwoDigit);
  fPlan = Combo(form[0], "NumPlanCb", "Numbering plan:",
                {"Plan1: Extensions 100-199", "Plan2: Extensions 100-499",
                 "Plan3: Extensions 10-49", "stay with current plan"},
                &fPlanLbl);
  fPlanLbl->setObjectName("NumPlanLbl");
  t.Add(Combo(form[0], "LCDdisplayCb", "LCD Time Display Selection:", {"12 Hour", "24 Hour"}),
        "010S", 1, C::Index);
  t.Add(Combo(form[0], "HoldMusicCb", "Hold Music Selection:",
              {"Internal source", "External source", "Iternal tone"}),
        "111S", 1, C::Index);
  t.Add(Combo(form[0], "RedialRepeatCb", "Automatic Redial Repeat:",
              {"0 times", "3 times", "10 times", "15 times"}),
        "113S", 1, C::Index);
  t.Add(Combo(form[0], "RedialTimeCb", "Automatic Redial Interval:", {"40 sec", "60 sec"}),
        "114S", 1, C::Index);
  t.Add(Combo(form[0], "BellFreqCb", "Bell Frequency:", {"20 Hz", "25 Hz"}), "120S", 1,
        C::Index);
  fPulse = Combo(form[0], "PulseCb", "Pulse break ratio:", {"66%", "60%"}, &fPulseLbl);
  t.Add(fPulse, "123S", 1, C::Index);
  t.Add(Combo(form[0], "SLTringCb", "SLT Ringing Mode Selection:",
              {"5 sec cycle", "3 sec cycle"}),
        "124S", 1, C::Index);

  // Page 2: transfer, hold, flash, ringing, conference, line access.
  t.Add(Combo(form[1], "OneTouchCb", "One-Touch Transfer Using a DSS Button:",
              {"Press the TRANSFER, then the DSS btn to transfer",
               "Press the DSS button to transfer an outside call"}),
        "005S", 1, C::Index);
  t.Add(Combo(form[1], "HoldmodeCb", "Hold Mode Selection:",
              {"1: To hold a line or transfer a call, flash the hookswitch",
               "2: Hold - flash the hooksw and dial 20. Transfer - flash the hooksw",
               "3: To hold or transfer a call, flash the hookswitch and dial 20"}),
        "104S", 1, C::Index);
  t.Add(Combo(form[1], "FlashModeCb", "The Flash signal is sent:",
              {QString::fromUtf8("during the programmed time in [418] \u201CFlash Time\u201D"),
               "if FLASH btn was pressed longer than the time in [418]."}),
        "110S", 1, C::Index);
  t.Add(Combo(form[1], "ExtRingCb", "Extension Ringing Pattern Selection:",
              {"Single", "Double", "Triple"}),
        "115S", 1, C::Index);
  t.Add(Combo(form[1], "ConfCb", "Conference Pattern Selection:",
              {"3-party C-0 E-3: No external parties can attend a 3-party conference.",
               "3-party C-1 E-3: One external party can attend a 3-party conference.",
               "3-party C-2 E-3: Max of 2 external parties can attend a 3-party conference.",
               "5-party C-2 E-5: Max of 2 external parties can attend a 5-party conference."}),
        "116S", 1, C::Index);
  t.Add(Combo(form[1], "AutoAccessNumCb",
              "Automatic Outside (CO) Line Access Number Selection:", {"Dial '0'", "Dial '9'"}),
        "121S", 1, C::Index);

  // Page 3: the on/off features, one program each.
  fFeatures = CheckList(
      "CheckListBox1",
      {"confirmation tone before starting/ending a conference call",
       "confirmation tone before paging is sent over the external pager",
       "station locked extension sends a flash signal during a conversation",
       "user can answer the call by pressing the flashing CO button",
       "DSS button indicates the FWD or DND status",
       "confirmation tone when the Call Pickup feature is activated",
       "pulse dialing during a conversation", "redialing after Pulse to Tone conversion",
       "automatic rotation for outside (CO) Line Access",
       "making an intercom call just by pressing a DSS button"},
      p[2]);
  form[2]->addRow(fFeatures);
  for (int i = 0; i < 10; ++i)
    t.AddCustom(
        fFeatures, kFeatureCodes[i],
        [this, i](const TCmdData& B) { SetEntry(fFeatures, i, B.ItemInt(1) < 0 ? -1 : B.ItemInt(1)); },
        [this, i](TCmdData& B) { StoreValue(B, 1, TItemConv::Check, EntryDigit(fFeatures, i)); });

  // Page 4: DTMF receivers, call pickup groups, the second feature numbering plan.
  QStringList receivers, groups;
  for (int i = 1; i <= 6; ++i) receivers << QString("DTMF receiver %1").arg(i);
  for (int i = 1; i <= 8; ++i) groups << QString("Extension grp %1").arg(i);
  fDTMF = CheckList("DTMFcxl", receivers, p[3]);
  auto* lists = new QVBoxLayout;
  lists->addWidget(Label("DTMF Receiver Check:", fDTMF, p[3]));
  lists->addWidget(fDTMF);
  t.AddCustom(
      fDTMF, "107S",
      [this](const TCmdData& B) {
        const std::string flags = B.ItemStr(1);
        for (int i = 0; i < 6; ++i)
          SetEntry(fDTMF, i, flags.size() >= 6 ? (flags[size_t(i)] == '1' ? 1 : 0) : 0);
      },
      [this](TCmdData& B) {
        std::string flags = B.ItemStr(1);
        if (flags.size() < 6) return;  // not a flag string the dialog can read: left alone
        for (int i = 0; i < 6; ++i) {
          const int d = EntryDigit(fDTMF, i);
          if (d >= 0) flags[size_t(i)] = char('0' + d);
        }
        B.SetItemStr(1, flags);
      });
  fPickup = CheckList("CallPickupCxl", groups, p[3]);
  lists->addWidget(Label("Call pickup by just going off-hook:", fPickup, p[3]));
  lists->addWidget(fPickup);
  lists->addStretch();
  for (QListWidget* l : {fDTMF, fPickup})
    FitRows(l);
  t.AddCustom(
      fPickup, "127S",
      [this](const TCmdData& B) {
        const std::string s = B.ItemStr(1);
        for (int g = 0; g < 8; ++g)
          SetEntry(fPickup, g, s.size() >= 9 ? DigitAt(s, size_t(g < 4 ? g : g + 1)) : 0);
      },
      [this](TCmdData& B) {
        std::string s = B.ItemStr(1);
        if (s.size() < 9) return;
        for (int g = 0; g < 8; ++g) {
          const int d = EntryDigit(fPickup, g);
          if (d >= 0) s[size_t(g < 4 ? g : g + 1)] = char('0' + d);
        }
        B.SetItemStr(1, s);
      });
  fFeatureNumbers = new QTableWidget(kFeatureRows, 2, p[3]);
  fFeatureNumbers->setObjectName("NumPlanGrid");
  fFeatureNumbers->setItemDelegateForColumn(1, new TFeatureNumberDelegate(fFeatureNumbers));
  fFeatureNumbers->setHorizontalHeaderLabels({" #", "Feature number"});
  fFeatureNumbers->horizontalHeader()->setStretchLastSection(true);
  fFeatureNumbers->setColumnWidth(0, 34);
  fFeatureNumbers->setColumnWidth(1, 110);
  fFeatureNumbers->verticalHeader()->hide();
  for (int r = 0; r < kFeatureRows; ++r) {
    auto* label = new QTableWidgetItem(QString(" %1").arg(50 + r));
    label->setFlags(Qt::ItemIsEnabled);
    fFeatureNumbers->setItem(r, 0, label);
    fFeatureNumbers->setItem(r, 1, new QTableWidgetItem);
  }
  ShowRows(fFeatureNumbers, kFeatureRows);
  auto* numbers = new QVBoxLayout;
  numbers->addWidget(Label("Second Feature Numbering Plan:", fFeatureNumbers, p[3]));
  numbers->addWidget(fFeatureNumbers);
  auto* page4 = new QHBoxLayout(p[3]);
  page4->addLayout(lists);
  page4->addLayout(numbers, 1);

  AddOkCancelHelp(this, top, kHelpSystemParams, [this] { TryAccept(); });
  connect(fPlan, &QComboBox::currentIndexChanged, this, [this](int Entry) {
    if (fLoadingPlan || Entry == fLoadedPlan || Entry < 0 || Entry >= kStayEntry) return;
    ShowInformation("Numbering plan was changed - all Extensions numbers will be set to "
                    "default values!");
  });

  SetPages(pages);
  SetGroup(grSystemParams);
}

void TSystemParamDlg::TryAccept() {
  if (fPasswordEdit->text().size() != 4) {
    ShowInformation("System password must consist from 4 digits!");
    return;
  }
  accept();
}

void TSystemParamDlg::LoadControls() {
  TSysData& s = Store();
  fPassword = s.Cmd002S.ItemStr(1).substr(0, 4);
  fPasswordEdit->setText(QString::fromStdString(fPassword));
  const bool pulse = s.Version.Skip123S == 0;
  fPulse->setEnabled(pulse);
  fPulseLbl->setEnabled(pulse);
  const bool online = OnLine();
  fPlan->setEnabled(online);
  fPlanLbl->setEnabled(online);
  TProgDlg::LoadControls();
  const TCmdList& numbers = s.List012S;
  for (int r = 0; r < kFeatureRows; ++r)
    fFeatureNumbers->item(r, 1)->setText(r < numbers.Count() ? ItemText(numbers.Items(r), 1)
                                                              : QString());
  LoadPlan();
}

void TSystemParamDlg::LoadPlan() {
  fLoadingPlan = true;
  const TCmd009S& numbers = Store().Extensions.Cmd009;
  const TCmdData& block = numbers.PlanBlock;
  int plan = 0;
  if (block.IsActual() && !block.Data().empty()) {
    if (fPlan->count() > kStayEntry) fPlan->removeItem(kStayEntry);
    const int p = block.ItemInt(1);
    fPlan->setCurrentIndex(p >= 1 && p <= 3 ? p - 1 : -1);
  } else if (numbers.DetectPlan(plan)) {
    fPlan->setCurrentIndex(plan - 1);
  } else {
    fPlan->setCurrentIndex(kStayEntry);
  }
  fLoadedPlan = fPlan->currentIndex();
  fLoadingPlan = false;
}

void TSystemParamDlg::StoreControls() {
  TSysData& s = Store();
  // The digit edit takes digits only and at most four of them; OK took exactly four.
  s.Cmd002S.SetItemStr(1, fPasswordEdit->text().toStdString());
  TProgDlg::StoreControls();
  TCmdList& numbers = s.List012S;
  for (int r = 0; r < std::min(kFeatureRows, numbers.Count()); ++r) {
    const std::string text = fFeatureNumbers->item(r, 1)->text().toStdString();
    numbers.Items(r).SetItemStr(1, text.empty() ? "^" : text);
  }
  StorePlan();
  if (s.Cmd002S.ItemStr(1) != fPassword)
    ShowInformation(
        "Access password was changed! Please, correct value in the 'Settings->System' dialog, "
        "otherwise connection will be impossible next time!");
}

void TSystemParamDlg::StorePlan() {
  // Only a plan the user chose here is written: the PBX answers a plan line by setting every
  // extension number to the plan's default, so the plan shown as the dialog opened (read, or
  // told from the numbers) is never sent on its own.
  const int entry = fPlan->currentIndex();
  if (entry < 0 || entry >= kStayEntry || entry == fLoadedPlan) return;
  TCmdData& block = Store().Extensions.Cmd009.PlanBlock;
  fPlanChosen = true;
  block.SetData(Format("009S00/%d/", entry + 1));
  block.Changed = true;
  block.Stamp();
}

bool TSystemParamDlg::UploadAll() {
  return TellPlanKept(TProgDlg::UploadAll());
}

bool TSystemParamDlg::UploadChanged() {
  return TellPlanKept(TProgDlg::UploadChanged());
}

bool TSystemParamDlg::TellPlanKept(bool Uploaded) {
  const TCmdData& plan = Store().Extensions.Cmd009.PlanBlock;
  // Written, the block is no longer changed; refused or unanswered, the PBX kept its plan and
  // its numbers, and so does the store (the failed block is not actual, so no later upload
  // sends it unasked).
  if (fPlanChosen && plan.Changed)
    ShowInformation("The numbering plan was not changed: the PBX did not take the plan. The "
                    "extension numbers stay as they were.");
  return Uploaded;
}

void EditSystemParams(QWidget* Parent, bool Force) {
  TSystemParamDlg dlg(Parent);
  dlg.Execute(Force);
}
