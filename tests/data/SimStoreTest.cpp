// The store against the simulated PBX: the catalogue, the tables and the data file agree with
// what a KX-TA624 really answers, and program 009 uploads that the PBX would refuse go through.
#include <gtest/gtest.h>

#include "Compare.h"
#include "DateTime.h"
#include "Errors.h"
#include "Feedback.h"
#include "Session.h"
#include "Groups.h"
#include "Journal.h"
#include "PbxClock.h"
#include "PbxPrograms.h"
#include "RecordingFeedback.h"
#include "SimPbx.h"
#include "SysData.h"
#include "TempDir.h"
#include "UploadGuard.h"

namespace {

// A session that hands each command to the simulated PBX's edit mode, as the serial session
// would after logging in.
class TSimSession : public TPbxSession {
 public:
  explicit TSimSession(TSimPbx& Pbx) : fPbx(Pbx) { SetPbxComm(this); }
  ~TSimSession() override { SetPbxComm(nullptr); }

  bool SendCommand(const std::string& Cmd, TStringList& Lines, const std::string&) override {
    if (fAbortRequested.exchange(false)) throw EAbortOperation();
    if (OnCommand) OnCommand(Cmd);
    Sent.push_back(Cmd);
    const std::string reply = fPbx.ExecuteEditCommand(Cmd);
    Lines = SplitLines(Cmd + "\r\n" + reply);
    if (reply.find("Command error") != std::string::npos) {
      ShowError("Error in cmd: \r" + Cmd + "\r\n" + reply);
      return false;
    }
    return true;
  }
  double ConnectTime() const override { return fConnect; }
  // A new connection: what was read before it is no longer actual.
  void Reconnect() { fConnect = SteadyNow(); }

  std::vector<std::string> Sent;

 private:
  TSimPbx& fPbx;
  double fConnect = Now() - 1.0;
};

}  // namespace

class SimStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { SysData().ClearData(); }
  TRecordingFeedback fFeedback;
  TSimPbx fPbx;
};

TEST_F(SimStoreTest, FullReadFillsEveryCatalogueBlockAndEveryTable) {
  TSimSession s(fPbx);
  const TRunResult r = RunGroups(SysData(), TRunDirection::Read);
  EXPECT_TRUE(r.Ok) << (fFeedback.Errors.empty() ? "" : fFeedback.Errors.front());
  EXPECT_TRUE(fFeedback.Errors.empty());
  TSysData& d = SysData();
  for (int i = 0; i < kSingleBlockCount; ++i) {
    const auto id = static_cast<TBlockId>(i);
    if (id == idCmd123S) continue;  // not read while Skip123S is set
    EXPECT_TRUE(d.Block(id).IsActual()) << BlockName(id);
  }
  for (int i = 0; i < kBlockListCount; ++i) {
    const auto id = static_cast<TListId>(i);
    EXPECT_TRUE(d.List(id).IsActual(1)) << ListName(id);
  }
  for (int g = 0; g < kGroupCount; ++g)
    EXPECT_TRUE(GroupHasData(d, static_cast<TGroupId>(g))) << Groups()[static_cast<size_t>(g)].Title;
  EXPECT_EQ(d.Extensions.Cmd009.Count(), 24);
  EXPECT_EQ(d.Extensions.Jacks(24).Block(0).Data().substr(0, 6), "600E24");
}

TEST_F(SimStoreTest, FileRoundTripUploadsTheSameConfigurationBack) {
  TTempDir dir;
  {
    TSimSession s(fPbx);
    ASSERT_TRUE(RunGroups(SysData(), TRunDirection::Read).Ok);
    SysData().Cmd103S.SetItemInt(1, SysData().Cmd103S.ItemInt(1) == 1 ? 2 : 1);
    ASSERT_TRUE(SysData().SaveToFile(dir.File("site.ta")));
  }
  const std::string edited = SysData().Cmd103S.Data();
  SysData().ClearData();
  ASSERT_TRUE(SysData().LoadFromFile(dir.File("site.ta")));
  EXPECT_EQ(SysData().Cmd103S.Data(), edited);

  // A second, factory-fresh PBX takes the whole file: afterwards it holds the edit, and a read
  // of it gives the same configuration.
  TSimPbx other;
  TSimSession s(other);
  const TRunResult up = RunGroups(SysData(), TRunDirection::UploadChanged);
  EXPECT_TRUE(up.Ok) << (fFeedback.Errors.empty() ? "" : fFeedback.Errors.front());
  EXPECT_EQ(other.Line("103S"), edited);
  EXPECT_EQ(SysData().Cmd103S.Changed, false);
}

TEST_F(SimStoreTest, NumberSwapAndPlanChangeGoThroughThePbxRules) {
  TSimSession s(fPbx);
  TExtensionArray& ext = SysData().Extensions;
  ASSERT_TRUE(ext.ReadNumbers(false));
  ASSERT_EQ(ext.Cmd009.Count(), 24);
  // Swap the numbers of jacks 1 and 2: each number is held by the other port.
  const std::string n1 = ext.Cmd009.Items(0).ItemStr(1);
  const std::string n2 = ext.Cmd009.Items(1).ItemStr(1);
  ext.Cmd009.Items(0).SetItemStr(1, n2);
  ext.Cmd009.Items(1).SetItemStr(1, n1);
  EXPECT_TRUE(ext.Cmd009.Upload(true)) << (fFeedback.Errors.empty() ? "" : fFeedback.Errors.front());
  EXPECT_EQ(fPbx.Line("009S01"), "009S01/" + n2 + "/");
  EXPECT_EQ(fPbx.Line("009S02"), "009S02/" + n1 + "/");
  EXPECT_TRUE(fFeedback.Errors.empty());
}

namespace {

// Values of every kind an item can hold, at the edges of its range and of its characters, some
// of them out of range or of the wrong kind: the check decides which are lines.
std::vector<std::string> ItemCandidates(const TItemSpec& It) {
  const auto number = [](int V, int Width) { return Format("%0*d", Width, V); };
  switch (It.Kind) {
    case TItemSpec::Number: return {number(It.Lo, 1), number(It.Hi, 1), number(It.Hi + 1, 1), "0" + number(It.Hi, 1)};
    case TItemSpec::Fixed: return {number(It.Lo, It.Width), number(It.Hi, It.Width), number(It.Hi, 1)};
    case TItemSpec::Text: {
      std::vector<std::string> out{"^", "?\?\?", std::string(size_t(It.Width), It.Chars[0])};
      for (size_t at = 0; at < It.Chars.size(); at += size_t(It.Width))
        out.push_back(It.Chars.substr(at, size_t(It.Width)));
      return out;
    }
    case TItemSpec::Bits: {
      const std::string hi(4, char('0' + It.Hi));
      return {"0000 0000", hi + " " + hi, "00000000"};
    }
    case TItemSpec::Flags: return {std::string(size_t(It.Width), '0'), std::string(size_t(It.Width), char('0' + It.Hi))};
    case TItemSpec::Time: return {"^", "12591", "01000", "13000"};
    case TItemSpec::StarNumber: return {"*", number(It.Lo, 1), number(It.Hi, 1)};
    case TItemSpec::Free: return {"0", "zZ", "A-b.c!?", "3", "#*P[]"};
  }
  return {};
}

}  // namespace

// One judgement of a line: whatever the check before an upload passes, the PBX takes and the
// program takes back when the PBX echoes it, the factory lines first. Faults caught: a check
// laxer than the reading of received lines (a value the PBX took, then every read of it refused
// as damaged), and a factory value outside its own program's layout.
TEST_F(SimStoreTest, EveryLineTheCheckPassesIsConfirmedWhenThePbxEchoesIt) {
  TSimSession s(fPbx);
  TCmdData b;
  int written = 0;
  for (const TPbxProgram& p : TPbxCatalogue::Get().Programs()) {
    if (p.Check == TItemCheck::Numbering) continue;  // one number per port: its own test
    for (size_t k = 0; k < p.Keys.size(); ++k) {
      std::vector<std::string> lines{p.Head(k) + "/" + p.Defaults[k] + "/"};
      for (size_t i = 0; i < p.Items.size(); ++i)
        for (const std::string& v : ItemCandidates(p.Items[i])) {
          std::vector<std::string> items;
          for (size_t j = 0; j < p.Items.size(); ++j)
            items.push_back(j == i ? v : ExtractWord(p.Defaults[k], ",", int(j) + 1));
          std::string line = p.Head(k) + "/";
          for (size_t j = 0; j < items.size(); ++j) line += (j ? "," : "") + items[j];
          lines.push_back(line + "/");
        }
      // The factory line itself is a line like any other: the check passes it.
      EXPECT_TRUE(TPbxCatalogue::Get().CheckLine(lines[0]).empty()) << lines[0];
      for (const std::string& line : lines) {
        if (!TPbxCatalogue::Get().CheckLine(line).empty()) continue;
        b.SetData(line);
        b.Changed = true;
        fFeedback.Errors.clear();
        try {
          EXPECT_TRUE(b.WritePBX()) << line << ": "
                                    << (fFeedback.Errors.empty() ? "" : fFeedback.Errors.front());
        } catch (const Exception& e) {
          ADD_FAILURE() << line << ": " << e.what();
        }
        ++written;
      }
    }
  }
  EXPECT_GT(written, 5000);
}

// The PBX clock on the 12-hour clock with two-digit years, both ways, and against the simulated
// PBX: what is written is what the PBX then reports.
TEST_F(SimStoreTest, ClockIsWrittenAndReadOnTheTwelveHourClock) {
  struct TCase {
    TPbxClock Clock;
    const char* Command;
  };
  for (const TCase& c : {TCase{{2027, 3, 1, 0, 5}, "000S/2703011,12050/"},
                         TCase{{2026, 12, 9, 12, 0}, "000S/2612093,12001/"},
                         TCase{{2029, 2, 28, 23, 59}, "000S/2902283,11591/"}}) {
    EXPECT_EQ(ClockWriteCommand(c.Clock), c.Command);
    TPbxClock back;
    ASSERT_TRUE(DecodeClockLine(std::string(";=>") + c.Command, back));
    EXPECT_EQ(ClockWriteCommand(back), c.Command);
  }
  TPbxClock old;
  ASSERT_TRUE(DecodeClockLine(";=>000S/3001014,08000/", old));
  EXPECT_EQ(old.Year, 1930);
  EXPECT_FALSE(DecodeClockLine(";=>000S/2701", old)) << "a cut reply decodes nothing";
  ASSERT_TRUE(DecodeClockLine(";=>000S/2702314,08000/", old));
  EXPECT_FALSE(ValidClock(old)) << "31 February";

  TSimSession s(fPbx);
  const TPbxClock set{2028, 2, 29, 13, 7};
  ASSERT_TRUE(WritePbxClock(set));
  TPbxClock got;
  bool decoded = false;
  ASSERT_TRUE(ReadPbxClock(got, decoded));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(ClockWriteCommand(got), ClockWriteCommand(set));
  EXPECT_EQ(fFeedback.TopInfos, (std::vector<std::string>{"Saving..", "Reading.."}));
  EXPECT_EQ(fFeedback.TopInfoHidden, 2);
}

// The backup before an upload of edits made in the same connection asks the PBX nothing: the
// lines read then serve, as they were before the edit. The journal then tells each line written
// with what it held before, and a journal cut at any byte reads as its whole entries only.
TEST_F(SimStoreTest, BackupFromTheConnectionsReadAndAJournalCutAnywhere) {
  TSimSession s(fPbx);
  ASSERT_TRUE(RunGroups(SysData(), TRunDirection::Read).Ok);
  TSysData& d = SysData();
  const std::string oldName = d.Extensions.Jacks(3).BlockOf("604E").Data();
  d.Extensions.Jacks(3).BlockOf("604E").SetItemStr(1, "Kitchen   ");
  d.Cmd201S.SetItemStr(1, d.Cmd201S.ItemStr(1) == "2" ? "3" : "2");
  TTempDir dir;
  TUploadGuardOptions o;
  o.BackupFile = dir.File("bk.ta");
  o.JournalPath = dir.File("j");
  const size_t sentBefore = s.Sent.size();
  {
    TUploadGuard guard(d);
    std::string error;
    ASSERT_TRUE(guard.Begin(TRunDirection::UploadChanged, o, error)) << error;
    EXPECT_EQ(guard.BackupCommands(), 0);
    EXPECT_EQ(s.Sent.size(), sentBefore);
    guard.End(RunGroups(d, TRunDirection::UploadChanged));
  }
  TSysData backup;
  ASSERT_TRUE(backup.LoadFromFile(dir.File("bk.ta")));
  EXPECT_EQ(backup.Extensions.Jacks(3).BlockOf("604E").Data(), oldName);
  EXPECT_TRUE(backup.Extensions.Jacks(4).BlockOf("604E").Data().empty()) << "only what is written";

  const std::string text = dir.Read("j");
  const std::vector<TJournalRun> full = ParseJournal(text);
  ASSERT_EQ(full.size(), 1u);
  ASSERT_EQ(full[0].Blocks.size(), 2u);
  EXPECT_EQ(full[0].Blocks[0].Before, oldName);
  EXPECT_EQ(full[0].End, "ok");
  size_t lastBlocks = 0;
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    const std::vector<TJournalRun> part = ParseJournal(text.substr(0, cut));
    if (part.empty()) continue;
    ASSERT_LE(part[0].Blocks.size(), full[0].Blocks.size());
    EXPECT_GE(part[0].Blocks.size(), lastBlocks) << "entries only ever grow with the text";
    lastBlocks = part[0].Blocks.size();
    for (size_t i = 0; i < part[0].Blocks.size(); ++i)
      EXPECT_EQ(part[0].Blocks[i].Sent, full[0].Blocks[i].Sent) << cut;
    if (!part[0].End.empty()) {
      EXPECT_EQ(cut, text.size());
    }
  }
  // The next run appended to the journal cut at any byte: it starts on a line of its own and
  // is read whole, and the cut entry is not read, although a line end follows it now. Faults
  // caught: the next run's first entry glued to the cut line (that run is lost), a cut entry
  // taken as a whole one (an "end" cut to "o", a line's text cut short).
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    dir.Write("j2", text.substr(0, cut));
    TJournalWriter next;
    TJournalRun run;
    run.Source = "next.ta";
    std::string error;
    ASSERT_TRUE(next.Begin(dir.File("j2"), run, error)) << error;
    ASSERT_TRUE(next.End("ok"));
    const std::vector<TJournalRun> part = ParseJournal(text.substr(0, cut));
    const std::vector<TJournalRun> runs = ParseJournal(dir.Read("j2"));
    ASSERT_EQ(runs.size(), part.size() + 1) << cut;
    EXPECT_EQ(runs.back().Source, "next.ta");
    EXPECT_EQ(runs.back().End, "ok");
    if (part.empty()) continue;
    EXPECT_EQ(runs[0].End, part[0].End) << cut;
    EXPECT_EQ(runs[0].Backup, part[0].Backup) << cut;
    ASSERT_EQ(runs[0].Blocks.size(), part[0].Blocks.size()) << cut;
    for (size_t i = 0; i < runs[0].Blocks.size(); ++i) {
      EXPECT_EQ(runs[0].Blocks[i].Sent, full[0].Blocks[i].Sent) << cut;
      EXPECT_EQ(runs[0].Blocks[i].Outcome, part[0].Blocks[i].Outcome) << cut;
    }
  }
}

// Copies between records (a jack pasted with its button lists, a console given a combined
// record's blocks, a CO line pasted, a working copy committed back) leave every line what the
// PBX holds in it: the backup holds each record's own lines. And a line whose PBX text comes
// from an earlier connection is asked again, though the copy of a line read in this one made
// it actual. Catches the PBX text, or its age, travelling with the copied text.
TEST_F(SimStoreTest, CopiesBetweenRecordsLeaveEveryLineItsOwnPbxText) {
  TSimSession s(fPbx);
  TSysData& d = SysData();
  ASSERT_TRUE(RunGroups(d, TRunDirection::Read).Ok);
  const std::vector<std::string> held = FileBlockTexts(d);
  TExtensionArray& ext = d.Extensions;
  ext.Jacks(2).Assign(ext.Jacks(1));
  ext.Jacks(2).SetJack(2);
  d.DSSConsoles.Consoles(2).AssignKnown(d.DSSConsoles.Consoles(1));
  d.DSSConsoles.Consoles(2).SetNumber(2);
  d.COLines.Lines(2).Assign(d.COLines.Lines(1));
  d.COLines.Lines(2).SetNumber(2);
  {
    TSysData work;
    work.Extensions.Assign(ext);
    ext.Assign(work.Extensions);
  }
  TTempDir dir;
  TUploadGuardOptions o;
  o.BackupFile = dir.File("bk.ta");
  o.JournalPath = dir.File("j");
  std::string error;
  {
    TUploadGuard guard(d);
    ASSERT_TRUE(guard.Begin(TRunDirection::UploadAll, o, error)) << error;
    EXPECT_EQ(guard.BackupCommands(), 0);
  }
  TSysData backup;
  ASSERT_TRUE(backup.LoadFromFile(o.BackupFile));
  EXPECT_EQ(FileBlockTexts(backup), held);

  ASSERT_TRUE(RunGroups(d, TRunDirection::Read).Ok);
  s.Reconnect();
  fPbx.ExecuteEditCommand("604E05/Changed   /");  // by someone at the PBX meanwhile
  ASSERT_EQ(fPbx.Line("604E05"), "604E05/Changed   /");
  ASSERT_TRUE(ext.ReadJacks(TIntegerList({1}), false));
  ext.Jacks(5).Assign(ext.Jacks(1));
  ext.Jacks(5).SetJack(5);
  o.BackupFile = dir.File("bk2.ta");  // a backup never replaces a file
  {
    TUploadGuard guard(d);
    ASSERT_TRUE(guard.Begin(TRunDirection::UploadChanged, o, error)) << error;
  }
  ASSERT_TRUE(backup.LoadFromFile(o.BackupFile));
  EXPECT_EQ(backup.Extensions.Jacks(5).BlockOf("604E").Data(), "604E05/Changed   /");

  // A file's lines have no PBX text: a loaded shared line whose digit for jack 3 differs from
  // what was read marks nothing.
  TCmdList& out = ext.SharedList(6);
  ASSERT_GT(out.Count(), 0);
  TExtensionArray::SetJackDigit(out.Items(0), 3, 1 - TExtensionArray::JackDigit(out.Items(0), 3));
  ASSERT_TRUE(d.SaveToFile(dir.File("site.ta")));
  ASSERT_TRUE(RunGroups(d, TRunDirection::Read).Ok);
  ASSERT_TRUE(d.LoadFromFile(dir.File("site.ta")));
  EXPECT_FALSE(ext.SharedDigitPending(3));
}
