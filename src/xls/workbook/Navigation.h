#pragma once

// Finding one's way in a listed workbook stream: which records a filter
// keeps, where some bytes occur, which record a number or stream offset
// names, the stream's parts (substreams and chart blocks) and a tally per
// record type. Plain functions over the stream and the records' offsets,
// no Qt: each pass reads the stream once and allocates nothing per record
// beyond its answer.

#include "xls/decode/DecodeContext.h"
#include "xls/stream/SubstreamWalk.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>


/// What a filter text asks for: record codes, or the first word that names
/// none.
struct TRecordFilterText {
  std::vector<std::uint16_t> Codes;  // ascending, each once
  std::string BadWord;               // empty when every word names a code
};

/// Reads "SST, 0x00FD, labelsst": words separated by commas or blanks, each
/// a record name (as listed, any case; a name two codes share gives both)
/// or a code in hexadecimal with "0x" (up to 4 digits); a record type of
/// the catalogue (RecordCatalogueName, any case) gives every code of that
/// type. An empty text asks for nothing (no codes, no bad word).
TRecordFilterText ParseRecordFilter(std::string_view text);

/// The indexes of the records whose code is one of `codes`, ascending: one
/// pass over the codes in the stream. `offsets` are the headers' stream
/// offsets; an offset without a whole header in `stream` never matches.
std::vector<std::uint32_t> FilterRecords(std::span<const std::uint8_t> stream,
                                         std::span<const std::uint32_t> offsets,
                                         std::span<const std::uint16_t> codes);

/// "FD 00 0A", "fd000a", "FD,00": the bytes of hexadecimal digit pairs,
/// blanks and commas between bytes allowed. Nothing for an empty text, an
/// odd digit or any other character.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text);

/// Where some bytes were found: the record (index) and the offset of the
/// match in its data; `Wrapped` when the search passed the end (or, going
/// back, the start) to find it.
struct TFindHit {
  std::size_t Record = 0;
  std::size_t Byte = 0;
  bool Wrapped = false;
};

/// The next record after `from` (forward) or the last before it (back)
/// whose data holds `pattern` whole, among the records `visible` lists
/// (ascending indexes; all records when it is nothing). Without `from` a
/// forward search starts at the first record, a backward one at the last.
/// When none is found on that side the search wraps round and ends at
/// `from` itself. Matches across a header or between records do not count.
/// A record's data is its length, cut at the stream's end.
std::optional<TFindHit> FindInRecords(std::span<const std::uint8_t> stream,
                                      std::span<const std::uint32_t> offsets,
                                      std::span<const std::uint8_t> pattern, std::optional<std::size_t> from,
                                      bool forward, const std::vector<std::uint32_t>* visible);

/// What a go-to text names: a record number (from 1) or a stream offset.
struct TGoToTarget {
  bool IsOffset = false;
  std::uint64_t Value = 0;
};

/// "57" is record 57; "0x1A2B", "@6699" and "@0x1A2B" are stream offsets.
/// Nothing for anything else.
std::optional<TGoToTarget> ParseGoTo(std::string_view text);

/// The record whose header or data holds stream byte `position`, or
/// nothing past the last record's bytes.
std::optional<std::size_t> RecordHolding(std::span<const std::uint8_t> stream,
                                         std::span<const std::uint32_t> offsets, std::uint64_t position);

/// A part of the stream: a substream (BOF to EOF) or a chart block (BEGIN
/// to END), with the records [First, End) it spans.
struct TOutlineNode {
  enum class TKind : std::uint8_t { okSubstream, okChartBlock };
  TKind Kind = TKind::okSubstream;
  /// A substream's BOF type; a chart block's opening record (the one
  /// before its BEGIN) code.
  std::uint16_t Type = 0;
  std::string Name;  // the sheet's name from BOUNDSHEET, else empty
  /// Its BOUNDSHEET's visibility: 0 visible, 1 hidden, 2 very hidden.
  std::uint8_t Visibility = 0;
  std::size_t First = 0;
  std::size_t End = 0;
  int Parent = -1;  // index of the enclosing node, -1 for none
};

/// At most this many nodes; a stream with more (a damaged or hostile one)
/// is outlined as far as they go.
inline constexpr std::size_t kMostOutlineNodes = 50000;

/// The stream's parts in stream order, parents before children: every
/// substream and, inside charts, each BEGIN/END block. A part whose end
/// never comes runs to the last record. `sheets` names substreams by the
/// BOF offset their BOUNDSHEET gives; `start` is how the load began the
/// stream (its substreams are the walk's).
std::vector<TOutlineNode> BuildOutline(std::span<const std::uint8_t> stream,
                                       std::span<const std::uint32_t> offsets,
                                       std::span<const TSheetName> sheets, TWalkStart start);

/// "Workbook globals", "Worksheet", "Chart", ...: a substream's kind by
/// its BOF type.
const char* SubstreamKindName(std::uint16_t bofType);

/// One record type's tally.
struct TRecordTypeCount {
  std::uint16_t Code = 0;
  std::uint64_t Count = 0;
  std::uint64_t Bytes = 0;  // headers included, as far as the stream goes
};

/// Each code met, ascending, with its count and bytes.
std::vector<TRecordTypeCount> CountRecordTypes(std::span<const std::uint8_t> stream,
                                               std::span<const std::uint32_t> offsets);
