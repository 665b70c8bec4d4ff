// `bifflens-cli diff`: pairs of workbooks made by the test writer, each
// differing in one way (or only in how it is stored), and every corpus
// workbook against itself and against a copy with one cell's value changed.

#include "CliRun.h"
#include "support/BiffBuilder.h"
#include "support/EncryptingWriter.h"
#include "support/FormulaBuilder.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

using json = nlohmann::json;
using enum TExcelVersion;
namespace fs = std::filesystem;

/// What a test workbook holds; each case changes one thing of it.
struct TBookSpec {
  std::string Sheet = "Data";
  std::vector<std::string> Strings = {"alpha", "beta", "gamma", "delta"};
  std::vector<std::size_t> SstSplit;  // where the SST goes on in CONTINUE records
  int ExtraXfs = 0;
  double B3 = 1.5;
  bool ExtraRow = false;
  bool SecondSheet = false;
  std::uint16_t FormulaConstant = 1;  // C1 = A1 + this
  std::string Author = "alice";
};

std::vector<std::uint8_t> Stream(const TBookSpec& spec)
{
  TSstBuilder sst;
  for (const std::string& s : spec.Strings)
    sst.String(s);
  if (!spec.SstSplit.empty())
    sst.SplitAt(spec.SstSplit);
  const auto indexOf = [&](const std::string& text) {
    return static_cast<std::uint32_t>(std::find(spec.Strings.begin(), spec.Strings.end(), text) - spec.Strings.begin());
  };
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals);
  std::vector<std::uint8_t> author(spec.Author.begin(), spec.Author.end());
  author.insert(author.begin(), {static_cast<std::uint8_t>(spec.Author.size()), 0, 0});
  b.Record(0x005C, author);  // WRITEACCESS
  b.Xf(0).Xf(14);
  for (int i = 0; i < spec.ExtraXfs; ++i)
    b.Xf(2);
  b.Sst(sst).BoundSheet(spec.Sheet, 1);
  if (spec.SecondSheet)
    b.BoundSheet("More", 2);
  b.Eof();
  b.Bof(evExcel8);
  b.LabelSst(0, 0, 0, indexOf("alpha")).LabelSst(0, 1, 0, indexOf("beta"));
  b.FormulaTokens(0, 2, 2, TFormulaBuilder().Ref(0, 0).Int(spec.FormulaConstant).Op(kFbAdd).Build().Tokens);
  b.Number(2, 1, 0, spec.B3).LabelSst(3, 0, 0, indexOf("gamma"));
  if (spec.ExtraRow)
    b.Number(4, 0, 0, 10).Number(4, 1, 0, 11).LabelSst(4, 2, 0, indexOf("delta"));
  b.Number(6, 0, 0, 7);
  b.Eof();
  if (spec.SecondSheet)
    b.Bof(evExcel8).Number(0, 0, 0, 42).Eof();
  return b.Build();
}

std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
  // Each test its own files: ctest runs them side by side.
  const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const auto path = fs::temp_directory_path() / ("bifflens-diff-" + test + "-" + name + ".xls");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

/// A difference as the test spells it: op, part, type, cell or key.
std::string Brief(const json& line)
{
  std::string text = line["op"].get<std::string>() + " " + line["part"].get<std::string>() + " " +
                     line["type"].get<std::string>();
  if (line.contains("cell"))
    text += " " + line["cell"].get<std::string>();
  if (line.contains("key"))
    text += " " + line["key"].get<std::string>();
  return text;
}

struct TDiffCase {
  const char* Name;
  TBookSpec B;
  std::vector<std::string> Expected;  // Brief of each line, in order
  std::vector<std::string> Options = {};
};

}  // namespace

TEST(CliDiff, EachChangeReadsAsOneDifferenceAndStorageAloneAsNone)
{
  const TBookSpec base;
  TBookSpec oneCell;
  oneCell.B3 = 2;
  TBookSpec extraRow;
  extraRow.ExtraRow = true;
  TBookSpec reordered;
  reordered.Strings = {"delta", "gamma", "alpha", "beta"};
  TBookSpec split;
  split.SstSplit = {14, 20};
  TBookSpec xf;
  xf.ExtraXfs = 1;
  TBookSpec renamed;
  renamed.Sheet = "Figures";
  TBookSpec added;
  added.SecondSheet = true;
  TBookSpec author;
  author.Author = "bob";
  const TDiffCase cases[] = {
      {"identical", base, {}},
      {"one cell value", oneCell, {"changed Data NUMBER B3"}},
      {"a row inserted", extraRow, {"added Data NUMBER A5", "added Data NUMBER B5", "added Data LABELSST C5"}},
      {"the SST reordered", reordered, {}},
      {"the SST split otherwise", split, {}},
      {"an XF appended", xf, {"added globals XF XF 2"}},
      {"a sheet renamed", renamed, {"changed globals BOUNDSHEET Figures"}},
      {"a sheet added",
       added,
       {"added globals BOUNDSHEET More", "added More BOF", "added More NUMBER A1", "added More EOF"}},
      {"the author ignored", author, {}, {"--ignore", "WRITEACCESS"}},
      {"a field ignored", oneCell, {}, {"--ignore", "NUMBER.value"}},
  };
  const std::string fileA = Write("a", InCompoundFile(Stream(base)));
  for (const TDiffCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string fileB = Write("b", InCompoundFile(Stream(c.B)));
    std::vector<std::string> args = {"diff", "--json", fileA, fileB};
    args.insert(args.end(), c.Options.begin(), c.Options.end());
    const TRun run = RunTool(args);
    std::vector<std::string> found;
    for (const json& line : run.Lines)
      found.push_back(Brief(line));
    EXPECT_EQ(found, c.Expected);
    EXPECT_EQ(run.Status, c.Expected.empty() ? 0 : 1) << run.Err;
    // What a user of the sheets sees changes only where a value did.
    const TRun cells = RunTool({"diff", "--cells", "--json", fileA, fileB});
    // (A renamed sheet pairs by its place: its cells are the same.)
    const bool valueChanged = c.B.B3 != base.B3 || c.B.ExtraRow || c.B.SecondSheet;
    EXPECT_EQ(cells.Status, valueChanged ? 1 : 0) << cells.Err;
  }
}

TEST(CliDiff, AChangedRecordNamesItsFieldsAndTheCellsTheirValues)
{
  TBookSpec changed;
  changed.B3 = 2;
  changed.FormulaConstant = 2;
  const std::string a = Write("a", InCompoundFile(Stream({})));
  const std::string b = Write("b", InCompoundFile(Stream(changed)));
  const TRun records = RunTool({"diff", "--json", a, b});
  ASSERT_EQ(records.Lines.size(), 2u) << records.Err;
  EXPECT_EQ(records.Lines[0]["type"], "FORMULA");
  EXPECT_EQ(records.Lines[0]["fields"][0]["name"], "formula");
  EXPECT_EQ(records.Lines[0]["fields"][0]["a_text"], "=A1+1");
  EXPECT_EQ(records.Lines[0]["fields"][0]["b_text"], "=A1+2");
  EXPECT_EQ(records.Lines[1]["fields"], json::parse(R"([{"name":"value","a":1.5,"b":2}])"));
  EXPECT_EQ(records.Lines[1]["a"], records.Lines[1]["b"]);
  EXPECT_NE(records.Err.find("2 differences (Data: 2 changed)"), std::string::npos) << records.Err;

  const TRun cells = RunTool({"diff", "--cells", "--formulas", "--json", a, b});
  ASSERT_EQ(cells.Lines.size(), 2u);
  EXPECT_EQ(cells.Lines[0]["cell"], "C1");
  EXPECT_EQ(cells.Lines[0]["a"]["formula"], "A1+1");
  EXPECT_EQ(cells.Lines[0]["b"]["formula"], "A1+2");
  EXPECT_EQ(cells.Lines[1], json::parse(R"({"op":"changed","sheet":"Data","cell":"B3",)"
                                        R"("a":{"type":"double","value":1.5},"b":{"type":"double","value":2}})"));
  // Without --formulas the formula cell's cached value is all there is.
  EXPECT_EQ(RunTool({"diff", "--cells", "--json", a, b}).Lines.size(), 1u);

  std::ostringstream out;
  std::ostringstream err;
  const std::vector<std::string> withContext = {"diff", "--context", "1", a, b};
  EXPECT_EQ(RunCli(withContext, out, err), 1);
  const std::string text = out.str();
  EXPECT_NE(text.find("@@ Data @@\n"), std::string::npos) << text;
  EXPECT_NE(text.find("~ NUMBER B3  A #"), std::string::npos) << text;
  EXPECT_NE(text.find("    value: 1.5 \xE2\x86\x92 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  LABELSST  A #"), std::string::npos) << text;  // the context after it
}

TEST(CliDiff, AnEncryptedWorkbookOpenedMatchesItsPlainTwin)
{
  const auto plain = Stream({});
  TEncryptSpec spec;
  spec.Password = "open sesame";
  const std::string a = Write("plain", InCompoundFile(plain));
  const std::string b = Write("locked", InCompoundFile(EncryptStream(plain, spec)));
  const TRun run = RunTool({"diff", "--json", "--password-b", "open sesame", a, b});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(run.Lines.empty());
  // Without the password the locked one cannot be read: trouble.
  EXPECT_EQ(RunTool({"diff", a, b}).Status, 2);
}

TEST(CliDiff, ExitStatusOfTrouble)
{
  const std::string a = Write("a", InCompoundFile(Stream({})));
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"diff", a},
           {"diff", a, a, a},
           {"diff", "--formulas", a, a},
           {"diff", "--context", "x", a, a},
           {"diff", "--bogus", a, a},
           {"diff", a, "/nonexistent/b.xls"},
       })
    EXPECT_EQ(RunTool(args).Status, 2) << args.back();
  std::ostringstream out;
  std::ostringstream err;
  const std::vector<std::string> help = {"diff", "--help"};
  EXPECT_EQ(RunCli(help, out, err), 0);
  EXPECT_NE(out.str().find("--ignore TYPE"), std::string::npos);
}

TEST(CliDiff, EveryCorpusWorkbookMatchesItselfAndACopyShowsTheOneCellChanged)
{
  const fs::path dir(BIFFLENS_CORPUS_DIR);
  if (!fs::is_directory(dir))
    GTEST_SKIP() << "no corpus at " << dir;
  std::size_t files = 0;
  std::size_t changed = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".xls")
      continue;
    const std::string file = entry.path().string();
    SCOPED_TRACE(entry.path().filename().string());
    const TRun self = RunTool({"diff", "--json", file, file});
    if (self.Status == 2)
      continue;  // a file the load refuses
    ++files;
    EXPECT_EQ(self.Status, 0) << self.Err;
    EXPECT_TRUE(self.Lines.empty());
    // The first NUMBER of a worksheet with its value changed, in a
    // container of the test writer's.
    TMSExcel reader;
    TOpenedWorkbook book(reader, TOpenedWorkbook::TKeep::kpRecords);
    try {
      reader.LoadFromFile(file);
    } catch (const std::exception&) {
      continue;
    }
    if (reader.Encryption().Present)
      continue;
    std::vector<std::uint8_t> stream(book.Records().Stream().Span().begin(), book.Records().Stream().Span().end());
    std::optional<std::size_t> target;
    for (std::size_t i = 0; i < book.RecordCount() && !target; ++i)
      if (book.Directory().Code(i) == 0x0203 && book.Directory().CellOf(i) && book.Records().Row(i).DataSize == 14)
        target = i;
    if (!target)
      continue;
    const std::size_t at = static_cast<std::size_t>(book.Records().Row(*target).Offset) + 4 + 6;
    double value;
    std::memcpy(&value, stream.data() + at, 8);
    value = value + 1;
    std::memcpy(stream.data() + at, &value, 8);
    // The copy keeps the stream's kind: bare, or named as the version it holds.
    const TWalkStart start = reader.WalkStart();
    const std::string copy =
        Write("copy", start.Bare ? stream
                                 : InCompoundFile(stream, start.Version >= evExcel8 ? "Workbook" : "Book"));
    const TRun run = RunTool({"diff", "--json", file, copy});
    ASSERT_EQ(run.Lines.size(), 1u) << run.Err;
    EXPECT_EQ(run.Lines[0]["op"], "changed");
    EXPECT_EQ(run.Lines[0]["type"], "NUMBER");
    EXPECT_EQ(run.Lines[0]["a"], *target + 1);
    EXPECT_EQ(run.Lines[0]["fields"].size(), 1u);
    EXPECT_EQ(run.Lines[0]["fields"][0]["name"], "value");
    EXPECT_EQ(RunTool({"diff", "--cells", "--json", file, copy}).Lines.size(), 1u);
    ++changed;
  }
  EXPECT_GT(files, 50u);
  EXPECT_GT(changed, 10u);
}
