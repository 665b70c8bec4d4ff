#pragma once

// Builds BIFF record streams in memory for tests, written from the file
// format and independent of the reader:
//
//   const auto book = TBiffBuilder()
//       .Bof(TExcelVersion::evExcel8, TBofType::btGlobals)
//       .BoundSheet("Sheet1", 1)  // the sheet whose BOF is the builder's second
//       .Eof()
//       .Bof(TExcelVersion::evExcel8)
//       .Number(0, 0, 15, 1.5)
//       .Eof()
//       .Build();
//   const auto file = InCompoundFile(book);
//
// The builder remembers the version of the last BOF: cell and text helpers
// write the layout of that version (BIFF8 strings with an option byte,
// 8-bit text before; BIFF2 cells with attribute bytes). Text arguments are
// UTF-8 for UTF-16 fields and raw bytes for 8-bit fields, so a test of a
// code page writes the bytes of that code page.

#include "xls/MSExcel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Little-endian bytes, appended fluently.
class TBytes {
public:
  TBytes() = default;
  TBytes(std::initializer_list<std::uint8_t> bytes) : FData(bytes) {}

  TBytes& U8(std::uint8_t value);
  TBytes& U16(std::uint16_t value);
  TBytes& U32(std::uint32_t value);
  TBytes& F64(double value);
  /// The bytes of `text` as they are (8-bit text, any code page).
  TBytes& Ascii(std::string_view text);
  /// `utf8` as UTF-16LE code units, without count or option byte.
  TBytes& Utf16(std::string_view utf8);
  /// UTF-16LE code units as given (also unpaired surrogates).
  TBytes& Units(std::u16string_view units);
  TBytes& Append(const std::vector<std::uint8_t>& bytes);
  TBytes& Zeros(std::size_t count);

  std::size_t Size() const { return FData.size(); }
  const std::vector<std::uint8_t>& Data() const { return FData; }
  operator const std::vector<std::uint8_t>&() const { return FData; }

private:
  std::vector<std::uint8_t> FData;
};

/// UTF-8 to UTF-16 code units (valid UTF-8 assumed).
std::u16string Utf16Units(std::string_view utf8);

enum class TBofType : std::uint16_t {
  btGlobals = 0x0005,
  btVbModule = 0x0006,
  btWorksheet = 0x0010,
  btChart = 0x0020,
  btMacroSheet = 0x0040,
};

/// The SST record and its CONTINUE records. Strings are appended as the
/// format lays them out; `SplitAt` ends a record at given offsets of the
/// SST's data (counted from the first byte after the SST header, so 8 is
/// where the first string starts). A split inside a string's characters
/// starts the CONTINUE with the option byte of the characters' width, as
/// Excel writes it; `ContinueChars` writes a continuation explicitly, also
/// one that switches width or carries a bad option byte.
class TSstBuilder {
public:
  /// The two counts; by default total = unique = the number of strings added.
  TSstBuilder& Counts(std::uint32_t total, std::uint32_t unique);
  /// A whole string: 8-bit characters (`wide` false, `text` taken as Latin-1
  /// bytes) or UTF-16 (`text` UTF-8). Rich runs and ext data are filled with
  /// bytes that differ from a string header, so a misplaced read shows.
  TSstBuilder& String(std::string_view text, bool wide = false, std::uint16_t runs = 0,
                      std::uint32_t extSize = 0);
  /// Low level: the 3-byte string header (plus run count and ext size when
  /// the option byte says so).
  TSstBuilder& Header(std::uint16_t chars, std::uint8_t options, std::uint16_t runs = 0,
                      std::uint32_t extSize = 0);
  TSstBuilder& Chars8(std::string_view latin1);
  TSstBuilder& Chars16(std::string_view utf8);
  TSstBuilder& Runs(std::uint16_t runs);
  TSstBuilder& Ext(std::uint32_t size);
  TSstBuilder& Raw(const TBytes& bytes);
  /// Ends the current record here; the next bytes open a CONTINUE.
  TSstBuilder& Continue();
  /// Ends the current record and opens a CONTINUE whose first byte is `flag`.
  TSstBuilder& ContinueChars(std::uint8_t flag);
  /// Automatic splits at these data offsets (see the class comment).
  TSstBuilder& SplitAt(std::vector<std::size_t> offsets);

  /// The records: SST data first, then each CONTINUE's data.
  std::vector<std::vector<std::uint8_t>> Records() const;

private:
  enum class TPieceKind { pkPlain, pkChars8, pkChars16, pkBreak };
  struct TPiece {
    TPieceKind Kind = TPieceKind::pkPlain;
    std::vector<std::uint8_t> Bytes;
  };
  void Add(TPieceKind kind, std::vector<std::uint8_t> bytes);

  bool FCountsSet = false;
  std::uint32_t FTotal = 0;
  std::uint32_t FUnique = 0;
  std::uint32_t FStrings = 0;
  std::vector<TPiece> FPieces;
  std::vector<std::size_t> FSplits;
};

/// A BIFF record stream.
class TBiffBuilder {
public:
  /// A BOF of the version's code and layout; sets the version of the
  /// following helpers. BOFs are numbered from 0 in call order for
  /// BoundSheet.
  TBiffBuilder& Bof(TExcelVersion version, TBofType type = TBofType::btWorksheet);
  TBiffBuilder& Eof();
  TBiffBuilder& Record(std::uint16_t code, const std::vector<std::uint8_t>& data);
  /// A header that claims `length` followed by only the bytes given (a
  /// record cut short by the end of the stream, or one with a lying length).
  TBiffBuilder& RecordWithLength(std::uint16_t code, std::uint16_t length,
                                 const std::vector<std::uint8_t>& data);
  /// Bytes outside any record (padding, a partial header).
  TBiffBuilder& Raw(const std::vector<std::uint8_t>& bytes);

  // Workbook globals.
  /// A BOUNDSHEET whose BOF offset is that of the builder's BOF number
  /// `bofNumber`, resolved by Build. In BIFF8 the name is written 8-bit when
  /// all its characters are Latin-1 and `wide` is false, else UTF-16.
  /// `visibility`: 0 visible, 1 hidden, 2 very hidden.
  TBiffBuilder& BoundSheet(std::string_view name, int bofNumber, bool wide = false,
                           std::uint8_t sheetType = 0, std::uint8_t visibility = 0);
  TBiffBuilder& BoundSheetAt(std::string_view name, std::uint32_t bofOffset, std::uint8_t sheetType = 0);
  TBiffBuilder& CodePage(std::uint16_t codePage);
  TBiffBuilder& DateMode(std::uint16_t mode);
  TBiffBuilder& FilePass();
  TBiffBuilder& Excel9();
  TBiffBuilder& Sst(const TSstBuilder& sst);
  /// XF records of the version: XF5 (BIFF5/8), XF4, XF3, XF2.
  TBiffBuilder& Xf(std::uint16_t formatIndex);
  /// FORMAT (0x041E in BIFF4 to BIFF8, 0x001E in BIFF2/3).
  TBiffBuilder& Format(std::uint16_t index, std::string_view text);

  /// FONT of the version: BIFF2 (0x0031: height, options, name), BIFF3
  /// and BIFF4 (0x0231: a colour before the name), BIFF5 on (0x0031: colour,
  /// weight, escapement, underline, family, character set; BIFF8 names in
  /// UTF-16 when `wide`). `options` bit 1 is italic; before BIFF5 bit 0 is
  /// bold.
  TBiffBuilder& Font(std::uint16_t height, std::uint16_t options, std::uint16_t weight,
                     std::string_view name, bool wide = false);
  /// STYLE of a built-in style (its number and outline level).
  TBiffBuilder& BuiltInStyle(std::uint16_t xf, std::uint8_t style, std::uint8_t level = 0xFF);
  /// STYLE of a user style with its name.
  TBiffBuilder& UserStyle(std::uint16_t xf, std::string_view name);
  /// FILEPASS of BIFF8 XOR obfuscation (type 0), or, before BIFF8, the
  /// 4-byte record.
  TBiffBuilder& FilePassXor(std::uint16_t key, std::uint16_t verifier);
  /// FILEPASS of RC4 version 1.1: salt, encrypted verifier and its hash,
  /// 16 bytes each (filled with `fill`, `fill + 1`, `fill + 2`).
  TBiffBuilder& FilePassRc4(std::uint8_t fill);
  /// FILEPASS of RC4 CryptoAPI `major`.2 with the header naming `provider`
  /// and a key of `keyBits`; a 16-byte salt and a 20-byte verifier hash.
  TBiffBuilder& FilePassCryptoApi(std::uint16_t major, std::string_view provider, std::uint32_t keyBits);

  // Sheet records.
  TBiffBuilder& Dimensions(std::uint32_t firstRow, std::uint32_t lastRowPlus1,
                           std::uint16_t firstColumn, std::uint16_t lastColumnPlus1);
  TBiffBuilder& ColInfo(std::uint16_t first, std::uint16_t last, std::uint16_t width);
  TBiffBuilder& ColWidth(std::uint8_t first, std::uint8_t last, std::uint16_t width);
  TBiffBuilder& Row(std::uint16_t row, std::uint16_t height);
  /// WINDOW2 of the version: BIFF2 (0x003E) an option byte each; BIFF3 to
  /// BIFF7 the option word, top row, left column and an RGB gridline colour;
  /// BIFF8 a colour index, zooms and reserved words (18 bytes).
  TBiffBuilder& Window2(std::uint16_t options, std::uint16_t topRow, std::uint16_t leftColumn);
  /// MERGECELLS: each range as first row, last row, first column, last column.
  TBiffBuilder& MergeCells(const std::vector<std::array<std::uint16_t, 4>>& ranges);
  /// HLINK over one cell to a URL (URL moniker), with a location after it
  /// when `location` is not empty.
  TBiffBuilder& HLinkUrl(std::uint16_t row, std::uint16_t column, std::string_view url,
                         std::string_view location = {});
  /// HLINK over one cell to a place in the workbook (a location only).
  TBiffBuilder& HLinkLocation(std::uint16_t row, std::uint16_t column, std::string_view location);
  /// TXO with `text` (8-bit characters in BIFF8's first CONTINUE) and one
  /// formatting run per font in `runFonts` (the runs' CONTINUE), as Excel
  /// writes a text box.
  TBiffBuilder& Txo(std::string_view text, const std::vector<std::uint16_t>& runFonts);

  // Cells of BIFF3 to BIFF8 (the BIFF2 helpers are below).
  TBiffBuilder& Number(std::uint16_t row, std::uint16_t column, std::uint16_t xf, double value);
  TBiffBuilder& Rk(std::uint16_t row, std::uint16_t column, std::uint16_t xf, std::uint32_t rk);
  /// MULRK: one (xf, rk) pair per cell from `firstColumn` on.
  TBiffBuilder& MulRk(std::uint16_t row, std::uint16_t firstColumn,
                      const std::vector<std::pair<std::uint16_t, std::uint32_t>>& cells);
  TBiffBuilder& MulBlank(std::uint16_t row, std::uint16_t firstColumn, std::uint16_t count);
  TBiffBuilder& LabelSst(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                         std::uint32_t index);
  /// LABEL: in BIFF8 a string with option byte (UTF-16 when `wide`, else
  /// `text` as Latin-1 bytes); before BIFF8 the bytes of `text`.
  TBiffBuilder& Label(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                      std::string_view text, bool wide = false);
  TBiffBuilder& BoolErr(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                        std::uint8_t value, bool isError);
  /// FORMULA of the version's code (0x0206 BIFF3, 0x0406 BIFF4, else 0x0006)
  /// with a numeric result.
  TBiffBuilder& FormulaNumber(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                              double value);
  /// FORMULA with a special result: type 0 text, 1 boolean, 2 error, 3
  /// empty text; `value` is byte 8.
  TBiffBuilder& FormulaSpecial(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                               std::uint8_t type, std::uint8_t value = 0);
  /// FORMULA with a numeric result and these tokens (and constant data).
  TBiffBuilder& FormulaTokens(std::uint16_t row, std::uint16_t column, double value,
                              const std::vector<std::uint8_t>& tokens,
                              const std::vector<std::uint8_t>& extra = {});
  /// SHRFMLA over the range, holding `tokens` (tRefN/tAreaN offsets).
  TBiffBuilder& SharedFormula(std::uint16_t firstRow, std::uint16_t lastRow,
                              std::uint8_t firstColumn, std::uint8_t lastColumn,
                              const std::vector<std::uint8_t>& tokens);
  /// NAME (BIFF5 and BIFF8) with an 8-bit name; `sheet` is the one-based
  /// sheet it belongs to, 0 for the workbook.
  TBiffBuilder& Name(std::string_view name, const std::vector<std::uint8_t>& tokens,
                     std::uint16_t sheet = 0, std::uint16_t options = 0);
  /// BIFF8 EXTERNSHEET: {supbook, first sheet, last sheet} entries.
  TBiffBuilder& ExternSheet8(const std::vector<std::array<std::uint16_t, 3>>& xti);
  /// BIFF8 SUPBOOK of this workbook.
  TBiffBuilder& SupBookSelf(std::uint16_t sheets);
  /// STRING (0x0207): BIFF8 string with option byte, 8-bit before BIFF8.
  TBiffBuilder& String(std::string_view text, bool wide = false);
  /// 2STRING (0x0007): length byte, then the bytes.
  TBiffBuilder& String2(std::string_view text);

  // BIFF2 cells: attribute byte 0 holds the XF index (bits 0-5), byte 2 the
  // horizontal alignment (bits 0-2).
  TBiffBuilder& Blank2(std::uint16_t row, std::uint16_t column, std::uint8_t xf = 0,
                       std::uint8_t align = 0);
  TBiffBuilder& Integer2(std::uint16_t row, std::uint16_t column, std::uint16_t value,
                         std::uint8_t xf = 0, std::uint8_t align = 0);
  TBiffBuilder& Number2(std::uint16_t row, std::uint16_t column, double value,
                        std::uint8_t xf = 0, std::uint8_t align = 0);
  TBiffBuilder& Label2(std::uint16_t row, std::uint16_t column, std::string_view text,
                       std::uint8_t xf = 0, std::uint8_t align = 0);
  TBiffBuilder& BoolErr2(std::uint16_t row, std::uint16_t column, std::uint8_t value,
                         bool isError, std::uint8_t xf = 0, std::uint8_t align = 0);
  TBiffBuilder& Formula2(std::uint16_t row, std::uint16_t column, double value,
                         std::uint8_t xf = 0);

  /// Offset the next record's header will have.
  std::size_t Offset() const { return FBytes.size(); }
  /// Offset of BOF number `bofNumber`.
  std::size_t BofOffset(int bofNumber) const;
  TExcelVersion Version() const { return FVersion; }

  /// The stream, with every BOUNDSHEET offset resolved; throws
  /// std::out_of_range when a BoundSheet names a BOF that was never written.
  std::vector<std::uint8_t> Build() const;

private:
  bool IsBiff8() const { return FVersion >= TExcelVersion::evExcel8; }
  TBytes CellPrefix(std::uint16_t row, std::uint16_t column, std::uint16_t xf) const;
  TBytes Cell2Prefix(std::uint16_t row, std::uint16_t column, std::uint8_t xf,
                     std::uint8_t align) const;
  /// A BIFF8 string body: option byte and characters (no count).
  static TBytes UnicodeBody(std::string_view text, bool wide);

  struct TPatch {
    std::size_t At = 0;
    int BofNumber = 0;
  };
  TExcelVersion FVersion = TExcelVersion::evExcel8;
  std::vector<std::uint8_t> FBytes;
  std::vector<std::size_t> FBofOffsets;
  std::vector<TPatch> FPatches;
};

/// `stream` as the only stream of a compound file.
std::vector<std::uint8_t> InCompoundFile(const std::vector<std::uint8_t>& stream,
                                         const std::string& streamName = "Workbook");
