#include "xls/stream/StreamRuns.h"

#include "platform/CompoundFileMessages.h"

#include <algorithm>
#include <iterator>

void ReadStreamRuns(const TFileReader& file, const std::vector<TCompoundFile::TStreamRun>& runs,
                    std::uint64_t from, std::span<std::uint8_t> out)
{
  auto run = std::upper_bound(runs.begin(), runs.end(), from,
                              [](std::uint64_t at, const TCompoundFile::TStreamRun& r) {
                                return at < r.StreamOffset;
                              });
  while (!out.empty()) {
    if (run == runs.begin())
      throw EOleError(kStgReadFault, CfbCannotReadMessage(file.Path()));
    const TCompoundFile::TStreamRun& r = *std::prev(run);
    const std::uint64_t within = from - r.StreamOffset;
    if (within >= r.Length)
      throw EOleError(kStgReadFault, CfbCannotReadMessage(file.Path()));
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), r.Length - within));
    std::size_t read = 0;
    if (!file.ReadAt(r.FileOffset + within, out.first(piece), read) || read < piece)
      throw EOleError(kStgReadFault, CfbCannotReadMessage(file.Path()));
    out = out.subspan(piece);
    from += piece;
    if (from == r.StreamOffset + r.Length)
      ++run;
  }
}
