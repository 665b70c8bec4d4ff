#pragma once

// The records of a VBA project's decompressed dir stream: the project's
// information, its references and its modules. Text fields are kept as
// stored: the 8-bit ones as the project's code page wrote them (decoded by
// the caller, which knows the code page only at the end), the UTF-16 ones
// already as UTF-8.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// How a reference names its library.
enum class TVbaReferenceKind : std::uint8_t {
  rkRegistered,  // a registered type library (libid)
  rkProject,     // another VBA project (absolute and relative path)
  rkControl,     // a twiddled type library of controls, extended libid
  rkOriginal,    // an original type library with its control record
};

struct TVbaDirReference {
  TVbaReferenceKind Kind = TVbaReferenceKind::rkRegistered;
  std::string Name;          // 8-bit
  std::string NameUnicode;   // UTF-8, empty when not stored
  std::string LibId;         // 8-bit: the libid, or the absolute path of a project
  std::string LibIdRelative; // 8-bit: a project reference's relative path
};

struct TVbaDirModule {
  std::string Name;                // 8-bit
  std::string NameUnicode;         // UTF-8, empty when not stored
  std::string StreamName;          // 8-bit
  std::string StreamNameUnicode;   // UTF-8, empty when not stored
  std::string DocString;           // 8-bit
  std::uint32_t TextOffset = 0;    // where the compressed source starts in its stream
  bool HasTextOffset = false;
  std::uint32_t HelpContext = 0;
  std::uint16_t Cookie = 0;
  std::uint16_t Type = 0;          // kVbaModuleProcedural or kVbaModuleDocClass; 0 when not stored
  bool ReadOnly = false;
  bool Private = false;
};

inline constexpr std::uint16_t kVbaModuleProcedural = 0x0021;
inline constexpr std::uint16_t kVbaModuleDocClass = 0x0022;

struct TVbaDir {
  std::uint32_t SysKind = 0;      // 0 16-bit Windows, 1 32-bit Windows, 2 Macintosh, 3 64-bit Windows
  std::optional<std::uint32_t> CompatVersion;
  std::uint32_t Lcid = 0;
  std::uint32_t LcidInvoke = 0;
  std::uint16_t CodePage = 0;     // 0 when not stored
  std::string Name;               // 8-bit
  std::string DocString;          // 8-bit
  std::string DocStringUnicode;   // UTF-8
  std::string HelpFile;           // 8-bit
  std::uint32_t HelpContext = 0;
  std::uint32_t LibFlags = 0;
  std::uint32_t VersionMajor = 0;
  std::uint16_t VersionMinor = 0;
  std::string Constants;          // 8-bit
  std::string ConstantsUnicode;   // UTF-8
  std::vector<TVbaDirReference> References;
  std::uint16_t ModuleCount = 0;  // as PROJECTMODULES states it
  std::uint16_t Cookie = 0;
  std::vector<TVbaDirModule> Modules;
  /// Problems found, in order (the kMsgVba* texts); parsing stops at the
  /// first record whose size runs past the end, keeping what came before.
  std::vector<std::string> Errors;
};

/// Parses a decompressed dir stream. Every record is an id and a size then
/// that many bytes, except PROJECTVERSION, whose size field says 4 although
/// 6 bytes follow; a record of an unknown id is skipped by its size. Never
/// throws for bad input; no size from the stream is trusted before it is
/// checked against the bytes that remain.
TVbaDir ParseVbaDir(std::span<const std::uint8_t> dir);
