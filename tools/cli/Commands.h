#pragma once

#include <ostream>
#include <span>
#include <string>

/// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the load or the evaluation failed
inline constexpr int kExitUsage = 2;    // bad command line

/// Runs the tool on its arguments (without the program name). A password
/// (`--password P` or `--password=P` anywhere, else BIFFLENS_PASSWORD) is
/// offered to the loads of the command and wiped when it returns.
int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// Zeroes the values of the password options among `args`, so the process
/// keeps no copy of a password after its use (the command line included).
void WipePasswordArguments(std::span<std::string> args);
/// The same for main's own arguments (argv[0] the program).
void WipePasswordArguments(int argc, char** argv);

/// For the tool's main, which ends the process with std::_Exit: the commands
/// then leave their readers alive instead of freeing them. Freeing a model
/// of millions of cells block by block only to end the process costs up to
/// a fifth of a run; the system takes the memory back at once.
void KeepReadersUntilExit();
