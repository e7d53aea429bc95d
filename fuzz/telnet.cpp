// The Telnet layer of the network port on what a server (or anything at that address) sends.
// Properties: the line's bytes do not depend on how the stream was cut into reads; no more of
// them come out than went in; the answers stay small (one per request, never an answer to an
// answer); and what the program sends is read back unchanged, with binary agreed or not.
#include "FuzzSupport.h"
#include "Telnet.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const char* bytes = reinterpret_cast<const char*>(Data);
  TTelnetStream whole;
  std::string wholeData;
  whole.Feed("", 0, wholeData);
  whole.Feed(bytes, Size, wholeData);
  const std::string wholeAnswers = whole.TakeAnswers();
  FUZZ_CHECK(wholeData.size() <= Size, "more data out than in");
  // Every request is at least three bytes and is answered with at most three.
  FUZZ_CHECK(wholeAnswers.size() <= Size, "answers larger than the requests");

  // The same stream in pieces of varying size.
  TTelnetStream cut;
  std::string cutData;
  cut.Feed("", 0, cutData);
  size_t at = 0, step = Size ? (Data[0] % 7) + 1 : 1;
  while (at < Size) {
    const size_t n = std::min(step, Size - at);
    cut.Feed(bytes + at, n, cutData);
    at += n;
    step = step % 5 + 1;
  }
  FUZZ_CHECK(cutData == wholeData, "the data depends on how the stream was cut");
  FUZZ_CHECK(cut.TakeAnswers() == wholeAnswers, "the answers depend on the cuts");
  FUZZ_CHECK(cut.ModemStateKnown() == whole.ModemStateKnown() &&
                 cut.ModemState() == whole.ModemState(),
             "the modem state depends on the cuts");
  FUZZ_CHECK(whole.TakeNotes().size() <= 256, "notes without end");
  // What goes out is read back as it was, with binary transmission agreed and without.
  for (const bool binary : {true, false}) {
    TTelnetStream tx, rx;
    std::string none;
    tx.Feed("", 0, none);
    rx.Feed("", 0, none);
    if (binary) {
      const std::string doBinary = std::string("\xff\xfd") + '\0';
      const std::string willBinary = std::string("\xff\xfb") + '\0';
      tx.Feed(doBinary.data(), doBinary.size(), none);
      rx.Feed(willBinary.data(), willBinary.size(), none);
    }
    const std::string line = tx.Escape(bytes, Size);
    std::string received;
    rx.Feed(line.data(), line.size(), received);
    FUZZ_CHECK(received == std::string(bytes, Size),
               binary ? "binary round trip" : "round trip with CR padding");
  }
  return 0;
}
