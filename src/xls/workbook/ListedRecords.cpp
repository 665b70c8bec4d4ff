#include "xls/workbook/ListedRecords.h"

#include "platform/Errors.h"
#include "xls/workbook/WorkbookMessages.h"

#include <algorithm>

namespace {

constexpr std::size_t kTypicalRecordBytes = 16;
constexpr std::uint64_t kRecordHeaderBytes = 4;

}  // namespace

bool TListedRecords::Takes(const TStreamRecord& record) const
{
  if (!record.Stream || record.Stream->empty() || record.Offset > kMaxStreamOffset ||
      record.Offset + kRecordHeaderBytes > record.Stream->size())
    return false;
  return FOffsets.empty() || record.Stream->data() == FStream.data();
}

void TListedRecords::AppendFirst(const TStreamRecord& record)
{
  if (!Takes(record))
    throw EBiffLensError(kMsgRecordListNeedsStream);
  if (FOffsets.empty()) {
    // A record takes 4 header bytes and, in real workbooks, about a dozen
    // more: room for that many at once spares the list its regrowth
    // copies; it never asks for more than the stream justifies.
    FOffsets.reserve(record.Stream->size() / kTypicalRecordBytes);
    FStream = *record.Stream;
    FSource = record.Stream;
  }
  FOffsets.push_back(static_cast<std::uint32_t>(record.Offset));
}

void TListedRecords::Clear()
{
  FOffsets = {};
  FStream = {};
  FSource = nullptr;
}

TRecordRow TListedRecords::Row(std::size_t index) const
{
  const std::uint32_t stored = FOffsets.at(index);
  // A record's header is the stream's own four bytes at its offset.
  const auto at = static_cast<std::size_t>(stored);
  TRecordRow result;
  result.Offset = stored;
  result.Code = static_cast<std::uint16_t>(FStream[at] | FStream[at + 1] << 8);
  result.Length = static_cast<std::uint16_t>(FStream[at + 2] | FStream[at + 3] << 8);
  const std::size_t after = FStream.size() - at - kRecordHeaderBytes;
  result.DataSize = static_cast<std::uint16_t>(std::min<std::size_t>(result.Length, after));
  return result;
}

std::span<const std::uint8_t> TListedRecords::RawBytes(std::size_t index) const
{
  if (index >= Count())
    return {};
  const TRecordRow r = Row(index);
  return FStream.Span().subspan(static_cast<std::size_t>(r.Offset), kRecordHeaderBytes + r.DataSize);
}

std::span<const std::uint8_t> TListedRecords::RowBytes(std::size_t index) const
{
  if (index >= Count())
    return {};
  const TRecordRow r = Row(index);
  return FStream.Span().subspan(static_cast<std::size_t>(r.Offset + kRecordHeaderBytes), r.DataSize);
}
