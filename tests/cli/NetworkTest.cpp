// kxta through Debian's ser2net, started here on 127.0.0.1 and bridging to kxta-sim's
// pseudo-terminal, raw (tcp://) and with RFC 2217 (rfc2217://): the same file and the same PBX
// as over the direct line, the far line set as asked, and ser2net killed half-way through an
// upload a lost line that --resume finishes.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "CliProcess.h"
#include "Journal.h"
#include "SysData.h"
#include "support/RecordingFeedback.h"
#include "support/TempDir.h"

namespace {

class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TSer2net::Available()) GTEST_SKIP() << "ser2net is not installed";
  }
  struct TRun {
    int Status;
    std::string Out, Err;
  };
  TRun Kxta(const std::vector<std::string>& Args) {
    TChild c(KXTA_EXE, Args, Env(), dir.File("stdout"));
    const int status = c.Finish(120000);
    return {status, ReadFile(dir.File("stdout")), c.Err()};
  }
  std::vector<std::string> Env() const {
    return {kFastSessionTiming, "KXTA_JOURNAL=" + dir.File("uploads.journal"),
            "XDG_DATA_HOME=" + dir.File("data")};
  }
  // A copy of From with an extension name, a timer and a name holding the Telnet escape's
  // neighbours changed.
  void MakeEdited(const std::string& From, const std::string& To, const std::string& Name) {
    TRecordingFeedback fb;
    TSysData s;
    ASSERT_TRUE(s.LoadFromFile(From));
    s.Extensions.Jacks(1).BlockOf("604E").SetItemStr(1, Name);
    s.Cmd200S.SetItemStr(1, s.Cmd200S.ItemStr(1) == "3" ? "4" : "3");
    ASSERT_TRUE(s.SaveToFile(To));
  }
  TTempDir dir;
};

}  // namespace

// Catches a Telnet layer that lets its commands into the data or drops the line's bytes (a read
// or a dump that differs from the direct one), data not escaped or a CR padded on the way out (the
// upload's lines stored otherwise), and line settings that never reach the far port.
TEST_F(NetworkTest, ReadAndUploadThroughSer2netInBothModesAreTheDirectLines) {
  const std::string state = dir.File("state.txt");
  TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  const TRun direct = Kxta({"read", "--port", sim.Path(), "-o", dir.File("direct.ta")});
  ASSERT_EQ(direct.Status, 0) << direct.Err;
  for (const bool rfc2217 : {false, true}) {
    SCOPED_TRACE(rfc2217 ? "rfc2217" : "raw");
    TSer2net server(dir.Path(), sim.Path(), rfc2217);
    ASSERT_TRUE(server.Listening());
    const std::string url = server.Url(rfc2217);
    std::vector<std::string> read{"read", "--port", url, "-o", dir.File("net.ta")};
    if (rfc2217) read.insert(read.end(), {"--speed", "4800"});
    const TRun r = Kxta(read);
    ASSERT_EQ(r.Status, 0) << r.Err;
    const TRun diff = Kxta({"diff", dir.File("direct.ta"), dir.File("net.ta")});
    EXPECT_EQ(diff.Status, 0) << diff.Out;
    if (rfc2217) {
      EXPECT_NE(ReadFile(dir.File("sim.err")).find("line set to 4800 bit/s"), std::string::npos)
          << ReadFile(dir.File("sim.err"));
    }

    // The PBX's whole listing comes through as over the cable.
    ASSERT_EQ(Kxta({"dump", "--port", sim.Path(), "-o", dir.File("direct.txt")}).Status, 0);
    ASSERT_EQ(Kxta({"dump", "--port", url, "-o", dir.File("net.txt")}).Status, 0);
    // The session enters dump mode on ";P": whether the prompt's ">" comes before the listing
    // is the line's timing, not the network's.
    auto listing = [](std::string T) { return T.rfind('>', 0) == 0 ? T.substr(1) : T; };
    EXPECT_EQ(listing(ReadFile(dir.File("net.txt"))), listing(ReadFile(dir.File("direct.txt"))));

    const std::string name = rfc2217 ? "Night Desk" : "Reception ";
    MakeEdited(dir.File("direct.ta"), dir.File("edited.ta"), name);
    const TRun up = Kxta({"upload", dir.File("edited.ta"), "--yes", "--port", url});
    ASSERT_EQ(up.Status, 0) << up.Err;
    // What the PBX holds now, read over the direct line.
    server.Kill();
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("after.ta")}).Status, 0);
    TRecordingFeedback fb;
    TSysData after;
    ASSERT_TRUE(after.LoadFromFile(dir.File("after.ta")));
    EXPECT_EQ(after.Extensions.Jacks(1).BlockOf("604E").ItemStr(1), name);
    // The next mode reads the PBX as it is now.
    ASSERT_TRUE(after.SaveToFile(dir.File("direct.ta")));
  }
}

// Catches a dropped connection taken for anything but a lost line (an upload reported done, a
// journal without the lines it confirmed, a resume that sends them again or misses some).
TEST_F(NetworkTest, Ser2netKilledDuringAnUploadIsALostLineThatResumeFinishes) {
  const std::string state = dir.File("state.txt");
  TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
  ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"), "Reception ");
  const std::string journal = dir.File("uploads.journal");
  int port = 0;
  {
    TSer2net server(dir.Path(), sim.Path(), false);
    port = server.Port();
    TChild up(KXTA_EXE, {"upload", dir.File("b.ta"), "--all", "--yes", "--no-backup", "--port",
                         server.Url(false)},
              Env(), dir.File("stdout"));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    size_t written = 0;
    while (std::chrono::steady_clock::now() < end) {
      const auto runs = ReadJournal(journal);
      written = runs.empty() ? 0 : runs.back().Blocks.size();
      if (written >= 300) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GE(written, 300u);
    server.Kill();
    EXPECT_EQ(up.Finish(60000), 1) << up.Err();
    EXPECT_NE(up.Err().find("serial server 127.0.0.1"), std::string::npos) << up.Err();
  }
  const std::vector<TJournalRun> first = ReadJournal(journal);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].End, "failed");
  std::set<std::string> confirmed;
  for (const TJournalBlock& b : first[0].Blocks)
    if (b.Taken()) confirmed.insert(b.Sent);

  TSer2net again(dir.Path(), sim.Path(), false, port);
  const TRun resumed = Kxta({"upload", dir.File("b.ta"), "--resume", "--no-backup", "--yes",
                             "--port", again.Url(false)});
  ASSERT_EQ(resumed.Status, 0) << resumed.Err;
  const std::vector<TJournalRun> runs = ReadJournal(journal);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].End, "ok");
  for (const TJournalBlock& b : runs[1].Blocks) EXPECT_EQ(confirmed.count(b.Sent), 0u) << b.Sent;
  again.Kill();
  ASSERT_EQ(sim.Stop(), 0);
  const std::vector<std::string> held = SimStateLines(state);
  const std::set<std::string> heldSet(held.begin(), held.end());
  TRecordingFeedback fb;
  TSysData wanted;
  ASSERT_TRUE(wanted.LoadFromFile(dir.File("b.ta")));
  ForEachFileBlock(wanted, [&](const TCmdData& B) {
    if (!B.Data().empty() && B.Data().rfind("009S00", 0) != 0) {
      EXPECT_EQ(heldSet.count(B.Data()), 1u) << B.Data();
    }
  });
}
