#include "xls/lint/StructureLint.h"

#include "model/CellText.h"
#include "platform/text/HexText.h"
#include "platform/text/TextFormat.h"
#include "xls/RecordCodes.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/decode/SharedStrings.h"
#include "xls/crypto/Encryption.h"
#include "xls/decode/FilePassRecord.h"
#include "xls/lint/LintMessages.h"
#include "xls/records/RecordTable.h"

#include <algorithm>
#include <array>

namespace {

// Custom number formats start here; every index below is Excel's own.
constexpr int kFirstCustomFormat = 164;
// Font index 4 is never used: indexes from 5 on count the FONT records less one.
constexpr int kSkippedFont = 4;
// Duplicate cells listed one by one; the rest are counted.
constexpr std::uint64_t kMostDuplicatesListed = 100;
constexpr std::size_t kColumnsPerRowBitmap = 256;

std::string Number(std::uint64_t n)
{
  return std::to_string(n);
}

// "1 cell", "2 cells": a count and its noun.
std::string Counted(std::uint64_t n, const char* one, const char* many)
{
  return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

/// Decodes a record with one decoder, handing what it reads to `use`.
template <typename TDecoder, typename TUse>
void Decode(const TRecordRef& record, const TDecodeContext& context, TUse&& use)
{
  TRecordCursor cursor(record.Data);
  TDecoder()(cursor, context, record.Header.Code, use);
}

}  // namespace

const char* LintSeverityName(TLintSeverity severity)
{
  switch (severity) {
  case TLintSeverity::lsError: return "error";
  case TLintSeverity::lsWarning: return "warning";
  case TLintSeverity::lsInfo: return "info";
  }
  return "error";
}

/// What the check keeps of the worksheet being read.
struct TStructureLint::TSheet {
  std::optional<TDimensionsRecord> Dimensions;
  std::optional<TTally> Outside;
  // Which columns of each row were written, a bit each (BIFF has 256
  // columns); a damaged file's far columns go to a set.
  std::vector<std::array<std::uint64_t, kColumnsPerRowBitmap / 64>> Written;
  std::unordered_set<std::uint64_t> WrittenFar;
  bool Biff8 = false;
};

TStructureLint::TStructureLint(TWalkStart start) : FWalk(start), FLimit(RecordLimit(start.Version))
{
  FContext.Version = start.Version;
}
TStructureLint::~TStructureLint() = default;

bool TStructureLint::HasErrors() const
{
  return std::any_of(FFindings.begin(), FFindings.end(),
                     [](const TLintFinding& f) { return f.Severity == TLintSeverity::lsError; });
}

void TStructureLint::Report(TLintSeverity severity, const char* check, const TRecordRef* record,
                            std::string message)
{
  TLintFinding finding;
  finding.Severity = severity;
  finding.Check = check;
  if (record) {
    finding.Record = record->Number;
    finding.Offset = record->Offset;
  }
  finding.Message = std::move(message);
  FFindings.push_back(std::move(finding));
}

void TStructureLint::Add(const TRecordRef& record, bool dataEncrypted)
{
  const std::uint16_t code = record.Header.Code;
  if (!FFirstRecord) {
    FFirstRecord = record;
    FFirstRecord->Data = {};
  }
  if (!FSst.empty() && code != kRecContinue)
    FinishSst();
  if (record.Truncated())
    Report(TLintSeverity::lsError, "record-cut-short", &record,
           FormatMessage(kLintRecordCutShort, Number(record.Header.Length), Number(record.Data.size())));
  switch (FWalk.Step(record)) {
  case TWalkStep::wsOpened:
    TakeBof(record);
    return;
  case TWalkStep::wsClosed:
    TakeEof(record);
    return;
  case TWalkStep::wsStrayEof:
    FEndOfLastEof = record.Offset + 4 + record.Data.size();
    Report(TLintSeverity::lsError, "bof-eof-balance", &record, kLintEofWithoutBof);
    return;
  default:
    break;
  }
  if (record.Header.Length > FLimit)
    Report(TLintSeverity::lsError, "record-too-long", &record,
           FormatMessage(kLintRecordTooLong, Number(record.Header.Length), Number(FLimit)));
  if (code == kRecEof || FWalk.Acts(code))
    return;
  // Data no password opened says nothing; a BOUNDSHEET's position is
  // stored plain all the same.
  if (dataEncrypted && code != kRecBoundSheet)
    TallyUnknown(record);
  else
    TakeRecord(record);
}

void TStructureLint::TakeBof(const TRecordRef& record)
{
  FContext.Version = FWalk.Version();
  FLimit = RecordLimit(FContext.Version);
  FBofOffsets.insert(record.Offset);
  // A worksheet's BOF ends the sheet before it, EOF or not.
  if (FWalk.CurrentType() != kBofTypeWorksheet)
    return;
  if (FSheet)
    FinishSheet();
  FSheet = std::make_unique<TSheet>();
  FSheet->Biff8 = FContext.Biff8();
  FRowOffsets.clear();
}

void TStructureLint::TakeEof(const TRecordRef& record)
{
  FEndOfLastEof = record.Offset + 4 + record.Data.size();
  if (FWalk.Depth() == 0 && FSheet)
    FinishSheet();
}

void TStructureLint::TakeRecord(const TRecordRef& record)
{
  const std::uint16_t code = record.Header.Code;
  // Cells count only in a worksheet's own records (a chart's are its data).
  const bool inSheet = FSheet && FWalk.Depth() == 1;
  auto cell = [&](const TCellRecord& c) { TakeCell(record, c); };
  switch (code) {
  case kRecBlank2: if (inSheet) Decode<TBlank2Decoder>(record, FContext, cell); return;
  case kRecInteger2: if (inSheet) Decode<TInteger2Decoder>(record, FContext, cell); return;
  case kRecNumber2: if (inSheet) Decode<TNumber2Decoder>(record, FContext, cell); return;
  case kRecLabel2: if (inSheet) Decode<TLabel2Decoder>(record, FContext, cell); return;
  case kRecBoolErr2: if (inSheet) Decode<TBoolErr2Decoder>(record, FContext, cell); return;
  case kRecRk:
  case kRecRk3: if (inSheet) Decode<TRkDecoder>(record, FContext, cell); return;
  case kRecNumber: if (inSheet) Decode<TNumberDecoder>(record, FContext, cell); return;
  case kRecLabel:
  case kRecRString: if (inSheet) Decode<TLabelDecoder>(record, FContext, cell); return;
  case kRecBoolErr: if (inSheet) Decode<TBoolErrDecoder>(record, FContext, cell); return;
  case kRecMulRk: if (inSheet) Decode<TMulRkDecoder>(record, FContext, cell); return;
  case kRecMulBlank: if (inSheet) Decode<TMulBlankDecoder>(record, FContext, cell); return;
  case kRecFormula:
  case kRecFormula3:
  case kRecFormula4: if (inSheet) Decode<TFormulaResultDecoder>(record, FContext, cell); return;
  case kRecBlank:
    if (inSheet) {
      TRecordCursor cursor(record.Data);
      const TCellRecord blank = CellDecode::Prefix(cursor);
      if (!cursor.Short())
        TakeCell(record, blank);
    }
    return;
  case kRecLabelSst:
    ++FLabelSsts;
    if (inSheet)
      Decode<TLabelSstDecoder>(record, FContext, cell);
    return;
  case kRecSst:
    FSst.push_back(record);
    return;
  case kRecContinue:
    if (!FSst.empty())
      FSst.push_back(record);
    return;
  case kRecExtSst: CheckExtSst(record); return;
  case kRecIndex: CheckIndex(record); return;
  case kRecDbCell: CheckDbCell(record); return;
  case kRecRow:
    FRowOffsets.push_back(record.Offset);
    return;
  case kRecDimensions:
    if (inSheet)
      Decode<TDimensionsDecoder>(record, FContext, [&](const TDimensionsRecord& d) { FSheet->Dimensions = d; });
    return;
  case kRecBoundSheet:
    if (record.Data.size() >= 4) {
      TRecordCursor cursor(record.Data);
      FBoundSheets.emplace_back(record, cursor.U32("position"));
    }
    return;
  case kRecXf2:
  case kRecXf3:
  case kRecXf4:
  case kRecXf5:
    Decode<TXfDecoder>(record, FContext, [&](const TXfRecord& xf) { FXfs.emplace_back(record, xf); });
    return;
  case kRecFont:
  case kRecFont3:
    ++FFonts;
    return;
  case kRecFormat2:
  case kRecFormat4:
    Decode<TFormatDecoder>(record, FContext, [&](const TFormatRecord& f) {
      FFormats.insert(f.ByOrder ? static_cast<int>(FFormats.size()) : f.Index);
    });
    return;
  case kRecCodePage:
    Decode<TCodePageDecoderRecord>(record, FContext, [&](int page) {
      // 32769 and 1200 say Windows-1252 and UTF-16 in their own ways.
      const TCodePageDecoder decoder(page);
      if (page != 32769 && page != 1200 && page != 1201 && decoder.CodePage() != page)
        Report(TLintSeverity::lsWarning, "codepage", &record, FormatMessage(kLintCodePage, Number(page)));
    });
    return;
  case kRecFilePass:
    Decode<TFilePassDecoder>(record, FContext, [&](const TFilePass& pass) {
      Report(TLintSeverity::lsInfo, "encrypted", &record,
             FormatMessage(kLintEncrypted, EncryptionDescription(pass)));
    });
    return;
  default:
    break;
  }
  TallyUnknown(record);
}

void TStructureLint::TallyUnknown(const TRecordRef& record)
{
  const std::uint16_t code = record.Header.Code;
  const TRecordType* type = FindRecordType(code);
  if ((!type || !type->Describe) && !(code == 0 && record.Header.Length == 0)) {
    TTally& tally = FUnknownCodes[code];
    if (tally.Count++ == 0)
      tally.First = record;
  }
}

void TStructureLint::TakeCell(const TRecordRef& record, const TCellRecord& cell)
{
  if (!FXfs.empty() && static_cast<std::size_t>(cell.Xf) >= FXfs.size()) {
    TTally& tally = FBadCellXfs[cell.Xf];
    if (tally.Count++ == 0)
      tally.First = record;
  }
  TSheet& sheet = *FSheet;
  if (sheet.Dimensions) {
    const TDimensionsRecord& d = *sheet.Dimensions;
    // Before BIFF8 the load's dimensions count one row and column more.
    const int lastRow = sheet.Biff8 ? d.LastRow : d.LastRow - 1;
    const int lastColumn = sheet.Biff8 ? d.LastColumn : d.LastColumn - 1;
    if (cell.Row < d.FirstRow || cell.Row >= lastRow || cell.Column < d.FirstColumn ||
        cell.Column >= lastColumn) {
      if (!sheet.Outside)
        sheet.Outside = TTally{record, 0};
      ++sheet.Outside->Count;
    }
  }
  bool again;
  if (static_cast<std::size_t>(cell.Column) < kColumnsPerRowBitmap) {
    if (sheet.Written.size() <= static_cast<std::size_t>(cell.Row))
      sheet.Written.resize(static_cast<std::size_t>(cell.Row) + 1);
    std::uint64_t& word = sheet.Written[static_cast<std::size_t>(cell.Row)][static_cast<std::size_t>(cell.Column) / 64];
    const std::uint64_t bit = std::uint64_t{1} << (cell.Column % 64);
    again = (word & bit) != 0;
    word |= bit;
  } else {
    again = !sheet.WrittenFar.insert(std::uint64_t(cell.Row) << 16 | std::uint64_t(cell.Column)).second;
  }
  if (!again)
    return;
  if (FDuplicatesReported++ < kMostDuplicatesListed)
    Report(TLintSeverity::lsWarning, "duplicate-cell", &record,
           FormatMessage(kLintDuplicateCell, CellReference(cell.Row, cell.Column)));
  else
    ++FDuplicatesMore;
}

void TStructureLint::FinishSheet()
{
  if (FSheet->Outside)
    Report(TLintSeverity::lsWarning, "dimensions", &FSheet->Outside->First,
           FormatMessage(kLintOutsideDimensions, Counted(FSheet->Outside->Count, "cell", "cells")));
  FSheet.reset();
}

void TStructureLint::FinishSst()
{
  const std::vector<TRecordRef> parts = std::move(FSst);
  FSst.clear();
  FSstRecord = parts.front();
  TRecordCursor counts(parts.front().Data);
  FSstTotal = counts.U32("total");
  FSstUnique = counts.U32("unique");
  // The structure of the table as the reader reads it; where it breaks,
  // the load says why.
  struct TWatch {
    TStructureLint& Lint;
    const std::vector<TRecordRef>& Parts;
    void StringStart(std::size_t, std::size_t part, std::size_t position)
    {
      Lint.FStringOffsets.push_back(Parts[part].Offset + 4 + position);
      Lint.FStringRecords.push_back(Parts[part].Offset);
    }
    void SplitInsideCharacter(std::size_t index, std::size_t part)
    {
      Lint.Report(TLintSeverity::lsError, "sst-string-split", &Parts[part],
                  FormatMessage(kLintSstSplitCharacter, Number(index)));
    }
    void HeaderSplit(std::size_t part, std::size_t leftover)
    {
      Lint.Report(TLintSeverity::lsError, "sst-string-split", &Parts[part],
                  FormatMessage(kLintSstSplitHeader, Counted(leftover, "byte", "bytes")));
    }
  };
  // A table the reader cannot read fails the load with the same message.
  TPartCursor cursor(parts);
  std::size_t stored = 0;
  DecodeSst(cursor, [](std::size_t) {}, [&](std::string&&) { ++stored; }, TWatch{*this, parts});
  if (FSstUnique > stored)
    Report(TLintSeverity::lsError, "sst-count", &parts.front(),
           FormatMessage(kLintSstFewer, Number(FSstUnique), Number(stored)));
}

void TStructureLint::CheckExtSst(const TRecordRef& record)
{
  // [MS-XLS] 2.4.107 ExtSST: strings per bucket, then per bucket the stream
  // offset of its first string and that string's offset in its record.
  TRecordCursor cursor(record.Data);
  const std::size_t perBucket = cursor.U16("strings_per_bucket");
  for (std::size_t bucket = 0; cursor.Remaining() >= 8; ++bucket) {
    const std::uint32_t position = cursor.U32("position");
    const std::uint16_t inRecord = cursor.U16("offset_in_record");
    cursor.U16("reserved");
    const std::size_t index = bucket * perBucket;
    if (perBucket == 0 || index >= FStringOffsets.size())
      break;
    if (position != FStringOffsets[index] || inRecord != FStringOffsets[index] - FStringRecords[index]) {
      Report(TLintSeverity::lsWarning, "extsst-offsets", &record,
             FormatMessage(kLintExtSst, Number(bucket), Number(position)));
      return;  // one finding says the table is off
    }
  }
}

void TStructureLint::CheckIndex(const TRecordRef& record)
{
  // [MS-XLS] 2.4.144 Index: the DBCELL records' stream offsets come after
  // the row range (32-bit rows from BIFF8 on) and one more dword. DBCELL
  // came with BIFF5; what an older INDEX points at is not checked.
  if (FContext.Version < TExcelVersion::evExcel5)
    return;
  TRecordCursor cursor(record.Data);
  cursor.U32("reserved");
  if (FContext.Biff8()) {
    cursor.U32("first_row");
    cursor.U32("last_row_plus_1");
  } else {
    cursor.U16("first_row");
    cursor.U16("last_row_plus_1");
  }
  cursor.U32("default_col_width_position");
  while (cursor.Remaining() >= 4) {
    const std::uint32_t position = cursor.U32("dbcell_position");
    if (position > record.Offset)
      FExpectedDbCells.emplace(position, record);
  }
}

void TStructureLint::CheckDbCell(const TRecordRef& record)
{
  FDbCellOffsets.insert(record.Offset);
  FExpectedDbCells.erase(record.Offset);
  TRecordCursor cursor(record.Data);
  const std::uint32_t back = cursor.U32("first_row_offset");
  if (cursor.Short() || back == 0 || back > record.Offset)
    return;
  const std::uint64_t target = record.Offset - back;
  if (!std::binary_search(FRowOffsets.begin(), FRowOffsets.end(), target))
    Report(TLintSeverity::lsWarning, "index-offsets", &record,
           FormatMessage(kLintDbCellNoRow, Number(target)));
}

void TStructureLint::CheckFormats()
{
  for (const auto& [record, xf] : FXfs) {
    if (FFonts > 0) {
      const int font = xf.FontIndex >= kSkippedFont + 1 ? xf.FontIndex - 1 : xf.FontIndex;
      if (xf.FontIndex == kSkippedFont || static_cast<std::size_t>(font) >= FFonts)
        Report(TLintSeverity::lsWarning, "font-index", &record,
               FormatMessage(kLintFontIndex, Number(static_cast<std::uint64_t>(xf.FontIndex))));
    }
    if (xf.FormatIndex >= kFirstCustomFormat && !FFormats.contains(xf.FormatIndex))
      Report(TLintSeverity::lsWarning, "format-index", &record,
             FormatMessage(kLintFormatIndex, Number(static_cast<std::uint64_t>(xf.FormatIndex))));
  }
}

void TStructureLint::Finish(std::span<const std::uint8_t> stream, const TCompoundMap* container)
{
  if (!FSst.empty())
    FinishSst();
  if (FSheet)
    FinishSheet();
  // Records without any BOF are no workbook, whatever else they hold.
  if (FFirstRecord && FWalk.Substreams().empty())
    Report(TLintSeverity::lsError, "no-bof", &*FFirstRecord, kLintNoBof);
  for (const TSubstream& substream : FWalk.Substreams())
    if (substream.Eof == 0) {
      TRecordRef bof;
      bof.Number = substream.Bof;
      bof.Offset = substream.BofOffset;
      Report(TLintSeverity::lsError, "bof-eof-balance", &bof, kLintBofWithoutEof);
    }
  for (const auto& [record, position] : FBoundSheets)
    if (!FBofOffsets.contains(position)) {
      std::string name;
      Decode<TBoundSheetDecoder>(record, FContext, [&](const TSheetName& entry) { name = entry.Name; });
      Report(TLintSeverity::lsError, "boundsheet-offset", &record,
             FormatMessage(kLintBoundSheetNowhere, name, Number(position)));
    }
  for (const auto& [position, index] : FExpectedDbCells)
    if (!FDbCellOffsets.contains(position))
      Report(TLintSeverity::lsWarning, "index-offsets", &index,
             FormatMessage(kLintIndexNoDbCell, Number(position)));
  if (FSstRecord && FSstTotal < FLabelSsts)
    Report(TLintSeverity::lsWarning, "sst-count", &*FSstRecord,
           FormatMessage(kLintSstTotal, Number(FSstTotal), Number(FLabelSsts)));
  for (const auto& [xf, tally] : FBadCellXfs)
    Report(TLintSeverity::lsError, "xf-index", &tally.First,
           FormatMessage(kLintXfIndex, Counted(tally.Count, "cell", "cells"), Number(static_cast<std::uint64_t>(xf))));
  CheckFormats();
  if (FDuplicatesMore > 0)
    Report(TLintSeverity::lsWarning, "duplicate-cell", nullptr,
           FormatMessage(kLintMoreDuplicates, Counted(FDuplicatesMore, "more cell", "more cells")));
  if (FEndOfLastEof > 0 && FEndOfLastEof < stream.size()) {
    const auto tail = stream.subspan(static_cast<std::size_t>(FEndOfLastEof));
    const auto nonZero = static_cast<std::uint64_t>(std::count_if(tail.begin(), tail.end(), [](std::uint8_t b) { return b != 0; }));
    if (nonZero > 0)
      Report(TLintSeverity::lsWarning, "trailing-bytes", nullptr,
             FormatMessage(kLintTrailingBytes, Counted(tail.size(), "byte", "bytes")));
  }
  for (const auto& [code, tally] : FUnknownCodes)
    Report(TLintSeverity::lsInfo, "unknown-record", &tally.First,
           FormatMessage(kLintUnknownRecord, Counted(tally.Count, "record", "records"), HexNumber(code, 4)));
  if (container)
    for (const TCompoundProblem& problem : container->Problems) {
      // Sectors no chain reaches lose nothing the workbook holds.
      const bool unused = problem.Scope == TProblemScope::psUnused;
      Report(unused ? TLintSeverity::lsWarning : TLintSeverity::lsError, "compound-file", nullptr, problem.Message);
    }
}
