#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>  // std::bad_variant_access

/// Kinds of a value, in the order of the payload alternatives of TVariant.
enum class TVarType : std::uint8_t {
  vtEmpty,
  vtNull,
  vtInteger,
  vtDouble,
  vtDate,
  vtString,
  vtBoolean,
  vtCurrency,
};

/// A date/time: days since 30 December 1899, the fraction being the time of day.
struct TDateValue {
  double Days = 0;
  bool operator==(const TDateValue&) const = default;
};

/// Fixed point with 4 decimals: the stored integer is the value times 10000.
struct TCurrencyValue {
  std::int64_t Scaled = 0;
  bool operator==(const TCurrencyValue&) const = default;
};

/// The variant value shared by the model and the expression evaluator: a small
/// value type with copy semantics. Text is UTF-8 and immutable; values that
/// hold the same text share one counted block (copying a text value costs a
/// count, not a block), so a value is 16 bytes and a cell can hold one in
/// its row's slot, however long its text.
class TVariant {
public:
  TVariant() = default;  // Empty
  static TVariant Null();
  static TVariant Date(double days);
  static TVariant Currency(TCurrencyValue value);
  TVariant(std::int32_t value) : FType(TVarType::vtInteger) { FPayload.Integer = value; }
  TVariant(double value) : FType(TVarType::vtDouble) { FPayload.Double = value; }
  TVariant(bool value) : FType(TVarType::vtBoolean) { FPayload.Boolean = value; }
  TVariant(std::string value);
  TVariant(std::string_view value) : TVariant(std::string(value)) {}
  TVariant(const char* value) : TVariant(std::string(value)) {}

  TVariant(const TVariant& other) noexcept : FPayload(other.FPayload), FType(other.FType) { Retain(); }
  // Moving an uncounted text takes a count: only its first holder, a store
  // that keeps the text's owner, may hold the text without one.
  TVariant(TVariant&& other) noexcept : FPayload(other.FPayload), FType(other.FType)
  {
    if (other.FUncounted)
      Retain();
    other.FType = TVarType::vtEmpty;
    other.FUncounted = false;
  }
  TVariant& operator=(const TVariant& other) noexcept
  {
    other.Retain();  // first, so that assigning a value to itself keeps its text
    Release();
    FType = other.FType;
    FPayload = other.FPayload;
    FUncounted = false;
    return *this;
  }
  TVariant& operator=(TVariant&& other) noexcept
  {
    TVariant taken(std::move(other));
    Swap(taken);
    return *this;
  }
  /// Makes this value share `text`'s block without taking a count, so that
  /// storing it does not touch the block. Only for a store that keeps
  /// whatever owns `text` alive for as long as it holds this value (a
  /// model keeping its reader's string table); copies and moves of this
  /// value are ordinary counted values. Any other kind is assigned as usual.
  void AssignUncounted(const TVariant& text) noexcept
  {
    if (text.FType != TVarType::vtString || &text == this) {
      *this = text;
      return;
    }
    Release();
    FType = TVarType::vtString;
    FPayload = text.FPayload;
    FUncounted = true;
  }
  ~TVariant() { Release(); }

  TVarType Type() const { return FType; }
  bool IsEmpty() const { return FType == TVarType::vtEmpty; }
  bool IsNull() const { return FType == TVarType::vtNull; }
  /// Null or Empty: the two kinds the model never stores.
  bool IsNullOrEmpty() const { return IsEmpty() || IsNull(); }

  /// Payload accessors; each asserts the kind (a caller's bug otherwise) by
  /// throwing std::bad_variant_access.
  std::int32_t AsInteger() const { return Expect(TVarType::vtInteger).Integer; }
  double AsDouble() const { return Expect(TVarType::vtDouble).Double; }
  double AsDate() const { return Expect(TVarType::vtDate).Double; }
  const std::string& AsString() const { return Expect(TVarType::vtString).Text->Text; }
  bool AsBoolean() const { return Expect(TVarType::vtBoolean).Boolean; }
  TCurrencyValue AsCurrency() const { return {Expect(TVarType::vtCurrency).Scaled}; }

  /// Same kind and same payload (a Date never equals a Double).
  bool operator==(const TVariant& other) const;

private:
  struct TTextBlock {
    std::atomic<std::size_t> Refs{1};
    std::string Text;
  };
  union TPayload {
    std::int64_t Scaled;  // first, so that {0} clears all 8 bytes
    std::int32_t Integer;
    double Double;  // Double and Date
    bool Boolean;
    TTextBlock* Text;
  };

  const TPayload& Expect(TVarType type) const
  {
    if (FType != type)
      throw std::bad_variant_access();
    return FPayload;
  }
  void Swap(TVariant& other) noexcept
  {
    std::swap(FType, other.FType);
    std::swap(FUncounted, other.FUncounted);
    std::swap(FPayload, other.FPayload);
  }
  void Retain() const noexcept
  {
    if (FType == TVarType::vtString)
      FPayload.Text->Refs.fetch_add(1, std::memory_order_relaxed);
  }
  void Release() noexcept
  {
    // The last holder frees the block; the acquire half makes every other
    // holder's use of it happen before.
    if (FType == TVarType::vtString && !FUncounted &&
        FPayload.Text->Refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
      FreeText(FPayload.Text);
  }
  static void FreeText(TTextBlock* block) noexcept;

  // The payload first: the two bytes after it leave 6 bytes of tail
  // padding, which a holder may use for small fields of its own (a cell
  // keeps its format and alignment there).
  TPayload FPayload{0};
  TVarType FType = TVarType::vtEmpty;
  bool FUncounted = false;  // a text held without a count (AssignUncounted)
};

/// Lower-case name of a kind: "empty", "null", "integer", "double", "date",
/// "string", "boolean", "currency" (the names the command-line tool prints).
const char* VarTypeName(TVarType type);
