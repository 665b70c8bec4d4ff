#include "WorkbookCommand.h"

#include "Commands.h"
#include "JsonWriter.h"
#include "platform/ErrorText.h"
#include "xls/MSExcel.h"
#include "xls/RecordNames.h"

#include <charconv>
#include <exception>
#include <memory>
#include <sstream>
#include <vector>

namespace {

constexpr std::size_t kHexLineBytes = 16;

bool GKeepReaders = false;

/// A command's reader. Leaving the command frees it, unless the tool keeps
/// readers until the process ends; then it is parked here instead.
class TCommandReader {
public:
  TCommandReader() : FReader(std::make_unique<TMSExcel>()) {}
  TCommandReader(const TCommandReader&) = delete;
  TCommandReader& operator=(const TCommandReader&) = delete;
  ~TCommandReader()
  {
    if (GKeepReaders)
      Parked().push_back(std::move(FReader));
  }
  TMSExcel& operator*() const { return *FReader; }

private:
  static std::vector<std::unique_ptr<TMSExcel>>& Parked()
  {
    static std::vector<std::unique_ptr<TMSExcel>> parked;
    return parked;
  }
  std::unique_ptr<TMSExcel> FReader;
};

/// Loads the workbook; on failure prints the message by the "." rule on
/// `err` and returns false. What was read before the failure stays.
bool Load(TMSExcel& reader, const std::string& fileName, std::ostream& err)
{
  // Every command uses a record only while it is raised (or the model
  // after the load), so the workbook stream is read a window at a time.
  reader.KeepStreamBuffer = false;
  try {
    reader.LoadFromFile(fileName);
    return true;
  } catch (const std::exception& e) {
    err << ErrorBoxText(ExceptionText(e)) << '\n';
    return false;
  }
}

bool CheckArgs(std::span<const std::string> args, std::size_t count, const char* usage,
               std::ostream& err)
{
  if (args.size() == count)
    return true;
  err << "Usage: bifflens-cli " << usage << '\n';
  return false;
}

/// The start every cell line of a sheet shares, escaped once per sheet:
/// {"sheet":N,"caption":"...",
std::string SheetLinePrefix(int sheet, const std::string& caption)
{
  std::ostringstream text;
  {
    TJsonLineWriter json(text);
    json.BeginObject();
    json.Field("sheet", sheet);
    json.Field("caption", caption);
  }
  return text.str() + ",";
}

void WriteCell(TJsonLineWriter& json, std::string_view prefix, int row, int column,
               const TVariant& value)
{
  json.Raw(prefix);
  json.Raw("\"row\":");
  json.Number(static_cast<std::int64_t>(row));
  json.Raw(",\"col\":");
  json.Number(static_cast<std::int64_t>(column));
  json.Raw(",\"type\":\"");
  json.Raw(VarTypeName(value.Type()));
  json.Raw("\",\"value\":");
  switch (value.Type()) {
  case TVarType::vtInteger: json.Number(static_cast<std::int64_t>(value.AsInteger())); break;
  case TVarType::vtDouble: json.Number(value.AsDouble()); break;
  case TVarType::vtDate: json.Number(value.AsDate()); break;
  case TVarType::vtString: json.String(value.AsString()); break;
  case TVarType::vtBoolean: json.Raw(value.AsBoolean() ? "true" : "false"); break;
  case TVarType::vtCurrency:
    json.Number(static_cast<double>(value.AsCurrency().Scaled) / 10000.0);
    break;
  case TVarType::vtEmpty:
  case TVarType::vtNull: json.Raw("null"); break;
  }
  json.EndObject();
}

}  // namespace

void KeepReadersUntilExit()
{
  GKeepReaders = true;
}

std::string HexDumpLine(std::size_t address, std::span<const std::uint8_t> bytes)
{
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string line(8, '0');
  for (int k = 7; k >= 0; --k, address >>= 4)
    line[static_cast<std::size_t>(k)] = kHex[address & 0x0F];
  line += ": ";
  for (std::size_t i = 0; i < kHexLineBytes; ++i) {
    if (i < bytes.size()) {
      line += kHex[bytes[i] >> 4];
      line += kHex[bytes[i] & 0x0F];
    } else {
      line += "  ";
    }
    line += ' ';
  }
  line += ' ';
  for (const std::uint8_t b : bytes)
    line += (b < 0x20 || b > 0x7E) ? '.' : static_cast<char>(b);
  return line;
}

int RunRecordsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (!CheckArgs(args, 1, "records FILE", err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  TJsonLineWriter json(out);
  std::uint64_t number = 0;
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header,
                        std::span<const std::uint8_t>) {
    json.BeginObject();
    json.Field("n", static_cast<std::int64_t>(++number));
    json.Field("offset", static_cast<std::int64_t>(reader.RecordOffset()));
    json.Field("code", static_cast<std::int64_t>(header.Code));
    json.Field("length", static_cast<std::int64_t>(header.Length));
    json.Field("name", RecordTypeName(header.Code));
    json.EndObject();
  };
  const bool ok = Load(reader, args[0], err);
  json.Flush();
  return ok ? kExitOk : kExitFailure;
}

int RunCellsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (!CheckArgs(args, 1, "cells FILE", err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  const bool ok = Load(reader, args[0], err);
  // The cells the model kept are printed also after a failure; the message
  // went to stderr already.
  TJsonLineWriter json(out);
  const TSpreadSheets& sheets = reader.Sheets();
  for (int s = 0; s < sheets.Count(); ++s) {
    const TSpreadSheet& sheet = sheets.Items(s);
    const TSpreadSheetCells& cells = sheet.Cells;
    const std::string prefix = SheetLinePrefix(s, sheet.Caption);
    cells.ForEachRow([&](int r, const TSpreadSheetRow& row) {
      row.Cols.ForEachCell([&](int c, const TZymCell& cell) { WriteCell(json, prefix, r, c, cell.Value); });
    });
  }
  json.Flush();
  return ok ? kExitOk : kExitFailure;
}

int RunHexCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (!CheckArgs(args, 2, "hex FILE N", err))
    return kExitUsage;
  std::uint64_t wanted = 0;
  const std::string& text = args[1];
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), wanted);
  if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() || wanted == 0) {
    err << "bifflens-cli: record number must be a whole number from 1 on, not '" << text
        << "'\n";
    return kExitUsage;
  }
  const TCommandReader held;
  TMSExcel& reader = *held;
  std::vector<std::uint8_t> bytes;
  bool found = false;
  std::uint64_t number = 0;
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader,
                        std::span<const std::uint8_t> data) {
    if (++number != wanted)
      return;
    bytes.assign(data.begin(), data.end());
    found = true;
  };
  const bool ok = Load(reader, args[0], err);
  if (!found) {
    if (ok)
      err << ErrorBoxText("Record " + std::to_string(wanted) + " does not exist: the workbook has " +
                          std::to_string(number) + " records")
          << '\n';
    return kExitFailure;
  }
  for (std::size_t at = 0; at < bytes.size(); at += kHexLineBytes)
    out << HexDumpLine(at, std::span(bytes).subspan(at, std::min(kHexLineBytes, bytes.size() - at)))
        << '\n';
  return ok ? kExitOk : kExitFailure;
}

int RunStatsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (!CheckArgs(args, 1, "stats FILE", err))
    return kExitUsage;
  const TCommandReader held;
  TMSExcel& reader = *held;
  const bool ok = Load(reader, args[0], err);
  TJsonLineWriter json(out);
  json.BeginObject();
  json.Field("file", args[0]);
  json.Field("version", ExcelVersionName(reader.Version));
  json.Field("records", static_cast<std::int64_t>(reader.RecordCount()));
  json.BeginArray("sheets");
  const TSpreadSheets& sheets = reader.Sheets();
  for (int s = 0; s < sheets.Count(); ++s) {
    const TSpreadSheet& sheet = sheets.Items(s);
    std::int64_t stored = 0;
    sheet.Cells.ForEachRow([&](int, const TSpreadSheetRow& row) {
      row.Cols.ForEachCell([&](int, const TZymCell&) { ++stored; });
    });
    if (s > 0)
      json.Raw(",");
    json.Raw("{");
    json.Raw("\"caption\":");
    json.String(sheet.Caption);
    json.Raw(",\"rows\":");
    json.Number(static_cast<std::int64_t>(sheet.Cells.RowCount));
    json.Raw(",\"cols\":");
    json.Number(static_cast<std::int64_t>(sheet.Cells.ColCount));
    json.Raw(",\"cells\":");
    json.Number(stored);
    json.Raw("}");
  }
  json.EndArray();
  json.EndObject();
  json.Flush();
  return ok ? kExitOk : kExitFailure;
}
