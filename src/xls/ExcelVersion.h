#pragma once

#include <cstdint>

/// Workbook versions, compared by order: "before BIFF8" is below evExcel8;
/// evExcel9 is a BIFF8 workbook written by a later Excel.
enum class TExcelVersion : std::uint8_t {
  evUnknown,
  evExcel2,
  evExcel3,
  evExcel4,
  evExcel5,
  evExcel7,
  evExcel8,
  evExcel9,
};

/// Name of a version as the tools print it ("evExcel8").
const char* ExcelVersionName(TExcelVersion version);
/// The record layout a version writes, as the viewer's status bar and the
/// tool's `stats` label it: "BIFF2", "BIFF3", "BIFF4", "BIFF5/7" (Excel 5
/// and 95 share one layout), "BIFF8" (also for evExcel9); nullptr for
/// evUnknown.
const char* BiffVersionLabel(TExcelVersion version);

inline bool IsBiff8(TExcelVersion version)
{
  return version >= TExcelVersion::evExcel8;
}

// [MS-XLS] record length limits: 2080 data bytes before BIFF8, 8224 from it on.
inline constexpr std::uint32_t kRecordLimitBiff5 = 2080;
inline constexpr std::uint32_t kRecordLimitBiff8 = 8224;

/// The most data bytes a record of the version may have.
inline std::uint32_t RecordLimit(TExcelVersion version)
{
  return IsBiff8(version) ? kRecordLimitBiff8 : kRecordLimitBiff5;
}
