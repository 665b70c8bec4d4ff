#pragma once

#include "model/SpreadSheetFile.h"
#include "xls/stream/StreamSource.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

/// A record as the reader finds it in the stream: its header, where the
/// header stands, and the data bytes that exist (fewer than the length when
/// the stream ends inside the record).
struct TStreamRecordView {
  TBIFFRecordHeader Header;
  std::uint64_t Offset = 0;
  std::span<const std::uint8_t> Data;
};

/// Splits the workbook stream into records: a 4-byte header, then the data.
/// The loop and the look-ahead for CONTINUE and STRING records share it.
class TRecordReader {
public:
  static constexpr std::size_t kHeaderSize = 4;

  /// Keeps the source: the caller keeps it alive while the reader is used.
  explicit TRecordReader(TStreamSource& source) : FSource(&source), FSize(source.Size()) {}

  std::uint64_t Position() const { return FPosition; }
  std::uint64_t Size() const { return FSize; }

  /// Reads the record at the position. False (and nothing consumed) when
  /// fewer than 4 bytes are left for a header.
  bool Next(TStreamRecordView& record)
  {
    if (!Peek(record))
      return false;
    FPosition = record.Offset + kHeaderSize + record.Data.size();
    return true;
  }
  /// The record at the position, without consuming it.
  bool Peek(TStreamRecordView& record)
  {
    if (FSize - FPosition < kHeaderSize)
      return false;
    // A position before FBase wraps to a huge offset: nothing at hand.
    std::uint64_t offset = FPosition - FBase;
    std::uint64_t atHand = offset <= FBytes.size() ? FBytes.size() - offset : 0;
    if (atHand < kHeaderSize)
      offset = Refill(kHeaderSize, atHand);
    record.Offset = FPosition;
    // Both header words in one read and one store: a header written half by
    // half and then read whole would wait for both halves.
    std::uint32_t words;
    std::memcpy(&words, FBytes.data() + offset, sizeof words);
    if constexpr (std::endian::native == std::endian::big)
      words = __builtin_bswap32(words);
    record.Header = TBIFFRecordHeader{static_cast<std::uint16_t>(words),
                                      static_cast<std::uint16_t>(words >> 16)};
    // Header and data in one piece, cut short only by the stream's end.
    const std::uint64_t whole =
        std::min<std::uint64_t>(kHeaderSize + record.Header.Length, FSize - FPosition);
    if (atHand < whole)
      offset = Refill(static_cast<std::size_t>(whole), atHand);
    record.Data = {FBytes.data() + offset + kHeaderSize, static_cast<std::size_t>(whole) - kHeaderSize};
    return true;
  }
  /// Moves to an absolute position; past the end means nothing more to read.
  void Seek(std::uint64_t position) { FPosition = std::min(position, FSize); }
  /// Between top-level records: no record read before is used any more.
  void Release()
  {
    if (FRefilled) {
      FRefilled = false;
      FSource->Release();
    }
  }
  /// Reads on from `source`, another way of reading the same stream (one
  /// that decrypts it), from the position on. Keeps the source, as the
  /// constructor does; bytes handed out before stay valid until Release.
  void SwitchSource(TStreamSource& source)
  {
    FSource = &source;
    FBytes = {};
    FBase = 0;
    FRefilled = true;
  }

private:
  /// Brings stream bytes [FPosition, FPosition + count) to hand; returns
  /// where FPosition is in FBytes and sets `atHand` to the bytes from there.
  std::uint64_t Refill(std::size_t count, std::uint64_t& atHand)
  {
    std::uint64_t base = 0;
    FBytes = FSource->Cover(FPosition, count, base);
    FBase = base;
    FRefilled = true;
    atHand = FBytes.size() - (FPosition - FBase);
    return FPosition - FBase;
  }

  TStreamSource* FSource;
  std::span<const std::uint8_t> FBytes;  // stream bytes from FBase on
  std::uint64_t FBase = 0;
  bool FRefilled = false;  // the source moved since the last Release
  std::uint64_t FSize = 0;
  std::uint64_t FPosition = 0;
};
