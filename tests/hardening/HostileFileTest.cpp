// Workbooks nobody trusts: every prefix and thousands of single-byte changes
// of real files must load to a result or fail with one of our own errors, and
// no input may make the reader hold memory out of proportion to its size.
#include "platform/Errors.h"
#include "xls/MSExcel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <random>

// Counts the bytes this test program holds on the heap, and their peak.
namespace {
std::atomic<std::size_t> gLiveBytes{0};
std::atomic<std::size_t> gPeakBytes{0};

void* CountedAlloc(std::size_t size)
{
  // The size sits in front of the block so delete can subtract it.
  auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
  if (!block)
    throw std::bad_alloc();
  *block = size;
  const std::size_t live = gLiveBytes += size;
  std::size_t peak = gPeakBytes.load();
  while (live > peak && !gPeakBytes.compare_exchange_weak(peak, live)) {
  }
  return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}

void CountedFree(void* p) noexcept
{
  if (!p)
    return;
  auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
  gLiveBytes -= *block;
  std::free(block);
}
}  // namespace

void* operator new(std::size_t size) { return CountedAlloc(size); }
void* operator new[](std::size_t size) { return CountedAlloc(size); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadFile(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Loads the bytes; true when they loaded, false when they failed with one
/// of our own errors. Anything else fails the test.
bool LoadsOrFailsCleanly(std::span<const std::uint8_t> bytes)
{
  TMSExcel reader;
  std::size_t listed = 0;
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header,
                        std::span<const std::uint8_t> data) {
    EXPECT_LE(data.size(), header.Length);
    ++listed;
  };
  try {
    reader.LoadFromMemory(bytes);
    return true;
  } catch (const EBiffLensError& e) {
    EXPECT_NE(std::string(e.what()), "") << "an error without a message";
    return false;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "a foreign exception escaped: " << e.what();
    return false;
  }
}

/// Peak heap bytes while loading `bytes`, above what was live before.
std::size_t PeakWhileLoading(std::span<const std::uint8_t> bytes)
{
  const std::size_t before = gLiveBytes.load();
  gPeakBytes = before;
  LoadsOrFailsCleanly(bytes);
  return gPeakBytes.load() - before;
}

fs::path Corpus()
{
  return fs::path(BIFFLENS_CORPUS_DIR);
}

const char* const kSmallFiles[] = {
    "xlrd__ragged.xls",          // BIFF8, SST, three sheets
    "calamine__date_1904.xls",   // BIFF8 dates in the 1904 system
    "calamine__biff5_write.xls", // BIFF5 in a "Book" stream, Mac Roman text
    "xlrd__biff4_no_format_no_window2.xls",  // bare BIFF4 stream
};

class HostileFileTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!fs::is_directory(Corpus()))
      GTEST_SKIP() << "corpus not found at " << Corpus();
  }
};

}  // namespace

TEST_F(HostileFileTest, EveryPrefixOfSmallWorkbooksLoadsOrFailsCleanly)
{
  for (const char* name : kSmallFiles) {
    SCOPED_TRACE(name);
    const auto bytes = ReadFile(Corpus() / name);
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(LoadsOrFailsCleanly(bytes));
    for (std::size_t length = 0; length < bytes.size(); ++length)
      LoadsOrFailsCleanly(std::span(bytes).first(length));
  }
}

TEST_F(HostileFileTest, SeededSingleByteChangesLoadOrFailCleanly)
{
  std::mt19937 random(20261208);
  for (const char* name : kSmallFiles) {
    SCOPED_TRACE(name);
    const auto original = ReadFile(Corpus() / name);
    std::uniform_int_distribution<std::size_t> position(0, original.size() - 1);
    std::uniform_int_distribution<int> value(0, 255);
    for (int i = 0; i < 1500; ++i) {
      auto bytes = original;
      bytes[position(random)] = static_cast<std::uint8_t>(value(random));
      LoadsOrFailsCleanly(bytes);
    }
  }
}

TEST_F(HostileFileTest, MemoryStaysProportionalToTheInput)
{
  // Generous: the stream copy, the model's cells and the shared strings all
  // scale with the file; a lying count or size must not.
  constexpr std::size_t kPerInputByte = 64;
  constexpr std::size_t kAllowance = 1 << 20;
  double worst = 0;
  std::string worstFile;
  for (const auto& entry : fs::directory_iterator(Corpus())) {
    if (entry.path().extension() != ".xls")
      continue;
    SCOPED_TRACE(entry.path().filename().string());
    const auto bytes = ReadFile(entry.path());
    const std::size_t peak = PeakWhileLoading(bytes);
    EXPECT_LE(peak, kPerInputByte * bytes.size() + kAllowance);
    const double ratio = static_cast<double>(peak) / static_cast<double>(bytes.size());
    if (ratio > worst) {
      worst = ratio;
      worstFile = entry.path().filename().string();
    }
  }
  RecordProperty("worst_ratio", std::to_string(worst));
  std::printf("largest peak heap / input size: %.1f (%s)\n", worst, worstFile.c_str());
}

TEST(HostileBytes, ARecordStreamOfFarColumnsStaysSmall)
{
  // A bare BIFF stream of NUMBER records, each at column 65535 of its own
  // row: without sparse rows every record would cost 3 MB of empty slots.
  std::vector<std::uint8_t> bytes = {0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00};
  for (int row = 0; row < 2000; ++row) {
    const std::uint8_t record[] = {0x03, 0x02, 0x0E, 0x00,
                                   static_cast<std::uint8_t>(row), static_cast<std::uint8_t>(row >> 8),
                                   0xFF, 0xFF, 0x0F, 0x00,
                                   0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    bytes.insert(bytes.end(), std::begin(record), std::end(record));
  }
  const std::size_t peak = PeakWhileLoading(bytes);
  EXPECT_LE(peak, 64 * bytes.size() + (1u << 20));
}
