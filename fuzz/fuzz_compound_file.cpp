// Fuzz target: the compound-file layer. Opens the bytes as a compound file,
// lists the root elements and reads every stream whole and in pieces; maps
// the file as a damaged one, then salvages each stream as a damaged file's
// reading would.
#include "platform/CompoundFile.h"
#include "platform/CompoundMap.h"
#include "platform/CompoundSalvage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const TSharedBytes bytes = TSharedBytes::Copy({data, size});
  try {
    const TCompoundFile storage = TCompoundFile::Open(bytes);
    for (const TStorageElement& element : storage.RootElements()) {
      try {
        TCompoundStream stream = storage.OpenStream(element.Name);
        std::uint8_t buffer[509];
        std::size_t total = 0;
        while (const std::size_t n = stream.Read(buffer))
          total += n;
        if (total != stream.Bytes().size())
          __builtin_trap();
        stream.Seek(-static_cast<std::int64_t>(total));
      } catch (const EOleError&) {
      }
    }
  } catch (const EOleError&) {
  }
  // The map's chains lie in the file, and a sector read on after a broken
  // chain belongs to that chain's stream.
  const TCompoundMap map = MapCompoundFile(bytes);
  for (const TCompoundEntry& entry : map.Entries)
    if (!entry.InMiniStream && entry.Id < map.Chains.size())
      for (const std::uint32_t n : map.Chains[entry.Id])
        if (n >= map.Sectors.size())
          __builtin_trap();
  for (const TCompoundSector& sector : map.Sectors)
    if (sector.ReadOn && (sector.Use != TSectorUse::suStream || sector.Owner >= map.Entries.size() ||
                          map.Entries[sector.Owner].Size == 0))
      __builtin_trap();
  // Salvage never throws and never gives more than the file holds.
  for (std::size_t pick = 0; pick < 4; ++pick) {
    const auto salvaged = SalvageStream(bytes, [&](const std::vector<std::string>& names) {
      return pick < names.size() ? std::optional<std::size_t>(pick) : std::nullopt;
    });
    if (salvaged && salvaged->Bytes.size() > size)
      __builtin_trap();
  }
  return 0;
}
