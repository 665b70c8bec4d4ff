#include "platform/CompoundSalvage.h"

#include "platform/CfbByteCursor.h"
#include "platform/text/Utf.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// [MS-CFB] 2.2 header fields, 2.1 sector markers, 2.6 directory entries.
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::size_t kEntrySize = 128;
constexpr std::size_t kNameUnits = 32;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;
constexpr std::size_t kMiniSectorSize = 64;
constexpr std::uint64_t kMiniStreamCutoff = 4096;

constexpr std::uint8_t kTypeStorage = 1;

struct TEntry {
  std::string Name;
  std::uint8_t Type = 0;
  std::uint32_t Left = 0;
  std::uint32_t Right = 0;
  std::uint32_t Child = 0;
  std::uint32_t Start = 0;
  std::uint64_t Size = 0;
};

/// The file as sectors, every read bounded by the bytes there are.
class TSectors {
public:
  TSectors(std::span<const std::uint8_t> file, std::size_t sectorSize)
      : FFile(file), FSectorSize(sectorSize)
  {
    FCount = file.size() <= sectorSize ? 0 : (file.size() - 1) / sectorSize;
  }
  std::size_t SectorSize() const { return FSectorSize; }
  std::size_t Count() const { return FCount; }
  /// The bytes of sector `n` the file holds (fewer for a cut last sector).
  std::span<const std::uint8_t> Bytes(std::uint32_t n) const
  {
    if (n >= FCount)
      return {};
    const std::size_t at = (static_cast<std::size_t>(n) + 1) * FSectorSize;
    return FFile.subspan(at, std::min(FSectorSize, FFile.size() - at));
  }
  /// A chain through `table` from `start`, at most `most` sectors long,
  /// ending at the first marker, number out of range or repeat.
  std::vector<std::uint32_t> Chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                                   std::size_t usable, std::size_t most) const
  {
    std::vector<std::uint32_t> chain;
    std::vector<bool> seen(std::min(table.size(), usable), false);
    for (std::uint32_t n = start; chain.size() < most; n = table[n]) {
      if (n > kMaxRegularSector || n >= seen.size() || seen[n])
        break;
      seen[n] = true;
      chain.push_back(n);
    }
    return chain;
  }

private:
  std::span<const std::uint8_t> FFile;
  std::size_t FSectorSize;
  std::size_t FCount;
};

void AppendEntries(std::span<const std::uint8_t> sector, std::vector<std::uint32_t>& table)
{
  for (std::size_t at = 0; at + 4 <= sector.size(); at += 4) {
    TCfbByteCursor cursor(sector.subspan(at, 4));
    table.push_back(cursor.ReadU32());
  }
}

/// The FAT the header and DIFAT still list; a FAT sector that is missing
/// gives free entries, so chains through it end.
std::vector<std::uint32_t> ReadFat(const TSectors& sectors, std::span<const std::uint8_t> header,
                                   std::uint32_t fatCount, std::uint32_t firstDifat)
{
  const std::size_t perSector = sectors.SectorSize() / 4;
  // A count past the sectors there are is a lie: the list then ends at its
  // first unused entry instead.
  const std::size_t wanted = std::min<std::size_t>(fatCount, sectors.Count());
  std::vector<std::uint32_t> fatSectors;
  bool ended = false;
  auto take = [&](std::uint32_t n) {
    if (n > kMaxRegularSector || n >= sectors.Count())
      ended = true;
    else
      fatSectors.push_back(n);
  };
  TCfbByteCursor difat(header.subspan(76, 4 * kHeaderDifatEntries));
  for (std::size_t i = 0; i < kHeaderDifatEntries && !ended && fatSectors.size() < wanted; ++i)
    take(difat.ReadU32());
  std::vector<bool> seen(sectors.Count(), false);
  for (std::uint32_t n = firstDifat; !ended && fatSectors.size() < wanted;) {
    if (n >= sectors.Count() || seen[n])
      break;
    seen[n] = true;
    std::vector<std::uint32_t> entries;
    AppendEntries(sectors.Bytes(n), entries);
    if (entries.size() < perSector)
      break;  // a DIFAT sector cut short: its next link is gone
    for (std::size_t i = 0; i + 1 < perSector && !ended && fatSectors.size() < wanted; ++i)
      take(entries[i]);
    n = entries.back();
  }
  std::vector<std::uint32_t> fat;
  fat.reserve(fatSectors.size() * perSector);
  for (const std::uint32_t n : fatSectors) {
    const std::size_t before = fat.size();
    AppendEntries(sectors.Bytes(n), fat);
    fat.resize(before + perSector, kFreeSector);
  }
  return fat;
}

TEntry ReadEntry(std::span<const std::uint8_t> bytes)
{
  TCfbByteCursor cursor(bytes);
  const auto nameField = cursor.Take(2 * kNameUnits);
  const std::size_t units = std::min<std::size_t>(cursor.ReadU16() / 2, kNameUnits);
  TEntry entry;
  entry.Type = cursor.ReadU8();
  cursor.Skip(1);  // colour
  entry.Left = cursor.ReadU32();
  entry.Right = cursor.ReadU32();
  entry.Child = cursor.ReadU32();
  cursor.Skip(16 + 4 + 16);  // CLSID, state bits, times
  entry.Start = cursor.ReadU32();
  entry.Size = cursor.ReadU64();
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

/// Bytes of a chain of sectors, up to `size`, stopping at a sector the file
/// cuts short.
std::vector<std::uint8_t> Gather(const TSectors& sectors, const std::vector<std::uint32_t>& chain,
                                 std::uint64_t size)
{
  std::vector<std::uint8_t> bytes;
  for (const std::uint32_t n : chain) {
    if (bytes.size() >= size)
      break;
    const auto piece = sectors.Bytes(n);
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), size - bytes.size()));
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(take));
    if (piece.size() < sectors.SectorSize())
      break;
  }
  return bytes;
}

/// Entries inside a storage below the root (an embedded object's own
/// streams, which may bear the same names), found through each storage's
/// tree as far as it holds: every entry is marked once, so a loop ends.
std::vector<bool> NestedEntries(const std::vector<TEntry>& entries)
{
  std::vector<bool> nested(entries.size(), false);
  std::vector<std::uint32_t> stack;
  for (const TEntry& storage : entries)
    if (storage.Type == kTypeStorage)
      stack.push_back(storage.Child);
  while (!stack.empty()) {
    const std::uint32_t n = stack.back();
    stack.pop_back();
    if (n >= entries.size() || nested[n])
      continue;
    nested[n] = true;
    stack.push_back(entries[n].Left);
    stack.push_back(entries[n].Right);
    stack.push_back(entries[n].Child);
  }
  return nested;
}

}  // namespace

std::optional<TSalvagedStream> SalvageStream(std::span<const std::uint8_t> file,
                                             const TChooseStream& choose)
{
  if (!IsCompoundFile(file))
    return std::nullopt;
  TCfbByteCursor header(file.first(kHeaderSize));
  header.Skip(26);
  const std::uint16_t major = header.ReadU16();
  header.Skip(2);
  const std::uint16_t shift = header.ReadU16();
  if (shift != 9 && shift != 12)
    return std::nullopt;
  header.Skip(2 + 6 + 4);
  const std::uint32_t fatCount = header.ReadU32();
  const std::uint32_t firstDirectory = header.ReadU32();
  header.Skip(8);
  const std::uint32_t firstMiniFat = header.ReadU32();
  header.Skip(4);
  const std::uint32_t firstDifat = header.ReadU32();

  const TSectors sectors(file, std::size_t{1} << shift);
  const auto fat = ReadFat(sectors, file.first(kHeaderSize), fatCount, firstDifat);
  std::vector<TEntry> entries;
  for (const std::uint32_t n : sectors.Chain(fat, firstDirectory, sectors.Count(), sectors.Count())) {
    const auto bytes = sectors.Bytes(n);
    for (std::size_t at = 0; at + kEntrySize <= bytes.size(); at += kEntrySize)
      entries.push_back(ReadEntry(bytes.subspan(at, kEntrySize)));
  }
  std::vector<std::string> names;
  std::vector<const TEntry*> streams;
  const std::vector<bool> nested = NestedEntries(entries);
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i].Type == kTypeStream && !nested[i]) {
      names.push_back(entries[i].Name);
      streams.push_back(&entries[i]);
    }
  const std::optional<std::size_t> chosen = choose(names);
  if (!chosen || *chosen >= streams.size())
    return std::nullopt;
  const TEntry& entry = *streams[*chosen];
  // Version 3 sizes are 32-bit; writers leave garbage in the high dword.
  const std::uint64_t size = major == 3 ? entry.Size & 0xFFFFFFFFu : entry.Size;

  TSalvagedStream salvaged;
  salvaged.Name = entry.Name;
  if (size >= kMiniStreamCutoff) {
    const auto chain = sectors.Chain(fat, entry.Start, sectors.Count(),
                                     static_cast<std::size_t>(std::min<std::uint64_t>(
                                         sectors.Count(), size / sectors.SectorSize() + 1)));
    salvaged.Bytes = TSharedBytes(Gather(sectors, chain, size));
    return salvaged;
  }
  // A small stream lives in the mini stream, the root entry's own chain,
  // its sectors listed by the mini FAT.
  const auto root = std::find_if(entries.begin(), entries.end(), [](const TEntry& e) { return e.Type == kTypeRoot; });
  if (root == entries.end())
    return salvaged;
  const auto container =
      Gather(sectors, sectors.Chain(fat, root->Start, sectors.Count(), sectors.Count()), root->Size);
  std::vector<std::uint32_t> miniFat;
  for (const std::uint32_t n : sectors.Chain(fat, firstMiniFat, sectors.Count(), sectors.Count()))
    AppendEntries(sectors.Bytes(n), miniFat);
  const std::size_t miniCount = container.size() / kMiniSectorSize;
  std::vector<std::uint8_t> bytes;
  for (const std::uint32_t n : sectors.Chain(miniFat, entry.Start, miniCount, miniCount)) {
    if (bytes.size() >= size)
      break;
    const std::size_t at = static_cast<std::size_t>(n) * kMiniSectorSize;
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(kMiniSectorSize, size - bytes.size()));
    bytes.insert(bytes.end(), container.begin() + static_cast<std::ptrdiff_t>(at),
                 container.begin() + static_cast<std::ptrdiff_t>(at + take));
  }
  salvaged.Bytes = TSharedBytes(std::move(bytes));
  return salvaged;
}

std::optional<EOleError> ReadOrReportDamage(const std::function<void()>& read)
{
  try {
    read();
  } catch (const EOleError& error) {
    if (error.Status() != kStgDocFileCorrupt)
      throw;
    return error;
  }
  return std::nullopt;
}
