// What a new user of the tool meets first: every command's help, the errors'
// common form, a file that is no workbook, the version label in `stats` and
// the record types in `records`.
#include "CliRun.h"
#include "Commands.h"
#include "xls/compare/WorkbookDiff.h"
#include "xls/records/RecordTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using TArgs = std::vector<std::string>;

namespace {

struct TText {
  int Status = 0;
  std::string Out, Err;
};
TText RunText(const TArgs& args)
{
  std::ostringstream out, err;
  const int status = RunCli(args, out, err);
  return {status, out.str(), err.str()};
}

std::string Corpus(const char* name) { return (fs::path(BIFFLENS_CORPUS_DIR) / name).string(); }

bool StartsWith(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }

const char* const kCommands[] = {"records", "cells", "names", "hex", "fields", "stats",
                                 "container", "lint", "macros", "csv", "diff", "eval"};

}  // namespace

TEST(CliHelp, ComesOnStandardOutputWhereverItStandsAndIsNeverTakenForAFile)
{
  std::vector<TArgs> cases = {{"cells", "--formulas", "--help"}, {"fields", "--help", "3"},
                              {"hex", "book.xls", "--help"}};
  for (const char* command : kCommands) {
    cases.push_back({command, "--help"});
    const std::string asked = RunText({command, "--help"}).Out;
    EXPECT_EQ(RunText({"help", command}).Out, asked) << command;
    if (std::string(command) != "diff" && std::string(command) != "csv") {
      EXPECT_EQ(RunText({command, "-h"}).Out, asked) << command;
    }
  }
  for (const TArgs& args : cases) {
    const TText run = RunText(args);
    EXPECT_EQ(run.Status, kExitOk) << args[0] << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_TRUE(StartsWith(run.Out, "Usage: bifflens-cli " + args[0])) << run.Out;
    EXPECT_EQ(run.Out.find("{\""), std::string::npos) << run.Out;
  }
  const TText unknown = RunText({"help", "frobnicate"});
  EXPECT_EQ(unknown.Status, kExitUsage);
  EXPECT_TRUE(StartsWith(unknown.Err, "bifflens-cli: "));
  EXPECT_NE(RunText({"help"}).Out.find("help [COMMAND]"), std::string::npos);
}

TEST(CliErrors, StartWithTheToolsNameAndNameTheFileOrGiveTheUsage)
{
  const std::string missing = (fs::temp_directory_path() / "bifflens no such book.xls").string();
  for (const std::string command : kCommands) {
    if (command == "eval")
      continue;
    TArgs args = {command, missing};
    if (command == "hex" || command == "diff")
      args.push_back(command == "hex" ? "1" : missing);
    const TText run = RunText(args);
    EXPECT_NE(run.Status, kExitOk) << command;
    EXPECT_TRUE(StartsWith(run.Err, "bifflens-cli: " + missing + ": ")) << run.Err;
  }
  for (const TArgs& args : {TArgs{"records"}, TArgs{"stats", "a", "b"}, TArgs{"container"}, TArgs{"lint"},
                            TArgs{"fields"}, TArgs{"macros"}, TArgs{"diff", "a"}}) {
    const TText run = RunText(args);
    EXPECT_EQ(run.Status, kExitUsage) << args[0];
    EXPECT_TRUE(StartsWith(run.Err, "bifflens-cli: ")) << run.Err;
    EXPECT_NE(run.Err.find("Usage: bifflens-cli " + args[0]), std::string::npos) << run.Err;
  }
}

TEST(CliNoBof, AFileWithoutABofIsNoWorkbookButWhatWasReadIsListed)
{
  const std::string file = Corpus("calamine__too_small.xls");
  if (!fs::exists(file))
    GTEST_SKIP() << "corpus not found";
  const TRun stats = RunTool({"stats", file});
  EXPECT_EQ(stats.Status, kExitFailure);
  EXPECT_EQ(stats.Err, "bifflens-cli: " + file + ": Not a BIFF stream: no BOF record opens a substream.\n");
  ASSERT_EQ(stats.Lines.size(), 1u);
  EXPECT_TRUE(stats.Lines[0]["sheets"].empty());
  EXPECT_TRUE(stats.Lines[0]["biff"].is_null());
  EXPECT_EQ(stats.Lines[0]["version"], "evUnknown");
  const TRun lint = RunTool({"lint", file});
  EXPECT_EQ(lint.Status, kExitFailure);
  EXPECT_TRUE(std::any_of(lint.Lines.begin(), lint.Lines.end(), [](const nlohmann::json& f) {
    return f["check"] == "no-bof" && f["severity"] == "error";
  }));
  const TRun records = RunTool({"records", file});
  EXPECT_EQ(records.Status, kExitFailure);
  EXPECT_FALSE(records.Lines.empty());
  EXPECT_TRUE(RunTool({"cells", file}).Lines.empty());
}

TEST(CliContainer, ABareStreamHasNoCompoundFileAndThatIsNoFailure)
{
  const std::string bare = Corpus("xlrd__biff4_no_format_no_window2.xls");
  if (!fs::exists(bare))
    GTEST_SKIP() << "corpus not found";
  const TRun run = RunTool({"container", bare});
  EXPECT_EQ(run.Status, kExitOk) << run.Err;
  ASSERT_EQ(run.Lines.size(), 1u);
  EXPECT_EQ(run.Lines[0]["kind"], "none");
  EXPECT_EQ(run.Lines[0]["compound"], false);
  EXPECT_EQ(run.Lines[0]["file_size"], fs::file_size(bare));
  EXPECT_EQ(RunTool({"container", Corpus("xlrd__profiles.xls")}).Lines.at(0)["kind"], "header");
}

TEST(CliStatsAndRecords, LabelTheVersionAsTheViewerDoesAndGiveEachRecordTheFieldsCommandsType)
{
  for (const auto& [name, label] : {std::pair{"xlrd__profiles.xls", "BIFF8"},
                                    {"libxls__biff5-label-records.xls", "BIFF5/7"},
                                    {"xlrd__biff4_no_format_no_window2.xls", "BIFF4"},
                                    {"calamine__xls_formula.xls", "BIFF8"}}) {
    if (!fs::exists(Corpus(name)))
      GTEST_SKIP() << "corpus not found";
    const TRun stats = RunTool({"stats", Corpus(name)});
    ASSERT_EQ(stats.Lines.size(), 1u) << name;
    EXPECT_EQ(stats.Lines[0]["biff"], label) << name;
    const TRun records = RunTool({"records", Corpus(name)});
    const TRun fields = RunTool({"fields", Corpus(name)});
    ASSERT_EQ(records.Status, kExitOk) << records.Err;
    ASSERT_EQ(records.Lines.size(), fields.Lines.size()) << name;
    for (std::size_t i = 0; i < records.Lines.size(); ++i) {
      const nlohmann::json& record = records.Lines[i];
      ASSERT_TRUE(record.contains("type")) << record.dump();
      EXPECT_EQ(record["type"], fields.Lines[i]["type"]) << record.dump();
      // The version's own name, never the list's versioned one.
      for (const char* type : {"XF", "FORMAT", "FONT"})
        if (record["name"].get<std::string>().starts_with(type)) {
          EXPECT_EQ(record["type"], type) << record.dump();
        }
    }
  }
}

TEST(RecordCatalogueName, NamesEveryTypeOnceForAllVersionsAsTheComparisonDoes)
{
  for (const auto& [code, type] : {std::pair<std::uint16_t, const char*>{0x0043, "XF"}, {0x0243, "XF"},
                                   {0x0443, "XF"}, {0x00E0, "XF"}, {0x041E, "FORMAT"}, {0x001E, "FORMAT"},
                                   {0x0231, "FONT"}, {0x0809, "BOF"}, {0x0009, "BOF"}, {0x0867, "FEATHEADR"},
                                   {0x0003, "NUMBER"}, {0x027E, "RK"}, {0x0022, "DATEMODE"}}) {
    ASSERT_NE(RecordCatalogueName(code), nullptr) << code;
    EXPECT_STREQ(RecordCatalogueName(code), type) << code;
    EXPECT_EQ(DiffTypeName(code), type);
  }
  EXPECT_EQ(RecordCatalogueName(0x7441), nullptr);
  EXPECT_EQ(DiffTypeName(0x7441), "0x7441");
}
