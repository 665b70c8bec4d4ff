// Fuzz target: date and time text. The input holds the two separator
// characters, then the value and the format split at the first newline.
#include "expr/DateTimeFromString.h"
#include "platform/Environment.h"
#include "platform/Errors.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 2)
    return 0;
  TFixedEnvironment environment(UsEnglishLocale(), 46000.5, 7);
  const TEnvironmentScope scope(environment);
  const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::size_t newline = text.find('\n');
  const std::string_view value = text.substr(0, newline);
  const std::string_view format =
      newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
  try {
    const double result = DateTimeFromString(value, format, static_cast<char>(data[0]),
                                             static_cast<char>(data[1]));
    if (!std::isfinite(result))
      __builtin_trap();
  } catch (const EBiffLensError&) {
  }
  return 0;
}
