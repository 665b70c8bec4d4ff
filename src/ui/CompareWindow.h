#pragma once

#include "ui/CompareListModel.h"
#include "ui/MainWindow.h"
#include "ui/PaneWorker.h"
#include "xls/compare/CellDiff.h"
#include "xls/compare/WorkbookDiff.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSplitter;
class QTabBar;
class QTabWidget;
class QTreeWidget;
class THexDump;
class TMSExcel;
class TPreviewGrid;
class TRecordListView;

/// The compare window: two workbooks, A and B, side by side.
///
/// Above, the two record lists (the record list's columns) with their rows
/// aligned as the comparison pairs the records, an empty row where a record
/// is one side's alone, rows tinted by the kind of their difference (changed,
/// added, removed), and beside them a strip marking every difference; the
/// lists scroll and select together. F7 and Shift+F7 go to the next and the
/// previous difference; a filter (record names or codes) keeps the rows
/// whose record on either side it names, and find searches either side's
/// data. Below, the Fields tab (both values of each field that differs,
/// and each side's bytes in a dump with the differing fields as bands) and
/// the Preview tab (B's sheets, each cell that differs tinted, its value in
/// A and in B in the tooltip).
///
/// Both workbooks are read through an opened workbook of their own; the
/// comparison runs on a worker thread, so a big pair keeps the window
/// answering.
class TfrmCompare : public QMainWindow {
  Q_OBJECT

public:
  static constexpr int kDefaultWidth = 1160;
  static constexpr int kDefaultHeight = 760;

  explicit TfrmCompare(QWidget* parent = nullptr);
  ~TfrmCompare() override;

  /// Loads `a` and `b` (asking for passwords with PasswordPrompter) and
  /// starts comparing them. False, with the error box, when one cannot be
  /// read; the comparison's end is raised with OnCompared.
  bool Open(const QString& a, const QString& b);
  /// The comparison has ended (Diff and CellDifferences hold it).
  bool Ready() const { return FReady; }
  const TWorkbookDiff& Diff() const { return FDiff; }
  const std::vector<TCellDifference>& CellDifferences() const { return FCells; }
  const TCompareRows& Rows() const { return FRows; }
  TOpenedWorkbook& Workbook(bool b);
  /// How long the last Open took to load both workbooks, and the
  /// comparison after that (the status bar says both).
  qint64 LoadMilliseconds() const { return FLoadMilliseconds; }
  qint64 CompareMilliseconds() const { return FCompareMilliseconds; }

  /// The row current in the lists, or -1.
  int CurrentRow() const;
  /// Makes `row` current in both lists and shows it below.
  void SelectRow(int row);
  /// Goes to the next (or previous) difference; false when there is none.
  bool NextDifference(bool forward = true);
  /// Keeps the rows whose record on either side `text` names (record names
  /// or codes, as the record list's filter reads them), with "Only
  /// differences" the rows that differ. False for a word that names no
  /// record type.
  bool ApplyFilter(const QString& text);
  /// Searches the find box's text in either side's records from the current
  /// row on (back from it), round past the end; false when no row has it.
  bool FindNext(bool forward = true);
  /// Shows sheet `index` of B in the preview, its differing cells marked.
  void ShowSheet(int index);

  TErrorPresenter ErrorPresenter;
  TPasswordPrompter PasswordPrompter;
  /// Raised when a comparison has ended.
  std::function<void(TfrmCompare& sender)> OnCompared;

  QLabel* lblFileA;
  QLabel* lblFileB;
  QLineEdit* edFilter;
  QCheckBox* cbOnlyDifferences;
  QLineEdit* edFind;
  QComboBox* cbFindMode;
  TRecordListView* lvA;
  TRecordListView* lvB;
  TDiffStrip* Strip;
  QTabWidget* pcDetail;
  QLabel* lblRecord;
  QTreeWidget* tvFields;
  THexDump* DumpA;
  THexDump* DumpB;
  QTabBar* tsSheets;
  TPreviewGrid* sgPreview;
  QLabel* lblStatus;
  QAction* actNextDifference;
  QAction* actPreviousDifference;
  QAction* actFindNext;
  QAction* actFindPrevious;
  QAction* actClose;

private:
  struct TSide;
  struct TResult;

  void BuildWidgets();
  void BuildActions();
  TRecordListView* MakeList(TCompareListModel* model, QWidget* parent);
  bool LoadSide(TSide& side, const QString& fileName);
  void Deliver(const std::shared_ptr<TResult>& result);
  void Reload();
  void ShowRow(int row);
  void ShowDump(bool b, int record, const std::vector<TFieldSpot>& spots);
  void ShowSummary();
  void SelectField();
  void CurrentChanged(bool b, int row);
  void Say(const QString& text);

  std::unique_ptr<TSide> FA;
  std::unique_ptr<TSide> FB;
  TWorkbookDiff FDiff;
  std::vector<TCellDifference> FCells;
  TCompareRows FRows;
  TCompareListModel* FModelA;
  TCompareListModel* FModelB;
  /// The comparison: a result of an earlier one is dropped.
  TPaneWorker FWorker;
  bool FReady = false;
  QElapsedTimer FClock;
  qint64 FLoadMilliseconds = 0;
  qint64 FCompareMilliseconds = 0;
  bool FSyncing = false;
  /// The bands each dump shows for the changed fields, in the Fields
  /// tree's order (a field one side lacks has none there).
  std::vector<std::optional<std::pair<int, int>>> FFieldBytesA;
  std::vector<std::optional<std::pair<int, int>>> FFieldBytesB;
};

/// Opens a compare window of `a` and `b` over `parent` (its password and
/// error handling from `parent`'s), deleted when closed. Nothing when a
/// file cannot be read (the error box has said why).
TfrmCompare* ShowCompareWindow(TfrmMain* parent, const QString& a, const QString& b);

/// File > Compare With...: chooses the workbook to compare `current` with
/// (and first `current` itself when it is empty), then opens the compare
/// window.
void CompareWithDialog(TfrmMain& parent, const QString& current);
