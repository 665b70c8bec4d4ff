// A workbook's VBA project read from its compound file: modules with their
// sources, types and streams, code pages, stripped sources, missing parts,
// and damage read strictly and tolerantly.

#include "platform/CompoundFile.h"
#include "support/CompoundFileBuilder.h"
#include "support/VbaBuilder.h"
#include "xls/vba/VbaMessages.h"
#include "xls/vba/VbaProject.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TVbaProject Read(const std::vector<std::uint8_t>& bytes)
{
  return ReadVbaProject(TCompoundFile::Open(TSharedBytes(bytes)));
}

const TVbaModule& ModuleNamed(const TVbaProject& project, const std::string& name)
{
  for (const TVbaModule& module : project.Modules)
    if (module.Name == name)
      return module;
  throw std::out_of_range("no module " + name);
}

TEST(VbaProject, ReadsEveryModulesSourceTypeAndStream)
{
  const std::string module1 = "Attribute VB_Name = \"Module1\"\r\nSub Hello()\r\n  MsgBox \"Hello\"\r\nEnd Sub\r\n";
  const std::string book = "Attribute VB_Name = \"ThisWorkbook\"\r\nAttribute VB_Base = \"0{00020819}\"\r\n";
  const std::string counter = "Attribute VB_Name = \"Counter\"\r\nPublic Count As Long\r\n";
  TVbaTestModule compiled{"Module1", "", module1, kVbaTestStandard, 700, false};
  const auto file = TVbaFileBuilder()
                        .Module(compiled)
                        .Module("ThisWorkbook", book, kVbaTestDocClass)
                        .Module("Counter", counter, kVbaTestDocClass)
                        .Document("ThisWorkbook")
                        .Build();
  const TVbaProject project = Read(file);
  ASSERT_TRUE(project.Found);
  EXPECT_FALSE(project.Tolerant);
  EXPECT_EQ(project.StoragePath, "_VBA_PROJECT_CUR");
  EXPECT_EQ(project.DirStream, "_VBA_PROJECT_CUR/VBA/dir");
  EXPECT_EQ(project.ProjectStream, "_VBA_PROJECT_CUR/PROJECT");
  EXPECT_EQ(project.Name, "VBAProject");
  EXPECT_EQ(project.CodePage, 1252);
  EXPECT_TRUE(project.Errors.empty()) << project.Errors.front().Message;
  ASSERT_EQ(project.References.size(), 1u);
  EXPECT_EQ(project.References[0].Name, "stdole");
  EXPECT_EQ(project.References[0].Kind, "registered");
  ASSERT_EQ(project.Modules.size(), 3u);

  const TVbaModule& standard = project.Modules[0];
  EXPECT_EQ(standard.Name, "Module1");
  EXPECT_EQ(standard.StreamPath, "_VBA_PROJECT_CUR/VBA/Module1");
  EXPECT_EQ(standard.Type, TVbaModuleType::mtStandard);
  EXPECT_EQ(standard.Source, module1);
  EXPECT_EQ(standard.Error, "");
  EXPECT_FALSE(standard.Stomped);
  EXPECT_EQ(standard.TextOffset, 700u);
  EXPECT_EQ(standard.SourceBytes, module1.size());
  EXPECT_EQ(standard.StreamSize, 700 + VbaCompress(module1).size());

  EXPECT_EQ(project.Modules[1].Type, TVbaModuleType::mtDocument);
  EXPECT_EQ(project.Modules[1].Source, book);
  EXPECT_EQ(project.Modules[2].Type, TVbaModuleType::mtClass);
  EXPECT_EQ(std::string(VbaModuleTypeText(project.Modules[2].Type)), "class");
}

TEST(VbaProject, DecodesNamesAndSourcesWithTheProjectsCodePage)
{
  struct TCase {
    std::uint16_t CodePage;
    std::string Source8;  // as the code page stores it
    std::string Utf8;
  };
  const TCase cases[] = {
      {1252, "' caf\xE9 \x80\r\n", "' café €\r\n"},
      {1251, "' \xCF\xF0\xE8\xE2\xE5\xF2\r\n", "' Привет\r\n"},
      {1253, "' \xE1\xE2\xE3\r\n", "' αβγ\r\n"},
      {932, "' \x93\xFA\x96\x7B\r\n", "' 日本\r\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.CodePage);
    const auto file = TVbaFileBuilder().CodePage(c.CodePage).Module("Module1", c.Source8).Build();
    const TVbaProject project = Read(file);
    EXPECT_EQ(project.CodePage, c.CodePage);
    ASSERT_EQ(project.Modules.size(), 1u);
    EXPECT_EQ(project.Modules[0].Source, c.Utf8);
  }
  // A name stored in the code page only (no UTF-16 form) is decoded too.
  TVbaTestModule sheet{"Лист1", "\xCB\xE8\xF1\xF2\x31", "' x\r\n", kVbaTestDocClass, 0, false};
  const TVbaProject cyrillic = Read(TVbaFileBuilder().CodePage(1251).Module(sheet).Document("Лист1").Build());
  ASSERT_EQ(cyrillic.Modules.size(), 1u);
  EXPECT_EQ(cyrillic.Modules[0].Name, "Лист1");
  EXPECT_EQ(cyrillic.Modules[0].StreamPath, "_VBA_PROJECT_CUR/VBA/Лист1");
  EXPECT_EQ(cyrillic.Modules[0].Type, TVbaModuleType::mtDocument);
}

TEST(VbaProject, FlagsAModuleWhoseSourceWasRemoved)
{
  TVbaTestModule stripped{"Stripped", "", "", kVbaTestStandard, 900, true};
  TVbaTestModule emptied{"Emptied", "", "", kVbaTestStandard, 900, false};
  TVbaTestModule empty{"Empty", "", "", kVbaTestStandard, 0, false};
  const TVbaProject project = Read(TVbaFileBuilder().Module(stripped).Module(emptied).Module(empty).Build());
  ASSERT_EQ(project.Modules.size(), 3u);
  EXPECT_TRUE(ModuleNamed(project, "Stripped").Stomped);
  EXPECT_EQ(ModuleNamed(project, "Stripped").Error, kMsgVbaOffsetPastEnd);
  EXPECT_EQ(ModuleNamed(project, "Stripped").StreamSize, 900u);
  EXPECT_TRUE(ModuleNamed(project, "Emptied").Stomped);
  EXPECT_EQ(ModuleNamed(project, "Emptied").Error, kMsgVbaStomped);
  // No compiled code before an empty source: nothing was removed.
  EXPECT_FALSE(ModuleNamed(project, "Empty").Stomped);
  EXPECT_EQ(ModuleNamed(project, "Empty").Error, "");
}

TEST(VbaProject, SaysWhatIsMissing)
{
  // No project at all.
  const auto plain = TCompoundFileBuilder().AddStream("Workbook", std::vector<std::uint8_t>(64, 0)).Build();
  const TVbaProject none = Read(plain);
  EXPECT_FALSE(none.Found);
  EXPECT_TRUE(none.Errors.empty());

  // A project storage without its dir stream.
  const auto noDir = TCompoundFileBuilder()
                         .AddStream("Workbook", std::vector<std::uint8_t>(64, 0))
                         .AddStorage("_VBA_PROJECT_CUR")
                         .AddStorage("_VBA_PROJECT_CUR/VBA")
                         .Build();
  const TVbaProject withoutDir = Read(noDir);
  EXPECT_FALSE(withoutDir.Found);
  ASSERT_EQ(withoutDir.Errors.size(), 1u);
  EXPECT_EQ(withoutDir.Errors[0].Message, kMsgVbaNoDirStream);
  EXPECT_EQ(withoutDir.Errors[0].Stream, "_VBA_PROJECT_CUR");

  // A module whose stream is missing: the others are still read.
  TVbaDirBuilder dir;
  dir.Information("P", 1252).Modules(2).Module("Gone", "Gone", 0, kVbaTestStandard).Module("Here", "Here", 0,
                                                                                           kVbaTestStandard);
  const auto file = TCompoundFileBuilder()
                        .AddStorage("_VBA_PROJECT_CUR")
                        .AddStorage("_VBA_PROJECT_CUR/VBA")
                        .AddStream("_VBA_PROJECT_CUR/VBA/dir", VbaCompress(std::span(dir.End().Build())))
                        .AddStream("_VBA_PROJECT_CUR/VBA/Here", VbaCompress("' here\r\n"))
                        .Build();
  const TVbaProject project = Read(file);
  ASSERT_TRUE(project.Found);
  ASSERT_EQ(project.Modules.size(), 2u);
  EXPECT_EQ(project.Modules[0].Error, kMsgVbaNoModuleStream);
  EXPECT_FALSE(project.Modules[0].StreamFound);
  EXPECT_EQ(project.Modules[0].StreamPath, "_VBA_PROJECT_CUR/VBA/Gone");
  EXPECT_EQ(project.Modules[1].Source, "' here\r\n");
  ASSERT_EQ(project.Errors.size(), 1u);
  EXPECT_EQ(project.Errors[0].Message, kMsgVbaNoProjectStream);
}

TEST(VbaProject, FindsTheOlderStorageAndNamesWhateverTheirCase)
{
  TVbaDirBuilder dir;
  dir.Information("P", 1252).Modules(1).Module("MODULE1", "MODULE1", 0, kVbaTestStandard);
  const auto file = TCompoundFileBuilder()
                        .AddStorage("_VBA_PROJECT")
                        .AddStorage("_VBA_PROJECT/vba")
                        .AddStream("_VBA_PROJECT/vba/DIR", VbaCompress(std::span(dir.End().Build())))
                        .AddStream("_VBA_PROJECT/vba/Module1", VbaCompress("' one\r\n"))
                        .Build();
  for (const bool tolerant : {false, true}) {
    SCOPED_TRACE(tolerant);
    const TVbaProject project = tolerant ? ReadVbaProjectTolerant(file) : Read(file);
    ASSERT_TRUE(project.Found);
    EXPECT_EQ(project.StoragePath, "_VBA_PROJECT");
    EXPECT_EQ(project.DirStream, "_VBA_PROJECT/vba/DIR");
    ASSERT_EQ(project.Modules.size(), 1u);
    EXPECT_EQ(project.Modules[0].StreamPath, "_VBA_PROJECT/vba/Module1");
    EXPECT_EQ(project.Modules[0].Source, "' one\r\n");
  }
}

TEST(VbaProject, ADamagedDirStreamKeepsTheModulesBeforeTheDamage)
{
  TVbaDirBuilder dir;
  dir.Information("P", 1252).Modules(2).Module("First", "First", 0, kVbaTestStandard);
  dir.RawRecord(0x0019, 5000, std::vector<std::uint8_t>{'S'});
  const auto file = TCompoundFileBuilder()
                        .AddStorage("_VBA_PROJECT_CUR")
                        .AddStorage("_VBA_PROJECT_CUR/VBA")
                        .AddStream("_VBA_PROJECT_CUR/VBA/dir", VbaCompress(std::span(dir.Build())))
                        .AddStream("_VBA_PROJECT_CUR/VBA/First", VbaCompress("' 1\r\n"))
                        .AddStream("_VBA_PROJECT_CUR/PROJECT", std::vector<std::uint8_t>{'I', 'D', '='})
                        .Build();
  const TVbaProject project = Read(file);
  ASSERT_EQ(project.Modules.size(), 1u);
  EXPECT_EQ(project.Modules[0].Source, "' 1\r\n");
  ASSERT_FALSE(project.Errors.empty());
  EXPECT_EQ(project.Errors[0].Stream, "_VBA_PROJECT_CUR/VBA/dir");
  EXPECT_EQ(project.Errors[0].Message, "record 0x0019 runs past the end of the dir stream");
}

TEST(VbaProject, ADamagedModuleContainerGivesItsSourceUpToTheDamage)
{
  const std::string source = "Attribute VB_Name = \"Module1\"\r\nSub A()\r\nEnd Sub\r\n";
  TVbaTestModule module{"Module1", "", source, kVbaTestStandard, 0, false};
  auto file = TVbaFileBuilder().Module(module).Build();
  const auto image = TCompoundFile::Open(TSharedBytes(file));
  const TVbaProject sound = ReadVbaProject(image);
  ASSERT_EQ(sound.Modules.size(), 1u);
  ASSERT_EQ(sound.Modules[0].Source, source);
  // Break the chunk's signature bits: the container is found in the file by
  // its first bytes, then damaged.
  const auto compressed = VbaCompress(source);
  const auto at = std::search(file.begin(), file.end(), compressed.begin(), compressed.end());
  ASSERT_NE(at, file.end());
  at[2] = static_cast<std::uint8_t>(at[2] ^ 0x70);
  const TVbaProject damaged = Read(file);
  ASSERT_EQ(damaged.Modules.size(), 1u);
  EXPECT_EQ(damaged.Modules[0].Source, "");
  EXPECT_EQ(damaged.Modules[0].Error, kMsgVbaBadChunkSignature);
  EXPECT_FALSE(damaged.Modules[0].Stomped);
}

// A module stream's chain broken after its first sector: the strict reader
// refuses the stream, the tolerant one reads what the chain reaches.
TEST(VbaProject, TheTolerantReaderGivesWhatABrokenChainReaches)
{
  std::string source = "Attribute VB_Name = \"Big\"\r\n";
  for (int i = 0; source.size() < 30000; ++i)
    source += "' line " + std::to_string(i * 7919 % 100003) + " of a long module with text\r\n";
  TVbaTestModule big{"Big", "", source, kVbaTestStandard, 0, false};
  // The stream is regular (past 4096 bytes): its first sector's FAT entry
  // becomes the end of its chain.
  auto file = TVbaFileBuilder().Module(big).Build();
  const auto strict = TCompoundFile::Open(TSharedBytes(file));
  const auto element = strict.FindElement(std::vector<std::string>{"_VBA_PROJECT_CUR", "VBA", "Big"});
  ASSERT_TRUE(element.has_value());
  ASSERT_GE(element->Size, 4096u);
  const std::uint32_t sectorSize = 512;
  const std::size_t entryOffset = (CfbGetU32(file, kCfbHeaderFirstDirectorySector) + 1) * sectorSize +
                                  element->EntryId * 128;
  const std::uint32_t start = CfbGetU32(file, entryOffset + kCfbEntryStartSector);
  const std::uint32_t perFatSector = sectorSize / 4;
  const std::uint32_t fatSector = CfbGetU32(file, kCfbHeaderDifat + 4 * (start / perFatSector));
  CfbPutU32(file, (fatSector + 1) * sectorSize + start % perFatSector * 4, kCfbEndOfChain);

  const TVbaProject refused = Read(file);
  ASSERT_EQ(refused.Modules.size(), 1u);
  EXPECT_EQ(refused.Modules[0].Source, "");
  EXPECT_NE(refused.Modules[0].Error.find("cannot be read"), std::string::npos) << refused.Modules[0].Error;

  const TVbaProject salvaged = ReadVbaProjectTolerant(file);
  EXPECT_TRUE(salvaged.Tolerant);
  ASSERT_EQ(salvaged.Modules.size(), 1u);
  const TVbaModule& module = salvaged.Modules[0];
  EXPECT_EQ(module.StreamSize, sectorSize);
  EXPECT_FALSE(module.Source.empty());
  EXPECT_EQ(source.substr(0, module.Source.size()), module.Source);
  EXPECT_EQ(module.Error, kMsgVbaChunkCut);
}

// The root's tree loops back on itself: the strict reader refuses the file,
// the tolerant one still finds the project.
TEST(VbaProject, TheTolerantReaderFindsAProjectInADamagedTree)
{
  const std::string source = "' kept\r\n";
  auto image = TCompoundFileBuilder()
                   .AddStream("Workbook", std::vector<std::uint8_t>(64, 0))
                   .AddStorage("_VBA_PROJECT_CUR")
                   .AddStorage("_VBA_PROJECT_CUR/VBA")
                   .AddStream("_VBA_PROJECT_CUR/VBA/dir",
                              VbaCompress(std::span(TVbaDirBuilder()
                                                        .Information("P", 1252)
                                                        .Modules(1)
                                                        .Module("M", "M", 0, kVbaTestStandard)
                                                        .End()
                                                        .Build())))
                   .AddStream("_VBA_PROJECT_CUR/VBA/M", VbaCompress(source))
                   .BuildImage();
  // The root's child's left link points to itself.
  const std::uint32_t child = CfbGetU32(image.Bytes, image.Layout.EntryOffset(0) + kCfbEntryChild);
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(child) + kCfbEntryLeft, child);
  EXPECT_THROW(TCompoundFile::Open(TSharedBytes(image.Bytes)), EOleError);
  const TVbaProject project = ReadVbaProjectTolerant(image.Bytes);
  ASSERT_TRUE(project.Found);
  ASSERT_EQ(project.Modules.size(), 1u);
  EXPECT_EQ(project.Modules[0].Source, source);
}

/// A project whose modules all name the stream "Same".
std::vector<std::uint8_t> ModulesSharingAStream(std::size_t count, const std::vector<std::uint8_t>& container)
{
  TVbaDirBuilder dir;
  dir.Information("P", 1252).Modules(static_cast<std::uint16_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    std::string name = "M";
    name += std::to_string(i);
    dir.Module(name, "", 0, kVbaTestStandard, "Same");
  }
  return TCompoundFileBuilder()
      .AddStorage("_VBA_PROJECT_CUR")
      .AddStorage("_VBA_PROJECT_CUR/VBA")
      .AddStream("_VBA_PROJECT_CUR/VBA/dir", VbaCompress(std::span(dir.End().Build())))
      .AddStream("_VBA_PROJECT_CUR/VBA/Same", container)
      .Build();
}

TEST(VbaProject, SourcesStopAtTheModuleAndProjectLimits)
{
  std::string text;
  while (text.size() < 3000)
    text += "Debug.Print 1\r\n";
  const auto file = ModulesSharingAStream(7, VbaCompress(text));
  for (const bool tolerant : {false, true}) {
    SCOPED_TRACE(tolerant);
    const TVbaLimits limits{1000, 5000};
    const TVbaProject project = tolerant ? ReadVbaProjectTolerant(file, limits)
                                         : ReadVbaProject(TCompoundFile::Open(TSharedBytes(file)), limits);
    ASSERT_EQ(project.Modules.size(), 7u);
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(project.Modules[i].Source, text.substr(0, 1000));
      EXPECT_EQ(project.Modules[i].Error, kMsgVbaOutputLimit);
    }
    for (std::size_t i = 5; i < 7; ++i) {
      EXPECT_EQ(project.Modules[i].Source, "");
      EXPECT_EQ(project.Modules[i].Error, kMsgVbaProjectLimit);
    }
  }
}

// Chunks that decompress to nothing cost reading time all the same: the
// compressed bytes all modules read are bounded too.
TEST(VbaProject, TheCompressedBytesAllModulesReadAreBounded)
{
  std::vector<std::uint8_t> empty{0x01};
  for (int i = 0; i < 200; ++i)
    empty.insert(empty.end(), {0x00, 0xB0, 0x00});  // a chunk of one flag byte and no token
  const auto file = ModulesSharingAStream(3, empty);
  const TVbaProject project = ReadVbaProject(TCompoundFile::Open(TSharedBytes(file)), TVbaLimits{1000, 1000});
  ASSERT_EQ(project.Modules.size(), 3u);
  EXPECT_EQ(project.Modules[0].Error, "");
  EXPECT_EQ(project.Modules[1].Error, kMsgVbaProjectLimit);
  EXPECT_EQ(project.Modules[2].Error, kMsgVbaProjectLimit);
}

TEST(VbaProject, TheTolerantReaderNeverThrows)
{
  const auto file = TVbaFileBuilder().Module("Module1", "' x\r\n").Build();
  for (std::size_t cut = 0; cut < file.size(); cut += 97) {
    SCOPED_TRACE(cut);
    const std::vector<std::uint8_t> part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_NO_THROW(ReadVbaProjectTolerant(part));
  }
}

}  // namespace
