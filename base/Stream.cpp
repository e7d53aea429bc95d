// Binary stream helpers and the memory stream.
#include "Stream.h"

#include <algorithm>
#include <cstring>

bool TStream::ReadInt32(int32_t& Value) {
  uint8_t b[4];
  if (!ReadExact(b, 4)) return false;
  Value = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                               static_cast<uint32_t>(b[2]) << 16 |
                               static_cast<uint32_t>(b[3]) << 24);
  return true;
}

bool TStream::WriteInt32(int32_t Value) {
  const uint32_t v = static_cast<uint32_t>(Value);
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  return WriteExact(b, 4);
}

bool TStream::ReadBytes(std::string& Text, size_t Length) {
  const int64_t remaining = Remaining();
  if (remaining >= 0 && static_cast<uint64_t>(remaining) < Length) return false;
  Text.clear();
  // Grow with what has really arrived, so that a lying length costs no memory.
  char chunk[4096];
  while (Text.size() < Length) {
    const size_t want = std::min(sizeof chunk, Length - Text.size());
    const size_t got = Read(chunk, want);
    Text.append(chunk, got);
    if (got < want) return false;
  }
  return true;
}

size_t TMemoryStream::Read(void* Buffer, size_t Count) {
  const size_t n = std::min(Count, fBytes.size() - fPos);
  if (n) std::memcpy(Buffer, fBytes.data() + fPos, n);
  fPos += n;
  return n;
}

size_t TMemoryStream::Write(const void* Buffer, size_t Count) {
  if (fPos + Count > fBytes.size()) fBytes.resize(fPos + Count);
  if (Count) std::memcpy(fBytes.data() + fPos, Buffer, Count);
  fPos += Count;
  return Count;
}
