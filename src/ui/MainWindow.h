#pragma once

#include "platform/SharedBytes.h"
#include "ui/ViewerSettings.h"

#include "xls/workbook/OpenedWorkbook.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTabBar;
class QTabWidget;
class QToolBar;
class THexDump;
class TLinkLabel;
class TMSExcel;
class TMacrosPane;
class TNavigatorPane;
class TPaneFocusFrame;
class TPreviewGrid;
class TRecordFilterModel;
class TRecordListModel;
class TRecordNavigator;
class TRecordInspector;
class TRecordListView;
class TSecret;

/// Shows an error to the user: caption and the finished text (closing "."
/// already applied). The default is QMessageBox::critical; tests replace it.
using TErrorPresenter =
    std::function<void(QWidget* parent, const QString& caption, const QString& text)>;
/// Asks for the password of an encrypted workbook whose scheme is `scheme`
/// (`retry`: the last one given was wrong): true with it in `password`,
/// false to give up. The default is TfrmPassword::Ask; tests replace it.
using TPasswordPrompter =
    std::function<bool(QWidget* parent, const QString& scheme, bool retry, TSecret& password)>;

/// The main window: a menu bar (File, Edit, View, Help), a file-name box
/// with browse, "Open", "About" and "Close" tool buttons, the logo and
/// home-page link, two tabs: "Preview" (a grid of one sheet with a tab per
/// sheet) and "Original records" (every record of the workbook stream, with a
/// strip to filter, search and go to above it, a hex dump of the selected one,
/// a Fields pane with its fields and, below that, the navigation pane: the
/// stream's outline, its record types, the structure check's problems and
/// the container), and a status bar that tells what the last open found.
/// The list's rows are the filter's: Navigator maps them to records. A file dropped on the
/// window is opened.
///
/// Owns the reader; the record list and the hex dump are its children. The
/// geometry, the records page's splitter and column widths and the recent
/// files are remembered (TViewerSettings), the first three when the window
/// closes.
class TfrmMain : public QMainWindow {
  Q_OBJECT

public:
  /// Size of the window at its first start: within a 1280 x 800 screen with
  /// room to spare, the record list showing every column, the dump 16 bytes
  /// a line and the Fields pane beside them. Later starts take the size the window had at its close.
  static constexpr int kDefaultWidth = 1160;
  static constexpr int kDefaultHeight = 680;
  /// Smallest size: the tool strip whole, the list and the dump still usable.
  static constexpr int kMinimumWidth = 640;
  static constexpr int kMinimumHeight = 480;
  static constexpr int kToolStripHeight = 29;
  /// The page control's place in the client area, and the margin it keeps
  /// to the right and bottom edges when the window is resized.
  static constexpr int kPagesLeft = 104;
  static constexpr int kPagesTop = 40;
  static constexpr int kPagesMargin = 5;
  static constexpr int kDumpHeight = 150;

  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  /// Puts `fileName` into the file-name box and opens it as "Open" does.
  void OpenFile(const QString& fileName);
  /// File > Open...: chooses a file, starting in the current file's folder,
  /// and opens it at once.
  void OpenClick();
  /// File > Export Sheet as CSV...: chooses a file in a save dialog, which
  /// starts in the folder of the last export (else the workbook's) and
  /// suggests ExportFileSuggestion, then writes the shown sheet there with
  /// the CSV defaults (ExportShownSheet). Failures go to the error box.
  void ExportCsvClick();
  /// Writes the sheet whose tab is shown to `fileName` as CSV with the
  /// defaults and remembers its folder; returns the rows written. Throws
  /// EBiffLensError(kMsgCannotWriteExport) when the file cannot be written,
  /// kMsgTabIndexOutOfBounds when no sheet is shown.
  int ExportShownSheet(const QString& fileName);
  /// Edit > Copy: what the focused part copies (the dump's bytes, the
  /// list's rows, the grid's cells, the file-name box's text).
  void CopyClick();
  /// "Open": runs LoadWorkbook and reports what it throws in the error box.
  void btnConvertClick();
  /// The open flow: resets grid and tabs; hides the grid and stops when the
  /// name is empty or names no file; else loads the file (record list and
  /// model), adds a tab per sheet and selects the first. Throws what the
  /// reader throws, and kMsgTabIndexOutOfBounds when no sheet was read.
  void LoadWorkbook();
  /// Adds a tab per sheet of the workbook and selects the first; throws
  /// kMsgTabIndexOutOfBounds when there is none.
  void ShowSheets();
  /// Selects sheet tab `index` and fills the grid from that sheet; throws
  /// kMsgTabIndexOutOfBounds for a tab that does not exist.
  void SelectSheetTab(int index);
  /// Fills the grid from sheet `index` of the workbook.
  void FillPreview(int index);
  /// The note above the grid, for the rows the grid shows now.
  void UpdatePreviewNote();

  TMSExcel& Excel() { return *FExcel; }
  TOpenedWorkbook& Workbook() { return *FWorkbook; }
  TRecordListModel& Records() { return *FRecords; }

  TErrorPresenter ErrorPresenter;
  /// What the error box being shown adds under its text: the rest of the
  /// status bar's message (where reading stopped), and its details (the
  /// record reading stopped at, the reader's message). Empty for an error
  /// that has none; the default presenter shows both.
  const QString& ErrorInformation() const { return FErrorInformation; }
  const QString& ErrorDetails() const { return FErrorDetails; }
  TPasswordPrompter PasswordPrompter;
  /// Milliseconds on a monotonic clock, for the load time in the status
  /// bar; tests replace it.
  std::function<qint64()> Clock;

  // Menus and their commands.
  QMenu* mnuFile;
  QMenu* mnuRecent;
  QMenu* mnuEdit;
  QMenu* mnuView;
  QMenu* mnuHelp;
  QAction* actOpen;
  QAction* actClearRecent;
  QAction* actExportCsv;
  /// File > Compare With...: the open workbook beside another (TfrmCompare).
  QAction* actCompare;
  QAction* actQuit;
  QAction* actCopy;
  QAction* actViewPreview;
  QAction* actViewRecords;
  QAction* actViewMacros;
  QAction* actBack;
  QAction* actShowRecord;
  /// The dump shows a decrypted workbook's bytes as the file stores them.
  QAction* actViewStoredBytes;
  /// The preview's formula cells show their formulas (checkable, Ctrl+`).
  QAction* actShowFormulas;
  /// The preview shows every row of the sheet, not only the first 100
  /// (checkable, kept in the settings).
  QAction* actShowAllRows;
  /// The next and the previous sheet of the preview (Ctrl+PgDn, Ctrl+PgUp).
  QAction* actNextSheet;
  QAction* actPreviousSheet;
  QAction* actAbout;
  // The status bar: the file, a message (a failure, a notice), then what
  // the load found.
  QLabel* lblStatusFile;
  QLabel* lblStatusMessage;
  QLabel* lblStatusVersion;
  QLabel* lblStatusEncryption;
  QLabel* lblStatusRecords;
  QLabel* lblStatusSheets;
  QLabel* lblStatusStream;
  QLabel* lblStatusTime;
  /// "macros" when the workbook holds VBA modules or macro sheets.
  QLabel* lblStatusMacros;

  // The controls, named after their role; tests reach them directly.
  QToolBar* cbMain;
  QToolBar* tbMain;
  QLineEdit* edXLSFileName;
  QPushButton* btnXLSFileName;
  QAction* btnConvert;
  QAction* btnAbout;
  QAction* btnClose;
  QLabel* imgLogo;
  TLinkLabel* lblTarvex;
  QTabWidget* pcXLS;
  QWidget* tsPreview;
  TPreviewGrid* sgXLS;
  /// Above the grid: which of the sheet's rows it shows.
  QLabel* lblPreviewRows;
  QTabBar* tsSheets;
  QWidget* tsRecord;
  TRecordListView* lvRecords;
  /// Filter, find and go to, above the record list.
  TRecordNavigator* Navigator;
  QSplitter* SplitterHex;
  THexDump* Dump;
  /// Between the list and dump (left) and the Fields pane (right).
  QSplitter* SplitterFields;
  TRecordInspector* Fields;
  /// Between the Fields pane (top) and the navigation pane (bottom): the
  /// outline, types, problems and container.
  QSplitter* SplitterPane;
  TNavigatorPane* Pane;
  /// The frame round the records page's pane that has the focus.
  TPaneFocusFrame* FocusFrame;
  /// The Macros tab: what the workbook can run, hides and reaches out to.
  TMacrosPane* Macros;

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

private:
  class TDetachedChangeHandler;

  void BuildMenus();
  void BuildStatusBar();
  void RestoreSettings();
  void SaveSettings();
  void AddRecentFile(const QString& fileName);
  void UpdateRecentMenu();
  /// The status bar after an open: the file, what the reader found, and
  /// `message` (empty, or the failure's text).
  void ShowLoadStatus(const QString& fileName, const QString& message);
  void ShowStatusMessage(const QString& fileName, const QString& message);
  void BuildToolStrip();
  void BuildPages(QWidget* client);
  void AttachRecordsChange();
  /// Filter, find and go to: their menu entries, status and matches.
  void ConnectNavigator();
  /// Hands the loaded stream to the navigation pane, which reads it when shown.
  void FeedNavigatorPane();
  /// The same for the Macros tab, and the status bar's "macros" from what
  /// the records show.
  void FeedMacrosPane();
  /// The Macros tab's find takes Ctrl+F and F3 while it is shown, the
  /// record list's otherwise.
  void PageChanged(int index);
  void DetachRecordsChange();
  /// The error box: `message` as its text (a closing "." added), with
  /// `information` and `details` under it when they are not empty.
  void ShowError(const std::string& message, const QString& information = {}, const QString& details = {});
  /// The status bar's message, whole in its tooltip however much of it the
  /// bar has room for.
  void SetStatusMessage(const QString& text);
  /// Where reading stopped and the last record read, for the error box.
  QString StoppedDetails(const std::string& message) const;
  /// Shows sheet `index` of the preview, keeping within the sheets.
  void StepSheet(int step);
  /// Tab goes strip, list, dump, Fields pane, navigation pane.
  void SetRecordsTabOrder();
  void btnXLSFileNameClick();
  void btnAboutClick();
  void tsSheetsChange(int index);
  void lvRecordsChange(int row);
  /// The preview's current cell: the record that wrote it, on the records
  /// page.
  void ShowRecordOfCell();
  /// A cell record was selected: its sheet and cell in the preview.
  void ShowCellInPreview(int sheet, int row, int column);
  void FormResize();
  /// The first-run splits of the records page: the list's columns and a
  /// dump of 16 bytes a line beside the Fields pane, and the Fields pane's
  /// rows over the navigation pane. False while the page is too small.
  bool SizeFieldsSplitter();
  bool SizePaneSplitter();

  std::unique_ptr<TMSExcel> FExcel;
  /// The last load as every pane reads it (records, directory, formulas,
  /// descriptions, structure check); lists the reader's records.
  std::unique_ptr<TOpenedWorkbook> FWorkbook;
  TRecordListModel* FRecords;
  /// What the record list shows of FRecords: all, or the filter's rows.
  TRecordFilterModel* FShown;
  QWidget* FClient;
  QMetaObject::Connection FRecordsChange;
  TViewerSettings FSettings;
  /// The file of the last open that found one (File > Open starts there).
  QString FCurrentFile;
  /// The workbook stream as stored, when the last load decrypted it.
  TSharedBytes FStoredStream;
  /// True from the start of the reader's load until it returns: a failure
  /// caught then stopped the reading.
  bool FReading = false;
  QString FErrorInformation;
  QString FErrorDetails;
  qint64 FLoadMilliseconds = 0;
  /// Time the password dialog was open during the current load: not
  /// reading, so not counted in the load time.
  qint64 FPromptMilliseconds = 0;
  bool FPlaced = false;
  bool FDumpSized = false;
  bool FFieldsSized = false;
  bool FPaneSized = false;
};
