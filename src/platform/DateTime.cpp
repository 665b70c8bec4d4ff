#include "platform/DateTime.h"

#include "platform/text/AsciiText.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/FloatText.h"
#include "platform/text/TextFormat.h"
#include "platform/VariantMessages.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <optional>
#include <vector>

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
/// days_from_civil(1899, 12, 30): day 0 of the date values.
constexpr std::int64_t kEpochOffset = -25569;

bool IsLeapYear(int year)
{
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month)
{
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back
// (H. Hinnant's "chrono-compatible low-level date algorithms").
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

TDateParts CivilFromDays(std::int64_t z)
{
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return TDateParts{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

std::string TwoDigits(int value)
{
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

std::string Digits(int value, std::size_t width)
{
  std::string text = std::to_string(value);
  while (text.size() < width)
    text.insert(text.begin(), '0');
  return text;
}

bool ContainsAmPm(std::string_view format)
{
  for (std::size_t i = 0; i + 4 <= format.size(); ++i)
    if (EqualsIgnoringAsciiCase(format.substr(i, 4), "ampm"))
      return true;
  return false;
}

}  // namespace

bool IsValidDate(int year, int month, int day)
{
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

double EncodeDate(int year, int month, int day)
{
  if (!IsValidDate(year, month, day))
    throw EBiffLensError(kMsgDateEncode);
  return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                           static_cast<unsigned>(day)) -
                             kEpochOffset);
}

double EncodeTime(int hour, int minute, int second, int milliSecond)
{
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
      milliSecond < 0 || milliSecond >= 1000)
    throw EBiffLensError(kMsgTimeEncode);
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + milliSecond;
  return static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

bool IsDecodableDate(double value)
{
  // Up to the last millisecond of 31 December 9999.
  return std::isfinite(value) && value > kMinDateValue - 1 && value < kMaxDateValue + 1;
}

TDateParts DecodeDate(double value)
{
  if (!IsDecodableDate(value)) {
    throw EBiffLensError(FormatMessage(kMsgNotValidDate, FloatToStr(value, CurrentLocale())));
  }
  return CivilFromDays(static_cast<std::int64_t>(std::trunc(value)) + kEpochOffset);
}

TTimeParts DecodeTime(double value)
{
  if (!std::isfinite(value))
    return TTimeParts{};
  const double fraction = std::fabs(value - std::trunc(value));
  std::int64_t ms = std::llround(fraction * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay)  // a hair below midnight stays on its own day
    ms = kMsPerDay - 1;
  return TTimeParts{static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                    static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)};
}

double SystemNow()
{
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) %
                  std::chrono::seconds(1);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                    static_cast<int>(ms.count()));
}

namespace {

// Text of a day and a time of day by `format`; the day need not exist in
// the calendar (Excel's 29 February 1900).
std::string FormatParts(std::string_view format, const TDateParts& date, const TTimeParts& time,
                        const TLocaleSettings& locale)
{
  const bool twelveHour = ContainsAmPm(format);
  std::string out;
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    const char lower = AsciiLowerChar(c);
    if (c == '"' || c == '\'') {  // quoted literal text
      const std::size_t end = format.find(c, i + 1);
      const std::size_t stop = end == std::string_view::npos ? format.size() : end;
      out.append(format.substr(i + 1, stop - i - 1));
      i = stop == format.size() ? stop : stop + 1;
      continue;
    }
    if (format.size() - i >= 4 && EqualsIgnoringAsciiCase(format.substr(i, 4), "ampm")) {
      out += time.Hour < 12 ? locale.TimeAMString : locale.TimePMString;
      i += 4;
      continue;
    }
    std::size_t run = 1;
    while (i + run < format.size() && AsciiLowerChar(format[i + run]) == lower)
      ++run;
    switch (lower) {
    case 'd':  // no weekday names: a longer run is the two-digit day
      out += run == 1 ? std::to_string(date.Day) : TwoDigits(date.Day);
      break;
    case 'm':
      run = std::min<std::size_t>(run, 4);
      if (run == 1)
        out += std::to_string(date.Month);
      else if (run == 2)
        out += TwoDigits(date.Month);
      else if (run == 3)
        out += locale.ShortMonthNames[static_cast<std::size_t>(date.Month - 1)];
      else
        out += locale.LongMonthNames[static_cast<std::size_t>(date.Month - 1)];
      break;
    case 'y':
      out += run <= 2 ? TwoDigits(date.Year % 100) : Digits(date.Year, 4);
      break;
    case 'h': {
      int hour = time.Hour;
      if (twelveHour) {
        hour %= 12;
        if (hour == 0)
          hour = 12;
      }
      out += run == 1 ? std::to_string(hour) : TwoDigits(hour);
      break;
    }
    case 'n':
      out += run == 1 ? std::to_string(time.Minute) : TwoDigits(time.Minute);
      break;
    case 's':
      out += run == 1 ? std::to_string(time.Second) : TwoDigits(time.Second);
      break;
    case '/':
      run = 1;
      out += locale.DateSeparator;
      break;
    case ':':
      run = 1;
      out += locale.TimeSeparator;
      break;
    default:
      run = 1;
      out += c;
      break;
    }
    i += run;
  }
  return out;
}

}  // namespace

std::string FormatDateTime(std::string_view format, double value, const TLocaleSettings& locale)
{
  return FormatParts(format, DecodeDate(value), DecodeTime(value), locale);
}

TDateParts Excel1900Date(std::int64_t day)
{
  if (day == kExcelMissingLeapDay)
    return TDateParts{1900, 2, 29};
  // Before its missing leap day Excel's count runs one day ahead of the
  // calendar's from 1899-12-30.
  const std::int64_t calendarDay = day >= 0 && day < kExcelMissingLeapDay ? day + 1 : day;
  return DecodeDate(static_cast<double>(calendarDay));
}

std::string ExcelDateTimeToStr(double value, const TLocaleSettings& locale)
{
  if (!(value >= 0 && value < static_cast<double>(kExcelMissingLeapDay + 1)))
    return DateTimeToStr(value, locale);
  const TTimeParts time = DecodeTime(value);
  std::string text =
      FormatParts(locale.ShortDateFormat, Excel1900Date(static_cast<std::int64_t>(value)), time, locale);
  if (time.Hour != 0 || time.Minute != 0 || time.Second != 0 || time.MilliSecond != 0) {
    text += ' ';
    text += FormatParts(locale.LongTimeFormat, TDateParts{}, time, locale);
  }
  return text;
}

std::string DateToStr(double value, const TLocaleSettings& locale)
{
  return FormatDateTime(locale.ShortDateFormat, value, locale);
}

std::string DateTimeToStr(double value, const TLocaleSettings& locale)
{
  std::string text = DateToStr(value, locale);
  const TTimeParts time = DecodeTime(value);
  if (time.Hour != 0 || time.Minute != 0 || time.Second != 0 || time.MilliSecond != 0) {
    text += ' ';
    text += FormatDateTime(locale.LongTimeFormat, value, locale);
  }
  return text;
}

int ExpandTwoDigitYear(int year, int currentYear)
{
  if (year < 0 || year >= 100)
    return year;
  const int pivot = currentYear - 50;
  year += pivot / 100 * 100;
  if (year < pivot)
    year += 100;
  return year;
}

double StrToDate(std::string_view text, const TLocaleSettings& locale, int currentYear)
{
  const auto fail = [&]() -> double {
    throw EBiffLensError(FormatMessage(kMsgNotValidDate, text));
  };
  // The numbers, in the order they are written.
  std::vector<int> numbers;
  std::size_t i = 0;
  const auto skipBlanks = [&] {
    while (i < text.size() && text[i] == ' ')
      ++i;
  };
  skipBlanks();
  while (true) {
    std::size_t digits = 0;
    int number = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (++digits > 4)
        return fail();
      number = number * 10 + (text[i] - '0');
      ++i;
    }
    if (digits == 0 || numbers.size() == 3)
      return fail();
    numbers.push_back(number);
    skipBlanks();
    if (i == text.size())
      break;
    if (text[i] != locale.DateSeparator)
      return fail();
    ++i;
    skipBlanks();
  }
  if (numbers.size() < 2)
    return fail();

  // The order comes from the first of the letters d, m, y in the format.
  char order = 'm';
  for (const char c : locale.ShortDateFormat) {
    const char lower = AsciiLowerChar(c);
    if (lower == 'd' || lower == 'm' || lower == 'y') {
      order = lower;
      break;
    }
  }
  int year = currentYear;
  int month = 0;
  int day = 0;
  const bool withYear = numbers.size() == 3;
  if (order == 'y') {
    if (withYear)
      year = numbers[0];
    month = numbers[withYear ? 1 : 0];
    day = numbers[withYear ? 2 : 1];
  } else {
    month = order == 'm' ? numbers[0] : numbers[1];
    day = order == 'm' ? numbers[1] : numbers[0];
    if (withYear)
      year = numbers[2];
  }
  year = ExpandTwoDigitYear(year, currentYear);
  if (!IsValidDate(year, month, day))
    return fail();
  return EncodeDate(year, month, day);
}
