#include "xls/decode/ObjectRecords.h"

std::string GuidText(std::span<const std::uint8_t> bytes)
{
  if (bytes.size() < 16)
    return {};
  // The first three groups are little-endian numbers, the last two bytes
  // in order.
  std::string text = "{";
  const auto hex = [&](std::size_t i) { text += HexByte(bytes[i]); };
  for (std::size_t i : {3, 2, 1, 0})
    hex(i);
  text += '-';
  hex(5);
  hex(4);
  text += '-';
  hex(7);
  hex(6);
  text += '-';
  hex(8);
  hex(9);
  text += '-';
  for (std::size_t i = 10; i < 16; ++i)
    hex(i);
  return text + "}";
}

std::string EmbeddingStorageName(std::uint32_t position)
{
  std::string name = "MBD";
  for (int shift = 24; shift >= 0; shift -= 8)
    name += HexByte(static_cast<std::uint8_t>(position >> shift));
  return name;
}
