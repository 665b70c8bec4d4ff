#include "xls/stream/SubstreamWalk.h"

#include "xls/RecordCodes.h"

namespace {

static_assert(TSubstreamWalk::IsBofCode(kRecBof2) && TSubstreamWalk::IsBofCode(kRecBof3) &&
                  TSubstreamWalk::IsBofCode(kRecBof4) && TSubstreamWalk::IsBofCode(kRecBof),
              "the walk's BOF codes are the record codes");

std::uint16_t Word(std::span<const std::uint8_t> data, std::size_t at)
{
  return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

// The version a BOF's code says, as a bare stream takes it.
TExcelVersion CodeVersion(std::uint16_t code, std::span<const std::uint8_t> data)
{
  switch (code) {
  case kRecBof2: return TExcelVersion::evExcel2;
  case kRecBof3: return TExcelVersion::evExcel3;
  case kRecBof4: return TExcelVersion::evExcel4;
  default: {
    // A BIFF8 stream saved without a compound file needs its UTF-16 text.
    const TExcelVersion word = BofWordVersion(data);
    return word == TExcelVersion::evExcel8 ? word : TExcelVersion::evExcel5;
  }
  }
}

}  // namespace

TExcelVersion BofWordVersion(std::span<const std::uint8_t> data)
{
  if (data.size() < 2)
    return TExcelVersion::evUnknown;
  return Word(data, 0) == kBofVersionBiff8 ? TExcelVersion::evExcel8 : TExcelVersion::evExcel5;
}

TSubstreamWalk::TSubstreamWalk(TWalkStart start) : FBare(start.Bare), FVersion(start.Version) {}

TWalkStart TSubstreamWalk::CompoundStart(std::string_view name)
{
  // Excel 5 and 95 name the stream "Book"; later versions "Workbook".
  return {false, name == "Book" ? TExcelVersion::evExcel7 : TExcelVersion::evExcel8};
}

TWalkStart TSubstreamWalk::BareStart(TExcelVersion previous)
{
  return {true, previous};
}

std::uint16_t TSubstreamWalk::CurrentType() const
{
  return FOpen.empty() ? 0 : FSubstreams[static_cast<std::size_t>(FOpen.back())].Type;
}

TWalkStep TSubstreamWalk::Boundary(const TRecordRef& record)
{
  const std::uint16_t code = record.Header.Code;
  const std::uint16_t length = record.Header.Length;
  // A chart's MARKERFORMAT shares BOF's low byte, and is a record like any.
  if (code != kEofCode && !IsBofCode(code))
    return length > 0 && code != kRecChartMarkerFormat ? TWalkStep::wsNotBiff : TWalkStep::wsRecord;
  // A record over the length limit has its data passed over, one the
  // stream's end cut short is not whole: they bound nothing.
  if (length > RecordLimit(FVersion) || record.Truncated())
    return TWalkStep::wsNoType;
  if (code == kEofCode) {
    if (FOpen.empty())
      return TWalkStep::wsStrayEof;
    FClosed = FOpen.back();
    TSubstream& closed = FSubstreams[static_cast<std::size_t>(FClosed)];
    closed.Eof = record.Number;
    closed.EofOffset = record.Offset;
    closed.Last = record.Number;
    FOpen.pop_back();
    UpdateInCells();
    return TWalkStep::wsClosed;
  }
  // Version and type words: a BOF of fewer bytes opens nothing.
  if (record.Data.size() < 4)
    return TWalkStep::wsNoType;
  if (FBare)
    FVersion = CodeVersion(code, record.Data);
  else if (!FSeenBof && FVersion == TExcelVersion::evExcel7 &&
           BofWordVersion(record.Data) == TExcelVersion::evExcel8)
    // Some writers name a BIFF8 stream "Book", as Excel 5 and 95 did; its
    // first BOF says what it holds.
    FVersion = TExcelVersion::evExcel8;
  FSeenBof = true;
  Open(record, Word(record.Data, 2));
  return TWalkStep::wsOpened;
}

void TSubstreamWalk::Open(const TRecordRef& record, std::uint16_t type)
{
  // A worksheet never stands inside another substream: its BOF also ends
  // whatever a damaged file left open (a chart whose EOF was lost).
  if (type == kBofTypeWorksheet) {
    for (const int open : FOpen)
      FSubstreams[static_cast<std::size_t>(open)].Last = record.Number - 1;
    FOpen.clear();
  }
  TSubstream substream;
  substream.Bof = record.Number;
  substream.BofOffset = record.Offset;
  substream.Type = type;
  substream.Parent = Current();
  if (type == kBofTypeWorksheet)
    substream.Worksheet = FWorksheets++;
  FOpen.push_back(static_cast<int>(FSubstreams.size()));
  FSubstreams.push_back(substream);
  UpdateInCells();
}

void TSubstreamWalk::UpdateInCells()
{
  const std::uint16_t type = CurrentType();
  FInCells = FOpen.empty() || type == kBofTypeWorksheet ||
             (type == kBofTypeGlobals && FOpen.size() == 1);
}
