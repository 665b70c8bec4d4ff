// Cell records of every kind and the sheet records that size a sheet:
// DIMENSIONS, COLINFO/COLWIDTH, ROW.

#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"

#include <tuple>

namespace {

using enum TExcelVersion;

constexpr std::uint16_t kRkOld = 0x007E;

/// Globals with XF 0 (General) and XF 1 (format 14, "m/d/yy").
void DateXfs(TBiffBuilder& b)
{
  b.Xf(0).Xf(14);
}

TEST(DecodeRk, ValuesOfTheFormat)
{
  struct TCase {
    std::uint32_t Rk;
    double Value;
  };
  for (const TCase c : {TCase{0xFFFFFFFE, -1},          // integer, all ones
                        TCase{6, 1},                   // integer 1
                        TCase{7, 0.01},                // integer 1, divided by 100
                        TCase{0x3FF80001, 0.015},      // upper half of 1.5, divided by 100
                        TCase{0x3FF80000, 1.5},
                        TCase{0x40590001, 1},          // 100.0 / 100
                        TCase{0xFFFFFFEF, -0.05},      // integer -5, divided by 100
                        TCase{0x7FFFFFFE, 536870911},  // largest integer
                        TCase{0x80000002, -536870912},
                        TCase{0, 0}}) {
    SCOPED_TRACE(c.Rk);
    EXPECT_EQ(DecodeRk(c.Rk), c.Value);
  }
}

TEST(RkCell, BothCodesGiveATypedNumber)
{
  TLoad load(Book8(DateXfs, [](TBiffBuilder& b) {
    b.Rk(0, 0, 0, 7).Rk(0, 1, 1, 0x40E00000 /* 32768.0 */).Record(kRkOld, TBytes().U16(1).U16(0).U16(0).U32(6));
  }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(0.01));
  EXPECT_EQ(load.Cell(0, 0, 1), TVariant::Date(32768));
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant(1.0));
}

TEST(MulRk, EachCellHasItsOwnXfInConsecutiveColumns)
{
  TLoad load(Book8(DateXfs, [](TBiffBuilder& b) { b.MulRk(3, 4, {{0, 6}, {1, 0x40E00000}, {0, 7}}); }),
             [](TLoad& l) { l.RecordCells(); });
  ASSERT_EQ(load.Records[6].Length, 24);
  EXPECT_EQ(load.Cells, (std::vector<TReportedCell>{{0, 3, 4, TVariant(1.0)},
                                                    {0, 3, 5, TVariant::Date(32768)},
                                                    {0, 3, 6, TVariant(0.01)}}));
}

TEST(MulRk, CountIsTheWholeSixBytePairsAfterTheFirstSix)
{
  // 23 bytes: two whole cells, a stray byte.
  const auto data = TBytes().U16(0).U16(0).U16(0).U32(6).U16(0).U32(10).Zeros(5);
  TLoad load(Book8({}, [&](TBiffBuilder& b) { b.Record(kRecMulRk, data); }), [](TLoad& l) { l.RecordCells(); });
  EXPECT_EQ(load.Cells, (std::vector<TReportedCell>{{0, 0, 0, TVariant(1.0)}, {0, 0, 1, TVariant(2.0)}}));
}

TEST(MulBlank, FourteenBytesAreFourNullCells)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.MulBlank(2, 1, 4); }), [](TLoad& l) { l.RecordCells(); });
  ASSERT_EQ(load.Records[4].Length, 14);
  EXPECT_EQ(load.Cells, (std::vector<TReportedCell>{{0, 2, 1, TVariant::Null()},
                                                    {0, 2, 2, TVariant::Null()},
                                                    {0, 2, 3, TVariant::Null()},
                                                    {0, 2, 4, TVariant::Null()}}));
}

TEST(MulBlank, StoresNothingInTheModel)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.Number(0, 0, 0, 1).MulBlank(2, 1, 4); }));
  EXPECT_EQ(load.Reader.Sheets().Items(0).Cells.Count(), 1u);
}

TEST(NumberCell, DateRuleTypesTheValue)
{
  TLoad load(Book8(DateXfs, [](TBiffBuilder& b) { b.Number(0, 0, 0, 40000.5).Number(0, 1, 1, 40000.5); }));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(40000.5));
  EXPECT_EQ(load.Cell(0, 0, 1), TVariant::Date(40000.5));
}

TEST(LabelCell, Biff8TextIsEightBitOrUtf16ByItsOptionByte)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) {
    b.Label(0, 0, 0, "caf\xE9").Label(0, 1, 0, "\xE2\x82\xAC" "5", true).Label(0, 2, 0, "");
  }));
  EXPECT_EQ(load.Cell(0, 0, 0), Text("caf\xC3\xA9"));
  EXPECT_EQ(load.Cell(0, 0, 1), Text("\xE2\x82\xAC" "5"));
  EXPECT_EQ(load.Cell(0, 0, 2), Text(""));
}

TEST(LabelCell, TextLongerThanTheRecordIsCutAtTheRecordEnd)
{
  // Claims 10 characters, holds 3.
  const auto data = TBytes().U16(0).U16(0).U16(0).U16(10).U8(0).Ascii("abc");
  TLoad load(Book8({}, [&](TBiffBuilder& b) { b.Record(kRecLabel, data).Number(1, 0, 0, 2); }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), Text("abc"));
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant(2.0));
}

TEST(LabelCell, CellsOfOneTextShareItsBlockHoweverManyTextsTheLoadHas)
{
  // More distinct texts than are kept for sharing, then texts met before:
  // every cell keeps its own value whether or not it shares.
  const int distinct = (1 << 16) + 100;
  const auto label = [](int k) { return std::to_string(k).append("t"); };
  TLoad load(Book5({}, [&](TBiffBuilder& b) {
    b.Label(20000, 2, 0, std::string(255, 'L')).Label(20000, 3, 0, std::string(255, 'L'));
    for (int k = 0; k < distinct; ++k)
      b.Label(static_cast<std::uint16_t>(k / 4), static_cast<std::uint16_t>(k % 4), 0, label(k));
    b.Label(20000, 0, 0, label(7)).Label(20000, 1, 0, label(distinct - 1));
  }));
  ASSERT_EQ(load.Error, "");
  for (int k = 0; k < distinct; k += 997)
    ASSERT_EQ(load.Cell(0, k / 4, k % 4), TVariant(label(k))) << k;
  const TSpreadSheetCells& cells = load.Reader.Sheets().Items(0).Cells;
  EXPECT_EQ(&cells.FindCell(0, 20000)->Value.AsString(), &cells.FindCell(3, 1)->Value.AsString());
  EXPECT_EQ(load.Cell(0, 20000, 1), TVariant(label(distinct - 1)));
  EXPECT_EQ(&cells.FindCell(2, 20000)->Value.AsString(), &cells.FindCell(3, 20000)->Value.AsString());
  EXPECT_EQ(load.Cell(0, 20000, 3), TVariant(std::string(255, 'L')));
}

TEST(LabelCell, SharedTextsOutliveTheTableGrowingAndTheReader)
{
  // The first text is taken before a thousand others grow the table; labels
  // and shared strings take turns in one sheet; a value copied out of the
  // model outlives the reader, and a second load leaves the copy alone.
  const std::string first(40, 'f');
  auto load = std::make_unique<TLoad>(
      Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String(std::string(30, 's'))); },
            [&](TBiffBuilder& b) {
              b.Label(0, 0, 0, first);
              for (std::uint16_t k = 1; k <= 1000; ++k)
                b.Label(k, 0, 0, "label " + std::to_string(k)).LabelSst(k, 1, 0, 0);
              b.Label(1001, 0, 0, first);
            }));
  ASSERT_EQ(load->Error, "");
  EXPECT_EQ(load->Cell(0, 0, 0), TVariant(first));
  EXPECT_EQ(load->Cell(0, 1001, 0), TVariant(first));
  EXPECT_EQ(load->Cell(0, 500, 0), Text("label 500"));
  EXPECT_EQ(load->Cell(0, 1000, 1), TVariant(std::string(30, 's')));
  const TVariant kept = load->Cell(0, 0, 0);
  load->Run(Book8({}, [](TBiffBuilder& b) { b.Label(0, 0, 0, "other"); }));
  EXPECT_EQ(load->Cell(0, 0, 0), Text("other"));
  EXPECT_EQ(kept.AsString(), first);
  const TVariant second = load->Cell(0, 0, 0);
  load.reset();
  EXPECT_EQ(kept.AsString(), first);
  EXPECT_EQ(second.AsString(), "other");
}

TEST(RStringCell, IsReadAsALabelWithItsRunsIgnored)
{
  const auto biff8 = TBytes().U16(0).U16(0).U16(0).U16(3).U8(1).Utf16("\xCE\xB1" "bc").U16(1).U16(0).U16(1);
  const auto biff5 = TBytes().U16(0).U16(0).U16(0).U16(3).Ascii("xyz").U8(1).U8(0).U8(1);
  TLoad load8(Book8({}, [&](TBiffBuilder& b) { b.Record(kRecRString, biff8); }));
  TLoad load5(Book5({}, [&](TBiffBuilder& b) { b.Record(kRecRString, biff5); }));
  EXPECT_EQ(load8.Cell(0, 0, 0), Text("\xCE\xB1" "bc"));
  EXPECT_EQ(load5.Cell(0, 0, 0), Text("xyz"));
}

TEST(BoolErrCell, BooleanOrErrorTextByTheErrorFlag)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) {
    b.BoolErr(0, 0, 0, 1, false).BoolErr(0, 1, 0, 0, false).BoolErr(0, 2, 0, 0x17, true).BoolErr(0, 3, 0, 43, true);
  }));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(true));
  EXPECT_EQ(load.Cell(0, 0, 1), TVariant(false));
  EXPECT_EQ(load.Cell(0, 0, 2), Text("#REF!"));
  EXPECT_EQ(load.Cell(0, 0, 3), Text("Unknown error code 43"));
}

TEST(BoolErrCell, CellsOfOneErrorShareOneTextThatOutlivesTheReader)
{
  // BOOLERR cells and formula results with the same code share one text,
  // between shared-string cells too; the texts stay right across loads (of
  // another version) and after the reader is gone.
  const auto book = Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("shared")); },
                          [](TBiffBuilder& b) {
    b.BoolErr(0, 0, 0, 0x07, true).FormulaSpecial(1, 0, 0, 2, 0x07).BoolErr(2, 0, 0, 0xC8, true);
    b.BoolErr(3, 0, 0, 0x2A, true).LabelSst(4, 0, 0, 0).BoolErr(5, 0, 0, 0x07, true);
  });
  auto load = std::make_unique<TLoad>(book);
  ASSERT_EQ(load->Error, "");
  const TSpreadSheetCells& cells = load->Reader.Sheets().Items(0).Cells;
  EXPECT_EQ(load->Cell(0, 0, 0), Text("#DIV/0!"));
  EXPECT_EQ(&cells.FindCell(0, 0)->Value.AsString(), &cells.FindCell(0, 1)->Value.AsString());
  EXPECT_EQ(&cells.FindCell(0, 0)->Value.AsString(), &cells.FindCell(0, 5)->Value.AsString());
  EXPECT_EQ(load->Cell(0, 2, 0), Text("Unknown error code 200"));
  EXPECT_EQ(load->Cell(0, 3, 0), Text("#N/A"));
  EXPECT_EQ(load->Cell(0, 4, 0), Text("shared"));
  const TVariant kept = load->Cell(0, 0, 0);
  load->Run(Book5({}, [](TBiffBuilder& b) { b.BoolErr(0, 0, 0, 0x2A, true).BoolErr(0, 1, 0, 0x07, true); }));
  EXPECT_EQ(load->Cell(0, 0, 0), Text("#N/A"));
  EXPECT_EQ(load->Cell(0, 0, 1), Text("#DIV/0!"));
  load.reset();
  EXPECT_EQ(kept.AsString(), "#DIV/0!");
}

TEST(FormulaCell, NumberResultIsTypedByTheDateRule)
{
  TLoad load(Book8(DateXfs, [](TBiffBuilder& b) { b.FormulaNumber(0, 0, 0, 2.5).FormulaNumber(0, 1, 1, 2.5); }));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(2.5));
  EXPECT_EQ(load.Cell(0, 0, 1), TVariant::Date(2.5));
}

TEST(FormulaCell, SpecialResults)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) {
    b.FormulaSpecial(0, 0, 0, 1, 1)
        .FormulaSpecial(0, 1, 0, 1, 0)
        .FormulaSpecial(0, 2, 0, 1, 2)  // true only for 1
        .FormulaSpecial(0, 3, 0, 2, 0x07)
        .FormulaSpecial(0, 4, 0, 2, 0x2A)
        .FormulaSpecial(0, 5, 0, 3)  // empty text
        .FormulaSpecial(0, 6, 0, 4)  // no such result
        .Number(1, 0, 0, 1);
  }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(true));
  EXPECT_EQ(load.Cell(0, 0, 1), TVariant(false));
  EXPECT_EQ(load.Cell(0, 0, 2), TVariant(false));
  EXPECT_EQ(load.Cell(0, 0, 3), Text("#DIV/0!"));
  EXPECT_EQ(load.Cell(0, 0, 4), Text("#N/A"));
  // Reported as the empty text: the cached value would otherwise be lost.
  EXPECT_EQ(load.Cell(0, 0, 5), Text(""));
  EXPECT_EQ(load.Cell(0, 0, 6), TVariant::Null());
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant(1.0));
}

TEST(FormulaCell, TextResultComesFromTheFollowingString)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) {
    b.FormulaSpecial(0, 0, 0, 0).String("plain").FormulaSpecial(0, 1, 0, 0).String("\xD0\xAF", true);
  }));
  EXPECT_EQ(load.Cell(0, 0, 0), Text("plain"));
  EXPECT_EQ(load.Cell(0, 0, 1), Text("\xD0\xAF"));
}

TEST(FormulaCell, ALongTextResultGoesOnInContinueRecords)
{
  // STRING holding 3 of 8 characters; the rest follows in two CONTINUE
  // records, the first switching to UTF-16, the second back to 8-bit.
  TLoad load(Book8({}, [](TBiffBuilder& b) {
    b.FormulaSpecial(0, 0, 0, 0)
        .Record(kRecString, TBytes().U16(8).U8(0).Ascii("abc"))
        .Record(kRecContinue, TBytes().U8(1).Utf16("d\xD0\xAF"))
        .Record(kRecContinue, TBytes().U8(0).Ascii("efg"))
        .Number(1, 0, 0, 2);
  }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), Text("abcd\xD0\xAF" "efg"));
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant(2.0));
}

TEST(FormulaCell, ALongTextResultWithoutItsContinueKeepsWhatThereIs)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) {
    b.FormulaSpecial(0, 0, 0, 0)
        .Record(kRecString, TBytes().U16(8).U8(0).Ascii("abc"))
        .Number(1, 0, 0, 2);
  }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), Text("abc"));
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant(2.0));  // the next record is still read
}

TEST(FormulaCell, SharedArrayAndTableRecordsBeforeTheStringArePassedOver)
{
  const auto shrfmla = TBytes().U16(0).U16(0).U8(0).U8(0).U16(0).U16(0);
  const auto array = TBytes().U16(0).U16(0).U8(0).U8(0).U16(0).U32(0).U16(0);
  const auto table = TBytes().U16(0).U16(0).U8(0).U8(0).U16(0).U16(0).U16(0).U16(0);
  struct TCase {
    const char* Name;
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> Between;
  };
  const TCase cases[] = {{"SHRFMLA", {{kRecSharedFormula, shrfmla}}},
                         {"ARRAY", {{kRecArray, array}}},
                         {"TABLE", {{kRecTable, table}}},
                         {"SHRFMLA and ARRAY", {{kRecSharedFormula, shrfmla}, {kRecArray, array}}}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto stream = OneSheetStream(evExcel8, {}, [&](TBiffBuilder& b) {
      b.FormulaSpecial(0, 0, 0, 0);
      for (const auto& [code, data] : c.Between)
        b.Record(code, data);
      b.String("text").Number(1, 0, 0, 1);
    });
    TLoad load(InCompoundFile(stream));
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(load.Records, SplitRecords(stream));
    EXPECT_EQ(load.Cell(0, 0, 0), Text("text"));
    EXPECT_EQ(load.Cell(0, 1, 0), TVariant(1.0));
  }
}

TEST(FormulaCell, TextResultWithoutStringGivesNoCellAndTheNextRecordIsReadNormally)
{
  for (const bool shared : {false, true}) {
    SCOPED_TRACE(shared ? "after SHRFMLA" : "directly");
    const auto stream = OneSheetStream(evExcel8, {}, [&](TBiffBuilder& b) {
      b.FormulaSpecial(0, 0, 0, 0);
      if (shared)
        b.Record(kRecSharedFormula, TBytes().U16(0).U16(0).U8(0).U8(0).U16(0).U16(0));
      b.Number(1, 0, 0, 7).String("not after a formula");
    });
    TLoad load(InCompoundFile(stream));
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(load.Records, SplitRecords(stream));
    EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Null());
    EXPECT_EQ(load.Cell(0, 1, 0), TVariant(7.0));
  }
}

TEST(FormulaCell, TextResultAtTheEndOfTheStreamGivesNoCell)
{
  const auto stream = TBiffBuilder()
                          .Bof(evExcel8, TBofType::btGlobals)
                          .BoundSheet("Sheet1", 1)
                          .Eof()
                          .Bof(evExcel8)
                          .FormulaSpecial(0, 0, 0, 0)
                          .Build();
  TLoad load(InCompoundFile(stream));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Null());
}

TEST(FormulaCell, StringAtTheLimitIsReadOneByteLongerGivesEmptyText)
{
  // Length word, option byte, characters.
  auto stringRecord = [](std::size_t length) {
    return TBytes().U16(static_cast<std::uint16_t>(length - 3)).U8(0).Ascii(std::string(length - 3, 's'));
  };
  const auto stream = OneSheetStream(evExcel8, {}, [&](TBiffBuilder& b) {
    b.FormulaSpecial(0, 0, 0, 0)
        .Record(kRecString, stringRecord(8224))
        .FormulaSpecial(1, 0, 0, 0)
        .Record(kRecString, stringRecord(8225))
        .Number(2, 0, 0, 1);
  });
  TLoad load(InCompoundFile(stream));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(std::string(8221, 's')));
  EXPECT_EQ(load.Cell(0, 1, 0), Text(""));
  EXPECT_EQ(load.Cell(0, 2, 0), TVariant(1.0));
}

TEST(FormulaCell, StringCutShortByTheStreamGivesNoCell)
{
  const auto stream = TBiffBuilder()
                          .Bof(evExcel8, TBofType::btGlobals)
                          .BoundSheet("Sheet1", 1)
                          .Eof()
                          .Bof(evExcel8)
                          .FormulaSpecial(0, 0, 0, 0)
                          .RecordWithLength(kRecString, 20, TBytes().U16(17).U8(0).Ascii("abc"))
                          .Build();
  TLoad load(InCompoundFile(stream));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Null());
}

TEST(FormulaCell, Biff5TextResultFromStringOrTwoString)
{
  TLoad load(Book5({}, [](TBiffBuilder& b) {
    b.FormulaSpecial(0, 0, 0, 0).String("eight").FormulaSpecial(0, 1, 0, 0).String2("two");
  }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), Text("eight"));
  EXPECT_EQ(load.Cell(0, 0, 1), Text("two"));
}

TEST(FormulaCell, Biff3AndBiff4FormulaCodesAreDecoded)
{
  for (const TExcelVersion version : {evExcel3, evExcel4}) {
    SCOPED_TRACE(ExcelVersionName(version));
    const auto stream = BareStream(version, [](TBiffBuilder& b) {
      b.Xf(0).Xf(14).FormulaNumber(0, 0, 0, 3.5).FormulaNumber(0, 1, 1, 36000).FormulaSpecial(1, 0, 0, 0).String("t");
    });
    TLoad load(stream);
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(load.Records[3].Code, version == evExcel3 ? kRecFormula3 : kRecFormula4);
    EXPECT_EQ(load.Cell(0, 0, 0), TVariant(3.5));
    EXPECT_EQ(load.Cell(0, 0, 1), TVariant::Date(36000));
    EXPECT_EQ(load.Cell(0, 1, 0), Text("t"));
  }
}

TEST(FormulaCell, Biff2ResultIsAPlainDoubleAfterTheAttributes)
{
  TLoad load(BareStream(evExcel2, [](TBiffBuilder& b) { b.Formula2(0, 0, 12.25); }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(12.25));
}

TEST(Biff2Cell, ValuesAfterTheThreeAttributeBytes)
{
  TLoad load(BareStream(evExcel2, [](TBiffBuilder& b) {
    b.Integer2(0, 0, 1234)
        .Number2(0, 1, -2.75)
        .Label2(0, 2, "two")
        .BoolErr2(0, 3, 1, false)
        .BoolErr2(0, 4, 0x24, true)
        .Blank2(0, 5);
  }), [](TLoad& l) { l.RecordCells(); });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cells, (std::vector<TReportedCell>{{-1, 0, 0, TVariant(std::int32_t{1234})},
                                                    {-1, 0, 1, TVariant(-2.75)},
                                                    {-1, 0, 2, Text("two")},
                                                    {-1, 0, 3, TVariant(true)},
                                                    {-1, 0, 4, Text("#NUM!")},
                                                    {-1, 0, 5, TVariant::Null()}}));
}

TEST(Biff2Cell, AlignmentFromAttributeByteTwo)
{
  TLoad load(BareStream(evExcel2, [](TBiffBuilder& b) {
    b.Integer2(0, 0, 1, 0, 0).Integer2(0, 1, 1, 0, 1).Integer2(0, 2, 1, 0, 2).Integer2(0, 3, 1, 0, 3);
  }));
  const auto& cells = load.Reader.Sheets().Items(0).Cells;
  EXPECT_EQ(cells.FindCell(0, 0)->Alignment, TAlignment::taLeftJustify);
  EXPECT_EQ(cells.FindCell(1, 0)->Alignment, TAlignment::taLeftJustify);
  EXPECT_EQ(cells.FindCell(2, 0)->Alignment, TAlignment::taCenter);
  EXPECT_EQ(cells.FindCell(3, 0)->Alignment, TAlignment::taRightJustify);
}

struct TDimensionsReport {
  int Sheet, FirstRow, LastRow, FirstColumn, LastColumn;
  bool operator==(const TDimensionsReport&) const = default;
};

void RecordDimensions(TLoad& load, std::vector<TDimensionsReport>& reports)
{
  load.Reader.OnDimensions = [&](TCustomSpreadSheetFile&, int sheet, int firstRow, int lastRow, int firstColumn,
                                 int lastColumn) {
    reports.push_back({sheet, firstRow, lastRow, firstColumn, lastColumn});
  };
}

TEST(DimensionsRecord, LastRowIsOneMoreBeforeBiff8)
{
  std::vector<TDimensionsReport> biff5;
  std::vector<TDimensionsReport> biff8;
  TLoad load5(Book5({}, [](TBiffBuilder& b) { b.Dimensions(2, 10, 1, 5); }),
              [&](TLoad& l) { RecordDimensions(l, biff5); });
  TLoad load8(Book8({}, [](TBiffBuilder& b) { b.Dimensions(2, 10, 1, 5); }),
              [&](TLoad& l) { RecordDimensions(l, biff8); });
  EXPECT_EQ(biff5, (std::vector<TDimensionsReport>{{0, 0, 11, 0, 6}}));
  EXPECT_EQ(biff8, (std::vector<TDimensionsReport>{{0, 2, 10, 1, 5}}));
}

TEST(DimensionsRecord, ModelKeepsTheLastRowAndColumn)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.Dimensions(0, 10, 0, 5).Number(0, 0, 0, 1); }));
  EXPECT_EQ(load.Reader.Sheets().Items(0).Cells.DimLastRow, 10);
  EXPECT_EQ(load.Reader.Sheets().Items(0).Cells.DimLastColumn, 5);
}

TEST(DimensionsRecord, BareStreamReportsTheCellsExtentWhenTheRecordFallsShort)
{
  struct TCase {
    const char* Name;
    TBuildStep Dimensions;
    std::vector<TDimensionsReport> Expected;
  };
  const TCase cases[] = {
      {"none", {}, {{-1, 0, 5, 0, 3}}},
      {"covering", [](TBiffBuilder& b) { b.Dimensions(0, 10, 0, 5); }, {{-1, 0, 11, 0, 6}}},
      {"rows short", [](TBiffBuilder& b) { b.Dimensions(0, 1, 0, 5); }, {{-1, 0, 2, 0, 6}, {-1, 0, 5, 0, 3}}},
      {"columns short", [](TBiffBuilder& b) { b.Dimensions(0, 10, 0, 0); }, {{-1, 0, 11, 0, 1}, {-1, 0, 5, 0, 3}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<TDimensionsReport> reports;
    TLoad load(BareStream(evExcel4, [&](TBiffBuilder& b) {
      if (c.Dimensions)
        c.Dimensions(b);
      b.Number(4, 0, 0, 1).Number(0, 2, 0, 2);
    }), [&](TLoad& l) { RecordDimensions(l, reports); });
    EXPECT_EQ(reports, c.Expected);
  }
}

TEST(ColumnWidths, ColInfoGivesEachColumnOfItsRangeInCharacters)
{
  std::vector<std::tuple<int, int, int>> widths;
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.ColInfo(1, 3, 2560).ColInfo(5, 4, 512).ColInfo(6, 6, 300); }),
             [&](TLoad& l) {
               l.Reader.OnColumnWidth = [&](TCustomSpreadSheetFile&, int sheet, int column, int width) {
                 widths.emplace_back(sheet, column, width);
               };
             });
  EXPECT_EQ(widths, (std::vector<std::tuple<int, int, int>>{{0, 1, 10}, {0, 2, 10}, {0, 3, 10}, {0, 6, 1}}));
}

TEST(ColumnWidths, ModelKeepsTheWidths)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.ColInfo(1, 2, 2560); }));
  EXPECT_EQ(load.Reader.Sheets().Items(0).ColumnWidths, (std::vector<std::int32_t>{0, 10, 10}));
}

TEST(ColumnWidths, Biff2ColWidthUsesByteColumns)
{
  TLoad load(BareStream(evExcel2, [](TBiffBuilder& b) { b.ColWidth(0, 1, 0x0800).Integer2(0, 0, 1); }));
  EXPECT_EQ(load.Reader.Sheets().Items(0).ColumnWidths, (std::vector<std::int32_t>{8, 8}));
}

TEST(RowHeight, IsReportedAsStoredWithItsFlagBit)
{
  std::vector<std::tuple<int, int, int>> heights;
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.Row(5, 0x8123).Row(6, 255); }), [&](TLoad& l) {
    l.Reader.OnRowHeight = [&](TCustomSpreadSheetFile&, int sheet, int row, int height) {
      heights.emplace_back(sheet, row, height);
    };
  });
  EXPECT_EQ(heights, (std::vector<std::tuple<int, int, int>>{{0, 5, 0x8123}, {0, 6, 255}}));
}

TEST(BoundSheetRecord, Biff8NamesAreEightBitOrUtf16)
{
  const auto stream = TBiffBuilder()
                          .Bof(evExcel8, TBofType::btGlobals)
                          .BoundSheet("Donn\xE9" "es", 1)
                          .BoundSheet("\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82", 2, true)
                          .Eof()
                          .Bof(evExcel8)
                          .Eof()
                          .Bof(evExcel8)
                          .Eof()
                          .Build();
  TLoad load(InCompoundFile(stream));
  EXPECT_EQ(load.Error, "");
  ASSERT_EQ(load.Reader.SheetNames().size(), 2u);
  EXPECT_EQ(load.Reader.SheetNames()[0].Name, "Donn\xC3\xA9" "es");
  EXPECT_EQ(load.Reader.SheetNames()[1].Name, "\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82");
  EXPECT_EQ(load.Reader.SheetNames()[1].BofOffset, stream.size() - 4 - 20);
  ASSERT_EQ(load.Reader.Sheets().Count(), 2);
  EXPECT_EQ(load.Reader.Sheets().Items(1).Caption, "\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82");
}

}  // namespace
