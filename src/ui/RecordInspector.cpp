#include "ui/RecordInspector.h"

#include "hexdump/HexDump.h"
#include "platform/ErrorText.h"
#include "ui/FieldTreeModel.h"
#include "ui/RecordListModel.h"
#include "ui/UiMessages.h"
#include "ui/UiTexts.h"
#include "xls/MSExcel.h"
#include "xls/RecordCodes.h"
#include "xls/records/RecordTable.h"
#include "xls/records/RecordTable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <map>
#include <string>

namespace {

constexpr std::size_t kHeaderBytes = 4;
// Column widths of the tree at its start: name, value, meaning.
constexpr int kNameColumnWidth = 120;
constexpr int kValueColumnWidth = 160;
constexpr int kMeaningColumnWidth = 140;
// The narrowest the value and meaning columns get when the pane is fitted.
constexpr int kNarrowestTextColumn = 40;
/// The bands of the dump: each field's, alternating tints, the headers of
/// the CONTINUE records between the parts in a grey of their own. Fields
/// are cut around the headers and kept from overlapping.
std::vector<HexFormat::THexBand> DumpBands(const std::vector<TFieldTreeModel::TBand>& fields,
                                           const std::vector<std::size_t>& starts)
{
  using HexFormat::THexBand;
  std::vector<THexBand> bands;
  std::vector<std::pair<std::size_t, std::size_t>> headers;
  for (std::size_t k = 1; k < starts.size(); ++k)
    headers.emplace_back(starts[k] - kHeaderBytes, starts[k]);
  std::uint8_t shade = 0;
  for (const TFieldTreeModel::TBand& field : fields) {
    const std::uint8_t tint = field.Missing ? HexFormat::kShadeMissing : shade;
    shade ^= 1;
    std::size_t from = field.Extent.First;
    const std::size_t to = field.Extent.End;
    for (const auto& [headerFirst, headerEnd] : headers) {
      if (headerEnd <= from || headerFirst >= to)
        continue;
      if (headerFirst > from)
        bands.push_back({static_cast<int>(from), static_cast<int>(headerFirst - from), tint});
      from = headerEnd;
    }
    if (from < to)
      bands.push_back({static_cast<int>(from), static_cast<int>(to - from), tint});
  }
  for (const auto& [headerFirst, headerEnd] : headers)
    bands.push_back({static_cast<int>(headerFirst), static_cast<int>(headerEnd - headerFirst), HexFormat::kShadeHeader});
  return HexFormat::SortedWithoutOverlaps(std::move(bands));
}

/// The tree of fields: Enter follows a link as a double-click does. Its
/// width beyond the name and bytes goes to the value and the meaning, in
/// the proportion they have: widening the pane shows more of the texts,
/// where the bytes column needs no more.
class TFieldTree : public QTreeView {
public:
  explicit TFieldTree(QWidget* parent) : QTreeView(parent) {}
  std::function<void()> OnEnter;

  void FitTextColumns()
  {
    QHeaderView* h = header();
    const int room = viewport()->width() - h->sectionSize(TFieldTreeModel::fcName) -
                     h->sectionSize(TFieldTreeModel::fcBytes);
    const int value = h->sectionSize(TFieldTreeModel::fcValue);
    const int meaning = h->sectionSize(TFieldTreeModel::fcMeaning);
    if (room < 2 * kNarrowestTextColumn || value + meaning <= 0)
      return;
    const int newValue = std::max(kNarrowestTextColumn,
                                  static_cast<int>(static_cast<qint64>(room) * value / (value + meaning)));
    h->resizeSection(TFieldTreeModel::fcValue, newValue);
    h->resizeSection(TFieldTreeModel::fcMeaning, std::max(kNarrowestTextColumn, room - newValue));
  }

protected:
  void resizeEvent(QResizeEvent* e) override
  {
    QTreeView::resizeEvent(e);
    FitTextColumns();
  }

  void keyPressEvent(QKeyEvent* e) override
  {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier && OnEnter) {
      e->accept();
      OnEnter();
      return;
    }
    QTreeView::keyPressEvent(e);
  }
};

}  // namespace

TRecordInspector::TRecordInspector(TOpenedWorkbook& workbook, THexDump& dump, QWidget* parent)
    : QWidget(parent), FWorkbook(workbook), FDump(dump), FModel(new TFieldTreeModel(this))
{
  setObjectName(QStringLiteral("Fields"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  lblRecord = new QLabel(QString::fromLatin1(kFieldsNoRecord), this);
  lblRecord->setTextFormat(Qt::PlainText);
  lblRecord->setWordWrap(true);
  QFont bold = lblRecord->font();
  bold.setBold(true);
  lblRecord->setFont(bold);
  layout->addWidget(lblRecord);
  lblStatus = new QLabel(this);
  lblStatus->setTextFormat(Qt::PlainText);
  lblStatus->setWordWrap(true);
  lblStatus->hide();
  layout->addWidget(lblStatus);
  auto* tree = new TFieldTree(this);
  tvFields = tree;
  tvFields->setModel(FModel);
  // Rows of one height: a list of 200,000 strings is laid out without
  // asking each for its size.
  tvFields->setUniformRowHeights(true);
  tvFields->setAlternatingRowColors(true);
  tvFields->setSelectionBehavior(QAbstractItemView::SelectRows);
  tvFields->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvFields->setExpandsOnDoubleClick(false);
  // A long string or formula keeps its start and end in view; the tooltip
  // and Copy Value give the whole of it.
  tvFields->setTextElideMode(Qt::ElideMiddle);
  tvFields->header()->setStretchLastSection(false);
  tvFields->setColumnWidth(TFieldTreeModel::fcName, kNameColumnWidth);
  tvFields->setColumnWidth(TFieldTreeModel::fcValue, kValueColumnWidth);
  tvFields->setColumnWidth(TFieldTreeModel::fcMeaning, kMeaningColumnWidth);
  // Bytes such as "#12: 8224-8231": wide enough for a part's number and a
  // range of five-digit offsets.
  tvFields->setColumnWidth(TFieldTreeModel::fcBytes,
                           tvFields->fontMetrics().horizontalAdvance(QStringLiteral("#00: 00000-00000")) + 12);
  // The field's context menu: the line, or its whole value.
  actCopyField = new QAction(QString::fromLatin1(kMenuCopyField), this);
  connect(actCopyField, &QAction::triggered, this, [this] { CopyField(); });
  actCopyValue = new QAction(QString::fromLatin1(kMenuCopyValue), this);
  connect(actCopyValue, &QAction::triggered, this, [this] { CopyValue(); });
  tvFields->setContextMenuPolicy(Qt::ActionsContextMenu);
  tvFields->addActions({actCopyField, actCopyValue});
  layout->addWidget(tvFields, 1);
  connect(tvFields->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex&, const QModelIndex&) { CurrentFieldChanged(); });
  connect(tvFields, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
    // A group without a link opens and closes, as a tree's groups do.
    const TRecordField* field = FModel->Field(index);
    if (field && field->Link.Kind != TFieldLinkKind::lkNone)
      FollowLink();
    else if (FModel->hasChildren(index.siblingAtColumn(0)))
      tvFields->setExpanded(index.siblingAtColumn(0), !tvFields->isExpanded(index.siblingAtColumn(0)));
  });
  tree->OnEnter = [this] { FollowLink(); };
  FDump.OnByteClick = [this](THexDump&, int byte) { DumpByteClicked(byte); };
}

// The window lets the dump go of OnByteClick: the pane may go before it.
TRecordInspector::~TRecordInspector() = default;

const TRecordDirectory& TRecordInspector::Directory()
{
  return FWorkbook.Directory();
}

TRecordFormulas& TRecordInspector::Formulas()
{
  return FWorkbook.RecordFormulas();
}

void TRecordInspector::Reset()
{
  FDump.SetData({});
  FModel->Clear();
  FHistory.clear();
  FPending.reset();
  FRow = -1;
  lblRecord->setText(QString::fromLatin1(kFieldsNoRecord));
  lblStatus->hide();
}

void TRecordInspector::ShowRecord(int row)
{
  if (row < 0 || static_cast<std::size_t>(row) >= FWorkbook.RecordCount()) {
    // No record (the filter hid the one shown): the pane and the dump show
    // nothing rather than a record the list no longer has; a pending link
    // target and the history stay.
    FRow = -1;
    FDump.SetData({});
    FModel->Clear();
    lblRecord->setText(QString::fromLatin1(kFieldsNoRecord));
    lblStatus->hide();
    return;
  }
  FRow = row;
  lblStatus->hide();
  const std::vector<TRecordRef> parts = Directory().LogicalParts(static_cast<std::size_t>(row));
  if (parts.empty())
    return;
  TRecordDescription description = FWorkbook.Describe(static_cast<std::size_t>(row));
  ShowHeading(parts.front(), description);
  ShowFields(parts, description);
  ShowBytes(parts);
  ApplyPending();
  if (OnCellRecord)
    if (const auto cell = Directory().CellOf(static_cast<std::size_t>(row)))
      OnCellRecord(*this, *cell);
}

void TRecordInspector::ShowHeading(const TRecordRef& head, const TRecordDescription& description)
{
  QString text = QString::fromStdString(description.Heading);
  if (!description.Continuation.empty())
    text += QStringLiteral("\n") + QString::fromStdString(description.Continuation);
  if (IsChartRecordCode(head.Header.Code) && !description.ChartBlocks.empty()) {
    QString blocks;
    for (const std::uint16_t code : description.ChartBlocks) {
      const TRecordType* block = FindRecordType(code);
      if (!blocks.isEmpty())
        blocks += QStringLiteral(" \u203A ");
      blocks += block ? QString::fromLatin1(block->Type) : QString::fromLatin1(RecordTypeName(code));
    }
    text += QStringLiteral("\n") + QString::fromLatin1(kFieldsChartBlock) + blocks;
  }
  lblRecord->setText(text);
}

void TRecordInspector::ShowFields(const std::vector<TRecordRef>& parts, TRecordDescription& description)
{
  const TRecordRef& head = parts.front();
  if (!description.Error.empty()) {
    // What was read before the failure stays; the status line says where
    // it stopped.
    lblStatus->setText(QString::fromLatin1(kFieldsDecodeStopped) +
                       QString::fromStdString(ErrorBoxText(description.Error)));
    lblStatus->show();
  }
  std::vector<std::size_t> starts = TRecordDirectory::PartStarts(parts);
  const std::size_t end = starts.back() + parts.back().Data.size();
  FModel->SetFields(std::move(description.Fields), std::move(starts), end, head.Number);
  // A structure of its own opens; entries of a list (groups that share a
  // name), flags words and lazy lists stay closed until asked for.
  std::map<std::string, int> names;
  for (const TRecordField& field : FModel->Fields())
    ++names[field.Name];
  for (int row = 0; row < FModel->rowCount(); ++row) {
    const QModelIndex index = FModel->index(row, 0);
    const TRecordField* field = FModel->Field(index);
    if (field && !field->Lazy && !field->Fields.empty() && field->Fields.front().BitCount == 0 &&
        names[field->Name] == 1)
      tvFields->expand(index);
  }
}

void TRecordInspector::ShowBytes(const std::vector<TRecordRef>& parts)
{
  // The record and its CONTINUE records lie one after the other in the
  // stream: the dump shows them as one run, headers between.
  const TRecordRef& head = parts.front();
  const TRecordRef& last = parts.back();
  const std::size_t first = static_cast<std::size_t>(head.Offset) + kHeaderBytes;
  const std::size_t end = static_cast<std::size_t>(last.Offset) + kHeaderBytes + last.Data.size();
  const bool stored = !FStored.empty() && end <= FStored.size();
  const std::span<const std::uint8_t> stream = stored ? FStored.Span() : FWorkbook.Records().Stream().Span();
  if (head.Data.empty() && parts.size() == 1)
    FDump.SetData({});
  else
    FDump.SetData(stream.subspan(first, end - first));
  QString note;
  if (FWorkbook.Reader().IsEncryptedRecord(head.Number, head.Header.Code)) {
    if (stored)
      note = QString::fromLatin1(kNoteStoredBytes);
    else if (!FWorkbook.Reader().Encryption().Opened)
      note = QString::fromLatin1(kNoteNotDecrypted);
  }
  if (last.Truncated())
    note = CutShortText(static_cast<int>(last.Data.size()), static_cast<int>(last.Header.Length));
  if (!note.isEmpty())
    FDump.SetNote(note);
  FDump.SetBands(DumpBands(FModel->Bands(), FModel->PartStarts()));
}

void TRecordInspector::CurrentFieldChanged()
{
  const QModelIndex index = tvFields->currentIndex();
  const TFieldExtent extent = FModel->Extent(index);
  if (!index.isValid() || extent.End <= extent.First) {
    FDump.SetActiveBand(0, 0);
    return;
  }
  const int first = static_cast<int>(std::min<std::size_t>(extent.First, INT32_MAX));
  const int count = static_cast<int>(std::min<std::size_t>(extent.End - extent.First, INT32_MAX - first));
  FDump.SetActiveBand(first, count);
  FDump.RevealByte(first);
}

void TRecordInspector::SelectByte(std::size_t position)
{
  const QModelIndex index = FModel->IndexAtByte(position);
  if (!index.isValid())
    return;
  tvFields->scrollTo(index);
  tvFields->setCurrentIndex(index);
}

void TRecordInspector::SelectString(std::size_t index)
{
  const QModelIndex item = FModel->LazyItem(index);
  if (!item.isValid())
    return;
  tvFields->scrollTo(item);
  tvFields->setCurrentIndex(item);
}

void TRecordInspector::DumpByteClicked(int byte)
{
  if (FRow < 0 || byte < 0)
    return;
  SelectByte(static_cast<std::size_t>(byte));
}

TRecordInspector::TPlace TRecordInspector::Here() const
{
  TPlace place;
  place.Row = FRow;
  const QModelIndex index = tvFields->currentIndex();
  if (index.isValid())
    place.Byte = FModel->Extent(index).First;
  return place;
}

bool TRecordInspector::FollowLink()
{
  const TRecordField* field = FModel->Field(tvFields->currentIndex());
  if (!field || field->Link.Kind == TFieldLinkKind::lkNone || FRow < 0)
    return false;
  const auto target = Directory().Resolve(field->Link, static_cast<std::size_t>(FRow));
  if (!target) {
    lblStatus->setText(QString::fromLatin1(kFieldsLinkNowhere));
    lblStatus->show();
    return false;
  }
  FHistory.push_back(Here());
  TPlace place;
  place.Row = static_cast<int>(target->Record);
  place.Byte = target->Byte;
  place.String = target->String;
  GoTo(place);
  return true;
}

bool TRecordInspector::Back()
{
  if (FHistory.empty())
    return false;
  const TPlace place = FHistory.back();
  FHistory.pop_back();
  GoTo(place);
  return true;
}

void TRecordInspector::GoTo(const TPlace& place)
{
  FPending = place;
  if (place.Row == FRow) {
    ApplyPending();
    return;
  }
  if (OnGoToRecord)
    OnGoToRecord(*this, place.Row);
  // The list did not move (no handler, or the row was current already).
  if (FPending && FRow != place.Row)
    ShowRecord(place.Row);
}

void TRecordInspector::ApplyPending()
{
  if (!FPending || FPending->Row != FRow)
    return;
  const TPlace place = *FPending;
  FPending.reset();
  if (place.String)
    SelectString(*place.String);
  else if (place.Byte)
    SelectByte(*place.Byte);
}

void TRecordInspector::CopyField() const
{
  const QModelIndex index = tvFields->currentIndex();
  if (!index.isValid())
    return;
  QStringList texts;
  for (int column = 0; column < TFieldTreeModel::fcColumnCount; ++column)
    texts << FModel->data(index.siblingAtColumn(column)).toString();
  QApplication::clipboard()->setText(texts.join(QLatin1Char('\t')) + QLatin1Char('\n'));
}

void TRecordInspector::CopyValue() const
{
  const QModelIndex index = tvFields->currentIndex();
  if (const TRecordField* field = FModel->Field(index))
    QApplication::clipboard()->setText(FieldValueText(*field));
}
