#include "ui/RecordListModel.h"

#include "platform/Errors.h"
#include "platform/text/HexText.h"
#include "ui/UiMessages.h"
#include "xls/RecordNames.h"

#include <algorithm>

namespace {

constexpr std::size_t kTypicalRecordBytes = 16;
constexpr std::uint64_t kRecordHeaderBytes = 4;

constexpr const char* kColumnTitles[TRecordListModel::rcColumnCount] = {"#", "Code", "Length",
                                                                         "Name", "Offset"};

}  // namespace

std::string RecordCodeText(std::uint16_t code)
{
  return HexNumber(code, 4);
}

std::string RecordOffsetText(std::uint64_t offset)
{
  return HexNumber(offset, 8);
}

TRecordListModel::TRecordListModel(QObject* parent) : QAbstractTableModel(parent) {}

TRecordListModel::TLoadGuard::TLoadGuard(TRecordListModel& model) : FModel(model)
{
  FModel.beginResetModel();
  FModel.FResetting = true;
  FModel.FRows.clear();
  FModel.FStream = {};
  FModel.FSource = nullptr;
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

void TRecordListModel::AppendRow(const TStreamRecord& record)
{
  if (!record.Stream || record.Stream->empty() || record.Offset > kMaxStreamOffset ||
      record.Offset + kRecordHeaderBytes > record.Stream->size())
    throw EBiffLensError(kMsgRecordListNeedsStream);
  if (FRows.empty()) {
    // A record takes 4 header bytes and, in real workbooks, about a dozen
    // more: room for that many rows at once spares the list its regrowth
    // copies; it never asks for more than the stream justifies.
    if (FResetting)
      FRows.reserve(record.Stream->size() / kTypicalRecordBytes);
    FStream = *record.Stream;
    FSource = record.Stream;
  } else if (record.Stream->data() != FStream.data()) {
    throw EBiffLensError(kMsgRecordListNeedsStream);
  }
  const auto row = static_cast<TStoredRow>(record.Offset);
  if (FResetting) {
    FRows.push_back(row);
    return;
  }
  const int at = Count();
  beginInsertRows(QModelIndex(), at, at);
  FRows.push_back(row);
  endInsertRows();
}

TRecordRow TRecordListModel::Row(int row) const
{
  const TStoredRow stored = FRows.at(static_cast<std::size_t>(row));
  // A row's header is the stream's own four bytes at its offset.
  const auto at = static_cast<std::size_t>(stored);
  TRecordRow result;
  result.Offset = stored;
  result.Code = static_cast<std::uint16_t>(FStream[at] | FStream[at + 1] << 8);
  result.Length = static_cast<std::uint16_t>(FStream[at + 2] | FStream[at + 3] << 8);
  const std::size_t after = FStream.size() - at - kRecordHeaderBytes;
  result.DataSize = static_cast<std::uint16_t>(std::min<std::size_t>(result.Length, after));
  return result;
}

std::span<const std::uint8_t> TRecordListModel::RowBytes(int row) const
{
  if (row < 0 || row >= Count())
    return {};
  const TRecordRow r = Row(row);
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
