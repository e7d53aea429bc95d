// Field splitting and number reading: every item access of the program rests on these.
#include <gtest/gtest.h>

#include "Text.h"

TEST(TextTest, WordCountCountsEmptyFields) {
  EXPECT_EQ(WordCount("", ","), 0);
  EXPECT_EQ(WordCount("1", ","), 1);
  EXPECT_EQ(WordCount("1,,3", ","), 3);
  EXPECT_EQ(WordCount(",", ","), 2);
  EXPECT_EQ(WordCount("604E01/1,2/", "/"), 3);
  EXPECT_EQ(WordCount("a/b,c", "/,"), 3);
}

TEST(TextTest, ExtractWordFieldsAndPastTheEnd) {
  EXPECT_EQ(ExtractWord("604E01/1,2,3/", "/", 1), "604E01");
  EXPECT_EQ(ExtractWord("604E01/1,2,3/", "/", 2), "1,2,3");
  EXPECT_EQ(ExtractWord("604E01/1,2,3/", "/", 3), "");
  EXPECT_EQ(ExtractWord("604E01/1,2,3/", "/", 4), "");
  EXPECT_EQ(ExtractWord("1,,3", ",", 2), "");
  EXPECT_EQ(ExtractWord("1,,3", ",", 3), "3");
  EXPECT_EQ(ExtractWord("abc", ",", 0), "");
  EXPECT_EQ(ExtractWord("", ",", 1), "");
}

TEST(TextTest, LeadingIntReadsLikeThePbxItems) {
  EXPECT_EQ(LeadingInt(""), 0);
  EXPECT_EQ(LeadingInt("^"), 0);
  EXPECT_EQ(LeadingInt("*"), 0);
  EXPECT_EQ(LeadingInt(" 12"), 12);
  EXPECT_EQ(LeadingInt("12a"), 12);
  EXPECT_EQ(LeadingInt("-7"), -7);
  EXPECT_EQ(LeadingInt("+7"), 7);
  EXPECT_EQ(LeadingInt("05"), 5);
  // A run of digits no int can hold saturates instead of overflowing.
  EXPECT_EQ(LeadingInt("99999999999999999999"), 2147483647);
  EXPECT_EQ(LeadingInt("-99999999999999999999"), -2147483647 - 1);
}

TEST(TextTest, TryStrToIntIsStrict) {
  int v = 42;
  EXPECT_FALSE(TryStrToInt("", v));
  EXPECT_FALSE(TryStrToInt("12a", v));
  EXPECT_FALSE(TryStrToInt("-", v));
  EXPECT_FALSE(TryStrToInt("2147483648", v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(TryStrToInt(" -12 ", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(TryStrToInt("-2147483648", v));
  EXPECT_EQ(v, -2147483647 - 1);
}

TEST(TextTest, SplitLinesTakesEveryLineEndStyle) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (TStringList{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb"), (TStringList{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\r\n"), (TStringList{"a"}));
  EXPECT_EQ(SplitLines(";E>"), (TStringList{";E>"}));
  EXPECT_TRUE(SplitLines("").empty());
}
