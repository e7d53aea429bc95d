#include "COparam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "DgtEdit.h"
#include "FKey.h"
#include "FormParts.h"
#include "HelpContext.h"
#include "SysData.h"
#include "Text.h"

namespace {

constexpr int kCodeRows = 8;
constexpr int kModeDIL = 1;
constexpr int kMinCPCms = 22, kMaxCPCms = 614;

}  // namespace

int CPCcodeOfMs(int Ms) {
  return (std::clamp(Ms, kMinCPCms, kMaxCPCms) - 14) / 8;
}

int CPCmsOfCode(int Code) {
  return 8 * Code + 14;
}

// ---- host PBX access code cells --------------------------------------------------------

QWidget* TPbxCodeDelegate::createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                                        const QModelIndex& Index) const {
  QWidget* w = TItemTextDelegate::createEditor(Parent, Option, Index);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    // Stricter than the item breakers alone, and it judges a paste as it judges typing: a code
    // of at most two digits, or the undefined mark of lines whose codes differ, left as it is.
    // Blanks around are the PBX's padding of a loaded item. What does not fit is refused whole.
    static const QRegularExpression kCode(" *([0-9]{0,2}|\\?\\?\\?) *");
    const QValidator* breakers = edit->validator();
    edit->setValidator(new QRegularExpressionValidator(kCode, edit));
    delete breakers;
    edit->installEventFilter(const_cast<TPbxCodeDelegate*>(this));
  }
  return w;
}

bool TPbxCodeDelegate::eventFilter(QObject* Editor, QEvent* Event) {
  if (qobject_cast<QLineEdit*>(Editor) && Event->type() == QEvent::KeyPress &&
      DigitFieldDropsKey(static_cast<QKeyEvent*>(Event)))
    return true;
  return TItemTextDelegate::eventFilter(Editor, Event);
}

// ---- the dialog ------------------------------------------------------------------------

TCOprmDlg::TCOprmDlg(QWidget* Parent, const TIntegerList& Lines)
    : TTableDlg(Parent, Lines) {
  setObjectName("COprmDlg");
  auto* top = new QVBoxLayout(this);
  fPages = new QTabWidget(this);
  fPages->setObjectName("PageControl1");
  auto* main = new QWidget;
  main->setObjectName("MainPage");
  auto* extra = new QWidget;
  extra->setObjectName("ExtraPage");
  fPages->addTab(main, "Main");
  fPages->addTab(extra, "Extra");
  top->addWidget(fPages);
  BuildMain(main);
  BuildExtra(extra);

  AddButtons(top, kHelpCOparams);

  SetPages(fPages);
  DeclareBindings();
}

void TCOprmDlg::BuildMain(QWidget* Page) {
  auto* g = new QGridLayout(Page);
  fConnected = Check("ConnectedCx", "Line is connected", Page);
  g->addWidget(fConnected, 0, 0, 1, 3);
  fDialMode = new TRadioGroup("DialModeRB", "", {"DTMF", "Pulse", "Call Block"}, Page);
  g->addWidget(fDialMode, 1, 0, 2, 1);
  fPulseSpeed = Combo("PulseSpeedCB", {"10 pps", "20 pps"}, Page);
  g->addWidget(fPulseSpeed, 1, 1, 1, 2);
  fTRG = Combo("TRGcb", {"1", "2", "3", "4", "5", "6"}, Page);
  g->addWidget(Label("CO line group:", fTRG, Page), 2, 1);
  g->addWidget(fTRG, 2, 2);

  QStringList jacks;
  for (int j = 1; j <= 24; ++j) jacks << QString("Jack %1").arg(j, 2, 10, QChar('0'));
  const QStringList modes{"Normal", "DIL", "DISA1", "DISA2", "UCD"};
  fModeDay = Combo("LineModeDay", modes, Page);
  fModeNight = Combo("LineModeNight", modes, Page);
  fModeLunch = Combo("LineModeLunch", modes, Page);
  fDILday = Combo("DILday", jacks, Page);
  fDILnight = Combo("DILnight", jacks, Page);
  fDILlunch = Combo("DILlunch", jacks, Page);
  const char* captions[] = {"Day:", "Night:", "Lunch:"};
  QComboBox* mode[] = {fModeDay, fModeNight, fModeLunch};
  QComboBox* dil[] = {fDILday, fDILnight, fDILlunch};
  for (int i = 0; i < 3; ++i) {
    g->addWidget(Label(captions[i], mode[i], Page), 3 + i, 0);
    g->addWidget(mode[i], 3 + i, 1);
    g->addWidget(dil[i], 3 + i, 2);
    dil[i]->hide();
    QComboBox* m = mode[i];
    QComboBox* d = dil[i];
    connect(m, &QComboBox::currentIndexChanged, this, [this, i, m, d] {
      fJackUndefined[static_cast<size_t>(i)] = false;
      d->setVisible(m->currentIndex() == kModeDIL);
      if (!d->isHidden() && d->currentIndex() < 0) d->setCurrentIndex(0);
    });
  }

  fPauseTime = Combo("PauseTimeCB", {"1.5 sec", "2.5 sec", "3.5 sec", "4.5 sec"}, Page);
  g->addWidget(Label("Pause time:", fPauseTime, Page), 6, 0);
  g->addWidget(fPauseTime, 6, 1);
  fFlashTime = Combo("FlashTimeCB",
                     {"80 ms", "100 ms", "160 ms", "300 ms", "600 ms", "900 ms", "1200 ms"}, Page);
  g->addWidget(Label("Flash time:", fFlashTime, Page), 7, 0);
  g->addWidget(fFlashTime, 7, 1);
  fLineAccess = Check("LineAccessCx", "Automatic Designated CO Line Access", Page);
  g->addWidget(fLineAccess, 8, 0, 1, 3);
  g->setRowStretch(9, 1);

  connect(fDialMode, &TRadioGroup::Changed, this, [this] { UpdateEnabling(); });
}

void TCOprmDlg::BuildExtra(QWidget* Page) {
  auto* g = new QGridLayout(Page);
  fCodes = new QTableWidget(kCodeRows, 2, Page);
  fCodes->setObjectName("PbxCodesGrid");
  fCodes->setItemDelegateForColumn(1, new TPbxCodeDelegate(fCodes));
  // Headed like the other code tables: the row number, the code.
  fCodes->setHorizontalHeaderLabels({" #", "Code"});
  fCodes->verticalHeader()->hide();
  fCodes->setColumnWidth(0, 28);
  fCodes->setColumnWidth(1, std::max(40, fCodes->horizontalHeader()->sectionSizeHint(1)));
  fCodes->verticalHeader()->setDefaultSectionSize(22);
  fCodes->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fCodes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ShowRows(fCodes, kCodeRows);
  fCodes->setFixedSize(fCodes->minimumSize());
  for (int r = 0; r < kCodeRows; ++r) {
    auto* label = new QTableWidgetItem;
    label->setFlags(Qt::ItemIsEnabled);
    fCodes->setItem(r, 0, label);
    fCodes->setItem(r, 1, new QTableWidgetItem);
  }
  g->addWidget(Label("Host PBX access codes:", fCodes, Page), 0, 0);
  g->addWidget(fCodes, 1, 0, 9, 1, Qt::AlignTop);

  fCPCin = Check("CPCinCx", "Calling Party Control (CPC) Signal", Page);
  g->addWidget(fCPCin, 0, 1, 1, 2);
  fCPCinLbl = new QLabel("Minimum duration (22-614 ms):", Page);
  fCPCinLbl->setObjectName("CPCinLbl");
  fCPCms = new TDgtEdit(Page);
  fCPCms->setObjectName("CPCinEdit");
  fCPCms->setMaxLength(3);
  fCPCinLbl->setBuddy(fCPCms);
  g->addWidget(fCPCinLbl, 1, 1);
  g->addWidget(fCPCms, 1, 2);
  fCPCout = Check("CPCoutCx", "CPC Detection for Outgoing Calls", Page);
  g->addWidget(fCPCout, 2, 1, 1, 2);
  fDisconTime = Combo("DisconTimeCb", {"0.5 sec", "1.5 sec", "4.0 sec"}, Page);
  g->addWidget(Label("Disconnect time:", fDisconTime, Page), 3, 1);
  g->addWidget(fDisconTime, 3, 2);
  fRingPattern = Combo("RingPatternCB", {"Single", "Double", "Triple"}, Page);
  g->addWidget(Label("Ring pattern:", fRingPattern, Page), 4, 1);
  g->addWidget(fRingPattern, 4, 2);
  fReverse = Check("ReverseCircuitCx", "Reverse (Polarity) Circuit Assignment", Page);
  g->addWidget(fReverse, 5, 1, 1, 2);
  fCID = Check("CIDcx", "Caller ID:", Page);
  fCIDtype = Combo("CIDtypeCb", {"FSK", "DTMF"}, Page);
  g->addWidget(fCID, 6, 1);
  g->addWidget(fCIDtype, 6, 2);
  fPayTone = Check("PayToneCx", "Pay-tone", Page);
  g->addWidget(fPayTone, 7, 1, 1, 2);
  fPayFlash = Check("PayFlashCx", "Pay-tone flash", Page);
  g->addWidget(fPayFlash, 8, 1, 1, 2);
  g->setRowStretch(9, 1);

  connect(fCPCin, &QCheckBox::stateChanged, this, [this] { UpdateEnabling(); });
  connect(fCID, &QCheckBox::stateChanged, this, [this] { UpdateEnabling(); });
}

void TCOprmDlg::DeclareBindings() {
  TBindingTable& t = Bindings();
  using C = TItemConv;
  t.Add(fConnected, "400C", 1, C::Check);
  t.Add(fDialMode, "401C", 1, C::Index);
  t.Add(fPulseSpeed, "402C", 1, C::Index);
  t.AddCustom(
      fCodes, "403C", [this](const TCmdData& B) { LoadCodes(B); },
      [this](TCmdData& B) { StoreCodes(B); });
  t.Add(fTRG, "404C", 1, C::Index1);
  AddLineMode("414C", 0, fModeDay, fDILday);
  AddLineMode("415C", 1, fModeNight, fDILnight);
  AddLineMode("416C", 2, fModeLunch, fDILlunch);
  t.Add(fPauseTime, "417C", 1, C::Index);
  t.Add(fFlashTime, "418C", 1, C::Index);
  t.Add(fLineAccess, "419C", 1, C::Check);
  t.AddCustom(
      fCPCin, "420C", [this](const TCmdData& B) { LoadCPC(B); },
      [this](TCmdData& B) { StoreCPC(B); });
  t.Add(fCPCout, "421C", 1, C::Check);
  t.Add(fDisconTime, "422C", 1, C::Index);
  t.Add(fRingPattern, "423C", 1, C::Index);
  t.Add(fReverse, "424C", 1, C::Check);
  t.Add(fCID, "900C", 1, C::Check);
  t.Add(fCIDtype, "910C", 1, C::Index);
  t.Add(fPayTone, "920C", 1, C::Check);
  t.Add(fPayFlash, "928C", 1, C::Check);
}

void TCOprmDlg::AddLineMode(const char* Code, int Index, QComboBox* Mode, QComboBox* Jack) {
  Bindings().AddCustom(
      Mode, Code,
      [this, Index, Mode, Jack](const TCmdData& B) {
        LoadItem(Mode, B, 1, TItemConv::Index);
        // The jack is only meaningful for a DIL line. Lines whose jacks differ show none, and
        // none is chosen for them until the mode is chosen again.
        const bool dil = Mode->currentIndex() == kModeDIL;
        fJackUndefined[static_cast<size_t>(Index)] = dil && B.Undefined[1];
        if (dil)
          LoadItem(Jack, B, 2, TItemConv::Index1);
        else
          Jack->setCurrentIndex(-1);
      },
      [Mode, Jack](TCmdData& B) {
        const int mode = Mode->currentIndex();
        StoreValue(B, 1, TItemConv::Index, mode);
        if (mode < 0) return;
        if (mode == kModeDIL) {
          B.SetItemCount(2);
          // No jack leaves each line's own (multi-edit) or the item as it is.
          StoreValue(B, 2, TItemConv::Index1TwoDigit, Jack->currentIndex());
        } else {
          B.SetItemCount(1);
        }
      });
}

void TCOprmDlg::LoadCodes(const TCmdData& Block) {
  for (int r = 0; r < kCodeRows; ++r) LoadCell(fCodes, r, 1, Block, r + 1);
}

void TCOprmDlg::StoreCodes(TCmdData& Block) {
  // The PBX takes the codes as a list without gaps: blank rows go to the bottom.
  QStringList codes;
  for (int r = 0; r < kCodeRows; ++r) {
    const QString t = fCodes->item(r, 1)->text().trimmed();
    if (!t.isEmpty()) codes << t;
  }
  for (int r = 0; r < kCodeRows; ++r) fCodes->item(r, 1)->setText(r < codes.size() ? codes[r] : "");
  Block.SetItemCount(std::max(1, static_cast<int>(codes.size())));
  // Items past the count do not exist, so only the codes (or the empty mark) are written.
  for (int r = 0; r < kCodeRows; ++r) StoreCell(fCodes, r, 1, Block, r + 1);
}

void TCOprmDlg::LoadCPC(const TCmdData& Block) {
  const int code = Block.ItemInt(1);
  SetControlValue(fCPCin, code < 0 ? 2 : code == 0 ? 0 : 1);
  if (code < 0)
    fCPCms->clear();
  else
    fCPCms->SetIValue(code == 0 ? 0 : CPCmsOfCode(code));
}

void TCOprmDlg::StoreCPC(TCmdData& Block) {
  switch (ControlValue(fCPCin)) {
    case 0:
      StoreValue(Block, 1, TItemConv::TwoDigit, 0);
      break;
    case 1:
      StoreValue(Block, 1, TItemConv::TwoDigit, CPCcodeOfMs(fCPCms->IValue()));
      break;
    default:
      StoreValue(Block, 1, TItemConv::TwoDigit, -1);
      break;
  }
}

void TCOprmDlg::UpdateEnabling() {
  const int dial = fDialMode->ItemIndex();
  fPulseSpeed->setEnabled(dial == 1 || dial == 2);
  const bool cpc = fCPCin->checkState() == Qt::Checked;
  fCPCms->setEnabled(cpc);
  QPalette p = fCPCinLbl->palette();
  p.setColor(QPalette::WindowText, cpc ? QColor(Qt::black) : QColor(128, 128, 128));
  fCPCinLbl->setPalette(p);
  fCIDtype->setEnabled(fCID->checkState() == Qt::Checked);
  QComboBox* mode[] = {fModeDay, fModeNight, fModeLunch};
  QComboBox* dil[] = {fDILday, fDILnight, fDILlunch};
  for (int i = 0; i < 3; ++i) {
    dil[i]->setVisible(mode[i]->currentIndex() == kModeDIL);
    if (!dil[i]->isHidden() && dil[i]->currentIndex() < 0 &&
        !fJackUndefined[static_cast<size_t>(i)])
      dil[i]->setCurrentIndex(0);
  }
}

TCOarray& TCOlineTraits::Of(TSysData& Store) {
  return Store.COLines;
}

void TCOlineTraits::KeepUnchanged(TCOdata& R, const TCOdata& Before) {
  for (int i = 0; i < TCOdata::kBlockCount; ++i) KeepUnchangedFlags(R.Block(i), Before.Block(i));
}

void TCOprmDlg::RefreshPage() {
  for (int r = 0; r < kCodeRows; ++r) fCodes->item(r, 0)->setText(QString(" %1").arg(r + 1));
}

void TCOprmDlg::MarkFurther(TCOdata& Shown, const TCOdata& Other) {
  // The further items are compared too: a store copies whole blocks, so access codes or DIL
  // jacks shown as the lowest line's although another line holds others would silently
  // replace that line's own.
  for (int k = 2; k <= kCodeRows; ++k)
    Shown.BlockOf("403C").MarkDifferent(Other.BlockOf("403C"), k);
  for (const char* code : {"414C", "415C", "416C"})
    Shown.BlockOf(code).MarkDifferent(Other.BlockOf(code), 2);
}

void TCOprmDlg::LoadMore(const TCOdata&) {
  UpdateEnabling();
}

bool EditCOLines(QWidget* Parent, const TIntegerList& Lines) {
  TCOprmDlg dlg(Parent, Lines);
  return dlg.Execute(FKeyHeld());
}
