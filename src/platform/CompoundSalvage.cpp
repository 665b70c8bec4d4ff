#include "platform/CompoundSalvage.h"

#include "platform/CompoundFileMessages.h"

namespace {

constexpr std::uint8_t kTypeStream = 2;

/// True when `problem` is damage the reading of `stream` met.
bool Concerns(const TCompoundProblem& problem, const TCompoundEntry& stream)
{
  switch (problem.Scope) {
  case TProblemScope::psStructure: return true;
  case TProblemScope::psMiniFat: return stream.InMiniStream;
  case TProblemScope::psTree: return problem.Entry == 0;
  case TProblemScope::psChain: return problem.Entry == stream.Id || (stream.InMiniStream && problem.Entry == 0);
  case TProblemScope::psShared:
  case TProblemScope::psUnused: return false;
  }
  return false;
}

/// The entry `choose` picks among `ids`, by their names.
std::optional<std::uint32_t> Pick(const TCompoundMap& map, const std::vector<std::uint32_t>& ids,
                                  const TChooseStream& choose)
{
  std::vector<std::string> names;
  names.reserve(ids.size());
  for (const std::uint32_t id : ids)
    names.push_back(map.Entries[id].Name);
  const std::optional<std::size_t> chosen = choose(names);
  if (!chosen || *chosen >= ids.size())
    return std::nullopt;
  return ids[*chosen];
}

}  // namespace

std::optional<TSalvageChoice> ChooseSalvagedEntry(const TCompoundMap& map, const TChooseStream& choose)
{
  std::vector<std::uint32_t> reached;
  for (const std::uint32_t id : map.RootChildren)
    if (map.Entries[id].Type == kTypeStream)
      reached.push_back(id);
  if (const auto id = Pick(map, reached, choose))
    return TSalvageChoice{*id, false};
  // The tree may lose the workbook's entry behind a bad link while the
  // directory sectors still hold it.
  std::vector<std::uint32_t> stored;
  for (const TCompoundEntry& entry : map.Entries)
    if (entry.Type == kTypeStream && !entry.Nested)
      stored.push_back(entry.Id);
  if (const auto id = Pick(map, stored, choose))
    return TSalvageChoice{*id, true};
  return std::nullopt;
}

std::optional<TSalvagedStream> SalvageStream(std::span<const std::uint8_t> file,
                                             const TChooseStream& choose)
{
  const TCompoundMap map = MapCompoundFile(file);
  if (!map.Valid)
    return std::nullopt;
  const std::optional<TSalvageChoice> choice = ChooseSalvagedEntry(map, choose);
  if (!choice)
    return std::nullopt;
  const TCompoundEntry& entry = map.Entries[choice->Id];
  TSalvagedStream salvaged;
  salvaged.Name = entry.Name;
  salvaged.Bytes = TSharedBytes(map.StreamBytes(file, entry.Id));
  for (const TCompoundProblem& problem : map.Problems)
    if (Concerns(problem, entry))
      salvaged.Damage.push_back(problem.Message);
  if (choice->Scanned)
    salvaged.Damage.push_back(CfbFoundByScanText(CfbStreamChain(entry.Name, entry.Id)));
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
