#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

/// Where the workbook stream's bytes come from: one block in memory, a file
/// read a window at a time, or a block a thread of its own fills while the
/// records are decoded. A decrypting source may wrap any of them.
class TStreamSource {
public:
  virtual ~TStreamSource() = default;
  TStreamSource(const TStreamSource&) = delete;
  TStreamSource& operator=(const TStreamSource&) = delete;

  std::uint64_t Size() const { return FSize; }
  /// Stream bytes from `from` (at most Size()) on: at least `count` of them,
  /// or all up to the end. `base` receives the stream offset of the span's
  /// first byte (at most `from`). The bytes stay put until Release.
  virtual std::span<const std::uint8_t> Cover(std::uint64_t from, std::size_t count,
                                              std::uint64_t& base) = 0;
  /// Nothing handed out before is used any more.
  virtual void Release() {}
  /// The load is over: waits for any reading still under way and throws its
  /// error, so a read failure anywhere in the stream fails the load.
  virtual void Finish() {}

protected:
  explicit TStreamSource(std::uint64_t size) : FSize(size) {}

private:
  std::uint64_t FSize;
};

/// The stream whole in memory.
class TMemoryStreamSource final : public TStreamSource {
public:
  /// Keeps the span: the caller keeps the bytes alive while the source lives.
  explicit TMemoryStreamSource(std::span<const std::uint8_t> bytes)
      : TStreamSource(bytes.size()), FBytes(bytes)
  {
  }
  std::span<const std::uint8_t> Cover(std::uint64_t, std::size_t, std::uint64_t& base) override
  {
    base = 0;
    return FBytes;
  }

private:
  std::span<const std::uint8_t> FBytes;
};
