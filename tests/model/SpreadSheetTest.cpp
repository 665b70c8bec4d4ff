#include "model/SpreadSheet.h"
#include "platform/Errors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace {

TVariant Num(double v) { return TVariant(v); }

}  // namespace

TEST(CellStore, StoringPastTheEndCreatesEmptyRowsAndGapsUpToTheCell)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(5, 3, Num(1.5), 0, TAlignment::taLeftJustify);
  ASSERT_EQ(cells.Count(), 4u);
  for (int r = 0; r < 3; ++r)
    EXPECT_EQ(cells.Row(r).Cols.Count(), 0u) << "row " << r;
  EXPECT_EQ(cells.Row(3).Cols.Count(), 6u);
  for (int c = 0; c < 5; ++c)
    EXPECT_EQ(cells.Row(3).Cols.GetCell(c), nullptr) << "column " << c;
  EXPECT_NE(cells.Row(3).Cols.GetCell(5), nullptr);
  EXPECT_EQ(cells.ColCount, 6);
  EXPECT_EQ(cells.RowCount, 4);
  EXPECT_TRUE(cells.GetCellValue(4, 3).IsNull());
  EXPECT_TRUE(cells.GetCellValue(5, 2).IsNull());
  EXPECT_EQ(cells.GetCellValue(5, 3), Num(1.5));
}

TEST(CellStore, NullAndEmptyAreNeverStored)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(30, 90, TVariant::Null(), 0, TAlignment::taLeftJustify);
  cells.SetCellValue(30, 90, TVariant(), 0, TAlignment::taLeftJustify);
  EXPECT_EQ(cells.Count(), 0u);
  EXPECT_EQ(cells.ColCount, 0);
  EXPECT_EQ(cells.RowCount, 0);
}

TEST(CellStore, ABlankOverAStoredCellKeepsTheOldValue)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(1, 1, TVariant("kept"), 0, TAlignment::taLeftJustify);
  cells.SetCellValue(1, 1, TVariant::Null(), 0, TAlignment::taLeftJustify);
  EXPECT_EQ(cells.GetCellValue(1, 1), TVariant("kept"));
}

TEST(CellStore, ASecondStoreReplacesEverythingInTheSameCellObject)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(2, 0, Num(1), 7, TAlignment::taCenter);
  const TZymCell* first = cells.Row(0).Cols.GetCell(2);
  cells.SetCellValue(2, 0, TVariant("two"), 9, TAlignment::taRightJustify);
  const TZymCell* second = cells.Row(0).Cols.GetCell(2);
  EXPECT_EQ(first, second);
  EXPECT_EQ(second->Value, TVariant("two"));
  EXPECT_EQ(second->FormatIndex, 9);
  EXPECT_EQ(second->Alignment, TAlignment::taRightJustify);
}

TEST(CellStore, ReadingPastAShortRowGrowsNothing)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(1, 0, Num(1), 0, TAlignment::taLeftJustify);
  EXPECT_TRUE(cells.GetCellValue(40, 0).IsNull());
  EXPECT_TRUE(cells.GetCellValue(0, 40).IsNull());
  EXPECT_EQ(cells.Row(0).Cols.Count(), 2u);
  EXPECT_EQ(cells.Count(), 1u);
}

TEST(CellStore, ReadValuesAreCopiesNotShared)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(0, 0, TVariant("abc"), 0, TAlignment::taLeftJustify);
  TVariant copy = cells.GetCellValue(0, 0);
  copy = TVariant("changed");
  EXPECT_EQ(cells.GetCellValue(0, 0), TVariant("abc"));
}

TEST(CellStore, NegativeCoordinatesAreRejectedWithTheListMessage)
{
  TSpreadSheetCells cells;
  EXPECT_THAT([&] { cells.SetCellValue(0, -1, Num(1), 0, TAlignment::taLeftJustify); },
              ThrowsMessage<EListError>(StrEq("List index out of bounds (-1)")));
  EXPECT_THAT([&] { cells.SetCellValue(-4, 2, Num(1), 0, TAlignment::taLeftJustify); },
              ThrowsMessage<EListError>(StrEq("List index out of bounds (-4)")));
  // Rows appended for the valid row stay; no cell was stored.
  EXPECT_EQ(cells.Count(), 3u);
  EXPECT_EQ(cells.ColCount, 0);
  EXPECT_THAT([&] { cells.GetCellValue(-2, 0); },
              ThrowsMessage<EListError>(StrEq("List index out of bounds (-2)")));
}

TEST(CellStore, WithoutTrackingTheExtentStaysWhereTheDimensionsPutIt)
{
  TSpreadSheetCells cells;
  cells.TrackExtent = false;
  cells.SetCellValue(9, 9, Num(1), 0, TAlignment::taLeftJustify);
  EXPECT_EQ(cells.ColCount, 0);
  EXPECT_EQ(cells.RowCount, 0);
}

TEST(CellStore, ClearResetsExtentsAndDimensionsButKeepsTracking)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(3, 4, Num(1), 0, TAlignment::taLeftJustify);
  cells.DimLastColumn = 8;
  cells.DimLastRow = 9;
  cells.TrackExtent = false;
  cells.Clear();
  EXPECT_EQ(cells.Count(), 0u);
  EXPECT_EQ(cells.ColCount, 0);
  EXPECT_EQ(cells.RowCount, 0);
  EXPECT_EQ(cells.DimLastColumn, 0);
  EXPECT_EQ(cells.DimLastRow, 0);
  EXPECT_FALSE(cells.TrackExtent);
}

TEST(CellStore, DeletingARowMovesTheLaterRowsUpAndKeepsTheExtent)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(0, 0, TVariant("a"), 0, TAlignment::taLeftJustify);
  cells.SetCellValue(0, 1, TVariant("b"), 0, TAlignment::taLeftJustify);
  cells.Delete(0);
  EXPECT_EQ(cells.GetCellValue(0, 0), TVariant("b"));
  EXPECT_EQ(cells.RowCount, 2);
  EXPECT_THROW(cells.Delete(5), EListError);
}

TEST(CellStore, ARowSizedFromTheRowAboveStillCountsOnlyItsOwnCells)
{
  // Row 1's slots are made for the width of row 0 at once; the spare ones
  // are gaps and the row's length is its own.
  TSpreadSheetCells cells;
  for (int c = 0; c < 10; ++c)
    cells.SetCellValue(c, 0, Num(c), 0, TAlignment::taLeftJustify);
  cells.SetCellValue(2, 1, Num(7), 0, TAlignment::taLeftJustify);
  const TSpreadSheetCols& second = cells.Row(1).Cols;
  EXPECT_EQ(second.Count(), 3u);
  EXPECT_EQ(second.GetCell(3), nullptr);
  EXPECT_EQ(second.GetCell(9), nullptr);
  int visited = 0;
  second.ForEachCell([&](int column, const TZymCell&) {
    EXPECT_EQ(column, 2);
    ++visited;
  });
  EXPECT_EQ(visited, 1);
  cells.SetCellValue(8, 1, Num(8), 0, TAlignment::taLeftJustify);
  EXPECT_EQ(second.Count(), 9u);
  EXPECT_EQ(cells.GetCellValue(8, 1), Num(8));
  EXPECT_EQ(cells.GetCellValue(2, 1), Num(7));
}

TEST(CellStore, StoresAfterARowIsDeletedOrClearedGoToALiveRow)
{
  // The store remembers the last row it wrote to; removing rows must make
  // it forget, or the next store would write into a freed row.
  TSpreadSheetCells cells;
  cells.SetCellValue(0, 2, TVariant("a"), 0, TAlignment::taLeftJustify);
  cells.Delete(2);
  cells.SetCellValue(1, 2, TVariant("b"), 0, TAlignment::taLeftJustify);
  EXPECT_TRUE(cells.GetCellValue(0, 2).IsNull());
  EXPECT_EQ(cells.GetCellValue(1, 2), TVariant("b"));
  cells.Delete(0);
  cells.SetCellValue(0, 1, TVariant("c"), 0, TAlignment::taLeftJustify);
  EXPECT_EQ(cells.GetCellValue(0, 1), TVariant("c"));
  EXPECT_EQ(cells.GetCellValue(1, 1), TVariant("b"));
  cells.Clear();
  cells.SetCellValue(3, 1, TVariant("d"), 0, TAlignment::taLeftJustify);
  EXPECT_EQ(cells.Row(1).Cols.Count(), 4u);
  EXPECT_TRUE(cells.GetCellValue(1, 1).IsNull());
}

TEST(CellStore, CellsSharingATableKeepItUntilClearedAndOutliveNoOtherHolder)
{
  auto table = std::make_shared<std::vector<TVariant>>();
  table->emplace_back(std::string(40, 'a'));
  table->emplace_back(std::string(40, 'b'));
  const std::weak_ptr<std::vector<TVariant>> watch = table;
  TSpreadSheetCells cells;
  cells.SetCellSharedText(0, 0, (*table)[0], table, TAlignment::taCenter);
  cells.SetCellSharedText(1, 3, (*table)[1], table, TAlignment::taLeftJustify);
  cells.SetCellSharedText(2, 3, (*table)[1], table, TAlignment::taLeftJustify);
  // The reader lets go of its table (a new load starts another one): the
  // cells still read their texts, and a copy taken now outlives the cells.
  table.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(cells.FindCell(0, 0)->Value.AsString(), std::string(40, 'a'));
  EXPECT_EQ(cells.FindCell(0, 0)->Alignment, TAlignment::taCenter);
  EXPECT_EQ(cells.RowCount, 4);
  EXPECT_EQ(cells.ColCount, 3);
  const TVariant copied = cells.GetCellValue(2, 3);
  // Deleting rows keeps the table for the rows left; Clear lets it go.
  cells.Delete(0);
  EXPECT_EQ(cells.GetCellValue(1, 2), copied);
  cells.Clear();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(copied.AsString(), std::string(40, 'b'));
}

TEST(CellStore, CellsTakingTurnsBetweenTwoOwnersKeepEachOnceAndBothTexts)
{
  // A sheet of shared strings and labels side by side: each owner is kept
  // once however often the cells switch, and each lives while cells use it.
  auto strings = std::make_shared<std::vector<TVariant>>(1, TVariant(std::string(30, 's')));
  auto labels = std::make_shared<std::vector<TVariant>>(1, TVariant(std::string(30, 'l')));
  const std::weak_ptr<std::vector<TVariant>> watchStrings = strings;
  const std::weak_ptr<std::vector<TVariant>> watchLabels = labels;
  TSpreadSheetCells cells;
  for (int row = 0; row < 50; ++row) {
    cells.SetCellSharedText(0, row, (*strings)[0], strings, TAlignment::taLeftJustify);
    cells.SetCellSharedText(1, row, (*labels)[0], labels, TAlignment::taLeftJustify);
  }
  EXPECT_EQ(strings.use_count(), 2);
  EXPECT_EQ(labels.use_count(), 2);
  strings.reset();
  labels.reset();
  EXPECT_EQ(cells.GetCellValue(0, 49).AsString(), std::string(30, 's'));
  EXPECT_EQ(cells.GetCellValue(1, 49).AsString(), std::string(30, 'l'));
  cells.Clear();
  EXPECT_TRUE(watchStrings.expired());
  EXPECT_TRUE(watchLabels.expired());
}

TEST(CellStore, TheSharedStoreFallsBackToAPlainStoreForOtherValuesOrNoOwner)
{
  TSpreadSheetCells cells;
  const std::shared_ptr<const void> none;
  auto owner = std::make_shared<int>(0);
  cells.SetCellSharedText(0, 0, TVariant(2.5), owner, TAlignment::taLeftJustify);
  cells.SetCellSharedText(1, 0, TVariant::Null(), owner, TAlignment::taLeftJustify);
  cells.SetCellSharedText(2, 0, TVariant("own"), none, TAlignment::taLeftJustify);
  EXPECT_EQ(cells.GetCellValue(0, 0), TVariant(2.5));
  EXPECT_EQ(cells.FindCell(1, 0), nullptr);
  EXPECT_EQ(cells.GetCellValue(2, 0), TVariant("own"));
  EXPECT_THROW(cells.SetCellSharedText(-1, 0, TVariant("x"), owner, TAlignment::taLeftJustify),
               EListError);
  // A value that is not text takes no part in the owner's life.
  EXPECT_EQ(owner.use_count(), 1);
}

TEST(CellStore, EveryWayOfChangingAValueLeavesTheCellsOwnFieldsAlone)
{
  // The format index and alignment live in the value's padding: no kind of
  // assignment to the value may write there.
  TZymCell cell;
  cell.FormatIndex = 0x12345678;
  cell.Alignment = TAlignment::taCenter;
  const TVariant text(std::string(20, 't'));
  TVariant temporary(std::string(20, 'm'));
  cell.Value = text;
  cell.Value = std::move(temporary);
  cell.Value = TVariant::Currency({-1});
  cell.Value.AssignUncounted(text);
  cell.Value = TVariant::Date(-1e300);
  TVariant moved = std::move(cell.Value);
  cell.Value = TVariant(true);
  EXPECT_EQ(cell.FormatIndex, 0x12345678);
  EXPECT_EQ(cell.Alignment, TAlignment::taCenter);
  EXPECT_EQ(cell.Value, TVariant(true));
  EXPECT_EQ(moved, TVariant::Date(-1e300));
  TZymCell copy(cell);
  EXPECT_EQ(copy.FormatIndex, 0x12345678);
  EXPECT_EQ(copy.Alignment, TAlignment::taCenter);
}

TEST(CellStore, RowsSpreadOverManyBlocksSurviveDeletesAndAreFreedOnce)
{
  // Rows are made many to a block; deleting one destroys it at once and
  // Clear frees the blocks (a sanitizer build reports a row freed twice or
  // never, and its long text with it).
  TSpreadSheetCells cells;
  const auto text = [](int r) { return TVariant("row " + std::to_string(r) + std::string(20, '.')); };
  for (int r = 0; r < 3000; ++r)
    cells.SetCellValue(r % 3, r, text(r), 0, TAlignment::taLeftJustify);
  cells.Delete(0);
  cells.Delete(1500);
  EXPECT_EQ(cells.GetCellValue(1, 0), text(1));
  EXPECT_EQ(cells.GetCellValue(2999 % 3, 2997), text(2999));
  EXPECT_EQ(cells.GetCellValue(1500 % 3, 1499), text(1500));
  EXPECT_EQ(cells.GetCellValue(1502 % 3, 1500), text(1502));
  cells.Clear();
  for (int r = 0; r < 40; ++r)
    cells.SetCellValue(0, r, text(r), 0, TAlignment::taLeftJustify);
  EXPECT_EQ(cells.GetCellValue(0, 39), text(39));
}

TEST(CellArena, PiecesOfEverySizeAreAlignedAndNeverOverlap)
{
  // Small pieces, a first piece larger than a first block, pieces that get
  // blocks of their own, and enough to fill several blocks; each is filled
  // to its end and must keep its fill.
  TCellArena arena;
  const std::vector<std::size_t> sizes = {100000, 1, 24, 300000, 5000, 65536, 7, 1 << 20, 48, 262145};
  std::vector<std::pair<unsigned char*, std::size_t>> pieces;
  for (int round = 0; round < 40; ++round)
    for (const std::size_t size : sizes) {
      auto* piece = static_cast<unsigned char*>(arena.Allocate(size));
      ASSERT_EQ(reinterpret_cast<std::uintptr_t>(piece) % alignof(std::max_align_t), 0u);
      std::memset(piece, static_cast<int>(pieces.size() & 0xFF), size);
      pieces.emplace_back(piece, size);
    }
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const auto [piece, size] = pieces[k];
    ASSERT_EQ(piece[0], k & 0xFF) << k;
    ASSERT_EQ(piece[size - 1], k & 0xFF) << k;
  }
  arena.Release();
  EXPECT_NE(arena.Allocate(16), nullptr);
}

TEST(CellStore, ACellIsSmallEnoughToLiveInItsRowsSlot)
{
  // Memory on big sheets is cells times this size: a value is a tag and
  // 8 bytes, its text shared elsewhere, and the cell's own fields share the
  // value's padding.
  EXPECT_LE(sizeof(TVariant), 16u);
  EXPECT_LE(sizeof(TZymCell), 24u);
}

TEST(SheetList, AddNamesTheSheetByItsPosition)
{
  TSpreadSheets sheets;
  sheets.GetSheet(sheets.Add()).Caption = "Data";
  sheets.GetSheet(sheets.Add()).Caption = "Totals";
  const int index = sheets.Add();
  EXPECT_EQ(index, 2);
  EXPECT_EQ(sheets.Items(2).Caption, "Sheet3");
}

TEST(SheetList, GetSheetWithANegativeIndexOnAnEmptyListCreatesSheet1)
{
  TSpreadSheets sheets;
  TSpreadSheet& sheet = sheets.GetSheet(-3);
  EXPECT_EQ(sheet.Caption, "Sheet1");
  EXPECT_EQ(sheets.Count(), 1);
}

TEST(SheetList, GetSheetFarPastTheEndAppendsOnlyOneSheet)
{
  TSpreadSheets sheets;
  sheets.Add();
  sheets.Add();
  TSpreadSheet& sheet = sheets.GetSheet(5);
  EXPECT_EQ(sheets.Count(), 3);
  EXPECT_EQ(&sheet, &sheets.Items(2));
  EXPECT_EQ(sheet.Caption, "Sheet3");
}

TEST(SheetList, DeleteOutsideTheListFailsAndFreesNothing)
{
  TSpreadSheets sheets;
  sheets.Add();
  EXPECT_THAT([&] { sheets.Delete(1); },
              ThrowsMessage<EListError>(StrEq("List index out of bounds (1)")));
  EXPECT_EQ(sheets.Count(), 1);
  sheets.Delete(0);
  EXPECT_EQ(sheets.Count(), 0);
}

TEST(CellAssign, CopiesAllThreePropertiesFromACell)
{
  TZymCell source;
  source.Value = TVariant("x");
  source.Alignment = TAlignment::taCenter;
  source.FormatIndex = 14;
  TZymCell target;
  target.Assign(source);
  EXPECT_EQ(target.Value, TVariant("x"));
  EXPECT_EQ(target.Alignment, TAlignment::taCenter);
  EXPECT_EQ(target.FormatIndex, 14);
}

TEST(CellAssign, RefusesAnyOtherSourceNamingBothClasses)
{
  TSpreadSheet sheet;
  TZymCell target;
  EXPECT_THAT([&] { target.Assign(sheet); },
              ThrowsMessage<EConvertError>(StrEq("Cannot assign a TSpreadSheet to a TZymCell")));
}

TEST(SparseRows, AFarColumnCostsAMapEntryNotThousandsOfSlots)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(65535, 0, TVariant(1.0), 0, TAlignment::taLeftJustify);
  const TSpreadSheetCols& cols = cells.Row(0).Cols;
  EXPECT_TRUE(cols.IsSparse());
  EXPECT_EQ(cols.Count(), 65536u);
  EXPECT_EQ(cells.ColCount, 65536);
  EXPECT_EQ(cells.GetCellValue(65535, 0), TVariant(1.0));
  EXPECT_TRUE(cells.GetCellValue(65534, 0).IsNull());
}

TEST(SparseRows, ARowThatTurnsSparseKeepsItsCellsAndTheirOrder)
{
  TSpreadSheetCells cells;
  for (int c = 0; c < 10; ++c)
    cells.SetCellValue(c, 0, TVariant(static_cast<double>(c)), 0, TAlignment::taLeftJustify);
  cells.SetCellValue(40000, 0, TVariant("far"), 0, TAlignment::taLeftJustify);
  cells.SetCellValue(500, 0, TVariant("between"), 0, TAlignment::taLeftJustify);
  cells.SetCellValue(3, 0, TVariant("again"), 0, TAlignment::taLeftJustify);
  const TSpreadSheetCols& cols = cells.Row(0).Cols;
  ASSERT_TRUE(cols.IsSparse());
  std::vector<int> columns;
  cols.ForEachCell([&](int c, const TZymCell&) { columns.push_back(c); });
  EXPECT_EQ(columns, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 500, 40000}));
  EXPECT_EQ(cells.GetCellValue(3, 0), TVariant("again"));
  EXPECT_EQ(cells.GetCellValue(9, 0), TVariant(9.0));
}

TEST(SparseRows, ACompactRowStaysDenseAndVisitsOnlyStoredCells)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(0, 0, TVariant(1.0), 0, TAlignment::taLeftJustify);
  cells.SetCellValue(60, 0, TVariant(2.0), 0, TAlignment::taLeftJustify);
  const TSpreadSheetCols& cols = cells.Row(0).Cols;
  EXPECT_FALSE(cols.IsSparse());
  int visited = 0;
  cols.ForEachCell([&](int, const TZymCell&) { ++visited; });
  EXPECT_EQ(visited, 2);
}

TEST(SparseRows, OneCellAtTheLastRowKeepsEveryRowPresentButCheap)
{
  TSpreadSheetCells cells;
  cells.SetCellValue(0, 0, TVariant("top"), 0, TAlignment::taLeftJustify);
  cells.SetCellValue(1, 65535, TVariant("bottom"), 0, TAlignment::taLeftJustify);
  EXPECT_TRUE(cells.IsSparse());
  EXPECT_EQ(cells.Count(), 65536u);
  EXPECT_EQ(cells.RowCount, 65536);
  const TSpreadSheetCells& view = cells;
  EXPECT_EQ(view.Row(30000).Cols.Count(), 0u);  // present and empty
  EXPECT_EQ(view.GetCellValue(1, 65535), TVariant("bottom"));
  std::vector<int> rows;
  view.ForEachRow([&](int r, const TSpreadSheetRow&) { rows.push_back(r); });
  EXPECT_EQ(rows, (std::vector<int>{0, 65535}));
  cells.Delete(0);
  EXPECT_EQ(view.GetCellValue(1, 65534), TVariant("bottom"));
  EXPECT_EQ(cells.Count(), 65535u);
}
