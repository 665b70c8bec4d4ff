#include "xls/decode/Strings.h"

void Append8Bit(std::span<const std::uint8_t> bytes, const TDecodeContext& context, std::string& out)
{
  if (context.Biff8() || !context.Text)
    AppendLatin1AsUtf8(bytes, out);
  else
    context.Text->Append(bytes, out);
}

std::string BytesToString(std::span<const std::uint8_t> source, std::size_t count, bool force8Bit,
                          const TDecodeContext& context)
{
  std::string text;
  if (!context.Biff8() || force8Bit) {
    const std::size_t start = (!source.empty() && source[0] == 0) ? 1 : 0;
    Append8Bit(Slice(source, start, count), context, text);
  } else {
    AppendUtf16LeBytesAsUtf8(Slice(source, 1, 2 * count), text);
  }
  return text;
}

std::string UnicodeString(std::span<const std::uint8_t> source, std::size_t count)
{
  std::string text;
  if (source.empty())
    return text;
  if (source[0] & 0x01)
    AppendUtf16LeBytesAsUtf8(Slice(source, 1, 2 * count), text);
  else
    AppendLatin1AsUtf8(Slice(source, 1, count), text);
  return text;
}
