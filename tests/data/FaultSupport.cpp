#include "FaultSupport.h"

#include "FileBlocks.h"

TSessionTiming FastTiming() {
  TSessionTiming t;
  t.DirectTimeout = 300;
  t.ModemTimeout = 300;
  t.ErrorTail = 50;
  t.EchoWait = 100;
  t.SlowPause = 2;
  t.OpenPause = 10;
  t.PromptPause = 5;
  t.ByePause = 2;
  t.LoginPause = 10;
  t.FailPause = 10;
  t.DisconnectPause = 10;
  t.DisconnectTail = 10;
  t.ClosePause = 5;
  t.RenamePause = 5;
  t.DialEchoLimit = 500;
  return t;
}

std::string HeadOf(const std::string& Text) { return Text.substr(0, Text.find('/')); }

bool IsQuery(const std::string& Cmd) {
  return Cmd.size() >= 2 && Cmd.compare(Cmd.size() - 2, 2, "//") == 0;
}

TTally Tally(const TSysData& Store, const std::function<std::string(const std::string&)>& PbxLine) {
  TTally t;
  ForEachFileBlock(Store, [&](const TCmdData& B) {
    if (B.Data().empty()) return;
    if (!B.IsActual()) {
      ++t.Stale;
      return;
    }
    const std::string pbx = PbxLine(HeadOf(B.Data()));
    if (pbx == B.Data())
      ++t.Actual;
    else
      t.Wrong.push_back(B.Data() + " | " + pbx);
  });
  return t;
}

std::vector<std::string> ChangedHeads(const TSysData& Store) {
  std::vector<std::string> h;
  ForEachFileBlock(Store, [&](const TCmdData& B) {
    if (B.Changed && !B.Data().empty()) h.push_back(HeadOf(B.Data()));
  });
  return h;
}

int TSentLog::Writes() const {
  int n = 0;
  for (const std::string& c : All)
    if (!IsQuery(c)) ++n;
  return n;
}

std::vector<std::string> TSentLog::WrittenHeads() const {
  std::vector<std::string> h;
  for (const std::string& c : All)
    if (!IsQuery(c)) h.push_back(HeadOf(c));
  return h;
}
