// Every record of the public corpus described as the inspector describes
// it: the fields cover each record exactly and describing never throws;
// nearly every record has a layout; what the layouts read agrees with the
// peer reader's listings (corpus/reference, see its README) and with the
// encrypted files' own table (corpus/encrypted/README.md).

#include "DescribeTestSupport.h"

#include "xls/RecordCodes.h"
#include "xls/decode/FilePassRecord.h"
#include "xls/decode/RecordCursor.h"
#include "xls/records/RecordTable.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

fs::path Corpus()
{
  return BIFFLENS_CORPUS_DIR;
}

std::vector<fs::path> CorpusFiles()
{
  std::vector<fs::path> files;
  for (const fs::path& dir : {Corpus(), Corpus() / "encrypted"}) {
    if (!fs::is_directory(dir))
      continue;
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.path().extension() == ".xls")
        files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

/// The reference's first line (meta) and its cells by (sheet, row, col).
struct TReference {
  json Meta;
  std::map<std::tuple<int, int, int>, json> Cells;
};

TReference ReadReference(const fs::path& file)
{
  TReference reference;
  std::ifstream in(file.parent_path() / "reference" / (file.filename().string() + ".jsonl"));
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    const json j = json::parse(line);
    if (first) {
      reference.Meta = j;
      first = false;
      continue;
    }
    reference.Cells[{j["sheet"].get<int>(), j["row"].get<int>(), j["col"].get<int>()}] = j;
  }
  return reference;
}

std::string Text(const TFieldValue& value)
{
  const auto* text = std::get_if<std::string>(&value);
  return text ? *text : std::string();
}

}  // namespace

TEST(FieldCorpus, EveryRecordsFieldsTileItsBytesAndDescribingNeverThrows)
{
  const auto files = CorpusFiles();
  if (files.empty())
    GTEST_SKIP() << "no corpus";
  std::size_t described = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const TDescribedLoad load({}, file.string());
    for (std::size_t i = 0; i < load.Count(); ++i) {
      SCOPED_TRACE("record " + std::to_string(i + 1));
      const auto parts = load.Parts(i);
      std::vector<TRecordField> fields;
      ASSERT_NO_THROW(fields = load.Reader.DescribeRecord(TLogicalRecord{parts}));
      if (fields.empty() && !FindRecordType(parts[0].Header.Code))
        continue;
      ExpectFieldsTile(fields, parts);
      ++described;
      // The items of a list are described one by one, each inside its part.
      for (const TRecordField& f : fields)
        if (f.Lazy)
          for (std::size_t k = 0; k < f.Lazy->Count(); ++k) {
            TRecordField item;
            ASSERT_NO_THROW(item = f.Lazy->Item(k)) << "item " << k;
            ASSERT_LT(static_cast<std::size_t>(item.Part), parts.size());
            EXPECT_LE(item.Offset + item.Size, parts[static_cast<std::size_t>(item.Part)].Data.size());
          }
    }
  }
  EXPECT_GT(described, 100000u);
}

TEST(FieldCorpus, AtLeast99PercentOfTheRecordsHaveALayout)
{
  const auto files = CorpusFiles();
  if (files.empty())
    GTEST_SKIP() << "no corpus";
  std::size_t total = 0;
  std::size_t decoded = 0;
  std::map<std::uint16_t, std::size_t> undecoded;
  for (const fs::path& file : files) {
    const TDescribedLoad load({}, file.string());
    for (std::size_t i = 0; i < load.Count(); ++i) {
      ++total;
      const TRecordType* type = FindRecordType(load.Directory->Code(i));
      if (type && type->Describe)
        ++decoded;
      else
        ++undecoded[load.Directory->Code(i)];
    }
  }
  std::string left;
  for (const auto& [code, count] : undecoded)
    left += HexNumber(code, 4) + " x" + std::to_string(count) + " ";
  EXPECT_GE(static_cast<double>(decoded), 0.99 * static_cast<double>(total)) << "left: " << left;
}

TEST(FieldCorpus, SharedStringsAgreeWithThePeersCellTexts)
{
  if (CorpusFiles().empty())
    GTEST_SKIP() << "no corpus";
  // Each LABELSST cell's string, as the SST's description lists it, is the
  // text the peer reader shows in that cell.
  std::size_t compared = 0;
  for (const fs::path& file : CorpusFiles()) {
    if (file.parent_path().filename() == "encrypted")
      continue;
    SCOPED_TRACE(file.filename().string());
    const TReference reference = ReadReference(file);
    if (!reference.Meta.value("ok", false))
      continue;
    const TDescribedLoad load({}, file.string());
    const std::size_t sst = load.Find(kRecSst);
    if (sst == load.Count())
      continue;
    const auto sstFields = load.Describe(sst);
    const TRecordField* strings = FindField(sstFields, "strings");
    ASSERT_NE(strings, nullptr);
    for (std::size_t i = 0; i < load.Count(); ++i) {
      if (load.Directory->Code(i) != kRecLabelSst)
        continue;
      const auto place = load.Directory->CellOf(i);
      if (!place)
        continue;
      const auto cell = reference.Cells.find({place->Sheet, place->Row, place->Column});
      if (cell == reference.Cells.end() || cell->second["type"] != "string")
        continue;
      const TRecordRef record = load.Directory->Record(i);
      TRecordCursor cursor(record.Data);
      cursor.Skip("prefix", 6);
      const std::uint32_t index = cursor.U32("sst_index");
      ASSERT_LT(index, strings->Lazy->Count());
      EXPECT_EQ(Text(strings->Lazy->Item(index).Value), cell->second["value"].get<std::string>())
          << "cell " << place->Row << "," << place->Column;
      ++compared;
    }
  }
  EXPECT_GT(compared, 2000u);
}

TEST(FieldCorpus, SheetNamesAgreeWithThePeersSheetList)
{
  if (CorpusFiles().empty())
    GTEST_SKIP() << "no corpus";
  std::size_t compared = 0;
  for (const fs::path& file : CorpusFiles()) {
    if (file.parent_path().filename() == "encrypted")
      continue;
    SCOPED_TRACE(file.filename().string());
    const TReference reference = ReadReference(file);
    if (!reference.Meta.value("ok", false) || !reference.Meta.contains("all_sheets"))
      continue;
    const TDescribedLoad load({}, file.string());
    std::vector<std::string> names;
    for (std::size_t i = load.Find(kRecBoundSheet); i < load.Count(); i = load.Find(kRecBoundSheet, i + 1))
      names.push_back(Text(FindField(load.Describe(i), "name")->Value));
    if (names.empty())
      continue;  // BIFF2 to BIFF4: no sheet list
    std::vector<std::string> expected;
    for (const json& sheet : reference.Meta["all_sheets"])
      expected.push_back(sheet["name"].get<std::string>());
    EXPECT_EQ(names, expected);
    compared += names.size();
  }
  EXPECT_GT(compared, 100u);
}

TEST(FieldCorpus, EncryptedWorkbooksNameTheirSchemeAndItsParameters)
{
  struct TExpected {
    const char* File;
    TEncryptionScheme Scheme;
    std::uint16_t Major;
    const char* Provider;
    std::uint32_t KeyBits;
  };
  // corpus/encrypted/README.md's table.
  const TExpected cases[] = {
      {"enc_rc4_bifflens.xls", TEncryptionScheme::esRc4, 1, "", 0},
      {"enc_rc4_default.xls", TEncryptionScheme::esRc4, 1, "", 0},
      {"enc_rc4_after_writeprot.xls", TEncryptionScheme::esRc4, 1, "", 0},
      {"enc_cryptoapi_tarvex.xls", TEncryptionScheme::esCryptoApi, 4,
       "Microsoft Enhanced Cryptographic Provider v1.0", 128},
      {"enc_cryptoapi40_tarvex.xls", TEncryptionScheme::esCryptoApi, 2,
       "Microsoft Base Cryptographic Provider v1.0", 40},
      {"enc_xor8_abc.xls", TEncryptionScheme::esXor, 0, "", 0},
      {"enc_xor5_abc.xls", TEncryptionScheme::esXorBiff5, 0, "", 0},
  };
  if (!fs::is_directory(Corpus() / "encrypted"))
    GTEST_SKIP() << "no corpus";
  for (const TExpected& c : cases) {
    SCOPED_TRACE(c.File);
    const TDescribedLoad load({}, (Corpus() / "encrypted" / c.File).string());
    const std::size_t at = load.Find(kRecFilePass);
    ASSERT_LT(at, load.Count());
    const TRecordRef record = load.Directory->Record(at);
    TRecordCursor cursor(record.Data);
    TFilePass pass;
    bool decoded = false;
    TFilePassDecoder()(cursor, *load.Reader.ContextAt(record.Number), record.Header.Code,
                       [&](const TFilePass& p) {
                         pass = p;
                         decoded = true;
                       });
    ASSERT_TRUE(decoded);
    EXPECT_EQ(pass.Scheme, c.Scheme);
    EXPECT_EQ(pass.MajorVersion, c.Major);
    if (c.Scheme == TEncryptionScheme::esCryptoApi) {
      EXPECT_EQ(pass.Provider, c.Provider);
      EXPECT_EQ(pass.KeyBits, c.KeyBits);
      EXPECT_EQ(pass.AlgId, 0x6801u);
      EXPECT_EQ(pass.AlgIdHash, 0x8004u);
      EXPECT_EQ(pass.Problem, "");
      EXPECT_EQ(pass.VerifierHashSize, 20u);
    }
    if (c.Scheme == TEncryptionScheme::esXor || c.Scheme == TEncryptionScheme::esXorBiff5) {
      // "abc": key 0x514A, verifier 0xCC1A.
      EXPECT_EQ(pass.XorKey, 0x514A);
      EXPECT_EQ(pass.XorVerifier, 0xCC1A);
    }
    // And the description covers the record.
    ExpectFieldsTile(load.Describe(at), load.Parts(at));
  }
}
