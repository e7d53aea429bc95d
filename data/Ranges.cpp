// Formatting and parsing range lists.
#include "Ranges.h"

#include <algorithm>

#include "Text.h"

std::string FormatRanges(TIntegerList& List, int Limit) {
  std::string result;
  int n = Limit < 0 ? List.Count() : std::min(Limit, List.Count());
  if (n <= 0) return result;
  List.Sort();
  int i = 0;
  while (i < List.Count() && n > 0) {
    int len = 1;
    while (i + len < List.Count() && static_cast<long long>(List[i + len]) ==
                                         static_cast<long long>(List[i + len - 1]) + 1)
      ++len;
    if (len > n) len = n;
    if (len < 2)
      result += std::to_string(List[i]) + ",";
    else
      result += std::to_string(List[i]) + "-" + std::to_string(List[i + len - 1]) + ",";
    i += len;
    n -= len;
  }
  result.pop_back();
  return result;
}

std::unique_ptr<TIntegerList> ParseRanges(const std::string& Text) {
  auto list = std::make_unique<TIntegerList>();
  const int pieces = std::min(WordCount(Text, ","), kMaxRangePieces);
  for (int p = 1; p <= pieces; ++p) {
    const std::string piece = TrimBlanks(ExtractWord(Text, ",", p).substr(0, 100));
    if (piece.empty()) continue;
    const size_t dash = piece.find('-');
    if (dash != std::string::npos) {
      int from, to;
      if (!TryStrToInt(piece.substr(0, dash), from) || !TryStrToInt(piece.substr(dash + 1), to))
        continue;
      for (long long v = from; v <= to && list->Count() < kMaxRangeNumbers; ++v)
        list->Add(static_cast<int>(v));
    } else {
      int v;
      if (TryStrToInt(piece, v) && list->Count() < kMaxRangeNumbers) list->Add(v);
    }
  }
  list->Sort();
  return list;
}
