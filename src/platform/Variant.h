#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

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
/// value type with copy semantics. Text is UTF-8. The payload is one
/// std::variant so that a value costs 40 bytes and no heap block unless it
/// holds a long text.
class TVariant {
public:
  TVariant() = default;  // Empty
  static TVariant Null();
  static TVariant Date(double days);
  static TVariant Currency(TCurrencyValue value);
  TVariant(std::int32_t value) : FPayload(value) {}
  TVariant(double value) : FPayload(value) {}
  TVariant(bool value) : FPayload(value) {}
  TVariant(std::string value) : FPayload(std::move(value)) {}
  TVariant(std::string_view value) : FPayload(std::string(value)) {}
  TVariant(const char* value) : FPayload(std::string(value)) {}

  TVarType Type() const { return static_cast<TVarType>(FPayload.index()); }
  bool IsEmpty() const { return Type() == TVarType::vtEmpty; }
  bool IsNull() const { return Type() == TVarType::vtNull; }
  /// Null or Empty: the two kinds the model never stores.
  bool IsNullOrEmpty() const { return IsEmpty() || IsNull(); }

  /// Payload accessors; each asserts the kind (a caller's bug otherwise).
  std::int32_t AsInteger() const { return std::get<std::int32_t>(FPayload); }
  double AsDouble() const { return std::get<double>(FPayload); }
  double AsDate() const { return std::get<TDateValue>(FPayload).Days; }
  const std::string& AsString() const { return std::get<std::string>(FPayload); }
  bool AsBoolean() const { return std::get<bool>(FPayload); }
  TCurrencyValue AsCurrency() const { return std::get<TCurrencyValue>(FPayload); }

  /// Same kind and same payload (a Date never equals a Double).
  bool operator==(const TVariant& other) const = default;

private:
  struct TNullValue {
    bool operator==(const TNullValue&) const = default;
  };
  using TPayload = std::variant<std::monostate, TNullValue, std::int32_t, double, TDateValue,
                                std::string, bool, TCurrencyValue>;
  TPayload FPayload;
};

/// Lower-case name of a kind: "empty", "null", "integer", "double", "date",
/// "string", "boolean", "currency" (the names the command-line tool prints).
const char* VarTypeName(TVarType type);
