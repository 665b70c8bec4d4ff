#include "xls/vba/VbaCompression.h"

#include "xls/vba/VbaCursor.h"
#include "xls/vba/VbaMessages.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::uint8_t kContainerSignature = 0x01;
constexpr std::size_t kChunkSize = 4096;
// Chunk header: 12 bits of size (the chunk's bytes less 3), 3 signature
// bits that must read 0b011, and the compressed flag.
constexpr std::uint16_t kChunkSizeMask = 0x0FFF;
constexpr std::size_t kChunkSizeBias = 3;
constexpr std::size_t kChunkHeaderSize = 2;
constexpr unsigned kChunkSignatureShift = 12;
constexpr std::uint16_t kChunkSignatureMask = 0x7;
constexpr std::uint16_t kChunkSignature = 0x3;
constexpr std::uint16_t kChunkCompressedFlag = 0x8000;
constexpr unsigned kTokensPerFlagByte = 8;
constexpr unsigned kMinOffsetBits = 4;
constexpr std::size_t kMinCopyLength = 3;

class TDecompressor {
public:
  TDecompressor(std::size_t limit, std::size_t hint) : FLimit(limit)
  {
    // Source text grows about three- or fourfold: room for four saves
    // copying a big module's output as it grows. The limit caps the guess.
    FResult.Bytes.reserve(hint > limit / 4 ? limit : hint * 4);
  }

  TVbaDecompressed Run(std::span<const std::uint8_t> container)
  {
    TVbaCursor cursor(container);
    if (cursor.AtEnd())
      return Fail(kMsgVbaEmptyContainer);
    if (cursor.ReadU8() != kContainerSignature)
      return Fail(kMsgVbaBadContainerSignature);
    while (!cursor.AtEnd()) {
      if (cursor.Remaining() < kChunkHeaderSize)
        return Fail(kMsgVbaChunkHeaderCut);
      const std::uint16_t header = cursor.ReadU16();
      if ((header >> kChunkSignatureShift & kChunkSignatureMask) != kChunkSignature)
        return Fail(kMsgVbaBadChunkSignature);
      if ((header & kChunkCompressedFlag) == 0) {
        // A stored chunk is always a whole chunk of bytes, whatever its size
        // field says.
        const std::size_t present = std::min(kChunkSize, cursor.Remaining());
        if (!Append(cursor.Take(present)))
          return std::move(FResult);
        if (present < kChunkSize)
          return Fail(kMsgVbaChunkCut);
        continue;
      }
      const std::size_t dataSize = (header & kChunkSizeMask) + kChunkSizeBias - kChunkHeaderSize;
      const bool cut = dataSize > cursor.Remaining();
      if (!Chunk(cursor.Take(std::min(dataSize, cursor.Remaining()))))
        return std::move(FResult);
      if (cut)
        return Fail(kMsgVbaChunkCut);
    }
    return std::move(FResult);
  }

private:
  TVbaDecompressed Fail(const char* message)
  {
    FResult.Error = message;
    return std::move(FResult);
  }

  /// Stops at the limit: false when the output was cut there.
  bool Room(std::size_t count)
  {
    if (count <= FLimit - FResult.Bytes.size())
      return true;
    FResult.Cut = true;
    FResult.Error = kMsgVbaOutputLimit;
    return false;
  }

  bool Append(std::span<const std::uint8_t> bytes)
  {
    const bool room = Room(bytes.size());
    const std::size_t count = room ? bytes.size() : FLimit - FResult.Bytes.size();
    FResult.Bytes.insert(FResult.Bytes.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
    return room;
  }

  /// One compressed chunk; false when reading must stop (the error is set).
  /// Tokens are decoded into a chunk-sized buffer, then appended at once:
  /// a chunk never holds more than 4096 bytes, and copies never reach
  /// outside it.
  bool Chunk(std::span<const std::uint8_t> data)
  {
    const char* error = Tokens(data);
    if (!Append(std::span<const std::uint8_t>(FChunk).first(FChunkSize)))
      return false;
    if (!error)
      return true;
    FResult.Error = error;
    return false;
  }

  /// Decodes `data` into FChunk (FChunkSize bytes); the damage that ended
  /// it early, or nullptr.
  const char* Tokens(std::span<const std::uint8_t> data)
  {
    std::uint8_t* const out = FChunk.data();
    std::size_t done = 0;
    FChunkSize = 0;
    TVbaCursor cursor(data);
    const char* error = nullptr;
    while (!cursor.AtEnd() && !error) {
      const std::uint8_t flags = cursor.ReadU8();
      for (unsigned bit = 0; bit < kTokensPerFlagByte && !cursor.AtEnd(); ++bit) {
        if ((flags >> bit & 1) == 0) {
          if (done >= kChunkSize) {
            error = kMsgVbaChunkTooLarge;
            break;
          }
          out[done++] = cursor.ReadU8();
          continue;
        }
        if (cursor.Remaining() < 2) {
          error = kMsgVbaTokenCut;
          break;
        }
        const std::uint16_t token = cursor.ReadU16();
        // The more of the chunk is behind, the more bits the offset takes:
        // as few as cover the distance back to the chunk's start, at least 4.
        unsigned offsetBits = kMinOffsetBits;
        while ((std::size_t{1} << offsetBits) < done)
          ++offsetBits;
        const std::size_t lengthMask = 0xFFFFu >> offsetBits;
        const std::size_t offset = (static_cast<std::size_t>(token) >> (16 - offsetBits)) + 1;
        const std::size_t length = (token & lengthMask) + kMinCopyLength;
        if (offset > done) {
          error = kMsgVbaCopyBeforeStart;
          break;
        }
        if (length > kChunkSize - done) {
          error = kMsgVbaChunkTooLarge;
          break;
        }
        // Byte by byte: a copy may overlap the bytes it writes (a run).
        for (std::size_t i = 0; i < length; ++i)
          out[done + i] = out[done - offset + i];
        done += length;
      }
    }
    FChunkSize = done;
    return error;
  }

  std::size_t FLimit;
  TVbaDecompressed FResult;
  std::array<std::uint8_t, kChunkSize> FChunk{};
  std::size_t FChunkSize = 0;
};

}  // namespace

TVbaDecompressed DecompressVba(std::span<const std::uint8_t> container, std::size_t limit)
{
  return TDecompressor(limit, container.size()).Run(container);
}
