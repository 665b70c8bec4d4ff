#pragma once

#include <ostream>
#include <span>
#include <string>

/// `fields FILE [N]`: every record's fields as its layout reads them, one
/// JSON line per record (or record N only).
int RunFieldsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
