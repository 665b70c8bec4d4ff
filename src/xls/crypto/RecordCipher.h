#pragma once

// Decryption of record data by stream position. [MS-XLS] 2.2.10: each byte
// of an encrypted record's data is decrypted by its position in the workbook
// stream alone (and, for XOR obfuscation, its record's length), so any piece
// of the stream decrypts on its own, in any order.

#include "xls/crypto/PasswordKeys.h"
#include "xls/decode/FilePassRecord.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>

class TRecordCipher {
public:
  virtual ~TRecordCipher() = default;
  /// Decrypts `in`, stream bytes from `position` on that all lie in the data
  /// of one record of `recordLength` bytes, into `out` (which may be
  /// in.data()).
  virtual void Decrypt(std::uint64_t position, std::uint16_t recordLength, std::span<const std::uint8_t> in,
                       std::uint8_t* out) = 0;
  /// True when a byte's decryption depends on its position alone, not on
  /// its record: then a run of several records decrypts in one call (any
  /// recordLength), and the plain bytes among them are put back after.
  virtual bool ByPositionOnly() const { return true; }
};

/// XOR obfuscation, method 1: the byte is XORed with the array's byte at
/// (position + record length) mod 16, then rotated right by 5 bits.
class TXorCipher final : public TRecordCipher {
public:
  explicit TXorCipher(const std::array<std::uint8_t, kXorArrayBytes>& xorArray) : FArray(xorArray) {}
  ~TXorCipher() override;
  void Decrypt(std::uint64_t position, std::uint16_t recordLength, std::span<const std::uint8_t> in,
               std::uint8_t* out) override;
  bool ByPositionOnly() const override { return false; }

private:
  std::array<std::uint8_t, kXorArrayBytes> FArray;
};

/// RC4 keyed anew for every 1,024-byte block of the stream, the key stream
/// running from the block's start whatever is encrypted in it. A whole
/// block is decrypted in one RC4 run; for parts of blocks the key stream of
/// the last block used is kept, as a load decrypts front to back.
class TBlockRc4Cipher : public TRecordCipher {
public:
  ~TBlockRc4Cipher() override;
  void Decrypt(std::uint64_t position, std::uint16_t recordLength, std::span<const std::uint8_t> in,
               std::uint8_t* out) final;

protected:
  /// Block `block`'s RC4 key.
  virtual TRc4Key BlockKey(std::uint32_t block) = 0;

private:
  std::array<std::uint8_t, kCipherBlockBytes> FKeyStream{};
  std::uint64_t FBlock = ~std::uint64_t{0};  // whose key stream FKeyStream holds
};

/// RC4 with MD5 (version 1.1).
class TRc4Cipher final : public TBlockRc4Cipher {
public:
  explicit TRc4Cipher(const TRc4PasswordHash& hash) : FHash(hash) {}
  ~TRc4Cipher() override;

private:
  TRc4Key BlockKey(std::uint32_t block) override;
  TRc4PasswordHash FHash;
};

/// RC4 CryptoAPI: SHA-1 keys of 40 to 128 bits.
class TCryptoApiCipher final : public TBlockRc4Cipher {
public:
  TCryptoApiCipher(const TCryptoApiPasswordHash& hash, std::uint32_t keyBits) : FHash(hash), FKeyBits(keyBits) {}
  ~TCryptoApiCipher() override;

private:
  TRc4Key BlockKey(std::uint32_t block) override;
  TCryptoApiPasswordHash FHash;
  std::uint32_t FKeyBits;
};

/// The data as stored: what a locked workbook shows.
class TStoredCipher final : public TRecordCipher {
public:
  void Decrypt(std::uint64_t position, std::uint16_t recordLength, std::span<const std::uint8_t> in,
               std::uint8_t* out) override;
};
