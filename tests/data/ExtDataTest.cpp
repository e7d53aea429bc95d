#include <gtest/gtest.h>

#include <cstdio>

#include "Errors.h"
#include "ExtData.h"
#include "Stream.h"
#include "support/PbxModel.h"
#include "support/RecordingFeedback.h"

namespace {

std::string J2(int N) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%.2d", N);
  return buf;
}

// The queries of one jack in the order the PBX is asked.
std::vector<std::string> JackQueries(int Jack) {
  std::vector<std::string> q;
  for (const char* c : {"601E", "602E", "603E", "604E", "605E", "606E", "607E", "608E", "609E",
                        "610E", "611E", "612E", "613E", "614E", "615E", "617E", "620E", "389E",
                        "600E", "904E", "925E"})
    q.push_back(std::string(c) + J2(Jack) + "//");
  q.push_back("P" + J2(Jack) + "BM01//");
  q.push_back("P" + J2(Jack) + "BC*//");
  q.push_back("P" + J2(Jack) + "BF*//");
  return q;
}

const std::vector<std::string> kSharedQueries = {
    "700P*//", "701P*//", "702P*//", "703P*//", "704P*//", "705P*//", "405C*//", "406C*//",
    "407C*//", "408C*//", "409C*//", "410C*//", "411C*//", "412C*//", "413C*//"};

std::vector<std::string> Slice(const std::vector<std::string>& V, size_t From, size_t N) {
  if (From >= V.size()) return {};
  return std::vector<std::string>(V.begin() + static_cast<long>(From),
                                  V.begin() + static_cast<long>(std::min(V.size(), From + N)));
}

class ExtTableTest : public ::testing::Test {
 protected:
  void SetUp() override { pbx.FillTables(); }
  void ReadEverything() {
    ASSERT_TRUE(table.ReadAll());
    pbx.Sent.clear();
  }

  TRecordingFeedback feedback;
  TPbxModel pbx;
  TExtensionArray table;
};

TEST_F(ExtTableTest, ReadAllAsksJacksThenNumbersThenSharedLists) {
  ASSERT_TRUE(table.ReadAll());
  ASSERT_EQ(pbx.Sent.size(), 24u * 24u + 1u + 15u);
  for (int j = 1; j <= 24; ++j)
    EXPECT_EQ(Slice(pbx.Sent, static_cast<size_t>(j - 1) * 24, 24), JackQueries(j)) << j;
  EXPECT_EQ(pbx.Sent[576], "009S*//");
  EXPECT_EQ(Slice(pbx.Sent, 577, 15), kSharedQueries);
  EXPECT_TRUE(feedback.Progress.empty());
  EXPECT_TRUE(table.HasActualData());
  EXPECT_EQ(table.ChangedCount(), 0);
  EXPECT_EQ(table.Jacks(5).BlockOf("604E").ItemStr(1), "Stn 05    ");
  EXPECT_EQ(table.Jacks(5).BC.Count(), 3);
  EXPECT_EQ(table.Cmd009.NumberOfJack(5), "105");
  EXPECT_EQ(table.List413C.Count(), 6);
}

TEST_F(ExtTableTest, UploadAllSendsNumbersFirstThenJacksThenSharedLines) {
  ReadEverything();
  ASSERT_TRUE(table.UploadAll(true));
  ASSERT_EQ(pbx.Sent.size(), 24u + 24u * 27u + 78u);
  EXPECT_EQ(pbx.Sent[0], "009S01/101/");
  EXPECT_EQ(pbx.Sent[23], "009S24/124/");
  // Jack 1 in block order: 600E first, 389E after 620E, then the message button and the lists.
  EXPECT_EQ(pbx.Sent[24], "600E01/0/");
  EXPECT_EQ(pbx.Sent[24 + 4], "604E01/Stn 01    /");
  EXPECT_EQ(pbx.Sent[24 + 18], "389E01/0/");
  EXPECT_EQ(pbx.Sent[24 + 21], "P01BM01/3,/");
  EXPECT_EQ(pbx.Sent[24 + 22], "P01BC01/4,1/");
  EXPECT_EQ(pbx.Sent[24 + 26], "P01BF02/^/");
  EXPECT_EQ(pbx.Sent[24 + 27], "600E02/0/");
  EXPECT_EQ(pbx.Sent[24 + 24 * 27], "700P1/1111 1111,1111 1111,1111 1111/");
  EXPECT_EQ(pbx.Sent.back(), "413C6/1111 1111,1111 1111,1111 1111/");
  ASSERT_EQ(feedback.Progress.size(), 1u);
  EXPECT_EQ(feedback.Progress[0].Caption, "Save");
  EXPECT_EQ(feedback.Progress[0].Maximum, 10656);
  EXPECT_TRUE(feedback.Progress[0].Hook);
  EXPECT_TRUE(feedback.Progress[0].Closed);
}

TEST_F(ExtTableTest, UploadChangedSendsOnlyChangedBlocksJacksFirst) {
  ReadEverything();
  table.List405C.Items(1).SetBit(3, 0);
  table.Jacks(3).BlockOf("604E").SetItemStr(1, "Office    ");
  table.Jacks(5).BC.Items(2).SetItemStr(2, "2");
  EXPECT_EQ(table.ChangedCount(), 3);
  ASSERT_TRUE(table.UploadChanged());
  const std::vector<std::string> expected = {"604E03/Office    /", "P05BC03/4,2/",
                                             "405C2/1101 1111,1111 1111,1111 1111/"};
  EXPECT_EQ(pbx.Sent, expected);
  ASSERT_EQ(feedback.Progress.size(), 1u);
  EXPECT_EQ(feedback.Progress[0].Caption, "Save");
  EXPECT_EQ(feedback.Progress[0].Maximum, 12);
  EXPECT_EQ(table.ChangedCount(), 0);
  EXPECT_EQ(pbx.Line("604E03"), "604E03/Office    /");
}

TEST_F(ExtTableTest, ChangedNumbersWeighTwentyFiveAndGoBetweenJacksAndLists) {
  ReadEverything();
  table.Cmd009.Items(0).SetItemStr(1, "150");
  table.Cmd009.Items(1).SetItemStr(1, "151");
  table.Jacks(24).BlockOf("925E").SetItemStr(1, "1");
  table.List700P.Items(0).SetBit(24, 0);
  EXPECT_EQ(table.ChangedCount(), 1 + 25 + 1);
  ASSERT_TRUE(table.UploadChanged(false));
  const std::vector<std::string> expected = {"925E24/1/", "009S01/150/", "009S02/151/",
                                             "700P1/1111 1111,1111 1111,1111 1110/"};
  EXPECT_EQ(pbx.Sent, expected);
  EXPECT_TRUE(feedback.Progress.empty());
}

TEST_F(ExtTableTest, FailedExchangesDoNotStopTheRest) {
  pbx.Refused.insert("605E02//");
  pbx.NoData.insert("604E03//");  // a reply without data lines
  pbx.Refused.insert("406C*//");
  EXPECT_FALSE(table.ReadAll());
  EXPECT_EQ(pbx.Sent.size(), 592u);
  EXPECT_EQ(feedback.Errors, std::vector<std::string>{"Cant't extract data (1)!"});
  EXPECT_TRUE(table.Jacks(4).HasActualData());
  EXPECT_FALSE(table.Jacks(2).HasActualData());
  EXPECT_FALSE(table.HasActualData());

  pbx.Refused.clear();
  pbx.NoData.clear();
  ReadEverything();
  pbx.Refused.insert("604E07/Stn 07    /");
  EXPECT_FALSE(table.UploadAll(false));
  EXPECT_EQ(pbx.Sent.size(), 750u);
  // The refused block stops being actual, so it is read again before it is trusted.
  EXPECT_FALSE(table.Jacks(7).BlockOf("604E").IsActual());
}

TEST_F(ExtTableTest, AbortStopsTheRunAndClosesTheProgressWindow) {
  pbx.AbortAfter = 30;
  EXPECT_THROW(table.ReadAll(true), EAbortOperation);
  EXPECT_EQ(pbx.Sent.size(), 30u);
  ASSERT_EQ(feedback.Progress.size(), 1u);
  EXPECT_EQ(feedback.Progress[0].Caption, "Read");
  EXPECT_EQ(feedback.Progress[0].Maximum, 2400);
  EXPECT_TRUE(feedback.Progress[0].Closed);
}

TEST_F(ExtTableTest, AbortDuringTheNumbersEndsTheUpload) {
  ReadEverything();
  table.Cmd009.Items(0).SetItemStr(1, "102");
  table.Cmd009.Items(1).SetItemStr(1, "101");
  pbx.AbortAfter = 1;  // the first line goes out (port 3, which keeps its number), then Stop
  EXPECT_THROW(table.UploadAll(true), EAbortOperation);
  EXPECT_EQ(pbx.Sent, std::vector<std::string>{"009S03/103/"});
  EXPECT_TRUE(feedback.Progress.back().Closed);
  // The next upload does not trust the old picture of the PBX.
  EXPECT_FALSE(table.Cmd009.PbxNumbers.IsActual(24));
  pbx.AbortAfter = -1;
  pbx.Sent.clear();
  ASSERT_TRUE(table.UploadChanged());
  ASSERT_GE(pbx.Sent.size(), 1u);
  EXPECT_EQ(pbx.Sent[0], "009S*//");
  EXPECT_EQ(pbx.Number(1), "102");
  EXPECT_EQ(pbx.Number(2), "101");
  EXPECT_TRUE(pbx.Refusals.empty());
}

TEST_F(ExtTableTest, ReadJacksReadsSharedDataOnlyWhenMissing) {
  ASSERT_TRUE(table.ReadJacks({2, 5}));
  std::vector<std::string> expected = JackQueries(2);
  for (const auto& q : JackQueries(5)) expected.push_back(q);
  expected.push_back("009S*//");
  for (const auto& q : kSharedQueries) expected.push_back(q);
  EXPECT_EQ(pbx.Sent, expected);
  ASSERT_EQ(feedback.Progress.size(), 1u);
  EXPECT_EQ(feedback.Progress[0].Maximum, 94 * 2 + 29 + 36 + 72);
  EXPECT_TRUE(table.JacksHaveData({2, 5}));
  EXPECT_FALSE(table.JacksHaveData({2, 6}));
  EXPECT_FALSE(table.JacksHaveData({}));

  pbx.Sent.clear();
  ASSERT_TRUE(table.ReadJacks({7}));
  EXPECT_EQ(pbx.Sent, JackQueries(7));
  EXPECT_EQ(feedback.Progress[1].Maximum, 94);

  // Only the CO lists lack data: only they are read again.
  table.List410C.Clear();
  pbx.Sent.clear();
  ASSERT_TRUE(table.ReadJacks({7}));
  EXPECT_EQ(feedback.Progress[2].Maximum, 94 + 72);
  EXPECT_EQ(Slice(pbx.Sent, 24, 100), Slice(kSharedQueries, 6, 9));
}

TEST_F(ExtTableTest, UploadJacksSendsNumbersThenTheJacksThenAllSharedLines) {
  ReadEverything();
  ASSERT_TRUE(table.UploadJacks({3, 4}));
  ASSERT_EQ(pbx.Sent.size(), 24u + 2u * 27u + 78u);
  EXPECT_EQ(pbx.Sent[0], "009S01/101/");
  EXPECT_EQ(pbx.Sent[24], "600E03/0/");
  EXPECT_EQ(pbx.Sent[24 + 27], "600E04/0/");
  EXPECT_EQ(pbx.Sent[24 + 54], "700P1/1111 1111,1111 1111,1111 1111/");
  EXPECT_EQ(feedback.Progress[0].Caption, "Save");
  EXPECT_EQ(feedback.Progress[0].Maximum, 888);
}

TEST_F(ExtTableTest, ReadNumbersReadsProgram009AndTheNames) {
  EXPECT_FALSE(table.NumbersHaveData());
  ASSERT_TRUE(table.ReadNumbers());
  ASSERT_EQ(pbx.Sent.size(), 25u);
  EXPECT_EQ(pbx.Sent[0], "009S*//");
  EXPECT_EQ(pbx.Sent[1], "604E01//");
  EXPECT_EQ(pbx.Sent[24], "604E24//");
  EXPECT_EQ(feedback.Progress[0].Caption, "Read Extensions");
  EXPECT_EQ(feedback.Progress[0].Maximum, 101);
  EXPECT_TRUE(table.NumbersHaveData());
  EXPECT_FALSE(table.JacksHaveData({1}));
}

TEST_F(ExtTableTest, MultiJackEditingLeavesDifferingItemsAlone) {
  ReadEverything();
  table.Jacks(3).BlockOf("606E").SetItemStr(1, "1");  // 606E differs between jacks 2 and 3
  table.Jacks(3).BlockOf("606E").Changed = false;
  TExtensionArray work;
  work.Assign(table);

  // Combined record: jack 2, compared with jack 3.
  TExtensionData shown(0, &work);
  shown.Assign(work.Jacks(2));
  shown.MarkDifferences(work.Jacks(3));
  EXPECT_EQ(shown.BlockOf("606E").ItemStr(1), "???");
  EXPECT_EQ(shown.BlockOf("606E").CheckState(), 2);
  EXPECT_EQ(shown.BlockOf("605E").ItemStr(1), "0");

  // The dialog writes its controls into a fresh copy in multi-edit mode.
  TExtensionData scratch(0, &work);
  scratch.Assign(work.Jacks(2));
  scratch.SetMultiEdit(true);
  scratch.BlockOf("605E").SetItemInt(1, 2);
  scratch.BlockOf("606E").SetCheckState(2);  // greyed: undecided
  scratch.BC.Items(0).SetItemStr(2, "?");
  for (int jack : {2, 3}) {
    work.Jacks(jack).AssignKnown(scratch);
    work.Jacks(jack).SetJack(jack);
  }
  EXPECT_EQ(work.Jacks(3).BlockOf("605E").Data(), "605E03/2/");
  EXPECT_EQ(work.Jacks(2).BlockOf("605E").Data(), "605E02/2/");
  EXPECT_EQ(work.Jacks(3).BlockOf("606E").Data(), "606E03/1/");
  EXPECT_EQ(work.Jacks(2).BlockOf("606E").Data(), "606E02/0/");
  EXPECT_EQ(work.Jacks(3).BC.Items(0).Data(), "P03BC01/4,1/");
  EXPECT_EQ(work.Jacks(3).BC.Items(1).Data(), "P03BC02/4,1/");
  EXPECT_EQ(work.Jacks(3).Jack(), 3);

  // OK assigns the working table back; only the edits count as changes to send.
  table.Assign(work);
  EXPECT_EQ(table.Jacks(3).BlockOf("605E").Data(), "605E03/2/");
  EXPECT_TRUE(table.Jacks(3).BlockOf("605E").Changed);
  EXPECT_FALSE(table.Jacks(3).BlockOf("606E").Changed);
}

TEST_F(ExtTableTest, SetJackRenumbersEveryTextAndLeavesEmptyBlocksEmpty) {
  ReadEverything();
  TExtensionData copy(0, &table);
  copy.Assign(table.Jacks(12));
  copy.BlockOf("617E").Clear();
  copy.SetJack(7);
  EXPECT_EQ(copy.Jack(), 7);
  for (int i = 0; i < TExtensionData::kBlockCount; ++i) {
    const std::string& t = copy.Block(i).Data();
    if (i == TExtensionData::eBM01) continue;
    if (i == TExtensionData::e617E) {
      EXPECT_TRUE(t.empty());
      continue;
    }
    EXPECT_EQ(t.substr(4, 2), "07") << t;
    EXPECT_EQ(t.substr(0, 4), TExtensionData::kCodes[static_cast<size_t>(i)]) << t;
  }
  EXPECT_EQ(copy.BlockOf("604E").Data(), "604E07/Stn 12    /");
  EXPECT_EQ(copy.BlockOf("BM01").Data(), "P07BM01/3,/");
  EXPECT_EQ(copy.BC.Items(2).Data(), "P07BC03/4,1/");
  EXPECT_EQ(copy.BF.Items(0).Data(), "P07BF01/^/");
  EXPECT_THROW(copy.SetJack(25), Exception);
}

TEST_F(ExtTableTest, JackDigitsAndColumnCopy) {
  ReadEverything();
  table.List701P.Items(2).SetBit(9, 0);  // jack 9 of door phone 3, night
  table.List411C.Items(5).SetBit(9, 3);
  table.List702P.Items(0).SetData("702P1/1111/");  // too short to carry jack digits
  table.List703P.Clear();
  for (int k = 0; k < 3; ++k) table.List703P.Add().SetData("703P1/0000 0000,0000 0000,0000 0000/");
  table.List703P.Items(0).SetBit(9, 1);

  EXPECT_EQ(TExtensionArray::JackDigit(table.List701P.Items(2), 9), 0);
  EXPECT_EQ(TExtensionArray::JackDigit(table.List702P.Items(0), 9), -1);
  TExtensionArray::SetJackDigit(table.List702P.Items(0), 1, 0);
  EXPECT_EQ(table.List702P.Items(0).Data(), "702P1/1111/");

  table.CopyJackColumn(9, 20);
  EXPECT_EQ(TExtensionArray::JackDigit(table.List701P.Items(2), 20), 0);
  EXPECT_EQ(TExtensionArray::JackDigit(table.List411C.Items(5), 20), 3);
  EXPECT_EQ(TExtensionArray::JackDigit(table.List411C.Items(4), 20), 1);
  // A door list with three lines is left alone.
  EXPECT_EQ(TExtensionArray::JackDigit(table.List703P.Items(0), 20), 0);
  EXPECT_EQ(table.List702P.Items(0).Data(), "702P1/1111/");
  EXPECT_EQ(table.List411C.Items(5).Data(), "411C6/1111 1111,3111 1111,1113 1111/");
  EXPECT_THROW(table.CopyJackColumn(0, 3), Exception);
}

TEST_F(ExtTableTest, ClearEmptiesInPlace) {
  ReadEverything();
  TCmdData& name = table.Jacks(4).BlockOf("604E");
  TCmdList& bc = table.Jacks(4).BC;
  TCmdList& shared = table.List408C;
  table.Clear();
  EXPECT_TRUE(name.Data().empty());
  EXPECT_EQ(bc.Count(), 0);
  EXPECT_EQ(shared.Count(), 0);
  EXPECT_EQ(table.Cmd009.Count(), 0);
  EXPECT_FALSE(table.JacksHaveData({4}));
  EXPECT_EQ(&name, &table.Jacks(4).BlockOf("604E"));
  ASSERT_TRUE(table.ReadJacks({4}, false));
  EXPECT_EQ(name.ItemStr(1), "Stn 04    ");
}

TEST_F(ExtTableTest, StreamLayoutRoundTripAndCorruptInput) {
  TMemoryStream empty;
  ASSERT_TRUE(table.SaveToStream(empty));
  // Per jack 22 empty blocks and two empty lists; 009 list and plan block; 15 empty lists.
  EXPECT_EQ(empty.Bytes().size(), 24u * (22u * 4u + 8u) + 8u + 15u * 4u);

  ReadEverything();
  table.Cmd009.PlanBlock.SetData("009S00/1/");
  TMemoryStream first;
  ASSERT_TRUE(table.SaveToStream(first));
  TExtensionArray loaded;
  TMemoryStream in(first.Bytes());
  ASSERT_TRUE(loaded.LoadFromStream(in));
  EXPECT_EQ(in.Remaining(), 0);
  TMemoryStream second;
  ASSERT_TRUE(loaded.SaveToStream(second));
  EXPECT_EQ(first.Bytes(), second.Bytes());
  const TCmdData& b = loaded.Jacks(24).BlockOf("BM01");
  EXPECT_EQ(b.Data(), "P24BM01/3,/");
  EXPECT_TRUE(b.Changed);
  EXPECT_EQ(b.ReadTime, kLoadedFromFile);
  EXPECT_TRUE(loaded.HasActualData());
  EXPECT_EQ(loaded.Cmd009.PlanBlock.Data(), "009S00/1/");

  // Truncated anywhere: refused, never a crash. A huge length: refused without allocation.
  const std::string bytes = first.AsString();
  for (size_t cut : {size_t{0}, size_t{3}, size_t{100}, bytes.size() / 2, bytes.size() - 1}) {
    TMemoryStream s(bytes.substr(0, cut));
    TExtensionArray t;
    EXPECT_FALSE(t.LoadFromStream(s)) << cut;
  }
  std::string huge = bytes;
  huge.replace(0, 4, std::string("\xf0\xff\xff\x7f", 4));
  TMemoryStream h(huge);
  EXPECT_FALSE(TExtensionArray().LoadFromStream(h));
}

}  // namespace
