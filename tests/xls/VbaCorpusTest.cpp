// Every module of the public corpus against an independent extractor's
// source (corpus/vba/, see its README): line ends do not count.

#include "platform/CompoundFile.h"
#include "xls/vba/VbaProject.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

std::string UnixLineEnds(std::string_view text)
{
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

TEST(VbaCorpus, EveryModuleAgreesWithTheExtractor)
{
  const fs::path dir = fs::path(BIFFLENS_CORPUS_DIR) / "vba";
  if (!fs::is_directory(dir))
    GTEST_SKIP() << "no corpus at " << dir;
  std::size_t modules = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".jsonl")
      continue;
    std::ifstream in(entry.path());
    std::string line;
    std::getline(in, line);
    const json meta = json::parse(line);
    if (!meta.value("ok", false))
      continue;
    const std::string file = meta.at("file");
    SCOPED_TRACE(file);
    std::map<std::string, std::string> expected;
    while (std::getline(in, line)) {
      const json module = json::parse(line);
      // The extractor reads a file that is plain text as one module without
      // a stream; a workbook holds no such thing.
      if (module.at("stream").get<std::string>().empty())
        continue;
      expected[module.at("stream")] = module.at("code");
    }
    if (expected.empty())
      continue;
    const TVbaProject project = ReadVbaProject(TCompoundFile::OpenFile((fs::path(BIFFLENS_CORPUS_DIR) / file).string()));
    ASSERT_TRUE(project.Found);
    std::map<std::string, std::string> ours;
    for (const TVbaModule& module : project.Modules) {
      EXPECT_EQ(module.Error, "") << module.StreamPath;
      EXPECT_FALSE(module.Stomped) << module.StreamPath;
      ours[module.StreamPath] = UnixLineEnds(module.Source);
    }
    for (const auto& [stream, code] : expected) {
      SCOPED_TRACE(stream);
      ASSERT_TRUE(ours.count(stream));
      EXPECT_EQ(ours[stream], UnixLineEnds(code));
      ++modules;
    }
    EXPECT_EQ(ours.size(), expected.size());
  }
  EXPECT_GT(modules, 0u);
}

}  // namespace
