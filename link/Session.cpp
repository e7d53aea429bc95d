// The program-wide session slot and the session helpers that are pure text.
#include "Session.h"

namespace {

class TOfflineSession final : public TPbxSession {
 public:
  bool SendCommand(const std::string&, TStringList& Lines, const std::string&) override {
    Lines.clear();
    return false;
  }
  double ConnectTime() const override { return 0.0; }
};

TOfflineSession gOffline;
std::atomic<TPbxSession*> gSession{nullptr};

}  // namespace

TPbxSession& PbxComm() {
  TPbxSession* s = gSession.load();
  return s ? *s : gOffline;
}

void SetPbxComm(TPbxSession* Session) { gSession.store(Session); }

bool TPbxSession::ExtractDataLines(const TStringList& Lines, int& First, int& Last) {
  First = -1;
  Last = -1;
  const int n = static_cast<int>(Lines.size());
  for (int i = 0; i < n; ++i)
    if (Lines[i].find(";=>") != std::string::npos) {
      First = i;
      break;
    }
  for (int i = n - 1; i >= 0; --i)
    if (Lines[i].find(";=>") != std::string::npos) {
      Last = i;
      break;
    }
  return First >= 0 && Last >= 0;
}

void TPbxSession::SetOnRxLine(TRxLineEvent Handler) {
  std::lock_guard<std::mutex> g(fRxLineLock);
  fOnRxLine = std::move(Handler);
}

bool TPbxSession::HasOnRxLine() const {
  std::lock_guard<std::mutex> g(fRxLineLock);
  return static_cast<bool>(fOnRxLine);
}

void TPbxSession::FireRxLine() {
  // Copy under the lock, call outside it: the handler may itself touch the slot.
  TRxLineEvent h;
  {
    std::lock_guard<std::mutex> g(fRxLineLock);
    h = fOnRxLine;
  }
  if (h) h();
}
