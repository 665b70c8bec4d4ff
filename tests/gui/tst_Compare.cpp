// The compare window on a pair made with the test writer (B3 and A151
// changed, row 5 added, A7 dropped, another author), a locked twin, and a corpus workbook
// against a copy with one cell changed (saved as screenshots/compare.png).

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

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstring>
#include <map>
#include <set>

namespace {

using enum TExcelVersion;
using enum TDiffOp;

constexpr std::uint16_t kNumberCode = 0x0203;
constexpr std::uint16_t kLabelSstCode = 0x00FD;
constexpr std::uint16_t kWriteAccessCode = 0x005C;

std::vector<std::uint8_t> Stream(bool changed)
{
  const std::string author = changed ? "bob" : "alice";
  TSstBuilder sst;
  for (const char* s : {"alpha", "beta", "gamma", "delta"})
    sst.String(s);
  std::vector<std::uint8_t> access(author.begin(), author.end());
  access.insert(access.begin(), {static_cast<std::uint8_t>(author.size()), 0, 0});
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).Record(kWriteAccessCode, access).Xf(0).Xf(14);
  b.Sst(sst).BoundSheet("Data", 1).Eof().Bof(evExcel8);
  b.LabelSst(0, 0, 0, 0).LabelSst(0, 1, 0, 1).Number(2, 1, 0, changed ? 2 : 1.5).LabelSst(3, 0, 0, 2);
  if (changed)
    b.Number(4, 0, 0, 10).Number(4, 1, 0, 11).LabelSst(4, 2, 0, 3);
  else
    b.Number(6, 0, 0, 7);
  return b.Number(150, 0, 0, changed ? 3 : 4).Eof().Build();  // past the preview's first hundred rows
}

QString Write(const QTemporaryDir& dir, const QString& name, const std::vector<std::uint8_t>& bytes)
{
  QFile file(dir.filePath(name));
  if (!file.open(QIODevice::WriteOnly))
    return {};
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return file.fileName();
}

QVariant Data(TRecordListView* list, int row, int column, int role = Qt::DisplayRole)
{
  return list->model()->data(list->model()->index(row, column), role);
}

/// The code a side's row shows, or 0 for a gap.
std::uint16_t CodeOf(TfrmCompare& form, bool b, int row)
{
  return static_cast<std::uint16_t>(Data(b ? form.lvB : form.lvA, row, TRecordListModel::rcCode).toString().toUInt(nullptr, 16));
}

/// The row of the difference of `type` at `cell`, or -1.
int RowOf(const TfrmCompare& form, const std::string& type, const std::string& cell)
{
  for (const int mark : form.Rows().Marks()) {
    const TRecordDifference& d = form.Diff().Differences[static_cast<std::size_t>(form.Rows().Row(mark).Difference)];
    if (d.Type == type && d.Cell == cell)
      return mark;
  }
  return -1;
}

}  // namespace

class TstCompare : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<QTemporaryDir> FDir;
  QString FBase;
  QString FChanged;
  std::unique_ptr<TfrmCompare> FForm;  // FBase against FChanged, shared by the tests that only read or select

  std::unique_ptr<TfrmCompare> Compare(const QString& a, const QString& b, TPasswordPrompter prompter = {})
  {
    auto form = std::make_unique<TfrmCompare>();
    form->PasswordPrompter = std::move(prompter);
    form->ErrorPresenter = [](QWidget*, const QString&, const QString& text) { qWarning("%s", qPrintable(text)); };
    if (!form->Open(a, b) || !QTest::qWaitFor([&] { return form->Ready(); }, 20000))
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
    FBase = Write(*FDir, QStringLiteral("a.xls"), InCompoundFile(Stream(false)));
    FChanged = Write(*FDir, QStringLiteral("b.xls"), InCompoundFile(Stream(true)));
    QVERIFY(!FBase.isEmpty() && !FChanged.isEmpty());
    FForm = Compare(FBase, FChanged);
    QVERIFY(FForm);
  }

  void rowsAlignWithGapsAndEachKindHasItsTint()
  {
    TfrmCompare& form = *FForm;
    const TWorkbookDiff& diff = form.Diff();
    QCOMPARE(form.Rows().Count(), static_cast<int>(diff.Rows.size()));
    std::uint32_t next[2] = {0, 0};  // every record once, in its side's order
    std::map<std::string, TDiffOp> kinds;
    for (int row = 0; row < form.Rows().Count(); ++row) {
      const TDiffRow& r = form.Rows().Row(row);
      for (const bool b : {false, true}) {
        TRecordListView* list = b ? form.lvB : form.lvA;
        const std::uint32_t record = b ? r.B : r.A;
        const bool gap = record == kNoDiffRecord;
        QCOMPARE(Data(list, row, TRecordListModel::rcNumber).toString(), gap ? QString() : QString::number(record + 1));
        QCOMPARE(Data(list, row, TRecordListModel::rcName).toString().isEmpty(), gap);
        if (gap)
          continue;
        // Each column as the record list shows it, in a column wide enough to see.
        const TRecordRow shown = form.Rows().Side(b)->Row(record);
        for (int column = 0; column < TRecordListModel::rcColumnCount; ++column) {
          QCOMPARE(Data(list, row, column), TRecordListModel::RowText(shown, static_cast<int>(record) + 1, column));
          QVERIFY(list->columnWidth(column) > 0);
        }
        QCOMPARE(record, next[b]);
        ++next[b];
      }
      // No difference: no tint, no swatch, a record on each side. An addition
      // is a gap in A, a removal a gap in B.
      const TRecordDifference* d = r.Difference < 0 ? nullptr : &diff.Differences[static_cast<std::size_t>(r.Difference)];
      const QColor tint = d ? DiffTint(d->Op) : QColor();
      QCOMPARE(Data(form.lvA, row, 0, Qt::BackgroundRole).value<QColor>(), tint);
      QCOMPARE(Data(form.lvB, row, 3, Qt::BackgroundRole).value<QColor>(), tint);
      QCOMPARE(Data(form.lvB, row, TRecordListModel::rcName, Qt::DecorationRole).isValid(), d != nullptr);
      QCOMPARE(r.A == kNoDiffRecord, d && d->Op == doAdded);
      QCOMPARE(r.B == kNoDiffRecord, d && d->Op == doRemoved);
      if (d)
        kinds[d->Type + " " + d->Cell + d->Key] = d->Op;
    }
    QCOMPARE(std::size_t{next[0]}, form.Workbook(false).RecordCount());
    QCOMPARE(std::size_t{next[1]}, form.Workbook(true).RecordCount());
    const std::map<std::string, TDiffOp> expected = {
        {"WRITEACCESS ", doChanged}, {"NUMBER B3", doChanged},  {"NUMBER A5", doAdded},
        {"NUMBER B5", doAdded},      {"LABELSST C5", doAdded}, {"NUMBER A7", doRemoved}, {"NUMBER A151", doChanged},
    };
    QCOMPARE(kinds, expected);
    QCOMPARE((std::set<QRgb>{DiffTint(doChanged).rgb(), DiffTint(doAdded).rgb(), DiffTint(doRemoved).rgb()}.size()), std::size_t{3});
  }

  void f7AndShiftF7VisitEveryDifferenceInOrderAndTheStripMarksEach()
  {
    TfrmCompare& form = *FForm;
    const std::vector<int> marks = form.Rows().Marks();
    QCOMPARE(marks.size(), form.Diff().Differences.size());
    // From the top, F7 visits each difference once; back from the last one.
    form.SelectRow(0);
    QVERIFY(form.Rows().Row(0).Difference < 0);
    std::vector<int> visited;
    while (form.NextDifference(true))
      visited.push_back(form.CurrentRow());
    QCOMPARE(visited, marks);
    visited.clear();
    while (form.NextDifference(false))
      visited.push_back(form.CurrentRow());
    QCOMPARE(visited, std::vector<int>(marks.rbegin() + 1, marks.rend()));
    // The keys are the window's, whichever list has the focus.
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.SelectRow(marks[0]);
    form.lvA->setFocus();
    QTest::keyClick(form.lvA, Qt::Key_F7);
    QCOMPARE(form.CurrentRow(), marks[1]);
    QTest::keyClick(form.lvA, Qt::Key_F7, Qt::ShiftModifier);
    QCOMPARE(form.CurrentRow(), marks[0]);
    form.SelectRow(0);
    for (const int mark : marks)
      QCOMPARE(form.Strip->MarkNear(form.Strip->MarkY(mark) + 1), mark);
    QTest::mouseClick(form.Strip, Qt::LeftButton, {}, QPoint(5, form.Strip->MarkY(marks.back()) + 1));
    QCOMPARE(form.CurrentRow(), marks.back());
    // The lists scroll together.
    form.lvA->verticalScrollBar()->setValue(form.lvA->verticalScrollBar()->maximum());
    QCOMPARE(form.lvB->verticalScrollBar()->value(), form.lvA->verticalScrollBar()->value());
  }

  void theFieldsTabShowsBothValuesAndBandsInBothDumps()
  {
    TfrmCompare& form = *FForm;
    // The record, a field's value on each side; an added record has no bytes in A.
    const std::tuple<std::string, std::string, QString, QString, bool> cases[] = {
        {"NUMBER", "B3", QStringLiteral("1.5"), QStringLiteral("2"), true},
        {"WRITEACCESS", "", QStringLiteral("alice"), QStringLiteral("bob"), true},
        {"NUMBER", "A5", QStringLiteral("(none)"), QStringLiteral("10"), false},
    };
    for (const auto& [type, cell, a, b, dumpA] : cases) {
      const int row = RowOf(form, type, cell);
      QVERIFY2(row >= 0, type.c_str());
      form.SelectRow(row);
      bool found = false;
      for (int i = 0; i < form.tvFields->topLevelItemCount(); ++i)
        found = found || (form.tvFields->topLevelItem(i)->text(1).contains(a) && form.tvFields->topLevelItem(i)->text(2).contains(b));
      QVERIFY2(found, type.c_str());
      QCOMPARE(form.DumpA->HasData(), dumpA);
      QVERIFY(form.DumpB->HasData());
      QVERIFY(!dumpA || (!form.DumpA->Bands().empty() && !form.DumpB->Bands().empty()));
    }
    // B3's value field: its band in each dump covers the 8 bytes of the value.
    form.SelectRow(RowOf(form, "NUMBER", "B3"));
    QTreeWidgetItem* item = form.tvFields->topLevelItem(0);
    QCOMPARE(item->text(0), QStringLiteral("value"));
    form.tvFields->setCurrentItem(item);
    for (const auto& [dump, value] : {std::pair{form.DumpA, 1.5}, std::pair{form.DumpB, 2.0}}) {
      QCOMPARE(dump->ActiveBandCount(), 8);
      double shown = 0;
      std::memcpy(&shown, dump->CopyBytes().data() + dump->ActiveBandFirst(), 8);
      QCOMPARE(shown, value);
    }
  }

  void thePreviewTintsChangedCellsWithBothValuesInTheTooltip()
  {
    TfrmCompare& form = *FForm;
    QCOMPARE(form.tsSheets->count(), 1);
    const QAbstractItemModel& grid = *form.sgPreview->model();
    const std::tuple<int, int, TDiffOp, QString> cases[] = {
        {2, 1, doChanged, QStringLiteral("1.5 \u2192 2")},      {4, 0, doAdded, QStringLiteral("(none) \u2192 10")},
        {4, 1, doAdded, QStringLiteral("(none) \u2192 11")},    {4, 2, doAdded, QStringLiteral("(none) \u2192 delta")},
        {6, 0, doRemoved, QStringLiteral("7 \u2192 (none)")},  {150, 0, doChanged, QStringLiteral("4 \u2192 3")},
    };
    for (const auto& [row, column, op, tip] : cases) {
      const QModelIndex cell = grid.index(row, column);
      QCOMPARE(grid.data(cell, Qt::BackgroundRole).value<QColor>(), DiffTint(op));
      QVERIFY2(grid.data(cell, Qt::ToolTipRole).toString().startsWith(tip), qPrintable(grid.data(cell, Qt::ToolTipRole).toString()));
    }
    // A cell alike on both sides is left as it was.
    QVERIFY(!grid.data(grid.index(0, 0), Qt::BackgroundRole).isValid());
    QCOMPARE(grid.data(grid.index(0, 0)).toString(), QStringLiteral("alpha"));
    QCOMPARE(grid.data(grid.index(150, 0)).toString(), QStringLiteral("3"));
    QCOMPARE(form.CellDifferences().size(), std::size(cases));
  }

  void filterAndFindWorkOnEitherSide()
  {
    TfrmCompare& form = *FForm;
    const int all = form.Rows().Count();
    // Each row kept has the type on one side at least; B's row 5 is kept
    // as a gap in A, and for NUMBER A7 as a gap in B.
    for (const auto& [filter, code] : {std::pair{QStringLiteral("LABELSST"), kLabelSstCode},
                                      std::pair{QStringLiteral("0x0203"), kNumberCode}}) {
      QVERIFY(form.ApplyFilter(filter));
      QVERIFY(form.Rows().Count() > 0 && form.Rows().Count() < all);
      bool gapA = false, gapB = false;
      for (int row = 0; row < form.Rows().Count(); ++row) {
        const std::uint16_t a = CodeOf(form, false, row);
        const std::uint16_t b = CodeOf(form, true, row);
        QVERIFY(a == code || b == code);
        gapA = gapA || a == 0;
        gapB = gapB || b == 0;
      }
      QVERIFY(gapA);
      QCOMPARE(gapB, code == kNumberCode);
      for (const int mark : form.Rows().Marks())
        QVERIFY(form.Rows().Row(mark).Difference >= 0);
    }
    QVERIFY(!form.ApplyFilter(QStringLiteral("NOSUCHTYPE")));
    form.cbOnlyDifferences->setChecked(true);
    QVERIFY(form.ApplyFilter(QString()));
    QCOMPARE(form.Rows().Count(), static_cast<int>(form.Rows().Marks().size()));
    form.cbOnlyDifferences->setChecked(false);
    QVERIFY(form.ApplyFilter(QString()));
    QCOMPARE(form.Rows().Count(), all);

    // Find, from the top: text only A has, only B has (as text and as hex).
    const std::tuple<QString, int, QString> finds[] = {
        {QStringLiteral("alice"), 1, QStringLiteral("(A)")}, {QStringLiteral("bob"), 1, QStringLiteral("(B)")},
        {QStringLiteral("62 6F 62"), 0, QStringLiteral("(B)")}, {QStringLiteral("nowhere"), 1, QString()},
    };
    for (const auto& [text, mode, side] : finds) {
      form.SelectRow(0);
      form.edFind->setText(text);
      form.cbFindMode->setCurrentIndex(mode);
      QCOMPARE(form.FindNext(true), !side.isEmpty());
      if (side.isEmpty())
        continue;
      // The authors' records pair on one row; the status names the side.
      const int row = form.CurrentRow();
      QCOMPARE(CodeOf(form, false, row), kWriteAccessCode);
      QCOMPARE(CodeOf(form, true, row), kWriteAccessCode);
      QVERIFY2(form.lblStatus->text().endsWith(side), qPrintable(form.lblStatus->text()));
      // Found again round past the end, either way, on the same row.
      for (const bool forward : {true, false}) {
        QVERIFY(form.FindNext(forward));
        QCOMPARE(form.CurrentRow(), row);
      }
    }
  }

  void aLockedWorkbookAsksItsPasswordAndMatchesItsPlainTwin()
  {
    TEncryptSpec spec;
    spec.Password = "open sesame";
    const QString locked = Write(*FDir, QStringLiteral("locked.xls"), InCompoundFile(EncryptStream(Stream(false), spec)));
    int asked = 0;
    const auto form = Compare(FBase, locked, [&asked](QWidget*, const QString&, bool, TSecret& password) {
      password.Assign("open sesame");
      return ++asked > 0;
    });
    QVERIFY(form);
    QCOMPARE(asked, 1);
    QVERIFY(form->Diff().Differences.empty() && form->Rows().Marks().empty() && form->CellDifferences().empty());
    QVERIFY(!form->NextDifference(true));
  }

  void theMainWindowOpensACompareWindowThatGoesWhenClosedAndNoneForAnUnreadableFile()
  {
    TfrmMain main;
    QStringList errors;
    main.ErrorPresenter = [&errors](QWidget*, const QString&, const QString& text) { errors << text; };
    QVERIFY(main.mnuFile->actions().contains(main.actCompare));
    QPointer<TfrmCompare> window = ShowCompareWindow(&main, FBase, FChanged);
    QVERIFY(window && window->isVisible());
    QVERIFY(QTest::qWaitFor([&] { return window->Ready(); }, 20000));
    QCOMPARE(window->Diff().Differences.size(), std::size_t{7});
    window->close();
    QTRY_VERIFY(window.isNull());
    const QString missing = FDir->filePath(QStringLiteral("missing.xls"));
    QVERIFY(!ShowCompareWindow(&main, FBase, missing));
    // The window on its own says it the same way and compares nothing.
    TfrmCompare form;
    form.ErrorPresenter = main.ErrorPresenter;
    QVERIFY(!form.Open(FBase, missing));
    QVERIFY(!form.Ready());
    QCOMPARE(form.Rows().Count(), 0);
    QCOMPARE(errors.size(), 2);
    for (const QString& error : errors)
      QVERIFY2(error.startsWith(QStringLiteral("missing.xls: ")), qPrintable(error));
  }

  void theCommandLineTakesCompareAndTwoFiles()
  {
    // The arguments after the program's name, then A|B|file, or nothing when refused.
    const std::pair<const char*, const char*> cases[] = {
        {"--compare a.xls b.xls", "a.xls|b.xls|"}, {"a.xls", "||a.xls"},       {"--compare a.xls", ""},
        {"--compare", ""},                         {"--compare a.xls b.xls a.xls", ""}, {"a.xls --compare", ""},
    };
    for (const auto& [line, expected] : cases) {
      const TCommandLine parsed = ParseCommandLine(QStringLiteral("bifflens %1").arg(QLatin1String(line)).split(' '));
      const QStringList got{parsed.CompareA, parsed.CompareB, parsed.FileName};
      QCOMPARE(parsed.Valid ? got.join('|') : QString(), QString::fromLatin1(expected));
    }
  }

  void screenshotOfACorpusWorkbookAgainstACopyWithOneCellChanged()
  {
    const QString source = QStringLiteral(BIFFLENS_CORPUS_DIR) + QStringLiteral("/xlrd__profiles.xls");
    if (!QFile::exists(source))
      QSKIP("corpus folder not found");
    // The copy: the first cell NUMBER's value changed, in a container of the test writer's.
    TMSExcel reader;
    TOpenedWorkbook book(reader, TOpenedWorkbook::TKeep::kpRecords);
    reader.LoadFromFile(source.toStdString());
    std::vector<std::uint8_t> stream(book.Records().Stream().Span().begin(), book.Records().Stream().Span().end());
    std::size_t i = 0;
    while (i < book.RecordCount() && !(book.Directory().Code(i) == kNumberCode && book.Directory().CellOf(i) &&
                                       book.Records().Row(i).DataSize == 14))
      ++i;
    if (i == book.RecordCount())
      QSKIP("no NUMBER record to change");
    double value = 0;
    const std::size_t at = static_cast<std::size_t>(book.Records().Row(i).Offset) + 4 + 6;
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
    QVERIFY(QDir().mkpath(QStringLiteral(BIFFLENS_SCREENSHOT_DIR)));
    QApplication::sendPostedEvents();
    QVERIFY(form->grab().toImage().save(QStringLiteral(BIFFLENS_SCREENSHOT_DIR "/compare.png")));
  }
};

QTEST_MAIN(TstCompare)
#include "tst_Compare.moc"
