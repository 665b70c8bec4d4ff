#include "xls/decode/SstDescription.h"

#include "xls/decode/SharedStrings.h"

#include <string>

namespace {

// The SST's two counts before its first string.
constexpr std::size_t kSstHeaderBytes = 8;
// Each string has a character count and an option byte at least.
constexpr std::size_t kSmallestString = 3;

}  // namespace

TSstStringList::TSstStringList(std::span<const TRecordRef> parts, std::int64_t declared)
    : FParts(parts.begin(), parts.end())
{
  std::size_t bytes = 0;
  for (const TRecordRef& part : FParts)
    bytes += part.Data.size();
  const std::size_t room = bytes > kSstHeaderBytes ? (bytes - kSstHeaderBytes) / kSmallestString : 0;
  FCount = declared > 0 ? std::min(static_cast<std::size_t>(declared), room) : 0;
  if (!FParts.empty() && FParts[0].Data.size() >= kSstHeaderBytes)
    FStarts.push_back({0, static_cast<std::uint32_t>(kSstHeaderBytes)});
}

bool TSstStringList::AtEnd(const TStart& start) const
{
  // Fewer than a string header's bytes left in the last part: nothing more.
  if (start.Part + 1 < FParts.size())
    return false;
  return start.Part >= FParts.size() || FParts[start.Part].Data.size() < start.Offset + kSmallestString;
}

bool TSstStringList::Reach(std::size_t index) const
{
  while (FStarts.size() <= index) {
    if (FStarts.empty() || AtEnd(FStarts.back()))
      return false;
    const TStart from = FStarts.back();
    TPartCursor parts(FParts, nullptr, from.Part, from.Offset);
    DecodeSstString(parts, [](std::string&&) {});
    FStarts.push_back({static_cast<std::uint32_t>(parts.PartIndex()),
                       static_cast<std::uint32_t>(parts.Current().Position())});
  }
  return !AtEnd(FStarts[index]);
}

TRecordField TSstStringList::Item(std::size_t index) const
{
  if (!Reach(index)) {
    // The declared count promised more strings than the data holds.
    const std::size_t last = FParts.empty() ? 0 : FParts.size() - 1;
    const std::size_t end = FParts.empty() ? 0 : FParts[last].Data.size();
    TRecordField missing;
    missing.Name = "string";
    missing.Part = static_cast<int>(last);
    missing.Offset = end;
    missing.Missing = true;
    missing.Text = MissingText(end);
    missing.Value = std::string();
    return missing;
  }
  const TStart start = FStarts[index];
  TFieldList fields;
  TDescribingPartCursor parts(FParts, &fields, start.Part, start.Offset);
  std::string text;
  DecodeSstString(parts, [&](std::string&& whole) { text = std::move(whole); });
  std::vector<TRecordField> described = fields.TakeFields();
  if (described.empty())
    return {};
  TRecordField string = std::move(described.front());
  // The whole text on the string and on its first piece of characters;
  // the pieces in later parts keep their own.
  bool first = true;
  for (TRecordField& field : string.Fields) {
    if (field.Name != "characters")
      continue;
    if (first) {
      field.Name = "text";
      field.Value = text;
      first = false;
    } else {
      field.Name = "text_continued";
    }
  }
  TRecordField indexField;
  indexField.Name = "index";
  indexField.Offset = string.Offset;
  indexField.Part = string.Part;
  indexField.Value = static_cast<std::int64_t>(index);
  string.Fields.insert(string.Fields.begin(), std::move(indexField));
  string.Value = text;
  return string;
}

std::optional<std::size_t> TSstStringList::ItemAt(int part, std::size_t offset) const
{
  if (part < 0)
    return std::nullopt;
  const auto before = [](const TStart& a, std::uint64_t part, std::uint64_t offset) {
    return a.Part < part || (a.Part == part && a.Offset <= offset);
  };
  const auto p = static_cast<std::uint64_t>(part);
  // The string before the first start past the byte holds it.
  for (std::size_t k = 0; k < FCount; ++k) {
    if (!Reach(k + 1)) {
      // String k is the last there is: it holds the byte when it starts
      // before it.
      return k < FStarts.size() && before(FStarts[k], p, offset) ? std::optional<std::size_t>(k) : std::nullopt;
    }
    if (!before(FStarts[k + 1], p, offset))
      return before(FStarts[k], p, offset) ? std::optional<std::size_t>(k) : std::nullopt;
  }
  return std::nullopt;
}
