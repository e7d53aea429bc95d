// The data-file loader on untrusted bytes, both layouts. The first input byte chooses how the
// rest is taken: even, as a whole file as it lies on disk; odd, as a header followed by an
// unpacked payload that is packed here first, so that mutations reach the records behind the
// zlib layer (whose checksum would otherwise reject almost every mutated packed file).
// Properties: a load never crashes or leaks; a failed load leaves the store as it was; what a
// load accepted saves to a file that loads again to the same records.
#include <memory>

#include "DataFile.h"
#include "FuzzSupport.h"
#include "Stream.h"
#include "SysData.h"

namespace {

std::string PayloadOf(TSysData& S) {
  TMemoryStream out;
  FUZZ_CHECK(SaveDataPayload(S, out), "");
  return out.AsString();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool once = (InstallQuietFeedback(), true);
  (void)once;
  if (Size < 1) return 0;
  std::string file = AsText(Data + 1, Size - 1);
  if ((Data[0] & 1) && file.size() >= kDataFileHeaderSize) {
    file[8] = 1;
    file = file.substr(0, kDataFileHeaderSize) + PackBytes(file.substr(kDataFileHeaderSize));
  }

  auto store = std::make_unique<TSysData>();
  store->Cmd103S.SetData("103S/marker/");
  const std::string before = PayloadOf(*store);
  if (!store->LoadFromBytes(file, "fuzz.ta")) {
    FUZZ_CHECK(PayloadOf(*store) == before, "a failed load changed the store");
    FUZZ_CHECK(!store->HaveFileData, "");
    return 0;
  }
  FUZZ_CHECK(store->HaveFileData, "");

  // What was accepted must survive a save and a load unchanged, in both layouts.
  const std::string first = PayloadOf(*store);
  for (bool packed : {false, true}) {
    const std::string again = DataFileImage(*store, packed);
    auto copy = std::make_unique<TSysData>();
    FUZZ_CHECK(copy->LoadFromBytes(again, "again.ta"), "a saved file does not load");
    FUZZ_CHECK(PayloadOf(*copy) == first, "a saved file loads to other records");
  }
  return 0;
}
