#include "platform/CompoundFile.h"

#include "platform/CfbByteCursor.h"
#include "platform/CompoundFileMessages.h"
#include "platform/text/Utf.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <limits>
#include <optional>
#include <utility>

namespace {

// [MS-CFB] 2.2: the compound file header.
constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kClsidSize = 16;
constexpr std::uint16_t kByteOrderMark = 0xFFFE;
constexpr std::uint16_t kMajorVersion3 = 3;
constexpr std::uint16_t kMajorVersion4 = 4;
constexpr std::uint16_t kSectorShiftVersion3 = 9;
constexpr std::uint16_t kSectorShiftVersion4 = 12;
constexpr std::uint16_t kMiniSectorShift = 6;
constexpr std::size_t kMiniSectorSize = std::size_t{1} << kMiniSectorShift;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::size_t kHeaderReservedSize = 6;
constexpr std::size_t kHeaderDifatEntries = 109;

// [MS-CFB] 2.1: sector numbers above kMaxRegularSector are markers.
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;

// [MS-CFB] 2.6: directory entries.
constexpr std::size_t kDirectoryEntrySize = 128;
constexpr std::size_t kNameFieldUnits = 32;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint8_t kTypeStorage = 1;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;
constexpr std::size_t kEntryTimesSize = 16;

constexpr std::size_t kSectorEntrySize = 4;
// Missing bytes of a partial last sector: a FAT or DIFAT entry reads as a free
// sector (so a chain through it fails), a directory entry as an unused one.
constexpr std::uint8_t kTableFill = 0xFF;
constexpr std::uint8_t kDirectoryFill = 0x00;

struct THeader {
  std::uint16_t MajorVersion = 0;
  std::uint16_t SectorShift = 0;
  std::uint32_t FatSectorCount = 0;
  std::uint32_t FirstDirectorySector = 0;
  std::uint32_t FirstMiniFatSector = 0;
  std::uint32_t FirstDifatSector = 0;
  std::array<std::uint32_t, kHeaderDifatEntries> Difat{};
};

struct TDirectoryEntry {
  std::string Name;
  std::uint8_t Type = 0;
  std::uint32_t Left = kNoStream;
  std::uint32_t Right = kNoStream;
  std::uint32_t Child = kNoStream;
  std::uint32_t StartSector = kEndOfChain;
  std::uint64_t Size = 0;
};

[[noreturn]] void Corrupt(const std::string& message)
{
  throw EOleError(kStgDocFileCorrupt, message);
}

std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t divisor)
{
  return value / divisor + (value % divisor != 0 ? 1 : 0);
}

THeader ReadHeader(std::span<const std::uint8_t> bytes)
{
  if (!IsCompoundFile(bytes))
    throw EOleError(kStgInvalidHeader, kMsgCfbNotCompoundFile);
  TCfbByteCursor cursor(bytes.first(kHeaderSize));
  cursor.Skip(kSignature.size() + kClsidSize);
  THeader header;
  cursor.ReadU16();  // Minor version: writers disagree on it, and it changes nothing we read.
  header.MajorVersion = cursor.ReadU16();
  if (cursor.ReadU16() != kByteOrderMark)
    throw EOleError(kStgInvalidHeader, kMsgCfbBadByteOrder);
  if (header.MajorVersion != kMajorVersion3 && header.MajorVersion != kMajorVersion4)
    throw EOleError(kStgInvalidHeader, kMsgCfbBadVersion);
  header.SectorShift = cursor.ReadU16();
  const std::uint16_t expectedShift =
      header.MajorVersion == kMajorVersion3 ? kSectorShiftVersion3 : kSectorShiftVersion4;
  if (header.SectorShift != expectedShift)
    throw EOleError(kStgInvalidHeader, kMsgCfbBadSectorSize);
  if (cursor.ReadU16() != kMiniSectorShift)
    throw EOleError(kStgInvalidHeader, kMsgCfbBadMiniSectorSize);
  cursor.Skip(kHeaderReservedSize);
  cursor.ReadU32();  // Directory sector count: version 3 writers leave it 0; the chain tells.
  header.FatSectorCount = cursor.ReadU32();
  header.FirstDirectorySector = cursor.ReadU32();
  cursor.ReadU32();  // Transaction signature.
  if (cursor.ReadU32() != kMiniStreamCutoff)
    throw EOleError(kStgInvalidHeader, kMsgCfbBadMiniStreamCutoff);
  header.FirstMiniFatSector = cursor.ReadU32();
  cursor.ReadU32();  // Mini FAT sector count: the chain is followed instead.
  header.FirstDifatSector = cursor.ReadU32();
  cursor.ReadU32();  // DIFAT sector count: the chain is followed until the FAT is complete.
  for (auto& entry : header.Difat)
    entry = cursor.ReadU32();
  return header;
}

}  // namespace

struct TCompoundFile::TImpl {
  TSharedBytes Bytes;
  // Set when the file is read a part at a time (OpenReader): Bytes is then
  // empty and every structure sector is read from here.
  std::shared_ptr<const TFileReader> File;
  std::uint64_t FileSize = 0;
  std::uint16_t MajorVersion = 0;
  std::size_t SectorSize = 0;
  // Sectors with at least one byte in the file (a partial last one counts).
  std::size_t SectorCount = 0;
  std::vector<std::uint32_t> Fat;
  std::vector<std::uint32_t> MiniFat;
  std::vector<TDirectoryEntry> Entries;

  std::uint64_t Capacity() const { return static_cast<std::uint64_t>(SectorCount) * SectorSize; }

  /// The bytes of `sector` present in the file: fewer than a sector only for a
  /// partial last sector. `sector` must be below SectorCount.
  std::span<const std::uint8_t> SectorBytes(std::uint32_t sector) const
  {
    const std::size_t offset = (static_cast<std::size_t>(sector) + 1) * SectorSize;
    const std::size_t present = std::min(SectorSize, Bytes.size() - offset);
    return Bytes.Span().subspan(offset, present);
  }

  /// The bytes of `sector` present in the file, as SectorBytes counts them.
  std::size_t PresentBytes(std::uint32_t sector) const
  {
    const std::uint64_t offset = (static_cast<std::uint64_t>(sector) + 1) * SectorSize;
    return static_cast<std::size_t>(std::min<std::uint64_t>(SectorSize, FileSize - offset));
  }

  /// The bytes of `sector` present in the file, from the file's bytes or,
  /// for a file read a part at a time, read into `scratch`.
  std::span<const std::uint8_t> ContainerSector(std::uint32_t sector,
                                                std::vector<std::uint8_t>& scratch) const
  {
    if (!File)
      return SectorBytes(sector);
    scratch.resize(PresentBytes(sector));
    std::size_t read = 0;
    if (!File->ReadAt((static_cast<std::uint64_t>(sector) + 1) * SectorSize, scratch, read) ||
        read < scratch.size())
      throw EOleError(kStgReadFault, CfbCannotReadMessage(File->Path()));
    return scratch;
  }

  /// A whole sector for a structure read, missing bytes set to `fill`.
  /// Every caller has checked `sector` against the file with its own text.
  std::vector<std::uint8_t> PaddedSector(std::uint32_t sector, std::uint8_t fill) const
  {
    if (sector > kMaxRegularSector || sector >= SectorCount)
      Corrupt(kMsgCfbStructureTruncated);
    if (File) {
      std::vector<std::uint8_t> out(SectorSize, fill);
      std::size_t read = 0;
      const std::size_t present = PresentBytes(sector);
      if (!File->ReadAt((static_cast<std::uint64_t>(sector) + 1) * SectorSize,
                        std::span(out).first(present), read) ||
          read < present)
        throw EOleError(kStgReadFault, CfbCannotReadMessage(File->Path()));
      return out;
    }
    const auto present = SectorBytes(sector);
    std::vector<std::uint8_t> out(present.begin(), present.end());
    out.resize(SectorSize, fill);
    return out;
  }

  /// Follows `table` from `start`: collects `wanted` sectors when given (a
  /// chain longer than that is accepted, as many writers leave one), else up
  /// to the end-of-chain marker. `usable` is the count of sectors whose data
  /// exists. Every failure names `chain` and the sector where it broke
  /// (counted in mini sectors when `mini`): a link out of the table, into
  /// data that does not exist, back to a sector already taken (so the walk
  /// ends within table.size() steps), or an end before `wanted`.
  static std::vector<std::uint32_t> WalkChain(std::span<const std::uint32_t> table,
                                              std::size_t usable, std::uint32_t start,
                                              std::optional<std::uint64_t> wanted,
                                              const std::string& chainName, bool mini)
  {
    std::vector<std::uint32_t> chain;
    std::vector<bool> visited(table.size(), false);
    std::optional<std::uint32_t> from;
    std::uint32_t sector = start;
    while (!wanted || chain.size() < *wanted) {
      if (sector == kEndOfChain) {
        if (wanted)
          Corrupt(CfbDamagedMessage(CfbChainEndsText(chainName, mini, from, chain.size(), *wanted)));
        break;
      }
      if (sector > kMaxRegularSector || sector >= table.size())
        Corrupt(CfbDamagedMessage(CfbBadLinkText(chainName, mini, from, sector, table.size())));
      if (sector >= usable)
        Corrupt(CfbDamagedMessage(CfbPastDataText(chainName, mini, from, sector, usable)));
      if (visited[sector])
        Corrupt(CfbDamagedMessage(CfbChainLoopText(chainName, mini, *from, sector)));
      visited[sector] = true;
      chain.push_back(sector);
      from = sector;
      sector = table[sector];
    }
    return chain;
  }

  std::vector<std::uint32_t> FatChain(std::uint32_t start, std::optional<std::uint64_t> wanted,
                                      const std::string& chainName) const
  {
    return WalkChain(Fat, SectorCount, start, wanted, chainName, false);
  }

  /// How entry `id`'s chain is named in a damage text.
  std::string ChainName(std::uint32_t id) const
  {
    return id == 0 ? std::string(kCfbMiniStreamChain) : CfbStreamChain(Entries[id].Name, id);
  }

  /// The sectors of entry `id`'s stream of `size` bytes, stored in the FAT.
  /// A size beyond the whole file is refused before anything is allocated
  /// for it.
  std::vector<std::uint32_t> StreamChain(std::uint32_t id, std::uint64_t size) const
  {
    const TDirectoryEntry& entry = Entries[id];
    if (size > Capacity()) {
      // Either the size field is false or the file lost its end: a chain
      // running into sectors past the end tells the second.
      FatChain(entry.StartSector, std::nullopt, ChainName(id));
      Corrupt(CfbStreamTooLargeMessage(entry.Name));
    }
    return FatChain(entry.StartSector, CeilDiv(size, SectorSize), ChainName(id));
  }

  std::uint64_t EntrySize(const TDirectoryEntry& entry) const
  {
    // Version 3 sizes are 32-bit; some writers leave garbage in the high dword.
    return MajorVersion == kMajorVersion3 ? entry.Size & 0xFFFFFFFFu : entry.Size;
  }

  void LoadFat(const THeader& header);
  void LoadDirectory(const THeader& header);
  void LoadMiniFat(const THeader& header);
  std::vector<TStorageElement> WalkChildren(std::uint32_t storageId) const;
  /// `writable`: the file's bytes when this reader may rearrange them.
  TSharedBytes ReadRegularStream(std::uint32_t id, std::uint64_t size, std::uint8_t* writable) const;
  std::vector<std::uint8_t> ReadMiniStream(std::uint32_t id, std::uint64_t size) const;
};

// [MS-CFB] 2.5: the FAT sectors are listed by the 109 header DIFAT entries,
// then by DIFAT sectors, each holding entries and, last, the next DIFAT sector.
void TCompoundFile::TImpl::LoadFat(const THeader& header)
{
  if (header.FatSectorCount > SectorCount)
    Corrupt(CfbDamagedMessage(CfbFatCountText(header.FatSectorCount, SectorCount)));
  const std::size_t fatSectorCount = header.FatSectorCount;
  std::vector<std::uint32_t> fatSectors;
  fatSectors.reserve(fatSectorCount);
  for (std::size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatSectorCount; ++i)
    fatSectors.push_back(header.Difat[i]);

  const std::size_t entriesPerSector = SectorSize / kSectorEntrySize;
  std::vector<bool> visited(SectorCount, false);
  std::optional<std::uint32_t> lastDifat;
  std::uint32_t difatSector = header.FirstDifatSector;
  while (fatSectors.size() < fatSectorCount) {
    if (difatSector == kEndOfChain || difatSector == kFreeSector)
      Corrupt(CfbDamagedMessage(CfbDifatEndsText(lastDifat, fatSectors.size(), fatSectorCount)));
    if (difatSector > kMaxRegularSector)
      Corrupt(CfbDamagedMessage(CfbBadLinkText(kCfbDifatChain, false, lastDifat, difatSector, SectorCount)));
    if (difatSector >= SectorCount)
      Corrupt(CfbDamagedMessage(CfbPastDataText(kCfbDifatChain, false, lastDifat, difatSector, SectorCount)));
    if (visited[difatSector])
      Corrupt(CfbDamagedMessage(CfbChainLoopText(kCfbDifatChain, false, *lastDifat, difatSector)));
    visited[difatSector] = true;
    lastDifat = difatSector;
    const auto sector = PaddedSector(difatSector, kTableFill);
    TCfbByteCursor cursor(sector);
    for (std::size_t i = 0; i + 1 < entriesPerSector; ++i) {
      const std::uint32_t fatSector = cursor.ReadU32();
      if (fatSectors.size() < fatSectorCount)
        fatSectors.push_back(fatSector);
    }
    difatSector = cursor.ReadU32();
  }

  Fat.reserve(fatSectorCount * entriesPerSector);
  for (std::size_t i = 0; i < fatSectors.size(); ++i) {
    const std::uint32_t fatSector = fatSectors[i];
    if (fatSector > kMaxRegularSector || fatSector >= SectorCount)
      Corrupt(CfbDamagedMessage(CfbFatSectorText(i, fatSectorCount, fatSector, SectorCount)));
    const auto sector = PaddedSector(fatSector, kTableFill);
    TCfbByteCursor cursor(sector);
    while (cursor.Remaining() > 0)
      Fat.push_back(cursor.ReadU32());
  }
}

// [MS-CFB] 2.6: the directory is a chain of 128-byte entries; entry 0 is the root.
void TCompoundFile::TImpl::LoadDirectory(const THeader& header)
{
  const auto chain = FatChain(header.FirstDirectorySector, std::nullopt, kCfbDirectoryChain);
  if (chain.empty())
    Corrupt(kMsgCfbNoRootEntry);
  Entries.reserve(chain.size() * (SectorSize / kDirectoryEntrySize));
  for (const std::uint32_t sectorNumber : chain) {
    const auto sector = PaddedSector(sectorNumber, kDirectoryFill);
    TCfbByteCursor sectorCursor(sector);
    while (sectorCursor.Remaining() > 0) {
      TCfbByteCursor cursor(sectorCursor.Take(kDirectoryEntrySize));
      const auto nameField = cursor.Take(kNameFieldUnits * 2);
      const std::uint16_t nameLength = cursor.ReadU16();
      TDirectoryEntry entry;
      entry.Type = cursor.ReadU8();
      cursor.ReadU8();  // Red-black colour: the walk does not need it.
      entry.Left = cursor.ReadU32();
      entry.Right = cursor.ReadU32();
      entry.Child = cursor.ReadU32();
      cursor.Skip(kClsidSize + 4 + kEntryTimesSize);  // CLSID, state bits, times.
      entry.StartSector = cursor.ReadU32();
      entry.Size = cursor.ReadU64();
      // The length counts bytes with the terminator; be lenient about a wrong
      // one: read at most that many units and stop at the first NUL.
      TCfbByteCursor nameCursor(nameField);
      const std::size_t unitCount = std::min<std::size_t>(nameLength / 2, kNameFieldUnits);
      std::vector<char16_t> units;
      for (std::size_t i = 0; i < unitCount; ++i) {
        const std::uint16_t unit = nameCursor.ReadU16();
        if (unit == 0)
          break;
        units.push_back(static_cast<char16_t>(unit));
      }
      entry.Name = Utf16ToUtf8(units);
      Entries.push_back(std::move(entry));
    }
  }
  if (Entries.front().Type != kTypeRoot)
    Corrupt(kMsgCfbNoRootEntry);
}

void TCompoundFile::TImpl::LoadMiniFat(const THeader& header)
{
  // No mini FAT: writers mark it with either marker.
  if (header.FirstMiniFatSector == kEndOfChain || header.FirstMiniFatSector == kFreeSector)
    return;
  const auto chain = FatChain(header.FirstMiniFatSector, std::nullopt, kCfbMiniFatChain);
  MiniFat.reserve(chain.size() * (SectorSize / kSectorEntrySize));
  for (const std::uint32_t sectorNumber : chain) {
    const auto sector = PaddedSector(sectorNumber, kTableFill);
    TCfbByteCursor cursor(sector);
    while (cursor.Remaining() > 0)
      MiniFat.push_back(cursor.ReadU32());
  }
}

// A storage's children form a binary tree through the left and right sibling
// links; an in-order walk (left, node, right) gives directory order. The walk
// keeps its own stack and marks each entry, so a cyclic or shared link fails
// instead of recursing without end.
std::vector<TStorageElement> TCompoundFile::TImpl::WalkChildren(std::uint32_t storageId) const
{
  std::vector<TStorageElement> elements;
  std::vector<bool> visited(Entries.size(), false);
  visited[storageId] = true;
  std::vector<std::uint32_t> stack;
  // The entry whose link leads to `node`, for the damage text.
  std::uint32_t parent = storageId;
  std::uint32_t node = Entries[storageId].Child;
  while (node != kNoStream || !stack.empty()) {
    while (node != kNoStream) {
      if (node >= Entries.size())
        Corrupt(CfbDamagedMessage(CfbEntryOutOfRangeText(parent, node, Entries.size())));
      if (visited[node])
        Corrupt(CfbDamagedMessage(CfbTreeLoopText(parent, node)));
      visited[node] = true;
      stack.push_back(node);
      parent = node;
      node = Entries[node].Left;
    }
    const std::uint32_t id = stack.back();
    stack.pop_back();
    const TDirectoryEntry& entry = Entries[id];
    // Only storages and streams are elements; an unused entry linked into the
    // tree is passed over, its links still followed.
    if (entry.Type == kTypeStorage || entry.Type == kTypeStream) {
      TStorageElement element;
      element.Name = entry.Name;
      element.Type = entry.Type;
      element.Size = entry.Type == kTypeStream ? EntrySize(entry) : 0;
      element.EntryId = id;
      elements.push_back(std::move(element));
    }
    parent = id;
    node = entry.Right;
  }
  return elements;
}

TSharedBytes TCompoundFile::TImpl::ReadRegularStream(std::uint32_t id, std::uint64_t size,
                                                     std::uint8_t* writable) const
{
  const auto chain = StreamChain(id, size);
  const auto length = static_cast<std::size_t>(size);
  // Writers usually lay a big stream out in one run of sectors: then the
  // stream is a view of the file's bytes, not a second copy of them.
  const std::size_t needed = std::min<std::size_t>(chain.size(), CeilDiv(length, SectorSize));
  bool oneRun = needed > 0;
  bool forward = needed > 0;
  for (std::size_t i = 1; i < needed && forward; ++i) {
    oneRun = oneRun && chain[i] == chain[0] + i;
    forward = chain[i] > chain[i - 1];
  }
  const std::size_t start = needed > 0 ? (static_cast<std::size_t>(chain[0]) + 1) * SectorSize : 0;
  if (oneRun && start <= Bytes.size() && Bytes.size() - start >= length)
    return Bytes.Slice(start, length);

  // Big streams often run forward with other sectors in between (FAT
  // sectors every so often). When the file's bytes are ours alone, the
  // stream's sectors slide back over those gaps, in order: sector i goes to
  // start + i sectors, never past where it was, so no sector is overwritten
  // before it has moved. Otherwise they are gathered into a block of their
  // own. Every sector is checked first, so a failure leaves the bytes as
  // they were.
  const bool inPlace = writable && forward;
  std::unique_ptr<std::uint8_t[]> block;
  if (!inPlace)
    block = std::make_unique_for_overwrite<std::uint8_t[]>(length);
  std::uint8_t* const target = inPlace ? writable + start : block.get();
  const auto count = [&](std::size_t i) { return std::min(SectorSize, length - i * SectorSize); };
  for (std::size_t i = 0; i < needed; ++i)
    if (const std::size_t present = SectorBytes(chain[i]).size(); present < count(i))
      Corrupt(CfbDamagedMessage(CfbChainCutText(ChainName(id), chain[i], present, count(i))));
  for (std::size_t i = 0; i < needed; ++i)
    std::memmove(target + i * SectorSize, SectorBytes(chain[i]).data(), count(i));
  return inPlace ? Bytes.Slice(start, length) : TSharedBytes(std::move(block), length);
}

// [MS-CFB] 2.4: streams below the cutoff live in 64-byte mini sectors inside
// the mini stream, which is the root entry's own chain.
std::vector<std::uint8_t> TCompoundFile::TImpl::ReadMiniStream(std::uint32_t id, std::uint64_t size) const
{
  const TDirectoryEntry& root = Entries.front();
  const std::uint64_t miniStreamSize = EntrySize(root);
  const auto container = StreamChain(0, miniStreamSize);
  const std::size_t miniSectorCount = static_cast<std::size_t>(CeilDiv(miniStreamSize, kMiniSectorSize));
  const auto chain = WalkChain(MiniFat, miniSectorCount, Entries[id].StartSector,
                               CeilDiv(size, kMiniSectorSize), ChainName(id), true);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  std::vector<std::uint8_t> scratch;
  std::span<const std::uint8_t> present;
  std::uint32_t heldSector = kFreeSector;  // no regular sector has this number
  std::size_t offset = 0;
  for (const std::uint32_t miniSector : chain) {
    const std::size_t count = std::min(kMiniSectorSize, data.size() - offset);
    // A mini sector never straddles two sectors: both sizes are powers of two.
    const std::size_t position = static_cast<std::size_t>(miniSector) * kMiniSectorSize;
    // Consecutive mini sectors mostly share a sector: it is fetched once.
    const std::uint32_t sector = container[position / SectorSize];
    if (sector != heldSector) {
      present = ContainerSector(sector, scratch);
      heldSector = sector;
    }
    const std::size_t within = position % SectorSize;
    if (within > present.size() || count > present.size() - within)
      Corrupt(CfbDamagedMessage(CfbChainCutText(kCfbMiniStreamChain, sector, present.size(), within + count)));
    std::copy_n(present.begin() + static_cast<std::ptrdiff_t>(within), count,
                data.begin() + static_cast<std::ptrdiff_t>(offset));
    offset += count;
  }
  return data;
}

namespace {

/// The next code point of `text` from `at`, which it advances; a malformed
/// sequence gives its first byte's value, so every input still compares.
char32_t NextCodePoint(std::string_view text, std::size_t& at)
{
  const auto lead = static_cast<unsigned char>(text[at++]);
  const std::size_t length = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
  if (length == 0 || text.size() - at < length)
    return lead;
  char32_t code = lead & (0x3F >> length);
  for (std::size_t i = 0; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80)
      return lead;
    code = code << 6 | (next & 0x3F);
  }
  at += length;
  return code;
}

/// Upper case of the letters whose case pairs are regular: Latin (basic,
/// Latin-1, Extended-A), Greek and Cyrillic.
char32_t FoldCase(char32_t c)
{
  if (c >= U'a' && c <= U'z')
    return c - 0x20;
  if (c < 0xE0)
    return c;
  if (c <= 0xFE)
    return c == 0xF7 ? c : c - 0x20;
  if (c >= 0x100 && c <= 0x17E && c != 0x149) {
    // Pairs upper/lower, the upper even, except for a stretch offset by one.
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return oddPairs ? ((c & 1) == 0 ? c - 1 : c) : (c & ~char32_t{1});
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
    return c - 0x20;
  if (c >= 0x430 && c <= 0x44F)
    return c - 0x20;
  if (c >= 0x450 && c <= 0x45F)
    return c - 0x50;
  return c;
}

}  // namespace

bool CompoundNamesEqual(std::string_view a, std::string_view b)
{
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size())
    if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j)))
      return false;
  return i == a.size() && j == b.size();
}

std::string CompoundNameKey(std::string_view name)
{
  std::string key;
  key.reserve(name.size());
  // A malformed byte counts as the code point of its value, as it does
  // when names are compared.
  for (std::size_t i = 0; i < name.size();)
    AppendCodePointAsUtf8(FoldCase(NextCodePoint(name, i)), key);
  return key;
}

bool IsCompoundFile(std::span<const std::uint8_t> bytes)
{
  return bytes.size() >= kHeaderSize && std::equal(kSignature.begin(), kSignature.end(), bytes.begin());
}

bool HasCompoundSignature(std::span<const std::uint8_t> bytes)
{
  return bytes.size() >= kSignature.size() && std::equal(kSignature.begin(), kSignature.end(), bytes.begin());
}

TCompoundFile TCompoundFile::Open(TSharedBytes bytes)
{
  if (bytes.empty())
    throw EOleError(kStgInvalidPointer, kMsgCfbNoData);
  return OpenParsed(std::move(bytes), nullptr);
}

TCompoundFile TCompoundFile::OpenReader(std::shared_ptr<const TFileReader> file)
{
  if (!file || file->Size() == 0)
    throw EOleError(kStgInvalidPointer, kMsgCfbNoData);
  std::vector<std::uint8_t> header(static_cast<std::size_t>(std::min<std::uint64_t>(file->Size(), kHeaderSize)));
  std::size_t read = 0;
  if (!file->ReadAt(0, header, read) || read < header.size())
    throw EOleError(kStgReadFault, CfbCannotReadMessage(file->Path()));
  return OpenParsed(TSharedBytes(std::move(header)), std::move(file));
}

// `bytes` is the whole file, or only its header when `file` is given.
TCompoundFile TCompoundFile::OpenParsed(TSharedBytes bytes, std::shared_ptr<const TFileReader> file)
{
  const THeader header = ReadHeader(bytes);
  auto impl = std::make_shared<TImpl>();
  impl->MajorVersion = header.MajorVersion;
  impl->SectorSize = std::size_t{1} << header.SectorShift;
  // Sector n starts at (n + 1) * SectorSize: the header takes the first slot.
  const std::uint64_t fileSize = file ? file->Size() : bytes.size();
  impl->SectorCount = fileSize <= impl->SectorSize
                          ? 0
                          : static_cast<std::size_t>(std::min<std::uint64_t>(
                                CeilDiv(fileSize - impl->SectorSize, impl->SectorSize),
                                std::uint64_t{kMaxRegularSector} + 1));
  impl->FileSize = fileSize;
  if (file)
    impl->File = std::move(file);
  else
    impl->Bytes = std::move(bytes);
  impl->LoadFat(header);
  impl->LoadDirectory(header);
  impl->LoadMiniFat(header);

  TCompoundFile result;
  result.FRootElements = impl->WalkChildren(0);
  result.FImpl = std::move(impl);
  return result;
}

TCompoundFile TCompoundFile::OpenFile(const std::string& path)
{
  errno = 0;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    const bool denied = errno == EACCES || errno == EPERM;
    throw EOleError(denied ? kStgAccessDenied : kStgFileNotFound, CfbCannotOpenMessage(path));
  }
  TSharedBytes bytes;
  if (!ReadAllBytes(file.get(), bytes))
    throw EOleError(kStgReadFault, CfbCannotReadMessage(path));
  return Open(std::move(bytes));
}

TCompoundStream TCompoundFile::OpenStream(const std::string& name) const
{
  return OpenStream(name, nullptr);
}

TCompoundStream TCompoundFile::TakeStream(const std::string& name) &&
{
  // Only a sole holder may rearrange: no copy of this object shares the
  // directory, and nothing else holds the file's bytes.
  std::uint8_t* writable = FImpl && FImpl.use_count() == 1 ? FImpl->Bytes.ExclusiveData() : nullptr;
  return OpenStream(name, writable);
}

std::uint32_t TCompoundFile::StreamEntryId(const std::string& name) const
{
  const auto found = std::find_if(FRootElements.begin(), FRootElements.end(), [&](const TStorageElement& e) {
    return e.Type == kTypeStream && e.Name == name;
  });
  if (found == FRootElements.end())
    throw EOleError(kStgFileNotFound, CfbStreamNotFoundMessage(name));
  return found->EntryId;
}

TCompoundStream TCompoundFile::OpenStream(const std::string& name, std::uint8_t* writable) const
{
  return OpenEntry(StreamEntryId(name), writable);
}

TCompoundStream TCompoundFile::OpenEntry(std::uint32_t id, std::uint8_t* writable) const
{
  const std::uint64_t size = FImpl->EntrySize(FImpl->Entries[id]);
  TCompoundStream stream;
  // An empty stream owns no sector: its start field means nothing.
  if (size == 0)
    return stream;
  if (size < kMiniStreamCutoff)
    stream.FData = TSharedBytes(FImpl->ReadMiniStream(id, size));
  else if (FImpl->File)
    throw EOleError(kStgInvalidFunction, kMsgCfbStreamNotInMemory);
  else
    stream.FData = FImpl->ReadRegularStream(id, size, writable);
  return stream;
}

std::vector<TStorageElement> TCompoundFile::Children(std::uint32_t storageId) const
{
  if (storageId == 0)
    return FRootElements;
  if (storageId >= FImpl->Entries.size() || FImpl->Entries[storageId].Type != kTypeStorage)
    return {};
  return FImpl->WalkChildren(storageId);
}

std::optional<TStorageElement> TCompoundFile::FindElement(std::span<const std::string> path) const
{
  std::uint32_t storage = 0;
  std::optional<TStorageElement> found;
  for (const std::string& name : path) {
    if (found && found->Type != kTypeStorage)
      return std::nullopt;
    const auto children = Children(storage);
    const auto match = std::find_if(children.begin(), children.end(), [&](const TStorageElement& e) {
      return CompoundNamesEqual(e.Name, name);
    });
    if (match == children.end())
      return std::nullopt;
    found = *match;
    storage = match->EntryId;
  }
  return found;
}

TCompoundStream TCompoundFile::OpenStreamAt(std::span<const std::string> path) const
{
  const auto element = FindElement(path);
  if (!element || element->Type != kTypeStream) {
    std::string joined;
    for (const std::string& name : path)
      joined += (joined.empty() ? "" : "/") + name;
    throw EOleError(kStgFileNotFound, CfbStreamNotFoundMessage(joined));
  }
  return OpenEntry(element->EntryId, nullptr);
}

TCompoundStream TCompoundFile::OpenElement(const TStorageElement& element) const
{
  if (element.EntryId >= FImpl->Entries.size() || FImpl->Entries[element.EntryId].Type != kTypeStream)
    throw EOleError(kStgFileNotFound, CfbStreamNotFoundMessage(element.Name));
  return OpenEntry(element.EntryId, nullptr);
}

std::vector<TCompoundFile::TStreamRun> TCompoundFile::StreamRuns(const std::string& name) const
{
  const std::uint32_t id = StreamEntryId(name);
  const std::uint64_t size = FImpl->EntrySize(FImpl->Entries[id]);
  std::vector<TStreamRun> runs;
  if (size < kMiniStreamCutoff)
    return runs;
  const auto chain = FImpl->StreamChain(id, size);
  const std::uint64_t sectorSize = FImpl->SectorSize;
  const std::size_t needed = static_cast<std::size_t>(CeilDiv(size, sectorSize));
  for (std::size_t i = 0; i < needed; ++i) {
    const std::uint64_t length = std::min(sectorSize, size - i * sectorSize);
    if (const std::size_t present = FImpl->PresentBytes(chain[i]); present < length)
      Corrupt(CfbDamagedMessage(
          CfbChainCutText(FImpl->ChainName(id), chain[i], present, static_cast<std::size_t>(length))));
    const std::uint64_t fileOffset = (static_cast<std::uint64_t>(chain[i]) + 1) * sectorSize;
    if (!runs.empty() && runs.back().FileOffset + runs.back().Length == fileOffset)
      runs.back().Length += length;
    else
      runs.push_back({i * sectorSize, fileOffset, length});
  }
  return runs;
}

std::uint64_t TCompoundStream::Size() const
{
  return FData.size();
}

std::uint64_t TCompoundStream::Position() const
{
  return FPosition;
}

std::size_t TCompoundStream::Read(std::span<std::uint8_t> buffer)
{
  const std::uint64_t size = Size();
  if (FPosition >= size)
    return 0;
  const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - FPosition));
  std::copy_n(FData.begin() + FPosition, count, buffer.begin());
  FPosition += count;
  return count;
}

void TCompoundStream::Seek(std::int64_t offset)
{
  if (offset < 0) {
    // Negate in unsigned arithmetic: -INT64_MIN does not fit an int64_t.
    const std::uint64_t back = 0 - static_cast<std::uint64_t>(offset);
    if (back > FPosition)
      throw EOleError(kStgInvalidFunction, kMsgCfbSeekBeforeStart);
    FPosition -= back;
    return;
  }
  const std::uint64_t forward = static_cast<std::uint64_t>(offset);
  const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
  FPosition = forward > limit - FPosition ? limit : FPosition + forward;
}

std::span<const std::uint8_t> TCompoundStream::Bytes() const&
{
  return FData.Span();
}
