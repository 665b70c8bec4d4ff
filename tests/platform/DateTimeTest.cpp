#include "platform/DateTime.h"
#include "platform/Errors.h"
#include "platform/VariantMessages.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

std::string ErrorOf(const std::function<void()>& action)
{
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(DateEncoding, CountsDaysFromThirtiethOfDecember1899)
{
  struct TCase {
    int Year, Month, Day;
    double Value;
  };
  const TCase cases[] = {
      {1899, 12, 30, 0},     {1899, 12, 31, 1},     {1900, 1, 1, 2},       {1900, 3, 1, 61},
      {2003, 12, 25, 37980}, {2000, 2, 29, 36585},  {1, 1, 1, -693593},    {9999, 12, 31, 2958465},
      {1800, 1, 1, -36522},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Year) + "-" + std::to_string(c.Month) + "-" + std::to_string(c.Day));
    EXPECT_EQ(EncodeDate(c.Year, c.Month, c.Day), c.Value);
    const TDateParts parts = DecodeDate(c.Value);
    EXPECT_EQ(parts.Year, c.Year);
    EXPECT_EQ(parts.Month, c.Month);
    EXPECT_EQ(parts.Day, c.Day);
  }
}

TEST(DateEncoding, RefusesDaysThatDoNotExist)
{
  const int cases[][3] = {{2003, 2, 29}, {2100, 2, 29}, {2003, 4, 31}, {2003, 13, 1},
                          {2003, 0, 1},  {2003, 1, 0},  {0, 1, 1},     {10000, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c[0]) + "-" + std::to_string(c[1]) + "-" + std::to_string(c[2]));
    EXPECT_FALSE(IsValidDate(c[0], c[1], c[2]));
    EXPECT_EQ(ErrorOf([&] { EncodeDate(c[0], c[1], c[2]); }), kMsgDateEncode);
  }
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
}

TEST(TimeEncoding, GivesTheFractionOfADay)
{
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(22, 30, 0, 0), 0.9375);
  EXPECT_DOUBLE_EQ(EncodeTime(23, 59, 59, 999), 86399999.0 / 86400000.0);
  for (const auto& c : {std::array{24, 0, 0, 0}, std::array{0, 60, 0, 0}, std::array{0, 0, 60, 0},
                        std::array{0, 0, 0, 1000}, std::array{-1, 0, 0, 0}}) {
    EXPECT_EQ(ErrorOf([&] { EncodeTime(c[0], c[1], c[2], c[3]); }), kMsgTimeEncode);
  }
}

TEST(TimeDecoding, RoundsToMillisecondsAndKeepsNegativeDatesForward)
{
  const TTimeParts noon = DecodeTime(37980.5);
  EXPECT_EQ(noon.Hour, 12);
  EXPECT_EQ(noon.Minute, 0);
  const TTimeParts t = DecodeTime(EncodeTime(10, 30, 15, 250));
  EXPECT_EQ(t.Hour, 10);
  EXPECT_EQ(t.Minute, 30);
  EXPECT_EQ(t.Second, 15);
  EXPECT_EQ(t.MilliSecond, 250);
  const TTimeParts before = DecodeTime(-1.25);  // 29 Dec 1899, 6:00
  EXPECT_EQ(before.Hour, 6);
  EXPECT_EQ(DecodeDate(-1.25).Day, 29);
  const TTimeParts almostMidnight = DecodeTime(0.99999999999);
  EXPECT_EQ(almostMidnight.Hour, 23);
  EXPECT_EQ(almostMidnight.Second, 59);
}

TEST(DateDecoding, RefusesValuesOutsideTheCalendar)
{
  EXPECT_FALSE(IsDecodableDate(1e12));
  EXPECT_FALSE(IsDecodableDate(-1e7));
  EXPECT_EQ(ErrorOf([] { DecodeDate(1e12); }), "'1000000000000' is not a valid date");
  EXPECT_TRUE(IsDecodableDate(2958465.9));
  EXPECT_TRUE(IsDecodableDate(-693593));
}

TEST(DateText, FormatsByLetters)
{
  TLocaleSettings us = UsEnglishLocale();
  const double value = EncodeDate(2003, 3, 5) + EncodeTime(14, 7, 9, 0);
  const std::pair<const char*, const char*> cases[] = {
      {"m/d/yyyy", "3/5/2003"},
      {"mm/dd/yy", "03/05/03"},
      {"d mmm yyyy", "5 Mar 2003"},
      {"dddd mmmm", "05 March"},  // no weekday names
      {"hhh:nnn:sss", "14:07:09"},
      {"h:nn:ss AMPM", "2:07:09 PM"},
      {"hh:n:s", "14:7:9"},
      {"yyyy-mm-dd 'at' hh", "2003-03-05 at 14"},
      {"\"d\"d", "d5"},
  };
  for (const auto& [format, text] : cases) {
    SCOPED_TRACE(format);
    EXPECT_EQ(FormatDateTime(format, value, us), text);
  }
  us.DateSeparator = '-';
  us.TimeSeparator = '.';
  EXPECT_EQ(FormatDateTime("m/d h:nn", value, us), "3-5 14.07");
  EXPECT_EQ(FormatDateTime("h AMPM", EncodeDate(2003, 3, 5), UsEnglishLocale()), "12 AM");
}

TEST(DateText, DateTimeToStrAddsTheTimeUnlessMidnight)
{
  const TLocaleSettings us = UsEnglishLocale();
  EXPECT_EQ(DateToStr(37980.75, us), "12/25/2003");
  EXPECT_EQ(DateTimeToStr(37980, us), "12/25/2003");
  EXPECT_EQ(DateTimeToStr(37980.75, us), "12/25/2003 6:00:00 PM");
  EXPECT_EQ(DateTimeToStr(0, us), "12/30/1899");
  TLocaleSettings german = us;
  german.ShortDateFormat = "dd.mm.yyyy";
  german.LongTimeFormat = "hh:nn:ss";
  EXPECT_EQ(DateTimeToStr(37980.25, german), "25.12.2003 06:00:00");
}

TEST(DateText, ExcelSerialsBeforeMarch1900CountItsLeapDay)
{
  // Excel's serials 1 to 31 are January 1900, 32 to 60 February with its
  // 29th, 61 the 1st of March; a count from 1899-12-30 is a day behind
  // until then.
  const TLocaleSettings us = UsEnglishLocale();
  for (int serial = 1; serial <= 61; ++serial) {
    SCOPED_TRACE(serial);
    const int month = serial <= 31 ? 1 : serial <= 60 ? 2 : 3;
    const int day = serial <= 31 ? serial : serial <= 60 ? serial - 31 : 1;
    const std::string expected = std::to_string(month) + "/" + std::to_string(day) + "/1900";
    EXPECT_EQ(ExcelDateTimeToStr(serial, us), expected);
    if (serial != 60) {
      EXPECT_EQ(Excel1900Date(serial).Month * 100 + Excel1900Date(serial).Day, month * 100 + day);
    }
  }
  const TDateParts leap = Excel1900Date(60);
  EXPECT_EQ(leap.Year * 10000 + leap.Month * 100 + leap.Day, 19000229);
  // The time of day stays as the general form shows it; serial 0 is the
  // day before 1900-01-01, as the CSV export writes it.
  EXPECT_EQ(ExcelDateTimeToStr(60.75, us), "2/29/1900 6:00:00 PM");
  EXPECT_EQ(ExcelDateTimeToStr(1.5, us), "1/1/1900 12:00:00 PM");
  EXPECT_EQ(ExcelDateTimeToStr(0, us), "12/31/1899");
  // From March 1900 on, and before serial 0, the two counts agree.
  for (const double value : {61.25, 37980.75, 2958465.0, -1.0, -700.5})
    EXPECT_EQ(ExcelDateTimeToStr(value, us), DateTimeToStr(value, us)) << value;
  TLocaleSettings german = us;
  german.ShortDateFormat = "dd.mm.yyyy";
  EXPECT_EQ(ExcelDateTimeToStr(60, german), "29.02.1900");
}

TEST(DateText, StrToDateFollowsTheShortDateOrder)
{
  TLocaleSettings us = UsEnglishLocale();
  EXPECT_EQ(StrToDate("12/25/2003", us, 2026), EncodeDate(2003, 12, 25));
  EXPECT_EQ(StrToDate(" 12 / 25 / 2003 ", us, 2026), EncodeDate(2003, 12, 25));
  EXPECT_EQ(StrToDate("7/4", us, 2026), EncodeDate(2026, 7, 4));
  EXPECT_EQ(StrToDate("1/2/76", us, 2026), EncodeDate(1976, 1, 2));
  EXPECT_EQ(StrToDate("1/2/75", us, 2026), EncodeDate(2075, 1, 2));
  TLocaleSettings german = us;
  german.ShortDateFormat = "dd.mm.yyyy";
  german.DateSeparator = '.';
  EXPECT_EQ(StrToDate("25.12.2003", german, 2026), EncodeDate(2003, 12, 25));
  TLocaleSettings iso = us;
  iso.ShortDateFormat = "yyyy-mm-dd";
  iso.DateSeparator = '-';
  EXPECT_EQ(StrToDate("2003-12-25", iso, 2026), EncodeDate(2003, 12, 25));
  EXPECT_EQ(StrToDate("12-25", iso, 2026), EncodeDate(2026, 12, 25));
  for (const char* bad : {"", "12", "12/25/2003/1", "25/12/2003", "2/29/2003", "12-25-2003", "a/b/c",
                          "12/25/20030", "12//2003"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(ErrorOf([&] { StrToDate(bad, us, 2026); }), std::string("'") + bad + "' is not a valid date");
  }
}

TEST(DateText, TwoDigitYearWindowStartsFiftyYearsBack)
{
  EXPECT_EQ(ExpandTwoDigitYear(76, 2026), 1976);
  EXPECT_EQ(ExpandTwoDigitYear(75, 2026), 2075);
  EXPECT_EQ(ExpandTwoDigitYear(0, 2026), 2000);
  EXPECT_EQ(ExpandTwoDigitYear(99, 2049), 1999);
  EXPECT_EQ(ExpandTwoDigitYear(99, 2050), 2099);
  EXPECT_EQ(ExpandTwoDigitYear(2003, 2026), 2003);
}

TEST(SystemClock, GivesTodaysLocalDate)
{
  const double now = SystemNow();
  EXPECT_GE(now, EncodeDate(2024, 1, 1));
  const TTimeParts time = DecodeTime(now);
  EXPECT_LT(time.Hour, 24);
}

}  // namespace
