#pragma once

// FILEPASS ([MS-XLS] 2.4.117): the records after it are encrypted, and it
// says how and holds what checks a password. Before BIFF8 it is the 4 bytes
// of XOR obfuscation; from BIFF8 on a type word picks XOR obfuscation
// ([MS-XLS] 2.5.343) or RC4, and RC4's version picks the RC4 header
// ([MS-OFFCRYPTO] 2.3.6.1, version 1.1) or the RC4 CryptoAPI one (2.3.5.1,
// versions 2.2, 3.2 and 4.2).

#include "platform/text/HexText.h"
#include "platform/text/TextFormat.h"
#include "platform/text/Utf.h"
#include "xls/XlsMessages.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/Layout.h"
#include "xls/decode/RecordCursor.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

/// How the workbook stream is encrypted.
enum class TEncryptionScheme : std::uint8_t {
  esUnknown,    // a FILEPASS this reader cannot use: an unknown type or version, a damaged header
  esXorBiff5,   // BIFF2 to BIFF5: key and verifier, 4 bytes
  esXor,        // BIFF8 type 0: XOR obfuscation, method 1
  esRc4,        // BIFF8 type 1, version 1.1: RC4 keyed by MD5
  esCryptoApi,  // BIFF8 type 1, versions 2.2, 3.2 and 4.2: RC4 keyed by SHA-1
};

/// What a FILEPASS record says. Fields a scheme does not have stay zero.
struct TFilePass {
  TEncryptionScheme Scheme = TEncryptionScheme::esUnknown;
  /// Why the scheme is unknown ("unknown RC4 version 9.9"); empty otherwise.
  std::string Problem;

  // XOR obfuscation.
  std::uint16_t XorKey = 0;
  std::uint16_t XorVerifier = 0;

  // RC4 and RC4 CryptoAPI.
  std::uint16_t MajorVersion = 0;
  std::uint16_t MinorVersion = 0;
  std::array<std::uint8_t, 16> Salt{};
  std::array<std::uint8_t, 16> EncryptedVerifier{};
  /// 16 bytes of MD5 for RC4, 20 of SHA-1 for CryptoAPI (VerifierHashSize).
  std::array<std::uint8_t, 20> EncryptedVerifierHash{};
  std::size_t VerifierHashSize = 0;

  // RC4 CryptoAPI only: the EncryptionHeader.
  std::uint32_t HeaderFlags = 0;
  std::uint32_t AlgId = 0;
  std::uint32_t AlgIdHash = 0;
  std::uint32_t KeyBits = 0;  // 40 to 128; a stored 0 means 40
  std::uint32_t ProviderType = 0;
  std::string Provider;  // the cryptographic provider's name, UTF-8
};

namespace FilePassLayout {

inline constexpr std::uint16_t kTypeXor = 0x0000;
inline constexpr std::uint16_t kTypeRc4 = 0x0001;
inline constexpr std::uint16_t kRc4Major = 1;
inline constexpr std::uint16_t kRc4Minor = 1;
inline constexpr std::uint16_t kCryptoApiFirstMajor = 2;
inline constexpr std::uint16_t kCryptoApiLastMajor = 4;
inline constexpr std::uint16_t kCryptoApiMinor = 2;
// [MS-OFFCRYPTO] 2.3.2 EncryptionHeader: eight 4-byte fields, then the
// provider's name up to the header's size.
inline constexpr std::uint32_t kHeaderFixedBytes = 32;
inline constexpr std::uint32_t kSaltBytes = 16;
inline constexpr std::uint32_t kSha1Bytes = 20;
inline constexpr std::uint32_t kMd5Bytes = 16;
inline constexpr std::uint32_t kAlgRc4 = 0x00006801;
inline constexpr std::uint32_t kAlgSha1 = 0x00008004;
inline constexpr std::uint32_t kLeastKeyBits = 40;
inline constexpr std::uint32_t kMostKeyBits = 128;

inline constexpr TNamedValue kAlgorithms[] = {
    {0x6801, "RC4"}, {0x660E, "AES-128"}, {0x660F, "AES-192"}, {0x6610, "AES-256"}};
inline constexpr TNamedValue kHashAlgorithms[] = {{0x8004, "SHA-1"}, {0x8003, "MD5"}};
inline constexpr TNamedValue kProviderTypes[] = {{0x0001, "PROV_RSA_FULL"}, {0x0018, "PROV_RSA_AES"}};

/// [MS-OFFCRYPTO] 2.3.1 EncryptionHeaderFlags, its bits named.
template <typename C>
std::uint32_t ReadEncryptionFlags(C& c)
{
  const std::uint32_t flags = c.U32("flags");
  c.Flag("crypto_api", 2);
  c.Flag("doc_props", 3);
  c.Flag("external", 4);
  c.Flag("aes", 5);
  return flags;
}

}  // namespace FilePassLayout

/// FILEPASS of every version. Always hands a TFilePass to `out`: a record
/// too short or with values this reader does not know still says the
/// workbook is encrypted, with the scheme esUnknown and the reason in
/// Problem.
struct TFilePassDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    using namespace FilePassLayout;
    TFilePass pass;
    if (!context.Biff8()) {
      // BIFF2 to BIFF5 know XOR obfuscation only, and no type word.
      pass.XorKey = c.U16("key");
      pass.XorVerifier = c.U16("verifier");
      c.SkipRest("unused");
      Settle(c, pass, TEncryptionScheme::esXorBiff5);
      out(pass);
      return;
    }
    const std::uint16_t type = c.U16("encryption_type");
    c.Meaning([&] { return std::string(type == kTypeXor ? kSchemeXor : type == kTypeRc4 ? kSchemeRc4 : kSchemeUnknown); });
    if (c.Short()) {
      Settle(c, pass, TEncryptionScheme::esUnknown);
    } else if (type == kTypeXor) {
      pass.XorKey = c.U16("key");
      pass.XorVerifier = c.U16("verifier");
      c.SkipRest("unused");
      Settle(c, pass, TEncryptionScheme::esXor);
    } else if (type == kTypeRc4) {
      pass.MajorVersion = c.U16("major_version");
      pass.MinorVersion = c.U16("minor_version");
      c.Meaning([&] {
        const std::string version = std::to_string(pass.MajorVersion) + "." + std::to_string(pass.MinorVersion);
        if (pass.MajorVersion == kRc4Major && pass.MinorVersion == kRc4Minor)
          return std::string(kSchemeRc4) + " " + version;
        if (pass.MajorVersion >= kCryptoApiFirstMajor && pass.MajorVersion <= kCryptoApiLastMajor &&
            pass.MinorVersion == kCryptoApiMinor)
          return std::string(kSchemeCryptoApi) + " " + version;
        return "unknown version " + version;
      });
      if (c.Short())
        Settle(c, pass, TEncryptionScheme::esUnknown);
      else if (pass.MajorVersion == kRc4Major && pass.MinorVersion == kRc4Minor)
        ReadRc4(c, pass);
      else if (pass.MajorVersion >= kCryptoApiFirstMajor && pass.MajorVersion <= kCryptoApiLastMajor &&
               pass.MinorVersion == kCryptoApiMinor)
        ReadCryptoApi(c, pass);
      else
        pass.Problem = kFilePassUnknownVersion + std::to_string(pass.MajorVersion) + "." +
                       std::to_string(pass.MinorVersion);
    } else {
      pass.Problem = kFilePassUnknownType + std::to_string(type);
    }
    out(pass);
  }

private:
  /// The scheme the fields read so far give, unless the record ended first.
  template <typename C>
  static void Settle(const C& c, TFilePass& pass, TEncryptionScheme scheme)
  {
    if (c.Short()) {
      pass.Scheme = TEncryptionScheme::esUnknown;
      pass.Problem = kFilePassShort;
      return;
    }
    pass.Scheme = scheme;
  }

  template <typename C, std::size_t N>
  static void ReadArray(C& c, const char* name, std::array<std::uint8_t, N>& into, std::size_t count)
  {
    const auto bytes = c.Bytes(name, count);
    std::copy(bytes.begin(), bytes.end(), into.begin());
  }

  /// [MS-OFFCRYPTO] 2.3.6.1: salt, encrypted verifier, encrypted MD5 of the verifier.
  template <typename C>
  static void ReadRc4(C& c, TFilePass& pass)
  {
    using namespace FilePassLayout;
    ReadArray(c, "salt", pass.Salt, kSaltBytes);
    ReadArray(c, "encrypted_verifier", pass.EncryptedVerifier, kSaltBytes);
    pass.VerifierHashSize = kMd5Bytes;
    ReadArray(c, "encrypted_verifier_hash", pass.EncryptedVerifierHash, kMd5Bytes);
    c.SkipRest("unused");
    Settle(c, pass, TEncryptionScheme::esRc4);
  }

  /// [MS-OFFCRYPTO] 2.3.5.1: flags, the EncryptionHeader (2.3.2) of the
  /// size given, then the EncryptionVerifier (2.3.3).
  template <typename C>
  static void ReadCryptoApi(C& c, TFilePass& pass)
  {
    using namespace FilePassLayout;
    ReadEncryptionFlags(c);
    const std::uint32_t headerSize = c.U32("header_size");
    if (c.Short() || headerSize < kHeaderFixedBytes || headerSize > c.Remaining()) {
      pass.Problem = c.Short() ? std::string(kFilePassShort)
                               : FormatMessage(kFilePassHeaderSize, std::to_string(headerSize));
      return;
    }
    c.Begin("encryption_header");
    pass.HeaderFlags = ReadEncryptionFlags(c);
    c.U32("size_extra");
    pass.AlgId = c.U32("alg_id");
    c.Meaning([&] { return NameOf(kAlgorithms, pass.AlgId); });
    pass.AlgIdHash = c.U32("alg_id_hash");
    c.Meaning([&] { return pass.AlgIdHash == 0 ? std::string("SHA-1") : NameOf(kHashAlgorithms, pass.AlgIdHash); });
    pass.KeyBits = c.U32("key_size");
    c.Meaning([&] { return std::to_string(pass.KeyBits == 0 ? kLeastKeyBits : pass.KeyBits) + " bits"; });
    pass.ProviderType = c.U32("provider_type");
    c.Meaning([&] { return NameOf(kProviderTypes, pass.ProviderType); });
    c.U32("reserved1");
    c.U32("reserved2");
    // The provider's name: UTF-16, ended by a 0 inside the header's size.
    const auto name = c.Bytes("provider", headerSize - kHeaderFixedBytes);
    std::size_t units = 0;
    while (units + 1 < name.size() && (name[units] | name[units + 1]) != 0)
      units += 2;
    AppendUtf16LeBytesAsUtf8(name.first(units), pass.Provider);
    c.Value([&] { return pass.Provider; });
    c.End();
    c.Begin("encryption_verifier");
    const std::uint32_t saltSize = c.U32("salt_size");
    ReadArray(c, "salt", pass.Salt, kSaltBytes);
    ReadArray(c, "encrypted_verifier", pass.EncryptedVerifier, kSaltBytes);
    const std::uint32_t hashSize = c.U32("verifier_hash_size");
    // The hash is SHA-1's 20 bytes; a larger size is never read past them.
    pass.VerifierHashSize = std::min<std::uint32_t>(hashSize, kSha1Bytes);
    ReadArray(c, "encrypted_verifier_hash", pass.EncryptedVerifierHash, pass.VerifierHashSize);
    c.End();
    c.SkipRest("unused");
    if (pass.KeyBits == 0)
      pass.KeyBits = kLeastKeyBits;  // [MS-OFFCRYPTO] 2.3.5.1: 0 stands for 40 bits
    if (c.Short())
      pass.Problem = kFilePassShort;
    else if (pass.AlgId != kAlgRc4)
      pass.Problem = kFilePassUnknownCipher + HexNumber(pass.AlgId, 8);
    else if (pass.AlgIdHash != kAlgSha1 && pass.AlgIdHash != 0)
      pass.Problem = kFilePassUnknownHash + HexNumber(pass.AlgIdHash, 8);
    else if (pass.KeyBits < kLeastKeyBits || pass.KeyBits > kMostKeyBits || pass.KeyBits % 8 != 0)
      pass.Problem = kFilePassUnknownKeySize + std::to_string(pass.KeyBits);
    else if (saltSize != kSaltBytes || hashSize != kSha1Bytes)
      pass.Problem = kFilePassUnknownVerifier;
    else
      pass.Scheme = TEncryptionScheme::esCryptoApi;
  }
};
