// The settings (profile) file in the manner of the Windows profile functions that users' files
// come from: sections and keys match without regard to letter case, values are trimmed, CRLF
// and LF both read, missing things give the default. Every call opens the file anew and closes
// it again; writing a key keeps every other line of the file as it was, in its order.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TIniFile {
 public:
  explicit TIniFile(std::string FileName) : fFileName(std::move(FileName)) {}
  const std::string& FileName() const { return fFileName; }

  std::string ReadString(const std::string& Section, const std::string& Key,
                         const std::string& Default) const;
  // A missing or non-numeric value gives Default.
  int ReadInteger(const std::string& Section, const std::string& Key, int Default) const;
  bool ReadBool(const std::string& Section, const std::string& Key, bool Default) const;
  // Keys and values of a section in file order (first occurrence of a key wins).
  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& Section) const;
  bool SectionExists(const std::string& Section) const;
  // The names of the file's sections in file order, every occurrence (a name given twice is
  // listed twice). Empty also when the file cannot be read.
  std::vector<std::string> Sections() const;

  // Each returns false when the file could not be written; the old file is then untouched.
  bool WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
  bool WriteInteger(const std::string& Section, const std::string& Key, int Value);
  bool WriteBool(const std::string& Section, const std::string& Key, bool Value);
  bool DeleteKey(const std::string& Section, const std::string& Key);
  bool EraseSection(const std::string& Section);

  // Writes between BeginUpdate and EndUpdate are collected (reads see them) and reach the file
  // together, in one replacement, on EndUpdate: a save of several keys that is interrupted
  // anywhere leaves the old file or the new one, never some keys of each. EndUpdate returns
  // false when the file could not be read or written; the old file is then untouched.
  void BeginUpdate();
  bool EndUpdate();

  struct TText;  // the file as lines

 private:
  std::optional<TText> Current() const;
  bool Save(const TText& Text);

  std::string fFileName;
  std::shared_ptr<TText> fPending;  // the text being updated, while BeginUpdate is in force
  bool fUpdating = false, fPendingDirty = false, fPendingFailed = false;
};

// Longest line and largest file the reader takes; anything longer is not a settings file.
constexpr size_t kMaxProfileLine = 4096;
constexpr size_t kMaxProfileFile = 4 * 1024 * 1024;
