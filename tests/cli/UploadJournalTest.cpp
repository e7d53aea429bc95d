// Uploads that can be undone and finished: kxta upload's backup restores the simulated PBX,
// a kxta killed half-way is finished by --resume with exactly the lines the PBX did not
// confirm, a resume of another PBX or a changed file is refused, and a full disk refuses the
// upload before anything is written.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "CliProcess.h"
#include "Journal.h"
#include "SysData.h"
#include "support/RecordingFeedback.h"
#include "support/TempDir.h"

namespace {

const std::string kFast =
    "KXTA_SESSION_TIMING=SlowPause=2,OpenPause=10,PromptPause=5,ByePause=2,LoginPause=10,"
    "FailPause=10,DisconnectPause=10,DisconnectTail=10,ClosePause=5,DirectTimeout=1500";

std::vector<std::string> ProgramLines(const std::string& StateFile) {
  std::vector<std::string> l;
  const std::string t = ReadFile(StateFile);
  size_t p = 0;
  while (p < t.size()) {
    size_t e = t.find('\n', p);
    if (e == std::string::npos) e = t.size();
    const std::string line = t.substr(p, e - p);
    if (!line.empty() && line[0] != '#') l.push_back(line);
    p = e + 1;
  }
  return l;
}

class UploadJournalTest : public ::testing::Test {
 protected:
  struct TRun {
    int Status;
    std::string Out, Err;
  };
  TRun Kxta(const std::vector<std::string>& Args) {
    TChild c(KXTA_EXE, Args, Env(), dir.File("stdout"));
    const int status = c.Finish(60000);
    return {status, ReadFile(dir.File("stdout")), c.Err()};
  }
  std::vector<std::string> Env() const { return {kFast, "KXTA_JOURNAL=" + Journal()}; }
  std::string Journal() const { return dir.File("uploads.journal"); }
  // A copy of A.ta with an extension name and a timer changed: the site as the technician
  // wants it.
  void MakeEdited(const std::string& From, const std::string& To) {
    TRecordingFeedback fb;
    TSysData s;
    ASSERT_TRUE(s.LoadFromFile(From));
    s.Extensions.Jacks(1).BlockOf("604E").SetItemStr(1, "Reception ");
    s.Cmd200S.SetItemStr(1, s.Cmd200S.ItemStr(1) == "3" ? "4" : "3");
    ASSERT_TRUE(s.SaveToFile(To));
  }
  TTempDir dir;
};

}  // namespace

TEST_F(UploadJournalTest, TheBackupUploadedWithAllRestoresThePbx) {
  const std::string state = dir.File("state.txt");
  std::vector<std::string> before;
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
    ASSERT_EQ(sim.Stop(), 0);
    before = ProgramLines(state);
  }
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"));
  TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
  const TRun up = Kxta({"upload", dir.File("b.ta"), "--yes", "--port", sim.Path(), "--backup",
                        dir.File("bk.ta")});
  ASSERT_EQ(up.Status, 0) << up.Err;
  EXPECT_NE(up.Out.find("Backup of the PBX before the upload: " + dir.File("bk.ta")),
            std::string::npos)
      << up.Out;
  const TRun restore =
      Kxta({"upload", dir.File("bk.ta"), "--all", "--no-backup", "--yes", "--port", sim.Path()});
  ASSERT_EQ(restore.Status, 0) << restore.Err;
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(ProgramLines(state), before);

  // The journal tells both uploads, every line taken, with what the PBX held before.
  const std::vector<TJournalRun> runs = ReadJournal(Journal());
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].End, "ok");
  EXPECT_EQ(runs[0].Backup, dir.File("bk.ta"));
  bool sawName = false;
  for (const TJournalBlock& b : runs[0].Blocks) {
    EXPECT_TRUE(b.Taken()) << b.Sent;
    if (b.Head == "604E01") {
      sawName = true;
      EXPECT_EQ(b.Sent, "604E01/Reception /");
      EXPECT_NE(b.Before, b.Sent);
      EXPECT_FALSE(b.Before.empty());
    }
  }
  EXPECT_TRUE(sawName);
  const TRun listed = Kxta({"journal"});
  EXPECT_EQ(listed.Status, 0);
  EXPECT_NE(listed.Out.find("ended ok"), std::string::npos) << listed.Out;
}

TEST_F(UploadJournalTest, AKilledUploadIsFinishedByResumeWithExactlyTheRest) {
  const std::string state = dir.File("state.txt");
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  }
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"));
  TSysData wanted;
  {
    TRecordingFeedback fb;
    ASSERT_TRUE(wanted.LoadFromFile(dir.File("b.ta")));
  }
  for (const int n : {1, 300, 2000}) {
    SCOPED_TRACE("killed after " + std::to_string(n) + " lines");
    std::remove(Journal().c_str());
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    TChild up(KXTA_EXE, {"upload", dir.File("b.ta"), "--yes", "--no-backup", "--port", sim.Path()},
              Env(), dir.File("stdout"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    size_t written = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto runs = ReadJournal(Journal());
      written = runs.empty() ? 0 : runs.back().Blocks.size();
      if (written >= size_t(n)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    up.Signal(SIGKILL);
    up.Finish(10000);
    ASSERT_GE(written, size_t(n));
    const std::vector<TJournalRun> first = ReadJournal(Journal());
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(first[0].End.empty()) << "a killed run has no end";
    std::set<std::string> confirmed;
    for (const TJournalBlock& b : first[0].Blocks)
      if (b.Taken()) confirmed.insert(b.Sent);

    const TRun resumed = Kxta({"upload", dir.File("b.ta"), "--resume", "--no-backup", "--yes",
                               "--port", sim.Path()});
    ASSERT_EQ(resumed.Status, 0) << resumed.Err;
    const std::vector<TJournalRun> runs = ReadJournal(Journal());
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].Mode, "resume");
    EXPECT_EQ(runs[1].End, "ok");
    // Nothing the PBX confirmed went out again; everything else of the file did.
    size_t lines = 0;
    ForEachFileBlock(wanted, [&](const TCmdData& B) { lines += !B.Data().empty(); });
    for (const TJournalBlock& b : runs[1].Blocks) EXPECT_EQ(confirmed.count(b.Sent), 0u) << b.Sent;
    EXPECT_GE(runs[1].Blocks.size() + confirmed.size(), lines - 2);  // the plan line is not sent
    ASSERT_EQ(sim.Stop(), 0);
    const std::vector<std::string> held = ProgramLines(state);
    const std::set<std::string> heldSet(held.begin(), held.end());
    ForEachFileBlock(wanted, [&](const TCmdData& B) {
      if (!B.Data().empty() && B.Data().rfind("009S00", 0) != 0) {
        EXPECT_EQ(heldSet.count(B.Data()), 1u) << B.Data();
      }
    });
  }
}

TEST_F(UploadJournalTest, ResumeRefusesAnotherPbxOrAChangedFileAndAFullDiskRefusesTheUpload) {
  const std::string state = dir.File("state.txt");
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  }
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"));
  // An upload the line cuts short: the journal holds it unfinished.
  {
    TSim sim({"--baud", "0", "--state", state, "--silent-after", "100"}, dir.File("sim.err"));
    EXPECT_NE(Kxta({"upload", dir.File("b.ta"), "--yes", "--no-backup", "--port", sim.Path()}).Status, 0);
  }
  ASSERT_EQ(ReadJournal(Journal()).back().End, "failed");
  {
    TSim other({"--baud", "0", "--state", state, "--version-text", "Y581M KX-TA616 V1.00"},
               dir.File("sim.err"));
    const TRun r = Kxta({"upload", dir.File("b.ta"), "--resume", "--yes", "--port", other.Path()});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("resume refused"), std::string::npos) << r.Err;
  }
  MakeEdited(dir.File("b.ta"), dir.File("b.ta"));  // the timer changed again
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    const TRun r = Kxta({"upload", dir.File("b.ta"), "--resume", "--yes", "--port", sim.Path()});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("changed since"), std::string::npos) << r.Err;
  }
  // A journal that cannot be written (a full disk: no byte more fits into the journal)
  // refuses the upload before any line goes.
  std::vector<std::string> before;
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(sim.Stop(), 0);
    before = ProgramLines(state);
  }
  TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
  TChild up(KXTA_EXE, {"upload", dir.File("b.ta"), "--yes", "--port", sim.Path()}, Env(),
            dir.File("stdout"), false, static_cast<long long>(ReadFile(Journal()).size()));
  EXPECT_EQ(up.Finish(30000), 1);
  EXPECT_NE(up.Err().find("Cannot write the upload journal"), std::string::npos) << up.Err();
  EXPECT_NE(up.Err().find("Nothing was uploaded"), std::string::npos) << up.Err();
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(ProgramLines(state), before);
}
