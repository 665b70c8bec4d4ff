#pragma once

#include <ostream>
#include <span>
#include <string>

/// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the load or the evaluation failed
inline constexpr int kExitUsage = 2;    // bad command line

/// Runs the tool on its arguments (without the program name).
int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);
