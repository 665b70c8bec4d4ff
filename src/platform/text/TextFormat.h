#pragma once

// Small text helpers every module shares: message formatting and trimming.

#include <string>
#include <string_view>

/// The message text with its first "%s" replaced by `argument` (unchanged
/// when it has none).
std::string FormatMessage(std::string_view pattern, std::string_view argument);
/// The same with two arguments, for the first and the second "%s".
std::string FormatMessage(std::string_view pattern, std::string_view first,
                          std::string_view second);

/// True for a blank and every control character (code at most 0x20): what
/// trimming takes away.
constexpr bool IsBlankOrControl(char c)
{
  return static_cast<unsigned char>(c) <= ' ';
}
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);
std::string_view Trim(std::string_view text);
