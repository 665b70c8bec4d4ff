#include "Commands.h"

#include "EvalCommand.h"
#include "WorkbookCommand.h"

#include <string_view>

namespace {

constexpr char kUsage[] =
    "Usage: bifflens-cli COMMAND ARGS...\n"
    "Looks inside legacy binary Excel workbooks (.xls, BIFF2 to BIFF8).\n"
    "\n"
    "Commands:\n"
    "  records FILE         one JSON line per BIFF record, in stream order\n"
    "  cells FILE           one JSON line per stored cell value\n"
    "  hex FILE N           the bytes of record N (from 1) as hex dump lines\n"
    "  stats FILE           version, record count and sheet extents as JSON\n"
    "  eval EXPR [--define \"NAME(args)=body\"]...\n"
    "                       evaluate an expression; prints its kind, a tab, its text\n"
    "  --help               show this text\n"
    "\n"
    "Exit status: 0 success, 1 the file could not be read or the expression\n"
    "failed (what was read is printed, the message goes to stderr), 2 bad usage.\n";

}  // namespace

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (args.empty()) {
    err << kUsage;
    return kExitUsage;
  }
  const std::string_view command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  const auto rest = args.subspan(1);
  if (command == "records")
    return RunRecordsCommand(rest, out, err);
  if (command == "cells")
    return RunCellsCommand(rest, out, err);
  if (command == "hex")
    return RunHexCommand(rest, out, err);
  if (command == "stats")
    return RunStatsCommand(rest, out, err);
  if (command == "eval")
    return RunEvalCommand(rest, out, err);
  err << "bifflens-cli: unknown command '" << command << "'\n" << kUsage;
  return kExitUsage;
}
