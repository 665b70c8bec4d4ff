#include "LintCommand.h"

#include "CommandReader.h"
#include "Commands.h"
#include "JsonWriter.h"
#include "platform/CompoundMap.h"
#include "platform/ErrorText.h"
#include "platform/FileReader.h"
#include "xls/MSExcel.h"
#include "xls/lint/StructureLint.h"


namespace {

// A container is read whole; no compound file a workbook lives in is larger.
constexpr std::size_t kMostContainerBytes = std::size_t{4} << 30;

void WriteFinding(TJsonLineWriter& json, const TLintFinding& finding)
{
  json.BeginObject();
  json.Field("severity", LintSeverityName(finding.Severity));
  json.Field("check", finding.Check);
  if (finding.Record)
    json.Field("n", static_cast<std::int64_t>(*finding.Record));
  else
    json.NullField("n");
  if (finding.Offset)
    json.Field("offset", static_cast<std::int64_t>(*finding.Offset));
  else
    json.NullField("offset");
  json.Field("message", finding.Message);
  json.EndObject();
}

}  // namespace

int RunLintCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (args.size() != 1) {
    err << "Usage: bifflens-cli lint FILE\n";
    return kExitUsage;
  }
  const std::string path = CommandInputPath(args[0]);
  const TCommandReader held;
  TMSExcel& reader = *held;
  std::unique_ptr<TStructureLint> checked;
  reader.OnStreamRecord = [&](const TStreamRecord& record) {
    if (!checked)
      checked = std::make_unique<TStructureLint>(reader.WalkStart());
    checked->Add(record, !reader.Encryption().Opened && reader.IsEncryptedRecord(record.Number, record.Header.Code));
  };
  // The check keeps record bytes to the end: the stream stays whole.
  bool ok = Load(reader, args[0], err, true);
  // The container as it is, damage included, for the compound-file check.
  std::optional<TCompoundMap> container;
  if (reader.IsCompound()) {
    if (const auto file = TFileReader::Open(path)) {
      container = MapCompoundFile(*file);
    } else {
      TSharedBytes bytes;  // a pipe: read whole
      if (ReadWholeStream(path, kMostContainerBytes, bytes))
        container = MapCompoundFile(bytes);
    }
  }
  if (!checked)
    checked = std::make_unique<TStructureLint>(reader.WalkStart());
  TStructureLint& lint = *checked;
  try {
    lint.Finish(reader.StreamBuffer(), container ? &*container : nullptr);
  } catch (const std::exception& e) {
    if (ok)
      err << ErrorBoxText(ExceptionText(e)) << '\n';
    ok = false;
  }
  TJsonLineWriter json(out);
  for (const TLintFinding& finding : lint.Findings())
    WriteFinding(json, finding);
  json.Flush();
  return ok && !lint.HasErrors() ? kExitOk : kExitFailure;
}
