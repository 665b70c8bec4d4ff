#pragma once

// A sheet's formulas as CSV fields: "=SUM(A1:A3)" where a cell holds a
// formula, the value everywhere else.

#include "export/CsvValue.h"
#include "xls/formula/FormulaBook.h"

#include <string>
#include <string_view>

class TCsvFormulaText final : public TCsvFieldSource {
public:
  /// Reads the formulas of worksheet `sheet` (the model's numbering) from
  /// `book`, and the values of other cells from `values`; both must outlive
  /// this source.
  TCsvFormulaText(TFormulaBook& book, int sheet, TCsvValueText& values)
      : FBook(book), FValues(values), FSheet(sheet)
  {
    FText.push_back('=');
  }

  std::string_view FieldText(int row, int column, const TZymCell& cell) override;

  /// Formulas whose tokens could not be read; their values were written.
  int Unreadable() const { return FUnreadable; }
  int FirstUnreadableRow() const { return FFirstRow; }
  int FirstUnreadableColumn() const { return FFirstColumn; }

private:
  TFormulaBook& FBook;
  TCsvValueText& FValues;
  int FSheet;
  TFormulaResult FResult;
  std::string FText;  // "=" and the last formula
  int FUnreadable = 0;
  int FFirstRow = 0;
  int FFirstColumn = 0;
};
