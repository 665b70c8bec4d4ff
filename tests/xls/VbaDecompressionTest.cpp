// Decompression of compressed containers: the format documentation's own
// examples, tokens at each width of the offset field, stored chunks, and
// damaged containers that give what came before the damage.

#include "xls/vba/VbaCompression.h"
#include "xls/vba/VbaMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TBytes8 = std::vector<std::uint8_t>;

std::string Text(const TBytes8& bytes)
{
  return std::string(bytes.begin(), bytes.end());
}

TBytes8 operator+(TBytes8 a, const TBytes8& b)
{
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

/// A compressed chunk written by hand: a flag byte before every eight
/// tokens, copy tokens encoded with the offset width the caller gives.
class TChunkWriter {
public:
  TChunkWriter& Literals(std::string_view text)
  {
    for (const char c : text) {
      Flag(false);
      FData.push_back(static_cast<std::uint8_t>(c));
    }
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
  TBytes8 Chunk() const
  {
    const auto header = static_cast<std::uint16_t>(0xB000 | (FData.size() - 1));  // compressed, signature 0b011
    return TBytes8{static_cast<std::uint8_t>(header), static_cast<std::uint8_t>(header >> 8)} + FData;
  }
  TBytes8 Container() const { return TBytes8{0x01} + Chunk(); }

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
  TBytes8 FData;
  std::size_t FFlagAt = 0;
  std::size_t FTokens = 0;
};

TEST(VbaDecompression, ReadsTheDocumentedExamples)
{
  const struct {
    const char* Name;
    TBytes8 Compressed;
    std::string Decompressed;
  } examples[] = {
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

// The offset field widens as the chunk fills: 4 bits up to 16 bytes
// decompressed, 5 up to 32, ..., 12 up to 4096. A token right at each
// boundary and right after it copies the chunk's first five bytes.
TEST(VbaDecompression, CopyTokensWidenTheirOffsetAtEachPowerOfTwo)
{
  const struct {
    std::size_t Position;
    unsigned Bits;
  } cases[] = {{16, 4},  {17, 5},  {32, 5},  {33, 6},  {64, 6},   {65, 7},    {128, 7},   {129, 8},   {256, 8},
               {257, 9}, {512, 9}, {513, 10}, {1024, 10}, {1025, 11}, {2048, 11}, {2049, 12}, {4000, 12}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Position);
    // Sixteen letters, then the last one repeated by copies one byte back:
    // their offset field is 0 and their length below 16, so they read the
    // same at every width, and any fill takes few bytes.
    const std::string letters = "ABCDEFGHIJKLMNOP";
    TChunkWriter writer;
    writer.Literals(letters);
    std::string expected = letters;
    while (expected.size() < c.Position) {
      const std::size_t length = std::min<std::size_t>(18, c.Position - expected.size());
      if (length < 3)
        writer.Literals("P");
      else
        writer.Copy(1, length, 4);
      expected += std::string(length < 3 ? 1 : length, 'P');
    }
    const TVbaDecompressed result = DecompressVba(writer.Copy(c.Position, 5, c.Bits).Literals("!").Container());
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(Text(result.Bytes), expected + "ABCDE!");
  }
}

TEST(VbaDecompression, AStoredChunkIsTakenAsItIs)
{
  TBytes8 stored(4096);
  for (std::size_t i = 0; i < stored.size(); ++i)
    stored[i] = static_cast<std::uint8_t>(i * 31 + 7);
  const TBytes8 container = TBytes8{0x01, 0xFF, 0x3F} + stored + TChunkWriter().Literals("tail").Copy(4, 3, 4).Chunk();
  const TVbaDecompressed result = DecompressVba(container);
  EXPECT_EQ(result.Error, "");
  EXPECT_EQ(result.Bytes, (stored + TBytes8{'t', 'a', 'i', 'l', 't', 'a', 'i'}));
}

TEST(VbaDecompression, DamageIsNamedAndTheBytesBeforeItKept)
{
  const TBytes8 good = TBytes8{0x01} + TChunkWriter().Literals("first").Chunk();
  const struct {
    const char* Name;
    TBytes8 Container;
    std::string Kept;
    const char* Error;
  } cases[] = {
      {"empty", {}, "", kMsgVbaEmptyContainer},
      {"container signature", {0x02, 0x03, 0xB0, 0x02, 0x61, 0x45, 0x00}, "", kMsgVbaBadContainerSignature},
      {"chunk signature", good + TBytes8{0x03, 0xC0, 0x02, 0x61, 0x45, 0x00}, "first", kMsgVbaBadChunkSignature},
      {"half a chunk header", good + TBytes8{0x03}, "first", kMsgVbaChunkHeaderCut},
      {"compressed chunk cut", good + TBytes8{0x06, 0xB0, 0x00, 'a', 'b'}, "firstab", kMsgVbaChunkCut},
      {"stored chunk cut", good + TBytes8{0xFF, 0x3F, 'a', 'b'}, "firstab", kMsgVbaChunkCut},
      {"copy token cut", good + TBytes8{0x02, 0xB0, 0x02, 0x61, 0x45}, "firsta", kMsgVbaTokenCut},
      {"copy before the chunk", good + TChunkWriter().Literals("x").Copy(2, 3, 4).Chunk(), "firstx",
       kMsgVbaCopyBeforeStart},
      {"chunk past 4096 bytes", good + TChunkWriter().Literals("x").Copy(1, 4098, 4).Chunk(), "firstx",
       kMsgVbaChunkTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TVbaDecompressed result = DecompressVba(c.Container);
    EXPECT_EQ(result.Error, c.Error);
    EXPECT_EQ(Text(result.Bytes), c.Kept);
    EXPECT_FALSE(result.Cut);
  }
}

TEST(VbaDecompression, OutputStopsAtTheLimitAndSaysSo)
{
  // Each chunk: one literal and copies of it up to 4096 bytes.
  TChunkWriter writer;
  writer.Literals("x").Copy(1, 4095, 4);
  TBytes8 container{0x01};
  for (int i = 0; i < 5; ++i)
    container = container + writer.Chunk();
  for (const std::size_t limit : {0, 1, 4096, 12345, 20480}) {
    SCOPED_TRACE(limit);
    const TVbaDecompressed result = DecompressVba(container, limit);
    EXPECT_EQ(result.Cut, limit < 20480);
    EXPECT_EQ(result.Error, limit < 20480 ? kMsgVbaOutputLimit : "");
    EXPECT_EQ(Text(result.Bytes), std::string(limit, 'x'));
  }
}

}  // namespace
