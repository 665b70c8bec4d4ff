#pragma once

// Numbers as text for output that must read back exactly: the command-line
// tool's JSON and every export write doubles through here.

#include <cstddef>

/// Room WriteShortestDouble may use: a double's shortest text is at most 24
/// characters.
inline constexpr std::size_t kShortestDoubleRoom = 32;

/// Writes `value`'s shortest round-trip text, exactly as std::to_chars
/// would, at `out` (at least kShortestDoubleRoom characters of room);
/// returns the end. Whole numbers and short decimals, most of a sheet's
/// values, take a quick path.
char* WriteShortestDouble(char* out, double value);
