// Runs a fuzz target once on every file of the folders given, without libFuzzer: the committed
// corpus (with every input that once found a fault) as a regression test of the normal build.
#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

int main(int argc, char** argv) {
  int files = 0;
  for (int a = 1; a < argc; ++a) {
    std::vector<std::string> names;
    DIR* d = ::opendir(argv[a]);
    if (!d) {
      std::fprintf(stderr, "cannot read the folder %s\n", argv[a]);
      return 1;
    }
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
      std::ifstream in(std::string(argv[a]) + "/" + n, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::fprintf(stderr, "%s\n", n.c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++files;
    }
  }
  std::printf("%d inputs ran without a finding\n", files);
  return files > 0 ? 0 : 1;
}
