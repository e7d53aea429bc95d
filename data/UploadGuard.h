// What makes an upload reversible and accountable: before the first write, room on the disk,
// a backup of what the PBX holds in the lines about to be written, and the journal's entry for
// the run; during it, one journal entry per line written; afterwards, the run's end. And the
// resume of an upload that never ended: exactly the lines of the file the PBX has not
// confirmed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Groups.h"
#include "Journal.h"
#include "Settings.h"

class TSysData;

// Refuse an upload when the backups' or the journal's disk has less room than this.
constexpr long long kMinFreeBytes = 4ll * 1024 * 1024;
// Backups kept per PBX (by version text) in the backups folder; older ones are removed.
constexpr int kBackupsKept = 50;
// Above this many lines whose PBX text is not known, the backup reads the whole configuration
// with the group reads (whole lists at once) instead of one query per line.
constexpr int kBackupQueriesMax = 300;

struct TUploadGuardOptions {
  bool Backup = true;
  std::string BackupFile;  // empty: a new name in the backups folder; never an existing file
  std::string Source;      // the data file uploaded; empty for the configuration in memory
  std::string SourceHash;  // BytesHash of its bytes
  std::string Device;
  std::string Mode = "changed";  // "all", "changed", "differing", "resume"
  // Leave alone every line the PBX holds already: what it holds is read as for the backup
  // (also without one), and only the lines that differ stay to be written.
  bool Differing = false;
  // No backup read before the first write: each line's text before is taken as it goes out,
  // from what the PBX was known to hold in this connection (read when it was not known), and the
  // backup, of just those lines, is written at the end. For the uploads of the programming
  // dialogs, which read their programs as they open.
  bool BackupAtWrite = false;
  std::string JournalPath;       // empty: JournalFile()
  // Empty: the site in use (SetSiteInUse); a site's backups go to its own folder.
  std::string Site;              // the site uploaded to, for the journal
  std::string BackupsDir;        // empty: the site's, else BackupsDir()
  // Told of each program the backup reads, as a read run tells its steps.
  TRunEvents BackupEvents;
};

// The site the program works with, for the uploads that do not name one (the programming
// dialogs'): its name and backups folder; empty: none.
void SetSiteInUse(const std::string& Site, const std::string& BackupsDir);

// The backups folder: "backups/" in the data folder.
std::string BackupsDir();

// A whole read of a PBX kept in Dir (a site's backups): a new file "read-<date>-<time>-<PBX>.ta"
// (0600), the oldest reads beyond kBackupsKept removed. False with the reason.
bool KeepRead(const std::string& Dir, const std::string& Version, const std::string& Bytes,
              std::string& File, std::string& Error);
// The newest read KeepRead left in Dir; empty when there is none.
std::string LatestRead(const std::string& Dir);

// The refusal of an upload for too little room in Folder, in lines of its own: the folder may
// have a long name.
std::string NoRoomText(long long FreeBytes, const std::string& Folder);

class TUploadGuard {
 public:
  explicit TUploadGuard(TSysData& Store);
  ~TUploadGuard();
  TUploadGuard(const TUploadGuard&) = delete;
  TUploadGuard& operator=(const TUploadGuard&) = delete;

  // Everything before the first write. False with the reason when the upload must not start
  // (no room, the journal or the backup cannot be written, the backup's read failed); the
  // user's abort passes through.
  bool Begin(TRunDirection Direction, const TUploadGuardOptions& Options, std::string& Error);
  // The run's end in the journal.
  void End(const TRunResult& Run);
  // After End: why the upload stopped early because the journal could not be written (every
  // line after the failed entry was kept off the line); empty when the journal held.
  const std::string& JournalError() const { return fJournalError; }

  // The backup made (complete, and named in the journal); empty when none.
  const std::string& BackupFile() const { return fBackupFile; }
  // Lines of the upload that Differing left alone, because the PBX held them already.
  int LeftAlone() const { return fLeftAlone; }
  // Commands the backup sent (0 when every line's PBX text was known).
  int BackupCommands() const { return fBackupCommands; }

 private:
  // What the PBX holds in the lines the run writes, as a data file; empty when none is written.
  int LeaveAloneWhatThePbxHolds();
  bool KnowBefore(const TCmdData& Block);
  void WriteBackupOfWritten();
  bool MakeBackup(TRunDirection Direction, std::string& Bytes, std::string& Error);
  // Named: the file the user chose; else a new name in the backups folder.
  bool WriteBackup(const std::string& Named, const std::string& Version, const std::string& Bytes,
                   std::string& Error);

  TSysData& fStore;
  TJournalWriter fJournal;
  std::map<std::string, std::string> fBefore;  // head -> what the PBX held
  std::string fBackupFile;
  std::string fBackupsDir;
  std::string fJournalError;
  int fBackupCommands = 0;
  TRunEvents fBackupEvents;
  int fLeftAlone = 0;
  bool fBackupAtWrite = false;
  std::string fVersion;
  bool fEnded = false;
};

// What an upload would write, known before it starts: for the question that asks for it.
struct TUploadPreview {
  int Lines = 0;            // the lines a run of the direction writes
  long long Chars = 0;      // their texts' lengths, summed
  int Unknown = 0;          // lines a differing upload would weigh whose PBX text is not known
  int Differing = 0;        // those whose PBX text is known and is another than the line's
  long long DifferingChars = 0;
};
// Counted as the guard counts: the lines Written says a run writes, the PBX's text known where
// a backup would trust it (read in this connection), a line "differing" where AnswerConfirms
// does not take the PBX's text for it, the plan line never a candidate of a differing upload.
TUploadPreview PreviewUpload(const TSysData& Store, TRunDirection Direction);

// About how many seconds Lines lines of Chars characters in all keep the line busy at the bit
// rate and framing of Com: each goes out with its carriage return, comes back as the echo and
// as the PBX's answer line, then the prompt (the figures the benchmark measures).
double UploadSeconds(int Lines, long long Chars, const TComSettings& Com);

// What the PBX holds now in the lines of Heads, added to Held (a head Held knows already keeps
// its text), read through the program's session: one query per line, or the whole
// configuration with the group reads when there are more than kBackupQueriesMax (Like gives
// the capabilities; Whole, when given, receives that configuration). Commands counts the
// commands sent; Events hear of the whole read's steps. False with the reason when a read
// failed; the user's abort passes through.
bool ReadHeldLines(const TSysData& Like, const std::vector<std::string>& Heads,
                   std::map<std::string, std::string>& Held, std::string& Error,
                   int* Commands = nullptr, TSysData* Whole = nullptr,
                   const TRunEvents& Events = {});

// For a resume of Source: the runs of the journal since its last full upload of these bytes
// (same hash) through this device to this PBX (same version text) that did not end Ok. Before
// anything is trusted, every line those runs left on the PBX (confirmed, or answered with
// another line) is read from the connected PBX and must still hold what the run left there:
// another PBX, or someone's changes since, refuse the resume, naming the lines. Then every line
// of Store they confirmed is marked unchanged, so that an upload of changes sends exactly the
// rest. False with the reason when there is nothing to resume, the file, the device or the PBX
// is another, or the PBX was changed since; the user's abort passes through.
bool PrepareResume(TSysData& Store, const std::vector<TJournalRun>& Journal,
                   const std::string& Source, const std::string& Hash, const std::string& Device,
                   const std::string& Version, std::string& Error, int& Confirmed);

// The last run of the journal for Source did not end Ok (the desktop program asks about it).
bool HasUnfinishedUpload(const std::vector<TJournalRun>& Journal, const std::string& Source);
