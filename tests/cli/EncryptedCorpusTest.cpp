// The encrypted workbooks of the corpus through the tool: each opens with
// its password, given on the command line (before or after the command) or
// from the environment, and its cells agree with the plain workbook's; each
// lists, without the right password, exactly the records of the independent
// walk and then fails with the reader's message.
#include "CliRun.h"
#include "Commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr char kLockedMessage[] = "Could not read the password protected file.\n";

struct TFixture {
  const char* File;
  const char* Password;
  const char* Scheme;
};

const TFixture kFixtures[] = {
    {"enc_rc4_bifflens.xls", "bifflens", "RC4"},
    {"enc_rc4_bifflens_ministream.xls", "bifflens", "RC4"},
    {"enc_cryptoapi_tarvex.xls", "Tarvex-2026", "RC4 CryptoAPI"},
    {"enc_cryptoapi40_tarvex.xls", "Tarvex-2026", "RC4 CryptoAPI"},
    {"enc_xor8_abc.xls", "abc", "XOR obfuscation"},
    {"enc_xor5_abc.xls", "abc", "XOR obfuscation (BIFF2-5)"},
    {"enc_xor5_abc_formula.xls", "abc", "XOR obfuscation (BIFF2-5)"},
    {"enc_rc4_default.xls", "VelvetSweatshop", "RC4"},
    {"enc_rc4_after_writeprot.xls", "bifflens", "RC4"},
};

fs::path Dir()
{
  return fs::path(BIFFLENS_CORPUS_DIR) / "encrypted";
}

class EncryptedCorpusTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ::unsetenv("BIFFLENS_PASSWORD");
    if (!fs::is_directory(Dir() / "reference"))
      GTEST_SKIP() << "encrypted corpus not found at " << Dir();
  }
  void TearDown() override { ::unsetenv("BIFFLENS_PASSWORD"); }
};

bool SameCell(const json& ours, const json& peer, bool shiftDates)
{
  std::string type = ours["type"];
  if (type == "integer")
    type = "double";
  if (type != peer["type"])
    return false;
  if (type == "date")
    return ours["value"].get<double>() == peer["value"].get<double>() + (shiftDates ? 1462.0 : 0.0);
  if (type == "double")
    return ours["value"].get<double>() == peer["value"].get<double>();
  return ours["value"] == peer["value"];
}

}  // namespace

TEST_F(EncryptedCorpusTest, EveryFixtureOpensWithItsPasswordAndAgreesWithThePlainWorkbook)
{
  for (const TFixture& f : kFixtures) {
    SCOPED_TRACE(f.File);
    const std::string file = (Dir() / f.File).string();
    const TRun run = RunTool({"cells", file, "--password", f.Password});
    ASSERT_EQ(run.Status, kExitOk) << run.Err;
    const auto reference = JsonFile(Dir() / "reference" / (std::string(f.File) + ".jsonl"));
    ASSERT_GT(reference.size(), 1u);
    std::map<std::tuple<int, int, int>, json> ours;
    for (const json& cell : run.Lines)
      ours[{cell["sheet"], cell["row"], cell["col"]}] = cell;
    const bool shiftDates = reference[0]["datemode"] == 1;
    for (std::size_t i = 1; i < reference.size(); ++i) {
      const json& peer = reference[i];
      const auto it = ours.find({peer["sheet"], peer["row"], peer["col"]});
      ASSERT_NE(it, ours.end()) << peer.dump();
      EXPECT_TRUE(SameCell(it->second, peer, shiftDates)) << peer.dump() << "\nours: " << it->second.dump();
      EXPECT_EQ(it->second["caption"], peer["caption"]);
      ours.erase(it);
    }
    EXPECT_TRUE(ours.empty()) << ours.size() << " cells the peer does not see";
  }
}

TEST_F(EncryptedCorpusTest, ThePasswordComesBeforeOrAfterTheCommandOrFromTheEnvironment)
{
  const std::string file = (Dir() / "enc_cryptoapi_tarvex.xls").string();
  const json opened = json::parse(R"({"scheme":"RC4 CryptoAPI","opened":true})");
  const TRun before = RunTool({"--password", "Tarvex-2026", "stats", file});
  ASSERT_EQ(before.Status, kExitOk) << before.Err;
  EXPECT_EQ(before.Lines.at(0)["encryption"], opened);
  const TRun joined = RunTool({"stats", file, "--password=Tarvex-2026"});
  EXPECT_EQ(joined.Status, kExitOk) << joined.Err;
  ::setenv("BIFFLENS_PASSWORD", "Tarvex-2026", 1);
  const TRun fromEnvironment = RunTool({"stats", file});
  EXPECT_EQ(fromEnvironment.Status, kExitOk) << fromEnvironment.Err;
  EXPECT_EQ(fromEnvironment.Lines.at(0)["encryption"], opened);
  // The command line wins over the environment.
  const TRun overridden = RunTool({"stats", file, "--password", "wrong"});
  EXPECT_EQ(overridden.Status, kExitFailure);
}

TEST_F(EncryptedCorpusTest, WithoutTheRightPasswordTheWholeWalkIsListedThenTheMessage)
{
  for (const TFixture& f : kFixtures) {
    if (std::string_view(f.Password) == "VelvetSweatshop")
      continue;  // opens without one
    for (const std::vector<std::string>& password : {std::vector<std::string>{},
                                                     std::vector<std::string>{"--password", "not it"}}) {
      SCOPED_TRACE(std::string(f.File) + (password.empty() ? " without a password" : " with a wrong one"));
      std::vector<std::string> args{"records", (Dir() / f.File).string()};
      args.insert(args.end(), password.begin(), password.end());
      const TRun run = RunTool(args);
      EXPECT_EQ(run.Status, kExitFailure);
      EXPECT_EQ(run.Err, "bifflens-cli: " + (Dir() / f.File).string() + ": " + kLockedMessage);
      const auto walk = JsonFile(Dir() / "records" / (std::string(f.File) + ".jsonl"));
      ASSERT_EQ(run.Lines.size() + 1, walk.size());
      for (std::size_t i = 0; i < run.Lines.size(); ++i)
        ASSERT_EQ(std::tie(run.Lines[i]["n"], run.Lines[i]["offset"], run.Lines[i]["code"], run.Lines[i]["length"]),
                  std::tie(walk[i + 1]["n"], walk[i + 1]["offset"], walk[i + 1]["code"], walk[i + 1]["length"]))
            << "record " << i + 1;
      const TRun stats = RunTool({"stats", (Dir() / f.File).string()});
      EXPECT_EQ(stats.Lines.at(0)["encryption"]["scheme"], f.Scheme);
      EXPECT_EQ(stats.Lines.at(0)["encryption"]["opened"], false);
    }
  }
}

TEST_F(EncryptedCorpusTest, APlainWorkbookHasNoEncryptionInItsStats)
{
  const TRun run = RunTool({"stats", (Dir().parent_path() / "libxls__types.xls").string()});
  ASSERT_EQ(run.Status, kExitOk) << run.Err;
  EXPECT_FALSE(run.Lines.at(0).contains("encryption"));
}

TEST_F(EncryptedCorpusTest, APasswordOptionWithoutItsValueIsAUsageError)
{
  const TRun run = RunTool({"stats", (Dir() / "enc_rc4_bifflens.xls").string(), "--password"});
  EXPECT_EQ(run.Status, kExitUsage);
  EXPECT_EQ(run.Err, "bifflens-cli: --password needs a value\n");
}

TEST(PasswordArguments, TheirValuesAreWipedAndNothingElse)
{
  std::vector<std::string> args{"stats", "--password", "secret", "f.xls", "--password=other", "--passwords"};
  WipePasswordArguments(args);
  EXPECT_EQ(args[1], "--password");
  EXPECT_EQ(args[2], std::string(6, '\0'));
  EXPECT_EQ(args[3], "f.xls");
  EXPECT_EQ(args[4], "--password=" + std::string(5, '\0'));
  EXPECT_EQ(args[5], "--passwords");
}
