#include "hexdump/HexFormat.h"

#include "platform/text/HexText.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>

namespace HexFormat {

int LineBytesForWidth(int clientWidth, int cellWidth, bool showAddress, bool showCharacters)
{
  assert(cellWidth > 0 && "metrics are set before the layout");
  int cells = clientWidth / cellWidth;
  if (showAddress)
    cells -= kAddressCells;
  const int bytes = showCharacters ? cells / 4 : cells / 3;
  return std::clamp(bytes, 1, kMaxLineBytes);
}

int PageLinesForHeight(int clientHeight, int rowHeight)
{
  assert(rowHeight > 0 && "metrics are set before the layout");
  return clientHeight / rowHeight + 1;
}

int TotalLinesFor(int dataLength, int lineBytes)
{
  if (dataLength <= 0 || lineBytes <= 0)
    return 0;
  return dataLength / lineBytes + (dataLength % lineBytes != 0 ? 1 : 0);
}

int LineByteCount(int line, int dataLength, int lineBytes)
{
  const int total = TotalLinesFor(dataLength, lineBytes);
  if (line < 0 || line >= total)
    return 0;
  const int rest = dataLength % lineBytes;
  return (line == total - 1 && rest != 0) ? rest : lineBytes;
}

int ClampLine(int n, int totalLines)
{
  if (n >= totalLines)
    n = totalLines - 1;
  return n < 0 ? 0 : n;
}

int LineAtY(int y, int rowHeight, int firstVisibleLine)
{
  return y / rowHeight + firstVisibleLine;
}

int KeyTargetLine(TDumpKey key, int markedLine, int pageLines, int totalLines)
{
  switch (key) {
  case TDumpKey::dkPageUp:
    return markedLine - pageLines;
  case TDumpKey::dkPageDown:
    return markedLine + pageLines;
  case TDumpKey::dkHome:
    return 0;
  case TDumpKey::dkEnd:
    return totalLines - 1;
  case TDumpKey::dkUp:
    return markedLine - 1;
  case TDumpKey::dkDown:
    return markedLine + 1;
  }
  return markedLine;
}

std::optional<int> ScrollTargetLine(TScrollCode code, int firstVisibleLine, int pageLines,
                                    int totalLines, int position)
{
  switch (code) {
  case TScrollCode::scLineUp:
    return firstVisibleLine - 1;
  case TScrollCode::scLineDown:
    return firstVisibleLine + 1;
  case TScrollCode::scPageUp:
    return firstVisibleLine - (pageLines - 1);
  case TScrollCode::scPageDown:
    return firstVisibleLine + (pageLines - 1);
  case TScrollCode::scThumb:
    return position;
  case TScrollCode::scTop:
    return 0;
  case TScrollCode::scBottom:
    return totalLines - 1;
  case TScrollCode::scEnd:
    break;
  }
  return std::nullopt;
}

void FormatAddress(std::uint64_t value, std::span<char16_t, kAddressCells> out)
{
  for (int i = 7; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = static_cast<char16_t>(kHexDigits[value & 0x0F]);
    value >>= 4;
  }
  out[8] = u':';
  out[9] = u' ';
}

void InitHexText(std::span<char16_t, kHexTextSize> text)
{
  std::fill(text.begin(), text.end(), kTab);
}

int FormatHex(std::span<const std::uint8_t> bytes, std::span<char16_t, kHexTextSize> text)
{
  const std::size_t count = std::min<std::size_t>(bytes.size(), kMaxLineBytes);
  for (std::size_t k = 0; k < count; ++k) {
    text[3 * k] = static_cast<char16_t>(kHexDigits[bytes[k] >> 4]);
    text[3 * k + 1] = static_cast<char16_t>(kHexDigits[bytes[k] & 0x0F]);
  }
  return count == 0 ? 0 : static_cast<int>(3 * count - 1);
}

int FormatChars(std::span<const std::uint8_t> bytes, std::span<char16_t, kMaxLineBytes> out)
{
  const std::size_t count = std::min<std::size_t>(bytes.size(), kMaxLineBytes);
  for (std::size_t k = 0; k < count; ++k) {
    out[k] = HexColumnChar(bytes[k]);
  }
  return static_cast<int>(count);
}

int ByteAtPoint(int x, int y, const TDumpGeometry& g)
{
  assert(g.RowHeight > 0 && g.CellWidth > 0 && g.LineBytes > 0 && "metrics are set before hit-testing");
  if (g.DataLength <= 0)
    return -1;
  const int total = TotalLinesFor(g.DataLength, g.LineBytes);
  // Above the client area counts as the line above the first visible one.
  const int line = ClampLine(y < 0 ? g.FirstVisibleLine - 1 : LineAtY(y, g.RowHeight, g.FirstVisibleLine),
                             total);
  const int addressWidth = g.ShowAddress ? kAddressCells * g.CellWidth : 0;
  const int hexLeft = 1 + addressWidth;
  const int charLeft = 3 * g.LineBytes * g.CellWidth + addressWidth;
  int column = 0;
  if (g.ShowCharacters && x >= charLeft)
    column = (x - charLeft) / std::max(g.CellWidth - 1, 1);
  else if (x >= hexLeft)
    column = (x - hexLeft) / (3 * g.CellWidth);
  column = std::clamp(column, 0, g.LineBytes - 1);
  return std::min(line * g.LineBytes + column, g.DataLength - 1);
}

std::size_t FirstBandEndingAfter(std::span<const THexBand> bands, int byte)
{
  // Bands do not overlap, so their ends are sorted as their starts are.
  const auto it = std::upper_bound(bands.begin(), bands.end(), byte, [](int b, const THexBand& band) {
    return b < band.First + band.Count;
  });
  return static_cast<std::size_t>(it - bands.begin());
}

std::string HexCopyText(std::span<const std::uint8_t> bytes)
{
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0)
      text += i % kCopyHexLineBytes == 0 ? '\n' : ' ';
    AppendHexByte(text, bytes[i]);
  }
  return text;
}

std::u16string CharCopyText(std::span<const std::uint8_t> bytes)
{
  std::u16string text;
  text.reserve(bytes.size());
  std::array<char16_t, kMaxLineBytes> line{};
  for (std::size_t at = 0; at < bytes.size(); at += kMaxLineBytes) {
    const std::size_t count = std::min<std::size_t>(kMaxLineBytes, bytes.size() - at);
    FormatChars(bytes.subspan(at, count), line);
    text.append(line.data(), count);
  }
  return text;
}

std::string CArrayText(std::span<const std::uint8_t> bytes)
{
  std::string text = "const unsigned char bytes[" + std::to_string(bytes.size()) + "] = {\n";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text += i % kCopyArrayLineBytes == 0 ? "    " : " ";
    char pair[8];
    std::snprintf(pair, sizeof pair, "0x%c%c", kHexDigits[bytes[i] >> 4], kHexDigits[bytes[i] & 0x0F]);
    text += pair;
    if (i + 1 < bytes.size())
      text += ',';
    if (i + 1 == bytes.size() || (i + 1) % kCopyArrayLineBytes == 0)
      text += '\n';
  }
  text += "};\n";
  return text;
}

std::vector<THexBand> SortedWithoutOverlaps(std::vector<THexBand> bands)
{
  std::stable_sort(bands.begin(), bands.end(), [](const THexBand& a, const THexBand& b) { return a.First < b.First; });
  std::vector<THexBand> clean;
  clean.reserve(bands.size());
  int end = 0;
  for (THexBand band : bands) {
    if (band.First < end) {
      band.Count -= end - band.First;
      band.First = end;
    }
    if (band.Count <= 0)
      continue;
    clean.push_back(band);
    end = band.First + band.Count;
  }
  return clean;
}

}  // namespace HexFormat
