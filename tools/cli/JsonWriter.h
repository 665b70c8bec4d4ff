#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

/// Writes one JSON object at a time straight into a buffer, without building a
/// document: the command-line tool prints millions of lines. Strings are
/// escaped as JSON requires (UTF-8 passes through; invalid UTF-8 bytes become
/// U+FFFD so the output stays valid JSON). Doubles use the shortest text that
/// reads back to the same value.
class TJsonLineWriter {
public:
  explicit TJsonLineWriter(std::ostream& out);
  TJsonLineWriter(const TJsonLineWriter&) = delete;
  TJsonLineWriter& operator=(const TJsonLineWriter&) = delete;
  ~TJsonLineWriter() { Flush(); }

  void BeginObject();
  void EndObject();  // closes the object and the line
  void BeginArray(std::string_view key);
  void EndArray();
  void Key(std::string_view key);
  void Field(std::string_view key, std::string_view value);
  void Field(std::string_view key, const char* value) { Field(key, std::string_view(value)); }
  void Field(std::string_view key, std::int64_t value);
  void Field(std::string_view key, int value) { Field(key, static_cast<std::int64_t>(value)); }
  void Field(std::string_view key, double value);
  void Field(std::string_view key, bool value);
  void Raw(std::string_view text)
  {
    std::memcpy(Room(text.size()), text.data(), text.size());
    FSize += text.size();
  }
  void Flush();

  /// Appends `text` as a quoted, escaped JSON string.
  void String(std::string_view text);
  void Number(std::int64_t value)
  {
    char* at = Room(kNumberRoom);
    FSize += static_cast<std::size_t>(std::to_chars(at, at + kNumberRoom, value).ptr - at);
  }
  void Number(double value);

private:
  // Enough for any number's text: 20 digits and a sign, or a double's
  // shortest text (at most 24 characters).
  static constexpr std::size_t kNumberRoom = 32;

  /// Room for `count` more characters at the end of the line buffer. The
  /// hot writes are inline, into a plain block: the tool writes a dozen
  /// pieces for each of millions of cells.
  char* Room(std::size_t count)
  {
    if (FCapacity - FSize < count)
      Grow(count);
    return FData.get() + FSize;
  }
  void Put(char c) { *Room(1) = c, ++FSize; }
  void Grow(std::size_t count);
  void Separator();

  std::ostream& FOut;
  std::unique_ptr<char[]> FData;
  std::size_t FSize = 0;
  std::size_t FCapacity = 0;
  bool FFirst = true;
};

/// Writes `value`'s shortest round-trip text, exactly as std::to_chars
/// would, at `out` (at least 32 characters of room); returns the end. Whole
/// numbers and short decimals, most of a sheet's values, take a quick path.
char* WriteShortestDouble(char* out, double value);
