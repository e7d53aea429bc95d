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

// Removes the oldest backups of the PBX beyond the number kept (names sort by their time).
void PruneBackups(const std::string& Dir, const std::string& Tag) {
  DIR* d = ::opendir(Dir.c_str());
  if (!d) return;
  std::vector<std::string> mine;
  const std::string suffix = "-" + Tag + ".ta";
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n.rfind("backup-", 0) == 0 && n.size() > suffix.size() &&
        n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
      mine.push_back(n);
  }
  ::closedir(d);
  std::sort(mine.begin(), mine.end());
  for (size_t i = 0; i + kBackupsKept < mine.size(); ++i) std::remove((Dir + mine[i]).c_str());
}

std::string BackupName(const std::string& Version) {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  return Format("backup-%s-%s.ta", stamp, PbxTag(Version).c_str());
}

}  // namespace

std::string BackupsDir() { return AppPaths().DataDir + "backups/"; }

TUploadGuard::TUploadGuard(TSysData& Store) : fStore(Store) {}

TUploadGuard::~TUploadGuard() {
  SetBlockWriteObserver(nullptr);
  // A run that ended by an exception (the user's abort among them) is not an Ok one.
  if (fJournal.IsOpen() && !fEnded) fJournal.End("aborted");
}

bool TUploadGuard::MakeBackup(TRunDirection Direction, const std::string& File,
                              std::string& Error) {
  // What the PBX holds, line by line: known from this connection, else asked.
  std::vector<TCmdData*> unknown;
  int written = 0;
  for (TCmdData* b : Blocks(fStore)) {
    if (!Written(fStore, *b, Direction)) continue;
    ++written;
    const std::string head = HeadOfLine(b->Data());
    if (b->PbxTextActual() && b->IsActual() && b->ReadTime != kLoadedFromFile)
      fBefore[head] = b->PbxText;
    else
      unknown.push_back(b);
  }
  if (written == 0) return true;  // nothing will be written: nothing to keep
  TSysData backup;
  backup.Settings = fStore.Settings;
  backup.Version = fStore.Version;
  if (static_cast<int>(unknown.size()) > kBackupQueriesMax) {
    // The whole configuration: the group reads ask for whole programs at once.
    const TRunResult r = RunGroups(backup, TRunDirection::Read);
    fBackupCommands = r.StepsRun;
    if (r.Aborted) throw EAbortOperation();
    if (!r.Ok) {
      Error = "The backup before the upload could not read every program from the PBX; "
              "nothing was uploaded.";
      return false;
    }
    ForEachFileBlock(backup, [&](const TCmdData& B) {
      if (!B.Data().empty()) fBefore.emplace(HeadOfLine(B.Data()), B.Data());
    });
  } else {
    TProgressScope progress(!unknown.empty(), "Read", 3 * static_cast<int>(unknown.size()));
    for (TCmdData* b : unknown) {
      const std::string head = HeadOfLine(b->Data());
      TCmdData probe;
      ++fBackupCommands;
      if (!probe.ReadPBX(head + "//")) {
        Error = "The backup before the upload could not read " + head +
                " from the PBX; nothing was uploaded.";
        return false;
      }
      fBefore[head] = probe.Data();
    }
    // The backup holds the lines about to be written, as the PBX has them, and nothing else.
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
  const std::string bytes = DataFileImage(backup, fStore.Settings.PackedFile);
  if (!ReplaceFileContents(File, bytes, Error)) {
    Error = "The backup " + File + " could not be written (" + Error + "); nothing was uploaded.";
    return false;
  }
  return true;
}

bool TUploadGuard::Begin(TRunDirection Direction, const TUploadGuardOptions& Options,
                         std::string& Error) {
  const std::string journal = Options.JournalPath.empty() ? JournalFile() : Options.JournalPath;
  EnsureAppDirs();
  std::string backup;
  if (Options.Backup) {
    backup = Options.BackupFile;
    if (backup.empty()) {
      ::mkdir(BackupsDir().c_str(), 0700);
      backup = BackupsDir() + BackupName(PbxComm().PbxVersion());
    }
  }
  // No room: refused before anything is sent, since a backup or a journal that cannot be
  // written would leave the upload without its way back.
  for (const std::string& dir : {Folder(journal), backup.empty() ? std::string() : Folder(backup)}) {
    if (dir.empty()) continue;
    const long long free = FreeBytes(dir);
    if (free >= 0 && free < kMinFreeBytes) {
      Error = Format("Only %lld kB are free in %s: the backup and the upload journal need at "
                     "least %lld kB. Nothing was uploaded; make room on the disk first.",
                     free / 1024, dir.c_str(), kMinFreeBytes / 1024);
      return false;
    }
  }
  TJournalRun run;
  run.Device = Options.Device;
  run.Version = PbxComm().PbxVersion();
  run.Source = Options.Source;
  run.Hash = Options.SourceHash;
  run.Mode = Options.Mode;
  run.Backup = backup;
  if (!fJournal.Begin(journal, run, Error)) {
    Error += ". Nothing was uploaded.";
    return false;
  }
  if (!backup.empty()) {
    if (!MakeBackup(Direction, backup, Error)) {
      fJournal.End("failed");
      fEnded = true;
      return false;
    }
    PruneBackups(Folder(backup), PbxTag(run.Version));
    fBackupFile = backup;
  }
  SetBlockWriteObserver([this](const TBlockWrite& W) {
    const std::string head = HeadOfLine(W.Sent);
    const auto it = fBefore.find(head);
    fJournal.Block({head, it == fBefore.end() ? std::string() : it->second, W.Sent,
                    W.Taken() ? W.Answer : std::string(), W.Taken()});
  });
  return true;
}

void TUploadGuard::End(const TRunResult& Run) {
  SetBlockWriteObserver(nullptr);
  if (!fJournal.IsOpen()) return;
  fJournal.End(Run.Aborted ? "aborted" : Run.Ok ? "ok" : "failed");
  fEnded = true;
}

bool HasUnfinishedUpload(const std::vector<TJournalRun>& Journal, const std::string& Source) {
  for (auto r = Journal.rbegin(); r != Journal.rend(); ++r)
    if (r->Source == Source) return r->End != "ok";
  return false;
}

bool PrepareResume(TSysData& Store, const std::vector<TJournalRun>& Journal,
                   const std::string& Source, const std::string& Hash,
                   const std::string& Version, std::string& Error, int& Confirmed) {
  Confirmed = 0;
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
              "\", this one reports \"" + Version + "\": resume refused.";
      return false;
    }
  }
  std::map<std::string, std::string> taken;  // head -> text the PBX confirmed
  for (auto r = runs.rbegin(); r != runs.rend(); ++r)
    for (const TJournalBlock& b : (*r)->Blocks)
      if (b.Taken) taken[b.Head] = b.Sent;
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
