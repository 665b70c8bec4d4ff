// Damaged compound files: each case starts from a valid file made by the
// builder and changes one field, and is named after the defect.

#include "platform/CompoundFile.h"
#include "CfbTestSupport.h"
#include "platform/CompoundFileMessages.h"
#include "support/CompoundFileBuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using TBytes = std::vector<std::uint8_t>;

// Opens the file, then every stream in it.
void OpenAll(const TBytes& bytes)
{
  const TCompoundFile file = OpenBytes(bytes);
  for (const auto& element : file.RootElements()) {
    if (element.Type == 2)
      file.OpenStream(element.Name);
  }
}

testing::AssertionResult OpenFails(const TBytes& bytes, std::int32_t status, const std::string& message)
{
  return ThrowsOle([&] { OpenBytes(bytes); }, status, message);
}

testing::AssertionResult StreamFails(const TBytes& bytes, const std::string& name, std::int32_t status,
                                     const std::string& message)
{
  const TCompoundFile file = OpenBytes(bytes);
  return ThrowsOle([&] { file.OpenStream(name); }, status, message);
}

// A valid baseline: a regular stream of 20 sectors, a mini stream of 5 mini
// sectors and enough children for the directory to need two sectors.
TCompoundFileImage Baseline(int version = 3)
{
  return TCompoundFileBuilder()
      .Version(version)
      .AddStream("Workbook", Pattern(10000, 1))
      .AddStream("Small", Pattern(300, 2))
      .AddStream("CompObj", Pattern(50, 3))
      .AddStream("Ole", Pattern(20, 4))
      .AddStream("\x05SummaryInformation", Pattern(200, 5))
      .BuildImage();
}

std::size_t EntryOf(const TCompoundFileImage& image, const std::string& name)
{
  return image.Layout.EntryOffset(image.Layout.Stream(name).EntryId);
}

/// How the damage texts name the stream added as `name`.
std::string ChainOf(const TCompoundFileImage& image, const std::string& name)
{
  return CfbStreamChain(name, image.Layout.Stream(name).EntryId);
}

/// Sectors after the header, a partial last one counted.
std::size_t SectorCount(const TCompoundFileImage& image)
{
  const std::size_t size = image.Layout.SectorSize;
  return (image.Bytes.size() - size + size - 1) / size;
}

/// Entries the FAT (or the mini FAT) describes.
std::size_t FatEntries(const TCompoundFileImage& image)
{
  return image.Layout.FatSectors.size() * image.Layout.SectorSize / 4;
}
std::size_t MiniFatEntries(const TCompoundFileImage& image)
{
  return image.Layout.MiniFatSectors.size() * image.Layout.SectorSize / 4;
}

TEST(CompoundFileDamageBaseline, OpensWithEveryStreamIntact)
{
  for (const int version : {3, 4}) {
    const auto image = Baseline(version);
    ASSERT_EQ(image.Layout.DirectorySectors.size(), version == 3 ? 2u : 1u);
    const TCompoundFile file = OpenBytes(image.Bytes);
    const TCompoundStream stream = file.OpenStream("Workbook");
    EXPECT_TRUE(std::equal(stream.Bytes().begin(), stream.Bytes().end(), Pattern(10000, 1).begin()));
    EXPECT_EQ(file.OpenStream("Small").Size(), 300u);
  }
}

// --- Header ----------------------------------------------------------------

TEST(CompoundFileHeaderDamage, WrongSignature)
{
  auto image = Baseline();
  image.Bytes[7] = 0xE0;
  EXPECT_TRUE(OpenFails(image.Bytes, kStgInvalidHeader, kMsgCfbNotCompoundFile));
}

TEST(CompoundFileHeaderDamage, FileShorterThanAHeader)
{
  auto image = Baseline();
  image.Bytes.resize(511);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgInvalidHeader, kMsgCfbNotCompoundFile));
}

TEST(CompoundFileHeaderDamage, WrongByteOrderMark)
{
  auto image = Baseline();
  CfbPutU16(image.Bytes, kCfbHeaderByteOrder, 0xFEFF);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgInvalidHeader, kMsgCfbBadByteOrder));
}

TEST(CompoundFileHeaderDamage, UnknownMajorVersion)
{
  for (const std::uint16_t version : {2, 5, 0xFFFF}) {
    SCOPED_TRACE(version);
    auto image = Baseline();
    CfbPutU16(image.Bytes, kCfbHeaderMajorVersion, version);
    EXPECT_TRUE(OpenFails(image.Bytes, kStgInvalidHeader, kMsgCfbBadVersion));
  }
}

TEST(CompoundFileHeaderDamage, SectorSizeOfTheOtherVersion)
{
  auto version3 = Baseline(3);
  CfbPutU16(version3.Bytes, kCfbHeaderSectorShift, 12);
  EXPECT_TRUE(OpenFails(version3.Bytes, kStgInvalidHeader, kMsgCfbBadSectorSize));
  auto version4 = Baseline(4);
  CfbPutU16(version4.Bytes, kCfbHeaderSectorShift, 9);
  EXPECT_TRUE(OpenFails(version4.Bytes, kStgInvalidHeader, kMsgCfbBadSectorSize));
  // A shift too large to shift by must not reach a shift.
  CfbPutU16(version4.Bytes, kCfbHeaderSectorShift, 0xFFFF);
  EXPECT_TRUE(OpenFails(version4.Bytes, kStgInvalidHeader, kMsgCfbBadSectorSize));
}

TEST(CompoundFileHeaderDamage, UnusualMiniSectorSize)
{
  auto image = Baseline();
  CfbPutU16(image.Bytes, kCfbHeaderMiniSectorShift, 7);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgInvalidHeader, kMsgCfbBadMiniSectorSize));
}

TEST(CompoundFileHeaderDamage, UnusualMiniStreamCutoff)
{
  auto image = Baseline();
  CfbPutU32(image.Bytes, kCfbHeaderMiniStreamCutoff, 8192);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgInvalidHeader, kMsgCfbBadMiniStreamCutoff));
}

// --- FAT and DIFAT ---------------------------------------------------------

TEST(CompoundFileFatDamage, HeaderClaimsTwoToThe31FatSectors)
{
  auto image = Baseline();
  CfbPutU32(image.Bytes, kCfbHeaderFatSectorCount, 0x80000000u);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbFatCountText(0x80000000u, SectorCount(image)))));
}

TEST(CompoundFileFatDamage, HeaderClaimsOneFatSectorMoreThanTheFileHas)
{
  // The file has sectors enough for the claim, but the header lists no
  // second FAT sector: its entry is the free marker.
  auto image = Baseline();
  ASSERT_EQ(image.Layout.FatSectors.size(), 1u);
  CfbPutU32(image.Bytes, kCfbHeaderFatSectorCount, 2);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt,
                        "Compound file is damaged: FAT sector 2 of 2 is listed as a free sector"));
}

TEST(CompoundFileFatDamage, FatSectorNumberBeyondTheFile)
{
  auto image = Baseline();
  CfbPutU32(image.Bytes, kCfbHeaderDifat, 100000);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbFatSectorText(0, 1, 100000, SectorCount(image)))));
}

class CompoundFileDifatDamage : public testing::Test {
protected:
  // 400 FAT sectors: the header lists 109, the DIFAT sectors the rest.
  TCompoundFileImage FImage = TCompoundFileBuilder()
                                  .AddStream("Workbook", Pattern(9000, 1))
                                  .ExtraFatSectors(400)
                                  .BuildImage();
  std::size_t NextPointerOf(std::size_t difatIndex) const
  {
    return FImage.Layout.SectorOffset(FImage.Layout.DifatSectors.at(difatIndex)) + FImage.Layout.SectorSize - 4;
  }
};

TEST_F(CompoundFileDifatDamage, DifatChainThatLoopsToItself)
{
  const std::uint32_t first = FImage.Layout.DifatSectors[0];
  CfbPutU32(FImage.Bytes, NextPointerOf(0), first);
  EXPECT_TRUE(OpenFails(FImage.Bytes, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbChainLoopText(kCfbDifatChain, false, first, first))));
}

TEST_F(CompoundFileDifatDamage, DifatChainThatLoopsBackToItsStart)
{
  ASSERT_GE(FImage.Layout.DifatSectors.size(), 3u);
  const auto& difat = FImage.Layout.DifatSectors;
  CfbPutU32(FImage.Bytes, NextPointerOf(1), difat[0]);
  EXPECT_TRUE(OpenFails(FImage.Bytes, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbChainLoopText(kCfbDifatChain, false, difat[1], difat[0]))));
}

TEST_F(CompoundFileDifatDamage, DifatChainThatEndsBeforeTheFatIsListed)
{
  CfbPutU32(FImage.Bytes, NextPointerOf(0), kCfbEndOfChain);
  // 109 FAT sectors in the header, 127 in the one DIFAT sector read.
  EXPECT_TRUE(OpenFails(FImage.Bytes, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbDifatEndsText(FImage.Layout.DifatSectors[0], 236,
                                                           FImage.Layout.FatSectors.size()))));
}

TEST_F(CompoundFileDifatDamage, DifatSectorNumberOutOfRange)
{
  CfbPutU32(FImage.Bytes, kCfbHeaderFirstDifatSector, 0x00FFFFFF);
  EXPECT_TRUE(OpenFails(FImage.Bytes, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbPastDataText(kCfbDifatChain, false, std::nullopt, 0x00FFFFFF,
                                                          SectorCount(FImage)))));
}

TEST(CompoundFileChainDamage, FatChainThatLoops)
{
  auto image = Baseline();
  const auto& sectors = image.Layout.Stream("Workbook").Sectors;
  CfbPutU32(image.Bytes, image.Layout.FatEntryOffset(sectors[5]), sectors[2]);
  EXPECT_TRUE(StreamFails(
      image.Bytes, "Workbook", kStgDocFileCorrupt,
      CfbDamagedMessage(CfbChainLoopText(ChainOf(image, "Workbook"), false, sectors[5], sectors[2]))));
}

TEST(CompoundFileChainDamage, DirectoryChainThatLoops)
{
  auto image = Baseline();
  const auto& sectors = image.Layout.DirectorySectors;
  CfbPutU32(image.Bytes, image.Layout.FatEntryOffset(sectors[1]), sectors[0]);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbChainLoopText(kCfbDirectoryChain, false, sectors[1], sectors[0]))));
}

TEST(CompoundFileChainDamage, MiniFatChainThatLoops)
{
  auto image = Baseline();
  const auto& sectors = image.Layout.Stream("Small").Sectors;
  CfbPutU32(image.Bytes, image.Layout.MiniFatEntryOffset(sectors[3]), sectors[0]);
  EXPECT_TRUE(StreamFails(image.Bytes, "Small", kStgDocFileCorrupt,
                          CfbDamagedMessage(CfbChainLoopText(ChainOf(image, "Small"), true, sectors[3], sectors[0]))));
}

TEST(CompoundFileChainDamage, SectorNumberOutOfRange)
{
  auto image = Baseline();
  CfbPutU32(image.Bytes, EntryOf(image, "Workbook") + kCfbEntryStartSector, 0x00FFFFFF);
  EXPECT_TRUE(StreamFails(image.Bytes, "Workbook", kStgDocFileCorrupt,
                          CfbDamagedMessage(CfbBadLinkText(ChainOf(image, "Workbook"), false, std::nullopt,
                                                           0x00FFFFFF, FatEntries(image)))));
}

TEST(CompoundFileChainDamage, SpecialMarkerWhereASectorNumberBelongs)
{
  for (const std::uint32_t marker : {kCfbFreeSect, kCfbFatSect, kCfbDifSect, 0xFFFFFFFBu}) {
    SCOPED_TRACE(marker);
    auto image = Baseline();
    const auto& sectors = image.Layout.Stream("Workbook").Sectors;
    CfbPutU32(image.Bytes, image.Layout.FatEntryOffset(sectors[3]), marker);
    EXPECT_TRUE(StreamFails(image.Bytes, "Workbook", kStgDocFileCorrupt,
                            CfbDamagedMessage(CfbBadLinkText(ChainOf(image, "Workbook"), false, sectors[3], marker,
                                                             FatEntries(image)))));
  }
}

TEST(CompoundFileChainDamage, MiniSectorNumberOutOfRange)
{
  auto image = Baseline();
  CfbPutU32(image.Bytes, EntryOf(image, "Small") + kCfbEntryStartSector, 5000);
  EXPECT_TRUE(StreamFails(image.Bytes, "Small", kStgDocFileCorrupt,
                          CfbDamagedMessage(CfbBadLinkText(ChainOf(image, "Small"), true, std::nullopt, 5000,
                                                           MiniFatEntries(image)))));
}

TEST(CompoundFileChainDamage, MiniSectorBeyondTheMiniStream)
{
  // The mini FAT has room for it, but the mini stream holds only the sectors
  // its streams use.
  auto image = Baseline();
  const std::size_t root = image.Layout.EntryOffset(0);
  CfbPutU64(image.Bytes, root + kCfbEntrySize, 64);
  const auto& small = image.Layout.Stream("Small").Sectors;
  EXPECT_TRUE(StreamFails(image.Bytes, "Small", kStgDocFileCorrupt,
                          CfbDamagedMessage(CfbPastDataText(ChainOf(image, "Small"), true, small[0], small[1], 1))));
}

TEST(CompoundFileChainDamage, ChainShorterThanTheStreamSize)
{
  auto image = Baseline();
  const auto& sectors = image.Layout.Stream("Workbook").Sectors;
  CfbPutU32(image.Bytes, image.Layout.FatEntryOffset(sectors[10]), kCfbEndOfChain);
  EXPECT_TRUE(StreamFails(image.Bytes, "Workbook", kStgDocFileCorrupt,
                          CfbDamagedMessage(CfbChainEndsText(ChainOf(image, "Workbook"), false, sectors[10], 11, 20))));
}

TEST(CompoundFileChainDamage, MiniStreamShorterThanTheRootEntrySays)
{
  auto image = Baseline();
  const std::size_t root = image.Layout.EntryOffset(0);
  CfbPutU64(image.Bytes, root + kCfbEntrySize, 4096);
  const auto& container = image.Layout.MiniStreamSectors;
  EXPECT_TRUE(StreamFails(image.Bytes, "Small", kStgDocFileCorrupt,
                          CfbDamagedMessage(CfbChainEndsText(kCfbMiniStreamChain, false, container.back(),
                                                             container.size(), 8))));
}

// --- Sizes -----------------------------------------------------------------

TEST(CompoundFileSizeDamage, StreamSizeBeyondTheFile)
{
  // 2 GB claimed by a file of a few kB: refused before anything is allocated.
  auto image = Baseline();
  CfbPutU32(image.Bytes, EntryOf(image, "Workbook") + kCfbEntrySize, 0x7FFFFFFF);
  EXPECT_TRUE(StreamFails(image.Bytes, "Workbook", kStgDocFileCorrupt, CfbStreamTooLargeMessage("Workbook")));
}

TEST(CompoundFileSizeDamage, StreamSizeOneSectorBeyondTheFile)
{
  auto image = Baseline();
  const std::uint64_t capacity = image.Bytes.size() - image.Layout.SectorSize;
  CfbPutU32(image.Bytes, EntryOf(image, "Workbook") + kCfbEntrySize, static_cast<std::uint32_t>(capacity + 1));
  EXPECT_TRUE(StreamFails(image.Bytes, "Workbook", kStgDocFileCorrupt, CfbStreamTooLargeMessage("Workbook")));
  // Exactly the whole file's sectors: not impossible by size, but the chain
  // is too short for it.
  CfbPutU32(image.Bytes, EntryOf(image, "Workbook") + kCfbEntrySize, static_cast<std::uint32_t>(capacity));
  const auto& sectors = image.Layout.Stream("Workbook").Sectors;
  EXPECT_TRUE(StreamFails(image.Bytes, "Workbook", kStgDocFileCorrupt,
                          CfbDamagedMessage(CfbChainEndsText(ChainOf(image, "Workbook"), false, sectors.back(),
                                                             sectors.size(), capacity / 512))));
}

TEST(CompoundFileSizeDamage, Version4StreamSizeWithAHighDword)
{
  // Unlike version 3, version 4 sizes are 64-bit: the high dword counts.
  auto image = Baseline(4);
  CfbPutU32(image.Bytes, EntryOf(image, "Workbook") + kCfbEntrySize + 4, 1);
  EXPECT_TRUE(StreamFails(image.Bytes, "Workbook", kStgDocFileCorrupt, CfbStreamTooLargeMessage("Workbook")));
}

TEST(CompoundFileSizeDamage, MiniStreamSizeBeyondTheFile)
{
  auto image = Baseline();
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(0) + kCfbEntrySize, 0x7FFFFFFF);
  EXPECT_TRUE(StreamFails(image.Bytes, "Small", kStgDocFileCorrupt, CfbStreamTooLargeMessage("Root Entry")));
}

TEST(CompoundFileSizeDamage, TruncatedFile)
{
  // Cut inside the last stream: the directory still opens, the stream fails.
  auto image = Baseline();
  const auto& sectors = image.Layout.Stream("Workbook").Sectors;
  image.Bytes.resize(image.Layout.SectorOffset(sectors[12]));
  EXPECT_TRUE(StreamFails(image.Bytes, "Workbook", kStgDocFileCorrupt,
                          CfbDamagedMessage(CfbPastDataText(ChainOf(image, "Workbook"), false, sectors[11], sectors[12],
                                                            sectors[12]))));
  // Cut before the directory: the file does not open.
  const std::uint32_t directory = image.Layout.DirectorySectors[0];
  image.Bytes.resize(image.Layout.SectorOffset(directory));
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbPastDataText(kCfbDirectoryChain, false, std::nullopt, directory,
                                                          directory))));
}

TEST(CompoundFileSizeDamage, PartialLastSectorMissingStreamBytes)
{
  // The stream's last sector is present but one byte short of the stream.
  auto image = TCompoundFileBuilder().AddStream("Workbook", Pattern(5000, 4)).BuildImage();
  const std::uint32_t last = image.Layout.Stream("Workbook").Sectors.back();
  image.Bytes.resize(image.Layout.SectorOffset(last) + 5000 % 512 - 1);
  EXPECT_TRUE(StreamFails(image.Bytes, "Workbook", kStgDocFileCorrupt,
                          CfbDamagedMessage(CfbChainCutText(ChainOf(image, "Workbook"), last, 391, 392))));
}

// --- Directory -------------------------------------------------------------

TEST(CompoundFileDirectoryDamage, DirectorySiblingCycle)
{
  // The right-most child links back to the tree's top.
  auto image = Baseline();
  const std::uint32_t top = CfbGetU32(image.Bytes, image.Layout.EntryOffset(0) + kCfbEntryChild);
  std::uint32_t node = top;
  while (CfbGetU32(image.Bytes, image.Layout.EntryOffset(node) + kCfbEntryRight) != kCfbNoStream)
    node = CfbGetU32(image.Bytes, image.Layout.EntryOffset(node) + kCfbEntryRight);
  ASSERT_NE(node, top);
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(node) + kCfbEntryRight, top);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt, CfbDamagedMessage(CfbTreeLoopText(node, top))));
}

TEST(CompoundFileDirectoryDamage, EntryThatIsItsOwnLeftSibling)
{
  auto image = Baseline();
  const std::uint32_t top = CfbGetU32(image.Bytes, image.Layout.EntryOffset(0) + kCfbEntryChild);
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(top) + kCfbEntryLeft, top);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt, CfbDamagedMessage(CfbTreeLoopText(top, top))));
}

TEST(CompoundFileDirectoryDamage, SiblingThatIsTheRootEntry)
{
  auto image = Baseline();
  const std::uint32_t top = CfbGetU32(image.Bytes, image.Layout.EntryOffset(0) + kCfbEntryChild);
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(top) + kCfbEntryLeft, 0);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt, CfbDamagedMessage(CfbTreeLoopText(top, 0))));
}

TEST(CompoundFileDirectoryDamage, SiblingNumberOutOfRange)
{
  auto image = Baseline();
  const std::uint32_t top = CfbGetU32(image.Bytes, image.Layout.EntryOffset(0) + kCfbEntryChild);
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(top) + kCfbEntryRight, 8);  // 8 entries in two sectors
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt, CfbDamagedMessage(CfbEntryOutOfRangeText(top, 8, 8))));
}

TEST(CompoundFileDirectoryDamage, RootEntryOfTheWrongType)
{
  auto image = Baseline();
  image.Bytes[image.Layout.EntryOffset(0) + kCfbEntryType] = 1;
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt, kMsgCfbNoRootEntry));
}

TEST(CompoundFileDirectoryDamage, NoDirectorySector)
{
  auto image = Baseline();
  CfbPutU32(image.Bytes, kCfbHeaderFirstDirectorySector, kCfbEndOfChain);
  EXPECT_TRUE(OpenFails(image.Bytes, kStgDocFileCorrupt, kMsgCfbNoRootEntry));
}

TEST(CompoundFileDirectoryDamage, UnusedEntryLinkedIntoTheTreeIsPassedOver)
{
  auto image = Baseline();
  image.Bytes[EntryOf(image, "Ole") + kCfbEntryType] = 0;
  const TCompoundFile file = OpenBytes(image.Bytes);
  EXPECT_EQ(file.RootElements().size(), 4u);
  EXPECT_TRUE(ThrowsOle([&] { file.OpenStream("Ole"); }, kStgFileNotFound, CfbStreamNotFoundMessage("Ole")));
  EXPECT_EQ(file.OpenStream("CompObj").Size(), 50u);
}

// --- Any damage ------------------------------------------------------------

// Bounded stand-ins for a fuzzer: every single-byte change of the structures,
// and every length of the file, must open or fail with EOleError; any other
// exception fails the test, a crash or an unchecked read fails the run (and
// the sanitizer build).
TEST(CompoundFileAnyDamage, EveryByteChangeOfTheStructuresOpensOrFailsCleanly)
{
  const auto image = Baseline();
  const std::size_t end = image.Layout.SectorOffset(image.Layout.MiniStreamSectors.back()) + image.Layout.SectorSize;
  std::size_t failures = 0;
  for (std::size_t offset = 0; offset < end; ++offset) {
    for (const std::uint8_t value : {0x00, 0x01, 0x7F, 0xFF}) {
      if (image.Bytes[offset] == value)
        continue;
      TBytes bytes = image.Bytes;
      bytes[offset] = value;
      try {
        OpenAll(bytes);
      } catch (const EOleError&) {
        ++failures;
      }
    }
  }
  EXPECT_GT(failures, 0u);
}

TEST(CompoundFileAnyDamage, EveryTruncationOpensOrFailsCleanly)
{
  // Every stream ends within the last sector: the file reads whole exactly
  // while it keeps the last stream's last byte.
  const auto image = Baseline(4);
  const std::uint32_t last = image.Layout.Stream("Workbook").Sectors.back();
  const std::size_t shortestWhole = image.Layout.SectorOffset(last) + 10000 % 4096;
  for (std::size_t size = 0; size <= image.Bytes.size(); size += size + 13 < shortestWhole ? 13 : 1) {
    SCOPED_TRACE(size);
    bool opened = true;
    try {
      OpenAll(TBytes(image.Bytes.begin(), image.Bytes.begin() + static_cast<std::ptrdiff_t>(size)));
    } catch (const EOleError&) {
      opened = false;
    }
    EXPECT_EQ(opened, size >= shortestWhole);
  }
}

}  // namespace
