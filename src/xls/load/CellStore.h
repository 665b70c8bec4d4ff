#pragma once

// Where a load's cells go: each cell record's value, typed by its record and
// its number format, into the model's store (or through the file's cell
// event), texts shared with the tables that keep them. The load owns one;
// the record table's entries hand it every cell their decoders read.

#include "model/SpreadSheetFile.h"
#include "platform/Errors.h"
#include "platform/Variant.h"
#include "xls/LabelTable.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/NumberFormats.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

/// A formula whose text result stands in the STRING record after it.
struct TPendingText {
  bool Waiting = false;
  int Row = 0;
  int Column = 0;
};

class TCellStore {
public:
  /// Keeps references to both: the file whose model and events take the
  /// cells, and the context the load decodes with.
  TCellStore(TSpreadSheetFile& file, TDecodeContext& context);
  ~TCellStore();
  TCellStore(const TCellStore&) = delete;
  TCellStore& operator=(const TCellStore&) = delete;

  /// A new workbook: a new shared-string table (cells of the last load
  /// keep theirs), no pending text, no extent; the context's tables are
  /// new too.
  void Clear();

  /// The index of the worksheet whose cells are stored; -1 before the first.
  int SheetIndex = -1;
  /// Raised for a LABELSST whose string index is past the shared-string
  /// table (`count` strings): its cell is left out.
  std::function<void(std::uint64_t index, std::size_t count)> OnStringPastTable;
  /// A load's end: the label texts go (the cells keep their own).
  void EndLoad();

  /// False where records are not a sheet's cells (a chart's cached series).
  void SetInCells(bool inCells) { FInCells = inCells; }
  bool InCells() const { return FInCells; }

  /// Stores a cell record's value. Inline: the load stores millions, and
  /// each record's decoder knows the kind of its cells, so the switch
  /// folds away where it is used.
  void Store(const TCellRecord& cell);
  /// A formula's text result (`pending`, as TakePending gave it), the
  /// STRING record after it.
  void StorePendingText(const TPendingText& pending, std::string&& text);
  /// The formula waiting for its STRING record, if any; cleared by
  /// TakePending.
  const TPendingText& Pending() const { return FPending; }
  TPendingText TakePending()
  {
    const TPendingText pending = FPending;
    FPending = {};
    return pending;
  }

  /// The shared-string table (the SST's strings).
  const std::vector<TVariant>& SharedStrings() const { return *FSharedStrings; }
  /// Adds the SST's strings (with its CONTINUE records) to the table.
  void AddSharedStrings(const TLogicalRecord& record);

  /// The highest row and column a cell was stored at in this load.
  int HighestRow() const { return FHighestRow; }
  int HighestColumn() const { return FHighestColumn; }
  void ResetExtent()
  {
    FHighestRow = 0;
    FHighestColumn = 0;
  }

private:
  /// A value for the cell: straight into the model's store when it is the
  /// one to take it (no virtual call), else through the cell sink.
  template <typename TValue>
  [[gnu::always_inline]] void StoreValue(const TCellRecord& cell, TValue&& value,
                                         std::int32_t formatIndex = 0)
  {
    if (TSpreadSheetFile::TStoreSink* store = FFile.ModelStore()) {
      if constexpr (std::is_rvalue_reference_v<TValue&&>)
        store->StoreMovedValue(SheetIndex, cell.Row, cell.Column, std::move(value), cell.Alignment,
                               formatIndex);
      else
        store->StoreValue(SheetIndex, cell.Row, cell.Column, value, cell.Alignment, formatIndex);
    } else {
      FFile.CellSink().StoreValue(SheetIndex, cell.Row, cell.Column, value, cell.Alignment, formatIndex);
    }
  }
  /// A number cell: a date when its number format is one, and the format
  /// goes with the value.
  [[gnu::always_inline]] void StoreNumber(const TCellRecord& cell)
  {
    if (!cell.DateRule) {
      StoreValue(cell, TVariant(cell.Number));
      return;
    }
    const int format = FFormats->NumberFormatOf(cell.Xf);
    StoreValue(cell, FFormats->IsDateFormatIndex(format) ? DateNumber(cell.Number) : TVariant(cell.Number),
               format);
  }
  /// A text that `owner` keeps, shared by the cell.
  [[gnu::always_inline]] void StoreSharedText(const TCellRecord& cell, const TVariant& text,
                                              const std::shared_ptr<const void>& owner)
  {
    if (TSpreadSheetFile::TStoreSink* store = FFile.ModelStore())
      store->StoreSharedText(SheetIndex, cell.Row, cell.Column, text, owner, cell.Alignment);
    else
      FFile.CellSink().StoreSharedText(SheetIndex, cell.Row, cell.Column, text, owner, cell.Alignment);
  }
  [[gnu::always_inline]] void StoreSharedString(const TCellRecord& cell)
  {
    if (cell.Code >= FSharedStrings->size()) {
      StringPastTable(cell.Code);
      return;
    }
    StoreSharedText(cell, (*FSharedStrings)[cell.Code], FStringTableOwner);
  }
  [[gnu::cold]] void StringPastTable(std::uint64_t index)
  {
    if (OnStringPastTable)
      OnStringPastTable(index, FSharedStrings->size());
  }
  /// A LABEL cell: the text of an earlier cell of this load with the same
  /// bytes (and so the same text) is shared when there is one.
  void StoreLabel(const TCellRecord& cell);
  void StoreErrorCell(const TCellRecord& cell);
  void NoteCellPosition(int row, int column)
  {
    FHighestRow = std::max(FHighestRow, row);
    FHighestColumn = std::max(FHighestColumn, column);
  }
  TVariant DateNumber(double value) const;

  TSpreadSheetFile& FFile;
  TDecodeContext& FContext;
  TFormatTables* FFormats;  // the context's, asked for every number cell
  bool FInCells = true;
  TPendingText FPending;
  int FHighestRow = 0;
  int FHighestColumn = 0;
  // The shared-string table. Cells of the model share its texts without a
  // count and keep the table (FStringTableOwner, the same table) instead, so
  // a load starts a new table rather than emptying the one cells may hold.
  std::shared_ptr<std::vector<TVariant>> FSharedStrings = std::make_shared<std::vector<TVariant>>();
  std::shared_ptr<const void> FStringTableOwner = FSharedStrings;
  // Texts of the load's LABEL cells, by the bytes they were read from.
  // Older files have no shared-string table, yet their labels repeat as
  // much: cells with the same bytes share one block, decoded once. Short
  // texts only and a bounded count, and dropped when the load ends, so it
  // never costs much more than the cells themselves.
  std::unique_ptr<TLabelTable> FLabels;
  // The texts of error cells by code, made when first met; cells share them
  // without a count and keep the list (FErrorTextsOwner, the same list).
  std::shared_ptr<std::array<TVariant, 256>> FErrorTexts;
  std::shared_ptr<const void> FErrorTextsOwner;
};

[[gnu::always_inline]] inline void TCellStore::Store(const TCellRecord& cell)
{
  // A chart's NUMBER and LABEL records are its cached series, not cells.
  if (!FInCells || !FFile.OnCellValue)
    return;
  switch (cell.Kind) {
  case TCellKind::ckBlank: StoreValue(cell, TVariant::Null()); break;
  case TCellKind::ckInteger: StoreValue(cell, TVariant(static_cast<std::int32_t>(cell.Code))); break;
  case TCellKind::ckNumber: StoreNumber(cell); break;
  case TCellKind::ckBoolean: StoreValue(cell, TVariant(cell.Code != 0)); break;
  case TCellKind::ckError: StoreErrorCell(cell); break;
  case TCellKind::ckEmptyText: StoreValue(cell, TVariant(std::string())); break;
  case TCellKind::ckLabel: StoreLabel(cell); break;
  case TCellKind::ckSharedString: StoreSharedString(cell); break;
  case TCellKind::ckTextFollows:
    FPending = {true, cell.Row, cell.Column};
    return;
  }
  NoteCellPosition(cell.Row, cell.Column);
}
