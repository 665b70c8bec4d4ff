#pragma once

// A workbook's formulas, gathered from its records in stream order: the
// context every formula is read against (sheet names, the link tables,
// defined names), each worksheet's FORMULA records and the masters their
// tExp and tTbl tokens point to. It reads records only when fed them, so a
// load pays nothing for it unless someone asks for formulas.

#include "platform/text/CodePage.h"
#include "xls/ExcelVersion.h"
#include "xls/decode/DecodeContext.h"
#include "xls/formula/FormulaDecoder.h"
#include "xls/stream/SubstreamWalk.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

/// One formula cell of a worksheet.
struct TFormulaCellText {
  int Sheet = 0;  // the worksheet's index, as the model numbers sheets
  int Row = 0;
  int Column = 0;
  TFormulaResult Result;
};

/// One formula cell of a macro sheet.
struct TMacroCellText {
  int MacroSheet = 0;  // index into MacroSheets()
  std::uint64_t Record = 0;  // the FORMULA record's number, from 1
  int Row = 0;
  int Column = 0;
  TFormulaResult Result;
};

/// One macro sheet (an Excel 4 macro sheet, BOF type 0x0040) as read.
struct TMacroSheetRead {
  std::uint64_t Bof = 0;        // its BOF's record number
  std::uint64_t BofOffset = 0;  // and stream offset
  /// An INTL record marks an international macro sheet (its functions read
  /// as in the English version, whatever the language).
  bool International = false;
  std::size_t Formulas = 0;
};

/// One NAME record, decoded.
struct TDefinedName {
  std::uint64_t Record = 0;  // the NAME record's number, from 1
  std::string Name;          // a built-in name spelled out ("Print_Area")
  std::optional<std::string> Sheet;  // the sheet it belongs to; none for the workbook
  bool Hidden = false;
  bool BuiltIn = false;
  TFormulaResult Formula;
};

class TFormulaBook {
public:
  /// A book of the stream that starts as `start` says (the reader's
  /// WalkStart(); by default a bare stream, whose BOFs give the version).
  /// Without `worksheetFormulas` the worksheets' FORMULA records are passed
  /// over (for a reader of the macro sheets alone); the sheets are still
  /// counted as they are with them.
  explicit TFormulaBook(TWalkStart start = TSubstreamWalk::BareStart(TExcelVersion::evUnknown),
                        bool worksheetFormulas = true);
  ~TFormulaBook();
  TFormulaBook(const TFormulaBook&) = delete;
  TFormulaBook& operator=(const TFormulaBook&) = delete;

  /// Takes the next record of the workbook stream. Copies what it keeps.
  void Add(const TRecordRef& record);
  /// The substreams the records added so far hold.
  const std::vector<TSubstream>& Substreams() const { return FWalk.Substreams(); }

  /// Every formula cell of the worksheets read so far, sheet by sheet, in
  /// record order (a cell written twice is listed twice).
  std::vector<TFormulaCellText> Cells();
  /// The formula of one cell (the last FORMULA record that wrote it), decoded
  /// now into `result`; false when the cell has no formula. Cheap to ask
  /// for every cell of a workbook: each sheet's cells are indexed once.
  bool Formula(int sheet, int row, int column, TFormulaResult& result);
  /// Every NAME record, in order, its formula as Excel's name dialog shows
  /// it from cell A1.
  std::vector<TDefinedName> Names();
  /// The macro sheets read so far, in stream order (worksheets keep their
  /// numbering: a macro sheet is none of them).
  const std::vector<TMacroSheetRead>& MacroSheets() const { return FMacroSheetsRead; }
  /// Every formula cell of the macro sheets, sheet by sheet, each sheet's
  /// cells in row and then column order (a cell written twice is listed
  /// twice, in record order).
  std::vector<TMacroCellText> MacroCells();
  /// The context the globals give (for a NAME record or a cell of a
  /// worksheet without a link table of its own).
  const TFormulaContext& Globals() const { return FGlobals; }

  /// Worksheets read so far (the model's numbering: 0 to Sheets() - 1).
  int Sheets() const { return static_cast<int>(FSheets.size()); }
  /// Decodes a token array of worksheet `sheet` (before BIFF8 against its
  /// own link table), or of the globals for a sheet outside 0 to Sheets() -
  /// 1; as TFormulaDecoder::Decode, `listing` included.
  TFormulaResult Decode(int sheet, std::span<const std::uint8_t> tokens,
                        std::span<const std::uint8_t> extra, TFormulaCell cell, TFormulaKind kind,
                        std::vector<TFormulaToken>* listing = nullptr);
  /// A FORMULA record's tokens of worksheet `sheet` as
  /// TFormulaDecoder::DecodeCell reads them against the sheet's masters (none
  /// for a sheet outside 0 to Sheets() - 1).
  TFormulaResult DecodeCell(int sheet, std::span<const std::uint8_t> tokens,
                            std::span<const std::uint8_t> extra, TFormulaCell cell,
                            std::vector<TFormulaToken>* listing = nullptr);

private:
  struct TNameRecord {
    std::vector<std::uint8_t> Tokens;
    std::vector<std::uint8_t> Extra;
    std::uint16_t Options = 0;
    std::uint64_t Record = 0;
  };
  struct TFormulaCopy {
    TFormulaCell Cell;
    std::uint32_t TokensBegin = 0;
    std::uint32_t TokensSize = 0;
    std::uint32_t ExtraSize = 0;
  };
  /// A worksheet's formulas with the link table and masters they read against.
  struct TSheetFormulas {
    int Sheet = 0;
    std::uint16_t HostSheet = 0;  // its BOUNDSHEET position, from 1
    std::vector<TFormulaExternSheet> ExternSheets;  // BIFF2-7 only
    TSharedFormulaIndex Masters;
    std::vector<TFormulaCopy> Formulas;
    std::vector<std::uint64_t> Records;  // a macro sheet's: each formula's record number
    bool Macro = false;
    std::vector<std::uint8_t> Bytes;  // every formula's tokens and data
    // Made when a cell of the sheet is first asked for: each cell's last
    // formula (row << 16 | column, index into Formulas), by cell. Cells are
    // mostly asked for in order, so the entry after the last one found is
    // tried first.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ByCell;
    std::size_t NextCell = 0;
    std::unique_ptr<TFormulaContext> Context;
    std::unique_ptr<TFormulaDecoder> Decoder;
  };

  /// A substream begins: a worksheet's formulas come next.
  void Opened();
  void AddGlobalsRecord(std::uint64_t number, std::uint16_t code, std::span<const std::uint8_t> data);
  /// A record of `sheet`'s own: its formulas and their masters, its link
  /// table before BIFF8. False for a record that is none of these.
  bool AddSheetRecord(TSheetFormulas& sheet, std::uint64_t number, std::uint16_t code,
                      std::span<const std::uint8_t> data);
  /// The sheet's context (its own link table before BIFF8) and decoder.
  void Prepare(TSheetFormulas& sheet);
  void Decode(TSheetFormulas& sheet, const TFormulaCopy& formula, TFormulaResult& result);

  TCodePageDecoder FCodePage;
  // What the record decoders read with: the version and the code page; made
  // once, as a context is costly to make per record.
  TDecodeContext FContext;
  TFormulaContext FGlobals;
  // Made on first use: decodes for the globals and sheets not read.
  std::unique_ptr<TFormulaDecoder> FGlobalsDecoder;
  TSharedFormulaIndex FNoMasters;
  std::vector<TNameRecord> FNameRecords;
  std::vector<TSheetFormulas> FSheets;
  std::vector<TSheetFormulas> FMacroSheets;
  std::vector<TMacroSheetRead> FMacroSheetsRead;
  bool FWorksheetFormulas = true;
  TExcelVersion FVersion = TExcelVersion::evUnknown;
  TSubstreamWalk FWalk;
  int FTopSubstreams = 0;    // substreams begun outside any other, the globals included
  std::optional<TFormulaCell> FLastFormula;
};
