#include "platform/VariantOps.h"

#include "platform/DateTime.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/VariantMessages.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextFormat.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

enum class TOp : std::uint8_t { opAdd, opSub, opMul, opDiv, opIntDiv, opMod, opAnd, opOr };

constexpr std::int64_t kCurrencyScale = 10000;
/// 2^63: reals from here on have no 64-bit integer.
constexpr double kTwoPow63 = 9223372036854775808.0;

[[noreturn]] void Fail(const char* message)
{
  throw EBiffLensError(message);
}

bool IsIntegerClass(TVarType t)
{
  return t == TVarType::vtInteger || t == TVarType::vtBoolean;
}

/// An int64 result as the value type holds it: integer when it fits 32 bits,
/// else the same number as a real.
TVariant FromInt64(std::int64_t value)
{
  if (value >= std::numeric_limits<std::int32_t>::min() &&
      value <= std::numeric_limits<std::int32_t>::max())
    return TVariant(static_cast<std::int32_t>(value));
  return TVariant(static_cast<double>(value));
}

std::int64_t RealToInt64(double value)
{
  if (std::isnan(value))
    Fail(kMsgInvalidVariantTypeConversion);
  const double rounded = RoundHalfEven(value);
  if (!(rounded > -kTwoPow63 && rounded < kTwoPow63))
    Fail(kMsgVariantOverflow);
  return static_cast<std::int64_t>(rounded);
}

std::int64_t RoundCurrencyToInt64(TCurrencyValue value)
{
  std::int64_t quotient = value.Scaled / kCurrencyScale;
  const std::int64_t remainder = value.Scaled % kCurrencyScale;
  const std::int64_t twice = 2 * (remainder < 0 ? -remainder : remainder);
  if (twice > kCurrencyScale || (twice == kCurrencyScale && quotient % 2 != 0))
    quotient += remainder < 0 ? -1 : 1;
  return quotient;
}

/// The integer an operand stands for in integer division, remainder, AND, OR.
std::int64_t ToInt64(const TVariant& value)
{
  switch (value.Type()) {
  case TVarType::vtInteger: return value.AsInteger();
  case TVarType::vtBoolean: return value.AsBoolean() ? -1 : 0;
  case TVarType::vtCurrency: return RoundCurrencyToInt64(value.AsCurrency());
  default: return RealToInt64(VarToReal(value));
  }
}

TCurrencyValue RealToCurrency(double value)
{
  if (std::isnan(value))
    Fail(kMsgInvalidVariantTypeConversion);
  const double scaled = RoundHalfEven(value * static_cast<double>(kCurrencyScale));
  if (!(scaled > -kTwoPow63 && scaled < kTwoPow63))
    Fail(kMsgVariantOverflow);
  return TCurrencyValue{static_cast<std::int64_t>(scaled)};
}

TCurrencyValue ToCurrency(const TVariant& value)
{
  switch (value.Type()) {
  case TVarType::vtCurrency: return value.AsCurrency();
  case TVarType::vtInteger: return TCurrencyValue{value.AsInteger() * kCurrencyScale};
  case TVarType::vtBoolean: return TCurrencyValue{value.AsBoolean() ? -kCurrencyScale : 0};
  default: return RealToCurrency(VarToReal(value));
  }
}

double CurrencyToReal(TCurrencyValue value)
{
  return static_cast<double>(value.Scaled) / static_cast<double>(kCurrencyScale);
}

TVariant CurrencyResult(__int128 scaled)
{
  if (scaled > std::numeric_limits<std::int64_t>::max() ||
      scaled < std::numeric_limits<std::int64_t>::min())
    Fail(kMsgVariantOverflow);
  return TVariant::Currency(TCurrencyValue{static_cast<std::int64_t>(scaled)});
}

/// numerator / denominator rounded to the nearest integer, halves to even.
__int128 DivideHalfEven(__int128 numerator, __int128 denominator)
{
  __int128 quotient = numerator / denominator;
  const __int128 remainder = numerator % denominator;
  const __int128 twice = 2 * (remainder < 0 ? -remainder : remainder);
  const __int128 magnitude = denominator < 0 ? -denominator : denominator;
  if (twice > magnitude || (twice == magnitude && quotient % 2 != 0))
    quotient += (remainder < 0) != (denominator < 0) ? -1 : 1;
  return quotient;
}

TVariant IntegerOnInt64(TOp op, std::int64_t a, std::int64_t b)
{
  switch (op) {
  case TOp::opIntDiv:
    if (b == 0)
      Fail(kMsgDivisionByZero);
    if (a == std::numeric_limits<std::int64_t>::min() && b == -1)
      Fail(kMsgVariantOverflow);
    return FromInt64(a / b);
  case TOp::opMod:
    if (b == 0)
      Fail(kMsgDivisionByZero);
    if (b == -1)  // INT64_MIN % -1 traps on x86
      return TVariant(std::int32_t{0});
    return FromInt64(a % b);
  case TOp::opAnd: return FromInt64(a & b);
  case TOp::opOr: return FromInt64(a | b);
  default: break;
  }
  assert(false && "not an integer-only operation");
  return {};
}

double RealDivide(double a, double b)
{
  if (b == 0)
    Fail(a == 0 ? kMsgInvalidFloatOperation : kMsgFloatDivisionByZero);
  return CheckFloat(a / b);
}

TVariant RealOperation(TOp op, const TVariant& left, const TVariant& right)
{
  if (op == TOp::opIntDiv || op == TOp::opMod || op == TOp::opAnd || op == TOp::opOr)
    return IntegerOnInt64(op, ToInt64(left), ToInt64(right));
  const double a = VarToReal(left);
  const double b = VarToReal(right);
  switch (op) {
  case TOp::opAdd: return TVariant(CheckFloat(a + b));
  case TOp::opSub: return TVariant(CheckFloat(a - b));
  case TOp::opMul: return TVariant(CheckFloat(a * b));
  default: return TVariant(RealDivide(a, b));
  }
}

TVariant IntegerOperation(TOp op, const TVariant& left, const TVariant& right)
{
  const std::int64_t a = ToInt64(left);
  const std::int64_t b = ToInt64(right);
  switch (op) {
  // 32-bit operands cannot overflow 64 bits; FromInt64 redoes a 32-bit
  // overflow as a real.
  case TOp::opAdd: return FromInt64(a + b);
  case TOp::opSub: return FromInt64(a - b);
  case TOp::opMul: return FromInt64(a * b);
  case TOp::opDiv: return TVariant(RealDivide(static_cast<double>(a), static_cast<double>(b)));
  default: return IntegerOnInt64(op, a, b);
  }
}

TVariant CurrencyOperation(TOp op, const TVariant& left, const TVariant& right)
{
  if (op == TOp::opIntDiv || op == TOp::opMod || op == TOp::opAnd || op == TOp::opOr)
    return IntegerOnInt64(op, ToInt64(left), ToInt64(right));
  const __int128 a = ToCurrency(left).Scaled;
  const __int128 b = ToCurrency(right).Scaled;
  switch (op) {
  case TOp::opAdd: return CurrencyResult(a + b);
  case TOp::opSub: return CurrencyResult(a - b);
  case TOp::opMul: return CurrencyResult(DivideHalfEven(a * b, kCurrencyScale));
  default:
    if (b == 0)
      Fail(a == 0 ? kMsgInvalidFloatOperation : kMsgFloatDivisionByZero);
    return CurrencyResult(DivideHalfEven(a * kCurrencyScale, b));
  }
}

TVariant DateOperation(TOp op, const TVariant& left, const TVariant& right)
{
  if (op != TOp::opAdd && op != TOp::opSub)
    return RealOperation(op, left, right);
  const double a = VarToReal(left);
  const double b = VarToReal(right);
  const double result = CheckFloat(op == TOp::opAdd ? a + b : a - b);
  if (op == TOp::opSub && left.Type() == TVarType::vtDate && right.Type() == TVarType::vtDate)
    return TVariant(result);
  return TVariant::Date(result);
}

TVariant BinaryOperation(TOp op, const TVariant& left, const TVariant& right)
{
  const TVarType l = left.Type();
  const TVarType r = right.Type();
  if (l == TVarType::vtEmpty || r == TVarType::vtEmpty)
    Fail(kMsgInvalidVariantOperation);
  if (l == TVarType::vtNull || r == TVarType::vtNull)
    return TVariant::Null();
  if (l == TVarType::vtDate || r == TVarType::vtDate)
    return DateOperation(op, left, right);
  if (l == TVarType::vtCurrency || r == TVarType::vtCurrency)
    return CurrencyOperation(op, left, right);
  if (l == TVarType::vtString && r == TVarType::vtString) {
    if (op == TOp::opAdd)
      return TVariant(left.AsString() + right.AsString());
    return RealOperation(op, left, right);
  }
  const bool logical = (l == TVarType::vtBoolean && (r == TVarType::vtBoolean || r == TVarType::vtString)) ||
                       (r == TVarType::vtBoolean && l == TVarType::vtString);
  if (logical) {
    if (op == TOp::opAnd)
      return TVariant(VarToBoolean(left) && VarToBoolean(right));
    if (op == TOp::opOr)
      return TVariant(VarToBoolean(left) || VarToBoolean(right));
    return RealOperation(op, left, right);
  }
  if (IsIntegerClass(l) && IsIntegerClass(r))
    return IntegerOperation(op, left, right);
  return RealOperation(op, left, right);
}

template <typename T>
TVarRelationship CompareOrdered(T a, T b)
{
  if (a < b)
    return TVarRelationship::vrLessThan;
  if (b < a)
    return TVarRelationship::vrGreaterThan;
  return TVarRelationship::vrEqual;
}

double TextToRealOrFail(const std::string& text)
{
  const std::optional<double> value = TextToFloat(text, CurrentLocale());
  if (!value)
    Fail(kMsgInvalidVariantTypeConversion);
  return *value;
}

}  // namespace

TVariant VarAdd(const TVariant& left, const TVariant& right)
{
  return BinaryOperation(TOp::opAdd, left, right);
}

TVariant VarSub(const TVariant& left, const TVariant& right)
{
  return BinaryOperation(TOp::opSub, left, right);
}

TVariant VarMul(const TVariant& left, const TVariant& right)
{
  return BinaryOperation(TOp::opMul, left, right);
}

TVariant VarDiv(const TVariant& left, const TVariant& right)
{
  return BinaryOperation(TOp::opDiv, left, right);
}

TVariant VarIntDiv(const TVariant& left, const TVariant& right)
{
  return BinaryOperation(TOp::opIntDiv, left, right);
}

TVariant VarMod(const TVariant& left, const TVariant& right)
{
  return BinaryOperation(TOp::opMod, left, right);
}

TVariant VarAnd(const TVariant& left, const TVariant& right)
{
  return BinaryOperation(TOp::opAnd, left, right);
}

TVariant VarOr(const TVariant& left, const TVariant& right)
{
  return BinaryOperation(TOp::opOr, left, right);
}

TVariant VarNot(const TVariant& value)
{
  switch (value.Type()) {
  case TVarType::vtEmpty: Fail(kMsgInvalidVariantOperation);
  case TVarType::vtNull: return value;
  case TVarType::vtBoolean: return TVariant(!value.AsBoolean());
  default: return FromInt64(~ToInt64(value));
  }
}

TVarRelationship VarCompare(const TVariant& left, const TVariant& right)
{
  const TVarType l = left.Type();
  const TVarType r = right.Type();
  if (l == TVarType::vtEmpty || r == TVarType::vtEmpty)
    Fail(kMsgInvalidVariantOperation);
  if (l == TVarType::vtNull || r == TVarType::vtNull) {
    if (l == r)
      return TVarRelationship::vrEqual;
    return l == TVarType::vtNull ? TVarRelationship::vrLessThan : TVarRelationship::vrGreaterThan;
  }
  if (l == TVarType::vtString && r == TVarType::vtString) {
    // std::string compares as unsigned char: byte by byte, a prefix first.
    const int c = left.AsString().compare(right.AsString());
    return c < 0 ? TVarRelationship::vrLessThan
                 : (c > 0 ? TVarRelationship::vrGreaterThan : TVarRelationship::vrEqual);
  }
  const bool booleans = (l == TVarType::vtBoolean && (r == TVarType::vtBoolean || r == TVarType::vtString)) ||
                        (r == TVarType::vtBoolean && l == TVarType::vtString);
  if (booleans)
    return CompareOrdered<int>(VarToBoolean(left), VarToBoolean(right));
  if (l != TVarType::vtDate && r != TVarType::vtDate) {
    if (l == TVarType::vtCurrency || r == TVarType::vtCurrency)
      return CompareOrdered(ToCurrency(left).Scaled, ToCurrency(right).Scaled);
    if (IsIntegerClass(l) && IsIntegerClass(r))
      return CompareOrdered(ToInt64(left), ToInt64(right));
  }
  const double a = VarToReal(left);
  const double b = VarToReal(right);
  if (std::isnan(a) || std::isnan(b))
    Fail(kMsgInvalidFloatOperation);
  return CompareOrdered(a, b);
}

std::string VarToStr(const TVariant& value)
{
  const TLocaleSettings& locale = CurrentLocale();
  switch (value.Type()) {
  case TVarType::vtEmpty:
  case TVarType::vtNull: return {};
  case TVarType::vtInteger: return std::to_string(value.AsInteger());
  case TVarType::vtDouble: return FloatToStr(value.AsDouble(), locale);
  case TVarType::vtDate:
    // A day count outside years 1..9999 has no calendar text: show the number.
    if (!IsDecodableDate(value.AsDate()))
      return FloatToStr(value.AsDate(), locale);
    return DateTimeToStr(value.AsDate(), locale);
  case TVarType::vtString: return value.AsString();
  case TVarType::vtBoolean: return value.AsBoolean() ? "True" : "False";
  case TVarType::vtCurrency: return CurrToStr(value.AsCurrency(), locale);
  }
  return {};
}

std::string VarToText(const TVariant& value)
{
  if (value.IsNull())
    Fail(kMsgInvalidVariantTypeConversion);
  return VarToStr(value);
}

std::int32_t VarToInteger(const TVariant& value)
{
  switch (value.Type()) {
  case TVarType::vtEmpty: return 0;
  case TVarType::vtNull: Fail(kMsgInvalidVariantTypeConversion);
  case TVarType::vtInteger: return value.AsInteger();
  case TVarType::vtBoolean: return value.AsBoolean() ? -1 : 0;
  default: break;
  }
  const std::int64_t wide = ToInt64(value);
  if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max())
    Fail(kMsgVariantOverflow);
  return static_cast<std::int32_t>(wide);
}

double VarToReal(const TVariant& value)
{
  switch (value.Type()) {
  case TVarType::vtEmpty: return 0;
  case TVarType::vtNull: Fail(kMsgInvalidVariantTypeConversion);
  case TVarType::vtInteger: return value.AsInteger();
  case TVarType::vtDouble: return value.AsDouble();
  case TVarType::vtDate: return value.AsDate();
  case TVarType::vtString: return TextToRealOrFail(value.AsString());
  case TVarType::vtBoolean: return value.AsBoolean() ? -1 : 0;
  case TVarType::vtCurrency: return CurrencyToReal(value.AsCurrency());
  }
  return 0;
}

bool VarToBoolean(const TVariant& value)
{
  switch (value.Type()) {
  case TVarType::vtEmpty: return false;
  case TVarType::vtNull: Fail(kMsgInvalidVariantTypeConversion);
  case TVarType::vtBoolean: return value.AsBoolean();
  case TVarType::vtInteger: return value.AsInteger() != 0;
  case TVarType::vtCurrency: return value.AsCurrency().Scaled != 0;
  case TVarType::vtString: {
    const std::string_view text = Trim(value.AsString());
    if (EqualsIgnoringAsciiCase(text, "true"))
      return true;
    if (EqualsIgnoringAsciiCase(text, "false"))
      return false;
    return TextToRealOrFail(value.AsString()) != 0;
  }
  default: return VarToReal(value) != 0;
  }
}

double RoundHalfEven(double value)
{
  if (!std::isfinite(value))
    return value;
  const double down = std::floor(value);
  const double diff = value - down;
  if (diff < 0.5)
    return down;
  if (diff > 0.5)
    return down + 1;
  return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

std::string CurrToStr(TCurrencyValue value, const TLocaleSettings& locale)
{
  const bool negative = value.Scaled < 0;
  // Magnitude as unsigned: INT64_MIN has no positive counterpart.
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value.Scaled) : static_cast<std::uint64_t>(value.Scaled);
  std::string text = negative ? "-" : "";
  text += std::to_string(magnitude / kCurrencyScale);
  std::string fraction = std::to_string(magnitude % kCurrencyScale);
  fraction.insert(0, 4 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0')
    fraction.pop_back();
  if (!fraction.empty()) {
    text += locale.DecimalSeparator;
    text += fraction;
  }
  return text;
}

std::optional<double> TextToFloat(std::string_view text, const TLocaleSettings& locale)
{
  text = Trim(text);
  std::string normal;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-')
      normal += '-';
    ++i;
  }
  std::size_t mantissaDigits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      normal += c;
      ++mantissaDigits;
    } else if (c == locale.DecimalSeparator && !point) {
      normal += '.';
      point = true;
    } else {
      break;
    }
  }
  if (mantissaDigits == 0)
    return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    normal += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
      normal += text[i++];
    std::size_t exponentDigits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++exponentDigits)
      normal += text[i];
    if (exponentDigits == 0)
      return std::nullopt;
  }
  if (i != text.size())
    return std::nullopt;
  double value = 0;
  const auto result = std::from_chars(normal.data(), normal.data() + normal.size(), value);
  if (result.ec != std::errc() || result.ptr != normal.data() + normal.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

double StrToFloat(std::string_view text, const TLocaleSettings& locale)
{
  const std::optional<double> value = TextToFloat(text, locale);
  if (!value)
    throw EBiffLensError(FormatMessage(kMsgNotValidFloat, text));
  return *value;
}

std::int32_t StrToInt(std::string_view text)
{
  std::string_view rest = text;
  while (!rest.empty() && rest.front() == ' ')
    rest.remove_prefix(1);
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  std::int64_t value = 0;
  for (const char c : rest) {
    if (c < '0' || c > '9' || value > (std::int64_t{1} << 32))
      throw EBiffLensError(FormatMessage(kMsgNotValidInteger, text));
    value = value * 10 + (c - '0');
  }
  if (negative)
    value = -value;
  if (rest.empty() || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    throw EBiffLensError(FormatMessage(kMsgNotValidInteger, text));
  return static_cast<std::int32_t>(value);
}

double CheckFloat(double value)
{
  if (std::isnan(value))
    Fail(kMsgInvalidFloatOperation);
  if (std::isinf(value))
    Fail(kMsgFloatOverflow);
  return value;
}
