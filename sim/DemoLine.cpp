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

void TDemoLine::HostWrite(const char* Data, size_t Count) { fRunner.Feed(Data, Count); }

void TDemoLine::HostControl(bool Dtr, bool Rts) {
  (void)Rts;
  fRunner.Control([Dtr](TSimPbx& Pbx) { Pbx.SetHostDtr(Dtr); });
}

TDemoLine& DemoLine() {
  static TDemoLine line;
  return line;
}

void RegisterDemoLine() {
  DemoLine();
  RegisterCommDevice("demo", [] { return DemoLine().Line().CreateDevice("demo"); });
}
