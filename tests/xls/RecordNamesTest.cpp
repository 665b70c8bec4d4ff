// Record-type names of the record list.

#include "xls/records/RecordTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

namespace {

struct TName {
  std::uint16_t Code;
  const char* Name;
};

// The names the record list shows, as the product defines them.
constexpr TName kNames[] = {
      {0x0000, "EMPTY_RECORD"}, {0x0002, "2INTEGER"}, {0x0003, "2NUMBER"}, {0x0004, "2LABEL"},
      {0x0006, "FORMULA"}, {0x0007, "2STRING"}, {0x0009, "BOF"}, {0x000A, "EOF"},
      {0x000C, "CALCCOUNT"}, {0x000D, "CALCMODE"}, {0x000E, "PRECISION"}, {0x000F, "REFMODE"},
      {0x0011, "ITERATION"}, {0x0012, "PROTECT"}, {0x0013, "PASSWORD"}, {0x0014, "HEADER"},
      {0x0015, "FOOTER"}, {0x0016, "EXTERNCOUNT"}, {0x0017, "EXTERNSHEET"}, {0x0018, "NAME"},
      {0x0019, "WINDOWPROTECT"}, {0x001D, "SELECTION"}, {0x001E, "FORMAT"}, {0x0022, "1904"},
      {0x0023, "EXTERNNAME"}, {0x0024, "COLWIDTH"}, {0x0026, "LEFTMARGIN"},
      {0x0027, "RIGHTMARGIN"}, {0x0028, "TOPMARGIN"}, {0x0029, "BOTTOMMARGIN"},
      {0x002A, "PRINTHEADERS"}, {0x002B, "PRINTGRIDLINES"}, {0x002F, "FILEPASS"}, {0x0031, "FONT"},
      {0x003C, "CONTINUE"}, {0x003D, "WINDOW1"}, {0x0040, "BACKUP"}, {0x0042, "CODEPAGE"},
      {0x0043, "XF2"}, {0x0055, "DEFCOLWIDTH"}, {0x005C, "WRITEACCESS"}, {0x005E, "UNCALCED"},
      {0x005F, "SAVERECALC"}, {0x007D, "COLINFO"}, {0x007E, "RK"}, {0x0080, "GUTS"},
      {0x0081, "WSBOOL"}, {0x0082, "GRIDSET"}, {0x0083, "HCENTER"}, {0x0084, "VCENTER"},
      {0x0085, "BOUNDSHEET"}, {0x008C, "COUNTRY"}, {0x008D, "HIDEOBJ"}, {0x0092, "PALETTE"},
      {0x009C, "FNGROUPCOUNT"}, {0x00A1, "SETUP"}, {0x00BC, "SHRFMLA"}, {0x00BD, "MULRK"},
      {0x00BE, "MULBLANK"}, {0x00D6, "RSTRING"}, {0x00D7, "DBCELL"}, {0x00DA, "BOOKBOOL"},
      {0x00DD, "SCENPROTECT"}, {0x00E0, "XF5"}, {0x00E5, "MERGEDCELLS"}, {0x00FC, "SST"},
      {0x00FD, "LABELSST"}, {0x00FF, "EXTSST"}, {0x013D, "TABID"}, {0x0160, "USESELFS"},
      {0x0161, "DSF"}, {0x01AE, "SUPBOOK"}, {0x01AF, "PROT4REV"}, {0x01B2, "DVAL"},
      {0x01B7, "REFRESHALL"}, {0x01B8, "HLINK"}, {0x01BC, "PROT4REVPASS"}, {0x0200, "DIMENSIONS"},
      {0x0201, "BLANK"}, {0x0203, "NUMBER"}, {0x0204, "LABEL"}, {0x0205, "BOOLERR"},
      {0x0207, "STRING"}, {0x0208, "ROW"}, {0x020B, "INDEX"}, {0x0223, "EXTERNNAME"},
      {0x0225, "DEFAULTROWHEIGHT"}, {0x0231, "FONT3"}, {0x023E, "WINDOW2"}, {0x0243, "XF3"},
      {0x027E, "RK3"}, {0x0293, "STYLE"}, {0x041E, "FORMAT4"}, {0x0443, "XF4"},
      {0x0862, "SHEETLAYOUT"}, {0x0867, "SHEETPROTECTION"}, {0x0868, "RANGEPROTECTION"},
};

TEST(RecordTypeName, EveryCodeOfTheTableHasItsName)
{
  for (const TName& n : kNames) {
    SCOPED_TRACE(n.Code);
    EXPECT_STREQ(RecordTypeName(n.Code), n.Name);
  }
  EXPECT_EQ(std::size(kNames), 97u);
  EXPECT_EQ(RecordTypeNameCount(), 97);
}

TEST(RecordTypeName, EveryOtherCodeIsUnknown)
{
  std::set<std::uint16_t> named;
  for (const TName& n : kNames)
    named.insert(n.Code);
  int unknown = 0;
  for (std::uint32_t code = 0; code <= 0xFFFF; ++code) {
    if (named.count(static_cast<std::uint16_t>(code)))
      continue;
    if (std::string(RecordTypeName(static_cast<std::uint16_t>(code))) != "Unknown") {
      ADD_FAILURE() << "code " << code << " is named " << RecordTypeName(static_cast<std::uint16_t>(code));
      break;
    }
    ++unknown;
  }
  EXPECT_EQ(unknown, 65536 - 97);
}

TEST(RecordTypeName, CodesAreMatchedWholeWithoutMasking)
{
  EXPECT_STREQ(RecordTypeName(0x0009), "BOF");
  EXPECT_STREQ(RecordTypeName(0x0809), "Unknown");
  EXPECT_STREQ(RecordTypeName(0x0409), "Unknown");
  EXPECT_STREQ(RecordTypeName(0x0209), "Unknown");
  EXPECT_STREQ(RecordTypeName(0x0000), "EMPTY_RECORD");
  EXPECT_STREQ(RecordTypeName(0x0023), "EXTERNNAME");
  EXPECT_STREQ(RecordTypeName(0x0223), "EXTERNNAME");
  EXPECT_STREQ(RecordTypeName(0xFFFF), "Unknown");
  EXPECT_STREQ(RecordTypeName(0x0001), "Unknown");  // BLANK of BIFF2 has no name
}

}  // namespace
