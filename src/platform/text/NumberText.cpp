#include "platform/text/NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::array<double, 16> kPowersOf10 = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

int DecimalDigits(std::uint64_t value)
{
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

}  // namespace

char* WriteShortestDouble(char* out, double value)
{
  // The shortest decimal that reads back as `value`, found directly when it
  // has at most 15 significant digits: m / 10^k is tried for k = 0, 1, ...
  // Below 10^15 the decimal grid is coarser than the doubles, so the first
  // m that divides back to exactly `value` (IEEE division is correctly
  // rounded) is the one shortest text, the same one to_chars picks; and m
  // is the rounded product, as the product's error stays far below 1/2.
  const double magnitude = std::fabs(value);
  if (magnitude > 0 && magnitude < 1e15) {
    for (std::size_t k = 0; k < kPowersOf10.size(); ++k) {
      const double scaled = magnitude * kPowersOf10[k];
      if (scaled >= 1e15)
        break;
      const auto m = static_cast<std::uint64_t>(scaled + 0.5);
      if (static_cast<double>(m) / kPowersOf10[k] != magnitude)
        continue;
      // to_chars prints the shorter of the fixed and the exponent form,
      // fixed on a tie; the exponent form is left to it.
      const int digits = DecimalDigits(m);
      const int decimals = static_cast<int>(k);
      const int fixedLength = digits > decimals ? digits + (decimals > 0 ? 1 : 0) : 2 + decimals;
      std::uint64_t significand = m;
      int significant = digits;
      while (significand % 10 == 0) {
        significand /= 10;
        --significant;
      }
      const int exponent = std::abs(digits - 1 - decimals);
      const int exponentLength = significant + (significant > 1 ? 1 : 0) + 2 + (exponent >= 100 ? 3 : 2);
      if (fixedLength > exponentLength)
        break;
      if (value < 0)
        *out++ = '-';
      char text[24];
      char* const end = std::to_chars(text, text + sizeof text, m).ptr;
      if (decimals == 0)
        return std::copy(text, end, out);
      if (digits > decimals) {
        out = std::copy(text, end - decimals, out);
        *out++ = '.';
        return std::copy(end - decimals, end, out);
      }
      *out++ = '0';
      *out++ = '.';
      out = std::fill_n(out, decimals - digits, '0');
      return std::copy(text, end, out);
    }
  }
  return std::to_chars(out, out + kShortestDoubleRoom, value).ptr;
}
