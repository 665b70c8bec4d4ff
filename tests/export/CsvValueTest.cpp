// The text of each kind of value in a CSV field: numbers, and dates by the
// parts of their number format, in either date system.
#include "export/CsvValue.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

// Well-known serials of the 1900 date system; a 1904 workbook's serials
// reach the model with 1462 added.
constexpr double k20200101 = 43831;
constexpr double k99991231 = 2958465;
constexpr double k1904 = 1462;
constexpr double kSecond = 1.0 / 86400;
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

const TDateShape kNone{};
const TDateShape kDate{true, false, false, 0};
const TDateShape kTime{false, true, false, 0};
const TDateShape kDateTime{true, true, false, 0};
const TDateShape kElapsed{false, false, true, 0};

template <typename TWrite>
std::string Written(TWrite write)
{
  char text[kValueTextRoom];
  const char* end = write(static_cast<char*>(text));
  return end ? std::string(static_cast<const char*>(text), end) : "(none)";
}

}  // namespace

TEST(DateShape, ReadsTheDateAndTimePartsOfFormats)
{
  const std::pair<const char*, TDateShape> cases[] = {
      // Excel's built-in date and time formats.
      {"m/d/yy", kDate}, {"d-mmm-yy", kDate}, {"mmm-yy", kDate}, {"h:mm AM/PM", kTime},
      {"h:mm:ss", kTime}, {"m/d/yy h:mm", kDateTime}, {"mm:ss", kTime}, {"[h]:mm:ss", kElapsed},
      {"mm:ss.0", {false, true, false, 1}},
      // "m" after an hour or before a second is a minute, else a month.
      {"dd/mm/yyyy hh:mm", kDateTime}, {"h \"h\" m \"min\"", kTime}, {"mm", kDate}, {"MM/DD/YYYY", kDate},
      // Elapsed brackets; fractions of a second, three digits at most.
      {"[mm]:ss", kElapsed}, {"[ss].00", {false, false, true, 2}}, {"ss.0000", {false, true, false, 3}},
      // Quoted text, escapes, colours, locale tags, calendars, sections.
      {"[$-409]dddd, mmmm dd, yyyy", kDate}, {"[Red]hh:mm", kTime}, {"yyyy-mm-dd\"T\"hh:mm:ss", kDateTime},
      {"\"Day\" d", kDate}, {"\\d\\a\\y h", kTime}, {"B2dd/mm/yyyy", kDate}, {"A/P h", kTime},
      {"h:mm;[Red]\"-\"d", kTime},
      // Number formats show none.
      {"General", kNone}, {"0.00E+00", kNone}, {"0.00 \"dd\"", kNone}, {"_-* #,##0_-;\\-* #,##0_-", kNone},
      {"", kNone},
  };
  for (const auto& [format, shape] : cases) {
    SCOPED_TRACE(format);
    EXPECT_EQ(DateShapeOf(format), shape);
  }
}

TEST(DateText, WritesDatesTimesAndDurationsAsExcelShowsThem)
{
  struct TCase {
    double Days;
    TDateShape Shape;
    bool Date1904;
    const char* Text;
  };
  const TCase cases[] = {
      {k20200101 + 0.75, kDate, false, "2020-01-01"},
      {k20200101 + 0.75, kDateTime, false, "2020-01-01T18:00:00"},
      {k20200101 + 0.75, kTime, false, "18:00:00"},
      {k99991231, kDate, false, "9999-12-31"},
      // Rounded to the shown second before the day is taken.
      {k20200101 + 1 - 0.6 * kSecond, kDateTime, false, "2020-01-01T23:59:59"},
      {k20200101 + 1 - 0.4 * kSecond, kDateTime, false, "2020-01-02T00:00:00"},
      {k20200101 + 1 - 0.4 * kSecond, kDate, false, "2020-01-02"},
      {k20200101 + 1 - 0.4 * kSecond, kTime, false, "00:00:00"},
      {0.5 + 1.234 * kSecond, {false, true, false, 2}, false, "12:00:01.23"},
      {0.5 - 0.0001 * kSecond, {false, true, false, 3}, false, "12:00:00.000"},
      // Excel's 1900 system counts a 29 February 1900: its days before
      // March 1900 run one ahead of a count from 1899-12-30.
      {0, kDate, false, "1899-12-31"},  // Excel's "1900-01-00"
      {1, kDate, false, "1900-01-01"},
      {59, kDate, false, "1900-02-28"},
      {60.333333333333336, kDateTime, false, "1900-02-29T08:00:00"},
      {59.99999999, kDate, false, "1900-02-29"},
      {61, kDate, false, "1900-03-01"},
      {367, kDate, false, "1901-01-01"},
      // A 1904 workbook counts from 1904-01-01, without Excel's leap day.
      {k1904, kDate, true, "1904-01-01"},
      {k1904 + 0.25, kTime, true, "06:00:00"},
      {k1904 + 60, kDate, true, "1904-03-01"},
      // Durations in hours from the system's zero.
      {0, kElapsed, false, "00:00:00"},
      {1.5625, kElapsed, false, "37:30:00"},
      {100, kElapsed, false, "2400:00:00"},
      {-0.25, kElapsed, false, "-06:00:00"},
      {-0.1 * kSecond, kElapsed, false, "00:00:00"},
      {1.5 + 0.25 * kSecond, {false, false, true, 2}, false, "36:00:00.25"},
      {k1904 + 1.5625, kElapsed, true, "37:30:00"},
      {k1904 - 0.5, kElapsed, true, "-12:00:00"},
      // Where Excel shows no date, nothing.
      {-1, kDate, false, "(none)"},
      {-0.25, kTime, false, "(none)"},
      {k1904 - 1, kDate, true, "(none)"},
      {k99991231 + 1 - 0.1 * kSecond, kDateTime, false, "(none)"},
      {k20200101, kNone, false, "(none)"},
      {kNan, kDate, false, "(none)"},
      {1e300, kElapsed, false, "(none)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Written([&](char* out) { return WriteDateText(out, c.Days, c.Shape, c.Date1904); }), c.Text);
  }
}

TEST(NumberText, ShortestRoundTripTextsAndTheWorkbooksOwnSerials)
{
  const std::pair<double, const char*> numbers[] = {
      {-0.0, "0"}, {-609090, "-609090"}, {0.1, "0.1"}, {1e20, "1e+20"}, {100000, "1e+05"},
      {0.30000000000000004, "0.30000000000000004"}, {std::numeric_limits<double>::infinity(), "#NUM!"},
      {kNan, "#NUM!"}};
  for (const auto& [value, text] : numbers)
    EXPECT_EQ(Written([&](char* out) { return WriteNumberText(out, value); }), text);
  // 0.1 + 1462 lost the last bits of 0.1: the serial the file held is the
  // shortest that gives the same sum.
  const std::tuple<double, bool, const char*> serials[] = {
      {0.1, false, "0.1"}, {k1904 + 41331, true, "41331"}, {0.1 + k1904, true, "0.1"},
      {0.3333333333333333 + k1904, true, "0.3333333333333"},
      {41331.541666666664 + k1904, true, "41331.541666666664"}, {k1904 - 2.5, true, "-2.5"}};
  for (const auto& [days, date1904, text] : serials)
    EXPECT_EQ(Written([&](char* out) { return WriteFileSerial(out, days, date1904); }), text);
}

TEST(ValueText, WritesEachKindOfValue)
{
  std::vector<std::string> formats(167);
  formats[14] = "m/d/yy";
  formats[20] = "h:mm";
  formats[46] = "[h]:mm:ss";
  formats[164] = "yyyy-mm-dd hh:mm:ss.000";
  formats[165] = "0.00 \"dd\"";
  formats[166] = "m/d h:m";  // a date the reader's quick test misses
  struct TCase {
    TVariant Value;
    int Format;
    bool Date1904;
    TCsvDates Dates;
    const char* Text;
  };
  const auto iso = TCsvDates::cdIso;
  const auto serial = TCsvDates::cdSerial;
  const TCase cases[] = {
      {TVariant(std::int32_t{-42}), 0, false, iso, "-42"},
      {TVariant(2.5), 0, false, iso, "2.5"},
      {TVariant(true), 0, false, iso, "TRUE"},
      {TVariant(false), 0, false, iso, "FALSE"},
      {TVariant("#DIV/0!"), 0, false, iso, "#DIV/0!"},
      {TVariant("a,\"b\"\n"), 0, false, iso, "a,\"b\"\n"},
      {TVariant::Currency({12345}), 0, false, iso, "1.2345"},
      {TVariant::Date(k20200101), 14, false, iso, "2020-01-01"},
      {TVariant::Date(0.75), 20, false, iso, "18:00:00"},
      {TVariant::Date(1.5625), 46, false, iso, "37:30:00"},
      {TVariant::Date(k20200101 + 0.5 + 0.25 * kSecond), 164, false, iso, "2020-01-01T12:00:00.250"},
      {TVariant::Date(k20200101), 14, true, iso, "2020-01-01"},
      {TVariant(k20200101 + 0.5), 166, false, iso, "2020-01-01T12:00:00"},
      {TVariant(0.5), 166, true, iso, "1904-01-01T12:00:00"},
      // A format without date parts, a missing format, a day no date shows,
      // or serials asked for: the serial of the workbook's own system.
      {TVariant::Date(45.5), 165, false, iso, "45.5"},
      {TVariant::Date(45.5), 9999, false, iso, "45.5"},
      {TVariant::Date(-3), 14, false, iso, "-3"},
      {TVariant(-2.0), 166, false, iso, "-2"},
      {TVariant::Date(k20200101), 14, false, serial, "43831"},
      {TVariant::Date(k20200101), 14, true, serial, "42369"},
      {TVariant(k20200101 + 0.5), 166, false, serial, "43831.5"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TCsvValueText values(formats, c.Date1904, c.Dates);
    EXPECT_EQ(values.ValueText(c.Value, c.Format), c.Text);
  }
}

TEST(CsvValue, DatesBeforeMarch1900AreTheDaysThePreviewShows)
{
  // One rule for both: the export's ISO date and the viewer's text of the
  // same serial name the same day.
  TLocaleSettings iso = UsEnglishLocale();
  iso.ShortDateFormat = "yyyy-mm-dd";
  iso.DateSeparator = '-';
  for (int serial = 0; serial <= 61; ++serial) {
    SCOPED_TRACE(serial);
    const std::string csv =
        Written([&](char* out) { return WriteDateText(out, serial, kDate, false); });
    EXPECT_EQ(csv, ExcelDateTimeToStr(serial, iso));
  }
}
