#pragma once

#include "model/Event.h"
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

/// True when `name` names something that exists and is not a directory: a
/// file, but also a pipe or a device, which a reader reads whole.
bool IsExistingFile(const std::string& name);

// Event types. Sender comes first; sheet indexes, rows and columns count from 0.
using TOnColumnWidth =
    std::function<void(TCustomSpreadSheetFile& sender, int sheetIndex, int columnNo, int width)>;
using TOnRowHeight =
    std::function<void(TCustomSpreadSheetFile& sender, int sheetIndex, int rowNo, int height)>;
using TOnDimensions = std::function<void(TCustomSpreadSheetFile& sender, int sheetIndex,
                                         int firstRow, int lastRow, int firstColumn, int lastColumn)>;
/// The value is read-only for the handler; a handler that keeps it copies it.
using TOnCellValue =
    TEvent<void(TCustomSpreadSheetFile& sender, int sheetIndex, int row, int column,
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

/// What a reader hands each cell it decodes to. The row and column count
/// from 0; Null and Empty values are stored as nothing (the sheet is still
/// made). `formatIndex` is the number format a number cell shows with (0,
/// "General", for every other cell).
class TCellSink {
public:
  virtual void StoreValue(int sheetIndex, int row, int column, const TVariant& value,
                          TAlignment alignment, std::int32_t formatIndex) = 0;
  /// The same for a value made for this cell, which may move into it.
  virtual void StoreMovedValue(int sheetIndex, int row, int column, TVariant&& value,
                               TAlignment alignment, std::int32_t formatIndex) = 0;
  /// The same for a text that `owner` keeps alive (a string table): a model
  /// may share it without a count of its own.
  virtual void StoreSharedText(int sheetIndex, int row, int column, const TVariant& text,
                               const std::shared_ptr<const void>& owner, TAlignment alignment) = 0;

protected:
  ~TCellSink() = default;
};

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

  /// Stores cells in a model; the handler Clear installs calls it too.
  /// Final, and inline: a reader holding one stores without a virtual call.
  class TStoreSink final : public TCellSink {
  public:
    explicit TStoreSink(TSpreadSheets& sheets) : FSheets(sheets) {}
    void StoreValue(int sheetIndex, int row, int column, const TVariant& value,
                    TAlignment alignment, std::int32_t formatIndex) override
    {
      // The sheet is taken even for a blank: a sheet that only announces
      // blanks still exists in the model.
      TSpreadSheetCells& cells = FSheets.GetSheet(sheetIndex).Cells;
      if (!value.IsNullOrEmpty())
        cells.SetCellValue(column, row, value, formatIndex, alignment);
    }
    void StoreMovedValue(int sheetIndex, int row, int column, TVariant&& value,
                         TAlignment alignment, std::int32_t formatIndex) override
    {
      // SetCellValue passes over Null and Empty itself.
      FSheets.GetSheet(sheetIndex).Cells.SetCellValue(column, row, std::move(value), formatIndex,
                                                      alignment);
    }
    void StoreSharedText(int sheetIndex, int row, int column, const TVariant& text,
                         const std::shared_ptr<const void>& owner, TAlignment alignment) override
    {
      FSheets.GetSheet(sheetIndex).Cells.SetCellSharedText(column, row, text, owner, alignment);
    }

  private:
    TSpreadSheets& FSheets;
  };

  /// The model's own store while OnCellValue holds the handler Clear
  /// installed (a reader may then store without raising the event); nullptr
  /// once another handler is assigned. Asked per record, so a handler
  /// assigned during a load gets the cells after it.
  TStoreSink* ModelStore()
  {
    return OnCellValue.Generation() == FStoreGeneration ? &FStore : nullptr;
  }
  /// Where a reader hands its cells: the model's store, else the event.
  TCellSink& CellSink()
  {
    if (TStoreSink* store = ModelStore())
      return *store;
    return FEventSink;
  }

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
  /// Raises OnCellValue, when it has a handler.
  class TEventSink final : public TCellSink {
  public:
    explicit TEventSink(TSpreadSheetFile& file) : FFile(file) {}
    void StoreValue(int sheetIndex, int row, int column, const TVariant& value,
                    TAlignment alignment, std::int32_t formatIndex) override;
    void StoreMovedValue(int sheetIndex, int row, int column, TVariant&& value,
                         TAlignment alignment, std::int32_t formatIndex) override;
    void StoreSharedText(int sheetIndex, int row, int column, const TVariant& text,
                         const std::shared_ptr<const void>& owner, TAlignment alignment) override;

  private:
    TSpreadSheetFile& FFile;
  };

  TSpreadSheets FSheets;
  TStoreSink FStore{FSheets};
  TEventSink FEventSink{*this};
  // OnCellValue's generation when Clear installed the store's handler; one
  // no generation has before that.
  std::uint64_t FStoreGeneration = ~std::uint64_t{0};
};
