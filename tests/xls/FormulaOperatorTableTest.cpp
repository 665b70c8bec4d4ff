// Every binary operator against every other and inside function calls,
// built token by token, against the brackets Excel writes: only where its
// precedence or left-to-right grouping needs them, and wherever the tokens
// hold a parenthesis.

#include "FormulaTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using F = TFormulaBuilder;

constexpr std::uint16_t kFnSum = 4;  // a variable number of arguments
constexpr std::uint16_t kFnMid = 31; // three fixed arguments

struct TOperator {
  std::uint8_t Ptg;
  const char* Symbol;
  // Excel's order, strongest first: the reference operators (range,
  // intersection, union), negation, percent, power, multiplication and
  // division, addition and subtraction, concatenation, comparison.
  int Level;
};

constexpr TOperator kOperators[] = {
    {kFbRange, ":", 0},  {kFbIsect, " ", 1}, {kFbUnion, ",", 2},  {kFbPower, "^", 5},
    {kFbMul, "*", 6},    {kFbDiv, "/", 6},   {kFbAdd, "+", 7},    {kFbSub, "-", 7},
    {kFbConcat, "&", 8}, {kFbLt, "<", 9},    {kFbLe, "<=", 9},    {kFbEq, "=", 9},
    {kFbGe, ">=", 9},    {kFbGt, ">", 9},    {kFbNe, "<>", 9},
};

std::string Text(const TBuiltFormula& f)
{
  return DecodeText(Book8Context(), f);
}

std::string Bracketed(const std::string& text, bool brackets)
{
  return brackets ? "(" + text + ")" : text;
}

TEST(FormulaOperatorTable, AnOperationAsAnArgumentTakesBracketsOnlyWhenItIsAUnion)
{
  for (const TOperator& op : kOperators) {
    const std::string operation = std::string("A1") + op.Symbol + "B1";
    const std::string argument = Bracketed(operation, op.Ptg == kFbUnion);
    SCOPED_TRACE(operation);
    for (int position = 0; position < 3; ++position) {
      F fixed;
      F variable;
      std::string expected;
      for (int i = 0; i < 3; ++i) {
        if (i == position) {
          for (F* f : {&fixed, &variable})
            f->Ref(0, 0).Ref(0, 1).Op(op.Ptg);
          expected += argument;
        } else {
          for (F* f : {&fixed, &variable})
            f->Ref(1, static_cast<std::uint32_t>(i));
          expected += i == 0 ? "A2" : i == 1 ? "B2" : "C2";
        }
        if (i < 2)
          expected += ',';
      }
      EXPECT_EQ(Text(fixed.Func(kFnMid).Build()), "MID(" + expected + ")");
      EXPECT_EQ(Text(variable.FuncVar(kFnSum, 3).Build()), "SUM(" + expected + ")");
    }
  }
}

TEST(FormulaOperatorTable, AnOperandTakesBracketsWherePrecedenceOrGroupingNeedsThem)
{
  for (const TOperator& inner : kOperators) {
    for (const TOperator& outer : kOperators) {
      const std::string operation = std::string("A1") + inner.Symbol + "B1";
      SCOPED_TRACE(operation + " inside " + outer.Symbol);
      // Left: weaker needs brackets. Right: equal strength too, as the
      // operators group from the left.
      EXPECT_EQ(Text(F().Ref(0, 0).Ref(0, 1).Op(inner.Ptg).Ref(0, 2).Op(outer.Ptg).Build()),
                Bracketed(operation, inner.Level > outer.Level) + outer.Symbol + "C1");
      EXPECT_EQ(Text(F().Ref(0, 2).Ref(0, 0).Ref(0, 1).Op(inner.Ptg).Op(outer.Ptg).Build()),
                std::string("C1") + outer.Symbol + Bracketed(operation, inner.Level >= outer.Level));
      // A parenthesis token is always shown.
      EXPECT_EQ(Text(F().Ref(0, 0).Ref(0, 1).Op(inner.Ptg).Op(kFbParen).Ref(0, 2).Op(outer.Ptg)
                         .Build()),
                "(" + operation + ")" + outer.Symbol + "C1");
    }
  }
}

TEST(FormulaOperatorTable, NegationAndPercentAgainstPower)
{
  const struct {
    const char* What;
    TBuiltFormula Formula;
    const char* Text;
  } cases[] = {
      {"negation binds before power", F().Ref(0, 0).Op(kFbUminus).Int(2).Op(kFbPower).Build(),
       "-A1^2"},
      {"a negated power", F().Ref(0, 0).Int(2).Op(kFbPower).Op(kFbUminus).Build(), "-(A1^2)"},
      {"a negated power in brackets", F().Ref(0, 0).Op(kFbUminus).Op(kFbParen).Int(2)
           .Op(kFbPower).Build(), "(-A1)^2"},
      {"a negative exponent", F().Int(2).Ref(0, 0).Op(kFbUminus).Op(kFbPower).Build(), "2^-A1"},
      {"negation binds before percent", F().Ref(0, 0).Op(kFbUminus).Op(kFbPercent).Build(),
       "-A1%"},
      {"a negated percentage", F().Ref(0, 0).Op(kFbPercent).Op(kFbUminus).Build(), "-(A1%)"},
      {"percent binds before power", F().Ref(0, 0).Op(kFbPercent).Int(2).Op(kFbPower).Build(),
       "A1%^2"},
      {"a power's percentage", F().Ref(0, 0).Int(2).Op(kFbPower).Op(kFbPercent).Build(),
       "(A1^2)%"},
      {"double negation", F().Ref(0, 0).Op(kFbUminus).Op(kFbUminus).Build(), "--A1"},
      {"a negated sum", F().Ref(0, 0).Ref(0, 1).Op(kFbAdd).Op(kFbUminus).Build(), "-(A1+B1)"},
      {"a negation as the right operand", F().Ref(0, 0).Ref(0, 1).Op(kFbUminus).Op(kFbMul)
           .Build(), "A1*-B1"},
      {"a negated argument", F().Ref(0, 0).Op(kFbUminus).Int(0).FuncVar(kFnSum, 2).Build(),
       "SUM(-A1,0)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(Text(c.Formula), c.Text);
  }
}

}  // namespace
