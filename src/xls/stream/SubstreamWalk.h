#pragma once

// The substreams of a workbook stream: which records are BOF and EOF, what a
// BOF opens, how substreams nest, and which version the records are read
// with. Every part of the reader that needs to know where a record stands
// (the load, the formula book, the structure check, the record directory,
// the outline) feeds its records to this walk, so they cannot disagree.
//
//   TSubstreamWalk walk(TSubstreamWalk::CompoundStart("Workbook"));
//   for (each record in stream order)
//     switch (walk.Step(record)) { ... }
//   walk.Substreams();   // every substream met, BOF to EOF

#include "xls/ExcelVersion.h"
#include "xls/RecordRef.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

/// One substream, from its BOF to its EOF.
struct TSubstream {
  std::uint64_t Bof = 0;        // the BOF's record number
  std::uint64_t BofOffset = 0;  // its header's stream offset
  std::uint16_t Type = 0;       // the BOF's type word (kBofTypeWorksheet, ...)
  /// The EOF's record number and offset; 0 while it has not come (and
  /// for good when another BOF ended it or the stream did).
  std::uint64_t Eof = 0;
  std::uint64_t EofOffset = 0;
  /// Its last record's number: the EOF, or the record before the
  /// worksheet BOF that ended it; 0 while it runs on (to the stream's end).
  std::uint64_t Last = 0;
  int Parent = -1;     // the substream it lies in, or -1
  int Worksheet = -1;  // for a worksheet: its number, from 0, as the model counts sheets
};

/// What a record did to the nesting.
enum class TWalkStep : std::uint8_t {
  wsRecord,    // an ordinary record of the innermost open substream (or of none)
  wsOpened,    // a BOF opened a substream (Current() is it)
  wsClosed,    // an EOF closed the innermost substream (Closed() is it)
  wsStrayEof,  // an EOF with no substream open
  wsNoType,    // a BOF too short to say what it opens, or over the length
               // limit: no boundary
  wsNotBiff,   // in a bare stream, a code with BOF's low byte that is no
               // record of any BIFF version: the stream is no BIFF stream
};

/// Where the walk starts: a compound file's stream (its version from its
/// name) or a bare stream (its version from each BOF).
struct TWalkStart {
  bool Bare = false;
  TExcelVersion Version = TExcelVersion::evUnknown;
};

class TSubstreamWalk {
public:
  explicit TSubstreamWalk(TWalkStart start);

  /// The workbook stream's start: a compound file's stream named `name`
  /// ("Book": Excel 5 and 95; anything else BIFF8).
  static TWalkStart CompoundStart(std::string_view name);
  /// A bare stream read after a load of version `previous` (records before
  /// the first BOF are read with it).
  static TWalkStart BareStart(TExcelVersion previous);

  /// True for the codes the walk acts on (every other record is wsRecord):
  /// the four BOF codes exactly, EOF, and in a bare stream the codes a
  /// BOF's low byte could stand for. A caller that sees millions of
  /// records asks this first and calls Step only for them.
  bool Acts(std::uint16_t code) const
  {
    // Inline: the load asks for every record. In a bare stream a code that
    // could only be a BOF of a version nobody wrote says the bytes are no
    // BIFF stream.
    return code == kEofCode || ((code & kBofCodeMask) == kBofLowByte && (FBare || IsBofCode(code)));
  }
  /// The four BOF codes: BIFF2 (0x0009), BIFF3 (0x0209), BIFF4 (0x0409) and
  /// BIFF5 to BIFF8 (0x0809). Chart records such as MARKERFORMAT (0x1009)
  /// share their low byte: only these codes open a substream.
  static constexpr bool IsBofCode(std::uint16_t code)
  {
    return code == 0x0009 || code == 0x0209 || code == 0x0409 || code == 0x0809;
  }
  /// The next record, in stream order.
  TWalkStep Step(const TRecordRef& record)
  {
    if (!Acts(record.Header.Code))
      return TWalkStep::wsRecord;
    return Boundary(record);
  }

  /// The version records are read with: the start's, then what the BOFs
  /// say (a bare stream's every BOF; a compound file's first, which may
  /// make a "Book" stream BIFF8).
  TExcelVersion Version() const { return FVersion; }
  /// True once a BOF opened a substream.
  bool SeenBof() const { return FSeenBof; }

  const std::vector<TSubstream>& Substreams() const { return FSubstreams; }
  /// The innermost open substream, or -1.
  int Current() const { return FOpen.empty() ? -1 : FOpen.back(); }
  /// The substream the last wsClosed closed.
  int Closed() const { return FClosed; }
  /// Substreams open, the innermost's depth (0 outside every one).
  int Depth() const { return static_cast<int>(FOpen.size()); }
  /// The innermost open substream's type, or 0.
  std::uint16_t CurrentType() const;
  /// True where a record's cells are a sheet's: outside every substream,
  /// in a worksheet, and in the workbook globals at the top. A chart's,
  /// macro sheet's or module's own records are none, also inside a sheet.
  bool InCells() const { return FInCells; }
  /// Worksheets opened so far.
  int Worksheets() const { return FWorksheets; }

private:
  static constexpr std::uint16_t kEofCode = 0x000A;
  static constexpr std::uint16_t kBofCodeMask = 0x00FF;
  static constexpr std::uint16_t kBofLowByte = 0x0009;

  TWalkStep Boundary(const TRecordRef& record);
  void Open(const TRecordRef& record, std::uint16_t type);
  void UpdateInCells();

  bool FBare = false;
  TExcelVersion FVersion = TExcelVersion::evUnknown;
  bool FSeenBof = false;
  std::vector<TSubstream> FSubstreams;
  std::vector<int> FOpen;  // innermost last
  int FClosed = -1;
  int FWorksheets = 0;
  bool FInCells = true;
};

/// The version a BIFF5-to-BIFF8 BOF's version word says: BIFF8 for
/// 0x0600, else BIFF5; evUnknown for a record too short to hold it.
TExcelVersion BofWordVersion(std::span<const std::uint8_t> data);
