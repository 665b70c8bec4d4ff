#include "MacrosCommand.h"

#include "CommandReader.h"
#include "Commands.h"
#include "JsonWriter.h"
#include "platform/ErrorText.h"
#include "platform/FileReader.h"
#include "xls/workbook/Macros.h"
#include "xls/workbook/OpenedWorkbook.h"

namespace {

// The file is read whole, for its container; no workbook is larger.
constexpr std::size_t kMostFileBytes = std::size_t{4} << 30;

constexpr char kMacrosUsage[] =
    "Usage: bifflens-cli macros FILE\n"
    "What the workbook can run, hides and reaches out to: one JSON line per\n"
    "finding, each with its \"kind\" and the record (\"n\", \"offset\") or the\n"
    "container's stream it comes from:\n"
    "  vba      a VBA module: stream, module, type, code (its source), error, stomped\n"
    "  xlm      a formula of an Excel 4 macro sheet: sheet, cell, formula\n"
    "  trigger  what runs by itself (Auto_Open, Workbook_Open, ...): name, where\n"
    "  hidden   a hidden sheet or name: what, name, state (hidden, very hidden,\n"
    "           misplaced: a BOUNDSHEET pointing where no BOF stands)\n"
    "  link     what it reaches: type (external, addin, dde, ole, hyperlink,\n"
    "           webquery), target\n"
    "  object   an embedded object: storage, class, clsid, size\n"
    "Nothing is run. Exit status: 0 with or without findings, 1 when the file\n"
    "cannot be read (what was read is printed), 2 bad usage.\n";

void Place(TJsonLineWriter& json, const TMacroPlace& place)
{
  if (place.Record)
    json.Field("n", static_cast<std::int64_t>(*place.Record));
  else
    json.NullField("n");
  if (place.Offset)
    json.Field("offset", static_cast<std::int64_t>(*place.Offset));
  else
    json.NullField("offset");
  if (!place.Stream.empty())
    json.Field("stream", place.Stream);
}

void OptionalText(TJsonLineWriter& json, std::string_view key, const std::string& text)
{
  if (text.empty())
    json.NullField(key);
  else
    json.Field(key, text);
}

void WriteReport(TJsonLineWriter& json, const TMacroReport& report)
{
  for (const TVbaModule& module : report.Vba.Modules) {
    json.BeginObject();
    json.Field("kind", "vba");
    json.Field("stream", module.StreamPath.empty() ? report.Vba.StoragePath + "/VBA/" + module.StreamName
                                                   : module.StreamPath);
    json.Field("module", module.Name);
    json.Field("type", VbaModuleTypeText(module.Type));
    json.Field("code", module.Source);
    OptionalText(json, "error", module.Error);
    json.Field("stomped", module.Stomped);
    json.EndObject();
  }
  for (const TMacroSheet& sheet : report.MacroSheets) {
    if (sheet.Cells.empty()) {
      // A macro sheet without formulas is still one.
      json.BeginObject();
      json.Field("kind", "xlm");
      Place(json, sheet.Place);
      json.Field("sheet", sheet.Name);
      json.NullField("cell");
      json.NullField("formula");
      json.EndObject();
      continue;
    }
    for (const TXlmCell& cell : sheet.Cells) {
      json.BeginObject();
      json.Field("kind", "xlm");
      Place(json, cell.Place);
      json.Field("sheet", sheet.Name);
      json.Field("cell", cell.Cell);
      if (cell.Error.empty()) {
        json.Field("formula", cell.Formula);
      } else {
        json.NullField("formula");
        json.Field("formula_error", cell.Error);
      }
      json.EndObject();
    }
  }
  for (const TMacroTrigger& trigger : report.Triggers) {
    json.BeginObject();
    json.Field("kind", "trigger");
    Place(json, trigger.Place);
    json.Field("name", trigger.Name);
    json.Field("where", trigger.Where);
    if (trigger.Line > 0)
      json.Field("line", static_cast<std::int64_t>(trigger.Line));
    json.EndObject();
  }
  for (const THiddenPart& hidden : report.Hidden) {
    json.BeginObject();
    json.Field("kind", "hidden");
    Place(json, hidden.Place);
    json.Field("what", hidden.IsName ? "name" : "sheet");
    json.Field("name", hidden.Name);
    json.Field("state", HiddenStateText(hidden.State));
    if (!hidden.Note.empty())
      json.Field("message", hidden.Note);
    json.EndObject();
  }
  for (const TExternalLink& link : report.Links) {
    json.BeginObject();
    json.Field("kind", "link");
    Place(json, link.Place);
    json.Field("type", LinkTypeText(link.Type));
    json.Field("target", link.Target);
    json.EndObject();
  }
  for (const TEmbeddedObject& object : report.Objects) {
    json.BeginObject();
    json.Field("kind", "object");
    Place(json, object.Place);
    json.Field("storage", object.Place.Stream);
    OptionalText(json, "class", object.ClassName);
    OptionalText(json, "clsid", object.Clsid);
    if (object.Found)
      json.Field("size", static_cast<std::int64_t>(object.Size));
    else
      json.NullField("size");
    json.EndObject();
  }
}

}  // namespace

int RunMacrosCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out << kMacrosUsage;
    return kExitOk;
  }
  if (args.size() != 1) {
    ReportUsage(err, "macros", "macros FILE");
    return kExitUsage;
  }
  const TCommandReader held;
  TMSExcel& reader = *held;
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
  // Read once, for the load and the container alike (a pipe can be read
  // only once).
  TSharedBytes file;
  bool ok = false;
  if (ReadWholeStream(CommandInputPath(args[0]), kMostFileBytes, file)) {
    ok = LoadBytes(reader, file, args[0], err);
  } else {
    file = {};
    ok = Load(reader, args[0], err, true);
  }
  if (!reader.IsCompound())
    file = {};
  const TMacroReport report = FindMacros(workbook, file);
  for (const TVbaProblem& problem : report.Vba.Errors)
    ReportFileError(err, args[0], problem.Stream + ": " + problem.Message);
  for (const std::string& note : report.Notes)
    ReportFileError(err, args[0], note);
  TJsonLineWriter json(out);
  WriteReport(json, report);
  json.Flush();
  return ok ? kExitOk : kExitFailure;
}
