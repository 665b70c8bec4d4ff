// The compare window on pairs made with the test writer: the aligned rows
// and their gaps, the tints, F7 and Shift+F7, the strip's marks, the Fields
// tab's two values, the preview's marked cells, filter and find on either
// side, a locked workbook's password, and the --compare command line. Also
// saves screenshots/compare.png: a corpus workbook against a copy with one
// cell changed.

#include "hexdump/HexDump.h"
#include "support/BiffBuilder.h"
#include "support/EncryptingWriter.h"
#include "ui/CommandLine.h"
#include "ui/CompareWindow.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "xls/MSExcel.h"
#include "xls/crypto/Secret.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstring>
#include <map>
#include <set>

namespace {

using enum TExcelVersion;

constexpr std::uint16_t kNumberCode = 0x0203;
constexpr std::uint16_t kLabelSstCode = 0x00FD;
constexpr std::uint16_t kWriteAccessCode = 0x005C;

/// What a test workbook holds; B differs from A in some of it.
struct TBookSpec {
  std::string Author = "alice";
  double B3 = 1.5;
  bool ExtraRow = false;  // row 5: two numbers and a string
  bool DropA7 = false;
};

std::vector<std::uint8_t> Stream(const TBookSpec& spec)
{
  TSstBuilder sst;
  for (const char* s : {"alpha", "beta", "gamma", "delta"})
    sst.String(s);
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals);
  std::vector<std::uint8_t> author(spec.Author.begin(), spec.Author.end());
  author.insert(author.begin(), {static_cast<std::uint8_t>(spec.Author.size()), 0, 0});
  b.Record(kWriteAccessCode, author);
  b.Xf(0).Xf(14);
  b.Sst(sst).BoundSheet("Data", 1);
  b.Eof();
  b.Bof(evExcel8);
  b.LabelSst(0, 0, 0, 0).LabelSst(0, 1, 0, 1);
  b.Number(2, 1, 0, spec.B3).LabelSst(3, 0, 0, 2);
  if (spec.ExtraRow)
    b.Number(4, 0, 0, 10).Number(4, 1, 0, 11).LabelSst(4, 2, 0, 3);
  if (!spec.DropA7)
    b.Number(6, 0, 0, 7);
  b.Eof();
  return b.Build();
}

QString Write(const QTemporaryDir& dir, const QString& name, const std::vector<std::uint8_t>& bytes)
{
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return {};
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return path;
}

QString Text(const QAbstractItemModel& model, int row, int column)
{
  return model.data(model.index(row, column)).toString();
}

/// The code a side's row shows, or 0 for a gap.
std::uint16_t CodeOf(TfrmCompare& form, bool b, int row)
{
  const QString code = Text(*(b ? form.lvB : form.lvA)->model(), row, TRecordListModel::rcCode);
  return code.isEmpty() ? 0 : static_cast<std::uint16_t>(code.toUInt(nullptr, 16));
}

}  // namespace

class TstCompare : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<QTemporaryDir> FDir;
  QString FBase;
  QString FChanged;  // B3 changed, a row added, A7 dropped, another author

  /// A window comparing `a` and `b`, its comparison done.
  std::unique_ptr<TfrmCompare> Compare(const QString& a, const QString& b)
  {
    auto form = std::make_unique<TfrmCompare>();
    form->ErrorPresenter = [](QWidget*, const QString&, const QString& text) { qWarning() << text; };
    if (!form->Open(a, b))
      return nullptr;
    if (!QTest::qWaitFor([&] { return form->Ready(); }, 20000))
      return nullptr;
    return form;
  }

private slots:
  void initTestCase()
  {
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
    // The main window's settings of a first run, kept out of the user's.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FDir->path());
    FBase = Write(*FDir, QStringLiteral("a.xls"), InCompoundFile(Stream({})));
    TBookSpec changed;
    changed.Author = "bob";
    changed.B3 = 2;
    changed.ExtraRow = true;
    changed.DropA7 = true;
    FChanged = Write(*FDir, QStringLiteral("b.xls"), InCompoundFile(Stream(changed)));
    QVERIFY(!FBase.isEmpty() && !FChanged.isEmpty());
  }

  void rowsAlignWithGapsAndEachKindHasItsTint()
  {
    const auto form = Compare(FBase, FChanged);
    QVERIFY(form);
    const TWorkbookDiff& diff = form->Diff();
    // Every record of both sides appears once, in its side's order.
    QCOMPARE(form->Rows().Count(), static_cast<int>(diff.Rows.size()));
    std::uint32_t lastA = 0;
    std::uint32_t lastB = 0;
    std::size_t seenA = 0;
    std::size_t seenB = 0;
    std::map<std::string, TDiffOp> kinds;
    for (int row = 0; row < form->Rows().Count(); ++row) {
      const TDiffRow& r = form->Rows().Row(row);
      for (const bool b : {false, true}) {
        const std::uint32_t record = b ? r.B : r.A;
        const QAbstractItemModel& model = *(b ? form->lvB : form->lvA)->model();
        const QString number = Text(model, row, TRecordListModel::rcNumber);
        if (record == kNoDiffRecord) {
          QVERIFY2(number.isEmpty(), qPrintable(QStringLiteral("row %1 should be a gap").arg(row)));
          QVERIFY(Text(model, row, TRecordListModel::rcName).isEmpty());
          continue;
        }
        QCOMPARE(number, QString::number(record + 1));
        std::uint32_t& last = b ? lastB : lastA;
        QVERIFY(record + 1 > last);
        last = record + 1;
        ++(b ? seenB : seenA);
      }
      const QVariant tintA = form->lvA->model()->data(form->lvA->model()->index(row, 0), Qt::BackgroundRole);
      const QVariant tintB = form->lvB->model()->data(form->lvB->model()->index(row, 3), Qt::BackgroundRole);
      const QVariant swatch =
          form->lvB->model()->data(form->lvB->model()->index(row, TRecordListModel::rcName), Qt::DecorationRole);
      QCOMPARE(swatch.isValid(), r.Difference >= 0);
      if (r.Difference < 0) {
        QVERIFY(!tintA.isValid() && !tintB.isValid());
        QVERIFY(r.A != kNoDiffRecord && r.B != kNoDiffRecord);
        continue;
      }
      const TRecordDifference& d = diff.Differences[static_cast<std::size_t>(r.Difference)];
      QCOMPARE(tintA.value<QColor>(), DiffTint(d.Op));
      QCOMPARE(tintB.value<QColor>(), DiffTint(d.Op));
      // An addition is a gap in A, a removal a gap in B.
      QCOMPARE(r.A == kNoDiffRecord, d.Op == TDiffOp::doAdded);
      QCOMPARE(r.B == kNoDiffRecord, d.Op == TDiffOp::doRemoved);
      kinds[d.Type + " " + d.Cell + d.Key] = d.Op;
    }
    QCOMPARE(seenA, form->Workbook(false).RecordCount());
    QCOMPARE(seenB, form->Workbook(true).RecordCount());
    const std::map<std::string, TDiffOp> expected = {
        {"WRITEACCESS ", TDiffOp::doChanged},  {"NUMBER B3", TDiffOp::doChanged},
        {"NUMBER A5", TDiffOp::doAdded},       {"NUMBER B5", TDiffOp::doAdded},
        {"LABELSST C5", TDiffOp::doAdded},     {"NUMBER A7", TDiffOp::doRemoved},
    };
    QCOMPARE(kinds, expected);
    QVERIFY(DiffTint(TDiffOp::doChanged) != DiffTint(TDiffOp::doAdded));
    QVERIFY(DiffTint(TDiffOp::doAdded) != DiffTint(TDiffOp::doRemoved));
    QVERIFY(DiffTint(TDiffOp::doChanged) != DiffTint(TDiffOp::doRemoved));
  }

  void f7AndShiftF7VisitEveryDifferenceInOrderAndTheStripMarksEach()
  {
    const auto form = Compare(FBase, FChanged);
    QVERIFY(form);
    const std::vector<int> marks = form->Rows().Marks();
    QCOMPARE(marks.size(), form->Diff().Differences.size());
    // From the top, F7 visits each difference once, then says there is no more.
    form->SelectRow(0);
    QVERIFY(form->Rows().Row(0).Difference < 0);
    std::vector<int> forward;
    while (form->NextDifference(true))
      forward.push_back(form->CurrentRow());
    QCOMPARE(forward, marks);
    std::vector<int> back;
    while (form->NextDifference(false))
      back.push_back(form->CurrentRow());
    // From the last one, Shift+F7 goes back through the others.
    const std::vector<int> reversed(marks.rbegin() + 1, marks.rend());
    QCOMPARE(back, reversed);
    // The keys are the window's: F7 from the first difference goes on.
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->SelectRow(marks[0]);
    form->lvA->setFocus();
    QTest::keyClick(form->lvA, Qt::Key_F7);
    QCOMPARE(form->CurrentRow(), marks[1]);
    QTest::keyClick(form->lvA, Qt::Key_F7, Qt::ShiftModifier);
    QCOMPARE(form->CurrentRow(), marks[0]);
    // A click on a mark of the strip goes to its difference.
    for (const int mark : marks) {
      form->SelectRow(0);
      QCOMPARE(form->Strip->MarkNear(form->Strip->MarkY(mark) + 1), mark);
    }
    QTest::mouseClick(form->Strip, Qt::LeftButton, {}, QPoint(5, form->Strip->MarkY(marks.back()) + 1));
    QCOMPARE(form->CurrentRow(), marks.back());
    // The lists scroll together.
    form->lvA->verticalScrollBar()->setValue(form->lvA->verticalScrollBar()->maximum());
    QCOMPARE(form->lvB->verticalScrollBar()->value(), form->lvA->verticalScrollBar()->value());
  }

  void theFieldsTabShowsBothValuesAndBandsInBothDumps()
  {
    const auto form = Compare(FBase, FChanged);
    QVERIFY(form);
    const auto rowOf = [&](const std::string& type, const std::string& cell) {
      for (const int mark : form->Rows().Marks()) {
        const TRecordDifference& d =
            form->Diff().Differences[static_cast<std::size_t>(form->Rows().Row(mark).Difference)];
        if (d.Type == type && d.Cell == cell)
          return mark;
      }
      return -1;
    };
    struct TCase {
      std::string Type;
      std::string Cell;
      QString Field;
      QString A;
      QString B;
      int Bytes;  // of the field, in each dump
    };
    const TCase cases[] = {
        {"NUMBER", "B3", QStringLiteral("value"), QStringLiteral("1.5"), QStringLiteral("2"), 8},
        {"WRITEACCESS", "", QString(), QString(), QString(), 0},
    };
    for (const TCase& c : cases) {
      const int row = rowOf(c.Type, c.Cell);
      QVERIFY(row >= 0);
      form->SelectRow(row);
      QVERIFY(form->tvFields->topLevelItemCount() > 0);
      QVERIFY(form->DumpA->HasData() && form->DumpB->HasData());
      QVERIFY(!form->DumpA->Bands().empty() && !form->DumpB->Bands().empty());
      if (c.Field.isEmpty())
        continue;
      QTreeWidgetItem* item = form->tvFields->topLevelItem(0);
      QCOMPARE(item->text(0), c.Field);
      QCOMPARE(item->text(1), c.A);
      QCOMPARE(item->text(2), c.B);
      form->tvFields->setCurrentItem(item);
      QCOMPARE(form->DumpA->ActiveBandCount(), c.Bytes);
      QCOMPARE(form->DumpB->ActiveBandCount(), c.Bytes);
      // The band lies on the value's bytes: the dumps differ there and
      // nowhere else.
      const int first = form->DumpA->ActiveBandFirst();
      double a = 0;
      double b = 0;
      std::memcpy(&a, form->DumpA->CopyBytes().data() + first, 8);
      std::memcpy(&b, form->DumpB->CopyBytes().data() + first, 8);
      QCOMPARE(a, 1.5);
      QCOMPARE(b, 2.0);
    }
    // The author changed: its text on each side.
    form->SelectRow(rowOf("WRITEACCESS", ""));
    bool authors = false;
    for (int i = 0; i < form->tvFields->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = form->tvFields->topLevelItem(i);
      authors = authors || (item->text(1).contains(QStringLiteral("alice")) && item->text(2).contains(QStringLiteral("bob")));
    }
    QVERIFY(authors);
    // An added record: its fields on B's side only, and no dump for A.
    form->SelectRow(rowOf("NUMBER", "A5"));
    QVERIFY(form->tvFields->topLevelItemCount() > 0);
    QCOMPARE(form->tvFields->topLevelItem(0)->text(1), QStringLiteral("(none)"));
    QVERIFY(!form->DumpA->HasData());
    QVERIFY(form->DumpB->HasData());
  }

  void thePreviewTintsChangedCellsWithBothValuesInTheTooltip()
  {
    const auto form = Compare(FBase, FChanged);
    QVERIFY(form);
    QCOMPARE(form->tsSheets->count(), 1);
    const QAbstractItemModel& grid = *form->sgPreview->model();
    struct TCase {
      int Row;
      int Column;
      TDiffOp Op;
      QString Tip;
    };
    const TCase cases[] = {
        {2, 1, TDiffOp::doChanged, QStringLiteral("1.5 \u2192 2")},
        {4, 0, TDiffOp::doAdded, QStringLiteral("(none) \u2192 10")},
        {4, 1, TDiffOp::doAdded, QStringLiteral("(none) \u2192 11")},
        {4, 2, TDiffOp::doAdded, QStringLiteral("(none) \u2192 delta")},
        {6, 0, TDiffOp::doRemoved, QStringLiteral("7 \u2192 (none)")},
    };
    for (const TCase& c : cases) {
      const QModelIndex cell = grid.index(c.Row, c.Column);
      QVERIFY2(cell.isValid(), qPrintable(c.Tip));
      QCOMPARE(grid.data(cell, Qt::BackgroundRole).value<QColor>(), DiffTint(c.Op));
      QVERIFY2(grid.data(cell, Qt::ToolTipRole).toString().startsWith(c.Tip),
               qPrintable(grid.data(cell, Qt::ToolTipRole).toString()));
    }
    // A cell alike on both sides is left as it was.
    QVERIFY(!grid.data(grid.index(0, 0), Qt::BackgroundRole).isValid());
    QCOMPARE(grid.data(grid.index(0, 0)).toString(), QStringLiteral("alpha"));
    QCOMPARE(form->CellDifferences().size(), std::size(cases));
  }

  void filterAndFindWorkOnEitherSide()
  {
    const auto form = Compare(FBase, FChanged);
    QVERIFY(form);
    const int all = form->Rows().Count();
    // Every row kept has the type on one side at least, and a row whose
    // record only B has is among them.
    struct TCase {
      QString Filter;
      std::uint16_t Code;
    };
    for (const TCase& c : {TCase{QStringLiteral("LABELSST"), kLabelSstCode}, TCase{QStringLiteral("0x0203"), kNumberCode}}) {
      QVERIFY(form->ApplyFilter(c.Filter));
      QVERIFY(form->Rows().Count() > 0 && form->Rows().Count() < all);
      bool onlyB = false;
      bool onlyA = false;
      for (int row = 0; row < form->Rows().Count(); ++row) {
        const std::uint16_t a = CodeOf(*form, false, row);
        const std::uint16_t b = CodeOf(*form, true, row);
        QVERIFY(a == c.Code || b == c.Code);
        onlyB = onlyB || a == 0;
        onlyA = onlyA || b == 0;
      }
      QVERIFY(onlyB);
      QCOMPARE(onlyA, c.Code == kNumberCode);  // A7 is A's alone
      // The marks follow the filter.
      for (const int mark : form->Rows().Marks())
        QVERIFY(form->Rows().Row(mark).Difference >= 0);
    }
    QVERIFY(!form->ApplyFilter(QStringLiteral("NOSUCHTYPE")));
    // Only the differences.
    form->cbOnlyDifferences->setChecked(true);
    QVERIFY(form->ApplyFilter(QString()));
    QCOMPARE(form->Rows().Count(), static_cast<int>(form->Rows().Marks().size()));
    form->cbOnlyDifferences->setChecked(false);
    QVERIFY(form->ApplyFilter(QString()));
    QCOMPARE(form->Rows().Count(), all);

    // Find: text only A has, text only B has, from the top each time.
    struct TFind {
      QString Text;
      int Mode;
      bool InA;
      bool InB;
    };
    const TFind finds[] = {
        {QStringLiteral("alice"), 1, true, false},
        {QStringLiteral("bob"), 1, false, true},
        {QStringLiteral("62 6F 62"), 0, false, true},
        {QStringLiteral("nowhere"), 1, false, false},
    };
    for (const TFind& f : finds) {
      form->SelectRow(0);
      form->edFind->setText(f.Text);
      form->cbFindMode->setCurrentIndex(f.Mode);
      QCOMPARE(form->FindNext(true), f.InA || f.InB);
      if (!(f.InA || f.InB))
        continue;
      const int row = form->CurrentRow();
      // The authors' records pair: the row holds both, the status says
      // which side the text was found on.
      QCOMPARE(CodeOf(*form, false, row), kWriteAccessCode);
      QCOMPARE(CodeOf(*form, true, row), kWriteAccessCode);
      QVERIFY2(form->lblStatus->text().endsWith(f.InA ? QStringLiteral("(A)") : QStringLiteral("(B)")),
               qPrintable(form->lblStatus->text()));
      // Found again from there: round past the end to the same row.
      QVERIFY(form->FindNext(true));
      QCOMPARE(form->CurrentRow(), row);
      QVERIFY(form->FindNext(false));
      QCOMPARE(form->CurrentRow(), row);
    }
  }

  void aLockedWorkbookAsksItsPasswordAndMatchesItsPlainTwin()
  {
    TEncryptSpec spec;
    spec.Password = "open sesame";
    const QString locked = Write(*FDir, QStringLiteral("locked.xls"), InCompoundFile(EncryptStream(Stream({}), spec)));
    TfrmCompare form;
    int asked = 0;
    form.PasswordPrompter = [&asked](QWidget*, const QString&, bool, TSecret& password) {
      ++asked;
      password.Assign("open sesame");
      return true;
    };
    QVERIFY(form.Open(FBase, locked));
    QVERIFY(QTest::qWaitFor([&] { return form.Ready(); }, 20000));
    QCOMPARE(asked, 1);
    QVERIFY(form.Diff().Differences.empty());
    QVERIFY(form.Rows().Marks().empty());
    QVERIFY(form.CellDifferences().empty());
    QVERIFY(!form.NextDifference(true));
  }

  void aFileThatCannotBeReadIsSaidAndNothingCompared()
  {
    TfrmCompare form;
    QStringList errors;
    form.ErrorPresenter = [&errors](QWidget*, const QString&, const QString& text) { errors << text; };
    QVERIFY(!form.Open(FBase, FDir->filePath(QStringLiteral("missing.xls"))));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].startsWith(QStringLiteral("missing.xls: ")));
    QVERIFY(!form.Ready());
    QCOMPARE(form.Rows().Count(), 0);
  }

  void theMainWindowOpensACompareWindowThatGoesWhenClosed()
  {
    TfrmMain main;
    QStringList errors;
    main.ErrorPresenter = [&errors](QWidget*, const QString&, const QString& text) { errors << text; };
    QVERIFY(main.mnuFile->actions().contains(main.actCompare));
    QPointer<TfrmCompare> window = ShowCompareWindow(&main, FBase, FChanged);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(QTest::qWaitFor([&] { return window->Ready(); }, 20000));
    QCOMPARE(window->Diff().Differences.size(), std::size_t{6});
    window->close();
    QTRY_VERIFY(window.isNull());
    // A file that cannot be read: the main window's error box, no window.
    QVERIFY(!ShowCompareWindow(&main, FBase, FDir->filePath(QStringLiteral("missing.xls"))));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.isEmpty() || errors[0].startsWith(QStringLiteral("missing.xls: ")));
  }

  void theCommandLineTakesCompareAndTwoFiles()
  {
    struct TCase {
      QStringList Arguments;
      bool Valid;
      QString A;
      QString B;
      QString File;
    };
    const QString bin = QStringLiteral("bifflens");
    const QString compare = QStringLiteral("--compare");
    const QString a = QStringLiteral("a.xls");
    const QString b = QStringLiteral("b.xls");
    const TCase cases[] = {
        {{bin, compare, a, b}, true, a, b, QString()},
        {{bin, compare, a}, false, QString(), QString(), QString()},
        {{bin, compare}, false, QString(), QString(), QString()},
        {{bin, compare, a, b, a}, false, QString(), QString(), QString()},
        {{bin, a}, true, QString(), QString(), a},
        {{bin, a, compare}, false, QString(), QString(), QString()},
    };
    for (const TCase& c : cases) {
      const TCommandLine parsed = ParseCommandLine(c.Arguments);
      QCOMPARE(parsed.Valid, c.Valid);
      if (!c.Valid)
        continue;
      QCOMPARE(parsed.CompareA, c.A);
      QCOMPARE(parsed.CompareB, c.B);
      QCOMPARE(parsed.FileName, c.File);
    }
  }

  void screenshotOfACorpusWorkbookAgainstACopyWithOneCellChanged()
  {
    const QString source = QStringLiteral(BIFFLENS_CORPUS_DIR) + QStringLiteral("/xlrd__profiles.xls");
    if (!QFile::exists(source))
      QSKIP("corpus folder not found");
    // The copy: the first NUMBER of a sheet with its value changed, the
    // stream in a container of the test writer's.
    TMSExcel reader;
    TOpenedWorkbook book(reader, TOpenedWorkbook::TKeep::kpRecords);
    reader.LoadFromFile(source.toStdString());
    std::vector<std::uint8_t> stream(book.Records().Stream().Span().begin(), book.Records().Stream().Span().end());
    std::optional<std::size_t> target;
    for (std::size_t i = 0; i < book.RecordCount() && !target; ++i)
      if (book.Directory().Code(i) == kNumberCode && book.Directory().CellOf(i) && book.Records().Row(i).DataSize == 14)
        target = i;
    if (!target)
      QSKIP("no NUMBER record to change");
    const std::size_t at = static_cast<std::size_t>(book.Records().Row(*target).Offset) + 4 + 6;
    double value = 0;
    std::memcpy(&value, stream.data() + at, 8);
    value += 1;
    std::memcpy(stream.data() + at, &value, 8);
    // Relative names from a folder of their own: no path of the machine.
    QVERIFY(QFile::copy(source, FDir->filePath(QStringLiteral("profiles.xls"))));
    QVERIFY(!Write(*FDir, QStringLiteral("profiles-edited.xls"), InCompoundFile(stream)).isEmpty());
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(FDir->path()));
    const auto form = Compare(QStringLiteral("profiles.xls"), QStringLiteral("profiles-edited.xls"));
    QDir::setCurrent(before);
    QVERIFY(form);
    QCOMPARE(form->Diff().Differences.size(), std::size_t{1});
    QCOMPARE(form->CellDifferences().size(), std::size_t{1});
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->SelectRow(form->Rows().Marks().front());
    form->tvFields->setCurrentItem(form->tvFields->topLevelItem(0));
    const QString folder = QStringLiteral(BIFFLENS_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(folder));
    QApplication::sendPostedEvents();
    const QImage image = form->grab().toImage();
    QVERIFY(!image.isNull());
    QVERIFY(image.save(folder + QStringLiteral("/compare.png")));
  }
};

QTEST_MAIN(TstCompare)
#include "tst_Compare.moc"
