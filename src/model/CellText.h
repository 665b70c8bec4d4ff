#pragma once

// How cells and their places are written as text, the same in the viewer,
// the command-line tool and every export.

#include "platform/Variant.h"

#include <string>

/// Header text of grid column `column` (1 for the first sheet column): "A" to
/// "Z", then "AA", "AB", ... "AZ", "BA", ... as spreadsheets name columns.
std::string ColumnName(int column);
/// The A1 reference of the 0-based `row` and `column` ("A1", "AB12"), with
/// "$" before the parts that are absolute ("$A$1", "A$1").
std::string CellReference(int row, int column, bool absoluteRow = false,
                          bool absoluteColumn = false);
/// Text a cell value shows: "True"/"False", nothing for Null or Empty, a
/// string as it is, numbers and dates in their general text form (a date
/// of before 1 March 1900 as Excel counts it, ExcelDateTimeToStr).
std::string CellText(const TVariant& value);
