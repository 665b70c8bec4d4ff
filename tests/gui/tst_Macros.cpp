// The Macros tab: read when first shown, the modules in a code view with
// line numbers and find, the findings leading to their records and streams;
// the outline marks hidden sheets; the status bar says "macros".

#include "MacroBook.h"
#include "ui/MacrosPane.h"
#include "ui/MainWindow.h"
#include "ui/NavigatorPane.h"
#include "ui/RecordNavigator.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

QTreeWidgetItem* FindRow(QTreeWidget& list, const QString& kind, const QString& name)
{
  for (int g = 0; g < list.topLevelItemCount(); ++g) {
    QTreeWidgetItem* group = list.topLevelItem(g);
    for (int i = 0; i < group->childCount(); ++i) {
      QTreeWidgetItem* row = group->child(i);
      if (row->text(0) == kind && row->text(1) == name)
        return row;
      for (int k = 0; k < row->childCount(); ++k)
        if (row->child(k)->text(0) == kind && row->child(k)->text(1) == name)
          return row->child(k);
    }
  }
  return nullptr;
}

}  // namespace

class TstMacros : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<QTemporaryDir> FDir;
  QString FBook;
  std::unique_ptr<TfrmMain> FForm;

private slots:
  void init()
  {
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FDir->path());
    FBook = FDir->filePath(QStringLiteral("macros.xls"));
    QFile file(FBook);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const std::vector<std::uint8_t> bytes = MacroDemoWorkbook();
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    file.close();
    FForm = std::make_unique<TfrmMain>();
    FForm->ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    FForm->show();
    FForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
    FForm->OpenFile(FBook);
  }

  void cleanup() { FForm.reset(); }

  void nothingIsReadBeforeTheTabIsShown()
  {
    // The status bar knows from the records alone.
    QVERIFY(FForm->lblStatusMacros->isVisible());
    QCOMPARE(FForm->lblStatusMacros->text(), QStringLiteral("macros"));
    QTest::qWait(200);
    QVERIFY(!FForm->Macros->Ready());
    QCOMPARE(FForm->Macros->tvModules->topLevelItemCount(), 0);
    FForm->actViewMacros->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(FForm->Macros->Ready(), 10000);
    QCOMPARE(FForm->Macros->tvModules->topLevelItemCount(), 2);
  }

  void showsAModuleWithLineNumbersFindAndCopy()
  {
    TMacrosPane& pane = *FForm->Macros;
    FForm->actViewMacros->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(pane.Ready(), 10000);
    pane.tvModules->setCurrentItem(pane.tvModules->topLevelItem(1));
    QVERIFY(pane.Code->toPlainText().startsWith(QStringLiteral("Attribute VB_Name = \"Module1\"\n")));
    QVERIFY(pane.Code->isReadOnly());
    QCOMPARE(pane.Code->blockCount(), 13);
    QVERIFY(pane.Code->NumberWidth() > pane.Code->fontMetrics().horizontalAdvance(QStringLiteral("99")));
    // Ctrl+F takes the find box, Enter finds, F3 finds again round the end.
    QTest::keyClick(FForm.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(pane.edFind->hasFocus());
    QTest::keyClicks(pane.edFind, QStringLiteral("Range"));
    QTest::keyClick(pane.edFind, Qt::Key_Return);
    QCOMPARE(pane.Code->textCursor().selectedText(), QStringLiteral("Range"));
    const int first = pane.Code->textCursor().blockNumber();
    QCOMPARE(first, 7);
    QTest::keyClick(pane.edFind, Qt::Key_F3);
    QCOMPARE(pane.Code->textCursor().blockNumber(), 8);
    QTest::keyClick(pane.edFind, Qt::Key_F3);
    QCOMPARE(pane.Code->textCursor().blockNumber(), first);
    QVERIFY(!pane.lblFind->text().isEmpty());
    QVERIFY(!pane.FindNext(QStringLiteral("no such text")));
    // Edit > Copy copies the code view's selection.
    pane.Code->setFocus();
    FForm->actCopy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Range"));
  }

  void findingsLeadToTheirRecordsAndStreams()
  {
    TMacrosPane& pane = *FForm->Macros;
    FForm->actViewMacros->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(pane.Ready(), 10000);
    QTreeWidget& findings = *pane.tvFindings;
    QTreeWidgetItem* exec = FindRow(findings, QStringLiteral("xlm"), QStringLiteral("A3"));
    QVERIFY(exec != nullptr);
    QCOMPARE(exec->text(2), QStringLiteral("=EXEC(\"notepad.exe\",1)"));
    QTreeWidgetItem* autoOpen = FindRow(findings, QStringLiteral("trigger"), QStringLiteral("Auto_Open"));
    QVERIFY(autoOpen != nullptr);
    QCOMPARE(autoOpen->text(2), QStringLiteral("Loader!$A$1"));
    QVERIFY(FindRow(findings, QStringLiteral("sheet"), QStringLiteral("Loader")) != nullptr);
    QVERIFY(FindRow(findings, QStringLiteral("dde"), QStringLiteral("MTX|QUOTES!LAST")) != nullptr);
    // A record's row selects it in the record list.
    emit findings.itemActivated(exec, 0);
    QCOMPARE(FForm->pcXLS->currentIndex(), 1);
    QCOMPARE(FForm->Navigator->CurrentRecord() + 1, exec->text(3).mid(7).toInt());
    // A procedure's row shows its line; a stream's row its entry in the container.
    FForm->actViewMacros->trigger();
    QTreeWidgetItem* open = FindRow(findings, QStringLiteral("trigger"), QStringLiteral("Workbook_Open"));
    QVERIFY(open != nullptr);
    findings.setCurrentItem(open);
    QCOMPARE(pane.Code->textCursor().blockNumber(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(FForm->Pane->Ready(), 10000);
    emit findings.itemActivated(open, 0);
    QCOMPARE(FForm->pcXLS->currentIndex(), 1);
    QCOMPARE(FForm->Pane->pcBottom->currentIndex(), 1);
    QVERIFY(FForm->Pane->tvEntries->currentItem() != nullptr);
    QCOMPARE(FForm->Pane->tvEntries->currentItem()->text(1), QStringLiteral("ThisWorkbook"));
  }

  void theOutlineMarksHiddenSheetsAndTheProblemsListTheMacros()
  {
    FForm->pcXLS->setCurrentIndex(1);
    QTRY_VERIFY_WITH_TIMEOUT(FForm->Pane->Ready(), 10000);
    QStringList parts;
    for (int i = 0; i < FForm->Pane->tvOutline->topLevelItemCount(); ++i)
      parts << FForm->Pane->tvOutline->topLevelItem(i)->text(0);
    QVERIFY2(parts.contains(QStringLiteral("Macro sheet \"Loader\" (very hidden)")), qPrintable(parts.join(';')));
    QVERIFY2(parts.contains(QStringLiteral("Worksheet \"Staging\" (hidden)")), qPrintable(parts.join(';')));
    QVERIFY(parts.contains(QStringLiteral("Worksheet \"Report\"")));
    QStringList checks;
    for (int i = 0; i < FForm->Pane->tvProblems->topLevelItemCount(); ++i)
      checks << FForm->Pane->tvProblems->topLevelItem(i)->text(1);
    for (const char* check : {"vba-project", "xlm-macro-sheet", "autorun", "very-hidden-sheet", "dde-link",
                              "external-link"})
      QVERIFY2(checks.contains(QLatin1String(check)), check);
  }

  void aNewLoadForgetsTheLastFindings()
  {
    FForm->actViewMacros->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(FForm->Macros->Ready(), 10000);
    const QString plain = FDir->filePath(QStringLiteral("plain.xls"));
    TBiffBuilder b;
    b.Bof(TExcelVersion::evExcel8, TBofType::btGlobals).BoundSheet("Data", 1).Eof();
    b.Bof(TExcelVersion::evExcel8).Number(0, 0, 0, 1).Eof();
    const std::vector<std::uint8_t> bytes = InCompoundFile(b.Build());
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    file.close();
    FForm->OpenFile(plain);
    QVERIFY(!FForm->lblStatusMacros->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(FForm->Macros->Ready(), 10000);
    QCOMPARE(FForm->Macros->tvModules->topLevelItemCount(), 0);
    QCOMPARE(FForm->Macros->tvFindings->topLevelItemCount(), 0);
    QVERIFY(FForm->Macros->Code->toPlainText().isEmpty());
  }
};

QTEST_MAIN(TstMacros)
#include "tst_Macros.moc"
