#pragma once

#include "hexdump/HexFormat.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QPen>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

/// Frame of the hex dump.
enum class TBorderStyle { bsNone, bsSingle };

/// Shows a block of bytes as lines of an address, the bytes in hexadecimal
/// and the same bytes as characters, with a marked line that the keys and
/// the mouse move and a vertical scroll bar that moves the view.
///
/// Bytes can be selected (mouse drag, Shift with the arrow and paging keys)
/// and copied as hex text, as text or as a C array (Ctrl+C and the context
/// menu); with nothing selected a copy takes every byte shown. A note (such
/// as a record cut short) can follow the last line.
///
/// The control never copies or owns the bytes: whoever hands it a block keeps
/// the block alive until the next SetDataStart/SetData or the control's end.
class THexDump : public QAbstractScrollArea {
  Q_OBJECT

public:
  explicit THexDump(QWidget* parent = nullptr);

  /// Shows the bytes from `p` on (nullptr: no data, which also empties the
  /// length). With data, line 0 becomes the marked line and the top line.
  /// Drops the selection and the note. Keeps `p`, does not copy; call
  /// SetDataLength next.
  void SetDataStart(const std::uint8_t* p);
  /// Number of bytes to show from the data start (0 or more); lays the lines
  /// out again.
  void SetDataLength(int n);
  /// SetDataStart then SetDataLength; an empty span means no data. Keeps the
  /// span, does not copy.
  void SetData(std::span<const std::uint8_t> bytes);

  /// Recomputes bytes per line, rows per page and total lines from the client
  /// size and the metrics, then pulls the marked and first lines back into
  /// the data.
  void RecalcLayout();
  /// Scroll range 0 .. TotalLines - 1.
  void UpdateScrollRange();
  /// Makes line `n` (clamped into the data) the top row. A move by one row
  /// shifts the pixels and repaints only the row that comes into view.
  void ScrollTo(int n);
  /// Marks line `n` (clamped into the data), repainting only the two rows
  /// concerned, and scrolls it into view.
  void MarkLine(int n);
  /// Scrolls so that the marked line is a wholly visible row (and the note
  /// too when the marked line is the last).
  void RevealMarkedLine();

  /// A line of text drawn after the last line of data (empty: none). Shown
  /// with or without data; the next SetDataStart drops it.
  void SetNote(const QString& note);
  const QString& Note() const { return FNote; }

  /// Selects `count` bytes from `first` (clamped into the data; 0 selects
  /// nothing).
  void SelectBytes(int first, int count);
  void SelectAll();
  int SelectionStart() const;
  /// Bytes selected; 0 when nothing is.
  int SelectionLength() const;
  /// The selected bytes, or every byte shown when nothing is selected.
  std::span<const std::uint8_t> CopyBytes() const;
  /// Put CopyBytes() on the clipboard as hex pairs, as text (the character
  /// column's characters) or as a C array.
  void CopyHex() const;
  void CopyText() const;
  void CopyCArray() const;

  /// Tints behind the bytes of each field (sorted by First, not
  /// overlapping; clamped into the data when painted). Kept until the next
  /// SetBands or SetDataStart.
  void SetBands(std::vector<HexFormat::THexBand> bands);
  const std::vector<HexFormat::THexBand>& Bands() const { return FBands; }
  /// The strong band of the field in hand: `count` bytes from `first`
  /// (0 bytes: none), drawn over the others. SetDataStart drops it.
  void SetActiveBand(int first, int count);
  int ActiveBandFirst() const { return FActiveFirst; }
  int ActiveBandCount() const { return FActiveCount; }
  /// Marks the line of byte `byte` and scrolls it into view.
  void RevealByte(int byte);
  /// The width the control needs to show `lineBytes` bytes a line with its
  /// columns, frame and scroll bar.
  int WidthForLineBytes(int lineBytes) const;

  /// A click on a byte (left button, no Shift): sender and the byte.
  std::function<void(THexDump& sender, int byte)> OnByteClick;

  bool HasData() const { return FHasData; }
  int DataLength() const { return FDataLength; }
  int FirstVisibleLine() const { return FFirstVisibleLine; }
  int MarkedLine() const { return FMarkedLine; }
  int PageLines() const { return FPageLines; }
  int TotalLines() const { return FTotalLines; }
  int LineBytes() const { return FLineBytes; }
  int RowHeight() const { return FRowHeight; }
  int CellWidth() const { return FCellWidth; }

  TBorderStyle Border() const { return FBorder; }
  void SetBorder(TBorderStyle value);
  bool ShowAddress() const { return FShowAddress; }
  void SetShowAddress(bool value);
  bool ShowCharacters() const { return FShowCharacters; }
  void SetShowCharacters(bool value);
  bool ShowLineMarker() const { return FShowLineMarker; }
  void SetShowLineMarker(bool value);
  /// The marked line drawn as a faint frame round its hex pairs rather than
  /// a filled bar (off by default): where bands tint the fields, a filled
  /// line reads as a selection and hides its bands.
  bool LineMarkerFramed() const { return FLineMarkerFramed; }
  void SetLineMarkerFramed(bool value);
  /// Addresses from the start of the data instead of memory addresses.
  bool RelativeAddress() const { return FRelativeAddress; }
  void SetRelativeAddress(bool value);

  enum TColorIndex { ciAddress = 0, ciHexData = 1, ciAnsiChar = 2 };
  QColor Color(TColorIndex index) const { return FColors[index]; }
  void SetColor(TColorIndex index, const QColor& value);
  QColor AddressColor() const { return Color(ciAddress); }
  void SetAddressColor(const QColor& value) { SetColor(ciAddress, value); }
  QColor HexDataColor() const { return Color(ciHexData); }
  void SetHexDataColor(const QColor& value) { SetColor(ciHexData, value); }
  QColor AnsiCharColor() const { return Color(ciAnsiChar); }
  void SetAnsiCharColor(const QColor& value) { SetColor(ciAnsiChar, value); }

  QSize sizeHint() const override { return {300, 200}; }

protected:
  bool event(QEvent* e) override;
  void changeEvent(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  void UpdateMetrics();
  void UpdateScrollPos(int n);
  void InvalidateLine(int line);
  void InvalidateMarkedLine();
  void OnScrollBarAction(int action);
  void PaintRow(class QPainter& painter, int row);
  /// Fills the bands' tints of one line: bytes [lineStart, lineStart + count)
  /// at `top`; the hex cells from `left`, the characters from `charLeft`.
  void PaintBands(class QPainter& painter, std::size_t lineStart, int count, int top, int left, int charLeft);
  void InvalidateBytes(int first, int count);
  /// The tints, from the palette (on creation and palette changes).
  void UpdateBandColors();
  /// Lines of content: the data's and the note's.
  int ContentLines() const;
  HexFormat::TDumpGeometry Geometry() const;
  void InvalidateLines(int from, int to);
  /// Moves the selection's moving end to byte `byte`, marks its line and
  /// repaints the lines whose selection changed.
  void ExtendSelectionTo(int byte);
  void ClearSelection();
  bool ExtendByKey(int key);

  bool FHasData = false;
  const std::uint8_t* FDataStart = nullptr;
  int FDataLength = 0;
  int FFirstVisibleLine = 0;
  int FMarkedLine = 0;
  int FPageLines = 0;
  int FTotalLines = 0;
  int FLineBytes = 0;
  int FRowHeight = 0;
  int FCellWidth = 0;
  int FAscent = 0;
  std::array<QColor, 3> FColors;
  bool FShowLineMarker = true;
  bool FLineMarkerFramed = false;
  bool FShowCharacters = true;
  bool FShowAddress = true;
  bool FRelativeAddress = false;
  TBorderStyle FBorder = TBorderStyle::bsSingle;
  QString FNote;
  // The selection runs from FAnchor to FCursor, both included, while
  // FSelecting; FCursor is also where Shift+keys start from.
  int FAnchor = 0;
  int FCursor = 0;
  bool FSelecting = false;
  // True while ScrollTo moves the scroll bar itself, so the bar's echo does
  // not scroll a second time.
  bool FSyncingScrollBar = false;

  // Line texts, written in place for each row painted; the TABs of the hex
  // text are written once, here, and never again.
  std::array<char16_t, HexFormat::kHexTextSize> FHexText{};
  std::array<char16_t, HexFormat::kMaxLineBytes> FCharText{};
  std::array<char16_t, HexFormat::kAddressCells> FAddressText{};
  QPen FFocusPen;
  std::vector<HexFormat::THexBand> FBands;
  int FActiveFirst = 0;
  int FActiveCount = 0;
  std::array<QColor, HexFormat::kShadeCount> FBandColors;
  QColor FActiveColor;
};
