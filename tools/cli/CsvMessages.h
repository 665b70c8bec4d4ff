#pragma once

// Texts of the csv command.

/// The csv command's help (csv --help), and what a bad command line prints
/// after its message.
inline constexpr char kCsvUsage[] =
    "Usage: bifflens-cli csv FILE [OPTIONS]\n"
    "Writes worksheets as CSV (UTF-8): by default the first one, to standard output.\n"
    "\n"
    "  --sheet NAME|N        the worksheet of that name, else the Nth (from 1);\n"
    "                        repeatable (several need -o)\n"
    "  --all                 every worksheet (needs -o)\n"
    "  -o, --output PATTERN  write files instead: {n} is the sheet's number,\n"
    "                        {name} its name made safe for file names\n"
    "  --range A1:D20        only these cells (also B2, A:C, 1:5)\n"
    "  --delimiter C         the field separator (default \",\"; \\t for a tab)\n"
    "  --quote minimal|all|none\n"
    "                        quote the fields that need it (default), every field,\n"
    "                        or none\n"
    "  --eol lf|crlf         line ends (default lf)\n"
    "  --bom                 start with a UTF-8 byte order mark\n"
    "  --dates iso|serial    date cells as ISO 8601 (default) or as serial numbers\n"
    "                        of the workbook's own date system\n"
    "  --codepage N          decode BIFF2-7 text with code page N, whatever the\n"
    "                        file says\n"
    "  --formulas            a formula cell's formula (\"=SUM(A1:A3)\") instead of\n"
    "                        its value\n"
    "  --help                show this text\n";
inline constexpr char kCsvUsageHint[] = "Usage: bifflens-cli csv FILE [OPTIONS] (csv --help lists them)\n";

inline constexpr char kMsgCsvUnknownOption[] = "csv: unknown option '%s'";
inline constexpr char kMsgCsvMissingValue[] = "csv: %s needs a value";
inline constexpr char kMsgCsvNoFile[] = "csv: no FILE given";
inline constexpr char kMsgCsvTwoFiles[] = "csv: one FILE only, not also '%s'";
inline constexpr char kMsgCsvBadDelimiter[] =
    "csv: --delimiter takes one character other than a quote, CR or LF (\\t for a tab), not '%s'";
inline constexpr char kMsgCsvBadQuote[] = "csv: --quote takes minimal, all or none, not '%s'";
inline constexpr char kMsgCsvBadEol[] = "csv: --eol takes lf or crlf, not '%s'";
inline constexpr char kMsgCsvBadDates[] = "csv: --dates takes iso or serial, not '%s'";
inline constexpr char kMsgCsvBadCodePage[] =
    "csv: --codepage takes a code page this system decodes (1252, 1251, 10000, 932, ...), not '%s'";
inline constexpr char kMsgCsvBadRange[] = "csv: --range: %s";
inline constexpr char kMsgCsvAllAndSheet[] = "csv: --all and --sheet do not go together";
inline constexpr char kMsgCsvSeveralNeedOutput[] =
    "csv: several sheets need -o PATTERN, one file each";
inline constexpr char kMsgCsvPatternNamesNoSheet[] =
    "csv: -o '%s' gives every sheet the same file; put {n} or {name} in it";
inline constexpr char kMsgCsvNoSuchSheet[] = "csv: the workbook has no worksheet '%s' (it has %s)";
inline constexpr char kMsgCsvSameFile[] = "csv: two sheets would both be written to '%s'";
inline constexpr char kMsgCsvNoWorksheet[] = "The workbook has no worksheet";
inline constexpr char kMsgCsvCannotWriteOutput[] = "Cannot write standard output";
