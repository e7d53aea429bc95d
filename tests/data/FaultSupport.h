// Shared pieces of the fault tests: the shortened session timing, a tally of what a store holds
// against what the PBX holds, and the commands a run sent.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "CommKXTA.h"
#include "SysData.h"

// Pauses cut down so that a whole read of the simulator takes about a second; the silence
// timeout is short, so that a fault costs a fraction of a second.
TSessionTiming FastTiming();

// Every block of Store that holds text, compared with the PBX's line of the same head.
struct TTally {
  int Actual = 0;  // actual and equal to the PBX's line
  int Stale = 0;   // not actual (read in an earlier connection or not at all)
  std::vector<std::string> Wrong;  // actual but different from the PBX's line: "held | pbx"
};
TTally Tally(const TSysData& Store, const std::function<std::string(const std::string&)>& PbxLine);

// Heads of the changed blocks of the whole store, in file order.
std::vector<std::string> ChangedHeads(const TSysData& Store);

// Collects the commands a session sends, split into queries and writes.
struct TSentLog {
  std::vector<std::string> All;
  int Writes() const;
  std::vector<std::string> WrittenHeads() const;
  void Attach(TKXTAcomm& Comm) {
    Comm.OnCommand = [this](const std::string& C) { All.push_back(C); };
  }
};

bool IsQuery(const std::string& Cmd);
std::string HeadOf(const std::string& Text);
