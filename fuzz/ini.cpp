// The settings-file reader on untrusted files: the program's settings and COM settings, the
// sections by name, and one write into the file. Properties: every setting read lies within
// its choices and lengths; a write is read back as written and leaves every other line of the
// file as it was.
#include <fstream>
#include <iterator>

#include "FuzzSupport.h"
#include "Profile.h"
#include "Settings.h"
#include "Text.h"

namespace {

std::string ReadAll(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& Path, const std::string& Bytes) {
  std::ofstream out(Path, std::ios::binary | std::ios::trunc);
  out << Bytes;
}

// Lines whose text differs between two versions of the file, or -1 when the counts differ.
int DifferentLines(const TStringList& A, const TStringList& B) {
  if (A.size() != B.size()) return -1;
  int n = 0;
  for (size_t i = 0; i < A.size(); ++i) n += A[i] != B[i];
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string file = FuzzScratchDir() + "TALVEN.INI";
  const std::string text = AsText(Data, Size);
  WriteAll(file, text);

  TSettings s;
  LoadSettings(s, file);
  FUZZ_CHECK(s.PBXtype <= 2, text);
  FUZZ_CHECK(s.PbxPassword.size() <= kMaxPasswordLen, text);
  FUZZ_CHECK(s.DefaultStationName.size() <= kMaxStationNameLen, text);
  for (const auto& snd : s.Sounds) FUZZ_CHECK(snd.size() <= kMaxSoundNameLen, text);
  TComSettings c;
  LoadComSettings(c, file);
  FUZZ_CHECK(c.ComPort >= 0 && c.ComPort < 4 && c.Speed >= 0 && c.Speed < 4, text);
  FUZZ_CHECK(c.Parity >= 0 && c.Parity < 5 && c.StopBits >= 0 && c.StopBits < 2, text);
  FUZZ_CHECK(c.WordLen >= 0 && c.WordLen < 2 && c.FirstCOMno >= 1 && c.FirstCOMno <= 252, text);

  TIniFile ini(file);
  const auto system = ini.ReadSection("System");
  const bool hadKey = !ini.ReadString("System", "PbxPassword", "").empty() ||
                      ini.ReadString("System", "PbxPassword", "x") != "x";
  const bool hadSection = ini.SectionExists("System");
  // The value written depends on the input, so that it sometimes equals the old one.
  const std::string value = Size % 3 ? "4321" : s.PbxPassword;
  if (!ini.WriteString("System", "PbxPassword", value)) {
    FUZZ_CHECK(ReadAll(file) == text, "a failed write changed the file");
    return 0;
  }
  FUZZ_CHECK(ini.ReadString("System", "PbxPassword", "?") == value, text);
  const std::string after = ReadAll(file);
  const TStringList a = SplitLines(text), b = SplitLines(after);
  if (hadKey) {
    const int d = DifferentLines(a, b);
    FUZZ_CHECK(d == 0 || d == 1, "a key write touched other lines:\n" + text + "\n--\n" + after);
  } else {
    FUZZ_CHECK(b.size() == a.size() + (hadSection ? 1 : 2), text + "\n--\n" + after);
  }
  // Every other key of the section still reads as before.
  for (const auto& [key, v] : system)
    if (!SameTextAscii(key, "PbxPassword"))
      FUZZ_CHECK(ini.ReadString("System", key, "?") == v, key + " in\n" + text);
  return 0;
}
