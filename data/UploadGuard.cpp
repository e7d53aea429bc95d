#include "UploadGuard.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "DataFile.h"
#include "Errors.h"  // Format
#include "Exchange.h"
#include "Paths.h"
#include "SafeFile.h"
#include "Session.h"
#include "SysData.h"
#include "Text.h"

namespace {

std::string HeadOfLine(const std::string& Text) { return ExtractWord(Text, "/", 1); }

// Every block of Store, writable, in data-file order.
std::vector<TCmdData*> Blocks(TSysData& Store) {
  std::vector<TCmdData*> out;
  ForEachFileBlock(Store, [&](const TCmdData& B) { out.push_back(const_cast<TCmdData*>(&B)); });
  return out;
}

// Whether a run of Direction writes B. The group routines decide in the end; this errs on the
// side of backing up a line too many, never one too few, except where the PBX has no such line.
bool Written(const TSysData& S, const TCmdData& B, TRunDirection Direction) {
  if (B.Data().empty()) return false;
  const std::string head = HeadOfLine(B.Data());
  if (head.rfind("123S", 0) == 0 && S.Version.Skip123S) return false;
  if (head.rfind("011S", 0) == 0 && !S.Version.ExtendedSpeedDial) return false;
  if (&B == &S.Extensions.Cmd009.PlanBlock) return B.Changed && B.IsActual();
  return Direction == TRunDirection::UploadAll || B.Changed;
}

// What the PBX holds in B is known from this connection: a backup takes it without asking.
bool PbxHoldingKnown(const TCmdData& B) {
  return B.PbxTextActual() && B.IsActual() && B.ReadTime != kLoadedFromFile;
}

long long FreeBytes(const std::string& Dir) {
  struct statvfs v{};
  if (::statvfs(Dir.c_str(), &v) != 0) return -1;
  return static_cast<long long>(v.f_bavail) * static_cast<long long>(v.f_frsize);
}

std::string Folder(const std::string& Path) {
  const size_t slash = Path.rfind('/');
  return slash == std::string::npos ? std::string(".") : Path.substr(0, slash + 1);
}

// The PBX as a file-name part: its version text's letters, digits and dashes.
std::string PbxTag(const std::string& Version) {
  std::string tag;
  for (char c : Version)
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-')
      tag += c;
    else if (!tag.empty() && tag.back() != '_')
      tag += '_';
  while (!tag.empty() && tag.back() == '_') tag.pop_back();
  return tag.empty() ? std::string("PBX") : tag;
}

// The parts of a backup name made by BackupName: "<kind>-<date>-<time>-<tag>[.<n>].ta", the
// kind "backup" (before an upload) or "read" (a whole read kept).
bool ParseBackupName(const std::string& Kind, const std::string& Name, std::string& Stamp,
                     std::string& Tag, int& Count) {
  const std::string head = Kind + "-", tail = ".ta";
  constexpr size_t kStamp = 15;  // "20261209-214005"
  if (Name.size() <= head.size() + kStamp + 1 + tail.size() || Name.rfind(head, 0) != 0 ||
      Name.compare(Name.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  Stamp = Name.substr(head.size(), kStamp);
  for (size_t i = 0; i < kStamp; ++i)
    if (i == 8 ? Stamp[i] != '-' : (Stamp[i] < '0' || Stamp[i] > '9')) return false;
  if (Name[head.size() + kStamp] != '-') return false;
  Tag = Name.substr(head.size() + kStamp + 1,
                    Name.size() - head.size() - kStamp - 1 - tail.size());
  Count = 1;
  // A tag holds no ".": what follows the last one is the count of a name taken twice.
  if (const size_t dot = Tag.rfind('.'); dot != std::string::npos) {
    const std::string n = Tag.substr(dot + 1);
    if (n.empty() || n.size() > 6 || n.find_first_not_of("0123456789") != std::string::npos)
      return false;
    Count = std::stoi(n);
    Tag.resize(dot);
  }
  return !Tag.empty();
}

// Removes the oldest backups of exactly this PBX beyond the number kept, never Made, the one
// this run has just made (a clock set back would make it the oldest). The tag is compared
// whole: the backups of a PBX whose tag merely ends the same way are another PBX's.
void PruneBackups(const std::string& Dir, const std::string& Kind, const std::string& Tag,
                  const std::string& Made) {
  DIR* d = ::opendir(Dir.c_str());
  if (!d) return;
  struct TBackup {
    std::string Stamp;
    int Count;
    std::string Name;
  };
  std::vector<TBackup> mine;
  while (dirent* e = ::readdir(d)) {
    std::string stamp, tag;
    int count = 0;
    if (ParseBackupName(Kind, e->d_name, stamp, tag, count) && tag == Tag &&
        Dir + e->d_name != Made)
      mine.push_back({stamp, count, e->d_name});
  }
  ::closedir(d);
  std::sort(mine.begin(), mine.end(), [](const TBackup& A, const TBackup& B) {
    return A.Stamp != B.Stamp ? A.Stamp < B.Stamp : A.Count < B.Count;
  });
  for (size_t i = 0; i + kBackupsKept < mine.size() + 1; ++i)
    std::remove((Dir + mine[i].Name).c_str());
}

// The Count-th name for a backup of the PBX made now; the first has no count.
std::string BackupName(const std::string& Kind, const std::string& Version, int Count) {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  return Format("%s-%s-%s%s.ta", Kind.c_str(), stamp, PbxTag(Version).c_str(),
                Count > 1 ? Format(".%d", Count).c_str() : "");
}

// A new dated file of Kind in Dir, never in another file's place: not an older backup of
// another PBX made in the same second. It holds the system password: the owner's alone.
bool WriteDatedFile(const std::string& Dir, const std::string& Kind, const std::string& Version,
                    const std::string& Bytes, std::string& File, std::string& Error) {
  std::string why;
  bool exists = false;
  for (int count = 1; count <= 100; ++count) {
    File = Dir + BackupName(Kind, Version, count);
    if (WriteNewFile(File, Bytes, why, 0600, exists)) return true;
    if (!exists) {
      Error = "The " + Kind + " " + File + " could not be written (" + why + ")";
      return false;
    }
  }
  Error = "No free name for the " + Kind + " in " + Dir;
  return false;
}

// Dir and its missing parents, the owner's alone (backups hold the system password).
void MakeFolders(const std::string& Dir) {
  for (size_t at = Dir.find('/', 1); at != std::string::npos; at = Dir.find('/', at + 1))
    ::mkdir(Dir.substr(0, at).c_str(), 0700);
  ::mkdir(Dir.c_str(), 0700);
}

}  // namespace

std::string NoRoomText(long long FreeBytes, const std::string& Folder) {
  return Format("Only %lld kB are free in the folder\r%s\rThe backup and the upload journal "
                "need at least %lld kB. Nothing was uploaded; make room on the disk first.",
                FreeBytes / 1024, Folder.c_str(), kMinFreeBytes / 1024);
}

std::string BackupsDir() { return AppPaths().DataDir + "backups/"; }

namespace {
std::string gSiteInUse, gSiteBackupsDir;
}  // namespace

void SetSiteInUse(const std::string& Site, const std::string& BackupsDir) {
  gSiteInUse = Site;
  gSiteBackupsDir = BackupsDir;
}

TUploadPreview PreviewUpload(const TSysData& Store, TRunDirection Direction) {
  TUploadPreview p;
  ForEachFileBlock(Store, [&](const TCmdData& B) {
    if (Written(Store, B, Direction)) {
      ++p.Lines;
      p.Chars += static_cast<long long>(B.Data().size());
    }
    if (&B == &Store.Extensions.Cmd009.PlanBlock || !Written(Store, B, TRunDirection::UploadAll))
      return;
    if (!PbxHoldingKnown(B)) {
      ++p.Unknown;
    } else if (!AnswerConfirms(B.Data(), B.PbxText)) {
      ++p.Differing;
      p.DifferingChars += static_cast<long long>(B.Data().size());
    }
  });
  return p;
}

double UploadSeconds(int Lines, long long Chars, const TComSettings& Com) {
  static const int kRates[] = {1200, 2400, 4800, 9600};
  const int rate = kRates[Com.Speed >= 0 && Com.Speed <= 3 ? Com.Speed : 3];
  // Start bit, data bits, a parity bit unless none, stop bits.
  const int bits = 1 + (Com.WordLen == 0 ? 7 : 8) + (Com.Parity == 0 ? 0 : 1) +
                   (Com.StopBits == 1 ? 2 : 1);
  // Sent: the line and CR. Back: the echo and CR LF, ";=>" and the line and CR LF, ";E>".
  const long long chars = Chars + Lines + (2 * Chars + 10ll * Lines);
  return static_cast<double>(chars) * bits / rate;
}

TUploadGuard::TUploadGuard(TSysData& Store) : fStore(Store) {}

TUploadGuard::~TUploadGuard() {
  SetBlockWriteGate(nullptr);
  SetBlockWriteObserver(nullptr);
  // A run that ended by an exception (the user's abort among them) is not an Ok one.
  if (fJournal.IsOpen() && !fEnded) fJournal.End("aborted");
}

bool TUploadGuard::MakeBackup(TRunDirection Direction, std::string& Bytes, std::string& Error) {
  // What the PBX holds, line by line: known from this connection, else asked.
  std::vector<TCmdData*> unknown;
  int written = 0;
  for (TCmdData* b : Blocks(fStore)) {
    if (!Written(fStore, *b, Direction)) continue;
    ++written;
    const std::string head = HeadOfLine(b->Data());
    if (PbxHoldingKnown(*b))
      fBefore[head] = b->PbxText;
    else
      unknown.push_back(b);
  }
  if (written == 0) return true;  // nothing will be written: nothing to keep
  TSysData backup;
  std::vector<std::string> heads;
  for (const TCmdData* b : unknown) heads.push_back(HeadOfLine(b->Data()));
  std::string why;
  if (!ReadHeldLines(fStore, heads, fBefore, why, &fBackupCommands, &backup, fBackupEvents)) {
    Error = "The backup before the upload could not read what the PBX holds: " + why +
            " Nothing was uploaded.";
    return false;
  }
  if (static_cast<int>(heads.size()) <= kBackupQueriesMax) {
    // The backup holds the lines about to be written, as the PBX has them, and nothing else.
    backup.Settings = fStore.Settings;
    backup.Version = fStore.Version;
    backup.LoadFromBytes(DataFileImage(fStore, false), "backup");
    for (TCmdData* b : Blocks(backup)) {
      if (b->Data().empty()) continue;
      const auto it = fBefore.find(HeadOfLine(b->Data()));
      if (it == fBefore.end())
        b->Clear();
      else
        b->SetData(it->second);
    }
  }
  Bytes = DataFileImage(backup, fStore.Settings.PackedFile);
  return true;
}

int TUploadGuard::LeaveAloneWhatThePbxHolds() {
  // What the backup read (or knew from this connection) is what the PBX holds now; a line it
  // holds as the file has it, in the PBX's own form, needs no write.
  int left = 0;
  for (TCmdData* b : Blocks(fStore)) {
    if (!b->Pending()) continue;
    const auto it = fBefore.find(HeadOfLine(b->Data()));
    if (it == fBefore.end() || !AnswerConfirms(b->Data(), it->second)) continue;
    b->Changed = false;
    ++left;
  }
  return left;
}

bool TUploadGuard::WriteBackup(const std::string& Named, const std::string& Version,
                               const std::string& Bytes, std::string& Error) {
  // A backup never takes another file's place: not an older backup of another PBX made in the
  // same second, not the file being uploaded. It holds the system password: the owner's alone.
  std::string why;
  bool exists = false;
  if (!Named.empty()) {
    if (WriteNewFile(Named, Bytes, why, 0600, exists)) {
      fBackupFile = Named;
      return true;
    }
    Error = exists ? "The backup file " + Named +
                         " exists: a backup never replaces a file. Nothing was uploaded; give "
                         "a new name."
                   : "The backup " + Named + " could not be written (" + why +
                         "); nothing was uploaded.";
    return false;
  }
  MakeFolders(fBackupsDir);
  if (WriteDatedFile(fBackupsDir, "backup", Version, Bytes, fBackupFile, Error)) return true;
  fBackupFile.clear();
  Error += "; nothing was uploaded.";
  return false;
}

bool KeepRead(const std::string& Dir, const std::string& Version, const std::string& Bytes,
              std::string& File, std::string& Error) {
  MakeFolders(Dir);
  if (!WriteDatedFile(Dir, "read", Version, Bytes, File, Error)) return false;
  PruneBackups(Dir, "read", PbxTag(Version), File);
  return true;
}

std::string LatestRead(const std::string& Dir) {
  DIR* d = ::opendir(Dir.c_str());
  if (!d) return std::string();
  std::string best, bestStamp;
  int bestCount = 0;
  while (dirent* e = ::readdir(d)) {
    std::string stamp, tag;
    int count = 0;
    if (!ParseBackupName("read", e->d_name, stamp, tag, count)) continue;
    if (best.empty() || stamp > bestStamp || (stamp == bestStamp && count > bestCount))
      best = e->d_name, bestStamp = stamp, bestCount = count;
  }
  ::closedir(d);
  return best.empty() ? best : Dir + best;
}

bool TUploadGuard::Begin(TRunDirection Direction, const TUploadGuardOptions& Options,
                         std::string& Error) {
  const std::string journal = Options.JournalPath.empty() ? JournalFile() : Options.JournalPath;
  EnsureAppDirs();
  const std::string version = PbxComm().PbxVersion();
  const bool siteInUse = Options.Site.empty() && !gSiteInUse.empty();
  const std::string site = siteInUse ? gSiteInUse : Options.Site;
  fBackupsDir = !Options.BackupsDir.empty() ? Options.BackupsDir
                : siteInUse                 ? gSiteBackupsDir
                                            : BackupsDir();
  const std::string backupDir = !Options.Backup               ? std::string()
                                : Options.BackupFile.empty() ? fBackupsDir
                                                             : Folder(Options.BackupFile);
  // No room: refused before anything is sent, since a backup or a journal that cannot be
  // written would leave the upload without its way back.
  for (const std::string& dir : {Folder(journal), backupDir}) {
    if (dir.empty()) continue;
    const long long free = FreeBytes(dir);
    if (free >= 0 && free < kMinFreeBytes) {
      Error = NoRoomText(free, dir);
      return false;
    }
  }
  TJournalRun run;
  run.Device = Options.Device;
  run.Version = version;
  run.Source = Options.Source;
  run.Hash = Options.SourceHash;
  run.Mode = Options.Mode;
  run.Site = site;
  if (!fJournal.Begin(journal, run, Error)) {
    Error += ". Nothing was uploaded.";
    return false;
  }
  const auto refuse = [this](std::string& Why, const std::string& Text) {
    Why = Text;
    fJournal.End("failed");
    fEnded = true;
    return false;
  };
  if (Options.Differing) {
    // Every line is a candidate, a pending change or not: the PBX may differ from what was read.
    // The plan line stays as it is: sending it would reset the numbers.
    for (TCmdData* b : Blocks(fStore))
      if (!b->Data().empty() && b != &fStore.Extensions.Cmd009.PlanBlock) b->Changed = true;
  }
  fBackupAtWrite = Options.BackupAtWrite && Options.Backup;
  fVersion = version;
  if (!Options.BackupAtWrite && (Options.Backup || Options.Differing)) {
    std::string bytes;
    fBackupEvents = Options.BackupEvents;
    if (!MakeBackup(Direction, bytes, Error)) return refuse(Error, Error);
    if (Options.Differing) fLeftAlone = LeaveAloneWhatThePbxHolds();
    if (Options.Backup && !bytes.empty()) {
      if (!WriteBackup(Options.BackupFile, version, bytes, Error)) return refuse(Error, Error);
      // Named in the journal only now that it is complete.
      if (!fJournal.Backup(fBackupFile))
        return refuse(Error, fJournal.Error() + ". Nothing was uploaded.");
      if (Options.BackupFile.empty())
        PruneBackups(fBackupsDir, "backup", PbxTag(version), fBackupFile);
    }
  }
  // Nothing goes out that the journal does not hold: the entry of intent comes first, and once
  // an entry could not be written no further line is sent.
  SetBlockWriteGate([this](const TCmdData& Block) {
    if (fJournal.Failed()) return false;
    const std::string& line = Block.Data();
    const std::string head = HeadOfLine(line);
    if (fBackupAtWrite && !KnowBefore(Block)) return false;
    const auto it = fBefore.find(head);
    return fJournal.Intent(
        {head, it == fBefore.end() ? std::string() : it->second, line, std::string(),
         TWriteOutcome::NoAnswer});
  });
  SetBlockWriteObserver([this](const TBlockWrite& W) {
    if (fJournal.Failed()) return;  // the gate kept it off the line, or the journal is lost
    const std::string head = HeadOfLine(W.Sent);
    const auto it = fBefore.find(head);
    fJournal.Outcome({head, it == fBefore.end() ? std::string() : it->second, W.Sent, W.Answer,
                      W.Outcome});
  });
  return true;
}

bool TUploadGuard::KnowBefore(const TCmdData& Block) {
  const std::string head = HeadOfLine(Block.Data());
  if (fBefore.count(head)) return true;
  // The plan line is a command, not a setting the PBX can be asked for: no backup holds it.
  if (&Block == &fStore.Extensions.Cmd009.PlanBlock) return true;
  if (Block.PbxTextActual()) {
    fBefore[head] = Block.PbxText;
    return true;
  }
  // Not known in this connection: asked now, so that the way back holds this line too.
  TCmdData probe;
  ++fBackupCommands;
  if (!probe.ReadPBX(head + "//")) {
    ShowError("Error in cmd: \r" + Block.Data() + "\rWhat the PBX holds in " + head +
              " could not be read for the backup, so the line was not sent.");
    return false;
  }
  fBefore[head] = probe.Data();
  return true;
}

void TUploadGuard::WriteBackupOfWritten() {
  // Just the lines the run wrote, as the PBX held them before.
  TSysData backup;
  backup.Settings = fStore.Settings;
  backup.Version = fStore.Version;
  backup.LoadFromBytes(DataFileImage(fStore, false), "backup");
  bool any = false;
  for (TCmdData* b : Blocks(backup)) {
    if (b->Data().empty()) continue;
    const auto it = fBefore.find(HeadOfLine(b->Data()));
    if (it == fBefore.end()) {
      b->Clear();
    } else {
      b->SetData(it->second);
      any = true;
    }
  }
  if (!any) return;
  std::string error;
  if (!WriteBackup(std::string(), fVersion, DataFileImage(backup, fStore.Settings.PackedFile),
                   error)) {
    // The journal holds every line's text before: the way back is there, only not as a file.
    fJournalError = "The backup of the lines written could not be saved in " + fBackupsDir +
                    ".\rThe upload journal holds what the PBX held before each line.";
    return;
  }
  if (fJournal.Backup(fBackupFile))
    PruneBackups(fBackupsDir, "backup", PbxTag(fVersion), fBackupFile);
}

void TUploadGuard::End(const TRunResult& Run) {
  SetBlockWriteGate(nullptr);
  SetBlockWriteObserver(nullptr);
  if (!fJournal.IsOpen()) return;
  if (fBackupAtWrite && !fJournal.Failed()) WriteBackupOfWritten();
  const bool lost = fJournal.Failed();
  // Where the disk still takes it: a run whose journal is incomplete did not end Ok.
  fJournal.End(Run.Aborted ? "aborted" : Run.Ok && !lost ? "ok" : "failed");
  fEnded = true;
  if (lost)
    fJournalError = fJournal.Error() +
                    ".\rThe upload stopped before its next line: what the journal does not hold "
                    "was not sent, and those lines are still to be uploaded. Make room on the "
                    "disk and upload again (--resume sends only what the PBX has not confirmed).";
}

bool HasUnfinishedUpload(const std::vector<TJournalRun>& Journal, const std::string& Source) {
  for (auto r = Journal.rbegin(); r != Journal.rend(); ++r)
    if (r->Source == Source) return r->End != "ok";
  return false;
}

bool ReadHeldLines(const TSysData& Like, const std::vector<std::string>& Heads,
                   std::map<std::string, std::string>& Held, std::string& Error, int* Commands,
                   TSysData* Whole, const TRunEvents& Events) {
  if (static_cast<int>(Heads.size()) > kBackupQueriesMax) {
    // The whole configuration: the group reads ask for whole programs at once.
    TSysData own;
    TSysData& pbx = Whole ? *Whole : own;
    pbx.Settings = Like.Settings;
    pbx.Version = Like.Version;
    const TRunResult r = RunGroups(pbx, TRunDirection::Read, Events);
    if (Commands) *Commands += r.StepsRun;
    if (r.Aborted) throw EAbortOperation();
    if (!r.Ok) {
      Error = "not every program could be read.";
      return false;
    }
    ForEachFileBlock(pbx, [&](const TCmdData& B) {
      if (!B.Data().empty()) Held.emplace(HeadOfLine(B.Data()), B.Data());
    });
    return true;
  }
  TProgressScope progress(!Heads.empty(), "Read", 3 * static_cast<int>(Heads.size()));
  for (const std::string& head : Heads) {
    TCmdData probe;
    if (Commands) ++*Commands;
    if (!probe.ReadPBX(head + "//")) {
      Error = head + " could not be read.";
      return false;
    }
    Held.emplace(head, probe.Data());
  }
  return true;
}

namespace {

// What a journaled write left on the PBX: the line it confirmed, or the other line the PBX
// answered with. False when the write tells nothing of what the PBX holds (never sent, or sent
// without an answer that could be taken).
bool LeftOnPbx(const TJournalBlock& B, std::string& Text) {
  if (B.Outcome == TWriteOutcome::Differs) {
    Text = B.Answer;
    return true;
  }
  if (!B.Taken()) return false;
  Text = B.Answer.empty() ? B.Sent : B.Answer;
  return true;
}

constexpr size_t kListedLines = 6;

}  // namespace

bool PrepareResume(TSysData& Store, const std::vector<TJournalRun>& Journal,
                   const std::string& Source, const std::string& Hash, const std::string& Device,
                   const std::string& Version, std::string& Error, int& Confirmed) {
  Confirmed = 0;
  const std::string afresh =
      " Upload the file afresh instead: an upload without resume sends every line of it.";
  // The runs of this file since the last one that ended Ok, newest first.
  std::vector<const TJournalRun*> runs;
  for (auto r = Journal.rbegin(); r != Journal.rend(); ++r) {
    if (r->Source != Source) continue;
    if (r->End == "ok") break;
    runs.push_back(&*r);
  }
  if (runs.empty()) {
    Error = "No unfinished upload of " + Source + " in the upload journal: nothing to resume.";
    return false;
  }
  for (const TJournalRun* r : runs) {
    if (r->Hash != Hash) {
      Error = "The file " + Source + " changed since its unfinished upload of " + r->Time +
              ": resume would send another configuration. Upload it again instead.";
      return false;
    }
    if (r->Version != Version) {
      Error = "The unfinished upload of " + r->Time + " went to a PBX reporting \"" + r->Version +
              "\", this one reports \"" + Version + "\": resume refused." + afresh;
      return false;
    }
    if (r->Device != Device) {
      Error = "The unfinished upload of " + r->Time + " went through " + r->Device +
              ", this connection is " + Device + ": resume refused, it may be another PBX." +
              afresh;
      return false;
    }
  }
  // What the runs left on the PBX, the newest write of a line last.
  std::map<std::string, std::string> left;   // head -> the line the PBX held after the write
  std::map<std::string, std::string> taken;  // head -> the line sent and confirmed
  for (auto r = runs.rbegin(); r != runs.rend(); ++r)
    for (const TJournalBlock& b : (*r)->Blocks) {
      std::string text;
      if (LeftOnPbx(b, text))
        left[b.Head] = text;
      else if (b.Outcome != TWriteOutcome::NotSent)
        left.erase(b.Head);  // the PBX may hold the line before or the one sent
      if (b.Taken())
        taken[b.Head] = b.Sent;
      else if (b.Outcome != TWriteOutcome::NotSent)
        taken.erase(b.Head);
    }
  // A PBX that is another one, or one changed since by someone else, holds other lines there;
  // marking them done on its word would leave them different from the file.
  std::vector<std::string> heads;
  for (const auto& [head, text] : left) heads.push_back(head);
  std::map<std::string, std::string> held;
  std::string why;
  if (!ReadHeldLines(Store, heads, held, why)) {
    Error = "Resume refused: what the unfinished upload left on the PBX could not be read back: " +
            why + afresh;
    return false;
  }
  std::vector<std::string> differing;
  for (const auto& [head, text] : left) {
    const auto it = held.find(head);
    if (it != held.end() && AnswerConfirms(text, it->second)) continue;
    differing.push_back(head + " (left '" + EscapeUnprintable(text) + "', now '" +
                        (it == held.end() ? std::string("nothing") : EscapeUnprintable(it->second)) +
                        "')");
  }
  if (!differing.empty()) {
    Error = Format("Resume refused: %zu line%s that the unfinished upload of %s left on the PBX",
                   differing.size(), differing.size() == 1 ? "" : "s", runs.back()->Time.c_str());
    Error += "\rhold something else now: this is another PBX, or it was changed since.";
    for (size_t i = 0; i < differing.size() && i < kListedLines; ++i) Error += "\r  " + differing[i];
    if (differing.size() > kListedLines)
      Error += Format("\r  ... and %zu more", differing.size() - kListedLines);
    Error += "\r" + afresh.substr(1);
    return false;
  }
  for (TCmdData* b : Blocks(Store)) {
    if (b->Data().empty()) continue;
    const auto it = taken.find(HeadOfLine(b->Data()));
    if (it != taken.end() && it->second == b->Data()) {
      b->Changed = false;
      ++Confirmed;
    }
  }
  return true;
}
