#include "Commands.h"
#include "EvalCommand.h"
#include "expr/ExprMessages.h"
#include "expr/ZymParser.h"
#include "platform/DateTime.h"
#include "platform/Environment.h"
#include "platform/VariantMessages.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

struct TRun {
  int Status;
  std::string Out;
  std::string Err;
};

/// Runs the command in a fixed US English environment whose clock says
/// 15 March 2026 (or the one given).
class EvalCommand : public ::testing::Test {
protected:
  TFixedEnvironment Environment{UsEnglishLocale(), EncodeDate(2026, 3, 15)};
  TEnvironmentScope Scope{Environment};

  static TRun Run(std::vector<std::string> args)
  {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunEvalCommand(args, out, err);
    return TRun{status, out.str(), err.str()};
  }
};

TEST_F(EvalCommand, PrintsKindTabText)
{
  const std::pair<const char*, const char*> cases[] = {
      {"1+2", "double\t3\n"},
      {"'abc' + 'def'", "string\tabcdef\n"},
      {"(1 = 1) AND (2 > 1)", "boolean\tTrue\n"},
      {"3 > 1 AND 2 > 1", "boolean\tTrue\n"},
      {"1 + 2 > 2", "boolean\tTrue\n"},
      {"LENGTH('hello')", "integer\t5\n"},
      {"10-3-2", "double\t5\n"},
      {"8/4/2", "double\t1\n"},
      {"2^3^2", "double\t512\n"},
      {"MIN(3, 5)", "double\t3\n"},
      {"MAX(0-3, 0-5)", "double\t-3\n"},
      {"COUNT(1, 2, 3)", "integer\t3\n"},
      {"!0", "integer\t1\n"},
      {"!5", "integer\t120\n"},
      {"PI*2", "double\t6.28\n"},
      {"SQRT(16)", "double\t4\n"},
      {"1/3", "double\t0.333333333333333\n"},
      {"Hello", "string\tHello\n"},
      {"STRTODATE('12/25/2003')", "date\t12/25/2003\n"},
      {"DATETIMEFROMSTRING('12:30 AM', 'HH:NN', '/', ':')", "date\t12/30/1899 12:30:00 AM\n"},
      {"YEAR(GETDATE)", "integer\t2026\n"},
      {"SUBSTR('abcdef', 2, 3)", "string\tbcd\n"},
  };
  for (const auto& [expression, printed] : cases) {
    SCOPED_TRACE(expression);
    const TRun run = Run({expression});
    EXPECT_EQ(run.Status, kExitOk);
    EXPECT_EQ(run.Out, printed);
    EXPECT_EQ(run.Err, "");
  }
}

TEST_F(EvalCommand, DefinedFunctionsJoinTheStartUpOnes)
{
  TRun run = Run({"F(2, 3)", "--define", "F(a, b)=a*b+1"});
  EXPECT_EQ(run.Status, kExitOk);
  EXPECT_EQ(run.Out, "double\t7\n");

  run = Run({"--define", "TWICE(x)=x*2", "--define", "HALF(x)=x/2", "TWICE(HALF(PI))"});
  EXPECT_EQ(run.Out, "double\t3.14\n");

  // A defined PI comes after the start-up one, so the start-up one answers.
  run = Run({"PI", "--define", "PI=3"});
  EXPECT_EQ(run.Out, "double\t3.14\n");

  // A body knows only built-ins and its own arguments.
  run = Run({"AREA(2)", "--define", "AREA(r)=PI*r^2"});
  EXPECT_EQ(run.Status, kExitFailure);
  EXPECT_EQ(run.Err, "bifflens-cli: eval: Invalid variant type conversion.\n");
}

TEST_F(EvalCommand, DefinitionsLastOnlyForTheirRun)
{
  TExpressionModule startUp;
  EXPECT_EQ(Run({"G(1)", "--define", "G(x)=x+1"}).Out, "double\t2\n");
  EXPECT_EQ(ParserFunctions(), &startUp.Functions());
  EXPECT_EQ(startUp.Functions().Count(), 3);
  EXPECT_EQ(Run({"G(1)"}).Out, "string\tG\n");
}

TEST_F(EvalCommand, FailuresGoToStandardErrorWithTheDotRule)
{
  const std::pair<const char*, std::string> cases[] = {
      {"1/0", "Floating point division by zero.\n"},
      {"x and y", "Compile error: syntax fault.\n"},
      {"UPPER", "List index out of bounds (0)\n"},  // ")" sorts below "."
      {"'abc' + 1", "Invalid variant type conversion.\n"},
      {"STRTOINT('x')", "'x' is not a valid integer value.\n"},
      {"", "Calculate error: syntax tree fault.\n"},
  };
  for (const auto& [expression, message] : cases) {
    SCOPED_TRACE(expression);
    const TRun run = Run({expression});
    EXPECT_EQ(run.Status, kExitFailure);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, "bifflens-cli: eval: " + message);
  }
  const TRun bad = Run({"1", "--define", "F(a b)=a"});
  EXPECT_EQ(bad.Status, kExitFailure);
  EXPECT_EQ(bad.Err, "bifflens-cli: eval: Function parse error: delimitor \",\" expected between arguments.\n");
}

TEST_F(EvalCommand, BadCommandLinesPrintUsage)
{
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--define", "F=1"},
      {"1", "--define"},
      {"1", "2"},
      {"1", "--verbose"},
  };
  for (const auto& args : cases) {
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, kExitUsage);
    EXPECT_EQ(run.Out, "");
    EXPECT_NE(run.Err.find("Usage: bifflens-cli eval EXPR"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.rfind("bifflens-cli: ", 0), 0u) << run.Err;
  }
}

TEST_F(EvalCommand, NumbersUseTheLocaleDecimalSeparator)
{
  Environment.Settings.DecimalSeparator = ',';
  EXPECT_EQ(Run({"7/2"}).Out, "double\t3,5\n");
  EXPECT_EQ(Run({"'1,25' * 2"}).Out, "double\t2,5\n");
  EXPECT_EQ(Run({"FLOATTOSTR(0.5)"}).Out, "string\t0,5\n");
}

}  // namespace
