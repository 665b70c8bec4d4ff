#include "xls/records/RecordTable.h"

#include "platform/Errors.h"
#include "xls/MSExcel.h"
#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/FilePassRecord.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/decode/LinkRecords.h"
#include "xls/decode/PartCursor.h"
#include "xls/decode/SharedStrings.h"
#include "xls/records/Describers.h"

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
  static void CodePage(TMSExcel& r, const int& codePage)
  {
    if (r.ForcedCodePage == 0)
      r.SetCodePage(codePage);
  }
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
    if (r.OnRowHeight && r.FInCells)
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

/// A record the load uses: its decoder applies and describes.
template <typename TDecoder, auto Use>
constexpr TRecordType Entry(std::uint16_t code, const char* type)
{
  return TRecordType{code, type, false, &ApplyWith<TDecoder, Use>, &DescribeWith<TDecoder>};
}

/// A record only the inspector reads: nothing to do in a load.
template <typename TDecoder>
constexpr TRecordType Layout(std::uint16_t code, const char* type)
{
  return TRecordType{code, type, false, nullptr, &DescribeWith<TDecoder>};
}

/// The same for a record whose data goes on in the CONTINUE records after
/// it; its decoder reads them part by part.
template <typename TDecoder>
constexpr TRecordType Continued(std::uint16_t code, const char* type)
{
  return TRecordType{code, type, true, nullptr, &DescribePartsWith<TDecoder>};
}

using U = TRecordUse;

}  // namespace

namespace RecordTable {

// Sorted by code (checked below).
extern const TRecordType kTypes[];
constexpr TRecordType kTypes[] = {
    Layout<TDimensions2Decoder>(kRecDimensions2, "DIMENSIONS"),
    Entry<TBlank2Decoder, &U::Cell>(kRecBlank2, "BLANK"),
    Entry<TInteger2Decoder, &U::Cell>(kRecInteger2, "INTEGER"),
    Entry<TNumber2Decoder, &U::Cell>(kRecNumber2, "NUMBER"),
    Entry<TLabel2Decoder, &U::Cell>(kRecLabel2, "LABEL"),
    Entry<TBoolErr2Decoder, &U::Cell>(kRecBoolErr2, "BOOLERR"),
    Entry<TFormulaResultDecoder, &U::Cell>(kRecFormula, "FORMULA"),
    {kRecString2, "STRING", false, nullptr, &DescribePartsWith<TStringDecoder>},
    Layout<TRow2Decoder>(kRecRow2, "ROW"),
    Layout<TBofDecoder>(kRecBof2, "BOF"),
    Layout<TEmptyDecoder>(kRecEof, "EOF"),
    Layout<TIndexDecoder>(kRecIndex2, "INDEX"),
    Layout<TSettingDecoder>(kRecCalcCount, "CALCCOUNT"),
    Layout<TSettingDecoder>(kRecCalcMode, "CALCMODE"),
    Layout<TSettingDecoder>(kRecPrecision, "PRECISION"),
    Layout<TSettingDecoder>(kRecRefMode, "REFMODE"),
    Layout<TSettingDecoder>(kRecDelta, "DELTA"),
    Layout<TSettingDecoder>(kRecIteration, "ITERATION"),
    Layout<TSettingDecoder>(kRecProtect, "PROTECT"),
    Layout<TSettingDecoder>(kRecPassword, "PASSWORD"),
    Layout<TTextRecordDecoder>(kRecHeader, "HEADER"),
    Layout<TTextRecordDecoder>(kRecFooter, "FOOTER"),
    Layout<TSettingDecoder>(kRecExternCount, "EXTERNCOUNT"),
    Layout<TExternSheetDecoder>(kRecExternSheet, "EXTERNSHEET"),
    Entry<TNameDecoder, &U::Name>(kRecName, "NAME"),
    Layout<TSettingDecoder>(kRecWindowProtect, "WINDOWPROTECT"),
    Layout<TPageBreaksDecoder>(kRecVerticalPageBreaks, "VERTICALPAGEBREAKS"),
    Layout<TPageBreaksDecoder>(kRecHorizontalPageBreaks, "HORIZONTALPAGEBREAKS"),
    Layout<TNoteDecoder>(kRecNote, "NOTE"),
    Layout<TSelectionDecoder>(kRecSelection, "SELECTION"),
    Entry<TFormatDecoder, &U::Format>(kRecFormat2, "FORMAT"),
    Layout<TArrayDecoder>(kRecArray2, "ARRAY"),
    Entry<TDateModeDecoder, &U::DateMode>(kRecDateMode, "DATEMODE"),
    Layout<TExternNameDecoder>(kRecExternName, "EXTERNNAME"),
    Entry<TColumnWidthDecoder, &U::ColumnWidths>(kRecColWidth, "COLWIDTH"),
    Layout<TDefaultRowHeightDecoder>(kRecDefaultRowHeight2, "DEFAULTROWHEIGHT"),
    Layout<TSettingDecoder>(kRecLeftMargin, "LEFTMARGIN"),
    Layout<TSettingDecoder>(kRecRightMargin, "RIGHTMARGIN"),
    Layout<TSettingDecoder>(kRecTopMargin, "TOPMARGIN"),
    Layout<TSettingDecoder>(kRecBottomMargin, "BOTTOMMARGIN"),
    Layout<TSettingDecoder>(kRecPrintHeaders, "PRINTHEADERS"),
    Layout<TSettingDecoder>(kRecPrintGridlines, "PRINTGRIDLINES"),
    Entry<TFilePassDecoder, &U::FilePass>(kRecFilePass, "FILEPASS"),
    Entry<TFontDecoder, &U::Font>(kRecFont, "FONT"),
    Layout<TSettingDecoder>(kRecPrintSize, "PRINTSIZE"),
    Layout<TTableDecoder>(kRecTable2, "TABLE"),
    {kRecContinue, "CONTINUE", false, nullptr, &DescribeContinue},
    Layout<TWindow1Decoder>(kRecWindow1, "WINDOW1"),
    Layout<TWindow2Decoder>(kRecWindow2Biff2, "WINDOW2"),
    Layout<TSettingDecoder>(kRecBackup, "BACKUP"),
    Layout<TPaneDecoder>(kRecPane, "PANE"),
    Entry<TCodePageDecoderRecord, &U::CodePage>(kRecCodePage, "CODEPAGE"),
    Entry<TXfDecoder, &U::Xf>(kRecXf2, "XF"),
    Layout<TPlsDecoder>(kRecPls, "PLS"),
    Layout<TSettingDecoder>(kRecDefColWidth, "DEFCOLWIDTH"),
    Layout<TXctDecoder>(kRecXct, "XCT"),
    Layout<TCrnDecoder>(kRecCrn, "CRN"),
    Layout<TWriteAccessDecoder>(kRecWriteAccess, "WRITEACCESS"),
    Layout<TObjDecoder>(kRecObj, "OBJ"),
    Layout<TSettingDecoder>(kRecUncalced, "UNCALCED"),
    Layout<TSettingDecoder>(kRecSaveRecalc, "SAVERECALC"),
    Layout<TSettingDecoder>(kRecObjProtect, "OBJPROTECT"),
    Entry<TColumnWidthDecoder, &U::ColumnWidths>(kRecColInfo, "COLINFO"),
    Entry<TRkDecoder, &U::Cell>(kRecRk, "RK"),
    Layout<TGutsDecoder>(kRecGuts, "GUTS"),
    Layout<TWsBoolDecoder>(kRecWsBool, "WSBOOL"),
    Layout<TSettingDecoder>(kRecGridSet, "GRIDSET"),
    Layout<TSettingDecoder>(kRecHCenter, "HCENTER"),
    Layout<TSettingDecoder>(kRecVCenter, "VCENTER"),
    Entry<TBoundSheetDecoder, &U::SheetName>(kRecBoundSheet, "BOUNDSHEET"),
    Layout<TEmptyDecoder>(kRecWriteProt, "WRITEPROT"),
    Layout<TSettingDecoder>(kRecCountry, "COUNTRY"),
    Layout<TSettingDecoder>(kRecHideObj, "HIDEOBJ"),
    Layout<TBundleSheetDecoder>(kRecBundleSheet, "BUNDLESHEET"),
    Layout<TPaletteDecoder>(kRecPalette, "PALETTE"),
    Layout<TSettingDecoder>(kRecStandardWidth, "STANDARDWIDTH"),
    Layout<TSettingDecoder>(kRecFnGroupCount, "FNGROUPCOUNT"),
    Layout<TSettingDecoder>(kRecAutoFilterInfo, "AUTOFILTERINFO"),
    Layout<TSclDecoder>(kRecScl, "SCL"),
    Layout<TSetupDecoder>(kRecSetup, "SETUP"),
    Layout<TGcwDecoder>(kRecGcw, "GCW"),
    Layout<TSharedFormulaDecoder>(kRecSharedFormula5, "SHRFMLA"),
    Entry<TMulRkDecoder, &U::Cell>(kRecMulRk, "MULRK"),
    Entry<TMulBlankDecoder, &U::Cell>(kRecMulBlank, "MULBLANK"),
    Layout<TEmptyDecoder>(kRecToolbarHdr, "TOOLBARHDR"),
    Layout<TEmptyDecoder>(kRecToolbarEnd, "TOOLBAREND"),
    Layout<TSettingDecoder>(kRecMms, "MMS"),
    Entry<TRStringDecoder, &U::Cell>(kRecRString, "RSTRING"),
    Layout<TDbCellDecoder>(kRecDbCell, "DBCELL"),
    Layout<TSettingDecoder>(kRecBookBool, "BOOKBOOL"),
    Layout<TSettingDecoder>(kRecScenProtect, "SCENPROTECT"),
    Layout<TOleSizeDecoder>(kRecOleSize, "OLESIZE"),
    Entry<TXfDecoder, &U::Xf>(kRecXf5, "XF"),
    Layout<TSettingDecoder>(kRecInterfaceHdr, "INTERFACEHDR"),
    Layout<TEmptyDecoder>(kRecInterfaceEnd, "INTERFACEEND"),
    Layout<TMergeCellsDecoder>(kRecMergeCells, "MERGECELLS"),
    Continued<TDrawingDecoder>(kRecMsoDrawingGroup, "MSODRAWINGGROUP"),
    Continued<TDrawingDecoder>(kRecMsoDrawing, "MSODRAWING"),
    Continued<TDrawingDecoder>(kRecMsoDrawingSelection, "MSODRAWINGSELECTION"),
    Layout<TPhoneticInfoDecoder>(kRecPhoneticInfo, "PHONETICINFO"),
    {kRecSst, "SST", true, &U::Sst, &DescribeSst},
    Entry<TLabelSstDecoder, &U::Cell>(kRecLabelSst, "LABELSST"),
    Layout<TExtSstDecoder>(kRecExtSst, "EXTSST"),
    Layout<TTabIdDecoder>(kRecTabId, "TABID"),
    Layout<TLabelRangesDecoder>(kRecLabelRanges, "LABELRANGES"),
    Layout<TSettingDecoder>(kRecUsesElfs, "USESELFS"),
    Layout<TSettingDecoder>(kRecDsf, "DSF"),
    Layout<TSupBookDecoder>(kRecSupBook, "SUPBOOK"),
    Layout<TSettingDecoder>(kRecProt4Rev, "PROT4REV"),
    Layout<TCondFmtDecoder>(kRecCondFmt, "CONDFMT"),
    Layout<TCfDecoder>(kRecCf, "CF"),
    Layout<TDValDecoder>(kRecDVal, "DVAL"),
    Continued<TTxoDecoder>(kRecTxo, "TXO"),
    Layout<TSettingDecoder>(kRecRefreshAll, "REFRESHALL"),
    Layout<THLinkDecoder>(kRecHLink, "HLINK"),
    Layout<TTextRecordDecoder>(kRecCodeName, "CODENAME"),
    Layout<TSettingDecoder>(kRecProt4RevPass, "PROT4REVPASS"),
    Layout<TDvDecoder>(kRecDv, "DV"),
    {kRecExcel9, "EXCEL9FILE", false, &U::Excel9, &DescribeWith<TEmptyDecoder>},
    Layout<TSettingDecoder>(kRecRecalcId, "RECALCID"),
    Entry<TDimensionsDecoder, &U::Dimensions>(kRecDimensions, "DIMENSIONS"),
    Layout<TBlankDecoder>(kRecBlank, "BLANK"),
    Entry<TNumberDecoder, &U::Cell>(kRecNumber, "NUMBER"),
    Entry<TLabelDecoder, &U::Cell>(kRecLabel, "LABEL"),
    Entry<TBoolErrDecoder, &U::Cell>(kRecBoolErr, "BOOLERR"),
    Entry<TFormulaResultDecoder, &U::Cell>(kRecFormula3, "FORMULA"),
    Continued<TStringDecoder>(kRecString, "STRING"),
    Entry<TRowDecoder, &U::Row>(kRecRow, "ROW"),
    Layout<TBofDecoder>(kRecBof3, "BOF"),
    Layout<TIndexDecoder>(kRecIndex, "INDEX"),
    Entry<TNameDecoder, &U::Name>(kRecName3, "NAME"),
    Layout<TArrayDecoder>(kRecArray, "ARRAY"),
    Layout<TExternNameDecoder>(kRecExternName3, "EXTERNNAME"),
    Layout<TDefaultRowHeightDecoder>(kRecDefaultRowHeight, "DEFAULTROWHEIGHT"),
    Entry<TFontDecoder, &U::Font>(kRecFont3, "FONT"),
    Layout<TTableDecoder>(kRecTable, "TABLE"),
    Layout<TWindow2Decoder>(kRecWindow2, "WINDOW2"),
    Entry<TXfDecoder, &U::Xf>(kRecXf3, "XF"),
    Entry<TRkDecoder, &U::Cell>(kRecRk3, "RK"),
    Layout<TStyleDecoder>(kRecStyle, "STYLE"),
    Entry<TFormulaResultDecoder, &U::Cell>(kRecFormula4, "FORMULA"),
    Layout<TBofDecoder>(kRecBof4, "BOF"),
    Entry<TFormatDecoder, &U::Format>(kRecFormat4, "FORMAT"),
    Entry<TXfDecoder, &U::Xf>(kRecXf4, "XF"),
    Layout<TSharedFormulaDecoder>(kRecSharedFormula, "SHRFMLA"),
    Layout<TBofDecoder>(kRecBof, "BOF"),
    Layout<TChartFutureDecoder>(kRecChartFrtInfo, "CHARTFRTINFO"),
    Layout<TChartFutureDecoder>(kRecStartBlock, "STARTBLOCK"),
    Layout<TChartFutureDecoder>(kRecEndBlock, "ENDBLOCK"),
    Layout<TChartFutureDecoder>(kRecCatLab, "CATLAB"),
    Layout<TFutureRecordDecoder>(kRecSheetExt, "SHEETEXT"),
    Layout<TFutureRecordDecoder>(kRecBookExt, "BOOKEXT"),
    {kRecHfPicture, "HFPICTURE", false, nullptr, &DescribePartsWith<THfPictureDecoder>},
    Layout<TFeatHdrDecoder>(kRecFeatHdr, "FEATHEADR"),
    Layout<TFutureRecordDecoder>(kRecXfCrc, "XFCRC"),
    Layout<TXfExtDecoder>(kRecXfExt, "XFEXT"),
    Layout<TFutureRecordDecoder>(kRecPlv, "PLV"),
    Layout<TFutureRecordDecoder>(kRecCompat12, "COMPAT12"),
    Layout<TFutureRecordDecoder>(kRecTableStyles, "TABLESTYLES"),
    Layout<TFutureRecordDecoder>(kRecTableStyle, "TABLESTYLE"),
    Layout<TFutureRecordDecoder>(kRecTableStyleElement, "TABLESTYLEELEMENT"),
    Layout<TStyleExtDecoder>(kRecStyleExt, "STYLEEXT"),
    Layout<TFutureRecordDecoder>(kRecTheme, "THEME"),
    Layout<TFutureRecordDecoder>(kRecGuidTypeLib, "GUIDTYPELIB"),
    Layout<TFutureRecordDecoder>(kRecMtrSettings, "MTRSETTINGS"),
    Layout<TFutureRecordDecoder>(kRecCompressPictures, "COMPRESSPICTURES"),
    Layout<TFutureRecordDecoder>(kRecHeaderFooter, "HEADERFOOTER"),
    Layout<TFutureRecordDecoder>(kRecCrtLayout12, "CRTLAYOUT12"),
    Layout<TFutureRecordDecoder>(kRecCrtMlFrt, "CRTMLFRT"),
    Layout<TFutureRecordDecoder>(kRecForceFullCalculation, "FORCEFULLCALCULATION"),
    Layout<TFutureRecordDecoder>(kRecShapePropsStream, "SHAPEPROPSSTREAM"),
    Layout<TFutureRecordDecoder>(kRecTextPropsStream, "TEXTPROPSSTREAM"),
    Layout<TFutureRecordDecoder>(kRecCrtLayout12A, "CRTLAYOUT12A"),
    Layout<TChartDecoder>(kRecChartUnits, "UNITS"),
    Layout<TChartDecoder>(kRecChart, "CHART"),
    Layout<TChartDecoder>(kRecChartSeries, "SERIES"),
    Layout<TChartDecoder>(kRecChartDataFormat, "DATAFORMAT"),
    Layout<TChartDecoder>(kRecChartLineFormat, "LINEFORMAT"),
    Layout<TChartDecoder>(kRecChartMarkerFormat, "MARKERFORMAT"),
    Layout<TChartDecoder>(kRecChartAreaFormat, "AREAFORMAT"),
    Layout<TChartDecoder>(kRecChartPieFormat, "PIEFORMAT"),
    Layout<TChartDecoder>(kRecChartAttachedLabel, "ATTACHEDLABEL"),
    Layout<TChartDecoder>(kRecChartSeriesText, "SERIESTEXT"),
    Layout<TChartDecoder>(kRecChartFormat, "CHARTFORMAT"),
    Layout<TChartDecoder>(kRecChartLegend, "LEGEND"),
    Layout<TChartDecoder>(kRecChartSeriesList, "SERIESLIST"),
    Layout<TChartDecoder>(kRecChartBar, "BAR"),
    Layout<TChartDecoder>(kRecChartLine, "LINE"),
    Layout<TChartDecoder>(kRecChartPie, "PIE"),
    Layout<TChartDecoder>(kRecChartArea, "AREA"),
    Layout<TChartDecoder>(kRecChartScatter, "SCATTER"),
    Layout<TChartDecoder>(kRecChartChartLine, "CHARTLINE"),
    Layout<TChartDecoder>(kRecChartAxis, "AXIS"),
    Layout<TChartDecoder>(kRecChartTick, "TICK"),
    Layout<TChartDecoder>(kRecChartValueRange, "VALUERANGE"),
    Layout<TChartDecoder>(kRecChartCatSerRange, "CATSERRANGE"),
    Layout<TChartDecoder>(kRecChartAxisLine, "AXISLINEFORMAT"),
    Layout<TChartDecoder>(kRecChartFormatLink, "CHARTFORMATLINK"),
    Layout<TChartDecoder>(kRecChartDefaultText, "DEFAULTTEXT"),
    Layout<TChartDecoder>(kRecChartText, "TEXT"),
    Layout<TChartDecoder>(kRecChartFontX, "FONTX"),
    Layout<TChartDecoder>(kRecChartObjectLink, "OBJECTLINK"),
    Layout<TChartDecoder>(kRecChartFrame, "FRAME"),
    Layout<TEmptyDecoder>(kRecChartBegin, "BEGIN"),
    Layout<TEmptyDecoder>(kRecChartEnd, "END"),
    Layout<TEmptyDecoder>(kRecChartPlotArea, "PLOTAREA"),
    Layout<TChartDecoder>(kRecChart3d, "CHART3D"),
    Layout<TChartDecoder>(kRecChartPicF, "PICF"),
    Layout<TChartDecoder>(kRecChartDropBar, "DROPBAR"),
    Layout<TChartDecoder>(kRecChartRadar, "RADAR"),
    Layout<TChartDecoder>(kRecChartSurf, "SURF"),
    Layout<TChartDecoder>(kRecChartRadarArea, "RADARAREA"),
    Layout<TChartDecoder>(kRecChartAxisParent, "AXISPARENT"),
    Layout<TChartDecoder>(kRecChartLegendException, "LEGENDEXCEPTION"),
    Layout<TChartDecoder>(kRecChartShtProps, "SHTPROPS"),
    Layout<TChartDecoder>(kRecChartSerToCrt, "SERTOCRT"),
    Layout<TChartDecoder>(kRecChartAxesUsed, "AXESUSED"),
    Layout<TChartDecoder>(kRecChartSerParent, "SERPARENT"),
    Layout<TChartDecoder>(kRecChartSerAuxTrend, "SERAUXTREND"),
    Layout<TChartDecoder>(kRecChartIFmt, "IFMTRECORD"),
    Layout<TChartDecoder>(kRecChartPos, "POS"),
    Layout<TChartDecoder>(kRecChartAlRuns, "ALRUNS"),
    Layout<TChartDecoder>(kRecChartBrai, "BRAI"),
    Layout<TChartDecoder>(kRecChartSerAuxErrBar, "SERAUXERRBAR"),
    Layout<TChartDecoder>(kRecChartClrtClient, "CLRTCLIENT"),
    Layout<TChartDecoder>(kRecChartSerFmt, "SERFMT"),
    Layout<TChartDecoder>(kRecChart3dBarShape, "CHART3DBARSHAPE"),
    Layout<TChartDecoder>(kRecChartFbi, "FBI"),
    Layout<TChartDecoder>(kRecChartBopPop, "BOPPOP"),
    Layout<TChartDecoder>(kRecChartAxcExt, "AXCEXT"),
    Layout<TChartDecoder>(kRecChartDat, "DAT"),
    Layout<TChartDecoder>(kRecChartPlotGrowth, "PLOTGROWTH"),
    Layout<TChartDecoder>(kRecChartSiIndex, "SIINDEX"),
    {kRecChartGelFrame, "GELFRAME", false, nullptr, &DescribePartsWith<TDrawingDecoder>},
    Layout<TChartDecoder>(kRecChartBopPopCustom, "BOPPOPCUSTOM"),
    Layout<TChartDecoder>(kRecChartFbi2, "FBI2"),
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

TRecordField RawRecordField(std::size_t size)
{
  TRecordField raw;
  raw.Name = "data";
  raw.Size = size;
  raw.Value = std::string();
  raw.Text = kTextNoLayout;
  return raw;
}
