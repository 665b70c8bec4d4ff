#pragma once

// The records of a load as a list: the workbook stream they lie in, by
// shared ownership, and each record's header offset. The record list, the
// Fields pane, the navigation and the commands read the same list.

#include "platform/SharedBytes.h"
#include "xls/MSExcel.h"

#include <cstdint>
#include <span>
#include <vector>

/// One listed record, as Row() describes it.
struct TRecordRow {
  std::uint64_t Offset = 0;    // of the record's header in the workbook stream
  std::uint16_t Code = 0;
  std::uint16_t Length = 0;    // as the header says
  std::uint16_t DataSize = 0;  // bytes that exist: Length, or less when cut short
};

class TListedRecords {
public:
  /// Appends `record`, which must lie in the whole workbook stream its
  /// load keeps (TStreamRecord::Stream), the same for every record until
  /// Clear. Throws EBiffLensError(kMsgRecordListNeedsStream) otherwise, or
  /// for an offset past 4 GiB, which no BIFF stream reaches; the list is
  /// then as it was.
  void Append(const TStreamRecord& record)
  {
    // Inline for the common case, the next record of the stream already kept.
    if (record.Stream == FSource && FSource && record.Offset <= kMaxStreamOffset) {
      FOffsets.push_back(static_cast<std::uint32_t>(record.Offset));
      return;
    }
    AppendFirst(record);
  }
  /// Whether Append would take `record`.
  bool Takes(const TStreamRecord& record) const;
  /// Drops every record and the stream they lie in.
  void Clear();

  std::size_t Count() const { return FOffsets.size(); }
  /// Record `index`; throws std::out_of_range outside the list.
  TRecordRow Row(std::size_t index) const;
  /// The bytes of record `index` that exist (empty for Length 0 or outside the list).
  std::span<const std::uint8_t> RowBytes(std::size_t index) const;
  /// Record `index` as the stream holds it: header and the data that exist.
  std::span<const std::uint8_t> RawBytes(std::size_t index) const;
  /// The stream the records lie in (empty before the first).
  const TSharedBytes& Stream() const { return FStream; }
  /// The stream offset of each record's header, in stream order; valid
  /// until the list changes.
  std::span<const std::uint32_t> Offsets() const { return FOffsets; }

private:
  static constexpr std::uint64_t kMaxStreamOffset = 0xFFFFFFFFu;
  void AppendFirst(const TStreamRecord& record);

  std::vector<std::uint32_t> FOffsets;
  TSharedBytes FStream;
  // The reader's stream the records came from during this load: its next
  // records lie in FStream too.
  const TSharedBytes* FSource = nullptr;
};
