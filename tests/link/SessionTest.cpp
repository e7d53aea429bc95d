// The PBX session against a scripted PBX on an in-memory line, with small timeouts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include <functional>

#include "CommDevice.h"
#include "CommKXTA.h"
#include "DateTime.h"
#include "Paths.h"
#include "Stream.h"
#include "support/RecordingFeedback.h"
#include "support/ScriptedPbx.h"
#include "support/TempDir.h"

namespace {

// Records like the test feedback and can run one action inside the next wait, the way a
// window event is handled while the session pumps messages.
class TPumpingFeedback : public TRecordingFeedback {
 public:
  void WaitForActivity(int Ms) override {
    if (DuringWait) {
      auto f = std::move(DuringWait);
      DuringWait = nullptr;
      f();
    }
    TFeedback::WaitForActivity(Ms);
  }
  std::function<void()> DuringWait;
};

struct Session : ::testing::Test {
  TPumpingFeedback Fb;
  TTempDir Dir;
  TScriptedPbx Pbx;
  TKXTAcomm S;

  Session() {
    RegisterCommDevice("testpbx", [this] { return Pbx.Line.CreateDevice("testpbx"); });
    TSessionTiming& t = S.Timing;
    t.DirectTimeout = 150;
    t.ModemTimeout = 150;
    t.ExchangeLimit = 3000;
    t.ErrorTail = 100;
    t.EchoWait = 100;
    t.SlowPause = 1;
    t.OpenPause = 1;
    t.PromptPause = 1;
    t.ByePause = 1;
    t.LoginPause = 5;
    t.FailPause = 5;
    t.DisconnectPause = 1;
    t.DisconnectTail = 1;
    t.ClosePause = 1;
    t.RenamePause = 1;
    t.DialEchoLimit = 100;
    S.SetErrorLogFile(Dir.File("Error.log"));
  }
  ~Session() override {
    S.Disconnect();
    UnregisterCommDevice("testpbx");
  }
  int Connect(const std::string& Password = "1234") {
    int dial = -1;
    return S.ConnectDevice("testpbx", 3, 0, 1, 0, Password, 0, false, "", "", 0, dial);
  }
  int ConnectModem(const std::string& Init, const std::string& Number, int& Dial, int WaitCD = 1) {
    Pbx.Modem = true;
    return S.ConnectDevice("testpbx", 3, 0, 1, 0, "1234", 0, true, Init, Number, WaitCD, Dial);
  }
  using L = std::vector<std::string>;
};

TEST_F(Session, LoginWithAnIdlePbx) {
  Pbx.Version = "KX-TA624 V2.01";
  ASSERT_EQ(Connect(), 0);
  EXPECT_TRUE(S.LoggedIn());
  EXPECT_EQ(S.PbxVersion(), "KX-TA624 V2.01");
  EXPECT_GT(S.ConnectTime(), 0.0);
  EXPECT_FALSE(S.ModemMode());
  EXPECT_EQ(Pbx.Received(), (L{"TA616", "VER", "EDT", "1234", "INT"}));
  EXPECT_TRUE(Pbx.Line.Dtr());
  EXPECT_TRUE(Pbx.Line.Rts());
}

TEST_F(Session, SilentPbxGivesNoReactionAfterThreeAttemptsAndAGoodbye) {
  Pbx.Silent = true;
  EXPECT_EQ(Connect(), 2);
  EXPECT_EQ(Pbx.Received(), (L{"TA616", "TA616", "TA616", "BYE"}));
  EXPECT_FALSE(Pbx.Line.HostIsOpen());
  EXPECT_FALSE(S.LoggedIn());
  EXPECT_EQ(S.ConnectTime(), 0.0);
}

TEST_F(Session, PbxLeftInEditModeLogsInWithoutPassword) {
  Pbx.StartInEditMode = true;
  ASSERT_EQ(Connect(), 0);  // Login itself said 3: logged in, was not idle
  EXPECT_TRUE(S.LoggedIn());
  EXPECT_EQ(Pbx.Received(), (L{"TA616", "END", "END", "VER", "EDT", "INT"}));
  // The PBX is in edit mode now, so a fresh login reports the same.
  EXPECT_EQ(S.Login("1234", 0), 3);
}

TEST_F(Session, PasswordAskedAtWakeUp) {
  Pbx.PasswordAtWakeup = true;
  ASSERT_EQ(Connect(), 0);
  EXPECT_EQ(Pbx.Received(), (L{"TA616", "1234", "END", "END", "VER", "EDT", "INT"}));
}

TEST_F(Session, WrongPasswordEndsAtOnceWithoutRetry) {
  Pbx.PasswordAtWakeup = true;
  EXPECT_EQ(Connect("9999"), 5);
  EXPECT_EQ(Pbx.Received(), (L{"TA616", "9999", "BYE"}));
  EXPECT_FALSE(Pbx.Line.HostIsOpen());

  Pbx.PasswordAtWakeup = false;
  EXPECT_EQ(Connect("9999"), 5);  // rejected after EDT as well
  const L r = Pbx.Received();
  EXPECT_EQ(L(r.begin() + 3, r.end()), (L{"TA616", "VER", "EDT", "9999", "BYE"}));

  // A PBX that falls silent after the password prompt has not refused the password: the
  // attempts go on and end as "no reaction", not as a bad password.
  Pbx.SilentAfterLines = static_cast<int>(Pbx.Received().size()) + 3;  // TA616, VER, EDT
  EXPECT_EQ(Connect("1234"), 2);
}

TEST_F(Session, MissingDsrGivesSix) {
  Pbx.Line.SetDsr(false);
  EXPECT_EQ(Connect(), 6);
  EXPECT_FALSE(Pbx.Line.HostIsOpen());
}

TEST_F(Session, UnknownDeviceGivesOneWithAReason) {
  int dial = 0;
  EXPECT_EQ(
      S.ConnectDevice("/dev/kxta-no-such-port", 3, 0, 1, 0, "1234", 0, false, "", "", 0, dial), 1);
  EXPECT_NE(S.ConnectErrorText().find("no such device"), std::string::npos);
  EXPECT_FALSE(S.PortOpen());
}

TEST_F(Session, CommandExchangeTypesWithEcho) {
  Pbx.Data["604E01//"] = "604E01/1,2,3/";
  ASSERT_EQ(Connect(), 0);
  std::vector<std::string> sent;
  S.OnCommand = [&](const std::string& c) { sent.push_back(c); };
  TStringList lines;
  ASSERT_TRUE(S.SendCommand("604E01//", lines, ";E>"));
  EXPECT_EQ(sent, (L{"604E01//"}));
  // The echoed "\r" and the PBX's own "\r\n" make an empty line, as on a real cable.
  EXPECT_EQ(lines, (TStringList{"604E01//", "", ";=>604E01/1,2,3/", ";E>"}));
  int first, last;
  EXPECT_TRUE(TPbxSession::ExtractDataLines(lines, first, last));
  EXPECT_EQ(first, 2);
  EXPECT_EQ(last, 2);
  EXPECT_TRUE(Fb.Errors.empty());
  // Each typed character waited for its echo: turnarounds exist for every char but the first.
  EXPECT_GE(Pbx.EchoTurnarounds().size(), 7u);
}

TEST_F(Session, RefusedCommandIsShownAndLogged) {
  Pbx.Refuse.insert("999E01//");
  ASSERT_EQ(Connect(), 0);
  TStringList lines{"stale"};
  EXPECT_FALSE(S.SendCommand("999E01//", lines, ";E>"));
  EXPECT_TRUE(lines.empty());
  const std::string reply = "999E01//\r\r\nCommand error\r\n;E>";
  ASSERT_EQ(Fb.Errors.size(), 1u);
  EXPECT_EQ(Fb.Errors[0], "Error in cmd: \r" + reply);
  const std::string log = Dir.Read("Error.log");
  const size_t first = log.find("\r\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_GT(first, 0u);  // the date and time
  EXPECT_EQ(log.substr(first + 2), "waResult=8 Buffer:\r\n" + reply + "\r\n\r\n");
  // The session stays online and the next command goes out normally.
  EXPECT_TRUE(S.LoggedIn());
  EXPECT_TRUE(S.SendCommand("604E01/1/", lines, ";E>"));
}

TEST_F(Session, CommandErrorWaitsBrieflyForThePrompt) {
  Pbx.Replies["999E01//"] = "\r\nCommand error\r\n";
  ASSERT_EQ(Connect(), 0);
  std::string reply;
  const unsigned t0 = GetTickCount32();
  EXPECT_EQ(S.Transact("999E01//\r", ";E>", reply, 1, 0), 8);
  EXPECT_GE(GetTickCount32() - t0, 90u);  // the tail ran out: no ">" came
  // With the prompt arriving after a gap the tail ends when it comes.
  Pbx.Refuse.insert("997E01//");
  Pbx.PieceSize = 5;
  Pbx.PieceGapMs = 20;
  EXPECT_EQ(S.Transact("997E01//\r", ";E>", reply, 1, 0), 8);
  EXPECT_NE(reply.find(";E>"), std::string::npos);
}

TEST_F(Session, ReplyInSmallPiecesKeepsTheExchangeAlive) {
  Pbx.Data["604E01//"] = "604E01/1,2,3,4,5,6,7,8,9,10/";
  ASSERT_EQ(Connect(), 0);
  Pbx.PieceSize = 3;
  Pbx.PieceGapMs = 20;  // well inside the 150 ms silence limit, 300 ms in all
  TStringList lines;
  ASSERT_TRUE(S.SendCommand("604E01//", lines, ";E>"));
  EXPECT_EQ(lines.at(2), ";=>604E01/1,2,3,4,5,6,7,8,9,10/");

  Pbx.PieceGapMs = 250;  // a gap longer than the silence limit ends it
  EXPECT_FALSE(S.SendCommand("604E01//", lines, ";E>"));
  EXPECT_NE(Dir.Read("Error.log").find("waResult=7 Buffer:"), std::string::npos);
}

TEST_F(Session, AbsoluteLimitEndsAnEndlessTrickle) {
  Pbx.Data["604E01//"] = std::string(400, 'x');
  ASSERT_EQ(Connect(), 0);
  S.Timing.ExchangeLimit = 200;
  Pbx.PieceSize = 1;
  Pbx.PieceGapMs = 5;
  std::string reply;
  const unsigned t0 = GetTickCount32();
  EXPECT_EQ(S.Transact("604E01//\r", ";E>", reply, 0, 0), 7);
  const unsigned took = GetTickCount32() - t0;
  EXPECT_GE(took, 190u);
  EXPECT_LT(took, 1500u);
}

// The reply is searched piece by piece: a mark split over pieces is found, a mark is not found
// before its last byte has come, and an empty mark is in every text.
TEST(ReplyScan, FindsMarksAcrossPieces) {
  TReplyScan scan({"Command error", ";E>", ""});
  EXPECT_TRUE(scan.Found(2));
  scan.Append("604E01//\r\r\n;=>604E01/");
  scan.Append("1/\r\nCommand e");
  EXPECT_FALSE(scan.Found(0));
  scan.Append("rror\r\n;");
  EXPECT_TRUE(scan.Found(0));
  scan.Append("E");
  EXPECT_FALSE(scan.Found(1));
  scan.Append(">");
  EXPECT_TRUE(scan.Found(1));
  EXPECT_EQ(scan.Text(), "604E01//\r\r\n;=>604E01/1/\r\nCommand error\r\n;E>");
}

// The watcher wakes the exchange exactly when a mark is complete: after self-overlapping false
// starts, across the text it was started with, and not for a mark's last byte alone.
TEST(MarkWatch, TellsCompletionOnly) {
  TMarkWatch w({";E>", "aab", ""}, "x;");
  EXPECT_FALSE(w.Feed('>'));  // ";>" is not ";E>"
  std::string fired;
  for (char c : std::string("a;E;E>aaab>")) fired += w.Feed(c) ? '1' : '0';
  EXPECT_EQ(fired, "00000100010");
  TMarkWatch across({"Command error"}, "...Command err");
  EXPECT_FALSE(across.Feed('o'));
  EXPECT_TRUE(across.Feed('r'));
  EXPECT_TRUE(TMarkWatch({""}, "").Empty());
}

// Typing goes on without echoes, one character per echo wait, and the exchange then times out
// as before; a command whose echoes come is typed by the watcher and takes one wait.
TEST_F(Session, TypingWithoutEchoSendsEachCharacterAfterTheEchoWait) {
  ASSERT_EQ(Connect(), 0);
  const TLineCounters before = S.Counters();
  Pbx.Silent = true;
  std::string reply;
  const unsigned t0 = GetTickCount32();
  EXPECT_EQ(S.Transact("604E01//\r", ";E>", reply, 1, 0), 7);
  const unsigned took = GetTickCount32() - t0;
  // Eight characters, each given 100 ms for its echo, then the 150 ms of silence.
  EXPECT_GE(took, 8 * 100u);
  EXPECT_LT(took, 3000u);
  EXPECT_EQ(S.Counters().BytesSent - before.BytesSent, 9u);
  EXPECT_EQ(Pbx.Received().back(), "604E01//");
}

TEST_F(Session, TypingStopsWhenTheLineDrops) {
  ASSERT_EQ(Connect(), 0);
  const TLineCounters before = S.Counters();
  Pbx.Silent = true;
  std::thread drop([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Pbx.Line.SetDsr(false);
  });
  TStringList lines;
  const unsigned t0 = GetTickCount32();
  EXPECT_FALSE(S.SendCommand("604E01/1/2/3/", lines, ";E>"));
  drop.join();
  // Not thirteen echo waits: the typing ends with the line, the rest is not sent.
  EXPECT_LT(GetTickCount32() - t0, 800u);
  EXPECT_LT(S.Counters().BytesSent - before.BytesSent, 5u);
  EXPECT_TRUE(S.LineLost());
  Pbx.Line.SetDsr(true);
}

TEST_F(Session, PromptInOneBytePiecesAndTheLineCounters) {
  Pbx.Data["604E01//"] = "604E01/1,2,3/";
  S.Timing.DirectTimeout = 2000;
  ASSERT_EQ(Connect(), 0);
  const TLineCounters before = S.Counters();
  EXPECT_GT(before.PauseMicros, 0u);  // the slow wake-up line and the pauses after prompts
  Pbx.PieceSize = 1;
  Pbx.PieceGapMs = 2;
  TStringList lines;
  const unsigned t0 = GetTickCount32();
  ASSERT_TRUE(S.SendCommand("604E01//", lines, ";E>"));
  // The prompt's last byte wakes the exchange: it does not sit out the silence limit.
  EXPECT_LT(GetTickCount32() - t0, 1000u);
  EXPECT_EQ(lines, (TStringList{"604E01//", "", ";=>604E01/1,2,3/", ";E>"}));
  const TLineCounters after = S.Counters();
  EXPECT_EQ(after.Commands - before.Commands, 1u);
  EXPECT_EQ(after.Exchanges - before.Exchanges, 1u);
  EXPECT_EQ(after.BytesSent - before.BytesSent, 9u);  // "604E01//\r"
  EXPECT_EQ(after.BytesReceived - before.BytesReceived,
            std::string("604E01//\r\r\n;=>604E01/1,2,3/\r\n;E>").size());
  EXPECT_EQ(after.PauseMicros, before.PauseMicros);  // a command has no fixed pause
}

TEST_F(Session, AbortRaisesBeforeSendingAndIsConsumed) {
  ASSERT_EQ(Connect(), 0);
  const size_t before = Pbx.Received().size();
  S.RequestAbort();
  TStringList lines;
  EXPECT_THROW(S.SendCommand("604E01/1/", lines, ";E>"), EAbortOperation);
  EXPECT_EQ(Pbx.Received().size(), before);
  EXPECT_FALSE(S.AbortRequested());
  EXPECT_TRUE(S.SendCommand("604E01/1/", lines, ";E>"));
}

TEST_F(Session, DsrDropTakesTheSessionOfflineAndTheNextCommandFails) {
  ASSERT_EQ(Connect(), 0);
  Pbx.Line.SetDsr(false);
  // The watcher notes the drop and wakes us; wait for that without sleeping blindly.
  const unsigned t0 = GetTickCount32();
  while (S.LoggedIn() && GetTickCount32() - t0 < 5000) Fb.WaitForActivity(100);
  EXPECT_FALSE(S.LoggedIn());
  TStringList lines;
  EXPECT_FALSE(S.SendCommand("604E01/1/", lines, ";E>"));
  EXPECT_FALSE(S.PortOpen());
  EXPECT_FALSE(Pbx.Line.HostIsOpen());
  EXPECT_NE(Dir.Read("Error.log").find("waResult=7 Buffer:"), std::string::npos);
  // DSR back: a new connection works.
  Pbx.Line.SetDsr(true);
  EXPECT_EQ(Connect(), 0);
}

TEST_F(Session, NestedExchangeDuringAWaitIsRefusedAsBusy) {
  ASSERT_EQ(Connect(), 0);
  // Answers in pieces with gaps, so that the session surely waits at least once.
  Pbx.PieceSize = 4;
  Pbx.PieceGapMs = 10;
  int nested = -1;
  TStringList nestedLines{"x"};
  bool nestedOk = true;
  Fb.DuringWait = [&] {
    std::string r;
    nested = S.Transact("VER\r", ";>", r, 0, 0);
    nestedOk = S.SendCommand("604E02/1/", nestedLines, ";E>");
  };
  TStringList lines;
  EXPECT_TRUE(S.SendCommand("604E01/1/", lines, ";E>"));
  EXPECT_EQ(nested, 7);
  EXPECT_FALSE(nestedOk);
  EXPECT_NE(Dir.Read("Error.log").find("waResult=7 Buffer:"), std::string::npos);
  EXPECT_FALSE(S.Busy());
  // The refusal says why and is no lost line: the session stays online and the next command
  // goes out.
  ASSERT_FALSE(Fb.Errors.empty());
  EXPECT_NE(Fb.Errors.back().find("still waiting for the PBX's answer"), std::string::npos)
      << Fb.Errors.back();
  EXPECT_FALSE(S.LineLost());
  EXPECT_TRUE(S.LoggedIn());
  EXPECT_TRUE(S.SendCommand("604E02/1/", lines, ";E>"));
}

TEST_F(Session, VersionTextIsCutToSixteen) {
  Pbx.Version = "ABCDEFGHIJKLMNOPQRST";
  ASSERT_EQ(Connect(), 0);
  EXPECT_EQ(S.PbxVersion(), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(TKXTAcomm::VersionText("VER\r\r\n;=>V1\r\n;>"), "V1");
  EXPECT_EQ(TKXTAcomm::VersionText("VER\r\n;>"), "");
}

TEST_F(Session, DumpLargerThanTheRingIsStoredWhole) {
  std::string listing = "\r\n";
  for (int i = 0; i < 500; ++i) {
    Pbx.DumpLines.push_back(Format("%03dE%02d/1,2,3,4,5,6,7,8,9,10/ dump line", i % 1000, i % 24));
    listing += Pbx.DumpLines.back() + "\r\n";
  }
  listing += ";P>";
  ASSERT_GT(listing.size(), 2 * TKXTAcomm::kRxBufferSize);
  ASSERT_EQ(Connect(), 0);
  Pbx.PieceSize = 700;  // arrives in many reads, wrapping the ring several times
  TMemoryStream out;
  S.StoreDump("ALL", out);
  // Everything from the echoed command up to, not including, the last carriage return.
  std::string expect = "ALL\r" + listing;
  expect.resize(expect.rfind('\r'));
  EXPECT_EQ(out.AsString(), expect);
  ASSERT_EQ(Fb.Progress.size(), 1u);
  EXPECT_EQ(Fb.Progress[0].Caption, "Store dump");
  EXPECT_EQ(Fb.Progress[0].Maximum, 3000);
  EXPECT_FALSE(Fb.Progress[0].Hook);
  EXPECT_GE(Fb.Progress[0].Advanced, 500);
  EXPECT_TRUE(Fb.Progress[0].Closed);
  EXPECT_FALSE(S.HasOnRxLine());
  const L r = Pbx.Received();
  ASSERT_GE(r.size(), 8u);
  EXPECT_EQ(L(r.end() - 8, r.end()), (L{"END", "END", "DMP", "ALL", "END", "END", "EDT", "INT"}));
  TStringList lines;
  EXPECT_TRUE(S.SendCommand("604E01/1/", lines, ";E>"));  // back in edit mode
}

// The listing ends by silence; a prompt after it may come or not. Faults caught: a whole
// listing thrown away for the want of a prompt, a listing that stops inside a line taken as
// whole, and a listing that ends before its last program taken without a word.
TEST_F(Session, DumpIsWholeWhenItEndsAtALineEndWithOrWithoutAPrompt) {
  const struct {
    const char* Last;  // the listing's last line
    const char* End;   // what follows its line end
    bool Whole;
    bool Warned;
  } cases[] = {
      {";=>D02BF16/^/", ";P>", true, false}, {";=>D02BF16/^/", "", true, false},
      {";=>D01BF16/^/", "", true, false},    {";=>D02BF16/^/", ";=>D0", false, false},
      {";=>601E24/1/", "", true, true},      {";=>601E24/1/", ";P>", true, true},
  };
  ASSERT_EQ(Connect(), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Last) + " then '" + c.End + "'");
    Pbx.DumpLines = {";=>600E01/1/", c.Last};
    Pbx.DumpEnd = c.End;
    Fb.Infos.clear();
    TMemoryStream out;
    EXPECT_EQ(S.StoreDump("ALL", out), c.Whole);
    EXPECT_NE(out.AsString().find(c.Last), std::string::npos);
    const bool warned = !Fb.Infos.empty() && Fb.Infos.back().find("it may be cut short") != std::string::npos;
    EXPECT_EQ(warned, c.Warned);
    TStringList lines;
    EXPECT_TRUE(S.SendCommand("604E01/1/", lines, ";E>"));  // back in edit mode either way
  }
}

TEST_F(Session, ProgressCallbackFiresPerCarriageReturn) {
  ASSERT_EQ(Connect(), 0);
  std::atomic<int> lines{0};
  S.SetOnRxLine([&] { ++lines; });
  TStringList l;
  ASSERT_TRUE(S.SendCommand("604E01/1/", l, ";E>"));
  S.SetOnRxLine(nullptr);
  // "604E01/1/" echo CR, "\r\n" before the data line, its own "\r\n".
  EXPECT_EQ(lines.load(), 3);
}

TEST_F(Session, DisconnectSaysGoodbyeAndClosesThePort) {
  ASSERT_EQ(Connect(), 0);
  S.Disconnect();
  EXPECT_EQ(Pbx.Received().back(), "BYE");
  EXPECT_FALSE(S.LoggedIn());
  EXPECT_FALSE(Pbx.Line.HostIsOpen());
  EXPECT_FALSE(Pbx.Line.Dtr());
}

TEST_F(Session, TraceRecordsTheDialogue) {
  S.SetTraceFile(Dir.File("trace.txt"));
  ASSERT_EQ(Connect(), 0);
  S.Disconnect();
  const std::string t = Dir.Read("trace.txt");
  EXPECT_NE(t.find(" TX T"), std::string::npos);
  EXPECT_NE(t.find(" RX "), std::string::npos);
  EXPECT_NE(t.find("DTR on"), std::string::npos);
  // The password (1234) is neither in what was typed nor in its echo; the log-in around it is.
  std::string tx, rx;
  for (const std::string& l : SplitLines(t)) {
    const size_t at = l.find(' ');
    if (l.compare(at + 1, 3, "TX ") == 0) tx += l.substr(at + 4);
    if (l.compare(at + 1, 3, "RX ") == 0) rx += l.substr(at + 4);
  }
  EXPECT_EQ(tx.find("1234"), std::string::npos) << tx;
  EXPECT_EQ(rx.find("1234"), std::string::npos) << rx;
  EXPECT_NE(tx.find("EDT<0D>****<0D>INT<0D>"), std::string::npos) << tx;
  EXPECT_NE(rx.find("****"), std::string::npos) << rx;
  // The trace and the error log are new files only their owner can read.
  TStringList lines;
  ASSERT_EQ(Connect(), 0);
  Pbx.Refuse.insert("604E01//");
  EXPECT_FALSE(S.SendCommand("604E01//", lines, ";E>"));
  for (const char* f : {"trace.txt", "Error.log"}) {
    struct stat st {};
    ASSERT_EQ(::stat(Dir.File(f).c_str(), &st), 0) << f;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << f;
  }
}

// ---- modem ----

TEST_F(Session, ModemDialsAndLogsIn) {
  int dial = -1;
  ASSERT_EQ(ConnectModem("&f", "atdt123", dial), 0);
  EXPECT_EQ(dial, 0);
  EXPECT_TRUE(S.ModemMode());
  const L r = Pbx.Received();
  ASSERT_GE(r.size(), 2u);
  EXPECT_EQ(r[0], "AT&F");
  EXPECT_EQ(r[1], "ATDT123");
  EXPECT_EQ(r[2], "TA616");
}

TEST_F(Session, DialResults) {
  int dial = -1;
  EXPECT_EQ(ConnectModem("", "BUSY", dial), 4);
  EXPECT_EQ(dial, 4);
  EXPECT_FALSE(Pbx.Line.HostIsOpen());
  EXPECT_EQ(ConnectModem("", "NODIAL", dial), 4);
  EXPECT_EQ(dial, 5);  // "NO DIALTONE" begins with "NO DIAL"
  EXPECT_EQ(ConnectModem("", "NOCARRIER", dial), 4);
  EXPECT_EQ(dial, 2);
  const unsigned t0 = GetTickCount32();
  EXPECT_EQ(ConnectModem("", "SILENT", dial, 60), 4);
  EXPECT_EQ(dial, 1);  // after the echo limit, not the whole wait
  EXPECT_LT(GetTickCount32() - t0, 2000u);
  const L r = Pbx.Received();
  EXPECT_EQ(r[0], "ATDBUSY");  // an empty init string skips the "OK" exchange
}

TEST_F(Session, DialWithoutCarrierTimesOut) {
  int dial = -1;
  EXPECT_EQ(ConnectModem("", "WAIT", dial, 1), 4);
  EXPECT_EQ(dial, 3);
}

TEST_F(Session, ModemInitWithoutOkFails) {
  Pbx.Silent = true;
  int dial = -1;
  EXPECT_EQ(ConnectModem("Z", "123", dial), 4);
  EXPECT_EQ(dial, 1);
  EXPECT_EQ(Pbx.Received()[0], "ATZ");
}

TEST_F(Session, CarrierLostByTextCleansUpCompletely) {
  int dial = -1;
  ASSERT_EQ(ConnectModem("", "123", dial), 0);
  Pbx.Replies["604E01//"] = "\r\nDISCONNECTED\r\n";
  int lost = 0;
  S.OnCarrierLost = [&] { ++lost; };
  std::string reply;
  EXPECT_EQ(S.Transact("604E01//\r", ";E>", reply, 1, 0), 9);
  EXPECT_EQ(lost, 1);
  EXPECT_FALSE(S.OnCarrierLost);
  EXPECT_FALSE(S.ModemMode());
  EXPECT_FALSE(S.LoggedIn());
  EXPECT_FALSE(S.Busy());
  EXPECT_FALSE(Pbx.Line.HostIsOpen());
  // The next connection does not trip over a port left open.
  Pbx.Line.SetCarrier(false);
  EXPECT_EQ(Connect(), 0);
}

TEST_F(Session, CarrierLostDuringTheLogInEndsTheAttemptsAsALostCarrier) {
  for (const char* at : {"TA616", "VER", "INT"}) {
    SCOPED_TRACE(at);
    Pbx.HangUpAt = at;
    const size_t before = Pbx.Received().size();
    int dial = -1;
    EXPECT_EQ(ConnectModem("", "123", dial), 9);
    EXPECT_FALSE(S.PortOpen());
    EXPECT_FALSE(S.LoggedIn());
    // No second attempt on a line that is gone.
    const L r = Pbx.Received();
    EXPECT_EQ(std::count(r.begin() + long(before), r.end(), "TA616"), 1);
    S.Disconnect();
  }
}

TEST_F(Session, CarrierLineDropIsNoticedWithoutText) {
  int dial = -1;
  ASSERT_EQ(ConnectModem("", "123", dial), 0);
  int lost = 0;
  S.OnCarrierLost = [&] { ++lost; };
  Pbx.Line.SetCarrier(false);
  const unsigned t0 = GetTickCount32();
  while (lost == 0 && GetTickCount32() - t0 < 5000) S.Wait(20);
  EXPECT_EQ(lost, 1);
  EXPECT_FALSE(S.ModemMode());
  EXPECT_FALSE(S.LoggedIn());
  EXPECT_FALSE(S.PortOpen());
}

TEST_F(Session, ComNumberMapsThroughTheDevicesSection) {
  const TAppPaths saved = AppPaths();
  TAppPaths p = saved;
  p.ConfigDir = p.StateDir = Dir.Path();
  SetAppPaths(p);
  Dir.Write("TALVEN.INI", "[Devices]\r\nCOM7=testpbx\r\n");
  TKXTAcomm fresh;
  fresh.Timing = S.Timing;
  int dial = 0;
  EXPECT_EQ(fresh.Connect(7, 3, 0, 1, 0, "1234", 0, false, "", "", 0, dial), 0);
  // Without a log path of its own the session logs into the program's state folder.
  EXPECT_EQ(fresh.ErrorLogFile(), Dir.File("Error.log"));
  fresh.Disconnect();
  SetAppPaths(saved);
}

TEST_F(Session, ShowModeAndBackToEditMode) {
  ASSERT_EQ(Connect(), 0);
  S.EndMode();
  EXPECT_TRUE(S.EnterShowMode());
  S.EndMode();
  EXPECT_TRUE(S.EnterEditMode());
  const L r = Pbx.Received();
  EXPECT_EQ(L(r.end() - 8, r.end()), (L{"END", "END", "SHW", "INT", "END", "END", "EDT", "INT"}));
}

TEST_F(Session, InstalledAsTheProgramsSessionUntilDestroyed) {
  {
    TKXTAcomm one;
    SetPbxComm(&one);
    EXPECT_EQ(&PbxComm(), &one);
  }
  EXPECT_FALSE(PbxComm().LoggedIn());  // the offline stand-in is back
  TStringList lines;
  EXPECT_FALSE(PbxComm().SendCommand("604E01//", lines, ";E>"));
}

}  // namespace

// ---- the same session through the termios backend on a real pseudo-terminal ----

namespace {

// Carries the scripted PBX's line over a pty: bytes from the master go to the PBX as if the
// program had written them, the PBX's answers go back out through the master.
class TPtyBridge {
 public:
  explicit TPtyBridge(TScriptedPbx& Pbx) : fPbx(Pbx) {
    fMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fMaster < 0 || ::grantpt(fMaster) != 0 || ::unlockpt(fMaster) != 0) return;
    if (::pipe(fStop) != 0) return;
    SlavePath = ::ptsname(fMaster);
    fDevice = fPbx.Line.CreateDevice("bridge");
    fDevice->Open();
    fToPbx = std::thread([this] { ToPbx(); });
    fFromPbx = std::thread([this] { FromPbx(); });
  }
  ~TPtyBridge() { HangUp(); }
  // Closes the master: the program's side sees the far end go away.
  void HangUp() {
    if (fMaster < 0) return;
    fQuit = true;
    if (::write(fStop[1], "x", 1) < 0) {
    }
    fDevice->Wake();
    if (fToPbx.joinable()) fToPbx.join();
    if (fFromPbx.joinable()) fFromPbx.join();
    ::close(fMaster);
    fMaster = -1;
    ::close(fStop[0]);
    ::close(fStop[1]);
    fDevice->Close();
  }
  std::string SlavePath;

 private:
  void ToPbx() {
    while (!fQuit) {
      pollfd pf[2] = {{fMaster, POLLIN, 0}, {fStop[0], POLLIN, 0}};
      if (::poll(pf, 2, -1) < 0 || (pf[1].revents & POLLIN)) return;
      if (pf[0].revents & POLLIN) {
        char buf[256];
        const ssize_t n = ::read(fMaster, buf, sizeof buf);
        if (n > 0) fDevice->Write(buf, static_cast<size_t>(n), 1000);
      }
    }
  }
  void FromPbx() {
    while (!fQuit) {
      fDevice->WaitEvent({evRxChar});
      char buf[256];
      int n;
      while ((n = fDevice->Read(buf, sizeof buf)) > 0)
        if (::write(fMaster, buf, static_cast<size_t>(n)) < 0) return;
    }
  }
  TScriptedPbx& fPbx;
  int fMaster = -1;
  int fStop[2] = {-1, -1};
  std::atomic<bool> fQuit{false};
  std::unique_ptr<TCommDevice> fDevice;
  std::thread fToPbx, fFromPbx;
};

}  // namespace

TEST_F(Session, OverAPseudoTerminal) {
  // Here the "host" of the memory line is the bridge, so the PBX sees the pty's traffic.
  Pbx.Data["604E01//"] = "604E01/1,2,3/";  // before the bridge's threads read it
  TPtyBridge bridge(Pbx);
  ASSERT_FALSE(bridge.SlavePath.empty());
  int dial = 0;
  ASSERT_EQ(S.ConnectDevice(bridge.SlavePath, 3, 0, 1, 3, "1234", 0, false, "", "", 0, dial), 0);
  TStringList lines;
  ASSERT_TRUE(S.SendCommand("604E01//", lines, ";E>"));
  EXPECT_EQ(lines.at(2), ";=>604E01/1,2,3/");
  // The far end going away reads as DSR lost: offline, and the next command fails.
  bridge.HangUp();
  const unsigned t0 = GetTickCount32();
  while (S.LoggedIn() && GetTickCount32() - t0 < 5000) Fb.WaitForActivity(100);
  EXPECT_FALSE(S.LoggedIn());
  EXPECT_FALSE(S.SendCommand("604E01//", lines, ";E>"));
  EXPECT_FALSE(S.PortOpen());
}
