#include "platform/SharedBytes.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

TSharedBytes::TSharedBytes(std::vector<std::uint8_t> bytes)
{
  if (bytes.empty())
    return;
  const auto owner = std::make_shared<std::vector<std::uint8_t>>(std::move(bytes));
  FSize = owner->size();
  FData = std::shared_ptr<const std::uint8_t>(owner, owner->data());
  FOwnBlock = true;
}

TSharedBytes::TSharedBytes(std::shared_ptr<const std::vector<std::uint8_t>> bytes)
{
  if (!bytes || bytes->empty())
    return;
  FSize = bytes->size();
  FData = std::shared_ptr<const std::uint8_t>(bytes, bytes->data());
}

TSharedBytes::TSharedBytes(std::unique_ptr<std::uint8_t[]> bytes, std::size_t size)
{
  if (!bytes || size == 0)
    return;
  const std::uint8_t* start = bytes.get();
  const std::shared_ptr<const std::uint8_t[]> owner(std::move(bytes));
  FData = std::shared_ptr<const std::uint8_t>(owner, start);
  FSize = size;
  FOwnBlock = true;
}

TSharedBytes TSharedBytes::Copy(std::span<const std::uint8_t> bytes)
{
  if (bytes.empty())
    return {};
  auto block = std::make_unique_for_overwrite<std::uint8_t[]>(bytes.size());
  std::memcpy(block.get(), bytes.data(), bytes.size());
  return TSharedBytes(std::move(block), bytes.size());
}

TSharedBytes TSharedBytes::Slice(std::size_t offset, std::size_t count) const
{
  offset = std::min(offset, FSize);
  count = std::min(count, FSize - offset);
  TSharedBytes slice;
  if (count == 0)
    return slice;
  slice.FData = std::shared_ptr<const std::uint8_t>(FData, FData.get() + offset);
  slice.FSize = count;
  slice.FOwnBlock = FOwnBlock;
  return slice;
}

bool TSharedBytes::SharesBlockWith(const TSharedBytes& other) const
{
  return FData && !FData.owner_before(other.FData) && !other.FData.owner_before(FData);
}

std::uint8_t* TSharedBytes::ExclusiveData() const
{
  // The block was allocated writable by this class; const is only the
  // sharing contract, which a sole holder may set aside.
  if (!FOwnBlock || FData.use_count() != 1)
    return nullptr;
  return const_cast<std::uint8_t*>(FData.get());
}

bool ReadAllBytes(std::FILE* file, TSharedBytes& bytes)
{
  // The reported size is only a first guess: a file can change under us, and
  // a pipe reports none. Memory grows with the bytes that really arrive.
  constexpr std::size_t kMinimumBlock = std::size_t{1} << 16;
  std::size_t capacity = kMinimumBlock;
  struct stat info {};
  if (::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    const long position = std::max(0L, std::ftell(file));
    if (position <= info.st_size) {
      const auto remaining = static_cast<std::size_t>(info.st_size - position);
      // One byte over, so a file read whole is seen to end without a regrow.
      capacity = std::max(capacity, remaining + 1);
    }
  }
  auto block = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
  std::size_t size = 0;
  for (;;) {
    size += std::fread(block.get() + size, 1, capacity - size, file);
    if (size < capacity)
      break;
    const std::size_t larger = capacity * 2;
    auto grown = std::make_unique_for_overwrite<std::uint8_t[]>(larger);
    std::memcpy(grown.get(), block.get(), size);
    block = std::move(grown);
    capacity = larger;
  }
  if (std::ferror(file))
    return false;
  bytes = TSharedBytes(std::move(block), size);
  return true;
}
