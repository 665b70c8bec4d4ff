#include "Commands.h"

#include "CommandReader.h"

#include "ContainerCommand.h"
#include "CsvCommand.h"
#include "DiffCommand.h"
#include "EvalCommand.h"
#include "FieldsCommand.h"
#include "LintCommand.h"
#include "MacrosCommand.h"
#include "WorkbookCommand.h"
#include "xls/crypto/Secret.h"

#include <cstdlib>
#include <cstring>
#include <utility>
#include <string_view>
#include <vector>

namespace {

using TRunCommand = int (*)(std::span<const std::string> args, std::ostream& out, std::ostream& err);

struct TCliCommand {
  const char* Name;
  const char* Usage;    // the arguments, as the help shows them
  const char* Summary;  // one line; a second one may follow after "\n"
  TRunCommand Run;
};

// The help lists the commands in this order.
constexpr TCliCommand kCommands[] = {
    {"records", "records FILE", "one JSON line per BIFF record, in stream order", RunRecordsCommand},
    {"cells", "cells [--formulas] FILE", "one JSON line per stored cell value (and its formula)",
     RunCellsCommand},
    {"names", "names FILE", "one JSON line per defined name, with its formula", RunNamesCommand},
    {"hex", "hex FILE N", "the bytes of record N (from 1) as hex dump lines", RunHexCommand},
    {"fields", "fields FILE [N]", "every record's fields (or record N's) as JSON lines", RunFieldsCommand},
    {"stats", "stats FILE", "version, record count and sheet extents as JSON", RunStatsCommand},
    {"container", "container FILE", "the compound file's directory and sectors as JSON lines",
     RunContainerCommand},
    {"lint", "lint FILE", "a structure check: one JSON line per finding", RunLintCommand},
    {"macros", "macros FILE", "what it can run, hides and reaches out to (JSON lines)",
     RunMacrosCommand},
    {"csv", "csv FILE [OPTIONS]", "a worksheet as CSV (csv --help lists the options)", RunCsvCommand},
    {"diff", "diff [OPTIONS] A.xls B.xls",
     "compare two workbooks record by record or cell by cell", RunDiffCommand},
    {"eval", "eval EXPR [--define \"NAME(args)=body\"]...",
     "evaluate an expression; prints its kind, a tab, its text", RunEvalCommand},
};

constexpr std::size_t kUsageColumn = 23;
constexpr std::string_view kPasswordOption = "--password";
constexpr std::string_view kPasswordOptionWithValue = "--password=";
constexpr char kPasswordVariable[] = "BIFFLENS_PASSWORD";

void WriteUsage(std::ostream& out)
{
  out << "Usage: bifflens-cli COMMAND ARGS...\n"
         "Looks inside legacy binary Excel workbooks (.xls, BIFF2 to BIFF8).\n"
         "\n"
         "Commands:\n";
  for (const TCliCommand& command : kCommands) {
    const std::string_view usage = command.Usage;
    out << "  " << usage;
    // A usage too long for its column puts the summary on a line of its own.
    if (usage.size() + 2 < kUsageColumn)
      out << std::string(kUsageColumn - 2 - usage.size(), ' ');
    else
      out << '\n' << std::string(kUsageColumn, ' ');
    out << command.Summary << '\n';
  }
  out << "  --help" << std::string(kUsageColumn - 8, ' ') << "show this text\n"
      << "\n"
         "Options (before or after the command):\n"
         "  --password P         the password of an encrypted workbook; without it,\n"
         "                       BIFFLENS_PASSWORD from the environment. Excel's\n"
         "                       default password is tried first; a workbook no\n"
         "                       password opens has its records listed as stored\n"
         "                       and the load fails.\n"
         "\n"
         "FILE may be a pipe or a device; \"-\" reads standard input.\n"
         "\n"
         "Exit status: 0 success, 1 the file could not be read or the expression\n"
         "failed (what was read is printed, the message goes to stderr), 2 bad usage.\n";
}

}  // namespace

namespace {

/// Zeroes the password values among `count` arguments that `at` gives as
/// (bytes, size): the one after "--password", the rest of "--password=...".
template <typename TArgument>
void WipePasswordValues(std::size_t count, TArgument&& at)
{
  for (std::size_t i = 0; i < count; ++i) {
    auto [bytes, size] = at(i);
    const std::string_view arg(bytes, size);
    if ((arg == kPasswordOption || arg == "--password-a" || arg == "--password-b") && i + 1 < count) {
      ++i;
      auto [value, valueSize] = at(i);
      WipeBytes(value, valueSize);
    } else if (arg.starts_with(kPasswordOptionWithValue)) {
      WipeBytes(bytes + kPasswordOptionWithValue.size(), size - kPasswordOptionWithValue.size());
    }
  }
}

}  // namespace

void WipePasswordArguments(std::span<std::string> args)
{
  WipePasswordValues(args.size(), [&](std::size_t i) { return std::pair(args[i].data(), args[i].size()); });
}

void WipePasswordArguments(int argc, char** argv)
{
  WipePasswordValues(argc > 0 ? static_cast<std::size_t>(argc - 1) : 0,
                     [&](std::size_t i) { return std::pair(argv[i + 1], std::strlen(argv[i + 1])); });
}

int RunCli(std::span<const std::string> allArgs, std::ostream& out, std::ostream& err)
{
  // The password goes into a buffer wiped at the end; the command sees the
  // other arguments only.
  TSecret password;
  bool havePassword = false;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < allArgs.size(); ++i) {
    const std::string& arg = allArgs[i];
    if (arg == kPasswordOption) {
      if (i + 1 >= allArgs.size()) {
        err << "bifflens-cli: --password needs a value\n";
        return kExitUsage;
      }
      password.Assign(allArgs[++i]);
      havePassword = true;
    } else if (arg.starts_with(kPasswordOptionWithValue)) {
      password.Assign(std::string_view(arg).substr(kPasswordOptionWithValue.size()));
      havePassword = true;
    } else {
      rest.push_back(arg);
    }
  }
  if (!havePassword)
    if (const char* variable = std::getenv(kPasswordVariable)) {
      password.Assign(variable);
      havePassword = true;
    }
  const TCommandPassword offered(havePassword ? &password : nullptr);
  const std::span<const std::string> args = rest;
  if (args.empty()) {
    WriteUsage(err);
    return kExitUsage;
  }
  const std::string_view name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    WriteUsage(out);
    return kExitOk;
  }
  for (const TCliCommand& command : kCommands)
    if (name == command.Name)
      return command.Run(args.subspan(1), out, err);
  err << "bifflens-cli: unknown command '" << name << "'\n";
  WriteUsage(err);
  return kExitUsage;
}
