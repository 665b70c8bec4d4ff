#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Texts of the compound-file layer's EOleError messages. The status that goes
// with each text is chosen at the throw site (see the kStg* constants in
// CompoundFile.h); the header, structure and stream groups below keep to
// kStgInvalidHeader, kStgDocFileCorrupt and kStgFileNotFound respectively.

// Header (kStgInvalidHeader).
inline constexpr char kMsgCfbNotCompoundFile[] = "The file is not a compound file";
inline constexpr char kMsgCfbBadByteOrder[] = "Compound file header is invalid: unknown byte order";
inline constexpr char kMsgCfbBadVersion[] = "Compound file header is invalid: unsupported version";
inline constexpr char kMsgCfbBadSectorSize[] =
    "Compound file header is invalid: sector size does not match the version";
inline constexpr char kMsgCfbBadMiniSectorSize[] =
    "Compound file header is invalid: unsupported mini sector size";
inline constexpr char kMsgCfbBadMiniStreamCutoff[] =
    "Compound file header is invalid: unsupported mini stream cutoff";

// Structures (kStgDocFileCorrupt).
inline constexpr char kMsgCfbNoRootEntry[] = "Compound file is damaged: root entry is missing";
inline constexpr char kMsgCfbStructureTruncated[] =
    "Compound file is damaged: a structure ends past its data";

// Opening a file, reading a stream.
inline constexpr char kMsgCfbNoData[] = "No compound file data";  // kStgInvalidPointer
inline constexpr char kMsgCfbStreamNotInMemory[] =
    "Compound file is read a part at a time: open its streams by their runs";  // kStgInvalidFunction
inline constexpr char kMsgCfbSeekBeforeStart[] =
    "Cannot seek before the start of a stream";  // kStgInvalidFunction

/// "Compound file is damaged: stream "<name>" is larger than the file"
/// (kStgDocFileCorrupt): the size field cannot be true, checked before any
/// allocation.
inline std::string CfbStreamTooLargeMessage(std::string_view name)
{
  return "Compound file is damaged: stream \"" + std::string(name) + "\" is larger than the file";
}

/// "The compound file has no stream named "<name>"" (kStgFileNotFound).
inline std::string CfbStreamNotFoundMessage(std::string_view name)
{
  return "The compound file has no stream named \"" + std::string(name) + "\"";
}

/// "Cannot open the file "<path>"" (kStgFileNotFound or kStgAccessDenied).
inline std::string CfbCannotOpenMessage(std::string_view path)
{
  return "Cannot open the file \"" + std::string(path) + "\"";
}

/// "Cannot read the file "<path>"" (kStgReadFault).
inline std::string CfbCannotReadMessage(std::string_view path)
{
  return "Cannot read the file \"" + std::string(path) + "\"";
}

// Damage, said once for the strict reader, which refuses the file with it
// (CfbDamagedMessage), and for the map of a damaged file, which lists it
// and reads on: each text names the structure and the sector or entry
// where it broke.

/// "Compound file is damaged: <damage>" (kStgDocFileCorrupt).
inline std::string CfbDamagedMessage(std::string_view damage)
{
  return "Compound file is damaged: " + std::string(damage);
}

/// "Compound file is damaged: <first>; <second>; ..." (kStgDocFileCorrupt):
/// every damage a salvaged reading met, in the order met.
inline std::string CfbDamagedMessage(const std::vector<std::string>& damage)
{
  std::string text;
  for (const std::string& part : damage)
    text += (text.empty() ? "" : "; ") + part;
  return CfbDamagedMessage(text);
}

// The chains a damage text names besides the streams.
inline constexpr char kCfbDirectoryChain[] = "the directory chain";
inline constexpr char kCfbMiniFatChain[] = "the mini FAT chain";
inline constexpr char kCfbDifatChain[] = "the DIFAT chain";
inline constexpr char kCfbFatHolder[] = "the FAT";
/// The root entry's chain, which holds the mini sectors.
inline constexpr char kCfbMiniStreamChain[] = "the mini stream";
inline constexpr char kCfbNoRoot[] = "the root entry is missing";

/// "stream "<name>" (entry <id>)": a stream's chain in a damage text.
inline std::string CfbStreamChain(std::string_view name, std::uint32_t entry)
{
  return "stream \"" + std::string(name) + "\" (entry " + std::to_string(entry) + ")";
}

/// "sector 12" or "mini sector 12"; a marker where a sector number belongs
/// by its meaning ("a free sector", "the FAT sector mark 0xFFFFFFFD").
inline std::string CfbSectorText(std::uint32_t value, bool mini)
{
  const std::string unit = mini ? "mini sector" : "sector";
  switch (value) {
  case 0xFFFFFFFF: return "a free " + unit;
  case 0xFFFFFFFE: return "the end-of-chain mark";
  case 0xFFFFFFFD: return "the FAT sector mark 0xFFFFFFFD";
  case 0xFFFFFFFC: return "the DIFAT sector mark 0xFFFFFFFC";
  case 0xFFFFFFFB: return "the reserved value 0xFFFFFFFB";
  default: return unit + " " + std::to_string(value);
  }
}

/// Where a chain goes wrong: "<chain>: sector 5 links to " or, when its
/// first sector is the bad one, "<chain> starts at ".
inline std::string CfbLinkText(std::string_view chain, bool mini, std::optional<std::uint32_t> from)
{
  if (!from)
    return std::string(chain) + " starts at ";
  return std::string(chain) + ": " + CfbSectorText(*from, mini) + " links to ";
}

/// "<chain>: sector 5 links to sector 9000, beyond the 128 sectors the FAT
/// describes": a number no table entry has, or a marker where a sector
/// number belongs. `described` counts the table's entries.
inline std::string CfbBadLinkText(std::string_view chain, bool mini, std::optional<std::uint32_t> from,
                                  std::uint32_t to, std::size_t described)
{
  std::string text = CfbLinkText(chain, mini, from) + CfbSectorText(to, mini);
  if (to < 0xFFFFFFFB)
    text += ", beyond the " + std::to_string(described) + (mini ? " mini sectors the mini FAT" : " sectors the FAT") +
            " describes";
  return text;
}

/// "<chain> runs past the end of the file: sector 24 links to sector 25,
/// the file holds 25 sectors" (the mini stream, counted in mini sectors,
/// for a mini chain): the table describes a sector the data lacks.
inline std::string CfbPastDataText(std::string_view chain, bool mini, std::optional<std::uint32_t> from,
                                   std::uint32_t to, std::size_t present)
{
  const std::string where = mini ? "the mini stream" : "the file";
  std::string text = std::string(chain) + " runs past the end of " + where + ": ";
  text += from ? CfbSectorText(*from, mini) + " links to " : std::string("it starts at ");
  return text + CfbSectorText(to, mini) + ", " + where + " holds " + std::to_string(present) +
         (mini ? " mini sectors" : " sectors");
}

/// "<chain> loops: sector 5 links back to sector 2".
inline std::string CfbChainLoopText(std::string_view chain, bool mini, std::uint32_t from, std::uint32_t to)
{
  return std::string(chain) + " loops: " + CfbSectorText(from, mini) + " links back to " + CfbSectorText(to, mini);
}

/// "<chain> ends after 10 of its 20 sectors, at sector 14", or "<chain>
/// has no sector, its size needs 20": the end-of-chain mark comes before
/// the stream's size is reached.
inline std::string CfbChainEndsText(std::string_view chain, bool mini, std::optional<std::uint32_t> last,
                                    std::uint64_t have, std::uint64_t need)
{
  const std::string unit = mini ? " mini sectors" : " sectors";
  if (!last)
    return std::string(chain) + " has no" + (mini ? " mini sector" : " sector") + ", its size needs " +
           std::to_string(need);
  return std::string(chain) + " ends after " + std::to_string(have) + " of its " + std::to_string(need) + unit +
         ", at " + CfbSectorText(*last, mini);
}

/// "<chain> is cut short by the end of the file: sector 24 holds 334 of
/// its 400 bytes".
inline std::string CfbChainCutText(std::string_view chain, std::uint32_t sector, std::size_t present,
                                   std::size_t needed)
{
  return std::string(chain) + " is cut short by the end of the file: " + CfbSectorText(sector, false) +
         " holds " + std::to_string(present) + " of its " + std::to_string(needed) + " bytes";
}

/// "<chain> is read on in file order from sector 129 to sector 265: 136
/// sectors, 262 of the 262 its size needs": the sectors after a broken
/// chain's last one, taken as the rest of the stream.
inline std::string CfbReadOnText(std::string_view chain, std::uint32_t first, std::uint32_t last,
                                 std::size_t taken, std::size_t have, std::size_t need)
{
  return std::string(chain) + " is read on in file order from sector " + std::to_string(first) + " to sector " +
         std::to_string(last) + ": " + std::to_string(taken) + (taken == 1 ? " sector, " : " sectors, ") +
         std::to_string(have) + " of the " + std::to_string(need) + " its size needs";
}

/// "directory tree loops: entry 33 links back to entry 0".
inline std::string CfbTreeLoopText(std::uint32_t from, std::uint32_t to)
{
  return "directory tree loops: entry " + std::to_string(from) + " links back to entry " + std::to_string(to);
}

/// "directory entry 2 links to entry 1000, beyond the 8 entries of the directory".
inline std::string CfbEntryOutOfRangeText(std::uint32_t from, std::uint32_t to, std::size_t count)
{
  return "directory entry " + std::to_string(from) + " links to entry " + std::to_string(to) + ", beyond the " +
         std::to_string(count) + " entries of the directory";
}

/// "the header claims 9 FAT sectors, the file holds 4 sectors".
inline std::string CfbFatCountText(std::uint64_t claimed, std::size_t present)
{
  return "the header claims " + std::to_string(claimed) + " FAT sectors, the file holds " + std::to_string(present) +
         " sectors";
}

/// "FAT sector 2 of 3 is listed as sector 9000, beyond the 21 sectors of
/// the file" (or as a marker).
inline std::string CfbFatSectorText(std::size_t index, std::size_t count, std::uint32_t listed, std::size_t present)
{
  std::string text = "FAT sector " + std::to_string(index + 1) + " of " + std::to_string(count) + " is listed as " +
                     CfbSectorText(listed, false);
  if (listed < 0xFFFFFFFB)
    text += ", beyond the " + std::to_string(present) + " sectors of the file";
  return text;
}

/// "the DIFAT chain ends after sector 7 with 236 of the 400 FAT sectors
/// listed" ("ends at the header" when no DIFAT sector was read).
inline std::string CfbDifatEndsText(std::optional<std::uint32_t> last, std::size_t listed, std::size_t count)
{
  return std::string(kCfbDifatChain) + (last ? " ends after sector " + std::to_string(*last) : " ends at the header") +
         " with " + std::to_string(listed) + " of the " + std::to_string(count) + " FAT sectors listed";
}

/// "sector 11 is claimed by the directory chain and by stream "Data" (entry 4)".
inline std::string CfbSectorSharedText(std::uint32_t sector, std::string_view first, std::string_view second)
{
  return "sector " + std::to_string(sector) + " is claimed by " + std::string(first) + " and by " +
         std::string(second);
}

/// "136 sectors in use by the FAT belong to no chain, the first sector 129".
inline std::string CfbUnreachableText(std::size_t count, std::uint32_t first)
{
  return std::to_string(count) +
         (count == 1 ? " sector in use by the FAT belongs" : " sectors in use by the FAT belong") +
         " to no chain, the first sector " + std::to_string(first);
}

/// "stream "Workbook" (entry 5) is not reached through the directory tree:
/// found by scanning the directory sectors".
inline std::string CfbFoundByScanText(std::string_view chain)
{
  return std::string(chain) + " is not reached through the directory tree: found by scanning the directory sectors";
}
