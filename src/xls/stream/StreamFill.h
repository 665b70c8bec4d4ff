#pragma once

#include "platform/CompoundFile.h"
#include "platform/FileReader.h"
#include "xls/stream/StreamSource.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

/// The workbook stream read into one block, in pieces, by a thread of its
/// own while the record loop decodes the part already there: the read and
/// the mapping of the block's pages then overlap the decoding instead of
/// coming before it. (The pages fault in inside the reads: prefaulting them
/// here contends with the loop's own prefaulting, and measured slower.)
/// Cover waits for the bytes it is asked for; Finish waits for the whole
/// block, so a load fails on a read error anywhere in the stream, as when
/// the stream was read before the loop.
class TStreamFill final : public TStreamSource {
public:
  /// Fills `block` (`size` bytes, which the caller keeps alive longer than
  /// this) from the runs of `file`.
  TStreamFill(std::shared_ptr<const TFileReader> file,
              std::vector<TCompoundFile::TStreamRun> runs, std::uint8_t* block, std::size_t size);
  /// A load that ends early (an error, a handler's exception) stops the
  /// reading at the next piece; the block outlives the thread.
  ~TStreamFill() override;

  std::span<const std::uint8_t> Cover(std::uint64_t from, std::size_t count,
                                      std::uint64_t& base) override;
  void Finish() override;

private:
  void Run();

  std::shared_ptr<const TFileReader> FFile;
  std::vector<TCompoundFile::TStreamRun> FRuns;
  std::uint8_t* FBlock;
  std::atomic<bool> FStop{false};
  std::mutex FLock;
  std::condition_variable FChanged;
  std::size_t FFilled = 0;  // under FLock, as are the two below
  bool FDone = false;
  std::exception_ptr FError;
  std::thread FThread;  // last: it starts once everything above is set
};
