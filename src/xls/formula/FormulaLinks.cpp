#include "xls/formula/FormulaLinks.h"

#include "xls/decode/FormulaText.h"

namespace FormulaDecode {

void AppendBookPrefix(std::string& out, const LinkPath::TTarget& link, std::string_view first,
                      std::string_view last, bool hasSheets)
{
  const bool range = hasSheets && last != first;
  const bool quote = !link.Directory.empty() ||
                     (!link.File.empty() && SheetNameNeedsQuotes(link.File)) ||
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

void AppendDdePrefix(std::string& out, const LinkPath::TTarget& link)
{
  out += link.File;
  out += '|';
  AppendSheetName(out, link.Sheet);
}

}  // namespace FormulaDecode

std::string LinkedNameText(std::string_view storedPath, std::string_view name)
{
  LinkPath::TTarget link;
  LinkPath::Decode(storedPath, link);
  std::string text;
  switch (link.Kind) {
  case LinkPath::TKind::lkDde:
    FormulaDecode::AppendDdePrefix(text, link);
    text += '!';
    break;
  case LinkPath::TKind::lkBook:
    FormulaDecode::AppendBookPrefix(text, link, link.Sheet, link.Sheet, link.HasSheet);
    text += '!';
    break;
  default:
    break;
  }
  LinkPath::AppendVisible(text, name);
  return text;
}
