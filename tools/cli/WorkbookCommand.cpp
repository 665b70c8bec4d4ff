#include "WorkbookCommand.h"

#include "CommandReader.h"
#include "Commands.h"
#include "JsonWriter.h"
#include "platform/ErrorText.h"
#include "platform/text/HexText.h"
#include "xls/MSExcel.h"
#include "xls/records/RecordTable.h"
#include "xls/formula/FormulaBook.h"
#include "xls/workbook/OpenedWorkbook.h"
#include "xls/crypto/Encryption.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <memory>
#include <sstream>
#include <vector>

namespace {

bool CheckArgs(std::span<const std::string> args, std::size_t count, const char* command, const char* usage,
               std::ostream& err)
{
  if (args.size() == count)
    return true;
  ReportUsage(err, command, usage);
  return false;
}

/// The fields every cell line of a sheet starts with, written once per
/// sheet: "sheet":N,"caption":"..."
std::string SheetFields(int sheet, const std::string& caption)
{
  std::ostringstream text;
  {
    TJsonLineWriter json(text);
    json.BeginObject();
    json.Field("sheet", sheet);
    json.Field("caption", caption);
    json.EndObject();
  }
  const std::string line = text.str();  // {...}\n
  return line.substr(1, line.size() - 3);
}

void WriteCell(TJsonLineWriter& json, std::string_view sheetFields, int row, int column,
               const TVariant& value, const TFormulaResult* formula)
{
  json.BeginObject();
  json.Fields(sheetFields);
  json.Field("row", row);
  json.Field("col", column);
  WriteCellValue(json, value);
  if (formula) {
    if (formula->Ok())
      json.Field("formula", formula->Text);
    else
      json.Field("formula_error", formula->Error);
  }
  json.EndObject();
}


}  // namespace

void WriteCellValue(TJsonLineWriter& json, const TVariant& value)
{
  json.WordField("type", VarTypeName(value.Type()));
  switch (value.Type()) {
  case TVarType::vtInteger: json.Field("value", static_cast<std::int64_t>(value.AsInteger())); break;
  case TVarType::vtDouble: json.Field("value", value.AsDouble()); break;
  case TVarType::vtDate: json.Field("value", value.AsDate()); break;
  case TVarType::vtString: json.Field("value", value.AsString()); break;
  case TVarType::vtBoolean: json.Field("value", value.AsBoolean()); break;
  case TVarType::vtCurrency:
    json.Field("value", static_cast<double>(value.AsCurrency().Scaled) / 10000.0);
    break;
  case TVarType::vtEmpty:
  case TVarType::vtNull: json.NullField("value"); break;
  }
}

int RunRecordsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (!CheckArgs(args, 1, "records", "records FILE", err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  TJsonLineWriter json(out);
  reader.OnStreamRecord = [&](const TStreamRecord& record) {
    json.BeginObject();
    json.Field("n", static_cast<std::int64_t>(record.Number));
    json.Field("offset", static_cast<std::int64_t>(record.Offset));
    json.Field("code", static_cast<std::int64_t>(record.Header.Code));
    json.Field("length", static_cast<std::int64_t>(record.Header.Length));
    json.Field("name", RecordTypeName(record.Header.Code));
    if (const char* type = RecordCatalogueName(record.Header.Code))
      json.Field("type", type);
    else
      json.NullField("type");
    json.EndObject();
  };
  // The whole list comes before a failure's message (a locked workbook's
  // records are all listed, then it fails).
  std::ostringstream message;
  const bool ok = Load(reader, args[0], message);
  json.Flush();
  out.flush();
  err << message.str();
  return ok ? kExitOk : kExitFailure;
}

int RunCellsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  const bool formulas = std::find(args.begin(), args.end(), "--formulas") != args.end();
  std::vector<std::string> files;
  for (const std::string& arg : args)
    if (arg != "--formulas")
      files.push_back(arg);
  if (!CheckArgs(files, 1, "cells", "cells [--formulas] FILE", err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  TOpenedWorkbook workbook(reader, formulas ? TOpenedWorkbook::TKeep::kpFormulas
                                            : TOpenedWorkbook::TKeep::kpNothing);
  const bool ok = Load(reader, files[0], err);
  TFormulaBook* book = formulas ? &workbook.Formulas() : nullptr;
  TFormulaResult formula;  // one buffer for every cell's text
  // The cells the model kept are printed also after a failure; the message
  // went to stderr already.
  TJsonLineWriter json(out);
  const TSpreadSheets& sheets = reader.Sheets();
  for (int s = 0; s < sheets.Count(); ++s) {
    const TSpreadSheet& sheet = sheets.Items(s);
    const TSpreadSheetCells& cells = sheet.Cells;
    const std::string prefix = SheetFields(s, sheet.Caption);
    cells.ForEachRow([&](int r, const TSpreadSheetRow& row) {
      row.Cols.ForEachCell([&](int c, const TZymCell& cell) {
        const bool hasFormula = book && book->Formula(s, r, c, formula);
        WriteCell(json, prefix, r, c, cell.Value, hasFormula ? &formula : nullptr);
      });
    });
  }
  json.Flush();
  return ok ? kExitOk : kExitFailure;
}

int RunNamesCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (!CheckArgs(args, 1, "names", "names FILE", err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpFormulas);
  const bool ok = Load(reader, args[0], err);
  TJsonLineWriter json(out);
  for (const TDefinedName& name : workbook.Formulas().Names()) {
    json.BeginObject();
    json.Field("name", name.Name);
    if (name.Sheet)
      json.Field("sheet", *name.Sheet);
    else
      json.NullField("sheet");
    json.Field("hidden", name.Hidden);
    json.Field("builtin", name.BuiltIn);
    if (name.Formula.Ok()) {
      json.Field("formula", name.Formula.Text);
    } else {
      json.NullField("formula");
      json.Field("formula_error", name.Formula.Error);
    }
    json.EndObject();
  }
  json.Flush();
  return ok ? kExitOk : kExitFailure;
}

bool ParseRecordNumber(const std::string& text, std::uint64_t& number, std::ostream& err)
{
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), number);
  if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() || number == 0) {
    err << "bifflens-cli: record number must be a whole number from 1 on, not '" << text << "'\n";
    return false;
  }
  return true;
}

int RunHexCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (!CheckArgs(args, 2, "hex", "hex FILE N", err))
    return kExitUsage;
  std::uint64_t wanted = 0;
  if (!ParseRecordNumber(args[1], wanted, err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  std::vector<std::uint8_t> bytes;
  bool found = false;
  reader.OnStreamRecord = [&](const TStreamRecord& record) {
    if (record.Number != wanted)
      return;
    bytes.assign(record.Data.begin(), record.Data.end());
    found = true;
  };
  const bool ok = Load(reader, args[0], err);
  if (!found) {
    if (ok)
      ReportFileError(err, args[0],
                      "Record " + std::to_string(wanted) + " does not exist: the workbook has " +
                          std::to_string(reader.RecordCount()) +
                          (reader.RecordCount() == 1 ? " record" : " records"));
    return kExitFailure;
  }
  for (std::size_t at = 0; at < bytes.size(); at += kHexLineBytes)
    out << HexDumpLine(at, std::span(bytes).subspan(at, std::min(kHexLineBytes, bytes.size() - at)))
        << '\n';
  return ok ? kExitOk : kExitFailure;
}

int RunStatsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (!CheckArgs(args, 1, "stats", "stats FILE", err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  const bool ok = Load(reader, args[0], err);
  TJsonLineWriter json(out);
  json.BeginObject();
  json.Field("file", args[0]);
  // A stream in which no BOF opened a substream has no version of its own.
  const bool workbook = !reader.Substreams().empty();
  json.Field("version", ExcelVersionName(workbook ? reader.Version : TExcelVersion::evUnknown));
  if (const char* biff = workbook ? BiffVersionLabel(reader.Version) : nullptr)
    json.Field("biff", biff);
  else
    json.NullField("biff");
  json.Field("records", static_cast<std::int64_t>(reader.RecordCount()));
  if (const TWorkbookEncryption& encryption = reader.Encryption(); encryption.Present) {
    json.BeginObject("encryption");
    json.Field("scheme", EncryptionSchemeName(encryption.Scheme));
    json.Field("opened", encryption.Opened);
    json.EndObject();
  }
  json.BeginArray("sheets");
  const TSpreadSheets& sheets = reader.Sheets();
  for (int s = 0; s < sheets.Count(); ++s) {
    const TSpreadSheet& sheet = sheets.Items(s);
    std::int64_t stored = 0;
    sheet.Cells.ForEachRow([&](int, const TSpreadSheetRow& row) {
      row.Cols.ForEachCell([&](int, const TZymCell&) { ++stored; });
    });
    json.BeginObject();
    json.Field("caption", sheet.Caption);
    json.Field("rows", sheet.Cells.RowCount);
    json.Field("cols", sheet.Cells.ColCount);
    json.Field("cells", stored);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  json.Flush();
  return ok ? kExitOk : kExitFailure;
}
