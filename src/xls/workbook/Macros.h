#pragma once

// What in a workbook can run, what is hidden, and what it reaches out to:
// its VBA project's modules, its Excel 4 macro sheets with their formulas,
// the names and procedures that run by themselves, hidden sheets and
// names, links to other books, add-ins, DDE and OLE servers, hyperlinks and
// web queries, and embedded objects. Each finding says where it lies: the
// record it comes from or the container's stream or storage.
//
// Read on demand, after a load, from the opened workbook's records (the
// substream walk, the records' decoders, the formula book) and the file's
// compound-file container; nothing here runs at load and nothing is ever
// executed.
//
//   TMSExcel reader;
//   TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
//   reader.LoadFromMemory(file);
//   const TMacroReport report = FindMacros(workbook, file);

#include "platform/SharedBytes.h"
#include "xls/lint/StructureLint.h"
#include "xls/vba/VbaProject.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TOpenedWorkbook;

/// Where a finding lies: a record of the workbook stream, or a stream or
/// storage of the container.
struct TMacroPlace {
  std::optional<std::uint64_t> Record;  // the record's number, from 1
  std::optional<std::uint64_t> Offset;  // its header's stream offset
  std::string Stream;                   // "_VBA_PROJECT_CUR/VBA/Module1", "MBD0049DB15"
};

/// One formula cell of a macro sheet.
struct TXlmCell {
  TMacroPlace Place;    // its FORMULA record
  std::string Cell;     // "A1"
  std::string Formula;  // as the formula bar shows it, without "="
  std::string Error;    // why the tokens cannot be read; empty when they can
};

/// An Excel 4 macro sheet: a BOF of type macro sheet, or a BOUNDSHEET of
/// that type whose BOF the stream lacks.
struct TMacroSheet {
  TMacroPlace Place;  // its BOF (else its BOUNDSHEET)
  std::string Name;   // from its BOUNDSHEET; empty when none names it
  bool International = false;
  std::vector<TXlmCell> Cells;  // in row, then column order
};

/// Something that runs without being asked: a name Excel runs on opening,
/// closing, activating or deactivating the workbook, or a VBA procedure
/// with an event's or an auto macro's name.
struct TMacroTrigger {
  TMacroPlace Place;  // the NAME record, or the module's stream
  std::string Name;   // "Auto_Open", "Workbook_Open"
  /// What it runs: the name's formula ("Macro1!$A$1"), or the module a
  /// procedure stands in.
  std::string Where;
  std::size_t Line = 0;  // a procedure's line in its module, from 1
};

enum class THiddenState : std::uint8_t {
  hsHidden,      // hidden: the user can show it again
  hsVeryHidden,  // only a program can show it again
  hsMisplaced,   // a BOUNDSHEET that points where no BOF stands
};

/// "hidden", "very hidden" or "misplaced".
const char* HiddenStateText(THiddenState state);

/// A hidden sheet or name.
struct THiddenPart {
  TMacroPlace Place;  // the BOUNDSHEET or NAME record
  bool IsName = false;
  std::string Name;   // a sheet's name, or a name ("Sheet1!Local" for a sheet's own)
  THiddenState State = THiddenState::hsHidden;
  std::string Note;   // what the structure check says of a misplaced sheet
};

enum class TLinkType : std::uint8_t {
  ltExternal,   // another workbook (SUPBOOK, BIFF2-7 EXTERNSHEET)
  ltAddIn,      // an add-in's function
  ltDde,        // a DDE link's item
  ltOle,        // an OLE object's link
  ltHyperlink,  // a URL or file a hyperlink opens
  ltWebQuery,   // the URL a web query reads
};

/// "external", "addin", "dde", "ole", "hyperlink" or "webquery".
const char* LinkTypeText(TLinkType type);

/// Something outside the workbook that it reaches.
struct TExternalLink {
  TMacroPlace Place;  // the SUPBOOK, EXTERNSHEET, EXTERNNAME, HLINK or DBQUERY record
  TLinkType Type = TLinkType::ltExternal;
  /// A path, URL or formula text: "C:\dir\Book2.xls", "Excel|'C:\x.xls'!item".
  std::string Target;
};

/// An embedded object: an OBJ record and the storage or stream that holds
/// the object, or a storage of embedded objects no OBJ record names.
struct TEmbeddedObject {
  TMacroPlace Place;      // the OBJ record (none for a storage alone); Stream: the storage
  std::string ClassName;  // the OBJ record's class name ("Word.Document.8"), when it has one
  std::string Clsid;      // the storage's class id, "{...}"; empty when it has none
  std::uint64_t Size = 0; // the storage's streams' bytes, or the object's in the controls stream
  bool Found = false;     // the container holds the storage or stream
};

/// What FindMacros found.
struct TMacroReport {
  TVbaProject Vba;
  std::vector<TMacroSheet> MacroSheets;
  std::vector<TMacroTrigger> Triggers;
  std::vector<THiddenPart> Hidden;
  std::vector<TExternalLink> Links;
  std::vector<TEmbeddedObject> Objects;
  /// What could not be read, and why (a workbook no password opened).
  std::vector<std::string> Notes;
  bool Cancelled = false;

  /// True when the workbook holds code: VBA modules or macro sheets.
  bool HasMacros() const { return !Vba.Modules.empty() || !MacroSheets.empty(); }
  /// The number of findings (each module, macro sheet cell, trigger,
  /// hidden part, link and object).
  std::size_t Count() const;
};

struct TMacroOptions {
  /// The structure check's findings, when the caller has them (its
  /// BOUNDSHEET positions); without them FindMacros runs the check.
  const std::vector<TLintFinding>* Structure = nullptr;
  /// When set, ends the reading early (TMacroReport::Cancelled).
  const std::atomic<bool>* Cancel = nullptr;
  TVbaLimits Limits;
};

/// Reads what `workbook`'s last load can run, hides and reaches. `file` is
/// the whole file the workbook was loaded from (for its container: the VBA
/// project, the embedded objects' storages); empty for a bare BIFF stream
/// or when it cannot be had. Reads only: safe to call from another thread
/// while the workbook is not reset or loaded into, as Check is. Never
/// throws for a damaged file: what cannot be read is left out or noted.
TMacroReport FindMacros(const TOpenedWorkbook& workbook, const TSharedBytes& file,
                        const TMacroOptions& options = {});

/// The structure check's findings for a report: vba-project, stomped-vba
/// (a warning), xlm-macro-sheet, autorun, very-hidden-sheet, dde-link,
/// external-link and embedded-object (info).
std::vector<TLintFinding> MacroLintFindings(const TMacroReport& report);

/// True when the load's records show macros without reading any (a macro
/// sheet's or VB module's substream or BOUNDSHEET, the globals' OBPROJ
/// record): cheap enough for the end of every load.
bool ShowsMacros(const TOpenedWorkbook& workbook);
