// The run measurements (--measure of kxta and kxta-config) over a session on an in-memory line:
// what the benchmark reads must be each phase's own share of the traffic, time and CPU.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

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
       cTitle };

TEST_F(Measure, EachPhaseHoldsOnlyItsOwnTrafficTimeAndCpu) {
  Pbx.Data["604E01//"] = "604E01/1,2,3/";
  TRunMeasure m(S);
  m.Begin();
  ASSERT_EQ(Connect(), 0);
  m.End("connect", 0, "Connect", true);

  TStringList lines;
  m.Begin();
  ASSERT_TRUE(S.SendCommand("604E01//", lines, ";E>"));
  ASSERT_TRUE(S.SendCommand("604E01//", lines, ";E>"));
  // Work on this thread: the phase's CPU must show it, the next phase's must not.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(40);
  volatile unsigned spin = 0;
  while (std::chrono::steady_clock::now() < until) spin = spin + 1;
  m.End("step", 0, "Extensions", true);

  m.Begin();
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  m.End("step", 7, "Account Codes", false);

  m.Begin();
  S.Disconnect();
  m.End("disconnect", 0, "Disconnect", true);

  std::string error, header;
  ASSERT_TRUE(m.Write(Dir.File("run.measure"), error)) << error;
  const std::vector<TRow> rows = Rows("run.measure", header);
  EXPECT_EQ(header.rfind("# phase\tindex\tstart_us\twall_us\tcpu_us\t", 0), 0u) << header;
  ASSERT_EQ(rows.size(), 4u);
  for (const TRow& r : rows) ASSERT_EQ(r.size(), 12u);

  const TRow &conn = rows[0], &busy = rows[1], &idle = rows[2], &bye = rows[3];
  EXPECT_EQ(conn[cKind], "connect");
  EXPECT_EQ(N(conn, cStart), 0);  // the first phase is the origin
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
  EXPECT_GE(N(busy, cCpu), 20000);

  EXPECT_EQ(idle[cIndex], "7");
  EXPECT_EQ(idle[cTitle], "Account Codes");  // a title with a blank stays one cell
  EXPECT_EQ(idle[cOk], "0");
  EXPECT_EQ(N(idle, cSent) + N(idle, cReceived) + N(idle, cCommands), 0);
  EXPECT_GE(N(idle, cWall), 40000);
  EXPECT_LT(N(idle, cCpu), 15000);

  EXPECT_EQ(bye[cKind], "disconnect");
  EXPECT_GT(N(bye, cSent), 0);
  EXPECT_GT(N(bye, cPause), 0);

  // The phases follow each other on one clock.
  for (size_t i = 1; i < rows.size(); ++i)
    EXPECT_GE(N(rows[i], cStart), N(rows[i - 1], cStart) + N(rows[i - 1], cWall));
}

}  // namespace
