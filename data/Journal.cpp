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

std::vector<TJournalRun> ParseJournal(const std::string& Text) {
  // Entries carry their run's id: runs of two programs uploading at the same time interleave.
  std::vector<TJournalRun> runs;
  std::map<std::string, size_t> byId;
  size_t from = 0;
  for (;;) {
    const size_t end = Text.find('\n', from);
    if (end == std::string::npos) break;  // a cut last line is no entry
    const std::vector<std::string> f = Fields(Text.substr(from, end - from));
    from = end + 1;
    if (f[0] == "run" && f.size() == 9) {
      TJournalRun r;
      r.Time = f[2], r.Device = f[3], r.Version = f[4], r.Source = f[5], r.Hash = f[6];
      r.Mode = f[7], r.Backup = f[8];
      byId[f[1]] = runs.size();
      runs.push_back(std::move(r));
      continue;
    }
    if (f.size() < 2) continue;
    const auto it = byId.find(f[1]);
    if (it == byId.end() || !runs[it->second].End.empty()) continue;
    TJournalRun& r = runs[it->second];
    if (f[0] == "line" && f.size() == 7)
      r.Blocks.push_back({f[2], f[3], f[4], f[5], f[6] == "1"});
    else if (f[0] == "end" && f.size() == 4)
      r.EndTime = f[2], r.End = f[3];
  }
  return runs;
}

std::vector<TJournalRun> ReadJournal(const std::string& Path) {
  std::vector<TJournalRun> runs = ParseJournal(ReadWholeFile(Path + ".1"));
  for (TJournalRun& r : ParseJournal(ReadWholeFile(Path))) runs.push_back(std::move(r));
  return runs;
}

std::vector<std::string> JournalRunLines(const TJournalRun& Run, bool Full) {
  int taken = 0;
  for (const TJournalBlock& b : Run.Blocks) taken += b.Taken;
  std::vector<std::string> lines = {
      Format("%s  %s  %s  %s  %s: %d lines written, %d refused or unconfirmed, %s",
             Run.Time.c_str(), Run.Device.c_str(), Run.Version.c_str(),
             Run.Source.empty() ? "(configuration in the window)" : Run.Source.c_str(),
             Run.Mode.c_str(), taken, int(Run.Blocks.size()) - taken,
             Run.End.empty() ? "did not end (the program stopped)" : ("ended " + Run.End).c_str())};
  if (!Run.Backup.empty()) lines.push_back("  backup: " + Run.Backup);
  if (Full)
    for (const TJournalBlock& b : Run.Blocks)
      lines.push_back(Format("  %s  %s: '%s' -> '%s'", b.Taken ? "ok     " : "NOT OK ",
                             b.Head.c_str(), b.Before.c_str(), b.Sent.c_str()));
  return lines;
}

std::string JournalRunText(const TJournalRun& Run, bool Full) {
  std::string text;
  for (const std::string& line : JournalRunLines(Run, Full)) text += (text.empty() ? "" : "\n") + line;
  return text;
}

TJournalWriter::~TJournalWriter() {
  if (fFd >= 0) ::close(fFd);
}

bool TJournalWriter::Put(const std::string& Line, std::string* Error) {
  if (fFd < 0) return false;
  const ssize_t n = ::write(fFd, Line.data(), Line.size());
  if (n != static_cast<ssize_t>(Line.size()) || ::fsync(fFd) != 0) {
    if (Error) *Error = std::strerror(errno == 0 ? EIO : errno);
    return false;
  }
  return true;
}

bool TJournalWriter::Begin(const std::string& Path, const TJournalRun& Run, std::string& Error) {
  struct stat st{};
  if (::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kJournalRotateBytes)
    std::rename(Path.c_str(), (Path + ".1").c_str());
  fFd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fFd < 0) {
    Error = "Cannot write the upload journal " + Path + ": " + std::strerror(errno);
    return false;
  }
  std::string why;
  fId = Format("%d-%lld", static_cast<int>(::getpid()), static_cast<long long>(std::time(nullptr)));
  if (!Put(Join({"run", fId, Run.Time.empty() ? LocalTime() : Run.Time, Run.Device, Run.Version,
                 Run.Source, Run.Hash, Run.Mode, Run.Backup}),
           &why)) {
    Error = "Cannot write the upload journal " + Path + ": " + why;
    ::close(fFd);
    fFd = -1;
    return false;
  }
  return true;
}

bool TJournalWriter::Block(const TJournalBlock& B) {
  return Put(Join({"line", fId, B.Head, B.Before, B.Sent, B.Confirmed, B.Taken ? "1" : "0"}), nullptr);
}

bool TJournalWriter::End(const std::string& Result) {
  const bool ok = Put(Join({"end", fId, LocalTime(), Result}), nullptr);
  if (fFd >= 0) ::close(fFd);
  fFd = -1;
  return ok;
}
