#include "xls/records/RecordDirectory.h"

#include "xls/RecordCodes.h"
#include "xls/records/RecordTable.h"
#include "xls/decode/ChartRecords.h"
#include "xls/records/RecordTable.h"
#include "xls/stream/SubstreamWalk.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::size_t kHeaderBytes = 4;
constexpr std::array<std::uint16_t, 4> kXfCodes = {kRecXf2, kRecXf3, kRecXf4, kRecXf5};
constexpr std::array<std::uint16_t, 2> kFontCodes = {kRecFont, kRecFont3};
constexpr std::array<std::uint16_t, 2> kFormatCodes = {kRecFormat2, kRecFormat4};
// [MS-XLS] 2.5.129: there is no font 4.
constexpr std::int64_t kMissingFont = 4;
// How far back ChartPath looks for its chart's BOF.
constexpr std::size_t kMostChartRecords = 100000;

bool IsCellCode(std::uint16_t code)
{
  switch (code) {
  case kRecBlank2:
  case kRecInteger2:
  case kRecNumber2:
  case kRecLabel2:
  case kRecBoolErr2:
  case kRecFormula:
  case kRecBlank:
  case kRecNumber:
  case kRecLabel:
  case kRecBoolErr:
  case kRecFormula3:
  case kRecFormula4:
  case kRecRk:
  case kRecRk3:
  case kRecMulRk:
  case kRecMulBlank:
  case kRecRString:
  case kRecLabelSst:
    return true;
  default:
    return false;
  }
}

std::uint16_t Word(std::span<const std::uint8_t> data, std::size_t at)
{
  return at + 2 <= data.size() ? static_cast<std::uint16_t>(data[at] | data[at + 1] << 8) : 0;
}

/// The columns a cell record writes: one, or MULRK's and MULBLANK's run.
std::pair<int, int> CellColumns(std::uint16_t code, std::span<const std::uint8_t> data)
{
  // Row, first column and the last column's word around the cells; a
  // record with room for none writes none (first > last).
  constexpr std::size_t kFrame = 6;
  const int first = Word(data, 2);
  if (code == kRecMulRk)
    return {first, first + static_cast<int>(data.size() > kFrame ? (data.size() - kFrame) / 6 : 0) - 1};
  if (code == kRecMulBlank)
    return {first, first + static_cast<int>(data.size() > kFrame ? (data.size() - kFrame) / 2 : 0) - 1};
  return {first, first};
}

}  // namespace

std::string ContinuationText(const TContinuation& continuation, const TRecordRef& head)
{
  return "part " + std::to_string(continuation.Part) + " of record " + std::to_string(head.Number) + " (" +
         RecordTypeName(head.Header.Code) + ")";
}

TRecordDirectory::TRecordDirectory(std::span<const std::uint8_t> stream,
                                   std::span<const std::uint32_t> offsets, TWalkStart start)
    : FStream(stream), FOffsets(offsets), FStart(start)
{
}

TRecordRef TRecordDirectory::Record(std::size_t index) const
{
  TRecordRef record;
  if (index >= FOffsets.size())
    return record;
  const std::size_t at = FOffsets[index];
  record.Number = index + 1;
  record.Offset = at;
  if (at > FStream.size() || FStream.size() - at < kHeaderBytes)
    return record;
  record.Header.Code = Word(FStream, at);
  record.Header.Length = Word(FStream, at + 2);
  const std::size_t after = FStream.size() - at - kHeaderBytes;
  record.Data = FStream.subspan(at + kHeaderBytes, std::min<std::size_t>(record.Header.Length, after));
  return record;
}

std::uint16_t TRecordDirectory::Code(std::size_t index) const
{
  if (index >= FOffsets.size())
    return 0;
  return Word(FStream, FOffsets[index]);
}

std::vector<TRecordRef> TRecordDirectory::LogicalParts(std::size_t index) const
{
  std::vector<TRecordRef> parts;
  if (index >= Count())
    return parts;
  parts.push_back(Record(index));
  const TRecordType* type = FindRecordType(parts[0].Header.Code);
  if (!type || !type->Continued)
    return parts;
  for (std::size_t next = index + 1; next < Count() && Code(next) == kRecContinue; ++next)
    parts.push_back(Record(next));
  return parts;
}

std::optional<TContinuation> TRecordDirectory::ContinuationOf(std::size_t index) const
{
  if (index >= Count() || Code(index) != kRecContinue)
    return std::nullopt;
  if (index < FLastRun.First || index >= FLastRun.End) {
    std::size_t first = index;
    while (first > 0 && Code(first - 1) == kRecContinue)
      --first;
    std::size_t end = index + 1;
    while (end < Count() && Code(end) == kRecContinue)
      ++end;
    FLastRun = {first, end};
  }
  if (FLastRun.First == 0)
    return std::nullopt;  // CONTINUE records from the stream's start on
  const std::size_t head = FLastRun.First - 1;
  TContinuation continuation;
  continuation.Head = head;
  continuation.Part = index - head;
  continuation.Parts = FLastRun.End - head - 1;
  const TRecordType* type = FindRecordType(Code(head));
  continuation.Joined = type && type->Continued;
  return continuation;
}

std::vector<std::size_t> TRecordDirectory::PartStarts(std::span<const TRecordRef> parts)
{
  std::vector<std::size_t> starts;
  std::size_t at = 0;
  for (const TRecordRef& part : parts) {
    starts.push_back(at);
    at += part.Data.size() + kHeaderBytes;
  }
  return starts;
}

std::optional<TLinkTarget> TRecordDirectory::RecordAt(std::uint64_t position) const
{
  if (FOffsets.empty())
    return std::nullopt;
  const auto after = std::upper_bound(FOffsets.begin(), FOffsets.end(), position);
  if (after == FOffsets.begin())
    return std::nullopt;
  const auto index = static_cast<std::size_t>(std::prev(after) - FOffsets.begin());
  const TRecordRef record = Record(index);
  TLinkTarget target;
  target.Record = index;
  if (position < record.Offset + kHeaderBytes)
    return target;
  const std::uint64_t byte = position - record.Offset - kHeaderBytes;
  if (byte >= record.Data.size())
    return index + 1 < Count() ? std::nullopt : std::optional<TLinkTarget>(target);
  target.Byte = static_cast<std::size_t>(byte);
  // A byte of a CONTINUE record whose head reads it is a byte of the head's
  // logical record.
  if (const auto continuation = ContinuationOf(index); continuation && continuation->Joined) {
    const std::vector<TRecordRef> parts = LogicalParts(continuation->Head);
    const std::vector<std::size_t> starts = PartStarts(parts);
    if (continuation->Part < starts.size()) {
      target.Record = continuation->Head;
      target.Byte = starts[continuation->Part] + static_cast<std::size_t>(byte);
    }
  }
  return target;
}

std::optional<std::size_t> TRecordDirectory::NthOf(std::span<const std::uint16_t> codes,
                                                   std::size_t ordinal) const
{
  // The workbook's tables are the first substream's own records.
  const auto& substreams = Substreams();
  const std::size_t end = substreams.empty() ? Count() : substreams.front().End;
  std::size_t seen = 0;
  for (std::size_t i = 0; i < end; ++i) {
    if (std::find(codes.begin(), codes.end(), Code(i)) == codes.end() || SubstreamOf(i) > 0)
      continue;
    if (seen == ordinal)
      return i;
    ++seen;
  }
  return std::nullopt;
}

std::optional<std::size_t> TRecordDirectory::FormatRecord(std::int64_t index) const
{
  if (index < 0)
    return std::nullopt;
  // BIFF2 to BIFF4 number their formats in order; from BIFF5 on each FORMAT
  // says its number.
  Substreams();
  if (FBookVersion < TExcelVersion::evExcel5)
    return NthOf(kFormatCodes, static_cast<std::size_t>(index));
  const auto& substreams = Substreams();
  const std::size_t end = substreams.empty() ? Count() : substreams.front().End;
  for (std::size_t i = 0; i < end; ++i)
    if (Code(i) == kRecFormat4 && Word(Record(i).Data, 0) == index && SubstreamOf(i) <= 0)
      return i;
  return std::nullopt;
}

std::optional<std::size_t> TRecordDirectory::SharedStringTable() const
{
  for (std::size_t i = 0; i < Count(); ++i) {
    const std::uint16_t code = Code(i);
    if (code == kRecSst)
      return i;
    if (code == kRecEof)
      break;
  }
  return std::nullopt;
}

std::optional<TLinkTarget> TRecordDirectory::Resolve(const TFieldLink& link, std::size_t from) const
{
  std::optional<std::size_t> record;
  switch (link.Kind) {
  case TFieldLinkKind::lkNone: return std::nullopt;
  case TFieldLinkKind::lkStreamOffset:
    if (link.Target < 0)
      return std::nullopt;
    return RecordAt(static_cast<std::uint64_t>(link.Target));
  case TFieldLinkKind::lkRecordOffset: {
    if (from >= Count())
      return std::nullopt;
    const std::int64_t position = static_cast<std::int64_t>(FOffsets[from]) + link.Target;
    if (position < 0)
      return std::nullopt;
    return RecordAt(static_cast<std::uint64_t>(position));
  }
  case TFieldLinkKind::lkXf:
    if (link.Target >= 0)
      record = NthOf(kXfCodes, static_cast<std::size_t>(link.Target));
    break;
  case TFieldLinkKind::lkFont:
    if (link.Target >= 0 && link.Target != kMissingFont)
      record = NthOf(kFontCodes, static_cast<std::size_t>(link.Target < kMissingFont ? link.Target : link.Target - 1));
    break;
  case TFieldLinkKind::lkFormat: record = FormatRecord(link.Target); break;
  case TFieldLinkKind::lkSharedString: {
    record = SharedStringTable();
    if (!record || link.Target < 0)
      return std::nullopt;
    TLinkTarget target;
    target.Record = *record;
    target.String = static_cast<std::size_t>(link.Target);
    return target;
  }
  }
  if (!record)
    return std::nullopt;
  TLinkTarget target;
  target.Record = *record;
  return target;
}

std::vector<std::uint16_t> TRecordDirectory::ChartPath(std::size_t index) const
{
  if (index >= Count())
    return {};
  const int at = SubstreamOf(index);
  if (at < 0)
    return {};
  const TSubstream& chart = Substreams()[static_cast<std::size_t>(at)];
  if (chart.Type != kBofTypeChart || index - chart.First > kMostChartRecords)
    return {};
  std::vector<std::uint16_t> codes;
  for (std::size_t i = chart.First + 1; i <= index; ++i)
    codes.push_back(Code(i));
  return ChartBlockPath(codes);
}

const std::vector<TRecordDirectory::TSubstream>& TRecordDirectory::Substreams() const
{
  if (FSubstreamsKnown)
    return FSubstreams;
  FSubstreamsKnown = true;
  TSubstreamWalk walk(FStart);
  FBookVersion = FStart.Version;
  for (std::size_t i = 0; i < Count(); ++i)
    if (walk.Step(Record(i)) == TWalkStep::wsOpened && walk.Substreams().size() == 1)
      FBookVersion = walk.Version();
  FWalked = walk.Substreams();
  for (const ::TSubstream& found : FWalked) {
    TSubstream substream;
    substream.First = static_cast<std::size_t>(found.Bof - 1);
    substream.End = found.Last == 0 ? Count() : static_cast<std::size_t>(found.Last);
    substream.Type = found.Type;
    substream.Parent = found.Parent;
    substream.Sheet = found.Worksheet;
    FSubstreams.push_back(substream);
  }
  return FSubstreams;
}

const std::vector<::TSubstream>& TRecordDirectory::Walked() const
{
  Substreams();
  return FWalked;
}

int TRecordDirectory::SubstreamOf(std::size_t index) const
{
  const auto& substreams = Substreams();
  // The last substream opened at or before the record; then out through
  // its parents until one holds it.
  const auto after = std::upper_bound(substreams.begin(), substreams.end(), index,
                                      [](std::size_t i, const TSubstream& s) { return i < s.First; });
  int at = static_cast<int>(after - substreams.begin()) - 1;
  while (at >= 0 && substreams[static_cast<std::size_t>(at)].End <= index)
    at = substreams[static_cast<std::size_t>(at)].Parent;
  return at;
}

int TRecordDirectory::SheetOf(std::size_t index) const
{
  // The substream the record lies in must be the worksheet itself, not a
  // chart inside it.
  const int at = SubstreamOf(index);
  return at < 0 ? -1 : Substreams()[static_cast<std::size_t>(at)].Sheet;
}

std::optional<TCellPlace> TRecordDirectory::CellOf(std::size_t index) const
{
  if (index >= Count() || !IsCellCode(Code(index)))
    return std::nullopt;
  const TRecordRef record = Record(index);
  if (record.Data.size() < 4)
    return std::nullopt;
  // A MULRK or MULBLANK too short for one cell writes none.
  const auto [first, last] = CellColumns(record.Header.Code, record.Data);
  if (first > last)
    return std::nullopt;
  const int sheet = SheetOf(index);
  if (sheet < 0)
    return std::nullopt;
  return TCellPlace{sheet, Word(record.Data, 0), first};
}

std::optional<std::size_t> TRecordDirectory::RecordOfCell(const TCellPlace& place) const
{
  const auto& substreams = Substreams();
  const auto sheet = std::find_if(substreams.begin(), substreams.end(),
                                  [&](const TSubstream& s) { return s.Sheet == place.Sheet && s.Sheet >= 0; });
  if (sheet == substreams.end())
    return std::nullopt;
  const int sheetIndex = static_cast<int>(sheet - substreams.begin());
  std::optional<std::size_t> last;
  for (std::size_t i = sheet->First + 1; i < sheet->End; ++i) {
    const std::uint16_t code = Code(i);
    // The cells of charts inside the sheet are not the sheet's.
    if (!IsCellCode(code) || SubstreamOf(i) != sheetIndex)
      continue;
    const TRecordRef record = Record(i);
    if (record.Data.size() < 4 || Word(record.Data, 0) != place.Row)
      continue;
    const auto [first, lastColumn] = CellColumns(code, record.Data);
    if (place.Column >= first && place.Column <= lastColumn)
      last = i;
  }
  return last;
}
