#include "export/CsvExport.h"

#include "export/ExportMessages.h"
#include "platform/Errors.h"
#include "platform/text/TextFormat.h"
#include "xls/MSExcel.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

constexpr std::size_t kMostFileNameBytes = 200;
constexpr std::string_view kNumberField = "{n}";
constexpr std::string_view kNameField = "{name}";

[[noreturn]] void ThrowCannotWrite(const std::string& path, int error)
{
  throw EBiffLensError(FormatMessage(kMsgCannotWriteExport, path, std::strerror(error)));
}

bool IsRefusedInFileNames(unsigned char c)
{
  return c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

}  // namespace

TCsvValueText WorkbookValueText(const TMSExcel& reader, TCsvDates dates)
{
  return TCsvValueText(reader.FormatTable(), reader.Date1904(), dates);
}

TCsvSheetResult ExportSheetToFile(const TMSExcel& reader, int sheetIndex, const std::string& path,
                                  const TCsvFormat& format, const TCellRange& range)
{
  TCsvValueText values = WorkbookValueText(reader, format.Dates);
  return ExportSheetToFile(reader, sheetIndex, path, format, range, values);
}

TCsvSheetResult ExportSheetToFile(const TMSExcel& reader, int sheetIndex, const std::string& path,
                                  const TCsvFormat& format, const TCellRange& range,
                                  TCsvFieldSource& fields)
{
  const TSpreadSheet& sheet = reader.Sheets().Items(sheetIndex);
  errno = 0;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file)
    ThrowCannotWrite(path, errno != 0 ? errno : EIO);
  TCsvSheetResult result;
  {
    TCsvWriter writer(file, format);
    result = writer.WriteSheet(sheet.Cells, range, fields);
  }
  file.close();
  if (!file)
    ThrowCannotWrite(path, errno != 0 ? errno : EIO);
  return result;
}

std::string SafeFileName(std::string_view sheetName)
{
  std::string name;
  for (const char c : sheetName)
    name += IsRefusedInFileNames(static_cast<unsigned char>(c)) ? '_' : c;
  if (name.size() > kMostFileNameBytes) {
    std::size_t end = kMostFileNameBytes;
    // Back to the start of the UTF-8 character the cut would split.
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
      --end;
    name.resize(end);
  }
  if (name.empty())
    return "_";
  // A leading dot would hide the file, and "." and ".." name folders.
  if (name[0] == '.')
    name[0] = '_';
  return name;
}

std::string ExpandOutputPattern(std::string_view pattern, int number, std::string_view sheetName)
{
  std::string path;
  for (std::size_t i = 0; i < pattern.size();) {
    const std::string_view rest = pattern.substr(i);
    if (rest.starts_with(kNumberField)) {
      path += std::to_string(number);
      i += kNumberField.size();
    } else if (rest.starts_with(kNameField)) {
      path += SafeFileName(sheetName);
      i += kNameField.size();
    } else {
      path += pattern[i++];
    }
  }
  return path;
}

bool PatternNamesEachSheet(std::string_view pattern)
{
  return pattern.find(kNumberField) != std::string_view::npos ||
         pattern.find(kNameField) != std::string_view::npos;
}
