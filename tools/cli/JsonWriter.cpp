#include "JsonWriter.h"

#include <charconv>
#include <cmath>

namespace {

constexpr std::size_t kFlushSize = 1 << 18;

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i)
{
  const auto b0 = static_cast<unsigned char>(s[i]);
  std::size_t n;
  std::uint32_t cp;
  if (b0 < 0x80)
    return 1;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (n > s.size() - i)
    return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80)
      return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

}  // namespace

TJsonLineWriter::TJsonLineWriter(std::ostream& out) : FOut(out)
{
  // Lines are flushed once the buffer passes kFlushSize, so it never grows
  // past that plus one line: no regrowth on the way.
  FBuffer.reserve(2 * kFlushSize);
}

void TJsonLineWriter::Separator()
{
  if (!FFirst)
    FBuffer += ',';
  FFirst = false;
}

void TJsonLineWriter::BeginObject()
{
  FBuffer += '{';
  FFirst = true;
}

void TJsonLineWriter::EndObject()
{
  FBuffer += "}\n";
  FFirst = false;
  if (FBuffer.size() >= kFlushSize)
    Flush();
}

void TJsonLineWriter::BeginArray(std::string_view key)
{
  Key(key);
  FBuffer += '[';
  FFirst = true;
}

void TJsonLineWriter::EndArray()
{
  FBuffer += ']';
  FFirst = false;
}

void TJsonLineWriter::Key(std::string_view key)
{
  Separator();
  // Keys are the tool's own names: nothing in them needs escaping.
  FBuffer += '"';
  FBuffer += key;
  FBuffer += "\":";
}

void TJsonLineWriter::Field(std::string_view key, std::string_view value)
{
  Key(key);
  String(value);
}

void TJsonLineWriter::Field(std::string_view key, std::int64_t value)
{
  Key(key);
  Number(value);
}

void TJsonLineWriter::Field(std::string_view key, double value)
{
  Key(key);
  Number(value);
}

void TJsonLineWriter::Field(std::string_view key, bool value)
{
  Key(key);
  FBuffer += value ? "true" : "false";
}

void TJsonLineWriter::Raw(std::string_view text)
{
  FBuffer += text;
}

void TJsonLineWriter::Number(std::int64_t value)
{
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, value);
  FBuffer.append(text, result.ptr);
}

void TJsonLineWriter::Number(double value)
{
  // JSON has no infinities or NaN; a cell never holds one, but a damaged
  // file could, and the output must stay valid.
  if (!std::isfinite(value)) {
    FBuffer += "null";
    return;
  }
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  FBuffer.append(text, result.ptr);
}

void TJsonLineWriter::String(std::string_view text)
{
  static constexpr char kHex[] = "0123456789abcdef";
  FBuffer += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    // Copy the run of characters that need no escaping in one go.
    std::size_t run = i;
    while (run < text.size()) {
      const auto c = static_cast<unsigned char>(text[run]);
      if (c < 0x20 || c == '"' || c == '\\')
        break;
      if (c >= 0x80) {
        const std::size_t n = Utf8SequenceLength(text, run);
        if (n == 0)
          break;
        run += n;
        continue;
      }
      ++run;
    }
    FBuffer.append(text.data() + i, run - i);
    i = run;
    if (i == text.size())
      break;
    const auto c = static_cast<unsigned char>(text[i]);
    ++i;
    if (c == '"' || c == '\\') {
      FBuffer += '\\';
      FBuffer += static_cast<char>(c);
      continue;
    }
    if (c >= 0x80) {
      FBuffer += "\xEF\xBF\xBD";  // a byte that is no valid UTF-8: U+FFFD
      continue;
    }
    switch (c) {
    case '\n': FBuffer += "\\n"; break;
    case '\r': FBuffer += "\\r"; break;
    case '\t': FBuffer += "\\t"; break;
    case '\b': FBuffer += "\\b"; break;
    case '\f': FBuffer += "\\f"; break;
    default:
      FBuffer += "\\u00";
      FBuffer += kHex[c >> 4];
      FBuffer += kHex[c & 0x0F];
    }
  }
  FBuffer += '"';
}

void TJsonLineWriter::Flush()
{
  if (FBuffer.empty())
    return;
  FOut.write(FBuffer.data(), static_cast<std::streamsize>(FBuffer.size()));
  FBuffer.clear();
}
