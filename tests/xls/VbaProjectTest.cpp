// A workbook's VBA project read from its compound file: modules with their
// sources, types and streams, code pages, removed sources, missing parts,
// limits, and damage read strictly and tolerantly.

#include "platform/CompoundFile.h"
#include "platform/CompoundFileMessages.h"
#include "support/CompoundFileBuilder.h"
#include "support/VbaBuilder.h"
#include "xls/vba/VbaMessages.h"
#include "xls/vba/VbaProject.h"

#include <gtest/gtest.h>

namespace {

using TStreams = std::vector<std::pair<std::string, std::vector<std::uint8_t>>>;

TVbaProject Read(const std::vector<std::uint8_t>& bytes, const TVbaLimits& limits = {})
{
  return ReadVbaProject(TCompoundFile::Open(TSharedBytes(bytes)), limits);
}

TEST(VbaProject, ReadsEveryModulesSourceTypeAndStream)
{
  const std::string module1 = "Attribute VB_Name = \"Module1\"\r\nSub Hello()\r\n  MsgBox \"Hi\"\r\nEnd Sub\r\n";
  const std::string book = "Attribute VB_Name = \"ThisWorkbook\"\r\n";
  const auto file = TVbaFileBuilder()
                        .Module({"Module1", "", module1, kVbaTestStandard, 700, false})
                        .Module("ThisWorkbook", book, kVbaTestDocClass)
                        .Build();
  const TVbaProject project = Read(file);
  ASSERT_TRUE(project.Found);
  EXPECT_EQ(project.StoragePath, "_VBA_PROJECT_CUR");
  EXPECT_EQ(project.DirStream, "_VBA_PROJECT_CUR/VBA/dir");
  EXPECT_EQ(project.ProjectStream, "_VBA_PROJECT_CUR/PROJECT");
  EXPECT_EQ(project.Name, "VBAProject");
  EXPECT_EQ(project.CodePage, 1252);
  EXPECT_TRUE(project.Errors.empty());
  ASSERT_EQ(project.Modules.size(), 2u);
  const TVbaModule& standard = project.Modules[0];
  EXPECT_EQ(standard.Name, "Module1");
  EXPECT_EQ(standard.StreamPath, "_VBA_PROJECT_CUR/VBA/Module1");
  EXPECT_EQ(standard.Type, TVbaModuleType::mtStandard);
  EXPECT_EQ(standard.Source, module1);
  EXPECT_EQ(standard.Error, "");
  EXPECT_FALSE(standard.Stomped);
  EXPECT_EQ(standard.TextOffset, 700u);
  EXPECT_EQ(standard.StreamSize, 700 + VbaCompress(module1).size());
  EXPECT_EQ(project.Modules[1].Type, TVbaModuleType::mtDocument);
  EXPECT_EQ(project.Modules[1].Source, book);
}

TEST(VbaProject, DecodesNamesAndSourcesWithTheProjectsCodePage)
{
  const struct {
    std::uint16_t CodePage;
    std::string Source8;
    std::string Utf8;
  } cases[] = {
      {1252, "' caf\xE9 \x80\r\n", "' café €\r\n"},
      {1251, "' \xCF\xF0\xE8\xE2\xE5\xF2\r\n", "' Привет\r\n"},
      {932, "' \x93\xFA\x96\x7B\r\n", "' 日本\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    const TVbaProject project = Read(TVbaFileBuilder().CodePage(c.CodePage).Module("Module1", c.Source8).Build());
    EXPECT_EQ(project.CodePage, c.CodePage);
    ASSERT_EQ(project.Modules.size(), 1u);
    EXPECT_EQ(project.Modules[0].Source, c.Utf8);
  }
  // A name stored in the code page only, no UTF-16 form beside it.
  const TVbaProject cyrillic = Read(
      TVbaFileBuilder().CodePage(1251).Module({"Лист1", "\xCB\xE8\xF1\xF2\x31", "", kVbaTestDocClass, 0, false}).Build());
  ASSERT_EQ(cyrillic.Modules.size(), 1u);
  EXPECT_EQ(cyrillic.Modules[0].Name, "Лист1");
  EXPECT_EQ(cyrillic.Modules[0].StreamPath, "_VBA_PROJECT_CUR/VBA/Лист1");
  EXPECT_EQ(cyrillic.Modules[0].Type, TVbaModuleType::mtDocument);
}

TEST(VbaProject, FlagsAModuleWhoseSourceWasRemoved)
{
  const TVbaProject project = Read(TVbaFileBuilder()
                                       .Module({"Stripped", "", "", kVbaTestStandard, 900, true})
                                       .Module({"Emptied", "", "", kVbaTestStandard, 900, false})
                                       .Module({"Empty", "", "", kVbaTestStandard, 0, false})
                                       .Build());
  ASSERT_EQ(project.Modules.size(), 3u);
  EXPECT_TRUE(project.Modules[0].Stomped);
  EXPECT_EQ(project.Modules[0].Error, kMsgVbaOffsetPastEnd);
  EXPECT_TRUE(project.Modules[1].Stomped);
  EXPECT_EQ(project.Modules[1].Error, kMsgVbaStomped);
  // No compiled code before an empty source: nothing was removed.
  EXPECT_FALSE(project.Modules[2].Stomped);
  EXPECT_EQ(project.Modules[2].Error, "");
}

// The older storage name, names in any case, a class module (no PROJECT
// listing says it is a document's), a missing module stream.
TEST(VbaProject, FindsStreamsWhateverTheirCaseAndSaysWhatIsMissing)
{
  TVbaDirBuilder dir;
  dir.Information(1252, 2).Module("MODULE1", 0, kVbaTestDocClass).Module("Gone", 0, kVbaTestStandard).End();
  const auto file = VbaStorageFile("_VBA_PROJECT", "DIR", dir, TStreams{{"Module1", VbaCompress("' one\r\n")}});
  for (const bool tolerant : {false, true}) {
    SCOPED_TRACE(tolerant);
    const TVbaProject project = tolerant ? ReadVbaProjectTolerant(file) : Read(file);
    ASSERT_TRUE(project.Found);
    EXPECT_EQ(project.Tolerant, tolerant);
    EXPECT_EQ(project.DirStream, "_VBA_PROJECT/VBA/DIR");
    ASSERT_EQ(project.Modules.size(), 2u);
    EXPECT_EQ(project.Modules[0].StreamPath, "_VBA_PROJECT/VBA/Module1");
    EXPECT_EQ(project.Modules[0].Source, "' one\r\n");
    EXPECT_EQ(project.Modules[0].Type, TVbaModuleType::mtClass);
    EXPECT_EQ(project.Modules[1].Error, kMsgVbaNoModuleStream);
    EXPECT_FALSE(project.Modules[1].StreamFound);
    ASSERT_EQ(project.Errors.size(), 1u);
    EXPECT_EQ(project.Errors[0].Message, kMsgVbaNoProjectStream);
  }
  const auto plain = TCompoundFileBuilder().AddStream("Workbook", std::vector<std::uint8_t>(64, 0)).Build();
  EXPECT_FALSE(Read(plain).Found);
}

TEST(VbaProject, SourcesStopAtTheModuleAndProjectLimits)
{
  // Seven modules sharing one stream of 3000 bytes of source.
  TVbaDirBuilder dir;
  dir.Information(1252, 7);
  for (const char* name : {"A", "B", "C", "D", "E", "F", "G"})
    dir.Module(name, 0, kVbaTestStandard, true, "Same");
  const std::string text(3000, 'x');
  const auto file = VbaStorageFile("_VBA_PROJECT_CUR", "dir", dir.End(), TStreams{{"Same", VbaCompress(text)}});
  const TVbaProject project = Read(file, TVbaLimits{1000, 5000});
  ASSERT_EQ(project.Modules.size(), 7u);
  for (std::size_t i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(project.Modules[i].Source, i < 5 ? text.substr(0, 1000) : "");
    EXPECT_EQ(project.Modules[i].Error, i < 5 ? kMsgVbaOutputLimit : kMsgVbaProjectLimit);
  }
  // What the modules read is bounded too: chunks that give nothing still
  // take time to read.
  std::vector<std::uint8_t> nothing{0x01};
  for (int i = 0; i < 200; ++i)
    nothing.insert(nothing.end(), {0x00, 0xB0, 0x00});  // a chunk of one flag byte and no token
  const auto empty = VbaStorageFile("_VBA_PROJECT_CUR", "dir", dir, TStreams{{"Same", nothing}});
  const TVbaProject scanned = Read(empty, TVbaLimits{1000, 1000});
  EXPECT_EQ(scanned.Modules[0].Error, "");
  EXPECT_EQ(scanned.Modules[1].Error, kMsgVbaProjectLimit);
}

// A module stream's chain ends after its first sector: the strict reader
// refuses the stream, the tolerant one reads what the chain reaches.
TEST(VbaProject, TheTolerantReaderGivesWhatABrokenChainReaches)
{
  std::string source;
  while (source.size() < 6000)
    source += "' line " + std::to_string(source.size()) + "\r\n";
  auto file = TVbaFileBuilder().Module("Big", source).Build();
  const auto element = TCompoundFile::Open(TSharedBytes(file)).FindElement(std::vector<std::string>{"_VBA_PROJECT_CUR", "VBA", "Big"});
  ASSERT_TRUE(element.has_value());
  const std::size_t entry = (CfbGetU32(file, kCfbHeaderFirstDirectorySector) + 1) * 512 + element->EntryId * 128;
  const std::uint32_t start = CfbGetU32(file, entry + kCfbEntryStartSector);
  CfbPutU32(file, (CfbGetU32(file, kCfbHeaderDifat) + 1) * 512 + start * 4, kCfbEndOfChain);

  const TVbaProject refused = Read(file);
  ASSERT_EQ(refused.Modules.size(), 1u);
  EXPECT_EQ(refused.Modules[0].Source, "");
  EXPECT_EQ(refused.Modules[0].Error,
            "_VBA_PROJECT_CUR/VBA/Big cannot be read: Compound file is damaged: stream \"Big\" (entry 5) "
            "ends after 1 of its 14 sectors, at sector 5");

  const TVbaProject salvaged = ReadVbaProjectTolerant(file);
  ASSERT_EQ(salvaged.Modules.size(), 1u);
  EXPECT_EQ(salvaged.Modules[0].StreamSize, 512u);
  // 512 bytes: the signature, a chunk header, then 509 bytes of tokens, one
  // flag byte before each eight literals.
  EXPECT_EQ(salvaged.Modules[0].Source, source.substr(0, 452));
  EXPECT_EQ(salvaged.Modules[0].Error, kMsgVbaChunkCut);
}

// A tree that loops back on itself, the root's or the VBA storage's: the
// strict reader refuses the file or says why the project cannot be read,
// the tolerant one still finds the project.
TEST(VbaProject, TheTolerantReaderFindsAProjectInADamagedTree)
{
  const auto sound = TVbaFileBuilder().Module("M", "' kept\r\n").Build();
  const auto vba = TCompoundFile::Open(TSharedBytes(sound)).FindElement(std::vector<std::string>{"_VBA_PROJECT_CUR", "VBA"});
  ASSERT_TRUE(vba.has_value());
  const std::size_t directory = (CfbGetU32(sound, kCfbHeaderFirstDirectorySector) + 1) * 512;
  for (const std::uint32_t storage : {std::uint32_t{0}, vba->EntryId}) {
    SCOPED_TRACE(storage);
    auto file = sound;
    const std::uint32_t child = CfbGetU32(file, directory + storage * 128 + kCfbEntryChild);
    CfbPutU32(file, directory + child * 128 + kCfbEntryLeft, child);
    if (storage == 0) {
      EXPECT_THROW(TCompoundFile::Open(TSharedBytes(file)), EOleError);
    } else {
      const TVbaProject refused = Read(file);
      EXPECT_FALSE(refused.Found);
      ASSERT_EQ(refused.Errors.size(), 1u);
      EXPECT_EQ(refused.Errors[0].Message, "_VBA_PROJECT_CUR/VBA/dir cannot be read: " +
                                               CfbDamagedMessage(CfbTreeLoopText(child, child)));
    }
    const TVbaProject project = ReadVbaProjectTolerant(file);
    ASSERT_TRUE(project.Found);
    ASSERT_EQ(project.Modules.size(), 1u);
    EXPECT_EQ(project.Modules[0].Source, "' kept\r\n");
  }
}

}  // namespace
