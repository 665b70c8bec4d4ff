#pragma once

// What a record's meaning depends on besides its own bytes: the version,
// the code page, the date system and the workbook's tables. The reader keeps
// one context while it loads and a snapshot of it for every stretch of the
// stream it held unchanged, so a record decoded after the load reads exactly
// as it did during it.

#include "platform/Variant.h"
#include "platform/text/CodePage.h"
#include "xls/ExcelVersion.h"
#include "xls/decode/NumberFormats.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// One NAME record: the name, its formula bytes, its option flags.
struct TXLSName {
  std::string Name;
  std::string Definition;  // the formula's tokens
  std::int32_t Options = 0;
  /// The sheet the name belongs to, as its one-based BOUNDSHEET position; 0
  /// for a name of the whole workbook (and before BIFF5).
  std::uint16_t Sheet = 0;
  /// The bytes after the tokens: a formula's constant data (array
  /// constants) comes first, the record's remaining texts after it.
  std::string Extra;
};

/// One FONT record.
struct TXLSFont {
  std::string Name;
  int Size = 0;  // points
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  int CharSet = 0;
  int Color = 0;
};

/// One BOUNDSHEET entry: sheet name and the stream offset of its BOF.
struct TSheetName {
  std::string Name;
  std::uint32_t BofOffset = 0;
  /// 0 visible, 1 hidden, 2 very hidden (only a program can show it again);
  /// as stored, so a damaged file's other values stay what they are.
  std::uint8_t Visibility = 0;
  /// 0 worksheet or dialog sheet, 1 macro sheet, 2 chart, 6 VBA module.
  std::uint8_t Type = 0;
};

/// The workbook's lists, filled by the records of its globals.
struct TWorkbookTables {
  TFormatTables Formats;
  std::vector<TXLSFont> Fonts;
  std::vector<TSheetName> SheetNames;
  std::vector<TXLSName> Names;
};

struct TDecodeContext {
  TExcelVersion Version = TExcelVersion::evUnknown;
  int CodePage = 1252;
  bool Date1904 = false;
  /// Shared with the snapshots: records decoded after the load see the
  /// tables complete, as the cells did (their XF and FORMAT records come
  /// first).
  std::shared_ptr<TWorkbookTables> Tables = std::make_shared<TWorkbookTables>();
  /// Decodes 8-bit text of CodePage. Not owned; set only while decoding
  /// (the reader's during a load, a describing call's own after it).
  TCodePageDecoder* Text = nullptr;
  /// The shared-string table, for what a string index points at. Not
  /// owned; set only while a record is described after the load.
  const std::vector<TVariant>* SharedStrings = nullptr;

  bool Biff8() const { return IsBiff8(Version); }
};
