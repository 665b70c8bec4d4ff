#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

/// Minor faults taken writing a byte of each page of a fresh mapping of
/// `pages` pages, prefaulted first or not.
long FaultsWritingFreshPages(std::size_t pages, bool prefault)
{
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* fresh = mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (fresh == MAP_FAILED)
    return -1;
  auto* bytes = static_cast<std::uint8_t*>(fresh);
  if (prefault)
    PrefaultForWriting(bytes, pages * page);
  const long before = MinorFaults();
  for (std::size_t i = 0; i < pages * page; i += page)
    bytes[i] = 1;
  const long faults = MinorFaults() - before;
  munmap(fresh, pages * page);
  return faults;
}

TEST(Prefault, WritingAPrefaultedBlockTakesNoFaultPerPage)
{
  // Measured against the same writes without it: a sanitizer's own memory
  // faults in either way.
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* probe = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(probe, MAP_FAILED);
  const bool supported = madvise(probe, page, MADV_POPULATE_WRITE) == 0;
  munmap(probe, page);
  if (!supported)
    GTEST_SKIP() << "this kernel cannot prefault (before Linux 5.14)";
  const long plain = FaultsWritingFreshPages(512, false);
  const long prefaulted = FaultsWritingFreshPages(512, true);
  ASSERT_GE(plain, 512);
  EXPECT_LT(4 * prefaulted, plain);
}
#endif

}  // namespace
