// The conversation with the PBX over the serial port: wake-up and log-in, modes, the command
// exchange with echo, the dump, the error log, and the modem dial step.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CommInt.h"
#include "Session.h"
#include "Stream.h"

// Every pause and time limit of the session, in milliseconds. Tests shrink them.
struct TSessionTiming {
  int DirectTimeout = 7000;   // silence that ends an exchange on a direct cable
  int ModemTimeout = 10000;   // the same through a modem
  int ExchangeLimit = 60000;  // absolute limit of one exchange
  int ErrorTail = 500;        // extra wait for ">" after "Command error"
  int EchoWait = 1000;        // wait for the echo of one typed character
  int SlowPause = 200;        // after each character in slow sending
  int OpenPause = 200;        // after the port is opened and DTR/RTS raised
  int PromptPause = 200;      // after a prompt in login exchanges
  int ByePause = 150;         // after each character of "BYE"
  int LoginPause = 300;       // between login attempts
  int FailPause = 1000;       // after a failed connection's goodbye
  int DisconnectPause = 100;  // after the goodbye of a disconnect
  int DisconnectTail = 500;   // after the port closed on disconnect
  int ClosePause = 100;       // plain sleep after the port closed
  int RenamePause = 100;      // after closing a port to change its device name
  int DialEchoLimit = 2000;   // a modem silent this long after the dial command is absent
};

// What went over the line since the session was made, for measuring a run: bytes each way,
// exchanges (every Transact, log-in and mode changes included), commands (SendCommand), and the
// time spent in the session's fixed pauses (slow typing, after prompts, around opening and
// closing the port, the goodbye).
struct TLineCounters {
  uint64_t BytesSent = 0;
  uint64_t BytesReceived = 0;
  uint64_t Exchanges = 0;
  uint64_t Commands = 0;
  uint64_t PauseMicros = 0;
  // The watcher's wake-ups that brought received bytes (one per byte where each comes alone),
  // and how many of them woke the thread that waits for the reply.
  uint64_t RxWakeups = 0;
  uint64_t ReplyWakeups = 0;
};

// The text received since an exchange began, taken from the ring as it grows, and the marks
// the exchange looks for. Every byte is copied and searched once (a mark that straddles two
// pieces included), so the cost of a wake-up does not grow with what an exchange received.
class TReplyScan {
 public:
  explicit TReplyScan(std::initializer_list<std::string> Marks);
  // Appends Bytes and notes the marks that now occur in the text.
  void Append(const std::string& Bytes);
  bool Found(size_t Mark) const { return fFound[Mark]; }
  const std::string& Text() const { return fText; }

 private:
  std::string fText;
  std::vector<std::string> fMarks;
  std::vector<bool> fFound;
};

// Marks followed byte by byte as the bytes come, for deciding whom an arrival concerns: Feed
// tells when a byte completes one of them. The text before the first Feed can be given as a
// start. Every mark is followed as a string-search automaton, so a byte costs the same
// however long the text has grown.
class TMarkWatch {
 public:
  TMarkWatch() = default;
  // Follows Marks (empty ones are ignored) as if Before had been fed already.
  TMarkWatch(const std::vector<std::string>& Marks, const std::string& Before);
  // True when C completes an occurrence of a mark.
  bool Feed(char C);
  bool Empty() const { return fMarks.empty(); }

 private:
  struct TMark {
    std::string Text;
    std::vector<size_t> Border;  // per prefix length: its longest proper border
    size_t Matched = 0;          // longest prefix of Text that the fed text ends with
  };
  std::vector<TMark> fMarks;
};

class TKXTAcomm : public TPbxSession {
 public:
  static constexpr uint32_t kRxBufferSize = 8192;
  static constexpr int kLoginAttempts = 3;
  static constexpr size_t kReadPiece = 100;
  // Transact's result when an answer overran the receive ring (the others are 0 to 9).
  static constexpr int kResultOverrun = 10;
  // Connect's result when the user's abort request ended the connection attempt.
  static constexpr int kResultAborted = 11;
  // The longest wait for the modem's carrier after dialling, in seconds.
  static constexpr int kMaxWaitCD = 3600;

  using TNotifyEvent = std::function<void()>;
  // Makes the port for a connection; tests and the program may give their own.
  using TPortFactory = std::function<std::unique_ptr<TCustomComm>()>;

  TKXTAcomm();
  ~TKXTAcomm() override;

  // ---- the session's face ----
  int Connect(int ComNo, int SpeedIndex, int StopBitsIndex, int WordLenIndex, int ParityIndex,
              const std::string& Password, int LineEndIndex, bool UseModem,
              const std::string& InitString, const std::string& DialNumber, int WaitCDtimeout,
              int& DialResult);
  // The same with a device name instead of "COM%d" (a path, "demo", a registered line).
  int ConnectDevice(const std::string& DeviceName, int SpeedIndex, int StopBitsIndex,
                    int WordLenIndex, int ParityIndex, const std::string& Password,
                    int LineEndIndex, bool UseModem, const std::string& InitString,
                    const std::string& DialNumber, int WaitCDtimeout, int& DialResult);
  void Disconnect();
  bool SendCommand(const std::string& Cmd, TStringList& Lines, const std::string& Prompt) override;
  void EndMode() override;
  bool EnterEditMode() override;
  bool EnterShowMode() override;
  bool EnterDumpMode();
  // Writes the PBX's listing for Cmd to Stream as its lines come; the listing ends when the PBX
  // has been silent for the exchange timeout. True when it is complete: it ended at a line end
  // before that silence (a dump-mode prompt may follow it or not), the port is still open and
  // the line was not found lost. A listing that stops inside a line, a broken line or a closed
  // port is false, whatever it wrote. A complete listing whose last line is not the last of a
  // whole listing is taken with a warning to the user.
  bool StoreDump(const std::string& Cmd, TStream& Stream);

  double ConnectTime() const override { return fConnectTime; }
  bool LoggedIn() const override { return fLoggedIn.load(); }
  std::string PbxVersion() const override { return fPbxVersion; }
  bool ModemMode() const { return fModemMode; }
  // The connection was found lost (the PBX fell silent, DSR or the carrier dropped): reported
  // once, and every later command fails at once without being sent, until the next Connect.
  bool LineLost() const { return fLineLost; }
  bool LastCommandSent() const override { return fLastSent; }
  bool Busy() const { return fBusy; }
  // Why the last Connect could not open the port, in words a user can act on; empty otherwise.
  const std::string& ConnectErrorText() const { return fConnectErrorText; }
  // The log-in line ("VER", "EDT", "INT", ...) that the last failed Connect ended at.
  const std::string& ConnectStep() const { return fConnectStep; }

  // The carrier-lost callback: fired once (on the user-interface thread), then cleared.
  TNotifyEvent OnCarrierLost;

  void SetErrorLogFile(const std::string& Path) { fErrorLogFile = Path; }
  std::string ErrorLogFile() const;
  // Records every byte on the line, with its time, from the next connection on; "" switches off.
  void SetTraceFile(const std::string& Path) { fTraceFile = Path; }
  void SetPortFactory(TPortFactory Factory) { fPortFactory = std::move(Factory); }
  TLineCounters Counters() const;

  TSessionTiming Timing;
  std::string CarrierLostText = "DISCONNECTED";

  // ---- the steps, public for the modem dialog and for tests ----
  int Login(const std::string& Password, int LineEndIndex);
  int Transact(const std::string& Cmd, const std::string& Prompt, std::string& Reply, int SendMode,
               int PostDelay);
  int Dial(const std::string& InitString, const std::string& DialNumber, int WaitCDtimeout,
           std::string& Response);
  bool SendChar(char C);
  bool SendString(const std::string& S);
  bool SendSlow(const std::string& S, int Ms);
  bool SendEcho(const std::string& S);
  // Pumps (waits for activity) until Ms milliseconds have passed.
  void Wait(int Ms);
  std::string RingText(uint32_t From, uint32_t To) const;
  uint32_t RxHead() const { return fRxHead.load(std::memory_order_acquire); }
  bool PortOpen() const { return fPort && fPort->Connected(); }
  // Version text of a reply to "VER\r": at most 16 characters after ";=>", up to a line end.
  static std::string VersionText(const std::string& Reply);

 private:
  int DoConnect(const std::string& DeviceName, int SpeedIndex, int StopBitsIndex, int WordLenIndex,
                int ParityIndex, const std::string& Password, int LineEndIndex, bool UseModem,
                const std::string& InitString, const std::string& DialNumber, int WaitCDtimeout,
                int& DialResult);
  bool OpenPort(const std::string& DeviceName, int SpeedIndex, int StopBitsIndex, int WordLenIndex,
                int ParityIndex);
  void ClosePort();
  // Runs what the watcher left for this thread: a close after DSR or carrier loss. True when
  // the carrier was lost.
  bool ServiceLineEvents();
  void CarrierLostCleanup();
  // A plain sleep (no pumping) that counts as a fixed pause.
  void Sleep(int Ms);
  // Which received bytes wake this thread: every piece (no marks), or only one that completes
  // a mark of Marks in the text received after Seen (which Scan holds up to Seen). The ring up
  // to its head is taken into Scan first, so that no byte falls between the two.
  void WakeOnAll();
  void WakeOnMarks(const std::vector<std::string>& Marks, TReplyScan& Scan, uint32_t& Seen);
  // Appends to Scan what the ring received after Seen up to Head, and moves Seen to Head.
  void TakeRx(TReplyScan& Scan, uint32_t& Seen, uint32_t Head) const;
  // Waits, without pumping, until the ring moves past SeenHead or Ms pass.
  void WaitRx(int Ms, uint32_t SeenHead);
  // Writes Data and counts what went out; false when not all of it did or the port failed.
  bool WriteCounted(TCustomComm& Port, const char* Data, size_t Count);
  // Sends the next character of fTyping, or its tail after the last one (fTypeLock held).
  void TypeNextLocked(TCustomComm& Port);
  // The watcher's part of typing, after a received piece: the echo has come, so the next
  // character goes out at once. Tells whether a typing goes on, has just ended or failed.
  enum TTypeState { kNotTyping, kTyping, kTyped, kTypingFailed };
  TTypeState TypeOnEcho(TCustomComm& Port);
  void WriteErrorLog(const std::string& Reply, int Result);
  void ResetRx();

  // watcher-thread handlers
  void Receive(TCustomComm& Port, int Count);
  void DsrChanged(TCustomComm& Port);
  void CarrierChanged(TCustomComm& Port);
  void DumpWriter();
  int SendPassword(const std::string& Password, std::string& Reply);
  bool ConnectAborted() const { return fConnecting && fAbortRequested.load(); }

  std::unique_ptr<TCustomComm> fPort;
  TPortFactory fPortFactory;
  std::atomic<uint32_t> fLastRxTime{0};
  std::array<std::atomic<uint8_t>, kRxBufferSize> fRxBuffer{};
  std::atomic<uint32_t> fRxHead{0};
  std::atomic<uint32_t> fDumpPos{0};
  uint32_t fDialPos = 0;
  bool fBusy = false;
  bool fLastSent = false;
  // A connection attempt is under way: the abort request ends its waits (later, it is taken
  // before the next command).
  bool fConnecting = false;
  // A dump was aborted in dump mode: the next command first returns to edit mode.
  bool fRestoreEditMode = false;
  std::string fConnectStep;
  std::atomic<bool> fModemMode{false};
  bool fLineLost = false;
  bool fCarrierWasLost = false;  // since the last Connect
  // The port's words for a line that went down (a network connection closed), since the last
  // Connect; taken when DSR drops, as the port may be gone by the time the message is made.
  std::mutex fLossLock;
  std::string fLossText;
  std::string fErrorLogFile;
  int fRxTimeout = 7000;
  std::mutex fRxLock;  // the watcher's stores against a reset of the ring
  std::mutex fRxWaitLock;
  std::condition_variable fRxCond;
  std::mutex fDumpLock;
  TStream* fDumpStream = nullptr;
  std::atomic<int> fDumpLines{0};
  std::string fDumpRecent;  // the last bytes written to the dump (under fDumpLock)
  static constexpr size_t kMaxDumpLineKept = 512;
  void WarnOfDumpEnd();
  double fConnectTime = 0.0;
  std::atomic<bool> fLoggedIn{false};
  std::string fPbxVersion = "???";
  std::string fConnectErrorText;
  std::string fTraceFile;
  // Set by the watcher, acted on by the user-interface thread.
  std::atomic<bool> fClosePending{false};
  std::atomic<bool> fCarrierLostPending{false};
  // Counters: received bytes are counted on the watcher (also to see a ring overrun), the rest
  // on this thread.
  std::atomic<uint64_t> fBytesReceived{0};
  std::atomic<uint64_t> fRxWakeups{0}, fReplyWakeups{0};
  // The watcher wakes this thread for every received piece, or, while an exchange waits for
  // its reply, only for a piece that completes a mark (the prompt, "Command error", the
  // carrier-lost text). The progress callback fires anyway. Both under fRxLock.
  bool fWakeOnAll = true;
  TMarkWatch fWakeMarks;
  std::atomic<uint64_t> fBytesSent{0};  // the watcher types too
  // The command being typed with echo: the watcher sends each next character as soon as any
  // byte has come after the last one; this thread steps in when an echo is later than
  // EchoWait, and is woken when the typing has ended.
  struct TTyping {
    std::string Chars;      // typed one at a time
    std::string Tail;       // sent at once after the last echo
    size_t Next = 0;        // index of the next character of Chars
    uint32_t SentAt = 0;    // tick of the last send
    uint32_t EchoHead = 0;  // the ring head just before the last send
    bool Active = false;
    bool Ok = true;
  };
  std::mutex fTypeLock;
  TTyping fTyping;  // the watcher types too
  uint64_t fExchanges = 0;
  uint64_t fCommands = 0;
  uint64_t fPauseMicros = 0;
};
