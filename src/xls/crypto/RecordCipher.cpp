#include "xls/crypto/RecordCipher.h"

#include <algorithm>
#include <cstring>

TXorCipher::~TXorCipher()
{
  WipeBytes(FArray.data(), FArray.size());
}

void TXorCipher::Decrypt(std::uint64_t position, std::uint16_t recordLength, std::span<const std::uint8_t> in,
                         std::uint8_t* out)
{
  // [MS-OFFCRYPTO] 2.3.7.3 DecryptData_Method1, with [MS-XLS]'s start index:
  // the byte's stream position plus its record's length.
  std::size_t index = static_cast<std::size_t>((position + recordLength) % kXorArrayBytes);
  for (std::size_t i = 0; i < in.size(); ++i) {
    const auto value = static_cast<std::uint8_t>(in[i] ^ FArray[index]);
    out[i] = static_cast<std::uint8_t>(value >> 5 | value << 3);
    index = (index + 1) % kXorArrayBytes;
  }
}

TBlockRc4Cipher::~TBlockRc4Cipher()
{
  WipeBytes(FKeyStream.data(), FKeyStream.size());
}

void TBlockRc4Cipher::Decrypt(std::uint64_t position, std::uint16_t, std::span<const std::uint8_t> in,
                              std::uint8_t* out)
{
  while (!in.empty()) {
    const std::uint64_t block = position / kCipherBlockBytes;
    const auto within = static_cast<std::size_t>(position % kCipherBlockBytes);
    const std::size_t count = std::min(in.size(), kCipherBlockBytes - within);
    if (count == kCipherBlockBytes && block != FBlock) {
      // A whole block: one RC4 run straight over it, nothing kept.
      TRc4Key key = BlockKey(static_cast<std::uint32_t>(block));
      TRc4 rc4(std::span(key.Bytes).first(key.Size));
      WipeBytes(key.Bytes.data(), key.Bytes.size());
      rc4.Crypt(in.first(count), out);
    } else {
      if (block != FBlock) {
        TRc4Key key = BlockKey(static_cast<std::uint32_t>(block));
        TRc4 rc4(std::span(key.Bytes).first(key.Size));
        WipeBytes(key.Bytes.data(), key.Bytes.size());
        rc4.KeyStream(FKeyStream);
        FBlock = block;
      }
      const std::uint8_t* key = FKeyStream.data() + within;
      for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] ^ key[i]);
    }
    in = in.subspan(count);
    out += count;
    position += count;
  }
}

TRc4Cipher::~TRc4Cipher()
{
  WipeBytes(FHash.data(), FHash.size());
}

TRc4Key TRc4Cipher::BlockKey(std::uint32_t block)
{
  TRc4Key key;
  key.Bytes = Rc4BlockKey(FHash, block);
  key.Size = key.Bytes.size();
  return key;
}

TCryptoApiCipher::~TCryptoApiCipher()
{
  WipeBytes(FHash.data(), FHash.size());
}

TRc4Key TCryptoApiCipher::BlockKey(std::uint32_t block)
{
  return CryptoApiBlockKey(FHash, block, FKeyBits);
}

void TStoredCipher::Decrypt(std::uint64_t, std::uint16_t, std::span<const std::uint8_t> in, std::uint8_t* out)
{
  if (out != in.data())
    std::memmove(out, in.data(), in.size());
}
