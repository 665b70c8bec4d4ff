// The decrypting source, whole and a window at a time, against the stream
// decrypted by hand, whatever the window's size and however far the first
// encrypted record lies from the stream's start.
#include "xls/RecordCodes.h"
#include "xls/crypto/Encryption.h"
#include "xls/stream/DecryptingSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

/// XOR with a key made of the position (and, unless by position alone, the
/// record's length), so a byte decrypted at the wrong place shows.
std::uint8_t Key(std::uint64_t position, std::uint16_t length, bool byPosition)
{
  return static_cast<std::uint8_t>(0xA5 ^ position ^ (position >> 8) ^ (byPosition ? 0 : length));
}

class TTestCipher final : public TRecordCipher {
public:
  explicit TTestCipher(bool byPosition) : FByPosition(byPosition) {}
  void Decrypt(std::uint64_t position, std::uint16_t length, std::span<const std::uint8_t> in, std::uint8_t* out) override
  {
    for (std::size_t i = 0; i < in.size(); ++i)
      out[i] = in[i] ^ Key(position + i, length, FByPosition);
  }
  bool ByPositionOnly() const override { return FByPosition; }

private:
  bool FByPosition;
};

/// The stream handed out a window at a time, at least what is asked for.
class TWindowedSource final : public TStreamSource {
public:
  TWindowedSource(std::span<const std::uint8_t> bytes, std::size_t window)
      : TStreamSource(bytes.size()), FBytes(bytes), FWindow(window)
  {
  }
  std::span<const std::uint8_t> Cover(std::uint64_t from, std::size_t count, std::uint64_t& base) override
  {
    base = from;
    const auto at = static_cast<std::size_t>(from);
    return FBytes.subspan(at, std::min(FBytes.size() - at, std::max(count, FWindow)));
  }

private:
  std::span<const std::uint8_t> FBytes;
  std::size_t FWindow;
};

/// BOF, `before` records, a FILEPASS of `filePass` bytes, then encrypted
/// records of many lengths with a BOUNDSHEET (its position plain) and an
/// INTERFACEHDR (plain) among them: as stored, and decrypted by hand.
struct TStream {
  std::vector<std::uint8_t> Stored, Plain;
  std::uint64_t Start = 0;  // the first encrypted record's header

  TStream(std::size_t before, std::size_t filePass, bool byPosition)
  {
    const auto add = [&](std::uint16_t code, std::size_t length, bool encrypted) {
      for (const unsigned word : {unsigned{code}, static_cast<unsigned>(length)})
        for (const unsigned shift : {0u, 8u}) {
          Stored.push_back(static_cast<std::uint8_t>(word >> shift));
          Plain.push_back(Stored.back());
        }
      const std::size_t plain = !encrypted || PlainDataBytes(code) == kAllPlain ? length : PlainDataBytes(code);
      for (std::size_t i = 0; i < length; ++i) {
        Plain.push_back(static_cast<std::uint8_t>(i * 7 + code));
        const std::uint8_t key = i < plain ? 0 : Key(Stored.size(), static_cast<std::uint16_t>(length), byPosition);
        Stored.push_back(static_cast<std::uint8_t>(Plain.back() ^ key));
      }
    };
    add(kRecBof, 16, false);
    for (std::size_t i = 0; i < before; ++i)
      add(kRecWriteProt, 0, false);
    add(kRecFilePass, filePass, false);
    Start = Stored.size();
    for (std::size_t round = 0; round < 3; ++round) {
      for (const std::size_t length : {0u, 1u, 3u, 4u, 14u, 200u, 1030u, 5u, 2100u, 8u})
        add(kRecNumber, length, true);
      add(kRecBoundSheet, 12, true);
      add(kRecInterfaceHdr, 2, true);
    }
    add(kRecEof, 0, true);
  }
};

TEST(DecryptingSource, ByWindowAndWholeGiveTheStreamDecryptedByHand)
{
  // Records before FILEPASS, its length, the window: a first encrypted
  // record past the first window's end, at it, and well inside it.
  const std::size_t cases[][3] = {{0, 54, 64},   {0, 300, 64},  {0, 300, 128}, {40, 54, 128}, {0, 1000, 256},
                                   {0, 54, 4096}, {3, 300, 100}, {0, 116, 140}, {0, 2000, 512}};
  for (const bool byPosition : {true, false})
    for (const auto& [before, filePass, window] : cases) {
      SCOPED_TRACE(testing::Message() << before << " before, FILEPASS " << filePass << ", window " << window
                                      << (byPosition ? ", by position" : ", by record"));
      const TStream s(before, filePass, byPosition);
      TMemoryStreamSource memory(s.Stored);
      TDecryptingSource whole(memory, s.Start, true);
      whole.Open(std::make_unique<TTestCipher>(byPosition));
      std::uint64_t base = 0;
      (void)whole.Cover(0, s.Stored.size(), base);
      whole.Finish();
      EXPECT_TRUE(std::ranges::equal(s.Plain, whole.Block().Span()));

      // Record by record, as the record loop reads a file by window.
      TWindowedSource windows(s.Stored, window);
      TDecryptingSource windowed(windows, s.Start, false);
      windowed.Open(std::make_unique<TTestCipher>(byPosition));
      std::vector<std::uint8_t> read;
      while (read.size() < s.Stored.size()) {
        const std::uint64_t at = read.size();
        const std::span<const std::uint8_t> header = windowed.Cover(at, 4, base);
        ASSERT_TRUE(base <= at && header.size() >= at - base + 4);
        const auto from = static_cast<std::size_t>(at - base);
        const std::size_t wanted = 4 + static_cast<std::size_t>(header[from + 2] | header[from + 3] << 8);
        const std::span<const std::uint8_t> record = windowed.Cover(at, wanted, base);
        ASSERT_GE(record.size(), at - base + wanted);
        const auto first = record.begin() + static_cast<std::ptrdiff_t>(at - base);
        read.insert(read.end(), first, first + static_cast<std::ptrdiff_t>(wanted));
        windowed.Release();
      }
      windowed.Finish();
      EXPECT_EQ(read, s.Plain);
    }
}

}  // namespace
