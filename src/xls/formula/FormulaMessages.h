#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Fixed texts of the formula decoder. Each "%s" takes one argument, in order,
// through FormatFormulaMessage; a byte position counts from the first token.
inline constexpr char kMsgFormulaTruncated[] = "Formula is cut short in token %s at byte %s";
inline constexpr char kMsgFormulaUnknownToken[] = "Unknown formula token 0x%s at byte %s";
inline constexpr char kMsgFormulaUnsupportedToken[] =
    "Formula token %s at byte %s is not supported";
inline constexpr char kMsgFormulaMissingOperand[] =
    "Formula token %s at byte %s has too few operands";
inline constexpr char kMsgFormulaNotOneExpression[] =
    "Formula tokens form %s expressions instead of one";
inline constexpr char kMsgFormulaUnknownFunction[] = "Unknown function number %s at byte %s";
inline constexpr char kMsgFormulaUnknownCommand[] = "Unknown command number %s at byte %s";
inline constexpr char kMsgFormulaNoFixedCount[] =
    "Function %s at byte %s takes a variable number of arguments";
inline constexpr char kMsgFormulaUnknownError[] = "Unknown error code 0x%s at byte %s";
inline constexpr char kMsgFormulaBadName[] = "Name number %s at byte %s is not defined";
inline constexpr char kMsgFormulaBadExternName[] =
    "External name number %s at byte %s is not defined";
inline constexpr char kMsgFormulaBadExternSheet[] =
    "External sheet number %s at byte %s is not defined";
inline constexpr char kMsgFormulaMissingArrayData[] =
    "Constant data for token %s at byte %s is missing or cut short";
inline constexpr char kMsgFormulaTooLong[] = "Formula text is longer than %s bytes";
inline constexpr char kMsgFormulaRecordTruncated[] =
    "Formula record is shorter than its token count";
inline constexpr char kMsgFormulaMasterMissing[] =
    "No shared, array or table formula is found at %s";
inline constexpr char kMsgFormulaNeedsMaster[] =
    "Token %s at byte %s refers to a formula of the sheet (%s)";

/// Replaces each "%s" of `format` by the next of `args`; a "%s" without an
/// argument is left as it is, spare arguments are dropped.
std::string FormatFormulaMessage(std::string_view format,
                                 std::initializer_list<std::string_view> args);
