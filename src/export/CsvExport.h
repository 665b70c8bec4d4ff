#pragma once

// A loaded workbook's sheets as CSV files: what the command-line tool and
// the viewer share.

#include "export/CellRange.h"
#include "export/CsvFormat.h"
#include "export/CsvValue.h"
#include "export/CsvWriter.h"

#include <string>
#include <string_view>

class TMSExcel;

/// The value field source of a loaded workbook: its number formats and date
/// system. Reads them now; keeps nothing of the reader.
TCsvValueText WorkbookValueText(const TMSExcel& reader, TCsvDates dates);

/// Sheet `sheetIndex` of a loaded workbook into the file `path` (made anew),
/// with its values. Throws EBiffLensError(kMsgCannotWriteExport) when the
/// file cannot be made or written, EListError for a sheet that does not
/// exist.
TCsvSheetResult ExportSheetToFile(const TMSExcel& reader, int sheetIndex, const std::string& path,
                                  const TCsvFormat& format, const TCellRange& range = {});
/// The same with each field's text from `fields` (formulas, say).
TCsvSheetResult ExportSheetToFile(const TMSExcel& reader, int sheetIndex, const std::string& path,
                                  const TCsvFormat& format, const TCellRange& range,
                                  TCsvFieldSource& fields);

/// A sheet name made safe as a file name: "/", "\", the characters some
/// systems refuse (: * ? " < > |) and control characters become "_", as do
/// a leading "." and a name that is empty; cut to 200 bytes at a whole
/// UTF-8 character. Other characters stay as they are.
std::string SafeFileName(std::string_view sheetName);
/// `pattern` with each "{n}" replaced by `number` and each "{name}" by
/// SafeFileName(sheetName).
std::string ExpandOutputPattern(std::string_view pattern, int number, std::string_view sheetName);
/// True when `pattern` holds "{n}" or "{name}", so that every sheet gets a
/// file of its own.
bool PatternNamesEachSheet(std::string_view pattern);
