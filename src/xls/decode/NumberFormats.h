#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// One number format (from an XF record: only the indexes are set).
struct TXLSFormat {
  std::string FormatText;
  std::int32_t FormatIndex = 0;
  std::int32_t FontIndex = 0;
  bool IsDate = false;
};

/// The workbook's number formats and XF records: enough to tell a date cell
/// from a number. Starts with the built-in formats.
class TFormatTables {
public:
  TFormatTables() { Reset(); }

  /// Back to the built-in formats, no XF record.
  void Reset();
  /// Sets format `index` (a FORMAT record replaces a built-in text of the
  /// same index). Throws EListError for a negative index.
  void SetFormat(int index, const std::string& text);
  /// The index of the next FORMAT record of a file that numbers them by
  /// order of appearance (BIFF2 to BIFF4).
  int NextFormatByOrder() { return FFormatsByOrder++; }
  /// Appends an XF entry.
  void AddXf(int formatIndex, int fontIndex);

  const std::vector<std::string>& Formats() const { return FFormats; }
  const std::vector<TXLSFormat>& XFs() const { return FXFs; }

  /// The date decision for a number cell's XF index: its XF's format, or,
  /// for an index past the XF records, the format of that index. Format 0
  /// ("General") is never a date. Inline, as every number cell asks.
  bool IsDateXF(int xfIndex) const { return IsDateFormatIndex(NumberFormatOf(xfIndex)); }
  /// The number format of an XF index: its XF's, or the index itself past
  /// the XF records.
  int NumberFormatOf(int xfIndex) const
  {
    if (xfIndex >= 0 && static_cast<std::size_t>(xfIndex) < FXFs.size())
      return FXFs[static_cast<std::size_t>(xfIndex)].FormatIndex;
    return xfIndex;
  }
  /// True when number format `index` is a date format.
  bool IsDateFormatIndex(int index) const
  {
    if (index <= 0 || static_cast<std::size_t>(index) >= FFormatIsDate.size())
      return false;
    return FFormatIsDate[static_cast<std::size_t>(index)] != 0;
  }
  /// True when the (lower-cased) format text holds "dd", "mm" or "yy".
  static bool IsDateFormat(std::string_view lowerText);

private:
  std::vector<TXLSFormat> FXFs;
  std::vector<std::string> FFormats;
  // IsDateFormat of each lower-cased entry of FFormats, worked out when the
  // entry is set: every number cell asks.
  std::vector<std::uint8_t> FFormatIsDate;  // bytes, not bits: read per number cell
  int FFormatsByOrder = 0;
};
