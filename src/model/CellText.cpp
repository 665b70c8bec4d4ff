#include "model/CellText.h"

#include "platform/DateTime.h"
#include "platform/Environment.h"
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
  case TVarType::vtDate:
    // A date cell's day as Excel shows it; a day count with no calendar
    // text is shown as a number, as VarToStr does.
    if (IsDecodableDate(value.AsDate()))
      return ExcelDateTimeToStr(value.AsDate(), CurrentLocale());
    return VarToStr(value);
  default:
    return VarToStr(value);
  }
}
