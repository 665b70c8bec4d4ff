#include "export/CsvValue.h"

#include "platform/DateTime.h"
#include "platform/text/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// 1904-01-01, day 0 of the 1904 date system, as a 1900-system serial.
constexpr double kFirstDay1904 = 1462.0;
// 10000-01-01: the first day past the last date Excel shows.
constexpr double kPastLastDay = 2958466.0;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kPowersOf10[] = {1, 10, 100, 1000};
// Durations in shown units (seconds, or their fractions) up to here are
// written; past it a double no longer counts single seconds anyway.
constexpr double kMostElapsedUnits = 1e15;

char* Copy(char* out, std::string_view text)
{
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

char* Digits(char* out, std::int64_t value, int width)
{
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

/// "YYYY-MM-DD" of day `day`, counted as Excel counts the 1900 system.
char* WriteDay(char* out, std::int64_t day)
{
  const TDateParts parts = Excel1900Date(day);
  out = Digits(out, parts.Year, 4);
  *out++ = '-';
  out = Digits(out, parts.Month, 2);
  *out++ = '-';
  return Digits(out, parts.Day, 2);
}

/// "HH:MM:SS[.f]" of `units` (seconds times 10^decimals) into the day.
char* WriteClock(char* out, std::int64_t hours, std::int64_t units, int decimals)
{
  const std::int64_t perSecond = kPowersOf10[decimals];
  const std::int64_t seconds = units / perSecond;
  if (hours < 100) {
    out = Digits(out, hours, 2);
  } else {
    out = std::to_chars(out, out + 24, hours).ptr;
  }
  *out++ = ':';
  out = Digits(out, seconds / 60 % 60, 2);
  *out++ = ':';
  out = Digits(out, seconds % 60, 2);
  if (decimals > 0) {
    *out++ = '.';
    out = Digits(out, units % perSecond, decimals);
  }
  return out;
}

}  // namespace

char* WriteNumberText(char* out, double value)
{
  if (!std::isfinite(value))
    return Copy(out, "#NUM!");
  if (value == 0) {
    *out = '0';
    return out + 1;
  }
  return WriteShortestDouble(out, value);
}

char* WriteDateText(char* out, double days, const TDateShape& shape, bool date1904)
{
  if (shape.IsEmpty() || !std::isfinite(days))
    return nullptr;
  const int decimals = std::clamp(shape.SecondDecimals, 0, 3);
  const std::int64_t perSecond = kPowersOf10[decimals];
  if (shape.Elapsed) {
    // A duration counts from the date system's zero, in either system.
    const double duration = date1904 ? days - kFirstDay1904 : days;
    const double units = std::round(std::fabs(duration) * static_cast<double>(kSecondsPerDay * perSecond));
    if (units > kMostElapsedUnits)
      return nullptr;
    const auto whole = static_cast<std::int64_t>(units);
    if (duration < 0 && whole > 0)
      *out++ = '-';
    const std::int64_t perHour = 3600 * perSecond;
    return WriteClock(out, whole / perHour, whole % perHour, decimals);
  }
  // Excel shows no date before its system's first day nor after 9999.
  if (days < (date1904 ? kFirstDay1904 : 0.0) || days >= kPastLastDay)
    return nullptr;
  const std::int64_t perDay = kSecondsPerDay * perSecond;
  const auto units = static_cast<std::int64_t>(std::llround(days * static_cast<double>(perDay)));
  const std::int64_t day = units / perDay;
  if (static_cast<double>(day) >= kPastLastDay)
    return nullptr;
  const std::int64_t ofDay = units % perDay;
  if (shape.Date) {
    out = WriteDay(out, day);
    if (!shape.Time)
      return out;
    *out++ = 'T';
  }
  const std::int64_t perHour = 3600 * perSecond;
  return WriteClock(out, ofDay / perHour, ofDay % perHour, decimals);
}

char* WriteFileSerial(char* out, double days, bool date1904)
{
  if (!date1904 || !std::isfinite(days))
    return WriteNumberText(out, days);
  // Exact: both terms are whole multiples of the sum's last place.
  const double serial = days - kFirstDay1904;
  char text[kValueTextRoom];
  for (int precision = 1; precision < 17; ++precision) {
    const char* const end =
        std::to_chars(text, text + sizeof text, serial, std::chars_format::general, precision).ptr;
    double candidate = 0;
    std::from_chars(text, end, candidate);
    if (candidate + kFirstDay1904 == days)
      return WriteNumberText(out, candidate);
  }
  return WriteNumberText(out, serial);
}

TCsvValueText::TCsvValueText(std::span<const std::string> formats, bool date1904, TCsvDates dates)
    : FDate1904(date1904), FDates(dates)
{
  FShapes.reserve(formats.size());
  for (const std::string& text : formats)
    FShapes.push_back(DateShapeOf(text));
}

const TDateShape* TCsvValueText::ShapeOf(int formatIndex) const
{
  if (formatIndex <= 0 || static_cast<std::size_t>(formatIndex) >= FShapes.size())
    return nullptr;
  const TDateShape& shape = FShapes[static_cast<std::size_t>(formatIndex)];
  return shape.IsEmpty() ? nullptr : &shape;
}

std::string_view TCsvValueText::ValueText(const TVariant& value, int formatIndex)
{
  char* end = FText;
  switch (value.Type()) {
  case TVarType::vtEmpty:
  case TVarType::vtNull: return {};
  case TVarType::vtString: return value.AsString();
  case TVarType::vtBoolean: return value.AsBoolean() ? "TRUE" : "FALSE";
  case TVarType::vtInteger: end = std::to_chars(FText, FText + sizeof FText, value.AsInteger()).ptr; break;
  case TVarType::vtDouble: {
    // The reader calls a number a date by a quick look at its format ("dd",
    // "mm" or "yy" in it); a format that shows date or time parts without
    // them ("m/d", "h:m") is one to Excel as well.
    const double number = value.AsDouble();
    end = nullptr;
    if (const TDateShape* shape = ShapeOf(formatIndex); shape && FDates == TCsvDates::cdIso)
      end = WriteDateText(FText, FDate1904 ? number + kFirstDay1904 : number, *shape, FDate1904);
    if (end == nullptr)
      end = WriteNumberText(FText, number);
    break;
  }
  case TVarType::vtCurrency:
    end = WriteNumberText(FText, static_cast<double>(value.AsCurrency().Scaled) / 10000.0);
    break;
  case TVarType::vtDate: {
    const double days = value.AsDate();
    end = nullptr;
    if (const TDateShape* shape = ShapeOf(formatIndex); shape && FDates == TCsvDates::cdIso)
      end = WriteDateText(FText, days, *shape, FDate1904);
    if (end == nullptr)
      end = WriteFileSerial(FText, days, FDate1904);
    break;
  }
  }
  return {FText, static_cast<std::size_t>(end - FText)};
}
