// The record list: every record of the stream raised once, in order, with
// its own bytes and offset; records too short, too long or cut off are
// listed but not decoded.

#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"

namespace {

using enum TExcelVersion;

constexpr std::uint16_t kExtSst = 0x00FF;
constexpr std::uint16_t kWindow2 = 0x023E;
constexpr std::uint16_t kMergedCells = 0x00E5;

/// A workbook stream that uses every record the reader reads on its own
/// (SST with CONTINUEs, STRING after FORMULA, SHRFMLA/ARRAY/TABLE between
/// them), an embedded chart and empty records.
std::vector<std::uint8_t> BusyStream()
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .CodePage(1200)
      .Format(164, "yyyy-mm-dd")
      .Xf(0)
      .Xf(164)
      .Sst(TSstBuilder().String("first").String("second string", true).SplitAt({12, 21}))
      .Record(kExtSst, TBytes().U16(8).Zeros(8))
      .BoundSheet("Sheet1", 1)
      .Eof()
      .Bof(evExcel8)
      .Dimensions(0, 4, 0, 3)
      .Row(0, 300)
      .Number(0, 0, 1, 40000)
      .LabelSst(0, 1, 0, 1)
      .FormulaSpecial(1, 0, 0, 0)
      .String("plain")
      .FormulaSpecial(2, 0, 0, 0)
      .Record(kRecSharedFormula, TBytes().U16(2).U16(3).U8(0).U8(0).U16(0).U16(0))
      .String("shared")
      .FormulaSpecial(3, 0, 0, 0)
      .Record(kRecArray, TBytes().U16(3).U16(3).U8(0).U8(0).U16(0).U32(0).U16(0))
      .Record(kRecTable, TBytes().U16(3).U16(3).U8(0).U8(0).U16(0).U16(0).U16(0).U16(0))
      .String("array", true)
      .Record(kRecContinue, TBytes().U32(5))  // after a cell: an ordinary record
      .Bof(evExcel8, TBofType::btChart)
      .Number(0, 0, 0, 99)
      .Record(0x1033, {})  // chart BEGIN: empty
      .Record(0x1034, {})
      .Eof()
      .Record(kMergedCells, {})
      .Record(kWindow2, TBytes().U16(0x06B6).U32(0).U32(0).U32(0).U16(0))
      .Eof();
  return b.Build();
}

TEST(RecordList, EveryRecordIsRaisedOnceInStreamOrderWithItsOwnBytes)
{
  const auto stream = BusyStream();
  TLoad load(InCompoundFile(stream));
  ASSERT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  EXPECT_EQ(load.Reader.RecordCount(), load.Records.size());
}

TEST(RecordList, ReadsOnItsOwnStillDecode)
{
  TLoad load(InCompoundFile(BusyStream()));
  EXPECT_EQ(load.Reader.SharedStrings(), (std::vector<TVariant>{"first", "second string"}));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant::Date(40000));
  EXPECT_EQ(load.Cell(0, 0, 1), Text("second string"));
  EXPECT_EQ(load.Cell(0, 1, 0), Text("plain"));
  EXPECT_EQ(load.Cell(0, 2, 0), Text("shared"));
  EXPECT_EQ(load.Cell(0, 3, 0), Text("array"));
}

TEST(RecordList, StreamBufferHoldsTheRecordsBytes)
{
  const auto stream = BusyStream();
  TLoad load(InCompoundFile(stream));
  const TSharedBytes& buffer = load.Reader.StreamBuffer();
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.end()), stream);
}

TEST(RecordList, BareStreamListsEmptyRecordsToo)
{
  const auto stream = TBiffBuilder()
                          .Bof(evExcel4)
                          .Record(0x0055, {})
                          .Number(0, 0, 0, 1)
                          .Record(0x0000, {})
                          .Eof()
                          .Build();
  TLoad load(stream);
  ASSERT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  EXPECT_EQ(load.Codes(), (std::vector<std::uint16_t>{0x0409, 0x0055, kRecNumber, 0x0000, kRecEof}));
}

/// A workbook with globals only: no sheet walk ever stops reading, so the
/// bytes after the last EOF are read as records too.
std::vector<std::uint8_t> GlobalsOnlyWith(std::size_t trailingZeros)
{
  return TBiffBuilder()
      .Bof(evExcel8, TBofType::btGlobals)
      .CodePage(1200)
      .Eof()
      .Raw(TBytes().Zeros(trailingZeros))
      .Build();
}

TEST(RecordList, TrailingZerosOfACompoundStreamAreEmptyRecords)
{
  const auto stream = GlobalsOnlyWith(8);
  TLoad load(InCompoundFile(stream));
  ASSERT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  ASSERT_EQ(load.Records.size(), 5u);
  EXPECT_EQ(load.Records[3], (TListedRecord{0x0000, 0, stream.size() - 8, {}}));
  EXPECT_EQ(load.Records[4], (TListedRecord{0x0000, 0, stream.size() - 4, {}}));
}

TEST(RecordList, FewerThanFourTrailingBytesAreNotARecord)
{
  for (const std::size_t zeros : {1u, 2u, 3u, 7u}) {
    SCOPED_TRACE(zeros);
    TLoad load(InCompoundFile(GlobalsOnlyWith(zeros)));
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(load.Records.size(), 3u + zeros / 4);
  }
}

TEST(RecordList, RecordCutShortByTheEndIsListedWithTheBytesThatExist)
{
  const std::vector<std::uint8_t> partial{1, 0, 0, 0, 0, 0};  // row 1, col 0, xf 0
  auto sheet = [&](TBiffBuilder& b) { b.Number(0, 0, 0, 5).RecordWithLength(kRecNumber, 14, partial); };
  TBiffBuilder inBook;
  inBook.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Sheet1", 1).Eof().Bof(evExcel8);
  sheet(inBook);
  TBiffBuilder bare;
  bare.Bof(evExcel5);
  sheet(bare);
  for (const bool compound : {true, false}) {
    SCOPED_TRACE(compound ? "compound" : "bare");
    const auto stream = compound ? inBook.Build() : bare.Build();
    TLoad load(compound ? InCompoundFile(stream) : stream);
    EXPECT_EQ(load.Error, "");
    ASSERT_FALSE(load.Records.empty());
    EXPECT_EQ(load.Records.back(), (TListedRecord{kRecNumber, 14, stream.size() - 10, partial}));
    EXPECT_EQ(load.Cell(0, 0, 0), TVariant(5.0));
    EXPECT_EQ(load.Cell(0, 1, 0), TVariant::Null());
  }
}

/// A LABEL of exactly `length` data bytes holding 8-bit 'a's (BIFF8: with
/// an option byte).
std::vector<std::uint8_t> LongLabel(TExcelVersion version, std::uint16_t row, std::size_t length)
{
  const std::size_t header = version >= evExcel8 ? 9 : 8;
  TBytes data;
  data.U16(row).U16(0).U16(0).U16(static_cast<std::uint16_t>(length - header));
  if (version >= evExcel8)
    data.U8(0);
  data.Ascii(std::string(length - header, 'a'));
  return data;
}

struct TLimitCase {
  const char* Name;
  TExcelVersion Version;
  bool Compound;
  std::size_t Limit;
};

TEST(RecordLimit, RecordAtTheLimitIsDecodedOneByteLongerIsOnlyListed)
{
  for (const TLimitCase c : {TLimitCase{"BIFF8 compound", evExcel8, true, 8224},
                             TLimitCase{"BIFF5 compound", evExcel5, true, 2080},
                             TLimitCase{"BIFF5 bare", evExcel5, false, 2080},
                             TLimitCase{"BIFF4 bare", evExcel4, false, 2080},
                             TLimitCase{"BIFF8 bare", evExcel8, false, 8224}}) {
    SCOPED_TRACE(c.Name);
    auto sheet = [&](TBiffBuilder& b) {
      b.Record(kRecLabel, LongLabel(c.Version, 0, c.Limit))
          .Record(kRecLabel, LongLabel(c.Version, 1, c.Limit + 1))
          .Number(2, 0, 0, 3);
    };
    const auto stream = c.Compound ? OneSheetStream(c.Version, {}, sheet) : BareStream(c.Version, sheet);
    TLoad load(c.Compound ? InCompoundFile(stream, c.Version >= evExcel8 ? "Workbook" : "Book") : stream);
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(load.Records, SplitRecords(stream));
    const std::size_t chars = c.Limit - (c.Version >= evExcel8 ? 9 : 8);
    EXPECT_EQ(load.Cell(0, 0, 0), TVariant(std::string(chars, 'a')));
    EXPECT_EQ(load.Cell(0, 1, 0), TVariant::Null());
    // The next header is read right after the skipped data.
    EXPECT_EQ(load.Cell(0, 2, 0), TVariant(3.0));
  }
}

TEST(RecordLimit, Biff8AcceptsRecordsOverTheEarlierLimit)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.Record(kRecLabel, LongLabel(evExcel8, 0, 2081)); }));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(std::string(2081 - 9, 'a')));
}

TEST(RecordLimit, SstOverTheLimitIsListedButNotDecoded)
{
  TSstBuilder sst;
  sst.String(std::string(8224 - 8 - 3 + 1, 'x'));
  const auto stream = OneSheetStream(evExcel8, [&](TBiffBuilder& b) { b.Sst(sst); }, {});
  TLoad load(InCompoundFile(stream));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  EXPECT_TRUE(load.Reader.SharedStrings().empty());
}

/// The data of the one record a builder step writes.
std::vector<std::uint8_t> DataOf(TExcelVersion version, const TBuildStep& step)
{
  TBiffBuilder b;
  b.Bof(version);
  step(b);
  return SplitRecords(b.Build()).back().Data;
}

TEST(ShortRecord, CellRecordTooShortForItsFieldsGivesNoCell)
{
  struct TCase {
    const char* Name;
    std::uint16_t Code;
    std::size_t Needed;  // bytes the decoder reads
    TBuildStep Full;
  };
  const TCase cases[] = {
      {"NUMBER", kRecNumber, 14, [](TBiffBuilder& b) { b.Number(1, 0, 0, 2.5); }},
      {"RK", kRecRk3, 10, [](TBiffBuilder& b) { b.Rk(1, 0, 0, 6); }},
      {"LABELSST", kRecLabelSst, 10, [](TBiffBuilder& b) { b.LabelSst(1, 0, 0, 0); }},
      {"BOOLERR", kRecBoolErr, 8, [](TBiffBuilder& b) { b.BoolErr(1, 0, 0, 1, false); }},
      {"LABEL", kRecLabel, 8, [](TBiffBuilder& b) { b.Label(1, 0, 0, ""); }},
      {"FORMULA", kRecFormula, 14, [](TBiffBuilder& b) { b.FormulaNumber(1, 0, 0, 2.5); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto full = DataOf(evExcel8, c.Full);
    const std::size_t needed = c.Needed;
    const std::vector<std::uint8_t> shortData(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(needed - 1));
    const std::vector<std::uint8_t> exactData(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(needed));
    auto book = [&](const std::vector<std::uint8_t>& data) {
      return Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("s")); },
                   [&](TBiffBuilder& b) { b.Number(0, 0, 0, 1).Record(c.Code, data); });
    };
    TLoad shortLoad(book(shortData));
    EXPECT_EQ(shortLoad.Error, "");
    EXPECT_EQ(shortLoad.Records.size(), 8u);
    EXPECT_EQ(shortLoad.Cell(0, 1, 0), TVariant::Null());
    TLoad exactLoad(book(exactData));
    EXPECT_EQ(exactLoad.Error, "");
    EXPECT_NE(exactLoad.Cell(0, 1, 0), TVariant::Null());
  }
}

TEST(ShortRecord, MulRkAndMulBlankOfSixBytesOrLessReportNothing)
{
  for (const std::uint16_t code : {kRecMulRk, kRecMulBlank}) {
    for (std::size_t length = 0; length <= 6; ++length) {
      SCOPED_TRACE(length);
      TLoad load(Book8({}, [&](TBiffBuilder& b) {
        b.Record(code, std::vector<std::uint8_t>(length, 0));
      }), [](TLoad& l) { l.RecordCells(); });
      EXPECT_EQ(load.Error, "");
      EXPECT_TRUE(load.Cells.empty());
    }
  }
}

TEST(ShortRecord, SheetRecordsTooShortRaiseNoEvents)
{
  int events = 0;
  TLoad load(Book8([](TBiffBuilder& b) { b.Record(kRecXf5, TBytes().U16(0).U8(14)); },
                   [](TBiffBuilder& b) {
                     b.Record(kRecRow, TBytes().U16(1).U16(0).U16(1).U8(0))
                         .Record(kRecDimensions, TBytes().U32(0).U32(5).U16(0))
                         .Record(kRecColInfo, TBytes().U16(0).U16(1).U8(0));
                   }),
             [&](TLoad& l) {
               l.Reader.OnRowHeight = [&](TCustomSpreadSheetFile&, int, int, int) { ++events; };
               l.Reader.OnDimensions = [&](TCustomSpreadSheetFile&, int, int, int, int, int) { ++events; };
               l.Reader.OnColumnWidth = [&](TCustomSpreadSheetFile&, int, int, int) { ++events; };
             });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(events, 0);
  EXPECT_TRUE(load.Reader.XFList().empty());
}

TEST(ShortRecord, BoundSheetTooShortAddsNoName)
{
  TLoad load(TBiffBuilder()
                 .Bof(evExcel8, TBofType::btGlobals)
                 .Record(kRecBoundSheet, TBytes().U32(0).U16(0))
                 .Eof()
                 .Build());
  EXPECT_EQ(load.Error, "");
  EXPECT_TRUE(load.Reader.SheetNames().empty());
}

TEST(LoadProgress, ReportsEveryRecordUpToTheStreamSize)
{
  const auto stream = BusyStream();
  std::vector<std::int64_t> positions;
  TLoad load(InCompoundFile(stream), [&](TLoad& l) {
    l.Reader.OnLoadProgress = [&](TCustomSpreadSheetFile&, std::int64_t position, std::int64_t total) {
      EXPECT_EQ(total, static_cast<std::int64_t>(stream.size()));
      positions.push_back(position);
    };
  });
  ASSERT_FALSE(positions.empty());
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_EQ(positions.back(), static_cast<std::int64_t>(stream.size()));
}

}  // namespace

namespace {

TEST(RecordEvent, IsRaisedBeforeTheRecordIsDecoded)
{
  // At its own OnRecord a cell is not in the model yet, nor the SST's
  // strings in the table; by the next record both are.
  std::vector<std::string> seen;
  TLoad* self = nullptr;
  TLoad load(Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("s").SplitAt({11})); },
                   [](TBiffBuilder& b) { b.Number(0, 0, 0, 1).Number(0, 1, 0, 2); }),
             [&](TLoad& l) {
               self = &l;
               l.Reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header, std::span<const std::uint8_t>) {
                 std::string state = std::to_string(header.Code) + ":" +
                                     std::to_string(self->Reader.SharedStrings().size());
                 if (self->Reader.Sheets().Count() > 0)
                   state += ":" + std::to_string(self->Reader.Sheets().Items(0).Cells.Count());
                 seen.push_back(state);
               };
             });
  ASSERT_EQ(load.Error, "");
  const std::string sst = std::to_string(kRecSst);
  const std::string cont = std::to_string(kRecContinue);
  const std::string number = std::to_string(kRecNumber);
  ASSERT_EQ(seen.size(), 9u);
  EXPECT_EQ(seen[1], sst + ":0");   // SST raised before its strings are decoded
  EXPECT_EQ(seen[2], cont + ":0");  // the CONTINUE it reads, still before
  EXPECT_EQ(seen[6], number + ":1:0");
  EXPECT_EQ(seen[7], number + ":1:1");
}

TEST(RecordEvent, HandlerExceptionEndsTheLoadUnchanged)
{
  int raised = 0;
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.Number(0, 0, 0, 1).Number(0, 1, 0, 2); }), [&](TLoad& l) {
    l.Reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header, std::span<const std::uint8_t>) {
      ++raised;
      if (header.Code == kRecNumber && raised == 6)
        throw EBiffLensError("handler stop");
    };
  });
  EXPECT_EQ(load.Error, "handler stop");
  EXPECT_EQ(raised, 6);
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant::Null());
}

TEST(RecordEvent, RecordHeaderHoldsTheRecordBeingReported)
{
  std::vector<std::pair<std::uint16_t, std::uint16_t>> mismatches;
  TLoad* self = nullptr;
  TLoad load(InCompoundFile(BusyStream()), [&](TLoad& l) {
    self = &l;
    l.Reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header, std::span<const std::uint8_t> data) {
      if (self->Reader.RecordHeader.Code != header.Code || self->Reader.RecordHeader.Length != header.Length ||
          data.size() != header.Length)
        mismatches.emplace_back(header.Code, header.Length);
    };
  });
  EXPECT_EQ(load.Error, "");
  EXPECT_TRUE(mismatches.empty());
}

}  // namespace
