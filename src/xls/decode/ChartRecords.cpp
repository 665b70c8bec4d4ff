#include "xls/decode/ChartRecords.h"

std::vector<std::uint16_t> ChartBlockPath(std::span<const std::uint16_t> codes)
{
  // A BEGIN opens a block under the record just before it; END closes the
  // innermost one.
  std::vector<std::uint16_t> path;
  std::uint16_t previous = 0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::uint16_t code = codes[i];
    const bool last = i + 1 == codes.size();
    if (code == kRecChartBegin && !last)
      path.push_back(previous);
    else if (code == kRecChartEnd && !path.empty() && !last)
      path.pop_back();
    previous = code;
  }
  return path;
}
