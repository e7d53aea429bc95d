// The in-memory line and the device the port sees on it.
#include "MemoryLine.h"

#include <cerrno>

namespace {
constexpr unsigned EvBit(TCommEventType e) {
  return 1u << static_cast<unsigned>(e);
}
}  // namespace

class TMemoryCommDevice final : public TCommDevice {
 public:
  TMemoryCommDevice(TMemoryLine& Line, std::string Name) : fLine(Line), fName(std::move(Name)) {}
  ~TMemoryCommDevice() override { Close(); }

  std::string Name() const override { return fName; }

  void Open() override {
    {
      std::lock_guard<std::mutex> g(fLine.fLock);
      if (fLine.fOpen) throw ECommError(kErrAccessDevice, EBUSY, OpenFailureDetail(fName, EBUSY));
      fLine.fOpen = true;
      fLine.fRx.clear();
      fLine.fPending = 0;
      fLine.fWake = false;
    }
    fOpened = true;
    if (fLine.fPeer) fLine.fPeer->HostOpen();
  }

  void Close() override {
    if (!fOpened) return;
    fOpened = false;
    {
      std::lock_guard<std::mutex> g(fLine.fLock);
      fLine.fOpen = false;
      fLine.fDtr = fLine.fRts = false;
    }
    if (fLine.fPeer) fLine.fPeer->HostClose();
  }

  void Configure(const TLineSettings& L) override {
    std::lock_guard<std::mutex> g(fLine.fLock);
    fLine.fApplied = L;
  }

  int Read(void* Buffer, size_t Count) override {
    std::lock_guard<std::mutex> g(fLine.fLock);
    char* p = static_cast<char*>(Buffer);
    size_t n = 0;
    while (n < Count && !fLine.fRx.empty()) {
      p[n++] = fLine.fRx.front();
      fLine.fRx.pop_front();
    }
    return static_cast<int>(n);
  }

  int Write(const void* Buffer, size_t Count, int) override {
    if (!fOpened) throw ECommError(kErrWrite, EBADF);
    if (fLine.fPeer && Count) fLine.fPeer->HostWrite(static_cast<const char*>(Buffer), Count);
    return static_cast<int>(Count);
  }

  void Purge() override {
    std::lock_guard<std::mutex> g(fLine.fLock);
    fLine.fRx.clear();
  }

  int ClearErrors(int& InputCount) override {
    std::lock_guard<std::mutex> g(fLine.fLock);
    InputCount = static_cast<int>(fLine.fRx.size());
    return 0;
  }

  bool ModemLines(unsigned& Lines) override {
    std::lock_guard<std::mutex> g(fLine.fLock);
    Lines = fLine.fLines;
    return true;
  }

  void SetDtr(bool On) override { Control(&TMemoryLine::fDtr, On); }
  void SetRts(bool On) override { Control(&TMemoryLine::fRts, On); }

  TCommEventTypes WaitEvent(TCommEventTypes Mask) override {
    std::unique_lock<std::mutex> lock(fLine.fLock);
    fLine.fCond.wait(lock, [&] { return fLine.fWake || (fLine.fPending & Mask.Bits()) != 0; });
    fLine.fWake = false;
    const unsigned got = fLine.fPending & Mask.Bits();
    fLine.fPending &= ~got;
    return TCommEventTypes::FromBits(got);
  }

  void Wake() override {
    {
      std::lock_guard<std::mutex> g(fLine.fLock);
      fLine.fWake = true;
    }
    fLine.fCond.notify_all();
  }

 private:
  void Control(bool TMemoryLine::*Field, bool On) {
    bool dtr, rts;
    {
      std::lock_guard<std::mutex> g(fLine.fLock);
      fLine.*Field = On;
      dtr = fLine.fDtr;
      rts = fLine.fRts;
    }
    if (fLine.fPeer) fLine.fPeer->HostControl(dtr, rts);
  }

  TMemoryLine& fLine;
  std::string fName;
  bool fOpened = false;
};

TMemoryLine::TMemoryLine(TMemoryPeer* Peer) : fPeer(Peer), fLines(kLineDsr | kLineCts) {}
TMemoryLine::~TMemoryLine() = default;

void TMemoryLine::PeerSend(const char* Data, size_t Count) {
  if (!Count) return;
  {
    std::lock_guard<std::mutex> g(fLock);
    if (!fOpen) return;  // nobody listening: the bytes fall off the wire
    fRx.insert(fRx.end(), Data, Data + Count);
    fPending |= EvBit(evRxChar);
  }
  fCond.notify_all();
}

void TMemoryLine::SetLine(unsigned Bit, TCommEventType Event, bool On) {
  {
    std::lock_guard<std::mutex> g(fLock);
    const bool was = (fLines & Bit) != 0;
    if (was == On) return;
    if (On)
      fLines |= Bit;
    else
      fLines &= ~Bit;
    if (fOpen) fPending |= EvBit(Event);
  }
  fCond.notify_all();
}

void TMemoryLine::SetDsr(bool On) {
  SetLine(kLineDsr, evDsr, On);
}
void TMemoryLine::SetCts(bool On) {
  SetLine(kLineCts, evCts, On);
}
void TMemoryLine::SetRing(bool On) {
  SetLine(kLineRing, evRing, On);
}
void TMemoryLine::SetCarrier(bool On) {
  SetLine(kLineCd, evRlsd, On);
}

bool TMemoryLine::Dtr() const {
  std::lock_guard<std::mutex> g(fLock);
  return fDtr;
}
bool TMemoryLine::Rts() const {
  std::lock_guard<std::mutex> g(fLock);
  return fRts;
}
bool TMemoryLine::HostIsOpen() const {
  std::lock_guard<std::mutex> g(fLock);
  return fOpen;
}

TLineSettings TMemoryLine::AppliedSettings() const {
  std::lock_guard<std::mutex> g(fLock);
  return fApplied;
}

std::unique_ptr<TCommDevice> TMemoryLine::CreateDevice(const std::string& Name) {
  return std::make_unique<TMemoryCommDevice>(*this, Name);
}
