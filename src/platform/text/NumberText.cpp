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
  // has at most 15 significant digits. Below 10^15 the decimal grid is
  // coarser than the doubles, so an m / 10^k that divides back to exactly
  // `value` (IEEE division is correctly rounded) is the value's one
  // shortest text once m's trailing zeros go, the same one to_chars picks;
  // m is the rounded product, as the product's error stays far below 1/2.
  // Whether some m / 10^k fits is decided at the largest k that keeps the
  // product below 10^15: a fit at a smaller k fits there too, with zeros.
  const double magnitude = std::fabs(value);
  if (magnitude > 0 && magnitude < 1e15) {
    std::size_t k = 0;
    while (k + 1 < kPowersOf10.size() && magnitude * kPowersOf10[k + 1] < 1e15)
      ++k;
    std::uint64_t m = static_cast<std::uint64_t>(magnitude * kPowersOf10[k] + 0.5);
    if (static_cast<double>(m) / kPowersOf10[k] == magnitude) {
      int decimals = static_cast<int>(k);
      while (decimals > 0 && m % 10 == 0) {
        m /= 10;
        --decimals;
      }
      // to_chars prints the shorter of the fixed and the exponent form,
      // fixed on a tie; the exponent form is left to it.
      const int digits = DecimalDigits(m);
      const int fixedLength = digits > decimals ? digits + (decimals > 0 ? 1 : 0) : 2 + decimals;
      std::uint64_t significand = m;
      int significant = digits;
      while (significand % 10 == 0) {
        significand /= 10;
        --significant;
      }
      const int exponent = std::abs(digits - 1 - decimals);
      const int exponentLength = significant + (significant > 1 ? 1 : 0) + 2 + (exponent >= 100 ? 3 : 2);
      if (fixedLength <= exponentLength) {
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
  }
  return std::to_chars(out, out + kShortestDoubleRoom, value).ptr;
}
