#include "hexdump/HexDump.h"

#include "hexdump/HexDumpMessages.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>

using namespace HexFormat;

namespace {

std::optional<TDumpKey> DumpKeyOf(int key)
{
  switch (key) {
  case Qt::Key_PageUp:
    return TDumpKey::dkPageUp;
  case Qt::Key_PageDown:
    return TDumpKey::dkPageDown;
  case Qt::Key_Home:
    return TDumpKey::dkHome;
  case Qt::Key_End:
    return TDumpKey::dkEnd;
  case Qt::Key_Up:
    return TDumpKey::dkUp;
  case Qt::Key_Down:
    return TDumpKey::dkDown;
  default:
    return std::nullopt;
  }
}

// Keys the control keeps for itself: the arrows (Left and Right do nothing,
// but must not move the focus or reach a shortcut either) and the paging keys.
bool IsOwnKey(int key)
{
  return DumpKeyOf(key).has_value() || key == Qt::Key_Left || key == Qt::Key_Right;
}

TScrollCode ScrollCodeOf(int action)
{
  switch (action) {
  case QAbstractSlider::SliderSingleStepSub:
    return TScrollCode::scLineUp;
  case QAbstractSlider::SliderSingleStepAdd:
    return TScrollCode::scLineDown;
  case QAbstractSlider::SliderPageStepSub:
    return TScrollCode::scPageUp;
  case QAbstractSlider::SliderPageStepAdd:
    return TScrollCode::scPageDown;
  case QAbstractSlider::SliderMove:
    return TScrollCode::scThumb;
  case QAbstractSlider::SliderToMinimum:
    return TScrollCode::scTop;
  case QAbstractSlider::SliderToMaximum:
    return TScrollCode::scBottom;
  default:
    return TScrollCode::scEnd;
  }
}

// Views of the member line buffers; fromRawData wraps them without a copy.
QString RawText(const char16_t* text, int length)
{
  return QString::fromRawData(reinterpret_cast<const QChar*>(text), length);
}

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;

// The note after the data warns: the red of the logo's "BOF".
constexpr QRgb kNoteColor = 0xC0392B;
// A selection over the plain background lets the hex text show through; on
// the marked line, already in the highlight colour, it is a darker shade.
constexpr int kSelectionAlpha = 96;
constexpr int kMarkedSelectionDarker = 170;
// The framed marker's opacity without and with the focus.
constexpr int kFramedMarkerAlpha = 110;
constexpr int kFramedMarkerFocusAlpha = 230;

void PutOnClipboard(const QString& text)
{
  QApplication::clipboard()->setText(text);
}

}  // namespace

THexDump::THexDump(QWidget* parent) : QAbstractScrollArea(parent)
{
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  // Every pixel of the viewport is painted by paintEvent.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);

  const QPalette& pal = palette();
  FColors = {pal.color(QPalette::WindowText), pal.color(QPalette::WindowText),
             pal.color(QPalette::Highlight)};
  FFocusPen = QPen(pal.color(QPalette::HighlightedText), 1, Qt::DotLine);
  InitHexText(FHexText);
  UpdateBandColors();

  verticalScrollBar()->setSingleStep(1);
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          &THexDump::OnScrollBarAction);
  resize(300, 200);
  UpdateMetrics();
}

void THexDump::SetDataStart(const std::uint8_t* p)
{
  FHasData = p != nullptr;
  FDataStart = p;
  FNote.clear();
  FBands.clear();
  FActiveFirst = 0;
  FActiveCount = 0;
  FSelecting = false;
  FAnchor = 0;
  FCursor = 0;
  if (!FHasData)
    SetDataLength(0);
  else
    viewport()->update();
  if (FHasData) {
    MarkLine(0);
    RevealMarkedLine();
  }
}

void THexDump::SetDataLength(int n)
{
  FDataLength = std::max(n, 0);
  // The selection's ends stay inside the data.
  FAnchor = std::clamp(FAnchor, 0, std::max(FDataLength - 1, 0));
  FCursor = std::clamp(FCursor, 0, std::max(FDataLength - 1, 0));
  FSelecting = FSelecting && FDataLength > 0;
  RecalcLayout();
  viewport()->update();
  UpdateScrollRange();
}

void THexDump::SetData(std::span<const std::uint8_t> bytes)
{
  SetDataStart(bytes.empty() ? nullptr : bytes.data());
  SetDataLength(static_cast<int>(std::min<std::size_t>(bytes.size(), std::numeric_limits<int>::max())));
}

void THexDump::UpdateMetrics()
{
  const QFontMetrics fm(font());
  FRowHeight = fm.height() + 2;
  FCellWidth = fm.horizontalAdvance(QLatin1Char('D')) + 1;
  FAscent = fm.ascent();
  RecalcLayout();
  UpdateScrollRange();
}

void THexDump::RecalcLayout()
{
  if (FRowHeight < 1)
    return;
  FPageLines = PageLinesForHeight(viewport()->height(), FRowHeight);
  FLineBytes = LineBytesForWidth(viewport()->width(), FCellWidth, FShowAddress, FShowCharacters);
  FTotalLines = TotalLinesFor(FDataLength, FLineBytes);
  if (FTotalLines - 1 < FMarkedLine)
    MarkLine(FTotalLines - 1);
  if (ContentLines() - 1 < FFirstVisibleLine)
    ScrollTo(ContentLines() - 1);
}

int THexDump::ContentLines() const
{
  return FTotalLines + (FNote.isEmpty() ? 0 : 1);
}

HexFormat::TDumpGeometry THexDump::Geometry() const
{
  return {FRowHeight, FCellWidth, FLineBytes, FFirstVisibleLine, FDataLength, FShowAddress,
          FShowCharacters};
}

void THexDump::UpdateScrollRange()
{
  // Qt has no empty range; 0 .. 0 with no data behaves the same, because the
  // scroll handlers ignore the bar while there is nothing to show.
  FSyncingScrollBar = true;
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, std::max(ContentLines() - 1, 0));
  bar->setPageStep(std::max(FPageLines - 1, 1));
  bar->setValue(FFirstVisibleLine);
  FSyncingScrollBar = false;
}

void THexDump::UpdateScrollPos(int n)
{
  FSyncingScrollBar = true;
  verticalScrollBar()->setValue(n);
  FSyncingScrollBar = false;
}

void THexDump::ScrollTo(int n)
{
  n = ClampLine(n, ContentLines());
  if (n == FFirstVisibleLine)
    return;
  const int d = FFirstVisibleLine - n;
  FFirstVisibleLine = n;
  UpdateScrollPos(n);
  if (d != 1 && d != -1) {
    viewport()->update();
    return;
  }
  // One row: move the pixels that stay and paint only the row that comes in.
  const int width = viewport()->width();
  const int height = viewport()->height();
  viewport()->scroll(0, d * FRowHeight, QRect(1, 0, width - 1, height));
  if (d == 1)
    viewport()->update(0, 0, width, FRowHeight);
  else
    viewport()->update(0, height - FRowHeight, width, FRowHeight);
}

void THexDump::InvalidateLine(int line)
{
  viewport()->update(0, (line - FFirstVisibleLine) * FRowHeight, viewport()->width(), FRowHeight);
}

void THexDump::MarkLine(int n)
{
  n = ClampLine(n, FTotalLines);
  if (n == FMarkedLine)
    return;
  if (FMarkedLine >= FFirstVisibleLine && FMarkedLine < FFirstVisibleLine + FPageLines)
    InvalidateLine(FMarkedLine);
  FMarkedLine = n;
  InvalidateLine(FMarkedLine);
  RevealMarkedLine();
}

void THexDump::RevealMarkedLine()
{
  // The last line brings the note into view with it, where the page has
  // room for both.
  const bool withNote = !FNote.isEmpty() && FMarkedLine == FTotalLines - 1 && FPageLines >= 3;
  const int last = withNote ? FMarkedLine + 1 : FMarkedLine;
  if (FMarkedLine < FFirstVisibleLine)
    ScrollTo(FMarkedLine);
  else if (last >= FFirstVisibleLine + FPageLines - 1)
    ScrollTo(last - FPageLines + 2);
}

void THexDump::SetNote(const QString& note)
{
  if (note == FNote)
    return;
  FNote = note;
  RecalcLayout();
  UpdateScrollRange();
  viewport()->update();
}

void THexDump::InvalidateLines(int from, int to)
{
  const int first = std::max(from, FFirstVisibleLine);
  const int last = std::min(to, FFirstVisibleLine + FPageLines - 1);
  if (first > last)
    return;
  viewport()->update(0, (first - FFirstVisibleLine) * FRowHeight, viewport()->width(),
                     (last - first + 1) * FRowHeight);
}

void THexDump::SelectBytes(int first, int count)
{
  ClearSelection();
  if (!FHasData || FDataLength == 0 || count <= 0)
    return;
  FAnchor = std::clamp(first, 0, FDataLength - 1);
  ExtendSelectionTo(static_cast<int>(std::min<qint64>(qint64{FAnchor} + count - 1, FDataLength - 1)));
}

void THexDump::SelectAll()
{
  SelectBytes(0, FDataLength);
}

int THexDump::SelectionStart() const
{
  return FSelecting ? std::min(FAnchor, FCursor) : 0;
}

int THexDump::SelectionLength() const
{
  return FSelecting ? std::abs(FCursor - FAnchor) + 1 : 0;
}

std::span<const std::uint8_t> THexDump::CopyBytes() const
{
  if (!FHasData || FDataLength == 0)
    return {};
  const std::span<const std::uint8_t> all(FDataStart, static_cast<std::size_t>(FDataLength));
  if (!FSelecting)
    return all;
  return all.subspan(static_cast<std::size_t>(SelectionStart()),
                     static_cast<std::size_t>(SelectionLength()));
}

void THexDump::CopyHex() const
{
  if (const auto bytes = CopyBytes(); !bytes.empty())
    PutOnClipboard(QString::fromStdString(HexCopyText(bytes)));
}

void THexDump::CopyText() const
{
  if (const auto bytes = CopyBytes(); !bytes.empty())
    PutOnClipboard(QString::fromStdU16String(CharCopyText(bytes)));
}

void THexDump::CopyCArray() const
{
  if (const auto bytes = CopyBytes(); !bytes.empty())
    PutOnClipboard(QString::fromStdString(CArrayText(bytes)));
}

void THexDump::ClearSelection()
{
  if (!FSelecting)
    return;
  FSelecting = false;
  if (FLineBytes > 0)
    InvalidateLines(std::min(FAnchor, FCursor) / FLineBytes, std::max(FAnchor, FCursor) / FLineBytes);
}

void THexDump::ExtendSelectionTo(int byte)
{
  if (FLineBytes <= 0 || FDataLength == 0)
    return;
  byte = std::clamp(byte, 0, FDataLength - 1);
  // Lines between the old and the new moving end change; so does the
  // anchor's when the selection starts here.
  const int from = std::min({FAnchor, FCursor, byte}) / FLineBytes;
  const int to = std::max({FAnchor, FCursor, byte}) / FLineBytes;
  FCursor = byte;
  FSelecting = true;
  InvalidateLines(from, to);
  MarkLine(byte / FLineBytes);
}

bool THexDump::ExtendByKey(int key)
{
  const qint64 line = FLineBytes;
  qint64 target = FCursor;
  switch (key) {
  case Qt::Key_Left: target -= 1; break;
  case Qt::Key_Right: target += 1; break;
  case Qt::Key_Up: target -= line; break;
  case Qt::Key_Down: target += line; break;
  case Qt::Key_PageUp: target -= line * FPageLines; break;
  case Qt::Key_PageDown: target += line * FPageLines; break;
  case Qt::Key_Home: target = 0; break;
  case Qt::Key_End: target = FDataLength - 1; break;
  default: return false;
  }
  if (!FHasData || FDataLength == 0)
    return true;
  if (!FSelecting)
    FAnchor = FCursor;
  ExtendSelectionTo(static_cast<int>(std::clamp<qint64>(target, 0, FDataLength - 1)));
  return true;
}

void THexDump::InvalidateMarkedLine()
{
  if (FShowLineMarker)
    InvalidateLine(FMarkedLine);
}

void THexDump::SetBorder(TBorderStyle value)
{
  if (value == FBorder)
    return;
  FBorder = value;
  setFrameStyle(value == TBorderStyle::bsSingle ? (QFrame::StyledPanel | QFrame::Sunken)
                                                : QFrame::NoFrame);
}

void THexDump::SetShowAddress(bool value)
{
  if (value == FShowAddress)
    return;
  FShowAddress = value;
  RecalcLayout();
  viewport()->update();
  UpdateScrollRange();
}

void THexDump::SetShowCharacters(bool value)
{
  if (value == FShowCharacters)
    return;
  FShowCharacters = value;
  RecalcLayout();
  viewport()->update();
  UpdateScrollRange();
}

void THexDump::SetShowLineMarker(bool value)
{
  if (value == FShowLineMarker)
    return;
  FShowLineMarker = value;
  viewport()->update();
}

void THexDump::SetLineMarkerFramed(bool value)
{
  if (value == FLineMarkerFramed)
    return;
  FLineMarkerFramed = value;
  viewport()->update();
}

void THexDump::SetRelativeAddress(bool value)
{
  if (value == FRelativeAddress)
    return;
  FRelativeAddress = value;
  if (FShowAddress)
    viewport()->update();
}

void THexDump::SetColor(TColorIndex index, const QColor& value)
{
  if (FColors[index] == value)
    return;
  FColors[index] = value;
  viewport()->update();
}

bool THexDump::event(QEvent* e)
{
  // Take the navigation keys before any shortcut or focus chain can: they
  // move the marked line here.
  if (e->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(e);
    const bool ownKey = (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::ShiftModifier) &&
                        IsOwnKey(key->key());
    if (ownKey || key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) {
      e->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(e);
}

void THexDump::changeEvent(QEvent* e)
{
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange)
    UpdateMetrics();
  if (e->type() == QEvent::PaletteChange)
    UpdateBandColors();
}

void THexDump::resizeEvent(QResizeEvent* e)
{
  QAbstractScrollArea::resizeEvent(e);
  RecalcLayout();
  UpdateScrollRange();
}

void THexDump::keyPressEvent(QKeyEvent* e)
{
  if (e->matches(QKeySequence::Copy)) {
    e->accept();
    CopyHex();
    return;
  }
  if (e->matches(QKeySequence::SelectAll)) {
    e->accept();
    SelectAll();
    return;
  }
  if (e->modifiers() == Qt::ShiftModifier && ExtendByKey(e->key())) {
    e->accept();
    return;
  }
  const std::optional<TDumpKey> key = DumpKeyOf(e->key());
  if (!key) {
    if (IsOwnKey(e->key()))
      e->accept();
    else
      QWidget::keyPressEvent(e);
    return;
  }
  e->accept();
  if (!FHasData)
    return;
  ClearSelection();
  MarkLine(KeyTargetLine(*key, FMarkedLine, FPageLines, FTotalLines));
  // Shift+keys go on from the marked line, in the column last used.
  if (FLineBytes > 0 && FDataLength > 0)
    FCursor = std::min(FMarkedLine * FLineBytes + FCursor % FLineBytes, FDataLength - 1);
}

void THexDump::mousePressEvent(QMouseEvent* e)
{
  if (!hasFocus())
    setFocus(Qt::MouseFocusReason);
  e->accept();
  if (e->button() != Qt::LeftButton || !FHasData || FRowHeight <= 0)
    return;
  const int x = static_cast<int>(e->position().x());
  const int y = static_cast<int>(e->position().y());
  const int byte = FDataLength > 0 ? ByteAtPoint(x, y, Geometry()) : -1;
  if ((e->modifiers() & Qt::ShiftModifier) && byte >= 0) {
    if (!FSelecting)
      FAnchor = FCursor;
    ExtendSelectionTo(byte);
    return;
  }
  ClearSelection();
  MarkLine(LineAtY(y, FRowHeight, FFirstVisibleLine));
  if (byte < 0)
    return;
  FAnchor = FCursor = byte;
  if (OnByteClick)
    OnByteClick(*this, byte);
}

void THexDump::mouseMoveEvent(QMouseEvent* e)
{
  e->accept();
  if (!(e->buttons() & Qt::LeftButton) || !FHasData || FDataLength == 0 || FRowHeight <= 0)
    return;
  const int byte = ByteAtPoint(static_cast<int>(e->position().x()),
                               static_cast<int>(e->position().y()), Geometry());
  // A press alone selects nothing; the drag starts once it leaves its byte.
  if (!FSelecting && byte == FAnchor)
    return;
  if (byte != FCursor || !FSelecting)
    ExtendSelectionTo(byte);
}

void THexDump::mouseReleaseEvent(QMouseEvent* e)
{
  e->accept();
}

void THexDump::contextMenuEvent(QContextMenuEvent* e)
{
  QMenu menu(this);
  const bool any = !CopyBytes().empty();
  QAction* hex = menu.addAction(QString::fromLatin1(kMenuCopyHex), this, &THexDump::CopyHex);
  hex->setShortcut(QKeySequence::Copy);
  menu.addAction(QString::fromLatin1(kMenuCopyText), this, &THexDump::CopyText);
  menu.addAction(QString::fromLatin1(kMenuCopyCArray), this, &THexDump::CopyCArray);
  menu.addSeparator();
  QAction* all = menu.addAction(QString::fromLatin1(kMenuSelectAll), this, &THexDump::SelectAll);
  all->setShortcut(QKeySequence::SelectAll);
  for (QAction* action : menu.actions())
    action->setEnabled(any);
  e->accept();
  menu.exec(e->globalPos());
}

void THexDump::focusInEvent(QFocusEvent* e)
{
  QAbstractScrollArea::focusInEvent(e);
  InvalidateMarkedLine();
}

void THexDump::focusOutEvent(QFocusEvent* e)
{
  QAbstractScrollArea::focusOutEvent(e);
  InvalidateMarkedLine();
}

void THexDump::OnScrollBarAction(int action)
{
  QScrollBar* bar = verticalScrollBar();
  if (FDataLength == 0 || !FHasData) {
    bar->setSliderPosition(FFirstVisibleLine);
    return;
  }
  const std::optional<int> target = ScrollTargetLine(ScrollCodeOf(action), FFirstVisibleLine,
                                                     FPageLines, ContentLines(), bar->sliderPosition());
  bar->setSliderPosition(target ? ClampLine(*target, ContentLines()) : FFirstVisibleLine);
}

void THexDump::scrollContentsBy(int, int)
{
  // The bar's value has changed by a user action (OnScrollBarAction already
  // chose it); ScrollTo's own moves of the bar are echoes to ignore.
  if (FSyncingScrollBar)
    return;
  if (FDataLength == 0 || !FHasData) {
    UpdateScrollPos(FFirstVisibleLine);
    return;
  }
  ScrollTo(verticalScrollBar()->value());
}

void THexDump::paintEvent(QPaintEvent* e)
{
  QPainter painter(viewport());
  const QRect area = e->rect();
  painter.fillRect(area, palette().color(QPalette::Base));
  if (FRowHeight < 1 || FPageLines == 0)
    return;
  const int firstRow = std::max(area.top() / FRowHeight, 0);
  const int lastRow = std::min(area.bottom() / FRowHeight, FPageLines - 1);
  for (int row = firstRow; row <= lastRow; ++row)
    PaintRow(painter, row);
}

void THexDump::PaintRow(QPainter& painter, int row)
{
  const int line = FFirstVisibleLine + row;
  const int clientWidth = viewport()->width();
  const int top = row * FRowHeight;
  if (line == FTotalLines && !FNote.isEmpty()) {
    painter.setPen(QColor(kNoteColor));
    painter.drawText(QRect(1, top, std::max(clientWidth - 1, 0), FRowHeight), kTextFlags, FNote);
    return;
  }
  if (line >= FTotalLines || FDataStart == nullptr)
    return;  // past the data: the background fill is all
  const int addressWidth = FShowAddress ? kAddressCells * FCellWidth : 0;
  const std::size_t lineStart = static_cast<std::size_t>(line) * static_cast<std::size_t>(FLineBytes);
  const int count = LineByteCount(line, FDataLength, FLineBytes);
  const std::span<const std::uint8_t> bytes(FDataStart + lineStart, static_cast<std::size_t>(count));

  int left = 1;
  if (FShowAddress) {
    const std::uint64_t address =
        FRelativeAddress ? lineStart : reinterpret_cast<std::uintptr_t>(bytes.data());
    FormatAddress(address, FAddressText);
    painter.setPen(FColors[ciAddress]);
    painter.drawText(QRect(left, top, addressWidth, FRowHeight), kTextFlags,
                     RawText(FAddressText.data(), kAddressCells));
    left += addressWidth;
  }

  const bool marked = FShowLineMarker && line == FMarkedLine;
  const QRect marker(addressWidth, top, 3 * FLineBytes * FCellWidth - FCellWidth + 1, FRowHeight);
  const bool filled = marked && !FLineMarkerFramed;
  if (filled) {
    painter.fillRect(marker, palette().color(QPalette::Highlight));
    painter.setPen(palette().color(QPalette::HighlightedText));
  } else {
    painter.setPen(FColors[ciHexData]);
  }

  const int charLeft = 3 * FLineBytes * FCellWidth + addressWidth;
  if (!FBands.empty() || FActiveCount > 0)
    PaintBands(painter, lineStart, count, top, left, charLeft);

  // The selected bytes of this line, first to last column.
  const qint64 selFirst = qint64{SelectionStart()} - static_cast<qint64>(lineStart);
  const qint64 selLast = selFirst + SelectionLength() - 1;
  const int kFirst = static_cast<int>(std::max<qint64>(selFirst, 0));
  const int kLast = static_cast<int>(std::min<qint64>(selLast, count - 1));
  const bool selected = FSelecting && kFirst <= kLast;
  QColor selection = palette().color(QPalette::Highlight);
  if (filled)
    selection = selection.darker(kMarkedSelectionDarker);
  else
    selection.setAlpha(kSelectionAlpha);
  if (selected)
    painter.fillRect(QRect(left + 3 * kFirst * FCellWidth, top,
                           3 * (kLast - kFirst) * FCellWidth + 2 * FCellWidth, FRowHeight),
                     selection);

  // Each pair sits on the cell grid (3 cells a byte), as a tab stop would put it.
  FormatHex(bytes, FHexText);
  for (int k = 0; k < count; ++k)
    painter.drawText(QRect(left + 3 * k * FCellWidth, top, 2 * FCellWidth, FRowHeight), kTextFlags,
                     RawText(FHexText.data() + 3 * k, 2));

  if (marked && FLineMarkerFramed) {
    // Faint while another part has the keys, plain when the dump has them.
    QColor frame = palette().color(QPalette::Highlight);
    frame.setAlpha(hasFocus() ? kFramedMarkerFocusAlpha : kFramedMarkerAlpha);
    painter.setPen(QPen(frame, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(marker.adjusted(0, 0, -1, -1));
  } else if (marked && hasFocus()) {
    painter.setPen(FFocusPen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(marker.adjusted(0, 0, -1, -1));
  }

  if (FShowCharacters) {
    if (selected) {
      const int advance = std::max(FCellWidth - 1, 1);
      painter.fillRect(QRect(charLeft + kFirst * advance, top, (kLast - kFirst + 1) * advance, FRowHeight),
                       selection);
    }
    FormatChars(bytes, FCharText);
    painter.setPen(FColors[ciAnsiChar]);
    painter.drawText(QRect(charLeft, top, std::max(clientWidth - charLeft, 0), FRowHeight),
                     kTextFlags, RawText(FCharText.data(), count));
  }
}

void THexDump::UpdateBandColors()
{
  // Faint tints that alternate between neighbouring fields, a grey for the
  // bytes between parts, a red for a field the record ends in; the field in
  // hand a stronger amber that reads over both the tints and the marker.
  const QColor base = palette().color(QPalette::Base);
  const bool dark = base.lightness() < 128;
  const int alpha = dark ? 70 : 45;
  FBandColors = {QColor(64, 128, 255, alpha), QColor(40, 180, 120, alpha), QColor(128, 128, 128, alpha + 20),
                 QColor(220, 50, 40, alpha + 20)};
  FActiveColor = QColor(255, 170, 0, dark ? 150 : 130);
  viewport()->update();
}

void THexDump::SetBands(std::vector<HexFormat::THexBand> bands)
{
  FBands = std::move(bands);
  viewport()->update();
}

void THexDump::InvalidateBytes(int first, int count)
{
  if (FLineBytes <= 0 || count <= 0)
    return;
  InvalidateLines(first / FLineBytes, (first + count - 1) / FLineBytes);
}

void THexDump::SetActiveBand(int first, int count)
{
  first = std::max(first, 0);
  count = std::max(count, 0);
  if (first == FActiveFirst && count == FActiveCount)
    return;
  // Only the lines of the old and the new band change.
  InvalidateBytes(FActiveFirst, FActiveCount);
  FActiveFirst = first;
  FActiveCount = count;
  InvalidateBytes(FActiveFirst, FActiveCount);
}

void THexDump::RevealByte(int byte)
{
  if (!FHasData || FLineBytes <= 0 || FDataLength == 0)
    return;
  MarkLine(std::clamp(byte, 0, FDataLength - 1) / FLineBytes);
}

int THexDump::WidthForLineBytes(int lineBytes) const
{
  const int cells = (FShowAddress ? kAddressCells : 0) + (FShowCharacters ? 4 : 3) * lineBytes;
  return cells * FCellWidth + 2 * frameWidth() + verticalScrollBar()->sizeHint().width() + 2;
}

void THexDump::PaintBands(QPainter& painter, std::size_t lineStart, int count, int top, int left, int charLeft)
{
  const auto start = static_cast<int>(lineStart);
  const int end = start + count;
  const int advance = std::max(FCellWidth - 1, 1);
  const auto fill = [&](int from, int to, const QColor& color) {
    // Bytes [from, to) of this line: their hex pairs with the gaps between,
    // and their characters.
    const int k0 = from - start;
    const int k1 = to - start;
    painter.fillRect(QRect(left + 3 * k0 * FCellWidth, top, 3 * (k1 - k0) * FCellWidth - FCellWidth, FRowHeight), color);
    if (FShowCharacters)
      painter.fillRect(QRect(charLeft + k0 * advance, top, (k1 - k0) * advance, FRowHeight), color);
  };
  for (std::size_t i = FirstBandEndingAfter(FBands, start); i < FBands.size() && FBands[i].First < end; ++i) {
    const THexBand& band = FBands[i];
    const int from = std::max(band.First, start);
    const int to = std::min(band.First + band.Count, end);
    if (from < to)
      fill(from, to, FBandColors[band.Shade < FBandColors.size() ? band.Shade : 0]);
  }
  const int from = std::max(FActiveFirst, start);
  const int to = std::min(FActiveFirst + FActiveCount, end);
  if (from < to)
    fill(from, to, FActiveColor);
}
