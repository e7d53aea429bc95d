#include "Services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "FormParts.h"
#include "HelpContext.h"
#include "SysData.h"

namespace {

constexpr int kVoiceMailPorts = 4;
constexpr int kGroups = 8;
constexpr size_t kMinHuntText = 15;  // "100S/dddd dddd/"
enum { huntDisable, huntTerminate, huntCircular };

// A dialog's form above OK, Cancel and Help.
QFormLayout* Frame(QDialog* Dlg, const char* Name, const char* Caption, int Help) {
  Dlg->setObjectName(Name);
  Dlg->setWindowTitle(Caption);
  auto* top = new QVBoxLayout(Dlg);
  auto* form = new QFormLayout;
  top->addLayout(form);
  AddOkCancelHelp(Dlg, top, Help);
  return form;
}

// A two-digit number field with its up-down buttons; the item keeps its value when it holds
// none the field can show.
QSpinBox* Spin(const char* Name, int Lo, int Hi, QWidget* Parent) {
  auto* s = new QSpinBox(Parent);
  s->setObjectName(Name);
  s->setRange(Lo, Hi);
  return s;
}

}  // namespace

size_t GroupDigitAt(int Group) {
  return static_cast<size_t>(Group <= 4 ? Group - 1 : Group);
}

// ---- voice mail -----------------------------------------------------------------------------

TVoiceMailDlg::TVoiceMailDlg(QWidget* Parent) : TProgDlg(Parent) {
  QFormLayout* form = Frame(this, "VoiceMailDlg", "Voice Mail integration", kHelpVoiceMail);
  fJacks = new QListWidget(this);
  fJacks->setObjectName("JackCxl");
  for (const char* jack : {"Jack 07", "Jack 08", "Jack 15", "Jack 16"}) {
    auto* item = new QListWidgetItem(jack, fJacks);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  form->addRow(new QLabel("Voice Mail Ports for KX-TVP75/KX-TVP100", this));
  form->addRow(fJacks);
  auto* dtmf = new QCheckBox("Send DTMF codes to KX-TVP75/KX-TVP100", this);
  dtmf->setObjectName("DTMFcx");
  form->addRow(dtmf);
  Bindings().Add(dtmf, "103S", 1, TItemConv::Check);
  SetGroup(grVoiceMail);
}

void TVoiceMailDlg::LoadControls() {
  TProgDlg::LoadControls();
  const TCmdList& ports = Store().List102E;
  for (int i = 0; i < kVoiceMailPorts; ++i) {
    QListWidgetItem* item = fJacks->item(i);
    const bool there = i < ports.Count();
    // A port the list does not hold cannot be set.
    item->setFlags(there ? Qt::ItemIsEnabled | Qt::ItemIsUserCheckable : Qt::NoItemFlags);
    item->setCheckState(there && ports.Items(i).ItemInt(1) == 1 ? Qt::Checked : Qt::Unchecked);
  }
}

void TVoiceMailDlg::StoreControls() {
  TCmdList& ports = Store().List102E;
  for (int i = 0; i < std::min(kVoiceMailPorts, ports.Count()); ++i)
    StoreValue(ports.Items(i), 1, TItemConv::Check,
               fJacks->item(i)->checkState() == Qt::Checked ? 1 : 0);
  TProgDlg::StoreControls();
}

// ---- call hunting ---------------------------------------------------------------------------

TCallHuntDlg::TCallHuntDlg(QWidget* Parent) : TProgDlg(Parent) {
  QFormLayout* form = Frame(this, "CallHuntDlg", "Call Hunting", kHelpCallHunt);
  for (int g = 1; g <= kGroups; ++g) {
    fGroups[g - 1] = Combo(qPrintable(QString("EXG%1cb").arg(g)),
                           {"Disable", "Terminate", "Circular"}, this);
    form->addRow(QString("Extension group %1:").arg(g), fGroups[g - 1]);
  }
  SetGroup(grCallHunting);
}

bool TCallHuntDlg::Readable() const {
  return Store().Cmd100S.Data().size() >= kMinHuntText &&
         Store().Cmd101S.Data().size() >= kMinHuntText;
}

void TCallHuntDlg::LoadControls() {
  const std::string on = Store().Cmd100S.ItemStr(1), circular = Store().Cmd101S.ItemStr(1);
  for (int g = 1; g <= kGroups; ++g) {
    const size_t at = GroupDigitAt(g);
    int entry = -1;
    if (Readable() && at < on.size() && at < circular.size()) {
      if (on[at] == '0')
        entry = huntDisable;
      else if (on[at] == '1' && circular[at] == '0')
        entry = huntTerminate;
      else if (on[at] == '1' && circular[at] == '1')
        entry = huntCircular;
    }
    fGroups[g - 1]->setCurrentIndex(entry);
  }
}

void TCallHuntDlg::StoreControls() {
  if (!Readable()) return;
  std::string on = Store().Cmd100S.ItemStr(1), circular = Store().Cmd101S.ItemStr(1);
  for (int g = 1; g <= kGroups; ++g) {
    const int entry = fGroups[g - 1]->currentIndex();
    const size_t at = GroupDigitAt(g);
    if (entry < 0 || at >= on.size() || at >= circular.size()) continue;
    on[at] = entry == huntDisable ? '0' : '1';
    circular[at] = entry == huntCircular ? '1' : '0';
  }
  Store().Cmd100S.SetItemStr(1, on);
  Store().Cmd101S.SetItemStr(1, circular);
}

// ---- SMDR -----------------------------------------------------------------------------------

TSMDRdlg::TSMDRdlg(QWidget* Parent) : TProgDlg(Parent) {
  QFormLayout* form = Frame(this, "SMDRdlg", "SMDR parameters", kHelpSMDR);
  using C = TItemConv;
  TBindingTable& t = Bindings();
  QSpinBox* page = Spin("PageLenEdit", 4, 99, this);
  QSpinBox* perf = Spin("PerfEdit", 0, 95, this);
  form->addRow("Page length (4-99):", page);
  form->addRow("Skip perforation (0-95):", perf);
  // Both numbers are items of one block: one custom binding loads and stores them.
  t.AddCustom(
      page, "801S",
      [page, perf](const TCmdData& B) {
        page->setValue(B.ItemInt(1));
        perf->setValue(B.ItemInt(2));
      },
      [page, perf](TCmdData& B) {
        if (B.ItemInt(1) < 0) return;  // never read: nothing to write into
        B.SetItem2d(1, page->value());
        B.SetItem2d(2, perf->value());
      });
  QComboBox* out = Combo("OutgoingCb", {"No printing", "All calls", "Toll calls only"}, this);
  QComboBox* in = Combo("IncomingCb", {"No printing", "All calls"}, this);
  form->addRow("Print outgoing calls:", out);
  form->addRow("Print incoming calls:", in);
  t.Add(out, "802S", 1, C::Index);
  t.Add(in, "802S", 2, C::Index);
  auto* speed = new QCheckBox("Secret Speed Dialing / One-Touch Dialing Printing", this);
  speed->setObjectName("SpeedDialsCx");
  form->addRow(speed);
  t.Add(speed, "803S", 1, C::Check);
  QComboBox* account = Combo("AccountCodeCb", {"Print code", "Print index"}, this);
  form->addRow("SMDR Account Code Selection:", account);
  t.Add(account, "805S", 1, C::Index);
  QComboBox* language = Combo("LanguageCb", {"English", "Spanish", "Portuguese"}, this);
  form->addRow("SMDR Language Assignment:", language);
  t.Add(language, "806S", 1, C::Index);
  SetGroup(grSMDR);
}

void EditVoiceMail(QWidget* Parent, bool Force) {
  TVoiceMailDlg dlg(Parent);
  dlg.Execute(Force);
}

void EditCallHunting(QWidget* Parent, bool Force) {
  TCallHuntDlg dlg(Parent);
  dlg.Execute(Force);
}

void EditSMDR(QWidget* Parent, bool Force) {
  TSMDRdlg dlg(Parent);
  dlg.Execute(Force);
}
