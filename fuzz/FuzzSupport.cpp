#include "FuzzSupport.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "Feedback.h"

namespace {

class TQuietFeedback final : public TFeedback {
 public:
  void ShowError(const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
  void ShowInformation(const std::string&) override {}
  bool ShowMsgAgain(const std::string&, bool&, bool) override { return false; }
  void ShowTopInfo(const std::string&) override {}
  void HideTopInfo() override {}
  void ProgressShow(const std::string&, int, bool) override {}
  void ProgressAdvance(int) override {}
  void ProgressClose() override {}
  void PlaySound(const std::string&) override {}
};

}  // namespace

void InstallQuietFeedback() {
  static TQuietFeedback quiet;
  SetFeedback(&quiet);
}

void FuzzFailure(const char* What, const std::string& Detail) {
  // Control and non-ASCII bytes as \xNN, so that the detail reads in any log.
  std::string shown;
  for (unsigned char c : Detail) {
    if (c == '\n' || (c >= 0x20 && c < 0x7f)) {
      shown += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      shown += hex;
    }
  }
  std::fprintf(stderr, "\n*** property broken: %s\n%s\n", What, shown.c_str());
  std::abort();
}

namespace {

std::string gScratch;

void RemoveScratch() {
  if (DIR* d = ::opendir(gScratch.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") ::unlink((gScratch + name).c_str());
    }
    ::closedir(d);
  }
  ::rmdir(gScratch.c_str());
}

}  // namespace

const std::string& FuzzScratchDir() {
  if (gScratch.empty()) {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    gScratch = std::string(base) + "/kxta-fuzz-" + std::to_string(::getpid()) + "/";
    ::mkdir(gScratch.c_str(), 0700);
    std::atexit(RemoveScratch);
  }
  return gScratch;
}
