#include "ExprTestSupport.h"

#include "expr/DateTimeFromString.h"
#include "platform/VariantMessages.h"
#include "platform/text/TextFormat.h"

#include <gtest/gtest.h>

namespace {

using exprtest::ErrorOf;

/// The clock says 2026, so the two-digit-year window starts at 1976.
class DateTextParsing : public exprtest::TExprTest {
protected:
  static double At(int y, int m, int d, int h = 0, int n = 0, int s = 0)
  {
    return EncodeDate(y, m, d) + EncodeTime(h, n, s, 0);
  }
  static double Parse(const char* value, const char* format, char dateSeparator = '/',
                      char timeSeparator = ':')
  {
    return DateTimeFromString(value, format, dateSeparator, timeSeparator);
  }
};

TEST_F(DateTextParsing, CurrentYearFollowsTheClock)
{
  EXPECT_EQ(CurrentYear(), 2026);
  Environment.Clock = EncodeDate(1999, 12, 31);
  EXPECT_EQ(CurrentYear(), 1999);
}

TEST_F(DateTextParsing, FieldOrderComesFromTheFormat)
{
  struct TCase {
    const char* Value;
    const char* Format;
    double Expected;
  };
  const TCase cases[] = {
      {"25/12/2003 10:30", "DD/MM/YYYY HH:NN", At(2003, 12, 25, 10, 30)},
      {"12/25/2003", "MM/DD/YYYY", At(2003, 12, 25)},
      {"1/2/03", "DD/MM/YY", At(2003, 2, 1)},
      {"2003/12/25", "YYYY/MM/DD", At(2003, 12, 25)},
      {"25 DEC 2003", "DD MMM YYYY", At(2003, 12, 25)},
      {"25 dec 2003", "DD MMM YYYY", At(2003, 12, 25)},
      {"25 DECEMBER 2003", "DD MMMMMMMM YYYY", At(2003, 12, 25)},
      {"1 MAY 2003", "D MMM YYYY", At(2003, 5, 1)},
      {"10:30:15", "HH:NN:SS", At(1899, 12, 30, 10, 30, 15)},
      {"5:07", "HH:NN", At(1899, 12, 30, 5, 7)},
      {"32/01/2003", "DD/MM/YYYY", 0},
      {"25/13/2003", "DD/MM/YYYY", 0},
      {"25 XYZ 2003", "DD MMM YYYY", 0},
      {"25/12/2003", "dd/mm/yyyy", 0},
      {"25/12", "DD/MM", 0},
      {"10:75", "HH:NN", 0},
      {"25/12/2003 10:75", "DD/MM/YYYY HH:NN", At(2003, 12, 25)},
      {"", "DD/MM/YYYY", 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Value) + " | " + c.Format);
    EXPECT_DOUBLE_EQ(Parse(c.Value, c.Format), c.Expected);
  }
}

TEST_F(DateTextParsing, SeparatorsAlignFormatAndValue)
{
  EXPECT_DOUBLE_EQ(Parse("2003-12-25", "YYYY-MM-DD", '-', ':'), At(2003, 12, 25));
  // With other separators "-" is a character of no field in both texts.
  EXPECT_DOUBLE_EQ(Parse("2003-12-25", "YYYY-MM-DD", '/', ':'), At(2003, 12, 25));
  EXPECT_DOUBLE_EQ(Parse("25.12.2003 10h30", "DD.MM.YYYY HHhNN", '.', 'h'), At(2003, 12, 25, 10, 30));
  EXPECT_DOUBLE_EQ(Parse("01/02/2003 9:05", "DD/MM/YYYY HH:NN"), At(2003, 2, 1, 9, 5));
}

TEST_F(DateTextParsing, TwoDigitYearsFallIntoAHundredYearWindow)
{
  EXPECT_DOUBLE_EQ(Parse("1/1/76", "D/M/YY"), At(1976, 1, 1));
  EXPECT_DOUBLE_EQ(Parse("1/1/99", "D/M/YY"), At(1999, 1, 1));
  EXPECT_DOUBLE_EQ(Parse("1/1/75", "D/M/YY"), At(2075, 1, 1));
  EXPECT_DOUBLE_EQ(Parse("1/1/01", "D/M/YY"), At(2001, 1, 1));
  EXPECT_DOUBLE_EQ(Parse("1/1/00", "D/M/YY"), 0);  // year 0: no date part
  Environment.Clock = EncodeDate(2080, 6, 1);
  EXPECT_DOUBLE_EQ(Parse("1/1/30", "D/M/YY"), At(2030, 1, 1));
  EXPECT_DOUBLE_EQ(Parse("1/1/29", "D/M/YY"), At(2129, 1, 1));
}

TEST_F(DateTextParsing, MarkersMakeTwelveHourTimes)
{
  EXPECT_DOUBLE_EQ(Parse("10:30 PM", "HH:NN"), 0.9375);
  EXPECT_DOUBLE_EQ(Parse("10:30 AM", "HH:NN"), At(1899, 12, 30, 10, 30));
  EXPECT_DOUBLE_EQ(Parse("12:30 PM", "HH:NN"), At(1899, 12, 30, 12, 30));
  EXPECT_DOUBLE_EQ(Parse("12:30 AM", "HH:NN"), At(1899, 12, 30, 0, 30));
  EXPECT_DOUBLE_EQ(Parse("22:30 PM", "HH:NN"), 0.9375);
  EXPECT_DOUBLE_EQ(Parse("10:30 pm", "HH:NN"), At(1899, 12, 30, 10, 30));  // case-sensitive
}

TEST_F(DateTextParsing, MarkersComeFromTheLocale)
{
  Environment.Settings.TimePMString = "nachm.";
  Environment.Settings.TimeAMString = "vorm.";
  EXPECT_DOUBLE_EQ(Parse("10:30 nachm.", "HH:NN"), 0.9375);
  EXPECT_DOUBLE_EQ(Parse("10:30 PM", "HH:NN"), At(1899, 12, 30, 10, 30));
  EXPECT_DOUBLE_EQ(Parse("12:05 vorm.", "HH:NN"), At(1899, 12, 30, 0, 5));
  // An empty marker falls back to "PM" and "AM".
  Environment.Settings.TimePMString.clear();
  EXPECT_DOUBLE_EQ(Parse("10:30 PM", "HH:NN"), 0.9375);
}

TEST_F(DateTextParsing, LocaleMonthNamesAreAcceptedToo)
{
  Environment.Settings.ShortMonthNames[2] = "M\xC3\xA4r";
  Environment.Settings.LongMonthNames[9] = "Oktober";
  EXPECT_DOUBLE_EQ(Parse("3 m\xC3\xA4r 2004", "D MMMM YYYY"), At(2004, 3, 3));
  EXPECT_DOUBLE_EQ(Parse("3 OKTOBER 2004", "D MMMMMMM YYYY"), At(2004, 10, 3));
  EXPECT_DOUBLE_EQ(Parse("3 OCT 2004", "D MMM YYYY"), At(2004, 10, 3));
}

TEST_F(DateTextParsing, ConversionsThatFailRaiseTheirMessages)
{
  EXPECT_EQ(ErrorOf([] { Parse("25 December 2003", "DD MMM YYYY"); }),
            FormatMessage(kMsgNotValidInteger, "ber"));
  EXPECT_EQ(ErrorOf([] { Parse("xx/12/2003", "DD/MM/YYYY"); }), FormatMessage(kMsgNotValidInteger, "xx"));
  EXPECT_EQ(ErrorOf([] { Parse("31/04/2003", "DD/MM/YYYY"); }), kMsgDateEncode);
  EXPECT_EQ(ErrorOf([] { Parse("29/02/2003", "DD/MM/YYYY"); }), kMsgDateEncode);
  EXPECT_EQ(ErrorOf([] { Parse("1/1/10000", "D/M/YYYYY"); }), kMsgDateEncode);
  EXPECT_EQ(ErrorOf([] { Parse("24:00", "HH:NN"); }), kMsgTimeEncode);
  EXPECT_DOUBLE_EQ(Parse("29/02/2004", "DD/MM/YYYY"), At(2004, 2, 29));
}

TEST_F(DateTextParsing, TimeBeforeEighteenNinetyNineCountsFromThatDaysMidnight)
{
  const double value = Parse("1/1/1800 06:00", "D/M/YYYY HH:NN");
  EXPECT_EQ(DecodeDate(value).Year, 1800);
  EXPECT_EQ(DecodeTime(value).Hour, 6);
}

}  // namespace
