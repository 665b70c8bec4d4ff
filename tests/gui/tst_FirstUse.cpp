// What a new user meets on the records page: every jump (a link, Back, Go
// To, Find, the outline, the problems) brings its record into view, even
// when it clears a filter; the status bar's tooltip and the error box have
// the whole message and where reading stopped; Tab walks the panes in
// order, Enter in the filter and go-to boxes hands the keys to the list,
// the focused pane is framed and Ctrl+PgDn/PgUp switch sheets; the Fields
// pane gives a long value's whole text in a tooltip and to Copy Value and
// widens its texts, not its bytes; the first-run layout has a dump of 16
// bytes a line beside a Fields pane of 15 rows or more; a new file empties
// the search boxes; a filter that hides the shown record empties the
// Fields pane. Saves screenshots/fields-long-value.png.

#include "hexdump/HexDump.h"
#include "ui/FieldTreeModel.h"
#include "ui/MainWindow.h"
#include "ui/NavigatorPane.h"
#include "ui/PaneFocusFrame.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordFilterModel.h"
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
#include <QScrollBar>
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

std::vector<std::uint8_t> LongValueWorkbook()
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals);
  b.Font(200, 0, 400, "Arial").Format(164, LongFormat()).Xf(164).BoundSheet("Data", 1).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 1.5).Eof();
  return InCompoundFile(b.Build());
}

std::vector<std::uint8_t> TwoSheetWorkbook()
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals);
  b.Font(200, 0, 400, "Arial").Xf(0).BoundSheet("One", 1).BoundSheet("Two", 2).BoundSheet("Three", 3).Eof();
  for (int sheet = 0; sheet < 3; ++sheet)
    b.Bof(evExcel8).Number(0, 0, 0, sheet + 1).Eof();
  return InCompoundFile(b.Build());
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const std::vector<std::uint8_t>& bytes)
{
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return {};
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return path;
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

int CurrentRecord(const TfrmMain& form)
{
  return form.Navigator->CurrentRecord();
}

// The current row lies wholly inside the list's viewport.
bool CurrentRowShown(TfrmMain& form)
{
  QApplication::sendPostedEvents();
  const QModelIndex current = form.lvRecords->currentIndex();
  const QRect rect = form.lvRecords->visualRect(current);
  return current.isValid() && rect.top() >= 0 && rect.bottom() < form.lvRecords->viewport()->height();
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

int RowOfCode(TfrmMain& form, std::uint16_t code, int from = 0)
{
  for (int row = from; row < form.Records().Count(); ++row)
    if (form.Records().Row(row).Code == code)
      return row;
  return -1;
}

QString PlainToolTip(const QVariant& tip)
{
  return QTextDocumentFragment::fromHtml(tip.toString()).toPlainText();
}

}  // namespace

class TstFirstUse : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<QTemporaryDir> FHome;

private slots:
  void init()
  {
    // Every test starts as a first run.
    FHome = std::make_unique<QTemporaryDir>();
    QVERIFY(FHome->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FHome->path());
  }

  // --- Every jump brings its record into view ----------------------------

  void everyJumpScrollsItsRecordIntoView_data()
  {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"link", "back", "goto", "find", "outline", "problems"})
      QTest::newRow(kind) << QString::fromLatin1(kind);
  }

  void everyJumpScrollsItsRecordIntoView()
  {
    QFETCH(QString, kind);
    const bool pane = kind == QStringLiteral("outline") || kind == QStringLiteral("problems");
    if (!QFile::exists(kFormulas) || !QFile::exists(kDamaged))
      QSKIP("corpus files not found");
    auto form = OpenOnRecords(pane ? kDamaged : kFormulas);
    QVERIFY(form);
    TRecordNavigator& nav = *form->Navigator;
    const int page = form->lvRecords->viewport()->height() / std::max(1, form->lvRecords->visualRect(form->lvRecords->model()->index(0, 0)).height());
    QVERIFY(page > 3);
    int expected = -1;
    if (kind == QStringLiteral("link") || kind == QStringLiteral("back")) {
      // A formula far down the list, whose XF link leads back up to a
      // record the filter hides.
      nav.SetFilterText(QStringLiteral("FORMULA"));
      const int formulaRow = form->lvRecords->model()->rowCount() - 1;
      form->lvRecords->selectRow(formulaRow);
      const int formula = CurrentRecord(*form);
      QVERIFY(CurrentRowShown(*form));
      TFieldTreeModel& model = form->Fields->Model();
      const QModelIndex xf = FindField(model, [](const TRecordField& f) { return f.Link.Kind == TFieldLinkKind::lkXf; });
      QVERIFY(xf.isValid());
      form->Fields->tvFields->setCurrentIndex(xf);
      QVERIFY(form->Fields->FollowLink());
      QVERIFY(nav.edFilter->text().isEmpty());
      QCOMPARE(form->Records().Row(CurrentRecord(*form)).Code, std::uint16_t(0x00E0));
      QVERIFY(CurrentRecord(*form) + 2 * page < formula);
      expected = CurrentRecord(*form);
      if (kind == QStringLiteral("back")) {
        // Back down past a filter that hides the formula again.
        nav.SetFilterText(QStringLiteral("XF"));
        QVERIFY(form->Fields->Back());
        expected = formula;
      }
    } else if (kind == QStringLiteral("goto")) {
      nav.SetFilterText(QStringLiteral("FORMULA"));
      const int target = form->Records().Count() - 3;
      QVERIFY(form->Records().Row(target).Code != 0x0006);
      nav.edGoTo->setFocus();
      QTest::keyClicks(nav.edGoTo, QString::number(target + 1));
      QTest::keyClick(nav.edGoTo, Qt::Key_Return);
      expected = target;
      // Enter leaves the keys with the list.
      QCOMPARE(QApplication::focusWidget(), form->lvRecords);
    } else if (kind == QStringLiteral("find")) {
      // The first eight bytes of a record near the end that holds them
      // first; searched from the top.
      const TRecordListModel& records = form->Records();
      int target = -1;
      QByteArray pattern;
      for (int row = records.Count() - 5; row > 2 * page && target < 0; --row) {
        const TRecordRow r = records.Row(row);
        if (r.DataSize < 8)
          continue;
        const auto bytes = records.Stream().Span().subspan(r.Offset + 4, 8);
        const QByteArray candidate(reinterpret_cast<const char*>(bytes.data()), 8);
        bool earlier = false;
        for (int k = 0; k < row && !earlier; ++k) {
          const TRecordRow e = records.Row(k);
          const auto data = records.Stream().Span().subspan(e.Offset + 4, e.DataSize);
          earlier = QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()))
                        .contains(candidate);
        }
        if (!earlier) {
          target = row;
          pattern = candidate;
        }
      }
      QVERIFY(target > 0);
      form->lvRecords->selectRow(0);
      nav.cbFindMode->setCurrentIndex(TRecordNavigator::fmHex);
      nav.edFind->setText(QString::fromLatin1(pattern.toHex(' ')));
      QVERIFY(nav.FindNext(true));
      expected = target;
    } else {
      QTRY_VERIFY_WITH_TIMEOUT(form->Pane->Ready(), 20000);
      QTreeWidget& list = kind == QStringLiteral("outline") ? *form->Pane->tvOutline : *form->Pane->tvProblems;
      // The item leading furthest down, reached with a filter that hides it.
      QTreeWidgetItem* furthest = nullptr;
      for (QTreeWidgetItemIterator it(&list); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).isValid() &&
            (furthest == nullptr || (*it)->data(0, Qt::UserRole).toInt() > furthest->data(0, Qt::UserRole).toInt()))
          furthest = *it;
      QVERIFY(furthest != nullptr);
      expected = furthest->data(0, Qt::UserRole).toInt();
      QVERIFY(expected > 2 * page);
      nav.SetFilterText(form->Records().Row(expected).Code == 0x0809 ? QStringLiteral("EOF") : QStringLiteral("BOF"));
      form->lvRecords->selectRow(0);
      list.setCurrentItem(furthest);
    }
    QCOMPARE(CurrentRecord(*form), expected);
    QVERIFY2(CurrentRowShown(*form), qPrintable(QStringLiteral("first row shown %1, current row %2")
                                                    .arg(form->lvRecords->FirstVisibleRow())
                                                    .arg(form->lvRecords->currentIndex().row())));
    // The Fields pane shows the record the jump selected.
    QCOMPARE(form->Fields->Row(), expected);
  }

  // --- The whole message ---------------------------------------------------

  void theStatusTooltipAndTheErrorBoxHaveTheWholeMessage()
  {
    if (!QFile::exists(kEncrypted))
      QSKIP("corpus file not found");
    TfrmMain form;
    form.PasswordPrompter = [](QWidget*, const QString&, bool, TSecret&) { return false; };
    // The real box, read while it is open and closed from a timer.
    QString text;
    QString information;
    QString details;
    bool shown = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr)
        return;
      poll.stop();
      shown = true;
      text = box->text();
      information = box->informativeText();
      details = box->detailedText();
      box->accept();
    });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    poll.start();
    form.OpenFile(kEncrypted);
    QVERIFY(shown);
    const int rows = form.Records().Count();
    QVERIFY(rows > 0);
    const TRecordRow last = form.Records().Row(rows - 1);
    const QString status = form.lblStatusMessage->text();
    QCOMPARE(form.lblStatusMessage->toolTip(), status);
    QVERIFY(status.startsWith(text));
    // Whatever the box's text leaves out of the status is under it.
    QCOMPARE(text + QLatin1Char(' ') + information, status);
    QVERIFY(information.startsWith(QStringLiteral("Reading stopped at record %1 ").arg(rows)));
    // The details: the last record read, where reading stopped, the message.
    const QStringList lines = details.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("Last record read: #%1, %2 %3, length %4, at offset %5.")
                           .arg(rows)
                           .arg(QString::fromStdString(RecordCodeText(last.Code)))
                           .arg(form.Records().data(form.Records().index(rows - 1, TRecordListModel::rcName)).toString())
                           .arg(last.Length)
                           .arg(QString::fromStdString(RecordOffsetText(last.Offset))));
    QCOMPARE(lines[1], QStringLiteral("Reading stopped at offset %1 of the workbook stream.")
                           .arg(QString::fromStdString(RecordOffsetText(last.Offset + 4 + last.DataSize))));
    QCOMPARE(lines[2], QStringLiteral("Message: ") + text);

    // An open that fails before reading has no details; a later message
    // replaces the tooltip with its own whole text.
    form.ErrorPresenter = [](QWidget*, const QString&, const QString&) {};
    form.Navigator->edGoTo->setText(QStringLiteral("99999999"));
    QVERIFY(!form.Navigator->GoTo(form.Navigator->edGoTo->text()));
    QCOMPARE(form.lblStatusMessage->toolTip(), form.lblStatusMessage->text());
    QVERIFY(form.lblStatusMessage->toolTip().contains(QStringLiteral("99999999")));
    // A long message does not widen the window.
    QVERIFY(form.lblStatusMessage->minimumSizeHint().width() < 100 ||
            form.lblStatusMessage->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored);
  }

  // --- Keyboard --------------------------------------------------------------

  void tabWalksThePanesInOrderAndTheFocusedOneIsFramed()
  {
    if (!QFile::exists(kProfiles))
      QSKIP("corpus file not found");
    auto form = OpenOnRecords(kProfiles);
    QVERIFY(form);
    form->lvRecords->selectRow(3);
    QTRY_VERIFY_WITH_TIMEOUT(form->Pane->Ready(), 20000);
    TRecordNavigator& nav = *form->Navigator;
    const QList<QWidget*> order = {nav.edFilter, nav.edFind, nav.cbFindMode, nav.edGoTo, form->lvRecords,
                                   form->Dump, form->Fields->tvFields, form->Pane->tvOutline};
    nav.edFilter->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), nav.edFilter);
    for (qsizetype i = 1; i < order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QVERIFY2(QApplication::focusWidget() == order[i],
               qPrintable(QStringLiteral("step %1: %2").arg(i).arg(QApplication::focusWidget()
                                                                        ? QApplication::focusWidget()->metaObject()->className()
                                                                        : "none")));
      // Each pane is framed while it has the keys; the strip's boxes have
      // their own look.
      if (i >= 4) {
        QCOMPARE(form->FocusFrame->Framed(), order[i]);
        QVERIFY(form->FocusFrame->isVisible());
        QCOMPARE(form->FocusFrame->geometry(), order[i]->rect());
      }
    }
    nav.edFind->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!form->FocusFrame->isVisible());
  }

  void enterInTheFilterMovesToTheList()
  {
    if (!QFile::exists(kFormulas))
      QSKIP("corpus file not found");
    auto form = OpenOnRecords(kFormulas);
    QVERIFY(form);
    TRecordNavigator& nav = *form->Navigator;
    nav.edFilter->setFocus();
    QTest::keyClicks(nav.edFilter, QStringLiteral("FORMULA"));
    QTest::keyClick(nav.edFilter, Qt::Key_Return);
    QVERIFY(form->lvRecords->model()->rowCount() < form->Records().Count());
    QCOMPARE(QApplication::focusWidget(), form->lvRecords);
    // A word naming no type keeps the keys in the box to mend it.
    nav.edFilter->setFocus();
    nav.edFilter->clear();
    QTest::keyClicks(nav.edFilter, QStringLiteral("NOSUCHTYPE"));
    QTest::keyClick(nav.edFilter, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), nav.edFilter);
  }

  void ctrlPageKeysSwitchSheets()
  {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("three.xls"), TwoSheetWorkbook());
    auto form = OpenOnRecords(path);
    QVERIFY(form);
    QCOMPARE(form->tsSheets->count(), 3);
    const auto cellA1 = [&form] {
      return form->sgXLS->PreviewModel().data(form->sgXLS->PreviewModel().index(0, 0)).toString();
    };
    // From the records page and its list too: the preview comes forward.
    form->lvRecords->setFocus();
    struct TStep {
      Qt::Key Key;
      int Sheet;
    };
    for (const TStep step : {TStep{Qt::Key_PageDown, 1}, TStep{Qt::Key_PageDown, 2}, TStep{Qt::Key_PageDown, 2},
                             TStep{Qt::Key_PageUp, 1}, TStep{Qt::Key_PageUp, 0}, TStep{Qt::Key_PageUp, 0}}) {
      QTest::keyClick(QApplication::focusWidget(), step.Key, Qt::ControlModifier);
      QCOMPARE(form->pcXLS->currentIndex(), 0);
      QCOMPARE(form->tsSheets->currentIndex(), step.Sheet);
      QVERIFY2(cellA1().contains(QString::number(step.Sheet + 1)), qPrintable(cellA1()));
    }
  }

  // --- The Fields pane -------------------------------------------------------

  void aLongValueIsElidedWholeInItsTooltipAndCopiedWhole()
  {
    QTemporaryDir dir;
    // Opened by a relative name: the screenshot shows no path of the machine.
    QVERIFY(!WriteFile(dir, QStringLiteral("long.xls"), LongValueWorkbook()).isEmpty());
    const QString folder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto form = OpenOnRecords(QStringLiteral("long.xls"));
    QVERIFY(QDir::setCurrent(folder));
    QVERIFY(form);
    const int format = RowOfCode(*form, 0x041E);
    QVERIFY(format >= 0);
    form->lvRecords->selectRow(format);
    TFieldTreeModel& model = form->Fields->Model();
    const QString whole = QString::fromStdString(LongFormat());
    const QModelIndex field = FindField(model, [&whole](const TRecordField& f) {
      const auto* text = std::get_if<std::string>(&f.Value);
      return text && QString::fromStdString(*text) == whole;
    });
    QVERIFY(field.isValid());
    const QModelIndex value = field.siblingAtColumn(TFieldTreeModel::fcValue);
    QTreeView& tree = *form->Fields->tvFields;
    // The column is far narrower than the text: the view elides it in the
    // middle, and the tooltip and Copy Value give all of it.
    QVERIFY(tree.columnWidth(TFieldTreeModel::fcValue) < tree.fontMetrics().horizontalAdvance(whole));
    QCOMPARE(tree.textElideMode(), Qt::ElideMiddle);
    QCOMPARE(PlainToolTip(model.data(value, Qt::ToolTipRole)), whole);
    tree.setCurrentIndex(value);
    QApplication::clipboard()->clear();
    QVERIFY(tree.actions().contains(form->Fields->actCopyValue));
    form->Fields->actCopyValue->trigger();
    QCOMPARE(QApplication::clipboard()->text(), whole);
    // Ctrl+C copies the field's line, its value whole within it.
    tree.setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(&tree, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(QApplication::clipboard()->text().split(QLatin1Char('\t')).contains(whole));

    // For the eye, at the first-run layout: the elided value, selected, its
    // band in the dump.
    QDir().mkpath(QStringLiteral(BIFFLENS_SCREENSHOT_DIR));
    tree.setCurrentIndex(value);
    QApplication::sendPostedEvents();
    const QString shot = QStringLiteral(BIFFLENS_SCREENSHOT_DIR) + QStringLiteral("/fields-long-value.png");
    QVERIFY(form->grab().toImage().save(shot));

    // Widening the pane widens the value and the meaning; the bytes and the
    // name keep their width.
    const auto widths = [&tree] {
      QList<int> w;
      for (int c = 0; c < TFieldTreeModel::fcColumnCount; ++c)
        w << tree.columnWidth(c);
      return w;
    };
    const QList<int> before = widths();
    QList<int> sizes = form->SplitterFields->sizes();
    sizes = {sizes[0] - 150, sizes[1] + 150};
    form->SplitterFields->setSizes(sizes);
    QApplication::sendPostedEvents();
    const QList<int> after = widths();
    QCOMPARE(after[TFieldTreeModel::fcName], before[TFieldTreeModel::fcName]);
    QCOMPARE(after[TFieldTreeModel::fcBytes], before[TFieldTreeModel::fcBytes]);
    QVERIFY(after[TFieldTreeModel::fcValue] > before[TFieldTreeModel::fcValue]);
    QVERIFY(after[TFieldTreeModel::fcMeaning] > before[TFieldTreeModel::fcMeaning]);
    const int used = after[0] + after[1] + after[2] + after[3];
    QVERIFY(std::abs(used - tree.viewport()->width()) <= 1);
  }

  void theProblemsCheckColumnFitsItsLongestId()
  {
    if (!QFile::exists(kDamaged))
      QSKIP("corpus file not found");
    auto form = OpenOnRecords(kDamaged);
    QVERIFY(form);
    QTRY_VERIFY_WITH_TIMEOUT(form->Pane->Ready(), 20000);
    QTreeWidget& problems = *form->Pane->tvProblems;
    QVERIFY(problems.topLevelItemCount() > 0);
    int longest = 0;
    for (int i = 0; i < problems.topLevelItemCount(); ++i)
      longest = std::max(longest, problems.fontMetrics().horizontalAdvance(problems.topLevelItem(i)->text(1)));
    QVERIFY(problems.columnWidth(1) > longest);
  }

  // --- The first-run layout ----------------------------------------------------

  void theFirstRunLayoutHasAWholeDumpLineAndALongFieldsPane()
  {
    if (!QFile::exists(kProfiles))
      QSKIP("corpus file not found");
    auto form = OpenOnRecords(kProfiles);
    QVERIFY(form);
    QCOMPARE(form->size(), QSize(TfrmMain::kDefaultWidth, TfrmMain::kDefaultHeight));
    // A record of many fields, so the tree has rows to count.
    int row = RowOfCode(*form, 0x00FC);
    QVERIFY(row >= 0);
    form->lvRecords->selectRow(row);
    QApplication::sendPostedEvents();
    QCOMPARE(form->Dump->LineBytes(), 16);
    QTreeView& tree = *form->Fields->tvFields;
    const int rowHeight = tree.visualRect(tree.model()->index(0, 0)).height();
    QVERIFY(rowHeight > 0);
    QVERIFY2(tree.viewport()->height() / rowHeight >= 15,
             qPrintable(QStringLiteral("%1 rows").arg(tree.viewport()->height() / rowHeight)));
    // The list keeps every column of the list in view, and some rows.
    const int listRows = form->lvRecords->viewport()->height() /
                         form->lvRecords->visualRect(form->lvRecords->model()->index(0, 0)).height();
    QVERIFY2(listRows >= 6, qPrintable(QString::number(listRows)));
    // The container's tables show eight rows or more.
    for (QTreeWidget* table : {form->Pane->tvEntries, form->Pane->tvSectors}) {
      auto* item = new QTreeWidgetItem(QStringList{QStringLiteral("x")});
      table->addTopLevelItem(item);
      const int height = table->visualItemRect(item).height();
      QVERIFY2(table->minimumHeight() - table->header()->sizeHint().height() >= 8 * height,
               qPrintable(QStringLiteral("%1 / %2").arg(table->minimumHeight()).arg(height)));
    }
  }

  // --- A new file, a filter ------------------------------------------------------

  void aNewFileEmptiesTheSearchBoxes()
  {
    if (!QFile::exists(kProfiles) || !QFile::exists(kFormulas))
      QSKIP("corpus files not found");
    auto form = OpenOnRecords(kProfiles);
    QVERIFY(form);
    TRecordNavigator& nav = *form->Navigator;
    nav.edFind->setText(QStringLiteral("41 42"));
    nav.edGoTo->setText(QStringLiteral("1234567"));
    nav.SetFilterText(QStringLiteral("SST"));
    form->OpenFile(kFormulas);
    for (QLineEdit* box : {nav.edFind, nav.edGoTo, nav.edFilter})
      QVERIFY2(box->text().isEmpty(), qPrintable(box->text()));
    QCOMPARE(form->lvRecords->model()->rowCount(), form->Records().Count());
    // The go-to box shows a seven-digit number whole.
    nav.edGoTo->setText(QStringLiteral("1234567"));
    QVERIFY(nav.edGoTo->width() >= nav.edGoTo->fontMetrics().horizontalAdvance(QStringLiteral("1234567")) + 20);
  }

  void aFilterThatHidesTheShownRecordEmptiesTheFieldsPane()
  {
    if (!QFile::exists(kFormulas))
      QSKIP("corpus file not found");
    auto form = OpenOnRecords(kFormulas);
    QVERIFY(form);
    const int sst = RowOfCode(*form, 0x00FC);
    QVERIFY(sst >= 0);
    form->lvRecords->selectRow(sst);
    QCOMPARE(form->Fields->Row(), sst);
    QVERIFY(form->Dump->DataLength() > 0);
    // Kept by the filter: still shown. Hidden by it: gone from pane and dump.
    form->Navigator->SetFilterText(QStringLiteral("SST"));
    QCOMPARE(form->Fields->Row(), sst);
    form->Navigator->SetFilterText(QStringLiteral("FORMULA"));
    QCOMPARE(form->Fields->Row(), -1);
    QCOMPARE(form->Fields->Model().rowCount(), 0);
    QCOMPARE(form->Dump->DataLength(), 0);
    QCOMPARE(form->Fields->lblRecord->text(), QString::fromLatin1(kFieldsNoRecord));
    // Selecting a row shows it again.
    form->lvRecords->selectRow(0);
    QCOMPARE(form->Fields->Row(), CurrentRecord(*form));
    QVERIFY(form->Fields->Model().rowCount() > 0);
  }
};

QTEST_MAIN(TstFirstUse)
#include "tst_FirstUse.moc"
