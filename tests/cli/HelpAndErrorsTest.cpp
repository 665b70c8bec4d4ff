// What a new user of the tool meets first: every command's help, the
// errors' common form, the record types in `records`, the version label in
// `stats`, and a file that is no workbook.
#include "CliRun.h"
#include "Commands.h"
#include "xls/compare/WorkbookDiff.h"
#include "xls/records/RecordTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct TText {
  int Status = 0;
  std::string Out;
  std::string Err;
};

TText RunText(const std::vector<std::string>& args)
{
  std::ostringstream out;
  std::ostringstream err;
  TText run;
  run.Status = RunCli(args, out, err);
  run.Out = out.str();
  run.Err = err.str();
  return run;
}

fs::path Corpus(const char* name)
{
  return fs::path(BIFFLENS_CORPUS_DIR) / name;
}

const char* const kCommands[] = {"records", "cells", "names",  "hex",  "fields", "stats",
                                 "container", "lint", "macros", "csv", "diff",   "eval"};

}  // namespace

TEST(CliHelp, EveryCommandHasItsHelpOnStandardOutputWithExitZero)
{
  for (const char* command : kCommands) {
    SCOPED_TRACE(command);
    const TText asked = RunText({command, "--help"});
    EXPECT_EQ(asked.Status, kExitOk) << asked.Err;
    EXPECT_EQ(asked.Err, "");
    EXPECT_EQ(asked.Out.rfind(std::string("Usage: bifflens-cli ") + command, 0), 0u) << asked.Out;
    // The same text through `help COMMAND`, and with -h.
    EXPECT_EQ(RunText({"help", command}).Out, asked.Out);
    if (std::string(command) != "diff" && std::string(command) != "csv") {
      EXPECT_EQ(RunText({command, "-h"}).Out, asked.Out);
    }
  }
  const TText unknown = RunText({"help", "frobnicate"});
  EXPECT_EQ(unknown.Status, kExitUsage);
  EXPECT_EQ(unknown.Err.rfind("bifflens-cli: ", 0), 0u);
  // The tool's own help lists `help`.
  EXPECT_NE(RunText({"help"}).Out.find("help [COMMAND]"), std::string::npos);
}

TEST(CliHelp, HelpIsNeverTakenForAFileName)
{
  // Where a file name would stand, and after one: the help, nothing read.
  const std::vector<std::vector<std::string>> cases = {
      {"stats", "--help"}, {"records", "--help"}, {"cells", "--formulas", "--help"},
      {"fields", "--help", "3"}, {"hex", "book.xls", "--help"}, {"lint", "--help"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    const TText run = RunText(args);
    EXPECT_EQ(run.Status, kExitOk);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out.find("{\""), std::string::npos);
    EXPECT_NE(run.Out.find("Usage: bifflens-cli " + args[0]), std::string::npos);
  }
}

TEST(CliErrors, StartWithTheToolsNameAndNameTheFile)
{
  const std::string missing = (fs::temp_directory_path() / "bifflens no such book.xls").string();
  const std::vector<std::vector<std::string>> cases = {
      {"records", missing},   {"cells", missing},     {"names", missing},  {"hex", missing, "1"},
      {"fields", missing},    {"stats", missing},     {"container", missing}, {"lint", missing},
      {"macros", missing},    {"csv", missing},       {"diff", missing, missing}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0]);
    const TText run = RunText(args);
    EXPECT_NE(run.Status, kExitOk);
    EXPECT_EQ(run.Err.rfind("bifflens-cli: " + missing + ": ", 0), 0u) << run.Err;
  }
  // Bad command lines too, with the usage after.
  for (const auto& args : std::vector<std::vector<std::string>>{{"records"}, {"stats", "a", "b"}, {"container"},
                                                                {"lint"}, {"fields"}, {"macros"}, {"diff", "a"}}) {
    SCOPED_TRACE(args[0]);
    const TText run = RunText(args);
    EXPECT_EQ(run.Status, kExitUsage);
    EXPECT_EQ(run.Err.rfind("bifflens-cli: ", 0), 0u) << run.Err;
    EXPECT_NE(run.Err.find("Usage: bifflens-cli " + args[0]), std::string::npos) << run.Err;
  }
}

TEST(CliNoBof, AFileWithoutABofIsNoWorkbook)
{
  const fs::path file = Corpus("calamine__too_small.xls");
  if (!fs::exists(file))
    GTEST_SKIP() << "corpus not found";
  const TRun stats = RunTool({"stats", file.string()});
  EXPECT_EQ(stats.Status, kExitFailure);
  EXPECT_EQ(stats.Err, "bifflens-cli: " + file.string() + ": Not a BIFF stream: no BOF record opens a substream.\n");
  ASSERT_EQ(stats.Lines.size(), 1u);
  EXPECT_TRUE(stats.Lines[0]["sheets"].empty());
  EXPECT_TRUE(stats.Lines[0]["biff"].is_null());
  EXPECT_EQ(stats.Lines[0]["version"], "evUnknown");
  // The structure check says the same, as an error.
  const TRun lint = RunTool({"lint", file.string()});
  EXPECT_EQ(lint.Status, kExitFailure);
  bool noBof = false;
  for (const nlohmann::json& finding : lint.Lines)
    noBof = noBof || (finding["check"] == "no-bof" && finding["severity"] == "error");
  EXPECT_TRUE(noBof);
  // What was read is still listed.
  const TRun records = RunTool({"records", file.string()});
  EXPECT_EQ(records.Status, kExitFailure);
  EXPECT_FALSE(records.Lines.empty());
  const TRun cells = RunTool({"cells", file.string()});
  EXPECT_TRUE(cells.Lines.empty());
}

TEST(CliStats, LabelsTheVersionAsTheViewerDoes)
{
  const std::pair<const char*, const char*> cases[] = {
      {"xlrd__profiles.xls", "BIFF8"}, {"libxls__biff5-label-records.xls", "BIFF5/7"},
      {"xlrd__biff4_no_format_no_window2.xls", "BIFF4"}};
  for (const auto& [name, label] : cases) {
    SCOPED_TRACE(name);
    const fs::path file = Corpus(name);
    if (!fs::exists(file))
      GTEST_SKIP() << "corpus not found";
    const TRun run = RunTool({"stats", file.string()});
    ASSERT_EQ(run.Lines.size(), 1u);
    EXPECT_EQ(run.Lines[0]["biff"], label);
  }
}

TEST(CliContainer, ABareStreamHasNoCompoundFileAndThatIsNoFailure)
{
  const fs::path bare = Corpus("xlrd__biff4_no_format_no_window2.xls");
  if (!fs::exists(bare))
    GTEST_SKIP() << "corpus not found";
  const TRun run = RunTool({"container", bare.string()});
  EXPECT_EQ(run.Status, kExitOk) << run.Err;
  EXPECT_EQ(run.Err, "");
  ASSERT_EQ(run.Lines.size(), 1u);
  EXPECT_EQ(run.Lines[0]["kind"], "none");
  EXPECT_EQ(run.Lines[0]["compound"], false);
  EXPECT_EQ(run.Lines[0]["file_size"], fs::file_size(bare));
  // A compound file still shows its container.
  const TRun compound = RunTool({"container", Corpus("xlrd__profiles.xls").string()});
  EXPECT_EQ(compound.Status, kExitOk);
  EXPECT_EQ(compound.Lines.at(0)["kind"], "header");
}

TEST(CliRecords, EachRecordHasTheTypeTheFieldsCommandGivesIt)
{
  for (const char* name : {"xlrd__profiles.xls", "xlrd__biff4_no_format_no_window2.xls", "calamine__xls_formula.xls"}) {
    SCOPED_TRACE(name);
    const fs::path file = Corpus(name);
    if (!fs::exists(file))
      GTEST_SKIP() << "corpus not found";
    const TRun records = RunTool({"records", file.string()});
    const TRun fields = RunTool({"fields", file.string()});
    ASSERT_EQ(records.Status, kExitOk) << records.Err;
    ASSERT_EQ(records.Lines.size(), fields.Lines.size());
    for (std::size_t i = 0; i < records.Lines.size(); ++i) {
      const nlohmann::json& record = records.Lines[i];
      ASSERT_TRUE(record.contains("type"));
      EXPECT_EQ(record["type"], fields.Lines[i]["type"]) << record.dump();
      // The version's own name, never the list's versioned one.
      const std::string listName = record["name"];
      if (listName.starts_with("XF") || listName.starts_with("FORMAT") || listName.starts_with("FONT")) {
        const std::string type = record["type"];
        EXPECT_TRUE(type == "XF" || type == "FORMAT" || type == "FONT") << type;
      }
    }
  }
}

TEST(RecordCatalogueName, NamesEveryTypeOnceForAllVersions)
{
  // Codes whose list names carry their version: one type each.
  const std::pair<std::uint16_t, const char*> cases[] = {
      {0x0043, "XF"},     {0x0243, "XF"},       {0x0443, "XF"},        {0x00E0, "XF"},   {0x041E, "FORMAT"},
      {0x001E, "FORMAT"}, {0x0231, "FONT"},     {0x0809, "BOF"},       {0x0009, "BOF"},  {0x0867, "FEATHEADR"},
      {0x0003, "NUMBER"}, {0x027E, "RK"},       {0x0022, "DATEMODE"}};
  for (const auto& [code, type] : cases) {
    ASSERT_NE(RecordCatalogueName(code), nullptr) << code;
    EXPECT_STREQ(RecordCatalogueName(code), type) << code;
    // The comparison names records the same way.
    EXPECT_EQ(DiffTypeName(code), type);
  }
  EXPECT_EQ(RecordCatalogueName(0x7441), nullptr);
  EXPECT_EQ(DiffTypeName(0x7441), "0x7441");
}
