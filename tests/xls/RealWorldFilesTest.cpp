// What real files do that the rules refuse, read as Excel reads them: a BIFF8
// stream named "Book", a formula's text cut short before an empty CONTINUE,
// BIFF2 formulas with text, boolean and error results, input from a pipe, and
// compound files whose directory or chains are damaged.

#include "XlsTestSupport.h"

#include "platform/CompoundFileMessages.h"
#include "support/CompoundFileBuilder.h"
#include "xls/RecordCodes.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

namespace {

using enum TExcelVersion;

TEST(BookStream, ABiff8BofInAStreamNamedBookMakesTheLoadBiff8)
{
  const auto stream = OneSheetStream(evExcel8, {}, [](TBiffBuilder& b) {
    b.Label(0, 0, 0, "\xD0\xAF\xD0\xB1", true).Number(1, 0, 0, 2);
  });
  TLoad load(InCompoundFile(stream, "Book"));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Reader.Version, evExcel8);
  EXPECT_EQ(load.Cell(0, 0, 0), Text("\xD0\xAF\xD0\xB1"));
  // A BIFF5 BOF keeps the BIFF5 reading of "Book".
  TLoad biff5(InCompoundFile(OneSheetStream(evExcel5, {}, [](TBiffBuilder& b) { b.Label(0, 0, 0, "ab"); }),
                             "Book"));
  EXPECT_EQ(biff5.Reader.Version, evExcel7);
  EXPECT_EQ(biff5.Cell(0, 0, 0), Text("ab"));
}

TEST(FormulaString, ATextCutShortEndsThereWhateverFollows)
{
  // STRING says 10 characters and holds 3; an empty CONTINUE or none
  // follows. The cell gets the 3, the next record still reads.
  const auto cut = TBytes().U16(10).U8(0).Ascii("abc");
  for (const bool emptyContinue : {false, true}) {
    SCOPED_TRACE(emptyContinue);
    TLoad load(Book8({}, [&](TBiffBuilder& b) {
      b.FormulaSpecial(0, 0, 0, 0).Record(kRecString, cut);
      if (emptyContinue)
        b.Record(kRecContinue, {});
      b.Number(1, 0, 0, 5);
    }));
    EXPECT_EQ(load.Error, "");
    EXPECT_EQ(load.Cell(0, 0, 0), Text("abc"));
    EXPECT_EQ(load.Cell(0, 1, 0), TVariant(5.0));
  }
}

TEST(Biff2Formula, ResultsThatAreNotNumbersAreReadAsLaterVersionsRead)
{
  // Result bytes 6 and 7 of 0xFFFF mark a special result: byte 0 says which.
  auto formula = [](std::uint16_t row, std::uint8_t type, std::uint8_t value) {
    return TBytes().U16(row).U16(0).U8(0).U8(0).U8(0).U8(type).U8(0).U8(value).Zeros(3).U16(0xFFFF)
        .U8(0).U8(0);
  };
  TLoad load(BareStream(evExcel2, [&](TBiffBuilder& b) {
    b.Record(kRecFormula, formula(0, 0, 0)).String2("text");
    b.Record(kRecFormula, formula(1, 1, 1));
    b.Record(kRecFormula, formula(2, 2, 0x07));
    b.Formula2(3, 0, 2.5);
  }));
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(load.Cell(0, 0, 0), Text("text"));
  EXPECT_EQ(load.Cell(0, 1, 0), TVariant(true));
  EXPECT_EQ(load.Cell(0, 2, 0), Text("#DIV/0!"));
  EXPECT_EQ(load.Cell(0, 3, 0), TVariant(2.5));
}

TEST(PipedInput, APipeIsReadWholeLikeAFile)
{
  // A pipe by its name, as process substitution hands one over: the reader
  // reads until the writer closes it, in pieces as they come.
  const auto book = Book8({}, [](TBiffBuilder& b) {
    for (int row = 0; row < 3000; ++row)
      b.Number(static_cast<std::uint16_t>(row), 0, 0, row);
  });
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::thread writer([&] {
    std::size_t written = 0;
    while (written < book.size()) {
      const ssize_t n = ::write(fds[1], book.data() + written, std::min<std::size_t>(1000, book.size() - written));
      if (n <= 0)
        break;
      written += static_cast<std::size_t>(n);
    }
    ::close(fds[1]);
  });
  TMSExcel reader;
  std::string error;
  try {
    reader.LoadFromFile("/proc/self/fd/" + std::to_string(fds[0]));
  } catch (const std::exception& e) {
    error = e.what();
  }
  writer.join();
  ::close(fds[0]);
  EXPECT_EQ(error, "");
  ASSERT_EQ(reader.Sheets().Count(), 1);
  EXPECT_EQ(reader.Sheets().Items(0).Cells.GetCellValue(0, 2999), TVariant(2999.0));
}

TEST(PipedInput, AFifoIsReadWholeWhetherItsWriterComesFirstOrLater)
{
  const auto book = Book8({}, [](TBiffBuilder& b) { b.Number(0, 0, 0, 42); });
  const std::string fifo = (std::filesystem::temp_directory_path() /
                            ("bifflens-fifo-" + std::to_string(::getpid()))).string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(IsExistingFile(fifo));
  for (const bool writerFirst : {true, false}) {
    SCOPED_TRACE(writerFirst ? "writer first" : "reader first");
    std::thread writer([&] {
      if (!writerFirst)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      std::ofstream out(fifo, std::ios::binary);
      out.write(reinterpret_cast<const char*>(book.data()), static_cast<std::streamsize>(book.size()));
    });
    if (writerFirst)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    TMSExcel reader;
    std::string error;
    try {
      reader.LoadFromFile(fifo);
    } catch (const std::exception& e) {
      error = e.what();
    }
    writer.join();
    EXPECT_EQ(error, "");
    ASSERT_EQ(reader.Sheets().Count(), 1);
    EXPECT_EQ(reader.Sheets().Items(0).Cells.GetCellValue(0, 0), TVariant(42.0));
  }
  // Nobody writes: the load ends (the stream is empty) instead of waiting on.
  TMSExcel reader;
  reader.LoadFromFile(fifo);
  std::filesystem::remove(fifo);
  EXPECT_EQ(reader.RecordCount(), 0u);
}

// --- Damaged compound files --------------------------------------------------

/// A workbook stream of many sectors: globals and one sheet of 600 numbers.
std::vector<std::uint8_t> LongStream()
{
  return OneSheetStream(evExcel8, {}, [](TBiffBuilder& b) {
    for (int row = 0; row < 600; ++row)
      b.Number(static_cast<std::uint16_t>(row), 0, 0, row);
  });
}

TCompoundFileImage LongBook()
{
  return TCompoundFileBuilder()
      .AddStream("Workbook", LongStream(), TStreamPlacement::spRegular)
      .AddStream("Other", std::vector<std::uint8_t>(100, 7))
      .BuildImage();
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
  for (int k = 0; k < 4; ++k)
    bytes[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value >> (8 * k));
}

struct TDamage {
  const char* Name;
  std::function<void(TCompoundFileImage&)> Apply;
  const char* Message;
  bool Whole;  // every record of the stream is still found
};

TEST(DamagedContainer, WhatTheWorkbookStreamStillHoldsIsReadThenTheLoadFails)
{
  const auto stream = LongStream();
  const auto records = SplitRecords(stream);
  const TDamage cases[] = {
      {"directory tree loops",
       [](TCompoundFileImage& f) {
         const auto id = f.Layout.Stream("Workbook").EntryId;
         PutU32(f.Bytes, f.Layout.EntryOffset(id) + kCfbEntryLeft, id);
       },
       kMsgCfbDirectoryLoops, true},
      {"directory entry out of range",
       [](TCompoundFileImage& f) { PutU32(f.Bytes, f.Layout.EntryOffset(0) + kCfbEntryChild, 1000); },
       kMsgCfbEntryOutOfRange, true},
      {"chain into a free sector",
       [](TCompoundFileImage& f) {
         PutU32(f.Bytes, f.Layout.FatEntryOffset(f.Layout.Stream("Workbook").Sectors[2]), kCfbFreeSect);
       },
       kMsgCfbSectorOutOfRange, false},
      {"file truncated inside the stream",
       [](TCompoundFileImage& f) {
         const auto& sectors = f.Layout.Stream("Workbook").Sectors;
         f.Bytes.resize(f.Layout.SectorOffset(sectors[sectors.size() / 2]) + 100);
       },
       nullptr, false},
  };
  for (const TDamage& c : cases) {
    SCOPED_TRACE(c.Name);
    TCompoundFileImage image = LongBook();
    c.Apply(image);
    for (const bool fromFile : {false, true}) {
      SCOPED_TRACE(fromFile ? "from a file" : "from memory");
      std::vector<TListedRecord> listed;
      std::string error;
      TMSExcel reader;
      reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader h, std::span<const std::uint8_t> d) {
        listed.push_back({h.Code, h.Length, reader.RecordOffset(), {d.begin(), d.end()}});
      };
      const TTempFile file(image.Bytes, "damaged");
      try {
        if (fromFile)
          reader.LoadFromFile(file.Path());
        else
          reader.LoadFromMemory(image.Bytes);
      } catch (const std::exception& e) {
        error = e.what();
      }
      if (c.Message)
        EXPECT_EQ(error, c.Message);
      else
        EXPECT_NE(error, "");
      ASSERT_GT(listed.size(), 10u);
      if (c.Whole)
        EXPECT_EQ(listed.size(), records.size());
      else
        EXPECT_LT(listed.size(), records.size());
      // What was read is the stream's own records, from its start.
      for (std::size_t i = 0; i + 1 < listed.size(); ++i)
        ASSERT_EQ(listed[i], records[i]) << "record " << i + 1;
      EXPECT_EQ(reader.Sheets().Items(0).Cells.GetCellValue(0, 5), TVariant(5.0));
    }
  }
}

TEST(DamagedContainer, AFileWithNothingToSalvageFailsAsBefore)
{
  TCompoundFileImage image = LongBook();
  // The directory's first sector points nowhere: no entry can be found.
  PutU32(image.Bytes, kCfbHeaderFirstDirectorySector, 0xFFFFFF00u);
  TLoad load(image.Bytes);
  EXPECT_EQ(load.Error, kMsgCfbSectorOutOfRange);
  EXPECT_TRUE(load.Records.empty());
}

}  // namespace
