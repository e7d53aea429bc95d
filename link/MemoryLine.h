// An in-memory serial line: the program's port on one end, an in-process peer (the simulated
// PBX, a test script) on the other, with the modem lines under the peer's control.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "CommDevice.h"

// The far end of an in-memory serial line (the simulated PBX plugs in here).
class TMemoryPeer {
 public:
  virtual ~TMemoryPeer() = default;
  virtual void HostWrite(const char* Data, size_t Count) = 0;  // bytes the program sent, in order
  virtual void HostControl(bool Dtr, bool Rts) {
    (void)Dtr;
    (void)Rts;
  }
  virtual void HostOpen() {}
  virtual void HostClose() {}
};

// The wire. Peer-side calls are safe from any thread. The peer is called on the program's
// threads (HostWrite on the thread that writes) and must not block there.
class TMemoryLine {
 public:
  explicit TMemoryLine(TMemoryPeer* Peer);
  ~TMemoryLine();
  TMemoryLine(const TMemoryLine&) = delete;
  TMemoryLine& operator=(const TMemoryLine&) = delete;

  // ---- peer side ----
  void PeerSend(const char* Data, size_t Count);  // bytes towards the program
  void PeerSend(const std::string& Bytes) { PeerSend(Bytes.data(), Bytes.size()); }
  void SetDsr(bool On);
  void SetCts(bool On);
  void SetRing(bool On);
  void SetCarrier(bool On);
  bool Dtr() const;
  bool Rts() const;
  bool HostIsOpen() const;

  // ---- device side ----
  // A device on this line for the port; only one can be open at a time.
  std::unique_ptr<TCommDevice> CreateDevice(const std::string& Name = "memory");
  // The line settings the port applied last (for tests).
  TLineSettings AppliedSettings() const;

 private:
  friend class TMemoryCommDevice;
  void SetLine(unsigned Bit, TCommEventType Event, bool On);

  TMemoryPeer* fPeer;
  mutable std::mutex fLock;
  std::condition_variable fCond;
  std::deque<char> fRx;
  unsigned fLines;
  unsigned fPending = 0;  // TCommEventTypes bits not yet reported
  bool fWake = false;
  bool fOpen = false;
  bool fDtr = false;
  bool fRts = false;
  TLineSettings fApplied;
};
