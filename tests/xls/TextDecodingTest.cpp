// Text as the workbook declares it: the code page of 8-bit text before
// BIFF8, Latin-1 compressed strings and UTF-16 in BIFF8.

#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"
#include "platform/text/CodePage.h"
#include "platform/text/Utf.h"

namespace {

using enum TExcelVersion;

/// A BIFF5 workbook in a "Book" stream: globals with `codePage` (none when
/// 0) and one sheet named `sheetName`, whose cell A1 is the LABEL `bytes`.
std::unique_ptr<TLoad> Biff5Label(std::uint16_t codePage, std::string_view bytes,
                                  std::string_view sheetName = "S")
{
  TBiffBuilder b;
  b.Bof(evExcel5, TBofType::btGlobals);
  if (codePage)
    b.CodePage(codePage);
  b.BoundSheet(sheetName, 1).Eof().Bof(evExcel5).Label(0, 0, 0, bytes).Eof();
  return std::make_unique<TLoad>(InCompoundFile(b.Build(), "Book"));
}

TEST(CodePage, CyrillicLabelAndSheetNameIn1251)
{
  const auto load = Biff5Label(1251, "\xCF\xF0\xE8\xE2\xE5\xF2", "\xCB\xE8\xF1\xF2");
  EXPECT_EQ(load->Error, "");
  EXPECT_EQ(load->Reader.CodePage(), 1251);
  EXPECT_EQ(load->Cell(0, 0, 0), Text("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"));  // Привет
  EXPECT_EQ(load->Reader.Sheets().Items(0).Caption, "\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82");  // Лист
}

TEST(CodePage, DecodesByTheDeclaredPage)
{
  struct TCase {
    std::uint16_t Page;
    const char* Bytes;
    const char* Utf8;
  };
  const TCase cases[] = {
      {0, "\x80\x9C\xE9", "\xE2\x82\xAC\xC5\x93\xC3\xA9"},          // none: Windows-1252
      {1252, "\x80\x9C\xE9", "\xE2\x82\xAC\xC5\x93\xC3\xA9"},
      {32769, "\x80\xE9", "\xE2\x82\xAC\xC3\xA9"},                   // 1252 by another name
      {10000, "\x8A\xA5\x80", "\xC3\xA4\xE2\x80\xA2\xC3\x84"},       // Mac Roman: ä • Ä
      {1250, "\x8A\xB9", "\xC5\xA0\xC4\x85"},                        // Š ą
      {1251, "a\xC0" "bc\xE0\xE1" "d", "a\xD0\x90" "bc\xD0\xB0\xD0\xB1" "d"},  // ASCII between
      {932, "\x93\xFA\x96\x7B" "A\xB1", "\xE6\x97\xA5\xE6\x9C\xAC" "A\xEF\xBD\xB1"},  // 日本Aｱ
      {936, "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},         // 中文
      {12345, "\x80", "\xE2\x82\xAC"},                               // unknown: Windows-1252
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Page);
    const auto load = Biff5Label(c.Page, c.Bytes);
    EXPECT_EQ(load->Error, "");
    EXPECT_EQ(load->Cell(0, 0, 0), Text(c.Utf8));
  }
}

TEST(CodePage, EachDecoderGivesItsOwnPagesTextWhateverWasMadeBefore)
{
  // Decoders are made per record described: pages asked for in any order,
  // again and again, past the pages kept for reuse, each decode by its own.
  struct TCase {
    int Page;
    int Reported;
    const char* Utf8;  // of bytes C0 80
  };
  const TCase cases[] = {
      {1251, 1251, "\xD0\x90\xD0\x82"},  // А Ђ
      {1252, 1252, "\xC3\x80\xE2\x82\xAC"},
      {12345, 1252, "\xC3\x80\xE2\x82\xAC"},  // unknown: Windows-1252, and says so
      {1250, 1250, "\xC5\x94\xE2\x82\xAC"},   // Ŕ €
      {1200, 1200, "\xC3\x80\xC2\x80"},        // Latin-1
  };
  const std::vector<std::uint8_t> bytes{0xC0, 0x80};
  for (int round = 0; round < 3; ++round) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(c.Page);
      TCodePageDecoder decoder(c.Page);
      std::string out;
      decoder.Append(bytes, out);
      EXPECT_EQ(out, c.Utf8);
      EXPECT_EQ(decoder.CodePage(), c.Reported);
    }
    // Many pages no system knows, more than are kept: the known ones stay right.
    for (int page = 41000; page < 41100; ++page) {
      TCodePageDecoder unknown(page + round * 100);
      EXPECT_EQ(unknown.CodePage(), 1252);
    }
  }
  // One decoder switched from page to page.
  TCodePageDecoder decoder(1251);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Page);
    decoder.SetCodePage(c.Page);
    std::string out;
    decoder.Append(bytes, out);
    EXPECT_EQ(out, c.Utf8);
  }
}

TEST(CodePage, TheSameLabelBytesUnderAnotherPageGiveAnotherText)
{
  // Labels of one load share what was decoded from the same bytes, but
  // only under the same code page.
  TBiffBuilder b;
  b.Bof(evExcel5, TBofType::btGlobals).CodePage(1251);
  b.BoundSheet("S", 1).Eof().Bof(evExcel5).Label(0, 0, 0, "\xC0").Label(1, 0, 0, "\xC0");
  b.CodePage(1252).Label(2, 0, 0, "\xC0").Label(3, 0, 0, "\xC0").Eof();
  const TLoad load(InCompoundFile(b.Build(), "Book"));
  ASSERT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), Text("\xD0\x90"));  // А
  EXPECT_EQ(load.Cell(0, 1, 0), Text("\xD0\x90"));
  EXPECT_EQ(load.Cell(0, 2, 0), Text("\xC3\x80"));  // À
  EXPECT_EQ(load.Cell(0, 3, 0), Text("\xC3\x80"));
}

TEST(CodePage, AForcedPageWinsOverTheFilesOwnOrMissingRecord)
{
  // A BIFF5 label written in 1251 by a file that says 1252, or says nothing.
  const char* const privet = "\xCF\xF0\xE8\xE2\xE5\xF2";
  const TVariant expected = Text("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");  // Привет
  for (const std::uint16_t declared : {std::uint16_t{1252}, std::uint16_t{0}}) {
    SCOPED_TRACE(declared);
    TBiffBuilder b;
    b.Bof(evExcel5, TBofType::btGlobals);
    if (declared)
      b.CodePage(declared);
    b.BoundSheet("S", 1).Eof().Bof(evExcel5).Label(0, 0, 0, privet).CodePage(1250).Eof();
    const TLoad load(InCompoundFile(b.Build(), "Book"),
                     [](TLoad& l) { l.Reader.ForcedCodePage = 1251; });
    ASSERT_EQ(load.Error, "");
    EXPECT_EQ(load.Cell(0, 0, 0), expected);
    EXPECT_EQ(load.Reader.CodePage(), 1251);
  }
}

TEST(CodePage, AForcedPageLeavesBiff8TextAlone)
{
  // BIFF8 keeps 8-bit text as Latin-1 whatever the code page.
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).CodePage(1200);
  b.BoundSheet("S", 1).Eof().Bof(evExcel8).Label(0, 0, 0, "\xE9").Eof();
  const TLoad load(InCompoundFile(b.Build()), [](TLoad& l) { l.Reader.ForcedCodePage = 1251; });
  ASSERT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), Text("\xC3\xA9"));  // é
}

TEST(CodePage, Page32769IsReportedAs1252)
{
  EXPECT_EQ(Biff5Label(32769, "a")->Reader.CodePage(), 1252);
}

TEST(CodePage, BrokenMultiByteTextStillShowsTheRest)
{
  // A lead byte followed by a byte that cannot trail it, and a cut-off end.
  const auto load = Biff5Label(932, "A\x81 B\x93");
  const std::string text = load->Cell(0, 0, 0).AsString();
  EXPECT_EQ(text.front(), 'A');
  EXPECT_NE(text.find('B'), std::string::npos);
  EXPECT_NE(text.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST(CodePage, AppliesToBareStreamsBeforeBiff5)
{
  TLoad load(BareStream(evExcel4, [](TBiffBuilder& b) { b.CodePage(1251).Label(0, 0, 0, "\xC4\xE0"); }));
  EXPECT_EQ(load.Cell(0, 0, 0), Text("\xD0\x94\xD0\xB0"));  // Да
  TLoad biff2(BareStream(evExcel2, [](TBiffBuilder& b) { b.CodePage(1251).Label2(0, 0, "\xC4\xE0"); }));
  EXPECT_EQ(biff2.Cell(0, 0, 0), Text("\xD0\x94\xD0\xB0"));
}

TEST(CodePage, Biff8CompressedStringsAreLatin1WhateverThePage)
{
  TSstBuilder sst;
  sst.String("\xE9\x80");
  TLoad load(Book8([&](TBiffBuilder& b) { b.CodePage(1251).Sst(sst); },
                   [](TBiffBuilder& b) { b.Label(0, 0, 0, "\xE9\x80").FormulaSpecial(1, 0, 0, 0).String("\xE9"); }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), Text("\xC3\xA9\xC2\x80"));
  EXPECT_EQ(load.Cell(0, 1, 0), Text("\xC3\xA9"));
  EXPECT_EQ(load.Reader.SharedStrings()[0], "\xC3\xA9\xC2\x80");
}

/// A BIFF8 LABEL of raw UTF-16 units.
std::unique_ptr<TLoad> WideLabel(std::u16string_view units)
{
  const auto data = TBytes().U16(0).U16(0).U16(0).U16(static_cast<std::uint16_t>(units.size())).U8(1).Units(units);
  return std::make_unique<TLoad>(Book8({}, [&](TBiffBuilder& b) { b.Record(kRecLabel, data); }));
}

TEST(Utf16Text, SurrogatePairsJoinAndLoneHalvesBecomeReplacementCharacters)
{
  struct TCase {
    std::u16string Units;
    const char* Utf8;
  };
  const TCase cases[] = {
      {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},                        // 😀
      {u"a\xD800" "b", "a\xEF\xBF\xBD" "b"},                        // high alone
      {u"a\xDC00", "a\xEF\xBF\xBD"},                                // low alone
      {u"a\xD800", "a\xEF\xBF\xBD"},                                // high at the end
      {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},                // reversed pair
      {u"\x00E9\x20AC\xFFFF", "\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF"},  // BMP as is
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Utf8);
    EXPECT_EQ(WideLabel(c.Units)->Cell(0, 0, 0), Text(c.Utf8));
  }
}

TEST(Utf16Text, ConversionHelpersAgreeOnPairs)
{
  std::string fromUnits;
  AppendUtf16AsUtf8(std::u16string(u"\xD83D\xDE00"), fromUnits);
  std::string fromBytes;
  const std::vector<std::uint8_t> bytes{0x3D, 0xD8, 0x00, 0xDE, 0x41};  // odd last byte ignored
  AppendUtf16LeBytesAsUtf8(bytes, fromBytes);
  EXPECT_EQ(fromUnits, "\xF0\x9F\x98\x80");
  EXPECT_EQ(fromBytes, "\xF0\x9F\x98\x80");
}

TEST(EightBitText, Latin1AppendsAsciiRunsAndEncodesEveryHighByte)
{
  // Text already in the string stays; ASCII before, between and after high
  // bytes is kept in order.
  std::string out = "x";
  const std::vector<std::uint8_t> bytes{'a', 'b', 0xE9, 'c', 0x80, 0xFF, 'd'};
  AppendLatin1AsUtf8(bytes, out);
  EXPECT_EQ(out, "xab\xC3\xA9" "c\xC2\x80\xC3\xBF" "d");
  AppendLatin1AsUtf8(std::vector<std::uint8_t>{'e', 'f'}, out);
  EXPECT_EQ(out.substr(out.size() - 3), "def");
  AppendLatin1AsUtf8({}, out);
  EXPECT_EQ(out.size(), 13u);
}

TEST(EightBitText, LeadingZeroIsPassedOverBeforeBiff8)
{
  // 00 41 42 with count 2 gives AB; 41 42 43 with count 2 gives AB too.
  const auto withZero = TBytes().U16(0).U16(0).U16(0).U16(2).U8(0).Ascii("AB");
  const auto withoutZero = TBytes().U16(0).U16(1).U16(0).U16(2).Ascii("ABC");
  TLoad load(Book5({}, [&](TBiffBuilder& b) { b.Record(kRecLabel, withZero).Record(kRecLabel, withoutZero); }));
  EXPECT_EQ(load.Cell(0, 0, 0), Text("AB"));
  EXPECT_EQ(load.Cell(0, 0, 1), Text("AB"));
}

TEST(EightBitText, Biff5SheetNameWithLeadingZero)
{
  const auto data = TBytes().U32(0).U16(0).U8(3).U8(0).Ascii("Tab");
  TLoad load(InCompoundFile(
      TBiffBuilder().Bof(evExcel5, TBofType::btGlobals).Record(kRecBoundSheet, data).Eof().Build(), "Book"));
  ASSERT_EQ(load.Reader.SheetNames().size(), 1u);
  EXPECT_EQ(load.Reader.SheetNames()[0].Name, "Tab");
}

}  // namespace
