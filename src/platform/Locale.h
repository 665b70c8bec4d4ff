#pragma once

#include <array>
#include <string>

/// The locale settings the value conversions and the expression evaluator
/// depend on. Plain data: tests build one explicitly, the program takes one
/// from the environment at start-up (LocaleFromEnvironment) and installs it
/// with SetSystemLocale (Environment.h).
///
/// Format texts use these letters (any other character is copied):
///   d / dd      day of month without / with a leading zero
///   m / mm      month number; mmm / mmmm short / long month name
///   yy / yyyy   year with two / four digits
///   h / hh      hour (12-hour when the format holds "AMPM")
///   n / nn      minute;  s / ss  second
///   AMPM        TimeAMString or TimePMString
///   /           the DateSeparator;  :  the TimeSeparator
struct TLocaleSettings {
  /// One byte: a multi-byte separator from the environment falls back to ".".
  char DecimalSeparator = '.';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "m/d/yyyy";
  std::string LongTimeFormat = "h:nn:ss AMPM";
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",
                                             "May",     "June",     "July",      "August",
                                             "September", "October", "November", "December"};
  /// The morning and afternoon markers; either may be empty.
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
};

/// The settings of a US English locale (the defaults of TLocaleSettings).
TLocaleSettings UsEnglishLocale();

/// Reads LC_NUMERIC and LC_TIME as the environment (LANG, LC_ALL...) names
/// them, through a private locale object: the C library's global locale is
/// left untouched, so number parsing elsewhere keeps working with ".".
/// Whatever the environment does not supply keeps its US English default.
TLocaleSettings LocaleFromEnvironment();

/// Turns a C library date or time format ("%m/%d/%y", "%r", "%H:%M:%S") into
/// the letters above; unknown conversions are dropped. Exposed for tests.
std::string FormatFromStrftime(const std::string& cFormat);
