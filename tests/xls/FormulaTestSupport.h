#pragma once

// Contexts the formula tests decode against: a BIFF8 book with three
// sheets, an add-in, two other books and a DDE link, and a BIFF5 book with
// its link table.

#include "support/FormulaBuilder.h"
#include "xls/MSExcel.h"
#include "xls/formula/FormulaDecoder.h"

#include <string>

// XTI numbers of Book8Context().
inline constexpr std::uint16_t kXtiSheet1 = 0;
inline constexpr std::uint16_t kXtiMySheet = 1;
inline constexpr std::uint16_t kXtiSheet1ToData = 2;
inline constexpr std::uint16_t kXtiDeleted = 3;
inline constexpr std::uint16_t kXtiExternalSheet = 4;
inline constexpr std::uint16_t kXtiExternalBook = 5;
inline constexpr std::uint16_t kXtiAddIn = 6;
inline constexpr std::uint16_t kXtiOwnBook = 7;
inline constexpr std::uint16_t kXtiPlainBookSheet = 8;
inline constexpr std::uint16_t kXtiDde = 9;
inline constexpr std::uint16_t kXtiSheet1ToMySheet = 10;
inline constexpr std::uint16_t kXtiNoBookName = 11;
inline constexpr std::uint16_t kXtiStrayControl = 12;

// NAME numbers (one-based) of both contexts.
inline constexpr std::uint16_t kNameTotal = 1;
inline constexpr std::uint16_t kNamePrintArea = 2;
inline constexpr std::uint16_t kNameFutureFunction = 3;
inline constexpr std::uint16_t kNameLocal = 4;

inline void AddNames(TFormulaContext& c)
{
  c.Names = {{"Total", false, 0}, {"\x06", true, 1}, {"_xlfn.IFERROR", false, 0},
             {"Local", false, 2}};
}

inline TFormulaContext Book8Context()
{
  TFormulaContext c;
  c.Version = TExcelVersion::evExcel8;
  c.SheetNames = {"Sheet1", "My Sheet", "Data"};
  TFormulaSupBook self;
  self.Kind = TSupBookKind::sbSelf;
  TFormulaSupBook addIn;
  addIn.Kind = TSupBookKind::sbAddIn;
  addIn.Names = {"EUROCONVERT"};
  // \x01 encoded path, \x01C drive C:, \x03 separators: C:\dir\Book2.xls.
  TFormulaSupBook external;
  external.Kind = TSupBookKind::sbExternal;
  external.Path = "\x01\x01" "C" "dir\x03" "Book2.xls";
  external.SheetNames = {"Prices", "Ext 2"};
  external.Names = {"ExtName"};
  TFormulaSupBook plain;
  plain.Kind = TSupBookKind::sbExternal;
  plain.Path = "\x01" "Book3.xls";
  plain.SheetNames = {"Sheet1"};
  TFormulaSupBook dde;
  dde.Kind = TSupBookKind::sbOther;
  dde.Path = "Excel\x03" "C:\\x.xls";
  dde.Names = {"R1C1"};
  // A book without a name: "!A1" is the sheet that uses the formula.
  TFormulaSupBook noName;
  noName.Kind = TSupBookKind::sbExternal;
  noName.Path = std::string(1, '\0');
  // A path with a byte no rule explains.
  TFormulaSupBook stray;
  stray.Kind = TSupBookKind::sbExternal;
  stray.Path = "\x01" "dir\x03" "Bo\x1Fok.xls";
  stray.SheetNames = {"S"};
  c.SupBooks = {self, addIn, external, plain, dde, noName, stray};
  c.Xti = {{0, 0, 0},      {0, 1, 1}, {0, 0, 2}, {0, kXtiDeletedSheet, kXtiDeletedSheet},
           {2, 0, 0},      {2, kXtiWorkbookLevel, kXtiWorkbookLevel},
           {1, kXtiWorkbookLevel, kXtiWorkbookLevel},
           {0, kXtiWorkbookLevel, kXtiWorkbookLevel},
           {3, 0, 0},      {4, kXtiWorkbookLevel, kXtiWorkbookLevel}, {0, 0, 1},
           {5, kXtiWorkbookLevel, kXtiWorkbookLevel}, {6, 0, 0}};
  AddNames(c);
  return c;
}

// EXTERNSHEET numbers (one-based) of Book5Context().
inline constexpr std::int16_t kLinkOwnSheet = 1;
inline constexpr std::int16_t kLinkExternal = 2;
inline constexpr std::int16_t kLinkAddIn = 3;
inline constexpr std::int16_t kLinkOwnBook = 4;
inline constexpr std::int16_t kLinkNoBookName = 5;

inline TFormulaContext Book5Context(TExcelVersion version = TExcelVersion::evExcel5)
{
  TFormulaContext c;
  c.Version = version;
  c.SheetNames = {"Sheet1", "My Sheet", "Data"};
  // The add-ins are ":" with their EXTERNNAMEs; "\x04" is this book,
  // whose names a tNameX through it reads.
  c.ExternSheets = {{"\x03" "Data", {}},
                    {"\x01[Book2.xls]Prices", {"ExtName"}},
                    {":", {"EUROCONVERT"}},
                    {"\x04", {}},
                    {std::string(1, '\0'), {}}};
  AddNames(c);
  return c;
}

/// Decodes `f` against `context` at `cell`; the text, or "error: " and
/// the message.
inline std::string DecodeText(const TFormulaContext& context, const TBuiltFormula& f,
                              TFormulaCell cell = {},
                              TFormulaKind kind = TFormulaKind::fkCell)
{
  TFormulaDecoder decoder(context);
  const TFormulaResult r = decoder.Decode(f.Tokens, f.Extra, cell, kind);
  return r.Ok() ? r.Text : "error: " + r.Error;
}
