#include "DSSparam.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ButtonPages.h"
#include "Errors.h"
#include "FKey.h"
#include "Feedback.h"
#include "HelpContext.h"
#include "Ranges.h"
#include "SysData.h"

namespace {

constexpr int kDSSrows = 8, kDSScols = 4;
constexpr int kPFrows = 8, kPFcols = 2;

// After a copy into Lines and renumbering: each line that came out as it was keeps its flags.
void KeepUnchangedLines(TCmdList& Lines, const TCmdList& Before) {
  for (int i = 0; i < Lines.Count() && i < Before.Count(); ++i)
    KeepUnchangedFlags(Lines.Items(i), Before.Items(i));
}

QGroupBox* Framed(const char* Title, QWidget* Content, QWidget* Parent) {
  auto* box = new QGroupBox(Title, Parent);
  auto* l = new QVBoxLayout(box);
  l->addWidget(Content);
  return box;
}

}  // namespace

TDSSprmDlg::TDSSprmDlg(QWidget* Parent, const TIntegerList& Consoles) : TProgDlg(Parent) {
  setObjectName("DSSprmDlg");
  // Numbers other than 1 and 2 cannot be edited; an empty selection edits console 1.
  TIntegerList valid;
  for (int d : Consoles.Values())
    if (d >= 1 && d <= TDSSarray::kConsoleCount && valid.IndexOf(d) < 0) valid.Add(d);
  if (valid.Count() == 0) valid.Add(1);
  valid.Sort();
  fConsoles.Assign(valid);

  fPort = new QComboBox(this);
  fPort->setObjectName("DssPortCb");
  fPort->addItem("none");
  for (int j = 1; j <= TExtensionArray::kJackCount; ++j) fPort->addItem(QString::number(j));
  fPair = new QComboBox(this);
  fPair->setObjectName("PairExtCb");
  fPortLbl = new QLabel("DSS console port (jack):", this);
  fPortLbl->setObjectName("DssPortLbl");
  fPortLbl->setBuddy(fPort);
  fPairLbl = new QLabel("Paired extension:", this);
  fPairLbl->setObjectName("PairExtLbl");
  fPairLbl->setBuddy(fPair);
  auto* ports = new QGridLayout;
  ports->addWidget(fPortLbl, 0, 0);
  ports->addWidget(fPort, 0, 1);
  ports->addWidget(fPairLbl, 1, 0);
  ports->addWidget(fPair, 1, 1);
  ports->setColumnStretch(2, 1);

  fDSSbtns = new TButtonPage(TButtonKind::DSS, "DSSbtns", kDSSrows, kDSScols, this);
  fPFbtns = new TButtonPage(TButtonKind::PF, "PFbtns", kPFrows, kPFcols, this);
  auto* grids = new QHBoxLayout;
  grids->addWidget(Framed("DSS buttons", fDSSbtns, this));
  grids->addWidget(Framed("PF buttons", fPFbtns, this));
  grids->addStretch();

  auto* top = new QVBoxLayout(this);
  top->addLayout(ports);
  top->addLayout(grids);
  AddPrevNextOkCancelHelp(this, top, kHelpDSSparams, "DSS", fPrev, fNext);
  connect(fPrev, &QPushButton::clicked, this, [this] { Navigate(fPrevTarget); });
  connect(fNext, &QPushButton::clicked, this, [this] { Navigate(fNextTarget); });

  DeclareBindings();
}

void TDSSprmDlg::DeclareBindings() {
  // The port's entry is the jack itself ("none" = 00); the pair's entries carry their jack.
  Bindings().Add(fPort, "003D", 1, TItemConv::TwoDigit);
  Bindings().AddCustom(
      fPair, "004D", [this](const TCmdData& B) { SelectJack(fPair, B.ItemInt(1)); },
      [this](TCmdData& B) { StoreValue(B, 1, TItemConv::TwoDigit, SelectedJack(fPair)); });
}

void TDSSprmDlg::RefreshFrame() {
  TIntegerList consoles;
  consoles.Assign(fConsoles);
  setWindowTitle(QString("DSS %1").arg(QString::fromStdString(FormatRanges(consoles))));
  // The extension numbers may have been read since the dialog opened.
  fPair->clear();
  fPair->addItem("none", 0);
  AddExtensionEntries(fPair, &Store().Extensions.Cmd009);
  // Port and pair belong to one console: several are never given the same.
  const bool single = fConsoles.Count() == 1;
  for (QWidget* w : std::initializer_list<QWidget*>{fPort, fPair, fPortLbl, fPairLbl})
    w->setEnabled(single);
  const int low = fConsoles.First(), high = fConsoles.Last();
  fPrevTarget = low > 1 ? low - 1 : 0;
  fNextTarget = high < TDSSarray::kConsoleCount ? high + 1 : 0;
  fPrev->setEnabled(fPrevTarget != 0);
  SetStepCaption(fPrev, fPrevTarget ? QString("DSS %1").arg(fPrevTarget) : QString("Prev DSS"));
  fNext->setEnabled(fNextTarget != 0);
  SetStepCaption(fNext, fNextTarget ? QString("DSS %1").arg(fNextTarget) : QString("Next DSS"));
}

void TDSSprmDlg::PreRead(bool Force) {
  // The buttons show extension numbers and the pair is chosen by them: read those first.
  TExtensionArray& ext = Store().Extensions;
  if (Force || !ext.NumbersHaveData()) {
    bool aborted = false;
    Guarded([&] {
      try {
        return ext.ReadNumbers(true);
      } catch (const EAbortOperation&) {
        aborted = true;
        throw;
      }
    });
    if (aborted) return;  // the user stopped the reading, not only this part of it
  }
  TDSSarray& store = Store().DSSConsoles;
  if (!Force && store.ConsolesHaveData(fConsoles)) return;
  TIntegerList read;
  for (int d : fConsoles.Values())
    if (Force || !store.Consoles(d).HasActualData()) read.Add(d);
  if (read.Count() > 0) Guarded([&] { return store.ReadConsoles(read, true); });
}

void TDSSprmDlg::Prepare() {
  fWork.Assign(Store().DSSConsoles);
  RefreshFrame();
}

bool TDSSprmDlg::HasData() const {
  return fWork.ConsolesHaveData(fConsoles);
}

void TDSSprmDlg::LoadControls() {
  // One record shows every selected console; where they differ it shows undefined, and the
  // buttons that differ "???".
  TDSSdata shown(fConsoles.First(), nullptr);
  shown.Assign(fWork.Consoles(fConsoles.First()));
  for (int i = 1; i < fConsoles.Count(); ++i) shown.MarkDifferences(fWork.Consoles(fConsoles[i]));
  Bindings().Load([&](const std::string& Code) -> TCmdData& {
    return Code == "003D" ? shown.Cmd003D : shown.Cmd004D;
  });
  fDSSbtns->SetLines(shown.BD);
  fPFbtns->SetLines(shown.BF);
}

void TDSSprmDlg::StoreControls() {
  TDSSdata scratch(fConsoles.First(), nullptr);
  scratch.Assign(fWork.Consoles(fConsoles.First()));
  scratch.SetMultiEdit(true);
  // With several consoles the port and pair are disabled and show the consoles' common value
  // or none: a common value comes back as each console holds it, none marks the item
  // undefined, so every console keeps its own.
  Bindings().Store([&](const std::string& Code) -> TCmdData& {
    return Code == "003D" ? scratch.Cmd003D : scratch.Cmd004D;
  });
  // The pages' lines: what the user did not decide still carries the marks of differing lines.
  scratch.BD.Assign(fDSSbtns->Lines());
  scratch.BF.Assign(fPFbtns->Lines());
  for (int d : fConsoles.Values()) {
    TDSSdata& console = fWork.Consoles(d);
    TDSSdata before(d, nullptr);
    before.Assign(console);
    console.AssignKnown(scratch);
    console.SetNumber(d);
    // Renumbering a copied block alters its text, which alone is no edit of this console.
    KeepUnchangedFlags(console.Cmd003D, before.Cmd003D);
    KeepUnchangedFlags(console.Cmd004D, before.Cmd004D);
    KeepUnchangedLines(console.BD, before.BD);
    KeepUnchangedLines(console.BF, before.BF);
  }
}

void TDSSprmDlg::Commit() {
  Store().DSSConsoles.Assign(fWork);
}

bool TDSSprmDlg::HasChanges() const {
  return Store().DSSConsoles.HasChanges();
}

bool TDSSprmDlg::UploadAll() {
  return Store().DSSConsoles.UploadConsoles(fConsoles, true);
}

bool TDSSprmDlg::UploadChanged() {
  return Store().DSSConsoles.UploadChanged(true);
}

void TDSSprmDlg::Navigate(int Target) {
  if (Target < 1 || Target > TDSSarray::kConsoleCount) return;
  StoreControls();
  fConsoles.Clear();
  fConsoles.Add(Target);
  TDSSarray& store = Store().DSSConsoles;
  if (OnLine() && (FKeyHeld() || !store.ConsolesHaveData(fConsoles))) {
    const bool ok = Guarded([&] { return store.ReadConsoles(fConsoles, true); });
    if (ok) fWork.Consoles(Target).Assign(store.Consoles(Target));
  }
  if (!HasData()) ShowNoData();
  RefreshFrame();
  LoadControls();
}

bool EditDSSConsoles(QWidget* Parent, const TIntegerList& Consoles) {
  TDSSprmDlg dlg(Parent, Consoles);
  return dlg.Execute(FKeyHeld());
}
