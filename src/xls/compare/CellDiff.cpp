#include "xls/compare/CellDiff.h"

#include <algorithm>

namespace {

struct TSheetCells {
  int Index = -1;
  const TSpreadSheet* Sheet = nullptr;
};

/// The rows of a sheet that hold cells, in order.
std::vector<std::pair<int, const TSpreadSheetRow*>> RowsOf(const TSpreadSheet* sheet)
{
  std::vector<std::pair<int, const TSpreadSheetRow*>> rows;
  if (sheet)
    sheet->Cells.ForEachRow([&](int r, const TSpreadSheetRow& row) { rows.emplace_back(r, &row); });
  return rows;
}

std::vector<std::pair<int, const TZymCell*>> CellsOf(const TSpreadSheetRow* row)
{
  std::vector<std::pair<int, const TZymCell*>> cells;
  if (row)
    row->Cols.ForEachCell([&](int c, const TZymCell& cell) { cells.emplace_back(c, &cell); });
  return cells;
}

class TCellComparison {
public:
  TCellComparison(TOpenedWorkbook& a, TOpenedWorkbook& b, bool formulas)
      : FA(a), FB(b), FFormulas(formulas)
  {
  }

  std::vector<TCellDifference> Differences;

  void Sheets(const std::string& name, TSheetCells a, TSheetCells b)
  {
    const auto rowsA = RowsOf(a.Sheet);
    const auto rowsB = RowsOf(b.Sheet);
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < rowsA.size() || j < rowsB.size()) {
      const int rowA = i < rowsA.size() ? rowsA[i].first : INT32_MAX;
      const int rowB = j < rowsB.size() ? rowsB[j].first : INT32_MAX;
      const int row = std::min(rowA, rowB);
      Row(name, a.Index, b.Index, row, rowA == row ? rowsA[i].second : nullptr,
          rowB == row ? rowsB[j].second : nullptr);
      i += rowA == row;
      j += rowB == row;
    }
  }

private:
  std::optional<TCellSide> Side(TOpenedWorkbook& book, int sheet, int row, int column, const TZymCell* cell)
  {
    std::optional<TCellSide> side;
    if (!cell)
      return side;
    side.emplace();
    side->Value = cell->Value;
    if (FFormulas && sheet >= 0 && book.Formulas().Formula(sheet, row, column, FFormula)) {
      if (FFormula.Ok())
        side->Formula = FFormula.Text;
      else
        side->FormulaError = FFormula.Error;
    }
    return side;
  }

  void Row(const std::string& name, int sheetA, int sheetB, int row, const TSpreadSheetRow* a,
           const TSpreadSheetRow* b)
  {
    const auto cellsA = CellsOf(a);
    const auto cellsB = CellsOf(b);
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < cellsA.size() || j < cellsB.size()) {
      const int colA = i < cellsA.size() ? cellsA[i].first : INT32_MAX;
      const int colB = j < cellsB.size() ? cellsB[j].first : INT32_MAX;
      const int column = std::min(colA, colB);
      auto sideA = Side(FA, sheetA, row, column, colA == column ? cellsA[i].second : nullptr);
      auto sideB = Side(FB, sheetB, row, column, colB == column ? cellsB[j].second : nullptr);
      i += colA == column;
      j += colB == column;
      if (sideA && sideB && sideA->Value == sideB->Value && sideA->Formula == sideB->Formula &&
          sideA->FormulaError.has_value() == sideB->FormulaError.has_value())
        continue;
      TCellDifference difference;
      difference.Op = !sideA ? TDiffOp::doAdded : !sideB ? TDiffOp::doRemoved : TDiffOp::doChanged;
      difference.Sheet = name;
      difference.Row = row;
      difference.Column = column;
      difference.A = std::move(sideA);
      difference.B = std::move(sideB);
      Differences.push_back(std::move(difference));
    }
  }

  TOpenedWorkbook& FA;
  TOpenedWorkbook& FB;
  bool FFormulas;
  TFormulaResult FFormula;
};

}  // namespace

std::vector<TCellDifference> CompareCells(TOpenedWorkbook& a, TOpenedWorkbook& b, bool formulas)
{
  const TSpreadSheets& sheetsA = a.Reader().Sheets();
  const TSpreadSheets& sheetsB = b.Reader().Sheets();
  // Sheets pair by name, then the rest by order.
  std::vector<int> partner(static_cast<std::size_t>(sheetsA.Count()), -1);
  std::vector<bool> taken(static_cast<std::size_t>(sheetsB.Count()), false);
  for (int i = 0; i < sheetsA.Count(); ++i)
    for (int j = 0; j < sheetsB.Count(); ++j)
      if (!taken[static_cast<std::size_t>(j)] && sheetsA.Items(i).Caption == sheetsB.Items(j).Caption) {
        partner[static_cast<std::size_t>(i)] = j;
        taken[static_cast<std::size_t>(j)] = true;
        break;
      }
  int next = 0;
  for (int i = 0; i < sheetsA.Count(); ++i) {
    if (partner[static_cast<std::size_t>(i)] >= 0)
      continue;
    while (next < sheetsB.Count() && taken[static_cast<std::size_t>(next)])
      ++next;
    if (next < sheetsB.Count()) {
      partner[static_cast<std::size_t>(i)] = next;
      taken[static_cast<std::size_t>(next)] = true;
    }
  }
  TCellComparison comparison(a, b, formulas);
  for (int i = 0; i < sheetsA.Count(); ++i) {
    const int j = partner[static_cast<std::size_t>(i)];
    comparison.Sheets(sheetsA.Items(i).Caption, {i, &sheetsA.Items(i)},
                      j >= 0 ? TSheetCells{j, &sheetsB.Items(j)} : TSheetCells{});
  }
  for (int j = 0; j < sheetsB.Count(); ++j)
    if (!taken[static_cast<std::size_t>(j)])
      comparison.Sheets(sheetsB.Items(j).Caption, {}, {j, &sheetsB.Items(j)});
  return std::move(comparison.Differences);
}
