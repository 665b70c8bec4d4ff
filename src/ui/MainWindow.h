#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QItemSelection;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTabBar;
class QTabWidget;
class QToolBar;
class THexDump;
class TLinkLabel;
class TMSExcel;
class TPreviewGrid;
class TRecordListModel;
class TRecordListView;

/// Shows an error to the user: caption and the finished text (closing "."
/// already applied). The default is QMessageBox::critical; tests replace it.
using TErrorPresenter =
    std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

/// The main window: a file-name box with browse, "Open", "About" and "Close"
/// tool buttons, the logo and home-page link, and two tabs: "Preview" (a grid
/// of one sheet with a tab per sheet) and "Original records" (every record of
/// the workbook stream, with a hex dump of the selected one).
///
/// Owns the reader; the record list and the hex dump are its children.
class TfrmMain : public QMainWindow {
  Q_OBJECT

public:
  /// Client size of the window at start.
  static constexpr int kClientWidth = 582;
  static constexpr int kClientHeight = 358;
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
  /// "Open": runs LoadWorkbook and reports what it throws in the error box.
  void btnConvertClick();
  /// The open flow: resets grid and tabs; hides the grid and stops when the
  /// name is empty or names no file; else loads the file (record list and
  /// model), adds a tab per sheet and selects the first. Throws what the
  /// reader throws, and kMsgTabIndexOutOfBounds when no sheet was read.
  void LoadWorkbook();
  /// Selects sheet tab `index` and fills the grid from that sheet; throws
  /// kMsgTabIndexOutOfBounds for a tab that does not exist.
  void SelectSheetTab(int index);
  /// Fills the grid from sheet `index` of the workbook.
  void FillPreview(int index);

  TMSExcel& Excel() { return *FExcel; }
  TRecordListModel& Records() { return *FRecords; }

  TErrorPresenter ErrorPresenter;

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
  QTabBar* tsSheets;
  QWidget* tsRecord;
  TRecordListView* lvRecords;
  QSplitter* SplitterHex;
  THexDump* Dump;

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void showEvent(QShowEvent* e) override;

private:
  class TDetachedChangeHandler;

  void BuildToolStrip();
  void BuildPages(QWidget* client);
  void AttachRecordsChange();
  void DetachRecordsChange();
  void ShowError(const std::string& message);
  void btnXLSFileNameClick();
  void btnAboutClick();
  void tsSheetsChange(int index);
  void lvRecordsChange(const QItemSelection& selected);
  void FormResize();

  std::unique_ptr<TMSExcel> FExcel;
  TRecordListModel* FRecords;
  QWidget* FClient;
  QMetaObject::Connection FRecordsChange;
  bool FPlaced = false;
  bool FDumpSized = false;
};
