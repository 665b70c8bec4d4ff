// `bifflens-cli fields`: one line per record with the numbers `records`
// prints for it, the catalogue's type, and the fields under the names the
// README promises.
#include "CliRun.h"
#include "Commands.h"
#include "support/BiffBuilder.h"
#include "support/FormulaBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using json = nlohmann::json;
using enum TExcelVersion;

std::string WriteTemp(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

/// The first field named `name` among `fields` and their nested fields.
const json* Field(const json& fields, const std::string& name)
{
  for (const json& f : fields) {
    if (f["name"] == name)
      return &f;
    if (f.contains("fields"))
      if (const json* inner = Field(f["fields"], name))
        return inner;
  }
  return nullptr;
}

/// The value of field `name` of the first line of type `type`.
json ValueOf(const std::vector<json>& lines, const std::string& type, const std::string& name)
{
  for (const json& line : lines)
    if (line["type"] == type)
      if (const json* f = Field(line["fields"], name))
        return (*f)["value"];
  return nullptr;
}

/// A workbook with one record of every type the field-name contract names.
std::string ContractBook()
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .Font(240, 0x0002, 700, "Arial")
      .Format(164, "0.000")
      .Xf(164)
      .Sst(TSstBuilder().String("alpha").String("beta-gamma").SplitAt({21}))
      .BoundSheet("Data", 1)
      .Eof()
      .Bof(evExcel8)
      .ColInfo(2, 3, 2560)
      .Row(4, 0x8168)
      .LabelSst(4, 1, 0, 1)
      .MergeCells({{1, 2, 0, 3}})
      .HLinkUrl(0, 0, "http://example.com/")
      .Record(0x1FFF, TBytes().U16(7))
      .Eof();
  return WriteTemp("bifflens-fields-contract.xls", InCompoundFile(b.Build()));
}

}  // namespace

TEST(CliFields, EachLineCarriesTheNumbersTheRecordsCommandPrints)
{
  const std::string file = ContractBook();
  const TRun records = RunTool({"records", file});
  const TRun fields = RunTool({"fields", file});
  ASSERT_EQ(records.Status, kExitOk);
  ASSERT_EQ(fields.Status, kExitOk) << fields.Err;
  ASSERT_EQ(fields.Lines.size(), records.Lines.size());
  for (std::size_t i = 0; i < records.Lines.size(); ++i) {
    SCOPED_TRACE(i);
    for (const char* key : {"n", "offset", "code", "length", "name"})
      EXPECT_EQ(fields.Lines[i][key], records.Lines[i][key]) << key;
    EXPECT_TRUE(fields.Lines[i].contains("type"));
    EXPECT_TRUE(fields.Lines[i]["fields"].is_array());
  }
}

TEST(CliFields, FieldNamesOfTheContract)
{
  const TRun run = RunTool({"fields", ContractBook()});
  ASSERT_EQ(run.Status, kExitOk) << run.Err;
  const auto& l = run.Lines;
  EXPECT_EQ(ValueOf(l, "FONT", "height"), 240);
  EXPECT_EQ(ValueOf(l, "FONT", "weight"), 700);
  EXPECT_EQ(ValueOf(l, "FONT", "italic"), true);
  EXPECT_EQ(ValueOf(l, "FONT", "name"), "Arial");
  EXPECT_EQ(ValueOf(l, "FORMAT", "index"), 164);
  EXPECT_EQ(ValueOf(l, "FORMAT", "text"), "0.000");
  EXPECT_EQ(ValueOf(l, "XF", "font"), 0);
  EXPECT_EQ(ValueOf(l, "XF", "format"), 164);
  EXPECT_EQ(ValueOf(l, "BOUNDSHEET", "name"), "Data");
  EXPECT_EQ(ValueOf(l, "BOUNDSHEET", "visibility"), 0);
  EXPECT_EQ(ValueOf(l, "BOUNDSHEET", "type"), 0);
  EXPECT_TRUE(ValueOf(l, "BOUNDSHEET", "position").is_number());
  EXPECT_EQ(ValueOf(l, "COLINFO", "first_col"), 2);
  EXPECT_EQ(ValueOf(l, "COLINFO", "last_col"), 3);
  EXPECT_EQ(ValueOf(l, "COLINFO", "width"), 2560);
  EXPECT_EQ(ValueOf(l, "COLINFO", "hidden"), false);
  EXPECT_EQ(ValueOf(l, "ROW", "row"), 4);
  EXPECT_EQ(ValueOf(l, "ROW", "height"), 0x168);  // the low 15 bits
  EXPECT_EQ(ValueOf(l, "LABELSST", "row"), 4);
  EXPECT_EQ(ValueOf(l, "LABELSST", "col"), 1);
  EXPECT_EQ(ValueOf(l, "LABELSST", "xf"), 0);
  EXPECT_EQ(ValueOf(l, "LABELSST", "sst_index"), 1);
  EXPECT_EQ(ValueOf(l, "SST", "total"), 2);
  EXPECT_EQ(ValueOf(l, "SST", "unique"), 2);
  EXPECT_EQ(ValueOf(l, "HLINK", "first_row"), 0);
  EXPECT_EQ(ValueOf(l, "HLINK", "last_col"), 0);
  EXPECT_EQ(ValueOf(l, "HLINK", "target"), "http://example.com/");
  for (const json& line : l) {
    if (line["type"] != "MERGECELLS")
      continue;
    const json* range = Field((*Field(line["fields"], "ranges"))["fields"], "range");
    ASSERT_NE(range, nullptr);
    EXPECT_EQ((*Field((*range)["fields"], "first_row"))["value"], 1);
    EXPECT_EQ((*Field((*range)["fields"], "last_row"))["value"], 2);
    EXPECT_EQ((*Field((*range)["fields"], "first_col"))["value"], 0);
    EXPECT_EQ((*Field((*range)["fields"], "last_col"))["value"], 3);
  }
  // BOUNDSHEET's visibility says it in words.
  for (const json& line : l) {
    if (line["type"] == "BOUNDSHEET") {
      EXPECT_EQ((*Field(line["fields"], "visibility"))["text"], "visible");
    }
  }
}

TEST(CliFields, TheSharedStringsAreListedOnTheSstLineWithTheirRecords)
{
  const TRun run = RunTool({"fields", ContractBook()});
  for (const json& line : run.Lines) {
    if (line["type"] == "CONTINUE") {
      // The CONTINUE's own line says what it carries on.
      EXPECT_EQ(line["fields"][0]["text"], "part 1 of record " + std::to_string(line["n"].get<int>() - 1) + " (SST)");
      continue;
    }
    if (line["type"] != "SST")
      continue;
    const json* strings = Field(line["fields"], "strings");
    ASSERT_NE(strings, nullptr);
    std::vector<std::string> texts;
    for (const json& s : (*strings)["fields"]) {
      EXPECT_EQ((*Field(s["fields"], "index"))["value"], texts.size());
      texts.push_back((*Field(s["fields"], "text"))["value"]);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"alpha", "beta-gamma"}));
    // "beta-gamma" goes on in the CONTINUE record after the SST.
    const json& second = (*strings)["fields"][1];
    const json* rest = Field(second["fields"], "text_continued");
    ASSERT_NE(rest, nullptr);
    EXPECT_EQ((*rest)["record"], line["n"].get<int>() + 1);
  }
}

TEST(CliFields, ARecordWithoutALayoutIsOneRawField)
{
  const TRun run = RunTool({"fields", ContractBook()});
  for (const json& line : run.Lines) {
    if (line["code"] != 0x1FFF)
      continue;
    EXPECT_EQ(line["decoded"], false);
    EXPECT_TRUE(line["type"].is_null());
    ASSERT_EQ(line["fields"].size(), 1u);
    EXPECT_EQ(line["fields"][0]["name"], "data");
    EXPECT_EQ(line["fields"][0]["size"], 2);
    EXPECT_EQ(line["fields"][0]["text"], "no layout for this record type");
    return;
  }
  ADD_FAILURE() << "no unknown record listed";
}

TEST(CliFields, RecordNAloneAndNumbersPastTheEnd)
{
  const std::string file = ContractBook();
  const TRun all = RunTool({"fields", file});
  const TRun one = RunTool({"fields", file, "3"});
  ASSERT_EQ(one.Status, kExitOk);
  ASSERT_EQ(one.Lines.size(), 1u);
  EXPECT_EQ(one.Lines[0], all.Lines[2]);
  const TRun past = RunTool({"fields", file, std::to_string(all.Lines.size() + 1)});
  EXPECT_EQ(past.Status, kExitFailure);
  EXPECT_EQ(past.Err, "bifflens-cli: " + file + ": Record " + std::to_string(all.Lines.size() + 1) + " does not exist: the workbook has " +
                          std::to_string(all.Lines.size()) + " records.\n");
  EXPECT_EQ(RunTool({"fields", file, "0"}).Status, kExitUsage);
  EXPECT_EQ(RunTool({"fields"}).Status, kExitUsage);
}

TEST(CliFields, AFailedLoadStillDescribesTheRecordsRead)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).FilePassRc4(0x40).BoundSheet("S", 1).Eof().Bof(evExcel8).Eof();
  const TRun run = RunTool({"fields", WriteTemp("bifflens-fields-encrypted.xls", InCompoundFile(b.Build()))});
  // No password opens it: every record is listed, those after FILEPASS as
  // encrypted data, a BOUNDSHEET's plain position apart.
  EXPECT_EQ(run.Status, kExitFailure);
  ASSERT_EQ(run.Lines.size(), 6u);
  EXPECT_EQ(run.Lines[1]["type"], "FILEPASS");
  EXPECT_EQ((*Field(run.Lines[1]["fields"], "minor_version"))["text"], "RC4 1.1");
  EXPECT_EQ(run.Lines[2]["type"], "BOUNDSHEET");
  EXPECT_NE(Field(run.Lines[2]["fields"], "position"), nullptr);
  const auto* rest = Field(run.Lines[2]["fields"], "encrypted_data");
  ASSERT_NE(rest, nullptr);
  EXPECT_EQ((*rest)["text"], "encrypted, not decoded without the password");
  EXPECT_EQ(run.Lines[4]["type"], "BOF");
}

// The command describes a formula as the Fields pane does: its text as the
// "formula" field's meaning, each token a field inside it over its bytes.
TEST(CliFields, AFormulaRecordListsItsTextAndItsTokens)
{
  const auto sum = TFormulaBuilder().Ref(0, 0).Ref(0, 1).Op(kFbDiv).Int(2)
                       .FuncVar(4, 2).Build();  // SUM(A1/B1,2)
  const auto shared = TFormulaBuilder().RefN(0, -1).Int(1).Op(kFbAdd).Build();
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .Name("Total", TFormulaBuilder().Ref3d(0, 0, 0, false).Build().Tokens)
      .ExternSheet8({{0, 0, 0}})
      .SupBookSelf(1)
      .BoundSheet("Data", 1)
      .Eof()
      .Bof(evExcel8)
      .FormulaTokens(0, 2, 0, sum.Tokens)
      .SharedFormula(1, 2, 1, 1, shared.Tokens)
      .Eof();
  const std::string file = WriteTemp("bifflens-fields-formulas.xls", InCompoundFile(b.Build()));
  const TRun run = RunTool({"fields", file});
  ASSERT_EQ(run.Status, kExitOk) << run.Err;
  const struct {
    const char* Type;
    const char* Text;
    std::vector<std::string> Tokens;
  } expected[] = {
      {"NAME", "=Data!$A$1", {"tRef3dV"}},
      {"FORMULA", "=SUM(A1/B1,2)", {"tRefV", "tRefV", "tDiv", "tInt", "tFuncVarV"}},
      {"SHRFMLA", "=A2+1", {"tRefNV", "tInt", "tAdd"}},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.Type);
    const json* formula = nullptr;
    for (const json& line : run.Lines)
      if (line["type"] == e.Type)
        formula = Field(line["fields"], "formula");
    ASSERT_NE(formula, nullptr);
    EXPECT_EQ((*formula)["text"], e.Text);
    std::vector<std::string> names;
    std::int64_t end = (*formula)["offset"].get<std::int64_t>();
    for (const json& token : (*formula)["fields"]) {
      names.push_back(token["name"]);
      EXPECT_EQ(token["offset"].get<std::int64_t>(), end) << "tokens lie one after the other";
      end += token["size"].get<std::int64_t>();
    }
    EXPECT_EQ(names, e.Tokens);
  }
}
