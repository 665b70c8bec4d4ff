// Token arrays of every class and version, built from the token layouts,
// against the text Excel's formula bar shows for them.

#include "FormulaTestSupport.h"

#include "xls/decode/BuiltInNames.h"
#include "xls/formula/FormulaMessages.h"
#include "xls/formula/FunctionTable.h"

#include <gtest/gtest.h>

namespace {

using enum TExcelVersion;
using F = TFormulaBuilder;
using A = TArrayValue;

constexpr std::uint16_t kFnIf = 1;
constexpr std::uint16_t kFnSum = 4;
constexpr std::uint16_t kFnAbs = 24;
constexpr std::uint16_t kFnVlookup = 102;
constexpr std::uint16_t kFnNow = 74;
constexpr std::uint16_t kFnActiveCell = 94;
constexpr std::uint16_t kFnChoose = 100;
constexpr std::uint16_t kFnSetName = 88;
constexpr std::uint16_t kCmdSaveAs = 0x05;
constexpr std::uint8_t kErrDiv0 = 0x07;
constexpr std::uint8_t kErrNa = 0x2A;

struct TCase {
  const char* What;
  TExcelVersion Version;
  TBuiltFormula Formula;
  const char* Text;
};

void Check(std::initializer_list<TCase> cases)
{
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    const TFormulaContext context =
        c.Version >= evExcel8 ? Book8Context() : Book5Context(c.Version);
    EXPECT_EQ(DecodeText(context, c.Formula, {9, 4}), c.Text);
  }
}

TEST(FormulaConstants, ReadAsExcelWritesThem)
{
  Check({
      {"tInt", evExcel8, F().Int(42).Build(), "42"},
      {"tNum", evExcel8, F().Num(0.14).Build(), "0.14"},
      {"tNum large", evExcel8, F().Num(1e20).Build(), "1E+20"},
      {"tNum negative", evExcel5, F(evExcel5).Num(-2.5).Build(), "-2.5"},
      {"tStr doubles its quotes", evExcel8, F().Str("say \"hi\"").Build(), "\"say \"\"hi\"\"\""},
      {"tStr UTF-16", evExcel8, F().Str("\xCE\xA9mega").Build(), "\"\xCE\xA9mega\""},
      {"tStr empty", evExcel8, F().Str("").Build(), "\"\""},
      {"tStr 8-bit before BIFF8", evExcel5, F(evExcel5).Str("\xE9t\xE9").Build(),
       "\"\xC3\xA9t\xC3\xA9\""},
      {"tBool", evExcel8, F().Bool(true).Build(), "TRUE"},
      {"tErr", evExcel8, F().Err(kErrDiv0).Build(), "#DIV/0!"},
      {"tMissArg", evExcel8, F().Ref(0, 0).MissArg().Ref(0, 1).FuncVar(kFnIf, 3).Build(),
       "IF(A1,,B1)"},
      {"tArray BIFF8", evExcel8,
       F().Array(2, 2, {A::Num(1), A::Num(2), A::Num(3), A::Num(4)}).Build(), "{1,2;3,4}"},
      {"tArray strings, booleans, errors", evExcel8,
       F().Array(4, 1, {A::Str("a\"b"), A::Str("\xCE\xA9"), A::Bool(true), A::Err(kErrNa)}).Build(),
       "{\"a\"\"b\",\"\xCE\xA9\",TRUE,#N/A}"},
      {"tArray BIFF5 counts", evExcel5,
       F(evExcel5).Array(1, 2, {A::Str("x"), A::Nil()}).Build(), "{\"x\";}"},
      {"tArray BIFF2 six unused bytes", evExcel2, F(evExcel2).Array(1, 1, {A::Num(7)}).Build(),
       "{7}"},
  });
}

TEST(FormulaOperators, KeepTheirOperandsAndBracketsWhereTheTokensNeedThem)
{
  Check({
      {"binary", evExcel8, F().Ref(0, 0).Ref(0, 1).Int(2).Op(kFbMul).Op(kFbAdd).Build(),
       "A1+B1*2"},
      {"tParen", evExcel8,
       F().Ref(0, 0).Ref(0, 1).Op(kFbAdd).Op(kFbParen).Int(2).Op(kFbMul).Build(), "(A1+B1)*2"},
      {"precedence without tParen", evExcel8,
       F().Ref(0, 0).Ref(0, 1).Op(kFbAdd).Int(2).Op(kFbMul).Build(), "(A1+B1)*2"},
      {"right operand of equal strength", evExcel8,
       F().Ref(0, 0).Ref(0, 1).Ref(0, 2).Op(kFbSub).Op(kFbSub).Build(), "A1-(B1-C1)"},
      {"left operand of equal strength", evExcel8,
       F().Ref(0, 0).Ref(0, 1).Op(kFbSub).Ref(0, 2).Op(kFbSub).Build(), "A1-B1-C1"},
      {"negation binds before power", evExcel8,
       F().Ref(0, 0).Op(kFbUminus).Int(2).Op(kFbPower).Build(), "-A1^2"},
      {"negated power", evExcel8, F().Ref(0, 0).Int(2).Op(kFbPower).Op(kFbUminus).Build(),
       "-(A1^2)"},
      {"unary plus and percent", evExcel8, F().Ref(0, 0).Op(kFbUplus).Op(kFbPercent).Build(),
       "+A1%"},
      {"concatenation and comparison", evExcel8,
       F().Ref(0, 0).Str("x").Op(kFbConcat).Ref(0, 1).Op(kFbNe).Build(), "A1&\"x\"<>B1"},
      {"all comparisons", evExcel8,
       F().Int(1).Int(2).Op(kFbLt).Int(3).Op(kFbLe).Int(4).Op(kFbEq).Int(5).Op(kFbGe).Int(6)
           .Op(kFbGt).Build(),
       "1<2<=3=4>=5>6"},
      {"division", evExcel8, F().Int(1).Int(7).Op(kFbDiv).Build(), "1/7"},
      {"range operator", evExcel8, F().Ref(0, 0).Ref(1, 1).Op(kFbRange).Build(), "A1:B2"},
      {"intersection", evExcel8,
       F().Area(0, 0, 1, 1).Area(0, 1, 2, 2).Op(kFbIsect).FuncVar(kFnSum, 1).Build(),
       "SUM(A1:B2 B1:C3)"},
      {"union as an argument", evExcel8,
       F().Ref(0, 0).Ref(0, 1).Op(kFbUnion).FuncVar(kFnSum, 1).Build(), "SUM((A1,B1))"},
      {"union alone (a name's areas)", evExcel8, F().Ref(0, 0).Ref(0, 1).Op(kFbUnion).Build(),
       "A1,B1"},
  });
}

TEST(FormulaReferences, ReadInEachFormAndVersion)
{
  Check({
      {"absolute parts", evExcel8,
       F().Ref(0, 0, false, false).Ref(0, 0, false, true).Op(kFbAdd).Ref(0, 0, true, false)
           .Op(kFbAdd).Build(),
       "$A$1+A$1+$A1"},
      {"BIFF5 flags in the row word", evExcel5,
       F(evExcel5).Ref(16383, 255, false, true).Build(), "IV$16384"},
      {"area", evExcel8, F().Area(0, 0, 1, 1, false).Build(), "$A$1:$B$2"},
      {"whole columns", evExcel8, F().AreaFlags(0, 0, 65535, 1, false, true).Build(), "A:B"},
      {"whole absolute columns", evExcel8, F().Area(0, 0, 65535, 1, false).Build(), "$A:$B"},
      {"all rows, relative", evExcel8, F().Area(0, 0, 65535, 1).Build(), "A:B"},
      {"whole rows", evExcel8, F().AreaFlags(0, 0, 2, 255, true, false).Build(), "1:3"},
      {"all columns, relative", evExcel8, F().Area(0, 0, 2, 255).Build(), "1:3"},
      {"whole rows of BIFF5", evExcel5, F(evExcel5).Area(0, 0, 1, 255, false).Build(), "$1:$2"},
      {"BIFF7 columns with the last row stored 0xFFFF", evExcel7,
       F(evExcel7).Area(0, 3, 16383, 4).Build(), "D:E"},
      {"whole columns of BIFF5", evExcel5, F(evExcel5).AreaFlags(0, 2, 16383, 2, false, true)
           .Build(), "C:C"},
      {"tRefN in a cell formula is an offset", evExcel8, F().RefN(-1, -1).Build(), "D9"},
      {"tRefErr", evExcel8, F().RefErr().Build(), "#REF!"},
      {"tAreaErr", evExcel5, F(evExcel5).AreaErr().Build(), "#REF!"},
      {"3D", evExcel8, F().Ref3d(kXtiSheet1, 0, 0).Build(), "Sheet1!A1"},
      {"3D quoted", evExcel8, F().Ref3d(kXtiMySheet, 1, 1, false).Build(), "'My Sheet'!$B$2"},
      {"3D sheet range", evExcel8, F().Area3d(kXtiSheet1ToData, 0, 0, 1, 0).Build(),
       "Sheet1:Data!A1:A2"},
      {"3D sheet range quoted whole", evExcel8, F().Ref3d(kXtiSheet1ToMySheet, 0, 0).Build(),
       "'Sheet1:My Sheet'!A1"},
      {"3D deleted sheet", evExcel8, F().Ref3d(kXtiDeleted, 0, 0).Build(), "#REF!A1"},
      {"3D deleted cell", evExcel8, F().RefErr3d(kXtiSheet1).Build(), "Sheet1!#REF!"},
      {"3D deleted cell on a deleted sheet", evExcel8, F().RefErr3d(kXtiDeleted).Build(),
       "#REF!#REF!"},
      {"external book with a path", evExcel8, F().Ref3d(kXtiExternalSheet, 0, 0).Build(),
       "'C:\\dir\\[Book2.xls]Prices'!A1"},
      {"external book alone", evExcel8, F().Ref3d(kXtiPlainBookSheet, 0, 0, false).Build(),
       "[Book3.xls]Sheet1!$A$1"},
      {"BIFF5 3D own book", evExcel5, F(evExcel5).Ref3d5(-kLinkOwnSheet, 2, 2, 0, 0).Build(),
       "Data!A1"},
      {"BIFF5 3D sheet range", evExcel7,
       F(evExcel7).Area3d5(-kLinkOwnSheet, 0, 2, 0, 0, 1, 1).Build(), "Sheet1:Data!$A$1:$B$2"},
      {"BIFF5 3D deleted sheet", evExcel5, F(evExcel5).Ref3d5(-kLinkOwnSheet, -1, -1, 0, 0).Build(),
       "#REF!A1"},
      {"BIFF5 3D external", evExcel5, F(evExcel5).Ref3d5(kLinkExternal, 0, 0, 0, 0).Build(),
       "[Book2.xls]Prices!A1"},
      {"book without a name: the sheet using the formula", evExcel8,
       F().Ref3d(kXtiNoBookName, 0, 2).Build(), "!C1"},
      {"BIFF5 book without a name", evExcel5, F(evExcel5).Ref3d5(kLinkNoBookName, 0, 0, 0, 0)
           .Build(), "!A1"},
      {"a byte no path rule explains is escaped", evExcel8,
       F().Ref3d(kXtiStrayControl, 0, 0).Build(), "'dir\\[Bo\\x1Fok.xls]S'!A1"},
      {"BIFF3 tSheet external", evExcel3,
       F(evExcel3).Sheet(kLinkExternal).Ref(0, 0).EndSheet().Ref(0, 1).Op(kFbAdd).Build(),
       "[Book2.xls]Prices!A1+B1"},
  });
}

TEST(FormulaNames, ReadThroughNameAndLinkTables)
{
  Check({
      {"tName", evExcel8, F().Name(kNameTotal).Build(), "Total"},
      {"built-in name of a sheet", evExcel8, F().Name(kNamePrintArea).Build(),
       "Sheet1!Print_Area"},
      {"BIFF2 tName", evExcel2, F(evExcel2).Name(kNameTotal).Build(), "Total"},
      {"BIFF4 tName", evExcel4, F(evExcel4).Name(kNameTotal).Build(), "Total"},
      {"tNameX of the own book", evExcel8, F().NameX(kXtiOwnBook, kNameTotal).Build(), "Total"},
      {"tNameX of a sheet", evExcel8, F().NameX(kXtiMySheet, kNameLocal).Build(),
       "'My Sheet'!Local"},
      {"tNameX of an add-in", evExcel8, F().NameX(kXtiAddIn, 1).Build(), "EUROCONVERT"},
      {"tNameX of another book", evExcel8, F().NameX(kXtiExternalBook, 1).Build(),
       "'C:\\dir\\Book2.xls'!ExtName"},
      {"tNameX of a DDE link", evExcel8, F().NameX(kXtiDde, 1).Build(),
       "Excel|'C:\\x.xls'!R1C1"},
      {"BIFF5 tNameX of the own book", evExcel5, F(evExcel5).NameX5(-1, kNameTotal).Build(),
       "Total"},
      {"BIFF5 tNameX of another book", evExcel5, F(evExcel5).NameX5(kLinkExternal, 1).Build(),
       "[Book2.xls]Prices!ExtName"},
      {"BIFF5 tNameX of an add-in", evExcel5, F(evExcel5).NameX5(kLinkAddIn, 1).Build(),
       "EUROCONVERT"},
      {"BIFF5 tNameX of a sheet's name through the own book", evExcel5,
       F(evExcel5).NameX5(kLinkOwnBook, kNameLocal).Build(), "'My Sheet'!Local"},
      {"BIFF7 tNameX of a sheet's name", evExcel7, F(evExcel7).NameX5(-1, kNameLocal).Build(),
       "'My Sheet'!Local"},
      {"user-defined call", evExcel8,
       F().NameX(kXtiAddIn, 1).Int(1).FuncVar(kUserDefinedFunction, 2).Build(),
       "EUROCONVERT(1)"},
      {"Excel 2007 function under its stored name", evExcel8,
       F().Name(kNameFutureFunction).Ref(0, 0).Int(0).FuncVar(kUserDefinedFunction, 3).Build(),
       "_xlfn.IFERROR(A1,0)"},
  });
}

TEST(FormulaFunctions, ReadWithTheirArgumentsInEachVersion)
{
  Check({
      {"tFunc", evExcel8, F().Ref(0, 0).Func(kFnAbs).Build(), "ABS(A1)"},
      {"tFuncVar", evExcel8, F().Ref(0, 0).Ref(0, 1).FuncVar(kFnSum, 2).Build(), "SUM(A1,B1)"},
      {"no arguments", evExcel8, F().Func(kFnNow).Build(), "NOW()"},
      {"BIFF3 one-byte numbers", evExcel3, F(evExcel3).Ref(0, 0).Func(kFnAbs).Ref(0, 1)
           .FuncVar(kFnSum, 2).Build(), "SUM(ABS(A1),B1)"},
      {"BIFF2 VLOOKUP with three fixed arguments", evExcel2,
       F(evExcel2).Int(1).Area(0, 0, 9, 1).Int(2).Func(kFnVlookup).Build(),
       "VLOOKUP(1,A1:B10,2)"},
      {"macro-sheet function", evExcel8, F().Func(kFnActiveCell).Build(), "ACTIVE.CELL()"},
      {"command with its dialog", evExcel8, F().Str("x").FuncVar(kCmdSaveAs, 1, true, true).Build(),
       "SAVE.AS?(\"x\")"},
      {"BIFF3 tFuncCE", evExcel3, F(evExcel3).Str("x").FuncCE(kCmdSaveAs, 1).Build(),
       "SAVE.AS(\"x\")"},
      {"tAttrSum", evExcel8, F().Area(0, 0, 2, 0).AttrSum().Build(), "SUM(A1:A3)"},
      {"IF with tAttrIf and tAttrSkip", evExcel8,
       F().Ref(0, 0).AttrIf(7).Ref(0, 1).AttrSkip(10).Ref(0, 2).AttrSkip(3).FuncVar(kFnIf, 3)
           .Build(),
       "IF(A1,B1,C1)"},
      {"CHOOSE with its jump table", evExcel8,
       F().Int(2).AttrChoose(2).Int(1).AttrSkip(1).Int(2).AttrSkip(1).FuncVar(kFnChoose, 3)
           .Build(),
       "CHOOSE(2,1,2)"},
      {"BIFF2 CHOOSE one-byte jump table", evExcel2,
       F(evExcel2).Int(2).AttrChoose(2).Int(1).Int(2).FuncVar(kFnChoose, 3).Build(),
       "CHOOSE(2,1,2)"},
      {"tAttrVolatile", evExcel8, F().Volatile().Func(kFnNow).Build(), "NOW()"},
      {"assignment in a macro sheet", evExcel4,
       F(evExcel4).Attr(0x20, 0).Str("myname").Int(1).FuncVar(kFnSetName, 2).Build(),
       "myname=1"},
  });
}

TEST(FormulaSpaces, StandWhereTheTokensPutThem)
{
  Check({
      {"around an operator", evExcel8,
       F().Ref(0, 0).Space(0, 1).Ref(0, 1).Space(0, 1).Op(kFbAdd).Build(), "A1 + B1"},
      {"line break", evExcel8, F().Ref(0, 0).Space(1, 1).Ref(0, 1).Op(kFbAdd).Build(),
       "A1+\nB1"},
      {"before and inside brackets", evExcel8,
       F().Ref(0, 0).Space(2, 1).Space(4, 2).Op(kFbParen).Build(), " (A1  )"},
      {"before a function and its closing bracket", evExcel8,
       F().Ref(0, 0).Space(0, 1).Space(4, 1).FuncVar(kFnSum, 1).Build(), " SUM(A1 )"},
      {"before an argument after tAttrIf", evExcel8,
       F().Ref(0, 0).AttrIf(7).Space(0, 1).Ref(0, 1).AttrSkip(3).FuncVar(kFnIf, 2).Build(),
       "IF(A1, B1)"},
  });
}

TEST(FormulaSubexpressions, MemTokensMarkWithoutChangingTheText)
{
  Check({
      {"tMemFunc", evExcel8, F().MemFunc(9).Area(0, 0, 1, 1).FuncVar(kFnSum, 1).Build(),
       "SUM(A1:B2)"},
      {"tMemArea data before an array's", evExcel8,
       F().MemArea(9, {0, 1}).Area(0, 0, 1, 1).Array(1, 1, {A::Num(5)}).FuncVar(kFnSum, 2)
           .Build(),
       "SUM(A1:B2,{5})"},
      {"BIFF2 tMemArea", evExcel2,
       F(evExcel2).MemArea(7, {0}).Area(0, 0, 1, 1).Array(1, 1, {A::Num(5)})
           .FuncVar(kFnSum, 2).Build(),
       "SUM(A1:B2,{5})"},
  });
}

TEST(FormulaNameDefinitions, ReadRelativePartsAsOffsetsFromTheGivenCell)
{
  const TFormulaContext context = Book8Context();
  // A name defined as Sheet1!A1 (relative) while B2 was active: offsets -1, -1.
  const auto f = F().Ref3d(kXtiSheet1, 0xFFFF, 0xFF).Build();
  EXPECT_EQ(DecodeText(context, f, {0, 0}, TFormulaKind::fkName), "Sheet1!IV65536");
  EXPECT_EQ(DecodeText(context, f, {1, 1}, TFormulaKind::fkName), "Sheet1!A1");
  const auto absolute = F().Area3d(kXtiSheet1, 0, 0, 9, 0, false).Build();
  EXPECT_EQ(DecodeText(context, absolute, {5, 5}, TFormulaKind::fkName), "Sheet1!$A$1:$A$10");
}

TEST(FormulaLinks, SpellOutTheEncodedPathOfALinkedBook)
{
  struct TCase {
    std::string Path;
    std::string Text;
  };
  const std::string longVolume(130, 'x');
  const TCase cases[] = {
      {"\x01" "B.xls", "[B.xls]Prices!A1"},
      {"B.xls", "[B.xls]Prices!A1"},
      {"\x01\x01" "Ddir\x03" "B.xls", "'D:\\dir\\[B.xls]Prices'!A1"},
      {"\x01\x01@srv\x03share\x03" "B.xls", "'\\\\srv\\share\\[B.xls]Prices'!A1"},
      {"\x01\x02" "dir\x03" "B.xls", "'\\dir\\[B.xls]Prices'!A1"},
      {"\x01\x04\x04" "B.xls", "'..\\..\\[B.xls]Prices'!A1"},
      {"\x01\x06" "B.xls", "[B.xls]Prices!A1"},
      {"\x01\x05\x0A" "http://a.b\x03" "B.xls", "'http://a.b\\[B.xls]Prices'!A1"},
      // A count of 130 characters, two bytes once decoded to UTF-8.
      {"\x01\x05\xC2\x82" + longVolume + "\x03" "B.xls",
       "'" + longVolume + "\\[B.xls]Prices'!A1"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TFormulaContext context = Book8Context();
    context.SupBooks[2].Path = c.Path;
    EXPECT_EQ(DecodeText(context, F().Ref3d(kXtiExternalSheet, 0, 0).Build()), c.Text);
  }
}

TEST(FormulaFailures, NameTheTokenAndItsByte)
{
  Check({
      {"unknown token", evExcel8, F().Int(1).Raw({0x00}).Build(),
       "error: Unknown formula token 0x00 at byte 3"},
      {"classed token past 0x7F", evExcel8, F().Raw({0x84}).Build(),
       "error: Unknown formula token 0x84 at byte 0"},
      {"3D token before BIFF5", evExcel4, F().Raw({0x3A, 0, 0, 0, 0, 0, 0}).Build(),
       "error: Unknown formula token 0x3A at byte 0"},
      {"cut short", evExcel8, F().Raw({0x44, 0x01, 0x00}).Build(),
       "error: Formula is cut short in token tRefV at byte 0"},
      {"missing operand", evExcel8, F().Int(1).Op(kFbAdd).Build(),
       "error: Formula token tAdd at byte 3 has too few operands"},
      {"two expressions", evExcel8, F().Int(1).Int(2).Build(),
       "error: Formula tokens form 2 expressions instead of one"},
      {"unknown function", evExcel8, F().Func(0x200).Build(),
       "error: Unknown function number 512 at byte 0"},
      {"variable function in tFunc", evExcel8, F().Func(kFnSum).Build(),
       "error: Function SUM at byte 0 takes a variable number of arguments"},
      {"unknown command", evExcel8, F().FuncVar(0x7FF, 0, true).Build(),
       "error: Unknown command number 2047 at byte 0"},
      {"name not defined", evExcel8, F().Name(99).Build(),
       "error: Name number 99 at byte 0 is not defined"},
      {"external name not defined", evExcel8, F().NameX(kXtiAddIn, 2).Build(),
       "error: External name number 2 at byte 0 is not defined"},
      {"XTI not defined", evExcel8, F().Ref3d(99, 0, 0).Build(),
       "error: External sheet number 99 at byte 0 is not defined"},
      {"unknown error code", evExcel8, F().Err(0x99).Build(),
       "error: Unknown error code 0x99 at byte 0"},
      {"array data missing", evExcel8, F().Raw({0x60, 0, 0, 0, 0, 0, 0, 0}).Build(),
       "error: Constant data for token tArrayA at byte 0 is missing or cut short"},
      {"tExp outside a cell", evExcel8, F().Exp(2, 1).Build(),
       "error: Token tExp at byte 0 refers to a formula of the sheet (B3)"},
      {"BIFF8 tExtended", evExcel8, F().Raw({0x18, 0x01, 0, 0, 0, 0}).Build(),
       "error: Formula token tExtended at byte 0 is not supported"},
  });
}

TEST(FormulaListing, GivesEveryTokenWithItsBytesAndOperand)
{
  const TFormulaContext context = Book8Context();
  TFormulaDecoder decoder(context);
  // SUM(Sheet1!A1, {1}) preceded by a space.
  const auto f = F().Ref3d(kXtiSheet1, 0, 0).Array(1, 1, {A::Num(1)}).Space(0, 2)
                     .FuncVar(kFnSum, 2).Build();
  std::vector<TFormulaToken> listing;
  const TFormulaResult r = decoder.Decode(f.Tokens, f.Extra, {}, TFormulaKind::fkCell, &listing);
  ASSERT_TRUE(r.Ok()) << r.Error;
  EXPECT_EQ(r.Text, "  SUM(Sheet1!A1,{1})");
  struct TRow {
    std::size_t Offset, Size;
    std::string_view Name, Operand;
  };
  const std::vector<TRow> expected = {
      {0, 7, "tRef3dV", "Sheet1!A1"},
      {7, 8, "tArrayA", "{1}"},
      {f.Tokens.size(), 12, "array data", "1 column, 1 row"},
      {15, 4, "tAttrSpace", "2 spaces"},
      {19, 4, "tFuncVarV", "SUM, 2 arguments"},
  };
  ASSERT_EQ(listing.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(listing[i].Offset, expected[i].Offset);
    EXPECT_EQ(listing[i].Size, expected[i].Size);
    EXPECT_EQ(listing[i].Name, expected[i].Name);
    EXPECT_EQ(listing[i].Operand, expected[i].Operand);
  }
}

TEST(FormulaListing, EndsWithTheTokenThatFailed)
{
  const TFormulaContext context = Book8Context();
  TFormulaDecoder decoder(context);
  const auto f = F().Int(1).Raw({0x44, 0x01}).Build();
  std::vector<TFormulaToken> listing;
  const TFormulaResult r = decoder.Decode(f.Tokens, f.Extra, {}, TFormulaKind::fkCell, &listing);
  EXPECT_EQ(r.Error, "Formula is cut short in token tRefV at byte 3");
  ASSERT_EQ(listing.size(), 2u);
  EXPECT_EQ(listing[1].Offset, 3u);
  EXPECT_EQ(listing[1].Size, 2u);
}

TEST(FormulaDecoderReuse, GivesTheSameTextOnEveryCall)
{
  const TFormulaContext context = Book8Context();
  TFormulaDecoder decoder(context);
  const auto first = F().Ref(0, 0).Ref(0, 1).Op(kFbAdd).Build();
  const auto failing = F().Op(kFbAdd).Build();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(decoder.Decode(first.Tokens, first.Extra, {}).Text, "A1+B1");
    EXPECT_FALSE(decoder.Decode(failing.Tokens, failing.Extra, {}).Ok());
  }
}

TEST(BuiltInName, IsSpelledOutByItsCode)
{
  EXPECT_EQ(BuiltInName(0x06), "Print_Area");
  EXPECT_EQ(BuiltInName(0x0D), "_FilterDatabase");
  EXPECT_EQ(BuiltInName(0x0E), "");
}

TEST(FormulaDecoder, GivesAnEmptyTextForNoTokens)
{
  const TFormulaResult r = TFormulaDecoder(Book8Context()).Decode({}, {}, {});
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(r.Text, "");
}

}  // namespace
