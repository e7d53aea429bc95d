// The demo PBX behind the device name "demo".
#include "DemoLine.h"

#include "CommDevice.h"

TDemoLine::TDemoLine() : fLine(this) {
  fRunner.SetBitRate(0);  // a demo has no reason to wait for a 9600 bit/s line
  fRunner.OnOutput = [this](const char* Data, size_t Count) { fLine.PeerSend(Data, Count); };
  fRunner.OnLineChange = [this](int LineNo, bool On) {
    switch (LineNo) {
      case TSimPbx::LineCts: fLine.SetCts(On); break;
      case TSimPbx::LineDsr: fLine.SetDsr(On); break;
      case TSimPbx::LineRing: fLine.SetRing(On); break;
      case TSimPbx::LineCarrier: fLine.SetCarrier(On); break;
      default: break;
    }
  };
  fRunner.Start();
}

TDemoLine::~TDemoLine() { fRunner.Stop(); }

void TDemoLine::HostWrite(const char* Data, size_t Count) {
  std::lock_guard<std::mutex> g(fWriteLock);
  if (!fFirstBytes) {
    fRunner.Feed(Data, Count);
    return;
  }
  fHeld.append(Data, Count);
  if (fHeld.empty()) return;
  auto upper = [](char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C; };
  // A lone "A" could begin either; nothing else the program sends first does.
  if (fHeld.size() < 2 && upper(fHeld[0]) == 'A') return;
  const bool modem = fHeld.size() >= 2 && upper(fHeld[0]) == 'A' && upper(fHeld[1]) == 'T';
  fFirstBytes = false;
  // Under the runner's lock before the bytes are queued: the simulator meets them in that mode.
  fRunner.Control([modem](TSimPbx& Pbx) { Pbx.SetModemEnabled(modem); });
  fRunner.Feed(fHeld.data(), fHeld.size());
  fHeld.clear();
}

void TDemoLine::HostControl(bool Dtr, bool Rts) {
  (void)Rts;
  fRunner.Control([Dtr](TSimPbx& Pbx) { Pbx.SetHostDtr(Dtr); });
}

void TDemoLine::HostOpen() {
  std::lock_guard<std::mutex> g(fWriteLock);
  fFirstBytes = true;
  fHeld.clear();
}

void TDemoLine::HostClose() {
  {
    std::lock_guard<std::mutex> g(fWriteLock);
    fFirstBytes = false;
    fHeld.clear();
  }
  // A closed port drops DTR, and a modem hangs up on that, whoever closed it and how.
  fRunner.Control([](TSimPbx& Pbx) { Pbx.SetHostDtr(false); });
}

TDemoLine& DemoLine() {
  static TDemoLine line;
  return line;
}

void RegisterDemoLine() {
  DemoLine();
  RegisterCommDevice("demo", [] { return DemoLine().Line().CreateDevice("demo"); });
}
