#include "ui/MainWindow.h"

#include "hexdump/HexDump.h"
#include "platform/ErrorText.h"
#include "platform/Errors.h"
#include "ui/AboutBox.h"
#include "ui/Identity.h"
#include "ui/LinkLabel.h"
#include "ui/PreviewGrid.h"
#include "ui/RecordListModel.h"
#include "ui/RecordListView.h"
#include "ui/UiMessages.h"
#include "xls/MSExcel.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
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

bool IsExistingFile(const std::string& name)
{
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(name), error);
}

constexpr int kRecordColumnWidths[] = {50, 80, 80, 220, 90};

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
      FRecords(new TRecordListModel(this))
{
  InitResources();
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromLatin1(kProductName));
  setWindowIcon(QIcon(QString::fromLatin1(kOpenIconResource)));
  // System menu and minimise only: the window is resized by its border.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  ErrorPresenter = [](QWidget* parentWidget, const QString& caption, const QString& text) {
    QMessageBox::critical(parentWidget, caption, text);
  };

  BuildToolStrip();
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

  // The reader reports every record here, in stream order; the list keeps
  // the reader's stream and each row only its record's offset.
  FExcel->OnStreamRecord = [this](const TStreamRecord& record) { FRecords->Append(record); };

  resize(kClientWidth, kClientHeight);
}

TfrmMain::~TfrmMain()
{
  // The dump must not outlive the bytes it points into.
  Dump->SetData({});
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
  sgXLS = new TPreviewGrid(gridHolder);
  holderLayout->addWidget(sgXLS);
  sgXLS->hide();
  previewLayout->addWidget(gridHolder, 1);
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
  SplitterHex = new QSplitter(Qt::Vertical, tsRecord);
  SplitterHex->setHandleWidth(5);
  SplitterHex->setChildrenCollapsible(false);
  // Rows of one height, placed by their number: opening a workbook of
  // millions of records costs the view nothing per record.
  lvRecords = new TRecordListView(SplitterHex);
  lvRecords->setModel(FRecords);
  lvRecords->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvRecords->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvRecords->setSelectionMode(QAbstractItemView::SingleSelection);
  lvRecords->SetRowHeight(lvRecords->fontMetrics().height() + 4);
  for (int i = 0; i < TRecordListModel::rcColumnCount; ++i)
    lvRecords->setColumnWidth(i, kRecordColumnWidths[i]);
  // The selection stays visible when the list loses the focus.
  QPalette listPalette = lvRecords->palette();
  listPalette.setColor(QPalette::Inactive, QPalette::Highlight,
                       listPalette.color(QPalette::Active, QPalette::Highlight));
  listPalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                       listPalette.color(QPalette::Active, QPalette::HighlightedText));
  lvRecords->setPalette(listPalette);
  SplitterHex->addWidget(lvRecords);

  Dump = new THexDump(SplitterHex);
  Dump->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Dump->SetRelativeAddress(true);
  SplitterHex->addWidget(Dump);
  SplitterHex->setStretchFactor(0, 1);
  SplitterHex->setStretchFactor(1, 0);
  recordLayout->addWidget(SplitterHex);
  SplitterHex->installEventFilter(this);
  pcXLS->addTab(tsRecord, QString::fromLatin1(kTabRecords));
  pcXLS->setCurrentIndex(0);
  AttachRecordsChange();
}

void TfrmMain::AttachRecordsChange()
{
  if (FRecordsChange)
    return;
  FRecordsChange = connect(lvRecords->selectionModel(), &QItemSelectionModel::selectionChanged,
                           this, [this](const QItemSelection& selected, const QItemSelection&) {
                             lvRecordsChange(selected);
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

void TfrmMain::FormResize()
{
  // The page control keeps its left and top and fills the rest less a margin;
  // the tool strip, logo and link stay where they are.
  const int top = kPagesTop - kToolStripHeight;
  pcXLS->setGeometry(kPagesLeft, top, std::max(FClient->width() - kPagesLeft - kPagesMargin, 0),
                     std::max(FClient->height() - top - kPagesMargin, 0));
}

void TfrmMain::ShowError(const std::string& message)
{
  if (ErrorPresenter)
    ErrorPresenter(this, QString::fromLatin1(kProductName),
                   QString::fromStdString(ErrorBoxText(message)));
}

void TfrmMain::OpenFile(const QString& fileName)
{
  edXLSFileName->setText(fileName);
  btnConvertClick();
}

void TfrmMain::btnConvertClick()
{
  try {
    LoadWorkbook();
  } catch (const std::exception& e) {
    ShowError(ExceptionText(e));
  }
}

void TfrmMain::LoadWorkbook()
{
  sgXLS->Reset();
  {
    const QSignalBlocker quiet(tsSheets);
    while (tsSheets->count() > 0)
      tsSheets->removeTab(tsSheets->count() - 1);
  }
  const std::string fileName = edXLSFileName->text().toStdString();
  if (fileName.empty() || !IsExistingFile(fileName)) {
    sgXLS->hide();
    return;
  }
  sgXLS->show();
  {
    // The rows, and the bytes they share with the dump, go now: the dump
    // lets go of them first.
    Dump->SetData({});
    const TWaitCursor wait;
    const TDetachedChangeHandler detached(*this);
    const TRecordListModel::TLoadGuard reset(*FRecords);
    FExcel->LoadFromFile(fileName);
  }
  {
    const QSignalBlocker quiet(tsSheets);
    const TSpreadSheets& sheets = std::as_const(*FExcel).Sheets();
    for (int i = 0; i < sheets.Count(); ++i)
      tsSheets->addTab(QString::fromStdString(sheets.Items(i).Caption));
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
  sgXLS->FillPreview(std::as_const(*FExcel).Sheets().Items(index));
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

void TfrmMain::lvRecordsChange(const QItemSelection& selected)
{
  // A deselection with no new selection leaves the dump as it is.
  if (selected.isEmpty())
    return;
  Dump->SetData(FRecords->RowBytes(selected.indexes().first().row()));
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
