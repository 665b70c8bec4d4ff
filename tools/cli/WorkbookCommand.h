#pragma once

#include "platform/Variant.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

/// `records FILE`: one JSON line per record raised through OnRecord.
int RunRecordsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `cells [--formulas] FILE`: one JSON line per stored cell, sheet by sheet,
/// row by row; with --formulas a formula cell's line adds its "formula" (or
/// "formula_error" when its tokens cannot be read).
int RunCellsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `names FILE`: one JSON line per defined name: name, sheet (null for the
/// workbook), hidden, builtin, formula.
int RunNamesCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `hex FILE N`: the bytes of record N (from 1) as hex dump lines.
int RunHexCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `stats FILE`: version, record count and per-sheet extent in one JSON
/// object; for an encrypted workbook also "encryption": its scheme and
/// whether it was opened.
int RunStatsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// Reads a record number (a whole number from 1 on); on failure says so on
/// `err` and returns false.
bool ParseRecordNumber(const std::string& text, std::uint64_t& number, std::ostream& err);

class TJsonLineWriter;
/// A cell value's "type" (VarTypeName) and "value" fields, as `cells` writes them.
void WriteCellValue(TJsonLineWriter& json, const TVariant& value);
