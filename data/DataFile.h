// The data file ("*.ta"): a 21-byte header, then the store's records, stored as they are or
// packed as one zlib stream. TSysData::LoadFromFile / SaveToFile are built on this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Errors.h"
#include "SafeFile.h"

class TStream;
class TSysData;

constexpr uint32_t kDataFileMagic = 0x20011111;
constexpr const char* kDataFileVersion = "1.00";
constexpr size_t kDataFileHeaderSize = 21;
constexpr int32_t kDataFileReserved = 17;
// A span S announces (S - 4) / 4 records: 320 for 79 single blocks, 124 for 30 lists.
constexpr int32_t kSingleBlockSpan = 320;
constexpr int32_t kBlockListSpan = 124;
// No configuration comes near this (a full KX-TA624 is well under 1 MiB even with every line
// at its longest); anything larger is refused instead of being unpacked into memory.
constexpr size_t kMaxPayloadBytes = 4u << 20;

// Bytes begin with the data file's magic number (a text given where a data file belongs, or the
// other way round, is told by it).
bool HasDataFileMagic(const std::string& Bytes);

extern const char* const kMsgNotDataFile;     // "It is not PANASONIC KX-TA data file!"
extern const char* const kMsgBadFileVersion;  // "Data file version is wrong!"

// What is wrong with a data file; the text says which record and why.
class EDataFileError : public Exception {
 public:
  explicit EDataFileError(const std::string& Message) : Exception(Message) {}
};

// The whole data file of Store as SaveToFile writes it: header, then the payload, packed or
// not. Throws Exception when the payload cannot be built.
std::string DataFileImage(TSysData& Store, bool Packed);

// The payload records of Store (capability record, tables, single blocks, lists).
bool SaveDataPayload(TSysData& Store, TStream& Stream);

// Reads payload records into Store, a scratch store: the records the spans announce beyond
// this catalogue's 79 single blocks and 30 lists are read and dropped. Flags receives the
// capability bytes present (at most two). Throws EDataFileError.
struct TPayloadInfo {
  int SingleBlocks = 0;  // single blocks read into Store (from the first)
  int BlockLists = 0;    // lists read into Store
  std::vector<uint8_t> Flags;
};
TPayloadInfo LoadDataPayload(TSysData& Store, TStream& Stream, int32_t SingleSpan,
                             int32_t ListSpan);

// zlib (RFC 1950) packing at the default level, and unpacking that refuses more than MaxOut
// bytes of output. Unpacking throws EDataFileError for damaged or cut-short data.
std::string PackBytes(const std::string& Bytes);
std::string UnpackBytes(const std::string& Packed, size_t MaxOut);

// ReplaceFileContents (SafeFile.h) writes the file: the old one stays until the new is whole.

