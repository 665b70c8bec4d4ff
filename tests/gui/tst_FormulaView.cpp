// Formulas as text in the viewer: the Fields pane lists a formula record's
// text and its tokens (each a field over its own bytes, so a band of the
// dump), in every version, for cells, shared formulas and names, and says
// where a formula cannot be read; View > Show Formulas shows formula cells
// as their formulas, and a formula cell's tooltip shows formula and value.

#include "ui/FieldTreeModel.h"
#include "ui/Identity.h"
#include "ui/MainWindow.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordInspector.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/UiMessages.h"
#include "xls/RecordCodes.h"
#include "xls/formula/FormulaMessages.h"
#include "support/BiffBuilder.h"
#include "support/FormulaBuilder.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>

namespace {

using enum TExcelVersion;
using F = TFormulaBuilder;

constexpr std::uint16_t kSum = 4;  // SUM's function number

QString WriteFile(const QTemporaryDir& dir, const QString& name, const std::vector<std::uint8_t>& bytes)
{
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return {};
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return path;
}

/// The BIFF8 workbook of most tests, sheet "Data":
///   A1:A3  1, 2, 3
///   A4     SUM(A1:A3)                     6
///   B1:B3  shared A1*2 (tExp to B1)       2, 4, 6
///   C1     a tRefV cut short               5
///   D1     SUM(Total), Total = Data!$A$1:$A$3   6
///   E1     SUM({1,2}), a stray byte after the array's data   3
std::vector<std::uint8_t> Workbook()
{
  const TBuiltFormula sumArray =
      F().Array(2, 1, {TArrayValue::Num(1), TArrayValue::Num(2)}).FuncVar(kSum, 1).Build();
  std::vector<std::uint8_t> extra = sumArray.Extra;
  extra.push_back(0xAB);
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .BoundSheet("Data", 1)
      .SupBookSelf(1)
      .ExternSheet8({{0, 0, 0}})
      .Name("Total", F().Area3d(0, 0, 0, 2, 0, false).Build().Tokens)
      .Eof();
  b.Bof(evExcel8);
  for (std::uint16_t r = 0; r < 3; ++r)
    b.Number(r, 0, 0, r + 1.0);
  b.FormulaTokens(3, 0, 6, F().Area(0, 0, 2, 0).FuncVar(kSum, 1).Build().Tokens);
  b.FormulaTokens(0, 1, 2, F().Exp(0, 1).Build().Tokens);
  b.SharedFormula(0, 2, 1, 1, F().RefN(0, -1).Int(2).Op(kFbMul).Build().Tokens);
  b.FormulaTokens(1, 1, 4, F().Exp(0, 1).Build().Tokens);
  b.FormulaTokens(2, 1, 6, F().Exp(0, 1).Build().Tokens);
  b.FormulaTokens(0, 2, 5, {0x44, 0x00});
  b.FormulaTokens(0, 3, 6, F().Name(1).FuncVar(kSum, 1).Build().Tokens);
  b.FormulaTokens(0, 4, 3, sumArray.Tokens, extra);
  b.Eof();
  return InCompoundFile(b.Build());
}

/// A workbook of `version` whose one sheet has A1 = 1 and B1 = A1+2, the
/// FORMULA record as that version writes it.
std::vector<std::uint8_t> VersionWorkbook(TExcelVersion version)
{
  const std::vector<std::uint8_t> tokens = F(version).Ref(0, 0).Int(2).Op(kFbAdd).Build().Tokens;
  TBiffBuilder b;
  if (version >= evExcel5)
    b.Bof(version, TBofType::btGlobals).BoundSheet("S", 1).Eof();
  b.Bof(version);
  if (version == evExcel2) {
    b.Number2(0, 0, 1);
    // BIFF2: three attribute bytes, the result, a recalc byte, an 8-bit size.
    b.Record(kRecFormula, TBytes().U16(0).U16(1).Zeros(3).F64(3).U8(0)
                              .U8(static_cast<std::uint8_t>(tokens.size())).Append(tokens));
  } else {
    b.Number(0, 0, 0, 1);
    b.FormulaTokens(0, 1, 3, tokens);
  }
  b.Eof();
  // Excel 5 and 95 name their stream "Book"; any other is read as BIFF8.
  if (version < evExcel5)
    return b.Build();
  return InCompoundFile(b.Build(), version < evExcel8 ? "Book" : "Workbook");
}

/// The top-level row of the tree whose field is named `name`.
QModelIndex TopField(TFieldTreeModel& model, const std::string& name)
{
  for (int row = 0; row < model.rowCount(); ++row)
    if (model.Field(model.index(row, 0))->Name == name)
      return model.index(row, 0);
  return {};
}

/// The names of `parent`'s children, blank-separated.
QString ChildNames(TFieldTreeModel& model, const QModelIndex& parent)
{
  QStringList names;
  for (int row = 0; row < model.rowCount(parent); ++row)
    names << QString::fromStdString(model.Field(model.index(row, 0, parent))->Name);
  return names.join(QLatin1Char(' '));
}

/// Checks that `parent`'s children cover its bytes one after the other and
/// that each is a band of the dump.
void CheckTokensTileTheirField(TFieldTreeModel& model, const QModelIndex& parent, std::size_t first,
                               std::size_t end)
{
  QVERIFY(model.rowCount(parent) > 0);
  const std::vector<TFieldTreeModel::TBand> bands = model.Bands();
  std::size_t at = first;
  for (int row = 0; row < model.rowCount(parent); ++row) {
    const TFieldExtent extent = model.Extent(model.index(row, 0, parent));
    QCOMPARE(extent.First, at);
    QVERIFY(extent.End > extent.First);
    at = extent.End;
    QVERIFY(std::any_of(bands.begin(), bands.end(), [&](const TFieldTreeModel::TBand& band) {
      return band.Extent.First == extent.First && band.Extent.End == extent.End;
    }));
  }
  QCOMPARE(at, end);
}

}  // namespace

class TstFormulaView : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<QTemporaryDir> FDir;
  QString FFile;

  static std::unique_ptr<TfrmMain> Open(const QString& path)
  {
    auto form = std::make_unique<TfrmMain>();
    form->ErrorPresenter = [](QWidget*, const QString&, const QString& text) { QFAIL(qPrintable(text)); };
    form->OpenFile(path);
    return form;
  }

  /// Shows record `row` in the Fields pane.
  static void ShowRecord(TfrmMain& form, int row)
  {
    form.pcXLS->setCurrentIndex(1);
    form.lvRecords->selectRow(row);
    QCOMPARE(form.Fields->Row(), row);
  }

  static int RowOf(TfrmMain& form, std::uint16_t code)
  {
    for (int row = 0; row < form.Records().Count(); ++row)
      if (form.Records().Row(row).Code == code)
        return row;
    return -1;
  }

  static QVariant Cell(TfrmMain& form, int row, int column, int role = Qt::DisplayRole)
  {
    const TPreviewModel& model = form.sgXLS->PreviewModel();
    return model.data(model.index(row, column), role);
  }

private slots:
  void initTestCase()
  {
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FDir->path());
    FFile = WriteFile(*FDir, QStringLiteral("formulas.xls"), Workbook());
    QVERIFY(!FFile.isEmpty());
  }

  void init()
  {
    QSettings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganization),
              QString::fromLatin1(kSettingsApplication))
        .clear();
  }

  // Each row: the workbook (0: Workbook(), else VersionWorkbook of that
  // version), the record (a cell's FORMULA, or the first record of a code),
  // the field listing tokens, its meaning, the tokens, the last one's meaning.
  void theFieldsPaneListsAFormulasTextAndTokens_data()
  {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tokens");
    QTest::addColumn<QString>("lastMeaning");
    const QString cut = QString::fromStdString(FormatFormulaMessage(kMsgFormulaTruncated, {"tRefV", "0"}));
    QTest::newRow("function") << 0 << 0 << 3 << 0 << "formula" << "=SUM(A1:A3)" << "tAreaR tFuncVarV" << "SUM, 1 argument";
    QTest::newRow("shared, first cell") << 0 << 0 << 0 << 1 << "formula" << "=A1*2" << "tExp" << "B1";
    QTest::newRow("shared, re-based") << 0 << 0 << 2 << 1 << "formula" << "=A3*2" << "tExp" << "B1";
    QTest::newRow("a name used") << 0 << 0 << 0 << 3 << "formula" << "=SUM(Total)" << "tNameR tFuncVarV" << "";
    QTest::newRow("token cut short") << 0 << 0 << 0 << 2 << "formula" << cut << "tRefV" << cut;
    QTest::newRow("array constant") << 0 << 0 << 0 << 4 << "formula" << "=SUM({1,2})" << "tArrayA tFuncVarV" << "";
    QTest::newRow("array constant's data") << 0 << 0 << 0 << 4 << "extra" << "" << "array data unused" << "";
    QTest::newRow("SHRFMLA, as its first cell reads it")
        << 0 << int(kRecSharedFormula) << 0 << 0 << "formula" << "=A1*2" << "tRefNV tInt tMul" << "";
    QTest::newRow("NAME, from A1") << 0 << int(kRecName) << 0 << 0 << "formula" << "=Data!$A$1:$A$3" << "tArea3dR" << "";
    const std::pair<TExcelVersion, const char*> versions[] = {
        {evExcel2, "BIFF2"}, {evExcel3, "BIFF3"}, {evExcel4, "BIFF4"}, {evExcel5, "BIFF5"}, {evExcel8, "BIFF8"}};
    for (const auto& [v, name] : versions)
      QTest::newRow(name) << int(v) << 0 << 0 << 1 << "formula" << "=A1+2" << "tRefV tInt tAdd" << "";
  }

  void theFieldsPaneListsAFormulasTextAndTokens()
  {
    QFETCH(int, version);
    QFETCH(int, code);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, tokens);
    QFETCH(QString, lastMeaning);
    const QString path = version == 0 ? FFile
                                      : WriteFile(*FDir, QStringLiteral("v%1.xls").arg(version),
                                                  VersionWorkbook(static_cast<TExcelVersion>(version)));
    auto form = Open(path);
    if (code != 0) {
      ShowRecord(*form, RowOf(*form, static_cast<std::uint16_t>(code)));
    } else {
      const auto record = form->Fields->Directory().RecordOfCell({0, row, column});
      QVERIFY(record);
      ShowRecord(*form, static_cast<int>(*record));
    }
    TFieldTreeModel& model = form->Fields->Model();
    const QModelIndex listed = TopField(model, field.toStdString());
    QVERIFY(listed.isValid());
    if (!text.isEmpty())
      QCOMPARE(model.data(listed.siblingAtColumn(TFieldTreeModel::fcMeaning)).toString(), text);
    QCOMPARE(ChildNames(model, listed), tokens);
    const TRecordField* tokenField = model.Field(listed);
    CheckTokensTileTheirField(model, listed, tokenField->Offset, tokenField->Offset + tokenField->Size);
    if (!lastMeaning.isEmpty()) {
      const QModelIndex last = model.index(model.rowCount(listed) - 1, TFieldTreeModel::fcMeaning, listed);
      QCOMPARE(model.data(last).toString(), lastMeaning);
    }
    if (field == QStringLiteral("formula"))  // the tokens are open to see
      QVERIFY(form->Fields->tvFields->isExpanded(listed));
  }

  void showFormulasShowsFormulaCellsAsTheirFormulas()
  {
    auto form = Open(FFile);
    QVERIFY(!form->actShowFormulas->isChecked());
    QCOMPARE(form->actShowFormulas->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_QuoteLeft));
    struct TCase {
      int Row, Column;
      const char* Value;
      const char* Formula;
    };
    const TCase cases[] = {
        {0, 0, "1", "1"},  // no formula
        {3, 0, "6", "=SUM(A1:A3)"},
        {1, 1, "4", "=A2*2"},
        {0, 3, "6", "=SUM(Total)"},
        {0, 2, "5", "5"},  // cannot be read: its value, marked
    };
    for (const bool shown : {false, true, false}) {
      form->actShowFormulas->setChecked(shown);
      for (const TCase& c : cases) {
        const QString expected = QString::fromLatin1(shown ? c.Formula : c.Value);
        QCOMPARE(Cell(*form, c.Row, c.Column).toString(), expected);
      }
      const QVariant marked = Cell(*form, 0, 2, Qt::ForegroundRole);
      QCOMPARE(marked.isValid(), shown);
      if (shown)
        QCOMPARE(marked.value<QColor>(), QColor(TPreviewModel::kFormulaErrorColour));
      QVERIFY(!Cell(*form, 3, 0, Qt::ForegroundRole).isValid());
    }
    // The setting stays for the next sheet filled.
    form->actShowFormulas->setChecked(true);
    form->SelectSheetTab(0);
    QCOMPARE(Cell(*form, 3, 0).toString(), QStringLiteral("=SUM(A1:A3)"));
  }

  void aFormulaCellsTooltipShowsFormulaAndValue()
  {
    auto form = Open(FFile);
    QCOMPARE(Cell(*form, 3, 0, Qt::ToolTipRole).toString(), QStringLiteral("=SUM(A1:A3)\nvalue: 6"));
    QCOMPARE(Cell(*form, 2, 1, Qt::ToolTipRole).toString(), QStringLiteral("=A3*2\nvalue: 6"));
    const std::string cut = FormatFormulaMessage(kMsgFormulaTruncated, {"tRefV", "0"});
    QCOMPARE(Cell(*form, 0, 2, Qt::ToolTipRole).toString(),
             QString::fromLatin1(kTipFormulaError) + QString::fromStdString(cut) + QStringLiteral("\nvalue: 5"));
    QVERIFY(!Cell(*form, 0, 0, Qt::ToolTipRole).isValid());  // no formula
  }

  void formulasAreAskedForOnlyWhenShownAndOnce()
  {
    TSpreadSheet sheet;
    for (int r = 0; r < 3; ++r)
      sheet.Cells.SetCellValue(0, r, TVariant(r * 1.0), 0, TAlignment::taLeftJustify);
    int asked = 0;
    TPreviewGrid grid;
    grid.FillPreview(sheet, [&](int row, int, TFormulaResult& result) {
      ++asked;
      result.Text = "ROW()-" + std::to_string(row);
      result.Error.clear();
      return row == 1;
    });
    QCOMPARE(asked, 0);
    const TPreviewModel& model = grid.PreviewModel();
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("1"));
    QCOMPARE(asked, 0);
    grid.SetShowFormulas(true);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("=ROW()-1"));
    QCOMPARE(model.data(model.index(1, 0), Qt::ToolTipRole).toString(), QStringLiteral("=ROW()-1\nvalue: 1"));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("0"));
    QCOMPARE(asked, 2);
  }
};

QTEST_MAIN(TstFormulaView)
#include "tst_FormulaView.moc"
