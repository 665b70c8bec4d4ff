#include "CsvCommand.h"

#include "CommandReader.h"
#include "Commands.h"
#include "CsvMessages.h"
#include "export/CsvExport.h"
#include "export/CsvFormulaText.h"
#include "model/CellText.h"
#include "platform/ErrorText.h"
#include "platform/text/CodePage.h"
#include "platform/text/TextFormat.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <charconv>
#include <exception>
#include <memory>
#include <set>
#include <string_view>

namespace {

// An option of the command line: its name, whether a value follows, and
// what it sets. Another option is one more row and one more field.
struct TCsvOption {
  const char* Name;
  bool TakesValue;
  void (*Apply)(TCsvCommandLine& line, const std::string& value);
};

[[noreturn]] void Fail(const char* message, std::string_view argument = {})
{
  throw EUsageError(FormatMessage(message, argument));
}

char ParseDelimiter(const std::string& value)
{
  if (value == "\\t" || value == "tab")
    return '\t';
  if (value.size() != 1 || value[0] == '"' || value[0] == '\r' || value[0] == '\n' ||
      static_cast<unsigned char>(value[0]) >= 0x80)
    Fail(kMsgCsvBadDelimiter, value);
  return value[0];
}

int ParseCodePage(const std::string& value)
{
  int page = 0;
  const auto parsed = std::from_chars(value.data(), value.data() + value.size(), page);
  if (parsed.ec != std::errc() || parsed.ptr != value.data() + value.size() || page <= 0 ||
      page > 65535)
    Fail(kMsgCsvBadCodePage, value);
  // An unknown page falls back to Windows-1252 in the decoder; here it is
  // a mistake to report, not to hide.
  if (page != 32769 && TCodePageDecoder(page).CodePage() != page)
    Fail(kMsgCsvBadCodePage, value);
  return page;
}

constexpr TCsvOption kCsvOptions[] = {
    {"--sheet", true, [](TCsvCommandLine& l, const std::string& v) { l.Sheets.push_back(v); }},
    {"--all", false, [](TCsvCommandLine& l, const std::string&) { l.AllSheets = true; }},
    {"-o", true, [](TCsvCommandLine& l, const std::string& v) { l.OutputPattern = v; }},
    {"--output", true, [](TCsvCommandLine& l, const std::string& v) { l.OutputPattern = v; }},
    {"--range", true,
     [](TCsvCommandLine& l, const std::string& v) {
       try {
         l.Range = ParseCellRange(v);
       } catch (const EBiffLensError& e) {
         Fail(kMsgCsvBadRange, e.what());
       }
     }},
    {"--delimiter", true,
     [](TCsvCommandLine& l, const std::string& v) { l.Format.Delimiter = ParseDelimiter(v); }},
    {"--quote", true,
     [](TCsvCommandLine& l, const std::string& v) {
       if (v == "minimal")
         l.Format.Quote = TCsvQuote::cqMinimal;
       else if (v == "all")
         l.Format.Quote = TCsvQuote::cqAll;
       else if (v == "none")
         l.Format.Quote = TCsvQuote::cqNone;
       else
         Fail(kMsgCsvBadQuote, v);
     }},
    {"--eol", true,
     [](TCsvCommandLine& l, const std::string& v) {
       if (v == "lf")
         l.Format.Eol = TCsvEol::ceLf;
       else if (v == "crlf")
         l.Format.Eol = TCsvEol::ceCrLf;
       else
         Fail(kMsgCsvBadEol, v);
     }},
    {"--bom", false, [](TCsvCommandLine& l, const std::string&) { l.Format.Bom = true; }},
    {"--dates", true,
     [](TCsvCommandLine& l, const std::string& v) {
       if (v == "iso")
         l.Format.Dates = TCsvDates::cdIso;
       else if (v == "serial")
         l.Format.Dates = TCsvDates::cdSerial;
       else
         Fail(kMsgCsvBadDates, v);
     }},
    {"--codepage", true, [](TCsvCommandLine& l, const std::string& v) { l.CodePage = ParseCodePage(v); }},
    {"--formulas", false, [](TCsvCommandLine& l, const std::string&) { l.Formulas = true; }},
    {"--help", false, [](TCsvCommandLine& l, const std::string&) { l.Help = true; }},
};

const TCsvOption* FindOption(std::string_view name)
{
  for (const TCsvOption& option : kCsvOptions)
    if (name == option.Name)
      return &option;
  return nullptr;
}

/// The sheet a --sheet value names: a sheet of that name, else the Nth
/// from 1; -1 for none.
int FindSheet(const TSpreadSheets& sheets, const std::string& wanted)
{
  for (int s = 0; s < sheets.Count(); ++s)
    if (sheets.Items(s).Caption == wanted)
      return s;
  int number = 0;
  const auto parsed = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
  if (parsed.ec == std::errc() && parsed.ptr == wanted.data() + wanted.size() && number >= 1 &&
      number <= sheets.Count())
    return number - 1;
  return -1;
}

std::string QuotedCaptions(const TSpreadSheets& sheets, int from)
{
  std::string list;
  for (int s = from; s < sheets.Count(); ++s) {
    if (!list.empty())
      list += ", ";
    list += '"' + sheets.Items(s).Caption + '"';
  }
  return list;
}

/// Names the sheets a default run leaves out, on one line.
std::string OtherSheetsNote(const TSpreadSheets& sheets)
{
  return "bifflens-cli: csv wrote sheet 1 of " + std::to_string(sheets.Count()) + ", \"" +
         sheets.Items(0).Caption + "\"; the others are " + QuotedCaptions(sheets, 1) +
         " (--sheet NAME|N, or --all -o PATTERN)";
}

/// Tells of fields --quote none left ambiguous.
std::string UnquotedNote(const std::string& caption, const TCsvSheetResult& result)
{
  return "bifflens-cli: csv: " + std::to_string(result.UnquotedFields) + " field" +
         (result.UnquotedFields == 1 ? "" : "s") + " of \"" + caption +
         "\" hold the delimiter, a quote or a line break and went out unquoted (--quote none), "
         "the first at " +
         CellReference(result.FirstUnquotedRow, result.FirstUnquotedColumn);
}

/// Tells of formulas written as their values because their tokens could not
/// be read.
std::string UnreadableNote(const std::string& caption, const TCsvFormulaText& formulas)
{
  return "bifflens-cli: csv: " + std::to_string(formulas.Unreadable()) + " formula" +
         (formulas.Unreadable() == 1 ? "" : "s") + " of \"" + caption +
         "\" could not be read and went out as " +
         (formulas.Unreadable() == 1 ? "its value" : "their values") + ", the first at " +
         CellReference(formulas.FirstUnreadableRow(), formulas.FirstUnreadableColumn());
}

/// Writes sheet `sheet` through `write` (to a stream or a file), with the
/// values or, when `book` is given, the formulas, and tells stderr what a
/// reader of the CSV should know about it.
template <typename Write>
void ExportSheet(const TMSExcel& reader, int sheet, const TCsvCommandLine& line,
                 TFormulaBook* book, std::ostream& err, Write write)
{
  TCsvValueText values = WorkbookValueText(reader, line.Format.Dates);
  const std::string& caption = reader.Sheets().Items(sheet).Caption;
  TCsvSheetResult result;
  if (book) {
    TCsvFormulaText formulas(*book, sheet, values);
    result = write(formulas);
    if (formulas.Unreadable() > 0)
      err << UnreadableNote(caption, formulas) << '\n';
  } else {
    result = write(values);
  }
  if (result.UnquotedFields > 0)
    err << UnquotedNote(caption, result) << '\n';
}

/// Writes one sheet to `out`; false when the stream failed.
bool WriteSheet(const TMSExcel& reader, int sheet, const TCsvCommandLine& line, TFormulaBook* book,
                std::ostream& out, std::ostream& err)
{
  const TSpreadSheetCells& cells = reader.Sheets().Items(sheet).Cells;
  ExportSheet(reader, sheet, line, book, err, [&](TCsvFieldSource& fields) {
    TCsvWriter writer(out, line.Format);
    return writer.WriteSheet(cells, line.Range, fields);
  });
  out.flush();
  return !out.fail();
}

}  // namespace

TCsvCommandLine ParseCsvCommandLine(std::span<const std::string> args)
{
  TCsvCommandLine line;
  bool haveFile = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') {
      if (haveFile)
        Fail(kMsgCsvTwoFiles, arg);
      line.File = arg;
      haveFile = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const TCsvOption* option = FindOption(name);
    if (!option || (!option->TakesValue && equals != std::string::npos))
      Fail(kMsgCsvUnknownOption, arg);
    std::string value;
    if (option->TakesValue) {
      if (equals != std::string::npos)
        value = arg.substr(equals + 1);
      else if (i + 1 < args.size())
        value = args[++i];
      else
        Fail(kMsgCsvMissingValue, name);
    }
    option->Apply(line, value);
  }
  if (line.Help)
    return line;
  if (!haveFile)
    Fail(kMsgCsvNoFile);
  if (line.AllSheets && !line.Sheets.empty())
    Fail(kMsgCsvAllAndSheet);
  const bool several = line.AllSheets || line.Sheets.size() > 1;
  if (several && line.OutputPattern.empty())
    Fail(kMsgCsvSeveralNeedOutput);
  if (several && !PatternNamesEachSheet(line.OutputPattern))
    Fail(kMsgCsvPatternNamesNoSheet, line.OutputPattern);
  return line;
}

int RunCsvCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  TCsvCommandLine line;
  try {
    line = ParseCsvCommandLine(args);
  } catch (const EUsageError& e) {
    err << "bifflens-cli: " << e.what() << '\n' << kCsvUsageHint;
    return kExitUsage;
  }
  if (line.Help) {
    out << kCsvUsage;
    return kExitOk;
  }
  const TCommandReader held;
  TMSExcel& reader = *held;
  reader.ForcedCodePage = line.CodePage;
  TOpenedWorkbook workbook(reader, line.Formulas ? TOpenedWorkbook::TKeep::kpFormulas
                                                 : TOpenedWorkbook::TKeep::kpNothing);
  const bool loaded = Load(reader, line.File, err);
  TFormulaBook* book = line.Formulas ? &workbook.Formulas() : nullptr;
  // What was read is written also after a failure; the message went to
  // stderr already, and the exit status says so.
  const int failed = loaded ? kExitUsage : kExitFailure;
  const TSpreadSheets& sheets = reader.Sheets();
  std::vector<int> chosen;
  if (line.AllSheets) {
    for (int s = 0; s < sheets.Count(); ++s)
      chosen.push_back(s);
  } else if (line.Sheets.empty()) {
    if (sheets.Count() > 0)
      chosen.push_back(0);
  } else {
    for (const std::string& wanted : line.Sheets) {
      const int sheet = FindSheet(sheets, wanted);
      if (sheet < 0) {
        err << "bifflens-cli: "
            << FormatMessage(kMsgCsvNoSuchSheet, wanted,
                             sheets.Count() > 0 ? QuotedCaptions(sheets, 0) : "none")
            << '\n';
        return failed;
      }
      chosen.push_back(sheet);
    }
  }
  if (chosen.empty()) {
    if (loaded)
      ReportFileError(err, line.File, kMsgCsvNoWorksheet);
    return kExitFailure;
  }

  if (line.OutputPattern.empty()) {
    if (!WriteSheet(reader, chosen[0], line, book, out, err)) {
      err << "bifflens-cli: " << ErrorBoxText(kMsgCsvCannotWriteOutput) << '\n';
      return kExitFailure;
    }
    if (line.Sheets.empty() && sheets.Count() > 1)
      err << OtherSheetsNote(sheets) << '\n';
    return loaded ? kExitOk : kExitFailure;
  }

  std::vector<std::string> paths;
  std::set<std::string> seen;
  for (const int sheet : chosen) {
    paths.push_back(ExpandOutputPattern(line.OutputPattern, sheet + 1, sheets.Items(sheet).Caption));
    if (!seen.insert(paths.back()).second) {
      err << "bifflens-cli: " << FormatMessage(kMsgCsvSameFile, paths.back()) << '\n';
      return failed;
    }
  }
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    try {
      ExportSheet(reader, chosen[i], line, book, err, [&](TCsvFieldSource& fields) {
        return ExportSheetToFile(reader, chosen[i], paths[i], line.Format, line.Range, fields);
      });
    } catch (const std::exception& e) {
      err << "bifflens-cli: " << ErrorBoxText(ExceptionText(e)) << '\n';
      return kExitFailure;
    }
  }
  return loaded ? kExitOk : kExitFailure;
}
