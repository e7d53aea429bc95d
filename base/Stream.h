// Binary streams for the stream records of blocks and lists and for the data file.
// Readers check every length against what the stream really holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SafeFile.h"

class TStream {
 public:
  virtual ~TStream() = default;
  // Both return the number of bytes moved; a short count means end of data or an I/O failure.
  virtual size_t Read(void* Buffer, size_t Count) = 0;
  virtual size_t Write(const void* Buffer, size_t Count) = 0;
  // Bytes that can still be read, or -1 when the stream cannot tell.
  virtual int64_t Remaining() const { return -1; }

  bool ReadInt32(int32_t& Value);
  bool WriteInt32(int32_t Value);
  bool ReadExact(void* Buffer, size_t Count) { return Read(Buffer, Count) == Count; }
  bool WriteExact(const void* Buffer, size_t Count) { return Write(Buffer, Count) == Count; }
  // Reads Length bytes into Text without trusting Length: fails when the stream holds fewer,
  // and never reserves more than it has actually read.
  bool ReadBytes(std::string& Text, size_t Length);
};

// A stream over a byte vector it owns; reading starts at position 0.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> Bytes) : fBytes(std::move(Bytes)) {}
  explicit TMemoryStream(const std::string& Bytes) : fBytes(Bytes.begin(), Bytes.end()) {}

  size_t Read(void* Buffer, size_t Count) override;
  size_t Write(const void* Buffer, size_t Count) override;
  int64_t Remaining() const override { return static_cast<int64_t>(fBytes.size() - fPos); }

  const std::vector<uint8_t>& Bytes() const { return fBytes; }
  std::string AsString() const { return std::string(fBytes.begin(), fBytes.end()); }
  size_t Position() const { return fPos; }
  void Seek(size_t Pos) { fPos = Pos < fBytes.size() ? Pos : fBytes.size(); }

 private:
  std::vector<uint8_t> fBytes;
  size_t fPos = 0;
};

// A file written beside its target and renamed over it on Commit (TReplacingFile), so that the
// old file stays whole until the new one is complete. A stream dropped without Commit leaves
// the old file.
class TFileStream : public TStream {
 public:
  TFileStream() = default;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  bool Create(const std::string& Path) { return fFile.Create(Path); }
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void* Buffer, size_t Count) override {
    return fFile.Write(Buffer, Count) ? Count : 0;
  }
  // Flushes, syncs and renames over the target; false (and the old file kept) on any failure.
  bool Commit() { return fFile.Commit(); }
  void Abandon() { fFile.Abandon(); }
  const std::string& ErrorText() const { return fFile.ErrorText(); }

 private:
  TReplacingFile fFile;
};
