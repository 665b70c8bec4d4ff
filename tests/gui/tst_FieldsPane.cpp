// The Fields pane beside the hex dump: the field selected in the tree is the
// dump's strong band and every field a faint one; a click on a byte selects
// its field; links move the selection and Back returns; a shared-string
// table that goes on in a CONTINUE record is one tree whose strings are
// described only when shown; cell records and preview cells point at each
// other; the splitter keeps its sizes. The tree's model under
// QAbstractItemModelTester.

#include "hexdump/HexDump.h"
#include "ui/FieldTreeModel.h"
#include "ui/Identity.h"
#include "ui/MainWindow.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordInspector.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/UiTexts.h"
#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"
#include "support/BiffBuilder.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QClipboard>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <atomic>
#include <memory>

namespace {

using enum TExcelVersion;

// The SST holds 300 strings of 30 characters; it is cut inside string 200,
// whose rest and the strings after it lie in a CONTINUE record.
constexpr int kStrings = 300;
constexpr int kStringChars = 30;
constexpr int kStringInContinue = 250;
constexpr std::size_t kSplit = 8 + 200 * (3 + kStringChars) + 10;

std::string StringText(int i)
{
  std::string text = "string number " + std::to_string(1000 + i);
  text.resize(kStringChars, '.');
  return text;
}

std::vector<std::uint8_t> Workbook()
{
  TSstBuilder sst;
  for (int i = 0; i < kStrings; ++i)
    sst.String(StringText(i));
  sst.SplitAt({kSplit});
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals);
  for (const char* name : {"Arial", "Courier", "Times", "Helv", "Verdana"})
    b.Font(200, 0, 400, name);
  b.Format(164, "0.000").Xf(164).Sst(sst).BoundSheet("Data", 1).Eof();
  b.Bof(evExcel8)
      .LabelSst(0, 0, 0, kStringInContinue)
      .MulRk(3, 1, {{0, 6}, {0, 10}})
      .Number(3, 2, 0, 7.5)
      .Record(0x1FFF, TBytes().U16(1).U16(2))
      .Eof();
  return InCompoundFile(b.Build());
}

QString WriteFile(const QTemporaryDir& dir, const std::vector<std::uint8_t>& bytes)
{
  const QString path = dir.filePath(QStringLiteral("fields.xls"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return {};
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return path;
}

int RowOf(TfrmMain& form, std::uint16_t code, int from = 0)
{
  for (int row = from; row < form.Records().Count(); ++row)
    if (form.Records().Row(row).Code == code)
      return row;
  return -1;
}

/// The top-level row of the tree whose field is named `name`.
QModelIndex TopField(TFieldTreeModel& model, const std::string& name)
{
  for (int row = 0; row < model.rowCount(); ++row)
    if (model.Field(model.index(row, 0))->Name == name)
      return model.index(row, 0);
  return {};
}

/// The child of `parent` named `name`.
QModelIndex ChildField(TFieldTreeModel& model, const QModelIndex& parent, const std::string& name)
{
  for (int row = 0; row < model.rowCount(parent); ++row)
    if (model.Field(model.index(row, 0, parent))->Name == name)
      return model.index(row, 0, parent);
  return {};
}

/// The centre of byte `byte`'s hex pair in the dump's viewport (the byte's
/// line must be shown).
QPoint BytePoint(const THexDump& dump, int byte)
{
  const int line = byte / dump.LineBytes() - dump.FirstVisibleLine();
  const int column = byte % dump.LineBytes();
  const int address = HexFormat::kAddressCells * dump.CellWidth();
  return {1 + address + 3 * column * dump.CellWidth() + dump.CellWidth() / 2,
          line * dump.RowHeight() + dump.RowHeight() / 2};
}

/// A list of `count` items that counts how many it was asked to describe.
class TCountingList : public TLazyFields {
public:
  explicit TCountingList(std::size_t count) : FCount(count) {}
  std::size_t Count() const override { return FCount; }
  TRecordField Item(std::size_t index) const override
  {
    ++Described;
    TRecordField item;
    item.Name = "item";
    item.Offset = index;
    item.Size = 1;
    item.Value = static_cast<std::int64_t>(index);
    TRecordField inner;
    inner.Name = "inner";
    inner.Offset = index;
    inner.Size = 1;
    item.Fields.push_back(inner);
    return item;
  }
  mutable std::atomic<int> Described{0};

private:
  std::size_t FCount;
};


/// The pane's field under `index` against the `fields` command's: the same
/// name, bytes and meaning, and (to `depth` levels, the first 20 items of a
/// list) the same fields inside. Returns the first difference, or "".
QString SameField(TFieldTreeModel& model, const QModelIndex& index, const QJsonObject& json, int depth)
{
  const TRecordField* field = model.Field(index);
  const QString name = QString::fromStdString(field->Name);
  if (name != json[QStringLiteral("name")].toString())
    return name + QStringLiteral(" against ") + json[QStringLiteral("name")].toString();
  if (qint64(field->Offset) != json[QStringLiteral("offset")].toInteger() ||
      qint64(field->Size) != json[QStringLiteral("size")].toInteger())
    return name + QStringLiteral(": other bytes");
  if (QString::fromStdString(field->Text) != json[QStringLiteral("text")].toString())
    return name + QStringLiteral(": meaning ") + QString::fromStdString(field->Text);
  const QJsonArray inner = json[QStringLiteral("fields")].toArray();
  if (model.rowCount(index) != inner.size())
    return name + QStringLiteral(": %1 fields inside against %2").arg(model.rowCount(index)).arg(inner.size());
  for (int row = 0; depth > 0 && row < model.rowCount(index) && row < 20; ++row) {
    const QString difference = SameField(model, model.index(row, 0, index), inner[row].toObject(), depth - 1);
    if (!difference.isEmpty())
      return difference;
  }
  return {};
}

}  // namespace

class TstFieldsPane : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<QTemporaryDir> FDir;
  QString FFile;

  /// A shown window with the workbook open on its records page.
  std::unique_ptr<TfrmMain> OpenForm()
  {
    auto form = std::make_unique<TfrmMain>();
    form->ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
      return nullptr;
    form->OpenFile(FFile);
    form->pcXLS->setCurrentIndex(1);
    QApplication::sendPostedEvents();
    return form;
  }

private slots:
  void initTestCase()
  {
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FDir->path());
    FFile = WriteFile(*FDir, Workbook());
    QVERIFY(!FFile.isEmpty());
  }

  void init()
  {
    QSettings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganization),
              QString::fromLatin1(kSettingsApplication))
        .clear();
  }

  void theSelectedFieldIsTheStrongBandAndEveryFieldAFaintOne()
  {
    auto form = OpenForm();
    QVERIFY(form);
    const int font = RowOf(*form, kRecFont) + 2;  // "Times"
    form->lvRecords->selectRow(font);
    TFieldTreeModel& model = form->Fields->Model();
    const QModelIndex name = TopField(model, "name");
    QVERIFY(name.isValid());
    form->Fields->tvFields->setCurrentIndex(name);
    const TRecordField* field = model.Field(name);
    QCOMPARE(form->Dump->ActiveBandFirst(), int(field->Offset));
    QCOMPARE(form->Dump->ActiveBandCount(), int(field->Size));
    QCOMPARE(form->Dump->MarkedLine(), int(field->Offset) / form->Dump->LineBytes());
    // Another field moves the band.
    form->Fields->tvFields->setCurrentIndex(TopField(model, "height"));
    QCOMPARE(form->Dump->ActiveBandFirst(), 0);
    QCOMPARE(form->Dump->ActiveBandCount(), 2);
    // The faint bands cover the record, neighbours in different tints.
    const auto& bands = form->Dump->Bands();
    QVERIFY(bands.size() > 10);
    int at = 0;
    for (std::size_t i = 0; i < bands.size(); ++i) {
      QCOMPARE(bands[i].First, at);
      if (i > 0)
        QVERIFY(bands[i].Shade != bands[i - 1].Shade);
      at = bands[i].First + bands[i].Count;
    }
    QCOMPARE(at, form->Dump->DataLength());
  }

  void aClickOnAByteSelectsItsField()
  {
    auto form = OpenForm();
    QVERIFY(form);
    form->lvRecords->selectRow(RowOf(*form, kRecNumber));
    TFieldTreeModel& model = form->Fields->Model();
    for (const auto& [byte, name] : std::vector<std::pair<int, std::string>>{{9, "value"}, {1, "row"}, {4, "xf"}}) {
      QTest::mouseClick(form->Dump->viewport(), Qt::LeftButton, Qt::NoModifier, BytePoint(*form->Dump, byte));
      const TRecordField* field = model.Field(form->Fields->tvFields->currentIndex());
      QVERIFY(field);
      QCOMPARE(field->Name, name);
      QCOMPARE(form->Dump->ActiveBandFirst(), int(field->Offset));
    }
  }

  void aLinkMovesTheSelectionAndBackReturns()
  {
    auto form = OpenForm();
    QVERIFY(form);
    const int label = RowOf(*form, kRecLabelSst);
    form->lvRecords->selectRow(label);
    TFieldTreeModel& model = form->Fields->Model();
    form->Fields->tvFields->setCurrentIndex(TopField(model, "sst_index"));
    QTest::keyClick(form->Fields->tvFields, Qt::Key_Return);
    // The SST record, its string 250 in the tree.
    QCOMPARE(form->lvRecords->currentIndex().row(), RowOf(*form, kRecSst));
    const QModelIndex string = form->Fields->tvFields->currentIndex();
    const TRecordField* field = model.Field(string);
    QVERIFY(field);
    QCOMPARE(field->Name, std::string("string"));
    QCOMPARE(std::get<std::string>(field->Value), StringText(kStringInContinue));
    QCOMPARE(model.Field(ChildField(model, string, "index"))->Value, TFieldValue(std::int64_t{kStringInContinue}));
    // Its bytes lie in the CONTINUE record, past the SST's data and header.
    QVERIFY(form->Dump->ActiveBandFirst() > int(kSplit + 4));
    QCOMPARE(form->Dump->MarkedLine(), form->Dump->ActiveBandFirst() / form->Dump->LineBytes());
    // A font index leads to its FONT record.
    form->lvRecords->selectRow(RowOf(*form, kRecXf5));
    form->Fields->tvFields->setCurrentIndex(TopField(model, "font"));
    QVERIFY(form->Fields->FollowLink());
    QCOMPARE(form->lvRecords->currentIndex().row(), RowOf(*form, kRecFont));
    // Back twice: the XF, then the LABELSST with its field selected again.
    form->actBack->trigger();
    QCOMPARE(form->lvRecords->currentIndex().row(), RowOf(*form, kRecXf5));
    form->actBack->trigger();
    QCOMPARE(form->lvRecords->currentIndex().row(), label);
    QCOMPARE(model.Field(form->Fields->tvFields->currentIndex())->Name, std::string("sst_index"));
    QVERIFY(!form->Fields->CanGoBack());
  }

  void aContinuedSstIsOneTreeWithEveryString()
  {
    auto form = OpenForm();
    QVERIFY(form);
    const int sst = RowOf(*form, kRecSst);
    form->lvRecords->selectRow(sst);
    TFieldTreeModel& model = form->Fields->Model();
    const QModelIndex strings = TopField(model, "strings");
    QVERIFY(strings.isValid());
    QCOMPARE(model.rowCount(strings), kStrings);
    // The dump shows both records, the CONTINUE's header between them in a
    // band of its own.
    const TRecordRow head = form->Records().Row(sst);
    const TRecordRow part = form->Records().Row(sst + 1);
    QCOMPARE(form->Dump->DataLength(), int(head.Length + 4 + part.Length));
    bool header = false;
    for (const HexFormat::THexBand& band : form->Dump->Bands())
      header = header || (band.First == int(head.Length) && band.Count == 4 && band.Shade == HexFormat::kShadeHeader);
    QVERIFY(header);
    // String 200 starts in the SST and ends in the CONTINUE record.
    form->Fields->tvFields->expand(strings);
    const QModelIndex split = model.index(200, 0, strings);
    QCOMPARE(std::get<std::string>(model.Field(split)->Value), StringText(200));
    const QModelIndex rest = ChildField(model, split, "text_continued");
    QVERIFY(rest.isValid());
    QCOMPARE(model.Field(rest)->Part, 1);
    QCOMPARE(model.data(rest.siblingAtColumn(TFieldTreeModel::fcBytes)).toString().left(1), QStringLiteral("#"));
    form->Fields->tvFields->setCurrentIndex(rest);
    QCOMPARE(form->Dump->ActiveBandFirst(), int(head.Length + 4 + 1));  // after the option byte
    // The CONTINUE row says what it carries on.
    form->lvRecords->selectRow(sst + 1);
    QVERIFY2(form->Fields->lblRecord->text().contains(QStringLiteral("part 1 of record %1 (SST)").arg(sst + 1)),
             qPrintable(form->Fields->lblRecord->text()));
  }

  void aRecordWithoutALayoutIsOneRawField()
  {
    auto form = OpenForm();
    QVERIFY(form);
    form->lvRecords->selectRow(RowOf(*form, 0x1FFF));
    TFieldTreeModel& model = form->Fields->Model();
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.data(model.index(0, TFieldTreeModel::fcMeaning)).toString(), QString::fromLatin1(kTextNoLayout));
    QCOMPARE(form->Dump->Bands().size(), std::size_t{1});
    QCOMPARE(form->Dump->Bands()[0].Count, 4);
  }

  void cellRecordsAndPreviewCellsPointAtEachOther()
  {
    auto form = OpenForm();
    QVERIFY(form);
    // A cell record selects its cell in the preview.
    form->lvRecords->selectRow(RowOf(*form, kRecNumber));
    QCOMPARE(form->sgXLS->currentIndex().row(), 3);
    QCOMPARE(form->sgXLS->currentIndex().column(), 2);
    // "Show record" on a preview cell: the last record that wrote it.
    form->pcXLS->setCurrentIndex(0);
    const int mulrk = RowOf(*form, kRecMulRk);
    for (const auto& [column, row] : std::vector<std::pair<int, int>>{{1, mulrk}, {2, RowOf(*form, kRecNumber)}}) {
      form->sgXLS->setCurrentIndex(form->sgXLS->model()->index(3, column));
      form->actShowRecord->trigger();
      QCOMPARE(form->pcXLS->currentIndex(), 1);
      QCOMPARE(form->lvRecords->currentIndex().row(), row);
      form->pcXLS->setCurrentIndex(0);
    }
  }

  void theSplitterKeepsItsSizesBetweenRuns()
  {
    QList<int> sizes;
    {
      auto form = OpenForm();
      QVERIFY(form);
      sizes = form->SplitterFields->sizes();
      QVERIFY(sizes.size() == 2 && sizes[1] > 150);
      // At its first start the dump shows 16 bytes a line beside the pane.
      QCOMPARE(form->Dump->LineBytes(), 16);
      sizes = {sizes[0] - 60, sizes[1] + 60};
      form->SplitterFields->setSizes(sizes);
      form->close();
    }
    auto form = OpenForm();
    QVERIFY(form);
    QCOMPARE(form->SplitterFields->sizes(), sizes);
  }

  void aLongListIsDescribedOnlyWhereShown()
  {
    TFieldTreeModel model;
    TRecordField list;
    list.Name = "items";
    list.Size = 100000;
    auto items = std::make_shared<TCountingList>(100000);
    list.Lazy = items;
    model.SetFields({list}, {0}, 100000, 1);
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setModel(&model);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.expand(model.index(0, 0));
    QApplication::processEvents();
    QCOMPARE(model.rowCount(model.index(0, 0)), 100000);
    QVERIFY(items->Described > 0);
    QVERIFY2(items->Described < 200, qPrintable(QString::number(items->Described)));
    // A byte far into the list finds its item without describing those
    // before it.
    view.scrollToBottom();
    QApplication::processEvents();
    QVERIFY2(items->Described < 400, qPrintable(QString::number(items->Described)));
  }

  void aRecordWhoseDecodingStopsShowsWhatWasReadAndWhy()
  {
    // A text box whose text goes on in a second CONTINUE record opening with
    // a width byte of 5: the text cannot be read past the first.
    TBiffBuilder b;
    b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("S", 1).Eof().Bof(evExcel8);
    b.Record(kRecTxo, TBytes().U16(0x0012).U16(0).Zeros(6).U16(10).U16(0).U16(0));
    b.Record(kRecContinue, TBytes().U8(0).Ascii("abcde"));
    b.Record(kRecContinue, TBytes().U8(5).Ascii("fghij"));
    b.Eof();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("txo.xls"));
    {
      const auto bytes = InCompoundFile(b.Build());
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    TfrmMain form;
    form.ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    form.OpenFile(path);
    form.lvRecords->selectRow(RowOf(form, kRecTxo));
    QVERIFY(!form.Fields->lblStatus->isHidden());
    QCOMPARE(form.Fields->lblStatus->text(),
             QStringLiteral("decoding stopped: Invalid option flag (0x05) after CONTINUE record."));
    // What was read stays: the header's fields and the first piece of text.
    TFieldTreeModel& model = form.Fields->Model();
    QVERIFY(TopField(model, "text_length").isValid());
    QVERIFY(TopField(model, "characters").isValid());
    // Copying a field takes its row.
    form.Fields->tvFields->setCurrentIndex(TopField(model, "text_length"));
    form.Fields->CopyField();
    QVERIFY(QApplication::clipboard()->text().startsWith(QStringLiteral("text_length\t10\t")));
  }

  void thePaneAndTheFieldsCommandDescribeEveryRecordAlike()
  {
    // A real workbook with names, formulas and shared strings: for every
    // record the pane's tree is what `bifflens-cli fields` prints.
    const QString file = QStringLiteral(BIFFLENS_CORPUS_DIR "/xlrd__namesdemo.xls");
    if (!QFile::exists(file))
      QSKIP("no corpus");
    QProcess cli;
    cli.start(QStringLiteral(BIFFLENS_CLI_PATH), {QStringLiteral("fields"), file});
    QVERIFY(cli.waitForFinished(60000));
    const QList<QByteArray> lines = cli.readAllStandardOutput().split('\n');
    TfrmMain form;
    form.ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    form.OpenFile(file);
    QCOMPARE(qsizetype(form.Records().Count()) + 1, lines.size());  // the last line ends with a newline
    TFieldTreeModel& model = form.Fields->Model();
    int formulas = 0;
    for (int row = 0; row < form.Records().Count(); ++row) {
      form.lvRecords->selectRow(row);
      const QJsonObject record = QJsonDocument::fromJson(lines[row]).object();
      QJsonArray fields = record[QStringLiteral("fields")].toArray();
      if (!fields.isEmpty() && fields.last().toObject()[QStringLiteral("name")] == QStringLiteral("error")) {
        const QString error = fields.last().toObject()[QStringLiteral("text")].toString();
        QVERIFY2(form.Fields->lblStatus->text().contains(error), qPrintable(QString::number(row)));
        fields.removeLast();
      }
      QVERIFY2(model.rowCount() == fields.size(), qPrintable(QStringLiteral("record %1").arg(row + 1)));
      for (int i = 0; i < fields.size(); ++i) {
        // The first field of a CONTINUE record carries the heading line.
        if (i == 0 && record[QStringLiteral("name")] == QStringLiteral("CONTINUE"))
          continue;
        const QString difference = SameField(model, model.index(i, 0), fields[i].toObject(), 3);
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("record %1: ").arg(row + 1) + difference));
      }
      formulas += record[QStringLiteral("name")] == QStringLiteral("FORMULA");
    }
    QVERIFY(formulas > 20);
  }

  void headingsReadAsWritten()
  {
    QCOMPARE(QString::fromStdString(RecordHeadingText(12, "FONT", "FONT", 26, 0)), QStringLiteral("#12 FONT (FONT), 26 bytes"));
    QCOMPARE(QString::fromStdString(RecordHeadingText(1, "Unknown", "BOF", 16, 0)), QStringLiteral("#1 Unknown (BOF), 16 bytes"));
    QCOMPARE(QString::fromStdString(RecordHeadingText(82, "SST", "SST", 8224, 3)), QStringLiteral("#82 SST (SST), 8224 bytes + 3 CONTINUE records"));
    QCOMPARE(QString::fromStdString(RecordHeadingText(9, "Unknown", nullptr, 1, 1)), QStringLiteral("#9 Unknown, 1 byte + 1 CONTINUE record"));
  }

  void theModelHoldsToTheModelRules()
  {
    TFieldTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    TRecordField word;
    word.Name = "options";
    word.Size = 2;
    word.Value = std::int64_t{5};
    for (int bit = 0; bit < 3; ++bit) {
      TRecordField flag;
      flag.Name = "bit";
      flag.Size = 1;
      flag.BitFirst = static_cast<std::uint8_t>(bit);
      flag.BitCount = 1;
      flag.Value = (bit != 1);
      word.Fields.push_back(flag);
    }
    TRecordField list;
    list.Name = "items";
    list.Offset = 2;
    list.Size = 30;
    list.Lazy = std::make_shared<TCountingList>(30);
    model.SetFields({word, list}, {0}, 32, 1);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.rowCount(model.index(1, 0)), 30);
    QCOMPARE(model.data(model.index(0, TFieldTreeModel::fcValue)).toString(), QStringLiteral("5 (0x0005)"));
    QCOMPARE(model.IndexAtByte(1), model.index(0, 0));  // the word, not its bits
    QCOMPARE(model.Field(model.IndexAtByte(12))->Name, std::string("items"));  // no ItemAt: the list
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
  }
};

QTEST_MAIN(TstFieldsPane)
#include "tst_FieldsPane.moc"
