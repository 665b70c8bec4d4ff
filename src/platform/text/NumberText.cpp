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

constexpr std::array<std::uint64_t, 20> kWholePowersOf10 = {
    1ull,          10ull,          100ull,          1000ull,          10000ull,
    100000ull,     1000000ull,     10000000ull,     100000000ull,     1000000000ull,
    10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull, 100000000000000ull,
    1000000000000000ull, 10000000000000000ull, 100000000000000000ull, 1000000000000000000ull,
    10000000000000000000ull};

int DecimalDigits(std::uint64_t value)
{
  int digits = 1;
  while (digits < 20 && value >= kWholePowersOf10[static_cast<std::size_t>(digits)])
    ++digits;
  return digits;
}

/// Drops up to `most` trailing zeros of `value`; returns how many it dropped.
int DropTrailingZeros(std::uint64_t& value, int most)
{
  int dropped = 0;
  for (const int chunk : {8, 4, 2, 1}) {
    const std::uint64_t power = kWholePowersOf10[static_cast<std::size_t>(chunk)];
    if (most - dropped >= chunk && value % power == 0) {
      value /= power;
      dropped += chunk;
    }
  }
  return dropped;
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
    std::uint64_t m = 0;
    int decimals = 0;
    if (magnitude == std::trunc(magnitude)) {
      m = static_cast<std::uint64_t>(magnitude);  // a whole number: exact
    } else {
      // The largest k: 15 less the digits before the point, one less where
      // the product rounds up to 10^15.
      const auto whole = static_cast<std::uint64_t>(magnitude);
      std::size_t k = whole == 0 ? kPowersOf10.size() - 1 : 15 - static_cast<std::size_t>(DecimalDigits(whole));
      if (k > 0 && magnitude * kPowersOf10[k] >= 1e15)
        --k;
      m = static_cast<std::uint64_t>(magnitude * kPowersOf10[k] + 0.5);
      if (static_cast<double>(m) / kPowersOf10[k] != magnitude)
        return std::to_chars(out, out + kShortestDoubleRoom, value).ptr;
      decimals = static_cast<int>(k) - DropTrailingZeros(m, static_cast<int>(k));
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
  return std::to_chars(out, out + kShortestDoubleRoom, value).ptr;
}
