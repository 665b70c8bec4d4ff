#pragma once

#include "model/CellText.h"
#include "model/SpreadSheet.h"
#include "xls/formula/FormulaDecoder.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QTableView>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

/// Where the preview gets a cell's formula: true with the formula of cell
/// (row, column) of the sheet shown in `result`, false for a cell without
/// one (as TFormulaBook::Formula).
using TPreviewFormulas = std::function<bool(int row, int column, TFormulaResult& result)>;

/// Values of one sheet for the preview: a row for every row of the sheet's
/// extent, values for the first kPreviewRowLimit rows only. The texts are
/// copied at Fill, so the model never refers to the workbook. A formula
/// cell's tooltip shows its formula and value; with ShowFormulas the cell
/// shows "=" and its formula instead of the value (a formula that cannot be
/// read: the value in kFormulaErrorColour, the message in the tooltip).
/// Formulas are asked for when a cell's text or tooltip is, once each.
class TPreviewModel : public QAbstractTableModel {
  Q_OBJECT

public:
  static constexpr int kPreviewRowLimit = 100;
  /// The text colour of a cell whose formula cannot be read, while
  /// formulas are shown.
  static constexpr Qt::GlobalColor kFormulaErrorColour = Qt::darkRed;

  explicit TPreviewModel(QObject* parent = nullptr);

  /// The reset state: one blank row and one blank column, headers blank.
  void Reset();
  /// Fills from `sheet`: its extent, the texts of its first 100 rows,
  /// labelled headers, and the formulas of its cells from `formulas` (none
  /// when empty). Keeps no reference to the sheet; keeps `formulas` until
  /// the next Fill or Reset.
  void Fill(const TSpreadSheet& sheet, TPreviewFormulas formulas = {});
  /// Formula cells show their formulas instead of their values; kept over
  /// Fill and Reset.
  void SetShowFormulas(bool show);
  bool ShowFormulas() const { return FShowFormulas; }

  /// A cell singled out (a comparison's changed cell): its tint, and a
  /// note the tooltip shows first.
  struct TCellMark {
    QColor Tint;
    QString Note;
  };
  /// Marks cells by (row, column) until the next Fill or Reset. The grid
  /// grows to hold a marked cell past the sheet's extent (one the other
  /// workbook alone has), blank there.
  void SetMarks(std::unordered_map<std::uint64_t, TCellMark> marks);
  static std::uint64_t MarkKey(int row, int column)
  {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(row)) << 32) | static_cast<std::uint32_t>(column);
  }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

private:
  /// What data() gives for a cell without its mark.
  QVariant CellData(const QModelIndex& index, int role) const;
  /// A cell's formula as shown: none, its text with "=", or the message.
  struct TShownFormula {
    bool Present = false;
    bool Ok = false;
    QString Text;
  };
  /// The formula of the cell keyed `key`, asked for once.
  const TShownFormula& FormulaAt(std::size_t key, int row, int column) const;

  int FRows = 1;
  int FCols = 1;
  int FValueRows = 0;
  bool FLabelled = false;
  bool FShowFormulas = false;
  // Texts of the stored cells of the first rows, keyed by row * FCols +
  // column: a sheet as wide as a damaged file makes it costs its cells only.
  std::unordered_map<std::size_t, QString> FValues;
  TPreviewFormulas FFormulaSource;
  // The formulas of stored cells asked for so far, keyed as FValues.
  mutable std::unordered_map<std::size_t, TShownFormula> FFormulas;
  mutable TFormulaResult FFormula;  // one buffer for every cell's formula
  std::unordered_map<std::uint64_t, TCellMark> FMarks;
  // The rows and columns the marks reach (0 without marks).
  int FMarkRows = 0;
  int FMarkCols = 0;
};

/// The preview grid: a table over a TPreviewModel whose header row holds the
/// column letters (bold, centred) and whose header column holds the row
/// numbers (right-aligned, 30 pixels wide or as wide as the largest number
/// needs). Rows are 19 pixels high; cell texts are clipped at the cell's
/// edge, never shortened with an ellipsis. The user may resize columns, and
/// a width set by hand lasts until a fill sets that column's width again or
/// a new workbook clears the grid. Ctrl+C copies the selected cells.
class TPreviewGrid : public QTableView {
  Q_OBJECT

public:
  static constexpr int kRowHeight = 19;
  static constexpr int kHeaderColumnWidth = 30;
  static constexpr int kDefaultColumnWidth = 64;
  static constexpr int kMaxWidthChars = 100;

  explicit TPreviewGrid(QWidget* parent = nullptr);

  /// Back to one blank cell under blank headers; column widths stay.
  void Reset();
  /// Reset for a new workbook: also fresh column widths and the view at the
  /// top left.
  void Clear();
  /// Shows `sheet`: values, row numbers, column letters, and each column's
  /// width from the sheet's ColumnWidths (w characters make w times the
  /// width of "W", for 0 < w < 100; other columns keep their width); the
  /// formulas of its cells from `formulas` (TPreviewModel::Fill).
  void FillPreview(const TSpreadSheet& sheet, TPreviewFormulas formulas = {});
  /// Formula cells show their formulas (TPreviewModel::SetShowFormulas).
  void SetShowFormulas(bool show);
  /// Tints cells and heads their tooltips (TPreviewModel::SetMarks); the
  /// column widths stay.
  void SetMarks(std::unordered_map<std::uint64_t, TPreviewModel::TCellMark> marks);

  const TPreviewModel& PreviewModel() const { return *FModel; }

  /// The selected cells as tab-separated lines (every line ends in "\n"),
  /// over the rectangle that holds the selection; cells in it that are not
  /// selected are empty. Empty when nothing is selected.
  QString SelectedText() const;
  /// Puts SelectedText() on the clipboard when something is selected.
  void Copy() const;

protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

private:
  /// Sizes the row-number column for the largest number shown.
  void FitRowHeader();

  /// Runs `change` on the model, keeping the widths of the columns that
  /// exist before and after it; new columns get the default width.
  template <typename Change>
  void KeepingWidths(Change change);

  TPreviewModel* FModel;
};
