#pragma once

// A compound file mapped as it is, damage included: every directory entry
// as stored, what each sector holds, where each stream's bytes lie, and
// what is wrong with the structures. The strict reader (CompoundFile.h)
// refuses a damaged file; this map is what recovering data from one, and
// checking a writer's work, need.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class TFileReader;

/// One 128-byte directory entry, as stored ([MS-CFB] 2.6).
struct TCompoundEntry {
  std::uint32_t Id = 0;
  std::string Name;
  std::uint8_t Type = 0;   // 0 unused, 1 storage, 2 stream, 5 root
  std::uint8_t Color = 0;  // 0 red, 1 black
  std::uint32_t Left = 0;
  std::uint32_t Right = 0;
  std::uint32_t Child = 0;
  std::array<std::uint8_t, 16> Clsid{};
  std::uint32_t Start = 0;
  std::uint64_t Size = 0;  // version 3: the low dword only
  bool InMiniStream = false;  // a stream below the cutoff, in mini sectors
  bool Nested = false;        // inside a storage below the root
};

/// What a sector holds.
enum class TSectorUse : std::uint8_t {
  suFree,
  suFat,
  suDifat,
  suDirectory,
  suMiniFat,
  suMiniStream,  // the root entry's chain, which holds the mini sectors
  suStream,      // a regular stream's bytes (Owner is its entry)
  suUnreachable, // marked in use by the FAT, yet in no chain
};

struct TCompoundSector {
  TSectorUse Use = TSectorUse::suFree;
  std::uint32_t Owner = 0;   // the entry, for suStream and suMiniStream
  std::uint32_t Slack = 0;   // bytes after a stream's last byte in its last sector
  bool Claimed = false;      // two chains claim it (or a chain twice)
  bool ReadOn = false;       // taken in file order after its stream's chain broke
};

/// What a problem concerns, so that a reader of one stream can tell the
/// damage it met from the rest.
enum class TProblemScope : std::uint8_t {
  psStructure,  // the header, FAT, DIFAT or directory chain: every stream
  psMiniFat,    // the mini FAT chain: the streams in the mini stream
  psTree,       // the links of the entries under storage Entry (0: the root)
  psChain,      // the chain of entry Entry (0: the mini stream)
  psShared,     // a sector two chains claim
  psUnused,     // sectors in use by the FAT that no chain reaches: nothing is lost
};

/// One problem found, in words that say where (CompoundFileMessages.h).
struct TCompoundProblem {
  std::string Message;
  std::uint32_t Sector = 0xFFFFFFFF;  // the sector it concerns, when one does
  TProblemScope Scope = TProblemScope::psStructure;
  std::uint32_t Entry = 0xFFFFFFFF;   // for psTree and psChain
};

struct TCompoundMap {
  bool Valid = false;  // false when even the header cannot be read
  std::uint16_t MajorVersion = 0;
  std::size_t SectorSize = 0;
  std::vector<TCompoundEntry> Entries;
  /// The root's children the tree still reaches, in directory-tree order
  /// (an in-order walk of their siblings' tree, as the strict reader walks
  /// it), up to where a link loops or leaves the directory.
  std::vector<std::uint32_t> RootChildren;
  std::vector<TCompoundSector> Sectors;  // sector n starts at byte (n + 1) * SectorSize
  /// Per entry: the regular sectors of its chain (streams of the FAT and
  /// the root's mini stream), or the mini sectors of a mini stream's chain,
  /// up to the first break; for a regular stream, then the sectors read on
  /// after the break in file order (see MapCompoundFile).
  std::vector<std::vector<std::uint32_t>> Chains;
  std::vector<TCompoundProblem> Problems;

  /// File offsets of stream bytes [from, from + count) of entry `id`, as
  /// (offset, length) runs; fewer bytes where the chain breaks first.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> FileRuns(std::uint32_t id, std::uint64_t from,
                                                               std::uint64_t count) const;
  /// The bytes of entry `id`'s stream that the chain reaches, at most its size.
  std::vector<std::uint8_t> StreamBytes(std::span<const std::uint8_t> file, std::uint32_t id) const;

  /// The entries in the sibling tree under storage `id` (0, the root, too),
  /// in directory-tree order, each at most once: a loop or a link out of
  /// range ends that branch, and what the rest of the tree reaches is kept.
  std::vector<std::uint32_t> Children(std::uint32_t id) const;
  /// The entry at `path` (names from the root, compared as
  /// CompoundNamesEqual does), found through the tree; nothing when a part
  /// is missing or a part before the last is not a storage.
  std::optional<std::uint32_t> FindPath(std::span<const std::string> path) const;
};

/// Maps the file tolerantly: every chain (DIFAT, FAT, directory, mini FAT,
/// each stream's) is followed up to its first break (a free, out-of-range
/// or repeated sector, the end of the file), the directory entries are
/// read in their stored order, and the tree is walked with every entry
/// visited once: the first link to an entry places it (the root's siblings
/// before any storage's), a link back to a placed one ends that branch.
/// A regular stream whose chain breaks (an end-of-chain mark before its
/// size is not a break: the size may be what is wrong) is read on in file
/// order from the sector after its last one, while the sectors there are
/// in use by the FAT and no other chain's, passing over FAT and DIFAT
/// sectors, up to its size; a problem says so. Never throws for bad input;
/// allocates no more than the file's size justifies.
TCompoundMap MapCompoundFile(std::span<const std::uint8_t> file);
/// The same for a file on disk, of which only the structures' sectors are
/// read (its streams' bytes are not).
TCompoundMap MapCompoundFile(const TFileReader& file);
