// What a new user meets on the records page: every jump brings its record
// into view; the whole message in the status tooltip and the error box; the
// keyboard; the Fields pane's long values; the first-run layout; what a new
// file and a filter leave. Saves screenshots/fields-long-value.png.

#include "hexdump/HexDump.h"
#include "ui/FieldTreeModel.h"
#include "ui/MainWindow.h"
#include "ui/NavigatorPane.h"
#include "ui/PaneFocusFrame.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordInspector.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/RecordNavigator.h"
#include "ui/UiMessages.h"
#include "xls/crypto/Secret.h"
#include "support/BiffBuilder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

using enum TExcelVersion;

const QString kCorpus = QStringLiteral(BIFFLENS_CORPUS_DIR);
const QString kFormulas = kCorpus + QStringLiteral("/calamine__xls_formula.xls");
const QString kDamaged = kCorpus + QStringLiteral("/xlrd__corrupted_error.xls");
const QString kEncrypted = kCorpus + QStringLiteral("/encrypted/enc_rc4_bifflens.xls");
const QString kProfiles = kCorpus + QStringLiteral("/xlrd__profiles.xls");

// A number format of 240 characters: a value no column shows whole.
std::string LongFormat()
{
  std::string text = "\"";
  for (int i = 0; text.size() < 230; ++i)
    text += "part " + std::to_string(i) + " of a long format; ";
  text.resize(230);
  return text + "\"0.00";
}

// One sheet whose A1 is 1 and a long number format, or three sheets whose A1
// is their number.
QString WriteBook(const QTemporaryDir& dir, const QString& name, bool longFormat)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).Font(200, 0, 400, "Arial");
  if (longFormat)
    b.Format(164, LongFormat()).Xf(164).BoundSheet("Data", 1).Eof().Bof(evExcel8).Number(0, 0, 0, 1.5).Eof();
  else {
    b.Xf(0).BoundSheet("One", 1).BoundSheet("Two", 2).BoundSheet("Three", 3).Eof();
    for (int sheet = 0; sheet < 3; ++sheet)
      b.Bof(evExcel8).Number(0, 0, 0, sheet + 1).Eof();
  }
  const std::vector<std::uint8_t> bytes = InCompoundFile(b.Build());
  QFile file(dir.filePath(name));
  if (!file.open(QIODevice::WriteOnly))
    return {};
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return file.fileName();
}

// The window at its first-run size, shown, with `file` open on the records
// page and no error box expected.
std::unique_ptr<TfrmMain> OpenOnRecords(const QString& file)
{
  auto form = std::make_unique<TfrmMain>();
  form->ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
  form->show();
  if (!QTest::qWaitForWindowExposed(form.get()))
    return nullptr;
  form->activateWindow();
  form->OpenFile(file);
  form->pcXLS->setCurrentIndex(1);
  QApplication::sendPostedEvents();
  return form;
}

#define OPEN_ON_RECORDS(form, file)     \
  if (!QFile::exists(file))             \
    QSKIP("corpus file not found");     \
  const auto form = OpenOnRecords(file); \
  QVERIFY(form)

// The current row lies wholly inside the list's viewport.
bool CurrentRowShown(TfrmMain& form)
{
  QApplication::sendPostedEvents();
  const QModelIndex current = form.lvRecords->currentIndex();
  const QRect rect = form.lvRecords->visualRect(current);
  return current.isValid() && rect.top() >= 0 && rect.bottom() < form.lvRecords->viewport()->height();
}

int VisibleRows(QAbstractItemView& view)
{
  return view.viewport()->height() / std::max(1, view.visualRect(view.model()->index(0, 0)).height());
}

// The first field of the Fields pane, at any depth, that `accept` takes.
QModelIndex FindField(TFieldTreeModel& model, const std::function<bool(const TRecordField&)>& accept,
                      const QModelIndex& parent = {})
{
  for (int row = 0; row < model.rowCount(parent); ++row) {
    const QModelIndex index = model.index(row, 0, parent);
    const TRecordField* field = model.Field(index);
    if (field && accept(*field))
      return index;
    if (field && !field->Lazy)
      if (const QModelIndex inner = FindField(model, accept, index); inner.isValid())
        return inner;
  }
  return {};
}

int RowOfCode(TfrmMain& form, std::uint16_t code)
{
  for (int row = 0; row < form.Records().Count(); ++row)
    if (form.Records().Row(row).Code == code)
      return row;
  return -1;
}

}  // namespace

class TstFirstUse : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> FHome;

private slots:
  void init()
  {
    // Every test starts as a first run.
    FHome = std::make_unique<QTemporaryDir>();
    QVERIFY(FHome->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FHome->path());
  }

  void everyJumpScrollsItsRecordIntoView_data()
  {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"link", "back", "goto", "find", "outline", "problems"})
      QTest::newRow(kind) << QString::fromLatin1(kind);
  }

  // Each jump goes far down the list, or up from far down, past a filter
  // that hides its record.
  void everyJumpScrollsItsRecordIntoView()
  {
    QFETCH(QString, kind);
    const bool pane = kind == QStringLiteral("outline") || kind == QStringLiteral("problems");
    OPEN_ON_RECORDS(form, pane ? kDamaged : kFormulas);
    TRecordNavigator& nav = *form->Navigator;
    const TRecordListModel& records = form->Records();
    const int page = VisibleRows(*form->lvRecords);
    QVERIFY(page > 3);
    int expected = -1;
    if (kind == QStringLiteral("link") || kind == QStringLiteral("back")) {
      // The last formula's XF link leads up to a record the filter hides.
      nav.SetFilterText(QStringLiteral("FORMULA"));
      form->lvRecords->selectRow(form->lvRecords->model()->rowCount() - 1);
      const int formula = nav.CurrentRecord();
      const QModelIndex xf = FindField(form->Fields->Model(),
                                       [](const TRecordField& f) { return f.Link.Kind == TFieldLinkKind::lkXf; });
      QVERIFY(xf.isValid());
      form->Fields->tvFields->setCurrentIndex(xf);
      QVERIFY(form->Fields->FollowLink());
      QVERIFY(nav.edFilter->text().isEmpty());
      QCOMPARE(records.Row(nav.CurrentRecord()).Code, std::uint16_t(0x00E0));
      QVERIFY(nav.CurrentRecord() + 2 * page < formula);
      expected = nav.CurrentRecord();
      if (kind == QStringLiteral("back")) {
        nav.SetFilterText(QStringLiteral("XF"));
        QVERIFY(form->Fields->Back());
        expected = formula;
      }
    } else if (kind == QStringLiteral("goto")) {
      nav.SetFilterText(QStringLiteral("FORMULA"));
      expected = records.Count() - 3;
      QVERIFY(records.Row(expected).Code != 0x0006);
      nav.edGoTo->setFocus();
      QTest::keyClicks(nav.edGoTo, QString::number(expected + 1));
      QTest::keyClick(nav.edGoTo, Qt::Key_Return);
      QCOMPARE(QApplication::focusWidget(), form->lvRecords);  // Enter hands the keys to the list
    } else if (kind == QStringLiteral("find")) {
      // Eight bytes of a record near the end that first occur there.
      const auto span = records.Stream().Span();
      const QByteArray stream(reinterpret_cast<const char*>(span.data()), static_cast<qsizetype>(span.size()));
      QByteArray pattern;
      for (int row = records.Count() - 5; row > 2 * page && expected < 0; --row) {
        const TRecordRow r = records.Row(row);
        pattern = stream.mid(static_cast<qsizetype>(r.Offset + 4), 8);
        if (r.DataSize >= 8 && stream.indexOf(pattern) == static_cast<qsizetype>(r.Offset + 4))
          expected = row;
      }
      QVERIFY(expected > 0);
      form->lvRecords->selectRow(0);
      nav.cbFindMode->setCurrentIndex(TRecordNavigator::fmHex);
      nav.edFind->setText(QString::fromLatin1(pattern.toHex(' ')));
      QVERIFY(nav.FindNext(true));
    } else {
      QTRY_VERIFY_WITH_TIMEOUT(form->Pane->Ready(), 20000);
      QTreeWidget& list = kind == QStringLiteral("outline") ? *form->Pane->tvOutline : *form->Pane->tvProblems;
      QTreeWidgetItem* furthest = nullptr;
      for (QTreeWidgetItemIterator it(&list); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).isValid() && (*it)->data(0, Qt::UserRole).toInt() > expected) {
          furthest = *it;
          expected = furthest->data(0, Qt::UserRole).toInt();
        }
      QVERIFY(expected > 2 * page);
      nav.SetFilterText(records.Row(expected).Code == 0x0809 ? QStringLiteral("EOF") : QStringLiteral("BOF"));
      form->lvRecords->selectRow(0);
      list.setCurrentItem(furthest);
    }
    QCOMPARE(nav.CurrentRecord(), expected);
    QVERIFY2(CurrentRowShown(*form), qPrintable(QStringLiteral("first row shown %1, current row %2")
                                                    .arg(form->lvRecords->FirstVisibleRow())
                                                    .arg(form->lvRecords->currentIndex().row())));
    QCOMPARE(form->Fields->Row(), expected);
  }

  void theStatusTooltipAndTheErrorBoxHaveTheWholeMessage()
  {
    if (!QFile::exists(kEncrypted))
      QSKIP("corpus file not found");
    TfrmMain form;
    form.PasswordPrompter = [](QWidget*, const QString&, bool, TSecret&) { return false; };
    // The real box, read while it is open and closed from a timer.
    QString text, information, details;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        poll.stop();
        text = box->text();
        information = box->informativeText();
        details = box->detailedText();
        box->accept();
      }
    });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    poll.start();
    form.OpenFile(kEncrypted);
    QVERIFY(!text.isEmpty());
    const int rows = form.Records().Count();
    QVERIFY(rows > 0);
    const TRecordRow last = form.Records().Row(rows - 1);
    // Whatever the box's text leaves out of the status is under it.
    QCOMPARE(form.lblStatusMessage->toolTip(), form.lblStatusMessage->text());
    QCOMPARE(text + QLatin1Char(' ') + information, form.lblStatusMessage->text());
    QVERIFY(information.startsWith(QStringLiteral("Reading stopped at record %1 ").arg(rows)));
    const QString name = form.Records().data(form.Records().index(rows - 1, TRecordListModel::rcName)).toString();
    QCOMPARE(details, QStringLiteral("Last record read: #%1, %2 %3, length %4, at offset %5.\n"
                                     "Reading stopped at offset %6 of the workbook stream.\nMessage: %7")
                          .arg(rows)
                          .arg(QString::fromStdString(RecordCodeText(last.Code)), name)
                          .arg(last.Length)
                          .arg(QString::fromStdString(RecordOffsetText(last.Offset)),
                               QString::fromStdString(RecordOffsetText(last.Offset + 4 + last.DataSize)), text));

    // A later message replaces the tooltip with its own whole text, and a
    // long one does not widen the window.
    form.ErrorPresenter = [](QWidget*, const QString&, const QString&) {};
    QVERIFY(!form.Navigator->GoTo(QStringLiteral("99999999")));
    QCOMPARE(form.lblStatusMessage->toolTip(), form.lblStatusMessage->text());
    QVERIFY(form.lblStatusMessage->toolTip().contains(QStringLiteral("99999999")));
    QVERIFY(form.lblStatusMessage->minimumSizeHint().width() < 100 ||
            form.lblStatusMessage->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored);
  }

  void tabWalksThePanesInOrderAndTheFocusedOneIsFramed()
  {
    OPEN_ON_RECORDS(form, kProfiles);
    form->lvRecords->selectRow(3);
    QTRY_VERIFY_WITH_TIMEOUT(form->Pane->Ready(), 20000);
    TRecordNavigator& nav = *form->Navigator;
    const QList<QWidget*> order = {nav.edFilter, nav.edFind, nav.cbFindMode, nav.edGoTo, form->lvRecords,
                                   form->Dump, form->Fields->tvFields, form->Pane->tvOutline};
    nav.edFilter->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), nav.edFilter);
    for (qsizetype i = 1; i < order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), order[i]);
      // Panes are framed while they have the keys; the strip's boxes have their own look.
      if (i >= 4) {
        QCOMPARE(form->FocusFrame->Framed(), order[i]);
        QVERIFY(form->FocusFrame->isVisible());
        QCOMPARE(form->FocusFrame->geometry(), order[i]->rect());
      }
    }
    nav.edFind->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!form->FocusFrame->isVisible());
  }

  void enterInTheFilterMovesToTheListUnlessTheWordNamesNoType()
  {
    OPEN_ON_RECORDS(form, kFormulas);
    QLineEdit& filter = *form->Navigator->edFilter;
    for (const auto& [word, keys] : {std::pair{"FORMULA", static_cast<QWidget*>(form->lvRecords)},
                                     {"NOSUCHTYPE", static_cast<QWidget*>(&filter)}}) {
      filter.setFocus();
      filter.clear();
      QTest::keyClicks(&filter, QString::fromLatin1(word));
      QTest::keyClick(&filter, Qt::Key_Return);
      QCOMPARE(QApplication::focusWidget(), keys);
      if (keys == form->lvRecords)
        QVERIFY(form->lvRecords->model()->rowCount() < form->Records().Count());
    }
  }

  void ctrlPageKeysSwitchSheetsFromTheRecordsPageToo()
  {
    QTemporaryDir dir;
    const auto form = OpenOnRecords(WriteBook(dir, QStringLiteral("three.xls"), false));
    QVERIFY(form);
    QCOMPARE(form->tsSheets->count(), 3);
    form->lvRecords->setFocus();
    const TPreviewModel& preview = form->sgXLS->PreviewModel();
    for (const auto& [key, sheet] : {std::pair{Qt::Key_PageDown, 1}, {Qt::Key_PageDown, 2}, {Qt::Key_PageDown, 2},
                                     {Qt::Key_PageUp, 1}, {Qt::Key_PageUp, 0}, {Qt::Key_PageUp, 0}}) {
      QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
      QCOMPARE(form->pcXLS->currentIndex(), 0);
      QCOMPARE(form->tsSheets->currentIndex(), sheet);
      QVERIFY(preview.data(preview.index(0, 0)).toString().contains(QString::number(sheet + 1)));
    }
  }

  void aLongValueIsElidedWholeInItsTooltipAndCopiedWhole()
  {
    // Opened by a relative name: the screenshot shows no path of the machine.
    QTemporaryDir dir;
    QVERIFY(!WriteBook(dir, QStringLiteral("long.xls"), true).isEmpty());
    const QString folder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const auto form = OpenOnRecords(QStringLiteral("long.xls"));
    QVERIFY(QDir::setCurrent(folder));
    QVERIFY(form);
    form->lvRecords->selectRow(RowOfCode(*form, 0x041E));
    TFieldTreeModel& model = form->Fields->Model();
    const QString whole = QString::fromStdString(LongFormat());
    const QModelIndex value = FindField(model, [&whole](const TRecordField& f) {
                                const auto* text = std::get_if<std::string>(&f.Value);
                                return text && QString::fromStdString(*text) == whole;
                              }).siblingAtColumn(TFieldTreeModel::fcValue);
    QVERIFY(value.isValid());
    QTreeView& tree = *form->Fields->tvFields;
    // Elided in the middle; the tooltip, Copy Value and Ctrl+C's line have it whole.
    QVERIFY(tree.columnWidth(TFieldTreeModel::fcValue) < tree.fontMetrics().horizontalAdvance(whole));
    QCOMPARE(tree.textElideMode(), Qt::ElideMiddle);
    QCOMPARE(QTextDocumentFragment::fromHtml(model.data(value, Qt::ToolTipRole).toString()).toPlainText(), whole);
    tree.setCurrentIndex(value);
    QApplication::clipboard()->clear();
    QVERIFY(tree.actions().contains(form->Fields->actCopyValue));
    form->Fields->actCopyValue->trigger();
    QCOMPARE(QApplication::clipboard()->text(), whole);
    tree.setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(&tree, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(QApplication::clipboard()->text().split(QLatin1Char('\t')).contains(whole));

    // For the eye, at the first-run layout: the elided value, selected, its band in the dump.
    QDir().mkpath(QStringLiteral(BIFFLENS_SCREENSHOT_DIR));
    QApplication::sendPostedEvents();
    QVERIFY(form->grab().toImage().save(QStringLiteral(BIFFLENS_SCREENSHOT_DIR "/fields-long-value.png")));

    // A wider pane widens the value and the meaning, not the name and the bytes.
    QList<int> before, after;
    for (int c = 0; c < TFieldTreeModel::fcColumnCount; ++c)
      before << tree.columnWidth(c);
    const QList<int> sizes = form->SplitterFields->sizes();
    form->SplitterFields->setSizes({sizes[0] - 150, sizes[1] + 150});
    QApplication::sendPostedEvents();
    for (int c = 0; c < TFieldTreeModel::fcColumnCount; ++c)
      after << tree.columnWidth(c);
    QCOMPARE(after[TFieldTreeModel::fcName], before[TFieldTreeModel::fcName]);
    QCOMPARE(after[TFieldTreeModel::fcBytes], before[TFieldTreeModel::fcBytes]);
    QVERIFY(after[TFieldTreeModel::fcValue] > before[TFieldTreeModel::fcValue]);
    QVERIFY(after[TFieldTreeModel::fcMeaning] > before[TFieldTreeModel::fcMeaning]);
    QVERIFY(std::abs(after[0] + after[1] + after[2] + after[3] - tree.viewport()->width()) <= 1);
  }

  void theProblemsCheckColumnFitsItsLongestId()
  {
    OPEN_ON_RECORDS(form, kDamaged);
    QTRY_VERIFY_WITH_TIMEOUT(form->Pane->Ready(), 20000);
    QTreeWidget& problems = *form->Pane->tvProblems;
    QVERIFY(problems.topLevelItemCount() > 0);
    for (int i = 0; i < problems.topLevelItemCount(); ++i)
      QVERIFY(problems.columnWidth(1) > problems.fontMetrics().horizontalAdvance(problems.topLevelItem(i)->text(1)));
  }

  void theFirstRunLayoutHasAWholeDumpLineAndALongFieldsPane()
  {
    OPEN_ON_RECORDS(form, kProfiles);
    QCOMPARE(form->size(), QSize(TfrmMain::kDefaultWidth, TfrmMain::kDefaultHeight));
    // An SST: a record of many fields, so the tree has rows to count.
    form->lvRecords->selectRow(RowOfCode(*form, 0x00FC));
    QApplication::sendPostedEvents();
    QCOMPARE(form->Dump->LineBytes(), 16);
    QVERIFY2(VisibleRows(*form->Fields->tvFields) >= 15, qPrintable(QString::number(VisibleRows(*form->Fields->tvFields))));
    QVERIFY2(VisibleRows(*form->lvRecords) >= 6, qPrintable(QString::number(VisibleRows(*form->lvRecords))));
    // The container's tables show eight rows or more.
    for (QTreeWidget* table : {form->Pane->tvEntries, form->Pane->tvSectors}) {
      auto* item = new QTreeWidgetItem(QStringList{QStringLiteral("x")});
      table->addTopLevelItem(item);
      QVERIFY(table->minimumHeight() - table->header()->sizeHint().height() >= 8 * table->visualItemRect(item).height());
    }
  }

  void aFilterThatHidesTheShownRecordEmptiesTheFieldsPaneAndANewFileTheBoxes()
  {
    OPEN_ON_RECORDS(form, kFormulas);
    TRecordNavigator& nav = *form->Navigator;
    const int sst = RowOfCode(*form, 0x00FC);
    QVERIFY(sst >= 0);
    form->lvRecords->selectRow(sst);
    QVERIFY(form->Dump->DataLength() > 0);
    // Kept by the filter: still shown. Hidden by it: gone from pane and dump.
    for (const auto& [filter, shown] : {std::pair{"SST", sst}, {"FORMULA", -1}}) {
      nav.SetFilterText(QString::fromLatin1(filter));
      QCOMPARE(form->Fields->Row(), shown);
      QCOMPARE(form->Fields->Model().rowCount() > 0, shown >= 0);
      QCOMPARE(form->Dump->DataLength() > 0, shown >= 0);
    }
    QCOMPARE(form->Fields->lblRecord->text(), QString::fromLatin1(kFieldsNoRecord));
    form->lvRecords->selectRow(0);
    QCOMPARE(form->Fields->Row(), nav.CurrentRecord());
    QVERIFY(form->Fields->Model().rowCount() > 0);
    // A new file empties the search boxes; the go-to box shows seven digits whole.
    nav.edFind->setText(QStringLiteral("41 42"));
    nav.edGoTo->setText(QStringLiteral("1234567"));
    QVERIFY(nav.edGoTo->width() >= nav.edGoTo->fontMetrics().horizontalAdvance(QStringLiteral("1234567")) + 20);
    form->OpenFile(kProfiles);
    for (QLineEdit* box : {nav.edFind, nav.edGoTo, nav.edFilter})
      QVERIFY2(box->text().isEmpty(), qPrintable(box->text()));
    QCOMPARE(form->lvRecords->model()->rowCount(), form->Records().Count());
  }
};

QTEST_MAIN(TstFirstUse)
#include "tst_FirstUse.moc"
