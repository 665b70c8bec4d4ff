#include "xls/decode/Layout.h"

#include "xls/decode/ErrorCodes.h"
#include "xls/decode/FormulaText.h"

std::string RgbText(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
  std::string text = "#";
  text += HexByte(red);
  text += HexByte(green);
  text += HexByte(blue);
  return text;
}

std::string NumberText(double value)
{
  std::string text;
  AppendFormulaNumber(text, value);
  return text;
}

std::string CellText(std::uint32_t row, std::uint32_t column)
{
  return CellName(row, column);
}

std::string RangeText(std::uint32_t firstRow, std::uint32_t lastRow, std::uint32_t firstColumn,
                      std::uint32_t lastColumn)
{
  if (firstRow == lastRow && firstColumn == lastColumn)
    return CellName(firstRow, firstColumn);
  return CellName(firstRow, firstColumn) + ":" + CellName(lastRow, lastColumn);
}

std::string TwipsText(std::int64_t twips)
{
  // A twip is 1/20 point: at most two decimals.
  const std::int64_t hundredths = twips * 5;
  std::string text = std::to_string(hundredths / 100);
  const std::int64_t rest = (hundredths < 0 ? -hundredths : hundredths) % 100;
  if (rest != 0) {
    text += '.';
    text += static_cast<char>('0' + rest / 10);
    if (rest % 10 != 0)
      text += static_cast<char>('0' + rest % 10);
  }
  return text + " pt";
}

std::string FontIndexText(std::int64_t index)
{
  // [MS-XLS] 2.5.129 FontIndex: there is no font 4; FONT records after the
  // fourth are numbered from 5.
  if (index == 4)
    return "font 4 (does not exist)";
  const std::int64_t record = index < 4 ? index + 1 : index;
  return "FONT record " + std::to_string(record) + " of the workbook";
}

std::string BitsText(unsigned first, unsigned count)
{
  if (count <= 1)
    return "bit " + std::to_string(first);
  return "bits " + std::to_string(first) + "-" + std::to_string(first + count - 1);
}

std::string ErrorValueText(std::uint8_t code)
{
  return ErrorCodeText(code);
}
