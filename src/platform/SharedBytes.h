#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

/// An immutable block of bytes under shared ownership. A slice shares the
/// block it was cut from, so a stream whose sectors lie in one run of the
/// file is a view of the file's bytes rather than a second copy of them.
class TSharedBytes {
public:
  TSharedBytes() = default;
  /// Takes the vector's bytes.
  explicit TSharedBytes(std::vector<std::uint8_t> bytes);
  /// Shares the vector's ownership.
  explicit TSharedBytes(std::shared_ptr<const std::vector<std::uint8_t>> bytes);
  /// Takes `size` bytes at `bytes`.
  TSharedBytes(std::unique_ptr<std::uint8_t[]> bytes, std::size_t size);
  /// A copy of `bytes`.
  static TSharedBytes Copy(std::span<const std::uint8_t> bytes);

  const std::uint8_t* data() const { return FData.get(); }
  std::size_t size() const { return FSize; }
  bool empty() const { return FSize == 0; }
  const std::uint8_t* begin() const { return FData.get(); }
  const std::uint8_t* end() const { return FData.get() + FSize; }
  const std::uint8_t& operator[](std::size_t index) const { return FData.get()[index]; }
  std::span<const std::uint8_t> Span() const { return {FData.get(), FSize}; }
  operator std::span<const std::uint8_t>() const { return Span(); }

  /// `count` bytes from `offset`, sharing this block; both are clamped to it.
  TSharedBytes Slice(std::size_t offset, std::size_t count) const;
  /// True when both share one underlying block (a slice and its source do).
  bool SharesBlockWith(const TSharedBytes& other) const;
  /// Write access to the bytes, for rearranging them in place: only while
  /// this is the block's one holder (no copy or slice exists anywhere) and
  /// the block was made here, else nullptr. Nobody else can see the change.
  std::uint8_t* ExclusiveData() const;

private:
  // Points into the owned block (an aliasing pointer), so a slice needs no
  // owner of its own.
  std::shared_ptr<const std::uint8_t> FData;
  std::size_t FSize = 0;
  bool FOwnBlock = false;  // made writable here, not shared in from outside
};

/// Reads `file` from its position to its end into one block, without first
/// zero-filling memory the read overwrites. Returns false when reading fails
/// (ferror). The block grows past the size the file reports only when more
/// bytes actually arrive.
bool ReadAllBytes(std::FILE* file, TSharedBytes& bytes);
