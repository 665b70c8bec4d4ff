#pragma once

// The one way a decoder reads a record's data: a cursor bounded by the
// record's own bytes. A read past the end reads nothing (it yields zero) and
// marks the record short; the decoder then leaves the record undecoded, as a
// record too short for its fields has no meaning. So no decoder can see the
// bytes of the record after it, whatever a length in the file says.
//
// The same decoder also describes a record for the inspector: given a field
// list, the cursor records every field it reads (name, offset, size, value).
// Without one (TRecordCursor) the recording compiles away.

#include "platform/text/HexText.h"
#include "xls/decode/FieldList.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>
#include <variant>

/// The decoding cursor's recorder: records nothing.
struct TNoFields {};

template <typename TFields>
class TBasicRecordCursor {
public:
  static constexpr bool kDescribing = !std::is_same_v<TFields, TNoFields>;

  /// Keeps the span (and `fields`): the caller keeps both alive while the
  /// cursor is used.
  explicit TBasicRecordCursor(std::span<const std::uint8_t> data, TFields* fields = nullptr)
      : FData(data), FFields(fields)
  {
  }

  std::size_t Size() const { return FData.size(); }
  std::size_t Position() const { return FPos; }
  std::size_t Remaining() const { return FData.size() - FPos; }
  /// True once a read asked for bytes the record does not have.
  bool Short() const { return FShort; }
  TFields* Fields() const { return FFields; }

  /// The next byte without reading it (0 at the end).
  std::uint8_t PeekU8() const { return FPos < FData.size() ? FData[FPos] : 0; }
  /// `count` bytes from `ahead` bytes past the position, without reading
  /// them; empty where the record has fewer.
  std::span<const std::uint8_t> Peek(std::size_t ahead, std::size_t count) const
  {
    if (ahead > Remaining() || count > Remaining() - ahead)
      return {};
    return FData.subspan(FPos + ahead, count);
  }

  std::uint8_t U8(const char* name) { return Read<std::uint8_t>(name); }
  std::uint16_t U16(const char* name) { return Read<std::uint16_t>(name); }
  std::uint32_t U32(const char* name) { return Read<std::uint32_t>(name); }
  std::int16_t I16(const char* name) { return static_cast<std::int16_t>(Read<std::uint16_t, std::int16_t>(name)); }
  std::int32_t I32(const char* name) { return static_cast<std::int32_t>(Read<std::uint32_t, std::int32_t>(name)); }
  double F64(const char* name)
  {
    const std::uint64_t bits = Read<std::uint64_t, double>(name);
    return std::bit_cast<double>(bits);
  }

  /// Exactly `count` bytes; none, and the record short, when fewer remain.
  /// Recorded as a field of raw bytes.
  std::span<const std::uint8_t> Bytes(const char* name, std::size_t count)
  {
    if (count > Remaining()) {
      MarkShort(name);
      return {};
    }
    const auto bytes = FData.subspan(FPos, count);
    if constexpr (kDescribing)
      if (FFields)
        FFields->Add(name, FPos, count, RawText(bytes));
    FPos += count;
    return bytes;
  }
  /// At most `count` bytes: all that remain when fewer do. For data whose
  /// length the file states (a text's characters), which ends with the
  /// record instead of making it short.
  std::span<const std::uint8_t> BytesUpTo(const char* name, std::size_t count)
  {
    return Bytes(name, std::min(count, Remaining()));
  }
  /// Bytes the decoder does not use (reserved, or not decoded): recorded,
  /// so every byte of a described record belongs to a field.
  void Skip(const char* name, std::size_t count) { Bytes(name, count); }
  /// Everything left, as one field (when anything is left).
  void SkipRest(const char* name)
  {
    if (Remaining() > 0)
      Bytes(name, Remaining());
  }

  /// Gives the field read last a meaning: `text()` is called only when
  /// describing. Like the other notes on the field read last, it does
  /// nothing once the record is short (the field read last is the missing
  /// one, which says so).
  template <typename F>
  void Meaning(F&& text)
  {
    if constexpr (kDescribing)
      if (FFields && !FShort)
        if (TRecordField* field = FFields->Last())
          field->Text = text();
  }
  /// Replaces the value of the field read last (a text decoded from its
  /// bytes): `value()` is called only when describing.
  template <typename F>
  void Value(F&& value)
  {
    if constexpr (kDescribing)
      if (FFields && !FShort)
        if (TRecordField* field = FFields->Last())
          field->Value = value();
  }
  /// Names bit `bit` of the field read last (a flags word): a field inside
  /// it, true when the bit is set; the word's meaning lists the set flags.
  void Flag(const char* name, unsigned bit)
  {
    if constexpr (kDescribing)
      if (FFields && !FShort)
        if (TRecordField* word = FFields->Last())
          AddBits(*word, name, bit, 1, true);
  }
  /// Names bits `first` to `first + count - 1` of the field read last: a
  /// field inside it holding their value.
  void Bits(const char* name, unsigned first, unsigned count)
  {
    if constexpr (kDescribing)
      if (FFields && !FShort)
        if (TRecordField* word = FFields->Last())
          AddBits(*word, name, first, count, false);
  }
  /// The same, with a meaning for the bits' value: `text(value)` is called
  /// only when describing.
  template <typename F>
  void Bits(const char* name, unsigned first, unsigned count, F&& text)
  {
    if constexpr (kDescribing)
      if (FFields && !FShort)
        if (TRecordField* word = FFields->Last()) {
          TRecordField& bits = AddBits(*word, name, first, count, false);
          bits.Text = text(std::get<std::int64_t>(bits.Value));
        }
  }
  /// Says what the value of the field read last points at (its value, or
  /// `target` when given).
  void Link(TFieldLinkKind kind)
  {
    if constexpr (kDescribing)
      if (FFields && !FShort)
        if (TRecordField* field = FFields->Last())
          if (const auto* value = std::get_if<std::int64_t>(&field->Value))
            field->Link = {kind, *value};
  }
  void Link(TFieldLinkKind kind, std::int64_t target)
  {
    if constexpr (kDescribing)
      if (FFields && !FShort)
        if (TRecordField* field = FFields->Last())
          field->Link = {kind, target};
  }
  /// Moves to byte `position` (at most the record's end) without reading:
  /// for a description that starts inside the record.
  void Seek(std::size_t position) { FPos = std::min(position, FData.size()); }

  /// Opens and closes a group of fields (a structure inside the record).
  void Begin(const char* name)
  {
    if constexpr (kDescribing)
      if (FFields)
        FFields->Begin(name, FPos);
  }
  void End()
  {
    if constexpr (kDescribing)
      if (FFields)
        FFields->End(FPos);
  }

private:
  template <typename T, typename TShown = T>
  T Read(const char* name)
  {
    if (sizeof(T) > Remaining()) {
      MarkShort(name);
      return 0;
    }
    // The file's byte order is little-endian: one load where the host's is too.
    std::array<std::uint8_t, sizeof(T)> bytes;
    std::memcpy(bytes.data(), FData.data() + FPos, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
      std::reverse(bytes.begin(), bytes.end());
    const T value = std::bit_cast<T>(bytes);
    if constexpr (kDescribing)
      if (FFields) {
        if constexpr (std::is_same_v<TShown, double>)
          FFields->Add(name, FPos, sizeof(T), std::bit_cast<double>(value));
        else
          FFields->Add(name, FPos, sizeof(T), static_cast<std::int64_t>(static_cast<TShown>(value)));
      }
    FPos += sizeof(T);
    return value;
  }

  void MarkShort(const char* name)
  {
    // The field that does not fit takes the bytes there are, so the fields
    // still cover the record.
    if constexpr (kDescribing)
      if (FFields && !FShort)
        FFields->AddMissing(name, FPos, Remaining(), FData.size());
    FShort = true;
    FPos = FData.size();
  }

  static TRecordField& AddBits(TRecordField& word, const char* name, unsigned first, unsigned count,
                               bool flag)
  {
    const auto* wordValue = std::get_if<std::int64_t>(&word.Value);
    const std::uint64_t bits = wordValue ? static_cast<std::uint64_t>(*wordValue) : 0;
    const std::uint64_t mask = count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
    const std::uint64_t value = (bits >> first) & mask;
    TRecordField field;
    field.Name = name;
    // The bits' own bytes of the word (a word's bits count from its first,
    // lowest byte).
    const std::size_t firstByte = std::min<std::size_t>(first / 8, word.Size > 0 ? word.Size - 1 : 0);
    const std::size_t lastByte = std::min<std::size_t>((first + count - 1) / 8, word.Size > 0 ? word.Size - 1 : 0);
    field.Offset = word.Offset + firstByte;
    field.Size = word.Size > 0 ? lastByte - firstByte + 1 : 0;
    field.Part = word.Part;
    field.Missing = word.Missing;
    field.BitFirst = static_cast<std::uint8_t>(first);
    field.BitCount = static_cast<std::uint8_t>(count);
    if (flag) {
      field.Value = value != 0;
      if (value != 0)
        word.Text += word.Text.empty() ? std::string(name) : " | " + std::string(name);
    } else {
      field.Value = static_cast<std::int64_t>(value);
    }
    word.Fields.push_back(std::move(field));
    return word.Fields.back();
  }

  static std::string RawText(std::span<const std::uint8_t> bytes)
  {
    // Long runs show their start: the dump shows the rest.
    constexpr std::size_t kShown = 32;
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < kShown; ++i) {
      if (i > 0)
        text += ' ';
      AppendHexByte(text, bytes[i]);
    }
    if (bytes.size() > kShown)
      text += " ...";
    return text;
  }

  std::span<const std::uint8_t> FData;
  std::size_t FPos = 0;
  bool FShort = false;
  TFields* FFields;
};

/// The cursor decoders read with during a load.
using TRecordCursor = TBasicRecordCursor<TNoFields>;
/// The cursor that records what it reads, for the inspector.
using TDescribingCursor = TBasicRecordCursor<TFieldList>;
