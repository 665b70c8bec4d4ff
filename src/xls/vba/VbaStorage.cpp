#include "xls/vba/VbaStorage.h"

#include "platform/CompoundFile.h"
#include "platform/CompoundMap.h"
#include "xls/vba/VbaMessages.h"

#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::uint8_t kTypeStorage = 1;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;

std::string Join(std::span<const std::string> names)
{
  std::string path;
  for (const std::string& name : names)
    path += (path.empty() ? "" : "/") + name;
  return path;
}

// A project names each of its modules' streams, and a hostile one names
// many: every storage's children are listed once, into a map by folded
// name, and every stream is read once, so a look-up costs the same however
// often a name comes back.

class TStrictStorage : public TVbaStorageReader {
public:
  explicit TStrictStorage(const TCompoundFile& file) : FFile(file) {}

  TVbaStreamRead Find(std::span<const std::string> path, bool read) const override
  {
    TVbaStreamRead result;
    result.Path = Join(path);
    std::uint32_t storage = 0;
    std::string stored;
    const TStorageElement* found = nullptr;
    for (const std::string& name : path) {
      if (found && found->Type != kTypeStorage)
        return result;
      const TChildren& children = ChildrenOf(storage);
      if (!children.Error.empty()) {
        result.Error = VbaStreamUnreadableMessage(result.Path, children.Error);
        return result;
      }
      const auto match = children.ByKey.find(CompoundNameKey(name));
      if (match == children.ByKey.end())
        return result;
      found = &match->second;
      storage = found->EntryId;
      stored += (stored.empty() ? "" : "/") + found->Name;
    }
    if (!found)
      return result;
    result.Found = true;
    result.Path = stored;
    result.IsStream = found->Type == kTypeStream;
    if (!read || !result.IsStream)
      return result;
    const auto cached = FStreams.find(found->EntryId);
    if (cached != FStreams.end()) {
      result.Bytes = cached->second.Bytes;
      result.Error = cached->second.Error;
      return result;
    }
    try {
      result.Bytes = FFile.OpenElement(*found).SharedBytes();
    } catch (const EOleError& error) {
      result.Error = VbaStreamUnreadableMessage(result.Path, error.what());
    }
    FStreams[found->EntryId] = {result.Bytes, result.Error};
    return result;
  }

private:
  struct TChildren {
    std::unordered_map<std::string, TStorageElement> ByKey;
    std::string Error;
  };
  struct TStream {
    TSharedBytes Bytes;
    std::string Error;
  };

  const TChildren& ChildrenOf(std::uint32_t storage) const
  {
    const auto known = FChildren.find(storage);
    if (known != FChildren.end())
      return known->second;
    TChildren& children = FChildren[storage];
    try {
      // Siblings of equal names cannot both exist; a damaged file that has
      // them keeps the first in tree order.
      for (const TStorageElement& child : FFile.Children(storage))
        children.ByKey.emplace(CompoundNameKey(child.Name), child);
    } catch (const EOleError& error) {
      children.ByKey.clear();
      children.Error = error.what();
    }
    return children;
  }

  const TCompoundFile& FFile;
  mutable std::map<std::uint32_t, TChildren> FChildren;
  mutable std::map<std::uint32_t, TStream> FStreams;
};

class TTolerantStorage : public TVbaStorageReader {
public:
  explicit TTolerantStorage(std::span<const std::uint8_t> file) : FFile(file), FMap(MapCompoundFile(file))
  {
    if (!FMap.Valid || FMap.Entries.empty() || FMap.Entries[0].Type != kTypeRoot)
      return;
    // Every storage's children, each storage expanded once from the root;
    // then the entries no tree reaches, first of each name in stored order.
    std::vector<bool> reached(FMap.Entries.size(), false);
    std::vector<std::uint32_t> pending{0};
    reached[0] = true;
    while (!pending.empty()) {
      const std::uint32_t storage = pending.back();
      pending.pop_back();
      auto& byKey = FChildren[storage];
      for (const std::uint32_t child : FMap.Children(storage)) {
        byKey.emplace(CompoundNameKey(FMap.Entries[child].Name), child);
        if (reached[child])
          continue;
        reached[child] = true;
        if (FMap.Entries[child].Type == kTypeStorage)
          pending.push_back(child);
      }
    }
    for (const TCompoundEntry& entry : FMap.Entries)
      if (!reached[entry.Id] && (entry.Type == kTypeStream || entry.Type == kTypeStorage))
        FOrphans.emplace(CompoundNameKey(entry.Name), entry.Id);
  }

  TVbaStreamRead Find(std::span<const std::string> path, bool read) const override
  {
    TVbaStreamRead result;
    result.Path = Join(path);
    if (FChildren.empty() || path.empty())
      return result;
    std::optional<std::uint32_t> id = 0;
    std::string stored;
    for (const std::string& name : path) {
      const auto children = FChildren.find(*id);
      const auto match = children == FChildren.end() ? std::nullopt : Lookup(children->second, name);
      if (!match) {
        id.reset();
        break;
      }
      id = *match;
      stored += (stored.empty() ? "" : "/") + FMap.Entries[*id].Name;
    }
    if (id) {
      result.Path = stored;
    } else {
      // The tree does not reach it: the first entry of that name that no
      // storage's tree reaches, as a reader of a damaged file finds it. An
      // entry the tree reaches elsewhere (an embedded object's project) is
      // never taken for it.
      id = Lookup(FOrphans, path.back());
      if (!id)
        return result;
    }
    const TCompoundEntry& entry = FMap.Entries[*id];
    result.Found = true;
    result.IsStream = entry.Type == kTypeStream;
    if (!read || !result.IsStream)
      return result;
    auto cached = FStreams.find(*id);
    if (cached == FStreams.end()) {
      auto bytes = FMap.StreamBytes(FFile, *id);
      const bool cut = bytes.size() < entry.Size;
      cached = FStreams.emplace(*id, std::make_pair(TSharedBytes(std::move(bytes)), cut)).first;
    }
    result.Bytes = cached->second.first;
    if (cached->second.second)
      result.Error = kMsgVbaStreamCut;
    return result;
  }

private:
  static std::optional<std::uint32_t> Lookup(const std::unordered_map<std::string, std::uint32_t>& byKey,
                                             const std::string& name)
  {
    const auto found = byKey.find(CompoundNameKey(name));
    return found == byKey.end() ? std::nullopt : std::optional<std::uint32_t>(found->second);
  }

  std::span<const std::uint8_t> FFile;
  TCompoundMap FMap;
  std::map<std::uint32_t, std::unordered_map<std::string, std::uint32_t>> FChildren;
  std::unordered_map<std::string, std::uint32_t> FOrphans;
  mutable std::map<std::uint32_t, std::pair<TSharedBytes, bool>> FStreams;
};

}  // namespace

std::unique_ptr<TVbaStorageReader> MakeStrictVbaStorage(const TCompoundFile& file)
{
  return std::make_unique<TStrictStorage>(file);
}

std::unique_ptr<TVbaStorageReader> MakeTolerantVbaStorage(std::span<const std::uint8_t> file)
{
  return std::make_unique<TTolerantStorage>(file);
}
