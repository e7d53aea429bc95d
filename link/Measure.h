// What each phase of a read or upload took: the connection, the eighteen steps and the goodbye,
// each with its wall and CPU time, the bytes each way, exchanges, commands and the session's
// fixed pauses. kxta and kxta-config (--autorun read --quit) write it with --measure FILE; the
// benchmark (bench/) reads it. It lives in the core, over the session's counters and the
// process's CPU time, so that both programs measure their runs the same way.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "CommKXTA.h"

// The clocks a measurement reads at each phase's start and end. Tests give their own, since
// how much CPU a machine gives a test is no property of the program.
struct TMeasureClocks {
  std::function<std::chrono::steady_clock::time_point()> Wall;
  std::function<uint64_t()> CpuMicros;
  // The steady clock and the process's user and system time (getrusage).
  static TMeasureClocks Process();
};

class TRunMeasure {
 public:
  explicit TRunMeasure(const TKXTAcomm& Comm, TMeasureClocks Clocks = TMeasureClocks::Process())
      : fComm(Comm), fClocks(std::move(Clocks)) {}

  // A phase begins now; End closes it. Kind is "connect", "step" or "disconnect".
  void Begin();
  void End(const std::string& Kind, int Index, const std::string& Title, bool Ok);

  // One header line, then one tab-separated line per phase (title last). False with Error
  // when the file cannot be written.
  bool Write(const std::string& Path, std::string& Error) const;

 private:
  struct TMark {
    std::chrono::steady_clock::time_point Time;
    uint64_t CpuMicros = 0;
    TLineCounters Line;
  };
  struct TPhase {
    std::string Kind;
    int Index = 0;
    std::string Title;
    bool Ok = false;
    TMark From, To;
  };
  TMark Now() const;

  const TKXTAcomm& fComm;
  TMeasureClocks fClocks;
  TMark fBegun;
  bool fOpen = false;
  std::vector<TPhase> fPhases;
};
