// FILEPASS and the keys a password makes: the decoder's reading of each
// scheme and of damaged headers, and known answers from the encrypted
// workbooks of the corpus, whose plain sources are in the corpus too.
#include "XlsTestSupport.h"
#include "platform/CompoundFile.h"
#include "support/EncryptingWriter.h"
#include "xls/RecordCodes.h"
#include "xls/crypto/Encryption.h"
#include "xls/decode/FilePassRecord.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

namespace fs = std::filesystem;
using enum TExcelVersion;
using enum TEncryptionScheme;

TDecodeContext Context(TExcelVersion version)
{
  TDecodeContext context;
  context.Version = version;
  return context;
}

TFilePass Decode(const std::vector<std::uint8_t>& data, TExcelVersion version = evExcel8)
{
  TFilePass result;
  int calls = 0;
  TRecordCursor cursor(data);
  TFilePassDecoder()(cursor, Context(version), kRecFilePass, [&](const TFilePass& pass) {
    result = pass;
    ++calls;
  });
  EXPECT_EQ(calls, 1) << "a FILEPASS always says the workbook is encrypted";
  return result;
}

std::vector<TRecordField> Describe(const std::vector<std::uint8_t>& data, TExcelVersion version = evExcel8)
{
  TFieldList fields;
  TDescribingCursor cursor(data, &fields);
  TFilePassDecoder()(cursor, Context(version), kRecFilePass, [](const TFilePass&) {});
  cursor.SkipRest("unread");
  return fields.Fields();
}

/// The fields' bytes run from the record's start to its end, in order.
std::size_t CoveredBytes(const std::vector<TRecordField>& fields)
{
  std::size_t at = 0;
  for (const TRecordField& field : fields) {
    EXPECT_EQ(field.Offset, at) << field.Name;
    at = field.Offset + field.Size;
  }
  return at;
}

TEncryptSpec Spec(TTestScheme scheme, std::string password = "VelvetSweatshop")
{
  TEncryptSpec spec;
  spec.Scheme = scheme;
  spec.Password = std::move(password);
  return spec;
}

std::vector<std::uint8_t> CryptoApiHeaderWith(std::size_t field, std::uint32_t value)
{
  // Patches one 4-byte field of a sound CryptoAPI FILEPASS; `field` counts
  // from the type word: 14 is the EncryptionHeader's Flags.
  auto data = FilePassData(Spec(TTestScheme::tsCryptoApi));
  for (int i = 0; i < 4; ++i)
    data[field + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  return data;
}

// Offsets in a CryptoAPI FILEPASS, from the type word.
constexpr std::size_t kHeaderSizeAt = 10;
constexpr std::size_t kAlgIdAt = 22;
constexpr std::size_t kAlgIdHashAt = 26;
constexpr std::size_t kKeySizeAt = 30;

}  // namespace

TEST(FilePassDecoding, NamesEachSchemeAndItsFields)
{
  const TFilePass xor5 = Decode(FilePassData(Spec(TTestScheme::tsXorBiff5, "abc")), evExcel5);
  EXPECT_EQ(xor5.Scheme, esXorBiff5);
  EXPECT_EQ(xor5.XorKey, 0x514A);
  EXPECT_EQ(xor5.XorVerifier, 0xCC1A);

  const TFilePass xor8 = Decode(FilePassData(Spec(TTestScheme::tsXor, "abc")));
  EXPECT_EQ(xor8.Scheme, esXor);
  EXPECT_EQ(xor8.XorKey, 0x514A);

  const TEncryptSpec rc4Spec = Spec(TTestScheme::tsRc4);
  const TFilePass rc4 = Decode(FilePassData(rc4Spec));
  EXPECT_EQ(rc4.Scheme, esRc4);
  EXPECT_EQ(rc4.Salt, rc4Spec.Salt);
  EXPECT_EQ(rc4.VerifierHashSize, 16u);

  for (const std::uint16_t major : {2, 3, 4}) {
    SCOPED_TRACE(major);
    TEncryptSpec spec = Spec(TTestScheme::tsCryptoApi);
    spec.CryptoApiMajor = major;
    spec.KeyBits = 56;
    spec.Provider = "Microsoft Base Cryptographic Provider v1.0";
    const TFilePass api = Decode(FilePassData(spec));
    EXPECT_EQ(api.Scheme, esCryptoApi);
    EXPECT_EQ(api.MajorVersion, major);
    EXPECT_EQ(api.KeyBits, 56u);
    EXPECT_EQ(api.AlgId, 0x6801u);
    EXPECT_EQ(api.Provider, "Microsoft Base Cryptographic Provider v1.0");
    EXPECT_EQ(api.VerifierHashSize, 20u);
    EXPECT_EQ(EncryptionDescription(api), "RC4 CryptoAPI, 56-bit key, Microsoft Base Cryptographic Provider v1.0");
  }
}

TEST(FilePassDecoding, DescribesEveryByteOfEachScheme)
{
  for (const TTestScheme scheme : {TTestScheme::tsXor, TTestScheme::tsRc4, TTestScheme::tsCryptoApi}) {
    const auto data = FilePassData(Spec(scheme));
    const auto fields = Describe(data);
    EXPECT_EQ(CoveredBytes(fields), data.size());
  }
  const auto fields = Describe(FilePassData(Spec(TTestScheme::tsCryptoApi)));
  const auto header = std::find_if(fields.begin(), fields.end(),
                                   [](const TRecordField& f) { return f.Name == "encryption_header"; });
  ASSERT_NE(header, fields.end());
  EXPECT_THAT(header->Fields, testing::Contains(testing::Field(&TRecordField::Name, "provider")));
}

TEST(FilePassDecoding, DamagedOrUnknownHeadersAreAnUnknownSchemeWithTheReason)
{
  const struct {
    const char* Name;
    std::vector<std::uint8_t> Data;
    const char* Problem;
  } cases[] = {
      {"empty", {}, "record too short"},
      {"type only", TBytes().U16(1), "record too short"},
      {"unknown type", TBytes().U16(2).U16(0).U16(0), "unknown encryption type 2"},
      {"RC4 version 1.2", TBytes().U16(1).U16(1).U16(2).Zeros(48), "unknown RC4 version 1.2"},
      {"CryptoAPI version 5.2", TBytes().U16(1).U16(5).U16(2).Zeros(48), "unknown RC4 version 5.2"},
      {"CryptoAPI version 4.3", TBytes().U16(1).U16(4).U16(3).Zeros(48), "unknown RC4 version 4.3"},
      {"header size past the record", CryptoApiHeaderWith(kHeaderSizeAt, 0xFFFFFFFF),
       "encryption header size 4294967295 does not fit the record"},
      {"header size below its fixed fields", CryptoApiHeaderWith(kHeaderSizeAt, 31),
       "encryption header size 31 does not fit the record"},
      {"cipher not RC4", CryptoApiHeaderWith(kAlgIdAt, 0x660E), "unknown cipher 0x0000660E"},
      {"hash not SHA-1", CryptoApiHeaderWith(kAlgIdHashAt, 0x8003), "unknown hash 0x00008003"},
      {"key of 136 bits", CryptoApiHeaderWith(kKeySizeAt, 136), "unknown key size 136"},
      {"key of 44 bits", CryptoApiHeaderWith(kKeySizeAt, 44), "unknown key size 44"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TFilePass pass = Decode(c.Data);
    EXPECT_EQ(pass.Scheme, esUnknown);
    EXPECT_EQ(pass.Problem, c.Problem);
    EXPECT_EQ(CoveredBytes(Describe(c.Data)), c.Data.size());
  }
  // A key size of 0 stands for 40 bits.
  EXPECT_EQ(Decode(CryptoApiHeaderWith(kKeySizeAt, 0)).KeyBits, 40u);
  EXPECT_EQ(Decode(CryptoApiHeaderWith(kKeySizeAt, 0)).Scheme, esCryptoApi);
}

TEST(FilePassDecoding, EveryCutOfASoundHeaderIsReadWithinTheRecord)
{
  for (const TTestScheme scheme : {TTestScheme::tsXor, TTestScheme::tsRc4, TTestScheme::tsCryptoApi}) {
    const auto whole = FilePassData(Spec(scheme));
    for (std::size_t length = 0; length < whole.size(); ++length) {
      SCOPED_TRACE(length);
      // Each cut in a buffer of its own, so the sanitizers see any read past it.
      const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
      const TFilePass pass = Decode(cut);
      EXPECT_EQ(pass.Scheme, esUnknown);
      EXPECT_EQ(CoveredBytes(Describe(cut)), cut.size());
    }
    EXPECT_NE(Decode(whole).Scheme, esUnknown);
  }
}

TEST(FilePassDecoding, BeforeBiff8ItIsTheFourBytesOfXorObfuscation)
{
  EXPECT_EQ(Decode(TBytes().U16(0x514A).U16(0xCC1A), evExcel5).Scheme, esXorBiff5);
  EXPECT_EQ(Decode(TBytes().U16(0x514A).U16(0xCC1A), evExcel2).Scheme, esXorBiff5);
  EXPECT_EQ(Decode(TBytes().U16(0x514A).U8(0xCC), evExcel5).Scheme, esUnknown);
}

TEST(PasswordKeys, XorKeyAndVerifierOfKnownPasswords)
{
  // The encrypted corpus names them for "abc".
  const TPasswordUnits abc(std::string_view("abc"));
  const TXorPassword bytes(abc);
  EXPECT_EQ(XorKey(bytes.Bytes()), 0x514A);
  EXPECT_EQ(XorVerifier(bytes.Bytes()), 0xCC1A);
  // Only 15 characters count, and a character whose low byte is 0 gives its high byte.
  const TPasswordUnits longer(std::string_view("VelvetSweatshopAndMore"));
  const TPasswordUnits fifteen(std::string_view("VelvetSweatshop"));
  EXPECT_EQ(XorVerifier(TXorPassword(longer).Bytes()), XorVerifier(TXorPassword(fifteen).Bytes()));
  const TPasswordUnits highByte(std::u16string_view(u"\u4100"));
  const TPasswordUnits plainA(std::string_view("A"));
  EXPECT_EQ(XorVerifier(TXorPassword(highByte).Bytes()), XorVerifier(TXorPassword(plainA).Bytes()));
}

TEST(PasswordKeys, OnlyTheRightPasswordOpensEachScheme)
{
  for (const TTestScheme scheme :
       {TTestScheme::tsXorBiff5, TTestScheme::tsXor, TTestScheme::tsRc4, TTestScheme::tsCryptoApi}) {
    for (const std::uint32_t keyBits : {40u, 128u}) {
      SCOPED_TRACE(static_cast<int>(scheme) * 1000 + static_cast<int>(keyBits));
      TEncryptSpec spec = Spec(scheme, "Pa\xC3\x9F-w\xC3\xB6rd");  // "Paß-wörd"
      spec.KeyBits = keyBits;
      const TFilePass pass = Decode(FilePassData(spec), scheme == TTestScheme::tsXorBiff5 ? evExcel5 : evExcel8);
      EXPECT_NE(OpenCipher(pass, TPasswordUnits(std::string_view(spec.Password))), nullptr);
      EXPECT_EQ(OpenCipher(pass, TPasswordUnits(std::string_view("Pass-word"))), nullptr);
      EXPECT_EQ(OpenCipher(pass, TPasswordUnits(std::string_view(""))), nullptr);
    }
  }
  TFilePass unknown;
  EXPECT_EQ(OpenCipher(unknown, TPasswordUnits(std::string_view("VelvetSweatshop"))), nullptr);
}

TEST(PasswordKeys, SecretsAreCutAtWholeCharacters)
{
  TSecret secret;
  secret.Assign(std::string(TSecret::kCapacity - 1, 'a') + "\xC3\xA9");  // "é" would end past the capacity
  EXPECT_EQ(secret.View(), std::string(TSecret::kCapacity - 1, 'a'));
  secret.Clear();
  EXPECT_TRUE(secret.Empty());
  // An invalid UTF-8 byte is taken as the Latin-1 character it would be.
  const TPasswordUnits units(std::string_view("a\xE9z"));
  EXPECT_EQ(std::u16string(units.Units().begin(), units.Units().end()), u"a\u00E9z");
}

// --- known answers from the encrypted corpus ---

namespace {

struct TFixture {
  const char* File;
  const char* Stream;
  const char* Password;
  const char* PlainSource;  // the corpus file it was made from
  TEncryptionScheme Scheme;
  std::uint32_t KeyBits;
};

const TFixture kFixtures[] = {
    {"enc_rc4_bifflens.xls", "Workbook", "bifflens", "libxls__types.xls", esRc4, 0},
    {"enc_rc4_bifflens_ministream.xls", "Workbook", "bifflens", "calamine__date.xls", esRc4, 0},
    {"enc_cryptoapi_tarvex.xls", "Workbook", "Tarvex-2026", "xlrd__profiles.xls", esCryptoApi, 128},
    {"enc_cryptoapi40_tarvex.xls", "Workbook", "Tarvex-2026", "xlrd__Formate.xls", esCryptoApi, 40},
    {"enc_xor8_abc.xls", "Workbook", "abc", "libxls__test2.xls", esXor, 0},
    {"enc_xor5_abc.xls", "Book", "abc", "calamine__biff5_write.xls", esXorBiff5, 0},
    {"enc_xor5_abc_formula.xls", "Book", "abc", "calamine__issue_643_biff5_formula.xls", esXorBiff5, 0},
    {"enc_rc4_default.xls", "Workbook", "VelvetSweatshop", "libxls__dates-leap-year-1900-xls.xls", esRc4, 0},
    {"enc_rc4_after_writeprot.xls", "Workbook", "bifflens", "xlrd__namesdemo.xls", esRc4, 0},
};

std::vector<std::uint8_t> WorkbookStream(const fs::path& file, const char* name)
{
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const TCompoundFile storage = TCompoundFile::Open(TSharedBytes(std::move(bytes)));
  const TSharedBytes stream = storage.OpenStream(name).SharedBytes();
  return {stream.begin(), stream.end()};
}

constexpr std::uint16_t kRecWriteProt = 0x0086;

/// The records but WRITEPROT, which one fixture has and its source not.
std::vector<TListedRecord> WithoutWriteProt(std::vector<TListedRecord> records)
{
  std::erase_if(records, [](const TListedRecord& r) { return r.Code == kRecWriteProt; });
  return records;
}

/// The fixture's records, the data after FILEPASS decrypted with `cipher`
/// by the rules of [MS-XLS] 2.2.10, FILEPASS itself dropped.
std::vector<TListedRecord> Decrypted(const std::vector<std::uint8_t>& stream, TRecordCipher& cipher)
{
  std::vector<TListedRecord> records;
  bool after = false;
  for (TListedRecord record : WithoutWriteProt(SplitRecords(stream))) {
    if (record.Code == kRecFilePass) {
      after = true;
      continue;
    }
    const std::size_t plain = std::min<std::size_t>(PlainDataBytes(record.Code), record.Data.size());
    if (after && plain < record.Data.size())
      cipher.Decrypt(record.Offset + 4 + plain, record.Length, std::span(record.Data).subspan(plain),
                     record.Data.data() + plain);
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace

TEST(EncryptedCorpus, EachFixturesFilePassOpensWithItsPasswordAndDecryptsToItsSource)
{
  const fs::path dir = fs::path(BIFFLENS_CORPUS_DIR);
  if (!fs::is_directory(dir / "encrypted"))
    GTEST_SKIP() << "corpus not found at " << dir;
  for (const TFixture& f : kFixtures) {
    SCOPED_TRACE(f.File);
    const auto stream = WorkbookStream(dir / "encrypted" / f.File, f.Stream);
    const auto records = SplitRecords(stream);
    const auto filePass = std::find_if(records.begin(), records.end(),
                                       [](const TListedRecord& r) { return r.Code == kRecFilePass; });
    ASSERT_NE(filePass, records.end());
    const TFilePass pass = Decode(filePass->Data, f.Scheme == esXorBiff5 ? evExcel5 : evExcel8);
    ASSERT_EQ(pass.Scheme, f.Scheme) << pass.Problem;
    if (f.KeyBits != 0) {
      EXPECT_EQ(pass.KeyBits, f.KeyBits);
    }
    EXPECT_EQ(OpenCipher(pass, TPasswordUnits(std::string_view("wrong"))), nullptr);
    const std::unique_ptr<TRecordCipher> cipher = OpenCipher(pass, TPasswordUnits(std::string_view(f.Password)));
    ASSERT_NE(cipher, nullptr);
    // Every record decrypts to its source's, but those holding stream
    // positions, which moved by FILEPASS's size.
    const auto ours = Decrypted(stream, *cipher);
    const auto source = WithoutWriteProt(SplitRecords(WorkbookStream(dir / f.PlainSource, f.Stream)));
    ASSERT_EQ(ours.size(), source.size());
    std::size_t compared = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
      const std::uint16_t code = ours[i].Code;
      if (code == kRecBoundSheet || code == 0x020B || code == 0x00FF)  // BOUNDSHEET, INDEX, EXTSST
        continue;
      ASSERT_EQ(ours[i].Data, source[i].Data) << "record " << i + 1 << " code " << code;
      ++compared;
    }
    EXPECT_GT(compared, 50u);
  }
}
