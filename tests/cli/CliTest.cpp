// kxta as a user runs it: against kxta-sim on a real pseudo-terminal, and on data files.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "CliProcess.h"
#include "Errors.h"
#include "Feedback.h"
#include "SysData.h"
#include "support/TempDir.h"

namespace {

// The session's pauses shrunk so that a whole read takes well under a second on a pty.
const std::string kFast =
    "KXTA_SESSION_TIMING=SlowPause=2,OpenPause=10,PromptPause=5,ByePause=2,LoginPause=10,"
    "FailPause=10,DisconnectPause=10,DisconnectTail=10,ClosePause=5,DirectTimeout=1500";

struct TRun {
  int Status;
  std::string Out, Err;
};

class CliTest : public ::testing::Test {
 protected:
  TRun Kxta(const std::vector<std::string>& Args, const std::vector<std::string>& Env = {kFast}) {
    TChild c(KXTA_EXE, Args, Env, dir.File("stdout"));
    const int status = c.Finish(30000);
    return {status, ReadFile(dir.File("stdout")), c.Err()};
  }
  static std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> l;
    size_t p = 0;
    while (p < Text.size()) {
      const size_t e = Text.find('\n', p);
      l.push_back(Text.substr(p, e == std::string::npos ? std::string::npos : e - p));
      if (e == std::string::npos) break;
      p = e + 1;
    }
    return l;
  }
  // Loads the data file From, lets Edit change it and saves it as To.
  static void SaveEdited(const std::string& From, const std::string& To,
                         const std::function<void(TSysData&)>& Edit) {
    THeadlessFeedback quiet;
    SetFeedback(&quiet);
    TSysData store;
    ASSERT_TRUE(store.LoadFromFile(From));
    Edit(store);
    ASSERT_TRUE(store.SaveToFile(To));
    SetFeedback(nullptr);
  }
  // Program lines of a kxta-sim state file.
  static std::vector<std::string> StateLines(const std::string& File) {
    std::vector<std::string> l;
    for (const std::string& s : Lines(ReadFile(File)))
      if (!s.empty() && s[0] != '#') l.push_back(s);
    return l;
  }
  TTempDir dir;
};

TEST_F(CliTest, ReadThenExportGivesTheSimulatorsLines) {
  TSim sim({"--baud", "0", "--state", dir.File("state.txt")}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  const auto start = std::chrono::steady_clock::now();
  TRun r = Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")});
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_LT(ms, 15000);
  // Plain lines off a terminal: every step text and its outcome, in run order.
  const size_t first = r.Err.find("Read Extensions data\nExtensions - Ok\n");
  const size_t last = r.Err.find("Read Day/Night/Lunch data\nDay/Night/Lunch - Ok\n");
  EXPECT_NE(first, std::string::npos) << r.Err;
  EXPECT_NE(last, std::string::npos) << r.Err;
  EXPECT_LT(first, last);
  EXPECT_EQ(r.Err.find(" - errors!"), std::string::npos);
  EXPECT_NE(r.Err.find("Disconnected."), std::string::npos);

  TRun e = Kxta({"export", dir.File("a.ta")});
  ASSERT_EQ(e.Status, 0) << e.Err;
  std::vector<std::string> exported = Lines(e.Out);
  ASSERT_EQ(sim.Stop(), 0);
  std::vector<std::string> held = StateLines(dir.File("state.txt"));
  // Two lines the simulator holds are not read by design: the numbering-plan line of plan 1
  // (plan 1 cannot be told from the numbers) and program 123S, which no KX-TA model has.
  held.erase(std::remove_if(held.begin(), held.end(),
                            [](const std::string& s) {
                              return s == "009S00/1/" || s.rfind("123S/", 0) == 0;
                            }),
             held.end());
  std::sort(held.begin(), held.end());
  std::vector<std::string> sorted = exported;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_GT(held.size(), 3000u);
  EXPECT_EQ(sorted, held);
  // Data-file record order: the extension table comes first, the block lists last.
  ASSERT_FALSE(exported.empty());
  EXPECT_EQ(exported.front().rfind("600E01/", 0), 0u) << exported.front();
}

TEST_F(CliTest, UploadOfAnEditedFileLeavesTheEditsInThePbx) {
  TSim sim({"--baud", "0", "--state", dir.File("state.txt")}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  {
    THeadlessFeedback quiet;
    SetFeedback(&quiet);
    TSysData store;
    ASSERT_TRUE(store.LoadFromFile(dir.File("a.ta")));
    store.Extensions.Jacks(1).BlockOf("604E").SetItemStr(1, "Reception");
    // Jacks 1 and 2 swap their extension numbers: the PBX refuses a number another port
    // holds, so this only lands when the upload moves one port aside first.
    TCmd009S& numbers = store.Extensions.Cmd009;
    ASSERT_GE(numbers.Count(), 2);
    ASSERT_EQ(numbers.Items(0).Data(), "009S01/101/");
    numbers.Items(0).SetData("009S01/102/");
    numbers.Items(1).SetData("009S02/101/");
    ASSERT_TRUE(store.SaveToFile(dir.File("b.ta")));
    SetFeedback(nullptr);
  }
  // Without --yes and without a terminal the question is answered no: nothing is sent.
  TRun no = Kxta({"upload", dir.File("b.ta"), "--port", sim.Path()});
  EXPECT_EQ(no.Status, 1);
  EXPECT_NE(no.Err.find("Upload data to PBX?"), std::string::npos);
  EXPECT_EQ(no.Err.find("Connecting"), std::string::npos);

  TRun up = Kxta({"upload", dir.File("b.ta"), "--yes", "--port", sim.Path()});
  ASSERT_EQ(up.Status, 0) << up.Err;
  EXPECT_NE(up.Err.find("Save Extensions data\nExtensions - Ok\n"), std::string::npos) << up.Err;
  ASSERT_EQ(sim.Stop(), 0);
  const std::vector<std::string> held = StateLines(dir.File("state.txt"));
  auto holds = [&](const std::string& L) {
    return std::find(held.begin(), held.end(), L) != held.end();
  };
  EXPECT_TRUE(holds("009S01/102/"));
  EXPECT_TRUE(holds("009S02/101/"));
  const auto name = std::find_if(held.begin(), held.end(),
                                 [](const std::string& s) { return s.rfind("604E01/", 0) == 0; });
  ASSERT_NE(name, held.end());
  EXPECT_NE(name->find("Reception"), std::string::npos) << *name;
}

TEST_F(CliTest, PlanThreePbxWithSwappedPortsKeepsItsOwnNumbersThroughBothUploads) {
  // Plan 3, ports 1 and 2 swapped against the plan's defaults (11, 12, 13 ..).
  dir.Write("state.txt", "009S00/3/\n009S01/12/\n009S02/11/\n");
  std::vector<std::string> numbers{"009S00/3/", "009S01/12/", "009S02/11/"};
  for (int p = 3; p <= 24; ++p) numbers.push_back(Format("009S%.2d/%d/", p, 10 + p));
  for (const bool all : {false, true}) {
    SCOPED_TRACE(all ? "upload --all" : "upload");
    TSim sim({"--baud", "0", "--trace", "--state", dir.File("state.txt")}, dir.File("sim.err"));
    ASSERT_FALSE(sim.Path().empty());
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
    std::vector<std::string> args{"upload", dir.File("a.ta"), "--yes", "--port", sim.Path()};
    if (all) args.push_back("--all");
    TRun up = Kxta(args);
    EXPECT_EQ(up.Status, 0) << up.Err;
    ASSERT_EQ(sim.Stop(), 0);
    std::vector<std::string> held;
    for (const std::string& l : StateLines(dir.File("state.txt")))
      if (l.rfind("009S", 0) == 0) held.push_back(l);
    EXPECT_EQ(held, numbers);
    // The PBX's plan already takes the numbers: no plan line went out, which would reset them.
    EXPECT_EQ(ReadFile(dir.File("sim.err")).find("009S00/"), std::string::npos);
  }
}

// A PBX on plan 2 with its factory numbers (101..124, as under plan 1) cannot be told from a
// plan 1 one. Faults caught: an upload that depends on telling it, and leaves other numbers
// than the file's (a plan line sent without need resets them; one not sent when needed gets
// the numbers refused).
TEST_F(CliTest, APlanTwoPbxWithFactoryNumbersEndsWithTheFilesNumbers) {
  const auto numbers = [](const std::function<int(int)>& Of) {
    std::vector<std::string> n;
    for (int p = 1; p <= 24; ++p) n.push_back(Format("009S%.2d/%d/", p, Of(p)));
    return n;
  };
  const struct {
    const char* Name;
    std::vector<std::string> Wanted;
    const char* Plan;  // the PBX's plan afterwards: changed only where the numbers need it
  } cases[] = {
      {"numbers above 199", numbers([](int P) { return 200 + P; }), "009S00/2/"},
      {"plan 1's numbers turned round", numbers([](int P) { return 125 - P; }), "009S00/2/"},
      {"two-digit numbers", numbers([](int P) { return 20 + P; }), "009S00/3/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string text;
    for (const std::string& l : c.Wanted) text += l + "\n";
    dir.Write("numbers.txt", text);
    ASSERT_EQ(Kxta({"import", dir.File("numbers.txt"), "-o", dir.File("b.ta")}).Status, 0);
    dir.Write("state.txt", "009S00/2/\n");  // plan 2, the numbers its plan line leaves
    TSim sim({"--baud", "0", "--state", dir.File("state.txt")}, dir.File("sim.err"));
    const TRun up =
        Kxta({"upload", dir.File("b.ta"), "--yes", "--no-backup", "--port", sim.Path()});
    EXPECT_EQ(up.Status, 0) << up.Err;
    ASSERT_EQ(sim.Stop(), 0);
    std::vector<std::string> held;
    for (const std::string& l : StateLines(dir.File("state.txt")))
      if (l.rfind("009S", 0) == 0) held.push_back(l);
    ASSERT_FALSE(held.empty());
    EXPECT_EQ(held.front(), c.Plan);
    EXPECT_EQ(std::vector<std::string>(held.begin() + 1, held.end()), c.Wanted);
  }
}

// A configuration prepared at the desk holds what a read of a new PBX gives, and of a smaller
// model no line of the jacks and CO lines it lacks. Faults caught: a factory line the read
// would not give (or one it gives left out), a model's missing ports sent anyway, and a site's
// file replaced by factory data.
TEST_F(CliTest, NewGivesWhatAFreshPbxHoldsAndNothingOfPortsTheModelLacks) {
  ASSERT_EQ(Kxta({"new", "-o", dir.File("new.ta"), "--model", "624"}).Status, 0);
  {
    TSim sim({"--baud", "0"}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("read.ta")}).Status, 0);
  }
  const TRun same = Kxta({"diff", dir.File("new.ta"), dir.File("read.ta")});
  EXPECT_EQ(same.Status, 0) << same.Out;

  const std::string before = ReadFile(dir.File("new.ta"));
  EXPECT_EQ(Kxta({"new", "-o", dir.File("new.ta"), "--model", "308"}).Status, 2);
  EXPECT_EQ(ReadFile(dir.File("new.ta")), before) << "an existing file is never replaced";

  ASSERT_EQ(Kxta({"new", "-o", dir.File("308.ta"), "--model", "308"}).Status, 0);
  const std::string lines = Kxta({"export", dir.File("308.ta")}).Out;
  for (const char* has : {"\n604E08/", "\nP08BC24/", "\n400C3/", "\n009S08/", "\n102E08/", "\n516E08/"})
    EXPECT_NE(lines.find(has), std::string::npos) << has;
  for (const char* lacks : {"\n604E09/", "\nP09BC01/", "\n400C4/", "\n009S09/", "\n102E15/", "\n516E09/"})
    EXPECT_EQ(lines.find(lacks), std::string::npos) << lacks;
}

TEST_F(CliTest, RefusedCommandGivesErrorsStepExitOneAndALogEntry) {
  TSim sim({"--baud", "0", "--refuse", "604E01"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TRun r = Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta"), "--error-log",
                 dir.File("Error.log")});
  EXPECT_EQ(r.Status, 1) << r.Err;
  EXPECT_NE(r.Err.find("Extensions - errors!"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("Error in cmd:"), std::string::npos);
  // The later steps still ran, and what was read is saved beside the target.
  EXPECT_NE(r.Err.find("CO lines - Ok"), std::string::npos);
  EXPECT_TRUE(FileExists(dir.File("a.partial.ta")));
  const std::string log = ReadFile(dir.File("Error.log"));
  EXPECT_NE(log.find("waResult=8 Buffer:"), std::string::npos) << log;
  EXPECT_NE(log.find("604E01"), std::string::npos);
  EXPECT_NE(log.find("Command error"), std::string::npos);
}

TEST_F(CliTest, ReadThatDoesNotEndOkLeavesTheDataFileAndUploadOfNoDataSendsNothing) {
  {
    TSim sim({"--baud", "0"}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("site.ta")}).Status, 0);
  }
  const std::string good = ReadFile(dir.File("site.ta"));
  // The log-in takes five command lines: silent after them, the PBX answers no read command.
  for (const char* silentAfter : {"40", "5"}) {
    SCOPED_TRACE(silentAfter);
    const bool gotSome = std::string(silentAfter) == "40";
    TSim sim({"--baud", "0", "--silent-after", silentAfter}, dir.File("sim.err"));
    TRun r = Kxta({"read", "--port", sim.Path(), "-o", dir.File("site.ta")},
                  {kFast + ",DirectTimeout=300,EchoWait=50"});
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_TRUE(ReadFile(dir.File("site.ta")) == good) << "site.ta was replaced";
    EXPECT_NE(r.Err.find(gotSome ? "what was read is saved in " + dir.File("site.partial.ta")
                                 : std::string("got no PBX data: nothing was saved")),
              std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(dir.File("site.ta") + " is unchanged."), std::string::npos) << r.Err;
    EXPECT_EQ(FileExists(dir.File("site.partial.ta")), gotSome);
    if (gotSome) {
      EXPECT_EQ(Kxta({"export", dir.File("site.partial.ta")}).Status, 0);
    }
    std::remove(dir.File("site.partial.ta").c_str());
  }
  {
    THeadlessFeedback quiet;
    SetFeedback(&quiet);
    ASSERT_TRUE(TSysData().SaveToFile(dir.File("empty.ta")));
    SetFeedback(nullptr);
  }
  TRun up = Kxta({"upload", dir.File("empty.ta"), "--yes", "--port", "demo"});
  EXPECT_EQ(up.Status, 1);
  EXPECT_NE(up.Err.find(dir.File("empty.ta") + " holds no PBX data: nothing to upload"),
            std::string::npos) << up.Err;
  EXPECT_EQ(up.Err.find("Connecting"), std::string::npos);
}

TEST_F(CliTest, SilentPbxGivesExitThreeWithNoPbxReaction) {
  TSim sim({"--baud", "0", "--silent-after", "0"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TRun r = Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")},
                {kFast + ",DirectTimeout=200"});
  EXPECT_EQ(r.Status, 3) << r.Err;
  EXPECT_NE(r.Err.find("No PBX reaction!"), std::string::npos) << r.Err;
  EXPECT_FALSE(FileExists(dir.File("a.ta")));
}

TEST_F(CliTest, MissingDeviceGivesExitThreeWithTheReason) {
  TRun r = Kxta({"read", "--port", dir.File("no-such-tty"), "-o", dir.File("a.ta")});
  EXPECT_EQ(r.Status, 3);
  EXPECT_NE(r.Err.find("Failed do initialize COM-port!"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("no such device"), std::string::npos) << r.Err;
}

TEST_F(CliTest, CtrlCDuringAReadAbortsWithExit130AndAGoodbye) {
  // Paced at 9600 bit/s the first step alone takes many seconds.
  TSim sim({"--baud", "9600", "--trace"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TChild c(KXTA_EXE, {"read", "--port", sim.Path(), "-o", dir.File("a.ta")}, {kFast},
           dir.File("stdout"));
  ASSERT_TRUE(c.WaitForErr("Read Extensions data", 10000)) << c.Err();
  c.Signal(SIGINT);
  EXPECT_EQ(c.Finish(20000), 130) << c.Err();
  EXPECT_NE(c.Err().find("Wait for abort.."), std::string::npos);
  EXPECT_NE(c.Err().find("Read operation aborted."), std::string::npos) << c.Err();
  EXPECT_NE(c.Err().find("Disconnected."), std::string::npos);
  EXPECT_EQ(c.Err().find("Extensions - Ok"), std::string::npos);
  EXPECT_FALSE(FileExists(dir.File("a.ta")));  // an aborted read replaces no backup
  sim.Stop();
  // The PBX saw the goodbye: the trace shows what it received, one piece per line.
  std::string received;
  for (const std::string& l : Lines(ReadFile(dir.File("sim.err"))))
    if (l.rfind("<< ", 0) == 0) received += l.substr(3);
  EXPECT_NE(received.find("BYE<CR>"), std::string::npos) << received.substr(received.size() > 300 ? received.size() - 300 : 0);
}

TEST_F(CliTest, SignalsWhileConnectingEndTheAttemptAtOnceWithExit130) {
  // A PBX that answers byte by byte, 150 ms apart: a log-in takes many seconds.
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    TSim sim({"--baud", "0", "--split", "1", "--gap-ms", "150"}, dir.File("sim.err"));
    ASSERT_FALSE(sim.Path().empty());
    TChild c(KXTA_EXE, {"read", "--port", sim.Path(), "-o", dir.File("a.ta")}, {kFast},
             dir.File("stdout"));
    ASSERT_TRUE(c.WaitForErr("Connecting to", 10000)) << c.Err();
    usleep(300000);  // well inside the log-in
    const auto t0 = std::chrono::steady_clock::now();
    c.Signal(sig);
    EXPECT_EQ(c.Finish(10000), 130) << c.Err();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
    EXPECT_NE(c.Err().find("Connecting aborted."), std::string::npos) << c.Err();
    EXPECT_FALSE(FileExists(dir.File("a.ta")));
  }
}

TEST_F(CliTest, DumpEndedBySighupOrAFullDiskKeepsTheEarlierDump) {
  dir.Write("dump.txt", "an earlier dump\n");
  {
    // Paced at 9600 bit/s the listing takes a minute.
    TSim sim({"--baud", "9600"}, dir.File("sim.err"));
    ASSERT_FALSE(sim.Path().empty());
    TChild c(KXTA_EXE, {"dump", "--port", sim.Path(), "-o", dir.File("dump.txt")}, {kFast},
             dir.File("stdout"));
    ASSERT_TRUE(c.WaitForErr("Store dump", 20000)) << c.Err();
    usleep(500000);
    c.Signal(SIGHUP);
    EXPECT_EQ(c.Finish(20000), 130) << c.Err();
    EXPECT_NE(c.Err().find("nothing was saved"), std::string::npos) << c.Err();
  }
  // No room for more than 2 KiB: the file cannot take the listing.
  TChild full("/bin/sh",
              {"-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\" dump --port demo -o \"$1\"", KXTA_EXE,
               dir.File("dump.txt")},
              {kFast + ",DirectTimeout=300"}, dir.File("stdout"));
  EXPECT_EQ(full.Finish(30000), 1) << full.Err();
  EXPECT_NE(full.Err().find("The dump file could not be written"), std::string::npos)
      << full.Err();
  EXPECT_EQ(full.Err().find("sent no listing"), std::string::npos) << full.Err();
  EXPECT_EQ(ReadFile(dir.File("dump.txt")), "an earlier dump\n");
  // Neither left a temporary file behind.
  TChild ls("/bin/sh", {"-c", "ls -A \"$0\"", dir.File("")}, {}, dir.File("ls.txt"));
  ls.Finish(5000);
  EXPECT_EQ(ReadFile(dir.File("ls.txt")).find(".dump.txt."), std::string::npos)
      << ReadFile(dir.File("ls.txt"));
}

TEST_F(CliTest, ConnectMessagesNameTheOptionToChange) {
  TSim sim({"--baud", "0"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TRun r = Kxta({"read", "--port", sim.Path(), "--password", "0000", "-o", dir.File("a.ta")});
  EXPECT_EQ(r.Status, 3);
  EXPECT_NE(r.Err.find("Bad access password!"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("--password"), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find("Settings->System"), std::string::npos) << r.Err;
}

TEST_F(CliTest, ProgressBarIsDrawnOnATerminal) {
  TChild c(KXTA_EXE, {"read", "--port", "demo", "-o", dir.File("d.ta")}, {kFast},
           dir.File("stdout"), true);
  EXPECT_EQ(c.Finish(30000), 0) << c.Err();
  EXPECT_NE(c.Err().find("\r\x1b[K"), std::string::npos);
  // The step text carries the command in progress, followed by its bar.
  const size_t step = c.Err().find("Read Extensions data (600E01) [");
  EXPECT_NE(step, std::string::npos) << c.Err().substr(0, 400);
  EXPECT_NE(c.Err().find("[#", step), std::string::npos);  // and it moves
  EXPECT_NE(c.Err().find("Extensions - Ok"), std::string::npos);
  EXPECT_TRUE(FileExists(dir.File("d.ta")));
}

TEST_F(CliTest, DumpStoresTheListing) {
  TRun r = Kxta({"dump", "--port", "demo", "-o", dir.File("dump.txt")},
                {kFast + ",DirectTimeout=300"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::string dump = ReadFile(dir.File("dump.txt"));
  EXPECT_GT(dump.size(), 1000u);
  EXPECT_NE(dump.find("604E01"), std::string::npos);
}

TEST_F(CliTest, DumpCutShortFailsAndKeepsTheEarlierFile) {
  // The listing is some 50 kB; the line breaks inside it, or not at all; the PBX ends it with
  // a prompt, or simply falls silent after its last line.
  for (const bool prompt : {true, false})
  for (const char* cut : {"4000", ""}) {
    SCOPED_TRACE(std::string(cut) + (prompt ? " with a prompt" : " without a prompt"));
    dir.Write("dump.txt", "earlier dump\r\n");
    std::vector<std::string> args{"--baud", "0"};
    if (*cut) args.insert(args.end(), {"--cut-after", cut});
    if (!prompt) args.push_back("--dump-no-prompt");
    TSim sim(args, dir.File("sim.err"));
    TRun r = Kxta({"dump", "--port", sim.Path(), "-o", dir.File("dump.txt")},
                  {kFast + ",DirectTimeout=300,EchoWait=50"});
    const std::string dump = ReadFile(dir.File("dump.txt"));
    if (*cut) {
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_EQ(dump, "earlier dump\r\n");
      EXPECT_NE(r.Err.find("listing is incomplete"), std::string::npos) << r.Err;
    } else {
      EXPECT_EQ(r.Status, 0) << r.Err;
      EXPECT_GT(dump.size(), 40000u);
      EXPECT_EQ(r.Err.find("Warning"), std::string::npos) << r.Err;
    }
  }
}

// A read must not run for minutes and then lose its result to a file it cannot write.
TEST_F(CliTest, UnusablePathsAreUsageErrorsBeforeAnythingIsSent) {
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  const std::string folder = dir.File("folder"), missing = dir.File("no/such/m.txt");
  const std::string none = dir.File("none.ini");
  std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"read", "-o", folder}, "Cannot write -o \"" + folder + "\": it is a folder"},
      {{"read", "--measure", folder}, "Cannot write --measure \"" + folder + "\": it is a folder"},
      {{"read", "--measure", missing}, "of --measure \"" + missing + "\": the folder does not"},
      {{"read", "--trace", missing}, "of --trace \"" + missing + "\""},
      {{"read", "--error-log", folder}, "Cannot write --error-log \"" + folder + "\""},
      {{"read", "--settings", none}, "Cannot read --settings \"" + none + "\": no such file"},
      {{"read", "--settings", folder}, "Cannot read --settings \"" + folder + "\": it is a"},
      {{"upload", dir.File("a.ta"), "--yes", "--measure", folder}, "--measure \"" + folder},
      {{"dump", "-o", dir.File("d.txt"), "--trace", missing}, "--trace \"" + missing},
  };
  if (::geteuid() != 0) {  // root may write anywhere
    ASSERT_EQ(::mkdir(dir.File("locked").c_str(), 0555), 0);
    cases.push_back({{"read", "--measure", dir.File("locked/m.txt")}, "no write permission"});
  }
  TSim sim({"--baud", "0", "--trace"}, dir.File("sim.err"));
  for (auto& [args, says] : cases) {
    SCOPED_TRACE(says);
    args.insert(args.end(), {"--port", sim.Path()});
    if (args[0] == "read" && args[1] != "-o") args.insert(args.end(), {"-o", dir.File("b.ta")});
    TRun r = Kxta(args);
    EXPECT_EQ(r.Status, 2) << r.Err;
    EXPECT_NE(r.Err.find(says), std::string::npos) << r.Err;
  }
  sim.Stop();
  EXPECT_EQ(ReadFile(dir.File("sim.err")).find("<< "), std::string::npos);  // nothing received
}

TEST_F(CliTest, MeasurementsThatCannotBeWrittenAfterTheReadCostOnlyThemselves) {
  // A name of 250 characters passes the check before connecting, yet the writer's temporary
  // file beside it (the name and eight more) cannot be made: the write fails after the read.
  // (A device such as /dev/full is refused before connecting.)
  const std::string measure = dir.File(std::string(250, 'm'));
  TSim sim({"--baud", "0"}, dir.File("sim.err"));
  TRun r = Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta"), "--measure", measure});
  EXPECT_EQ(r.Status, 1) << r.Err;
  const size_t saved = r.Err.find("Saved " + dir.File("a.ta"));
  EXPECT_NE(saved, std::string::npos) << r.Err;
  EXPECT_LT(saved, r.Err.find("Cannot write the measurements: " + measure));
  EXPECT_EQ(Kxta({"export", dir.File("a.ta")}).Status, 0);
}

TEST_F(CliTest, ExportOfACorruptFileIsAClearErrorWithExitOne) {
  ASSERT_EQ(Kxta({"read", "--port", "demo", "-o", dir.File("a.ta")}).Status, 0);
  const std::string good = ReadFile(dir.File("a.ta"));
  dir.Write("cut.ta", good.substr(0, good.size() / 2));
  TRun cut = Kxta({"export", dir.File("cut.ta")});
  EXPECT_EQ(cut.Status, 1);
  EXPECT_TRUE(cut.Out.empty());
  EXPECT_NE(cut.Err.find("Cannot load data file"), std::string::npos) << cut.Err;
  EXPECT_NE(cut.Err.find("cut short"), std::string::npos) << cut.Err;

  dir.Write("text.ta", "604E01/Reception/\n604E02/Office/\n");
  TRun text = Kxta({"export", dir.File("text.ta")});
  EXPECT_EQ(text.Status, 1);
  EXPECT_NE(text.Err.find("It is not PANASONIC KX-TA data file!"), std::string::npos);

  EXPECT_EQ(Kxta({"export", dir.File("missing.ta")}).Status, 1);
}

TEST_F(CliTest, ReadIntoAMissingFolderFailsBeforeConnecting) {
  TRun r = Kxta({"read", "--port", "demo", "-o", dir.File("no/such/folder/a.ta")});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("Cannot write into the folder"), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find("Connecting"), std::string::npos);
}

TEST_F(CliTest, DiffExitCodesAndLines) {
  ASSERT_EQ(Kxta({"read", "--port", "demo", "-o", dir.File("a.ta")}).Status, 0);
  {
    THeadlessFeedback quiet;
    SetFeedback(&quiet);
    TSysData store;
    ASSERT_TRUE(store.LoadFromFile(dir.File("a.ta")));
    store.Extensions.Jacks(2).BlockOf("604E").SetItemStr(1, "Office");
    ASSERT_TRUE(store.SaveToFile(dir.File("b.ta")));
    SetFeedback(nullptr);
  }
  TRun same = Kxta({"diff", dir.File("a.ta"), dir.File("a.ta")});
  EXPECT_EQ(same.Status, 0);
  EXPECT_TRUE(same.Out.empty());
  TRun differ = Kxta({"diff", dir.File("a.ta"), dir.File("b.ta")});
  EXPECT_EQ(differ.Status, 1);
  const std::vector<std::string> lines = Lines(differ.Out);
  ASSERT_EQ(lines.size(), 2u) << differ.Out;
  EXPECT_EQ(lines[0], "- 604E02/^/");
  EXPECT_EQ(lines[1].rfind("+ 604E02/Office", 0), 0u) << lines[1];
  EXPECT_EQ(Kxta({"diff", dir.File("a.ta"), dir.File("missing.ta")}).Status, 2);
}

TEST_F(CliTest, UsageErrorsExitTwoAndHelpNamesEveryCommand) {
  EXPECT_EQ(Kxta({}).Status, 2);
  EXPECT_EQ(Kxta({"read", "--port", "demo"}).Status, 2);  // no -o
  EXPECT_EQ(Kxta({"read", "--speed", "300", "-o", "x.ta"}).Status, 2);
  EXPECT_EQ(Kxta({"frobnicate"}).Status, 2);
  TRun help = Kxta({"--help"});
  EXPECT_EQ(help.Status, 0);
  for (const char* cmd : {"read", "upload", "dump", "export", "diff", "check", "import"})
    EXPECT_NE(help.Out.find(cmd), std::string::npos) << cmd;
  EXPECT_NE(Kxta({"diff", "--help"}).Out.find("--long"), std::string::npos);
  EXPECT_NE(Kxta({"import", "--help"}).Out.find("--force"), std::string::npos);
  EXPECT_EQ(Kxta({"import", dir.File("t.txt")}).Status, 2);  // no -o
  TRun version = Kxta({"--version"});
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out.rfind("kxta ", 0), 0u);
}

// The whole configuration of a PBX through its text and back: the text comes out as it went
// in, line for line, also with CR LF line ends and notes, and the files do not differ.
TEST_F(CliTest, ExportImportExportGivesTheSameTextForAFullRead) {
  // Plan 3 and a name, so that the numbering plan line and an edited line are in the text.
  dir.Write("state.txt", "009S00/3/\n604E02/Office/\n");
  TSim sim({"--baud", "0", "--state", dir.File("state.txt")}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  sim.Stop();
  const TRun first = Kxta({"export", dir.File("a.ta")});
  ASSERT_EQ(first.Status, 0) << first.Err;
  const std::vector<std::string> lines = Lines(first.Out);
  EXPECT_GT(lines.size(), 3000u);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "009S00/3/"), lines.end());
  std::string crlf = "# site 7, read from the PBX\r\n\r\n";
  for (const std::string& l : lines) crlf += l + "\r\n";
  dir.Write("a.txt", first.Out);
  dir.Write("crlf.txt", crlf);
  for (const char* text : {"a.txt", "crlf.txt"}) {
    SCOPED_TRACE(text);
    const TRun in = Kxta({"import", dir.File(text), "-o", dir.File("b.ta")});
    ASSERT_EQ(in.Status, 0) << in.Err;
    EXPECT_NE(in.Err.find(Format("%zu program lines", lines.size())), std::string::npos) << in.Err;
    const TRun second = Kxta({"export", dir.File("b.ta")});
    ASSERT_EQ(second.Status, 0) << second.Err;
    EXPECT_TRUE(second.Out == first.Out) << "the text changed on its way through import";
    EXPECT_EQ(Kxta({"diff", dir.File("a.ta"), dir.File("b.ta")}).Status, 0);
  }
}

TEST_F(CliTest, ImportRefusesRepeatedUnknownAndMalformedLinesAndWritesNothing) {
  ASSERT_EQ(Kxta({"read", "--port", "demo", "-o", dir.File("a.ta")}).Status, 0);
  const std::string before = ReadFile(dir.File("a.ta"));
  dir.Write("t.txt",
            "# site 7\n604E03/Sales/\n200S/5/\n604E03/Again/\n\n999S/1/\n604E04 Sales\n");
  for (const bool force : {false, true}) {
    SCOPED_TRACE(force ? "--force" : "");
    std::vector<std::string> args{"import", dir.File("t.txt"), "-o", dir.File("a.ta")};
    if (force) args.push_back("--force");
    const TRun r = Kxta(args);
    EXPECT_EQ(r.Status, 1);
    const std::string t = dir.File("t.txt");
    for (const std::string& says :
         {t + ":4: 604E03  Extension name  line given twice: first at line 2",
          t + ":6: 999S  unknown program  line '999S/1/': a line head the PBX has",
          t + ":7: 604E04 Sales  unknown program  line '604E04 Sales': a line head/items/",
          "3 problems in 3 lines of " + t + ": nothing was written; " + dir.File("a.ta") +
              " is unchanged."})
      EXPECT_NE(r.Err.find(says), std::string::npos) << says << "\n" << r.Err;
    EXPECT_EQ(r.Err.find(":2:"), std::string::npos) << r.Err;  // good lines are not reported
    EXPECT_TRUE(ReadFile(dir.File("a.ta")) == before) << "the data file was replaced";
  }

  // A value out of range is written only with --force, and a malformed line never.
  dir.Write("range.txt", "200S/9/\n604E03/Sales/\n");
  dir.Write("both.txt", "200S/9/\n604E03/Sales\n");
  const TRun range = Kxta({"import", dir.File("range.txt"), "-o", dir.File("a.ta")});
  EXPECT_EQ(range.Status, 1);
  EXPECT_NE(range.Err.find(":1: 200S  Hold Recall Time  item 1 '9': a number from 0 to 8"),
            std::string::npos) << range.Err;
  EXPECT_NE(range.Err.find("--force writes them"), std::string::npos) << range.Err;
  const TRun both = Kxta({"import", dir.File("both.txt"), "-o", dir.File("a.ta"), "--force"});
  EXPECT_EQ(both.Status, 1);
  EXPECT_NE(both.Err.find(":2: 604E03  Extension name  line '604E03/Sales'"), std::string::npos)
      << both.Err;
  EXPECT_TRUE(ReadFile(dir.File("a.ta")) == before) << "the data file was replaced";
  const TRun forced = Kxta({"import", dir.File("range.txt"), "-o", dir.File("a.ta"), "--force"});
  EXPECT_EQ(forced.Status, 0) << forced.Err;
  EXPECT_EQ(Kxta({"export", dir.File("a.ta")}).Out, "604E03/Sales/\n200S/9/\n");
  EXPECT_EQ(Kxta({"check", dir.File("a.ta")}).Status, 1);

  // What cannot be imported at all: no file, a text of notes only, and the text itself as the
  // data file to write.
  dir.Write("notes.txt", "# to do\n\n");
  const TRun notes = Kxta({"import", dir.File("notes.txt"), "-o", dir.File("c.ta")});
  EXPECT_EQ(notes.Status, 1);
  EXPECT_NE(notes.Err.find("holds no program line"), std::string::npos) << notes.Err;
  const TRun self = Kxta({"import", dir.File("range.txt"), "-o", dir.File("range.txt")});
  EXPECT_EQ(self.Status, 2);
  EXPECT_EQ(ReadFile(dir.File("range.txt")), "200S/9/\n604E03/Sales/\n");
  const TRun missing = Kxta({"import", dir.File("none.txt"), "-o", dir.File("a.ta")});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Err.find("no such file"), std::string::npos) << missing.Err;
}

TEST_F(CliTest, CheckNamesEveryProblemOfAFileAndExitsOneOnlyThen) {
  ASSERT_EQ(Kxta({"read", "--port", "demo", "-o", dir.File("a.ta")}).Status, 0);
  const size_t count = Lines(Kxta({"export", dir.File("a.ta")}).Out).size();
  const TRun clean = Kxta({"check", dir.File("a.ta")});
  EXPECT_EQ(clean.Status, 0) << clean.Err;
  EXPECT_EQ(clean.Out, Format("No problems: %zu lines checked.\n", count));

  SaveEdited(dir.File("a.ta"), dir.File("b.ta"), [](TSysData& S) {
    S.List001S.Items(5).SetItemStr(1, "12a4");  // a letter in a dial code
    S.Cmd200S.SetItemStr(1, "9");               // hold recall: 0 to 8
    S.Cmd521S.SetData("521S/01/");              // two items
    // Sound lines that cannot go together: port 6 wants port 1's number, port 8 a number of
    // another plan than port 1's.
    TCmd009S& numbers = S.Extensions.Cmd009;
    numbers.Items(5).SetItemStr(1, numbers.Items(0).ItemStr(1));
    numbers.Items(7).SetItemStr(1, "25");
  });
  const TRun bad = Kxta({"check", dir.File("b.ta")});
  EXPECT_EQ(bad.Status, 1);
  const std::vector<std::string> out = Lines(bad.Out);
  ASSERT_EQ(out.size(), 6u) << bad.Out;
  for (const std::string& says :
       {std::string("001S05  Speed dial number  item 1 '12a4': at most 32 of "),
        std::string("200S  Hold Recall Time  item 1 '9': a number from 0 to 8"),
        std::string("521S  UCD busy waiting time  line '01': 2 items"),
        std::string("009S06  Extension number  item 1 '101': a number of its own: port 1 has it"),
        std::string("009S08  Extension number  item 1 '25': a number of one numbering plan with "
                    "port 1's '101'")})
    EXPECT_NE(std::find_if(out.begin(), out.end(),
                           [&](const std::string& L) { return L.rfind(says, 0) == 0; }),
              out.end())
        << says << "\n" << bad.Out;
  EXPECT_EQ(out.back(), Format("5 problems in 5 of %zu lines checked.", count));
  EXPECT_EQ(Kxta({"check", dir.File("missing.ta")}).Status, 1);
}

TEST_F(CliTest, LongDiffShowsEachChangedItemWithItsProgramAndBothValues) {
  ASSERT_EQ(Kxta({"read", "--port", "demo", "-o", dir.File("a.ta")}).Status, 0);
  SaveEdited(dir.File("a.ta"), dir.File("b.ta"), [](TSysData& S) {
    S.Extensions.Jacks(2).BlockOf("604E").SetItemStr(1, "Office");
    S.Cmd200S.SetItemStr(1, "5");
    S.List001S.Items(5).SetItemStr(1, "0123");
  });
  const TRun d = Kxta({"diff", "--long", dir.File("a.ta"), dir.File("b.ta")});
  EXPECT_EQ(d.Status, 1);
  EXPECT_EQ(Lines(d.Out), (std::vector<std::string>{
                              "604E02  Extension name  item 1  '^' -> 'Office'",
                              "200S  Hold Recall Time  item 1  '1' -> '5'",
                              "001S05  Speed dial number  item 1  '^' -> '0123'"}))
      << d.Out;
  // The short form stays as scripts know it.
  EXPECT_EQ(Lines(Kxta({"diff", dir.File("a.ta"), dir.File("b.ta")}).Out),
            (std::vector<std::string>{"- 604E02/^/", "+ 604E02/Office/", "- 200S/1/", "+ 200S/5/",
                                      "- 001S05/^/", "+ 001S05/0123/"}));
  const TRun same = Kxta({"diff", "--long", dir.File("a.ta"), dir.File("a.ta")});
  EXPECT_EQ(same.Status, 0);
  EXPECT_TRUE(same.Out.empty());
}

// Every path kxta writes refuses a device, a named pipe and a socket, with the reason, before
// it connects, and the node stays what it was. Faults caught: -o or --backup onto a device
// node replaced it with a file (as root, -o /dev/null replaced the system's /dev/null), a
// trace or a journal on a named pipe waited for ever for a reader.
TEST_F(CliTest, EveryOutputRefusesADeviceANamedPipeAndASocket) {
  ASSERT_EQ(Kxta({"read", "--port", "demo", "-o", dir.File("a.ta")}).Status, 0);
  TSim sim({"--baud", "0", "--trace"}, dir.File("sim.err"));
  for (const TNodeKind kind : kNodeKinds) {
    const std::string node = dir.File("node" + std::to_string(static_cast<int>(kind)));
    ASSERT_TRUE(MakeNode(node, kind));
    const struct {
      std::vector<std::string> Args;
      std::string Journal;
    } writers[] = {
        {{"read", "-o", node}, ""},
        {{"dump", "-o", node}, ""},
        {{"upload", dir.File("a.ta"), "--yes", "--backup", node}, ""},
        {{"upload", dir.File("a.ta"), "--yes", "--no-backup"}, node},
        {{"read", "-o", dir.File("b.ta"), "--trace", node}, ""},
        {{"read", "-o", dir.File("b.ta"), "--error-log", node}, ""},
        {{"read", "-o", dir.File("b.ta"), "--measure", node}, ""},
    };
    for (const auto& w : writers) {
      std::vector<std::string> args = w.Args;
      SCOPED_TRACE(NodeReason(kind) + ": " + args[0] + " " + args[2]);
      args.insert(args.end(), {"--port", sim.Path()});
      const TRun r = Kxta(args, {kFast, "KXTA_JOURNAL=" + (w.Journal.empty() ? dir.File("j") : w.Journal)});
      EXPECT_EQ(r.Status, 2) << r.Err;
      EXPECT_NE(r.Err.find(NodeReason(kind)), std::string::npos) << r.Err;
      EXPECT_TRUE(IsNode(node, kind));
    }
  }
  sim.Stop();
  EXPECT_EQ(ReadFile(dir.File("sim.err")).find("<< "), std::string::npos);  // nothing received
}

}  // namespace

// What kxta prints from a data file, a text, the upload journal or the PBX reaches the
// terminal escaped: no control byte (but the line ends) and no byte beyond ASCII on standard
// output or error, the <XX> form instead, and a clean file's text exactly as the file holds
// it, "<" included. Catches a command printing such a text raw (an item holding ESC ]2;...BEL
// retitles the terminal, a version text with ESC [2J clears the screen).
TEST_F(CliTest, ControlBytesFromFilesAndTheJournalReachTheTerminalEscaped) {
  // ESC ]2;...BEL sets the window's title; 0x9B is CSI on terminals that take 8-bit controls.
  const std::string hostile = "604E01/\x1b]2;owned\x07\x9b" "2J/";
  bool hostileLoads = false;
  {
    THeadlessFeedback quiet;
    SetFeedback(&quiet);
    TSysData store;
    store.Extensions.Jacks(1).BlockOf("604E").SetData(hostile);
    ASSERT_TRUE(store.SaveToFile(dir.File("bad.ta")));
    store.Extensions.Jacks(1).BlockOf("604E").SetData("604E01/a<1B>b     /");
    ASSERT_TRUE(store.SaveToFile(dir.File("clean.ta")));
    // Where the loader refuses such a file, its message is what must come out escaped.
    TSysData probe;
    hostileLoads = probe.LoadFromFile(dir.File("bad.ta"));
    SetFeedback(nullptr);
  }
  const std::string text = "bad\x1b]2;x\x07.txt";  // a file name is shown as well
  dir.Write(text, "604E01/\x1b[2J/\n");
  // A journal as another program might have left it: the version text and a line's old text
  // hold escapes, the version text a line break too (the journal's own "\n").
  dir.Write(
      "journal",
      "run\t1-1\t2026-12-10 10:00:00\tdemo\tKX-TA624\\n\x1b[2J\t/site.ta\t0\tall\t/bk.ta\n"
      "line\t1-1\t604E01\t604E01/\x1b]2;x\x07/\t604E01/Office    /\t604E01/Office    /\t1\n"
      "end\t1-1\t2026-12-10 10:00:01\tok\n");
  const std::string journal = "KXTA_JOURNAL=" + dir.File("journal");
  const struct {
    std::vector<std::string> Args;
    bool FromDataFile;
    const char* Escaped;
  } cases[] = {
      {{"export", dir.File("bad.ta")}, true, "604E01/<1B>]2;owned<07><9B>2J/"},
      {{"diff", dir.File("clean.ta"), dir.File("bad.ta")}, true, "+ 604E01/<1B>]2;owned<07><9B>2J/"},
      {{"diff", "--long", dir.File("clean.ta"), dir.File("bad.ta")}, true, "'<1B>]2;owned<07><9B>2J'"},
      {{"check", dir.File("bad.ta")}, true, "<1B>]2;owned<07><9B>2J"},
      {{"import", dir.File(text), "-o", dir.File("out.ta")}, false, "bad<1B>]2;x<07>.txt:1:"},
      {{"journal"}, false, "KX-TA624<0A><1B>[2J"},
      {{"journal", "--run", "1"}, false, "'604E01/<1B>]2;x<07>/'"},
  };
  for (const auto& c : cases) {
    const TRun r = Kxta(c.Args, {journal});
    const std::string shown = r.Out + r.Err;
    const std::string what = c.Args[0] + " " + c.Args.back();
    for (unsigned char b : shown) {
      ASSERT_FALSE((b < 0x20 && b != '\n') || b >= 0x7f) << what << ": raw byte " << int(b);
    }
    if (hostileLoads || !c.FromDataFile) {
      EXPECT_NE(shown.find(c.Escaped), std::string::npos) << what << ":\n" << shown;
    }
  }
  const TRun clean = Kxta({"export", dir.File("clean.ta")});
  EXPECT_EQ(clean.Out, "604E01/a<1B>b     /\n");
}
