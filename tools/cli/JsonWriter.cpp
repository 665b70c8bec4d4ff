#include "JsonWriter.h"

#include "platform/text/NumberText.h"

#include <algorithm>
#include <cassert>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

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
  FCapacity = 2 * kFlushSize;
  FData = std::make_unique_for_overwrite<char[]>(FCapacity);
}

void TJsonLineWriter::Grow(std::size_t count)
{
  // Only a line longer than kFlushSize (a huge text) gets here.
  const std::size_t capacity = std::max(2 * FCapacity, FSize + count);
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  std::memcpy(data.get(), FData.get(), FSize);
  FData = std::move(data);
  FCapacity = capacity;
}

void TJsonLineWriter::Open(char bracket)
{
  Put(bracket);
  // Deeper than any line the tool writes: an assert, not a bound on input.
  assert(FDepth < kMostDepth && "JSON nested too deep");
  FFirst[++FDepth] = true;
}

void TJsonLineWriter::Close(char bracket)
{
  assert(FDepth > 0 && "JSON closed more than opened");
  --FDepth;
  Put(bracket);
}

void TJsonLineWriter::BeginObject()
{
  if (FDepth > 0)
    Separator();
  Open('{');
}

void TJsonLineWriter::BeginObject(std::string_view key)
{
  Key(key);
  Open('{');
}

void TJsonLineWriter::EndObject()
{
  Close('}');
  if (FDepth > 0)
    return;
  Put('\n');
  FFirst[0] = true;
  if (FSize >= kFlushSize)
    Flush();
}

void TJsonLineWriter::BeginArray(std::string_view key)
{
  Key(key);
  Open('[');
}

void TJsonLineWriter::BeginArray()
{
  Separator();
  Open('[');
}

void TJsonLineWriter::EndArray()
{
  Close(']');
}

void TJsonLineWriter::Field(std::string_view key, std::string_view value)
{
  Key(key);
  String(value);
}

void TJsonLineWriter::Field(std::string_view key, bool value)
{
  Key(key);
  Raw(value ? "true" : "false");
}

void TJsonLineWriter::NullField(std::string_view key)
{
  Key(key);
  Raw("null");
}

void TJsonLineWriter::Element(std::string_view value)
{
  Separator();
  String(value);
}

void TJsonLineWriter::Element(std::int64_t value)
{
  Separator();
  Number(value);
}

void TJsonLineWriter::Element(double value)
{
  Separator();
  Number(value);
}

void TJsonLineWriter::Element(bool value)
{
  Separator();
  Raw(value ? "true" : "false");
}

void TJsonLineWriter::Number(double value)
{
  // JSON has no infinities or NaN; a cell never holds one, but a damaged
  // file could, and the output must stay valid.
  if (!std::isfinite(value)) {
    Raw("null");
    return;
  }
  char* at = Room(kNumberRoom);
  FSize += static_cast<std::size_t>(WriteShortestDouble(at, value) - at);
}

void TJsonLineWriter::String(std::string_view text)
{
  static constexpr char kHex[] = "0123456789abcdef";
  Put('"');
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
    Raw(text.substr(i, run - i));
    i = run;
    if (i == text.size())
      break;
    const auto c = static_cast<unsigned char>(text[i]);
    ++i;
    if (c == '"' || c == '\\') {
      Put('\\');
      Put(static_cast<char>(c));
      continue;
    }
    if (c >= 0x80) {
      Raw("\xEF\xBF\xBD");  // a byte that is no valid UTF-8: U+FFFD
      continue;
    }
    switch (c) {
    case '\n': Raw("\\n"); break;
    case '\r': Raw("\\r"); break;
    case '\t': Raw("\\t"); break;
    case '\b': Raw("\\b"); break;
    case '\f': Raw("\\f"); break;
    default:
      Raw("\\u00");
      Put(kHex[c >> 4]);
      Put(kHex[c & 0x0F]);
    }
  }
  Put('"');
}

void TJsonLineWriter::Flush()
{
  if (FSize == 0)
    return;
  FOut.write(FData.get(), static_cast<std::streamsize>(FSize));
  FSize = 0;
}
