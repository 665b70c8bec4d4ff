// The JSON the tool prints for built workbooks: every value kind, and the
// per-sheet figures of `stats`.
#include "Commands.h"
#include "support/BiffBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdio>
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

namespace {

struct TProcessResult {
  int ExitCode = -1;
  std::string Output;
};

/// Runs the built tool as its own process; stdout and stderr together.
TProcessResult RunTool(const std::string& arguments)
{
  TProcessResult result;
  const std::string command = std::string(BIFFLENS_CLI_PATH) + " " + arguments + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    return result;
  char chunk[1 << 16];
  while (const std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe))
    result.Output.append(chunk, n);
  const int status = ::pclose(pipe);
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace

TEST(ToolProcess, EndsWithEveryLineWrittenAndTheRightExitCode)
{
  // The tool ends its process without freeing the model: every buffered
  // line must still reach the pipe, over many buffer flushes.
  TBiffBuilder book;
  book.Bof(TExcelVersion::evExcel2).Format(0, "General").Xf(0);
  constexpr int kRows = 20000;
  for (int r = 0; r < kRows; ++r)
    book.Number2(r, 0, r + 0.5);
  book.Eof();
  const std::string file = WriteTemp("bifflens-tool-process.xls", book.Build());
  const TProcessResult cells = RunTool("cells " + file);
  EXPECT_EQ(cells.ExitCode, kExitOk);
  std::istringstream in(cells.Output);
  int count = 0;
  std::string line;
  for (std::string next; std::getline(in, next); ++count)
    line = next;
  EXPECT_EQ(count, kRows);
  EXPECT_EQ(json::parse(line)["value"], kRows - 1 + 0.5);

  const TProcessResult missing = RunTool("stats " + file + ".missing");
  EXPECT_EQ(missing.ExitCode, kExitFailure);
  EXPECT_NE(missing.Output.find("File is not exists."), std::string::npos) << missing.Output;
}

TEST(ToolProcess, ReadsStandardInputAndPipesLikeFiles)
{
  const std::string file = WriteTemp("bifflens-tool-pipe.xls",
                                     InCompoundFile(TBiffBuilder()
                                                        .Bof(TExcelVersion::evExcel8, TBofType::btGlobals)
                                                        .BoundSheet("Piped", 1)
                                                        .Eof()
                                                        .Bof(TExcelVersion::evExcel8)
                                                        .Number(0, 0, 0, 7)
                                                        .Eof()
                                                        .Build()));
  const TProcessResult fromFile = RunTool("cells " + file);
  ASSERT_EQ(fromFile.ExitCode, kExitOk) << fromFile.Output;
  for (const std::string& arguments : {"cells - < " + file, "cells /dev/stdin < " + file}) {
    SCOPED_TRACE(arguments);
    const TProcessResult piped = RunTool(arguments);
    EXPECT_EQ(piped.ExitCode, kExitOk);
    EXPECT_EQ(piped.Output, fromFile.Output);
  }
  const TProcessResult throughCat = RunTool("cells - 2>&1 < /dev/null; cat " + file + " | " +
                                            std::string(BIFFLENS_CLI_PATH) + " cells -");
  EXPECT_NE(throughCat.Output.find(fromFile.Output), std::string::npos) << throughCat.Output;
}
