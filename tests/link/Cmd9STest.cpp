#include <gtest/gtest.h>

#include <algorithm>

#include "Cmd9S.h"
#include "Errors.h"
#include "support/PbxModel.h"
#include "support/RecordingFeedback.h"
#include "Stream.h"

namespace {

class Cmd009Test : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(list.ReadPBX(TCmd009S::kQuery)); }
  // Commands sent since the read.
  std::vector<std::string> Sent() const {
    return std::vector<std::string>(pbx.Sent.begin() + 1, pbx.Sent.end());
  }
  void Want(int Port, const std::string& Number) { list.Items(Port - 1).SetItemStr(1, Number); }

  TRecordingFeedback feedback;
  TPbxModel pbx;
  TCmd009S list;
};

TEST_F(Cmd009Test, ReadKeepsReferenceCopyAndDetectsPlan) {
  ASSERT_EQ(list.Count(), 24);
  EXPECT_EQ(list.PbxNumbers.Count(), 24);
  EXPECT_EQ(list.Items(0).Data(), "009S01/101/");
  // Numbers 101 to 124: plan 1 cannot be told from the numbers.
  int plan = 0;
  EXPECT_FALSE(list.DetectPlan(plan));
  EXPECT_TRUE(list.PlanBlock.Data().empty());

  pbx.SetNumber(5, "250");
  ASSERT_TRUE(list.ReadPBX(TCmd009S::kQuery));
  ASSERT_TRUE(list.DetectPlan(plan));
  EXPECT_EQ(plan, 2);
  EXPECT_EQ(list.PlanBlock.Data(), "009S00/2/");
  EXPECT_TRUE(list.PlanBlock.IsActual());
  EXPECT_FALSE(list.PlanBlock.Changed);

  pbx.SetPlan(3);
  ASSERT_TRUE(list.ReadPBX(TCmd009S::kQuery));
  ASSERT_TRUE(list.DetectPlan(plan));
  EXPECT_EQ(plan, 3);
  EXPECT_EQ(list.PlanBlock.Data(), "009S00/3/");
  EXPECT_EQ(list.ChangedCountAll(), 0);
}

TEST_F(Cmd009Test, NumberLookups) {
  EXPECT_EQ(list.JackOfNumber(103), 3);
  EXPECT_EQ(list.JackOfNumber("124"), 24);
  EXPECT_EQ(list.JackOfNumber(200), -1);
  EXPECT_EQ(list.NumberOfJack(2), "102");
  EXPECT_EQ(list.NumberOfJack(25), "");
  EXPECT_EQ(list.NumberOfJack(0), "");
  EXPECT_EQ(TCmd009S::MaxNumber(list), 124);
  EXPECT_EQ(TCmd009S::MaxNumber(TCmdList()), 0);
}

TEST_F(Cmd009Test, SwapGoesThroughFreeNumbers) {
  Want(1, "102");
  Want(2, "101");
  list.Items(1).Changed = false;  // only port 1 counts as edited
  EXPECT_TRUE(list.HasConflict());
  ASSERT_TRUE(list.WriteChanged());
  // Port 1 steps aside to the lowest number nobody holds or wants; port 2 can then take 101.
  const std::vector<std::string> expected = {"009S01/100/", "009S02/101/", "009S01/102/"};
  EXPECT_EQ(Sent(), expected);
  EXPECT_TRUE(pbx.Refusals.empty());
  EXPECT_EQ(pbx.Number(1), "102");
  EXPECT_EQ(pbx.Number(2), "101");
  EXPECT_EQ(list.ChangedCountAll(), 0);

  // The reference copy follows the upload: nothing is left to send.
  const size_t before = pbx.Sent.size();
  EXPECT_FALSE(list.HasConflict());
  EXPECT_TRUE(list.WriteChanged());
  EXPECT_TRUE(list.WriteAll());
  EXPECT_EQ(pbx.Sent.size(), before + 24);  // WriteAll only: the lines as they are
  EXPECT_TRUE(pbx.Refusals.empty());
}

TEST_F(Cmd009Test, ShiftOfAllPortsLeavesNoPortOnATemporaryNumber) {
  // Every port takes the number of its right neighbour; port 24 takes 125.
  for (int p = 1; p <= 24; ++p) Want(p, std::to_string(101 + p));
  ASSERT_TRUE(list.WriteChanged());
  EXPECT_TRUE(pbx.Refusals.empty());
  for (int p = 1; p <= 24; ++p) EXPECT_EQ(pbx.Number(p), std::to_string(101 + p)) << p;
}

TEST_F(Cmd009Test, MoveToTwoDigitPlanChangesPlanFirstAndRereads) {
  // The user wants 11 .. 34 but with ports 1 and 2 swapped against the plan's defaults.
  for (int p = 1; p <= 24; ++p) Want(p, std::to_string(10 + p));
  Want(1, "12");
  Want(2, "11");
  ASSERT_TRUE(list.WriteAll());
  const std::vector<std::string> sent = Sent();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0], "009S00/3/");
  EXPECT_EQ(sent[1], "009S*//");
  // Ports 3 .. 24 already hold their numbers after the reset; ports 1 and 2 swap through 10.
  const std::vector<std::string> swap = {"009S01/10/", "009S02/11/", "009S01/12/"};
  ASSERT_EQ(sent.size(), 2u + 22u + swap.size());
  EXPECT_EQ(std::vector<std::string>(sent.end() - 3, sent.end()), swap);
  EXPECT_TRUE(pbx.Refusals.empty());
  EXPECT_EQ(pbx.Plan(), 3);
  EXPECT_EQ(pbx.Number(1), "12");
  EXPECT_EQ(pbx.Number(2), "11");
  EXPECT_EQ(pbx.Number(24), "34");
  EXPECT_EQ(list.PlanBlock.Data(), "009S00/3/");
}

TEST_F(Cmd009Test, ChangedOnlyUploadAfterPlanResetSendsEveryDifferingLine) {
  // Ports 3 .. 24 are not edited but the plan change resets them to 13 .. 34; the user's
  // numbers must still end up in the PBX.
  pbx.SetPlan(3);
  for (int p = 1; p <= 24; ++p) pbx.SetNumber(p, std::to_string(20 + p));  // 21 .. 44
  ASSERT_TRUE(list.ReadPBX(TCmd009S::kQuery));
  pbx.Sent.clear();
  pbx.Sent.push_back("read");
  Want(1, "101");  // back to three digits
  for (int p = 2; p <= 24; ++p) {
    Want(p, std::to_string(100 + p));
    list.Items(p - 1).Changed = false;
  }
  ASSERT_TRUE(list.WriteChanged());
  ASSERT_FALSE(Sent().empty());
  EXPECT_EQ(Sent()[0], "009S00/1/");
  EXPECT_EQ(pbx.Plan(), 1);
  for (int p = 1; p <= 24; ++p) EXPECT_EQ(pbx.Number(p), std::to_string(100 + p)) << p;
}

TEST_F(Cmd009Test, NumberAbove199SwitchesToPlanTwoFirst) {
  Want(7, "250");
  ASSERT_TRUE(list.WriteChanged());
  const std::vector<std::string> expected = {"009S00/2/", "009S*//", "009S07/250/"};
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(pbx.Plan(), 2);
  EXPECT_EQ(pbx.Number(7), "250");
}

TEST_F(Cmd009Test, PlanThreeNumbersReachAPlanOnePbxWhateverTheResetPutInTheirWay) {
  // The PBX is on plan 1; the file wants 26 .. 49. After the plan line the PBX holds its
  // defaults 11 .. 34: fifteen ports hold numbers others want and only 10 and 35 .. 49 lie
  // unused, yet ports whose number is free go first and free theirs.
  for (int p = 1; p <= 24; ++p) Want(p, std::to_string(25 + p));
  EXPECT_TRUE(list.WriteAll());
  const std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 2u + 24u);  // no temporary number
  EXPECT_EQ(sent[0], "009S00/3/");
  EXPECT_EQ(sent[1], TCmd009S::kQuery);
  EXPECT_TRUE(pbx.Refusals.empty());
  for (int p = 1; p <= 24; ++p) EXPECT_EQ(pbx.Number(p), std::to_string(25 + p)) << p;
  EXPECT_TRUE(feedback.Infos.empty());
  // And once there, a second upload of the same file sends the lines as they are, nothing else.
  pbx.Sent.clear();
  pbx.Sent.push_back("read");
  EXPECT_TRUE(list.WriteAll());
  EXPECT_EQ(Sent().size(), 24u);
}

TEST_F(Cmd009Test, NumbersNoPlanCanTakeStopTheUploadBeforeAnythingIsSent) {
  const struct {
    int Port;
    const char* Number;
    const char* Message;  // the start of what the user is told
  } cases[] = {
      {5, "101", "Cmd 009: failed to automaticaly resolve problem: both ports 1 and 5 has the "
                 "same Extension number '101'!"},
      {5, "12", "Cmd 009: port 5 has the extension number '12', port 1 has '101': all ports "
                "need numbers of one numbering plan"},
      // Port 1's own number is of no plan: that is its fault, not a clash with itself.
      {1, "09", "Cmd 009: port 1 has the extension number '09', which is no number of any "
                "numbering plan"},
      {5, "500", "Cmd 009: port 5 has the extension number '500'"},
      {5, "1x3", "Cmd 009: port 5 has the extension number '1x3'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Number);
    ASSERT_TRUE(list.ReadPBX(TCmd009S::kQuery));
    feedback.Errors.clear();
    feedback.Infos.clear();
    Want(c.Port, c.Number);
    const size_t before = pbx.Sent.size();
    EXPECT_FALSE(list.WriteChanged());
    EXPECT_EQ(pbx.Sent.size(), before);
    std::vector<std::string> told = feedback.Errors;
    told.insert(told.end(), feedback.Infos.begin(), feedback.Infos.end());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind(c.Message, 0), 0u) << told[0];
  }
}

TEST_F(Cmd009Test, FailedReadAfterThePlanLineIsReadAgainAndThePlanGoesOnce) {
  for (int p = 1; p <= 24; ++p) Want(p, std::to_string(40 - p));  // 39 .. 16: plan 3
  pbx.Refused.insert(TCmd009S::kQuery);
  EXPECT_FALSE(list.WriteChanged());
  EXPECT_EQ(pbx.Plan(), 3);
  // The PBX has reset its numbers: the copy read before the plan line is not what it holds.
  EXPECT_FALSE(list.PbxNumbers.IsActual(1));
  pbx.Refused.clear();
  pbx.Sent.clear();
  pbx.Sent.push_back("read");
  ASSERT_TRUE(list.WriteChanged());
  ASSERT_FALSE(Sent().empty());
  EXPECT_EQ(Sent()[0], TCmd009S::kQuery);
  EXPECT_EQ(std::count(pbx.Sent.begin(), pbx.Sent.end(), "009S00/3/"), 0);
  for (int p = 1; p <= 24; ++p) EXPECT_EQ(pbx.Number(p), std::to_string(40 - p)) << p;
}

TEST_F(Cmd009Test, RefusedPlanLineStopsTheUpload) {
  pbx.Refused.insert("009S00/2/");
  Want(3, "300");
  EXPECT_FALSE(list.WriteChanged());
  const std::vector<std::string> expected = {"009S00/2/"};
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(pbx.Number(3), "103");
}

TEST_F(Cmd009Test, UnusableAnswerRaisesAndForgetsTheReferenceCopy) {
  Want(4, "150");
  pbx.NoData.insert("009S04/150/");
  EXPECT_THROW(list.WriteChanged(), Exception);
  EXPECT_FALSE(list.PbxNumbers.IsActual(24));
  pbx.NoData.clear();
  ASSERT_TRUE(list.WriteChanged());
  const std::vector<std::string> expected = {"009S04/150/", "009S*//", "009S04/150/"};
  EXPECT_EQ(Sent(), expected);
}

TEST_F(Cmd009Test, IncompleteOrUnchangedListSendsNothing) {
  EXPECT_TRUE(list.WriteChanged());  // nothing changed
  TCmd009S shortList;
  shortList.Add().SetData("009S01/150/");
  // An edit that cannot be sent is no success.
  EXPECT_FALSE(shortList.WriteAll());
  EXPECT_TRUE(Sent().empty());
}

TEST_F(Cmd009Test, StaleReferenceCopyIsReadAgain) {
  Want(4, "150");
  // The list was loaded from a file; what the PBX holds was read in an earlier connection.
  for (int i = 0; i < list.Count(); ++i) list.Items(i).ReadTime = kLoadedFromFile;
  for (int i = 0; i < list.PbxNumbers.Count(); ++i) list.PbxNumbers.Items(i).ReadTime = 0.0;
  ASSERT_TRUE(list.WriteChanged());
  const std::vector<std::string> expected = {"009S*//", "009S04/150/"};
  EXPECT_EQ(Sent(), expected);

  // A list that is not actual itself sends nothing at all, and says so.
  Want(5, "151");
  list.Items(0).ReadTime = 0.0;
  const size_t before = pbx.Sent.size();
  EXPECT_FALSE(list.WriteChanged());
  EXPECT_EQ(pbx.Sent.size(), before);
  // A line whose write failed is not actual any more, but changed: it is sent next time.
  list.Items(0).ReadTime = kLoadedFromFile;
  list.Items(4).ReadTime = 0.0;
  ASSERT_TRUE(list.Items(4).Changed);
  EXPECT_TRUE(list.WriteChanged());
  EXPECT_EQ(pbx.Sent.back(), "009S05/151/");
}

TEST_F(Cmd009Test, ClearKeepsReferenceCopyAndAssignCopiesPlan) {
  pbx.SetPlan(3);
  ASSERT_TRUE(list.ReadPBX(TCmd009S::kQuery));
  TCmd009S copy;
  copy.Assign(list);
  EXPECT_EQ(copy.Count(), 24);
  EXPECT_EQ(copy.PlanBlock.Data(), "009S00/3/");
  EXPECT_EQ(copy.PbxNumbers.Count(), 0);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.PlanBlock.Data().empty());
  EXPECT_EQ(list.PbxNumbers.Count(), 24);
}

TEST_F(Cmd009Test, StreamRoundTripAndCorruptInput) {
  list.PlanBlock.SetData("009S00/1/");
  TMemoryStream out;
  ASSERT_TRUE(list.SaveToStream(out));
  // Count, 24 records of 4 + 11 bytes, then the plan record.
  EXPECT_EQ(out.Bytes().size(), 4u + 24u * 15u + 4u + 9u);
  TMemoryStream in(out.Bytes());
  TCmd009S loaded;
  ASSERT_TRUE(loaded.LoadFromStream(in));
  EXPECT_EQ(loaded.Count(), 24);
  EXPECT_EQ(loaded.Items(23).Data(), "009S24/124/");
  EXPECT_TRUE(loaded.Items(23).Changed);
  EXPECT_EQ(loaded.Items(23).ReadTime, kLoadedFromFile);
  EXPECT_EQ(loaded.PlanBlock.Data(), "009S00/1/");
  // The file's plan is what the read derived from the numbers: it is no edit to be sent.
  EXPECT_FALSE(loaded.PlanBlock.Changed);
  EXPECT_EQ(loaded.ChangedCountAll(), 24);

  // A count no stream can hold is refused before anything is allocated.
  TMemoryStream huge(std::string("\xff\xff\xff\x7f", 4));
  EXPECT_FALSE(loaded.LoadFromStream(huge));
  // Truncated inside the plan record: the list loads, the plan block does not.
  std::string bytes = out.AsString();
  TMemoryStream cut(bytes.substr(0, bytes.size() - 3));
  TCmd009S partial;
  EXPECT_FALSE(partial.LoadFromStream(cut));
  EXPECT_TRUE(partial.PlanBlock.Data().empty());
}

}  // namespace
