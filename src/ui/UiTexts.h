#pragma once

// Texts of the viewer window made from values: one function per text, each
// tested for its exact output. The fixed parts are in UiMessages.h.

#include "xls/MSExcel.h"

#include <QString>

#include <cstdint>

/// `text` as a tab, button or menu shows it literally: every "&" doubled, so
/// none is taken for a mnemonic ("P&L" stays "P&L", not "PL" with L underlined).
QString LiteralCaption(const QString& text);
/// An Open Recent entry: "&1 " (the number its mnemonic, 10 as "1&0") and
/// the path shown literally.
QString RecentFileEntryText(int number, const QString& path);

/// "No such file: NAME".
QString NoSuchFileText(const QString& name);
/// "not a BIFF stream: no BOF at offset 0".
QString NoBofText(std::uint64_t offset);
/// Where a failed load stopped: "Reading stopped at record 12 (offset
/// 0x000001A4)." for the last record listed, or "Reading stopped before the
/// first record." when none was.
QString StoppedAtText(std::uint64_t records, std::uint64_t lastOffset);
/// "BIFF2", "BIFF3", "BIFF4", "BIFF5/7" (Excel 5 and 95 share one layout),
/// "BIFF8"; "BIFF version unknown".
QString BiffVersionText(TExcelVersion version);
/// "1 error", "0 errors": the count and the word it takes.
QString CountText(std::uint64_t count, const char* one, const char* many);
/// "1,234,567": digits in groups of three, commas between.
QString GroupedNumberText(std::uint64_t n);
/// The note above the preview: "Rows 1–99 of 65,536 shown" (an en dash;
/// thousands grouped), "Row 1 of 1 shown", or "No rows" for an empty sheet.
QString PreviewRowsText(int shown, int total);
/// "3 of 147 records shown", "1 of 1 record shown": the filter's rows.
QString FilteredText(int shown, int total);
/// The Problems pane's tally: "1 error, 2 warnings, 0 notes".
QString ProblemsCountText(std::uint64_t errors, std::uint64_t warnings, std::uint64_t notes);
/// The Macros tab's summary: "1 VBA module, 2 macro sheets (1 formula), 0
/// triggers, 0 hidden parts, 1 link, 0 objects".
QString MacrosSummaryText(std::uint64_t modules, std::uint64_t sheets, std::uint64_t formulas,
                          std::uint64_t triggers, std::uint64_t hidden, std::uint64_t links,
                          std::uint64_t objects);
/// The Container tab's summary: "Version 3, 512-byte sectors, 9 sectors, 1 problem".
QString ContainerSummaryText(int version, int sectorSize, std::uint64_t sectors, std::uint64_t problems);
/// "1 record", "147 records".
QString RecordCountText(std::uint64_t records);
/// "1 sheet", "3 sheets".
QString SheetCountText(int sheets);
/// "stream 45056 bytes".
QString StreamSizeText(std::uint64_t bytes);
/// "loaded in 12 ms".
QString LoadTimeText(std::int64_t milliseconds);
/// After File > Export Sheet as CSV: "Exported sheet Sales to sales.csv
/// (12 rows)." with the file's name, not its folder.
QString ExportedText(const QString& sheet, const QString& fileName, int rows);
/// The file name the export's save dialog suggests: the workbook's base
/// name, "-", and the sheet's name as export/CsvExport.h makes it safe,
/// then ".csv" ("book-Sales.csv").
QString ExportFileSuggestion(const QString& workbook, const QString& sheet);
/// "record cut short: 10 of 100 bytes present".
QString CutShortText(int present, int length);

/// The password dialog's question: "This workbook is encrypted (RC4).\nEnter
/// its password to open it:".
QString PasswordPromptText(const QString& scheme);
/// "encrypted (RC4 CryptoAPI), decrypted" or "..., not decrypted".
QString EncryptionStatusText(const QString& scheme, bool decrypted);
