// The upload journal: every upload appends a run to one file in the state folder as it goes
// (which device, which PBX, which file, each line written with its text before and after and
// whether the PBX took it, how the run ended). Each entry is one line, synced to the disk
// before the next command, so that a process killed at any moment leaves a journal whose whole
// entries are true; a line cut by the kill is ignored by the reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TJournalBlock {
  std::string Head;       // "604E03"
  std::string Before;     // what the PBX held before, when the backup knew it
  std::string Sent;       // the line sent
  std::string Confirmed;  // the line the PBX answered with; empty when not confirmed
  bool Taken = false;
};

struct TJournalRun {
  std::string Time;     // local time the run began, "2026-12-09 21:40:05"
  std::string Device;   // the port or device
  std::string Version;  // the PBX's version text
  std::string Source;   // the data file uploaded (absolute), empty for a configuration in memory
  std::string Hash;     // of the data file's bytes
  std::string Mode;     // "all", "changed" or "resume"
  std::string Backup;   // the backup file made before the run, empty when none
  std::vector<TJournalBlock> Blocks;
  std::string End;      // "ok", "failed" or "aborted"; empty when the run never ended
  std::string EndTime;
};

// Keep the journal under this size: a run that would start on a larger file first moves it to
// "<name>.1" (replacing an older one).
constexpr int64_t kJournalRotateBytes = 10 * 1024 * 1024;

// The journal of this user: the state folder's "uploads.journal", or the file named by the
// environment variable KXTA_JOURNAL.
std::string JournalFile();

// The runs of a journal text; a last line without its line end (cut by a kill) is ignored, and
// so is any line that is not a whole entry.
std::vector<TJournalRun> ParseJournal(const std::string& Text);
// The runs of the journal file (the rotated file first, then the current one); none when the
// files are missing.
std::vector<TJournalRun> ReadJournal(const std::string& Path);
// A short text per run and, for Full, every line written: one summary line, the backup's line,
// then one line per line written. JournalRunText joins them with "\n".
std::vector<std::string> JournalRunLines(const TJournalRun& Run, bool Full);
std::string JournalRunText(const TJournalRun& Run, bool Full);

// FNV-1a 64 of Bytes, as 16 hex digits: tells whether a file changed since a run.
std::string BytesHash(const std::string& Bytes);

// Appends one run. Every entry is written with one write() and fsync()ed.
class TJournalWriter {
 public:
  TJournalWriter() = default;
  TJournalWriter(const TJournalWriter&) = delete;
  TJournalWriter& operator=(const TJournalWriter&) = delete;
  ~TJournalWriter();

  // Opens Path (rotating it when it is too large) and writes the run's first entry; false with
  // the reason (a full disk among them) when the journal cannot be written.
  bool Begin(const std::string& Path, const TJournalRun& Run, std::string& Error);
  // False when the entry could not be written; the run goes on, the journal is then short.
  bool Block(const TJournalBlock& B);
  bool End(const std::string& Result);
  bool IsOpen() const { return fFd >= 0; }

 private:
  bool Put(const std::string& Line, std::string* Error);
  int fFd = -1;
  std::string fId;  // the run's id in its entries: process and start time
};
