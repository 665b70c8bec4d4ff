#pragma once

#include "platform/Errors.h"
#include "platform/text/HexText.h"
#include "platform/text/TextFormat.h"
#include "xls/XlsMessages.h"
#include "xls/decode/PartCursor.h"
#include "xls/decode/Strings.h"

#include <cstddef>
#include <cstdint>
#include <string>

/// What a structure check wants to know of an SST besides its strings.
struct TSstWatch {
  /// String `index` starts at `position` of part `part`.
  void StringStart(std::size_t /*index*/, std::size_t /*part*/, std::size_t /*position*/) {}
  /// A string's characters were split inside a UTF-16 character.
  void SplitInsideCharacter(std::size_t /*index*/, std::size_t /*part*/) {}
  /// `leftover` bytes at the end of part `part` were too few for a string
  /// header: a header split across records, or bytes the table does not use.
  void HeaderSplit(std::size_t /*part*/, std::size_t /*leftover*/) {}
};

/// One XLUnicodeRichExtendedString of the SST from the part cursor's
/// position: it moves to the next part first when fewer than 3 bytes (a
/// string header) are left, and returns false when there is none (the table
/// ends with the strings stored). Calls `out(text)` once its characters are
/// read. Throws as DecodeSst does; `index` is the string's number for the
/// watch.
template <typename TFields, typename TOut, typename TWatch = TSstWatch>
bool DecodeSstString(TBasicPartCursor<TFields>& parts, TOut&& out, TWatch&& watch = TWatch(),
                     std::size_t index = 0)
{
  auto* c = &parts.Current();
  auto need = [&](std::size_t bytes) {
    if (c->Remaining() < bytes)
      throw EBiffLensError(kMsgNoContinue);
  };
  // Runs and extended data go on into the next part as they are: only
  // characters open a continuation with a width byte.
  auto skipAcross = [&](const char* name, std::size_t bytes, const char* cutOff) {
    while (bytes > c->Remaining()) {
      bytes -= c->Remaining();
      c->Skip(name, c->Remaining());
      if (!parts.NextPart())
        throw EBiffLensError(cutOff);
      c = &parts.Current();
    }
    c->Skip(name, bytes);
  };
  if (c->Remaining() < 3) {
    const std::size_t leftover = c->Remaining();
    const std::size_t part = parts.PartIndex();
    // Writers count strings they never wrote (a unique count larger than
    // the table): the strings stored are the table.
    if (!parts.NextPart())
      return false;
    if (leftover > 0)
      watch.HeaderSplit(part, leftover);
    c = &parts.Current();
  }
  need(3);
  watch.StringStart(index, parts.PartIndex(), c->Position());
  c->Begin("string");
  const std::size_t chars = c->U16("chars");
  const std::uint8_t options = c->U8("options");
  if (options != 0 && options != 1 && !(options & 0x04) && !(options & 0x08))
    throw EBiffLensError(FormatMessage(kMsgSstOptionsFormat, HexByte(options)));
  c->Flag("high_byte", 0);
  c->Flag("ext_st", 2);
  c->Flag("rich_st", 3);
  std::size_t runs = 0;
  std::size_t ext = 0;
  if (options & 0x08) {
    need(2);
    runs = c->U16("runs");
  }
  if (options & 0x04) {
    need(4);
    ext = c->U32("ext_size");
  }
  const bool wide = options & 0x01;
  // The string counts once its characters are read, whatever follows.
  bool split = false;
  out(ReadCharacters(parts, wide ? 2 * chars : chars, wide, true, &split));
  if (split)
    watch.SplitInsideCharacter(index, parts.PartIndex());
  c = &parts.Current();
  if (runs > 0)
    skipAcross("rich_runs", 4 * runs, kMsgRichDataContinue);
  if (ext > 0)
    skipAcross("ext_data", ext, kMsgExtDataContinue);
  c->End();
  return true;
}

/// [MS-XLS] 2.4.265 SST: the two counts, then XLUnicodeRichExtendedString
/// items (character count, option byte, rich-run count and extended-data size
/// when the options say so, the characters, the runs, the extended data)
/// running on into the CONTINUE records that follow. Calls `reserve(n)` with
/// the unique count (when positive) and `out(text)` for every string, in
/// order. The table ends with the strings stored, when the unique count
/// promises more than the records hold. Throws kMsgNoContinue when a string
/// is cut off inside, kMsgSstOptionsFormat for an option byte it cannot
/// read, and kMsgRichDataContinue / kMsgExtDataContinue for runs or
/// extended data cut off by the end of the last CONTINUE record.
template <typename TFields, typename TReserve, typename TOut, typename TWatch = TSstWatch>
void DecodeSst(TBasicPartCursor<TFields>& parts, TReserve&& reserve, TOut&& out,
               TWatch&& watch = TWatch())
{
  auto* c = &parts.Current();
  if (c->Size() < 8)
    return;
  c->U32("total");
  const std::int32_t count = c->I32("unique");
  if (count > 0)
    reserve(static_cast<std::size_t>(count));
  for (std::int32_t k = 0; k < count; ++k)
    if (!DecodeSstString(parts, out, watch, static_cast<std::size_t>(k)))
      return;
}
