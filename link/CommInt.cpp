// Port logic shared by every device: property rules, the watcher and the event dispatch.
#include "CommInt.h"

#include "CommDevice.h"

const char* const kErrPortOpen = "Port already assigned (open)";
const char* const kErrAccessDevice = "Error accessing specified device";
const char* const kErrInvalidHandle = "Invalid device handle, access denied";
const char* const kErrBuffers = "Error initializing Read/Write Buffers";
const char* const kErrTimeouts = "Error updating CommTimeouts";
const char* const kErrLineState = "Error updating DataControlBlock";
const char* const kErrWrite = "Write error";
const char* const kErrRead = "Read error";
const char* const kErrNotOpen = "Port not open, unable to complete operation";
const char* const kErrEscape = "EscapeCommFunction failure";

unsigned BaudRateValue(TBaudrate B) {
  static const unsigned kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                    19200, 38400, 56000, 57600, 115200, 128000, 256000};
  const unsigned i = static_cast<unsigned>(B);
  return i < sizeof kRates / sizeof kRates[0] ? kRates[i] : 9600;
}

ECommError::ECommError(const std::string& Text, int Code, std::string Detail)
    : Exception(Text + Format(" (Error: %d) ", Code)),
      fErrorCode(Code),
      fText(Text),
      fDetail(std::move(Detail)) {}

// ---- watcher ----

TCommEventThread::TCommEventThread(TCommDevice& Device, TCommEventTypes Mask, TNotify Notify)
    : fDevice(Device), fMask(Mask), fNotify(std::move(Notify)) {
  fThread = std::thread([this] { Run(); });
}

TCommEventThread::~TCommEventThread() {
  RequestStop();
  Join();
}

void TCommEventThread::RequestStop() {
  fStop.store(true);
  fDevice.Wake();
}

void TCommEventThread::Join() {
  if (fThread.joinable() && !IsWatcherThread()) fThread.join();
}

void TCommEventThread::Run() {
  while (!fStop.load()) {
    TCommEventTypes ev;
    try {
      ev = fDevice.WaitEvent(fMask);
    } catch (const ECommError&) {
      break;  // the device is gone; nothing more will come
    }
    if (fStop.load()) break;
    if (!ev.Empty()) fNotify(ev);
  }
  try {
    fDevice.Purge();
  } catch (const ECommError&) {
  }
}

// ---- port ----

TCustomComm::TCustomComm() = default;

TCustomComm::~TCustomComm() {
  Close();
  Reap();
}

void TCustomComm::CheckClosed() const {
  if (fOpen) throw ECommError(kErrPortOpen, -1);
}

void TCustomComm::Reap() {
  // A watcher stopped from its own callback ends on its own; wait for it before its device goes.
  fStoppedWatcher.reset();
  fStoppedDevice.reset();
}

std::unique_ptr<TCommDevice> TCustomComm::OpenDevice() {
  std::unique_ptr<TCommDevice> d = CreateCommDevice(fDeviceName);
  d->Open();
  return d;
}

void TCustomComm::Open() {
  CheckClosed();
  Reap();
  std::unique_ptr<TCommDevice> d = OpenDevice();
  if (!fTraceFile.empty()) d = MakeTraceDevice(std::move(d), fTraceFile, fTraceMask);
  fDevice = std::move(d);
  fOpen = true;
  fWatcher = std::make_unique<TCommEventThread>(*fDevice, fMonitorEvents,
                                                [this](TCommEventTypes e) { DispatchEvents(e); });
  ApplyLineState();
}

void TCustomComm::Close() {
  if (!fOpen) return;
  fOpen = false;
  if (fWatcher && fWatcher->IsWatcherThread()) {
    fWatcher->RequestStop();
    fStoppedWatcher = std::move(fWatcher);
    fStoppedDevice = std::move(fDevice);
    return;
  }
  fWatcher.reset();
  std::lock_guard<std::mutex> g(fIoLock);
  fDevice->Close();
  fDevice.reset();
}

void TCustomComm::ApplyLineState() {
  if (!fOpen) return;
  fDevice->Configure(fLine);
}

int TCustomComm::Write(const void* Buffer, size_t Count) {
  std::lock_guard<std::mutex> g(fIoLock);
  if (!fOpen || !fDevice) throw ECommError(kErrWrite, -1);
  return fDevice->Write(Buffer, Count, WriteTimeout);
}

int TCustomComm::Read(void* Buffer, size_t Count) {
  std::lock_guard<std::mutex> g(fIoLock);
  if (!fDevice) throw ECommError(kErrRead, -1);
  return fDevice->Read(Buffer, Count);
}

void TCustomComm::SetDTR(bool On) {
  if (!fOpen) throw ECommError(kErrNotOpen, -1);
  fDevice->SetDtr(On);
}

void TCustomComm::SetRTS(bool On) {
  if (!fOpen) throw ECommError(kErrNotOpen, -1);
  fDevice->SetRts(On);
}

std::string TCustomComm::LossReason() {
  std::lock_guard<std::mutex> g(fIoLock);
  return fDevice ? fDevice->LossReason() : std::string();
}

bool TCustomComm::ModemStatus(int Line) {
  if (!fOpen || !fDevice || Line < 1 || Line > 4) return false;
  unsigned lines = 0;
  if (!fDevice->ModemLines(lines)) return false;
  static const unsigned kBits[] = {kLineCts, kLineDsr, kLineRing, kLineCd};
  return (lines & kBits[Line - 1]) != 0;
}

void TCustomComm::SetDeviceName(const std::string& Name) {
  if (Name == fDeviceName) return;
  CheckClosed();
  fDeviceName = Name;
}

void TCustomComm::SetMonitorEvents(TCommEventTypes Events) {
  if (Events == fMonitorEvents) return;
  CheckClosed();
  fMonitorEvents = Events;
}

void TCustomComm::SetReadBufSize(int Size) {
  if (Size == fLine.ReadBufSize) return;
  CheckClosed();
  fLine.ReadBufSize = Size;
}

void TCustomComm::SetWriteBufSize(int Size) {
  if (Size == fLine.WriteBufSize) return;
  CheckClosed();
  fLine.WriteBufSize = Size;
}

#define KXTA_LINE_PROPERTY(Setter, Type, Field) \
  void TCustomComm::Setter(Type Value) {        \
    if (Value == fLine.Field) return;           \
    fLine.Field = Value;                        \
    ApplyLineState();                           \
  }

KXTA_LINE_PROPERTY(SetBaudRate, TBaudrate, BaudRate)
KXTA_LINE_PROPERTY(SetParity, TParity, Parity)
KXTA_LINE_PROPERTY(SetStopbits, TStopbits, Stopbits)
KXTA_LINE_PROPERTY(SetDatabits, TDatabits, Databits)
KXTA_LINE_PROPERTY(SetOptions, TCommOptions, Options)
KXTA_LINE_PROPERTY(SetFlowControl, TFlowControl, FlowControl)
#undef KXTA_LINE_PROPERTY

void TCustomComm::SetEventChars(const TCommEventChars& Chars) {
  if (Chars == fLine.EventChars) return;
  fLine.EventChars = Chars;
  ApplyLineState();
}

void TCustomComm::DispatchEvents(TCommEventTypes Events) {
  int waiting = 0;
  int errors = 0;
  {
    std::lock_guard<std::mutex> g(fIoLock);
    if (fDevice) errors = fDevice->ClearErrors(waiting);
  }
  if (Events.Has(evBreak) && OnBreak) OnBreak(*this);
  if (Events.Has(evCts) && OnCts) OnCts(*this);
  if (Events.Has(evDsr) && OnDsr) OnDsr(*this);
  if (Events.Has(evError) && OnError) OnError(*this, errors);
  if (Events.Has(evRing) && OnRing) OnRing(*this);
  if (Events.Has(evRlsd) && OnRlsd) OnRlsd(*this);
  if (Events.Has(evRxChar) && OnRxChar && waiting > 0) OnRxChar(*this, waiting);
  if (Events.Has(evRxFlag) && OnRxFlag) OnRxFlag(*this);
  if (Events.Has(evTxEmpty) && OnTxEmpty) OnTxEmpty(*this);
}
