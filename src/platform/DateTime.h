#pragma once

#include "platform/Locale.h"

#include <cstdint>
#include <string>
#include <string_view>

/// Date values count days since 30 December 1899; the fraction is the time of
/// day. Negative values lie before 1899-12-30 and, as in the usual convention,
/// their fraction still counts forward from midnight (-1.25 is 29 Dec 1899 6:00).

struct TDateParts {
  int Year = 0;
  int Month = 0;
  int Day = 0;
};

struct TTimeParts {
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int MilliSecond = 0;
};

/// The first and last day a date value may name: 1 January 1 and 31 December 9999.
inline constexpr double kMinDateValue = -693593.0;
inline constexpr double kMaxDateValue = 2958465.0;

/// Whether year 1..9999, month 1..12 and the day exist.
bool IsValidDate(int year, int month, int day);
/// The date value of midnight of that day. Throws EBiffLensError(kMsgDateEncode)
/// for a day that does not exist or a year outside 1..9999.
double EncodeDate(int year, int month, int day);
/// The fraction of a day. Throws EBiffLensError(kMsgTimeEncode) unless
/// hour < 24, minute < 60, second < 60, milliSecond < 1000 (none negative).
double EncodeTime(int hour, int minute, int second, int milliSecond);

/// Whether the date value lies in 1..9999 (and is finite), so that it decodes.
bool IsDecodableDate(double value);
/// Year, month, day of a date value. Throws EBiffLensError(kMsgNotValidDate)
/// with the value's text when IsDecodableDate is false.
TDateParts DecodeDate(double value);
/// Hour, minute, second, millisecond of a date value's time of day, rounded to
/// the nearest millisecond.
TTimeParts DecodeTime(double value);

/// The current local date and time from the system clock. Code that must
/// follow a test's clock asks CurrentEnvironment().Now() instead.
double SystemNow();

/// Text of a date value by a format of the letters described in Locale.h.
/// Throws like DecodeDate for a value outside 1..9999.
std::string FormatDateTime(std::string_view format, double value, const TLocaleSettings& locale);
/// The date in the short date format.
std::string DateToStr(double value, const TLocaleSettings& locale);
/// The date in the short date format, then a blank and the time in the long
/// time format unless the value is exactly midnight: the text form of a date
/// value everywhere in the program (viewer, command-line tool, evaluator).
std::string DateTimeToStr(double value, const TLocaleSettings& locale);

/// Excel's 1900 date system counts a 29 February 1900 that never was: its
/// day 60. Days 1 to 59 (1900-01-01 to 1900-02-28) are one day later than
/// counting from 1899-12-30 gives, day 0 is 1899-12-31, and from day 61
/// (1900-03-01) on both counts agree.
inline constexpr std::int64_t kExcelMissingLeapDay = 60;
/// The calendar day Excel shows for whole day `day` of its 1900 date system
/// ({1900, 2, 29} for day 60). Throws like DecodeDate outside years 1..9999.
TDateParts Excel1900Date(std::int64_t day);
/// DateTimeToStr of a cell's date value, a 1900-system serial, with its day
/// as Excel shows it (Excel1900Date): the text of a date cell.
std::string ExcelDateTimeToStr(double value, const TLocaleSettings& locale);

/// Reads a date written in the short date format's order of day, month and
/// year (taken from the first of the letters d, m, y in the format), separated
/// by the date separator, with optional blanks around. Two numbers mean the
/// year `currentYear`; a year below 100 is put into the 100 years around
/// `currentYear` (from currentYear - 50 on). Throws
/// EBiffLensError(kMsgNotValidDate) with the text for anything else.
double StrToDate(std::string_view text, const TLocaleSettings& locale, int currentYear);

/// The window of two-digit years shared by StrToDate and DateTimeFromString:
/// a year below 100 moves into [currentYear - 50, currentYear + 50).
int ExpandTwoDigitYear(int year, int currentYear);
