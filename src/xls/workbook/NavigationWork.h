#pragma once

// What the viewer's navigation pane computes on its worker thread, without
// the pane: the outline and the record types, then the container's map,
// then the problems (the structure check and the macro findings), each
// stage handed over as soon as it is done. Reads the opened workbook only
// through what it declares safe from another thread (Outline, RecordTypes,
// Check, FindMacros), so the window's thread may go on reading the same
// workbook (describing records, listing formulas) meanwhile.

#include "platform/CompoundMap.h"
#include "xls/lint/StructureLint.h"
#include "xls/workbook/Navigation.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TOpenedWorkbook;

/// One stage's result.
struct TNavigationStage {
  enum class TKind : std::uint8_t { nsOutline, nsContainer, nsProblems };
  TKind Kind = TKind::nsOutline;
  std::vector<TOutlineNode> Outline;      // nsOutline
  std::vector<TRecordTypeCount> Types;    // nsOutline
  std::optional<TCompoundMap> Map;        // nsContainer: the file's, when it is a compound file
  std::vector<TLintFinding> Findings;     // nsProblems
  std::string Stopped;                    // nsProblems: what stopped the check, if anything did
};

/// Where the workbook was loaded from.
struct TNavigationSource {
  std::string FileName;
  bool Compound = false;
};

/// Runs the stages in order, calling `deliver` with each. Once `cancel` is
/// set it stops at the next point it looks (between stages, and often
/// inside the check and the macro reading) and delivers nothing more; a
/// cancelled problems stage is never delivered. `workbook` must not be
/// reset or loaded into until it returns.
void ComputeNavigation(const TOpenedWorkbook& workbook, const TNavigationSource& source,
                       const std::atomic<bool>& cancel,
                       const std::function<void(std::shared_ptr<TNavigationStage>)>& deliver);
