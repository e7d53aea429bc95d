// Runs a simulated PBX on its own thread as a serial line would carry it: bytes both ways paced
// at a bit rate, a reaction delay per received character, replies split into pieces with gaps,
// and modem-line faults at chosen times. Everything waits on a condition variable with a
// deadline; nothing spins.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "SimPbx.h"

class TSimRunner {
 public:
  TSimRunner();
  ~TSimRunner();
  TSimRunner(const TSimRunner&) = delete;
  TSimRunner& operator=(const TSimRunner&) = delete;

  // Set before Start. Both are called on the runner's thread, never with its lock held.
  std::function<void(const char* Data, size_t Count)> OnOutput;
  std::function<void(int Line, bool On)> OnLineChange;  // 1 CTS, 2 DSR, 3 RING, 4 carrier

  // Pacing. BitRate 0 means no pacing at all (bytes go through as fast as they come).
  void SetBitRate(int BitsPerSecond, int BitsPerChar = 10);
  void SetLatencyMs(int Ms);                   // delay before each received byte is acted on
  void SetSplit(size_t PieceSize, int GapMs);  // 0: replies are not split
  double CharTimeMs() const;
  // Line noise: before each byte the PBX sends, a random byte (0 to 255) is inserted with the
  // probability Rate; Seed makes the noise repeatable. Rate 0 switches it off.
  void SetNoise(double Rate, unsigned Seed);
  size_t NoiseBytes() const;  // inserted so far
  // Noise on the way to the PBX: each byte it receives but a line end is, with the probability
  // Rate, doubled or taken as another printable character (so that "601E08/1/" may arrive as
  // "601E08/11/").
  void SetRxNoise(double Rate, unsigned Seed);
  size_t RxNoiseBytes() const;  // bytes doubled or changed so far

  // Timed faults, counted from the call.
  void ScheduleDsr(int AfterMs, bool On);
  void ScheduleCarrierDrop(int AfterMs);

  // Runs F on the PBX under the runner's lock (configuration, faults, inspection); output the
  // PBX makes meanwhile is paced like any other.
  void Control(const std::function<void(TSimPbx&)>& F);

  void Start();
  void Stop();  // waits for the thread; undelivered output is dropped
  void Feed(const char* Data, size_t Count);  // thread-safe
  // Blocks until everything fed has been acted on and all output delivered, or the timeout.
  bool WaitIdle(int TimeoutMs);

 private:
  using TClock = std::chrono::steady_clock;
  struct TInByte {
    char C;
    TClock::time_point Due;
  };
  struct TOutItem {
    char C;
    int Line;  // 0 for a byte; else a modem-line change to On
    bool On;
    TClock::time_point Due;
    bool PieceStart = false;  // first byte of a split piece: never handed over with the one before
  };
  struct TFault {
    TClock::time_point Due;
    int Line;
    bool On;
  };
  void Run();
  // Where the line's time stands for what is queued now: a reply to a received byte goes out
  // from the moment that byte was complete on the line, however late this thread got to it;
  // anything else from now.
  TClock::time_point OutputStart() const;
  void QueueOutput(const std::string& Bytes);
  void QueueLine(int Line, bool On);
  TClock::duration CharTime() const;
  bool IdleLocked() const;

  TSimPbx fPbx;
  mutable std::mutex fLock;
  std::condition_variable fWake;
  std::condition_variable fIdle;
  std::thread fThread;
  bool fStop = false;
  bool fRunning = false;
  bool fDelivering = false;
  int fBitRate = 9600;
  int fBitsPerChar = 10;
  int fLatencyMs = 0;
  size_t fPieceSize = 0;
  int fGapMs = 0;
  size_t fPieceCount = 0;
  double fNoiseRate = 0.0;
  std::mt19937 fNoise;
  size_t fNoiseBytes = 0;
  double fRxNoiseRate = 0.0;
  std::mt19937 fRxNoise;
  size_t fRxNoiseBytes = 0;
  std::deque<TInByte> fIn;
  std::deque<TOutItem> fOut;
  std::vector<TFault> fFaults;
  TClock::time_point fLastIn{};
  TClock::time_point fLastOut{};
  TClock::time_point fReceivedAt{};  // while a received byte is handed to the PBX: its due time
  TClock::time_point fPieceHold{};  // a split piece is not handed over before this
};
