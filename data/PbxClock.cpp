#include "PbxClock.h"

#include "Errors.h"  // Format
#include "Feedback.h"
#include "Session.h"
#include "Text.h"

int DayOfWeek(int Year, int Month, int Day) {
  // Sakamoto's method.
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (Month < 3) Year -= 1;
  return (Year + Year / 4 - Year / 100 + Year / 400 + t[(Month - 1) % 12] + Day) % 7;
}

bool ValidClock(const TPbxClock& C) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (C.Year < 1 || C.Month < 1 || C.Month > 12 || C.Day < 1) return false;
  const bool leap = (C.Year % 4 == 0 && C.Year % 100 != 0) || C.Year % 400 == 0;
  const int last = days[C.Month - 1] + (C.Month == 2 && leap ? 1 : 0);
  return C.Day <= last && C.Hour >= 0 && C.Hour < 24 && C.Minute >= 0 && C.Minute < 60;
}

std::string ClockWriteCommand(const TPbxClock& C) {
  const int h12 = C.Hour == 0 || C.Hour == 12 ? 12 : C.Hour > 12 ? C.Hour - 12 : C.Hour;
  return Format("000S/%.2d%.2d%.2d%d,%.2d%.2d%d/", C.Year % 100, C.Month, C.Day,
                DayOfWeek(C.Year, C.Month, C.Day), h12, C.Minute, C.Hour >= 12 ? 1 : 0);
}

namespace {

// Characters From..From+Count-1 (numbered from 1) as a number; false unless all are digits.
bool Digits(const std::string& S, size_t From, size_t Count, int& Value) {
  if (S.size() < From - 1 + Count) return false;
  Value = 0;
  for (size_t i = From - 1; i < From - 1 + Count; ++i) {
    if (S[i] < '0' || S[i] > '9') return false;
    Value = Value * 10 + (S[i] - '0');
  }
  return true;
}

// Show mode for the read, edit mode again afterwards, whatever happens in between.
class TShowModeScope {
 public:
  TShowModeScope() {
    PbxComm().EndMode();
    PbxComm().EnterShowMode();
  }
  ~TShowModeScope() {
    PbxComm().EndMode();
    PbxComm().EnterEditMode();
  }
};

class TTopInfoScope {
 public:
  explicit TTopInfoScope(const char* Text) { ShowTopInfo(Text); }
  ~TTopInfoScope() { HideTopInfo(); }
};

}  // namespace

bool DecodeClockLine(const std::string& Line, TPbxClock& C) {
  int yy, pm;
  if (!Digits(Line, 9, 2, yy) || !Digits(Line, 11, 2, C.Month) || !Digits(Line, 13, 2, C.Day) ||
      !Digits(Line, 17, 2, C.Hour) || !Digits(Line, 19, 2, C.Minute) || !Digits(Line, 21, 1, pm))
    return false;
  C.Year = yy < 30 ? 2000 + yy : 1900 + yy;
  // 12 AM is midnight; PM adds twelve only to the hours of a 12-hour clock, so a PBX that
  // sends 13 with the PM flag means 13:00.
  if (pm != 1 && C.Hour == 12) C.Hour = 0;
  if (pm == 1 && C.Hour < 12) C.Hour += 12;
  return true;
}

bool ReadPbxClock(TPbxClock& C, bool& Decoded) {
  Decoded = false;
  TStringList lines;
  bool ok;
  {
    TTopInfoScope info("Reading..");
    TShowModeScope mode;
    ok = PbxComm().SendCommand("000S", lines, ";S>");
  }
  if (!ok) return false;
  for (const std::string& l : lines) {
    const size_t at = l.find(";=>");
    if (at == std::string::npos) continue;
    // The line is numbered from its data mark, whatever came before it on the line.
    Decoded = DecodeClockLine(l.substr(at), C);
    break;
  }
  return true;
}

bool WritePbxClock(const TPbxClock& C) {
  TTopInfoScope info("Saving..");
  TStringList lines;
  return PbxComm().SendCommand(ClockWriteCommand(C), lines, ";E>");
}
