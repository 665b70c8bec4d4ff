#pragma once

// The link tables of a workbook as its formulas use them: the sheets, books
// and add-ins a 3D reference or an external name points through. The link
// records' decoders fill them; the formula decoder reads them.

#include <cstdint>
#include <string>
#include <vector>

/// BIFF8 EXTERNSHEET: one XTI entry ([MS-XLS] 2.5.172), the sheets a 3D
/// reference or external name points to.
struct TFormulaXti {
  std::uint16_t SupBook = 0;  // index into TFormulaContext::SupBooks
  /// Sheet numbers as stored: in the own book BOUNDSHEET positions, in an
  /// external book positions in its SUPBOOK sheet list; kXtiWorkbookLevel
  /// for a name of the whole book, kXtiDeletedSheet for a deleted sheet.
  std::uint16_t FirstSheet = 0;
  std::uint16_t LastSheet = 0;
};
inline constexpr std::uint16_t kXtiWorkbookLevel = 0xFFFE;
inline constexpr std::uint16_t kXtiDeletedSheet = 0xFFFF;

/// What a SUPBOOK record ([MS-XLS] 2.4.271) stands for.
enum class TSupBookKind : std::uint8_t {
  sbSelf,      // this workbook (cch 0x0401)
  sbAddIn,     // add-in functions (cch 0x3A01)
  sbExternal,  // another workbook, one without a name, or an unused entry
  sbOther,     // DDE or OLE link
};

/// BIFF8: one SUPBOOK record with the EXTERNNAME records after it.
struct TFormulaSupBook {
  TSupBookKind Kind = TSupBookKind::sbSelf;
  /// sbExternal and sbOther: the encoded virtual path as stored, decoded to
  /// UTF-8 with its control characters (0x01 volume, 0x03 directory, ...)
  /// kept (LinkPath::Decode spells it out); a DDE link's
  /// "application\x03topic".
  std::string Path;
  /// sbExternal: the book's sheet names, in order.
  std::vector<std::string> SheetNames;
  /// The EXTERNNAME names that follow the record, in order.
  std::vector<std::string> Names;
};

/// BIFF2-7: one EXTERNSHEET record of the link table a formula uses, with
/// the EXTERNNAME records after it.
struct TFormulaExternSheet {
  /// The record's text as stored, decoded to UTF-8 with its control
  /// characters kept: 0x03 + sheet name for a sheet of this book, 0x01 +
  /// encoded path "[book]sheet" for another book, 0x02 or 0x04 for the own
  /// book without a sheet.
  std::string Encoded;
  std::vector<std::string> Names;
};
