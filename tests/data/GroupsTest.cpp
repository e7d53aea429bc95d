#include <gtest/gtest.h>

#include "Errors.h"
#include "Groups.h"
#include "StoreTestUtil.h"
#include "SysData.h"
#include "support/RecordingFeedback.h"

namespace {

using TLines = std::vector<std::string>;

class GroupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillStorePrograms(pbx);
    store.OnLine = true;
  }
  TLines SentSince(size_t From) const { return TLines(pbx.Sent.begin() + From, pbx.Sent.end()); }
  // The lines the store holds for Queries, in order: what an upload of them sends.
  TLines Texts(const TLines& Queries) const {
    TLines v;
    for (const auto& q : Queries)
      for (const auto& l : ModelAnswer(pbx, q)) v.push_back(l);
    return v;
  }
  static TLines Without(TLines V, const std::string& Query) {
    std::erase(V, Query);
    return V;
  }

  TRecordingFeedback feedback;
  TPbxModel pbx;
  TSysData store;
};

TEST_F(GroupsTest, EachStoreGroupReadsAndUploadsInItsOrder) {
  for (int g = grSpeedDials; g < kGroupCount; ++g) {
    SCOPED_TRACE(Groups()[g].Title);
    const TLines reads = ExpectedReads(g);
    size_t mark = pbx.Sent.size();
    ASSERT_TRUE(Groups()[g].Read(store, false));
    EXPECT_EQ(SentSince(mark), reads);
    EXPECT_TRUE(GroupHasData(store, static_cast<TGroupId>(g)));
    EXPECT_EQ(GroupChangedCount(store, static_cast<TGroupId>(g)), 0);

    // The numbers belong to the Extensions group's upload.
    mark = pbx.Sent.size();
    ASSERT_TRUE(Groups()[g].UploadAll(store, false));
    EXPECT_EQ(SentSince(mark), Texts(Without(reads, "009S*//")));

    mark = pbx.Sent.size();
    ASSERT_TRUE(Groups()[g].UploadChanged(store, false));
    EXPECT_TRUE(SentSince(mark).empty());

    // Everything marked changed: the same order, except that Day/Night sends its mode first.
    for (int i = 0; i < kSingleBlockCount; ++i) store.Block(static_cast<TBlockId>(i)).Changed = true;
    for (int i = 0; i < kBlockListCount; ++i) {
      TCmdList& l = store.List(static_cast<TListId>(i));
      for (int k = 0; k < l.Count(); ++k) l.Items(k).Changed = true;
    }
    TLines order = Without(reads, "009S*//");
    if (g == grDayNight) std::swap(order[0], order[1]);
    mark = pbx.Sent.size();
    ASSERT_TRUE(Groups()[g].UploadChanged(store, false));
    EXPECT_EQ(SentSince(mark), Texts(order));
    EXPECT_EQ(GroupChangedCount(store, static_cast<TGroupId>(g)), 0);
    ASSERT_TRUE(Groups()[g].Read(store, false));  // back to unchanged for the next groups
  }
  EXPECT_TRUE(feedback.Errors.empty());
}

TEST_F(GroupsTest, UploadChangedSendsOnlyChangedBlocksInGroupOrder) {
  ASSERT_TRUE(RunGroups(store, TRunDirection::Read).Ok);
  store.Cmd530S.SetItemStr(1, "8");
  store.Cmd500S.SetItemStr(1, "8");
  store.List516E.Items(1).SetItemStr(1, "8");
  store.List361S.Items(0).SetItemStr(1, "^");
  store.Cmd806S.SetItemStr(1, "8");
  store.Cmd006S.SetItemStr(1, "8");
  store.List007S.Items(1).SetItemStr(1, "08301");
  const size_t mark = pbx.Sent.size();
  const TRunResult r = RunGroups(store, TRunDirection::UploadChanged);
  EXPECT_TRUE(r.Ok);
  // Day/Night sends its mode before the timetable.
  EXPECT_EQ(SentSince(mark), (TLines{"500S/8/", "530S/8/", "516E02/8/", "361S1/^/", "806S/8/",
                                     "006S/8/", "007S2/08301/"}));
  for (const TGroup& g : Groups()) EXPECT_EQ(GroupChangedCount(store, g.Id), 0) << g.Title;
}

TEST_F(GroupsTest, FullReadFillsEveryCatalogueBlockAndTable) {
  TLines run;
  const TRunResult r = RunGroups(store, TRunDirection::Read,
                                 {[&](const TGroup& g) { run.push_back(g.Title); }, {}});
  EXPECT_TRUE(r.Ok);
  EXPECT_FALSE(r.Aborted);
  EXPECT_EQ(r.StepsRun, 18);
  EXPECT_EQ(run.size(), 18u);
  for (int i = 0; i < kSingleBlockCount; ++i) {
    const TCmdData& b = store.Block(static_cast<TBlockId>(i));
    if (i == idCmd123S) {
      EXPECT_TRUE(b.Data().empty());  // this PBX has no program 123
      continue;
    }
    EXPECT_TRUE(b.IsActual()) << BlockName(static_cast<TBlockId>(i));
    EXPECT_EQ(b.Data(), pbx.Line(BlockCode(static_cast<TBlockId>(i))));
  }
  for (int i = 0; i < kBlockListCount; ++i) {
    const TCmdList& l = store.List(static_cast<TListId>(i));
    EXPECT_EQ(l.Count(), 2) << ListName(static_cast<TListId>(i));
    EXPECT_TRUE(l.IsActual(2));
  }
  EXPECT_TRUE(store.Extensions.HasActualData());
  EXPECT_TRUE(store.COLines.HasActualData());
  EXPECT_TRUE(store.DSSConsoles.HasActualData());
  EXPECT_TRUE(feedback.Errors.empty());
}

TEST_F(GroupsTest, ConditionalPrograms) {
  store.Version.ExtendedSpeedDial = 0;
  size_t mark = pbx.Sent.size();
  ASSERT_TRUE(Group(grSpeedDials).Read(store, true));
  EXPECT_EQ(SentSince(mark), TLines{"001S*//"});
  ASSERT_EQ(feedback.Progress.size(), 1u);
  EXPECT_EQ(feedback.Progress[0].Caption, "Read");
  EXPECT_EQ(feedback.Progress[0].Maximum, 102);
  mark = pbx.Sent.size();
  ASSERT_TRUE(Group(grSpeedDials).UploadAll(store, true));
  EXPECT_EQ(SentSince(mark), Texts({"001S*//"}));
  EXPECT_EQ(feedback.Progress.back().Maximum, 300);

  // With program 123: read last of the single blocks, uploaded in catalogue order.
  store.Version.Skip123S = 0;
  mark = pbx.Sent.size();
  ASSERT_TRUE(Group(grSystemParams).Read(store, false));
  TLines reads = SentSince(mark);
  ASSERT_EQ(reads.size(), 29u);
  EXPECT_EQ(reads[26], "123S//");
  EXPECT_EQ(reads[25], "127S//");
  mark = pbx.Sent.size();
  ASSERT_TRUE(Group(grSystemParams).UploadAll(store, false));
  TLines sent = SentSince(mark);
  ASSERT_EQ(sent.size(), 29u);
  EXPECT_EQ(sent[22], pbx.Line("122S"));
  EXPECT_EQ(sent[23], pbx.Line("123S"));
  EXPECT_EQ(sent[24], pbx.Line("124S"));
  EXPECT_EQ(sent[27], pbx.List("012S*")[0]);
}

TEST_F(GroupsTest, BlankItemsBecomeTheEmptyMarkWithoutCountingAsEdits) {
  pbx.SetList("512S*", {"512S1//", "512S2/1234/"});
  pbx.SetList("501S*", {"501S0//"});
  pbx.SetList("007S*", {"007S1/,08001, ,/"});
  pbx.SetList("361S*", {"361S1/ /"});
  pbx.SetList("351S*", {"351S01//"});
  pbx.SetList("360S*", {"360S1//"});
  pbx.SetList("012S*", {"012S50//"});
  pbx.SetList("011S*", {"011S01//"});
  ASSERT_TRUE(RunGroups(store, TRunDirection::Read).Ok);
  EXPECT_EQ(store.List512S.Items(0).Data(), "512S1/^/");
  EXPECT_EQ(store.List512S.Items(1).Data(), "512S2/1234/");
  EXPECT_EQ(store.List501S.Items(0).Data(), "501S0//");  // not a code list: left alone
  EXPECT_EQ(store.List007S.Items(0).Data(), "007S1/^,08001,^,^/");
  EXPECT_EQ(store.List361S.Items(0).Data(), "361S1/^/");
  EXPECT_EQ(store.List351S.Items(0).Data(), "351S01/^/");
  EXPECT_EQ(store.List360S.Items(0).Data(), "360S1//");
  EXPECT_EQ(store.List012S.Items(0).Data(), "012S50/^/");
  EXPECT_EQ(store.List011S.Items(0).Data(), "011S01/^/");
  for (const TGroup& g : Groups()) EXPECT_EQ(GroupChangedCount(store, g.Id), 0) << g.Title;
}

TEST_F(GroupsTest, ProgressWindowOfARoutineRunOnItsOwn) {
  ASSERT_TRUE(Group(grDISA).Read(store, true));
  ASSERT_TRUE(Group(grDISA).UploadAll(store, true));
  store.Cmd500S.SetItemStr(1, "8");
  store.List512S.Items(0).SetItemStr(1, "9999");
  ASSERT_TRUE(Group(grDISA).UploadChanged(store, true));
  ASSERT_TRUE(Group(grDayNight).Read(store, false));
  store.List007S.Items(0).SetItemStr(1, "^");
  ASSERT_TRUE(Group(grDayNight).UploadChanged(store, true));
  ASSERT_EQ(feedback.Progress.size(), 4u);
  EXPECT_EQ(feedback.Progress[0].Caption, "Read");
  EXPECT_EQ(feedback.Progress[0].Maximum, 99);
  EXPECT_EQ(feedback.Progress[1].Caption, "Save");
  EXPECT_EQ(feedback.Progress[1].Maximum, 171);
  EXPECT_EQ(feedback.Progress[2].Maximum, 6);      // 3 steps per changed block
  EXPECT_EQ(feedback.Progress[3].Maximum, 3 + 3);  // the timetable's lines, plus 3
  for (const auto& p : feedback.Progress) {
    EXPECT_TRUE(p.Hook);
    EXPECT_TRUE(p.Closed);
  }
  // The run shows its own bar.
  feedback.Progress.clear();
  ASSERT_TRUE(RunGroups(store, TRunDirection::Read).Ok);
  EXPECT_TRUE(feedback.Progress.empty());
}

TEST_F(GroupsTest, FailedExchangesLetTheOthersRun) {
  pbx.Refused = {"503S//", "310S*//"};
  pbx.NoData = {"801S//"};  // accepted but no data line: the block layer raises
  const TRunResult r = RunGroups(store, TRunDirection::Read);
  EXPECT_FALSE(r.Ok);
  EXPECT_FALSE(r.Aborted);
  EXPECT_EQ(r.StepsRun, 18);
  EXPECT_EQ(r.Failed, (std::vector<TGroupId>{grDISA, grAccountCodes, grSMDR}));
  // Everything after the failures was still asked for.
  const TLines disa = ExpectedReads(grDISA);
  for (const auto& q : disa)
    EXPECT_NE(std::find(pbx.Sent.begin(), pbx.Sent.end(), q), pbx.Sent.end()) << q;
  EXPECT_TRUE(store.Cmd802S.IsActual());
  EXPECT_TRUE(store.Cmd530S.IsActual());
  EXPECT_FALSE(GroupHasData(store, grDISA));
  EXPECT_TRUE(GroupHasData(store, grUCD));
  ASSERT_EQ(feedback.Errors.size(), 1u);
  EXPECT_EQ(feedback.Errors[0], "Cant't extract data (1)!");

  // An upload refused in the middle of a list still sends the rest of it.
  pbx.Refused = {pbx.List("302S*")[0]};
  const size_t mark = pbx.Sent.size();
  EXPECT_FALSE(Group(grTollRestriction).UploadAll(store, false));
  EXPECT_EQ(SentSince(mark), Texts(ExpectedReads(grTollRestriction)));
  EXPECT_FALSE(store.List302S.Items(0).Changed);
  EXPECT_EQ(store.List302S.Items(0).ReadTime, 0.0);  // a failed write is no longer actual
}

TEST_F(GroupsTest, AbortStopsTheRun) {
  // Abort before the first command of the Timer group.
  size_t beforeTimer = 0;
  {
    TPbxModel counter;
    FillStorePrograms(counter);
    TSysData s;
    for (int g = 0; g < grTimer; ++g) Groups()[g].Read(s, false);
    beforeTimer = counter.Sent.size();
  }
  SetPbxComm(&pbx);
  pbx.AbortAfter = static_cast<int>(beforeTimer) + 3;
  TLines started;
  TLines ended;
  const TRunResult r = RunGroups(
      store, TRunDirection::Read,
      {[&](const TGroup& g) { started.push_back(g.Title); },
       [&](const TGroup& g, bool) { ended.push_back(g.Title); }});
  EXPECT_TRUE(r.Aborted);
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.StepsRun, grTimer + 1);
  EXPECT_EQ(started.back(), "Timer");
  EXPECT_EQ(ended.back(), "UCD");
  EXPECT_EQ(pbx.Sent.size(), beforeTimer + 3);
  // Data read before the abort stay.
  EXPECT_TRUE(GroupHasData(store, grUCD));
  EXPECT_TRUE(store.Cmd202S.IsActual());
  EXPECT_FALSE(store.Cmd203S.IsActual());

  // A routine run on its own passes the abort on and closes its window.
  pbx.AbortAfter = static_cast<int>(pbx.Sent.size()) + 1;
  EXPECT_THROW(Group(grARS).Read(store, true), EAbortOperation);
  ASSERT_FALSE(feedback.Progress.empty());
  EXPECT_TRUE(feedback.Progress.back().Closed);
}

TEST_F(GroupsTest, PlanBlockIsSentOnlyWhenTheUserChoseAPlan) {
  ASSERT_TRUE(RunGroups(store, TRunDirection::Read).Ok);
  pbx.SetNumber(2, "250");  // a plan the numbers show
  ASSERT_TRUE(store.Extensions.Cmd009.ReadPBX("009S*//"));
  ASSERT_TRUE(store.Extensions.Cmd009.PlanBlock.IsActual());
  size_t mark = pbx.Sent.size();
  ASSERT_TRUE(Group(grSystemParams).UploadAll(store, false));
  for (const auto& c : SentSince(mark)) EXPECT_NE(c.substr(0, 4), "009S") << c;

  int notified = 0;
  store.OnDataChanged = [&] { ++notified; };
  TCmdData& plan = store.Extensions.Cmd009.PlanBlock;
  plan.SetData("009S00/3/");
  plan.Stamp();
  EXPECT_EQ(GroupChangedCount(store, grSystemParams), 1);
  mark = pbx.Sent.size();
  ASSERT_TRUE(Group(grSystemParams).UploadChanged(store, true));
  EXPECT_EQ(SentSince(mark), TLines{"009S00/3/"});
  EXPECT_EQ(feedback.Progress.back().Maximum, 3);
  EXPECT_EQ(pbx.Plan(), 3);
  // The PBX reset the numbers: the store's copy is gone until read again.
  EXPECT_EQ(store.Extensions.Cmd009.Count(), 0);
  EXPECT_EQ(notified, 1);

  // A refused plan line keeps the numbers.
  ASSERT_TRUE(store.Extensions.Cmd009.ReadPBX("009S*//"));
  plan.SetData("009S00/1/");
  plan.Stamp();
  pbx.Refused = {"009S00/1/"};
  EXPECT_FALSE(Group(grSystemParams).UploadAll(store, false));
  EXPECT_EQ(store.Extensions.Cmd009.Count(), 24);
  EXPECT_EQ(notified, 1);
}

TEST_F(GroupsTest, TableGroupsUseTheTables) {
  size_t mark = pbx.Sent.size();
  ASSERT_TRUE(Group(grCOLines).Read(store, false));
  TLines sent = SentSince(mark);
  ASSERT_EQ(sent.size(), 120u);
  EXPECT_EQ(sent.front(), "400C1//");
  EXPECT_TRUE(GroupHasData(store, grCOLines));
  store.COLines.Lines(2).Block(0).SetItemStr(1, "2");
  EXPECT_EQ(GroupChangedCount(store, grCOLines), 1);
  mark = pbx.Sent.size();
  ASSERT_TRUE(Group(grCOLines).UploadChanged(store, false));
  EXPECT_EQ(SentSince(mark), TLines{"400C2/2/"});
  ASSERT_TRUE(Group(grDSSConsoles).Read(store, false));
  ASSERT_TRUE(Group(grExtensions).Read(store, false));
  EXPECT_TRUE(GroupHasData(store, grExtensions));
  EXPECT_TRUE(GroupHasData(store, grDSSConsoles));
}

}  // namespace

namespace {

// Every block of a store given a text and marked changed: the pending count is each block once
// (the system parameters read the extension numbers too, yet they are counted with the
// extensions), without the blocks the PBX's capabilities leave out and without changed blocks
// that hold no text (a data file's empty records).
TEST(PendingChangeCount, EachSendableBlockOnce) {
  TSysData s;
  for (int k = 0; k < kSingleBlockCount; ++k)
    s.Block(static_cast<TBlockId>(k)).SetData(std::string(BlockCode(static_cast<TBlockId>(k))) + "/1/");
  for (int k = 0; k < kBlockListCount; ++k)
    s.List(static_cast<TListId>(k)).Add().SetData(std::string(ListCode(static_cast<TListId>(k))) + "01/1/");
  for (int j = 1; j <= TExtensionArray::kJackCount; ++j) {
    TExtensionData& jack = s.Extensions.Jacks(j);
    for (int b = 0; b < TExtensionData::kBlockCount; ++b) jack.Block(b).SetData("X/1/");
    jack.BC.Add().SetData("X/1/");
    s.Extensions.Cmd009.Add().SetData("X/1/");
  }
  for (int i = 0; i < TExtensionArray::kSharedListCount; ++i) s.Extensions.SharedList(i).Add().SetData("X/1/");
  for (int c = 1; c <= TCOarray::kLineCount; ++c)
    for (int b = 0; b < TCOdata::kBlockCount; ++b) s.COLines.Lines(c).Block(b).SetData("X/1/");
  s.DSSConsoles.Consoles(2).Cmd003D.SetData("X/1/");
  int texts = 0;
  ForEachFileBlock(s, [&texts](const TCmdData& B) { texts += B.Data().empty() ? 0 : 1; });

  const struct {
    int Extended, Skip123;
    int Expected;
  } cases[] = {{1, 1, texts - 1}, {1, 0, texts}, {0, 1, texts - 2}};
  for (const auto& c : cases) {
    s.Version.ExtendedSpeedDial = static_cast<uint8_t>(c.Extended);
    s.Version.Skip123S = static_cast<uint8_t>(c.Skip123);
    EXPECT_EQ(PendingChangeCount(s), c.Expected) << c.Extended << c.Skip123;
  }
  s.Version.Skip123S = 0;
  s.Version.ExtendedSpeedDial = 1;
  s.Cmd500S.Clear();
  s.Cmd500S.Changed = true;  // an empty record of a data file: nothing to send
  s.Extensions.Jacks(5).Block(0).Clear();
  s.Extensions.Jacks(5).Block(0).Changed = true;
  EXPECT_EQ(PendingChangeCount(s), texts - 2);
  EXPECT_EQ(GroupPendingCount(s, grExtensions),
            24 * (22 + 1 + 1) - 1 + TExtensionArray::kSharedListCount);
  // The numbering plan block counts once a plan is chosen: with the system parameters.
  const int before = GroupPendingCount(s, grSystemParams);
  s.Extensions.Cmd009.PlanBlock.SetData("009S00/2/");
  s.Extensions.Cmd009.PlanBlock.Stamp();
  EXPECT_EQ(GroupPendingCount(s, grSystemParams), before + 1);
  EXPECT_EQ(PendingChangeCount(s), texts - 2 + 1);
}

}  // namespace
