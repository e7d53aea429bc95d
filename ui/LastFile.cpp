#include "LastFile.h"

#include <algorithm>

#include "Profile.h"

namespace {
const char* const kSection = "LastFiles";
}

void TRecentFiles::Load() {
  const TIniFile ini(fSettingsFile);
  fMax = std::min(ini.ReadInteger(kSection, "MaxNumItems", 3), kMaxItems);
  if (fMax < 0) fMax = 0;
  const int n = std::clamp(ini.ReadInteger(kSection, "NumItems", 0), 0, fMax);
  fEntries.clear();
  for (int i = 1; i <= n; ++i)
    fEntries.push_back(ini.ReadString(kSection, "File" + std::to_string(i), "?"));
}

void TRecentFiles::Save() const {
  TIniFile ini(fSettingsFile);
  ini.EraseSection(kSection);
  ini.WriteInteger(kSection, "MaxNumItems", fMax);
  ini.WriteInteger(kSection, "NumItems", static_cast<int>(fEntries.size()));
  for (size_t i = 0; i < fEntries.size(); ++i)
    ini.WriteString(kSection, "File" + std::to_string(i + 1), fEntries[i]);
}

void TRecentFiles::Add(const std::string& Path) {
  auto it = std::find(fEntries.begin(), fEntries.end(), Path);
  if (it != fEntries.end()) {
    std::iter_swap(fEntries.begin(), it);
  } else if (fMax > 0) {
    fEntries.insert(fEntries.begin(), Path);
    if (static_cast<int>(fEntries.size()) > fMax) fEntries.resize(static_cast<size_t>(fMax));
  }
  Save();
}

void TRecentFiles::Remove(const std::string& Path) {
  auto it = std::find(fEntries.begin(), fEntries.end(), Path);
  if (it != fEntries.end()) fEntries.erase(it);
}
