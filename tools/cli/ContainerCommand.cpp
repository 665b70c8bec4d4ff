#include "ContainerCommand.h"

#include "CommandReader.h"
#include "Commands.h"
#include "JsonWriter.h"
#include "platform/CompoundFile.h"
#include "platform/CompoundFileMessages.h"
#include "platform/CompoundMap.h"
#include "platform/ErrorText.h"
#include "platform/FileReader.h"
#include "platform/text/HexText.h"
#include "platform/text/TextFormat.h"
#include "xls/XlsMessages.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr char kContainerNoneMessage[] = "not a compound file: the workbook stream is the file itself";

constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
// A container is read whole; no compound file a workbook lives in is larger.
constexpr std::size_t kMostContainerBytes = std::size_t{4} << 30;

const char* EntryTypeName(std::uint8_t type)
{
  switch (type) {
  case 0: return "unused";
  case 1: return "storage";
  case 2: return "stream";
  case 5: return "root";
  default: return "unknown";
  }
}

const char* SectorUseName(TSectorUse use)
{
  switch (use) {
  case TSectorUse::suFree: return "free";
  case TSectorUse::suFat: return "FAT";
  case TSectorUse::suDifat: return "DIFAT";
  case TSectorUse::suDirectory: return "directory";
  case TSectorUse::suMiniFat: return "mini FAT";
  case TSectorUse::suMiniStream: return "mini stream";
  case TSectorUse::suStream: return "stream";
  case TSectorUse::suUnreachable: return "unreachable";
  }
  return "unknown";
}

std::string ClsidText(const std::array<std::uint8_t, 16>& id)
{
  // The GUID text form: the first three fields are little-endian.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string text;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10)
      text += '-';
    text += HexByte(id[static_cast<std::size_t>(kOrder[i])]);
  }
  return text;
}

void LinkField(TJsonLineWriter& json, const char* key, std::uint32_t link)
{
  if (link == kNoEntry)
    json.NullField(key);
  else
    json.Field(key, static_cast<std::int64_t>(link));
}

void WriteEntries(TJsonLineWriter& json, const TCompoundMap& map)
{
  for (const TCompoundEntry& entry : map.Entries) {
    json.BeginObject();
    json.Field("kind", "entry");
    json.Field("id", static_cast<std::int64_t>(entry.Id));
    json.Field("name", entry.Name);
    json.Field("type", EntryTypeName(entry.Type));
    json.Field("size", static_cast<std::int64_t>(entry.Size));
    json.Field("start", static_cast<std::int64_t>(entry.Start));
    json.Field("mini", entry.InMiniStream);
    json.Field("clsid", ClsidText(entry.Clsid));
    json.Field("color", entry.Color == 1 ? "black" : "red");
    LinkField(json, "left", entry.Left);
    LinkField(json, "right", entry.Right);
    LinkField(json, "child", entry.Child);
    json.EndObject();
  }
}

/// Runs of neighbouring sectors with the same use and owner, one line each.
void WriteSectors(TJsonLineWriter& json, const TCompoundMap& map)
{
  const auto& sectors = map.Sectors;
  for (std::size_t first = 0; first < sectors.size();) {
    const TCompoundSector& s = sectors[first];
    std::size_t end = first + 1;
    while (end < sectors.size() && sectors[end].Use == s.Use && sectors[end].Owner == s.Owner &&
           sectors[end].Claimed == s.Claimed && sectors[end].ReadOn == s.ReadOn && sectors[end - 1].Slack == 0)
      ++end;
    json.BeginObject();
    json.Field("kind", "sectors");
    json.Field("first", static_cast<std::int64_t>(first));
    json.Field("count", static_cast<std::int64_t>(end - first));
    json.Field("use", SectorUseName(s.Use));
    if (s.Use == TSectorUse::suStream && s.Owner < map.Entries.size())
      json.Field("stream", map.Entries[s.Owner].Name);
    if (sectors[end - 1].Slack > 0)
      json.Field("slack", static_cast<std::int64_t>(sectors[end - 1].Slack));
    if (s.Claimed)
      json.Field("claimed_twice", true);
    if (s.ReadOn)
      json.Field("read_on", true);
    json.EndObject();
    first = end;
  }
}

}  // namespace

int RunContainerCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (args.size() != 1) {
    ReportUsage(err, "container", "container FILE");
    return kExitUsage;
  }
  const std::string path = CommandInputPath(args[0]);
  TSharedBytes bytes;
  errno = 0;
  if (!ReadWholeStream(path, kMostContainerBytes, bytes)) {
    ReportFileError(err, args[0], FormatMessage(kMsgCannotOpenFile, args[0], std::strerror(errno)));
    return kExitFailure;
  }
  TJsonLineWriter json(out);
  // A bare stream (a workbook saved without a compound file) has no
  // container to show: that is an answer, not a failure.
  if (!HasCompoundSignature(bytes.Span())) {
    json.BeginObject();
    json.Field("kind", "none");
    json.Field("compound", false);
    json.Field("file_size", static_cast<std::int64_t>(bytes.size()));
    json.Field("message", kContainerNoneMessage);
    json.EndObject();
    json.Flush();
    return kExitOk;
  }
  const TCompoundMap map = MapCompoundFile(bytes);
  if (!map.Valid) {
    ReportFileError(err, args[0], kMsgCfbNotCompoundFile);
    return kExitFailure;
  }
  json.BeginObject();
  json.Field("kind", "header");
  json.Field("version", static_cast<std::int64_t>(map.MajorVersion));
  json.Field("sector_size", static_cast<std::int64_t>(map.SectorSize));
  json.Field("sectors", static_cast<std::int64_t>(map.Sectors.size()));
  json.Field("file_size", static_cast<std::int64_t>(bytes.size()));
  json.EndObject();
  WriteEntries(json, map);
  WriteSectors(json, map);
  for (const TCompoundProblem& problem : map.Problems) {
    json.BeginObject();
    json.Field("kind", "problem");
    json.Field("message", problem.Message);
    LinkField(json, "sector", problem.Sector);
    json.EndObject();
  }
  json.Flush();
  return kExitOk;
}
