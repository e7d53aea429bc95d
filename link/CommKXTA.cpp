// The PBX session over the serial port. Every exchange runs on the user-interface thread; the
// port's watcher only fills the ring, writes the dump and notes line events for this thread.
#include "CommKXTA.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <thread>

#include "DateTime.h"
#include "Feedback.h"
#include "Paths.h"
#include "PbxPrograms.h"
#include "Text.h"

namespace {

// Signed distance from Since to now, robust against the 32-bit tick wrapping and against the
// watcher stamping a time a little after this thread read the clock.
int32_t Since(uint32_t Tick) {
  return static_cast<int32_t>(GetTickCount32() - Tick);
}

bool Contains(const std::string& Text, const std::string& What) {
  return Text.find(What) != std::string::npos;
}

std::string UpperTrimmed(const std::string& S) {
  std::string t = TrimBlanks(S);
  for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return t;
}

uint64_t MicrosSince(std::chrono::steady_clock::time_point T0) {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now() - T0)
                                   .count());
}

const TBaudrate kSpeeds[] = {br1200, br2400, br4800, br9600};
const TParity kParities[] = {paNone, paOdd, paEven, paMark, paSpace};
const TDatabits kWordLens[] = {da7, da8};
const TStopbits kStopBits[] = {sb10, sb20};

template <typename T, size_t N>
T Pick(const T (&Table)[N], int Index, T Default) {
  return Index >= 0 && static_cast<size_t>(Index) < N ? Table[Index] : Default;
}

}  // namespace

TReplyScan::TReplyScan(std::initializer_list<std::string> Marks) : fMarks(Marks) {
  // An empty mark is in every text, as std::string::find has it.
  for (const std::string& m : fMarks) fFound.push_back(m.empty());
}

void TReplyScan::Append(const std::string& Bytes) {
  const size_t old = fText.size();
  fText += Bytes;
  for (size_t i = 0; i < fMarks.size(); ++i) {
    if (fFound[i]) continue;
    // Only an occurrence that ends in the new bytes can be new.
    const size_t len = fMarks[i].size();
    const size_t from = old >= len ? old - len + 1 : 0;
    fFound[i] = fText.find(fMarks[i], from) != std::string::npos;
  }
}

TMarkWatch::TMarkWatch(const std::vector<std::string>& Marks, const std::string& Before) {
  for (const std::string& m : Marks) {
    if (m.empty()) continue;
    TMark k;
    k.Text = m;
    k.Border.assign(m.size() + 1, 0);
    for (size_t i = 1, b = 0; i < m.size(); ++i) {
      while (b > 0 && m[i] != m[b]) b = k.Border[b];
      if (m[i] == m[b]) ++b;
      k.Border[i + 1] = b;
    }
    fMarks.push_back(std::move(k));
  }
  for (char c : Before) Feed(c);
}

bool TMarkWatch::Feed(char C) {
  bool complete = false;
  for (TMark& k : fMarks) {
    size_t& n = k.Matched;
    if (n == k.Text.size()) n = k.Border[n];
    while (n > 0 && k.Text[n] != C) n = k.Border[n];
    if (k.Text[n] == C) ++n;
    if (n == k.Text.size()) complete = true;
  }
  return complete;
}

TKXTAcomm::TKXTAcomm() = default;

TKXTAcomm::~TKXTAcomm() {
  SetOnRxLine(nullptr);
  ClosePort();
  if (&PbxComm() == this) SetPbxComm(nullptr);
}

TLineCounters TKXTAcomm::Counters() const {
  TLineCounters c;
  c.BytesSent = fBytesSent.load(std::memory_order_relaxed);
  c.BytesReceived = fBytesReceived.load(std::memory_order_relaxed);
  c.Exchanges = fExchanges;
  c.Commands = fCommands;
  c.PauseMicros = fPauseMicros;
  c.RxWakeups = fRxWakeups.load(std::memory_order_relaxed);
  c.ReplyWakeups = fReplyWakeups.load(std::memory_order_relaxed);
  return c;
}

std::string TKXTAcomm::ErrorLogFile() const {
  return fErrorLogFile.empty() ? AppPaths().ErrorLogFile() : fErrorLogFile;
}

// ---------------------------------------------------------------- receiving (watcher thread)

void TKXTAcomm::Receive(TCustomComm& Port, int Count) {
  if (Count < 1) return;
  fRxWakeups.fetch_add(1, std::memory_order_relaxed);
  fLastRxTime.store(GetTickCount32());
  char piece[kReadPiece];
  int remaining = Count;
  while (remaining > 0) {
    int n = 0;
    try {
      n = Port.Read(piece, std::min(kReadPiece, static_cast<size_t>(remaining)));
    } catch (const ECommError&) {
      break;
    }
    if (n <= 0) break;
    remaining -= n;
    // Counted before the bytes are stored: whoever sees a head sees at least its count.
    fBytesReceived.fetch_add(static_cast<uint64_t>(n), std::memory_order_release);
    bool wake = false;
    {
      std::unique_lock<std::mutex> lock(fRxLock);
      wake = fWakeOnAll;
      for (int i = 0; i < n; ++i) {
        if (fWakeMarks.Feed(piece[i])) wake = true;
        uint32_t head = fRxHead.load(std::memory_order_relaxed);
        fRxBuffer[head].store(static_cast<uint8_t>(piece[i]), std::memory_order_relaxed);
        if (piece[i] == '\r' && HasOnRxLine()) {
          // The receiver sees the ring up to, not including, this carriage return.
          lock.unlock();
          FireRxLine();
          lock.lock();
          head = fRxHead.load(std::memory_order_relaxed);
        }
        fRxHead.store((head + 1) % kRxBufferSize, std::memory_order_release);
      }
    }
    { std::lock_guard<std::mutex> g(fRxWaitLock); }
    fRxCond.notify_all();
    // While a command is typed its echoes are the watcher's business alone; its end wakes
    // this thread only where any piece would, or when the typing failed.
    switch (TypeOnEcho(Port)) {
      case kTyping:
        wake = false;
        break;
      case kTypingFailed:
        wake = true;
        break;
      default:
        break;
    }
    if (wake) {
      fReplyWakeups.fetch_add(1, std::memory_order_relaxed);
      Feedback().SignalActivity();
    }
  }
}

void TKXTAcomm::DsrChanged(TCustomComm& Port) {
  // Only a lost DSR ends the session; a line coming up is no reason to hang up.
  if (Port.ModemStatus(2)) return;
  {
    std::lock_guard<std::mutex> g(fLossLock);
    fLossText = Port.LossReason();
  }
  fLoggedIn = false;
  fClosePending = true;
  { std::lock_guard<std::mutex> g(fRxWaitLock); }
  fRxCond.notify_all();
  Feedback().SignalActivity();
}

void TKXTAcomm::CarrierChanged(TCustomComm& Port) {
  if (fModemMode && !Port.ModemStatus(4)) fCarrierLostPending = true;
  // The dial step waits for the carrier to come up: wake it either way.
  Feedback().SignalActivity();
}

void TKXTAcomm::DumpWriter() {
  std::lock_guard<std::mutex> g(fDumpLock);
  if (!fDumpStream) return;
  const uint32_t head = RxHead();
  const uint32_t pos = fDumpPos.load();
  if (pos == head) return;
  const std::string bytes = RingText(pos, head);
  fDumpStream->Write(bytes.data(), bytes.size());
  fDumpPos.store(head);
  fDumpLines.fetch_add(1);
  // Enough of the end to find the last line of the listing in.
  fDumpRecent += bytes;
  if (fDumpRecent.size() > 2 * kMaxDumpLineKept) fDumpRecent.erase(0, fDumpRecent.size() - kMaxDumpLineKept);
}

std::string TKXTAcomm::RingText(uint32_t From, uint32_t To) const {
  From %= kRxBufferSize;
  To %= kRxBufferSize;
  std::string s;
  s.reserve((To + kRxBufferSize - From) % kRxBufferSize);
  while (From != To) {
    s += static_cast<char>(fRxBuffer[From].load(std::memory_order_relaxed));
    From = (From + 1) % kRxBufferSize;
  }
  return s;
}

void TKXTAcomm::ResetRx() {
  std::lock_guard<std::mutex> g(fRxLock);
  for (auto& b : fRxBuffer) b.store(0, std::memory_order_relaxed);
  fRxHead.store(0, std::memory_order_release);
  fDumpPos.store(0);
}

// ---------------------------------------------------------------- waiting and line events

bool TKXTAcomm::ServiceLineEvents() {
  if (fCarrierLostPending.exchange(false) && fModemMode) {
    CarrierLostCleanup();
    return true;
  }
  if (fClosePending.exchange(false)) {
    fLoggedIn = false;
    ClosePort();
  }
  return false;
}

void TKXTAcomm::CarrierLostCleanup() {
  fCarrierWasLost = true;
  ClosePort();
  fModemMode = false;
  fBusy = false;
  fLoggedIn = false;
  TNotifyEvent handler = std::move(OnCarrierLost);
  OnCarrierLost = nullptr;
  if (handler) handler();
}

void TKXTAcomm::Wait(int Ms) {
  const auto t0 = std::chrono::steady_clock::now();
  const uint32_t start = GetTickCount32();
  for (;;) {
    if (!fBusy) ServiceLineEvents();
    const int32_t left = Ms - Since(start);
    if (left <= 0 || ConnectAborted()) break;
    Feedback().WaitForActivity(left);
  }
  fPauseMicros += MicrosSince(t0);
}

void TKXTAcomm::Sleep(int Ms) {
  if (Ms <= 0) return;
  const auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
  fPauseMicros += MicrosSince(t0);
}

void TKXTAcomm::WakeOnAll() {
  std::lock_guard<std::mutex> g(fRxLock);
  fWakeOnAll = true;
  fWakeMarks = TMarkWatch();
}

void TKXTAcomm::WakeOnMarks(const std::vector<std::string>& Marks, TReplyScan& Scan,
                            uint32_t& Seen) {
  // Under the watcher's lock: it stores no byte meanwhile, and takes up the text exactly where
  // Scan leaves it.
  std::lock_guard<std::mutex> g(fRxLock);
  TakeRx(Scan, Seen, RxHead());
  size_t longest = 0;
  for (const std::string& m : Marks) longest = std::max(longest, m.size());
  const std::string& text = Scan.Text();
  const size_t keep = std::min(text.size(), longest);
  fWakeMarks = TMarkWatch(Marks, text.substr(text.size() - keep));
  fWakeOnAll = false;
}

void TKXTAcomm::TakeRx(TReplyScan& Scan, uint32_t& Seen, uint32_t Head) const {
  if (Head == Seen) return;
  Scan.Append(RingText(Seen, Head));
  Seen = Head;
}

void TKXTAcomm::WaitRx(int Ms, uint32_t SeenHead) {
  std::unique_lock<std::mutex> lock(fRxWaitLock);
  fRxCond.wait_for(lock, std::chrono::milliseconds(Ms),
                   [&] { return RxHead() != SeenHead || fClosePending.load(); });
}

// ---------------------------------------------------------------- sending

bool TKXTAcomm::WriteCounted(TCustomComm& Port, const char* Data, size_t Count) {
  try {
    const int n = Port.Write(Data, Count);
    if (n > 0) fBytesSent.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
    return n == static_cast<int>(Count);
  } catch (const ECommError&) {
    return false;
  }
}

bool TKXTAcomm::SendChar(char C) {
  return PortOpen() && WriteCounted(*fPort, &C, 1);
}

bool TKXTAcomm::SendString(const std::string& S) {
  if (S.empty()) return true;
  return PortOpen() && WriteCounted(*fPort, S.data(), S.size());
}

bool TKXTAcomm::SendSlow(const std::string& S, int Ms) {
  bool ok = true;
  for (char c : S) {
    if (ok) ok = SendChar(c);
    Wait(Ms);
  }
  return ok;
}

bool TKXTAcomm::SendEcho(const std::string& S) {
  const size_t cr = S.find('\r');
  const size_t typed = cr == std::string::npos ? S.size() : cr;
  const std::string tail = cr == std::string::npos ? std::string() : S.substr(cr, 2);
  if (typed == 0) return SendString(tail);
  if (!PortOpen()) return false;
  {
    std::lock_guard<std::mutex> g(fTypeLock);
    fTyping = TTyping();
    fTyping.Chars = S.substr(0, typed);
    fTyping.Tail = tail;
    fTyping.Active = true;
    TypeNextLocked(*fPort);
  }
  struct TEnd {
    TKXTAcomm& Comm;
    ~TEnd() {
      std::lock_guard<std::mutex> g(Comm.fTypeLock);
      Comm.fTyping.Active = false;
    }
  } end{*this};
  for (;;) {
    int32_t left = 0;
    {
      std::lock_guard<std::mutex> g(fTypeLock);
      if (!fTyping.Active) return fTyping.Ok;
      left = Timing.EchoWait - Since(fTyping.SentAt);
      // A line that went down ends the typing; it is not typed into the void char by char.
      if (!PortOpen() || fClosePending.load()) {
        fTyping.Ok = fTyping.Active = false;
        continue;
      }
      // No echo in time: the next character goes anyway, as a PBX that does not echo expects.
      if (left <= 0) {
        TypeNextLocked(*fPort);
        continue;
      }
    }
    Feedback().WaitForActivity(left);
  }
}

void TKXTAcomm::TypeNextLocked(TCustomComm& Port) {
  TTyping& t = fTyping;
  bool ok = true;
  if (t.Next < t.Chars.size()) {
    t.EchoHead = RxHead();
    ok = WriteCounted(Port, &t.Chars[t.Next], 1);
    ++t.Next;
    t.SentAt = GetTickCount32();
    if (ok) return;
  } else if (!t.Tail.empty()) {
    ok = WriteCounted(Port, t.Tail.data(), t.Tail.size());
  }
  t.Ok = ok;
  t.Active = false;
}

TKXTAcomm::TTypeState TKXTAcomm::TypeOnEcho(TCustomComm& Port) {
  std::lock_guard<std::mutex> g(fTypeLock);
  if (!fTyping.Active) return kNotTyping;
  if (RxHead() != fTyping.EchoHead) TypeNextLocked(Port);
  if (fTyping.Active) return kTyping;
  return fTyping.Ok ? kTyped : kTypingFailed;
}

// ---------------------------------------------------------------- the exchange

int TKXTAcomm::Transact(const std::string& Cmd, const std::string& Prompt, std::string& Reply,
                        int SendMode, int PostDelay) {
  if (fBusy) return 7;
  ServiceLineEvents();
  if (!PortOpen()) {
    // Nothing can arrive without a port: fail now instead of after the silence timeout.
    Reply.clear();
    return 7;
  }
  fBusy = true;
  ++fExchanges;
  const uint32_t start = RxHead();
  const uint64_t startCount = fBytesReceived.load(std::memory_order_acquire);
  // More than the ring holds has come since the command: its start is overwritten. The
  // exchange still waits for the prompt at the end of the ring, so that the rest of this
  // answer cannot be taken for the next command's.
  auto overrun = [&] {
    return fBytesReceived.load(std::memory_order_acquire) - startCount >= kRxBufferSize;
  };
  enum { kError, kPrompt, kCarrierLost, kAnyPrompt };
  TReplyScan scan({"Command error", Prompt, CarrierLostText, ">"});
  uint32_t seen = start;
  int result = 7;
  // Only a piece that completes a mark needs this thread, from the first character typed on
  // (the watcher types the rest itself): the marks are followed from the first byte not yet
  // looked at, so no completion can slip by unnoticed. (The last mark matters only after
  // "Command error", when every piece wakes the tail's wait.)
  WakeOnMarks({"Command error", Prompt, CarrierLostText}, scan, seen);
  struct TWakeAll {
    TKXTAcomm& Comm;
    ~TWakeAll() { Comm.WakeOnAll(); }  // also when a carrier-lost handler throws
  } wakeAll{*this};
  switch (SendMode) {
    case 0:
      SendString(Cmd);
      break;
    case 1:
      SendEcho(Cmd);
      break;
    default:
      SendSlow(Cmd, Timing.SlowPause);
      break;
  }
  fLastRxTime.store(GetTickCount32());
  const uint32_t begun = GetTickCount32();
  for (;;) {
    // The head first, then the count: the count then covers every byte up to that head, so a
    // text that has wrapped is never taken for the answer.
    const uint32_t head = RxHead();
    if (overrun()) {
      const std::string ring = RingText(head + 1, head);
      if (Contains(ring, Prompt) || Since(fLastRxTime.load()) > fRxTimeout ||
          Since(begun) >= Timing.ExchangeLimit || fClosePending.load() || !PortOpen()) {
        Reply = ring;
        result = kResultOverrun;
        break;
      }
      Feedback().WaitForActivity(fRxTimeout);
      continue;
    }
    TakeRx(scan, seen, head);
    if (scan.Found(kError)) {
      result = 8;
      const uint32_t tail = GetTickCount32();
      while (!scan.Found(kAnyPrompt)) {
        const int32_t left = Timing.ErrorTail - Since(tail);
        if (left <= 0) break;
        WaitRx(left, seen);
        TakeRx(scan, seen, RxHead());
      }
      break;
    }
    if (scan.Found(kPrompt)) {
      result = 0;
      break;
    }
    if (fModemMode && scan.Found(kCarrierLost)) {
      // The line is gone: tidy up completely, so the next Connect finds a closed port.
      CarrierLostCleanup();
      result = 9;
      break;
    }
    if (fCarrierLostPending.load() && fModemMode) {
      ServiceLineEvents();
      result = 9;
      break;
    }
    if (fClosePending.load()) {
      ServiceLineEvents();
      break;
    }
    if (ConnectAborted()) {
      result = kResultAborted;
      break;
    }
    const int32_t silence = Since(fLastRxTime.load());
    const int32_t total = Since(begun);
    if (silence > fRxTimeout || total >= Timing.ExchangeLimit) break;
    Feedback().WaitForActivity(std::min(fRxTimeout - silence + 1, Timing.ExchangeLimit - total));
  }
  WakeOnAll();
  if (result == 0 && PostDelay > 0) Wait(PostDelay);
  if (result != kResultOverrun) {
    TakeRx(scan, seen, RxHead());
    Reply = scan.Text();
  }
  fBusy = false;
  return result;
}

bool TKXTAcomm::SendCommand(const std::string& Cmd, TStringList& Lines, const std::string& Prompt) {
  fLastSent = false;
  if (fAbortRequested.exchange(false)) throw EAbortOperation();
  ++fCommands;
  Lines.clear();
  // Told once when it was lost; a run of hundreds of commands must not repeat the error box
  // (and the silence timeout) for each of them.
  if (fLineLost) return false;
  if (fRestoreEditMode && !fBusy) {
    fRestoreEditMode = false;
    EndMode();
    EnterEditMode();
  }
  if (fBusy) {
    // A command started while another waits for its answer (a window event handled during
    // the wait): it is refused unsent, and the line is as good as it was.
    ShowError("Error in cmd: \r" + Cmd +
              "\rAnother command is still waiting for the PBX's answer; this one was not sent. "
              "Try again when the PBX operation in progress has ended.");
    WriteErrorLog(Cmd, 7);
    return false;
  }
  if (OnCommand) OnCommand(Cmd);
  std::string reply;
  const bool wasOpen = PortOpen();
  fLastSent = true;
  const int r = Transact(Cmd + "\r", Prompt, reply, 1, 0);
  if (r == 0) {
    Lines = SplitLines(reply);
    return true;
  }
  std::string why;
  if (r == kResultOverrun) {
    why = Format("\rThe answer was longer than the receive buffer (%u bytes) and was not taken.",
                 kRxBufferSize);
  } else if (r == 9 || !PortOpen()) {
    // The loss may have been handled just before the exchange began (then the result is 7).
    std::string loss;
    {
      std::lock_guard<std::mutex> g(fLossLock);
      loss = fLossText;
    }
    const std::string cause = r == 9 || fCarrierWasLost ? "\rThe modem carrier is lost"
                              : !loss.empty()           ? "\r" + loss
                              : wasOpen                 ? "\rThe PBX dropped DSR"
                                                        : "\rThe port is closed";
    why = cause +
          ": the connection is lost. The commands that follow are not sent; connect again.";
    fLineLost = true;
  } else if (r == 7 && reply.empty()) {
    why = Format("\rThe PBX has not answered for %d ms: the connection is lost. The commands "
                 "that follow are not sent; connect again.", fRxTimeout);
    fLineLost = true;
  }
  if (fLineLost) fLoggedIn = false;
  ShowError("Error in cmd: \r" + (why.empty() || !reply.empty() ? reply : Cmd) + why);
  WriteErrorLog(reply, r);
  return false;
}

void TKXTAcomm::WriteErrorLog(const std::string& Reply, int Result) {
  const std::string path = ErrorLogFile();
  // The log holds the PBX's answers, which may hold codes: a new log is the owner's alone.
  FILE* f = OpenPrivateAppend(path);
  if (!f && fErrorLogFile.empty()) {
    EnsureAppDirs();
    f = OpenPrivateAppend(path);
  }
  if (!f) return;  // a log that cannot be written is not worth a second error box
  const std::string entry = DateTimeToDisplayString(Now()) + "\r\n" +
                            Format("waResult=%d Buffer:", Result) + "\r\n" + Reply + "\r\n\r\n";
  std::fwrite(entry.data(), 1, entry.size(), f);
  std::fclose(f);
}

// ---------------------------------------------------------------- modes

void TKXTAcomm::EndMode() {
  std::string reply;
  for (int i = 0; i < 2; ++i) Transact("END\r", ";>", reply, 1, Timing.PromptPause);
}

bool TKXTAcomm::EnterEditMode() {
  std::string reply;
  return Transact("EDT\r", ";>", reply, 1, 0) == 0 && Transact("INT\r", ";E>", reply, 1, 0) == 0;
}

bool TKXTAcomm::EnterShowMode() {
  std::string reply;
  return Transact("SHW\r", ";>", reply, 1, 0) == 0 && Transact("INT\r", ";S>", reply, 1, 0) == 0;
}

bool TKXTAcomm::EnterDumpMode() {
  std::string reply;
  return Transact("DMP\r", ";P", reply, 1, 0) == 0;
}

std::string TKXTAcomm::VersionText(const std::string& Reply) {
  const size_t p = Reply.find(";=>");
  if (p == std::string::npos) return std::string();
  std::string v = Reply.substr(p + 3, 16);
  const size_t end = v.find_first_of("\r\n");
  if (end != std::string::npos) v.resize(end);
  return v;
}

// The password and its answer: 0 taken, 5 refused, 7 when the PBX said nothing after the echo
// of the password (it stopped answering: no reason to blame the password), 9 carrier lost.
int TKXTAcomm::SendPassword(const std::string& Password, std::string& Reply) {
  // The line trace shows the password and its echo as "*".
  if (fPort) fPort->SetTraceMasked(true);
  const int r = Transact(Password + "\r", ";>", Reply, 1, Timing.PromptPause);
  if (fPort) fPort->SetTraceMasked(false);
  if (r == 0 || r == 9 || r == kResultAborted) return r;
  const size_t lineEnd = Reply.find_first_of("\r\n");
  const bool answered = lineEnd != std::string::npos &&
                        Reply.find_first_not_of("\r\n ", lineEnd) != std::string::npos;
  return answered ? 5 : 7;
}

int TKXTAcomm::Login(const std::string& Password, int LineEndIndex) {
  (void)LineEndIndex;  // the wake-up line always ends "\r\n"; the index shapes the goodbye
  const int pause = Timing.PromptPause;
  fBusy = false;
  fLoggedIn = false;
  fPbxVersion = "???";
  ResetRx();
  fLastRxTime.store(GetTickCount32());
  if (!fPort || !fPort->ModemStatus(2)) return 6;
  bool wasInMode = false;
  std::string reply;
  fConnectStep = "TA616";
  int r = Transact("TA616\r\n", ";>", reply, 2, pause);
  if (r == 9 || r == kResultAborted) return r;
  if (r != 0) {
    const bool hasPassword = Contains(reply, "Password");
    if (!Contains(reply, ";>") && !Contains(reply, ";E>") && !Contains(reply, ";S>") &&
        !Contains(reply, ";P>") && !hasPassword)
      return 2;
    wasInMode = true;
    if (hasPassword && (r = SendPassword(Password, reply)) != 0) return r;
    EndMode();
  }
  if (ConnectAborted()) return kResultAborted;
  fConnectStep = "VER";
  r = Transact("VER\r", ";>", reply, 1, pause);
  if (r != 0) return r;
  fPbxVersion = VersionText(reply);
  fConnectStep = "EDT";
  if (wasInMode) {
    r = Transact("EDT\r", ";>", reply, 1, pause);
    if (r != 0) return r;
  } else {
    r = Transact("EDT\r", "Password :", reply, 1, pause);
    if (r != 0) return r;
    fConnectStep = "the password";
    if ((r = SendPassword(Password, reply)) != 0) return r;
  }
  fConnectStep = "INT";
  r = Transact("INT\r", ";E>", reply, 1, pause);
  if (r != 0) return r;
  fLoggedIn = true;
  return wasInMode ? 3 : 0;
}

// ---------------------------------------------------------------- connection

bool TKXTAcomm::OpenPort(const std::string& DeviceName, int SpeedIndex, int StopBitsIndex,
                         int WordLenIndex, int ParityIndex) {
  if (!fPort) {
    try {
      fPort = fPortFactory ? fPortFactory() : std::make_unique<TComm>();
    } catch (const std::exception&) {
      fPort.reset();
    }
    if (!fPort) return false;
    fPort->OnDsr = [this](TCustomComm& p) { DsrChanged(p); };
    fPort->OnRxChar = [this](TCustomComm& p, int n) { Receive(p, n); };
    fPort->OnRlsd = [this](TCustomComm& p) { CarrierChanged(p); };
  }
  try {
    if (fPort->DeviceName() != DeviceName) {
      fPort->Close();
      Sleep(Timing.RenamePause);
      fPort->SetDeviceName(DeviceName);
    }
    fPort->SetBaudRate(Pick(kSpeeds, SpeedIndex, br9600));
    fPort->SetParity(Pick(kParities, ParityIndex, paNone));
    fPort->SetDatabits(Pick(kWordLens, WordLenIndex, da8));
    fPort->SetStopbits(Pick(kStopBits, StopBitsIndex, sb10));
    // Carrier changes too, so that a modem line that drops is noticed without its text.
    fPort->SetMonitorEvents({evDsr, evRxChar, evRlsd});
    fPort->SetFlowControl(fcNone);
    fPort->SetTraceFile(fTraceFile);
    fPort->Open();
    if (!fPort->Connected()) throw ECommError(kErrAccessDevice, -1);
  } catch (const ECommError& e) {
    fConnectErrorText = e.Detail().empty() ? std::string(e.what()) : e.Detail();
    ClosePort();
    return false;
  }
  return true;
}

void TKXTAcomm::ClosePort() {
  if (!fPort) return;
  try {
    fPort->SetRTS(false);
    fPort->SetDTR(false);
    fPort->Close();
    Sleep(Timing.ClosePause);
  } catch (const ECommError&) {
  }
  // Freeing the port stops and joins its watcher before any hook goes away.
  fPort.reset();
  fClosePending = false;
}

int TKXTAcomm::Connect(int ComNo, int SpeedIndex, int StopBitsIndex, int WordLenIndex,
                       int ParityIndex, const std::string& Password, int LineEndIndex,
                       bool UseModem, const std::string& InitString, const std::string& DialNumber,
                       int WaitCDtimeout, int& DialResult) {
  return DoConnect(Format("COM%d", ComNo), SpeedIndex, StopBitsIndex, WordLenIndex, ParityIndex,
                   Password, LineEndIndex, UseModem, InitString, DialNumber, WaitCDtimeout,
                   DialResult);
}

int TKXTAcomm::ConnectDevice(const std::string& DeviceName, int SpeedIndex, int StopBitsIndex,
                             int WordLenIndex, int ParityIndex, const std::string& Password,
                             int LineEndIndex, bool UseModem, const std::string& InitString,
                             const std::string& DialNumber, int WaitCDtimeout, int& DialResult) {
  return DoConnect(DeviceName, SpeedIndex, StopBitsIndex, WordLenIndex, ParityIndex, Password,
                   LineEndIndex, UseModem, InitString, DialNumber, WaitCDtimeout, DialResult);
}

int TKXTAcomm::DoConnect(const std::string& DeviceName, int SpeedIndex, int StopBitsIndex,
                         int WordLenIndex, int ParityIndex, const std::string& Password,
                         int LineEndIndex, bool UseModem, const std::string& InitString,
                         const std::string& DialNumber, int WaitCDtimeout, int& DialResult) {
  fModemMode = false;
  fLineLost = false;
  fCarrierWasLost = false;
  {
    std::lock_guard<std::mutex> g(fLossLock);
    fLossText.clear();
  }
  fRestoreEditMode = false;
  fConnectStep.clear();
  fRxTimeout = Timing.DirectTimeout;
  fConnectErrorText.clear();
  fClosePending = false;
  fCarrierLostPending = false;
  DialResult = 0;
  // A port left open by a connection that was lost (silence, a dropped line) is closed first:
  // opening it again would fail once and leave the user guessing.
  if (PortOpen()) ClosePort();
  if (!OpenPort(DeviceName, SpeedIndex, StopBitsIndex, WordLenIndex, ParityIndex)) return 1;
  try {
    fPort->SetDTR(true);
    fPort->SetRTS(true);
  } catch (const ECommError& e) {
    fConnectErrorText = e.what();
    ClosePort();
    return 1;
  }
  // From here on the user's abort ends the attempt at once: a PBX that answers slowly in pieces
  // can keep a log-in going for minutes.
  struct TConnecting {
    bool& Flag;
    explicit TConnecting(bool& F) : Flag(F) { Flag = true; }
    ~TConnecting() { Flag = false; }
  } connecting(fConnecting);
  Wait(Timing.OpenPause);
  if (UseModem) {
    fRxTimeout = Timing.ModemTimeout;
    std::string response;
    DialResult = Dial(InitString, DialNumber, WaitCDtimeout, response);
    if (ConnectAborted()) {
      fAbortRequested = false;
      ClosePort();
      return kResultAborted;
    }
    if (DialResult != 0) {
      ClosePort();
      return 4;
    }
    fModemMode = true;
  }
  int r = 2;
  for (int attempt = 0; attempt < kLoginAttempts; ++attempt) {
    r = Login(Password, LineEndIndex);
    if (r == 0 || r == 3 || r == 5 || r == kResultAborted) break;
    // A line that is gone (the modem's carrier, DSR) is not tried again: the next attempt
    // would only meet a closed port and blame the cable.
    if (r == 9 || fCarrierWasLost) {
      r = 9;
      break;
    }
    if (!PortOpen()) break;
    Wait(Timing.LoginPause);
  }
  if (r == 0 || r == 3) {
    fConnectTime = SteadyNow();
    return 0;
  }
  if (r == kResultAborted) fAbortRequested = false;  // taken: it ended this attempt
  fConnecting = false;  // the goodbye is typed whole
  SendSlow(LineEndIndex == 1 ? "BYE\r" : "BYE\r\n", Timing.ByePause);
  ClosePort();
  fModemMode = false;
  Wait(Timing.FailPause);
  return r;
}

void TKXTAcomm::Disconnect() {
  fRestoreEditMode = false;
  SendSlow("BYE\r", Timing.ByePause);
  Wait(Timing.DisconnectPause);
  fModemMode = false;
  fBusy = false;
  fLoggedIn = false;
  ClosePort();
  Wait(Timing.DisconnectTail);
}

int TKXTAcomm::Dial(const std::string& InitString, const std::string& DialNumber, int WaitCDtimeout,
                    std::string& Response) {
  if (!InitString.empty()) {
    std::string s = UpperTrimmed(InitString);
    if (s.empty() || s.back() != '\r') s += '\r';
    if (s.rfind("AT", 0) != 0) s = "AT" + s;
    std::string reply;
    if (Transact(s, "OK", reply, 0, Timing.PromptPause) != 0) return 1;
  }
  std::string d = UpperTrimmed(DialNumber);
  if (d.empty() || d.back() != '\r') d += '\r';
  if (d.rfind("ATD", 0) != 0) d = "ATD" + d;
  fDialPos = RxHead();
  SendString(d);
  const uint32_t start = GetTickCount32();
  // Seconds; a wait beyond an hour is a typing slip, and must not overflow into no wait at all.
  const int32_t waitMs = std::clamp(WaitCDtimeout, 1, kMaxWaitCD) * 1000;
  int result = 3;
  for (;;) {
    const int32_t elapsed = Since(start);
    if (elapsed > waitMs) break;
    Response = RingText(fDialPos, RxHead());
    if (elapsed > Timing.DialEchoLimit && RxHead() == fDialPos) {
      result = 1;
      break;
    }
    if (fPort && fPort->ModemStatus(4)) {
      result = 0;
      break;
    }
    if (Contains(Response, "NO DIAL")) {
      result = 5;
      break;
    }
    if (Contains(Response, "BUSY")) {
      result = 4;
      break;
    }
    if (Contains(Response, "NO CARRIER")) {
      result = 2;
      break;
    }
    if (ConnectAborted()) break;
    int32_t next = waitMs - elapsed + 1;
    if (elapsed <= Timing.DialEchoLimit) next = std::min(next, Timing.DialEchoLimit - elapsed + 1);
    Feedback().WaitForActivity(next);
  }
  return result;
}

void TKXTAcomm::WarnOfDumpEnd() {
  std::string recent;
  {
    std::lock_guard<std::mutex> g(fDumpLock);
    recent = fDumpRecent;
  }
  const size_t marker = recent.rfind(";=>");
  const std::string last = marker == std::string::npos ? std::string() : recent.substr(marker + 3);
  const std::string head = last.substr(0, last.find('/'));
  // A whole listing ends with the PF buttons of the last DSS console a model has.
  const auto& programs = TPbxCatalogue::Get().Programs();
  for (size_t p = programs.size() >= 2 ? programs.size() - 2 : 0; p < programs.size(); ++p)
    if (SameTextAscii(head, programs[p].Head(programs[p].Keys.size() - 1))) return;
  const TPbxProgram& end = programs.back();
  ShowInformation("Warning: the PBX's listing ended with " +
                  (head.empty() ? std::string("no program line") : EscapeUnprintable(head)) +
                  ", not with the last line of a whole listing (" + end.Head(end.Keys.size() - 1) +
                  "): it may be cut short. Compare it with an earlier dump.");
}

bool TKXTAcomm::StoreDump(const std::string& Cmd, TStream& Stream) {
  {
    std::lock_guard<std::mutex> g(fDumpLock);
    fDumpStream = &Stream;
  }
  fDumpLines = 0;
  fDumpRecent.clear();
  ProgressShow("Store dump", 3000, false);
  EndMode();
  EnterDumpMode();
  fDumpPos = RxHead();
  SetOnRxLine([this] { DumpWriter(); });
  fLastRxTime.store(GetTickCount32());
  SendEcho(Cmd + "\r");
  // The watcher writes the lines; this thread only moves the progress bar and watches the time.
  int shown = 0;
  for (;;) {
    const int n = fDumpLines.load();
    if (n > shown) {
      ProgressAdvance(n - shown);
      shown = n;
    }
    ServiceLineEvents();
    if (!PortOpen()) break;
    if (fAbortRequested.load()) break;  // the caller sees the request and keeps no file
    const int32_t silence = Since(fLastRxTime.load());
    if (silence > fRxTimeout) break;
    Feedback().WaitForActivity(fRxTimeout - silence + 1);
  }
  SetOnRxLine(nullptr);
  {
    // A writer still running on the watcher finishes before the stream is let go.
    std::lock_guard<std::mutex> g(fDumpLock);
    fDumpStream = nullptr;
  }
  if (fDumpLines.load() > shown) ProgressAdvance(fDumpLines.load() - shown);
  // The writer stops before each line's carriage return, so what it left in the ring is the end
  // of the listing: the last line's end, and a prompt where the PBX sends one. The listing ends
  // by silence; it is whole when that silence came after a line end, on a line still up. A
  // listing that stops inside a line leaves the start of that line (or nothing) instead.
  const std::string tail = RingText(fDumpPos.load(), RxHead());
  std::string after = tail.empty() || tail[0] != '\r' ? std::string("?") : tail.substr(1);
  std::erase_if(after, [](char C) { return C == '\r' || C == '\n'; });
  after = TrimBlanks(after);
  const bool complete = fDumpLines.load() > 0 && (after.empty() || after == ";P>") &&
                        PortOpen() && !fLineLost;
  if (complete) WarnOfDumpEnd();
  if (fAbortRequested.load()) {
    // The PBX goes on with its listing, and leaving dump mode would wait for its end: the
    // way back to edit mode is left to the next command (a goodbye needs none).
    fRestoreEditMode = true;
  } else {
    EndMode();
    EnterEditMode();
  }
  ProgressClose();
  return complete;
}
