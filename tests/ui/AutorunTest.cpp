// kxta-config as a script runs it (--autorun read --quit --measure FILE), as a process on the
// offscreen platform, against kxta-sim on a pseudo-terminal and beside kxta's own measurements.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "CliProcess.h"
#include "Groups.h"
#include "support/TempDir.h"

namespace {

const std::string kOffscreen = "QT_QPA_PLATFORM=offscreen";
const std::string kFast =
    "KXTA_SESSION_TIMING=SlowPause=2,OpenPause=10,PromptPause=5,ByePause=2,LoginPause=10,"
    "FailPause=10,DisconnectPause=10,DisconnectTail=10,ClosePause=5,DirectTimeout=1500";

struct TPhase {
  std::string Kind, Title;
  int Index = 0;
  long long Start = 0, Wall = 0, Sent = 0, Received = 0, Commands = 0;
  bool Ok = false;
};

std::vector<TPhase> Phases(const std::string& Text) {
  std::vector<TPhase> phases;
  std::istringstream in(Text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::istringstream cells(line);
    std::string c;
    while (std::getline(cells, c, '\t')) f.push_back(c);
    if (f.size() != 14) return {};
    TPhase p;
    p.Kind = f[0];
    p.Index = std::atoi(f[1].c_str());
    p.Start = std::atoll(f[2].c_str());
    p.Wall = std::atoll(f[3].c_str());
    p.Sent = std::atoll(f[5].c_str());
    p.Received = std::atoll(f[6].c_str());
    p.Commands = std::atoll(f[8].c_str());
    p.Ok = f[10] == "1";
    p.Title = f[13];
    phases.push_back(p);
  }
  return phases;
}

struct TRun {
  int Status;
  std::string Out, Err;
};

class Autorun : public ::testing::Test {
 protected:
  // A copy of the program in a folder of its own runs portable, with Settings as its
  // TALVEN.INI beside it.
  void Install(const std::string& Settings) {
    const std::string exe = dir.File("kxta-config");
    if (!FileExists(exe) && ::link(KXTA_CONFIG_EXE, exe.c_str()) != 0) {
      const std::string cp = "cp '" KXTA_CONFIG_EXE "' '" + exe + "'";
      ASSERT_EQ(std::system(cp.c_str()), 0);
    }
    dir.Write("TALVEN.INI", Settings);
  }
  TRun Config(const std::vector<std::string>& Args, int TimeoutMs = 60000) {
    TChild c(dir.File("kxta-config"), Args, {kOffscreen}, dir.File("config.out"));
    const int status = c.Finish(TimeoutMs);
    return {status, ReadFile(dir.File("config.out")), c.Err()};
  }
  TTempDir dir;
};

TEST_F(Autorun, DesktopReadMeasuresTheSamePhasesAsKxtaOnTheSameLine) {
  TSim sim({"--baud", "0"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  Install("[Warnings]\nShowConnectWarn=0\n[Devices]\nCOM1=" + sim.Path() + "\n");
  const TRun r = Config({"--autorun", "read", "--quit", "--measure", dir.File("config.measure")});
  ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
  EXPECT_EQ(r.Out, "autorun: read done\n");

  dir.Write("kxta.ini", "");
  TChild k(KXTA_EXE,
           {"read", "--port", sim.Path(), "-o", dir.File("a.ta"), "--settings",
            dir.File("kxta.ini"), "--error-log", dir.File("Error.log"), "--measure",
            dir.File("kxta.measure")},
           {kFast}, dir.File("kxta.out"));
  ASSERT_EQ(k.Finish(60000), 0) << k.Err();

  const std::vector<TPhase> desk = Phases(ReadFile(dir.File("config.measure")));
  const std::vector<TPhase> cli = Phases(ReadFile(dir.File("kxta.measure")));
  ASSERT_EQ(desk.size(), kGroupCount + 2u);
  ASSERT_EQ(cli.size(), desk.size());
  EXPECT_EQ(desk.front().Kind, "connect");
  EXPECT_TRUE(desk.front().Ok);
  EXPECT_EQ(desk.back().Kind, "disconnect");
  EXPECT_GT(desk.back().Sent, 0);  // the goodbye went out before the program ended
  for (size_t g = 0; g < kGroupCount; ++g) {
    const TPhase& d = desk[g + 1];
    const TPhase& c = cli[g + 1];
    SCOPED_TRACE(Groups()[g].Title);
    EXPECT_EQ(d.Kind, "step");
    EXPECT_EQ(d.Index, static_cast<int>(Groups()[g].Id));
    EXPECT_EQ(d.Title, Groups()[g].Title);
    EXPECT_TRUE(d.Ok);
    // Every command and byte falls into the step that sent it, as in kxta's run.
    EXPECT_GT(d.Commands, 0);
    EXPECT_EQ(d.Commands, c.Commands);
    EXPECT_EQ(d.Sent, c.Sent);
    EXPECT_EQ(d.Received, c.Received);
  }
  for (size_t i = 1; i < desk.size(); ++i)
    EXPECT_GE(desk[i].Start, desk[i - 1].Start + desk[i - 1].Wall) << desk[i].Title;
  EXPECT_EQ(sim.Stop(), 0);
}

// Catches the desktop program ignoring its [Network] choice (reading the COM port instead) or
// failing over the network where kxta works: its read through ser2net with RFC 2217 sets the
// far line and reads every step.
TEST_F(Autorun, DesktopReadsThroughASerialServerOnTheNetwork) {
  if (!TSer2net::Available()) GTEST_SKIP() << "ser2net is not installed";
  TSim sim({"--baud", "0"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TSer2net server(dir.Path(), sim.Path(), true);
  ASSERT_TRUE(server.Listening());
  Install("[Communications]\nSpeed=2\n[Warnings]\nShowConnectWarn=0\n[Devices]\n"
          "COM1=/dev/kxta-no-such-port\n[Network]\nUse=1\nMode=rfc2217\nHost=127.0.0.1\n"
          "Port=" + std::to_string(server.Port()) + "\n");
  const TRun r = Config({"--autorun", "read", "--quit", "--measure", dir.File("m")});
  ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
  EXPECT_EQ(r.Out, "autorun: read done\n");
  const std::vector<TPhase> steps = Phases(ReadFile(dir.File("m")));
  ASSERT_EQ(steps.size(), kGroupCount + 2u);
  for (const TPhase& p : steps) EXPECT_TRUE(p.Ok) << p.Title;
  EXPECT_NE(ReadFile(dir.File("sim.err")).find("line set to 4800 bit/s"), std::string::npos);
}

// Nobody answers a box in a script: with --quit the connect warning is answered No and a
// failed connection's error is said on standard error, and the program ends instead of waiting.
TEST_F(Autorun, QuitLeavesNoBoxWaitingForAPerson) {
  const struct {
    std::string Settings;
    std::vector<std::string> Args;
    std::string Says;
  } cases[] = {
      {"", {"--demo", "--autorun", "read", "--quit", "--measure", dir.File("m")},
       "kxta-config: answered No: "},
      {"[Warnings]\nShowConnectWarn=0\n[Devices]\nCOM1=/dev/kxta-no-such-port\n",
       {"--autorun", "read", "--quit"}, "no such device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Says);
    Install(c.Settings);
    const TRun r = Config(c.Args, 30000);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_EQ(r.Out, "autorun: connect failed\n");
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
  }
  // A read with a refused command: its run window does not wait for a Close nobody presses.
  {
    TSim sim({"--baud", "0", "--refuse", "604E01"}, dir.File("sim.err"));
    ASSERT_FALSE(sim.Path().empty());
    Install("[Warnings]\nShowConnectWarn=0\n[Devices]\nCOM1=" + sim.Path() + "\n");
    const TRun r = Config({"--autorun", "read", "--quit"}, 30000);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_EQ(r.Out, "autorun: read ended with errors (17 of 18 steps Ok)\n");
  }
  // The measurements hold the failed connection and nothing else.
  const std::vector<TPhase> m = Phases(ReadFile(dir.File("m")));
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].Kind, "connect");
  EXPECT_FALSE(m[0].Ok);
}

TEST_F(Autorun, ScriptOptionsThatCannotWorkAreRefusedBeforeTheWindow) {
  Install("[Warnings]\nShowConnectWarn=0\n");
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  const struct {
    std::vector<std::string> Args;
    std::string Says;
  } cases[] = {
      {{"--demo", "--quit"}, "--quit and --measure go with --autorun read"},
      {{"--demo", "--autorun", "read", "--measure", dir.File("m")}, "--measure FILE needs --quit"},
      {{"--demo", "--autorun", "read", "--quit", "--measure", dir.File("folder")},
       "it is a folder"},
      {{"--demo", "--autorun", "read", "--quit", "--measure", dir.File("missing/m")},
       "the folder \"" + dir.File("missing") + "\": No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args.back());
    const TRun r = Config(c.Args, 30000);
    EXPECT_EQ(r.Status, 2) << r.Err;
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");  // nothing ran
  }
  EXPECT_FALSE(FileExists(dir.File("m")));
}

// The data file named on the command line (what the desktop entry's %f gives) is opened
// before the autorun: a good one is the configuration the read would replace, a bad one is
// said with the loader's reason. Fault: the file word parsed but never opened.
TEST_F(Autorun, TheFileOnTheCommandLineIsOpened) {
  Install("[Warnings]\nShowConnectWarn=0\n");
  {
    TChild kxta(KXTA_EXE, {"read", "--port", "demo", "-o", dir.File("site.ta")}, {},
                dir.File("kxta.out"));
    ASSERT_EQ(kxta.Finish(60000), 0) << kxta.Err();
  }
  dir.Write("bad.ta", "no data file");
  TRun r = Config({"--demo", "--autorun", "read", "--quit", dir.File("bad.ta")}, 30000);
  EXPECT_NE(r.Err.find("Cannot load data file \"" + dir.File("bad.ta") + "\""), std::string::npos)
      << r.Err;
  EXPECT_EQ(r.Out, "autorun: read done\n");
  r = Config({"--demo", "--autorun", "read", "--quit", dir.File("site.ta")}, 30000);
  EXPECT_NE(r.Err.find("answered No: Already have actual data!"), std::string::npos) << r.Err;
}

}  // namespace
