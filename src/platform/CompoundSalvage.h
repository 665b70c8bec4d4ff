#pragma once

// Reading what a damaged compound file still holds. The strict reader
// (CompoundFile.h) refuses a file whose directory tree loops or whose chains
// break; people open such files precisely to recover what is in them.

#include "platform/CompoundFile.h"
#include "platform/CompoundMap.h"
#include "platform/SharedBytes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// What a damaged compound file still holds of one root-level stream.
struct TSalvagedStream {
  std::string Name;   // as stored
  TSharedBytes Bytes; // the stream's bytes up to the first break, or all of them
  /// The damage met on the way to these bytes, each text saying where
  /// (CompoundFileMessages.h): the header's, the FAT's and the directory's,
  /// the root's tree, the stream's own chain (with the mini FAT and the
  /// mini stream for a stream in the mini stream), and, for a stream the
  /// tree does not reach, that a scan of the directory found it.
  std::vector<std::string> Damage;
};

/// Picks, among the names of the file's streams in directory order, the one
/// to read: its position in the list, or nothing.
using TChooseStream = std::function<std::optional<std::size_t>(const std::vector<std::string>& names)>;

/// The entry chosen to read, and whether the tree reaches it.
struct TSalvageChoice {
  std::uint32_t Id = 0;
  bool Scanned = false;  // found among the directory's stored entries, not through the tree
};

/// Chooses the stream to read from a map of the file: among the root's
/// children the tree still reaches, in directory order; when `choose`
/// picks none there, among every stream entry of the directory sectors, in
/// stored order, that no storage holds. Nothing when neither has one.
std::optional<TSalvageChoice> ChooseSalvagedEntry(const TCompoundMap& map, const TChooseStream& choose);

/// Reads a compound file as a reader of damaged files does (the map of
/// MapCompoundFile): the stream ChooseSalvagedEntry picks, up to its
/// chain's first break or on through the sectors read on after it.
/// Nothing when the header cannot be read or no stream is chosen. Allocates
/// no more than the file's size justifies.
std::optional<TSalvagedStream> SalvageStream(std::span<const std::uint8_t> file,
                                             const TChooseStream& choose);

/// Runs `read`, a strict reading of a compound file, and hands back the
/// error when it fails because the file is damaged (kStgDocFileCorrupt), so
/// the caller can salvage instead; every other failure passes through.
std::optional<EOleError> ReadOrReportDamage(const std::function<void()>& read);
