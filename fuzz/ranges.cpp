// Range lists on untrusted text. Properties: the result is sorted, bounded, and made of
// numbers that are not negative; writing it back and reading that again gives the same list.
#include "FuzzSupport.h"
#include "Ranges.h"
#include "Text.h"

namespace {

std::string Dump(const TIntegerList& L) {
  std::string s;
  for (int i = 0; i < L.Count() && i < 50; ++i) s += std::to_string(L[i]) + " ";
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string text = AsText(Data, Size);
  auto list = ParseRanges(text);
  FUZZ_CHECK(list->Count() <= kMaxRangeNumbers, text);
  for (int i = 0; i < list->Count(); ++i) {
    FUZZ_CHECK((*list)[i] >= 0, "negative number from: " + text);
    if (i > 0) FUZZ_CHECK((*list)[i - 1] <= (*list)[i], "not sorted: " + text);
  }
  std::string written = FormatRanges(*list);
  // A list with many overlapping ranges can write more pieces than one text may hold.
  if (WordCount(written, ",") > kMaxRangePieces) return 0;
  auto again = ParseRanges(written);
  FUZZ_CHECK(again->Count() == list->Count(), text + " -> " + written);
  for (int i = 0; i < list->Count(); ++i)
    FUZZ_CHECK((*again)[i] == (*list)[i], text + " -> " + written + " -> " + Dump(*again));
  // A limit covers that many numbers from the start.
  const int limit = static_cast<int>(Size % 7);
  auto cut = ParseRanges(FormatRanges(*list, limit));
  FUZZ_CHECK(cut->Count() == std::min(limit, list->Count()), text);
  return 0;
}
