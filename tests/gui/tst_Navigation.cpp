// Finding one's way in a workbook: the record list's filter, find (hex,
// 8-bit and UTF-16 text, F3 and Shift+F3, wrapping round), go to (record
// number, stream offset), the outline and the record types beside the
// list, the structure check's problems and the container. The window reads
// a workbook of about a million records made here by the test writer.

#include "ui/MainWindow.h"
#include "xls/workbook/Navigation.h"
#include "ui/NavigatorPane.h"
#include "ui/RecordFilterModel.h"
#include "ui/RecordInspector.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/RecordNavigator.h"
#include "ui/UiMessages.h"
#include "ui/UiTexts.h"
#include "support/BiffBuilder.h"
#include "support/CompoundFileBuilder.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <vector>

namespace {

constexpr std::uint16_t kChartCode = 0x1002;
constexpr std::uint16_t kSeriesCode = 0x1003;
constexpr std::uint16_t kBeginCode = 0x1033;
constexpr std::uint16_t kEndCode = 0x1034;
constexpr std::uint8_t kChartSheet = 2;

/// The big workbook and the indexes of the records the tests look for.
struct TBigBook {
  std::vector<std::uint8_t> Stream;
  int Count = 0;
  int SheetBof = 0;
  int ChartBof = 0;
  int FirstNeedle = 0;   // LABEL "needle", 8-bit
  int SecondNeedle = 0;
  int Wide = 0;          // LABEL "Wide", UTF-16
  int Duplicate = 0;     // a NUMBER for a cell written before
  int SeriesBlock = 0;   // the SERIES record that opens the inner chart block
};

constexpr int kCells = 1000000;
constexpr int kRowsPerColumn = 60000;

TBigBook MakeBigBook()
{
  TBigBook book;
  TBiffBuilder b;
  int n = 0;
  b.Bof(TExcelVersion::evExcel8, TBofType::btGlobals);
  b.BoundSheet("Data", 1);
  b.BoundSheet("Graph", 2, false, kChartSheet);
  b.Eof();
  n = 4;
  book.SheetBof = n;
  b.Bof(TExcelVersion::evExcel8);
  ++n;
  for (int i = 0; i < kCells; ++i, ++n) {
    const auto row = static_cast<std::uint16_t>(i % kRowsPerColumn);
    const auto column = static_cast<std::uint16_t>(i / kRowsPerColumn);
    if (i == 250000 || i == 500000) {
      (i == 250000 ? book.FirstNeedle : book.SecondNeedle) = n;
      b.Label(row, column, 0, "needle");
    } else if (i == 750000) {
      book.Wide = n;
      b.Label(row, column, 0, "Wide", true);
    } else if (i == 800000) {
      book.Duplicate = n;
      b.Number(0, 0, 0, 1.0);
    } else {
      b.Number(row, column, 0, static_cast<double>(i));
    }
  }
  b.Eof();
  ++n;
  book.ChartBof = n;
  b.Bof(TExcelVersion::evExcel8, TBofType::btChart);
  b.Record(kChartCode, TBytes().Zeros(16));
  b.Record(kBeginCode, {});
  book.SeriesBlock = n + 3;
  b.Record(kSeriesCode, TBytes().Zeros(12));
  b.Record(kBeginCode, {});
  b.Record(kEndCode, {});
  b.Record(kEndCode, {});
  b.Eof();
  n += 8;
  book.Count = n;
  book.Stream = b.Build();
  return book;
}

bool WriteFile(const QString& path, const std::vector<std::uint8_t>& bytes)
{
  QFile file(path);
  return file.open(QIODevice::WriteOnly) &&
         file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
             static_cast<qint64>(bytes.size());
}

QString Text(const char* text)
{
  return QString::fromLatin1(text);
}

}  // namespace

class TstNavigation : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<QTemporaryDir> FHome;
  TBigBook FBook;
  std::unique_ptr<TfrmMain> FForm;

  TfrmMain& Form() { return *FForm; }
  TRecordNavigator& Nav() { return *FForm->Navigator; }
  int Current() const { return FForm->Navigator->CurrentRecord(); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
  {
    QTest::keyClick(FForm->lvRecords, static_cast<Qt::Key>(key), modifiers);
  }
  void Reset()
  {
    Nav().SetFilterText(QString());
    Nav().SelectRecord(0);
  }
  /// The record numbers the list shows, as its "#" column says.
  QList<int> ShownNumbers() const
  {
    const QAbstractItemModel* model = FForm->lvRecords->model();
    QList<int> numbers;
    for (int row = 0; row < model->rowCount() && row < 50; ++row)
      numbers << model->index(row, TRecordListModel::rcNumber).data().toInt();
    return numbers;
  }

private slots:
  void initTestCase()
  {
    FHome = std::make_unique<QTemporaryDir>();
    QVERIFY(FHome->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FHome->path());
    FBook = MakeBigBook();
    const QString path = FHome->filePath(QStringLiteral("big.xls"));
    QVERIFY(WriteFile(path, InCompoundFile(FBook.Stream)));
    FForm = std::make_unique<TfrmMain>();
    FForm->ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    FForm->show();
    QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
    FForm->OpenFile(path);
    QCOMPARE(FForm->Records().Count(), FBook.Count);
    FForm->pcXLS->setCurrentIndex(1);
  }

  void cleanupTestCase()
  {
    FForm.reset();
  }

  void filterKeepsMatchingRowsWithTheirNumbers_data()
  {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("numbers");
    const int sheetEof = FBook.ChartBof;  // the index after the sheet's EOF is the chart's BOF
    QTest::newRow("name") << "LABEL" << QList<int>{FBook.FirstNeedle + 1, FBook.SecondNeedle + 1, FBook.Wide + 1};
    QTest::newRow("code") << "0x0204" << QList<int>{FBook.FirstNeedle + 1, FBook.SecondNeedle + 1, FBook.Wide + 1};
    QTest::newRow("any case, two names") << "bof, eof"
                                         << QList<int>{1, 4, FBook.SheetBof + 1, sheetEof, FBook.ChartBof + 1,
                                                       FBook.Count};
    QTest::newRow("blanks between") << "BOUNDSHEET  0x1003" << QList<int>{2, 3, FBook.SeriesBlock + 1};
    QTest::newRow("short code") << "0x85" << QList<int>{2, 3};
    QTest::newRow("no such record") << "0x7777" << QList<int>{};
  }

  void filterKeepsMatchingRowsWithTheirNumbers()
  {
    QFETCH(QString, filter);
    QFETCH(QList<int>, numbers);
    Reset();
    Nav().edFilter->setFocus();
    Nav().edFilter->setText(filter);
    QTest::keyClick(Nav().edFilter, Qt::Key_Return);
    QCOMPARE(ShownNumbers(), numbers);
    QCOMPARE(Form().lblStatusMessage->text(),
             FilteredText(static_cast<int>(numbers.size()), FBook.Count));
    // Cleared, every record is back, numbered from 1.
    Nav().edFilter->clear();
    QCOMPARE(Form().lvRecords->model()->rowCount(), FBook.Count);
    QCOMPARE(ShownNumbers().value(49), 50);
  }

  void filterNamingNoTypeLeavesTheListAsItWas()
  {
    Reset();
    Nav().SetFilterText(QStringLiteral("LABEL"));
    QVERIFY(!Nav().ApplyFilter(QStringLiteral("SST, NOSUCH")));
    QCOMPARE(Form().lblStatusMessage->text(), Text(kStatusNoSuchType).arg(QStringLiteral("NOSUCH")));
    QCOMPARE(Form().lvRecords->model()->rowCount(), 3);
  }

  void filteredListShowsTheSelectedRecordsBytes()
  {
    Reset();
    Nav().SetFilterText(QStringLiteral("LABEL"));
    Form().lvRecords->selectRow(2);
    QCOMPARE(Current(), FBook.Wide);
    QCOMPARE(Form().Fields->Row(), FBook.Wide);
  }

  void findWalksMatchesWithF3AndShiftF3_data()
  {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("forward");  // F3 from the first record on, wrapping
    QTest::addColumn<QList<int>>("back");     // Shift+F3 from the first record on
    const QList<int> needles{FBook.FirstNeedle, FBook.SecondNeedle, FBook.FirstNeedle};
    const QList<int> needlesBack{FBook.SecondNeedle, FBook.FirstNeedle, FBook.SecondNeedle};
    QTest::newRow("hex") << int(TRecordNavigator::fmHex) << "6E 65 65 64 6C 65" << needles << needlesBack;
    QTest::newRow("hex packed, lower case") << int(TRecordNavigator::fmHex) << "6e656564" << needles
                                            << needlesBack;
    QTest::newRow("8-bit text") << int(TRecordNavigator::fmText) << "needle" << needles << needlesBack;
    QTest::newRow("UTF-16 text") << int(TRecordNavigator::fmUtf16) << "Wide"
                                 << QList<int>{FBook.Wide, FBook.Wide} << QList<int>{FBook.Wide, FBook.Wide};
  }

  void findWalksMatchesWithF3AndShiftF3()
  {
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(QList<int>, forward);
    QFETCH(QList<int>, back);
    Reset();
    Nav().cbFindMode->setCurrentIndex(mode);
    Nav().edFind->setText(text);
    QList<int> found;
    for (int i = 0; i < forward.size(); ++i) {
      Key(Qt::Key_F3);
      found << Current();
    }
    QCOMPARE(found, forward);
    // The last step passed the end.
    QCOMPARE(Form().lblStatusMessage->text(),
             Text(kStatusFoundWrappedForward).arg(text).arg(forward.last() + 1));
    Nav().SelectRecord(0);
    found.clear();
    for (int i = 0; i < back.size(); ++i) {
      Key(Qt::Key_F3, Qt::ShiftModifier);
      found << Current();
    }
    QCOMPARE(found, back);
    // The match's bytes are where the Fields pane shows its field.
    QCOMPARE(Form().Fields->Row(), back.last());
  }

  void findSaysWhatItMissed_data()
  {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("status");
    QTest::newRow("UTF-16 text as 8-bit") << int(TRecordNavigator::fmText) << "Wide"
                                          << Text(kStatusNotFound).arg(QStringLiteral("Wide"));
    QTest::newRow("8-bit text as UTF-16") << int(TRecordNavigator::fmUtf16) << "needle"
                                          << Text(kStatusNotFound).arg(QStringLiteral("needle"));
    QTest::newRow("odd digit") << int(TRecordNavigator::fmHex) << "6E 6"
                               << Text(kStatusBadHex).arg(QStringLiteral("6E 6"));
    QTest::newRow("not hex") << int(TRecordNavigator::fmHex) << "needle"
                             << Text(kStatusBadHex).arg(QStringLiteral("needle"));
  }

  void findSaysWhatItMissed()
  {
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(QString, status);
    Reset();
    Nav().cbFindMode->setCurrentIndex(mode);
    Nav().edFind->setText(text);
    QTest::keyClick(Nav().edFind, Qt::Key_Return);
    QCOMPARE(Form().lblStatusMessage->text(), status);
    QCOMPARE(Current(), 0);
  }

  void findKeepsToTheFilteredRecords()
  {
    Reset();
    Nav().cbFindMode->setCurrentIndex(TRecordNavigator::fmHex);
    // Zero bytes are in nearly every record; among the LABELs the first
    // needle's xf word is the first.
    Nav().SetFilterText(QStringLiteral("LABEL"));
    Nav().edFind->setText(QStringLiteral("00 00"));
    Key(Qt::Key_F3);
    QCOMPARE(Current(), FBook.FirstNeedle);
    QCOMPARE(Form().lvRecords->model()->rowCount(), 3);
    // What only hidden records hold is not found.
    Nav().SetFilterText(QStringLiteral("EOF"));
    Nav().cbFindMode->setCurrentIndex(TRecordNavigator::fmText);
    Nav().edFind->setText(QStringLiteral("needle"));
    QVERIFY(!Nav().FindNext(true));
    QCOMPARE(Form().lblStatusMessage->text(), Text(kStatusNotFound).arg(QStringLiteral("needle")));
  }

  void ctrlFAndCtrlGTakeTheFocusToTheirBoxes()
  {
    Form().pcXLS->setCurrentIndex(0);
    QTest::keyClick(&Form(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(Form().pcXLS->currentIndex(), 1);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Nav().edFind));
    QTest::keyClick(&Form(), Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Nav().edGoTo));
  }

  void goToSelectsTheRecordNamed_data()
  {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("record");
    const TRecordListModel& records = Form().Records();
    const std::uint64_t wide = records.Row(FBook.Wide).Offset;
    QTest::newRow("number") << "57" << 56;
    QTest::newRow("last number") << QString::number(FBook.Count) << FBook.Count - 1;
    QTest::newRow("hex offset of a header") << QStringLiteral("0x") + QString::number(wide, 16) << FBook.Wide;
    QTest::newRow("decimal offset inside the data") << QStringLiteral("@") + QString::number(wide + 9)
                                                    << FBook.Wide;
    QTest::newRow("hex offset, last byte") << QStringLiteral("@0x") +
                                                  QString::number(records.Row(FBook.Wide + 1).Offset - 1, 16)
                                           << FBook.Wide;
    QTest::newRow("offset 0") << "@0" << 0;
  }

  void goToSelectsTheRecordNamed()
  {
    QFETCH(QString, text);
    QFETCH(int, record);
    Reset();
    Nav().SetFilterText(QStringLiteral("SERIES"));
    QTest::keyClick(&Form(), Qt::Key_G, Qt::ControlModifier);
    QTest::keyClicks(Nav().edGoTo, text);
    QTest::keyClick(Nav().edGoTo, Qt::Key_Return);
    QCOMPARE(Current(), record);
    // The filter hid it: it is cleared, and the record's row is current.
    QCOMPARE(Form().lvRecords->model()->rowCount(), FBook.Count);
    QCOMPARE(Form().lvRecords->currentIndex().row(), record);
  }

  void goToRefusesWhatNamesNoRecord_data()
  {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("status");
    QTest::newRow("record 0") << "0" << Text(kStatusNoRecordNumber).arg(QStringLiteral("0")).arg(FBook.Count);
    QTest::newRow("one past the last")
        << QString::number(FBook.Count + 1)
        << Text(kStatusNoRecordNumber).arg(QString::number(FBook.Count + 1)).arg(FBook.Count);
    QTest::newRow("offset past the stream")
        << QStringLiteral("@0x") + QString::number(FBook.Stream.size(), 16)
        << Text(kStatusNoRecordAtOffset).arg(QStringLiteral("0x") + QString::number(FBook.Stream.size(), 16).toUpper());
    QTest::newRow("words") << "SST" << Text(kStatusBadGoTo).arg(QStringLiteral("SST"));
    QTest::newRow("bad hex") << "0x12G" << Text(kStatusBadGoTo).arg(QStringLiteral("0x12G"));
  }

  void goToRefusesWhatNamesNoRecord()
  {
    QFETCH(QString, text);
    QFETCH(QString, status);
    Reset();
    Nav().SelectRecord(7);
    QVERIFY(!Nav().GoTo(text));
    QCOMPARE(Form().lblStatusMessage->text(), status);
    QCOMPARE(Current(), 7);
  }

  void outlineShowsTheSubstreamsAndChartBlocks()
  {
    TNavigatorPane& pane = *Form().Pane;
    QTRY_VERIFY_WITH_TIMEOUT(pane.Ready(), 30000);
    QTreeWidget& tree = *pane.tvOutline;
    QCOMPARE(tree.topLevelItemCount(), 3);
    const auto row = [](QTreeWidgetItem* item) {
      return QStringList{item->text(0), item->text(1), item->text(2)};
    };
    QCOMPARE(row(tree.topLevelItem(0)), (QStringList{"Workbook globals", "4", "1"}));
    QCOMPARE(row(tree.topLevelItem(1)),
             (QStringList{"Worksheet \"Data\"", QString::number(kCells + 2), QString::number(FBook.SheetBof + 1)}));
    QTreeWidgetItem* chart = tree.topLevelItem(2);
    QCOMPARE(row(chart), (QStringList{"Chart \"Graph\"", "8", QString::number(FBook.ChartBof + 1)}));
    // CHART, BEGIN, SERIES, BEGIN, END, END: two blocks, one in the other.
    QCOMPARE(chart->childCount(), 1);
    QCOMPARE(chart->child(0)->childCount(), 1);
    QTreeWidgetItem* series = chart->child(0)->child(0);
    QCOMPARE(row(series), (QStringList{QString::fromLatin1(RecordDisplayName(kSeriesCode)), "3",
                                       QString::number(FBook.SeriesBlock + 1)}));
    // Selecting a node selects its first record.
    tree.setCurrentItem(series);
    QCOMPARE(Current(), FBook.SeriesBlock);
    tree.setCurrentItem(tree.topLevelItem(1));
    QCOMPARE(Current(), FBook.SheetBof);
  }

  void clickOnARecordTypeFiltersTheList()
  {
    TNavigatorPane& pane = *Form().Pane;
    QTRY_VERIFY_WITH_TIMEOUT(pane.Ready(), 30000);
    Reset();
    QTreeWidget& types = *pane.tvTypes;
    QList<QTreeWidgetItem*> label = types.findItems(QStringLiteral("0x0204"), Qt::MatchExactly, 0);
    QCOMPARE(label.size(), 1);
    QCOMPARE(label[0]->text(1), QStringLiteral("LABEL"));
    QCOMPARE(label[0]->text(2), QStringLiteral("3"));
    pane.pcTop->setCurrentWidget(&types);
    types.scrollToItem(label[0]);
    QTest::mouseClick(types.viewport(), Qt::LeftButton, {}, types.visualItemRect(label[0]).center());
    QCOMPARE(Nav().edFilter->text(), QStringLiteral("0x0204"));
    QCOMPARE(ShownNumbers(), (QList<int>{FBook.FirstNeedle + 1, FBook.SecondNeedle + 1, FBook.Wide + 1}));
    // The counts add up to the list, the bytes to the stream.
    qulonglong count = 0;
    qulonglong bytes = 0;
    for (int i = 0; i < types.topLevelItemCount(); ++i) {
      count += types.topLevelItem(i)->text(2).toULongLong();
      bytes += types.topLevelItem(i)->text(3).toULongLong();
    }
    QCOMPARE(count, qulonglong(FBook.Count));
    QCOMPARE(bytes, qulonglong(FBook.Stream.size()));
  }

  void problemRowsSelectTheirRecords()
  {
    TNavigatorPane& pane = *Form().Pane;
    QTRY_VERIFY_WITH_TIMEOUT(pane.Ready(), 30000);
    Reset();
    QTreeWidget& problems = *pane.tvProblems;
    QCOMPARE(problems.topLevelItemCount(), int(pane.Findings().size()));
    const QList<QTreeWidgetItem*> duplicate = problems.findItems(QStringLiteral("duplicate-cell"), Qt::MatchExactly, 1);
    QCOMPARE(duplicate.size(), 1);
    QCOMPARE(duplicate[0]->text(0), QStringLiteral("warning"));
    QCOMPARE(duplicate[0]->text(2), QString::number(FBook.Duplicate + 1));
    // Every row with a record selects it, filter or not.
    Nav().SetFilterText(QStringLiteral("BOF"));
    for (int i = 0; i < problems.topLevelItemCount(); ++i) {
      QTreeWidgetItem* item = problems.topLevelItem(i);
      if (item->text(2).isEmpty())
        continue;
      problems.setCurrentItem(item);
      QCOMPARE(Current() + 1, item->text(2).toInt());
    }
  }

  void thePanesSplitterIsKeptForTheNextRun()
  {
    QList<int> sizes;
    {
      TfrmMain form;
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      form.pcXLS->setCurrentIndex(1);
      QApplication::sendPostedEvents();
      sizes = form.SplitterPane->sizes();
      QVERIFY(sizes.size() == 2 && sizes[0] > 40 && sizes[1] > 40);
      sizes = {sizes[0] + sizes[1] - 40, 40};
      form.SplitterPane->setSizes(sizes);
      sizes = form.SplitterPane->sizes();
      form.close();
    }
    TfrmMain again;
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    again.pcXLS->setCurrentIndex(1);
    QApplication::sendPostedEvents();
    QCOMPARE(again.SplitterPane->sizes(), sizes);
  }

  void findCountsOnlyMatchesInsideOneRecordsData_data()
  {
    // [01 00 02 00 | 11 22] [22 33 02 00 | 44 55] [66 00 0A 00 | 77 88]:
    // the last record says 10 bytes, the stream ends after 2.
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<int>("from");  // -1: none
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("record");  // -1: not found
    QTest::addColumn<int>("byte");
    QTest::addColumn<bool>("wrapped");
    QTest::newRow("in data") << QByteArray("\x11\x22") << -1 << true << 0 << 0 << false;
    QTest::newRow("from data end into a header") << QByteArray("\x22\x22") << -1 << true << -1 << 0 << false;
    QTest::newRow("only in a header") << QByteArray("\x22\x33") << -1 << true << -1 << 0 << false;
    QTest::newRow("second byte of data") << QByteArray("\x55") << -1 << true << 1 << 1 << false;
    QTest::newRow("round to itself") << QByteArray("\x55") << 1 << true << 1 << 1 << true;
    QTest::newRow("after the current record") << QByteArray("\x88") << 1 << true << 2 << 1 << false;
    QTest::newRow("cut short: to the stream's end") << QByteArray("\x77\x88") << 0 << true << 2 << 0 << false;
    QTest::newRow("back") << QByteArray("\x11\x22") << 2 << false << 0 << 0 << false;
    QTest::newRow("back, round to the end") << QByteArray("\x88") << 1 << false << 2 << 1 << true;
    QTest::newRow("back, none in data") << QByteArray("\x22\x33") << 2 << false << -1 << 0 << false;
  }

  void findCountsOnlyMatchesInsideOneRecordsData()
  {
    QFETCH(QByteArray, pattern);
    QFETCH(int, from);
    QFETCH(bool, forward);
    QFETCH(int, record);
    QFETCH(int, byte);
    QFETCH(bool, wrapped);
    const std::vector<std::uint8_t> stream =
        TBiffBuilder().Record(0x0001, {0x11, 0x22}).Record(0x3322, {0x44, 0x55})
            .RecordWithLength(0x0066, 10, {0x77, 0x88}).Build();
    const std::vector<std::uint32_t> offsets{0, 6, 12};
    const std::vector<std::uint8_t> bytes(pattern.begin(), pattern.end());
    const auto hit = FindInRecords(stream, offsets, bytes,
                                   from < 0 ? std::nullopt : std::optional<std::size_t>(from), forward, nullptr);
    QCOMPARE(hit.has_value(), record >= 0);
    if (!hit)
      return;
    QCOMPARE(int(hit->Record), record);
    QCOMPARE(int(hit->Byte), byte);
    QCOMPARE(hit->Wrapped, wrapped);
  }

  void recordHoldingFindsTheRecordOfAByte()
  {
    // [01 00 02 00 | 11 22] [02 00 00 00] then 3 bytes of padding.
    const std::vector<std::uint8_t> stream =
        TBiffBuilder().Record(0x0001, {0x11, 0x22}).Record(0x0002, {}).Raw({0, 0, 0}).Build();
    const std::vector<std::uint32_t> offsets{0, 6};
    const QList<int> expected{0, 0, 0, 0, 0, 0, 1, 1, 1, 1, -1, -1, -1, -1};
    QList<int> found;
    for (std::uint64_t position = 0; position < 14; ++position) {
      const auto record = RecordHolding(stream, offsets, position);
      found << (record ? int(*record) : -1);
    }
    QCOMPARE(found, expected);
  }

  void filterModelBehavesUnderTheModelTester()
  {
    // Ten records of codes 1 and 2 in turn, loaded, filtered, appended to
    // and reloaded with the tester watching.
    TBiffBuilder builder;
    for (int i = 0; i < 11; ++i)
      builder.Record(static_cast<std::uint16_t>(1 + i % 2), {static_cast<std::uint8_t>(i)});
    const TSharedBytes stream(builder.Build());
    std::vector<TStreamRecord> listed;
    for (std::size_t i = 0; i < 11; ++i) {
      TStreamRecord record;
      record.Number = i + 1;
      record.Offset = i * 5;
      record.Header = {static_cast<std::uint16_t>(1 + i % 2), 1};
      record.Data = stream.Span().subspan(record.Offset + 4, 1);
      record.Stream = &stream;
      listed.push_back(record);
    }
    TRecordListModel records;
    TRecordFilterModel shown(records);
    QAbstractItemModelTester tester(&shown, QAbstractItemModelTester::FailureReportingMode::QtTest);
    {
      const TRecordListModel::TLoadGuard guard(records);
      for (std::size_t i = 0; i < 10; ++i)
        records.Append(listed[i]);
    }
    QCOMPARE(shown.rowCount(), 10);
    shown.SetFilter(FilterRecords(stream.Span(), records.Offsets(), std::vector<std::uint16_t>{2}));
    QCOMPARE(shown.rowCount(), 5);
    QCOMPARE(shown.index(4, TRecordListModel::rcNumber).data().toString(), QStringLiteral("10"));
    QCOMPARE(shown.RecordOfRow(4), 9);
    QCOMPARE(shown.RowOfRecord(9), 4);
    QCOMPARE(shown.RowOfRecord(8), -1);
    shown.ClearFilter();
    // A row appended outside a load shows at once.
    records.Append(listed[10]);
    QCOMPARE(shown.rowCount(), 11);
    shown.SetFilter({0, 10});
    // A new load drops the filter.
    {
      const TRecordListModel::TLoadGuard guard(records);
      records.Append(listed[0]);
    }
    QVERIFY(!shown.Filtered());
    QCOMPARE(shown.rowCount(), 1);
  }

  void containerListsEntriesSectorsAndTheRecordsPlace_data()
  {
    QTest::addColumn<int>("labels");
    QTest::addColumn<bool>("mini");
    // Past the mini stream's cutoff the stream has sectors of its own, with
    // records that cross from one into the next; below it, its bytes lie in
    // mini sectors inside the root entry's chain.
    QTest::newRow("regular sectors") << 60 << false;
    QTest::newRow("mini stream") << 20 << true;
  }

  void containerListsEntriesSectorsAndTheRecordsPlace()
  {
    QFETCH(int, labels);
    QFETCH(bool, mini);
    TBiffBuilder b;
    b.Bof(TExcelVersion::evExcel8, TBofType::btGlobals).BoundSheet("S", 1).Eof();
    b.Bof(TExcelVersion::evExcel8);
    for (std::uint16_t row = 0; row < labels; ++row)
      b.Label(row, 0, 0, std::string(100, static_cast<char>('a' + row % 26)));
    b.Eof();
    const std::vector<std::uint8_t> stream = b.Build();
    const std::vector<std::uint8_t> file = InCompoundFile(stream);
    const QString path = FHome->filePath(QStringLiteral("small.xls"));
    QVERIFY(WriteFile(path, file));
    TfrmMain form;
    form.ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.OpenFile(path);
    form.pcXLS->setCurrentIndex(1);
    TNavigatorPane& pane = *form.Pane;
    QTRY_VERIFY_WITH_TIMEOUT(pane.Ready(), 10000);

    const QList<QTreeWidgetItem*> workbook = pane.tvEntries->findItems(QStringLiteral("Workbook"), Qt::MatchExactly, 1);
    QCOMPARE(workbook.size(), 1);
    QCOMPARE(workbook[0]->text(2), Text(kEntryTypeStream));
    QCOMPARE(workbook[0]->text(3), QString::number(stream.size()));
    QCOMPARE(workbook[0]->text(5), Text(mini ? kYes : kNo));
    const QList<QTreeWidgetItem*> root = pane.tvEntries->findItems(QStringLiteral("Root Entry"), Qt::MatchExactly, 1);
    QCOMPARE(root.size(), 1);
    QCOMPARE(root[0]->text(2), Text(kEntryTypeRoot));
    QStringList uses;
    for (int i = 0; i < pane.tvSectors->topLevelItemCount(); ++i)
      uses << pane.tvSectors->topLevelItem(i)->text(2) + QLatin1Char(' ') + pane.tvSectors->topLevelItem(i)->text(3);
    QVERIFY2(uses.contains(Text(kSectorFat) + QLatin1Char(' ')), qPrintable(uses.join(QLatin1Char('|'))));
    QVERIFY2(uses.contains(Text(kSectorDirectory) + QLatin1Char(' ')), qPrintable(uses.join(QLatin1Char('|'))));
    const QString holder = mini ? Text(kSectorMiniStream) + QStringLiteral(" Root Entry")
                                : Text(kSectorStream) + QStringLiteral(" Workbook");
    QVERIFY2(uses.contains(holder), qPrintable(uses.join(QLatin1Char('|'))));

    // Each record's runs hold its bytes; one that crosses into the next
    // sector says so.
    const TRecordListModel& records = form.Records();
    const std::size_t sector = pane.Container()->SectorSize;
    int crossing = 0;
    for (int record = 0; record < records.Count(); ++record) {
      const TRecordRow row = records.Row(record);
      const std::size_t bytes = 4u + row.DataSize;
      form.Navigator->SelectRecord(record);
      const QString place = pane.lblRecordPlace->text();
      QVERIFY2(place.startsWith(Text(kContainerRecordPlace).arg(record + 1).section(QLatin1Char('%'), 0, 0)),
               qPrintable(place));
      std::vector<std::uint8_t> found;
      QRegularExpression run(QStringLiteral("0x([0-9A-F]+)-0x([0-9A-F]+)"));
      int runs = 0;
      for (auto match = run.globalMatch(place); match.hasNext(); ++runs) {
        const auto m = match.next();
        const std::size_t first = m.captured(1).toULongLong(nullptr, 16);
        const std::size_t last = m.captured(2).toULongLong(nullptr, 16);
        QVERIFY(first <= last && last < file.size());
        found.insert(found.end(), file.begin() + static_cast<std::ptrdiff_t>(first),
                     file.begin() + static_cast<std::ptrdiff_t>(last + 1));
      }
      const bool crosses = row.Offset / sector != (row.Offset + bytes - 1) / sector;
      crossing += crosses ? 1 : 0;
      QVERIFY(runs >= 1);
      if (!mini)
        QCOMPARE(place.contains(QStringLiteral("(sectors ")), crosses);
      QCOMPARE(found, std::vector<std::uint8_t>(stream.begin() + static_cast<std::ptrdiff_t>(row.Offset),
                                                stream.begin() + static_cast<std::ptrdiff_t>(row.Offset + bytes)));
    }
    QVERIFY(mini || crossing > 5);
  }
};

QTEST_MAIN(TstNavigation)
#include "tst_Navigation.moc"
