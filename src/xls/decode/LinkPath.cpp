#include "xls/decode/LinkPath.h"

#include "platform/text/HexText.h"

namespace LinkPath {

namespace {

// Length in bytes of the UTF-8 sequence `text` starts with.
std::size_t Utf8Length(std::string_view text)
{
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
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

bool IsControl(char c)
{
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

void AppendEscaped(std::string& out, char c)
{
  const auto byte = static_cast<unsigned char>(c);
  out += "\\x" + HexByte(byte);
}

// An encoded or plain path from `i` on: the directories to Directory, a
// "[file]" on to File and the rest to Sheet; without brackets the file is
// the path's last part.
void DecodePath(std::string_view stored, std::size_t i, bool encoded, TTarget& target)
{
  std::string& path = target.Directory;
  // Where the file's part begins: after the last separator (an escaped
  // byte holds a backslash, so the text alone cannot tell).
  std::size_t fileBegin = 0;
  bool inFile = false;
  for (; i < stored.size(); ++i) {
    const char c = stored[i];
    if (inFile) {
      if (c == ']') {
        AppendVisible(target.Sheet, stored.substr(i + 1));
        target.HasSheet = true;
        return;
      }
      if (IsControl(c))
        AppendEscaped(target.File, c);
      else
        target.File += c;
      continue;
    }
    if (c == '[') {
      inFile = true;
      continue;
    }
    if (!encoded || !IsControl(c)) {
      if (IsControl(c)) {
        AppendEscaped(path, c);
      } else {
        path += c;
        if (c == '\\' || c == '/')
          fileBegin = path.size();
      }
      continue;
    }
    switch (c) {
    case kVolume:
      if (i + 1 < stored.size()) {
        ++i;
        if (stored[i] == '@') {
          path += "\\\\";
        } else {
          path += stored[i];
          path += ":\\";
        }
      }
      break;
    case kSameVolume:
    case kDirectory:
      path += '\\';
      break;
    case kParent:
      path += "..\\";
      break;
    case kLongVolume:
      if (i + 1 < stored.size()) {
        std::size_t count = CodePoint(stored.substr(i + 1));
        i += Utf8Length(stored.substr(i + 1));
        // A URL's own slashes separate its directories from the file.
        while (count-- > 0 && i + 1 < stored.size()) {
          const std::size_t n = Utf8Length(stored.substr(i + 1));
          AppendVisible(path, stored.substr(i + 1, n));
          if (stored[i + 1] == '/' || stored[i + 1] == '\\')
            fileBegin = path.size();
          i += n;
        }
      }
      continue;
    case kStartup:
    case kAltStartup:
    case kLibrary:
      break;
    default:
      AppendEscaped(path, c);
      continue;
    }
    fileBegin = path.size();
  }
  if (inFile)
    return;
  target.File.assign(path, fileBegin);
  path.resize(fileBegin);
}

}  // namespace

void AppendVisible(std::string& out, std::string_view text)
{
  for (const char c : text) {
    if (IsControl(c))
      AppendEscaped(out, c);
    else
      out += c;
  }
}

// The first character decides: a mark of the own book, of a book without
// a name, of the add-ins or of an unused entry; an encoded path; else a
// DDE or OLE link when a 0x03 separates application and topic, or a plain
// file name.
void Decode(std::string_view stored, TTarget& target)
{
  target.Kind = TKind::lkBook;
  target.HasSheet = false;
  target.Directory.clear();
  target.File.clear();
  target.Sheet.clear();
  if (stored.empty()) {
    target.Kind = TKind::lkEmptyBook;
    return;
  }
  const char mark = stored[0];
  const std::string_view rest = stored.substr(1);
  if (stored.size() == 1 && mark == kAddIn) {
    target.Kind = TKind::lkAddIn;
    return;
  }
  if (stored.size() == 1 && mark == kUnused) {
    target.Kind = TKind::lkUnused;
    return;
  }
  if (mark == kSelf || mark == kSelfSheet || mark == kSelfNoSheet || mark == kEmptyBook) {
    target.Kind = mark == kEmptyBook ? TKind::lkEmptyBook : TKind::lkSelf;
    AppendVisible(target.Sheet, rest);
    target.HasSheet = !rest.empty();
    return;
  }
  if (mark == kEncoded) {
    DecodePath(stored, 1, true, target);
    return;
  }
  const std::size_t separator = stored.find(kDirectory);
  if (separator != std::string_view::npos) {
    target.Kind = TKind::lkDde;
    AppendVisible(target.File, stored.substr(0, separator));
    AppendVisible(target.Sheet, stored.substr(separator + 1));
    target.HasSheet = true;
    return;
  }
  DecodePath(stored, 0, false, target);
}

std::string Text(std::string_view stored)
{
  TTarget target;
  Decode(stored, target);
  std::string text;
  switch (target.Kind) {
  case TKind::lkSelf:
    text = "this workbook";
    break;
  case TKind::lkEmptyBook:
    text = "no book name";
    break;
  case TKind::lkAddIn:
    return "add-in functions";
  case TKind::lkUnused:
    return "unused";
  case TKind::lkDde:
    return target.File + '|' + target.Sheet;
  case TKind::lkBook:
    text = target.Directory;
    if (!target.HasSheet)
      return text + target.File;
    return text + '[' + target.File + ']' + target.Sheet;
  }
  if (target.HasSheet)
    text += ", sheet " + target.Sheet;
  return text;
}

}  // namespace LinkPath
