// A workbook stream read from its file by its runs of sectors, whole or a
// window at a time, must give what the file's bytes read in memory give:
// the same records with the same bytes, the same cells, the same failure.
// Windows of one byte make every record, CONTINUE chain and lookahead cross
// a window's edge.

#include "XlsTestSupport.h"

#include "platform/CompoundFile.h"
#include "xls/RecordCodes.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {

namespace fs = std::filesystem;

/// What a load shows: every record (code, length, offset, a hash of its
/// bytes), every cell, the sheets, the version and the failure if any.
struct TSnapshot {
  std::string Error;
  std::string Version;
  std::vector<std::string> Records;
  std::vector<std::string> Cells;
  bool KeptStream = false;
};

std::string ValueText(const TVariant& value)
{
  std::string text = VarTypeName(value.Type());
  char number[32];
  switch (value.Type()) {
  case TVarType::vtString: return text + ' ' + value.AsString();
  case TVarType::vtInteger: return text + ' ' + std::to_string(value.AsInteger());
  case TVarType::vtBoolean: return text + (value.AsBoolean() ? " true" : " false");
  case TVarType::vtDouble:
  case TVarType::vtDate: {
    const double d = value.Type() == TVarType::vtDate ? value.AsDate() : value.AsDouble();
    const auto end = std::to_chars(number, number + sizeof number, d).ptr;
    return text + ' ' + std::string(number, end);
  }
  default: return text;
  }
}

std::uint64_t Hash(std::span<const std::uint8_t> bytes)
{
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::uint8_t b : bytes)
    hash = (hash ^ b) * 1099511628211ull;
  return hash;
}

/// How a test reads a file: its bytes loaded from memory (the reference),
/// or from the file with the stream kept whole or read by windows.
enum class TWay { Memory, Whole, Window };

std::vector<std::uint8_t> FileBytes(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TSnapshot Load(const fs::path& path, TWay way, std::size_t windowBytes = std::size_t{1} << 20)
{
  TMSExcel reader;
  reader.KeepStreamBuffer = way != TWay::Window;
  reader.StreamWindowBytes = windowBytes;
  TSnapshot shot;
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header,
                        std::span<const std::uint8_t> data) {
    shot.Records.push_back(std::to_string(header.Code) + ' ' + std::to_string(header.Length) + ' ' +
                           std::to_string(reader.RecordOffset()) + ' ' +
                           std::to_string(data.size()) + ' ' + std::to_string(Hash(data)));
  };
  try {
    if (way == TWay::Memory)
      reader.LoadFromMemory(FileBytes(path));
    else
      reader.LoadFromFile(path.string());
  } catch (const std::exception& e) {
    shot.Error = e.what();
  }
  shot.Version = ExcelVersionName(reader.Version);
  shot.KeptStream = !reader.StreamBuffer().empty();
  const TSpreadSheets& sheets = reader.Sheets();
  for (int s = 0; s < sheets.Count(); ++s) {
    const TSpreadSheet& sheet = sheets.Items(s);
    shot.Cells.push_back("sheet " + sheet.Caption);
    sheet.Cells.ForEachRow([&](int r, const TSpreadSheetRow& row) {
      row.Cols.ForEachCell([&](int c, const TZymCell& cell) {
        shot.Cells.push_back(std::to_string(r) + ' ' + std::to_string(c) + ' ' +
                             ValueText(cell.Value));
      });
    });
  }
  return shot;
}

void ExpectSame(const TSnapshot& reference, const TSnapshot& shot)
{
  EXPECT_EQ(shot.Error, reference.Error);
  EXPECT_EQ(shot.Version, reference.Version);
  EXPECT_EQ(shot.Records, reference.Records);
  EXPECT_EQ(shot.Cells, reference.Cells);
}

class WindowedLoadTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    FDir = fs::temp_directory_path() /
           ("bifflens-window-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }

  fs::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
  {
    const fs::path path = FDir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  fs::path FDir;
};

/// A BIFF8 workbook with a shared-string table long enough to run through
/// many CONTINUE records, text formula results, and enough cells to make the
/// stream a regular (not mini) stream.
std::vector<std::uint8_t> BusyBook(int rows = 300)
{
  TSstBuilder sst;
  for (int k = 0; k < 1500; ++k) {
    if (k % 100 == 99)
      sst.Continue();
    sst.String("shared text number " + std::to_string(k), k % 3 == 0);
  }
  return Book8([&](TBiffBuilder& b) { b.Sst(sst); },
                              [&](TBiffBuilder& b) {
                                for (int r = 0; r < rows; ++r) {
                                  const auto row = static_cast<std::uint16_t>(r % 65536);
                                  b.LabelSst(row, 0, 0, static_cast<std::uint32_t>(r * 5 % 1500));
                                  b.Number(row, 1, 0, r * 0.25);
                                  b.FormulaSpecial(row, 2, 0, 0).String("result " + std::to_string(r));
                                  b.Label(row, 3, 0, "label " + std::to_string(r % 7));
                                }
                              });
}

}  // namespace

TEST_F(WindowedLoadTest, EveryCorpusWorkbookReadsTheSameThroughWindowsOfAnySize)
{
  const fs::path corpus = BIFFLENS_CORPUS_DIR;
  if (!fs::is_directory(corpus))
    GTEST_SKIP() << "corpus not found at " << corpus;
  int windowed = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".xls")
      continue;
    SCOPED_TRACE(entry.path().filename().string());
    const TSnapshot reference = Load(entry.path(), TWay::Memory);
    ExpectSame(reference, Load(entry.path(), TWay::Whole));
    for (const std::size_t window : {std::size_t{1}, std::size_t{4096}, std::size_t{1} << 20}) {
      SCOPED_TRACE(window);
      const TSnapshot shot = Load(entry.path(), TWay::Window, window);
      ExpectSame(reference, shot);
      windowed += shot.KeptStream ? 0 : 1;
    }
  }
  // Most of the corpus has a workbook stream big enough to be read by window.
  EXPECT_GT(windowed, 60);
}

TEST_F(WindowedLoadTest, ContinueChainsAndFollowingStringsCrossWindowEdges)
{
  const fs::path path = Write("busy.xls", BusyBook());
  const TSnapshot reference = Load(path, TWay::Memory);
  ASSERT_EQ(reference.Error, "");
  ASSERT_GT(reference.Cells.size(), 1200u);
  const TSnapshot whole = Load(path, TWay::Whole);
  ExpectSame(reference, whole);
  EXPECT_TRUE(whole.KeptStream);
  for (const std::size_t window : {std::size_t{1}, std::size_t{100}, std::size_t{8224},
                                   std::size_t{65536}}) {
    SCOPED_TRACE(window);
    const TSnapshot shot = Load(path, TWay::Window, window);
    ExpectSame(reference, shot);
    EXPECT_FALSE(shot.KeptStream);
  }
}

TEST_F(WindowedLoadTest, SmallStreamsAndBareStreamsAreReadWhole)
{
  // A tiny workbook lives in the mini stream; a bare BIFF stream has no
  // compound file to read parts of: both are read whole, with the same
  // result.
  const auto tiny = Book8({}, [](TBiffBuilder& b) { b.Number(0, 0, 0, 1.5); });
  const auto bare = BareStream(TExcelVersion::evExcel8, [](TBiffBuilder& b) { b.Number(0, 0, 0, 2.5); });
  for (const auto& [name, bytes] : {std::pair{"tiny.xls", tiny}, std::pair{"bare.xls", bare}}) {
    SCOPED_TRACE(name);
    const fs::path path = Write(name, bytes);
    const TSnapshot shot = Load(path, TWay::Window);
    ExpectSame(Load(path, TWay::Memory), shot);
    EXPECT_TRUE(shot.KeptStream);
  }
}

TEST_F(WindowedLoadTest, DamagedCopiesFailOrLoadAlikeBothWays)
{
  // Single-byte changes anywhere in the file, the compound file's own
  // structures included: the windowed load gives the same records, cells
  // and message as the whole one.
  const auto original = BusyBook();
  std::mt19937 random(20261208);
  std::uniform_int_distribution<std::size_t> position(0, original.size() - 1);
  std::uniform_int_distribution<int> value(0, 255);
  for (int i = 0; i < 150; ++i) {
    auto bytes = original;
    const std::size_t at = position(random);
    bytes[at] = static_cast<std::uint8_t>(value(random));
    SCOPED_TRACE(at);
    const fs::path path = Write("damaged.xls", bytes);
    const TSnapshot reference = Load(path, TWay::Memory);
    ExpectSame(reference, Load(path, TWay::Whole));
    ExpectSame(reference, Load(path, TWay::Window, 4096));
  }
}

TEST_F(WindowedLoadTest, AFileShortenedDuringTheLoadFailsWithAClearMessage)
{
  const fs::path path = Write("shrinking.xls", BusyBook());
  TMSExcel reader;
  reader.KeepStreamBuffer = false;
  reader.StreamWindowBytes = 4096;
  bool shortened = false;
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader, std::span<const std::uint8_t>) {
    if (!shortened) {
      fs::resize_file(path, 2048);
      shortened = true;
    }
  };
  try {
    reader.LoadFromFile(path.string());
    FAIL() << "the load went on past the file's new end";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.Status(), kStgReadFault);
    EXPECT_EQ(std::string(e.what()), "Cannot read the file \"" + path.string() + "\"");
  }
  EXPECT_TRUE(shortened);
}

TEST_F(WindowedLoadTest, ACompoundFileReadByPartsListsTheSameStreamsAndRuns)
{
  const auto bytes = BusyBook();
  const fs::path path = Write("parts.xls", bytes);
  const TCompoundFile whole = TCompoundFile::Open(TSharedBytes(bytes));
  const TCompoundFile parts = TCompoundFile::OpenReader(TFileReader::Open(path.string()));
  ASSERT_EQ(parts.RootElements().size(), whole.RootElements().size());
  const auto stream = whole.OpenStream("Workbook");
  const auto runs = parts.StreamRuns("Workbook");
  ASSERT_FALSE(runs.empty());
  // The runs, laid end to end, are the stream.
  std::vector<std::uint8_t> joined;
  for (const auto& run : runs) {
    EXPECT_EQ(run.StreamOffset, joined.size());
    joined.insert(joined.end(), bytes.begin() + static_cast<std::ptrdiff_t>(run.FileOffset),
                  bytes.begin() + static_cast<std::ptrdiff_t>(run.FileOffset + run.Length));
  }
  EXPECT_TRUE(std::equal(joined.begin(), joined.end(), stream.Bytes().begin(), stream.Bytes().end()));
  try {
    parts.OpenStream("Workbook");
    FAIL() << "a stream opened whole from a file read by parts";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.Status(), kStgInvalidFunction);
  }
  EXPECT_THROW(parts.StreamRuns("Missing"), EOleError);
}

TEST_F(WindowedLoadTest, AStreamDecodedWhileItIsReadGivesWhatItGivesReadFirst)
{
  // Megabytes of stream: the whole-stream load decodes while the rest is
  // still being read, in pieces of growing size.
  const fs::path path = Write("big.xls", BusyBook(30000));
  ASSERT_GT(fs::file_size(path), std::uintmax_t{2} << 20);
  const TSnapshot reference = Load(path, TWay::Memory);
  ASSERT_EQ(reference.Error, "");
  for (int run = 0; run < 3; ++run) {
    const TSnapshot whole = Load(path, TWay::Whole);
    ExpectSame(reference, whole);
    EXPECT_TRUE(whole.KeptStream);
  }
}

TEST_F(WindowedLoadTest, AHandlerThrowingWhileTheStreamIsReadEndsTheLoadAndTheNextOneWorks)
{
  const fs::path path = Write("big.xls", BusyBook(30000));
  const TSnapshot reference = Load(path, TWay::Memory);
  for (const int stopAt : {1, 50, 20000}) {
    SCOPED_TRACE(stopAt);
    TMSExcel reader;
    int seen = 0;
    reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader, std::span<const std::uint8_t>) {
      if (++seen == stopAt)
        throw std::runtime_error("handler gave up");
    };
    EXPECT_THROW(
        {
          try {
            reader.LoadFromFile(path.string());
          } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "handler gave up");
            throw;
          }
        },
        std::runtime_error);
    EXPECT_EQ(seen, stopAt);
    reader.OnRecord = nullptr;
    reader.LoadFromFile(path.string());
    EXPECT_EQ(reader.Sheets().Items(0).Cells.RowCount, 30000);
  }
  ExpectSame(reference, Load(path, TWay::Whole));
}

TEST_F(WindowedLoadTest, AFileShortenedWhileTheStreamIsReadFailsOrGivesEveryByteItHad)
{
  // The reading may be done before the file shrinks: then the load has all
  // of the stream and gives what the file gave. Otherwise it fails with the
  // same message as a windowed load, never with a part of the stream.
  const auto bytes = BusyBook(30000);
  for (const std::uintmax_t newSize : {std::uintmax_t{2048}, std::uintmax_t{1} << 20}) {
    SCOPED_TRACE(newSize);
    const fs::path path = Write("shrinking.xls", bytes);
    TMSExcel reader;
    bool shortened = false;
    reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader, std::span<const std::uint8_t>) {
      if (!shortened) {
        fs::resize_file(path, newSize);
        shortened = true;
      }
    };
    try {
      reader.LoadFromFile(path.string());
      const TSharedBytes stream =
          TCompoundFile::Open(TSharedBytes(bytes)).OpenStream("Workbook").SharedBytes();
      EXPECT_TRUE(std::ranges::equal(reader.StreamBuffer().Span(), stream.Span()));
      EXPECT_EQ(reader.Sheets().Items(0).Cells.RowCount, 30000);
    } catch (const EOleError& e) {
      EXPECT_EQ(e.Status(), kStgReadFault);
      EXPECT_EQ(std::string(e.what()), "Cannot read the file \"" + path.string() + "\"");
    }
    EXPECT_TRUE(shortened);
  }
}
