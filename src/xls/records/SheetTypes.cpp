// The catalogue's entries for sheet layout and protection records: one entry
// and one decoder per record type, in code order.

#include "xls/records/TypeEntries.h"

namespace {

constexpr TRecordType kTypes[] = {
    Layout<TDimensions2Decoder>(kRecDimensions2, "DIMENSIONS", "EMPTY_RECORD"),
    Layout<TRow2Decoder>(kRecRow2, "ROW"),
    Layout<TIndexDecoder>(kRecIndex2, "INDEX"),
    Layout<TPageBreaksDecoder>(kRecVerticalPageBreaks, "VERTICALPAGEBREAKS"),
    Layout<TPageBreaksDecoder>(kRecHorizontalPageBreaks, "HORIZONTALPAGEBREAKS"),
    Layout<TSelectionDecoder>(kRecSelection, "SELECTION", "SELECTION"),
    Layout<TDefaultRowHeightDecoder>(kRecDefaultRowHeight2, "DEFAULTROWHEIGHT"),
    Layout<TWindow2Decoder>(kRecWindow2Biff2, "WINDOW2"),
    Layout<TPaneDecoder>(kRecPane, "PANE"),
    Layout<TPlsDecoder>(kRecPls, "PLS"),
    Layout<TGutsDecoder>(kRecGuts, "GUTS", "GUTS"),
    Layout<TWsBoolDecoder>(kRecWsBool, "WSBOOL", "WSBOOL"),
    Layout<TSclDecoder>(kRecScl, "SCL"),
    Layout<TSetupDecoder>(kRecSetup, "SETUP", "SETUP"),
    Layout<TGcwDecoder>(kRecGcw, "GCW"),
    Layout<TDbCellDecoder>(kRecDbCell, "DBCELL", "DBCELL"),
    Layout<TOleSizeDecoder>(kRecOleSize, "OLESIZE"),
    Layout<TMergeCellsDecoder>(kRecMergeCells, "MERGECELLS", "MERGEDCELLS"),
    Layout<TPhoneticInfoDecoder>(kRecPhoneticInfo, "PHONETICINFO"),
    Layout<TExtSstDecoder>(kRecExtSst, "EXTSST", "EXTSST"),
    Layout<TIndexDecoder>(kRecIndex, "INDEX", "INDEX"),
    Layout<TDefaultRowHeightDecoder>(kRecDefaultRowHeight, "DEFAULTROWHEIGHT", "DEFAULTROWHEIGHT"),
    Layout<TWindow2Decoder>(kRecWindow2, "WINDOW2", "WINDOW2"),
};

}  // namespace

std::span<const TRecordType> SheetRecordTypes()
{
  return kTypes;
}
