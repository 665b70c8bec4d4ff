// The decrypting source, whole and a window at a time, against the stream
// decrypted by hand: record headers and plain data as stored, the rest
// decrypted by position, whatever the window's size and however far the
// first encrypted record lies from the stream's start.
#include "xls/RecordCodes.h"
#include "xls/crypto/Encryption.h"
#include "xls/stream/DecryptingSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

/// XOR with a key byte made of the position (and, unless by position alone,
/// of the record's length), so a byte decrypted at the wrong place shows.
class TTestCipher final : public TRecordCipher {
public:
  explicit TTestCipher(bool byPosition) : FByPosition(byPosition) {}
  static std::uint8_t Key(std::uint64_t position, std::uint16_t length, bool byPosition)
  {
    return static_cast<std::uint8_t>(0xA5 ^ position ^ (position >> 8) ^ (byPosition ? 0 : length));
  }
  void Decrypt(std::uint64_t position, std::uint16_t recordLength, std::span<const std::uint8_t> in,
               std::uint8_t* out) override
  {
    for (std::size_t i = 0; i < in.size(); ++i)
      out[i] = in[i] ^ Key(position + i, recordLength, FByPosition);
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

struct TStream {
  std::vector<std::uint8_t> Stored;
  std::vector<std::uint8_t> Plain;  // as decrypted by hand
  std::uint64_t Start = 0;          // the first encrypted record's header
};

void AddRecord(TStream& s, std::uint16_t code, std::size_t length, bool encrypted, bool byPosition)
{
  for (const unsigned word : {unsigned{code}, static_cast<unsigned>(length)})
    for (const unsigned shift : {0u, 8u}) {
      s.Stored.push_back(static_cast<std::uint8_t>(word >> shift));
      s.Plain.push_back(static_cast<std::uint8_t>(word >> shift));
    }
  const std::size_t plain = !encrypted ? length : std::min(length, PlainDataBytes(code) == kAllPlain ? length : PlainDataBytes(code));
  for (std::size_t i = 0; i < length; ++i) {
    const auto value = static_cast<std::uint8_t>(i * 7 + code);
    const std::uint64_t position = s.Stored.size();
    s.Plain.push_back(value);
    s.Stored.push_back(i < plain ? value
                                 : value ^ TTestCipher::Key(position, static_cast<std::uint16_t>(length), byPosition));
  }
}

/// BOF, records before FILEPASS, a FILEPASS of `filePassBytes`, then
/// encrypted records of many lengths, a BOUNDSHEET (its position plain)
/// and an INTERFACEHDR (plain) among them.
TStream MakeStream(std::size_t before, std::size_t filePassBytes, bool byPosition)
{
  TStream s;
  AddRecord(s, kRecBof, 16, false, byPosition);
  for (std::size_t i = 0; i < before; ++i)
    AddRecord(s, kRecWriteProt, 0, false, byPosition);
  AddRecord(s, kRecFilePass, filePassBytes, false, byPosition);
  s.Start = s.Stored.size();
  const std::size_t lengths[] = {0, 1, 3, 4, 14, 200, 1030, 5, 2100, 8};
  for (std::size_t round = 0; round < 3; ++round) {
    for (const std::size_t length : lengths)
      AddRecord(s, kRecNumber, length, true, byPosition);
    AddRecord(s, kRecBoundSheet, 12, true, byPosition);
    AddRecord(s, kRecInterfaceHdr, 2, true, byPosition);
  }
  AddRecord(s, kRecEof, 0, true, byPosition);
  return s;
}

TEST(DecryptingSource, ByWindowAndWholeGiveTheStreamDecryptedByHand)
{
  struct TCase {
    std::size_t Before;       // records between BOF and FILEPASS
    std::size_t FilePass;     // its data bytes
    std::size_t Window;
  };
  // A first encrypted record past the first window's end (a long FILEPASS
  // or many records before it), at it, and well inside it.
  const TCase cases[] = {
      {0, 54, 64},   {0, 300, 64},  {0, 300, 128},  {40, 54, 128}, {0, 1000, 256},
      {0, 54, 4096}, {3, 300, 100}, {0, 116, 140},  {0, 2000, 512},
  };
  for (const bool byPosition : {true, false}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "before " << c.Before << ", FILEPASS " << c.FilePass << ", window "
                                      << c.Window << (byPosition ? ", by position" : ", by record"));
      const TStream s = MakeStream(c.Before, c.FilePass, byPosition);

      TMemoryStreamSource memory(s.Stored);
      TDecryptingSource whole(memory, s.Start, true);
      whole.Open(std::make_unique<TTestCipher>(byPosition));
      std::uint64_t base = 0;
      (void)whole.Cover(0, s.Stored.size(), base);
      whole.Finish();
      EXPECT_TRUE(std::equal(s.Plain.begin(), s.Plain.end(), whole.Block().Span().begin(), whole.Block().Span().end()));

      // Record by record, as the record loop reads a file by window.
      TWindowedSource windows(s.Stored, c.Window);
      TDecryptingSource windowed(windows, s.Start, false);
      windowed.Open(std::make_unique<TTestCipher>(byPosition));
      std::vector<std::uint8_t> read;
      while (read.size() < s.Stored.size()) {
        const std::uint64_t at = read.size();
        std::span<const std::uint8_t> header = windowed.Cover(at, 4, base);
        ASSERT_LE(base, at);
        ASSERT_GE(header.size(), at - base + 4);
        header = header.subspan(static_cast<std::size_t>(at - base));
        const std::size_t wanted = 4 + static_cast<std::size_t>(header[2] | header[3] << 8);
        const std::span<const std::uint8_t> record = windowed.Cover(at, wanted, base);
        ASSERT_GE(record.size(), at - base + wanted);
        for (std::size_t i = 0; i < wanted; ++i)
          read.push_back(record[static_cast<std::size_t>(at - base) + i]);
        windowed.Release();
      }
      windowed.Finish();
      EXPECT_EQ(read, s.Plain);
    }
  }
}

}  // namespace
