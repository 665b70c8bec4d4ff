// The per-workbook lists the reader keeps besides cells: fonts, names, XF
// entries and sheet names.

#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"

namespace {

using enum TExcelVersion;

TEST(FontList, Biff8FontWithUtf16Name)
{
  const auto font = TBytes()
                        .U16(200)      // 10 points
                        .U16(0x000A)   // italic, struck out
                        .U16(0x000C)   // colour
                        .U16(400)      // normal weight
                        .U16(0)
                        .U8(1)         // underlined
                        .U8(0)
                        .U8(204)       // Cyrillic character set
                        .U8(0)
                        .U8(5)
                        .U8(1)
                        .Utf16("\xD0\x90rial");
  TLoad load(Book8([&](TBiffBuilder& b) { b.Record(kRecFont, font); }, {}));
  ASSERT_EQ(load.Reader.Fonts().size(), 1u);
  const TXLSFont& f = load.Reader.Fonts()[0];
  EXPECT_EQ(f.Name, "\xD0\x90rial");
  EXPECT_EQ(f.Size, 10);
  EXPECT_TRUE(f.Italic);
  EXPECT_TRUE(f.StrikeOut);
  EXPECT_TRUE(f.Underline);
  EXPECT_FALSE(f.Bold);
  EXPECT_EQ(f.CharSet, 204);
  EXPECT_EQ(f.Color, 0x0C);
}

TEST(FontList, Biff2FontTakesBoldFromItsOptions)
{
  const auto font = TBytes().U16(240).U16(0x0001).U8(4).Ascii("Helv");
  TLoad load(BareStream(evExcel2, [&](TBiffBuilder& b) { b.Record(kRecFont, font); }));
  ASSERT_EQ(load.Reader.Fonts().size(), 1u);
  EXPECT_EQ(load.Reader.Fonts()[0].Name, "Helv");
  EXPECT_EQ(load.Reader.Fonts()[0].Size, 12);
  EXPECT_TRUE(load.Reader.Fonts()[0].Bold);
  EXPECT_FALSE(load.Reader.Fonts()[0].Italic);
}

TEST(FontList, BelongsToOneWorkbook)
{
  const auto font = TBytes().U16(200).U16(0).U16(0).U16(400).U16(0).U8(0).U8(0).U8(0).U8(0).U8(1).U8(0).Ascii("A");
  const auto book = Book8([&](TBiffBuilder& b) { b.Record(kRecFont, font).Record(kRecFont, font); }, {});
  TLoad load(book);
  load.Run(book);
  EXPECT_EQ(load.Reader.Fonts().size(), 2u);
}

TEST(NameList, Biff8NameWithItsDefinitionBytes)
{
  const auto name = TBytes()
                        .U16(0x0020)  // built-in flag, kept as it stands
                        .U8(0)
                        .U8(5)
                        .U16(3)
                        .U16(0)
                        .U16(1)
                        .U8(0).U8(0).U8(0).U8(0)
                        .U8(1)
                        .Utf16("T\xC3\xB6tal")
                        .U8(0x1E).U8(0x05).U8(0x00);
  TLoad load(Book8([&](TBiffBuilder& b) { b.Record(kRecName, name); }, {}));
  ASSERT_EQ(load.Reader.Names().size(), 1u);
  EXPECT_EQ(load.Reader.Names()[0].Name, "T\xC3\xB6tal");
  EXPECT_EQ(load.Reader.Names()[0].Definition, std::string("\x1E\x05\x00", 3));
  EXPECT_EQ(load.Reader.Names()[0].Options, 0x20);
}

TEST(NameList, Biff5NameIsEightBitText)
{
  const auto name = TBytes().U16(0).U8(0).U8(3).U16(2).U16(0).U16(0).U8(0).U8(0).U8(0).U8(0).Ascii("Abc").U8(0x1E).U8(7);
  TLoad load(Book5([&](TBiffBuilder& b) { b.Record(kRecName, name); }, {}));
  ASSERT_EQ(load.Reader.Names().size(), 1u);
  EXPECT_EQ(load.Reader.Names()[0].Name, "Abc");
  EXPECT_EQ(load.Reader.Names()[0].Definition, std::string("\x1E\x07", 2));
}

TEST(NameList, DefinitionLongerThanTheRecordIsCut)
{
  const auto name = TBytes().U16(0).U8(0).U8(3).U16(200).U16(0).U16(0).U8(0).U8(0).U8(0).U8(0).Ascii("Abc").U8(9);
  TLoad load(Book5([&](TBiffBuilder& b) { b.Record(kRecName, name); }, {}));
  EXPECT_EQ(load.Error, "");
  ASSERT_EQ(load.Reader.Names().size(), 1u);
  EXPECT_EQ(load.Reader.Names()[0].Definition, "\x09");
}

TEST(XfList, EntriesHoldFormatAndFontIndexesPerVersion)
{
  const auto xf5 = TBytes().U16(3).U16(164).Zeros(16);
  TLoad biff8(Book8([&](TBiffBuilder& b) { b.Record(kRecXf5, xf5); }, {}));
  ASSERT_EQ(biff8.Reader.XFList().size(), 1u);
  EXPECT_EQ(biff8.Reader.XFList()[0].FormatIndex, 164);
  EXPECT_EQ(biff8.Reader.XFList()[0].FontIndex, 3);
  EXPECT_FALSE(biff8.Reader.XFList()[0].IsDate);
  TLoad biff4(BareStream(evExcel4, [](TBiffBuilder& b) { b.Record(kRecXf4, TBytes().U8(2).U8(7).Zeros(10)); }));
  ASSERT_EQ(biff4.Reader.XFList().size(), 1u);
  EXPECT_EQ(biff4.Reader.XFList()[0].FormatIndex, 7);
  EXPECT_EQ(biff4.Reader.XFList()[0].FontIndex, 2);
  TLoad biff2(BareStream(evExcel2, [](TBiffBuilder& b) { b.Record(kRecXf2, TBytes().U8(1).U8(0).U8(0xC5).U8(0)); }));
  ASSERT_EQ(biff2.Reader.XFList().size(), 1u);
  EXPECT_EQ(biff2.Reader.XFList()[0].FormatIndex, 5);
  EXPECT_EQ(biff2.Reader.XFList()[0].FontIndex, 1);
}

TEST(SheetNameList, KeepsBoundSheetOrderAndOffsets)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Z", 2).BoundSheet("Y", 1).Eof();
  b.Bof(evExcel8).Eof().Bof(evExcel8).Eof();
  TLoad load(InCompoundFile(b.Build()));
  ASSERT_EQ(load.Reader.SheetNames().size(), 2u);
  EXPECT_EQ(load.Reader.SheetNames()[0].Name, "Z");
  EXPECT_EQ(load.Reader.SheetNames()[0].BofOffset, b.BofOffset(2));
  EXPECT_EQ(load.Reader.SheetNames()[1].Name, "Y");
  EXPECT_EQ(load.Reader.SheetNames()[1].BofOffset, b.BofOffset(1));
}

}  // namespace
