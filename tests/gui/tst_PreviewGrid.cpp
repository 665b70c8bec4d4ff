// The sheet preview grid: column letters, value texts, the 100-row limit,
// column widths, and the reset state.

#include "ui/PreviewGrid.h"

#include <QAbstractItemModelTester>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTest>

namespace {

QString GridText(const TPreviewGrid& grid, int row, int column)
{
  const TPreviewModel& model = grid.PreviewModel();
  return model.data(model.index(row, column)).toString();
}

QString Header(const TPreviewGrid& grid, int section, Qt::Orientation orientation)
{
  return grid.PreviewModel().headerData(section, orientation).toString();
}

void Put(TSpreadSheet& sheet, int column, int row, TVariant value)
{
  sheet.Cells.SetCellValue(column, row, std::move(value), 0, TAlignment::taLeftJustify);
}

}  // namespace

class TstPreviewGrid : public QObject {
  Q_OBJECT

private slots:
  void columnsPastZReadAsSpreadsheetsNameThem()
  {
    const std::pair<int, const char*> cases[] = {
        {1, "A"},   {2, "B"},    {26, "Z"},   {27, "AA"},  {28, "AB"},
        {52, "AZ"}, {53, "BA"},  {256, "IV"}, {702, "ZZ"}, {703, "AAA"},
        {16384, "XFD"}};
    for (const auto& [column, name] : cases) {
      QCOMPARE(ColumnName(column), std::string(name));
    }
  }

  void valuesShowAsText()
  {
    QCOMPARE(CellText(TVariant(true)), std::string("True"));
    QCOMPARE(CellText(TVariant(false)), std::string("False"));
    QCOMPARE(CellText(TVariant::Null()), std::string());
    QCOMPARE(CellText(TVariant()), std::string());
    QCOMPARE(CellText(TVariant("#DIV/0!")), std::string("#DIV/0!"));
    QCOMPARE(CellText(TVariant(std::int32_t{-42})), std::string("-42"));
    QCOMPARE(CellText(TVariant(1.5)), std::string("1.5"));
    QCOMPARE(CellText(TVariant(123456789012345.0)), std::string("123456789012345"));
    QCOMPARE(CellText(TVariant(0.1 + 0.2)), std::string("0.3"));
  }

  void fillWritesValuesForTheFirstHundredRowsAndNumbersEveryRow()
  {
    TSpreadSheet sheet;
    for (int r = 0; r < 250; ++r)
      Put(sheet, 1, r, TVariant(std::int32_t{r}));
    Put(sheet, 0, 0, TVariant("top"));
    Put(sheet, 0, 3, TVariant(true));
    TPreviewGrid grid;
    QAbstractItemModelTester tester(grid.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.FillPreview(sheet);
    const TPreviewModel& model = grid.PreviewModel();
    QCOMPARE(model.rowCount(), 250);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(GridText(grid, 0, 0), QStringLiteral("top"));
    QCOMPARE(GridText(grid, 3, 0), QStringLiteral("True"));
    QCOMPARE(GridText(grid, 1, 0), QString());  // a gap
    QCOMPARE(GridText(grid, 99, 1), QStringLiteral("99"));
    QCOMPARE(GridText(grid, 100, 1), QString());
    QCOMPARE(GridText(grid, 249, 1), QString());
    QCOMPARE(Header(grid, 0, Qt::Vertical), QStringLiteral("1 "));
    QCOMPARE(Header(grid, 249, Qt::Vertical), QStringLiteral("250 "));
    QCOMPARE(Header(grid, 1, Qt::Horizontal), QStringLiteral("B"));
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignCenter));
    QVERIFY(model.headerData(0, Qt::Vertical, Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
  }

  void twentyEightColumnsEndWithAaAndAb()
  {
    TSpreadSheet sheet;
    Put(sheet, 27, 0, TVariant(1.0));
    TPreviewGrid grid;
    grid.FillPreview(sheet);
    QCOMPARE(grid.PreviewModel().columnCount(), 28);
    QCOMPARE(Header(grid, 25, Qt::Horizontal), QStringLiteral("Z"));
    QCOMPARE(Header(grid, 26, Qt::Horizontal), QStringLiteral("AA"));
    QCOMPARE(Header(grid, 27, Qt::Horizontal), QStringLiteral("AB"));
  }

  void columnWidthsComeFromCharactersTimesTheWidthOfW()
  {
    TSpreadSheet sheet;
    Put(sheet, 4, 0, TVariant(1.0));
    sheet.ColumnWidths = {10, 0, 100, 99};
    TPreviewGrid grid;
    grid.setColumnWidth(1, 77);
    grid.setColumnWidth(2, 55);
    grid.FillPreview(sheet);
    const int w = QFontMetrics(grid.font()).horizontalAdvance(QLatin1Char('W'));
    QCOMPARE(grid.columnWidth(0), 10 * w);
    // Column 1 (entry 0) did not exist before the fill: the default width.
    QCOMPARE(grid.columnWidth(1), TPreviewGrid::kDefaultColumnWidth);
    QCOMPARE(grid.columnWidth(2), TPreviewGrid::kDefaultColumnWidth);
    QCOMPARE(grid.columnWidth(3), 99 * w);
    QCOMPARE(grid.columnWidth(4), TPreviewGrid::kDefaultColumnWidth);
    QCOMPARE(grid.verticalHeader()->width(), TPreviewGrid::kHeaderColumnWidth);
  }

  void widthsSetByHandLastUntilAFillSetsThem()
  {
    TSpreadSheet sheet;
    Put(sheet, 2, 0, TVariant(1.0));
    sheet.ColumnWidths = {0, 0, 12};
    TPreviewGrid grid;
    grid.FillPreview(sheet);
    grid.setColumnWidth(1, 123);
    grid.setColumnWidth(2, 124);
    grid.FillPreview(sheet);
    const int w = QFontMetrics(grid.font()).horizontalAdvance(QLatin1Char('W'));
    QCOMPARE(grid.columnWidth(1), 123);
    QCOMPARE(grid.columnWidth(2), 12 * w);
    const int first = grid.columnWidth(0);
    grid.Reset();
    QCOMPARE(grid.columnWidth(0), first);
  }

  void aSheetWithoutCellsLeavesOnlyTheCorner()
  {
    TSpreadSheet sheet;
    TPreviewGrid grid;
    grid.FillPreview(sheet);
    QCOMPARE(grid.PreviewModel().rowCount(), 0);
    QCOMPARE(grid.PreviewModel().columnCount(), 0);
  }

  void resetLeavesOneBlankCellUnderBlankHeaders()
  {
    TSpreadSheet sheet;
    Put(sheet, 3, 5, TVariant("x"));
    TPreviewGrid grid;
    QAbstractItemModelTester tester(grid.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(grid.PreviewModel().rowCount(), 1);
    QCOMPARE(grid.columnWidth(0), 59);
    grid.FillPreview(sheet);
    grid.Reset();
    QCOMPARE(grid.PreviewModel().rowCount(), 1);
    QCOMPARE(grid.PreviewModel().columnCount(), 1);
    QCOMPARE(GridText(grid, 0, 0), QString());
    QCOMPARE(Header(grid, 0, Qt::Horizontal), QString());
    QCOMPARE(Header(grid, 0, Qt::Vertical), QString());
  }
};

QTEST_MAIN(TstPreviewGrid)
#include "tst_PreviewGrid.moc"
