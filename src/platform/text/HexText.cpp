#include "platform/text/HexText.h"

#include "platform/text/CodePage.h"
#include "platform/text/Utf.h"

char16_t HexColumnChar(std::uint8_t byte)
{
  return byte < 0x20 ? u'.' : Windows1252Char(byte);
}

std::string HexNumber(std::uint64_t value, int digits)
{
  std::string text;
  do {
    text.insert(text.begin(), kHexDigits[value & 0x0F]);
    value >>= 4;
  } while (value != 0 || static_cast<int>(text.size()) < digits);
  return "0x" + text;
}

std::string HexByte(std::uint8_t value)
{
  std::string text;
  AppendHexByte(text, value);
  return text;
}

std::string HexDumpLine(std::size_t address, std::span<const std::uint8_t> bytes)
{
  std::string line(8, '0');
  for (int k = 7; k >= 0; --k, address >>= 4)
    line[static_cast<std::size_t>(k)] = kHexDigits[address & 0x0F];
  line += ": ";
  for (std::size_t i = 0; i < kHexLineBytes; ++i) {
    if (i < bytes.size()) {
      line += kHexDigits[bytes[i] >> 4];
      line += kHexDigits[bytes[i] & 0x0F];
    } else {
      line += "  ";
    }
    line += ' ';
  }
  line += ' ';
  for (const std::uint8_t b : bytes)
    AppendCodePointAsUtf8(HexColumnChar(b), line);
  return line;
}
