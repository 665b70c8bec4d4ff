#pragma once

// Building blocks of the record layouts: named values, and the structures
// many records share (strings of every version, cell ranges, the header of
// the later "future" records), read through a cursor so that they are
// recorded where they are read.

#include "platform/text/HexText.h"
#include "platform/text/Utf.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/RecordCursor.h"
#include "xls/decode/Strings.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

/// One value of an enumeration and its name.
struct TNamedValue {
  std::int64_t Value;
  const char* Name;
};

/// The name of `value` in `names`, or "unknown (N)".
template <std::size_t N>
std::string NameOf(const TNamedValue (&names)[N], std::int64_t value)
{
  for (const TNamedValue& named : names)
    if (named.Value == value)
      return named.Name;
  return "unknown (" + std::to_string(value) + ")";
}

/// "#RRGGBB".
std::string RgbText(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
/// The same for red, green and blue in the low three bytes (red lowest).
inline std::string RgbText(std::uint32_t rgb)
{
  return RgbText(static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
                 static_cast<std::uint8_t>(rgb >> 16));
}

// [MS-XLS] 2.4.52 CodePage, the values Excel writes.
inline constexpr TNamedValue kCodePages[] = {
    {367, "ASCII"},          {437, "IBM PC (OEM United States)"}, {720, "OEM Arabic"},
    {737, "OEM Greek"},      {775, "OEM Baltic"},      {850, "OEM Latin I"},  {852, "OEM Latin II"},
    {855, "OEM Cyrillic"},   {857, "OEM Turkish"},     {858, "OEM Multilingual Latin I"},
    {860, "OEM Portuguese"}, {861, "OEM Icelandic"},   {862, "OEM Hebrew"}, {863, "OEM Canadian French"},
    {864, "OEM Arabic"},     {865, "OEM Nordic"},      {866, "OEM Cyrillic (Russian)"},
    {869, "OEM Modern Greek"}, {874, "Thai"},          {932, "Japanese Shift-JIS"},
    {936, "Simplified Chinese GBK"}, {949, "Korean"},  {950, "Traditional Chinese Big5"},
    {1200, "UTF-16"},        {1250, "Windows Central European"}, {1251, "Windows Cyrillic"},
    {1252, "Windows Latin 1"}, {1253, "Windows Greek"}, {1254, "Windows Turkish"},
    {1255, "Windows Hebrew"}, {1256, "Windows Arabic"}, {1257, "Windows Baltic"},
    {1258, "Windows Vietnamese"}, {1361, "Korean (Johab)"}, {10000, "Apple Roman"},
    {32768, "Apple Roman"},  {32769, "Windows Latin 1 (BIFF2-3)"},
};

/// A number as a cell shows it in a formula: up to 15 significant digits.
std::string NumberText(double value);
/// "A1" style name of a cell (0-based row and column).
std::string CellText(std::uint32_t row, std::uint32_t column);
/// "A1:B2" style name of a range; one cell's name when it is one cell.
std::string RangeText(std::uint32_t firstRow, std::uint32_t lastRow, std::uint32_t firstColumn,
                      std::uint32_t lastColumn);
/// A size in twips as points ("12 pt", "14.25 pt").
std::string TwipsText(std::int64_t twips);
/// What a font index stands for: fonts are numbered in the order of the
/// FONT records, 4 left out.
std::string FontIndexText(std::int64_t index);
/// "bit 3" / "bits 4-7" of a bit field.
std::string BitsText(unsigned first, unsigned count);
/// An error code's text ("#DIV/0!").
std::string ErrorValueText(std::uint8_t code);

// [MS-XLS] 2.5.240 Ref8 / 2.5.241 RefU: a range of cells, first and last
// row and column.
template <typename C>
void ReadRef8(C& c, const char* name)
{
  c.Begin(name);
  const std::uint16_t firstRow = c.U16("first_row");
  const std::uint16_t lastRow = c.U16("last_row");
  const std::uint16_t firstCol = c.U16("first_col");
  const std::uint16_t lastCol = c.U16("last_col");
  c.End();
  c.Meaning([&] { return RangeText(firstRow, lastRow, firstCol, lastCol); });
}

/// RefU: 16-bit rows, 8-bit columns.
template <typename C>
void ReadRefU(C& c, const char* name)
{
  c.Begin(name);
  const std::uint16_t firstRow = c.U16("first_row");
  const std::uint16_t lastRow = c.U16("last_row");
  const std::uint8_t firstCol = c.U8("first_col");
  const std::uint8_t lastCol = c.U8("last_col");
  c.End();
  c.Meaning([&] { return RangeText(firstRow, lastRow, firstCol, lastCol); });
}

/// [MS-XLS] 2.5.245 SqRefU: a count of ranges, then that many Ref8U.
template <typename C>
void ReadSqRef(C& c, const char* name)
{
  c.Begin(name);
  const std::size_t count = c.U16("count");
  for (std::size_t i = 0; i < count && !c.Short(); ++i)
    ReadRef8(c, "range");
  c.End();
}

/// The option byte of a BIFF8 string ([MS-XLS] 2.5.294): bit 0 for UTF-16.
template <typename C>
bool ReadStringOptions(C& c, const char* name = "options")
{
  const std::uint8_t options = c.U8(name);
  c.Flag("high_byte", 0);
  c.Flag("ext_st", 2);
  c.Flag("rich_st", 3);
  return options & 0x01;
}

/// `count` characters after an option byte (read here), as many as the
/// record holds: UTF-16 or 8-bit Latin-1 ([MS-XLS] XLUnicodeStringNoCch).
template <typename C>
std::string ReadUnicodeChars(C& c, std::size_t count, const char* name)
{
  if (c.Remaining() == 0) {
    // Some writers leave out the option byte of an empty text; a text that
    // was due marks the record short.
    if (count > 0)
      c.Bytes(name, 1);
    return {};
  }
  const bool wide = ReadStringOptions(c);
  const auto bytes = c.BytesUpTo(name, wide ? 2 * count : count);
  std::string text;
  if (wide)
    AppendUtf16LeBytesAsUtf8(bytes, text);
  else
    AppendLatin1AsUtf8(bytes, text);
  c.Value([&] { return text; });
  return text;
}

/// [MS-XLS] 2.5.294 XLUnicodeString: a 16-bit character count, the option
/// byte, the characters.
template <typename C>
std::string ReadUnicodeString16(C& c, const char* countName, const char* name)
{
  const std::size_t count = c.U16(countName);
  if (c.Short())
    return {};
  return ReadUnicodeChars(c, count, name);
}

/// [MS-XLS] 2.5.240 ShortXLUnicodeString: an 8-bit count, then as above.
template <typename C>
std::string ReadUnicodeString8(C& c, const char* countName, const char* name)
{
  const std::size_t count = c.U8(countName);
  if (c.Short())
    return {};
  return ReadUnicodeChars(c, count, name);
}

/// `count` bytes of 8-bit text of the workbook's code page (before BIFF8).
template <typename C>
std::string ReadByteChars(C& c, const TDecodeContext& context, std::size_t count, const char* name)
{
  std::string text;
  Append8Bit(c.BytesUpTo(name, count), context, text);
  c.Value([&] { return text; });
  return text;
}

/// 8-bit text where some writers put a BIFF8 option byte first: a leading 0
/// byte is passed over, then `count` bytes as above.
template <typename C>
std::string ReadByteCharsAfterZero(C& c, const TDecodeContext& context, std::size_t count,
                                   const char* name)
{
  if (c.Remaining() > 0 && c.PeekU8() == 0)
    c.U8("options");
  return ReadByteChars(c, context, count, name);
}

/// A byte string before BIFF8: an 8-bit length, then the bytes.
template <typename C>
std::string ReadByteString8(C& c, const TDecodeContext& context, const char* countName,
                            const char* name)
{
  const std::size_t count = c.U8(countName);
  if (c.Short())
    return {};
  return ReadByteChars(c, context, count, name);
}

/// A byte string with a 16-bit length.
template <typename C>
std::string ReadByteString16(C& c, const TDecodeContext& context, const char* countName,
                             const char* name)
{
  const std::size_t count = c.U16(countName);
  if (c.Short())
    return {};
  return ReadByteChars(c, context, count, name);
}

/// A text of the record's version: XLUnicodeString (16-bit count) from
/// BIFF8 on, an 8-bit or 16-bit counted byte string before.
template <typename C>
std::string ReadVersionString(C& c, const TDecodeContext& context, bool shortCountBefore8,
                              const char* countName, const char* name)
{
  if (context.Biff8())
    return ReadUnicodeString16(c, countName, name);
  return shortCountBefore8 ? ReadByteString8(c, context, countName, name)
                           : ReadByteString16(c, context, countName, name);
}

/// `count` UTF-16 characters without an option byte.
template <typename C>
std::string ReadUtf16Chars(C& c, std::size_t count, const char* name)
{
  std::string text;
  AppendUtf16LeBytesAsUtf8(c.BytesUpTo(name, 2 * count), text);
  c.Value([&] { return text; });
  return text;
}

/// [MS-XLS] 2.5.135 FrtHeader: the record's own code again, flags and 8
/// reserved bytes, at the start of the later "future" records.
template <typename C>
void ReadFrtHeader(C& c)
{
  c.Begin("frt_header");
  c.U16("rt");
  c.Meaning([] { return std::string("the record's own type"); });
  c.U16("frt_flags");
  c.Flag("frt_ref", 0);
  c.Flag("frt_alert", 1);
  c.Skip("reserved", 8);
  c.End();
}

/// [MS-XLS] 2.5.136 FrtHeaderOld: code and flags only (chart future records).
template <typename C>
void ReadFrtHeaderOld(C& c)
{
  c.Begin("frt_header");
  c.U16("rt");
  c.U16("frt_flags");
  c.Flag("frt_ref", 0);
  c.Flag("frt_alert", 1);
  c.End();
}

/// [MS-XLS] 2.5.178 LongRGB: red, green, blue and a reserved byte. Returns
/// the colour (red in the lowest byte).
template <typename C>
std::uint32_t ReadLongRgb(C& c, const char* name)
{
  c.Begin(name);
  const std::uint8_t red = c.U8("red");
  const std::uint8_t green = c.U8("green");
  const std::uint8_t blue = c.U8("blue");
  c.U8("reserved");
  c.End();
  c.Meaning([&] { return RgbText(red, green, blue); });
  return static_cast<std::uint32_t>(red | green << 8 | blue << 16);
}

/// A 16.16 fixed-point number ([MS-OSHARED] FixedPoint), shown as a decimal.
template <typename C>
void ReadFixedPoint(C& c, const char* name)
{
  const std::int32_t raw = c.I32(name);
  c.Meaning([&] { return NumberText(raw / 65536.0); });
}

/// A formula's token bytes, `size` of them, as one raw field (their listing
/// comes with the formula decoder).
template <typename C>
void ReadTokens(C& c, std::size_t size, const char* name = "formula")
{
  c.BytesUpTo(name, size);
}

/// A field holding a number of bytes that follow: `name` with a meaning.
template <typename C>
std::size_t ReadByteCount16(C& c, const char* name)
{
  const std::size_t size = c.U16(name);
  c.Meaning([&] { return std::to_string(size) + " bytes"; });
  return size;
}
