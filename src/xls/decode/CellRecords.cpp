#include "xls/decode/CellRecords.h"

std::string LabelText(const TCellRecord& cell, const TDecodeContext& context)
{
  TRecordCursor c(cell.Text);
  switch (cell.LabelForm) {
  case TLabelForm::lfBiff2: return ReadByteChars(c, context, cell.Text.size(), "text");
  case TLabelForm::lfBytes: return ReadByteCharsAfterZero(c, context, cell.Length, "text");
  case TLabelForm::lfUnicode: return ReadUnicodeChars(c, cell.Length, "text");
  }
  return {};
}

std::string FormulaResultText(std::span<const std::uint8_t> result)
{
  if (result.size() < 8)
    return {};
  if (result[6] != 0xFF || result[7] != 0xFF) {
    TRecordCursor number(result);
    return "number " + NumberText(number.F64("value"));
  }
  switch (result[0]) {
  case 0: return "text, in the STRING record that follows";
  case 1: {
    std::string text = FormulaBoolean(result) ? "boolean TRUE" : "boolean FALSE";
    if (result[2] > 1)
      text += " (the byte is " + std::to_string(result[2]) + "; only 1 is TRUE)";
    return text;
  }
  case 2: return "error " + ErrorCodeText(result[2]);
  case 3: return "empty text";
  default: return "unknown result type";
  }
}

std::string SharedStringText(const TDecodeContext& context, std::uint32_t index)
{
  std::string text = "string " + std::to_string(index);
  if (!context.SharedStrings)
    return text;
  if (index >= context.SharedStrings->size())
    return text + ", past the end of the table";
  const TVariant& value = (*context.SharedStrings)[index];
  if (value.Type() == TVarType::vtString)
    text += ": \"" + value.AsString() + "\"";
  return text;
}
