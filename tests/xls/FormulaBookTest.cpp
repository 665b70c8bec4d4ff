// The workbook's formula book finds each cell's formula whatever order the
// cells are asked for in and the records came in: the last record that
// wrote a cell counts, cells without a formula have none.

#include "xls/formula/FormulaBook.h"
#include "support/BiffBuilder.h"
#include "support/FormulaBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
#include <string>
#include <vector>

namespace {

using F = TFormulaBuilder;

/// Feeds every record of a bare BIFF stream to `book`.
void Feed(TFormulaBook& book, const std::vector<std::uint8_t>& stream)
{
  std::size_t at = 0;
  std::uint64_t number = 0;
  while (stream.size() - at >= 4) {
    TRecordRef record;
    record.Number = ++number;
    record.Offset = at;
    record.Header.Code = static_cast<std::uint16_t>(stream[at] | stream[at + 1] << 8);
    record.Header.Length = static_cast<std::uint16_t>(stream[at + 2] | stream[at + 3] << 8);
    at += 4;
    const std::size_t size = std::min<std::size_t>(record.Header.Length, stream.size() - at);
    record.Data = std::span(stream).subspan(at, size);
    book.Add(record);
    at += size;
  }
}

/// Sheet 0 holds, in this record order: C3 = 3, A1 = 1, B2 = 2, A1 = 10
/// (A1 written again), E1 = 5; sheet 1 holds A1 = 7.
std::unique_ptr<TFormulaBook> MakeBook()
{
  TBiffBuilder b;
  b.Bof(TExcelVersion::evExcel8, TBofType::btGlobals).BoundSheet("One", 1).BoundSheet("Two", 2).Eof();
  b.Bof(TExcelVersion::evExcel8);
  for (const auto& [row, column, value] : {std::tuple{2, 2, 3}, {0, 0, 1}, {1, 1, 2}, {0, 0, 10}, {0, 4, 5}})
    b.FormulaTokens(static_cast<std::uint16_t>(row), static_cast<std::uint16_t>(column), value,
                    F().Int(static_cast<std::uint16_t>(value)).Build().Tokens);
  b.Eof();
  b.Bof(TExcelVersion::evExcel8).FormulaTokens(0, 0, 7, F().Int(7).Build().Tokens).Eof();
  auto book = std::make_unique<TFormulaBook>();
  Feed(*book, b.Build());
  return book;
}

struct TLookup {
  int Sheet, Row, Column;
  const char* Text;  // nullptr: no formula
};

/// The lookups whose answer differs from the expected one, a line each.
std::string Lookups(TFormulaBook& book, const std::vector<TLookup>& lookups)
{
  std::string failures;
  TFormulaResult result;
  for (const TLookup& l : lookups) {
    const bool found = book.Formula(l.Sheet, l.Row, l.Column, result);
    const std::string got = found ? (result.Ok() ? result.Text : "error " + result.Error) : "none";
    const std::string want = l.Text ? l.Text : "none";
    if (got != want)
      failures += std::to_string(l.Sheet) + ":" + std::to_string(l.Row) + "," + std::to_string(l.Column) +
                  " gave " + got + " instead of " + want + "\n";
  }
  return failures;
}

}  // namespace

TEST(FormulaBookCells, FindsEachCellInAnyOrderTheLastRecordCounting)
{
  const std::vector<TLookup> inOrder = {
      {0, 0, 0, "10"},    {0, 0, 1, nullptr}, {0, 0, 4, "5"},     {0, 0, 5, nullptr},
      {0, 1, 0, nullptr}, {0, 1, 1, "2"},     {0, 2, 2, "3"},     {0, 3, 0, nullptr},
      {1, 0, 0, "7"},     {1, 0, 1, nullptr},
  };
  // In order (as a listing asks), backwards, and jumping about; twice each,
  // so every order follows every other.
  std::vector<TLookup> backwards(inOrder.rbegin(), inOrder.rend());
  std::vector<TLookup> jumping;
  for (std::size_t i = 0; i < inOrder.size(); ++i)
    jumping.push_back(inOrder[(i * 7) % inOrder.size()]);
  const auto book = MakeBook();
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Lookups(*book, inOrder), "");
    EXPECT_EQ(Lookups(*book, backwards), "");
    EXPECT_EQ(Lookups(*book, jumping), "");
  }
}

TEST(FormulaBookCells, HasNoFormulaOutsideTheSheetsAndCellsRead)
{
  const auto book = MakeBook();
  EXPECT_EQ(Lookups(*book, {{-1, 0, 0, nullptr},
                     {2, 0, 0, nullptr},
                     {0, -1, 0, nullptr},
                     {0, 0, -1, nullptr},
                     {0, 65536, 0, nullptr},  // would wrap onto A1
                     {0, 0, 65536, nullptr},
                     {0, 2, 3, nullptr}}),
            "");
}

TEST(FormulaBook, AChartInsideASheetLeavesTheSheetsLaterFormulasItsOwn)
{
  // An embedded chart's MARKERFORMAT (0x1009) shares BOF's low byte; read
  // as a BOF it opened a substream no EOF closed, and the sheet's formulas
  // after the chart were lost.
  TBiffBuilder b;
  b.Bof(TExcelVersion::evExcel8, TBofType::btGlobals).BoundSheet("One", 1).Eof();
  b.Bof(TExcelVersion::evExcel8).FormulaTokens(0, 0, 1, F().Int(1).Build().Tokens);
  b.Bof(TExcelVersion::evExcel8, TBofType::btChart);
  b.Record(0x1009, TBytes().U32(0).U32(0).U16(0).U16(1).U16(0).U16(0).U16(0).U32(0));
  b.Eof();
  b.FormulaTokens(1, 0, 2, F().Int(2).Build().Tokens).Eof();
  TFormulaBook book;
  Feed(book, b.Build());
  EXPECT_EQ(Lookups(book, {{0, 0, 0, "1"}, {0, 1, 0, "2"}}), "");
}

TEST(FormulaBook, ASheetsOwnNameIsBareOnItsSheetAndAfterItsSheetElsewhere)
{
  // Names of the sheet "Data" (BOUNDSHEET 2), used by a tName token on
  // Data itself and on "Calc" (BOUNDSHEET 3), with a chart sheet first so
  // the worksheets' numbers and their BOUNDSHEET positions differ.
  for (const TExcelVersion version : {TExcelVersion::evExcel7, TExcelVersion::evExcel8}) {
    SCOPED_TRACE(static_cast<int>(version));
    const auto local = F(version).Name(1).Int(1).Op(kFbAdd).Build().Tokens;
    TBiffBuilder b;
    b.Bof(version, TBofType::btGlobals)
        .BoundSheet("Chart", 1)
        .BoundSheet("Data", 2)
        .BoundSheet("Calc", 3)
        .Name("Local", F(version).Int(5).Build().Tokens, 2)
        .Eof();
    b.Bof(version, TBofType::btChart).Eof();
    b.Bof(version).FormulaTokens(0, 0, 6, local).Eof();
    b.Bof(version).FormulaTokens(0, 0, 6, local).Eof();
    TFormulaBook book;
    Feed(book, b.Build());
    EXPECT_EQ(Lookups(book, {{0, 0, 0, "Local+1"}, {1, 0, 0, "Data!Local+1"}}), "");
  }
}
