#pragma once

// Two workbooks compared as a user of their sheets sees them: each cell's
// value (and, when asked, its formula), sheets paired by name and then by
// order. How a cell is stored (which record, which string number, which
// XF) is no difference here.

#include "platform/Variant.h"
#include "xls/compare/WorkbookDiff.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <optional>
#include <string>
#include <vector>

/// One side's cell: its value and its formula's text (or why there is none).
struct TCellSide {
  TVariant Value;
  std::optional<std::string> Formula;       // asked for and the cell has one
  std::optional<std::string> FormulaError;  // its formula could not be read
};

struct TCellDifference {
  TDiffOp Op = TDiffOp::doChanged;
  std::string Sheet;  // A's name for a pair of sheets
  int Row = 0;
  int Column = 0;
  std::optional<TCellSide> A;
  std::optional<TCellSide> B;
};

/// The cells of `a` and `b` that differ, sheet by sheet in A's order (a
/// sheet only B has after them), row by row. `formulas`: compare formula
/// texts too (both workbooks keep their records or formulas).
std::vector<TCellDifference> CompareCells(TOpenedWorkbook& a, TOpenedWorkbook& b, bool formulas);
