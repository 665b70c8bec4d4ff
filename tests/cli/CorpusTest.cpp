// Real workbooks from public projects' test suites, each with the cell values
// a trusted peer reader sees and an independent listing of its records. Our
// `cells` and `records` output must agree with both.
#include "Commands.h"
#include "WorkbookCommand.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

// A 1904-system serial plus this is the same day in the 1900 system; the
// peer's listing keeps the stored serials, we shift them.
constexpr double kDate1904Offset = 1462.0;

fs::path CorpusDir()
{
  return fs::path(BIFFLENS_CORPUS_DIR);
}

std::vector<fs::path> CorpusFiles()
{
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(CorpusDir(), error))
    if (entry.path().extension() == ".xls")
      files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<json> ReadJsonLines(const std::string& text)
{
  std::vector<json> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty())
      lines.push_back(json::parse(line));
  return lines;
}

std::vector<json> ReadJsonFile(const fs::path& path)
{
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return ReadJsonLines(text.str());
}

struct TRun {
  int Status;
  std::vector<json> Lines;
  std::string Error;
};

TRun RunTool(const std::string& command, const fs::path& file)
{
  std::ostringstream out;
  std::ostringstream err;
  const std::vector<std::string> args{command, file.string()};
  const int status = RunCli(args, out, err);
  return {status, ReadJsonLines(out.str()), err.str()};
}

bool SameValue(const json& ours, const json& peer, bool shiftDates)
{
  std::string ourType = ours["type"];
  const std::string peerType = peer["type"];
  if (ourType == "integer")
    ourType = "double";  // the peer writes every number as a double
  if (ourType != peerType)
    return false;
  if (peerType == "double" || peerType == "date") {
    double expected = peer["value"];
    if (peerType == "date" && shiftDates)
      expected += kDate1904Offset;
    return ours["value"].get<double>() == expected;
  }
  return ours["value"] == peer["value"];
}

class CorpusTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!fs::is_directory(CorpusDir() / "reference"))
      GTEST_SKIP() << "corpus not found at " << CorpusDir() << " (set BIFFLENS_CORPUS_DIR)";
  }
};

}  // namespace

TEST_F(CorpusTest, EveryCellThePeerReadsHasTheSameTypeAndValue)
{
  std::size_t peerCells = 0;
  std::size_t agreeing = 0;
  for (const fs::path& file : CorpusFiles()) {
    SCOPED_TRACE(file.filename().string());
    const auto reference =
        ReadJsonFile(CorpusDir() / "reference" / (file.filename().string() + ".jsonl"));
    ASSERT_FALSE(reference.empty());
    const json& meta = reference[0];
    const TRun run = RunTool("cells", file);
    if (!meta["ok"].get<bool>())
      continue;  // checked by the test on damaged files below
    if (file.filename() == "libxls__xls2csv_ole_read_MSAT_body_637.xls") {
      // See the record test: refused for its lying header; the peer saw no cell.
      EXPECT_EQ(run.Status, kExitFailure);
      EXPECT_EQ(reference.size(), 1u);
      continue;
    }
    EXPECT_EQ(run.Status, kExitOk) << run.Error;
    std::map<std::tuple<int, int, int>, json> ours;
    for (const json& cell : run.Lines)
      ours[{cell["sheet"], cell["row"], cell["col"]}] = cell;
    const bool shiftDates = meta["datemode"] == 1;
    for (std::size_t i = 1; i < reference.size(); ++i) {
      const json& peer = reference[i];
      ++peerCells;
      const auto it = ours.find({peer["sheet"], peer["row"], peer["col"]});
      if (it != ours.end() && SameValue(it->second, peer, shiftDates)) {
        ++agreeing;
        ours.erase(it);
        continue;
      }
      ADD_FAILURE() << "peer: " << peer.dump()
                    << "\nours: " << (it == ours.end() ? "none" : it->second.dump());
    }
    for (const auto& [key, cell] : ours)
      ADD_FAILURE() << "a cell the peer does not see: " << cell.dump();
    // The captions are the workbook's worksheet names, in order.
    // A bare BIFF2-4 stream names no sheets: the model calls its sheet Sheet1.
    if (meta["biff_version"].get<int>() < 50)
      continue;
    for (const json& cell : run.Lines) {
      const auto sheet = cell["sheet"].get<std::size_t>();
      ASSERT_LT(sheet, meta["sheets"].size());
      EXPECT_EQ(cell["caption"], meta["sheets"][sheet]);
    }
  }
  EXPECT_GT(peerCells, 16000u);
  EXPECT_EQ(agreeing, peerCells);
}

TEST_F(CorpusTest, RecordListingsMatchTheIndependentWalk)
{
  for (const fs::path& file : CorpusFiles()) {
    SCOPED_TRACE(file.filename().string());
    const auto walk = ReadJsonFile(CorpusDir() / "records" / (file.filename().string() + ".jsonl"));
    ASSERT_FALSE(walk.empty());
    const TRun run = RunTool("records", file);
    if (!walk[0]["ok"].get<bool>()) {
      EXPECT_TRUE(run.Lines.empty());
      continue;
    }
    // A compound file so damaged that the peer reader refused it may be
    // refused here too, with the storage layer's message, when nothing of
    // its workbook stream can be found.
    const auto peer = ReadJsonFile(CorpusDir() / "reference" / (file.filename().string() + ".jsonl"));
    if (run.Status == kExitFailure && run.Lines.empty() && !peer[0]["ok"].get<bool>())
      continue;
    // Our load may stop earlier (the sheet walk ends at the last worksheet's
    // EOF) but never lists more, and every record it lists matches.
    ASSERT_LE(run.Lines.size(), walk.size() - 1);
    EXPECT_GT(run.Lines.size(), 0u) << run.Error;
    for (std::size_t i = 0; i < run.Lines.size(); ++i) {
      const json& ours = run.Lines[i];
      const json& theirs = walk[i + 1];
      ASSERT_EQ(std::tie(ours["n"], ours["offset"], ours["code"], ours["length"]),
                std::tie(theirs["n"], theirs["offset"], theirs["code"], theirs["length"]))
          << "record " << i + 1;
    }
  }
}

TEST_F(CorpusTest, DamagedFilesEndWithAClearMessageOrAResult)
{
  for (const fs::path& file : CorpusFiles()) {
    SCOPED_TRACE(file.filename().string());
    for (const char* command : {"cells", "records", "stats"}) {
      const TRun run = RunTool(command, file);
      EXPECT_TRUE(run.Status == kExitOk || run.Status == kExitFailure);
      if (run.Status == kExitFailure) {
        // One line, the message, ending as the error box would show it.
        ASSERT_FALSE(run.Error.empty());
        EXPECT_EQ(run.Error.find('\n'), run.Error.size() - 1) << run.Error;
      }
    }
  }
}

TEST_F(CorpusTest, AnSstCountAboveItsStringsNoLongerStopsTheLoad)
{
  // The peer reader refuses it; every LABELSST points into the strings
  // stored, and the whole workbook reads.
  const TRun run = RunTool("stats", CorpusDir() / "calamine__gh548_incorrect_sst_unique_count.xls");
  EXPECT_EQ(run.Status, kExitOk) << run.Error;
  ASSERT_EQ(run.Lines.size(), 1u);
  EXPECT_GT(run.Lines[0]["sheets"][0]["cells"].get<int>(), 0);
}

TEST_F(CorpusTest, KnownFailuresGiveTheirOwnMessages)
{
  ::unsetenv("BIFFLENS_PASSWORD");
  const struct {
    const char* File;
    const char* Message;
  } cases[] = {
      {"encrypted/enc_rc4_bifflens.xls", "Could not read the password protected file.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const TRun run = RunTool("cells", CorpusDir() / c.File);
    EXPECT_EQ(run.Status, kExitFailure);
    EXPECT_EQ(run.Error, c.Message);
  }
}

TEST_F(CorpusTest, AWorkbookWithExcelsDefaultPasswordOpensWithoutOne)
{
  // The peer reader stops at its FILEPASS; Excel wrote it for a workbook
  // that is only protected against writing.
  ::unsetenv("BIFFLENS_PASSWORD");
  const TRun run = RunTool("stats", CorpusDir() / "calamine__issue_385.xls");
  EXPECT_EQ(run.Status, kExitOk) << run.Error;
  ASSERT_EQ(run.Lines.size(), 1u);
  EXPECT_EQ(run.Lines[0]["encryption"], json::parse(R"({"scheme":"RC4","opened":true})"));
  EXPECT_EQ(run.Lines[0]["sheets"][0]["caption"], "Sheet1");
}
