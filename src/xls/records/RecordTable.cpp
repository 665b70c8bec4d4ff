#include "xls/records/RecordTable.h"

#include "platform/Errors.h"
#include "xls/MSExcel.h"
#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/FilePassRecord.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/decode/PartCursor.h"
#include "xls/decode/SharedStrings.h"

#include <iterator>

/// The reader's side of the table: what a load does with what each decoder
/// read. A friend of the reader, so the table reaches nothing else of it.
struct TRecordUse {
  static const TDecodeContext& Context(const TMSExcel& r) { return r.FContext; }

  [[gnu::always_inline]] static void Cell(TMSExcel& r, const TCellRecord& cell) { r.StoreCell(cell); }
  static void SheetName(TMSExcel& r, const TSheetName& entry)
  {
    r.FContext.Tables->SheetNames.push_back(entry);
  }
  static void Name(TMSExcel& r, const TXLSName& name) { r.FContext.Tables->Names.push_back(name); }
  static void Font(TMSExcel& r, const TXLSFont& font) { r.FContext.Tables->Fonts.push_back(font); }
  static void Xf(TMSExcel& r, const TXfRecord& xf) { r.FFormats->AddXf(xf.FormatIndex, xf.FontIndex); }
  static void Format(TMSExcel& r, const TFormatRecord& format)
  {
    r.FFormats->SetFormat(format.ByOrder ? r.FFormats->NextFormatByOrder() : format.Index, format.Text);
  }
  static void CodePage(TMSExcel& r, const int& codePage) { r.SetCodePage(codePage); }
  static void DateMode(TMSExcel& r, const bool& date1904)
  {
    if (r.FContext.Date1904 == date1904)
      return;
    r.FContext.Date1904 = date1904;
    r.ContextChanged();
  }
  static void Dimensions(TMSExcel& r, const TDimensionsRecord& d) { r.SetDimensions(d); }
  static void ColumnWidths(TMSExcel& r, const TColumnWidthRecord& w) { r.SetColumnWidths(w); }
  static void Row(TMSExcel& r, const TRowRecord& row)
  {
    // A chart's own records size nothing of the sheet around it.
    if (r.OnRowHeight && r.FForeignDepth == 0)
      r.OnRowHeight(r, r.SheetIndex, row.Row, row.Height);
  }

  static void Excel9(TMSExcel& r, const TLogicalRecord&)
  {
    r.Version = TExcelVersion::evExcel9;
    r.ContextChanged();
  }
  static void FilePass(TMSExcel& r, const TFilePass& filePass) { r.TakeFilePass(filePass); }
  static void Sst(TMSExcel& r, const TLogicalRecord& record) { r.ApplySst(record); }
};

namespace {

/// A load's use of a one-record decoder: decode, and hand each result to Use.
template <typename TDecoder, auto Use>
void ApplyWith(TMSExcel& reader, const TLogicalRecord& record)
{
  TRecordCursor cursor(record.Head().Data);
  TDecoder()(cursor, TRecordUse::Context(reader), record.Head().Header.Code,
             [&](const auto& value) { Use(reader, value); });
}

/// The same decoder once more, recording its fields; bytes it did not read
/// become one field, so the fields cover the record.
template <typename TDecoder>
void DescribeWith(const TLogicalRecord& record, const TDecodeContext& context, TFieldList& fields)
{
  TDescribingCursor cursor(record.Head().Data, &fields);
  TDecoder()(cursor, context, record.Head().Header.Code, [](const auto&) {});
  cursor.SkipRest("unread");
}

void DescribeSst(const TLogicalRecord& record, const TDecodeContext&, TFieldList& fields)
{
  TDescribingPartCursor parts(record.Parts, &fields);
  DecodeSst(parts, [](std::size_t) {}, [](std::string&&) {});
  parts.Current().SkipRest("unread");
}

template <typename TDecoder, auto Use>
constexpr TRecordType Entry(std::uint16_t code, const char* type)
{
  return TRecordType{code, type, false, &ApplyWith<TDecoder, Use>, &DescribeWith<TDecoder>};
}

using U = TRecordUse;

}  // namespace

namespace RecordTable {

// Sorted by code (checked below).
extern const TRecordType kTypes[];
constexpr TRecordType kTypes[] = {
    Entry<TBlank2Decoder, &U::Cell>(kRecBlank2, "BLANK"),
    Entry<TInteger2Decoder, &U::Cell>(kRecInteger2, "INTEGER"),
    Entry<TNumber2Decoder, &U::Cell>(kRecNumber2, "NUMBER"),
    Entry<TLabel2Decoder, &U::Cell>(kRecLabel2, "LABEL"),
    Entry<TBoolErr2Decoder, &U::Cell>(kRecBoolErr2, "BOOLERR"),
    Entry<TFormulaResultDecoder, &U::Cell>(kRecFormula, "FORMULA"),
    Entry<TNameDecoder, &U::Name>(kRecName, "NAME"),
    Entry<TFormatDecoder, &U::Format>(kRecFormat2, "FORMAT"),
    Entry<TDateModeDecoder, &U::DateMode>(kRecDateMode, "DATEMODE"),
    Entry<TColumnWidthDecoder, &U::ColumnWidths>(kRecColWidth, "COLWIDTH"),
    Entry<TFilePassDecoder, &U::FilePass>(kRecFilePass, "FILEPASS"),
    Entry<TFontDecoder, &U::Font>(kRecFont, "FONT"),
    Entry<TCodePageDecoderRecord, &U::CodePage>(kRecCodePage, "CODEPAGE"),
    Entry<TXfDecoder, &U::Xf>(kRecXf2, "XF"),
    Entry<TColumnWidthDecoder, &U::ColumnWidths>(kRecColInfo, "COLINFO"),
    Entry<TRkDecoder, &U::Cell>(kRecRk, "RK"),
    Entry<TBoundSheetDecoder, &U::SheetName>(kRecBoundSheet, "BOUNDSHEET"),
    Entry<TMulRkDecoder, &U::Cell>(kRecMulRk, "MULRK"),
    Entry<TMulBlankDecoder, &U::Cell>(kRecMulBlank, "MULBLANK"),
    Entry<TLabelDecoder, &U::Cell>(kRecRString, "RSTRING"),
    Entry<TXfDecoder, &U::Xf>(kRecXf5, "XF"),
    {kRecSst, "SST", true, &U::Sst, &DescribeSst},
    Entry<TLabelSstDecoder, &U::Cell>(kRecLabelSst, "LABELSST"),
    {kRecExcel9, "EXCEL9FILE", false, &U::Excel9, nullptr},
    Entry<TDimensionsDecoder, &U::Dimensions>(kRecDimensions, "DIMENSIONS"),
    Entry<TNumberDecoder, &U::Cell>(kRecNumber, "NUMBER"),
    Entry<TLabelDecoder, &U::Cell>(kRecLabel, "LABEL"),
    Entry<TBoolErrDecoder, &U::Cell>(kRecBoolErr, "BOOLERR"),
    Entry<TFormulaResultDecoder, &U::Cell>(kRecFormula3, "FORMULA"),
    Entry<TRowDecoder, &U::Row>(kRecRow, "ROW"),
    Entry<TNameDecoder, &U::Name>(kRecName3, "NAME"),
    Entry<TFontDecoder, &U::Font>(kRecFont3, "FONT"),
    Entry<TXfDecoder, &U::Xf>(kRecXf3, "XF"),
    Entry<TRkDecoder, &U::Cell>(kRecRk3, "RK"),
    Entry<TFormulaResultDecoder, &U::Cell>(kRecFormula4, "FORMULA"),
    Entry<TFormatDecoder, &U::Format>(kRecFormat4, "FORMAT"),
    Entry<TXfDecoder, &U::Xf>(kRecXf4, "XF"),
};
constexpr std::size_t kTypeCount = std::size(kTypes);

namespace {

constexpr std::array<std::uint16_t, kIndexSize> BuildIndex()
{
  std::array<std::uint16_t, kIndexSize> index{};
  for (std::size_t row = 0; row < kTypeCount; ++row) {
    if (row > 0 && kTypes[row - 1].Code >= kTypes[row].Code)
      throw "record table: codes out of order";
    std::uint16_t& slot = index[kTypes[row].Code & kIndexMask];
    if (slot != 0)
      throw "record table: two codes share an index slot";
    slot = static_cast<std::uint16_t>(row + 1);
  }
  return index;
}

}  // namespace

constexpr std::array<std::uint16_t, kIndexSize> kIndex = BuildIndex();

}  // namespace RecordTable

std::span<const TRecordType> RecordTypes()
{
  return {RecordTable::kTypes, RecordTable::kTypeCount};
}
