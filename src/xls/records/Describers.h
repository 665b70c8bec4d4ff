#pragma once

// The describing functions of every decoder the record table names,
// instantiated in one source file per family (Describe*.cpp) so that the
// families compile apart.

#include "xls/records/Describe.h"

#include "xls/decode/CellRecords.h"
#include "xls/decode/FilePassRecord.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/decode/BookRecords.h"
#include "xls/decode/LinkRecords.h"
#include "xls/decode/SheetRecords.h"
#include "xls/decode/DrawingRecords.h"
#include "xls/decode/ObjectRecords.h"
#include "xls/decode/ChartRecords.h"
#include "xls/decode/FeatureRecords.h"

// DescribeCells.cpp
extern template void DescribeWith<TBlank2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TInteger2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TNumber2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TLabel2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TBoolErr2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TFormulaResultDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TRkDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TMulRkDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TMulBlankDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TRStringDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TLabelSstDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TNumberDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TLabelDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TBoolErrDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TBlankDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TSharedFormulaDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TArrayDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TTableDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribePartsWith<TStringDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
// DescribeGlobals.cpp
extern template void DescribeWith<TNameDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TFormatDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TDateModeDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TColumnWidthDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TFontDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TCodePageDecoderRecord>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TXfDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TBoundSheetDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TDimensionsDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TRowDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TFilePassDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
// DescribeBook.cpp
extern template void DescribeWith<TBofDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TEmptyDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TSettingDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TWriteAccessDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TTextRecordDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TWindow1Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TBundleSheetDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TPaletteDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TStyleDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TTabIdDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TExternSheetDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TSupBookDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TExternNameDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TXctDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TCrnDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TLabelRangesDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
// DescribeSheet.cpp
extern template void DescribeWith<TIndexDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TDbCellDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TExtSstDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TDefaultRowHeightDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TRow2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TDimensions2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TGutsDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TWsBoolDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TSetupDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TSelectionDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TPaneDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TSclDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TWindow2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TMergeCellsDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TPageBreaksDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TGcwDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TPhoneticInfoDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TOleSizeDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TPlsDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
// DescribeObjects.cpp
extern template void DescribeWith<TObjDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TNoteDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<THLinkDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TDValDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TDvDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TCondFmtDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TCfDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribePartsWith<TTxoDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribePartsWith<TDrawingDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribePartsWith<THfPictureDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
// DescribeFeatures.cpp
extern template void DescribeWith<TXfExtDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TStyleExtDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TFutureRecordDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TFeatHdrDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TChartFutureDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
extern template void DescribeWith<TChartDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
