#include "Commands.h"

#include <string_view>

namespace {

constexpr char kUsage[] =
    "Usage: bifflens-cli COMMAND ARGS...\n"
    "Looks inside legacy binary Excel workbooks (.xls, BIFF2 to BIFF8).\n"
    "\n"
    "Commands:\n"
    "  --help               show this text\n";

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
  err << "bifflens-cli: unknown command '" << command << "'\n" << kUsage;
  return kExitUsage;
}
