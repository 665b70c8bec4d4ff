#pragma once

#include "platform/Persistent.h"
#include "platform/Variant.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

/// Horizontal alignment a reader reports for a cell.
enum class TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

/// One stored cell. A new cell holds Empty, left-justified, format index 0.
/// Final, so that rows destroy their cells without a virtual call each.
class TZymCell final : public TPersistent {
public:
  // The alignment and format index sit in the value's tail padding: a cell
  // is 24 bytes, and a big sheet holds millions.
  [[no_unique_address]] TVariant Value;
  TAlignment Alignment = TAlignment::taLeftJustify;
  std::int32_t FormatIndex = 0;

  const char* ClassName() const override { return "TZymCell"; }
  /// Copies Value, Alignment and FormatIndex from another TZymCell; any other
  /// source fails with "Cannot assign a %s to a %s".
  void Assign(const TPersistent& source) override;
};

/// Memory for one sheet's rows and cell slots, cut from large blocks and
/// freed all at once by Release: a row and its slots cost no heap blocks of
/// their own. Memory given back before Release is not reused, which costs
/// little as rows are sized from the row above and rarely regrow.
class TCellArena {
public:
  TCellArena() = default;
  TCellArena(const TCellArena&) = delete;
  TCellArena& operator=(const TCellArena&) = delete;

  /// `bytes` bytes aligned for any cell or row.
  void* Allocate(std::size_t bytes);
  /// Frees every block; nothing cut from them may be used afterwards.
  void Release();

private:
  std::vector<std::unique_ptr<std::byte[]>> FBlocks;  // the last one is being cut
  std::size_t FUsed = 0;
  std::size_t FSize = 0;
  std::size_t FPrefaulted = 0;  // of the last block, mapped ahead of FUsed
};

/// Allocator of a row's slots: from its sheet's arena, or from the heap for
/// a row made outside a sheet.
template <typename T>
class TCellAllocator {
public:
  using value_type = T;
  using propagate_on_container_move_assignment = std::true_type;
  using propagate_on_container_swap = std::true_type;

  TCellAllocator() = default;
  explicit TCellAllocator(TCellArena* arena) : FArena(arena) {}
  template <typename U>
  TCellAllocator(const TCellAllocator<U>& other) : FArena(other.Arena())
  {
  }

  T* allocate(std::size_t n)
  {
    if (!FArena)
      return std::allocator<T>().allocate(n);
    if (n > static_cast<std::size_t>(-1) / sizeof(T))
      throw std::bad_array_new_length();
    return static_cast<T*>(FArena->Allocate(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept
  {
    if (!FArena)
      std::allocator<T>().deallocate(p, n);
  }
  TCellArena* Arena() const { return FArena; }
  bool operator==(const TCellAllocator& other) const { return FArena == other.FArena; }

private:
  TCellArena* FArena = nullptr;
};

/// The cells of one row. Column c is slot c; a slot whose value is Empty is a
/// gap (the model never stores Empty, so a slot needs no flag of its own).
/// Cells live inside the slots: a row costs one block, not one per cell.
/// Count() is the highest column ever stored plus one.
///
/// A row whose cells are few and far apart (a damaged file can put one cell
/// at column 65535 of every row) switches to a sorted map of its cells, so a
/// row never costs much more than the cells it holds; lookups there take
/// logarithmic instead of constant time.
class TSpreadSheetCols {
public:
  TSpreadSheetCols() = default;
  /// A row whose slots come from `arena`, which must outlive it.
  explicit TSpreadSheetCols(TCellArena* arena) : FItems(TCellAllocator<TZymCell>(arena)) {}

  std::size_t Count() const { return FCount; }
  /// The cell at Column, or nullptr for a gap or a column at or past the end.
  /// Throws EListError for a negative column.
  const TZymCell* GetCell(int column) const;
  TZymCell* GetCell(int column);
  /// The cell at Column, growing the list with gaps as needed. `widthHint`
  /// is the width rows of this sheet tend to have (the row above's): growing
  /// to it at once avoids doubling a row's block past the width it ends at.
  TZymCell& CellAt(int column, std::size_t widthHint = 0)
  {
    // Inline for the common case, a slot already made in a dense row: such
    // a slot costs no memory however far it lies.
    const auto index = static_cast<std::size_t>(column);
    if (FSparseItems || column < 0 || index >= FItems.size())
      return CellAtGrowing(column, widthHint);
    TZymCell& cell = FItems[index];
    if (cell.Value.IsEmpty())
      ++FHanded;
    if (index >= FCount)
      FCount = index + 1;
    return cell;
  }
  /// Calls f(column, cell) for every stored cell, in column order; costs the
  /// cells, not the width.
  template <typename F>
  void ForEachCell(F&& f) const
  {
    if (FSparseItems) {
      for (const auto& [column, cell] : *FSparseItems)
        f(column, cell);
      return;
    }
    for (std::size_t c = 0; c < FCount; ++c)
      if (!FItems[c].Value.IsEmpty())
        f(static_cast<int>(c), FItems[c]);
  }
  bool IsSparse() const { return FSparseItems != nullptr; }
  void Clear();

private:
  TZymCell& CellAtGrowing(int column, std::size_t widthHint);
  void MakeSparse();

  // Slots are made a block at a time (the width hint, else the vector's
  // capacity), so a row does not grow by one slot per cell; FCount is the
  // list's length (dense or sparse), the slots past it are spare.
  std::vector<TZymCell, TCellAllocator<TZymCell>> FItems;
  std::size_t FCount = 0;
  std::size_t FHanded = 0;  // slots handed out by CellAt: an upper bound on the cells
  // Set once the row turns sparse; behind a pointer, so the dense rows that
  // make up nearly every sheet do not each carry an empty map.
  std::unique_ptr<std::map<int, TZymCell>> FSparseItems;
};

/// One row of a sheet.
class TSpreadSheetRow {
public:
  TSpreadSheetRow() = default;
  explicit TSpreadSheetRow(TCellArena* arena) : Cols(arena) {}
  TSpreadSheetCols Cols;
};

/// Owner of a row made in a sheet's arena: destroys the row, whose memory
/// goes back with the arena's.
struct TRowDestroy {
  void operator()(TSpreadSheetRow* row) const noexcept { std::destroy_at(row); }
};
using TRowPtr = std::unique_ptr<TSpreadSheetRow, TRowDestroy>;

/// The rows of one sheet, rows 0 up to the highest stored row, without gaps:
/// a row below it that never received a cell is present and empty. An empty
/// row costs one null pointer; a sheet whose rows are few and far apart (one
/// cell at row 65535) keeps its rows in a sorted map instead, so a sheet
/// never costs much more than the rows that hold cells.
class TSpreadSheetCells {
public:
  TSpreadSheetCells() = default;
  TSpreadSheetCells(const TSpreadSheetCells&) = delete;
  TSpreadSheetCells& operator=(const TSpreadSheetCells&) = delete;
  ~TSpreadSheetCells() { Clear(); }

  std::int32_t DimLastColumn = 0;
  std::int32_t DimLastRow = 0;
  std::int32_t ColCount = 0;
  std::int32_t RowCount = 0;
  /// While true, ColCount and RowCount follow the stored cells; while false
  /// they follow the dimensions reports.
  bool TrackExtent = true;

  /// The number of rows in the list (the highest row ever ensured plus one).
  std::size_t Count() const { return FCount; }
  /// Row Index, made real if it was an empty row; throws EListError when
  /// Index is outside the list.
  TSpreadSheetRow& Row(int index);
  /// Row Index (an empty row for one without cells); throws EListError when
  /// Index is outside the list.
  const TSpreadSheetRow& Row(int index) const;
  /// Calls f(rowIndex, row) for every row that holds or held cells, in order;
  /// costs those rows, not the list's length.
  template <typename F>
  void ForEachRow(F&& f) const
  {
    if (FSparse) {
      for (const auto& [index, row] : FSparseRows)
        f(index, *row);
      return;
    }
    for (std::size_t r = 0; r < FRows.size(); ++r)
      if (FRows[r])
        f(static_cast<int>(r), *FRows[r]);
  }
  bool IsSparse() const { return FSparse; }

  /// Appends empty rows until the list has more than Row items; returns Row.
  int EnsureRow(int row);
  /// Stores one cell. Null and Empty are dropped (nothing is created and an
  /// earlier value at the place stays). Throws EListError for a negative
  /// row or column; rows appended for a valid row stay.
  /// Inline: readers store every cell through it.
  void SetCellValue(int column, int row, const TVariant& value, std::int32_t formatIndex,
                    TAlignment alignment)
  {
    if (value.IsNullOrEmpty())
      return;
    PlaceCell(column, row, formatIndex, alignment).Value = value;
  }
  /// The same for a value the caller gives up: it moves into the cell.
  void SetCellValue(int column, int row, TVariant&& value, std::int32_t formatIndex,
                    TAlignment alignment)
  {
    if (value.IsNullOrEmpty())
      return;
    PlaceCell(column, row, formatIndex, alignment).Value = std::move(value);
  }
  /// Stores a cell (format index 0) whose text stays in `owner`, a table of
  /// texts that a reader stores into many cells: the cell shares the text
  /// without counting it, and these cells keep `owner` alive until Clear.
  /// `owner` must keep `text` unchanged for as long as it lives. Without an
  /// owner, or for a value that is not text, this is SetCellValue.
  void SetCellSharedText(int column, int row, const TVariant& text,
                         const std::shared_ptr<const void>& owner, TAlignment alignment);
  /// A copy of the stored value, or Null where no cell is stored. Throws
  /// EListError for a negative row or column. Never grows anything.
  TVariant GetCellValue(int column, int row) const;
  /// The stored cell or nullptr; no copy of the value.
  const TZymCell* FindCell(int column, int row) const;
  /// Frees row Index and moves the later rows up; the extent is unchanged.
  void Delete(int index);
  /// Frees every row, last first, and sets both dimensions and both extents
  /// to 0. TrackExtent keeps its value.
  void Clear();

private:
  const TSpreadSheetRow* FindRow(std::size_t index) const;
  void MakeSparse();
  void ForgetLastRow();
  /// Finds or makes row `row` for SetCellValue and remembers it.
  TSpreadSheetRow& EnterRow(int row);
  /// A new row, made in the sheet's arena.
  TRowPtr MakeRow();
  /// The cell a store goes to, with its format and alignment set.
  TZymCell& PlaceCell(int column, int row, std::int32_t formatIndex, TAlignment alignment)
  {
    TSpreadSheetRow& target = row == FLastRowIndex && FLastRow ? *FLastRow : EnterRow(row);
    TZymCell& cell = target.Cols.CellAt(column, FLastWidthHint);
    cell.Alignment = alignment;
    cell.FormatIndex = formatIndex;
    if (TrackExtent) {
      if (column >= ColCount)
        ColCount = column + 1;
      if (row >= RowCount)
        RowCount = row + 1;
    }
    return cell;
  }
  void KeepTextOwner(const std::shared_ptr<const void>& owner);

  // Declared before the rows, so that they outlive every cell sharing their
  // texts even without Clear; each owner once, the latest kept last.
  std::vector<std::shared_ptr<const void>> FTextOwners;

  // Declared before the rows, which it must outlive.
  TCellArena FArena;
  std::vector<TRowPtr> FRows;  // null: an empty row
  std::map<int, TRowPtr> FSparseRows;
  bool FSparse = false;
  std::size_t FCount = 0;
  std::size_t FRealRows = 0;  // rows made real, dense or sparse
  // The row the last cell went to: readers store a row's cells one after
  // another, so the next cell usually needs no row lookup at all. Row
  // objects never move, so the pointer stays good until rows are removed.
  int FLastRowIndex = -1;
  TSpreadSheetRow* FLastRow = nullptr;
  std::size_t FLastWidthHint = 0;
};

/// One sheet: its caption, cells and column widths (in characters, 0 = none).
class TSpreadSheet : public TPersistent {
public:
  TSpreadSheetCells Cells;
  std::string Caption;
  std::vector<std::int32_t> ColumnWidths;

  const char* ClassName() const override { return "TSpreadSheet"; }
};

/// The workbook's sheets in the order they were added; owns them.
class TSpreadSheets {
public:
  TSpreadSheets() = default;
  TSpreadSheets(const TSpreadSheets&) = delete;
  TSpreadSheets& operator=(const TSpreadSheets&) = delete;
  ~TSpreadSheets() { Clear(); }

  int Count() const { return static_cast<int>(FItems.size()); }
  /// Appends a sheet captioned "Sheet" + (its index + 1); returns its index.
  int Add();
  /// The sheet at Index; a negative Index means 0, and an Index at or past
  /// the end appends one sheet (only one) and returns it. Never null.
  TSpreadSheet& GetSheet(int index)
  {
    // Inline for the common case: readers ask for the sheet of every cell.
    if (index >= 0 && index < Count())
      return *FItems[static_cast<std::size_t>(index)];
    return GetSheetGrowing(index);
  }
  /// The sheet at Index; throws EListError outside the list.
  const TSpreadSheet& Items(int index) const;
  /// Frees sheet Index; throws EListError outside the list.
  void Delete(int index);
  /// Frees every sheet, last first.
  void Clear();

private:
  TSpreadSheet& GetSheetGrowing(int index);

  std::vector<std::unique_ptr<TSpreadSheet>> FItems;
};
