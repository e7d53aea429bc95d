// The scripted PBX: parses what the program types and queues answers for its sender thread,
// so that the program receives them as it would from a cable: later, on another thread.
#include "ScriptedPbx.h"

#include <algorithm>

TScriptedPbx::TScriptedPbx() {
  fThread = std::thread([this] { Run(); });
}

TScriptedPbx::~TScriptedPbx() {
  {
    std::lock_guard<std::mutex> g(fLock);
    fStop = true;
  }
  fCond.notify_all();
  fThread.join();
}

std::vector<std::string> TScriptedPbx::Received() const {
  std::lock_guard<std::mutex> g(fLock);
  return fReceived;
}
int TScriptedPbx::Opens() const {
  std::lock_guard<std::mutex> g(fLock);
  return fOpens;
}
int TScriptedPbx::Closes() const {
  std::lock_guard<std::mutex> g(fLock);
  return fCloses;
}
std::vector<double> TScriptedPbx::EchoTurnarounds() const {
  std::lock_guard<std::mutex> g(fLock);
  return fTurnarounds;
}

void TScriptedPbx::HostOpen() {
  std::lock_guard<std::mutex> g(fLock);
  ++fOpens;
  fAwait = aNone;
  fPartial.clear();
  if (fOpens == 1 && StartInEditMode) {
    fMode = mEdit;
    fAuthed = true;
  }
}

void TScriptedPbx::HostClose() {
  std::lock_guard<std::mutex> g(fLock);
  ++fCloses;
}

void TScriptedPbx::Run() {
  std::unique_lock<std::mutex> lock(fLock);
  for (;;) {
    fCond.wait(lock, [this] { return fStop || !fOut.empty(); });
    if (fStop) return;
    TOut o = std::move(fOut.front());
    fOut.pop_front();
    if (o.GapMs > 0) {
      // A gap on the wire: nothing to do but let it pass, and stop early when torn down.
      if (fCond.wait_for(lock, std::chrono::milliseconds(o.GapMs), [this] { return fStop; }))
        return;
    }
    // Stamped before sending: the host may answer before this thread runs again.
    if (o.Echo) {
      fEchoOutstanding = true;
      fEchoSent = std::chrono::steady_clock::now();
    }
    lock.unlock();
    Line.PeerSend(o.Bytes);
    lock.lock();
  }
}

// Callers hold fLock.
void TScriptedPbx::Send(const std::string& Bytes, bool Echo) {
  fOut.push_back({Bytes, 0, Echo});
  fCond.notify_all();
}

void TScriptedPbx::Answer(const std::string& Bytes) {
  if (PieceSize == 0) {
    fOut.push_back({Bytes, PieceGapMs, false});
  } else {
    for (size_t i = 0; i < Bytes.size(); i += PieceSize)
      fOut.push_back({Bytes.substr(i, PieceSize), PieceGapMs, false});
  }
  fCond.notify_all();
}

void TScriptedPbx::HostWrite(const char* Bytes, size_t Count) {
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard<std::mutex> g(fLock);
  for (size_t i = 0; i < Count; ++i) {
    const char c = Bytes[i];
    if (fEchoOutstanding && c != '\r' && c != '\n') {
      fTurnarounds.push_back(std::chrono::duration<double, std::micro>(now - fEchoSent).count());
    }
    fEchoOutstanding = false;
    const bool silent =
        Silent || (SilentAfterLines >= 0 && static_cast<int>(fReceived.size()) >= SilentAfterLines);
    const bool modemCommand = Modem && !fCarrier;
    if (!silent && !modemCommand) Send(std::string(1, c), c != '\r' && c != '\n');
    if (c == '\n') continue;
    if (c != '\r') {
      fPartial += c;
      continue;
    }
    const std::string l = fPartial;
    fPartial.clear();
    fReceived.push_back(l);
    if (silent) continue;
    if (modemCommand)
      ModemLine(l);
    else
      Line_(l);
  }
}

void TScriptedPbx::ModemLine(const std::string& L) {
  if (L.rfind("ATD", 0) != 0) {
    Answer(L + "\r\r\nOK\r\n");
    return;
  }
  const std::string number = L.substr(3);
  if (number.find("SILENT") != std::string::npos) return;
  std::string a = L + "\r";
  if (number.find("BUSY") != std::string::npos)
    a += "\r\nBUSY\r\n";
  else if (number.find("NODIAL") != std::string::npos)
    a += "\r\nNO DIALTONE\r\n";
  else if (number.find("NOCARRIER") != std::string::npos)
    a += "\r\nNO CARRIER\r\n";
  else if (number.find("WAIT") != std::string::npos)
    ;
  else {
    a += "\r\nCONNECT 9600\r\n";
    fCarrier = true;
    Line.SetCarrier(true);
  }
  Answer(a);
}

void TScriptedPbx::Line_(const std::string& L) {
  const char* prompt = fMode == mEdit   ? ";E>"
                       : fMode == mShow ? ";S>"
                       : fMode == mDump ? ";P>"
                                        : ";>";
  if (fCarrier && !HangUpAt.empty() && L == HangUpAt) {
    fCarrier = false;
    Line.SetCarrier(false);
    Answer("\r\nDISCONNECTED\r\n");
    return;
  }
  if (fAwait != aNone) {
    const TAwait was = fAwait;
    fAwait = aNone;
    if (L == Password) {
      fAuthed = true;
      Answer("\r\n;>");
    } else {
      Answer(was == aWakePassword ? "\r\nPassword :" : "\r\nPassword error\r\n");
      if (was == aWakePassword) fAwait = aWakePassword;
    }
    return;
  }
  if (L == "TA616") {
    if (PasswordAtWakeup && !fAuthed) {
      fAwait = aWakePassword;
      Answer("\r\nPassword :");
    } else if (fMode != mIdle) {
      Answer(std::string("\r\n") + prompt);
    } else {
      Answer("\r\nKX-TA\r\n;>");
    }
    return;
  }
  if (L == "END") {
    fMode = mIdle;
    fPendingEdt = fPendingShw = false;
    Answer("\r\n;>");
    return;
  }
  if (L == "BYE") {
    fMode = mIdle;
    fAuthed = false;
    Answer("\r\n");
    return;
  }
  if (fMode == mIdle) {
    if (L == "VER") {
      Answer("\r\n;=>" + Version + "\r\n;>");
    } else if (L == "EDT") {
      fPendingEdt = true;
      if (fAuthed) {
        Answer("\r\n;>");
      } else {
        fAwait = aEditPassword;
        Answer("\r\nPassword :");
      }
    } else if (L == "SHW") {
      fPendingShw = true;
      Answer("\r\n;>");
    } else if (L == "INT" && fPendingEdt && fAuthed) {
      fMode = mEdit;
      Answer("\r\n;E>");
    } else if (L == "INT" && fPendingShw) {
      fMode = mShow;
      Answer("\r\n;S>");
    } else if (L == "DMP") {
      fMode = mDump;
      Answer("\r\n;P>");
    } else {
      Answer("\r\nCommand error\r\n;>");
    }
    return;
  }
  if (fMode == mDump) {
    if (L == "ALL") {
      std::string a = "\r\n";
      for (const std::string& d : DumpLines) a += d + "\r\n";
      Answer(a + DumpEnd);
    } else {
      Answer("\r\nCommand error\r\n;P>");
    }
    return;
  }
  if (fMode == mEdit) {
    if (auto r = Replies.find(L); r != Replies.end()) {
      Answer(r->second);
    } else if (Refuse.count(L)) {
      Answer("\r\nCommand error\r\n;E>");
    } else if (auto d = Data.find(L); d != Data.end()) {
      Answer("\r\n;=>" + d->second + "\r\n;E>");
    } else if (L.size() > 2 && L.back() == '/' && L[L.size() - 2] != '/') {
      Answer("\r\n;=>" + L + "\r\n;E>");
    } else {
      Answer("\r\nCommand error\r\n;E>");
    }
    return;
  }
  Answer(std::string("\r\n;=>000S00/12:00/\r\n") + prompt);
}
