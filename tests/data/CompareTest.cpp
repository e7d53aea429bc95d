// Two configurations compared item by item: what pairs with what, which items are listed, and
// how lines one side holds alone and lines that cannot be split show.
#include <gtest/gtest.h>

#include "Compare.h"
#include "PbxPrograms.h"
#include "SysData.h"

namespace {

std::string Text(const std::vector<TItemDiff>& Diffs) {
  std::string s;
  for (const TItemDiff& d : Diffs)
    s += d.Head + "#" + std::to_string(d.Item) + ":" + d.Old + ">" + d.New + ";";
  return s;
}

TEST(CompareLines, ItemsPairsAndOneSidedLines) {
  const struct {
    const char* What;
    std::vector<std::string> Old, New;
    const char* Expected;
  } cases[] = {
      {"equal lines", {"103S/1/", "604E01/Office    /"}, {"103S/1/", "604E01/Office    /"}, ""},
      {"one item of several", {"P02BC03/3,0123/"}, {"P02BC03/3,0456/"},
       "P02BC03#2:0123>0456;"},
      {"every differing item, blanks count",
       {"604E01/Office    /", "400C1/1,2,3/"}, {"604E01/Office /", "400C1/0,2,4/"},
       "604E01#1:Office    >Office ;400C1#1:1>0;400C1#3:3>4;"},
      {"an item only one side has", {"400C1/1,2/"}, {"400C1/1,2,3/"}, "400C1#3:>3;"},
      {"a trailing empty item only: the whole texts", {"400C1/1,2,/"}, {"400C1/1,2/"},
       "400C1#0:400C1/1,2,/>400C1/1,2/;"},
      {"a line not of the form head/items/", {"103S/1"}, {"103S/1/"}, "103S#0:103S/1>103S/1/;"},
      {"one-sided lines as whole blocks, the new side's last",
       {"001S02/5/", "103S/1/"}, {"001S01/7/", "103S/1/"},
       "001S02#0:001S02/5/>;001S01#0:>001S01/7/;"},
      {"repeated heads pair in order", {"X1/a/", "X1/b/"}, {"X1/a/", "X1/c/", "X1/d/"},
       "X1#1:b>c;X1#0:>X1/d/;"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(CompareLines(c.Old, c.New)), c.Expected) << c.What;
}

TEST(CompareLines, NamesComeFromTheProgramTable) {
  const auto d = CompareLines({"604E03/Office    /", "009S00/1/", "Z99/1/"},
                              {"604E03/Desk      /", "009S00/3/", "Z99/2/"});
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].Name, "Extension name");
  EXPECT_EQ(d[1].Name, "Numbering plan");
  EXPECT_EQ(d[2].Name, "");  // a head the PBX does not have
  EXPECT_EQ(d[0].Name, TPbxCatalogue::Get().NameOfHead("604E03"));
}

TEST(CompareStores, DataFileOrderAndNothingForEqualStores) {
  TSysData a, b;
  EXPECT_TRUE(CompareStores(a, b).empty());
  a.Cmd103S.SetData("103S/1/");
  b.Cmd103S.SetData("103S/1/");
  a.Extensions.Jacks(3).BlockOf("604E").SetData("604E03/Office    /");
  b.Extensions.Jacks(3).BlockOf("604E").SetData("604E03/Desk      /");
  b.COLines.Lines(2).BlockOf("403C").SetData("403C2/1/");
  EXPECT_EQ(Text(CompareStores(a, b)), "604E03#1:Office    >Desk      ;403C2#0:>403C2/1/;");
  // Changed flags and read times are no part of the configuration.
  b.Extensions.Jacks(3).BlockOf("604E").SetData("604E03/Office    /");
  b.COLines.Lines(2).BlockOf("403C").Clear();
  a.Cmd103S.Changed = false;
  EXPECT_TRUE(CompareStores(a, b).empty());
}

}  // namespace
