#pragma once

#include <ostream>
#include <span>
#include <string>

/// `lint FILE`: one JSON line per finding of the structure check
/// (severity, check, n, offset, message); exit 0 without errors, 1 with
/// errors or when the file cannot be read, 2 on bad usage.
int RunLintCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
