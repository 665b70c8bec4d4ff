// `cells --formulas` and `names`: formula text on each formula cell's line,
// shared formulas re-based on their cells, a formula that cannot be read
// marked on its own line, and every defined name with its formula.

#include "Commands.h"
#include "support/BiffBuilder.h"
#include "support/FormulaBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using json = nlohmann::json;
using enum TExcelVersion;

std::vector<json> Lines(const std::vector<std::string>& args, int& status)
{
  std::ostringstream out;
  std::ostringstream err;
  status = RunCli(args, out, err);
  std::vector<json> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);)
    lines.push_back(json::parse(line));
  return lines;
}

std::string WriteBook(const std::vector<std::uint8_t>& bytes)
{
  const auto path = std::filesystem::temp_directory_path() / "bifflens-formulas.xls";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

/// Sheet1: A1 = 2; B1 = A1*3; B2:B3 share "A1+10" re-based; C1 cut short.
/// Sheet "My Data" and a name of each scope.
std::vector<std::uint8_t> FormulaBook()
{
  const auto times3 = TFormulaBuilder().Ref(0, 0).Int(3).Op(kFbMul).Build().Tokens;
  const auto shared = TFormulaBuilder().RefN(-1, -1).Int(10).Op(kFbAdd).Build().Tokens;
  const auto exp = TFormulaBuilder().Exp(1, 1).Build().Tokens;
  const auto total = TFormulaBuilder().Ref3d(1, 0, 0, false).Build().Tokens;
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .BoundSheet("Sheet1", 1)
      .BoundSheet("My Data", 2)
      .SupBookSelf(2)
      .ExternSheet8({{0, 0, 0}, {0, 1, 1}})
      .Name("Total", total)
      .Name("Local", times3, 1, 0x0001)
      .Eof();
  b.Bof(evExcel8)
      .Number(0, 0, 0, 2)
      .FormulaTokens(0, 1, 6, times3)
      .FormulaTokens(1, 1, 12, exp)
      .SharedFormula(1, 2, 1, 1, shared)
      .FormulaTokens(2, 1, 12, exp)
      .FormulaTokens(0, 2, 0, {0x44, 0x00})  // tRef cut short
      .Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 1).Eof();
  return InCompoundFile(b.Build());
}

}  // namespace

TEST(CellsWithFormulas, EachFormulaCellCarriesItsTextOrWhyNot)
{
  const std::string file = WriteBook(FormulaBook());
  int status = 0;
  const auto plain = Lines({"cells", file}, status);
  const auto lines = Lines({"cells", "--formulas", file}, status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(lines.size(), plain.size());
  std::map<std::pair<int, int>, json> sheet1;
  auto at = [&](int row, int column) -> const json& { return sheet1[std::make_pair(row, column)]; };
  for (const json& line : lines)
    if (line["sheet"] == 0)
      sheet1[std::make_pair(line["row"].get<int>(), line["col"].get<int>())] = line;
  EXPECT_FALSE(at(0, 0).contains("formula"));
  EXPECT_EQ(at(0, 1)["formula"], "A1*3");
  EXPECT_EQ(at(1, 1)["formula"], "A1+10");
  EXPECT_EQ(at(2, 1)["formula"], "A2+10");
  EXPECT_EQ(at(0, 1)["value"], 6.0);
  EXPECT_TRUE(at(0, 2).contains("formula_error"));
  EXPECT_FALSE(at(0, 2).contains("formula"));
  // Without the option the lines are as they always were.
  for (std::size_t i = 0; i < plain.size(); ++i) {
    json stripped = lines[i];
    stripped.erase("formula");
    stripped.erase("formula_error");
    EXPECT_EQ(stripped, plain[i]);
  }
}

TEST(NamesCommand, ListsEveryNameWithItsScopeAndFormula)
{
  const std::string file = WriteBook(FormulaBook());
  int status = 0;
  const auto lines = Lines({"names", file}, status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], json::parse(R"({"name":"Total","sheet":null,"hidden":false,"builtin":false,
                                      "formula":"'My Data'!$A$1"})"));
  EXPECT_EQ(lines[1]["name"], "Local");
  EXPECT_EQ(lines[1]["sheet"], "Sheet1");
  EXPECT_EQ(lines[1]["hidden"], true);
  EXPECT_EQ(lines[1]["formula"], "A1*3");
  EXPECT_EQ(Lines({"names"}, status).size(), 0u);
  EXPECT_EQ(status, 2);
}
