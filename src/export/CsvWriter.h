#pragma once

#include "export/CellRange.h"
#include "export/CsvFormat.h"
#include "export/CsvValue.h"
#include "model/SpreadSheet.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string_view>

/// What writing one sheet wrote.
struct TCsvSheetResult {
  int Rows = 0;
  int Columns = 0;
  /// Under TCsvQuote::cqNone: fields holding the delimiter, a quote, CR or
  /// LF, which went out unquoted, and the 0-based place of the first.
  std::uint64_t UnquotedFields = 0;
  int FirstUnquotedRow = -1;
  int FirstUnquotedColumn = -1;
};

/// Writes sheets as CSV (RFC 4180 by default) into a stream, through a
/// buffer of its own: a sheet of millions of cells costs no allocation per
/// field. Text goes out as the model holds it, UTF-8.
class TCsvWriter {
public:
  /// Puts the byte order mark first when `format` asks for one. Keeps a
  /// reference to `out`, which must outlive the writer; writes to it as the
  /// buffer fills, and at Flush and destruction. A failed write shows in
  /// the stream's state.
  TCsvWriter(std::ostream& out, const TCsvFormat& format);
  ~TCsvWriter() { Flush(); }
  TCsvWriter(const TCsvWriter&) = delete;
  TCsvWriter& operator=(const TCsvWriter&) = delete;

  /// Writes the rectangle of `cells` from the range's first row and column
  /// to the last row and the last column inside the range that hold a
  /// stored cell: one line per row, every line ended, an empty field for a
  /// place without a cell. No cell inside the range: nothing is written.
  /// Each stored cell's text comes from `source`.
  TCsvSheetResult WriteSheet(const TSpreadSheetCells& cells, const TCellRange& range,
                             TCsvFieldSource& source);
  void Flush();

private:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 18;

  void Put(char c)
  {
    if (FSize == kBufferSize)
      Flush();
    FBuffer[FSize++] = c;
  }
  void Put(std::string_view text);
  void PutField(std::string_view text, int row, int column, TCsvSheetResult& result);
  /// The empty fields of columns [from, to) of a row whose first column is
  /// `first`, each after its delimiter.
  void PutEmptyFields(int from, int to, int first);
  void PutRow(int rowIndex, const TSpreadSheetRow& row, int first, int last,
              TCsvFieldSource& source, TCsvSheetResult& result);

  std::ostream& FOut;
  TCsvFormat FFormat;
  std::string_view FEol;
  std::array<bool, 256> FSpecial{};  // bytes that call for quotes
  std::unique_ptr<char[]> FBuffer;
  std::size_t FSize = 0;
};
