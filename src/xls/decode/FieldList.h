#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

/// A field's value as shown: a number, a boolean or a text.
using TFieldValue = std::variant<std::int64_t, double, bool, std::string>;

/// One field a decoder read from a record: its name, where its bytes lie in
/// the data of the record part that holds them, and what it holds.
struct TRecordField {
  std::string Name;
  std::size_t Offset = 0;  // from the first data byte of part `Part`
  std::size_t Size = 0;
  TFieldValue Value = std::int64_t{0};
  std::string Text;  // a meaning, when the value has one (a flag's name...)
  int Part = 0;      // 0: the record itself; k: its k-th CONTINUE record
  bool Missing = false;  // the record ended before this field
  std::vector<TRecordField> Fields;  // the parts of a structured field
};

/// The fields a describing cursor records, in reading order, with nested
/// groups for structured fields.
class TFieldList {
public:
  void Add(std::string_view name, std::size_t offset, std::size_t size, TFieldValue value);
  /// A field the record ends in or before, holding the `present` bytes there
  /// are: "missing: record ends at byte N".
  void AddMissing(std::string_view name, std::size_t offset, std::size_t present,
                  std::size_t recordEnd);
  /// The field added last (in the open group), or nullptr.
  TRecordField* Last();
  /// Fields added until the matching End go into a group field `name`.
  void Begin(std::string_view name, std::size_t offset);
  /// Closes the open group; its size runs up to `endOffset` of its part.
  void End(std::size_t endOffset);
  /// The part of a logical record whose bytes the next fields lie in.
  void SetPart(int part) { FPart = part; }
  int Part() const { return FPart; }

  const std::vector<TRecordField>& Fields() const { return FFields; }

private:
  std::vector<TRecordField>& Target();

  std::vector<TRecordField> FFields;
  // Open groups, innermost last. Only the innermost grows while it is open,
  // so the fields these point to never move.
  std::vector<TRecordField*> FOpen;
  int FPart = 0;
};
