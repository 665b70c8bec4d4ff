#pragma once

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

/// Writes one JSON object per line straight into a buffer, without building a
/// document: the command-line tool prints millions of lines. Objects and
/// arrays nest inside a line; the writer puts the commas. Strings are escaped
/// as JSON requires (UTF-8 passes through; invalid UTF-8 bytes become U+FFFD
/// so the output stays valid JSON). Doubles use the shortest text that reads
/// back to the same value.
class TJsonLineWriter {
public:
  explicit TJsonLineWriter(std::ostream& out);
  TJsonLineWriter(const TJsonLineWriter&) = delete;
  TJsonLineWriter& operator=(const TJsonLineWriter&) = delete;
  ~TJsonLineWriter() { Flush(); }

  /// Opens an object: a new line's, or the next element of an open array.
  void BeginObject();
  /// Opens an object as the value of field `key`.
  void BeginObject(std::string_view key);
  /// Closes the innermost object; closing a line's object ends the line.
  void EndObject();
  /// Opens an array as the value of field `key`, or as the next element of
  /// an open array.
  void BeginArray(std::string_view key);
  void BeginArray();
  void EndArray();

  void Field(std::string_view key, std::string_view value);
  void Field(std::string_view key, const char* value) { Field(key, std::string_view(value)); }
  void Field(std::string_view key, std::int64_t value)
  {
    Key(key);
    Number(value);
  }
  void Field(std::string_view key, int value) { Field(key, static_cast<std::int64_t>(value)); }
  void Field(std::string_view key, double value)
  {
    Key(key);
    Number(value);
  }
  void Field(std::string_view key, bool value);
  void NullField(std::string_view key);
  /// A string field whose text the tool made and knows needs no escaping
  /// (a type's name): written as it is, for the lines of millions of cells.
  void WordField(std::string_view key, std::string_view word)
  {
    Key(key);
    Put('"');
    Raw(word);
    Put('"');
  }
  /// Fields written beforehand as JSON text (`"a":1,"b":"x"`), for a start
  /// that many lines share.
  void Fields(std::string_view text)
  {
    Separator();
    Raw(text);
  }

  /// The next element of an open array.
  void Element(std::string_view value);
  void Element(std::int64_t value);
  void Element(double value);
  void Element(bool value);

  void Flush();

private:
  // Enough for any number's text: 20 digits and a sign, or a double's
  // shortest text (at most 24 characters).
  static constexpr std::size_t kNumberRoom = 32;
  static constexpr int kMostDepth = 32;

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
  void Raw(std::string_view text)
  {
    std::memcpy(Room(text.size()), text.data(), text.size());
    FSize += text.size();
  }
  void Grow(std::size_t count);
  /// A comma before every value of an object or array but its first.
  void Separator()
  {
    if (!FFirst[FDepth])
      Put(',');
    FFirst[FDepth] = false;
  }
  /// `"key":`, after the separator, in one write. Keys are the tool's own
  /// names: nothing in them needs escaping.
  void Key(std::string_view key)
  {
    char* at = Room(key.size() + 4);
    if (!FFirst[FDepth])
      *at++ = ',';
    FFirst[FDepth] = false;
    *at++ = '"';
    std::memcpy(at, key.data(), key.size());
    at += key.size();
    *at++ = '"';
    *at++ = ':';
    FSize = static_cast<std::size_t>(at - FData.get());
  }
  void Open(char bracket);
  void Close(char bracket);
  void String(std::string_view text);
  void Number(std::int64_t value)
  {
    char* at = Room(kNumberRoom);
    FSize += static_cast<std::size_t>(std::to_chars(at, at + kNumberRoom, value).ptr - at);
  }
  void Number(double value);

  std::ostream& FOut;
  std::unique_ptr<char[]> FData;
  std::size_t FSize = 0;
  std::size_t FCapacity = 0;
  // Per open level (0: the line itself), whether no value was written yet.
  std::array<bool, kMostDepth + 1> FFirst{};
  int FDepth = 0;
};
