// The one way the program replaces a file: temporary file, sync, rename, folder sync.
#include "SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

TFileFaults gFaults;

std::string ErrnoText(const char* What) { return std::string(What) + ": " + std::strerror(errno); }

}  // namespace

void SetFileFaults(const TFileFaults& Faults) { gFaults = Faults; }
void ClearFileFaults() { gFaults = TFileFaults(); }

bool TReplacingFile::Fail(const char* What) {
  if (!fFailed) fError = ErrnoText(What);
  fFailed = true;
  return false;
}

bool TReplacingFile::Create(const std::string& Path, mode_t NewFileMode) {
  Abandon();
  fFailed = false;
  fError.clear();
  fWritten = 0;
  // Replace what a link points at, not the link.
  fTarget = Path;
  struct stat st {};
  if (::lstat(Path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(Path.c_str(), nullptr)) {
      fTarget = real;
      std::free(real);
    }
  }
  // A write-protected file stays protected, although replacing it would be possible.
  if (::access(fTarget.c_str(), F_OK) == 0 && ::access(fTarget.c_str(), W_OK) != 0)
    return Fail("the file cannot be written");
  const size_t slash = fTarget.rfind('/');
  fFolder = slash == std::string::npos ? "." : fTarget.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? fTarget : fTarget.substr(slash + 1);
  std::string temp = (slash == std::string::npos ? std::string() : fFolder) + "." + base + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return Fail("cannot create a temporary file in the folder");
  fFd = fd;
  fTemp = temp;
  // The new file keeps the old one's permissions; a new one gets NewFileMode under the umask.
  mode_t mode;
  if (::stat(fTarget.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = NewFileMode & ~mask;
  }
  if (::fchmod(fFd, mode) != 0) {
    Fail("cannot set the file permissions");
    Abandon();
    return false;
  }
  return true;
}

bool TReplacingFile::Write(const void* Data, size_t Count) {
  if (fFd < 0 || fFailed) return false;
  const char* p = static_cast<const char*>(Data);
  size_t done = 0;
  while (done < Count) {
    size_t want = Count - done;
    ssize_t n;
    const int64_t at = fWritten;
    if (gFaults.FailWriteAt >= 0 && at + static_cast<int64_t>(want) > gFaults.FailWriteAt) {
      // The injected full disk: what fits before the offset is stored, then the write fails.
      want = at < gFaults.FailWriteAt ? static_cast<size_t>(gFaults.FailWriteAt - at) : 0;
      n = want ? ::write(fFd, p + done, want) : (errno = ENOSPC, -1);
    } else {
      n = ::write(fFd, p + done, want);
    }
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return Fail("write failed");
    }
    done += static_cast<size_t>(n);
    fWritten += n;
  }
  return true;
}

bool TReplacingFile::Commit() {
  if (fFd < 0) {
    if (!fFailed) fError = "the file was not created";
    return false;
  }
  if (!fFailed) {
    if (gFaults.FailSync) {
      errno = EIO;
      Fail("cannot flush the file to disk");
    } else if (::fsync(fFd) != 0) {
      Fail("cannot flush the file to disk");
    }
  }
  if (::close(fFd) != 0 && !fFailed) Fail("write failed");
  fFd = -1;
  if (!fFailed) {
    if (gFaults.FailRename) {
      errno = EIO;
      Fail("cannot replace the file");
    } else if (::rename(fTemp.c_str(), fTarget.c_str()) != 0) {
      Fail("cannot replace the file");
    }
  }
  if (fFailed) {
    Abandon();
    return false;
  }
  fTemp.clear();
  // Make the rename itself durable; a folder that cannot be synced still holds the new file.
  const int dfd = ::open(fFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

void TReplacingFile::Abandon() {
  if (fFd >= 0) {
    ::close(fFd);
    fFd = -1;
  }
  if (!fTemp.empty()) {
    ::unlink(fTemp.c_str());
    fTemp.clear();
  }
}

FILE* OpenPrivateAppend(const std::string& Path) {
  const int fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  FILE* f = ::fdopen(fd, "ab");
  if (!f) ::close(fd);
  return f;
}

bool ReadFileUpTo(const std::string& Path, size_t Limit, std::string& Out, std::string& Why,
                  bool* TooLarge) {
  Out.clear();
  if (TooLarge) *TooLarge = false;
  const auto reason = [](int Error) {
    return Error == ENOENT ? std::string("no such file")
           : Error == EACCES ? std::string("no permission")
                             : std::string(std::strerror(Error));
  };
  const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    Why = reason(errno);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (!ok)
    Why = reason(errno);
  else if (!S_ISREG(st.st_mode))
    ok = false, Why = S_ISDIR(st.st_mode) ? "it is a folder, not a file" : "it is not a file";
  char buf[64 * 1024];
  while (ok && Out.size() <= Limit) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ok = false;
      Why = reason(errno);
    }
    if (got <= 0) break;
    Out.append(buf, static_cast<size_t>(got));
  }
  ::close(fd);
  if (ok && Out.size() > Limit) {
    ok = false;
    if (TooLarge) *TooLarge = true;
    Why = "it is larger than " + std::to_string(Limit) + " bytes";
  }
  return ok;
}

std::string ReadWholeFile(const std::string& Path) {
  std::string out, why;
  return ReadFileUpTo(Path, std::numeric_limits<size_t>::max() - 1, out, why) ? out
                                                                                : std::string();
}

std::string AbsoluteFilePath(const std::string& Path) {
  if (char* real = ::realpath(Path.c_str(), nullptr)) {
    std::string out = real;
    std::free(real);
    return out;
  }
  if (!Path.empty() && Path[0] == '/') return Path;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return Path;
  return std::string(cwd) + "/" + Path;
}

bool ReplaceFileContents(const std::string& Path, const std::string& Bytes, std::string& Error,
                         mode_t NewFileMode) {
  TReplacingFile file;
  const bool ok =
      file.Create(Path, NewFileMode) && file.Write(Bytes.data(), Bytes.size()) && file.Commit();
  if (!ok) Error = file.ErrorText();
  return ok;
}
