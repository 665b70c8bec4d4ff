#include "xls/workbook/Navigation.h"

#include "xls/workbook/WorkbookMessages.h"
#include "xls/RecordCodes.h"
#include "xls/records/RecordTable.h"
#include "xls/records/RecordTable.h"
#include "xls/stream/SubstreamWalk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string.h>

namespace {

constexpr std::size_t kHeaderBytes = 4;
constexpr std::size_t kCodeCount = 0x10000;
constexpr char kUnknownName[] = "Unknown";

char Upper(char c)
{
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Upper(x) == Upper(y);
         });
}

int HexDigit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  const char u = Upper(c);
  if (u >= 'A' && u <= 'F')
    return u - 'A' + 10;
  return -1;
}

bool IsSeparator(char c)
{
  return c == ',' || c == ' ' || c == '\t';
}

// A hexadecimal number of at most `digits` digits after "0x"; nothing else.
std::optional<std::uint64_t> HexAfterPrefix(std::string_view word, std::size_t digits)
{
  if (word.size() < 3 || word[0] != '0' || Upper(word[1]) != 'X' || word.size() - 2 > digits)
    return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : word.substr(2)) {
    const int d = HexDigit(c);
    if (d < 0)
      return std::nullopt;
    value = value << 4 | static_cast<std::uint64_t>(d);
  }
  return value;
}

std::optional<std::uint64_t> Decimal(std::string_view word)
{
  // At most 19 digits: no overflow of 64 bits.
  if (word.empty() || word.size() > 19)
    return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : word) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

std::uint16_t CodeAt(std::span<const std::uint8_t> stream, std::uint32_t offset)
{
  return static_cast<std::uint16_t>(stream[offset] | stream[offset + 1] << 8);
}

bool HasHeader(std::span<const std::uint8_t> stream, std::uint32_t offset)
{
  return offset <= stream.size() && stream.size() - offset >= kHeaderBytes;
}

// Record `index`'s data in stream positions, [begin, end), cut at the stream's end.
std::pair<std::size_t, std::size_t> DataRange(std::span<const std::uint8_t> stream,
                                              std::span<const std::uint32_t> offsets, std::size_t index)
{
  const std::size_t offset = offsets[index];
  if (!HasHeader(stream, offsets[index]))
    return {stream.size(), stream.size()};
  const std::size_t length = static_cast<std::size_t>(stream[offset + 2] | stream[offset + 3] << 8);
  const std::size_t begin = offset + kHeaderBytes;
  return {begin, begin + std::min(length, stream.size() - begin)};
}

std::size_t RecordAtOrBefore(std::span<const std::uint32_t> offsets, std::size_t position)
{
  const auto after = std::upper_bound(offsets.begin(), offsets.end(), position,
                                      [](std::size_t p, std::uint32_t o) { return p < o; });
  return static_cast<std::size_t>(after - offsets.begin()) - 1;  // offsets[0] <= position
}

// Searches record data in [lo, hi) of the stream forward for the first
// match that lies whole in a listed record's data.
std::optional<TFindHit> SearchForward(std::span<const std::uint8_t> stream, std::span<const std::uint32_t> offsets,
                                      std::span<const std::uint8_t> pattern, std::size_t lo, std::size_t hi,
                                      const std::vector<std::uint32_t>* visible)
{
  const std::size_t n = pattern.size();
  std::size_t at = lo;
  while (at < hi && hi - at >= n) {
    const void* found = memmem(stream.data() + at, hi - at, pattern.data(), n);
    if (found == nullptr)
      return std::nullopt;
    const auto p = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - stream.data());
    const std::size_t record = RecordAtOrBefore(offsets, p);
    if (visible != nullptr && !std::binary_search(visible->begin(), visible->end(), record)) {
      // On to the next listed record at once: a filter that hides most
      // records must not cost a look at each match inside them.
      const auto next = std::upper_bound(visible->begin(), visible->end(), record);
      if (next == visible->end())
        return std::nullopt;
      at = offsets[*next];
      continue;
    }
    const auto [begin, end] = DataRange(stream, offsets, record);
    if (p < begin) {
      at = begin;  // in the header
      continue;
    }
    if (p + n <= end)
      return TFindHit{record, p - begin, false};
    at = p + 1;  // runs out of the record
  }
  return std::nullopt;
}

// The same backward: the last match in [lo, hi).
std::optional<TFindHit> SearchBackward(std::span<const std::uint8_t> stream, std::span<const std::uint32_t> offsets,
                                       std::span<const std::uint8_t> pattern, std::size_t lo, std::size_t hi,
                                       const std::vector<std::uint32_t>* visible)
{
  const std::size_t n = pattern.size();
  std::size_t end = hi;
  while (end > lo && end - lo >= n) {
    const auto first = stream.begin() + static_cast<std::ptrdiff_t>(lo);
    const auto last = stream.begin() + static_cast<std::ptrdiff_t>(end);
    const auto found = std::find_end(first, last, pattern.begin(), pattern.end());
    if (found == last)
      return std::nullopt;
    const auto p = static_cast<std::size_t>(found - stream.begin());
    const std::size_t record = RecordAtOrBefore(offsets, p);
    if (visible != nullptr && !std::binary_search(visible->begin(), visible->end(), record)) {
      const auto next = std::lower_bound(visible->begin(), visible->end(), record);
      if (next == visible->begin())
        return std::nullopt;
      end = std::min(end, DataRange(stream, offsets, *std::prev(next)).second);
      continue;
    }
    const auto [begin, dataEnd] = DataRange(stream, offsets, record);
    if (p >= begin && p + n <= dataEnd)
      return TFindHit{record, p - begin, false};
    // Ends short of this match's last byte: earlier matches only.
    end = std::min(end, p + n - 1);
  }
  return std::nullopt;
}

}  // namespace

TRecordFilterText ParseRecordFilter(std::string_view text)
{
  TRecordFilterText result;
  std::size_t at = 0;
  while (at < text.size()) {
    if (IsSeparator(text[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && !IsSeparator(text[end]))
      ++end;
    const std::string_view word = text.substr(at, end - at);
    at = end;
    if (const auto code = HexAfterPrefix(word, 4)) {
      result.Codes.push_back(static_cast<std::uint16_t>(*code));
      continue;
    }
    bool named = false;
    for (std::size_t code = 0; code < kCodeCount; ++code) {
      // A record is found by its name in the list or its type in the
      // catalogue, as the list's two columns show them.
      const char* name = RecordDisplayName(static_cast<std::uint16_t>(code));
      const char* type = RecordCatalogueName(static_cast<std::uint16_t>(code));
      if ((SameName(word, name) && !SameName(word, kUnknownName)) || (type && SameName(word, type))) {
        result.Codes.push_back(static_cast<std::uint16_t>(code));
        named = true;
      }
    }
    if (!named) {
      result.BadWord = std::string(word);
      break;
    }
  }
  std::sort(result.Codes.begin(), result.Codes.end());
  result.Codes.erase(std::unique(result.Codes.begin(), result.Codes.end()), result.Codes.end());
  return result;
}

std::vector<std::uint32_t> FilterRecords(std::span<const std::uint8_t> stream,
                                         std::span<const std::uint32_t> offsets,
                                         std::span<const std::uint16_t> codes)
{
  std::vector<std::uint8_t> wanted(kCodeCount, 0);
  for (const std::uint16_t code : codes)
    wanted[code] = 1;
  std::vector<std::uint32_t> rows;
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    const std::uint32_t offset = offsets[i];
    if (HasHeader(stream, offset) && wanted[CodeAt(stream, offset)] != 0)
      rows.push_back(static_cast<std::uint32_t>(i));
  }
  return rows;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text)
{
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (const char c : text) {
    if (IsSeparator(c)) {
      if (high >= 0)
        return std::nullopt;  // a lone digit
      continue;
    }
    const int d = HexDigit(c);
    if (d < 0)
      return std::nullopt;
    if (high < 0) {
      high = d;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | d));
      high = -1;
    }
  }
  if (high >= 0 || bytes.empty())
    return std::nullopt;
  return bytes;
}

std::optional<TFindHit> FindInRecords(std::span<const std::uint8_t> stream,
                                      std::span<const std::uint32_t> offsets,
                                      std::span<const std::uint8_t> pattern, std::optional<std::size_t> from,
                                      bool forward, const std::vector<std::uint32_t>* visible)
{
  if (pattern.empty() || offsets.empty() || offsets.front() > stream.size())
    return std::nullopt;
  if (from && *from >= offsets.size())
    from.reset();
  const std::size_t size = stream.size();
  // The records after `from` (or before it), then round to `from` itself.
  if (forward) {
    const std::size_t split =
        !from ? offsets.front() : (*from + 1 < offsets.size() ? std::min<std::size_t>(offsets[*from + 1], size) : size);
    if (auto hit = SearchForward(stream, offsets, pattern, split, size, visible))
      return hit;
    if (!from)
      return std::nullopt;
    auto hit = SearchForward(stream, offsets, pattern, offsets.front(), std::min(split, size), visible);
    if (hit)
      hit->Wrapped = true;
    return hit;
  }
  const std::size_t split = !from ? size : std::min<std::size_t>(offsets[*from], size);
  if (auto hit = SearchBackward(stream, offsets, pattern, offsets.front(), split, visible))
    return hit;
  if (!from)
    return std::nullopt;
  auto hit = SearchBackward(stream, offsets, pattern, split, size, visible);
  if (hit)
    hit->Wrapped = true;
  return hit;
}

std::optional<TGoToTarget> ParseGoTo(std::string_view text)
{
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  if (text.empty())
    return std::nullopt;
  if (text.front() == '@') {
    const std::string_view rest = text.substr(1);
    auto value = HexAfterPrefix(rest, 16);
    if (!value)
      value = Decimal(rest);
    if (!value)
      return std::nullopt;
    return TGoToTarget{true, *value};
  }
  if (const auto value = HexAfterPrefix(text, 16))
    return TGoToTarget{true, *value};
  if (const auto value = Decimal(text))
    return TGoToTarget{false, *value};
  return std::nullopt;
}

std::optional<std::size_t> RecordHolding(std::span<const std::uint8_t> stream,
                                         std::span<const std::uint32_t> offsets, std::uint64_t position)
{
  if (offsets.empty() || position < offsets.front() || position >= stream.size())
    return std::nullopt;
  const std::size_t record = RecordAtOrBefore(offsets, static_cast<std::size_t>(position));
  const auto [begin, end] = DataRange(stream, offsets, record);
  (void)begin;
  if (position >= std::max<std::size_t>(end, offsets[record] + kHeaderBytes))
    return std::nullopt;  // between records, or past the last
  return record;
}

const char* SubstreamKindName(std::uint16_t bofType)
{
  switch (bofType) {
  case kBofTypeGlobals:
    return kSubstreamGlobals;
  case kBofTypeVbModule:
    return kSubstreamVbModule;
  case kBofTypeWorksheet:
    return kSubstreamWorksheet;
  case kBofTypeChart:
    return kSubstreamChart;
  case kBofTypeMacroSheet:
    return kSubstreamMacroSheet;
  case kBofTypeWorkspace:
    return kSubstreamWorkspace;
  default:
    return kSubstreamOther;
  }
}

std::vector<TOutlineNode> BuildOutline(std::span<const std::uint8_t> stream,
                                       std::span<const std::uint32_t> offsets,
                                       std::span<const TSheetName> sheets, TWalkStart start)
{
  std::vector<TOutlineNode> nodes;
  // Open parts, innermost last: a node, or -1 for one past the node limit.
  // Substreams carry the walk's index, blocks -1.
  struct TOpen {
    int Node = -1;
    int Substream = -1;
  };
  std::vector<TOpen> open;
  const std::size_t count = offsets.size();
  auto close = [&](std::size_t end) {
    if (open.back().Node >= 0)
      nodes[static_cast<std::size_t>(open.back().Node)].End = end;
    open.pop_back();
  };
  auto add = [&](TOutlineNode node, int substream) {
    node.End = count;
    node.Parent = open.empty() ? -1 : open.back().Node;
    int index = -1;
    if (nodes.size() < kMostOutlineNodes) {
      index = static_cast<int>(nodes.size());
      nodes.push_back(std::move(node));
    }
    open.push_back({index, substream});
  };
  TSubstreamWalk walk(start);
  for (std::size_t i = 0; i < count; ++i) {
    if (!HasHeader(stream, offsets[i]))
      break;
    const auto [begin, end] = DataRange(stream, offsets, i);
    TRecordRef record;
    record.Number = i + 1;
    record.Offset = offsets[i];
    record.Header.Code = CodeAt(stream, offsets[i]);
    record.Header.Length =
        static_cast<std::uint16_t>(stream[offsets[i] + 2] | stream[offsets[i] + 3] << 8);
    record.Data = stream.subspan(begin, end - begin);
    const std::uint16_t code = record.Header.Code;
    switch (walk.Step(record)) {
    case TWalkStep::wsOpened: {
      // Out to the substream the new one lies in: a worksheet's BOF ends
      // what a damaged file left open.
      const TSubstream& substream = walk.Substreams()[static_cast<std::size_t>(walk.Current())];
      while (!open.empty() && open.back().Substream != substream.Parent)
        close(i);
      TOutlineNode node;
      node.First = i;
      node.Type = substream.Type;
      const auto sheet = std::find_if(sheets.begin(), sheets.end(),
                                      [&](const TSheetName& s) { return s.BofOffset == offsets[i]; });
      if (sheet != sheets.end()) {
        node.Name = sheet->Name;
        node.Visibility = sheet->Visibility;
      }
      add(std::move(node), walk.Current());
      break;
    }
    case TWalkStep::wsClosed:
      // Closes the innermost substream and the blocks left open in it.
      while (!open.empty() && open.back().Substream != walk.Closed())
        close(i);
      if (!open.empty())
        close(i + 1);
      break;
    default:
      if (code == kRecChartBegin && i > 0 && walk.CurrentType() == kBofTypeChart) {
        // A block is named after the record it opens: the one before BEGIN.
        TOutlineNode node;
        node.Kind = TOutlineNode::TKind::okChartBlock;
        node.First = i - 1;
        node.Type = CodeAt(stream, offsets[i - 1]);
        add(std::move(node), -1);
      } else if (code == kRecChartEnd && !open.empty() && open.back().Substream < 0) {
        close(i + 1);
      }
    }
  }
  return nodes;
}

std::vector<TRecordTypeCount> CountRecordTypes(std::span<const std::uint8_t> stream,
                                               std::span<const std::uint32_t> offsets)
{
  std::vector<std::uint64_t> counts(kCodeCount, 0);
  std::vector<std::uint64_t> bytes(kCodeCount, 0);
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    if (!HasHeader(stream, offsets[i]))
      break;
    const std::uint16_t code = CodeAt(stream, offsets[i]);
    const auto [begin, end] = DataRange(stream, offsets, i);
    ++counts[code];
    bytes[code] += kHeaderBytes + (end - begin);
  }
  std::vector<TRecordTypeCount> result;
  for (std::size_t code = 0; code < kCodeCount; ++code)
    if (counts[code] > 0)
      result.push_back({static_cast<std::uint16_t>(code), counts[code], bytes[code]});
  return result;
}
