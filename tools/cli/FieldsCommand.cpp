#include "FieldsCommand.h"

#include "CommandReader.h"
#include "Commands.h"
#include "JsonWriter.h"
#include "WorkbookCommand.h"
#include "platform/ErrorText.h"
#include "xls/MSExcel.h"
#include "xls/RecordCodes.h"
#include "xls/records/RecordTable.h"
#include "xls/workbook/OpenedWorkbook.h"

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

void WriteRecord(TJsonLineWriter& json, TOpenedWorkbook& workbook, std::size_t index)
{
  const TRecordRef record = workbook.Directory().Record(index);
  // The description the Fields pane shows, formula tokens included.
  TRecordDescription described = workbook.Describe(index);
  json.BeginObject();
  json.Field("n", static_cast<std::int64_t>(record.Number));
  json.Field("offset", static_cast<std::int64_t>(record.Offset));
  json.Field("code", static_cast<std::int64_t>(record.Header.Code));
  json.Field("name", RecordTypeName(record.Header.Code));
  if (const char* type = RecordCatalogueName(record.Header.Code))
    json.Field("type", type);
  else
    json.NullField("type");
  json.Field("length", static_cast<std::int64_t>(record.Header.Length));
  json.Field("decoded", described.Decoded);
  json.BeginArray("fields");
  if (!described.Continuation.empty() && !described.Fields.empty())
    described.Fields.front().Text = described.Continuation;
  for (const TRecordField& field : described.Fields)
    WriteField(json, field, record.Number, 1);
  if (!described.Error.empty())
    WriteError(json, described.Error);
  json.EndArray();
  json.EndObject();
}

}  // namespace

int RunFieldsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (args.size() != 1 && args.size() != 2) {
    ReportUsage(err, "fields", "fields FILE [N]");
    return kExitUsage;
  }
  std::uint64_t wanted = 0;
  if (args.size() == 2 && !ParseRecordNumber(args[1], wanted, err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  // The records are described after the load, against the stream it keeps.
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
  const bool ok = Load(reader, args[0], err, true);
  const std::size_t count = workbook.RecordCount();
  TJsonLineWriter json(out);
  if (wanted != 0) {
    if (wanted > count) {
      json.Flush();
      if (ok)
        ReportFileError(err, args[0],
                        "Record " + std::to_string(wanted) + " does not exist: the workbook has " +
                            std::to_string(count) + (count == 1 ? " record" : " records"));
      return kExitFailure;
    }
    WriteRecord(json, workbook, static_cast<std::size_t>(wanted - 1));
  } else {
    for (std::size_t i = 0; i < count; ++i)
      WriteRecord(json, workbook, i);
  }
  json.Flush();
  return ok ? kExitOk : kExitFailure;
}
