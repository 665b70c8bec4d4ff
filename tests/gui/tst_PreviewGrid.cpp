// The sheet preview grid: column letters, value texts, the 100-row limit,
// column widths, and the reset state.

#include "ui/PreviewGrid.h"

#include "platform/DateTime.h"
#include "platform/Environment.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QStyle>
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

  void datesBeforeMarch1900ShowTheirCalendarDay()
  {
    // Before the 1900 system's made-up 29 February (serial 60), serial s is
    // day s + 1 counted from 1899-12-30; from 61 on the two agree.
    TSpreadSheet sheet;
    for (int serial = 1; serial <= 61; ++serial)
      Put(sheet, 0, serial - 1, TVariant::Date(serial));
    TPreviewGrid grid;
    grid.FillPreview(sheet);
    for (int serial = 1; serial <= 61; ++serial)
      if (serial != 60)
        QCOMPARE(GridText(grid, serial - 1, 0),
                 QString::fromStdString(DateTimeToStr(serial < 60 ? serial + 1 : serial, CurrentLocale())));
    const QString leap = GridText(grid, 59, 0);
    QVERIFY(leap.contains(QStringLiteral("29")) && leap != GridText(grid, 58, 0) && leap != GridText(grid, 60, 0));
  }

  void theGridHasTheFirstHundredRowsOrWithShowAllRowsEvery()
  {
    TSpreadSheet sheet;
    for (int r = 0; r < 250; ++r)
      Put(sheet, 1, r, TVariant(std::int32_t{r}));
    Put(sheet, 0, 0, TVariant("top"));
    Put(sheet, 0, 3, TVariant(true));
    Put(sheet, 0, 180, TVariant("far"));
    TPreviewGrid grid;
    QAbstractItemModelTester tester(grid.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.FillPreview(sheet);
    const TPreviewModel& model = grid.PreviewModel();
    QCOMPARE(model.rowCount(), 100);
    QCOMPARE(model.SheetRows(), 250);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(GridText(grid, 0, 0), QStringLiteral("top"));
    QCOMPARE(GridText(grid, 3, 0), QStringLiteral("True"));
    QCOMPARE(GridText(grid, 1, 0), QString());  // a gap
    QCOMPARE(GridText(grid, 99, 1), QStringLiteral("99"));
    QCOMPARE(GridText(grid, 100, 1), QString());  // no such row
    QCOMPARE(Header(grid, 0, Qt::Vertical), QStringLiteral("1 "));
    QCOMPARE(Header(grid, 99, Qt::Vertical), QStringLiteral("100 "));
    QCOMPARE(Header(grid, 1, Qt::Horizontal), QStringLiteral("B"));
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignCenter));
    QVERIFY(model.headerData(0, Qt::Vertical, Qt::TextAlignmentRole).toInt() & Qt::AlignRight);

    // Every row, those past the hundredth read from the sheet; the choice
    // outlives a reset and a new fill. A short sheet is whole either way.
    grid.SetShowAllRows(true);
    QCOMPARE(model.rowCount(), 250);
    grid.Reset();
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.SheetRows(), 0);
    grid.FillPreview(sheet);
    QCOMPARE(model.rowCount(), 250);
    for (const auto& [row, column, text] : {std::tuple{100, 1, "100"}, {180, 0, "far"}, {181, 0, ""}, {249, 1, "249"}})
      QCOMPARE(GridText(grid, row, column), QString::fromLatin1(text));
    QCOMPARE(Header(grid, 249, Qt::Vertical), QStringLiteral("250 "));
    grid.SetShowAllRows(false);
    QCOMPARE(model.rowCount(), 100);
    TSpreadSheet shortSheet;
    Put(shortSheet, 0, 36, TVariant(1.0));
    grid.FillPreview(shortSheet);
    QCOMPARE(model.rowCount(), 37);
    grid.SetShowAllRows(true);
    QCOMPARE(model.rowCount(), 37);
  }

  void formulasShowPastTheHundredthRowToo()
  {
    TSpreadSheet sheet;
    Put(sheet, 0, 150, TVariant(3.0));
    TPreviewGrid grid;
    grid.SetShowAllRows(true);
    int asked = 0;
    grid.FillPreview(sheet, [&](int row, int column, TFormulaResult& result) {
      result.Text = "1+2";
      return ++asked && row == 150 && column == 0;
    });
    QCOMPARE(GridText(grid, 150, 0), QStringLiteral("3"));
    grid.SetShowFormulas(true);
    QCOMPARE(GridText(grid, 150, 0), QStringLiteral("=1+2"));
    QCOMPARE(asked, 1);
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
  void theRowHeaderFitsTheLargestRowNumber()
  {
    struct TCase {
      int LastRow;  // model row of the sheet's last cell
      const char* Shown;
    } const cases[] = {{65535, "65536 "}, {1013, "1014 "}, {1048575, "1048576 "}};
    for (const TCase& c : cases) {
      TSpreadSheet sheet;
      Put(sheet, 0, c.LastRow, TVariant(1.0));
      TPreviewGrid grid;
      grid.SetShowAllRows(true);
      grid.FillPreview(sheet);
      const QHeaderView* rows = grid.verticalHeader();
      QCOMPARE(Header(grid, c.LastRow, Qt::Vertical), QString::fromLatin1(c.Shown));
      const int text = QFontMetrics(rows->font()).horizontalAdvance(QString::fromLatin1(c.Shown));
      const int margins = 2 * rows->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, rows);
      QVERIFY2(rows->width() >= text + margins, c.Shown);
    }
    // Small sheets keep the layout's 30 pixels; a new workbook starts there.
    TSpreadSheet small;
    Put(small, 0, 5, TVariant(1.0));
    TPreviewGrid grid;
    grid.FillPreview(small);
    QCOMPARE(grid.verticalHeader()->width(), TPreviewGrid::kHeaderColumnWidth);
  }

  void cellTextsAreClippedNotShortenedWithAnEllipsis()
  {
    // The same long number in a narrow and in a wide column: the narrow
    // cell shows the start of the wide one's text, pixel for pixel.
    TSpreadSheet sheet;
    Put(sheet, 0, 0, TVariant("1234567890123456789012345"));
    TPreviewGrid grid;
    grid.resize(600, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.FillPreview(sheet);
    const auto cellPixels = [&](int width) {
      grid.setColumnWidth(0, width);
      QApplication::sendPostedEvents();
      const QRect cell = grid.visualRect(grid.PreviewModel().index(0, 0));
      return grid.viewport()->grab(QRect(cell.left(), cell.top(), 40, cell.height())).toImage();
    };
    const QImage narrow = cellPixels(45);
    const QImage wide = cellPixels(500);
    QCOMPARE(narrow, wide);
  }

  void clearGivesFreshWidthsAndTheTopLeft()
  {
    TSpreadSheet sheet;
    for (int r = 0; r < 300; ++r)
      Put(sheet, 5, r, TVariant(1.0));
    TPreviewGrid grid;
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.FillPreview(sheet);
    grid.setColumnWidth(2, 140);
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
    grid.Clear();
    grid.FillPreview(sheet);
    QCOMPARE(grid.columnWidth(2), TPreviewGrid::kDefaultColumnWidth);
    QCOMPARE(grid.verticalScrollBar()->value(), 0);
    QCOMPARE(grid.horizontalScrollBar()->value(), 0);
  }

  void selectedCellsCopyAsTabSeparatedLines()
  {
    TSpreadSheet sheet;
    Put(sheet, 0, 0, TVariant("a"));
    Put(sheet, 1, 0, TVariant(1.5));
    Put(sheet, 2, 1, TVariant(true));
    Put(sheet, 0, 2, TVariant("c"));
    TPreviewGrid grid;
    grid.FillPreview(sheet);
    const TPreviewModel& model = grid.PreviewModel();
    QCOMPARE(grid.SelectedText(), QString());
    grid.selectionModel()->select(QItemSelection(model.index(0, 0), model.index(1, 2)),
                                  QItemSelectionModel::ClearAndSelect);
    QCOMPARE(grid.SelectedText(), QStringLiteral("a\t1.5\t\n\t\tTrue\n"));
    // Apart cells: the rectangle they span, the cells between them empty.
    grid.selectionModel()->select(model.index(0, 0), QItemSelectionModel::ClearAndSelect);
    grid.selectionModel()->select(model.index(1, 2), QItemSelectionModel::Select);
    QCOMPARE(grid.SelectedText(), QStringLiteral("a\t\t\n\t\tTrue\n"));
    grid.selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select);
    QApplication::clipboard()->clear();
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("a\t\t\n\t\tTrue\nc\t\t\n"));
  }
};

QTEST_MAIN(TstPreviewGrid)
#include "tst_PreviewGrid.moc"
