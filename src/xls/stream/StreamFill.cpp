#include "xls/stream/StreamFill.h"

#include "xls/stream/StreamRuns.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

TStreamFill::TStreamFill(std::shared_ptr<const TFileReader> file,
                         std::vector<TCompoundFile::TStreamRun> runs, std::uint8_t* block,
                         std::size_t size)
    : TStreamSource(size), FFile(std::move(file)), FRuns(std::move(runs)), FBlock(block)
{
  try {
    FThread = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    Run();  // no thread to be had: the block is read here and now
  }
}

TStreamFill::~TStreamFill()
{
  FStop.store(true, std::memory_order_relaxed);
  if (FThread.joinable())
    FThread.join();
}

std::span<const std::uint8_t> TStreamFill::Cover(std::uint64_t from, std::size_t count,
                                                 std::uint64_t& base)
{
  // The block fills from its start: only its end moves.
  const auto size = static_cast<std::size_t>(Size());
  const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(from + count, size));
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [&] { return FFilled >= end || FDone; });
  if (FFilled < end)
    std::rethrow_exception(FError);
  base = 0;
  return {FBlock, FFilled};
}

void TStreamFill::Finish()
{
  {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [&] { return FDone; });
    if (FError)
      std::rethrow_exception(FError);
  }
  if (FThread.joinable())
    FThread.join();
}

void TStreamFill::Run()
{
  // A small first piece, so the loop starts soon; then larger ones.
  constexpr std::size_t kFirstPiece = std::size_t{64} << 10;
  constexpr std::size_t kLargestPiece = std::size_t{1} << 20;
  const auto size = static_cast<std::size_t>(Size());
  std::exception_ptr error;
  try {
    for (std::size_t at = 0; at < size && !FStop.load(std::memory_order_relaxed);) {
      const std::size_t piece = std::min(size - at, std::clamp(at, kFirstPiece, kLargestPiece));
      ReadStreamRuns(*FFile, FRuns, at, std::span(FBlock + at, piece));
      at += piece;
      const std::lock_guard lock(FLock);
      FFilled = at;
      FChanged.notify_all();
    }
  } catch (...) {
    error = std::current_exception();
  }
  const std::lock_guard lock(FLock);
  FError = error;
  if (!FError && FFilled < size)
    FError = std::make_exception_ptr(std::logic_error("stream reading stopped"));
  FDone = true;
  FChanged.notify_all();
}
