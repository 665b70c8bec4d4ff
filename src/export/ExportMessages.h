#pragma once

// Fixed texts of the exports.

/// A file an export cannot create or finish: "%s" is the path, the second
/// "%s" what the system said.
inline constexpr char kMsgCannotWriteExport[] = "Cannot write %s: %s";
/// A cell range that is no A1 reference or pair of them.
inline constexpr char kMsgBadCellRange[] =
    "'%s' is no cell range (write it as A1:D20, B2, A:C or 1:5)";
