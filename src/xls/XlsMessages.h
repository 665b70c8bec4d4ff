#pragma once

// Fixed texts of the workbook reader; "a Excel" is the product's wording.
inline constexpr char kMsgNotExcelFile[] = "File is not a Excel file";
inline constexpr char kMsgNotValidWorkbook[] = "File is not valid Excel Workbook";
inline constexpr char kMsgPasswordProtected[] = "Could not read the password protected file";
inline constexpr char kMsgNoContinue[] = "CONTINUE record is not found in the stream";
inline constexpr char kMsgSstOptionsFormat[] =
    "String in SST (Options byte is 0x%s) can not be processed.";
inline constexpr char kMsgInvalidContinueFlag[] = "Invalid option flag (0x%s) after CONTINUE record";
inline constexpr char kMsgRichDataContinue[] = "must read CONTINUE before RichData";
inline constexpr char kMsgExtDataContinue[] = "must read CONTINUE before ExtData";
inline constexpr char kMsgCannotOpenFile[] = "Cannot open file \"%s\". %s";
inline constexpr char kMsgUnknownErrorCode[] = "Unknown error code ";

/// The meaning of the one raw field a record without a layout is shown as.
inline constexpr char kTextNoLayout[] = "no layout for this record type";
