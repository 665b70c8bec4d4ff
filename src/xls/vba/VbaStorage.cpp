#include "xls/vba/VbaStorage.h"

#include "platform/CompoundFile.h"
#include "platform/CompoundMap.h"
#include "xls/vba/VbaMessages.h"

#include <optional>
#include <vector>

namespace {

constexpr std::uint8_t kTypeStorage = 1;
constexpr std::uint8_t kTypeStream = 2;

std::string Join(std::span<const std::string> names)
{
  std::string path;
  for (const std::string& name : names)
    path += (path.empty() ? "" : "/") + name;
  return path;
}

class TStrictStorage : public TVbaStorageReader {
public:
  explicit TStrictStorage(const TCompoundFile& file) : FFile(file) {}

  TVbaStreamRead Find(std::span<const std::string> path, bool read) const override
  {
    TVbaStreamRead result;
    result.Path = Join(path);
    try {
      // Walk part by part to learn each stored name.
      std::uint32_t storage = 0;
      std::string stored;
      std::optional<TStorageElement> found;
      for (const std::string& name : path) {
        if (found && found->Type != kTypeStorage)
          return result;
        const auto children = FFile.Children(storage);
        const TStorageElement* match = nullptr;
        for (const TStorageElement& child : children)
          if (CompoundNamesEqual(child.Name, name)) {
            match = &child;
            break;
          }
        if (!match)
          return result;
        found = *match;
        storage = match->EntryId;
        stored += (stored.empty() ? "" : "/") + match->Name;
      }
      if (!found)
        return result;
      result.Found = true;
      result.Path = stored;
      result.IsStream = found->Type == kTypeStream;
      if (read && result.IsStream)
        result.Bytes = FFile.OpenStreamAt(path).SharedBytes();
    } catch (const EOleError& error) {
      result.Error = VbaStreamUnreadableMessage(result.Path, error.what());
    }
    return result;
  }

private:
  const TCompoundFile& FFile;
};

class TTolerantStorage : public TVbaStorageReader {
public:
  explicit TTolerantStorage(std::span<const std::uint8_t> file) : FFile(file), FMap(MapCompoundFile(file))
  {
    // Which entries the tree reaches from the root, storage by storage;
    // each storage is expanded once, so the walk ends within the entry count.
    FReached.assign(FMap.Entries.size(), false);
    if (FMap.Entries.empty())
      return;
    std::vector<std::uint32_t> pending{0};
    FReached[0] = true;
    while (!pending.empty()) {
      const std::uint32_t storage = pending.back();
      pending.pop_back();
      for (const std::uint32_t child : FMap.Children(storage)) {
        if (FReached[child])
          continue;
        FReached[child] = true;
        if (FMap.Entries[child].Type == kTypeStorage)
          pending.push_back(child);
      }
    }
  }

  TVbaStreamRead Find(std::span<const std::string> path, bool read) const override
  {
    TVbaStreamRead result;
    result.Path = Join(path);
    if (!FMap.Valid || path.empty())
      return result;
    std::optional<std::uint32_t> id = FMap.FindPath(path);
    if (id) {
      result.Path = StoredPath(path);
    } else {
      // The tree does not reach it: the first entry of that name that no
      // storage's tree reaches, in stored order, as a reader of a damaged
      // file finds it. An entry the tree reaches elsewhere (an embedded
      // object's project) is never taken for it.
      id = Orphan(path.back());
      if (!id)
        return result;
    }
    const TCompoundEntry& entry = FMap.Entries[*id];
    result.Found = true;
    result.IsStream = entry.Type == kTypeStream;
    if (!read || !result.IsStream)
      return result;
    auto bytes = FMap.StreamBytes(FFile, *id);
    if (bytes.size() < entry.Size)
      result.Error = kMsgVbaStreamCut;
    result.Bytes = TSharedBytes(std::move(bytes));
    return result;
  }

private:
  /// The names along `path` as stored, every part found through the tree.
  std::string StoredPath(std::span<const std::string> path) const
  {
    std::string stored;
    for (std::size_t k = 1; k <= path.size(); ++k) {
      const auto id = FMap.FindPath(path.first(k));
      stored += (stored.empty() ? "" : "/") + (id ? FMap.Entries[*id].Name : path[k - 1]);
    }
    return stored;
  }

  std::optional<std::uint32_t> Orphan(const std::string& name) const
  {
    for (const TCompoundEntry& entry : FMap.Entries)
      if (!FReached[entry.Id] && (entry.Type == kTypeStream || entry.Type == kTypeStorage) &&
          CompoundNamesEqual(entry.Name, name))
        return entry.Id;
    return std::nullopt;
  }

  std::span<const std::uint8_t> FFile;
  TCompoundMap FMap;
  std::vector<bool> FReached;
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
