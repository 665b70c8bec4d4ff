#pragma once

// Texts of the VBA project reader: the problems it reports for a damaged,
// cut or hostile project. None of them is thrown; each is attached to the
// stream it concerns.

#include "platform/text/HexText.h"

#include <cstdint>
#include <string>
#include <string_view>

// Compressed containers.
inline constexpr char kMsgVbaEmptyContainer[] = "compressed data is empty";
inline constexpr char kMsgVbaBadContainerSignature[] = "compressed data does not start with its signature byte";
inline constexpr char kMsgVbaBadChunkSignature[] = "compressed chunk has a bad signature";
inline constexpr char kMsgVbaChunkHeaderCut[] = "compressed data ends inside a chunk header";
inline constexpr char kMsgVbaChunkCut[] = "compressed chunk is cut short";
inline constexpr char kMsgVbaChunkTooLarge[] = "compressed chunk decompresses to more than 4096 bytes";
inline constexpr char kMsgVbaCopyBeforeStart[] = "copy token points before the start of its chunk";
inline constexpr char kMsgVbaTokenCut[] = "compressed chunk ends inside a copy token";
inline constexpr char kMsgVbaOutputLimit[] = "decompressed data exceeds the size limit and is cut";

// The dir stream.
inline constexpr char kMsgVbaDirNoTerminator[] = "dir stream ends before its terminator record";
inline constexpr char kMsgVbaModuleNoTerminator[] = "module record list ends before its terminator";
inline constexpr char kMsgVbaModuleCountMismatch[] = "module count differs from the modules listed";
inline constexpr char kMsgVbaTooManyItems[] = "dir stream lists more than 65535 modules or references: the rest is ignored";

// Streams and modules.
inline constexpr char kMsgVbaNoDirStream[] = "the VBA storage has no dir stream";
inline constexpr char kMsgVbaNoProjectStream[] = "the project has no PROJECT stream";
inline constexpr char kMsgVbaNoModuleStream[] = "the module's stream is missing";
inline constexpr char kMsgVbaModuleNoStreamName[] = "the module names no stream";
inline constexpr char kMsgVbaOffsetPastEnd[] = "the source offset lies past the end of the module's stream";
inline constexpr char kMsgVbaStomped[] =
    "the module's stream holds compiled code but no source: the source was removed";
inline constexpr char kMsgVbaStreamCut[] = "the stream is cut short: only the bytes its sectors reach were read";
inline constexpr char kMsgVbaProjectLimit[] = "the project's sources exceed the size limit: module not read";

/// "record 0x<id> runs past the end of the dir stream"
inline std::string VbaRecordPastEndMessage(std::uint16_t id)
{
  return "record " + HexNumber(id, 4) + " runs past the end of the dir stream";
}

/// "<what> cannot be read: <reason>", for a stream the compound file refuses.
inline std::string VbaStreamUnreadableMessage(std::string_view what, std::string_view reason)
{
  return std::string(what) + " cannot be read: " + std::string(reason);
}
