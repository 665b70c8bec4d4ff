#pragma once

// The compression of VBA project streams: a signature byte, then chunks of
// at most 4096 decompressed bytes, each either stored as it is or as flag
// bytes whose bits say whether each following token is a literal byte or a
// copy of earlier bytes of the same chunk.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

/// The most a module's source, or the dir stream, may decompress to.
inline constexpr std::size_t kVbaDecompressedLimit = std::size_t{64} << 20;

struct TVbaDecompressed {
  std::vector<std::uint8_t> Bytes;  // what was decompressed before any error
  std::string Error;                // empty when the container was read whole
  bool Cut = false;                 // stopped at the limit (Error says so too)
};

/// Decompresses a compressed container. Never throws for bad input: a bad
/// signature, a chunk cut short or a copy token that points outside its
/// chunk ends the reading there, with the bytes so far and the message
/// (the kMsgVba* texts of xls/vba/VbaMessages.h). Output stops at `limit`
/// bytes, marked Cut.
TVbaDecompressed DecompressVba(std::span<const std::uint8_t> container,
                               std::size_t limit = kVbaDecompressedLimit);
