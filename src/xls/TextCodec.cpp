#include "xls/TextCodec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(char32_t cp, std::string& out)
{
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

template <typename TUnitAt>
void AppendUtf16(std::size_t count, TUnitAt unitAt, std::string& out)
{
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t u = unitAt(i);
    if (IsHighSurrogate(u) && i + 1 < count && IsLowSurrogate(unitAt(i + 1))) {
      const char32_t low = unitAt(i + 1);
      AppendCodePoint(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      AppendCodePoint(kReplacement, out);
    } else {
      AppendCodePoint(u, out);
    }
  }
}

// iconv names of the code pages that glibc does not know as "CPnnnn".
const char* IconvName(int codePage, std::string& scratch)
{
  switch (codePage) {
  case 367: return "ASCII";
  case 10000: case 32768: return "MACINTOSH";
  case 10006: return "MAC-GREEK";  // not in every glibc; falls back when absent
  case 10007: return "MAC-CYRILLIC";
  case 10029: return "MAC-CENTRALEUROPE";
  case 10079: return "MAC-IS";
  case 10081: return "MAC-TURKISH";
  case 20866: return "KOI8-R";
  case 21866: return "KOI8-U";
  case 28591: return "ISO-8859-1";
  case 28592: return "ISO-8859-2";
  case 28595: return "ISO-8859-5";
  case 936: return "GBK";
  case 950: return "BIG5";
  case 949: return "CP949";
  case 932: return "CP932";
  case 1361: return "JOHAB";
  default:
    scratch = "CP" + std::to_string(codePage);
    return scratch.c_str();
  }
}

bool IsMultiByte(int codePage)
{
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
         codePage == 1361 || codePage == 10001 || codePage == 10002 || codePage == 10003 ||
         codePage == 10008;
}

}  // namespace

void AppendUtf16AsUtf8(std::span<const char16_t> units, std::string& out)
{
  AppendUtf16(units.size(), [&](std::size_t i) { return char32_t(units[i]); }, out);
}

void AppendUtf16LeBytesAsUtf8(std::span<const std::uint8_t> bytes, std::string& out)
{
  AppendUtf16(
      bytes.size() / 2,
      [&](std::size_t i) { return char32_t(bytes[2 * i] | (bytes[2 * i + 1] << 8)); }, out);
}

void AppendLatin1AsUtf8(std::span<const std::uint8_t> bytes, std::string& out)
{
  // Most text is ASCII, which is its own UTF-8: one append, not one per byte.
  const auto firstHigh =
      std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x80; });
  out.append(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::size_t>(firstHigh - bytes.begin()));
  if (firstHigh == bytes.end())
    return;
  out.reserve(out.size() + 2 * static_cast<std::size_t>(bytes.end() - firstHigh));
  for (const std::uint8_t b : bytes.subspan(static_cast<std::size_t>(firstHigh - bytes.begin()))) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
}

TCodePageDecoder::TCodePageDecoder()
{
  SetCodePage(1252);
}

TCodePageDecoder::~TCodePageDecoder()
{
  ReleaseConverter();
}

void TCodePageDecoder::ReleaseConverter()
{
  if (FConverter)
    iconv_close(static_cast<iconv_t>(FConverter));
  FConverter = nullptr;
}

void TCodePageDecoder::BuildTable(const char* iconvName)
{
  const iconv_t cd = iconv_open("UTF-8", iconvName);
  for (int b = 0; b < 256; ++b) {
    auto& entry = FTable[static_cast<std::size_t>(b)];
    std::string utf8;
    if (b < 0x80 || cd == reinterpret_cast<iconv_t>(-1)) {
      if (b < 0x80)
        utf8 = static_cast<char>(b);
      else
        AppendCodePoint(kReplacement, utf8);
    } else {
      char in = static_cast<char>(b);
      char outBuf[8];
      char* inPtr = &in;
      char* outPtr = outBuf;
      std::size_t inLeft = 1;
      std::size_t outLeft = sizeof outBuf;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
          outPtr - outBuf > 3)
        AppendCodePoint(kReplacement, utf8);
      else
        utf8.assign(outBuf, outPtr);
    }
    entry.fill(0);
    for (std::size_t k = 0; k < utf8.size(); ++k)
      entry[k] = utf8[k];
    entry[3] = static_cast<char>(utf8.size());
  }
  if (cd != reinterpret_cast<iconv_t>(-1))
    iconv_close(cd);
}

void TCodePageDecoder::SetCodePage(int codePage)
{
  // 32769 is how BIFF writers spell Windows-1252; 1200 (UTF-16) leaves only
  // compressed 8-bit text, whose bytes are Latin-1.
  if (codePage == 32769)
    codePage = 1252;
  if (codePage == FRequested)
    return;
  FRequested = codePage;
  ReleaseConverter();
  FCodePage = codePage;
  std::string scratch;
  if (codePage == 1200 || codePage == 1201) {
    FSingleByte = true;
    for (int b = 0; b < 256; ++b) {
      std::string utf8;
      AppendCodePoint(static_cast<char32_t>(b), utf8);
      auto& entry = FTable[static_cast<std::size_t>(b)];
      entry.fill(0);
      for (std::size_t k = 0; k < utf8.size(); ++k)
        entry[k] = utf8[k];
      entry[3] = static_cast<char>(utf8.size());
    }
    return;
  }
  if (IsMultiByte(codePage)) {
    const iconv_t cd = iconv_open("UTF-8", IconvName(codePage, scratch));
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      FConverter = cd;
      FSingleByte = false;
      return;
    }
    FCodePage = 1252;
  }
  FSingleByte = true;
  const iconv_t probe = iconv_open("UTF-8", IconvName(FCodePage, scratch));
  if (probe == reinterpret_cast<iconv_t>(-1)) {
    FCodePage = 1252;
    BuildTable("CP1252");
    return;
  }
  iconv_close(probe);
  BuildTable(IconvName(FCodePage, scratch));
}

void TCodePageDecoder::Append(std::span<const std::uint8_t> bytes, std::string& out)
{
  if (FSingleByte) {
    // Runs of ASCII, the same in every single-byte page, are appended whole.
    auto at = bytes.begin();
    while (at != bytes.end()) {
      const auto high = std::find_if(at, bytes.end(), [](std::uint8_t b) { return b >= 0x80; });
      out.append(reinterpret_cast<const char*>(&*at), static_cast<std::size_t>(high - at));
      if (high == bytes.end())
        break;
      const auto& entry = FTable[*high];
      out.append(entry.data(), static_cast<std::size_t>(entry[3]));
      at = std::next(high);
    }
    return;
  }
  const auto cd = static_cast<iconv_t>(FConverter);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  std::size_t inLeft = bytes.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, outPtr);
    if (result != static_cast<std::size_t>(-1))
      continue;
    if (errno == E2BIG)
      continue;
    // An invalid or cut-off sequence: show one replacement and go on with
    // the next byte, so damaged text still shows what it can.
    AppendCodePoint(kReplacement, out);
    ++inPtr;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
}
