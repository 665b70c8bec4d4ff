#include "xls/stream/DecryptingSource.h"

#include "platform/Memory.h"
#include "xls/RecordCodes.h"
#include "xls/crypto/Encryption.h"
#include "xls/stream/RecordReader.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <system_error>

namespace {

// The thread publishes its result in pieces of this size: the loop waits
// for no more than one piece where it catches up.
constexpr std::uint64_t kPieceBytes = std::uint64_t{64} << 10;
constexpr std::size_t kSpareSegments = 2;

std::uint16_t U16At(const std::uint8_t* bytes)
{
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

}  // namespace

std::optional<TFilePassPlace> FindFilePass(TStreamSource& source)
{
  constexpr std::size_t kHeader = TRecordReader::kHeaderSize;
  if (source.Size() < kHeader)
    return std::nullopt;
  std::uint64_t base = 0;
  const std::span<const std::uint8_t> bytes = source.Cover(0, kHeader, base);
  if (base != 0)
    return std::nullopt;
  std::size_t at = 0;
  for (std::size_t record = 0; record < kFilePassSearchRecords; ++record) {
    if (bytes.size() - at < kHeader)
      return std::nullopt;
    const std::uint16_t code = U16At(bytes.data() + at);
    const std::size_t end = at + kHeader + U16At(bytes.data() + at + 2);
    if (code == kRecFilePass)
      return TFilePassPlace{at, std::min<std::uint64_t>(end, source.Size())};
    // An EOF closes the globals: FILEPASS stands before any of it.
    if (code == kRecEof || end > bytes.size())
      return std::nullopt;
    at = end;
  }
  return std::nullopt;
}

TDecryptingSource::TDecryptingSource(TStreamSource& inner, std::uint64_t start, bool whole)
    : TStreamSource(inner.Size()), FInner(inner), FStart(std::min(start, inner.Size())), FWhole(whole)
{
  // The first encrypted record's header starts the walk.
  FWalk.Position = FStart;
  FWalk.DataEnd = FStart;
  FWalk.PlainEnd = FStart;
  if (FWhole) {
    const auto size = static_cast<std::size_t>(Size());
    auto block = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    FCurrent.Data = block.get();
    FCurrent.Capacity = size;
    FCurrent.End = size;
    FBlock = TSharedBytes(std::move(block), size);
  }
}

TDecryptingSource::~TDecryptingSource()
{
  {
    const std::lock_guard lock(FLock);
    FQuit = true;
    FStop = true;
    FChanged.notify_all();
  }
  if (FThread.joinable())
    FThread.join();
  // A load that ended early leaves the block's tail unmade: nothing was
  // handed out from it, but it is never left as whatever memory held.
  if (FWhole && FProduced < Size())
    std::memset(FCurrent.Data + FProduced, 0, static_cast<std::size_t>(Size() - FProduced));
}

void TDecryptingSource::Open(std::unique_ptr<TRecordCipher> cipher)
{
  Decide(TVerdict::vdOpened, std::move(cipher));
}

void TDecryptingSource::Lock()
{
  Decide(TVerdict::vdLocked, nullptr);
}

void TDecryptingSource::Decide(TVerdict verdict, std::unique_ptr<TRecordCipher> cipher)
{
  if (FVerdict != TVerdict::vdUndecided)
    return;
  FVerdict = verdict;
  if (verdict == TVerdict::vdOpened && cipher)
    FCipher = std::move(cipher);
  else
    FCipher = std::make_unique<TStoredCipher>();
  // By window, a locked stream is the inner source's own bytes: nothing to make.
  if (!FWhole && verdict == TVerdict::vdLocked)
    return;
  try {
    FThread = std::thread([this] { RunThread(); });
  } catch (const std::system_error&) {
    // No thread to be had: the jobs run on the loop's thread as it waits.
  }
  if (FWhole) {
    std::unique_lock lock(FLock);
    StartJob(lock, Size());
  }
}

std::span<const std::uint8_t> TDecryptingSource::Cover(std::uint64_t from, std::size_t count, std::uint64_t& base)
{
  const std::uint64_t end = std::min<std::uint64_t>(from + count, Size());
  if (!FWhole)
    return CoverWindow(from, count, end, base);
  base = 0;
  return CoverWhole(end);
}

std::span<const std::uint8_t> TDecryptingSource::CoverWhole(std::uint64_t end)
{
  if (FVerdict == TVerdict::vdUndecided) {
    if (end > FStart) {
      Lock();  // asked past FILEPASS before its verdict: the bytes as stored
    } else {
      // BOF to FILEPASS, made here: no thread runs before the verdict.
      if (FProduced < FStart) {
        Produce(FProduced, FStart);
        const std::lock_guard lock(FLock);
        FProduced = FStart;
      }
      return {FCurrent.Data, static_cast<std::size_t>(FStart)};
    }
  }
  std::unique_lock lock(FLock);
  WaitFor(lock, end);
  return {FCurrent.Data, static_cast<std::size_t>(FProduced)};
}

std::span<const std::uint8_t> TDecryptingSource::CoverWindow(std::uint64_t from, std::size_t count,
                                                             std::uint64_t end, std::uint64_t& base)
{
  if (FVerdict == TVerdict::vdUndecided && end > FStart)
    Lock();
  if (FVerdict != TVerdict::vdOpened) {
    std::span<const std::uint8_t> window = FInner.Cover(from, count, base);
    // Before the verdict, nothing of the encrypted part is handed out.
    if (FVerdict == TVerdict::vdUndecided)
      window = window.first(static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), FStart - base)));
    return window;
  }
  std::unique_lock lock(FLock);
  if (FCurrent.Data && from >= FCurrent.Base && end <= FCurrent.End && (end <= FProduced || FJobActive)) {
    WaitFor(lock, end);
    base = FCurrent.Base;
    return {FCurrent.Data, static_cast<std::size_t>(FProduced - FCurrent.Base)};
  }
  StopJob(lock);
  // What the last window holds made: the walk may stand past it (at the
  // first encrypted header while the window ended before it).
  const std::uint64_t made = std::min(FWalk.Position, FProduced);
  lock.unlock();
  std::uint64_t windowBase = 0;
  const std::span<const std::uint8_t> window = FInner.Cover(from, count, windowBase);
  TSegment next = TakeSegment(window.size());
  next.Base = windowBase;
  next.End = windowBase + window.size();
  std::uint64_t produced = windowBase;
  if (FCurrent.Data && windowBase >= FCurrent.Base && windowBase <= made) {
    // The next window goes on from the walk: what the last one made of it
    // moves over, the rest is made from the new window's bytes.
    produced = std::min(made, windowBase + window.size());
    std::memcpy(next.Data, FCurrent.Data + (windowBase - FCurrent.Base), static_cast<std::size_t>(produced - windowBase));
  } else if (FCurrent.Data) {
    // The loop moved off the walk (only a hostile file's sheet list does
    // that): the walk takes the loop's position for a header, as the loop does.
    FWalk.Position = FWalk.DataEnd = FWalk.PlainEnd = std::max(windowBase, FStart);
  }
  if (FCurrent.Data)
    FHeld.push_back(std::move(FCurrent));
  FCurrent = std::move(next);
  FJobSource = window;
  FJobSourceBase = windowBase;
  lock.lock();
  FProduced = produced;
  StartJob(lock, windowBase + window.size());
  WaitFor(lock, end);
  base = FCurrent.Base;
  return {FCurrent.Data, static_cast<std::size_t>(FProduced - FCurrent.Base)};
}

void TDecryptingSource::Release()
{
  if (FWhole)
    return;
  FInner.Release();
  for (TSegment& held : FHeld)
    if (FSpare.size() < kSpareSegments)
      FSpare.push_back(std::move(held));
  FHeld.clear();
}

void TDecryptingSource::Finish()
{
  if (FWhole) {
    if (FVerdict == TVerdict::vdUndecided)
      Lock();
    std::unique_lock lock(FLock);
    WaitFor(lock, Size());
  } else {
    std::unique_lock lock(FLock);
    StopJob(lock);
    if (FError)
      std::rethrow_exception(FError);
  }
  FInner.Finish();
}

void TDecryptingSource::StartJob(std::unique_lock<std::mutex>&, std::uint64_t end)
{
  FJobEnd = end;
  FJobActive = FProduced < end;
  FStop = false;
  FChanged.notify_all();
}

void TDecryptingSource::WaitFor(std::unique_lock<std::mutex>& lock, std::uint64_t wanted)
{
  if (!FThread.joinable() && FJobActive)
    RunJob(lock);
  FChanged.wait(lock, [&] { return FProduced >= wanted || !FJobActive; });
  if (FProduced >= wanted)
    return;
  if (FError)
    std::rethrow_exception(FError);
  assert(false && "a job ended before the bytes it was started for");
}

void TDecryptingSource::StopJob(std::unique_lock<std::mutex>& lock)
{
  if (!FJobActive)
    return;
  FStop = true;
  FChanged.notify_all();
  if (!FThread.joinable())
    FJobActive = false;
  FChanged.wait(lock, [&] { return !FJobActive; });
  FStop = false;
}

void TDecryptingSource::RunThread()
{
  std::unique_lock lock(FLock);
  for (;;) {
    FChanged.wait(lock, [&] { return FQuit || FJobActive; });
    if (FQuit)
      return;
    RunJob(lock);
  }
}

void TDecryptingSource::RunJob(std::unique_lock<std::mutex>& lock)
{
  while (FProduced < FJobEnd && !FStop && !FQuit && !FError) {
    // Pieces end on cipher blocks, so RC4 decrypts whole blocks at a time.
    const std::uint64_t from = FProduced;
    std::uint64_t to = from + kPieceBytes;
    to -= to % kCipherBlockBytes;
    to = std::min(to > from ? to : from + kPieceBytes, FJobEnd);
    lock.unlock();
    std::exception_ptr error;
    try {
      Produce(from, to);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error) {
      FError = error;
      break;
    }
    FProduced = to;
    FChanged.notify_all();
  }
  FJobActive = false;
  FChanged.notify_all();
}

void TDecryptingSource::Produce(std::uint64_t from, std::uint64_t to)
{
  if (!FWhole) {
    Walk(from, to, FJobSource, FJobSourceBase);
    return;
  }
  // The block's pages for this piece mapped in one call rather than a fault
  // each as the decrypting first writes them.
  PrefaultForWriting(FCurrent.Data + from, static_cast<std::size_t>(to - from));
  // The walk may stand a few bytes back, at a header the last piece cut.
  const std::uint64_t first = from < FStart ? from : std::min(from, FWalk.Position);
  std::uint64_t base = 0;
  const std::span<const std::uint8_t> bytes = FInner.Cover(first, static_cast<std::size_t>(to - first), base);
  Walk(from, to, bytes, base);
}

void TDecryptingSource::Walk(std::uint64_t from, std::uint64_t to, std::span<const std::uint8_t> source,
                             std::uint64_t sourceBase)
{
  constexpr std::size_t kHeader = TRecordReader::kHeaderSize;
  assert(from >= FCurrent.Base && to <= FCurrent.Base + FCurrent.Capacity && to <= sourceBase + source.size());
  const auto copy = [&](std::uint64_t first, std::uint64_t last) {
    std::memcpy(FCurrent.Data + (first - FCurrent.Base), source.data() + (first - sourceBase),
                static_cast<std::size_t>(last - first));
  };
  if (from < FStart) {
    const std::uint64_t last = std::min(to, FStart);
    copy(from, last);
    from = last;
  }
  if (from == to)
    return;  // before the verdict only this prefix is made: no cipher yet
  std::uint64_t at = std::min(from, FWalk.Position);
  if (at < sourceBase || at < FCurrent.Base) {
    // The walk's header lies outside the bytes at hand (never, as the
    // windows are set up): it starts again here, at a header.
    at = from;
    FWalk.Position = FWalk.DataEnd = FWalk.PlainEnd = from;
  }
  // A cipher that goes by position alone decrypts the whole run at once;
  // the walk then puts back the headers and plain data among it. Most
  // records are a dozen bytes: one call per record would cost more than
  // the decrypting.
  const bool wholeRun = FCipher->ByPositionOnly();
  if (wholeRun)
    FCipher->Decrypt(from, 0, source.subspan(static_cast<std::size_t>(from - sourceBase), static_cast<std::size_t>(to - from)),
                     FCurrent.Data + (from - FCurrent.Base));
  while (at < to) {
    if (at == FWalk.DataEnd) {
      if (to - at < kHeader) {
        // A header cut by the piece's end: its bytes now, its meaning once
        // the next piece brings the rest.
        copy(at, to);
        break;
      }
      const std::uint8_t* header = source.data() + (at - sourceBase);
      const std::uint16_t code = U16At(header);
      const std::uint16_t length = U16At(header + 2);
      copy(at, at + kHeader);
      at += kHeader;
      FWalk.Length = length;
      FWalk.DataEnd = at + length;
      FWalk.PlainEnd = at + std::min<std::uint64_t>(PlainDataBytes(code), length);
      FWalk.Position = at;
      continue;
    }
    const std::uint64_t stop = std::min(to, FWalk.DataEnd);
    if (at < FWalk.PlainEnd) {
      const std::uint64_t plain = std::min(stop, FWalk.PlainEnd);
      copy(at, plain);
      at = plain;
    }
    if (at < stop && !wholeRun)
      FCipher->Decrypt(at, FWalk.Length, source.subspan(static_cast<std::size_t>(at - sourceBase), static_cast<std::size_t>(stop - at)),
                       FCurrent.Data + (at - FCurrent.Base));
    at = stop;
    FWalk.Position = at;
  }
}

TDecryptingSource::TSegment TDecryptingSource::TakeSegment(std::size_t capacity)
{
  for (auto spare = FSpare.begin(); spare != FSpare.end(); ++spare)
    if (spare->Capacity >= capacity) {
      TSegment segment = std::move(*spare);
      FSpare.erase(spare);
      return segment;
    }
  TSegment segment;
  segment.Owned = std::make_unique_for_overwrite<std::uint8_t[]>(std::max<std::size_t>(capacity, 1));
  segment.Data = segment.Owned.get();
  segment.Capacity = capacity;
  return segment;
}
