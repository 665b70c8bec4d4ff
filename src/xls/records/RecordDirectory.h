#pragma once

// The records of a loaded workbook stream as a viewer lists them: found by
// the stream offsets of their headers. Answers what a viewer asks beyond
// one record's bytes: which CONTINUE records belong to a record, which
// record a CONTINUE carries on, where a field's link points, the chart
// blocks a record sits in, and which record wrote a cell.

#include "xls/decode/FieldList.h"
#include "xls/stream/SubstreamWalk.h"
#include "xls/RecordRef.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// Where a link leads: a record (by index in the list), and a byte of its
/// data or a string of the shared-string table.
struct TLinkTarget {
  std::size_t Record = 0;
  /// A byte of the record's logical data (counted as the viewer lays the
  /// record and its CONTINUE records out: each part after its 4-byte
  /// header), or nothing: the record as a whole.
  std::optional<std::size_t> Byte;
  /// For a shared string: its index in the SST.
  std::optional<std::size_t> String;
};

/// What a CONTINUE record carries on.
struct TContinuation {
  std::size_t Head = 0;  // the record it continues (index in the list)
  std::size_t Part = 0;  // its part number in that record (from 1)
  std::size_t Parts = 0; // how many CONTINUE records follow the head
  bool Joined = false;   // the head's type reads its CONTINUE records
};

/// A cell of a sheet, as the model numbers them.
struct TCellPlace {
  int Sheet = 0;
  int Row = 0;
  int Column = 0;
};

/// What a CONTINUE record carries on, in words: "part 2 of record 57 (SST)".
std::string ContinuationText(const TContinuation& continuation, const TRecordRef& head);

class TRecordDirectory {
public:
  /// Keeps both spans: the caller keeps the stream and the offsets alive
  /// and unchanged while the directory is used. `offsets` are the stream
  /// offsets of the records' headers, in stream order; `start` how the
  /// load began the stream (TMSExcel::WalkStart).
  TRecordDirectory(std::span<const std::uint8_t> stream, std::span<const std::uint32_t> offsets,
                   TWalkStart start);

  /// How the stream starts, for another walk of its records.
  const TWalkStart& Start() const { return FStart; }

  std::size_t Count() const { return FOffsets.size(); }
  /// Record `index` (numbered index + 1): its header and the data bytes
  /// that exist. Outside the list: an empty record.
  TRecordRef Record(std::size_t index) const;
  std::uint16_t Code(std::size_t index) const;

  /// The record and, for a type that reads them (TRecordType::Continued),
  /// the CONTINUE records right after it.
  std::vector<TRecordRef> LogicalParts(std::size_t index) const;
  /// For a CONTINUE record: the record it follows and its part number.
  std::optional<TContinuation> ContinuationOf(std::size_t index) const;
  /// Where part `part` of a logical record's data starts in the viewer's
  /// layout (after the parts before it and their headers); `parts[0]` at 0.
  static std::vector<std::size_t> PartStarts(std::span<const TRecordRef> parts);

  /// Where `link`, read from record `from`, leads; nothing when the target
  /// does not exist (an index past the table, a built-in number format, a
  /// position outside the stream).
  std::optional<TLinkTarget> Resolve(const TFieldLink& link, std::size_t from) const;
  /// The record holding stream byte `position`: its index and the byte's
  /// offset in its data (nothing for a header byte).
  std::optional<TLinkTarget> RecordAt(std::uint64_t position) const;

  /// The opening records of the chart blocks record `index` sits in,
  /// outermost first (empty outside a chart's blocks).
  std::vector<std::uint16_t> ChartPath(std::size_t index) const;

  /// The worksheet cell a cell record writes (for MULRK and MULBLANK, the
  /// first), or nothing for a record that is not a cell of a worksheet.
  std::optional<TCellPlace> CellOf(std::size_t index) const;
  /// The last record that writes cell `place`, or nothing.
  std::optional<std::size_t> RecordOfCell(const TCellPlace& place) const;
  /// The worksheet a record lies in (counted from 0, as the model numbers
  /// sheets), or -1: outside a worksheet, or inside a chart within one.
  int SheetOf(std::size_t index) const;
  /// The substreams of the records, as the substream walk finds them.
  const std::vector<::TSubstream>& Walked() const;

private:
  /// Index of the workbook's `ordinal`-th record of one of `codes` (the
  /// globals' XF, FONT or FORMAT records), looking no further than the end
  /// of the first substream.
  std::optional<std::size_t> NthOf(std::span<const std::uint16_t> codes, std::size_t ordinal) const;
  std::optional<std::size_t> FormatRecord(std::int64_t index) const;
  std::optional<std::size_t> SharedStringTable() const;
  /// A substream as the walk found it: its BOF's index, the index after
  /// its last record, its BOF's type, the substream it lies in (-1: none)
  /// and, for a worksheet, its number.
  struct TSubstream {
    std::size_t First = 0;
    std::size_t End = 0;
    std::uint16_t Type = 0;
    int Parent = -1;
    int Sheet = -1;
  };
  /// The substreams in the order of their BOFs (found once, on first use).
  const std::vector<TSubstream>& Substreams() const;
  /// The innermost substream record `index` lies in, or -1.
  int SubstreamOf(std::size_t index) const;

  std::span<const std::uint8_t> FStream;
  std::span<const std::uint32_t> FOffsets;
  TWalkStart FStart;
  mutable std::vector<TSubstream> FSubstreams;
  mutable std::vector<::TSubstream> FWalked;
  mutable bool FSubstreamsKnown = false;
  /// The version the first BOF gives the workbook (the start's without one).
  mutable TExcelVersion FBookVersion = TExcelVersion::evExcel8;
  /// The run of CONTINUE records [First, End) ContinuationOf last looked
  /// at: callers ask for each record of a run in turn, and finding the
  /// run's ends each time would cost the run's length per record.
  struct TContinueRun {
    std::size_t First = 0;
    std::size_t End = 0;
  };
  mutable TContinueRun FLastRun;
};
