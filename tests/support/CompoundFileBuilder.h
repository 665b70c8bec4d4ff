#pragma once

// Builds compound files in memory for tests. Written from the published format
// and independent of the reader, so a test compares two separate codings.
//
//   const auto file = TCompoundFileBuilder().AddStream("Workbook", book).Build();
//
// Sectors are laid out in this order: DIFAT sectors, FAT sectors, directory,
// mini FAT, mini stream, then each regular stream in AddStream order. The
// layout (BuildImage) tells a test where each structure lies, so a hostile
// case can start from a valid file and patch one field.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Where a stream's bytes go.
enum class TStreamPlacement {
  spAuto,        // mini stream below 4096 bytes, regular sectors from there on
  spMiniStream,  // forced into the mini stream (a reader then misreads it: tests only)
  spRegular,     // forced into regular sectors
};

// Header field offsets.
inline constexpr std::size_t kCfbHeaderMinorVersion = 24;
inline constexpr std::size_t kCfbHeaderMajorVersion = 26;
inline constexpr std::size_t kCfbHeaderByteOrder = 28;
inline constexpr std::size_t kCfbHeaderSectorShift = 30;
inline constexpr std::size_t kCfbHeaderMiniSectorShift = 32;
inline constexpr std::size_t kCfbHeaderDirectorySectorCount = 40;
inline constexpr std::size_t kCfbHeaderFatSectorCount = 44;
inline constexpr std::size_t kCfbHeaderFirstDirectorySector = 48;
inline constexpr std::size_t kCfbHeaderMiniStreamCutoff = 56;
inline constexpr std::size_t kCfbHeaderFirstMiniFatSector = 60;
inline constexpr std::size_t kCfbHeaderMiniFatSectorCount = 64;
inline constexpr std::size_t kCfbHeaderFirstDifatSector = 68;
inline constexpr std::size_t kCfbHeaderDifatSectorCount = 72;
inline constexpr std::size_t kCfbHeaderDifat = 76;

// Directory entry field offsets, from the start of the entry.
inline constexpr std::size_t kCfbEntryNameLength = 64;
inline constexpr std::size_t kCfbEntryType = 66;
inline constexpr std::size_t kCfbEntryLeft = 68;
inline constexpr std::size_t kCfbEntryRight = 72;
inline constexpr std::size_t kCfbEntryChild = 76;
inline constexpr std::size_t kCfbEntryClsid = 80;
inline constexpr std::size_t kCfbEntryStartSector = 116;
inline constexpr std::size_t kCfbEntrySize = 120;

// Special sector and entry numbers.
inline constexpr std::uint32_t kCfbDifSect = 0xFFFFFFFC;
inline constexpr std::uint32_t kCfbFatSect = 0xFFFFFFFD;
inline constexpr std::uint32_t kCfbEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kCfbFreeSect = 0xFFFFFFFF;
inline constexpr std::uint32_t kCfbNoStream = 0xFFFFFFFF;

/// Where the builder put everything, in sector numbers (sector n starts at
/// byte (n + 1) * SectorSize).
struct TCompoundFileLayout {
  struct TStream {
    std::string Name;
    std::uint32_t EntryId = 0;
    bool InMiniStream = false;
    std::vector<std::uint32_t> Sectors;  // mini sectors when InMiniStream
  };

  std::size_t SectorSize = 0;
  std::vector<std::uint32_t> DifatSectors;
  std::vector<std::uint32_t> FatSectors;
  std::vector<std::uint32_t> DirectorySectors;
  std::vector<std::uint32_t> MiniFatSectors;
  std::vector<std::uint32_t> MiniStreamSectors;
  std::vector<TStream> Streams;  // streams and storages, in the order added

  std::size_t SectorOffset(std::uint32_t sector) const;
  /// Byte offset of directory entry `entryId` (0 is the root).
  std::size_t EntryOffset(std::uint32_t entryId) const;
  /// Byte offset of the FAT entry that follows `sector`.
  std::size_t FatEntryOffset(std::uint32_t sector) const;
  /// Byte offset of the mini FAT entry that follows `miniSector`.
  std::size_t MiniFatEntryOffset(std::uint32_t miniSector) const;
  /// The element added as `name`; throws std::out_of_range when none was.
  const TStream& Stream(std::string_view name) const;
};

struct TCompoundFileImage {
  std::vector<std::uint8_t> Bytes;
  TCompoundFileLayout Layout;
};

class TCompoundFileBuilder {
public:
  /// Major version 3 (512-byte sectors, the default) or 4 (4096-byte sectors).
  TCompoundFileBuilder& Version(int major);
  /// A stream at the root; `name` is UTF-8, at most 31 UTF-16 units. A name
  /// "S/T" puts stream T in the storage added (before or after) as "S".
  TCompoundFileBuilder& AddStream(std::string name, std::vector<std::uint8_t> bytes,
                                  TStreamPlacement placement = TStreamPlacement::spAuto);
  /// A storage at the root, or inside another as AddStream's names say,
  /// with class id `clsid` (the 16 bytes as stored; zeros by default).
  TCompoundFileBuilder& AddStorage(std::string name, const std::array<std::uint8_t, 16>& clsid = {});
  /// Adds `count` FAT sectors of free entries beyond those needed: a valid
  /// file whose FAT sectors need DIFAT sectors without megabytes of data.
  TCompoundFileBuilder& ExtraFatSectors(std::size_t count);

  std::vector<std::uint8_t> Build() const;
  TCompoundFileImage BuildImage() const;

private:
  struct TElement {
    std::string Name;
    std::vector<std::uint8_t> Bytes;
    bool IsStorage = false;
    TStreamPlacement Placement = TStreamPlacement::spAuto;
    std::array<std::uint8_t, 16> Clsid{};
  };
  int FVersion = 3;
  std::size_t FExtraFatSectors = 0;
  std::vector<TElement> FElements;
};

/// UTF-8 to UTF-16 code units (input assumed valid UTF-8).
std::u16string CfbUtf16(std::string_view utf8);

// Little-endian field access for tests that inspect or patch a built file.
std::uint32_t CfbGetU32(const std::vector<std::uint8_t>& bytes, std::size_t offset);
void CfbPutU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void CfbPutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);
void CfbPutU64(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint64_t value);
