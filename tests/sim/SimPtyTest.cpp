// kxta-sim as a process: it prints its pseudo-terminal, serves a login and program reads and
// writes on it, keeps a stable link, and saves its state when it is told to end.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/TempDir.h"

#ifndef KXTA_SIM_EXE
#error "KXTA_SIM_EXE must name the kxta-sim executable"
#endif

namespace {

class TSimProcess {
 public:
  explicit TSimProcess(const std::vector<std::string>& Args) {
    int out[2];
    if (pipe(out) != 0) return;
    fPid = fork();
    if (fPid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      static std::string exe = KXTA_SIM_EXE;
      argv.push_back(exe.data());
      for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    fOut = out[0];
  }
  ~TSimProcess() {
    if (fPty >= 0) close(fPty);
    if (fOut >= 0) close(fOut);
    if (fPid > 0 && !fReaped) {
      kill(fPid, SIGKILL);
      waitpid(fPid, nullptr, 0);
    }
  }
  // The first line the simulator prints: its slave path.
  std::string SlavePath() {
    std::string line;
    char c;
    while (line.size() < 200) {
      pollfd p{fOut, POLLIN, 0};
      if (poll(&p, 1, 5000) <= 0 || read(fOut, &c, 1) != 1 || c == '\n') break;
      line += c;
    }
    return line;
  }
  bool Open(const std::string& Path) {
    fPty = open(Path.c_str(), O_RDWR | O_NOCTTY);
    if (fPty < 0) return false;
    termios t{};
    tcgetattr(fPty, &t);
    cfmakeraw(&t);
    return tcsetattr(fPty, TCSANOW, &t) == 0;
  }
  // Sends Cmd and collects the answer until it ends with Prompt.
  std::string Exchange(const std::string& Cmd, const std::string& Prompt, int TimeoutMs = 5000) {
    if (write(fPty, Cmd.data(), Cmd.size()) != ssize_t(Cmd.size())) return "<write failed>";
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (got.size() < Prompt.size() || got.compare(got.size() - Prompt.size(), Prompt.size(), Prompt) != 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      pollfd p{fPty, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) return got + "<timeout>";
      char buf[256];
      const ssize_t n = read(fPty, buf, sizeof buf);
      if (n <= 0) return got + "<read failed>";
      got.append(buf, size_t(n));
    }
    return got;
  }
  int Terminate() {
    kill(fPid, SIGTERM);
    return Wait();
  }
  int Wait() {
    int status = 0;
    waitpid(fPid, &status, 0);
    fReaped = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t fPid = -1;
  int fOut = -1;
  int fPty = -1;
  bool fReaped = false;
};

}  // namespace

TEST(KxtaSimProcess, ServesALoginAndBlocksOnAPty) {
  TTempDir dir;
  const std::string link = dir.File("ttyKXTA");
  const std::string state = dir.File("state.txt");
  TSimProcess sim({"--pty", "--link", link, "--state", state, "--baud", "115200", "--password", "1234"});
  const std::string path = sim.SlavePath();
  ASSERT_EQ(path.compare(0, 5, "/dev/"), 0) << path;
  char target[256] = {0};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(path, target);
  ASSERT_TRUE(sim.Open(link));
  EXPECT_EQ(sim.Exchange("TA616\r\n", ";>"), "TA616\r\n;>");
  EXPECT_EQ(sim.Exchange("EDT\r", "Password :"), "EDT\r\nPassword :");
  EXPECT_EQ(sim.Exchange("1234\r", ";>"), "1234\r\n;>");
  EXPECT_EQ(sim.Exchange("INT\r", ";E>"), "INT\r\n;E>");
  EXPECT_EQ(sim.Exchange("604E05//\r", ";E>"), "604E05//\r\n;=>604E05/^/\r\n;E>");
  EXPECT_EQ(sim.Exchange("604E05/Store     /\r", ";E>"), "604E05/Store     /\r\n;=>604E05/Store     /\r\n;E>");
  EXPECT_EQ(sim.Exchange("601E05/7/\r", ";E>"), "601E05/7/\r\nCommand error\r\n;E>");
  EXPECT_EQ(sim.Terminate(), 0);
  struct stat st {};
  EXPECT_NE(lstat(link.c_str(), &st), 0);
  EXPECT_NE(dir.Read("state.txt").find("\n604E05/Store     /\n"), std::string::npos);
  EXPECT_NE(dir.Read("state.txt").find("\n002S/1234/\n"), std::string::npos);
}

TEST(KxtaSimProcess, FaultOptionsAndBadArguments) {
  TSimProcess sim({"--pty", "--baud", "0", "--refuse", "604e", "--silent-after", "5", "--split", "3", "--gap-ms",
                   "5"});
  ASSERT_TRUE(sim.Open(sim.SlavePath()));
  EXPECT_EQ(sim.Exchange("TA616\r\n", ";>"), "TA616\r\n;>");
  EXPECT_EQ(sim.Exchange("EDT\r", "Password :"), "EDT\r\nPassword :");
  EXPECT_EQ(sim.Exchange("7392\r", ";>"), "7392\r\n;>");
  EXPECT_EQ(sim.Exchange("INT\r", ";E>"), "INT\r\n;E>");
  EXPECT_EQ(sim.Exchange("604E01//\r", ";E>"), "604E01//\r\nCommand error\r\n;E>");
  // The sixth line meets silence: not even an echo within a time the echo takes a millisecond for.
  EXPECT_EQ(sim.Exchange("605E01//\r", ";E>", 300), "<timeout>");
  EXPECT_EQ(sim.Terminate(), 0);

  TSimProcess help({"--help"});
  EXPECT_EQ(help.SlavePath(), "Usage: kxta-sim --pty [options]");
  EXPECT_EQ(help.Wait(), 0);
  TSimProcess bad({"--pty", "--bits", "12"});
  EXPECT_EQ(bad.Wait(), 2);
  TSimProcess badPassword({"--pty", "--password", "12345"});
  EXPECT_EQ(badPassword.Wait(), 2);
}
