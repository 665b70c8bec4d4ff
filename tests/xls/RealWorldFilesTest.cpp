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

/// The sector of the Workbook's chain at `i`, as a damage text writes it.
std::string SectorOf(const TCompoundFileLayout& layout, std::size_t i)
{
  return std::to_string(layout.Stream("Workbook").Sectors.at(i));
}

struct TDamage {
  const char* Name;
  std::function<void(TCompoundFileImage&)> Apply;
  std::function<std::string(const TCompoundFileLayout&)> Message;
  /// The bytes of the stream still found (all of them when not given).
  std::function<std::size_t(const TCompoundFileLayout&)> Kept;
};

// Each case damages one structure of a sound file; the load lists the
// stream's records up to where its bytes end, then fails with a message
// that says where the damage is.
TEST(DamagedContainer, WhatTheWorkbookStreamStillHoldsIsReadThenTheLoadFailsSayingWhere)
{
  const auto stream = LongStream();
  const TDamage cases[] = {
      {"directory tree loops",
       [](TCompoundFileImage& f) {
         const auto id = f.Layout.Stream("Workbook").EntryId;
         PutU32(f.Bytes, f.Layout.EntryOffset(id) + kCfbEntryLeft, id);
       },
       [](const TCompoundFileLayout&) {
         return std::string("Compound file is damaged: directory tree loops: entry 1 links back to entry 1");
       },
       {}},
      // The Workbook is the top, Other its left child: Other's link back to
      // the root comes after the Workbook is reached.
      {"directory tree loops past the workbook's entry",
       [](TCompoundFileImage& f) {
         PutU32(f.Bytes, f.Layout.EntryOffset(f.Layout.Stream("Other").EntryId) + kCfbEntryLeft, 0);
       },
       [](const TCompoundFileLayout&) {
         return std::string("Compound file is damaged: directory tree loops: entry 2 links back to entry 0");
       },
       {}},
      {"the tree reaches no entry: found in the directory sectors",
       [](TCompoundFileImage& f) { PutU32(f.Bytes, f.Layout.EntryOffset(0) + kCfbEntryChild, 1000); },
       [](const TCompoundFileLayout&) {
         return std::string("Compound file is damaged: directory entry 0 links to entry 1000, beyond the 4 entries of "
                            "the directory; stream \"Workbook\" (entry 1) is not reached through the directory "
                            "tree: found by scanning the directory sectors");
       },
       {}},
      {"chain broken in the middle, read on in file order",
       [](TCompoundFileImage& f) {
         PutU32(f.Bytes, f.Layout.FatEntryOffset(f.Layout.Stream("Workbook").Sectors[2]), kCfbFreeSect);
       },
       [](const TCompoundFileLayout& l) {
         const std::size_t count = l.Stream("Workbook").Sectors.size();
         return "Compound file is damaged: stream \"Workbook\" (entry 1): sector " + SectorOf(l, 2) +
                " links to a free sector; stream \"Workbook\" (entry 1) is read on in file order from sector " +
                SectorOf(l, 3) + " to sector " + SectorOf(l, count - 1) + ": " + std::to_string(count - 3) +
                " sectors, " + std::to_string(count) + " of the " + std::to_string(count) + " its size needs";
       },
       {}},
      // The next sector is free: nothing says the stream goes on there.
      {"chain broken in the middle, nothing to read on",
       [](TCompoundFileImage& f) {
         const auto& sectors = f.Layout.Stream("Workbook").Sectors;
         PutU32(f.Bytes, f.Layout.FatEntryOffset(sectors[2]), kCfbFreeSect);
         PutU32(f.Bytes, f.Layout.FatEntryOffset(sectors[3]), kCfbFreeSect);
       },
       [](const TCompoundFileLayout& l) {
         return "Compound file is damaged: stream \"Workbook\" (entry 1): sector " + SectorOf(l, 2) +
                " links to a free sector";
       },
       [](const TCompoundFileLayout& l) { return 3 * l.SectorSize; }},
      {"file cut inside the stream",
       [](TCompoundFileImage& f) {
         const auto& sectors = f.Layout.Stream("Workbook").Sectors;
         f.Bytes.resize(f.Layout.SectorOffset(sectors[sectors.size() / 2]) + 100);
       },
       [](const TCompoundFileLayout& l) {
         const std::size_t cut = l.Stream("Workbook").Sectors.size() / 2;
         return "Compound file is damaged: stream \"Workbook\" (entry 1) runs past the end of the file: sector " +
                SectorOf(l, cut) + " links to sector " + SectorOf(l, cut + 1) + ", the file holds " +
                SectorOf(l, cut + 1) + " sectors";
       },
       [](const TCompoundFileLayout& l) { return l.Stream("Workbook").Sectors.size() / 2 * l.SectorSize + 100; }},
  };
  for (const TDamage& c : cases) {
    SCOPED_TRACE(c.Name);
    TCompoundFileImage image = LongBook();
    c.Apply(image);
    const std::size_t kept = c.Kept ? c.Kept(image.Layout) : stream.size();
    ASSERT_LE(kept, stream.size());
    const auto records =
        SplitRecords(std::vector<std::uint8_t>(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(kept)));
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
      EXPECT_EQ(error, c.Message(image.Layout));
      // What was read is the stream's own records, from its start, up to
      // where its bytes end.
      ASSERT_GT(records.size(), 10u);
      EXPECT_EQ(listed, records);
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
  EXPECT_EQ(load.Error, "Compound file is damaged: the directory chain starts at sector 4294967040, beyond the 128 "
                        "sectors the FAT describes");
  EXPECT_TRUE(load.Records.empty());
}

}  // namespace
