// Loading and saving the settings: the sections, keys, defaults and write orders of TALVEN.INI.
#include "Settings.h"

#include <algorithm>

#include "Errors.h"
#include "Feedback.h"
#include "Paths.h"
#include "Profile.h"
#include "Text.h"

namespace {

const char* const kComm = "Communications";
const char* const kSystem = "System";
const char* const kWarnings = "Warnings";
const char* const kSounds = "Sounds";
const char* const kNetwork = "Network";
constexpr size_t kMaxHostLen = 253;

std::string Cut(std::string S, size_t Limit) {
  if (S.size() > Limit) S.resize(Limit);
  return S;
}

// An index setting outside its choices would select nothing sensible: it reads as the default.
int ReadChoice(const TIniFile& Ini, const char* Key, int Default, int Count) {
  const int v = Ini.ReadInteger(kComm, Key, Default);
  return v >= 0 && v < Count ? v : Default;
}

}  // namespace

void LoadSettings(TSettings& S) { LoadSettings(S, AppPaths().SettingsFile()); }
void LoadComSettings(TComSettings& C) { LoadComSettings(C, AppPaths().SettingsFile()); }
void SaveSettings(const TSettings& S) { SaveSettings(S, AppPaths().SettingsFile()); }
void SaveComSettings(const TComSettings& C) { SaveComSettings(C, AppPaths().SettingsFile()); }

void LoadSettings(TSettings& S, const std::string& File) {
  const TIniFile ini(File);
  const TSettings d;
  S.Timeout = ini.ReadInteger(kComm, "Timeout", d.Timeout);
  S.NumOfRetries = ini.ReadInteger(kComm, "NumOfRetries", d.NumOfRetries);
  S.WarnOnError = ini.ReadBool(kComm, "WarnOnError", d.WarnOnError);
  S.PackedFile = ini.ReadBool(kComm, "PackedFile", d.PackedFile);
  S.DefaultStationName =
      Cut(ini.ReadString(kSystem, "DefaultStationName", d.DefaultStationName), kMaxStationNameLen);
  const int model = ini.ReadInteger(kSystem, "PBXtype", d.PBXtype);
  S.PBXtype = static_cast<uint8_t>(model >= 0 && model <= 2 ? model : d.PBXtype);
  S.PbxPassword = Cut(ini.ReadString(kSystem, "PbxPassword", d.PbxPassword), kMaxPasswordLen);
  S.ShowConnectWarn = ini.ReadBool(kWarnings, "ShowConnectWarn", d.ShowConnectWarn);
  S.ShowDayModeWarn = ini.ReadBool(kWarnings, "ShowDayModeWarn", d.ShowDayModeWarn);
  for (size_t i = 0; i < S.Sounds.size(); ++i)
    S.Sounds[i] = Cut(ini.ReadString(kSounds, "Sound" + std::to_string(i), ""), kMaxSoundNameLen);
}

void LoadComSettings(TComSettings& C, const std::string& File) {
  const TIniFile ini(File);
  const TComSettings d;
  C.ComPort = ReadChoice(ini, "ComPort", d.ComPort, 4);
  // Out of its range the number works as the nearest one in it; the file keeps what it holds
  // (SaveComSettings) until the user chooses otherwise.
  C.FirstCOMno = std::clamp(ini.ReadInteger(kComm, "FirstCOMno", d.FirstCOMno), 1, kMaxFirstCOMno);
  C.Speed = ReadChoice(ini, "Speed", d.Speed, 4);
  C.WordLen = ReadChoice(ini, "WordLen", d.WordLen, 2);
  C.StopBits = ReadChoice(ini, "StopBits", d.StopBits, 2);
  C.Parity = ReadChoice(ini, "Parity", d.Parity, 5);
  C.UseNetwork = ini.ReadBool(kNetwork, "Use", d.UseNetwork);
  C.NetRfc2217 = ini.ReadString(kNetwork, "Mode", "rfc2217") != "tcp";
  C.NetHost = Cut(ini.ReadString(kNetwork, "Host", ""), kMaxHostLen);
  const int port = ini.ReadInteger(kNetwork, "Port", 0);
  C.NetPort = port >= 1 && port <= 65535 ? port : 0;
}

std::string TComSettings::PortName() const {
  if (!UseNetwork || NetHost.empty() || NetPort == 0) return Format("COM%d", ComNumber());
  return NetworkPortText(NetRfc2217, NetHost, std::to_string(NetPort));
}

// Each save reaches the file as one replacement: interrupted, it leaves the old settings whole.
void SaveSettings(const TSettings& S, const std::string& File) {
  TIniFile ini(File);
  ini.BeginUpdate();
  ini.WriteInteger(kComm, "Timeout", S.Timeout);
  ini.WriteInteger(kComm, "NumOfRetries", S.NumOfRetries);
  ini.WriteBool(kComm, "WarnOnError", S.WarnOnError);
  ini.WriteBool(kComm, "PackedFile", S.PackedFile);
  ini.WriteString(kSystem, "DefaultStationName", S.DefaultStationName);
  ini.WriteInteger(kSystem, "PBXtype", S.PBXtype);
  ini.WriteString(kSystem, "PbxPassword", S.PbxPassword);
  ini.WriteBool(kWarnings, "ShowConnectWarn", S.ShowConnectWarn);
  ini.WriteBool(kWarnings, "ShowDayModeWarn", S.ShowDayModeWarn);
  ini.EndUpdate();
}

// A key is written only where the file lacks it or reads as another value: a value the
// program reads differently (out of range, not a number) stays in the file as the user wrote
// it until the user changes that setting.
void SaveComSettings(const TComSettings& C, const std::string& File) {
  TComSettings held;
  LoadComSettings(held, File);
  TIniFile ini(File);
  ini.BeginUpdate();
  const struct {
    const char* Key;
    int TComSettings::*Field;
  } keys[] = {{"ComPort", &TComSettings::ComPort}, {"FirstCOMno", &TComSettings::FirstCOMno},
              {"Speed", &TComSettings::Speed},     {"WordLen", &TComSettings::WordLen},
              {"StopBits", &TComSettings::StopBits}, {"Parity", &TComSettings::Parity}};
  for (const auto& k : keys) {
    const bool present = ini.ReadString(kComm, k.Key, "\n") != "\n";
    if (!present || held.*k.Field != C.*k.Field) ini.WriteInteger(kComm, k.Key, C.*k.Field);
  }
  // The network keys only once there is something to keep: a technician who never uses a
  // serial server finds the file as before.
  auto present = [&ini](const char* Key) { return ini.ReadString(kNetwork, Key, "\n") != "\n"; };
  if (present("Use") || C.UseNetwork || !C.NetHost.empty() || C.NetPort != 0) {
    if (!present("Use") || held.UseNetwork != C.UseNetwork)
      ini.WriteBool(kNetwork, "Use", C.UseNetwork);
    if (!present("Mode") || held.NetRfc2217 != C.NetRfc2217)
      ini.WriteString(kNetwork, "Mode", C.NetRfc2217 ? "rfc2217" : "tcp");
    if (!present("Host") || held.NetHost != C.NetHost) ini.WriteString(kNetwork, "Host", C.NetHost);
    if (!present("Port") || held.NetPort != C.NetPort) ini.WriteInteger(kNetwork, "Port", C.NetPort);
  }
  ini.EndUpdate();
}

void PlaySoundCue(const TSettings& S, int N) {
  if (N < 0 || N >= static_cast<int>(S.Sounds.size())) return;
  const std::string& name = S.Sounds[static_cast<size_t>(N)];
  if (name.empty()) return;
  Feedback().PlaySound(AppPaths().ResolveProgramFile(name));
}
