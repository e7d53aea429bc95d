#include "EXTparam.h"

#include "ButtonPages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "Errors.h"
#include "FKey.h"
#include "FormParts.h"
#include "HelpContext.h"
#include "Feedback.h"
#include "PbxPrograms.h"
#include "Ranges.h"
#include "SysData.h"
#include "Text.h"

namespace {

constexpr int kJacks = TExtensionArray::kJackCount;
constexpr int kNameLength = 10;
// Shared lists: 0-2 door phone ringing, 3-5 door opener use, 6-8 outgoing, 9-11 incoming
// ringing, 12-14 ring delay; each group day, night, lunch.
constexpr int kOutList = 6, kRingList = 9, kDelayList = 12;

const char* const kOptionCodes[] = {"606E", "607E", "608E", "609E", "610E", "611E",
                                    "612E", "613E", "614E", "617E", "925E"};
const char* const kOptionCaptions[] = {"Call Transfer to an Outside (CO) Line",
                                       "Call Forwarding to an Outside (CO) Line",
                                       "Executive Busy Override",
                                       "Do Not Disturb Override",
                                       "Paralleled Telephone Connection",
                                       "TAM (Telephone Answering Machine) Extension",
                                       "Room Monitor Assignment",
                                       "Outside (CO) Line Duration Time Limit Selection",
                                       "Internal Pulse Detection",
                                       "Wireless port is connected",
                                       "Charge limit is enabled"};
const char* const kDoorNames[] = {"DphDayCl",   "DphNightCl",   "DphLunchCl",
                                  "DopenDayCl", "DopenNightCl", "DopenLunchCl"};
const char* const kPeriodNames[] = {"Day", "Night", "Lunch"};

QListWidget* CheckList(const char* Name, const QStringList& Captions, QWidget* Parent) {
  auto* lw = new QListWidget(Parent);
  lw->setObjectName(Name);
  for (const QString& c : Captions) {
    auto* item = new QListWidgetItem(c, lw);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(Qt::Unchecked);
  }
  return lw;
}

// A check list item shows 0, 1 or 2 (greyed, the jacks differ); only an item that opens greyed
// may be put back to greyed by the user.
void SetItemState(QListWidgetItem* Item, int State) {
  Qt::ItemFlags f = Item->flags() & ~Qt::ItemIsUserTristate;
  if (State == 2) f |= Qt::ItemIsUserTristate;
  Item->setFlags(f);
  Item->setCheckState(State == 2 ? Qt::PartiallyChecked
                                 : State == 1 ? Qt::Checked : Qt::Unchecked);
}

int ItemState(const QListWidgetItem* Item) {
  switch (Item->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
  }
}

// The characters the PBX stores in an extension name (program 604E, item 1) and its length.
const TItemSpec& NameItem() {
  static const TItemSpec layout = [] {
    const TPbxCatalogue& cat = TPbxCatalogue::Get();
    const int p = cat.FindCode("604E");
    if (p < 0 || cat.Programs()[size_t(p)].Items.empty())
      throw Exception("The program table has no extension name");
    return cat.Programs()[size_t(p)].Items.front();
  }();
  return layout;
}

// The check state of a jack digit over all selected jacks: 1 when it is 1, 0 otherwise, 2 when
// the jacks differ. A line too short to carry digits shows 0.
int DigitState(const TCmdData& Line, const TIntegerList& Jacks) {
  int state = -1;
  for (int j : Jacks.Values()) {
    const int v = TExtensionArray::JackDigit(Line, j) == 1 ? 1 : 0;
    if (state < 0)
      state = v;
    else if (state != v)
      return 2;
  }
  return state < 0 ? 0 : state;
}

// Writes a decided check state (0 or 1) as every selected jack's digit; greyed leaves them.
void SetDigits(TCmdData& Line, const TIntegerList& Jacks, int State) {
  if (State != 0 && State != 1) return;
  for (int j : Jacks.Values()) TExtensionArray::SetJackDigit(Line, j, State);
}

// A range list as a technician writes it: "105-104" means 104 and 105 (the label's own
// example), and line breaks separate pieces like commas.
std::string OrderedRanges(const QString& Text) {
  QString t = Text;
  t.replace('\n', ',').replace('\r', ',');
  QStringList pieces = t.split(',');
  for (QString& p : pieces) {
    const int dash = p.indexOf('-');
    if (dash < 0) continue;
    bool ok1 = false, ok2 = false;
    const int a = p.left(dash).trimmed().toInt(&ok1);
    const int b = p.mid(dash + 1).trimmed().toInt(&ok2);
    if (ok1 && ok2 && a > b) p = QString("%1-%2").arg(b).arg(a);
  }
  return pieces.join(',').toStdString();
}

QString NumberOrMark(const TExtensionArray& Table, int Jack) {
  const std::string n = TrimBlanks(Table.Cmd009.NumberOfJack(Jack));
  return n.empty() ? QString("?") : QString::fromStdString(n);
}

}  // namespace

TExtensionArray& TExtensionTraits::Of(TSysData& Store) {
  return Store.Extensions;
}

void TExtensionTraits::KeepUnchanged(TExtensionData& R, const TExtensionData& Before) {
  for (int i = 0; i < TExtensionData::kBlockCount; ++i)
    KeepUnchangedFlags(R.Block(i), Before.Block(i));
  KeepUnchangedLines(R.BC, Before.BC);
  KeepUnchangedLines(R.BF, Before.BF);
}

// ---- incoming ringing digits -------------------------------------------------------------

int IncomingChoice(int RingDigit, int DelayDigit) {
  if (RingDigit == 0) return 4;
  if (RingDigit == 1 && DelayDigit >= 0 && DelayDigit <= 3) return DelayDigit;
  return -1;
}

void IncomingDigits(int Choice, int& RingDigit, int& DelayDigit) {
  if (Choice < 0 || Choice > 4) {
    RingDigit = DelayDigit = -1;
  } else if (Choice == 4) {
    RingDigit = DelayDigit = 0;
  } else {
    RingDigit = 1;
    DelayDigit = Choice;
  }
}

// ---- free extension numbers --------------------------------------------------------------

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

// ---- copying buttons ---------------------------------------------------------------------

void CopyButtonLists(TExtensionArray& Table, int Src, int Dest, bool CO, bool PF) {
  if (Src == Dest || (!CO && !PF)) return;
  TExtensionData& dst = Table.Jacks(Dest);
  const TExtensionData& src = Table.Jacks(Src);
  TExtensionData before(Dest, nullptr);
  before.Assign(dst);
  if (CO) dst.BC.Assign(src.BC);
  if (PF) dst.BF.Assign(src.BF);
  dst.SetJack(Dest);
  TExtensionTraits::KeepUnchanged(dst, before);
  // Lines the destination did not have before are new to the PBX.
  if (CO)
    for (int i = before.BC.Count(); i < dst.BC.Count(); ++i) dst.BC.Items(i).Changed = true;
  if (PF)
    for (int i = before.BF.Count(); i < dst.BF.Count(); ++i) dst.BF.Items(i).Changed = true;
}

TCopyBtnDlg::TCopyBtnDlg(int SrcJack, TExtensionArray& Table, QWidget* Parent)
    : QDialog(Parent), fTable(Table) {
  setObjectName("CopyBtnDlg");
  setWindowTitle("Copy buttons");
  auto* top = new QVBoxLayout(this);
  auto* pages = new QTabWidget(this);
  pages->setObjectName("CopyPages");
  auto* from = new QWidget;
  auto* to = new QWidget;
  pages->addTab(from, "Copy from");
  pages->addTab(to, "Copy to");
  top->addWidget(pages);

  auto* fl = new QVBoxLayout(from);
  fSrc = new QComboBox(from);
  fSrc->setObjectName("SrcEXTcombo");
  for (int j = 1; j <= kJacks; ++j) {
    const std::string n = TrimBlanks(Table.Cmd009.NumberOfJack(j));
    if (!n.empty() || j == SrcJack)
      fSrc->addItem(n.empty() ? QString("Jack %1").arg(j) : QString::fromStdString(n), j);
  }
  fSrc->setCurrentIndex(fSrc->findData(SrcJack));
  fl->addWidget(Label("Extension to copy buttons from:", fSrc, from));
  fl->addWidget(fSrc);
  fl->addStretch();

  auto* tl = new QVBoxLayout(to);
  fDestMemo = new QPlainTextEdit(to);
  fDestMemo->setObjectName("DestExtMemo");
  tl->addWidget(
      Label("List of destination Extensions to copy buttons (ex.101, 105-104): ", fDestMemo, to));
  tl->addWidget(fDestMemo);

  fCopyCO = new QCheckBox("Copy CO buttons", this);
  fCopyCO->setObjectName("CopyCOcx");
  fCopyCO->setChecked(true);
  fCopyPF = new QCheckBox("Copy PF buttons", this);
  fCopyPF->setObjectName("CopyPFcx");
  fCopyPF->setChecked(true);
  top->addWidget(fCopyCO);
  top->addWidget(fCopyPF);

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("OkBtn");
  auto* cancel = new QPushButton("&Cancel", this);
  cancel->setObjectName("CancelBtn");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  top->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &TCopyBtnDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TCopyBtnDlg::CopyCO() const { return fCopyCO->isChecked(); }
bool TCopyBtnDlg::CopyPF() const { return fCopyPF->isChecked(); }
int TCopyBtnDlg::Source() const { return fSrc->currentData().toInt(); }

void TCopyBtnDlg::accept() {
  const int src = Source();
  if (src < 1 || src > kJacks || !fTable.Jacks(src).HasActualData()) {
    Feedback().ShowInformation(
        Format("Source Extension %s still has not actual data - nothing to copy!",
               NumberOrMark(fTable, src).toStdString().c_str()));
    return;
  }
  const auto numbers = ParseRanges(OrderedRanges(fDestMemo->toPlainText()));
  TIntegerList dest;
  for (int n : numbers->Values()) {
    const int jack = fTable.Cmd009.JackOfNumber(n);
    // A number no jack has is a destination without data as well: it is named as typed.
    if (jack < 1 || jack > kJacks || !fTable.Jacks(jack).HasActualData()) {
      const QString shown = jack < 1 || jack > kJacks ? QString::number(n)
                                                      : NumberOrMark(fTable, jack);
      Feedback().ShowInformation(
          Format("Destination Extension %s still has not actual data - copying is not possible!",
                 shown.toStdString().c_str()));
      return;
    }
    if (dest.IndexOf(jack) < 0) dest.Add(jack);
  }
  for (int jack : dest.Values()) CopyButtonLists(fTable, src, jack, CopyCO(), CopyPF());
  fDest.Assign(dest);
  QDialog::accept();
}

// ---- the dialog ------------------------------------------------------------------------

TEXTprmDlg::TEXTprmDlg(QWidget* Parent, const TIntegerList& Jacks)
    : TTableDlg(Parent, Jacks) {
  setObjectName("EXTprmDlg");
  setWindowTitle("Extension parameters");

  auto* top = new QVBoxLayout(this);
  fPages = new QTabWidget(this);
  fPages->setObjectName("PageControl1");
  auto* main = new QWidget;
  main->setObjectName("MainPage");
  auto* extra = new QWidget;
  extra->setObjectName("ExtraPage");
  auto* lines = new QWidget;
  lines->setObjectName("LinesPage");
  fPages->addTab(main, "Main");
  fPages->addTab(extra, "Extra");
  fPages->addTab(lines, "Outgoing/Incoming");
  fPages->addTab(BuildButtonPage("COButtonsPage", fCOPage, "CopyBtnsCO", &fCopyCO), "CO buttons");
  fPages->addTab(BuildButtonPage("PFButtonsPage", fPFPage, "CopyBtnsPF", &fCopyPF), "PF buttons");
  fPages->addTab(BuildButtonPage("MessagePage", fMsgPage, nullptr, nullptr), "Message");
  top->addWidget(fPages);
  // CO and PF buttons as on the largest sets (24 each, numbered from the bottom left), the
  // message button alone.
  fCOButtons = new TButtonPage(TButtonKind::CO, "BtnGrid1", 12, 2, fCOPage);
  fPFButtons = new TButtonPage(TButtonKind::PF, "BtnGrid2", 12, 2, fPFPage);
  fMsgButton = new TButtonPage(TButtonKind::Message, "BtnGrid3", 1, 1, fMsgPage);
  fCOButtons->PutLabelsBeside();
  fPFButtons->PutLabelsBeside();
  for (TButtonPage* b : {fCOButtons, fPFButtons, fMsgButton}) {
    b->SetNumbers(&Work().Cmd009);
    b->parentWidget()->layout()->addWidget(b);
    static_cast<QVBoxLayout*>(b->parentWidget()->layout())->addStretch();
    connect(b, &TButtonPage::Changed, this, [this, b] {
      if (b == fMsgButton) {
        if (b->Block()) fScratchMsg.Assign(*b->Block());
        fScratchMsg.AllowUndefined = true;
        return;
      }
      TCmdList& scratch = b == fCOButtons ? fScratchBC : fScratchBF;
      scratch.Assign(b->Lines());
      for (int i = 0; i < scratch.Count(); ++i) scratch.Items(i).AllowUndefined = true;
    });
  }
  BuildMain(main);
  BuildExtra(extra);
  BuildLines(lines);

  AddButtons(top, kHelpExtensions);

  SetPages(fPages);
  DeclareBindings();
}

QWidget* TEXTprmDlg::BuildButtonPage(const char* Name, QWidget*& Container, const char* CopyName,
                                     QPushButton** Copy) {
  auto* page = new QWidget;
  auto* l = new QVBoxLayout(page);
  Container = new QWidget(page);
  Container->setObjectName(Name);
  new QVBoxLayout(Container);
  l->addWidget(Container, 1);
  if (Copy) {
    auto* row = new QHBoxLayout;
    auto* copy = new QPushButton("Copy btns..", page);
    copy->setObjectName(CopyName);
    *Copy = copy;
    row->addStretch();
    row->addWidget(copy);
    l->addLayout(row);
    connect(copy, &QPushButton::clicked, this, [this] { CopyButtons(); });
  }
  return page;
}

void TEXTprmDlg::BuildMain(QWidget* Page) {
  auto* g = new QGridLayout(Page);
  fName = new QLineEdit(Page);
  fName->setObjectName("StnName");
  // Only what the PBX can store in a name, typed or pasted ("," "/" and line breaks never are).
  const TItemSpec& layout = NameItem();
  fName->setMaxLength(std::min(kNameLength, layout.Width));
  fName->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QString("[%1]*").arg(
          QRegularExpression::escape(QString::fromStdString(layout.Chars)))),
      fName));
  g->addWidget(Label("Name:", fName, Page), 0, 0);
  g->addWidget(fName, 0, 1);

  fExtNum = new TDropDownCombo(Page);
  fExtNum->setObjectName("ExtNumCB");
  fExtNum->OnDropDown = [this] { ChooseNumber(); };
  fExtNumLbl = Label("Extension number:", fExtNum, Page);
  fExtNumLbl->setObjectName("ExtNumLbl");
  g->addWidget(fExtNumLbl, 1, 0);
  g->addWidget(fExtNum, 1, 1);

  fEXG = Combo("EXGcb", {"1", "2", "3", "4", "5", "6", "7", "8"}, Page);
  g->addWidget(Label("Extension group:", fEXG, Page), 2, 0);
  g->addWidget(fEXG, 2, 1);

  auto* cos = new QGroupBox("Class of service (COS)", Page);
  auto* cg = new QGridLayout(cos);
  const QStringList classes{"1", "2", "3", "4", "5"};
  fCOSday = Combo("COSdayCB", classes, cos);
  fCOSnight = Combo("COSnightCB", classes, cos);
  fCOSlunch = Combo("COSlunchCB", classes, cos);
  QComboBox* c[] = {fCOSday, fCOSnight, fCOSlunch};
  for (int i = 0; i < 3; ++i) {
    cg->addWidget(Label(QString(kPeriodNames[i]) + ":", c[i], cos), i, 0);
    cg->addWidget(c[i], i, 1);
  }
  g->addWidget(cos, 3, 0, 1, 2);

  fAccount = Combo("AccountCB", {"Option", "Forced", "Verify-All", "Verify-Toll"}, Page);
  g->addWidget(Label("Account code mode:", fAccount, Page), 4, 0);
  g->addWidget(fAccount, 4, 1);
  fLanguage = Combo("LanguageCB", {"English", "Spanish", "Portuguese", "Russian"}, Page);
  g->addWidget(Label("LCD language:", fLanguage, Page), 5, 0);
  g->addWidget(fLanguage, 5, 1);
  fLCSmode = Combo("LCSmodeCB", {"Stop-rec", "Keep-rec"}, Page);
  g->addWidget(Label("LCS record mode:", fLCSmode, Page), 6, 0);
  g->addWidget(fLCSmode, 6, 1);
  fCID = Combo("CIDcb", {"Name", "Number"}, Page);
  g->addWidget(Label("Caller ID display priority:", fCID, Page), 7, 0);
  g->addWidget(fCID, 7, 1);
  g->setRowStretch(8, 1);
}

void TEXTprmDlg::BuildExtra(QWidget* Page) {
  auto* g = new QGridLayout(Page);
  QStringList options;
  for (const char* c : kOptionCaptions) options << c;
  fOptions = CheckList("OptionsLB", options, Page);
  FitRows(fOptions);
  g->addWidget(fOptions, 0, 0, 1, 3);
  const QStringList phones{"Door phone 1", "Door phone 2", "Door phone 3", "Door phone 4"};
  const QStringList openers{"Door opener 1", "Door opener 2", "Door opener 3", "Door opener 4"};
  auto* phoneBox = new QGroupBox("Door phone call ringing", Page);
  auto* openBox = new QGroupBox("Door opener use", Page);
  auto* pl = new QGridLayout(phoneBox);
  auto* ol = new QGridLayout(openBox);
  for (int i = 0; i < 6; ++i) {
    QGroupBox* box = i < 3 ? phoneBox : openBox;
    QGridLayout* l = i < 3 ? pl : ol;
    fDoor[size_t(i)] = CheckList(kDoorNames[i], i < 3 ? phones : openers, box);
    FitRows(fDoor[size_t(i)]);
    l->addWidget(new QLabel(kPeriodNames[i % 3], box), 0, i % 3);
    l->addWidget(fDoor[size_t(i)], 1, i % 3);
  }
  g->addWidget(phoneBox, 1, 0, 1, 3);
  g->addWidget(openBox, 2, 0, 1, 3);
  g->setRowStretch(3, 1);
}

void TEXTprmDlg::BuildLines(QWidget* Page) {
  auto* v = new QVBoxLayout(Page);
  fPeriodTabs = new QTabBar(Page);
  fPeriodTabs->setObjectName("PeriodTabs");
  for (const char* p : kPeriodNames) fPeriodTabs->addTab(p);
  v->addWidget(fPeriodTabs);
  auto* g = new QGridLayout;
  g->addWidget(new QLabel("Outgoing", Page), 0, 1);
  g->addWidget(new QLabel("Incoming", Page), 0, 2);
  const QStringList choices{"Immediately", "after 5 sec", "after 10 sec", "after 15 sec",
                            "No rings"};
  for (int c = 0; c < kCOs; ++c) {
    const QByteArray out = QString("CO%1outCx").arg(c + 1).toLatin1();
    const QByteArray in = QString("CO%1inCb").arg(c + 1).toLatin1();
    fCOout[size_t(c)] = new QCheckBox(Page);
    fCOout[size_t(c)]->setObjectName(out.constData());
    fCOin[size_t(c)] = Combo(in.constData(), choices, Page);
    g->addWidget(Label(QString("CO %1").arg(c + 1), fCOout[size_t(c)], Page), c + 1, 0);
    g->addWidget(fCOout[size_t(c)], c + 1, 1);
    g->addWidget(fCOin[size_t(c)], c + 1, 2);
  }
  v->addLayout(g);
  v->addStretch();
  connect(fPeriodTabs, &QTabBar::currentChanged, this, [this](int Period) {
    if (Period < 0 || Period >= kPeriods) return;
    TakeLines(fShownPeriod);
    ShowLines(Period);
  });
}

void TEXTprmDlg::DeclareBindings() {
  TBindingTable& t = Bindings();
  using C = TItemConv;
  t.AddCustom(
      fName, "604E",
      [this](const TCmdData& B) {
        const std::string s = B.Undefined[0] ? std::string("???") : TrimBlanks(B.ItemStr(1));
        fLoadedName = s == "^" ? QString() : QString::fromStdString(s);
        fName->setText(fLoadedName);
      },
      [this](TCmdData& B) {
        const QString text = fName->text();
        if (text == fLoadedName) {
          // Untouched: names that differ stay each jack's own; a common one stays as it is.
          if (fLoadedName == "???" && B.AllowUndefined) B.Undefined[0] = true;
          return;
        }
        // Only characters the PBX stores, trimmed, at most 10, padded with blanks to 10.
        const TItemSpec& layout = NameItem();
        std::string name;
        for (char ch : text.toStdString())
          if (layout.Chars.find(ch) != std::string::npos) name += ch;
        name = TrimBlanks(name).substr(0, size_t(kNameLength));
        name.resize(size_t(kNameLength), ' ');
        // Written as typed, also a name beginning with "?" (which would read as undefined).
        const bool allow = B.AllowUndefined;
        B.AllowUndefined = false;
        B.Undefined[0] = false;
        B.SetItemStr(1, name);
        B.AllowUndefined = allow;
      });
  t.Add(fEXG, "600E", 1, C::Index1);
  t.Add(fCOSday, "601E", 1, C::Index1);
  t.Add(fCOSnight, "602E", 1, C::Index1);
  t.Add(fCOSlunch, "603E", 1, C::Index1);
  t.Add(fAccount, "605E", 1, C::Index);
  t.Add(fLanguage, "615E", 1, C::Index);
  t.Add(fLCSmode, "620E", 1, C::Index);
  t.Add(fCID, "904E", 1, C::Index);
  for (int k = 0; k < fOptions->count(); ++k) {
    QListWidgetItem* item = fOptions->item(k);
    t.AddCustom(
        fOptions, kOptionCodes[k],
        [item](const TCmdData& B) {
          const int v = B.ItemInt(1);
          SetItemState(item, v < 0 ? 2 : v == 1 ? 1 : 0);
        },
        [item](TCmdData& B) {
          const int s = ItemState(item);
          StoreValue(B, 1, TItemConv::Check, s == 2 ? -1 : s);
        });
  }
}

QString TEXTprmDlg::NumberText(int Jack) const {
  return QString::fromStdString(TrimBlanks(WorkingCopy().Cmd009.NumberOfJack(Jack)));
}

QString TEXTprmDlg::Caption() const {
  // Without every number: "?", the mark of a number not known, rather than the numbers of the
  // jacks shown before.
  TIntegerList numbers;
  bool known = true;
  for (int j : Selected().Values()) {
    const QString n = NumberText(j);
    if (n.isEmpty()) known = false;
    numbers.Add(n.toInt());
  }
  return "Extension " + (known ? QString::fromStdString(FormatRanges(numbers)) : QString("?"));
}

QString TEXTprmDlg::StepCaption(int Jack) const {
  const QString n = NumberText(Jack);
  return "Ext " + (n.isEmpty() ? QString("?") : n);
}

void TEXTprmDlg::RefreshPage() {
  const bool single = Selected().Count() == 1;
  fCopyCO->setVisible(single);
  fCopyPF->setVisible(single);
  fNumberEditable = single && Work().Cmd009.Count() >= TCmd009S::kPortCount;
  fExtNum->setEnabled(fNumberEditable);
  fExtNumLbl->setEnabled(fNumberEditable);
  fExtNum->clear();
  if (single) fExtNum->addItem(NumberText(Selected().First()));
}

void TEXTprmDlg::TakeRead(int Jack) {
  TTableDlg::TakeRead(Jack);
  // The read also brings the numbers and shared lists the table lacked; the working copy
  // takes them only where it lacks them too, so that no edit made here is lost.
  const TExtensionArray& store = Store().Extensions;
  TExtensionArray& work = Work();
  if (!work.Cmd009.IsActual(1) && store.Cmd009.IsActual(1)) work.Cmd009.Assign(store.Cmd009);
  for (int i = 0; i < TExtensionArray::kSharedListCount; ++i)
    if (!work.SharedList(i).IsActual(1) && store.SharedList(i).IsActual(1))
      work.SharedList(i).Assign(store.SharedList(i));
}

void TEXTprmDlg::MarkFurther(TExtensionData& Shown, const TExtensionData& Other) {
  // The message button's parameter too: a store copies the whole block, so a DSS target or a
  // number shown as the first jack's would silently replace another jack's own.
  Shown.BlockOf("BM01").MarkDifferent(Other.BlockOf("BM01"), 2);
}

void TEXTprmDlg::LoadMore(const TExtensionData& Shown) {
  LoadShared();
  fScratchBC.Assign(Shown.BC);
  fScratchBF.Assign(Shown.BF);
  fScratchMsg.Assign(Shown.BlockOf("BM01"));
  for (TCmdList* l : {&fScratchBC, &fScratchBF})
    for (int i = 0; i < l->Count(); ++i) l->Items(i).AllowUndefined = true;
  fScratchMsg.AllowUndefined = true;
  ReloadButtonPages();
}

void TEXTprmDlg::ReloadButtonPages() {
  fCOButtons->SetLines(fScratchBC);
  fPFButtons->SetLines(fScratchBF);
  fMsgButton->SetBlock(fScratchMsg);
}

void TEXTprmDlg::LoadShared() {
  for (int d = 0; d < 6; ++d) {
    const TCmdList& list = Work().SharedList(d);
    QListWidget* lw = fDoor[size_t(d)];
    // The lists are only meaningful with a line for each of the four door phones.
    const bool used = list.Count() == kDoors;
    lw->setEnabled(used);
    for (int k = 0; k < kDoors; ++k)
      SetItemState(lw->item(k), used ? DigitState(list.Items(k), Selected()) : 0);
  }
  for (int p = 0; p < kPeriods; ++p) {
    const TCmdList& out = Work().SharedList(kOutList + p);
    const TCmdList& ring = Work().SharedList(kRingList + p);
    const TCmdList& delay = Work().SharedList(kDelayList + p);
    fOutLines[size_t(p)] = std::min(kCOs, out.Count());
    fInLines[size_t(p)] = std::min(kCOs, ring.Count());
    for (int c = 0; c < kCOs; ++c) {
      fOut[size_t(p)][size_t(c)] = c < out.Count() ? DigitState(out.Items(c), Selected()) : 0;
      int choice = -1;
      bool first = true;
      if (c < ring.Count()) {
        for (int j : Selected().Values()) {
          const int r = TExtensionArray::JackDigit(ring.Items(c), j);
          const int dl = c < delay.Count() ? TExtensionArray::JackDigit(delay.Items(c), j) : -1;
          const int ch = IncomingChoice(r, dl);
          if (first)
            choice = ch;
          else if (ch != choice)
            choice = -1;
          first = false;
        }
      }
      fIn[size_t(p)][size_t(c)] = choice;
    }
  }
  ShowLines(fPeriodTabs->currentIndex() < 0 ? 0 : fPeriodTabs->currentIndex());
}

void TEXTprmDlg::ShowLines(int Period) {
  fShownPeriod = Period;
  const size_t p = size_t(Period);
  for (int c = 0; c < kCOs; ++c) {
    const size_t i = size_t(c);
    const bool out = c < fOutLines[p], in = c < fInLines[p];
    fCOout[i]->setEnabled(out);
    SetControlValue(fCOout[i], out ? fOut[p][i] : 0);
    fCOin[i]->setEnabled(in);
    fCOin[i]->setCurrentIndex(in ? fIn[p][i] : -1);
  }
}

void TEXTprmDlg::TakeLines(int Period) {
  const size_t p = size_t(Period);
  for (int c = 0; c < kCOs; ++c) {
    const size_t i = size_t(c);
    if (c < fOutLines[p]) fOut[p][i] = ControlValue(fCOout[i]);
    if (c < fInLines[p]) fIn[p][i] = fCOin[i]->currentIndex();
  }
}

void TEXTprmDlg::StoreShared() {
  TakeLines(fShownPeriod);
  for (int d = 0; d < 6; ++d) {
    TCmdList& list = Work().SharedList(d);
    if (list.Count() != kDoors) continue;
    for (int k = 0; k < kDoors; ++k)
      SetDigits(list.Items(k), Selected(), ItemState(fDoor[size_t(d)]->item(k)));
  }
  for (int p = 0; p < kPeriods; ++p) {
    TCmdList& out = Work().SharedList(kOutList + p);
    TCmdList& ring = Work().SharedList(kRingList + p);
    TCmdList& delay = Work().SharedList(kDelayList + p);
    for (int c = 0; c < fOutLines[size_t(p)] && c < out.Count(); ++c)
      SetDigits(out.Items(c), Selected(), fOut[size_t(p)][size_t(c)]);
    for (int c = 0; c < fInLines[size_t(p)] && c < ring.Count(); ++c) {
      int r = -1, dl = -1;
      IncomingDigits(fIn[size_t(p)][size_t(c)], r, dl);
      if (r < 0) continue;  // no choice: each jack keeps its digits
      for (int j : Selected().Values()) {
        TExtensionArray::SetJackDigit(ring.Items(c), j, r);
        if (c < delay.Count()) TExtensionArray::SetJackDigit(delay.Items(c), j, dl);
      }
    }
  }
}

void TEXTprmDlg::StoreMore(TExtensionData& Scratch) {
  // 389E is not edited here: it must not travel from the first jack to the others.
  Scratch.BlockOf("389E").Undefined[0] = true;
  Scratch.BC.Assign(fScratchBC);
  Scratch.BF.Assign(fScratchBF);
  Scratch.BlockOf("BM01").Assign(fScratchMsg);
}

void TEXTprmDlg::StoreTable() {
  const int first = Selected().First();
  if (fNumberEditable && Selected().Count() == 1) {
    const std::string n = TrimBlanks(fExtNum->currentText().toStdString());
    int v = 0;
    if (!n.empty() && TryStrToInt(n, v) && v >= 0 && first <= Work().Cmd009.Count())
      Work().Cmd009.Items(first - 1).SetItemStr(1, n);
  }
  StoreShared();
}

void TEXTprmDlg::ChooseNumber() {
  if (!fNumberEditable || Selected().Count() != 1) return;
  TFreeDNdlg dlg(Selected().First(), Work(), fExtNum->currentText(), this);
  if (!dlg.Execute(fExtNum->mapToGlobal(QPoint(fExtNum->width(), 0)))) return;
  if (fExtNum->count() == 0) fExtNum->addItem(QString());
  fExtNum->setItemText(0, dlg.Chosen());
  fExtNum->setCurrentIndex(0);
}

void TEXTprmDlg::CopyButtons() {
  if (Selected().Count() != 1) return;
  const int own = Selected().First();
  // The button pages' edits so far are part of what is copied: they go into the own jack of
  // the working copy first (Cancel still discards all of it).
  TExtensionData& mine = Work().Jacks(own);
  TExtensionData before(own, nullptr);
  before.Assign(mine);
  mine.BC.AssignDefined(fScratchBC);
  mine.BF.AssignDefined(fScratchBF);
  mine.BlockOf("BM01").AssignIfDefined(fScratchMsg);
  mine.SetJack(own);
  TExtensionTraits::KeepUnchanged(mine, before);

  TCopyBtnDlg dlg(own, Work(), this);
  if (dlg.exec() != QDialog::Accepted) return;
  if (dlg.Destinations().IndexOf(own) < 0) return;
  fScratchBC.Assign(mine.BC);
  fScratchBF.Assign(mine.BF);
  for (TCmdList* l : {&fScratchBC, &fScratchBF})
    for (int i = 0; i < l->Count(); ++i) l->Items(i).AllowUndefined = true;
  ReloadButtonPages();
}

bool EditExtensions(QWidget* Parent, const TIntegerList& Jacks) {
  TEXTprmDlg dlg(Parent, Jacks);
  return dlg.Execute(FKeyHeld());
}
