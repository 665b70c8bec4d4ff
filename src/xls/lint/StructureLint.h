#pragma once

// A structure check of a workbook: what a writer got wrong, record by
// record, and what its container hides. It watches a load (fed every record
// the reader raises, in order) and adds what only the end can tell.

#include "platform/CompoundMap.h"
#include "xls/RecordRef.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/stream/SubstreamWalk.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

enum class TLintSeverity : std::uint8_t { lsError, lsWarning, lsInfo };

/// "error", "warning" or "info".
const char* LintSeverityName(TLintSeverity severity);

struct TLintFinding {
  TLintSeverity Severity = TLintSeverity::lsError;
  std::string Check;  // the check's ID ("record-too-long")
  std::optional<std::uint64_t> Record;  // the record's number, from 1
  std::optional<std::uint64_t> Offset;  // its header's stream offset
  std::string Message;
};

class TStructureLint {
public:
  /// A check of the stream that starts as `start` says (TMSExcel::WalkStart).
  explicit TStructureLint(TWalkStart start);
  ~TStructureLint();
  TStructureLint(const TStructureLint&) = delete;
  TStructureLint& operator=(const TStructureLint&) = delete;

  /// The next record the reader raises. The record's bytes must stay valid
  /// to the end (a load that keeps its stream whole). `dataEncrypted`: the
  /// record's data is encrypted and no password opened it (only its header
  /// and the plain parts are checked).
  void Add(const TRecordRef& record, bool dataEncrypted = false);
  /// After the load: the checks that need the whole workbook. `stream` is
  /// the workbook stream (to tell padding from bytes after the last EOF);
  /// `container` the compound file's map, when the workbook has one. Throws
  /// what reading an SST the load could not read throws.
  void Finish(std::span<const std::uint8_t> stream, const TCompoundMap* container);

  /// The substreams of the records added so far.
  const std::vector<TSubstream>& Substreams() const { return FWalk.Substreams(); }
  /// Every finding: record order, then what the end tells.
  const std::vector<TLintFinding>& Findings() const { return FFindings; }
  bool HasErrors() const;

private:
  /// A place's first record and how often it was met.
  struct TTally {
    TRecordRef First;
    std::uint64_t Count = 0;
  };
  struct TSheet;
  void Report(TLintSeverity severity, const char* check, const TRecordRef* record,
              std::string message);
  void TakeBof(const TRecordRef& record);
  void TakeEof(const TRecordRef& record);
  void TakeRecord(const TRecordRef& record);
  void TallyUnknown(const TRecordRef& record);
  void TakeCell(const TRecordRef& record, const TCellRecord& cell);
  void FinishSst();
  void FinishSheet();
  void CheckExtSst(const TRecordRef& record);
  void CheckIndex(const TRecordRef& record);
  void CheckDbCell(const TRecordRef& record);
  void CheckFormats();

  std::vector<TLintFinding> FFindings;
  TSubstreamWalk FWalk;
  TDecodeContext FContext;
  std::uint32_t FLimit = kRecordLimitBiff5;  // the record length limit of FContext's version
  std::uint64_t FEndOfLastEof = 0;
  std::optional<TRecordRef> FFirstRecord;  // its number and offset: a stream with no BOF is reported there
  std::set<std::uint64_t> FBofOffsets;
  std::vector<std::pair<TRecordRef, std::uint32_t>> FBoundSheets;  // record, position
  // The SST with its CONTINUE records; where each string starts.
  std::vector<TRecordRef> FSst;
  std::vector<std::uint64_t> FStringOffsets;  // stream offset of each string
  std::vector<std::uint64_t> FStringRecords;  // stream offset of the record it starts in
  std::optional<TRecordRef> FSstRecord;
  std::uint32_t FSstTotal = 0;
  std::uint32_t FSstUnique = 0;
  std::uint64_t FLabelSsts = 0;
  // INDEX and DBCELL targets, checked as the records they name go by.
  std::map<std::uint64_t, TRecordRef> FExpectedDbCells;  // stream offset -> the INDEX naming it
  std::vector<std::uint64_t> FRowOffsets;  // ROW records of the current sheet, in stream order
  std::set<std::uint64_t> FDbCellOffsets;
  std::map<std::uint16_t, TTally> FUnknownCodes;
  // XF records: their fonts and formats; fonts and formats defined.
  std::vector<std::pair<TRecordRef, TXfRecord>> FXfs;
  std::size_t FFonts = 0;
  std::set<int> FFormats;
  std::map<int, TTally> FBadCellXfs;
  std::unique_ptr<TSheet> FSheet;  // the worksheet being read
  std::uint64_t FDuplicatesReported = 0;
  std::uint64_t FDuplicatesMore = 0;
};
