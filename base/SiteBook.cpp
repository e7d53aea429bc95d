#include "SiteBook.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Errors.h"  // Format
#include "Paths.h"
#include "Profile.h"
#include "SafeFile.h"
#include "Settings.h"
#include "Text.h"

namespace {

const char* const kParities[] = {"none", "odd", "even", "mark", "space"};
const int kSpeeds[] = {1200, 2400, 4800, 9600};

bool Printable(const std::string& S) {
  for (unsigned char c : S)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

// Reads one site's keys; false with the reason for the first value that cannot be used.
bool ReadSite(const TIniFile& Ini, const std::string& Name, TSite& S, std::string& Why) {
  S = TSite();
  S.Name = Name;
  if (Why = SiteNameProblem(Name); !Why.empty()) return false;
  const auto text = [&](const char* Key, size_t Limit, std::string& To) {
    To = Ini.ReadString(Name, Key, "");
    if (To.size() > Limit) Why = Format("%s is longer than %zu characters", Key, Limit);
    else if (!Printable(To)) Why = std::string(Key) + " holds a control character";
    return Why.empty();
  };
  const auto number = [&](const char* Key, int& To, auto Valid, const char* Takes) {
    const std::string v = Ini.ReadString(Name, Key, "");
    if (v.empty()) return true;
    if (TryStrToInt(v, To) && Valid(To)) return true;
    Why = std::string(Key) + " '" + EscapeUnprintable(v) + "' is not " + Takes;
    return false;
  };
  std::string model, keyring;
  if (!text("Note", kMaxSiteNote, S.Note) || !text("Port", kMaxSitePort, S.Port) ||
      !text("ModemNumber", kMaxModemNumber, S.ModemNumber) ||
      !text("Folder", kMaxSitePort, S.Folder) || !text("Password", kMaxPasswordLen, S.Password) ||
      !text("Parity", 5, S.Parity) || !text("Keyring", 3, keyring))
    return false;
  int modelNo = 0;
  if (!number("Model", modelNo, [](int M) { return M == 308 || M == 616 || M == 624; },
              "308, 616 or 624") ||
      !number("Speed", S.Speed, [](int V) { return V == 1200 || V == 2400 || V == 4800 || V == 9600; },
              "1200, 2400, 4800 or 9600") ||
      !number("DataBits", S.DataBits, [](int V) { return V == 7 || V == 8; }, "7 or 8") ||
      !number("StopBits", S.StopBits, [](int V) { return V == 1 || V == 2; }, "1 or 2"))
    return false;
  S.Model = modelNo == 308 ? 0 : modelNo == 616 ? 1 : modelNo == 624 ? 2 : -1;
  if (!S.Parity.empty() && ParityIndexOf(S.Parity) < 0) {
    Why = "Parity '" + S.Parity + "' is not none, odd, even, mark or space";
    return false;
  }
  if (S.ModemNumber.find_first_not_of("0123456789*#,WPTwpt ") != std::string::npos) {
    Why = "ModemNumber '" + S.ModemNumber + "' holds more than digits, * # , W P T";
    return false;
  }
  if (!S.Folder.empty() && S.Folder[0] != '/') {
    Why = "Folder '" + S.Folder + "' is not an absolute path";
    return false;
  }
  S.InKeyring = keyring == "1" || SameTextAscii(keyring, "yes");
  return true;
}

}  // namespace

int ParityIndexOf(const std::string& Name) {
  for (int i = 0; i < 5; ++i)
    if (SameTextAscii(Name, kParities[i])) return i;
  return -1;
}

std::string SiteNameProblem(const std::string& Name) {
  if (Name.empty()) return "a site needs a name";
  if (Name.size() > kMaxSiteName)
    return Format("the name is longer than %zu characters", kMaxSiteName);
  // The name is a folder's name too, and a section's: letters, digits, blanks, ". _ - & +".
  for (char c : Name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          std::strchr(" ._-&+", c)))
      return "'" + EscapeUnprintable(Name) +
             "': a site's name holds letters, digits, blanks and . _ - & + only";
  if (Name[0] == '.' || Name[0] == ' ' || Name.back() == ' ')
    return "'" + Name + "': a site's name begins with no dot or blank and ends with no blank";
  return std::string();
}

bool TSiteBook::Load(std::string& Error) {
  fLoaded = false;
  fSites.clear();
  fDamaged.clear();
  struct stat st {};
  if (::stat(fFile.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    fLoaded = true;
    return true;
  }
  std::string text, why;
  bool tooLarge = false;
  if (!ReadFileUpTo(fFile, kMaxProfileFile, text, why, &tooLarge)) {
    Error = "Cannot read the site book " + fFile + ": " +
            (tooLarge ? Format("it is larger than %zu bytes", kMaxProfileFile) : why) + ".";
    return false;
  }
  const TIniFile ini(fFile);
  const std::vector<std::string> names = ini.Sections();
  if (names.size() > kMaxSites) {
    Error = Format("The site book %s holds %zu sections; a site book holds at most %zu sites.",
                   fFile.c_str(), names.size(), kMaxSites);
    return false;
  }
  for (size_t i = 0; i < names.size(); ++i) {
    bool twice = false;
    for (size_t j = 0; j < i; ++j) twice = twice || SameTextAscii(names[i], names[j]);
    if (twice) {
      // The reader takes the first section of a name; the second would be edited never.
      fDamaged.emplace_back(names[i], "the site is given twice; the first one counts");
      continue;
    }
    TSite s;
    std::string bad;
    if (ReadSite(ini, names[i], s, bad))
      fSites.push_back(std::move(s));
    else
      fDamaged.emplace_back(names[i], bad);
  }
  fLoaded = true;
  return true;
}

const TSite* TSiteBook::Find(const std::string& Name, std::string& Why) const {
  for (const TSite& s : fSites)
    if (SameTextAscii(s.Name, Name)) return &s;
  for (const auto& [name, why] : fDamaged)
    if (SameTextAscii(name, Name)) {
      Why = "The site \"" + name + "\" in " + fFile + " cannot be used: " + why + ".";
      return nullptr;
    }
  Why = "No site \"" + EscapeUnprintable(Name) + "\" in the site book " + fFile +
        " (kxta sites lists them).";
  return nullptr;
}

bool TSiteBook::Loaded(std::string& Error) const {
  if (fLoaded) return true;
  Error = "The site book " + fFile + " was not read; nothing was changed.";
  return false;
}

bool TSiteBook::Save(const TSite& Site, std::string& Error) {
  if (!Loaded(Error)) return false;
  if (const std::string why = SiteNameProblem(Site.Name); !why.empty()) {
    Error = "Cannot save the site: " + why + ".";
    return false;
  }
  for (const std::string* v : {&Site.Note, &Site.Port, &Site.ModemNumber, &Site.Folder,
                               &Site.Password})
    if (!Printable(*v)) {
      Error = "Cannot save the site \"" + Site.Name + "\": a value holds a control character.";
      return false;
    }
  // The section keeps the name as the file spells it; a new one takes the name given.
  std::string section = Site.Name;
  for (const TSite& s : fSites)
    if (SameTextAscii(s.Name, Site.Name)) section = s.Name;
  TIniFile ini(fFile);
  ini.BeginUpdate();
  const auto put = [&](const char* Key, const std::string& Value) {
    if (Value.empty())
      ini.DeleteKey(section, Key);
    else
      ini.WriteString(section, Key, Value);
  };
  const auto num = [](int V) { return V > 0 ? std::to_string(V) : std::string(); };
  static const char* const kModels[] = {"308", "616", "624"};
  put("Note", Site.Note);
  put("Model", Site.Model >= 0 && Site.Model <= 2 ? kModels[Site.Model] : "");
  put("Port", Site.Port);
  put("Speed", num(Site.Speed));
  put("Parity", Site.Parity);
  put("DataBits", num(Site.DataBits));
  put("StopBits", num(Site.StopBits));
  put("ModemNumber", Site.ModemNumber);
  put("Folder", Site.Folder);
  put("Password", Site.InKeyring ? std::string() : Site.Password);
  put("Keyring", Site.InKeyring ? "yes" : "");
  // A site without a single key would leave no section behind: the name alone is a site.
  if (!ini.SectionExists(section)) ini.WriteString(section, "Note", "");
  if (!ini.EndUpdate()) {
    Error = "Cannot write the site book " + fFile + "; it is as it was.";
    return false;
  }
  // It may hold system passwords: the owner's alone, also a book that came readable by others.
  ::chmod(fFile.c_str(), 0600);
  std::string why;
  return Load(why) || (Error = why, false);
}

bool TSiteBook::Remove(const std::string& Name, std::string& Error) {
  if (!Loaded(Error)) return false;
  TIniFile ini(fFile);
  if (!ini.SectionExists(Name)) {
    Error = "No site \"" + Name + "\" in the site book " + fFile + ".";
    return false;
  }
  if (!ini.EraseSection(Name)) {
    Error = "Cannot write the site book " + fFile + "; it is as it was.";
    return false;
  }
  std::string why;
  return Load(why) || (Error = why, false);
}

std::string SiteBookFile() {
  if (const char* own = std::getenv("KXTA_SITES"); own && own[0]) return own;
  return AppPaths().ConfigDir + "sites.ini";
}

std::string SiteFolder(const TSite& Site) {
  if (!Site.Folder.empty())
    return Site.Folder.back() == '/' ? Site.Folder : Site.Folder + "/";
  std::string root = AppPaths().DataDir;
  if (const char* own = std::getenv("KXTA_SITES"); own && own[0]) {
    const std::string book = own;
    const size_t slash = book.rfind('/');
    root = slash == std::string::npos ? std::string("./") : book.substr(0, slash + 1);
  }
  return root + "sites/" + Site.Name + "/";
}

std::string SiteBackupsDir(const TSite& Site) { return SiteFolder(Site) + "backups/"; }

std::string SiteConnectionText(const TSite& Site) {
  std::string line = Site.Port.empty() ? std::string("the settings' port") : Site.Port;
  if (Site.Speed) line += " " + std::to_string(Site.Speed);
  if (Site.DataBits || !Site.Parity.empty() || Site.StopBits)
    line += Format(" %s%c%s", Site.DataBits ? std::to_string(Site.DataBits).c_str() : "-",
                   Site.Parity.empty() ? '-' : static_cast<char>(std::toupper(Site.Parity[0])),
                   Site.StopBits ? std::to_string(Site.StopBits).c_str() : "-");
  if (!Site.ModemNumber.empty()) line = "modem " + Site.ModemNumber + " on " + line;
  return line;
}

void ApplySiteSettings(const TSite& Site, TSettings& Settings) {
  if (Site.Model >= 0) Settings.PBXtype = static_cast<uint8_t>(Site.Model);
  for (int i = 0; i < 4; ++i)
    if (Site.Speed == kSpeeds[i]) Settings.Com.Speed = i;
  if (const int p = ParityIndexOf(Site.Parity); p >= 0) Settings.Com.Parity = p;
  if (Site.DataBits) Settings.Com.WordLen = Site.DataBits == 7 ? 0 : 1;
  if (Site.StopBits) Settings.Com.StopBits = Site.StopBits == 2 ? 1 : 0;
}
