#include "ui/CompareListModel.h"

#include "ui/RecordListModel.h"
#include "xls/records/RecordTable.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cstdlib>

namespace {

// Marks stay clear of the strip's ends, where the scroll bar has its arrows.
constexpr int kStripMargin = 14;
constexpr int kMarkHeight = 3;
constexpr int kSwatchSize = 10;

}  // namespace

QColor DiffTint(TDiffOp op)
{
  switch (op) {
  case TDiffOp::doAdded:
    return QColor(0xC8, 0xF0, 0xC8);
  case TDiffOp::doRemoved:
    return QColor(0xF8, 0xCC, 0xCC);
  default:
    return QColor(0xFF, 0xEC, 0xA8);
  }
}

void TCompareRows::Set(const TWorkbookDiff* diff, const TListedRecords* a, const TListedRecords* b)
{
  FDiff = diff;
  FA = a;
  FB = b;
  FShown.reset();
  UpdateMarks();
}

void TCompareRows::SetShown(std::optional<std::vector<std::uint32_t>> rows)
{
  FShown = std::move(rows);
  UpdateMarks();
}

int TCompareRows::Count() const
{
  if (!FDiff)
    return 0;
  return static_cast<int>(FShown ? FShown->size() : FDiff->Rows.size());
}

std::uint32_t TCompareRows::RowIndex(int row) const
{
  return FShown ? (*FShown)[static_cast<std::size_t>(row)] : static_cast<std::uint32_t>(row);
}

const TDiffRow& TCompareRows::Row(int row) const
{
  return FDiff->Rows[RowIndex(row)];
}

int TCompareRows::RowOfIndex(std::uint32_t index) const
{
  if (!FDiff || index >= FDiff->Rows.size())
    return -1;
  if (!FShown)
    return static_cast<int>(index);
  const auto at = std::lower_bound(FShown->begin(), FShown->end(), index);
  return at != FShown->end() && *at == index ? static_cast<int>(at - FShown->begin()) : -1;
}

void TCompareRows::UpdateMarks()
{
  FMarks.clear();
  std::int32_t last = -1;
  const int count = Count();
  for (int row = 0; row < count; ++row) {
    const std::int32_t difference = Row(row).Difference;
    // A record and its CONTINUE records are one difference, on rows after
    // one another.
    if (difference >= 0 && difference != last)
      FMarks.push_back(row);
    last = difference;
  }
}

int TCompareRows::NextMark(int row, bool forward) const
{
  if (forward) {
    const auto at = std::upper_bound(FMarks.begin(), FMarks.end(), row);
    return at == FMarks.end() ? -1 : *at;
  }
  // From inside a difference, back to the one before it.
  int start = row;
  if (row >= 0 && row < Count() && Row(row).Difference >= 0)
    while (start > 0 && Row(start - 1).Difference == Row(row).Difference)
      --start;
  const auto at = std::lower_bound(FMarks.begin(), FMarks.end(), start);
  return at == FMarks.begin() ? -1 : *(at - 1);
}

TCompareListModel::TCompareListModel(const TCompareRows& rows, bool sideB, QObject* parent)
    : QAbstractTableModel(parent), FRows(rows), FSideB(sideB)
{
  for (const TDiffOp op : {TDiffOp::doChanged, TDiffOp::doAdded, TDiffOp::doRemoved}) {
    QPixmap swatch(kSwatchSize, kSwatchSize);
    swatch.fill(DiffTint(op).darker(140));
    QIcon& icon = FSwatches[static_cast<std::size_t>(op)];
    icon.addPixmap(swatch, QIcon::Normal);
    icon.addPixmap(swatch, QIcon::Selected);
  }
}

void TCompareListModel::Reload()
{
  beginResetModel();
  endResetModel();
}

int TCompareListModel::RecordOfRow(int row) const
{
  if (row < 0 || row >= FRows.Count())
    return -1;
  const TDiffRow& r = FRows.Row(row);
  const std::uint32_t record = FSideB ? r.B : r.A;
  return record == kNoDiffRecord ? -1 : static_cast<int>(record);
}

int TCompareListModel::rowCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : FRows.Count();
}

int TCompareListModel::columnCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : TRecordListModel::rcColumnCount;
}

QVariant TCompareListModel::data(const QModelIndex& index, int role) const
{
  if (!index.isValid() || index.row() >= FRows.Count() || index.column() >= TRecordListModel::rcColumnCount)
    return {};
  if (role == Qt::BackgroundRole) {
    const std::int32_t difference = FRows.Row(index.row()).Difference;
    if (difference < 0)
      return {};
    return DiffTint(FRows.Diff()->Differences[static_cast<std::size_t>(difference)].Op);
  }
  if (role == Qt::DecorationRole) {
    // A swatch beside the name: the kind stays in sight on the selected row,
    // whose highlight hides the tint.
    const std::int32_t difference = FRows.Row(index.row()).Difference;
    if (difference < 0 || index.column() != TRecordListModel::rcName)
      return {};
    return FSwatches[static_cast<std::size_t>(FRows.Diff()->Differences[static_cast<std::size_t>(difference)].Op)];
  }
  if (role == Qt::TextAlignmentRole)
    return TRecordListModel::ColumnAlignment(index.column());
  if (role != Qt::DisplayRole)
    return {};
  const int record = RecordOfRow(index.row());
  if (record < 0)
    return QString();
  return TRecordListModel::RowText(FRows.Side(FSideB)->Row(static_cast<std::size_t>(record)), record + 1,
                                   index.column());
}

QVariant TCompareListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
  if (orientation != Qt::Horizontal || section < 0 || section >= TRecordListModel::rcColumnCount)
    return QAbstractTableModel::headerData(section, orientation, role);
  return TRecordListModel::ColumnHeader(section, role);
}

TDiffStrip::TDiffStrip(const TCompareRows& rows, QWidget* parent) : QWidget(parent), FRows(rows)
{
  setFixedWidth(kWidth);
  setCursor(Qt::PointingHandCursor);
}

int TDiffStrip::MarkY(int row) const
{
  const int count = FRows.Count();
  const int usable = std::max(1, height() - 2 * kStripMargin - kMarkHeight);
  if (count <= 1)
    return kStripMargin;
  return kStripMargin + static_cast<int>(static_cast<qint64>(row) * usable / (count - 1));
}

int TDiffStrip::MarkNear(int y) const
{
  const std::vector<int>& marks = FRows.Marks();
  int best = -1;
  int distance = 0;
  for (const int row : marks) {
    const int d = std::abs(MarkY(row) + kMarkHeight / 2 - y);
    if (best < 0 || d < distance) {
      best = row;
      distance = d;
    }
  }
  return best;
}

void TDiffStrip::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  const TWorkbookDiff* diff = FRows.Diff();
  if (!diff)
    return;
  // Marks of a big comparison share pixel rows; the darker tint shows where
  // the strip has one.
  for (const int row : FRows.Marks()) {
    const std::int32_t difference = FRows.Row(row).Difference;
    const QColor tint = DiffTint(diff->Differences[static_cast<std::size_t>(difference)].Op).darker(150);
    painter.fillRect(QRect(1, MarkY(row), width() - 2, kMarkHeight), tint);
  }
}

void TDiffStrip::mousePressEvent(QMouseEvent* e)
{
  if (e->button() != Qt::LeftButton)
    return;
  const int row = MarkNear(e->position().toPoint().y());
  if (row >= 0 && OnGoToRow)
    OnGoToRow(*this, row);
}
