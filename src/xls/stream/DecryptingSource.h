#pragma once

#include "platform/SharedBytes.h"
#include "xls/crypto/RecordCipher.h"
#include "xls/stream/StreamSource.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

/// Where the stream's FILEPASS record stands: its header's offset, and the
/// offset after its data, where the encrypted records begin.
struct TFilePassPlace {
  std::uint64_t Offset = 0;
  std::uint64_t End = 0;
};

/// The records before FILEPASS are few and short (BOF, perhaps WRITEPROT):
/// the search reads no more record headers than this.
inline constexpr std::size_t kFilePassSearchRecords = 256;

/// The first FILEPASS among the stream's first records: found when it stands
/// in the bytes `source` has at hand from the start (what its first Cover
/// returns, 64 KiB or more) before an EOF and within kFilePassSearchRecords
/// records. Reads record headers only; whatever it covers, the record loop
/// would cover first anyway.
std::optional<TFilePassPlace> FindFilePass(TStreamSource& source);

/// The workbook stream as the records after FILEPASS read once decrypted:
/// the record headers, and the data of BOF, FILEPASS and the other records
/// [MS-XLS] 2.2.10 leaves plain, as stored; the rest decrypted by the cipher
/// Open gives, by stream position. Which bytes are record data it learns by
/// walking the record headers from FILEPASS on, as the record loop does.
///
/// Wraps another source and decrypts what it hands out on a thread of its
/// own, in pieces ahead of what the loop has asked for; the loop waits only
/// where it catches up.
///
/// Two ways of keeping the result:
/// - whole: the inner source holds the whole stream in one block that never
///   moves and may be asked from any thread (TMemoryStreamSource,
///   TStreamFill). The result is then one block of the whole stream
///   (Block()), made from the first byte to the last, in which the record
///   list keeps its rows; Finish waits for all of it.
/// - by window: the result follows the inner source's windows, each
///   decrypted into a window of its own (kept until Release, as the inner
///   source keeps its own).
///
/// Until Open or Lock, only the bytes before the encrypted part are handed
/// out; a request for more takes the bytes as stored (as Lock does). After
/// Lock the stream is handed out as stored.
class TDecryptingSource final : public TStreamSource {
public:
  /// Keeps `inner`: the caller keeps it alive longer than this. `start` is
  /// where the encrypted records begin (TFilePassPlace::End).
  TDecryptingSource(TStreamSource& inner, std::uint64_t start, bool whole);
  /// Stops the decrypting thread; the block (Block()) outlives it.
  ~TDecryptingSource() override;

  /// Decrypts the records from `start` on with `cipher`.
  void Open(std::unique_ptr<TRecordCipher> cipher);
  /// Hands out the records from `start` on as stored.
  void Lock();

  /// The whole stream in one block (whole only; empty otherwise). Bytes are
  /// final once handed out by Cover, all of them after Finish.
  const TSharedBytes& Block() const { return FBlock; }

  std::span<const std::uint8_t> Cover(std::uint64_t from, std::size_t count, std::uint64_t& base) override;
  void Release() override;
  /// Waits for the decrypting (whole: to the stream's end) and then for the
  /// inner source; throws the error either met.
  void Finish() override;

private:
  enum class TVerdict { vdUndecided, vdOpened, vdLocked };

  /// Where the walk of the record headers stands: at Position, which is a
  /// header's start when it equals DataEnd, else inside a record's data.
  struct TWalk {
    std::uint64_t Position = 0;
    std::uint64_t DataEnd = 0;
    std::uint64_t PlainEnd = 0;  // the record's plain bytes end here
    std::uint16_t Length = 0;
  };
  /// A decrypted window (by-window results) or the whole block.
  struct TSegment {
    std::uint8_t* Data = nullptr;
    std::unique_ptr<std::uint8_t[]> Owned;  // null for the whole block
    std::size_t Capacity = 0;
    std::uint64_t Base = 0;
    std::uint64_t End = 0;  // the stream bytes it is made for end here
  };

  void Decide(TVerdict verdict, std::unique_ptr<TRecordCipher> cipher);
  std::span<const std::uint8_t> CoverWhole(std::uint64_t end);
  std::span<const std::uint8_t> CoverWindow(std::uint64_t from, std::size_t count, std::uint64_t end,
                                            std::uint64_t& base);
  /// Starts a job to [FProduced, end) and waits for `wanted` (under `lock`).
  void StartJob(std::unique_lock<std::mutex>& lock, std::uint64_t end);
  /// Waits until [.., wanted) is made or the job ended; throws its error.
  void WaitFor(std::unique_lock<std::mutex>& lock, std::uint64_t wanted);
  /// Stops the job at its next piece and waits until the thread is idle.
  void StopJob(std::unique_lock<std::mutex>& lock);
  void RunThread();
  /// Works the job off on the calling thread, under `lock` between pieces.
  void RunJob(std::unique_lock<std::mutex>& lock);
  /// Makes result bytes [from, to) of the current segment.
  void Produce(std::uint64_t from, std::uint64_t to);
  /// Copies and decrypts stream bytes [from, to) from `source` (stream
  /// bytes from `sourceBase` on) into the current segment, walking headers.
  void Walk(std::uint64_t from, std::uint64_t to, std::span<const std::uint8_t> source, std::uint64_t sourceBase);
  TSegment TakeSegment(std::size_t capacity);

  TStreamSource& FInner;
  const std::uint64_t FStart;
  const bool FWhole;
  TSharedBytes FBlock;
  TVerdict FVerdict = TVerdict::vdUndecided;
  std::unique_ptr<TRecordCipher> FCipher;
  // The thread's, while a job runs; the loop's otherwise.
  TWalk FWalk;
  TSegment FCurrent;
  std::span<const std::uint8_t> FJobSource;  // by window: the inner window decrypted from
  std::uint64_t FJobSourceBase = 0;
  std::vector<TSegment> FHeld;
  std::vector<TSegment> FSpare;

  std::mutex FLock;
  std::condition_variable FChanged;
  std::uint64_t FProduced = 0;  // result bytes of FCurrent are final below this (under FLock)
  std::uint64_t FJobEnd = 0;
  bool FJobActive = false;
  bool FStop = false;
  bool FQuit = false;
  std::exception_ptr FError;
  std::thread FThread;  // last: it starts once everything above is set
};
