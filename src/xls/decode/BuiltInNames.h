#pragma once

#include <cstdint>
#include <string_view>

/// A built-in name spelled out ("Print_Area" for code 6): a NAME record
/// flagged built-in stores only this one-character code. Empty for a code
/// that has none.
std::string_view BuiltInName(std::uint8_t code);
