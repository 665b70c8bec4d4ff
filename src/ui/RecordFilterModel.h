#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

class TRecordListModel;

/// What the record list shows of the listed records: all of them, or those
/// a filter keeps, each with its own number. A filter is a vector of record
/// indexes computed in one pass (FilterRecords), not a proxy asking per row.
///
/// Keeps a reference to the record list, which outlives it; follows its
/// resets (the filter is dropped) and appended rows.
class TRecordFilterModel : public QAbstractTableModel {
  Q_OBJECT

public:
  explicit TRecordFilterModel(TRecordListModel& records, QObject* parent = nullptr);

  /// Shows only the records `rows` lists (ascending indexes into the list).
  void SetFilter(std::vector<std::uint32_t> rows);
  /// Shows every record.
  void ClearFilter();
  bool Filtered() const { return FFiltered; }
  /// The listed records shown, ascending; valid while Filtered().
  const std::vector<std::uint32_t>& Rows() const { return FRows; }

  /// The record (index in the list) row `row` shows, or -1.
  int RecordOfRow(int row) const;
  /// The row that shows record `record`, or -1 when it is filtered out.
  int RowOfRecord(int record) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
  TRecordListModel& FRecords;
  std::vector<std::uint32_t> FRows;
  bool FFiltered = false;
};
