#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "EXTparam.h"
#include "FormParts.h"

// The outgoing / incoming page of the extension dialog: CO line access and ringing per period,
// carried by the shared lists' jack digits.

namespace {

// Shared lists: 0-2 door phone ringing, 3-5 door opener use, 6-8 outgoing, 9-11 incoming
// ringing, 12-14 ring delay; each group day, night, lunch.
constexpr int kOutList = 6, kRingList = 9, kDelayList = 12;

}  // namespace

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

// The check state of a jack digit over all selected jacks: 1 when it is 1, 0 otherwise, 2 when
// the jacks differ. A line too short to carry digits shows 0.
int TEXTprmDlg::DigitState(const TCmdData& Line, const TIntegerList& Jacks) {
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
void TEXTprmDlg::SetDigits(TCmdData& Line, const TIntegerList& Jacks, int State) {
  if (State != 0 && State != 1) return;
  for (int j : Jacks.Values()) TExtensionArray::SetJackDigit(Line, j, State);
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

void TEXTprmDlg::LoadLines() {
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

void TEXTprmDlg::StoreLines() {
  TakeLines(fShownPeriod);
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
