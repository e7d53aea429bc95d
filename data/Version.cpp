// The capability record and the firmware families.
#include "Version.h"

#include "Text.h"

namespace {

const char* const kFamilyY501Codes =
    "Y501A;Y501B;Y551C;Y551B;Y551A;Y501F;Y501?;Y501W;Y501J;Y501K;Y501?;Y501?;Y501H";
const char* const kFamilyY581Codes =
    "Y581M;Y581L;Y581Q;Y581G;Y581J;Y581O;Y501T;Y581C;Y581F;Y581E;Y581N;Y581P;Y581K";

bool CodeMatches(const std::string& Code, const std::string& Pattern) {
  if (Code.size() != Pattern.size()) return false;
  for (size_t i = 0; i < Code.size(); ++i)
    if (Pattern[i] != '?' && Pattern[i] != Code[i]) return false;
  return true;
}

bool InList(const std::string& Code, const char* List) {
  const int n = WordCount(List, ";");
  for (int i = 1; i <= n; ++i)
    if (CodeMatches(Code, ExtractWord(List, ";", i))) return true;
  return false;
}

}  // namespace

TVersion::TFamily TVersion::FamilyOf(const std::string& VersionText) {
  const std::string text = TrimBlanks(VersionText);
  if (text.size() < 5) return famUnknown;
  const std::string code = text.substr(0, 5);
  // The Y581 list is tried first: it names Y501T, which the Y501 list's wildcards would take.
  if (InList(code, kFamilyY581Codes)) return famY581;
  if (InList(code, kFamilyY501Codes)) return famY501;
  const std::string digits = code.substr(1, 3);
  if (digits == "581") return famY581;
  if (digits == "551") return famY501;
  return famUnknown;
}

void TVersion::SetModel(const std::string& Model) {
  ExtendedSpeedDial = 0;
  Skip123S = 0;
  fModel = Model;
  fFamily = FamilyOf(Model);
  ExtendedSpeedDial = 1;
  Skip123S = 1;
}
