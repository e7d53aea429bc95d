// Program blocks: item and bit access, change tracking, undefined items, PBX exchange and
// stream records.
#include <gtest/gtest.h>

#include "CmdData.h"
#include "DateTime.h"
#include "Errors.h"
#include "FakeSession.h"
#include "RecordingFeedback.h"
#include "Stream.h"

namespace {

TCmdData Block(const std::string& Text, bool Changed = false) {
  TCmdData b;
  b.SetData(Text);
  b.Changed = Changed;
  return b;
}

}  // namespace

TEST(CmdDataTest, ReadsItemsAndQuery) {
  const TCmdData b = Block("604E01/1,2,3/");
  EXPECT_EQ(b.ItemStr(1), "1");
  EXPECT_EQ(b.ItemStr(2), "2");
  EXPECT_EQ(b.ItemStr(4), "");
  EXPECT_EQ(b.ItemInt(3), 3);
  EXPECT_EQ(b.QueryText(), "604E01//");
  EXPECT_EQ(Block("").QueryText(), "//");
}

TEST(CmdDataTest, ItemWritesReplaceButNeverAddItems) {
  TCmdData b = Block("604E01/1,2,3/");
  b.SetItemStr(2, "7");
  EXPECT_EQ(b.Data(), "604E01/1,7,3/");
  EXPECT_TRUE(b.Changed);

  TCmdData same = Block("604E01/1,2,3/");
  same.SetItemStr(2, "2");
  EXPECT_FALSE(same.Changed) << "writing the same value must not mark the block";

  TCmdData beyond = Block("604E01/1,2,3/");
  beyond.SetItemStr(5, "9");
  beyond.SetItemInt(4, 9);
  EXPECT_EQ(beyond.Data(), "604E01/1,2,3/");
  EXPECT_FALSE(beyond.Changed);

  TCmdData empty = Block("604E01/1,,3/");
  empty.SetItemStr(2, "9");
  EXPECT_EQ(empty.Data(), "604E01/1,9,3/");

  // Last item, the first and a longer replacement; item 1 of a block with one item.
  TCmdData last = Block("604E01/1,2,3/");
  last.SetItemStr(3, "345");
  last.SetItemStr(1, "");
  EXPECT_EQ(last.Data(), "604E01/,2,345/");
  TCmdData one = Block("009S01/101/");
  one.SetItemStr(1, "205");
  EXPECT_EQ(one.Data(), "009S01/205/");
}

TEST(CmdDataTest, ItemTextsThatWouldSplitTheLineAreRefused) {
  for (const char* text : {"A,B", "x/y", "a\rb", "a\nb", ",", "/"}) {
    SCOPED_TRACE(text);
    TCmdData b = Block("604E01/1,2,3/");
    try {
      b.SetItemStr(2, text);
      ADD_FAILURE() << "written: " << b.Data();
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find("Item 2 of 604E01 cannot take the text"),
                std::string::npos)
          << e.what();
    }
    EXPECT_EQ(b.Data(), "604E01/1,2,3/");
    EXPECT_FALSE(b.Changed);
  }
}

TEST(CmdDataTest, ItemWritesOnTextWithoutItemsChangeNothing) {
  for (const char* text : {"", "604E01", "604E01/"}) {
    TCmdData b = Block(text);
    b.SetItemStr(1, "5");
    EXPECT_EQ(b.Data(), text);
    EXPECT_FALSE(b.Changed);
  }
  // An unterminated item list still has its items.
  TCmdData open = Block("604E01/1,2");
  open.SetItemStr(2, "8");
  EXPECT_EQ(open.Data(), "604E01/1,8");
}

TEST(CmdDataTest, NumberWritesAndTwoDigitForm) {
  TCmdData b = Block("604E01/1,2,3/");
  b.SetItem2d(1, 5);
  EXPECT_EQ(b.ItemStr(1), "05");
  b.SetItem2d(2, 123);
  EXPECT_EQ(b.ItemStr(2), "123");
  b.SetItemInt(3, -4);  // without multi-selection a negative number is written as it is
  EXPECT_EQ(b.ItemStr(3), "-4");
  EXPECT_EQ(b.ItemInt(3), -4);
}

TEST(CmdDataTest, IndexAndCheckStateViews) {
  TCmdData b = Block("100S/3,0,1/");
  EXPECT_EQ(b.ItemIndex(1), 2);
  EXPECT_EQ(b.ItemIndex(2), 0);
  b.SetItemIndex(1, 0);
  EXPECT_EQ(b.ItemStr(1), "1");
  b.SetItemIndex(2, -1);  // never written without multi-selection
  EXPECT_EQ(b.ItemStr(2), "0");

  TCmdData c = Block("101S/1/");
  EXPECT_EQ(c.CheckState(), 1);
  c.SetCheckState(0);
  EXPECT_EQ(c.Data(), "101S/0/");
  EXPECT_EQ(c.CheckState(), 0);
  EXPECT_EQ(Block("101S/2/").CheckState(), 0);
}

TEST(CmdDataTest, BitsSitAroundTheSeparator) {
  TCmdData b = Block("110S/0101 1100,0000 0001,1111 1111/");
  EXPECT_EQ(b.Bit(6), 1);  // character 7 of item 1
  EXPECT_EQ(b.Bit(5), 1);
  EXPECT_EQ(b.Bit(8), 0);
  EXPECT_EQ(b.Bit(1), 0);
  EXPECT_EQ(b.Bit(2), 1);
  EXPECT_EQ(b.Bit(16), 1);  // last bit of item 2
  EXPECT_EQ(b.Bit(9), 0);
  EXPECT_EQ(b.Bit(17), 1);
  b.SetBit(6, 0);
  EXPECT_EQ(b.ItemStr(1), "0101 1000");
  EXPECT_TRUE(b.Changed);
  b.SetBit(4, 1);
  EXPECT_EQ(b.ItemStr(1), "0101 1000") << "bit 4 is character 4, before the separator";
  b.SetBit(1, 1);
  EXPECT_EQ(b.ItemStr(1), "1101 1000");
  b.SetBit(24, 0);
  EXPECT_EQ(b.ItemStr(3), "1111 1110");

  TCmdData shortItem = Block("110S/0101,1/");
  shortItem.SetBit(2, 0);
  EXPECT_EQ(shortItem.Data(), "110S/0101,1/");
  EXPECT_FALSE(shortItem.Changed);
}

TEST(CmdDataTest, BadItemAndBitNumbersRaiseTheFixedMessage) {
  TCmdData b = Block("604E01/1/");
  try {
    (void)b.ItemStr(11);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TCmdData - bad ItemNo! ItemNo=11 fData=604E01/1/");
  }
  EXPECT_THROW((void)b.ItemInt(0), Exception);
  EXPECT_THROW(b.SetItemInt(11, 1), Exception);
  EXPECT_THROW((void)b.ItemIndex(-1), Exception);
  EXPECT_THROW(b.MarkDifferent(b, 11), Exception);
  EXPECT_THROW((void)b.Bit(25), Exception);
  EXPECT_THROW(b.SetBit(0, 1), Exception);
  try {
    (void)b.Bit(25);
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TCmdData - bad ItemNo! ItemNo=25 fData=604E01/1/");
  }
}

TEST(CmdDataTest, UndefinedItemsInMultiSelection) {
  TCmdData b = Block("604E01/1,2,3/");
  b.AllowUndefined = true;
  b.SetItemInt(2, -1);
  EXPECT_TRUE(b.Undefined[1]);
  EXPECT_EQ(b.ItemStr(2), "???");
  EXPECT_EQ(b.ItemInt(2), -1);
  EXPECT_EQ(b.ItemIndex(2), -1);
  EXPECT_EQ(b.Data(), "604E01/1,2,3/") << "marking undefined writes nothing";

  b.SetItemStr(3, "?x");
  EXPECT_TRUE(b.Undefined[2]);
  EXPECT_EQ(b.Data(), "604E01/1,2,3/");
  EXPECT_FALSE(b.Changed);

  b.SetItemInt(2, 5);
  EXPECT_FALSE(b.Undefined[1]);
  EXPECT_EQ(b.ItemStr(2), "5");
  EXPECT_TRUE(b.Changed);

  b.SetItemIndex(1, -1);
  EXPECT_TRUE(b.Undefined[0]);
  EXPECT_EQ(b.CheckState(), 2);
  b.SetCheckState(1);
  EXPECT_FALSE(b.Undefined[0]);
  EXPECT_EQ(b.ItemStr(1), "1");

  // A negative bit value leaves the bit out; the item stays as it is.
  TCmdData bits = Block("110S/0101 1100/");
  bits.AllowUndefined = true;
  bits.SetBit(2, -1);
  EXPECT_EQ(bits.Data(), "110S/0101 1100/");
  EXPECT_FALSE(bits.Changed);
}

TEST(CmdDataTest, MarkDifferentAndAssignRules) {
  TCmdData a = Block("604E01/1,2,3/");
  const TCmdData other = Block("604E02/1,5,3/");
  a.MarkDifferent(other, 1);
  a.MarkDifferent(other, 2);
  EXPECT_FALSE(a.Undefined[0]);
  EXPECT_TRUE(a.Undefined[1]);

  TCmdData target = Block("604E03/9,9,9/");
  target.AllowUndefined = true;
  target.AssignIfDefined(a);
  EXPECT_EQ(target.Data(), "604E03/9,9,9/") << "a source with an undefined item is not copied";

  a.Undefined.fill(false);
  a.ReadTime = 12.5;
  a.Changed = true;
  target.AssignIfDefined(a);
  EXPECT_EQ(target.Data(), "604E01/1,2,3/");
  EXPECT_EQ(target.ReadTime, 12.5);
  EXPECT_TRUE(target.Changed);
  EXPECT_TRUE(target.AllowUndefined) << "Assign keeps the target's own AllowUndefined";

  target.Clear();
  EXPECT_EQ(target.Data(), "");
  EXPECT_FALSE(target.Changed);
  EXPECT_EQ(target.ReadTime, 0.0);
  EXPECT_TRUE(target.AllowUndefined);
}

TEST(CmdDataTest, SetItemCountGrowsAndShrinks) {
  TCmdData b = Block("604E01/1,2,3/");
  b.SetItemCount(5);
  EXPECT_EQ(b.Data(), "604E01/1,2,3,,/");
  EXPECT_TRUE(b.Changed);
  b.SetItemCount(2);
  EXPECT_EQ(b.Data(), "604E01/1,2/");
  b.SetItemCount(0);
  EXPECT_EQ(b.Data(), "604E01/1/");

  TCmdData same = Block("604E01/1,2,3/");
  same.SetItemCount(3);
  EXPECT_FALSE(same.Changed);
  TCmdData noItems = Block("604E01//");
  noItems.SetItemCount(4);
  EXPECT_EQ(noItems.Data(), "604E01//");
  EXPECT_FALSE(noItems.Changed);

  // The new items can be written afterwards.
  TCmdData grow = Block("604E01/1/");
  grow.SetItemCount(3);
  grow.SetItemStr(3, "x");
  EXPECT_EQ(grow.Data(), "604E01/1,,x/");

  // An absurd count is bounded by what one line can carry.
  TCmdData huge = Block("604E01/1/");
  huge.SetItemCount(1 << 30);
  EXPECT_LE(huge.Data().size(), 300u);
}

TEST(CmdDataTest, ActualityFollowsTheConnection) {
  TFakeSession s;
  s.SetConnectTime(100.0);
  TCmdData b;
  b.ReadTime = 200.0;
  EXPECT_FALSE(b.IsActual()) << "an empty block is never actual";
  b.SetData("103S/1/");
  EXPECT_TRUE(b.IsActual());
  b.ReadTime = 100.0;
  EXPECT_FALSE(b.IsActual()) << "read before (or at) the current connection";
  b.ReadTime = kLoadedFromFile;
  EXPECT_TRUE(b.IsActual());
}

TEST(CmdDataTest, ReadsAfterTheConnectionStayActualWhenTheWallClockGoesBack) {
  TFakeSession s;
  s.SetConnectTime(SteadyNow());
  // Summer time ends (or the clock is set back) an hour after the connection was made.
  const double back = Now() - 1.0 / 24;
  SetWallClockForTest([back] { return back; });
  struct TRestore {
    ~TRestore() { SetWallClockForTest(nullptr); }
  } restore;
  s.AnswerData({"103S/1/"});
  TCmdData b;
  ASSERT_TRUE(b.ReadPBX("103S//"));
  EXPECT_TRUE(b.IsActual());
  TCmdList l;
  s.AnswerData({"001S00/1/"});
  ASSERT_TRUE(l.ReadPBX("001S*//"));
  EXPECT_TRUE(l.IsActual(1));
}

TEST(CmdDataTest, ReadPbxTakesTheFirstDataLine) {
  TFakeSession s;
  TRecordingFeedback f;
  s.SetConnectTime(1.0);
  TCmdData b;
  EXPECT_THROW(b.ReadPBX(), Exception);
  try {
    b.ReadPBX();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Call ReadPBX for an empty cmd!");
  }

  s.AnswerData({"103S/1,2/", "103S/9,9/"});
  ASSERT_TRUE(b.ReadPBX("103S//"));
  EXPECT_EQ(s.Sent.back(), "103S//");
  EXPECT_EQ(b.Data(), "103S/1,2/");
  EXPECT_FALSE(b.Changed);
  EXPECT_TRUE(b.IsActual());

  // Once it has data, the query is built from the block's own head.
  b.SetItemStr(1, "5");
  s.AnswerData({"103S/3,2/"});
  ASSERT_TRUE(b.ReadPBX("ignored//"));
  EXPECT_EQ(s.Sent.back(), "103S//");
  EXPECT_EQ(b.Data(), "103S/3,2/");
  EXPECT_FALSE(b.Changed);

  // A stray byte before the marker does not end up in the block.
  s.Answer("x;=>103S/4,2/\r\n;E>");
  ASSERT_TRUE(b.ReadPBX());
  EXPECT_EQ(b.Data(), "103S/4,2/");

  // A long line is cut to 255 characters.
  s.AnswerData({"103S/" + std::string(400, '1') + "/"});
  ASSERT_TRUE(b.ReadPBX());
  EXPECT_EQ(b.Data().size(), kMaxBlockText);

  s.Answer(";E>");
  try {
    b.ReadPBX();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cant't extract data (1)!");
  }

  const std::string before = b.Data();
  s.Refuse();
  EXPECT_FALSE(b.ReadPBX());
  EXPECT_EQ(b.Data(), before);
}

TEST(CmdDataTest, WritePbxTakesTheAnswerAndKeepsFailuresChanged) {
  TFakeSession s;
  TRecordingFeedback f;
  TCmdData empty;
  EXPECT_TRUE(empty.WritePBX());
  EXPECT_TRUE(s.Sent.empty()) << "an empty block is not sent";

  // The PBX's own form of the line it took becomes the text: capitals, padded items, "^" as
  // blanks.
  for (const auto& [sent, answer] : {std::pair{"604e01/Bob/", "604E01/Bob       /  "},
                                     std::pair{"012S50/^/", "012S50/    /"},
                                     std::pair{"007S1/09000,^,12001,01001/", "007S1/09000, ,12001,01001/"}}) {
    TCmdData b = Block(sent, true);
    b.ReadTime = 50.0;
    s.AnswerData({answer});
    ASSERT_TRUE(b.WritePBX()) << sent;
    EXPECT_EQ(s.Sent.back(), sent);
    EXPECT_EQ(b.Data(), answer);
    EXPECT_FALSE(b.Changed);
    EXPECT_EQ(b.ReadTime, 50.0);
  }
  TCmdData b = Block("604E01/1,2,3/", true);

  // Noise on the way made the PBX store another line: not written, the line stays to be sent,
  // and what the PBX holds now is known. (Fault caught: any answer counting as done.)
  for (const char* answer : {"601E08/11/", "601E08/2/", "601E08/1,/", "601e08/10/"}) {
    SCOPED_TRACE(answer);
    b.SetData("601E08/1/");
    b.ReadTime = 50.0;
    s.AnswerData({answer});
    EXPECT_FALSE(b.WritePBX());
    EXPECT_EQ(b.Data(), "601E08/1/");
    EXPECT_TRUE(b.Changed);
    EXPECT_EQ(b.ReadTime, 0.0);
    EXPECT_EQ(b.PbxText, answer);
  }
  b.SetData("604E01/1,2,4/");

  b.SetItemStr(1, "7");
  s.Refuse();
  EXPECT_FALSE(b.WritePBX());
  EXPECT_TRUE(b.Changed);
  EXPECT_EQ(b.ReadTime, 0.0);

  s.Answer(";E>");
  try {
    b.WritePBX();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cant't extract data (2)!");
  }
}

// Faults caught: a control character inside a block reaching the PBX as a key (a backspace
// rubs out the line, the rest runs as another command), and an emptied item sent as a query
// and reported as written.
TEST(CmdDataTest, WritePbxNeverSendsALineThePbxWouldTakeAsAnotherCommandOrAQuery) {
  TFakeSession s;
  TRecordingFeedback f;
  for (const std::string& text :
       {std::string("604E01/1/\r000S/1/"), "604E01/AB" + std::string(9, '\b') + "002S/1234/",
        std::string("604E01/\x1b]2;x\x07/"), std::string("604E01/A\x7f/"), std::string("604E01//"),
        std::string("002S/ /"), std::string("007S1/,,,/"), std::string("604E01/?\?\?/")}) {
    SCOPED_TRACE(text);
    TCmdData b = Block(text, true);
    b.ReadTime = 5.0;
    f.Errors.clear();
    EXPECT_FALSE(b.WritePBX());
    EXPECT_TRUE(s.Sent.empty());
    ASSERT_EQ(f.Errors.size(), 1u);
    EXPECT_NE(f.Errors[0].find("not sent"), std::string::npos) << f.Errors[0];
    EXPECT_EQ(f.Errors[0].find_first_of("\b\x1b\x07\x7f"), std::string::npos) << "shown escaped";
    EXPECT_TRUE(b.Changed);
    EXPECT_EQ(b.ReadTime, 0.0);
  }
  // The item setters keep them out in the first place.
  TCmdData b = Block("604E01/Sales/", false);
  for (const char* text : {"AB\b\b", "\x1b[2J", "A\x7f", "Caf\xc3\xa9", "a\tb"}) {
    EXPECT_THROW(b.SetItemStr(1, text), Exception) << text;
    EXPECT_EQ(b.Data(), "604E01/Sales/");
  }
}

TEST(CmdDataTest, AbortPassesThrough) {
  TFakeSession s;
  TCmdData b = Block("604E01/1/", true);
  s.RequestAbort();
  EXPECT_THROW(b.WritePBX(), EAbortOperation);
  EXPECT_TRUE(b.Changed);
  s.AnswerData({"604E01/1/"});
  EXPECT_TRUE(b.WritePBX()) << "the abort request is consumed by one command";
}

TEST(CmdDataTest, StreamRecordRoundTripAndBadRecords) {
  TFakeSession s;
  s.SetConnectTime(Now());
  TMemoryStream out;
  ASSERT_TRUE(Block("604E01/1,2,3/").SaveToStream(out));
  ASSERT_TRUE(TCmdData().SaveToStream(out));
  const std::string bytes = out.AsString();
  ASSERT_EQ(bytes.size(), 4u + 13u + 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x0d\x00\x00\x00", 4));
  EXPECT_EQ(bytes.substr(17), std::string(4, '\0')) << "an empty block is four zero bytes";

  TMemoryStream in(bytes);
  TCmdData b;
  b.Undefined[3] = true;
  ASSERT_TRUE(b.LoadFromStream(in));
  EXPECT_EQ(b.Data(), "604E01/1,2,3/");
  EXPECT_TRUE(b.Changed);
  EXPECT_EQ(b.ReadTime, kLoadedFromFile);
  EXPECT_FALSE(b.Undefined[3]);
  EXPECT_TRUE(b.IsActual());
  TCmdData e;
  ASSERT_TRUE(e.LoadFromStream(in));
  EXPECT_EQ(e.Data(), "");

  // Lengths the stream cannot hold, negative lengths and line breaks leave the block alone.
  for (const std::string& bad :
       {std::string("\xff\xff\xff\x7f" "abc", 7), std::string("\xff\xff\xff\xff", 4),
        std::string("\x05\x00\x00\x00" "ab", 6), std::string("\x03\x00\x00\x00" "a\rb", 7),
        std::string("\x01\x00", 2)}) {
    TMemoryStream bs(bad);
    TCmdData keep = Block("103S/1/");
    EXPECT_FALSE(keep.LoadFromStream(bs));
    EXPECT_EQ(keep.Data(), "103S/1/");
    EXPECT_FALSE(keep.Changed);
  }
}
