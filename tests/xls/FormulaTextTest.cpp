// The pieces of formula text: numbers, sheet names, columns, messages, and
// the function tables they are looked up in.

#include "xls/formula/FormulaMessages.h"
#include "xls/decode/FormulaText.h"
#include "xls/formula/FunctionTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(FormulaNumberText, FollowsExcelsDigitsAndNotation)
{
  struct TCase {
    double Value;
    const char* Text;
  };
  for (const TCase& c : {
           TCase{0, "0"},
           TCase{-0.0, "0"},
           TCase{1, "1"},
           TCase{-1.5, "-1.5"},
           TCase{0.1, "0.1"},
           TCase{0.14, "0.14"},
           TCase{256407, "256407"},
           TCase{1.0 / 3, "0.333333333333333"},
           TCase{2.0 / 3, "0.666666666666667"},
           TCase{0.1 + 0.2, "0.3"},
           TCase{123456789012345678.0, "123456789012346000"},
           TCase{1e19, "10000000000000000000"},
           TCase{1e20, "1E+20"},
           TCase{1.5e300, "1.5E+300"},
           TCase{0.0001, "0.0001"},
           TCase{1e-10, "0.0000000001"},
           TCase{1.5e-17, "0.000000000000000015"},
           TCase{1.5e-18, "1.5E-18"},
           TCase{1.23456789012345e-10, "1.23456789012345E-10"},
           TCase{9.9999999999999995, "10"},
           TCase{std::numeric_limits<double>::infinity(), "#NUM!"},
           TCase{std::nan(""), "#NUM!"},
       }) {
    SCOPED_TRACE(c.Text);
    std::string out;
    AppendFormulaNumber(out, c.Value);
    EXPECT_EQ(out, c.Text);
  }
}

TEST(FormulaSheetName, IsQuotedWhereExcelQuotesIt)
{
  struct TCase {
    const char* Name;
    const char* Text;
  };
  for (const TCase& c : {
           TCase{"Sheet1", "Sheet1"},
           TCase{"Data_2.old", "Data_2.old"},
           TCase{"\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82" "1", "\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82" "1"},
           TCase{"My Sheet", "'My Sheet'"},
           TCase{"O'Reilly", "'O''Reilly'"},
           TCase{"1Sheet", "'1Sheet'"},
           TCase{"2019", "'2019'"},
           TCase{"A1", "'A1'"},
           TCase{"ab12", "'ab12'"},
           TCase{"IV65536", "'IV65536'"},
           TCase{"IW1", "IW1"},
           TCase{"A65537", "A65537"},
           TCase{"Jan2010", "Jan2010"},
           TCase{"Q1", "'Q1'"},
           TCase{"R1C1", "'R1C1'"},
           TCase{"rc", "'rc'"},
           TCase{"R", "'R'"},
           TCase{"C12", "'C12'"},
           TCase{"RCX", "RCX"},
           TCase{"True", "'True'"},
           TCase{"Sheet-1", "'Sheet-1'"},
           TCase{"", "''"},
       }) {
    SCOPED_TRACE(c.Name);
    std::string out;
    AppendSheetName(out, c.Name);
    EXPECT_EQ(out, c.Text);
  }
}

TEST(FormulaCellName, SpellsColumnsAndAbsoluteParts)
{
  EXPECT_EQ(CellName(0, 0), "A1");
  EXPECT_EQ(CellName(65535, 25), "Z65536");
  EXPECT_EQ(CellName(0, 26), "AA1");
  EXPECT_EQ(CellName(0, 255), "IV1");
  EXPECT_EQ(CellName(0, 16383), "XFD1");
  std::string out;
  AppendCellReference(out, 4, 2, false, true);
  AppendCellReference(out, 4, 2, true, false);
  EXPECT_EQ(out, "C$5$C5");
}

TEST(FormulaCellName, WritesNoMoreThanItsBoundsSay)
{
  struct TCase {
    std::string Text;
    std::size_t Bound;
  };
  char buffer[64];
  auto written = [&](char* end) { return std::string(buffer, end); };
  for (const TCase& c : {
           TCase{written(WriteColumnName(buffer, 0xFFFFFFFE)), kLongestColumnName},
           TCase{written(WriteWholeNumber(buffer, 0xFFFFFFFFFFFFFFFF)), kLongestWholeNumber},
           TCase{written(WriteCellReference(buffer, 0xFFFFFFFF, 0xFFFFFFFE, false, false)),
                 kLongestCellReference},
       }) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(c.Text.size(), c.Bound);
  }
  EXPECT_EQ(written(WriteColumnName(buffer, 0xFFFFFFFE)), "MWLQKWU");
  EXPECT_EQ(written(WriteWholeNumber(buffer, 0xFFFFFFFFFFFFFFFF)), "18446744073709551615");
  EXPECT_EQ(written(WriteWholeNumber(buffer, 99999)), "99999");
  EXPECT_EQ(written(WriteWholeNumber(buffer, 100000)), "100000");
  EXPECT_EQ(written(WriteCellReference(buffer, 65535, 701)), "ZZ65536");
  EXPECT_EQ(written(WriteCellReference(buffer, 0, 702)), "AAA1");
}

TEST(FormulaMessageFormat, FillsEachPlaceInOrder)
{
  EXPECT_EQ(FormatFormulaMessage(kMsgFormulaTruncated, {"tRefV", "12"}),
            "Formula is cut short in token tRefV at byte 12");
  EXPECT_EQ(FormatFormulaMessage("%s and %s", {"one"}), "one and %s");
  EXPECT_EQ(FormatFormulaMessage("100%", {"spare"}), "100%");
}

TEST(FunctionTables, AreSortedWithoutRepeatsForTheirBinarySearch)
{
  for (const auto table : {SheetFunctions(), MacroCommands()}) {
    for (std::size_t i = 1; i < table.size(); ++i)
      EXPECT_LT(table[i - 1].Index, table[i].Index) << table[i].Name;
    for (const TFunctionInfo& f : table) {
      EXPECT_NE(f.Name, nullptr);
      EXPECT_GE(f.FixedArguments, kVariableArguments);
    }
  }
  EXPECT_STREQ(FindSheetFunction(4)->Name, "SUM");
  EXPECT_STREQ(FindSheetFunction(379)->Name, "RTD");
  EXPECT_EQ(FindSheetFunction(380), nullptr);
  EXPECT_EQ(FindSheetFunction(202), nullptr);
  EXPECT_STREQ(FindMacroCommand(0)->Name, "BEEP");
  EXPECT_STREQ(FindMacroCommand(0x1E2)->Name, "MAIL.SEND.MAILER");
}

}  // namespace
