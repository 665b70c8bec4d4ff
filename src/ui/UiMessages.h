#pragma once

// Fixed texts of the viewer window.

/// A record handed to the record list from outside the stream it keeps.
inline constexpr char kMsgRecordListNeedsStream[] =
    "The record list needs the records of one whole workbook stream";
/// Selecting a sheet tab that does not exist (a workbook without sheets).
inline constexpr char kMsgTabIndexOutOfBounds[] = "Tab index out of bounds";

inline constexpr char kFileNameLabel[] = "MS Excel file name:";
inline constexpr char kHintFileName[] = "Specify file name with xls-source for conversion";
inline constexpr char kHintOpen[] = "Load selected XLS file";
inline constexpr char kHintAbout[] = "About product";
inline constexpr char kHintClose[] = "Close application";
inline constexpr char kHintHomePageLabel[] = "To visit product homepage click on label";
inline constexpr char kHomePageLabelText[] = "Visit\nTarvex Software\nhomepage";
inline constexpr char kTabPreview[] = "Preview";
inline constexpr char kTabRecords[] = "Original records";
/// Filter of the open dialog, first entry selected.
inline constexpr char kOpenDialogFilter[] =
    "MS Excel workbooks (*.xls);;MS Excel spreadsheets (*.xls);;All files (*)";
inline constexpr char kOpenDialogDefaultSuffix[] = "xls";

inline constexpr char kAboutCaption[] = "About...";
inline constexpr char kHintHomePageLink[] = "Go to Tarvex homepage";
inline constexpr char kHintMailLink[] = "Send feedback by e-mail";

/// Command line of the viewer.
inline constexpr char kUsage[] = "Usage: bifflens [FILE.xls]\n";
