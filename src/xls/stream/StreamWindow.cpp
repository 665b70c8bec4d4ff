#include "xls/stream/StreamWindow.h"

#include "xls/stream/StreamRuns.h"

#include <algorithm>
#include <cstring>

TStreamWindow::TStreamWindow(std::shared_ptr<const TFileReader> file,
                             std::vector<TCompoundFile::TStreamRun> runs, std::uint64_t size,
                             std::size_t windowBytes)
    : TStreamSource(size), FFile(std::move(file)), FRuns(std::move(runs)),
      FWindowBytes(std::max<std::size_t>(windowBytes, 1))
{
}

std::span<const std::uint8_t> TStreamWindow::Cover(std::uint64_t from, std::size_t count,
                                                   std::uint64_t& base)
{
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, Size() - from));
  if (!Holds(FCurrent, from, count)) {
    TSegment next = TakeSegment(std::max(FWindowBytes, count));
    next.Base = from;
    // The part already read moves over; the rest comes from the file.
    std::size_t have = 0;
    if (FCurrent.Data && from >= FCurrent.Base && from - FCurrent.Base < FCurrent.Filled) {
      have = FCurrent.Filled - static_cast<std::size_t>(from - FCurrent.Base);
      std::memcpy(next.Data.get(), FCurrent.Data.get() + (from - FCurrent.Base), have);
    }
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(next.Capacity, Size() - from));
    ReadStreamRuns(*FFile, FRuns, from + have, std::span(next.Data.get() + have, wanted - have));
    next.Filled = wanted;
    if (FCurrent.Data)
      FHeld.push_back(std::move(FCurrent));
    FCurrent = std::move(next);
  }
  base = FCurrent.Base;
  return {FCurrent.Data.get(), FCurrent.Filled};
}

void TStreamWindow::Release()
{
  if (FHeld.empty())
    return;
  for (TSegment& held : FHeld)
    if (FSpare.size() < 2)
      FSpare.push_back(std::move(held));
  FHeld.clear();
}

bool TStreamWindow::Holds(const TSegment& segment, std::uint64_t from, std::size_t count)
{
  return segment.Data && from >= segment.Base && from - segment.Base <= segment.Filled &&
         count <= segment.Filled - (from - segment.Base);
}

TStreamWindow::TSegment TStreamWindow::TakeSegment(std::size_t capacity)
{
  for (auto spare = FSpare.begin(); spare != FSpare.end(); ++spare)
    if (spare->Capacity >= capacity) {
      TSegment segment = std::move(*spare);
      FSpare.erase(spare);
      return segment;
    }
  TSegment segment;
  segment.Data = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
  segment.Capacity = capacity;
  return segment;
}
