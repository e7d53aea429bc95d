// Running kxta and kxta-sim as processes for the command-line tests: a child with its standard
// error on a pipe (or a pseudo-terminal) that can be read while it runs, and the simulator on
// its own pseudo-terminal.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

class TChild {
 public:
  // Starts Exe with Args; Env entries ("NAME=value") are added to this process's environment.
  // Standard output goes to OutFile, standard input comes from /dev/null. With ErrOnPty the
  // child's standard error is a pseudo-terminal (so it draws its progress bars), else a pipe.
  // With FileSizeLimit, no file of the child grows beyond that many bytes: a write there fails
  // as on a full disk (RLIMIT_FSIZE, its signal ignored).
  TChild(const std::string& Exe, const std::vector<std::string>& Args,
         const std::vector<std::string>& Env, const std::string& OutFile, bool ErrOnPty = false,
         long long FileSizeLimit = -1);
  ~TChild();
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  pid_t Pid() const { return fPid; }
  // Reads standard error until it holds Needle or TimeoutMs pass; true when it was seen.
  bool WaitForErr(const std::string& Needle, int TimeoutMs);
  // Reads standard error to its end and reaps the child: its exit status, or 128 + signal.
  int Finish(int TimeoutMs);
  const std::string& Err() const { return fErr; }
  void Signal(int Sig);

 private:
  bool ReadSome(int TimeoutMs);
  pid_t fPid = -1;
  int fErrFd = -1;
  bool fReaped = false;
  int fStatus = -1;
  std::string fErr;
};

// kxta-sim --pty with Args, its standard error (the --trace output) in ErrFile.
class TSim {
 public:
  TSim(const std::vector<std::string>& Args, const std::string& ErrFile);
  ~TSim();
  const std::string& Path() const { return fPath; }  // the slave side, "" when it did not start
  // Ends it with SIGTERM (it saves its --state file) and waits; its exit status.
  int Stop();
  // Mends the line (SIGUSR1: every fault ends) and waits until the simulator says so.
  bool Mend();

 private:
  pid_t fPid = -1;
  std::string fPath;
  std::string fErrFile;
  int fMended = 0;
};

// Debian's ser2net serving Device on a free port of 127.0.0.1, raw or as Telnet with RFC 2217;
// killed when it goes. Started only where it is installed (Available).
class TSer2net {
 public:
  static bool Available();
  TSer2net(const std::string& Dir, const std::string& Device, bool Rfc2217, int Port = 0);
  ~TSer2net();
  TSer2net(const TSer2net&) = delete;
  TSer2net& operator=(const TSer2net&) = delete;
  bool Listening() const;
  int Port() const { return fPort; }
  std::string Url(bool Rfc2217) const;
  void Kill();

 private:
  int fPort;
  std::unique_ptr<TChild> fChild;
};

// The session's pauses shrunk so that a whole read takes well under a second on a pty, for the
// environment of a kxta child.
extern const char* const kFastSessionTiming;

std::string ReadFile(const std::string& Path);
// The program lines of a kxta-sim state file, in its order (notes left out).
std::vector<std::string> SimStateLines(const std::string& StateFile);
bool FileExists(const std::string& Path);
