// The recent-files list of the File menu, kept in the "LastFiles" section of the settings file.
// The list logic is plain C++; the main window rebuilds its menu from Entries().
#pragma once

#include <string>
#include <vector>

class TRecentFiles {
 public:
  static constexpr int kMaxItems = 10;

  explicit TRecentFiles(std::string SettingsFile) : fSettingsFile(std::move(SettingsFile)) {}

  void Load();
  void Save() const;
  // Known path: trades places with entry 1. New path: becomes entry 1, the rest move down and
  // the last falls off when the list is full. Then saves.
  void Add(const std::string& Path);
  // Drops the path; the file is rewritten at the next Add.
  void Remove(const std::string& Path);

  int MaxNumItems() const { return fMax; }
  const std::vector<std::string>& Entries() const { return fEntries; }

 private:
  std::string fSettingsFile;
  int fMax = 3;
  std::vector<std::string> fEntries;
};
