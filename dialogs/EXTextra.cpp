#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>

#include "EXTparam.h"
#include "FormParts.h"
#include "SysData.h"

// The extra page of the extension dialog: the options and the door phones.

namespace {

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

}  // namespace

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

void TEXTprmDlg::DeclareOptions() {
  TBindingTable& t = Bindings();
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

void TEXTprmDlg::LoadDoors() {
  for (int d = 0; d < 6; ++d) {
    const TCmdList& list = Work().SharedList(d);
    QListWidget* lw = fDoor[size_t(d)];
    // The lists are only meaningful with a line for each of the four door phones.
    const bool used = list.Count() == kDoors;
    lw->setEnabled(used);
    for (int k = 0; k < kDoors; ++k)
      SetItemState(lw->item(k), used ? DigitState(list.Items(k), Selected()) : 0);
  }
}

void TEXTprmDlg::StoreDoors() {
  for (int d = 0; d < 6; ++d) {
    TCmdList& list = Work().SharedList(d);
    if (list.Count() != kDoors) continue;
    for (int k = 0; k < kDoors; ++k)
      SetDigits(list.Items(k), Selected(), ItemState(fDoor[size_t(d)]->item(k)));
  }
}
