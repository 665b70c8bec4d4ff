#include "hexdump/HexFormat.h"

#include "platform/text/HexText.h"

#include <algorithm>
#include <cassert>

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

}  // namespace HexFormat
