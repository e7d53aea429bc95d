// The program's settings and their sections and keys in TALVEN.INI.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// The communication settings record: indexes of the COM port setup dialog.
struct TComSettings {
  int ComPort = 0;     // entry 0 to 3 of the COM list; the port is COM(FirstCOMno + ComPort)
  int FirstCOMno = 1;
  int Speed = 3;       // 0 = 1200, 1 = 2400, 2 = 4800, 3 = 9600 bit/s
  int Parity = 3;      // 0 none, 1 odd, 2 even, 3 mark, 4 space
  int StopBits = 0;    // 0 = 1 bit, 1 = 2 bits
  int WordLen = 1;     // 0 = 7 bits, 1 = 8 bits

  // A serial server on the network instead of the COM port: the [Network] section of the
  // settings file, beside the COM keys, which it leaves as they are.
  bool UseNetwork = false;
  bool NetRfc2217 = true;  // Telnet with RFC 2217, else the raw TCP stream
  std::string NetHost;
  int NetPort = 0;         // 1..65535; 0: none given

  int ComNumber() const { return FirstCOMno + ComPort; }
  // What the session opens: the serial server's address when one is in use, else COMn.
  std::string PortName() const;
  bool operator==(const TComSettings&) const = default;
};

struct TSettings {
  int Timeout = 5000;      // carried only
  int NumOfRetries = 2;    // carried only
  bool WarnOnError = true;  // carried only
  bool PackedFile = true;
  std::string DefaultStationName = "Stn %s";  // carried only, at most 20 characters
  uint8_t PBXtype = 2;                        // 0 KX-TA308, 1 KX-TA616, 2 KX-TA624
  std::string PbxPassword = "7392";           // at most 16 characters
  bool ShowConnectWarn = true;
  bool ShowDayModeWarn = true;
  std::array<std::string, 5> Sounds;  // "Sound0".."Sound4", at most 20 characters each
  TComSettings Com;
};

constexpr size_t kMaxStationNameLen = 20;
// The COM list starts at COM1 to COM252 (four entries after it).
constexpr int kMaxFirstCOMno = 252;
constexpr size_t kMaxPasswordLen = 16;
constexpr size_t kMaxSoundNameLen = 20;

// File defaults to the program's settings file (Paths.h). Nothing here fails loudly: a missing
// or unreadable file gives the defaults and a write that cannot happen is dropped.
void LoadSettings(TSettings& S);
void LoadSettings(TSettings& S, const std::string& File);
void LoadComSettings(TComSettings& C);
void LoadComSettings(TComSettings& C, const std::string& File);
void SaveSettings(const TSettings& S);
void SaveSettings(const TSettings& S, const std::string& File);
void SaveComSettings(const TComSettings& C);
void SaveComSettings(const TComSettings& C, const std::string& File);

// Sound cue n (0 to 4): plays the named wave file asynchronously through the feedback
// interface; an empty name plays nothing. Cue 1 marks a disconnect, cue 2 the end of a connect
// attempt and of a complete read or upload run.
void PlaySoundCue(const TSettings& S, int N);
