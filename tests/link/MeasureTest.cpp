// The run measurements (--measure of kxta and kxta-config) over a session on an in-memory line:
// what the benchmark reads must be each phase's own share of the traffic, time and CPU.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

#include "CommDevice.h"
#include "CommKXTA.h"
#include "Measure.h"
#include "support/RecordingFeedback.h"
#include "support/ScriptedPbx.h"
#include "support/TempDir.h"

namespace {

using TRow = std::vector<std::string>;

struct Measure : ::testing::Test {
  TRecordingFeedback Fb;
  TTempDir Dir;
  TScriptedPbx Pbx;
  TKXTAcomm S;

  Measure() {
    RegisterCommDevice("measurepbx", [this] { return Pbx.Line.CreateDevice("measurepbx"); });
    TSessionTiming& t = S.Timing;
    t.DirectTimeout = 1000;
    t.SlowPause = t.OpenPause = t.PromptPause = t.ByePause = 1;
    t.LoginPause = 5;
    t.DisconnectPause = t.DisconnectTail = t.ClosePause = 1;
    S.SetErrorLogFile(Dir.File("Error.log"));
  }
  ~Measure() override {
    S.Disconnect();
    UnregisterCommDevice("measurepbx");
  }
  int Connect() {
    int dial = -1;
    return S.ConnectDevice("measurepbx", 3, 0, 1, 0, "1234", 0, false, "", "", 0, dial);
  }
  // The file's phase lines, split at the tabs; the header line apart.
  std::vector<TRow> Rows(const std::string& File, std::string& Header) const {
    std::vector<TRow> rows;
    std::istringstream in(Dir.Read(File));
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line[0] == '#') {
        Header = line;
        continue;
      }
      TRow r;
      std::istringstream cells(line);
      std::string c;
      while (std::getline(cells, c, '\t')) r.push_back(c);
      rows.push_back(r);
    }
    return rows;
  }
};

long long N(const TRow& R, size_t Column) { return std::atoll(R.at(Column).c_str()); }
enum { cKind, cIndex, cStart, cWall, cCpu, cSent, cReceived, cExchanges, cCommands, cPause, cOk,
       cRxWakeups, cReplyWakeups, cTitle };

// Each phase holds the traffic, time and CPU between its own Begin and End. The clocks are
// the test's, moved by hand as the phases' work would move them, so nothing here depends on
// how much CPU the machine gives the test. Catches a phase that counts from an earlier mark
// (the log-in's bytes or the step before's CPU in a step) and columns out of place.
TEST_F(Measure, EachPhaseHoldsOnlyItsOwnTrafficTimeAndCpu) {
  using std::chrono::milliseconds;
  std::chrono::steady_clock::time_point wall{};
  uint64_t cpu = 0;
  const auto work = [&](int WallMs, int CpuMs) {
    wall += milliseconds(WallMs);
    cpu += static_cast<uint64_t>(CpuMs) * 1000u;
  };
  Pbx.Data["604E01//"] = "604E01/1,2,3/";
  TRunMeasure m(S, {[&] { return wall; }, [&] { return cpu; }});
  m.Begin();
  ASSERT_EQ(Connect(), 0);
  work(300, 2);
  m.End("connect", 0, "Connect", true);
  work(1, 1);  // between two phases: counts to neither

  TStringList lines;
  m.Begin();
  ASSERT_TRUE(S.SendCommand("604E01//", lines, ";E>"));
  ASSERT_TRUE(S.SendCommand("604E01//", lines, ";E>"));
  work(45, 30);
  m.End("step", 0, "Extensions", true);

  m.Begin();
  work(40, 0);
  m.End("step", 7, "Account Codes", false);
  work(2, 3);

  m.Begin();
  S.Disconnect();
  work(10, 1);
  m.End("disconnect", 0, "Disconnect", true);

  std::string error, header;
  ASSERT_TRUE(m.Write(Dir.File("run.measure"), error)) << error;
  const std::vector<TRow> rows = Rows("run.measure", header);
  EXPECT_EQ(header.rfind("# phase\tindex\tstart_us\twall_us\tcpu_us\t", 0), 0u) << header;
  ASSERT_EQ(rows.size(), 4u);
  for (const TRow& r : rows) ASSERT_EQ(r.size(), 14u);

  const TRow &conn = rows[0], &busy = rows[1], &idle = rows[2], &bye = rows[3];
  EXPECT_EQ(conn[cKind], "connect");
  EXPECT_GT(N(conn, cExchanges), 0);
  EXPECT_EQ(N(conn, cCommands), 0);  // the log-in's exchanges are no commands
  EXPECT_GT(N(conn, cPause), 0);

  // Two commands of nine typed bytes each, and what the PBX sent for them: not the log-in's.
  EXPECT_EQ(busy[cKind], "step");
  EXPECT_EQ(busy[cTitle], "Extensions");
  EXPECT_EQ(N(busy, cCommands), 2);
  EXPECT_EQ(N(busy, cExchanges), 2);
  EXPECT_EQ(N(busy, cSent), 18);
  EXPECT_EQ(N(busy, cReceived),
            2 * static_cast<long long>(
                    std::string("604E01//\r\r\n;=>604E01/1,2,3/\r\n;E>").size()));
  EXPECT_EQ(N(busy, cPause), 0);
  EXPECT_EQ(busy[cOk], "1");
  // The watcher's wake-ups: every typed character waits for its echo, so at least one per
  // typed byte, yet fewer than the bytes received (a count per byte instead of per wake-up
  // would equal them); the reply's waiter is woken for each command's prompt and not for each
  // echo (a count outside the wake's condition would equal the watcher's).
  EXPECT_GE(N(busy, cRxWakeups), N(busy, cSent));
  EXPECT_LT(N(busy, cRxWakeups), N(busy, cReceived));
  EXPECT_GE(N(busy, cReplyWakeups), N(busy, cCommands));
  EXPECT_LT(N(busy, cReplyWakeups), N(busy, cRxWakeups));

  EXPECT_EQ(idle[cIndex], "7");
  EXPECT_EQ(idle[cTitle], "Account Codes");  // a title with a blank stays one cell
  EXPECT_EQ(idle[cOk], "0");
  EXPECT_EQ(N(idle, cSent) + N(idle, cReceived) + N(idle, cCommands) + N(idle, cRxWakeups), 0);

  EXPECT_EQ(bye[cKind], "disconnect");
  EXPECT_GT(N(bye, cSent), 0);
  EXPECT_GT(N(bye, cPause), 0);

  // Start (from the first phase), wall time and CPU of each phase, in microseconds.
  const long long expected[4][3] = {
      {0, 300000, 2000}, {301000, 45000, 30000}, {346000, 40000, 0}, {388000, 10000, 1000}};
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(N(rows[i], cStart), expected[i][0]) << rows[i][cTitle];
    EXPECT_EQ(N(rows[i], cWall), expected[i][1]) << rows[i][cTitle];
    EXPECT_EQ(N(rows[i], cCpu), expected[i][2]) << rows[i][cTitle];
  }
}

// The process's own clocks: a phase's CPU lies between what getrusage says just inside and
// just outside it, however much CPU the machine gives. Catches a CPU clock that reads nothing
// or something else than the process's user and system time.
TEST_F(Measure, ProcessClocksGiveAPhaseTheCpuGetrusageSeesAroundIt) {
  const auto cpu = [] {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec +
           u.ru_stime.tv_usec;
  };
  TRunMeasure m(S);
  const long long before = cpu();
  m.Begin();
  const long long inFrom = cpu();
  // Works until the process has used some CPU inside the phase: a condition, not an amount.
  long long inTo = inFrom;
  while (inTo == inFrom) inTo = cpu();
  m.End("step", 0, "Extensions", true);
  const long long after = cpu();

  std::string error, header;
  ASSERT_TRUE(m.Write(Dir.File("run.measure"), error)) << error;
  const std::vector<TRow> rows = Rows("run.measure", header);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_GE(N(rows[0], cCpu), inTo - inFrom);
  EXPECT_LE(N(rows[0], cCpu), after - before);
}

}  // namespace
