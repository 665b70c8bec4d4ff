// The sheet walk of a compound file: captions by BOF offset, Skip, where
// reading stops, chart substreams, FILEPASS, and repeated loads.

#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"

#include <algorithm>
#include <sstream>
#include <tuple>

namespace {

using enum TExcelVersion;

constexpr std::uint8_t kChartSheet = 0x02;

struct TSheetCall {
  std::string Caption;
  int Index = 0;
  bool operator==(const TSheetCall&) const = default;
};

void PrintTo(const TSheetCall& c, std::ostream* os)
{
  *os << "{\"" << c.Caption << "\", " << c.Index << "}";
}

/// Records OnSheet calls and cells; skips the sheets named in `skip`.
void WatchSheets(TLoad& load, std::vector<TSheetCall>& calls, std::vector<std::string> skip = {})
{
  load.RecordCells();
  load.Reader.OnSheet = [&calls, skip](TCustomSpreadSheetFile&, const std::string& caption, int index,
                                       bool& skipIt) {
    calls.push_back({caption, index});
    skipIt = std::find(skip.begin(), skip.end(), caption) != skip.end();
  };
}

/// Globals naming worksheets A, B and C, each holding one cell whose value
/// is its sheet's number (1, 2, 3) at row 0, column 0.
std::vector<std::uint8_t> ThreeSheets()
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("A", 1).BoundSheet("B", 2).BoundSheet("C", 3).Eof();
  for (int sheet = 1; sheet <= 3; ++sheet)
    b.Bof(evExcel8).Number(0, 0, 0, sheet).Eof();
  return b.Build();
}

TEST(SheetWalk, CaptionsComeFromTheEntryPointingAtTheBof)
{
  // A chart sheet before the worksheet, and BOUNDSHEET order unlike the
  // stream order.
  const auto stream = TBiffBuilder()
                          .Bof(evExcel8, TBofType::btGlobals)
                          .BoundSheet("Second", 3)
                          .BoundSheet("Chart1", 1, false, kChartSheet)
                          .BoundSheet("First", 2)
                          .Eof()
                          .Bof(evExcel8, TBofType::btChart)
                          .Number(0, 0, 0, 99)
                          .Eof()
                          .Bof(evExcel8)
                          .Number(0, 0, 0, 1)
                          .Eof()
                          .Bof(evExcel8)
                          .Number(0, 0, 0, 2)
                          .Eof()
                          .Build();
  TLoad load(InCompoundFile(stream));
  EXPECT_EQ(load.Error, "");
  ASSERT_EQ(load.Reader.Sheets().Count(), 2);
  EXPECT_EQ(load.Reader.Sheets().Items(0).Caption, "First");
  EXPECT_EQ(load.Reader.Sheets().Items(1).Caption, "Second");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
  EXPECT_EQ(load.Cell(1, 0, 0), TVariant(2.0));
}

TEST(SheetWalk, WithoutAMatchingOffsetCaptionsGoByPosition)
{
  const auto stream = TBiffBuilder()
                          .Bof(evExcel8, TBofType::btGlobals)
                          .BoundSheetAt("A", 9999)
                          .BoundSheetAt("B", 9998)
                          .Eof()
                          .Bof(evExcel8)
                          .Eof()
                          .Bof(evExcel8)
                          .Eof()
                          .Build();
  std::vector<TSheetCall> calls;
  TLoad load(InCompoundFile(stream), [&](TLoad& l) { WatchSheets(l, calls); });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(calls, (std::vector<TSheetCall>{{"A", 0}, {"B", 1}}));
}

// A worksheet BOF past the BOUNDSHEET records (a damaged globals part may
// have lost them all) opens a sheet all the same; the load reads it and
// fails at its end, naming the record.
TEST(SheetWalk, AWorksheetPastTheNameListIsReadUnderAMadeUpNameAndTheLoadSaysWhich)
{
  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Stream;
    std::vector<TSheetCall> Calls;
    int Index;    // of the unlisted worksheet
    int Listed;   // BOUNDSHEET records
  };
  const TCase cases[] = {
      {"one BOUNDSHEET, two worksheets",
       TBiffBuilder()
           .Bof(evExcel8, TBofType::btGlobals)
           .BoundSheetAt("A", 9999)
           .Eof()
           .Bof(evExcel8)
           .Number(0, 0, 0, 1)
           .Bof(evExcel8)
           .Number(0, 0, 0, 2)
           .Build(),
       {{"A", 0}, {"Sheet2", 1}},
       1,
       1},
      {"no globals at all",
       TBiffBuilder().Record(0x0293, {0x13, 0x80, 0x07, 0xFF}).Bof(evExcel8).Number(0, 0, 0, 2).Eof().Build(),
       {{"Sheet1", 0}},
       0,
       0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<TSheetCall> calls;
    TLoad load(InCompoundFile(c.Stream), [&](TLoad& l) { WatchSheets(l, calls); });
    EXPECT_EQ(calls, c.Calls);
    EXPECT_NE(std::find(load.Cells.begin(), load.Cells.end(), TReportedCell{c.Index, 0, 0, TVariant(2.0)}),
              load.Cells.end());
    // The unlisted worksheet's BOF: the last BOF listed.
    std::size_t bof = 0;
    for (std::size_t i = 0; i < load.Records.size(); ++i)
      if (load.Records[i].Code == kRecBof)
        bof = i;
    EXPECT_EQ(load.Error, "Record " + std::to_string(bof + 1) + " at offset " +
                              std::to_string(load.Records[bof].Offset) + " opens the worksheet of index " +
                              std::to_string(c.Index) + ", past the workbook's " + std::to_string(c.Listed) +
                              " BOUNDSHEET records; it is read as Sheet" + std::to_string(c.Index + 1));
  }
}

TEST(SheetWalk, SkipMovesToTheNextSheet)
{
  const auto stream = ThreeSheets();
  std::vector<TSheetCall> calls;
  TLoad load(InCompoundFile(stream), [&](TLoad& l) { WatchSheets(l, calls, {"A"}); });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(calls, (std::vector<TSheetCall>{{"A", 0}, {"B", 1}, {"C", 2}}));
  EXPECT_EQ(load.Cells, (std::vector<TReportedCell>{{1, 0, 0, TVariant(2.0)}, {2, 0, 0, TVariant(3.0)}}));
  // A's NUMBER and EOF are not read.
  const auto all = SplitRecords(stream);
  ASSERT_EQ(load.Records.size(), all.size() - 2);
  EXPECT_EQ(load.Records[7].Offset, all[9].Offset);
}

TEST(SheetWalk, SkipMovesToTheEntryAfterTheMatchedOne)
{
  // BOUNDSHEET order C, A, B: skipping A (entry 1) goes on with B (entry 2),
  // wherever A stands in the stream.
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("C", 3).BoundSheet("A", 1).BoundSheet("B", 2).Eof();
  for (int sheet = 1; sheet <= 3; ++sheet)
    b.Bof(evExcel8).Number(0, 0, 0, sheet).Eof();
  std::vector<TSheetCall> calls;
  TLoad load(InCompoundFile(b.Build()), [&](TLoad& l) { WatchSheets(l, calls, {"A"}); });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(calls, (std::vector<TSheetCall>{{"A", 0}, {"B", 1}, {"C", 2}}));
}

TEST(SheetWalk, SkipToAChartSheetReadsOnToTheNextWorksheet)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .BoundSheet("A", 1)
      .BoundSheet("Ch", 2, false, kChartSheet)
      .BoundSheet("B", 3)
      .Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 1).Eof();
  b.Bof(evExcel8, TBofType::btChart).Number(0, 0, 0, 99).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 2).Eof();
  std::vector<TSheetCall> calls;
  TLoad load(InCompoundFile(b.Build()), [&](TLoad& l) { WatchSheets(l, calls, {"A"}); });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(calls, (std::vector<TSheetCall>{{"A", 0}, {"B", 1}}));
  EXPECT_EQ(load.Cells, (std::vector<TReportedCell>{{1, 0, 0, TVariant(2.0)}}));
}

TEST(SheetWalk, SkippingTheLastSheetEndsTheLoadAtOnce)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("A", 1).BoundSheet("B", 2).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 1).Eof();
  b.Bof(evExcel8).FilePass().Number(0, 0, 0, 2).Eof();
  const auto stream = b.Build();
  std::vector<TSheetCall> calls;
  TLoad load(InCompoundFile(stream), [&](TLoad& l) { WatchSheets(l, calls, {"B"}); });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cells, (std::vector<TReportedCell>{{0, 0, 0, TVariant(1.0)}}));
  ASSERT_FALSE(load.Records.empty());
  EXPECT_EQ(load.Records.back().Offset, b.BofOffset(2));
}

TEST(SheetWalk, SkipTowardsAnEarlierSheetStopsInsteadOfLooping)
{
  // Entries X -> second BOF, Y -> first BOF: skipping X would go back to Y.
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("X", 2).BoundSheet("Y", 1).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 1).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 2).Eof();
  std::vector<TSheetCall> calls;
  TLoad load(InCompoundFile(b.Build()), [&](TLoad& l) { WatchSheets(l, calls, {"X"}); });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(calls, (std::vector<TSheetCall>{{"Y", 0}, {"X", 1}}));
  EXPECT_EQ(load.Cells, (std::vector<TReportedCell>{{0, 0, 0, TVariant(1.0)}}));
}

TEST(SheetWalk, EofOfTheLastWorksheetStopsReading)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("A", 1).BoundSheet("B", 2).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 1).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 2).Eof();
  const std::size_t end = b.Offset();
  b.FilePass().Number(1, 0, 0, 3).Raw(TBytes().Zeros(16));
  TLoad load(InCompoundFile(b.Build()));
  EXPECT_EQ(load.Error, "");
  ASSERT_FALSE(load.Records.empty());
  EXPECT_EQ(load.Records.back().Offset, end - 4);
  EXPECT_EQ(load.Cell(1, 0, 0), TVariant(2.0));
  EXPECT_EQ(load.Cell(1, 1, 0), TVariant::Null());
}

TEST(SheetWalk, EofOfAnEarlierSheetDoesNotStop)
{
  std::vector<TSheetCall> calls;
  TLoad load(InCompoundFile(ThreeSheets()), [&](TLoad& l) { WatchSheets(l, calls); });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(calls.size(), 3u);
  EXPECT_EQ(load.Cells.size(), 3u);
}

TEST(SheetWalk, BareStreamHasNoSheetWalk)
{
  const auto stream = TBiffBuilder()
                          .Bof(evExcel5)
                          .Number(0, 0, 0, 1)
                          .Eof()
                          .Bof(evExcel5)
                          .Number(1, 0, 0, 2)
                          .Eof()
                          .Build();
  std::vector<TSheetCall> calls;
  TLoad load(stream, [&](TLoad& l) { WatchSheets(l, calls); });
  EXPECT_EQ(load.Error, "");
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(load.Reader.SheetIndex, -1);
  EXPECT_EQ(load.Cells, (std::vector<TReportedCell>{{-1, 0, 0, TVariant(1.0)}, {-1, 1, 0, TVariant(2.0)}}));
}

TEST(ChartSubstream, EmbeddedChartCachesAreNotCellsAndItsEofDoesNotStop)
{
  const auto stream = OneSheetStream(evExcel8, {}, [](TBiffBuilder& b) {
    b.Number(0, 0, 0, 1)
        .Bof(evExcel8, TBofType::btChart)
        .Number(0, 0, 0, 99)
        .Label(0, 1, 0, "series")
        .Rk(3, 3, 0, 6)
        .FormulaSpecial(4, 4, 0, 0)
        .String("cached")
        .Eof()
        .Number(1, 0, 0, 2);
  });
  TLoad load(InCompoundFile(stream));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant(2.0));
  EXPECT_EQ(load.Reader.Sheets().Items(0).Cells.Count(), 2u);
  EXPECT_EQ(load.Reader.Sheets().Items(0).Cells.Row(0).Cols.Count(), 1u);
}

TEST(ChartSubstream, ChartRecordsWhoseCodeEndsInNineAreNotBofRecords)
{
  // MARKERFORMAT (0x1009) shares its low byte with BOF. Its colour bytes
  // read as a BOF's version and type: a blue of 0x20 ("chart") or 0x10
  // ("worksheet") must not open a substream or a sheet.
  for (const std::uint8_t blue : {std::uint8_t{0x10}, std::uint8_t{0x20}}) {
    SCOPED_TRACE(static_cast<int>(blue));
    const auto marker = TBytes().U8(0).U8(0).U8(blue).U8(0).U32(0).U16(1).U16(0).U16(8).U16(9).U32(100);
    const auto stream = OneSheetStream(evExcel8, {}, [&](TBiffBuilder& b) {
      b.Number(0, 0, 0, 1)
          .Bof(evExcel8, TBofType::btChart)
          .Record(0x1009, marker)
          .Number(0, 0, 0, 99)
          .Eof()
          .Number(1, 0, 0, 2);
    });
    TLoad load(InCompoundFile(stream));
    EXPECT_EQ(load.Error, "");
    ASSERT_EQ(load.Reader.Sheets().Count(), 1);
    EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
    EXPECT_EQ(load.Cell(0, 1, 0), TVariant(2.0));
  }
}

TEST(ChartSubstream, ChartSheetAfterAWorksheetGivesNoCellsOrSheet)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Data", 1).BoundSheet("Chart1", 3, false, kChartSheet).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 1);
  b.Bof(evExcel8, TBofType::btChart).Number(0, 0, 0, 98).Eof();  // embedded
  b.Eof();
  b.Bof(evExcel8, TBofType::btChart).Number(0, 0, 0, 99).Number(5, 5, 0, 42).Eof();
  const auto stream = b.Build();
  TLoad load(InCompoundFile(stream));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  ASSERT_EQ(load.Reader.Sheets().Count(), 1);
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
  EXPECT_EQ(load.Cell(0, 5, 5), TVariant::Null());
}

TEST(ChartSubstream, WorksheetAfterAChartSheetIsReadAgain)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Chart1", 1, false, kChartSheet).BoundSheet("Data", 2).Eof();
  b.Bof(evExcel8, TBofType::btChart).Number(0, 0, 0, 99).Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 1).Eof();
  TLoad load(InCompoundFile(b.Build()));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
}

TEST(ChartSubstream, ChartSheetBeforeTheWorksheetAddsNoSheet)
{
  // A chart's series data opens with a DIMENSIONS record of its own.
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Chart1", 1, false, kChartSheet).BoundSheet("Data", 2).Eof();
  b.Bof(evExcel8, TBofType::btChart).Dimensions(0, 3, 0, 2).Number(0, 0, 0, 99).Eof();
  b.Bof(evExcel8).Dimensions(0, 1, 0, 1).Number(0, 0, 0, 1).Eof();
  TLoad load(InCompoundFile(b.Build()));
  EXPECT_EQ(load.Error, "");
  ASSERT_EQ(load.Reader.Sheets().Count(), 1);
  EXPECT_EQ(load.Reader.Sheets().Items(0).Caption, "Data");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
}

TEST(ChartSubstream, EmbeddedChartDimensionsAreNotTheSheets)
{
  std::vector<std::tuple<int, int, int>> reports;
  const auto book = Book8({}, [](TBiffBuilder& b) {
    b.Dimensions(0, 7, 0, 4)
        .Number(6, 3, 0, 1)
        .Bof(evExcel8, TBofType::btChart)
        .Dimensions(0, 50, 0, 9)
        .Number(0, 0, 0, 99)
        .Eof();
  });
  TLoad load(book, [&](TLoad& l) {
    l.Reader.OnDimensions = [&](TCustomSpreadSheetFile&, int sheet, int, int lastRow, int, int lastColumn) {
      reports.emplace_back(sheet, lastRow, lastColumn);
    };
  });
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(reports, (std::vector<std::tuple<int, int, int>>{{0, 7, 4}}));
}

TEST(FilePass, PasswordProtectedWorkbookIsRefused)
{
  TLoad inGlobals(Book8([](TBiffBuilder& b) { b.FilePass(); }, [](TBiffBuilder& b) { b.Number(0, 0, 0, 1); }));
  EXPECT_EQ(inGlobals.Error, kMsgPasswordProtected);
  EXPECT_EQ(inGlobals.Reader.Sheets().Count(), 0);
  TLoad bare(BareStream(evExcel5, [](TBiffBuilder& b) { b.FilePass().Number(0, 0, 0, 1); }));
  EXPECT_EQ(bare.Error, kMsgPasswordProtected);
}

TEST(FilePass, CellsBeforeItStayInTheModelAndTheRecordsAfterItAreListedOnly)
{
  TLoad load(Book8({}, [](TBiffBuilder& b) { b.Number(0, 0, 0, 1).FilePass().Number(1, 0, 0, 2); }));
  EXPECT_EQ(load.Error, kMsgPasswordProtected);
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant::Null());
  const std::vector<std::uint16_t> codes = load.Codes();
  ASSERT_GE(codes.size(), 3u);
  EXPECT_EQ(std::vector<std::uint16_t>(codes.end() - 3, codes.end()),
            (std::vector<std::uint16_t>{kRecFilePass, kRecNumber, kRecEof}));
}

/// Every stored cell of the model, sheet by sheet, with the captions.
std::vector<std::string> ModelDump(const TMSExcel& reader)
{
  std::vector<std::string> lines;
  for (int s = 0; s < reader.Sheets().Count(); ++s) {
    const TSpreadSheet& sheet = reader.Sheets().Items(s);
    lines.push_back("sheet " + sheet.Caption);
    for (int r = 0; r < static_cast<int>(sheet.Cells.Count()); ++r)
      for (int c = 0; c < static_cast<int>(sheet.Cells.Row(r).Cols.Count()); ++c) {
        const TZymCell* cell = sheet.Cells.FindCell(c, r);
        if (!cell)
          continue;
        std::ostringstream text;
        PrintTo(cell->Value, &text);
        lines.push_back(std::to_string(r) + "," + std::to_string(c) + " " + text.str());
      }
  }
  return lines;
}

TEST(RepeatedLoad, SameWorkbookTwiceGivesTheSameRecordsAndModel)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .Format(164, "yyyy")
      .Xf(0)
      .Xf(164)
      .Sst(TSstBuilder().String("one").String("two").SplitAt({12}))
      .BoundSheet("A", 1)
      .BoundSheet("B", 2)
      .Eof();
  b.Bof(evExcel8).LabelSst(0, 0, 0, 1).Number(1, 1, 1, 2000).ColInfo(0, 0, 2560).Eof();
  b.Bof(evExcel8).LabelSst(2, 0, 0, 0).FormulaSpecial(0, 0, 0, 0).String("f").Eof();
  const auto file = InCompoundFile(b.Build());
  TLoad load(file);
  ASSERT_EQ(load.Error, "");
  const auto firstRecords = load.Records;
  const auto firstModel = ModelDump(load.Reader);
  ASSERT_EQ(firstModel.size(), 6u);
  load.Run(file);
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, firstRecords);
  EXPECT_EQ(load.Reader.RecordCount(), firstRecords.size());
  EXPECT_EQ(ModelDump(load.Reader), firstModel);
  EXPECT_EQ(load.Reader.SheetNames().size(), 2u);
  EXPECT_EQ(load.Reader.XFList().size(), 2u);
}

TEST(RepeatedLoad, FailedLoadLeavesNothingForTheNext)
{
  TLoad load(Book8([](TBiffBuilder& b) { b.DateMode(1).CodePage(1251).Xf(14); },
                   [](TBiffBuilder& b) { b.Number(0, 0, 0, 1).FilePass(); }));
  EXPECT_EQ(load.Error, kMsgPasswordProtected);
  load.Run(Book5({}, [](TBiffBuilder& b) { b.Number(0, 0, 0, 100).Label(0, 1, 0, "\xC0"); }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(100.0));  // XF 0 of the first book is gone
  EXPECT_EQ(load.Cell(0, 0, 1), Text("\xC3\x80"));  // Windows-1252 again
  EXPECT_FALSE(load.Reader.Date1904());
}

}  // namespace
