#include "TimerDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "HelpContext.h"

namespace {

QStringList Steps(int From, int To, int Step, const char* Unit) {
  QStringList s;
  for (int v = From; v <= To; v += Step) s << QString("%1 %2").arg(v).arg(Unit);
  return s;
}

}  // namespace

TTimerDlg::TTimerDlg(QWidget* Parent) : TProgDlg(Parent) {
  setObjectName("TimerDlg");
  setWindowTitle("Timer");
  auto* top = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  top->addLayout(form);
  using C = TItemConv;
  const auto combo = [&](const char* Name, const char* Label, const QStringList& Entries,
                         const char* Code, C Conv) {
    auto* cb = new QComboBox(this);
    cb->setObjectName(Name);
    cb->addItems(Entries);
    cb->setCurrentIndex(-1);
    form->addRow(Label, cb);
    Bindings().Add(cb, Code, 1, Conv);
  };
  combo("HoldRecallCb", "Hold Recall Time:",
        {"Disable", "30 sec", "1 min", "1.5 min", "2 min", "3 min", "4 min", "5 min", "6 min"},
        "200S", C::Index);
  combo("TransferRecallTimeCb", "Transfer Recall Time:", {"15 sec", "30 sec", "1 min", "2 min"},
        "201S", C::Index);
  combo("FwdStartTimeCb", "Call Forwarding Start Time:", Steps(5, 20, 5, "sec"), "202S",
        C::Index);
  combo("PickupDelayCb", "Pickup Dial Delay Time:", Steps(1, 4, 1, "sec"), "203S", C::Index);
  combo("CallDurCb", "Call Duration Count Start Time:",
        QStringList{"Instantly"} + Steps(5, 50, 5, "sec"), "204S", C::TwoDigit);
  combo("COCOdurCb", "Outside-to-Outside (CO-to-CO) Line Duration Time Limit:",
        Steps(1, 32, 1, "min"), "205S", C::Index1TwoDigit);
  combo("DialStartCb", "Dialing Start Time:", Steps(0, 1500, 250, "ms"), "206S", C::Index);
  combo("FlashRangeCb", "Hookswitch Flash Timing Range:",
        {"50 to 180 ms", "80 to 180 ms", "80 to 650 ms", "80 to 1000 ms", "200 to 1000 ms"},
        "207S", C::Index);
  combo("InterdigitCb", "Interdigit Time:", Steps(5, 20, 5, "sec"), "208S", C::Index);
  combo("DTMFcb", "DTMF Time:", {"80 ms", "160 ms"}, "210S", C::Index);
  auto* noDial = new QCheckBox("No Dial Disconnection", this);
  noDial->setObjectName("NoDialCx");
  form->addRow(noDial);
  Bindings().Add(noDial, "211S", 1, C::Check);
  combo("ExtCOdurCb", "Outside (CO) Line Duration Time Limit:", Steps(1, 32, 1, "min"), "212S",
        C::Index1TwoDigit);
  combo("BellOffCb", "Bell Off Detection:", {"3 sec", "6 sec", "12 sec"}, "213S", C::Index);

  AddOkCancelHelp(this, top, kHelpTimer);
  SetGroup(grTimer);
}

void EditTimers(QWidget* Parent, bool Force) {
  TTimerDlg dlg(Parent);
  dlg.Execute(Force);
}
