// The pieces of kxta that need no process: diff pairing, command codes, timing overrides, the
// walk over the data file's blocks.
#include <gtest/gtest.h>

#include <algorithm>

#include "CommKXTA.h"
#include "DataFile.h"
#include "FileBlocks.h"
#include "Kxta.h"
#include "Stream.h"
#include "SysData.h"
#include "TerminalFeedback.h"

TEST(CliUnit, DiffPairsByHeadAndOccurrence) {
  const std::vector<std::string> a = {"604E01/A/", "BC01/1/", "BC01/2/", "700P/x/"};
  const std::vector<std::string> b = {"BC01/1/", "BC01/3/", "604E01/A/", "999S/new/"};
  const auto d = DiffBlockTexts(a, b);
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].A, "BC01/2/");  // second BC01 of A against second BC01 of B
  EXPECT_EQ(d[0].B, "BC01/3/");
  EXPECT_EQ(d[1].A, "700P/x/");
  EXPECT_EQ(d[1].B, "");
  EXPECT_EQ(d[2].A, "");
  EXPECT_EQ(d[2].B, "999S/new/");
  EXPECT_TRUE(DiffBlockTexts(a, a).empty());
  EXPECT_EQ(BlockHead("604E01/A/"), "604E01");
  EXPECT_EQ(BlockHead("nohead"), "nohead");
}

TEST(CliUnit, LongDiffNamesTheProgramAndEachChangedItem) {
  const struct {
    TBlockDiff Diff;
    std::vector<std::string> Lines;
  } cases[] = {
      {{"604E03/Office/", "604E03/Sales/"}, {"604E03  Extension name  item 1  'Office' -> 'Sales'"}},
      // Each item that differs; an empty item is shown as such.
      {{"P05BC03/3,/", "P05BC03/0,4/"},
       {"P05BC03  CO button  item 1  '3' -> '0'", "P05BC03  CO button  item 2  '' -> '4'"}},
      {{"414C1/1,05/", "414C1/0/"}, {"414C1  CO line mode, day  item 1  '1' -> '0'",
                                      "414C1  CO line mode, day  item 2  '05' -> (none)"}},
      {{"", "001S05/0123/"}, {"001S05  Speed dial number  added  item 1 '0123'"}},
      {{"521S/01,0/", ""}, {"521S  UCD busy waiting time  removed  item 1 '01', item 2 '0'"}},
      {{"009S00/1/", "009S00/3/"}, {"009S00  Numbering plan  item 1  '1' -> '3'"}},
      {{"604E03/x", "604E03/y/"}, {"604E03  Extension name  line  '604E03/x' -> '604E03/y/'"}},
      {{"garbage", ""}, {"garbage  unknown program  removed  line 'garbage'"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Diff.A + " | " + c.Diff.B);
    EXPECT_EQ(LongDiffLines(c.Diff), c.Lines);
  }
}

TEST(CliUnit, CommandCodeCutsAtStarThenSlash) {
  EXPECT_EQ(CommandCode("009S*//"), "009S");
  EXPECT_EQ(CommandCode("604E01//"), "604E01");
  EXPECT_EQ(CommandCode("604E01/1,2*/"), "604E01/1,2");
  EXPECT_EQ(CommandCode("VER"), "VER");
}

TEST(CliUnit, TimingSpecSetsNamedFieldsOrChangesNothing) {
  TSessionTiming t;
  std::string error;
  EXPECT_TRUE(ApplyTimingText("DirectTimeout=300, SlowPause=2", t, error));
  EXPECT_EQ(t.DirectTimeout, 300);
  EXPECT_EQ(t.SlowPause, 2);
  EXPECT_EQ(t.EchoWait, 1000);
  TSessionTiming u;
  EXPECT_FALSE(ApplyTimingText("SlowPause=2,Bogus=1", u, error));
  EXPECT_NE(error.find("Bogus"), std::string::npos);
  EXPECT_EQ(u.SlowPause, 200);  // a bad timing text changes nothing
  EXPECT_FALSE(ApplyTimingText("SlowPause=-5", u, error));
  EXPECT_FALSE(ApplyTimingText("SlowPause", u, error));
}

TEST(CliUnit, FileBlockWalkFollowsTheDataFileRecords) {
  // Give every block a distinct text through the walk, then find the texts in the payload the
  // data file would hold, in the same order and with nothing between them but record heads.
  TSysData store;
  for (int i = 0; i < 3; ++i) store.List(static_cast<TListId>(i)).Add();
  store.Extensions.Jacks(1).BC.Add();
  int n = 0;
  ForEachFileBlock(store, [&](const TCmdData& B) {
    const_cast<TCmdData&>(B).SetData("X" + std::to_string(n++) + "/");
  });
  TMemoryStream payload;
  ASSERT_TRUE(SaveDataPayload(store, payload));
  const std::string bytes = payload.AsString();
  const std::vector<std::string> texts = FileBlockTexts(store);
  ASSERT_EQ(static_cast<int>(texts.size()), n);
  size_t pos = 0, textBytes = 0;
  for (const std::string& t : texts) {
    const size_t at = bytes.find(t, pos);
    ASSERT_NE(at, std::string::npos) << t;
    pos = at + t.size();
    textBytes += t.size();
  }
  // Capability record (4 + 2), one length per block, one count per list: every byte of the
  // payload is accounted for, so the walk left no block out.
  const size_t lists = kBlockListCount + 15 + 1 /*009*/ +
                       2 * TExtensionArray::kJackCount + 2 * TDSSarray::kConsoleCount;
  EXPECT_EQ(bytes.size(), 6 + textBytes + 4 * texts.size() + 4 * lists);
}

TEST(CliUnit, TerminalLinesTurnBoxBreaksIntoLines) {
  EXPECT_EQ(TerminalLines("Error in cmd: \r604E01//\r\nCommand error\r\n;E>\r\n\r\n"),
            "Error in cmd: \n604E01//\nCommand error\n;E>");
  // The PBX's bytes cannot drive the terminal, and a long answer is cut.
  EXPECT_EQ(TerminalLines(std::string("Connected: Y581\x1b[2J\x07\xc3") + "\r"),
            "Connected: Y581<1B>[2J<07><C3>");
  std::string many;
  for (int i = 0; i < 40; ++i) many += ";=>001S" + std::to_string(i) + "/" + std::string(300, '1') + "/\r\n";
  const std::string cut = TerminalLines(many);
  EXPECT_EQ(std::count(cut.begin(), cut.end(), '\n') + 1, long(kMaxMessageLines));
  EXPECT_NE(cut.find("... (29 more lines)"), std::string::npos) << cut;
  EXPECT_LT(cut.size(), kMaxMessageLines * (kMaxMessageLineChars + 4));
}
