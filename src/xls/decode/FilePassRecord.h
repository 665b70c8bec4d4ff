#pragma once

// FILEPASS: how the workbook stream after it is encrypted, and what a
// password is checked against ([MS-XLS] 2.4.117, [MS-OFFCRYPTO] 2.3.5 to
// 2.3.7). BIFF2 to BIFF5 know one scheme, XOR obfuscation with a 4-byte
// record; BIFF8 names its scheme first: XOR, RC4 (version 1.1) or RC4 with
// CryptoAPI (versions 2.2, 3.2 and 4.2: an encryption header naming the
// algorithms and the provider, then the verifier).
//
// The decoder hands the record's contents over as one TFilePass, for the
// code that derives the key and decrypts; the inspector describes the same
// reads field by field.

#include "xls/decode/Layout.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class TEncryptionScheme : std::uint8_t {
  esUnknown,        // a type or version this decoder does not know
  esXor,            // XOR obfuscation ([MS-OFFCRYPTO] 2.3.7)
  esRc4,            // RC4 with an MD5 key ([MS-OFFCRYPTO] 2.3.6)
  esRc4CryptoApi,   // RC4 through CryptoAPI ([MS-OFFCRYPTO] 2.3.5)
};

/// XOR obfuscation: the key and the password verifier.
struct TXorObfuscation {
  std::uint16_t Key = 0;
  std::uint16_t Verifier = 0;
};

/// RC4 (version 1.1): the salt and the encrypted verifier and its hash.
struct TRc4Encryption {
  std::array<std::uint8_t, 16> Salt{};
  std::array<std::uint8_t, 16> EncryptedVerifier{};
  std::array<std::uint8_t, 16> EncryptedVerifierHash{};
};

/// RC4 CryptoAPI: [MS-OFFCRYPTO] 2.3.2 EncryptionHeader and 2.3.3
/// EncryptionVerifier.
struct TCryptoApiEncryption {
  std::uint32_t Flags = 0;             // as the record repeats them before the header
  std::uint32_t HeaderSize = 0;
  std::uint32_t HeaderFlags = 0;       // the header's own copy
  std::uint32_t SizeExtra = 0;
  std::uint32_t AlgorithmId = 0;       // 0x6801: RC4
  std::uint32_t HashAlgorithmId = 0;   // 0x8004: SHA-1
  std::uint32_t KeySize = 0;           // bits; 0 means 40
  std::uint32_t ProviderType = 0;
  std::uint32_t Reserved1 = 0;
  std::uint32_t Reserved2 = 0;
  std::string ProviderName;            // the CSP name, UTF-8, without its terminating zero
  std::uint32_t SaltSize = 0;
  std::vector<std::uint8_t> Salt;
  std::array<std::uint8_t, 16> EncryptedVerifier{};
  std::uint32_t VerifierHashSize = 0;
  std::vector<std::uint8_t> EncryptedVerifierHash;
};

struct TFilePass {
  TEncryptionScheme Scheme = TEncryptionScheme::esUnknown;
  /// BIFF8: the encryption type word (0 XOR, 1 RC4) and, for RC4, the
  /// header's version; 0 before BIFF8.
  std::uint16_t EncryptionType = 0;
  std::uint16_t MajorVersion = 0;
  std::uint16_t MinorVersion = 0;
  TXorObfuscation Xor;
  TRc4Encryption Rc4;
  TCryptoApiEncryption CryptoApi;
};

namespace FilePassLayout {

inline constexpr std::uint16_t kTypeXor = 0x0000;
inline constexpr std::uint16_t kTypeRc4 = 0x0001;
inline constexpr std::uint32_t kVerifierSize = 16;
// The CryptoAPI header's fixed part before the provider name: 8 words.
inline constexpr std::uint32_t kHeaderFixedSize = 32;
inline constexpr TNamedValue kAlgorithms[] = {
    {0x6801, "RC4"}, {0x660E, "AES-128"}, {0x660F, "AES-192"}, {0x6610, "AES-256"}};
inline constexpr TNamedValue kHashAlgorithms[] = {{0x8004, "SHA-1"}, {0x8003, "MD5"}};
inline constexpr TNamedValue kProviderTypes[] = {{0x0001, "PROV_RSA_FULL"}, {0x0018, "PROV_RSA_AES"}};

/// A 16-byte array field.
template <typename C>
void ReadBlock(C& c, const char* name, std::array<std::uint8_t, 16>& out)
{
  const auto bytes = c.Bytes(name, out.size());
  if (bytes.size() == out.size())
    std::copy(bytes.begin(), bytes.end(), out.begin());
}

template <typename C>
void ReadEncryptionFlags(C& c, const char* name, std::uint32_t& out)
{
  out = c.U32(name);
  c.Flag("crypto_api", 2);
  c.Flag("doc_props", 3);
  c.Flag("external", 4);
  c.Flag("aes", 5);
}

}  // namespace FilePassLayout

/// FILEPASS of every version; hands a TFilePass to `out` when the record
/// holds every field its scheme has (a record cut short hands nothing).
struct TFilePassDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    using namespace FilePassLayout;
    TFilePass pass;
    // Before BIFF8 (and a 4-byte record, whatever the version says) the
    // record is the XOR key and verifier alone.
    if (!context.Biff8() || c.Size() == 4) {
      pass.Scheme = TEncryptionScheme::esXor;
      ReadXor(c, pass);
      c.SkipRest("unused");
      if (!c.Short())
        out(pass);
      return;
    }
    pass.EncryptionType = c.U16("encryption_type");
    c.Meaning([&] {
      return std::string(pass.EncryptionType == kTypeXor   ? "XOR obfuscation"
                         : pass.EncryptionType == kTypeRc4 ? "RC4"
                                                           : "unknown");
    });
    if (pass.EncryptionType == kTypeXor) {
      pass.Scheme = TEncryptionScheme::esXor;
      ReadXor(c, pass);
    } else if (pass.EncryptionType == kTypeRc4) {
      pass.MajorVersion = c.U16("major_version");
      pass.MinorVersion = c.U16("minor_version");
      c.Meaning([&] { return VersionText(pass); });
      if (pass.MajorVersion == 1 && pass.MinorVersion == 1) {
        pass.Scheme = TEncryptionScheme::esRc4;
        ReadBlock(c, "salt", pass.Rc4.Salt);
        ReadBlock(c, "encrypted_verifier", pass.Rc4.EncryptedVerifier);
        ReadBlock(c, "encrypted_verifier_hash", pass.Rc4.EncryptedVerifierHash);
      } else if (pass.MajorVersion >= 2 && pass.MajorVersion <= 4 && pass.MinorVersion == 2) {
        pass.Scheme = TEncryptionScheme::esRc4CryptoApi;
        ReadCryptoApi(c, pass.CryptoApi);
      }
    }
    if (pass.Scheme == TEncryptionScheme::esUnknown) {
      c.SkipRest("encryption_info");
      return;
    }
    c.SkipRest("unused");
    if (!c.Short())
      out(pass);
  }

private:
  template <typename C>
  static void ReadXor(C& c, TFilePass& pass)
  {
    pass.Xor.Key = c.U16("key");
    pass.Xor.Verifier = c.U16("verifier");
  }

  static std::string VersionText(const TFilePass& pass)
  {
    const std::string version = std::to_string(pass.MajorVersion) + "." + std::to_string(pass.MinorVersion);
    if (pass.MajorVersion == 1 && pass.MinorVersion == 1)
      return "RC4 " + version;
    if (pass.MajorVersion >= 2 && pass.MajorVersion <= 4 && pass.MinorVersion == 2)
      return "RC4 CryptoAPI " + version;
    return "unknown version " + version;
  }

  template <typename C>
  static void ReadCryptoApi(C& c, TCryptoApiEncryption& api)
  {
    using namespace FilePassLayout;
    ReadEncryptionFlags(c, "flags", api.Flags);
    api.HeaderSize = c.U32("header_size");
    c.Begin("header");
    const std::size_t headerStart = c.Position();
    ReadEncryptionFlags(c, "flags", api.HeaderFlags);
    api.SizeExtra = c.U32("size_extra");
    api.AlgorithmId = c.U32("algorithm");
    c.Meaning([&] { return NameOf(kAlgorithms, api.AlgorithmId); });
    api.HashAlgorithmId = c.U32("hash_algorithm");
    c.Meaning([&] { return NameOf(kHashAlgorithms, api.HashAlgorithmId); });
    api.KeySize = c.U32("key_size");
    c.Meaning([&] { return std::to_string(api.KeySize == 0 ? 40 : api.KeySize) + " bits"; });
    api.ProviderType = c.U32("provider_type");
    c.Meaning([&] { return NameOf(kProviderTypes, api.ProviderType); });
    api.Reserved1 = c.U32("reserved1");
    api.Reserved2 = c.U32("reserved2");
    // The provider's name fills the rest of the header: UTF-16, ending in a
    // zero character.
    const std::size_t nameBytes = api.HeaderSize > kHeaderFixedSize ? api.HeaderSize - kHeaderFixedSize : 0;
    if (c.Position() == headerStart + kHeaderFixedSize && nameBytes > 0) {
      std::string name = ReadUtf16Chars(c, nameBytes / 2, "provider_name");
      if (const auto end = name.find('\0'); end != std::string::npos)
        name.resize(end);
      api.ProviderName = name;
      c.Value([&] { return name; });
      if (nameBytes % 2 != 0)
        c.Skip("padding", 1);
    }
    c.End();
    c.Begin("verifier");
    api.SaltSize = c.U32("salt_size");
    const auto salt = c.Bytes("salt", api.SaltSize);
    api.Salt.assign(salt.begin(), salt.end());
    ReadBlock(c, "encrypted_verifier", api.EncryptedVerifier);
    api.VerifierHashSize = c.U32("verifier_hash_size");
    // RC4 keeps the whole hash (20 bytes for SHA-1).
    const auto hash = c.Bytes("encrypted_verifier_hash", api.VerifierHashSize);
    api.EncryptedVerifierHash.assign(hash.begin(), hash.end());
    c.End();
  }
};
