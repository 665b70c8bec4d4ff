#include "LintCommand.h"

#include "CommandReader.h"
#include "Commands.h"
#include "JsonWriter.h"
#include "platform/CompoundMap.h"
#include "platform/ErrorText.h"
#include "platform/FileReader.h"
#include "xls/MSExcel.h"
#include "xls/workbook/Macros.h"
#include "xls/workbook/OpenedWorkbook.h"


namespace {

// A container is read whole; no compound file a workbook lives in is larger.
constexpr std::size_t kMostContainerBytes = std::size_t{4} << 30;

void WriteFinding(TJsonLineWriter& json, const TLintFinding& finding)
{
  json.BeginObject();
  json.Field("severity", LintSeverityName(finding.Severity));
  json.Field("check", finding.Check);
  if (finding.Record)
    json.Field("n", static_cast<std::int64_t>(*finding.Record));
  else
    json.NullField("n");
  if (finding.Offset)
    json.Field("offset", static_cast<std::int64_t>(*finding.Offset));
  else
    json.NullField("offset");
  json.Field("message", finding.Message);
  json.EndObject();
}

}  // namespace

int RunLintCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (args.size() != 1) {
    ReportUsage(err, "lint", "lint FILE");
    return kExitUsage;
  }
  const std::string path = CommandInputPath(args[0]);
  const TCommandReader held;
  TMSExcel& reader = *held;
  // The check reads the records after the load: the stream stays whole.
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
  bool ok = Load(reader, args[0], err, true);
  // The container as it is, damage included, for the compound-file check,
  // and whole for what it holds beside the workbook (the VBA project, the
  // embedded objects).
  std::optional<TCompoundMap> container;
  TSharedBytes bytes;
  if (reader.IsCompound() && ReadWholeStream(path, kMostContainerBytes, bytes))
    container = MapCompoundFile(bytes);
  TStructureCheck check = workbook.Check(container ? &*container : nullptr);
  TMacroOptions options;
  options.Structure = &check.Findings;
  const std::vector<TLintFinding> macros = MacroLintFindings(FindMacros(workbook, bytes, options));
  check.Findings.insert(check.Findings.end(), macros.begin(), macros.end());
  if (!check.Stopped.empty()) {
    if (ok)
      ReportFileError(err, args[0], check.Stopped);
    ok = false;
  }
  TJsonLineWriter json(out);
  bool errors = false;
  for (const TLintFinding& finding : check.Findings) {
    WriteFinding(json, finding);
    errors = errors || finding.Severity == TLintSeverity::lsError;
  }
  json.Flush();
  return ok && !errors ? kExitOk : kExitFailure;
}
