#pragma once

// Text as BIFF stores it: 8-bit bytes of the workbook's code page before
// BIFF8; from BIFF8 on strings with an option byte whose characters are
// compressed (8-bit, the low bytes of UTF-16) or UTF-16, possibly running on
// into CONTINUE records.

#include "platform/Errors.h"
#include "platform/text/HexText.h"
#include "platform/text/TextFormat.h"
#include "platform/text/Utf.h"
#include "xls/XlsMessages.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/PartCursor.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

/// 8-bit text: in BIFF8 only "compressed" UTF-16, whose bytes are Latin-1
/// whatever the code page says; before, bytes of the workbook's code page.
void Append8Bit(std::span<const std::uint8_t> bytes, const TDecodeContext& context, std::string& out);
/// `remaining` bytes of characters (UTF-16 when `wide`) from the part
/// cursor's position on, going on into the following parts as the format
/// says ([MS-XLS] 2.5.293): a continuation opens with one byte for the width
/// of the rest, 0 for 8-bit, 1 for UTF-16. Where the parts end first, or a
/// continuation is empty, the text ends there, unless `required`: then
/// kMsgNoContinue. A bad width byte throws kMsgInvalidContinueFlag.
/// `splitInsideCharacter`, when given, is set when a part ends inside a
/// UTF-16 character. Returns UTF-8.
template <typename TFields>
std::string ReadCharacters(TBasicPartCursor<TFields>& parts, std::size_t remaining, bool wide,
                           bool required, bool* splitInsideCharacter = nullptr)
{
  auto* cursor = &parts.Current();
  std::string text;
  if (cursor->Remaining() >= remaining) {
    // The whole text in this part: the common case, converted directly.
    const auto piece = cursor->Bytes("characters", remaining);
    if (wide)
      AppendUtf16LeBytesAsUtf8(piece, text);
    else
      AppendLatin1AsUtf8(piece, text);
    cursor->Value([&] { return text; });
    return text;
  }
  // Pieces are joined as UTF-16 units, so a surrogate pair split between
  // records still makes one character.
  std::u16string units;
  auto appendPiece = [&](std::span<const std::uint8_t> piece) {
    const std::size_t first = units.size();
    if (wide)
      for (std::size_t i = 0; i + 1 < piece.size(); i += 2)
        units.push_back(static_cast<char16_t>(piece[i] | (piece[i + 1] << 8)));
    else
      for (const std::uint8_t b : piece)
        units.push_back(static_cast<char16_t>(b));
    cursor->Value([&] { return Utf16ToUtf8(std::u16string_view(units).substr(first)); });
  };
  while (cursor->Remaining() < remaining) {
    const std::size_t available = cursor->Remaining();
    // A UTF-16 character half in one record and half in the next is not a
    // split the format allows (the half is dropped).
    if (wide && available % 2 != 0 && splitInsideCharacter)
      *splitInsideCharacter = true;
    appendPiece(cursor->Bytes("characters", available));
    remaining -= available;
    if (!parts.NextPart()) {
      if (required)
        throw EBiffLensError(kMsgNoContinue);
      remaining = 0;
      break;
    }
    cursor = &parts.Current();
    if (cursor->Remaining() == 0) {
      // An empty continuation carries nothing on: a text that may end
      // early ends here.
      if (required)
        throw EBiffLensError(kMsgNoContinue);
      remaining = 0;
      break;
    }
    const std::uint8_t flag = cursor->U8("continued options");
    if (flag == 0) {
      if (wide)
        remaining /= 2;
    } else if (flag == 1) {
      if (!wide)
        remaining *= 2;
    } else {
      throw EBiffLensError(FormatMessage(kMsgInvalidContinueFlag, HexByte(flag)));
    }
    cursor->Meaning([&] { return flag == 1 ? std::string("UTF-16") : std::string("8-bit"); });
    wide = flag == 1;
  }
  appendPiece(cursor->Bytes("characters", remaining));
  AppendUtf16AsUtf8(units, text);
  return text;
}
