#pragma once

// Reading what a damaged compound file still holds. The strict reader
// (CompoundFile.h) refuses a file whose directory tree loops or whose chains
// break; people open such files precisely to recover what is in them.

#include "platform/CompoundFile.h"
#include "platform/SharedBytes.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// What a damaged compound file still holds of one root-level stream.
struct TSalvagedStream {
  std::string Name;   // as stored
  TSharedBytes Bytes; // the stream's bytes up to the first break, or all of them
};

/// Picks, among the names of the file's streams in directory order, the one
/// to read: its position in the list, or nothing.
using TChooseStream = std::function<std::optional<std::size_t>(const std::vector<std::string>& names)>;

/// Reads a compound file as a reader of damaged files does: the directory
/// entries in their stored order instead of through the tree, and every
/// chain (DIFAT, FAT, directory, mini FAT, the stream's own) up to its first
/// break: a free, out-of-range or repeated sector, or the end of the file.
/// Nothing when the header cannot be read or no stream is chosen. Allocates
/// no more than the file's size justifies.
std::optional<TSalvagedStream> SalvageStream(std::span<const std::uint8_t> file,
                                             const TChooseStream& choose);

/// Runs `read`, a strict reading of a compound file, and hands back the
/// error when it fails because the file is damaged (kStgDocFileCorrupt), so
/// the caller can salvage instead; every other failure passes through.
std::optional<EOleError> ReadOrReportDamage(const std::function<void()>& read);
