// The shortest round-trip text of doubles, which the JSON output and the
// exports share: it must be to_chars' text whichever path it takes.
#include "platform/text/NumberText.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::string Shortest(double value)
{
  char text[kShortestDoubleRoom];
  return std::string(text, WriteShortestDouble(text, value));
}

std::string Reference(double value)
{
  char text[kShortestDoubleRoom];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace

TEST(ShortestDouble, MatchesToCharsOnWholeNumbersDecimalsAndTheFormBoundaries)
{
  // Every place where the quick path could part from to_chars: the switch
  // to the exponent form (100000 prints as 1e+05), ties that keep the fixed
  // form (0.001), the 15-digit limit, tiny and huge values, signs, zeros.
  const double cases[] = {0.0,  -0.0,  1,     -1,      10,    100000, 123456, 1200000, 0.001,
                          1e-4, 0.5,   0.25,  111.72,  -3734.25, 7890.76437128, 0.1, 0.2, 0.3,
                          1e14, 1e15,  999999999999999, 999999999999999.9, 123456789012345.6,
                          1e16, 1e21,  1e-7,  5e-324,  1.7976931348623157e308,
                          36015, 2.5e-5, 0.000123, 4503599627370496.5, 9007199254740993.0};
  for (const double value : cases) {
    EXPECT_EQ(Shortest(value), Reference(value)) << Reference(value);
    EXPECT_EQ(Shortest(-value), Reference(-value)) << Reference(-value);
  }
}

TEST(ShortestDouble, MatchesToCharsOnManyGeneratedValues)
{
  // Decimals of every length up to 17 significant digits at every scale,
  // and random bit patterns: the quick path must give to_chars' text or
  // step aside.
  std::uint64_t state = 88172645463325252ull;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  int checked = 0;
  for (int i = 0; i < 200000; ++i) {
    const std::uint64_t bits = next();
    const int digits = 1 + static_cast<int>(bits % 17);
    const int scale = static_cast<int>((bits >> 8) % 40) - 20;
    const double mantissa = static_cast<double>(next() % static_cast<std::uint64_t>(std::pow(10.0, digits)));
    const double decimal = mantissa * std::pow(10.0, scale);
    double random = 0;
    const std::uint64_t pattern = next();
    std::memcpy(&random, &pattern, sizeof random);
    for (const double value : {decimal, random, std::nextafter(decimal, 0.0), std::nextafter(decimal, 1e300)}) {
      if (!std::isfinite(value))
        continue;
      ASSERT_EQ(Shortest(value), Reference(value)) << "bits " << std::hex << pattern;
      ++checked;
    }
  }
  EXPECT_GT(checked, 700000);
}
