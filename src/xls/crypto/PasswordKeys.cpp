#include "xls/crypto/PasswordKeys.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// [MS-OFFCRYPTO] 2.3.7.2: the key's start by password length, the values
// its characters' bits XOR in, and the bytes a short password is padded with.
constexpr std::uint16_t kXorInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                               0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr std::uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7, 0x9DCF,
    0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4, 0x1BA8, 0x3750,
    0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45, 0xDE8A, 0xAD35, 0x4A4B,
    0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC, 0x5FD9, 0x47D3, 0x8FA6, 0x0F6D,
    0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD, 0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40,
    0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483, 0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4,
    0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C, 0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD,
    0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373, 0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462,
    0x48C4};
constexpr std::uint8_t kXorPad[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                      0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};
constexpr std::uint16_t kXorVerifierMask = 0xCE4B;
// RC4's intermediate buffer repeats the truncated hash and the salt 16 times.
constexpr int kRc4HashRepeats = 16;

/// XOR obfuscation reads 15 password bytes at most.
std::span<const std::uint8_t> XorBytes(std::span<const std::uint8_t> password)
{
  return password.first(std::min(password.size(), TXorPassword::kMostBytes));
}

std::uint8_t RotateRight1(std::uint8_t value)
{
  return static_cast<std::uint8_t>(value >> 1 | value << 7);
}

std::uint8_t XorRor(std::uint8_t a, std::uint8_t b)
{
  return RotateRight1(static_cast<std::uint8_t>(a ^ b));
}

std::array<std::uint8_t, 4> LittleEndian(std::uint32_t value)
{
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

/// A digest context zeroed at its end.
template <typename TContext>
struct TWipedContext {
  TContext Context;
  ~TWipedContext() { WipeBytes(&Context, sizeof Context); }
};

}  // namespace

TXorPassword::TXorPassword(const TPasswordUnits& password)
{
  for (const char16_t unit : password.Units()) {
    if (FCount == kMostBytes)
      break;
    const auto low = static_cast<std::uint8_t>(unit & 0xFF);
    FBytes[FCount++] = low != 0 ? low : static_cast<std::uint8_t>(unit >> 8);
  }
}

TXorPassword::~TXorPassword()
{
  WipeBytes(FBytes.data(), sizeof FBytes);
}

std::uint16_t XorKey(std::span<const std::uint8_t> password)
{
  // CreateXorKey_Method1: start from the length's initial code; each bit of
  // the low 7 of every character, last character first, XORs in one
  // matrix value, walking the matrix from its end.
  password = XorBytes(password);
  if (password.empty())
    return 0;
  std::uint16_t key = kXorInitialCode[password.size() - 1];
  std::size_t element = std::size(kXorMatrix) - 1;
  for (std::size_t i = password.size(); i-- > 0;) {
    std::uint8_t character = password[i];
    for (int bit = 0; bit < 7; ++bit) {
      if (character & 0x40)
        key ^= kXorMatrix[element];
      character = static_cast<std::uint8_t>(character << 1);
      --element;
    }
  }
  return key;
}

std::uint16_t XorVerifier(std::span<const std::uint8_t> password)
{
  // CreatePasswordVerifier_Method1: the length, then the characters, taken
  // from the last; each step rotates the 15-bit verifier left by one and
  // XORs the byte in.
  password = XorBytes(password);
  std::uint16_t verifier = 0;
  const auto step = [&](std::uint8_t byte) {
    const std::uint16_t high = (verifier & 0x4000) ? 1 : 0;
    const auto shifted = static_cast<std::uint16_t>((verifier << 1) & 0x7FFF);
    verifier = static_cast<std::uint16_t>((high | shifted) ^ byte);
  };
  for (std::size_t i = password.size(); i-- > 0;)
    step(password[i]);
  step(static_cast<std::uint8_t>(password.size()));
  return static_cast<std::uint16_t>(verifier ^ kXorVerifierMask);
}

std::array<std::uint8_t, kXorArrayBytes> XorArray(std::span<const std::uint8_t> password)
{
  // CreateXorArray_Method1 fills the array from both ends, but what it
  // puts at each place comes down to this: the password's bytes, then the
  // pad from its start, each XORed with the key's low byte at even places
  // and its high byte at odd ones, then rotated right by one bit.
  password = XorBytes(password);
  const std::uint16_t key = XorKey(password);
  const auto high = static_cast<std::uint8_t>(key >> 8);
  const auto low = static_cast<std::uint8_t>(key & 0xFF);
  std::array<std::uint8_t, kXorArrayBytes> array{};
  for (std::size_t i = 0; i < array.size(); ++i) {
    // (An empty password, which opens nothing, would need a 16th pad byte.)
    const std::size_t pad = i - password.size();
    const std::uint8_t source = i < password.size() ? password[i] : pad < std::size(kXorPad) ? kXorPad[pad] : 0;
    array[i] = XorRor(source, i % 2 == 0 ? low : high);
  }
  return array;
}

TRc4PasswordHash Rc4PasswordHash(const TPasswordUnits& password, std::span<const std::uint8_t, 16> salt)
{
  // [MS-OFFCRYPTO] 2.3.6.2: MD5 of the password cut to 5 bytes; MD5 of that
  // and the salt, 16 times over, cut to 5 bytes again.
  std::array<std::uint8_t, MD5_DIGEST_SIZE> digest{};
  TWipedContext<md5_ctx> md5;
  md5_init(&md5.Context);
  md5_update(&md5.Context, password.Bytes().size(), password.Bytes().data());
  md5_digest(&md5.Context, digest.size(), digest.data());
  md5_init(&md5.Context);
  for (int i = 0; i < kRc4HashRepeats; ++i) {
    md5_update(&md5.Context, 5, digest.data());
    md5_update(&md5.Context, salt.size(), salt.data());
  }
  // The first 5 bytes of the digest are read before it is overwritten.
  std::array<std::uint8_t, MD5_DIGEST_SIZE> second{};
  md5_digest(&md5.Context, second.size(), second.data());
  TRc4PasswordHash hash{};
  std::copy_n(second.begin(), hash.size(), hash.begin());
  WipeBytes(digest.data(), digest.size());
  WipeBytes(second.data(), second.size());
  return hash;
}

std::array<std::uint8_t, 16> Rc4BlockKey(const TRc4PasswordHash& hash, std::uint32_t block)
{
  // 2.3.6.2: MD5 of the 5-byte hash and the block number.
  TWipedContext<md5_ctx> md5;
  md5_init(&md5.Context);
  md5_update(&md5.Context, hash.size(), hash.data());
  const auto number = LittleEndian(block);
  md5_update(&md5.Context, number.size(), number.data());
  std::array<std::uint8_t, 16> key{};
  md5_digest(&md5.Context, key.size(), key.data());
  return key;
}

bool Rc4PasswordMatches(const TRc4PasswordHash& hash, std::span<const std::uint8_t, 16> encryptedVerifier,
                        std::span<const std::uint8_t, 16> encryptedVerifierHash)
{
  // 2.3.6.3: one RC4 run of block 0's key over verifier, then its hash.
  auto key = Rc4BlockKey(hash, 0);
  TRc4 rc4(key);
  WipeBytes(key.data(), key.size());
  std::array<std::uint8_t, 16> verifier{};
  std::array<std::uint8_t, 16> expected{};
  rc4.Crypt(encryptedVerifier, verifier.data());
  rc4.Crypt(encryptedVerifierHash, expected.data());
  std::array<std::uint8_t, MD5_DIGEST_SIZE> actual{};
  TWipedContext<md5_ctx> md5;
  md5_init(&md5.Context);
  md5_update(&md5.Context, verifier.size(), verifier.data());
  md5_digest(&md5.Context, actual.size(), actual.data());
  const bool matches = actual == expected;
  WipeBytes(verifier.data(), verifier.size());
  WipeBytes(expected.data(), expected.size());
  WipeBytes(actual.data(), actual.size());
  return matches;
}

TCryptoApiPasswordHash CryptoApiPasswordHash(const TPasswordUnits& password,
                                             std::span<const std::uint8_t, 16> salt)
{
  // [MS-OFFCRYPTO] 2.3.5.2: SHA-1 of the salt followed by the password.
  TWipedContext<sha1_ctx> sha1;
  sha1_init(&sha1.Context);
  sha1_update(&sha1.Context, salt.size(), salt.data());
  sha1_update(&sha1.Context, password.Bytes().size(), password.Bytes().data());
  TCryptoApiPasswordHash hash{};
  sha1_digest(&sha1.Context, hash.size(), hash.data());
  return hash;
}

TRc4Key CryptoApiBlockKey(const TCryptoApiPasswordHash& hash, std::uint32_t block, std::uint32_t keyBits)
{
  TWipedContext<sha1_ctx> sha1;
  sha1_init(&sha1.Context);
  sha1_update(&sha1.Context, hash.size(), hash.data());
  const auto number = LittleEndian(block);
  sha1_update(&sha1.Context, number.size(), number.data());
  std::array<std::uint8_t, SHA1_DIGEST_SIZE> digest{};
  sha1_digest(&sha1.Context, digest.size(), digest.data());
  TRc4Key key;
  const std::size_t bytes = std::clamp<std::size_t>(keyBits / 8, 5, key.Bytes.size());
  std::copy_n(digest.begin(), bytes, key.Bytes.begin());
  // A 40-bit key is used as 128 bits whose last 88 are zero.
  key.Size = bytes == 5 ? key.Bytes.size() : bytes;
  WipeBytes(digest.data(), digest.size());
  return key;
}

bool CryptoApiPasswordMatches(const TCryptoApiPasswordHash& hash, std::uint32_t keyBits,
                              std::span<const std::uint8_t, 16> encryptedVerifier,
                              std::span<const std::uint8_t, 20> encryptedVerifierHash)
{
  // 2.3.5.6: as RC4's check, with SHA-1.
  TRc4Key key = CryptoApiBlockKey(hash, 0, keyBits);
  TRc4 rc4(std::span(key.Bytes).first(key.Size));
  WipeBytes(key.Bytes.data(), key.Bytes.size());
  std::array<std::uint8_t, 16> verifier{};
  std::array<std::uint8_t, 20> expected{};
  rc4.Crypt(encryptedVerifier, verifier.data());
  rc4.Crypt(encryptedVerifierHash, expected.data());
  std::array<std::uint8_t, SHA1_DIGEST_SIZE> actual{};
  TWipedContext<sha1_ctx> sha1;
  sha1_init(&sha1.Context);
  sha1_update(&sha1.Context, verifier.size(), verifier.data());
  sha1_digest(&sha1.Context, actual.size(), actual.data());
  const bool matches = actual == expected;
  WipeBytes(verifier.data(), verifier.size());
  WipeBytes(expected.data(), expected.size());
  WipeBytes(actual.data(), actual.size());
  return matches;
}

namespace {

arcfour_ctx& Arcfour(std::array<std::uint8_t, 272>& state)
{
  return *std::launder(reinterpret_cast<arcfour_ctx*>(state.data()));
}

}  // namespace

TRc4::TRc4(std::span<const std::uint8_t> key)
{
  static_assert(sizeof(arcfour_ctx) <= kStateBytes && alignof(arcfour_ctx) <= 8);
  new (FState.data()) arcfour_ctx;
  arcfour_set_key(&Arcfour(FState), key.size(), key.data());
}

TRc4::~TRc4()
{
  WipeBytes(FState.data(), FState.size());
}

void TRc4::Crypt(std::span<const std::uint8_t> in, std::uint8_t* out)
{
  arcfour_crypt(&Arcfour(FState), in.size(), out, in.data());
}

void TRc4::KeyStream(std::span<std::uint8_t> out)
{
  std::fill(out.begin(), out.end(), 0);
  arcfour_crypt(&Arcfour(FState), out.size(), out.data(), out.data());
}
