#include "xls/crypto/Secret.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

void WipeBytes(void* bytes, std::size_t size)
{
  if (bytes != nullptr && size > 0)
    explicit_bzero(bytes, size);
}

TSecret::TSecret() : FData(std::make_unique<char[]>(kCapacity)) {}

TSecret::TSecret(std::string_view text) : TSecret()
{
  Assign(text);
}

TSecret::~TSecret()
{
  Clear();
}

TSecret::TSecret(TSecret&& other) noexcept : FData(std::move(other.FData)), FSize(other.FSize)
{
  // The moved-from secret keeps a buffer of its own, so it stays usable.
  other.FData = std::make_unique<char[]>(kCapacity);
  other.FSize = 0;
}

TSecret& TSecret::operator=(TSecret&& other) noexcept
{
  if (this != &other) {
    Clear();
    std::swap(FData, other.FData);
    std::swap(FSize, other.FSize);
  }
  return *this;
}

void TSecret::Assign(std::string_view text)
{
  Clear();
  std::size_t size = std::min(text.size(), kCapacity);
  // Cut before a UTF-8 continuation byte, never inside a character.
  if (size < text.size())
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
      --size;
  std::memcpy(FData.get(), text.data(), size);
  FSize = size;
}

void TSecret::Clear()
{
  if (FData)
    WipeBytes(FData.get(), kCapacity);
  FSize = 0;
}

TPasswordUnits::TPasswordUnits(std::string_view utf8)
{
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  for (std::size_t i = 0; i < utf8.size() && FCount < kMostUnits;) {
    const unsigned char lead = byte(i);
    std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && length <= utf8.size() - i;
    for (std::size_t k = 1; valid && k < length; ++k) {
      valid = (byte(i + k) & 0xC0) == 0x80;
      code = code << 6 | (byte(i + k) & 0x3F);
    }
    if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      Add(lead);
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      if (FCount + 2 > kMostUnits)
        break;
      code -= 0x10000;
      Add(static_cast<char16_t>(0xD800 + (code >> 10)));
      Add(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      Add(static_cast<char16_t>(code));
    }
    i += length;
    WipeBytes(&code, sizeof code);
  }
}

TPasswordUnits::TPasswordUnits(std::u16string_view units)
{
  for (const char16_t unit : units.substr(0, kMostUnits))
    Add(unit);
}

TPasswordUnits::~TPasswordUnits()
{
  WipeBytes(FUnits.data(), sizeof FUnits);
  WipeBytes(FBytes.data(), sizeof FBytes);
}

void TPasswordUnits::Add(char16_t unit)
{
  FUnits[FCount] = unit;
  FBytes[2 * FCount] = static_cast<std::uint8_t>(unit & 0xFF);
  FBytes[2 * FCount + 1] = static_cast<std::uint8_t>(unit >> 8);
  ++FCount;
}
