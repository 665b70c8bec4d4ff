// The text of each kind of value in a CSV field: numbers, dates by the
// parts of their number format, in either date system, and the rest.
#include "export/CsvValue.h"
#include "export/DateShape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

// Well-known serials of the 1900 date system.
constexpr double k20200101 = 43831;
constexpr double k20000101 = 36526;
constexpr double k99991231 = 2958465;
// A 1904 workbook's serials reach the model with this added.
constexpr double k1904 = 1462;
constexpr double kSecond = 1.0 / 86400;

const TDateShape kDate{true, false, false, 0};
const TDateShape kTime{false, true, false, 0};
const TDateShape kDateTime{true, true, false, 0};
const TDateShape kElapsed{false, false, true, 0};

std::string DateText(double days, const TDateShape& shape, bool date1904 = false)
{
  char text[kValueTextRoom];
  const char* end = WriteDateText(text, days, shape, date1904);
  return end ? std::string(static_cast<const char*>(text), end) : "(none)";
}

std::string Serial(double days, bool date1904)
{
  char text[kValueTextRoom];
  return std::string(text, WriteFileSerial(text, days, date1904));
}

std::string Number(double value)
{
  char text[kValueTextRoom];
  return std::string(text, WriteNumberText(text, value));
}

}  // namespace

TEST(DateShape, ReadsTheDateAndTimePartsOfFormats)
{
  struct TCase {
    const char* Format;
    TDateShape Shape;
  };
  const TDateShape none{};
  const TCase cases[] = {
      // Excel's built-in date and time formats.
      {"m/d/yy", kDate},
      {"d-mmm-yy", kDate},
      {"d-mmm", kDate},
      {"mmm-yy", kDate},
      {"h:mm AM/PM", kTime},
      {"h:mm:ss AM/PM", kTime},
      {"h:mm", kTime},
      {"h:mm:ss", kTime},
      {"m/d/yy h:mm", kDateTime},
      {"mm:ss", kTime},
      {"[h]:mm:ss", kElapsed},
      {"mm:ss.0", {false, true, false, 1}},
      // "m" after an hour or before a second is a minute, else a month.
      {"dd/mm/yyyy hh:mm", kDateTime},
      {"h \"h\" m \"min\"", kTime},
      {"mm", kDate},
      {"mmmm", kDate},
      {"MM/DD/YYYY", kDate},
      // Elapsed brackets, fractions of a second.
      {"[mm]:ss", kElapsed},
      {"[ss].00", {false, false, true, 2}},
      {"[h]", kElapsed},
      {"hh:mm:ss.000", {false, true, false, 3}},
      {"ss.0000", {false, true, false, 3}},
      // Quoted text, escapes, colours, locale tags and calendars are no parts.
      {"[$-409]dddd, mmmm dd, yyyy", kDate},
      {"[Red]hh:mm", kTime},
      {"yyyy-mm-dd\"T\"hh:mm:ss", kDateTime},
      {"\"Day\" d", kDate},
      {"\\d\\a\\y h", kTime},
      {"B2dd/mm/yyyy", kDate},
      {"A/P h", kTime},
      {"yy;@", kDate},
      {"h:mm;[Red]\"-\"d", kTime},
      // Number formats show none.
      {"General", none},
      {"0.00E+00", none},
      {"0.00 \"dd\"", none},
      {"_-* #,##0_-;\\-* #,##0_-", none},
      {"", none},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Format);
    const TDateShape shape = DateShapeOf(c.Format);
    EXPECT_EQ(shape.Date, c.Shape.Date);
    EXPECT_EQ(shape.Time, c.Shape.Time);
    EXPECT_EQ(shape.Elapsed, c.Shape.Elapsed);
    EXPECT_EQ(shape.SecondDecimals, c.Shape.SecondDecimals);
  }
}

TEST(DateText, WritesDatesTimesAndBothAtDayBoundaries)
{
  struct TCase {
    double Days;
    TDateShape Shape;
    const char* Text;
  };
  const TCase cases[] = {
      {k20200101, kDate, "2020-01-01"},
      {k20200101, kDateTime, "2020-01-01T00:00:00"},
      {k20200101, kTime, "00:00:00"},
      {k20000101 + 0.75, kDateTime, "2000-01-01T18:00:00"},
      {k20000101 - 1, kDate, "1999-12-31"},
      {k20000101 + 0.75, kDate, "2000-01-01"},
      // Rounded to the second before the day is taken.
      {k20200101 + 1 - 0.6 * kSecond, kDateTime, "2020-01-01T23:59:59"},
      {k20200101 + 1 - 0.4 * kSecond, kDateTime, "2020-01-02T00:00:00"},
      {k20200101 + 1 - 0.4 * kSecond, kDate, "2020-01-02"},
      {k20200101 + 1 - 0.4 * kSecond, kTime, "00:00:00"},
      {k20200101 + 0.4 * kSecond, kTime, "00:00:00"},
      // A time of day drops the days; fractions of a second where shown.
      {1.75, kTime, "18:00:00"},
      {0.5 + 1.234 * kSecond, {false, true, false, 2}, "12:00:01.23"},
      {0.5 + 1.2346 * kSecond, {true, true, false, 3}, "1899-12-31T12:00:01.235"},
      {0.5 - 0.0001 * kSecond, {false, true, false, 3}, "12:00:00.000"},
      // The last day Excel shows.
      {k99991231, kDate, "9999-12-31"},
      {k99991231 + 1 - kSecond, kDateTime, "9999-12-31T23:59:59"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(DateText(c.Days, c.Shape), c.Text);
  }
}

TEST(DateText, FollowsExcelsDaysBeforeMarch1900)
{
  // Excel's 1900 system counts a 29 February 1900; before it its days run
  // one ahead of a count from 1899-12-30, from 61 on the two agree.
  const std::pair<double, const char*> cases[] = {
      {0, "1899-12-31"},  // Excel's "1900-01-00"
      {1, "1900-01-01"},   {1.3333333333333333, "1900-01-01"}, {31, "1900-01-31"},
      {32, "1900-02-01"},  {59, "1900-02-28"},  {60, "1900-02-29"},
      {61, "1900-03-01"},  {62, "1900-03-02"},  {366, "1900-12-31"},
      {367, "1901-01-01"},
  };
  for (const auto& [days, text] : cases) {
    SCOPED_TRACE(days);
    EXPECT_EQ(DateText(days, kDate), text);
  }
  EXPECT_EQ(DateText(60.333333333333336, kDateTime), "1900-02-29T08:00:00");
  EXPECT_EQ(DateText(59.99999999, kDateTime), "1900-02-29T00:00:00");
}

TEST(DateText, ReadsA1904WorkbooksDaysFrom1904)
{
  EXPECT_EQ(DateText(k1904, kDate, true), "1904-01-01");
  EXPECT_EQ(DateText(k1904 + 0.25, kDateTime, true), "1904-01-01T06:00:00");
  EXPECT_EQ(DateText(k1904 + 0.25, kTime, true), "06:00:00");
  EXPECT_EQ(DateText(k1904 + 41331, kDate, true), "2017-02-27");
  // The 1900 system's leap-day rule does not reach 1904 serials.
  EXPECT_EQ(DateText(k1904 + 59, kDate, true), "1904-02-29");
  EXPECT_EQ(DateText(k1904 + 60, kDate, true), "1904-03-01");
}

TEST(DateText, WritesElapsedTimesInHoursFromZero)
{
  struct TCase {
    double Days;
    bool Date1904;
    int Decimals;
    const char* Text;
  };
  const TCase cases[] = {
      {0, false, 0, "00:00:00"},
      {1.0 / 24 + 2 * kSecond, false, 0, "01:00:02"},
      {1.5625, false, 0, "37:30:00"},
      {10.632060185185185, false, 0, "255:10:10"},
      {100, false, 0, "2400:00:00"},
      {-0.25, false, 0, "-06:00:00"},
      {-0.1 * kSecond, false, 0, "00:00:00"},
      {1.5 + 0.25 * kSecond, false, 2, "36:00:00.25"},
      // A duration counts from the system's zero, 1904 as 1900.
      {k1904 + 1.5625, true, 0, "37:30:00"},
      {k1904 - 0.5, true, 0, "-12:00:00"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(DateText(c.Days, {false, false, true, c.Decimals}, c.Date1904), c.Text);
  }
}

TEST(DateText, GivesNothingWhereExcelShowsNoDate)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(DateText(-1, kDate), "(none)");
  EXPECT_EQ(DateText(-0.25, kTime), "(none)");
  EXPECT_EQ(DateText(k1904 - 1, kDate, true), "(none)");
  EXPECT_EQ(DateText(k99991231 + 1, kDate), "(none)");
  EXPECT_EQ(DateText(k99991231 + 1 - 0.1 * kSecond, kDateTime), "(none)");
  EXPECT_EQ(DateText(k20200101, TDateShape{}), "(none)");
  EXPECT_EQ(DateText(nan, kDate), "(none)");
  EXPECT_EQ(DateText(1e300, kElapsed), "(none)");
}

TEST(FileSerial, IsTheSerialOfTheWorkbooksOwnSystem)
{
  EXPECT_EQ(Serial(k20200101, false), "43831");
  EXPECT_EQ(Serial(0.1, false), "0.1");
  EXPECT_EQ(Serial(k1904 + 41331, true), "41331");
  // 0.1 + 1462 lost the last bits of 0.1; the file held 0.1.
  EXPECT_EQ(Serial(0.1 + k1904, true), "0.1");
  EXPECT_EQ(Serial(0.3333333333333333 + k1904, true), "0.3333333333333");
  EXPECT_EQ(Serial(41331.541666666664 + k1904, true), "41331.541666666664");
  EXPECT_EQ(Serial(k1904 - 2.5, true), "-2.5");
}

TEST(NumberText, IsTheShortestRoundTripTextInEveryCase)
{
  const std::pair<double, const char*> cases[] = {
      {0, "0"},       {-0.0, "0"},          {1, "1"},          {-609090, "-609090"},
      {0.1, "0.1"},   {-3313.82, "-3313.82"}, {1e20, "1e+20"}, {1e-7, "1e-07"},
      {123456789012345680, "123456789012345680"}, {0.30000000000000004, "0.30000000000000004"},
      {2622.99270292, "2622.99270292"},     {123456, "123456"},
      // The exponent form where it is the shorter one, as to_chars has it.
      {100000, "1e+05"},
      {std::numeric_limits<double>::infinity(), "#NUM!"},
      {std::numeric_limits<double>::quiet_NaN(), "#NUM!"},
  };
  for (const auto& [value, text] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Number(value), text);
  }
}

TEST(ValueText, WritesEachKindOfValue)
{
  std::vector<std::string> formats(166);
  formats[14] = "m/d/yy";
  formats[20] = "h:mm";
  formats[46] = "[h]:mm:ss";
  formats[164] = "yyyy-mm-dd hh:mm:ss.000";
  formats[165] = "0.00 \"dd\"";
  TCsvValueText values(formats, false, TCsvDates::cdIso);
  struct TCase {
    TVariant Value;
    int Format;
    const char* Text;
  };
  const TCase cases[] = {
      {TVariant(std::int32_t{-42}), 0, "-42"},
      {TVariant(2.5), 0, "2.5"},
      {TVariant(true), 0, "TRUE"},
      {TVariant(false), 0, "FALSE"},
      {TVariant("#DIV/0!"), 0, "#DIV/0!"},
      {TVariant("a,\"b\"\n"), 0, "a,\"b\"\n"},
      {TVariant(std::string()), 0, ""},
      {TVariant::Currency({12345}), 0, "1.2345"},
      {TVariant::Date(k20200101), 14, "2020-01-01"},
      {TVariant::Date(0.75), 20, "18:00:00"},
      {TVariant::Date(1.5625), 46, "37:30:00"},
      {TVariant::Date(k20200101 + 0.5 + 0.25 * kSecond), 164, "2020-01-01T12:00:00.250"},
      // A format without date parts, or none at all: the serial.
      {TVariant::Date(45.5), 165, "45.5"},
      {TVariant::Date(45.5), 9999, "45.5"},
      {TVariant::Date(-3), 14, "-3"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(values.ValueText(c.Value, c.Format), c.Text);
  }
}

TEST(ValueText, WritesSerialsInTheWorkbooksSystemWhenAsked)
{
  std::vector<std::string> formats(15);
  formats[14] = "m/d/yy";
  TCsvValueText in1900(formats, false, TCsvDates::cdSerial);
  TCsvValueText in1904(formats, true, TCsvDates::cdSerial);
  TCsvValueText iso1904(formats, true, TCsvDates::cdIso);
  EXPECT_EQ(in1900.ValueText(TVariant::Date(k20200101), 14), "43831");
  EXPECT_EQ(in1904.ValueText(TVariant::Date(k20200101), 14), "42369");
  EXPECT_EQ(iso1904.ValueText(TVariant::Date(k20200101), 14), "2020-01-01");
  // Numbers are numbers in either system.
  EXPECT_EQ(in1904.ValueText(TVariant(43831.0), 14), "43831");
}
