// Date-time values (days since 30 December 1899) and the millisecond tick.
#include "DateTime.h"

#include <chrono>
#include <ctime>
#include <functional>

namespace {
// Days between 30 December 1899 and 1 January 1970.
constexpr double kUnixEpochDays = 25569.0;
}  // namespace

double UnixToDateTime(double UnixSeconds) {
  const time_t whole = static_cast<time_t>(UnixSeconds);
  struct tm local {};
  localtime_r(&whole, &local);
  // Shift by the local offset so that the value reads as local wall-clock time.
  return kUnixEpochDays + (UnixSeconds + static_cast<double>(local.tm_gmtoff)) / 86400.0;
}

namespace {

double WallNow() {
  using namespace std::chrono;
  const double secs =
      duration_cast<microseconds>(system_clock::now().time_since_epoch()).count() / 1e6;
  return UnixToDateTime(secs);
}

std::function<double()>& WallClock() {
  static std::function<double()> clock = WallNow;
  return clock;
}

}  // namespace

double Now() { return WallClock()(); }

void SetWallClockForTest(std::function<double()> Clock) {
  WallClock() = Clock ? std::move(Clock) : std::function<double()>(WallNow);
}

double SteadyNow() {
  using namespace std::chrono;
  // The wall clock is read once; from then on only the time elapsed counts, so that the
  // end of summer time or a clock set back does not make a later moment read as earlier.
  static const double base = Now();
  static const steady_clock::time_point start = steady_clock::now();
  return base + duration_cast<microseconds>(steady_clock::now() - start).count() / 86400e6;
}

std::string DateTimeToDisplayString(double Value) {
  const double unixSecs = (Value - kUnixEpochDays) * 86400.0;
  // The value is local wall-clock time already; format it as if it were UTC.
  const time_t t = static_cast<time_t>(unixSecs);
  struct tm tmv {};
  gmtime_r(&t, &tmv);
  char buf[64];
  // The locale's own short date and long time, as the error log has always shown them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-y2k"
  const size_t n = std::strftime(buf, sizeof buf, "%x %X", &tmv);
#pragma GCC diagnostic pop
  if (n == 0) return std::string();
  return buf;
}

unsigned GetTickCount32() {
  using namespace std::chrono;
  return static_cast<unsigned>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
