// The csv command: its command line, which sheets go where, what it tells
// on stderr, and how it ends on damaged files and bad options.
#include "Commands.h"
#include "CsvCommand.h"
#include "CsvMessages.h"
#include "support/BiffBuilder.h"
#include "support/FormulaBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using enum TExcelVersion;

struct TResult {
  int Status;
  std::string Out;
  std::string Err;
};

TResult Cli(std::vector<std::string> args, std::ostream* stdOut = nullptr)
{
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunCli(args, stdOut ? *stdOut : out, err);
  return {status, out.str(), err.str()};
}

std::string ReadFile(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

constexpr char kFirstSheet[] = "1.5,2020-01-01,\n\"a \"\"b\"\", c\",,18:00:00\n";

/// A folder of its own for each test, and a workbook in it.
class CsvCommand : public ::testing::Test {
protected:
  void SetUp() override
  {
    FDir = fs::temp_directory_path() / ("bifflens-csv-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
  {
    std::ofstream(FDir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return (FDir / name).string();
  }
  /// Worksheets "First" (kFirstSheet: a number, a date, a time, a text),
  /// "Second/half", "Second_half" and "1", each of these its name in A1.
  std::string Book() const
  {
    TBiffBuilder b;
    b.Bof(evExcel8, TBofType::btGlobals).Xf(0).Xf(14).Xf(20);
    b.BoundSheet("First", 1).BoundSheet("Second/half", 2).BoundSheet("Second_half", 3).BoundSheet("1", 4);
    b.Eof().Bof(evExcel8).Number(0, 0, 0, 1.5).Number(0, 1, 1, 43831).Number(1, 2, 2, 0.75);
    b.Label(1, 0, 0, "a \"b\", c").Eof();
    for (const char* name : {"Second/half", "Second_half", "1"})
      b.Bof(evExcel8).Label(0, 0, 0, name).Eof();
    return Write("book.xls", InCompoundFile(b.Build()));
  }

  fs::path FDir;
};

}  // namespace

TEST(CsvCommandLine, ReadsEveryOptionInEverySpelling)
{
  const std::vector<std::string> args{"--sheet", "Data", "book.xls", "--sheet=2", "-o", "out/{n}.csv",
                                      "--range", "B2:C3", "--delimiter", ";", "--quote=all", "--eol",
                                      "crlf", "--bom", "--dates", "serial", "--codepage", "1251"};
  const TCsvCommandLine line = ParseCsvCommandLine(args);
  EXPECT_EQ(line.File, "book.xls");
  EXPECT_EQ(line.Sheets, (std::vector<std::string>{"Data", "2"}));
  EXPECT_EQ(line.OutputPattern, "out/{n}.csv");
  EXPECT_EQ(line.Range, (TCellRange{1, 1, 2, 2}));
  EXPECT_EQ(line.Format.Delimiter, ';');
  EXPECT_EQ(line.Format.Quote, TCsvQuote::cqAll);
  EXPECT_EQ(line.Format.Eol, TCsvEol::ceCrLf);
  EXPECT_TRUE(line.Format.Bom);
  EXPECT_EQ(line.Format.Dates, TCsvDates::cdSerial);
  EXPECT_EQ(line.CodePage, 1251);
  // The defaults, other spellings, later values replacing earlier ones.
  const auto parse = [](std::vector<std::string> a) { return ParseCsvCommandLine(a); };
  const TCsvCommandLine plain = parse({"b.xls"});
  EXPECT_TRUE(plain.Sheets.empty() && plain.OutputPattern.empty() && !plain.AllSheets && plain.CodePage == 0);
  EXPECT_EQ(plain.Range, TCellRange{});
  EXPECT_TRUE(plain.Format.Delimiter == ',' && plain.Format.Quote == TCsvQuote::cqMinimal &&
              plain.Format.Eol == TCsvEol::ceLf && !plain.Format.Bom && plain.Format.Dates == TCsvDates::cdIso);
  EXPECT_EQ(parse({"b.xls", "--delimiter", "\\t"}).Format.Delimiter, '\t');
  EXPECT_EQ(parse({"b.xls", "--delimiter=tab", "--delimiter", "|"}).Format.Delimiter, '|');
  EXPECT_EQ(parse({"b.xls", "--quote", "none"}).Format.Quote, TCsvQuote::cqNone);
  EXPECT_EQ(parse({"b.xls", "--quote", "all", "--quote", "minimal"}).Format.Quote, TCsvQuote::cqMinimal);
  EXPECT_EQ(parse({"b.xls", "--eol=crlf", "--eol", "lf"}).Format.Eol, TCsvEol::ceLf);
  EXPECT_EQ(parse({"b.xls", "--dates", "iso"}).Format.Dates, TCsvDates::cdIso);
  EXPECT_EQ(parse({"b.xls", "--output", "x.csv"}).OutputPattern, "x.csv");
  EXPECT_EQ(parse({"b.xls", "--codepage", "32769"}).CodePage, 32769);
  EXPECT_TRUE(parse({"--all", "b.xls", "-o", "{name}.csv"}).AllSheets);
  EXPECT_TRUE(parse({"--help"}).Help);
  EXPECT_TRUE(parse({"b.xls", "--formulas"}).Formulas && !plain.Formulas);
}

TEST(CsvCommandLine, RefusesBadCommandLinesWithTheReason)
{
  const std::string delimiter =
      "csv: --delimiter takes one character other than a quote, CR or LF (\\t for a tab), not ";
  const std::string codePage =
      "csv: --codepage takes a code page this system decodes (1252, 1251, 10000, 932, ...), not ";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "csv: no FILE given"},
      {{"a.xls", "b.xls"}, "csv: one FILE only, not also 'b.xls'"},
      {{"a.xls", "--frobnicate"}, "csv: unknown option '--frobnicate'"},
      {{"a.xls", "--bom=yes"}, "csv: unknown option '--bom=yes'"},
      {{"a.xls", "--formula"}, "csv: unknown option '--formula'"},
      {{"a.xls", "--sheet"}, "csv: --sheet needs a value"},
      {{"a.xls", "--delimiter", ",,"}, delimiter + "',,'"},
      {{"a.xls", "--delimiter", "\""}, delimiter + "'\"'"},
      {{"a.xls", "--delimiter", "\n"}, delimiter + "'\n'"},
      {{"a.xls", "--delimiter="}, delimiter + "''"},
      {{"a.xls", "--quote", "some"}, "csv: --quote takes minimal, all or none, not 'some'"},
      {{"a.xls", "--eol", "cr"}, "csv: --eol takes lf or crlf, not 'cr'"},
      {{"a.xls", "--dates", "excel"}, "csv: --dates takes iso or serial, not 'excel'"},
      {{"a.xls", "--codepage", "utf8"}, codePage + "'utf8'"},
      {{"a.xls", "--codepage", "4242"}, codePage + "'4242'"},
      {{"a.xls", "--codepage", "0"}, codePage + "'0'"},
      {{"a.xls", "--range", "A1:"}, "csv: --range: 'A1:' is no cell range (write it as A1:D20, B2, A:C or 1:5)"},
      {{"a.xls", "--all", "--sheet", "1", "-o", "{n}"}, "csv: --all and --sheet do not go together"},
      {{"a.xls", "--all"}, "csv: several sheets need -o PATTERN, one file each"},
      {{"a.xls", "--sheet", "1", "--sheet", "2"}, "csv: several sheets need -o PATTERN, one file each"},
      {{"a.xls", "--all", "-o", "out.csv"}, "csv: -o 'out.csv' gives every sheet the same file; put {n} or {name} in it"},
  };
  for (const auto& [args, message] : cases)
    EXPECT_THAT([&] { ParseCsvCommandLine(args); }, ::testing::ThrowsMessage<EUsageError>(::testing::StrEq(message)));
  const TResult r = Cli({"csv", "a.xls", "--quote", "some"});
  EXPECT_EQ(r.Status, kExitUsage);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, std::string("bifflens-cli: csv: --quote takes minimal, all or none, not 'some'\n") + kCsvUsageHint);
  EXPECT_EQ(Cli({"csv", "--help"}).Out, kCsvUsage);
  EXPECT_NE(Cli({"--help"}).Out.find("csv FILE [OPTIONS]"), std::string::npos);
}

TEST_F(CsvCommand, WritesTheFirstSheetAndNamesTheOthersOnStderr)
{
  const TResult r = Cli({"csv", Book()});
  EXPECT_EQ(r.Status, kExitOk);
  EXPECT_EQ(r.Out, kFirstSheet);
  EXPECT_EQ(r.Err, "bifflens-cli: csv wrote sheet 1 of 4, \"First\"; the others are \"Second/half\", "
                   "\"Second_half\", \"1\" (--sheet NAME|N, or --all -o PATTERN)\n");
}

TEST_F(CsvCommand, ChoosesSheetsByNameBeforeNumber)
{
  const std::string book = Book();
  EXPECT_EQ(Cli({"csv", book, "--sheet", "Second/half"}).Out, "Second/half\n");
  EXPECT_EQ(Cli({"csv", book, "--sheet", "2"}).Out, "Second/half\n");
  EXPECT_EQ(Cli({"csv", book, "--sheet", "1"}).Out, "1\n");  // the sheet named "1"
  EXPECT_EQ(Cli({"csv", book, "--sheet", "First"}).Err, "");
  const TResult missing = Cli({"csv", book, "--sheet", "5"});
  EXPECT_EQ(missing.Status, kExitUsage);
  EXPECT_EQ(missing.Out, "");
  EXPECT_EQ(missing.Err, "bifflens-cli: csv: the workbook has no worksheet '5' (it has \"First\", "
                         "\"Second/half\", \"Second_half\", \"1\")\n");
}

TEST_F(CsvCommand, WritesAFilePerSheetByThePatternButNeverTwoToOne)
{
  const std::string book = Book();
  const TResult r = Cli({"csv", book, "--all", "-o", (FDir / "{n}-{name}.csv").string()});
  EXPECT_EQ(r.Status, kExitOk);
  EXPECT_EQ(r.Out + r.Err, "");
  EXPECT_EQ(ReadFile(FDir / "1-First.csv"), kFirstSheet);
  EXPECT_EQ(ReadFile(FDir / "2-Second_half.csv"), "Second/half\n");
  EXPECT_EQ(ReadFile(FDir / "3-Second_half.csv"), "Second_half\n");
  EXPECT_EQ(ReadFile(FDir / "4-1.csv"), "1\n");
  // Chosen sheets numbered as in the workbook; one sheet to a plain name.
  EXPECT_EQ(Cli({"csv", book, "--sheet", "1", "--sheet", "First", "-o", (FDir / "{n}.txt").string()}).Status, kExitOk);
  EXPECT_EQ(ReadFile(FDir / "4.txt") + ReadFile(FDir / "1.txt"), std::string("1\n") + kFirstSheet);
  EXPECT_EQ(Cli({"csv", book, "-o", (FDir / "one.csv").string()}).Status, kExitOk);
  EXPECT_EQ(ReadFile(FDir / "one.csv"), kFirstSheet);
  // "Second/half" and "Second_half" make the same safe name: nothing is written.
  const TResult same = Cli({"csv", book, "--all", "-o", (FDir / "{name}.csv").string()});
  EXPECT_EQ(same.Status, kExitUsage);
  EXPECT_EQ(same.Err, "bifflens-cli: csv: two sheets would both be written to '" +
                          (FDir / "Second_half.csv").string() + "'\n");
  EXPECT_FALSE(fs::exists(FDir / "First.csv"));
}

TEST_F(CsvCommand, SaysWhenAFileOrStandardOutputCannotBeWritten)
{
  const std::string path = (FDir / "missing" / "x.csv").string();
  const TResult r = Cli({"csv", Book(), "-o", path});
  EXPECT_EQ(r.Status, kExitFailure);
  EXPECT_EQ(r.Err, "bifflens-cli: Cannot write " + path + ": No such file or directory.\n");
  // Standard output on a full disk: every write fails.
  struct TFullBuffer : std::streambuf {
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
    int_type overflow(int_type) override { return traits_type::eof(); }
  } full;
  std::ostream out(&full);
  const TResult failed = Cli({"csv", Book(), "--sheet", "First"}, &out);
  EXPECT_EQ(failed.Status, kExitFailure);
  EXPECT_EQ(failed.Err, "bifflens-cli: Cannot write standard output.\n");
}

TEST_F(CsvCommand, FormatOptionsReachTheOutput)
{
  const TResult r = Cli({"csv", Book(), "--sheet", "First", "--range", "A1:C2", "--delimiter", ";", "--quote",
                         "all", "--eol", "crlf", "--bom", "--dates", "serial"});
  EXPECT_EQ(r.Status, kExitOk);
  EXPECT_EQ(r.Out, "\xEF\xBB\xBF\"1.5\";\"43831\";\"\"\r\n\"a \"\"b\"\", c\";\"\";\"0.75\"\r\n");
  EXPECT_EQ(Cli({"csv", Book(), "--range", "B1:C5"}).Out, "2020-01-01,\n,18:00:00\n");
  const TResult none = Cli({"csv", Book(), "--sheet", "First", "--quote", "none"});
  EXPECT_EQ(none.Out, "1.5,2020-01-01,\na \"b\", c,,18:00:00\n");
  EXPECT_EQ(none.Err, "bifflens-cli: csv: 1 field of \"First\" hold the delimiter, a quote or a line "
                      "break and went out unquoted (--quote none), the first at A2\n");
}

TEST_F(CsvCommand, ACodePageOptionDecodesOldTextAnew)
{
  // BIFF5 text written in Windows-1251 by a file that claims 1252.
  TBiffBuilder b;
  b.Bof(evExcel5, TBofType::btGlobals).CodePage(1252).BoundSheet("S", 1).Eof();
  b.Bof(evExcel5).Label(0, 0, 0, "\xCF\xF0\xE8\xE2\xE5\xF2").Eof();
  const std::string book = Write("cp.xls", InCompoundFile(b.Build(), "Book"));
  EXPECT_EQ(Cli({"csv", book}).Out, "\xC3\x8F\xC3\xB0\xC3\xA8\xC3\xA2\xC3\xA5\xC3\xB2\n");  // Ïðèâåò
  EXPECT_EQ(Cli({"csv", book, "--codepage", "1251"}).Out, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\n");
}

TEST_F(CsvCommand, DamagedMissingAndSheetlessWorkbooksExitWithOne)
{
  // A bare BIFF4 stream whose second BOF has a version no Excel wrote:
  // what was read comes out.
  TBiffBuilder cut;
  cut.Bof(evExcel4).Number(0, 0, 0, 7).Number(1, 1, 0, 8).Raw({0x09, 0x33, 0x02, 0x00, 0x00, 0x00});
  const TResult damaged = Cli({"csv", Write("cut.xls", cut.Build())});
  EXPECT_EQ(damaged.Status, kExitFailure);
  EXPECT_EQ(damaged.Out, "7,\n,8\n");
  EXPECT_EQ(damaged.Err, "bifflens-cli: " + (FDir / "cut.xls").string() + ": File is not a Excel file.\n");
  const TResult missing = Cli({"csv", (FDir / "none.xls").string()});
  EXPECT_EQ(missing.Status, kExitFailure);
  EXPECT_EQ(missing.Out + missing.Err, "bifflens-cli: " + (FDir / "none.xls").string() + ": File is not exists.\n");
  TBiffBuilder chart;
  chart.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Chart", 1).Eof().Bof(evExcel8, TBofType::btChart).Eof();
  const TResult sheetless = Cli({"csv", Write("chart.xls", InCompoundFile(chart.Build()))});
  EXPECT_EQ(sheetless.Status, kExitFailure);
  EXPECT_EQ(sheetless.Out + sheetless.Err,
            "bifflens-cli: " + (FDir / "chart.xls").string() + ": The workbook has no worksheet.\n");
}

TEST_F(CsvCommand, FormulasReplaceTheirValuesAndAnUnreadableOneKeepsItsValue)
{
  // Sheet "F": A1 = 2, B1 = A1*3 (6), C1 cut short (cached 7), D1 a text
  // formula whose text holds the delimiter; sheet "G": A1 = A1 of F.
  const auto times3 = TFormulaBuilder().Ref(0, 0).Int(3).Op(kFbMul).Build().Tokens;
  const auto text = TFormulaBuilder().Str("a,b").Build().Tokens;
  const auto other = TFormulaBuilder().Ref3d(0, 0, 0, false).Build().Tokens;
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("F", 1).BoundSheet("G", 2).SupBookSelf(2);
  b.ExternSheet8({{0, 0, 0}}).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 2).FormulaTokens(0, 1, 6, times3);
  b.FormulaTokens(0, 2, 7, {0x44, 0x00}).FormulaTokens(0, 3, 0, text).Eof();
  b.Bof(evExcel8).FormulaTokens(0, 0, 2, other).Eof();
  const std::string book = Write("f.xls", InCompoundFile(b.Build()));

  const TResult values = Cli({"csv", book, "--sheet", "F"});
  EXPECT_EQ(values.Out, "2,6,7,0\n");
  const TResult formulas = Cli({"csv", book, "--sheet", "F", "--formulas"});
  EXPECT_EQ(formulas.Status, kExitOk);
  EXPECT_EQ(formulas.Out, "2,=A1*3,7,\"=\"\"a,b\"\"\"\n");
  EXPECT_EQ(formulas.Err, "bifflens-cli: csv: 1 formula of \"F\" could not be read and went out as its "
                          "value, the first at C1\n");
  // Each sheet reads its own formulas (an absolute reference here), also into files.
  EXPECT_EQ(Cli({"csv", book, "--all", "--formulas", "-o", (FDir / "{name}.csv").string()}).Status, kExitOk);
  EXPECT_EQ(ReadFile(FDir / "G.csv"), "=F!$A$1\n");
  EXPECT_EQ(ReadFile(FDir / "F.csv"), formulas.Out);
}
