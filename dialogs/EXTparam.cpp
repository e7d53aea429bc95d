#include "EXTparam.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "CopyButtons.h"
#include "Errors.h"
#include "FKey.h"
#include "FormParts.h"
#include "FreeNumbers.h"
#include "HelpContext.h"
#include "PbxPrograms.h"
#include "Ranges.h"
#include "SysData.h"
#include "Text.h"

// The dialog's frame and its main page; the other pages are EXTextra.cpp, EXTlines.cpp and
// EXTbuttons.cpp.

namespace {

constexpr int kNameLength = 10;

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

}  // namespace

TExtensionArray& TExtensionTraits::Of(TSysData& Store) {
  return Store.Extensions;
}

void TExtensionTraits::KeepUnchanged(TExtensionData& R, const TExtensionData& Before) {
  KeepUnchangedJack(R, Before);
}

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
  BuildButtonPages(fPages);
  top->addWidget(fPages);
  BuildMain(main);
  BuildExtra(extra);
  BuildLines(lines);

  AddButtons(top, kHelpExtensions);

  SetPages(fPages);
  DeclareBindings();
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
  DeclareOptions();
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
  LoadDoors();
  LoadLines();
  fScratchBC.Assign(Shown.BC);
  fScratchBF.Assign(Shown.BF);
  fScratchMsg.Assign(Shown.BlockOf("BM01"));
  for (TCmdList* l : {&fScratchBC, &fScratchBF})
    for (int i = 0; i < l->Count(); ++i) l->Items(i).AllowUndefined = true;
  fScratchMsg.AllowUndefined = true;
  ReloadButtonPages();
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
  StoreDoors();
  StoreLines();
}

void TEXTprmDlg::ChooseNumber() {
  if (!fNumberEditable || Selected().Count() != 1) return;
  TFreeDNdlg dlg(Selected().First(), Work(), fExtNum->currentText(), this);
  if (!dlg.Execute(fExtNum->mapToGlobal(QPoint(fExtNum->width(), 0)))) return;
  if (fExtNum->count() == 0) fExtNum->addItem(QString());
  fExtNum->setItemText(0, dlg.Chosen());
  fExtNum->setCurrentIndex(0);
}

bool EditExtensions(QWidget* Parent, const TIntegerList& Jacks) {
  TEXTprmDlg dlg(Parent, Jacks);
  return dlg.Execute(FKeyHeld());
}
