#pragma once

// The pieces of formula text as Excel's formula bar writes them (A1 style,
// English function names, "," between arguments).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// "A" for 0, "Z" for 25, "AA" for 26, "IV" for 255.
void AppendColumnName(std::string& out, std::uint32_t column);
/// A1 reference, "$" before each absolute part: "$B$3", "B$3", "C7".
void AppendCellReference(std::string& out, std::uint32_t row, std::uint32_t column,
                         bool rowRelative = true, bool columnRelative = true);
/// A whole number in decimal digits ("0", "65536").
void AppendWholeNumber(std::string& out, std::uint64_t value);

/// The same into a character buffer, for writers that know their room:
/// each writes at most the characters its constant says and returns the
/// end of what it wrote. Any 32-bit column has at most 7 letters; a row
/// number (the row plus one) at most 10 digits.
inline constexpr std::size_t kLongestColumnName = 7;
inline constexpr std::size_t kLongestWholeNumber = 20;
inline constexpr std::size_t kLongestCellReference = 1 + kLongestColumnName + 1 + 10;
char* WriteColumnName(char* out, std::uint32_t column);
char* WriteWholeNumber(char* out, std::uint64_t value);
char* WriteCellReference(char* out, std::uint32_t row, std::uint32_t column,
                         bool rowRelative = true, bool columnRelative = true);
/// "A1" style name of a cell, for messages.
std::string CellName(std::uint32_t row, std::uint32_t column);
/// A number constant as Excel shows it in a formula: at most 15 significant
/// digits, no trailing zeros, scientific notation ("1E+20", "1.5E-21") for
/// exponents above 19 and for small numbers that would need more than 20
/// characters; "-" before negative numbers. Not-a-number and infinities,
/// which no formula can hold, read "#NUM!".
void AppendFormulaNumber(std::string& out, double value);
/// A text constant in double quotes, quotes inside doubled.
void AppendQuotedText(std::string& out, std::string_view text);
/// True when Excel puts the sheet name (or sheet range, book and sheet)
/// between apostrophes: empty names; characters other than letters, digits,
/// "_" and "."; a leading digit; names that read as a cell reference in A1
/// or R1C1 style ("AB12", "R1C1", "C3"; A1 within the 256 x 65536 grid of
/// these files) or as TRUE or FALSE. Letters beyond ASCII count as letters.
bool SheetNameNeedsQuotes(std::string_view name);
/// `name` between apostrophes (apostrophes inside doubled) when it needs
/// them, else as it is; a control character in it (which needs them) is
/// written escaped, "\x01".
void AppendSheetName(std::string& out, std::string_view name);
/// The text a formula shows for `name`, a name of another book or an item
/// of a DDE or OLE link, whose target is stored as `storedPath` (a SUPBOOK's
/// virtual path, a BIFF2-7 EXTERNSHEET's text): "App|Topic!item",
/// "'C:\dir\Book.xls'!Name"; the name alone for the add-ins.
std::string LinkedNameText(std::string_view storedPath, std::string_view name);
