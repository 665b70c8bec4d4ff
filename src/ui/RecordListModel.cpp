#include "ui/RecordListModel.h"

#include "xls/RecordNames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kTypicalRecordBytes = 16;
constexpr std::uint64_t kRecordHeaderBytes = 4;

constexpr std::size_t kArenaChunk = std::size_t{1} << 20;
constexpr int kChunkShift = 32;
constexpr std::uint64_t kChunkOffsetMask = (std::uint64_t{1} << kChunkShift) - 1;

constexpr const char* kColumnTitles[TRecordListModel::rcColumnCount] = {"#", "Code", "Length",
                                                                         "Name", "Offset"};

// True when `inner` lies wholly inside `outer`; compares addresses as
// integers, since pointers into different blocks may not be ordered.
bool Contains(std::span<const std::uint8_t> outer, std::span<const std::uint8_t> inner)
{
  const auto begin = reinterpret_cast<std::uintptr_t>(outer.data());
  const auto at = reinterpret_cast<std::uintptr_t>(inner.data());
  return at >= begin && at - begin <= outer.size() && inner.size() <= outer.size() - (at - begin);
}

}  // namespace

std::string RecordCodeText(std::uint16_t code)
{
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(code));
  return text;
}

std::string RecordOffsetText(std::uint64_t offset)
{
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(offset));
  return text;
}

TRecordListModel::TRecordListModel(QObject* parent) : QAbstractTableModel(parent) {}

TRecordListModel::TLoadGuard::TLoadGuard(TRecordListModel& model) : FModel(model)
{
  FModel.beginResetModel();
  FModel.FResetting = true;
  FModel.FRows.clear();
  FModel.FArenaRefs.clear();
  FModel.FStream = {};
  FModel.FChunks.clear();
  FModel.FChunkSizes.clear();
  FModel.FChunkUsed = 0;
}

TRecordListModel::TLoadGuard::~TLoadGuard()
{
  FModel.FResetting = false;
  FModel.endResetModel();
}

void TRecordListModel::Clear()
{
  const TLoadGuard guard(*this);
}

void TRecordListModel::AppendRow(TBIFFRecordHeader header, std::span<const std::uint8_t> data,
                                 std::uint64_t offset, const TSharedBytes& stream)
{
  data = data.first(std::min<std::size_t>(data.size(), header.Length));
  // Rows slice one stream, at the place their header says, with every byte
  // the stream has for them; bytes from anywhere else (another stream, a
  // reader's scratch block) are copied, so no slice can dangle.
  const bool sameStream = FStream.data() == stream.data() && FStream.size() == stream.size();
  const bool inStream =
      !stream.empty() && (FStream.empty() || sameStream) && offset <= kMaxStreamOffset &&
      offset + kRecordHeaderBytes <= stream.size() &&
      StoredHeader(stream, offset).Code == header.Code &&
      StoredHeader(stream, offset).Length == header.Length &&
      (data.empty() || (Contains(stream, data) &&
                        static_cast<std::uint64_t>(data.data() - stream.data()) ==
                            offset + kRecordHeaderBytes)) &&
      data.size() == std::min<std::uint64_t>(header.Length,
                                             stream.size() - offset - kRecordHeaderBytes);
  TStoredRow row = kArenaRow;
  if (inStream) {
    if (FStream.empty() && FRows.empty()) {
      // A record takes 4 header bytes and, in real workbooks, about a dozen
      // more: room for that many rows at once spares the list its
      // regrowth copies; it never asks for more than the stream justifies.
      FRows.reserve(stream.size() / kTypicalRecordBytes);
    }
    FStream = stream;
    row = static_cast<TStoredRow>(offset);
  } else {
    FArenaRefs.push_back({FRows.size(), data.empty() ? 0 : CopyToArena(data), offset,
                          header, static_cast<std::uint16_t>(data.size())});
  }
  if (FResetting) {
    FRows.push_back(row);
    return;
  }
  const int at = Count();
  beginInsertRows(QModelIndex(), at, at);
  FRows.push_back(row);
  endInsertRows();
}

std::uint64_t TRecordListModel::CopyToArena(std::span<const std::uint8_t> bytes)
{
  if (FChunks.empty() || FChunkSizes.back() - FChunkUsed < bytes.size()) {
    const std::size_t size = std::max(kArenaChunk, bytes.size());
    FChunks.push_back(std::make_unique<std::uint8_t[]>(size));
    FChunkSizes.push_back(size);
    FChunkUsed = 0;
  }
  const std::uint64_t pos = (static_cast<std::uint64_t>(FChunks.size() - 1) << kChunkShift) |
                            static_cast<std::uint64_t>(FChunkUsed);
  std::memcpy(FChunks.back().get() + FChunkUsed, bytes.data(), bytes.size());
  FChunkUsed += bytes.size();
  return pos;
}

std::span<const std::uint8_t> TRecordListModel::ArenaSlice(std::uint64_t pos,
                                                           std::uint32_t size) const
{
  const std::size_t chunk = static_cast<std::size_t>(pos >> kChunkShift);
  const std::size_t at = static_cast<std::size_t>(pos & kChunkOffsetMask);
  if (chunk >= FChunks.size() || at > FChunkSizes[chunk] || size > FChunkSizes[chunk] - at)
    return {};
  return {FChunks[chunk].get() + at, size};
}

const TRecordListModel::TArenaRef* TRecordListModel::ArenaRef(std::size_t row) const
{
  if (FArenaRefs.empty())
    return nullptr;
  const auto ref = std::lower_bound(FArenaRefs.begin(), FArenaRefs.end(), row,
                                    [](const TArenaRef& a, std::size_t index) { return a.Row < index; });
  return ref != FArenaRefs.end() && ref->Row == row ? &*ref : nullptr;
}

std::size_t TRecordListModel::StreamDataSize(std::uint64_t offset, std::uint16_t length) const
{
  const std::uint64_t at = offset + kRecordHeaderBytes;
  return at > FStream.size() ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(length, FStream.size() - at));
}

TBIFFRecordHeader TRecordListModel::StoredHeader(const TSharedBytes& stream, std::uint64_t offset)
{
  const auto at = static_cast<std::size_t>(offset);
  return {static_cast<std::uint16_t>(stream[at] | stream[at + 1] << 8),
          static_cast<std::uint16_t>(stream[at + 2] | stream[at + 3] << 8)};
}

TRecordRow TRecordListModel::Row(int row) const
{
  const TStoredRow stored = FRows.at(static_cast<std::size_t>(row));
  TRecordRow result;
  if (stored == kArenaRow) {
    const TArenaRef& ref = *ArenaRef(static_cast<std::size_t>(row));
    result.Offset = ref.Offset;
    result.Code = ref.Header.Code;
    result.Length = ref.Header.Length;
    result.DataSize = ref.DataSize;
    result.InArena = true;
    return result;
  }
  // A stream row's header is the stream's own four bytes at its offset.
  const TBIFFRecordHeader header = StoredHeader(FStream, stored);
  result.Offset = stored;
  result.Code = header.Code;
  result.Length = header.Length;
  result.DataSize = static_cast<std::uint16_t>(StreamDataSize(stored, header.Length));
  return result;
}

std::span<const std::uint8_t> TRecordListModel::RowBytes(int row) const
{
  if (row < 0 || row >= Count())
    return {};
  const TRecordRow r = Row(row);
  if (r.DataSize == 0)
    return {};
  if (r.InArena)
    return ArenaSlice(ArenaRef(static_cast<std::size_t>(row))->Pos, r.DataSize);
  return FStream.Span().subspan(static_cast<std::size_t>(r.Offset + kRecordHeaderBytes), r.DataSize);
}

int TRecordListModel::rowCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : Count();
}

int TRecordListModel::columnCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : rcColumnCount;
}

QVariant TRecordListModel::data(const QModelIndex& index, int role) const
{
  if (!index.isValid() || index.row() >= Count() || index.column() >= rcColumnCount)
    return {};
  if (role == Qt::TextAlignmentRole) {
    switch (index.column()) {
    case rcCode:
      return int(Qt::AlignCenter);
    case rcLength:
    case rcOffset:
      return int(Qt::AlignRight | Qt::AlignVCenter);
    default:
      return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
  }
  if (role != Qt::DisplayRole)
    return {};
  const TRecordRow r = Row(index.row());
  switch (index.column()) {
  case rcNumber:
    return QString::number(index.row() + 1);
  case rcCode:
    return QString::fromStdString(RecordCodeText(r.Code));
  case rcLength:
    return QString::number(r.Length);
  case rcName:
    return QString::fromLatin1(RecordTypeName(r.Code));
  case rcOffset:
    return QString::fromStdString(RecordOffsetText(r.Offset));
  default:
    return {};
  }
}

QVariant TRecordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
  if (orientation != Qt::Horizontal || section < 0 || section >= rcColumnCount)
    return QAbstractTableModel::headerData(section, orientation, role);
  if (role == Qt::DisplayRole)
    return QString::fromLatin1(kColumnTitles[section]);
  if (role == Qt::TextAlignmentRole) {
    if (section == rcCode)
      return int(Qt::AlignCenter);
    if (section == rcLength || section == rcOffset)
      return int(Qt::AlignRight | Qt::AlignVCenter);
    return int(Qt::AlignLeft | Qt::AlignVCenter);
  }
  return {};
}
