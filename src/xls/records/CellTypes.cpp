// The catalogue's entries for cells and the formula records around them: one
// entry and one decoder per record type, in code order.

#include "xls/records/TypeEntries.h"

namespace {

constexpr TRecordType kTypes[] = {
    Entry<TBlank2Decoder, &TRecordSink::Cell>(kRecBlank2, "BLANK"),
    Entry<TInteger2Decoder, &TRecordSink::Cell>(kRecInteger2, "INTEGER", "2INTEGER"),
    Entry<TNumber2Decoder, &TRecordSink::Cell>(kRecNumber2, "NUMBER", "2NUMBER"),
    Entry<TLabel2Decoder, &TRecordSink::Cell>(kRecLabel2, "LABEL", "2LABEL"),
    Entry<TBoolErr2Decoder, &TRecordSink::Cell>(kRecBoolErr2, "BOOLERR"),
    Entry<TFormulaResultDecoder, &TRecordSink::Cell>(kRecFormula, "FORMULA", "FORMULA"),
    Layout<TArrayDecoder>(kRecArray2, "ARRAY"),
    Layout<TTableDecoder>(kRecTable2, "TABLE"),
    Entry<TRkDecoder, &TRecordSink::Cell>(kRecRk, "RK", "RK"),
    Layout<TSharedFormulaDecoder>(kRecSharedFormula5, "SHRFMLA", "SHRFMLA"),
    Entry<TMulRkDecoder, &TRecordSink::Cell>(kRecMulRk, "MULRK", "MULRK"),
    Entry<TMulBlankDecoder, &TRecordSink::Cell>(kRecMulBlank, "MULBLANK", "MULBLANK"),
    Entry<TRStringDecoder, &TRecordSink::Cell>(kRecRString, "RSTRING", "RSTRING"),
    Entry<TLabelSstDecoder, &TRecordSink::Cell>(kRecLabelSst, "LABELSST", "LABELSST"),
    Layout<TBlankDecoder>(kRecBlank, "BLANK", "BLANK"),
    Entry<TNumberDecoder, &TRecordSink::Cell>(kRecNumber, "NUMBER", "NUMBER"),
    Entry<TLabelDecoder, &TRecordSink::Cell>(kRecLabel, "LABEL", "LABEL"),
    Entry<TBoolErrDecoder, &TRecordSink::Cell>(kRecBoolErr, "BOOLERR", "BOOLERR"),
    Entry<TFormulaResultDecoder, &TRecordSink::Cell>(kRecFormula3, "FORMULA"),
    Continued<TStringDecoder>(kRecString, "STRING", "STRING"),
    Layout<TArrayDecoder>(kRecArray, "ARRAY"),
    Layout<TTableDecoder>(kRecTable, "TABLE"),
    Entry<TRkDecoder, &TRecordSink::Cell>(kRecRk3, "RK", "RK3"),
    Entry<TFormulaResultDecoder, &TRecordSink::Cell>(kRecFormula4, "FORMULA"),
    Layout<TSharedFormulaDecoder>(kRecSharedFormula, "SHRFMLA"),
};

}  // namespace

std::span<const TRecordType> CellRecordTypes()
{
  return kTypes;
}
