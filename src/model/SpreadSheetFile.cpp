#include "model/SpreadSheetFile.h"

#include "model/ModelMessages.h"
#include "platform/Errors.h"
#include "platform/text/TextFormat.h"

#include <filesystem>

bool IsExistingFile(const std::string& name)
{
  std::error_code error;
  const auto status = std::filesystem::status(name, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

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
  if (!OnCellValue) {
    OnCellValue = [store = &FStore](TCustomSpreadSheetFile&, int sheetIndex, int row, int column,
                                    int formatIndex, const TVariant& value, TAlignment alignment) {
      store->StoreValue(sheetIndex, row, column, value, alignment, formatIndex);
    };
    FStoreGeneration = OnCellValue.Generation();
  }
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
  if (Trim(fileName).empty())
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

void TSpreadSheetFile::TEventSink::StoreValue(int sheetIndex, int row, int column,
                                             const TVariant& value, TAlignment alignment,
                                             std::int32_t formatIndex)
{
  if (FFile.OnCellValue)
    FFile.OnCellValue(FFile, sheetIndex, row, column, formatIndex, value, alignment);
}

void TSpreadSheetFile::TEventSink::StoreMovedValue(int sheetIndex, int row, int column,
                                                  TVariant&& value, TAlignment alignment,
                                                  std::int32_t formatIndex)
{
  StoreValue(sheetIndex, row, column, value, alignment, formatIndex);
}

void TSpreadSheetFile::TEventSink::StoreSharedText(int sheetIndex, int row, int column,
                                                  const TVariant& text,
                                                  const std::shared_ptr<const void>&,
                                                  TAlignment alignment)
{
  StoreValue(sheetIndex, row, column, text, alignment, 0);
}
