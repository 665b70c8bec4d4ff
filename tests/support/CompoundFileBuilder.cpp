#include "support/CompoundFileBuilder.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::size_t kEntrySize = 128;
constexpr std::size_t kMiniSectorSize = 64;
constexpr std::size_t kMiniStreamCutoff = 4096;
constexpr std::size_t kMaxNameUnits = 31;
constexpr std::uint16_t kMinorVersion = 0x3E;
constexpr std::uint8_t kTypeStorage = 1;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;
constexpr std::uint8_t kRed = 0;
constexpr std::uint8_t kBlack = 1;

std::size_t CeilDiv(std::size_t value, std::size_t divisor)
{
  return (value + divisor - 1) / divisor;
}

// The order siblings are kept in: shorter names first, then by upper-cased
// code units (ASCII letters only; enough for test names).
bool NameLess(const std::u16string& a, const std::u16string& b)
{
  if (a.size() != b.size())
    return a.size() < b.size();
  const auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i]))
      return upper(a[i]) < upper(b[i]);
  }
  return false;
}

struct TEntry {
  std::u16string Name;
  std::uint8_t Type = 0;
  std::uint8_t Color = kBlack;
  std::uint32_t Left = kCfbNoStream;
  std::uint32_t Right = kCfbNoStream;
  std::uint32_t Child = kCfbNoStream;
  std::uint32_t Start = kCfbEndOfChain;
  std::uint64_t Size = 0;
  std::array<std::uint8_t, 16> Clsid{};
};

}  // namespace

std::u16string CfbUtf16(std::string_view utf8)
{
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
      code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::uint32_t CfbGetU32(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
  return static_cast<std::uint32_t>(bytes.at(offset)) | static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8 |
         static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16 |
         static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24;
}

void CfbPutU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value)
{
  bytes.at(offset) = static_cast<std::uint8_t>(value);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void CfbPutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value)
{
  CfbPutU16(bytes, offset, static_cast<std::uint16_t>(value));
  CfbPutU16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

void CfbPutU64(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint64_t value)
{
  CfbPutU32(bytes, offset, static_cast<std::uint32_t>(value));
  CfbPutU32(bytes, offset + 4, static_cast<std::uint32_t>(value >> 32));
}

std::size_t TCompoundFileLayout::SectorOffset(std::uint32_t sector) const
{
  return (static_cast<std::size_t>(sector) + 1) * SectorSize;
}

std::size_t TCompoundFileLayout::EntryOffset(std::uint32_t entryId) const
{
  const std::size_t perSector = SectorSize / kEntrySize;
  return SectorOffset(DirectorySectors.at(entryId / perSector)) + entryId % perSector * kEntrySize;
}

std::size_t TCompoundFileLayout::FatEntryOffset(std::uint32_t sector) const
{
  const std::size_t perSector = SectorSize / 4;
  return SectorOffset(FatSectors.at(sector / perSector)) + sector % perSector * 4;
}

std::size_t TCompoundFileLayout::MiniFatEntryOffset(std::uint32_t miniSector) const
{
  const std::size_t perSector = SectorSize / 4;
  return SectorOffset(MiniFatSectors.at(miniSector / perSector)) + miniSector % perSector * 4;
}

const TCompoundFileLayout::TStream& TCompoundFileLayout::Stream(std::string_view name) const
{
  for (const auto& stream : Streams) {
    if (stream.Name == name)
      return stream;
  }
  throw std::out_of_range("no element named " + std::string(name));
}

TCompoundFileBuilder& TCompoundFileBuilder::Version(int major)
{
  if (major != 3 && major != 4)
    throw std::invalid_argument("compound file version must be 3 or 4");
  FVersion = major;
  return *this;
}

TCompoundFileBuilder& TCompoundFileBuilder::AddStream(std::string name, std::vector<std::uint8_t> bytes,
                                                      TStreamPlacement placement)
{
  if (CfbUtf16(name.substr(name.rfind('/') + 1)).size() > kMaxNameUnits)
    throw std::invalid_argument("compound file names hold at most 31 UTF-16 units");
  FElements.push_back({std::move(name), std::move(bytes), false, placement});
  return *this;
}

TCompoundFileBuilder& TCompoundFileBuilder::AddStorage(std::string name, const std::array<std::uint8_t, 16>& clsid)
{
  if (CfbUtf16(name.substr(name.rfind('/') + 1)).size() > kMaxNameUnits)
    throw std::invalid_argument("compound file names hold at most 31 UTF-16 units");
  FElements.push_back({std::move(name), {}, true, TStreamPlacement::spAuto, clsid});
  return *this;
}

TCompoundFileBuilder& TCompoundFileBuilder::ExtraFatSectors(std::size_t count)
{
  FExtraFatSectors = count;
  return *this;
}

std::vector<std::uint8_t> TCompoundFileBuilder::Build() const
{
  return BuildImage().Bytes;
}

TCompoundFileImage TCompoundFileBuilder::BuildImage() const
{
  const std::size_t sectorSize = FVersion == 3 ? 512 : 4096;
  const std::size_t perSector = sectorSize / 4;
  TCompoundFileImage image;
  TCompoundFileLayout& layout = image.Layout;
  layout.SectorSize = sectorSize;

  // Decide placement and count the sectors of everything but FAT and DIFAT.
  std::vector<bool> inMini(FElements.size(), false);
  std::size_t miniSectorCount = 0;
  std::size_t regularSectorCount = 0;
  for (std::size_t i = 0; i < FElements.size(); ++i) {
    const TElement& e = FElements[i];
    if (e.IsStorage)
      continue;
    inMini[i] = e.Placement == TStreamPlacement::spMiniStream ||
                (e.Placement == TStreamPlacement::spAuto && e.Bytes.size() < kMiniStreamCutoff);
    if (inMini[i])
      miniSectorCount += CeilDiv(e.Bytes.size(), kMiniSectorSize);
    else
      regularSectorCount += CeilDiv(e.Bytes.size(), sectorSize);
  }
  const std::size_t entryCount = 1 + FElements.size();
  const std::size_t directoryCount = CeilDiv(entryCount * kEntrySize, sectorSize);
  const std::size_t miniFatCount = CeilDiv(miniSectorCount * 4, sectorSize);
  const std::size_t miniStreamCount = CeilDiv(miniSectorCount * kMiniSectorSize, sectorSize);
  const std::size_t dataCount = directoryCount + miniFatCount + miniStreamCount + regularSectorCount;

  // The FAT covers every sector, its own and the DIFAT's included.
  std::size_t fatCount = 0;
  std::size_t difatCount = 0;
  for (;;) {
    const std::size_t neededFat = CeilDiv(dataCount + fatCount + difatCount, perSector) + FExtraFatSectors;
    const std::size_t neededDifat =
        neededFat > kHeaderDifatEntries ? CeilDiv(neededFat - kHeaderDifatEntries, perSector - 1) : 0;
    if (neededFat == fatCount && neededDifat == difatCount)
      break;
    fatCount = neededFat;
    difatCount = neededDifat;
  }

  std::uint32_t next = 0;
  const auto allocate = [&](std::size_t count) {
    std::vector<std::uint32_t> sectors;
    for (std::size_t i = 0; i < count; ++i)
      sectors.push_back(next++);
    return sectors;
  };
  layout.DifatSectors = allocate(difatCount);
  layout.FatSectors = allocate(fatCount);
  layout.DirectorySectors = allocate(directoryCount);
  layout.MiniFatSectors = allocate(miniFatCount);
  layout.MiniStreamSectors = allocate(miniStreamCount);
  const std::size_t totalSectors = next + regularSectorCount;

  std::vector<std::uint32_t> fat(fatCount * perSector, kCfbFreeSect);
  std::vector<std::uint32_t> miniFat(miniFatCount * perSector, kCfbFreeSect);
  const auto chain = [](std::vector<std::uint32_t>& table, const std::vector<std::uint32_t>& sectors) {
    for (std::size_t i = 0; i < sectors.size(); ++i)
      table[sectors[i]] = i + 1 < sectors.size() ? sectors[i + 1] : kCfbEndOfChain;
  };
  for (const std::uint32_t s : layout.DifatSectors)
    fat[s] = kCfbDifSect;
  for (const std::uint32_t s : layout.FatSectors)
    fat[s] = kCfbFatSect;
  chain(fat, layout.DirectorySectors);
  chain(fat, layout.MiniFatSectors);
  chain(fat, layout.MiniStreamSectors);

  std::vector<std::uint8_t>& bytes = image.Bytes;
  bytes.assign((totalSectors + 1) * sectorSize, 0);
  std::vector<std::uint8_t> miniStream(miniStreamCount * sectorSize, 0);

  // Stream data and the entries for them.
  std::vector<TEntry> entries(entryCount);
  std::uint32_t nextMini = 0;
  for (std::size_t i = 0; i < FElements.size(); ++i) {
    const TElement& e = FElements[i];
    TEntry& entry = entries[i + 1];
    entry.Name = CfbUtf16(e.Name.substr(e.Name.rfind('/') + 1));
    entry.Type = e.IsStorage ? kTypeStorage : kTypeStream;
    entry.Size = e.Bytes.size();
    entry.Clsid = e.Clsid;
    TCompoundFileLayout::TStream stream{e.Name, static_cast<std::uint32_t>(i + 1), inMini[i], {}};
    if (e.IsStorage) {
      entry.Start = 0;
    } else if (inMini[i]) {
      for (std::size_t k = 0; k < CeilDiv(e.Bytes.size(), kMiniSectorSize); ++k)
        stream.Sectors.push_back(nextMini++);
      chain(miniFat, stream.Sectors);
      for (std::size_t k = 0; k < stream.Sectors.size(); ++k) {
        const std::size_t count = std::min(kMiniSectorSize, e.Bytes.size() - k * kMiniSectorSize);
        std::memcpy(miniStream.data() + stream.Sectors[k] * kMiniSectorSize, e.Bytes.data() + k * kMiniSectorSize,
                    count);
      }
    } else {
      stream.Sectors = allocate(CeilDiv(e.Bytes.size(), sectorSize));
      chain(fat, stream.Sectors);
      for (std::size_t k = 0; k < stream.Sectors.size(); ++k) {
        const std::size_t count = std::min(sectorSize, e.Bytes.size() - k * sectorSize);
        std::memcpy(bytes.data() + layout.SectorOffset(stream.Sectors[k]), e.Bytes.data() + k * sectorSize, count);
      }
    }
    if (!stream.Sectors.empty())
      entry.Start = stream.Sectors.front();
    layout.Streams.push_back(std::move(stream));
  }
  for (std::size_t k = 0; k < layout.MiniStreamSectors.size(); ++k)
    std::memcpy(bytes.data() + layout.SectorOffset(layout.MiniStreamSectors[k]), miniStream.data() + k * sectorSize,
                sectorSize);

  // Root entry, and each storage's children as a balanced tree coloured as
  // a valid red-black tree: every level black but an incomplete deepest
  // one, red. An element named "A/B" is a child of the storage added as "A".
  TEntry& root = entries[0];
  root.Name = u"Root Entry";
  root.Type = kTypeRoot;
  root.Start = layout.MiniStreamSectors.empty() ? kCfbEndOfChain : layout.MiniStreamSectors.front();
  root.Size = nextMini * kMiniSectorSize;
  std::vector<std::uint32_t> parents(entryCount, 0);
  for (std::size_t i = 0; i < FElements.size(); ++i) {
    const std::size_t slash = FElements[i].Name.rfind('/');
    if (slash == std::string::npos)
      continue;
    const std::string parent = FElements[i].Name.substr(0, slash);
    const auto found = std::find_if(FElements.begin(), FElements.end(),
                                    [&](const TElement& e) { return e.IsStorage && e.Name == parent; });
    if (found == FElements.end())
      throw std::invalid_argument("no storage named " + parent);
    parents[i + 1] = static_cast<std::uint32_t>(found - FElements.begin() + 1);
  }
  for (std::uint32_t parent = 0; parent < entryCount; ++parent) {
    if (entries[parent].Type != kTypeRoot && entries[parent].Type != kTypeStorage)
      continue;
    std::vector<std::uint32_t> order;
    for (std::uint32_t id = 1; id < entryCount; ++id)
      if (parents[id] == parent)
        order.push_back(id);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return NameLess(entries[a].Name, entries[b].Name); });
    std::vector<std::size_t> depth(entryCount, 0);
    std::size_t maxDepth = 0;
    const std::function<std::uint32_t(std::size_t, std::size_t, std::size_t)> subtree =
        [&](std::size_t first, std::size_t last, std::size_t level) -> std::uint32_t {
      if (first >= last)
        return kCfbNoStream;
      const std::size_t middle = first + (last - first) / 2;
      const std::uint32_t id = order[middle];
      depth[id] = level;
      maxDepth = std::max(maxDepth, level);
      entries[id].Left = subtree(first, middle, level + 1);
      entries[id].Right = subtree(middle + 1, last, level + 1);
      return id;
    };
    entries[parent].Child = subtree(0, order.size(), 0);
    const bool perfect = order.size() + 1 == std::size_t{1} << (maxDepth + 1);
    for (const std::uint32_t id : order)
      entries[id].Color = !perfect && depth[id] == maxDepth ? kRed : kBlack;
  }

  // Directory sectors: entries, then unused entries to the sector's end.
  for (std::uint32_t id = 0; id < directoryCount * sectorSize / kEntrySize; ++id) {
    const std::size_t offset = layout.EntryOffset(id);
    if (id >= entryCount) {
      CfbPutU32(bytes, offset + kCfbEntryLeft, kCfbNoStream);
      CfbPutU32(bytes, offset + kCfbEntryRight, kCfbNoStream);
      CfbPutU32(bytes, offset + kCfbEntryChild, kCfbNoStream);
      continue;
    }
    const TEntry& entry = entries[id];
    for (std::size_t k = 0; k < entry.Name.size(); ++k)
      CfbPutU16(bytes, offset + 2 * k, entry.Name[k]);
    CfbPutU16(bytes, offset + kCfbEntryNameLength, static_cast<std::uint16_t>((entry.Name.size() + 1) * 2));
    bytes[offset + kCfbEntryType] = entry.Type;
    bytes[offset + kCfbEntryType + 1] = entry.Color;
    CfbPutU32(bytes, offset + kCfbEntryLeft, entry.Left);
    CfbPutU32(bytes, offset + kCfbEntryRight, entry.Right);
    CfbPutU32(bytes, offset + kCfbEntryChild, entry.Child);
    CfbPutU32(bytes, offset + kCfbEntryStartSector, entry.Start);
    CfbPutU64(bytes, offset + kCfbEntrySize, entry.Size);
    std::copy(entry.Clsid.begin(), entry.Clsid.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset + kCfbEntryClsid));
  }

  // FAT and mini FAT sectors.
  for (std::size_t k = 0; k < fat.size(); ++k)
    CfbPutU32(bytes, layout.FatEntryOffset(static_cast<std::uint32_t>(k)), fat[k]);
  for (std::size_t k = 0; k < miniFat.size(); ++k)
    CfbPutU32(bytes, layout.MiniFatEntryOffset(static_cast<std::uint32_t>(k)), miniFat[k]);

  // DIFAT: the first 109 FAT sectors in the header, the rest in DIFAT
  // sectors, each ending with the next DIFAT sector.
  std::size_t listed = 0;
  for (std::size_t k = 0; k < kHeaderDifatEntries; ++k)
    CfbPutU32(bytes, kCfbHeaderDifat + 4 * k, listed < fatCount ? layout.FatSectors[listed++] : kCfbFreeSect);
  for (std::size_t d = 0; d < difatCount; ++d) {
    const std::size_t offset = layout.SectorOffset(layout.DifatSectors[d]);
    for (std::size_t k = 0; k + 1 < perSector; ++k)
      CfbPutU32(bytes, offset + 4 * k, listed < fatCount ? layout.FatSectors[listed++] : kCfbFreeSect);
    CfbPutU32(bytes, offset + 4 * (perSector - 1), d + 1 < difatCount ? layout.DifatSectors[d + 1] : kCfbEndOfChain);
  }

  // Header.
  std::memcpy(bytes.data(), kSignature, sizeof kSignature);
  CfbPutU16(bytes, kCfbHeaderMinorVersion, kMinorVersion);
  CfbPutU16(bytes, kCfbHeaderMajorVersion, static_cast<std::uint16_t>(FVersion));
  CfbPutU16(bytes, kCfbHeaderByteOrder, 0xFFFE);
  CfbPutU16(bytes, kCfbHeaderSectorShift, FVersion == 3 ? 9 : 12);
  CfbPutU16(bytes, kCfbHeaderMiniSectorShift, 6);
  CfbPutU32(bytes, kCfbHeaderDirectorySectorCount, FVersion == 3 ? 0 : static_cast<std::uint32_t>(directoryCount));
  CfbPutU32(bytes, kCfbHeaderFatSectorCount, static_cast<std::uint32_t>(fatCount));
  CfbPutU32(bytes, kCfbHeaderFirstDirectorySector, layout.DirectorySectors.front());
  CfbPutU32(bytes, kCfbHeaderMiniStreamCutoff, kMiniStreamCutoff);
  CfbPutU32(bytes, kCfbHeaderFirstMiniFatSector,
            layout.MiniFatSectors.empty() ? kCfbEndOfChain : layout.MiniFatSectors.front());
  CfbPutU32(bytes, kCfbHeaderMiniFatSectorCount, static_cast<std::uint32_t>(miniFatCount));
  CfbPutU32(bytes, kCfbHeaderFirstDifatSector,
            layout.DifatSectors.empty() ? kCfbEndOfChain : layout.DifatSectors.front());
  CfbPutU32(bytes, kCfbHeaderDifatSectorCount, static_cast<std::uint32_t>(difatCount));
  return image;
}
