#include "model/CellText.h"

#include "platform/VariantOps.h"

std::string ColumnName(int column)
{
  std::string name;
  for (int n = column; n > 0; n = (n - 1) / 26)
    name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
  return name;
}

std::string CellReference(int row, int column, bool absoluteRow, bool absoluteColumn)
{
  std::string text;
  if (absoluteColumn)
    text += '$';
  text += ColumnName(column + 1);
  if (absoluteRow)
    text += '$';
  text += std::to_string(row + 1);
  return text;
}

std::string CellText(const TVariant& value)
{
  switch (value.Type()) {
  case TVarType::vtEmpty:
  case TVarType::vtNull:
    return {};
  case TVarType::vtBoolean:
    return value.AsBoolean() ? "True" : "False";
  case TVarType::vtString:
    return value.AsString();
  default:
    return VarToStr(value);
  }
}
