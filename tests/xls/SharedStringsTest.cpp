// The shared-string table: strings whole and split across CONTINUE records
// at every boundary the format allows, rich and extended strings, and each
// failure with its exact message.

#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"

#include <algorithm>

namespace {

using enum TExcelVersion;

constexpr std::uint16_t kExtSst = 0x00FF;

/// A BIFF8 workbook whose globals hold `sst` and then EXTSST.
std::unique_ptr<TLoad> LoadSst(const TSstBuilder& sst, const TBuildStep& sheet = {})
{
  return std::make_unique<TLoad>(Book8(
      [&](TBiffBuilder& b) { b.Sst(sst).Record(kExtSst, TBytes().U16(8)); }, sheet));
}

/// The load's message for its first LABELSST, which points at string
/// `index` of a table of `strings`: the record found in the listing.
std::string PastTheTable(const TLoad& load, std::uint64_t index, std::size_t strings)
{
  for (std::size_t i = 0; i < load.Records.size(); ++i)
    if (load.Records[i].Code == kRecLabelSst)
      return "Record " + std::to_string(i + 1) + " at offset " + std::to_string(load.Records[i].Offset) +
             ": LABELSST string index " + std::to_string(index) + " is past the " + std::to_string(strings) +
             " strings of the SST; its cell is left out";
  return "no LABELSST listed";
}

std::vector<std::string> Strings(const TLoad& load)
{
  std::vector<std::string> texts;
  for (const TVariant& text : load.Reader.SharedStrings())
    texts.push_back(text.AsString());
  return texts;
}

std::size_t ContinueCount(const TLoad& load)
{
  const auto codes = load.Codes();
  return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), kRecContinue));
}

/// One string of the split tests, as written and as read back.
struct TSpec {
  std::string Text;  // UTF-8 when wide, 8-bit bytes otherwise
  bool Wide = false;
  std::uint16_t Runs = 0;
  std::uint32_t Ext = 0;
  std::string Expected;
};

std::vector<TSpec> MixedStrings()
{
  return {
      {"abc", false, 0, 0, "abc"},
      {"", false, 0, 0, ""},
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E" "ab", true, 0, 0, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E" "ab"},
      {"rich", false, 2, 0, "rich"},
      {"caf\xE9", false, 0, 5, "caf\xC3\xA9"},
      {"\xCE\xA9mega", true, 1, 3, "\xCE\xA9mega"},
      {"\xF0\x9F\x98\x80x", true, 0, 0, "\xF0\x9F\x98\x80x"},  // a surrogate pair
      {"tail", false, 0, 0, "tail"},
  };
}

TSstBuilder SstOf(const std::vector<TSpec>& specs)
{
  TSstBuilder sst;
  for (const TSpec& s : specs)
    sst.String(s.Text, s.Wide, s.Runs, s.Ext);
  return sst;
}

std::vector<std::string> ExpectedOf(const std::vector<TSpec>& specs)
{
  std::vector<std::string> texts;
  for (const TSpec& s : specs)
    texts.push_back(s.Expected);
  return texts;
}

/// Offsets of the SST data where Excel may end a record: before each string,
/// and before each character of a string (a character is never cut).
std::vector<std::size_t> AllowedSplits(const std::vector<TSpec>& specs)
{
  std::vector<std::size_t> splits;
  std::size_t at = 8;
  for (const TSpec& s : specs) {
    splits.push_back(at);
    const std::size_t width = s.Wide ? 2 : 1;
    const std::size_t units = s.Wide ? Utf16Units(s.Text).size() : s.Text.size();
    const std::size_t chars = at + 3 + (s.Runs ? 2 : 0) + (s.Ext ? 4 : 0);
    for (std::size_t k = 0; k < units; ++k)
      splits.push_back(chars + k * width);
    at = chars + units * width + 4u * s.Runs + s.Ext;
  }
  return splits;
}

TEST(SstDecoding, WholeStringsOfEveryKind)
{
  const auto specs = MixedStrings();
  const auto loadHolder = LoadSst(SstOf(specs));
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Strings(load), ExpectedOf(specs));
  EXPECT_EQ(ContinueCount(load), 0u);
}

TEST(SstDecoding, SplitAtAnyAllowedBoundaryGivesTheSameStrings)
{
  const auto specs = MixedStrings();
  for (const std::size_t split : AllowedSplits(specs)) {
    SCOPED_TRACE(split);
    const auto loadHolder = LoadSst(SstOf(specs).SplitAt({split}));
  const TLoad& load = *loadHolder;
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(Strings(load), ExpectedOf(specs));
    EXPECT_EQ(ContinueCount(load), 1u);
    // The record after the SST is still read by the loop.
    EXPECT_EQ(load.Codes()[3], kExtSst);
  }
}

TEST(SstDecoding, SplitAtEveryAllowedBoundaryAtOnceGivesTheSameStrings)
{
  const auto specs = MixedStrings();
  const auto splits = AllowedSplits(specs);
  const auto loadHolder = LoadSst(SstOf(specs).SplitAt(splits));
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Strings(load), ExpectedOf(specs));
  EXPECT_EQ(ContinueCount(load), splits.size());  // at 8 the SST holds the counts alone
}

TEST(SstDecoding, CountZeroReadsOnlyTheCounts)
{
  TSstBuilder sst;
  sst.Counts(0, 0).String("not read");
  const auto loadHolder = LoadSst(sst.SplitAt({8}));
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_TRUE(Strings(load).empty());
  // The CONTINUE after an empty SST is an ordinary record.
  EXPECT_EQ(load.Codes()[1], kRecSst);
  EXPECT_EQ(load.Codes()[2], kRecContinue);
}

TEST(SstDecoding, NegativeCountReadsNothing)
{
  TSstBuilder sst;
  sst.Counts(1, 0x80000000u).String("x");
  const auto loadHolder = LoadSst(sst);
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_TRUE(Strings(load).empty());
}

TEST(SstDecoding, StringEndingAtTheRecordEndIsFollowedByOneInTheContinue)
{
  const auto loadHolder = LoadSst(TSstBuilder().String("abc").Continue().String("def", true));
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Strings(load), (std::vector<std::string>{"abc", "def"}));
  EXPECT_EQ(load.Records[1].Data.size(), 8u + 3 + 3);
}

TEST(SstDecoding, FewerThanThreeBytesLeftInARecordArePassedOver)
{
  const auto loadHolder = LoadSst(TSstBuilder().Counts(2, 2).String("abc").Raw(TBytes().U8(0x7F).U8(0x7F)).Continue().String("def"));
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Strings(load), (std::vector<std::string>{"abc", "def"}));
}

TEST(SstDecoding, WideStringContinuedAsEightBitHalvesTheRemainingBytes)
{
  std::string wide;
  std::string expected;
  for (int i = 0; i < 100; ++i)
    wide += "\xD0\x96";  // U+0416
  expected = wide + std::string(50, 'z');
  TSstBuilder sst;
  sst.Header(150, 0x01).Chars16(wide).ContinueChars(0).Chars8(std::string(50, 'z')).String("next");
  const auto loadHolder = LoadSst(sst);
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Strings(load), (std::vector<std::string>{expected, "next"}));
}

TEST(SstDecoding, EightBitStringContinuedAsWideDoublesTheRemainingBytes)
{
  const std::string text = "abcdef";
  for (std::size_t k = 0; k < text.size(); ++k) {
    SCOPED_TRACE(k);
    TSstBuilder sst;
    sst.Header(6, 0x00).Chars8(text.substr(0, k)).ContinueChars(1).Chars16(text.substr(k)).String("next");
    const auto loadHolder = LoadSst(sst);
  const TLoad& load = *loadHolder;
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(Strings(load), (std::vector<std::string>{text, "next"}));
  }
}

TEST(SstDecoding, WideStringContinuedAsEightBitAtEveryCharacter)
{
  const std::string text = "wxyz";
  for (std::size_t k = 0; k < text.size(); ++k) {
    SCOPED_TRACE(k);
    TSstBuilder sst;
    sst.Header(4, 0x01).Chars16(text.substr(0, k)).ContinueChars(0).Chars8(text.substr(k)).String("next");
    const auto loadHolder = LoadSst(sst);
  const TLoad& load = *loadHolder;
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(Strings(load), (std::vector<std::string>{text, "next"}));
  }
}

TEST(SstDecoding, WidthCanSwitchAtEachContinuation)
{
  TSstBuilder sst;
  sst.Header(6, 0x00)
      .Chars8("ab")
      .ContinueChars(1)
      .Chars16("\xCE\xB1\xCE\xB2")
      .ContinueChars(0)
      .Chars8("cd")
      .String("next");
  const auto loadHolder = LoadSst(sst);
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Strings(load), (std::vector<std::string>{"ab\xCE\xB1\xCE\xB2" "cd", "next"}));
}

TEST(SstDecoding, SplitRichStringStillHasItsRunsSkipped)
{
  TSstBuilder sst;
  sst.Header(6, 0x08, 2).Chars8("abc").ContinueChars(0).Chars8("def").Runs(2).String("next");
  const auto loadHolder = LoadSst(sst);
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Strings(load), (std::vector<std::string>{"abcdef", "next"}));
}

TEST(SstDecoding, SplitStringWithExtDataHasItSkipped)
{
  TSstBuilder sst;
  sst.Header(4, 0x05, 0, 6).Chars16("ab").ContinueChars(1).Chars16("cd").Ext(6).String("next");
  const auto loadHolder = LoadSst(sst);
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Strings(load), (std::vector<std::string>{"abcd", "next"}));
}

TEST(SstDecoding, AcceptedOptionBytes)
{
  for (const std::uint8_t options : {0x00, 0x01, 0x04, 0x05, 0x08, 0x09, 0x0C, 0x0D}) {
    SCOPED_TRACE(options);
    TSstBuilder sst;
    const bool wide = options & 0x01;
    sst.Header(2, options, 1, 2);
    if (wide)
      sst.Chars16("ok");
    else
      sst.Chars8("ok");
    if (options & 0x08)
      sst.Runs(1);
    if (options & 0x04)
      sst.Ext(2);
    sst.String("next");
    const auto loadHolder = LoadSst(sst);
  const TLoad& load = *loadHolder;
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(Strings(load), (std::vector<std::string>{"ok", "next"}));
  }
}

TEST(SstFailure, UnknownOptionByteNamesItInTwoUpperCaseDigits)
{
  struct TCase {
    std::uint8_t Options;
    const char* Message;
  };
  for (const TCase c : {TCase{0x02, "String in SST (Options byte is 0x02) can not be processed."},
                        TCase{0x03, "String in SST (Options byte is 0x03) can not be processed."},
                        TCase{0x10, "String in SST (Options byte is 0x10) can not be processed."},
                        TCase{0xA3, "String in SST (Options byte is 0xA3) can not be processed."}}) {
    SCOPED_TRACE(c.Message);
    const auto loadHolder = LoadSst(TSstBuilder().String("kept").Header(3, c.Options).Chars8("bad"));
  const TLoad& load = *loadHolder;
    EXPECT_EQ(load.Error, c.Message);
    EXPECT_EQ(Strings(load), (std::vector<std::string>{"kept"}));
  }
}

TEST(SstFailure, ContinuationFlagOtherThanZeroOrOne)
{
  for (const std::uint8_t flag : {0x05, 0x02, 0xAB}) {
    SCOPED_TRACE(flag);
    const auto loadHolder = LoadSst(TSstBuilder().Header(6, 0).Chars8("abc").ContinueChars(flag).Chars8("def"));
  const TLoad& load = *loadHolder;
    const char* expected = flag == 0x05   ? "Invalid option flag (0x05) after CONTINUE record"
                           : flag == 0x02 ? "Invalid option flag (0x02) after CONTINUE record"
                                          : "Invalid option flag (0xAB) after CONTINUE record";
    EXPECT_EQ(load.Error, expected);
  }
}

TEST(SstContinue, RichRunsAndPhoneticDataGoOnIntoTheNextContinueAtAnyByte)
{
  // East Asian writers continue a string's extended (phonetic) data, and its
  // runs, into the next CONTINUE record as they are: no width byte there.
  for (std::size_t k = 1; k < 8; ++k) {
    SCOPED_TRACE("runs split after " + std::to_string(k));
    TSstBuilder sst;
    sst.Header(3, 0x08, 2).Chars8("abc").Raw(TBytes().Zeros(k)).Continue().Raw(TBytes().Zeros(8 - k)).String("x");
    const auto load = LoadSst(sst);
    EXPECT_EQ(load->Error, "");
    EXPECT_EQ(Strings(*load), (std::vector<std::string>{"abc", "x"}));
  }
  for (std::size_t k = 1; k < 10; ++k) {
    SCOPED_TRACE("phonetic data split after " + std::to_string(k));
    TSstBuilder sst;
    sst.Header(2, 0x0D, 1, 10).Chars16("\xE6\x97\xA5\xE6\x9C\xAC").Runs(1).Ext(k).Continue().Ext(10 - k).String("y");
    const auto load = LoadSst(sst);
    EXPECT_EQ(load->Error, "");
    EXPECT_EQ(Strings(*load), (std::vector<std::string>{"\xE6\x97\xA5\xE6\x9C\xAC", "y"}));
  }
}

TEST(SstFailure, RunsOrPhoneticDataCutOffByTheLastContinueFail)
{
  TSstBuilder runs;
  runs.Header(3, 0x08, 2).Chars8("abc").Raw(TBytes().Zeros(3)).Continue().Raw(TBytes().Zeros(2));
  const auto noRuns = LoadSst(runs);
  EXPECT_EQ(noRuns->Error, kMsgRichDataContinue);
  EXPECT_EQ(Strings(*noRuns), (std::vector<std::string>{"abc"}));
  TSstBuilder ext;
  ext.Header(3, 0x04, 0, 5).Chars8("abc").Ext(4);
  EXPECT_EQ(LoadSst(ext)->Error, kMsgExtDataContinue);
}

TEST(SstFailure, CharactersContinuedInARecordThatIsNotContinue)
{
  // The SST ends inside the characters and EXTSST follows.
  const auto loadHolder = LoadSst(TSstBuilder().String("ok").Header(6, 0).Chars8("abc"));
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, kMsgNoContinue);
  EXPECT_EQ(Strings(load), (std::vector<std::string>{"ok"}));
}

TEST(SstCount, AUniqueCountAboveTheStringsStoredKeepsThoseAndTheLoadGoesOn)
{
  // Writers count strings they never wrote; every LABELSST still points
  // into the strings there are, and the rest of the workbook follows.
  const auto load = LoadSst(TSstBuilder().Counts(2, 2).String("ok"),
                            [](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 0).Number(1, 0, 0, 7); });
  EXPECT_EQ(load->Error, "");
  EXPECT_EQ(Strings(*load), (std::vector<std::string>{"ok"}));
  EXPECT_EQ(load->Cell(0, 0, 0), Text("ok"));
  EXPECT_EQ(load->Cell(0, 1, 0), TVariant(7.0));
  // An index past the strings stored is one outside the table.
  const auto past = LoadSst(TSstBuilder().Counts(2, 2).String("ok"), [](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 1); });
  EXPECT_EQ(past->Error, PastTheTable(*past, 1, 1));
}

/// A stream that ends with the SST: nothing follows to continue it.
std::unique_ptr<TLoad> LoadSstAtTheEnd(const TSstBuilder& sst)
{
  return std::make_unique<TLoad>(
      InCompoundFile(TBiffBuilder().Bof(evExcel8, TBofType::btGlobals).Sst(sst).Build()));
}

TEST(SstCount, ACountUpToTheLargestIsBoundedByTheStringsAtTheStreamEnd)
{
  for (const std::uint32_t count : {2u, 1000u, 0x7FFFFFFFu}) {
    SCOPED_TRACE(count);
    TSstBuilder sst;
    sst.Counts(count, count).String("one");
    const auto load = LoadSstAtTheEnd(sst);
    EXPECT_EQ(load->Error, "");
    EXPECT_EQ(Strings(*load), (std::vector<std::string>{"one"}));
  }
}

TEST(SstFailure, CharactersRunningPastTheStreamEndTheLoad)
{
  const auto loadHolder = LoadSstAtTheEnd(TSstBuilder().Header(10, 1).Chars16("abc"));
  const TLoad& load = *loadHolder;
  EXPECT_EQ(load.Error, kMsgNoContinue);
}

TEST(SstFailure, ContinueCutShortByTheStreamEndTheLoad)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .Sst(TSstBuilder().Header(10, 0).Chars8("abc"))
      .RecordWithLength(kRecContinue, 8, {0, 'd', 'e'});
  TLoad load(InCompoundFile(b.Build()));
  EXPECT_EQ(load.Error, kMsgNoContinue);
  EXPECT_EQ(load.Records.size(), 3u);
}

// A LABELSST past the table loses its own text and nothing else: the sheet
// is read to its end, and the load then fails naming the record.
TEST(LabelSst, IndexOutsideTheTableLeavesItsCellOutAndTheLoadGoesOnToFailAtItsEnd)
{
  const auto sst = TSstBuilder().String("zero").String("one");
  const auto insideHolder = LoadSst(sst, [](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 1); });
  const TLoad& inside = *insideHolder;
  EXPECT_EQ(inside.Error, "");
  EXPECT_EQ(inside.Cell(0, 0, 0), Text("one"));
  const auto outsideHolder = LoadSst(sst, [](TBiffBuilder& b) {
    b.Number(0, 0, 0, 1).LabelSst(1, 0, 0, 2).LabelSst(2, 0, 0, 7).LabelSst(3, 0, 0, 0).Number(4, 0, 0, 5);
  });
  const TLoad& outside = *outsideHolder;
  // The first of them is named, with the table's size.
  EXPECT_EQ(outside.Error, PastTheTable(outside, 2, 2));
  EXPECT_EQ(outside.Error.substr(outside.Error.find(':')),
            ": LABELSST string index 2 is past the 2 strings of the SST; its cell is left out");
  EXPECT_EQ(outside.Cell(0, 0, 0), TVariant(1.0));
  EXPECT_TRUE(outside.Cell(0, 1, 0).IsNull());
  EXPECT_TRUE(outside.Cell(0, 2, 0).IsNull());
  EXPECT_EQ(outside.Cell(0, 3, 0), Text("zero"));
  EXPECT_EQ(outside.Cell(0, 4, 0), TVariant(5.0));
  const auto hugeHolder = LoadSst(sst, [](TBiffBuilder& b) { b.LabelSst(1, 0, 0, 0xFFFFFFFFu); });
  const TLoad& huge = *hugeHolder;
  EXPECT_EQ(huge.Error, PastTheTable(huge, 4294967295u, 2));
}

TEST(LabelSst, SecondWorkbookInTheSameReaderUsesItsOwnStrings)
{
  const auto first = Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("a0").String("a1")); },
                           [](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 1); });
  const auto second = Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("b0")); },
                            [](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 0); });
  TLoad load(first);
  EXPECT_EQ(load.Cell(0, 0, 0), Text("a1"));
  load.Run(second);
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Strings(load), (std::vector<std::string>{"b0"}));
  EXPECT_EQ(load.Cell(0, 0, 0), Text("b0"));
  // An index valid only in the first workbook is out of range in the second.
  load.Run(Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("c0")); },
                 [](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 1); }));
  EXPECT_EQ(load.Error, PastTheTable(load, 1, 1));
}

TEST(LabelSst, CellTextsOutliveTheTableGrowingAndTheReader)
{
  // A second table in the sheet grows the list after a cell took a text
  // from it; a value copied out of the model outlives the reader.
  TSstBuilder more;
  for (int k = 0; k < 40; ++k)
    more.String("more " + std::to_string(k));
  auto load = std::make_unique<TLoad>(
      Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String(std::string(30, 'g'))); },
            [&](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 0).Sst(more).LabelSst(1, 0, 0, 40); }));
  ASSERT_EQ(load->Error, "");
  EXPECT_EQ(load->Cell(0, 0, 0), TVariant(std::string(30, 'g')));
  EXPECT_EQ(load->Cell(0, 1, 0), Text("more 39"));
  const TVariant kept = load->Cell(0, 0, 0);
  load.reset();
  EXPECT_EQ(kept.AsString(), std::string(30, 'g'));
}

TEST(LabelSst, AHandlerAssignedDuringTheLoadGetsTheLaterCells)
{
  std::vector<TReportedCell> seen;
  auto book = Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("x").String("y")); },
                    [](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 0).Number(1, 0, 0, 2).LabelSst(2, 0, 0, 1); });
  TLoad load(book, [&](TLoad& l) {
    auto listing = l.Reader.OnRecord;
    l.Reader.OnRecord = [&, listing](TCustomSpreadSheetFile& sender, TBIFFRecordHeader header,
                                     std::span<const std::uint8_t> data) {
      listing(sender, header, data);
      if (header.Code == kRecNumber)
        l.Reader.OnCellValue = [&](TCustomSpreadSheetFile&, int sheet, int row, int column, int,
                                   const TVariant& value, TAlignment) {
          seen.push_back(TReportedCell{sheet, row, column, value});
        };
    };
  });
  ASSERT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), Text("x"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Value, TVariant(2.0));
  EXPECT_EQ(seen[1].Value, Text("y"));
  EXPECT_TRUE(load.Cell(0, 2, 0).IsNull());
}

TEST(LabelSst, AnotherReadersModelHandlerStoresIntoThatReadersModel)
{
  // The model's handler, copied from one reader to another, keeps storing
  // where it was made for, as any handler would.
  const auto book = Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("s")); },
                          [](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 0).Number(1, 0, 0, 7); });
  TLoad first(book);
  TLoad second(book, [&](TLoad& l) {
    l.Reader.OnSheet = [](TCustomSpreadSheetFile&, const std::string&, int, bool&) {};
    l.Reader.OnCellValue = first.Reader.OnCellValue;
  });
  ASSERT_EQ(second.Error, "");
  EXPECT_EQ(second.Reader.Sheets().Count(), 0);
  ASSERT_EQ(first.Reader.Sheets().Count(), 1);
  EXPECT_EQ(first.Cell(0, 0, 0), Text("s"));
  EXPECT_EQ(first.Cell(0, 1, 0), TVariant(7.0));
}

}  // namespace
