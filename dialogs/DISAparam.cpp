#include "DISAparam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "Errors.h"  // Format
#include "Feedback.h"
#include "FieldFilter.h"
#include "FormParts.h"
#include "HelpContext.h"
#include "PbxPrograms.h"
#include "SysData.h"

namespace {

constexpr int kAADigits = 10, kNoDialModes = 2, kCodeRows = 4, kJacks = 24;
constexpr int kGroups = 8;  // "EXG 1" to "EXG 8" follow "none" in an attendant choice
constexpr int kMinCodeLength = 4;
constexpr int kMaxUcdMinutes = 32;

QStringList Numbered(const char* Prefix, int From, int To) {
  QStringList s;
  for (int i = From; i <= To; ++i) s << QString("%1 %2").arg(Prefix).arg(i);
  return s;
}

QStringList Seconds(std::initializer_list<int> Values) {
  QStringList s;
  for (int v : Values) s << QString("%1 sec").arg(v);
  return s;
}

const QStringList& RingTimes() {
  static const QStringList times = Seconds({10, 20, 30, 40, 60, 120});
  return times;
}

// A check list entry by the check box convention, and the digit it writes (-1: grayed, left).
void SetCheck(QListWidgetItem* Item, int Value) {
  Item->setCheckState(Value < 0 ? Qt::PartiallyChecked
                                : Value == 1 ? Qt::Checked : Qt::Unchecked);
}

int CheckDigit(const QListWidgetItem* Item) {
  switch (Item->checkState()) {
    case Qt::Checked: return 1;
    case Qt::Unchecked: return 0;
    default: return -1;
  }
}

}  // namespace

// ---- the automatic attendant -------------------------------------------------------------

int AutoAttendantEntry(const TCmdData& Block) {
  const std::string kind = Block.ItemStr(1);
  const int target = Block.ItemInt(2);
  if (kind == "2") return target >= 1 && target <= kGroups ? target : -1;
  if (kind == "1") return target >= 1 && target <= kJacks ? kGroups + target : -1;
  return 0;
}

void StoreAutoAttendant(TCmdData& Block, int Entry) {
  if (Entry < 0 || Entry > kGroups + kJacks) return;
  if (Entry == 0) {
    Block.SetItemCount(1);
    Block.SetItemStr(1, "0");
    return;
  }
  Block.SetItemCount(2);
  const bool group = Entry <= kGroups;
  Block.SetItemStr(1, group ? "2" : "1");
  Block.SetItem2d(2, group ? Entry : Entry - kGroups);
}

// ---- DISA --------------------------------------------------------------------------------

TDISAprmDlg::TDISAprmDlg(QWidget* Parent) : TProgDlg(Parent) {
  setObjectName("DISAprmDlg");
  setWindowTitle("DISA");
  auto* top = new QVBoxLayout(this);
  auto* pages = new QTabWidget(this);
  pages->setObjectName("PageControl1");
  top->addWidget(pages);
  auto* mainPage = new QWidget;
  mainPage->setObjectName("MainPage");
  auto* aaPage = new QWidget;
  aaPage->setObjectName("AAPage");
  auto* securityPage = new QWidget;
  securityPage->setObjectName("SecurityPage");
  pages->addTab(mainPage, "Main");
  pages->addTab(aaPage, "Auto Attendant");
  pages->addTab(securityPage, "Security && fax");
  using C = TItemConv;
  TBindingTable& t = Bindings();

  // Main: the message mode, the timings, the busy and no-answer handling.
  auto* main = new QFormLayout(mainPage);
  t.Add(Combo(main, "OGMmodeCb", "OGM Mode:",
              {"1: DISA1 + DISA1", "2: DISA1 + DISA2", "3: UCD + UCD", "4: UCD + UCD END",
               "5: UCD + DISA1", "6: UCD + DISA"}),
        "502S", 1, C::Index);
  t.Add(Combo(main, "DelayTimeCb", "DISA Delayed Answer Time:", Seconds({0, 3, 6, 12})),
        "504S", 1, C::Index);
  t.Add(Combo(main, "AfterOGMtimeCb", "DISA Waiting Time after OGM:", Seconds({0, 5, 10, 15})),
        "505S", 1, C::Index);
  t.Add(Combo(main, "BusyModeCb", "DISA Busy Mode:", {"Disconnect", "Call Waiting", "DISA2"}),
        "506S", 1, C::Index);
  t.Add(Combo(main, "IRNAmodeCb", "Intercept No Answ Mode:", {"Disconnect", "Intercept"}),
        "507S", 1, C::Index1);
  t.Add(Combo(main, "RingBeforeCb", "DISA Ringing Time before Intercpt NoAnsw:", RingTimes()),
        "508S", 1, C::Index);
  // The tenth DISA block of the store, program 509.
  t.Add(Combo(main, "RingAfterCb", "DISA Ringing Time after Intercept NoAnsw", RingTimes()),
        "509S", 1, C::Index);
  t.Add(Combo(main, "CyclicCb", "Cyclic Tone Detection:",
              {"Disable", "2 times", "3 times", "4 times"}),
        "513S", 1, C::Index);
  t.Add(Combo(main, "IterceptIntCb", "Intercept Time for Internal DISA:", Seconds({3, 6, 9})),
        "515S", 1, C::Index);
  t.Add(Combo(main, "MuteTime", "DISA OGM Mute Time:", Seconds({0, 2, 4, 6})), "519S", 1,
        C::Index);
  auto* noDial = new QGroupBox("DISA No Dial Mode:", mainPage);
  noDial->setObjectName("NoDialModeBox");
  auto* noDialForm = new QFormLayout(noDial);
  fNoDial[0] = Combo(noDialForm, "NoDialMode1Cb", "DISA 1:", {"Disconnect", "Intercept"});
  fNoDial[1] = Combo(noDialForm, "NoDialMode2Cb", "DISA 2:", {"Disconnect", "Intercept"});
  main->addRow(noDial);

  // Auto Attendant: the mode, the wait, the ten digits, the extensions taking outside calls.
  auto* aa = new QVBoxLayout(aaPage);
  auto* aaTopForm = new QFormLayout;
  aa->addLayout(aaTopForm);
  t.Add(Combo(aaTopForm, "DISAincModeCb", "DISA Incoming Dialing Mode:",
              {"Without AA", "With AA"}),
        "500S", 1, C::Index);
  t.Add(Combo(aaTopForm, "AAtimeCb", "DISA AA Wait Time:", Seconds({1, 2, 3, 4, 5})), "517S", 1,
        C::Index);
  const QStringList targets = QStringList{"none"} + Numbered("EXG", 1, kGroups) +
                              Numbered("Jack", 1, kJacks);
  auto* digits = new QGridLayout;
  aa->addLayout(digits);
  for (int d = 0; d < kAADigits; ++d) {
    auto* cb = new QComboBox(aaPage);
    cb->setObjectName(QString("AAcb%1").arg(d));
    cb->addItems(targets);
    cb->setCurrentIndex(-1);
    auto* label = new QLabel(QString("AA%1:").arg(d), aaPage);
    label->setBuddy(cb);
    digits->addWidget(label, d % 5, (d / 5) * 2);
    digits->addWidget(cb, d % 5, (d / 5) * 2 + 1);
    fAA[size_t(d)] = cb;
  }
  aa->addWidget(new QLabel("Extension to receive an outside call:", aaPage));
  fIncoming = new QListWidget(aaPage);
  fIncoming->setObjectName("IncomingCxl");
  for (const QString& jack : Numbered("Jack", 1, kJacks)) {
    auto* item = new QListWidgetItem(jack, fIncoming);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  // Two columns of twelve.
  fIncoming->setFlow(QListView::TopToBottom);
  fIncoming->setWrapping(true);
  fIncoming->setResizeMode(QListView::Adjust);
  fIncoming->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fIncoming->setFixedHeight(kJacks / 2 * fIncoming->sizeHintForRow(0) +
                            2 * fIncoming->frameWidth() + 4);
  aa->addWidget(fIncoming);

  // Security and fax.
  auto* security = new QFormLayout(securityPage);
  t.Add(Combo(security, "SecurityCb", "DISA Security Type:", {"None Security", "Trunk", "All"}),
        "511S", 1, C::Index);
  QStringList lengths;
  for (int n = kMinCodeLength; n <= 10; ++n) lengths << QString("%1 digits").arg(n);
  fCodeLen = Combo(security, "CodeLenCb", "Lenght of security code:", lengths);
  t.Add(fCodeLen, "530S", 1, C::Index);
  auto* tone = new QCheckBox("DISA Tone Selection after the Security Code", securityPage);
  tone->setObjectName("SecurityToneCx");
  security->addRow(tone);
  t.Add(tone, "518S", 1, C::Check);
  fCodes = new QTableWidget(kCodeRows, 2, securityPage);
  fCodes->setObjectName("CodesGrid");
  fCodes->horizontalHeader()->hide();
  fCodes->verticalHeader()->hide();
  fCodes->setColumnWidth(0, 30);
  fCodes->setColumnWidth(1, 120);
  // Typed: digits up to the chosen length; pasted: the item's ten digits at most, so that a
  // code longer than the chosen length is still refused on OK rather than cut to fit.
  const TItemSpec& code = TextItemLayout("512S");
  fCodes->setItemDelegateForColumn(
      1, new TFilteredCellDelegate(code, code.Width, [this] { return CodeLength(); }, fCodes));
  for (int r = 0; r < kCodeRows; ++r) {
    auto* label = new QTableWidgetItem(QString(" %1").arg(r + 1));
    label->setFlags(Qt::ItemIsEnabled);
    fCodes->setItem(r, 0, label);
    fCodes->setItem(r, 1, new QTableWidgetItem);
  }
  fCodes->setFixedHeight(kCodeRows * fCodes->rowHeight(0) + 2 * fCodes->frameWidth());
  fCodes->setFixedWidth(150 + 2 * fCodes->frameWidth());
  security->addRow("Security codes:", fCodes);
  t.Add(Combo(security, "FaxJackCb", "FAX Connection:",
              QStringList{"none"} + Numbered("Jack", 1, kJacks)),
        "503S", 1, C::TwoDigit);
  t.Add(Combo(security, "FaxToneCb", "FAX Tone Detection:", {"1 Time", "2 Times"}), "514S", 1,
        C::Index);

  AddOkCancelHelp(this, top, kHelpDISA, [this] { TryAccept(); });
  SetPages(pages);
  SetGroup(grDISA);
}

int TDISAprmDlg::CodeLength() const {
  return kMinCodeLength + std::max(0, fCodeLen->currentIndex());
}

void TDISAprmDlg::TryAccept() {
  CommitOpenEditor(fCodes);
  const int length = CodeLength();
  for (int r = 0; r < kCodeRows; ++r) {
    const qsizetype n = fCodes->item(r, 1)->text().size();
    if (n != 0 && n != length) {
      ShowInformation(
          Format("Each of security codes must consist from %d digits (or be empty)!", length));
      return;
    }
  }
  accept();
}

void TDISAprmDlg::LoadControls() {
  TProgDlg::LoadControls();
  const TSysData& s = Store();
  fUseAA = s.List501S.Count() >= kAADigits;
  fUseNoDial = s.List510S.Count() >= kNoDialModes;
  fUseCodes = s.List512S.Count() >= kCodeRows;
  fUseIncoming = s.List516E.Count() >= kJacks;
  for (int d = 0; d < kAADigits; ++d) {
    fAA[size_t(d)]->setEnabled(fUseAA);
    fAA[size_t(d)]->setCurrentIndex(fUseAA ? AutoAttendantEntry(s.List501S.Items(d)) : -1);
  }
  for (int m = 0; m < kNoDialModes; ++m) {
    fNoDial[size_t(m)]->setEnabled(fUseNoDial);
    if (fUseNoDial)
      LoadItem(fNoDial[size_t(m)], s.List510S.Items(m), 1, TItemConv::Index);
    else
      fNoDial[size_t(m)]->setCurrentIndex(-1);
  }
  fCodes->setEnabled(fUseCodes);
  for (int r = 0; r < kCodeRows; ++r)
    fCodes->item(r, 1)->setText(fUseCodes ? ItemText(s.List512S.Items(r), 1) : QString());
  fIncoming->setEnabled(fUseIncoming);
  for (int j = 0; j < kJacks; ++j)
    SetCheck(fIncoming->item(j), fUseIncoming ? s.List516E.Items(j).ItemInt(1) : 0);
}

void TDISAprmDlg::StoreControls() {
  TProgDlg::StoreControls();
  TSysData& s = Store();
  if (fUseAA)
    for (int d = 0; d < kAADigits; ++d)
      StoreAutoAttendant(s.List501S.Items(d), fAA[size_t(d)]->currentIndex());
  if (fUseNoDial)
    for (int m = 0; m < kNoDialModes; ++m)
      StoreItem(fNoDial[size_t(m)], s.List510S.Items(m), 1, TItemConv::Index);
  if (fUseCodes)
    for (int r = 0; r < kCodeRows; ++r) {
      // As typed, not trimmed: the length rule counted these very characters.
      const std::string code = fCodes->item(r, 1)->text().toStdString();
      s.List512S.Items(r).SetItemStr(1, code.empty() ? std::string("^") : code);
    }
  if (fUseIncoming)
    for (int j = 0; j < kJacks; ++j)
      StoreValue(s.List516E.Items(j), 1, TItemConv::Check, CheckDigit(fIncoming->item(j)));
}

// ---- UCD ---------------------------------------------------------------------------------

int UcdBusySeconds(const TCmdData& Block) {
  const int amount = std::max(0, Block.ItemInt(1));
  return Block.ItemInt(2) != 0 ? amount : amount * 60;
}

void StoreUcdBusyTime(TCmdData& Block, int Seconds) {
  Seconds = std::max(0, Seconds);
  const int minutes = std::min(Seconds / 60, kMaxUcdMinutes);
  int seconds = Seconds % 60;
  if (minutes == 0 && seconds == 0) seconds = 1;
  Block.SetItemCount(2);
  Block.SetItem2d(1, minutes > 0 ? minutes : seconds);
  Block.SetItemInt(2, minutes > 0 ? 0 : 1);
}

TUCDprmDlg::TUCDprmDlg(QWidget* Parent) : TProgDlg(Parent) {
  setObjectName("UCDprmDlg");
  setWindowTitle("UCD");
  auto* top = new QVBoxLayout(this);
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  top->addWidget(page);
  using C = TItemConv;
  TBindingTable& t = Bindings();
  t.Add(Combo(form, "EXGcb", "Extension group which works as the UCD group:",
              Numbered("EXG", 1, kGroups)),
        "520S", 1, C::Index);
  fBusyTime = new TTimeField(page);
  fBusyTime->setObjectName("BusyTimePk");
  fBusyTime->setDisplayFormat("mm:ss");
  fBusyTime->setTimeRange(QTime(0, 0), QTime(0, 59, 59));
  form->addRow("UCD Busy Waiting Time (<32min):", fBusyTime);
  t.AddCustom(
      fBusyTime, "521S",
      [this](const TCmdData& B) {
        fBusyTime->setTime(QTime(0, 0).addSecs(std::min(UcdBusySeconds(B), 59 * 60 + 59)));
      },
      [this](TCmdData& B) {
        StoreUcdBusyTime(B, qRound(fBusyTime->time().msecsSinceStartOfDay() / 1000.0));
      });
  t.Add(Combo(form, "IntervalTimeCb", "UCD OGM Message Interval Time:",
              {"30 sec", "1 min", "1.5 min", "2 min"}),
        "522S", 1, C::Index);
  t.Add(Combo(form, "BusyModeCb", "UCD Busy Mode:", {"Disconnect", "Intercept"}), "523S", 1,
        C::Index);
  t.Add(Combo(form, "InterceptModeCb", "UCD Intercept Mode if No Answer:",
              {"Disconnect", "Intercept"}),
        "524S", 1, C::Index);
  t.Add(Combo(form, "BeforeTimeCb", "UCD Ringing Time before Intercept:", RingTimes()), "525S", 1,
        C::Index);
  t.Add(Combo(form, "AfterTimeCb", "UCD Ringing Time after Intercept:", RingTimes()), "526S", 1,
        C::Index);
  AddOkCancelHelp(this, top, kHelpUCD);
  SetGroup(grUCD);
}

void EditDISA(QWidget* Parent, bool Force) {
  TDISAprmDlg dlg(Parent);
  dlg.Execute(Force);
}

void EditUCD(QWidget* Parent, bool Force) {
  TUCDprmDlg dlg(Parent);
  dlg.Execute(Force);
}
