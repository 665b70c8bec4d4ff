#include "export/CsvWriter.h"

#include <algorithm>
#include <cstring>

TCsvWriter::TCsvWriter(std::ostream& out, const TCsvFormat& format)
    : FOut(out), FFormat(format), FEol(format.Eol == TCsvEol::ceCrLf ? "\r\n" : "\n"),
      FBuffer(std::make_unique_for_overwrite<char[]>(kBufferSize))
{
  for (const char c : {format.Delimiter, '"', '\r', '\n'})
    FSpecial[static_cast<unsigned char>(c)] = true;
  if (format.Bom)
    Put("\xEF\xBB\xBF");
}

void TCsvWriter::Flush()
{
  if (FSize == 0)
    return;
  FOut.write(FBuffer.get(), static_cast<std::streamsize>(FSize));
  FSize = 0;
}

void TCsvWriter::Put(std::string_view text)
{
  if (text.size() > kBufferSize - FSize) {
    Flush();
    if (text.size() > kBufferSize) {
      FOut.write(text.data(), static_cast<std::streamsize>(text.size()));
      return;
    }
  }
  std::memcpy(FBuffer.get() + FSize, text.data(), text.size());
  FSize += text.size();
}

void TCsvWriter::PutField(std::string_view text, int row, int column, TCsvSheetResult& result)
{
  const bool special = std::any_of(text.begin(), text.end(), [this](char c) {
    return FSpecial[static_cast<unsigned char>(c)];
  });
  const bool quote = FFormat.Quote == TCsvQuote::cqAll || (special && FFormat.Quote == TCsvQuote::cqMinimal);
  if (!quote) {
    if (special && result.UnquotedFields++ == 0) {
      result.FirstUnquotedRow = row;
      result.FirstUnquotedColumn = column;
    }
    Put(text);
    return;
  }
  // RFC 4180: the field in quotes, each quote inside doubled.
  Put('"');
  for (std::size_t at = 0;;) {
    const std::size_t quoteAt = text.find('"', at);
    if (quoteAt == std::string_view::npos) {
      Put(text.substr(at));
      break;
    }
    Put(text.substr(at, quoteAt + 1 - at));
    Put('"');
    at = quoteAt + 1;
  }
  Put('"');
}

void TCsvWriter::PutEmptyFields(int from, int to, int first)
{
  for (int column = from; column < to; ++column) {
    if (column > first)
      Put(FFormat.Delimiter);
    if (FFormat.Quote == TCsvQuote::cqAll)
      Put("\"\"");
  }
}

void TCsvWriter::PutRow(int rowIndex, const TSpreadSheetRow& row, int first, int last,
                        TCsvFieldSource& source, TCsvSheetResult& result)
{
  int next = first;  // the next column to write
  row.Cols.ForEachCell([&](int column, const TZymCell& cell) {
    if (column < first || column > last)
      return;
    PutEmptyFields(next, column, first);
    if (column > first)
      Put(FFormat.Delimiter);
    PutField(source.FieldText(rowIndex, column, cell), rowIndex, column, result);
    next = column + 1;
  });
  PutEmptyFields(next, last + 1, first);
  Put(FEol);
}

TCsvSheetResult TCsvWriter::WriteSheet(const TSpreadSheetCells& cells, const TCellRange& range,
                                       TCsvFieldSource& source)
{
  TCsvSheetResult result;
  // The used part of the range: its last row and column holding a cell.
  int lastRow = -1;
  int lastColumn = -1;
  cells.ForEachRow([&](int r, const TSpreadSheetRow& row) {
    if (r < range.FirstRow || r > range.LastRow)
      return;
    row.Cols.ForEachCell([&](int c, const TZymCell&) {
      if (c < range.FirstColumn || c > range.LastColumn)
        return;
      lastRow = r;
      lastColumn = std::max(lastColumn, c);
    });
  });
  if (lastRow < 0)
    return result;
  const int first = range.FirstColumn;
  result.Rows = lastRow - range.FirstRow + 1;
  result.Columns = lastColumn - first + 1;
  int next = range.FirstRow;  // the next row to write
  const auto emptyLinesUpTo = [&](int end) {
    for (; next < end; ++next) {
      PutEmptyFields(first, lastColumn + 1, first);
      Put(FEol);
    }
  };
  cells.ForEachRow([&](int r, const TSpreadSheetRow& row) {
    if (r < range.FirstRow || r > lastRow)
      return;
    emptyLinesUpTo(r);
    PutRow(r, row, first, lastColumn, source, result);
    next = r + 1;
  });
  emptyLinesUpTo(lastRow + 1);
  return result;
}
