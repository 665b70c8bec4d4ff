#include "expr/DateTimeFromString.h"

#include "platform/text/AsciiText.h"
#include "platform/DateTime.h"
#include "platform/Environment.h"
#include "platform/VariantOps.h"

#include <array>
#include <string>

namespace {

struct TMonthNames {
  std::string_view Short;
  std::string_view Full;
};

constexpr std::array<TMonthNames, 12> kEnglishMonths{{
    {"JAN", "JANUARY"},
    {"FEB", "FEBRUARY"},
    {"MAR", "MARCH"},
    {"APR", "APRIL"},
    {"MAY", "MAY"},
    {"JUN", "JUNE"},
    {"JUL", "JULY"},
    {"AUG", "AUGUST"},
    {"SEP", "SEPTEMBER"},
    {"OCT", "OCTOBER"},
    {"NOV", "NOVEMBER"},
    {"DEC", "DECEMBER"},
}};

int MonthFromText(const std::string& text)
{
  if (text.size() <= 2)
    return StrToInt(text);
  const std::string upper = AsciiUpper(text);
  const TLocaleSettings& locale = CurrentLocale();
  for (std::size_t m = 0; m < 12; ++m) {
    if (upper == kEnglishMonths[m].Short || upper == kEnglishMonths[m].Full ||
        upper == AsciiUpper(locale.ShortMonthNames[m]) || upper == AsciiUpper(locale.LongMonthNames[m]))
      return static_cast<int>(m) + 1;
  }
  return 0;
}

bool Contains(std::string_view text, std::string_view part)
{
  return text.find(part) != std::string_view::npos;
}

}  // namespace

int CurrentYear()
{
  return DecodeDate(CurrentEnvironment().Now()).Year;
}

double DateTimeFromString(std::string_view valueText, std::string_view formatText, char dateSeparator,
                          char timeSeparator)
{
  const auto isSeparator = [&](char c) {
    return c == ' ' || c == '/' || c == ':' || c == dateSeparator || c == timeSeparator;
  };
  std::string value(valueText);
  std::string format(formatText);

  // Align the format to the value: where the value has a separator and the
  // format a field letter, the letter goes (DD/MM/YY against 1/2/03).
  for (std::size_t i = value.size(); i >= 1; --i)
    if (isSeparator(value[i - 1]) && i <= format.size() && !isSeparator(format[i - 1]))
      format.erase(i - 1, 1);
  // Align the value to the format the same way, from the end.
  for (std::size_t i = format.size(); i >= 1; --i)
    if (isSeparator(format[i - 1]) && i <= value.size() && !isSeparator(value[i - 1]))
      value.erase(i - 1, 1);

  std::string day, month, year, hour, minute, second;
  const std::size_t common = std::min(value.size(), format.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (isSeparator(value[i]))
      continue;
    switch (format[i]) {
    case 'D': day += value[i]; break;
    case 'M': month += value[i]; break;
    case 'Y': year += value[i]; break;
    case 'H': hour += value[i]; break;
    case 'N': minute += value[i]; break;
    case 'S': second += value[i]; break;
    default: break;
    }
  }

  double result = 0;
  if (!day.empty() && !month.empty() && !year.empty()) {
    const int d = StrToInt(day);
    const int m = MonthFromText(month);
    int y = StrToInt(year);
    if (d >= 1 && d <= 31 && m >= 1 && m <= 12 && y >= 1) {
      y = ExpandTwoDigitYear(y, CurrentYear());
      result = EncodeDate(y, m, d);
    }
  }

  if (!hour.empty() && !minute.empty()) {
    int h = StrToInt(hour);
    const int n = StrToInt(minute);
    const int s = second.empty() ? 0 : StrToInt(second);
    const TLocaleSettings& locale = CurrentLocale();
    // Views of the settings themselves: a mixed "text" : string conditional
    // would make a temporary copy and leave the view dangling.
    const std::string_view pm =
        locale.TimePMString.empty() ? std::string_view("PM") : std::string_view(locale.TimePMString);
    const std::string_view am =
        locale.TimeAMString.empty() ? std::string_view("AM") : std::string_view(locale.TimeAMString);
    // 12 PM is noon and 12 AM midnight; 1 to 11 PM are 13 to 23.
    if (Contains(value, pm)) {
      if (h >= 1 && h <= 11)
        h += 12;
    } else if (Contains(value, am)) {
      if (h == 12)
        h = 0;
    }
    if (h >= 0 && h <= 24 && n >= 0 && n <= 59 && s >= 0 && s <= 59) {
      const double time = EncodeTime(h, n, s, 0);
      // Before 30 Dec 1899 the fraction counts forward from the day's midnight
      // while the day number is negative, so the time is subtracted.
      result = result < 0 ? result - time : result + time;
    }
  }
  return result;
}
