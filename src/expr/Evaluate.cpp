#include "expr/Evaluate.h"

#include "expr/DateTimeFromString.h"
#include "expr/ExprMessages.h"
#include "platform/DateTime.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/VariantMessages.h"
#include "platform/VariantOps.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextFormat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

[[noreturn]] void Fail(const char* message)
{
  throw EBiffLensError(message);
}

// ---- Texts are UTF-8; the text built-ins count characters, not bytes. ----

/// Length in bytes of the UTF-8 character at `at`; a byte that starts no
/// well-formed sequence counts as a character of its own.
std::size_t CharLength(std::string_view text, std::size_t at)
{
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4;
  if (length > text.size() - at)
    return 1;
  for (std::size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
      return 1;
  return length;
}

/// Byte offsets of the characters, plus the text's size at the end.
std::vector<std::size_t> CharStarts(std::string_view text)
{
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size(); at += CharLength(text, at))
    starts.push_back(at);
  starts.push_back(text.size());
  return starts;
}

std::int32_t CodeOfFirstChar(std::string_view text)
{
  const std::size_t length = CharLength(text, 0);
  const auto lead = static_cast<unsigned char>(text[0]);
  if (length == 1)
    return lead;
  std::int32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i)
    code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
  return code;
}

/// Code points 0 to 255 are the Latin-1 characters of the 8-bit code page.
std::string CharFromLatin1(unsigned code)
{
  if (code < 0x80)
    return std::string(1, static_cast<char>(code));
  return {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
}

// ---- Arguments ----

/// Evaluates argument `index` of a call; one that was not written is a list
/// index error, as reading past the written arguments of the slot array.
TVariant Arg(const TExpNode& call, std::size_t index)
{
  if (index >= call.Children().size())
    throw EListError(static_cast<long long>(index));
  return Evaluate(*call.Children()[index]);
}

std::string TextArg(const TExpNode& call, std::size_t index)
{
  return VarToText(Arg(call, index));
}

double RealArg(const TExpNode& call, std::size_t index)
{
  return VarToReal(Arg(call, index));
}

std::int32_t IntArg(const TExpNode& call, std::size_t index)
{
  return VarToInteger(Arg(call, index));
}

/// A separator argument of DATETIMEFROMSTRING: the first character of a
/// non-empty text, else a blank.
char SeparatorArg(const TExpNode& call, std::size_t index)
{
  const TVariant value = Arg(call, index);
  if (value.Type() == TVarType::vtString && !value.AsString().empty())
    return value.AsString().front();
  return ' ';
}

TVariant IntegerOrReal(double rounded)
{
  if (rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max())
    return TVariant(static_cast<std::int32_t>(rounded));
  return TVariant(rounded);
}

// ---- Built-ins ----

// The three arguments are evaluated third, second, first.
TVariant BiSubstr(const TExpNode& call)
{
  const std::int32_t count = IntArg(call, 2);
  std::int32_t start = IntArg(call, 1);
  const std::string text = TextArg(call, 0);
  const std::vector<std::size_t> starts = CharStarts(text);
  const auto length = static_cast<std::int64_t>(starts.size() - 1);
  if (start < 1)
    start = 1;
  if (start > length || count < 0)
    return TVariant(std::string());
  const std::int64_t last = std::min<std::int64_t>(length, std::int64_t{start} - 1 + count);
  const std::size_t from = starts[static_cast<std::size_t>(start - 1)];
  const std::size_t to = starts[static_cast<std::size_t>(last)];
  return TVariant(text.substr(from, to - from));
}

TVariant BiChr(const TExpNode& call)
{
  return TVariant(CharFromLatin1(static_cast<unsigned>(IntArg(call, 0)) & 0xFFu));
}

TVariant BiUpper(const TExpNode& call)
{
  std::string text = TextArg(call, 0);
  for (char& c : text)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
  return TVariant(std::move(text));
}

TVariant BiLower(const TExpNode& call)
{
  std::string text = TextArg(call, 0);
  for (char& c : text)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  return TVariant(std::move(text));
}

TVariant BiTrim(const TExpNode& call)
{
  return TVariant(TrimRight(TrimLeft(TextArg(call, 0))));
}

TVariant BiTrimLeft(const TExpNode& call)
{
  return TVariant(TrimLeft(TextArg(call, 0)));
}

TVariant BiTrimRight(const TExpNode& call)
{
  return TVariant(TrimRight(TextArg(call, 0)));
}

// POS(sub, s): s is evaluated first; null counts as empty text here.
TVariant BiPos(const TExpNode& call)
{
  const std::string text = VarToStr(Arg(call, 1));
  const std::string part = VarToStr(Arg(call, 0));
  if (part.empty())
    return TVariant(std::int32_t{0});
  const std::size_t at = text.find(part);
  if (at == std::string::npos)
    return TVariant(std::int32_t{0});
  return TVariant(static_cast<std::int32_t>(CharStarts(text.substr(0, at)).size()));
}

TVariant BiStrToFloat(const TExpNode& call)
{
  return TVariant(StrToFloat(TextArg(call, 0), CurrentLocale()));
}

TVariant BiStrToInt(const TExpNode& call)
{
  return TVariant(StrToInt(TextArg(call, 0)));
}

TVariant BiStrToDate(const TExpNode& call)
{
  return TVariant::Date(StrToDate(TextArg(call, 0), CurrentLocale(), CurrentYear()));
}

// Evaluated fourth, third, second, first.
TVariant BiDateTimeFromString(const TExpNode& call)
{
  const char timeSeparator = SeparatorArg(call, 3);
  const char dateSeparator = SeparatorArg(call, 2);
  const std::string format = TextArg(call, 1);
  const std::string value = TextArg(call, 0);
  return TVariant::Date(DateTimeFromString(value, format, dateSeparator, timeSeparator));
}

TVariant BiLength(const TExpNode& call)
{
  return TVariant(static_cast<std::int32_t>(CharStarts(TextArg(call, 0)).size() - 1));
}

TVariant BiOrd(const TExpNode& call)
{
  const std::string text = TextArg(call, 0);
  if (text.empty())
    Fail(kMsgOrdOfEmptyText);
  return TVariant(CodeOfFirstChar(text));
}

TVariant BiIntToStr(const TExpNode& call)
{
  return TVariant(std::to_string(IntArg(call, 0)));
}

TVariant BiFloatToStr(const TExpNode& call)
{
  return TVariant(FloatToStr(RealArg(call, 0), CurrentLocale()));
}

// MAX and MIN start from their first argument; with none they give 0.
TVariant BiMax(const TExpNode& call)
{
  if (call.Children().empty())
    return TVariant(std::int32_t{0});
  TVariant running = Arg(call, 0);
  for (std::size_t i = 1; i < call.Children().size(); ++i) {
    TVariant value = Arg(call, i);
    if (VarCompare(running, value) == TVarRelationship::vrLessThan)
      running = std::move(value);
  }
  return running;
}

TVariant BiMin(const TExpNode& call)
{
  if (call.Children().empty())
    return TVariant(std::int32_t{0});
  TVariant running = Arg(call, 0);
  for (std::size_t i = 1; i < call.Children().size(); ++i) {
    TVariant value = Arg(call, i);
    if (running.IsNull() || VarCompare(running, value) == TVarRelationship::vrGreaterThan)
      running = std::move(value);
  }
  return running;
}

TVariant Sum(const TExpNode& call)
{
  TVariant sum(std::int32_t{0});
  for (std::size_t i = 0; i < call.Children().size(); ++i)
    sum = VarAdd(sum, Arg(call, i));
  return sum;
}

TVariant BiSum(const TExpNode& call)
{
  return Sum(call);
}

TVariant BiAvg(const TExpNode& call)
{
  if (call.Children().empty())
    return TVariant(std::int32_t{0});
  return VarDiv(Sum(call), TVariant(static_cast<std::int32_t>(call.Children().size())));
}

// COUNT reads no argument, so it evaluates none.
TVariant BiCount(const TExpNode& call)
{
  return TVariant(static_cast<std::int32_t>(call.Children().size()));
}

TVariant BiFrac(const TExpNode& call)
{
  const double x = RealArg(call, 0);
  return TVariant(x - std::trunc(x));
}

TVariant BiInt(const TExpNode& call)
{
  return TVariant(std::trunc(RealArg(call, 0)));
}

// An integer; a result past 32 bits stays a (rounded) real rather than fail.
TVariant BiRound(const TExpNode& call)
{
  return IntegerOrReal(RoundHalfEven(RealArg(call, 0)));
}

TVariant BiDiv(const TExpNode& call)
{
  TVariant a = Arg(call, 0);
  return VarIntDiv(a, Arg(call, 1));
}

TVariant BiMod(const TExpNode& call)
{
  TVariant a = Arg(call, 0);
  return VarMod(a, Arg(call, 1));
}

TVariant BiRandom(const TExpNode& call)
{
  if (call.Children().empty())
    return TVariant(CurrentEnvironment().Random());
  const std::int32_t range = IntArg(call, 0);
  if (range < 1)
    Fail(kMsgRandomRange);
  const double draw = std::floor(CurrentEnvironment().Random() * range);
  return TVariant(static_cast<std::int32_t>(std::min<double>(draw, range - 1)));
}

TVariant BiAbs(const TExpNode& call)
{
  return TVariant(std::fabs(RealArg(call, 0)));
}

TVariant BiPower(const TExpNode& call)
{
  const double base = RealArg(call, 0);
  return TVariant(Power(base, RealArg(call, 1)));
}

TVariant BiExp(const TExpNode& call)
{
  return TVariant(CheckFloat(std::exp(RealArg(call, 0))));
}

double NaturalLog(double x)
{
  if (x == 0)
    Fail(kMsgFloatDivisionByZero);
  if (x < 0)
    Fail(kMsgInvalidFloatOperation);
  return std::log(x);
}

TVariant BiLn(const TExpNode& call)
{
  return TVariant(NaturalLog(RealArg(call, 0)));
}

TVariant BiLog(const TExpNode& call)
{
  return TVariant(NaturalLog(RealArg(call, 0)) / std::log(10.0));
}

TVariant BiSqr(const TExpNode& call)
{
  const double x = RealArg(call, 0);
  return TVariant(CheckFloat(x * x));
}

TVariant BiSqrt(const TExpNode& call)
{
  const double x = RealArg(call, 0);
  if (x < 0)
    Fail(kMsgInvalidFloatOperation);
  return TVariant(std::sqrt(x));
}

// Only the branch taken is evaluated.
TVariant BiIif(const TExpNode& call)
{
  return VarToBoolean(Arg(call, 0)) ? Arg(call, 1) : Arg(call, 2);
}

TVariant BiIsNull(const TExpNode& call)
{
  return TVariant(Arg(call, 0).IsNullOrEmpty());
}

TVariant BiDateToStr(const TExpNode& call)
{
  return TVariant(DateToStr(RealArg(call, 0), CurrentLocale()));
}

TVariant BiGetDate(const TExpNode&)
{
  return TVariant::Date(CurrentEnvironment().Now());
}

TVariant BiDatePart(const TExpNode& call)
{
  return TVariant(std::trunc(RealArg(call, 0)));
}

TVariant BiTimePart(const TExpNode& call)
{
  const double x = RealArg(call, 0);
  return TVariant(x - std::trunc(x));
}

TVariant BiYear(const TExpNode& call)
{
  return TVariant(static_cast<std::int32_t>(DecodeDate(RealArg(call, 0)).Year));
}

TVariant BiMonth(const TExpNode& call)
{
  return TVariant(static_cast<std::int32_t>(DecodeDate(RealArg(call, 0)).Month));
}

TVariant BiDay(const TExpNode& call)
{
  return TVariant(static_cast<std::int32_t>(DecodeDate(RealArg(call, 0)).Day));
}

/// The time parts of a value that must also be a valid date, as its text
/// form would need.
TTimeParts TimeOf(double value)
{
  DecodeDate(value);
  return DecodeTime(value);
}

TVariant BiHour(const TExpNode& call)
{
  return TVariant(static_cast<std::int32_t>(TimeOf(RealArg(call, 0)).Hour));
}

TVariant BiMinute(const TExpNode& call)
{
  return TVariant(static_cast<std::int32_t>(TimeOf(RealArg(call, 0)).Minute));
}

TVariant BiSecond(const TExpNode& call)
{
  return TVariant(static_cast<std::int32_t>(TimeOf(RealArg(call, 0)).Second));
}

constexpr TBuiltinFunction kBuiltins[] = {
    {"SUBSTR", 3, false, BiSubstr},
    {"SUBSTRING", 3, false, BiSubstr},
    {"CHR", 1, false, BiChr},
    {"UPPER", 1, false, BiUpper},
    {"LOWER", 1, false, BiLower},
    {"TRIM", 1, false, BiTrim},
    {"TRIMLEFT", 1, false, BiTrimLeft},
    {"TRIMRIGHT", 1, false, BiTrimRight},
    {"POS", 2, false, BiPos},
    {"STRTOFLOAT", 1, false, BiStrToFloat},
    {"STRTOINT", 1, false, BiStrToInt},
    {"STRTODATE", 1, false, BiStrToDate},
    {"DATETIMEFROMSTRING", 4, false, BiDateTimeFromString},
    {"LENGTH", 1, false, BiLength},
    {"ORD", 1, false, BiOrd},
    {"INTTOSTR", 1, false, BiIntToStr},
    {"FLOATTOSTR", 1, false, BiFloatToStr},
    {"MAX", -1, false, BiMax},
    {"MIN", -1, false, BiMin},
    {"SUM", -1, false, BiSum},
    {"AVG", -1, false, BiAvg},
    {"COUNT", -1, false, BiCount},
    {"FRAC", 1, false, BiFrac},
    {"INT", 1, false, BiInt},
    {"ROUND", 1, false, BiRound},
    {"DIV", 2, false, BiDiv},
    {"MOD", 2, false, BiMod},
    {"RANDOM", -1, false, BiRandom},
    {"ABS", 1, false, BiAbs},
    {"POWER", 2, false, BiPower},
    {"EXP", 1, false, BiExp},
    {"LN", 1, false, BiLn},
    {"LOG", 1, false, BiLog},
    {"SQR", 1, false, BiSqr},
    {"SQRT", 1, false, BiSqrt},
    {"IIF", 3, false, BiIif},
    {"ISNULL", 1, false, BiIsNull},
    {"DATETOSTR", 1, false, BiDateToStr},
    {"GETDATE", 0, false, BiGetDate},
    {"DATEPART", 1, false, BiDatePart},
    {"TIMEPART", 1, false, BiTimePart},
    {"YEAR", 1, true, BiYear},
    {"MONTH", 1, true, BiMonth},
    {"DAY", 1, true, BiDay},
    {"HOUR", 1, true, BiHour},
    {"MINUTE", 1, true, BiMinute},
    {"SECOND", 1, true, BiSecond},
};

// ---- Operators ----

TVariant Factorial(const TVariant& operand)
{
  const double n = RoundHalfEven(VarToReal(operand));
  if (n < 0)
    Fail(kMsgNegativeFactorial);
  // 171! is past the largest double: fail before a long loop of big numbers.
  if (n > 170)
    Fail(kMsgFloatOverflow);
  // n * (n-1)!, built up from 1 with value multiplication, so small results
  // stay integers and larger ones turn real.
  TVariant result(std::int32_t{1});
  for (std::int32_t k = 2; k <= static_cast<std::int32_t>(n); ++k)
    result = VarMul(TVariant(k), result);
  return result;
}

TVariant Relation(bool holds)
{
  return TVariant(holds);
}

TVariant OpAdd(const TVariant& a, const TVariant& b) { return VarAdd(a, b); }
TVariant OpSub(const TVariant& a, const TVariant& b) { return VarSub(a, b); }
TVariant OpMul(const TVariant& a, const TVariant& b) { return VarMul(a, b); }
TVariant OpDiv(const TVariant& a, const TVariant& b) { return VarDiv(a, b); }
TVariant OpPower(const TVariant& a, const TVariant& b) { return TVariant(Power(VarToReal(a), VarToReal(b))); }
TVariant OpFactorial(const TVariant& a, const TVariant&) { return Factorial(a); }
TVariant OpEqual(const TVariant& a, const TVariant& b) { return Relation(VarCompare(a, b) == TVarRelationship::vrEqual); }
TVariant OpLess(const TVariant& a, const TVariant& b) { return Relation(VarCompare(a, b) == TVarRelationship::vrLessThan); }
TVariant OpGreater(const TVariant& a, const TVariant& b) { return Relation(VarCompare(a, b) == TVarRelationship::vrGreaterThan); }
TVariant OpLessEqual(const TVariant& a, const TVariant& b) { return Relation(VarCompare(a, b) != TVarRelationship::vrGreaterThan); }
TVariant OpGreaterEqual(const TVariant& a, const TVariant& b) { return Relation(VarCompare(a, b) != TVarRelationship::vrLessThan); }
TVariant OpNotEqual(const TVariant& a, const TVariant& b) { return Relation(VarCompare(a, b) != TVarRelationship::vrEqual); }
TVariant OpAnd(const TVariant& a, const TVariant& b) { return VarAnd(a, b); }
TVariant OpOr(const TVariant& a, const TVariant& b) { return VarOr(a, b); }
TVariant OpNot(const TVariant& a, const TVariant&) { return VarNot(a); }

struct TOperatorHandler {
  std::string_view Text;
  TVariant (*Compute)(const TVariant& first, const TVariant& second);
};

/// One handler per OperatorTable entry; a one-operand handler ignores `second`.
constexpr TOperatorHandler kOperatorHandlers[] = {
    {"OR", OpOr},           {"AND", OpAnd},     {"NOT", OpNot},         {"=", OpEqual},
    {"<", OpLess},          {">", OpGreater},   {"<=", OpLessEqual},    {">=", OpGreaterEqual},
    {"<>", OpNotEqual},     {"!=", OpNotEqual}, {"+", OpAdd},           {"-", OpSub},
    {"*", OpMul},           {"/", OpDiv},       {"^", OpPower},         {"!", OpFactorial},
};
static_assert(std::size(kOperatorHandlers) == OperatorTable.size());

TVariant EvaluateOperator(const TExpNode& node)
{
  const std::string& text = node.Token()->Text;
  const int position = OperatorPosition(text);
  const auto& children = node.Children();
  if (position == 0 || static_cast<std::size_t>(OperatorOperands(text)) != children.size())
    Fail(kMsgSyntaxTreeFault);
  const TOperatorHandler& handler = kOperatorHandlers[static_cast<std::size_t>(position) - 1];
  const TVariant first = Evaluate(*children[0]);
  const TVariant second = children.size() > 1 ? Evaluate(*children[1]) : TVariant();
  return handler.Compute(first, second);
}

/// A number token: digits with at most one ".", read with "." whatever the locale.
TVariant EvaluateNumber(const std::string& text)
{
  std::size_t digits = 0;
  std::size_t points = 0;
  for (const char c : text) {
    if (c == '.')
      ++points;
    else if (c >= '0' && c <= '9')
      ++digits;
  }
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (digits == 0 || points > 1 || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
      !std::isfinite(value))
    throw EBiffLensError(FormatMessage(kMsgNotValidFloat, text));
  return TVariant(value);
}

}  // namespace

std::span<const TBuiltinFunction> BuiltinFunctions()
{
  return kBuiltins;
}

const TBuiltinFunction* FindBuiltin(std::string_view name, std::size_t argumentCount)
{
  for (const TBuiltinFunction& builtin : kBuiltins)
    if (EqualsIgnoringAsciiCase(builtin.Name, name))
      return builtin.NeedsArguments && argumentCount == 0 ? nullptr : &builtin;
  return nullptr;
}

double Power(double base, double exponent)
{
  if (exponent == 0)
    return 1;
  if (base == 0 && exponent > 0)
    return 0;
  if (exponent == std::trunc(exponent) && std::fabs(exponent) <= 2147483647.0) {
    auto n = static_cast<std::int64_t>(std::fabs(exponent));
    double result = 1;
    double square = base;
    while (true) {
      if (n & 1)
        result = CheckFloat(result * square);
      n >>= 1;
      if (n == 0)
        break;
      square = CheckFloat(square * square);
    }
    if (exponent < 0) {
      if (result == 0)
        Fail(kMsgFloatDivisionByZero);
      result = CheckFloat(1 / result);
    }
    return result;
  }
  return CheckFloat(std::exp(exponent * NaturalLog(base)));
}

TVariant Evaluate(const TExpNode& node)
{
  if (node.Tokens().size() != 1 || node.Token() == nullptr)
    Fail(kMsgSyntaxTreeFault);
  const TExpToken& token = *node.Token();
  switch (token.Kind) {
  case TExpTokenKind::etNumber: return EvaluateNumber(token.Text);
  case TExpTokenKind::etWord:
    if (const TBuiltinFunction* builtin = FindBuiltin(token.Text, node.Children().size()))
      return builtin->Compute(node);
    return CallFunction(node);
  case TExpTokenKind::etOperator: return EvaluateOperator(node);
  default: return TVariant(TrimRight(TrimLeft(token.Text)));
  }
}

TVariant CallFunction(const TExpNode& node)
{
  const std::string& name = node.Token()->Text;
  TVariant result(name);
  const auto& children = node.Children();
  if (children.size() > kMaxArgs)  // a hand-made tree; Build refuses these
    throw EBiffLensError(FormatExprMessage(kMsgTooManyArguments, name));
  TExpArgs args;
  for (std::size_t i = 0; i < children.size(); ++i)
    args[i] = Evaluate(*children[i]);
  if (node.OnEvaluate) {
    bool done = false;
    node.OnEvaluate(TEvaluateSender(&node), name, args, static_cast<int>(kMaxArgs), result, done);
    return result;
  }
  if (node.Owner() != nullptr)
    node.Owner()->ResolveOwnerName(name, args, result);
  return result;
}
