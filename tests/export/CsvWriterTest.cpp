// Sheets as CSV text: quoting, delimiters, line ends, the used rectangle,
// ranges, and a field source taking the value's place.
#include "export/CsvWriter.h"
#include "model/CellText.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

/// A sheet of text and number cells: {row, column, value}.
struct TPlaced {
  int Row;
  int Column;
  TVariant Value;
};

class TSheet {
public:
  explicit TSheet(const std::vector<TPlaced>& cells)
  {
    for (const TPlaced& c : cells)
      Cells.SetCellValue(c.Column, c.Row, c.Value, 0, TAlignment::taLeftJustify);
  }
  TSpreadSheetCells Cells;
};

struct TWritten {
  std::string Text;
  TCsvSheetResult Result;
};

TWritten Write(const TSheet& sheet, const TCsvFormat& format = {}, const TCellRange& range = {})
{
  std::ostringstream out;
  TCsvValueText values(std::vector<std::string>{}, false, format.Dates);
  TWritten written;
  {
    TCsvWriter writer(out, format);
    written.Result = writer.WriteSheet(sheet.Cells, range, values);
  }
  written.Text = out.str();
  return written;
}

std::string Field(const TVariant& value, const TCsvFormat& format)
{
  return Write(TSheet({{0, 0, value}}), format).Text;
}

/// Every field's place instead of its value.
class TPlaceText final : public TCsvFieldSource {
public:
  std::string_view FieldText(int row, int column, const TZymCell&) override
  {
    FText = CellReference(row, column);
    return FText;
  }

private:
  std::string FText;
};

}  // namespace

TEST(CsvQuoting, QuotesWhatEachModeAsksFor)
{
  struct TCase {
    const char* Text;
    const char* Minimal;
    const char* All;
    const char* None;
  };
  const TCase cases[] = {
      {"plain", "plain\n", "\"plain\"\n", "plain\n"},
      {"a,b", "\"a,b\"\n", "\"a,b\"\n", "a,b\n"},
      {"say \"hi\"", "\"say \"\"hi\"\"\"\n", "\"say \"\"hi\"\"\"\n", "say \"hi\"\n"},
      {"\"", "\"\"\"\"\n", "\"\"\"\"\n", "\"\n"},
      {"two\nlines", "\"two\nlines\"\n", "\"two\nlines\"\n", "two\nlines\n"},
      {"cr\rhere", "\"cr\rhere\"\n", "\"cr\rhere\"\n", "cr\rhere\n"},
      {"crlf\r\n", "\"crlf\r\n\"\n", "\"crlf\r\n\"\n", "crlf\r\n\n"},
      // Neither blanks, tabs nor semicolons call for quotes under ",".
      {" lead;\ttab ", " lead;\ttab \n", "\" lead;\ttab \"\n", " lead;\ttab \n"},
      {"", "\n", "\"\"\n", "\n"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9\n", "\"\xC3\xA9t\xC3\xA9\"\n", "\xC3\xA9t\xC3\xA9\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Field(TVariant(c.Text), {}), c.Minimal);
    EXPECT_EQ(Field(TVariant(c.Text), {.Quote = TCsvQuote::cqAll}), c.All);
    EXPECT_EQ(Field(TVariant(c.Text), {.Quote = TCsvQuote::cqNone}), c.None);
  }
}

TEST(CsvQuoting, TheChosenDelimiterIsWhatCallsForQuotes)
{
  const TSheet sheet({{0, 0, TVariant("a,b")}, {0, 1, TVariant("c;d")}, {0, 2, TVariant("e\tf")},
                      {0, 3, TVariant(1.5)}});
  EXPECT_EQ(Write(sheet).Text, "\"a,b\",c;d,e\tf,1.5\n");
  EXPECT_EQ(Write(sheet, {.Delimiter = ';'}).Text, "a,b;\"c;d\";e\tf;1.5\n");
  EXPECT_EQ(Write(sheet, {.Delimiter = '\t'}).Text, "a,b\tc;d\t\"e\tf\"\t1.5\n");
  // Even a number is quoted when the delimiter is one of its characters.
  EXPECT_EQ(Write(sheet, {.Delimiter = '.'}).Text, "a,b.c;d.e\tf.\"1.5\"\n");
}

TEST(CsvQuoting, UnquotedFieldsThatNeededQuotesAreCountedFromTheFirst)
{
  const TSheet sheet({{0, 0, TVariant("ok")}, {1, 2, TVariant("a,b")}, {3, 1, TVariant("x\ny")}});
  const TWritten none = Write(sheet, {.Quote = TCsvQuote::cqNone});
  EXPECT_EQ(none.Result.UnquotedFields, 2u);
  EXPECT_EQ(none.Result.FirstUnquotedRow, 1);
  EXPECT_EQ(none.Result.FirstUnquotedColumn, 2);
  EXPECT_EQ(Write(sheet).Result.UnquotedFields, 0u);
}

TEST(CsvShape, WritesTheRectangleFromA1ToTheLastUsedRowAndColumn)
{
  // Gaps stay empty fields, empty rows empty lines; leading empty rows and
  // columns stay, as the rectangle starts at A1.
  const TSheet sheet({{1, 1, TVariant("b2")}, {3, 3, TVariant(std::int32_t{4})}, {3, 0, TVariant(true)}});
  EXPECT_EQ(Write(sheet).Text, ",,,\n,b2,,\n,,,\nTRUE,,,4\n");
  EXPECT_EQ(Write(sheet, {.Quote = TCsvQuote::cqAll}).Text,
            "\"\",\"\",\"\",\"\"\n\"\",\"b2\",\"\",\"\"\n\"\",\"\",\"\",\"\"\n\"TRUE\",\"\",\"\",\"4\"\n");
  const TWritten written = Write(sheet);
  EXPECT_EQ(written.Result.Rows, 4);
  EXPECT_EQ(written.Result.Columns, 4);
}

TEST(CsvShape, AnEmptySheetWritesNothing)
{
  EXPECT_EQ(Write(TSheet({})).Text, "");
  EXPECT_EQ(Write(TSheet({}), {.Bom = true}).Text, "\xEF\xBB\xBF");
}

TEST(CsvShape, ARangeStartsAtItsCornerAndEndsAtItsLastUsedRowAndColumn)
{
  std::vector<TPlaced> cells;
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 5; ++c)
      if ((r + c) % 2 == 0)
        cells.push_back({r, c, TVariant(CellReference(r, c))});
  const TSheet sheet(cells);
  EXPECT_EQ(Write(sheet, {}, {1, 1, 2, 3}).Text, "B2,,D2\n,C3,\n");
  // Past the used cells a range ends where they do; before them it starts
  // where it says.
  EXPECT_EQ(Write(sheet, {}, {3, 3, 100, 100}).Text, "D4,\n,E5\n");
  EXPECT_EQ(Write(TSheet({{5, 5, TVariant("F6")}}), {}, {3, 3, 100, 100}).Text, ",,\n,,\n,,F6\n");
  // Whole columns and whole rows.
  EXPECT_EQ(Write(sheet, {}, {0, 4, INT_MAX, 4}).Text, "E1\n\nE3\n\nE5\n");
  EXPECT_EQ(Write(sheet, {}, {4, 0, 4, INT_MAX}).Text, "A5,,C5,,E5\n");
  // A range without cells writes nothing.
  EXPECT_EQ(Write(sheet, {}, {10, 10, 20, 20}).Text, "");
}

TEST(CsvShape, LineEndsAndByteOrderMark)
{
  const TSheet sheet({{0, 0, TVariant("a")}, {1, 1, TVariant("b\nc")}});
  EXPECT_EQ(Write(sheet, {.Eol = TCsvEol::ceCrLf}).Text, "a,\r\n,\"b\nc\"\r\n");
  EXPECT_EQ(Write(sheet, {.Bom = true}).Text, "\xEF\xBB\xBF" "a,\n,\"b\nc\"\n");
}

TEST(CsvShape, LongFieldsAndManyRowsPassTheBufferWhole)
{
  // Fields longer than the writer's buffer, and output many times its size.
  const std::string longText(700000, 'x');
  std::vector<TPlaced> cells{{0, 0, TVariant(longText + "\"")}};
  for (int r = 1; r < 30000; ++r)
    cells.push_back({r, 1, TVariant(std::string(20, 'y'))});
  const std::string text = Write(TSheet(cells)).Text;
  const std::string first = "\"" + longText + "\"\"\",\n";
  ASSERT_EQ(text.substr(0, first.size()), first);
  EXPECT_EQ(text.size(), first.size() + 29999 * (1 + 20 + 1));
  EXPECT_EQ(text.substr(text.size() - 23), "\n," + std::string(20, 'y') + "\n");
}

TEST(CsvFieldSource, AnotherSourceTakesThePlaceOfEveryValue)
{
  const TSheet sheet({{0, 1, TVariant(1.0)}, {2, 0, TVariant("x")}});
  std::ostringstream out;
  TPlaceText places;
  {
    TCsvWriter writer(out, {});
    writer.WriteSheet(sheet.Cells, {}, places);
  }
  EXPECT_EQ(out.str(), ",B1\n,\nA3,\n");
}
