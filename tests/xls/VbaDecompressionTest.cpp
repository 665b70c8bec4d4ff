// Decompression of compressed containers: the format documentation's own
// examples, tokens at each width of the offset field, stored chunks, and
// damaged containers that give what came before the damage.

#include "support/VbaBuilder.h"
#include "xls/vba/VbaCompression.h"
#include "xls/vba/VbaMessages.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace {

std::string Text(const std::vector<std::uint8_t>& bytes)
{
  return std::string(bytes.begin(), bytes.end());
}

/// The parts one after the other.
std::vector<std::uint8_t> Concat(std::initializer_list<std::span<const std::uint8_t>> parts)
{
  std::size_t size = 0;
  for (const auto part : parts)
    size += part.size();
  std::vector<std::uint8_t> out;
  out.reserve(size);
  for (const auto part : parts)
    for (const std::uint8_t b : part)
      out.push_back(b);
  return out;
}

const std::vector<std::uint8_t> kContainerStart{0x01};

/// A compressed chunk's tokens written by hand: flag bytes placed every
/// eight tokens, copy tokens encoded with the offset width the caller says.
class TChunkWriter {
public:
  TChunkWriter& Literal(std::uint8_t byte)
  {
    Flag(false);
    FData.push_back(byte);
    return *this;
  }
  TChunkWriter& Literals(std::string_view text)
  {
    for (const char c : text)
      Literal(static_cast<std::uint8_t>(c));
    return *this;
  }
  TChunkWriter& Copy(std::size_t offset, std::size_t length, unsigned offsetBits)
  {
    Flag(true);
    const auto token = static_cast<std::uint16_t>((offset - 1) << (16 - offsetBits) | (length - 3));
    FData.push_back(static_cast<std::uint8_t>(token));
    FData.push_back(static_cast<std::uint8_t>(token >> 8));
    return *this;
  }
  /// The chunk with its header, compressed flag set.
  std::vector<std::uint8_t> Chunk() const
  {
    const auto header = static_cast<std::uint16_t>(0xB000 | (FData.size() - 1));
    const std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(header), static_cast<std::uint8_t>(header >> 8)};
    return Concat({bytes, FData});
  }
  std::vector<std::uint8_t> Container() const { return Concat({kContainerStart, Chunk()}); }

private:
  void Flag(bool copy)
  {
    if (FTokens % 8 == 0) {
      FFlagAt = FData.size();
      FData.push_back(0);
    }
    if (copy)
      FData[FFlagAt] = static_cast<std::uint8_t>(FData[FFlagAt] | 1u << (FTokens % 8));
    ++FTokens;
  }
  std::vector<std::uint8_t> FData;
  std::size_t FFlagAt = 0;
  std::size_t FTokens = 0;
};

struct TDocumentedExample {
  const char* Name;
  std::vector<std::uint8_t> Compressed;
  std::string Decompressed;
};

TEST(VbaDecompression, ReadsTheDocumentedExamples)
{
  const std::vector<TDocumentedExample> examples = {
      {"no compression",
       {0x01, 0x19, 0xB0, 0x00, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x00, 0x69, 0x6A, 0x6B, 0x6C,
        0x6D, 0x6E, 0x6F, 0x70, 0x00, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x2E},
       "abcdefghijklmnopqrstuv."},
      {"normal compression",
       {0x01, 0x2F, 0xB0, 0x00, 0x23, 0x61, 0x61, 0x61, 0x62, 0x63, 0x64, 0x65, 0x82, 0x66, 0x00, 0x70,
        0x61, 0x67, 0x68, 0x69, 0x6A, 0x01, 0x38, 0x08, 0x61, 0x6B, 0x6C, 0x00, 0x30, 0x6D, 0x6E, 0x6F,
        0x70, 0x06, 0x71, 0x02, 0x70, 0x04, 0x10, 0x72, 0x73, 0x74, 0x75, 0x76, 0x10, 0x77, 0x78, 0x79,
        0x7A, 0x00, 0x3C},
       "#aaabcdefaaaaghijaaaaaklaaamnopqaaaaaaaaaaaarstuvwxyzaaa"},
      // One literal, then one token copying it 72 times.
      {"maximum compression", {0x01, 0x03, 0xB0, 0x02, 0x61, 0x45, 0x00}, std::string(73, 'a')},
  };
  for (const auto& example : examples) {
    SCOPED_TRACE(example.Name);
    const TVbaDecompressed result = DecompressVba(example.Compressed);
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(Text(result.Bytes), example.Decompressed);
  }
}

TEST(VbaDecompression, ReadsLiteralRunsAcrossFlagBytes)
{
  const std::string text = "Sub A()\r\nEnd Sub\r\n";  // 18 literals: three flag bytes
  const TVbaDecompressed result = DecompressVba(TChunkWriter().Literals(text).Container());
  EXPECT_EQ(result.Error, "");
  EXPECT_EQ(Text(result.Bytes), text);
}

// The offset field widens as the chunk fills: 4 bits up to 16 bytes
// decompressed, 5 up to 32, ..., 12 up to 4096. A token right at each
// boundary and right after it, copying the chunk's first bytes.
TEST(VbaDecompression, CopyTokensWidenTheirOffsetAtEachPowerOfTwo)
{
  struct TCase {
    std::size_t Position;
    unsigned Bits;
  };
  const TCase cases[] = {{1, 4},    {16, 4},   {17, 5},   {32, 5},    {33, 6},    {64, 6},   {65, 7},
                         {128, 7},  {129, 8},  {256, 8},  {257, 9},   {512, 9},   {513, 10}, {1024, 10},
                         {1025, 11}, {2048, 11}, {2049, 12}, {4000, 12}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Position);
    // Up to 40 distinct letters, then the last one repeated by copies one
    // byte back (their offset field is 0 and their length below 16, so they
    // read the same at every width): a chunk of any fill in few bytes.
    TChunkWriter writer;
    std::string before;
    for (std::size_t i = 0; i < std::min<std::size_t>(c.Position, 40); ++i)
      before += static_cast<char>('A' + i % 26 + (i / 26) * 32);
    writer.Literals(before);
    while (before.size() < c.Position) {
      const std::size_t length = std::min<std::size_t>(18, c.Position - before.size());
      if (length < 3) {
        writer.Literal(static_cast<std::uint8_t>(before.back()));
        before += before.back();
        continue;
      }
      writer.Copy(1, length, 4);
      before += std::string(length, before.back());
    }
    const std::size_t length = 5;
    const TVbaDecompressed result = DecompressVba(writer.Copy(c.Position, length, c.Bits).Literal('!').Container());
    EXPECT_EQ(result.Error, "");
    // A copy from the chunk's first byte: its first letters (a one-byte
    // chunk's only letter, repeated).
    const std::string copied = c.Position >= length ? before.substr(0, length) : std::string(length, before[0]);
    EXPECT_EQ(Text(result.Bytes), before + copied + "!");
  }
}

TEST(VbaDecompression, ACopyOverlappingItsOwnOutputRepeatsTheRun)
{
  const TVbaDecompressed result = DecompressVba(TChunkWriter().Literals("ab").Copy(2, 7, 4).Container());
  EXPECT_EQ(Text(result.Bytes), "ababababa");
}

TEST(VbaDecompression, AStoredChunkIsTakenAsItIs)
{
  std::vector<std::uint8_t> first(4096);
  for (std::size_t i = 0; i < first.size(); ++i)
    first[i] = static_cast<std::uint8_t>(i * 31 + 7);
  const std::vector<std::uint8_t> storedHeader{0x01, 0xFF, 0x3F};
  const auto container = Concat({storedHeader, first, TChunkWriter().Literals("tail").Copy(4, 3, 4).Chunk()});

  const TVbaDecompressed result = DecompressVba(container);
  EXPECT_EQ(result.Error, "");
  auto expected = first;
  for (const char c : std::string("tailtai"))
    expected.push_back(static_cast<std::uint8_t>(c));
  EXPECT_EQ(result.Bytes, expected);
}

TEST(VbaDecompression, RoundTripsTextOfSeveralChunks)
{
  std::string text;
  for (int i = 0; text.size() < 10000; ++i)
    text += "    Cells(" + std::to_string(i) + ", 1).Value = \"row " + std::to_string(i * 7) + "\"\r\n";
  for (const bool stored : {false, true}) {
    SCOPED_TRACE(stored);
    const std::string whole = stored ? text.substr(0, 8192) : text;
    const TVbaDecompressed result = DecompressVba(VbaCompress(whole, stored));
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(Text(result.Bytes), whole);
  }
}

TEST(VbaDecompression, AContainerCutShortGivesWhatCameBefore)
{
  const std::string text = "Attribute VB_Name = \"Module1\"\r\n";
  const auto whole = TChunkWriter().Literals(text).Container();
  for (std::size_t cut = 4; cut < whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    const std::vector<std::uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
    const TVbaDecompressed result = DecompressVba(part);
    EXPECT_EQ(result.Error, kMsgVbaChunkCut);
    // Every literal present is kept: the data bytes less one flag byte in nine.
    const std::size_t data = cut - 3;
    EXPECT_EQ(Text(result.Bytes), text.substr(0, data - (data + 8) / 9));
  }
}

TEST(VbaDecompression, DamageIsNamedAndTheBytesBeforeItKept)
{
  const auto good = TChunkWriter().Literals("first").Chunk();
  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Container;
    std::string Kept;
    const char* Error;
  };
  const auto after = [&](const std::vector<std::uint8_t>& tail) { return Concat({kContainerStart, good, tail}); };
  const std::vector<TCase> cases = {
      {"empty", {}, "", kMsgVbaEmptyContainer},
      {"container signature", {0x02, 0x03, 0xB0, 0x02, 0x61, 0x45, 0x00}, "", kMsgVbaBadContainerSignature},
      {"chunk signature", after({0x03, 0xC0, 0x02, 0x61, 0x45, 0x00}), "first", kMsgVbaBadChunkSignature},
      {"half a chunk header", after({0x03}), "first", kMsgVbaChunkHeaderCut},
      {"stored chunk cut", after({0xFF, 0x3F, 'a', 'b'}), "firstab", kMsgVbaChunkCut},
      {"copy before the chunk's start", after(TChunkWriter().Literal('x').Copy(2, 3, 4).Chunk()), "firstx",
       kMsgVbaCopyBeforeStart},
      {"copy token cut", after({0x02, 0xB0, 0x02, 0x61, 0x45}), "firsta", kMsgVbaTokenCut},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TVbaDecompressed result = DecompressVba(c.Container);
    EXPECT_EQ(result.Error, c.Error);
    EXPECT_EQ(Text(result.Bytes), c.Kept);
    EXPECT_FALSE(result.Cut);
  }
}

TEST(VbaDecompression, AChunkGrowingPastItsSizeIsDamage)
{
  // 4090 bytes in, a copy of 7 would end the chunk at 4097.
  TChunkWriter writer;
  writer.Literal('a');
  for (std::size_t done = 1; done < 4090;) {
    const std::size_t length = std::min<std::size_t>(4090 - done, 18);
    writer.Copy(1, std::max<std::size_t>(length, 3), done <= 16 ? 4 : done <= 32 ? 5 : done <= 64 ? 6 : done <= 128 ? 7 : done <= 256 ? 8 : done <= 512 ? 9 : done <= 1024 ? 10 : done <= 2048 ? 11 : 12);
    done += std::max<std::size_t>(length, 3);
  }
  const auto ok = DecompressVba(writer.Container());
  ASSERT_EQ(ok.Error, "");
  ASSERT_EQ(ok.Bytes.size(), 4090u);
  const TVbaDecompressed result = DecompressVba(writer.Copy(1, 7, 12).Container());
  EXPECT_EQ(result.Error, kMsgVbaChunkTooLarge);
  EXPECT_EQ(result.Bytes.size(), 4090u);
}

TEST(VbaDecompression, OutputStopsAtTheLimitAndSaysSo)
{
  const std::string text(20000, 'x');
  const auto container = VbaCompress(text);
  for (const std::size_t limit : {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{12345}}) {
    SCOPED_TRACE(limit);
    const TVbaDecompressed result = DecompressVba(container, limit);
    EXPECT_TRUE(result.Cut);
    EXPECT_EQ(result.Error, kMsgVbaOutputLimit);
    EXPECT_EQ(Text(result.Bytes), std::string(limit, 'x'));
  }
  const TVbaDecompressed whole = DecompressVba(container, text.size());
  EXPECT_FALSE(whole.Cut);
  EXPECT_EQ(whole.Error, "");
  EXPECT_EQ(Text(whole.Bytes), text);
}

}  // namespace
