#include "platform/FloatText.h"

#include <charconv>
#include <cmath>
#include <string_view>

std::string FloatToStr(double value, const TLocaleSettings& locale)
{
  if (std::isnan(value))
    return "NAN";
  if (std::isinf(value))
    return value < 0 ? "-INF" : "INF";
  if (value == 0)
    return "0";
  // 15 significant digits: one before the point, 14 after, in scientific form.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  const std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const bool negative = sci.front() == '-';
  const std::size_t ePos = sci.find('e');
  std::string digits;
  for (const char c : sci.substr(negative ? 1 : 0, ePos - (negative ? 1 : 0)))
    if (c != '.')
      digits += c;
  int exponent = 0;
  std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();

  std::string text = negative ? "-" : "";
  // The position of the decimal point counted from the first digit.
  const int pointAt = exponent + 1;
  if (pointAt > 15 || pointAt < -3) {
    text += digits[0];
    if (digits.size() > 1) {
      text += locale.DecimalSeparator;
      text.append(digits, 1);
    }
    text += 'E';
    text += std::to_string(exponent);
    return text;
  }
  if (pointAt <= 0) {
    text += '0';
    text += locale.DecimalSeparator;
    text.append(static_cast<std::size_t>(-pointAt), '0');
    text += digits;
    return text;
  }
  const auto whole = static_cast<std::size_t>(pointAt);
  if (digits.size() <= whole) {
    text += digits;
    text.append(whole - digits.size(), '0');
    return text;
  }
  text.append(digits, 0, whole);
  text += locale.DecimalSeparator;
  text.append(digits, whole);
  return text;
}
