#pragma once

#include "expr/ExpNode.h"
#include "platform/Variant.h"

#include <span>
#include <string_view>

/// Evaluates a built tree, children before their operator, left operand
/// first. Number tokens are reals read with "."; a word that names a built-in
/// (any case) is computed, any other word goes to CallFunction; an operator
/// whose operand count differs from its children fails with
/// kMsgSyntaxTreeFault, as does every operator text not in OperatorTable.
///
/// Choices where the language leaves the result open, each an error rather
/// than a made-up value:
///   - a node without a token ("()", the empty operand of "5 +", an empty
///     argument, an empty expression): kMsgSyntaxTreeFault;
///   - a number token that is no number, as 1.2.3 or a lone ".":
///     kMsgNotValidFloat with the token's text;
///   - ORD of an empty text: kMsgOrdOfEmptyText;
///   - RANDOM(n) with n below 1: kMsgRandomRange;
///   - factorial of a negative number: kMsgNegativeFactorial (!0 and !1 are 1);
///   - more than kMaxArgs arguments are refused when the tree is built.
/// Failures of the value operations pass through unchanged.
TVariant Evaluate(const TExpNode& node);

/// The part of Evaluate for a word that is no built-in: evaluates all
/// arguments into the kMaxArgs slots, then asks the node's own OnEvaluate
/// (sender: the node) or else the tree's owner. Unresolved, the result is
/// the word's text.
TVariant CallFunction(const TExpNode& node);

/// The power rule of "^" and POWER: x^0 is 1, 0^y is 0 for y > 0, an
/// integral exponent up to 2147483647 in magnitude multiplies by repeated
/// squaring (reciprocal for negative), anything else is exp(y * ln x).
/// Faults throw: a negative base with a fractional exponent
/// kMsgInvalidFloatOperation, 0 to a negative power kMsgFloatDivisionByZero,
/// a result too large kMsgFloatOverflow.
double Power(double base, double exponent);

/// One row of the built-in function table. Arguments are evaluated only when
/// the function reads them; reading one that was not written fails with
/// "List index out of bounds (%d)".
struct TBuiltinFunction {
  std::string_view Name;
  /// Argument count the function reads: -1 for any number.
  int Arity;
  /// YEAR, MONTH, DAY, HOUR, MINUTE and SECOND are built-ins only when
  /// written with arguments; bare, they are names for the owner.
  bool NeedsArguments;
  TVariant (*Compute)(const TExpNode& call);
};

/// The 47 built-ins, in lookup order (names are distinct, so the order only
/// affects speed).
std::span<const TBuiltinFunction> BuiltinFunctions();

/// The built-in a word names (a to z folded), nullptr if none. `argumentCount`
/// decides the six date-part names.
const TBuiltinFunction* FindBuiltin(std::string_view name, std::size_t argumentCount);
