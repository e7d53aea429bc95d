// Faults on a real serial line: the session and the group run over the termios backend against
// kxta-sim on a pseudo-terminal. Each test checks that the fault is reported clearly, that every
// block read is kept and true, that what was not read is not actual, and that the same session
// and store work for the next connection once the line is mended.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>

#include "CliProcess.h"
#include "CommDevice.h"
#include "CommKXTA.h"
#include "DemoLine.h"
#include "FaultSupport.h"
#include "FileBlocks.h"
#include "Groups.h"
#include "RecordingFeedback.h"
#include "SimPbx.h"
#include "SysData.h"
#include "TempDir.h"

namespace {

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point T) {
  return std::chrono::duration<double>(TClock::now() - T).count();
}

class FaultPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    comm.Timing = FastTiming();
    comm.SetErrorLogFile(dir.File("Error.log"));
    SetPbxComm(&comm);
  }
  void TearDown() override {
    comm.OnCommand = nullptr;
    if (comm.PortOpen()) comm.Disconnect();
    SetPbxComm(nullptr);
  }
  int Connect(const std::string& Path, TSysData& Store) {
    int dial = 0;
    const int r = comm.ConnectDevice(Path, 3, 0, 1, 0, "7392", 0, false, "", "", 0, dial);
    if (r == 0) Store.Version.SetModel(comm.PbxVersion());
    return r;
  }
  TRunResult Run(TSysData& Store, TRunDirection Direction) {
    sent = TSentLog();
    sent.Attach(comm);
    const TRunResult r = RunGroups(Store, Direction);
    comm.OnCommand = nullptr;
    return r;
  }
  // After the fault: mend the line, connect again with the same session and read everything.
  void ExpectNextConnectionReadsAll(TSim& Sim, TSysData& Store) {
    ASSERT_TRUE(Sim.Mend());
    feedback.Errors.clear();
    ASSERT_EQ(Connect(Sim.Path(), Store), 0);
    EXPECT_FALSE(comm.LineLost());
    const TRunResult r = Run(Store, TRunDirection::Read);
    EXPECT_TRUE(r.Ok) << (feedback.Errors.empty() ? "" : feedback.Errors.front());
    const TTally t = Tally(Store, factoryLine);
    EXPECT_EQ(t.Stale, 0);
    EXPECT_TRUE(t.Wrong.empty()) << t.Wrong.front();
    EXPECT_GT(t.Actual, 3000);
    comm.Disconnect();
  }
  static bool Has(const std::vector<TGroupId>& Ids, TGroupId Id) {
    return std::find(Ids.begin(), Ids.end(), Id) != Ids.end();
  }

  TTempDir dir;
  TRecordingFeedback feedback;
  TKXTAcomm comm;
  TSentLog sent;
  TSimPbx factory;
  std::function<std::string(const std::string&)> factoryLine = [this](const std::string& H) {
    return factory.Line(H);
  };
};

TEST_F(FaultPtyTest, PbxFallingSilentMidReadIsReportedOnceAndTheRestIsNotActual) {
  TSim sim({"--baud", "0", "--silent-after", "150"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TSysData store;
  // A complete read in an earlier connection: after the next connect none of it is actual.
  {
    TSim clean({"--baud", "0"}, dir.File("clean.err"));
    ASSERT_EQ(Connect(clean.Path(), store), 0);
    ASSERT_TRUE(Run(store, TRunDirection::Read).Ok);
    comm.Disconnect();
  }
  ASSERT_EQ(Connect(sim.Path(), store), 0);
  const auto t0 = TClock::now();
  const TRunResult r = Run(store, TRunDirection::Read);
  const double seconds = SecondsSince(t0);
  EXPECT_FALSE(r.Ok);
  EXPECT_FALSE(r.Aborted);
  EXPECT_EQ(r.StepsRun, kGroupCount);
  EXPECT_EQ(r.Failed.size(), size_t(kGroupCount));  // the silence falls in the first step
  EXPECT_TRUE(comm.LineLost());
  EXPECT_FALSE(comm.LoggedIn());
  // One box, which says what happened, instead of one per command.
  ASSERT_EQ(feedback.Errors.size(), 1u);
  EXPECT_NE(feedback.Errors[0].find("has not answered"), std::string::npos) << feedback.Errors[0];
  // The silence costs one timeout, not one per remaining command.
  EXPECT_LT(seconds, 5.0);
  const TTally t = Tally(store, factoryLine);
  EXPECT_TRUE(t.Wrong.empty()) << t.Wrong.front();
  EXPECT_GT(t.Actual, 100);  // what came before the silence
  EXPECT_GT(t.Stale, 2000);  // the rest is from the earlier connection, kept, not actual
  EXPECT_GT(store.List(idList001S).Count(), 0);
  EXPECT_FALSE(store.List(idList001S).IsActual(1));
  ExpectNextConnectionReadsAll(sim, store);
}

TEST_F(FaultPtyTest, ReplyCutInsideADataLineTakesNothingOfIt) {
  TSim sim({"--baud", "0", "--trace", "--cut-after", "6013"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TSysData store;
  ASSERT_EQ(Connect(sim.Path(), store), 0);
  const TRunResult r = Run(store, TRunDirection::Read);
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(comm.LineLost());
  // The line broke inside a data line: what the PBX sent last is the start of one.
  std::string out;
  for (const std::string& l : SplitLines(ReadFile(dir.File("sim.err"))))
    if (l.rfind(">> ", 0) == 0) out += l.substr(3);
  const std::string tail = out.substr(out.rfind("<LF>") + 4);
  ASSERT_EQ(tail.rfind(";=>", 0), 0u) << tail;
  // Two messages: the half answer, then the silence that followed.
  ASSERT_EQ(feedback.Errors.size(), 2u);
  EXPECT_NE(feedback.Errors[0].find(tail.substr(3)), std::string::npos) << feedback.Errors[0];
  EXPECT_NE(feedback.Errors[1].find("has not answered"), std::string::npos);
  const TTally t = Tally(store, factoryLine);
  EXPECT_TRUE(t.Wrong.empty()) << t.Wrong.front();
  EXPECT_GT(t.Actual, 100);
  // The half line's block stayed empty.
  const std::string cutHead = HeadOf(tail.substr(3));
  ForEachFileBlock(store, [&](const TCmdData& B) { EXPECT_NE(HeadOf(B.Data()), cutHead); });
  ExpectNextConnectionReadsAll(sim, store);
}

TEST_F(FaultPtyTest, LineNoiseNeverMakesAStructurallyBrokenLineActual) {
  TSim sim({"--baud", "0", "--noise", "0.002", "--seed", "11"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TSysData store;
  // Noise can hit the log-in too; a technician connects again.
  int r = -1;
  for (int attempt = 0; attempt < 3 && r != 0; ++attempt) r = Connect(sim.Path(), store);
  ASSERT_EQ(r, 0);
  const TRunResult run = Run(store, TRunDirection::Read);
  EXPECT_FALSE(run.Ok);
  EXPECT_FALSE(comm.LineLost());  // noise is no lost line: every command was still tried
  EXPECT_FALSE(feedback.Errors.empty());
  const TTally t = Tally(store, factoryLine);
  EXPECT_GT(t.Actual, 1000);
  // A noise byte the program cannot tell from data (a printable character inside the items)
  // is the only way a wrong line can become actual: such a line is the PBX's with one
  // character more, and it keeps its head and its two "/".
  for (const std::string& w : t.Wrong) {
    const std::string held = w.substr(0, w.find(" | "));
    const std::string pbx = w.substr(w.find(" | ") + 3);
    ASSERT_EQ(held.size(), pbx.size() + 1) << w;
    bool oneInserted = false;
    for (size_t i = 0; i < held.size() && !oneInserted; ++i)
      oneInserted = held.substr(0, i) + held.substr(i + 1) == pbx;
    EXPECT_TRUE(oneInserted) << w;
    EXPECT_EQ(std::count(held.begin(), held.end(), '/'), 2) << w;
    // Never in the head: a key the program does not have is refused, in lists too.
    EXPECT_EQ(HeadOf(held), HeadOf(pbx)) << w;
  }
  const size_t errors = feedback.Errors.size();
  ExpectNextConnectionReadsAll(sim, store);
  const std::string err = ReadFile(dir.File("sim.err"));
  const size_t at = err.find("faults cleared (");
  std::printf("noise: %s; %d blocks actual, %zu wrong (a printable byte inside the items), "
              "%zu errors reported\n",
              at == std::string::npos ? "?" : err.substr(at + 16, err.find(')', at) - at - 16).c_str(),
              t.Actual, t.Wrong.size(), errors);
}

TEST_F(FaultPtyTest, CommandErrorOnOneProgramFailsOnlyItsStepAndItsBlocks) {
  TSim sim({"--baud", "0", "--refuse", "604E03", "--refuse", "P05BC*"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TSysData store;
  ASSERT_EQ(Connect(sim.Path(), store), 0);
  const TRunResult r = Run(store, TRunDirection::Read);
  EXPECT_FALSE(r.Ok);
  ASSERT_EQ(r.Failed.size(), 1u);
  EXPECT_EQ(r.Failed[0], grExtensions);
  EXPECT_FALSE(comm.LineLost());
  ASSERT_EQ(feedback.Errors.size(), 2u);
  EXPECT_NE(feedback.Errors[0].find("Command error"), std::string::npos);
  EXPECT_TRUE(store.Extensions.Jacks(3).BlockOf("604E").Data().empty());
  EXPECT_EQ(store.Extensions.Jacks(5).BC.Count(), 0);
  EXPECT_TRUE(store.Extensions.Jacks(4).BlockOf("604E").IsActual());
  const TTally t = Tally(store, factoryLine);
  EXPECT_TRUE(t.Wrong.empty()) << t.Wrong.front();
  EXPECT_EQ(t.Stale, 0);
  const std::string log = ReadFile(dir.File("Error.log"));
  size_t entries = 0;
  for (size_t p = log.find("waResult=8"); p != std::string::npos; p = log.find("waResult=8", p + 1))
    ++entries;
  EXPECT_EQ(entries, 2u);

  // An upload: the refused block stays changed, the other one is confirmed.
  store.Extensions.Jacks(3).BlockOf("604E").SetData("604E03/Store/");
  store.Extensions.Jacks(4).BlockOf("604E").SetItemStr(1, "Office");
  const TRunResult up = Run(store, TRunDirection::UploadChanged);
  EXPECT_EQ(up.Failed, std::vector<TGroupId>{grExtensions});
  EXPECT_EQ(sent.Writes(), 2);
  EXPECT_TRUE(store.Extensions.Jacks(3).BlockOf("604E").Changed);
  EXPECT_FALSE(store.Extensions.Jacks(4).BlockOf("604E").Changed);
  comm.Disconnect();
  // Once the PBX takes it, "upload changed" sends exactly the one that is left.
  ASSERT_TRUE(sim.Mend());
  ASSERT_EQ(Connect(sim.Path(), store), 0);
  EXPECT_TRUE(Run(store, TRunDirection::UploadChanged).Ok);
  EXPECT_EQ(sent.All, std::vector<std::string>{"604E03/Store/"});
  comm.Disconnect();
}

TEST_F(FaultPtyTest, AnswerLargerThanTheRingIsRefusedAndNotTakenForTheNextCommand) {
  TSim sim({"--baud", "0", "--oversize", "009S*"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  TSysData store;
  ASSERT_EQ(Connect(sim.Path(), store), 0);
  const TRunResult r = Run(store, TRunDirection::Read);
  EXPECT_FALSE(r.Ok);
  EXPECT_FALSE(comm.LineLost());
  ASSERT_FALSE(feedback.Errors.empty());
  EXPECT_NE(feedback.Errors[0].find("longer than the receive buffer"), std::string::npos)
      << feedback.Errors[0];
  // Program 009 is read twice (Extensions, System parameters); both answers overran.
  EXPECT_EQ(feedback.Errors.size(), 2u);
  EXPECT_EQ(store.Extensions.Cmd009.Count(), 0);
  // The commands after it got their own answers.
  const TTally t = Tally(store, factoryLine);
  EXPECT_TRUE(t.Wrong.empty()) << t.Wrong.front();
  EXPECT_EQ(t.Stale, 0);
  EXPECT_EQ(store.Extensions.SharedList(0).Count(), 4);
  ExpectNextConnectionReadsAll(sim, store);
}

TEST_F(FaultPtyTest, OneBytePiecesWithGapsJustUnderTheTimeoutStillGetThrough) {
  // 150 ms between bytes against a silence timeout of 1 s, over an exchange that takes many
  // times the timeout: only a timer that restarts at each byte lets it through. (The timeout
  // keeps a wide margin over the gaps, so that a loaded machine's late wake-up cannot pass for
  // silence.)
  TSim sim({"--baud", "0", "--split", "1", "--gap-ms", "150"}, dir.File("sim.err"));
  ASSERT_FALSE(sim.Path().empty());
  comm.Timing.DirectTimeout = 1000;
  comm.Timing.EchoWait = 1000;
  TSysData store;
  const auto t0 = TClock::now();
  ASSERT_EQ(Connect(sim.Path(), store), 0) << (feedback.Errors.empty() ? "" : feedback.Errors[0]);
  ASSERT_TRUE(store.Block(idCmd100S).ReadPBX("100S//"));
  EXPECT_EQ(store.Block(idCmd100S).Data(), factory.Line("100S"));
  EXPECT_TRUE(store.Block(idCmd100S).IsActual());
  EXPECT_TRUE(feedback.Errors.empty());
  // The pieces really came slowly: about a hundred bytes, 150 ms each.
  EXPECT_GT(SecondsSince(t0), 10.0);
  comm.Disconnect();
  ASSERT_TRUE(sim.Mend());
  ASSERT_EQ(Connect(sim.Path(), store), 0);
  EXPECT_TRUE(store.Block(idCmd101S).ReadPBX("101S//"));
  comm.Disconnect();
}

// ---- Upload safety ---------------------------------------------------------------------

class UploadSafetyTest : public FaultPtyTest {
 protected:
  // A site file: the factory configuration read from the simulator, with edits spread over
  // every part of the upload, including two jacks that swap their extension numbers.
  void MakeSiteFile() {
    TSim sim({"--baud", "0"}, dir.File("make.err"));
    TSysData s;
    ASSERT_EQ(Connect(sim.Path(), s), 0);
    ASSERT_TRUE(Run(s, TRunDirection::Read).Ok);
    comm.Disconnect();
    for (int j : {1, 7, 13, 24}) s.Extensions.Jacks(j).BlockOf("604E").SetItemStr(1, "Room" + std::to_string(j));
    s.Extensions.Cmd009.Items(0).SetItemStr(1, "102");
    s.Extensions.Cmd009.Items(1).SetItemStr(1, "101");
    s.Block(idCmd103S).SetItemInt(1, 1 - s.Block(idCmd103S).ItemInt(1));
    s.Block(idCmd006S).SetItemInt(1, 1 - s.Block(idCmd006S).ItemInt(1));
    ASSERT_TRUE(s.SaveToFile(dir.File("site.ta")));
  }
};

TEST_F(UploadSafetyTest, UploadCutAfterNCommandsIsFinishedByTheNextUploadOfChanges) {
  MakeSiteFile();
  TSysData wanted;
  ASSERT_TRUE(wanted.LoadFromFile(dir.File("site.ta")));
  // The whole upload once, to know its length and where program 009 goes out.
  int total = 0, first009 = 0;
  {
    TSim sim({"--baud", "0"}, dir.File("full.err"));
    TSysData s;
    ASSERT_TRUE(s.LoadFromFile(dir.File("site.ta")));
    ASSERT_EQ(Connect(sim.Path(), s), 0);
    ASSERT_TRUE(Run(s, TRunDirection::UploadChanged).Ok);
    comm.Disconnect();
    total = int(sent.All.size());
    first009 = int(std::find_if(sent.All.begin(), sent.All.end(),
                                [](const std::string& c) { return c.rfind("009S", 0) == 0; }) -
                   sent.All.begin());
  }
  ASSERT_GT(total, 500);
  // Log-in: TA616, VER, EDT, the password, INT.
  constexpr int kLogin = 5;
  // Cuts spread over the whole upload, two of them inside program 009: between the temporary
  // numbers, and on a final line (whose failed write must not hide it from the next upload).
  for (int n : {0, total / 5, first009 + 2, first009 + 5, total * 3 / 4, total - 1}) {
    SCOPED_TRACE("cut after " + std::to_string(n) + " of " + std::to_string(total));
    const auto t0 = TClock::now();
    feedback.Errors.clear();
    const std::string state = dir.File("state" + std::to_string(n) + ".txt");
    TSim sim({"--baud", "0", "--silent-after", std::to_string(kLogin + n), "--state", state},
             dir.File("sim.err"));
    TSysData s;
    ASSERT_TRUE(s.LoadFromFile(dir.File("site.ta")));
    const std::vector<std::string> before = ChangedHeads(s);
    ASSERT_EQ(Connect(sim.Path(), s), 0);
    EXPECT_FALSE(Run(s, TRunDirection::UploadChanged).Ok);
    EXPECT_TRUE(comm.LineLost());
    EXPECT_EQ(feedback.Errors.size(), 1u);
    // Sent: the n answered commands and the one that met the silence.
    EXPECT_EQ(int(sent.All.size()), n + 1);
    const std::vector<std::string> first = sent.All;
    const std::vector<std::string> left = ChangedHeads(s);
    comm.Disconnect();

    ASSERT_TRUE(sim.Mend());
    ASSERT_EQ(Connect(sim.Path(), s), 0);
    const TRunResult r = Run(s, TRunDirection::UploadChanged);
    EXPECT_TRUE(r.Ok) << (feedback.Errors.size() > 1 ? feedback.Errors[1] : "");
    EXPECT_TRUE(ChangedHeads(s).empty());
    // Exactly the rest: every block still marked changed, once; nothing the PBX had confirmed.
    // Program 009 may add its reference read and temporary numbers.
    std::multiset<std::string> rest, sentRest;
    for (const std::string& h : left)
      if (h.rfind("009S", 0) != 0) rest.insert(h);
    for (const std::string& h : sent.WrittenHeads())
      if (h.rfind("009S", 0) != 0) sentRest.insert(h);
    EXPECT_EQ(sentRest, rest);
    EXPECT_EQ(int(first.size()) - 1 + int(sent.All.size()) <= total + 30, true);
    comm.Disconnect();
    ASSERT_EQ(sim.Stop(), 0);
    std::printf("cut after %d: %zu + %zu commands, %.1f s\n", n, first.size(), sent.All.size(),
                SecondsSince(t0));

    // The PBX now holds the file's configuration, line for line.
    TSimPbx held;
    ASSERT_TRUE(held.LoadState(state));
    int compared = 0;
    ForEachFileBlock(wanted, [&](const TCmdData& B) {
      if (B.Data().empty()) return;
      EXPECT_EQ(held.Line(HeadOf(B.Data())), B.Data());
      ++compared;
    });
    EXPECT_GT(compared, 3000);
    EXPECT_EQ(before.size(), size_t(compared));
  }
}

// ---- Modem-control lines: the in-process simulator ----------------------------------------
// A pseudo-terminal has no DSR or carrier, so these faults run on the simulator's in-memory
// line (TDemoLine: the same session, port and watcher code, a memory device under them).

class FaultLineTest : public FaultPtyTest {
 protected:
  void SetUp() override {
    FaultPtyTest::SetUp();
    RegisterCommDevice("faultline", [this] { return line.Line().CreateDevice("faultline"); });
  }
  void TearDown() override {
    FaultPtyTest::TearDown();
    UnregisterCommDevice("faultline");
  }
  int ConnectModem(TSysData& Store) {
    int dial = 0;
    const int r = comm.ConnectDevice("faultline", 3, 0, 1, 0, "7392", 0, true, "", "123", 2, dial);
    if (r == 0) Store.Version.SetModel(comm.PbxVersion());
    return r;
  }
  std::string PbxLine(const std::string& Head) {
    std::string l;
    line.Control([&](TSimPbx& P) { l = P.Line(Head); });
    return l;
  }
  // Runs F on the PBX when the session is about to send its N-th command of the run.
  void AtCommand(int N, std::function<void(TSimPbx&)> F) {
    auto count = std::make_shared<int>(0);
    comm.OnCommand = [this, N, F, count](const std::string& C) {
      sent.All.push_back(C);
      if (++*count == N) line.Control(F);
    };
  }
  TDemoLine line;
};

TEST_F(FaultLineTest, DsrDroppedWhileOnlineEndsTheReadAtOnceAndTheNextConnectionWorks) {
  TSysData store;
  ASSERT_EQ(Connect("faultline", store), 0);
  sent = TSentLog();
  AtCommand(200, [](TSimPbx& P) { P.SetDsr(false); });
  const auto t0 = TClock::now();
  const TRunResult r = RunGroups(store, TRunDirection::Read);
  comm.OnCommand = nullptr;
  EXPECT_FALSE(r.Ok);
  EXPECT_LT(SecondsSince(t0), 3.0);
  EXPECT_TRUE(comm.LineLost());
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_EQ(sent.All.size(), 200u);  // nothing is sent after the command that met the drop
  ASSERT_EQ(feedback.Errors.size(), 1u);
  EXPECT_NE(feedback.Errors[0].find("dropped DSR"), std::string::npos) << feedback.Errors[0];
  const TTally t = Tally(store, factoryLine);
  EXPECT_TRUE(t.Wrong.empty()) << t.Wrong.front();
  EXPECT_GT(t.Actual, 199);  // lists give several blocks per command
  // The cable is back: the same session connects and reads everything.
  line.Control([](TSimPbx& P) { P.SetDsr(true); });
  feedback.Errors.clear();
  ASSERT_EQ(Connect("faultline", store), 0);
  EXPECT_TRUE(Run(store, TRunDirection::Read).Ok);
  const TTally all = Tally(store, factoryLine);
  EXPECT_EQ(all.Stale, 0);
  EXPECT_TRUE(all.Wrong.empty());
  comm.Disconnect();
}

TEST_F(FaultLineTest, CarrierLostDuringAnUploadKeepsTheRestChangedForTheNextCall) {
  line.Control([](TSimPbx& P) { P.SetModemEnabled(true); });
  // The site: the PBX read through the modem, then edited and saved.
  {
    TSysData s;
    ASSERT_EQ(ConnectModem(s), 0);
    ASSERT_TRUE(Run(s, TRunDirection::Read).Ok);
    comm.Disconnect();
    for (int j : {2, 9, 20}) s.Extensions.Jacks(j).BlockOf("604E").SetItemStr(1, "Desk" + std::to_string(j));
    s.Extensions.Cmd009.Items(2).SetItemStr(1, "104");
    s.Extensions.Cmd009.Items(3).SetItemStr(1, "103");
    s.Block(idCmd103S).SetItemInt(1, 1 - s.Block(idCmd103S).ItemInt(1));
    ASSERT_TRUE(s.SaveToFile(dir.File("site.ta")));
  }
  TSysData store;
  ASSERT_TRUE(store.LoadFromFile(dir.File("site.ta")));
  const size_t all = ChangedHeads(store).size();
  int lost = 0;
  comm.OnCarrierLost = [&lost] { ++lost; };
  ASSERT_EQ(ConnectModem(store), 0);
  sent = TSentLog();
  AtCommand(1000, [](TSimPbx& P) { P.DropCarrier(); });
  EXPECT_FALSE(RunGroups(store, TRunDirection::UploadChanged).Ok);
  comm.OnCommand = nullptr;
  EXPECT_EQ(lost, 1);
  EXPECT_TRUE(comm.LineLost());
  EXPECT_FALSE(comm.ModemMode());
  EXPECT_EQ(sent.All.size(), 1000u);
  ASSERT_EQ(feedback.Errors.size(), 1u);
  EXPECT_NE(feedback.Errors[0].find("carrier is lost"), std::string::npos) << feedback.Errors[0];
  // 999 writes were answered; the one that met the drop and everything after it is changed.
  EXPECT_EQ(ChangedHeads(store).size(), all - 999);

  // A second call finishes the job with exactly the rest.
  feedback.Errors.clear();
  const std::vector<std::string> left = ChangedHeads(store);
  ASSERT_EQ(ConnectModem(store), 0);
  EXPECT_TRUE(Run(store, TRunDirection::UploadChanged).Ok)
      << (feedback.Errors.empty() ? "" : feedback.Errors[0]);
  EXPECT_TRUE(ChangedHeads(store).empty());
  std::multiset<std::string> rest(left.begin(), left.end()), got;
  for (const std::string& h : sent.WrittenHeads()) got.insert(h);
  for (auto it = rest.begin(); it != rest.end();) it = it->rfind("009S", 0) == 0 ? rest.erase(it) : ++it;
  for (auto it = got.begin(); it != got.end();) it = it->rfind("009S", 0) == 0 ? got.erase(it) : ++it;
  EXPECT_EQ(got, rest);
  comm.Disconnect();
  TSysData wanted;
  ASSERT_TRUE(wanted.LoadFromFile(dir.File("site.ta")));
  ForEachFileBlock(wanted, [&](const TCmdData& B) {
    if (!B.Data().empty()) {
      EXPECT_EQ(PbxLine(HeadOf(B.Data())), B.Data());
    }
  });
}

}  // namespace
