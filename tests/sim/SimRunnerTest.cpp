// The simulated PBX on its thread: pacing at the bit rate, reaction delay, split replies, timed
// modem-line faults. Bounds are generous: pacing can only make things slower than the line rate,
// so the lower bounds are exact and the upper ones leave room for a loaded machine.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SimRunner.h"

namespace {

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point T0, TClock::time_point T1 = TClock::now()) {
  return std::chrono::duration<double, std::milli>(T1 - T0).count();
}

struct TReceiver {
  std::mutex M;
  std::condition_variable Cv;
  std::string Data;
  std::vector<TClock::time_point> PieceTimes;
  std::vector<size_t> PieceSizes;
  std::vector<std::pair<int, bool>> Lines;
  std::vector<size_t> LineAt;  // Data size when each line change came

  void Attach(TSimRunner& R) {
    R.OnOutput = [this](const char* d, size_t n) {
      std::lock_guard<std::mutex> g(M);
      Data.append(d, n);
      PieceTimes.push_back(TClock::now());
      PieceSizes.push_back(n);
      Cv.notify_all();
    };
    R.OnLineChange = [this](int l, bool on) {
      std::lock_guard<std::mutex> g(M);
      Lines.emplace_back(l, on);
      LineAt.push_back(Data.size());
      Cv.notify_all();
    };
  }
  bool WaitFor(const std::string& Text, int Ms = 5000) {
    std::unique_lock<std::mutex> g(M);
    return Cv.wait_for(g, std::chrono::milliseconds(Ms), [&] { return Data.find(Text) != std::string::npos; });
  }
  bool WaitLines(size_t N, int Ms = 5000) {
    std::unique_lock<std::mutex> g(M);
    return Cv.wait_for(g, std::chrono::milliseconds(Ms), [&] { return Lines.size() >= N; });
  }
  void Clear() {
    std::lock_guard<std::mutex> g(M);
    Data.clear();
    PieceTimes.clear();
    PieceSizes.clear();
  }
};

void Feed(TSimRunner& R, const std::string& S) { R.Feed(S.data(), S.size()); }

void LoggedIn(TSimRunner& R) {
  R.Control([](TSimPbx& p) {
    auto keep = p.OnOutput;
    p.OnOutput = nullptr;  // log in silently, then hand the output back to the runner
    for (const char* s : {"TA616\r", "EDT\r", "7392\r", "INT\r"}) p.Receive(s, std::char_traits<char>::length(s));
    p.OnOutput = keep;
  });
}

// Seconds between the command and the last byte of its reply at the given line settings.
double TimeReply(int Baud, int Bits, size_t& Bytes) {
  TSimRunner r;
  TReceiver rx;
  rx.Attach(r);
  r.SetBitRate(Baud, Bits);
  LoggedIn(r);
  r.Start();
  const auto t0 = TClock::now();
  Feed(r, "306S*//\r");
  EXPECT_TRUE(rx.WaitFor(";=>306S80/^/\r\n;E>"));
  const double s = std::chrono::duration<double>(TClock::now() - t0).count();
  Bytes = rx.Data.size() + 8;  // the command itself also crossed the line
  return s;
}

}  // namespace

TEST(SimRunner, PacesAtTheBitRate) {
  size_t bytes10 = 0, bytes11 = 0;
  const double s10 = TimeReply(38400, 10, bytes10);
  const double s11 = TimeReply(38400, 11, bytes11);
  ASSERT_GT(bytes10, 1000u);
  const double expect10 = double(bytes10) * 10 / 38400, expect11 = double(bytes11) * 11 / 38400;
  EXPECT_GE(s10, expect10 * 0.97) << "faster than the line";
  EXPECT_LE(s10, expect10 * 3 + 0.5);
  EXPECT_GE(s11, expect11 * 0.97);
  EXPECT_LE(s11, expect11 * 3 + 0.5);
}

// A late runner does not make the line slower: the echo goes out from the moment its byte was
// complete on the line, not from when the runner got to it (yet never before).
TEST(SimRunner, ALateRunnerKeepsTheLinesTime) {
  TSimRunner r;
  TReceiver rx;
  rx.Attach(r);
  r.SetBitRate(200, 10);  // 50 ms a character
  r.Start();
  const auto t0 = TClock::now();
  Feed(r, "T");
  r.Control([](TSimPbx&) { std::this_thread::sleep_for(std::chrono::milliseconds(300)); });
  ASSERT_TRUE(rx.WaitFor("T"));
  std::lock_guard<std::mutex> g(rx.M);
  const double ms = MsSince(t0, rx.PieceTimes.at(0));
  EXPECT_GE(ms, 299.0);
  EXPECT_LT(ms, 340.0);  // not another character time after the runner woke
}

TEST(SimRunner, UnpacedRunnerAnswersAtOnceAndWaitIdleReturns) {
  TSimRunner r;
  TReceiver rx;
  rx.Attach(r);
  r.SetBitRate(0);
  EXPECT_EQ(r.CharTimeMs(), 0.0);
  r.Start();
  const auto t0 = TClock::now();
  Feed(r, "TA616\r\nVER\r");
  ASSERT_TRUE(r.WaitIdle(5000));
  EXPECT_LT(std::chrono::duration<double>(TClock::now() - t0).count(), 1.0);
  std::lock_guard<std::mutex> g(rx.M);
  EXPECT_EQ(rx.Data, "TA616\r\n;>VER\r\n;=>Y581M KX-TA624 V2.10\r\n;>");
}

TEST(SimRunner, LatencyDelaysEachReaction) {
  TSimRunner r;
  TReceiver rx;
  rx.Attach(r);
  r.SetBitRate(0);
  r.SetLatencyMs(60);
  r.Start();
  const auto t0 = TClock::now();
  Feed(r, "T");
  ASSERT_TRUE(rx.WaitFor("T"));
  EXPECT_GE(MsSince(t0), 59.0);
}

TEST(SimRunner, SplitsRepliesIntoPiecesWithGaps) {
  TSimRunner r;
  TReceiver rx;
  rx.Attach(r);
  r.SetBitRate(0);
  r.SetSplit(4, 25);
  r.Start();
  Feed(r, "TA616\r\n");
  ASSERT_TRUE(rx.WaitFor(";>"));
  ASSERT_TRUE(r.WaitIdle(5000));
  std::lock_guard<std::mutex> g(rx.M);
  EXPECT_EQ(rx.Data, "TA616\r\n;>");
  ASSERT_GE(rx.PieceSizes.size(), 3u);  // 9 bytes in pieces of at most 4
  for (size_t n : rx.PieceSizes) EXPECT_LE(n, 4u);
  for (size_t i = 1; i < rx.PieceTimes.size(); ++i) {
    if (rx.PieceSizes[i - 1] == 4) {
      EXPECT_GE(MsSince(rx.PieceTimes[i - 1], rx.PieceTimes[i]), 20.0);
    }
  }
}

TEST(SimRunner, TimedDsrDropAndCarrierDrop) {
  TSimRunner r;
  TReceiver rx;
  rx.Attach(r);
  r.SetBitRate(0);
  r.Control([](TSimPbx& p) { p.SetModemEnabled(true); });
  r.Start();
  Feed(r, "ATD123\r");
  ASSERT_TRUE(rx.WaitLines(1));
  ASSERT_TRUE(rx.WaitFor("CONNECT"));
  {
    std::lock_guard<std::mutex> g(rx.M);
    EXPECT_EQ(rx.Lines[0], std::make_pair(int(TSimPbx::LineCarrier), true));
    EXPECT_EQ(rx.LineAt[0], rx.Data.size());  // the text came before the carrier
  }
  const auto t0 = TClock::now();
  r.ScheduleCarrierDrop(40);
  ASSERT_TRUE(rx.WaitFor("DISCONNECTED"));
  ASSERT_TRUE(rx.WaitLines(2));
  EXPECT_GE(MsSince(t0), 39.0);
  {
    std::lock_guard<std::mutex> g(rx.M);
    EXPECT_EQ(rx.Lines[1], std::make_pair(int(TSimPbx::LineCarrier), false));
  }
  r.ScheduleDsr(30, false);
  ASSERT_TRUE(rx.WaitLines(3));
  {
    std::lock_guard<std::mutex> g(rx.M);
    EXPECT_EQ(rx.Lines[2], std::make_pair(int(TSimPbx::LineDsr), false));
  }
  rx.Clear();
  Feed(r, "AT\r");
  ASSERT_TRUE(r.WaitIdle(5000));
  std::lock_guard<std::mutex> g(rx.M);
  EXPECT_EQ(rx.Data, "");  // a PBX without DSR is gone
}

TEST(SimRunner, FeedFromSeveralThreadsAndStopWithPendingOutput) {
  TSimRunner r;
  TReceiver rx;
  rx.Attach(r);
  r.SetBitRate(0);
  LoggedIn(r);
  r.Start();
  std::thread a([&] {
    for (int i = 0; i < 50; ++i) Feed(r, "\r");
  });
  std::thread b([&] {
    for (int i = 0; i < 50; ++i) Feed(r, "\r");
  });
  a.join();
  b.join();
  ASSERT_TRUE(r.WaitIdle(5000));
  {
    std::lock_guard<std::mutex> g(rx.M);
    size_t prompts = 0;
    for (size_t p = rx.Data.find(";E>"); p != std::string::npos; p = rx.Data.find(";E>", p + 1)) ++prompts;
    EXPECT_EQ(prompts, 100u);
  }
  // A slow line with a long reply queued: Stop returns without waiting for it.
  r.Stop();
  r.SetBitRate(300);
  r.Start();
  Feed(r, "306S*//\r");
  const auto t0 = TClock::now();
  r.Stop();
  EXPECT_LT(std::chrono::duration<double>(TClock::now() - t0).count(), 1.0);
}
