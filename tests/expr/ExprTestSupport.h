#pragma once

// Helpers shared by the expression tests: a fixed environment (US English,
// 15 March 2026 10:30, seeded generator), a registry per test, evaluation of
// a text, and a bracketed print of a tree.

#include "expr/Evaluate.h"
#include "expr/ExpNode.h"
#include "expr/ExpParser.h"
#include "expr/ZymParser.h"
#include "platform/DateTime.h"
#include "platform/Environment.h"
#include "platform/VariantOps.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace exprtest {

/// 15 March 2026, 10:30.
inline double FixedNow()
{
  return EncodeDate(2026, 3, 15) + EncodeTime(10, 30, 0, 0);
}

/// Every expression test runs in a fixed environment with its own registry.
class TExprTest : public ::testing::Test {
protected:
  TFixedEnvironment Environment{UsEnglishLocale(), FixedNow()};
  TEnvironmentScope EnvironmentScope{Environment};
  TExpressionModule Module;
};

/// Evaluates a text with a component that has no handler.
inline TVariant Eval(const std::string& text)
{
  TZymParser parser;
  parser.SetText(text);
  return parser.Calculate();
}

/// The message of what `action` throws, or "(no error)".
inline std::string ErrorOf(const std::function<void()>& action)
{
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(no error)";
}

/// "kind:text" of the value `text` evaluates to, or "!" and the error message.
inline std::string Outcome(const std::string& text)
{
  try {
    const TVariant value = Eval(text);
    return std::string(VarTypeName(value.Type())) + ":" + VarToStr(value);
  } catch (const std::exception& error) {
    return std::string("!") + error.what();
  }
}

struct TOutcomeCase {
  const char* Text;
  std::string Expected;  // "kind:text" or "!message"
};

inline void ExpectOutcomes(std::initializer_list<TOutcomeCase> cases)
{
  for (const TOutcomeCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Outcome(c.Text), c.Expected);
  }
}

/// "!" and the message, as Outcome gives a failure.
inline std::string Fails(const std::string& message)
{
  return "!" + message;
}

inline std::string EvalError(const std::string& text)
{
  return ErrorOf([&] { Eval(text); });
}

/// "kind:text" of a value, e.g. "double:3" or "string:abc".
inline std::string Describe(const TVariant& value)
{
  return std::string(VarTypeName(value.Type())) + ":" + VarToStr(value);
}

/// A tree as text: a leaf is its token, a node "token[child,child]", a node
/// without token "[]".
inline std::string TreeString(const TExpNode& node)
{
  std::string text = node.Token() != nullptr ? node.Token()->Text : std::string("[]");
  if (node.Children().empty())
    return text;
  text += '[';
  for (std::size_t i = 0; i < node.Children().size(); ++i) {
    if (i > 0)
      text += ',';
    text += TreeString(*node.Children()[i]);
  }
  text += ']';
  return text;
}

/// Builds `text` and prints the tree, or gives the build's error message.
inline std::string BuildTree(const std::string& text)
{
  TExpParser parser;
  parser.SetText(text);
  parser.Tokenize();
  TExpNode root(nullptr, parser.TokenList(), nullptr);
  try {
    root.Build();
  } catch (const std::exception& error) {
    return error.what();
  }
  return TreeString(root);
}

}  // namespace exprtest
