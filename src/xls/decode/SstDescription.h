#pragma once

#include "xls/decode/FieldList.h"
#include "xls/RecordRef.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

/// The strings of an SST record and its CONTINUE records, each described
/// when it is asked for: a table of 200,000 strings is not described at
/// once. Finding string k walks the strings before it once (their starts
/// are kept), without describing them.
///
/// Keeps a copy of the part list, whose spans point into the caller's
/// bytes: the caller keeps those alive as long as the list.
class TSstStringList : public TLazyFields {
public:
  /// `declared`: the SST's unique count; the list holds no more strings
  /// than the parts' bytes can (3 bytes a string at least).
  TSstStringList(std::span<const TRecordRef> parts, std::int64_t declared);

  std::size_t Count() const override { return FCount; }
  /// Group "string": a virtual "index" field (no bytes), the header fields,
  /// "text" (the whole string as its value, the first piece of its
  /// characters as its bytes), "text_continued" for the pieces in later
  /// parts, then runs and extended data. A string past the end of the data
  /// is a missing field. Throws what decoding the string throws (an option
  /// byte it cannot read, runs past their part).
  TRecordField Item(std::size_t index) const override;
  /// Walks the strings as far as byte `offset` of part `part`.
  std::optional<std::size_t> ItemAt(int part, std::size_t offset) const override;

private:
  struct TStart {
    std::uint32_t Part = 0;
    std::uint32_t Offset = 0;
  };
  /// Walks the strings until the start of string `index` is known; false
  /// when the data ends first.
  bool Reach(std::size_t index) const;
  bool AtEnd(const TStart& start) const;

  std::vector<TRecordRef> FParts;
  std::size_t FCount = 0;
  // Starts of the strings walked so far, string 0's first; filled as
  // strings are asked for.
  mutable std::vector<TStart> FStarts;
};
