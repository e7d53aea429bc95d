// Block lists: replies into blocks, uploads that try everything, change counts, streams.
#include <gtest/gtest.h>

#include "CmdData.h"
#include "Errors.h"
#include "FakeSession.h"
#include "RecordingFeedback.h"
#include "Stream.h"

namespace {

void Fill(TCmdList& L, std::initializer_list<const char*> Texts, bool Changed) {
  L.Clear();
  for (const char* t : Texts) {
    TCmdData& b = L.Add();
    b.SetData(t);
    b.Changed = Changed;
  }
}

}  // namespace

TEST(CmdListTest, ParseReplyTakesDataLinesUnchanged) {
  TCmdList L;
  L.Add().SetData("old/1/");
  L.ParseReply({"009S*//", ";=>009S01/101/", ";=>009S02/102/", ";=>009S03/103/", ";E>"});
  ASSERT_EQ(L.Count(), 3);
  EXPECT_EQ(L.Items(0).Data(), "009S01/101/");
  EXPECT_EQ(L.Items(2).Data(), "009S03/103/");
  EXPECT_EQ(L.ChangedCount(), 0);
  EXPECT_GT(L.Items(1).ReadTime, 0.0);
  EXPECT_EQ(L.Items(0).ReadTime, L.Items(2).ReadTime) << "one time for the whole reply";

  L.ParseReply({"009S*//", ";E>"});
  EXPECT_EQ(L.Count(), 0);
}

TEST(CmdListTest, ReadPbxQueriesAndFillsTheList) {
  TFakeSession s;
  TRecordingFeedback f;
  TCmdList L;
  s.AnswerData({"001S00/1234/", "001S01/5678/"});
  ASSERT_TRUE(L.ReadPBX("001S*//"));
  EXPECT_EQ(s.Sent, (std::vector<std::string>{"001S*//"}));
  EXPECT_EQ(L.Count(), 2);
  EXPECT_TRUE(L.IsActual(1));
  EXPECT_FALSE(L.IsActual(3)) << "fewer blocks than required";

  s.Answer(";E>");
  EXPECT_TRUE(L.ReadPBX("001S*//")) << "no data lines is an empty list, not a failure";
  EXPECT_EQ(L.Count(), 0);

  s.Refuse();
  EXPECT_FALSE(L.ReadPBX("001S*//"));
}

TEST(CmdListTest, DamagedLinesAreRefusedInListsAsInSingleBlocks) {
  TFakeSession s;
  TRecordingFeedback f;
  s.SetConnectTime(1.0);
  // Each: the query, a sound line of the program, and the same line as line noise left it.
  const struct {
    const char* Query;
    const char* Good;
    const char* Damaged;
  } cases[] = {
      {"001S*//", "001S41/^/", "001S41g/^/"},        // a letter in the key
      {"352S*//", "352S67/^/", "352S6z7/^/"},        // a key the program does not have
      {"306S*//", "306S80/1234/", "306S81/1234/"},   // a key past the program's last
      {"P12BF*//", "P12BF11/^/", "P12BF11/^\\/"},     // a character no dial string holds
      {"405C*//", "405C3/1111 1111,1111 1111,1111 1111/",
       "405C3/1111 1111,1111 1111,1111 61111/"},     // a bit field one digit too long
      {"007S*//", "007S1/09000,05001,12001,01001/", "007S1/09000,0500^1,12001,01001/"},
      {"103S//", "103S/1/", "103S/1x/"},             // a single block: a letter in a number
      {"P05BC01//", "P05BC01/3,/", "P05BC01/3u,/"},  // a button with a letter no code has
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Damaged);
    const bool list = std::string(c.Query).find('*') != std::string::npos;
    TCmdList L;
    TCmdData b;
    s.AnswerData({c.Good});
    ASSERT_TRUE(list ? L.ReadPBX(c.Query) : b.ReadPBX(c.Query));
    if (list)
      s.AnswerData({c.Good, c.Damaged});  // one damaged line refuses the whole list
    else
      s.AnswerData({c.Damaged});
    try {
      list ? L.ReadPBX(c.Query) : b.ReadPBX(c.Query);
      ADD_FAILURE() << "taken";
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find("is damaged and was not taken"), std::string::npos)
          << e.what();
    }
    // What was held is kept, and no longer counts as what the PBX holds.
    if (list) {
      EXPECT_EQ(L.Count(), 1);
      if (L.Count() > 0) {
        EXPECT_EQ(L.Items(0).Data(), c.Good);
      }
      EXPECT_FALSE(L.IsActual(1));
    } else {
      EXPECT_EQ(b.Data(), c.Good);
    }
  }
}

TEST(CmdListTest, WriteAllTriesEveryBlockAndAndsTheResults) {
  TFakeSession s;
  TRecordingFeedback f;
  TCmdList L;
  Fill(L, {"310S01/1/", "310S02/2/", "310S03/3/"}, true);
  s.AnswerData({"310S01/1/"});
  s.Refuse();
  s.AnswerData({"310S03/3/"});
  EXPECT_FALSE(L.WriteAll());
  EXPECT_EQ(s.Sent, (std::vector<std::string>{"310S01/1/", "310S02/2/", "310S03/3/"}));
  EXPECT_FALSE(L.Items(0).Changed);
  EXPECT_TRUE(L.Items(1).Changed) << "the refused block must still be uploaded later";
  EXPECT_FALSE(L.Items(2).Changed);
  EXPECT_EQ(L.ChangedCount(), 1);

  // A second upload of the changes sends exactly the rest.
  s.Sent.clear();
  EXPECT_TRUE(L.WriteChanged());
  EXPECT_EQ(s.Sent, (std::vector<std::string>{"310S02/2/"}));
  EXPECT_FALSE(L.HasChanges());

  TCmdList none;
  EXPECT_TRUE(none.WriteAll());
}

TEST(CmdListTest, AbortStopsTheUpload) {
  TFakeSession s;
  TCmdList L;
  Fill(L, {"310S01/1/", "310S02/2/"}, true);
  s.RequestAbort();
  EXPECT_THROW(L.WriteChanged(), EAbortOperation);
  EXPECT_EQ(L.ChangedCount(), 2);
}

TEST(CmdListTest, FillEmptyItemsKeepsChangeFlags) {
  TCmdList L;
  Fill(L, {"310S01/ ,1/", "310S02/5,1/", "310S03/,/"}, false);
  L.Items(2).Changed = true;
  L.FillEmptyItems(1);
  EXPECT_EQ(L.Items(0).Data(), "310S01/^,1/");
  EXPECT_EQ(L.Items(1).Data(), "310S02/5,1/");
  EXPECT_EQ(L.Items(2).Data(), "310S03/^,/");
  EXPECT_FALSE(L.Items(0).Changed);
  EXPECT_TRUE(L.Items(2).Changed);
}

TEST(CmdListTest, AssignCopiesAndAssignDefinedSkipsUndefined) {
  TCmdList a, b;
  Fill(a, {"1/1/", "2/2/", "3/3/"}, true);
  b.Assign(a);
  ASSERT_EQ(b.Count(), 3);
  EXPECT_NE(&a.Items(0), &b.Items(0)) << "copies, not shared blocks";
  EXPECT_EQ(b.Items(2).Data(), "3/3/");
  b.Assign(b);
  EXPECT_EQ(b.Count(), 3) << "assigning a list to itself keeps it";

  TCmdList c;
  Fill(c, {"1/9/", "2/9/"}, false);
  a.Items(1).Undefined[0] = true;
  c.AssignDefined(a);
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.Items(0).Data(), "1/1/");
  EXPECT_EQ(c.Items(1).Data(), "2/9/");
}

TEST(CmdListTest, StreamRoundTripMakesEveryBlockChanged) {
  TFakeSession s;
  TRecordingFeedback f;
  TCmdList a;
  Fill(a, {"310S01/1/", "", "310S03/3/"}, false);
  TMemoryStream out;
  ASSERT_TRUE(a.SaveToStream(out));
  EXPECT_EQ(out.Bytes().size(), 4u + (4 + 9) + 4 + (4 + 9));

  TMemoryStream in(out.Bytes());
  TCmdList b;
  ASSERT_TRUE(b.LoadFromStream(in));
  ASSERT_EQ(b.Count(), 3);
  EXPECT_EQ(b.Items(1).Data(), "");
  EXPECT_EQ(b.ChangedCount(), 3);
  // A loaded list uploads completely; its empty block is skipped without an exchange.
  EXPECT_TRUE(b.WriteChanged());
  EXPECT_EQ(s.Sent, (std::vector<std::string>{"310S01/1/", "310S03/3/"}));
}

TEST(CmdListTest, CorruptCountsAreRefusedWithoutAllocating) {
  TCmdList keep;
  Fill(keep, {"310S01/1/"}, false);
  for (const std::string& bad :
       {std::string("\xff\xff\xff\x7f", 4), std::string("\xff\xff\xff\xff", 4),
        std::string("\x02\x00", 2)}) {
    TMemoryStream in(bad);
    EXPECT_FALSE(keep.LoadFromStream(in));
    ASSERT_EQ(keep.Count(), 1) << "a count the stream cannot hold leaves the list alone";
  }
  // Count 2 but the second record is cut short: the load fails, the blocks exist empty.
  TMemoryStream cut(std::string("\x02\x00\x00\x00\x01\x00\x00\x00x\x05\x00\x00\x00", 13));
  EXPECT_FALSE(keep.LoadFromStream(cut));
  ASSERT_EQ(keep.Count(), 2);
  EXPECT_EQ(keep.Items(0).Data(), "x");
  EXPECT_EQ(keep.Items(1).Data(), "");
}
