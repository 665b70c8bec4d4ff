// Cell ranges as users write them, sheet names as file names, and a sheet
// written to a file.
#include "export/CsvExport.h"
#include "export/ExportMessages.h"
#include "platform/Errors.h"
#include "support/BiffBuilder.h"
#include "xls/MSExcel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

std::string ReadFile(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(CellRange, ReadsRangesAsExcelWritesThem)
{
  struct TCase {
    const char* Text;
    TCellRange Range;
  };
  const TCase cases[] = {
      {"A1:D20", {0, 0, 19, 3}},
      {"B2", {1, 1, 1, 1}},
      {"$B$2:$c$3", {1, 1, 2, 2}},
      {"d20:a1", {0, 0, 19, 3}},
      {"A:C", {0, 0, INT_MAX, 2}},
      {"5:1", {0, 0, 4, INT_MAX}},
      {"IV65536", {65535, 255, 65535, 255}},
      {"XFD1048576", {1048575, 16383, 1048575, 16383}},
      {"AA10:AB11", {9, 26, 10, 27}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(ParseCellRange(c.Text), c.Range);
  }
}

TEST(CellRange, RefusesWhatIsNoRangeWithTheText)
{
  for (const char* text : {"", ":", "A", "1", "A0", "A1:", ":B2", "A1:B", "A:2", "1A", "A1B2",
                           "XFE1", "A1048577", "A1:B2:C3", "$$A1", "A$", "A 1", "A1-B2"}) {
    SCOPED_TRACE(text);
    EXPECT_THAT([&] { ParseCellRange(text); },
                ThrowsMessage<EBiffLensError>(StrEq(
                    std::string("'") + text + "' is no cell range (write it as A1:D20, B2, A:C or 1:5)")));
  }
}

TEST(OutputName, SheetNamesBecomeSafeFileNames)
{
  const std::pair<const char*, const char*> cases[] = {
      {"Sheet1", "Sheet1"},
      {"a/b\\c", "a_b_c"},
      {"Q1: \"plan\" <draft>|*?", "Q1_ _plan_ _draft____"},
      {"tab\there", "tab_here"},
      {"..", "_."},
      {".hidden", "_hidden"},
      {"", "_"},
      {"Bl\xC3\xA4tt", "Bl\xC3\xA4tt"},
  };
  for (const auto& [name, safe] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(SafeFileName(name), safe);
  }
  // Long names are cut at a whole character.
  const std::string umlauts = [] {
    std::string s = "x";
    for (int i = 0; i < 150; ++i)
      s += "\xC3\xA4";
    return s;
  }();
  EXPECT_EQ(SafeFileName(umlauts), umlauts.substr(0, 199));
}

TEST(OutputName, PatternsTakeTheNumberAndTheSafeName)
{
  EXPECT_EQ(ExpandOutputPattern("out/{n}-{name}.csv", 3, "a/b"), "out/3-a_b.csv");
  EXPECT_EQ(ExpandOutputPattern("{name}{name}{n}{n}", 12, "x"), "xx1212");
  EXPECT_EQ(ExpandOutputPattern("{N}{nam}{}.csv", 1, "x"), "{N}{nam}{}.csv");
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
  const auto dir = std::filesystem::temp_directory_path() / ("bifflens-export-test-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto path = (dir / "s.csv").string();
  ExportSheetToFile(reader, 0, path, {});
  EXPECT_EQ(ReadFile(path), "\"a,b\",2020-01-01\n");
  ExportSheetToFile(reader, 0, path, {.Delimiter = ';', .Eol = TCsvEol::ceCrLf, .Bom = true,
                                      .Dates = TCsvDates::cdSerial});
  EXPECT_EQ(ReadFile(path), "\xEF\xBB\xBF" "a,b;43831\r\n");
  const std::string missing = (dir / "no-such-folder" / "s.csv").string();
  EXPECT_THAT([&] { ExportSheetToFile(reader, 0, missing, {}); },
              ThrowsMessage<EBiffLensError>(StrEq("Cannot write " + missing + ": No such file or directory")));
  std::filesystem::remove_all(dir);
}
