#include "xls/workbook/Macros.h"

#include "platform/CompoundFile.h"
#include "platform/CompoundMap.h"
#include "platform/text/TextFormat.h"
#include "xls/RecordCodes.h"
#include "xls/decode/BookRecords.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/decode/LinkRecords.h"
#include "xls/decode/ObjectRecords.h"
#include "xls/formula/FormulaBook.h"
#include "xls/decode/FormulaText.h"
#include "xls/records/RecordDirectory.h"
#include "xls/workbook/OpenedWorkbook.h"
#include "xls/workbook/WorkbookMessages.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <set>
#include <string_view>

namespace {

// How often the reading looks at its cancel flag.
constexpr std::size_t kCancelCheckRecords = 4096;
// BOUNDSHEET and BUNDLESHEET types and visibility.
constexpr std::uint8_t kSheetTypeMacro = 1;
constexpr std::uint8_t kSheetTypeModule = 6;
constexpr std::uint8_t kVisibilityMask = 0x03;
constexpr std::uint8_t kVisibilityHidden = 1;
// OBJ: the type of a picture, which embedded objects and controls are.
constexpr std::uint16_t kObjectPicture = 0x0008;
// The globals' record that says the workbook has a VBA project.
constexpr std::uint16_t kRecObProj = 0x00D3;
// Where the container keeps embedded objects: a storage per object named
// "MBD" and eight hex digits, a linked object's "LNK..." storage, and the
// controls stream that holds the controls saved as a stream.
constexpr char kEmbeddingPrefix[] = "MBD";
constexpr char kLinkPrefix[] = "LNK";
constexpr char kControlsStream[] = "Ctls";
constexpr char kLintBoundSheetCheck[] = "boundsheet-offset";

// Names Excel runs by themselves, built in or a user's name starting so.
constexpr std::array<std::string_view, 4> kAutoNames = {"Auto_Open", "Auto_Close", "Auto_Activate",
                                                        "Auto_Deactivate"};
// VBA procedures that run by themselves: the auto macros and the
// workbook's events.
constexpr std::array<std::string_view, 8> kAutoProcedures = {
    "Auto_Open",         "Auto_Close",           "Auto_Activate",      "Auto_Deactivate",
    "Workbook_Open",     "Workbook_Activate",    "Workbook_BeforeClose", "Workbook_Deactivate"};

bool EqualNoCase(std::string_view a, std::string_view b)
{
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool StartsNoCase(std::string_view text, std::string_view prefix)
{
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// The auto name `name` starts with, or empty.
std::string_view AutoNameOf(std::string_view name)
{
  for (const std::string_view autoName : kAutoNames)
    if (StartsNoCase(name, autoName))
      return autoName;
  return {};
}

std::string Count(std::size_t n, const char* one, const char* many)
{
  return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

TMacroPlace RecordPlace(const TRecordRef& record)
{
  TMacroPlace place;
  place.Record = record.Number;
  place.Offset = record.Offset;
  return place;
}

/// Skips blanks and tabs.
std::string_view SkipBlanks(std::string_view text)
{
  const std::size_t at = text.find_first_not_of(" \t");
  return at == std::string_view::npos ? std::string_view() : text.substr(at);
}

/// Takes `word` and a blank after it from the start of `text` (any case).
bool TakeWord(std::string_view& text, std::string_view word)
{
  if (text.size() <= word.size() || !StartsNoCase(text, word) || (text[word.size()] != ' ' && text[word.size()] != '\t'))
    return false;
  text = SkipBlanks(text.substr(word.size()));
  return true;
}

/// The procedure a line of VBA source declares ("Private Sub Workbook_Open()"),
/// or empty.
std::string_view DeclaredProcedure(std::string_view line)
{
  line = SkipBlanks(line);
  for (const std::string_view scope : {"Public", "Private", "Friend"})
    if (TakeWord(line, scope))
      break;
  TakeWord(line, "Static");
  if (!TakeWord(line, "Sub") && !TakeWord(line, "Function"))
    return {};
  std::size_t end = 0;
  while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_'))
    ++end;
  return line.substr(0, end);
}

/// The procedures of `module` that run by themselves.
void FindProcedures(const TVbaModule& module, std::vector<TMacroTrigger>& triggers)
{
  const std::string_view source = module.Source;
  std::size_t line = 0;
  for (std::size_t at = 0; at < source.size();) {
    ++line;
    std::size_t end = source.find_first_of("\r\n", at);
    if (end == std::string_view::npos)
      end = source.size();
    const std::string_view procedure = DeclaredProcedure(source.substr(at, end - at));
    for (const std::string_view name : kAutoProcedures)
      if (!procedure.empty() && EqualNoCase(procedure, name)) {
        TMacroTrigger trigger;
        trigger.Place.Stream = module.StreamPath;
        trigger.Name = std::string(procedure);
        trigger.Where = module.Name;
        trigger.Line = line;
        triggers.push_back(std::move(trigger));
      }
    // A CR LF pair ends one line.
    at = end + (source.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

/// A BOUNDSHEET or BUNDLESHEET as read.
struct TSheetEntry {
  TRecordRef Record;
  TSheetName Sheet;
};

/// What a link's EXTERNNAME records belong to: the SUPBOOK or EXTERNSHEET
/// before them.
struct TLinkOwner {
  enum class TKind : std::uint8_t { okNone, okAddIn, okBook, okDde };
  TKind Kind = TKind::okNone;
  std::string Path;  // as stored
  std::size_t Names = 0;
  TRecordRef Record;
};

/// A web query whose URL its SXSTRING records bring.
struct TPendingQuery {
  TRecordRef Record;
  std::size_t Skip = 0;   // strings before the URL
  std::size_t Parts = 0;  // the URL's strings
  std::string Url;
};

class TMacroReader {
public:
  TMacroReader(const TOpenedWorkbook& workbook, const TSharedBytes& file, const TMacroOptions& options)
      : FWorkbook(workbook), FReader(workbook.Reader()), FFile(file), FOptions(options),
        FBook(FReader.WalkStart(), false), FWalk(FReader.WalkStart())
  {
  }

  TMacroReport Run()
  {
    ReadRecords();
    if (FReport.Cancelled) {
      FReport.Notes.push_back(kMacroNoteCancelled);
      return std::move(FReport);
    }
    if (FLocked)
      FReport.Notes.push_back(kMacroNoteLocked);
    ReadMacroSheets();
    ReadNames();
    ReadSheets();
    ReadContainer();
    return std::move(FReport);
  }

private:
  bool Cancelled() const { return FOptions.Cancel && FOptions.Cancel->load(); }

  void ReadRecords()
  {
    const TListedRecords& records = FWorkbook.Records();
    const TRecordDirectory directory(records.Stream().Span(), records.Offsets(), FReader.WalkStart());
    const bool locked = FReader.Encryption().Present && !FReader.Encryption().Opened;
    for (std::size_t i = 0; i < directory.Count(); ++i) {
      if (i % kCancelCheckRecords == 0 && Cancelled()) {
        FReport.Cancelled = true;
        return;
      }
      TRecordRef record = directory.Record(i);
      if (locked && FReader.IsEncryptedRecord(record.Number, record.Header.Code)) {
        // Its data is ciphertext: what it holds is unknown.
        FLocked = true;
        record.Data = {};
      }
      FBook.Add(record);
      switch (FWalk.Step(record)) {
      case TWalkStep::wsOpened:
        EndQuery();
        EndOwner();
        FOwner = {};
        continue;
      case TWalkStep::wsRecord:
        break;
      default:
        EndQuery();
        continue;
      }
      if (FWalk.Depth() == 1 && !record.Data.empty())
        Take(record);
    }
    EndQuery();
    EndOwner();
    FOwner = {};
  }

  /// Decodes `record` with `TDecoder` and the context the load read it
  /// with, handing what it holds to `use`.
  template <typename TDecoder, typename TUse>
  void Decode(const TRecordRef& record, TUse&& use)
  {
    const std::shared_ptr<const TDecodeContext> context = FReader.ContextAt(record.Number);
    if (context != FContextSource) {
      FContextSource = context;
      FContext = *context;
      FText = std::make_unique<TCodePageDecoder>(FContext.CodePage);
      FContext.Text = FText.get();
      FContext.SharedStrings = nullptr;
    }
    TRecordCursor cursor(record.Data);
    TDecoder()(cursor, FContext, record.Header.Code, use);
  }

  bool Biff8(const TRecordRef& record)
  {
    return IsBiff8(FReader.ContextAt(record.Number)->Version);
  }

  void Take(const TRecordRef& record)
  {
    const std::uint16_t code = record.Header.Code;
    if (FQuery && code != kRecSxString && code != kRecContinue)
      EndQuery();
    switch (code) {
    case kRecBoundSheet:
      Decode<TBoundSheetDecoder>(record, [&](const TSheetName& sheet) { FSheets.push_back({record, sheet}); });
      return;
    case kRecBundleSheet:
      Decode<TBundleSheetDecoder>(record, [&](const TSheetName& sheet) { FSheets.push_back({record, sheet}); });
      return;
    case kRecSupBook:
      Decode<TSupBookDecoder>(record, [&](const TFormulaSupBook& book) { TakeSupBook(record, book); });
      return;
    case kRecExternSheet:
      if (!Biff8(record))
        Decode<TExternSheetDecoder>(record, [&](const TExternSheetRecord& sheet) { TakeExternSheet(record, sheet); });
      return;
    case kRecExternName:
    case kRecExternName3:
      Decode<TExternNameDecoder>(record, [&](const TExternNameRecord& name) { TakeExternName(record, name); });
      return;
    case kRecHLink:
      Decode<THLinkDecoder>(record, [&](const THyperlinkRecord& link) {
        if (link.Target.empty())
          return;  // a place in this workbook
        std::string target = link.Target;
        if (!link.Location.empty())
          target += '#' + link.Location;
        FReport.Links.push_back({RecordPlace(record), TLinkType::ltHyperlink, std::move(target)});
      });
      return;
    case kRecObj:
      Decode<TObjDecoder>(record, [&](const TObjRecord& object) { TakeObject(record, object); });
      return;
    case kRecDbQuery:
      Decode<TDbQueryDecoder>(record, [&](const TDbQueryRecord& query) {
        if (query.Web)
          FQuery = TPendingQuery{record, query.StringsBeforeUrl(), query.QueryStrings, {}};
      });
      return;
    case kRecSxString:
      if (FQuery)
        Decode<TSxStringDecoder>(record, [&](const std::string& text) {
          if (FQuery->Skip > 0) {
            --FQuery->Skip;
          } else if (FQuery->Parts > 0) {
            --FQuery->Parts;
            FQuery->Url += text;
          }
        });
      return;
    default:
      return;
    }
  }

  void EndQuery()
  {
    if (FQuery && !FQuery->Url.empty())
      FReport.Links.push_back({RecordPlace(FQuery->Record), TLinkType::ltWebQuery, FQuery->Url});
    FQuery.reset();
  }

  void TakeSupBook(const TRecordRef& record, const TFormulaSupBook& book)
  {
    EndOwner();
    FOwner = {};
    FOwner.Record = record;
    switch (book.Kind) {
    case TSupBookKind::sbSelf:
      return;
    case TSupBookKind::sbAddIn:
      FOwner.Kind = TLinkOwner::TKind::okAddIn;
      return;
    case TSupBookKind::sbOther:
      FOwner.Kind = TLinkOwner::TKind::okDde;
      FOwner.Path = book.Path;
      return;
    case TSupBookKind::sbExternal:
      TakeBookPath(record, book.Path);
      return;
    }
  }

  void TakeExternSheet(const TRecordRef& record, const TExternSheetRecord& sheet)
  {
    EndOwner();
    FOwner = {};
    FOwner.Record = record;
    LinkPath::TTarget target;
    LinkPath::Decode(sheet.Encoded, target);
    switch (target.Kind) {
    case LinkPath::TKind::lkAddIn:
      FOwner.Kind = TLinkOwner::TKind::okAddIn;
      return;
    case LinkPath::TKind::lkDde:
      FOwner.Kind = TLinkOwner::TKind::okDde;
      FOwner.Path = sheet.Encoded;
      return;
    case LinkPath::TKind::lkBook:
      TakeBookPath(record, sheet.Encoded);
      return;
    default:
      return;
    }
  }

  void TakeBookPath(const TRecordRef& record, const std::string& path)
  {
    LinkPath::TTarget target;
    LinkPath::Decode(path, target);
    if (target.Kind != LinkPath::TKind::lkBook)
      return;  // a book without a name, or an unused entry
    FOwner.Kind = TLinkOwner::TKind::okBook;
    FOwner.Path = path;
    // Each sheet of another book has an EXTERNSHEET of its own before
    // BIFF8: one link per book, the first.
    if (FBooks.insert(target.Directory + target.File).second)
      FReport.Links.push_back({RecordPlace(record), TLinkType::ltExternal, LinkPath::Text(path)});
  }

  void TakeExternName(const TRecordRef& record, const TExternNameRecord& name)
  {
    switch (FOwner.Kind) {
    case TLinkOwner::TKind::okAddIn:
      FReport.Links.push_back({RecordPlace(record), TLinkType::ltAddIn, LinkedNameText({}, name.Name)});
      break;
    case TLinkOwner::TKind::okDde:
      FReport.Links.push_back({RecordPlace(record), name.Ole() ? TLinkType::ltOle : TLinkType::ltDde,
                               LinkedNameText(FOwner.Path, name.Name)});
      break;
    default:
      return;
    }
    ++FOwner.Names;
  }

  /// A DDE or OLE link whose items no EXTERNNAME names is still a link.
  void EndOwner()
  {
    if (FOwner.Kind == TLinkOwner::TKind::okDde && FOwner.Names == 0)
      FReport.Links.push_back({RecordPlace(FOwner.Record), TLinkType::ltDde, LinkPath::Text(FOwner.Path)});
  }

  void TakeObject(const TRecordRef& record, const TObjRecord& object)
  {
    using namespace ObjectLayout;
    if (object.Type != kObjectPicture || !object.Position)
      return;
    TEmbeddedObject embedded;
    embedded.Place = RecordPlace(record);
    embedded.ClassName = object.ClassName;
    if (object.PictureFlags & kPictInControlStream) {
      embedded.Place.Stream = kControlsStream;
      embedded.Size = object.StreamBytes;
    } else if (object.PictureFlags & kPictDde) {
      embedded.Place.Stream = kLinkPrefix + EmbeddingStorageName(*object.Position).substr(3);
    } else if (object.ClassName.empty() && !(object.PictureFlags & kPictControl)) {
      return;  // a picture of its own, no object
    } else {
      embedded.Place.Stream = EmbeddingStorageName(*object.Position);
    }
    FReport.Objects.push_back(std::move(embedded));
  }

  void ReadMacroSheets()
  {
    std::vector<TMacroCellText> cells = FBook.MacroCells();
    const std::vector<TMacroSheetRead>& read = FBook.MacroSheets();
    std::set<std::uint64_t> named;
    for (const TMacroSheetRead& sheet : read) {
      TMacroSheet macro;
      macro.Place.Record = sheet.Bof;
      macro.Place.Offset = sheet.BofOffset;
      macro.International = sheet.International;
      for (const TSheetEntry& entry : FSheets)
        if (entry.Sheet.BofOffset == sheet.BofOffset) {
          macro.Name = entry.Sheet.Name;
          named.insert(entry.Record.Number);
          break;
        }
      FReport.MacroSheets.push_back(std::move(macro));
    }
    for (TMacroCellText& cell : cells) {
      if (cell.MacroSheet < 0 || static_cast<std::size_t>(cell.MacroSheet) >= FReport.MacroSheets.size())
        continue;
      TXlmCell xlm;
      xlm.Place.Record = cell.Record;
      if (cell.Record > 0 && cell.Record <= FWorkbook.Records().Offsets().size())
        xlm.Place.Offset = FWorkbook.Records().Offsets()[cell.Record - 1];
      xlm.Cell = CellName(static_cast<std::uint32_t>(cell.Row), static_cast<std::uint32_t>(cell.Column));
      xlm.Formula = std::move(cell.Result.Text);
      xlm.Error = std::move(cell.Result.Error);
      FReport.MacroSheets[static_cast<std::size_t>(cell.MacroSheet)].Cells.push_back(std::move(xlm));
    }
    // A macro sheet its BOUNDSHEET lists though the stream lacks its BOF.
    for (const TSheetEntry& entry : FSheets)
      if (entry.Sheet.Type == kSheetTypeMacro && !named.contains(entry.Record.Number)) {
        TMacroSheet macro;
        macro.Place = RecordPlace(entry.Record);
        macro.Name = entry.Sheet.Name;
        FReport.MacroSheets.push_back(std::move(macro));
      }
  }

  void ReadNames()
  {
    for (const TDefinedName& name : FBook.Names()) {
      TMacroPlace place;
      place.Record = name.Record;
      if (name.Record > 0 && name.Record <= FWorkbook.Records().Offsets().size())
        place.Offset = FWorkbook.Records().Offsets()[name.Record - 1];
      const std::string_view autoName = AutoNameOf(name.Name);
      // A built-in name is Excel's own; a user's name runs when it starts
      // with an auto name.
      if (!autoName.empty() && (!name.BuiltIn || EqualNoCase(name.Name, autoName)))
        FReport.Triggers.push_back({place, name.Name,
                                    name.Formula.Ok() ? name.Formula.Text : name.Formula.Error, 0});
      if (name.Hidden) {
        THiddenPart hidden;
        hidden.Place = place;
        hidden.IsName = true;
        hidden.Name = name.Sheet ? *name.Sheet + '!' + name.Name : name.Name;
        FReport.Hidden.push_back(std::move(hidden));
      }
    }
  }

  void ReadSheets()
  {
    for (const TSheetEntry& entry : FSheets) {
      const std::uint8_t visibility = entry.Sheet.Visibility & kVisibilityMask;
      if (visibility == 0)
        continue;
      THiddenPart hidden;
      hidden.Place = RecordPlace(entry.Record);
      hidden.Name = entry.Sheet.Name;
      hidden.State = visibility == kVisibilityHidden ? THiddenState::hsHidden : THiddenState::hsVeryHidden;
      FReport.Hidden.push_back(std::move(hidden));
    }
    // The structure check says which BOUNDSHEET points where no BOF stands.
    std::vector<TLintFinding> checked;
    const std::vector<TLintFinding>* findings = FOptions.Structure;
    if (findings == nullptr) {
      checked = FWorkbook.Check(nullptr, FOptions.Cancel).Findings;
      findings = &checked;
    }
    for (const TLintFinding& finding : *findings) {
      if (finding.Check != kLintBoundSheetCheck || !finding.Record)
        continue;
      THiddenPart hidden;
      hidden.Place.Record = finding.Record;
      hidden.Place.Offset = finding.Offset;
      hidden.State = THiddenState::hsMisplaced;
      hidden.Note = finding.Message;
      for (const TSheetEntry& entry : FSheets)
        if (entry.Record.Number == *finding.Record)
          hidden.Name = entry.Sheet.Name;
      FReport.Hidden.push_back(std::move(hidden));
    }
  }

  void ReadContainer()
  {
    if (FFile.empty() || !IsCompoundFile(FFile.Span()))
      return;
    // The damage-tolerant reading: a sound file reads as the strict reader
    // reads it, and a damaged one gives what it still holds.
    FReport.Vba = ReadVbaProjectTolerant(FFile.Span(), FOptions.Limits);
    for (const TVbaModule& module : FReport.Vba.Modules)
      FindProcedures(module, FReport.Triggers);
    ReadObjects(MapCompoundFile(FFile.Span()));
  }

  void ReadObjects(const TCompoundMap& map)
  {
    if (!map.Valid)
      return;
    std::set<std::uint32_t> named;
    const std::vector<std::uint32_t> root = map.Children(0);
    const auto find = [&](const std::string& name) -> std::optional<std::uint32_t> {
      for (const std::uint32_t id : root)
        if (id < map.Entries.size() && CompoundNamesEqual(map.Entries[id].Name, name))
          return id;
      return std::nullopt;
    };
    for (TEmbeddedObject& object : FReport.Objects) {
      const auto id = find(object.Place.Stream);
      if (!id)
        continue;
      const TCompoundEntry& entry = map.Entries[*id];
      object.Found = true;
      object.Place.Stream = entry.Name;
      if (entry.Type != kEntryStream) {
        object.Clsid = ClsidText(entry);
        object.Size = StorageBytes(map, *id);
      }
      named.insert(*id);
    }
    // Storages of embedded objects no OBJ record names.
    for (const std::uint32_t id : root) {
      if (id >= map.Entries.size() || named.contains(id))
        continue;
      const TCompoundEntry& entry = map.Entries[id];
      if (entry.Type != kEntryStorage || !StartsNoCase(entry.Name, kEmbeddingPrefix))
        continue;
      TEmbeddedObject object;
      object.Place.Stream = entry.Name;
      object.Clsid = ClsidText(entry);
      object.Size = StorageBytes(map, id);
      object.Found = true;
      FReport.Objects.push_back(std::move(object));
    }
  }

  static std::string ClsidText(const TCompoundEntry& entry)
  {
    if (std::all_of(entry.Clsid.begin(), entry.Clsid.end(), [](std::uint8_t b) { return b == 0; }))
      return {};
    return GuidText(entry.Clsid);
  }

  /// The bytes of every stream under storage `id`, each entry counted once.
  static std::uint64_t StorageBytes(const TCompoundMap& map, std::uint32_t id)
  {
    std::uint64_t bytes = 0;
    std::vector<bool> seen(map.Entries.size(), false);
    std::vector<std::uint32_t> pending = {id};
    seen[id] = true;
    while (!pending.empty()) {
      const std::uint32_t storage = pending.back();
      pending.pop_back();
      for (const std::uint32_t child : map.Children(storage)) {
        if (child >= map.Entries.size() || seen[child])
          continue;
        seen[child] = true;
        const TCompoundEntry& entry = map.Entries[child];
        if (entry.Type == kEntryStream)
          bytes += entry.Size;
        else if (entry.Type == kEntryStorage)
          pending.push_back(child);
      }
    }
    return bytes;
  }

  static constexpr std::uint8_t kEntryStorage = 1;
  static constexpr std::uint8_t kEntryStream = 2;

  const TOpenedWorkbook& FWorkbook;
  const TMSExcel& FReader;
  const TSharedBytes& FFile;
  const TMacroOptions& FOptions;
  TMacroReport FReport;
  TFormulaBook FBook;
  TSubstreamWalk FWalk;
  std::vector<TSheetEntry> FSheets;
  TLinkOwner FOwner;
  std::set<std::string> FBooks;
  std::optional<TPendingQuery> FQuery;
  bool FLocked = false;
  // The context records are decoded with: the load's, with a decoder of
  // its code page; made again only when the load's changes.
  std::shared_ptr<const TDecodeContext> FContextSource;
  TDecodeContext FContext;
  std::unique_ptr<TCodePageDecoder> FText;
};

}  // namespace

const char* HiddenStateText(THiddenState state)
{
  switch (state) {
  case THiddenState::hsHidden: return kMacroStateHidden;
  case THiddenState::hsVeryHidden: return kMacroStateVeryHidden;
  case THiddenState::hsMisplaced: return kMacroStateMisplaced;
  }
  return kMacroStateHidden;
}

const char* LinkTypeText(TLinkType type)
{
  switch (type) {
  case TLinkType::ltExternal: return "external";
  case TLinkType::ltAddIn: return "addin";
  case TLinkType::ltDde: return "dde";
  case TLinkType::ltOle: return "ole";
  case TLinkType::ltHyperlink: return "hyperlink";
  case TLinkType::ltWebQuery: return "webquery";
  }
  return "external";
}

std::size_t TMacroReport::Count() const
{
  std::size_t count = Vba.Modules.size() + Triggers.size() + Hidden.size() + Links.size() + Objects.size();
  for (const TMacroSheet& sheet : MacroSheets)
    count += sheet.Cells.empty() ? 1 : sheet.Cells.size();
  return count;
}

TMacroReport FindMacros(const TOpenedWorkbook& workbook, const TSharedBytes& file, const TMacroOptions& options)
{
  return TMacroReader(workbook, file, options).Run();
}

std::vector<TLintFinding> MacroLintFindings(const TMacroReport& report)
{
  std::vector<TLintFinding> findings;
  const auto add = [&](TLintSeverity severity, const char* check, const TMacroPlace& place, std::string message) {
    findings.push_back({severity, check, place.Record, place.Offset, std::move(message)});
  };
  const TVbaProject& vba = report.Vba;
  if (vba.Found) {
    std::string modules = Count(vba.Modules.size(), "module", "modules");
    for (std::size_t i = 0; i < vba.Modules.size(); ++i)
      modules += (i == 0 ? " (" : ", ") + vba.Modules[i].Name + (i + 1 == vba.Modules.size() ? ")" : "");
    add(TLintSeverity::lsInfo, "vba-project", {}, FormatMessage(kLintVbaProject, vba.StoragePath, modules));
    for (const TVbaModule& module : vba.Modules)
      if (module.Stomped)
        add(TLintSeverity::lsWarning, "stomped-vba", {}, FormatMessage(kLintStompedVba, module.Name, module.StreamPath));
  }
  for (const TMacroSheet& sheet : report.MacroSheets)
    add(TLintSeverity::lsInfo, "xlm-macro-sheet", sheet.Place,
        FormatMessage(sheet.International ? kLintIntlMacroSheet : kLintMacroSheet, sheet.Name,
                      Count(sheet.Cells.size(), "formula", "formulas")));
  for (const TMacroTrigger& trigger : report.Triggers)
    add(TLintSeverity::lsInfo, "autorun", trigger.Place,
        trigger.Place.Record ? FormatMessage(kLintAutorunName, trigger.Name, trigger.Where)
                             : FormatMessage(kLintAutorunProcedure, trigger.Name, trigger.Where));
  for (const THiddenPart& hidden : report.Hidden)
    if (!hidden.IsName && hidden.State == THiddenState::hsVeryHidden)
      add(TLintSeverity::lsInfo, "very-hidden-sheet", hidden.Place, FormatMessage(kLintVeryHiddenSheet, hidden.Name));
  for (const TExternalLink& link : report.Links)
    switch (link.Type) {
    case TLinkType::ltDde: add(TLintSeverity::lsInfo, "dde-link", link.Place, FormatMessage(kLintDdeLink, link.Target)); break;
    case TLinkType::ltOle: add(TLintSeverity::lsInfo, "dde-link", link.Place, FormatMessage(kLintOleLink, link.Target)); break;
    case TLinkType::ltExternal:
      add(TLintSeverity::lsInfo, "external-link", link.Place, FormatMessage(kLintExternalBook, link.Target));
      break;
    case TLinkType::ltAddIn: add(TLintSeverity::lsInfo, "external-link", link.Place, FormatMessage(kLintAddIn, link.Target)); break;
    case TLinkType::ltWebQuery:
      add(TLintSeverity::lsInfo, "external-link", link.Place, FormatMessage(kLintWebQuery, link.Target));
      break;
    case TLinkType::ltHyperlink: break;
    }
  for (const TEmbeddedObject& object : report.Objects)
    add(TLintSeverity::lsInfo, "embedded-object", object.Place,
        FormatMessage(kLintEmbeddedObject, object.Place.Stream, object.Found ? "" : kLintEmbeddedMissing));
  return findings;
}

bool ShowsMacros(const TOpenedWorkbook& workbook)
{
  for (const TSubstream& substream : workbook.Reader().Substreams())
    if (substream.Type == kBofTypeMacroSheet || substream.Type == kBofTypeVbModule)
      return true;
  for (const TSheetName& sheet : workbook.Reader().SheetNames())
    if (sheet.Type == kSheetTypeMacro || sheet.Type == kSheetTypeModule)
      return true;
  // OBPROJ stands in the globals, before the first sheet's BOF.
  const std::vector<TSubstream>& substreams = workbook.Reader().Substreams();
  const std::uint64_t globalsEnd =
      substreams.empty() ? 0 : (substreams.front().Last != 0 ? substreams.front().Last : workbook.RecordCount());
  const std::span<const std::uint8_t> stream = workbook.Records().Stream().Span();
  const std::span<const std::uint32_t> offsets = workbook.Records().Offsets();
  const std::uint16_t codes[] = {kRecObProj};
  const std::vector<std::uint32_t> found =
      FilterRecords(stream, offsets.first(std::min<std::size_t>(offsets.size(), globalsEnd)), codes);
  return !found.empty();
}
