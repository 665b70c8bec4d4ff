#include "xls/compare/FieldDiff.h"

#include "xls/decode/FormulaText.h"

#include <map>
#include <memory>

namespace {

// Lists longer than this (a shared-string table's strings) are compared
// item by item up to here; the rest are counted as one difference when the
// lengths differ.
constexpr std::size_t kMostListItems = 1'000'000;

/// A level of fields with each one's path, lazy items made real.
struct TLevel {
  std::vector<TRecordField> Owned;  // the lazy items
  std::vector<std::pair<std::string, const TRecordField*>> Fields;
};

TLevel LevelOf(std::span<const TRecordField> fields, const TLazyFields* lazy, const std::string& prefix)
{
  TLevel level;
  if (lazy) {
    const std::size_t count = std::min(lazy->Count(), kMostListItems);
    level.Owned.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
      level.Owned.push_back(lazy->Item(i));
  }
  std::vector<const TRecordField*> all;
  for (const TRecordField& f : fields)
    all.push_back(&f);
  for (const TRecordField& f : level.Owned)
    all.push_back(&f);
  // Several fields of one name: by their meanings when those tell them
  // apart, else the first bare and the others by their place.
  std::map<std::string, std::vector<const TRecordField*>> byName;
  for (const TRecordField* f : all)
    byName[f->Name].push_back(f);
  std::map<std::string, bool> byMeaning;
  for (const auto& [name, group] : byName) {
    bool distinct = group.size() > 1;
    std::map<std::string, int> texts;
    for (const TRecordField* f : group)
      distinct = distinct && !f->Text.empty() && ++texts[f->Text] == 1;
    byMeaning[name] = distinct;
  }
  std::map<std::string, int> seen;
  const std::string dot = prefix.empty() ? "" : prefix + ".";
  for (const TRecordField* f : all) {
    const int n = ++seen[f->Name];
    std::string path = dot;
    path += f->Name;
    if (byMeaning[f->Name] || n > 1) {
      path += '[';
      path += byMeaning[f->Name] ? f->Text : std::to_string(n);
      path += ']';
    }
    level.Fields.emplace_back(std::move(path), f);
  }
  return level;
}

class TComparison {
public:
  TComparison(std::span<const std::string> ignored, std::size_t most) : FIgnored(ignored), FMost(most) {}

  std::vector<TFieldDifference> Differences;
  std::size_t LeftOut = 0;

  /// Compares two levels; true when something differed.
  bool Levels(const TLevel& a, const TLevel& b)
  {
    std::map<std::string, const TRecordField*> inB;
    for (const auto& [path, field] : b.Fields)
      inB.emplace(path, field);
    bool any = false;
    for (const auto& [path, field] : a.Fields) {
      if (Ignored(path))
        continue;
      const auto other = inB.find(path);
      if (other == inB.end()) {
        Add(path, field, nullptr);
        any = true;
        continue;
      }
      any = Fields(path, *field, *other->second) || any;
      inB.erase(other);
    }
    for (const auto& [path, field] : b.Fields)
      if (inB.count(path) && !Ignored(path)) {
        Add(path, nullptr, field);
        any = true;
      }
    return any;
  }

private:
  bool Fields(const std::string& path, const TRecordField& a, const TRecordField& b)
  {
    const bool sameValue = a.Value == b.Value;
    const bool sameText = a.Text == b.Text;
    if (!sameText && !a.Text.empty() && !b.Text.empty()) {
      Add(path, &a, &b);
      return true;
    }
    const bool inner = !a.Fields.empty() || !b.Fields.empty() || a.Lazy || b.Lazy;
    if (inner) {
      const TLevel levelA = LevelOf(a.Fields, a.Lazy.get(), path);
      const TLevel levelB = LevelOf(b.Fields, b.Lazy.get(), path);
      if (Levels(levelA, levelB))
        return true;
    }
    if (sameValue && sameText)
      return false;
    Add(path, &a, &b);
    return true;
  }

  bool Ignored(const std::string& path) const
  {
    for (const std::string& ignored : FIgnored)
      if (path == ignored ||
          (path.size() > ignored.size() && path.compare(0, ignored.size(), ignored) == 0 &&
           (path[ignored.size()] == '.' || path[ignored.size()] == '[')))
        return true;
    return false;
  }

  void Add(const std::string& path, const TRecordField* a, const TRecordField* b)
  {
    if (Differences.size() >= FMost) {
      ++LeftOut;
      return;
    }
    TFieldDifference difference;
    difference.Name = path;
    if (a) {
      difference.A = a->Value;
      difference.TextA = a->Text;
      difference.SpotA = TFieldSpot{a->Part, a->Offset, a->Size};
    }
    if (b) {
      difference.B = b->Value;
      difference.TextB = b->Text;
      difference.SpotB = TFieldSpot{b->Part, b->Offset, b->Size};
    }
    Differences.push_back(std::move(difference));
  }

  std::span<const std::string> FIgnored;
  std::size_t FMost;
};

}  // namespace

std::vector<TFieldDifference> CompareFields(std::span<const TRecordField> a, std::span<const TRecordField> b,
                                            std::span<const std::string> ignored, std::size_t most,
                                            std::size_t& leftOut)
{
  TComparison comparison(ignored, most);
  comparison.Levels(LevelOf(a, nullptr, ""), LevelOf(b, nullptr, ""));
  leftOut = comparison.LeftOut;
  return std::move(comparison.Differences);
}

std::string FieldValueText(const TFieldValue& value)
{
  if (const auto* n = std::get_if<std::int64_t>(&value))
    return std::to_string(*n);
  if (const auto* d = std::get_if<double>(&value)) {
    std::string text;
    AppendFormulaNumber(text, *d);
    return text;
  }
  if (const auto* b = std::get_if<bool>(&value))
    return *b ? "true" : "false";
  std::string text = "\"";
  for (const char c : std::get<std::string>(value)) {
    if (c == '"' || c == '\\')
      text += '\\';
    text += c;
  }
  return text + "\"";
}
