// A PBX's serial port reached through a network serial server (ser2net, a serial-to-Ethernet
// converter): tcp://HOST:PORT is the raw byte stream, rfc2217://HOST:PORT Telnet with the
// COM-PORT-OPTION, through which the program sets the far port's line and learns its DSR and
// carrier.
#pragma once

#include <memory>
#include <string>

class TCommDevice;

struct TNetAddress {
  bool Telnet = false;  // rfc2217://
  std::string Host;     // a name, an IPv4 address or an IPv6 address (without its brackets)
  std::string Port;     // 1..65535, as written
  // tcp://HOST:PORT or rfc2217://HOST:PORT, brackets around an IPv6 address.
  std::string Text() const;
};

// True when Name begins with tcp:// or rfc2217:// (letter case aside).
bool IsNetworkPort(const std::string& Name);
// Takes Name apart; false with the reason when it is no network port this program can use.
bool ParseNetworkPort(const std::string& Name, TNetAddress& Address, std::string& Error);

// The device for Address; not yet connected (Open connects).
std::unique_ptr<TCommDevice> MakeNetCommDevice(const TNetAddress& Address);
