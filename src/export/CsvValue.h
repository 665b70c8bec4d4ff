#pragma once

// The text of a cell in a CSV field: the same in every locale.

#include "export/CsvFormat.h"
#include "export/DateShape.h"
#include "model/SpreadSheet.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// Where the text of each stored cell's field comes from. The value is the
/// usual source (TCsvValueText); another one, a cell's formula text say,
/// takes its place for a whole export and may fall back to the value.
class TCsvFieldSource {
public:
  virtual ~TCsvFieldSource() = default;
  /// The field text of `cell`, which stands at the 0-based `row` and
  /// `column` of the sheet being written. The view stays valid until the
  /// next call.
  virtual std::string_view FieldText(int row, int column, const TZymCell& cell) = 0;
};

/// Room the writers below may use at `out`.
inline constexpr std::size_t kValueTextRoom = 64;

/// A number as the shortest text that reads back to the same double ("3",
/// "0.1", "1e+20"); zero as "0" whatever its sign, and "#NUM!", Excel's text
/// for a number it cannot hold, for infinities and NaN.
char* WriteNumberText(char* out, double value);

/// The ISO 8601 text of a date cell's value `days` (a 1900-system serial:
/// a 1904 workbook's serials plus 1462, as the reader stores them) by the
/// parts its number format shows:
///   date only        YYYY-MM-DD
///   date and time    YYYY-MM-DDTHH:MM:SS
///   time only        HH:MM:SS (the time of day; whole days are dropped)
///   elapsed ([h])    HH:MM:SS in hours from zero, at least two digits and
///                    as many more as needed ("37:30:00"), "-" before a
///                    negative duration
/// with ".f" to ".fff" after the seconds where the format shows fractions.
/// The value is rounded to the shown unit first, so 23:59:59.7 under
/// "h:mm:ss" is midnight of the next day.
/// The dates are the ones Excel shows: in the 1900 system Excel counts a
/// 29 February 1900 that never was, so serials 1 to 59 are 1900-01-01 to
/// 1900-02-28 (one day later than counting from 1899-12-30 gives), serial 60
/// is "1900-02-29" as Excel shows it, serial 0 is 1899-12-31 (Excel's
/// "1900-01-00"), and from 61 (1900-03-01) on both counts agree.
/// Returns the end, or nullptr when the format shows no date or time part,
/// or the value lies where Excel shows no date (before the date system's
/// first day, after 9999-12-31, an elapsed time past 10^15 units).
char* WriteDateText(char* out, double days, const TDateShape& shape, bool date1904);

/// A date cell's serial in the workbook's own date system: `days` less 1462
/// in a 1904 workbook. The reader's sum can drop the last bits of a small
/// serial (0.1 + 1462 - 1462 is 0.09999999999990905), so the shortest serial
/// that gives the same sum is written, which is the file's own in all but
/// contrived cases.
char* WriteFileSerial(char* out, double days, bool date1904);

/// The usual field source: the cell's value. Numbers by WriteNumberText,
/// dates by WriteDateText (or as a serial by WriteFileSerial where that
/// gives nothing, or when asked for serials), booleans TRUE and FALSE, text
/// and error texts ("#DIV/0!") as stored. A number whose format shows date
/// or time parts is written as a date too, as Excel shows it, though the
/// reader's quicker test ("dd", "mm" or "yy" in the format) missed it.
class TCsvValueText final : public TCsvFieldSource {
public:
  /// `formats`: the workbook's number format texts by index
  /// (TMSExcel::FormatTable()); read now, not kept.
  TCsvValueText(std::span<const std::string> formats, bool date1904, TCsvDates dates);

  std::string_view FieldText(int, int, const TZymCell& cell) override
  {
    return ValueText(cell.Value, cell.FormatIndex);
  }
  /// The text of `value` under number format `formatIndex`.
  std::string_view ValueText(const TVariant& value, int formatIndex);

private:
  /// The shape of a format that shows date or time parts, else nullptr.
  const TDateShape* ShapeOf(int formatIndex) const;

  std::vector<TDateShape> FShapes;  // by format index
  bool FDate1904;
  TCsvDates FDates;
  char FText[kValueTextRoom];
};
