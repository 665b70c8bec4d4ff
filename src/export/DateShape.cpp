#include "export/DateShape.h"

#include "platform/text/AsciiText.h"

#include <cstddef>
#include <vector>

namespace {

enum class TPartKind : unsigned char { pkDate, pkHour, pkMinuteOrMonth, pkSecond, pkAmPm };

struct TPart {
  TPartKind Kind;
  int Count;  // letters in the run: "mmm" is 3
};

/// The letter of an elapsed-time bracket ("[h]", "[mm]", "[ss]"), or 0 for
/// any other bracket (a colour, a condition, a locale tag).
char ElapsedLetter(std::string_view inside)
{
  if (inside.empty())
    return 0;
  const char letter = AsciiLowerChar(inside[0]);
  if (letter != 'h' && letter != 'm' && letter != 's')
    return 0;
  for (const char c : inside)
    if (AsciiLowerChar(c) != letter)
      return 0;
  return letter;
}

}  // namespace

TDateShape DateShapeOf(std::string_view text)
{
  // The format's codes, read left to right as Excel reads them:
  //   section  := { literal | bracket | code | other } (";" ends the first section)
  //   literal  := '"' ... '"' | '\' char | '_' char | '*' char
  //   bracket  := '[' ... ']'   (elapsed "[h]" "[mm]" "[ss]", else skipped)
  //   code     := a run of one letter: y m d h s e g b a, "AM/PM", "A/P", "General"
  TDateShape shape;
  std::vector<TPart> parts;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ';')
      break;
    if (c == '"') {
      const std::size_t close = text.find('"', i + 1);
      i = close == std::string_view::npos ? text.size() : close + 1;
      continue;
    }
    if (c == '\\' || c == '_' || c == '*') {
      i += 2;
      continue;
    }
    if (c == '[') {
      const std::size_t close = text.find(']', i + 1);
      if (close == std::string_view::npos)
        break;
      const char letter = ElapsedLetter(text.substr(i + 1, close - i - 1));
      if (letter != 0) {
        shape.Elapsed = true;
        parts.push_back({letter == 'h' ? TPartKind::pkHour
                         : letter == 's' ? TPartKind::pkSecond
                                         : TPartKind::pkMinuteOrMonth,
                         0});  // count 0: an elapsed minute, never a month
      }
      i = close + 1;
      continue;
    }
    if (c == '.' && !parts.empty() && parts.back().Kind == TPartKind::pkSecond) {
      // "ss.000": fractions of a second, at most three digits shown.
      std::size_t zeros = 0;
      while (i + 1 + zeros < text.size() && text[i + 1 + zeros] == '0')
        ++zeros;
      if (zeros > 0 && shape.SecondDecimals == 0)
        shape.SecondDecimals = static_cast<int>(zeros < 3 ? zeros : 3);
      i += 1 + zeros;
      continue;
    }
    const std::string_view rest = text.substr(i);
    if (rest.size() >= 5 && EqualsIgnoringAsciiCase(rest.substr(0, 5), "am/pm")) {
      parts.push_back({TPartKind::pkAmPm, 1});
      i += 5;
      continue;
    }
    if (rest.size() >= 3 && EqualsIgnoringAsciiCase(rest.substr(0, 3), "a/p")) {
      parts.push_back({TPartKind::pkAmPm, 1});
      i += 3;
      continue;
    }
    if (rest.size() >= 7 && EqualsIgnoringAsciiCase(rest.substr(0, 7), "general")) {
      i += 7;
      continue;
    }
    const char letter = AsciiLowerChar(c);
    std::size_t run = 1;
    while (i + run < text.size() && AsciiLowerChar(text[i + run]) == letter)
      ++run;
    const int count = static_cast<int>(run);
    switch (letter) {
    case 'y':
    case 'd':
    case 'g':  // era name
    case 'a':  // "aaa": day name
      parts.push_back({TPartKind::pkDate, count});
      break;
    case 'e':
      // A year, unless it is the exponent of a number format ("0.0E+00").
      if (i + run < text.size() && (text[i + run] == '+' || text[i + run] == '-'))
        break;
      parts.push_back({TPartKind::pkDate, count});
      break;
    case 'b':
      // "bb", "bbbb": a Buddhist-era year; "B1", "B2" name a calendar.
      if (i + run < text.size() && text[i + run] >= '0' && text[i + run] <= '9')
        break;
      parts.push_back({TPartKind::pkDate, count});
      break;
    case 'h': parts.push_back({TPartKind::pkHour, count}); break;
    case 's': parts.push_back({TPartKind::pkSecond, count}); break;
    case 'm': parts.push_back({TPartKind::pkMinuteOrMonth, count}); break;
    default: break;
    }
    i += run;
  }
  for (std::size_t k = 0; k < parts.size(); ++k) {
    switch (parts[k].Kind) {
    case TPartKind::pkDate: shape.Date = true; break;
    case TPartKind::pkHour:
    case TPartKind::pkSecond:
    case TPartKind::pkAmPm: shape.Time = true; break;
    case TPartKind::pkMinuteOrMonth: {
      // "mmm" and longer name the month; "m" and "mm" are minutes after an
      // hour or before a second, and an elapsed "[m]" is always minutes.
      const int count = parts[k].Count;
      const bool afterHour = k > 0 && parts[k - 1].Kind == TPartKind::pkHour;
      const bool beforeSecond = k + 1 < parts.size() && parts[k + 1].Kind == TPartKind::pkSecond;
      if (count == 0 || (count <= 2 && (afterHour || beforeSecond)))
        shape.Time = true;
      else
        shape.Date = true;
      break;
    }
    }
  }
  if (shape.Elapsed) {
    shape.Date = false;
    shape.Time = false;
  }
  return shape;
}
