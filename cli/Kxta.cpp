// kxta: the eighteen-step read and upload run, the dump, and the data-file commands, on the
// same core as the desktop program. Messages go to standard error, the output of export, diff
// and check to standard output.
#include "Kxta.h"

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include "CommDevice.h"
#include "Check.h"
#include "CommKXTA.h"
#include "ConnectText.h"
#include "DataFile.h"
#include "Factory.h"
#include "DemoLine.h"
#include "Errors.h"
#include "FileBlocks.h"
#include "Groups.h"
#include "Interrupt.h"
#include "Journal.h"
#include "Keyring.h"
#include "Measure.h"
#include "Paths.h"
#include "Profile.h"
#include "SafeFile.h"
#include "Settings.h"
#include "SiteBook.h"
#include "Stream.h"
#include "StoreText.h"
#include "SysData.h"
#include "TerminalFeedback.h"
#include "Text.h"
#include "UploadGuard.h"

#ifndef KXTA_VERSION
#define KXTA_VERSION "0.0.0"
#endif

namespace {

const char* const kMsgReadAborted = "Read operation aborted.";
const char* const kMsgSaveAborted = "Save operation aborted.";

struct TUploadFlags {
  bool All = false;
  bool Differing = false;
  bool NoBackup = false;
  bool Resume = false;
  std::string Backup;
};

struct TConnOptions {
  std::string Port;
  std::string Password;
  int Speed = 0;  // 0: from the settings
  std::string Parity;
  int DataBits = 0;
  int StopBits = 0;
  std::string Settings;
  std::string ErrorLog;
  std::string Trace;
  std::string Measure;
  bool Yes = false;
  std::string Site;          // a site of the site book: its connection and password
  std::string PasswordFile;  // the password's first line
};

// One line on standard output. What kxta prints there comes from files, the journal and the
// PBX: it goes out as TerminalText, whether a terminal or a file receives it.
void Print(const std::string& Line) { std::printf("%s\n", TerminalText(Line).c_str()); }

// A shell user means the current folder by a bare file name; the desktop program's rule (the
// data folder) would hide the file somewhere else.
std::string ShellPath(const std::string& Name) {
  if (Name.empty() || Name.find('/') != std::string::npos) return Name;
  return "./" + Name;
}

std::string FolderOf(const std::string& Path) {
  const size_t slash = Path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : Path.substr(0, slash);
}

std::string Reason(int Error) {
  return Error == EACCES ? "no permission" : std::strerror(Error);
}

// Why Path cannot be written as the file of Option, in a sentence; empty when it can. A file
// that exists must be a writable file; a new one needs a folder it can be made in.
std::string WriteProblem(const std::string& Option, const std::string& Path) {
  const std::string what = Option + " \"" + Path + "\"";
  struct stat st {};
  if (::stat(Path.c_str(), &st) == 0) {
    // The writers refuse the same (NotAFile): this only says so before connecting.
    if (const std::string kind = NotAFile(Path); !kind.empty())
      return "Cannot write " + what + ": " + kind + ".";
    if (::access(Path.c_str(), W_OK) == 0) return std::string();
    const int e = errno;
    return "Cannot write " + what + ": " +
           (e == EACCES ? "the file is write-protected" : std::strerror(e)) + ".";
  }
  if (const int e = errno; e != ENOENT) return "Cannot write " + what + ": " + Reason(e) + ".";
  const std::string folder = FolderOf(Path);
  const std::string into = "Cannot write into the folder \"" + folder + "\" of " + what + ": ";
  if (::stat(folder.c_str(), &st) != 0) {
    const int e = errno;
    return into + (e == ENOENT ? "the folder does not exist" : Reason(e)) + ".";
  }
  if (!S_ISDIR(st.st_mode)) return into + "it is not a folder.";
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return std::string();
  const int e = errno;
  return into + (e == EACCES ? "no write permission" : std::strerror(e)) + ".";
}

std::string ReadProblem(const std::string& Option, const std::string& Path) {
  const std::string what = "Cannot read " + Option + " \"" + Path + "\": ";
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0) {
    const int e = errno;
    return what + (e == ENOENT ? "no such file" : Reason(e)) + ".";
  }
  if (S_ISDIR(st.st_mode)) return what + "it is a folder, not a settings file.";
  if (::access(Path.c_str(), R_OK) == 0) return std::string();
  const int e = errno;
  return what + Reason(e) + ".";
}

// A read takes minutes on a real line, and what it got must not be lost at its end to a file
// that could never be written: every file a command writes, and the settings it reads, are
// looked at before it connects. Output is the -o file ("" for none).
int CheckPaths(const TConnOptions& Opt, const std::string& Output, TTerminalFeedback& Fb) {
  const std::pair<const char*, const std::string*> outputs[] = {
      {"-o", &Output}, {"--measure", &Opt.Measure}, {"--trace", &Opt.Trace},
      {"--error-log", &Opt.ErrorLog}};
  std::string problem;
  for (const auto& [option, path] : outputs)
    if (problem.empty() && !path->empty()) problem = WriteProblem(option, ShellPath(*path));
  if (problem.empty() && !Opt.Settings.empty())
    problem = ReadProblem("--settings", ShellPath(Opt.Settings));
  if (problem.empty()) return kExitOk;
  Fb.ShowOwnError(problem + "\rNothing was sent to the PBX; give another path.");
  return kExitUsage;
}

// The system password from the first line of File, for scripts: out of the process list and
// the environment. The file is the user's secret: one that others may read is said so.
bool ReadPasswordFile(const std::string& File, std::string& Password, std::string& Why) {
  std::string text, why;
  if (!ReadFileUpTo(File, 4096, text, why)) {
    Why = "Cannot read --password-file \"" + File + "\": " + why + ".";
    return false;
  }
  Password = text.substr(0, text.find_first_of("\r\n"));
  if (Password.empty() || Password.size() > kMaxPasswordLen) {
    Why = Format("--password-file \"%s\": its first line is no system password (1 to %zu "
                 "characters).", File.c_str(), kMaxPasswordLen);
    return false;
  }
  return true;
}

bool SameFile(const std::string& A, const std::string& B) {
  struct stat a {}, b {};
  return ::stat(A.c_str(), &a) == 0 && ::stat(B.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

// Why the upload's --backup cannot be Backup, in a sentence; empty when it can. A backup is a
// new file: the file being uploaded, the settings or any other file is never replaced by it.
std::string BackupProblem(const std::string& Backup, const std::string& Upload,
                          const std::string& Settings) {
  const std::string what = "--backup \"" + Backup + "\"";
  if (SameFile(Backup, Upload))
    return "Cannot write " + what + ": it is the file to upload, which the backup would replace "
           "with the PBX's old lines.";
  if (SameFile(Backup, Settings))
    return "Cannot write " + what + ": it is the settings file the upload reads.";
  if (std::string problem = WriteProblem("--backup", Backup); !problem.empty()) return problem;
  struct stat st {};
  if (::lstat(Backup.c_str(), &st) == 0)
    return "Cannot write " + what + ": the file exists, and a backup never replaces a file.";
  return std::string();
}

// Where a read that did not end Ok leaves what it got: beside the target, so that a good data
// file is never replaced by a part of one. "site.ta" gives "site.partial.ta".
std::string PartialPath(const std::string& Path) {
  const size_t name = Path.rfind('/') + 1;  // 0 without a folder
  std::string stem = Path;
  if (stem.size() >= name + 4 && SameTextAscii(stem.substr(stem.size() - 3), ".ta"))
    stem.resize(stem.size() - 3);
  return stem + ".partial.ta";
}

// Counts what the PBX sent and what reached the file, so that an empty dump is not mistaken
// for a listing, nor a full disk for an empty dump.
class TCountingStream : public TStream {
 public:
  explicit TCountingStream(TStream& Inner) : fInner(Inner) {}
  size_t Read(void* Buffer, size_t Count) override { return fInner.Read(Buffer, Count); }
  size_t Write(const void* Buffer, size_t Count) override {
    const size_t n = fInner.Write(Buffer, Count);
    fReceived += Count;
    fWritten += n;
    return n;
  }
  size_t Received() const { return fReceived; }
  size_t Written() const { return fWritten; }

 private:
  TStream& fInner;
  size_t fReceived = 0, fWritten = 0;
};

// One connection to the PBX for one command, closed with a clean goodbye whatever happens.
class TCliConnection {
 public:
  TCliConnection(TTerminalFeedback& Feedback, const TConnOptions& Options)
      : fFeedback(Feedback), fOptions(Options) {
    SetPbxComm(&fComm);
  }
  ~TCliConnection() {
    Close();
    SetPbxComm(nullptr);
  }

  TKXTAcomm& Comm() { return fComm; }

  // Settings file, then the site, then the options (a --settings file was checked by
  // CheckPaths). Returns 0, or the exit status of a site or password that cannot be used
  // (said already): nothing is sent then.
  int Prepare(TSettings& Settings) {
    fSettingsFile = fOptions.Settings.empty() ? AppPaths().SettingsFile() : fOptions.Settings;
    ::LoadSettings(Settings, fSettingsFile);
    LoadComSettings(Settings.Com, fSettingsFile);
    std::string why;
    if (!fOptions.Site.empty()) {
      TSiteBook book(SiteBookFile());
      const TSite* site = book.Load(why) ? book.Find(fOptions.Site, why) : nullptr;
      if (!site) return Refuse(why);
      fSite = *site;
      ApplySiteSettings(fSite, Settings);
    }
    fPassword = Settings.PbxPassword;
    const char* env = std::getenv("KXTA_PASSWORD");
    if (!fOptions.PasswordFile.empty()) {
      if (!ReadPasswordFile(ShellPath(fOptions.PasswordFile), fPassword, why)) return Refuse(why);
    } else if (!fOptions.Password.empty()) {
      fPassword = fOptions.Password;
    } else if (env && env[0]) {
      fPassword = env;
    } else if (!fSite.Name.empty()) {
      std::string own;
      if (!SitePassword(fSite, own, why)) return Refuse(why);
      if (!own.empty()) fPassword = own;
    }
    return kExitOk;
  }

  const TSite& Site() const { return fSite; }
  // The port as the journal names it: the option, the site's, or the settings'.
  std::string Device() const {
    if (!fOptions.Port.empty()) return fOptions.Port;
    return fSite.Port.empty() ? std::string("(settings)") : fSite.Port;
  }

  // Connects with the settings and the options; returns 0 or kExitNoConnection.
  int Open(TSysData& Store) {
    const TComSettings& com = Store.Settings.Com;
    const std::string port = !fOptions.Port.empty() ? fOptions.Port
                             : !fSite.Port.empty()  ? fSite.Port
                                                    : com.PortName();
    if (SameTextAscii(port, "demo")) RegisterDemoLine();
    // COMn through the [Devices] section of the settings file in use; paths and registered
    // names stay as they are.
    const std::string device = ResolveDevicePath(port, fSettingsFile);
    const int speed = fOptions.Speed ? SpeedIndex(fOptions.Speed) : com.Speed;
    const int parity = fOptions.Parity.empty() ? com.Parity : ParityIndex(fOptions.Parity);
    const int wordLen = fOptions.DataBits ? (fOptions.DataBits == 7 ? 0 : 1) : com.WordLen;
    const int stopBits = fOptions.StopBits ? (fOptions.StopBits == 2 ? 1 : 0) : com.StopBits;
    // A site reached through a modem is dialled with the modem settings of TALVEN.INI, and
    // always without parity, as the desktop's modem dialog does.
    const bool modem = !fSite.ModemNumber.empty();
    const TIniFile ini(fSettingsFile);
    const std::string init = modem ? ini.ReadString("Remote Administration", "InitModem", "") : "";
    const int waitCD = modem ? ini.ReadInteger("Remote Administration", "WaitCDtimeout", 60) : 0;

    if (!fOptions.ErrorLog.empty()) fComm.SetErrorLogFile(fOptions.ErrorLog);
    if (!fOptions.Trace.empty()) fComm.SetTraceFile(fOptions.Trace);
    if (const char* timings = std::getenv("KXTA_SESSION_TIMING")) {
      std::string error;
      if (!ApplyTimingText(timings, fComm.Timing, error))
        fFeedback.Note("kxta: KXTA_SESSION_TIMING: " + error);
    }

    fFeedback.Note("Connecting to " + (fSite.Name.empty() ? "" : "site " + fSite.Name + ", ") +
                   (modem ? "modem " + fSite.ModemNumber + " on " : std::string()) +
                   (device == port ? port : port + " (" + device + ")") + "..");
    int dialResult = 0;
    const int r = fComm.ConnectDevice(device, speed, stopBits, wordLen, modem ? 0 : parity,
                                      fPassword, 0, modem, init, fSite.ModemNumber, waitCD,
                                      dialResult);
    if (r == TKXTAcomm::kResultAborted) {
      fFeedback.ShowInformation(ConnectResultMessage(r));
      return kExitAborted;
    }
    if (r != 0) {
      std::string msg =
          ConnectResultMessage(r, TConnectAudience::CommandLine, fComm.ConnectStep());
      if (r == 1 && !fComm.ConnectErrorText().empty()) msg += "\r" + fComm.ConnectErrorText();
      fFeedback.ShowError(msg);
      return kExitNoConnection;
    }
    fOpen = true;
    Store.OnLine = true;
    Store.Version.SetModel(fComm.PbxVersion());
    fStore = &Store;
    fFeedback.Note("Connected: " + fComm.PbxVersion());
    return kExitOk;
  }

  void Close() {
    if (!fOpen) return;
    fOpen = false;
    fComm.OnCommand = nullptr;
    fComm.SetOnRxLine(nullptr);
    fComm.Disconnect();
    if (fStore) fStore->OnLine = false;
    fFeedback.Note("Disconnected.");
  }

 private:
  static int SpeedIndex(int Speed) {
    switch (Speed) {
      case 1200: return 0;
      case 2400: return 1;
      case 4800: return 2;
      default: return 3;
    }
  }
  static int ParityIndex(const std::string& Parity) {
    const int i = ParityIndexOf(Parity);
    return i < 0 ? 3 : i;
  }
  int Refuse(const std::string& Why) {
    fFeedback.ShowOwnError(Why + "\rNothing was sent to the PBX.");
    return kExitUsage;
  }

  TTerminalFeedback& fFeedback;
  const TConnOptions& fOptions;
  TKXTAcomm fComm;
  std::string fSettingsFile;
  TSite fSite;  // no name: no site
  std::string fPassword;
  bool fOpen = false;
  TSysData* fStore = nullptr;
};

// The eighteen steps in one direction, with the step texts of the desktop run.
TRunResult RunSteps(TCliConnection& Conn, TSysData& Store, TRunDirection Direction,
                    TTerminalFeedback& Fb, TRunMeasure* Measure) {
  const bool read = Direction == TRunDirection::Read;
  TKXTAcomm& comm = Conn.Comm();
  comm.OnCommand = [&Fb](const std::string& Cmd) { Fb.StepCommand(CommandCode(Cmd)); };
  comm.SetOnRxLine([&Fb] { Fb.StepTick(); });
  TRunEvents events;
  events.OnStepStart = [&](const TGroup& G) {
    if (Measure) Measure->Begin();
    Fb.StepStart(Format(read ? "Read %s data" : "Save %s data", G.Title),
                 read ? G.ReadMax : G.UploadMax);
  };
  events.OnStepEnd = [&](const TGroup& G, bool Ok) {
    if (Measure) Measure->End("step", static_cast<int>(G.Id), G.Title, Ok);
    Fb.StepEnd(std::string(G.Title) + (Ok ? " - Ok" : " - errors!"));
  };
  const TRunResult r = RunGroups(Store, Direction, events);
  comm.OnCommand = nullptr;
  comm.SetOnRxLine(nullptr);
  if (r.Aborted) {
    Fb.ProgressClose();
    Fb.ShowInformation(read ? kMsgReadAborted : kMsgSaveAborted);
  }
  return r;
}

// Ctrl-C asks the session to abort before its next command and wakes its wait.
std::unique_ptr<TInterruptWatch> WatchInterrupts(TKXTAcomm& Comm, TTerminalFeedback& Fb) {
  return std::make_unique<TInterruptWatch>([&Comm, &Fb] {
    if (TInterruptWatch::Count() == 1) {
      Comm.RequestAbort();
      Fb.ShowAbortPending();
    } else {
      Fb.Note("Press Ctrl-C once more to quit at once (without a goodbye to the PBX).");
    }
    Feedback().SignalActivity();
  });
}

std::unique_ptr<TRunMeasure> MakeMeasure(TCliConnection& Conn, const TConnOptions& Opt) {
  return Opt.Measure.empty() ? nullptr : std::make_unique<TRunMeasure>(Conn.Comm());
}

// Connects, runs the steps and says goodbye, each phase measured when Measure is given. Returns
// 0 or the exit status of a failure to connect.
int ConnectAndRun(TCliConnection& Conn, TSysData& Store, TRunDirection Direction,
                  TTerminalFeedback& Fb, TRunMeasure* Measure, TRunResult& Run) {
  if (Measure) Measure->Begin();
  const int rc = Conn.Open(Store);
  if (Measure) Measure->End("connect", 0, "Connect", rc == kExitOk);
  if (rc == kExitOk) {
    Run = RunSteps(Conn, Store, Direction, Fb, Measure);
    if (Measure) Measure->Begin();
    Conn.Close();
    if (Measure) Measure->End("disconnect", 0, "Disconnect", true);
  }
  return rc;
}

// Written after the data file, so that a side file failing costs only itself. Rc is the
// command's status so far; a failure here turns a success into 1.
int WriteMeasure(const TRunMeasure* Measure, const TConnOptions& Opt, TTerminalFeedback& Fb,
                 int Rc) {
  std::string error;
  if (!Measure || Measure->Write(ShellPath(Opt.Measure), error)) return Rc;
  Fb.ShowOwnError("Cannot write the measurements: " + error);
  return Rc == kExitOk ? kExitFailed : Rc;
}

// A read that did not end Ok keeps Path as it was. What it got goes beside it; a read that got
// no block at all saves nothing, since an empty data file is of no use and would only look
// like a backup. Returns Status, or 1 when the partial file cannot be written.
int SavePartialRead(TSysData& Store, const std::string& Path, TTerminalFeedback& Fb,
                    int Status) {
  if (Store.HoldsNoBlock()) {
    Fb.ShowError("The read did not end Ok and got no PBX data: nothing was saved; " + Path +
                 " is unchanged.");
    return Status;
  }
  const std::string partial = PartialPath(Path);
  if (!Store.SaveToFile(partial)) return kExitFailed;  // the store has said why
  Fb.ShowError("The read did not end Ok: what was read is saved in " + partial + "; " + Path +
               " is unchanged.");
  return Status;
}

// A whole read into the site's backups. 0, or 1 when it cannot be written (said).
int KeepSiteRead(const TSite& Site, TSysData& Store, TTerminalFeedback& Fb) {
  std::string file, why;
  if (!KeepRead(SiteBackupsDir(Site), Store.Version.Model(),
                DataFileImage(Store, Store.Settings.PackedFile), file, why)) {
    Fb.ShowOwnError(why + ".");
    return kExitFailed;
  }
  Fb.Note("Kept in the backups of site " + Site.Name + ": " + file);
  return kExitOk;
}

int CmdRead(const TConnOptions& Opt, const std::string& Output, TTerminalFeedback& Fb) {
  if (int r = CheckPaths(Opt, Output, Fb)) return r;
  TSysData& store = SysData();
  TCliConnection conn(Fb, Opt);
  if (int r = conn.Prepare(store.Settings)) return r;
  const std::string path = ShellPath(Output);
  auto watch = WatchInterrupts(conn.Comm(), Fb);
  const auto measure = MakeMeasure(conn, Opt);
  TRunResult run;
  const int connected = ConnectAndRun(conn, store, TRunDirection::Read, Fb, measure.get(), run);
  int rc = kExitOk;
  if (connected == kExitAborted || (connected == kExitOk && run.Aborted)) {
    Fb.Note("Nothing was saved.");
    rc = kExitAborted;
  } else if (connected == kExitOk && run.Ok) {
    if (store.SaveToFile(path))
      Fb.Note("Saved " + path);
    else
      rc = kExitFailed;
    // A site's reads are kept with it too: kxta diff --site compares the PBX with the last.
    if (rc == kExitOk && !conn.Site().Name.empty()) rc = KeepSiteRead(conn.Site(), store, Fb);
  } else {
    rc = SavePartialRead(store, path, Fb, connected != kExitOk ? connected : kExitFailed);
  }
  return WriteMeasure(measure.get(), Opt, Fb, rc);
}

int CmdUpload(const TConnOptions& Opt, const std::string& File, const TUploadFlags& Flags,
              TTerminalFeedback& Fb) {
  if (int r = CheckPaths(Opt, std::string(), Fb)) return r;
  const std::string path = ShellPath(File);
  std::string problem;
  if (!Flags.Backup.empty() && !Flags.NoBackup)
    problem = BackupProblem(ShellPath(Flags.Backup), path,
                            Opt.Settings.empty() ? AppPaths().SettingsFile()
                                                 : ShellPath(Opt.Settings));
  if (const std::string kind = NotAFile(JournalFile()); problem.empty() && !kind.empty())
    problem = "Cannot write the upload journal \"" + JournalFile() + "\": " + kind + ".";
  if (!problem.empty()) {
    Fb.ShowOwnError(problem + "\rNothing was sent to the PBX; give another path.");
    return kExitUsage;
  }
  TSysData& store = SysData();
  TCliConnection conn(Fb, Opt);
  if (int r = conn.Prepare(store.Settings)) return r;
  // A loaded file marks every block changed, so "changed" sends all of it as well.
  if (!store.LoadFromFile(path)) return kExitFailed;
  // Every step would report Ok having sent nothing.
  if (store.HoldsNoBlock()) {
    Fb.ShowError(File + " holds no PBX data: nothing to upload.");
    return kExitFailed;
  }
  // A line the PBX would take as a query (an emptied item) or for another command is never
  // sent: the file is refused as a whole before the PBX is touched, so that it can be mended.
  size_t unsendable = 0;
  ForEachFileBlock(store, [&](const TCmdData& B) {
    if (B.Data().empty()) return;
    const std::string why = UnsendableReason(B.Data());
    if (why.empty()) return;
    if (++unsendable <= 20) Fb.Note(File + ": " + EscapeUnprintable(B.Data()) + ": " + why);
  });
  if (unsendable > 0) {
    Fb.ShowError(Format("%s holds %zu line%s that cannot be sent to the PBX: nothing was sent. "
                        "Mend %s first (kxta check lists every problem).",
                        File.c_str(), unsendable, unsendable == 1 ? "" : "s",
                        unsendable == 1 ? "it" : "them"));
    return kExitFailed;
  }
  if (!Fb.Confirm("Upload data to PBX?")) return kExitFailed;
  auto watch = WatchInterrupts(conn.Comm(), Fb);
  const auto measure = MakeMeasure(conn, Opt);
  TUploadGuardOptions guarded;
  guarded.Backup = !Flags.NoBackup;
  guarded.BackupFile = Flags.Backup.empty() ? std::string() : ShellPath(Flags.Backup);
  guarded.Source = AbsoluteFilePath(path);
  guarded.SourceHash = BytesHash(ReadWholeFile(path));
  guarded.Device = conn.Device();
  guarded.Site = conn.Site().Name;
  if (!guarded.Site.empty()) guarded.BackupsDir = SiteBackupsDir(conn.Site());
  guarded.Mode = Flags.Resume ? "resume" : Flags.All ? "all" : Flags.Differing ? "differing" : "changed";
  guarded.Differing = Flags.Differing;
  const TRunDirection direction = Flags.All && !Flags.Resume ? TRunDirection::UploadAll
                                                             : TRunDirection::UploadChanged;
  if (measure) measure->Begin();
  int rc = conn.Open(store);
  if (measure) measure->End("connect", 0, "Connect", rc == kExitOk);
  if (rc != kExitOk) return WriteMeasure(measure.get(), Opt, Fb, rc);
  TRunResult run;
  try {
    if (Flags.Resume) {
      std::string why;
      int confirmed = 0;
      Fb.Note("Reading back what the unfinished upload left on the PBX..");
      if (!PrepareResume(store, ReadJournal(JournalFile()), guarded.Source, guarded.SourceHash,
                         guarded.Device, PbxComm().PbxVersion(), why, confirmed)) {
        Fb.ShowError(why + "\r(kxta upload " + File + ", without --resume)");
        conn.Close();
        return kExitFailed;
      }
      int rest = 0;
      ForEachFileBlock(store, [&rest](const TCmdData& B) { rest += B.Changed && !B.Data().empty(); });
      Print(Format("Resume: %d lines were confirmed by the PBX; sending the other %d.", confirmed,
                   rest));
    }
    TUploadGuard guard(store);
    std::string why;
    // The backup reads the PBX before anything is written: for a differing upload most of the
    // run's time, so it is a phase of its own.
    if (measure) measure->Begin();
    const bool begun = guard.Begin(direction, guarded, why);
    if (measure) measure->End("backup", 0, "Backup", begun);
    if (!begun) {
      Fb.ShowOwnError(why);
      conn.Close();
      return kExitFailed;
    }
    if (!guard.BackupFile().empty())
      Print("Backup of the PBX before the upload: " + guard.BackupFile());
    if (Flags.Differing) {
      int rest = 0;
      ForEachFileBlock(store, [&rest](const TCmdData& B) { rest += B.Pending(); });
      Print(Format("Left alone %d lines the PBX holds already; sending the other %d.",
                   guard.LeftAlone(), rest));
    }
    std::fflush(stdout);
    run = RunSteps(conn, store, direction, Fb, measure.get());
    guard.End(run);
    // Not the user's abort: the upload stopped itself, and says why.
    if (!guard.JournalError().empty()) {
      Fb.ShowOwnError(guard.JournalError());
      run.Ok = false;
    }
  } catch (const EAbortOperation&) {
    run.Aborted = true;
    run.Ok = false;
  }
  if (measure) measure->Begin();
  conn.Close();
  if (measure) measure->End("disconnect", 0, "Disconnect", true);
  rc = run.Aborted ? kExitAborted : run.Ok ? kExitOk : kExitFailed;
  return WriteMeasure(measure.get(), Opt, Fb, rc);
}

// A run of the journal under its number. Each line goes out as a whole, so that a line break
// inside a field (a version text's, say) shows as <0A> and starts no line of its own.
void PrintRun(int Number, const TJournalRun& Run, bool Full) {
  const std::vector<std::string> lines = JournalRunLines(Run, Full);
  for (size_t i = 0; i < lines.size(); ++i) Print(i ? lines[i] : std::to_string(Number) + "  " + lines[i]);
}

int CmdJournal(int Last, int Run, const std::string& Site) {
  std::vector<TJournalRun> runs;
  std::string why;
  switch (ReadJournal(JournalFile(), runs, why)) {
    case TJournalState::Missing:
      std::printf("No upload yet: %s.\n", why.c_str());
      return kExitOk;
    case TJournalState::Failed:
      std::fprintf(stderr, "kxta: %s\n", why.c_str());
      return kExitFailed;
    case TJournalState::Read:
      break;
  }
  if (runs.empty()) {
    Print("No upload in the journal " + JournalFile() + ".");
    return kExitOk;
  }
  // A site's uploads keep their numbers in the whole journal, so that --run N shows the one
  // listed as N.
  std::vector<int> shown;
  for (size_t i = 0; i < runs.size(); ++i)
    if (Site.empty() || SameTextAscii(runs[i].Site, Site)) shown.push_back(static_cast<int>(i));
  if (shown.empty()) {
    Print("No upload to the site " + Site + " in the journal " + JournalFile() + ".");
    return kExitOk;
  }
  if (Run > 0) {
    if (Run > static_cast<int>(runs.size())) {
      std::fprintf(stderr, "kxta: the journal holds %zu uploads; there is no number %d.\n",
                   runs.size(), Run);
      return kExitUsage;
    }
    PrintRun(Run, runs[size_t(Run - 1)], true);
    return kExitOk;
  }
  const size_t from = shown.size() > size_t(Last) ? shown.size() - size_t(Last) : 0;
  for (size_t i = from; i < shown.size(); ++i)
    PrintRun(shown[i] + 1, runs[size_t(shown[i])], false);
  return kExitOk;
}

// A whole read of one site into its backups, nothing written to the PBX. 0 when kept; else the
// read's status (1 a step with errors or the file not written, 2 the site unusable, 3 no
// connection, 130 aborted).
int BackupSite(const TConnOptions& Opt, TTerminalFeedback& Fb) {
  TSysData& store = SysData();
  store.ClearData();
  TCliConnection conn(Fb, Opt);
  if (int r = conn.Prepare(store.Settings)) return r;
  auto watch = WatchInterrupts(conn.Comm(), Fb);
  TRunResult run;
  const int connected = ConnectAndRun(conn, store, TRunDirection::Read, Fb, nullptr, run);
  if (connected != kExitOk) return connected;
  if (run.Aborted) return kExitAborted;
  if (!run.Ok) {
    Fb.ShowError("The read of site " + Opt.Site + " did not end Ok: nothing was kept.");
    return kExitFailed;
  }
  return KeepSiteRead(conn.Site(), store, Fb);
}

// kxta backup --site NAME | --all-sites, for a scheduler: every site is tried, each failure
// named, and the status is 0 only when every site was kept.
int CmdBackup(const TConnOptions& Opt, bool AllSites, TTerminalFeedback& Fb) {
  if (int r = CheckPaths(Opt, std::string(), Fb)) return r;
  if (!AllSites) return BackupSite(Opt, Fb);
  TSiteBook book(SiteBookFile());
  std::string why;
  if (!book.Load(why)) {
    Fb.ShowOwnError(why);
    return kExitUsage;
  }
  for (const auto& [name, problem] : book.Damaged())
    Fb.ShowOwnError("Site " + name + " cannot be used: " + problem + ".");
  if (book.Sites().empty() && book.Damaged().empty()) {
    Fb.Note("The site book " + book.File() + " holds no site: nothing to back up.");
    return kExitOk;
  }
  std::vector<std::string> failed;
  for (const auto& [name, problem] : book.Damaged()) failed.push_back(name);
  for (const TSite& site : book.Sites()) {
    TConnOptions one = Opt;
    one.Site = site.Name;
    const int rc = BackupSite(one, Fb);
    if (rc == kExitAborted) return rc;
    if (rc != kExitOk) failed.push_back(site.Name);
  }
  const size_t all = book.Sites().size() + book.Damaged().size();
  if (failed.empty()) {
    Fb.Note(Format("All %zu sites are backed up.", all));
    return kExitOk;
  }
  std::string names;
  for (const std::string& n : failed) names += (names.empty() ? "" : ", ") + n;
  Fb.ShowError(Format("%zu of %zu sites were not backed up: ", failed.size(), all) + names + ".");
  return kExitFailed;
}

int CmdDump(const TConnOptions& Opt, const std::string& Output, TTerminalFeedback& Fb) {
  if (int r = CheckPaths(Opt, Output, Fb)) return r;
  TSysData& store = SysData();
  TCliConnection conn(Fb, Opt);
  if (int r = conn.Prepare(store.Settings)) return r;
  // Written beside the target and renamed over it, so an older dump stays whole until the new
  // one is complete.
  const std::string path = ShellPath(Output);
  TFileStream file;
  if (!file.Create(path)) {
    Fb.ShowError("Cannot create the dump file\r" + path + "\r" + file.ErrorText());
    return kExitFailed;
  }
  auto watch = WatchInterrupts(conn.Comm(), Fb);
  if (int r = conn.Open(store)) {
    file.Abandon();
    return r;
  }
  TCountingStream counted(file);
  const bool complete = conn.Comm().StoreDump("ALL", counted);
  const bool aborted = conn.Comm().AbortRequested();
  conn.Comm().ClearAbort();
  conn.Close();
  if (aborted) {
    file.Abandon();
    Fb.ShowInformation("Dump aborted; nothing was saved.");
    return kExitAborted;
  }
  if (counted.Written() < counted.Received()) {
    const std::string why = file.ErrorText();
    file.Abandon();
    Fb.ShowError(Format("The dump file could not be written (%zu of %zu bytes received were "
                        "written): ",
                        counted.Written(), counted.Received()) +
                 (why.empty() ? std::string("write error") : why) + ".\rNothing was written to " +
                 path + " (an earlier dump there is kept). Make room on the disk and dump again.");
    return kExitFailed;
  }
  if (counted.Written() == 0) {
    file.Abandon();
    Fb.ShowError("The PBX sent no listing; the dump file was not written.");
    return kExitFailed;
  }
  if (!complete) {
    file.Abandon();
    Fb.ShowError(Format("The PBX's listing is incomplete (%zu bytes received): the connection "
                        "was lost, or the listing stopped inside a line.\r",
                        counted.Written()) +
                 "Nothing was written to " + path +
                 " (an earlier dump there is kept). Check the cable and dump again.");
    return kExitFailed;
  }
  if (!file.Commit()) {
    Fb.ShowError("The dump file could not be written completely:\r" + path + "\r" +
                 file.ErrorText());
    return kExitFailed;
  }
  Fb.Note(Format("Saved %s (%zu bytes)", path.c_str(), counted.Written()));
  return kExitOk;
}

int CmdExport(const std::string& File) {
  TSysData store;
  if (!store.LoadFromFile(ShellPath(File))) return kExitFailed;
  for (const std::string& line : FileBlockTexts(store)) Print(line);
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailed;
}

// 0 equal, 1 different; 2 when a file cannot be read, as diff(1) does, so that a script can
// tell "changed" from "not compared". Long: item by item with the programs' names.
int PrintDiff(TSysData& a, TSysData& b, bool Long) {
  const auto diffs = DiffBlockTexts(FileBlockTexts(a), FileBlockTexts(b));
  for (const TBlockDiff& d : diffs) {
    if (Long) {
      for (const std::string& line : LongDiffLines(d)) Print(line);
      continue;
    }
    if (!d.A.empty()) Print("- " + d.A);
    if (!d.B.empty()) Print("+ " + d.B);
  }
  std::fflush(stdout);
  return diffs.empty() ? kExitOk : kExitFailed;
}

int CmdDiff(const std::string& FileA, const std::string& FileB, bool Long) {
  TSysData a, b;
  if (!a.LoadFromFile(ShellPath(FileA)) || !b.LoadFromFile(ShellPath(FileB))) return kExitUsage;
  return PrintDiff(a, b, Long);
}

// The PBX as it is now against the site's last read kept (kxta backup, kxta read --site):
// "- " the kept read, "+ " the PBX. 0 equal, 1 different; 2 when there is no read to compare
// with or the PBX could not be read whole, 3 no connection, 130 aborted.
int CmdDiffSite(const TConnOptions& Opt, bool Long, TTerminalFeedback& Fb) {
  if (int r = CheckPaths(Opt, std::string(), Fb)) return r;
  TSysData& store = SysData();
  TCliConnection conn(Fb, Opt);
  if (int r = conn.Prepare(store.Settings)) return r;
  const std::string last = LatestRead(SiteBackupsDir(conn.Site()));
  if (last.empty()) {
    Fb.ShowOwnError("No read of site " + Opt.Site + " is kept in " +
                    SiteBackupsDir(conn.Site()) + " yet: kxta backup --site " + Opt.Site +
                    " keeps one.");
    return kExitUsage;
  }
  TSysData kept;
  if (!kept.LoadFromFile(last)) return kExitUsage;  // the loader has said why
  auto watch = WatchInterrupts(conn.Comm(), Fb);
  TRunResult run;
  const int connected = ConnectAndRun(conn, store, TRunDirection::Read, Fb, nullptr, run);
  if (connected != kExitOk) return connected;
  if (run.Aborted) return kExitAborted;
  if (!run.Ok) {
    Fb.ShowError("The read of the PBX did not end Ok: nothing was compared.");
    return kExitUsage;
  }
  Fb.Note("Compared with " + last + " (\"- \" there, \"+ \" on the PBX now).");
  return PrintDiff(kept, store, Long);
}

std::string Counted(size_t N, const char* One, const char* Many) {
  return std::to_string(N) + " " + (N == 1 ? One : Many);
}

// Every block against the program table, as an upload would meet it: one line per problem,
// then the count. 0 clean, 1 with problems or when the file cannot be read.
int CmdCheck(const std::string& File) {
  TSysData store;
  if (!store.LoadFromFile(ShellPath(File))) return kExitFailed;
  const std::vector<TLineProblem> problems = CheckStore(store);
  // A line's problems share its head (a line without a head is its own head).
  std::set<std::string> lines;
  for (const TLineProblem& p : problems) {
    Print(ProblemText(p));
    lines.insert(p.Head);
  }
  const size_t checked = FileBlockTexts(store).size();
  if (problems.empty())
    Print("No problems: " + Counted(checked, "line", "lines") + " checked.");
  else
    Print(Counted(problems.size(), "problem", "problems") + " in " +
          std::to_string(lines.size()) + " of " + Counted(checked, "line", "lines") +
          " checked.");
  const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
  return problems.empty() && written ? kExitOk : kExitFailed;
}

bool Exists(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0;
}

// At most this many problems are listed; a text of garbage would bury the summary.
constexpr size_t kMaxListedProblems = 100;

// The text export prints, into a data file: every line judged first, the file written only
// when all pass (with Force also when some values lie out of range), so a refused import
// leaves Output as it was.
int CmdImport(const std::string& Text, const std::string& Output, bool Force,
              TTerminalFeedback& Fb) {
  const std::string out = ShellPath(Output);
  if (const std::string problem = WriteProblem("-o", out); !problem.empty()) {
    Fb.ShowOwnError(problem + "\rNothing was imported; give another path.");
    return kExitUsage;
  }
  // The data file would take the place of the text the technician has just edited.
  if (SameFile(ShellPath(Text), out)) {
    Fb.ShowError("The text and the -o file are the same file \"" + out +
                 "\": nothing was imported; give another -o path.");
    return kExitUsage;
  }
  std::string text, why;
  // A full configuration's text is some 100 kB: the data file's bound serves for it too.
  bool tooLarge = false;
  if (!ReadFileUpTo(ShellPath(Text), kMaxPayloadBytes, text, why, &tooLarge)) {
    if (tooLarge)
      why = "it is larger than any configuration text (more than " +
            std::to_string(kMaxPayloadBytes) + " bytes)";
    Fb.ShowError("Cannot read the text \"" + Text + "\": " + why + ".");
    return kExitFailed;
  }
  if (HasDataFileMagic(text)) {
    Fb.ShowError(Text + " is a data file, not a text: \"kxta export " + Text +
                 "\" prints its text.");
    return kExitFailed;
  }
  TSysData store;
  const TStoreTextLoad load = LoadStoreText(store, text, Force);
  const std::string unchanged =
      "nothing was written; " + out + (Exists(out) ? " is unchanged." : " was not created.");
  if (load.ProgramLines == 0) {
    Fb.ShowError(Text + " holds no program line: " + unchanged);
    return kExitFailed;
  }
  std::set<int> lines;
  for (size_t i = 0; i < load.Problems.size(); ++i) {
    const TTextProblem& p = load.Problems[i];
    lines.insert(p.Line);
    if (i == kMaxListedProblems) {
      Fb.Note(Format("%s: ... and %zu more problems", Text.c_str(), load.Problems.size() - i));
    }
    if (i >= kMaxListedProblems) continue;
    Fb.Note(Format("%s:%d: ", Text.c_str(), p.Line) + p.Text + (load.Loaded ? "  (written: --force)" : ""));
  }
  const std::string count = Counted(load.Problems.size(), "problem", "problems") + " in " +
                            Counted(lines.size(), "line", "lines") + " of " + Text;
  if (!load.Loaded) {
    const bool rangeOnly = std::all_of(load.Problems.begin(), load.Problems.end(),
                                       [](const TTextProblem& P) { return P.RangeOnly; });
    Fb.ShowError(count + ": " + unchanged +
                 (rangeOnly && !Force ? "\rOnly values lie out of range: --force writes them."
                                      : ""));
    return kExitFailed;
  }
  if (!store.SaveToFile(out)) return kExitFailed;  // the store has said why
  std::string saved = Format("Saved %s: %d program lines", out.c_str(), load.ProgramLines);
  if (load.ForcedLines)
    saved += Format(", %d of them with values out of range (--force)", load.ForcedLines);
  Fb.Note(saved + ".");
  return kExitOk;
}

// A configuration of factory data, to prepare a new installation at the desk. A file of that
// name is never replaced: it may be a site's configuration.
int CmdNew(const std::string& Output, int Model, const std::string& SettingsFile,
           TTerminalFeedback& Fb) {
  const std::string out = ShellPath(Output);
  if (const std::string problem = WriteProblem("-o", out); !problem.empty()) {
    Fb.ShowError(problem + "\rNothing was written; give another path.");
    return kExitUsage;
  }
  if (Exists(out)) {
    Fb.ShowError(out + " exists: kxta new never replaces a file. Give a new name.");
    return kExitUsage;
  }
  TSysData store;
  int type = 2;
  if (Model) {
    type = Model == 308 ? 0 : Model == 616 ? 1 : 2;
  } else {
    const std::string settings = SettingsFile.empty() ? AppPaths().SettingsFile() : ShellPath(SettingsFile);
    LoadSettings(store.Settings, settings);
    type = store.Settings.PBXtype;
  }
  if (!LoadFactoryConfiguration(store, type)) {
    Fb.ShowError("The factory configuration could not be built; nothing was written.");
    return kExitFailed;
  }
  if (!store.SaveToFile(out)) return kExitFailed;  // the store has said why
  static const char* const kNames[] = {"KX-TA308", "KX-TA616", "KX-TA624"};
  Fb.Note(Format("Saved %s: the factory configuration of a %s (%zu program lines).", out.c_str(),
                 kNames[type <= 2 ? type : 2], FileBlockTexts(store).size()));
  return kExitOk;
}

// What kxta sites add and change take; for change, only the options given (Given) count.
struct TSiteOptions {
  std::string Name, Note, Port, Parity, ModemNumber, Folder;
  int Model = 0, Speed = 0, DataBits = 0, StopBits = 0;
  std::set<std::string> Given;
};

void PrintSite(const TSite& S) {
  static const char* const kModels[] = {"KX-TA308", "KX-TA616", "KX-TA624"};
  const std::string password = S.InKeyring           ? "password in the keyring"
                               : !S.Password.empty() ? "password in the site book"
                                                     : "password of the settings";
  Print(S.Name + "  " + (S.Model >= 0 ? kModels[S.Model] : "(model of the settings)") + "  " +
        SiteConnectionText(S) + "  " + password + (S.Note.empty() ? "" : "  " + S.Note));
}

int CmdSitesList(TTerminalFeedback& Fb) {
  TSiteBook book(SiteBookFile());
  std::string why;
  if (!book.Load(why)) {
    Fb.ShowOwnError(why);
    return kExitFailed;
  }
  for (const TSite& site : book.Sites()) PrintSite(site);
  for (const auto& [name, problem] : book.Damaged())
    Print(name + "  cannot be used: " + problem);
  if (book.Sites().empty() && book.Damaged().empty())
    Print("No site in the site book " + book.File() +
          " yet: kxta sites add NAME --port DEVICE adds one.");
  std::fflush(stdout);
  return kExitOk;
}

// Adds a site or changes one; the password goes to the keyring where there is one.
int CmdSitesSave(const TSiteOptions& O, bool Add, const TConnOptions& Conn,
                 TTerminalFeedback& Fb) {
  TSiteBook book(SiteBookFile());
  std::string why;
  if (!book.Load(why)) {
    Fb.ShowOwnError(why + " Nothing was changed.");
    return kExitFailed;
  }
  TSite site;
  if (const TSite* held = book.Find(O.Name, why)) {
    if (Add) {
      Fb.ShowOwnError("The site book " + book.File() + " has a site \"" + held->Name +
                      "\" already: kxta sites change changes it.");
      return kExitUsage;
    }
    site = *held;
  } else if (!Add || why.find("cannot be used") != std::string::npos) {
    Fb.ShowOwnError(Add ? why + " Mend it in the file or remove it first." : why);
    return kExitUsage;
  } else {
    site.Name = O.Name;
  }
  const auto given = [&O, Add](const char* Option) { return Add || O.Given.count(Option) > 0; };
  if (given("--note")) site.Note = O.Note;
  if (given("--port")) site.Port = O.Port;
  if (given("--parity")) site.Parity = O.Parity;
  if (given("--modem-number")) site.ModemNumber = O.ModemNumber;
  if (given("--folder")) site.Folder = O.Folder.empty() ? O.Folder : AbsoluteFilePath(O.Folder);
  if (given("--model")) site.Model = O.Model == 308 ? 0 : O.Model == 616 ? 1 : O.Model == 624 ? 2 : -1;
  if (given("--speed")) site.Speed = O.Speed;
  if (given("--data-bits")) site.DataBits = O.DataBits;
  if (given("--stop-bits")) site.StopBits = O.StopBits;
  std::string password;
  const char* env = std::getenv("KXTA_PASSWORD");
  const bool newPassword = !Conn.PasswordFile.empty() || !Conn.Password.empty() || (env && env[0]);
  if (!Conn.PasswordFile.empty()) {
    if (!ReadPasswordFile(ShellPath(Conn.PasswordFile), password, why)) {
      Fb.ShowOwnError(why + " Nothing was changed.");
      return kExitUsage;
    }
  } else {
    password = !Conn.Password.empty() ? Conn.Password : env ? env : "";
  }
  if (password.size() > kMaxPasswordLen) {
    Fb.ShowOwnError(Format("A system password has at most %zu characters. Nothing was changed.",
                           kMaxPasswordLen));
    return kExitUsage;
  }
  std::string note;
  if (newPassword || O.Given.count("--no-password")) KeepSitePassword(site, password, note);
  if (!book.Save(site, why)) {
    Fb.ShowOwnError(why);
    return kExitFailed;
  }
  if (!note.empty()) Fb.Note(note);
  if (book.Find(site.Name, why)) PrintSite(*book.Find(site.Name, why));
  Fb.Note(std::string(Add ? "Added" : "Changed") + " the site " + site.Name + " in " + book.File() +
          ".");
  return kExitOk;
}

int CmdSitesRemove(const std::string& Name, TTerminalFeedback& Fb) {
  TSiteBook book(SiteBookFile());
  std::string why;
  if (!book.Load(why)) {
    Fb.ShowOwnError(why + " Nothing was changed.");
    return kExitFailed;
  }
  const TSite* site = book.Find(Name, why);
  const bool inKeyring = site && site->InKeyring;
  if (!book.Remove(Name, why)) {
    Fb.ShowOwnError(why);
    return kExitUsage;
  }
  if (inKeyring && !KeyringRemove(Name, why))
    Fb.Note("The keyring's password of the site could not be removed: " + why + ".");
  Fb.Note("Removed the site " + Name + " from " + book.File() +
          "; its folder and backups are kept.");
  return kExitOk;
}

void AddConnectionOptions(CLI::App* Cmd, TConnOptions& O) {
  Cmd->add_option("--port", O.Port,
                  "COMn, a device path (/dev/ttyUSB0, /dev/pts/3), a serial server "
                  "(tcp://HOST:PORT, rfc2217://HOST:PORT) or demo")
      ->group("CONNECTION");
  Cmd->add_option("--password", O.Password,
                  "PBX system password (others can read it in the process list: prefer "
                  "KXTA_PASSWORD or --password-file)")
      ->group("CONNECTION");
  Cmd->add_option("--password-file", O.PasswordFile, "read the PBX system password from FILE")
      ->group("CONNECTION");
  Cmd->add_option("--site", O.Site, "the site of the site book: its connection and password")
      ->group("CONNECTION");
  Cmd->add_option("--speed", O.Speed, "bit rate")
      ->check(CLI::IsMember({1200, 2400, 4800, 9600}))
      ->group("CONNECTION");
  Cmd->add_option("--parity", O.Parity, "none, odd, even, mark or space")
      ->check(CLI::IsMember({"none", "odd", "even", "mark", "space"}, CLI::ignore_case))
      ->group("CONNECTION");
  Cmd->add_option("--data-bits", O.DataBits, "7 or 8")
      ->check(CLI::IsMember({7, 8}))
      ->group("CONNECTION");
  Cmd->add_option("--stop-bits", O.StopBits, "1 or 2")
      ->check(CLI::IsMember({1, 2}))
      ->group("CONNECTION");
  Cmd->add_option("--settings", O.Settings, "use this settings file instead of TALVEN.INI")
      ->group("CONNECTION");
  Cmd->add_option("--error-log", O.ErrorLog,
                  "where refused commands are logged (default: the program's Error.log)")
      ->group("CONNECTION");
  Cmd->add_option("--trace", O.Trace, "record every byte sent and received, with times")
      ->group("CONNECTION");
  Cmd->add_flag("-y,--yes", O.Yes, "answer every question with yes");
}

const char* const kFooter =
    "CONNECTION defaults to the settings of TALVEN.INI, as the desktop program uses them;\n"
    "--site NAME takes the connection and password of a site of the site book (kxta sites).\n"
    "The password: --password-file FILE, --password, KXTA_PASSWORD, the site's, the settings'.\n"
    "\n"
    "Exit status: 0 every step succeeded; 1 a step ended \" - errors!\" (a read then keeps\n"
    "FILE.ta and saves what it got as FILE.partial.ta), the dump was cut short, a file could\n"
    "not be read or written, the file to upload holds no PBX data, or a question was answered\n"
    "no; 2 usage error, also a file to write or the settings file that cannot be used (checked\n"
    "before connecting; diff: a file could not be read); 3 no connection; 130 aborted (Ctrl-C).\n"
    "diff: 0 equal, 1 different. backup --all-sites: 0 every site kept, 1 any site not. check: 0 no problems, 1 problems found. import: 1 a line was\n"
    "refused (nothing written; the -o file is unchanged).\n"
    "\n"
    "Without a PBX: kxta read --port demo -o demo.ta";

}  // namespace

std::string CommandCode(const std::string& Cmd) {
  size_t cut = Cmd.find('*');
  if (cut == std::string::npos) cut = Cmd.find('/');
  return cut == std::string::npos ? Cmd : Cmd.substr(0, cut);
}

bool ApplyTimingText(const std::string& Text, TSessionTiming& Timing, std::string& Error) {
  const std::map<std::string, int TSessionTiming::*> fields = {
      {"DirectTimeout", &TSessionTiming::DirectTimeout},
      {"ModemTimeout", &TSessionTiming::ModemTimeout},
      {"ExchangeLimit", &TSessionTiming::ExchangeLimit},
      {"ErrorTail", &TSessionTiming::ErrorTail},
      {"EchoWait", &TSessionTiming::EchoWait},
      {"SlowPause", &TSessionTiming::SlowPause},
      {"OpenPause", &TSessionTiming::OpenPause},
      {"PromptPause", &TSessionTiming::PromptPause},
      {"ByePause", &TSessionTiming::ByePause},
      {"LoginPause", &TSessionTiming::LoginPause},
      {"FailPause", &TSessionTiming::FailPause},
      {"DisconnectPause", &TSessionTiming::DisconnectPause},
      {"DisconnectTail", &TSessionTiming::DisconnectTail},
      {"ClosePause", &TSessionTiming::ClosePause},
      {"RenamePause", &TSessionTiming::RenamePause},
      {"DialEchoLimit", &TSessionTiming::DialEchoLimit},
  };
  TSessionTiming t = Timing;
  const int n = WordCount(Text, ",");
  for (int i = 1; i <= n; ++i) {
    const std::string item = TrimBlanks(ExtractWord(Text, ",", i));
    if (item.empty()) continue;
    const std::string name = TrimBlanks(ExtractWord(item, "=", 1));
    int value = 0;
    auto it = fields.find(name);
    if (it == fields.end()) {
      Error = "unknown name \"" + name + "\"";
      return false;
    }
    if (WordCount(item, "=") != 2 || !TryStrToInt(ExtractWord(item, "=", 2), value) ||
        value < 0) {
      Error = "\"" + item + "\" is not Name=milliseconds";
      return false;
    }
    t.*(it->second) = value;
  }
  Timing = t;
  return true;
}

int KxtaMain(int argc, char** argv) {
  InitAppPaths(argc > 0 ? argv[0] : nullptr);

  CLI::App app{
      "kxta: read, upload and dump the configuration of a Panasonic KX-TA308/616/624 PBX, and\n"
      "print, compare, check or import configuration data files (.ta).",
      "kxta"};
  app.set_version_flag("--version", std::string("kxta ") + KXTA_VERSION);
  app.require_subcommand(1);
  app.footer(kFooter);

  TConnOptions conn;
  std::string output, file, fileB;
  TUploadFlags upFlags;

  const auto addMeasure = [&conn](CLI::App* Cmd) {
    Cmd->add_option("--measure", conn.Measure,
                    "write the time, CPU, bytes and commands of every phase to this file");
  };
  CLI::App* read = app.add_subcommand(
      "read", "read the whole configuration and save it as a data file");
  AddConnectionOptions(read, conn);
  addMeasure(read);
  read->add_option("-o,--output", output, "the data file to write (FILE.ta)")->required();

  CLI::App* upload = app.add_subcommand(
      "upload",
      "load the file and upload its changed blocks (a loaded file counts as all changed)");
  upload->add_option("file", file, "the data file (FILE.ta)")->required();
  CLI::Option* all = upload->add_flag("--all", upFlags.All, "upload every block");
  upload->add_flag("--differing", upFlags.Differing,
                   "read what the PBX holds in the file's lines (the backup's read) and write only "
                   "the lines that differ")
      ->excludes(all);
  upload->add_flag("--no-backup", upFlags.NoBackup,
                   "do not save what the PBX holds in the lines about to be written");
  upload->add_option("--backup", upFlags.Backup,
                     "the backup file to write (default: a dated file in the backups folder)");
  upload->add_flag("--resume", upFlags.Resume,
                   "finish an upload of this file that never ended: send only the lines the PBX "
                   "has not confirmed (the upload journal tells)");
  AddConnectionOptions(upload, conn);
  addMeasure(upload);

  CLI::App* journal = app.add_subcommand("journal", "print the upload journal: the last uploads, or one in full");
  int journalLast = 10, journalRun = 0;
  // Upload numbers start at 1; a 0 or a negative one is a slip, not "the last ones".
  const CLI::Validator fromOne(
      [](std::string& Value) {
        int n = 0;
        return TryStrToInt(Value, n) && n >= 1
                   ? std::string()
                   : "\"" + Value + "\" is no upload count or number: they start at 1";
      },
      "N >= 1");
  journal->add_option("--last", journalLast, "how many of the last uploads to list (10)")
      ->check(fromOne);
  journal->add_option("--run", journalRun, "print upload number N with every line it wrote")
      ->check(fromOne);
  journal->add_option("--site", conn.Site, "only the uploads to this site");

  bool allSites = false;
  CLI::App* backup = app.add_subcommand(
      "backup", "read the site's PBX whole into the site's backups, changing nothing (for a "
                "timer); exit 0 only when every site was kept");
  AddConnectionOptions(backup, conn);
  backup->add_flag("--all-sites", allSites, "every site of the site book, one after another");

  TSiteOptions siteOpt;
  CLI::App* sites = app.add_subcommand(
      "sites", "list the sites of the site book, or add, change or remove one");
  sites->require_subcommand(0, 1);
  const auto siteFields = [&](CLI::App* Cmd) {
    Cmd->add_option("name", siteOpt.Name, "the site's name")->required();
    Cmd->add_option("--note", siteOpt.Note, "customer, address");
    Cmd->add_option("--model", siteOpt.Model, "308, 616 or 624 (0: the settings')")
        ->check(CLI::IsMember({0, 308, 616, 624}));
    Cmd->add_option("--port", siteOpt.Port,
                    "COMn, a device path, tcp://HOST:PORT, rfc2217://HOST:PORT or demo (\"\": the settings')");
    Cmd->add_option("--speed", siteOpt.Speed, "bit rate (0: the settings')")
        ->check(CLI::IsMember({0, 1200, 2400, 4800, 9600}));
    Cmd->add_option("--parity", siteOpt.Parity, "none, odd, even, mark or space")
        ->check(CLI::IsMember({"", "none", "odd", "even", "mark", "space"}, CLI::ignore_case));
    Cmd->add_option("--data-bits", siteOpt.DataBits, "7 or 8")->check(CLI::IsMember({0, 7, 8}));
    Cmd->add_option("--stop-bits", siteOpt.StopBits, "1 or 2")->check(CLI::IsMember({0, 1, 2}));
    Cmd->add_option("--modem-number", siteOpt.ModemNumber,
                    "dial this number through the modem on the port");
    Cmd->add_option("--folder", siteOpt.Folder,
                    "the site's folder for its backups (default: sites/NAME in the data folder)");
    Cmd->add_option("--password-file", conn.PasswordFile,
                    "the system password from FILE (else KXTA_PASSWORD, or --password)");
    Cmd->add_option("--password", conn.Password, "the system password (seen in the process list)");
    Cmd->add_flag("--no-password")->description(
        "the site has no password of its own: the settings' serves");
  };
  CLI::App* sitesAdd = sites->add_subcommand("add", "add a site");
  siteFields(sitesAdd);
  CLI::App* sitesChange =
      sites->add_subcommand("change", "change the given settings of a site, the others stay");
  siteFields(sitesChange);
  CLI::App* sitesRemove = sites->add_subcommand(
      "remove", "remove a site (and its password from the keyring); its backups stay");
  sitesRemove->add_option("name", siteOpt.Name, "the site's name")->required();

  CLI::App* dump = app.add_subcommand("dump", "store the PBX's complete listing (\"ALL\")");
  AddConnectionOptions(dump, conn);
  dump->add_option("-o,--output", output, "the file to write")->required();

  CLI::App* exportCmd = app.add_subcommand(
      "export", "print every non-empty block text of the file, one per line, in file order");
  exportCmd->add_option("file", file, "the data file (FILE.ta)")->required();

  CLI::App* diff = app.add_subcommand(
      "diff",
      "print the blocks whose text differs, by head (\"- \" A's line, \"+ \" B's line); exit 0 "
      "when equal, 1 when different; --site NAME instead of two files: the site's last read "
      "kept against its PBX now");
  diff->add_option("a", file, "first data file (A.ta)");
  diff->add_option("b", fileB, "second data file (B.ta)");
  bool longDiff = false;
  // With --site instead of two files it connects: the site's last read kept against its PBX now.
  AddConnectionOptions(diff, conn);
  diff->add_flag("--long", longDiff,
                 "one line per changed item: head, program name, item, 'old' -> 'new'");

  CLI::App* check = app.add_subcommand(
      "check",
      "check every block of the data file against the PBX's program table, and the extension "
      "numbers together (one number per port, one numbering plan): one line per value the PBX "
      "would refuse, then a count; exit 0 when clean, 1 with problems");
  check->add_option("file", file, "the data file (FILE.ta)")->required();

  bool force = false;
  CLI::App* import = app.add_subcommand(
      "import",
      "read a text as export prints it (one program line per line; blank lines and # comments "
      "allowed) into a data file; every line is checked and nothing is written unless all pass");
  import->add_option("text", file, "the text file")->required();
  import->add_option("-o,--output", output, "the data file to write (FILE.ta)")->required();
  import->add_flag("--force", force,
                   "also write lines whose only problem is a value out of range (never unknown, "
                   "malformed or repeated lines)");

  int model = 0;
  CLI::App* newCmd = app.add_subcommand(
      "new",
      "write a data file of the factory configuration of a new PBX, to prepare an installation "
      "offline (every line changed, as a loaded file: an upload sends it all)");
  newCmd->add_option("-o,--output", output, "the data file to write (FILE.ta); never replaced")
      ->required();
  newCmd->add_option("--model", model, "308, 616 or 624 (default: the model of the settings)")
      ->check(CLI::IsMember({308, 616, 624}));
  newCmd->add_option("--settings", conn.Settings, "use this settings file instead of TALVEN.INI");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    // A word kxta does not know is said first (CLI11 would name a missing required option
    // instead), then the usage of the command in use.
    const CLI::App* in = &app;
    for (const CLI::App* sub : app.get_subcommands()) in = sub;
    const std::vector<std::string> unknown = app.remaining(true);
    std::fprintf(stderr, "kxta: %s\n%s",
                 unknown.empty() ? e.what() : ("unknown option or word " + unknown.front()).c_str(),
                 in->help(in == &app ? "" : "kxta").c_str());
    return kExitUsage;
  }

  TTerminalFeedback fb(stderr, ::isatty(STDERR_FILENO) != 0, conn.Yes);
  SetFeedback(&fb);
  if (!conn.Password.empty())
    fb.Note("kxta: other users can read --password in the process list; KXTA_PASSWORD or "
            "--password-file FILE keep it out of sight.");
  if (!conn.Password.empty() && !conn.PasswordFile.empty()) {
    fb.ShowOwnError("Give --password or --password-file, not both.");
    SetFeedback(nullptr);
    return kExitUsage;
  }
  int rc = kExitUsage;
  try {
    if (*exportCmd)
      rc = CmdExport(file);
    else if (*diff && !conn.Site.empty() && file.empty())
      rc = CmdDiffSite(conn, longDiff, fb);
    else if (*diff && (!conn.Site.empty() || fileB.empty()))
      fb.ShowOwnError("kxta diff compares two files, or --site NAME with the PBX now.");
    else if (*diff)
      rc = CmdDiff(file, fileB, longDiff);
    else if (*check)
      rc = CmdCheck(file);
    else if (*import)
      rc = CmdImport(file, output, force, fb);
    else if (*read)
      rc = CmdRead(conn, output, fb);
    else if (*upload)
      rc = CmdUpload(conn, file, upFlags, fb);
    else if (*journal)
      rc = CmdJournal(journalLast, journalRun, conn.Site);
    else if (*backup && allSites == !conn.Site.empty())
      fb.ShowOwnError("kxta backup takes --site NAME or --all-sites.");
    else if (*backup && allSites && (!conn.Port.empty() || !conn.Password.empty() ||
                                     !conn.PasswordFile.empty()))
      fb.ShowOwnError("kxta backup --all-sites takes each site's own port and password.");
    else if (*backup)
      rc = CmdBackup(conn, allSites, fb);
    else if (*sitesAdd || *sitesChange) {
      for (CLI::App* cmd : {sitesAdd, sitesChange})
        for (const CLI::Option* o : cmd->get_options())
          if (o->count() > 0) siteOpt.Given.insert(o->get_name());
      rc = CmdSitesSave(siteOpt, sitesAdd->parsed(), conn, fb);
    } else if (*sitesRemove)
      rc = CmdSitesRemove(siteOpt.Name, fb);
    else if (*sites)
      rc = CmdSitesList(fb);
    else if (*dump)
      rc = CmdDump(conn, output, fb);
    else if (*newCmd)
      rc = CmdNew(output, model, conn.Settings, fb);
  } catch (const std::exception& e) {
    fb.ShowError(e.what());
    rc = kExitFailed;
  }
  SetFeedback(nullptr);
  return rc;
}
