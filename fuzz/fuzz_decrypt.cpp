// Fuzz target: the decrypting source. Input: byte 0 gives the password's
// length (low 4 bits), whether the FILEPASS is read as BIFF8 (bit 4) and
// the window size (the top 3 bits); then the password's bytes (Latin-1);
// the rest is a bare workbook stream whose FILEPASS says how it is
// encrypted. The password is checked against the FILEPASS as a load checks
// it; a password the FILEPASS refuses still keys the cipher its scheme
// names, so fuzzed data is decrypted whatever the verifier says. The
// stream is then decrypted whole, as a load that keeps it does, and a
// window at a time, as a load reading its file does, record by record:
// both must give the same bytes, leave every record header and every
// plain record as stored, and keep the stream's length.
#include "platform/Errors.h"
#include "xls/crypto/Encryption.h"
#include "xls/crypto/PasswordKeys.h"
#include "xls/crypto/RecordCipher.h"
#include "xls/stream/DecryptingSource.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr std::size_t kHeaderBytes = 4;

/// The stream in memory handed out a window at a time, as a file read by
/// window hands it out: at least what is asked for, at most a window more.
class TWindowedSource final : public TStreamSource {
public:
  TWindowedSource(std::span<const std::uint8_t> bytes, std::size_t window)
      : TStreamSource(bytes.size()), FBytes(bytes), FWindow(window)
  {
  }
  std::span<const std::uint8_t> Cover(std::uint64_t from, std::size_t count, std::uint64_t& base) override
  {
    base = from;
    const std::size_t at = static_cast<std::size_t>(std::min<std::uint64_t>(from, FBytes.size()));
    return FBytes.subspan(at, std::min(FBytes.size() - at, std::max(count, FWindow)));
  }

private:
  std::span<const std::uint8_t> FBytes;
  std::size_t FWindow;
};

std::optional<TFilePass> ReadFilePass(std::span<const std::uint8_t> data, bool biff8)
{
  TDecodeContext context;
  context.Version = biff8 ? TExcelVersion::evExcel8 : TExcelVersion::evExcel5;
  std::optional<TFilePass> read;
  TRecordCursor cursor(data);
  try {
    TFilePassDecoder()(cursor, context, 0x002F, [&](const TFilePass& pass) { read = pass; });
  } catch (const EBiffLensError&) {
  }
  return read;
}

/// The cipher the scheme names keyed by `password`, whether or not the
/// FILEPASS's verifier accepts it.
std::unique_ptr<TRecordCipher> KeyedCipher(const TFilePass& pass, const TPasswordUnits& password)
{
  switch (pass.Scheme) {
  case TEncryptionScheme::esXorBiff5:
  case TEncryptionScheme::esXor: {
    const TXorPassword bytes(password);
    if (bytes.Bytes().empty())
      return nullptr;
    return std::make_unique<TXorCipher>(XorArray(bytes.Bytes()));
  }
  case TEncryptionScheme::esRc4:
    return std::make_unique<TRc4Cipher>(Rc4PasswordHash(password, pass.Salt));
  case TEncryptionScheme::esCryptoApi:
    return std::make_unique<TCryptoApiCipher>(CryptoApiPasswordHash(password, pass.Salt), pass.KeyBits);
  case TEncryptionScheme::esUnknown:
    break;
  }
  return nullptr;
}

void OpenOrLock(TDecryptingSource& source, std::unique_ptr<TRecordCipher> cipher)
{
  if (cipher)
    source.Open(std::move(cipher));
  else
    source.Lock();
}

/// Headers and plain data after `start` are as stored.
void CheckPlain(std::span<const std::uint8_t> stored, std::span<const std::uint8_t> made, std::size_t start)
{
  if (made.size() != stored.size() || std::memcmp(made.data(), stored.data(), start) != 0)
    __builtin_trap();
  std::size_t at = start;
  while (stored.size() - at >= kHeaderBytes) {
    if (std::memcmp(made.data() + at, stored.data() + at, kHeaderBytes) != 0)
      __builtin_trap();
    const auto code = static_cast<std::uint16_t>(stored[at] | stored[at + 1] << 8);
    const std::size_t length = stored[at + 2] | stored[at + 3] << 8;
    const std::size_t data = at + kHeaderBytes;
    const std::size_t end = std::min(stored.size(), data + length);
    const std::size_t plain = std::min(PlainDataBytes(code) == kAllPlain ? length : PlainDataBytes(code), end - data);
    if (std::memcmp(made.data() + data, stored.data() + data, plain) != 0)
      __builtin_trap();
    at = end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1)
    return 0;
  const std::size_t passwordBytes = std::min<std::size_t>(data[0] & 0x0F, size - 1);
  const bool biff8 = (data[0] & 0x10) != 0;
  const std::size_t window = std::size_t{64} << (data[0] >> 5);
  std::u16string units;
  for (std::size_t i = 0; i < passwordBytes; ++i)
    units += static_cast<char16_t>(data[1 + i]);
  const std::span<const std::uint8_t> stream(data + 1 + passwordBytes, size - 1 - passwordBytes);

  TMemoryStreamSource whole(stream);
  const std::optional<TFilePassPlace> place = FindFilePass(whole);
  if (!place)
    return 0;
  if (place->End > stream.size() || place->Offset + kHeaderBytes > place->End)
    __builtin_trap();
  const std::optional<TFilePass> pass =
      ReadFilePass(stream.subspan(place->Offset + kHeaderBytes, place->End - place->Offset - kHeaderBytes), biff8);
  if (!pass)
    __builtin_trap();  // the decoder hands out a FILEPASS whatever it holds
  const TPasswordUnits password(units);
  // The checked cipher when the password passes, else the one it keys.
  std::unique_ptr<TRecordCipher> checked = OpenCipher(*pass, password);
  if (checked && pass->Scheme == TEncryptionScheme::esUnknown)
    __builtin_trap();

  TDecryptingSource decryptedWhole(whole, place->End, true);
  OpenOrLock(decryptedWhole, KeyedCipher(*pass, password));
  std::uint64_t base = 0;
  (void)decryptedWhole.Cover(0, stream.size(), base);
  decryptedWhole.Finish();
  const std::span<const std::uint8_t> made = decryptedWhole.Block().Span();
  CheckPlain(stream, made, static_cast<std::size_t>(place->End));

  // A window at a time, record by record, each window let go after its record.
  TWindowedSource windows(stream, window);
  TDecryptingSource decryptedWindows(windows, place->End, false);
  OpenOrLock(decryptedWindows, checked ? std::move(checked) : KeyedCipher(*pass, password));
  std::uint64_t at = 0;
  while (at < stream.size()) {
    std::span<const std::uint8_t> header = decryptedWindows.Cover(at, kHeaderBytes, base);
    if (base > at || at - base > header.size())
      __builtin_trap();
    header = header.subspan(static_cast<std::size_t>(at - base));
    const std::size_t length = header.size() >= kHeaderBytes ? (header[2] | header[3] << 8) : 0;
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(kHeaderBytes + length, stream.size() - at));
    std::span<const std::uint8_t> record = decryptedWindows.Cover(at, wanted, base);
    if (base > at || record.size() < at - base + wanted)
      __builtin_trap();
    if (std::memcmp(record.data() + (at - base), made.data() + at, wanted) != 0)
      __builtin_trap();  // decrypted by window unlike decrypted whole
    at += wanted;
    decryptedWindows.Release();
  }
  decryptedWindows.Finish();
  return 0;
}
