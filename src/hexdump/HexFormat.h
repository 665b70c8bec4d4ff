#pragma once

// Layout arithmetic, line texts and hit-testing of the hex dump, as plain
// functions: the widget calls them, and tests run them without a window.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace HexFormat {

/// Cells of the address column: 8 hexadecimal digits, a colon and a space.
inline constexpr int kAddressCells = 10;
/// Most bytes one line shows.
inline constexpr int kMaxLineBytes = 16;
/// Characters of the hex line text: a pair and a TAB separator per byte.
inline constexpr int kHexTextSize = 3 * kMaxLineBytes;
inline constexpr char16_t kTab = u'\t';

/// Bytes per line for a client `clientWidth` pixels wide of `cellWidth`-pixel
/// cells: a byte takes three cells in the hex column and one in the character
/// column; the address column takes 10. Always 1 to 16. `cellWidth` > 0.
int LineBytesForWidth(int clientWidth, int cellWidth, bool showAddress, bool showCharacters);

/// Rows drawn for a client `clientHeight` pixels high: the whole rows plus one
/// partial row. `rowHeight` > 0.
int PageLinesForHeight(int clientHeight, int rowHeight);

/// Lines `dataLength` bytes need at `lineBytes` a line (the last may be partial).
int TotalLinesFor(int dataLength, int lineBytes);

/// Bytes on line `line`: `lineBytes`, except on the last line of data whose
/// length is not a multiple of `lineBytes`. 0 for a line outside the data.
int LineByteCount(int line, int dataLength, int lineBytes);

/// `n` pulled into 0 .. totalLines - 1 (0 when there are no lines).
int ClampLine(int n, int totalLines);

/// The line under the vertical pixel position `y` of the client area (not
/// clamped: a position under the last line gives a line past it).
int LineAtY(int y, int rowHeight, int firstVisibleLine);

/// The keys that move the marked line.
enum class TDumpKey { dkPageUp, dkPageDown, dkHome, dkEnd, dkUp, dkDown };

/// The line a key asks `MarkLine` for (before clamping): Page Up/Down move by
/// `pageLines`, Up/Down by one, Home to 0, End to the last line.
int KeyTargetLine(TDumpKey key, int markedLine, int pageLines, int totalLines);

/// What the vertical scroll bar asks for.
enum class TScrollCode {
  scLineUp,
  scLineDown,
  scPageUp,
  scPageDown,
  scThumb,  // thumb dragged or released at `position`
  scTop,
  scBottom,
  scEnd,  // end of a scroll: no change
};

/// The line a scroll-bar request asks `ScrollTo` for, or nothing. A page on
/// the scroll bar is one line less than a page of the keys, so one row of
/// context stays in view.
std::optional<int> ScrollTargetLine(TScrollCode code, int firstVisibleLine, int pageLines,
                                    int totalLines, int position);

/// Writes the address column: `value` as 8 uppercase hexadecimal digits (its
/// low 32 bits), a colon and a space. Always 10 characters.
void FormatAddress(std::uint64_t value, std::span<char16_t, kAddressCells> out);

/// Writes the hex pairs of `bytes` (at most 16) into `text`, a 48-character
/// buffer whose every third position (2, 5, 8, ...) holds a TAB that this
/// never overwrites. Returns the length to draw: 3 * count - 1 (no TAB after
/// the last pair), 0 for no bytes.
int FormatHex(std::span<const std::uint8_t> bytes, std::span<char16_t, kHexTextSize> text);

/// A 48-character hex text with its TABs in place, ready for FormatHex.
void InitHexText(std::span<char16_t, kHexTextSize> text);

/// Writes the character column of `bytes` (at most 16): each byte below 0x20
/// becomes "."; every other byte stands for its character in Windows-1252,
/// the code page of the workbooks this shows. Returns the count written.
int FormatChars(std::span<const std::uint8_t> bytes, std::span<char16_t, kMaxLineBytes> out);

/// Where the columns of the dump lie, for hit-testing.
struct TDumpGeometry {
  int RowHeight = 0;   // > 0
  int CellWidth = 0;   // > 0
  int LineBytes = 0;   // 1 to 16
  int FirstVisibleLine = 0;
  int DataLength = 0;
  bool ShowAddress = true;
  bool ShowCharacters = true;
};

/// The byte under client position (`x`, `y`): in the hex column a byte owns
/// its pair and the gap after it, in the character column its character
/// cell (one pixel less than a cell, the font's own advance); left of the hex
/// column is the line's first byte. Clamped into the data; -1 without data.
int ByteAtPoint(int x, int y, const TDumpGeometry& geometry);

/// A run of bytes painted behind the text: one field of the record shown.
struct THexBand {
  int First = 0;
  int Count = 0;
  /// Which tint: 0 and 1 alternate between neighbouring fields; kShadeHeader
  /// marks bytes that are no field (a CONTINUE record's header between the
  /// parts of a record); kShadeMissing a field the record ends in.
  std::uint8_t Shade = 0;
};
inline constexpr std::uint8_t kShadeHeader = 2;
inline constexpr std::uint8_t kShadeMissing = 3;
inline constexpr int kShadeCount = 4;

/// `bands` in byte order, each starting no earlier than the one before it
/// ends (an inner field and the one holding it), empty ones left out.
std::vector<THexBand> SortedWithoutOverlaps(std::vector<THexBand> bands);

/// Index of the first band of `bands` (sorted by First, not overlapping)
/// that ends after byte `byte`; bands.size() when none does.
std::size_t FirstBandEndingAfter(std::span<const THexBand> bands, int byte);

/// Bytes per line of the copied texts.
inline constexpr int kCopyHexLineBytes = 16;
inline constexpr int kCopyArrayLineBytes = 12;

/// `bytes` as uppercase hex pairs separated by spaces, 16 a line, lines
/// joined by "\n", no line break at the end ("09 08 10 00").
std::string HexCopyText(std::span<const std::uint8_t> bytes);
/// `bytes` as the character column shows them (FormatChars' rule), one line.
std::u16string CharCopyText(std::span<const std::uint8_t> bytes);
/// `bytes` as a C array definition, 12 bytes a line:
///   const unsigned char bytes[3] = {
///       0x09, 0x08, 0x10
///   };
std::string CArrayText(std::span<const std::uint8_t> bytes);

}  // namespace HexFormat
