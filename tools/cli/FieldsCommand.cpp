#include "FieldsCommand.h"

#include "CommandReader.h"
#include "Commands.h"
#include "JsonWriter.h"
#include "WorkbookCommand.h"
#include "platform/ErrorText.h"
#include "xls/MSExcel.h"
#include "xls/RecordCodes.h"
#include "xls/RecordNames.h"
#include "xls/records/RecordDirectory.h"
#include "xls/records/RecordFormulas.h"
#include "xls/records/RecordTable.h"

#include <exception>
#include <string>
#include <vector>

namespace {

// Fields nest no deeper than this on a line (the writer's own bound is
// deeper): what lies below is left out.
constexpr int kMostFieldDepth = 12;

void WriteValue(TJsonLineWriter& json, const TFieldValue& value)
{
  if (const auto* n = std::get_if<std::int64_t>(&value))
    json.Field("value", *n);
  else if (const auto* d = std::get_if<double>(&value))
    json.Field("value", *d);
  else if (const auto* b = std::get_if<bool>(&value))
    json.Field("value", *b);
  else
    json.Field("value", std::get<std::string>(value));
}

void WriteError(TJsonLineWriter& json, const std::string& message)
{
  json.BeginObject();
  json.Field("name", "error");
  json.Field("offset", std::int64_t{0});
  json.Field("size", std::int64_t{0});
  json.Field("value", "");
  json.Field("text", ErrorBoxText(message));
  json.EndObject();
}

void WriteField(TJsonLineWriter& json, const TRecordField& field, std::uint64_t headNumber, int depth)
{
  json.BeginObject();
  json.Field("name", field.Name);
  json.Field("offset", static_cast<std::int64_t>(field.Offset));
  json.Field("size", static_cast<std::int64_t>(field.Size));
  WriteValue(json, field.Value);
  if (!field.Text.empty())
    json.Field("text", field.Text);
  if (field.Part != 0)
    json.Field("record", static_cast<std::int64_t>(headNumber + static_cast<std::uint64_t>(field.Part)));
  if ((!field.Fields.empty() || field.Lazy) && depth < kMostFieldDepth) {
    json.BeginArray("fields");
    for (const TRecordField& inner : field.Fields)
      WriteField(json, inner, headNumber, depth + 1);
    if (field.Lazy) {
      try {
        for (std::size_t i = 0; i < field.Lazy->Count(); ++i)
          WriteField(json, field.Lazy->Item(i), headNumber, depth + 1);
      } catch (const std::exception& e) {
        WriteError(json, ExceptionText(e));
      }
    }
    json.EndArray();
  }
  json.EndObject();
}

void WriteRecord(TJsonLineWriter& json, const TMSExcel& reader, const TRecordDirectory& records,
                 TRecordFormulas& formulas, std::size_t index)
{
  const TRecordRef record = records.Record(index);
  const TRecordType* type = FindRecordType(record.Header.Code);
  json.BeginObject();
  json.Field("n", static_cast<std::int64_t>(record.Number));
  json.Field("offset", static_cast<std::int64_t>(record.Offset));
  json.Field("code", static_cast<std::int64_t>(record.Header.Code));
  json.Field("name", RecordTypeName(record.Header.Code));
  if (type && type->Describe)
    json.Field("type", type->Type);
  else
    json.NullField("type");
  json.Field("length", static_cast<std::int64_t>(record.Header.Length));
  // The description the Fields pane shows, formula tokens included.
  std::vector<TRecordField> described;
  std::string failure;
  json.Field("decoded", formulas.Describe(reader, index, described, failure));
  json.BeginArray("fields");
  if (const auto continuation = records.ContinuationOf(index); continuation && !described.empty())
    described.front().Text = ContinuationText(*continuation, records.Record(continuation->Head));
  for (const TRecordField& field : described)
    WriteField(json, field, record.Number, 1);
  if (!failure.empty())
    WriteError(json, failure);
  json.EndArray();
  json.EndObject();
}

}  // namespace

int RunFieldsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (args.size() != 1 && args.size() != 2) {
    err << "Usage: bifflens-cli fields FILE [N]\n";
    return kExitUsage;
  }
  std::uint64_t wanted = 0;
  if (args.size() == 2 && !ParseRecordNumber(args[1], wanted, err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  // The records are described after the load, against the stream it keeps.
  std::vector<std::uint32_t> offsets;
  reader.OnStreamRecord = [&](const TStreamRecord& record) {
    offsets.push_back(static_cast<std::uint32_t>(record.Offset));
  };
  const bool ok = Load(reader, args[0], err, true);
  const TRecordDirectory records(reader.StreamBuffer().Span(), offsets, reader.WalkStart());
  TRecordFormulas formulas(records);
  TJsonLineWriter json(out);
  if (wanted != 0) {
    if (wanted > records.Count()) {
      json.Flush();
      if (ok)
        err << ErrorBoxText("Record " + std::to_string(wanted) + " does not exist: the workbook has " +
                            std::to_string(records.Count()) + " records")
            << '\n';
      return kExitFailure;
    }
    WriteRecord(json, reader, records, formulas, static_cast<std::size_t>(wanted - 1));
  } else {
    for (std::size_t i = 0; i < records.Count(); ++i)
      WriteRecord(json, reader, records, formulas, i);
  }
  json.Flush();
  return ok ? kExitOk : kExitFailure;
}
