// The opened workbook: every view of one load sees the same substreams,
// and what the viewer's panes read is what the commands print.

#include "support/BiffBuilder.h"
#include "support/EncryptingWriter.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using enum TExcelVersion;

// A substream as every view can tell it: its BOF's number, its type, its
// last record's number (the stream's last for one that runs to the end).
using TSpan = std::tuple<std::uint64_t, std::uint16_t, std::uint64_t>;

std::vector<TSpan> Spans(const std::vector<TSubstream>& substreams, std::uint64_t records)
{
  std::vector<TSpan> spans;
  for (const TSubstream& s : substreams)
    spans.emplace_back(s.Bof, s.Type, s.Last == 0 ? records : s.Last);
  return spans;
}

std::vector<TSpan> OutlineSpans(const std::vector<TOutlineNode>& nodes)
{
  std::vector<TSpan> spans;
  for (const TOutlineNode& node : nodes)
    if (node.Kind == TOutlineNode::TKind::okSubstream)
      spans.emplace_back(node.First + 1, node.Type, node.End);
  return spans;
}

TEST(OpenedWorkbook, EveryViewReportsTheSameSubstreamsOfEveryCorpusWorkbook)
{
  const fs::path dir(BIFFLENS_CORPUS_DIR);
  if (!fs::is_directory(dir))
    GTEST_SKIP() << "no corpus at " << dir;
  std::vector<fs::path> files;
  for (const fs::path& folder : {dir, dir / "encrypted", dir / "formula-zoo"})
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().extension() == ".xls")
        files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::size_t substreams = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    TMSExcel reader;
    TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
    try {
      reader.LoadFromFile(file.string());
    } catch (const std::exception&) {
      // What was read before the failure counts.
    }
    const std::uint64_t records = workbook.RecordCount();
    const std::vector<TSpan> load = Spans(reader.Substreams(), records);
    EXPECT_EQ(Spans(workbook.Directory().Walked(), records), load) << "directory";
    EXPECT_EQ(Spans(workbook.Formulas().Substreams(), records), load) << "formula book";
    EXPECT_EQ(Spans(workbook.Check(nullptr).Substreams, records), load) << "structure check";
    EXPECT_EQ(OutlineSpans(workbook.Outline()), load) << "outline";
    substreams += load.size();
  }
  EXPECT_GT(substreams, 200u);
}

/// A workbook with a sheet of cells, as plain bytes of its stream.
std::vector<std::uint8_t> Plain()
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Data", 1).Eof();
  b.Bof(evExcel8).Dimensions(0, 3, 0, 2);
  for (std::uint16_t row = 0; row < 3; ++row)
    b.Number(row, 0, 0, row).Number(row, 1, 0, row * 2.0);
  b.Eof();
  return b.Build();
}

std::vector<std::string> Kinds(const TStructureCheck& check)
{
  std::vector<std::string> kinds;
  for (const TLintFinding& f : check.Findings)
    kinds.push_back(std::string(LintSeverityName(f.Severity)) + " " + f.Check);
  return kinds;
}

TEST(OpenedWorkbook, TheStructureCheckOfALockedWorkbookReadsNoCiphertext)
{
  // The viewer's Problems pane checked the encrypted bytes of a workbook
  // no password opened as if they were records, and found garbage.
  TEncryptSpec spec;
  spec.Password = "secret";
  TMSExcel reader;
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
  EXPECT_ANY_THROW(reader.LoadFromMemory(InCompoundFile(EncryptStream(Plain(), spec))));
  ASSERT_GT(workbook.RecordCount(), 10u);
  EXPECT_EQ(Kinds(workbook.Check(nullptr)), std::vector<std::string>{"info encrypted"});
}

TEST(OpenedWorkbook, DescribesARecordWithItsHeadingAndWhatACONTINUECarriesOn)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .Sst(TSstBuilder().String("alpha").String("beta-gamma").SplitAt({21}))
      .BoundSheet("Data", 1)
      .Eof()
      .Bof(evExcel8)
      .Eof();
  TMSExcel reader;
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
  reader.LoadFromMemory(InCompoundFile(b.Build()));
  const TRecordDescription sst = workbook.Describe(1);
  EXPECT_EQ(sst.Heading, "#2 SST (SST), 21 bytes + 1 CONTINUE record");
  EXPECT_TRUE(sst.Decoded);
  EXPECT_TRUE(sst.Error.empty());
  const TRecordDescription part = workbook.Describe(2);
  EXPECT_EQ(part.Continuation, "part 1 of record 2 (SST)");
}

}  // namespace
