#pragma once

#include "xls/compare/WorkbookDiff.h"
#include "xls/workbook/ListedRecords.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

/// The tint of a row, or a cell, a difference of kind `op` marks.
QColor DiffTint(TDiffOp op);

/// The rows a compare window shows: the comparison's side-by-side rows
/// (TWorkbookDiff::Rows), all of them or those a filter keeps, and where
/// each difference starts among them. Both lists and the strip read it.
class TCompareRows {
public:
  /// `diff` and the two record lists stay alive and unchanged while the
  /// rows refer to them (until the next Set).
  void Set(const TWorkbookDiff* diff, const TListedRecords* a, const TListedRecords* b);
  /// Shows only the rows `rows` lists (ascending indexes into the diff's
  /// rows), or every row with nothing.
  void SetShown(std::optional<std::vector<std::uint32_t>> rows);

  int Count() const;
  bool Filtered() const { return FShown.has_value(); }
  /// The diff row shown at `row` (below Count()).
  const TDiffRow& Row(int row) const;
  /// The index in the diff's rows of the row shown at `row`.
  std::uint32_t RowIndex(int row) const;
  /// The row that shows diff row `index`, or -1 when the filter hides it.
  int RowOfIndex(std::uint32_t index) const;
  /// The first shown row of each difference, ascending.
  const std::vector<int>& Marks() const { return FMarks; }
  /// The mark after `row`, or before the difference `row` is in; -1 when
  /// there is none that way.
  int NextMark(int row, bool forward) const;

  const TWorkbookDiff* Diff() const { return FDiff; }
  const TListedRecords* Side(bool b) const { return b ? FB : FA; }

private:
  void UpdateMarks();

  const TWorkbookDiff* FDiff = nullptr;
  const TListedRecords* FA = nullptr;
  const TListedRecords* FB = nullptr;
  std::optional<std::vector<std::uint32_t>> FShown;
  std::vector<int> FMarks;
};

/// One side of the compare window's lists: the record list's columns ("#",
/// "Code", "Length", "Name", "Offset", with its texts) for the records of
/// side A or B, an empty row where the record is the other side's alone,
/// each row tinted by the kind of its difference.
class TCompareListModel : public QAbstractTableModel {
  Q_OBJECT

public:
  TCompareListModel(const TCompareRows& rows, bool sideB, QObject* parent = nullptr);

  /// The rows changed: the views start again.
  void Reload();
  /// The record (index in its side's list) row `row` shows, or -1 for a gap.
  int RecordOfRow(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
  const TCompareRows& FRows;
  bool FSideB;
  /// A swatch per kind of difference (TDiffOp's order), the same when the
  /// row is selected.
  std::array<QIcon, 3> FSwatches;
};

/// The strip beside the lists' scroll bar: a mark for every difference, at
/// its place in the whole list and in its tint. A click goes to the mark
/// nearest to it.
class TDiffStrip : public QWidget {
  Q_OBJECT

public:
  static constexpr int kWidth = 12;

  explicit TDiffStrip(const TCompareRows& rows, QWidget* parent = nullptr);

  /// The strip's height for a mark of row `row`.
  int MarkY(int row) const;
  /// The mark nearest to height `y`, or -1 when there are none.
  int MarkNear(int y) const;

  QSize sizeHint() const override { return {kWidth, 100}; }

  /// A mark was clicked: the row it stands for.
  std::function<void(TDiffStrip& sender, int row)> OnGoToRow;

protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

private:
  const TCompareRows& FRows;
};
