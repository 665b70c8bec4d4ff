#include "ExprTestSupport.h"

#include "expr/ExprMessages.h"
#include "platform/Errors.h"
#include "platform/VariantMessages.h"
#include "platform/text/TextFormat.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using exprtest::ExpectOutcomes;
using exprtest::Fails;

class Builtins : public exprtest::TExprTest {};

TEST(BuiltinTable, HoldsFortySevenDistinctUpperCaseNames)
{
  const auto table = BuiltinFunctions();
  EXPECT_EQ(table.size(), 47u);
  std::set<std::string_view> names;
  for (const TBuiltinFunction& builtin : table) {
    SCOPED_TRACE(builtin.Name);
    EXPECT_TRUE(names.insert(builtin.Name).second);
    for (const char c : builtin.Name)
      EXPECT_TRUE(c >= 'A' && c <= 'Z');
    EXPECT_NE(builtin.Compute, nullptr);
  }
}

TEST(BuiltinTable, NamesMatchWithoutRegardToCase)
{
  ASSERT_NE(FindBuiltin("substr", 3), nullptr);
  EXPECT_EQ(FindBuiltin("SubString", 3)->Name, "SUBSTRING");
  EXPECT_EQ(FindBuiltin("SUBST", 3), nullptr);
  // The date parts are built-ins only with an argument.
  EXPECT_EQ(FindBuiltin("YEAR", 0), nullptr);
  EXPECT_NE(FindBuiltin("YEAR", 1), nullptr);
  EXPECT_NE(FindBuiltin("GETDATE", 0), nullptr);
}

TEST_F(Builtins, TextFunctions)
{
  ExpectOutcomes({
      {"SUBSTR('abcdef', 2, 3)", "string:bcd"},
      {"SUBSTRING('abcdef', 2, 3)", "string:bcd"},
      {"SUBSTR('abc', 0, 2)", "string:ab"},
      {"SUBSTR('abc', 5, 1)", "string:"},
      {"SUBSTR('abc', 2, 10)", "string:bc"},
      {"SUBSTR('abc', 1, 0-1)", "string:"},
      {"SUBSTR('h\xC3\xA9llo', 2, 2)", "string:\xC3\xA9l"},
      {"CHR(65)", "string:A"},
      {"CHR(321)", "string:A"},
      {"CHR(233)", "string:\xC3\xA9"},
      {"UPPER('abc Xy1')", "string:ABC XY1"},
      {"LOWER('ABC xY1')", "string:abc xy1"},
      {"UPPER(12)", "string:12"},
      {"TRIM('  a b  ')", "string:a b"},
      {"TRIMLEFT('  a  ')", "string:a  "},
      {"TRIMRIGHT('  a  ')", "string:  a"},
      {"POS('c', 'abcabc')", "integer:3"},
      {"POS('', 'abc')", "integer:0"},
      {"POS('x', 'abc')", "integer:0"},
      {"POS('C', 'abc')", "integer:0"},
      {"POS('l', 'h\xC3\xA9llo')", "integer:3"},
      {"LENGTH('hello')", "integer:5"},
      {"LENGTH('')", "integer:0"},
      {"LENGTH('h\xC3\xA9llo')", "integer:5"},
      {"LENGTH(1/4)", "integer:4"},
      {"ORD('A')", "integer:65"},
      {"ORD('\xC3\xA9')", "integer:233"},
      {"ORD('')", Fails(kMsgOrdOfEmptyText)},
      {"INTTOSTR(2.5)", "string:2"},
      {"INTTOSTR(3.5)", "string:4"},
      {"INTTOSTR('x')", Fails(kMsgInvalidVariantTypeConversion)},
      {"FLOATTOSTR(1/3)", "string:0.333333333333333"},
      {"FLOATTOSTR(10^20)", "string:1E20"},
  });
}

TEST_F(Builtins, TextToNumberAndDate)
{
  ExpectOutcomes({
      {"STRTOFLOAT('2.5')", "double:2.5"},
      {"STRTOFLOAT(' -1e3 ')", "double:-1000"},
      {"STRTOFLOAT('abc')", Fails(FormatMessage(kMsgNotValidFloat, "abc"))},
      {"STRTOINT('42')", "integer:42"},
      {"STRTOINT('-7')", "integer:-7"},
      {"STRTOINT('4.5')", Fails(FormatMessage(kMsgNotValidInteger, "4.5"))},
      {"STRTOINT('3000000000')", Fails(FormatMessage(kMsgNotValidInteger, "3000000000"))},
      {"STRTODATE('12/25/2003')", "date:12/25/2003"},
      {"STRTODATE('2/29/2003')", Fails(FormatMessage(kMsgNotValidDate, "2/29/2003"))},
      {"STRTODATE('7/4')", "date:7/4/2026"},
      {"STRTODATE('1/2/76')", "date:1/2/1976"},
      {"STRTODATE('1/2/75')", "date:1/2/2075"},
      {"STRTODATE('tomorrow')", Fails(FormatMessage(kMsgNotValidDate, "tomorrow"))},
      {"DATETIMEFROMSTRING('25/12/2003 10:30', 'DD/MM/YYYY HH:NN', '/', ':')",
       "date:12/25/2003 10:30:00 AM"},
      {"DATETIMEFROMSTRING('2003-12-25', 'YYYY-MM-DD', '-', '')", "date:12/25/2003"},
      {"DATETIMEFROMSTRING('2003x12x25', 'YYYYxMMxDD', 'xy', 0)", "date:12/25/2003"},
  });
}

TEST_F(Builtins, AggregatesStartFromTheirFirstArgument)
{
  ExpectOutcomes({
      {"MAX(0-3, 0-5)", "double:-3"},
      {"MAX(1, 5, 3)", "double:5"},
      {"MAX", "integer:0"},
      {"MIN(3, 5)", "double:3"},
      {"MIN(0-3, 5)", "double:-3"},
      {"MIN(4, 2, 8)", "double:2"},
      {"MIN", "integer:0"},
      {"MAX('b', 'a')", "string:b"},
      {"MAX(-3, -5)", Fails(kMsgSyntaxTreeFault)},
      {"SUM(1, 2, 3)", "double:6"},
      {"SUM", "integer:0"},
      {"SUM(LENGTH('ab'), LENGTH('c'))", "integer:3"},
      {"SUM('a', 1)", Fails(kMsgInvalidVariantTypeConversion)},
      {"AVG(1, 2, 3)", "double:2"},
      {"AVG(1, 2)", "double:1.5"},
      {"AVG", "integer:0"},
      {"COUNT(1, 2, 3)", "integer:3"},
      {"COUNT", "integer:0"},
      {"COUNT(1/0, x)", "integer:2"},
  });
}

TEST_F(Builtins, NumberFunctions)
{
  ExpectOutcomes({
      {"FRAC(0-2.5)", "double:-0.5"},
      {"FRAC(2.25)", "double:0.25"},
      {"INT(0-2.7)", "double:-2"},
      {"INT(2.7)", "double:2"},
      {"ROUND(2.5)", "integer:2"},
      {"ROUND(3.5)", "integer:4"},
      {"ROUND(0-2.5)", "integer:-2"},
      {"ROUND(10^10)", "double:10000000000"},
      {"DIV(7, 2)", "integer:3"},
      {"DIV(0-7, 2)", "integer:-3"},
      {"MOD(0-7, 2)", "integer:-1"},
      {"MOD(7, 0-2)", "integer:1"},
      {"DIV(7.5, 2)", "integer:4"},
      {"ABS(0-4)", "double:4"},
      {"POWER(2, 0-2)", "double:0.25"},
      {"EXP(0)", "double:1"},
      {"LN(1)", "double:0"},
      {"LN(0)", Fails(kMsgFloatDivisionByZero)},
      {"LN(0-1)", Fails(kMsgInvalidFloatOperation)},
      {"LOG(1000)", "double:3"},
      {"LOG(0)", Fails(kMsgFloatDivisionByZero)},
      {"SQR(3)", "double:9"},
      {"SQRT(16)", "double:4"},
      {"SQRT(0-1)", Fails(kMsgInvalidFloatOperation)},
  });
}

TEST_F(Builtins, RandomStaysInItsRange)
{
  for (int i = 0; i < 200; ++i) {
    const TVariant real = exprtest::Eval("RANDOM");
    ASSERT_EQ(real.Type(), TVarType::vtDouble);
    EXPECT_GE(real.AsDouble(), 0.0);
    EXPECT_LT(real.AsDouble(), 1.0);
    const TVariant integer = exprtest::Eval("RANDOM(3)");
    ASSERT_EQ(integer.Type(), TVarType::vtInteger);
    EXPECT_GE(integer.AsInteger(), 0);
    EXPECT_LT(integer.AsInteger(), 3);
  }
  EXPECT_EQ(exprtest::Outcome("RANDOM(1)"), "integer:0");
  EXPECT_EQ(exprtest::Outcome("RANDOM(0)"), Fails(kMsgRandomRange));
}

TEST_F(Builtins, ConditionsAndNulls)
{
  ExpectOutcomes({
      {"IIF(1 > 0, 'yes', 1/0)", "string:yes"},
      {"IIF(1 < 0, 1/0, 'no')", "string:no"},
      {"IIF('x', 1, 2)", Fails(kMsgInvalidVariantTypeConversion)},
      {"ISNULL(1)", "boolean:False"},
  });
}

TEST_F(Builtins, DatesFollowTheClock)
{
  ExpectOutcomes({
      {"GETDATE", "date:3/15/2026 10:30:00 AM"},
      {"YEAR(GETDATE)", "integer:2026"},
      {"MONTH(GETDATE)", "integer:3"},
      {"DAY(GETDATE)", "integer:15"},
      {"HOUR(GETDATE)", "integer:10"},
      {"MINUTE(GETDATE)", "integer:30"},
      {"SECOND(GETDATE)", "integer:0"},
      {"DATEPART(GETDATE)", "double:46096"},
      {"TIMEPART(GETDATE)", "double:0.4375"},
      {"DATETOSTR(37980)", "string:12/25/2003"},
      {"DATETOSTR(37980.75)", "string:12/25/2003"},
      {"YEAR(0)", "integer:1899"},
      {"YEAR(10^9)", Fails(FormatMessage(kMsgNotValidDate, "1000000000"))},
      {"YEAR", "string:YEAR"},
      {"second", "string:second"},
  });
}

TEST_F(Builtins, MissingArgumentsAreListIndexErrors)
{
  ExpectOutcomes({
      {"UPPER", Fails(ListIndexMessage(0))},
      {"SUBSTR('abc', 1)", Fails(ListIndexMessage(2))},
      {"POS('a')", Fails(ListIndexMessage(1))},
      {"IIF(1 = 1)", Fails(ListIndexMessage(1))},
      {"IIF(1 = 2, 5)", Fails(ListIndexMessage(2))},
      {"DATETIMEFROMSTRING('1/2/03', 'D/M/Y', '/')", Fails(ListIndexMessage(3))},
      {"POWER(2)", Fails(ListIndexMessage(1))},
      {"CHR", Fails(ListIndexMessage(0))},
      // Arguments past those read are neither evaluated nor reported.
      {"UPPER('a', 1/0)", "string:A"},
  });
}

/// A component whose handler records each name it is asked for and answers
/// with a value from a table.
class EvaluationOrder : public exprtest::TExprTest {
protected:
  std::string Asked;

  TVariant Run(const std::string& text)
  {
    TZymParser parser;
    parser.OnEvaluate = [this](TEvaluateSender, const std::string& name, const TExpArgs&, int,
                               TVariant& value, bool& done) {
      Asked += Asked.empty() ? name : "," + name;
      done = true;
      if (name == "s")
        value = TVariant("abcdef");
      else if (name == "one")
        value = TVariant(1.0);
      else if (name == "two")
        value = TVariant(2.0);
      else if (name == "three")
        value = TVariant(3.0);
      else if (name == "sep")
        value = TVariant("/");
      else if (name == "fmt")
        value = TVariant("DD/MM/YYYY");
      else if (name == "day")
        value = TVariant("25/12/2003");
    };
    parser.SetText(text);
    return parser.Calculate();
  }
};

TEST_F(EvaluationOrder, FollowsEachBuiltinsOwnOrder)
{
  const std::pair<const char*, const char*> cases[] = {
      {"SUBSTR(s, two, three)", "three,two,s"},
      {"DATETIMEFROMSTRING(day, fmt, sep, sep2)", "sep2,sep,fmt,day"},
      {"POS(s, fmt)", "fmt,s"},
      {"POWER(two, three)", "two,three"},
      {"DIV(three, two)", "three,two"},
      {"MAX(one, two, three)", "one,two,three"},
      {"SUM(three, two, one)", "three,two,one"},
      {"IIF(one = one, two, three)", "one,one,two"},
      {"IIF(one = two, two, three)", "one,two,three"},
      {"COUNT(one, two)", ""},
      {"UPPER(s, one)", "s"},
      {"two - one * three", "two,one,three"},
      {"F(one, two)", "one,two,F"},
  };
  for (const auto& [text, order] : cases) {
    SCOPED_TRACE(text);
    Asked.clear();
    Run(text);
    EXPECT_EQ(Asked, order);
  }
}

TEST_F(EvaluationOrder, ArgumentsReachTheHandlerInElevenSlots)
{
  TZymParser parser;
  std::vector<std::string> seen;
  int count = 0;
  parser.OnEvaluate = [&](TEvaluateSender sender, const std::string& name, const TExpArgs& args,
                          int argCount, TVariant& value, bool& done) {
    if (name != "F")
      return;  // quoted 'a' is a name too; left unanswered it stays text
    EXPECT_EQ(std::get<const TZymParser*>(sender), &parser);
    EXPECT_EQ(VarToStr(value), name);  // the name's text on entry
    count = argCount;
    seen.clear();
    for (const TVariant& arg : args)
      seen.push_back(VarTypeName(arg.Type()));
    value = TVariant(std::int32_t{99});
    done = true;
  };
  parser.SetText("F(1, 'a')");
  EXPECT_EQ(exprtest::Describe(parser.Calculate()), "integer:99");
  EXPECT_EQ(count, 11);
  ASSERT_EQ(seen.size(), 11u);
  EXPECT_EQ(seen[0], "double");
  EXPECT_EQ(seen[1], "string");
  for (std::size_t i = 2; i < seen.size(); ++i)
    EXPECT_EQ(seen[i], "empty");
}

TEST_F(EvaluationOrder, NodeHandlerIsAskedInsteadOfTheOwner)
{
  TExpParser tokens;
  tokens.SetText("F(2) + G");
  tokens.Tokenize();
  TZymParser owner;
  std::string ownerAsked;
  owner.OnEvaluate = [&](TEvaluateSender, const std::string& name, const TExpArgs&, int,
                         TVariant& value, bool& done) {
    ownerAsked += name;
    value = TVariant(10.0);
    done = true;
  };
  TExpNode root(&owner, tokens.TokenList(), nullptr);
  root.Build();
  TExpNode& call = *root.Children()[0];
  const TExpNode* sender = nullptr;
  call.OnEvaluate = [&](TEvaluateSender from, const std::string&, const TExpArgs& args, int,
                        TVariant& value, bool&) {
    sender = std::get<const TExpNode*>(from);
    value = VarMul(args[0], TVariant(100.0));
  };
  EXPECT_EQ(exprtest::Describe(Evaluate(root)), "double:210");
  EXPECT_EQ(sender, &call);
  EXPECT_EQ(ownerAsked, "G");  // F went to its node's handler only
}

}  // namespace
