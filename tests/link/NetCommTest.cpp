// The network port's own pieces: the Telnet layer over hostile and split input, the address
// as a technician types it, and the device against a scripted server on the loopback address
// (what ser2net cannot be made to do: report DSR and carrier, fall silent after accepting).
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "CommDevice.h"
#include "NetComm.h"
#include "Telnet.h"

namespace {

std::string Bytes(std::initializer_list<int> B) {
  std::string s;
  for (int b : B) s += static_cast<char>(b);
  return s;
}

constexpr int IAC = 255, SB = 250, SE = 240, WILL = 251, DO = 253, DONT = 254;

// A listening socket on 127.0.0.1 and its port.
struct TListener {
  int Fd = ::socket(AF_INET, SOCK_STREAM, 0);
  int Port = 0;
  TListener() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(Fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(Fd, 1);
    ::getsockname(Fd, reinterpret_cast<sockaddr*>(&a), &len);
    Port = ntohs(a.sin_port);
  }
  ~TListener() { ::close(Fd); }
  std::unique_ptr<TCommDevice> Device(bool Telnet) const {
    TNetAddress addr;
    std::string why;
    EXPECT_TRUE(ParseNetworkPort(std::string(Telnet ? "rfc2217" : "tcp") + "://127.0.0.1:" +
                                     std::to_string(Port),
                                 addr, why));
    return MakeNetCommDevice(addr);
  }
};

// Reads from Fd until Needle has come (or the peer is gone); what came.
std::string ReadUntil(int Fd, const std::string& Needle) {
  std::string got;
  char buf[256];
  while (got.find(Needle) == std::string::npos) {
    const ssize_t n = ::read(Fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

void Send(int Fd, const std::string& B) {
  EXPECT_EQ(::write(Fd, B.data(), B.size()), static_cast<ssize_t>(B.size()));
}

}  // namespace

// Catches Telnet's escape taken as data (IAC IAC twice, a command's bytes in the line), a
// subnegotiation split between two reads lost, an answer to the server's answer (the two
// sides confirming each other without end), the server's echo accepted (every byte twice), a
// NUL after CR kept where Telnet padded it, and an overlong subnegotiation growing without end.
TEST(TelnetTest, TheLineComesOutWholeAndEachRequestIsAnsweredOnce) {
  TTelnetStream t;
  std::string data;
  t.Feed("", 0, data);  // the opening has gone out: its requests are pending
  const std::string in = "A" + Bytes({IAC, IAC}) + "B" + Bytes({IAC, DO, 44, IAC, DO, 0}) +
                         Bytes({IAC, WILL, 1}) + "\r" + Bytes({0}) + "C" +
                         Bytes({IAC, SB, 44, 107});
  t.Feed(in.data(), in.size(), data);
  const std::string rest = Bytes({0xB0, IAC, SE}) + "D";
  t.Feed(rest.data(), rest.size(), data);
  EXPECT_EQ(data, "A\xff" "B\rC" "D");
  EXPECT_TRUE(t.ComPortAgreed());
  EXPECT_TRUE(t.ModemStateKnown());
  EXPECT_EQ(t.ModemState(), 0xB0);
  // Only the echo is refused; the answers to what this side asked are not answered again.
  EXPECT_EQ(t.TakeAnswers(), Bytes({IAC, DONT, 1}));

  // Once the server sends binary, a NUL after CR is the line's own byte.
  const std::string binary = Bytes({IAC, WILL, 0}) + "\r" + Bytes({0});
  data.clear();
  t.Feed(binary.data(), binary.size(), data);
  EXPECT_EQ(data, std::string("\r\0", 2));

  std::string flood = Bytes({IAC, SB, 44, 107});
  flood += std::string(100000, 'x');
  flood += Bytes({IAC, SE}) + "E";
  data.clear();
  t.Feed(flood.data(), flood.size(), data);
  EXPECT_EQ(data, "E");
  EXPECT_EQ(t.ModemState(), 0xB0) << "the dropped message changed nothing";

  // Going out: the escape byte doubled.
  EXPECT_EQ(t.Escape("\xff" "a", 2), Bytes({IAC, IAC, 'a'}));
  EXPECT_EQ(TTelnetStream::ComPort(kCpSetBaudRate, Bytes({0, 0, 0x25, 0x80})),
            Bytes({IAC, SB, 44, 1, 0, 0, 0x25, 0x80, IAC, SE}));
}

// Catches an address taken apart wrongly: an IPv6 address cut at its last colon, a port out
// of range or missing let through to the connect, a space or a path in the host.
TEST(NetAddressTest, AddressesAreTakenApartOrRefusedWithTheReason) {
  struct TCase {
    const char* Text;
    bool Ok, Telnet;
    const char* Host;
    const char* Port;
  };
  const TCase cases[] = {
      {"tcp://192.168.1.20:3001", true, false, "192.168.1.20", "3001"},
      {"RFC2217://pbx.example.org:2217/", true, true, "pbx.example.org", "2217"},
      {"rfc2217://[fd00::5]:3001", true, true, "fd00::5", "3001"},
      {"tcp://fd00::5:3001", false, false, "", ""},
      {"tcp://host", false, false, "", ""},
      {"tcp://:3001", false, false, "", ""},
      {"tcp://host:0", false, false, "", ""},
      {"tcp://host:65536", false, false, "", ""},
      {"tcp://host:30a", false, false, "", ""},
      {"tcp://my host:3001", false, false, "", ""},
      {"tcp://host/x:3001", false, false, "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_TRUE(IsNetworkPort(c.Text));
    TNetAddress a;
    std::string why;
    ASSERT_EQ(ParseNetworkPort(c.Text, a, why), c.Ok) << why;
    if (!c.Ok) {
      EXPECT_NE(why.find(c.Text), std::string::npos) << why;
      continue;
    }
    EXPECT_EQ(a.Telnet, c.Telnet);
    EXPECT_EQ(a.Host, c.Host);
    EXPECT_EQ(a.Port, c.Port);
    TNetAddress again;
    EXPECT_TRUE(ParseNetworkPort(a.Text(), again, why));
    EXPECT_EQ(again.Host, a.Host);
  }
  EXPECT_FALSE(IsNetworkPort("/dev/ttyUSB0"));
  EXPECT_FALSE(IsNetworkPort("COM1"));
}

// Catches a failure to connect reported without its cause, a server that accepts and never
// speaks Telnet waited for without end, DSR taken as off from a server whose port has no
// modem lines (no connection at all then), a DSR drop or a carrier not reported once the
// server has told them, and the far line's settings not sent.
TEST(NetCommTest, TheDeviceTellsWhatTheServerAndTheNetworkDo) {
  {
    TListener closed;
    const int port = closed.Port;
    ::close(closed.Fd);
    closed.Fd = ::socket(AF_INET, SOCK_STREAM, 0);
    TNetAddress a{false, "127.0.0.1", std::to_string(port)};
    auto d = MakeNetCommDevice(a);
    try {
      d->Open();
      ADD_FAILURE() << "a port nothing listens on opened";
    } catch (const ECommError& e) {
      EXPECT_NE(e.Detail().find("refused"), std::string::npos) << e.Detail();
    }
  }
  {
    TListener silent;
    std::thread server([&] {
      const int c = ::accept(silent.Fd, nullptr, nullptr);
      ReadUntil(c, "never");  // reads the client's offers, answers nothing
      ::close(c);
    });
    auto d = silent.Device(true);
    try {
      d->Open();
      ADD_FAILURE() << "a silent server was taken for an RFC 2217 server";
    } catch (const ECommError& e) {
      EXPECT_NE(e.Detail().find("said nothing"), std::string::npos) << e.Detail();
    }
    d->Close();
    server.join();
  }
  TListener l;
  int conn = -1;
  std::string fromClient;
  std::thread server([&] {
    conn = ::accept(l.Fd, nullptr, nullptr);
    ReadUntil(conn, Bytes({IAC, DO, 3}));
    // Agrees, reports a port without modem lines, and a byte of data.
    const std::string hello = Bytes({IAC, DO, 44, IAC, SB, 44, 107, 0x00, IAC, SE}) + "x";
    Send(conn, hello);
    fromClient = ReadUntil(conn, Bytes({IAC, SB, 44, 5}));  // up to the flow control setting
  });
  auto d = l.Device(true);
  d->Open();
  TLineSettings line;
  line.BaudRate = br4800;
  d->Configure(line);
  server.join();
  unsigned lines = 0;
  ASSERT_TRUE(d->ModemLines(lines));
  EXPECT_TRUE(lines & kLineDsr) << "a port that never had DSR on counts as on";
  EXPECT_NE(fromClient.find(Bytes({IAC, SB, 44, 1, 0, 0, 0x12, 0xC0, IAC, SE})),
            std::string::npos)
      << "4800 bit/s";
  char c = 0;
  EXPECT_EQ(d->Read(&c, 1), 1);
  EXPECT_EQ(c, 'x');

  // DSR and carrier come up, then DSR drops: an event each time, and the lines as told.
  const std::string up = Bytes({IAC, SB, 44, 107, 0xA0, IAC, SE});
  Send(conn, up);
  TCommEventTypes ev = d->WaitEvent(kAllCommEvents);
  EXPECT_TRUE(ev.Has(evRlsd));
  ASSERT_TRUE(d->ModemLines(lines));
  EXPECT_EQ(lines & (kLineDsr | kLineCd), unsigned(kLineDsr | kLineCd));
  const std::string down = Bytes({IAC, SB, 44, 107, 0x80, IAC, SE});
  Send(conn, down);
  ev = d->WaitEvent(kAllCommEvents);
  EXPECT_TRUE(ev.Has(evDsr));
  ASSERT_TRUE(d->ModemLines(lines));
  EXPECT_FALSE(lines & kLineDsr);
  // The server goes away: DSR drops with the reason in words.
  const std::string back = Bytes({IAC, SB, 44, 107, 0xA0, IAC, SE});
  Send(conn, back);
  d->WaitEvent(kAllCommEvents);
  ::close(conn);
  ev = d->WaitEvent(kAllCommEvents);
  EXPECT_TRUE(ev.Has(evDsr));
  EXPECT_NE(d->LossReason().find("closed the connection"), std::string::npos) << d->LossReason();
  d->Close();
}
