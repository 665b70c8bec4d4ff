#pragma once

#include "model/SpreadSheetFile.h"
#include "platform/SharedBytes.h"

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

/// One listed record, as Row() describes it. Its bytes are the stream's,
/// just after its header; only bytes from elsewhere are copied into the
/// model's own arena.
struct TRecordRow {
  std::uint64_t Offset = 0;    // of the record's header in the workbook stream
  std::uint16_t Code = 0;
  std::uint16_t Length = 0;    // as the header says
  std::uint16_t DataSize = 0;  // bytes that exist: Length, or less when cut short
  bool InArena = false;
};

/// The record list: one row per record the reader reports, numbered from 1,
/// with columns "#", "Code", "Length", "Name" and "Offset". Texts are made on
/// demand for the rows a view asks for.
///
/// Row bytes stay valid until Clear() or the model's end: rows hold the
/// reader's workbook stream by shared ownership, and bytes that lie outside
/// it are copied into an arena of fixed chunks that never move.
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

  /// Appends a row for a record whose header lies at `offset` of the
  /// workbook stream `stream` (may be empty). `data` is the record's data as
  /// the reader raised it: when it lies inside `stream`, the row keeps a slice
  /// of it; otherwise the bytes are copied into the arena.
  void Append(TBIFFRecordHeader header, std::span<const std::uint8_t> data, std::uint64_t offset,
              const TSharedBytes& stream)
  {
    // Inline for the common case, a bulk load's next row of the stream
    // already listed: the same checks as AppendRow's, in its order.
    const std::size_t size = FStream.size();
    if (FResetting && size != 0 && stream.data() == FStream.data() && stream.size() == size &&
        offset <= kMaxStreamOffset && offset + 4 <= size &&
        data.size() == std::min<std::uint64_t>(header.Length, size - offset - 4) &&
        (data.empty() || data.data() == FStream.data() + offset + 4) &&
        FStream[offset] == (header.Code & 0xFF) && FStream[offset + 1] == (header.Code >> 8) &&
        FStream[offset + 2] == (header.Length & 0xFF) && FStream[offset + 3] == (header.Length >> 8)) {
      FRows.push_back(static_cast<TStoredRow>(offset));
      return;
    }
    AppendRow(header, data, offset, stream);
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

private:
  void AppendRow(TBIFFRecordHeader header, std::span<const std::uint8_t> data,
                 std::uint64_t offset, const TSharedBytes& stream);
  std::span<const std::uint8_t> ArenaSlice(std::uint64_t pos, std::uint32_t size) const;
  std::uint64_t CopyToArena(std::span<const std::uint8_t> bytes);

  /// A row as kept: the offset of its header in the stream, 4 bytes, as a
  /// workbook lists millions; its code and length are the stream's own
  /// header bytes there. kArenaRow marks a row kept in FArenaRefs.
  using TStoredRow = std::uint32_t;
  static constexpr TStoredRow kArenaRow = 0xFFFFFFFFu;
  // Rows keep 32-bit offsets: a workbook's own offsets (BOUNDSHEET) are
  // 32-bit. The largest is kArenaRow's.
  static constexpr std::uint64_t kMaxStreamOffset = kArenaRow - 1;
  /// What an arena row has: kept apart, in row order, since nearly every row
  /// is in the stream and needs none.
  struct TArenaRef {
    std::size_t Row = 0;
    std::uint64_t Pos = 0;
    std::uint64_t Offset = 0;
    TBIFFRecordHeader Header;
    std::uint16_t DataSize = 0;
  };
  const TArenaRef* ArenaRef(std::size_t row) const;
  /// The header in `stream` at `offset` (four bytes that exist there).
  static TBIFFRecordHeader StoredHeader(const TSharedBytes& stream, std::uint64_t offset);
  /// The data bytes a stream row's header at `offset` has in the stream.
  std::size_t StreamDataSize(std::uint64_t offset, std::uint16_t length) const;

  std::vector<TStoredRow> FRows;
  std::vector<TArenaRef> FArenaRefs;
  TSharedBytes FStream;
  // The arena: chunks of kArenaChunk bytes (bigger for a bigger record), never
  // reallocated, so slices handed out stay put while rows are appended.
  std::vector<std::unique_ptr<std::uint8_t[]>> FChunks;
  std::vector<std::size_t> FChunkSizes;
  std::size_t FChunkUsed = 0;
  bool FResetting = false;
};
