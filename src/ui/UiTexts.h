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
