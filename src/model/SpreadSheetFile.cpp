#include "model/SpreadSheetFile.h"

#include "model/ModelMessages.h"
#include "platform/Errors.h"

#include <filesystem>

namespace {

bool IsBlankOrControl(char c)
{
  return static_cast<unsigned char>(c) <= ' ';
}

bool IsBlankName(const std::string& name)
{
  for (const char c : name)
    if (!IsBlankOrControl(c))
      return false;
  return true;
}

bool IsExistingFile(const std::string& name)
{
  std::error_code error;
  const auto status = std::filesystem::status(name, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace

void TSpreadSheetFile::Clear()
{
  FSheets.Clear();
  if (!OnDimensions)
    OnDimensions = [this](TCustomSpreadSheetFile&, int sheetIndex, int, int lastRow, int,
                          int lastColumn) {
      TSpreadSheetCells& cells = FSheets.GetSheet(sheetIndex).Cells;
      cells.DimLastRow = lastRow;
      cells.DimLastColumn = lastColumn;
      if (!cells.TrackExtent) {
        cells.RowCount = lastRow;
        cells.ColCount = lastColumn;
      }
    };
  if (!OnCellValue)
    OnCellValue = TStoreCellValue(FSheets);
  if (!OnGetCellValue)
    OnGetCellValue = [this](TCustomSpreadSheetFile&, int sheetIndex, int row, int column,
                            TVariant& value) {
      value = FSheets.GetSheet(sheetIndex).Cells.GetCellValue(column, row);
    };
  if (!OnSheet)
    OnSheet = [this](TCustomSpreadSheetFile&, const std::string& caption, int, bool&) {
      FSheets.GetSheet(FSheets.Add()).Caption = caption;
    };
  if (!OnColumnWidth)
    OnColumnWidth = [this](TCustomSpreadSheetFile&, int sheetIndex, int columnNo, int width) {
      if (columnNo < 0)
        throw EListError(columnNo);
      auto& widths = FSheets.GetSheet(sheetIndex).ColumnWidths;
      if (widths.size() <= static_cast<std::size_t>(columnNo))
        widths.resize(static_cast<std::size_t>(columnNo) + 1, 0);
      widths[static_cast<std::size_t>(columnNo)] = width;
    };
}

void TSpreadSheetFile::LoadFromFile(const std::string& fileName)
{
  if (IsBlankName(fileName))
    throw EBiffLensError(kMsgFileNotDefined);
  if (!IsExistingFile(fileName))
    throw EBiffLensError(kMsgFileNotExists);
  FFileName = fileName;
  Clear();
}

void TSpreadSheetFile::LoadFromStream(std::span<const std::uint8_t>)
{
  Clear();
}
