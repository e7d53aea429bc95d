// The site book: the PBXes a technician looks after, by name, each with its note, model,
// connection and (where no keyring keeps it) system password. A profile file of its own beside
// TALVEN.INI, one section per site; foreign lines and keys stay where they are.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct TSettings;

// A connection setting left empty (0, "") takes the value of TALVEN.INI.
struct TSite {
  std::string Name;
  std::string Note;         // customer, address
  int Model = -1;           // 0 KX-TA308, 1 KX-TA616, 2 KX-TA624; -1: the settings' model
  std::string Port;         // what --port takes: COMn, a device path, rfc2217:// or tcp://, demo
  int Speed = 0;            // bit/s
  std::string Parity;       // none, odd, even, mark, space
  int DataBits = 0;         // 7 or 8
  int StopBits = 0;         // 1 or 2
  std::string ModemNumber;  // dialled through the modem on Port
  std::string Folder;       // the site's own folder; empty: "sites/NAME/" (SiteFolder)
  // Where the system password is: the book's Password, or the keyring. Neither: the settings'.
  std::string Password;
  bool InKeyring = false;
};

// Limits of what a site book holds; beyond them it is no site book of this program.
constexpr size_t kMaxSites = 1000;
constexpr size_t kMaxSiteName = 40;
constexpr size_t kMaxSiteNote = 200;
constexpr size_t kMaxSitePort = 255;
constexpr size_t kMaxModemNumber = 32;

// Why Name cannot name a site (it names a folder too): empty when it can.
std::string SiteNameProblem(const std::string& Name);

class TSiteBook {
 public:
  explicit TSiteBook(std::string File) : fFile(std::move(File)) {}
  const std::string& File() const { return fFile; }

  // Reads the book; a missing file is an empty book. False with the reason for a file that
  // cannot be read, is too large, or holds more sites than any book: nothing is taken then,
  // and no save is made (the file stays as it is).
  bool Load(std::string& Error);
  const std::vector<TSite>& Sites() const { return fSites; }
  // A site whose values cannot be used, with the reason; it stays in the file as it is.
  const std::vector<std::pair<std::string, std::string>>& Damaged() const { return fDamaged; }
  // The site of that name (letter case aside); null when there is none. Why says so, or
  // why a damaged site cannot be used.
  const TSite* Find(const std::string& Name, std::string& Why) const;

  // Writes Site's keys into its section (a new section for a new name); the other lines of
  // the file stay. The file is replaced as a whole and is its owner's alone.
  bool Save(const TSite& Site, std::string& Error);
  bool Remove(const std::string& Name, std::string& Error);

 private:
  bool Loaded(std::string& Error) const;
  std::string fFile;
  bool fLoaded = false;
  std::vector<TSite> fSites;
  std::vector<std::pair<std::string, std::string>> fDamaged;
};

// KXTA_SITES, else "sites.ini" in the settings folder.
std::string SiteBookFile();
// The site's folder, with a trailing "/": its Folder, else "sites/NAME/" in the data folder (or
// beside a book that KXTA_SITES names, so that such a book keeps its sites with it).
std::string SiteFolder(const TSite& Site);
std::string SiteBackupsDir(const TSite& Site);
// The connection in a few words: "/dev/ttyUSB0 9600 8N1", "modem 0301234 on COM1".
std::string SiteConnectionText(const TSite& Site);
// Settings with the site's model and line settings in place of the settings file's; the port
// and password are the caller's (they go to the session as they are).
void ApplySiteSettings(const TSite& Site, TSettings& Settings);
// "none".."space" as the settings' index, -1 when it is none of them.
int ParityIndexOf(const std::string& Name);
