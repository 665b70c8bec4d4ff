#include "platform/text/CodePage.h"

#include "platform/text/Utf.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <map>
#include <mutex>
#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 for 0x80..0x9F, where it differs from Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

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

char16_t Windows1252Char(std::uint8_t byte)
{
  return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : static_cast<char16_t>(byte);
}

TCodePageDecoder::TCodePageDecoder() : TCodePageDecoder(1252) {}

TCodePageDecoder::TCodePageDecoder(int codePage)
{
  SetCodePage(codePage);
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

namespace {

using TByteTable = std::array<std::array<char, 4>, 256>;

void BuildTable(const char* iconvName, TByteTable& table)
{
  const iconv_t cd = iconv_open("UTF-8", iconvName);
  for (int b = 0; b < 256; ++b) {
    auto& entry = table[static_cast<std::size_t>(b)];
    std::string utf8;
    if (b < 0x80 || cd == reinterpret_cast<iconv_t>(-1)) {
      if (b < 0x80)
        utf8 = static_cast<char>(b);
      else
        AppendCodePointAsUtf8(kReplacement, utf8);
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
        AppendCodePointAsUtf8(kReplacement, utf8);
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

/// A single-byte page's table and the page it stands for (Windows-1252
/// where the system cannot convert the page asked for).
struct TSingleBytePage {
  int CodePage = 1252;
  TByteTable Table{};
};

TSingleBytePage MakeSingleBytePage(int codePage)
{
  TSingleBytePage page;
  page.CodePage = codePage;
  std::string scratch;
  const iconv_t probe = iconv_open("UTF-8", IconvName(codePage, scratch));
  if (probe == reinterpret_cast<iconv_t>(-1)) {
    page.CodePage = 1252;
    BuildTable("CP1252", page.Table);
    return page;
  }
  iconv_close(probe);
  BuildTable(IconvName(codePage, scratch), page.Table);
  return page;
}

// Pages kept at most: a damaged file may name any number of them.
constexpr std::size_t kMostKeptPages = 64;

/// The page's table, made once for the process: a decoder is made for
/// every record described, and making a table opens iconv twice and asks
/// it 128 times.
TSingleBytePage SingleBytePage(int codePage)
{
  static std::mutex lock;
  static std::map<int, TSingleBytePage> kept;
  {
    const std::lock_guard<std::mutex> hold(lock);
    if (const auto found = kept.find(codePage); found != kept.end())
      return found->second;
  }
  TSingleBytePage page = MakeSingleBytePage(codePage);
  const std::lock_guard<std::mutex> hold(lock);
  if (kept.size() < kMostKeptPages)
    kept.emplace(codePage, page);
  return page;
}

}  // namespace

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
      AppendCodePointAsUtf8(static_cast<char32_t>(b), utf8);
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
  const TSingleBytePage page = SingleBytePage(FCodePage);
  FCodePage = page.CodePage;
  FTable = page.Table;
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
    AppendCodePointAsUtf8(kReplacement, out);
    ++inPtr;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
}
