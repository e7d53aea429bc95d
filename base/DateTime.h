// Date-time values as the system stores them: days since 30 December 1899, as a double.
#pragma once

#include <functional>
#include <string>

// Local wall-clock time now.
double Now();
// Now as read at the first call, plus the time elapsed since on a clock that never jumps: the
// clock of read times and connection times, which are compared with each other.
double SteadyNow();
// Replaces the wall clock that Now reads (nullptr: the system's again), for tests.
void SetWallClockForTest(std::function<double()> Clock);

// Converts Unix time (seconds) to a date-time value in local time.
double UnixToDateTime(double UnixSeconds);

// The date and time in the short date / long time form of the user's locale (error log lines).
std::string DateTimeToDisplayString(double Value);

// Monotonic millisecond tick, wrapping at 2^32 like the system's tick counter.
unsigned GetTickCount32();
