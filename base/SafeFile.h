// Replacing a file so that it is never found half-written: the new contents go to a temporary
// file in the target's folder, which is synced and then renamed over the target. Whatever stops
// a save (a failed write, a full disk, the process killed), the target holds either its old
// contents or the new ones. The data file, the settings file and the dump file are written so.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class TReplacingFile {
 public:
  TReplacingFile() = default;
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;
  ~TReplacingFile() { Abandon(); }

  // Starts the replacement of Path. A symbolic link's target is replaced, not the link; a
  // write-protected file is refused, and so is anything but a regular file (a device, a named
  // pipe, a socket, a folder); the new file gets the old one's permissions (a new file
  // NewFileMode less the umask: 0600 for files that hold secrets). With MustBeNew the file is
  // created only where no file of that name exists, at Create and again at Commit, so that two
  // writers can never share one name (Exists() then tells why it failed).
  bool Create(const std::string& Path, mode_t NewFileMode = 0666, bool MustBeNew = false);
  // False once any write failed; later writes are dropped.
  bool Write(const void* Data, size_t Count);
  // Syncs the temporary file, renames it over the target and syncs the folder. On any failure
  // the target is untouched and the temporary file removed.
  bool Commit();
  // Drops the new contents; the target stays as it was.
  void Abandon();

  bool Failed() const { return fFailed; }
  // MustBeNew: the name was taken.
  bool Exists() const { return fExists; }
  // What failed, in words ("write failed: No space left on device").
  const std::string& ErrorText() const { return fError; }

 private:
  bool Fail(const char* What);
  bool FailWith(const std::string& Why);
  bool Rename();

  int fFd = -1;
  int64_t fWritten = 0;
  bool fFailed = false;
  bool fMustBeNew = false;
  bool fExists = false;
  std::string fTarget, fTemp, fFolder, fError;
};

// Replaces the file at Path with Bytes in one TReplacingFile. False, and Error set, on failure.
bool ReplaceFileContents(const std::string& Path, const std::string& Bytes, std::string& Error,
                         mode_t NewFileMode = 0666);

// Creates Path with Bytes, never replacing a file: false with Error when the name is taken
// (Exists set) or the file cannot be written. The file is complete or absent under its name.
bool WriteNewFile(const std::string& Path, const std::string& Bytes, std::string& Error,
                  mode_t NewFileMode, bool& Exists);

// Why Path cannot be written as a file, in words ("it is a device, not a file"): it names a
// folder, a device, a named pipe or a socket (a symbolic link counts as what it points at).
// Empty for a regular file and for a name that does not exist. Every writer of the programs
// asks this before it opens or replaces anything: replacing a device node with a file (as root,
// /dev/null) or blocking on a named pipe is never what a user meant.
std::string NotAFile(const std::string& Path);

// Opens Path for appending, a regular file only (made with Mode less the umask when new; an
// existing one keeps its mode), for reading too with AlsoRead: the descriptor, or -1 with the
// reason in Why.
int OpenAppendFile(const std::string& Path, mode_t Mode, std::string& Why, bool AlsoRead = false);

// Opens Path for appending (the error log, the line trace); a file it creates is readable by
// its owner only, an existing one keeps its mode; anything but a regular file is refused. Null
// on failure.
FILE* OpenPrivateAppend(const std::string& Path);

// Reads the file at Path into Out, at most Limit bytes. Only a file: a named pipe without a
// writer would be waited on for ever. False with the reason in words ("no such file", "it is a
// folder, not a file"); TooLarge, when given, tells a file over Limit from the other failures.
bool ReadFileUpTo(const std::string& Path, size_t Limit, std::string& Out, std::string& Why,
                  bool* TooLarge = nullptr);

// The whole of a file's bytes; empty when it cannot be read (callers that must tell an empty
// file from a missing one ask the file system themselves).
std::string ReadWholeFile(const std::string& Path);

// The file's absolute name with links resolved, the one name under which kxta and the desktop
// program both know it (the upload journal compares names). A file that does not exist keeps
// its name, made absolute from the current folder.
std::string AbsoluteFilePath(const std::string& Path);

// Test seam: faults injected into every TReplacingFile of the process. Offsets count the bytes
// of the current file; a write that reaches FailWriteAt stores the bytes before it and then
// fails with ENOSPC, as a full disk does.
struct TFileFaults {
  int64_t FailWriteAt = -1;  // -1: writes succeed
  bool FailSync = false;     // fsync of the temporary file fails (EIO)
  bool FailRename = false;   // the rename over the target fails (EIO)
};
void SetFileFaults(const TFileFaults& Faults);
void ClearFileFaults();
