#include "CliProcess.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

int MsLeft(TClock::time_point End) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(End - TClock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::vector<std::string> Environment(const std::vector<std::string>& Extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& x : Extra)
      if (entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0) replaced = true;
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), Extra.begin(), Extra.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& Strings) {
  std::vector<char*> p;
  for (std::string& s : Strings) p.push_back(s.data());
  p.push_back(nullptr);
  return p;
}

int Decode(int Status) {
  if (WIFEXITED(Status)) return WEXITSTATUS(Status);
  if (WIFSIGNALED(Status)) return 128 + WTERMSIG(Status);
  return -1;
}

}  // namespace

TChild::TChild(const std::string& Exe, const std::vector<std::string>& Args,
               const std::vector<std::string>& Env, const std::string& OutFile, bool ErrOnPty,
               long long FileSizeLimit) {
  std::vector<std::string> argv{Exe};
  argv.insert(argv.end(), Args.begin(), Args.end());
  std::vector<std::string> env = Environment(Env);
  std::vector<char*> argp = Pointers(argv), envp = Pointers(env);

  int errRead = -1, errWrite = -1;
  if (ErrOnPty) {
    if (openpty(&errRead, &errWrite, nullptr, nullptr, nullptr) != 0) return;
  } else {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return;
    errRead = p[0];
    errWrite = p[1];
  }
  const int out = ::open(OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  fPid = fork();
  if (fPid == 0) {
    dup2(in, 0);
    dup2(out, 1);
    dup2(errWrite, 2);
    if (FileSizeLimit >= 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(FileSizeLimit), static_cast<rlim_t>(FileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    execve(Exe.c_str(), argp.data(), envp.data());
    _exit(127);
  }
  ::close(in);
  ::close(out);
  ::close(errWrite);
  fErrFd = errRead;
}

TChild::~TChild() {
  if (fPid > 0 && !fReaped) {
    kill(fPid, SIGKILL);
    waitpid(fPid, nullptr, 0);
  }
  if (fErrFd >= 0) ::close(fErrFd);
}

void TChild::Signal(int Sig) {
  if (fPid > 0 && !fReaped) kill(fPid, Sig);
}

bool TChild::ReadSome(int TimeoutMs) {
  if (fErrFd < 0) return false;
  pollfd p{fErrFd, POLLIN, 0};
  if (poll(&p, 1, TimeoutMs) <= 0) return false;
  char buf[4096];
  const ssize_t n = ::read(fErrFd, buf, sizeof buf);
  if (n <= 0) {
    // End of the pipe, or EIO on a pseudo-terminal whose child side has closed.
    ::close(fErrFd);
    fErrFd = -1;
    return false;
  }
  fErr.append(buf, static_cast<size_t>(n));
  return true;
}

bool TChild::WaitForErr(const std::string& Needle, int TimeoutMs) {
  const auto end = TClock::now() + std::chrono::milliseconds(TimeoutMs);
  while (fErr.find(Needle) == std::string::npos) {
    const int left = MsLeft(end);
    if (left == 0 || (!ReadSome(left) && fErrFd < 0)) break;
  }
  return fErr.find(Needle) != std::string::npos;
}

int TChild::Finish(int TimeoutMs) {
  if (fPid <= 0) return -1;
  const auto end = TClock::now() + std::chrono::milliseconds(TimeoutMs);
  while (fErrFd >= 0 && MsLeft(end) > 0) ReadSome(MsLeft(end));
  if (fErrFd >= 0) kill(fPid, SIGKILL);  // still talking after the time limit: a hang
  int status = 0;
  waitpid(fPid, &status, 0);
  fReaped = true;
  fStatus = Decode(status);
  return fStatus;
}

TSim::TSim(const std::vector<std::string>& Args, const std::string& ErrFile) : fErrFile(ErrFile) {
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return;
  std::vector<std::string> argv{KXTA_SIM_EXE, "--pty"};
  argv.insert(argv.end(), Args.begin(), Args.end());
  std::vector<char*> argp = Pointers(argv);
  const int err = ::open(ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  fPid = fork();
  if (fPid == 0) {
    dup2(p[1], 1);
    dup2(err, 2);
    execv(argp[0], argp.data());
    _exit(127);
  }
  ::close(p[1]);
  ::close(err);
  // The first line of its output is the slave path.
  const auto end = TClock::now() + std::chrono::seconds(5);
  char c;
  std::string line;
  while (MsLeft(end) > 0) {
    pollfd pf{p[0], POLLIN, 0};
    if (poll(&pf, 1, MsLeft(end)) <= 0 || ::read(p[0], &c, 1) != 1 || c == '\n') break;
    line += c;
  }
  ::close(p[0]);
  fPath = line;
}

TSim::~TSim() { Stop(); }

int TSim::Stop() {
  if (fPid <= 0) return -1;
  kill(fPid, SIGTERM);
  int status = 0;
  waitpid(fPid, &status, 0);
  fPid = -1;
  return Decode(status);
}

bool TSim::Mend() {
  if (fPid <= 0) return false;
  kill(fPid, SIGUSR1);
  ++fMended;
  // Its message on standard error tells that the faults are off; a test then reconnects.
  const std::string done = "line mended";
  const auto end = TClock::now() + std::chrono::seconds(5);
  while (MsLeft(end) > 0) {
    const std::string err = ReadFile(fErrFile);
    int seen = 0;
    for (size_t p = err.find(done); p != std::string::npos; p = err.find(done, p + 1)) ++seen;
    if (seen >= fMended) return true;
    usleep(10000);
  }
  return false;
}

std::string ReadFile(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

bool FileExists(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0;
}

const char* const kFastSessionTiming =
    "KXTA_SESSION_TIMING=SlowPause=2,OpenPause=10,PromptPause=5,ByePause=2,LoginPause=10,"
    "FailPause=10,DisconnectPause=10,DisconnectTail=10,ClosePause=5,DirectTimeout=1500";

std::vector<std::string> SimStateLines(const std::string& StateFile) {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(StateFile));
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  return lines;
}

namespace {

const char* const kSer2net = "/usr/sbin/ser2net";

// A TCP port of 127.0.0.1 that nothing listens on just now.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

// True once something listens on Port of the loopback address (from /proc/net/tcp, so that no
// probing connection makes ser2net open the device just before the program does).
bool ListeningOn(int Port) {
  char want[8];
  std::snprintf(want, sizeof want, ":%04X", Port);
  std::ifstream in("/proc/net/tcp");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string slot, local, remote, state;
    f >> slot >> local >> remote >> state;
    if (state == "0A" && local.size() > 5 && local.compare(local.size() - 5, 5, want) == 0)
      return true;
  }
  return false;
}

}  // namespace

bool TSer2net::Available() { return ::access(kSer2net, X_OK) == 0; }

TSer2net::TSer2net(const std::string& Dir, const std::string& Device, bool Rfc2217, int Port)
    : fPort(Port ? Port : FreePort()) {
  const std::string config = Dir + "/ser2net.yaml";
  std::ofstream(config) << "connection: &pbx\n"
                        << "  accepter: " << (Rfc2217 ? "telnet(rfc2217)," : "")
                        << "tcp,127.0.0.1," << fPort << "\n"
                        << "  connector: serialdev," << Device << ",9600n81,local\n"
                        << "  options:\n"
                        << "    kickolduser: true\n"
                        << "    chardelay: false\n";
  fChild = std::make_unique<TChild>(kSer2net, std::vector<std::string>{"-n", "-d", "-c", config},
                                    std::vector<std::string>{}, Dir + "/ser2net.out");
  const auto end = TClock::now() + std::chrono::seconds(10);
  while (!ListeningOn(fPort) && MsLeft(end) > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

TSer2net::~TSer2net() { Kill(); }

bool TSer2net::Listening() const { return ListeningOn(fPort); }

std::string TSer2net::Url(bool Rfc2217) const {
  return std::string(Rfc2217 ? "rfc2217://" : "tcp://") + "127.0.0.1:" + std::to_string(fPort);
}

void TSer2net::Kill() {
  if (!fChild) return;
  fChild->Signal(SIGKILL);
  fChild->Finish(10000);
  fChild.reset();
}
