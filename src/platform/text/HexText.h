#pragma once

// Hexadecimal text of bytes, shared by the hex dump and the command-line tool
// so both show a byte the same way.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

inline constexpr char kHexDigits[] = "0123456789ABCDEF";
/// Bytes on one line of a dump.
inline constexpr std::size_t kHexLineBytes = 16;

/// The character column's character for a byte: "." below 0x20; any other
/// byte the character it stands for in Windows-1252, the code page of the
/// workbooks shown.
char16_t HexColumnChar(std::uint8_t byte);

/// "0x" and `value` as `digits` uppercase hexadecimal digits at least.
std::string HexNumber(std::uint64_t value, int digits);
/// The two uppercase hexadecimal digits of a byte.
std::string HexByte(std::uint8_t value);
/// The same, appended to `out` (for loops over many bytes).
inline void AppendHexByte(std::string& out, std::uint8_t value)
{
  out += kHexDigits[value >> 4];
  out += kHexDigits[value & 0x0F];
}

/// One dump line: the 8-digit address, ": ", 16 byte pairs each followed by
/// a blank (blanks where the bytes end), a blank, and the bytes' characters
/// (HexColumnChar, in UTF-8).
std::string HexDumpLine(std::size_t address, std::span<const std::uint8_t> bytes);
