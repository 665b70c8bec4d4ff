// Fuzz target: the CSV export. The input's first 8 bytes as a date value
// and the rest as a number format text, through the date writers in both
// date systems; then the whole input as a workbook, every sheet it gave
// written as CSV (the first 1000 rows and 256 columns, so that a hostile
// extent costs no time) in each quoting mode.
#include "export/CsvExport.h"
#include "platform/Errors.h"
#include "xls/MSExcel.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <streambuf>
#include <string_view>

namespace {

/// A stream buffer that only counts.
class TCountingBuffer : public std::streambuf {
public:
  std::size_t Count = 0;

protected:
  std::streamsize xsputn(const char*, std::streamsize n) override
  {
    Count += static_cast<std::size_t>(n);
    return n;
  }
  int_type overflow(int_type c) override
  {
    ++Count;
    return traits_type::not_eof(c);
  }
};

void CheckDateWriters(const std::uint8_t* data, std::size_t size)
{
  if (size < sizeof(double))
    return;
  double days = 0;
  std::memcpy(&days, data, sizeof days);
  const std::string_view format(reinterpret_cast<const char*>(data + sizeof days), size - sizeof days);
  const TDateShape shape = DateShapeOf(format);
  for (const bool date1904 : {false, true}) {
    char text[kValueTextRoom];
    const char* end = WriteDateText(text, days, shape, date1904);
    if (end && (end < text || end > text + sizeof text))
      __builtin_trap();
    end = WriteFileSerial(text, days, date1904);
    if (end < text || end > text + sizeof text)
      __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  CheckDateWriters(data, size);
  TMSExcel reader;
  try {
    reader.LoadFromMemory(std::span(data, size));
  } catch (const EBiffLensError&) {
  }
  const TSpreadSheets& sheets = reader.Sheets();
  for (int s = 0; s < sheets.Count(); ++s) {
    for (const TCsvQuote quote : {TCsvQuote::cqMinimal, TCsvQuote::cqAll, TCsvQuote::cqNone}) {
      TCountingBuffer counted;
      std::ostream out(&counted);
      const TCsvFormat format{.Delimiter = ';', .Quote = quote, .Dates = TCsvDates::cdIso};
      TCsvValueText values = WorkbookValueText(reader, format.Dates);
      TCsvWriter writer(out, format);
      writer.WriteSheet(sheets.Items(s).Cells, {0, 0, 999, 255}, values);
    }
  }
  return 0;
}
