#pragma once

#include <string>
#include <string_view>

// Letter case of the ASCII letters only: names, keywords and format codes
// compare this way whatever the text's other characters are.

constexpr char AsciiLowerChar(char c)
{
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiUpperChar(char c)
{
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiLower(std::string_view text)
{
  std::string result(text);
  for (char& c : result)
    c = AsciiLowerChar(c);
  return result;
}

inline std::string AsciiUpper(std::string_view text)
{
  std::string result(text);
  for (char& c : result)
    c = AsciiUpperChar(c);
  return result;
}

/// Equal when the texts differ at most in the case of letters a to z.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i]))
      return false;
  return true;
}
