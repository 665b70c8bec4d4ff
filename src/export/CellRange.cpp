#include "export/CellRange.h"

#include "export/ExportMessages.h"
#include "platform/Errors.h"
#include "platform/text/TextFormat.h"

#include <algorithm>
#include <optional>
#include <string>

namespace {

/// One corner: a column, a row, or both; -1 for the part left out.
struct TCorner {
  int Row = -1;
  int Column = -1;
};

/// corner := ["$"] letters ["$"] digits | ["$"] letters | ["$"] digits
std::optional<TCorner> ParseCorner(std::string_view text)
{
  TCorner corner;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '$')
    ++i;
  long long column = 0;
  std::size_t letters = 0;
  for (; i < text.size(); ++i, ++letters) {
    const char c = text[i];
    const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper < 'A' || upper > 'Z')
      break;
    column = column * 26 + (upper - 'A' + 1);
    if (column > kMostRangeColumns)
      return std::nullopt;
  }
  if (letters > 0)
    corner.Column = static_cast<int>(column - 1);
  if (i < text.size() && text[i] == '$') {
    if (letters == 0)
      return std::nullopt;  // "$$1"
    ++i;
  }
  long long row = 0;
  std::size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    row = row * 10 + (text[i] - '0');
    if (row > kMostRangeRows)
      return std::nullopt;
  }
  if (i != text.size() || (letters == 0 && digits == 0))
    return std::nullopt;
  if (digits > 0) {
    if (row == 0)
      return std::nullopt;
    corner.Row = static_cast<int>(row - 1);
  }
  return corner;
}

}  // namespace

TCellRange ParseCellRange(std::string_view text)
{
  const auto fail = [text]() -> TCellRange {
    throw EBiffLensError(FormatMessage(kMsgBadCellRange, text));
  };
  const std::size_t colon = text.find(':');
  const std::optional<TCorner> first = ParseCorner(text.substr(0, colon));
  if (!first)
    return fail();
  std::optional<TCorner> second = first;
  if (colon != std::string_view::npos)
    second = ParseCorner(text.substr(colon + 1));
  if (!second)
    return fail();
  // Both corners name the same kind of place: cells, columns or rows.
  const bool rows = first->Row >= 0;
  const bool columns = first->Column >= 0;
  if (rows != (second->Row >= 0) || columns != (second->Column >= 0))
    return fail();
  // A lone column or row ("A", "5") is no range; a lone cell is.
  if (colon == std::string_view::npos && !(rows && columns))
    return fail();
  TCellRange range;
  if (rows) {
    range.FirstRow = std::min(first->Row, second->Row);
    range.LastRow = std::max(first->Row, second->Row);
  }
  if (columns) {
    range.FirstColumn = std::min(first->Column, second->Column);
    range.LastColumn = std::max(first->Column, second->Column);
  }
  return range;
}
