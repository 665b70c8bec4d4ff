#pragma once

#include <climits>
#include <string_view>

/// A rectangle of cells, 0-based and inclusive. The default is the whole
/// sheet.
struct TCellRange {
  int FirstRow = 0;
  int FirstColumn = 0;
  int LastRow = INT_MAX;
  int LastColumn = INT_MAX;

  bool operator==(const TCellRange&) const = default;
};

/// The largest grid a range may name: Excel's, 1048576 rows by 16384
/// columns (A to XFD).
inline constexpr int kMostRangeRows = 1048576;
inline constexpr int kMostRangeColumns = 16384;

/// Reads a range as Excel writes one: "A1:D20", a single cell "B2", whole
/// columns "A:C" or whole rows "1:5"; "$" signs and lower-case letters are
/// taken, corners in either order. Throws EBiffLensError(kMsgBadCellRange)
/// with the text for anything else, or a place outside the grid above.
TCellRange ParseCellRange(std::string_view text);
