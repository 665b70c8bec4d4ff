#include "support/FormulaBuilder.h"

#include "support/BiffBuilder.h"

#include <bit>

namespace {

constexpr std::uint16_t kRowRelative = 0x8000;
constexpr std::uint16_t kColumnRelative = 0x4000;

std::uint16_t Flags(bool rowRelative, bool columnRelative)
{
  return static_cast<std::uint16_t>((rowRelative ? kRowRelative : 0) |
                                    (columnRelative ? kColumnRelative : 0));
}

bool IsLatin1(std::u16string_view units)
{
  for (const char16_t u : units)
    if (u > 0xFF)
      return false;
  return true;
}

// A BIFF8 string body: option byte, then 8-bit or UTF-16 characters.
void UnicodeBody(std::vector<std::uint8_t>& out, const std::u16string& units, bool wide)
{
  out.push_back(wide ? 1 : 0);
  for (const char16_t u : units) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    if (wide)
      out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
}

}  // namespace

void TFormulaBuilder::U16(std::uint16_t v)
{
  FTokens.push_back(static_cast<std::uint8_t>(v & 0xFF));
  FTokens.push_back(static_cast<std::uint8_t>(v >> 8));
}

void TFormulaBuilder::ExtraU16(std::uint16_t v)
{
  FExtra.push_back(static_cast<std::uint8_t>(v & 0xFF));
  FExtra.push_back(static_cast<std::uint8_t>(v >> 8));
}

void TFormulaBuilder::CellFields(std::uint32_t row, std::uint32_t column, bool rowRelative,
                                 bool columnRelative)
{
  if (Biff8()) {
    U16(static_cast<std::uint16_t>(row));
    U16(static_cast<std::uint16_t>((column & 0x3FFF) | Flags(rowRelative, columnRelative)));
  } else {
    U16(static_cast<std::uint16_t>((row & 0x3FFF) | Flags(rowRelative, columnRelative)));
    U8(static_cast<std::uint8_t>(column));
  }
}

void TFormulaBuilder::AreaFields(std::uint32_t row1, std::uint32_t column1, std::uint32_t row2,
                                 std::uint32_t column2, bool rowRelative, bool columnRelative)
{
  const std::uint16_t flags = Flags(rowRelative, columnRelative);
  if (Biff8()) {
    U16(static_cast<std::uint16_t>(row1));
    U16(static_cast<std::uint16_t>(row2));
    U16(static_cast<std::uint16_t>((column1 & 0x3FFF) | flags));
    U16(static_cast<std::uint16_t>((column2 & 0x3FFF) | flags));
  } else {
    U16(static_cast<std::uint16_t>((row1 & 0x3FFF) | flags));
    U16(static_cast<std::uint16_t>((row2 & 0x3FFF) | flags));
    U8(static_cast<std::uint8_t>(column1));
    U8(static_cast<std::uint8_t>(column2));
  }
}

TFormulaBuilder& TFormulaBuilder::Int(std::uint16_t value)
{
  U8(0x1E);
  U16(value);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Num(double value)
{
  U8(0x1F);
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i)
    U8(static_cast<std::uint8_t>(bits >> (8 * i)));
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Str(std::string_view utf8, bool wide)
{
  U8(0x17);
  if (Biff8()) {
    const std::u16string units = Utf16Units(utf8);
    U8(static_cast<std::uint8_t>(units.size()));
    UnicodeBody(FTokens, units, wide || !IsLatin1(units));
  } else {
    U8(static_cast<std::uint8_t>(utf8.size()));
    FTokens.insert(FTokens.end(), utf8.begin(), utf8.end());
  }
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Bool(bool value)
{
  U8(0x1D);
  U8(value ? 1 : 0);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Err(std::uint8_t code)
{
  U8(0x1C);
  U8(code);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::MissArg()
{
  U8(0x16);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Array(std::size_t columns, std::size_t rows,
                                        std::initializer_list<TArrayValue> values, std::uint8_t cls)
{
  U8(static_cast<std::uint8_t>(0x00 | cls));
  for (int i = 0; i < (Biff2() ? 6 : 7); ++i)
    U8(0);
  if (Biff8()) {
    FExtra.push_back(static_cast<std::uint8_t>(columns - 1));
    ExtraU16(static_cast<std::uint16_t>(rows - 1));
  } else {
    FExtra.push_back(static_cast<std::uint8_t>(columns == 256 ? 0 : columns));
    ExtraU16(static_cast<std::uint16_t>(rows));
  }
  for (const TArrayValue& v : values) {
    switch (v.Kind) {
    case TArrayValue::TKind::akNil:
      FExtra.push_back(0x00);
      FExtra.insert(FExtra.end(), 8, 0);
      break;
    case TArrayValue::TKind::akNumber: {
      FExtra.push_back(0x01);
      const auto bits = std::bit_cast<std::uint64_t>(v.Number);
      for (int i = 0; i < 8; ++i)
        FExtra.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
      break;
    }
    case TArrayValue::TKind::akString:
      FExtra.push_back(0x02);
      if (Biff8()) {
        const std::u16string units = Utf16Units(v.Text);
        ExtraU16(static_cast<std::uint16_t>(units.size()));
        UnicodeBody(FExtra, units, v.Wide || !IsLatin1(units));
      } else {
        FExtra.push_back(static_cast<std::uint8_t>(v.Text.size()));
        FExtra.insert(FExtra.end(), v.Text.begin(), v.Text.end());
      }
      break;
    case TArrayValue::TKind::akBool:
    case TArrayValue::TKind::akError:
      FExtra.push_back(v.Kind == TArrayValue::TKind::akBool ? 0x04 : 0x10);
      FExtra.push_back(v.Code);
      FExtra.insert(FExtra.end(), 7, 0);
      break;
    }
  }
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Op(std::uint8_t ptg)
{
  U8(ptg);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Ref(std::uint32_t row, std::uint32_t column, bool rowRelative,
                                      bool columnRelative, std::uint8_t cls)
{
  U8(static_cast<std::uint8_t>(0x04 | cls));
  CellFields(row, column, rowRelative, columnRelative);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Area(std::uint32_t row1, std::uint32_t column1,
                                       std::uint32_t row2, std::uint32_t column2, bool relative,
                                       std::uint8_t cls)
{
  U8(static_cast<std::uint8_t>(0x05 | cls));
  AreaFields(row1, column1, row2, column2, relative, relative);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::AreaFlags(std::uint32_t row1, std::uint32_t column1,
                                            std::uint32_t row2, std::uint32_t column2,
                                            bool rowRelative, bool columnRelative)
{
  U8(0x25);
  AreaFields(row1, column1, row2, column2, rowRelative, columnRelative);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::RefN(int row, int column, bool rowRelative, bool columnRelative)
{
  U8(0x4C);
  const auto r = static_cast<std::uint32_t>(row);
  const auto c = static_cast<std::uint32_t>(column);
  CellFields(Biff8() ? (r & 0xFFFF) : (r & 0x3FFF), c & 0xFF, rowRelative, columnRelative);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::AreaN(int row1, int column1, int row2, int column2)
{
  U8(0x2D);
  const std::uint32_t mask = Biff8() ? 0xFFFF : 0x3FFF;
  AreaFields(static_cast<std::uint32_t>(row1) & mask, static_cast<std::uint32_t>(column1) & 0xFF,
             static_cast<std::uint32_t>(row2) & mask, static_cast<std::uint32_t>(column2) & 0xFF,
             true, true);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::RefErr()
{
  U8(0x4A);
  for (int i = 0; i < (Biff8() ? 4 : 3); ++i)
    U8(0);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::AreaErr()
{
  U8(0x2B);
  for (int i = 0; i < (Biff8() ? 8 : 6); ++i)
    U8(0);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Ref3d(std::uint16_t ixti, std::uint32_t row, std::uint32_t column,
                                        bool relative)
{
  U8(0x5A);
  U16(ixti);
  CellFields(row, column, relative, relative);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Area3d(std::uint16_t ixti, std::uint32_t row1,
                                         std::uint32_t column1, std::uint32_t row2,
                                         std::uint32_t column2, bool relative)
{
  U8(0x3B);
  U16(ixti);
  AreaFields(row1, column1, row2, column2, relative, relative);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::RefErr3d(std::uint16_t ixti)
{
  U8(0x5C);
  U16(ixti);
  U16(0);
  U16(0);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Ref3d5(std::int16_t ixals, std::int16_t first,
                                         std::int16_t last, std::uint32_t row,
                                         std::uint32_t column, bool relative)
{
  U8(0x5A);
  U16(static_cast<std::uint16_t>(ixals));
  for (int i = 0; i < 8; ++i)
    U8(0);
  U16(static_cast<std::uint16_t>(first));
  U16(static_cast<std::uint16_t>(last));
  CellFields(row, column, relative, relative);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Area3d5(std::int16_t ixals, std::int16_t first,
                                          std::int16_t last, std::uint32_t row1,
                                          std::uint32_t column1, std::uint32_t row2,
                                          std::uint32_t column2)
{
  U8(0x3B);
  U16(static_cast<std::uint16_t>(ixals));
  for (int i = 0; i < 8; ++i)
    U8(0);
  U16(static_cast<std::uint16_t>(first));
  U16(static_cast<std::uint16_t>(last));
  AreaFields(row1, column1, row2, column2, false, false);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Sheet(std::int16_t externSheet)
{
  U8(0x1A);
  for (int i = 0; i < (Biff2() ? 4 : 6); ++i)
    U8(0);
  U16(static_cast<std::uint16_t>(externSheet));
  for (int i = 0; i < (Biff2() ? 1 : 2); ++i)
    U8(0);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::EndSheet()
{
  U8(0x1B);
  for (int i = 0; i < (Biff2() ? 3 : 4); ++i)
    U8(0);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Name(std::uint16_t index, std::uint8_t cls)
{
  U8(static_cast<std::uint8_t>(0x03 | cls));
  U16(index);
  int unused = 2;
  if (FVersion < TExcelVersion::evExcel3)
    unused = 5;
  else if (FVersion < TExcelVersion::evExcel5)
    unused = 8;
  else if (FVersion < TExcelVersion::evExcel8)
    unused = 12;
  for (int i = 0; i < unused; ++i)
    U8(0);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::NameX(std::uint16_t ixti, std::uint16_t index)
{
  U8(0x39);
  U16(ixti);
  U16(index);
  U16(0);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::NameX5(std::int16_t ixals, std::uint16_t index)
{
  U8(0x39);
  U16(static_cast<std::uint16_t>(ixals));
  for (int i = 0; i < 8; ++i)
    U8(0);
  U16(index);
  for (int i = 0; i < 12; ++i)
    U8(0);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Func(std::uint16_t index, std::uint8_t cls)
{
  U8(static_cast<std::uint8_t>(0x01 | cls));
  if (FVersion < TExcelVersion::evExcel4)
    U8(static_cast<std::uint8_t>(index));
  else
    U16(index);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::FuncVar(std::uint16_t index, std::uint8_t count, bool command,
                                          bool prompt, std::uint8_t cls)
{
  U8(static_cast<std::uint8_t>(0x02 | cls));
  U8(static_cast<std::uint8_t>(count | (prompt ? 0x80 : 0)));
  if (FVersion < TExcelVersion::evExcel4)
    U8(static_cast<std::uint8_t>(index));
  else
    U16(static_cast<std::uint16_t>(index | (command ? 0x8000 : 0)));
  return *this;
}

TFormulaBuilder& TFormulaBuilder::FuncCE(std::uint8_t index, std::uint8_t count)
{
  U8(0x38);
  U8(count);
  U8(index);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Attr(std::uint8_t flags, std::uint16_t data)
{
  U8(0x19);
  U8(flags);
  if (Biff2())
    U8(static_cast<std::uint8_t>(data));
  else
    U16(data);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::AttrChoose(std::uint16_t count)
{
  Attr(0x04, count);
  for (std::uint16_t i = 0; i <= count; ++i) {
    if (Biff2())
      U8(static_cast<std::uint8_t>(i));
    else
      U16(i);
  }
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Space(std::uint8_t type, std::uint8_t count)
{
  return Attr(0x40, static_cast<std::uint16_t>(type | count << 8));
}

TFormulaBuilder& TFormulaBuilder::MemArea(std::uint16_t cce,
                                          std::initializer_list<std::uint32_t> rangeRows)
{
  U8(0x26);
  for (int i = 0; i < (Biff2() ? 3 : 4); ++i)
    U8(0);
  if (Biff2())
    U8(static_cast<std::uint8_t>(cce));
  else
    U16(cce);
  ExtraU16(static_cast<std::uint16_t>(rangeRows.size()));
  for (const std::uint32_t row : rangeRows) {
    // One range per row given: that row, columns 0-1.
    ExtraU16(static_cast<std::uint16_t>(row));
    ExtraU16(static_cast<std::uint16_t>(row));
    if (Biff8()) {
      ExtraU16(0);
      ExtraU16(1);
    } else {
      FExtra.push_back(0);
      FExtra.push_back(1);
    }
  }
  return *this;
}

TFormulaBuilder& TFormulaBuilder::MemFunc(std::uint16_t cce)
{
  U8(0x29);
  if (Biff2())
    U8(static_cast<std::uint8_t>(cce));
  else
    U16(cce);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Exp(std::uint16_t row, std::uint16_t column)
{
  U8(0x01);
  U16(row);
  if (Biff2())
    U8(static_cast<std::uint8_t>(column));
  else
    U16(column);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Tbl(std::uint16_t row, std::uint16_t column)
{
  U8(0x02);
  U16(row);
  if (Biff2())
    U8(static_cast<std::uint8_t>(column));
  else
    U16(column);
  return *this;
}

TFormulaBuilder& TFormulaBuilder::Raw(std::initializer_list<std::uint8_t> bytes)
{
  FTokens.insert(FTokens.end(), bytes.begin(), bytes.end());
  return *this;
}

TFormulaBuilder& TFormulaBuilder::RawExtra(std::initializer_list<std::uint8_t> bytes)
{
  FExtra.insert(FExtra.end(), bytes.begin(), bytes.end());
  return *this;
}
