#pragma once

#include "model/SpreadSheetFile.h"
#include "platform/SharedBytes.h"
#include "xls/MSExcel.h"
#include "xls/workbook/ListedRecords.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

/// "0x" and the record code as 4 uppercase hexadecimal digits ("0x000A").
std::string RecordCodeText(std::uint16_t code);
/// "0x" and the offset as at least 8 uppercase hexadecimal digits.
std::string RecordOffsetText(std::uint64_t offset);

/// The record list: one row per record the reader reports, numbered from 1,
/// with columns "#", "Code", "Length", "Name", "Type" (the record's type in
/// the catalogue, RecordCatalogueName; empty where none describes it) and
/// "Offset". Texts are made on demand for the rows a view asks for.
///
/// The rows are a list of listed records (TListedRecords: the workbook
/// stream by shared ownership, and each record's offset), the model's own
/// or the opened workbook's. Row bytes stay valid until Clear() or the
/// list's end.
class TRecordListModel : public QAbstractTableModel {
  Q_OBJECT

public:
  enum TColumn { rcNumber, rcCode, rcLength, rcName, rcType, rcOffset, rcColumnCount };

  /// A list of its own.
  explicit TRecordListModel(QObject* parent = nullptr);
  /// The rows of `records`, which the caller keeps alive longer than the
  /// model and changes only through it (or within a TLoadGuard).
  explicit TRecordListModel(TListedRecords& records, QObject* parent = nullptr);

  /// Groups a bulk load into one model reset: the constructor begins it and
  /// drops every row, the destructor ends it, on every exit path.
  class TLoadGuard {
  public:
    explicit TLoadGuard(TRecordListModel& model);
    ~TLoadGuard();
    TLoadGuard(const TLoadGuard&) = delete;
    TLoadGuard& operator=(const TLoadGuard&) = delete;

  private:
    TRecordListModel& FModel;
  };

  /// Appends a row for `record`, which must lie in the whole workbook stream
  /// its load keeps (TStreamRecord::Stream), the same for every row until
  /// the next load. Throws EBiffLensError(kMsgRecordListNeedsStream)
  /// otherwise, or for an offset past 4 GiB, which no BIFF stream reaches.
  void Append(const TStreamRecord& record)
  {
    // Inline for the common case: a load's next row.
    if (FResetting) {
      FRecords->Append(record);
      return;
    }
    AppendRow(record);
  }
  /// Drops every row and the bytes they refer to. Whoever shows row bytes
  /// lets go of them first.
  void Clear();

  int Count() const { return static_cast<int>(FRecords->Count()); }
  /// Row `row`; throws std::out_of_range outside the list.
  TRecordRow Row(int row) const;
  /// The bytes of row `row` that exist (empty for Length 0 or a bad row).
  std::span<const std::uint8_t> RowBytes(int row) const;
  /// The rows.
  const TListedRecords& Records() const { return *FRecords; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  /// What every list of records shows: record number `number` (from 1) in
  /// `column`, a column's alignment, and its caption (`role` Display or
  /// TextAlignment).
  static QVariant RowText(const TRecordRow& row, int number, int column);
  static QVariant ColumnAlignment(int column);
  static QVariant ColumnHeader(int section, int role);
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  /// The stream the rows lie in (empty before the first row).
  const TSharedBytes& Stream() const { return FRecords->Stream(); }
  /// The stream offset of each row's header, in row order; valid until the
  /// rows change.
  std::span<const std::uint32_t> Offsets() const { return FRecords->Offsets(); }

private:
  void AppendRow(const TStreamRecord& record);

  std::unique_ptr<TListedRecords> FOwn;  // when the model keeps a list of its own
  TListedRecords* FRecords;
  bool FResetting = false;
};
