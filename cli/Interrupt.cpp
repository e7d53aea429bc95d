#include "Interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

int gPipe[2] = {-1, -1};
std::atomic<int> gCount{0};
struct sigaction gOldInt {}, gOldTerm {}, gOldHup {};

constexpr char kSignalByte = 's';
constexpr char kStopByte = 'q';
constexpr int kHardStop = 3;

extern "C" void OnSignal(int Sig) {
  const int saved = errno;
  if (gCount.fetch_add(1) + 1 >= kHardStop) {
    // Everything here is async-signal-safe: back to the default action and die by it.
    ::signal(Sig, SIG_DFL);
    ::raise(Sig);
  }
  const char c = kSignalByte;
  (void)!::write(gPipe[1], &c, 1);
  errno = saved;
}

}  // namespace

int TInterruptWatch::Count() { return gCount.load(); }

TInterruptWatch::TInterruptWatch(std::function<void()> OnInterrupt)
    : fOnInterrupt(std::move(OnInterrupt)) {
  if (::pipe2(gPipe, O_CLOEXEC) != 0) return;
  ::fcntl(gPipe[1], F_SETFL, O_NONBLOCK);  // a full pipe must never block the handler
  gCount = 0;
  fThread = std::thread([this] {
    for (;;) {
      char c;
      const ssize_t n = ::read(gPipe[0], &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || c == kStopByte) break;
      if (fOnInterrupt) fOnInterrupt();
    }
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &sa, &gOldInt);
  ::sigaction(SIGTERM, &sa, &gOldTerm);
  // A closed terminal or a logged-out session: the same orderly end, goodbye included.
  ::sigaction(SIGHUP, &sa, &gOldHup);
  fActive = true;
}

TInterruptWatch::~TInterruptWatch() {
  if (!fActive) return;
  ::sigaction(SIGINT, &gOldInt, nullptr);
  ::sigaction(SIGTERM, &gOldTerm, nullptr);
  ::sigaction(SIGHUP, &gOldHup, nullptr);
  const char c = kStopByte;
  // Blocking write is fine here: the watcher drains the pipe.
  ::fcntl(gPipe[1], F_SETFL, 0);
  (void)!::write(gPipe[1], &c, 1);
  fThread.join();
  ::close(gPipe[0]);
  ::close(gPipe[1]);
  gPipe[0] = gPipe[1] = -1;
}
