#include "platform/CompoundFile.h"
#include "CfbTestSupport.h"
#include "platform/CompoundFileMessages.h"
#include "support/CompoundFileBuilder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes StreamBytes(const TCompoundFile& file, const std::string& name)
{
  const TCompoundStream stream = file.OpenStream(name);
  return TBytes(stream.Bytes().begin(), stream.Bytes().end());
}

std::vector<std::string> ElementNames(const TCompoundFile& file)
{
  std::vector<std::string> names;
  for (const auto& element : file.RootElements())
    names.push_back(element.Name);
  return names;
}

// ---------------------------------------------------------------------------

TEST(CompoundFileSignature, IsRecognisedOnlyWithAWholeHeader)
{
  const TBytes file = TCompoundFileBuilder().AddStream("Workbook", Pattern(100, 1)).Build();
  EXPECT_TRUE(IsCompoundFile(file));
  EXPECT_TRUE(IsCompoundFile(std::span(file).first(512)));
  EXPECT_FALSE(IsCompoundFile(std::span(file).first(511)));
  for (std::size_t i = 0; i < 8; ++i) {
    TBytes changed = file;
    changed[i] ^= 0x01;
    EXPECT_FALSE(IsCompoundFile(changed)) << "signature byte " << i;
  }
  EXPECT_FALSE(IsCompoundFile({}));
}

class CompoundFileRoundTrip : public testing::TestWithParam<int> {};

TEST_P(CompoundFileRoundTrip, ReadsEveryStreamBackOnBothSidesOfTheMiniStreamCutoff)
{
  // Mini stream below 4096 bytes, regular sectors from 4096 on; sizes on
  // both sides of the mini-sector and sector boundaries.
  const std::vector<std::pair<std::string, std::size_t>> streams = {
      {"One", 1},           {"MiniSector", 64},     {"MiniSectorPlus", 65},  {"BelowCutoff", 4095},
      {"AtCutoff", 4096},   {"AboveCutoff", 4097},  {"TwoPages", 8192},      {"Workbook", 20000},
      {"Small", 700},       {"Empty", 0},
  };
  TCompoundFileBuilder builder;
  builder.Version(GetParam());
  for (std::size_t i = 0; i < streams.size(); ++i)
    builder.AddStream(streams[i].first, Pattern(streams[i].second, static_cast<std::uint32_t>(i)));
  const auto image = builder.BuildImage();
  ASSERT_TRUE(image.Layout.Stream("BelowCutoff").InMiniStream);
  ASSERT_FALSE(image.Layout.Stream("AtCutoff").InMiniStream);

  const TCompoundFile file = OpenBytes(image.Bytes);
  ASSERT_EQ(file.RootElements().size(), streams.size());
  for (std::size_t i = 0; i < streams.size(); ++i) {
    SCOPED_TRACE(streams[i].first);
    const TCompoundStream stream = file.OpenStream(streams[i].first);
    EXPECT_EQ(stream.Size(), streams[i].second);
    EXPECT_EQ(StreamBytes(file, streams[i].first), Pattern(streams[i].second, static_cast<std::uint32_t>(i)));
  }
  for (const auto& element : file.RootElements()) {
    EXPECT_EQ(element.Type, 2);
    const auto expected = std::find_if(streams.begin(), streams.end(), [&](auto& s) { return s.first == element.Name; });
    ASSERT_NE(expected, streams.end()) << element.Name;
    EXPECT_EQ(element.Size, expected->second);
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, CompoundFileRoundTrip, testing::Values(3, 4));

TEST(CompoundFileFat, ReadsAStreamWhoseFatSectorsSpillIntoDifatSectors)
{
  // 512-byte sectors: the header lists 109 FAT sectors, which cover about
  // 7 MB; this stream needs more.
  const TBytes content = Pattern(7'400'000, 7);
  const auto image = TCompoundFileBuilder().AddStream("Workbook", content).BuildImage();
  ASSERT_GT(image.Layout.FatSectors.size(), 109u);
  ASSERT_EQ(image.Layout.DifatSectors.size(), 1u);
  const TCompoundFile file = OpenBytes(image.Bytes);
  EXPECT_EQ(StreamBytes(file, "Workbook"), content);
}

TEST(CompoundFileFat, FollowsAChainOfSeveralDifatSectors)
{
  const auto image = TCompoundFileBuilder()
                         .AddStream("Workbook", Pattern(9000, 1))
                         .AddStream("Small", Pattern(300, 2))
                         .ExtraFatSectors(400)
                         .BuildImage();
  ASSERT_GE(image.Layout.DifatSectors.size(), 3u);
  const TCompoundFile file = OpenBytes(image.Bytes);
  EXPECT_EQ(StreamBytes(file, "Workbook"), Pattern(9000, 1));
  EXPECT_EQ(StreamBytes(file, "Small"), Pattern(300, 2));
}

TEST(CompoundFileFat, AcceptsAChainLongerThanTheStreamNeeds)
{
  auto image = TCompoundFileBuilder().AddStream("Workbook", Pattern(10000, 3)).BuildImage();
  const std::size_t entry = image.Layout.EntryOffset(image.Layout.Stream("Workbook").EntryId);
  CfbPutU64(image.Bytes, entry + kCfbEntrySize, 5000);
  const TCompoundFile file = OpenBytes(image.Bytes);
  const TBytes expected = Pattern(10000, 3);
  EXPECT_EQ(StreamBytes(file, "Workbook"), TBytes(expected.begin(), expected.begin() + 5000));
}

TEST(CompoundFileFat, ReadsAFileWhoseLastSectorIsPartial)
{
  // The stream is last in the file: drop the unused tail of its last sector.
  auto image = TCompoundFileBuilder().AddStream("Workbook", Pattern(5000, 4)).BuildImage();
  const std::uint32_t last = image.Layout.Stream("Workbook").Sectors.back();
  ASSERT_EQ(image.Layout.SectorOffset(last) + 512, image.Bytes.size());
  image.Bytes.resize(image.Layout.SectorOffset(last) + 5000 % 512);
  const TCompoundFile file = OpenBytes(image.Bytes);
  EXPECT_EQ(StreamBytes(file, "Workbook"), Pattern(5000, 4));
}

TEST(CompoundFileStreamBlock, AStreamInOneRunOfSectorsIsAViewOfTheFile)
{
  const TBytes content = Pattern(20000, 8);
  const TSharedBytes file(TCompoundFileBuilder().AddStream("Workbook", content).Build());
  const TCompoundStream stream = TCompoundFile::Open(file).OpenStream("Workbook");
  EXPECT_TRUE(stream.SharedBytes().SharesBlockWith(file));
  EXPECT_EQ(TBytes(stream.Bytes().begin(), stream.Bytes().end()), content);
}

namespace {

/// A file whose "Workbook" stream (5000 bytes of Pattern(.., 9)) has its
/// third and fourth sectors swapped on disk and the chain relinked through
/// them: the stream reads the same but runs backwards once.
TBytes FileWithABackwardStep()
{
  auto image = TCompoundFileBuilder().AddStream("Workbook", Pattern(5000, 9)).BuildImage();
  const auto& sectors = image.Layout.Stream("Workbook").Sectors;
  const std::size_t third = image.Layout.SectorOffset(sectors[2]);
  const std::size_t fourth = image.Layout.SectorOffset(sectors[3]);
  std::swap_ranges(image.Bytes.begin() + static_cast<std::ptrdiff_t>(third),
                   image.Bytes.begin() + static_cast<std::ptrdiff_t>(third + 512),
                   image.Bytes.begin() + static_cast<std::ptrdiff_t>(fourth));
  CfbPutU32(image.Bytes, image.Layout.FatEntryOffset(sectors[1]), sectors[3]);
  CfbPutU32(image.Bytes, image.Layout.FatEntryOffset(sectors[3]), sectors[2]);
  CfbPutU32(image.Bytes, image.Layout.FatEntryOffset(sectors[2]), sectors[4]);
  return image.Bytes;
}

}  // namespace

TEST(CompoundFileStreamBlock, AStreamWhoseSectorsAreOutOfOrderIsAssembledIntoItsOwnBlock)
{
  const TSharedBytes file(FileWithABackwardStep());
  const TCompoundStream stream = TCompoundFile::Open(file).OpenStream("Workbook");
  EXPECT_FALSE(stream.SharedBytes().SharesBlockWith(file));
  EXPECT_EQ(TBytes(stream.Bytes().begin(), stream.Bytes().end()), Pattern(5000, 9));
}

namespace {

/// A file whose "Workbook" stream runs forward through the file with one
/// foreign sector in between, as FAT sectors sit inside big streams.
struct TGappedFile {
  TBytes Bytes;
  TBytes Content;
  std::uint32_t LastSector = 0;  // the stream's last sector
  std::uint32_t EntryId = 0;
};

TGappedFile GappedFile()
{
  auto image = TCompoundFileBuilder().AddStream("Workbook", Pattern(5120, 11)).BuildImage();
  const auto sectors = image.Layout.Stream("Workbook").Sectors;
  std::vector<std::uint32_t> path(sectors.begin(), sectors.begin() + 5);
  path.insert(path.end(), sectors.begin() + 6, sectors.end());
  TGappedFile file{std::move(image.Bytes), Pattern(4500, 12), path[8], image.Layout.Stream("Workbook").EntryId};
  for (std::size_t i = 0; i < path.size(); ++i) {
    const std::size_t count = std::min<std::size_t>(512, file.Content.size() - i * 512);
    std::copy_n(file.Content.begin() + static_cast<std::ptrdiff_t>(i * 512), count,
                file.Bytes.begin() + static_cast<std::ptrdiff_t>(image.Layout.SectorOffset(path[i])));
  }
  std::fill_n(file.Bytes.begin() + static_cast<std::ptrdiff_t>(image.Layout.SectorOffset(sectors[5])), 512, 0xEE);
  CfbPutU32(file.Bytes, image.Layout.FatEntryOffset(sectors[4]), sectors[6]);
  CfbPutU32(file.Bytes, image.Layout.FatEntryOffset(sectors[5]), kCfbFreeSect);
  CfbPutU64(file.Bytes, image.Layout.EntryOffset(image.Layout.Stream("Workbook").EntryId) + kCfbEntrySize, 4500);
  return file;
}

bool Inside(std::span<const std::uint8_t> part, const std::uint8_t* start, std::size_t size)
{
  return part.data() >= start && part.data() + part.size() <= start + size;
}

}  // namespace

TEST(CompoundFileStreamBlock, TakingAStreamWithGapsFromBytesHeldByNoOneElseSlidesItTogetherInPlace)
{
  const TGappedFile gapped = GappedFile();
  TSharedBytes bytes = TSharedBytes::Copy(gapped.Bytes);
  const std::uint8_t* start = bytes.data();
  const std::size_t size = bytes.size();
  TCompoundFile file = TCompoundFile::Open(std::move(bytes));
  const TCompoundStream stream = std::move(file).TakeStream("Workbook");
  EXPECT_TRUE(Inside(stream.Bytes(), start, size));
  EXPECT_EQ(TBytes(stream.Bytes().begin(), stream.Bytes().end()), gapped.Content);
}

TEST(CompoundFileStreamBlock, BytesOrAFileSharedWithOthersAreNeverRearranged)
{
  const TGappedFile gapped = GappedFile();
  {
    // Someone else holds the bytes: they must stay as they are.
    const TSharedBytes held = TSharedBytes::Copy(gapped.Bytes);
    const TCompoundStream stream = TCompoundFile::Open(held).TakeStream("Workbook");
    EXPECT_FALSE(stream.SharedBytes().SharesBlockWith(held));
    EXPECT_EQ(TBytes(held.begin(), held.end()), gapped.Bytes);
    EXPECT_EQ(TBytes(stream.Bytes().begin(), stream.Bytes().end()), gapped.Content);
  }
  {
    // A copy of the compound file still reads its streams afterwards.
    TCompoundFile file = TCompoundFile::Open(TSharedBytes::Copy(gapped.Bytes));
    const TCompoundFile copy = file;
    const TCompoundStream taken = std::move(file).TakeStream("Workbook");
    EXPECT_EQ(StreamBytes(copy, "Workbook"), gapped.Content);
    EXPECT_EQ(TBytes(taken.Bytes().begin(), taken.Bytes().end()), gapped.Content);
  }
  {
    // Opening, as opposed to taking, leaves the file whole.
    const TCompoundFile file = TCompoundFile::Open(TSharedBytes::Copy(gapped.Bytes));
    EXPECT_EQ(StreamBytes(file, "Workbook"), gapped.Content);
    EXPECT_EQ(StreamBytes(file, "Workbook"), gapped.Content);
  }
}

TEST(CompoundFileStreamBlock, AStreamThatRunsBackwardsIsAssembledEvenWhenItCouldBeTaken)
{
  TSharedBytes bytes = TSharedBytes::Copy(FileWithABackwardStep());
  const std::uint8_t* start = bytes.data();
  const std::size_t size = bytes.size();
  const TCompoundStream stream = TCompoundFile::Open(std::move(bytes)).TakeStream("Workbook");
  EXPECT_FALSE(Inside(stream.Bytes(), start, size));
  EXPECT_EQ(TBytes(stream.Bytes().begin(), stream.Bytes().end()), Pattern(5000, 9));
}

TEST(CompoundFileStreamBlock, TakingAStreamCutShortByTheFileEndFailsBeforeMovingAnything)
{
  TGappedFile gapped = GappedFile();
  gapped.Bytes.resize(gapped.Bytes.size() - 200);
  TSharedBytes bytes = TSharedBytes::Copy(gapped.Bytes);
  const std::uint8_t* start = bytes.data();
  TCompoundFile file = TCompoundFile::Open(std::move(bytes));
  // 4500 bytes: 404 in the ninth sector, of which 312 are left.
  EXPECT_TRUE(ThrowsOle([&] { std::move(file).TakeStream("Workbook"); }, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbChainCutText(CfbStreamChain("Workbook", gapped.EntryId),
                                                          gapped.LastSector, 312, 404))));
  EXPECT_TRUE(std::equal(gapped.Bytes.begin(), gapped.Bytes.end(), start));
}

TEST(CompoundFileStreamBlock, AOneRunStreamCutShortByTheFileEndIsStillRefused)
{
  auto image = TCompoundFileBuilder().AddStream("Workbook", Pattern(5000, 4)).BuildImage();
  const std::uint32_t last = image.Layout.Stream("Workbook").Sectors.back();
  image.Bytes.resize(image.Layout.SectorOffset(last) + 5000 % 512 - 1);
  const TCompoundFile file = OpenBytes(image.Bytes);
  EXPECT_TRUE(ThrowsOle([&] { file.OpenStream("Workbook"); }, kStgDocFileCorrupt,
                        "Compound file is damaged: stream \"Workbook\" (entry 1) is cut short by the end of the "
                        "file: sector " + std::to_string(last) + " holds 391 of its 392 bytes"));
}

TEST(CompoundFileVersion, IgnoresTheHighDwordOfAVersion3StreamSize)
{
  auto image = TCompoundFileBuilder().AddStream("Workbook", Pattern(6000, 5)).BuildImage();
  const std::size_t entry = image.Layout.EntryOffset(image.Layout.Stream("Workbook").EntryId);
  CfbPutU32(image.Bytes, entry + kCfbEntrySize + 4, 0xDEADBEEF);
  const TCompoundFile file = OpenBytes(image.Bytes);
  EXPECT_EQ(file.RootElements().front().Size, 6000u);
  EXPECT_EQ(StreamBytes(file, "Workbook"), Pattern(6000, 5));
}

TEST(CompoundFileVersion, AcceptsAnUnusualMinorVersion)
{
  for (const int version : {3, 4}) {
    SCOPED_TRACE(version);
    TBytes bytes = TCompoundFileBuilder().Version(version).AddStream("Book", Pattern(50, 6)).Build();
    CfbPutU16(bytes, kCfbHeaderMinorVersion, 0x21);
    EXPECT_EQ(StreamBytes(OpenBytes(bytes), "Book"), Pattern(50, 6));
  }
}

// ---------------------------------------------------------------------------

TEST(CompoundFileDirectory, ListsRootChildrenInSiblingTreeOrder)
{
  // Siblings are ordered by name length, then by upper-cased name.
  TCompoundFileBuilder builder;
  for (const char* name : {"Workbook", "a", "\x05SummaryInformation", "Book", "b2", "ZZ", "Ab", "CompObj", "x"})
    builder.AddStream(name, Pattern(10, 1));
  const TCompoundFile file = OpenBytes(builder.Build());
  const std::vector<std::string> expected = {"a",  "x",       "Ab",       "b2",
                                             "ZZ", "Book",    "CompObj",  "Workbook",
                                             "\x05SummaryInformation"};
  EXPECT_EQ(ElementNames(file), expected);
}

TEST(CompoundFileDirectory, ListsEveryChildOfADeepTree)
{
  // 40 children in reverse order: the tree has several levels on both sides.
  TCompoundFileBuilder builder;
  std::vector<std::string> expected;
  for (int i = 39; i >= 0; --i) {
    char name[8];
    std::snprintf(name, sizeof name, "S%02d", i);
    builder.AddStream(name, Pattern(static_cast<std::size_t>(i) * 7, static_cast<std::uint32_t>(i)));
    expected.insert(expected.begin(), name);
  }
  const TCompoundFile file = OpenBytes(builder.Build());
  EXPECT_EQ(ElementNames(file), expected);
  EXPECT_EQ(StreamBytes(file, "S17"), Pattern(17 * 7, 17));
}

TEST(CompoundFileDirectory, ReportsStoragesWithoutSizeAndRefusesToOpenThemAsStreams)
{
  const TCompoundFile file =
      OpenBytes(TCompoundFileBuilder().AddStorage("_VBA_PROJECT_CUR").AddStream("Workbook", Pattern(5000, 1)).Build());
  ASSERT_EQ(file.RootElements().size(), 2u);
  const TStorageElement& storage = file.RootElements().back();
  EXPECT_EQ(storage.Name, "_VBA_PROJECT_CUR");
  EXPECT_EQ(storage.Type, 1);
  EXPECT_EQ(storage.Size, 0u);
  EXPECT_TRUE(ThrowsOle([&] { file.OpenStream("_VBA_PROJECT_CUR"); }, kStgFileNotFound,
                        CfbStreamNotFoundMessage("_VBA_PROJECT_CUR")));
}

TEST(CompoundFileDirectory, OpensStreamsByTheirExactName)
{
  const TCompoundFile file = OpenBytes(TCompoundFileBuilder().AddStream("Workbook", Pattern(10, 1)).Build());
  EXPECT_TRUE(ThrowsOle([&] { file.OpenStream("WORKBOOK"); }, kStgFileNotFound, CfbStreamNotFoundMessage("WORKBOOK")));
  EXPECT_TRUE(ThrowsOle([&] { file.OpenStream("Workboo"); }, kStgFileNotFound, CfbStreamNotFoundMessage("Workboo")));
  EXPECT_EQ(file.OpenStream("Workbook").Size(), 10u);
}

TEST(CompoundFileDirectory, ConvertsNonAsciiNamesToUtf8)
{
  const std::vector<std::string> names = {"Donn\xC3\xA9" "es", "\xE6\x97\xA5\xE6\x9C\xAC",
                                          "\xF0\x9F\x98\x80x", "\xC2\xA9\xF0\x90\x80\x80\xE2\x82\xAC"};
  TCompoundFileBuilder builder;
  for (std::size_t i = 0; i < names.size(); ++i)
    builder.AddStream(names[i], Pattern(i + 1, 9));
  const TCompoundFile file = OpenBytes(builder.Build());
  const std::vector<std::string> listed = ElementNames(file);
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NE(std::find(listed.begin(), listed.end(), names[i]), listed.end());
    EXPECT_EQ(StreamBytes(file, names[i]), Pattern(i + 1, 9));
  }
}

TEST(CompoundFileDirectory, ReplacesALoneSurrogateWithTheReplacementCharacter)
{
  auto image = TCompoundFileBuilder().AddStream("ab", Pattern(3, 1)).AddStream("cd", Pattern(3, 2)).BuildImage();
  CfbPutU16(image.Bytes, image.Layout.EntryOffset(image.Layout.Stream("ab").EntryId), 0xD800);  // high, then 'b'
  CfbPutU16(image.Bytes, image.Layout.EntryOffset(image.Layout.Stream("cd").EntryId) + 2, 0xDC00);  // low at end
  const TCompoundFile file = OpenBytes(image.Bytes);
  EXPECT_EQ(ElementNames(file), (std::vector<std::string>{"\xEF\xBF\xBD" "b", "c\xEF\xBF\xBD"}));
}

TEST(CompoundFileDirectory, ReadsANameUpToItsTerminatorWhenTheLengthFieldIsTooLarge)
{
  auto image = TCompoundFileBuilder().AddStream("Workbook", Pattern(3, 1)).BuildImage();
  CfbPutU16(image.Bytes, image.Layout.EntryOffset(1) + kCfbEntryNameLength, 0xFFFF);
  EXPECT_EQ(ElementNames(OpenBytes(image.Bytes)), std::vector<std::string>{"Workbook"});
}

TEST(CompoundFileDirectory, HasNoElementsWhenTheRootHasNoChild)
{
  const TCompoundFile file = OpenBytes(TCompoundFileBuilder().Build());
  EXPECT_TRUE(file.RootElements().empty());
}

// ---------------------------------------------------------------------------

class CompoundStreamReading : public testing::Test {
protected:
  const TBytes FContent = Pattern(10000, 11);
  const TCompoundFile FFile = OpenBytes(TCompoundFileBuilder().AddStream("Workbook", FContent).Build());
};

TEST_F(CompoundStreamReading, ReadsInPiecesUntilTheEndThenNothing)
{
  TCompoundStream stream = FFile.OpenStream("Workbook");
  TBytes buffer(4000);
  TBytes all;
  for (const std::size_t expected : {4000u, 4000u, 2000u, 0u, 0u}) {
    const std::size_t count = stream.Read(buffer);
    EXPECT_EQ(count, expected);
    all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
  }
  EXPECT_EQ(all, FContent);
  EXPECT_EQ(stream.Position(), 10000u);
}

TEST_F(CompoundStreamReading, ReadEndingExactlyAtTheEndCopiesEverything)
{
  TCompoundStream stream = FFile.OpenStream("Workbook");
  stream.Seek(9990);
  TBytes buffer(10);
  EXPECT_EQ(stream.Read(buffer), 10u);
  EXPECT_EQ(buffer, TBytes(FContent.end() - 10, FContent.end()));
  TBytes larger(11);
  stream.Seek(-10);
  EXPECT_EQ(stream.Read(larger), 10u);
}

TEST_F(CompoundStreamReading, SeeksBackToTheStartButNotOneBytePast)
{
  TCompoundStream stream = FFile.OpenStream("Workbook");
  stream.Seek(100);
  stream.Seek(-100);
  EXPECT_EQ(stream.Position(), 0u);
  EXPECT_TRUE(ThrowsOle([&] { stream.Seek(-1); }, kStgInvalidFunction, kMsgCfbSeekBeforeStart));
  EXPECT_EQ(stream.Position(), 0u);
  stream.Seek(5);
  EXPECT_TRUE(ThrowsOle([&] { stream.Seek(std::numeric_limits<std::int64_t>::min()); }, kStgInvalidFunction,
                        kMsgCfbSeekBeforeStart));
  EXPECT_EQ(stream.Position(), 5u);
  TBytes one(1);
  ASSERT_EQ(stream.Read(one), 1u);
  EXPECT_EQ(one[0], FContent[5]);
}

TEST_F(CompoundStreamReading, SeekPastTheEndIsAllowedAndReadsNothing)
{
  TCompoundStream stream = FFile.OpenStream("Workbook");
  stream.Seek(10005);
  TBytes buffer(16);
  EXPECT_EQ(stream.Read(buffer), 0u);
  EXPECT_EQ(stream.Position(), 10005u);
  stream.Seek(-6);
  ASSERT_EQ(stream.Read(buffer), 1u);
  EXPECT_EQ(buffer[0], FContent.back());
  stream.Seek(std::numeric_limits<std::int64_t>::max());
  stream.Seek(std::numeric_limits<std::int64_t>::max());
  stream.Seek(std::numeric_limits<std::int64_t>::max());
  EXPECT_GT(stream.Position(), 10000u);
  EXPECT_EQ(stream.Read(buffer), 0u);
}

TEST_F(CompoundStreamReading, AStreamOutlivesTheFileItCameFrom)
{
  TCompoundStream stream;
  {
    const TCompoundFile file = OpenBytes(TCompoundFileBuilder().AddStream("Book", Pattern(300, 4)).Build());
    stream = file.OpenStream("Book");
  }
  TBytes buffer(300);
  EXPECT_EQ(stream.Read(buffer), 300u);
  EXPECT_EQ(buffer, Pattern(300, 4));
}

TEST(CompoundStreamDefault, IsEmpty)
{
  TCompoundStream stream;
  TBytes buffer(4);
  EXPECT_EQ(stream.Size(), 0u);
  EXPECT_EQ(stream.Read(buffer), 0u);
  EXPECT_TRUE(stream.Bytes().empty());
}

// ---------------------------------------------------------------------------

class CompoundFileOnDisk : public testing::Test {
protected:
  void TearDown() override
  {
    if (!FPath.empty())
      std::filesystem::remove_all(FPath);
  }
  std::string MakePath(const std::string& leaf)
  {
    FPath = std::filesystem::temp_directory_path() /
            ("bifflens-cfb-" + std::to_string(::getpid()) + "-" +
             testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(FPath);
    return (FPath / leaf).string();
  }
  std::filesystem::path FPath;
};

TEST_F(CompoundFileOnDisk, OpensAFileReadWhole)
{
  const std::string path = MakePath("book.xls");
  const TBytes bytes = TCompoundFileBuilder().AddStream("Workbook", Pattern(200'000, 8)).Build();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  EXPECT_EQ(StreamBytes(TCompoundFile::OpenFile(path), "Workbook"), Pattern(200'000, 8));
}

TEST_F(CompoundFileOnDisk, ReportsAMissingFile)
{
  const std::string path = MakePath("missing.xls");
  EXPECT_TRUE(ThrowsOle([&] { TCompoundFile::OpenFile(path); }, kStgFileNotFound, CfbCannotOpenMessage(path)));
}

TEST_F(CompoundFileOnDisk, ReportsAFolderAsUnreadable)
{
  const std::string path = MakePath("folder.xls");
  std::filesystem::create_directory(path);
  EXPECT_TRUE(ThrowsOle([&] { TCompoundFile::OpenFile(path); }, kStgReadFault, CfbCannotReadMessage(path)));
}

TEST_F(CompoundFileOnDisk, ReportsAFileItMayNotRead)
{
  if (::geteuid() == 0)
    GTEST_SKIP() << "permissions do not stop the superuser";
  const std::string path = MakePath("locked.xls");
  std::ofstream(path) << "x";
  std::filesystem::permissions(path, std::filesystem::perms::none);
  EXPECT_TRUE(ThrowsOle([&] { TCompoundFile::OpenFile(path); }, kStgAccessDenied, CfbCannotOpenMessage(path)));
}

TEST_F(CompoundFileOnDisk, ReportsAFileThatIsNotACompoundFile)
{
  const std::string path = MakePath("bare.xls");
  std::ofstream(path, std::ios::binary) << std::string(600, '\x09');
  EXPECT_TRUE(ThrowsOle([&] { TCompoundFile::OpenFile(path); }, kStgInvalidHeader, kMsgCfbNotCompoundFile));
}

TEST(CompoundFileInMemory, RefusesAMissingBuffer)
{
  EXPECT_TRUE(ThrowsOle([] { TCompoundFile::Open(TSharedBytes{}); }, kStgInvalidPointer, kMsgCfbNoData));
}

// The damage texts no damaged-file test spells out: mini sectors, marks
// where a sector belongs, a bad first sector, the DIFAT's end.
TEST(CompoundFileMessages, EachDamageTextSaysWhereTheDamageIs)
{
  const std::string workbook = CfbStreamChain("Workbook", 1);
  const struct {
    std::string Text;
    const char* Expected;
  } cases[] = {
      {CfbBadLinkText(workbook, false, 57u, 9000, 128),
       "stream \"Workbook\" (entry 1): sector 57 links to sector 9000, beyond the 128 sectors the FAT describes"},
      {CfbBadLinkText(kCfbMiniFatChain, false, std::nullopt, 0xFFFFFFFD, 128),
       "the mini FAT chain starts at the FAT sector mark 0xFFFFFFFD"},
      {CfbBadLinkText(workbook, true, 3u, 700, 256),
       "stream \"Workbook\" (entry 1): mini sector 3 links to mini sector 700, beyond the 256 mini sectors the mini "
       "FAT describes"},
      {CfbPastDataText(kCfbDirectoryChain, false, std::nullopt, 30, 25),
       "the directory chain runs past the end of the file: it starts at sector 30, the file holds 25 sectors"},
      {CfbPastDataText(workbook, true, 4u, 6, 5),
       "stream \"Workbook\" (entry 1) runs past the end of the mini stream: mini sector 4 links to mini sector 6, the "
       "mini stream holds 5 mini sectors"},
      {CfbChainEndsText(kCfbMiniStreamChain, false, std::nullopt, 0, 8), "the mini stream has no sector, its size needs 8"},
      {CfbReadOnText(workbook, 9, 9, 1, 5, 40),
       "stream \"Workbook\" (entry 1) is read on in file order from sector 9 to sector 9: 1 sector, 5 of the 40 its "
       "size needs"},
      {CfbFatSectorText(0, 1, 100000, 20), "FAT sector 1 of 1 is listed as sector 100000, beyond the 20 sectors of the file"},
      {CfbDifatEndsText(7u, 236, 400), "the DIFAT chain ends after sector 7 with 236 of the 400 FAT sectors listed"},
      {CfbDifatEndsText(std::nullopt, 109, 400), "the DIFAT chain ends at the header with 109 of the 400 FAT sectors listed"},
      {CfbUnreachableText(136, 129), "136 sectors in use by the FAT belong to no chain, the first sector 129"},
      {CfbDamagedMessage(std::vector<std::string>{"a", "b"}), "Compound file is damaged: a; b"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.Text, c.Expected);
}

TEST(CompoundFileMessages, FormatTheNameIntoTheText)
{
  EXPECT_EQ(CfbStreamTooLargeMessage("Book"), "Compound file is damaged: stream \"Book\" is larger than the file");
  EXPECT_EQ(CfbStreamNotFoundMessage("X"), "The compound file has no stream named \"X\"");
  EXPECT_EQ(CfbCannotOpenMessage("/a b.xls"), "Cannot open the file \"/a b.xls\"");
  EXPECT_EQ(CfbCannotReadMessage("c.xls"), "Cannot read the file \"c.xls\"");
}

}  // namespace
