#include "Commands.h"
#include "WorkbookCommand.h"
#include "platform/text/HexText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct TResult {
  int Status;
  std::string Out;
  std::string Err;
};

TResult Cli(std::vector<std::string> args)
{
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunCli(args, out, err);
  return {status, out.str(), err.str()};
}

std::string TempFile(const std::string& name, const std::string& content)
{
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

}  // namespace

TEST(CliUsage, BadCommandLinesExitWithTwo)
{
  EXPECT_EQ(Cli({}).Status, kExitUsage);
  EXPECT_EQ(Cli({"frobnicate"}).Status, kExitUsage);
  EXPECT_EQ(Cli({"records"}).Status, kExitUsage);
  EXPECT_EQ(Cli({"cells", "a.xls", "b.xls"}).Status, kExitUsage);
  EXPECT_EQ(Cli({"hex", "a.xls"}).Status, kExitUsage);
  EXPECT_EQ(Cli({"hex", "a.xls", "0"}).Status, kExitUsage);
  EXPECT_EQ(Cli({"hex", "a.xls", "3x"}).Status, kExitUsage);
}

TEST(CliUsage, HelpListsEveryCommandOnStdout)
{
  const TResult r = Cli({"--help"});
  EXPECT_EQ(r.Status, kExitOk);
  for (const char* command : {"records", "cells", "hex", "fields", "stats"})
    EXPECT_NE(r.Out.find(command), std::string::npos) << command;
}

TEST(CliLoadFailure, MissingFileGivesTheMessageWithItsDotAndExitOne)
{
  const TResult r = Cli({"cells", "/nonexistent/book.xls"});
  EXPECT_EQ(r.Status, kExitFailure);
  EXPECT_EQ(r.Err, "bifflens-cli: /nonexistent/book.xls: File is not exists.\n");
  EXPECT_EQ(r.Out, "");
}

TEST(CliLoadFailure, RecordsReadBeforeTheFailureArePrinted)
{
  // A bare stream: one ordinary record, then a BOF-like code with an
  // unknown version byte, which is not an Excel file.
  const std::string bytes{"\x42\x00\x02\x00\xE4\x04"
                          "\x09\x33\x02\x00\x00\x00",
                          12};
  const std::string file = TempFile("bifflens-cli-bad-bof.xls", bytes);
  const TResult r = Cli({"records", file});
  EXPECT_EQ(r.Status, kExitFailure);
  EXPECT_EQ(r.Err, "bifflens-cli: " + file + ": File is not a Excel file.\n");
  EXPECT_EQ(r.Out,
            "{\"n\":1,\"offset\":0,\"code\":66,\"length\":2,\"name\":\"CODEPAGE\",\"type\":\"CODEPAGE\"}\n"
            "{\"n\":2,\"offset\":6,\"code\":13065,\"length\":2,\"name\":\"Unknown\",\"type\":null}\n");
}

TEST(CliHex, PrintsTheNumberedRecordsBytesSixteenALine)
{
  // BOF (BIFF2), CODEPAGE, then a record of 18 bytes.
  std::string bytes{"\x09\x00\x04\x00\x02\x00\x10\x00", 8};
  bytes += std::string{"\x42\x00\x02\x00\xE4\x04", 6};
  bytes += std::string{"\x99\x00\x12\x00", 4};
  for (int i = 0; i < 18; ++i)
    bytes += static_cast<char>('A' + i);
  const std::string file = TempFile("bifflens-cli-hex.xls", bytes);
  const TResult r = Cli({"hex", file, "3"});
  EXPECT_EQ(r.Status, kExitOk) << r.Err;
  EXPECT_EQ(r.Out,
            "00000000: 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP\n"
            "00000010: 51 52                                            QR\n");
  const TResult missing = Cli({"hex", file, "4"});
  EXPECT_EQ(missing.Status, kExitFailure);
  EXPECT_EQ(missing.Err, "bifflens-cli: " + file + ": Record 4 does not exist: the workbook has 3 records.\n");
}

TEST(CliHex, ShowsCharactersAsTheDumpDoes)
{
  // Control bytes are dots; the others are their Windows-1252 characters,
  // in UTF-8 (0x80 the euro sign, 0xFF y with diaeresis).
  const std::uint8_t bytes[] = {0x00, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF};
  EXPECT_EQ(HexDumpLine(0x20, bytes),
            "00000020: 00 1F 20 7E 7F 80 FF                             .. ~\x7F\u20AC\u00FF");
}
