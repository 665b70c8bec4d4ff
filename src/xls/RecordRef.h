#pragma once

#include "model/SpreadSheetFile.h"

#include <cstddef>
#include <cstdint>
#include <span>

/// One record of the workbook stream as the reader met it.
struct TRecordRef {
  std::uint64_t Number = 0;  // from 1, in stream order, as listed
  std::uint64_t Offset = 0;  // of the record's header in the workbook stream
  TBIFFRecordHeader Header;
  /// The data bytes that exist: fewer than the length when the stream ends
  /// inside the record.
  std::span<const std::uint8_t> Data;

  bool Truncated() const { return Data.size() < Header.Length; }
};

/// A record together with the CONTINUE records that carry on its data
/// (shared strings, a formula's long text, text boxes and drawings).
struct TLogicalRecord {
  std::span<const TRecordRef> Parts;  // the record itself first

  const TRecordRef& Head() const { return Parts.front(); }
};
