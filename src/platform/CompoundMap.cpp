#include "platform/CompoundMap.h"

#include "platform/CfbByteCursor.h"
#include "platform/CompoundFile.h"
#include "platform/CompoundFileMessages.h"
#include "platform/FileReader.h"
#include "platform/text/Utf.h"

#include <algorithm>
#include <optional>

namespace {

// [MS-CFB] 2.2 header fields, 2.1 sector markers, 2.6 directory entries.
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::size_t kHeaderDifatAt = 76;
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kDifatMark = 0xFFFFFFFC;
constexpr std::uint32_t kFatMark = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
constexpr std::uint32_t kNoSector = 0xFFFFFFFF;
constexpr std::size_t kEntrySize = 128;
constexpr std::size_t kNameUnits = 32;
constexpr std::uint8_t kTypeStorage = 1;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;
constexpr std::size_t kMiniSectorSize = 64;
constexpr std::uint64_t kMiniStreamCutoff = 4096;

struct THeaderFields {
  std::uint16_t Major = 0;
  std::uint16_t Shift = 0;
  std::uint32_t FatCount = 0;
  std::uint32_t FirstDirectory = 0;
  std::uint32_t FirstMiniFat = 0;
  std::uint32_t FirstDifat = 0;
};

std::optional<THeaderFields> ReadHeaderFields(std::span<const std::uint8_t> file)
{
  if (file.size() > kHeaderSize)
    file = file.first(kHeaderSize);
  if (!IsCompoundFile(file))
    return std::nullopt;
  TCfbByteCursor cursor(file.first(kHeaderSize));
  cursor.Skip(26);
  THeaderFields h;
  h.Major = cursor.ReadU16();
  cursor.Skip(2);
  h.Shift = cursor.ReadU16();
  if (h.Shift != 9 && h.Shift != 12)
    return std::nullopt;
  cursor.Skip(2 + 6 + 4);
  h.FatCount = cursor.ReadU32();
  h.FirstDirectory = cursor.ReadU32();
  cursor.Skip(8);
  h.FirstMiniFat = cursor.ReadU32();
  cursor.Skip(4);
  h.FirstDifat = cursor.ReadU32();
  return h;
}

std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t divisor)
{
  return value / divisor + (value % divisor != 0 ? 1 : 0);
}

class TMapper {
public:
  /// Maps a file held in memory (`file`) or, when `reader` is given, one
  /// read a sector at a time (`file` then holds the header only).
  TMapper(std::span<const std::uint8_t> file, const TFileReader* reader, const THeaderFields& header,
          TCompoundMap& map)
      : FFile(file), FReader(reader), FHeader(header), FMap(map)
  {
    FSize = std::size_t{1} << header.Shift;
    const std::uint64_t fileSize = reader ? reader->Size() : file.size();
    FCount = fileSize <= FSize ? 0 : static_cast<std::size_t>((fileSize - 1) / FSize);
    map.MajorVersion = header.Major;
    map.SectorSize = FSize;
    map.Sectors.assign(FCount, {});
  }

  void Run()
  {
    ReadFat();
    ReadDirectory();
    WalkTree();
    ReadMiniFat();
    MapStreams();
    ReadOn();
    MarkStreamEnds();
    MarkUnreachable();
  }

private:
  /// A chain as a damage text names it, and what its problems concern.
  struct TChainName {
    std::string Text;
    bool Mini = false;
    TProblemScope Scope = TProblemScope::psStructure;
    std::uint32_t Entry = kNoEntry;
  };
  /// A chain followed up to its first break.
  struct TWalk {
    std::vector<std::uint32_t> Sectors;
    bool Broken = false;  // a bad link ended it, not its end mark or its length
  };

  /// The bytes of sector `n` the file holds; read from the file into a
  /// buffer that the next call reuses, when the file is not in memory.
  std::span<const std::uint8_t> Bytes(std::uint32_t n)
  {
    if (n >= FCount)
      return {};
    const std::uint64_t at = (static_cast<std::uint64_t>(n) + 1) * FSize;
    if (!FReader)
      return FFile.subspan(static_cast<std::size_t>(at), std::min<std::size_t>(FSize, FFile.size() - static_cast<std::size_t>(at)));
    FScratch.resize(FSize);
    std::size_t read = 0;
    if (!FReader->ReadAt(at, FScratch, read))
      read = 0;
    return std::span<const std::uint8_t>(FScratch).first(read);
  }
  static void AppendEntries(std::span<const std::uint8_t> sector, std::vector<std::uint32_t>& out)
  {
    for (std::size_t at = 0; at + 4 <= sector.size(); at += 4) {
      TCfbByteCursor cursor(sector.subspan(at, 4));
      out.push_back(cursor.ReadU32());
    }
  }
  void Problem(std::string message, std::optional<std::uint32_t> sector = std::nullopt,
               TProblemScope scope = TProblemScope::psStructure, std::uint32_t entry = kNoEntry)
  {
    FMap.Problems.push_back({std::move(message), sector.value_or(kNoSector), scope, entry});
  }
  void Problem(std::string message, std::optional<std::uint32_t> sector, const TChainName& chain)
  {
    Problem(std::move(message), sector, chain.Scope, chain.Entry);
  }
  /// How the holder of a sector is named in a damage text.
  std::string Holder(TSectorUse use, std::uint32_t owner) const
  {
    switch (use) {
    case TSectorUse::suFat: return kCfbFatHolder;
    case TSectorUse::suDifat: return kCfbDifatChain;
    case TSectorUse::suDirectory: return kCfbDirectoryChain;
    case TSectorUse::suMiniFat: return kCfbMiniFatChain;
    case TSectorUse::suMiniStream: return kCfbMiniStreamChain;
    default: return CfbStreamChain(FMap.Entries[owner].Name, owner);
    }
  }
  /// Marks sector `n` for a use; a sector another chain holds is claimed twice.
  void Mark(std::uint32_t n, TSectorUse use, std::uint32_t owner)
  {
    TCompoundSector& sector = FMap.Sectors[n];
    if (sector.Use != TSectorUse::suFree) {
      if (!sector.Claimed)
        Problem(CfbSectorSharedText(n, Holder(sector.Use, sector.Owner), Holder(use, owner)), n,
                TProblemScope::psShared);
      sector.Claimed = true;
      return;
    }
    sector.Use = use;
    sector.Owner = owner;
  }
  /// A chain through `table` from `start`, at most `most` long, up to its
  /// first break, which is a problem in `chain`'s name. `usable` counts the
  /// sectors whose data exists; `need`, when given, the sectors the
  /// stream's size needs: an end mark before them is a problem too.
  TWalk Chain(const std::vector<std::uint32_t>& table, std::uint32_t start, std::size_t usable, std::size_t most,
              const TChainName& chain, std::optional<std::uint64_t> need)
  {
    TWalk walk;
    std::vector<std::uint32_t>& sectors = walk.Sectors;
    std::vector<bool> seen(std::min(table.size(), usable), false);
    std::optional<std::uint32_t> from;
    std::uint32_t n = start;
    while (sectors.size() < most) {
      if (n == kEndOfChain) {
        if (need)
          Problem(CfbChainEndsText(chain.Text, chain.Mini, from, sectors.size(), *need), from, chain);
        break;
      }
      if (n > kMaxRegularSector || n >= seen.size()) {
        // A sector the table lists but the file no longer holds: the file
        // was cut, which says more than a bad number would.
        if (n <= kMaxRegularSector && n < table.size())
          Problem(CfbPastDataText(chain.Text, chain.Mini, from, n, usable), from, chain);
        else
          Problem(CfbBadLinkText(chain.Text, chain.Mini, from, n, table.size()), from, chain);
        walk.Broken = true;
        break;
      }
      if (seen[n]) {
        Problem(CfbChainLoopText(chain.Text, chain.Mini, *from, n), from, chain);
        walk.Broken = true;
        break;
      }
      seen[n] = true;
      sectors.push_back(n);
      from = n;
      n = table[n];
    }
    return walk;
  }

  // [MS-CFB] 2.5: the FAT sectors are listed by the header, then by DIFAT sectors.
  void ReadFat()
  {
    const std::size_t perSector = FSize / 4;
    // A count the file cannot hold is said once; the listing then ends
    // where the real FAT sectors do.
    const bool countFits = FHeader.FatCount <= FCount;
    if (!countFits)
      Problem(CfbFatCountText(FHeader.FatCount, FCount));
    const std::size_t wanted = std::min<std::size_t>(FHeader.FatCount, FCount);
    std::vector<std::uint32_t> fatSectors;
    bool ended = false;
    auto take = [&](std::uint32_t n) {
      if (n <= kMaxRegularSector && n < FCount) {
        fatSectors.push_back(n);
        return;
      }
      if (countFits)
        Problem(CfbFatSectorText(fatSectors.size(), wanted, n, FCount));
      ended = true;
    };
    TCfbByteCursor difat(FFile.subspan(kHeaderDifatAt, 4 * kHeaderDifatEntries));
    for (std::size_t i = 0; i < kHeaderDifatEntries && !ended && fatSectors.size() < wanted; ++i)
      take(difat.ReadU32());
    std::vector<bool> seen(FCount, false);
    std::optional<std::uint32_t> last;
    for (std::uint32_t n = FHeader.FirstDifat; !ended && fatSectors.size() < wanted;) {
      if (n == kEndOfChain || n == kFreeSector) {
        Problem(CfbDifatEndsText(last, fatSectors.size(), wanted), last);
        break;
      }
      if (n > kMaxRegularSector || n >= FCount) {
        Problem(n > kMaxRegularSector ? CfbBadLinkText(kCfbDifatChain, false, last, n, FCount)
                                      : CfbPastDataText(kCfbDifatChain, false, last, n, FCount),
                last);
        break;
      }
      if (seen[n]) {
        Problem(CfbChainLoopText(kCfbDifatChain, false, *last, n), last);
        break;
      }
      seen[n] = true;
      last = n;
      Mark(n, TSectorUse::suDifat, 0);
      std::vector<std::uint32_t> entries;
      AppendEntries(Bytes(n), entries);
      if (entries.size() < perSector)
        break;
      for (std::size_t i = 0; i + 1 < perSector && !ended && fatSectors.size() < wanted; ++i)
        take(entries[i]);
      n = entries.back();
    }
    FFat.reserve(fatSectors.size() * perSector);
    for (const std::uint32_t n : fatSectors) {
      Mark(n, TSectorUse::suFat, 0);
      const std::size_t before = FFat.size();
      AppendEntries(Bytes(n), FFat);
      FFat.resize(before + perSector, kFreeSector);
    }
  }

  void ReadDirectory()
  {
    const TChainName name{kCfbDirectoryChain};
    FDirectory = Chain(FFat, FHeader.FirstDirectory, FCount, FCount, name, std::nullopt).Sectors;
    for (const std::uint32_t n : FDirectory) {
      Mark(n, TSectorUse::suDirectory, 0);
      const auto bytes = Bytes(n);
      for (std::size_t at = 0; at + kEntrySize <= bytes.size(); at += kEntrySize)
        FMap.Entries.push_back(ReadEntry(bytes.subspan(at, kEntrySize),
                                         static_cast<std::uint32_t>(FMap.Entries.size())));
    }
    FMap.Chains.assign(FMap.Entries.size(), {});
  }

  TCompoundEntry ReadEntry(std::span<const std::uint8_t> bytes, std::uint32_t id) const
  {
    TCfbByteCursor cursor(bytes);
    const auto nameField = cursor.Take(2 * kNameUnits);
    const std::size_t units = std::min<std::size_t>(cursor.ReadU16() / 2, kNameUnits);
    TCompoundEntry entry;
    entry.Id = id;
    entry.Type = cursor.ReadU8();
    entry.Color = cursor.ReadU8();
    entry.Left = cursor.ReadU32();
    entry.Right = cursor.ReadU32();
    entry.Child = cursor.ReadU32();
    const auto clsid = cursor.Take(16);
    std::copy(clsid.begin(), clsid.end(), entry.Clsid.begin());
    cursor.Skip(4 + 16);  // state bits, times
    entry.Start = cursor.ReadU32();
    entry.Size = cursor.ReadU64();
    // Version 3 sizes are 32-bit; writers leave garbage in the high dword.
    if (FHeader.Major == 3)
      entry.Size &= 0xFFFFFFFFu;
    entry.InMiniStream = entry.Type == kTypeStream && entry.Size < kMiniStreamCutoff;
    TCfbByteCursor name(nameField);
    std::vector<char16_t> chars;
    for (std::size_t i = 0; i < units; ++i) {
      const std::uint16_t unit = name.ReadU16();
      if (unit == 0)
        break;
      chars.push_back(static_cast<char16_t>(unit));
    }
    entry.Name = Utf16ToUtf8(chars);
    return entry;
  }

  /// The entries of `storage`'s tree of children not yet `seen`, in order
  /// (left, node, right). A link out of the directory, or back to an entry
  /// already placed, ends its branch; the first of each in a tree is a
  /// problem, in the words the strict reader uses for the same link.
  std::vector<std::uint32_t> WalkSiblings(std::uint32_t storage, std::vector<bool>& seen)
  {
    const auto& entries = FMap.Entries;
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> stack;
    bool looped = false;
    bool outOfRange = false;
    std::uint32_t parent = storage;
    std::uint32_t node = entries[storage].Child;
    for (;;) {
      while (node != kNoEntry) {
        if (node >= entries.size() || seen[node]) {
          const bool out = node >= entries.size();
          if (out && !outOfRange)
            Problem(CfbEntryOutOfRangeText(parent, node, entries.size()), std::nullopt, TProblemScope::psTree, storage);
          if (!out && !looped)
            Problem(CfbTreeLoopText(parent, node), std::nullopt, TProblemScope::psTree, storage);
          (out ? outOfRange : looped) = true;
          break;
        }
        seen[node] = true;
        stack.push_back(node);
        parent = node;
        node = entries[node].Left;
      }
      if (stack.empty())
        break;
      const std::uint32_t id = stack.back();
      stack.pop_back();
      order.push_back(id);
      parent = id;
      node = entries[id].Right;
    }
    return order;
  }

  // The root's children first, then those of each storage found, breadth
  // first: an entry reached from the root and again from inside a storage
  // (a damaged link) stays the root's, where the strict reader finds it.
  void WalkTree()
  {
    auto& entries = FMap.Entries;
    if (entries.empty() || entries[0].Type != kTypeRoot) {
      Problem(kCfbNoRoot);
      return;
    }
    std::vector<bool> seen(entries.size(), false);
    seen[0] = true;
    std::vector<std::uint32_t> storages{0};
    const auto walkStorages = [&](std::size_t from) {
      for (std::size_t k = from; k < storages.size(); ++k) {
        const std::uint32_t storage = storages[k];
        for (const std::uint32_t id : WalkSiblings(storage, seen)) {
          entries[id].Nested = storage != 0;
          if (storage == 0)
            FMap.RootChildren.push_back(id);
          if (entries[id].Type == kTypeStorage)
            storages.push_back(id);
        }
      }
    };
    walkStorages(0);
    // A storage the damaged tree does not reach still owns its entries: an
    // embedded object's streams may bear the workbook's names.
    for (TCompoundEntry& storage : entries)
      if (storage.Type == kTypeStorage && !seen[storage.Id]) {
        seen[storage.Id] = true;
        storages.push_back(storage.Id);
        walkStorages(storages.size() - 1);
      }
  }

  void ReadMiniFat()
  {
    if (FHeader.FirstMiniFat == kEndOfChain || FHeader.FirstMiniFat == kFreeSector)
      return;
    const TChainName name{kCfbMiniFatChain, false, TProblemScope::psMiniFat};
    for (const std::uint32_t n : Chain(FFat, FHeader.FirstMiniFat, FCount, FCount, name, std::nullopt).Sectors) {
      Mark(n, TSectorUse::suMiniFat, 0);
      AppendEntries(Bytes(n), FMiniFat);
    }
  }

  void MapStreams()
  {
    auto& entries = FMap.Entries;
    FBroken.assign(entries.size(), false);
    std::size_t miniSectors = 0;
    if (!entries.empty() && entries[0].Type == kTypeRoot) {
      const TCompoundEntry& root = entries[0];
      const std::uint64_t need = CeilDiv(root.Size, FSize);
      const TChainName name{kCfbMiniStreamChain, false, TProblemScope::psChain, 0};
      FMap.Chains[0] = Chain(FFat, root.Start, FCount, static_cast<std::size_t>(std::min<std::uint64_t>(FCount, need)),
                             name, need).Sectors;
      for (const std::uint32_t n : FMap.Chains[0])
        Mark(n, TSectorUse::suMiniStream, 0);
      miniSectors = static_cast<std::size_t>(std::min<std::uint64_t>(
          FMap.Chains[0].size() * FSize, root.Size)) / kMiniSectorSize;
    }
    for (TCompoundEntry& entry : entries) {
      if (entry.Type != kTypeStream || entry.Size == 0)
        continue;
      const TChainName name{CfbStreamChain(entry.Name, entry.Id), entry.InMiniStream, TProblemScope::psChain,
                            entry.Id};
      if (entry.InMiniStream) {
        const std::uint64_t need = CeilDiv(entry.Size, kMiniSectorSize);
        FMap.Chains[entry.Id] =
            Chain(FMiniFat, entry.Start, miniSectors, static_cast<std::size_t>(need), name, need).Sectors;
        continue;
      }
      const std::uint64_t need = CeilDiv(entry.Size, FSize);
      TWalk walk = Chain(FFat, entry.Start, FCount, static_cast<std::size_t>(std::min<std::uint64_t>(FCount + 1, need)),
                         name, need);
      FBroken[entry.Id] = walk.Broken;
      FMap.Chains[entry.Id] = std::move(walk.Sectors);
      for (const std::uint32_t n : FMap.Chains[entry.Id])
        Mark(n, TSectorUse::suStream, entry.Id);
    }
  }

  // Writers lay a regular stream out forward through the file, FAT and
  // DIFAT sectors between its runs; a damaged FAT entry breaks the chain
  // without moving a byte. Only once every chain is mapped, so a sector
  // another chain holds is never taken.
  void ReadOn()
  {
    for (const TCompoundEntry& entry : FMap.Entries) {
      if (entry.Type != kTypeStream || entry.InMiniStream || !FBroken[entry.Id])
        continue;
      auto& chain = FMap.Chains[entry.Id];
      const std::uint64_t need = CeilDiv(entry.Size, FSize);
      if (chain.empty() || chain.size() >= need)
        continue;
      std::optional<std::uint32_t> first;
      std::uint32_t last = 0;
      std::size_t taken = 0;
      for (std::size_t n = std::size_t{chain.back()} + 1; n < FCount && chain.size() < need; ++n) {
        const auto sector = static_cast<std::uint32_t>(n);
        const TSectorUse use = FMap.Sectors[n].Use;
        if (use == TSectorUse::suFat || use == TSectorUse::suDifat)
          continue;
        const std::uint32_t next = n < FFat.size() ? FFat[n] : kFreeSector;
        if (use != TSectorUse::suFree || next == kFreeSector || next == kFatMark || next == kDifatMark)
          break;
        Mark(sector, TSectorUse::suStream, entry.Id);
        FMap.Sectors[n].ReadOn = true;
        chain.push_back(sector);
        first = first.value_or(sector);
        last = sector;
        ++taken;
      }
      if (first)
        Problem(CfbReadOnText(CfbStreamChain(entry.Name, entry.Id), *first, last, taken, chain.size(),
                              static_cast<std::size_t>(need)),
                *first, TProblemScope::psChain, entry.Id);
    }
  }

  /// The slack after each whole regular stream's last byte, and a last
  /// sector the end of the file cuts.
  void MarkStreamEnds()
  {
    for (const TCompoundEntry& entry : FMap.Entries) {
      if (entry.Type != kTypeStream || entry.InMiniStream || entry.Size == 0)
        continue;
      const auto& chain = FMap.Chains[entry.Id];
      const std::uint64_t need = CeilDiv(entry.Size, FSize);
      if (chain.empty() || chain.size() != need)
        continue;
      const std::uint64_t used = entry.Size - (need - 1) * FSize;
      FMap.Sectors[chain.back()].Slack = static_cast<std::uint32_t>(FSize - used);
      if (const std::size_t present = Bytes(chain.back()).size(); present < used)
        Problem(CfbChainCutText(CfbStreamChain(entry.Name, entry.Id), chain.back(), present,
                                static_cast<std::size_t>(used)),
                chain.back(), TProblemScope::psChain, entry.Id);
    }
  }

  void MarkUnreachable()
  {
    std::size_t unreachable = 0;
    std::uint32_t first = 0;
    for (std::size_t n = 0; n < FCount && n < FFat.size(); ++n) {
      const std::uint32_t next = FFat[n];
      if (FMap.Sectors[n].Use != TSectorUse::suFree || next == kFreeSector || next == kFatMark ||
          next == kDifatMark)
        continue;
      FMap.Sectors[n].Use = TSectorUse::suUnreachable;
      if (unreachable++ == 0)
        first = static_cast<std::uint32_t>(n);
    }
    if (unreachable > 0)
      Problem(CfbUnreachableText(unreachable, first), first, TProblemScope::psUnused);
  }

  std::span<const std::uint8_t> FFile;
  const TFileReader* FReader;
  std::vector<std::uint8_t> FScratch;
  THeaderFields FHeader;
  TCompoundMap& FMap;
  std::size_t FSize = 0;
  std::size_t FCount = 0;
  std::vector<std::uint32_t> FFat;
  std::vector<std::uint32_t> FMiniFat;
  std::vector<std::uint32_t> FDirectory;
  std::vector<bool> FBroken;  // per entry: its chain ended at a bad link
};

}  // namespace

TCompoundMap MapCompoundFile(std::span<const std::uint8_t> file)
{
  TCompoundMap map;
  const auto header = ReadHeaderFields(file);
  if (!header)
    return map;
  map.Valid = true;
  TMapper(file, nullptr, *header, map).Run();
  return map;
}

TCompoundMap MapCompoundFile(const TFileReader& file)
{
  TCompoundMap map;
  std::vector<std::uint8_t> header(kHeaderSize);
  std::size_t read = 0;
  if (!file.ReadAt(0, header, read))
    return map;
  header.resize(read);
  const auto fields = ReadHeaderFields(header);
  if (!fields)
    return map;
  map.Valid = true;
  TMapper(header, &file, *fields, map).Run();
  return map;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> TCompoundMap::FileRuns(std::uint32_t id,
                                                                           std::uint64_t from,
                                                                           std::uint64_t count) const
{
  std::vector<std::pair<std::uint64_t, std::uint64_t>> runs;
  if (id >= Entries.size() || id >= Chains.size())
    return runs;
  const TCompoundEntry& entry = Entries[id];
  const bool mini = entry.InMiniStream;
  const std::uint64_t unit = mini ? kMiniSectorSize : SectorSize;
  const auto& chain = Chains[id];
  const std::uint64_t end = std::min(from + count, entry.Size);
  for (std::uint64_t at = from; at < end;) {
    const std::uint64_t index = at / unit;
    if (index >= chain.size())
      break;
    const std::uint64_t within = at % unit;
    const std::uint64_t length = std::min(unit - within, end - at);
    std::uint64_t offset;
    if (mini) {
      // A mini sector lies inside the mini stream, itself a chain of sectors.
      const std::uint64_t position = std::uint64_t{chain[index]} * kMiniSectorSize + within;
      const auto& container = Chains[0];
      if (position / SectorSize >= container.size())
        break;
      offset = (std::uint64_t{container[position / SectorSize]} + 1) * SectorSize + position % SectorSize;
    } else {
      offset = (std::uint64_t{chain[index]} + 1) * SectorSize + within;
    }
    if (!runs.empty() && runs.back().first + runs.back().second == offset)
      runs.back().second += length;
    else
      runs.emplace_back(offset, length);
    at += length;
  }
  return runs;
}

std::vector<std::uint8_t> TCompoundMap::StreamBytes(std::span<const std::uint8_t> file,
                                                    std::uint32_t id) const
{
  std::vector<std::uint8_t> bytes;
  if (id >= Entries.size())
    return bytes;
  for (const auto& [offset, length] : FileRuns(id, 0, Entries[id].Size)) {
    if (offset >= file.size())
      break;
    const auto piece = file.subspan(static_cast<std::size_t>(offset),
                                    static_cast<std::size_t>(std::min<std::uint64_t>(length, file.size() - offset)));
    bytes.insert(bytes.end(), piece.begin(), piece.end());
    if (piece.size() < length)
      break;
  }
  return bytes;
}

std::vector<std::uint32_t> TCompoundMap::Children(std::uint32_t id) const
{
  std::vector<std::uint32_t> children;
  if (id >= Entries.size() || (Entries[id].Type != kTypeStorage && Entries[id].Type != kTypeRoot))
    return children;
  // In-order (left, node, right) with an explicit stack: every entry is
  // pushed at most once, so the walk ends within the entry count.
  std::vector<bool> seen(Entries.size(), false);
  seen[id] = true;
  std::vector<std::uint32_t> stack;
  std::uint32_t node = Entries[id].Child;
  const auto usable = [&](std::uint32_t n) { return n < Entries.size() && !seen[n]; };
  while (usable(node) || !stack.empty()) {
    while (usable(node)) {
      seen[node] = true;
      stack.push_back(node);
      node = Entries[node].Left;
    }
    const std::uint32_t at = stack.back();
    stack.pop_back();
    if (Entries[at].Type == kTypeStorage || Entries[at].Type == kTypeStream)
      children.push_back(at);
    node = Entries[at].Right;
  }
  return children;
}

std::optional<std::uint32_t> TCompoundMap::FindPath(std::span<const std::string> path) const
{
  if (Entries.empty() || Entries[0].Type != kTypeRoot)
    return std::nullopt;
  std::uint32_t at = 0;
  for (const std::string& name : path) {
    if (Entries[at].Type != kTypeStorage && Entries[at].Type != kTypeRoot)
      return std::nullopt;
    const auto children = Children(at);
    const auto match = std::find_if(children.begin(), children.end(),
                                    [&](std::uint32_t c) { return CompoundNamesEqual(Entries[c].Name, name); });
    if (match == children.end())
      return std::nullopt;
    at = *match;
  }
  return at;
}
