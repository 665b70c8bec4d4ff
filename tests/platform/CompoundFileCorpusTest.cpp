// The reader over the public corpus of real .xls files. Each file's records/
// listing was made by an independent reader; where that reader found a
// workbook stream, ours must find the same one with the same size and the
// same record headers at the same offsets.

#include "platform/CompoundFile.h"
#include "platform/CompoundFileMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
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
      // file after its first sector, and the Workbook chain ends at 64,512
      // of the 133,869 bytes its entry claims.
      {"calamine__OOM_alloc3.xls", kMsgCfbSectorOutOfRange},
      // The header claims 8,388,609 and 8,388,610 FAT sectors in files of
      // 72 and 227 sectors.
      {"libxls__xls2csv_ole_read_MSAT_772.xls", kMsgCfbTooManyFatSectors},
      {"libxls__xls2csv_ole_read_MSAT_body_637.xls", kMsgCfbTooManyFatSectors},
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

}  // namespace
