#pragma once

#include <string>
#include <string_view>

/// Reads a date and time from `value` by `format`, one format character per
/// value character: "D" day, "M" month, "Y" year, "H" hour, "N" minute,
/// "S" second (capitals only); any other format character takes no field.
/// The blank, "/", ":", `dateSeparator` and `timeSeparator` separate fields;
/// the format and the value are first aligned at their separators, so that
/// 1/2/03 fits DD/MM/YY. A month of three or more characters is a name:
/// English or the locale's, short or long, any case. Two-digit years move
/// into the 100 years from CurrentYear() - 50. With the locale's afternoon
/// marker (or "PM" when it is empty) hours 1 to 11 gain 12; with the morning
/// marker (or "AM") 12 becomes 0.
///
/// Returns the date value; a date part or time part whose fields are missing
/// or out of range is left out silently (0 for both). Throws
/// EBiffLensError with kMsgNotValidInteger for a field that is no integer,
/// kMsgDateEncode for a day the month does not have or a year past 9999,
/// kMsgTimeEncode for the hour 24.
double DateTimeFromString(std::string_view value, std::string_view format, char dateSeparator,
                          char timeSeparator);

/// The year of CurrentEnvironment().Now().
int CurrentYear();
