#include "xls/formula/FormulaLinks.h"

#include "xls/formula/FormulaText.h"

#include <cstdint>

namespace FormulaDecode {

namespace {

// Length in bytes of the UTF-8 sequence `text` starts with.
std::size_t Utf8Length(std::string_view text)
{
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return n < text.size() ? n : text.size();
}

// The code point `text` starts with (a character of a decoded record
// string, so a count stored as a character may take two bytes here).
std::uint32_t CodePoint(std::string_view text)
{
  const std::size_t n = Utf8Length(text);
  const auto lead = static_cast<unsigned char>(text[0]);
  if (n == 1)
    return lead;
  std::uint32_t value = lead & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i)
    value = value << 6 | (static_cast<unsigned char>(text[i]) & 0x3F);
  return value;
}

bool NeedsQuotes(std::string_view text)
{
  return !text.empty() && SheetNameNeedsQuotes(text);
}

}  // namespace

void DecodeLink(std::string_view encoded, TLink& link)
{
  link.Self = false;
  link.HasSheet = false;
  link.Directory.clear();
  link.File.clear();
  link.Sheet.clear();
  if (encoded.empty())
    return;
  std::size_t i = 0;
  const char mark = encoded[0];
  if (mark == kUrlSelf || mark == kUrlSelfSheet || mark == kUrlSelfNoSheet) {
    link.Self = true;
    link.Sheet.assign(encoded.substr(1));
    link.HasSheet = !link.Sheet.empty();
    return;
  }
  if (mark == kUrlEncoded || mark == '\0')
    i = 1;
  // The path goes to Directory; a "[file]" moves on to File and Sheet.
  std::string& path = link.Directory;
  bool inFile = false;
  for (; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (inFile) {
      if (c == ']') {
        link.Sheet.assign(encoded.substr(i + 1));
        link.HasSheet = true;
        return;
      }
      link.File += c;
      continue;
    }
    switch (c) {
    case kUrlVolume:
      if (i + 1 < encoded.size()) {
        ++i;
        if (encoded[i] == '@') {
          path += "\\\\";
        } else {
          path += encoded[i];
          path += ":\\";
        }
      }
      break;
    case kUrlSameVolume:
    case kUrlDirectory:
      path += '\\';
      break;
    case kUrlParent:
      path += "..\\";
      break;
    case kUrlLongVolume:
      if (i + 1 < encoded.size()) {
        std::size_t count = CodePoint(encoded.substr(i + 1));
        i += Utf8Length(encoded.substr(i + 1));
        while (count-- > 0 && i + 1 < encoded.size()) {
          const std::size_t n = Utf8Length(encoded.substr(i + 1));
          path.append(encoded.substr(i + 1, n));
          i += n;
        }
      }
      break;
    case kUrlStartup:
    case kUrlAltStartup:
    case kUrlLibrary:
      break;
    case '[':
      inFile = true;
      break;
    default:
      path += c;
    }
  }
  if (inFile)
    return;
  // No brackets: the file is the path's last part.
  const std::size_t slash = path.find_last_of("\\/");
  const std::size_t fileBegin = slash == std::string::npos ? 0 : slash + 1;
  link.File.assign(path, fileBegin);
  path.resize(fileBegin);
}

void AppendBookPrefix(std::string& out, const TLink& link, std::string_view first,
                      std::string_view last, bool hasSheets)
{
  const bool range = hasSheets && last != first;
  const bool quote = !link.Directory.empty() || NeedsQuotes(link.File) ||
                     (hasSheets && SheetNameNeedsQuotes(first)) ||
                     (range && SheetNameNeedsQuotes(last));
  if (quote)
    out += '\'';
  auto add = [&](std::string_view text) {
    for (const char c : text) {
      if (quote && c == '\'')
        out += '\'';
      out += c;
    }
  };
  add(link.Directory);
  if (hasSheets) {
    out += '[';
    add(link.File);
    out += ']';
    add(first);
    if (range) {
      out += ':';
      add(last);
    }
  } else {
    add(link.File);
  }
  if (quote)
    out += '\'';
}

void AppendDdePrefix(std::string& out, std::string_view path)
{
  const std::size_t separator = path.find(kUrlDirectory);
  const std::string_view application = path.substr(0, separator);
  out += application;
  out += '|';
  if (separator != std::string_view::npos)
    AppendSheetName(out, path.substr(separator + 1));
}

}  // namespace FormulaDecode
