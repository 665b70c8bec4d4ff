// Loads a corpus workbook and saves pictures of both tabs and of the About
// box into the build folder, so the look can be checked by eye:
//   screenshots/preview.png, screenshots/records.png, screenshots/fields.png,
//   screenshots/about.png, screenshots/navigate.png, screenshots/container.png,
//   screenshots/macros.png, screenshots/preview-rows.png,
//   screenshots/record-types.png
// The window has its first-run size, and the workbook is opened by a
// relative name from a folder of its own, so no picture shows a path of the
// machine that took it.

#include "MacroBook.h"
#include "hexdump/HexDump.h"
#include "ui/AboutBox.h"
#include "ui/MacrosPane.h"
#include "ui/MainWindow.h"
#include "ui/NavigatorPane.h"
#include "ui/RecordNavigator.h"
#include "ui/FieldTreeModel.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordInspector.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <memory>

namespace {

const QString kWorkbook = QStringLiteral(BIFFLENS_CORPUS_DIR) + QStringLiteral("/xlrd__profiles.xls");
const QString kFolder = QStringLiteral(BIFFLENS_SCREENSHOT_DIR);
const QString kDamagedWorkbook = QStringLiteral(BIFFLENS_CORPUS_DIR) + QStringLiteral("/xlrd__corrupted_error.xls");

void Save(QWidget& widget, const QString& name)
{
  // What the event loop would do before the next paint: pending layouts.
  QApplication::sendPostedEvents();
  const QImage image = widget.grab().toImage();
  QVERIFY(!image.isNull());
  QCOMPARE(image.size(), widget.size() * widget.devicePixelRatio());
  const QString path = kFolder + QLatin1Char('/') + name;
  QVERIFY2(image.save(path), qPrintable(path));
  QVERIFY(QFile::exists(path));
}

}  // namespace

class TstScreenshots : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<QTemporaryDir> FHome;

private slots:
  void initTestCase()
  {
    if (!QFile::exists(kWorkbook))
      QSKIP("corpus folder not found");
    QVERIFY(QDir().mkpath(kFolder));
    // Settings of a first run, and the workbook as "profiles.xls" in the
    // current folder.
    FHome = std::make_unique<QTemporaryDir>();
    QVERIFY(FHome->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FHome->path());
    QVERIFY(QFile::copy(kWorkbook, FHome->filePath(QStringLiteral("profiles.xls"))));
    QVERIFY(QDir::setCurrent(FHome->path()));
  }

  void bothTabsAndTheAboutBox()
  {
    TfrmMain form;
    form.ErrorPresenter = [](QWidget*, const QString&, const QString& text) {
      QFAIL(qPrintable(text));
    };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.OpenFile(QStringLiteral("profiles.xls"));
    QVERIFY(form.sgXLS->PreviewModel().rowCount() > 1);
    Save(form, QStringLiteral("preview.png"));

    form.pcXLS->setCurrentIndex(1);
    int row = 0;
    while (row < form.Records().rowCount() && form.Records().Row(row).Length < 120)
      ++row;
    form.lvRecords->selectRow(row);
    form.Dump->setFocus();
    form.Dump->SelectBytes(20, 24);
    QCOMPARE(form.Dump->DataLength(), int(form.Records().Row(row).Length));
    Save(form, QStringLiteral("records.png"));

    // The Fields pane on the shared-string table: its strings listed, one
    // selected, its bytes the strong band among the fields' faint ones.
    row = 0;
    while (row < form.Records().rowCount() && form.Records().Row(row).Code != 0x00FC)
      ++row;
    QVERIFY(row < form.Records().rowCount());
    form.lvRecords->selectRow(row);
    TFieldTreeModel& model = form.Fields->Model();
    const QModelIndex strings = model.index(2, 0);
    QCOMPARE(model.Field(strings)->Name, std::string("strings"));
    form.Fields->tvFields->expand(strings);
    const QModelIndex string = model.index(3, 0, strings);
    form.Fields->tvFields->expand(string);
    form.Fields->tvFields->setCurrentIndex(model.index(3, 0, string));
    QCOMPARE(model.Field(form.Fields->tvFields->currentIndex())->Name, std::string("text"));
    form.Fields->tvFields->setFocus();
    Save(form, QStringLiteral("fields.png"));

    TfrmAbout about(&form);
    about.Prepare(form.imgLogo->pixmap());
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    Save(about, QStringLiteral("about.png"));
  }

  void theOutlineAndTheProblems()
  {
    // A workbook whose sheets' cells lie outside their DIMENSIONS: the
    // outline with a worksheet selected, the problems beside it, one of
    // them selected, and a search typed above the list.
    if (!QFile::exists(kDamagedWorkbook))
      QSKIP("corpus file not found");
    QFile::remove(QStringLiteral("corrupted.xls"));
    QVERIFY(QFile::copy(kDamagedWorkbook, QStringLiteral("corrupted.xls")));
    TfrmMain form;
    form.ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.OpenFile(QStringLiteral("corrupted.xls"));
    form.pcXLS->setCurrentIndex(1);
    QTRY_VERIFY_WITH_TIMEOUT(form.Pane->Ready(), 10000);
    QTreeWidget& outline = *form.Pane->tvOutline;
    QVERIFY(outline.topLevelItemCount() > 2);
    QTreeWidget& problems = *form.Pane->tvProblems;
    QVERIFY(problems.topLevelItemCount() > 2);
    problems.setCurrentItem(problems.topLevelItem(2));
    outline.setCurrentItem(outline.topLevelItem(3));
    form.Navigator->edFind->setText(QStringLiteral("FD 00"));
    outline.setFocus();
    Save(form, QStringLiteral("navigate.png"));

    // The container: entries, the sector strip with the selected record's
    // sectors framed, and where its bytes lie.
    form.Pane->pcBottom->setCurrentIndex(1);
    form.lvRecords->selectRow(2000);
    QVERIFY(!form.Pane->lblRecordPlace->text().isEmpty());
    Save(form, QStringLiteral("container.png"));
  }

  void thePreviewNoteAndTheTypeColumn()
  {
    // A sheet of 65,536 rows: the note over its first hundred.
    const QString rows = QStringLiteral(BIFFLENS_CORPUS_DIR) + QStringLiteral("/libxls__65536-rows-xls.xls");
    if (!QFile::exists(rows))
      QSKIP("corpus file not found");
    QFile::remove(QStringLiteral("65536-rows.xls"));
    QVERIFY(QFile::copy(rows, QStringLiteral("65536-rows.xls")));
    TfrmMain form;
    form.ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.OpenFile(QStringLiteral("65536-rows.xls"));
    QVERIFY(form.lblPreviewRows->isVisible());
    QCOMPARE(form.sgXLS->PreviewModel().rowCount(), 100);
    Save(form, QStringLiteral("preview-rows.png"));

    // The record list's Type column beside Name: BOF, XF, FORMAT named
    // where the Name column says "Unknown" or a version's name.
    form.OpenFile(QStringLiteral("profiles.xls"));
    form.pcXLS->setCurrentIndex(1);
    int row = 0;
    while (row < form.Records().rowCount() && form.Records().Row(row).Code != 0x041E)  // FORMAT
      ++row;
    QVERIFY(row < form.Records().rowCount());
    form.lvRecords->selectRow(row);
    form.lvRecords->setFocus();
    Save(form, QStringLiteral("record-types.png"));
  }

  void theMacrosTab()
  {
    // A workbook with code of both kinds, hidden sheets and links: a
    // module's source with a search in it, and the findings below.
    QFile file(QStringLiteral("macros.xls"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const std::vector<std::uint8_t> bytes = MacroDemoWorkbook();
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    file.close();
    TfrmMain form;
    form.ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.OpenFile(QStringLiteral("macros.xls"));
    form.actViewMacros->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(form.Macros->Ready(), 10000);
    form.Macros->tvModules->setCurrentItem(form.Macros->tvModules->topLevelItem(1));
    form.Macros->edFind->setText(QStringLiteral("Range"));
    QVERIFY(form.Macros->FindNext(QStringLiteral("Range")));
    QTreeWidget& findings = *form.Macros->tvFindings;
    findings.setCurrentItem(findings.topLevelItem(0)->child(0)->child(2));
    Save(form, QStringLiteral("macros.png"));
  }
};

QTEST_MAIN(TstScreenshots)
#include "tst_Screenshots.moc"
