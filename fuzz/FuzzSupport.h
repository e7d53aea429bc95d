// What the fuzz targets share: a feedback that shows nothing, a check that aborts with a
// message (so that libFuzzer records the input), and a scratch folder for file-based readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Installs a feedback that swallows every message and answers every question with No.
void InstallQuietFeedback();

// A broken property of the code under test: prints What and aborts.
[[noreturn]] void FuzzFailure(const char* What, const std::string& Detail = std::string());
#define FUZZ_CHECK(cond, detail)                    \
  do {                                              \
    if (!(cond)) FuzzFailure(#cond, (detail));      \
  } while (0)

// A folder for the target's files, on a memory file system when there is one (created once).
const std::string& FuzzScratchDir();

inline std::string AsText(const uint8_t* Data, size_t Size) {
  return std::string(reinterpret_cast<const char*>(Data), Size);
}
