#include "xls/workbook/NavigationWork.h"

#include "platform/FileReader.h"
#include "xls/workbook/Macros.h"
#include "xls/workbook/OpenedWorkbook.h"

namespace {

// A container is read whole for its VBA project; no workbook is larger.
constexpr std::size_t kMostFileBytes = std::size_t{4} << 30;

}  // namespace

void ComputeNavigation(const TOpenedWorkbook& workbook, const TNavigationSource& source,
                       const std::atomic<bool>& cancel,
                       const std::function<void(std::shared_ptr<TNavigationStage>)>& deliver)
{
  {
    auto outline = std::make_shared<TNavigationStage>();
    outline->Outline = workbook.Outline();
    outline->Types = workbook.RecordTypes();
    deliver(std::move(outline));
  }
  if (cancel)
    return;
  auto container = std::make_shared<TNavigationStage>();
  container->Kind = TNavigationStage::TKind::nsContainer;
  if (source.Compound) {
    if (const auto file = TFileReader::Open(source.FileName))
      container->Map = MapCompoundFile(*file);
  }
  deliver(container);
  auto problems = std::make_shared<TNavigationStage>();
  problems->Kind = TNavigationStage::TKind::nsProblems;
  const TCompoundMap* map = container->Map && container->Map->Valid ? &*container->Map : nullptr;
  TStructureCheck check = workbook.Check(map, &cancel);
  if (check.Cancelled)
    return;
  // What runs, hides or reaches out, as `bifflens-cli lint` adds it.
  TSharedBytes file;
  if (source.Compound && !ReadWholeStream(source.FileName, kMostFileBytes, file))
    file = {};
  TMacroOptions options;
  options.Structure = &check.Findings;
  options.Cancel = &cancel;
  const TMacroReport macros = FindMacros(workbook, file, options);
  if (macros.Cancelled)
    return;
  const std::vector<TLintFinding> found = MacroLintFindings(macros);
  check.Findings.insert(check.Findings.end(), found.begin(), found.end());
  problems->Findings = std::move(check.Findings);
  problems->Stopped = std::move(check.Stopped);
  deliver(std::move(problems));
}
