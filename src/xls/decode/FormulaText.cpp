#include "xls/decode/FormulaText.h"

#include "platform/text/HexText.h"

#include <charconv>
#include <cmath>

namespace {

// The grid of these files (256 columns, 65536 rows): a sheet name that
// could be a reference into it is quoted, as Excel 97-2003 does; "XFD1"
// is a reference only in the larger grid of later versions.
constexpr std::uint32_t kMaxColumns = 256;
constexpr std::uint32_t kMaxRows = 65536;
// Significant digits Excel keeps of a number.
constexpr int kSignificantDigits = 15;
// Positional notation up to this exponent, scientific above.
constexpr int kLargestPositionalExponent = 19;
// A number below 1 whose positional text ("0.000...") would be longer than
// this is written in scientific notation.
constexpr std::size_t kLongestPositionalText = 20;

bool IsAsciiLetter(char c)
{
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(char c)
{
  return c >= '0' && c <= '9';
}

char Upper(char c)
{
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != b[i])
      return false;
  return true;
}

// "AB12": one to three letters naming a column of the grid, then a row
// number of the grid.
bool LooksLikeA1Reference(std::string_view name)
{
  std::size_t i = 0;
  std::uint32_t column = 0;
  while (i < name.size() && IsAsciiLetter(name[i]) && i < 3) {
    column = column * 26 + static_cast<std::uint32_t>(Upper(name[i]) - 'A' + 1);
    ++i;
  }
  if (i == 0 || column > kMaxColumns || i == name.size())
    return false;
  std::uint32_t row = 0;
  for (std::size_t j = i; j < name.size(); ++j) {
    if (!IsDigit(name[j]) || j - i >= 7)
      return false;
    row = row * 10 + static_cast<std::uint32_t>(name[j] - '0');
  }
  return row >= 1 && row <= kMaxRows;
}

// "R", "C", "RC", "R1", "C12", "R1C1", "RC3": a reference in R1C1 style.
bool LooksLikeR1C1Reference(std::string_view name)
{
  std::size_t i = 0;
  auto digits = [&] {
    while (i < name.size() && IsDigit(name[i]))
      ++i;
  };
  if (i < name.size() && Upper(name[i]) == 'R') {
    ++i;
    digits();
  }
  if (i < name.size() && Upper(name[i]) == 'C') {
    ++i;
    digits();
  }
  return i > 0 && i == name.size();
}

void AppendDigits(std::string& out, std::string_view digits, std::size_t from, std::size_t to)
{
  for (std::size_t i = from; i < to; ++i)
    out += i < digits.size() ? digits[i] : '0';
}

void AppendExponent(std::string& out, char sign, int exponent)
{
  out += 'E';
  out += sign;
  if (exponent < 10)
    out += '0';
  AppendWholeNumber(out, static_cast<std::uint64_t>(exponent));
}

}  // namespace

char* WriteColumnName(char* out, std::uint32_t column)
{
  constexpr std::uint32_t kLetters = 26;
  // The columns of these files have one or two letters.
  if (column < kLetters) {
    *out++ = static_cast<char>('A' + column);
    return out;
  }
  if (column < kLetters * (kLetters + 1)) {
    *out++ = static_cast<char>('A' + column / kLetters - 1);
    *out++ = static_cast<char>('A' + column % kLetters);
    return out;
  }
  char letters[kLongestColumnName];
  std::size_t count = 0;
  std::uint32_t n = column + 1;
  while (n > 0 && count < kLongestColumnName) {
    letters[count++] = static_cast<char>('A' + (n - 1) % 26);
    n = (n - 1) / 26;
  }
  while (count > 0)
    *out++ = letters[--count];
  return out;
}

// Backwards from the last digit, two a step, from a table: row numbers
// are most of a reference's text, and a cells listing writes millions.
char* WriteWholeNumber(char* out, std::uint64_t value)
{
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  // Row numbers have at most five digits.
  std::size_t digits = value < 10       ? 1
                       : value < 100    ? 2
                       : value < 1000   ? 3
                       : value < 10000  ? 4
                       : value < 100000 ? 5
                                        : 6;
  for (std::uint64_t limit = 1000000; digits < kLongestWholeNumber && value >= limit; limit *= 10)
    ++digits;
  char* const end = out + digits;
  char* at = end;
  while (value >= 100) {
    const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
    value /= 100;
    *--at = kPairs[pair + 1];
    *--at = kPairs[pair];
  }
  if (value >= 10) {
    *--at = kPairs[value * 2 + 1];
    *--at = kPairs[value * 2];
  } else {
    *--at = static_cast<char>('0' + value);
  }
  return end;
}

char* WriteCellReference(char* out, std::uint32_t row, std::uint32_t column, bool rowRelative,
                         bool columnRelative)
{
  if (!columnRelative)
    *out++ = '$';
  out = WriteColumnName(out, column);
  if (!rowRelative)
    *out++ = '$';
  return WriteWholeNumber(out, std::uint64_t{row} + 1);
}

void AppendColumnName(std::string& out, std::uint32_t column)
{
  char text[kLongestColumnName];
  out.append(text, WriteColumnName(text, column));
}

void AppendCellReference(std::string& out, std::uint32_t row, std::uint32_t column,
                         bool rowRelative, bool columnRelative)
{
  char text[kLongestCellReference];
  out.append(text, WriteCellReference(text, row, column, rowRelative, columnRelative));
}

void AppendWholeNumber(std::string& out, std::uint64_t value)
{
  char text[kLongestWholeNumber];
  out.append(text, WriteWholeNumber(text, value));
}

std::string CellName(std::uint32_t row, std::uint32_t column)
{
  std::string name;
  AppendCellReference(name, row, column);
  return name;
}

void AppendFormulaNumber(std::string& out, double value)
{
  if (!std::isfinite(value)) {
    out += "#NUM!";
    return;
  }
  if (value == 0) {
    out += '0';
    return;
  }
  if (value < 0) {
    out += '-';
    value = -value;
  }
  // A whole number of at most 15 digits is exact as it is.
  if (value < 1e15 && value == std::trunc(value)) {
    AppendWholeNumber(out, static_cast<std::uint64_t>(value));
    return;
  }
  // "d.dddddddddddddde+XX": the 15 significant digits, rounded once, and
  // the decimal exponent (rounding may carry into it, which the exponent
  // then already shows).
  char buffer[40];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value,
                                     std::chars_format::scientific, kSignificantDigits - 1);
  char digits[kSignificantDigits + 1];
  std::size_t count = 0;
  const char* p = buffer;
  for (; p < written.ptr && *p != 'e'; ++p)
    if (IsDigit(*p) && count < kSignificantDigits)
      digits[count++] = *p;
  int exponent = 0;
  if (p < written.ptr)
    std::from_chars(p + (p[1] == '+' ? 2 : 1), written.ptr, exponent);
  while (count > 1 && digits[count - 1] == '0')
    --count;
  const std::string_view significant(digits, count);

  auto scientific = [&](char sign, int magnitude) {
    out += digits[0];
    if (count > 1) {
      out += '.';
      AppendDigits(out, significant, 1, count);
    }
    AppendExponent(out, sign, magnitude);
  };
  if (exponent > kLargestPositionalExponent) {
    scientific('+', exponent);
    return;
  }
  if (exponent < 0) {
    const std::size_t leadingZeros = static_cast<std::size_t>(-exponent - 1);
    if (2 + leadingZeros + count > kLongestPositionalText) {
      scientific('-', -exponent);
      return;
    }
    out += "0.";
    out.append(leadingZeros, '0');
    out += significant;
    return;
  }
  const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
  AppendDigits(out, significant, 0, integerDigits);
  if (count > integerDigits) {
    out += '.';
    AppendDigits(out, significant, integerDigits, count);
  }
}

void AppendQuotedText(std::string& out, std::string_view text)
{
  out += '"';
  for (const char c : text) {
    if (c == '"')
      out += '"';
    out += c;
  }
  out += '"';
}

bool SheetNameNeedsQuotes(std::string_view name)
{
  if (name.empty() || IsDigit(name[0]))
    return true;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.')
      continue;
    return true;
  }
  return LooksLikeA1Reference(name) || LooksLikeR1C1Reference(name) ||
         EqualsIgnoringCase(name, "TRUE") || EqualsIgnoringCase(name, "FALSE");
}

void AppendSheetName(std::string& out, std::string_view name)
{
  if (!SheetNameNeedsQuotes(name)) {
    out += name;
    return;
  }
  // No sheet name Excel accepts holds a control character; one from a
  // damaged or foreign file is shown escaped, never raw.
  out += '\'';
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\x" + HexByte(byte);
      continue;
    }
    if (c == '\'')
      out += '\'';
    out += c;
  }
  out += '\'';
}
