#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

/// A field's value as shown: a number, a boolean or a text.
using TFieldValue = std::variant<std::int64_t, double, bool, std::string>;

/// What a field's value points at, so that a viewer can follow it.
enum class TFieldLinkKind : std::uint8_t {
  lkNone,
  lkSharedString,  // an index into the shared-string table
  lkXf,            // an XF index: the XF records of the workbook, in order
  lkFont,          // a font index: FONT records in order, index 4 left out
  lkFormat,        // a number format index
  lkStreamOffset,  // a byte position in the workbook stream
  lkRecordOffset,  // a byte position counted from this record's header (may be negative)
};

struct TFieldLink {
  TFieldLinkKind Kind = TFieldLinkKind::lkNone;
  std::int64_t Target = 0;

  bool operator==(const TFieldLink&) const = default;
};

struct TRecordField;

/// Items of a field too many to describe at once (the strings of a
/// shared-string table), each described when it is asked for.
class TLazyFields {
public:
  virtual ~TLazyFields() = default;
  virtual std::size_t Count() const = 0;
  /// Item `index` (below Count()), a group as a describing cursor records
  /// it. Throws what decoding the item throws.
  virtual TRecordField Item(std::size_t index) const = 0;
  /// The item whose bytes hold byte `offset` of part `part`, when the list
  /// can tell; nothing by default.
  virtual std::optional<std::size_t> ItemAt(int part, std::size_t offset) const
  {
    (void)part;
    (void)offset;
    return std::nullopt;
  }
};

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
  /// For a named bit or bit range of a flags word (a field inside the
  /// word's field, on the same bytes): its first bit and bit count; 0 bits
  /// for any other field.
  std::uint8_t BitFirst = 0;
  std::uint8_t BitCount = 0;
  TFieldLink Link;
  std::vector<TRecordField> Fields;  // the parts of a structured field
  /// Items made on demand instead of Fields; they run from Offset to the end
  /// of the record's last part.
  std::shared_ptr<const TLazyFields> Lazy;
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
  /// Part `part` has `size` data bytes: a group that begins there and ends
  /// in a later part runs to that end.
  void NotePartSize(int part, std::size_t size);

  const std::vector<TRecordField>& Fields() const { return FFields; }
  /// Takes the fields out (the list is empty afterwards).
  std::vector<TRecordField> TakeFields();

private:
  std::vector<TRecordField>& Target();

  std::vector<TRecordField> FFields;
  // Open groups, innermost last. Only the innermost grows while it is open,
  // so the fields these point to never move.
  std::vector<TRecordField*> FOpen;
  std::vector<std::size_t> FPartSizes;
  int FPart = 0;
};

/// "missing: record ends at byte N".
std::string MissingText(std::size_t recordEnd);

/// Where a field's bytes lie in a logical record whose parts are laid out
/// one after the other, each after its 4-byte header (as in the stream): a
/// run [First, End) of positions counted from the first data byte of part 0.
struct TFieldExtent {
  std::size_t First = 0;
  std::size_t End = 0;
};

/// Positions of a logical record's parts: `partStarts[k]` is where part k's
/// data begins, counted from part 0's first data byte.
std::size_t PartPosition(const std::vector<std::size_t>& partStarts, int part, std::size_t offset);

/// The run a field covers: a leaf its own bytes; a group from its first
/// leaf's start to its last leaf's end (its own offset and size when it has
/// none yet); a lazy list from its offset to `recordEnd`.
TFieldExtent FieldExtent(const TRecordField& field, const std::vector<std::size_t>& partStarts,
                         std::size_t recordEnd);
