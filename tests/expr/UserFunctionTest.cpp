#include "ExprTestSupport.h"

#include "expr/ExprMessages.h"
#include "platform/Errors.h"
#include "platform/VariantMessages.h"

#include <gtest/gtest.h>

namespace {

using exprtest::ErrorOf;
using exprtest::Fails;

class FunctionDefinitions : public exprtest::TExprTest {};

std::string Joined(const std::vector<std::string>& names)
{
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "" : ",") + name;
  return text;
}

TEST_F(FunctionDefinitions, ReadNameArgumentsAndBody)
{
  struct TCase {
    const char* Definition;
    const char* Name;
    const char* Args;
    const char* Body;
  };
  const TCase cases[] = {
      {"F(a, b)=a+b", "F", "a,b", "a+b"},
      {"PI=3.14", "PI", "", "3.14"},
      {"X = 1", "X", "", " 1"},
      {"ISPOS(x)=x>0", "ISPOS", "x", "x>0"},
      {"F(1, a)=a", "F", "a", "a"},
      {"F(a, , b)=a", "F", "a,b", "a"},
      {"F()=1", "F", "", "1"},
      {"F(a) junk=1", "F", "a", "1"},
      {"F x, y=1", "F", "y", "1"},
      {"no equals sign", "", "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Definition);
    TZymParserFunction function;
    function.SetDefinition(c.Definition);
    EXPECT_EQ(function.Definition(), c.Definition);
    EXPECT_EQ(function.Name(), c.Name);
    EXPECT_EQ(Joined(function.ArgNames()), c.Args);
    EXPECT_EQ(function.ArgCount(), static_cast<int>(function.ArgNames().size()));
    EXPECT_EQ(function.Body(), c.Body);
  }
}

TEST_F(FunctionDefinitions, MalformedHeadersFailWithTheirMessages)
{
  const std::pair<const char*, std::string> cases[] = {
      {"F(a b)=a", kMsgDelimiterExpected},
      {"F(a=1", FormatExprMessage(kMsgFunctionHeaderNotValid, "F(a")},
      {"F)a(=1", FormatExprMessage(kMsgFunctionHeaderNotValid, "F)a(")},
      {"F(a(b))=1", FormatExprMessage(kMsgFunctionHeaderNotValid, "F(a(b))")},
      {" F(a =1", FormatExprMessage(kMsgFunctionHeaderNotValid, " F(a ")},
      {"3(x)=x", FormatExprMessage(kMsgFunctionNotValid, "3(x)=x")},
      {"=1", FormatExprMessage(kMsgFunctionNotValid, "=1")},
      {"AND(x)=x", FormatExprMessage(kMsgFunctionNotValid, "AND(x)=x")},
      {"F(a,b,c,d,e,f,g,h,i,j,k,l)=a",
       FormatExprMessage(kMsgTooManyArgumentNames, "F(a,b,c,d,e,f,g,h,i,j,k,l)=a")},
  };
  for (const auto& [definition, message] : cases) {
    SCOPED_TRACE(definition);
    TZymParserFunction function;
    EXPECT_EQ(ErrorOf([&] { function.SetDefinition(definition); }), message);
  }
  TZymParserFunction eleven;
  eleven.SetDefinition("F(a,b,c,d,e,f,g,h,i,j,k)=k");
  EXPECT_EQ(eleven.ArgCount(), 11);
}

TEST_F(FunctionDefinitions, CalculateBindsArgumentsWithoutRegardToCase)
{
  TZymParserFunction function;
  function.SetDefinition("F(X, y)=x*2 + Y");
  TExpArgs args;
  args[0] = TVariant(5.0);
  args[1] = TVariant(std::int32_t{1});
  function.SetArgs(args);
  EXPECT_EQ(exprtest::Describe(function.Calculate()), "double:11");
  // The values stay until the next call replaces them.
  EXPECT_EQ(exprtest::Describe(function.ArgValues()[0]), "double:5");
  args[0] = TVariant(1.0);
  function.SetArgs(args);
  EXPECT_EQ(exprtest::Describe(function.Calculate()), "double:3");
}

TEST_F(FunctionDefinitions, BodyWithoutOwnerKnowsOnlyBuiltinsAndArguments)
{
  TZymParserFunction function;
  function.SetDefinition("AREA(r)=PI*r^2");
  TExpArgs args;
  args[0] = TVariant(2.0);
  function.SetArgs(args);
  EXPECT_EQ(ErrorOf([&] { function.Calculate(); }), kMsgInvalidVariantTypeConversion);
  function.SetDefinition("G(r)=UPPER(other) + LENGTH('ab')");
  EXPECT_EQ(ErrorOf([&] { function.Calculate(); }), kMsgInvalidVariantTypeConversion);
  function.SetDefinition("G(r)=UPPER(other)");
  EXPECT_EQ(exprtest::Describe(function.Calculate()), "string:OTHER");
}

TEST_F(FunctionDefinitions, BodyWithOwnerAsksTheComponent)
{
  TZymParser owner;
  owner.OnEvaluate = [](TEvaluateSender, const std::string& name, const TExpArgs&, int,
                        TVariant& value, bool& done) {
    if (name == "rate") {
      value = TVariant(0.5);
      done = true;
    }
  };
  TZymParserFunction function(&owner);
  function.SetDefinition("NET(x)=x*rate + PI");
  TExpArgs args;
  args[0] = TVariant(10.0);
  function.SetArgs(args);
  EXPECT_EQ(exprtest::Describe(function.Calculate()), "double:8.14");
  EXPECT_EQ(function.Owner(), &owner);
}

class FunctionRegistry : public exprtest::TExprTest {};

TEST_F(FunctionRegistry, StartUpRegistersThreeFunctions)
{
  TZymParserFunctions* registry = ParserFunctions();
  ASSERT_EQ(registry, &Module.Functions());
  ASSERT_EQ(registry->Count(), 3);
  EXPECT_EQ(registry->Items(0)->Definition(), "SQR(x)=x*x");
  EXPECT_EQ(registry->Items(1)->Definition(), "SQRT(x)=x^(1/2)");
  EXPECT_EQ(registry->Items(2)->Definition(), "PI=3.14");
  EXPECT_EQ(registry->Items(2)->Owner(), nullptr);
  EXPECT_EQ(registry->Items(3), nullptr);
  EXPECT_EQ(registry->Items(-1), nullptr);
}

TEST_F(FunctionRegistry, FindIgnoresCaseAndTakesTheFirst)
{
  TZymParserFunctions& registry = Module.Functions();
  EXPECT_EQ(registry.Find("pi"), registry.Items(2));
  EXPECT_EQ(registry.Find("Pi"), registry.Items(2));
  EXPECT_EQ(registry.Find("PI"), registry.Items(2));
  EXPECT_EQ(registry.Find("TAU"), nullptr);
  EXPECT_EQ(registry.Add("pi=3"), 3);
  EXPECT_EQ(registry.Find("PI"), registry.Items(2));
}

TEST_F(FunctionRegistry, AddAndDeleteKeepTheListConsistent)
{
  TZymParserFunctions& registry = Module.Functions();
  EXPECT_EQ(ErrorOf([&] { registry.Add("3=x"); }), FormatExprMessage(kMsgFunctionNotValid, "3=x"));
  EXPECT_EQ(registry.Count(), 3);
  EXPECT_EQ(ErrorOf([&] { registry.Delete(3); }), ListIndexMessage(3));
  EXPECT_EQ(ErrorOf([&] { registry.Delete(-1); }), ListIndexMessage(-1));
  registry.Delete(0);
  EXPECT_EQ(registry.Count(), 2);
  EXPECT_EQ(registry.Items(0)->Name(), "SQRT");
}

TEST_F(FunctionRegistry, ModulesNestAndRestoreThePreviousRegistry)
{
  TZymParserFunctions* outer = ParserFunctions();
  {
    TExpressionModule inner;
    EXPECT_EQ(ParserFunctions(), &inner.Functions());
    EXPECT_NE(ParserFunctions(), outer);
  }
  EXPECT_EQ(ParserFunctions(), outer);
}

/// A component whose handler answers every name with 100 and records it.
class NameResolution : public exprtest::TExprTest {
protected:
  TZymParser Parser;
  std::string Asked;
  bool SetsDone = true;

  void SetUp() override
  {
    Parser.OnEvaluate = [this](TEvaluateSender, const std::string& name, const TExpArgs&, int,
                               TVariant& value, bool& done) {
      Asked += Asked.empty() ? name : "," + name;
      value = TVariant(100.0);
      done = SetsDone;
    };
  }

  std::string Run(const std::string& text)
  {
    Asked.clear();
    Parser.SetText(text);
    try {
      return exprtest::Describe(Parser.Calculate());
    } catch (const std::exception& error) {
      return std::string("!") + error.what();
    }
  }
};

TEST_F(NameResolution, WithoutHandlerTheRegistryAnswers)
{
  Parser.OnEvaluate = nullptr;
  EXPECT_EQ(Run("PI"), "double:3.14");
  EXPECT_EQ(Run("PI*2"), "double:6.28");
  EXPECT_EQ(Run("SQRT(16)"), "double:4");  // the built-in, not the registered one
  EXPECT_EQ(Run("pi + 1"), "double:4.14");
  EXPECT_EQ(Run("Unknown"), "string:Unknown");
  Module.Functions().Add("AREA(r)=PI*r^2");
  EXPECT_EQ(Run("AREA(2)"), Fails(kMsgInvalidVariantTypeConversion));
  Module.Functions().Add("TWICE(v)=v*2");
  EXPECT_EQ(Run("TWICE(TWICE(3))"), "double:12");
}

TEST_F(NameResolution, HandlerComesFirstUnlessProcessBeforeEvent)
{
  EXPECT_FALSE(Parser.ProcessBeforeEvent());
  EXPECT_EQ(Run("PI"), "double:100");
  EXPECT_EQ(Asked, "PI");
  Parser.SetProcessBeforeEvent(true);
  EXPECT_EQ(Run("PI"), "double:3.14");
  EXPECT_EQ(Asked, "");
  EXPECT_EQ(Run("TAU"), "double:100");
  EXPECT_EQ(Asked, "TAU");
}

TEST_F(NameResolution, HandlerThatLeavesDoneFalseFallsThroughToTheRegistry)
{
  SetsDone = false;
  EXPECT_EQ(Run("PI"), "double:3.14");
  EXPECT_EQ(Asked, "PI");
  // Unresolved by the registry, the handler's value stays.
  EXPECT_EQ(Run("TAU"), "double:100");
}

TEST_F(NameResolution, BuiltinsAreNeverAskedFor)
{
  EXPECT_EQ(Run("LENGTH(12) + SUM(1)"), "double:3");
  EXPECT_EQ(Asked, "");
  // A quoted text is a name like any other word: the handler is asked first.
  EXPECT_EQ(Run("'abc'"), "double:100");
  EXPECT_EQ(Asked, "abc");
  EXPECT_EQ(Run("YEAR"), "double:100");
  EXPECT_EQ(Asked, "YEAR");
}

TEST(RegistryLifetime, WithoutAModuleNamesStayText)
{
  // Before start-up and after shutdown there is no registry to ask.
  TFixedEnvironment environment;
  TEnvironmentScope scope(environment);
  ASSERT_EQ(ParserFunctions(), nullptr);
  EXPECT_EQ(exprtest::Outcome("PI"), "string:PI");
  {
    TExpressionModule module;
    EXPECT_EQ(exprtest::Outcome("PI"), "double:3.14");
  }
  EXPECT_EQ(ParserFunctions(), nullptr);
}

}  // namespace
