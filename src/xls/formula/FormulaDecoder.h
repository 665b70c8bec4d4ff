#pragma once

// Parsed formulas of BIFF2 to BIFF8 ([MS-XLS] 2.5.198 Rgce and the Ptg
// tokens) as the text Excel's formula bar shows, without the leading "=".
//
//   TFormulaContext context;            // filled from the workbook globals
//   context.Version = TExcelVersion::evExcel8;
//   context.SheetNames = {"Sheet1", "Data"};
//   TFormulaDecoder decoder(context);
//   const TFormulaResult r = decoder.Decode(tokens, extra, {row, column});
//   if (r.Ok()) ... r.Text ...         // "SUM(Data!A1:A3)*2"
//   else ... r.Error ...               // "Formula is cut short in token tRefV at byte 4"
//
// Nothing here throws for bad input: a token that cannot be read (unknown,
// cut short, pointing at a name or sheet that does not exist) gives a
// result with a message instead, so a reader can show it on that one cell
// and go on.

#include "xls/decode/LinkTable.h"
#include "xls/formula/SharedFormulaIndex.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TCodePageDecoder;

/// One NAME record.
struct TFormulaName {
  /// The name as stored; for a built-in name (BuiltIn) its one-character
  /// code (0x06 for Print_Area, ...), which the decoder spells out.
  std::string Name;
  bool BuiltIn = false;
  /// 0 for a name of the workbook, else the one-based BOUNDSHEET position
  /// of the sheet it belongs to.
  std::uint16_t Sheet = 0;
};

/// What a formula's names, sheets and links refer to: a plain structure the
/// reader fills from the records. All texts are UTF-8.
struct TFormulaContext {
  /// The workbook's version, as the globals' BOF gives it (a sheet's own
  /// BOF may differ, the token layout does not).
  TExcelVersion Version{};
  /// BOUNDSHEET names in record order, every kind of sheet.
  std::vector<std::string> SheetNames;
  /// BIFF8: the XTI entries of the EXTERNSHEET record, and the SUPBOOKs.
  std::vector<TFormulaXti> Xti;
  std::vector<TFormulaSupBook> SupBooks;
  /// BIFF2-7: the EXTERNSHEET records of the link table the formula uses:
  /// a worksheet's own table for its cells, the globals' for NAME records.
  std::vector<TFormulaExternSheet> ExternSheets;
  /// NAME records in order (tName counts them from 1).
  std::vector<TFormulaName> Names;
  /// The one-based BOUNDSHEET position of the sheet whose formulas are
  /// read; 0 for none (NAME records). A name of another sheet is written
  /// after its sheet's name ("Data!Local"), one of this sheet bare.
  std::uint16_t HostSheet = 0;
  /// Decodes 8-bit text before BIFF8 (string constants); Latin-1 when null.
  /// Not owned: it must outlive the decoding.
  TCodePageDecoder* CodePage = nullptr;
};

/// Where a token array comes from, which decides how a relative reference
/// reads.
enum class TFormulaKind : std::uint8_t {
  /// FORMULA and ARRAY records: references hold their cells; only
  /// tRefN/tAreaN hold offsets from the cell.
  fkCell,
  /// SHRFMLA: tRefN/tAreaN offsets are added to the cell that shows the
  /// formula, wrapping at 256 columns and at the version's rows.
  fkShared,
  /// NAME records: every relative part of every reference is an offset from
  /// the cell the name is used in; shown as seen from `cell` (A1 in Excel's
  /// name dialog when A1 is the active cell).
  fkName,
};

/// The outcome of decoding one formula.
struct TFormulaResult {
  std::string Text;   // the formula without "=", when Error is empty
  std::string Error;  // one of the kMsgFormula... texts, formatted; empty on success
  bool Ok() const { return Error.empty(); }
};

/// One token (or one block of constant data after the tokens) as the
/// inspector lists it.
struct TFormulaToken {
  /// Byte range. Counted from the first token; a block of the data after
  /// the tokens (array constants, tMemArea ranges) counts on past the last
  /// token, as the two follow each other in the record.
  std::size_t Offset = 0;
  std::size_t Size = 0;
  /// "tRefV", "tFuncVarV", "tAttrSpace", "array data", ...
  std::string_view Name;
  /// The operand as text: "Sheet1!$A$1", "SUM, 2 arguments", "3 spaces", ...
  std::string Operand;
};

/// Decodes token arrays. Holds buffers that later calls reuse, so a
/// decoder kept for a sheet allocates nothing once they have grown (but
/// each TFormulaResult's text; DecodeInto and DecodeCellInto not even
/// that), and remembers what it read of the last few token arrays: every
/// cell of a shared formula, and formulas filled down a column (which
/// differ only in their references), read no token twice. Keeps a
/// reference to the context: the context must outlive the decoder and not
/// change while the decoder is used. Not for use by two threads at once.
class TFormulaDecoder {
public:
  explicit TFormulaDecoder(const TFormulaContext& context);
  ~TFormulaDecoder();
  TFormulaDecoder(const TFormulaDecoder&) = delete;
  TFormulaDecoder& operator=(const TFormulaDecoder&) = delete;

  /// The text of the token array `tokens`, whose constant data (array
  /// constants, ranges of tMemArea) is `extra`. `cell` is the cell that
  /// shows the formula (the base of relative references). When `listing`
  /// is given, it receives one entry per token and data block read, also
  /// up to a failure; it is cleared first.
  TFormulaResult Decode(std::span<const std::uint8_t> tokens, std::span<const std::uint8_t> extra,
                        TFormulaCell cell, TFormulaKind kind = TFormulaKind::fkCell,
                        std::vector<TFormulaToken>* listing = nullptr);

  /// The text of a FORMULA record's tokens at `cell`. A formula that starts
  /// with tExp or tTbl is the one `masters` holds for the token's anchor
  /// cell: a SHRFMLA's re-based on `cell`, an ARRAY's the same in every
  /// cell of its range, a TABLE's "TABLE(row input,column input)" (one of
  /// them empty for a one-input table); a missing master gives
  /// kMsgFormulaMasterMissing, and a message about the master's tokens
  /// counts its bytes from the master's first token. `listing` lists the
  /// cell's own tokens only.
  TFormulaResult DecodeCell(std::span<const std::uint8_t> tokens,
                            std::span<const std::uint8_t> extra, TFormulaCell cell,
                            const TSharedFormulaIndex& masters,
                            std::vector<TFormulaToken>* listing = nullptr);

  /// Decode and DecodeCell for a caller that decodes many formulas: the
  /// text is appended to `text` (one buffer for them all, or a string
  /// kept from cell to cell), with no allocation but the growth of `text`.
  /// True on success, `error` then cleared. False for a formula that
  /// cannot be read: `error` gets the message (as TFormulaResult::Error),
  /// `text` stays as it was. `text` and `error` must be different strings.
  ///
  ///   std::string texts, error;
  ///   std::vector<std::size_t> ends;     // where each cell's text ends
  ///   for (const TFormulaRecord& f : formulas) {
  ///     if (!decoder.DecodeCellInto(f.Tokens, f.Extra, f.Cell, masters, texts, error))
  ///       ... error ...
  ///     ends.push_back(texts.size());
  ///   }
  bool DecodeInto(std::span<const std::uint8_t> tokens, std::span<const std::uint8_t> extra,
                  TFormulaCell cell, TFormulaKind kind, std::string& text, std::string& error,
                  std::vector<TFormulaToken>* listing = nullptr);
  bool DecodeCellInto(std::span<const std::uint8_t> tokens, std::span<const std::uint8_t> extra,
                      TFormulaCell cell, const TSharedFormulaIndex& masters, std::string& text,
                      std::string& error, std::vector<TFormulaToken>* listing = nullptr);

private:
  class TState;
  std::unique_ptr<TState> FState;
};

