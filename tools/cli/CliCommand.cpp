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

#include <algorithm>
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
  // What `COMMAND --help` prints under its usage and summary; nullptr for
  // the commands that write their own help (they take --help themselves).
  const char* Help;
};

constexpr char kFileHelp[] =
    "FILE is a workbook (.xls, BIFF2 to BIFF8, in a compound file or a bare\n"
    "stream), a pipe or a device; \"-\" reads standard input.\n";

constexpr char kRecordsHelp[] =
    "Each line: \"n\" (the record's number, from 1), \"offset\" (of its header in the\n"
    "workbook stream), \"code\", \"length\", \"name\" (as the viewer's Name column)\n"
    "and \"type\" (its type in the record catalogue, as `fields` gives it; null\n"
    "for a code no layout describes).\n";
constexpr char kCellsHelp[] =
    "Each line: \"sheet\", \"caption\", \"row\", \"col\" (from 0), \"type\" and \"value\".\n"
    "\n"
    "Options:\n"
    "  --formulas   also the cell's formula as text (\"formula\", or\n"
    "               \"formula_error\" when it cannot be read)\n";
constexpr char kNamesHelp[] =
    "Each line: \"name\", \"sheet\" (null for a workbook-wide name), \"hidden\",\n"
    "\"builtin\" and \"formula\" (or \"formula_error\").\n";
constexpr char kHexHelp[] =
    "N is the record's number, from 1, as `records` numbers it. Each line: the\n"
    "offset in the record's data, 16 bytes in hexadecimal, and their text.\n";
constexpr char kFieldsHelp[] =
    "Each line: the record (\"n\", \"offset\", \"code\", \"name\", \"type\", \"length\",\n"
    "\"decoded\") and its \"fields\" as the viewer's Fields pane shows them. With\n"
    "N, record N alone.\n";
constexpr char kStatsHelp[] =
    "One line: \"file\", \"version\", \"biff\" (the record layout, as the viewer's\n"
    "status bar shows it: BIFF2, BIFF3, BIFF4, BIFF5/7 or BIFF8), \"records\",\n"
    "\"encryption\" (when encrypted) and per sheet its \"caption\", \"rows\",\n"
    "\"cols\" and stored \"cells\".\n";
constexpr char kContainerHelp[] =
    "Lines of \"kind\" header, entry, sectors and problem. A bare stream (no\n"
    "compound file) gives one line of \"kind\" none, and exit status 0.\n";
constexpr char kLintHelp[] =
    "Each line: \"severity\" (error, warning, note), \"check\" (its ID), the\n"
    "record (\"record\", \"offset\") and the \"message\". Exit status 1 when an\n"
    "error is found.\n";
constexpr char kEvalHelp[] =
    "Prints the result's kind, a tab and its text. No file is read.\n"
    "\n"
    "Options:\n"
    "  --define \"NAME(args)=body\"   a function the expression may call; may\n"
    "                               be given more than once\n";

// The help lists the commands in this order.
constexpr TCliCommand kCommands[] = {
    {"records", "records FILE", "one JSON line per BIFF record, in stream order", RunRecordsCommand,
     kRecordsHelp},
    {"cells", "cells [--formulas] FILE", "one JSON line per stored cell value (and its formula)",
     RunCellsCommand, kCellsHelp},
    {"names", "names FILE", "one JSON line per defined name, with its formula", RunNamesCommand, kNamesHelp},
    {"hex", "hex FILE N", "the bytes of record N (from 1) as hex dump lines", RunHexCommand, kHexHelp},
    {"fields", "fields FILE [N]", "every record's fields (or record N's) as JSON lines", RunFieldsCommand,
     kFieldsHelp},
    {"stats", "stats FILE", "version, record count and sheet extents as JSON", RunStatsCommand, kStatsHelp},
    {"container", "container FILE", "the compound file's directory and sectors as JSON lines",
     RunContainerCommand, kContainerHelp},
    {"lint", "lint FILE", "a structure check: one JSON line per finding", RunLintCommand, kLintHelp},
    {"macros", "macros FILE", "what it can run, hides and reaches out to (JSON lines)",
     RunMacrosCommand, nullptr},
    {"csv", "csv FILE [OPTIONS]", "a worksheet as CSV (csv --help lists the options)", RunCsvCommand,
     nullptr},
    {"diff", "diff [OPTIONS] A.xls B.xls",
     "compare two workbooks record by record or cell by cell", RunDiffCommand, nullptr},
    {"eval", "eval EXPR [--define \"NAME(args)=body\"]...",
     "evaluate an expression; prints its kind, a tab, its text", RunEvalCommand, kEvalHelp},
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
  out << "  help [COMMAND]" << std::string(kUsageColumn - 16, ' ') << "this text, or the command's (as COMMAND --help)\n"
      << "  --help" << std::string(kUsageColumn - 8, ' ') << "show this text\n"
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

const TCliCommand* FindCommand(std::string_view name)
{
  for (const TCliCommand& command : kCommands)
    if (name == command.Name)
      return &command;
  return nullptr;
}

bool AsksForHelp(std::span<const std::string> args)
{
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& arg) { return arg == "--help" || arg == "-h"; });
}

// A command's help on `out`, exit status 0: its usage, summary and what
// its lines hold, or what the command itself says to --help.
int WriteCommandHelp(const TCliCommand& command, std::ostream& out, std::ostream& err)
{
  if (command.Help == nullptr) {
    const std::vector<std::string> help = {"--help"};
    return command.Run(help, out, err) == kExitUsage ? kExitUsage : kExitOk;
  }
  out << "Usage: bifflens-cli " << command.Usage << '\n' << command.Summary << ".\n\n" << command.Help;
  if (std::string_view(command.Usage).find("FILE") != std::string_view::npos)
    out << '\n' << kFileHelp;
  out << "\n"
         "Options of every command:\n"
         "  --password P   the password of an encrypted workbook (else\n"
         "                 BIFFLENS_PASSWORD)\n"
         "  --help, -h     this text\n"
         "\n"
         "Exit status: 0 success, 1 the file could not be read (what was read is\n"
         "printed, the message goes to stderr), 2 bad usage.\n";
  return kExitOk;
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
  if (name == "--help" || name == "-h" || (name == "help" && args.size() == 1)) {
    WriteUsage(out);
    return kExitOk;
  }
  if (name == "help") {
    if (const TCliCommand* command = args.size() == 2 ? FindCommand(args[1]) : nullptr)
      return WriteCommandHelp(*command, out, err);
    err << "bifflens-cli: no command '" << args[1] << "' to help with\n";
    WriteUsage(err);
    return kExitUsage;
  }
  if (const TCliCommand* command = FindCommand(name)) {
    // --help is never a file's name: the command's help, and nothing read.
    if (command->Help != nullptr && AsksForHelp(args.subspan(1)))
      return WriteCommandHelp(*command, out, err);
    return command->Run(args.subspan(1), out, err);
  }
  err << "bifflens-cli: unknown command '" << name << "'\n";
  WriteUsage(err);
  return kExitUsage;
}
