// The catalogue's entries for the workbook globals a load reads: names,
// formats, fonts, XF, sheets: one entry and one decoder per record type, in
// code order.

#include "xls/records/TypeEntries.h"

namespace {

constexpr TRecordType kTypes[] = {
    Entry<TNameDecoder, &TRecordSink::Name>(kRecName, "NAME", "NAME"),
    Entry<TFormatDecoder, &TRecordSink::Format>(kRecFormat2, "FORMAT", "FORMAT"),
    Entry<TDateModeDecoder, &TRecordSink::DateMode>(kRecDateMode, "DATEMODE", "1904"),
    Entry<TColumnWidthDecoder, &TRecordSink::ColumnWidths>(kRecColWidth, "COLWIDTH", "COLWIDTH"),
    Entry<TFilePassDecoder, &TRecordSink::FilePass>(kRecFilePass, "FILEPASS", "FILEPASS"),
    Entry<TFontDecoder, &TRecordSink::Font>(kRecFont, "FONT", "FONT"),
    Entry<TCodePageDecoderRecord, &TRecordSink::CodePage>(kRecCodePage, "CODEPAGE", "CODEPAGE"),
    Entry<TXfDecoder, &TRecordSink::Xf>(kRecXf2, "XF", "XF2"),
    Entry<TColumnWidthDecoder, &TRecordSink::ColumnWidths>(kRecColInfo, "COLINFO", "COLINFO"),
    Entry<TBoundSheetDecoder, &TRecordSink::SheetName>(kRecBoundSheet, "BOUNDSHEET", "BOUNDSHEET"),
    Entry<TXfDecoder, &TRecordSink::Xf>(kRecXf5, "XF", "XF5"),
    Entry<TDimensionsDecoder, &TRecordSink::Dimensions>(kRecDimensions, "DIMENSIONS", "DIMENSIONS"),
    Entry<TRowDecoder, &TRecordSink::Row>(kRecRow, "ROW", "ROW"),
    Entry<TNameDecoder, &TRecordSink::Name>(kRecName3, "NAME"),
    Entry<TFontDecoder, &TRecordSink::Font>(kRecFont3, "FONT", "FONT3"),
    Entry<TXfDecoder, &TRecordSink::Xf>(kRecXf3, "XF", "XF3"),
    Entry<TFormatDecoder, &TRecordSink::Format>(kRecFormat4, "FORMAT", "FORMAT4"),
    Entry<TXfDecoder, &TRecordSink::Xf>(kRecXf4, "XF", "XF4"),
};

}  // namespace

std::span<const TRecordType> GlobalRecordTypes()
{
  return kTypes;
}
