#include "ui/PreviewGrid.h"

#include "ui/UiMessages.h"

#include <QApplication>
#include <QClipboard>
#include <QColor>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int kLayoutFirstColumnWidth = 59;

// Pixels the widest number of `digits` digits and the trailing blank take in
// `metrics`, whatever digits it has.
int NumberTextWidth(const QFontMetrics& metrics, int digits)
{
  int widest = 0;
  for (char digit = '0'; digit <= '9'; ++digit)
    widest = std::max(widest, metrics.horizontalAdvance(QLatin1Char(digit)));
  return digits * widest + metrics.horizontalAdvance(QLatin1Char(' '));
}

int DigitCount(int n)
{
  int digits = 1;
  for (; n >= 10; n /= 10)
    ++digits;
  return digits;
}

}  // namespace

TPreviewModel::TPreviewModel(QObject* parent) : QAbstractTableModel(parent) {}

void TPreviewModel::Reset()
{
  beginResetModel();
  FRows = 1;
  FCols = 1;
  FSheetRows = 0;
  FSheet = nullptr;
  FValueRows = 0;
  FLabelled = false;
  FValues.clear();
  FFormulaSource = {};
  FFormulas.clear();
  FMarks.clear();
  FMarkRows = 0;
  FMarkCols = 0;
  endResetModel();
}

void TPreviewModel::Fill(const TSpreadSheet& sheet, TPreviewFormulas formulas)
{
  const TSpreadSheetCells& cells = sheet.Cells;
  beginResetModel();
  FSheet = &sheet;
  FSheetRows = std::max(cells.RowCount, 0);
  FRows = ShownRows();
  FCols = std::max(cells.ColCount, 0);
  FValueRows = std::min(FSheetRows, kPreviewRowLimit);
  FLabelled = true;
  FValues.clear();
  // Formulas are read when shown, not here: a fill costs what it did.
  FFormulaSource = std::move(formulas);
  FFormulas.clear();
  FMarks.clear();
  FMarkRows = 0;
  FMarkCols = 0;
  // Only stored cells are visited: the cost follows the cells of the first
  // rows, not the sheet's width.
  cells.ForEachRow([&](int r, const TSpreadSheetRow& row) {
    if (r >= FValueRows)
      return;
    row.Cols.ForEachCell([&](int c, const TZymCell& cell) {
      if (c < FCols)
        FValues.emplace(static_cast<std::size_t>(r) * static_cast<std::size_t>(FCols) +
                            static_cast<std::size_t>(c),
                        QString::fromStdString(CellText(cell.Value)));
    });
  });
  endResetModel();
}

int TPreviewModel::ShownRows() const
{
  return FShowAllRows ? FSheetRows : std::min(FSheetRows, kPreviewRowLimit);
}

void TPreviewModel::SetShowAllRows(bool show)
{
  if (show == FShowAllRows)
    return;
  FShowAllRows = show;
  if (FSheet == nullptr)
    return;
  const int rows = ShownRows();
  if (FMarkRows > std::min(rows, FRows)) {
    // Marked rows past the shown ones gain or lose their values.
    beginResetModel();
    FRows = rows;
    endResetModel();
    return;
  }
  // Rows come and go at the end; the texts of the first rows stay.
  if (rows > FRows) {
    beginInsertRows(QModelIndex(), FRows, rows - 1);
    FRows = rows;
    endInsertRows();
  } else if (rows < FRows) {
    beginRemoveRows(QModelIndex(), rows, FRows - 1);
    FRows = rows;
    endRemoveRows();
  }
}

int TPreviewModel::rowCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : std::max(FRows, FMarkRows);
}

int TPreviewModel::columnCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : std::max(FCols, FMarkCols);
}

void TPreviewModel::SetShowFormulas(bool show)
{
  if (show == FShowFormulas)
    return;
  FShowFormulas = show;
  if (FRows > 0 && FCols > 0)
    emit dataChanged(index(0, 0), index(FRows - 1, FCols - 1), {Qt::DisplayRole, Qt::ForegroundRole});
}

const TPreviewModel::TShownFormula& TPreviewModel::FormulaAt(std::size_t key, int row, int column) const
{
  const auto [it, added] = FFormulas.try_emplace(key);
  TShownFormula& shown = it->second;
  if (added && FFormulaSource && FFormulaSource(row, column, FFormula)) {
    shown.Present = true;
    shown.Ok = FFormula.Ok();
    shown.Text = shown.Ok ? QLatin1Char('=') + QString::fromStdString(FFormula.Text)
                          : QString::fromStdString(FFormula.Error);
  }
  return shown;
}

QVariant TPreviewModel::data(const QModelIndex& index, int role) const
{
  if (!FMarks.empty() && (role == Qt::BackgroundRole || role == Qt::ToolTipRole) && index.isValid()) {
    const auto mark = FMarks.find(MarkKey(index.row(), index.column()));
    if (mark != FMarks.end()) {
      if (role == Qt::BackgroundRole)
        return mark->second.Tint;
      const QVariant own = CellData(index, role);
      return own.isValid() ? mark->second.Note + QLatin1Char('\n') + own.toString() : QVariant(mark->second.Note);
    }
  }
  return CellData(index, role);
}

void TPreviewModel::SetMarks(std::unordered_map<std::uint64_t, TCellMark> marks)
{
  int rows = 0;
  int cols = 0;
  for (const auto& [key, mark] : marks) {
    rows = std::max(rows, static_cast<int>(key >> 32) + 1);
    cols = std::max(cols, static_cast<int>(key & 0xFFFFFFFFu) + 1);
  }
  // The grid's size changes with the marks' reach: a reset, else a repaint.
  if (std::max(rows, FRows) != rowCount() || std::max(cols, FCols) != columnCount()) {
    beginResetModel();
    FMarks = std::move(marks);
    FMarkRows = rows;
    FMarkCols = cols;
    endResetModel();
    return;
  }
  FMarks = std::move(marks);
  FMarkRows = rows;
  FMarkCols = cols;
  if (rowCount() > 0 && columnCount() > 0)
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole, Qt::ToolTipRole});
}

QVariant TPreviewModel::CellData(const QModelIndex& index, int role) const
{
  const bool display = role == Qt::DisplayRole;
  if ((!display && role != Qt::ToolTipRole && role != Qt::ForegroundRole) || !index.isValid() ||
      index.row() >= FRows || index.column() >= FCols)
    return {};
  const std::size_t key = static_cast<std::size_t>(index.row()) * static_cast<std::size_t>(FCols) +
                          static_cast<std::size_t>(index.column());
  QString value;
  if (index.row() < FValueRows) {
    const auto it = FValues.find(key);
    if (it == FValues.end())
      return display ? QVariant(QString()) : QVariant();
    value = it->second;
  } else {
    // Past the first rows (every row shown): read from the sheet when the
    // view paints the cell.
    const TZymCell* cell = FSheet ? FSheet->Cells.FindCell(index.column(), index.row()) : nullptr;
    if (cell == nullptr)
      return display ? QVariant(QString()) : QVariant();
    value = QString::fromStdString(CellText(cell->Value));
  }
  // Only a cell the view asks for a formula's text, tooltip or colour of
  // has its formula read.
  if (display && !FShowFormulas)
    return value;
  if (role == Qt::ForegroundRole && !FShowFormulas)
    return {};
  const TShownFormula& formula = FormulaAt(key, index.row(), index.column());
  if (!formula.Present)
    return display ? QVariant(value) : QVariant();
  switch (role) {
  case Qt::DisplayRole:
    return formula.Ok ? formula.Text : value;
  case Qt::ForegroundRole:
    return formula.Ok ? QVariant() : QVariant(QColor(kFormulaErrorColour));
  default:
    return (formula.Ok ? formula.Text : QString::fromLatin1(kTipFormulaError) + formula.Text) +
           QLatin1Char('\n') + QString::fromLatin1(kTipFormulaValue) + value;
  }
}

QVariant TPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
  if (section < 0)
    return {};
  if (role == Qt::TextAlignmentRole)
    return orientation == Qt::Horizontal ? int(Qt::AlignCenter)
                                         : int(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole)
    return {};
  if (!FLabelled)
    return QString();
  if (orientation == Qt::Horizontal)
    return QString::fromStdString(ColumnName(section + 1));
  // The trailing blank keeps the number off the grid line.
  return QString::number(section + 1) + QLatin1Char(' ');
}

TPreviewGrid::TPreviewGrid(QWidget* parent)
    : QTableView(parent), FModel(new TPreviewModel(this))
{
  setModel(FModel);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  QHeaderView* rows = verticalHeader();
  rows->setMinimumSectionSize(1);
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(kRowHeight);
  rows->setFixedWidth(kHeaderColumnWidth);
  rows->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QHeaderView* cols = horizontalHeader();
  cols->setSectionResizeMode(QHeaderView::Interactive);
  cols->setDefaultSectionSize(kDefaultColumnWidth);
  cols->setFixedHeight(kRowHeight);
  cols->setDefaultAlignment(Qt::AlignCenter);
  QFont bold = cols->font();
  bold.setBold(true);
  cols->setFont(bold);
  // Texts are clipped at the cell's edge, on one line: an ellipsis would make
  // a cut text look like one that ends in "...".
  setTextElideMode(Qt::ElideNone);
  setWordWrap(false);
  // The layout's first column is 59 pixels wide until a fill widens it.
  setColumnWidth(0, kLayoutFirstColumnWidth);
}

template <typename Change>
void TPreviewGrid::KeepingWidths(Change change)
{
  const int before = FModel->columnCount();
  std::vector<int> widths(static_cast<std::size_t>(before));
  for (int i = 0; i < before; ++i)
    widths[static_cast<std::size_t>(i)] = columnWidth(i);
  change();
  const int after = std::min(before, FModel->columnCount());
  for (int i = 0; i < after; ++i)
    setColumnWidth(i, widths[static_cast<std::size_t>(i)]);
}

void TPreviewGrid::Reset()
{
  KeepingWidths([this] { FModel->Reset(); });
}

void TPreviewGrid::Clear()
{
  // The reset gives every column the default width again.
  FModel->Reset();
  setColumnWidth(0, kLayoutFirstColumnWidth);
  verticalHeader()->setFixedWidth(kHeaderColumnWidth);
  scrollToTop();
  horizontalScrollBar()->setValue(0);
}

void TPreviewGrid::FitRowHeader()
{
  // Right-aligned numbers lose their leading digits when cut: the column
  // takes the widest number of as many digits as the last row's.
  const QHeaderView* rows = verticalHeader();
  const int margins = 2 * rows->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, rows) + 2;
  const int needed = NumberTextWidth(QFontMetrics(rows->font()), DigitCount(FModel->rowCount())) + margins;
  verticalHeader()->setFixedWidth(std::max(kHeaderColumnWidth, needed));
}

void TPreviewGrid::SetShowFormulas(bool show)
{
  FModel->SetShowFormulas(show);
}

void TPreviewGrid::SetShowAllRows(bool show)
{
  FModel->SetShowAllRows(show);
  FitRowHeader();
}

void TPreviewGrid::SetMarks(std::unordered_map<std::uint64_t, TPreviewModel::TCellMark> marks)
{
  KeepingWidths([&] { FModel->SetMarks(std::move(marks)); });
  FitRowHeader();
}

void TPreviewGrid::FillPreview(const TSpreadSheet& sheet, TPreviewFormulas formulas)
{
  KeepingWidths([&] { FModel->Fill(sheet, std::move(formulas)); });
  FitRowHeader();
  const int w = QFontMetrics(font()).horizontalAdvance(QLatin1Char('W'));
  const int columns = FModel->columnCount();
  const int entries = static_cast<int>(sheet.ColumnWidths.size());
  for (int i = 0; i < columns && i < entries; ++i) {
    const int chars = sheet.ColumnWidths[static_cast<std::size_t>(i)];
    if (chars > 0 && chars < kMaxWidthChars)
      setColumnWidth(i, chars * w);
  }
}

QString TPreviewGrid::SelectedText() const
{
  const QItemSelection selection = selectionModel()->selection();
  if (selection.isEmpty())
    return {};
  int top = FModel->rowCount();
  int left = FModel->columnCount();
  int bottom = -1;
  int right = -1;
  for (const QItemSelectionRange& range : selection) {
    top = std::min(top, range.top());
    left = std::min(left, range.left());
    bottom = std::max(bottom, range.bottom());
    right = std::max(right, range.right());
  }
  // One rectangle needs no test per cell.
  const bool whole = selection.size() == 1;
  QString text;
  for (int row = top; row <= bottom; ++row) {
    for (int column = left; column <= right; ++column) {
      if (column > left)
        text += QLatin1Char('\t');
      const QModelIndex index = FModel->index(row, column);
      if (whole || selectionModel()->isSelected(index))
        text += FModel->data(index).toString();
    }
    text += QLatin1Char('\n');
  }
  return text;
}

void TPreviewGrid::Copy() const
{
  const QString text = SelectedText();
  if (!text.isEmpty())
    QApplication::clipboard()->setText(text);
}

bool TPreviewGrid::event(QEvent* e)
{
  // Ctrl+C is the grid's while it has the focus, before any shortcut.
  if (e->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(e)->matches(QKeySequence::Copy)) {
    e->accept();
    return true;
  }
  return QTableView::event(e);
}

void TPreviewGrid::keyPressEvent(QKeyEvent* e)
{
  if (e->matches(QKeySequence::Copy)) {
    e->accept();
    Copy();
    return;
  }
  QTableView::keyPressEvent(e);
}
