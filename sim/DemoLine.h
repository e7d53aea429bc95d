// The demo PBX: a simulated KX-TA624 (factory configuration, no pacing) on an in-memory serial
// line, registered as the device "demo", so that the programs can be tried without a PBX.
#pragma once

#include <functional>
#include <memory>

#include "MemoryLine.h"
#include "SimRunner.h"

// The far end of the demo line: what the program sends goes into the simulator, what the
// simulator answers and its modem-line changes come back over the line.
class TDemoLine final : public TMemoryPeer {
 public:
  TDemoLine();
  ~TDemoLine() override;
  TDemoLine(const TDemoLine&) = delete;
  TDemoLine& operator=(const TDemoLine&) = delete;

  void HostWrite(const char* Data, size_t Count) override;
  void HostControl(bool Dtr, bool Rts) override;

  TMemoryLine& Line() { return fLine; }
  // Runs F on the simulated PBX under its runner's lock (inspection and faults).
  void Control(const std::function<void(TSimPbx&)>& F) { fRunner.Control(F); }
  // Blocks until the simulator has acted on everything sent and delivered its answers.
  bool WaitIdle(int TimeoutMs) { return fRunner.WaitIdle(TimeoutMs); }

 private:
  // The line is declared first so that the runner, whose thread writes into it, stops first.
  TMemoryLine fLine;
  TSimRunner fRunner;
};

// Registers the device "demo" with the port's device registry. The demo PBX is created on the
// first call and lives until the program ends, so that its configuration survives a reconnect.
void RegisterDemoLine();
// The demo PBX itself (created on first use).
TDemoLine& DemoLine();
