#pragma once

#include <ostream>
#include <span>
#include <string>

/// bifflens-cli diff: two workbooks compared record by record (or, with
/// --cells, cell by cell). Exit 0 the same, 1 different, 2 trouble.
int RunDiffCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
