// The PBX clock (program 000S): read in show mode, written in edit mode, kept nowhere in the
// store. The PBX counts hours on a 12-hour clock with a PM flag and years in two digits.
#pragma once

#include <string>

struct TPbxClock {
  int Year = 2000;  // full year
  int Month = 1, Day = 1;
  int Hour = 0, Minute = 0;  // 0..23
};

// 0 Sunday .. 6 Saturday, of the Gregorian calendar.
int DayOfWeek(int Year, int Month, int Day);
// A real calendar date and a time of day.
bool ValidClock(const TPbxClock& C);

// "000S/yymmddw,hhmmp/": two-digit year, month, day, day of the week, hour on the 12-hour
// clock (12 for 0 and 12), minute, 1 for PM (hour 12 or later).
std::string ClockWriteCommand(const TPbxClock& C);
// The fields of a reply line as the PBX sends it (";=>000S/yymmddw,hhmmp/"): years below 30
// are 20yy, others 19yy; 12 AM is hour 0 and PM adds 12 below 12 (13 PM is 13:00). False when
// the line is too short or a field is not a number; the fields may still form no valid date
// (ValidClock).
bool DecodeClockLine(const std::string& Line, TPbxClock& C);

// The exchanges, with "Reading.." / "Saving.." on the information panel. ReadPbxClock: false
// when the exchange failed (the session has told why); Decoded tells whether a reply line was
// found and read into C. Both leave the session in edit mode. The user's abort passes through.
bool ReadPbxClock(TPbxClock& C, bool& Decoded);
bool WritePbxClock(const TPbxClock& C);
