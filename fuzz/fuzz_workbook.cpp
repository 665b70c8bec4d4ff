// Fuzz target: a whole workbook load from memory, as a compound file or a
// bare BIFF stream, with every event assigned, then the same bytes through
// LoadFromStream. Any exception must be one of the project's own.
#include "platform/Errors.h"
#include "xls/MSExcel.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMSExcel reader;
  std::size_t seen = 0;
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header,
                        std::span<const std::uint8_t> bytes) {
    if (bytes.size() > header.Length)
      __builtin_trap();
    for (const std::uint8_t b : bytes)
      seen += b;
  };
  reader.OnRowHeight = [](TCustomSpreadSheetFile&, int, int, int) {};
  const std::span<const std::uint8_t> input(data, size);
  try {
    reader.LoadFromMemory(input);
  } catch (const EBiffLensError&) {
  }
  try {
    reader.LoadFromStream(input);
  } catch (const EBiffLensError&) {
  }
  return seen == 1 ? 1 : 0;
}
