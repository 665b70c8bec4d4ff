#include "platform/CompoundSalvage.h"

#include "platform/CompoundMap.h"

namespace {

constexpr std::uint8_t kTypeStream = 2;

}  // namespace

std::optional<TSalvagedStream> SalvageStream(std::span<const std::uint8_t> file,
                                             const TChooseStream& choose)
{
  const TCompoundMap map = MapCompoundFile(file);
  if (!map.Valid)
    return std::nullopt;
  std::vector<std::string> names;
  std::vector<std::uint32_t> ids;
  for (const TCompoundEntry& entry : map.Entries)
    if (entry.Type == kTypeStream && !entry.Nested) {
      names.push_back(entry.Name);
      ids.push_back(entry.Id);
    }
  const std::optional<std::size_t> chosen = choose(names);
  if (!chosen || *chosen >= ids.size())
    return std::nullopt;
  TSalvagedStream salvaged;
  salvaged.Name = names[*chosen];
  salvaged.Bytes = TSharedBytes(map.StreamBytes(file, ids[*chosen]));
  return salvaged;
}

std::optional<EOleError> ReadOrReportDamage(const std::function<void()>& read)
{
  try {
    read();
  } catch (const EOleError& error) {
    if (error.Status() != kStgDocFileCorrupt)
      throw;
    return error;
  }
  return std::nullopt;
}
