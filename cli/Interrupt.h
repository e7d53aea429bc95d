// Ctrl-C (SIGINT), SIGTERM and SIGHUP while a command runs. The handler only counts and writes one
// byte into a pipe; a watcher thread reads the pipe and calls OnInterrupt, where it is safe to
// set the session's abort request and wake its wait. A third signal ends the program at once,
// for a PBX that keeps a wait from ever reaching the next command.
#pragma once

#include <functional>
#include <thread>

class TInterruptWatch {
 public:
  explicit TInterruptWatch(std::function<void()> OnInterrupt);
  ~TInterruptWatch();  // restores the previous handlers and stops the watcher
  TInterruptWatch(const TInterruptWatch&) = delete;
  TInterruptWatch& operator=(const TInterruptWatch&) = delete;

  bool Active() const { return fActive; }
  // Signals received since the watch began.
  static int Count();

 private:
  std::function<void()> fOnInterrupt;
  std::thread fThread;
  bool fActive = false;
};
