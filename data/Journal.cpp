#include "Journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <map>

#include "CmdData.h"  // AnswerConfirms
#include "Errors.h"  // Format
#include "Paths.h"
#include "SafeFile.h"

namespace {

// Fields are separated by tabs; a tab, a line end or a backslash inside a field is escaped.
std::string Escape(const std::string& S) {
  std::string out;
  for (char c : S) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& S) {
  std::string out;
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] != '\\' || i + 1 == S.size()) {
      out += S[i];
      continue;
    }
    const char n = S[++i];
    out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
  }
  return out;
}

std::vector<std::string> Fields(const std::string& Line) {
  std::vector<std::string> f;
  size_t from = 0;
  for (;;) {
    const size_t tab = Line.find('\t', from);
    f.push_back(Unescape(Line.substr(from, tab == std::string::npos ? std::string::npos : tab - from)));
    if (tab == std::string::npos) return f;
    from = tab + 1;
  }
}

std::string Join(const std::vector<std::string>& F) {
  std::string line;
  for (size_t i = 0; i < F.size(); ++i) line += (i ? "\t" : "") + Escape(F[i]);
  return line + "\n";
}

std::string LocalTime() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

}  // namespace

std::string JournalFile() {
  // A journal of its own per site or per test run: KXTA_JOURNAL names the file.
  if (const char* own = std::getenv("KXTA_JOURNAL"); own && own[0]) return own;
  return AppPaths().StateDir + "uploads.journal";
}

std::string BytesHash(const std::string& Bytes) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : Bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return Format("%016llx", static_cast<unsigned long long>(h));
}

namespace {

// The words an entry begins with; a file of which no line begins so is no journal.
const char* const kEntryWords[] = {"run", "backup", "send", "line", "end"};

bool LooksLikeJournal(const std::string& Text) {
  size_t from = 0;
  while (from < Text.size()) {
    size_t end = Text.find('\n', from);
    if (end == std::string::npos) end = Text.size();
    for (const char* w : kEntryWords) {
      const size_t n = std::strlen(w);
      if (end - from > n && Text.compare(from, n, w) == 0 && Text[from + n] == '\t') return true;
    }
    from = end + 1;
  }
  return false;
}

bool OutcomeOfWord(const std::string& Word, TWriteOutcome& Outcome) {
  for (const TWriteOutcome o : {TWriteOutcome::Confirmed, TWriteOutcome::Differs,
                                TWriteOutcome::NoAnswer, TWriteOutcome::NotSent})
    if (Word == OutcomeWord(o)) {
      Outcome = o;
      return true;
    }
  return false;
}

}  // namespace

const char* OutcomeWord(TWriteOutcome Outcome) {
  switch (Outcome) {
    case TWriteOutcome::Confirmed: return "confirmed";
    case TWriteOutcome::Differs: return "differs";
    case TWriteOutcome::NoAnswer: return "no-answer";
    case TWriteOutcome::NotSent: return "not-sent";
  }
  return "no-answer";
}

std::vector<TJournalRun> ParseJournal(const std::string& Text) {
  // Entries carry their run's id: runs of two programs uploading at the same time interleave.
  struct TOpen {
    size_t Run;
    bool Intent = false;  // the run's last block is an entry of intent still without outcome
  };
  std::vector<TJournalRun> runs;
  std::map<std::string, TOpen> byId;
  size_t from = 0;
  for (;;) {
    const size_t end = Text.find('\n', from);
    if (end == std::string::npos) break;  // a cut last line is no entry
    const std::string line = Text.substr(from, end - from);
    from = end + 1;
    // Closed by a later writer after a cut: whatever it holds is part of an entry.
    if (!line.empty() && line.back() == '\r') continue;
    const std::vector<std::string> f = Fields(line);
    // Ten fields name the site; runs of earlier versions have nine.
    if (f[0] == "run" && (f.size() == 9 || f.size() == 10)) {
      TJournalRun r;
      r.Time = f[2], r.Device = f[3], r.Version = f[4], r.Source = f[5], r.Hash = f[6];
      r.Mode = f[7], r.Backup = f[8];
      if (f.size() == 10) r.Site = f[9];
      byId[f[1]] = {runs.size()};
      runs.push_back(std::move(r));
      continue;
    }
    if (f.size() < 2) continue;
    const auto it = byId.find(f[1]);
    if (it == byId.end() || !runs[it->second.Run].End.empty()) continue;
    TJournalRun& r = runs[it->second.Run];
    TOpen& open = it->second;
    if (f[0] == "backup" && f.size() == 3) {
      r.Backup = f[2];
    } else if (f[0] == "send" && f.size() == 5) {
      r.Blocks.push_back({f[2], f[3], f[4], std::string(), TWriteOutcome::NoAnswer});
      open.Intent = true;
    } else if (f[0] == "line" && (f.size() == 7 || f.size() == 8)) {
      // Seven fields: an earlier version's entry, which tells only whether the PBX took it.
      TWriteOutcome outcome = f[6] == "1" ? TWriteOutcome::Confirmed : TWriteOutcome::NoAnswer;
      if (f.size() == 8 && !OutcomeOfWord(f[7], outcome)) continue;
      const TJournalBlock b{f[2], f[3], f[4], f[5], outcome};
      if (open.Intent && r.Blocks.back().Sent == b.Sent)
        r.Blocks.back() = b;
      else
        r.Blocks.push_back(b);
      open.Intent = false;
    } else if (f[0] == "end" && f.size() == 4) {
      r.EndTime = f[2], r.End = f[3];
    }
  }
  return runs;
}

TJournalState ReadJournal(const std::string& Path, std::vector<TJournalRun>& Runs,
                          std::string& Why) {
  Runs.clear();
  bool any = false;
  for (const std::string& file : {Path + ".1", Path}) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) continue;
    any = true;
    std::string text, why;
    if (!ReadFileUpTo(file, kJournalReadLimit, text, why)) {
      Why = "Cannot read the upload journal " + file + ": " + why + ".";
      return TJournalState::Failed;
    }
    if (!text.empty() && !LooksLikeJournal(text)) {
      Why = "The file " + file + " is not an upload journal: none of its lines is an entry.";
      return TJournalState::Failed;
    }
    for (TJournalRun& r : ParseJournal(text)) Runs.push_back(std::move(r));
  }
  if (!any) {
    Why = "the journal " + Path + " does not exist";
    return TJournalState::Missing;
  }
  return TJournalState::Read;
}

std::vector<TJournalRun> ReadJournal(const std::string& Path) {
  std::vector<TJournalRun> runs;
  std::string why;
  ReadJournal(Path, runs, why);
  return runs;
}

bool JournalBlockUnchanged(const TJournalBlock& Block) {
  return Block.Taken() && !Block.Before.empty() && AnswerConfirms(Block.Sent, Block.Before);
}

std::vector<std::string> JournalRunLines(const TJournalRun& Run, bool Full, bool ChangedOnly) {
  int count[4] = {};
  for (const TJournalBlock& b : Run.Blocks) ++count[static_cast<int>(b.Outcome)];
  std::string written = Format("%d lines: %d confirmed", int(Run.Blocks.size()),
                               count[int(TWriteOutcome::Confirmed)]);
  if (const int n = count[int(TWriteOutcome::Differs)])
    written += Format(", %d answered with another line", n);
  if (const int n = count[int(TWriteOutcome::NoAnswer)])
    written += Format(", %d refused or unconfirmed", n);
  if (const int n = count[int(TWriteOutcome::NotSent)]) written += Format(", %d not sent", n);
  std::vector<std::string> lines = {
      Format("%s  %s%s  %s  %s  %s: %s, %s", Run.Time.c_str(),
             Run.Site.empty() ? "" : ("site " + Run.Site + "  ").c_str(), Run.Device.c_str(),
             Run.Version.c_str(),
             Run.Source.empty() ? "(configuration in the window)" : Run.Source.c_str(),
             Run.Mode.c_str(), written.c_str(),
             Run.End.empty() ? "did not end (the program stopped)" : ("ended " + Run.End).c_str())};
  if (!Run.Backup.empty()) lines.push_back("  backup: " + Run.Backup);
  int unchanged = 0;
  if (Full)
    for (const TJournalBlock& b : Run.Blocks) {
      if (ChangedOnly && JournalBlockUnchanged(b)) {
        ++unchanged;
        continue;
      }
      static const char* const kMarks[] = {"ok       ", "DIFFERS  ", "NOT OK   ", "NOT SENT "};
      std::string line = Format("  %s%s: '%s' -> '%s'", kMarks[static_cast<int>(b.Outcome)],
                                b.Head.c_str(), b.Before.c_str(), b.Sent.c_str());
      if (b.Outcome == TWriteOutcome::Differs)
        line += Format(" (the PBX answered '%s')", b.Answer.c_str());
      lines.push_back(line);
    }
  if (unchanged > 0)
    lines.push_back(Format(unchanged == 1 ? "  (%d line the PBX held already as it was sent is not shown)"
                                          : "  (%d lines the PBX held already as they were sent are not shown)",
                           unchanged));
  return lines;
}

std::string JournalRunText(const TJournalRun& Run, bool Full, bool ChangedOnly) {
  std::string text;
  for (const std::string& line : JournalRunLines(Run, Full, ChangedOnly)) text += (text.empty() ? "" : "\n") + line;
  return text;
}

TJournalWriter::~TJournalWriter() {
  if (fFd >= 0) ::close(fFd);
}

bool TJournalWriter::Put(std::vector<std::string> F, bool Sync) {
  if (fFd < 0) return false;
  F.insert(F.begin() + 1, fId);
  std::string line = Join(F);
  // A line left without its end (a kill or a full disk cut it) is closed first, with "\r"
  // before the line end: no entry holds that byte, so no reader takes the cut line for one.
  struct stat st {};
  char last = '\n';
  if (::fstat(fFd, &st) == 0 && st.st_size > 0 && ::pread(fFd, &last, 1, st.st_size - 1) == 1 &&
      last != '\n')
    line = "\r\n" + line;
  // One write() in all but the rarest case: only a signal or a full disk writes less, and then
  // the rest either follows or fails.
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fFd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (done < line.size() || (Sync && ::fsync(fFd) != 0)) {
    if (fError.empty())
      fError = "Cannot write the upload journal " + fPath + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool TJournalWriter::Begin(const std::string& Path, const TJournalRun& Run, std::string& Error) {
  static int runsBegun = 0;
  fPath = Path;
  fError.clear();
  struct stat st{};
  if (::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kJournalRotateBytes)
    std::rename(Path.c_str(), (Path + ".1").c_str());
  std::string why;
  fFd = OpenAppendFile(Path, 0600, why, true);
  if (fFd < 0) {
    Error = "Cannot write the upload journal " + Path + ": " + why;
    return false;
  }
  // The count keeps apart two runs of one program begun within a second.
  fId = Format("%d-%lld-%d", static_cast<int>(::getpid()), static_cast<long long>(std::time(nullptr)),
               ++runsBegun);
  std::vector<std::string> fields = {"run", Run.Time.empty() ? LocalTime() : Run.Time, Run.Device,
                                     Run.Version, Run.Source, Run.Hash, Run.Mode, Run.Backup};
  // Only a site's run has the tenth field: a journal without sites stays as earlier versions
  // read it.
  if (!Run.Site.empty()) fields.push_back(Run.Site);
  if (!Put(std::move(fields), true)) {
    Error = fError;
    ::close(fFd);
    fFd = -1;
    return false;
  }
  return true;
}

bool TJournalWriter::Backup(const std::string& File) { return Put({"backup", File}, true); }

bool TJournalWriter::Intent(const TJournalBlock& B) {
  return Put({"send", B.Head, B.Before, B.Sent}, false);
}

bool TJournalWriter::Outcome(const TJournalBlock& B) {
  return Put({"line", B.Head, B.Before, B.Sent, B.Answer, B.Taken() ? "1" : "0",
              OutcomeWord(B.Outcome)},
             true);
}

bool TJournalWriter::End(const std::string& Result) {
  const bool ok = Put({"end", LocalTime(), Result}, true);
  if (fFd >= 0) ::close(fFd);
  fFd = -1;
  return ok;
}
