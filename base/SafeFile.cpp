// The one way the program replaces a file: temporary file, sync, rename, folder sync.
#include "SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

TFileFaults gFaults;

std::string ErrnoText(const char* What) { return std::string(What) + ": " + std::strerror(errno); }

std::string KindProblem(mode_t Mode) {
  if (S_ISREG(Mode)) return std::string();
  if (S_ISDIR(Mode)) return "it is a folder, not a file";
  if (S_ISCHR(Mode) || S_ISBLK(Mode)) return "it is a device, not a file";
  if (S_ISFIFO(Mode)) return "it is a named pipe (FIFO), not a file";
  if (S_ISSOCK(Mode)) return "it is a socket, not a file";
  return "it is not a regular file";
}

}  // namespace

void SetFileFaults(const TFileFaults& Faults) { gFaults = Faults; }
void ClearFileFaults() { gFaults = TFileFaults(); }

bool TReplacingFile::Fail(const char* What) {
  if (!fFailed) fError = ErrnoText(What);
  fFailed = true;
  return false;
}

bool TReplacingFile::FailWith(const std::string& Why) {
  if (!fFailed) fError = Why;
  fFailed = true;
  return false;
}

bool TReplacingFile::Create(const std::string& Path, mode_t NewFileMode, bool MustBeNew) {
  Abandon();
  fFailed = false;
  fExists = false;
  fMustBeNew = MustBeNew;
  fError.clear();
  fWritten = 0;
  // Replace what a link points at, not the link.
  fTarget = Path;
  struct stat st {};
  const bool present = ::lstat(Path.c_str(), &st) == 0;
  if (present && MustBeNew) {
    fExists = true;
    return FailWith("a file of that name exists");
  }
  if (present && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(Path.c_str(), nullptr)) {
      fTarget = real;
      std::free(real);
    }
  }
  if (const std::string why = NotAFile(fTarget); !why.empty()) return FailWith(why);
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
    } else {
      Rename();
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

bool TReplacingFile::Rename() {
  if (!fMustBeNew) {
    // The target may have become something else while the file was written (a dump takes
    // minutes).
    if (const std::string why = NotAFile(fTarget); !why.empty()) return FailWith(why);
    return ::rename(fTemp.c_str(), fTarget.c_str()) == 0 || Fail("cannot replace the file");
  }
  // The name is taken only by a complete file, and only when it is free at that moment.
  if (::renameat2(AT_FDCWD, fTemp.c_str(), AT_FDCWD, fTarget.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
    // A file system without the exclusive rename: a hard link is as exclusive.
    if (::link(fTemp.c_str(), fTarget.c_str()) == 0) {
      ::unlink(fTemp.c_str());
      return true;
    }
  }
  if (errno == EEXIST) {
    fExists = true;
    return FailWith("a file of that name exists");
  }
  return Fail("cannot create the file");
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

std::string NotAFile(const std::string& Path) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0) return std::string();
  return KindProblem(st.st_mode);
}

int OpenAppendFile(const std::string& Path, mode_t Mode, std::string& Why, bool AlsoRead) {
  Why = NotAFile(Path);
  if (!Why.empty()) return -1;
  // Should the name have turned into a named pipe or a terminal since, the open must neither
  // wait for a reader nor take the terminal; the kind is judged again on what was opened.
  const int fd =
      ::open(Path.c_str(), (AlsoRead ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND | O_CLOEXEC |
                               O_NONBLOCK | O_NOCTTY,
             Mode);
  if (fd < 0) {
    Why = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Why = S_ISREG(st.st_mode) ? std::string(std::strerror(errno)) : KindProblem(st.st_mode);
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

FILE* OpenPrivateAppend(const std::string& Path) {
  std::string why;
  const int fd = OpenAppendFile(Path, 0600, why);
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

bool WriteNewFile(const std::string& Path, const std::string& Bytes, std::string& Error,
                  mode_t NewFileMode, bool& Exists) {
  TReplacingFile file;
  const bool ok = file.Create(Path, NewFileMode, true) && file.Write(Bytes.data(), Bytes.size()) &&
                  file.Commit();
  Exists = file.Exists();
  if (!ok) Error = file.ErrorText();
  return ok;
}

bool ReplaceFileContents(const std::string& Path, const std::string& Bytes, std::string& Error,
                         mode_t NewFileMode) {
  TReplacingFile file;
  const bool ok =
      file.Create(Path, NewFileMode) && file.Write(Bytes.data(), Bytes.size()) && file.Commit();
  if (!ok) Error = file.ErrorText();
  return ok;
}
