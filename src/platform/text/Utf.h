#pragma once

// Conversions into UTF-8, the one text encoding inside the program.

#include <cstdint>
#include <span>
#include <string>

/// Appends the code point as UTF-8 (1 to 4 bytes).
void AppendCodePointAsUtf8(char32_t codePoint, std::string& out);
/// Appends UTF-16 code units as UTF-8. Surrogate pairs are joined; an
/// unpaired surrogate becomes U+FFFD, so the result is always valid UTF-8.
void AppendUtf16AsUtf8(std::span<const char16_t> units, std::string& out);
/// The same for units stored as little-endian byte pairs (an odd last byte
/// is ignored).
void AppendUtf16LeBytesAsUtf8(std::span<const std::uint8_t> bytes, std::string& out);
/// ISO-8859-1: each byte is the code point of the same value.
void AppendLatin1AsUtf8(std::span<const std::uint8_t> bytes, std::string& out);
/// UTF-16 code units as a UTF-8 string.
std::string Utf16ToUtf8(std::span<const char16_t> units);
