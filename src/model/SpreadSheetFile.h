#pragma once

#include "model/SpreadSheet.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

/// The 4 bytes that open every BIFF record: code word, then length word.
struct TBIFFRecordHeader {
  std::uint16_t Code = 0;
  std::uint16_t Length = 0;
};

class TCustomSpreadSheetFile;

// Event types. Sender comes first; sheet indexes, rows and columns count from 0.
using TOnColumnWidth =
    std::function<void(TCustomSpreadSheetFile& sender, int sheetIndex, int columnNo, int width)>;
using TOnRowHeight =
    std::function<void(TCustomSpreadSheetFile& sender, int sheetIndex, int rowNo, int height)>;
using TOnDimensions = std::function<void(TCustomSpreadSheetFile& sender, int sheetIndex,
                                         int firstRow, int lastRow, int firstColumn, int lastColumn)>;
/// The value is read-only for the handler; a handler that keeps it copies it.
using TOnCellValue =
    std::function<void(TCustomSpreadSheetFile& sender, int sheetIndex, int row, int column,
                       int formatIndex, const TVariant& value, TAlignment alignment)>;
using TOnGetCellValue = std::function<void(TCustomSpreadSheetFile& sender, int sheetIndex,
                                           int row, int column, TVariant& value)>;
using TOnSheet = std::function<void(TCustomSpreadSheetFile& sender, const std::string& caption,
                                    int index, bool& skip)>;
/// `data` is the record's own data bytes, valid only during the call; a
/// handler that keeps bytes copies them (or holds the reader's stream buffer).
using TOnRecord = std::function<void(TCustomSpreadSheetFile& sender, TBIFFRecordHeader header,
                                     std::span<const std::uint8_t> data)>;
using TOnLoadProgress = std::function<void(TCustomSpreadSheetFile& sender, std::int64_t position,
                                           std::int64_t totalSize)>;

/// Format-neutral base of a spreadsheet file reader: the file name and the
/// events through which a reader reports what it decodes. Events are raised
/// only when assigned.
class TCustomSpreadSheetFile {
public:
  TCustomSpreadSheetFile() = default;
  TCustomSpreadSheetFile(const TCustomSpreadSheetFile&) = delete;
  TCustomSpreadSheetFile& operator=(const TCustomSpreadSheetFile&) = delete;
  virtual ~TCustomSpreadSheetFile() = default;

  const std::string& FileName() const { return FFileName; }

  TOnColumnWidth OnColumnWidth;
  TOnRowHeight OnRowHeight;
  TOnDimensions OnDimensions;
  TOnCellValue OnCellValue;
  TOnGetCellValue OnGetCellValue;
  TOnSheet OnSheet;
  TOnRecord OnRecord;

protected:
  std::string FFileName;
};

/// The load entry and the model of a spreadsheet file. Clear installs the
/// component's own handlers on the model-filling events that have none, so a
/// reader only raises events and the model fills itself.
class TSpreadSheetFile : public TCustomSpreadSheetFile {
public:
  TOnLoadProgress OnLoadProgress;
  /// The header of the record the reader is working on.
  TBIFFRecordHeader RecordHeader;

  TSpreadSheets& Sheets() { return FSheets; }
  const TSpreadSheets& Sheets() const { return FSheets; }

  /// The handler Clear installs on OnCellValue: stores the cell in the
  /// model. A named type, so that a reader finding it installed
  /// (`OnCellValue.target<TStoreCellValue>()`) may call it directly, and
  /// hand it shared texts without counting them (StoreSharedText).
  class TStoreCellValue {
  public:
    explicit TStoreCellValue(TSpreadSheets& sheets) : FSheets(&sheets) {}
    void operator()(TCustomSpreadSheetFile&, int sheetIndex, int row, int column, int formatIndex,
                    const TVariant& value, TAlignment alignment) const
    {
      // The sheet is taken even for a blank: a sheet that only announces
      // blanks still exists in the model.
      TSpreadSheetCells& cells = FSheets->GetSheet(sheetIndex).Cells;
      if (!value.IsNullOrEmpty())
        cells.SetCellValue(column, row, value, formatIndex, alignment);
    }
    /// The call above for a value made for this cell, which moves into it
    /// (SetCellValue passes over Null and Empty itself).
    void StoreValue(int sheetIndex, int row, int column, TVariant&& value,
                    TAlignment alignment) const
    {
      FSheets->GetSheet(sheetIndex).Cells.SetCellValue(column, row, std::move(value), 0, alignment);
    }
    /// Stores a text that `owner` keeps (TSpreadSheetCells::SetCellSharedText).
    void StoreSharedText(int sheetIndex, int row, int column, const TVariant& text,
                         const std::shared_ptr<const void>& owner, TAlignment alignment) const
    {
      FSheets->GetSheet(sheetIndex).Cells.SetCellSharedText(column, row, text, owner, alignment);
    }

  private:
    TSpreadSheets* FSheets;
  };

  /// Empties the model, then installs the default handlers where none is
  /// assigned: OnDimensions, OnCellValue, OnGetCellValue, OnSheet, OnColumnWidth.
  virtual void Clear();
  /// Checks the name ("File is not defined." when it is blank after trimming,
  /// "File is not exists." when it names no file; a directory is no file),
  /// stores it untrimmed and calls Clear. A failure changes nothing.
  virtual void LoadFromFile(const std::string& fileName);
  /// Load entry for a workbook held in memory; the base calls Clear. The
  /// bytes are used only during the call.
  virtual void LoadFromStream(std::span<const std::uint8_t> bytes);
  /// Raises OnLoadProgress when it is assigned.
  /// Inline: readers call it once per record.
  void DoLoadProgress(std::int64_t position, std::int64_t totalSize)
  {
    if (OnLoadProgress)
      OnLoadProgress(*this, position, totalSize);
  }

private:
  TSpreadSheets FSheets;
};
