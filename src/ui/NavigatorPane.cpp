#include "ui/NavigatorPane.h"

#include "platform/CompoundFile.h"
#include "platform/CompoundSalvage.h"
#include "platform/ErrorText.h"
#include "platform/text/HexText.h"
#include "ui/RecordListModel.h"
#include "ui/UiMessages.h"
#include "ui/UiTexts.h"
#include "xls/stream/OpenPlan.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>


namespace {

constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
constexpr int kStripHeight = 18;
// Room beside a check's ID in the problems' check column.
constexpr int kCheckColumnPadding = 12;
// Rows the container's tables show at the least; the tab scrolls below that.
constexpr int kContainerTableRows = 8;

// The worker starts this long after a load or the pane's showing: the
// window's first layout and painting of a big workbook fault in pages the
// worker would contend with.
constexpr int kStartDelayMs = 150;
// Roles of the items' data: the record a row leads to, a type's code.
constexpr int kRecordRole = Qt::UserRole;
constexpr int kCodeRole = Qt::UserRole + 1;

QString Text(const char* text)
{
  return QString::fromLatin1(text);
}

// `stretch`: the column that takes the room the others leave (-1: the
// last). Column widths come from the font, never from measuring the rows.
QTreeWidget* MakeList(QWidget* parent, const char* columns, bool tree, int stretch = -1)
{
  auto* list = new QTreeWidget(parent);
  list->setHeaderLabels(Text(columns).split(QLatin1Char(';')));
  list->setRootIsDecorated(tree);
  list->setUniformRowHeights(true);
  list->setAlternatingRowColors(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  QHeaderView* header = list->header();
  header->setStretchLastSection(stretch < 0);
  header->setSectionResizeMode(QHeaderView::Interactive);
  // Room for a count or record number of the largest streams, with the
  // cell's margins: whole numbers are never elided.
  const int number = list->fontMetrics().horizontalAdvance(QStringLiteral("000000000"));
  for (int i = 0; i < list->columnCount(); ++i)
    header->resizeSection(i, number);
  if (stretch >= 0)
    header->setSectionResizeMode(stretch, QHeaderView::Stretch);
  // Three rows at least; the pane shares its height out by the splitters,
  // not by the lists' size hints.
  list->setMinimumHeight(3 * list->fontMetrics().height());
  return list;
}

// A number that sorts as a number in a sortable list.
class TNumberItem : public QTreeWidgetItem {
public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override
  {
    const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
    bool a = false;
    bool b = false;
    const qulonglong x = data(column, Qt::UserRole + 2).toULongLong(&a);
    const qulonglong y = other.data(column, Qt::UserRole + 2).toULongLong(&b);
    if (a && b)
      return x < y;
    return QTreeWidgetItem::operator<(other);
  }
};

void SetNumber(QTreeWidgetItem* item, int column, std::uint64_t value)
{
  item->setText(column, QString::number(value));
  item->setData(column, Qt::UserRole + 2, QVariant::fromValue<qulonglong>(value));
  item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
}

QColor SectorColour(TSectorUse use)
{
  switch (use) {
  case TSectorUse::suFree: return QColor(0xE0, 0xE0, 0xE0);
  case TSectorUse::suFat: return QColor(0xD3, 0x2F, 0x2F);
  case TSectorUse::suDifat: return QColor(0x8E, 0x24, 0xAA);
  case TSectorUse::suDirectory: return QColor(0xF5, 0x7C, 0x00);
  case TSectorUse::suMiniFat: return QColor(0xFB, 0xC0, 0x2D);
  case TSectorUse::suMiniStream: return QColor(0x00, 0x89, 0x7B);
  case TSectorUse::suStream: return QColor(0x19, 0x76, 0xD2);
  case TSectorUse::suUnreachable: return QColor(0x21, 0x21, 0x21);
  }
  return Qt::white;
}

const char* SectorUseText(TSectorUse use)
{
  switch (use) {
  case TSectorUse::suFree: return kSectorFree;
  case TSectorUse::suFat: return kSectorFat;
  case TSectorUse::suDifat: return kSectorDifat;
  case TSectorUse::suDirectory: return kSectorDirectory;
  case TSectorUse::suMiniFat: return kSectorMiniFat;
  case TSectorUse::suMiniStream: return kSectorMiniStream;
  case TSectorUse::suStream: return kSectorStream;
  case TSectorUse::suUnreachable: return kSectorUnreachable;
  }
  return kEntryTypeUnknown;
}

const char* EntryTypeText(std::uint8_t type)
{
  switch (type) {
  case 0: return kEntryTypeUnused;
  case 1: return kEntryTypeStorage;
  case 2: return kEntryTypeStream;
  case 5: return kEntryTypeRoot;
  default: return kEntryTypeUnknown;
  }
}

QString ClsidText(const std::array<std::uint8_t, 16>& id)
{
  // The GUID text form: the first three fields are little-endian.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string text;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10)
      text += '-';
    text += HexByte(id[static_cast<std::size_t>(kOrder[i])]);
  }
  return QString::fromStdString(text);
}

// An entry's name with its control characters visible: "\x05SummaryInformation".
QString EntryNameText(const std::string& name)
{
  QString text;
  for (const QChar c : QString::fromStdString(name)) {
    if (c.unicode() < 0x20)
      text += QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, QLatin1Char('0')).toUpper();
    else
      text += c;
  }
  return text;
}

QString LinkText(std::uint32_t link)
{
  return link == kNoEntry ? QStringLiteral("-") : QString::number(link);
}

QString HexOffset(std::uint64_t offset)
{
  return QStringLiteral("0x") + QString::number(offset, 16).toUpper();
}

// The workbook stream's entry, chosen as the reader of a damaged file
// chooses it (for a sound file, the strict reader's choice).
std::uint32_t WorkbookEntry(const TCompoundMap& map)
{
  const auto chosen = ChooseSalvagedEntry(map, ChooseWorkbook);
  return chosen ? chosen->Id : kNoEntry;
}

}  // namespace

TSectorStrip::TSectorStrip(QWidget* parent) : QWidget(parent)
{
  setMinimumHeight(kStripHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize TSectorStrip::sizeHint() const
{
  return {200, kStripHeight};
}

void TSectorStrip::SetMarked(std::vector<std::pair<std::size_t, std::size_t>> ranges)
{
  FMarked = std::move(ranges);
  update();
}

void TSectorStrip::SetSectors(const std::vector<TCompoundSector>& sectors)
{
  FBands.clear();
  FMarked.clear();
  FSectors = sectors.size();
  for (std::size_t i = 0; i < sectors.size(); ++i) {
    const TCompoundSector& s = sectors[i];
    const bool slack = s.Slack > 0;
    if (!FBands.empty() && FBands.back().Use == s.Use && !FBands.back().Slack && !slack) {
      ++FBands.back().Count;
      continue;
    }
    FBands.push_back({i, 1, s.Use, slack});
  }
  update();
}

void TSectorStrip::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  if (FSectors == 0)
    return;
  const double scale = static_cast<double>(width()) / static_cast<double>(FSectors);
  for (const TBand& band : FBands) {
    const int left = static_cast<int>(static_cast<double>(band.First) * scale);
    const int right = std::max(left + 1, static_cast<int>(static_cast<double>(band.First + band.Count) * scale));
    const QColor colour = SectorColour(band.Use);
    painter.fillRect(QRect(left, 0, right - left, height()), band.Slack ? colour.darker(140) : colour);
  }
  // The marks: a frame at least 3 pixels wide, so one sector of many shows.
  painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
  painter.setBrush(Qt::NoBrush);
  for (const auto& [first, last] : FMarked) {
    const int left = static_cast<int>(static_cast<double>(first) * scale);
    const int right = std::max(left + 3, static_cast<int>(static_cast<double>(last + 1) * scale));
    painter.drawRect(QRect(left, 0, right - left - 1, height() - 1));
  }
}

TNavigatorPane::TNavigatorPane(QWidget* parent) : QWidget(parent)
{
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  // The outline and types over the problems and container: each list
  // keeps the pane's whole width for its columns.
  FStartTimer = new QTimer(this);
  FStartTimer->setSingleShot(true);
  FStartTimer->setInterval(kStartDelayMs);
  connect(FStartTimer, &QTimer::timeout, this, &TNavigatorPane::Start);
  Splitter = new QSplitter(Qt::Vertical, this);
  Splitter->setChildrenCollapsible(false);
  layout->addWidget(Splitter);

  pcTop = new QTabWidget(Splitter);
  tvOutline = MakeList(pcTop, kOutlineColumns, true, 0);
  pcTop->addTab(tvOutline, Text(kTabOutline));
  tvTypes = MakeList(pcTop, kTypesColumns, false, 1);
  tvTypes->setSortingEnabled(true);
  pcTop->addTab(tvTypes, Text(kTabTypes));
  Splitter->addWidget(pcTop);

  pcBottom = new QTabWidget(Splitter);
  auto* problems = new QWidget(pcBottom);
  auto* problemsLayout = new QVBoxLayout(problems);
  problemsLayout->setContentsMargins(2, 2, 2, 2);
  lblProblems = new QLabel(problems);
  lblProblems->setWordWrap(true);
  problemsLayout->addWidget(lblProblems);
  tvProblems = MakeList(problems, kProblemsColumns, false);
  // Room for "warning" and a check's name such as "duplicate-cell".
  tvProblems->header()->resizeSection(0, tvProblems->fontMetrics().horizontalAdvance(QStringLiteral("warning")) + 16);
  tvProblems->header()->resizeSection(1, tvProblems->fontMetrics().horizontalAdvance(QStringLiteral("duplicate-cell")) + kCheckColumnPadding);
  problemsLayout->addWidget(tvProblems, 1);
  pcBottom->addTab(problems, Text(kTabProblems));

  // The container's tables keep room for several rows each; where the pane
  // is lower than that the tab scrolls.
  auto* containerScroll = new QScrollArea(pcBottom);
  containerScroll->setWidgetResizable(true);
  containerScroll->setFrameShape(QFrame::NoFrame);
  containerScroll->setFocusPolicy(Qt::NoFocus);
  auto* container = new QWidget(containerScroll);
  auto* containerLayout = new QVBoxLayout(container);
  containerLayout->setContentsMargins(2, 2, 2, 2);
  lblContainer = new QLabel(container);
  lblContainer->setWordWrap(true);
  containerLayout->addWidget(lblContainer);
  Strip = new TSectorStrip(container);
  containerLayout->addWidget(Strip);
  lblRecordPlace = new QLabel(container);
  lblRecordPlace->setWordWrap(true);
  lblRecordPlace->setTextInteractionFlags(Qt::TextSelectableByMouse);
  containerLayout->addWidget(lblRecordPlace);
  tvEntries = MakeList(container, kEntriesColumns, false);
  const int nameWidth = tvEntries->fontMetrics().horizontalAdvance(QStringLiteral("\\x05SummaryInformation")) + 12;
  tvEntries->header()->resizeSection(1, nameWidth);
  containerLayout->addWidget(tvEntries, 1);
  tvSectors = MakeList(container, kSectorsColumns, false);
  tvSectors->header()->resizeSection(2, tvSectors->fontMetrics().horizontalAdvance(QStringLiteral("mini stream")) + 12);
  tvSectors->header()->resizeSection(3, nameWidth);
  containerLayout->addWidget(tvSectors, 1);
  for (QTreeWidget* table : {tvEntries, tvSectors}) {
    const int row = table->fontMetrics().height() + 6;
    table->setMinimumHeight(table->header()->sizeHint().height() + kContainerTableRows * row +
                            2 * table->frameWidth());
  }
  containerScroll->setWidget(container);
  pcBottom->addTab(containerScroll, Text(kTabContainer));
  Splitter->addWidget(pcBottom);
  connect(Splitter, &QSplitter::splitterMoved, this, [this] { FSplit = true; });
  Splitter->installEventFilter(this);

  const auto leadsTo = [this](QTreeWidgetItem* item) {
    if (item == nullptr)
      return;
    const QVariant record = item->data(0, kRecordRole);
    if (record.isValid() && OnSelectRecord)
      OnSelectRecord(*this, record.toInt());
  };
  connect(tvOutline, &QTreeWidget::currentItemChanged, this,
          [leadsTo](QTreeWidgetItem* item, QTreeWidgetItem*) { leadsTo(item); });
  connect(tvProblems, &QTreeWidget::currentItemChanged, this,
          [leadsTo](QTreeWidgetItem* item, QTreeWidgetItem*) { leadsTo(item); });
  connect(tvTypes, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    if (item != nullptr && OnFilterType)
      OnFilterType(*this, static_cast<std::uint16_t>(item->data(0, kCodeRole).toUInt()));
  });
  connect(tvTypes, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) {
    if (item != nullptr && OnFilterType)
      OnFilterType(*this, static_cast<std::uint16_t>(item->data(0, kCodeRole).toUInt()));
  });
}

TNavigatorPane::~TNavigatorPane()
{
  FWorker.Stop();
}

void TNavigatorPane::Reset()
{
  FWorker.Stop();
  FPending.reset();
  FReady = false;
  FOutline.clear();
  FFindings.clear();
  FMap.reset();
  FWorkbookEntry = kNoEntry;
  FPlaceRecord = -1;
  for (QTreeWidget* list : {tvOutline, tvTypes, tvProblems, tvEntries, tvSectors})
    list->clear();
  for (QLabel* label : {lblProblems, lblContainer, lblRecordPlace})
    label->clear();
  Strip->SetSectors({});
}

void TNavigatorPane::SetWorkbook(TNavigatorInput input)
{
  Reset();
  FPending = std::move(input);
  if (isVisible())
    FStartTimer->start();
}

bool TNavigatorPane::eventFilter(QObject* watched, QEvent* event)
{
  // Half each, whatever the lists' size hints say, until the user moves
  // the border.
  const int length = Splitter->orientation() == Qt::Vertical ? Splitter->height() : Splitter->width();
  if (watched == Splitter && event->type() == QEvent::Resize && !FSplit && length > 0) {
    const int room = length - Splitter->handleWidth();
    Splitter->setSizes({room / 2, room - room / 2});
  }
  return QWidget::eventFilter(watched, event);
}

void TNavigatorPane::showEvent(QShowEvent* event)
{
  QWidget::showEvent(event);
  if (FPending)
    FStartTimer->start();
}

void TNavigatorPane::Start()
{
  if (!FPending)
    return;
  auto input = std::make_shared<TNavigatorInput>(std::move(*FPending));
  FPending.reset();
  tvOutline->clear();
  lblProblems->setText(Text(kProblemsWorking));
  // The worker reads only the workbook it was given, which stays unchanged
  // until Reset.
  FWorker.Run([this, input, post = FWorker.Poster(this)] {
    ComputeNavigation(*input->Workbook, {input->FileName, input->Compound}, FWorker.Cancel(),
                      [this, &post](std::shared_ptr<TNavigationStage> result) {
                        post([this, result] { Deliver(result); });
                      });
  });
}

void TNavigatorPane::Deliver(const std::shared_ptr<TNavigationStage>& result)
{
  switch (result->Kind) {
  case TNavigationStage::TKind::nsOutline:
    FOutline = std::move(result->Outline);
    ShowOutline();
    ShowTypes(result->Types);
    break;
  case TNavigationStage::TKind::nsContainer:
    FMap = std::move(result->Map);
    FWorkbookEntry = FMap ? WorkbookEntry(*FMap) : kNoEntry;
    ShowContainer();
    break;
  case TNavigationStage::TKind::nsProblems:
    FFindings = std::move(result->Findings);
    ShowProblems(result->Stopped);
    FReady = true;
    FWorker.Finish();  // its last hand-over: it is ending
    break;
  }
}

void TNavigatorPane::ShowOutline()
{
  tvOutline->clear();
  std::vector<QTreeWidgetItem*> items;
  items.reserve(FOutline.size());
  for (const TOutlineNode& node : FOutline) {
    QTreeWidgetItem* parent = node.Parent >= 0 ? items[static_cast<std::size_t>(node.Parent)] : nullptr;
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvOutline);
    QString title = node.Kind == TOutlineNode::TKind::okSubstream ? Text(SubstreamKindName(node.Type))
                                                                   : Text(RecordDisplayName(node.Type));
    if (!node.Name.empty())
      title = Text(kOutlineNamed).arg(title, QString::fromStdString(node.Name));
    // Hidden sheets are marked: the workbook's user does not see them.
    if ((node.Visibility & 0x03) == 1)
      title = Text(kOutlineHidden).arg(title);
    else if ((node.Visibility & 0x03) != 0)
      title = Text(kOutlineVeryHidden).arg(title);
    if ((node.Visibility & 0x03) != 0)
      item->setForeground(0, Qt::darkGray);
    item->setText(0, title);
    SetNumber(item, 1, node.End - node.First);
    SetNumber(item, 2, node.First + 1);
    item->setData(0, kRecordRole, static_cast<int>(node.First));
    items.push_back(item);
  }
  // The substreams open; chart blocks stay folded.
  for (int i = 0; i < tvOutline->topLevelItemCount(); ++i)
    tvOutline->topLevelItem(i)->setExpanded(true);
}

void TNavigatorPane::ShowTypes(const std::vector<TRecordTypeCount>& types)
{
  tvTypes->setSortingEnabled(false);
  tvTypes->clear();
  QList<QTreeWidgetItem*> items;
  for (const TRecordTypeCount& type : types) {
    auto* item = new TNumberItem;
    item->setText(0, QString::fromStdString(RecordCodeText(type.Code)));
    item->setData(0, Qt::UserRole + 2, QVariant::fromValue<qulonglong>(type.Code));
    item->setData(0, kCodeRole, type.Code);
    item->setText(1, Text(RecordDisplayName(type.Code)));
    SetNumber(item, 2, type.Count);
    SetNumber(item, 3, type.Bytes);
    items.push_back(item);
  }
  tvTypes->addTopLevelItems(items);
  tvTypes->setSortingEnabled(true);
  tvTypes->sortByColumn(2, Qt::DescendingOrder);
}

void TNavigatorPane::ShowProblems(const std::string& stopped)
{
  tvProblems->clear();
  int counts[3] = {0, 0, 0};
  QList<QTreeWidgetItem*> items;
  for (const TLintFinding& finding : FFindings) {
    auto* item = new QTreeWidgetItem;
    ++counts[static_cast<int>(finding.Severity)];
    item->setText(0, Text(LintSeverityName(finding.Severity)));
    item->setText(1, QString::fromStdString(finding.Check));
    if (finding.Record) {
      SetNumber(item, 2, *finding.Record);
      item->setData(0, kRecordRole, static_cast<int>(*finding.Record - 1));
    }
    item->setText(3, QString::fromStdString(finding.Message));
    item->setToolTip(3, item->text(3));
    items.push_back(item);
  }
  tvProblems->addTopLevelItems(items);
  // The check column fits the longest check named, never cutting an ID.
  std::set<std::string> checks;
  for (const TLintFinding& finding : FFindings)
    checks.insert(finding.Check);
  const QFontMetrics metrics = tvProblems->fontMetrics();
  int checkWidth = metrics.horizontalAdvance(QStringLiteral("duplicate-cell"));
  for (const std::string& check : checks)
    checkWidth = std::max(checkWidth, metrics.horizontalAdvance(QString::fromStdString(check)));
  tvProblems->header()->resizeSection(1, checkWidth + kCheckColumnPadding);
  QString status = FFindings.empty() ? Text(kProblemsNone)
                                     : ProblemsCountText(static_cast<std::uint64_t>(counts[0]), static_cast<std::uint64_t>(counts[1]),
                                                                         static_cast<std::uint64_t>(counts[2]));
  if (!stopped.empty())
    status += QLatin1Char(' ') + Text(kProblemsStopped).arg(QString::fromStdString(stopped));
  lblProblems->setText(status);
}

void TNavigatorPane::ShowContainer()
{
  tvEntries->clear();
  tvSectors->clear();
  if (!FMap) {
    lblContainer->setText(Text(kContainerNone));
    Strip->SetSectors({});
    return;
  }
  const TCompoundMap& map = *FMap;
  if (!map.Valid) {
    lblContainer->setText(Text(kContainerInvalid));
    Strip->SetSectors({});
    return;
  }
  lblContainer->setText(
      ContainerSummaryText(map.MajorVersion, static_cast<int>(map.SectorSize), map.Sectors.size(), map.Problems.size()));
  Strip->SetSectors(map.Sectors);
  QList<QTreeWidgetItem*> entries;
  for (const TCompoundEntry& entry : map.Entries) {
    auto* item = new QTreeWidgetItem;
    SetNumber(item, 0, entry.Id);
    item->setText(1, EntryNameText(entry.Name));
    item->setText(2, Text(EntryTypeText(entry.Type)));
    SetNumber(item, 3, entry.Size);
    item->setText(4, LinkText(entry.Start));
    item->setText(5, Text(entry.InMiniStream ? kYes : kNo));
    item->setText(6, ClsidText(entry.Clsid));
    item->setText(7, Text(entry.Color == 1 ? kColourBlack : kColourRed));
    item->setText(8, LinkText(entry.Left));
    item->setText(9, LinkText(entry.Right));
    item->setText(10, LinkText(entry.Child));
    entries.push_back(item);
  }
  tvEntries->addTopLevelItems(entries);
  // Runs of neighbouring sectors that hold the same thing, one row each.
  QList<QTreeWidgetItem*> runs;
  const auto& sectors = map.Sectors;
  for (std::size_t first = 0; first < sectors.size();) {
    const TCompoundSector& s = sectors[first];
    std::size_t end = first + 1;
    while (end < sectors.size() && sectors[end].Use == s.Use && sectors[end].Owner == s.Owner &&
           sectors[end].Claimed == s.Claimed && sectors[end - 1].Slack == 0)
      ++end;
    auto* item = new QTreeWidgetItem;
    item->setText(0, end - first == 1 ? QString::number(first)
                                      : QString::number(first) + QLatin1Char('-') + QString::number(end - 1));
    SetNumber(item, 1, end - first);
    QString use = Text(SectorUseText(s.Use));
    if (s.Claimed)
      use += QStringLiteral(", ") + Text(kSectorClaimedTwice);
    item->setText(2, use);
    if ((s.Use == TSectorUse::suStream || s.Use == TSectorUse::suMiniStream) && s.Owner < map.Entries.size())
      item->setText(3, EntryNameText(map.Entries[s.Owner].Name));
    if (sectors[end - 1].Slack > 0)
      SetNumber(item, 4, sectors[end - 1].Slack);
    runs.push_back(item);
    first = end;
  }
  tvSectors->addTopLevelItems(runs);
  if (FPlaceRecord >= 0)
    ShowRecordPlace(FPlaceRecord, FPlaceOffset, FPlaceBytes);
}

void TNavigatorPane::ShowRecordPlace(int record, std::uint64_t offset, std::uint64_t bytes)
{
  FPlaceRecord = record;
  FPlaceOffset = offset;
  FPlaceBytes = bytes;
  Strip->SetMarked({});
  if (!FMap || !FMap->Valid || record < 0) {
    lblRecordPlace->clear();
    return;
  }
  const auto runs = FWorkbookEntry == kNoEntry ? decltype(FMap->FileRuns(0, 0, 0)){}
                                               : FMap->FileRuns(FWorkbookEntry, offset, bytes);
  if (runs.empty()) {
    lblRecordPlace->setText(Text(kContainerRecordNoPlace).arg(record + 1));
    return;
  }
  QStringList parts;
  std::vector<std::pair<std::size_t, std::size_t>> marked;
  for (const auto& [at, length] : runs) {
    // Sector n starts at byte (n + 1) * size: the header takes the first.
    // Neighbouring sectors of the chain make one run.
    const std::uint64_t size = std::max<std::uint64_t>(FMap->SectorSize, 1);
    const std::uint64_t first = at / size - 1;
    const std::uint64_t last = (at + length - 1) / size - 1;
    marked.emplace_back(static_cast<std::size_t>(first), static_cast<std::size_t>(last));
    parts << (first == last ? Text(kContainerRun).arg(HexOffset(at), HexOffset(at + length - 1)).arg(first)
                            : Text(kContainerRunSectors)
                                  .arg(HexOffset(at), HexOffset(at + length - 1))
                                  .arg(first)
                                  .arg(last));
  }
  lblRecordPlace->setText(Text(kContainerRecordPlace).arg(record + 1).arg(parts.join(QStringLiteral(", "))));
  Strip->SetMarked(std::move(marked));
}

void TNavigatorPane::SelectEntry(const std::string& path)
{
  pcBottom->setCurrentIndex(1);
  if (!FMap)
    return;
  // The path's names from the root, each looked for among the children of
  // the one before.
  std::uint32_t storage = 0;
  std::optional<std::uint32_t> found;
  std::size_t at = 0;
  while (at <= path.size()) {
    const std::size_t slash = std::min(path.find('/', at), path.size());
    const std::string name = path.substr(at, slash - at);
    found.reset();
    for (const std::uint32_t id : FMap->Children(storage))
      if (id < FMap->Entries.size() && CompoundNamesEqual(FMap->Entries[id].Name, name)) {
        found = id;
        break;
      }
    if (!found)
      return;
    storage = *found;
    at = slash + 1;
  }
  for (int i = 0; i < tvEntries->topLevelItemCount(); ++i)
    if (tvEntries->topLevelItem(i)->text(0).toUInt() == *found) {
      tvEntries->setCurrentItem(tvEntries->topLevelItem(i));
      tvEntries->scrollToItem(tvEntries->currentItem());
      return;
    }
}
