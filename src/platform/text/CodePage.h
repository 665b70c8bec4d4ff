#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

/// The character a byte stands for in Windows-1252. The five codes that page
/// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their own value, so
/// every byte still names something a font can draw or box.
char16_t Windows1252Char(std::uint8_t byte);

/// Decodes 8-bit text as a workbook's code page declares it. Single-byte code
/// pages decode through a 256-entry table built once per code page;
/// multi-byte ones (932, 936, 949, 950 and others iconv knows) through one
/// converter kept for the load. Unknown code pages fall back to Windows-1252.
class TCodePageDecoder {
public:
  TCodePageDecoder();
  /// A decoder set to `codePage` (as SetCodePage takes it).
  explicit TCodePageDecoder(int codePage);
  ~TCodePageDecoder();
  TCodePageDecoder(const TCodePageDecoder&) = delete;
  TCodePageDecoder& operator=(const TCodePageDecoder&) = delete;

  /// Switches to a code page as the CODEPAGE record gives it (32769 and any
  /// page the system cannot convert mean Windows-1252; 1200 means the 8-bit
  /// text is Latin-1).
  void SetCodePage(int codePage);
  int CodePage() const { return FCodePage; }
  void Append(std::span<const std::uint8_t> bytes, std::string& out);

private:
  void ReleaseConverter();

  int FCodePage = 1252;
  int FRequested = 0;  // the page last asked for, before any fallback
  bool FSingleByte = true;
  // UTF-8 of each byte value, at most 3 bytes, with its length in [3].
  std::array<std::array<char, 4>, 256> FTable{};
  void* FConverter = nullptr;  // iconv_t for multi-byte pages
};
