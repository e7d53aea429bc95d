// Day/night service: the changing mode (program 006S) and the weekly starting and ending times
// of the day and lunch periods (the seven lines of 007S, Sunday first). The two tabs show the
// same 28 controls: "Day/Night" items 1 and 2 of each day, "Lunch" items 3 and 4.
#pragma once

#include <QTime>
#include <array>
#include <string>

#include "ProgDlg.h"

class QCheckBox;
class QComboBox;
class QTabBar;
class QTimeEdit;

constexpr int kHelpDayNight = 460;

// One time item of 007S: "hhmmp" on the 12-hour clock, p = 1 for PM, or "^" for no time.
struct TDayTime {
  bool Ok = true;    // the text could be read
  bool Set = false;  // a time is set (the item is not "^")
  QTime Time{0, 0};
};
TDayTime ParseDayTime(const std::string& Item);
std::string DayTimeItem(const TDayTime& T);

class TDayNightDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TDayNightDlg(QWidget* Parent);

  int Tab() const;

 protected:
  void LoadControls() override;
  void StoreControls() override;

 private:
  void ShowTab(int Tab);
  void SaveTab(int Tab);
  void Unchecked();

  // Entry [day][item - 1].
  std::array<std::array<TDayTime, 4>, 7> fEntries{};
  QComboBox* fMode;
  QTabBar* fTabs;
  std::array<QCheckBox*, 14> fChecks{};  // starting boxes of Sunday .. Saturday, then ending
  std::array<QTimeEdit*, 14> fPickers{};
  int fShownTab = 0;
  bool fLoading = false;
};

void EditDayNight(QWidget* Parent, bool Force);
