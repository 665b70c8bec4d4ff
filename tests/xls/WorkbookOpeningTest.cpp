// Choosing the workbook stream of a compound file, telling a bare stream
// apart, and the version each source gives.

#include "XlsTestSupport.h"

#include "model/ModelMessages.h"
#include "platform/CompoundFile.h"
#include "support/CompoundFileBuilder.h"
#include "xls/XlsMessages.h"

#include <gmock/gmock.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

using enum TExcelVersion;







/// A BIFF8 workbook stream whose one cell holds `marker`, so a test can tell
/// which of several streams was read.
std::vector<std::uint8_t> MarkedStream(double marker)
{
  return OneSheetStream(evExcel8, {}, [&](TBiffBuilder& b) { b.Number(0, 0, 0, marker); });
}

TEST(WorkbookStream, WorkbookIsReadAsBiff8)
{
  TLoad load(TCompoundFileBuilder().AddStream("Workbook", MarkedStream(1)).Build());
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Reader.Version, evExcel8);
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(1.0));
}

TEST(WorkbookStream, BookIsReadAsExcel7WithEightBitText)
{
  const auto stream = OneSheetStream(evExcel5, {}, [](TBiffBuilder& b) { b.Label(0, 0, 0, "abc"); });
  TLoad load(TCompoundFileBuilder().AddStream("Book", stream).Build());
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Reader.Version, evExcel7);
  EXPECT_EQ(load.Cell(0, 0, 0), Text("abc"));
}

TEST(WorkbookStream, NameCaseDecidesTheVersionButNotTheChoice)
{
  for (const char* name : {"BOOK", "book", "WORKBOOK", "workBook"}) {
    SCOPED_TRACE(name);
    TLoad load(TCompoundFileBuilder().AddStream(name, MarkedStream(3)).Build());
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(load.Reader.Version, evExcel8);
    EXPECT_EQ(load.Cell(0, 0, 0), TVariant(3.0));
  }
}

TEST(WorkbookStream, WorkbookWinsOverBookWhicheverComesFirst)
{
  const auto book = MarkedStream(1);
  const auto workbook = MarkedStream(2);
  TLoad bookFirst(
      TCompoundFileBuilder().AddStream("Book", book).AddStream("Workbook", workbook).Build());
  TLoad workbookFirst(
      TCompoundFileBuilder().AddStream("Workbook", workbook).AddStream("Book", book).Build());
  for (const TLoad* load : {&bookFirst, &workbookFirst}) {
    EXPECT_EQ(load->Error, "");
    EXPECT_EQ(load->Reader.Version, evExcel8);
    EXPECT_EQ(load->Cell(0, 0, 0), TVariant(2.0));
  }
}

TEST(WorkbookStream, OtherStreamsAreIgnored)
{
  TLoad load(TCompoundFileBuilder()
                 .AddStream("\x05SummaryInformation", TBytes().Zeros(64))
                 .AddStream("Workbook", MarkedStream(4))
                 .AddStream("Ctls", TBytes().Zeros(8))
                 .Build());
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(4.0));
}

TEST(WorkbookStream, CompoundFileWithoutWorkbookOrBookFails)
{
  TLoad load(TCompoundFileBuilder().AddStream("Workbooks", MarkedStream(1)).AddStream("Bok", {1}).Build());
  EXPECT_EQ(load.Error, kMsgNotValidWorkbook);
  EXPECT_TRUE(load.Records.empty());
}

TEST(WorkbookStream, WorkbookStreamOverFourKilobytesIsReadFromRegularSectors)
{
  const auto stream = OneSheetStream(evExcel8, {}, [](TBiffBuilder& b) {
    for (std::uint16_t row = 0; row < 400; ++row)
      b.Number(row, 0, 0, row * 0.5);
  });
  ASSERT_GT(stream.size(), 4096u);
  TLoad load(TCompoundFileBuilder().Version(4).AddStream("Workbook", stream).Build());
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Records, SplitRecords(stream));
  EXPECT_EQ(load.Cell(0, 399, 0), TVariant(199.5));
}

TEST(WorkbookVersion, Excel9MarkerRaisesTheVersion)
{
  TLoad load(Book8([](TBiffBuilder& b) { b.Excel9(); }, {}));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Reader.Version, evExcel9);
}

TEST(WorkbookVersion, Excel9IsReadAsBiff8)
{
  TLoad load(Book8([](TBiffBuilder& b) { b.Excel9(); },
                   [](TBiffBuilder& b) { b.Label(0, 0, 0, "\xCE\xA9", true); }));
  EXPECT_EQ(load.Cell(0, 0, 0), Text("\xCE\xA9"));
}

TEST(WorkbookVersion, BareStreamTakesItsVersionFromTheBofCode)
{
  struct TCase {
    TExcelVersion Built;
    TExcelVersion Read;
  };
  for (const TCase c : {TCase{evExcel2, evExcel2}, TCase{evExcel3, evExcel3}, TCase{evExcel4, evExcel4},
                        TCase{evExcel5, evExcel5}, TCase{evExcel8, evExcel8}}) {
    SCOPED_TRACE(ExcelVersionName(c.Built));
    TLoad load(BareStream(c.Built, {}));
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(load.Reader.Version, c.Read);
  }
}

TEST(WorkbookVersion, BareBiff8StreamReadsUtf16Text)
{
  TLoad load(BareStream(evExcel8, [](TBiffBuilder& b) { b.Label(0, 0, 0, "\xD0\x94\xC3\xA9", true); }));
  EXPECT_EQ(load.Reader.Version, evExcel8);
  EXPECT_EQ(load.Cell(0, 0, 0), Text("\xD0\x94\xC3\xA9"));
}

TEST(WorkbookVersion, BofWithUnknownHighByteIsNotAnExcelFile)
{
  for (const std::uint16_t code : {0x0109, 0x0609, 0x3309, 0xFF09}) {
    SCOPED_TRACE(code);
    const auto stream = TBiffBuilder()
                            .Bof(evExcel5)
                            .Number(0, 0, 0, 7)
                            .Record(code, TBytes().U16(0x0500).U16(0x0010))
                            .Number(1, 0, 0, 8)
                            .Build();
    TLoad load(stream);
    EXPECT_EQ(load.Error, kMsgNotExcelFile);
    // The bad BOF is listed; what came before it stays decoded.
    EXPECT_EQ(load.Records.size(), 3u);
    EXPECT_EQ(load.Cell(0, 0, 0), TVariant(7.0));
    EXPECT_EQ(load.Cell(0, 1, 0), TVariant::Null());
  }
}

TEST(WorkbookVersion, AChartsMarkerFormatInABareStreamIsAnOrdinaryRecord)
{
  // MARKERFORMAT (0x1009) shares BOF's low byte: taken for a BOF of an
  // unknown version, it failed a bare BIFF8 stream with a chart.
  const auto stream = TBiffBuilder()
                          .Bof(evExcel8)
                          .Number(0, 0, 0, 7)
                          .Bof(evExcel8, TBofType::btChart)
                          .Record(0x1009, TBytes().U32(0).U32(0).U16(0).U16(1).U16(0).U16(0).U16(0).U32(0))
                          .Eof()
                          .Number(1, 0, 0, 8)
                          .Eof()
                          .Build();
  TLoad load(stream);
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Reader.Version, evExcel8);
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(7.0));
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant(8.0));
}

TEST(WorkbookVersion, EmptyBofWithUnknownHighByteIsPassedOver)
{
  const auto stream = TBiffBuilder().Bof(evExcel5).Record(0x1009, {}).Number(0, 0, 0, 7).Build();
  TLoad load(stream);
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Reader.Version, evExcel5);
  EXPECT_EQ(load.Cell(0, 0, 0), TVariant(7.0));
}

TEST(WorkbookVersion, BytesThatAreNeitherFormatAreReadAsBareRecordsAndAreNoWorkbook)
{
  // "hello wo": code 0x6568, length 0x6C6C, which runs past the end. Its
  // records are listed; without a BOF among them the load fails, and no
  // sheet is made up.
  const std::vector<std::uint8_t> text{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o'};
  TLoad load(text);
  EXPECT_EQ(load.Error, kMsgNoBof);
  EXPECT_EQ(load.Reader.Sheets().Count(), 0);
  ASSERT_EQ(load.Records.size(), 1u);
  EXPECT_EQ(load.Records[0].Code, 0x6568);
  EXPECT_EQ(load.Records[0].Length, 0x6C6C);
  EXPECT_EQ(load.Records[0].Data.size(), 4u);
}

TEST(WorkbookVersion, LoadFromStreamRefusesABareStream)
{
  TMSExcel reader;
  const auto stream = BareStream(evExcel5, {});
  EXPECT_THROW(reader.LoadFromStream(stream), EOleError);
}

TEST(WorkbookVersion, LoadFromStreamReadsACompoundFile)
{
  TMSExcel reader;
  reader.LoadFromStream(Book8({}, [](TBiffBuilder& b) { b.Number(2, 3, 0, 6.25); }));
  EXPECT_EQ(reader.Version, evExcel8);
  EXPECT_EQ(reader.Sheets().Items(0).Cells.GetCellValue(3, 2), TVariant(6.25));
}

/// A file in the system's temporary folder, removed at the end of the test.

TEST(WorkbookFile, CompoundFileAndBareStreamLoadFromDisk)
{
  const TTempFile compound(Book8({}, [](TBiffBuilder& b) { b.Number(0, 1, 0, 2.5); }), "xls-compound");
  const TTempFile bare(BareStream(evExcel4, [](TBiffBuilder& b) { b.Number(1, 0, 0, 4.5); }), "xls-bare");
  TMSExcel reader;
  reader.LoadFromFile(compound.Path());
  EXPECT_EQ(reader.Version, evExcel8);
  EXPECT_EQ(reader.Sheets().Items(0).Cells.GetCellValue(1, 0), TVariant(2.5));
  EXPECT_EQ(reader.FileName(), compound.Path());
  reader.LoadFromFile(bare.Path());
  EXPECT_EQ(reader.Version, evExcel4);
  EXPECT_EQ(reader.Sheets().Count(), 1);
  EXPECT_EQ(reader.Sheets().Items(0).Cells.GetCellValue(0, 1), TVariant(4.5));
}

TEST(WorkbookFile, MissingFileIsReportedByTheComponent)
{
  TMSExcel reader;
  EXPECT_THAT([&] { reader.LoadFromFile("/nonexistent/folder/book.xls"); },
              testing::ThrowsMessage<EBiffLensError>(testing::StrEq(kMsgFileNotExists)));
}

}  // namespace
