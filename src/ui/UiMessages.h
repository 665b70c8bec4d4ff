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
/// The save dialog of File > Export Sheet as CSV.
inline constexpr char kExportDialogCaption[] = "Export Sheet as CSV";
inline constexpr char kExportDialogFilter[] = "CSV files (*.csv);;All files (*)";
inline constexpr char kExportDialogDefaultSuffix[] = "csv";

inline constexpr char kAboutCaption[] = "About...";
inline constexpr char kHintHomePageLink[] = "Go to Tarvex homepage";
inline constexpr char kHintMailLink[] = "Send feedback by e-mail";

/// Command line of the viewer.
inline constexpr char kUsage[] = "Usage: bifflens [FILE.xls]\n";

/// Menus of the main window.
inline constexpr char kMenuFile[] = "&File";
inline constexpr char kMenuOpen[] = "&Open...";
inline constexpr char kMenuOpenRecent[] = "Open &Recent";
inline constexpr char kMenuClearRecent[] = "&Clear Menu";
inline constexpr char kMenuExportCsv[] = "&Export Sheet as CSV...";
inline constexpr char kMenuQuit[] = "&Quit";
inline constexpr char kMenuEdit[] = "&Edit";
inline constexpr char kMenuCopy[] = "&Copy";
inline constexpr char kMenuView[] = "&View";
inline constexpr char kMenuViewPreview[] = "&Preview";
inline constexpr char kMenuViewRecords[] = "&Original records";
inline constexpr char kMenuHelp[] = "&Help";
inline constexpr char kMenuAbout[] = "&About BIFF Lens";

/// Status bar texts; those with arguments are made by the functions of
/// UiTexts.h.
inline constexpr char kStatusNoSuchFile[] = "No such file: ";
inline constexpr char kStatusNoBof[] = "not a BIFF stream: no BOF at offset ";
inline constexpr char kStatusStoppedAt[] = "Reading stopped at record ";
inline constexpr char kStatusStoppedBeforeFirst[] = "Reading stopped before the first record.";
inline constexpr char kStatusVersionUnknown[] = "BIFF version unknown";
inline constexpr char kStatusExported[] = "Exported sheet ";
/// The hex dump's last line for a record whose length runs past the stream.
inline constexpr char kNoteCutShort[] = "record cut short: ";

/// The Fields pane beside the hex dump.
inline constexpr char kHintFollowLink[] = "Double-click or press Enter to go where this points";
inline constexpr char kFieldErrorName[] = "error";
inline constexpr char kFieldsNoRecord[] = "Select a record to see its fields.";
inline constexpr char kFieldsDecodeStopped[] = "decoding stopped: ";
inline constexpr char kFieldsChartBlock[] = "in chart block: ";
inline constexpr char kFieldsLinkNowhere[] = "The link leads to nothing in this workbook";
inline constexpr char kMenuBack[] = "&Back";
inline constexpr char kMenuShowRecord[] = "Show &Record";
inline constexpr char kStatusNoRecordForCell[] = "No record writes this cell";
/// The password dialog of an encrypted workbook.
inline constexpr char kPasswordCaption[] = "Password";
inline constexpr char kPasswordPrompt[] = "This workbook is encrypted (%1).\nEnter its password to open it:";
inline constexpr char kPasswordWrong[] =
    "That password does not open it. Try again, or Cancel to see its records as stored.";
/// View menu: the dump shows the bytes as the file stores them.
inline constexpr char kMenuViewStoredBytes[] = "Bytes as &Stored";
/// Status bar: an encrypted workbook, decrypted or not.
inline constexpr char kStatusEncrypted[] = "encrypted (%1), %2";
inline constexpr char kStatusDecrypted[] = "decrypted";
inline constexpr char kStatusNotDecrypted[] = "not decrypted";
/// The hex dump's last line under an encrypted record's bytes.
inline constexpr char kNoteStoredBytes[] = "bytes as stored: encrypted";
inline constexpr char kNoteNotDecrypted[] = "encrypted, shown as stored: no password opened it";
/// View menu: formula cells of the preview show their formulas.
inline constexpr char kMenuShowFormulas[] = "Show &Formulas";
/// A formula cell's tooltip in the preview: the formula, then this and the value.
inline constexpr char kTipFormulaValue[] = "value: ";
/// Before the message in the tooltip of a cell whose formula cannot be read.
inline constexpr char kTipFormulaError[] = "formula cannot be read: ";
