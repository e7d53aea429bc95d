// A line-preserving reader and writer of profile files. Lines are kept as read (with their own
// line ends); a write edits the one line it concerns and replaces the file atomically.
#include "Profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <optional>

#include "SafeFile.h"
#include "Text.h"

struct TIniFile::TText {
  std::vector<std::string> Lines;  // without their line ends
  std::string LineEnd = "\n";      // the file's own style, kept on writing
  bool Exists = false;
};

namespace {

using TProfileText = TIniFile::TText;

// Reads the whole file. Fails (nullopt) only for a file that exists and cannot be taken: not
// readable, or too large to be a settings file. A missing file is an empty text.
std::optional<TProfileText> Load(const std::string& FileName) {
  TProfileText t;
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return t;
    return std::nullopt;
  }
  // Only a file: a named pipe would hold the program up for ever, and a device is no settings
  // file either (nor will it be replaced by one).
  std::string all, why;
  if (!ReadFileUpTo(FileName, kMaxProfileFile, all, why)) return std::nullopt;
  t.Exists = true;
  const size_t firstEnd = all.find_first_of("\r\n");
  if (firstEnd != std::string::npos && all[firstEnd] == '\r' && firstEnd + 1 < all.size() &&
      all[firstEnd + 1] == '\n')
    t.LineEnd = "\r\n";
  t.Lines = SplitLines(all);
  return t;
}

// "[Name]" (blanks allowed around it) gives Name.
bool SectionName(const std::string& Line, std::string& Name) {
  if (Line.size() > kMaxProfileLine) return false;
  const std::string t = TrimBlanks(Line);
  if (t.size() < 2 || t.front() != '[') return false;
  const size_t close = t.find(']');
  if (close == std::string::npos) return false;
  Name = TrimBlanks(std::string_view(t).substr(1, close - 1));
  return true;
}

// "Key = Value" gives the trimmed key and value; comment lines are no keys.
bool KeyValue(const std::string& Line, std::string& Key, std::string& Value) {
  if (Line.size() > kMaxProfileLine) return false;
  const std::string t = TrimBlanks(Line);
  if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return false;
  const size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  Key = TrimBlanks(std::string_view(t).substr(0, eq));
  Value = TrimBlanks(std::string_view(t).substr(eq + 1));
  // A value in matching quotes reads without them, as the profile functions do.
  if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
      Value.back() == Value.front())
    Value = Value.substr(1, Value.size() - 2);
  return !Key.empty();
}

// Line range [Begin, End) of the body of the first section called Section; Header is its line.
// End is the next section's header or the end of the file.
bool FindSection(const TProfileText& T, const std::string& Section, size_t& Header,
                 size_t& End) {
  std::string name;
  for (size_t i = 0; i < T.Lines.size(); ++i) {
    if (!SectionName(T.Lines[i], name) || !SameTextAscii(name, Section)) continue;
    Header = i;
    End = i + 1;
    while (End < T.Lines.size() && !SectionName(T.Lines[End], name)) ++End;
    return true;
  }
  return false;
}

bool FindKey(const TProfileText& T, size_t Begin, size_t End, const std::string& Key,
             size_t& Line, std::string& Value) {
  std::string k;
  for (size_t i = Begin; i < End; ++i)
    if (KeyValue(T.Lines[i], k, Value) && SameTextAscii(k, Key)) {
      Line = i;
      return true;
    }
  return false;
}

// Replaces the file (SafeFile.h), so that a failed write never leaves a half-written file.
bool Store(const std::string& FileName, const TProfileText& T) {
  std::string all;
  for (const auto& l : T.Lines) {
    all += l;
    all += T.LineEnd;
  }
  std::string error;
  // Settings files hold the PBX's system password: a new one is the owner's alone.
  return ReplaceFileContents(FileName, all, error, 0600);
}

}  // namespace

std::optional<TProfileText> TIniFile::Current() const {
  if (fUpdating) {
    if (!fPending) return std::nullopt;
    return *fPending;
  }
  return Load(fFileName);
}

bool TIniFile::Save(const TProfileText& Text) {
  if (!fUpdating) return Store(fFileName, Text);
  if (!fPending) return false;
  *fPending = Text;
  fPendingDirty = true;
  return true;
}

void TIniFile::BeginUpdate() {
  if (fUpdating) return;
  fUpdating = true;
  fPendingDirty = false;
  auto t = Load(fFileName);
  fPendingFailed = !t;
  fPending = t ? std::make_shared<TProfileText>(std::move(*t)) : nullptr;
}

bool TIniFile::EndUpdate() {
  if (!fUpdating) return true;
  fUpdating = false;
  const bool ok = !fPendingFailed && (!fPendingDirty || Store(fFileName, *fPending));
  fPending.reset();
  return ok;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Key,
                                 const std::string& Default) const {
  const auto t = Current();
  if (!t) return Default;
  size_t header, end, line;
  std::string value;
  if (!FindSection(*t, Section, header, end)) return Default;
  if (!FindKey(*t, header + 1, end, Key, line, value)) return Default;
  return value;
}

int TIniFile::ReadInteger(const std::string& Section, const std::string& Key,
                          int Default) const {
  int v;
  return TryStrToInt(ReadString(Section, Key, std::string()), v) ? v : Default;
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Key, bool Default) const {
  return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSection(
    const std::string& Section) const {
  std::vector<std::pair<std::string, std::string>> out;
  const auto t = Current();
  size_t header, end;
  if (!t || !FindSection(*t, Section, header, end)) return out;
  std::string k, v;
  for (size_t i = header + 1; i < end; ++i) {
    if (!KeyValue(t->Lines[i], k, v)) continue;
    bool seen = false;
    for (const auto& kv : out)
      if (SameTextAscii(kv.first, k)) seen = true;
    if (!seen) out.emplace_back(k, v);
  }
  return out;
}

bool TIniFile::SectionExists(const std::string& Section) const {
  const auto t = Current();
  size_t header, end;
  return t && FindSection(*t, Section, header, end);
}

std::vector<std::string> TIniFile::Sections() const {
  std::vector<std::string> out;
  const auto t = Current();
  std::string name;
  if (t)
    for (const std::string& l : t->Lines)
      if (SectionName(l, name)) out.push_back(name);
  return out;
}

bool TIniFile::WriteString(const std::string& Section, const std::string& Key,
                           const std::string& Value) {
  // A key, section or value with a line break in it would turn into lines of its own.
  for (const std::string* s : {&Section, &Key, &Value})
    if (s->find_first_of("\r\n") != std::string::npos) return false;
  auto t = Current();
  if (!t) return false;
  // A value that the reader would trim or unquote is written in quotes, so that it reads
  // back as written (the reader takes one pair of matching quotes off).
  const bool quote =
      !Value.empty() && (Value.front() == ' ' || Value.front() == '\t' || Value.back() == ' ' ||
                         Value.back() == '\t' ||
                         (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
                          Value.back() == Value.front()));
  const std::string Stored = quote ? "\"" + Value + "\"" : Value;
  size_t header, end, line;
  std::string old;
  if (!FindSection(*t, Section, header, end)) {
    t->Lines.push_back("[" + Section + "]");
    t->Lines.push_back(Key + "=" + Stored);
  } else if (FindKey(*t, header + 1, end, Key, line, old)) {
    // Keep the key as the file spells it; only the value changes.
    const std::string& l = t->Lines[line];
    size_t keep = l.find('=') + 1;
    while (keep < l.size() && (l[keep] == ' ' || l[keep] == '\t')) ++keep;
    const std::string newLine = l.substr(0, keep) + Stored;
    if (newLine == l) return true;
    t->Lines[line] = newLine;
  } else {
    // After the section's last non-blank line, so that a blank line before the next section
    // stays where it was.
    size_t at = end;
    while (at > header + 1 && TrimBlanks(t->Lines[at - 1]).empty()) --at;
    t->Lines.insert(t->Lines.begin() + static_cast<std::ptrdiff_t>(at), Key + "=" + Stored);
  }
  return Save(*t);
}

bool TIniFile::WriteInteger(const std::string& Section, const std::string& Key, int Value) {
  return WriteString(Section, Key, std::to_string(Value));
}

bool TIniFile::WriteBool(const std::string& Section, const std::string& Key, bool Value) {
  return WriteString(Section, Key, Value ? "1" : "0");
}

bool TIniFile::DeleteKey(const std::string& Section, const std::string& Key) {
  auto t = Current();
  if (!t) return false;
  size_t header, end, line;
  std::string old;
  if (!FindSection(*t, Section, header, end) || !FindKey(*t, header + 1, end, Key, line, old))
    return true;
  t->Lines.erase(t->Lines.begin() + static_cast<std::ptrdiff_t>(line));
  return Save(*t);
}

bool TIniFile::EraseSection(const std::string& Section) {
  auto t = Current();
  if (!t) return false;
  size_t header, end;
  if (!FindSection(*t, Section, header, end)) return true;
  t->Lines.erase(t->Lines.begin() + static_cast<std::ptrdiff_t>(header),
                 t->Lines.begin() + static_cast<std::ptrdiff_t>(end));
  return Save(*t);
}
