// Measures what the session adds to each typed character's echo (time from the far end sending
// the echo to the session sending the next character) and the CPU spent while it waits on a
// silent PBX, over the in-memory line and over a real pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "CommDevice.h"
#include "CommKXTA.h"
#include "ScriptedPbx.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void Report(const char* What, std::vector<double> Us) {
  if (Us.empty()) {
    std::printf("%s: no samples\n", What);
    return;
  }
  std::sort(Us.begin(), Us.end());
  std::printf("%s: %zu samples, median %.1f us, p90 %.1f us, max %.1f us\n", What, Us.size(),
              Us[Us.size() / 2], Us[Us.size() * 9 / 10], Us.back());
}

void FastPauses(TKXTAcomm& S) {
  S.Timing.SlowPause = S.Timing.OpenPause = S.Timing.PromptPause = S.Timing.ByePause = 1;
  S.Timing.LoginPause = S.Timing.FailPause = S.Timing.DisconnectPause = 1;
  S.Timing.DisconnectTail = S.Timing.ClosePause = 1;
  S.Timing.DirectTimeout = 1000;  // the silence limit is taken at connection
}

// Silence for about a second: the wait must sleep, not spin.
void MeasureSilentWait(TKXTAcomm& S, const char* What) {
  std::string reply;
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  const int r = S.Transact("604E01//\r", ";E>", reply, 0, 0);
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  std::printf("%s: silent wait result %d, %.3f s wall, %.4f s CPU (%.3f %% of one core)\n", What, r,
              wall, cpu, 100.0 * cpu / wall);
}

void MemoryLine() {
  TScriptedPbx pbx;
  RegisterCommDevice("benchpbx", [&] { return pbx.Line.CreateDevice("benchpbx"); });
  {
    TKXTAcomm s;
    FastPauses(s);
    int dial = 0;
    if (s.ConnectDevice("benchpbx", 3, 0, 1, 0, "1234", 0, false, "", "", 0, dial) != 0) {
      std::printf("memory line: connect failed\n");
      return;
    }
    const size_t skip = pbx.EchoTurnarounds().size();
    TStringList lines;
    for (int i = 0; i < 200; ++i) s.SendCommand("604E01/1,2,3/", lines, ";E>");
    std::vector<double> t = pbx.EchoTurnarounds();
    t.erase(t.begin(), t.begin() + static_cast<long>(skip));
    Report("memory line echo turnaround", t);
    pbx.Silent = true;
    MeasureSilentWait(s, "memory line");
    pbx.Silent = false;
    s.Disconnect();
  }
  UnregisterCommDevice("benchpbx");
}

// A bare PBX on the master side of a pty: echoes, answers the login, measures turnarounds.
struct TPtyPbx {
  int Master = -1;
  std::atomic<bool> Stop{false};
  std::atomic<bool> Silent{false};
  std::vector<double> Samples;
  std::thread Thread;

  void Run() {
    std::string line;
    bool echoOut = false;
    Clock::time_point echoAt;
    while (!Stop) {
      pollfd pf{Master, POLLIN, 0};
      if (::poll(&pf, 1, 50) <= 0) continue;
      char buf[256];
      const ssize_t n = ::read(Master, buf, sizeof buf);
      if (n <= 0) continue;
      const auto now = Clock::now();
      for (ssize_t i = 0; i < n; ++i) {
        const char c = buf[i];
        if (echoOut && c != '\r' && c != '\n')
          Samples.push_back(std::chrono::duration<double, std::micro>(now - echoAt).count());
        echoOut = false;
        if (Silent) continue;
        if (c != '\r' && c != '\n') {
          echoAt = Clock::now();
          echoOut = true;
        }
        if (::write(Master, &c, 1) < 0) return;
        if (c == '\n') continue;
        if (c != '\r') {
          line += c;
          continue;
        }
        std::string a;
        if (line == "TA616" || line == "1234" || line == "END")
          a = "\r\n;>";
        else if (line == "VER")
          a = "\r\n;=>BENCH\r\n;>";
        else if (line == "EDT")
          a = "\r\nPassword :";
        else
          a = "\r\n;=>" + line + "\r\n;E>";
        line.clear();
        if (::write(Master, a.data(), a.size()) < 0) return;
      }
    }
  }
};

void PseudoTerminal() {
  TPtyPbx pbx;
  pbx.Master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (pbx.Master < 0 || ::grantpt(pbx.Master) != 0 || ::unlockpt(pbx.Master) != 0) {
    std::printf("pty: not available\n");
    return;
  }
  const std::string path = ::ptsname(pbx.Master);
  pbx.Thread = std::thread([&] { pbx.Run(); });
  {
    TKXTAcomm s;
    FastPauses(s);
    int dial = 0;
    if (s.ConnectDevice(path, 3, 0, 1, 0, "1234", 0, false, "", "", 0, dial) == 0) {
      pbx.Samples.clear();
      TStringList lines;
      for (int i = 0; i < 200; ++i) s.SendCommand("604E01/1,2,3/", lines, ";E>");
      // The last exchange ended with the prompt, so the peer has nothing more to record.
      Report("pty echo turnaround (pty and both threads included)", pbx.Samples);
      pbx.Silent = true;
      MeasureSilentWait(s, "pty");
    } else {
      std::printf("pty: connect failed\n");
    }
  }
  pbx.Stop = true;
  pbx.Thread.join();
  ::close(pbx.Master);
}

}  // namespace

int main() {
  MemoryLine();
  PseudoTerminal();
  return 0;
}
