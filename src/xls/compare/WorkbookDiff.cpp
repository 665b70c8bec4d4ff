#include "xls/compare/WorkbookDiff.h"

#include "platform/text/HexText.h"
#include "xls/RecordCodes.h"
#include "xls/compare/SequenceAlign.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/FormulaText.h"
#include "xls/records/RecordTable.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <unordered_map>

namespace {

/// How a record type pairs inside a substream when it has a key.
enum class TKeying : std::uint8_t {
  kyNone,      // by the sequence alignment
  kyCell,      // by row and column
  kyPlace,     // by its place among the records of its kind (XF, FONT, STYLE, BIFF2-3 FORMAT)
  kyFields,    // by fields of its description
};

/// Records of one kind for the place count.
enum class TPlaceKind : std::uint8_t { pkNone, pkXf, pkFont, pkStyle, pkFormat };

TPlaceKind PlaceKindOf(std::uint16_t code)
{
  switch (code) {
  case kRecXf2:
  case kRecXf3:
  case kRecXf4:
  case kRecXf5: return TPlaceKind::pkXf;
  case kRecFont:
  case kRecFont3: return TPlaceKind::pkFont;
  case kRecStyle: return TPlaceKind::pkStyle;
  case kRecFormat2: return TPlaceKind::pkFormat;
  default: return TPlaceKind::pkNone;
  }
}

const char* PlaceKindName(TPlaceKind kind)
{
  switch (kind) {
  case TPlaceKind::pkXf: return "XF";
  case TPlaceKind::pkFont: return "FONT";
  case TPlaceKind::pkStyle: return "STYLE";
  case TPlaceKind::pkFormat: return "format";
  default: return "";
  }
}

/// Records whose content says where others lie in the file, or how the
/// file is locked: no difference of theirs is one of the workbook.
bool AlwaysQuiet(std::uint16_t code)
{
  return code == kRecIndex || code == kRecIndex2 || code == kRecDbCell || code == kRecExtSst ||
         code == kRecFilePass;
}

std::uint64_t Mix(std::uint64_t hash, std::span<const std::uint8_t> bytes)
{
  // FNV-1a: the signatures only steer the alignment; a pair it makes is
  // compared byte by byte.
  for (const std::uint8_t b : bytes)
    hash = (hash ^ b) * 0x100000001B3ull;
  return hash;
}

/// One logical record: a record and the CONTINUE records its type reads.
struct TItem {
  std::uint32_t Head = 0;
  std::uint32_t Last = 0;  // its last record (the head, or its last CONTINUE)
  std::uint16_t Code = 0;
  bool Quiet = false;      // never a difference (AlwaysQuiet or ignored)
  std::uint32_t Place = 0; // its place among the records of its kind in the part
};

struct TKey {
  std::string Id;     // what pairs it; empty: no key
  std::string Shown;  // "B3", "row 7", "XF 12"
  bool Cell = false;
};

/// A top-level substream (or a stretch of records outside them): a part.
struct TPartRecords {
  std::string Name;
  std::uint16_t Type = 0;
  std::uint32_t First = 0;  // its records' indexes, First to End - 1
  std::uint32_t End = 0;
};

/// One workbook's side of the comparison.
class TSide {
public:
  TSide(TOpenedWorkbook& book, const TDiffOptions& options)
      : Book(book), Directory(book.Directory()), FOptions(options)
  {
    Split();
  }

  TOpenedWorkbook& Book;
  const TRecordDirectory& Directory;
  std::vector<TPartRecords> Parts;

  /// The logical records of records `from` to `to` - 1 of `part` (from
  /// and to on logical records' bounds).
  std::vector<TItem> Items(const TPartRecords& part, std::uint32_t from, std::uint32_t to) const;
  /// Record `index` is a CONTINUE its head reads.
  bool Joined(std::uint32_t index) const
  {
    if (Directory.Code(index) != kRecContinue)
      return false;
    const auto continuation = Directory.ContinuationOf(index);
    return continuation && continuation->Joined;
  }
  std::span<const std::uint8_t> Raw(std::uint32_t index) const { return Book.Records().RawBytes(index); }

  /// The logical record's data, part after part.
  template <typename F>
  void ForEachPart(const TItem& item, F&& f) const
  {
    for (std::uint32_t i = item.Head; i <= item.Last; ++i)
      f(Directory.Record(i).Data);
  }
  std::uint64_t Signature(const TItem& item) const
  {
    std::uint64_t hash = 0xCBF29CE484222325ull ^ item.Code;
    if (!item.Quiet)
      ForEachPart(item, [&](std::span<const std::uint8_t> data) { hash = Mix(hash, data); });
    return hash;
  }
  const TRecordDescription& Describe(std::uint32_t index)
  {
    auto found = FDescriptions.find(index);
    if (found == FDescriptions.end())
      found = FDescriptions.emplace(index, Book.Describe(index)).first;
    return found->second;
  }
  /// A LABELSST's text (nothing for a string past the table).
  std::optional<std::string> SharedText(const TItem& item) const
  {
    std::optional<std::string> text;
    TRecordCursor cursor(Directory.Record(item.Head).Data);
    TLabelSstDecoder()(cursor, TDecodeContext{}, item.Code, [&](const TCellRecord& cell) {
      const auto& strings = Book.Reader().SharedStrings();
      if (cell.Code < strings.size())
        text = strings[cell.Code].AsString();
    });
    return text;
  }
  TKey KeyOf(const TItem& item)
  {
    TKey key;
    if (const auto cell = Directory.CellOf(item.Head)) {
      key.Cell = true;
      key.Shown = CellName(static_cast<std::uint32_t>(cell->Row), static_cast<std::uint32_t>(cell->Column));
      key.Id = "c" + key.Shown;
      return key;
    }
    const TPlaceKind kind = PlaceKindOf(item.Code);
    if (kind != TPlaceKind::pkNone) {
      key.Shown = std::string(PlaceKindName(kind)) + " " + std::to_string(item.Place);
      key.Id = "p" + key.Shown;
      return key;
    }
    const auto field = [&](const char* name) -> const TRecordField* {
      for (const TRecordField& f : Describe(item.Head).Fields)
        if (f.Name == name)
          return &f;
      return nullptr;
    };
    const auto number = [](const TRecordField* f) {
      const auto* n = f ? std::get_if<std::int64_t>(&f->Value) : nullptr;
      return n ? *n : std::int64_t{-1};
    };
    const auto text = [](const TRecordField* f) {
      if (!f)
        return std::string();
      if (!f->Text.empty())
        return f->Text;
      const auto* s = std::get_if<std::string>(&f->Value);
      return s ? *s : FieldValueText(f->Value);
    };
    switch (item.Code) {
    case kRecRow:
    case kRecRow2: key.Shown = "row " + std::to_string(number(field("row")) + 1); break;
    case kRecColInfo: {
      std::string first;
      std::string last;
      AppendColumnName(first, static_cast<std::uint32_t>(std::max<std::int64_t>(0, number(field("first_col")))));
      AppendColumnName(last, static_cast<std::uint32_t>(std::max<std::int64_t>(0, number(field("last_col")))));
      key.Shown = "columns " + first + ":" + last;
      break;
    }
    case kRecBoundSheet:
    case kRecBundleSheet: key.Shown = text(field("name")); break;
    case kRecName:
    case kRecName3: {
      key.Shown = text(field("name"));
      const std::int64_t sheet = number(field("sheet"));
      if (sheet > 0)
        key.Shown += " (sheet " + std::to_string(sheet) + ")";
      break;
    }
    case kRecFormat4: key.Shown = "format " + std::to_string(number(field("index"))); break;
    case kRecHLink: key.Shown = text(field("last_col")); break;
    case kRecMergeCells: key.Shown = text(field("range")); break;
    case kRecCondFmt: key.Shown = text(field("bounds")); break;
    default: return key;
    }
    key.Id = std::to_string(item.Code) + ":" + key.Shown;
    return key;
  }

private:
  void Split();
  bool Quiet(std::uint16_t code) const;
  std::string SheetName(const TSubstream& substream, std::size_t ordinal, const std::vector<std::string>& names,
                        const std::map<std::uint64_t, std::string>& byPosition) const;

  const TDiffOptions& FOptions;
  std::unordered_map<std::uint32_t, TRecordDescription> FDescriptions;
};

bool TSide::Quiet(std::uint16_t code) const
{
  if (AlwaysQuiet(code))
    return true;
  if (FOptions.IgnoredTypes.empty())
    return false;
  const std::string type = DiffTypeName(code);
  const std::string listName = RecordTypeName(code);
  for (const std::string& ignored : FOptions.IgnoredTypes)
    if (ignored == type || ignored == listName)
      return true;
  return false;
}

void TSide::Split()
{
  const std::size_t count = Directory.Count();
  const std::vector<TSubstream>& walked = Directory.Walked();
  // The sheets' names: the BOUNDSHEET records of the globals, by the
  // position each gives its sheet and in their order.
  std::vector<std::string> names;
  std::map<std::uint64_t, std::string> byPosition;
  std::size_t globalsEnd = 0;
  for (const TSubstream& s : walked)
    if (s.Parent < 0 && s.Type == kBofTypeGlobals) {
      globalsEnd = s.Last == 0 ? count : static_cast<std::size_t>(s.Last);
      for (std::size_t i = static_cast<std::size_t>(s.Bof - 1); i < globalsEnd; ++i) {
        const std::uint16_t code = Directory.Code(i);
        if (code != kRecBoundSheet && code != kRecBundleSheet)
          continue;
        std::string name;
        std::optional<std::uint64_t> position;
        for (const TRecordField& f : Describe(static_cast<std::uint32_t>(i)).Fields) {
          if (f.Name == "name")
            if (const auto* text = std::get_if<std::string>(&f.Value))
              name = *text;
          if (f.Name == "position")
            if (const auto* n = std::get_if<std::int64_t>(&f.Value))
              position = static_cast<std::uint64_t>(*n);
        }
        names.push_back(name);
        if (position)
          byPosition.emplace(*position, name);
      }
      break;
    }
  // Each top-level substream is a part, and so is each stretch of records
  // outside them.
  std::size_t sheets = 0;
  std::uint32_t next = 0;
  const auto outside = [&](std::uint32_t to) {
    if (to > next)
      Parts.push_back(TPartRecords{"outside the substreams", 0, next, to});
  };
  for (const TSubstream& s : walked) {
    if (s.Parent >= 0)
      continue;
    const auto first = static_cast<std::uint32_t>(s.Bof - 1);
    const auto end = static_cast<std::uint32_t>(std::min(count, s.Last == 0 ? count : static_cast<std::size_t>(s.Last)));
    if (first < next || end <= first)
      continue;
    outside(first);
    Parts.push_back(TPartRecords{s.Type == kBofTypeGlobals ? "globals" : SheetName(s, sheets++, names, byPosition),
                                 s.Type, first, end});
    next = end;
  }
  outside(static_cast<std::uint32_t>(count));
}

std::vector<TItem> TSide::Items(const TPartRecords& part, std::uint32_t from, std::uint32_t to) const
{
  // XF, FONT, STYLE and BIFF2-3 FORMAT records count from the part's start.
  std::array<std::uint32_t, 5> places{};
  for (std::uint32_t i = part.First; i < from; ++i)
    ++places[static_cast<std::size_t>(PlaceKindOf(Directory.Code(i)))];
  std::vector<TItem> items;
  items.reserve(to - from);
  for (std::uint32_t i = from; i < to; ++i) {
    const std::uint16_t code = Directory.Code(i);
    if (code == kRecContinue && !items.empty() && Joined(i)) {
      items.back().Last = i;
      continue;
    }
    TItem item;
    item.Head = item.Last = i;
    item.Code = code;
    item.Quiet = Quiet(code);
    item.Place = places[static_cast<std::size_t>(PlaceKindOf(code))]++;
    items.push_back(item);
  }
  return items;
}

std::string TSide::SheetName(const TSubstream& substream, std::size_t ordinal, const std::vector<std::string>& names,
                             const std::map<std::uint64_t, std::string>& byPosition) const
{
  if (const auto found = byPosition.find(substream.BofOffset); found != byPosition.end())
    return found->second;
  if (ordinal < names.size())
    return names[ordinal];
  return "sheet " + std::to_string(ordinal + 1);
}

/// A pair of logical records, or one alone.
struct TPairing {
  std::uint32_t A = kNoDiffRecord;  // into the part's items
  std::uint32_t B = kNoDiffRecord;
  std::int32_t Difference = -1;
};

class TComparer {
public:
  TComparer(TOpenedWorkbook& a, TOpenedWorkbook& b, const TDiffOptions& options)
      : FOptions(options), FA(a, options), FB(b, options)
  {
    const auto& stringsA = a.Reader().SharedStrings();
    const auto& stringsB = b.Reader().SharedStrings();
    FSameStrings = stringsA.size() == stringsB.size();
    for (std::size_t i = 0; FSameStrings && i < stringsA.size(); ++i)
      FSameStrings = stringsA[i].AsString() == stringsB[i].AsString();
  }

  TWorkbookDiff Run();

private:
  bool Equal(const TItem& a, const TItem& b);
  bool SameBytes(const TItem& a, const TItem& b) const;
  void ComparePart(std::size_t part, const TPartRecords* a, const TPartRecords* b);
  /// The pairs of a part's records and the records alone, in an order both
  /// keep; pairs that would break it go to `crossing` (each record stands
  /// alone in the rows, where its own workbook has it).
  std::vector<TPairing> Pair(const std::vector<TItem>& ia, const std::vector<TItem>& ib, std::vector<TPairing>& crossing);
  /// A paired record's difference, if it has one (an index into the result).
  std::int32_t Compare(std::size_t part, const TItem& a, const TItem& b);
  std::int32_t Alone(std::size_t part, const TItem* a, const TItem* b);
  void AddRows(std::size_t part, const TItem* a, const TItem* b, std::int32_t difference);
  std::vector<std::string> IgnoredFieldsOf(const std::string& type) const;
  void CompareStrings(TRecordDifference& difference, const TItem& a, const TItem& b);

  const TDiffOptions& FOptions;
  TSide FA;
  TSide FB;
  bool FSameStrings = true;
  TAlignBudget FBudget;
  TWorkbookDiff FResult;
};

bool TComparer::SameBytes(const TItem& a, const TItem& b) const
{
  if (a.Last == a.Head && b.Last == b.Head) {
    const auto da = FA.Directory.Record(a.Head).Data;
    const auto db = FB.Directory.Record(b.Head).Data;
    return da.size() == db.size() && (da.empty() || std::memcmp(da.data(), db.data(), da.size()) == 0);
  }
  // The parts joined: a record split at other places is the same record.
  std::vector<std::uint8_t> joinedA;
  std::vector<std::uint8_t> joinedB;
  FA.ForEachPart(a, [&](std::span<const std::uint8_t> d) { joinedA.insert(joinedA.end(), d.begin(), d.end()); });
  FB.ForEachPart(b, [&](std::span<const std::uint8_t> d) { joinedB.insert(joinedB.end(), d.begin(), d.end()); });
  return joinedA == joinedB;
}

bool TComparer::Equal(const TItem& a, const TItem& b)
{
  if (a.Code != b.Code)
    return false;
  if (a.Quiet || b.Quiet)
    return true;
  if (!SameBytes(a, b))
    return false;
  // The same string number may stand for another text.
  if (a.Code == kRecLabelSst && !FSameStrings)
    return FA.SharedText(a) == FB.SharedText(b);
  return true;
}

std::vector<std::string> TComparer::IgnoredFieldsOf(const std::string& type) const
{
  std::vector<std::string> fields;
  for (const std::string& ignored : FOptions.IgnoredFields)
    if (ignored.size() > type.size() + 1 && ignored.compare(0, type.size(), type) == 0 && ignored[type.size()] == '.')
      fields.push_back(ignored.substr(type.size() + 1));
  if (type == "BOUNDSHEET")
    fields.emplace_back("position");
  return fields;
}

void TComparer::CompareStrings(TRecordDifference& difference, const TItem& a, const TItem& b)
{
  // By its strings, whatever their order: the cells say which they use.
  const TRecordDescription& describedA = FA.Describe(a.Head);
  const TRecordDescription& describedB = FB.Describe(b.Head);
  for (const char* name : {"total"}) {
    const TRecordField* fa = nullptr;
    const TRecordField* fb = nullptr;
    for (const TRecordField& f : describedA.Fields)
      if (f.Name == name)
        fa = &f;
    for (const TRecordField& f : describedB.Fields)
      if (f.Name == name)
        fb = &f;
    if (fa && fb && !(fa->Value == fb->Value))
      difference.Fields.push_back(TFieldDifference{name, fa->Value, fb->Value, {}, {},
                                                   TFieldSpot{fa->Part, fa->Offset, fa->Size},
                                                   TFieldSpot{fb->Part, fb->Offset, fb->Size}});
  }
  std::map<std::string, long> counts;
  for (const TVariant& s : FA.Book.Reader().SharedStrings())
    ++counts[s.AsString()];
  for (const TVariant& s : FB.Book.Reader().SharedStrings())
    --counts[s.AsString()];
  for (const auto& [text, count] : counts)
    for (long k = 0; k < (count < 0 ? -count : count); ++k) {
      if (difference.Fields.size() >= FOptions.MostFields) {
        ++difference.FieldsLeftOut;
        continue;
      }
      TFieldDifference field;
      field.Name = "string";
      (count > 0 ? field.A : field.B) = text;
      difference.Fields.push_back(std::move(field));
    }
}

std::int32_t TComparer::Compare(std::size_t part, const TItem& a, const TItem& b)
{
  if (Equal(a, b))
    return -1;
  TRecordDifference difference;
  difference.Op = TDiffOp::doChanged;
  difference.Part = part;
  difference.Type = DiffTypeName(b.Code);
  difference.A = a.Head;
  difference.B = b.Head;
  const TKey key = FB.KeyOf(b);
  (key.Cell ? difference.Cell : difference.Key) = key.Shown;
  if (a.Code == kRecSst && b.Code == kRecSst) {
    CompareStrings(difference, a, b);
  } else if (a.Code == kRecLabelSst && b.Code == kRecLabelSst && SameBytes(a, b)) {
    // The same cell and string number, another text.
    difference.Fields.push_back(TFieldDifference{"text", FA.SharedText(a).value_or(""), FB.SharedText(b).value_or(""), {}, {}, {}, {}});
  } else {
    const std::vector<std::string> ignored = IgnoredFieldsOf(difference.Type);
    const TRecordDescription& da = FA.Describe(a.Head);
    const TRecordDescription& db = FB.Describe(b.Head);
    difference.Fields = CompareFields(da.Fields, db.Fields, ignored, FOptions.MostFields, difference.FieldsLeftOut);
    if (da.Error != db.Error && difference.Fields.size() < FOptions.MostFields)
      difference.Fields.push_back(TFieldDifference{"error", da.Error, db.Error, {}, {}, {}, {}});
    if (a.Code == kRecLabelSst && b.Code == kRecLabelSst && FA.SharedText(a) == FB.SharedText(b))
      std::erase_if(difference.Fields, [](const TFieldDifference& f) { return f.Name == "sst_index"; });
  }
  if (a.Code != b.Code)
    difference.Fields.insert(difference.Fields.begin(),
                             TFieldDifference{"record", DiffTypeName(a.Code), DiffTypeName(b.Code), {}, {}, {}, {}});
  if (difference.Fields.empty() && difference.FieldsLeftOut == 0)
    return -1;  // what differs is only where the record was split, or ignored
  // A MULRK or MULBLANK names the one cell of it that changed.
  if (key.Cell && !difference.Fields.empty()) {
    const auto cellOf = [](const std::string& path) {
      return path.starts_with("cell[") ? path.substr(5, path.find(']') - 5) : std::string();
    };
    const std::string first = cellOf(difference.Fields.front().Name);
    if (!first.empty() && std::all_of(difference.Fields.begin(), difference.Fields.end(),
                                      [&](const TFieldDifference& f) { return cellOf(f.Name) == first; }))
      difference.Cell = first;
  }
  if (key.Cell)
    difference.Style = std::all_of(difference.Fields.begin(), difference.Fields.end(), [](const TFieldDifference& f) {
      return f.Name == "xf" || f.Name.starts_with("attributes0") ||
             (f.Name.starts_with("cell[") && f.Name.ends_with("].xf"));
    });
  ++FResult.Parts[part].Changed;
  FResult.Differences.push_back(std::move(difference));
  return static_cast<std::int32_t>(FResult.Differences.size() - 1);
}

std::int32_t TComparer::Alone(std::size_t part, const TItem* a, const TItem* b)
{
  const TItem& item = a ? *a : *b;
  if (item.Quiet)
    return -1;
  TRecordDifference difference;
  difference.Op = a ? TDiffOp::doRemoved : TDiffOp::doAdded;
  difference.Part = part;
  difference.Type = DiffTypeName(item.Code);
  const TKey key = a ? FA.KeyOf(*a) : FB.KeyOf(*b);
  (key.Cell ? difference.Cell : difference.Key) = key.Shown;
  if (a)
    difference.A = a->Head;
  else
    difference.B = b->Head;
  ++(a ? FResult.Parts[part].Removed : FResult.Parts[part].Added);
  FResult.Differences.push_back(std::move(difference));
  return static_cast<std::int32_t>(FResult.Differences.size() - 1);
}

void TComparer::AddRows(std::size_t part, const TItem* a, const TItem* b, std::int32_t difference)
{
  if (!FOptions.KeepRows)
    return;
  const std::uint32_t rowsA = a ? a->Last - a->Head + 1 : 0;
  const std::uint32_t rowsB = b ? b->Last - b->Head + 1 : 0;
  for (std::uint32_t k = 0; k < std::max(rowsA, rowsB); ++k)
    FResult.Rows.push_back(TDiffRow{k < rowsA ? a->Head + k : kNoDiffRecord, k < rowsB ? b->Head + k : kNoDiffRecord,
                                    difference, static_cast<std::uint32_t>(part)});
}

std::vector<TPairing> TComparer::Pair(const std::vector<TItem>& ia, const std::vector<TItem>& ib,
                                      std::vector<TPairing>& crossing)
{
  std::vector<TPairing> pairs;
  // The same start and end pair at once: most of two versions of a file is.
  std::size_t head = 0;
  while (head < ia.size() && head < ib.size() && Equal(ia[head], ib[head])) {
    pairs.push_back({static_cast<std::uint32_t>(head), static_cast<std::uint32_t>(head)});
    ++head;
  }
  std::size_t tail = 0;
  while (tail < ia.size() - head && tail < ib.size() - head &&
         Equal(ia[ia.size() - 1 - tail], ib[ib.size() - 1 - tail]))
    ++tail;
  const auto endA = static_cast<std::uint32_t>(ia.size() - tail);
  const auto endB = static_cast<std::uint32_t>(ib.size() - tail);

  // The middle: keyed records pair by key, the longest run of those pairs
  // that keeps both orders anchors the rest.
  std::vector<TKey> keysA(ia.size());
  std::vector<TKey> keysB(ib.size());
  std::unordered_map<std::string, std::vector<std::uint32_t>> byKey;
  for (auto j = static_cast<std::uint32_t>(head); j < endB; ++j) {
    keysB[j] = FB.KeyOf(ib[j]);
    if (!keysB[j].Id.empty())
      byKey[keysB[j].Id].push_back(j);
  }
  for (auto& [id, list] : byKey)
    std::reverse(list.begin(), list.end());  // taken from the back, in order
  std::vector<TIndexPair> keyed;
  for (auto i = static_cast<std::uint32_t>(head); i < endA; ++i) {
    keysA[i] = FA.KeyOf(ia[i]);
    if (keysA[i].Id.empty())
      continue;
    auto found = byKey.find(keysA[i].Id);
    if (found == byKey.end() || found->second.empty())
      continue;
    keyed.emplace_back(i, found->second.back());
    found->second.pop_back();
  }
  std::vector<bool> pairedA(ia.size(), false);
  std::vector<bool> pairedB(ib.size(), false);
  for (const auto& [i, j] : keyed)
    pairedA[i] = pairedB[j] = true;
  std::vector<TPairing> middle;
  std::vector<bool> anchor(keyed.size(), false);
  for (const std::size_t k : IncreasingPairs(keyed))
    anchor[k] = true;
  // Between anchors: the records without a key by the sequence alignment,
  // then what it left, one of a type against one of the same type, as a
  // change (a renamed sheet or name too).
  auto alignGap = [&](std::uint32_t fromA, std::uint32_t toA, std::uint32_t fromB, std::uint32_t toB) {
    std::vector<std::uint32_t> restA;
    std::vector<std::uint32_t> restB;
    for (std::uint32_t i = fromA; i < toA; ++i)
      if (keysA[i].Id.empty())
        restA.push_back(i);
    for (std::uint32_t j = fromB; j < toB; ++j)
      if (keysB[j].Id.empty())
        restB.push_back(j);
    std::vector<std::uint64_t> sa;
    std::vector<std::uint64_t> sb;
    for (const std::uint32_t i : restA)
      sa.push_back(FA.Signature(ia[i]));
    for (const std::uint32_t j : restB)
      sb.push_back(FB.Signature(ib[j]));
    const std::vector<TIndexPair> matched = AlignSequences(sa, sb, FBudget);
    std::size_t lastA = 0;
    std::size_t lastB = 0;
    auto pairLeft = [&](std::size_t toRestA, std::size_t toRestB) {
      // In order: a record of A takes the first one of its type in B after
      // the last taken.
      std::unordered_map<std::uint16_t, std::deque<std::uint32_t>> ofType;
      for (std::size_t y = lastB; y < toRestB; ++y)
        ofType[ib[restB[y]].Code].push_back(restB[y]);
      std::uint32_t taken = 0;
      bool any = false;
      for (std::size_t x = lastA; x < toRestA; ++x) {
        const std::uint32_t i = restA[x];
        auto found = ofType.find(ia[i].Code);
        if (found == ofType.end())
          continue;
        std::deque<std::uint32_t>& queue = found->second;
        while (!queue.empty() && any && queue.front() <= taken)
          queue.pop_front();
        if (queue.empty())
          continue;
        taken = queue.front();
        any = true;
        queue.pop_front();
        middle.push_back({i, taken});
        pairedA[i] = pairedB[taken] = true;
      }
    };
    for (const auto& [x, y] : matched) {
      pairLeft(x, y);
      middle.push_back({restA[x], restB[y]});
      pairedA[restA[x]] = pairedB[restB[y]] = true;
      lastA = x + 1;
      lastB = y + 1;
    }
    pairLeft(restA.size(), restB.size());
    // A sheet or a name renamed: its record changed, not one gone and one new.
    std::vector<std::uint32_t> renamedB;
    for (std::uint32_t j = fromB; j < toB; ++j)
      if (!pairedB[j] && (ib[j].Code == kRecBoundSheet || ib[j].Code == kRecName || ib[j].Code == kRecName3))
        renamedB.push_back(j);
    std::size_t next = 0;
    for (std::uint32_t i = fromA; i < toA && next < renamedB.size(); ++i)
      if (!pairedA[i] && ia[i].Code == ib[renamedB[next]].Code) {
        middle.push_back({i, renamedB[next]});
        pairedA[i] = pairedB[renamedB[next]] = true;
        ++next;
      }
  };
  auto fromA = static_cast<std::uint32_t>(head);
  auto fromB = static_cast<std::uint32_t>(head);
  for (std::size_t k = 0; k < keyed.size(); ++k) {
    if (!anchor[k])
      continue;
    alignGap(fromA, keyed[k].first, fromB, keyed[k].second);
    fromA = keyed[k].first + 1;
    fromB = keyed[k].second + 1;
  }
  alignGap(fromA, endA, fromB, endB);
  for (std::size_t k = 0; k < keyed.size(); ++k)
    (anchor[k] ? middle : crossing).push_back({keyed[k].first, keyed[k].second});
  std::sort(middle.begin(), middle.end(), [](const TPairing& x, const TPairing& y) { return x.A < y.A; });
  std::vector<TIndexPair> sortedPairs;
  for (const TPairing& p : middle)
    sortedPairs.emplace_back(p.A, p.B);
  std::vector<bool> inOrder(middle.size(), false);
  for (const std::size_t k : IncreasingPairs(sortedPairs))
    inOrder[k] = true;
  std::vector<TPairing> ordered;
  std::uint32_t nextA = static_cast<std::uint32_t>(head);
  std::uint32_t nextB = static_cast<std::uint32_t>(head);
  // Records alone (and the records of crossing pairs) before a pair.
  auto alone = [&](std::uint32_t toA, std::uint32_t toB) {
    for (; nextA < toA; ++nextA)
      if (!pairedA[nextA] || std::any_of(crossing.begin(), crossing.end(), [&](const TPairing& p) { return p.A == nextA; }))
        ordered.push_back({nextA, kNoDiffRecord});
    for (; nextB < toB; ++nextB)
      if (!pairedB[nextB] || std::any_of(crossing.begin(), crossing.end(), [&](const TPairing& p) { return p.B == nextB; }))
        ordered.push_back({kNoDiffRecord, nextB});
  };
  for (std::size_t k = 0; k < middle.size(); ++k)
    if (!inOrder[k])
      crossing.push_back(middle[k]);
  for (std::size_t k = 0; k < middle.size(); ++k) {
    if (!inOrder[k])
      continue;
    alone(middle[k].A, middle[k].B);
    ordered.push_back(middle[k]);
    nextA = middle[k].A + 1;
    nextB = middle[k].B + 1;
  }
  alone(endA, endB);
  pairs.insert(pairs.end(), ordered.begin(), ordered.end());
  for (std::size_t k = 0; k < tail; ++k)
    pairs.push_back({endA + static_cast<std::uint32_t>(k), endB + static_cast<std::uint32_t>(k)});
  return pairs;
}

void TComparer::ComparePart(std::size_t part, const TPartRecords* a, const TPartRecords* b)
{
  if (!a || !b) {
    const TSide& side = a ? FA : FB;
    const TPartRecords& only = a ? *a : *b;
    for (const TItem& item : side.Items(only, only.First, only.End)) {
      const std::int32_t difference = Alone(part, a ? &item : nullptr, a ? nullptr : &item);
      AddRows(part, a ? &item : nullptr, a ? nullptr : &item, difference);
    }
    return;
  }
  // Records stored alike at the part's start and end are the same records
  // (unless a string number may stand for another text): no item of
  // theirs need be made.
  const std::uint32_t countA = a->End - a->First;
  const std::uint32_t countB = b->End - b->First;
  const auto rawEqual = [&](std::uint32_t i, std::uint32_t j) {
    const auto x = FA.Raw(i);
    const auto y = FB.Raw(j);
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size()) == 0;
  };
  std::uint32_t head = 0;
  std::uint32_t tail = 0;
  if (FSameStrings) {
    while (head < countA && head < countB && rawEqual(a->First + head, b->First + head))
      ++head;
    while (tail < countA - head && tail < countB - head && rawEqual(a->End - 1 - tail, b->End - 1 - tail))
      ++tail;
    // Whole logical records only: a head whose CONTINUE records differ
    // is compared with them.
    while (head > 0 && head < countA && head < countB && (FA.Joined(a->First + head) || FB.Joined(b->First + head)))
      --head;
    while (tail > 0 && (FA.Joined(a->End - tail) || FB.Joined(b->End - tail)))
      --tail;
  }
  const auto sameRows = [&](std::uint32_t fromA, std::uint32_t fromB, std::uint32_t count) {
    if (FOptions.KeepRows)
      for (std::uint32_t k = 0; k < count; ++k)
        FResult.Rows.push_back(TDiffRow{fromA + k, fromB + k, -1, static_cast<std::uint32_t>(part)});
  };
  sameRows(a->First, b->First, head);
  const std::vector<TItem> itemsA = FA.Items(*a, a->First + head, a->End - tail);
  const std::vector<TItem> itemsB = FB.Items(*b, b->First + head, b->End - tail);
  std::vector<TPairing> crossing;
  std::vector<TPairing> pairs = Pair(itemsA, itemsB, crossing);
  // A crossing pair is compared once; both its rows carry the result.
  std::unordered_map<std::uint32_t, std::int32_t> crossingA;
  std::unordered_map<std::uint32_t, std::int32_t> crossingB;
  for (const TPairing& p : crossing) {
    const std::int32_t difference = Compare(part, itemsA[p.A], itemsB[p.B]);
    crossingA[p.A] = difference;
    crossingB[p.B] = difference;
  }
  for (TPairing& p : pairs) {
    const TItem* ia = p.A == kNoDiffRecord ? nullptr : &itemsA[p.A];
    const TItem* ib = p.B == kNoDiffRecord ? nullptr : &itemsB[p.B];
    if (ia && ib)
      p.Difference = Compare(part, *ia, *ib);
    else if (const auto found = ia ? crossingA.find(p.A) : crossingB.find(p.B);
             found != (ia ? crossingA.end() : crossingB.end()))
      p.Difference = found->second;
    else
      p.Difference = Alone(part, ia, ib);
    AddRows(part, ia, ib, p.Difference);
  }
  sameRows(a->End - tail, b->End - tail, tail);
}

TWorkbookDiff TComparer::Run()
{
  // Parts pair by name, then the rest by order.
  const auto& partsA = FA.Parts;
  const auto& partsB = FB.Parts;
  std::vector<int> partnerOfA(partsA.size(), -1);
  std::vector<bool> takenB(partsB.size(), false);
  for (std::size_t i = 0; i < partsA.size(); ++i)
    for (std::size_t j = 0; j < partsB.size(); ++j)
      if (!takenB[j] && partsA[i].Name == partsB[j].Name) {
        partnerOfA[i] = static_cast<int>(j);
        takenB[j] = true;
        break;
      }
  std::size_t nextB = 0;
  for (std::size_t i = 0; i < partsA.size(); ++i) {
    if (partnerOfA[i] >= 0)
      continue;
    while (nextB < partsB.size() && takenB[nextB])
      ++nextB;
    if (nextB < partsB.size()) {
      partnerOfA[i] = static_cast<int>(nextB);
      takenB[nextB] = true;
    }
  }
  // In A's order; a part only B has after the pair before it in B.
  std::vector<std::pair<int, int>> order;  // (A part or -1, B part or -1)
  std::vector<int> partOfB(partsB.size(), -1);
  for (std::size_t i = 0; i < partsA.size(); ++i)
    if (partnerOfA[i] >= 0)
      partOfB[static_cast<std::size_t>(partnerOfA[i])] = static_cast<int>(i);
  for (std::size_t i = 0; i < partsA.size(); ++i)
    order.emplace_back(static_cast<int>(i), partnerOfA[i]);
  for (std::size_t j = 0; j < partsB.size(); ++j) {
    if (partOfB[j] >= 0)
      continue;
    auto at = order.begin();
    for (std::size_t before = j; before-- > 0;)
      if (partOfB[before] >= 0) {
        at = std::find_if(order.begin(), order.end(),
                          [&](const auto& p) { return p.second == static_cast<int>(before); }) + 1;
        break;
      }
    order.insert(at, {-1, static_cast<int>(j)});
    partOfB[j] = -2;
  }
  for (const auto& [i, j] : order) {
    TDiffPart part;
    part.InA = i >= 0;
    part.InB = j >= 0;
    part.Name = i >= 0 ? partsA[static_cast<std::size_t>(i)].Name : partsB[static_cast<std::size_t>(j)].Name;
    if (i >= 0 && j >= 0 && partsB[static_cast<std::size_t>(j)].Name != part.Name)
      part.NameB = partsB[static_cast<std::size_t>(j)].Name;
    FResult.Parts.push_back(part);
    ComparePart(FResult.Parts.size() - 1, i >= 0 ? &partsA[static_cast<std::size_t>(i)] : nullptr,
                j >= 0 ? &partsB[static_cast<std::size_t>(j)] : nullptr);
  }
  return std::move(FResult);
}

}  // namespace

const char* DiffOpName(TDiffOp op)
{
  switch (op) {
  case TDiffOp::doChanged: return "changed";
  case TDiffOp::doAdded: return "added";
  default: return "removed";
  }
}

std::string DiffTypeName(std::uint16_t code)
{
  if (const char* type = RecordCatalogueName(code))
    return type;
  const std::string listName = RecordTypeName(code);
  if (listName != "Unknown")
    return listName;
  return HexNumber(code, 4);
}

TWorkbookDiff CompareRecords(TOpenedWorkbook& a, TOpenedWorkbook& b, const TDiffOptions& options)
{
  return TComparer(a, b, options).Run();
}
