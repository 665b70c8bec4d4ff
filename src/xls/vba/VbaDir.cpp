#include "xls/vba/VbaDir.h"

#include "platform/text/Utf.h"
#include "xls/vba/VbaCursor.h"
#include "xls/vba/VbaMessages.h"

namespace {

// Record ids of the dir stream.
constexpr std::uint16_t kRecSysKind = 0x0001;
constexpr std::uint16_t kRecLcid = 0x0002;
constexpr std::uint16_t kRecCodePage = 0x0003;
constexpr std::uint16_t kRecName = 0x0004;
constexpr std::uint16_t kRecDocString = 0x0005;
constexpr std::uint16_t kRecHelpFile = 0x0006;
constexpr std::uint16_t kRecHelpContext = 0x0007;
constexpr std::uint16_t kRecLibFlags = 0x0008;
constexpr std::uint16_t kRecVersion = 0x0009;
constexpr std::uint16_t kRecConstants = 0x000C;
constexpr std::uint16_t kRecReferenceRegistered = 0x000D;
constexpr std::uint16_t kRecReferenceProject = 0x000E;
constexpr std::uint16_t kRecModules = 0x000F;
constexpr std::uint16_t kRecTerminator = 0x0010;
constexpr std::uint16_t kRecCookie = 0x0013;
constexpr std::uint16_t kRecLcidInvoke = 0x0014;
constexpr std::uint16_t kRecReferenceName = 0x0016;
constexpr std::uint16_t kRecModuleName = 0x0019;
constexpr std::uint16_t kRecModuleStreamName = 0x001A;
constexpr std::uint16_t kRecModuleDocString = 0x001C;
constexpr std::uint16_t kRecModuleHelpContext = 0x001E;
constexpr std::uint16_t kRecModuleReadOnly = 0x0025;
constexpr std::uint16_t kRecModulePrivate = 0x0028;
constexpr std::uint16_t kRecModuleTerminator = 0x002B;
constexpr std::uint16_t kRecModuleCookie = 0x002C;
constexpr std::uint16_t kRecReferenceControl = 0x002F;
constexpr std::uint16_t kRecReferenceControlExtended = 0x0030;
constexpr std::uint16_t kRecModuleOffset = 0x0031;
constexpr std::uint16_t kRecModuleStreamNameUnicode = 0x0032;
constexpr std::uint16_t kRecReferenceOriginal = 0x0033;
constexpr std::uint16_t kRecConstantsUnicode = 0x003C;
constexpr std::uint16_t kRecHelpFileSecond = 0x003D;
constexpr std::uint16_t kRecReferenceNameUnicode = 0x003E;
constexpr std::uint16_t kRecDocStringUnicode = 0x0040;
constexpr std::uint16_t kRecModuleNameUnicode = 0x0047;
constexpr std::uint16_t kRecModuleDocStringUnicode = 0x0048;
constexpr std::uint16_t kRecCompatVersion = 0x004A;

constexpr std::size_t kRecordHeaderSize = 6;
// The module count is a 16-bit field, so no sound project has more modules;
// references get the same bound. A hostile stream of empty records stops
// growing the lists there.
constexpr std::size_t kMaxListed = 0xFFFF;
// PROJECTVERSION: its size field holds 4, yet a 4-byte major and a 2-byte
// minor version follow.
constexpr std::uint32_t kVersionStatedSize = 4;
constexpr std::size_t kVersionActualSize = 6;

std::string Bytes(std::span<const std::uint8_t> bytes)
{
  return std::string(bytes.begin(), bytes.end());
}

std::string Unicode(std::span<const std::uint8_t> bytes)
{
  std::string out;
  AppendUtf16LeBytesAsUtf8(bytes, out);
  return out;
}

/// A count-prefixed string inside a record's data.
std::string CountedBytes(TVbaCursor& cursor)
{
  const std::uint32_t size = cursor.ReadU32();
  return Bytes(cursor.Take(std::min<std::size_t>(size, cursor.Remaining())));
}

std::uint32_t U32(std::span<const std::uint8_t> data)
{
  TVbaCursor cursor(data);
  return cursor.ReadU32();
}

std::uint16_t U16(std::span<const std::uint8_t> data)
{
  TVbaCursor cursor(data);
  return cursor.ReadU16();
}

class TDirParser {
public:
  TVbaDir Run(std::span<const std::uint8_t> dir)
  {
    TVbaCursor cursor(dir);
    bool terminated = false;
    bool pastEnd = false;
    while (!terminated && cursor.Remaining() >= kRecordHeaderSize) {
      const std::uint16_t id = cursor.ReadU16();
      std::uint32_t size = cursor.ReadU32();
      if (id == kRecVersion && size == kVersionStatedSize && cursor.Remaining() >= kVersionActualSize)
        size = kVersionActualSize;
      if (size > cursor.Remaining()) {
        FDir.Errors.push_back(VbaRecordPastEndMessage(id));
        pastEnd = true;
        break;
      }
      terminated = Record(id, cursor.Take(size));
    }
    if (FModule) {
      FDir.Errors.push_back(kMsgVbaModuleNoTerminator);
      EndModule();
    }
    if (!terminated && !pastEnd)
      FDir.Errors.push_back(kMsgVbaDirNoTerminator);
    if (FDir.ModuleCount != FDir.Modules.size())
      FDir.Errors.push_back(kMsgVbaModuleCountMismatch);
    return std::move(FDir);
  }

private:
  /// One record; true at the stream's terminator.
  bool Record(std::uint16_t id, std::span<const std::uint8_t> data)
  {
    if (FModule)
      return ModuleRecord(id, data);
    switch (id) {
    case kRecSysKind: FDir.SysKind = U32(data); break;
    case kRecCompatVersion: FDir.CompatVersion = U32(data); break;
    case kRecLcid: FDir.Lcid = U32(data); break;
    case kRecLcidInvoke: FDir.LcidInvoke = U32(data); break;
    case kRecCodePage: FDir.CodePage = U16(data); break;
    case kRecName: FDir.Name = Bytes(data); break;
    case kRecDocString: FDir.DocString = Bytes(data); break;
    case kRecDocStringUnicode: FDir.DocStringUnicode = Unicode(data); break;
    case kRecHelpFile: FDir.HelpFile = Bytes(data); break;
    case kRecHelpFileSecond: break;  // the same path again
    case kRecHelpContext: FDir.HelpContext = U32(data); break;
    case kRecLibFlags: FDir.LibFlags = U32(data); break;
    case kRecVersion: {
      TVbaCursor cursor(data);
      FDir.VersionMajor = cursor.ReadU32();
      FDir.VersionMinor = cursor.ReadU16();
      break;
    }
    case kRecConstants: FDir.Constants = Bytes(data); break;
    case kRecConstantsUnicode: FDir.ConstantsUnicode = Unicode(data); break;
    case kRecReferenceName:
      // Inside a control reference, a name record is the extended part's
      // own name, not the next reference's.
      if (!FInControl) {
        FName = Bytes(data);
        FNameUnicode.clear();
      }
      break;
    case kRecReferenceNameUnicode:
      if (!FInControl)
        FNameUnicode = Unicode(data);
      break;
    case kRecReferenceRegistered: {
      TVbaCursor cursor(data);
      AddReference(TVbaReferenceKind::rkRegistered).LibId = CountedBytes(cursor);
      break;
    }
    case kRecReferenceProject: {
      TVbaCursor cursor(data);
      TVbaDirReference& reference = AddReference(TVbaReferenceKind::rkProject);
      reference.LibId = CountedBytes(cursor);
      reference.LibIdRelative = CountedBytes(cursor);
      break;
    }
    case kRecReferenceOriginal:
      AddReference(TVbaReferenceKind::rkOriginal).LibId = Bytes(data);
      FOriginalOpen = true;
      break;
    case kRecReferenceControl: {
      // An original reference is followed by its control record: one
      // reference, whose libid the control's extended part gives.
      TVbaCursor cursor(data);
      const std::string twiddled = CountedBytes(cursor);
      if (!FOriginalOpen)
        AddReference(TVbaReferenceKind::rkControl).LibId = twiddled;
      FOriginalOpen = false;
      FInControl = true;
      break;
    }
    case kRecReferenceControlExtended: {
      TVbaCursor cursor(data);
      const std::string extended = CountedBytes(cursor);
      if (FInControl && !FDir.References.empty()) {
        FDir.References.back().Kind = TVbaReferenceKind::rkControl;
        if (!extended.empty())
          FDir.References.back().LibId = extended;
      }
      FInControl = false;
      break;
    }
    case kRecModules: FDir.ModuleCount = U16(data); break;
    case kRecCookie: FDir.Cookie = U16(data); break;
    case kRecModuleName:
      if (!Room(FDir.Modules.size()))
        return true;
      FModule = true;
      FDir.Modules.emplace_back().Name = Bytes(data);
      break;
    case kRecTerminator: return true;
    default: break;  // unknown or unused: skipped by its size
    }
    return false;
  }

  bool ModuleRecord(std::uint16_t id, std::span<const std::uint8_t> data)
  {
    TVbaDirModule& module = FDir.Modules.back();
    switch (id) {
    case kRecModuleName:
      // A new module before the last one's terminator.
      FDir.Errors.push_back(kMsgVbaModuleNoTerminator);
      if (!Room(FDir.Modules.size()))
        return true;
      FDir.Modules.emplace_back().Name = Bytes(data);
      break;
    case kRecModuleNameUnicode: module.NameUnicode = Unicode(data); break;
    case kRecModuleStreamName: module.StreamName = Bytes(data); break;
    case kRecModuleStreamNameUnicode: module.StreamNameUnicode = Unicode(data); break;
    case kRecModuleDocString: module.DocString = Bytes(data); break;
    case kRecModuleDocStringUnicode: break;
    case kRecModuleOffset:
      module.TextOffset = U32(data);
      module.HasTextOffset = data.size() >= 4;
      break;
    case kRecModuleHelpContext: module.HelpContext = U32(data); break;
    case kRecModuleCookie: module.Cookie = U16(data); break;
    case kVbaModuleProcedural:
    case kVbaModuleDocClass: module.Type = id; break;
    case kRecModuleReadOnly: module.ReadOnly = true; break;
    case kRecModulePrivate: module.Private = true; break;
    case kRecModuleTerminator: EndModule(); break;
    case kRecTerminator:
      FDir.Errors.push_back(kMsgVbaModuleNoTerminator);
      EndModule();
      return true;
    default: break;
    }
    return false;
  }

  void EndModule() { FModule = false; }

  /// False, once with the error, when a list already holds `count` items.
  bool Room(std::size_t count)
  {
    if (count < kMaxListed)
      return true;
    FDir.Errors.push_back(kMsgVbaTooManyItems);
    FFull = true;
    return false;
  }

  TVbaDirReference& AddReference(TVbaReferenceKind kind)
  {
    if (FDir.References.size() >= kMaxListed) {
      // Past the bound the reference is read into a scratch one, dropped.
      if (!FFull)
        Room(FDir.References.size());
      FScratch = {};
      return FScratch;
    }
    TVbaDirReference& reference = FDir.References.emplace_back();
    reference.Kind = kind;
    reference.Name = std::move(FName);
    reference.NameUnicode = std::move(FNameUnicode);
    FName.clear();
    FNameUnicode.clear();
    FOriginalOpen = false;
    FInControl = false;
    return reference;
  }

  TVbaDir FDir;
  bool FModule = false;       // inside a module's records
  bool FInControl = false;    // between a control reference and its extended part
  bool FOriginalOpen = false; // an original reference awaits its control record
  bool FFull = false;         // a list reached its bound
  TVbaDirReference FScratch;
  std::string FName;
  std::string FNameUnicode;
};

}  // namespace

TVbaDir ParseVbaDir(std::span<const std::uint8_t> dir)
{
  return TDirParser().Run(dir);
}
