#pragma once

#include <string>
#include <string_view>

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
inline constexpr char kMsgCfbTooManyFatSectors[] =
    "Compound file is damaged: the header claims more FAT sectors than the file holds";
inline constexpr char kMsgCfbDifatLoops[] = "Compound file is damaged: DIFAT chain loops";
inline constexpr char kMsgCfbDifatEndsEarly[] =
    "Compound file is damaged: DIFAT chain ends before all FAT sectors are listed";
inline constexpr char kMsgCfbChainLoops[] = "Compound file is damaged: sector chain loops";
inline constexpr char kMsgCfbSectorOutOfRange[] =
    "Compound file is damaged: sector number out of range";
inline constexpr char kMsgCfbFileTruncated[] = "Compound file is damaged: the file is truncated";
inline constexpr char kMsgCfbNoRootEntry[] = "Compound file is damaged: root entry is missing";
inline constexpr char kMsgCfbDirectoryLoops[] = "Compound file is damaged: directory tree loops";
inline constexpr char kMsgCfbEntryOutOfRange[] =
    "Compound file is damaged: directory entry number out of range";
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

/// "Compound file is damaged: stream "<name>" is truncated" (kStgDocFileCorrupt):
/// its sector chain ends before its size is reached.
inline std::string CfbStreamTruncatedMessage(std::string_view name)
{
  return "Compound file is damaged: stream \"" + std::string(name) + "\" is truncated";
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
