#pragma once

// Private to the VBA reader: the one cursor through which dir stream and
// compressed container bytes are read.

#include <cstddef>
#include <cstdint>
#include <span>

/// Reads little-endian fields from a span it does not own. A read past the
/// end reads nothing, returns zeros and makes Short() true for good, so a
/// caller checks once after a group of reads. Keeps the span: the caller
/// keeps the bytes alive while the cursor is used.
class TVbaCursor {
public:
  explicit TVbaCursor(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}

  std::size_t Remaining() const { return FBytes.size() - FPos; }
  std::size_t Position() const { return FPos; }
  bool AtEnd() const { return FPos == FBytes.size(); }
  bool Short() const { return FShort; }

  /// The next `count` bytes, or none (and Short()) when fewer remain.
  std::span<const std::uint8_t> Take(std::size_t count)
  {
    if (count > Remaining()) {
      FShort = true;
      FPos = FBytes.size();
      return {};
    }
    FPos += count;
    return FBytes.subspan(FPos - count, count);
  }
  std::uint8_t ReadU8()
  {
    const auto b = Take(1);
    return b.empty() ? 0 : b[0];
  }
  std::uint16_t ReadU16()
  {
    const auto b = Take(2);
    return b.empty() ? 0 : static_cast<std::uint16_t>(b[0] | b[1] << 8);
  }
  std::uint32_t ReadU32()
  {
    const auto b = Take(4);
    return b.empty() ? 0
                     : static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  }

private:
  std::span<const std::uint8_t> FBytes;
  std::size_t FPos = 0;
  bool FShort = false;
};
