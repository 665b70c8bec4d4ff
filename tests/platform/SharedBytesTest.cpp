#include "platform/SharedBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Contents(const TSharedBytes& bytes)
{
  return TBytes(bytes.begin(), bytes.end());
}

using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

TFile TempFileWith(const std::string& text)
{
  TFile file(std::tmpfile(), &std::fclose);
  std::fwrite(text.data(), 1, text.size(), file.get());
  std::rewind(file.get());
  return file;
}

}  // namespace

TEST(SharedBytes, SlicesShareTheBlockAndClampToIt)
{
  const TSharedBytes whole(TBytes{1, 2, 3, 4, 5, 6});
  const TSharedBytes middle = whole.Slice(2, 3);
  EXPECT_EQ(Contents(middle), (TBytes{3, 4, 5}));
  EXPECT_EQ(middle.data(), whole.data() + 2);
  EXPECT_TRUE(middle.SharesBlockWith(whole));
  EXPECT_EQ(Contents(whole.Slice(4, 100)), (TBytes{5, 6}));
  EXPECT_TRUE(whole.Slice(6, 1).empty());
  EXPECT_TRUE(whole.Slice(100, 1).empty());
  EXPECT_FALSE(TSharedBytes::Copy(whole).SharesBlockWith(whole));
  EXPECT_EQ(Contents(TSharedBytes::Copy(whole)), Contents(whole));
}

TEST(SharedBytes, ASliceKeepsItsBlockAliveAfterTheSourceGoes)
{
  auto owner = std::make_shared<const TBytes>(TBytes{9, 8, 7, 6});
  const std::weak_ptr<const TBytes> watch = owner;
  TSharedBytes slice;
  {
    const TSharedBytes whole(std::move(owner));
    slice = whole.Slice(1, 2);
  }
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(Contents(slice), (TBytes{8, 7}));
  slice = {};
  EXPECT_TRUE(watch.expired());
}

TEST(SharedBytes, NoBytesIsOneEmptyBlockWhateverItCameFrom)
{
  EXPECT_TRUE(TSharedBytes().empty());
  EXPECT_TRUE(TSharedBytes(TBytes{}).empty());
  EXPECT_TRUE(TSharedBytes::Copy({}).empty());
  EXPECT_TRUE(TSharedBytes(std::shared_ptr<const TBytes>()).empty());
  EXPECT_TRUE(TSharedBytes().Span().empty());
}

TEST(ReadAllBytes, ReadsAFileFromItsPositionToItsEnd)
{
  const std::string text = "header|the rest of the file";
  const TFile file = TempFileWith(text);
  TSharedBytes bytes;
  ASSERT_TRUE(ReadAllBytes(file.get(), bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text);

  std::fseek(file.get(), 7, SEEK_SET);
  ASSERT_TRUE(ReadAllBytes(file.get(), bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "the rest of the file");

  std::fseek(file.get(), 1000, SEEK_SET);
  ASSERT_TRUE(ReadAllBytes(file.get(), bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST(ReadAllBytes, GrowsWithAPipeThatReportsNoSize)
{
  // Several times the first block, so the regrowth path runs and keeps
  // every byte in order.
  std::string expected;
  for (int i = 1; i <= 60000; ++i)
    expected += std::to_string(i) + "\n";
  ASSERT_GT(expected.size(), std::size_t{4} << 16);
  const TFile pipe(::popen("seq 1 60000", "r"), &::pclose);
  ASSERT_NE(pipe, nullptr);
  TSharedBytes bytes;
  ASSERT_TRUE(ReadAllBytes(pipe.get(), bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
}

TEST(ReadAllBytes, ReportsAStreamThatCannotBeRead)
{
  // A directory opens, but every read of it fails.
  const TFile directory(std::fopen(testing::TempDir().c_str(), "r"), &std::fclose);
  ASSERT_NE(directory, nullptr);
  TSharedBytes bytes = TSharedBytes(TBytes{1});
  EXPECT_FALSE(ReadAllBytes(directory.get(), bytes));
  EXPECT_EQ(Contents(bytes), TBytes{1});
}
