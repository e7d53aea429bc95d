#include <gtest/gtest.h>

#include "COdata.h"
#include "Errors.h"
#include "Stream.h"
#include "support/PbxModel.h"
#include "support/RecordingFeedback.h"

namespace {

const char* const kCodes[] = {"400C", "401C", "402C", "403C", "404C", "414C", "415C",
                              "416C", "417C", "418C", "419C", "420C", "421C", "422C",
                              "423C", "424C", "900C", "910C", "920C", "928C"};

std::vector<std::string> LineQueries(int CO) {
  std::vector<std::string> q;
  for (const char* c : kCodes) q.push_back(std::string(c) + std::to_string(CO) + "//");
  return q;
}

class COTableTest : public ::testing::Test {
 protected:
  void SetUp() override { pbx.FillTables(); }
  void ReadEverything() {
    ASSERT_TRUE(table.ReadAll());
    pbx.Sent.clear();
  }

  TRecordingFeedback feedback;
  TPbxModel pbx;
  TCOarray table;
};

TEST_F(COTableTest, ReadAllAsksEveryLineInBlockOrder) {
  ASSERT_TRUE(table.ReadAll());
  std::vector<std::string> expected;
  for (int c = 1; c <= 6; ++c)
    for (const auto& q : LineQueries(c)) expected.push_back(q);
  EXPECT_EQ(pbx.Sent, expected);
  EXPECT_TRUE(table.HasActualData());
  EXPECT_TRUE(feedback.Progress.empty());
  EXPECT_EQ(table.Lines(6).BlockOf("928C").Data(), "928C6/1/");
}

TEST_F(COTableTest, EmptyHostAccessCodeIsKeptAsEmptyMarkWithoutCountingAsEdit) {
  pbx.SetLine("403C2/ ,12,,/");
  ASSERT_TRUE(table.ReadLines({2}));
  EXPECT_EQ(table.Lines(2).BlockOf("403C").Data(), "403C2/^,12,,/");
  EXPECT_EQ(table.ChangedCount(), 0);
  ASSERT_EQ(feedback.Progress.size(), 1u);
  EXPECT_EQ(feedback.Progress[0].Caption, "Read");
  EXPECT_EQ(feedback.Progress[0].Maximum, 60);
  EXPECT_EQ(pbx.Sent, LineQueries(2));
}

TEST_F(COTableTest, UploadsSendAllOrOnlyChangedBlocks) {
  ReadEverything();
  ASSERT_TRUE(table.UploadAll(true));
  ASSERT_EQ(pbx.Sent.size(), 120u);
  EXPECT_EQ(pbx.Sent[0], "400C1/1/");
  EXPECT_EQ(pbx.Sent[5], "414C1/1/");
  EXPECT_EQ(pbx.Sent[119], "928C6/1/");
  EXPECT_EQ(feedback.Progress[0].Caption, "Save");
  EXPECT_EQ(feedback.Progress[0].Maximum, 360);
  EXPECT_TRUE(feedback.Progress[0].Closed);

  pbx.Sent.clear();
  table.Lines(5).BlockOf("401C").SetItemStr(1, "2");
  table.Lines(2).BlockOf("920C").SetItemStr(1, "0");
  EXPECT_EQ(table.ChangedCount(), 2);
  ASSERT_TRUE(table.UploadChanged());
  const std::vector<std::string> expected = {"920C2/0/", "401C5/2/"};
  EXPECT_EQ(pbx.Sent, expected);
  EXPECT_EQ(feedback.Progress[1].Maximum, 8);
  EXPECT_FALSE(table.HasChanges());

  pbx.Sent.clear();
  ASSERT_TRUE(table.UploadLines({4, 1}));
  ASSERT_EQ(pbx.Sent.size(), 40u);
  EXPECT_EQ(pbx.Sent[0], "400C4/1/");
  EXPECT_EQ(pbx.Sent[20], "400C1/1/");
  EXPECT_EQ(feedback.Progress[2].Maximum, 40);
}

TEST_F(COTableTest, FailuresAreAndedAndAbortStops) {
  pbx.Refused.insert("402C3//");
  EXPECT_FALSE(table.ReadAll());
  EXPECT_EQ(pbx.Sent.size(), 120u);
  EXPECT_FALSE(table.LinesHaveData({3}));
  EXPECT_TRUE(table.LinesHaveData({1, 2, 4, 5, 6}));
  EXPECT_FALSE(table.LinesHaveData({}));

  pbx.Sent.clear();
  pbx.AbortAfter = 7;
  EXPECT_THROW(table.UploadAll(true), EAbortOperation);
  EXPECT_EQ(pbx.Sent.size(), 7u);
  EXPECT_TRUE(feedback.Progress.back().Closed);
}

TEST_F(COTableTest, MultiLineEditingAndRenumbering) {
  ReadEverything();
  table.Lines(3).BlockOf("404C").SetItemStr(1, "2");
  table.Lines(3).BlockOf("404C").Changed = false;
  TCOarray work;
  work.Assign(table);
  TCOdata shown(0, &work);
  shown.Assign(work.Lines(1));
  shown.MarkDifferences(work.Lines(3));
  EXPECT_EQ(shown.BlockOf("404C").ItemStr(1), "???");
  EXPECT_EQ(shown.BlockOf("400C").ItemStr(1), "1");

  TCOdata scratch(0, &work);
  scratch.Assign(work.Lines(1));
  scratch.SetMultiEdit(true);
  scratch.BlockOf("404C").SetItemStr(1, "???");
  scratch.BlockOf("400C").SetItemInt(1, 0);
  scratch.BlockOf("910C").Clear();
  for (int co : {1, 3}) {
    work.Lines(co).AssignKnown(scratch);
    work.Lines(co).SetNumber(co);
  }
  EXPECT_EQ(work.Lines(3).BlockOf("400C").Data(), "400C3/0/");
  EXPECT_EQ(work.Lines(3).BlockOf("404C").Data(), "404C3/2/");
  EXPECT_EQ(work.Lines(1).BlockOf("404C").Data(), "404C1/1/");
  EXPECT_TRUE(work.Lines(3).BlockOf("910C").Data().empty());  // empty stays empty
  EXPECT_EQ(work.Lines(3).CO(), 3);
  EXPECT_EQ(work.Lines(2).BlockOf("400C").Data(), "400C2/1/");
  EXPECT_THROW(work.Lines(3).SetNumber(7), Exception);
  EXPECT_THROW(work.Lines(0), Exception);
}

TEST_F(COTableTest, StreamLayoutRoundTripAndCorruptInput) {
  TMemoryStream empty;
  ASSERT_TRUE(table.SaveToStream(empty));
  EXPECT_EQ(empty.Bytes().size(), 6u * 20u * 4u);

  ReadEverything();
  TMemoryStream first;
  ASSERT_TRUE(table.SaveToStream(first));
  EXPECT_EQ(first.Bytes().size(), 6u * 20u * (4u + 8u));
  TCOarray loaded;
  TMemoryStream in(first.Bytes());
  ASSERT_TRUE(loaded.LoadFromStream(in));
  EXPECT_EQ(loaded.ChangedCount(), 120);
  EXPECT_TRUE(loaded.HasActualData());
  TMemoryStream second;
  ASSERT_TRUE(loaded.SaveToStream(second));
  EXPECT_EQ(first.Bytes(), second.Bytes());

  const std::string bytes = first.AsString();
  for (size_t cut = 0; cut < bytes.size(); cut += 37) {
    TMemoryStream s(bytes.substr(0, cut));
    TCOarray t;
    EXPECT_FALSE(t.LoadFromStream(s)) << cut;
  }
  std::string huge = bytes;
  huge.replace(12, 4, std::string("\x00\x00\x00\x40", 4));
  TMemoryStream h(huge);
  EXPECT_FALSE(TCOarray().LoadFromStream(h));
}

}  // namespace
