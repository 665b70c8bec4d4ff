#include "ui/MainWindow.h"

#include "export/CsvExport.h"
#include "hexdump/HexDump.h"
#include "platform/ErrorText.h"
#include "platform/Errors.h"
#include "ui/AboutBox.h"
#include "ui/CompareMessages.h"
#include "ui/CompareWindow.h"
#include "ui/Identity.h"
#include "ui/LinkLabel.h"
#include "ui/MacrosPane.h"
#include "ui/NavigatorPane.h"
#include "ui/PaneFocusFrame.h"
#include "ui/PasswordDialog.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordFilterModel.h"
#include "ui/RecordInspector.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/RecordNavigator.h"
#include "ui/UiMessages.h"
#include "ui/UiTexts.h"
#include "xls/MSExcel.h"
#include "xls/RecordCodes.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>
#include <system_error>

namespace {

// The wait cursor, set for exactly as long as the guard lives.
struct TWaitCursor {
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

constexpr int kRecordColumnWidths[] = {50, 80, 80, 220, 120, 90};
// The Fields pane's narrowest width at the first layout.
constexpr int kMinimumFieldsWidth = 200;
// The Fields pane's rows at the first layout: a row's height is the font's
// and the padding, the slack covers the spacing between heading and tree.
constexpr int kFieldsRows = 15;
constexpr int kFieldRowPadding = 4;
constexpr int kFieldsSlack = 8;
// The navigation pane's lowest height at the first layout.
constexpr int kMinimumNavigationHeight = 120;
// The arrow cursor over the wait cursor while a dialog asks something in
// the middle of a load.
struct TArrowCursor {
  TArrowCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
  ~TArrowCursor() { QApplication::restoreOverrideCursor(); }
  TArrowCursor(const TArrowCursor&) = delete;
  TArrowCursor& operator=(const TArrowCursor&) = delete;
};

// Room on either side of each status bar item, so they read apart.
constexpr int kStatusItemMargin = 6;

// The local file a drop brings, or nothing.
QString DroppedFile(const QMimeData* data)
{
  if (data == nullptr || !data->hasUrls() || data->urls().isEmpty())
    return {};
  const QUrl url = data->urls().first();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

// Outside the unnamed namespace: the resource initialiser it declares lives
// in the global one. Resources of a static library are registered by hand, once.
static void InitResources()
{
  static const bool registered = [] {
    Q_INIT_RESOURCE(bifflens);
    return true;
  }();
  (void)registered;
}

// Keeps the record list's change handler off the list while it is emptied
// and refilled, and puts it back on every exit path.
class TfrmMain::TDetachedChangeHandler {
public:
  explicit TDetachedChangeHandler(TfrmMain& form) : FForm(form) { FForm.DetachRecordsChange(); }
  ~TDetachedChangeHandler() { FForm.AttachRecordsChange(); }
  TDetachedChangeHandler(const TDetachedChangeHandler&) = delete;
  TDetachedChangeHandler& operator=(const TDetachedChangeHandler&) = delete;

private:
  TfrmMain& FForm;
};

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent), FExcel(std::make_unique<TMSExcel>()),
      FWorkbook(std::make_unique<TOpenedWorkbook>(*FExcel, TOpenedWorkbook::TKeep::kpRecords)),
      FRecords(new TRecordListModel(FWorkbook->Records(), this)),
      FShown(new TRecordFilterModel(*FRecords, this))
{
  InitResources();
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromLatin1(kProductName));
  // The installed application icon where the desktop's theme has it.
  setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kIconName), QIcon(QString::fromLatin1(kOpenIconResource))));
  // Window managers maximise a window whatever its hints say: it is offered
  // and works (the pages follow the window's size).
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  setAcceptDrops(true);
  ErrorPresenter = [this](QWidget* parentWidget, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parentWidget);
    box.setInformativeText(FErrorInformation);
    box.setDetailedText(FErrorDetails);
    box.exec();
  };
  PasswordPrompter = &TfrmPassword::Ask;
  Clock = [] {
    static QElapsedTimer since;
    if (!since.isValid())
      since.start();
    return since.elapsed();
  };

  BuildMenus();
  BuildToolStrip();
  BuildStatusBar();
  FClient = new QWidget(this);
  setCentralWidget(FClient);
  FClient->installEventFilter(this);

  imgLogo = new QLabel(FClient);
  imgLogo->setPixmap(QPixmap(QString::fromLatin1(kLogoResource)));
  imgLogo->setGeometry(5, 41 - kToolStripHeight, kLogoWidth, kLogoHeight);

  lblTarvex = new TLinkLabel(QString::fromLatin1(kHomePageLabelText), FClient);
  lblTarvex->setGeometry(0, 296 - kToolStripHeight, 107, 49);
  lblTarvex->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  lblTarvex->setWordWrap(true);
  lblTarvex->setToolTip(QString::fromLatin1(kHintHomePageLabel));
  connect(lblTarvex, &TLinkLabel::clicked, this, [] { UrlOpener()(kHomePageUrl); });

  BuildPages(FClient);

  // An encrypted workbook's password, asked until it opens or the user
  // gives up (the records are then listed as stored).
  FExcel->OnPassword = [this](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
    const TArrowCursor arrow;
    // The time the user spends at the dialog is no time spent reading.
    const qint64 asked = Clock();
    cancel = !PasswordPrompter ||
             !PasswordPrompter(this, QString::fromStdString(request.Description), request.Refused > 0, password);
    FPromptMilliseconds += Clock() - asked;
  };

  resize(kDefaultWidth, kDefaultHeight);
  RestoreSettings();
}

TfrmMain::~TfrmMain()
{
  // The dump must not outlive the bytes it points into, nor call the
  // Fields pane, which may go first.
  Dump->OnByteClick = nullptr;
  Dump->SetData({});
  // The focus moves as the panes go: the frame must not follow it into one
  // being destroyed.
  FocusFrame->SetPanes({});
  // The navigation pane's and the Macros tab's workers read the list's
  // offsets: they stop before the list goes.
  Pane->Reset();
  Macros->Reset();
}

void TfrmMain::BuildMenus()
{
  const auto text = [](const char* t) { return QString::fromLatin1(t); };
  mnuFile = menuBar()->addMenu(text(kMenuFile));
  actOpen = mnuFile->addAction(text(kMenuOpen), this, &TfrmMain::OpenClick);
  actOpen->setShortcut(QKeySequence::Open);
  mnuRecent = mnuFile->addMenu(text(kMenuOpenRecent));
  actClearRecent = new QAction(text(kMenuClearRecent), this);
  connect(actClearRecent, &QAction::triggered, this, [this] {
    FSettings.SetRecentFiles({});
    UpdateRecentMenu();
  });
  actExportCsv = mnuFile->addAction(text(kMenuExportCsv), this, &TfrmMain::ExportCsvClick);
  actExportCsv->setEnabled(false);  // until a sheet is shown
  actCompare = mnuFile->addAction(text(kMenuCompareWith), this, [this] { CompareWithDialog(*this, FCurrentFile); });
  mnuFile->addSeparator();
  actQuit = mnuFile->addAction(text(kMenuQuit), this, &QWidget::close);
  actQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  actQuit->setMenuRole(QAction::QuitRole);

  mnuEdit = menuBar()->addMenu(text(kMenuEdit));
  actCopy = mnuEdit->addAction(text(kMenuCopy), this, &TfrmMain::CopyClick);
  actCopy->setShortcut(QKeySequence::Copy);

  mnuView = menuBar()->addMenu(text(kMenuView));
  actViewPreview = mnuView->addAction(text(kMenuViewPreview), this, [this] { pcXLS->setCurrentIndex(0); });
  actViewPreview->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
  actViewRecords = mnuView->addAction(text(kMenuViewRecords), this, [this] { pcXLS->setCurrentIndex(1); });
  actViewRecords->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));
  actViewMacros = mnuView->addAction(text(kMenuViewMacros), this, [this] { pcXLS->setCurrentIndex(2); });
  actViewMacros->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_3));
  mnuView->addSeparator();
  // Back along the links followed in the Fields pane.
  actBack = mnuView->addAction(text(kMenuBack), this, [this] {
    if (pcXLS->currentIndex() == 1)
      Fields->Back();
  });
  actBack->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
  actShowRecord = mnuView->addAction(text(kMenuShowRecord), this, &TfrmMain::ShowRecordOfCell);
  actShowRecord->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  actViewStoredBytes = mnuView->addAction(text(kMenuViewStoredBytes));
  actViewStoredBytes->setCheckable(true);
  actViewStoredBytes->setEnabled(false);
  connect(actViewStoredBytes, &QAction::toggled, this, [this](bool stored) {
    Fields->SetStoredStream(stored ? FStoredStream : TSharedBytes());
    if (const int record = Navigator->CurrentRecord(); record >= 0)
      lvRecordsChange(record);
  });
  actShowFormulas = mnuView->addAction(text(kMenuShowFormulas));
  actShowFormulas->setCheckable(true);
  actShowFormulas->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_QuoteLeft));
  connect(actShowFormulas, &QAction::toggled, this, [this](bool show) { sgXLS->SetShowFormulas(show); });
  actShowAllRows = mnuView->addAction(text(kMenuShowAllRows));
  actShowAllRows->setCheckable(true);
  // As in spreadsheet programs; the page keys alone stay the list's.
  actNextSheet = mnuView->addAction(text(kMenuNextSheet), this, [this] { StepSheet(1); });
  actNextSheet->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
  actPreviousSheet = mnuView->addAction(text(kMenuPreviousSheet), this, [this] { StepSheet(-1); });
  actPreviousSheet->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));

  mnuHelp = menuBar()->addMenu(text(kMenuHelp));
  actAbout = mnuHelp->addAction(text(kMenuAbout), this, &TfrmMain::btnAboutClick);
  actAbout->setShortcut(QKeySequence(Qt::Key_F1));
  actAbout->setMenuRole(QAction::AboutRole);
}

void TfrmMain::BuildStatusBar()
{
  QStatusBar* bar = statusBar();
  const auto label = [bar](bool permanent, int stretch = 0) {
    auto* l = new QLabel(bar);
    l->setTextFormat(Qt::PlainText);
    l->setContentsMargins(kStatusItemMargin, 0, kStatusItemMargin, 0);
    if (permanent)
      bar->addPermanentWidget(l, stretch);
    else
      bar->addWidget(l, stretch);
    return l;
  };
  lblStatusFile = label(false);
  lblStatusMessage = label(false, 1);
  // A long message must not widen the window: the label takes the room
  // left and its tooltip has the whole text.
  lblStatusMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  lblStatusMessage->setMinimumWidth(0);
  lblStatusVersion = label(true);
  lblStatusEncryption = label(true);
  lblStatusRecords = label(true);
  lblStatusSheets = label(true);
  lblStatusStream = label(true);
  lblStatusTime = label(true);
  lblStatusMacros = label(true);
  lblStatusMacros->setText(QString::fromLatin1(kStatusMacros));
  lblStatusMacros->hide();
  for (QLabel* l :
       {lblStatusVersion, lblStatusEncryption, lblStatusRecords, lblStatusSheets, lblStatusStream, lblStatusTime})
    l->hide();
}

void TfrmMain::RestoreSettings()
{
  if (const QByteArray geometry = FSettings.WindowGeometry(); !geometry.isEmpty() && restoreGeometry(geometry))
    FPlaced = true;  // where the user left it, not centred
  if (const QByteArray splitter = FSettings.RecordsSplitter();
      !splitter.isEmpty() && SplitterHex->restoreState(splitter))
    FDumpSized = true;
  if (const QByteArray splitter = FSettings.FieldsSplitter();
      !splitter.isEmpty() && SplitterFields->restoreState(splitter))
    FFieldsSized = true;
  if (const QByteArray splitter = FSettings.PaneSplitter();
      !splitter.isEmpty() && SplitterPane->restoreState(splitter))
    FPaneSized = true;
  const QList<int> widths = FSettings.RecordColumnWidths();
  if (widths.size() == TRecordListModel::rcColumnCount) {
    for (int i = 0; i < TRecordListModel::rcColumnCount; ++i)
      if (i != TRecordListModel::rcNumber)  // sized to its numbers at each load
        lvRecords->setColumnWidth(i, widths[i]);
  }
  actShowAllRows->setChecked(FSettings.ShowAllRows());
  UpdateRecentMenu();
}

void TfrmMain::SaveSettings()
{
  FSettings.SetWindowGeometry(saveGeometry());
  // A splitter never laid out has no sizes worth keeping.
  if (FDumpSized)
    FSettings.SetRecordsSplitter(SplitterHex->saveState());
  if (FFieldsSized)
    FSettings.SetFieldsSplitter(SplitterFields->saveState());
  // Laid out once the records page was shown: its sizes are the user's.
  if (const QList<int> sizes = SplitterPane->sizes(); !sizes.isEmpty() && sizes.front() > 0)
    FSettings.SetPaneSplitter(SplitterPane->saveState());
  QList<int> widths;
  for (int i = 0; i < TRecordListModel::rcColumnCount; ++i)
    widths.push_back(lvRecords->columnWidth(i));
  FSettings.SetRecordColumnWidths(widths);
}

void TfrmMain::closeEvent(QCloseEvent* e)
{
  SaveSettings();
  QMainWindow::closeEvent(e);
}

void TfrmMain::AddRecentFile(const QString& fileName)
{
  // Kept as an absolute path, so that it opens from anywhere later.
  FSettings.SetRecentFiles(TViewerSettings::WithRecentFile(FSettings.RecentFiles(),
                                                           QFileInfo(fileName).absoluteFilePath()));
  UpdateRecentMenu();
}

void TfrmMain::UpdateRecentMenu()
{
  mnuRecent->clear();
  const QStringList files = FSettings.RecentFiles();
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    mnuRecent->addAction(RecentFileEntryText(i + 1, path), this, [this, path] { OpenFile(path); });
  }
  mnuRecent->addSeparator();
  mnuRecent->addAction(actClearRecent);
  mnuRecent->setEnabled(!files.isEmpty());
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* e)
{
  if (!DroppedFile(e->mimeData()).isEmpty())
    e->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* e)
{
  const QString fileName = DroppedFile(e->mimeData());
  if (fileName.isEmpty())
    return;
  e->acceptProposedAction();
  // Opened once the drop is over: the drag's source waits for its end, and
  // an error box would keep it waiting.
  QMetaObject::invokeMethod(this, [this, fileName] { OpenFile(fileName); }, Qt::QueuedConnection);
}

void TfrmMain::BuildToolStrip()
{
  cbMain = new QToolBar(this);
  cbMain->setObjectName(QStringLiteral("cbMain"));
  cbMain->setMovable(false);
  cbMain->setFloatable(false);
  cbMain->setFixedHeight(kToolStripHeight);
  cbMain->setMinimumWidth(434);
  cbMain->addWidget(new QLabel(QString::fromLatin1(kFileNameLabel) + QLatin1Char(' '), cbMain));
  auto* pnlOptions = new QWidget(cbMain);
  pnlOptions->setFixedSize(324, 25);
  edXLSFileName = new QLineEdit(pnlOptions);
  edXLSFileName->setGeometry(2, 0, 297, 21);
  edXLSFileName->setToolTip(QString::fromLatin1(kHintFileName));
  edXLSFileName->installEventFilter(this);
  // A file dropped on the box opens, as anywhere on the window.
  edXLSFileName->setAcceptDrops(false);
  btnXLSFileName = new QPushButton(QStringLiteral("..."), pnlOptions);
  btnXLSFileName->setGeometry(300, 1, 21, 21);
  QFont bold = btnXLSFileName->font();
  bold.setBold(true);
  btnXLSFileName->setFont(bold);
  connect(btnXLSFileName, &QPushButton::clicked, this, &TfrmMain::btnXLSFileNameClick);
  cbMain->addWidget(pnlOptions);
  addToolBar(Qt::TopToolBarArea, cbMain);

  tbMain = new QToolBar(this);
  tbMain->setObjectName(QStringLiteral("tbMain"));
  tbMain->setMovable(false);
  tbMain->setFloatable(false);
  tbMain->setFixedHeight(kToolStripHeight);
  tbMain->setMinimumWidth(140);
  tbMain->setIconSize(QSize(16, 16));
  tbMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
  btnConvert = tbMain->addAction(QIcon(QString::fromLatin1(kOpenIconResource)),
                                 QStringLiteral("Open"));
  btnConvert->setToolTip(QString::fromLatin1(kHintOpen));
  tbMain->addSeparator();
  btnAbout = tbMain->addAction(QIcon(QString::fromLatin1(kAboutIconResource)),
                               QStringLiteral("About"));
  btnAbout->setToolTip(QString::fromLatin1(kHintAbout));
  tbMain->addSeparator();
  btnClose = tbMain->addAction(QIcon(QString::fromLatin1(kCloseIconResource)),
                               QStringLiteral("Close"));
  btnClose->setToolTip(QString::fromLatin1(kHintClose));
  connect(btnConvert, &QAction::triggered, this, &TfrmMain::btnConvertClick);
  connect(btnAbout, &QAction::triggered, this, &TfrmMain::btnAboutClick);
  connect(btnClose, &QAction::triggered, this, &QWidget::close);
  addToolBar(Qt::TopToolBarArea, tbMain);
}

void TfrmMain::BuildPages(QWidget* client)
{
  pcXLS = new QTabWidget(client);
  pcXLS->setObjectName(QStringLiteral("pcXLS"));

  tsPreview = new QWidget(pcXLS);
  auto* previewLayout = new QVBoxLayout(tsPreview);
  previewLayout->setContentsMargins(0, 0, 0, 0);
  previewLayout->setSpacing(0);
  // The grid sits in a holder so the sheet tabs stay at the bottom while the
  // grid is hidden.
  auto* gridHolder = new QWidget(tsPreview);
  auto* holderLayout = new QVBoxLayout(gridHolder);
  holderLayout->setContentsMargins(0, 0, 0, 0);
  // The note says how many of the sheet's rows the grid shows.
  lblPreviewRows = new QLabel(gridHolder);
  lblPreviewRows->setTextFormat(Qt::PlainText);
  lblPreviewRows->setContentsMargins(2, 1, 2, 1);
  holderLayout->addWidget(lblPreviewRows);
  lblPreviewRows->hide();
  sgXLS = new TPreviewGrid(gridHolder);
  holderLayout->addWidget(sgXLS, 1);
  sgXLS->hide();
  connect(actShowAllRows, &QAction::toggled, this, [this](bool all) {
    FSettings.SetShowAllRows(all);
    sgXLS->SetShowAllRows(all);
    UpdatePreviewNote();
  });
  previewLayout->addWidget(gridHolder, 1);
  // A cell's context menu: copy, or the record that wrote the cell.
  sgXLS->setContextMenuPolicy(Qt::ActionsContextMenu);
  sgXLS->addAction(actCopy);
  sgXLS->addAction(actShowRecord);
  tsSheets = new QTabBar(tsPreview);
  tsSheets->setShape(QTabBar::RoundedSouth);
  tsSheets->setExpanding(false);
  tsSheets->setDrawBase(true);
  // The strip keeps the height of one tab while it has none.
  tsSheets->addTab(QStringLiteral("Sheet"));
  tsSheets->setFixedHeight(tsSheets->sizeHint().height());
  tsSheets->removeTab(0);
  previewLayout->addWidget(tsSheets);
  connect(tsSheets, &QTabBar::currentChanged, this, &TfrmMain::tsSheetsChange);
  pcXLS->addTab(tsPreview, QString::fromLatin1(kTabPreview));

  tsRecord = new QWidget(pcXLS);
  auto* recordLayout = new QVBoxLayout(tsRecord);
  recordLayout->setContentsMargins(0, 0, 0, 0);
  // The list over the dump on the left, the Fields pane on the right.
  SplitterFields = new QSplitter(Qt::Horizontal, tsRecord);
  SplitterFields->setHandleWidth(5);
  SplitterFields->setChildrenCollapsible(false);
  SplitterHex = new QSplitter(Qt::Vertical, SplitterFields);
  SplitterHex->setHandleWidth(5);
  SplitterHex->setChildrenCollapsible(false);
  // Rows of one height, placed by their number: opening a workbook of
  // millions of records costs the view nothing per record.
  // The navigation strip over the list, the two as one part of the splitter.
  auto* listHolder = new QWidget(SplitterHex);
  auto* listLayout = new QVBoxLayout(listHolder);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->setSpacing(0);
  lvRecords = new TRecordListView(listHolder);
  lvRecords->setModel(FShown);
  lvRecords->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvRecords->setSelectionBehavior(QAbstractItemView::SelectRows);
  // Several rows, for copying; the dump shows the current one.
  lvRecords->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvRecords->SetRowHeight(lvRecords->fontMetrics().height() + 4);
  for (int i = 0; i < TRecordListModel::rcColumnCount; ++i)
    lvRecords->setColumnWidth(i, kRecordColumnWidths[i]);
  lvRecords->SetNumberColumn(TRecordListModel::rcNumber);
  // The selection stays visible when the list loses the focus.
  QPalette listPalette = lvRecords->palette();
  listPalette.setColor(QPalette::Inactive, QPalette::Highlight,
                       listPalette.color(QPalette::Active, QPalette::Highlight));
  listPalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                       listPalette.color(QPalette::Active, QPalette::HighlightedText));
  lvRecords->setPalette(listPalette);
  Navigator = new TRecordNavigator(*FRecords, *FShown, *lvRecords, listHolder);
  listLayout->addWidget(Navigator);
  listLayout->addWidget(lvRecords, 1);
  SplitterHex->addWidget(listHolder);

  Dump = new THexDump(SplitterHex);
  Dump->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Dump->SetRelativeAddress(true);
  // The fields' bands show through the current line, which a frame marks.
  Dump->SetLineMarkerFramed(true);
  SplitterHex->addWidget(Dump);
  SplitterHex->setStretchFactor(0, 1);
  SplitterHex->setStretchFactor(1, 0);
  SplitterFields->addWidget(SplitterHex);
  // The Fields pane over the navigation pane (outline, types, problems,
  // container): beside the list, they cost it no width.
  SplitterPane = new QSplitter(Qt::Vertical, SplitterFields);
  SplitterPane->setHandleWidth(5);
  SplitterPane->setChildrenCollapsible(false);
  Fields = new TRecordInspector(*FWorkbook, *Dump, SplitterPane);
  SplitterPane->addWidget(Fields);
  Pane = new TNavigatorPane(SplitterPane);
  SplitterPane->addWidget(Pane);
  SplitterPane->setStretchFactor(0, 1);
  SplitterPane->setStretchFactor(1, 0);
  SplitterFields->addWidget(SplitterPane);
  SplitterFields->setStretchFactor(0, 1);
  SplitterFields->setStretchFactor(1, 0);
  Fields->OnGoToRecord = [this](TRecordInspector&, int row) {
    Navigator->SelectRecord(row);
  };
  Fields->OnCellRecord = [this](TRecordInspector&, const TCellPlace& cell) {
    ShowCellInPreview(cell.Sheet, cell.Row, cell.Column);
  };
  recordLayout->addWidget(SplitterFields);
  SplitterHex->installEventFilter(this);
  SplitterFields->installEventFilter(this);
  SplitterPane->installEventFilter(this);
  pcXLS->addTab(tsRecord, QString::fromLatin1(kTabRecords));
  Macros = new TMacrosPane(pcXLS);
  pcXLS->addTab(Macros, QString::fromLatin1(kTabMacros));
  pcXLS->setCurrentIndex(0);
  connect(pcXLS, &QTabWidget::currentChanged, this, &TfrmMain::PageChanged);
  AttachRecordsChange();
  ConnectNavigator();
  SetRecordsTabOrder();
  FocusFrame = new TPaneFocusFrame(FClient);
  FocusFrame->SetPanes({lvRecords, Dump, Fields->tvFields, Pane->tvOutline, Pane->tvTypes, Pane->tvProblems,
                        Pane->tvEntries, Pane->tvSectors, sgXLS});
}

void TfrmMain::SetRecordsTabOrder()
{
  const QList<QWidget*> order = {Navigator->edFilter, Navigator->edFind, Navigator->cbFindMode,
                                 Navigator->edGoTo,   lvRecords,          Dump,
                                 Fields->tvFields,    Pane->tvOutline,    Pane->tvTypes,
                                 Pane->tvProblems,    Pane->tvEntries,    Pane->tvSectors};
  for (qsizetype i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(order[i - 1], order[i]);
}

void TfrmMain::StepSheet(int step)
{
  const int count = tsSheets->count();
  if (count == 0)
    return;
  const int index = std::clamp(tsSheets->currentIndex() + step, 0, count - 1);
  pcXLS->setCurrentIndex(pcXLS->indexOf(tsPreview));
  // The tab strip's change fills the grid.
  tsSheets->setCurrentIndex(index);
}

void TfrmMain::ConnectNavigator()
{
  mnuEdit->addSeparator();
  mnuEdit->addActions({Navigator->actFind, Navigator->actFindNext, Navigator->actFindPrevious,
                       Navigator->actGoTo, Navigator->actFilter});
  Navigator->OnReveal = [this](TRecordNavigator&) { pcXLS->setCurrentIndex(1); };
  Navigator->OnStatus = [this](TRecordNavigator&, const QString& text) { SetStatusMessage(text); };
  // A filter that hides the record the Fields pane shows empties the pane:
  // it shows what the list selects, and the list no longer has that row.
  connect(FShown, &QAbstractItemModel::modelReset, this, [this] {
    if (const int shown = Fields->Row(); shown >= 0 && FShown->RowOfRecord(shown) < 0)
      Fields->ShowRecord(-1);
  });
  // The match's field in the Fields pane, its bytes marked in the dump.
  Navigator->OnFound = [this](TRecordNavigator&, int record, std::size_t byte) {
    if (Fields->Row() == record)
      Fields->SelectByte(byte);
  };
  Pane->OnSelectRecord = [this](TNavigatorPane&, int record) { Navigator->SelectRecord(record); };
  Macros->OnSelectRecord = [this](TMacrosPane&, int record) {
    pcXLS->setCurrentIndex(1);
    Navigator->SelectRecord(record);
  };
  Macros->OnSelectStream = [this](TMacrosPane&, const std::string& stream) {
    pcXLS->setCurrentIndex(1);
    Pane->SelectEntry(stream);
  };
  Macros->OnReady = [this](TMacrosPane& sender) {
    if (sender.Report().HasMacros())
      lblStatusMacros->show();
  };
  Pane->OnFilterType = [this](TNavigatorPane&, std::uint16_t code) {
    Navigator->SetFilterText(QString::fromStdString(RecordCodeText(code)));
  };
}

void TfrmMain::FeedNavigatorPane()
{
  TNavigatorInput input;
  // The pane reads the workbook on its worker: LoadWorkbook resets it
  // before the next load.
  input.Workbook = FWorkbook.get();
  input.FileName = FCurrentFile.toStdString();
  input.Compound = FExcel->IsCompound();
  Pane->SetWorkbook(std::move(input));
}

void TfrmMain::FeedMacrosPane()
{
  TMacrosInput input;
  input.Workbook = FWorkbook.get();
  input.FileName = FCurrentFile.toStdString();
  input.Compound = FExcel->IsCompound();
  Macros->SetWorkbook(std::move(input));
  lblStatusMacros->setVisible(ShowsMacros(*FWorkbook));
}

void TfrmMain::PageChanged(int index)
{
  const bool macros = index == pcXLS->indexOf(Macros);
  for (QAction* action : {Navigator->actFind, Navigator->actFindNext, Navigator->actFindPrevious})
    action->setEnabled(!macros);
  Macros->actFind->setEnabled(macros);
  Macros->actFindNext->setEnabled(macros);
}

void TfrmMain::AttachRecordsChange()
{
  if (FRecordsChange)
    return;
  FRecordsChange = connect(lvRecords->selectionModel(), &QItemSelectionModel::currentRowChanged,
                           this, [this](const QModelIndex& current, const QModelIndex&) {
                             lvRecordsChange(current.isValid() ? FShown->RecordOfRow(current.row()) : -1);
                           });
}

void TfrmMain::DetachRecordsChange()
{
  disconnect(FRecordsChange);
  FRecordsChange = {};
}

void TfrmMain::showEvent(QShowEvent* e)
{
  QMainWindow::showEvent(e);
  if (FPlaced)
    return;
  FPlaced = true;
  if (const QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  FormResize();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* e)
{
  if (watched == FClient && e->type() == QEvent::Resize)
    FormResize();
  // The records page is laid out when it is first shown: the dump then gets
  // its height, and the list the rest; later the user moves the border.
  // The Fields pane takes what the list's columns and a dump of 16 bytes a
  // line leave, and over the navigation pane room for its rows. A layout
  // while the page is hidden can be of a passing size: it is done again at
  // each resize, and kept once the page shows.
  const bool shown = e->type() == QEvent::Show;
  if (watched == SplitterFields && (e->type() == QEvent::Resize || shown) && !FFieldsSized)
    FFieldsSized = SizeFieldsSplitter() && SplitterFields->isVisible();
  if (watched == SplitterPane && (e->type() == QEvent::Resize || shown) && !FPaneSized)
    FPaneSized = SizePaneSplitter() && SplitterPane->isVisible();
  if (watched == SplitterHex && e->type() == QEvent::Resize && !FDumpSized) {
    const int total = SplitterHex->height() - SplitterHex->handleWidth();
    if (total > kDumpHeight) {
      FDumpSized = true;
      SplitterHex->setSizes({total - kDumpHeight, kDumpHeight});
    }
  }
  // Enter loads whatever Shift, Ctrl or Alt are held. It is taken on the key
  // press: a release can belong to the Enter that closed the browse dialog,
  // and browsing must only fill the box.
  if (watched == edXLSFileName && e->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(e);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      btnConvertClick();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

bool TfrmMain::SizeFieldsSplitter()
{
  const int total = SplitterFields->width() - SplitterFields->handleWidth();
  int left = Dump->WidthForLineBytes(HexFormat::kMaxLineBytes);
  int columns = lvRecords->verticalScrollBar()->sizeHint().width() + 2 * lvRecords->frameWidth();
  for (int i = 0; i < TRecordListModel::rcColumnCount; ++i)
    columns += lvRecords->columnWidth(i);
  left = std::max(left, columns);
  if (total <= left + kMinimumFieldsWidth)
    return false;
  SplitterFields->setSizes({left, total - left});
  return true;
}

bool TfrmMain::SizePaneSplitter()
{
  const int total = SplitterPane->height() - SplitterPane->handleWidth();
  const QTreeView* tree = Fields->tvFields;
  const int fields = 2 * Fields->lblRecord->fontMetrics().lineSpacing() + tree->header()->sizeHint().height() +
                     kFieldsRows * (tree->fontMetrics().height() + kFieldRowPadding) + 2 * tree->frameWidth() +
                     kFieldsSlack;
  if (total <= fields + kMinimumNavigationHeight)
    return false;
  SplitterPane->setSizes({fields, total - fields});
  return true;
}

void TfrmMain::FormResize()
{
  // The page control keeps its left and top and fills the rest less a margin;
  // the tool strip, logo and link stay where they are.
  const int top = kPagesTop - kToolStripHeight;
  pcXLS->setGeometry(kPagesLeft, top, std::max(FClient->width() - kPagesLeft - kPagesMargin, 0),
                     std::max(FClient->height() - top - kPagesMargin, 0));
}

void TfrmMain::ShowError(const std::string& message, const QString& information, const QString& details)
{
  FErrorInformation = information;
  FErrorDetails = details;
  if (ErrorPresenter)
    ErrorPresenter(this, QString::fromLatin1(kProductName),
                   QString::fromStdString(ErrorBoxText(message)));
}

void TfrmMain::SetStatusMessage(const QString& text)
{
  lblStatusMessage->setText(text);
  lblStatusMessage->setToolTip(text);
}

QString TfrmMain::StoppedDetails(const std::string& message) const
{
  const auto text = [](const char* t) { return QString::fromLatin1(t); };
  QStringList lines;
  const int rows = FRecords->Count();
  if (rows == 0) {
    lines << text(kDetailsNoRecord);
  } else {
    const TRecordRow last = FRecords->Row(rows - 1);
    const QString name = FRecords->data(FRecords->index(rows - 1, TRecordListModel::rcName)).toString();
    lines << text(kDetailsLastRecord)
                 .arg(rows)
                 .arg(QString::fromStdString(RecordCodeText(last.Code)), name)
                 .arg(last.Length)
                 .arg(QString::fromStdString(RecordOffsetText(last.Offset)));
    lines << text(kDetailsStoppedAt).arg(QString::fromStdString(RecordOffsetText(last.Offset + 4 + last.DataSize)));
  }
  lines << text(kDetailsMessage).arg(QString::fromStdString(ErrorBoxText(message)));
  return lines.join(QLatin1Char('\n'));
}

void TfrmMain::OpenFile(const QString& fileName)
{
  edXLSFileName->setText(fileName);
  btnConvertClick();
}

void TfrmMain::OpenClick()
{
  QFileDialog dialog(this);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(QString::fromLatin1(kOpenDialogFilter).split(QStringLiteral(";;")));
  dialog.setDefaultSuffix(QString::fromLatin1(kOpenDialogDefaultSuffix));
  const QStringList recent = FSettings.RecentFiles();
  const QString current = !FCurrentFile.isEmpty() ? FCurrentFile : recent.value(0);
  if (!current.isEmpty())
    dialog.setDirectory(QFileInfo(current).absolutePath());
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    OpenFile(dialog.selectedFiles().first());
}

void TfrmMain::ExportCsvClick()
{
  const int sheet = tsSheets->currentIndex();
  if (sheet < 0)
    return;
  QFileDialog dialog(this, QString::fromLatin1(kExportDialogCaption));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(QString::fromLatin1(kExportDialogFilter).split(QStringLiteral(";;")));
  dialog.setDefaultSuffix(QString::fromLatin1(kExportDialogDefaultSuffix));
  const QString folder = FSettings.ExportFolder();
  dialog.setDirectory(!folder.isEmpty() ? folder : QFileInfo(FCurrentFile).absolutePath());
  const QString caption = QString::fromStdString(std::as_const(*FExcel).Sheets().Items(sheet).Caption);
  dialog.selectFile(ExportFileSuggestion(FCurrentFile, caption));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  const QString fileName = dialog.selectedFiles().first();
  try {
    const TWaitCursor wait;
    const int rows = ExportShownSheet(fileName);
    SetStatusMessage(ExportedText(caption, fileName, rows));
  } catch (const std::exception& e) {
    ShowError(ExceptionText(e));
  }
}

int TfrmMain::ExportShownSheet(const QString& fileName)
{
  const int sheet = tsSheets->currentIndex();
  if (sheet < 0)
    throw EBiffLensError(kMsgTabIndexOutOfBounds);
  const int rows = ExportSheetToFile(*FExcel, sheet, fileName.toStdString(), TCsvFormat{}).Rows;
  FSettings.SetExportFolder(QFileInfo(fileName).absolutePath());
  return rows;
}

void TfrmMain::CopyClick()
{
  const QWidget* focus = QApplication::focusWidget();
  const auto within = [focus](const QWidget* part) {
    return focus != nullptr && (focus == part || part->isAncestorOf(focus));
  };
  if (within(Dump))
    Dump->CopyHex();
  else if (within(lvRecords))
    lvRecords->Copy();
  else if (within(sgXLS))
    sgXLS->Copy();
  else if (within(Fields))
    Fields->CopyField();
  else if (within(Macros->Code))
    Macros->Code->copy();
  else if (auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget()))
    edit->copy();
}

void TfrmMain::btnConvertClick()
{
  try {
    LoadWorkbook();
  } catch (const std::exception& e) {
    const std::string message = ExceptionText(e);
    const QString boxText = QString::fromStdString(ErrorBoxText(message));
    QString status = boxText;
    // Where the reading itself failed, the list ends at the record where it
    // stopped: the error box's details name it.
    const bool readingFailed = FReading;
    QString details;
    if (readingFailed) {
      FReading = false;
      const int rows = FRecords->Count();
      status += QLatin1Char(' ') +
                StoppedAtText(static_cast<std::uint64_t>(rows), rows > 0 ? FRecords->Row(rows - 1).Offset : 0);
      details = StoppedDetails(message);
    }
    ShowLoadStatus(edXLSFileName->text(), status);
    // The box has the whole of the status bar's message: what its text
    // does not say goes under it.
    QString information = lblStatusMessage->text();
    if (const qsizetype at = information.indexOf(boxText); at >= 0)
      information.remove(at, boxText.size());
    information = information.trimmed();
    if (information.startsWith(QStringLiteral("\u2014")))
      information = information.mid(1).trimmed();
    ShowError(message, information, details);
    // The sheets read before the failure are shown all the same: people open
    // damaged files to recover what is in them.
    if (readingFailed && std::as_const(*FExcel).Sheets().Count() > 0)
      ShowSheets();
  }
}

void TfrmMain::ShowStatusMessage(const QString& fileName, const QString& message)
{
  lblStatusFile->setText(fileName.isEmpty() ? QString() : QFileInfo(fileName).fileName());
  lblStatusFile->setToolTip(fileName);
  SetStatusMessage(message);
  for (QLabel* l :
       {lblStatusVersion, lblStatusEncryption, lblStatusRecords, lblStatusSheets, lblStatusStream, lblStatusTime,
        lblStatusMacros})
    l->hide();
}

void TfrmMain::ShowLoadStatus(const QString& fileName, const QString& message)
{
  QString text = message;
  // A stream in which no BOF opened a substream is no BIFF stream, whatever
  // was read from it (the reader's failure says so where it gave one).
  const bool noBof = FRecords->Count() > 0 && FExcel->Substreams().empty();
  if (noBof && text.isEmpty())
    text = NoBofText(FRecords->Row(0).Offset);
  ShowStatusMessage(fileName, text);
  const TMSExcel& excel = *FExcel;
  lblStatusVersion->setText(BiffVersionText(excel.Version));
  lblStatusRecords->setText(RecordCountText(excel.RecordCount()));
  lblStatusSheets->setText(SheetCountText(excel.Sheets().Count()));
  std::uint64_t streamSize = excel.StreamBuffer().size();
  if (streamSize == 0 && FRecords->Count() > 0) {
    const TRecordRow last = FRecords->Row(FRecords->Count() - 1);
    streamSize = last.Offset + 4 + last.DataSize;
  }
  lblStatusStream->setText(StreamSizeText(streamSize));
  lblStatusTime->setText(LoadTimeText(FLoadMilliseconds));
  for (QLabel* l : {lblStatusVersion, lblStatusRecords, lblStatusSheets, lblStatusStream, lblStatusTime})
    l->show();
  // No BOF named a version or opened a sheet: the status claims neither.
  lblStatusVersion->setVisible(!noBof);
  lblStatusSheets->setVisible(!noBof);
  // An encrypted workbook: its scheme, and whether a password opened it;
  // then its bytes as stored are at hand for the dump.
  const TWorkbookEncryption& encryption = excel.Encryption();
  lblStatusEncryption->setVisible(encryption.Present);
  lblStatusEncryption->setText(
      encryption.Present ? EncryptionStatusText(QString::fromStdString(encryption.Description), encryption.Opened)
                         : QString());
  FStoredStream = encryption.Opened ? excel.StoredStreamBuffer() : TSharedBytes();
  actViewStoredBytes->setEnabled(encryption.Opened);
  Fields->SetStoredStream(actViewStoredBytes->isChecked() ? FStoredStream : TSharedBytes());
  FeedNavigatorPane();
  FeedMacrosPane();
}

void TfrmMain::LoadWorkbook()
{
  sgXLS->Clear();
  lblPreviewRows->hide();
  actExportCsv->setEnabled(false);
  {
    const QSignalBlocker quiet(tsSheets);
    while (tsSheets->count() > 0)
      tsSheets->removeTab(tsSheets->count() - 1);
  }
  const QString name = edXLSFileName->text();
  const std::string fileName = name.toStdString();
  if (fileName.empty() || !IsExistingFile(fileName)) {
    sgXLS->hide();
    ShowStatusMessage(QString(), name.isEmpty() ? QString() : NoSuchFileText(name));
    return;
  }
  sgXLS->show();
  FCurrentFile = QFileInfo(name).absoluteFilePath();
  AddRecentFile(name);
  {
    // The rows, and the bytes they share with the dump and the Fields
    // pane, go now: those let go of them first.
    Fields->Reset();
    Pane->Reset();
    // The last file's searches mean nothing in this one.
    Navigator->Clear();
    Macros->Reset();
    lblStatusMacros->hide();
    FStoredStream = {};
    Fields->SetStoredStream({});
    actViewStoredBytes->setEnabled(false);
    const TWaitCursor wait;
    const TDetachedChangeHandler detached(*this);
    const TRecordListModel::TLoadGuard reset(*FRecords);
    // What was made of the last load goes with its records.
    FWorkbook->Reset();
    FReading = true;
    FLoadMilliseconds = 0;
    FPromptMilliseconds = 0;
    // Set before the load returns or throws, so a failure has it too; the
    // password dialog's time is left out.
    struct TStopWatch {
      TfrmMain& Form;
      qint64 Start;
      ~TStopWatch() { Form.FLoadMilliseconds = std::max<qint64>(Form.Clock() - Start - Form.FPromptMilliseconds, 0); }
    } const stopWatch{*this, Clock()};
    FExcel->LoadFromFile(fileName);
    FReading = false;
  }
  ShowLoadStatus(name, QString());
  ShowSheets();
}

void TfrmMain::ShowSheets()
{
  {
    const QSignalBlocker quiet(tsSheets);
    const TSpreadSheets& sheets = std::as_const(*FExcel).Sheets();
    for (int i = 0; i < sheets.Count(); ++i)
      tsSheets->addTab(LiteralCaption(QString::fromStdString(sheets.Items(i).Caption)));
    actExportCsv->setEnabled(sheets.Count() > 0);
  }
  SelectSheetTab(0);
}

void TfrmMain::SelectSheetTab(int index)
{
  if (index < 0 || index >= tsSheets->count())
    throw EBiffLensError(kMsgTabIndexOutOfBounds);
  {
    const QSignalBlocker quiet(tsSheets);
    tsSheets->setCurrentIndex(index);
  }
  FillPreview(index);
}

void TfrmMain::FillPreview(int index)
{
  // Formulas are read from the listed records when a cell shows one.
  sgXLS->FillPreview(std::as_const(*FExcel).Sheets().Items(index),
                     [this, index](int row, int column, TFormulaResult& result) {
                       return FWorkbook->RecordFormulas().Formula(index, row, column, result);
                     });
  UpdatePreviewNote();
}

void TfrmMain::UpdatePreviewNote()
{
  const TPreviewModel& model = sgXLS->PreviewModel();
  const int total = model.SheetRows();
  // Shown while a sheet is; the reset grid of a failed load has none.
  lblPreviewRows->setVisible(!sgXLS->isHidden() && tsSheets->currentIndex() >= 0);
  lblPreviewRows->setText(PreviewRowsText(std::min(model.rowCount(), total), total));
  lblPreviewRows->setToolTip(model.rowCount() < total ? QString::fromLatin1(kTipPreviewRowsCut) : QString());
}

void TfrmMain::tsSheetsChange(int index)
{
  if (index < 0)
    return;
  try {
    FillPreview(index);
  } catch (const std::exception& e) {
    ShowError(ExceptionText(e));
  }
}

void TfrmMain::lvRecordsChange(int row)
{
  // No current row (a deselection with nothing new): the dump stays as it is.
  if (row < 0 || row >= FRecords->Count())
    return;
  // The pane shows the record's fields and puts its bytes in the dump.
  Fields->ShowRecord(row);
  const TRecordRow record = FRecords->Row(row);
  Pane->ShowRecordPlace(row, record.Offset, 4u + record.DataSize);
}

void TfrmMain::ShowCellInPreview(int sheet, int row, int column)
{
  if (sheet < 0 || sheet >= tsSheets->count())
    return;
  if (tsSheets->currentIndex() != sheet)
    SelectSheetTab(sheet);
  const QModelIndex cell = sgXLS->model()->index(row, column);
  if (!cell.isValid())
    return;
  sgXLS->setCurrentIndex(cell);
  sgXLS->scrollTo(cell);
}

void TfrmMain::ShowRecordOfCell()
{
  const QModelIndex cell = sgXLS->currentIndex();
  if (!cell.isValid() || tsSheets->currentIndex() < 0)
    return;
  const auto record = FWorkbook->Directory().RecordOfCell({tsSheets->currentIndex(), cell.row(), cell.column()});
  if (!record) {
    SetStatusMessage(QString::fromLatin1(kStatusNoRecordForCell));
    return;
  }
  pcXLS->setCurrentIndex(1);
  Navigator->SelectRecord(static_cast<int>(*record));
}

void TfrmMain::btnXLSFileNameClick()
{
  QFileDialog dialog(this);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(QString::fromLatin1(kOpenDialogFilter).split(QStringLiteral(";;")));
  dialog.setDefaultSuffix(QString::fromLatin1(kOpenDialogDefaultSuffix));
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    edXLSFileName->setText(dialog.selectedFiles().first());
}

void TfrmMain::btnAboutClick()
{
  TfrmAbout about(this);
  about.Prepare(imgLogo->pixmap());
  about.exec();
}
