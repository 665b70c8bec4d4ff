#include "xls/decode/CellRecords.h"

std::string LabelText(const TCellRecord& cell, const TDecodeContext& context)
{
  switch (cell.LabelForm) {
  case TLabelForm::lfBiff2: {
    std::string text;
    Append8Bit(cell.Text, context, text);
    return text;
  }
  case TLabelForm::lfBytes: return BytesToString(cell.Text, cell.Length, true, context);
  case TLabelForm::lfUnicode: return UnicodeString(cell.Text, cell.Length);
  }
  return {};
}
