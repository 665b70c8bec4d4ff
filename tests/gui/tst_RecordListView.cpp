// The record list's view over a model of millions of rows: geometry,
// scrolling, selection by code, keyboard and mouse, rows added after a
// load, and painting that asks the model for the rows it shows only.

#include "ui/RecordListView.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <limits>

namespace {

/// Rows made up on demand, counting what the view asks for.
class TManyRows : public QAbstractTableModel {
public:
  explicit TManyRows(int rows) : FRows(rows) {}
  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : FRows; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
  QVariant data(const QModelIndex& index, int role) const override
  {
    if (role != Qt::DisplayRole)
      return {};
    ++DisplayAsks;
    HighestAsked = std::max(HighestAsked, index.row());
    LowestAsked = std::min(LowestAsked, index.row());
    return QStringLiteral("r%1c%2").arg(index.row()).arg(index.column());
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override
  {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
      return QStringLiteral("Column %1").arg(section);
    return {};
  }
  void AddRows(int count)
  {
    beginInsertRows({}, FRows, FRows + count - 1);
    FRows += count;
    endInsertRows();
  }
  void ForgetAsks()
  {
    DisplayAsks = 0;
    HighestAsked = -1;
    LowestAsked = std::numeric_limits<int>::max();
  }

  mutable int DisplayAsks = 0;
  mutable int HighestAsked = -1;
  mutable int LowestAsked = std::numeric_limits<int>::max();

private:
  int FRows;
};

/// Rows numbered in column 0, as the record list numbers its records.
class TNumberedRows : public QAbstractTableModel {
public:
  explicit TNumberedRows(int rows) : FRows(rows) {}
  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : FRows; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }
  QVariant data(const QModelIndex& index, int role) const override
  {
    if (role != Qt::DisplayRole)
      return {};
    return index.column() == 0 ? QString::number(index.row() + 1) : QStringLiteral("name");
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override
  {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
      return section == 0 ? QStringLiteral("#") : QStringLiteral("Name");
    return {};
  }
  void SetRows(int rows)
  {
    beginResetModel();
    FRows = rows;
    endResetModel();
  }

private:
  int FRows;
};

constexpr int kRows = 3'000'000;
constexpr int kRowHeight = 20;

struct TFixture {
  TFixture() : Model(kRows)
  {
    View.setSelectionBehavior(QAbstractItemView::SelectRows);
    View.setSelectionMode(QAbstractItemView::SingleSelection);
    View.setEditTriggers(QAbstractItemView::NoEditTriggers);
    View.SetRowHeight(kRowHeight);
    View.setModel(&Model);
    View.resize(400, 300);
    View.show();
    QApplication::sendPostedEvents();
  }
  int Page() const { return View.viewport()->height() / kRowHeight; }

  TManyRows Model;
  TRecordListView View;
};

}  // namespace

class TstRecordListView : public QObject {
  Q_OBJECT

private slots:
  void rowsArePlacedByTheirNumberAndFoundByTheirPlace()
  {
    TFixture f;
    QCOMPARE(f.View.verticalScrollBar()->maximum(), kRows - f.Page());
    QCOMPARE(f.View.verticalScrollBar()->pageStep(), f.Page());
    f.View.verticalScrollBar()->setValue(2'000'000);
    QCOMPARE(f.View.FirstVisibleRow(), 2'000'000);
    const QModelIndex index = f.Model.index(2'000'003, 1);
    const QRect rect = f.View.visualRect(index);
    QCOMPARE(rect.top(), 3 * kRowHeight);
    QCOMPARE(rect.height(), kRowHeight);
    QCOMPARE(rect.left(), f.View.horizontalHeader()->sectionViewportPosition(1));
    QCOMPARE(f.View.indexAt(rect.center()), index);
    QCOMPARE(f.View.rowAt(3 * kRowHeight), 2'000'003);
    QCOMPARE(f.View.rowAt(-1), -1);
    // Past the last row there is nothing.
    f.View.verticalScrollBar()->setValue(kRows);
    QCOMPARE(f.View.FirstVisibleRow(), kRows - f.Page());
    QCOMPARE(f.View.indexAt(QPoint(5, (f.Page() - 1) * kRowHeight + 1)).row(), kRows - 1);
    QVERIFY(!f.View.indexAt(QPoint(5, f.Page() * kRowHeight + 1)).isValid());
    QCOMPARE(f.View.horizontalHeader()->count(), 3);
    QCOMPARE(f.View.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Column 2"));
  }

  void selectingARowFarAwaySelectsItAloneAndBringsItIntoView()
  {
    TFixture f;
    f.View.selectRow(2'500'000);
    QCOMPARE(f.View.currentIndex().row(), 2'500'000);
    const QModelIndexList rows = f.View.selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.front().row(), 2'500'000);
    QVERIFY(f.View.viewport()->rect().contains(f.View.visualRect(f.View.currentIndex())));
    f.View.selectRow(7);
    QCOMPARE(f.View.selectionModel()->selectedRows().size(), 1);
    QCOMPARE(f.View.FirstVisibleRow(), 7);
    // Rows that do not exist change nothing.
    f.View.selectRow(kRows);
    f.View.selectRow(-1);
    QCOMPARE(f.View.currentIndex().row(), 7);
  }

  void keysMoveByRowPageAndEnd()
  {
    TFixture f;
    f.View.setFocus();
    f.View.selectRow(0);
    QTest::keyClick(&f.View, Qt::Key_Down);
    QCOMPARE(f.View.currentIndex().row(), 1);
    QTest::keyClick(&f.View, Qt::Key_PageDown);
    QCOMPARE(f.View.currentIndex().row(), 1 + f.Page());
    QTest::keyClick(&f.View, Qt::Key_End);
    QCOMPARE(f.View.currentIndex().row(), kRows - 1);
    QCOMPARE(f.View.selectionModel()->selectedRows().front().row(), kRows - 1);
    QVERIFY(f.View.viewport()->rect().contains(f.View.visualRect(f.View.currentIndex())));
    QTest::keyClick(&f.View, Qt::Key_Down);
    QCOMPARE(f.View.currentIndex().row(), kRows - 1);
    QTest::keyClick(&f.View, Qt::Key_Up);
    QCOMPARE(f.View.currentIndex().row(), kRows - 2);
    QTest::keyClick(&f.View, Qt::Key_Home);
    QCOMPARE(f.View.currentIndex().row(), 0);
    QCOMPARE(f.View.FirstVisibleRow(), 0);
  }

  void aClickSelectsTheRowUnderIt()
  {
    TFixture f;
    f.View.verticalScrollBar()->setValue(1000);
    const QPoint at(f.View.horizontalHeader()->sectionViewportPosition(2) + 3, 4 * kRowHeight + 5);
    QTest::mouseClick(f.View.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(f.View.currentIndex().row(), 1004);
    const QModelIndexList rows = f.View.selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.front().row(), 1004);
  }

  void paintingAsksForTheRowsShownOnly()
  {
    // Scrolling to any place costs what the viewport shows.
    TFixture f;
    f.View.verticalScrollBar()->setValue(1'234'567);
    f.Model.ForgetAsks();
    const QImage image = f.View.viewport()->grab().toImage();
    QVERIFY(!image.isNull());
    QVERIFY(f.Model.DisplayAsks > 0);
    QVERIFY(f.Model.DisplayAsks <= (f.Page() + 1) * 3);
    QCOMPARE(f.Model.LowestAsked, 1'234'567);
    QVERIFY(f.Model.HighestAsked <= 1'234'567 + f.Page());
  }

  void theSelectedRowIsPaintedHighlighted()
  {
    TFixture f;
    f.View.selectRow(5);
    const QImage image = f.View.viewport()->grab().toImage();
    const QRect rect = f.View.visualRect(f.Model.index(5, 0));
    const QColor highlight = f.View.palette().color(QPalette::Active, QPalette::Highlight);
    const QColor unselected = f.View.palette().color(QPalette::Active, QPalette::Base);
    // The cell's left edge, clear of its text.
    const qreal ratio = image.devicePixelRatio();
    const QColor inRow = image.pixelColor(QPoint(1, rect.center().y()) * ratio);
    const QColor belowRow = image.pixelColor(QPoint(1, rect.bottom() + kRowHeight / 2) * ratio);
    QCOMPARE(inRow.rgb(), highlight.rgb());
    QVERIFY(belowRow.rgb() != highlight.rgb());
    QCOMPARE(belowRow.rgb(), unselected.rgb());
  }

  void rowsAddedAfterALoadWidenTheScrollRange()
  {
    TManyRows model(3);
    TRecordListView view;
    view.SetRowHeight(kRowHeight);
    view.setModel(&model);
    view.resize(300, 200);
    view.show();
    QApplication::sendPostedEvents();
    QCOMPARE(view.verticalScrollBar()->maximum(), 0);
    model.AddRows(100);
    const int page = view.viewport()->height() / kRowHeight;
    QCOMPARE(view.verticalScrollBar()->maximum(), 103 - page);
    view.selectRow(102);
    QVERIFY(view.viewport()->rect().contains(view.visualRect(view.currentIndex())));
  }

  void columnWidthsAreTheHeadersAndWidenTheHorizontalRange()
  {
    TFixture f;
    f.View.setColumnWidth(1, 500);
    QCOMPARE(f.View.columnWidth(1), 500);
    QCOMPARE(f.View.horizontalHeader()->sectionSize(1), 500);
    const int total = f.View.horizontalHeader()->length();
    QCOMPARE(f.View.horizontalScrollBar()->maximum(), total - f.View.viewport()->width());
    f.View.horizontalScrollBar()->setValue(100);
    QCOMPARE(f.View.visualRect(f.Model.index(0, 0)).left(), -100);
    QCOMPARE(f.View.horizontalHeader()->offset(), 100);
  }
  void theNumberColumnShowsEveryNumberWhole()
  {
    TNumberedRows model(10);
    TRecordListView view;
    view.setModel(&model);
    view.resize(400, 300);
    view.setColumnWidth(0, 20);
    view.SetNumberColumn(0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const auto fits = [&](int row) {
      QStyleOptionViewItem option;
      option.initFrom(&view);
      option.font = view.font();
      return view.itemDelegate()->sizeHint(option, model.index(row, 0)).width() <= view.columnWidth(0);
    };
    QVERIFY(fits(9));
    // A load of 1.5 million records: sized at the reset, for the last number
    // and for any other of as many digits.
    model.SetRows(1'500'000);
    QVERIFY(fits(1'499'999));
    QVERIFY(fits(999'999));
    const int wide = view.columnWidth(0);
    // The next, smaller load gives the room back.
    model.SetRows(147);
    QVERIFY(fits(146));
    QVERIFY(view.columnWidth(0) < wide);
  }

  void aResetStartsAtTheTopLeftWhileAddedRowsKeepThePlace()
  {
    TNumberedRows model(kRows);
    TRecordListView view;
    view.setModel(&model);
    view.SetRowHeight(kRowHeight);
    view.resize(300, 300);
    view.setColumnWidth(1, 900);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.selectRow(kRows - 1);
    view.horizontalScrollBar()->setValue(300);
    QVERIFY(view.FirstVisibleRow() > 0);
    model.SetRows(kRows - 1);  // a new load, as long as the last
    QCOMPARE(view.FirstVisibleRow(), 0);
    QCOMPARE(view.horizontalScrollBar()->value(), 0);
  }

  void selectedRowsCopyWithAHeaderInRowOrder()
  {
    TNumberedRows model(50);
    TRecordListView view;
    view.setModel(&model);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    QCOMPARE(view.SelectedRowsText(), QString());
    const auto select = [&](int top, int bottom) {
      view.selectionModel()->select(QItemSelection(model.index(top, 0), model.index(bottom, 1)),
                                    QItemSelectionModel::Select);
    };
    select(7, 8);
    select(2, 2);
    select(8, 9);  // overlaps: each row once
    QCOMPARE(view.SelectedRowsText(),
             QStringLiteral("#\tName\n3\tname\n8\tname\n9\tname\n10\tname\n"));
    QApplication::clipboard()->clear();
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), view.SelectedRowsText());
  }
};

QTEST_MAIN(TstRecordListView)
#include "tst_RecordListView.moc"
