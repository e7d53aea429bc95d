#include <gtest/gtest.h>

#include "DSSdata.h"
#include "Errors.h"
#include "Stream.h"
#include "support/PbxModel.h"
#include "support/RecordingFeedback.h"

namespace {

class DSSTableTest : public ::testing::Test {
 protected:
  void SetUp() override { pbx.FillTables(); }
  void ReadEverything() {
    ASSERT_TRUE(table.ReadAll());
    pbx.Sent.clear();
  }

  TRecordingFeedback feedback;
  TPbxModel pbx;
  TDSSarray table;
};

TEST_F(DSSTableTest, ReadsAndUploadsInFieldOrder) {
  ASSERT_TRUE(table.ReadAll());
  const std::vector<std::string> reads = {"003D1//", "004D1//", "D01BD*//", "D01BF*//",
                                          "003D2//", "004D2//", "D02BD*//", "D02BF*//"};
  EXPECT_EQ(pbx.Sent, reads);
  EXPECT_TRUE(table.HasActualData());

  pbx.Sent.clear();
  ASSERT_TRUE(table.UploadAll(true));
  ASSERT_EQ(pbx.Sent.size(), 2u * (2u + 4u + 2u));
  EXPECT_EQ(pbx.Sent[0], "003D1/00/");
  EXPECT_EQ(pbx.Sent[1], "004D1/00/");
  EXPECT_EQ(pbx.Sent[2], "D01BD01/2,01/");
  EXPECT_EQ(pbx.Sent[7], "D01BF02/^/");
  EXPECT_EQ(pbx.Sent[8], "003D2/00/");
  EXPECT_EQ(feedback.Progress[0].Caption, "Save");
  EXPECT_EQ(feedback.Progress[0].Maximum, 120);

  pbx.Sent.clear();
  table.Consoles(2).Cmd004D.SetItem2d(1, 7);
  table.Consoles(1).BD.Items(3).SetItemStr(2, "09");
  EXPECT_EQ(table.ChangedCount(), 2);
  ASSERT_TRUE(table.UploadChanged());
  const std::vector<std::string> changed = {"D01BD04/2,09/", "004D2/07/"};
  EXPECT_EQ(pbx.Sent, changed);
  EXPECT_EQ(feedback.Progress[1].Maximum, 8);
}

TEST_F(DSSTableTest, SelectionOperations) {
  ASSERT_TRUE(table.ReadConsoles({2}));
  EXPECT_EQ(pbx.Sent.size(), 4u);
  EXPECT_EQ(feedback.Progress[0].Caption, "Read");
  EXPECT_EQ(feedback.Progress[0].Maximum, 58);
  EXPECT_TRUE(table.ConsolesHaveData({2}));
  EXPECT_FALSE(table.ConsolesHaveData({1, 2}));
  EXPECT_FALSE(table.ConsolesHaveData({}));
  table.Consoles(2).BF.Clear();
  EXPECT_FALSE(table.ConsolesHaveData({2}));

  pbx.Sent.clear();
  pbx.Refused.insert("004D1//");
  EXPECT_FALSE(table.ReadConsoles({1, 2}));
  EXPECT_EQ(pbx.Sent.size(), 8u);
  EXPECT_EQ(feedback.Progress[1].Maximum, 116);

  pbx.Sent.clear();
  ASSERT_TRUE(table.UploadConsoles({2}));
  EXPECT_EQ(pbx.Sent.size(), 2u + 4u + 2u);
  EXPECT_EQ(feedback.Progress[2].Maximum, 20);
}

TEST_F(DSSTableTest, MultiConsoleEditingAndRenumbering) {
  ReadEverything();
  table.Consoles(2).BD.Items(1).SetItemStr(1, "7");
  table.Consoles(2).BD.Items(1).Changed = false;
  TDSSdata shown(0, &table);
  shown.Assign(table.Consoles(1));
  shown.MarkDifferences(table.Consoles(2));
  // Button 1 differs in its jack (item 2: 01 against 02), button 2 also in its function.
  EXPECT_EQ(shown.BD.Items(0).ItemStr(1), "2");
  EXPECT_EQ(shown.BD.Items(0).ItemStr(2), "???");
  EXPECT_EQ(shown.BD.Items(1).ItemStr(1), "???");
  EXPECT_EQ(shown.Cmd003D.ItemStr(1), "00");

  TDSSdata copy(0, &table);
  copy.Assign(table.Consoles(1));
  copy.Cmd004D.Clear();
  copy.SetNumber(2);
  EXPECT_EQ(copy.DSS(), 2);
  EXPECT_EQ(copy.Cmd003D.Data(), "003D2/00/");
  EXPECT_TRUE(copy.Cmd004D.Data().empty());
  EXPECT_EQ(copy.BD.Items(3).Data(), "D02BD04/2,01/");
  EXPECT_EQ(copy.BF.Items(1).Data(), "D02BF02/^/");

  copy.SetMultiEdit(true);
  copy.BD.Items(2).SetItemStr(1, "?");
  copy.BD.Items(0).SetItemStr(1, "6");
  table.Consoles(2).AssignKnown(copy);
  EXPECT_EQ(table.Consoles(2).BD.Items(0).Data(), "D02BD01/6,01/");
  EXPECT_EQ(table.Consoles(2).BD.Items(2).Data(), "D02BD03/2,02/");
  EXPECT_THROW(copy.SetNumber(3), Exception);
}

TEST_F(DSSTableTest, StreamLayoutRoundTripAndCorruptInput) {
  TMemoryStream empty;
  ASSERT_TRUE(table.SaveToStream(empty));
  EXPECT_EQ(empty.Bytes().size(), 2u * 16u);

  ReadEverything();
  TMemoryStream first;
  ASSERT_TRUE(table.SaveToStream(first));
  TDSSarray loaded;
  TMemoryStream in(first.Bytes());
  ASSERT_TRUE(loaded.LoadFromStream(in));
  EXPECT_EQ(in.Remaining(), 0);
  EXPECT_EQ(loaded.ChangedCount(), table.ChangedCount() + 2 * (2 + 4 + 2));
  TMemoryStream second;
  ASSERT_TRUE(loaded.SaveToStream(second));
  EXPECT_EQ(first.Bytes(), second.Bytes());

  const std::string bytes = first.AsString();
  for (size_t cut = 0; cut < bytes.size(); cut += 5) {
    TMemoryStream s(bytes.substr(0, cut));
    EXPECT_FALSE(TDSSarray().LoadFromStream(s)) << cut;
  }
  // The BD count of console 1 claims two billion lines.
  std::string huge = bytes;
  huge.replace(26, 4, std::string("\x00\x00\x00\x70", 4));
  TMemoryStream h(huge);
  EXPECT_FALSE(TDSSarray().LoadFromStream(h));
}

}  // namespace
