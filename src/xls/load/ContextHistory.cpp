#include "xls/load/ContextHistory.h"

#include <algorithm>

namespace {

/// A snapshot for later: it decodes with a text decoder of its own.
std::shared_ptr<TDecodeContext> Snapshot(const TDecodeContext& context)
{
  auto snapshot = std::make_shared<TDecodeContext>(context);
  snapshot->Text = nullptr;
  return snapshot;
}

}  // namespace

void TContextHistory::Start(const TDecodeContext& context)
{
  FStretches.clear();
  FStretches.push_back({1, Snapshot(context)});
}

void TContextHistory::Changed(const TDecodeContext& context, std::uint64_t recordNumber)
{
  if (FStretches.empty())
    return;  // not loading: the load's first stretch takes the context as it is
  const std::uint64_t first = recordNumber + 1;
  if (FStretches.back().FirstRecord == first)
    FStretches.back().Context = Snapshot(context);
  else
    FStretches.push_back({first, Snapshot(context)});
}

std::shared_ptr<const TDecodeContext> TContextHistory::At(std::uint64_t recordNumber,
                                                          const TDecodeContext& current) const
{
  if (FStretches.empty())
    return std::make_shared<TDecodeContext>(current);
  const auto after = std::upper_bound(FStretches.begin(), FStretches.end(), recordNumber,
                                      [](std::uint64_t n, const TContextStretch& s) { return n < s.FirstRecord; });
  return after == FStretches.begin() ? FStretches.front().Context : std::prev(after)->Context;
}
