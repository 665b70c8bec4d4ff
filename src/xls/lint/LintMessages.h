#pragma once

// Texts of the structure check's findings; "%s" stands for a number or name,
// or for a count with its noun ("1 cell", "2 cells").
inline constexpr char kLintBofWithoutEof[] = "BOF of a substream without its EOF";
inline constexpr char kLintEofWithoutBof[] = "EOF without a BOF";
inline constexpr char kLintNoBof[] = "no BOF: the stream opens no substream, so it is not a workbook";
inline constexpr char kLintBoundSheetNowhere[] =
    "BOUNDSHEET \"%s\" points at stream offset %s, where no BOF stands";
inline constexpr char kLintRecordTooLong[] = "record of %s data bytes, over the limit of %s";
inline constexpr char kLintRecordCutShort[] = "record says %s data bytes, the stream holds %s";
inline constexpr char kLintTrailingBytes[] = "%s after the last EOF, not zero padding";
inline constexpr char kLintSstFewer[] = "SST promises %s unique strings and holds %s";
inline constexpr char kLintSstTotal[] = "SST counts %s string references; the workbook has %s LABELSST";
inline constexpr char kLintSstSplitCharacter[] =
    "string %s is split inside a UTF-16 character at a CONTINUE";
inline constexpr char kLintSstSplitHeader[] =
    "%s at the end of an SST part, too few for a string header";
inline constexpr char kLintExtSst[] =
    "EXTSST bucket %s points at stream offset %s, where its first string does not start";
inline constexpr char kLintIndexNoDbCell[] = "INDEX points at stream offset %s, where no DBCELL stands";
inline constexpr char kLintDbCellNoRow[] = "DBCELL points at stream offset %s, where no ROW stands";
inline constexpr char kLintOutsideDimensions[] = "%s outside the sheet's DIMENSIONS";
inline constexpr char kLintXfIndex[] = "%s using XF %s, past the workbook's XF records";
inline constexpr char kLintFontIndex[] = "XF uses font %s, past the workbook's FONT records";
inline constexpr char kLintFormatIndex[] = "XF uses number format %s, which no FORMAT defines";
inline constexpr char kLintCodePage[] = "unknown code page %s: 8-bit text is read as Windows-1252";
inline constexpr char kLintDuplicateCell[] = "cell %s is written a second time";
inline constexpr char kLintMoreDuplicates[] = "and %s written twice";
inline constexpr char kLintEncrypted[] = "the workbook is encrypted: %s";
inline constexpr char kLintUnknownRecord[] = "%s of code %s, which no layout knows";
