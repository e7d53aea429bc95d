// A session straight into the simulated PBX's edit mode, as the serial session is after logging
// in, without a line or a thread; and the comparison of the PBX's lines before and after an
// operation. Link kxta_sim to use it.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "DateTime.h"
#include "Errors.h"
#include "Feedback.h"
#include "Session.h"
#include "SimPbx.h"

class TSimSession : public TPbxSession {
 public:
  explicit TSimSession(TSimPbx& Pbx) : fPbx(Pbx) { SetPbxComm(this); }
  ~TSimSession() override { SetPbxComm(nullptr); }

  bool SendCommand(const std::string& Cmd, TStringList& Lines, const std::string&) override {
    if (fAbortRequested.exchange(false)) throw EAbortOperation();
    if (OnCommand) OnCommand(Cmd);
    Sent.push_back(Cmd);
    const std::string reply = fPbx.ExecuteEditCommand(Cmd);
    Lines = SplitLines(Cmd + "\r\n" + reply);
    if (reply.find("Command error") != std::string::npos) {
      ShowError("Error in cmd: \r" + Cmd + "\r\n" + reply);
      return false;
    }
    return true;
  }
  double ConnectTime() const override { return fConnect; }
  // A new connection: what was read before it is no longer actual.
  void Reconnect() { fConnect = SteadyNow(); }

  // The commands that wrote a line (a query ends with "//", the clock's is "000S").
  std::vector<std::string> Writes() const {
    std::vector<std::string> w;
    for (const std::string& s : Sent)
      if (s.find('/') != std::string::npos && s.compare(s.size() - 2, 2, "//") != 0)
        w.push_back(s);
    return w;
  }

  std::vector<std::string> Sent;

 private:
  TSimPbx& fPbx;
  double fConnect = Now() - 1.0;
};

// The lines of After that differ from Before, sorted; lists of other lengths (the PBX gained or
// lost lines) answer with that alone, so that a comparison with the expected lines fails.
inline std::vector<std::string> ChangedLines(const std::vector<std::string>& Before,
                                             const std::vector<std::string>& After) {
  if (After.size() != Before.size())
    return {"the PBX holds " + std::to_string(After.size()) + " lines, " +
            std::to_string(Before.size()) + " before"};
  std::vector<std::string> changed;
  for (size_t i = 0; i < After.size(); ++i)
    if (After[i] != Before[i]) changed.push_back(After[i]);
  std::sort(changed.begin(), changed.end());
  return changed;
}
