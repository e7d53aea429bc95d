// Writes seed inputs with the program's own writers: `fuzz_seed ini FILE` a settings file as
// the program saves it, `fuzz_seed ranges FOLDER` range texts as the program writes them.
#include <cstdio>
#include <string>

#include "Profile.h"
#include "Ranges.h"
#include "Settings.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string what = argv[1], out = argv[2];
  if (what == "ini") {
    TSettings s;
    s.Sounds[1] = "hangup.wav";
    SaveSettings(s, out);
    SaveComSettings(s.Com, out);
    TIniFile(out).WriteString("Modem", "InitString", "ATZ");
    return 0;
  }
  if (what == "ranges") {
    const TIntegerList lists[] = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
                                  {101, 102, 103, 104, 105, 108, 201},
                                  {1, 3, 5, 6, 7, 24},
                                  {1, 1, 2, 40, 41, 42}};
    int n = 0;
    for (TIntegerList l : lists) {
      const std::string file = out + "/seed" + std::to_string(++n);
      FILE* f = std::fopen(file.c_str(), "wb");
      if (!f) return 1;
      const std::string text = FormatRanges(l);
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    return 0;
  }
  return 2;
}
