#include "JsonWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

namespace {

std::string Line(const std::function<void(TJsonLineWriter&)>& write)
{
  std::ostringstream out;
  {
    TJsonLineWriter json(out);
    json.BeginObject();
    write(json);
    json.EndObject();
  }
  return out.str();
}

}  // namespace

TEST(JsonLineWriter, WritesOneObjectPerLineWithFieldsInOrder)
{
  EXPECT_EQ(Line([](TJsonLineWriter& j) {
              j.Field("n", 1);
              j.Field("name", "BOF");
              j.Field("ok", true);
            }),
            "{\"n\":1,\"name\":\"BOF\",\"ok\":true}\n");
}

TEST(JsonLineWriter, EscapesQuotesBackslashesAndControlCharacters)
{
  const std::string line = Line([](TJsonLineWriter& j) { j.Field("v", "a\"b\\c\n\t\x01"); });
  EXPECT_EQ(line, "{\"v\":\"a\\\"b\\\\c\\n\\t\\u0001\"}\n");
  EXPECT_EQ(nlohmann::json::parse(line)["v"], "a\"b\\c\n\t\x01");
}

TEST(JsonLineWriter, KeepsValidUtf8AndReplacesInvalidBytes)
{
  const std::string line = Line([](TJsonLineWriter& j) {
    j.Field("ok", "\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82 \xF0\x9F\x98\x80");  // Лист 😀
    j.Field("bad", "a\xFF" "b\xC3");                                   // stray and cut-off bytes
  });
  const auto parsed = nlohmann::json::parse(line);
  EXPECT_EQ(parsed["ok"], "\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82 \xF0\x9F\x98\x80");
  EXPECT_EQ(parsed["bad"], "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(JsonLineWriter, DoublesReadBackToTheSameValue)
{
  const double values[] = {0.1, 1.0 / 3.0, 19607.182999999997, 5e-324, 1.7976931348623157e308,
                           -2.5e-7, 44197.5, 123456789012345680.0};
  for (const double v : values) {
    const std::string line = Line([&](TJsonLineWriter& j) { j.Field("v", v); });
    SCOPED_TRACE(line);
    const double back = nlohmann::json::parse(line)["v"];
    EXPECT_EQ(std::signbit(back), std::signbit(v));
    EXPECT_EQ(back, v);
  }
}

TEST(JsonLineWriter, NonFiniteNumbersBecomeNullSoTheLineStaysJson)
{
  const std::string line = Line([](TJsonLineWriter& j) {
    j.Field("inf", std::numeric_limits<double>::infinity());
    j.Field("nan", std::numeric_limits<double>::quiet_NaN());
  });
  EXPECT_EQ(line, "{\"inf\":null,\"nan\":null}\n");
}
