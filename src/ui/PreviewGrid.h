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

/// Values of one sheet for the preview: its first kPreviewRowLimit rows, or
/// with ShowAllRows every row of the sheet's extent. The texts of the first
/// rows are copied at Fill; the rows past them (shown only with
/// ShowAllRows) are read from the sheet when a view asks for them, so that
/// the model costs the same for a sheet of any length and only the rows
/// painted are made into text. A formula
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
  /// when empty). Keeps the sheet and `formulas` until the next Fill or
  /// Reset: the caller keeps the sheet alive and unchanged until then.
  void Fill(const TSpreadSheet& sheet, TPreviewFormulas formulas = {});
  /// Every row of the sheet's extent is shown, not only the first 100;
  /// kept over Fill and Reset.
  void SetShowAllRows(bool show);
  bool ShowAllRows() const { return FShowAllRows; }
  /// Rows in the sheet's extent (the rows shown, unless they are cut at
  /// kPreviewRowLimit); 0 after Reset.
  int SheetRows() const { return FSheet ? FSheetRows : 0; }
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

  /// The rows shown: the sheet's, cut at kPreviewRowLimit unless all are
  /// shown.
  int ShownRows() const;

  int FRows = 1;
  int FCols = 1;
  int FSheetRows = 0;
  bool FShowAllRows = false;
  const TSpreadSheet* FSheet = nullptr;
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
  /// Every row of the sheet is shown (TPreviewModel::SetShowAllRows).
  void SetShowAllRows(bool show);
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
