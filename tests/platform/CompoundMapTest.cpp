// The tolerant compound-file map: a sound file mapped sector by sector as
// the builder laid it out; each kind of damage named and the rest still
// mapped; a stream's bytes found at their file offsets; the map of a file
// on disk the same as of one in memory.

#include "platform/CompoundMap.h"
#include "platform/FileReader.h"
#include "support/CompoundFileBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>

namespace {

using ::testing::HasSubstr;

std::vector<std::uint8_t> Counting(std::size_t size)
{
  std::vector<std::uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
  return bytes;
}

/// "Workbook" of 5,000 bytes in regular sectors, "Small" of 100 in the mini
/// stream, and an empty storage.
TCompoundFileImage Sample()
{
  return TCompoundFileBuilder()
      .AddStream("Workbook", Counting(5000))
      .AddStream("Small", Counting(100))
      .AddStorage("Box")
      .BuildImage();
}

const TCompoundEntry& Entry(const TCompoundMap& map, std::string_view name)
{
  for (const TCompoundEntry& e : map.Entries)
    if (e.Name == name)
      return e;
  throw std::out_of_range(std::string(name));
}

std::vector<std::string> Messages(const TCompoundMap& map)
{
  std::vector<std::string> messages;
  for (const TCompoundProblem& p : map.Problems)
    messages.push_back(p.Message);
  return messages;
}

}  // namespace

TEST(CompoundMap, ASoundFileIsMappedAsItWasLaidOut)
{
  const TCompoundFileImage image = Sample();
  const TCompoundMap map = MapCompoundFile(image.Bytes);
  ASSERT_TRUE(map.Valid);
  EXPECT_TRUE(map.Problems.empty()) << ::testing::PrintToString(Messages(map));
  EXPECT_EQ(map.SectorSize, 512u);
  EXPECT_EQ(map.Sectors.size(), image.Bytes.size() / 512 - 1);

  const TCompoundEntry& workbook = Entry(map, "Workbook");
  const TCompoundEntry& small = Entry(map, "Small");
  EXPECT_TRUE(workbook.Type == 2 && workbook.Size == 5000 && !workbook.InMiniStream);
  EXPECT_TRUE(small.Type == 2 && small.Size == 100 && small.InMiniStream);
  EXPECT_EQ(Entry(map, "Box").Type, 1);
  EXPECT_EQ(map.Entries[0].Type, 5);

  const auto& layout = image.Layout;
  EXPECT_EQ(map.Chains[workbook.Id], layout.Stream("Workbook").Sectors);
  EXPECT_EQ(map.Chains[small.Id], layout.Stream("Small").Sectors);
  const auto uses = [&](const std::vector<std::uint32_t>& sectors, TSectorUse use) {
    for (const std::uint32_t n : sectors)
      EXPECT_EQ(map.Sectors[n].Use, use) << "sector " << n;
  };
  uses(layout.FatSectors, TSectorUse::suFat);
  uses(layout.DirectorySectors, TSectorUse::suDirectory);
  uses(layout.MiniFatSectors, TSectorUse::suMiniFat);
  uses(layout.MiniStreamSectors, TSectorUse::suMiniStream);
  uses(layout.Stream("Workbook").Sectors, TSectorUse::suStream);
  // 10 sectors for 5,000 bytes: 120 bytes of slack in the last.
  EXPECT_EQ(map.Sectors[layout.Stream("Workbook").Sectors.back()].Slack, 120u);
  EXPECT_EQ(map.Sectors[layout.Stream("Workbook").Sectors.front()].Slack, 0u);

  // The stream's bytes as the map finds them, and its file runs.
  EXPECT_EQ(map.StreamBytes(image.Bytes, workbook.Id), Counting(5000));
  EXPECT_EQ(map.StreamBytes(image.Bytes, small.Id), Counting(100));
  // Bytes 500-529 lie in the first two sectors, which are neighbours: one run.
  const std::uint64_t first = layout.SectorOffset(layout.Stream("Workbook").Sectors[0]);
  EXPECT_EQ(map.FileRuns(workbook.Id, 500, 30), (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{first + 500, 30}}));
  // In the mini stream, across a mini sector's end.
  std::vector<std::uint8_t> gathered;
  for (const auto& [offset, length] : map.FileRuns(small.Id, 60, 10))
    gathered.insert(gathered.end(), image.Bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                    image.Bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
  const auto small100 = Counting(100);
  EXPECT_EQ(gathered, std::vector<std::uint8_t>(small100.begin() + 60, small100.begin() + 70));
  EXPECT_TRUE(map.FileRuns(workbook.Id, 5000, 10).empty());

  // A chain out of order (0, 1, 3, 2, 4, ...): bytes 1020-1029 end the
  // second sector and go on in the fourth.
  TCompoundFileImage shuffled = Sample();
  const auto& s = shuffled.Layout.Stream("Workbook").Sectors;
  CfbPutU32(shuffled.Bytes, shuffled.Layout.FatEntryOffset(s[1]), s[3]);
  CfbPutU32(shuffled.Bytes, shuffled.Layout.FatEntryOffset(s[3]), s[2]);
  CfbPutU32(shuffled.Bytes, shuffled.Layout.FatEntryOffset(s[2]), s[4]);
  const TCompoundMap reordered = MapCompoundFile(shuffled.Bytes);
  EXPECT_TRUE(reordered.Problems.empty());
  EXPECT_EQ(reordered.FileRuns(workbook.Id, 1020, 10),
            (std::vector<std::pair<std::uint64_t, std::uint64_t>>{
                {shuffled.Layout.SectorOffset(s[1]) + 508, 4}, {shuffled.Layout.SectorOffset(s[3]), 6}}));
}

TEST(CompoundMap, EachDamageIsNamedWhereItIsAndTheRestIsStillMapped)
{
  struct TCase {
    const char* Name;
    std::function<void(TCompoundFileImage&)> Damage;
    std::function<std::string(const TCompoundFileLayout&)> Problem;
  };
  const auto sector = [](const TCompoundFileLayout& l, std::size_t i) {
    return std::to_string(l.Stream("Workbook").Sectors[i]);
  };
  const TCase cases[] = {
      {"chain into a free sector",
       [](TCompoundFileImage& f) { CfbPutU32(f.Bytes, f.Layout.FatEntryOffset(f.Layout.Stream("Workbook").Sectors[3]), kCfbFreeSect); },
       [&](const TCompoundFileLayout& l) {
         return "stream \"Workbook\" (entry 1): sector " + sector(l, 3) + " links to a free sector";
       }},
      {"chain loops",
       [](TCompoundFileImage& f) {
         const auto& s = f.Layout.Stream("Workbook").Sectors;
         CfbPutU32(f.Bytes, f.Layout.FatEntryOffset(s[4]), s[1]);
       },
       [&](const TCompoundFileLayout& l) {
         return "stream \"Workbook\" (entry 1) loops: sector " + sector(l, 4) + " links back to sector " + sector(l, 1);
       }},
      {"a sector claimed twice",
       [](TCompoundFileImage& f) {
         // The directory's chain runs on into the stream's first sector.
         CfbPutU32(f.Bytes, f.Layout.FatEntryOffset(f.Layout.DirectorySectors.back()), f.Layout.Stream("Workbook").Sectors[0]);
       },
       [&](const TCompoundFileLayout& l) {
         return "sector " + sector(l, 0) + " is claimed by the directory chain and by stream \"Workbook\" (entry 1)";
       }},
      {"a sector in no chain",
       [](TCompoundFileImage& f) {
         const auto& s = f.Layout.Stream("Workbook").Sectors;
         CfbPutU32(f.Bytes, f.Layout.FatEntryOffset(s[s.size() - 2]), kCfbEndOfChain);
       },
       [&](const TCompoundFileLayout& l) {
         return "1 sector in use by the FAT belongs to no chain, the first sector " + sector(l, 9);
       }},
      {"directory loop",
       [](TCompoundFileImage& f) {
         const auto id = f.Layout.Stream("Workbook").EntryId;
         CfbPutU32(f.Bytes, f.Layout.EntryOffset(id) + kCfbEntryLeft, id);
       },
       [](const TCompoundFileLayout&) { return std::string("directory tree loops: entry 1 links back to entry 1"); }},
      {"file cut inside a stream",
       [](TCompoundFileImage& f) { f.Bytes.resize(f.Layout.SectorOffset(f.Layout.Stream("Workbook").Sectors[5]) + 100); },
       [&](const TCompoundFileLayout& l) {
         return "stream \"Workbook\" (entry 1) runs past the end of the file: sector " + sector(l, 5) +
                " links to sector " + sector(l, 6) + ", the file holds " + sector(l, 6) + " sectors";
       }},
      {"file cut inside a stream's last sector",
       [](TCompoundFileImage& f) { f.Bytes.resize(f.Layout.SectorOffset(f.Layout.Stream("Workbook").Sectors.back()) + 100); },
       [&](const TCompoundFileLayout& l) {
         return "stream \"Workbook\" (entry 1) is cut short by the end of the file: sector " + sector(l, 9) +
                " holds 100 of its 392 bytes";
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TCompoundFileImage image = Sample();
    c.Damage(image);
    const TCompoundMap map = MapCompoundFile(image.Bytes);
    ASSERT_TRUE(map.Valid);
    EXPECT_THAT(Messages(map), ::testing::Contains(c.Problem(image.Layout)));
    // What the damage leaves is still found.
    EXPECT_EQ(map.StreamBytes(image.Bytes, Entry(map, "Small").Id), Counting(100));
  }
  // The sector no chain reaches is marked so.
  TCompoundFileImage orphan = Sample();
  cases[3].Damage(orphan);
  EXPECT_EQ(MapCompoundFile(orphan.Bytes).Sectors[orphan.Layout.Stream("Workbook").Sectors.back()].Use,
            TSectorUse::suUnreachable);
  EXPECT_FALSE(MapCompoundFile(std::vector<std::uint8_t>(600, 0)).Valid);
}

// A chain broken in the middle of a stream laid out forward: the sectors
// after its last one are the rest of the stream while the FAT uses them and
// no other chain does.
TEST(CompoundMapReadOn, ABrokenChainGoesOnInFileOrderAsFarAsThatIsPlausible)
{
  struct TCase {
    const char* Name;
    std::function<void(TCompoundFileImage&)> Damage;
    std::size_t Chain;   // sectors of the Workbook's chain in the map
    std::size_t ReadOn;  // of them, taken in file order
  };
  const auto fat = [](TCompoundFileImage& f, std::size_t i, std::uint32_t value) {
    CfbPutU32(f.Bytes, f.Layout.FatEntryOffset(f.Layout.Stream("Workbook").Sectors[i]), value);
  };
  const TCase cases[] = {
      {"a link into a free sector", [&](TCompoundFileImage& f) { fat(f, 3, kCfbFreeSect); }, 10, 6},
      {"a link out of range", [&](TCompoundFileImage& f) { fat(f, 0, 0x00FFFFFF); }, 10, 9},
      {"a link back", [&](TCompoundFileImage& f) { fat(f, 6, f.Layout.Stream("Workbook").Sectors[2]); }, 10, 3},
      {"a free sector after the break",
       [&](TCompoundFileImage& f) {
         fat(f, 3, kCfbFreeSect);
         fat(f, 6, kCfbFreeSect);
       },
       6, 2},
      // The "Other" stream's sectors follow the Workbook's.
      {"a size beyond the stream's sectors",
       [&](TCompoundFileImage& f) {
         fat(f, 3, kCfbFreeSect);
         CfbPutU32(f.Bytes, f.Layout.EntryOffset(f.Layout.Stream("Workbook").EntryId) + kCfbEntrySize, 9000);
       },
       10, 6},
      // An end mark before the size: the size may be what is wrong.
      {"an early end of the chain", [&](TCompoundFileImage& f) { fat(f, 3, kCfbEndOfChain); }, 4, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TCompoundFileImage image = TCompoundFileBuilder()
                                   .AddStream("Workbook", Counting(5000))
                                   .AddStream("Other", Counting(4500))
                                   .BuildImage();
    c.Damage(image);
    const TCompoundMap map = MapCompoundFile(image.Bytes);
    const auto& sectors = image.Layout.Stream("Workbook").Sectors;
    const std::uint32_t id = image.Layout.Stream("Workbook").EntryId;
    EXPECT_EQ(map.Chains[id],
              std::vector<std::uint32_t>(sectors.begin(), sectors.begin() + static_cast<std::ptrdiff_t>(c.Chain)));
    std::size_t readOn = 0;
    for (const std::uint32_t n : map.Chains[id])
      readOn += map.Sectors[n].ReadOn ? 1 : 0;
    EXPECT_EQ(readOn, c.ReadOn);
    // The bytes found are the stream's own, from its start.
    std::vector<std::uint8_t> bytes = map.StreamBytes(image.Bytes, id);
    EXPECT_EQ(bytes.size(), std::min<std::size_t>(c.Chain * 512, map.Entries[id].Size));
    bytes.resize(std::min<std::size_t>(bytes.size(), 5000));
    const std::vector<std::uint8_t> stream = Counting(5000);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), stream.begin()));
    // The other stream is whole and its own.
    EXPECT_EQ(map.StreamBytes(image.Bytes, image.Layout.Stream("Other").EntryId), Counting(4500));
  }
}

// The tree walked as the strict reader walks it, but on past a bad link:
// the entries reached before it keep their places.
TEST(CompoundMapTree, AnEntryReachedFromTheRootStaysTheRootsWhenAStorageLinksToItToo)
{
  TCompoundFileImage image = Sample();
  const std::uint32_t box = image.Layout.Stream("Box").EntryId;
  const std::uint32_t workbook = image.Layout.Stream("Workbook").EntryId;
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(box) + kCfbEntryChild, workbook);
  const TCompoundMap map = MapCompoundFile(image.Bytes);
  EXPECT_FALSE(Entry(map, "Workbook").Nested);
  EXPECT_EQ(map.RootChildren.size(), 3u);
  EXPECT_EQ(Messages(map), (std::vector<std::string>{"directory tree loops: entry " + std::to_string(box) +
                                                     " links back to entry " + std::to_string(workbook)}));
  EXPECT_EQ(map.Problems[0].Scope, TProblemScope::psTree);
  EXPECT_EQ(map.Problems[0].Entry, box);
}

TEST(CompoundMap, AFileOnDiskMapsAsInMemory)
{
  TCompoundFileImage image = Sample();
  CfbPutU32(image.Bytes, image.Layout.FatEntryOffset(image.Layout.Stream("Workbook").Sectors[3]), kCfbFreeSect);
  const auto path = std::filesystem::temp_directory_path() / ("bifflens-map-" + std::to_string(getpid()));
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.Bytes.data()), static_cast<std::streamsize>(image.Bytes.size()));
  const auto file = TFileReader::Open(path.string());
  ASSERT_TRUE(file);
  const TCompoundMap onDisk = MapCompoundFile(*file);
  const TCompoundMap inMemory = MapCompoundFile(image.Bytes);
  std::filesystem::remove(path);
  EXPECT_EQ(Messages(onDisk), Messages(inMemory));
  EXPECT_EQ(onDisk.Chains, inMemory.Chains);
  ASSERT_EQ(onDisk.Sectors.size(), inMemory.Sectors.size());
  for (std::size_t n = 0; n < onDisk.Sectors.size(); ++n)
    EXPECT_TRUE(onDisk.Sectors[n].Use == inMemory.Sectors[n].Use && onDisk.Sectors[n].Slack == inMemory.Sectors[n].Slack);
}
