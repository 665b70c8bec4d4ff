#include "ExprTestSupport.h"

#include "expr/ExprMessages.h"
#include "platform/VariantMessages.h"
#include "platform/text/TextFormat.h"

#include <gtest/gtest.h>

namespace {

using exprtest::ExpectOutcomes;
using exprtest::Fails;

class Evaluation : public exprtest::TExprTest {};

TEST_F(Evaluation, NumberLiteralsAreReals)
{
  ExpectOutcomes({
      {"1+2", "double:3"},
      {"3.14", "double:3.14"},
      {".5", "double:0.5"},
      {"0-3", "double:-3"},
      {"7/2", "double:3.5"},
      {"1/3", "double:0.333333333333333"},
      {"0.1+0.2", "double:0.3"},
      {"1000000*1000000*1000", "double:1E15"},
      {"(5)", "double:5"},
  });
}

TEST_F(Evaluation, NumberTokensThatAreNoNumberFail)
{
  ExpectOutcomes({
      {"1.2.3", Fails(FormatMessage(kMsgNotValidFloat, "1.2.3"))},
      {".", Fails(FormatMessage(kMsgNotValidFloat, "."))},
      {"1.2.3 + 1", Fails(FormatMessage(kMsgNotValidFloat, "1.2.3"))},
  });
}

TEST_F(Evaluation, NodesWithoutTokensFail)
{
  ExpectOutcomes({
      {"", Fails(kMsgSyntaxTreeFault)},
      {"()", Fails(kMsgSyntaxTreeFault)},
      {"5 +", Fails(kMsgSyntaxTreeFault)},
      {"F(, 1)", Fails(kMsgSyntaxTreeFault)},
      // A built-in reads only what it needs: the empty second argument of
      // IIF is never evaluated.
      {"IIF(0 = 1, , 'b')", "string:b"},
  });
}

TEST_F(Evaluation, TextsAndUnresolvedNames)
{
  ExpectOutcomes({
      {"'abc' + 'def'", "string:abcdef"},
      {"'abc' + 1", Fails(kMsgInvalidVariantTypeConversion)},
      {"'2' + 1", "double:3"},
      {"'2' * '3'", "double:6"},
      {"Hello", "string:Hello"},
      {"'Hello world'", "string:Hello world"},
      {"'sum'", "integer:0"},
      {"(", "string:("},
      {"'b' > 'a'", "boolean:True"},
      {"'ab' < 'abc'", "boolean:True"},
      {"'B' < 'a'", "boolean:True"},
  });
}

TEST_F(Evaluation, OperatorsNeedTheirOperandCount)
{
  ExpectOutcomes({
      {"-5", Fails(kMsgSyntaxTreeFault)},
      {"5!", Fails(kMsgSyntaxTreeFault)},
      {"2^-1", Fails(kMsgSyntaxTreeFault)},
      {"a=-1", Fails(kMsgSyntaxTreeFault)},
      {"NOT", "string:NOT"},  // last token: a word
      {"1 NOT 2", Fails(kMsgSyntaxTreeFault)},
  });
}

TEST_F(Evaluation, PowerRule)
{
  ExpectOutcomes({
      {"2^3^2", "double:512"},
      {"2^(0-1)", "double:0.5"},
      {"0^0", "double:1"},
      {"0^5", "double:0"},
      {"(0-2)^3", "double:-8"},
      {"16^(1/2)", "double:4"},
      {"2^0.5", "double:1.41421356237309"},  // exp(0.5 * ln 2), not sqrt
      {"(0-8)^(1/3)", Fails(kMsgInvalidFloatOperation)},
      {"0^(0-1)", Fails(kMsgFloatDivisionByZero)},
      {"10^400", Fails(kMsgFloatOverflow)},
      {"POWER(2, 10)", "double:1024"},
  });
}

TEST_F(Evaluation, FactorialOfRoundedOperand)
{
  ExpectOutcomes({
      {"!5", "integer:120"},
      {"!0", "integer:1"},
      {"!1", "integer:1"},
      {"!2.5", "integer:2"},
      {"!3.5", "integer:24"},
      {"!13", "double:6227020800"},
      {"!(0-3)", Fails(kMsgNegativeFactorial)},
      {"!171", Fails(kMsgFloatOverflow)},
      {"!5 + 1", "double:121"},
  });
}

TEST_F(Evaluation, ComparisonsAndLogic)
{
  ExpectOutcomes({
      {"(1 = 1) AND (2 > 1)", "boolean:True"},
      {"1 = 1 AND 2 > 1", "boolean:True"},
      {"1 > 2 OR 2 > 1", "boolean:True"},
      {"NOT 1 > 2", "boolean:True"},
      {"1 <> 2", "boolean:True"},
      {"1 != 1", "boolean:False"},
      {"2 <= 2", "boolean:True"},
      {"3 >= 4", "boolean:False"},
      {"1 + 1 = 2", "boolean:True"},
      {"6 AND 3", "integer:2"},
      {"6 OR 3", "integer:7"},
      {"NOT 0", "integer:-1"},
      {"'True' AND (1 = 1)", "boolean:True"},
  });
}

TEST_F(Evaluation, FloatingPointFaultsAreErrors)
{
  ExpectOutcomes({
      {"1/0", Fails(kMsgFloatDivisionByZero)},
      {"0/0", Fails(kMsgInvalidFloatOperation)},
      {"DIV(1, 0)", Fails(kMsgDivisionByZero)},
      {"MOD(1, 0)", Fails(kMsgDivisionByZero)},
      {"EXP(1000)", Fails(kMsgFloatOverflow)},
      {"SQR(10^200)", Fails(kMsgFloatOverflow)},
      {"SQR(1E2)", Fails(kMsgSyntaxFault)},  // the number 1, then the word E2
  });
}

/// Values only a handler can supply: null, dates, currency, booleans.
class HandlerValues : public exprtest::TExprTest {
protected:
  std::string Outcome(const std::string& text)
  {
    TZymParser parser;
    parser.OnEvaluate = [](TEvaluateSender, const std::string& name, const TExpArgs&, int,
                           TVariant& value, bool& done) {
      done = true;
      if (name == "N")
        value = TVariant::Null();
      else if (name == "D")
        value = TVariant::Date(EncodeDate(2003, 12, 25));
      else if (name == "C")
        value = TVariant::Currency(TCurrencyValue{15000});  // 1.5
      else if (name == "T")
        value = TVariant(true);
      else if (name == "I")
        value = TVariant(std::int32_t{7});
      else
        done = false;
    };
    parser.SetText(text);
    try {
      return exprtest::Describe(parser.Calculate());
    } catch (const std::exception& error) {
      return std::string("!") + error.what();
    }
  }
};

TEST_F(HandlerValues, NullPropagatesAndComparesLowest)
{
  const std::pair<const char*, std::string> cases[] = {
      {"N + 1", "null:"},     {"N * 'x'", "null:"},        {"N < 0", "boolean:True"},
      {"N = N", "boolean:True"}, {"NOT N", "null:"},       {"ISNULL(N)", "boolean:True"},
      {"ISNULL(0)", "boolean:False"}, {"UPPER(N)", Fails(kMsgInvalidVariantTypeConversion)},
      {"POS(N, 'abc')", "integer:0"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Outcome(text), expected);
  }
}

TEST_F(HandlerValues, DatesCurrencyAndIntegersKeepTheirClass)
{
  const std::pair<const char*, std::string> cases[] = {
      {"D + 1", "date:12/26/2003"},
      {"D - 1", "date:12/24/2003"},
      {"D - D", "double:0"},
      {"D + 0.5", "date:12/25/2003 12:00:00 PM"},
      {"D * 1", "double:37980"},
      {"D > 37979", "boolean:True"},
      {"C + 1", "currency:2.5"},
      {"C * C", "currency:2.25"},
      {"C / 4", "currency:0.375"},
      {"C + 0.00004", "currency:1.5"},
      {"I + I", "integer:14"},
      {"I / I", "double:1"},
      {"DIV(I, 2)", "integer:3"},
      {"T + I", "integer:6"},
      {"T AND T", "boolean:True"},
      {"T AND 'False'", "boolean:False"},
      {"YEAR(D)", "integer:2003"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Outcome(text), expected);
  }
}

TEST_F(Evaluation, DecimalCommaLocaleChangesTextsNotLiterals)
{
  Environment.Settings.DecimalSeparator = ',';
  ExpectOutcomes({
      {"1.5 + 1", "double:2,5"},
      {"'1,5' + 1", "double:2,5"},
      {"'1.5' + 1", Fails(kMsgInvalidVariantTypeConversion)},
      {"STRTOFLOAT('2,25')", "double:2,25"},
      {"FLOATTOSTR(0.5)", "string:0,5"},
      {"1,5", Fails(kMsgSyntaxFault)},
  });
}

}  // namespace
