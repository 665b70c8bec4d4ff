#include "xls/formula/FormulaBook.h"

#include "xls/RecordCodes.h"
#include "xls/decode/BuiltInNames.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/decode/LinkRecords.h"
#include "xls/formula/FormulaMessages.h"

#include <algorithm>

namespace {

// In place of a token size: the record was too short to read.
constexpr std::uint32_t kRecordTooShort = 0xFFFFFFFFu;

// NAME options ([MS-XLS] 2.4.150 Lbl): fHidden, fBuiltin.
constexpr std::uint16_t kNameHidden = 0x0001;
constexpr std::uint16_t kNameBuiltIn = 0x0020;
/// Runs `decoder` over a record, handing what it reads to `use`.
template <typename TDecoder, typename TUse>
void DecodeRecord(std::span<const std::uint8_t> data, const TDecodeContext& context, std::uint16_t code,
            TUse&& use)
{
  TRecordCursor cursor(data);
  TDecoder()(cursor, context, code, use);
}

}  // namespace

TFormulaBook::TFormulaBook(TWalkStart start, bool worksheetFormulas)
    : FWorksheetFormulas(worksheetFormulas), FWalk(start)
{
  FGlobals.CodePage = &FCodePage;
  FContext.Text = &FCodePage;
}

TFormulaBook::~TFormulaBook() = default;

void TFormulaBook::Add(const TRecordRef& record)
{
  switch (FWalk.Step(record)) {
  case TWalkStep::wsOpened:
    Opened();
    return;
  case TWalkStep::wsRecord:
    break;
  default:
    return;
  }
  // Only the top substream's own records: a chart inside a sheet has
  // formulas of its own that are no cells.
  if (FWalk.Depth() != 1)
    return;
  switch (FWalk.CurrentType()) {
  case kBofTypeWorksheet:
    if (FWorksheetFormulas)
      AddSheetRecord(FSheets.back(), record.Number, record.Header.Code, record.Data);
    return;
  case kBofTypeMacroSheet:
    if (record.Header.Code == kRecIntl)
      FMacroSheetsRead.back().International = true;
    // Its NAME records (a BIFF2-4 sheet keeps its own) are the book's.
    if (!AddSheetRecord(FMacroSheets.back(), record.Number, record.Header.Code, record.Data))
      AddGlobalsRecord(record.Number, record.Header.Code, record.Data);
    FMacroSheetsRead.back().Formulas = FMacroSheets.back().Formulas.size();
    return;
  default:
    AddGlobalsRecord(record.Number, record.Header.Code, record.Data);
    return;
  }
}

void TFormulaBook::Opened()
{
  if (FVersion == TExcelVersion::evUnknown) {
    // The token layout follows the globals' version; a sheet's own BOF may
    // say otherwise.
    FVersion = FWalk.Version();
    FGlobals.Version = FVersion;
    FContext.Version = FVersion;
  }
  if (FWalk.Depth() != 1)
    return;
  ++FTopSubstreams;
  const TSubstream& opened = FWalk.Substreams()[static_cast<std::size_t>(FWalk.Current())];
  if (opened.Type != kBofTypeWorksheet && opened.Type != kBofTypeMacroSheet)
    return;
  TSheetFormulas sheet;
  sheet.Sheet = opened.Worksheet;
  // The substreams after the globals follow their BOUNDSHEET records.
  sheet.HostSheet = static_cast<std::uint16_t>(FTopSubstreams - 1);
  FLastFormula.reset();
  if (opened.Type == kBofTypeMacroSheet) {
    sheet.Macro = true;
    FMacroSheets.push_back(std::move(sheet));
    FMacroSheetsRead.push_back({opened.Bof, opened.BofOffset, false, 0});
    return;
  }
  FSheets.push_back(std::move(sheet));
}

void TFormulaBook::AddGlobalsRecord(std::uint64_t number, std::uint16_t code, std::span<const std::uint8_t> data)
{
  const TDecodeContext& context = FContext;
  switch (code) {
  case kRecCodePage:
    DecodeRecord<TCodePageDecoderRecord>(data, context, code, [&](int page) { FCodePage.SetCodePage(page); });
    return;
  case kRecBoundSheet:
    DecodeRecord<TBoundSheetDecoder>(data, context, code,
                               [&](const TSheetName& entry) { FGlobals.SheetNames.push_back(entry.Name); });
    return;
  case kRecName:
  case kRecName3:
    DecodeRecord<TNameDecoder>(data, context, code, [&](const TXLSName& name) {
      TFormulaName formulaName;
      formulaName.Name = name.Name;
      formulaName.BuiltIn = (name.Options & kNameBuiltIn) != 0;
      formulaName.Sheet = name.Sheet;
      FGlobals.Names.push_back(formulaName);
      FNameRecords.push_back({{name.Definition.begin(), name.Definition.end()},
                              {name.Extra.begin(), name.Extra.end()},
                              static_cast<std::uint16_t>(name.Options), number});
    });
    return;
  case kRecExternSheet:
    DecodeRecord<TExternSheetDecoder>(data, context, code, [&](const TExternSheetRecord& record) {
      if (context.Biff8())
        FGlobals.Xti.insert(FGlobals.Xti.end(), record.Xti.begin(), record.Xti.end());
      else
        FGlobals.ExternSheets.push_back({record.Encoded, {}});
    });
    return;
  case kRecSupBook:
    DecodeRecord<TSupBookDecoder>(data, context, code,
                            [&](const TFormulaSupBook& book) { FGlobals.SupBooks.push_back(book); });
    return;
  case kRecExternName:
  case kRecExternName3:
    DecodeRecord<TExternNameDecoder>(data, context, code, [&](const TExternNameRecord& name) {
      // BIFF8 names belong to the SUPBOOK before them, earlier ones to the
      // EXTERNSHEET before them.
      if (context.Biff8() && !FGlobals.SupBooks.empty())
        FGlobals.SupBooks.back().Names.push_back(name.Name);
      else if (!context.Biff8() && !FGlobals.ExternSheets.empty())
        FGlobals.ExternSheets.back().Names.push_back(name.Name);
    });
    return;
  default:
    return;
  }
}

bool TFormulaBook::AddSheetRecord(TSheetFormulas& sheet, std::uint64_t number, std::uint16_t code,
                                  std::span<const std::uint8_t> data)
{
  const TDecodeContext& context = FContext;
  const TFormulaCell* host = FLastFormula ? &*FLastFormula : nullptr;
  switch (code) {
  case kRecFormula:
  case kRecFormula3:
  case kRecFormula4: {
    const auto formula = ReadFormulaRecord(data, FVersion);
    if (!formula) {
      // Listed with its message; its cell is the record's first two words.
      TRecordCursor cursor(data);
      TFormulaCopy copy;
      copy.Cell.Row = cursor.U16("row");
      copy.Cell.Column = cursor.U16("col");
      copy.TokensSize = kRecordTooShort;
      if (!cursor.Short()) {
        sheet.Formulas.push_back(copy);
        if (sheet.Macro)
          sheet.Records.push_back(number);
      }
      return true;
    }
    TFormulaCopy copy;
    copy.Cell = formula->Cell;
    copy.TokensBegin = static_cast<std::uint32_t>(sheet.Bytes.size());
    copy.TokensSize = static_cast<std::uint32_t>(formula->Tokens.size());
    copy.ExtraSize = static_cast<std::uint32_t>(formula->Extra.size());
    sheet.Bytes.insert(sheet.Bytes.end(), formula->Tokens.begin(), formula->Tokens.end());
    sheet.Bytes.insert(sheet.Bytes.end(), formula->Extra.begin(), formula->Extra.end());
    sheet.Formulas.push_back(copy);
    if (sheet.Macro)
      sheet.Records.push_back(number);
    FLastFormula = formula->Cell;
    return true;
  }
  case kRecSharedFormula:
    sheet.Masters.AddSharedFormula(data, host);
    return true;
  case kRecArray:
  case kRecArray2:
    sheet.Masters.AddArray(data, FVersion, host);
    return true;
  case kRecTable:
    sheet.Masters.AddTable(data, host);
    return true;
  case kRecExternCount:
    // BIFF2 to BIFF7: a sheet's own link table starts here.
    if (!context.Biff8())
      sheet.ExternSheets.clear();
    return !context.Biff8();
  case kRecExternSheet:
    if (!context.Biff8())
      DecodeRecord<TExternSheetDecoder>(data, context, code, [&](const TExternSheetRecord& record) {
        sheet.ExternSheets.push_back({record.Encoded, {}});
      });
    return !context.Biff8();
  case kRecExternName:
  case kRecExternName3:
    if (!context.Biff8())
      DecodeRecord<TExternNameDecoder>(data, context, code, [&](const TExternNameRecord& name) {
        if (!sheet.ExternSheets.empty())
          sheet.ExternSheets.back().Names.push_back(name.Name);
      });
    return !context.Biff8();
  default:
    return false;
  }
}

void TFormulaBook::Prepare(TSheetFormulas& sheet)
{
  if (sheet.Decoder)
    return;
  // Before BIFF8 a sheet's formulas read its own link table.
  sheet.Context = std::make_unique<TFormulaContext>(FGlobals);
  sheet.Context->HostSheet = sheet.HostSheet;
  if (FVersion < TExcelVersion::evExcel8)
    sheet.Context->ExternSheets = sheet.ExternSheets;
  sheet.Decoder = std::make_unique<TFormulaDecoder>(*sheet.Context);
}

void TFormulaBook::Decode(TSheetFormulas& sheet, const TFormulaCopy& f, TFormulaResult& result)
{
  if (f.TokensSize == kRecordTooShort) {
    result.Text.clear();
    result.Error = kMsgFormulaRecordTruncated;
    return;
  }
  const std::span<const std::uint8_t> bytes(sheet.Bytes);
  // Into the result's own strings: a cell after cell costs no allocation.
  result.Text.clear();
  sheet.Decoder->DecodeCellInto(bytes.subspan(f.TokensBegin, f.TokensSize),
                                bytes.subspan(f.TokensBegin + f.TokensSize, f.ExtraSize), f.Cell,
                                sheet.Masters, result.Text, result.Error);
}

std::vector<TFormulaCellText> TFormulaBook::Cells()
{
  std::vector<TFormulaCellText> cells;
  for (TSheetFormulas& sheet : FSheets) {
    Prepare(sheet);
    for (const TFormulaCopy& f : sheet.Formulas) {
      TFormulaCellText cell{sheet.Sheet, f.Cell.Row, f.Cell.Column, {}};
      Decode(sheet, f, cell.Result);
      cells.push_back(std::move(cell));
    }
  }
  return cells;
}

bool TFormulaBook::Formula(int sheetIndex, int row, int column, TFormulaResult& result)
{
  if (sheetIndex < 0 || static_cast<std::size_t>(sheetIndex) >= FSheets.size())
    return false;
  TSheetFormulas& sheet = FSheets[static_cast<std::size_t>(sheetIndex)];
  // Rows and columns of a record are 16-bit: a larger one has no formula
  // (and must not wrap onto one that has).
  constexpr int kLargest = 0xFFFF;
  if (sheet.Formulas.empty() || row < 0 || column < 0 || row > kLargest || column > kLargest)
    return false;
  auto& byCell = sheet.ByCell;
  if (byCell.empty()) {
    byCell.reserve(sheet.Formulas.size());
    for (std::size_t i = 0; i < sheet.Formulas.size(); ++i) {
      const TFormulaCell cell = sheet.Formulas[i].Cell;
      byCell.emplace_back(std::uint32_t{cell.Row} << 16 | cell.Column, static_cast<std::uint32_t>(i));
    }
    // Records come row by row, mostly in order already; of a cell written
    // twice the last record counts.
    const auto byKey = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(byCell.begin(), byCell.end(), byKey))
      std::stable_sort(byCell.begin(), byCell.end(), byKey);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < byCell.size(); ++i) {
      if (kept > 0 && byCell[kept - 1].first == byCell[i].first)
        --kept;
      byCell[kept++] = byCell[i];
    }
    byCell.resize(kept);
  }
  const std::uint32_t key =
      static_cast<std::uint32_t>(row) << 16 | static_cast<std::uint32_t>(column);
  std::size_t at = sheet.NextCell;
  // Not where the last look-up left off: search.
  if (at > byCell.size() || (at < byCell.size() && byCell[at].first < key) ||
      (at > 0 && byCell[at - 1].first >= key))
    at = static_cast<std::size_t>(
        std::lower_bound(byCell.begin(), byCell.end(), key,
                         [](const auto& entry, std::uint32_t k) { return entry.first < k; }) -
        byCell.begin());
  sheet.NextCell = at;
  if (at == byCell.size() || byCell[at].first != key)
    return false;
  sheet.NextCell = at + 1;
  Prepare(sheet);
  Decode(sheet, sheet.Formulas[byCell[at].second], result);
  return true;
}

std::vector<TMacroCellText> TFormulaBook::MacroCells()
{
  std::vector<TMacroCellText> cells;
  for (std::size_t m = 0; m < FMacroSheets.size(); ++m) {
    TSheetFormulas& sheet = FMacroSheets[m];
    Prepare(sheet);
    // Records come row by row, mostly in order already.
    std::vector<std::size_t> order(sheet.Formulas.size());
    for (std::size_t i = 0; i < order.size(); ++i)
      order[i] = i;
    const auto key = [&](std::size_t i) {
      return std::uint32_t{sheet.Formulas[i].Cell.Row} << 16 | sheet.Formulas[i].Cell.Column;
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    for (const std::size_t i : order) {
      const TFormulaCopy& f = sheet.Formulas[i];
      TMacroCellText cell{static_cast<int>(m), i < sheet.Records.size() ? sheet.Records[i] : 0, f.Cell.Row,
                          f.Cell.Column, {}};
      Decode(sheet, f, cell.Result);
      cells.push_back(std::move(cell));
    }
  }
  return cells;
}

std::vector<TDefinedName> TFormulaBook::Names()
{
  std::vector<TDefinedName> names;
  TFormulaDecoder decoder(FGlobals);
  for (std::size_t i = 0; i < FNameRecords.size() && i < FGlobals.Names.size(); ++i) {
    const TFormulaName& name = FGlobals.Names[i];
    const TNameRecord& record = FNameRecords[i];
    TDefinedName defined;
    defined.Record = record.Record;
    defined.BuiltIn = name.BuiltIn;
    defined.Hidden = (record.Options & kNameHidden) != 0;
    const std::string_view builtIn =
        name.BuiltIn && !name.Name.empty() ? BuiltInName(static_cast<std::uint8_t>(name.Name[0]))
                                           : std::string_view();
    defined.Name = builtIn.empty() ? name.Name : std::string(builtIn);
    if (name.Sheet > 0 && name.Sheet <= FGlobals.SheetNames.size())
      defined.Sheet = FGlobals.SheetNames[name.Sheet - 1u];
    defined.Formula = decoder.Decode(record.Tokens, record.Extra, {}, TFormulaKind::fkName);
    names.push_back(std::move(defined));
  }
  return names;
}

TFormulaResult TFormulaBook::Decode(int sheetIndex, std::span<const std::uint8_t> tokens,
                                    std::span<const std::uint8_t> extra, TFormulaCell cell,
                                    TFormulaKind kind, std::vector<TFormulaToken>* listing)
{
  if (sheetIndex >= 0 && sheetIndex < Sheets()) {
    TSheetFormulas& sheet = FSheets[static_cast<std::size_t>(sheetIndex)];
    Prepare(sheet);
    return sheet.Decoder->Decode(tokens, extra, cell, kind, listing);
  }
  if (!FGlobalsDecoder)
    FGlobalsDecoder = std::make_unique<TFormulaDecoder>(FGlobals);
  return FGlobalsDecoder->Decode(tokens, extra, cell, kind, listing);
}

TFormulaResult TFormulaBook::DecodeCell(int sheetIndex, std::span<const std::uint8_t> tokens,
                                        std::span<const std::uint8_t> extra, TFormulaCell cell,
                                        std::vector<TFormulaToken>* listing)
{
  if (sheetIndex >= 0 && sheetIndex < Sheets()) {
    TSheetFormulas& sheet = FSheets[static_cast<std::size_t>(sheetIndex)];
    Prepare(sheet);
    return sheet.Decoder->DecodeCell(tokens, extra, cell, sheet.Masters, listing);
  }
  if (!FGlobalsDecoder)
    FGlobalsDecoder = std::make_unique<TFormulaDecoder>(FGlobals);
  return FGlobalsDecoder->DecodeCell(tokens, extra, cell, FNoMasters, listing);
}
