#include "Commands.h"

#include "ContainerCommand.h"
#include "CsvCommand.h"
#include "EvalCommand.h"
#include "FieldsCommand.h"
#include "LintCommand.h"
#include "WorkbookCommand.h"

#include <string_view>

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
    {"csv", "csv FILE [OPTIONS]", "a worksheet as CSV (csv --help lists the options)", RunCsvCommand},
    {"eval", "eval EXPR [--define \"NAME(args)=body\"]...",
     "evaluate an expression; prints its kind, a tab, its text", RunEvalCommand},
};

constexpr std::size_t kUsageColumn = 23;

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
         "FILE may be a pipe or a device; \"-\" reads standard input.\n"
         "\n"
         "Exit status: 0 success, 1 the file could not be read or the expression\n"
         "failed (what was read is printed, the message goes to stderr), 2 bad usage.\n";
}

}  // namespace

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
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
