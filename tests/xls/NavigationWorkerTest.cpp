// The navigation pane's and the Macros pane's work on threads of their own
// while the window's thread reads the same opened workbook as the viewer
// does (records described, formulas listed, cells and rows read). Under
// ThreadSanitizer (scripts/sanitize) these tests fail on any data race
// between the workers and the window; in every build the results must equal
// those of the same work done on one thread.
#include "platform/SharedBytes.h"
#include "support/BiffBuilder.h"
#include "xls/workbook/Macros.h"
#include "xls/workbook/NavigationWork.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

/// What the stages delivered, in a form to compare.
struct TStages {
  std::vector<TNavigationStage::TKind> Kinds;
  std::vector<std::tuple<std::uint16_t, std::size_t, std::size_t, int, std::string>> Outline;
  std::vector<std::tuple<std::uint16_t, std::uint64_t, std::uint64_t>> Types;
  bool MapValid = false;
  std::size_t MapEntries = 0;
  std::vector<std::string> Findings;
  std::string Stopped;
};

void Take(TStages& stages, const TNavigationStage& stage)
{
  stages.Kinds.push_back(stage.Kind);
  for (const TOutlineNode& node : stage.Outline)
    stages.Outline.emplace_back(node.Type, node.First, node.End, node.Parent, node.Name);
  for (const TRecordTypeCount& type : stage.Types)
    stages.Types.emplace_back(type.Code, type.Count, type.Bytes);
  if (stage.Map) {
    stages.MapValid = stage.Map->Valid;
    stages.MapEntries = stage.Map->Entries.size();
  }
  for (const TLintFinding& finding : stage.Findings)
    stages.Findings.push_back(finding.Check + " " + std::to_string(finding.Record.value_or(0)) + " " + finding.Message);
  stages.Stopped += stage.Stopped;
}

TStages Compute(const TOpenedWorkbook& workbook, const TNavigationSource& source,
                const std::atomic<bool>& cancel)
{
  TStages stages;
  ComputeNavigation(workbook, source, cancel,
                    [&](std::shared_ptr<TNavigationStage> stage) { Take(stages, *stage); });
  return stages;
}

/// What the window's thread reads meanwhile, as the viewer's panes read it:
/// every record's row and description (list items included), the formulas,
/// every stored cell. Returns a tally that must not change between runs.
std::size_t ReadAsTheWindowDoes(TOpenedWorkbook& workbook)
{
  std::size_t tally = 0;
  for (std::size_t i = 0; i < workbook.RecordCount(); ++i) {
    tally += workbook.Records().Row(i).Length;
    const TRecordDescription description = workbook.Describe(i);
    tally += description.Fields.size();
    for (const TRecordField& field : description.Fields)
      if (field.Lazy)
        for (std::size_t k = 0; k < field.Lazy->Count() && k < 50; ++k)
          tally += field.Lazy->Item(k).Fields.size();
  }
  tally += static_cast<std::size_t>(workbook.Formulas().Sheets()) + workbook.Formulas().MacroSheets().size();
  const TSpreadSheets& sheets = std::as_const(workbook.Reader()).Sheets();
  for (int s = 0; s < sheets.Count(); ++s)
    sheets.Items(s).Cells.ForEachRow([&](int, const TSpreadSheetRow& row) {
      row.Cols.ForEachCell([&](int, const TZymCell&) { ++tally; });
    });
  return tally;
}

std::vector<std::string> MacroSummary(const TMacroReport& report)
{
  std::vector<std::string> summary;
  for (const TLintFinding& finding : MacroLintFindings(report))
    summary.push_back(finding.Check + " " + finding.Message);
  summary.push_back(std::to_string(report.Vba.Modules.size()) + " modules, " +
                    std::to_string(report.Links.size()) + " links, " + std::to_string(report.Notes.size()) +
                    " notes");
  return summary;
}

/// A workbook opened from a file as the viewer opens it.
struct TOpened {
  explicit TOpened(const fs::path& path) : FileName(path.string())
  {
    Reader.OnPassword = [](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
      cancel = request.Refused > 0;
      password.Assign("bifflens");
    };
    try {
      Reader.LoadFromFile(FileName);
    } catch (const std::exception&) {
      // A damaged file shows what was read.
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Compound = bytes.size() >= 8 && bytes[0] == 0xD0 && bytes[1] == 0xCF;
    File = TSharedBytes::Copy(bytes);
  }
  std::string FileName;
  bool Compound = false;
  TSharedBytes File;
  TMSExcel Reader;
  TOpenedWorkbook Workbook{Reader, TOpenedWorkbook::TKeep::kpRecords};
};

TEST(NavigationWorker, GivesWhatOneThreadGivesWhileTheWindowReadsTheWorkbook)
{
  const fs::path dir(BIFFLENS_CORPUS_DIR);
  if (!fs::is_directory(dir))
    GTEST_SKIP() << "no corpus at " << dir;
  // Macros and a VBA project, formulas and names, many cells, a password,
  // a damaged container, a bare BIFF stream.
  const char* const files[] = {
      "calamine__any_sheets.xls",        "xlrd__formula_test_names.xls", "calamine__OOM_alloc2.xls",
      "encrypted/enc_rc4_bifflens.xls",  "xlrd__corrupted_error.xls",    "xlrd__biff4_no_format_no_window2.xls",
  };
  for (const char* name : files) {
    const fs::path path = dir / name;
    if (!fs::exists(path))
      continue;
    SCOPED_TRACE(name);
    TOpened opened(path);
    const TNavigationSource source{opened.FileName, opened.Compound};
    const std::atomic<bool> idle{false};
    // On one thread first: what the workers must give.
    const TStages expected = Compute(opened.Workbook, source, idle);
    const std::vector<std::string> expectedMacros = MacroSummary(FindMacros(opened.Workbook, opened.File));
    ASSERT_EQ(expected.Kinds.size(), 3u);
    ASSERT_FALSE(expected.Outline.empty());
    const std::size_t expectedTally = ReadAsTheWindowDoes(opened.Workbook);

    // A fresh opening, so that the window's reads make the directory, the
    // formulas and the descriptions while the workers run.
    TOpened again(path);
    std::atomic<bool> cancel{false};
    TStages stages;
    std::vector<std::string> macros;
    std::thread navigation([&] { stages = Compute(again.Workbook, source, cancel); });
    std::thread macrosPane([&] {
      TMacroOptions options;
      options.Cancel = &cancel;
      macros = MacroSummary(FindMacros(again.Workbook, again.File, options));
    });
    const std::size_t tally = ReadAsTheWindowDoes(again.Workbook);
    navigation.join();
    macrosPane.join();
    EXPECT_EQ(tally, expectedTally);
    EXPECT_EQ(stages.Kinds, expected.Kinds);
    EXPECT_EQ(stages.Outline, expected.Outline);
    EXPECT_EQ(stages.Types, expected.Types);
    EXPECT_EQ(stages.MapValid, expected.MapValid);
    EXPECT_EQ(stages.MapEntries, expected.MapEntries);
    EXPECT_EQ(stages.Findings, expected.Findings);
    EXPECT_EQ(stages.Stopped, expected.Stopped);
    EXPECT_EQ(macros, expectedMacros);
  }
}

TEST(NavigationWorker, ACancelStopsBeforeTheProblemsWhereverItComes)
{
  // A workbook of many records, so the check looks at the flag more than once.
  TBiffBuilder book;
  book.Bof(TExcelVersion::evExcel8, TBofType::btGlobals).Eof().Bof(TExcelVersion::evExcel8);
  for (std::uint16_t row = 0; row < 20000; ++row)
    book.Number(row, 0, 0, row);
  book.Eof();
  const std::vector<std::uint8_t> stream = book.Build();
  TMSExcel reader;
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
  reader.KeepStreamBuffer = true;
  reader.LoadFromMemory(stream);
  const TNavigationSource bare{"", false};
  using enum TNavigationStage::TKind;
  struct TCase {
    const char* Name;
    TNavigationStage::TKind CancelAfter;  // the stage whose delivery sets the flag
    std::vector<TNavigationStage::TKind> Delivered;
  };
  const TCase cases[] = {
      {"after the outline", nsOutline, {nsOutline}},
      {"after the container", nsContainer, {nsOutline, nsContainer}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::atomic<bool> cancel{false};
    std::vector<TNavigationStage::TKind> delivered;
    std::thread worker([&] {
      ComputeNavigation(workbook, bare, cancel, [&](std::shared_ptr<TNavigationStage> stage) {
        delivered.push_back(stage->Kind);
        if (stage->Kind == c.CancelAfter)
          cancel = true;
      });
    });
    worker.join();
    EXPECT_EQ(delivered, c.Delivered);
  }
  // Set by another thread while the worker runs: it ends, with the outline
  // first, and the problems stage is whole when it comes at all.
  std::atomic<bool> cancel{false};
  std::mutex lock;
  std::vector<std::shared_ptr<TNavigationStage>> delivered;
  std::thread worker([&] {
    ComputeNavigation(workbook, bare, cancel, [&](std::shared_ptr<TNavigationStage> stage) {
      const std::lock_guard<std::mutex> hold(lock);
      delivered.push_back(std::move(stage));
    });
  });
  cancel = true;
  worker.join();
  ASSERT_FALSE(delivered.empty());
  EXPECT_EQ(delivered.front()->Kind, nsOutline);
  EXPECT_EQ(delivered.front()->Types.size(), 3u);  // BOF, EOF, NUMBER
  if (delivered.back()->Kind == nsProblems) {
    EXPECT_TRUE(delivered.back()->Stopped.empty());
  }
}

}  // namespace
