// The main window's open flow on corpus workbooks and on hand-made files:
// record rows, sheet tabs, the preview, failures, and the window's layout;
// menus and shortcuts, dropping a file, copying, the status bar and the
// settings kept between runs.

#include "hexdump/HexDump.h"
#include "ui/CommandLine.h"
#include "ui/Identity.h"
#include "ui/LinkLabel.h"
#include "ui/MainWindow.h"
#include "ui/NavigatorPane.h"
#include "ui/PasswordDialog.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/RecordInspector.h"
#include "ui/RecordNavigator.h"
#include "ui/UiMessages.h"
#include "ui/UiTexts.h"
#include "xls/MSExcel.h"
#include "xls/crypto/Secret.h"
#include "support/BiffBuilder.h"
#include "support/CompoundFileBuilder.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cmath>
#include <memory>
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

// The same for a workbook of the encrypted corpus.
std::vector<QJsonObject> WalkedEncryptedRecords(const QString& name)
{
  return WalkedRecords(QStringLiteral("../encrypted/records/") + name);
}

QString Text(const QAbstractItemModel& model, int row, int column)
{
  return model.data(model.index(row, column)).toString();
}

// Answers the password requests with the given passwords in turn, then
// cancels; keeps what each request showed.
struct TPasswordAnswers {
  QStringList Passwords;
  QStringList Schemes;
  QList<bool> Retries;
  bool ArrowCursor = true;  // every request saw the arrow, not the wait cursor
  void Attach(TfrmMain& form)
  {
    form.PasswordPrompter = [this](QWidget*, const QString& scheme, bool retry, TSecret& password) {
      Schemes << scheme;
      Retries << retry;
      ArrowCursor = ArrowCursor && QApplication::overrideCursor() &&
                    QApplication::overrideCursor()->shape() == Qt::ArrowCursor;
      if (Passwords.isEmpty())
        return false;
      password.Assign(Passwords.takeFirst().toStdString());
      return true;
    };
  }
};

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

// Writes `bytes` to `name` in `dir` and returns the path.
QString WriteFile(const QTemporaryDir& dir, const QString& name, const std::vector<std::uint8_t>& bytes)
{
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return {};
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return path;
}

// A BIFF8 workbook in a compound file whose sheets have these names, each
// with one number cell.
std::vector<std::uint8_t> WorkbookWithSheets(const std::vector<std::string>& names)
{
  TBiffBuilder book;
  book.Bof(TExcelVersion::evExcel8, TBofType::btGlobals);
  for (std::size_t i = 0; i < names.size(); ++i)
    book.BoundSheet(names[i], static_cast<int>(i) + 1);
  book.Eof();
  for (std::size_t i = 0; i < names.size(); ++i)
    book.Bof(TExcelVersion::evExcel8).Number(0, 0, 15, double(i)).Eof();
  return InCompoundFile(book.Build());
}

// The text a label of the status bar shows, empty when it is hidden.
QString Shown(const QLabel* label)
{
  return label->isHidden() ? QString() : label->text();
}

// Drops `path` on `target` as a file manager would.
void DropFile(QWidget* target, const QString& path)
{
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  QVERIFY(drop.isAccepted());
}

// Runs `action` on the modal dialog of type T once it shows.
template <typename T, typename Action>
void OnNextDialog(QObject* context, Action action)
{
  QTimer::singleShot(0, context, [action] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dialog = qobject_cast<T*>(w); dialog && dialog->isVisible()) {
        action(*dialog);
        return;
      }
  });
}

}  // namespace

class TstMainWindow : public QObject {
  Q_OBJECT

private:
  QString FProfiles = CorpusFile(QStringLiteral("xlrd__profiles.xls"));
  std::unique_ptr<QTemporaryDir> FSettingsDir;

private slots:
  void initTestCase()
  {
    // The settings of the tests, never the user's.
    FSettingsDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FSettingsDir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FSettingsDir->path());
    if (!QFile::exists(FProfiles))
      QSKIP("corpus folder not found");
  }

  // Each test starts as a first run.
  void init()
  {
    QSettings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganization),
              QString::fromLatin1(kSettingsApplication))
        .clear();
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

  void aLoadThatStopsEarlyShowsTheSheetsItReadAfterTheErrorBox()
  {
    // A workbook whose directory tree loops: its stream is found all the
    // same, its sheet read, and the load then fails with the damage.
    TBiffBuilder book;
    book.Bof(TExcelVersion::evExcel8, TBofType::btGlobals).BoundSheet("Kept", 1).Eof();
    book.Bof(TExcelVersion::evExcel8).Number(0, 0, 0, 12.5).Eof();
    TCompoundFileImage image = TCompoundFileBuilder().AddStream("Workbook", book.Build()).BuildImage();
    const std::uint32_t id = image.Layout.Stream("Workbook").EntryId;
    const std::size_t left = image.Layout.EntryOffset(id) + kCfbEntryLeft;
    for (int k = 0; k < 4; ++k)
      image.Bytes[left + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(id >> (8 * k));
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("loops.xls"), image.Bytes);
    TfrmMain form;
    int tabsWhenTheBoxShowed = -1;
    QStringList texts;
    form.ErrorPresenter = [&](QWidget*, const QString&, const QString& text) {
      tabsWhenTheBoxShowed = form.tsSheets->count();
      texts << text;
    };
    form.OpenFile(path);
    QCOMPARE(texts, QStringList{QStringLiteral(
                        "Compound file is damaged: directory tree loops: entry 1 links back to entry 1.")});
    QCOMPARE(tabsWhenTheBoxShowed, 0);
    QCOMPARE(form.tsSheets->count(), 1);
    QCOMPARE(form.tsSheets->tabText(0), QStringLiteral("Kept"));
    QCOMPARE(form.sgXLS->PreviewModel().data(form.sgXLS->PreviewModel().index(0, 0)).toString(),
             QStringLiteral("12.5"));
    const QString status = form.lblStatusMessage->text();
    QVERIFY2(status.contains(QStringLiteral("directory tree loops")), qPrintable(status));
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
    // A workbook whose password the user does not give.
    TPasswordAnswers cancel;
    cancel.Attach(form);
    const QString encrypted = QStringLiteral("enc_rc4_bifflens.xls");
    form.OpenFile(CorpusFile(QStringLiteral("encrypted/") + encrypted));
    QVERIFY(waitCursorDuringLoad);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(errors.Texts, QStringList{QStringLiteral("Could not read the password protected file.")});
    QCOMPARE(errors.Captions, QStringList{QString::fromLatin1(kProductName)});
    // Every record stays listed, numbered from 1: the records after FILEPASS
    // as stored.
    QCOMPARE(cancel.Schemes.size(), 1);
    QCOMPARE(form.Records().rowCount(), static_cast<int>(WalkedEncryptedRecords(encrypted).size()));
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
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.pcXLS->setCurrentIndex(1);
    QApplication::sendPostedEvents();
    QCOMPARE(form.Dump->height(), TfrmMain::kDumpHeight);
    QVERIFY(form.Dump->RelativeAddress());
    const QPoint logo = form.imgLogo->pos();
    QCOMPARE(form.imgLogo->size(), QSize(kLogoWidth, kLogoHeight));
    QVERIFY(!form.imgLogo->pixmap().isNull());
    for (const QSize size : {QSize(900, 700), QSize(700, 500)}) {
      form.resize(size);
      QApplication::sendPostedEvents();
      QCOMPARE(form.size(), size);
      const QWidget* client = form.centralWidget();
      const QRect pages = form.pcXLS->geometry();
      QCOMPARE(pages.left(), TfrmMain::kPagesLeft);
      QCOMPARE(pages.right() + 1, client->width() - TfrmMain::kPagesMargin);
      QCOMPARE(pages.bottom() + 1, client->height() - TfrmMain::kPagesMargin);
      // 40 pixels below the tool strip's top, as the window had before it
      // had a menu bar.
      QCOMPARE(client->mapTo(&form, pages.topLeft()).y() - form.cbMain->geometry().top(),
               TfrmMain::kPagesTop);
      QCOMPARE(form.imgLogo->pos(), logo);
    }
    const QStringList columns = {"#", "Code", "Length", "Name", "Type", "Offset"};
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
  // --- Display faults ----------------------------------------------------

  void sheetCaptionsWithAmpersandsShowLiterally()
  {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("amp.xls"), WorkbookWithSheets({"Sheet1", "P&L", "R&&D"}));
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.OpenFile(path);
    QVERIFY2(errors.Texts.isEmpty(), qPrintable(errors.Texts.join(';')));
    QCOMPARE(form.tsSheets->count(), 3);
    // What the tab shows, as assistive technology reads it off the tab.
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(form.tsSheets);
    QVERIFY(bar != nullptr);
    QCOMPARE(bar->child(1)->text(QAccessible::Name), QStringLiteral("P&L"));
    QCOMPARE(bar->child(2)->text(QAccessible::Name), QStringLiteral("R&&D"));
    // No mnemonic: Alt+L does not pick the "P&L" tab.
    QTest::keyClick(&form, Qt::Key_L, Qt::AltModifier);
    QCOMPARE(form.tsSheets->currentIndex(), 0);
  }

  void aNewLoadStartsAtTheTopWithFreshWidths()
  {
    const QString ragged = CorpusFile(QStringLiteral("xlrd__ragged.xls"));
    QTemporaryDir dir;
    // No column widths of its own: the grid's defaults show.
    const QString plain = WriteFile(dir, QStringLiteral("plain.xls"), WorkbookWithSheets({"Sheet1"}));
    TfrmMain fresh;
    fresh.OpenFile(plain);
    TfrmMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.pcXLS->setCurrentIndex(1);
    form.OpenFile(FProfiles);
    QApplication::sendPostedEvents();
    form.lvRecords->selectRow(form.Records().rowCount() - 1);
    QVERIFY(form.lvRecords->FirstVisibleRow() > 0);
    form.OpenFile(ragged);
    QApplication::sendPostedEvents();
    QVERIFY(form.Records().rowCount() > 2 * form.lvRecords->viewport()->height() / form.lvRecords->fontMetrics().height());
    QCOMPARE(form.lvRecords->FirstVisibleRow(), 0);
    QCOMPARE(form.lvRecords->horizontalScrollBar()->value(), 0);

    form.pcXLS->setCurrentIndex(0);
    form.sgXLS->setColumnWidth(0, 311);
    form.sgXLS->verticalScrollBar()->setValue(form.sgXLS->verticalScrollBar()->maximum());
    form.OpenFile(plain);
    QApplication::sendPostedEvents();
    QCOMPARE(form.sgXLS->PreviewModel().columnCount(), fresh.sgXLS->PreviewModel().columnCount());
    for (int i = 0; i < form.sgXLS->PreviewModel().columnCount(); ++i)
      QCOMPARE(form.sgXLS->columnWidth(i), fresh.sgXLS->columnWidth(i));
    QCOMPARE(form.sgXLS->verticalScrollBar()->value(), 0);
  }

  void aRecordCutShortSaysSoUnderItsBytes()
  {
    QTemporaryDir dir;
    // A bare stream whose last record claims 100 bytes and has 10.
    const std::vector<std::uint8_t> stream = TBiffBuilder()
                                                 .Bof(TExcelVersion::evExcel8)
                                                 .Number(0, 0, 15, 1.5)
                                                 .RecordWithLength(0x0203, 100, std::vector<std::uint8_t>(10, 0x41))
                                                 .Build();
    const QString path = WriteFile(dir, QStringLiteral("cut.xls"), stream);
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.OpenFile(path);
    const int last = form.Records().rowCount() - 1;
    QCOMPARE(int(form.Records().Row(last).Length), 100);
    form.lvRecords->selectRow(last);
    QCOMPARE(form.Dump->DataLength(), 10);
    QCOMPARE(form.Dump->Note(), QStringLiteral("record cut short: 10 of 100 bytes present"));
    // A whole record has no note.
    form.lvRecords->selectRow(last - 1);
    QCOMPARE(form.Dump->Note(), QString());
  }

  void theNumberColumnFitsTheLastRecordNumber()
  {
    TfrmMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.OpenFile(FProfiles);
    const QModelIndex last = form.Records().index(form.Records().rowCount() - 1, TRecordListModel::rcNumber);
    QStyleOptionViewItem option;
    option.initFrom(form.lvRecords);
    option.font = form.lvRecords->font();
    const int needed = form.lvRecords->itemDelegate()->sizeHint(option, last).width();
    QVERIFY2(form.lvRecords->columnWidth(0) >= needed, qPrintable(QString::number(needed)));
  }

  // --- The window's size -------------------------------------------------

  void theWindowStartsAtAWorkingSizeAndShrinksNoFurtherThanItsMinimum()
  {
    TfrmMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.OpenFile(FProfiles);
    form.pcXLS->setCurrentIndex(1);
    QApplication::sendPostedEvents();
    // Within 1280 x 800 with room for the frame and a panel.
    QCOMPARE(form.size(), QSize(TfrmMain::kDefaultWidth, TfrmMain::kDefaultHeight));
    QVERIFY(form.frameGeometry().width() <= 1280 - 100 && form.frameGeometry().height() <= 800 - 80);
    const auto rowsShown = [&] { return form.lvRecords->viewport()->height() / (form.lvRecords->fontMetrics().height() + 4); };
    QVERIFY2(rowsShown() >= 15, qPrintable(QString::number(rowsShown())));
    int columns = 0;
    for (int i = 0; i < TRecordListModel::rcColumnCount; ++i)
      columns += form.lvRecords->columnWidth(i);
    QVERIFY(columns <= form.lvRecords->viewport()->width());
    QCOMPARE(form.Dump->LineBytes(), 16);

    // Smaller than the minimum stops at it, with the tool strip whole and
    // the list and dump still usable.
    form.resize(100, 100);
    QApplication::sendPostedEvents();
    QCOMPARE(form.size(), QSize(TfrmMain::kMinimumWidth, TfrmMain::kMinimumHeight));
    for (QAction* button : form.tbMain->actions()) {
      QWidget* widget = form.tbMain->widgetForAction(button);
      QVERIFY(widget != nullptr && widget->isVisible());
      QVERIFY(form.rect().contains(widget->mapTo(&form, widget->rect().bottomRight())));
    }
    QVERIFY(form.rect().contains(form.btnXLSFileName->mapTo(&form, form.btnXLSFileName->rect().bottomRight())));
    QVERIFY2(rowsShown() >= 5, qPrintable(QString::number(rowsShown())));
    QVERIFY(form.Dump->PageLines() >= 5);

    // Maximised, the pages follow the window.
    form.showMaximized();
    QTRY_VERIFY(form.isMaximized());
    QApplication::sendPostedEvents();
    const QWidget* client = form.centralWidget();
    QCOMPARE(form.pcXLS->geometry().right() + 1, client->width() - TfrmMain::kPagesMargin);
    QCOMPARE(form.pcXLS->geometry().bottom() + 1, client->height() - TfrmMain::kPagesMargin);
  }

  void geometrySplitterAndColumnsAreKeptForTheNextRun()
  {
    QByteArray splitter;
    {
      TfrmMain form;
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      form.pcXLS->setCurrentIndex(1);
      QApplication::sendPostedEvents();
      form.resize(900, 640);
      QApplication::sendPostedEvents();
      form.SplitterHex->setSizes({200, 220});
      splitter = form.SplitterHex->saveState();
      form.lvRecords->setColumnWidth(TRecordListModel::rcName, 333);
      form.actQuit->trigger();
      QVERIFY(!form.isVisible());
    }
    TfrmMain next;
    next.show();
    QVERIFY(QTest::qWaitForWindowExposed(&next));
    next.pcXLS->setCurrentIndex(1);
    QApplication::sendPostedEvents();
    QCOMPARE(next.size(), QSize(900, 640));
    QCOMPARE(next.SplitterHex->saveState(), splitter);
    QCOMPARE(next.lvRecords->columnWidth(TRecordListModel::rcName), 333);
  }

  // --- Menus and shortcuts -----------------------------------------------

  void menusHoldTheStandardCommandsWithTheirShortcuts()
  {
    TfrmMain form;
    const QStringList menus = {"&File", "&Edit", "&View", "&Help"};
    QStringList titles;
    for (QAction* menu : form.menuBar()->actions())
      titles << menu->text();
    QCOMPARE(titles, menus);
    QCOMPARE(form.actOpen->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(form.actQuit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    QCOMPARE(form.actCopy->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    QCOMPARE(form.actAbout->shortcut(), QKeySequence(QStringLiteral("F1")));
    QVERIFY(form.mnuFile->actions().contains(form.mnuRecent->menuAction()));
  }

  void ctrlOOpensTheChosenFileAtOnceFromTheCurrentFolder()
  {
    TfrmMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.OpenFile(FProfiles);
    const QString other = CorpusFile(QStringLiteral("xlrd__ragged.xls"));
    QString startedIn;
    OnNextDialog<QFileDialog>(&form, [&](QFileDialog& dialog) {
      startedIn = dialog.directory().absolutePath();
      dialog.selectFile(other);
      static_cast<QDialog&>(dialog).accept();
    });
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(startedIn, QDir(kCorpus).absolutePath());
    QCOMPARE(form.Records().rowCount(), static_cast<int>(WalkedRecords(QStringLiteral("xlrd__ragged.xls")).size()));
    QCOMPARE(form.tsSheets->count(), 3);
  }

  // --- Export -----------------------------------------------------------

  void exportSheetAsCsvWritesTheShownSheetAndRemembersTheFolder()
  {
    QTemporaryDir books;
    QTemporaryDir first;
    QTemporaryDir second;
    const QString book = WriteFile(books, QStringLiteral("book.xls"), WorkbookWithSheets({"Sales", "Q&A"}));
    // Exports through the menu to `path`; returns the folder the dialog
    // started in and the name it suggested.
    const auto exportTo = [](TfrmMain& form, const QString& path) {
      QStringList seen;
      OnNextDialog<QFileDialog>(&form, [&](QFileDialog& dialog) {
        seen << dialog.directory().absolutePath() << QFileInfo(dialog.selectedFiles().value(0)).fileName();
        dialog.selectFile(path);
        static_cast<QDialog&>(dialog).accept();
      });
      form.actExportCsv->trigger();
      return seen;
    };
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QVERIFY(form.mnuFile->actions().contains(form.actExportCsv));
    QVERIFY(!form.actExportCsv->isEnabled());  // nothing shown yet
    form.OpenFile(book);
    form.SelectSheetTab(1);
    // The first export starts in the workbook's folder.
    const QString firstFile = first.filePath(QStringLiteral("q.csv"));
    QCOMPARE(exportTo(form, firstFile), QStringList({QFileInfo(book).absolutePath(), QStringLiteral("book-Q&A.csv")}));
    QVERIFY2(errors.Texts.isEmpty(), qPrintable(errors.Texts.join(';')));
    QFile written(firstFile);
    QVERIFY(written.open(QIODevice::ReadOnly));
    // The helper's cells take XF 15, a date format: serial 1 is 1900-01-01.
    QCOMPARE(written.readAll(), QByteArray("1900-01-01\n"));
    QCOMPARE(form.lblStatusMessage->text(), QStringLiteral("Exported sheet Q&A to q.csv (1 row)."));
    // The next one starts where the last went, also in a later run.
    TfrmMain later;
    later.show();
    QVERIFY(QTest::qWaitForWindowActive(&later));
    later.OpenFile(book);
    QCOMPARE(exportTo(later, second.filePath(QStringLiteral("s.csv"))).value(0), QDir(first.path()).absolutePath());
    QFile sales(second.filePath(QStringLiteral("s.csv")));
    QVERIFY(sales.open(QIODevice::ReadOnly));
    QCOMPARE(sales.readAll(), QByteArray("1899-12-31\n"));  // Excel's 1900-01-00
    // A file that cannot be written says why; nothing shown, nothing to export.
    try {
      later.ExportShownSheet(QStringLiteral("/nonexistent-folder/x.csv"));
      QFAIL("no failure");
    } catch (const std::exception& e) {
      QCOMPARE(QString::fromUtf8(e.what()),
               QStringLiteral("Cannot write /nonexistent-folder/x.csv: No such file or directory"));
    }
    later.OpenFile(QString());
    QVERIFY(!later.actExportCsv->isEnabled());
  }

  void f1ShowsTheAboutBoxAndCtrlQCloses()
  {
    TfrmMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    bool shown = false;
    OnNextDialog<QDialog>(&form, [&](QDialog& about) {
      shown = about.windowTitle() == QString::fromLatin1(kAboutCaption);
      about.accept();
    });
    QTest::keyClick(&form, Qt::Key_F1);
    QVERIFY(shown);
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!form.isVisible());
  }

  void openRecentListsTheLastTenFilesNewestFirst()
  {
    QTemporaryDir dir;
    const std::vector<std::uint8_t> book = WorkbookWithSheets({"Sheet1"});
    QStringList paths;
    for (int i = 0; i < 12; ++i)
      paths << WriteFile(dir, QStringLiteral("book %1 & co.xls").arg(i), book);
    TfrmMain form;
    QVERIFY(!form.mnuRecent->isEnabled());
    for (const QString& path : paths)
      form.OpenFile(path);
    form.OpenFile(paths[5]);  // again: moves up, listed once
    const QList<QAction*> entries = form.mnuRecent->actions();
    // Ten files, a separator and "Clear Menu".
    QCOMPARE(entries.size(), 12);
    QCOMPARE(entries[0]->text(), QStringLiteral("&1 ") + LiteralCaption(paths[5]));
    QCOMPARE(entries[1]->text(), QStringLiteral("&2 ") + LiteralCaption(paths[11]));
    QCOMPARE(entries[9]->text(), QStringLiteral("1&0 ") + LiteralCaption(paths[2]));
    // A new window lists them too; choosing one opens it.
    TfrmMain next;
    QCOMPARE(next.mnuRecent->actions().size(), 12);
    next.mnuRecent->actions()[1]->trigger();
    QCOMPARE(next.edXLSFileName->text(), paths[11]);
    QCOMPARE(next.tsSheets->count(), 1);
    next.actClearRecent->trigger();
    QVERIFY(!next.mnuRecent->isEnabled());
  }

  // --- Dropping and copying ----------------------------------------------

  void droppingAFileAnywhereOnTheWindowOpensIt()
  {
    TfrmMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (QWidget* target : {static_cast<QWidget*>(form.lvRecords->viewport()),
                            static_cast<QWidget*>(form.edXLSFileName), static_cast<QWidget*>(form.imgLogo)}) {
      form.OpenFile(QString());
      DropFile(target, FProfiles);
      QTRY_COMPARE(form.tsSheets->count(), 5);
      QCOMPARE(form.edXLSFileName->text(), FProfiles);
    }
    // Anything but a local file is refused.
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.imgLogo, &enter);
    QVERIFY(!enter.isAccepted());
  }

  void ctrlCCopiesWhatTheFocusedPartShows()
  {
    TfrmMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.OpenFile(FProfiles);
    QClipboard* clipboard = QApplication::clipboard();

    // Record rows: a header, then the selected rows in order.
    form.pcXLS->setCurrentIndex(1);
    QApplication::sendPostedEvents();
    form.lvRecords->setFocus();
    form.lvRecords->selectRow(2);
    form.lvRecords->selectionModel()->select(form.Records().index(0, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    clipboard->clear();
    QTest::keyClick(form.lvRecords, Qt::Key_C, Qt::ControlModifier);
    QStringList rows;
    for (const int row : {0, 2}) {
      QStringList cells;
      for (int column = 0; column < TRecordListModel::rcColumnCount; ++column)
        cells << Text(form.Records(), row, column);
      rows << cells.join(QLatin1Char('\t'));
    }
    QCOMPARE(clipboard->text(), QStringLiteral("#\tCode\tLength\tName\tType\tOffset\n") + rows.join('\n') + '\n');
    QVERIFY(rows[0].startsWith(QStringLiteral("1\t0x0809\t")));

    // Bytes of the dump; Edit > Copy does what Ctrl+C does.
    form.lvRecords->selectRow(0);
    form.Dump->setFocus();
    form.Dump->SelectBytes(0, 4);
    clipboard->clear();
    QTest::keyClick(form.Dump, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("00 06 05 00"));
    clipboard->clear();
    form.actCopy->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("00 06 05 00"));

    // Cells of the preview, over the rectangle they span.
    form.pcXLS->setCurrentIndex(0);
    form.sgXLS->setFocus();
    const TPreviewModel& grid = form.sgXLS->PreviewModel();
    form.sgXLS->selectionModel()->select(QItemSelection(grid.index(0, 0), grid.index(1, 1)),
                                         QItemSelectionModel::ClearAndSelect);
    clipboard->clear();
    QTest::keyClick(form.sgXLS, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), Text(grid, 0, 0) + '\t' + Text(grid, 0, 1) + '\n' + Text(grid, 1, 0) + '\t' +
                                    Text(grid, 1, 1) + '\n');
    QVERIFY(!Text(grid, 0, 0).isEmpty());
  }

  // --- The status bar ----------------------------------------------------

  void statusTextsReadAsWritten()
  {
    QCOMPARE(NoSuchFileText(QStringLiteral("a b.xls")), QStringLiteral("No such file: a b.xls"));
    QCOMPARE(NoBofText(0), QStringLiteral("not a BIFF stream: no BOF at offset 0"));
    QCOMPARE(StoppedAtText(12, 0x1A4), QStringLiteral("Reading stopped at record 12 (offset 0x000001A4)."));
    QCOMPARE(StoppedAtText(0, 0), QStringLiteral("Reading stopped before the first record."));
    QCOMPARE(RecordCountText(1), QStringLiteral("1 record"));
    QCOMPARE(RecordCountText(1476000), QStringLiteral("1476000 records"));
    QCOMPARE(SheetCountText(1), QStringLiteral("1 sheet"));
    QCOMPARE(SheetCountText(0), QStringLiteral("0 sheets"));
    QCOMPARE(StreamSizeText(45056), QStringLiteral("stream 45056 bytes"));
    QCOMPARE(LoadTimeText(12), QStringLiteral("loaded in 12 ms"));
    QCOMPARE(EncryptionStatusText(QStringLiteral("RC4"), true), QStringLiteral("encrypted (RC4), decrypted"));
    QCOMPARE(EncryptionStatusText(QStringLiteral("RC4"), false), QStringLiteral("encrypted (RC4), not decrypted"));
    QCOMPARE(PasswordPromptText(QStringLiteral("RC4")),
             QStringLiteral("This workbook is encrypted (RC4).\nEnter its password to open it:"));
    QCOMPARE(CutShortText(10, 100), QStringLiteral("record cut short: 10 of 100 bytes present"));
    QCOMPARE(LiteralCaption(QStringLiteral("P&L & R&&D")), QStringLiteral("P&&L && R&&&&D"));
    QCOMPARE(RecentFileEntryText(3, QStringLiteral("/a&b.xls")), QStringLiteral("&3 /a&&b.xls"));
    QCOMPARE(ExportedText(QStringLiteral("Q1"), QStringLiteral("/tmp/out/q1.csv"), 12),
             QStringLiteral("Exported sheet Q1 to q1.csv (12 rows)."));
    QCOMPARE(ExportFileSuggestion(QStringLiteral("/d/book.v2.xls"), QStringLiteral("a/b")),
             QStringLiteral("book.v2-a_b.csv"));
    const std::pair<TExcelVersion, const char*> versions[] = {
        {TExcelVersion::evExcel2, "BIFF2"},   {TExcelVersion::evExcel3, "BIFF3"},
        {TExcelVersion::evExcel4, "BIFF4"},   {TExcelVersion::evExcel5, "BIFF5/7"},
        {TExcelVersion::evExcel7, "BIFF5/7"}, {TExcelVersion::evExcel8, "BIFF8"},
        {TExcelVersion::evExcel9, "BIFF8"},   {TExcelVersion::evUnknown, "BIFF version unknown"}};
    for (const auto& [version, text] : versions)
      QCOMPARE(BiffVersionText(version), QString::fromLatin1(text));
  }

  void countsTakeTheSingularForOne()
  {
    const std::pair<QString, const char*> texts[] = {
        {ProblemsCountText(1, 1, 1), "1 error, 1 warning, 1 note"},
        {ProblemsCountText(0, 2, 12), "0 errors, 2 warnings, 12 notes"},
        {MacrosSummaryText(1, 1, 1, 1, 1, 1, 1),
         "1 VBA module, 1 macro sheet (1 formula), 1 trigger, 1 hidden part, 1 link, 1 object"},
        {MacrosSummaryText(2, 0, 3, 0, 2, 0, 5),
         "2 VBA modules, 0 macro sheets (3 formulas), 0 triggers, 2 hidden parts, 0 links, 5 objects"},
        {FilteredText(1, 1), "1 of 1 record shown"}, {FilteredText(1, 147), "1 of 147 records shown"},
        {ContainerSummaryText(3, 512, 1, 1), "Version 3, 512-byte sectors, 1 sector, 1 problem"},
        {ContainerSummaryText(4, 4096, 9, 0), "Version 4, 4096-byte sectors, 9 sectors, 0 problems"},
        {ExportedText(QStringLiteral("S"), QStringLiteral("s.csv"), 1), "Exported sheet S to s.csv (1 row)."},
        // The preview's note: an en dash, thousands grouped by commas.
        {PreviewRowsText(100, 65536), "Rows 1\u2013100 of 65,536 shown"},
        {PreviewRowsText(37, 37), "Rows 1\u201337 of 37 shown"},
        {PreviewRowsText(1048576, 1048576), "Rows 1\u20131,048,576 of 1,048,576 shown"},
        {PreviewRowsText(1, 1), "Row 1 of 1 shown"}, {PreviewRowsText(0, 0), "No rows"},
        {GroupedNumberText(999), "999"}, {GroupedNumberText(1000), "1,000"},
        {GroupedNumberText(12345678), "12,345,678"},
    };
    for (const auto& [text, expected] : texts)
      QCOMPARE(text, QString::fromUtf8(expected));
  }

  void theStatusBarTellsWhatTheOpenFound()
  {
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.OpenFile(FProfiles);
    const QJsonObject meta = JsonLines(kCorpus + QStringLiteral("/reference/xlrd__profiles.xls.jsonl")).front();
    const std::vector<QJsonObject> walked = WalkedRecords(QStringLiteral("xlrd__profiles.xls"));
    const QJsonObject& last = walked.back();
    QCOMPARE(Shown(form.lblStatusFile), QStringLiteral("xlrd__profiles.xls"));
    QCOMPARE(Shown(form.lblStatusMessage), QString());
    QCOMPARE(Shown(form.lblStatusVersion), QStringLiteral("BIFF8"));
    QCOMPARE(Shown(form.lblStatusRecords), RecordCountText(walked.size()));
    QCOMPARE(Shown(form.lblStatusSheets), SheetCountText(meta.value(QStringLiteral("sheets")).toArray().size()));
    const qint64 streamEnd = last.value(QStringLiteral("offset")).toInteger() + 4 +
                             last.value(QStringLiteral("length")).toInteger();
    QVERIFY(form.Excel().StreamBuffer().size() >= static_cast<std::size_t>(streamEnd));
    QCOMPARE(Shown(form.lblStatusStream), StreamSizeText(form.Excel().StreamBuffer().size()));
    QVERIFY(QRegularExpression(QStringLiteral("^loaded in \\d+ ms$")).match(Shown(form.lblStatusTime)).hasMatch());

    // A failure: the message and the record where reading stopped.
    TPasswordAnswers cancel;
    cancel.Attach(form);
    form.OpenFile(CorpusFile(QStringLiteral("encrypted/enc_rc4_bifflens.xls")));
    const int rows = form.Records().rowCount();
    QCOMPARE(Shown(form.lblStatusMessage),
             QStringLiteral("Could not read the password protected file. ") +
                 StoppedAtText(rows, form.Records().Row(rows - 1).Offset));
    QCOMPARE(Shown(form.lblStatusRecords), RecordCountText(rows));
    QCOMPARE(Shown(form.lblStatusEncryption), QStringLiteral("encrypted (RC4 with MD5), not decrypted"));
    // A plain workbook says nothing of encryption.
    form.OpenFile(FProfiles);
    QCOMPARE(Shown(form.lblStatusEncryption), QString());

    // Nothing to open: the grid hides, no box, the status bar says why.
    errors.Texts.clear();
    for (const QString& name : {CorpusFile(QStringLiteral("no such workbook.xls")), kCorpus}) {
      form.OpenFile(name);
      QVERIFY(form.sgXLS->isHidden());
      QCOMPARE(Shown(form.lblStatusMessage), QStringLiteral("No such file: ") + name);
      QCOMPARE(Shown(form.lblStatusRecords), QString());
    }
    QVERIFY(errors.Texts.isEmpty());
  }

  // --- Encrypted workbooks --------------------------------------------------

  void aPasswordIsAskedUntilTheRightOneAndTheWorkbookShowsDecrypted()
  {
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    TPasswordAnswers answers;
    answers.Passwords = {QStringLiteral("wrong"), QStringLiteral("Tarvex-2026")};
    answers.Attach(form);
    const QString name = QStringLiteral("enc_cryptoapi_tarvex.xls");
    form.OpenFile(CorpusFile(QStringLiteral("encrypted/") + name));
    QVERIFY2(errors.Texts.isEmpty(), qPrintable(errors.Texts.join(';')));
    const QString scheme = QStringLiteral("RC4 CryptoAPI, 128-bit key, Microsoft Enhanced Cryptographic Provider v1.0");
    QCOMPARE(answers.Schemes, (QStringList{scheme, scheme}));
    QCOMPARE(answers.Retries, (QList<bool>{false, true}));
    QVERIFY(answers.ArrowCursor);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(form.tsSheets->tabText(0), QStringLiteral("PROFILEDEF"));
    CompareGridWithReference(form, QStringLiteral("../encrypted/reference/") + name, 0);
    QCOMPARE(Shown(form.lblStatusEncryption), EncryptionStatusText(scheme, true));
    QCOMPARE(form.Records().rowCount(), static_cast<int>(WalkedEncryptedRecords(name).size()));

    // The dump shows a record after FILEPASS decrypted, and as stored on request.
    QVERIFY(form.actViewStoredBytes->isEnabled());
    int row = 0;
    while (row < form.Records().rowCount() && form.Records().Row(row).Code != 0x00FC)  // SST
      ++row;
    QVERIFY(row < form.Records().rowCount());
    form.lvRecords->selectRow(row);
    const std::span<const std::uint8_t> decrypted = form.Records().RowBytes(row);
    QVERIFY(std::equal(decrypted.begin(), decrypted.end(), form.Dump->CopyBytes().begin()));
    QCOMPARE(form.Dump->Note(), QString());
    form.actViewStoredBytes->setChecked(true);
    const std::span<const std::uint8_t> stored = form.Dump->CopyBytes();
    QCOMPARE(stored.size(), decrypted.size());
    QVERIFY(!std::equal(decrypted.begin(), decrypted.end(), stored.begin()));
    QCOMPARE(form.Dump->Note(), QString::fromLatin1(kNoteStoredBytes));
    const TSharedBytes& file = form.Excel().StoredStreamBuffer();
    const std::size_t at = static_cast<std::size_t>(form.Records().Row(row).Offset) + 4;
    QVERIFY(std::equal(stored.begin(), stored.end(), file.begin() + static_cast<std::ptrdiff_t>(at)));
    form.actViewStoredBytes->setChecked(false);
    QVERIFY(std::equal(decrypted.begin(), decrypted.end(), form.Dump->CopyBytes().begin()));
    form.actViewStoredBytes->setChecked(true);

    // A plain workbook next: nothing stored apart, the dump shows its own bytes.
    form.OpenFile(FProfiles);
    QVERIFY(!form.actViewStoredBytes->isEnabled());
    form.lvRecords->selectRow(1);
    QCOMPARE(form.Dump->Note(), QString());
    const std::span<const std::uint8_t> plain = form.Records().RowBytes(1);
    QVERIFY(std::equal(plain.begin(), plain.end(), form.Dump->CopyBytes().begin()));
  }

  void aLockedWorkbookSaysItsRecordsAreShownAsStored()
  {
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    TPasswordAnswers cancel;
    cancel.Attach(form);
    form.OpenFile(CorpusFile(QStringLiteral("encrypted/enc_xor8_abc.xls")));
    QCOMPARE(errors.Texts.size(), 1);
    QVERIFY(!form.actViewStoredBytes->isEnabled());
    // Record 3 follows FILEPASS (BOF, FILEPASS, ...).
    QCOMPARE(form.Records().Row(1).Code, std::uint16_t{0x002F});
    int row = 2;
    while (form.Excel().IsEncryptedRecord(static_cast<std::uint64_t>(row) + 1, form.Records().Row(row).Code) == false)
      ++row;
    form.lvRecords->selectRow(row);
    QCOMPARE(form.Dump->Note(), QString::fromLatin1(kNoteNotDecrypted));
    form.lvRecords->selectRow(0);
    QCOMPARE(form.Dump->Note(), QString());
  }

  void excelsDefaultPasswordOpensWithoutAsking()
  {
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    TPasswordAnswers answers;
    answers.Attach(form);
    form.OpenFile(CorpusFile(QStringLiteral("calamine__issue_385.xls")));
    QVERIFY(errors.Texts.isEmpty());
    QVERIFY(answers.Schemes.isEmpty());
    QCOMPARE(form.tsSheets->count(), 1);
    QCOMPARE(Shown(form.lblStatusEncryption), QStringLiteral("encrypted (RC4 with MD5), decrypted"));
  }

  void thePasswordDialogAsksInTheMiddleOfTheOpen()
  {
    // The window's own prompter: the dialog, typed into and accepted.
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    QStringList shown;
    TfrmPassword::ShownHook() = [&](TfrmPassword& dialog) {
      shown << dialog.lblScheme->text();
      QTest::keyClicks(dialog.edPassword, QStringLiteral("abc"));
      dialog.accept();
    };
    form.OpenFile(CorpusFile(QStringLiteral("encrypted/enc_xor5_abc.xls")));
    TfrmPassword::ShownHook() = nullptr;
    QVERIFY2(errors.Texts.isEmpty(), qPrintable(errors.Texts.join(';')));
    QCOMPARE(shown, QStringList{PasswordPromptText(QStringLiteral("XOR obfuscation (BIFF2-5)"))});
    QCOMPARE(form.tsSheets->tabText(0), QStringLiteral("SheetJS"));
  }

  void aStreamWithoutABofIsNoWorkbookAnywhere()
  {
    // Sheet records with the BOF missing, as a bare stream; a text file saved as .xls.
    QTemporaryDir dir;
    for (const QString& path : {WriteFile(dir, QStringLiteral("nobof.xls"), TBiffBuilder().Number(0, 0, 15, 1.5).Eof().Build()),
                                CorpusFile(QStringLiteral("calamine__too_small.xls"))}) {
      TfrmMain form;
      TErrorLog errors;
      errors.Attach(form);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      form.OpenFile(path);
      QVERIFY(form.Records().rowCount() > 0);
      QCOMPARE(errors.Texts.size(), 1);
      QVERIFY2(errors.Texts[0].contains(QStringLiteral("no BOF")), qPrintable(errors.Texts[0]));
      QVERIFY(Shown(form.lblStatusMessage).startsWith(QStringLiteral("Not a BIFF stream: no BOF")));
      // Nothing of a workbook is claimed; the Problems pane lists an error.
      QVERIFY(Shown(form.lblStatusVersion).isEmpty() && Shown(form.lblStatusSheets).isEmpty());
      QCOMPARE(form.tsSheets->count(), 0);
      QCOMPARE(form.Excel().Sheets().Count(), 0);
      QVERIFY(form.lblPreviewRows->isHidden());
      form.pcXLS->setCurrentIndex(1);
      QTRY_VERIFY_WITH_TIMEOUT(form.Pane->Ready(), 10000);
      const auto found = form.Pane->tvProblems->findItems(QStringLiteral("no-bof"), Qt::MatchExactly, 1);
      QVERIFY2(std::any_of(found.begin(), found.end(),
                           [](auto* item) { return item->text(0).contains(QStringLiteral("error"), Qt::CaseInsensitive); }),
               qPrintable(path));
      form.OpenFile(FProfiles);
      QVERIFY(!Shown(form.lblStatusMessage).contains(QStringLiteral("BOF")));
      QCOMPARE(Shown(form.lblStatusVersion), QStringLiteral("BIFF8"));
    }
  }

  void thePreviewShowsItsFirstHundredRowsAndSaysSoOrEveryRow()
  {
    const QString name = CorpusFile(QStringLiteral("libxls__65536-rows-xls.xls"));
    if (!QFile::exists(name))
      QSKIP("corpus file not found");
    // Off at the first run; the choice is kept for the next.
    for (const bool allAtStart : {false, true}) {
      TfrmMain form;
      TErrorLog errors;
      errors.Attach(form);
      QCOMPARE(form.actShowAllRows->isChecked(), allAtStart);
      form.OpenFile(name);
      QVERIFY(errors.Texts.isEmpty());
      const TPreviewModel& model = form.sgXLS->PreviewModel();
      for (const bool all : {allAtStart, !allAtStart}) {
        if (all != allAtStart)
          form.actShowAllRows->trigger();
        QCOMPARE(model.rowCount(), all ? 65536 : 100);
        QVERIFY(!form.lblPreviewRows->isHidden());
        QCOMPARE(form.lblPreviewRows->text(), all ? QStringLiteral("Rows 1\u201365,536 of 65,536 shown")
                                                  : QStringLiteral("Rows 1\u2013100 of 65,536 shown"));
        if (all)
          QCOMPARE(Text(model, 65534, 0) + Text(model, 65535, 0), QStringLiteral("HELLOWORLD"));
      }
    }
  }

  void theRecordListNamesEachRecordsTypeAsTheFieldsPaneDoes()
  {
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    form.OpenFile(FProfiles);
    const TRecordListModel& records = form.Records();
    // What the Name column calls "Unknown" or names by its version.
    QCOMPARE(Text(records, 0, TRecordListModel::rcName), QStringLiteral("Unknown"));
    for (const auto& [code, type] : {std::pair<std::uint16_t, const char*>{0x0809, "BOF"}, {0x00E0, "XF"},
                                     {0x041E, "FORMAT"}, {0x00FC, "SST"}, {0x0085, "BOUNDSHEET"}}) {
      int row = 0;
      while (row < records.rowCount() && records.Row(row).Code != code)
        ++row;
      QVERIFY2(row < records.rowCount(), type);
      QCOMPARE(Text(records, row, TRecordListModel::rcType), QString::fromLatin1(type));
      form.lvRecords->selectRow(row);
      QVERIFY2(form.Fields->lblRecord->text().contains(QStringLiteral("(%1)").arg(type)),
               qPrintable(form.Fields->lblRecord->text()));
    }
    // The filter takes the type: every XF record, whatever the list calls it.
    form.Navigator->SetFilterText(QStringLiteral("xf"));
    const QAbstractItemModel& shown = *form.lvRecords->model();
    QVERIFY(shown.rowCount() > 0);
    for (int row = 0; row < shown.rowCount(); ++row)
      QCOMPARE(Text(shown, row, TRecordListModel::rcType), QStringLiteral("XF"));
  }

  void theLoadTimeLeavesOutThePasswordDialog()
  {
    // A clock only the dialog moves: given or cancelled, no time is the reading's.
    TfrmMain form;
    TErrorLog errors;
    errors.Attach(form);
    qint64 now = 1000;
    form.Clock = [&now] { return now; };
    for (const bool given : {true, false}) {
      int asked = 0;
      form.PasswordPrompter = [&](QWidget*, const QString&, bool, TSecret& password) {
        ++asked;
        now += 10000;
        password.Assign("abc");
        return given;
      };
      form.OpenFile(CorpusFile(QStringLiteral("encrypted/enc_xor5_abc.xls")));
      QCOMPARE(asked, 1);
      QVERIFY2(!given || errors.Texts.isEmpty(), qPrintable(errors.Texts.join(';')));
      QCOMPARE(Shown(form.lblStatusTime), LoadTimeText(0));
    }
  }
};

QTEST_MAIN(TstMainWindow)
#include "tst_MainWindow.moc"
