// The upload journal: every upload appends a run to one file in the state folder as it goes
// (which device, which PBX, which file, the backup once it is complete, each line written with
// its text before and after and how the write ended, how the run ended). Each entry is one
// line written with one write(): a line's entry of intent before it goes out, its outcome once
// the PBX answered (synced to the disk before the next command). A process killed or a disk
// filled at any moment leaves a journal whose whole entries are true; a cut entry is never
// read, also when a later run's entries follow it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CmdData.h"  // TWriteOutcome

struct TJournalBlock {
  std::string Head;    // "604E03"
  std::string Before;  // what the PBX held before, when the backup knew it
  std::string Sent;    // the line sent (or meant to be sent)
  std::string Answer;  // the PBX's line for Confirmed and Differs; empty otherwise
  // How the write ended. A line whose entry of intent has no outcome after it (the program
  // stopped while the line was out) reads as NoAnswer: sent, perhaps taken, not confirmed.
  // Journals of earlier versions tell only taken or not: not taken reads as NoAnswer.
  TWriteOutcome Outcome = TWriteOutcome::NoAnswer;
  bool Taken() const { return Outcome == TWriteOutcome::Confirmed; }
};

struct TJournalRun {
  std::string Time;     // local time the run began, "2026-12-09 21:40:05"
  std::string Device;   // the port or device
  std::string Version;  // the PBX's version text
  std::string Source;   // the data file uploaded (absolute), empty for a configuration in memory
  std::string Hash;     // of the data file's bytes
  std::string Mode;     // "all", "changed" or "resume"
  std::string Backup;   // the backup file made before the run, once complete; empty when none
  std::string Site;     // the site of the site book uploaded to; empty without one
  std::vector<TJournalBlock> Blocks;
  std::string End;      // "ok", "failed" or "aborted"; empty when the run never ended
  std::string EndTime;
};

// Keep the journal under this size: a run that would start on a larger file first moves it to
// "<name>.1" (replacing an older one).
constexpr int64_t kJournalRotateBytes = 10 * 1024 * 1024;

// Journals beyond this size are no journal of this program (it rotates at a tenth of it).
constexpr int64_t kJournalReadLimit = 4 * kJournalRotateBytes;

// The journal of this user: the state folder's "uploads.journal", or the file named by the
// environment variable KXTA_JOURNAL.
std::string JournalFile();

// The runs of a journal text. Only whole entries count: a last line without its line end (cut
// by a kill or a full disk) is ignored, and so is a line that a later writer had to close
// (it ends with "\r", which no entry holds), and any line that is not a whole entry.
std::vector<TJournalRun> ParseJournal(const std::string& Text);

enum class TJournalState {
  Read,     // the runs are read (none, for an empty file)
  Missing,  // neither the journal nor its rotated file exists: no upload was ever journaled
  Failed,   // a folder, a device, an unreadable or oversized file, or no journal at all
};
// The runs of the journal file (the rotated file first, then the current one); Why says what
// is wrong when the state is not Read.
TJournalState ReadJournal(const std::string& Path, std::vector<TJournalRun>& Runs,
                          std::string& Why);
// The runs, none when the journal is missing or cannot be read.
std::vector<TJournalRun> ReadJournal(const std::string& Path);
// A short text per run and, for Full, every line written: one summary line, the backup's line,
// then one line per line written. JournalRunText joins them with "\n".
// ChangedOnly leaves out the lines the upload changed nothing in (JournalBlockUnchanged) and
// says how many it left out.
std::vector<std::string> JournalRunLines(const TJournalRun& Run, bool Full,
                                         bool ChangedOnly = false);
std::string JournalRunText(const TJournalRun& Run, bool Full, bool ChangedOnly = false);
// The line went out, was confirmed, and the PBX had held it already as it was sent (in its own
// form, AnswerConfirms): a whole upload writes thousands of such lines.
bool JournalBlockUnchanged(const TJournalBlock& Block);
// "confirmed", "differs", "no-answer", "not-sent": the outcome's word in the journal.
const char* OutcomeWord(TWriteOutcome Outcome);

// FNV-1a 64 of Bytes, as 16 hex digits: tells whether a file changed since a run.
std::string BytesHash(const std::string& Bytes);

// Appends one run. Every entry is one write() of one whole line; all but the entry of intent
// are fsync()ed at once. An entry that cannot be written whole makes the writer Failed: the
// caller must then write nothing more to the PBX.
class TJournalWriter {
 public:
  TJournalWriter() = default;
  TJournalWriter(const TJournalWriter&) = delete;
  TJournalWriter& operator=(const TJournalWriter&) = delete;
  ~TJournalWriter();

  // Opens Path (rotating it when it is too large; only a regular file) and writes the run's
  // first entry; false with the reason (a full disk among them) when the journal cannot be
  // written.
  bool Begin(const std::string& Path, const TJournalRun& Run, std::string& Error);
  // The backup File is complete.
  bool Backup(const std::string& File);
  // The line is about to go out. Not synced: the outcome's sync covers it.
  bool Intent(const TJournalBlock& B);
  // How the write of the line ended.
  bool Outcome(const TJournalBlock& B);
  bool End(const std::string& Result);
  bool IsOpen() const { return fFd >= 0; }
  // An entry could not be written whole since Begin; Error() says why, naming the file.
  bool Failed() const { return !fError.empty(); }
  const std::string& Error() const { return fError; }

 private:
  bool Put(std::vector<std::string> Fields, bool Sync);
  int fFd = -1;
  std::string fPath;
  std::string fId;  // the run's id in its entries: process, start time and a count
  std::string fError;
};
