// Fuzz target: what a workbook can run, hide and reach, read from fuzzed
// bytes as the macros command and the Macros tab read them: the load (a
// compound file or a bare stream; its failure counts for nothing), then
// FindMacros over the listed records and the container, and the lint
// findings made of the report. Nothing may throw out of FindMacros, every
// place it gives must name a record that exists, and no more findings may
// come than the records and the container can hold.
#include "platform/Errors.h"
#include "xls/MSExcel.h"
#include "xls/workbook/Macros.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <cstddef>
#include <cstdint>

namespace {

void CheckPlace(const TMacroPlace& place, std::size_t records)
{
  if (place.Record && (*place.Record == 0 || *place.Record > records))
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const TSharedBytes file = TSharedBytes::Copy({data, size});
  TMSExcel reader;
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
  // The password the seeds use, once; else the workbook stays locked.
  reader.OnPassword = [](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
    if (request.Refused > 0)
      cancel = true;
    else
      password.Assign("bifflens");
  };
  try {
    reader.LoadFromMemory(file.Span());
  } catch (const EBiffLensError&) {
    // What was read before the failure is read for macros all the same.
  }
  TMacroOptions options;
  // Small enough that a fuzzed project cannot ask for much memory.
  options.Limits.ModuleSource = std::size_t{1} << 20;
  options.Limits.Project = std::size_t{4} << 20;
  const TMacroReport report = FindMacros(workbook, file, options);
  const std::size_t records = workbook.RecordCount();
  for (const TMacroSheet& sheet : report.MacroSheets) {
    CheckPlace(sheet.Place, records);
    for (const TXlmCell& cell : sheet.Cells)
      CheckPlace(cell.Place, records);
  }
  for (const TMacroTrigger& trigger : report.Triggers)
    CheckPlace(trigger.Place, records);
  for (const THiddenPart& hidden : report.Hidden)
    CheckPlace(hidden.Place, records);
  for (const TExternalLink& link : report.Links)
    CheckPlace(link.Place, records);
  for (const TEmbeddedObject& object : report.Objects)
    CheckPlace(object.Place, records);
  if (report.Links.size() > records * 2 + 1)
    __builtin_trap();
  (void)MacroLintFindings(report);
  return 0;
}
