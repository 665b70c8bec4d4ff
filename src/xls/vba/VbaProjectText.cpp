#include "xls/vba/VbaProjectText.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

struct TKey {
  std::string_view Key;
  TVbaListedKind Kind;
};

constexpr std::array<TKey, 4> kKeys = {{
    {"Module", TVbaListedKind::lkStandard},
    {"Class", TVbaListedKind::lkClass},
    {"Document", TVbaListedKind::lkDocument},
    {"BaseClass", TVbaListedKind::lkDesigner},
}};

// A document's entry ends in "/&H" and the document's version number.
constexpr char kDocumentVersionSeparator = '/';

bool EqualAsciiNoCase(std::string_view a, std::string_view b)
{
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::optional<TVbaListedKind> TVbaProjectListing::KindOf(std::string_view name) const
{
  for (const TEntry& entry : Entries)
    if (EqualAsciiNoCase(entry.Name, name))
      return entry.Kind;
  return std::nullopt;
}

TVbaProjectListing ParseVbaProjectText(std::string_view text)
{
  TVbaProjectListing listing;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty())
      continue;
    if (line.front() == '[')
      break;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
      continue;
    const std::string_view key = line.substr(0, equals);
    std::string_view value = line.substr(equals + 1);
    const auto known = std::find_if(kKeys.begin(), kKeys.end(), [&](const TKey& k) { return k.Key == key; });
    if (known == kKeys.end())
      continue;
    if (known->Kind == TVbaListedKind::lkDocument)
      value = value.substr(0, value.rfind(kDocumentVersionSeparator));
    listing.Entries.push_back({std::string(value), known->Kind});
  }
  return listing;
}
