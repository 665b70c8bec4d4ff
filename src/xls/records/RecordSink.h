#pragma once

// What a load does with what the record decoders read. The record table's
// entries hand each decoded value to the sink; the reader is the sink. Cells
// go straight to the load's cell store (millions of them, no virtual call),
// everything else through one virtual call per record.

#include "xls/RecordRef.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/FilePassRecord.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/load/CellStore.h"

class TRecordSink {
public:
  /// The context the records decode with.
  const TDecodeContext& Context() const { return FContext; }
  [[gnu::always_inline]] void Cell(const TCellRecord& cell) { FCells.Store(cell); }

  virtual void SheetName(const TSheetName& entry) = 0;
  virtual void Name(const TXLSName& name) = 0;
  virtual void Font(const TXLSFont& font) = 0;
  virtual void Xf(const TXfRecord& xf) = 0;
  virtual void Format(const TFormatRecord& format) = 0;
  virtual void CodePage(const int& codePage) = 0;
  virtual void DateMode(const bool& date1904) = 0;
  virtual void Dimensions(const TDimensionsRecord& dimensions) = 0;
  virtual void ColumnWidths(const TColumnWidthRecord& widths) = 0;
  virtual void Row(const TRowRecord& row) = 0;
  /// EXCEL9FILE: the workbook was written by Excel 2000 or later.
  virtual void Excel9() = 0;
  virtual void FilePass(const TFilePass& filePass) = 0;
  /// The SST and its CONTINUE records.
  virtual void Sst(const TLogicalRecord& record) = 0;

protected:
  /// Keeps references to both: the implementer owns them.
  TRecordSink(const TDecodeContext& context, TCellStore& cells) : FContext(context), FCells(cells) {}
  ~TRecordSink() = default;

private:
  const TDecodeContext& FContext;
  TCellStore& FCells;
};
