// A configuration text read into the store: every head of the program table finds the place a
// read fills, lists come out in key order whatever the text's order, and a text with a bad line
// changes nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "PbxPrograms.h"
#include "StoreText.h"
#include "SysData.h"

namespace {

std::vector<std::string> StoreLines(const TSysData& S) {
  std::vector<std::string> l;
  ForEachFileBlock(S, [&](const TCmdData& B) {
    if (!B.Data().empty()) l.push_back(B.Data());
  });
  return l;
}

// Every line of the program table with its factory items, and the numbering plan line.
std::vector<std::string> FactoryLines() {
  std::vector<std::string> lines;
  for (const TPbxProgram& p : TPbxCatalogue::Get().Programs())
    for (size_t k = 0; k < p.Keys.size(); ++k)
      lines.push_back(p.Head(k) + "/" +
                      (p.Check == TItemCheck::Numbering ? DefaultNumber(1, int(k) + 1) : p.Defaults[k]) +
                      "/");
  lines.push_back("009S00/1/");
  return lines;
}

std::string Joined(const std::vector<std::string>& Lines, const char* End) {
  std::string t;
  for (const std::string& l : Lines) t += l + End;
  return t;
}

TEST(StoreText, EveryHeadOfTheProgramTableHasItsPlaceAndListsTakeKeyOrder) {
  const std::vector<std::string> lines = FactoryLines();
  ASSERT_GT(lines.size(), 3000u);
  TSysData forward, backward;
  const TStoreTextLoad f = LoadStoreText(forward, Joined(lines, "\n"), false);
  ASSERT_TRUE(f.Loaded) << (f.Problems.empty() ? "" : f.Problems[0].Text);
  EXPECT_EQ(f.ProgramLines, int(lines.size()));
  // Reversed, saved by a Windows editor (byte order mark, CR LF), with notes and blank lines:
  // the same store.
  std::vector<std::string> reversed(lines.rbegin(), lines.rend());
  const TStoreTextLoad b = LoadStoreText(
      backward, "\xEF\xBB\xBF# site 7\r\n\r\n" + Joined(reversed, "\r\n") + "  \r\n", false);
  ASSERT_TRUE(b.Loaded) << (b.Problems.empty() ? "" : b.Problems[0].Text);
  const std::vector<std::string> got = StoreLines(forward);
  EXPECT_EQ(StoreLines(backward), got);
  // Every line was placed once: none lost, none placed twice.
  std::vector<std::string> sortedGot = got, sortedLines = lines;
  std::sort(sortedGot.begin(), sortedGot.end());
  std::sort(sortedLines.begin(), sortedLines.end());
  EXPECT_EQ(sortedGot, sortedLines);

  // Where a read puts them, and as a data file leaves them.
  TSysData& s = backward;
  const struct {
    const char* Head;
    const TCmdData* Block;
    const TCmdList* List;
    size_t Key;
  } places[] = {
      {"604E05", &s.Extensions.Jacks(5).BlockOf("604E"), nullptr, 0},
      {"P05BM01", &s.Extensions.Jacks(5).BlockOf("BM01"), nullptr, 0},
      {"P05BC03", nullptr, &s.Extensions.Jacks(5).BC, 2},
      {"009S07", nullptr, &s.Extensions.Cmd009, 6},
      {"009S00", &s.Extensions.Cmd009.PlanBlock, nullptr, 0},
      {"700P2", nullptr, &s.Extensions.List700P, 1},
      {"400C3", &s.COLines.Lines(3).BlockOf("400C"), nullptr, 0},
      {"003D2", &s.DSSConsoles.Consoles(2).Cmd003D, nullptr, 0},
      {"D02BD32", nullptr, &s.DSSConsoles.Consoles(2).BD, 31},
      {"103S", &s.Cmd103S, nullptr, 0},
      {"001S05", nullptr, &s.List001S, 5},
  };
  for (const auto& p : places) {
    SCOPED_TRACE(p.Head);
    TLinePlace at;
    ASSERT_TRUE(FindLinePlace(s, p.Head, at));
    EXPECT_EQ(at.Block, p.Block);
    EXPECT_EQ(at.List, p.List);
    const TCmdData& line = p.Block ? *p.Block : p.List->Items(int(p.Key));
    EXPECT_EQ(line.Data().rfind(std::string(p.Head) + "/", 0), 0u) << line.Data();
    EXPECT_EQ(line.ReadTime, kLoadedFromFile);
    EXPECT_EQ(line.Changed, std::string(p.Head) != "009S00");  // the plan line is no edit
  }
  EXPECT_TRUE(s.HaveFileData);
  TLinePlace none;
  for (const char* head : {"604E25", "P25BC01", "123", "", "001S", "103S01", "009S25"})
    EXPECT_FALSE(FindLinePlace(s, head, none)) << head;
}

TEST(StoreText, ABadLineIsReportedWithItsNumberAndChangesNothing) {
  const struct {
    const char* Text;
    int Line;
    const char* Says;
    bool RangeOnly;
  } cases[] = {
      {"604E01/Sales/\n# note\n604E01/Sales/\n", 3, "given twice: first at line 1", false},
      {"604E01/Sa/les/\n", 1, "a line head/items/", false},
      {"604E01/Sa\x1bles/\n", 1, "byte 0x1B at column 10", false},
      {"604E01/Sal\xc3\xa9/\n", 1, "byte 0xC3", false},
      {"604E01/Sa\rles/\r\n", 1, "byte 0x0D", false},
      // An emptied item is a query to the PBX, and "???" the mark of differing values.
      {"604E01//\n", 1, "604E01  Extension name  line '604E01//': no item holds a value", false},
      {"002S/  /\n", 1, "no item holds a value", false},
      {"604E01/?\?\?/\n", 1, "604E01  Extension name  item 1 '?\?\?'", false},
      {"001S05/12a4/\n", 1, "001S05  Speed dial number  item 1 '12a4'", false},
      {"521S/01/\n", 1, "2 items", false},
      {"200S/9/\n", 1, "200S  Hold Recall Time  item 1 '9': a number from 0 to 8", true},
  };
  const std::string longLine = "001S05/" + std::string(300, '1') + "/\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    TSysData s;
    ASSERT_TRUE(LoadStoreText(s, "604E02/Keep/\n103S/1/\n", false).Loaded);
    const std::vector<std::string> before = StoreLines(s);
    // A good line after the bad one is not taken either.
    const TStoreTextLoad r = LoadStoreText(s, std::string(c.Text) + "103S/0/\n", false);
    EXPECT_FALSE(r.Loaded);
    ASSERT_EQ(r.Problems.size(), 1u);
    EXPECT_EQ(r.Problems[0].Line, c.Line);
    EXPECT_NE(r.Problems[0].Text.find(c.Says), std::string::npos) << r.Problems[0].Text;
    EXPECT_EQ(r.Problems[0].RangeOnly, c.RangeOnly);
    EXPECT_EQ(StoreLines(s), before);
    // Taking range problems takes those lines and no other bad one.
    const TStoreTextLoad forced = LoadStoreText(s, std::string(c.Text) + "103S/0/\n", true);
    EXPECT_EQ(forced.Loaded, c.RangeOnly);
    if (c.RangeOnly) {
      EXPECT_EQ(forced.ForcedLines, 1);
      EXPECT_EQ(forced.Problems.size(), 1u);
      EXPECT_EQ(StoreLines(s), (std::vector<std::string>{"200S/9/", "103S/0/"}));  // catalogue order
    } else {
      EXPECT_EQ(StoreLines(s), before);
    }
  }
  // Longer than a block takes, and a text of nothing but notes: refused even when forced.
  for (const auto& [text, says] : {std::pair{longLine, "308 characters long"},
                                   std::pair{std::string("# only a note\n\n"), "holds no program line"}}) {
    TSysData s;
    const TStoreTextLoad r = LoadStoreText(s, text, true);
    EXPECT_FALSE(r.Loaded);
    ASSERT_EQ(r.Problems.size(), 1u);
    EXPECT_NE(r.Problems[0].Text.find(says), std::string::npos) << r.Problems[0].Text;
    EXPECT_TRUE(s.HoldsNoBlock());
  }
}

}  // namespace
