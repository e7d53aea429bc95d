// The simulated PBX on its own thread, paced like a serial line.
#include "SimRunner.h"

#include <algorithm>

TSimRunner::TSimRunner() {
  // Called under fLock: from Run (Receive, faults) or from Control.
  fPbx.OnOutput = [this](const std::string& Bytes) { QueueOutput(Bytes); };
  fPbx.OnLineChange = [this](int Line, bool On) { QueueLine(Line, On); };
}

TSimRunner::~TSimRunner() { Stop(); }

void TSimRunner::SetBitRate(int BitsPerSecond, int BitsPerChar) {
  std::lock_guard<std::mutex> g(fLock);
  fBitRate = std::max(0, BitsPerSecond);
  fBitsPerChar = BitsPerChar == 11 ? 11 : 10;
}

void TSimRunner::SetLatencyMs(int Ms) {
  std::lock_guard<std::mutex> g(fLock);
  fLatencyMs = std::max(0, Ms);
}

void TSimRunner::SetSplit(size_t PieceSize, int GapMs) {
  std::lock_guard<std::mutex> g(fLock);
  fPieceSize = PieceSize;
  fGapMs = std::max(0, GapMs);
  fPieceCount = 0;
}

void TSimRunner::SetNoise(double Rate, unsigned Seed) {
  std::lock_guard<std::mutex> g(fLock);
  fNoiseRate = std::clamp(Rate, 0.0, 1.0);
  fNoise.seed(Seed);
}

size_t TSimRunner::NoiseBytes() const {
  std::lock_guard<std::mutex> g(fLock);
  return fNoiseBytes;
}

void TSimRunner::SetRxNoise(double Rate, unsigned Seed) {
  std::lock_guard<std::mutex> g(fLock);
  fRxNoiseRate = std::clamp(Rate, 0.0, 1.0);
  fRxNoise.seed(Seed);
}

size_t TSimRunner::RxNoiseBytes() const {
  std::lock_guard<std::mutex> g(fLock);
  return fRxNoiseBytes;
}

double TSimRunner::CharTimeMs() const {
  std::lock_guard<std::mutex> g(fLock);
  return std::chrono::duration<double, std::milli>(CharTime()).count();
}

TSimRunner::TClock::duration TSimRunner::CharTime() const {
  if (fBitRate <= 0) return TClock::duration::zero();
  return std::chrono::duration_cast<TClock::duration>(
      std::chrono::duration<double>(double(fBitsPerChar) / double(fBitRate)));
}

void TSimRunner::ScheduleDsr(int AfterMs, bool On) {
  std::lock_guard<std::mutex> g(fLock);
  fFaults.push_back({TClock::now() + std::chrono::milliseconds(AfterMs), TSimPbx::LineDsr, On});
  fWake.notify_all();
}

void TSimRunner::ScheduleCarrierDrop(int AfterMs) {
  std::lock_guard<std::mutex> g(fLock);
  fFaults.push_back({TClock::now() + std::chrono::milliseconds(AfterMs), TSimPbx::LineCarrier, false});
  fWake.notify_all();
}

void TSimRunner::Control(const std::function<void(TSimPbx&)>& F) {
  std::lock_guard<std::mutex> g(fLock);
  F(fPbx);
  fWake.notify_all();
}

TSimRunner::TClock::time_point TSimRunner::OutputStart() const {
  return fReceivedAt != TClock::time_point{} ? fReceivedAt : TClock::now();
}

void TSimRunner::QueueOutput(const std::string& Bytes) {
  const auto now = OutputStart();
  const auto ct = CharTime();
  std::string noisy;
  if (fNoiseRate > 0.0) {
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_int_distribution<int> byte(0, 255);
    for (char c : Bytes) {
      if (chance(fNoise) < fNoiseRate) {
        noisy += static_cast<char>(byte(fNoise));
        ++fNoiseBytes;
      }
      noisy += c;
    }
  }
  for (char c : fNoiseRate > 0.0 ? noisy : Bytes) {
    auto due = std::max(now, fLastOut) + ct;
    bool pieceStart = false;
    if (fPieceSize > 0 && ++fPieceCount > fPieceSize) {
      due += std::chrono::milliseconds(fGapMs);
      fPieceCount = 1;
      pieceStart = true;
    }
    fLastOut = due;
    fOut.push_back({c, 0, false, due, pieceStart});
  }
}

void TSimRunner::QueueLine(int Line, bool On) {
  const auto due = std::max(OutputStart(), fLastOut);
  fLastOut = due;
  fOut.push_back({0, Line, On, due});
}

void TSimRunner::Feed(const char* Data, size_t Count) {
  std::lock_guard<std::mutex> g(fLock);
  const auto now = TClock::now();
  const auto ct = CharTime();
  const auto latency = std::chrono::milliseconds(fLatencyMs);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  std::uniform_int_distribution<int> printable(0x20, 0x7e);
  for (size_t i = 0; i < Count; ++i) {
    char c = Data[i];
    bool twice = false;
    // Line ends are spared: a lost one is a silent PBX, which other faults try.
    if (fRxNoiseRate > 0.0 && c != '\r' && c != '\n' && chance(fRxNoise) < fRxNoiseRate) {
      ++fRxNoiseBytes;
      if (chance(fRxNoise) < 0.5)
        twice = true;
      else
        c = static_cast<char>(printable(fRxNoise));
    }
    for (int k = twice ? 2 : 1; k > 0; --k) {
      fLastIn = std::max(now, fLastIn) + ct;
      fIn.push_back({c, fLastIn + latency});
    }
  }
  fWake.notify_all();
}

void TSimRunner::Start() {
  std::lock_guard<std::mutex> g(fLock);
  if (fRunning) return;
  fStop = false;
  fRunning = true;
  fThread = std::thread([this] { Run(); });
}

void TSimRunner::Stop() {
  {
    std::lock_guard<std::mutex> g(fLock);
    if (!fRunning) return;
    fStop = true;
    fWake.notify_all();
  }
  fThread.join();
  std::lock_guard<std::mutex> g(fLock);
  fRunning = false;
  fOut.clear();
  fIn.clear();
  fIdle.notify_all();
}

bool TSimRunner::IdleLocked() const { return fIn.empty() && fOut.empty() && !fDelivering; }

bool TSimRunner::WaitIdle(int TimeoutMs) {
  std::unique_lock<std::mutex> g(fLock);
  return fIdle.wait_for(g, std::chrono::milliseconds(TimeoutMs), [this] { return IdleLocked(); });
}

void TSimRunner::Run() {
  std::unique_lock<std::mutex> g(fLock);
  std::string batch;
  std::vector<std::pair<int, bool>> lines;
  while (!fStop) {
    auto now = TClock::now();
    while (!fIn.empty() && fIn.front().Due <= now) {
      const char c = fIn.front().C;
      fReceivedAt = fIn.front().Due;
      fIn.pop_front();
      fPbx.Receive(&c, 1);
      fReceivedAt = TClock::time_point{};
    }
    for (size_t i = 0; i < fFaults.size();) {
      if (fFaults[i].Due > now) {
        ++i;
        continue;
      }
      const TFault f = fFaults[i];
      fFaults.erase(fFaults.begin() + long(i));
      if (f.Line == TSimPbx::LineDsr)
        fPbx.SetDsr(f.On);
      else
        fPbx.DropCarrier();
    }
    // Hand over everything that is due, in order, outside the lock. A line change ends a batch
    // so that the bytes before it reach the program first; so does the start of a split piece,
    // so that a late wake-up never merges two pieces into one.
    auto dueAt = [this](const TOutItem& It) {
      return It.PieceStart ? std::max(It.Due, fPieceHold) : It.Due;
    };
    while (!fOut.empty() && dueAt(fOut.front()) <= now) {
      batch.clear();
      lines.clear();
      while (!fOut.empty() && fOut.front().Due <= now && fOut.front().Line == 0 &&
             (batch.empty() || !fOut.front().PieceStart)) {
        batch += fOut.front().C;
        fOut.pop_front();
      }
      // The gap before the next piece counts from this hand-over, even when this one was late.
      if (!batch.empty() && !fOut.empty() && fOut.front().PieceStart)
        fPieceHold = now + std::chrono::milliseconds(fGapMs);
      if (batch.empty() && !fOut.empty() && fOut.front().Due <= now) {
        lines.emplace_back(fOut.front().Line, fOut.front().On);
        fOut.pop_front();
      }
      fDelivering = true;
      g.unlock();
      if (!batch.empty() && OnOutput) OnOutput(batch.data(), batch.size());
      for (const auto& l : lines)
        if (OnLineChange) OnLineChange(l.first, l.second);
      g.lock();
      fDelivering = false;
      if (fStop) break;
      now = TClock::now();
    }
    if (fStop) break;
    if (IdleLocked()) fIdle.notify_all();
    TClock::time_point next = TClock::time_point::max();
    if (!fIn.empty()) next = std::min(next, fIn.front().Due);
    if (!fOut.empty()) next = std::min(next, dueAt(fOut.front()));
    for (const TFault& f : fFaults) next = std::min(next, f.Due);
    // Input that arrives meanwhile notifies fWake, which ends the wait early.
    if (next == TClock::time_point::max())
      fWake.wait(g);
    else if (next > TClock::now())
      fWake.wait_until(g, next);
  }
}
