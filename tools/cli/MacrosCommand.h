#pragma once

#include <ostream>
#include <span>
#include <string>

/// `macros FILE`: what the workbook can run, hides and reaches out to, one
/// JSON line per finding, each with its "kind" (vba, xlm, trigger, hidden,
/// link, object) and the record ("n", "offset") or stream it comes from.
/// Exit 0 with or without findings, 1 when the file cannot be read whole
/// (what was read is printed), 2 on bad usage. `macros --help` says so.
int RunMacrosCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
