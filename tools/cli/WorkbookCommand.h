#pragma once

#include <ostream>
#include <span>
#include <string>

/// `records FILE`: one JSON line per record raised through OnRecord.
int RunRecordsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `cells FILE`: one JSON line per stored cell, sheet by sheet, row by row.
int RunCellsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `hex FILE N`: the bytes of record N (from 1) as hex dump lines.
int RunHexCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `stats FILE`: version, record count and per-sheet extent in one JSON object.
int RunStatsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

/// One hex dump line: 8-digit relative address, up to 16 byte pairs, then
/// the bytes as characters ("." below 0x20 and above 0x7E).
std::string HexDumpLine(std::size_t address, std::span<const std::uint8_t> bytes);
