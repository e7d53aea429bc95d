// Range lists as the windows show and read selections.
#include <gtest/gtest.h>

#include "Ranges.h"

namespace {

std::vector<int> Parse(const std::string& Text) { return ParseRanges(Text)->Values(); }

}  // namespace

TEST(RangesTest, FormatWritesRunsAfterSorting) {
  TIntegerList a{102, 104, 107};
  EXPECT_EQ(FormatRanges(a), "102,104,107");
  TIntegerList b{1, 2, 3, 5};
  EXPECT_EQ(FormatRanges(b), "1-3,5");
  TIntegerList c{4, 5};
  EXPECT_EQ(FormatRanges(c), "4-5");
  TIntegerList d{7};
  EXPECT_EQ(FormatRanges(d), "7");
  TIntegerList e;
  EXPECT_EQ(FormatRanges(e), "");
  TIntegerList f{5, 3, 4};
  EXPECT_EQ(FormatRanges(f), "3-5");
  EXPECT_EQ(f.Values(), (std::vector<int>{3, 4, 5})) << "the list itself is sorted";
  TIntegerList dup{3, 3, 4};
  EXPECT_EQ(FormatRanges(dup), "3,3-4");
}

TEST(RangesTest, FormatLimitCutsRuns) {
  TIntegerList a{1, 2, 3, 4, 8, 9};
  EXPECT_EQ(FormatRanges(a, 2), "1-2");
  EXPECT_EQ(FormatRanges(a, 5), "1-4,8");
  EXPECT_EQ(FormatRanges(a, 0), "");
  EXPECT_EQ(FormatRanges(a, 100), "1-4,8-9");
  TIntegerList edge{2147483646, 2147483647};
  EXPECT_EQ(FormatRanges(edge), "2147483646-2147483647");
}

TEST(RangesTest, ParseTakesNumbersAndRangesAndDropsTheRest) {
  EXPECT_EQ(Parse(" 101,105-108 ,x,110-109"), (std::vector<int>{101, 105, 106, 107, 108}));
  EXPECT_EQ(Parse("3,3"), (std::vector<int>{3, 3}));
  EXPECT_EQ(Parse("5, 1 - 2 ,,"), (std::vector<int>{1, 2, 5}));
  EXPECT_EQ(Parse("1-x,y-2,-,7a"), (std::vector<int>{}));
  EXPECT_EQ(Parse(""), (std::vector<int>{}));
}

TEST(RangesTest, ParseRoundTripsFormat) {
  TIntegerList a{1, 2, 3, 5, 9, 10, 24};
  EXPECT_EQ(ParseRanges(FormatRanges(a))->Values(), a.Values());
}

TEST(RangesTest, ParseIsBoundedOnHostileText) {
  EXPECT_EQ(ParseRanges("1-2000000000")->Count(), kMaxRangeNumbers);
  EXPECT_EQ(ParseRanges("2147483640-2147483647")->Count(), 8) << "no overflow at the top";
  std::string many;
  for (int i = 0; i < 1000; ++i) many += std::to_string(i) + ",";
  EXPECT_EQ(ParseRanges(many)->Count(), kMaxRangePieces);
  // Pieces longer than 100 characters are looked at only as far as that.
  EXPECT_EQ(Parse(std::string(150, ' ') + "5"), (std::vector<int>{}));
}
