#pragma once

#include "model/SpreadSheetFile.h"
#include "platform/SharedBytes.h"
#include "xls/MSExcel.h"

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

/// One listed record, as Row() describes it.
struct TRecordRow {
  std::uint64_t Offset = 0;    // of the record's header in the workbook stream
  std::uint16_t Code = 0;
  std::uint16_t Length = 0;    // as the header says
  std::uint16_t DataSize = 0;  // bytes that exist: Length, or less when cut short
};

/// The record list: one row per record the reader reports, numbered from 1,
/// with columns "#", "Code", "Length", "Name" and "Offset". Texts are made on
/// demand for the rows a view asks for.
///
/// The list keeps the workbook stream its records lie in, by shared
/// ownership, and a row only its record's offset: the header and bytes are
/// the stream's own. Row bytes stay valid until Clear() or the model's end.
class TRecordListModel : public QAbstractTableModel {
  Q_OBJECT

public:
  enum TColumn { rcNumber, rcCode, rcLength, rcName, rcOffset, rcColumnCount };

  explicit TRecordListModel(QObject* parent = nullptr);

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
    // Inline for the common case, the next row of the stream already kept.
    if (FResetting && record.Stream == FSource && FSource && record.Offset <= kMaxStreamOffset) {
      FRows.push_back(static_cast<TStoredRow>(record.Offset));
      return;
    }
    AppendRow(record);
  }
  /// Drops every row and the bytes they refer to. Whoever shows row bytes
  /// lets go of them first.
  void Clear();

  int Count() const { return static_cast<int>(FRows.size()); }
  /// Row `row`; throws std::out_of_range outside the list.
  TRecordRow Row(int row) const;
  /// The bytes of row `row` that exist (empty for Length 0 or a bad row).
  std::span<const std::uint8_t> RowBytes(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  /// The stream the rows lie in (empty before the first row).
  const TSharedBytes& Stream() const { return FStream; }
  /// The stream offset of each row's header, in row order; valid until the
  /// rows change.
  std::span<const std::uint32_t> Offsets() const { return FRows; }

private:
  void AppendRow(const TStreamRecord& record);

  /// A row as kept: the offset of its header in the stream, 4 bytes, as a
  /// workbook lists millions.
  using TStoredRow = std::uint32_t;
  static constexpr std::uint64_t kMaxStreamOffset = 0xFFFFFFFFu;

  std::vector<TStoredRow> FRows;
  TSharedBytes FStream;
  // The reader's stream the rows came from during this load: its next
  // records lie in FStream too.
  const TSharedBytes* FSource = nullptr;
  bool FResetting = false;
};
