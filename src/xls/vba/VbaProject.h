#pragma once

// A workbook's VBA project, read on demand from its compound file: the
// project's information and references from the dir stream, each module's
// source decompressed from its stream and decoded from the project's code
// page into UTF-8. Nothing here runs at load and nothing is ever executed.
//
//   const TVbaProject project = ReadVbaProject(TCompoundFile::OpenFile(path));
//   for (const TVbaModule& module : project.Modules)
//     Print(module.StreamPath, module.Source);
//
// Uses the compound-file layer only, so it can become a library of its own.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TCompoundFile;

enum class TVbaModuleType : std::uint8_t {
  mtUnknown,   // the dir stream gives no type
  mtStandard,  // a procedural module
  mtClass,     // a class module
  mtDocument,  // a document's module (ThisWorkbook, Sheet1): the PROJECT stream lists it as such
  mtForm,      // a class module with a designer (a user form)
};

/// "standard", "class", "document", "form" or "unknown".
const char* VbaModuleTypeText(TVbaModuleType type);

/// A problem, with the stream it concerns ("_VBA_PROJECT_CUR/VBA/dir").
struct TVbaProblem {
  std::string Stream;
  std::string Message;
};

struct TVbaReference {
  std::string Name;           // UTF-8
  std::string Kind;           // "registered", "project", "control" or "original"
  std::string LibId;          // UTF-8: the libid, or a project's absolute path
  std::string LibIdRelative;  // a project reference's relative path
};

struct TVbaModule {
  std::string Name;        // UTF-8
  std::string StreamName;  // UTF-8, as the dir stream names it
  std::string StreamPath;  // "_VBA_PROJECT_CUR/VBA/Module1", as stored once found
  TVbaModuleType Type = TVbaModuleType::mtUnknown;
  bool ReadOnly = false;
  bool Private = false;
  /// The source in UTF-8: the Attribute lines and the stored line ends kept.
  std::string Source;
  /// Why the source is missing or partial; empty when it was read whole.
  std::string Error;
  /// The stream holds compiled code but its source was removed: the source
  /// is empty or its offset lies past the stream's end.
  bool Stomped = false;
  bool StreamFound = false;
  std::uint64_t StreamSize = 0;
  std::uint32_t TextOffset = 0;         // where the compressed source starts
  std::uint64_t SourceBytes = 0;        // decompressed size before decoding
};

struct TVbaProject {
  bool Found = false;        // a VBA storage with a dir stream exists
  bool Tolerant = false;     // read through the damage-tolerant map
  std::string StoragePath;   // "_VBA_PROJECT_CUR"
  std::string DirStream;     // "_VBA_PROJECT_CUR/VBA/dir": the information's source
  std::string ProjectStream; // "_VBA_PROJECT_CUR/PROJECT", empty when missing
  std::string Name;          // UTF-8
  std::string DocString;
  std::string HelpFile;
  std::string Constants;
  int CodePage = 0;
  std::uint32_t SysKind = 0;
  std::uint32_t Lcid = 0;
  std::uint32_t VersionMajor = 0;
  std::uint16_t VersionMinor = 0;
  std::vector<TVbaReference> References;  // from DirStream
  std::vector<TVbaModule> Modules;        // in the dir stream's order
  std::vector<TVbaProblem> Errors;        // of the project as a whole
};

/// Bounds on what reading a project may produce, for a hostile file.
struct TVbaLimits {
  std::size_t ModuleSource = std::size_t{64} << 20;  // one module's decompressed source
  std::size_t Project = std::size_t{256} << 20;      // all sources together, and all their compressed bytes
};

/// Reads the project of a compound file: the storage _VBA_PROJECT_CUR, or
/// _VBA_PROJECT for a workbook older versions saved, at the root. Not Found
/// when neither holds a VBA storage with a dir stream. Never throws for
/// damage: a stream the reader refuses is a problem of the project or of its
/// module, and the rest is still read.
/// A module past `limits` gets its source cut (kMsgVbaOutputLimit) or not
/// read (kMsgVbaProjectLimit).
TVbaProject ReadVbaProject(const TCompoundFile& file, const TVbaLimits& limits = {});

/// The same through the damage-tolerant map of the whole file (`file` is all
/// its bytes): a tree that loops or breaks still gives the storages it
/// reaches, and a stream whose chain breaks what its sectors hold, marked as
/// cut. A storage or stream the tree does not reach is searched for by name
/// among all entries. Never throws for bad input.
TVbaProject ReadVbaProjectTolerant(std::span<const std::uint8_t> file, const TVbaLimits& limits = {});
