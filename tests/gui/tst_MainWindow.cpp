// The main window's open flow on corpus workbooks and on hand-made files:
// record rows, sheet tabs, the preview, failures, and the window's layout.

#include "hexdump/HexDump.h"
#include "ui/CommandLine.h"
#include "ui/Identity.h"
#include "ui/LinkLabel.h"
#include "ui/MainWindow.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/UiMessages.h"
#include "xls/MSExcel.h"
#include "support/CompoundFileBuilder.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <vector>

namespace {

const QString kCorpus = QStringLiteral(BIFFLENS_CORPUS_DIR);

QString CorpusFile(const QString& name)
{
  return kCorpus + QLatin1Char('/') + name;
}

std::vector<QJsonObject> JsonLines(const QString& path)
{
  std::vector<QJsonObject> lines;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return lines;
  while (!file.atEnd()) {
    const QByteArray line = file.readLine().trimmed();
    if (!line.isEmpty())
      lines.push_back(QJsonDocument::fromJson(line).object());
  }
  return lines;
}

// The independent record walk of a corpus file: one object per record.
std::vector<QJsonObject> WalkedRecords(const QString& name)
{
  std::vector<QJsonObject> lines = JsonLines(kCorpus + QStringLiteral("/records/") + name +
                                             QStringLiteral(".jsonl"));
  if (!lines.empty())
    lines.erase(lines.begin());  // the meta line
  return lines;
}

QString Text(const QAbstractItemModel& model, int row, int column)
{
  return model.data(model.index(row, column)).toString();
}

// Records an error box instead of showing it.
struct TErrorLog {
  QStringList Captions;
  QStringList Texts;
  void Attach(TfrmMain& form)
  {
    form.ErrorPresenter = [this](QWidget*, const QString& caption, const QString& text) {
      Captions << caption;
      Texts << text;
    };
  }
};

// Checks the grid against the peer reader's cells of one sheet.
void CompareGridWithReference(const TfrmMain& form, const QString& file, int sheet)
{
  const TPreviewModel& grid = form.sgXLS->PreviewModel();
  int checked = 0;
  for (const QJsonObject& cell : JsonLines(kCorpus + QStringLiteral("/reference/") + file +
                                           QStringLiteral(".jsonl"))) {
    if (cell.value(QStringLiteral("meta")).toBool() ||
        cell.value(QStringLiteral("sheet")).toInt() != sheet)
      continue;
    const int row = cell.value(QStringLiteral("row")).toInt();
    const int col = cell.value(QStringLiteral("col")).toInt();
    if (row >= TPreviewModel::kPreviewRowLimit)
      continue;
    const QString shown = Text(grid, row, col);
    const QString type = cell.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("string")) {
      QCOMPARE(shown, cell.value(QStringLiteral("value")).toString());
    } else if (type == QLatin1String("double")) {
      const double expected = cell.value(QStringLiteral("value")).toDouble();
      bool ok = false;
      const double value = shown.toDouble(&ok);
      QVERIFY2(ok, qPrintable(shown));
      QVERIFY2(std::fabs(value - expected) <= 1e-9 * std::max(1.0, std::fabs(expected)),
               qPrintable(shown));
    } else if (type == QLatin1String("boolean")) {
      QCOMPARE(shown, cell.value(QStringLiteral("value")).toBool() ? QStringLiteral("True")
                                                                    : QStringLiteral("False"));
    }
    ++checked;
  }
  QVERIFY(checked > 0);
}

// A compound file whose BIFF8 workbook stream holds the workbook globals
// only (BOF and EOF): a workbook without a sheet.
QByteArray GlobalsOnlyWorkbook()
{
  std::vector<std::uint8_t> bytes;
  const auto u16 = [&bytes](int value) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
  };
  u16(0x0809);  // BOF
  u16(16);
  u16(0x0600);  // BIFF8
  u16(0x0005);  // workbook globals
  bytes.resize(bytes.size() + 12, 0);
  u16(0x000A);  // EOF
  u16(0);
  const std::vector<std::uint8_t> file = TCompoundFileBuilder().AddStream("Workbook", bytes).Build();
  return QByteArray(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
}

}  // namespace

class TstMainWindow : public QObject {
  Q_OBJECT

private:
  QString FProfiles = CorpusFile(QStringLiteral("xlrd__profiles.xls"));

private slots:
  void initTestCase()
  {
    if (!QFile::exists(FProfiles))
      QSKIP("corpus folder not found");
  }

  void recordRowsMatchAnIndependentWalkOfTheStream()
  {
    for (const QString& name : {QStringLiteral("xlrd__ragged.xls"), QStringLiteral("libxls__test2.xls"),
                               QStringLiteral("xlrd__biff4_no_format_no_window2.xls")}) {
      TfrmMain form;
      TErrorLog errors;
      errors.Attach(form);
      form.OpenFile(CorpusFile(name));
      QVERIFY2(errors.Texts.isEmpty(), qPrintable(errors.Texts.join(';')));
      const std::vector<QJsonObject> walked = WalkedRecords(name);
      const TRecordListModel& rows = form.Records();
      QCOMPARE(rows.rowCount(), static_cast<int>(walked.size()));
      for (int i = 0; i < rows.rowCount(); ++i) {
        const QJsonObject& record = walked[static_cast<std::size_t>(i)];
        const TRecordRow& row = rows.Row(i);
        QCOMPARE(Text(rows, i, TRecordListModel::rcNumber), QString::number(i + 1));
        QCOMPARE(int(row.Code), record.value(QStringLiteral("code")).toInt());
        QCOMPARE(int(row.Length), record.value(QStringLiteral("length")).toInt());
        QCOMPARE(qint64(row.Offset), record.value(QStringLiteral("offset")).toInteger());
        QCOMPARE(rows.RowBytes(i).size(), std::size_t{row.Length});
      }
    }
  }

  void openShowsOneTabPerSheetAndTheFirstSheetAtOnce()
  {
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.OpenFile(FProfiles);
    QVERIFY(errors.Texts.isEmpty());
    const QJsonObject meta = JsonLines(kCorpus + QStringLiteral("/reference/xlrd__profiles.xls.jsonl"))
                                 .front();
    const QJsonArray sheets = meta.value(QStringLiteral("sheets")).toArray();
    QCOMPARE(form.tsSheets->count(), sheets.size());
    for (int i = 0; i < form.tsSheets->count(); ++i)
      QCOMPARE(form.tsSheets->tabText(i), sheets[i].toString());
    QCOMPARE(form.tsSheets->currentIndex(), 0);
    QVERIFY(!form.sgXLS->isHidden());
    CompareGridWithReference(form, QStringLiteral("xlrd__profiles.xls"), 0);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void clickingTheSecondTabShowsTheSecondSheet()
  {
    TfrmMain form;
    form.OpenFile(FProfiles);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QRect tab = form.tsSheets->tabRect(1);
    QTest::mouseClick(form.tsSheets, Qt::LeftButton, {}, tab.center());
    QCOMPARE(form.tsSheets->currentIndex(), 1);
    CompareGridWithReference(form, QStringLiteral("xlrd__profiles.xls"), 1);
  }

  void aFailedLoadKeepsItsRowsRestoresTheCursorAndReports()
  {
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.OpenFile(FProfiles);
    // Watch the cursor from inside the load.
    bool waitCursorDuringLoad = false;
    const TOnStreamRecord windowHandler = form.Excel().OnStreamRecord;
    form.Excel().OnStreamRecord = [&](const TStreamRecord& record) {
      waitCursorDuringLoad = QApplication::overrideCursor() != nullptr &&
                             QApplication::overrideCursor()->shape() == Qt::WaitCursor;
      windowHandler(record);
    };
    const QString encrypted = QStringLiteral("calamine__issue_385.xls");
    form.OpenFile(CorpusFile(encrypted));
    QVERIFY(waitCursorDuringLoad);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(errors.Texts, QStringList{QStringLiteral("Could not read the password protected file.")});
    QCOMPARE(errors.Captions, QStringList{QString::fromLatin1(kProductName)});
    // The rows read up to the failing record stay, numbered from 1.
    const std::vector<QJsonObject> walked = WalkedRecords(encrypted);
    int upToFilePass = 0;
    while (walked[static_cast<std::size_t>(upToFilePass)].value(QStringLiteral("code")).toInt() != 0x002F)
      ++upToFilePass;
    QCOMPARE(form.Records().rowCount(), upToFilePass + 1);
    QCOMPARE(Text(form.Records(), 0, TRecordListModel::rcNumber), QStringLiteral("1"));
    // No tabs; the grid shown in its reset state.
    QCOMPARE(form.tsSheets->count(), 0);
    QVERIFY(!form.sgXLS->isHidden());
    QCOMPARE(form.sgXLS->PreviewModel().rowCount(), 1);
    QCOMPARE(form.sgXLS->PreviewModel().headerData(0, Qt::Horizontal).toString(), QString());
    // The change handler is back: selecting a row shows its bytes.
    form.lvRecords->selectRow(0);
    QVERIFY(form.Dump->HasData());
    QCOMPARE(form.Dump->DataLength(), int(form.Records().Row(0).Length));
  }

  void aMissingFileOrADirectoryHidesTheGridSilently()
  {
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.OpenFile(FProfiles);
    const int rows = form.Records().rowCount();
    QVERIFY(rows > 0);
    for (const QString& name : {CorpusFile(QStringLiteral("no such workbook.xls")), kCorpus,
                                QString()}) {
      form.OpenFile(name);
      QVERIFY(form.sgXLS->isHidden());
      QCOMPARE(form.tsSheets->count(), 0);
      QCOMPARE(form.Records().rowCount(), rows);
    }
    QVERIFY(errors.Texts.isEmpty());
  }

  void aSecondLoadLeavesNothingOfTheFirst()
  {
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.OpenFile(FProfiles);
    form.lvRecords->selectRow(0);
    QVERIFY(form.Dump->HasData());
    const QString second = QStringLiteral("xlrd__ragged.xls");
    form.OpenFile(CorpusFile(second));
    QVERIFY(errors.Texts.isEmpty());
    QCOMPARE(form.Records().rowCount(), static_cast<int>(WalkedRecords(second).size()));
    QCOMPARE(Text(form.Records(), 0, TRecordListModel::rcNumber), QStringLiteral("1"));
    QCOMPARE(form.tsSheets->count(), 3);
    QCOMPARE(form.tsSheets->tabText(0), QStringLiteral("Sheet1"));
    // The dump let go of the first workbook's bytes before they were freed.
    QVERIFY(!form.Dump->HasData());
    QCOMPARE(form.Dump->DataLength(), 0);
    QVERIFY(form.lvRecords->selectionModel()->selectedRows().isEmpty());
    CompareGridWithReference(form, second, 0);
    // Nothing of the first workbook's grid remains past the second's extent.
    QCOMPARE(form.sgXLS->PreviewModel().rowCount(), form.Excel().Sheets().Items(0).Cells.RowCount);
  }

  void selectingARecordShowsItsBytesFromTheFirstLine()
  {
    TfrmMain form;
    form.OpenFile(FProfiles);
    form.pcXLS->setCurrentIndex(1);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    int longRow = 0;
    while (form.Records().Row(longRow).Length < 100)
      ++longRow;
    form.lvRecords->selectRow(longRow);
    QCOMPARE(form.Dump->DataLength(), int(form.Records().Row(longRow).Length));
    QCOMPARE(form.Dump->MarkedLine(), 0);
    QCOMPARE(form.Dump->FirstVisibleLine(), 0);
    // Keys move within the record, then a new row starts at line 0 again.
    form.Dump->setFocus();
    QTest::keyClick(form.Dump, Qt::Key_End);
    QVERIFY(form.Dump->MarkedLine() > 0);
    form.lvRecords->selectRow(longRow + 1);
    QCOMPARE(form.Dump->MarkedLine(), 0);
    // A record of length 0 empties the dump.
    int emptyRow = 0;
    while (emptyRow < form.Records().rowCount() && form.Records().Row(emptyRow).Length != 0)
      ++emptyRow;
    if (emptyRow < form.Records().rowCount()) {
      form.lvRecords->selectRow(emptyRow);
      QVERIFY(!form.Dump->HasData());
    }
  }

  void enterLoadsWhateverModifiersAreHeld()
  {
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier)}) {
      TfrmMain form;
      form.edXLSFileName->setText(FProfiles);
      QTest::keyClick(form.edXLSFileName, Qt::Key_A);
      QCOMPARE(form.Records().rowCount(), 0);
      form.edXLSFileName->setText(FProfiles);
      QTest::keyClick(form.edXLSFileName, Qt::Key_Return, modifiers);
      QVERIFY(form.Records().rowCount() > 0);
      QCOMPARE(form.tsSheets->count(), 5);
    }
    TfrmMain form;
    form.edXLSFileName->setText(FProfiles);
    QTest::keyClick(form.edXLSFileName, Qt::Key_Enter);
    QVERIFY(form.Records().rowCount() > 0);
  }

  void theOpenButtonRunsTheOpenFlow()
  {
    TfrmMain form;
    form.edXLSFileName->setText(FProfiles);
    form.btnConvert->trigger();
    QCOMPARE(form.tsSheets->count(), 5);
  }

  void aWorkbookWithoutSheetsReportsTabIndexOutOfBounds()
  {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("globals.xls"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(GlobalsOnlyWorkbook());
    file.close();
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.OpenFile(path);
    QCOMPARE(errors.Texts, QStringList{QString::fromLatin1(kMsgTabIndexOutOfBounds) + '.'});
    QCOMPARE(form.Records().rowCount(), 2);
    QCOMPARE(form.tsSheets->count(), 0);
    QCOMPARE(form.sgXLS->PreviewModel().rowCount(), 1);
  }

  void layoutFollowsTheWindowsSizeRules()
  {
    TfrmMain form;
    QCOMPARE(form.windowTitle(), QString::fromLatin1(kProductName));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.pcXLS->setCurrentIndex(1);
    QApplication::sendPostedEvents();
    QCOMPARE(form.Dump->height(), TfrmMain::kDumpHeight);
    QVERIFY(form.Dump->RelativeAddress());
    const QPoint logo = form.imgLogo->pos();
    QCOMPARE(form.imgLogo->size(), QSize(kLogoWidth, kLogoHeight));
    QVERIFY(!form.imgLogo->pixmap().isNull());
    for (const QSize size : {QSize(700, 500), QSize(620, 420)}) {
      form.resize(size);
      QApplication::sendPostedEvents();
      QCOMPARE(form.size(), size);
      const QWidget* client = form.centralWidget();
      const QRect pages = form.pcXLS->geometry();
      QCOMPARE(pages.left(), TfrmMain::kPagesLeft);
      QCOMPARE(pages.right() + 1, client->width() - TfrmMain::kPagesMargin);
      QCOMPARE(pages.bottom() + 1, client->height() - TfrmMain::kPagesMargin);
      QCOMPARE(client->mapTo(&form, pages.topLeft()).y(), TfrmMain::kPagesTop);
      QCOMPARE(form.imgLogo->pos(), logo);
    }
    const QStringList columns = {"#", "Code", "Length", "Name", "Offset"};
    for (int i = 0; i < columns.size(); ++i)
      QCOMPARE(form.lvRecords->model()->headerData(i, Qt::Horizontal).toString(), columns[i]);
    QCOMPARE(form.lvRecords->columnWidth(3), 220);
    QCOMPARE(form.pcXLS->tabText(0), QStringLiteral("Preview"));
    QCOMPARE(form.pcXLS->tabText(1), QStringLiteral("Original records"));
    QCOMPARE(form.btnConvert->toolTip(), QStringLiteral("Load selected XLS file"));
  }

  void browsingOnlyFillsTheFileNameBox()
  {
    TfrmMain form;
    form.OpenFile(FProfiles);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int rows = form.Records().rowCount();
    const QString other = CorpusFile(QStringLiteral("xlrd__ragged.xls"));
    QStringList filters;
    // The dialog is modal: choose from inside its event loop.
    QTimer::singleShot(0, &form, [&] {
      auto* dialog = form.findChild<QFileDialog*>();
      if (dialog == nullptr)
        return;
      filters = dialog->nameFilters();
      dialog->selectFile(other);
      static_cast<QDialog*>(dialog)->accept();
    });
    QTest::mouseClick(form.btnXLSFileName, Qt::LeftButton);
    QCOMPARE(filters, (QStringList{QStringLiteral("MS Excel workbooks (*.xls)"),
                                   QStringLiteral("MS Excel spreadsheets (*.xls)"),
                                   QStringLiteral("All files (*)")}));
    QCOMPARE(QFileInfo(form.edXLSFileName->text()).canonicalFilePath(), QFileInfo(other).canonicalFilePath());
    QCOMPARE(form.Records().rowCount(), rows);
    QCOMPARE(form.tsSheets->count(), 5);
  }

  void theCommandLineTakesOneOptionalFileName()
  {
    const TCommandLine none = ParseCommandLine({QStringLiteral("bifflens")});
    QVERIFY(none.Valid);
    QVERIFY(none.FileName.isEmpty());
    const TCommandLine one = ParseCommandLine({QStringLiteral("bifflens"), FProfiles});
    QVERIFY(one.Valid);
    QCOMPARE(one.FileName, FProfiles);
    QVERIFY(!ParseCommandLine({QStringLiteral("bifflens"), FProfiles, FProfiles}).Valid);
  }

  void theHomePageLinkOpensTheHomePage()
  {
    std::vector<std::string> opened;
    const TUrlOpener saved = UrlOpener();
    UrlOpener() = [&opened](const std::string& target) { opened.push_back(target); };
    TfrmMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.lblTarvex, Qt::LeftButton, {}, form.lblTarvex->rect().center());
    UrlOpener() = saved;
    QCOMPARE(opened, std::vector<std::string>{kHomePageUrl});
  }
};

QTEST_MAIN(TstMainWindow)
#include "tst_MainWindow.moc"
