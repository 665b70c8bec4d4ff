#include "export/CsvFormulaText.h"

std::string_view TCsvFormulaText::FieldText(int row, int column, const TZymCell& cell)
{
  if (!FBook.Formula(FSheet, row, column, FResult))
    return FValues.FieldText(row, column, cell);
  if (!FResult.Ok()) {
    // The cached value is still the cell's truth; the count tells the user
    // which fields are not formulas though they should be.
    if (FUnreadable++ == 0) {
      FFirstRow = row;
      FFirstColumn = column;
    }
    return FValues.FieldText(row, column, cell);
  }
  FText.resize(1);
  FText += FResult.Text;
  return FText;
}
