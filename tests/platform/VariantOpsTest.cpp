#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/VariantMessages.h"
#include "platform/VariantOps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

using TBinary = TVariant (*)(const TVariant&, const TVariant&);

std::string Describe(const TVariant& value)
{
  return std::string(VarTypeName(value.Type())) + ":" + VarToStr(value);
}

std::string Outcome(const std::function<TVariant()>& operation)
{
  try {
    return Describe(operation());
  } catch (const std::exception& error) {
    return std::string("!") + error.what();
  }
}

std::string Fails(const std::string& message)
{
  return "!" + message;
}

TVariant I(std::int32_t v) { return TVariant(v); }
TVariant R(double v) { return TVariant(v); }
TVariant S(const char* v) { return TVariant(v); }
TVariant B(bool v) { return TVariant(v); }
TVariant D(double v) { return TVariant::Date(v); }
TVariant C(std::int64_t scaled) { return TVariant::Currency(TCurrencyValue{scaled}); }



struct TBinaryCase {
  const char* Label;
  TBinary Op;
  TVariant Left;
  TVariant Right;
  std::string Expected;
};

class ValueOperations : public ::testing::Test {
protected:
  TFixedEnvironment Environment;
  TEnvironmentScope Scope{Environment};

  void ExpectAll(std::initializer_list<TBinaryCase> cases)
  {
    for (const TBinaryCase& c : cases) {
      SCOPED_TRACE(c.Label);
      EXPECT_EQ(Outcome([&] { return c.Op(c.Left, c.Right); }), c.Expected);
    }
  }
};

TEST_F(ValueOperations, EmptyFailsAndNullPropagates)
{
  ExpectAll({
      {"empty + 1", VarAdd, TVariant(), I(1), Fails(kMsgInvalidVariantOperation)},
      {"1 * empty", VarMul, I(1), TVariant(), Fails(kMsgInvalidVariantOperation)},
      {"empty and null", VarAnd, TVariant(), TVariant::Null(), Fails(kMsgInvalidVariantOperation)},
      {"null + 1", VarAdd, TVariant::Null(), I(1), "null:"},
      {"'x' - null", VarSub, S("x"), TVariant::Null(), "null:"},
      {"null div 0", VarIntDiv, TVariant::Null(), I(0), "null:"},
  });
  EXPECT_EQ(Outcome([] { return VarNot(TVariant()); }), Fails(kMsgInvalidVariantOperation));
  EXPECT_EQ(Outcome([] { return VarNot(TVariant::Null()); }), "null:");
}

TEST_F(ValueOperations, IntegersOverflowIntoReals)
{
  const std::int32_t max = std::numeric_limits<std::int32_t>::max();
  const std::int32_t min = std::numeric_limits<std::int32_t>::min();
  ExpectAll({
      {"2 + 3", VarAdd, I(2), I(3), "integer:5"},
      {"max + 1", VarAdd, I(max), I(1), "double:2147483648"},
      {"min - 1", VarSub, I(min), I(1), "double:-2147483649"},
      {"65536 * 65536", VarMul, I(65536), I(65536), "double:4294967296"},
      {"7 / 2", VarDiv, I(7), I(2), "double:3.5"},
      {"7 div 2", VarIntDiv, I(7), I(2), "integer:3"},
      {"-7 div 2", VarIntDiv, I(-7), I(2), "integer:-3"},
      {"min div -1", VarIntDiv, I(min), I(-1), "double:2147483648"},
      {"-7 mod 2", VarMod, I(-7), I(2), "integer:-1"},
      {"min mod -1", VarMod, I(min), I(-1), "integer:0"},
      {"7 div 0", VarIntDiv, I(7), I(0), Fails(kMsgDivisionByZero)},
      {"7 mod 0", VarMod, I(7), I(0), Fails(kMsgDivisionByZero)},
      {"6 and 3", VarAnd, I(6), I(3), "integer:2"},
      {"6 or 3", VarOr, I(6), I(3), "integer:7"},
      {"true + 1", VarAdd, B(true), I(1), "integer:0"},
  });
}

TEST_F(ValueOperations, RealsRoundHalvesToEvenForIntegerOperations)
{
  ExpectAll({
      {"2.5 div 1", VarIntDiv, R(2.5), I(1), "integer:2"},
      {"3.5 div 1", VarIntDiv, R(3.5), I(1), "integer:4"},
      {"-2.5 div 1", VarIntDiv, R(-2.5), I(1), "integer:-2"},
      {"7.4 mod 2", VarMod, R(7.4), I(2), "integer:1"},
      {"6.5 and 3", VarAnd, R(6.5), I(3), "integer:2"},
      {"1e10 div 1", VarIntDiv, R(1e10), I(1), "double:10000000000"},
      {"1e300 div 1", VarIntDiv, R(1e300), I(1), Fails(kMsgVariantOverflow)},
      {"0.4 div 0.4", VarIntDiv, R(0.4), R(0.4), Fails(kMsgDivisionByZero)},
  });
}

TEST_F(ValueOperations, FloatingPointFaultsNeverYieldInfinities)
{
  ExpectAll({
      {"1 / 0", VarDiv, R(1), R(0), Fails(kMsgFloatDivisionByZero)},
      {"-1 / 0", VarDiv, I(-1), I(0), Fails(kMsgFloatDivisionByZero)},
      {"0 / 0", VarDiv, R(0), I(0), Fails(kMsgInvalidFloatOperation)},
      {"1e308 * 10", VarMul, R(1e308), R(10), Fails(kMsgFloatOverflow)},
      {"max + max", VarAdd, R(1.7e308), R(1.7e308), Fails(kMsgFloatOverflow)},
      {"-max - max", VarSub, R(-1.7e308), R(1.7e308), Fails(kMsgFloatOverflow)},
      {"inf + 0", VarAdd, R(std::numeric_limits<double>::infinity()), R(0), Fails(kMsgFloatOverflow)},
  });
}

TEST_F(ValueOperations, TextsConcatenateOrReadAsNumbers)
{
  ExpectAll({
      {"'ab' + 'cd'", VarAdd, S("ab"), S("cd"), "string:abcd"},
      {"'6' - '2'", VarSub, S("6"), S("2"), "double:4"},
      {"'2' + 1", VarAdd, S("2"), I(1), "double:3"},
      {"' 2.5 ' * 2", VarMul, S(" 2.5 "), I(2), "double:5"},
      {"'abc' + 1", VarAdd, S("abc"), I(1), Fails(kMsgInvalidVariantTypeConversion)},
      {"'1e3' + 0", VarAdd, S("1e3"), I(0), "double:1000"},
      {"'7' div '2'", VarIntDiv, S("7"), S("2"), "integer:3"},
      {"'True' and true", VarAnd, S("True"), B(true), "boolean:True"},
      {"'no' or false", VarOr, S("no"), B(false), Fails(kMsgInvalidVariantTypeConversion)},
      {"true or false", VarOr, B(true), B(false), "boolean:True"},
      {"true + true", VarAdd, B(true), B(true), "double:-2"},
  });
}

TEST_F(ValueOperations, DatesStayDatesUnderAdditionAndSubtraction)
{
  ExpectAll({
      {"date + 1", VarAdd, D(37980), I(1), "date:12/26/2003"},
      {"1 + date", VarAdd, I(1), D(37980), "date:12/26/2003"},
      {"date - 1.5", VarSub, D(37980), R(1.5), "date:12/23/2003 12:00:00 PM"},
      {"date - date", VarSub, D(37980), D(37970), "double:10"},
      {"date * 2", VarMul, D(1), I(2), "double:2"},
      {"date + '2'", VarAdd, D(37980), S("2"), "date:12/27/2003"},
      {"date div 2", VarIntDiv, D(5), I(2), "integer:2"},
  });
}

TEST_F(ValueOperations, CurrencyKeepsFourDecimals)
{
  ExpectAll({
      {"1.5 + 1", VarAdd, C(15000), I(1), "currency:2.5"},
      {"1.5 + 0.25", VarAdd, C(15000), R(0.25), "currency:1.75"},
      {"1.5 * 1.5", VarMul, C(15000), C(15000), "currency:2.25"},
      {"0.0001 * 0.5", VarMul, C(1), R(0.5), "currency:0"},
      {"0.0003 * 0.5", VarMul, C(3), R(0.5), "currency:0.0002"},
      {"1 / 3", VarDiv, C(10000), I(3), "currency:0.3333"},
      {"1 / 0", VarDiv, C(10000), I(0), Fails(kMsgFloatDivisionByZero)},
      {"2.5 div 1", VarIntDiv, C(25000), I(1), "integer:2"},
      {"max + max", VarAdd, C(std::numeric_limits<std::int64_t>::max()), C(1), Fails(kMsgVariantOverflow)},
      {"-12.3456 + 0", VarAdd, C(-123456), I(0), "currency:-12.3456"},
  });
}

TEST_F(ValueOperations, NotComplementsIntegersAndNegatesBooleans)
{
  EXPECT_EQ(Outcome([] { return VarNot(B(true)); }), "boolean:False");
  EXPECT_EQ(Outcome([] { return VarNot(I(0)); }), "integer:-1");
  EXPECT_EQ(Outcome([] { return VarNot(R(5.5)); }), "integer:-7");
  EXPECT_EQ(Outcome([] { return VarNot(S("1")); }), "integer:-2");
  EXPECT_EQ(Outcome([] { return VarNot(S("x")); }), Fails(kMsgInvalidVariantTypeConversion));
}

TEST_F(ValueOperations, ComparisonOrdersByClass)
{
  using enum TVarRelationship;
  const struct {
    const char* Label;
    TVariant Left;
    TVariant Right;
    TVarRelationship Expected;
  } cases[] = {
      {"null = null", TVariant::Null(), TVariant::Null(), vrEqual},
      {"null < -1e300", TVariant::Null(), R(-1e300), vrLessThan},
      {"'' > null", S(""), TVariant::Null(), vrGreaterThan},
      {"'abc' < 'abd'", S("abc"), S("abd"), vrLessThan},
      {"'ab' < 'abc'", S("ab"), S("abc"), vrLessThan},
      {"'a' > 'B'", S("a"), S("B"), vrGreaterThan},
      {"'\\xC3' > 'z'", S("\xC3"), S("z"), vrGreaterThan},
      {"false < true", B(false), B(true), vrLessThan},
      {"true < 0", B(true), I(0), vrLessThan},
      {"'10' > 9", S("10"), I(9), vrGreaterThan},
      {"2 = 2.0", I(2), R(2), vrEqual},
      {"date > 1", D(2), I(1), vrGreaterThan},
      {"currency = 1.5", C(15000), R(1.5), vrEqual},
      {"'true' = true", S("true"), B(true), vrEqual},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    EXPECT_EQ(VarCompare(c.Left, c.Right), c.Expected);
  }
  EXPECT_EQ(Outcome([] { return TVariant(VarCompare(TVariant(), I(1)) == TVarRelationship::vrEqual); }),
            Fails(kMsgInvalidVariantOperation));
  EXPECT_EQ(Outcome([] { return TVariant(VarCompare(S("x"), I(1)) == TVarRelationship::vrEqual); }),
            Fails(kMsgInvalidVariantTypeConversion));
}

TEST_F(ValueOperations, ConversionsToNumbersAndBooleans)
{
  EXPECT_EQ(VarToInteger(TVariant()), 0);
  EXPECT_EQ(VarToInteger(R(2.5)), 2);
  EXPECT_EQ(VarToInteger(R(-3.5)), -4);
  EXPECT_EQ(VarToInteger(S(" 41.6 ")), 42);
  EXPECT_EQ(VarToInteger(B(true)), -1);
  EXPECT_EQ(VarToInteger(C(25000)), 2);
  EXPECT_EQ(VarToInteger(C(35000)), 4);
  EXPECT_EQ(Outcome([] { return TVariant(VarToInteger(R(3e9))); }), Fails(kMsgVariantOverflow));
  EXPECT_EQ(Outcome([] { return TVariant(VarToInteger(TVariant::Null())); }), Fails(kMsgInvalidVariantTypeConversion));
  EXPECT_EQ(Outcome([] { return TVariant(VarToInteger(S("12x"))); }), Fails(kMsgInvalidVariantTypeConversion));
  EXPECT_DOUBLE_EQ(VarToReal(C(12345)), 1.2345);
  EXPECT_DOUBLE_EQ(VarToReal(D(1.5)), 1.5);
  EXPECT_DOUBLE_EQ(VarToReal(S("-2.5e-1")), -0.25);
  EXPECT_TRUE(VarToBoolean(S("TRUE")));
  EXPECT_FALSE(VarToBoolean(S("false")));
  EXPECT_TRUE(VarToBoolean(S("2")));
  EXPECT_FALSE(VarToBoolean(R(0)));
  EXPECT_FALSE(VarToBoolean(TVariant()));
  EXPECT_EQ(Outcome([] { return TVariant(VarToBoolean(S("maybe"))); }),
            Fails(kMsgInvalidVariantTypeConversion));
  EXPECT_EQ(Outcome([] { return TVariant(VarToText(TVariant::Null())); }), Fails(kMsgInvalidVariantTypeConversion));
  EXPECT_EQ(VarToStr(TVariant::Null()), "");
  EXPECT_EQ(VarToStr(TVariant()), "");
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbour)
{
  const std::pair<double, double> cases[] = {
      {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3},
  };
  for (const auto& [value, rounded] : cases) {
    SCOPED_TRACE(value);
    EXPECT_EQ(RoundHalfEven(value), rounded);
  }
}

TEST(NumberText, GeneralFormatUsesFifteenDigits)
{
  const TLocaleSettings us = UsEnglishLocale();
  const std::pair<double, const char*> cases[] = {
      {0, "0"},
      {3, "3"},
      {-2.5, "-2.5"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},
      {1.5e20, "1.5E20"},
      {0.0001, "0.0001"},
      {0.00001, "1E-5"},
      {-1.25e-7, "-1.25E-7"},
      {100, "100"},
      {1e14, "100000000000000"},
      {0.000123, "0.000123"},
  };
  for (const auto& [value, text] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(FloatToStr(value, us), text);
  }
  TLocaleSettings comma = us;
  comma.DecimalSeparator = ',';
  EXPECT_EQ(FloatToStr(-2.5, comma), "-2,5");
  EXPECT_EQ(FloatToStr(1.5e20, comma), "1,5E20");
  EXPECT_EQ(CurrToStr(TCurrencyValue{-15000}, comma), "-1,5");
  EXPECT_EQ(CurrToStr(TCurrencyValue{std::numeric_limits<std::int64_t>::min()}, us),
            "-922337203685477.5808");
  EXPECT_EQ(CurrToStr(TCurrencyValue{30000}, us), "3");
}

TEST(NumberText, ReadsTheLocalesWayOfWritingNumbers)
{
  const TLocaleSettings us = UsEnglishLocale();
  TLocaleSettings comma = us;
  comma.DecimalSeparator = ',';
  EXPECT_EQ(TextToFloat(" 1.5 ", us), 1.5);
  EXPECT_EQ(TextToFloat("+.5", us), 0.5);
  EXPECT_EQ(TextToFloat("5.", us), 5.0);
  EXPECT_EQ(TextToFloat("1,5", comma), 1.5);
  EXPECT_FALSE(TextToFloat("1.5", comma));
  EXPECT_FALSE(TextToFloat("1,5", us));
  EXPECT_FALSE(TextToFloat("", us));
  EXPECT_FALSE(TextToFloat(".", us));
  EXPECT_FALSE(TextToFloat("1e", us));
  EXPECT_FALSE(TextToFloat("1e999", us));
  EXPECT_FALSE(TextToFloat("inf", us));
  EXPECT_FALSE(TextToFloat("nan", us));
  EXPECT_FALSE(TextToFloat("0x10", us));
  EXPECT_EQ(Outcome([&] { return TVariant(StrToFloat("1,5", us)); }),
            Fails("'1,5' is not a valid floating point value"));
  EXPECT_EQ(StrToInt(" -12"), -12);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  for (const char* bad : {"", "-", "12 ", "1.0", "2147483648", "99999999999999999999"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Outcome([&] { return TVariant(StrToInt(bad)); }),
              Fails(std::string("'") + bad + "' is not a valid integer value"));
  }
}

TEST(NumberText, VarToStrFollowsTheCurrentLocale)
{
  TLocaleSettings comma = UsEnglishLocale();
  comma.DecimalSeparator = ',';
  comma.ShortDateFormat = "dd.mm.yyyy";
  comma.LongTimeFormat = "hh:nn:ss";
  TFixedEnvironment environment(comma);
  TEnvironmentScope scope(environment);
  EXPECT_EQ(VarToStr(R(2.5)), "2,5");
  EXPECT_EQ(VarToStr(I(-7)), "-7");
  EXPECT_EQ(VarToStr(B(false)), "False");
  EXPECT_EQ(VarToStr(D(37980.75)), "25.12.2003 18:00:00");
  EXPECT_EQ(VarToStr(D(1e12)), "1000000000000");  // no calendar day: the number
  EXPECT_DOUBLE_EQ(VarToReal(S("2,5")), 2.5);
}

}  // namespace
