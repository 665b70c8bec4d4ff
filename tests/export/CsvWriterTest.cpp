// Sheets as CSV text: quoting, delimiters, line ends, the used rectangle and
// ranges, a field source in the value's place; ranges as users write them,
// sheet names as file names, a sheet written to a file.
#include "export/CsvExport.h"
#include "model/CellText.h"
#include "platform/Errors.h"
#include "support/BiffBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

struct TPlaced {
  int Row;
  int Column;
  TVariant Value;
};

struct TSheet {
  explicit TSheet(const std::vector<TPlaced>& cells)
  {
    for (const TPlaced& c : cells)
      Cells.SetCellValue(c.Column, c.Row, c.Value, 0, TAlignment::taLeftJustify);
  }
  TSpreadSheetCells Cells;
};

TCsvSheetResult Written(const TSheet& sheet, std::string& text, const TCsvFormat& format = {},
                        const TCellRange& range = {})
{
  std::ostringstream out;
  TCsvValueText values(std::vector<std::string>{}, false, format.Dates);
  TCsvSheetResult result;
  {
    TCsvWriter writer(out, format);
    result = writer.WriteSheet(sheet.Cells, range, values);
  }
  text = out.str();
  return result;
}

std::string Text(const TSheet& sheet, const TCsvFormat& format = {}, const TCellRange& range = {})
{
  std::string text;
  Written(sheet, text, format, range);
  return text;
}

std::string ReadFile(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(CsvQuoting, QuotesWhatEachModeAsksFor)
{
  struct TCase {
    const char* Text;
    const char* Minimal;  // and "all" quotes every field
  };
  const TCase cases[] = {
      {"plain", "plain"},         {"a,b", "\"a,b\""},         {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""},         {"two\nlines", "\"two\nlines\""}, {"cr\rhere", "\"cr\rhere\""},
      {"crlf\r\n", "\"crlf\r\n\""}, {" lead;\ttab ", " lead;\ttab "}, {"", ""},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    const TSheet sheet({{0, 0, TVariant(c.Text)}});
    const std::string minimal = c.Minimal;
    EXPECT_EQ(Text(sheet), minimal + "\n");
    EXPECT_EQ(Text(sheet, {.Quote = TCsvQuote::cqAll}),
              (minimal.starts_with('"') ? minimal : "\"" + minimal + "\"") + "\n");
    EXPECT_EQ(Text(sheet, {.Quote = TCsvQuote::cqNone}), std::string(c.Text) + "\n");
  }
}

TEST(CsvQuoting, TheChosenDelimiterCallsForQuotesAndUnquotedOnesAreCounted)
{
  const TSheet sheet({{0, 0, TVariant("a,b")}, {0, 1, TVariant("c;d")}, {0, 2, TVariant("e\tf")},
                      {0, 3, TVariant(1.5)}, {2, 1, TVariant("x\ny")}});
  EXPECT_EQ(Text(sheet, {.Delimiter = ';'}), "a,b;\"c;d\";e\tf;1.5\n;;;\n;\"x\ny\";;\n");
  EXPECT_EQ(Text(sheet, {.Delimiter = '\t'}), "a,b\tc;d\t\"e\tf\"\t1.5\n\t\t\t\n\t\"x\ny\"\t\t\n");
  // Even a number, when the delimiter is one of its characters.
  EXPECT_EQ(Text(sheet, {.Delimiter = '.'}).substr(0, 18), "a,b.c;d.e\tf.\"1.5\"\n");
  std::string text;
  const TCsvSheetResult none = Written(sheet, text, {.Quote = TCsvQuote::cqNone});
  EXPECT_EQ(none.UnquotedFields, 2u);
  EXPECT_EQ(none.FirstUnquotedRow, 0);
  EXPECT_EQ(none.FirstUnquotedColumn, 0);
  EXPECT_EQ(Written(sheet, text).UnquotedFields, 0u);
}

TEST(CsvShape, WritesTheRectangleFromA1ToTheLastUsedRowAndColumn)
{
  // Gaps are empty fields, empty rows empty lines; A1 starts it.
  const TSheet sheet({{1, 1, TVariant("b2")}, {3, 3, TVariant(std::int32_t{4})}, {3, 0, TVariant(true)}});
  std::string text;
  const TCsvSheetResult result = Written(sheet, text);
  EXPECT_EQ(text, ",,,\n,b2,,\n,,,\nTRUE,,,4\n");
  EXPECT_EQ(result.Rows, 4);
  EXPECT_EQ(result.Columns, 4);
  EXPECT_EQ(Text(sheet, {.Quote = TCsvQuote::cqAll}),
            "\"\",\"\",\"\",\"\"\n\"\",\"b2\",\"\",\"\"\n\"\",\"\",\"\",\"\"\n\"TRUE\",\"\",\"\",\"4\"\n");
  EXPECT_EQ(Text(sheet, {.Eol = TCsvEol::ceCrLf}), ",,,\r\n,b2,,\r\n,,,\r\nTRUE,,,4\r\n");
  EXPECT_EQ(Text(sheet, {.Bom = true}), "\xEF\xBB\xBF,,,\n,b2,,\n,,,\nTRUE,,,4\n");
  EXPECT_EQ(Text(TSheet({})), "");
}

TEST(CsvShape, ARangeStartsAtItsCornerAndEndsAtItsLastUsedRowAndColumn)
{
  std::vector<TPlaced> cells;
  for (int r = 0; r < 5; ++r)
    for (int c = r % 2; c < 5; c += 2)
      cells.push_back({r, c, TVariant(CellReference(r, c))});
  const TSheet sheet(cells);
  EXPECT_EQ(Text(sheet, {}, {1, 1, 2, 3}), "B2,,D2\n,C3,\n");
  EXPECT_EQ(Text(sheet, {}, {3, 3, 100, 100}), "D4,\n,E5\n");
  EXPECT_EQ(Text(sheet, {}, {0, 4, INT_MAX, 4}), "E1\n\nE3\n\nE5\n");
  EXPECT_EQ(Text(sheet, {}, {4, 0, 4, INT_MAX}), "A5,,C5,,E5\n");
  EXPECT_EQ(Text(sheet, {}, {10, 10, 20, 20}), "");
  EXPECT_EQ(Text(TSheet({{5, 5, TVariant("F6")}}), {}, {3, 3, 100, 100}), ",,\n,,\n,,F6\n");
}

TEST(CsvShape, FieldsLongerThanTheBufferPassWhole)
{
  const std::string longText(700000, 'x');
  std::vector<TPlaced> cells{{0, 0, TVariant(longText + "\"")}};
  for (int r = 1; r < 30000; ++r)
    cells.push_back({r, 1, TVariant(std::string(20, 'y'))});
  const std::string text = Text(TSheet(cells));
  const std::string first = "\"" + longText + "\"\"\",\n";
  ASSERT_EQ(text.substr(0, first.size()), first);
  EXPECT_EQ(text.size(), first.size() + 29999 * 22);
  EXPECT_EQ(text.substr(text.size() - 23), "\n," + std::string(20, 'y') + "\n");
}

TEST(CsvFieldSource, AnotherSourceTakesThePlaceOfEveryValue)
{
  struct TPlaceText final : TCsvFieldSource {
    std::string Text;
    std::string_view FieldText(int row, int column, const TZymCell&) override
    {
      return Text = CellReference(row, column);
    }
  } places;
  const TSheet sheet({{0, 1, TVariant(1.0)}, {2, 0, TVariant("x")}});
  std::ostringstream out;
  TCsvWriter(out, {}).WriteSheet(sheet.Cells, {}, places);
  EXPECT_EQ(out.str(), ",B1\n,\nA3,\n");
}

TEST(CellRange, ReadsRangesAsExcelWritesThemAndRefusesTheRest)
{
  const std::pair<const char*, TCellRange> cases[] = {
      {"A1:D20", {0, 0, 19, 3}}, {"B2", {1, 1, 1, 1}},           {"$B$2:$c$3", {1, 1, 2, 2}},
      {"d20:a1", {0, 0, 19, 3}}, {"A:C", {0, 0, INT_MAX, 2}},    {"5:1", {0, 0, 4, INT_MAX}},
      {"AA10:AB11", {9, 26, 10, 27}}, {"XFD1048576", {1048575, 16383, 1048575, 16383}},
  };
  for (const auto& [text, range] : cases)
    EXPECT_EQ(ParseCellRange(text), range) << text;
  for (const char* text : {"", ":", "A", "1", "A0", "A1:", "A1:B", "A:2", "1A", "A1B2", "XFE1",
                           "A1048577", "A1:B2:C3", "$$A1", "A$", "A 1"}) {
    EXPECT_THAT([&] { ParseCellRange(text); },
                ThrowsMessage<EBiffLensError>(StrEq(std::string("'") + text +
                                                    "' is no cell range (write it as A1:D20, B2, A:C or 1:5)")));
  }
}

TEST(OutputName, SheetNamesBecomeSafeFileNamesInPatterns)
{
  const std::pair<const char*, const char*> cases[] = {
      {"Sheet1", "Sheet1"}, {"a/b\\c", "a_b_c"}, {"Q1: \"plan\" <draft>|*?", "Q1_ _plan_ _draft____"},
      {"tab\there", "tab_here"}, {"..", "_."}, {".hidden", "_hidden"}, {"", "_"},
      {"Bl\xC3\xA4tt", "Bl\xC3\xA4tt"}};
  for (const auto& [name, safe] : cases)
    EXPECT_EQ(SafeFileName(name), safe) << name;
  // Long names are cut at a whole character.
  std::string umlauts = "x";
  for (int i = 0; i < 150; ++i)
    umlauts += "\xC3\xA4";
  EXPECT_EQ(SafeFileName(umlauts), umlauts.substr(0, 199));
  EXPECT_EQ(ExpandOutputPattern("out/{n}-{name}.csv", 3, "a/b"), "out/3-a_b.csv");
  EXPECT_EQ(ExpandOutputPattern("{name}{n}{N}{nam}.csv", 12, "x"), "x12{N}{nam}.csv");
  EXPECT_TRUE(PatternNamesEachSheet("a{n}.csv"));
  EXPECT_TRUE(PatternNamesEachSheet("{name}"));
  EXPECT_FALSE(PatternNamesEachSheet("{N}{names.csv"));
}

TEST(ExportSheetToFile, WritesTheSheetAndSaysWhyAFileCannotBeWritten)
{
  TBiffBuilder b;
  b.Bof(TExcelVersion::evExcel8, TBofType::btGlobals).Xf(0).Xf(14).BoundSheet("S", 1).Eof();
  b.Bof(TExcelVersion::evExcel8).Label(0, 0, 0, "a,b").Number(0, 1, 1, 43831).Eof();
  TMSExcel reader;
  reader.LoadFromMemory(InCompoundFile(b.Build()));
  const auto dir = std::filesystem::temp_directory_path() / ("bifflens-export-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto path = (dir / "s.csv").string();
  ExportSheetToFile(reader, 0, path, {});
  EXPECT_EQ(ReadFile(path), "\"a,b\",2020-01-01\n");
  ExportSheetToFile(reader, 0, path, {.Delimiter = ';', .Dates = TCsvDates::cdSerial});
  EXPECT_EQ(ReadFile(path), "a,b;43831\n");
  const std::string missing = (dir / "no-such-folder" / "s.csv").string();
  EXPECT_THAT([&] { ExportSheetToFile(reader, 0, missing, {}); },
              ThrowsMessage<EBiffLensError>(StrEq("Cannot write " + missing + ": No such file or directory")));
  std::filesystem::remove_all(dir);
}
