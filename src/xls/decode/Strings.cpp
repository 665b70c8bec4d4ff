#include "xls/decode/Strings.h"

void Append8Bit(std::span<const std::uint8_t> bytes, const TDecodeContext& context, std::string& out)
{
  if (context.Biff8() || !context.Text)
    AppendLatin1AsUtf8(bytes, out);
  else
    context.Text->Append(bytes, out);
}

