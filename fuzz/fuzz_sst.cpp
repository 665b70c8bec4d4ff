// Fuzz target: the shared-string table across its CONTINUE records. Input:
// the parts of one SST record, each a 2-byte length (little-endian) and
// that many bytes, the last part taking what is left; the first part is
// the SST's data, the others its CONTINUE records'. The strings are read as
// the load reads them and described as the Fields pane lists them: the two
// must agree string by string, every described byte must lie in its part,
// and nothing but the project's own errors may come out.
#include "platform/Errors.h"
#include "xls/decode/SharedStrings.h"
#include "xls/decode/SstDescription.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t kRecSst = 0x00FC;
constexpr std::uint16_t kRecContinue = 0x003C;
// The record holds 8,224 bytes at most; a part's length goes no further.
constexpr std::size_t kMostPart = 8224;
// Strings described per input, at most.
constexpr std::size_t kMostDescribed = 2000;

std::vector<TRecordRef> SplitParts(std::span<const std::uint8_t> input)
{
  std::vector<TRecordRef> parts;
  std::uint64_t offset = 0;
  while (!input.empty() || parts.empty()) {
    std::size_t length = input.size();
    if (input.size() >= 2) {
      length = std::min<std::size_t>((input[0] | input[1] << 8) % (kMostPart + 1), input.size() - 2);
      input = input.subspan(2);
    } else {
      input = {};
      length = 0;
    }
    TRecordRef part;
    part.Number = parts.size() + 1;
    part.Offset = offset;
    part.Header.Code = parts.empty() ? kRecSst : kRecContinue;
    part.Header.Length = static_cast<std::uint16_t>(length);
    part.Data = input.first(length);
    parts.push_back(part);
    input = input.subspan(length);
    offset += 4 + length;
  }
  return parts;
}

void CheckInside(const TRecordField& field, std::span<const TRecordRef> parts)
{
  const auto part = static_cast<std::size_t>(field.Part);
  if (field.Part < 0 || part >= parts.size() || field.Offset + field.Size > parts[part].Data.size())
    __builtin_trap();
  for (const TRecordField& inner : field.Fields)
    CheckInside(inner, parts);
}

const TRecordField* FindField(const TRecordField& group, const char* name)
{
  for (const TRecordField& field : group.Fields)
    if (field.Name == name)
      return &field;
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::vector<TRecordRef> parts = SplitParts({data, size});

  // As the load reads it.
  std::vector<std::string> loaded;
  std::size_t reserved = 0;
  bool whole = true;
  try {
    TPartCursor cursor(parts);
    DecodeSst(
        cursor, [&](std::size_t count) { reserved = count; },
        [&](std::string&& text) { loaded.push_back(std::move(text)); });
  } catch (const EBiffLensError&) {
    whole = false;
  }
  if (loaded.size() > reserved)
    __builtin_trap();  // more strings than the table declares

  // As the Fields pane lists it.
  const std::int64_t declared =
      parts[0].Data.size() >= 8
          ? static_cast<std::int32_t>(parts[0].Data[4] | parts[0].Data[5] << 8 | parts[0].Data[6] << 16 |
                                      static_cast<std::uint32_t>(parts[0].Data[7]) << 24)
          : 0;
  const TSstStringList list(parts, declared);
  if (whole && list.Count() < loaded.size())
    __builtin_trap();  // the list must reach every string the load read
  for (std::size_t k = 0; k < list.Count() && k < kMostDescribed; ++k) {
    TRecordField item;
    try {
      item = list.Item(k);
    } catch (const EBiffLensError&) {
      // The load stops at the same string: it keeps a string whose
      // characters were read when what follows them (runs, extended data)
      // is cut off, where the description says what cut it.
      if (k + 1 < loaded.size() || (k + 1 == loaded.size() && whole))
        __builtin_trap();
      break;
    }
    CheckInside(item, parts);
    if (k >= loaded.size() || item.Missing)
      continue;
    const std::string* value = std::get_if<std::string>(&item.Value);
    const TRecordField* index = FindField(item, "index");
    if (!value || *value != loaded[k] || !index)
      __builtin_trap();  // described unlike it was loaded
  }
  // Finding the string that holds a byte walks the strings before it, and
  // throws as describing them would (the Fields pane catches it).
  try {
    if (!parts.back().Data.empty())
      (void)list.ItemAt(static_cast<int>(parts.size() - 1), parts.back().Data.size() - 1);
  } catch (const EBiffLensError&) {
  }
  return 0;
}
