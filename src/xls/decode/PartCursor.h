#pragma once

#include "xls/decode/RecordCursor.h"
#include "xls/RecordRef.h"

#include <span>

/// Reads a logical record part by part: a bounded cursor over the current
/// part, and a step to the next. Fields recorded while a part is current
/// say which part their bytes lie in.
template <typename TFields>
class TBasicPartCursor {
public:
  explicit TBasicPartCursor(std::span<const TRecordRef> parts, TFields* fields = nullptr)
      : FParts(parts), FFields(fields), FCurrent(parts.empty() ? std::span<const std::uint8_t>() : parts[0].Data, fields)
  {
  }
  /// Starts at byte `offset` of part `part` (an item in the middle of a
  /// long record), the fields numbered with their parts as from the start.
  TBasicPartCursor(std::span<const TRecordRef> parts, TFields* fields, std::size_t part,
                   std::size_t offset)
      : FParts(parts), FFields(fields), FIndex(part < parts.size() ? part : 0),
        FCurrent(FIndex < parts.size() ? parts[FIndex].Data : std::span<const std::uint8_t>(), fields)
  {
    if constexpr (TBasicRecordCursor<TFields>::kDescribing)
      if (FFields)
        FFields->SetPart(static_cast<int>(FIndex));
    FCurrent.Seek(offset);
  }

  TBasicRecordCursor<TFields>& Current() { return FCurrent; }
  std::size_t PartIndex() const { return FIndex; }
  /// Moves to the start of the next part; false when there is none.
  bool NextPart()
  {
    if (FIndex + 1 >= FParts.size())
      return false;
    if constexpr (TBasicRecordCursor<TFields>::kDescribing)
      if (FFields)
        FFields->NotePartSize(static_cast<int>(FIndex), FCurrent.Size());
    ++FIndex;
    if constexpr (TBasicRecordCursor<TFields>::kDescribing)
      if (FFields)
        FFields->SetPart(static_cast<int>(FIndex));
    FCurrent = TBasicRecordCursor<TFields>(FParts[FIndex].Data, FFields);
    return true;
  }

private:
  std::span<const TRecordRef> FParts;
  TFields* FFields;
  std::size_t FIndex = 0;
  TBasicRecordCursor<TFields> FCurrent;
};

using TPartCursor = TBasicPartCursor<TNoFields>;
using TDescribingPartCursor = TBasicPartCursor<TFieldList>;
