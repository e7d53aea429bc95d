#include "DialogNames.h"

#include "ARSdlg.h"
#include "COparam.h"
#include "CodeTables.h"
#include "DISAparam.h"
#include "DSSparam.h"
#include "DayNightDlg.h"
#include "EXTparam.h"
#include "IntList.h"
#include "Services.h"
#include "SpeedDial.h"
#include "SystemParam.h"
#include "TimerDlg.h"

void NameValuesFromDialogs() {
  // Only constructed: a dialog reads and shows nothing before Execute.
  { TSystemParamDlg d(nullptr); }
  { TTimerDlg d(nullptr); }
  { TDayNightDlg d(nullptr); }
  { TDISAprmDlg d(nullptr); }
  { TUCDprmDlg d(nullptr); }
  { TARSDlg d(nullptr); }
  { TTRSDlg d(nullptr); }
  { TVoiceMailDlg d(nullptr); }
  { TCallHuntDlg d(nullptr); }
  { TSMDRdlg d(nullptr); }
  { TSpeedDialDlg d(nullptr); }
  { TCOprmDlg d(nullptr, TIntegerList({1})); }
  { TDSSprmDlg d(nullptr, TIntegerList({1})); }
  { TEXTprmDlg d(nullptr, TIntegerList({1})); }
}
