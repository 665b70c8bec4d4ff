#include "support/EncryptingWriter.h"

#include "support/BiffBuilder.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <map>
#include <stdexcept>

namespace {

// Record codes, written out here as the builder does.
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kIndex = 0x020B;
constexpr std::uint16_t kExtSst = 0x00FF;
constexpr std::uint16_t kBof8 = 0x0809;
constexpr std::size_t kBlock = 1024;

/// Records whose data stays plain; BOUNDSHEET keeps its first 4 bytes.
bool AllPlain(std::uint16_t code)
{
  switch (code) {
  case 0x0009:  // BOF of BIFF2
  case 0x0209:  // BIFF3
  case 0x0409:  // BIFF4
  case 0x0809:  // BIFF5 to BIFF8
  case 0x002F:  // FILEPASS
  case 0x00E1:  // INTERFACEHDR
  case 0x0194:  // USREXCL
  case 0x0195:  // FILELOCK
  case 0x0196:  // RRDINFO
  case 0x0138:  // RRDHEAD
    return true;
  default:
    return false;
  }
}

std::uint16_t Get16(const std::vector<std::uint8_t>& b, std::size_t at)
{
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at)
{
  return static_cast<std::uint32_t>(Get16(b, at) | static_cast<std::uint32_t>(Get16(b, at + 2)) << 16);
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> PasswordBytes16(const std::string& password)
{
  std::vector<std::uint8_t> bytes;
  for (const char16_t unit : Utf16Units(password)) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

// --- XOR obfuscation, method 1 ([MS-OFFCRYPTO] 2.3.7.1, 2.3.7.2) ---

std::vector<std::uint8_t> PasswordBytes8(const std::string& password)
{
  std::vector<std::uint8_t> bytes;
  for (const char16_t unit : Utf16Units(password)) {
    if (bytes.size() == 15)
      break;
    bytes.push_back(static_cast<std::uint8_t>((unit & 0xFF) != 0 ? unit & 0xFF : unit >> 8));
  }
  return bytes;
}

std::uint16_t XorVerifier(const std::vector<std::uint8_t>& password)
{
  std::vector<std::uint8_t> all{static_cast<std::uint8_t>(password.size())};
  all.insert(all.end(), password.begin(), password.end());
  std::uint16_t verifier = 0;
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    const std::uint16_t carry = (verifier >> 14) & 1;
    verifier = static_cast<std::uint16_t>((((verifier << 1) & 0x7FFF) | carry) ^ *it);
  }
  return static_cast<std::uint16_t>(verifier ^ 0xCE4B);
}

std::uint16_t XorKey(const std::vector<std::uint8_t>& password)
{
  static constexpr std::uint16_t kInitial[] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                               0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
  static constexpr std::uint16_t kMatrix[] = {
      0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
      0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
      0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
      0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
      0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
      0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
      0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
      0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
      0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};
  if (password.empty())
    return 0;
  std::uint16_t key = kInitial[password.size() - 1];
  int element = 104;
  for (auto it = password.rbegin(); it != password.rend(); ++it)
    for (int bit = 6; bit >= 0; --bit, --element)
      if ((*it >> bit) & 1)
        key ^= kMatrix[element];
  return key;
}

std::array<std::uint8_t, 16> XorArray(const std::vector<std::uint8_t>& password)
{
  static constexpr std::uint8_t kPad[] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                          0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};
  const std::uint16_t key = XorKey(password);
  std::vector<std::uint8_t> padded = password;
  for (std::size_t i = 0; padded.size() < 16; ++i)
    padded.push_back(kPad[i]);
  std::array<std::uint8_t, 16> array{};
  for (std::size_t i = 0; i < 16; ++i) {
    const auto x = static_cast<std::uint8_t>(padded[i] ^ (i % 2 ? key >> 8 : key & 0xFF));
    array[i] = static_cast<std::uint8_t>(x >> 1 | x << 7);
  }
  return array;
}

// --- RC4 ([MS-OFFCRYPTO] 2.3.6) and RC4 CryptoAPI (2.3.5) ---

std::vector<std::uint8_t> Md5(const std::vector<std::uint8_t>& bytes)
{
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, bytes.size(), bytes.data());
  std::vector<std::uint8_t> digest(MD5_DIGEST_SIZE);
  md5_digest(&context, digest.size(), digest.data());
  return digest;
}

std::vector<std::uint8_t> Sha1(const std::vector<std::uint8_t>& bytes)
{
  sha1_ctx context;
  sha1_init(&context);
  sha1_update(&context, bytes.size(), bytes.data());
  std::vector<std::uint8_t> digest(SHA1_DIGEST_SIZE);
  sha1_digest(&context, digest.size(), digest.data());
  return digest;
}

std::vector<std::uint8_t> Append(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b)
{
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<std::uint8_t> Number32(std::uint32_t value)
{
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

/// The RC4 key of one block, for either scheme.
std::vector<std::uint8_t> BlockKey(const TEncryptSpec& spec, std::uint32_t block)
{
  const std::vector<std::uint8_t> salt(spec.Salt.begin(), spec.Salt.end());
  if (spec.Scheme == TTestScheme::tsRc4) {
    std::vector<std::uint8_t> first = Md5(PasswordBytes16(spec.Password));
    first.resize(5);
    std::vector<std::uint8_t> buffer;
    for (int i = 0; i < 16; ++i)
      buffer = Append(Append(buffer, first), salt);
    std::vector<std::uint8_t> second = Md5(buffer);
    second.resize(5);
    return Md5(Append(second, Number32(block)));
  }
  std::vector<std::uint8_t> key = Sha1(Append(Sha1(Append(salt, PasswordBytes16(spec.Password))), Number32(block)));
  key.resize(spec.KeyBits / 8);
  if (spec.KeyBits == 40)
    key.resize(16, 0);
  return key;
}

/// RC4 over `bytes` from the start of the key stream.
std::vector<std::uint8_t> Rc4(const std::vector<std::uint8_t>& key, std::vector<std::uint8_t> bytes)
{
  arcfour_ctx context;
  arcfour_set_key(&context, key.size(), key.data());
  arcfour_crypt(&context, bytes.size(), bytes.data(), bytes.data());
  return bytes;
}

/// Where FILEPASS goes, and the stream with it in and positions moved.
struct TPrepared {
  std::vector<std::uint8_t> Stream;
  std::size_t EncryptedFrom = 0;  // the first record after FILEPASS
  bool Biff8 = true;
};

TPrepared Prepare(const std::vector<std::uint8_t>& plain, const TEncryptSpec& spec)
{
  const std::vector<std::uint8_t> data = FilePassData(spec);
  std::vector<std::uint8_t> record = TBytes().U16(kFilePass).U16(static_cast<std::uint16_t>(data.size()));
  record.insert(record.end(), data.begin(), data.end());
  // Where the FILEPASS goes.
  std::size_t at = 0;
  for (std::size_t n = 0; n < spec.FilePassAfter; ++n) {
    if (plain.size() - at < 4)
      throw std::out_of_range("EncryptStream: fewer records than FilePassAfter");
    at += 4 + Get16(plain, at + 2);
  }
  TPrepared prepared;
  prepared.Biff8 = plain.size() >= 6 && Get16(plain, 0) == kBof8 && Get16(plain, 4) == 0x0600;
  prepared.Stream.assign(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(at));
  prepared.Stream.insert(prepared.Stream.end(), record.begin(), record.end());
  prepared.Stream.insert(prepared.Stream.end(), plain.begin() + static_cast<std::ptrdiff_t>(at), plain.end());
  prepared.EncryptedFrom = at + record.size();
  const auto shift = static_cast<std::uint32_t>(record.size());
  const auto move = [&](std::size_t field) {
    const std::uint32_t position = Get32(prepared.Stream, field);
    if (position >= at)
      Put32(prepared.Stream, field, position + shift);
  };
  std::vector<std::uint8_t>& s = prepared.Stream;
  for (std::size_t p = 0; s.size() - p >= 4;) {
    const std::uint16_t code = Get16(s, p);
    const std::size_t length = Get16(s, p + 2);
    const std::size_t data0 = p + 4;
    const std::size_t end = std::min(s.size(), data0 + length);
    if (code == kBoundSheet && end - data0 >= 4) {
      move(data0);
    } else if (code == kIndex && prepared.Biff8 && end - data0 >= 16) {
      // reserved, first row, last row + 1, DEFCOLWIDTH's position, then DBCELLs'.
      move(data0 + 12);
      for (std::size_t f = data0 + 16; end - f >= 4; f += 4)
        move(f);
    } else if (code == kExtSst && end - data0 >= 2) {
      // Strings per bucket, then per bucket a string's position and more.
      for (std::size_t f = data0 + 2; end - f >= 8; f += 8)
        move(f);
    }
    p = end;
  }
  return prepared;
}

}  // namespace

std::vector<std::uint8_t> FilePassData(const TEncryptSpec& spec)
{
  TBytes data;
  switch (spec.Scheme) {
  case TTestScheme::tsXorBiff5:
  case TTestScheme::tsXor: {
    const auto password = PasswordBytes8(spec.Password);
    if (spec.Scheme == TTestScheme::tsXor)
      data.U16(0);
    data.U16(XorKey(password)).U16(XorVerifier(password));
    return data;
  }
  case TTestScheme::tsRc4: {
    const std::vector<std::uint8_t> verifier(spec.Verifier.begin(), spec.Verifier.end());
    const auto encrypted = Rc4(BlockKey(spec, 0), Append(verifier, Md5(verifier)));
    data.U16(1).U16(1).U16(1);
    for (const std::uint8_t b : spec.Salt)
      data.U8(b);
    for (const std::uint8_t b : encrypted)
      data.U8(b);
    return data;
  }
  case TTestScheme::tsCryptoApi: {
    const std::vector<std::uint8_t> verifier(spec.Verifier.begin(), spec.Verifier.end());
    const auto encrypted = Rc4(BlockKey(spec, 0), Append(verifier, Sha1(verifier)));
    TBytes header;
    header.U32(0x0C).U32(0).U32(0x6801).U32(0x8004).U32(spec.KeyBits).U32(1).U32(0).U32(0);
    header.Utf16(spec.Provider).U16(0);
    data.U16(1).U16(spec.CryptoApiMajor).U16(2).U32(0x0C).U32(static_cast<std::uint32_t>(header.Size()));
    data.Append(header);
    data.U32(16);
    for (const std::uint8_t b : spec.Salt)
      data.U8(b);
    data.Append(std::vector<std::uint8_t>(encrypted.begin(), encrypted.begin() + 16));
    data.U32(20);
    data.Append(std::vector<std::uint8_t>(encrypted.begin() + 16, encrypted.end()));
    return data;
  }
  }
  return data;
}

std::vector<std::uint8_t> WithFilePass(const std::vector<std::uint8_t>& plain, const TEncryptSpec& spec)
{
  return Prepare(plain, spec).Stream;
}

std::vector<std::uint8_t> EncryptStream(const std::vector<std::uint8_t>& plain, const TEncryptSpec& spec)
{
  TPrepared prepared = Prepare(plain, spec);
  std::vector<std::uint8_t>& s = prepared.Stream;
  const bool isXor = spec.Scheme == TTestScheme::tsXor || spec.Scheme == TTestScheme::tsXorBiff5;
  const std::array<std::uint8_t, 16> xorArray = XorArray(PasswordBytes8(spec.Password));
  // The key stream of every block, made as needed.
  std::map<std::uint32_t, std::vector<std::uint8_t>> keyStreams;
  const auto keyByte = [&](std::size_t position) {
    const auto block = static_cast<std::uint32_t>(position / kBlock);
    auto found = keyStreams.find(block);
    if (found == keyStreams.end())
      found = keyStreams.emplace(block, Rc4(BlockKey(spec, block), std::vector<std::uint8_t>(kBlock))).first;
    return found->second[position % kBlock];
  };
  for (std::size_t p = prepared.EncryptedFrom; s.size() - p >= 4;) {
    const std::uint16_t code = Get16(s, p);
    const std::size_t length = Get16(s, p + 2);
    const std::size_t end = std::min(s.size(), p + 4 + length);
    std::size_t first = p + 4;
    if (AllPlain(code))
      first = end;
    else if (code == kBoundSheet)
      first = std::min(end, first + 4);
    for (std::size_t i = first; i < end; ++i) {
      if (isXor) {
        const auto rotated = static_cast<std::uint8_t>(s[i] << 5 | s[i] >> 3);
        s[i] = static_cast<std::uint8_t>(rotated ^ xorArray[(i + length) % 16]);
      } else {
        s[i] = static_cast<std::uint8_t>(s[i] ^ keyByte(i));
      }
    }
    p = end;
  }
  return s;
}
