// kxta-sim: a simulated KX-TA624 programming port on a pseudo-terminal, to try the program and
// a terminal program without a PBX, and for end-to-end tests of the serial backend.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "SimRunner.h"
#include "Errors.h"  // Format
#include "Text.h"

namespace {

int gSignalPipe[2] = {-1, -1};

// One direction of the line as readable text for --trace: control characters as <CR>, <LF>, <xx>.
void Trace(const char* Dir, const char* Data, size_t Count) {
  std::string t;
  for (size_t i = 0; i < Count; ++i) {
    const unsigned char c = static_cast<unsigned char>(Data[i]);
    if (c == '\r')
      t += "<CR>";
    else if (c == '\n')
      t += "<LF>";
    else if (c < 0x20 || c >= 0x7f)
      t += Format("<%.2x>", c);
    else
      t += char(c);
  }
  std::fprintf(stderr, "%s %s\n", Dir, t.c_str());
}

// --stats: when a lone byte comes in after the port wrote something (the typed character after
// its echo), the time since that write: the far side's turnaround, both pty transits included.
// The turnaround after a prompt (the write ended with ">": the next command's first character
// comes back) is counted apart. And the port's own reaction: from a byte coming in to the next
// write.
class TLineStats {
 public:
  using TClock = std::chrono::steady_clock;
  void Wrote(char Last) {
    std::lock_guard<std::mutex> g(fLock);
    const auto now = TClock::now();
    if (fLastWasRead) fReaction.push_back(Us(now - fLastRead));
    fLastWrite = now;
    fLastWasRead = false;
    fWritten = true;
    fPromptWritten = Last == '>';
  }
  void Read(size_t Count) {
    std::lock_guard<std::mutex> g(fLock);
    const auto now = TClock::now();
    if (Count == 1 && fWritten && !fLastWasRead)
      (fPromptWritten ? fAfterPrompt : fTurnaround).push_back(Us(now - fLastWrite));
    fLastRead = now;
    fLastWasRead = true;
  }
  void Print() {
    std::lock_guard<std::mutex> g(fLock);
    std::fprintf(stderr, "kxta-sim: stats: far-side turnaround %s; after a prompt %s; own reaction %s\n",
                 Describe(fTurnaround).c_str(), Describe(fAfterPrompt).c_str(),
                 Describe(fReaction).c_str());
  }

 private:
  static double Us(TClock::duration D) { return std::chrono::duration<double, std::micro>(D).count(); }
  static constexpr double kPauseUs = 50000;
  static std::string Describe(std::vector<double> V) {
    if (V.empty()) return "no samples";
    std::sort(V.begin(), V.end());
    // The mean leaves out the session's own pauses (the slow log-in typing, the waits after
    // its prompts), which would swamp it.
    double sum = 0;
    size_t n = 0;
    for (double v : V)
      if (v < kPauseUs) sum += v, ++n;
    return Format("%zu samples median %.1f us p90 %.1f us, mean under 50 ms %.1f us", V.size(),
                  V[V.size() / 2], V[V.size() * 9 / 10], n ? sum / double(n) : 0.0);
  }
  std::mutex fLock;
  TClock::time_point fLastWrite{}, fLastRead{};
  bool fLastWasRead = false, fWritten = false, fPromptWritten = false;
  std::vector<double> fTurnaround, fAfterPrompt, fReaction;
};

// 1: stop; 2: mend the line (SIGUSR1).
void OnSignal(int Sig) {
  const char c = Sig == SIGUSR1 ? 2 : 1;
  (void)!write(gSignalPipe[1], &c, 1);
}

const char kUsage[] =
    "Usage: kxta-sim --pty [options]\n"
    "Serves a simulated Panasonic KX-TA624 programming port on a pseudo-terminal until killed.\n"
    "The slave path is printed on the first line of standard output.\n"
    "\n"
    "  --pty                 open a pseudo-terminal (required)\n"
    "  --link PATH           also make PATH a symbolic link to the slave (removed at exit)\n"
    "  --password PW         system password, 4 digits (program 002S; default 7392)\n"
    "  --wake-password       ask the password already at the wake-up line TA616\n"
    "  --state FILE          load program lines from FILE at start, save them there at exit\n"
    "  --baud N              pace both directions at N bit/s (default 9600, 0 = no pacing)\n"
    "  --bits 10|11          bits per character on the line (default 10)\n"
    "  --latency-ms MS       delay before each received character is acted on\n"
    "  --silent-after N      answer nothing at all after N command lines\n"
    "  --refuse CMD          answer \"Command error\" to every line beginning with CMD (repeatable)\n"
    "  --split N --gap-ms M  send replies in pieces of N bytes, M ms apart\n"
    "  --noise RATE          insert a random byte before each byte sent with probability RATE\n"
    "                        (0 to 1, e.g. 0.002)\n"
    "  --rx-noise RATE       each byte received is doubled or taken as another printable\n"
    "                        character with probability RATE (noise towards the PBX)\n"
    "  --seed S              seed of the noise (default 1): the same seed gives the same noise\n"
    "  --cut-after BYTES     the line breaks after BYTES bytes sent: nothing more goes either way\n"
    "  --oversize CMD        the reply to lines beginning with CMD repeats its data lines past\n"
    "                        --oversize-bytes N bytes (default 9000), then gives the prompt\n"
    "  SIGUSR1               mends the line: every fault above (silent, refuse, split, noise, cut,\n"
    "                        oversize) ends; the PBX keeps its lines and its mode\n"
    "  --dump-no-prompt      end a dump's listing without the prompt: the PBX falls silent\n"
    "  --modem               put a Hayes modem in front: AT commands answer OK; ATD000 NO DIALTONE,\n"
    "                        ATD111 BUSY, ATD222 NO CARRIER, ATD333 nothing, other numbers CONNECT\n"
    "  --drop-dsr-after MS   drop DSR MS milliseconds after start (the PBX goes deaf)\n"
    "  --drop-carrier-after MS  drop the modem carrier MS ms after start (\"DISCONNECTED\")\n"
    "  --version-text TEXT   the answer to VER\n"
    "  --trace               show both directions of the line on standard error\n"
    "  --stats               at exit, print turnaround times of the line on standard error\n"
    "  --help                this text\n"
    "  --version             the program's version\n";

bool IntArg(int argc, char** argv, int& i, int& Value) {
  if (i + 1 >= argc || !TryStrToInt(argv[i + 1], Value) || Value < 0) {
    std::fprintf(stderr, "kxta-sim: %s needs a number\n", argv[i]);
    return false;
  }
  ++i;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool pty = false, modem = false, wakePassword = false, trace = false, stats = false;
  std::string linkPath, statePath, password, versionText;
  int baud = 9600, bits = 10, latency = 0, silentAfter = -1, split = 0, gap = 0;
  int dropDsr = -1, dropCarrier = -1, seed = 1, cutAfter = -1, oversizeBytes = 9000;
  double noise = 0.0, rxNoise = 0.0;
  bool dumpPrompt = true;
  std::string oversize;
  std::vector<std::string> refused;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto text = [&](std::string& Out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kxta-sim: %s needs a value\n", a.c_str());
        return false;
      }
      Out = argv[++i];
      return true;
    };
    bool ok = true;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("kxta-sim %s\n", KXTA_VERSION);
      return 0;
    } else if (a == "--pty") {
      pty = true;
    } else if (a == "--trace") {
      trace = true;
    } else if (a == "--stats") {
      stats = true;
    } else if (a == "--dump-no-prompt") {
      dumpPrompt = false;
    } else if (a == "--modem") {
      modem = true;
    } else if (a == "--wake-password") {
      wakePassword = true;
    } else if (a == "--link") {
      ok = text(linkPath);
    } else if (a == "--state") {
      ok = text(statePath);
    } else if (a == "--password") {
      ok = text(password);
    } else if (a == "--version-text") {
      ok = text(versionText);
    } else if (a == "--refuse") {
      std::string r;
      ok = text(r);
      refused.push_back(r);
    } else if (a == "--baud") {
      ok = IntArg(argc, argv, i, baud);
    } else if (a == "--bits") {
      ok = IntArg(argc, argv, i, bits) && (bits == 10 || bits == 11);
    } else if (a == "--latency-ms") {
      ok = IntArg(argc, argv, i, latency);
    } else if (a == "--silent-after") {
      ok = IntArg(argc, argv, i, silentAfter);
    } else if (a == "--split") {
      ok = IntArg(argc, argv, i, split);
    } else if (a == "--gap-ms") {
      ok = IntArg(argc, argv, i, gap);
    } else if (a == "--noise" || a == "--rx-noise") {
      std::string r;
      char* end = nullptr;
      double& rate = a == "--noise" ? noise : rxNoise;
      ok = text(r);
      if (ok) rate = std::strtod(r.c_str(), &end);
      if (ok && (end == r.c_str() || *end != 0 || !(rate >= 0.0 && rate <= 1.0))) {
        std::fprintf(stderr, "kxta-sim: %s needs a rate from 0 to 1\n", a.c_str());
        ok = false;
      }
    } else if (a == "--seed") {
      ok = IntArg(argc, argv, i, seed);
    } else if (a == "--cut-after") {
      ok = IntArg(argc, argv, i, cutAfter);
    } else if (a == "--oversize") {
      ok = text(oversize);
    } else if (a == "--oversize-bytes") {
      ok = IntArg(argc, argv, i, oversizeBytes);
    } else if (a == "--drop-dsr-after") {
      ok = IntArg(argc, argv, i, dropDsr);
    } else if (a == "--drop-carrier-after") {
      ok = IntArg(argc, argv, i, dropCarrier);
    } else {
      std::fprintf(stderr, "kxta-sim: unknown option %s\n", a.c_str());
      ok = false;
    }
    if (!ok) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (!pty) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  // The runner paces every byte with a timed wait; the kernel's default slack of 50 us on each
  // would make the simulated line slower than a real one. The runner's thread inherits this.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  TSimRunner runner;
  bool setupOk = true;
  runner.Control([&](TSimPbx& pbx) {
    if (!statePath.empty() && access(statePath.c_str(), F_OK) == 0 && !pbx.LoadState(statePath))
      std::fprintf(stderr, "kxta-sim: %s: some lines were refused and left at factory values\n",
                   statePath.c_str());
    if (!password.empty() && !pbx.SetPassword(password)) {
      std::fprintf(stderr, "kxta-sim: the password must be 4 digits\n");
      setupOk = false;
    }
    if (!versionText.empty()) pbx.SetVersionText(versionText);
    pbx.SetAskPasswordAtWakeUp(wakePassword);
    pbx.SetModemEnabled(modem);
    pbx.SetConnectText("CONNECT " + std::to_string(baud > 0 ? baud : 9600));
    pbx.SetSilentAfter(silentAfter);
    for (const std::string& r : refused) pbx.AddRefusedCommand(r);
    pbx.SetCutAfterBytes(cutAfter);
    pbx.SetDumpPrompt(dumpPrompt);
    if (!oversize.empty()) pbx.SetOversizedReply(oversize, size_t(oversizeBytes));
  });
  if (!setupOk) return 2;
  runner.SetBitRate(baud, bits);
  runner.SetLatencyMs(latency);
  runner.SetSplit(size_t(split), gap);
  runner.SetNoise(noise, unsigned(seed));
  runner.SetRxNoise(rxNoise, unsigned(seed) + 1);

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::fprintf(stderr, "kxta-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  char slaveName[256];
  if (ptsname_r(master, slaveName, sizeof slaveName) != 0) {
    std::fprintf(stderr, "kxta-sim: ptsname: %s\n", std::strerror(errno));
    return 1;
  }
  // Holding the slave open keeps the master readable between two clients (no EIO, no hang-up
  // storm) and lets us put the line into raw mode before anybody connects.
  const int slave = open(slaveName, O_RDWR | O_NOCTTY);
  if (slave < 0) {
    std::fprintf(stderr, "kxta-sim: %s: %s\n", slaveName, std::strerror(errno));
    return 1;
  }
  termios tio{};
  if (tcgetattr(slave, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
  }
  if (!linkPath.empty()) {
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(linkPath.c_str());
    if (symlink(slaveName, linkPath.c_str()) != 0) {
      std::fprintf(stderr, "kxta-sim: cannot link %s: %s\n", linkPath.c_str(), std::strerror(errno));
      linkPath.clear();
    }
  }

  TLineStats lineStats;
  runner.OnOutput = [master, trace, stats, &lineStats](const char* Data, size_t Count) {
    if (trace) Trace(">>", Data, Count);
    if (stats && Count > 0) lineStats.Wrote(Data[Count - 1]);
    while (Count > 0) {
      const ssize_t n = write(master, Data, Count);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      Data += n;
      Count -= size_t(n);
    }
  };
  runner.OnLineChange = [](int Line, bool On) {
    static const char* const kNames[] = {"?", "CTS", "DSR", "RING", "carrier"};
    std::fprintf(stderr, "kxta-sim: %s %s\n", kNames[Line >= 1 && Line <= 4 ? Line : 0], On ? "on" : "off");
  };

  if (pipe(gSignalPipe) != 0) return 1;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  sigaction(SIGUSR1, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  runner.Start();
  if (dropDsr >= 0) runner.ScheduleDsr(dropDsr, false);
  if (dropCarrier >= 0) runner.ScheduleCarrierDrop(dropCarrier);
  std::printf("%s\n", slaveName);
  std::fflush(stdout);
  std::fprintf(stderr, "kxta-sim: KX-TA624 on %s%s%s\n", slaveName, linkPath.empty() ? "" : " and ",
               linkPath.c_str());

  // What the far side set the line to (a serial server's RFC 2217 settings arrive so), told
  // whenever it changes: a pseudo-terminal keeps the speed, though not every other setting.
  auto lineText = [slave] {
    termios t{};
    if (tcgetattr(slave, &t) != 0) return std::string();
    static const std::pair<speed_t, unsigned> kRates[] = {
        {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200},
        {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    unsigned rate = 0;
    for (const auto& [code, value] : kRates)
      if (cfgetospeed(&t) == code) rate = value;
    const unsigned size = (t.c_cflag & CSIZE) == CS7 ? 7 : (t.c_cflag & CSIZE) == CS8 ? 8 : 0;
    const char* parity = !(t.c_cflag & PARENB) ? "none" : (t.c_cflag & PARODD) ? "odd" : "even";
    char text[128];
    std::snprintf(text, sizeof text, "%u bit/s, %u data bits, parity %s, %d stop bits", rate,
                  size, parity, (t.c_cflag & CSTOPB) ? 2 : 1);
    return std::string(text);
  };
  std::string lineNow = lineText();

  pollfd fds[2] = {{master, POLLIN, 0}, {gSignalPipe[0], POLLIN, 0}};
  char buf[512];
  int rc = 0;
  for (;;) {
    const int n = poll(fds, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      rc = 1;
      break;
    }
    if (fds[1].revents) {
      char sig = 1;
      if (read(gSignalPipe[0], &sig, 1) == 1 && sig == 2) {
        runner.Control([](TSimPbx& pbx) { pbx.ClearFaults(); });
        runner.SetSplit(0, 0);
        std::fprintf(stderr,
                     "kxta-sim: line mended, faults cleared (%zu noise bytes were sent, %zu "
                     "received bytes were spoilt)\n",
                     runner.NoiseBytes(), runner.RxNoiseBytes());
        runner.SetNoise(0.0, 0);
        runner.SetRxNoise(0.0, 0);
        continue;
      }
      break;
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t got = read(master, buf, sizeof buf);
      if (got > 0) {
        if (std::string l = lineText(); l != lineNow) {
          lineNow = l;
          std::fprintf(stderr, "kxta-sim: line set to %s\n", l.c_str());
        }
        if (trace) Trace("<<", buf, size_t(got));
        if (stats) lineStats.Read(size_t(got));
        runner.Feed(buf, size_t(got));
      }
      else if (got < 0 && errno != EINTR && errno != EAGAIN && errno != EIO)
        break;
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      break;  // cannot happen while we hold the slave; do not spin if it does
    }
  }
  runner.Stop();
  if (stats) lineStats.Print();
  if (!statePath.empty()) {
    bool saved = false;
    runner.Control([&](TSimPbx& pbx) { saved = pbx.SaveState(statePath); });
    if (!saved) std::fprintf(stderr, "kxta-sim: cannot save %s\n", statePath.c_str());
  }
  if (!linkPath.empty()) unlink(linkPath.c_str());
  close(slave);
  close(master);
  return rc;
}
