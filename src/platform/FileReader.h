#pragma once

#include "platform/SharedBytes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

/// A file open for reading at any offset, for readers that take only the
/// parts of a file they need instead of reading it whole.
class TFileReader {
public:
  /// Opens `path` for reading; nullptr when it cannot be opened (errno
  /// tells why).
  static std::shared_ptr<const TFileReader> Open(const std::string& path);
  ~TFileReader();
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;

  const std::string& Path() const { return FPath; }
  /// The file's size when it was opened.
  std::uint64_t Size() const { return FSize; }
  /// Reads up to `buffer.size()` bytes at `offset` into `buffer`; sets `read`
  /// to the count read, fewer only where the file ends. False on a read
  /// error (errno tells why).
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& read) const;

  // Only Open makes one: the key is out of reach elsewhere.
  class TKey {
    friend class TFileReader;
    TKey() = default;
  };
  TFileReader(TKey, int descriptor, std::string path, std::uint64_t size);

private:
  int FDescriptor;
  std::string FPath;
  std::uint64_t FSize;
};

/// Reads a file that has no size to read parts of (a pipe, a FIFO, a
/// device, a terminal) from its start to its end, at most `limit` bytes.
/// A FIFO is waited for a writer a few seconds, then read as empty.
/// False, with errno set, when it cannot be opened or read (EFBIG past the
/// limit).
bool ReadWholeStream(const std::string& path, std::size_t limit, TSharedBytes& bytes);
