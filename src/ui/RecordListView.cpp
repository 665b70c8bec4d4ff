#include "ui/RecordListView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <utility>
#include <vector>

TRecordListView::TRecordListView(QWidget* parent)
    : QAbstractItemView(parent), FHeader(new QHeaderView(Qt::Horizontal, this)),
      FRowHeight(std::max(1, fontMetrics().height() + 4))
{
  FHeader->setSectionsClickable(false);
  FHeader->setHighlightSections(false);
  connect(FHeader, &QHeaderView::sectionResized, this, [this] {
    updateGeometries();
    viewport()->update();
  });
  setHorizontalScrollMode(ScrollPerPixel);
  setVerticalScrollMode(ScrollPerItem);
}

void TRecordListView::setModel(QAbstractItemModel* model)
{
  QAbstractItemView::setModel(model);
  // The header shows the model's column captions; it highlights nothing,
  // so it needs no selection of its own.
  FHeader->setModel(model);
}

void TRecordListView::SetRowHeight(int height)
{
  FRowHeight = std::max(1, height);
  updateGeometries();
  viewport()->update();
}

int TRecordListView::columnWidth(int column) const
{
  return FHeader->sectionSize(column);
}

void TRecordListView::setColumnWidth(int column, int width)
{
  FHeader->resizeSection(column, width);
}

void TRecordListView::selectRow(int row)
{
  if (row < 0 || row >= RowCount())
    return;
  const QModelIndex index = model()->index(row, 0, rootIndex());
  // With whole rows selected one at a time, making a row current selects it.
  setCurrentIndex(index);
  scrollTo(index);
}

int TRecordListView::RowCount() const
{
  return model() ? model()->rowCount(rootIndex()) : 0;
}

int TRecordListView::ColumnCount() const
{
  return model() ? model()->columnCount(rootIndex()) : 0;
}

int TRecordListView::RowsPerPage() const
{
  return std::max(1, viewport()->height() / FRowHeight);
}

int TRecordListView::FirstVisibleRow() const
{
  return verticalScrollBar()->value();
}

int TRecordListView::rowAt(int y) const
{
  if (y < 0)
    return -1;
  const qint64 row = static_cast<qint64>(FirstVisibleRow()) + y / FRowHeight;
  return row < RowCount() ? static_cast<int>(row) : -1;
}

QRect TRecordListView::visualRect(const QModelIndex& index) const
{
  if (!index.isValid() || index.model() != model() || FHeader->isSectionHidden(index.column()))
    return {};
  const qint64 y = (static_cast<qint64>(index.row()) - FirstVisibleRow()) * FRowHeight;
  // Far outside the viewport: a rectangle Qt's int geometry can hold.
  const int clamped = static_cast<int>(std::clamp<qint64>(y, -FRowHeight - 1, viewport()->height() + 1));
  return {FHeader->sectionViewportPosition(index.column()), clamped,
          FHeader->sectionSize(index.column()), FRowHeight};
}

void TRecordListView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
  if (!index.isValid() || index.model() != model())
    return;
  const int row = index.row();
  const int page = RowsPerPage();
  // A reset (a filter set or cleared) lays the view out only on the next
  // event loop turn; until then the scroll bar holds the old row count and
  // would clamp the row asked for to the old list's end.
  if (const int last = std::max(0, RowCount() - page); verticalScrollBar()->maximum() != last)
    verticalScrollBar()->setRange(0, last);
  const int first = FirstVisibleRow();
  int target = first;
  switch (hint) {
  case PositionAtTop: target = row; break;
  case PositionAtBottom: target = row - page + 1; break;
  case PositionAtCenter: target = row - page / 2; break;
  case EnsureVisible:
    if (row < first)
      target = row;
    else if (row >= first + page)
      target = row - page + 1;
    break;
  }
  verticalScrollBar()->setValue(target);
  // The cell's column too, as far as the viewport's width allows.
  const int left = FHeader->sectionPosition(index.column());
  const int right = left + FHeader->sectionSize(index.column());
  const int shown = horizontalScrollBar()->value();
  const int width = viewport()->width();
  if (left < shown)
    horizontalScrollBar()->setValue(left);
  else if (right > shown + width)
    horizontalScrollBar()->setValue(std::min(left, right - width));
}

QModelIndex TRecordListView::indexAt(const QPoint& point) const
{
  const int row = rowAt(point.y());
  const int column = FHeader->logicalIndexAt(point.x());
  if (row < 0 || column < 0)
    return {};
  return model()->index(row, column, rootIndex());
}

QModelIndex TRecordListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
  const int rows = RowCount();
  const int columns = ColumnCount();
  if (rows == 0 || columns == 0)
    return {};
  const QModelIndex current = currentIndex();
  qint64 row = current.isValid() ? current.row() : -1;
  int column = current.isValid() ? current.column() : 0;
  switch (cursorAction) {
  case MoveUp:
  case MovePrevious: row = row < 0 ? 0 : row - 1; break;
  case MoveDown:
  case MoveNext: row = row + 1; break;
  case MovePageUp: row = row < 0 ? 0 : row - RowsPerPage(); break;
  case MovePageDown: row = std::max<qint64>(row, 0) + RowsPerPage(); break;
  case MoveHome: row = 0; break;
  case MoveEnd: row = rows - 1; break;
  case MoveLeft: column = std::max(0, column - 1); break;
  case MoveRight: column = std::min(columns - 1, column + 1); break;
  }
  row = std::clamp<qint64>(row, 0, rows - 1);
  return model()->index(static_cast<int>(row), column, rootIndex());
}

int TRecordListView::horizontalOffset() const
{
  return horizontalScrollBar()->value();
}

int TRecordListView::verticalOffset() const
{
  return FirstVisibleRow() * FRowHeight;
}

bool TRecordListView::isIndexHidden(const QModelIndex& index) const
{
  return FHeader->isSectionHidden(index.column());
}

void TRecordListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
  if (!selectionModel())
    return;
  const QRect area = rect.normalized();
  const int rows = RowCount();
  const int columns = ColumnCount();
  const qint64 first = FirstVisibleRow() + static_cast<qint64>(std::max(0, area.top()) / FRowHeight);
  const qint64 last = std::min<qint64>(rows - 1, FirstVisibleRow() + static_cast<qint64>(
                                                                       std::max(0, area.bottom()) / FRowHeight));
  if (columns == 0 || first > last) {
    selectionModel()->select(QItemSelection(), command);
    return;
  }
  const QItemSelection selection(model()->index(static_cast<int>(first), 0, rootIndex()),
                                 model()->index(static_cast<int>(last), columns - 1, rootIndex()));
  selectionModel()->select(selection, command);
}

QRegion TRecordListView::visualRegionForSelection(const QItemSelection& selection) const
{
  QRegion region;
  const int first = FirstVisibleRow();
  const int last = first + viewport()->height() / FRowHeight + 1;
  for (const QItemSelectionRange& range : selection) {
    if (!range.isValid() || range.model() != model())
      continue;
    const int top = std::max(range.top(), first);
    const int bottom = std::min(range.bottom(), last);
    if (top > bottom)
      continue;
    const int left = FHeader->sectionViewportPosition(range.left());
    const int right =
        FHeader->sectionViewportPosition(range.right()) + FHeader->sectionSize(range.right());
    region += QRect(left, (top - first) * FRowHeight, right - left, (bottom - top + 1) * FRowHeight);
  }
  return region;
}

void TRecordListView::updateGeometries()
{
  const int headerHeight = FHeader->isHidden() ? 0 : FHeader->sizeHint().height();
  if (viewportMargins().top() != headerHeight)
    setViewportMargins(0, headerHeight, 0, 0);
  const QRect area = viewport()->geometry();
  FHeader->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);

  const int page = RowsPerPage();
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setPageStep(page);
  verticalScrollBar()->setRange(0, std::max(0, RowCount() - page));
  horizontalScrollBar()->setSingleStep(std::max(1, FRowHeight));
  horizontalScrollBar()->setPageStep(area.width());
  horizontalScrollBar()->setRange(0, std::max(0, FHeader->length() - area.width()));
  FHeader->setOffset(horizontalScrollBar()->value());
  QAbstractItemView::updateGeometries();
}

void TRecordListView::paintEvent(QPaintEvent* event)
{
  const int rows = RowCount();
  const int columns = ColumnCount();
  if (rows == 0 || columns == 0)
    return;
  QPainter painter(viewport());
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QRect area = event->rect();
  const int first = FirstVisibleRow();
  const int from = first + std::max(0, area.top() / FRowHeight);
  const int to = static_cast<int>(
      std::min<qint64>(rows - 1, first + static_cast<qint64>(std::max(0, area.bottom()) / FRowHeight)));
  const QModelIndex current = currentIndex();
  const bool focused = hasFocus();
  const QItemSelectionModel* selection = selectionModel();
  // Only the rows in the area to paint: the cost follows the viewport.
  for (int row = from; row <= to; ++row) {
    const int y = (row - first) * FRowHeight;
    for (int column = 0; column < columns; ++column) {
      if (FHeader->isSectionHidden(column))
        continue;
      const QRect rect(FHeader->sectionViewportPosition(column), y, FHeader->sectionSize(column),
                       FRowHeight);
      if (!rect.intersects(area))
        continue;
      const QModelIndex index = model()->index(row, column, rootIndex());
      QStyleOptionViewItem cell = option;
      cell.rect = rect;
      if (selection && selection->isSelected(index))
        cell.state |= QStyle::State_Selected;
      if (focused && index == current)
        cell.state |= QStyle::State_HasFocus;
      if (alternatingRowColors() && (row & 1))
        cell.features |= QStyleOptionViewItem::Alternate;
      itemDelegateForIndex(index)->paint(&painter, cell, index);
    }
  }
}

void TRecordListView::scrollContentsBy(int dx, int)
{
  if (dx != 0)
    FHeader->setOffset(horizontalScrollBar()->value());
  viewport()->update();
}

void TRecordListView::SetNumberColumn(int column)
{
  FNumberColumn = column;
  if (column >= 0)
    setColumnWidth(column, NumberColumnWidth(RowCount()));
}

int TRecordListView::NumberColumnWidth(int rows) const
{
  // The widest digit times the digits of the last number, and the margins
  // the item's text keeps on either side.
  const QFontMetrics metrics(font());
  int widest = 0;
  for (char digit = '0'; digit <= '9'; ++digit)
    widest = std::max(widest, metrics.horizontalAdvance(QLatin1Char(digit)));
  int digits = 1;
  for (int n = rows; n >= 10; n /= 10)
    ++digits;
  // A filtered list numbers its rows by their records: the last row's
  // number is the largest.
  if (model() != nullptr && rows > 0 && rows == RowCount())
    digits = std::max<int>(digits, model()->index(rows - 1, FNumberColumn, rootIndex()).data().toString().size());
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  return std::max(digits * widest + 2 * margin + 2, FHeader->sectionSizeHint(FNumberColumn));
}

void TRecordListView::reset()
{
  QAbstractItemView::reset();
  // A new list starts at its top left.
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  if (FNumberColumn >= 0)
    setColumnWidth(FNumberColumn, NumberColumnWidth(RowCount()));
}

QString TRecordListView::SelectedRowsText() const
{
  if (!selectionModel() || !model())
    return {};
  // The selection as row spans in order, overlaps merged: a range per
  // selected block, not an index per cell.
  std::vector<std::pair<int, int>> spans;
  for (const QItemSelectionRange& range : selectionModel()->selection())
    if (range.isValid() && range.model() == model())
      spans.emplace_back(range.top(), range.bottom());
  if (spans.empty())
    return {};
  std::sort(spans.begin(), spans.end());
  std::vector<int> columns;
  for (int position = 0; position < ColumnCount(); ++position) {
    const int column = FHeader->logicalIndex(position);
    if (column >= 0 && !FHeader->isSectionHidden(column))
      columns.push_back(column);
  }
  QString text;
  const auto line = [&](auto&& cell) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i != 0)
        text += QLatin1Char('\t');
      text += cell(columns[i]);
    }
    text += QLatin1Char('\n');
  };
  line([&](int column) { return model()->headerData(column, Qt::Horizontal).toString(); });
  int next = 0;
  for (const auto& [top, bottom] : spans) {
    for (int row = std::max(top, next); row <= bottom; ++row)
      line([&](int column) { return model()->index(row, column, rootIndex()).data().toString(); });
    next = std::max(next, bottom + 1);
  }
  return text;
}

void TRecordListView::Copy() const
{
  const QString text = SelectedRowsText();
  if (!text.isEmpty())
    QApplication::clipboard()->setText(text);
}

bool TRecordListView::event(QEvent* e)
{
  // Ctrl+C is the list's while it has the focus, before any shortcut.
  if (e->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(e)->matches(QKeySequence::Copy)) {
    e->accept();
    return true;
  }
  return QAbstractItemView::event(e);
}

void TRecordListView::keyPressEvent(QKeyEvent* e)
{
  if (e->matches(QKeySequence::Copy)) {
    e->accept();
    Copy();
    return;
  }
  QAbstractItemView::keyPressEvent(e);
}

void TRecordListView::rowsInserted(const QModelIndex& parent, int start, int end)
{
  QAbstractItemView::rowsInserted(parent, start, end);
  if (FNumberColumn >= 0) {
    const int width = NumberColumnWidth(RowCount());
    if (width > columnWidth(FNumberColumn))
      setColumnWidth(FNumberColumn, width);
  }
  updateGeometries();
  viewport()->update();
}

void TRecordListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
  QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
  // The rows go after this call: the scroll range follows once they have.
  QMetaObject::invokeMethod(
      this,
      [this] {
        updateGeometries();
        viewport()->update();
      },
      Qt::QueuedConnection);
}
