// The reader over the public corpus of real .xls files. Each file's records/
// listing was made by an independent reader; where that reader found a
// workbook stream, ours must find the same one with the same size and the
// same record headers at the same offsets.

#include "platform/CompoundFile.h"
#include "platform/CompoundFileMessages.h"
#include "platform/CompoundSalvage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
#include <optional>

namespace {

namespace fs = std::filesystem;

const fs::path kCorpusDir = BIFFLENS_CORPUS_DIR;

// The few JSON fields we need, read from one flat JSON Lines object.
std::optional<std::string> JsonString(const std::string& line, const std::string& key)
{
  const std::string pattern = "\"" + key + "\": \"";
  const std::size_t start = line.find(pattern);
  if (start == std::string::npos)
    return std::nullopt;
  const std::size_t from = start + pattern.size();
  const std::size_t end = line.find('"', from);
  return line.substr(from, end - from);
}

std::optional<long long> JsonNumber(const std::string& line, const std::string& key)
{
  const std::string pattern = "\"" + key + "\": ";
  const std::size_t start = line.find(pattern);
  if (start == std::string::npos)
    return std::nullopt;
  const char* text = line.c_str() + start + pattern.size();
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text)
    return std::nullopt;
  return value;
}

bool JsonTrue(const std::string& line, const std::string& key)
{
  return line.find("\"" + key + "\": true") != std::string::npos;
}

std::string Upper(std::string text)
{
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

// Files the independent reader opened that this reader refuses on purpose,
// with the reason. All are deliberately damaged fuzzer or test files.
const std::map<std::string, std::string>& KnownRefusals()
{
  static const std::map<std::string, std::string> refusals = {
      // Fuzzed: the directory chain runs into a sector number far past the
      // file after its second sector, and the Workbook chain ends at 64,512
      // of the 133,869 bytes its entry claims.
      {"calamine__OOM_alloc3.xls",
       "Compound file is damaged: the directory chain: sector 268 links to sector 4294967039, beyond the 384 "
       "sectors the FAT describes"},
      // The header claims 8,388,609 and 8,388,610 FAT sectors in files of
      // 72 and 227 sectors.
      {"libxls__xls2csv_ole_read_MSAT_772.xls",
       "Compound file is damaged: the header claims 8388609 FAT sectors, the file holds 71 sectors"},
      {"libxls__xls2csv_ole_read_MSAT_body_637.xls",
       "Compound file is damaged: the header claims 8388610 FAT sectors, the file holds 226 sectors"},
  };
  return refusals;
}

TEST(CompoundFileCorpus, OpensEveryWorkbookTheReferenceReaderOpenedWithTheSameStream)
{
  if (!fs::is_directory(kCorpusDir))
    GTEST_SKIP() << "corpus folder " << kCorpusDir << " is absent";
  std::size_t compared = 0;
  for (const auto& item : fs::directory_iterator(kCorpusDir)) {
    if (item.path().extension() != ".xls")
      continue;
    const std::string name = item.path().filename().string();
    SCOPED_TRACE(name);
    std::ifstream listing(kCorpusDir / "records" / (name + ".jsonl"));
    std::string meta;
    if (!std::getline(listing, meta)) {
      ADD_FAILURE() << "no records listing";
      continue;
    }

    std::optional<TCompoundFile> file;
    std::string failure;
    try {
      file = TCompoundFile::OpenFile(item.path().string());
    } catch (const EOleError& e) {
      failure = e.what();
    }
    // Any other exception type escapes and fails the test.

    const bool ole2 = JsonString(meta, "container") == "ole2";
    const auto streamName = JsonString(meta, "stream");
    if (!ole2 || !JsonTrue(meta, "ok") || !streamName) {
      if (!ole2) {
        EXPECT_FALSE(file) << "a bare stream opened as a compound file";
      }
      continue;
    }
    if (const auto refusal = KnownRefusals().find(name); refusal != KnownRefusals().end()) {
      try {
        if (file)
          file->OpenStream(*streamName);
      } catch (const EOleError& e) {
        failure = e.what();
      }
      EXPECT_EQ(failure, refusal->second);
      continue;
    }
    ASSERT_TRUE(file) << failure;

    // The workbook stream the way the reference chose it: Workbook before
    // Book, names compared ignoring case.
    const TStorageElement* chosen = nullptr;
    for (const auto& element : file->RootElements()) {
      const std::string upper = Upper(element.Name);
      if (upper == "WORKBOOK" || (upper == "BOOK" && !chosen))
        chosen = &element;
    }
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->Name, *streamName);
    const TCompoundStream stream = file->OpenStream(chosen->Name);
    EXPECT_EQ(static_cast<long long>(stream.Size()), JsonNumber(meta, "stream_size"));
    EXPECT_EQ(static_cast<long long>(chosen->Size), JsonNumber(meta, "stream_size"));

    // Each listed record header must sit at its offset in our stream.
    const auto bytes = stream.Bytes();
    std::string line;
    std::size_t mismatches = 0;
    while (std::getline(listing, line)) {
      const auto offset = JsonNumber(line, "offset");
      const auto code = JsonNumber(line, "code");
      const auto length = JsonNumber(line, "length");
      ASSERT_TRUE(offset && code && length) << line;
      const auto at = static_cast<std::size_t>(*offset);
      ASSERT_LE(at + 4, bytes.size()) << line;
      if ((bytes[at] | bytes[at + 1] << 8) != *code || (bytes[at + 2] | bytes[at + 3] << 8) != *length)
        ++mismatches;
    }
    EXPECT_EQ(mismatches, 0u);
    ++compared;
  }
  EXPECT_GT(compared, 0u);
}

// Fuzzed: the FAT entry of the Workbook's 126th sector is damaged, so the
// independent reader stops at 64,512 of its 133,869 bytes. The sectors after
// it, in use by the FAT and in no chain, are the rest: read on in file
// order, passing over the FAT sector 243 between them, they give the whole
// size, and the listed records sit where the listing says.
TEST(CompoundFileCorpus, ABrokenChainIsReadOnPastAFatSectorToTheStreamsSize)
{
  const fs::path path = kCorpusDir / "calamine__OOM_alloc3.xls";
  if (!fs::exists(path))
    GTEST_SKIP() << "corpus file " << path << " is absent";
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto salvaged = SalvageStream(file, [](const std::vector<std::string>& names) -> std::optional<std::size_t> {
    const auto found = std::find(names.begin(), names.end(), "Workbook");
    return found == names.end() ? std::nullopt : std::optional<std::size_t>(found - names.begin());
  });
  ASSERT_TRUE(salvaged);
  EXPECT_EQ(salvaged->Bytes.size(), 133869u);
  EXPECT_NE(std::find(salvaged->Damage.begin(), salvaged->Damage.end(),
                      "stream \"Workbook\" (entry 1) is read on in file order from sector 129 to sector 265: 136 "
                      "sectors, 262 of the 262 its size needs"),
            salvaged->Damage.end());
  std::ifstream listing(kCorpusDir / "records" / "calamine__OOM_alloc3.xls.jsonl");
  std::string line;
  std::getline(listing, line);
  std::size_t checked = 0;
  while (std::getline(listing, line)) {
    const auto at = static_cast<std::size_t>(*JsonNumber(line, "offset"));
    ASSERT_LE(at + 4, salvaged->Bytes.size());
    EXPECT_EQ(salvaged->Bytes[at] | salvaged->Bytes[at + 1] << 8, *JsonNumber(line, "code")) << line;
    EXPECT_EQ(salvaged->Bytes[at + 2] | salvaged->Bytes[at + 3] << 8, *JsonNumber(line, "length")) << line;
    ++checked;
  }
  EXPECT_EQ(checked, 817u);
}

}  // namespace
