#pragma once

// The texts of the compare window and of the menu entry that opens it.

inline constexpr char kMenuCompareWith[] = "Co&mpare With...";
inline constexpr char kCompareDialogTitle[] = "Compare With";
inline constexpr char kCompareDialogTitleA[] = "Compare: the first workbook";
inline constexpr char kCompareTitle[] = "Compare %1 with %2";
inline constexpr char kCompareWorking[] = "Comparing...";
inline constexpr char kCompareSame[] = "No differences";
inline constexpr char kCompareSummary[] = "%1 changed, %2 added, %3 removed; %4 of %5 rows shown";
inline constexpr char kCompareCellsSummary[] = "%1 cells differ";
inline constexpr char kCompareOneCell[] = "%1 cell differs";
inline constexpr char kCompareTimes[] = "loaded in %1 ms, compared in %2 ms";
inline constexpr char kCompareFailed[] = "Comparing failed: %1";
inline constexpr char kCompareNoMore[] = "No more differences";
inline constexpr char kCompareOnlyDifferences[] = "Only &differences";
inline constexpr char kCompareNextDifference[] = "&Next Difference";
inline constexpr char kComparePreviousDifference[] = "&Previous Difference";
inline constexpr char kCompareFilterHint[] = "Filter: record names or codes, either side";
inline constexpr char kCompareFindHint[] = "Find in either side's data";
inline constexpr char kCompareTabFields[] = "Fields";
inline constexpr char kCompareTabPreview[] = "Preview";
inline constexpr char kCompareFieldColumn[] = "Field";
inline constexpr char kCompareNone[] = "(none)";
inline constexpr char kCompareArrow[] = " \u2192 ";
inline constexpr char kCompareSameRecord[] = "No difference";
inline constexpr char kCompareChanged[] = "Changed";
inline constexpr char kCompareStyleChanged[] = "Style changed";
inline constexpr char kCompareAdded[] = "Only in B";
inline constexpr char kCompareRemoved[] = "Only in A";
inline constexpr char kCompareFieldsLeftOut[] = "%1 more fields differ";
