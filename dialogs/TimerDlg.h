// The thirteen PBX timers (programs 200S to 213S), one combo box or check box each.
#pragma once

#include "ProgDlg.h"

constexpr int kHelpTimer = 470;

class TTimerDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TTimerDlg(QWidget* Parent);
};

// The parameter list's "Timer" entry; Force (F held) reads again before showing.
void EditTimers(QWidget* Parent, bool Force);
