#pragma once

// Message texts of the expression evaluator. Exact texts: they are shown to
// the user and compared by tests. Texts with "%s" or "%d" go through
// FormatExprMessage; the value operations' texts are in platform/VariantMessages.h.

// Tokenizer and tree builder.
inline constexpr char kMsgIllegalCharacter[] = "Parse error: illegal character \"%s\" at position %d.";
inline constexpr char kMsgSyntaxFault[] = "Compile error: syntax fault.";
inline constexpr char kMsgParenthesisMismatch[] = "Compile error: parenthesis mismatch.";
inline constexpr char kMsgFunctionParseError[] = "Function parse error.";
/// Our own limit: nesting past kMaxNodeLevel would exhaust the stack.
inline constexpr char kMsgNestedTooDeeply[] = "Compile error: expression nested too deeply.";
/// Our own limit: a call holds at most kMaxArgs arguments.
inline constexpr char kMsgTooManyArguments[] = "Compile error: more than 11 arguments in a call of \"%s\".";

// Evaluation.
inline constexpr char kMsgSyntaxTreeFault[] = "Calculate error: syntax tree fault.";
inline constexpr char kMsgOrdOfEmptyText[] = "Calculate error: ORD of an empty text.";
inline constexpr char kMsgRandomRange[] = "Calculate error: RANDOM needs a range above 0.";
inline constexpr char kMsgNegativeFactorial[] = "Calculate error: factorial of a negative number.";

// Function definitions.
inline constexpr char kMsgFunctionNotValid[] = "Function \"%s\" is not valid.";
inline constexpr char kMsgFunctionHeaderNotValid[] = "Function header \"%s\" is not valid.";
inline constexpr char kMsgDelimiterExpected[] =
    "Function parse error: delimitor \",\" expected between arguments.";  // "delimitor" sic
inline constexpr char kMsgTooManyArgumentNames[] = "Function \"%s\" has more than 11 arguments.";
