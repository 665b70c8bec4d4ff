// `macros`: one JSON line per finding with its kind and where it lies, exit
// 0 with or without findings; `lint` adds the macro findings beside its
// checks.

#include "CliRun.h"
#include "support/BiffBuilder.h"
#include "support/FormulaBuilder.h"
#include "support/VbaBuilder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

using json = nlohmann::json;
using enum TExcelVersion;

std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
  const auto path =
      std::filesystem::temp_directory_path() / ("bifflens-macros-" + std::to_string(getpid()) + "-" + name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

/// A workbook with a VBA module, a macro sheet run by Auto_Open, a very
/// hidden sheet and a hyperlink.
std::string MacroBook()
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .BoundSheet("Data", 1, false, 0, 2)
      .BoundSheet("Macro1", 2, false, 1)
      .SupBookSelf(2)
      .ExternSheet8({{0, 1, 1}})
      .Name("\x01", TFormulaBuilder().Ref3d(0, 0, 0, false).Build().Tokens, 0, 0x0020)
      .Eof();
  b.Bof(evExcel8).HLinkUrl(0, 0, "http://example.com/").Eof();
  b.Bof(evExcel8, TBofType::btMacroSheet).FormulaTokens(0, 0, 0, TFormulaBuilder().FuncVar(55, 0).Build().Tokens).Eof();
  return WriteFile("book.xls", TVbaFileBuilder()
                                   .Workbook(b.Build())
                                   .Module("Module1", "Attribute VB_Name = \"Module1\"\r\nSub Auto_Open()\r\nEnd Sub\r\n")
                                   .Build());
}

TEST(MacrosCommand, PrintsEachFindingWithItsKindAndPlace)
{
  const TRun run = RunTool({"macros", MacroBook()});
  EXPECT_EQ(run.Status, 0) << run.Err;
  ASSERT_EQ(run.Lines.size(), 6u) << run.Err;
  EXPECT_EQ(run.Lines[0],
            json::parse(R"j({"kind": "vba", "stream": "_VBA_PROJECT_CUR/VBA/Module1", "module": "Module1",
                            "type": "standard", "code": "Attribute VB_Name = \"Module1\"\r\nSub Auto_Open()\r\nEnd Sub\r\n",
                            "error": null, "stomped": false})j"));
  EXPECT_EQ(run.Lines[1],
            json::parse(R"j({"kind": "xlm", "n": 12, "offset": 245, "sheet": "Macro1", "cell": "A1", "formula": "RETURN()"})j"));
  EXPECT_EQ(run.Lines[2], json::parse(R"j({"kind": "trigger", "n": 6, "offset": 74, "name": "Auto_Open",
                                          "where": "Macro1!$A$1"})j"));
  EXPECT_EQ(run.Lines[3], json::parse(R"j({"kind": "trigger", "n": null, "offset": null,
                                          "stream": "_VBA_PROJECT_CUR/VBA/Module1", "name": "Auto_Open",
                                          "where": "Module1", "line": 2})j"));
  EXPECT_EQ(run.Lines[4], json::parse(R"j({"kind": "hidden", "n": 2, "offset": 20, "what": "sheet", "name": "Data",
                                          "state": "very hidden"})j"));
  EXPECT_EQ(run.Lines[5]["kind"], "link");
  EXPECT_EQ(run.Lines[5]["type"], "hyperlink");
  EXPECT_EQ(run.Lines[5]["target"], "http://example.com/");
  EXPECT_EQ(run.Lines[5]["n"], 9);
}

TEST(MacrosCommand, ExitsZeroWithoutFindingsAndSaysHowToUseIt)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Data", 1).Eof().Bof(evExcel8).Number(0, 0, 0, 1).Eof();
  const TRun plain = RunTool({"macros", WriteFile("plain.xls", InCompoundFile(b.Build()))});
  EXPECT_EQ(plain.Status, 0);
  EXPECT_TRUE(plain.Lines.empty());
  EXPECT_EQ(plain.Err, "");

  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunCli(std::vector<std::string>{"macros", "--help"}, out, err), 0);
  EXPECT_NE(out.str().find("Usage: bifflens-cli macros FILE"), std::string::npos);
  EXPECT_EQ(RunTool({"macros"}).Status, 2);
  EXPECT_EQ(RunTool({"macros", "a.xls", "b.xls"}).Status, 2);
  const TRun missing = RunTool({"macros", "/nonexistent/book.xls"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_FALSE(missing.Err.empty());
}

TEST(LintCommand, AddsTheMacroFindingsBesideItsChecks)
{
  const TRun run = RunTool({"lint", MacroBook()});
  EXPECT_EQ(run.Status, 0) << run.Err;
  std::vector<std::string> checks;
  for (const json& line : run.Lines)
    if (line["check"] != "unknown-record")
      checks.push_back(line["severity"].get<std::string>() + " " + line["check"].get<std::string>());
  EXPECT_EQ(checks, (std::vector<std::string>{"info vba-project", "info xlm-macro-sheet", "info autorun",
                                              "info autorun", "info very-hidden-sheet"}));
}

}  // namespace
