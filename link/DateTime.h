// Date-time values as the system stores them: days since 30 December 1899, as a double.
#pragma once

#include <string>

// Local time now.
double Now();

// Converts Unix time (seconds) to a date-time value in local time.
double UnixToDateTime(double UnixSeconds);

// The date and time in the short date / long time form of the user's locale (error log lines).
std::string DateTimeToDisplayString(double Value);

// Monotonic millisecond tick, wrapping at 2^32 like the system's tick counter.
unsigned GetTickCount32();
