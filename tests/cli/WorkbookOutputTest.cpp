// The JSON the tool prints for built workbooks: every value kind, and the
// per-sheet figures of `stats`.
#include "Commands.h"
#include "support/BiffBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using json = nlohmann::json;

std::string WriteTemp(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

std::vector<json> RunLines(const std::vector<std::string>& args)
{
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunCli(args, out, err), kExitOk) << err.str();
  std::vector<json> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);)
    lines.push_back(json::parse(line));
  return lines;
}

}  // namespace

TEST(CellsOutput, WritesEveryValueKindWithItsTypeName)
{
  // A bare BIFF2 stream: integers exist only there.
  TBiffBuilder book;
  book.Bof(TExcelVersion::evExcel2)
      .Format(0, "General")
      .Format(1, "d-mmm-yy")
      .Xf(0)
      .Xf(1)
      .Integer2(0, 0, 42)
      .Number2(0, 1, 1.5)
      .Number2(0, 2, 36526.25, 1)  // XF 1: a date format
      .Label2(1, 0, "text \"quoted\"")
      .BoolErr2(1, 1, 1, false)
      .BoolErr2(1, 2, 0x07, true)
      .Eof();
  const auto lines = RunLines({"cells", WriteTemp("bifflens-cells-kinds.xls", book.Build())});
  ASSERT_EQ(lines.size(), 6u);
  const auto cell = [&](std::size_t i, const char* type, const json& value) {
    SCOPED_TRACE(lines[i].dump());
    EXPECT_EQ(lines[i]["sheet"], 0);
    EXPECT_EQ(lines[i]["caption"], "Sheet1");
    EXPECT_EQ(lines[i]["type"], type);
    EXPECT_EQ(lines[i]["value"], value);
  };
  cell(0, "integer", 42);
  cell(1, "double", 1.5);
  cell(2, "date", 36526.25);
  cell(3, "string", "text \"quoted\"");
  cell(4, "boolean", true);
  cell(5, "string", "#DIV/0!");
  EXPECT_EQ(lines[5]["row"], 1);
  EXPECT_EQ(lines[5]["col"], 2);
}

TEST(StatsOutput, GivesVersionRecordCountAndEachSheetsExtent)
{
  TBiffBuilder book;
  book.Bof(TExcelVersion::evExcel8, TBofType::btGlobals)
      .BoundSheet("Data", 1)
      .BoundSheet("Empty", 2)
      .Eof()
      .Bof(TExcelVersion::evExcel8)
      .Number(0, 0, 0, 1)
      .Number(4, 2, 0, 2)
      .Eof()
      .Bof(TExcelVersion::evExcel8)
      .Eof();
  const auto lines = RunLines({"stats", WriteTemp("bifflens-stats.xls", InCompoundFile(book.Build()))});
  ASSERT_EQ(lines.size(), 1u);
  const json& stats = lines[0];
  EXPECT_EQ(stats["version"], "evExcel8");
  EXPECT_EQ(stats["records"], 10);
  ASSERT_EQ(stats["sheets"].size(), 2u);
  EXPECT_EQ(stats["sheets"][0], json::parse(R"({"caption":"Data","rows":5,"cols":3,"cells":2})"));
  EXPECT_EQ(stats["sheets"][1], json::parse(R"({"caption":"Empty","rows":0,"cols":0,"cells":0})"));
}
