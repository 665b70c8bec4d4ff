#include "xls/crypto/Encryption.h"

#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"

namespace {

// BOUNDSHEET's first field, the stream position of its sheet's BOF, is not
// encrypted: a reader finds the sheets without the password.
constexpr std::size_t kBoundSheetPlainBytes = 4;

}  // namespace

const char* EncryptionSchemeName(TEncryptionScheme scheme)
{
  switch (scheme) {
  case TEncryptionScheme::esXorBiff5: return kSchemeXorBiff5;
  case TEncryptionScheme::esXor: return kSchemeXor;
  case TEncryptionScheme::esRc4: return kSchemeRc4;
  case TEncryptionScheme::esCryptoApi: return kSchemeCryptoApi;
  case TEncryptionScheme::esUnknown: break;
  }
  return kSchemeUnknown;
}

std::string EncryptionDescription(const TFilePass& filePass)
{
  std::string text = EncryptionSchemeName(filePass.Scheme);
  switch (filePass.Scheme) {
  case TEncryptionScheme::esRc4:
    text += kSchemeRc4Detail;
    break;
  case TEncryptionScheme::esCryptoApi:
    text += ", " + std::to_string(filePass.KeyBits) + kSchemeKeyBits;
    if (!filePass.Provider.empty())
      text += ", " + filePass.Provider;
    break;
  case TEncryptionScheme::esUnknown:
    if (!filePass.Problem.empty())
      text += ": " + filePass.Problem;
    break;
  default:
    break;
  }
  return text;
}

std::size_t PlainDataBytes(std::uint16_t code)
{
  switch (code) {
  case kRecBof2:
  case kRecBof3:
  case kRecBof4:
  case kRecBof:
  case kRecFilePass:
  case kRecInterfaceHdr:
  case kRecUsrExcl:
  case kRecFileLock:
  case kRecRrdInfo:
  case kRecRrdHead:
    return kAllPlain;
  case kRecBoundSheet:
    return kBoundSheetPlainBytes;
  default:
    return 0;
  }
}

std::unique_ptr<TRecordCipher> OpenCipher(const TFilePass& filePass, const TPasswordUnits& password)
{
  switch (filePass.Scheme) {
  case TEncryptionScheme::esXorBiff5:
  case TEncryptionScheme::esXor: {
    // Both the verifier and the key come from the password: a wrong one
    // that happens to share the 16-bit verifier still fails the key.
    const TXorPassword bytes(password);
    if (bytes.Bytes().empty() || XorVerifier(bytes.Bytes()) != filePass.XorVerifier || XorKey(bytes.Bytes()) != filePass.XorKey)
      return nullptr;
    auto xorArray = XorArray(bytes.Bytes());
    auto cipher = std::make_unique<TXorCipher>(xorArray);
    WipeBytes(xorArray.data(), xorArray.size());
    return cipher;
  }
  case TEncryptionScheme::esRc4: {
    TRc4PasswordHash hash = Rc4PasswordHash(password, filePass.Salt);
    std::unique_ptr<TRecordCipher> cipher;
    if (Rc4PasswordMatches(hash, filePass.EncryptedVerifier, std::span(filePass.EncryptedVerifierHash).first<16>()))
      cipher = std::make_unique<TRc4Cipher>(hash);
    WipeBytes(hash.data(), hash.size());
    return cipher;
  }
  case TEncryptionScheme::esCryptoApi: {
    TCryptoApiPasswordHash hash = CryptoApiPasswordHash(password, filePass.Salt);
    std::unique_ptr<TRecordCipher> cipher;
    if (CryptoApiPasswordMatches(hash, filePass.KeyBits, filePass.EncryptedVerifier, filePass.EncryptedVerifierHash))
      cipher = std::make_unique<TCryptoApiCipher>(hash, filePass.KeyBits);
    WipeBytes(hash.data(), hash.size());
    return cipher;
  }
  case TEncryptionScheme::esUnknown:
    break;
  }
  return nullptr;
}
