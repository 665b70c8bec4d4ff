#include "ui/MacrosPane.h"

#include "platform/FileReader.h"
#include "ui/UiMessages.h"
#include "ui/UiTexts.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <QAction>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>


namespace {

// A container is read whole for its VBA project; no workbook is larger.
constexpr std::size_t kMostFileBytes = std::size_t{4} << 30;
// Roles of a finding's data: the record it leads to, or its stream.
constexpr int kRecordRole = Qt::UserRole;
constexpr int kStreamRole = Qt::UserRole + 1;
constexpr int kModuleRole = Qt::UserRole + 2;
constexpr int kMarginPadding = 6;

QString Text(const char* text)
{
  return QString::fromLatin1(text);
}

QString Utf8(const std::string& text)
{
  return QString::fromStdString(text);
}

QTreeWidget* MakeList(QWidget* parent, const char* columns, bool tree)
{
  auto* list = new QTreeWidget(parent);
  list->setHeaderLabels(Text(columns).split(QLatin1Char(';')));
  list->setRootIsDecorated(tree);
  list->setUniformRowHeights(true);
  list->setAlternatingRowColors(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->header()->setStretchLastSection(true);
  list->setMinimumHeight(3 * list->fontMetrics().height());
  return list;
}

/// A finding's row: its texts, and where it leads.
QTreeWidgetItem* Row(QTreeWidgetItem* parent, const QString& kind, const QString& name, const QString& detail,
                     const TMacroPlace& place)
{
  auto* item = new QTreeWidgetItem(parent);
  item->setText(0, kind);
  item->setText(1, name);
  item->setText(2, detail);
  item->setToolTip(2, detail);
  if (place.Record) {
    item->setText(3, Text(kMacrosRecord).arg(*place.Record));
    item->setData(0, kRecordRole, static_cast<int>(*place.Record - 1));
  } else if (!place.Stream.empty()) {
    item->setText(3, Utf8(place.Stream));
    item->setData(0, kStreamRole, Utf8(place.Stream));
  }
  return item;
}

QTreeWidgetItem* Group(QTreeWidget* list, const char* title, std::size_t count)
{
  auto* item = new QTreeWidgetItem(list);
  item->setText(0, Text(kMacrosGroupCount).arg(Text(title)).arg(count));
  item->setFirstColumnSpanned(true);
  QFont font = item->font(0);
  font.setBold(true);
  item->setFont(0, font);
  return item;
}

std::size_t LineCount(const std::string& source)
{
  std::size_t lines = 0;
  for (std::size_t i = 0; i < source.size(); ++i)
    if (source[i] == '\n' || (source[i] == '\r' && (i + 1 == source.size() || source[i + 1] != '\n')))
      ++lines;
  return lines + (!source.empty() && source.back() != '\n' && source.back() != '\r' ? 1 : 0);
}

// The margin that paints the code view's line numbers.
class TNumberMargin : public QWidget {
public:
  explicit TNumberMargin(TCodeView* view) : QWidget(view), FView(view) {}
  QSize sizeHint() const override { return {FView->NumberWidth(), 0}; }

protected:
  void paintEvent(QPaintEvent* event) override { FView->PaintNumbers(event); }

private:
  TCodeView* FView;
};

}  // namespace

TCodeView::TCodeView(QWidget* parent) : QPlainTextEdit(parent), FMargin(new TNumberMargin(this))
{
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // The selection stays visible while the find box has the focus.
  QPalette palette = this->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(palette);
  connect(this, &QPlainTextEdit::blockCountChanged, this, [this](int) { UpdateMargin(); });
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
    if (dy != 0)
      FMargin->scroll(0, dy);
    else
      FMargin->update(0, rect.y(), FMargin->width(), rect.height());
  });
  UpdateMargin();
}

int TCodeView::NumberWidth() const
{
  int digits = 1;
  for (int lines = std::max(1, blockCount()); lines >= 10; lines /= 10)
    ++digits;
  return kMarginPadding * 2 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(digits, 3);
}

void TCodeView::UpdateMargin()
{
  setViewportMargins(NumberWidth(), 0, 0, 0);
  FMargin->update();
}

void TCodeView::resizeEvent(QResizeEvent* event)
{
  QPlainTextEdit::resizeEvent(event);
  const QRect area = contentsRect();
  FMargin->setGeometry(QRect(area.left(), area.top(), NumberWidth(), area.height()));
}

void TCodeView::PaintNumbers(QPaintEvent* event)
{
  QPainter painter(FMargin);
  painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
  painter.setPen(palette().color(QPalette::PlaceholderText));
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  const int height = fontMetrics().height();
  while (block.isValid() && top <= event->rect().bottom()) {
    if (block.isVisible() && top + height >= event->rect().top())
      painter.drawText(0, top, FMargin->width() - kMarginPadding, height, Qt::AlignRight,
                       QString::number(block.blockNumber() + 1));
    top += qRound(blockBoundingRect(block).height());
    block = block.next();
  }
}

TMacrosPane::TMacrosPane(QWidget* parent) : QWidget(parent)
{
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  lblSummary = new QLabel(this);
  lblSummary->setWordWrap(true);
  layout->addWidget(lblSummary);
  Splitter = new QSplitter(Qt::Vertical, this);
  Splitter->setChildrenCollapsible(false);
  layout->addWidget(Splitter, 1);

  SplitterCode = new QSplitter(Qt::Horizontal, Splitter);
  SplitterCode->setChildrenCollapsible(false);
  tvModules = MakeList(SplitterCode, kModulesColumns, false);
  tvModules->header()->resizeSection(0, tvModules->fontMetrics().horizontalAdvance(QStringLiteral("ThisWorkbook___")));
  tvModules->header()->resizeSection(1, tvModules->fontMetrics().horizontalAdvance(QStringLiteral("document__")));
  SplitterCode->addWidget(tvModules);
  auto* codeHolder = new QWidget(SplitterCode);
  auto* codeLayout = new QVBoxLayout(codeHolder);
  codeLayout->setContentsMargins(0, 0, 0, 0);
  codeLayout->setSpacing(2);
  auto* findLayout = new QHBoxLayout;
  edFind = new QLineEdit(codeHolder);
  edFind->setPlaceholderText(Text(kMacrosFindPlaceholder));
  edFind->setClearButtonEnabled(true);
  findLayout->addWidget(edFind, 1);
  lblFind = new QLabel(codeHolder);
  findLayout->addWidget(lblFind, 1);
  codeLayout->addLayout(findLayout);
  Code = new TCodeView(codeHolder);
  codeLayout->addWidget(Code, 1);
  SplitterCode->addWidget(codeHolder);
  SplitterCode->setStretchFactor(0, 0);
  SplitterCode->setStretchFactor(1, 1);
  Splitter->addWidget(SplitterCode);

  tvFindings = MakeList(Splitter, kFindingsColumns, true);
  const QFontMetrics metrics = tvFindings->fontMetrics();
  tvFindings->header()->resizeSection(0, metrics.horizontalAdvance(QStringLiteral("Macro sheets (000)____")));
  tvFindings->header()->resizeSection(1, metrics.horizontalAdvance(QStringLiteral("Workbook_BeforeClose__")));
  tvFindings->header()->resizeSection(2, metrics.horizontalAdvance(QStringLiteral("M")) * 40);
  Splitter->addWidget(tvFindings);
  Splitter->setStretchFactor(0, 3);
  Splitter->setStretchFactor(1, 2);

  actFind = new QAction(this);
  actFind->setShortcut(QKeySequence::Find);
  actFind->setShortcutContext(Qt::WindowShortcut);
  connect(actFind, &QAction::triggered, this, [this] {
    edFind->setFocus(Qt::ShortcutFocusReason);
    edFind->selectAll();
  });
  actFindNext = new QAction(this);
  actFindNext->setShortcut(QKeySequence(Qt::Key_F3));
  connect(actFindNext, &QAction::triggered, this, [this] { FindNext(edFind->text()); });
  addAction(actFind);
  addAction(actFindNext);
  actFind->setEnabled(false);
  actFindNext->setEnabled(false);
  connect(edFind, &QLineEdit::returnPressed, this, [this] { FindNext(edFind->text()); });

  connect(tvModules, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
    if (item != nullptr)
      ShowModule(item->data(0, kModuleRole).toInt());
  });
  connect(tvFindings, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) { Leads(item); });
  connect(tvFindings, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) { Leads(item); });
  connect(tvFindings, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
    // A trigger of a VBA procedure shows its line.
    if (item == nullptr)
      return;
    const QVariant module = item->data(0, kModuleRole);
    if (!module.isValid())
      return;
    ShowModule(module.toInt() >> 16);
    const QTextBlock line = Code->document()->findBlockByNumber((module.toInt() & 0xFFFF) - 1);
    if (line.isValid()) {
      QTextCursor cursor(line);
      cursor.select(QTextCursor::LineUnderCursor);
      Code->setTextCursor(cursor);
      Code->centerCursor();
    }
  });
}

TMacrosPane::~TMacrosPane()
{
  FWorker.Stop();
}

void TMacrosPane::Reset()
{
  FWorker.Stop();
  FPending.reset();
  FReady = false;
  FReport = {};
  tvModules->clear();
  tvFindings->clear();
  Code->clear();
  lblSummary->clear();
  lblFind->clear();
}

void TMacrosPane::SetWorkbook(TMacrosInput input)
{
  Reset();
  FPending = std::move(input);
  if (isVisible())
    Start();
}

void TMacrosPane::showEvent(QShowEvent* event)
{
  QWidget::showEvent(event);
  if (FPending)
    Start();
}

void TMacrosPane::Start()
{
  if (!FPending)
    return;
  auto input = std::make_shared<TMacrosInput>(std::move(*FPending));
  FPending.reset();
  lblSummary->setText(Text(kMacrosWorking));
  // The worker reads the workbook it was given, which stays unchanged until
  // Reset.
  FWorker.Run([this, input, post = FWorker.Poster(this)] {
    TSharedBytes file;
    if (input->Compound && !ReadWholeStream(input->FileName, kMostFileBytes, file))
      file = {};
    TMacroOptions options;
    options.Cancel = &FWorker.Cancel();
    auto report = std::make_shared<TMacroReport>(FindMacros(*input->Workbook, file, options));
    if (report->Cancelled)
      return;
    post([this, report] { Deliver(report); });
  });
}

void TMacrosPane::Deliver(const std::shared_ptr<TMacroReport>& report)
{
  FWorker.Finish();  // its only hand-over: it is ending
  FReport = std::move(*report);
  ShowReport();
  FReady = true;
  if (OnReady)
    OnReady(*this);
}

void TMacrosPane::ShowReport()
{
  tvModules->clear();
  tvFindings->clear();
  const TMacroReport& report = FReport;
  std::size_t formulas = 0;
  for (const TMacroSheet& sheet : report.MacroSheets)
    formulas += sheet.Cells.size();
  lblSummary->setText(report.Count() == 0 && report.Notes.empty()
                          ? Text(kMacrosNone)
                          : MacrosSummaryText(report.Vba.Modules.size(), report.MacroSheets.size(), formulas,
                                              report.Triggers.size(), report.Hidden.size(), report.Links.size(),
                                              report.Objects.size()));

  for (std::size_t i = 0; i < report.Vba.Modules.size(); ++i) {
    const TVbaModule& module = report.Vba.Modules[i];
    auto* item = new QTreeWidgetItem(tvModules);
    item->setText(0, Utf8(module.Name));
    item->setText(1, Text(VbaModuleTypeText(module.Type)));
    item->setText(2, QString::number(LineCount(module.Source)));
    item->setData(0, kModuleRole, static_cast<int>(i));
    QString tip = Utf8(module.StreamPath);
    if (module.Stomped)
      tip += QLatin1Char('\n') + Text(kMacrosStomped);
    if (!module.Error.empty())
      tip += QLatin1Char('\n') + Utf8(module.Error);
    item->setToolTip(0, tip);
    if (module.Stomped || !module.Error.empty())
      item->setForeground(0, Qt::darkRed);
  }

  if (!report.MacroSheets.empty()) {
    QTreeWidgetItem* group = Group(tvFindings, kMacrosGroupSheets, report.MacroSheets.size());
    for (const TMacroSheet& sheet : report.MacroSheets) {
      const QString name = sheet.Name.empty() ? Text(kMacrosSheetUnnamed) : Utf8(sheet.Name);
      QTreeWidgetItem* item = Row(group, Text(kMacrosKindSheet), name,
                                  sheet.International ? Text(kMacrosInternational) : QString(), sheet.Place);
      for (const TXlmCell& cell : sheet.Cells) {
        QTreeWidgetItem* row = Row(item, Text(kMacrosKindCell), Utf8(cell.Cell),
                                   cell.Error.empty() ? QLatin1Char('=') + Utf8(cell.Formula) : Utf8(cell.Error), cell.Place);
        if (!cell.Error.empty())
          row->setForeground(2, Qt::darkRed);
      }
      item->setExpanded(true);
    }
    group->setExpanded(true);
  }
  if (!report.Triggers.empty()) {
    QTreeWidgetItem* group = Group(tvFindings, kMacrosGroupTriggers, report.Triggers.size());
    for (const TMacroTrigger& trigger : report.Triggers) {
      const QString where = trigger.Line > 0 ? Text(kMacrosLine).arg(Utf8(trigger.Where)).arg(trigger.Line)
                                             : Utf8(trigger.Where);
      QTreeWidgetItem* row = Row(group, Text(kMacrosKindTrigger), Utf8(trigger.Name), where, trigger.Place);
      for (std::size_t i = 0; i < report.Vba.Modules.size() && trigger.Line > 0; ++i)
        if (report.Vba.Modules[i].StreamPath == trigger.Place.Stream)
          row->setData(0, kModuleRole, static_cast<int>(i << 16 | (trigger.Line & 0xFFFF)));
    }
    group->setExpanded(true);
  }
  if (!report.Hidden.empty()) {
    QTreeWidgetItem* group = Group(tvFindings, kMacrosGroupHidden, report.Hidden.size());
    for (const THiddenPart& hidden : report.Hidden) {
      QString detail = Text(HiddenStateText(hidden.State));
      if (!hidden.Note.empty())
        detail += QStringLiteral(": ") + Utf8(hidden.Note);
      Row(group, hidden.IsName ? Text(kMacrosKindHiddenName) : Text(kMacrosKindHiddenSheet), Utf8(hidden.Name), detail,
          hidden.Place);
    }
    group->setExpanded(true);
  }
  if (!report.Links.empty()) {
    QTreeWidgetItem* group = Group(tvFindings, kMacrosGroupLinks, report.Links.size());
    for (const TExternalLink& link : report.Links)
      Row(group, Text(LinkTypeText(link.Type)), Utf8(link.Target), QString(), link.Place);
    group->setExpanded(true);
  }
  if (!report.Objects.empty()) {
    QTreeWidgetItem* group = Group(tvFindings, kMacrosGroupObjects, report.Objects.size());
    for (const TEmbeddedObject& object : report.Objects) {
      QStringList detail;
      if (!object.ClassName.empty())
        detail << Utf8(object.ClassName);
      if (!object.Clsid.empty())
        detail << Utf8(object.Clsid);
      detail << (object.Found ? Text(kMacrosBytes).arg(object.Size) : Text(kMacrosObjectMissing));
      QTreeWidgetItem* row = Row(group, Text(kMacrosKindObject), Utf8(object.Place.Stream),
                                 detail.join(QStringLiteral(", ")), object.Place);
      if (object.Found)
        row->setData(0, kStreamRole, Utf8(object.Place.Stream));
    }
    group->setExpanded(true);
  }
  std::vector<std::string> notes = report.Notes;
  for (const TVbaProblem& problem : report.Vba.Errors)
    notes.push_back(problem.Stream + ": " + problem.Message);
  if (!notes.empty()) {
    QTreeWidgetItem* group = Group(tvFindings, kMacrosGroupNotes, notes.size());
    for (const std::string& note : notes) {
      auto* item = new QTreeWidgetItem(group);
      item->setText(0, Utf8(note));
      item->setFirstColumnSpanned(true);
    }
    group->setExpanded(true);
  }
  if (tvModules->topLevelItemCount() > 0)
    tvModules->setCurrentItem(tvModules->topLevelItem(0));
}

void TMacrosPane::ShowModule(int index)
{
  if (index < 0 || static_cast<std::size_t>(index) >= FReport.Vba.Modules.size())
    return;
  const TVbaModule& module = FReport.Vba.Modules[static_cast<std::size_t>(index)];
  // The module keeps its stored line ends (CR LF, LF or CR); the view
  // shows lines.
  QString text = Utf8(module.Source);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  Code->setPlainText(text);
  lblFind->clear();
  if (QTreeWidgetItem* item = tvModules->topLevelItem(index); item != nullptr && tvModules->currentItem() != item) {
    const QSignalBlocker quiet(tvModules);
    tvModules->setCurrentItem(item);
  }
}

bool TMacrosPane::FindNext(const QString& text)
{
  lblFind->clear();
  if (text.isEmpty())
    return false;
  if (Code->find(text))
    return true;
  // Round from the start.
  const QTextCursor before = Code->textCursor();
  Code->moveCursor(QTextCursor::Start);
  if (Code->find(text)) {
    lblFind->setText(Text(kMacrosFindWrapped));
    return true;
  }
  Code->setTextCursor(before);
  lblFind->setText(Text(kMacrosFindNotFound).arg(text));
  return false;
}

void TMacrosPane::Leads(QTreeWidgetItem* item)
{
  if (item == nullptr)
    return;
  const QVariant record = item->data(0, kRecordRole);
  if (record.isValid()) {
    if (OnSelectRecord)
      OnSelectRecord(*this, record.toInt());
    return;
  }
  const QVariant stream = item->data(0, kStreamRole);
  if (stream.isValid() && OnSelectStream)
    OnSelectStream(*this, stream.toString().toStdString());
}
