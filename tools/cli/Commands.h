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

/// For the tool's main, which ends the process with std::_Exit: the commands
/// then leave their readers alive instead of freeing them. Freeing a model
/// of millions of cells block by block only to end the process costs up to
/// a fifth of a run; the system takes the memory back at once.
void KeepReadersUntilExit();
