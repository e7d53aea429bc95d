// The network serial port: a TCP connection to a serial server, raw or with Telnet's
// COM-PORT-OPTION. It behaves as the termios device does towards the port above it: a
// poll-based event wait woken through an eventfd, what arrives read ahead at once, the line's
// loss reported as DSR going down.
#include "NetComm.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "CommDevice.h"
#include "Telnet.h"
#include "Text.h"

namespace {

constexpr int kConnectMs = 10000;   // a server that is there answers a connect within this
constexpr int kNegotiateMs = 5000;  // and a Telnet server its options
// Unacknowledged data for this long means the far end is gone (a cable pulled on the far side
// of a VPN gives no reset); the PBX's own silences are far shorter than the keep-alive's.
constexpr int kUserTimeoutMs = 20000;
constexpr size_t kAheadSize = 64 * 1024;

std::string Lower(std::string S) {
  for (char& c : S) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return S;
}

int MsLeft(std::chrono::steady_clock::time_point Deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        Deadline - std::chrono::steady_clock::now())
                        .count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::string Be32(unsigned V) {
  return std::string{char(V >> 24), char(V >> 16), char(V >> 8), char(V)};
}

class TNetCommDevice final : public TCommDevice {
 public:
  explicit TNetCommDevice(TNetAddress Address)
      : fAddr(std::move(Address)), fName(fAddr.Text()) {}
  ~TNetCommDevice() override { Close(); }

  std::string Name() const override { return fName; }

  void Open() override {
    Close();
    fHungUp = false;
    fHangUpReported = false;
    fLoss.clear();
    fTelnet = TTelnetStream();
    fAhead.clear();
    fDsrSeen = false;
    fLines = fAddr.Telnet ? 0u : static_cast<unsigned>(kLineDsr);
    const std::string where = fAddr.Host + " port " + fAddr.Port;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* list = nullptr;
    const int g = ::getaddrinfo(fAddr.Host.c_str(), fAddr.Port.c_str(), &hints, &list);
    if (g != 0) {
      const bool unknown = g == EAI_NONAME || g == EAI_FAIL || g == EAI_NODATA;
      throw ECommError(kErrAccessDevice, -1,
                       fName + ": " +
                           (unknown ? "the name " + fAddr.Host + " does not resolve"
                                    : std::string("the name could not be looked up (") +
                                          ::gai_strerror(g) + ")") +
                           ". Check the address and the network (the VPN, the name server).");
    }
    int lastError = 0;
    bool timedOut = false;
    for (addrinfo* a = list; a && fFd < 0; a = a->ai_next) {
      const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              a->ai_protocol);
      if (fd < 0) {
        lastError = errno;
        continue;
      }
      int e = 0;
      if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
        e = errno;
        if (e == EINPROGRESS) {
          pollfd pf{fd, POLLOUT, 0};
          int r;
          do r = ::poll(&pf, 1, kConnectMs);
          while (r < 0 && errno == EINTR);
          socklen_t len = sizeof e;
          if (r == 0) {
            e = ETIMEDOUT;
            timedOut = true;
          } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &len) != 0) {
            e = errno;
          }
        }
      }
      if (e != 0) {
        ::close(fd);
        lastError = e;
        continue;
      }
      fFd = fd;
    }
    ::freeaddrinfo(list);
    if (fFd < 0) {
      std::string why;
      switch (lastError) {
        case ECONNREFUSED:
          why = "the connection was refused: nothing listens at " + where +
                ". Check the port number and that the serial server (ser2net) is running.";
          break;
        case ETIMEDOUT:
          why = timedOut ? Format("no answer within %d s from %s. Check the address, the "
                                  "network and the VPN.", kConnectMs / 1000, where.c_str())
                         : "the connection timed out. Check the address, the network and the VPN.";
          break;
        case ENETUNREACH:
        case EHOSTUNREACH:
          why = std::string("the network cannot reach it (") + std::strerror(lastError) +
                "). Check the network and the VPN.";
          break;
        default:
          why = std::string(std::strerror(lastError)) + ".";
      }
      throw ECommError(kErrAccessDevice, lastError, fName + ": " + why);
    }
    const int on = 1;
    ::setsockopt(fFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fFd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    const int idle = 10, interval = 5, count = 3, user = kUserTimeoutMs;
    ::setsockopt(fFd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fFd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fFd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    ::setsockopt(fFd, IPPROTO_TCP, TCP_USER_TIMEOUT, &user, sizeof user);
    fWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fAddr.Telnet) Negotiate();
  }

  void Close() override {
    if (fFd >= 0) {
      ::close(fFd);
      fFd = -1;
    }
    if (fWakeFd >= 0) {
      ::close(fWakeFd);
      fWakeFd = -1;
    }
  }

  void Configure(const TLineSettings& L) override {
    // A raw port's line is set in the server's own configuration.
    if (!fAddr.Telnet) return;
    // The codes count from 1: parity none, odd, even, mark, space; stop bits 1, 2, 1.5.
    static const uint8_t kStop[] = {1, 3, 2};  // for 1, 1.5, 2
    const uint8_t flow = L.FlowControl == fcCTS ? 3 : L.FlowControl == fcSoftware ? 2 : 1;
    const std::string m =
        TTelnetStream::ComPort(kCpSetBaudRate, Be32(BaudRateValue(L.BaudRate))) +
        TTelnetStream::ComPort(kCpSetDataSize, std::string(1, char(4 + int(L.Databits)))) +
        TTelnetStream::ComPort(kCpSetParity, std::string(1, char(1 + int(L.Parity)))) +
        TTelnetStream::ComPort(kCpSetStopSize, std::string(1, char(kStop[L.Stopbits]))) +
        TTelnetStream::ComPort(kCpSetControl, std::string(1, char(flow)));
    SendAll(m, kConnectMs);
  }

  int Read(void* Buffer, size_t Count) override {
    std::lock_guard<std::mutex> g(fLock);
    if (fAhead.empty() && !fHungUp) Receive();
    const size_t n = std::min(Count, fAhead.size());
    std::memcpy(Buffer, fAhead.data(), n);
    fAhead.erase(0, n);
    return static_cast<int>(n);
  }

  int Write(const void* Buffer, size_t Count, int TimeoutMs) override {
    const char* p = static_cast<const char*>(Buffer);
    const std::string bytes =
        fAddr.Telnet ? Escaped(p, Count) : std::string(p, Count);
    if (!SendAll(bytes, TimeoutMs)) return -1;
    return static_cast<int>(Count);
  }

  void Purge() override {
    // Only what waits here: a purge at the server could take a command on its way out.
    std::lock_guard<std::mutex> g(fLock);
    fAhead.clear();
  }

  int ClearErrors(int& InputCount) override {
    std::lock_guard<std::mutex> g(fLock);
    InputCount = static_cast<int>(fAhead.size());
    fTelnet.TakeLineState();
    return 0;
  }

  bool ModemLines(unsigned& Lines) override {
    if (fFd < 0) return false;
    Lines = fLines.load();
    return true;
  }

  void SetDtr(bool On) override { Control(On ? 8 : 9); }
  void SetRts(bool On) override { Control(On ? 11 : 12); }

  TCommEventTypes WaitEvent(TCommEventTypes Mask) override {
    for (;;) {
      bool full = false;
      {
        std::lock_guard<std::mutex> g(fLock);
        full = fAhead.size() >= kAheadSize;
      }
      pollfd pf[2] = {{fWakeFd, POLLIN, 0}, {fHungUp ? -1 : fFd, short(full ? 0 : POLLIN), 0}};
      const int r = ::poll(pf, 2, -1);
      if (r < 0 && errno != EINTR) throw ECommError(kErrRead, errno);
      TCommEventTypes ev;
      if (pf[0].revents & POLLIN) {
        uint64_t v = 0;
        if (::read(fWakeFd, &v, sizeof v) < 0) {
        }
      }
      const unsigned before = fLines.load();
      if (pf[1].revents & (POLLIN | POLLHUP | POLLERR)) {
        std::lock_guard<std::mutex> g(fLock);
        if (Receive() > 0) ev.Include(evRxChar);
      }
      const unsigned changed = before ^ fLines.load();
      if (changed & kLineCts) ev.Include(evCts);
      if (changed & kLineDsr) ev.Include(evDsr);
      if (changed & kLineRing) ev.Include(evRing);
      if (changed & kLineCd) ev.Include(evRlsd);
      if (fHungUp && !fHangUpReported) {
        fHangUpReported = true;
        ev.Include(evDsr);
        ev.Include(evError);
      }
      ev = ev & Mask;
      if (!ev.Empty() || (pf[0].revents & POLLIN)) return ev;
    }
  }

  void Wake() override {
    const uint64_t one = 1;
    if (fWakeFd >= 0 && ::write(fWakeFd, &one, sizeof one) < 0) {
    }
  }

  std::string LossReason() const override {
    std::lock_guard<std::mutex> g(fLock);
    return fLoss;
  }

 private:
  // Offers and asks the options and waits for the server to take the COM-PORT-OPTION; what
  // the line sends meanwhile is kept for the first read.
  void Negotiate() {
    SendAll(fTelnet.Opening(), kNegotiateMs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNegotiateMs);
    bool heard = false;
    for (;;) {
      {
        std::lock_guard<std::mutex> g(fLock);
        if (fTelnet.ComPortAgreed() || fTelnet.ComPortRefused() || fHungUp) break;
      }
      const int left = MsLeft(deadline);
      if (left == 0) break;
      pollfd pf{fFd, POLLIN, 0};
      const int r = ::poll(&pf, 1, left);
      if (r < 0 && errno != EINTR) break;
      if (r > 0) {
        std::lock_guard<std::mutex> g(fLock);
        Receive();
        heard = true;
      }
    }
    std::string why;
    {
      std::lock_guard<std::mutex> g(fLock);
      if (fHungUp)
        why = "the server closed the connection at once. Another program may be using the "
              "port (ser2net serves one user at a time).";
      else if (fTelnet.ComPortRefused())
        why = "the server refuses RFC 2217 (COM-PORT-OPTION): its port is plain Telnet; set "
              "it to telnet(rfc2217) or use tcp:// for a raw port.";
      else if (!fTelnet.ComPortAgreed())
        why = heard ? Format("the server did not take RFC 2217 (COM-PORT-OPTION) within %d s: "
                             "use tcp:// for a raw port.", kNegotiateMs / 1000)
                    : Format("the server accepted the connection but said nothing within %d s: "
                             "a raw port (use tcp://), or a server that is stuck.",
                             kNegotiateMs / 1000);
    }
    if (!why.empty()) {
      Close();
      throw ECommError(kErrAccessDevice, -1, fName + ": " + why);
    }
    // Tell DSR, carrier, CTS and ring, and their changes.
    SendAll(TTelnetStream::ComPort(kCpSetModemStateMask, std::string(1, char(0xFF))) +
                TTelnetStream::ComPort(kCpSetLineStateMask, std::string(1, char(0))),
            kNegotiateMs);
  }

  // Takes what the socket holds into the read-ahead (the Telnet layer's commands answered);
  // returns the line's bytes added. Under fLock.
  size_t Receive() {
    char buf[4096];
    const size_t room = kAheadSize - std::min(kAheadSize, fAhead.size());
    if (room == 0 || fFd < 0) return 0;
    const ssize_t n = ::recv(fFd, buf, std::min(sizeof buf, room), MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      HangUp(n == 0 ? 0 : errno);
      return 0;
    }
    if (n < 0) return 0;
    // Acknowledge at once: the server's side holds back small pieces until the last one is
    // acknowledged (Nagle), and a delayed acknowledgement would hold each answer's last bytes,
    // its prompt, for up to 40 ms. Linux forgets the setting after a while: set it each time.
    const int on = 1;
    ::setsockopt(fFd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    const size_t before = fAhead.size();
    if (!fAddr.Telnet) {
      fAhead.append(buf, static_cast<size_t>(n));
      return static_cast<size_t>(n);
    }
    fTelnet.Feed(buf, static_cast<size_t>(n), fAhead);
    const std::string answers = fTelnet.TakeAnswers();
    if (!answers.empty()) SendLocked(answers);
    if (fTelnet.ModemStateKnown()) {
      const uint8_t s = fTelnet.ModemState();
      // A server's port without modem lines (or a cable without them) reports DSR off for
      // good: DSR counts as on until the server has once reported it on.
      if (s & kMsDsr) fDsrSeen = true;
      unsigned l = 0;
      if (s & kMsCts) l |= kLineCts;
      if ((s & kMsDsr) || !fDsrSeen) l |= kLineDsr;
      if (s & kMsRing) l |= kLineRing;
      if (s & kMsCd) l |= kLineCd;
      fLines = l;
    } else {
      fLines = kLineDsr;
    }
    return fAhead.size() - before;
  }

  void HangUp(int Error) {
    if (fHungUp) return;
    fHungUp = true;
    fLines = 0;
    fLoss = Error == 0 ? "The serial server " + fAddr.Host + " closed the connection"
                       : "The connection to the serial server " + fAddr.Host + " broke (" +
                             std::strerror(Error) + ")";
  }

  std::string Escaped(const char* P, size_t Count) {
    std::lock_guard<std::mutex> g(fLock);
    return fTelnet.Escape(P, Count);
  }

  void Control(uint8_t Code) {
    if (!fAddr.Telnet || fFd < 0) return;
    SendAll(TTelnetStream::ComPort(kCpSetControl, std::string(1, char(Code))), kConnectMs);
  }

  // The Telnet answers go out from inside a receive: a short send whose failure shows at the
  // next receive.
  void SendLocked(const std::string& Bytes) { SendRaw(Bytes, kConnectMs); }

  // Everything of Bytes within TimeoutMs, one message at a time on the socket: 0, -1 when
  // time ran out, else the error that ended the connection.
  int SendRaw(const std::string& Bytes, int TimeoutMs) {
    std::lock_guard<std::mutex> s(fSendLock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    size_t done = 0;
    while (done < Bytes.size()) {
      const ssize_t n = ::send(fFd, Bytes.data() + done, Bytes.size() - done, MSG_NOSIGNAL);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return errno;
      const int left = MsLeft(deadline);
      if (left == 0) return -1;
      pollfd pf{fFd, POLLOUT, 0};
      ::poll(&pf, 1, left);
    }
    return 0;
  }

  // False when not all went out within TimeoutMs; raises when the connection is gone.
  bool SendAll(const std::string& Bytes, int TimeoutMs) {
    if (fFd < 0) throw ECommError(kErrNotOpen, -1);
    const int error = SendRaw(Bytes, TimeoutMs);
    if (error == -1) return false;
    if (error == 0) return true;
    // fLock is never taken while fSendLock is held (a receive sends its answers the other way).
    {
      std::lock_guard<std::mutex> g(fLock);
      HangUp(error);
    }
    Wake();
    throw ECommError(kErrWrite, error, LossReason() + ".");
  }

  const TNetAddress fAddr;
  const std::string fName;
  int fFd = -1;
  int fWakeFd = -1;
  mutable std::mutex fLock;  // the Telnet state, the read-ahead, the loss
  std::mutex fSendLock;      // one message at a time on the socket
  TTelnetStream fTelnet;
  std::string fAhead;
  std::atomic<unsigned> fLines{0};
  std::atomic<bool> fHungUp{false};
  bool fHangUpReported = false;
  bool fDsrSeen = false;
  std::string fLoss;
};

}  // namespace

std::string TNetAddress::Text() const { return NetworkPortText(Telnet, Host, Port); }

bool IsNetworkPort(const std::string& Name) {
  const std::string l = Lower(Name.substr(0, 10));
  return l.rfind("tcp://", 0) == 0 || l.rfind("rfc2217://", 0) == 0;
}

bool ParseNetworkPort(const std::string& Name, TNetAddress& Address, std::string& Error) {
  TNetAddress a;
  const std::string l = Lower(Name.substr(0, 10));
  size_t pos = 0;
  if (l.rfind("tcp://", 0) == 0) {
    pos = 6;
  } else if (l.rfind("rfc2217://", 0) == 0) {
    a.Telnet = true;
    pos = 10;
  } else {
    Error = Name + ": not a network port (tcp://HOST:PORT or rfc2217://HOST:PORT).";
    return false;
  }
  std::string rest = Name.substr(pos);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  size_t colon;
  if (!rest.empty() && rest[0] == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
      Error = Name + ": an IPv6 address is written in brackets with the port after them, "
                     "as rfc2217://[fd00::5]:3001.";
      return false;
    }
    a.Host = rest.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = rest.rfind(':');
    if (colon == std::string::npos) {
      Error = Name + ": the port number is missing (HOST:PORT, as tcp://192.168.1.20:3001).";
      return false;
    }
    a.Host = rest.substr(0, colon);
    if (a.Host.find(':') != std::string::npos) {
      Error = Name + ": an IPv6 address is written in brackets, as tcp://[fd00::5]:3001.";
      return false;
    }
  }
  a.Port = rest.substr(colon + 1);
  if (a.Host.empty() || a.Host.size() > 253) {
    Error = Name + ": the host is missing or too long.";
    return false;
  }
  for (char c : a.Host)
    if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '@' || c == '?' || c == '#' ||
        static_cast<unsigned char>(c) >= 0x7F) {
      Error = Name + ": the host holds a character no host name has.";
      return false;
    }
  const bool digits = !a.Port.empty() && a.Port.size() <= 5 &&
                      std::all_of(a.Port.begin(), a.Port.end(),
                                  [](char c) { return c >= '0' && c <= '9'; });
  if (!digits || std::stoul(a.Port) < 1 || std::stoul(a.Port) > 65535) {
    Error = Name + ": the port must be a number from 1 to 65535.";
    return false;
  }
  Address = a;
  return true;
}

std::unique_ptr<TCommDevice> MakeNetCommDevice(const TNetAddress& Address) {
  return std::make_unique<TNetCommDevice>(Address);
}
