#pragma once

// A password-protected workbook: what its FILEPASS scheme is called, which
// records stay plain, and the cipher a password opens.

#include "xls/crypto/RecordCipher.h"
#include "xls/crypto/Secret.h"
#include "xls/decode/FilePassRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

/// The password Excel writes for a workbook that is only protected against
/// writing: the user never typed it, so it is tried first, without asking.
inline constexpr std::u16string_view kDefaultPassword = u"VelvetSweatshop";

/// "XOR obfuscation (BIFF2-5)", "XOR obfuscation", "RC4", "RC4 CryptoAPI",
/// "unknown scheme".
const char* EncryptionSchemeName(TEncryptionScheme scheme);
/// The scheme with what tells it apart, for a person: "RC4 CryptoAPI,
/// 128-bit key, Microsoft Enhanced Cryptographic Provider v1.0"; an unknown
/// scheme with its reason ("unknown scheme: unknown RC4 version 5.1").
std::string EncryptionDescription(const TFilePass& filePass);

/// How many bytes of a record's data after FILEPASS are stored plain
/// ([MS-XLS] 2.2.10): all of BOF, FILEPASS, INTERFACEHDR, USREXCL, FILELOCK,
/// RRDINFO and RRDHEAD (kAllPlain); the first 4 of BOUNDSHEET, its BOF's
/// stream position; none of any other.
inline constexpr std::size_t kAllPlain = 0xFFFF;
std::size_t PlainDataBytes(std::uint16_t code);

/// The cipher `password` opens for `filePass`, or nullptr when the password
/// is wrong or the scheme unknown.
std::unique_ptr<TRecordCipher> OpenCipher(const TFilePass& filePass, const TPasswordUnits& password);
