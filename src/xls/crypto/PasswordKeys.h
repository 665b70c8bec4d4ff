#pragma once

// From a password to keys, and the checks that tell a right password from a
// wrong one, as [MS-OFFCRYPTO] gives them for the binary formats: XOR
// obfuscation method 1 (2.3.7.1, 2.3.7.2), RC4 (2.3.6.2, 2.3.6.3) and RC4
// CryptoAPI (2.3.5.2, 2.3.5.6). The digests and RC4 are Nettle's.

#include "xls/crypto/Secret.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

/// Key derivation works on 1,024-byte blocks of the stream: each block has a
/// key of its own ([MS-OFFCRYPTO] 2.3.6.2 and 2.3.5.2; [MS-XLS] 2.2.10).
inline constexpr std::size_t kCipherBlockBytes = 1024;
/// The XOR array's length: the obfuscation repeats every 16 bytes.
inline constexpr std::size_t kXorArrayBytes = 16;

/// XOR obfuscation's 8-bit password: each character's low byte, or its high
/// byte when the low one is 0; at most the first 15 characters.
class TXorPassword {
public:
  static constexpr std::size_t kMostBytes = 15;

  explicit TXorPassword(const TPasswordUnits& password);
  ~TXorPassword();
  TXorPassword(const TXorPassword&) = delete;
  TXorPassword& operator=(const TXorPassword&) = delete;

  std::span<const std::uint8_t> Bytes() const { return {FBytes.data(), FCount}; }

private:
  std::array<std::uint8_t, kMostBytes> FBytes{};
  std::size_t FCount = 0;
};

/// The 16-bit key of XOR obfuscation (CreateXorKey_Method1); 0 for an empty password.
std::uint16_t XorKey(std::span<const std::uint8_t> password);
/// The 16-bit password verifier (CreatePasswordVerifier_Method1).
std::uint16_t XorVerifier(std::span<const std::uint8_t> password);
/// The 16 bytes the data is XORed with (CreateXorArray_Method1).
std::array<std::uint8_t, kXorArrayBytes> XorArray(std::span<const std::uint8_t> password);

/// RC4 (version 1.1): the 5-byte hash of password and salt every block key
/// is made from.
using TRc4PasswordHash = std::array<std::uint8_t, 5>;
TRc4PasswordHash Rc4PasswordHash(const TPasswordUnits& password, std::span<const std::uint8_t, 16> salt);
/// The 16-byte RC4 key of block `block`.
std::array<std::uint8_t, 16> Rc4BlockKey(const TRc4PasswordHash& hash, std::uint32_t block);
/// True when the verifier, decrypted with block 0's key, has the MD5 the
/// encrypted hash holds.
bool Rc4PasswordMatches(const TRc4PasswordHash& hash, std::span<const std::uint8_t, 16> encryptedVerifier,
                        std::span<const std::uint8_t, 16> encryptedVerifierHash);

/// RC4 CryptoAPI: SHA-1 of salt and password, what every block key is made from.
using TCryptoApiPasswordHash = std::array<std::uint8_t, 20>;
TCryptoApiPasswordHash CryptoApiPasswordHash(const TPasswordUnits& password,
                                             std::span<const std::uint8_t, 16> salt);
/// An RC4 key of up to 128 bits.
struct TRc4Key {
  std::array<std::uint8_t, 16> Bytes{};
  std::size_t Size = 0;
};
/// A block's RC4 key: the first keyBits / 8 bytes of SHA-1 of the hash and
/// the block number; a 40-bit key is padded with zeros to 128 bits, as the
/// cryptographic providers use it.
TRc4Key CryptoApiBlockKey(const TCryptoApiPasswordHash& hash, std::uint32_t block, std::uint32_t keyBits);
/// True when the verifier, decrypted with block 0's key, has the SHA-1 the
/// encrypted hash holds.
bool CryptoApiPasswordMatches(const TCryptoApiPasswordHash& hash, std::uint32_t keyBits,
                              std::span<const std::uint8_t, 16> encryptedVerifier,
                              std::span<const std::uint8_t, 20> encryptedVerifierHash);

/// RC4 with Nettle, wiped at its end.
class TRc4 {
public:
  explicit TRc4(std::span<const std::uint8_t> key);
  ~TRc4();
  TRc4(const TRc4&) = delete;
  TRc4& operator=(const TRc4&) = delete;

  /// The next key stream bytes XORed into `in`, written to `out` (in may be out).
  void Crypt(std::span<const std::uint8_t> in, std::uint8_t* out);
  /// The next key stream bytes themselves.
  void KeyStream(std::span<std::uint8_t> out);

private:
  // Nettle's state, held here rather than on the heap: a load keys RC4 anew
  // for every 1,024 bytes.
  static constexpr std::size_t kStateBytes = 272;
  alignas(8) std::array<std::uint8_t, kStateBytes> FState;
};
