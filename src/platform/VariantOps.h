#pragma once

#include "platform/FloatText.h"
#include "platform/Locale.h"
#include "platform/Variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Operations on TVariant values: arithmetic, logic, comparison and the
/// conversions, with the value classes of the variant convention:
///   - either operand empty: EBiffLensError(kMsgInvalidVariantOperation);
///   - otherwise either operand null: the result is null;
///   - a date with anything: + and - give a date (date - date gives a real),
///     the other operations are those of reals;
///   - currency with a number, boolean or text: currency arithmetic;
///   - text with text: + concatenates, the rest is real arithmetic;
///   - boolean with boolean or text: AND and OR are logical, the rest real;
///   - integer with integer or boolean: integer arithmetic, where +, - and *
///     that overflow 32 bits are redone as real and / is always real;
///   - everything else (a real involved, or integer with text): real.
/// Integer division, remainder, AND and OR of reals or currency round both
/// operands to integers (halves to even) first; a result past 32 bits is
/// given as a real. A boolean counts as -1 (true) or 0 (false) in arithmetic.
/// Floating-point faults throw (kMsgFloatDivisionByZero, kMsgInvalidFloatOperation,
/// kMsgFloatOverflow): no operation returns an infinity or a NaN. All
/// locale-dependent texts use CurrentLocale().

TVariant VarAdd(const TVariant& left, const TVariant& right);
TVariant VarSub(const TVariant& left, const TVariant& right);
TVariant VarMul(const TVariant& left, const TVariant& right);
/// Always real (or currency for currency operands, a null for a null).
TVariant VarDiv(const TVariant& left, const TVariant& right);
/// Truncating integer division; kMsgDivisionByZero for a zero divisor.
TVariant VarIntDiv(const TVariant& left, const TVariant& right);
/// Remainder with the dividend's sign; kMsgDivisionByZero for a zero divisor.
TVariant VarMod(const TVariant& left, const TVariant& right);
TVariant VarAnd(const TVariant& left, const TVariant& right);
TVariant VarOr(const TVariant& left, const TVariant& right);
/// Boolean negation, null stays null, anything else the bitwise complement
/// of its integer value; empty throws kMsgInvalidVariantOperation.
TVariant VarNot(const TVariant& value);

enum class TVarRelationship : std::uint8_t { vrLessThan, vrEqual, vrGreaterThan };

/// Empty throws kMsgInvalidVariantOperation; null equals null and is below
/// everything else; texts compare byte by byte; booleans false below true
/// (a boolean with a text compares as booleans); otherwise as integers,
/// currency or reals by the classes above, dates as reals.
TVarRelationship VarCompare(const TVariant& left, const TVariant& right);

/// The value's own text: empty and null give "", integers in decimal, reals
/// in the general format (FloatToStr), currency with up to 4 decimals,
/// booleans "True"/"False", dates by DateTimeToStr.
std::string VarToStr(const TVariant& value);
/// The conversion to text used where a text is required: as VarToStr, but
/// null throws kMsgInvalidVariantTypeConversion.
std::string VarToText(const TVariant& value);
/// Empty is 0, null throws kMsgInvalidVariantTypeConversion, reals round
/// halves to even, text is read as a number the locale's way (else
/// kMsgInvalidVariantTypeConversion); a result past 32 bits throws
/// kMsgVariantOverflow.
std::int32_t VarToInteger(const TVariant& value);
/// Empty is 0, null and non-numeric text throw kMsgInvalidVariantTypeConversion.
double VarToReal(const TVariant& value);
/// Empty is false; numbers are true when not zero; text "True"/"False" (any
/// case) or a number; null and other text throw kMsgInvalidVariantTypeConversion.
bool VarToBoolean(const TVariant& value);

/// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double value);

/// Currency text: up to 4 decimals, no trailing zeros.
std::string CurrToStr(TCurrencyValue value, const TLocaleSettings& locale);

/// Reads a number written the locale's way: blanks around, an optional sign,
/// digits with at most one decimal separator (at least one digit), an
/// optional exponent. Nothing for anything else or a value out of range.
std::optional<double> TextToFloat(std::string_view text, const TLocaleSettings& locale);
/// TextToFloat, throwing kMsgNotValidFloat with the text.
double StrToFloat(std::string_view text, const TLocaleSettings& locale);
/// Leading blanks, an optional sign, decimal digits, in 32 bits; otherwise
/// throws kMsgNotValidInteger with the text.
std::int32_t StrToInt(std::string_view text);

/// Throws the floating-point fault a non-finite result stands for: NaN gives
/// kMsgInvalidFloatOperation, an infinity kMsgFloatOverflow.
double CheckFloat(double value);
