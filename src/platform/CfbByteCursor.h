#pragma once

// Private to the compound-file reader: the one cursor through which header,
// FAT, DIFAT and directory bytes are read.

#include "platform/CompoundFile.h"
#include "platform/CompoundFileMessages.h"

#include <cstddef>
#include <cstdint>
#include <span>

/// Reads little-endian fields from a span it does not own; throws EOleError
/// (kStgDocFileCorrupt, kMsgCfbStructureTruncated) at the end of its data.
/// Keeps the span: the caller keeps the bytes alive while the cursor is used.
class TCfbByteCursor {
public:
  explicit TCfbByteCursor(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}

  std::size_t Remaining() const { return FBytes.size() - FPos; }
  std::size_t Position() const { return FPos; }

  std::span<const std::uint8_t> Take(std::size_t count)
  {
    if (count > Remaining())
      throw EOleError(kStgDocFileCorrupt, kMsgCfbStructureTruncated);
    FPos += count;
    return FBytes.subspan(FPos - count, count);
  }
  void Skip(std::size_t count) { Take(count); }

  std::uint8_t ReadU8() { return Take(1)[0]; }
  std::uint16_t ReadU16()
  {
    const auto b = Take(2);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
  }
  std::uint32_t ReadU32()
  {
    const auto b = Take(4);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  }
  std::uint64_t ReadU64()
  {
    const std::uint64_t low = ReadU32();
    const std::uint64_t high = ReadU32();
    return low | high << 32;
  }

private:
  std::span<const std::uint8_t> FBytes;
  std::size_t FPos = 0;
};
