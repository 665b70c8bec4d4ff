#pragma once

// Encrypts BIFF record streams for tests, as Excel's "Save with password"
// does: a FILEPASS record goes in after the first BOF (or wherever the test
// puts it), the stream positions other records hold move by its size, and
// the record data after it is encrypted with the scheme and password given.
// Written from the published formats ([MS-XLS] 2.2.10, [MS-OFFCRYPTO]
// 2.3.5 to 2.3.7) with Nettle's primitives, and independent of the reader:
// the key derivations and the choice of plain records are coded here anew.
//
//   const auto plain = TBiffBuilder().Bof(...)...Build();
//   TEncryptSpec spec;
//   spec.Scheme = TTestScheme::tsRc4;
//   spec.Password = "secret";
//   const auto file = InCompoundFile(EncryptStream(plain, spec));

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TTestScheme {
  tsXorBiff5,  // 4-byte FILEPASS: key and verifier
  tsXor,       // BIFF8 type 0
  tsRc4,       // BIFF8 type 1, version 1.1
  tsCryptoApi  // BIFF8 type 1, version CryptoApiMajor.2
};

struct TEncryptSpec {
  TTestScheme Scheme = TTestScheme::tsRc4;
  std::string Password = "VelvetSweatshop";  // UTF-8
  std::array<std::uint8_t, 16> Salt = {0x5A, 0x17, 0xC3, 0x08, 0x9E, 0x41, 0xB2, 0x6D,
                                       0x33, 0xF0, 0x0C, 0x95, 0x7A, 0xE4, 0x21, 0x58};
  /// The verifier the FILEPASS carries (any 16 bytes).
  std::array<std::uint8_t, 16> Verifier = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  std::uint16_t CryptoApiMajor = 4;
  std::uint32_t KeyBits = 128;
  std::string Provider = "Microsoft Enhanced Cryptographic Provider v1.0";
  /// FILEPASS goes in after this many records (1: right after the first BOF).
  std::size_t FilePassAfter = 1;
};

/// The data of the FILEPASS record `spec` describes.
std::vector<std::uint8_t> FilePassData(const TEncryptSpec& spec);

/// `plain`, a record stream, encrypted as the class comment says. BOUNDSHEET
/// positions, a BIFF8 INDEX's positions and EXTSST's string positions at or
/// after the FILEPASS move by its size.
std::vector<std::uint8_t> EncryptStream(const std::vector<std::uint8_t>& plain, const TEncryptSpec& spec);

/// The same stream with the FILEPASS put in and positions moved, but
/// nothing encrypted: what a reader should see once it decrypted it.
std::vector<std::uint8_t> WithFilePass(const std::vector<std::uint8_t>& plain, const TEncryptSpec& spec);
