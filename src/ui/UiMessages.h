#pragma once

// Fixed texts of the viewer window.

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
inline constexpr char kUsage[] =
    "Usage: bifflens [FILE.xls]\n"
    "       bifflens --compare A.xls B.xls\n";

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
/// The error box's details of a load that stopped: where, the last record
/// read, and the reader's message.
inline constexpr char kDetailsStoppedAt[] = "Reading stopped at offset %1 of the workbook stream.";
inline constexpr char kDetailsLastRecord[] = "Last record read: #%1, %2 %3, length %4, at offset %5.";
inline constexpr char kDetailsNoRecord[] = "No record was read.";
inline constexpr char kDetailsMessage[] = "Message: %1";
inline constexpr char kStatusVersionUnknown[] = "BIFF version unknown";
inline constexpr char kStatusExported[] = "Exported sheet ";
/// The hex dump's last line for a record whose length runs past the stream.
inline constexpr char kNoteCutShort[] = "record cut short: ";

/// The Fields pane beside the hex dump.
inline constexpr char kMenuCopyField[] = "Copy";
inline constexpr char kMenuCopyValue[] = "Copy Value";
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

/// The strip above the record list: filter, find and go to.
inline constexpr char kHintFilter[] = "Filter: record names or codes (SST, 0x00FD), Enter";
inline constexpr char kHintFind[] = "Find in record data, Enter or F3";
inline constexpr char kHintGoTo[] = "Go to record 57, offset 0x1A2B or @6699";
inline constexpr char kFindModeHex[] = "Hex";
inline constexpr char kFindModeText[] = "Text";
inline constexpr char kFindModeUtf16[] = "UTF-16";
inline constexpr char kMenuFind[] = "&Find...";
inline constexpr char kMenuFindNext[] = "Find &Next";
inline constexpr char kMenuFindPrevious[] = "Find Pre&vious";
inline constexpr char kMenuGoTo[] = "&Go To...";
inline constexpr char kMenuFilter[] = "Fi&lter Records...";
/// Status texts of filter, find and go to; those with arguments are made
/// by the functions of UiTexts.h.
inline constexpr char kStatusNoSuchType[] = "No record type is named %1";
inline constexpr char kStatusBadHex[] = "Not hexadecimal bytes: %1";
inline constexpr char kStatusNotFound[] = "Not found: %1";
inline constexpr char kStatusFoundWrappedForward[] = "Found %1 in record %2, after passing the end";
inline constexpr char kStatusFoundWrappedBack[] = "Found %1 in record %2, after passing the start";
inline constexpr char kStatusFound[] = "Found %1 in record %2";
inline constexpr char kStatusBadGoTo[] = "Not a record number or offset: %1";
inline constexpr char kStatusNoRecordNumber[] = "No record %1: the list has %2";
inline constexpr char kStatusNoRecordAtOffset[] = "No record holds stream offset %1";
inline constexpr char kStatusFilterCleared[] = "Filter cleared to show record %1";

/// The navigation pane beside the record list: the stream's parts, the
/// record types, the structure check's problems and the container.
inline constexpr char kTabOutline[] = "Outline";
inline constexpr char kTabTypes[] = "Types";
inline constexpr char kTabProblems[] = "Problems";
inline constexpr char kTabContainer[] = "Container";
inline constexpr char kOutlineColumns[] = "Part;Records;From";
inline constexpr char kTypesColumns[] = "Code;Name;Count;Bytes";
inline constexpr char kProblemsColumns[] = "Severity;Check;Record;Message";
inline constexpr char kEntriesColumns[] = "Id;Name;Type;Size;Start;Mini;CLSID;Colour;Left;Right;Child";
inline constexpr char kSectorsColumns[] = "Sectors;Count;Holds;Stream;Slack";
/// A node of the outline: the substream's kind and, quoted, its sheet name.
inline constexpr char kOutlineNamed[] = "%1 \"%2\"";
inline constexpr char kOutlineWorking[] = "Reading the stream's parts...";
inline constexpr char kProblemsWorking[] = "Checking the workbook's structure...";
inline constexpr char kProblemsNone[] = "No problems found.";
inline constexpr char kProblemsStopped[] = "The check stopped: %1";
inline constexpr char kContainerNone[] = "Not a compound file: the workbook stream is the file itself.";
inline constexpr char kContainerInvalid[] = "The compound file's header cannot be read.";
/// The selected record's place in the file: its bytes' runs.
inline constexpr char kContainerRecordPlace[] = "Record %1 lies at file bytes %2";
inline constexpr char kContainerRecordNoPlace[] = "Record %1: its bytes are not in the workbook stream's chain";
inline constexpr char kContainerRun[] = "%1-%2 (sector %3)";
inline constexpr char kContainerRunSectors[] = "%1-%2 (sectors %3-%4)";
inline constexpr char kEntryTypeUnused[] = "unused";
inline constexpr char kEntryTypeStorage[] = "storage";
inline constexpr char kEntryTypeStream[] = "stream";
inline constexpr char kEntryTypeRoot[] = "root";
inline constexpr char kEntryTypeUnknown[] = "unknown";
inline constexpr char kColourRed[] = "red";
inline constexpr char kColourBlack[] = "black";
inline constexpr char kYes[] = "yes";
inline constexpr char kNo[] = "no";
inline constexpr char kSectorFree[] = "free";
inline constexpr char kSectorFat[] = "FAT";
inline constexpr char kSectorDifat[] = "DIFAT";
inline constexpr char kSectorDirectory[] = "directory";
inline constexpr char kSectorMiniFat[] = "mini FAT";
inline constexpr char kSectorMiniStream[] = "mini stream";
inline constexpr char kSectorStream[] = "stream";
inline constexpr char kSectorUnreachable[] = "unreachable";
inline constexpr char kSectorClaimedTwice[] = "claimed twice";
/// View menu: formula cells of the preview show their formulas.
inline constexpr char kMenuNextSheet[] = "&Next Sheet";
inline constexpr char kMenuPreviousSheet[] = "&Previous Sheet";
inline constexpr char kMenuShowFormulas[] = "Show &Formulas";
/// View menu: the preview shows every row of the sheet, not only the first.
inline constexpr char kMenuShowAllRows[] = "Show &All Rows";
/// The tooltip of the note above the preview while rows are left out.
inline constexpr char kTipPreviewRowsCut[] = "View > Show All Rows shows every row of the sheet";
/// A formula cell's tooltip in the preview: the formula, then this and the value.
inline constexpr char kTipFormulaValue[] = "value: ";
/// Before the message in the tooltip of a cell whose formula cannot be read.
inline constexpr char kTipFormulaError[] = "formula cannot be read: ";

/// The Macros tab: what the workbook can run, hides and reaches out to.
inline constexpr char kTabMacros[] = "Macros";
inline constexpr char kMenuViewMacros[] = "&Macros";
inline constexpr char kMacrosWorking[] = "Reading the VBA project, the macro sheets and the links...";
inline constexpr char kMacrosNone[] = "Nothing in this workbook runs, hides or reaches out.";
inline constexpr char kModulesColumns[] = "Module;Type;Lines";
inline constexpr char kFindingsColumns[] = "Kind;Name;Detail;From";
inline constexpr char kMacrosGroupSheets[] = "Macro sheets";
inline constexpr char kMacrosGroupTriggers[] = "Triggers";
inline constexpr char kMacrosGroupHidden[] = "Hidden";
inline constexpr char kMacrosGroupLinks[] = "Links";
inline constexpr char kMacrosGroupObjects[] = "Objects";
inline constexpr char kMacrosGroupNotes[] = "Not read";
inline constexpr char kMacrosGroupCount[] = "%1 (%2)";
inline constexpr char kMacrosSheetUnnamed[] = "(unnamed)";
inline constexpr char kMacrosInternational[] = "international";
inline constexpr char kMacrosRecord[] = "record %1";
inline constexpr char kMacrosLine[] = "%1, line %2";
inline constexpr char kMacrosObjectMissing[] = "not in the container";
inline constexpr char kMacrosStomped[] = "stomped: compiled code, no source";
inline constexpr char kMacrosFindPlaceholder[] = "Find in the module (Ctrl+F, then Enter)";
inline constexpr char kMacrosFindNotFound[] = "Not found: %1";
inline constexpr char kMacrosFindWrapped[] = "Found after passing the end";
/// The status bar when the workbook holds code (VBA modules or macro sheets).
inline constexpr char kStatusMacros[] = "macros";
/// The outline's mark of a hidden sheet: the node's text, then the state.
inline constexpr char kOutlineHidden[] = "%1 (hidden)";
inline constexpr char kOutlineVeryHidden[] = "%1 (very hidden)";
/// The kinds of the Macros tab's rows, as `bifflens-cli macros` names them.
inline constexpr char kMacrosKindSheet[] = "macro sheet";
inline constexpr char kMacrosKindCell[] = "xlm";
inline constexpr char kMacrosKindTrigger[] = "trigger";
inline constexpr char kMacrosKindHiddenName[] = "name";
inline constexpr char kMacrosKindHiddenSheet[] = "sheet";
inline constexpr char kMacrosKindObject[] = "object";
inline constexpr char kMacrosBytes[] = "%1 bytes";
