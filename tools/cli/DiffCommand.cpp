#include "DiffCommand.h"

#include "CommandReader.h"
#include "Commands.h"
#include "JsonWriter.h"
#include "WorkbookCommand.h"
#include "xls/compare/CellDiff.h"
#include "xls/compare/WorkbookDiff.h"
#include "xls/crypto/Secret.h"
#include "xls/decode/FormulaText.h"
#include "xls/records/RecordTable.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <sstream>

namespace {

// diff(1)'s exit codes: the same, different, trouble.
constexpr int kExitSame = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitTrouble = 2;

constexpr char kDiffUsage[] =
    "diff [--json] [--cells [--formulas]] [--ignore TYPE[.FIELD]]... [--context N]\n"
    "     [--password-a P] [--password-b P] A.xls B.xls";
constexpr char kDiffHelp[] =
    "Compares two workbooks. Substreams pair by sheet name, then by order; inside\n"
    "them records with a key pair by it (cells by row and column, ROW by row,\n"
    "BOUNDSHEET by name, XF, FONT and STYLE by their place, ...) and the others\n"
    "by a sequence alignment, so an inserted record is one addition. A record and\n"
    "its CONTINUE records compare as one, an SST by its strings, a LABELSST by its\n"
    "text. INDEX, DBCELL, EXTSST, FILEPASS and BOUNDSHEET.position never differ.\n"
    "\n"
    "Options:\n"
    "  --json            one JSON line per difference\n"
    "  --cells           compare the cells' values as the sheets show them\n"
    "  --formulas        with --cells: the formulas' texts too\n"
    "  --ignore TYPE     leave out a record type (WRITEACCESS) or a field\n"
    "                    (BOF.build); may be repeated\n"
    "  --context N       N records of context around each difference (text form)\n"
    "  --password P      the password of both workbooks\n"
    "  --password-a P    of A alone; --password-b P of B alone\n"
    "\n"
    "Exit status: 0 the same, 1 different, 2 trouble (a file not read, bad usage).\n"
    "A summary of the differences per part goes to stderr.\n";
constexpr char kArrow[] = " \xE2\x86\x92 ";  // " → "

struct TDiffArguments {
  std::string FileA;
  std::string FileB;
  bool Json = false;
  bool Cells = false;
  bool Formulas = false;
  int Context = 0;
  TDiffOptions Options;
  std::optional<std::string> PasswordA;
  std::optional<std::string> PasswordB;
};

/// Reads the arguments; false (with the usage on `err`) when they are wrong.
bool ParseDiffArguments(std::span<const std::string> args, TDiffArguments& parsed, std::ostream& err)
{
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        err << "bifflens-cli: " << arg << " needs a value\n";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string text;
    if (arg == "--json") {
      parsed.Json = true;
    } else if (arg == "--cells") {
      parsed.Cells = true;
    } else if (arg == "--formulas") {
      parsed.Formulas = true;
    } else if (arg == "--ignore") {
      if (!value(text))
        return false;
      (text.find('.') == std::string::npos ? parsed.Options.IgnoredTypes : parsed.Options.IgnoredFields)
          .push_back(text);
    } else if (arg == "--context") {
      if (!value(text))
        return false;
      const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed.Context);
      if (result.ec != std::errc() || result.ptr != text.data() + text.size() || parsed.Context < 0) {
        err << "bifflens-cli: --context needs a whole number from 0 on, not '" << text << "'\n";
        return false;
      }
    } else if (arg == "--password-a" || arg == "--password-b") {
      if (!value(text))
        return false;
      (arg == "--password-a" ? parsed.PasswordA : parsed.PasswordB) = text;
    } else if (arg.starts_with("--") && arg.size() > 2) {
      err << "bifflens-cli: diff has no option " << arg << "\nUsage: bifflens-cli " << kDiffUsage << '\n';
      return false;
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2 || (parsed.Formulas && !parsed.Cells)) {
    err << "bifflens-cli: wrong arguments for diff\nUsage: bifflens-cli " << kDiffUsage << '\n';
    return false;
  }
  parsed.FileA = files[0];
  parsed.FileB = files[1];
  parsed.Options.KeepRows = parsed.Context > 0 && !parsed.Json;
  return true;
}

/// A field's value and meaning, for the text form.
std::string ShownValue(const std::optional<TFieldValue>& value, const std::string& text)
{
  if (!value)
    return "(none)";
  std::string shown = FieldValueText(*value);
  if (!text.empty() && text != shown)
    shown += " (" + text + ")";
  return shown;
}

void WriteFieldValue(TJsonLineWriter& json, std::string_view key, const std::optional<TFieldValue>& value)
{
  if (!value)
    json.NullField(key);
  else if (const auto* n = std::get_if<std::int64_t>(&*value))
    json.Field(key, *n);
  else if (const auto* d = std::get_if<double>(&*value))
    json.Field(key, *d);
  else if (const auto* b = std::get_if<bool>(&*value))
    json.Field(key, *b);
  else
    json.Field(key, std::get<std::string>(*value));
}

void WriteRecordNumber(TJsonLineWriter& json, std::string_view key, const std::optional<std::size_t>& index)
{
  if (index)
    json.Field(key, static_cast<std::int64_t>(*index + 1));
  else
    json.NullField(key);
}

std::string PartHeading(const TDiffPart& part)
{
  std::string heading = "@@ " + part.Name;
  if (!part.NameB.empty())
    heading += kArrow + part.NameB;
  if (!part.InB)
    heading += " (only in A)";
  if (!part.InA)
    heading += " (only in B)";
  return heading + " @@";
}

std::string RecordNumbers(const std::optional<std::size_t>& a, const std::optional<std::size_t>& b)
{
  std::string text;
  if (a)
    text += "  A #" + std::to_string(*a + 1);
  if (b)
    text += "  B #" + std::to_string(*b + 1);
  return text;
}

void WriteDifferenceText(std::ostream& out, const TRecordDifference& d)
{
  out << (d.Op == TDiffOp::doChanged ? '~' : d.Op == TDiffOp::doAdded ? '+' : '-') << ' ' << d.Type;
  if (!d.Cell.empty())
    out << ' ' << d.Cell;
  if (!d.Key.empty())
    out << ' ' << d.Key;
  if (d.Style)
    out << " (style)";
  out << RecordNumbers(d.A, d.B) << '\n';
  for (const TFieldDifference& f : d.Fields)
    out << "    " << f.Name << ": " << ShownValue(f.A, f.TextA) << kArrow << ShownValue(f.B, f.TextB) << '\n';
  if (d.FieldsLeftOut > 0)
    out << "    ... and " << d.FieldsLeftOut << " more fields\n";
}

void WriteDifferenceJson(TJsonLineWriter& json, const TWorkbookDiff& diff, const TRecordDifference& d)
{
  json.BeginObject();
  json.WordField("op", DiffOpName(d.Op));
  json.Field("part", diff.Parts[d.Part].Name);
  json.Field("type", d.Type);
  if (!d.Cell.empty())
    json.Field("cell", d.Cell);
  if (!d.Key.empty())
    json.Field("key", d.Key);
  WriteRecordNumber(json, "a", d.A);
  WriteRecordNumber(json, "b", d.B);
  if (d.Op == TDiffOp::doChanged) {
    if (d.Style)
      json.Field("style", true);
    json.BeginArray("fields");
    for (const TFieldDifference& f : d.Fields) {
      json.BeginObject();
      json.Field("name", f.Name);
      WriteFieldValue(json, "a", f.A);
      WriteFieldValue(json, "b", f.B);
      if (!f.TextA.empty())
        json.Field("a_text", f.TextA);
      if (!f.TextB.empty())
        json.Field("b_text", f.TextB);
      json.EndObject();
    }
    json.EndArray();
    if (d.FieldsLeftOut > 0)
      json.Field("fields_left_out", static_cast<std::int64_t>(d.FieldsLeftOut));
  }
  json.EndObject();
}

/// The text form with `context` records of context around each difference.
void WriteWithContext(std::ostream& out, TOpenedWorkbook& a, TOpenedWorkbook& b, const TWorkbookDiff& diff,
                      int context)
{
  const std::vector<TDiffRow>& rows = diff.Rows;
  std::vector<bool> shown(rows.size(), false);
  for (std::size_t r = 0; r < rows.size(); ++r)
    if (rows[r].Difference >= 0)
      for (std::size_t k = r >= static_cast<std::size_t>(context) ? r - static_cast<std::size_t>(context) : 0;
           k < rows.size() && k <= r + static_cast<std::size_t>(context); ++k)
        shown[k] = true;
  std::optional<std::size_t> lastPart;
  std::int32_t lastDifference = -1;
  bool gap = false;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!shown[r]) {
      gap = true;
      continue;
    }
    const TDiffRow& row = rows[r];
    if (!lastPart || *lastPart != row.Part) {
      out << PartHeading(diff.Parts[row.Part]) << '\n';
      lastPart = row.Part;
    } else if (gap) {
      out << "...\n";
    }
    gap = false;
    if (row.Difference >= 0) {
      if (row.Difference != lastDifference)
        WriteDifferenceText(out, diff.Differences[static_cast<std::size_t>(row.Difference)]);
      lastDifference = row.Difference;
      continue;
    }
    lastDifference = -1;
    const std::uint16_t code = row.A != kNoDiffRecord ? a.Directory().Code(row.A) : b.Directory().Code(row.B);
    out << "  " << DiffTypeName(code)
        << RecordNumbers(row.A != kNoDiffRecord ? std::optional<std::size_t>(row.A) : std::nullopt,
                         row.B != kNoDiffRecord ? std::optional<std::size_t>(row.B) : std::nullopt)
        << '\n';
  }
}

void WriteSummary(std::ostream& err, const TWorkbookDiff& diff)
{
  std::size_t total = 0;
  std::string parts;
  for (const TDiffPart& part : diff.Parts) {
    const std::size_t count = part.Changed + part.Added + part.Removed;
    if (count == 0)
      continue;
    total += count;
    std::string counts;
    for (const auto& [n, word] : {std::pair{part.Changed, "changed"}, {part.Added, "added"}, {part.Removed, "removed"}})
      if (n > 0)
        counts += (counts.empty() ? "" : ", ") + std::to_string(n) + " " + word;
    parts += (parts.empty() ? "" : "; ") + part.Name + ": " + counts;
  }
  if (total == 0)
    err << "bifflens-cli: diff: no differences\n";
  else
    err << "bifflens-cli: diff: " << total << (total == 1 ? " difference (" : " differences (") << parts << ")\n";
}

void WriteCellSide(TJsonLineWriter& json, std::string_view key, const std::optional<TCellSide>& side, bool formulas)
{
  if (!side) {
    json.NullField(key);
    return;
  }
  json.BeginObject(key);
  WriteCellValue(json, side->Value);
  if (formulas) {
    if (side->Formula)
      json.Field("formula", *side->Formula);
    else if (side->FormulaError)
      json.Field("formula_error", *side->FormulaError);
  }
  json.EndObject();
}

std::string CellSideText(const std::optional<TCellSide>& side)
{
  if (!side)
    return "(none)";
  std::string text;
  const TVariant& value = side->Value;
  switch (value.Type()) {
  case TVarType::vtString: text = FieldValueText(value.AsString()); break;
  case TVarType::vtDouble: AppendFormulaNumber(text, value.AsDouble()); break;
  case TVarType::vtDate:
    AppendFormulaNumber(text, value.AsDate());
    text += " (date)";
    break;
  case TVarType::vtInteger: text = std::to_string(value.AsInteger()); break;
  case TVarType::vtBoolean: text = value.AsBoolean() ? "TRUE" : "FALSE"; break;
  default: text = VarTypeName(value.Type()); break;
  }
  if (side->Formula)
    text += " =" + *side->Formula;
  return text;
}

/// Loads one side with its own password, if it has one.
bool LoadSide(TMSExcel& reader, const std::string& file, const std::optional<std::string>& password,
              std::ostream& err)
{
  TSecret secret;
  if (password)
    secret.Assign(*password);
  const std::optional<TCommandPassword> offered =
      password ? std::optional<TCommandPassword>(std::in_place, &secret) : std::nullopt;
  return Load(reader, file, err, true);
}

}  // namespace

int RunDiffCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  if (std::find(args.begin(), args.end(), "--help") != args.end()) {
    out << "Usage: bifflens-cli " << kDiffUsage << "\n\n" << kDiffHelp;
    return kExitSame;
  }
  TDiffArguments parsed;
  if (!ParseDiffArguments(args, parsed, err))
    return kExitTrouble;
  const TCommandReader heldA;
  const TCommandReader heldB;
  const auto keep = parsed.Cells && !parsed.Formulas ? TOpenedWorkbook::TKeep::kpNothing
                    : parsed.Cells                   ? TOpenedWorkbook::TKeep::kpFormulas
                                                     : TOpenedWorkbook::TKeep::kpRecords;
  TOpenedWorkbook a(*heldA, keep);
  TOpenedWorkbook b(*heldB, keep);
  if (!LoadSide(*heldA, parsed.FileA, parsed.PasswordA, err) || !LoadSide(*heldB, parsed.FileB, parsed.PasswordB, err))
    return kExitTrouble;

  if (parsed.Cells) {
    const std::vector<TCellDifference> cells = CompareCells(a, b, parsed.Formulas);
    TJsonLineWriter json(out);
    std::map<std::string, std::map<std::string, std::size_t>> counts;
    for (const TCellDifference& d : cells) {
      const std::string cell = CellName(static_cast<std::uint32_t>(d.Row), static_cast<std::uint32_t>(d.Column));
      ++counts[d.Sheet][DiffOpName(d.Op)];
      if (parsed.Json) {
        json.BeginObject();
        json.WordField("op", DiffOpName(d.Op));
        json.Field("sheet", d.Sheet);
        json.Field("cell", cell);
        WriteCellSide(json, "a", d.A, parsed.Formulas);
        WriteCellSide(json, "b", d.B, parsed.Formulas);
        json.EndObject();
      } else {
        json.Flush();
        out << (d.Op == TDiffOp::doChanged ? '~' : d.Op == TDiffOp::doAdded ? '+' : '-') << ' ';
        std::string where;
        AppendSheetName(where, d.Sheet);
        out << where << '!' << cell << ": " << CellSideText(d.A) << kArrow << CellSideText(d.B) << '\n';
      }
    }
    json.Flush();
    std::string summary;
    for (const auto& [sheet, ops] : counts) {
      std::string line;
      for (const auto& [op, n] : ops)
        line += (line.empty() ? "" : ", ") + std::to_string(n) + " " + op;
      summary += (summary.empty() ? "" : "; ") + sheet + ": " + line;
    }
    if (cells.empty())
      err << "bifflens-cli: diff: no differences\n";
    else
      err << "bifflens-cli: diff: " << cells.size() << (cells.size() == 1 ? " cell differs (" : " cells differ (")
          << summary << ")\n";
    return cells.empty() ? kExitSame : kExitDifferent;
  }

  const TWorkbookDiff diff = CompareRecords(a, b, parsed.Options);
  if (parsed.Json) {
    TJsonLineWriter json(out);
    for (const TRecordDifference& d : diff.Differences)
      WriteDifferenceJson(json, diff, d);
    json.Flush();
  } else if (parsed.Context > 0) {
    WriteWithContext(out, a, b, diff, parsed.Context);
  } else {
    std::optional<std::size_t> lastPart;
    for (const TRecordDifference& d : diff.Differences) {
      if (!lastPart || *lastPart != d.Part)
        out << PartHeading(diff.Parts[d.Part]) << '\n';
      lastPart = d.Part;
      WriteDifferenceText(out, d);
    }
  }
  WriteSummary(err, diff);
  return diff.Differences.empty() ? kExitSame : kExitDifferent;
}
