#include "ui/PreviewGrid.h"

#include <QFontMetrics>
#include <QHeaderView>

#include <algorithm>

TPreviewModel::TPreviewModel(QObject* parent) : QAbstractTableModel(parent) {}

void TPreviewModel::Reset()
{
  beginResetModel();
  FRows = 1;
  FCols = 1;
  FValueRows = 0;
  FLabelled = false;
  FValues.clear();
  endResetModel();
}

void TPreviewModel::Fill(const TSpreadSheet& sheet)
{
  const TSpreadSheetCells& cells = sheet.Cells;
  beginResetModel();
  FRows = std::max(cells.RowCount, 0);
  FCols = std::max(cells.ColCount, 0);
  FValueRows = std::min(FRows, kPreviewRowLimit);
  FLabelled = true;
  FValues.clear();
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

int TPreviewModel::rowCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : FRows;
}

int TPreviewModel::columnCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : FCols;
}

QVariant TPreviewModel::data(const QModelIndex& index, int role) const
{
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= FRows ||
      index.column() >= FCols)
    return {};
  if (index.row() >= FValueRows)
    return QString();
  const auto it = FValues.find(static_cast<std::size_t>(index.row()) * static_cast<std::size_t>(FCols) +
                               static_cast<std::size_t>(index.column()));
  return it == FValues.end() ? QString() : it->second;
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
  // The layout's first column is 59 pixels wide until a fill widens it.
  setColumnWidth(0, 59);
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

void TPreviewGrid::FillPreview(const TSpreadSheet& sheet)
{
  KeepingWidths([&] { FModel->Fill(sheet); });
  verticalHeader()->setFixedWidth(kHeaderColumnWidth);
  const int w = QFontMetrics(font()).horizontalAdvance(QLatin1Char('W'));
  const int columns = FModel->columnCount();
  const int entries = static_cast<int>(sheet.ColumnWidths.size());
  for (int i = 0; i < columns && i < entries; ++i) {
    const int chars = sheet.ColumnWidths[static_cast<std::size_t>(i)];
    if (chars > 0 && chars < kMaxWidthChars)
      setColumnWidth(i, chars * w);
  }
}
