// The termios device: exclusive raw open, line settings, a poll-based event wait woken through
// an eventfd, and modem-line changes through TIOCMIWAIT where the driver has it.
#include "PosixComm.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "CommDevice.h"

// Custom bit rates through termios2 (PosixBaud.cpp: it cannot share this file's headers).
int SetCustomBaudRate(int Fd, unsigned Rate);

namespace {

speed_t StandardSpeed(unsigned Rate) {
  switch (Rate) {
    case 110:
      return B110;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

// The signal that interrupts a TIOCMIWAIT for closing; its handler does nothing.
int WakeSignal() {
  return SIGRTMIN + 5;
}

void NoOpHandler(int) {}

void InstallWakeHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction sa {};
    sa.sa_handler = NoOpHandler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: the ioctl must return EINTR
    sigaction(WakeSignal(), &sa, nullptr);
  });
}

unsigned FromTiocm(int Bits) {
  unsigned l = 0;
  if (Bits & TIOCM_CTS) l |= kLineCts;
  if (Bits & TIOCM_DSR) l |= kLineDsr;
  if (Bits & TIOCM_RNG) l |= kLineRing;
  if (Bits & TIOCM_CD) l |= kLineCd;
  return l;
}

class TPosixCommDevice final : public TCommDevice {
 public:
  explicit TPosixCommDevice(std::string Path) : fPath(std::move(Path)) {}
  ~TPosixCommDevice() override { Close(); }

  std::string Name() const override { return fPath; }

  void Open() override {
    const int fd = ::open(fPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      const int e = errno;
      throw ECommError(kErrAccessDevice, e, OpenFailureDetail(fPath, e));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) {
      ::close(fd);
      throw ECommError(kErrInvalidHandle, -1, fPath + ": not a serial device.");
    }
    // Exclusive: no second opener, neither through the tty layer nor another instance of us.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
      const int e = errno == EWOULDBLOCK ? EBUSY : errno;
      ::close(fd);
      throw ECommError(kErrAccessDevice, e, OpenFailureDetail(fPath, e));
    }
    fFd = fd;
    fWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    int bits = 0;
    if (::ioctl(fFd, TIOCMGET, &bits) != 0 && (errno == ENOTTY || errno == EINVAL)) {
      fNoModemLines = true;  // a pseudo-terminal: DSR counts as on, carrier as off
    } else {
      fLastLines = FromTiocm(bits);
    }
    termios t{};
    if (::tcgetattr(fFd, &t) == 0) {
      ::cfmakeraw(&t);
      t.c_cflag |= CLOCAL | CREAD;
      t.c_cc[VMIN] = 0;
      t.c_cc[VTIME] = 0;
      if (::tcsetattr(fFd, TCSANOW, &t) != 0) {
        const int e = errno;
        throw ECommError(kErrTimeouts, e);
      }
    }
  }

  void Close() override {
    StopModemWatch();
    if (fFd >= 0) {
      ::ioctl(fFd, TIOCNXCL);
      ::close(fFd);
      fFd = -1;
    }
    if (fWakeFd >= 0) {
      ::close(fWakeFd);
      fWakeFd = -1;
    }
  }

  void Configure(const TLineSettings& L) override {
    termios t{};
    if (::tcgetattr(fFd, &t) != 0) throw ECommError(kErrLineState, errno);
    const unsigned rate = BaudRateValue(L.BaudRate);
    const speed_t sp = StandardSpeed(rate);
    if (sp != B0) {
      ::cfsetispeed(&t, sp);
      ::cfsetospeed(&t, sp);
    }
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR | CSTOPB | CSIZE);
    switch (L.Parity) {
      case paNone:
        break;
      case paOdd:
        t.c_cflag |= PARENB | PARODD;
        break;
      case paEven:
        t.c_cflag |= PARENB;
        break;
      case paMark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
      case paSpace:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // termios knows one or two stop bits; 1.5 is what the hardware makes of "two" at 5 bits.
    if (L.Stopbits != sb10) t.c_cflag |= CSTOPB;
    switch (L.Databits) {
      case da4:
        throw ECommError(kErrLineState, EINVAL);
      case da5:
        t.c_cflag |= CS5;
        break;
      case da6:
        t.c_cflag |= CS6;
        break;
      case da7:
        t.c_cflag |= CS7;
        break;
      case da8:
        t.c_cflag |= CS8;
        break;
    }
    t.c_cc[VSTART] = L.EventChars.XonChar;
    t.c_cc[VSTOP] = L.EventChars.XoffChar;
    switch (L.FlowControl) {
      case fcNone:
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        break;
      case fcCTS:
        t.c_cflag |= CRTSCTS;
        break;
      case fcDTR:
        throw ECommError(kErrLineState, EINVAL);  // no DSR/DTR handshake in termios
      case fcSoftware:
        t.c_iflag |= IXON | IXOFF;
        break;
      case fcDefault:
        break;
    }
    // Only parity checking has a termios counterpart; the other options have none.
    if (L.Options.Has(coParityCheck))
      t.c_iflag |= INPCK;
    else
      t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    if (::tcsetattr(fFd, TCSANOW, &t) != 0) {
      const int e = errno;
      // A pseudo-terminal carries bytes, not bits: it refuses character sizes and parity it
      // has no use for. Take it with eight bits so the program still works through one.
      t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
      t.c_cflag |= CS8;
      if (!fNoModemLines || e != EINVAL || ::tcsetattr(fFd, TCSANOW, &t) != 0)
        throw ECommError(kErrLineState, e);
    }
    if (sp == B0) {
      const int e = SetCustomBaudRate(fFd, rate);
      if (e != 0) throw ECommError(kErrLineState, e);
    }
  }

  int Read(void* Buffer, size_t Count) override {
    std::lock_guard<std::mutex> g(fAheadLock);
    // What the wait has read ahead comes first, in order; then whatever the queue holds.
    size_t n = std::min(Count, fAheadEnd - fAheadPos);
    std::memcpy(Buffer, fAhead.data() + fAheadPos, n);
    fAheadPos += n;
    if (fAheadPos == fAheadEnd) fAheadPos = fAheadEnd = 0;
    if (n < Count) {
      const ssize_t r = ::read(fFd, static_cast<char*>(Buffer) + n, Count - n);
      if (r > 0) {
        n += static_cast<size_t>(r);
      } else if (r < 0 && n == 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
        // EIO: the far end hung up; the watcher reports it.
        throw ECommError(kErrRead, errno);
      }
    }
    return static_cast<int>(n);
  }

  int Write(const void* Buffer, size_t Count, int TimeoutMs) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    const char* p = static_cast<const char*>(Buffer);
    size_t done = 0;
    while (done < Count) {
      const ssize_t n = ::write(fFd, p + done, Count - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) throw ECommError(kErrWrite, errno);
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return -1;
      pollfd pf{fFd, POLLOUT, 0};
      ::poll(&pf, 1, static_cast<int>(left));
    }
    return static_cast<int>(done);
  }

  void Purge() override {
    {
      std::lock_guard<std::mutex> g(fAheadLock);
      fAheadPos = fAheadEnd = 0;
    }
    if (fFd >= 0) ::tcflush(fFd, TCIOFLUSH);
  }

  int ClearErrors(int& InputCount) override {
    // What a received-characters event has read ahead is what waits; the queue behind it is
    // reported with the next event.
    std::lock_guard<std::mutex> g(fAheadLock);
    InputCount = static_cast<int>(fAheadEnd - fAheadPos);
    return 0;
  }

  bool ModemLines(unsigned& Lines) override {
    if (fFd < 0) return false;
    if (fNoModemLines) {
      Lines = fHungUp ? 0u : static_cast<unsigned>(kLineDsr);
      return true;
    }
    int bits = 0;
    if (::ioctl(fFd, TIOCMGET, &bits) != 0) return false;
    Lines = FromTiocm(bits);
    return true;
  }

  void SetDtr(bool On) override { ModemBit(TIOCM_DTR, On); }
  void SetRts(bool On) override { ModemBit(TIOCM_RTS, On); }

  TCommEventTypes WaitEvent(TCommEventTypes Mask) override {
    const bool wantLines =
        Mask.Has(evCts) || Mask.Has(evDsr) || Mask.Has(evRing) || Mask.Has(evRlsd);
    if (wantLines && !fNoModemLines) StartModemWatch();
    for (;;) {
      // poll is level-triggered, a received-characters event is not: the bytes are read ahead
      // at once, each arrival is reported once, and the queue is not watched while the
      // read-ahead is full (nobody reads), instead of spinning on POLLIN.
      bool full = false;
      {
        std::lock_guard<std::mutex> g(fAheadLock);
        full = fAheadEnd - fAheadPos >= kAheadSize;
      }
      const short want = Mask.Has(evRxChar) && !full ? POLLIN : 0;
      pollfd pf[2] = {{fWakeFd, POLLIN, 0}, {fHungUp ? -1 : fFd, want, 0}};
      const int timeout = fModemPolling ? kModemPollMs : -1;
      const int r = ::poll(pf, 2, timeout);
      if (r < 0 && errno != EINTR) throw ECommError(kErrRead, errno);
      TCommEventTypes ev;
      if (pf[0].revents & POLLIN) {
        uint64_t v = 0;
        if (::read(fWakeFd, &v, sizeof v) < 0) {
        }
      }
      if (pf[1].revents & POLLIN) {
        // One read takes what has come (the event's count without asking the queue's length).
        if (ReadAhead() > 0) ev.Include(evRxChar);
      }
      if (pf[1].revents & (POLLHUP | POLLERR)) {
        // The far end is gone (a pty's master closed): report it once as the line going
        // down, and stop watching the descriptor so the hang-up cannot spin the loop.
        fHungUp = true;
        if (fNoModemLines) ev.Include(evDsr);
        ev.Include(evError);
      }
      const unsigned changed = fChangedLines.exchange(0);
      if (fModemPolling) PollLinesOnce();
      if (changed & kLineCts) ev.Include(evCts);
      if (changed & kLineDsr) ev.Include(evDsr);
      if (changed & kLineRing) ev.Include(evRing);
      if (changed & kLineCd) ev.Include(evRlsd);
      ev = ev & Mask;
      // The wake and "nothing for this mask" both return; the watcher decides what a wake is.
      if (!ev.Empty() || (pf[0].revents & POLLIN)) return ev;
    }
  }

  void Wake() override {
    const uint64_t one = 1;
    if (fWakeFd >= 0 && ::write(fWakeFd, &one, sizeof one) < 0) {
    }
  }

 private:
  static constexpr int kModemPollMs = 100;

  static constexpr size_t kAheadSize = 4096;

  // Appends what the queue holds (up to a full read-ahead) and returns the bytes added.
  size_t ReadAhead() {
    std::lock_guard<std::mutex> g(fAheadLock);
    if (fAheadPos > 0) {
      // What is left unread moves to the front (usually nothing is).
      std::memmove(fAhead.data(), fAhead.data() + fAheadPos, fAheadEnd - fAheadPos);
      fAheadEnd -= fAheadPos;
      fAheadPos = 0;
    }
    if (fAheadEnd >= kAheadSize) return 0;
    const ssize_t n = ::read(fFd, fAhead.data() + fAheadEnd, kAheadSize - fAheadEnd);
    if (n <= 0) return 0;
    fAheadEnd += static_cast<size_t>(n);
    return static_cast<size_t>(n);
  }

  void ModemBit(int Bit, bool On) {
    if (fNoModemLines) return;
    if (::ioctl(fFd, On ? TIOCMBIS : TIOCMBIC, &Bit) != 0) {
      if (errno == ENOTTY || errno == EINVAL) return;
      throw ECommError(kErrEscape, errno);
    }
  }

  void NoteLines(unsigned Now) {
    const unsigned changed = Now ^ fLastLines.exchange(Now);
    if (changed) {
      fChangedLines.fetch_or(changed);
      Wake();
    }
  }

  void PollLinesOnce() {
    int bits = 0;
    if (::ioctl(fFd, TIOCMGET, &bits) == 0) NoteLines(FromTiocm(bits));
  }

  void StartModemWatch() {
    if (fModemThreadStarted || fModemPolling) return;
    fModemThreadStarted = true;
    InstallWakeHandler();
    fModemThread = std::thread([this] { ModemWatch(); });
  }

  // TIOCMIWAIT blocks until a line changes; closing interrupts it with WakeSignal.
  void ModemWatch() {
    while (!fModemStop.load()) {
      const int r = ::ioctl(fFd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD);
      if (fModemStop.load()) break;
      if (r != 0) {
        if (errno == EINTR) continue;
        // The driver has no TIOCMIWAIT: the event wait polls the lines at a modest rate.
        fModemPolling = true;
        Wake();
        break;
      }
      PollLinesOnce();
    }
    std::lock_guard<std::mutex> g(fModemLock);
    fModemDone = true;
    fModemCond.notify_all();
  }

  void StopModemWatch() {
    if (!fModemThreadStarted) return;
    fModemStop.store(true);
    // The signal can land just before the thread enters its wait; repeat until it has left.
    std::unique_lock<std::mutex> lock(fModemLock);
    while (!fModemDone) {
      pthread_kill(fModemThread.native_handle(), WakeSignal());
      fModemCond.wait_for(lock, std::chrono::milliseconds(20), [this] { return fModemDone; });
    }
    lock.unlock();
    fModemThread.join();
    fModemThreadStarted = false;
  }

  std::string fPath;
  int fFd = -1;
  int fWakeFd = -1;
  bool fNoModemLines = false;
  bool fHungUp = false;
  // Bytes the wait has read from the queue and Read has not handed out yet: fAheadPos to
  // fAheadEnd.
  std::mutex fAheadLock;
  std::array<char, kAheadSize> fAhead{};
  size_t fAheadPos = 0;
  size_t fAheadEnd = 0;
  std::atomic<unsigned> fLastLines{0};
  std::atomic<unsigned> fChangedLines{0};
  std::atomic<bool> fModemPolling{false};
  bool fModemThreadStarted = false;
  std::atomic<bool> fModemStop{false};
  std::thread fModemThread;
  std::mutex fModemLock;
  std::condition_variable fModemCond;
  bool fModemDone = false;
};

}  // namespace

std::unique_ptr<TCommDevice> MakePosixCommDevice(const std::string& Path) {
  return std::make_unique<TPosixCommDevice>(Path);
}
