// Number formats and the date decision, error texts, and the 1904 system.

#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"
#include "xls/decode/ErrorCodes.h"

namespace {

using enum TExcelVersion;

TEST(BuiltInFormats, TableAfterClear)
{
  struct TEntry {
    int Index;
    const char* Text;
  };
  const TEntry table[] = {
      {0, "General"}, {1, "0"}, {2, "0.00"}, {3, "#,##0"}, {4, "#,##0.00"},
      {5, "($#,##0_);($#,##0)"}, {6, "($#,##0_);[Red]($#,##0)"}, {7, "($#,##0.00_);($#,##0.00)"},
      {8, "($#,##0.00_);[Red]($#,##0.00)"}, {9, "0%"}, {10, "0.00%"}, {11, "0.00E+00"}, {12, "# ?/?"},
      {13, "# ?\?/?\?"}, {14, "m/d/yy"}, {15, "d-mmm-yy"}, {16, "d-mmm"}, {17, "mmm-yy"}, {18, "h:mm AM/PM"},
      {19, "h:mm:ss AM/PM"}, {20, "h:mm"}, {21, "h:mm:ss"}, {22, "m/d/yy h:mm"}, {37, "(#,##0_);(#,##0)"},
      {38, "(#,##0_);[Red](#,##0)"}, {39, "(#,##0.00_);(#,##0.00)"}, {40, "(#,##0.00_);[Red](#,##0.00)"},
      {41, "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)"}, {42, "_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)"},
      {43, "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)"},
      {44, "_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)"}, {45, "mm:ss"}, {46, "[h]:mm:ss"},
      {47, "mm:ss.0"}, {48, "##0.0E+0"}, {49, "@"},
  };
  TMSExcel reader;
  reader.Clear();
  std::vector<std::string> expected(50);
  for (const TEntry& e : table)
    expected[static_cast<std::size_t>(e.Index)] = e.Text;
  EXPECT_EQ(reader.FormatTable(), expected);
}

TEST(BuiltInFormats, TimeAndDateFormatsAreDates)
{
  TMSExcel reader;
  reader.Clear();
  for (int index = 0; index < 50; ++index) {
    SCOPED_TRACE(index);
    const bool date = (index >= 14 && index <= 22) || (index >= 45 && index <= 47);
    EXPECT_EQ(reader.IsDateXF(index), date);  // no XF records: the index is the format
  }
}

TEST(DateRule, XfEntriesLeadToTheirFormat)
{
  TLoad load(Book8(
      [](TBiffBuilder& b) {
        b.Format(164, "yyyy-mm-dd")
            .Format(165, "0.0 \"kg\"")
            .Format(166, "[$-409]MMMM")
            .Xf(0)     // 0
            .Xf(14)    // 1
            .Xf(164)   // 2
            .Xf(165)   // 3
            .Xf(166)   // 4
            .Xf(2)     // 5
            .Xf(300);  // 6: a format nobody defined
      },
      {}));
  ASSERT_EQ(load.Error, "");
  const TMSExcel& r = load.Reader;
  ASSERT_EQ(r.XFList().size(), 7u);
  EXPECT_FALSE(r.IsDateXF(0));
  EXPECT_TRUE(r.IsDateXF(1));
  EXPECT_TRUE(r.IsDateXF(2));
  EXPECT_FALSE(r.IsDateXF(3));
  EXPECT_TRUE(r.IsDateXF(4));  // upper case counts: the text is lower-cased first
  EXPECT_FALSE(r.IsDateXF(5));
  EXPECT_FALSE(r.IsDateXF(6));
  // Beyond the XF list the index is a format index.
  EXPECT_TRUE(r.IsDateXF(14));
  EXPECT_TRUE(r.IsDateXF(164));
  EXPECT_FALSE(r.IsDateXF(49));
  EXPECT_FALSE(r.IsDateXF(1000));
  EXPECT_FALSE(r.IsDateXF(-1));
}

TEST(DateRule, WithoutXfRecordsTheCellsXfIsTheFormat)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.Number(0, 0, 14, 1).Number(0, 1, 22, 1).Number(0, 2, 2, 1); }));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Date(1));
  EXPECT_EQ(load.Cell(0, 0, 1), TVariant::Date(1));
  EXPECT_EQ(load.Cell(0, 0, 2), TVariant(1.0));
}

TEST(DateRule, XfWithFormatZeroIsNeverADate)
{
  // Format 0 redefined to read as a date: through an XF it still is not one.
  TLoad load(Book8([](TBiffBuilder& b) { b.Format(0, "dd/mm/yyyy").Xf(0); },
                   [](TBiffBuilder& b) { b.Number(0, 0, 0, 1); }));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
  EXPECT_EQ(load.Reader.FormatTable()[0], "dd/mm/yyyy");
}

TEST(DateRule, FormatRecordReplacesABuiltInFormat)
{
  TLoad load(Book8([](TBiffBuilder& b) { b.Xf(14).Format(14, "0.00"); },
                   [](TBiffBuilder& b) { b.Number(0, 0, 0, 1); }));
  EXPECT_EQ(load.Reader.FormatTable()[14], "0.00");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
}

TEST(FormatRecord, Biff8TextMayBeUtf16)
{
  const auto data = TBytes().U16(170).U16(5).U8(1).Utf16("yyyy\xE5\xB9\xB4");
  TLoad load(Book8([&](TBiffBuilder& b) { b.Record(kRecFormat4, data).Xf(170); },
                   [](TBiffBuilder& b) { b.Number(0, 0, 0, 2); }));
  ASSERT_GT(load.Reader.FormatTable().size(), 170u);
  EXPECT_EQ(load.Reader.FormatTable()[170], "yyyy\xE5\xB9\xB4");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Date(2));
}

TEST(FormatRecord, Biff5TextIsEightBitAfterTheIndex)
{
  TLoad load(Book5([](TBiffBuilder& b) { b.Format(164, "dd.mm.yyyy").Xf(0).Xf(164); },
                   [](TBiffBuilder& b) { b.Number(0, 0, 1, 3).Number(0, 1, 0, 3); }));
  EXPECT_EQ(load.Reader.FormatTable()[164], "dd.mm.yyyy");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Date(3));
  EXPECT_EQ(load.Cell(0, 0, 1), TVariant(3.0));
}

TEST(FormatRecord, Biff3FormatsAreNumberedByAppearanceAndXf3TakesByteOne)
{
  TLoad load(BareStream(evExcel3, [](TBiffBuilder& b) {
    b.Format(0, "General").Format(0, "0.00").Format(0, "yyyy-mm-dd").Xf(2).Xf(1);
    b.Number(0, 0, 0, 4).Number(0, 1, 1, 4);
  }));
  ASSERT_EQ(load.Error, "");
  EXPECT_EQ(load.Reader.FormatTable()[0], "General");
  EXPECT_EQ(load.Reader.FormatTable()[1], "0.00");
  EXPECT_EQ(load.Reader.FormatTable()[2], "yyyy-mm-dd");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Date(4));
  EXPECT_EQ(load.Cell(0, 0, 1), TVariant(4.0));
}

TEST(FormatRecord, Biff4FormatsAreNumberedByAppearanceIgnoringTheUnusedWord)
{
  // BIFF4 FORMAT records carry an unused word where later versions keep the
  // index; their XF records count formats in order of appearance.
  TLoad load(BareStream(evExcel4, [](TBiffBuilder& b) {
    b.Format(0x5555, "General").Format(0x5555, "d.m.yy").Xf(1).Number(0, 0, 0, 5);
  }));
  ASSERT_EQ(load.Error, "");
  EXPECT_EQ(load.Reader.FormatTable()[1], "d.m.yy");
  EXPECT_EQ(load.Reader.FormatTable().size(), 50u);
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Date(5));
}

TEST(FormatRecord, Biff2CellTakesItsXfFromAttributeByteZero)
{
  TLoad load(BareStream(evExcel2, [](TBiffBuilder& b) {
    b.Format(0, "General").Format(0, "dd/mm/yy").Xf(0).Xf(1);  // XF 1 -> format 1
    b.Number2(0, 0, 6, 1).Number2(0, 1, 6, 0);  // the builder also sets bits 6-7
  }));
  ASSERT_EQ(load.Error, "");
  ASSERT_EQ(load.Reader.XFList().size(), 2u);
  EXPECT_EQ(load.Reader.XFList()[1].FormatIndex, 1);
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Date(6));
  EXPECT_EQ(load.Cell(0, 0, 1), TVariant(6.0));
}

TEST(ErrorCode, TextsOfTheFormatAndUnknownCodes)
{
  struct TCase {
    int Code;
    const char* Text;
  };
  for (const TCase c : {TCase{0x00, "#NULL!"}, TCase{0x07, "#DIV/0!"}, TCase{0x0F, "#VALUE!"},
                        TCase{0x17, "#REF!"}, TCase{0x1D, "#NAME?"}, TCase{0x24, "#NUM!"},
                        TCase{0x2A, "#N/A"}, TCase{0x2B, "Unknown error code 43"},
                        TCase{0x01, "Unknown error code 1"}, TCase{0xFF, "Unknown error code 255"}}) {
    SCOPED_TRACE(c.Code);
    EXPECT_EQ(ErrorCodeText(c.Code), c.Text);
  }
}

TEST(DateSystem1904, DatesAreShiftedToThe1900SystemAndNumbersAreNot)
{
  auto sheet = [](TBiffBuilder& b) {
    b.Number(0, 0, 1, 0).Number(0, 1, 0, 5).Rk(0, 2, 1, 6).FormulaNumber(0, 3, 1, 2.5).MulRk(1, 0, {{1, 6}, {0, 6}});
  };
  TLoad shifted(Book8([](TBiffBuilder& b) { b.DateMode(1).Xf(0).Xf(14); }, sheet));
  EXPECT_TRUE(shifted.Reader.Date1904());
  EXPECT_EQ(shifted.Cell(0, 0, 0), TVariant::Date(1462));
  EXPECT_EQ(shifted.Cell(0, 0, 1), TVariant(5.0));
  EXPECT_EQ(shifted.Cell(0, 0, 2), TVariant::Date(1463));
  EXPECT_EQ(shifted.Cell(0, 0, 3), TVariant::Date(1464.5));
  EXPECT_EQ(shifted.Cell(0, 1, 0), TVariant::Date(1463));
  EXPECT_EQ(shifted.Cell(0, 1, 1), TVariant(1.0));
  TLoad plain(Book8([](TBiffBuilder& b) { b.DateMode(0).Xf(0).Xf(14); }, sheet));
  EXPECT_FALSE(plain.Reader.Date1904());
  EXPECT_EQ(plain.Cell(0, 0, 0), TVariant::Date(0));
  EXPECT_EQ(plain.Cell(0, 0, 2), TVariant::Date(1));
}

TEST(DateSystem1904, AlsoInABareStream)
{
  TLoad load(BareStream(evExcel4, [](TBiffBuilder& b) { b.DateMode(1).Number(0, 0, 14, 10); }));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Date(1472));
}

}  // namespace

TEST(CellFormat, ANumberCellKeepsTheNumberFormatItsXfNamesInTheModelAndTheEvent)
{
  // XF 0 is General, XF 1 a user date format, XF 2 seconds; XF 9 lies past
  // the XF records and is taken as format 9 itself. Texts carry no format.
  const auto book = Book8([](TBiffBuilder& b) { b.Format(164, "yyyy-mm-dd").Xf(0).Xf(164).Xf(45); },
                          [](TBiffBuilder& b) {
                            b.Number(0, 0, 0, 1).Number(0, 1, 1, 2).Rk(0, 2, 2, 6).Number(0, 3, 9, 4);
                            b.Label(0, 4, 1, "text");
                          });
  TLoad model(book);
  const TSpreadSheetCells& cells = model.Reader.Sheets().Items(0).Cells;
  std::vector<int> stored;
  for (int c = 0; c < 5; ++c)
    stored.push_back(cells.FindCell(c, 0)->FormatIndex);
  EXPECT_EQ(stored, (std::vector<int>{0, 164, 45, 9, 0}));
  std::vector<int> raised;
  TLoad events(book, [&](TLoad& l) {
    l.Reader.OnCellValue = [&](TCustomSpreadSheetFile&, int, int, int, int formatIndex, const TVariant&,
                               TAlignment) { raised.push_back(formatIndex); };
  });
  EXPECT_EQ(raised, stored);
}
