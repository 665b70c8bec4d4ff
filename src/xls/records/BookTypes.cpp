// The catalogue's entries for workbook and sheet settings, links, strings and
// the records a load passes over: one entry and one decoder per record type, in
// code order.

#include "xls/records/TypeEntries.h"

#include "xls/decode/SstDescription.h"

#include <memory>
#include <string>

namespace {

/// The SST goes to the load whole, with its CONTINUE records.
void ApplySst(TRecordSink& sink, const TLogicalRecord& record)
{
  sink.Sst(record);
}

void ApplyExcel9(TRecordSink& sink, const TLogicalRecord&)
{
  sink.Excel9();
}

void DescribeSst(const TLogicalRecord& record, const TDecodeContext&, TFieldList& fields)
{
  // The counts as DecodeSst reads them; the strings follow as a list
  // described string by string, from the same decoder (DecodeSstString).
  TDescribingCursor c(record.Head().Data, &fields);
  if (c.Size() < 8) {
    c.SkipRest("unread");
    return;
  }
  c.U32("total");
  const std::int32_t unique = c.I32("unique");
  fields.Add("strings", c.Position(), c.Remaining(), std::string());
  TRecordField& strings = *fields.Last();
  strings.Lazy = std::make_shared<TSstStringList>(record.Parts, unique);
  strings.Text = std::to_string(strings.Lazy->Count()) + " strings";
}

/// CONTINUE on its own: its data (what it continues is the viewer's to say).
void DescribeContinue(const TLogicalRecord& record, const TDecodeContext&, TFieldList& fields)
{
  TDescribingCursor c(record.Head().Data, &fields);
  c.SkipRest("data");
}

constexpr TRecordType kTypes[] = {
    {kRecString2, "STRING", "2STRING", false, nullptr, &DescribePartsWith<TStringDecoder>},
    Layout<TBofDecoder>(kRecBof2, "BOF", "BOF"),
    Layout<TEmptyDecoder>(kRecEof, "EOF", "EOF"),
    Layout<TSettingDecoder>(kRecCalcCount, "CALCCOUNT", "CALCCOUNT"),
    Layout<TSettingDecoder>(kRecCalcMode, "CALCMODE", "CALCMODE"),
    Layout<TSettingDecoder>(kRecPrecision, "PRECISION", "PRECISION"),
    Layout<TSettingDecoder>(kRecRefMode, "REFMODE", "REFMODE"),
    Layout<TSettingDecoder>(kRecDelta, "DELTA"),
    Layout<TSettingDecoder>(kRecIteration, "ITERATION", "ITERATION"),
    Layout<TSettingDecoder>(kRecProtect, "PROTECT", "PROTECT"),
    Layout<TSettingDecoder>(kRecPassword, "PASSWORD", "PASSWORD"),
    Layout<TTextRecordDecoder>(kRecHeader, "HEADER", "HEADER"),
    Layout<TTextRecordDecoder>(kRecFooter, "FOOTER", "FOOTER"),
    Layout<TSettingDecoder>(kRecExternCount, "EXTERNCOUNT", "EXTERNCOUNT"),
    Layout<TExternSheetDecoder>(kRecExternSheet, "EXTERNSHEET", "EXTERNSHEET"),
    Layout<TSettingDecoder>(kRecWindowProtect, "WINDOWPROTECT", "WINDOWPROTECT"),
    Layout<TExternNameDecoder>(kRecExternName, "EXTERNNAME", "EXTERNNAME"),
    Layout<TSettingDecoder>(kRecLeftMargin, "LEFTMARGIN", "LEFTMARGIN"),
    Layout<TSettingDecoder>(kRecRightMargin, "RIGHTMARGIN", "RIGHTMARGIN"),
    Layout<TSettingDecoder>(kRecTopMargin, "TOPMARGIN", "TOPMARGIN"),
    Layout<TSettingDecoder>(kRecBottomMargin, "BOTTOMMARGIN", "BOTTOMMARGIN"),
    Layout<TSettingDecoder>(kRecPrintHeaders, "PRINTHEADERS", "PRINTHEADERS"),
    Layout<TSettingDecoder>(kRecPrintGridlines, "PRINTGRIDLINES", "PRINTGRIDLINES"),
    Layout<TSettingDecoder>(kRecPrintSize, "PRINTSIZE"),
    {kRecContinue, "CONTINUE", "CONTINUE", false, nullptr, &DescribeContinue},
    Layout<TWindow1Decoder>(kRecWindow1, "WINDOW1", "WINDOW1"),
    Layout<TSettingDecoder>(kRecBackup, "BACKUP", "BACKUP"),
    Layout<TSettingDecoder>(kRecDefColWidth, "DEFCOLWIDTH", "DEFCOLWIDTH"),
    Layout<TXctDecoder>(kRecXct, "XCT"),
    Layout<TCrnDecoder>(kRecCrn, "CRN"),
    Layout<TWriteAccessDecoder>(kRecWriteAccess, "WRITEACCESS", "WRITEACCESS"),
    Layout<TSettingDecoder>(kRecUncalced, "UNCALCED", "UNCALCED"),
    Layout<TSettingDecoder>(kRecSaveRecalc, "SAVERECALC", "SAVERECALC"),
    Layout<TSettingDecoder>(kRecObjProtect, "OBJPROTECT"),
    Layout<TSettingDecoder>(kRecGridSet, "GRIDSET", "GRIDSET"),
    Layout<TSettingDecoder>(kRecHCenter, "HCENTER", "HCENTER"),
    Layout<TSettingDecoder>(kRecVCenter, "VCENTER", "VCENTER"),
    Layout<TEmptyDecoder>(kRecWriteProt, "WRITEPROT"),
    Layout<TSettingDecoder>(kRecCountry, "COUNTRY", "COUNTRY"),
    Layout<TSettingDecoder>(kRecHideObj, "HIDEOBJ", "HIDEOBJ"),
    Layout<TBundleSheetDecoder>(kRecBundleSheet, "BUNDLESHEET"),
    Layout<TSettingDecoder>(kRecIntl, "INTL"),
    Layout<TSxStringDecoder>(kRecSxString, "SXSTRING"),
    Layout<TDbQueryDecoder>(kRecDbQuery, "DBQUERY"),
    Layout<TPaletteDecoder>(kRecPalette, "PALETTE", "PALETTE"),
    Layout<TSettingDecoder>(kRecStandardWidth, "STANDARDWIDTH"),
    Layout<TSettingDecoder>(kRecFnGroupCount, "FNGROUPCOUNT", "FNGROUPCOUNT"),
    Layout<TSettingDecoder>(kRecAutoFilterInfo, "AUTOFILTERINFO"),
    Layout<TEmptyDecoder>(kRecToolbarHdr, "TOOLBARHDR"),
    Layout<TEmptyDecoder>(kRecToolbarEnd, "TOOLBAREND"),
    Layout<TSettingDecoder>(kRecMms, "MMS"),
    Layout<TSettingDecoder>(kRecBookBool, "BOOKBOOL", "BOOKBOOL"),
    Layout<TSettingDecoder>(kRecScenProtect, "SCENPROTECT", "SCENPROTECT"),
    Layout<TSettingDecoder>(kRecInterfaceHdr, "INTERFACEHDR"),
    Layout<TEmptyDecoder>(kRecInterfaceEnd, "INTERFACEEND"),
    {kRecSst, "SST", "SST", true, &ApplySst, &DescribeSst},
    Layout<TTabIdDecoder>(kRecTabId, "TABID", "TABID"),
    Layout<TLabelRangesDecoder>(kRecLabelRanges, "LABELRANGES"),
    Layout<TSettingDecoder>(kRecUsesElfs, "USESELFS", "USESELFS"),
    Layout<TSettingDecoder>(kRecDsf, "DSF", "DSF"),
    Layout<TSupBookDecoder>(kRecSupBook, "SUPBOOK", "SUPBOOK"),
    Layout<TSettingDecoder>(kRecProt4Rev, "PROT4REV", "PROT4REV"),
    Layout<TSettingDecoder>(kRecRefreshAll, "REFRESHALL", "REFRESHALL"),
    Layout<TTextRecordDecoder>(kRecCodeName, "CODENAME"),
    Layout<TSettingDecoder>(kRecProt4RevPass, "PROT4REVPASS", "PROT4REVPASS"),
    {kRecExcel9, "EXCEL9FILE", nullptr, false, &ApplyExcel9, &DescribeWith<TEmptyDecoder>},
    Layout<TSettingDecoder>(kRecRecalcId, "RECALCID"),
    Layout<TBofDecoder>(kRecBof3, "BOF"),
    Layout<TExternNameDecoder>(kRecExternName3, "EXTERNNAME", "EXTERNNAME"),
    Layout<TStyleDecoder>(kRecStyle, "STYLE", "STYLE"),
    Layout<TBofDecoder>(kRecBof4, "BOF"),
    Layout<TBofDecoder>(kRecBof, "BOF"),
    {kRecHfPicture, "HFPICTURE", nullptr, false, nullptr, &DescribePartsWith<THfPictureDecoder>},
    Layout<TEmptyDecoder>(kRecChartBegin, "BEGIN"),
    Layout<TEmptyDecoder>(kRecChartEnd, "END"),
    Layout<TEmptyDecoder>(kRecChartPlotArea, "PLOTAREA"),
    {kRecChartGelFrame, "GELFRAME", nullptr, false, nullptr, &DescribePartsWith<TDrawingDecoder>},
};

}  // namespace

std::span<const TRecordType> BookRecordTypes()
{
  return kTypes;
}
