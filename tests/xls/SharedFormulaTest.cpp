// tExp and tTbl cells through the SHRFMLA, ARRAY and TABLE records of their
// sheet, and the FORMULA record's fields in each version.

#include "FormulaTestSupport.h"

#include "support/BiffBuilder.h"
#include "xls/formula/FormulaMessages.h"

#include <gtest/gtest.h>

namespace {

using enum TExcelVersion;
using F = TFormulaBuilder;

struct TRange {
  std::uint16_t Row1, Row2;
  std::uint8_t Column1, Column2;
};

TBytes RangeBytes(const TRange& r)
{
  return TBytes().U16(r.Row1).U16(r.Row2).U8(r.Column1).U8(r.Column2);
}

std::vector<std::uint8_t> ShrFmla(const TRange& range, const TBuiltFormula& f)
{
  return RangeBytes(range).U8(0).U8(1).U16(static_cast<std::uint16_t>(f.Tokens.size()))
      .Append(f.Tokens).Append(f.Extra);
}

std::vector<std::uint8_t> ArrayRecord(TExcelVersion version, const TRange& range,
                                      const TBuiltFormula& f)
{
  TBytes b = RangeBytes(range);
  if (version < evExcel3)
    b.U8(0).U8(static_cast<std::uint8_t>(f.Tokens.size()));
  else if (version < evExcel5)
    b.U16(0).U16(static_cast<std::uint16_t>(f.Tokens.size()));
  else
    b.U16(0).U32(0).U16(static_cast<std::uint16_t>(f.Tokens.size()));
  return b.Append(f.Tokens).Append(f.Extra);
}

std::vector<std::uint8_t> TableRecord(const TRange& range, std::uint16_t flags, TFormulaCell first,
                                      TFormulaCell second)
{
  return RangeBytes(range).U16(flags).U16(first.Row).U16(first.Column).U16(second.Row)
      .U16(second.Column);
}

std::string CellText(const TFormulaContext& context, const TSharedFormulaIndex& masters,
                     const TBuiltFormula& cellTokens, TFormulaCell cell)
{
  TFormulaDecoder decoder(context);
  const TFormulaResult r = decoder.DecodeCell(cellTokens.Tokens, cellTokens.Extra, cell, masters);
  return r.Ok() ? r.Text : "error: " + r.Error;
}

TEST(SharedFormula, IsRebasedOnEachCellAndWrapsAtTheSheetEdges)
{
  struct TCase {
    const char* What;
    TExcelVersion Version;
    TBuiltFormula Master;
    TFormulaCell Cell;
    const char* Text;
  };
  const std::initializer_list<TCase> cases = {
      {"one row up", evExcel8, F().RefN(-1, 0).Build(), {5, 2}, "C5"},
      {"above row 1 wraps to the last row", evExcel8, F().RefN(-1, 0).Build(), {0, 2}, "C65536"},
      {"below the last row wraps to row 1", evExcel8, F().RefN(1, 0).Build(), {65535, 2}, "C1"},
      {"right of column IV wraps to A", evExcel8, F().RefN(0, 1).Build(), {3, 255}, "A4"},
      {"left of column A wraps to IV", evExcel8, F().RefN(0, -1).Build(), {3, 0}, "IV4"},
      {"absolute parts stay", evExcel8, F().RefN(7, 3, false, false).Build(), {40, 40}, "$D$8"},
      {"area", evExcel8, F().AreaN(0, -2, 3, -1).Build(), {10, 5}, "D11:E14"},
      {"BIFF5 wraps at 16384 rows", evExcel5, F(evExcel5).RefN(-1, 0).Build(), {0, 1},
       "B16384"},
      {"BIFF5 offsets of 14 bits", evExcel7, F(evExcel7).RefN(-100, 2).Build(), {200, 1}, "D101"},
      {"absolute tokens stay", evExcel8,
       F().Ref(0, 0, false, false).RefN(0, -1).Op(kFbAdd).Build(), {9, 9}, "$A$1+I10"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TSharedFormulaIndex masters;
    const TRange range{0, 65535, 0, 255};
    ASSERT_TRUE(masters.AddSharedFormula(ShrFmla(range, c.Master)));
    const TFormulaContext context =
        c.Version >= evExcel8 ? Book8Context() : Book5Context(c.Version);
    EXPECT_EQ(CellText(context, masters, F(c.Version).Exp(0, 0).Build(), c.Cell), c.Text);
  }
}

TEST(SharedFormula, IsFoundByTheFormulaItFollowsWhenItsRangeIsWrong)
{
  TSharedFormulaIndex masters;
  const TFormulaCell host{4, 1};
  // The record claims A1:A2; the FORMULA before it is B5, as its cells' tExp say.
  ASSERT_TRUE(masters.AddSharedFormula(ShrFmla({0, 1, 0, 0}, F().RefN(0, 1).Build()), &host));
  EXPECT_EQ(CellText(Book8Context(), masters, F().Exp(4, 1).Build(), {5, 1}), "C6");
}

TEST(SharedFormula, MissingMasterIsAMessageNotAText)
{
  TSharedFormulaIndex masters;
  ASSERT_TRUE(masters.AddSharedFormula(ShrFmla({0, 3, 0, 0}, F().RefN(0, 1).Build())));
  EXPECT_EQ(CellText(Book8Context(), masters, F().Exp(2, 2).Build(), {2, 2}),
            "error: No shared, array or table formula is found at C3");
  // A tTbl finds tables only.
  EXPECT_EQ(CellText(Book8Context(), masters, F().Tbl(0, 0).Build(), {1, 0}),
            "error: No shared, array or table formula is found at A1");
  EXPECT_EQ(CellText(Book8Context(), masters, F().Raw({0x01, 0x00}).Build(), {1, 0}),
            "error: Formula is cut short in token tExp at byte 0");
}

TEST(SharedFormula, RecordsShorterThanTheirFieldsAreNotKept)
{
  TSharedFormulaIndex masters;
  const auto good = ShrFmla({0, 3, 0, 0}, F().Int(1).Build());
  EXPECT_FALSE(masters.AddSharedFormula(std::span(good).first(9)));
  EXPECT_FALSE(masters.AddSharedFormula(std::span(good).first(good.size() - 1)));
  const auto table = TableRecord({0, 1, 0, 1}, 0, {}, {});
  EXPECT_FALSE(masters.AddTable(std::span(table).first(table.size() - 1)));
  const auto array = ArrayRecord(evExcel8, {0, 1, 0, 1}, F().Int(1).Build());
  EXPECT_FALSE(masters.AddArray(std::span(array).first(13), evExcel8));
  EXPECT_TRUE(masters.AddSharedFormula(good));
  EXPECT_EQ(masters.Size(), 1u);
}

TEST(ArrayFormula, ShowsTheSameTextInEveryCellOfItsRange)
{
  for (const TExcelVersion version : {evExcel2, evExcel3, evExcel4, evExcel5, evExcel8}) {
    SCOPED_TRACE(ExcelVersionName(version));
    TSharedFormulaIndex masters;
    const auto f = F(version).Area(0, 0, 2, 0).Area(0, 1, 2, 1).Op(kFbMul).Build();
    ASSERT_TRUE(masters.AddArray(ArrayRecord(version, {4, 6, 3, 3}, f), version));
    const TFormulaContext context =
        version >= evExcel8 ? Book8Context() : Book5Context(version);
    for (const std::uint16_t row : {4, 5, 6})
      EXPECT_EQ(CellText(context, masters, F(version).Exp(4, 3).Build(), {row, 3}), "A1:A3*B1:B3");
  }
}

TEST(DataTable, ReadsAsTableWithItsInputCells)
{
  struct TCase {
    std::uint16_t Flags;
    const char* Text;
  };
  for (const TCase& c : {TCase{0x0000, "TABLE(,B1)"}, TCase{kTableRowInput, "TABLE(B1,)"},
                         TCase{kTableTwoInputs, "TABLE(B1,C2)"},
                         TCase{kTableTwoInputs | kTableFirstDeleted, "TABLE(#REF!,C2)"},
                         TCase{kTableTwoInputs | kTableSecondDeleted, "TABLE(B1,#REF!)"}}) {
    SCOPED_TRACE(c.Text);
    TSharedFormulaIndex masters;
    ASSERT_TRUE(masters.AddTable(TableRecord({2, 5, 2, 4}, c.Flags, {0, 1}, {1, 2})));
    EXPECT_EQ(CellText(Book8Context(), masters, F().Tbl(2, 2).Build(), {3, 3}), c.Text);
  }
}

TEST(FormulaRecord, SplitsIntoCellTokensAndDataInEachVersion)
{
  const auto f = F().Array(1, 1, {TArrayValue::Num(1)}).Build();
  struct TCase {
    TExcelVersion Version;
    std::vector<std::uint8_t> Data;
  };
  const auto cce = static_cast<std::uint16_t>(f.Tokens.size());
  const std::vector<TCase> cases = {
      // Row, column, 3 attribute bytes, value, flags, an 8-bit count.
      {evExcel2, TBytes().U16(7).U16(3).U8(0).U8(0).U8(0).F64(1).U8(0)
                     .U8(static_cast<std::uint8_t>(cce)).Append(f.Tokens).Append(f.Extra)},
      // Row, column, XF, value, flags, count.
      {evExcel4, TBytes().U16(7).U16(3).U16(15).F64(1).U16(0).U16(cce).Append(f.Tokens)
                     .Append(f.Extra)},
      // Row, column, XF, value, flags, 4 reserved bytes, count.
      {evExcel8, TBytes().U16(7).U16(3).U16(15).F64(1).U16(0).U32(0).U16(cce).Append(f.Tokens)
                     .Append(f.Extra)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(ExcelVersionName(c.Version));
    const auto record = ReadFormulaRecord(c.Data, c.Version);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->Cell, (TFormulaCell{7, 3}));
    EXPECT_EQ(std::vector<std::uint8_t>(record->Tokens.begin(), record->Tokens.end()), f.Tokens);
    EXPECT_EQ(std::vector<std::uint8_t>(record->Extra.begin(), record->Extra.end()), f.Extra);
    // The token count reaching one byte past the record is refused.
    const std::span<const std::uint8_t> whole(c.Data);
    EXPECT_FALSE(ReadFormulaRecord(whole.first(whole.size() - f.Extra.size() - 1), c.Version));
    EXPECT_TRUE(ReadFormulaRecord(whole.first(whole.size() - f.Extra.size()), c.Version));
  }
}

}  // namespace
