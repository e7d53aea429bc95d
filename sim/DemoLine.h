// The demo PBX: a simulated KX-TA624 (factory configuration, no pacing) on an in-memory serial
// line, registered as the device "demo", so that the programs can be tried without a PBX.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "MemoryLine.h"
#include "SimRunner.h"

// The far end of the demo line: what the program sends goes into the simulator, what the
// simulator answers and its modem-line changes come back over the line.
//
// The same device serves a direct connection and a modem call, as the program does not tell
// the port which one it makes: the first bytes after the port opens decide. A connection that
// begins with "AT" talks to the simulator's Hayes modem (ATD111 busy, ATD222 no carrier, ...;
// see TSimPbx::SetModemEnabled), any other to the PBX directly.
class TDemoLine final : public TMemoryPeer {
 public:
  TDemoLine();
  ~TDemoLine() override;
  TDemoLine(const TDemoLine&) = delete;
  TDemoLine& operator=(const TDemoLine&) = delete;

  void HostWrite(const char* Data, size_t Count) override;
  void HostControl(bool Dtr, bool Rts) override;
  void HostOpen() override;
  void HostClose() override;

  TMemoryLine& Line() { return fLine; }
  // Runs F on the simulated PBX under its runner's lock (inspection and faults).
  void Control(const std::function<void(TSimPbx&)>& F) { fRunner.Control(F); }
  // Blocks until the simulator has acted on everything sent and delivered its answers.
  bool WaitIdle(int TimeoutMs) { return fRunner.WaitIdle(TimeoutMs); }

 private:
  // The line is declared first so that the runner, whose thread writes into it, stops first.
  TMemoryLine fLine;
  TSimRunner fRunner;
  // Writes come from the program's threads; the lock keeps the held bytes in their order.
  std::mutex fWriteLock;
  bool fFirstBytes = false;  // the port has opened and sent too little to decide yet
  std::string fHeld;         // those bytes, not yet given to the simulator
};

// Registers the device "demo" with the port's device registry. The demo PBX is created on the
// first call and lives until the program ends, so that its configuration survives a reconnect.
void RegisterDemoLine();
// The demo PBX itself (created on first use).
TDemoLine& DemoLine();
