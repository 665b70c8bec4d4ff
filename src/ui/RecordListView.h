#pragma once

#include <QAbstractItemView>

class QHeaderView;

/// The record list's view: a table of rows of one height, with a header for
/// its columns only. A table view keeps an entry per row in its row header,
/// made on every reset and walked on the next layout; with a row per record
/// that is millions of entries on a big workbook. Here a row's place is its
/// number times the height, so nothing in the view grows with the rows.
///
/// A model reset brings the view back to the top left. Ctrl+C copies the
/// selected rows.
class TRecordListView : public QAbstractItemView {
  Q_OBJECT

public:
  explicit TRecordListView(QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;

  QHeaderView* horizontalHeader() const { return FHeader; }
  void SetRowHeight(int height);
  int columnWidth(int column) const;
  void setColumnWidth(int column, int width);
  /// Makes row `row` the current, selected row and brings it into view.
  void selectRow(int row);
  /// The row at viewport height `y`, or -1 below the last row.
  int rowAt(int y) const;
  /// The first row the viewport shows.
  int FirstVisibleRow() const;
  /// The column whose texts are the row numbers, ascending (-1: none): 1 to
  /// the row count, or a filtered list's own numbers. It is sized to the
  /// widest of them on every reset, and widened as rows are added, so no
  /// number is ever cut.
  void SetNumberColumn(int column);

  /// The selected rows as tab-separated lines, headed by the column
  /// captions; every line ends in "\n". Empty when no row is selected.
  QString SelectedRowsText() const;
  /// Puts SelectedRowsText() on the clipboard when a row is selected.
  void Copy() const;

  void reset() override;

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;

protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override;
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex& index) const override;
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;
  void updateGeometries() override;
  void paintEvent(QPaintEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
  int RowCount() const;
  int ColumnCount() const;
  /// Rows the viewport shows whole (at least 1).
  int RowsPerPage() const;
  /// Width the number column needs for `rows` rows.
  int NumberColumnWidth(int rows) const;

  QHeaderView* FHeader;
  int FRowHeight;
  int FNumberColumn = -1;
};
