// The dir stream's records: project information, references and modules,
// the quirks of real writers, and damage that keeps what came before it.

#include "support/VbaBuilder.h"
#include "xls/vba/VbaDir.h"
#include "xls/vba/VbaMessages.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TVbaDir Parse(const TVbaDirBuilder& dir)
{
  const std::string_view bytes = dir.Bytes();
  return ParseVbaDir({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

// PROJECTVERSION's size field says 4 though six bytes follow: believed, the
// minor version would be read as the next record's id. Newer writers put a
// compatibility version before the LCID.
TEST(VbaDir, ReadsTheInformationOfOlderAndNewerWriters)
{
  for (const bool newer : {false, true}) {
    SCOPED_TRACE(newer);
    const TVbaDir dir = Parse(TVbaDirBuilder().Information(1251, 1, newer).Module("Module1", 1234, 0x21).End());
    EXPECT_TRUE(dir.Errors.empty());
    EXPECT_EQ(dir.CompatVersion.has_value(), newer);
    EXPECT_EQ(dir.SysKind, 1u);
    EXPECT_EQ(dir.Lcid, 0x0409u);
    EXPECT_EQ(dir.CodePage, 1251);
    EXPECT_EQ(dir.Name, "VBAProject");
    EXPECT_EQ(dir.VersionMajor, 0x4F2A1B3Cu);
    EXPECT_EQ(dir.VersionMinor, 0x0011);
    ASSERT_EQ(dir.Modules.size(), 1u);
    EXPECT_EQ(dir.Modules[0].TextOffset, 1234u);
  }
}

TEST(VbaDir, ReadsEveryModuleFieldAndSkipsUnknownRecords)
{
  TVbaDirBuilder dir;
  dir.Information(1251, 2).Module("\xCB\xE8\xF1\xF2\x31", 0x1A2B, 0x22, false);
  dir.Record(0x0019, "Util").Record(0x7777, "unknown").Record(0x001A, "UtilStream").Record(0x0032, "U\0t\0"s)
      .U32Record(0x0031, 9).Record(0x0021).Record(0x0025).Record(0x0028).Record(0x002B);
  const TVbaDir parsed = Parse(dir.End());
  EXPECT_TRUE(parsed.Errors.empty());
  ASSERT_EQ(parsed.Modules.size(), 2u);
  const TVbaDirModule& sheet = parsed.Modules[0];
  EXPECT_EQ(sheet.Name, "\xCB\xE8\xF1\xF2\x31");
  EXPECT_EQ(sheet.NameUnicode, "");
  EXPECT_EQ(sheet.TextOffset, 0x1A2Bu);
  EXPECT_EQ(sheet.Type, kVbaModuleDocClass);
  EXPECT_FALSE(sheet.ReadOnly);
  const TVbaDirModule& util = parsed.Modules[1];
  EXPECT_EQ(util.StreamName, "UtilStream");
  EXPECT_EQ(util.StreamNameUnicode, "Ut");
  EXPECT_EQ(util.TextOffset, 9u);
  EXPECT_EQ(util.Type, kVbaModuleProcedural);
  EXPECT_TRUE(util.ReadOnly);
  EXPECT_TRUE(util.Private);
}

TEST(VbaDir, ReadsReferencesWithTheirNamesAndLibraries)
{
  const std::string reserved(6, '\0');
  TVbaDirBuilder dir;
  dir.Information(1252, 0);
  dir.Record(0x0016, "stdole").Record(0x003E, "s\0t\0d\0o\0l\0e\0"s).Record(0x000D, "\x05\0\0\0*\\Gst"s + reserved);
  // An original reference, its twiddled control, the control's own name
  // record and its extended part with the libid that counts.
  dir.Record(0x0016, "MSForms").Record(0x0033, "*\\Goriginal").Record(0x002F, "\x03\0\0\0twd"s + reserved)
      .Record(0x0016, "inner").Record(0x0030, "\x08\0\0\0*\\Gextnd"s + reserved + std::string(20, '\0'));
  dir.Record(0x0016, "Other").Record(0x000E, "\x04\0\0\0C:\\a\x04\0\0\0C:\\b"s + reserved);
  const TVbaDir parsed = Parse(dir.End());
  EXPECT_TRUE(parsed.Errors.empty());
  ASSERT_EQ(parsed.References.size(), 3u);
  EXPECT_EQ(parsed.References[0].Kind, TVbaReferenceKind::rkRegistered);
  EXPECT_EQ(parsed.References[0].NameUnicode, "stdole");
  EXPECT_EQ(parsed.References[0].LibId, "*\\Gst");
  EXPECT_EQ(parsed.References[1].Kind, TVbaReferenceKind::rkControl);
  EXPECT_EQ(parsed.References[1].Name, "MSForms");
  EXPECT_EQ(parsed.References[1].LibId, "*\\Gextnd");
  EXPECT_EQ(parsed.References[2].Kind, TVbaReferenceKind::rkProject);
  EXPECT_EQ(parsed.References[2].LibId, "C:\\a");
  EXPECT_EQ(parsed.References[2].LibIdRelative, "C:\\b");
}

TEST(VbaDir, DamageIsNamedAndWhatCameBeforeKept)
{
  const struct {
    const char* Name;
    TVbaDirBuilder Dir;
    std::size_t Modules;
    std::vector<std::string> Errors;
  } cases[] = {
      {"size past the end", TVbaDirBuilder().Information(1252, 2).Module("A", 0, 0x21).RawRecord(0x0019, 99, "B"), 1,
       {"record 0x0019 runs past the end of the dir stream", kMsgVbaModuleCountMismatch}},
      {"no terminators", TVbaDirBuilder().Information(1252, 2).Record(0x0019, "A").Module("B", 0, 0x21), 2,
       {kMsgVbaModuleNoTerminator, kMsgVbaDirNoTerminator}},
      {"wrong count", TVbaDirBuilder().Information(1252, 3).Module("A", 0, 0x21).End(), 1,
       {kMsgVbaModuleCountMismatch}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TVbaDir parsed = Parse(c.Dir);
    EXPECT_EQ(parsed.Modules.size(), c.Modules);
    EXPECT_EQ(parsed.Errors, c.Errors);
  }
}

TEST(VbaDir, ListsNoMoreModulesThanTheCountFieldCanState)
{
  TVbaDirBuilder dir;
  dir.Information(1252, 0xFFFF);
  for (int i = 0; i < 0x10000 + 10; ++i)
    dir.Record(0x0019).Record(0x002B);
  const TVbaDir parsed = Parse(dir.End());
  EXPECT_EQ(parsed.Modules.size(), 0xFFFFu);
  EXPECT_EQ(parsed.Errors, std::vector<std::string>{kMsgVbaTooManyItems});
}

}  // namespace
