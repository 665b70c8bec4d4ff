#include "platform/Memory.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

void PrefaultForWriting([[maybe_unused]] void* start, [[maybe_unused]] std::size_t bytes) noexcept
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  static const std::uintptr_t page = [] {
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::uintptr_t>(size) : std::uintptr_t{4096};
  }();
  // Only the pages the range covers whole: a page shared with another block
  // is left to fault as usual.
  const auto begin = reinterpret_cast<std::uintptr_t>(start);
  if (bytes > UINTPTR_MAX - begin)
    return;
  const std::uintptr_t first = (begin + page - 1) / page * page;
  const std::uintptr_t last = (begin + bytes) / page * page;
  if (last <= first)
    return;
  // Kernels before 5.14 answer EINVAL; the pages then fault in on first use.
  madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#endif
}
