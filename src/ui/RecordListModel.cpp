#include "ui/RecordListModel.h"

#include "platform/Errors.h"
#include "platform/text/HexText.h"
#include "ui/UiMessages.h"
#include "xls/workbook/WorkbookMessages.h"
#include "xls/records/RecordTable.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr const char* kColumnTitles[TRecordListModel::rcColumnCount] = {"#", "Code", "Length",
                                                                         "Name", "Type", "Offset"};

}  // namespace

std::string RecordCodeText(std::uint16_t code)
{
  return HexNumber(code, 4);
}

std::string RecordOffsetText(std::uint64_t offset)
{
  return HexNumber(offset, 8);
}

TRecordListModel::TRecordListModel(QObject* parent)
    : QAbstractTableModel(parent), FOwn(std::make_unique<TListedRecords>()), FRecords(FOwn.get())
{
}

TRecordListModel::TRecordListModel(TListedRecords& records, QObject* parent)
    : QAbstractTableModel(parent), FRecords(&records)
{
}

TRecordListModel::TLoadGuard::TLoadGuard(TRecordListModel& model) : FModel(model)
{
  FModel.beginResetModel();
  FModel.FResetting = true;
  FModel.FRecords->Clear();
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
  if (!FRecords->Takes(record))
    throw EBiffLensError(kMsgRecordListNeedsStream);
  const int at = Count();
  beginInsertRows(QModelIndex(), at, at);
  FRecords->Append(record);
  endInsertRows();
}

TRecordRow TRecordListModel::Row(int row) const
{
  if (row < 0)
    throw std::out_of_range("row");
  return FRecords->Row(static_cast<std::size_t>(row));
}

std::span<const std::uint8_t> TRecordListModel::RowBytes(int row) const
{
  return row < 0 ? std::span<const std::uint8_t>() : FRecords->RowBytes(static_cast<std::size_t>(row));
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
  if (role == Qt::TextAlignmentRole)
    return ColumnAlignment(index.column());
  if (role != Qt::DisplayRole)
    return {};
  return RowText(Row(index.row()), index.row() + 1, index.column());
}

QVariant TRecordListModel::ColumnAlignment(int column)
{
  switch (column) {
  case rcCode:
    return int(Qt::AlignCenter);
  case rcLength:
  case rcOffset:
    return int(Qt::AlignRight | Qt::AlignVCenter);
  default:
    return int(Qt::AlignLeft | Qt::AlignVCenter);
  }
}

QVariant TRecordListModel::RowText(const TRecordRow& r, int number, int column)
{
  switch (column) {
  case rcNumber:
    return QString::number(number);
  case rcCode:
    return QString::fromStdString(RecordCodeText(r.Code));
  case rcLength:
    return QString::number(r.Length);
  case rcName:
    return QString::fromLatin1(RecordTypeName(r.Code));
  case rcType:
    return QString::fromLatin1(RecordCatalogueName(r.Code));
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
  return ColumnHeader(section, role);
}

QVariant TRecordListModel::ColumnHeader(int section, int role)
{
  if (section < 0 || section >= rcColumnCount)
    return {};
  if (role == Qt::DisplayRole)
    return QString::fromLatin1(kColumnTitles[section]);
  if (role == Qt::TextAlignmentRole)
    return ColumnAlignment(section);
  return {};
}
