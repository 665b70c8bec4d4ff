// One decoder for many formulas, as a sheet's cells are read: texts
// appended to one buffer, and formulas read through the expressions the
// decoder keeps (a shared formula's cells, formulas filled down a column)
// reading as each one's own tokens say.

#include "FormulaTestSupport.h"

#include "support/BiffBuilder.h"
#include "xls/formula/FormulaMessages.h"
#include "xls/decode/FormulaText.h"

#include <gtest/gtest.h>

namespace {

using enum TExcelVersion;
using F = TFormulaBuilder;
using A = TArrayValue;

// SHRFMLA data: rows, columns, reserved, use count, cce, the tokens.
std::vector<std::uint8_t> ShrFmla(std::uint16_t row1, std::uint16_t row2, std::uint8_t column1,
                                  std::uint8_t column2, const TBuiltFormula& f)
{
  return TBytes().U16(row1).U16(row2).U8(column1).U8(column2).U8(0).U8(1)
      .U16(static_cast<std::uint16_t>(f.Tokens.size())).Append(f.Tokens).Append(f.Extra);
}

std::string Text(TFormulaDecoder& decoder, const TBuiltFormula& f, TFormulaCell cell,
                 TFormulaKind kind = TFormulaKind::fkCell)
{
  const TFormulaResult r = decoder.Decode(f.Tokens, f.Extra, cell, kind);
  return r.Ok() ? r.Text : "error: " + r.Error;
}

TEST(FormulaDecodeInto, AppendsEachTextAndLeavesTheBufferAsItWasOnAFailure)
{
  const TFormulaContext context = Book8Context();
  TFormulaDecoder decoder(context);
  const auto sum = F().Ref(0, 0).Ref(0, 1).Op(kFbAdd).Build();
  const auto broken = F().Int(1).Op(kFbAdd).Build();
  std::string texts = "start;";
  std::string error = "left from before";

  EXPECT_TRUE(decoder.DecodeInto(sum.Tokens, sum.Extra, {}, TFormulaKind::fkCell, texts, error));
  EXPECT_EQ(error, "");
  EXPECT_FALSE(
      decoder.DecodeInto(broken.Tokens, broken.Extra, {}, TFormulaKind::fkCell, texts, error));
  EXPECT_EQ(error, "Formula token tAdd at byte 3 has too few operands");
  EXPECT_TRUE(decoder.DecodeInto(sum.Tokens, sum.Extra, {}, TFormulaKind::fkCell, texts, error));
  EXPECT_EQ(texts, "start;A1+B1A1+B1");
  EXPECT_EQ(error, "");
}

TEST(FormulaDecodeInto, AppendsTheCellsOfSharedFormulasAndTables)
{
  const TFormulaContext context = Book8Context();
  TFormulaDecoder decoder(context);
  TSharedFormulaIndex masters;
  ASSERT_TRUE(masters.AddSharedFormula(ShrFmla(4, 9, 2, 2, F().RefN(-1, -2).Build())));
  const std::vector<std::uint8_t> tableRecord =
      TBytes().U16(20).U16(22).U8(1).U8(1).U16(kTableRowInput).U16(0).U16(0).U16(0).U16(0);
  ASSERT_TRUE(masters.AddTable(tableRecord));
  const auto shared = F().Exp(4, 2).Build();
  const auto table = F().Tbl(20, 1).Build();
  const auto missing = F().Exp(30, 0).Build();
  std::string texts;
  std::string error;
  for (const std::uint16_t row : {4, 5, 9})
    ASSERT_TRUE(decoder.DecodeCellInto(shared.Tokens, shared.Extra, {row, 2}, masters, texts,
                                       error));
  EXPECT_FALSE(decoder.DecodeCellInto(missing.Tokens, missing.Extra, {30, 0}, masters, texts,
                                      error));
  EXPECT_EQ(error, "No shared, array or table formula is found at A31");
  ASSERT_TRUE(decoder.DecodeCellInto(table.Tokens, table.Extra, {21, 1}, masters, texts, error));
  EXPECT_EQ(texts, "A4A5A9TABLE(A1,)");
}

TEST(FormulaDecodeInto, KeepsTheBoundOnTheTextOfEachFormula)
{
  // Four references to a sheet of a long name, their cells written last:
  // 262127 bytes of sheet names, "!" and "+", then the cells.
  TFormulaContext context = Book8Context();
  context.SheetNames[0] = std::string(65530, 's');
  auto build = [](std::uint32_t firstRow) {
    return F().Ref3d(kXtiSheet1, firstRow, 0).Ref3d(kXtiSheet1, 99, 0).Op(kFbAdd)
        .Ref3d(kXtiSheet1, 99, 0).Op(kFbAdd).Ref3d(kXtiSheet1, 99, 0).Op(kFbAdd).Build();
  };
  TFormulaDecoder decoder(context);
  std::string text = "kept";
  std::string error;
  // A1000 + 3 x A100: exactly the bound.
  const auto atBound = build(999);
  ASSERT_TRUE(decoder.DecodeInto(atBound.Tokens, atBound.Extra, {}, TFormulaKind::fkCell, text,
                                 error)) << error;
  EXPECT_EQ(text.size(), std::size_t{4} + (256u << 10));
  // A10000: one byte more.
  text = "kept";
  const auto past = build(9999);
  EXPECT_FALSE(
      decoder.DecodeInto(past.Tokens, past.Extra, {}, TFormulaKind::fkCell, text, error));
  EXPECT_EQ(error, "Formula text is longer than 262144 bytes");
  EXPECT_EQ(text, "kept");
}

TEST(FormulaKeptExpressions, ReadEachFormulaWithItsOwnFieldsAndTokens)
{
  struct TCase {
    const char* What;
    TExcelVersion Version;
    std::vector<std::pair<TBuiltFormula, const char*>> Formulas;  // read in turn, twice
  };
  const std::initializer_list<TCase> cases = {
      {"references and integers filled down", evExcel8,
       {{F().Ref(0, 0).Int(0).Op(kFbMul).Build(), "A1*0"},
        {F().Ref(1, 0).Int(7).Op(kFbMul).Build(), "A2*7"},
        {F().Ref(99, 0, false, true).Int(65535).Op(kFbMul).Build(), "A$100*65535"}}},
      {"areas at both ends", evExcel8,
       {{F().Area(0, 0, 4, 2, false).Build(), "$A$1:$C$5"},
        {F().Area(1, 1, 5, 3, false).Build(), "$B$2:$D$6"},
        {F().AreaFlags(0, 3, 65535, 3, false, true).Build(), "D:D"}}},
      {"BIFF5 one-byte columns", evExcel5,
       {{F(evExcel5).Ref(0, 0).Build(), "A1"},
        {F(evExcel5).Ref(1, 1).Build(), "B2"},
        {F(evExcel5).Ref(2, 255, false, false).Build(), "$IV$3"}}},
      {"the same sheet, other cells", evExcel8,
       {{F().Ref3d(kXtiMySheet, 0, 1).Build(), "'My Sheet'!B1"},
        {F().Ref3d(kXtiMySheet, 5, 2).Build(), "'My Sheet'!C6"}}},
      {"other sheets", evExcel8,
       {{F().Ref3d(kXtiSheet1, 0, 0).Build(), "Sheet1!A1"},
        {F().Ref3d(kXtiMySheet, 0, 0).Build(), "'My Sheet'!A1"}}},
      {"other operators", evExcel8,
       {{F().Ref(0, 0).Ref(0, 1).Op(kFbAdd).Build(), "A1+B1"},
        {F().Ref(0, 0).Ref(0, 1).Op(kFbSub).Build(), "A1-B1"}}},
      {"other strings", evExcel8,
       {{F().Str("ab").Build(), "\"ab\""}, {F().Str("cd").Build(), "\"cd\""}}},
      {"other array constants", evExcel8,
       {{F().Array(1, 1, {A::Num(1)}).Build(), "{1}"},
        {F().Array(1, 1, {A::Num(2)}).Build(), "{2}"}}},
      {"other spaces", evExcel8,
       {{F().Ref(0, 0).Space(0, 1).Ref(0, 1).Op(kFbAdd).Build(), "A1+ B1"},
        {F().Ref(0, 0).Space(0, 2).Ref(1, 1).Op(kFbAdd).Build(), "A1+  B2"}}},
      {"an assignment", evExcel4,
       {{F(evExcel4).Attr(0x20, 0).Str("a").Int(1).FuncVar(88, 2).Build(), "a=1"},
        {F(evExcel4).Attr(0x20, 0).Str("a").Int(2).FuncVar(88, 2).Build(), "a=2"},
        {F(evExcel4).Attr(0x20, 0).Str("b").Int(2).FuncVar(88, 2).Build(), "b=2"}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    const TFormulaContext context =
        c.Version >= evExcel8 ? Book8Context() : Book5Context(c.Version);
    TFormulaDecoder decoder(context);
    for (int round = 0; round < 2; ++round)
      for (const auto& [formula, text] : c.Formulas)
        EXPECT_EQ(Text(decoder, formula, {}), text);
  }
}

TEST(FormulaKeptExpressions, ReadTheSameTokensAsTheirKindSays)
{
  // A relative reference holds its cell in a cell formula and an offset
  // from the cell in a name.
  const TFormulaContext context = Book8Context();
  TFormulaDecoder decoder(context);
  const auto f = F().Ref(1, 1).Build();
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Text(decoder, f, {2, 2}, TFormulaKind::fkCell), "B2");
    EXPECT_EQ(Text(decoder, f, {2, 2}, TFormulaKind::fkName), "D4");
  }
}

TEST(FormulaKeptExpressions, ReadEverySharedFormulaFromItsCellWhenMoreComeInTurnThanAreKept)
{
  // Ten shared formulas side by side, each C(row)<op>B(row+1) with its own
  // operator, read row after row.
  const TFormulaContext context = Book8Context();
  TFormulaDecoder decoder(context);
  TSharedFormulaIndex masters;
  const std::uint8_t ops[] = {kFbAdd, kFbSub, kFbMul, kFbDiv, kFbPower,
                              kFbConcat, kFbLt, kFbLe, kFbEq, kFbGe};
  const char* symbols[] = {"+", "-", "*", "/", "^", "&", "<", "<=", "=", ">="};
  for (std::uint8_t i = 0; i < std::size(ops); ++i)
    ASSERT_TRUE(masters.AddSharedFormula(
        ShrFmla(0, 9, static_cast<std::uint8_t>(10 + i), static_cast<std::uint8_t>(10 + i),
                F().RefN(-1, 0).RefN(0, -1).Op(ops[i]).Build())));
  for (std::uint16_t row = 0; row < 3; ++row) {
    for (std::uint16_t i = 0; i < std::size(ops); ++i) {
      const auto column = static_cast<std::uint16_t>(10 + i);
      const auto cell = F().Exp(0, column).Build();
      const TFormulaResult r = decoder.DecodeCell(cell.Tokens, cell.Extra, {row, column}, masters);
      std::string expected;
      AppendCellReference(expected, row == 0 ? 65535 : row - 1u, column);
      expected += symbols[i];
      AppendCellReference(expected, row, column - 1u);
      EXPECT_EQ(r.Text, expected) << r.Error;
    }
  }
}

TEST(FormulaKeptExpressions, LeaveAListingOfEveryToken)
{
  const TFormulaContext context = Book8Context();
  TFormulaDecoder decoder(context);
  const auto f = F().Ref(4, 1).Int(7).Op(kFbAdd).Build();
  EXPECT_EQ(Text(decoder, f, {}), "B5+7");
  EXPECT_EQ(Text(decoder, f, {}), "B5+7");
  std::vector<TFormulaToken> listing;
  const TFormulaResult r = decoder.Decode(f.Tokens, f.Extra, {}, TFormulaKind::fkCell, &listing);
  EXPECT_EQ(r.Text, "B5+7");
  ASSERT_EQ(listing.size(), 3u);
  EXPECT_EQ(listing[0].Operand, "B5");
  EXPECT_EQ(listing[1].Operand, "7");
  EXPECT_EQ(listing[2].Name, "tAdd");
}

}  // namespace
