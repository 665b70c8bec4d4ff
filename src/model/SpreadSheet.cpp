#include "model/SpreadSheet.h"

#include "platform/Errors.h"
#include "platform/Memory.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

void TZymCell::Assign(const TPersistent& source)
{
  const auto* cell = dynamic_cast<const TZymCell*>(&source);
  if (!cell) {
    TPersistent::Assign(source);
    return;
  }
  Value = cell->Value;
  Alignment = cell->Alignment;
  FormatIndex = cell->FormatIndex;
}

namespace {

// A row stays dense while its width is at most this many slots per cell
// plus a fixed allowance; past that, gaps would cost more than the cells.
constexpr std::size_t kDenseSlotsPerCell = 4;
constexpr std::size_t kDenseAllowance = 64;

}  // namespace

const TZymCell* TSpreadSheetCols::GetCell(int column) const
{
  if (column < 0)
    throw EListError(column);
  if (FSparseItems) {
    const auto it = FSparseItems->find(column);
    return it == FSparseItems->end() ? nullptr : &it->second;
  }
  if (static_cast<std::size_t>(column) >= FCount)
    return nullptr;
  const TZymCell& cell = FItems[static_cast<std::size_t>(column)];
  return cell.Value.IsEmpty() ? nullptr : &cell;
}

TZymCell* TSpreadSheetCols::GetCell(int column)
{
  return const_cast<TZymCell*>(std::as_const(*this).GetCell(column));
}

TZymCell& TSpreadSheetCols::CellAtGrowing(int column, std::size_t widthHint)
{
  if (column < 0)
    throw EListError(column);
  const auto index = static_cast<std::size_t>(column);
  if (!FSparseItems && index >= FCount &&
      index + 1 > kDenseSlotsPerCell * (FHanded + 1) + kDenseAllowance)
    MakeSparse();
  if (FSparseItems) {
    FCount = std::max(FCount, index + 1);
    return (*FSparseItems)[column];
  }
  if (index >= FItems.size()) {
    if (index >= FItems.capacity())
      FItems.reserve(std::max({index + 1, widthHint, 2 * FItems.capacity()}));
    FItems.resize(FItems.capacity());
  }
  FCount = std::max(FCount, index + 1);
  TZymCell& cell = FItems[index];
  if (cell.Value.IsEmpty())
    ++FHanded;
  return cell;
}

void TSpreadSheetCols::MakeSparse()
{
  auto sparse = std::make_unique<std::map<int, TZymCell>>();
  for (std::size_t c = 0; c < FItems.size(); ++c)
    if (!FItems[c].Value.IsEmpty())
      sparse->emplace(static_cast<int>(c), std::move(FItems[c]));
  FItems = decltype(FItems)(FItems.get_allocator());
  FSparseItems = std::move(sparse);
}

void TSpreadSheetCols::Clear()
{
  while (!FItems.empty())
    FItems.pop_back();
  FItems.shrink_to_fit();
  FCount = 0;
  if (FSparseItems) {
    while (!FSparseItems->empty())
      FSparseItems->erase(std::prev(FSparseItems->end()));
    FSparseItems.reset();
  }
  FHanded = 0;
}

namespace {

// A sheet keeps a slot per row while its length is at most this many slots
// per real row plus a fixed allowance.
constexpr std::size_t kDenseRowsPerRealRow = 4;
constexpr std::size_t kDenseRowAllowance = 1024;

const TSpreadSheetRow& EmptyRow()
{
  static const TSpreadSheetRow kEmpty;
  return kEmpty;
}

}  // namespace

void* TCellArena::Allocate(std::size_t bytes)
{
  // Everything cut is kept aligned like the heap's blocks.
  constexpr std::size_t kAlign = alignof(std::max_align_t);
  constexpr std::size_t kFirstBlock = std::size_t{4} << 10;
  constexpr std::size_t kLargestBlock = std::size_t{1} << 20;
  // Pages are mapped ahead of the cut a stretch at a time: one call per
  // stretch instead of a fault per page, and a sheet's last block is not
  // mapped far past what the sheet uses.
  constexpr std::size_t kPrefaultStretch = std::size_t{128} << 10;
  static_assert(alignof(TZymCell) <= kAlign && alignof(TSpreadSheetRow) <= kAlign);
  if (bytes > static_cast<std::size_t>(-1) - kAlign)
    throw std::bad_alloc();
  bytes = (bytes + kAlign - 1) / kAlign * kAlign;
  if (bytes > kLargestBlock / 4) {
    // A big request gets a block of its own, put before the one being cut.
    auto own = std::make_unique_for_overwrite<std::byte[]>(bytes);
    void* result = own.get();
    FBlocks.insert(FBlocks.empty() ? FBlocks.end() : std::prev(FBlocks.end()), std::move(own));
    return result;
  }
  if (FSize - FUsed < bytes) {
    // Blocks grow with the sheet, so a small sheet takes little.
    const std::size_t size = std::clamp(std::max(2 * FSize, bytes), kFirstBlock, kLargestBlock);
    FBlocks.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
    FSize = size;
    FUsed = 0;
    // Small blocks (small sheets) fault in as they are used.
    FPrefaulted = size >= 2 * kPrefaultStretch ? 0 : size;
  }
  void* result = FBlocks.back().get() + FUsed;
  FUsed += bytes;
  if (FUsed > FPrefaulted) {
    // On a big sheet most of the load's page faults were cell slots.
    const std::size_t to = std::min(FSize, FUsed + kPrefaultStretch);
    PrefaultForWriting(FBlocks.back().get() + FPrefaulted, to - FPrefaulted);
    FPrefaulted = to;
  }
  return result;
}

void TCellArena::Release()
{
  FBlocks.clear();
  FUsed = 0;
  FSize = 0;
  FPrefaulted = 0;
}

TRowPtr TSpreadSheetCells::MakeRow()
{
  return TRowPtr(::new (FArena.Allocate(sizeof(TSpreadSheetRow))) TSpreadSheetRow(&FArena));
}

const TSpreadSheetRow* TSpreadSheetCells::FindRow(std::size_t index) const
{
  if (FSparse) {
    const auto it = FSparseRows.find(static_cast<int>(index));
    return it == FSparseRows.end() ? nullptr : it->second.get();
  }
  return FRows[index].get();
}

TSpreadSheetRow& TSpreadSheetCells::Row(int index)
{
  if (index < 0 || static_cast<std::size_t>(index) >= FCount)
    throw EListError(index);
  TRowPtr& slot = FSparse ? FSparseRows[index] : FRows[static_cast<std::size_t>(index)];
  if (!slot) {
    slot = MakeRow();
    ++FRealRows;
  }
  return *slot;
}

const TSpreadSheetRow& TSpreadSheetCells::Row(int index) const
{
  if (index < 0 || static_cast<std::size_t>(index) >= FCount)
    throw EListError(index);
  const TSpreadSheetRow* row = FindRow(static_cast<std::size_t>(index));
  return row ? *row : EmptyRow();
}

int TSpreadSheetCells::EnsureRow(int row)
{
  if (row < 0 || static_cast<std::size_t>(row) < FCount)
    return row;
  const auto count = static_cast<std::size_t>(row) + 1;
  if (!FSparse && count > kDenseRowsPerRealRow * (FRealRows + 1) + kDenseRowAllowance)
    MakeSparse();
  if (!FSparse)
    FRows.resize(count);
  FCount = count;
  return row;
}

void TSpreadSheetCells::MakeSparse()
{
  for (std::size_t r = 0; r < FRows.size(); ++r)
    if (FRows[r])
      FSparseRows.emplace(static_cast<int>(r), std::move(FRows[r]));
  FRows = std::vector<TRowPtr>();
  FSparse = true;
}

void TSpreadSheetCells::SetCellSharedText(int column, int row, const TVariant& text,
                                          const std::shared_ptr<const void>& owner,
                                          TAlignment alignment)
{
  if (!owner || text.Type() != TVarType::vtString) {
    SetCellValue(column, row, text, 0, alignment);
    return;
  }
  TZymCell& cell = PlaceCell(column, row, 0, alignment);
  // Kept before the text is shared: a cell never holds a text whose owner
  // these cells do not keep.
  if (FTextOwners.empty() || FTextOwners.back() != owner)
    KeepTextOwner(owner);
  cell.Value.AssignUncounted(text);
}

void TSpreadSheetCells::KeepTextOwner(const std::shared_ptr<const void>& owner)
{
  // A sheet has a few owners at most (shared strings, labels, error texts),
  // whose cells take turns: a look through them costs less than moving one
  // to the back, and touches no count.
  if (std::find(FTextOwners.begin(), FTextOwners.end(), owner) == FTextOwners.end())
    FTextOwners.push_back(owner);
}

TSpreadSheetRow& TSpreadSheetCells::EnterRow(int row)
{
  EnsureRow(row);
  if (row < 0)
    throw EListError(row);
  // Rows of a sheet tend to share a width; the row above's is the hint, so
  // the hint never asks for more than what the sheet already holds.
  const TSpreadSheetRow* above = row > 0 ? FindRow(static_cast<std::size_t>(row) - 1) : nullptr;
  FLastWidthHint = above ? above->Cols.Count() : 0;
  FLastRow = &Row(row);
  FLastRowIndex = row;
  return *FLastRow;
}

void TSpreadSheetCells::ForgetLastRow()
{
  FLastRowIndex = -1;
  FLastRow = nullptr;
}

const TZymCell* TSpreadSheetCells::FindCell(int column, int row) const
{
  if (row < 0)
    throw EListError(row);
  if (column < 0)
    throw EListError(column);
  if (static_cast<std::size_t>(row) >= FCount)
    return nullptr;
  const TSpreadSheetRow* found = FindRow(static_cast<std::size_t>(row));
  return found ? found->Cols.GetCell(column) : nullptr;
}

TVariant TSpreadSheetCells::GetCellValue(int column, int row) const
{
  const TZymCell* cell = FindCell(column, row);
  return cell ? cell->Value : TVariant::Null();
}

void TSpreadSheetCells::Delete(int index)
{
  if (index < 0 || static_cast<std::size_t>(index) >= FCount)
    throw EListError(index);
  ForgetLastRow();
  if (!FSparse) {
    if (FRows[static_cast<std::size_t>(index)])
      --FRealRows;
    FRows.erase(FRows.begin() + index);
  } else {
    std::map<int, TRowPtr> moved;
    for (auto& [r, row] : FSparseRows) {
      if (r == index) {
        --FRealRows;
        continue;
      }
      moved.emplace(r < index ? r : r - 1, std::move(row));
    }
    FSparseRows = std::move(moved);
  }
  --FCount;
}

void TSpreadSheetCells::Clear()
{
  ForgetLastRow();
  while (!FRows.empty())
    FRows.pop_back();
  FRows.shrink_to_fit();
  while (!FSparseRows.empty())
    FSparseRows.erase(std::prev(FSparseRows.end()));
  FArena.Release();
  FTextOwners.clear();
  FSparse = false;
  FCount = 0;
  FRealRows = 0;
  DimLastColumn = 0;
  DimLastRow = 0;
  ColCount = 0;
  RowCount = 0;
}

int TSpreadSheets::Add()
{
  auto sheet = std::make_unique<TSpreadSheet>();
  sheet->Caption = "Sheet" + std::to_string(FItems.size() + 1);
  FItems.push_back(std::move(sheet));
  return Count() - 1;
}

TSpreadSheet& TSpreadSheets::GetSheetGrowing(int index)
{
  if (index < 0)
    index = 0;
  // Add returns the index of the sheet it appended, so this adds at most one
  // sheet however far past the end the index lies.
  while (index >= Count())
    index = Add();
  return *FItems[static_cast<std::size_t>(index)];
}

const TSpreadSheet& TSpreadSheets::Items(int index) const
{
  if (index < 0 || index >= Count())
    throw EListError(index);
  return *FItems[static_cast<std::size_t>(index)];
}

void TSpreadSheets::Delete(int index)
{
  Items(index);  // range check
  FItems.erase(FItems.begin() + index);
}

void TSpreadSheets::Clear()
{
  while (!FItems.empty())
    FItems.pop_back();
}
