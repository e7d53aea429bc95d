#include "SerialPorts.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "Errors.h"
#include "Profile.h"
#include "Text.h"

namespace fs = std::filesystem;

namespace {

// Names of Dir that are Prefix followed by digits only, in number order.
std::vector<std::string> NumberedNames(const fs::path& Dir, const std::string& Prefix) {
  std::vector<std::pair<long, std::string>> found;
  std::error_code ec;
  for (fs::directory_iterator it(Dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= Prefix.size() || name.size() > Prefix.size() + 6 ||
        name.compare(0, Prefix.size(), Prefix) != 0)
      continue;
    const std::string digits = name.substr(Prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    found.emplace_back(std::stol(digits), name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& f : found) names.push_back(std::move(f.second));
  return names;
}

// The legacy 8250 driver registers ttyS0 to ttyS31 whether or not a UART answers; those without
// one hang off the platform bus. Without sysfs nothing is known and the device is kept.
bool PlaceholderUart(const std::string& Root, const std::string& Name) {
  std::error_code ec;
  const fs::path sys = fs::path(Root + "/sys/class/tty") / Name;
  if (!fs::exists(sys, ec)) return false;
  const fs::path subsystem = fs::canonical(sys / "device" / "subsystem", ec);
  if (ec) return true;  // no device behind the tty at all
  return subsystem.filename() == "platform";
}

}  // namespace

std::vector<TSerialPortEntry> ListSerialPorts(const std::string& RootDir) {
  std::string Root = RootDir;
  while (!Root.empty() && Root.back() == '/') Root.pop_back();
  std::vector<TSerialPortEntry> ports;
  const std::string dev = Root + "/dev";
  std::error_code ec;

  std::vector<TSerialPortEntry> byId;
  const fs::path idDir = dev + "/serial/by-id";
  for (fs::directory_iterator it(idDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code linkEc;
    const fs::path target = fs::canonical(it->path(), linkEc);
    if (linkEc) continue;  // unplugged: the link points nowhere
    byId.push_back({it->path().string(), target.string()});
  }
  std::sort(byId.begin(), byId.end(),
            [](const TSerialPortEntry& A, const TSerialPortEntry& B) { return A.Path < B.Path; });
  ports = std::move(byId);

  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    for (const std::string& name : NumberedNames(dev, prefix)) {
      if (std::string(prefix) == "ttyS" && PlaceholderUart(Root, name)) continue;
      ports.push_back({dev + "/" + name, std::string()});
    }
  }
  return ports;
}

std::string ComDeviceMapping(const std::string& SettingsFile, int ComNo) {
  return TrimBlanks(TIniFile(SettingsFile).ReadString("Devices", Format("COM%d", ComNo), ""));
}

bool SetComDeviceMapping(const std::string& SettingsFile, int ComNo, const std::string& Device) {
  TIniFile ini(SettingsFile);
  const std::string key = Format("COM%d", ComNo);
  const std::string value = TrimBlanks(Device);
  if (value.empty()) return ini.DeleteKey("Devices", key);
  return ini.WriteString("Devices", key, value);
}
