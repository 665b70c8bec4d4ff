#pragma once

// The PROJECT stream of a VBA project: lines of "key=value" text in the
// project's code page. Only its module listing matters here: which modules
// are documents' modules, classes, designers or standard modules.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TVbaListedKind : std::uint8_t {
  lkStandard,  // Module=Name
  lkClass,     // Class=Name
  lkDocument,  // Document=Name/&H00000000
  lkDesigner,  // BaseClass=Name
};

struct TVbaProjectListing {
  struct TEntry {
    std::string Name;
    TVbaListedKind Kind = TVbaListedKind::lkStandard;
  };
  std::vector<TEntry> Entries;
  /// The kind listed for `name`, compared without regard to ASCII case as
  /// VBA compares its identifiers.
  std::optional<TVbaListedKind> KindOf(std::string_view name) const;
};

/// Reads the listing from the stream's text (UTF-8), up to its first
/// section heading ("[Host Extender Info]"). Lines it does not know are
/// skipped.
TVbaProjectListing ParseVbaProjectText(std::string_view text);
