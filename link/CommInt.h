// The serial port: property rules, line events and their dispatch, written once above a small
// device interface (CommDevice.h) so that a termios port and an in-memory line behave alike.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Errors.h"

enum TCommEventType {
  evBreak,
  evCts,
  evDsr,
  evError,
  evRing,
  evRlsd,
  evRxChar,
  evRxFlag,
  evTxEmpty
};
enum TBaudrate {
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits { sb10, sb15, sb20 };
enum TDatabits { da4, da5, da6, da7, da8 };
enum TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };

// A small bit set over one of the enumerations above.
template <typename E>
class TEnumSet {
 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<E> Items) {
    for (E e : Items) fBits |= Bit(e);
  }
  static constexpr TEnumSet FromBits(uint32_t Bits) {
    TEnumSet s;
    s.fBits = Bits;
    return s;
  }
  constexpr bool Has(E e) const { return (fBits & Bit(e)) != 0; }
  constexpr void Include(E e) { fBits |= Bit(e); }
  constexpr void Exclude(E e) { fBits &= ~Bit(e); }
  constexpr bool Empty() const { return fBits == 0; }
  constexpr uint32_t Bits() const { return fBits; }
  constexpr TEnumSet operator&(TEnumSet o) const { return FromBits(fBits & o.fBits); }
  constexpr TEnumSet operator|(TEnumSet o) const { return FromBits(fBits | o.fBits); }
  constexpr bool operator==(const TEnumSet&) const = default;

 private:
  static constexpr uint32_t Bit(E e) { return 1u << static_cast<unsigned>(e); }
  uint32_t fBits = 0;
};

using TCommEventTypes = TEnumSet<TCommEventType>;
using TCommOptions = TEnumSet<TCommOption>;

inline constexpr TCommEventTypes kAllCommEvents = TCommEventTypes::FromBits(0x1FF);

// Bit rate in bit/s of each TBaudrate.
unsigned BaudRateValue(TBaudrate B);

class ECommError : public Exception {
 public:
  // Message: Text + " (Error: %d) ". Detail: which device and why, in words a user can act on
  // (empty when there is nothing to add to the message).
  ECommError(const std::string& Text, int Code, std::string Detail = std::string());
  int ErrorCode() const { return fErrorCode; }
  const std::string& Text() const { return fText; }
  const std::string& Detail() const { return fDetail; }

 private:
  int fErrorCode;
  std::string fText;
  std::string fDetail;
};

// The message texts of the port's failures.
extern const char* const kErrPortOpen;       // "Port already assigned (open)"
extern const char* const kErrAccessDevice;   // "Error accessing specified device"
extern const char* const kErrInvalidHandle;  // "Invalid device handle, access denied"
extern const char* const kErrBuffers;        // "Error initializing Read/Write Buffers"
extern const char* const kErrTimeouts;       // "Error updating CommTimeouts"
extern const char* const kErrLineState;      // "Error updating DataControlBlock"
extern const char* const kErrWrite;          // "Write error"
extern const char* const kErrRead;           // "Read error"
extern const char* const kErrNotOpen;        // "Port not open, unable to complete operation"
extern const char* const kErrEscape;         // "EscapeCommFunction failure"

struct TCommEventChars {
  uint8_t XonChar = 17;
  uint8_t XoffChar = 19;
  uint8_t ErrorChar = 0;
  uint8_t EofChar = 0;
  uint8_t EvtChar = 0;
  bool operator==(const TCommEventChars&) const = default;
};

// Everything the device needs to set up the line.
struct TLineSettings {
  TBaudrate BaudRate = br9600;
  TParity Parity = paNone;
  TStopbits Stopbits = sb10;
  TDatabits Databits = da8;
  TFlowControl FlowControl = fcDefault;
  TCommOptions Options;
  TCommEventChars EventChars;
  int ReadBufSize = 4096;
  int WriteBufSize = 2048;
};

class TCommDevice;
class TCustomComm;

// The watcher: waits for line events on the device and hands each event set to the port's
// dispatcher. Stopping wakes the wait; a wake caused by the stop dispatches nothing.
class TCommEventThread {
 public:
  using TNotify = std::function<void(TCommEventTypes)>;
  TCommEventThread(TCommDevice& Device, TCommEventTypes Mask, TNotify Notify);
  ~TCommEventThread();  // stops and joins (must not run on the watcher itself)
  void RequestStop();
  void Join();
  bool IsWatcherThread() const { return std::this_thread::get_id() == fThread.get_id(); }

 private:
  void Run();
  TCommDevice& fDevice;
  TCommEventTypes fMask;
  TNotify fNotify;
  std::atomic<bool> fStop{false};
  std::thread fThread;
};

class TCustomComm {
 public:
  using TNotifyEvent = std::function<void(TCustomComm& Sender)>;
  using TErrorEvent = std::function<void(TCustomComm& Sender, int Errors)>;
  using TRxCharEvent = std::function<void(TCustomComm& Sender, int Count)>;

  TCustomComm();
  virtual ~TCustomComm();
  TCustomComm(const TCustomComm&) = delete;
  TCustomComm& operator=(const TCustomComm&) = delete;

  void Open();
  // Stops the watcher and closes the device. Called from the port's own watcher thread (inside
  // a callback) it only asks the watcher to stop; the watcher closes the device on its way out,
  // and the port object itself must stay alive until it is closed again or destroyed elsewhere.
  void Close();
  bool Connected() const { return fOpen; }

  int Write(const void* Buffer, size_t Count);  // bytes written, -1 when not done in time
  int Read(void* Buffer, size_t Count);         // bytes read (0 when none waiting), -1 on timeout
  void SetDTR(bool On);
  void SetRTS(bool On);
  // 1 = CTS, 2 = DSR, 3 = RING, 4 = carrier detect.
  bool ModemStatus(int Line);
  // Why the line went down, where the device can say more than that DSR dropped (the
  // network's words); empty otherwise, and once the port is closed.
  std::string LossReason();

  const std::string& DeviceName() const { return fDeviceName; }
  void SetDeviceName(const std::string& Name);
  TCommEventTypes MonitorEvents() const { return fMonitorEvents; }
  void SetMonitorEvents(TCommEventTypes Events);
  int ReadBufSize() const { return fLine.ReadBufSize; }
  void SetReadBufSize(int Size);
  int WriteBufSize() const { return fLine.WriteBufSize; }
  void SetWriteBufSize(int Size);
  TBaudrate BaudRate() const { return fLine.BaudRate; }
  void SetBaudRate(TBaudrate Value);
  TParity Parity() const { return fLine.Parity; }
  void SetParity(TParity Value);
  TStopbits Stopbits() const { return fLine.Stopbits; }
  void SetStopbits(TStopbits Value);
  TDatabits Databits() const { return fLine.Databits; }
  void SetDatabits(TDatabits Value);
  TCommOptions Options() const { return fLine.Options; }
  void SetOptions(TCommOptions Value);
  TFlowControl FlowControl() const { return fLine.FlowControl; }
  void SetFlowControl(TFlowControl Value);
  const TCommEventChars& EventChars() const { return fLine.EventChars; }
  void SetEventChars(const TCommEventChars& Chars);

  int ReadTimeout = 1000;
  int WriteTimeout = 1000;

  // A file that receives every byte sent and received with its time; empty (the default) for
  // none. Takes effect at the next Open.
  void SetTraceFile(const std::string& Path) { fTraceFile = Path; }
  const std::string& TraceFile() const { return fTraceFile; }
  // While set, the trace shows each byte written, and as many bytes received after it (their
  // echo), as "*" (line ends apart): a password typed is never recorded.
  void SetTraceMasked(bool On) { fTraceMask->store(On); }

  // Callbacks, called on the watcher thread. Set them while the port is closed.
  TNotifyEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
  TErrorEvent OnError;
  TRxCharEvent OnRxChar;

  // The dispatch of one event set: the watcher's notification. Public for the watcher and for
  // tests of the dispatch order.
  void DispatchEvents(TCommEventTypes Events);

 protected:
  // Obtains the device for DeviceName (Device names: CommDevices.h). Raises ECommError.
  virtual std::unique_ptr<TCommDevice> OpenDevice();

 private:
  void CheckClosed() const;
  void ApplyLineState();
  void Reap();

  std::unique_ptr<TCommDevice> fDevice;
  std::atomic<bool> fOpen{false};
  TLineSettings fLine;
  std::string fDeviceName = "Com2";
  std::mutex fIoLock;
  TCommEventTypes fMonitorEvents = kAllCommEvents;
  std::unique_ptr<TCommEventThread> fWatcher;
  std::string fTraceFile;
  std::shared_ptr<std::atomic<bool>> fTraceMask = std::make_shared<std::atomic<bool>>(false);
  // A watcher asked to stop from inside its own callback, with the device it still owns.
  std::unique_ptr<TCommEventThread> fStoppedWatcher;
  std::unique_ptr<TCommDevice> fStoppedDevice;
};

class TComm : public TCustomComm {
 public:
  using TCustomComm::TCustomComm;
};
