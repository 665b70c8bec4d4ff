#include "ui/CompareWindow.h"

#include "hexdump/HexDump.h"
#include "model/CellText.h"
#include "platform/ErrorText.h"
#include "ui/CompareMessages.h"
#include "ui/Identity.h"
#include "ui/PasswordDialog.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/RecordNavigator.h"
#include "ui/UiMessages.h"
#include "xls/MSExcel.h"
#include "xls/crypto/Secret.h"
#include "xls/workbook/Navigation.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <unordered_map>

namespace {

constexpr std::size_t kHeaderBytes = 4;
// The record list's column widths: number, code, length, name, type, offset.
constexpr int kColumnWidths[TRecordListModel::rcColumnCount] = {56, 56, 52, 120, 100, 96};
constexpr int kFieldNameWidth = 110;
constexpr int kFieldValueWidth = 130;

QString Utf8(const char* text)
{
  return QString::fromUtf8(text);
}

struct TWaitCursor {
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

/// A password is asked under the arrow, whatever the load shows.
struct TArrowCursor {
  TArrowCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
  ~TArrowCursor() { QApplication::restoreOverrideCursor(); }
  TArrowCursor(const TArrowCursor&) = delete;
  TArrowCursor& operator=(const TArrowCursor&) = delete;
};

/// A field's value and its meaning, where it has one that says more.
QString FieldText(const std::optional<TFieldValue>& value, const std::string& text)
{
  if (!value)
    return Utf8(kCompareNone);
  std::string shown = FieldValueText(*value);
  if (!text.empty() && text != shown)
    shown += " (" + text + ")";
  return QString::fromStdString(shown);
}

/// A cell's value as the preview shows it, and its formula.
QString CellSideText(const std::optional<TCellSide>& side)
{
  if (!side)
    return Utf8(kCompareNone);
  std::string text = CellText(side->Value);
  if (side->Formula)
    text += " =" + *side->Formula;
  return QString::fromStdString(text);
}

bool Holds(std::span<const std::uint8_t> data, const std::vector<std::uint8_t>& pattern)
{
  return !pattern.empty() && std::search(data.begin(), data.end(), pattern.begin(), pattern.end()) != data.end();
}

}  // namespace

struct TfrmCompare::TSide {
  TMSExcel Excel;
  TOpenedWorkbook Workbook{Excel, TOpenedWorkbook::TKeep::kpRecords};
  QString FileName;
};

struct TfrmCompare::TResult {
  TWorkbookDiff Diff;
  std::vector<TCellDifference> Cells;
  std::string Error;
};

TfrmCompare::TfrmCompare(QWidget* parent)
    : QMainWindow(parent), FA(std::make_unique<TSide>()), FB(std::make_unique<TSide>()),
      FModelA(new TCompareListModel(FRows, false, this)), FModelB(new TCompareListModel(FRows, true, this))
{
  setObjectName(QStringLiteral("frmCompare"));
  setWindowTitle(QString::fromLatin1(kProductName));
  ErrorPresenter = [](QWidget* parentWidget, const QString& caption, const QString& text) {
    QMessageBox::critical(parentWidget, caption, text);
  };
  PasswordPrompter = &TfrmPassword::Ask;
  BuildWidgets();
  BuildActions();
  resize(kDefaultWidth, kDefaultHeight);
}

TfrmCompare::~TfrmCompare()
{
  FWorker.Stop();
  // The dumps point into the workbooks' streams, which go with the sides.
  DumpA->SetData({});
  DumpB->SetData({});
}

TOpenedWorkbook& TfrmCompare::Workbook(bool b)
{
  return (b ? FB : FA)->Workbook;
}

TRecordListView* TfrmCompare::MakeList(TCompareListModel* model, QWidget* parent)
{
  auto* list = new TRecordListView(parent);
  list->setModel(model);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->SetRowHeight(list->fontMetrics().height() + 4);
  for (int i = 0; i < TRecordListModel::rcColumnCount; ++i)
    list->setColumnWidth(i, kColumnWidths[i]);
  list->SetNumberColumn(TRecordListModel::rcNumber);
  // The selection stays visible in the list without the focus: both sides
  // show the row in hand.
  QPalette palette = list->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  list->setPalette(palette);
  return list;
}

void TfrmCompare::BuildWidgets()
{
  auto* client = new QWidget(this);
  setCentralWidget(client);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(4, 4, 4, 4);

  auto* strip = new QHBoxLayout;
  edFilter = new QLineEdit(client);
  edFilter->setPlaceholderText(Utf8(kCompareFilterHint));
  edFilter->setClearButtonEnabled(true);
  cbOnlyDifferences = new QCheckBox(Utf8(kCompareOnlyDifferences), client);
  edFind = new QLineEdit(client);
  edFind->setPlaceholderText(Utf8(kCompareFindHint));
  edFind->setClearButtonEnabled(true);
  cbFindMode = new QComboBox(client);
  cbFindMode->addItems({QString::fromLatin1(kFindModeHex), QString::fromLatin1(kFindModeText),
                        QString::fromLatin1(kFindModeUtf16)});
  strip->addWidget(edFilter, 2);
  strip->addWidget(cbOnlyDifferences);
  strip->addWidget(edFind, 2);
  strip->addWidget(cbFindMode);
  layout->addLayout(strip);
  connect(edFilter, &QLineEdit::returnPressed, this, [this] { ApplyFilter(edFilter->text()); });
  connect(cbOnlyDifferences, &QCheckBox::toggled, this, [this] { ApplyFilter(edFilter->text()); });
  connect(edFind, &QLineEdit::returnPressed, this, [this] { FindNext(true); });

  auto* splitter = new QSplitter(Qt::Vertical, client);
  splitter->setChildrenCollapsible(false);
  auto* lists = new QWidget(splitter);
  auto* grid = new QGridLayout(lists);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  lblFileA = new QLabel(lists);
  lblFileB = new QLabel(lists);
  lvA = MakeList(FModelA, lists);
  lvB = MakeList(FModelB, lists);
  Strip = new TDiffStrip(FRows, lists);
  grid->addWidget(lblFileA, 0, 0);
  grid->addWidget(lblFileB, 0, 1);
  grid->addWidget(lvA, 1, 0);
  grid->addWidget(lvB, 1, 1);
  grid->addWidget(Strip, 1, 2);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
  splitter->addWidget(lists);
  Strip->OnGoToRow = [this](TDiffStrip&, int row) { SelectRow(row); };

  // The lists move as one: scrolled, and the row in hand.
  connect(lvA->verticalScrollBar(), &QScrollBar::valueChanged, lvB->verticalScrollBar(), &QScrollBar::setValue);
  connect(lvB->verticalScrollBar(), &QScrollBar::valueChanged, lvA->verticalScrollBar(), &QScrollBar::setValue);
  connect(lvA->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { CurrentChanged(false, current.row()); });
  connect(lvB->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { CurrentChanged(true, current.row()); });

  pcDetail = new QTabWidget(splitter);
  auto* fieldsPage = new QWidget(pcDetail);
  auto* fieldsLayout = new QVBoxLayout(fieldsPage);
  fieldsLayout->setContentsMargins(4, 4, 4, 4);
  lblRecord = new QLabel(fieldsPage);
  lblRecord->setTextInteractionFlags(Qt::TextSelectableByMouse);
  fieldsLayout->addWidget(lblRecord);
  auto* fieldsSplitter = new QSplitter(Qt::Horizontal, fieldsPage);
  fieldsSplitter->setChildrenCollapsible(false);
  tvFields = new QTreeWidget(fieldsSplitter);
  tvFields->setRootIsDecorated(false);
  tvFields->setHeaderLabels({Utf8(kCompareFieldColumn), QStringLiteral("A"), QStringLiteral("B")});
  tvFields->setColumnWidth(0, kFieldNameWidth);
  tvFields->setColumnWidth(1, kFieldValueWidth);
  connect(tvFields, &QTreeWidget::currentItemChanged, this, [this] { SelectField(); });
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  DumpA = new THexDump(fieldsSplitter);
  DumpB = new THexDump(fieldsSplitter);
  for (THexDump* dump : {DumpA, DumpB}) {
    dump->setFont(fixed);
    dump->SetRelativeAddress(true);
    fieldsSplitter->addWidget(dump);
  }
  fieldsSplitter->insertWidget(0, tvFields);
  fieldsSplitter->setSizes({400, 370, 370});
  fieldsLayout->addWidget(fieldsSplitter, 1);
  pcDetail->addTab(fieldsPage, Utf8(kCompareTabFields));

  auto* previewPage = new QWidget(pcDetail);
  auto* previewLayout = new QVBoxLayout(previewPage);
  previewLayout->setContentsMargins(0, 0, 0, 0);
  previewLayout->setSpacing(0);
  sgPreview = new TPreviewGrid(previewPage);
  // A difference can lie past the first rows: every row is shown here.
  sgPreview->SetShowAllRows(true);
  tsSheets = new QTabBar(previewPage);
  tsSheets->setShape(QTabBar::RoundedSouth);
  tsSheets->setExpanding(false);
  previewLayout->addWidget(sgPreview, 1);
  previewLayout->addWidget(tsSheets);
  pcDetail->addTab(previewPage, Utf8(kCompareTabPreview));
  connect(tsSheets, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0 && FReady)
      ShowSheet(index);
  });
  splitter->addWidget(pcDetail);
  splitter->setSizes({3 * kDefaultHeight / 5, 2 * kDefaultHeight / 5});
  layout->addWidget(splitter, 1);

  lblStatus = new QLabel(this);
  statusBar()->addWidget(lblStatus, 1);
}

void TfrmCompare::BuildActions()
{
  QMenu* file = menuBar()->addMenu(QString::fromLatin1(kMenuFile));
  actClose = file->addAction(QStringLiteral("&Close"), this, &QWidget::close);
  actClose->setShortcut(QKeySequence::Close);
  QMenu* go = menuBar()->addMenu(QStringLiteral("&Go"));
  actNextDifference = go->addAction(Utf8(kCompareNextDifference), this, [this] { NextDifference(true); });
  actNextDifference->setShortcut(QKeySequence(Qt::Key_F7));
  actPreviousDifference = go->addAction(Utf8(kComparePreviousDifference), this, [this] { NextDifference(false); });
  actPreviousDifference->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F7));
  go->addSeparator();
  actFindNext = go->addAction(QString::fromLatin1(kMenuFindNext), this, [this] { FindNext(true); });
  actFindNext->setShortcut(QKeySequence(Qt::Key_F3));
  actFindPrevious = go->addAction(QString::fromLatin1(kMenuFindPrevious), this, [this] { FindNext(false); });
  actFindPrevious->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
}

bool TfrmCompare::LoadSide(TSide& side, const QString& fileName)
{
  side.FileName = fileName;
  side.Excel.OnPassword = [this](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
    const TArrowCursor arrow;
    cancel = !PasswordPrompter ||
             !PasswordPrompter(this, QString::fromStdString(request.Description), request.Refused > 0, password);
  };
  try {
    const TWaitCursor wait;
    side.Workbook.Reset();
    side.Excel.LoadFromFile(fileName.toStdString());
  } catch (const std::exception& e) {
    if (ErrorPresenter)
      ErrorPresenter(this, QString::fromLatin1(kProductName),
                     QFileInfo(fileName).fileName() + QStringLiteral(": ") +
                         QString::fromStdString(ErrorBoxText(ExceptionText(e))));
    return false;
  }
  return true;
}

bool TfrmCompare::Open(const QString& a, const QString& b)
{
  FWorker.Stop();
  FReady = false;
  // Nothing may point into the workbooks while they load again.
  DumpA->SetData({});
  DumpB->SetData({});
  tvFields->clear();
  sgPreview->Clear();
  FRows.Set(nullptr, nullptr, nullptr);
  FDiff = {};
  FCells.clear();
  Reload();
  FClock.start();
  if (!LoadSide(*FA, a) || !LoadSide(*FB, b))
    return false;
  FLoadMilliseconds = FClock.restart();
  const QString nameA = QFileInfo(a).fileName();
  const QString nameB = QFileInfo(b).fileName();
  setWindowTitle(Utf8(kCompareTitle).arg(nameA, nameB) + QStringLiteral(" - ") + QString::fromLatin1(kProductName));
  lblFileA->setText(QStringLiteral("A: ") + nameA);
  lblFileA->setToolTip(a);
  lblFileB->setText(QStringLiteral("B: ") + nameB);
  lblFileB->setToolTip(b);
  Say(Utf8(kCompareWorking));
  TOpenedWorkbook* workbookA = &FA->Workbook;
  TOpenedWorkbook* workbookB = &FB->Workbook;
  // The worker alone reads the workbooks until it hands its result over; a
  // comparison has the window to itself, so it keeps its priority.
  FWorker.Run([this, workbookA, workbookB, post = FWorker.Poster(this)] {
    auto result = std::make_shared<TResult>();
    try {
      TDiffOptions options;
      options.KeepRows = true;
      result->Diff = CompareRecords(*workbookA, *workbookB, options);
      result->Cells = CompareCells(*workbookA, *workbookB, true);
    } catch (const std::exception& e) {
      result->Error = ExceptionText(e);
    }
    post([this, result] { Deliver(result); });
  }, /*yieldToWindow=*/false);
  return true;
}

void TfrmCompare::Deliver(const std::shared_ptr<TResult>& result)
{
  FWorker.Finish();
  FCompareMilliseconds = FClock.elapsed();
  if (!result->Error.empty()) {
    Say(Utf8(kCompareFailed).arg(QString::fromStdString(ErrorBoxText(result->Error))));
    return;
  }
  FDiff = std::move(result->Diff);
  FCells = std::move(result->Cells);
  FRows.Set(&FDiff, &FA->Workbook.Records(), &FB->Workbook.Records());
  FReady = true;
  Reload();
  {
    const QSignalBlocker quiet(tsSheets);
    while (tsSheets->count() > 0)
      tsSheets->removeTab(tsSheets->count() - 1);
    const TSpreadSheets& sheets = std::as_const(FB->Excel).Sheets();
    for (int i = 0; i < sheets.Count(); ++i)
      tsSheets->addTab(QString::fromStdString(sheets.Items(i).Caption));
  }
  if (tsSheets->count() > 0)
    ShowSheet(0);
  ApplyFilter(edFilter->text());
  if (!FRows.Marks().empty())
    SelectRow(FRows.Marks().front());
  else if (FRows.Count() > 0)
    SelectRow(0);
  if (OnCompared)
    OnCompared(*this);
}

void TfrmCompare::Reload()
{
  FModelA->Reload();
  FModelB->Reload();
  Strip->update();
}

void TfrmCompare::Say(const QString& text)
{
  lblStatus->setText(text);
}

void TfrmCompare::ShowSummary()
{
  if (!FReady)
    return;
  std::size_t counts[3] = {};
  for (const TRecordDifference& d : FDiff.Differences)
    ++counts[static_cast<int>(d.Op)];
  QString text = FDiff.Differences.empty()
                     ? Utf8(kCompareSame)
                     : Utf8(kCompareSummary)
                           .arg(counts[static_cast<int>(TDiffOp::doChanged)])
                           .arg(counts[static_cast<int>(TDiffOp::doAdded)])
                           .arg(counts[static_cast<int>(TDiffOp::doRemoved)])
                           .arg(FRows.Count())
                           .arg(FDiff.Rows.size());
  if (!FCells.empty())
    text += QStringLiteral("; ") + Utf8(FCells.size() == 1 ? kCompareOneCell : kCompareCellsSummary).arg(FCells.size());
  text += QStringLiteral("; ") + Utf8(kCompareTimes).arg(FLoadMilliseconds).arg(FCompareMilliseconds);
  Say(text);
}

int TfrmCompare::CurrentRow() const
{
  const QModelIndex current = lvA->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TfrmCompare::SelectRow(int row)
{
  if (row < 0 || row >= FRows.Count())
    return;
  // A row brought from out of sight stands in the middle, the records
  // around it in view.
  const QModelIndex index = FModelA->index(row, 0);
  const bool inSight = lvA->viewport()->rect().contains(lvA->visualRect(index));
  FSyncing = true;
  lvA->selectRow(row);
  lvB->selectRow(row);
  if (!inSight)
    lvA->scrollTo(index, QAbstractItemView::PositionAtCenter);
  FSyncing = false;
  ShowRow(row);
}

void TfrmCompare::CurrentChanged(bool b, int row)
{
  if (FSyncing || row < 0)
    return;
  FSyncing = true;
  (b ? lvA : lvB)->selectRow(row);
  FSyncing = false;
  ShowRow(row);
}

bool TfrmCompare::NextDifference(bool forward)
{
  const int row = FRows.NextMark(CurrentRow(), forward);
  if (row < 0) {
    Say(Utf8(kCompareNoMore));
    return false;
  }
  SelectRow(row);
  return true;
}

bool TfrmCompare::ApplyFilter(const QString& text)
{
  const TRecordFilterText filter = ParseRecordFilter(text.toStdString());
  if (!filter.BadWord.empty()) {
    Say(QString::fromLatin1(kStatusNoSuchType).arg(QString::fromStdString(filter.BadWord)));
    return false;
  }
  if (!FReady)
    return true;
  const int current = CurrentRow();
  const std::optional<std::uint32_t> kept =
      current >= 0 ? std::optional<std::uint32_t>(FRows.RowIndex(current)) : std::nullopt;
  const bool onlyDifferences = cbOnlyDifferences->isChecked();
  if (filter.Codes.empty() && !onlyDifferences) {
    FRows.SetShown(std::nullopt);
  } else {
    // Each side's matching records in one pass over its stream.
    const auto matching = [&filter](const TListedRecords& records) {
      std::vector<bool> match(records.Count(), filter.Codes.empty());
      if (!filter.Codes.empty())
        for (const std::uint32_t i : FilterRecords(records.Stream().Span(), records.Offsets(), filter.Codes))
          match[i] = true;
      return match;
    };
    const std::vector<bool> inA = matching(FA->Workbook.Records());
    const std::vector<bool> inB = matching(FB->Workbook.Records());
    std::vector<std::uint32_t> rows;
    for (std::size_t i = 0; i < FDiff.Rows.size(); ++i) {
      const TDiffRow& row = FDiff.Rows[i];
      if (onlyDifferences && row.Difference < 0)
        continue;
      if ((row.A != kNoDiffRecord && row.A < inA.size() && inA[row.A]) ||
          (row.B != kNoDiffRecord && row.B < inB.size() && inB[row.B]))
        rows.push_back(static_cast<std::uint32_t>(i));
    }
    FRows.SetShown(std::move(rows));
  }
  Reload();
  // The row in hand stays where the filter keeps it.
  const int row = kept ? FRows.RowOfIndex(*kept) : -1;
  if (row >= 0)
    SelectRow(row);
  else
    ShowRow(-1);
  ShowSummary();
  return true;
}

bool TfrmCompare::FindNext(bool forward)
{
  const QString text = edFind->text();
  if (text.isEmpty()) {
    edFind->setFocus(Qt::ShortcutFocusReason);
    return false;
  }
  const auto pattern = FindPatternBytes(cbFindMode->currentIndex(), text);
  if (!pattern) {
    Say(QString::fromLatin1(kStatusBadHex).arg(text));
    return false;
  }
  const int count = FRows.Count();
  const int start = CurrentRow();
  const TListedRecords& a = FA->Workbook.Records();
  const TListedRecords& b = FB->Workbook.Records();
  // Row by row in the lists' order, round past the end to the row in hand.
  for (int step = 1; step <= count; ++step) {
    const int row = forward ? (start + step) % count : ((start - step) % count + count) % count;
    const TDiffRow& r = FRows.Row(row);
    const bool inA = r.A != kNoDiffRecord && Holds(a.RowBytes(r.A), *pattern);
    const bool inB = r.B != kNoDiffRecord && Holds(b.RowBytes(r.B), *pattern);
    if (inA || inB) {
      SelectRow(row);
      const std::uint32_t record = inA ? r.A : r.B;
      Say(QString::fromLatin1(kStatusFound).arg(text).arg(record + 1) + (inA ? QStringLiteral(" (A)") : QStringLiteral(" (B)")));
      return true;
    }
  }
  Say(QString::fromLatin1(kStatusNotFound).arg(text));
  return false;
}

void TfrmCompare::ShowRow(int row)
{
  tvFields->clear();
  FFieldBytesA.clear();
  FFieldBytesB.clear();
  if (!FReady || row < 0 || row >= FRows.Count()) {
    DumpA->SetData({});
    DumpB->SetData({});
    lblRecord->clear();
    return;
  }
  const TDiffRow& r = FRows.Row(row);
  const TRecordDifference* d =
      r.Difference >= 0 ? &FDiff.Differences[static_cast<std::size_t>(r.Difference)] : nullptr;
  const auto number = [](std::uint32_t record) {
    return record == kNoDiffRecord ? QStringLiteral("-") : QStringLiteral("#") + QString::number(record + 1);
  };
  QString heading;
  std::vector<TFieldSpot> spotsA;
  std::vector<TFieldSpot> spotsB;
  if (!d) {
    heading = Utf8(kCompareSameRecord);
  } else {
    heading = Utf8(d->Op == TDiffOp::doAdded     ? kCompareAdded
                   : d->Op == TDiffOp::doRemoved ? kCompareRemoved
                   : d->Style                    ? kCompareStyleChanged
                                                 : kCompareChanged) +
              QStringLiteral(": ") + QString::fromStdString(d->Type);
    if (!d->Cell.empty())
      heading += QLatin1Char(' ') + QString::fromStdString(d->Cell);
    if (!d->Key.empty())
      heading += QLatin1Char(' ') + QString::fromStdString(d->Key);
    heading += QStringLiteral(" (") + QString::fromStdString(FDiff.Parts[d->Part].Name) + QLatin1Char(')');
  }
  heading += QStringLiteral("    A ") + number(r.A) + QStringLiteral(", B ") + number(r.B);
  lblRecord->setText(heading);
  if (d && d->Op == TDiffOp::doChanged) {
    for (const TFieldDifference& field : d->Fields) {
      new QTreeWidgetItem(tvFields, {QString::fromStdString(field.Name), FieldText(field.A, field.TextA),
                                     FieldText(field.B, field.TextB)});
      spotsA.push_back(field.SpotA.value_or(TFieldSpot{0, 0, 0}));
      spotsB.push_back(field.SpotB.value_or(TFieldSpot{0, 0, 0}));
    }
    if (d->FieldsLeftOut > 0)
      new QTreeWidgetItem(tvFields, {Utf8(kCompareFieldsLeftOut).arg(d->FieldsLeftOut)});
  } else if (d) {
    // A record one side has alone: its fields, on its side.
    const bool inB = d->Op == TDiffOp::doAdded;
    const std::uint32_t record = inB ? r.B : r.A;
    if (record != kNoDiffRecord) {
      const TRecordDescription description = Workbook(inB).Describe(record);
      for (const TRecordField& field : description.Fields) {
        const QString value = FieldText(field.Value, field.Text);
        new QTreeWidgetItem(tvFields, {QString::fromStdString(field.Name), inB ? Utf8(kCompareNone) : value,
                                       inB ? value : Utf8(kCompareNone)});
      }
    }
  }
  ShowDump(false, static_cast<int>(r.A == kNoDiffRecord ? -1 : static_cast<int>(r.A)), spotsA);
  ShowDump(true, static_cast<int>(r.B == kNoDiffRecord ? -1 : static_cast<int>(r.B)), spotsB);
}

void TfrmCompare::ShowDump(bool b, int record, const std::vector<TFieldSpot>& spots)
{
  THexDump& dump = b ? *DumpB : *DumpA;
  auto& places = b ? FFieldBytesB : FFieldBytesA;
  places.assign(spots.size(), std::nullopt);
  if (record < 0) {
    dump.SetData({});
    return;
  }
  TOpenedWorkbook& workbook = Workbook(b);
  const std::vector<TRecordRef> parts = workbook.Directory().LogicalParts(static_cast<std::size_t>(record));
  const std::span<const std::uint8_t> stream = workbook.Records().Stream().Span();
  if (parts.empty()) {
    dump.SetData({});
    return;
  }
  // The record and its CONTINUE records, headers between, as the main
  // window's dump shows them.
  const std::size_t first = static_cast<std::size_t>(parts.front().Offset) + kHeaderBytes;
  const std::size_t end = static_cast<std::size_t>(parts.back().Offset) + kHeaderBytes + parts.back().Data.size();
  if (end > stream.size() || end <= first) {
    dump.SetData({});
    return;
  }
  dump.SetData(stream.subspan(first, end - first));
  // The fields that differ, as bands; only on the record's own row (a
  // CONTINUE record's row shows the record it carries on, unmarked).
  if (parts.front().Number != static_cast<std::uint64_t>(record) + 1)
    return;
  const std::vector<std::size_t> starts = TRecordDirectory::PartStarts(parts);
  std::vector<HexFormat::THexBand> bands;
  std::uint8_t shade = 0;
  for (std::size_t i = 0; i < spots.size(); ++i) {
    if (spots[i].Size == 0)
      continue;
    const std::size_t from = PartPosition(starts, spots[i].Part, spots[i].Offset);
    if (from >= end - first)
      continue;
    const std::size_t size = std::min(spots[i].Size, end - first - from);
    places[i] = std::make_pair(static_cast<int>(from), static_cast<int>(size));
    bands.push_back({static_cast<int>(from), static_cast<int>(size), shade});
    shade ^= 1;
  }
  dump.SetBands(HexFormat::SortedWithoutOverlaps(std::move(bands)));
}

void TfrmCompare::SelectField()
{
  const int index = tvFields->currentItem() ? tvFields->indexOfTopLevelItem(tvFields->currentItem()) : -1;
  for (const bool b : {false, true}) {
    THexDump& dump = b ? *DumpB : *DumpA;
    const auto& places = b ? FFieldBytesB : FFieldBytesA;
    if (index >= 0 && static_cast<std::size_t>(index) < places.size() && places[static_cast<std::size_t>(index)]) {
      const auto [from, count] = *places[static_cast<std::size_t>(index)];
      dump.SetActiveBand(from, count);
      dump.RevealByte(from);
    } else {
      dump.SetActiveBand(0, 0);
    }
  }
}

void TfrmCompare::ShowSheet(int index)
{
  const TSpreadSheets& sheets = std::as_const(FB->Excel).Sheets();
  if (index < 0 || index >= sheets.Count())
    return;
  {
    const QSignalBlocker quiet(tsSheets);
    tsSheets->setCurrentIndex(index);
  }
  TOpenedWorkbook& b = FB->Workbook;
  sgPreview->FillPreview(sheets.Items(index), [&b, index](int row, int column, TFormulaResult& result) {
    return b.RecordFormulas().Formula(index, row, column, result);
  });
  // A cell difference names A's sheet of a pair; B's name is the part's.
  std::map<std::string, std::string> nameInB;
  for (const TDiffPart& part : FDiff.Parts)
    if (part.InB)
      nameInB[part.Name] = part.NameB.empty() ? part.Name : part.NameB;
  const std::string& caption = sheets.Items(index).Caption;
  std::unordered_map<std::uint64_t, TPreviewModel::TCellMark> marks;
  for (const TCellDifference& cell : FCells) {
    const auto named = nameInB.find(cell.Sheet);
    const std::string& sheet = named != nameInB.end() ? named->second : cell.Sheet;
    if (sheet != caption)
      continue;
    marks[TPreviewModel::MarkKey(cell.Row, cell.Column)] = {
        DiffTint(cell.Op), CellSideText(cell.A) + Utf8(kCompareArrow) + CellSideText(cell.B)};
  }
  sgPreview->SetMarks(std::move(marks));
}

TfrmCompare* ShowCompareWindow(TfrmMain* parent, const QString& a, const QString& b)
{
  auto* window = new TfrmCompare(parent);
  window->setAttribute(Qt::WA_DeleteOnClose);
  if (parent) {
    window->ErrorPresenter = parent->ErrorPresenter;
    window->PasswordPrompter = parent->PasswordPrompter;
  }
  if (!window->Open(a, b)) {
    delete window;
    return nullptr;
  }
  window->show();
  return window;
}

namespace {

/// An existing workbook chosen in a dialog starting in `folder`; empty when
/// none was.
QString ChooseWorkbook(QWidget* parent, const QString& title, const QString& folder)
{
  QFileDialog dialog(parent, title, folder);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(QString::fromLatin1(kOpenDialogFilter).split(QStringLiteral(";;")));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().first();
}

}  // namespace

void CompareWithDialog(TfrmMain& parent, const QString& current)
{
  QString a = current;
  if (a.isEmpty())
    a = ChooseWorkbook(&parent, Utf8(kCompareDialogTitleA), QString());
  if (a.isEmpty())
    return;
  const QString b = ChooseWorkbook(&parent, Utf8(kCompareDialogTitle), QFileInfo(a).absolutePath());
  if (!b.isEmpty())
    ShowCompareWindow(&parent, a, b);
}
