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

/// One XLUnicodeRichExtendedString of the SST from the part cursor's
/// position: it moves to the next part first when fewer than 3 bytes (a
/// string header) are left. Calls `out(text)` once its characters are read.
/// Throws as DecodeSst does.
template <typename TFields, typename TOut>
void DecodeSstString(TBasicPartCursor<TFields>& parts, TOut&& out)
{
  auto* c = &parts.Current();
  auto need = [&](std::size_t bytes) {
    if (c->Remaining() < bytes)
      throw EBiffLensError(kMsgNoContinue);
  };
  if (c->Remaining() < 3) {
    if (!parts.NextPart())
      throw EBiffLensError(kMsgNoContinue);
    c = &parts.Current();
  }
  need(3);
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
  out(ReadCharacters(parts, wide ? 2 * chars : chars, wide, true));
  c = &parts.Current();
  if (runs > 0) {
    if (c->Remaining() < 4 * runs)
      throw EBiffLensError(kMsgRichDataContinue);
    c->Skip("rich_runs", 4 * runs);
  }
  if (ext > 0) {
    if (c->Remaining() < ext)
      throw EBiffLensError(kMsgExtDataContinue);
    c->Skip("ext_data", ext);
  }
  c->End();
}

/// [MS-XLS] 2.4.265 SST: the two counts, then XLUnicodeRichExtendedString
/// items (character count, option byte, rich-run count and extended-data size
/// when the options say so, the characters, the runs, the extended data)
/// running on into the CONTINUE records that follow. Calls `reserve(n)` with
/// the unique count (when positive) and `out(text)` for every string, in
/// order. Throws kMsgNoContinue when a string needs a part that is missing,
/// kMsgSstOptionsFormat for an option byte it cannot read, and
/// kMsgRichDataContinue / kMsgExtDataContinue for runs or extended data that
/// do not end in the part that holds the string's last characters.
template <typename TFields, typename TReserve, typename TOut>
void DecodeSst(TBasicPartCursor<TFields>& parts, TReserve&& reserve, TOut&& out)
{
  auto* c = &parts.Current();
  if (c->Size() < 8)
    return;
  c->U32("total");
  const std::int32_t count = c->I32("unique");
  if (count > 0)
    reserve(static_cast<std::size_t>(count));
  for (std::int32_t k = 0; k < count; ++k)
    DecodeSstString(parts, out);
}
