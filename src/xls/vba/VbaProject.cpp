#include "xls/vba/VbaProject.h"

#include "platform/CompoundFile.h"
#include "platform/text/CodePage.h"
#include "xls/vba/VbaCompression.h"
#include "xls/vba/VbaDir.h"
#include "xls/vba/VbaMessages.h"
#include "xls/vba/VbaProjectText.h"
#include "xls/vba/VbaStorage.h"

#include <algorithm>
#include <array>

namespace {

// Where a project lives: Excel 97 and later write _VBA_PROJECT_CUR, the
// versions before it _VBA_PROJECT.
constexpr std::array<const char*, 2> kProjectStorages = {"_VBA_PROJECT_CUR", "_VBA_PROJECT"};
constexpr char kVbaStorage[] = "VBA";
constexpr char kDirStream[] = "dir";
constexpr char kProjectStream[] = "PROJECT";
// A project whose dir stream states no code page was written on Western
// Windows.
constexpr int kDefaultCodePage = 1252;

const char* ReferenceKindText(TVbaReferenceKind kind)
{
  switch (kind) {
  case TVbaReferenceKind::rkRegistered: return "registered";
  case TVbaReferenceKind::rkProject: return "project";
  case TVbaReferenceKind::rkControl: return "control";
  case TVbaReferenceKind::rkOriginal: return "original";
  }
  return "registered";
}

class TProjectReader {
public:
  TProjectReader(const TVbaStorageReader& storage, const TVbaLimits& limits) : FStorage(storage), FLimits(limits) {}

  TVbaProject Run()
  {
    TVbaStreamRead dir;
    std::string storageName;
    for (const char* name : kProjectStorages) {
      const std::array<std::string, 1> storagePath = {name};
      const TVbaStreamRead storage = FStorage.Find(storagePath, false);
      if (!storage.Found || storage.IsStream)
        continue;
      storageName = name;
      FProject.StoragePath = storage.Path;
      const std::array<std::string, 3> dirPath = {name, kVbaStorage, kDirStream};
      dir = FStorage.Find(dirPath, true);
      if (dir.Found && dir.IsStream)
        break;
    }
    if (storageName.empty())
      return std::move(FProject);
    if (!dir.Found || !dir.IsStream) {
      // A storage whose tree is damaged says so rather than "no dir stream".
      if (!dir.Error.empty())
        Problem(dir.Path, dir.Error);
      else
        Problem(FProject.StoragePath, kMsgVbaNoDirStream);
      return std::move(FProject);
    }
    FProject.Found = true;
    FProject.DirStream = dir.Path;
    if (!dir.Error.empty())
      Problem(dir.Path, dir.Error);
    const TVbaDecompressed decompressed = DecompressVba(dir.Bytes);
    if (!decompressed.Error.empty())
      Problem(dir.Path, decompressed.Error);
    const TVbaDir parsed = ParseVbaDir(decompressed.Bytes);
    for (const std::string& error : parsed.Errors)
      Problem(dir.Path, error);

    FDecoder.SetCodePage(parsed.CodePage != 0 ? parsed.CodePage : kDefaultCodePage);
    FProject.CodePage = FDecoder.CodePage();
    FProject.SysKind = parsed.SysKind;
    FProject.Lcid = parsed.Lcid;
    FProject.VersionMajor = parsed.VersionMajor;
    FProject.VersionMinor = parsed.VersionMinor;
    FProject.Name = Decode(parsed.Name);
    FProject.DocString = parsed.DocStringUnicode.empty() ? Decode(parsed.DocString) : parsed.DocStringUnicode;
    FProject.HelpFile = Decode(parsed.HelpFile);
    FProject.Constants = parsed.ConstantsUnicode.empty() ? Decode(parsed.Constants) : parsed.ConstantsUnicode;
    for (const TVbaDirReference& reference : parsed.References)
      FProject.References.push_back({reference.NameUnicode.empty() ? Decode(reference.Name) : reference.NameUnicode,
                                     ReferenceKindText(reference.Kind), Decode(reference.LibId),
                                     Decode(reference.LibIdRelative)});

    const std::array<std::string, 2> projectPath = {storageName, kProjectStream};
    const TVbaStreamRead project = FStorage.Find(projectPath, true);
    TVbaProjectListing listing;
    if (project.Found && project.IsStream) {
      FProject.ProjectStream = project.Path;
      if (!project.Error.empty())
        Problem(project.Path, project.Error);
      listing = ParseVbaProjectText(Decode(std::string(project.Bytes.begin(), project.Bytes.end())));
    } else {
      Problem(project.Path, project.Error.empty() ? std::string(kMsgVbaNoProjectStream) : project.Error);
    }

    for (const TVbaDirModule& module : parsed.Modules)
      FProject.Modules.push_back(ReadModule(storageName, module, listing));
    return std::move(FProject);
  }

private:
  void Problem(const std::string& stream, std::string message)
  {
    FProject.Errors.push_back({stream, std::move(message)});
  }

  std::string Decode(const std::string& bytes)
  {
    std::string out;
    FDecoder.Append({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, out);
    return out;
  }

  TVbaModule ReadModule(const std::string& storageName, const TVbaDirModule& entry,
                        const TVbaProjectListing& listing)
  {
    TVbaModule module;
    module.Name = entry.NameUnicode.empty() ? Decode(entry.Name) : entry.NameUnicode;
    const std::string streamName8 = Decode(entry.StreamName);
    module.StreamName = entry.StreamNameUnicode.empty() ? streamName8 : entry.StreamNameUnicode;
    module.ReadOnly = entry.ReadOnly;
    module.Private = entry.Private;
    module.TextOffset = entry.TextOffset;
    module.Type = ModuleType(entry, module.Name, Decode(entry.Name), listing);
    if (module.StreamName.empty()) {
      module.Error = kMsgVbaModuleNoStreamName;
      return module;
    }
    std::array<std::string, 3> path = {storageName, kVbaStorage, module.StreamName};
    TVbaStreamRead stream = FStorage.Find(path, true);
    if (!stream.Found && streamName8 != module.StreamName && !streamName8.empty()) {
      path.back() = streamName8;
      stream = FStorage.Find(path, true);
    }
    module.StreamPath = stream.Path;
    if (!stream.Found || !stream.IsStream) {
      module.Error = stream.Error.empty() ? std::string(kMsgVbaNoModuleStream) : stream.Error;
      return module;
    }
    module.StreamFound = true;
    module.StreamSize = stream.Bytes.size();
    const std::span<const std::uint8_t> bytes = stream.Bytes;
    if (entry.TextOffset >= bytes.size()) {
      // No source at all: what lies before the offset is compiled code,
      // which runs without its source.
      module.Stomped = !bytes.empty();
      module.Error = stream.Error.empty() ? kMsgVbaOffsetPastEnd : stream.Error;
      return module;
    }
    // Bounds for the project as a whole: what all modules decompress to, and
    // what they read to get it (many modules can name one large stream).
    const auto container = bytes.subspan(entry.TextOffset);
    const std::size_t budget = FLimits.Project - FSourceBytes;
    if (budget == 0 || container.size() > FLimits.Project - FScannedBytes) {
      module.Error = kMsgVbaProjectLimit;
      return module;
    }
    FScannedBytes += container.size();
    const TVbaDecompressed source = DecompressVba(container, std::min(budget, FLimits.ModuleSource));
    FSourceBytes += source.Bytes.size();
    module.SourceBytes = source.Bytes.size();
    FDecoder.Append(source.Bytes, module.Source);
    module.Error = !source.Error.empty() ? source.Error : stream.Error;
    if (source.Bytes.empty() && source.Error.empty() && entry.TextOffset > 0) {
      module.Stomped = true;
      module.Error = kMsgVbaStomped;
    }
    return module;
  }

  static TVbaModuleType ModuleType(const TVbaDirModule& entry, const std::string& name, const std::string& name8,
                                   const TVbaProjectListing& listing)
  {
    if (entry.Type == kVbaModuleProcedural)
      return TVbaModuleType::mtStandard;
    if (entry.Type != kVbaModuleDocClass)
      return TVbaModuleType::mtUnknown;
    // The dir stream does not tell a document's module from a class; the
    // PROJECT stream's listing does.
    switch (listing.KindOf(name).value_or(listing.KindOf(name8).value_or(TVbaListedKind::lkClass))) {
    case TVbaListedKind::lkDocument: return TVbaModuleType::mtDocument;
    case TVbaListedKind::lkDesigner: return TVbaModuleType::mtForm;
    default: return TVbaModuleType::mtClass;
    }
  }

  const TVbaStorageReader& FStorage;
  const TVbaLimits FLimits;
  TVbaProject FProject;
  TCodePageDecoder FDecoder;
  std::size_t FSourceBytes = 0;
  std::size_t FScannedBytes = 0;
};

}  // namespace

const char* VbaModuleTypeText(TVbaModuleType type)
{
  switch (type) {
  case TVbaModuleType::mtStandard: return "standard";
  case TVbaModuleType::mtClass: return "class";
  case TVbaModuleType::mtDocument: return "document";
  case TVbaModuleType::mtForm: return "form";
  case TVbaModuleType::mtUnknown: break;
  }
  return "unknown";
}

TVbaProject ReadVbaProject(const TCompoundFile& file, const TVbaLimits& limits)
{
  const auto storage = MakeStrictVbaStorage(file);
  return TProjectReader(*storage, limits).Run();
}

TVbaProject ReadVbaProjectTolerant(std::span<const std::uint8_t> file, const TVbaLimits& limits)
{
  const auto storage = MakeTolerantVbaStorage(file);
  TVbaProject project = TProjectReader(*storage, limits).Run();
  project.Tolerant = true;
  return project;
}
