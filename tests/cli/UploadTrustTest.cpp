// What reaches the PBX in an upload is exactly what the file says, and what the program calls
// written is exactly what the PBX holds: kxta against kxta-sim on a pseudo-terminal, with a
// data file that hides a second command or a query in a line, and with noise on the way to
// the PBX.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "CliProcess.h"
#include "Errors.h"
#include "Feedback.h"
#include "Journal.h"
#include "SysData.h"
#include "support/TempDir.h"

namespace {

struct TRun {
  int Status;
  std::string Out, Err;
};

class UploadTrustTest : public ::testing::Test {
 protected:
  TRun Kxta(const std::vector<std::string>& Args) {
    TChild c(KXTA_EXE, Args, {kFastSessionTiming, "KXTA_JOURNAL=" + Journal()}, dir.File("stdout"));
    const int status = c.Finish(120000);
    return {status, ReadFile(dir.File("stdout")), c.Err()};
  }
  std::string Journal() const { return dir.File("uploads.journal"); }
  std::string State() const { return dir.File("state.txt"); }
  // The simulator's configuration read into a.ta; what it holds.
  std::vector<std::string> ReadSite() {
    TSim sim({"--baud", "0", "--state", State()}, dir.File("sim.err"));
    EXPECT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
    EXPECT_EQ(sim.Stop(), 0);
    return SimStateLines(State());
  }
  // a.ta changed by Edit, saved as To: the store writes whatever its blocks hold.
  void SaveEdited(const std::string& To, const std::function<void(TSysData&)>& Edit) {
    THeadlessFeedback quiet;
    SetFeedback(&quiet);
    TSysData store;
    ASSERT_TRUE(store.LoadFromFile(dir.File("a.ta")));
    Edit(store);
    ASSERT_TRUE(store.SaveToFile(To));
    SetFeedback(nullptr);
  }
  TTempDir dir;
};

}  // namespace

// Faults caught: a backspace in a line rubbing out its head so that the PBX runs the rest as
// another command (the system password changed by a data file), and an emptied item sent as a
// query and reported as written. Both are refused before the program connects.
TEST_F(UploadTrustTest, ALineHidingAnotherCommandOrAQueryIsRefusedBeforeThePbxIsTouched) {
  const std::vector<std::string> before = ReadSite();
  const struct {
    const char* Name;
    std::function<void(TSysData&)> Edit;
    const char* Says;
  } cases[] = {
      {"a second command behind backspaces",
       [](TSysData& S) {
         S.Extensions.Jacks(1).BlockOf("604E").SetData("604E01/AB" + std::string(9, '\b') +
                                                       "002S/1234/");
       },
       "byte 0x08"},
      {"an emptied name", [](TSysData& S) { S.Extensions.Jacks(1).BlockOf("604E").SetData("604E01//"); },
       "no item holds a value"},
      {"an emptied password", [](TSysData& S) { S.Cmd002S.SetData("002S//"); },
       "no item holds a value"},
      {"an emptied voice mail code", [](TSysData& S) { S.Cmd103S.SetData("103S/ /"); },
       "no item holds a value"},
  };
  TSim sim({"--baud", "0", "--state", State()}, dir.File("sim.err"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    SaveEdited(dir.File("b.ta"), c.Edit);
    const TRun up = Kxta({"upload", dir.File("b.ta"), "--yes", "--port", sim.Path()});
    EXPECT_EQ(up.Status, 1);
    EXPECT_NE(up.Err.find(c.Says), std::string::npos) << up.Err;
    EXPECT_EQ(up.Err.find("Connecting"), std::string::npos) << "refused before connecting";
    EXPECT_EQ(up.Err.find('\b'), std::string::npos) << "the file's bytes are shown escaped";
    const TRun check = Kxta({"check", dir.File("b.ta")});
    EXPECT_EQ(check.Status, 1);
    EXPECT_NE((check.Out + check.Err).find(c.Says), std::string::npos) << check.Out << check.Err;
  }
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(SimStateLines(State()), before) << "the PBX holds what it held";
}

// Fault caught: a write counted as done when the PBX answered anything, so that a line the
// noise changed on its way was journaled as written and a resume never sent it again.
TEST_F(UploadTrustTest, NoiseTowardsThePbxNeverPassesForAWrittenLineAndTheResumeSendsItAgain) {
  ReadSite();
  SaveEdited(dir.File("b.ta"), [](TSysData& S) {
    for (int j = 1; j <= 24; ++j)
      S.Extensions.Jacks(j).BlockOf("604E").SetItemStr(1, "Room " + std::to_string(100 + j));
  });
  TSysData wanted;
  {
    THeadlessFeedback quiet;
    SetFeedback(&quiet);
    ASSERT_TRUE(wanted.LoadFromFile(dir.File("b.ta")));
    SetFeedback(nullptr);
  }
  TSim sim({"--baud", "0", "--state", State(), "--rx-noise", "0.001", "--seed", "3"},
           dir.File("sim.err"));
  const TRun noisy =
      Kxta({"upload", dir.File("b.ta"), "--all", "--no-backup", "--yes", "--port", sim.Path()});
  EXPECT_EQ(noisy.Status, 1) << "lines the PBX did not store as sent are errors";
  EXPECT_NE(noisy.Err.find("did not store the line as it was sent"), std::string::npos);
  const std::vector<TJournalRun> runs = ReadJournal(Journal());
  ASSERT_EQ(runs.size(), 1u);
  size_t unconfirmed = 0, differs = 0;
  for (const TJournalBlock& b : runs[0].Blocks) {
    unconfirmed += !b.Taken();
    differs += b.Outcome == TWriteOutcome::Differs && !b.Answer.empty() && b.Answer != b.Sent;
  }
  EXPECT_GE(unconfirmed, 5u);
  EXPECT_GE(differs, 1u) << "what the PBX stored instead is journaled";

  ASSERT_TRUE(sim.Mend());
  const TRun resumed =
      Kxta({"upload", dir.File("b.ta"), "--resume", "--no-backup", "--yes", "--port", sim.Path()});
  ASSERT_EQ(resumed.Status, 0) << resumed.Err;
  ASSERT_EQ(sim.Stop(), 0);
  const std::vector<std::string> held = SimStateLines(State());
  const std::set<std::string> heldSet(held.begin(), held.end());
  ForEachFileBlock(wanted, [&](const TCmdData& B) {
    if (!B.Data().empty() && B.Data().rfind("009S00", 0) != 0) {
      EXPECT_EQ(heldSet.count(B.Data()), 1u) << B.Data();
    }
  });
}

// Faults caught: a resume that trusts the journal's word for lines the PBX no longer holds:
// another PBX reporting the same version text, or lines someone changed between the
// interrupted upload and the resume, would be left different from the file with exit 0.
TEST_F(UploadTrustTest, AResumeChecksThatThePbxStillHoldsWhatTheInterruptedUploadLeftThere) {
  ReadSite();
  const std::string factory = ReadFile(State());
  SaveEdited(dir.File("b.ta"), [](TSysData& S) {
    for (int j = 1; j <= 24; ++j)
      S.Extensions.Jacks(j).BlockOf("604E").SetItemStr(1, "Room " + std::to_string(100 + j));
  });
  // The same device name for every simulator: the journal holds it.
  const std::string port = dir.File("ttyPBX");
  const auto writeFile = [](const std::string& Path, const std::string& Text) {
    std::ofstream(Path, std::ios::binary | std::ios::trunc) << Text;
  };
  // Cut where the resume reads line by line, and where it reads the whole configuration.
  for (const char* cut : {"290", "700"}) {
    SCOPED_TRACE(std::string("cut after ") + cut + " commands");
    writeFile(State(), factory);
    std::remove(Journal().c_str());
    {
      TSim sim({"--baud", "0", "--state", State(), "--link", port, "--silent-after", cut},
               dir.File("sim.err"));
      EXPECT_NE(Kxta({"upload", dir.File("b.ta"), "--yes", "--no-backup", "--port", port}).Status, 0);
    }
    const std::string interrupted = ReadFile(State());
    const std::string journal = ReadFile(Journal());
    // Five lines the interrupted run wrote, changed by someone else afterwards.
    std::string changed = interrupted;
    std::vector<std::string> touched;
    const std::vector<TJournalRun> runs = ReadJournal(Journal());
    ASSERT_EQ(runs.size(), 1u);
    for (const TJournalBlock& b : runs[0].Blocks) {
      if (!b.Taken() || b.Head.compare(0, 4, "604E") != 0 || touched.size() == 5) continue;
      const size_t at = changed.find(b.Sent);
      ASSERT_NE(at, std::string::npos) << b.Sent;
      changed.replace(at, b.Sent.size(), b.Head + "/Someone/");
      touched.push_back(b.Head);
    }
    ASSERT_EQ(touched.size(), 5u);
    const struct {
      const char* Name;
      std::string State;
      std::vector<std::string> Named;  // lines the refusal names; none: the resume goes through
    } cases[] = {
        {"another PBX of the same model", factory, {"604E01 (left '604E01/Room 101/', now '604E01/^/')"}},
        {"five lines changed since", changed, touched},
        {"the same PBX as it was left", interrupted, {}},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.Name);
      writeFile(State(), c.State);
      writeFile(Journal(), journal);
      TSim sim({"--baud", "0", "--state", State(), "--link", port}, dir.File("sim.err"));
      const TRun r =
          Kxta({"upload", dir.File("b.ta"), "--resume", "--no-backup", "--yes", "--port", port});
      ASSERT_EQ(sim.Stop(), 0);
      if (c.Named.empty()) {
        EXPECT_EQ(r.Status, 0) << r.Err;
        const std::vector<std::string> held = SimStateLines(State());
        for (int j = 1; j <= 24; ++j)
          EXPECT_NE(std::find(held.begin(), held.end(),
                              Format("604E%.2d/Room %d/", j, 100 + j)),
                    held.end()) << j;
        continue;
      }
      EXPECT_EQ(r.Status, 1);
      EXPECT_NE(r.Err.find("Resume refused"), std::string::npos) << r.Err;
      EXPECT_NE(r.Err.find("without --resume"), std::string::npos) << r.Err;
      for (const std::string& named : c.Named) EXPECT_NE(r.Err.find(named), std::string::npos) << r.Err;
      EXPECT_EQ(ReadFile(State()), c.State) << "nothing was written";
    }
  }
}

// Faults caught: a differing upload that writes lines the PBX holds already (as a plain upload
// of a loaded file does), one that judges by the file's pending changes instead of by what the
// PBX holds (a line someone changed at the PBX since the read stays wrong), and one that sends
// the numbers without their plan logic.
TEST_F(UploadTrustTest, ADifferingUploadWritesExactlyTheLinesThePbxHoldsOtherwise) {
  ReadSite();
  SaveEdited(dir.File("b.ta"), [](TSysData& S) {
    for (int j = 1; j <= 24; ++j)
      S.Extensions.Jacks(j).BlockOf("604E").SetItemStr(1, "Room " + std::to_string(100 + j));
    S.Cmd200S.SetItemStr(1, S.Cmd200S.ItemStr(1) == "3" ? "4" : "3");
    // Jacks 1 and 2 swap their numbers: the PBX takes that only through a free number.
    TCmd009S& numbers = S.Extensions.Cmd009;
    const std::string one = numbers.Items(0).ItemStr(1), two = numbers.Items(1).ItemStr(1);
    numbers.Items(0).SetItemStr(1, two);
    numbers.Items(1).SetItemStr(1, one);
  });
  // Someone changed a line at the PBX since the read, one the file does not touch.
  std::string state = ReadFile(State());
  const size_t at = state.find("\n605E03/");
  ASSERT_NE(at, std::string::npos);
  state.replace(at, state.find('\n', at + 1) - at, "\n605E03/2/");
  std::ofstream(State(), std::ios::binary | std::ios::trunc) << state;

  TSysData wanted;
  std::set<std::string> differing;  // heads whose file line the PBX does not hold
  {
    THeadlessFeedback quiet;
    SetFeedback(&quiet);
    ASSERT_TRUE(wanted.LoadFromFile(dir.File("b.ta")));
    SetFeedback(nullptr);
  }
  const std::vector<std::string> before = SimStateLines(State());
  const std::set<std::string> held(before.begin(), before.end());
  ForEachFileBlock(wanted, [&](const TCmdData& B) {
    if (!B.Data().empty() && B.Data().rfind("009S00", 0) != 0 && !held.count(B.Data()))
      differing.insert(B.Data().substr(0, B.Data().find('/')));
  });
  ASSERT_EQ(differing.size(), 24u + 1 + 2 + 1);

  TSim sim({"--baud", "0", "--state", State()}, dir.File("sim.err"));
  const TRun up = Kxta({"upload", dir.File("b.ta"), "--differing", "--yes", "--port", sim.Path(),
                        "--measure", dir.File("up.measure")});
  ASSERT_EQ(up.Status, 0) << up.Err;
  ASSERT_EQ(sim.Stop(), 0);
  // The backup read is measured as a phase of its own between the connection and the steps
  // (a phase begun after the backup, or none, would leave the read's commands in no phase).
  {
    std::vector<std::string> kinds;
    long long backupCommands = 0;
    std::istringstream phases(ReadFile(dir.File("up.measure")));
    for (std::string line; std::getline(phases, line);) {
      if (line.empty() || line[0] == '#') continue;
      std::vector<std::string> f;
      std::istringstream cells(line);
      for (std::string c; std::getline(cells, c, '\t');) f.push_back(c);
      ASSERT_GE(f.size(), 12u) << line;
      if (kinds.empty() || kinds.back() != f[0]) kinds.push_back(f[0]);
      if (f[0] == "backup") backupCommands = std::atoll(f[8].c_str());
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"connect", "backup", "step", "disconnect"}));
    EXPECT_GT(backupCommands, 100);  // every program's lines read
  }
  const std::vector<TJournalRun> runs = ReadJournal(Journal());
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].Mode, "differing");
  std::set<std::string> written;
  for (const TJournalBlock& b : runs[0].Blocks) {
    EXPECT_TRUE(b.Taken()) << b.Sent;
    if (b.Head.rfind("009S", 0) != 0) written.insert(b.Head);
  }
  std::set<std::string> differingButNumbers;
  for (const std::string& h : differing)
    if (h.rfind("009S", 0) != 0) differingButNumbers.insert(h);
  EXPECT_EQ(written, differingButNumbers);
  size_t lines = 0;
  ForEachFileBlock(wanted, [&](const TCmdData& B) { lines += !B.Data().empty(); });
  EXPECT_NE(up.Out.find(Format("Left alone %zu lines", lines - differing.size())), std::string::npos)
      << up.Out;
  // The PBX then equals the file.
  const std::vector<std::string> after = SimStateLines(State());
  const std::set<std::string> now(after.begin(), after.end());
  ForEachFileBlock(wanted, [&](const TCmdData& B) {
    if (!B.Data().empty() && B.Data().rfind("009S00", 0) != 0) {
      EXPECT_EQ(now.count(B.Data()), 1u) << B.Data();
    }
  });
  EXPECT_EQ(now.count("605E03/2/"), 0u);
}
