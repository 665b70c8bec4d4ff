#include "ui/RecordFilterModel.h"

#include "ui/RecordListModel.h"

#include <algorithm>

TRecordFilterModel::TRecordFilterModel(TRecordListModel& records, QObject* parent)
    : QAbstractTableModel(parent), FRecords(records)
{
  // A new load drops the filter: its indexes named the old records.
  connect(&FRecords, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    beginResetModel();
    FRows.clear();
    FFiltered = false;
  });
  connect(&FRecords, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
  // Rows appended outside a load are shown while nothing is filtered.
  connect(&FRecords, &QAbstractItemModel::rowsAboutToBeInserted, this,
          [this](const QModelIndex&, int first, int last) {
            if (!FFiltered)
              beginInsertRows(QModelIndex(), first, last);
          });
  connect(&FRecords, &QAbstractItemModel::rowsInserted, this, [this] {
    if (!FFiltered)
      endInsertRows();
  });
}

void TRecordFilterModel::SetFilter(std::vector<std::uint32_t> rows)
{
  beginResetModel();
  FRows = std::move(rows);
  FFiltered = true;
  endResetModel();
}

void TRecordFilterModel::ClearFilter()
{
  if (!FFiltered)
    return;
  beginResetModel();
  FRows.clear();
  FRows.shrink_to_fit();
  FFiltered = false;
  endResetModel();
}

int TRecordFilterModel::RecordOfRow(int row) const
{
  if (row < 0 || row >= rowCount())
    return -1;
  return FFiltered ? static_cast<int>(FRows[static_cast<std::size_t>(row)]) : row;
}

int TRecordFilterModel::RowOfRecord(int record) const
{
  if (record < 0 || record >= FRecords.Count())
    return -1;
  if (!FFiltered)
    return record;
  const auto at = std::lower_bound(FRows.begin(), FRows.end(), static_cast<std::uint32_t>(record));
  return at != FRows.end() && *at == static_cast<std::uint32_t>(record) ? static_cast<int>(at - FRows.begin()) : -1;
}

int TRecordFilterModel::rowCount(const QModelIndex& parent) const
{
  if (parent.isValid())
    return 0;
  return FFiltered ? static_cast<int>(FRows.size()) : FRecords.Count();
}

int TRecordFilterModel::columnCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : TRecordListModel::rcColumnCount;
}

QVariant TRecordFilterModel::data(const QModelIndex& index, int role) const
{
  if (!index.isValid() || index.model() != this)
    return {};
  const int record = RecordOfRow(index.row());
  if (record < 0)
    return {};
  return FRecords.data(FRecords.index(record, index.column()), role);
}

QVariant TRecordFilterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
  return FRecords.headerData(section, orientation, role);
}
