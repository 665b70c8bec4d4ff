#pragma once

#include <QAbstractItemView>

class QHeaderView;

/// The record list's view: a table of rows of one height, with a header for
/// its columns only. A table view keeps an entry per row in its row header,
/// made on every reset and walked on the next layout; with a row per record
/// that is millions of entries on a big workbook. Here a row's place is its
/// number times the height, so nothing in the view grows with the rows.
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

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;

protected:
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

  QHeaderView* FHeader;
  int FRowHeight;
};
