#include "platform/text/Utf.h"

#include <algorithm>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

template <typename TUnitAt>
void AppendUtf16(std::size_t count, TUnitAt unitAt, std::string& out)
{
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t u = unitAt(i);
    if (IsHighSurrogate(u) && i + 1 < count && IsLowSurrogate(unitAt(i + 1))) {
      const char32_t low = unitAt(i + 1);
      AppendCodePointAsUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      AppendCodePointAsUtf8(kReplacement, out);
    } else {
      AppendCodePointAsUtf8(u, out);
    }
  }
}

}  // namespace

void AppendCodePointAsUtf8(char32_t cp, std::string& out)
{
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16AsUtf8(std::span<const char16_t> units, std::string& out)
{
  AppendUtf16(units.size(), [&](std::size_t i) { return char32_t(units[i]); }, out);
}

void AppendUtf16LeBytesAsUtf8(std::span<const std::uint8_t> bytes, std::string& out)
{
  AppendUtf16(
      bytes.size() / 2,
      [&](std::size_t i) { return char32_t(bytes[2 * i] | (bytes[2 * i + 1] << 8)); }, out);
}

void AppendLatin1AsUtf8(std::span<const std::uint8_t> bytes, std::string& out)
{
  // Most text is ASCII, which is its own UTF-8: one append, not one per byte.
  const auto firstHigh =
      std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x80; });
  out.append(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::size_t>(firstHigh - bytes.begin()));
  if (firstHigh == bytes.end())
    return;
  out.reserve(out.size() + 2 * static_cast<std::size_t>(bytes.end() - firstHigh));
  for (const std::uint8_t b : bytes.subspan(static_cast<std::size_t>(firstHigh - bytes.begin()))) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
}

std::string Utf16ToUtf8(std::span<const char16_t> units)
{
  std::string out;
  AppendUtf16AsUtf8(units, out);
  return out;
}
