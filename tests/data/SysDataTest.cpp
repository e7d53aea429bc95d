#include <gtest/gtest.h>

#include "Groups.h"
#include "StoreTestUtil.h"
#include "SysData.h"
#include "support/RecordingFeedback.h"

namespace {

TEST(SysDataCatalogue, SingleBlocksInOrder) {
  const char* expected =
      "006S 500S 502S 503S 504S 505S 506S 507S 508S 509S 511S 513S 514S 515S 517S 518S 519S "
      "530S 520S 521S 522S 523S 524S 525S 526S 200S 201S 202S 203S 204S 205S 206S 207S 208S "
      "210S 211S 212S 213S 125S 301S 312S 359S 362S 363S 103S 100S 101S 801S 802S 803S 805S "
      "806S 002S 005S 008S 010S 104S 105S 106S 107S 108S 109S 110S 111S 112S 113S 114S 115S "
      "116S 117S 118S 119S 120S 121S 122S 123S 124S 126S 127S";
  std::string got;
  for (int i = 0; i < kSingleBlockCount; ++i)
    got += (i ? " " : "") + std::string(BlockCode(static_cast<TBlockId>(i)));
  EXPECT_EQ(got, expected);
  EXPECT_EQ(kSingleBlockCount, 79);
  EXPECT_EQ(BlockName(idCmd103S), "Cmd103S");
}

TEST(SysDataCatalogue, ListsInOrder) {
  const char* expected =
      "001S 007S 011S 501S 510S 512S 516E 300S 309S 310S 311S 302S 303S 304S 305S 306S 350C "
      "351S 352S 353S 354S 355S 356S 357S 358S 360S 361S 364S 102E 012S";
  std::string got;
  for (int i = 0; i < kBlockListCount; ++i)
    got += (i ? " " : "") + std::string(ListCode(static_cast<TListId>(i)));
  EXPECT_EQ(got, expected);
  EXPECT_EQ(kBlockListCount, 30);
  EXPECT_EQ(ListName(idList102E), "List102E");
}

TEST(SysDataCatalogue, NamesReferToTheirCataloguePositions) {
  TSysData s;
  EXPECT_EQ(&s.Cmd006S, &s.Block(idCmd006S));
  EXPECT_EQ(&s.Cmd509S, &s.Block(static_cast<TBlockId>(9)));  // DISA position 10
  EXPECT_EQ(&s.Cmd127S, &s.Block(static_cast<TBlockId>(78)));
  EXPECT_EQ(&s.List001S, &s.List(static_cast<TListId>(0)));
  EXPECT_EQ(&s.List012S, &s.List(static_cast<TListId>(29)));
  // Every block and list is its own object.
  for (int i = 1; i < kSingleBlockCount; ++i)
    EXPECT_NE(&s.Block(static_cast<TBlockId>(i)), &s.Block(static_cast<TBlockId>(i - 1)));
}

TEST(SysDataGroups, TitlesAndMaximaInRunOrder) {
  const char* titles[] = {"Extensions", "CO lines", "DSS consoles", "Speed dials", "DISA", "UCD",
                          "Timer", "Account codes", "Auto pause Insertion codes",
                          "Carrier Excepted codes", "Toll restriction", "Emergency dial",
                          "Automatic Route Selection", "Voice Mail integration", "Call hunting",
                          "SMDR", "System parameters", "Day/Night/Lunch"};
  const int upload[] = {3647, 360, 300, 600, 171, 21, 39, 72, 120, 60, 489, 15, 1983, 9, 6, 15,
                        122, 24};
  const int read[] = {2400, 360, 116, 204, 99, 21, 39, 26, 42, 22, 179, 7, 691, 9, 6, 15, 122, 12};
  ASSERT_EQ(Groups().size(), 18u);
  for (size_t i = 0; i < 18; ++i) {
    const TGroup& g = Groups()[i];
    EXPECT_EQ(g.Id, static_cast<TGroupId>(i));
    EXPECT_STREQ(g.Title, titles[i]);
    EXPECT_EQ(g.UploadMax, upload[i]) << g.Title;
    EXPECT_EQ(g.ReadMax, read[i]) << g.Title;
    EXPECT_TRUE(g.Read && g.UploadAll && g.UploadChanged) << g.Title;
  }
}

class SysDataFilled : public ::testing::Test {
 protected:
  void SetUp() override {
    FillStorePrograms(pbx);
    store.OnLine = true;
    ASSERT_TRUE(RunGroups(store, TRunDirection::Read).Ok);
  }
  TRecordingFeedback feedback;
  TPbxModel pbx;
  TSysData store;
};

TEST_F(SysDataFilled, ClearDataEmptiesInPlaceAndKeepsFlags) {
  TCmdData* block = &store.Cmd103S;
  TCmdList* list = &store.List102E;
  store.HaveFileData = true;
  store.Version.Skip123S = 0;
  store.Settings.PBXtype = 0;
  store.Cmd103S.SetItemStr(1, "9");
  ASSERT_TRUE(GroupHasData(store, grDISA));

  store.ClearData();

  EXPECT_EQ(block, &store.Cmd103S);
  EXPECT_EQ(list, &store.List102E);
  EXPECT_TRUE(store.OnLine);
  EXPECT_TRUE(store.HaveFileData);
  EXPECT_EQ(store.Version.Skip123S, 0);
  EXPECT_EQ(store.Settings.PBXtype, 0);
  for (int i = 0; i < kSingleBlockCount; ++i) {
    const TCmdData& b = store.Block(static_cast<TBlockId>(i));
    EXPECT_TRUE(b.Data().empty());
    EXPECT_FALSE(b.Changed);
    EXPECT_EQ(b.ReadTime, 0.0);
  }
  for (int i = 0; i < kBlockListCount; ++i) EXPECT_EQ(store.List(static_cast<TListId>(i)).Count(), 0);
  EXPECT_EQ(store.Extensions.Cmd009.Count(), 0);
  EXPECT_TRUE(store.Extensions.Jacks(5).Block(TExtensionData::e604E).Data().empty());
  EXPECT_TRUE(store.COLines.Lines(2).Block(0).Data().empty());
  EXPECT_TRUE(store.DSSConsoles.Consoles(1).Cmd003D.Data().empty());
  for (const TGroup& g : Groups()) {
    EXPECT_FALSE(GroupHasData(store, g.Id)) << g.Title;
    EXPECT_EQ(GroupChangedCount(store, g.Id), 0) << g.Title;
  }
  EXPECT_FALSE(GroupHasData(store, grSystemParams));
  EXPECT_EQ(GroupChangedCount(store, grSystemParams), 0);
}

TEST_F(SysDataFilled, FullReadGivesEveryGroupData) {
  for (const TGroup& g : Groups()) EXPECT_TRUE(GroupHasData(store, g.Id)) << g.Title;
  EXPECT_TRUE(GroupHasData(store, grDISA) && GroupHasData(store, grUCD) && GroupHasData(store, grTimer) &&
              GroupHasData(store, grTollRestriction) && GroupHasData(store, grARS) && GroupHasData(store, grSMDR) &&
              GroupHasData(store, grSystemParams));
}

TEST_F(SysDataFilled, AGroupWithAnEmptyListHasNoData) {
  store.List512S.Clear();
  EXPECT_FALSE(GroupHasData(store, grDISA));
  EXPECT_TRUE(GroupHasData(store, grUCD));
  store.Extensions.Cmd009.Clear();
  EXPECT_FALSE(GroupHasData(store, grSystemParams));
  // Blocks read during an earlier connection are no longer actual.
  pbx.SetConnectTime(1e6);
  EXPECT_FALSE(GroupHasData(store, grUCD));
}

TEST_F(SysDataFilled, ProgramOneHundredTwentyThreeCountsOnlyWhereThePbxHasIt) {
  // Skip123S: 123S is never read, so it must not keep the group from having data.
  EXPECT_TRUE(store.Cmd123S.Data().empty());
  EXPECT_TRUE(GroupHasData(store, grSystemParams));
  store.Version.Skip123S = 0;
  EXPECT_FALSE(GroupHasData(store, grSystemParams));
}

TEST_F(SysDataFilled, ChangedCountsCountBlocksLinesAndThePlan) {
  store.Cmd500S.SetItemStr(1, "8");
  store.Cmd530S.SetItemStr(1, "8");
  store.List516E.Items(1).SetItemStr(1, "8");
  EXPECT_EQ(GroupChangedCount(store, grDISA), 3);
  EXPECT_EQ(GroupChangedCount(store, grUCD), 0);
  store.List350C.Items(0).SetItemStr(1, "8");
  store.List364S.Items(1).SetItemStr(1, "*");
  store.Cmd363S.SetItemStr(1, "09");
  EXPECT_EQ(GroupChangedCount(store, grARS), 3);
  store.Cmd002S.SetItemStr(1, "1234");
  store.List012S.Items(0).SetItemStr(1, "77");
  store.Extensions.Cmd009.Items(3).SetItemStr(1, "150");
  store.Extensions.Cmd009.PlanBlock.SetData("009S00/2/");
  EXPECT_EQ(GroupChangedCount(store, grSystemParams), 4);
  EXPECT_EQ(GroupChangedCount(store, grDayNight), 0);
}

TEST(Version, EveryModelTextLeavesBothFlagsSet) {
  for (const char* model : {"", "Y581M", "Y501A 1.0", "garbage", "KX-TA308"}) {
    TVersion v;
    v.ExtendedSpeedDial = 0;
    v.Skip123S = 0;
    v.SetModel(model);
    EXPECT_EQ(v.ExtendedSpeedDial, 1) << model;
    EXPECT_EQ(v.Skip123S, 1) << model;
    EXPECT_EQ(v.Model(), model);
  }
}

TEST(Version, FirmwareFamilies) {
  EXPECT_EQ(TVersion::FamilyOf("Y581M"), TVersion::famY581);
  EXPECT_EQ(TVersion::FamilyOf("Y501T"), TVersion::famY581);  // listed with the Y581 codes
  EXPECT_EQ(TVersion::FamilyOf("Y501A"), TVersion::famY501);
  EXPECT_EQ(TVersion::FamilyOf("  Y551B rest"), TVersion::famY501);
  EXPECT_EQ(TVersion::FamilyOf("Y501Z"), TVersion::famY501);   // "Y501?" takes any letter
  EXPECT_EQ(TVersion::FamilyOf("X581Z"), TVersion::famY581);   // fallback on characters 2-4
  EXPECT_EQ(TVersion::FamilyOf("Q551Q"), TVersion::famY501);
  EXPECT_EQ(TVersion::FamilyOf("Y600A"), TVersion::famUnknown);
  EXPECT_EQ(TVersion::FamilyOf("Y58"), TVersion::famUnknown);
  TVersion v;
  v.SetModel("Y581Q");
  EXPECT_EQ(v.Family(), TVersion::famY581);
}

}  // namespace
