// The navigation pane's and the Macros pane's workers on threads of their
// own while the window's thread reads the same opened workbook. Under
// ThreadSanitizer (scripts/sanitize) a data race between them fails; in every
// build the results must equal those of the same work on one thread.
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
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using enum TNavigationStage::TKind;

/// Each stage delivered as one line of text, whole enough to compare.
std::vector<std::string> Compute(const TOpenedWorkbook& workbook, const TNavigationSource& source,
                                 const std::atomic<bool>& cancel)
{
  std::vector<std::string> stages;
  ComputeNavigation(workbook, source, cancel, [&](std::shared_ptr<TNavigationStage> stage) {
    std::ostringstream line;
    line << static_cast<int>(stage->Kind) << ':';
    for (const TOutlineNode& node : stage->Outline)
      line << ' ' << node.Type << ',' << node.First << ',' << node.End << ',' << node.Parent << ',' << node.Name;
    for (const TRecordTypeCount& type : stage->Types)
      line << ' ' << type.Code << 'x' << type.Count << '=' << type.Bytes;
    if (stage->Map)
      line << " map " << stage->Map->Valid << ',' << stage->Map->Entries.size();
    for (const TLintFinding& finding : stage->Findings)
      line << ' ' << finding.Check << ' ' << finding.Record.value_or(0) << ' ' << finding.Message;
    stages.push_back(line.str() + " stopped:" + stage->Stopped);
  });
  return stages;
}

/// What the window's thread reads meanwhile, as the viewer's panes do: every
/// record's row and description (list items included), the formulas, every
/// stored cell. A tally that must not change between runs.
std::size_t ReadAsTheWindowDoes(TOpenedWorkbook& workbook)
{
  std::size_t tally = 0;
  for (std::size_t i = 0; i < workbook.RecordCount(); ++i) {
    const TRecordDescription description = workbook.Describe(i);
    tally += workbook.Records().Row(i).Length + description.Fields.size();
    for (const TRecordField& field : description.Fields)
      for (std::size_t k = 0; field.Lazy && k < field.Lazy->Count() && k < 50; ++k)
        tally += field.Lazy->Item(k).Fields.size();
  }
  tally += static_cast<std::size_t>(workbook.Formulas().Sheets()) + workbook.Formulas().MacroSheets().size();
  const TSpreadSheets& sheets = std::as_const(workbook.Reader()).Sheets();
  for (int s = 0; s < sheets.Count(); ++s)
    sheets.Items(s).Cells.ForEachRow(
        [&](int, const TSpreadSheetRow& row) { row.Cols.ForEachCell([&](int, const TZymCell&) { ++tally; }); });
  return tally;
}

std::vector<std::string> Macros(const TOpenedWorkbook& workbook, const TSharedBytes& file,
                                const std::atomic<bool>* cancel = nullptr)
{
  TMacroOptions options;
  options.Cancel = cancel;
  const TMacroReport report = FindMacros(workbook, file, options);
  std::vector<std::string> summary;
  for (const TLintFinding& finding : MacroLintFindings(report))
    summary.push_back(finding.Check + " " + finding.Message);
  summary.push_back(std::to_string(report.Vba.Modules.size()) + " modules, " + std::to_string(report.Links.size()) +
                    " links, " + std::to_string(report.Notes.size()) + " notes");
  return summary;
}

/// A workbook opened from a file as the viewer opens it; a damaged one
/// keeps what was read.
struct TOpened {
  explicit TOpened(const fs::path& path) : Source{path.string(), false}
  {
    Reader.OnPassword = [](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
      cancel = request.Refused > 0;
      password.Assign("bifflens");
    };
    try { Reader.LoadFromFile(Source.FileName); } catch (const std::exception&) {}
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Source.Compound = bytes.size() >= 8 && bytes[0] == 0xD0 && bytes[1] == 0xCF;
    File = TSharedBytes::Copy(bytes);
  }
  TNavigationSource Source;
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
  for (const char* name : {"calamine__any_sheets.xls", "xlrd__formula_test_names.xls", "calamine__OOM_alloc2.xls",
                           "encrypted/enc_rc4_bifflens.xls", "xlrd__corrupted_error.xls",
                           "xlrd__biff4_no_format_no_window2.xls"}) {
    if (!fs::exists(dir / name))
      continue;
    SCOPED_TRACE(name);
    const std::atomic<bool> idle{false};
    TOpened once(dir / name);
    const std::vector<std::string> expected = Compute(once.Workbook, once.Source, idle);
    const std::vector<std::string> expectedMacros = Macros(once.Workbook, once.File);
    ASSERT_EQ(expected.size(), 3u);
    ASSERT_NE(expected.front().find(','), std::string::npos) << "an empty outline";
    const std::size_t expectedTally = ReadAsTheWindowDoes(once.Workbook);

    // A fresh opening: the window's reads make the directory, the formulas
    // and the descriptions while the workers run.
    TOpened again(dir / name);
    std::atomic<bool> cancel{false};
    std::vector<std::string> stages, macros;
    std::thread navigation([&] { stages = Compute(again.Workbook, again.Source, cancel); });
    std::thread macrosPane([&] { macros = Macros(again.Workbook, again.File, &cancel); });
    EXPECT_EQ(ReadAsTheWindowDoes(again.Workbook), expectedTally);
    navigation.join();
    macrosPane.join();
    EXPECT_EQ(stages, expected);
    EXPECT_EQ(macros, expectedMacros);
  }
}

TEST(NavigationWorker, ACancelStopsBeforeTheProblemsWhereverItComes)
{
  // Many records, so the check looks at the flag more than once.
  TBiffBuilder book;
  book.Bof(TExcelVersion::evExcel8, TBofType::btGlobals).Eof().Bof(TExcelVersion::evExcel8);
  for (std::uint16_t row = 0; row < 20000; ++row)
    book.Number(row, 0, 0, row);
  TMSExcel reader;
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
  reader.KeepStreamBuffer = true;
  reader.LoadFromMemory(book.Eof().Build());
  const TNavigationSource bare{"", false};
  // Cancelled by the delivery of a stage (kNone: by another thread while the
  // worker runs): nothing after it, and the problems stage whole if at all.
  const TNavigationStage::TKind kNone = static_cast<TNavigationStage::TKind>(255);
  for (const TNavigationStage::TKind after : {nsOutline, nsContainer, kNone}) {
    SCOPED_TRACE(static_cast<int>(after));
    std::atomic<bool> cancel{false};
    std::vector<std::shared_ptr<TNavigationStage>> delivered;
    std::thread worker([&] {
      ComputeNavigation(workbook, bare, cancel, [&](std::shared_ptr<TNavigationStage> stage) {
        if (stage->Kind == after)
          cancel = true;
        delivered.push_back(std::move(stage));
      });
    });
    if (after == kNone)
      cancel = true;
    worker.join();
    ASSERT_FALSE(delivered.empty());
    EXPECT_EQ(delivered.front()->Kind, nsOutline);
    EXPECT_EQ(delivered.front()->Types.size(), 3u);  // BOF, EOF, NUMBER
    EXPECT_EQ(delivered.back()->Kind, after == kNone ? delivered.back()->Kind : after);
    EXPECT_TRUE(delivered.back()->Kind != nsProblems || delivered.back()->Stopped.empty());
    EXPECT_EQ(delivered.size(), static_cast<std::size_t>(delivered.back()->Kind) + 1);
  }
}

}  // namespace
