// The dir stream's records: project information, references and modules,
// the quirks of real writers, and damage that keeps what came before it.

#include "support/VbaBuilder.h"
#include "xls/vba/VbaDir.h"
#include "xls/vba/VbaMessages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::uint8_t> U32(std::uint32_t v)
{
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}

TVbaDirBuilder OneModuleProject(std::uint16_t codePage, bool compatVersion = false)
{
  TVbaDirBuilder dir;
  dir.Information("VBAProject", codePage, compatVersion).Modules(1).Module("Module1", "Module1", 1234, kVbaTestStandard);
  return dir;
}

TEST(VbaDir, ReadsTheProjectInformation)
{
  const TVbaDir dir = ParseVbaDir(OneModuleProject(1252).End().Build());
  EXPECT_TRUE(dir.Errors.empty());
  EXPECT_EQ(dir.SysKind, 1u);
  EXPECT_EQ(dir.Lcid, 0x0409u);
  EXPECT_EQ(dir.LcidInvoke, 0x0409u);
  EXPECT_EQ(dir.CodePage, 1252);
  EXPECT_EQ(dir.Name, "VBAProject");
  EXPECT_FALSE(dir.CompatVersion.has_value());
  EXPECT_EQ(dir.ModuleCount, 1);
}

TEST(VbaDir, ReadsEachCodePage)
{
  for (const std::uint16_t codePage : {1250, 1251, 1252, 1253, 932, 936, 949, 950, 10000}) {
    SCOPED_TRACE(codePage);
    const TVbaDir dir = ParseVbaDir(OneModuleProject(codePage).End().Build());
    EXPECT_EQ(dir.CodePage, codePage);
    ASSERT_EQ(dir.Modules.size(), 1u);
  }
}

// Writers put 4 in PROJECTVERSION's size field yet write six bytes: a reader
// that believed it would take the minor version for the next record's id.
TEST(VbaDir, ReadsTheVersionRecordWhoseSizeUnderstatesIt)
{
  const TVbaDir dir = ParseVbaDir(OneModuleProject(1252).End().Build());
  EXPECT_EQ(dir.VersionMajor, 0x4F2A1B3Cu);
  EXPECT_EQ(dir.VersionMinor, 0x0011);
  ASSERT_EQ(dir.Modules.size(), 1u);
  EXPECT_EQ(dir.Modules[0].TextOffset, 1234u);
  EXPECT_TRUE(dir.Errors.empty());
}

TEST(VbaDir, ReadsTheCompatibilityVersionOfNewerWriters)
{
  const TVbaDir dir = ParseVbaDir(OneModuleProject(1252, true).End().Build());
  ASSERT_TRUE(dir.CompatVersion.has_value());
  EXPECT_EQ(*dir.CompatVersion, 0x6Fu);
  EXPECT_EQ(dir.Lcid, 0x0409u);
  EXPECT_EQ(dir.Modules.size(), 1u);
  EXPECT_TRUE(dir.Errors.empty());
}

TEST(VbaDir, SkipsUnknownRecordsBySize)
{
  TVbaDirBuilder dir;
  dir.Information("P", 1252).Record(0x7777, "twelve bytes").Modules(1);
  dir.Record(0x0019, "M").Record(0x6666, U32(0x0031)).Record(0x0031, U32(77)).Record(0x0022, "").Record(0x002B, "");
  const TVbaDir parsed = ParseVbaDir(dir.End().Build());
  EXPECT_TRUE(parsed.Errors.empty());
  ASSERT_EQ(parsed.Modules.size(), 1u);
  EXPECT_EQ(parsed.Modules[0].TextOffset, 77u);
  EXPECT_EQ(parsed.Modules[0].Type, kVbaModuleDocClass);
}

TEST(VbaDir, ReadsEveryModuleField)
{
  TVbaDirBuilder dir;
  dir.Information("P", 1251).Modules(2);
  dir.Module("\xCB\xE8\xF1\xF2\x31", "Лист1", 0x1A2B, kVbaTestDocClass, "\xCB\xE8\xF1\xF2\x31", "Лист1");
  dir.Record(0x0019, "Util").Record(0x001A, "UtilStream").Record(0x0032, "").Record(0x0031, U32(9))
      .Record(0x0021, "").Record(0x0025, "").Record(0x0028, "").Record(0x002B, "");
  const TVbaDir parsed = ParseVbaDir(dir.End().Build());
  EXPECT_TRUE(parsed.Errors.empty());
  ASSERT_EQ(parsed.Modules.size(), 2u);
  const TVbaDirModule& sheet = parsed.Modules[0];
  EXPECT_EQ(sheet.Name, "\xCB\xE8\xF1\xF2\x31");
  EXPECT_EQ(sheet.NameUnicode, "Лист1");
  EXPECT_EQ(sheet.StreamNameUnicode, "Лист1");
  EXPECT_EQ(sheet.TextOffset, 0x1A2Bu);
  EXPECT_EQ(sheet.Type, kVbaModuleDocClass);
  EXPECT_FALSE(sheet.ReadOnly);
  const TVbaDirModule& util = parsed.Modules[1];
  EXPECT_EQ(util.Name, "Util");
  EXPECT_EQ(util.NameUnicode, "");
  EXPECT_EQ(util.StreamName, "UtilStream");
  EXPECT_EQ(util.Type, kVbaModuleProcedural);
  EXPECT_TRUE(util.ReadOnly);
  EXPECT_TRUE(util.Private);
}

TEST(VbaDir, ReadsReferencesWithTheirNamesAndLibraries)
{
  TVbaDirBuilder dir;
  dir.Information("P", 1252).RegisteredReference("stdole", "*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE");
  // A control reference: original record, twiddled control, extended name, extended part.
  std::vector<std::uint8_t> twiddled = U32(5);
  for (const char c : std::string("*\\Gtw"))
    twiddled.push_back(static_cast<std::uint8_t>(c));
  for (int i = 0; i < 6; ++i)
    twiddled.push_back(0);
  std::vector<std::uint8_t> extended = U32(9);
  for (const char c : std::string("*\\Gextend"))
    extended.push_back(static_cast<std::uint8_t>(c));
  extended.resize(extended.size() + 6 + 16 + 4, 0);
  dir.Record(0x0016, "MSForms").Record(0x003E, "").Record(0x0033, "*\\Goriginal").Record(0x002F, twiddled)
      .Record(0x0016, "inner name").Record(0x003E, "").Record(0x0030, extended);
  // A project reference.
  std::vector<std::uint8_t> project = U32(4);
  for (const char c : std::string("C:\\aC:\\b"))
    project.push_back(static_cast<std::uint8_t>(c));
  project.insert(project.begin() + 8, {4, 0, 0, 0});
  project.resize(project.size() + 6, 0);
  dir.Record(0x0016, "Other").Record(0x000E, project);
  dir.Modules(0);
  const TVbaDir parsed = ParseVbaDir(dir.End().Build());
  EXPECT_TRUE(parsed.Errors.empty());
  ASSERT_EQ(parsed.References.size(), 3u);
  EXPECT_EQ(parsed.References[0].Kind, TVbaReferenceKind::rkRegistered);
  EXPECT_EQ(parsed.References[0].Name, "stdole");
  EXPECT_EQ(parsed.References[0].NameUnicode, "stdole");
  EXPECT_EQ(parsed.References[0].LibId, "*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE");
  EXPECT_EQ(parsed.References[1].Kind, TVbaReferenceKind::rkControl);
  EXPECT_EQ(parsed.References[1].Name, "MSForms");
  EXPECT_EQ(parsed.References[1].LibId, "*\\Gextend");
  EXPECT_EQ(parsed.References[2].Kind, TVbaReferenceKind::rkProject);
  EXPECT_EQ(parsed.References[2].Name, "Other");
  EXPECT_EQ(parsed.References[2].LibId, "C:\\a");
  EXPECT_EQ(parsed.References[2].LibIdRelative, "C:\\b");
}

TEST(VbaDir, ARecordRunningPastTheEndStopsTheReadingAndKeepsWhatCameBefore)
{
  TVbaDirBuilder dir = OneModuleProject(1252);
  dir.RawRecord(0x0019, 1000, std::vector<std::uint8_t>{'M', '2'});
  const TVbaDir parsed = ParseVbaDir(dir.Build());
  ASSERT_EQ(parsed.Modules.size(), 1u);
  EXPECT_EQ(parsed.Modules[0].Name, "Module1");
  ASSERT_FALSE(parsed.Errors.empty());
  EXPECT_EQ(parsed.Errors[0], "record 0x0019 runs past the end of the dir stream");
}

TEST(VbaDir, EveryCutOfAStreamGivesItsPrefixesModules)
{
  const auto whole = OneModuleProject(1252).End().Build();
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    const TVbaDir parsed = ParseVbaDir(std::span(whole).first(cut));
    EXPECT_FALSE(parsed.Errors.empty());
    EXPECT_LE(parsed.Modules.size(), 1u);
  }
}

TEST(VbaDir, SaysWhenAModuleOrTheStreamIsNotTerminated)
{
  TVbaDirBuilder dir;
  dir.Information("P", 1252).Modules(2).Record(0x0019, "A").Record(0x0019, "B").Record(0x002B, "");
  TVbaDir parsed = ParseVbaDir(dir.Build());
  EXPECT_EQ(parsed.Modules.size(), 2u);
  EXPECT_EQ(parsed.Errors, (std::vector<std::string>{kMsgVbaModuleNoTerminator, kMsgVbaDirNoTerminator}));

  TVbaDirBuilder counted;
  counted.Information("P", 1252).Modules(3).Module("A", "", 0, kVbaTestStandard).End();
  parsed = ParseVbaDir(counted.Build());
  EXPECT_EQ(parsed.Errors, std::vector<std::string>{kMsgVbaModuleCountMismatch});
}

TEST(VbaDir, ListsNoMoreModulesThanTheCountFieldCanState)
{
  TVbaDirBuilder dir;
  dir.Information("P", 1252).Modules(0xFFFF);
  for (int i = 0; i < 0x10000 + 10; ++i)
    dir.Record(0x0019, "").Record(0x002B, "");
  const TVbaDir parsed = ParseVbaDir(dir.End().Build());
  EXPECT_EQ(parsed.Modules.size(), 0xFFFFu);
  EXPECT_EQ(parsed.Errors, std::vector<std::string>{kMsgVbaTooManyItems});
}

}  // namespace
