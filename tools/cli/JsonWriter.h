#pragma once

#include <cstdint>
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
  void Raw(std::string_view text);
  void Flush();

  /// Appends `text` as a quoted, escaped JSON string.
  void String(std::string_view text);
  void Number(std::int64_t value);
  void Number(double value);

private:
  void Separator();
  std::ostream& FOut;
  std::string FBuffer;
  bool FFirst = true;
};
