// The simulated PBX's command parser on untrusted input. The first byte chooses the way in:
// 0, each line as one edit-mode command; 1, the bytes as typed on the line after a log-in;
// 2, the bytes as a state file. Properties: an edit command is answered by data lines and the
// prompt or by "Command error" and the prompt; a write it accepts is what it holds afterwards;
// a state it saves loads back to the same lines.
#include <memory>

#include "FuzzSupport.h"
#include "SimPbx.h"
#include "Text.h"

namespace {

constexpr const char* kError = "Command error\r\n;E>";

bool EndsWith(const std::string& S, const std::string& Tail) {
  return S.size() >= Tail.size() && S.compare(S.size() - Tail.size(), Tail.size(), Tail) == 0;
}

void EditCommands(TSimPbx& Pbx, const std::string& Text) {
  int n = 0;
  for (const std::string& cmd : SplitLines(Text)) {
    if (++n > 64) break;
    const std::string reply = Pbx.ExecuteEditCommand(cmd);
    if (reply == kError) continue;
    FUZZ_CHECK(EndsWith(reply, ";E>"), cmd + " -> " + reply);
    const TStringList lines = SplitLines(reply.substr(0, reply.size() - 3));
    FUZZ_CHECK(!lines.empty(), cmd + " -> " + reply);
    for (const std::string& l : lines) FUZZ_CHECK(l.compare(0, 3, ";=>") == 0, cmd + " -> " + reply);
    const std::string t = TrimBlanks(cmd);
    const std::string head = ExtractWord(lines[0].substr(3), "/", 1);
    if (lines.size() == 1 && !EndsWith(t, "//") && head != "000S") {
      // An accepted write: the PBX holds what it answered.
      FUZZ_CHECK(Pbx.Line(head) == lines[0].substr(3), cmd + " -> " + reply);
      FUZZ_CHECK(Pbx.ExecuteEditCommand(head + "//") == reply, cmd + " -> " + reply);
    }
  }
}

void Typed(TSimPbx& Pbx, const std::string& Bytes) {
  size_t out = 0;
  Pbx.OnOutput = [&out](const std::string& B) { out += B.size(); };
  const std::string login = "TA616\r\nEDT\r" + Pbx.Password() + "\rINT\r";
  Pbx.Receive(login.data(), login.size());
  Pbx.Receive(Bytes.data(), Bytes.size());
  // Every answer is bounded: the longest is the full listing, well under 100 kB per line typed.
  FUZZ_CHECK(out <= (Bytes.size() + 2) * 100000, "output out of bounds");
}

void StateFile(TSimPbx& Pbx, const std::string& Bytes) {
  const std::string file = FuzzScratchDir() + "state.txt";
  FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return;
  std::fwrite(Bytes.data(), 1, Bytes.size(), f);
  std::fclose(f);
  Pbx.LoadState(file);
  const auto lines = Pbx.AllLines();
  FUZZ_CHECK(Pbx.SaveState(file), "");
  TSimPbx again;
  FUZZ_CHECK(again.LoadState(file), "a saved state does not load");
  FUZZ_CHECK(again.AllLines() == lines, "a saved state loads to other lines");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  static const TSimPbx factory;
  auto pbx = std::make_unique<TSimPbx>(factory);
  const std::string rest = AsText(Data + 1, Size - 1);
  switch (Data[0] % 3) {
    case 0: EditCommands(*pbx, rest); break;
    case 1: Typed(*pbx, rest); break;
    default: StateFile(*pbx, rest); break;
  }
  return 0;
}
