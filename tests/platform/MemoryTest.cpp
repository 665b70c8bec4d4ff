#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/resource.h>
#endif

namespace {

TEST(Prefault, LeavesTheBytesOfAnyRangeAsTheyWere)
{
  // Ranges that start and end inside pages, cover none whole, are empty,
  // or would run past the end of the address space: each is only a hint.
  std::vector<std::uint8_t> block(5 * 4096 + 123);
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<std::uint8_t>(i * 7 + 1);
  const std::vector<std::uint8_t> before = block;
  PrefaultForWriting(block.data(), block.size());
  PrefaultForWriting(block.data() + 1, 10);
  PrefaultForWriting(block.data() + 4000, 4096);
  PrefaultForWriting(block.data(), 0);
  PrefaultForWriting(block.data() + 17, static_cast<std::size_t>(-1));
  PrefaultForWriting(nullptr, 0);
  EXPECT_EQ(block, before);
}

#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
long MinorFaults()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

TEST(Prefault, WritingAPrefaultedBlockTakesNoFaultPerPage)
{
  constexpr std::size_t kPages = 512;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* fresh = mmap(nullptr, kPages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(fresh, MAP_FAILED);
  const std::unique_ptr<void, void (*)(void*)> unmap(fresh, [](void* p) {
    munmap(p, kPages * sysconf(_SC_PAGESIZE));
  });
  auto* bytes = static_cast<std::uint8_t*>(fresh);
  PrefaultForWriting(bytes, kPages * page);
  const long faults = MinorFaults();
  for (std::size_t i = 0; i < kPages * page; i += page)
    bytes[i] = 1;
  // A kernel without the call (before Linux 5.14) faults every page in.
  if (madvise(bytes, page, MADV_POPULATE_WRITE) != 0)
    GTEST_SKIP() << "this kernel cannot prefault";
  EXPECT_LT(MinorFaults() - faults, static_cast<long>(kPages / 8));
}
#endif

}  // namespace
