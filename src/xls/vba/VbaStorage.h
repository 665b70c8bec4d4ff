#pragma once

// Private to the VBA reader: the streams of a compound file reached by
// their path of names, strictly (the reader of sound files) or through the
// damage-tolerant map. The project reader sees only this interface.

#include "platform/SharedBytes.h"

#include <memory>
#include <span>
#include <string>

struct TVbaStreamRead {
  bool Found = false;
  bool IsStream = false;
  std::string Path;   // the names as stored, joined by '/'; as asked when not found
  TSharedBytes Bytes; // a stream's bytes, or what of them could be read
  std::string Error;  // why the bytes are missing or partial
};

class TVbaStorageReader {
public:
  virtual ~TVbaStorageReader() = default;
  /// The element at `path` (names compared as the compound file compares
  /// them), with a stream's bytes when `read` is set. Never throws for
  /// damage.
  virtual TVbaStreamRead Find(std::span<const std::string> path, bool read) const = 0;
};

class TCompoundFile;

/// A reader over `file`, which it keeps: the caller keeps it alive.
std::unique_ptr<TVbaStorageReader> MakeStrictVbaStorage(const TCompoundFile& file);
/// A reader over `file`'s bytes, which it keeps, mapped tolerantly.
std::unique_ptr<TVbaStorageReader> MakeTolerantVbaStorage(std::span<const std::uint8_t> file);
