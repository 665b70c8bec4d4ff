// `lint`: a sound workbook gives no finding; each check fires on a workbook
// that breaks its rule once, with the severity and record the contract
// says; the exit status follows the errors.

#include "Commands.h"
#include "support/BiffBuilder.h"
#include "support/CompoundFileBuilder.h"
#include "support/EncryptingWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

namespace {

using json = nlohmann::json;
using enum TExcelVersion;

/// What a test workbook is made of; a case changes one part. The sound
/// workbook: globals with a code page, a font, XFs, a custom format, one
/// BOUNDSHEET, an SST of two strings with its EXTSST; a sheet with
/// DIMENSIONS, an INDEX, a ROW, five cells and the DBCELL after them.
struct TBook {
  TExcelVersion Version = evExcel8;
  std::uint16_t CodePage = 1200;
  std::function<void(TSstBuilder&)> Strings = [](TSstBuilder& s) { s.String("a").String("b"); };
  std::uint32_t ExtSstShift = 0;    // added to the first bucket's position
  std::uint32_t IndexShift = 0;     // added to the INDEX's DBCELL position
  std::uint32_t DbCellShift = 0;    // added to the DBCELL's way back to its ROW
  std::optional<std::uint32_t> BoundSheetAt;
  std::function<void(TBiffBuilder&)> Globals = [](TBiffBuilder&) {};
  std::function<void(TBiffBuilder&)> Cells = [](TBiffBuilder&) {};
  bool SheetEof = true;
  std::vector<std::uint8_t> After;  // bytes after the last EOF
  std::function<void(TCompoundFileImage&)> Damage;
  std::optional<TEncryptSpec> Encrypt;  // the stream encrypted so
  std::vector<std::string> Options;     // given to lint before the file
};

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
  for (int k = 0; k < 4; ++k)
    bytes[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value >> (8 * k));
}

std::vector<std::uint8_t> Stream(const TBook& book)
{
  const bool biff8 = book.Version == evExcel8;
  TBiffBuilder b;
  b.Bof(book.Version, TBofType::btGlobals).CodePage(book.CodePage);
  // FONT: height, options, colour, weight, escapement, underline, family,
  // charset, reserved, then the name.
  TBytes font;
  if (book.Version >= evExcel5) {
    font.U16(200).U16(0).U16(0x7FFF).U16(400).U16(0).U8(0).U8(0).U8(0).U8(0).U8(5);
    if (biff8)
      font.U8(0);
    b.Record(0x0031, font.Ascii("Arial"));
  } else {
    // BIFF3-4: height, options, colour, the name.
    b.Record(0x0231, font.U16(200).U16(0).U16(0x7FFF).U8(5).Ascii("Arial"));
  }
  // Before BIFF5 formats are numbered by their order.
  b.Xf(0).Xf(0).Format(164, "0.0").Xf(book.Version >= evExcel5 ? 164 : 0).Xf(14);
  if (book.BoundSheetAt)
    b.BoundSheetAt("Data", *book.BoundSheetAt);
  else
    b.BoundSheet("Data", 1);
  if (biff8) {
    TSstBuilder strings;
    book.Strings(strings);
    const std::size_t sst = b.Offset();
    b.Sst(strings);
    // One bucket of eight strings: the first string follows the counts.
    b.Record(0x00FF, TBytes().U16(8).U32(static_cast<std::uint32_t>(sst + 12 + book.ExtSstShift)).U16(12).U16(0));
  }
  book.Globals(b);
  b.Eof();

  // INDEX and DBCELL from BIFF5 on: reserved, the row range, the
  // DEFCOLWIDTH position, one DBCELL's position.
  const bool blocks = book.Version >= evExcel5;
  b.Bof(book.Version).Dimensions(0, 2, 0, 3);
  const std::size_t index = b.Offset();
  if (blocks) {
    TBytes indexData;
    indexData.U32(0);
    if (biff8)
      indexData.U32(0).U32(2);
    else
      indexData.U16(0).U16(2);
    b.Record(0x020B, indexData.U32(0).U32(0));
  }
  const std::size_t row = b.Offset();
  b.Row(0, 255).Row(1, 255);
  b.Number(0, 0, 0, 1).Number(0, 1, 2, 2.5).Number(1, 2, 3, 40000);
  if (biff8)
    b.LabelSst(1, 0, 0, 0).LabelSst(1, 1, 0, 1);
  else
    b.Label(1, 0, 0, "a").Label(1, 1, 0, "b");
  book.Cells(b);
  const std::size_t dbcell = b.Offset();
  if (blocks)
    b.Record(0x00D7, TBytes().U32(static_cast<std::uint32_t>(dbcell - row + book.DbCellShift)).U16(0));
  if (book.SheetEof)
    b.Eof();
  std::vector<std::uint8_t> stream = b.Build();
  if (blocks)
    PutU32(stream, index + 4 + (biff8 ? 16 : 12), static_cast<std::uint32_t>(dbcell + book.IndexShift));
  stream.insert(stream.end(), book.After.begin(), book.After.end());
  return stream;
}

struct TLintRun {
  int Status = 0;
  std::vector<json> Findings;
  std::string Err;

  /// "severity check" of each finding, to compare in one line.
  std::vector<std::string> Kinds() const
  {
    std::vector<std::string> kinds;
    for (const json& f : Findings)
      kinds.push_back(f["severity"].get<std::string>() + " " + f["check"].get<std::string>());
    return kinds;
  }
};

TLintRun Lint(const TBook& book)
{
  // Excel 5 and 95 name their stream "Book": the load reads any other as BIFF8.
  TCompoundFileImage image = TCompoundFileBuilder()
                                 .AddStream(book.Version < evExcel8 ? "Book" : "Workbook",
                                            book.Encrypt ? EncryptStream(Stream(book), *book.Encrypt) : Stream(book),
                                            book.Damage ? TStreamPlacement::spRegular : TStreamPlacement::spAuto)
                                 .BuildImage();
  if (book.Damage)
    book.Damage(image);
  const auto path = std::filesystem::temp_directory_path() / ("bifflens-lint-" + std::to_string(getpid()) + ".xls");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.Bytes.data()), static_cast<std::streamsize>(image.Bytes.size()));
  std::ostringstream out;
  std::ostringstream err;
  TLintRun run;
  std::vector<std::string> args{"lint"};
  args.insert(args.end(), book.Options.begin(), book.Options.end());
  args.push_back(path.string());
  run.Status = RunCli(args, out, err);
  std::filesystem::remove(path);
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);)
    run.Findings.push_back(json::parse(line));
  run.Err = err.str();
  return run;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint8_t> bytes)
{
  return bytes;
}

struct TCase {
  const char* Kind;  // "severity check" expected among the findings
  std::function<void(TBook&)> Change;
};

}  // namespace

TEST(LintCommand, ASoundWorkbookHasNoFindingInAnyVersion)
{
  for (const TExcelVersion version : {evExcel8, evExcel5, evExcel4, evExcel3}) {
    TBook book;
    book.Version = version;
    book.CodePage = version == evExcel8 ? 1200 : 1252;
    const TLintRun run = Lint(book);
    EXPECT_EQ(run.Status, kExitOk) << run.Err;
    EXPECT_EQ(run.Kinds(), std::vector<std::string>{}) << ExcelVersionName(version);
    // What the checks let pass: zero padding after the last EOF, a record
    // of exactly the length limit, a known code page other than 1252.
    book.After.assign(600, 0);
    book.CodePage = version == evExcel8 ? 1200 : 1251;
    const std::size_t limit = version == evExcel8 ? 8224 : 2080;
    book.Globals = [limit](TBiffBuilder& b) { b.Record(0x003C, std::vector<std::uint8_t>(limit, 0)); };
    EXPECT_EQ(Lint(book).Kinds(), std::vector<std::string>{}) << ExcelVersionName(version);
  }
}

TEST(LintCommand, EachCheckFiresOnAWorkbookThatBreaksItsRule)
{
  const std::vector<TCase> cases = {
      {"error bof-eof-balance", [](TBook& b) { b.SheetEof = false; }},
      {"error boundsheet-offset", [](TBook& b) { b.BoundSheetAt = 3; }},
      {"error record-too-long",
       [](TBook& b) { b.Globals = [](TBiffBuilder& s) { s.Record(0x003C, std::vector<std::uint8_t>(8225, 0)); }; }},
      {"error record-too-long",
       [](TBook& b) {
         b.Version = evExcel5;
         b.Globals = [](TBiffBuilder& s) { s.Record(0x003C, std::vector<std::uint8_t>(2081, 0)); };
       }},
      // The last record says 100 bytes and has 2.
      {"error record-cut-short",
       [](TBook& b) {
         b.SheetEof = false;
         b.After = Bytes({0x3C, 0x00, 0x64, 0x00, 1, 2});
       }},
      {"warning trailing-bytes", [](TBook& b) { b.After = Bytes({0, 0, 0, 0, 7, 0}); }},
      {"error sst-count", [](TBook& b) { b.Strings = [](TSstBuilder& s) { s.Counts(2, 3).String("a").String("b"); }; }},
      {"warning sst-count", [](TBook& b) { b.Strings = [](TSstBuilder& s) { s.Counts(1, 2).String("a").String("b"); }; }},
      // The CONTINUE falls between the two bytes of the first UTF-16 character.
      {"error sst-string-split",
       [](TBook& b) { b.Strings = [](TSstBuilder& s) { s.Header(2, 0x01).Raw({0x61}).Continue().Raw({0x01, 0x00, 0x62, 0x00}).String("b"); }; }},
      // An SST part that ends two bytes into a string header.
      {"error sst-string-split",
       [](TBook& b) { b.Strings = [](TSstBuilder& s) { s.String("a").Raw({0x01, 0x00}).Continue().String("b"); }; }},
      {"warning extsst-offsets", [](TBook& b) { b.ExtSstShift = 1; }},
      {"warning index-offsets", [](TBook& b) { b.IndexShift = 4; }},
      {"warning index-offsets", [](TBook& b) { b.DbCellShift = 20; }},
      {"warning dimensions", [](TBook& b) { b.Cells = [](TBiffBuilder& s) { s.Number(5, 0, 0, 1); }; }},
      {"error xf-index", [](TBook& b) { b.Cells = [](TBiffBuilder& s) { s.Number(0, 2, 40, 1); }; }},
      {"warning font-index",
       [](TBook& b) { b.Globals = [](TBiffBuilder& s) { s.Record(0x00E0, TBytes().U16(7).U16(0).Zeros(16)); }; }},
      {"warning format-index", [](TBook& b) { b.Globals = [](TBiffBuilder& s) { s.Xf(200); }; }},
      {"warning codepage", [](TBook& b) { b.CodePage = 12345; }},
      {"warning duplicate-cell", [](TBook& b) { b.Cells = [](TBiffBuilder& s) { s.Number(0, 0, 0, 2); }; }},
      {"info unknown-record", [](TBook& b) { b.Cells = [](TBiffBuilder& s) { s.Record(0x0777, {1, 2}); }; }},
      // A chain that runs into a free sector; zeros make the stream long
      // enough for regular sectors.
      {"error compound-file",
       [](TBook& b) {
         b.After.assign(5000, 0);
         b.Damage = [](TCompoundFileImage& f) {
           PutU32(f.Bytes, f.Layout.FatEntryOffset(f.Layout.Stream("Workbook").Sectors[3]), kCfbFreeSect);
         };
       }},
      // A sector nothing points at: a warning, the workbook reads whole.
      {"warning compound-file",
       [](TBook& b) {
         b.After.assign(5000, 0);
         b.Damage = [](TCompoundFileImage& f) {
           const auto& sectors = f.Layout.Stream("Workbook").Sectors;
           PutU32(f.Bytes, f.Layout.FatEntryOffset(sectors[sectors.size() - 2]), kCfbEndOfChain);
           // The stream's size now ends with the shortened chain.
           PutU32(f.Bytes, f.Layout.EntryOffset(f.Layout.Stream("Workbook").EntryId) + kCfbEntrySize,
                  static_cast<std::uint32_t>((sectors.size() - 1) * f.Layout.SectorSize));
         };
       }},
  };
  for (const TCase& c : cases) {
    TBook book;
    c.Change(book);
    const TLintRun run = Lint(book);
    const std::vector<std::string> kinds = run.Kinds();
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), c.Kind), kinds.end())
        << c.Kind << " not among " << ::testing::PrintToString(kinds) << run.Err;
    const bool error = std::string_view(c.Kind).starts_with("error");
    EXPECT_EQ(run.Status, error ? kExitFailure : kExitOk) << c.Kind << run.Err;
  }
}

TEST(LintCommand, AStreamReadOnPastItsBrokenChainIsACompoundFileErrorThatSaysSo)
{
  // Zeros make the stream long enough for regular sectors; the FAT entry of
  // its second sector is lost. Every sector after it is read on: the
  // workbook checks as whole, and the container's damage says how.
  TBook book;
  book.After.assign(5000, 0);
  std::vector<std::uint32_t> sectors;
  book.Damage = [&](TCompoundFileImage& f) {
    sectors = f.Layout.Stream("Workbook").Sectors;
    PutU32(f.Bytes, f.Layout.FatEntryOffset(sectors[1]), kCfbFreeSect);
  };
  const TLintRun run = Lint(book);
  EXPECT_EQ(run.Kinds(), (std::vector<std::string>{"error compound-file", "error compound-file"}));
  ASSERT_EQ(run.Findings.size(), 2u);
  const std::string chain = "stream \"Workbook\" (entry 1)";
  const std::string readOn = chain + " is read on in file order from sector " + std::to_string(sectors[2]) +
                             " to sector " + std::to_string(sectors.back()) + ": " + std::to_string(sectors.size() - 2) +
                             " sectors, " + std::to_string(sectors.size()) + " of the " + std::to_string(sectors.size()) +
                             " its size needs";
  EXPECT_EQ(run.Findings[0]["message"], chain + ": sector " + std::to_string(sectors[1]) + " links to a free sector");
  EXPECT_EQ(run.Findings[1]["message"], readOn);
  // The load's own message, before the findings, says the same.
  EXPECT_NE(run.Err.find(readOn), std::string::npos) << run.Err;
  EXPECT_EQ(run.Status, kExitFailure);
}

TEST(LintCommand, AnEncryptedWorkbookIsCheckedWhenOpenedAndOnlyByItsHeadersWhenLocked)
{
  // A duplicate cell inside the encrypted data: found once the workbook is
  // decrypted; locked, the data says nothing and draws no finding.
  TBook book;
  book.Cells = [](TBiffBuilder& s) { s.Number(0, 0, 0, 2); };
  book.Encrypt = TEncryptSpec();
  book.Encrypt->Password = "secret";
  struct TRunCase {
    std::vector<std::string> Options;
    int Status;
    std::vector<std::string> Kinds;
  };
  for (const TRunCase& c : {
           TRunCase{{"--password", "secret"}, kExitOk, {"info encrypted", "warning duplicate-cell"}},
           TRunCase{{}, kExitFailure, {"info encrypted"}},
           TRunCase{{"--password", "wrong"}, kExitFailure, {"info encrypted"}},
       }) {
    SCOPED_TRACE(c.Options.empty() ? "no password" : c.Options[1]);
    book.Options = c.Options;
    const TLintRun run = Lint(book);
    EXPECT_EQ(run.Status, c.Status) << run.Err;
    EXPECT_EQ(run.Kinds(), c.Kinds);
    ASSERT_FALSE(run.Findings.empty());
    EXPECT_EQ(run.Findings[0]["message"], "the workbook is encrypted: RC4 with MD5");
  }
}

TEST(LintCommand, AFindingNamesItsRecordAndTheOutputHoldsTheContract)
{
  TBook book;
  book.Cells = [](TBiffBuilder& s) { s.Number(0, 0, 0, 2); };
  const std::vector<std::uint8_t> stream = Stream(book);
  const TLintRun run = Lint(book);
  ASSERT_EQ(run.Findings.size(), 1u);
  const json& finding = run.Findings[0];
  EXPECT_EQ(finding["message"], "cell A1 is written a second time");
  // The record at that offset is the second NUMBER of A1.
  const std::size_t at = finding["offset"].get<std::size_t>();
  ASSERT_LT(at + 8, stream.size());
  EXPECT_EQ(stream[at] | stream[at + 1] << 8, 0x0203);
  EXPECT_EQ(stream[at + 4] | stream[at + 6], 0);  // row 0, column 0
  EXPECT_GT(finding["n"].get<int>(), 10);
  // Findings of the whole workbook have no record.
  book.After = Bytes({0, 0, 0, 0, 7});
  const json trailing = Lint(book).Findings.back();
  EXPECT_TRUE(trailing["n"].is_null() && trailing["offset"].is_null());

  std::ostringstream out, err;
  EXPECT_EQ(RunCli(std::vector<std::string>{"lint"}, out, err), kExitUsage);
  EXPECT_EQ(RunCli(std::vector<std::string>{"lint", "/nonexistent/book.xls"}, out, err), kExitFailure);
}

TEST(ContainerCommand, ListsEntriesSectorRunsAndProblemsAsJsonLines)
{
  TCompoundFileImage image = TCompoundFileBuilder()
                                 .AddStream("Workbook", std::vector<std::uint8_t>(5000, 1))
                                 .AddStream("Small", std::vector<std::uint8_t>(100, 2))
                                 .BuildImage();
  const auto& sectors = image.Layout.Stream("Workbook").Sectors;
  PutU32(image.Bytes, image.Layout.FatEntryOffset(sectors[sectors.size() - 2]), kCfbEndOfChain);
  const auto path = std::filesystem::temp_directory_path() / ("bifflens-container-" + std::to_string(getpid()));
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.Bytes.data()), static_cast<std::streamsize>(image.Bytes.size()));
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(std::vector<std::string>{"container", path.string()}, out, err), kExitOk);
  std::vector<json> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);)
    lines.push_back(json::parse(line));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0]["kind"], "header");
  EXPECT_EQ(lines[0]["sector_size"], 512);
  std::map<std::string, json> entries;
  std::int64_t counted = 0;
  std::vector<std::string> problems;
  std::string lastUse;
  for (const json& line : lines) {
    if (line["kind"] == "entry")
      entries[line["name"]] = line;
    if (line["kind"] == "sectors") {
      EXPECT_EQ(line["first"], counted);  // the runs tile the sectors in order
      counted += line["count"].get<std::int64_t>();
      lastUse = line["use"];
    }
    if (line["kind"] == "problem")
      problems.push_back(line["message"]);
  }
  EXPECT_EQ(counted, lines[0]["sectors"].get<std::int64_t>());
  EXPECT_EQ(entries["Workbook"]["size"], 5000);
  EXPECT_EQ(entries["Workbook"]["mini"], false);
  EXPECT_EQ(entries["Small"]["mini"], true);
  EXPECT_EQ(entries["Root Entry"]["type"], "root");
  EXPECT_EQ(lastUse, "unreachable");
  EXPECT_EQ(problems, (std::vector<std::string>{
                          "stream \"Workbook\" (entry 1) ends after 9 of its 10 sectors, at sector " +
                              std::to_string(sectors[8]),
                          "1 sector in use by the FAT belongs to no chain, the first sector " + std::to_string(sectors[9])}));
  // A bare BIFF stream has no container: said on one line, no failure. A
  // file with the signature that is cut short is a damaged one.
  std::ofstream(path, std::ios::binary) << std::string(600, 'x');
  std::ostringstream bare;
  EXPECT_EQ(RunCli(std::vector<std::string>{"container", path.string()}, bare, err), kExitOk);
  const std::string bareLines = bare.str();
  EXPECT_EQ(std::count(bareLines.begin(), bareLines.end(), '\n'), 1) << bareLines;
  std::ofstream(path, std::ios::binary) << std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) << std::string(100, '\0');
  std::ostringstream cut;
  std::ostringstream cutErr;
  EXPECT_EQ(RunCli(std::vector<std::string>{"container", path.string()}, cut, cutErr), kExitFailure);
  EXPECT_EQ(cutErr.str().rfind("bifflens-cli: " + path.string() + ": ", 0), 0u) << cutErr.str();
  std::filesystem::remove(path);
}

TEST(LintCommand, CountsInMessagesTakeTheSingularForOne)
{
  const auto message = [](const TLintRun& run, const char* check) {
    for (const json& finding : run.Findings)
      if (finding["check"] == check)
        return finding["message"].get<std::string>();
    return std::string("(no ") + check + ")";
  };
  TBook one;
  one.Cells = [](TBiffBuilder& s) { s.Record(0x0777, {1, 2}); };
  one.After = Bytes({7});
  const TLintRun single = Lint(one);
  EXPECT_EQ(message(single, "unknown-record"), "1 record of code 0x0777, which no layout knows");
  EXPECT_EQ(message(single, "trailing-bytes"), "1 byte after the last EOF, not zero padding");
  TBook two;
  two.Cells = [](TBiffBuilder& s) { s.Record(0x0777, {1, 2}).Record(0x0777, {3}); };
  two.After = Bytes({7, 8});
  const TLintRun several = Lint(two);
  EXPECT_EQ(message(several, "unknown-record"), "2 records of code 0x0777, which no layout knows");
  EXPECT_EQ(message(several, "trailing-bytes"), "2 bytes after the last EOF, not zero padding");
}
