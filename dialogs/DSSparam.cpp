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
#include "HelpContext.h"
#include "SysData.h"

namespace {

constexpr int kDSSrows = 8, kDSScols = 4;
constexpr int kPFrows = 8, kPFcols = 2;

QGroupBox* Framed(const char* Title, QWidget* Content, QWidget* Parent) {
  auto* box = new QGroupBox(Title, Parent);
  auto* l = new QVBoxLayout(box);
  l->addWidget(Content);
  return box;
}

}  // namespace

TDSSprmDlg::TDSSprmDlg(QWidget* Parent, const TIntegerList& Consoles)
    : TTableDlg(Parent, Consoles) {
  setObjectName("DSSprmDlg");

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
  AddButtons(top, kHelpDSSparams);

  DeclareBindings();
}

void TDSSprmDlg::DeclareBindings() {
  // The port's entry is the jack itself ("none" = 00); the pair's entries carry their jack.
  Bindings().Add(fPort, "003D", 1, TItemConv::TwoDigit);
  Bindings().AddCustom(
      fPair, "004D", [this](const TCmdData& B) { SelectJack(fPair, B.ItemInt(1)); },
      [this](TCmdData& B) { StoreValue(B, 1, TItemConv::TwoDigit, SelectedJack(fPair)); });
}

TDSSarray& TDSSconsoleTraits::Of(TSysData& Store) {
  return Store.DSSConsoles;
}

void TDSSconsoleTraits::KeepUnchanged(TDSSdata& R, const TDSSdata& Before) {
  KeepUnchangedFlags(R.Cmd003D, Before.Cmd003D);
  KeepUnchangedFlags(R.Cmd004D, Before.Cmd004D);
  KeepUnchangedLines(R.BD, Before.BD);
  KeepUnchangedLines(R.BF, Before.BF);
}

void TDSSprmDlg::RefreshPage() {
  fPair->clear();
  fPair->addItem("none", 0);
  AddExtensionEntries(fPair, &Store().Extensions.Cmd009);
  // Port and pair belong to one console: several are never given the same.
  const bool single = Selected().Count() == 1;
  for (QWidget* w : std::initializer_list<QWidget*>{fPort, fPair, fPortLbl, fPairLbl})
    w->setEnabled(single);
}

void TDSSprmDlg::PreRead(bool Force) {
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
  TTableDlg::PreRead(Force);
}

void TDSSprmDlg::LoadMore(const TDSSdata& Shown) {
  // The buttons that differ show "???".
  fDSSbtns->SetLines(Shown.BD);
  fPFbtns->SetLines(Shown.BF);
}

// With several consoles the port and pair are disabled and show the consoles' common value or
// none: a common value comes back as each console holds it, none marks the item undefined, so
// every console keeps its own.
void TDSSprmDlg::StoreMore(TDSSdata& Scratch) {
  // The pages' lines: what the user did not decide still carries the marks of differing lines.
  Scratch.BD.Assign(fDSSbtns->Lines());
  Scratch.BF.Assign(fPFbtns->Lines());
}

bool EditDSSConsoles(QWidget* Parent, const TIntegerList& Consoles) {
  TDSSprmDlg dlg(Parent, Consoles);
  return dlg.Execute(FKeyHeld());
}
