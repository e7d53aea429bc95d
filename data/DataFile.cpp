// Reading and writing the data file. A load goes into a scratch store first and is copied into
// the real store only when the whole file has been read, so a damaged file loses nothing; a
// save goes to a temporary file that replaces the old one only once it is complete on disk.
#include "DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "Feedback.h"
#include "Paths.h"
#include "SafeFile.h"
#include "Stream.h"
#include "SysData.h"

const char* const kMsgNotDataFile = "It is not PANASONIC KX-TA data file!";
const char* const kMsgBadFileVersion = "Data file version is wrong!";

namespace {

constexpr size_t kZlibBufferSize = 64 * 1024;

// Records a span announces: those k from 0 with 4 + 4k below the span.
int RecordsOfSpan(int32_t Span) {
  if (Span <= 4) return 0;
  return static_cast<int>((static_cast<int64_t>(Span) - 4 + 3) / 4);
}

// A span of 0 means "as many as the catalogue holds".
int32_t EffectiveSpan(int32_t Span, int32_t Default) { return Span == 0 ? Default : Span; }

size_t PositionOf(const TStream& S) {
  const auto* m = dynamic_cast<const TMemoryStream*>(&S);
  return m ? m->Position() : 0;
}

[[noreturn]] void Damaged(const TStream& S, const std::string& What) {
  throw EDataFileError(What + " is damaged or cut short (at byte " +
                       std::to_string(PositionOf(S) + kDataFileHeaderSize) + " of the unpacked file)");
}

void SkipBytes(TStream& S, int64_t Count, const std::string& What) {
  char buf[4096];
  while (Count > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(Count, sizeof buf));
    if (S.Read(buf, want) != want) Damaged(S, What);
    Count -= static_cast<int64_t>(want);
  }
}

// A block record of a catalogue this program does not know: read past it.
void SkipBlockRecord(TStream& S, const std::string& What) {
  int32_t len;
  if (!S.ReadInt32(len) || len < 0) Damaged(S, What);
  const int64_t left = S.Remaining();
  if (left >= 0 && len > left) Damaged(S, What);
  SkipBytes(S, len, What);
}

void SkipListRecord(TStream& S, const std::string& What) {
  int32_t n;
  if (!S.ReadInt32(n)) Damaged(S, What);
  const int64_t left = S.Remaining();
  if (left >= 0 && static_cast<int64_t>(n) * 4 > left) Damaged(S, What);
  for (int32_t i = 0; i < n; ++i) SkipBlockRecord(S, What);
}

void PutInt32(std::string& Out, int32_t V) {
  const uint32_t u = static_cast<uint32_t>(V);
  for (int i = 0; i < 4; ++i) Out += static_cast<char>((u >> (8 * i)) & 0xff);
}

int32_t GetInt32(const unsigned char* P) {
  return static_cast<int32_t>(static_cast<uint32_t>(P[0]) | static_cast<uint32_t>(P[1]) << 8 |
                              static_cast<uint32_t>(P[2]) << 16 |
                              static_cast<uint32_t>(P[3]) << 24);
}

std::string ErrnoText(const char* What) {
  return std::string(What) + ": " + std::strerror(errno);
}

// Reads at most Limit + 1 bytes from Fd, so that the caller can tell "too large" apart.
bool ReadUpTo(int Fd, size_t Limit, std::string& Out, std::string& Error) {
  Out.clear();
  char buf[64 * 1024];
  while (Out.size() <= Limit) {
    const size_t want = std::min(sizeof buf, Limit + 1 - Out.size());
    const ssize_t got = ::read(Fd, buf, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      Error = ErrnoText("read");
      return false;
    }
    if (got == 0) break;
    Out.append(buf, static_cast<size_t>(got));
  }
  return true;
}

class TFd {
 public:
  explicit TFd(int Fd) : fFd(Fd) {}
  ~TFd() {
    if (fFd >= 0) ::close(fFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fFd; }

 private:
  int fFd;
};

}  // namespace

// ---- Payload ------------------------------------------------------------------------------

bool SaveDataPayload(TSysData& S, TStream& Out) {
  const uint8_t flags[2] = {S.Version.ExtendedSpeedDial, S.Version.Skip123S};
  bool ok = Out.WriteInt32(2) && Out.WriteExact(flags, 2);
  ok = ok && S.Extensions.SaveToStream(Out);
  ok = ok && S.COLines.SaveToStream(Out);
  ok = ok && S.DSSConsoles.SaveToStream(Out);
  for (int i = 0; ok && i < kSingleBlockCount; ++i)
    ok = S.Block(static_cast<TBlockId>(i)).SaveToStream(Out);
  for (int i = 0; ok && i < kBlockListCount; ++i)
    ok = S.List(static_cast<TListId>(i)).SaveToStream(Out);
  return ok;
}

TPayloadInfo LoadDataPayload(TSysData& S, TStream& In, int32_t SingleSpan, int32_t ListSpan) {
  TPayloadInfo info;

  int32_t len;
  if (!In.ReadInt32(len) || len < 0) Damaged(In, "the capability record");
  const int64_t left = In.Remaining();
  if (left >= 0 && len > left) Damaged(In, "the capability record");
  info.Flags.resize(static_cast<size_t>(std::min(len, 2)));
  if (!info.Flags.empty() && !In.ReadExact(info.Flags.data(), info.Flags.size()))
    Damaged(In, "the capability record");
  SkipBytes(In, len - static_cast<int64_t>(info.Flags.size()), "the capability record");

  if (!S.Extensions.LoadFromStream(In)) Damaged(In, "the extension table");
  if (!S.COLines.LoadFromStream(In)) Damaged(In, "the CO line table");
  if (!S.DSSConsoles.LoadFromStream(In)) Damaged(In, "the DSS console table");

  const int singles = RecordsOfSpan(EffectiveSpan(SingleSpan, kSingleBlockSpan));
  for (int k = 0; k < singles; ++k) {
    if (k < kSingleBlockCount) {
      const TBlockId id = static_cast<TBlockId>(k);
      if (!S.Block(id).LoadFromStream(In))
        Damaged(In, "single block " + std::to_string(k + 1) + " (" + BlockName(id) + ")");
      info.SingleBlocks = k + 1;
    } else {
      SkipBlockRecord(In, "single block " + std::to_string(k + 1));
    }
  }
  const int lists = RecordsOfSpan(EffectiveSpan(ListSpan, kBlockListSpan));
  for (int k = 0; k < lists; ++k) {
    if (k < kBlockListCount) {
      const TListId id = static_cast<TListId>(k);
      if (!S.List(id).LoadFromStream(In))
        Damaged(In, "block list " + std::to_string(k + 1) + " (" + ListName(id) + ")");
      info.BlockLists = k + 1;
    } else {
      SkipListRecord(In, "block list " + std::to_string(k + 1));
    }
  }
  return info;
}

// ---- zlib ---------------------------------------------------------------------------------

std::string PackBytes(const std::string& Bytes) {
  z_stream z{};
  // The default level, as the file format has it: a full configuration packs in under a
  // millisecond, a tenth smaller than at the fastest level.
  if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) throw Exception("zlib: deflateInit failed");
  std::string out;
  std::vector<unsigned char> buf(kZlibBufferSize);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Bytes.data()));
  z.avail_in = static_cast<uInt>(Bytes.size());
  int rc;
  do {
    z.next_out = buf.data();
    z.avail_out = static_cast<uInt>(buf.size());
    rc = deflate(&z, Z_FINISH);
    out.append(reinterpret_cast<const char*>(buf.data()), buf.size() - z.avail_out);
  } while (rc == Z_OK);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw Exception("zlib: packing failed");
  return out;
}

std::string UnpackBytes(const std::string& Packed, size_t MaxOut) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw EDataFileError("the packed data cannot be unpacked (zlib)");
  std::string out;
  std::vector<unsigned char> buf(kZlibBufferSize);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Packed.data()));
  z.avail_in = static_cast<uInt>(Packed.size());
  int rc;
  for (;;) {
    z.next_out = buf.data();
    z.avail_out = static_cast<uInt>(buf.size());
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(reinterpret_cast<const char*>(buf.data()), buf.size() - z.avail_out);
    if (out.size() > MaxOut) {
      inflateEnd(&z);
      throw EDataFileError("the packed data unpack to more than " + std::to_string(MaxOut) +
                           " bytes, more than any KX-TA configuration holds");
    }
    if (rc == Z_STREAM_END) break;
    if (rc == Z_OK) continue;
    const std::string reason = z.msg ? z.msg : "error " + std::to_string(rc);
    inflateEnd(&z);
    if (rc == Z_BUF_ERROR && z.avail_in == 0)
      throw EDataFileError("the packed data end early: the file is cut short");
    throw EDataFileError("the packed data are damaged (" + reason + ")");
  }
  inflateEnd(&z);
  return out;
}

// ---- The store's file operations ----------------------------------------------------------

std::string DataFileImage(TSysData& Store, bool Packed) {
  TMemoryStream payload;
  if (!SaveDataPayload(Store, payload)) throw Exception("the data could not be written.");
  std::string bytes;
  PutInt32(bytes, static_cast<int32_t>(kDataFileMagic));
  bytes += kDataFileVersion;
  bytes += static_cast<char>(Packed ? 1 : 0);
  PutInt32(bytes, kDataFileReserved);
  PutInt32(bytes, kSingleBlockSpan);
  PutInt32(bytes, kBlockListSpan);
  bytes += Packed ? PackBytes(payload.AsString()) : payload.AsString();
  return bytes;
}

bool TSysData::SaveToFile(const std::string& FileName) {
  const std::string path = AppPaths().ResolveDataFile(FileName);
  const std::string prefix = "Cannot save data file \"" + path + "\":\r";
  try {
    const std::string bytes = DataFileImage(*this, Settings.PackedFile);
    std::string error;
    if (!ReplaceFileContents(path, bytes, error)) {
      ShowError(prefix + error);
      return false;
    }
  } catch (const std::exception& e) {
    ShowError(prefix + e.what());
    return false;
  }
  return true;
}

namespace {

// What is wrong with a data file header, or "" for a good one. Shared by both loaders.
std::string HeaderProblem(const std::string& Header) {
  if (Header.size() < kDataFileHeaderSize)
    return "the file is " + std::to_string(Header.size()) +
           " bytes long, shorter than a data file header.";
  if (!HasDataFileMagic(Header)) return kMsgNotDataFile;
  if (Header.compare(4, 4, kDataFileVersion) != 0) return kMsgBadFileVersion;
  return std::string();
}

}  // namespace

bool HasDataFileMagic(const std::string& Bytes) {
  return Bytes.size() >= 4 &&
         static_cast<uint32_t>(GetInt32(reinterpret_cast<const unsigned char*>(Bytes.data()))) ==
             kDataFileMagic;
}

bool TSysData::LoadFromFile(const std::string& FileName) {
  const std::string path = AppPaths().ResolveDataFile(FileName);
  const std::string prefix = "Cannot load data file \"" + path + "\":\r";

  std::string bytes, error;
  {
    // Non-blocking, so that a named pipe given as the file is refused instead of waited on.
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
      ShowError(prefix + std::strerror(errno));
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      ShowError(prefix + "it is not a file.");
      return false;
    }
    if (!ReadUpTo(fd.Get(), kDataFileHeaderSize - 1, bytes, error)) {
      ShowError(prefix + error);
      return false;
    }
    // A file that is no data file is refused (and reported there) before the rest is read.
    if (!HeaderProblem(bytes).empty()) return LoadFromBytes(bytes, path);
    std::string rest;
    if (!ReadUpTo(fd.Get(), kMaxPayloadBytes, rest, error)) {
      ShowError(prefix + error);
      return false;
    }
    bytes += rest;
  }
  return LoadFromBytes(bytes, path);
}

bool TSysData::LoadFromBytes(const std::string& Bytes, const std::string& Name) {
  const std::string prefix = "Cannot load data file \"" + Name + "\":\r";
  const std::string header = Bytes.substr(0, kDataFileHeaderSize);
  const std::string problem = HeaderProblem(header);
  if (!problem.empty()) {
    ShowError(problem == kMsgNotDataFile || problem == kMsgBadFileVersion ? problem
                                                                          : prefix + problem);
    return false;
  }
  if (Bytes.size() - kDataFileHeaderSize > kMaxPayloadBytes) {
    ShowError(prefix + "the file is larger than any KX-TA data file (more than " +
              std::to_string(kMaxPayloadBytes) + " bytes of data).");
    return false;
  }
  const std::string rest = Bytes.substr(kDataFileHeaderSize);

  const auto* h = reinterpret_cast<const unsigned char*>(header.data());
  const bool packed = h[8] != 0;
  const int32_t singleSpan = GetInt32(h + 13);
  const int32_t listSpan = GetInt32(h + 17);

  auto scratch = std::make_unique<TSysData>();
  TPayloadInfo info;
  try {
    TMemoryStream payload(packed ? UnpackBytes(rest, kMaxPayloadBytes) : rest);
    info = LoadDataPayload(*scratch, payload, singleSpan, listSpan);
  } catch (const Exception& e) {
    ShowError(prefix + e.what() + ".");
    return false;
  }
  // A byte the PBX would take as a key (a backspace rubbing out the line before it, so that the
  // rest runs as another command) has no place in any line: the file is refused as it is,
  // before anything of it could reach a PBX.
  std::string unprintable;
  ForEachFileBlock(*scratch, [&](const TCmdData& B) {
    const size_t at = FirstUnprintable(B.Data());
    if (!unprintable.empty() || at == std::string::npos) return;
    unprintable = Format("the line %s holds the byte 0x%02X at column %zu; a PBX line holds "
                         "printable characters only. The file was not loaded.",
                         EscapeUnprintable(B.Data()).c_str(),
                         static_cast<unsigned>(static_cast<unsigned char>(B.Data()[at])), at + 1);
  });
  if (!unprintable.empty()) {
    ShowError(prefix + unprintable);
    return false;
  }

  // The whole file has been read: now it replaces what the store held, object by object. A
  // connected PBX's capabilities outrank whatever the file says.
  if (!OnLine) {
    if (info.Flags.size() >= 1) Version.ExtendedSpeedDial = info.Flags[0];
    if (info.Flags.size() >= 2) Version.Skip123S = info.Flags[1];
  }
  AssignData(*scratch, info.SingleBlocks, info.BlockLists);
  HaveFileData = true;
  return true;
}
