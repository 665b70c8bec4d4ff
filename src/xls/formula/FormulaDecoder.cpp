#include "xls/formula/FormulaDecoder.h"

#include "xls/ExcelVersion.h"
#include "platform/text/CodePage.h"
#include "platform/text/Utf.h"
#include "xls/formula/FormulaMessages.h"
#include "xls/formula/FormulaText.h"
#include "xls/formula/FunctionTable.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>

namespace {

// Token layouts differ between these generations only.
enum class TBiff : std::uint8_t { bf2, bf3, bf4, bf5, bf8 };

TBiff BiffOf(TExcelVersion version)
{
  if (version >= TExcelVersion::evExcel8)
    return TBiff::bf8;
  if (version >= TExcelVersion::evExcel5)
    return TBiff::bf5;
  if (version >= TExcelVersion::evExcel4)
    return TBiff::bf4;
  if (version >= TExcelVersion::evExcel3)
    return TBiff::bf3;
  return TBiff::bf2;
}

// [MS-XLS] 2.5.198.25 Ptg numbers. Tokens from 0x20 on carry a class in
// bits 5-6 (reference 0x20, value 0x40, array 0x60); they are named here by
// their reference-class number, which bits 0-4 and 0x20 give.
constexpr std::uint8_t kPtgExp = 0x01;
constexpr std::uint8_t kPtgTbl = 0x02;
constexpr std::uint8_t kPtgAdd = 0x03;
constexpr std::uint8_t kPtgNe = 0x0E;
constexpr std::uint8_t kPtgIsect = 0x0F;
constexpr std::uint8_t kPtgUnion = 0x10;
constexpr std::uint8_t kPtgRange = 0x11;
constexpr std::uint8_t kPtgUplus = 0x12;
constexpr std::uint8_t kPtgUminus = 0x13;
constexpr std::uint8_t kPtgPercent = 0x14;
constexpr std::uint8_t kPtgParen = 0x15;
constexpr std::uint8_t kPtgMissArg = 0x16;
constexpr std::uint8_t kPtgStr = 0x17;
constexpr std::uint8_t kPtgExtended = 0x18;
constexpr std::uint8_t kPtgAttr = 0x19;
constexpr std::uint8_t kPtgSheet = 0x1A;
constexpr std::uint8_t kPtgEndSheet = 0x1B;
constexpr std::uint8_t kPtgErr = 0x1C;
constexpr std::uint8_t kPtgBool = 0x1D;
constexpr std::uint8_t kPtgInt = 0x1E;
constexpr std::uint8_t kPtgNum = 0x1F;
constexpr std::uint8_t kPtgArray = 0x20;
constexpr std::uint8_t kPtgFunc = 0x21;
constexpr std::uint8_t kPtgFuncVar = 0x22;
constexpr std::uint8_t kPtgName = 0x23;
constexpr std::uint8_t kPtgRef = 0x24;
constexpr std::uint8_t kPtgArea = 0x25;
constexpr std::uint8_t kPtgMemArea = 0x26;
constexpr std::uint8_t kPtgMemErr = 0x27;
constexpr std::uint8_t kPtgMemNoMem = 0x28;
constexpr std::uint8_t kPtgMemFunc = 0x29;
constexpr std::uint8_t kPtgRefErr = 0x2A;
constexpr std::uint8_t kPtgAreaErr = 0x2B;
constexpr std::uint8_t kPtgRefN = 0x2C;
constexpr std::uint8_t kPtgAreaN = 0x2D;
constexpr std::uint8_t kPtgMemAreaN = 0x2E;
constexpr std::uint8_t kPtgMemNoMemN = 0x2F;
constexpr std::uint8_t kPtgFuncCE = 0x38;
constexpr std::uint8_t kPtgNameX = 0x39;
constexpr std::uint8_t kPtgRef3d = 0x3A;
constexpr std::uint8_t kPtgArea3d = 0x3B;
constexpr std::uint8_t kPtgRefErr3d = 0x3C;
constexpr std::uint8_t kPtgAreaErr3d = 0x3D;
constexpr std::uint8_t kPtgClassMask = 0x60;
constexpr std::uint8_t kPtgBaseMask = 0x1F;

// tAttr option bits ([MS-XLS] 2.5.198.30 onwards).
constexpr std::uint8_t kAttrVolatile = 0x01;
constexpr std::uint8_t kAttrIf = 0x02;
constexpr std::uint8_t kAttrChoose = 0x04;
constexpr std::uint8_t kAttrSkip = 0x08;
constexpr std::uint8_t kAttrSum = 0x10;
constexpr std::uint8_t kAttrAssign = 0x20;  // bitBaxcel: "name=value" in a macro sheet
constexpr std::uint8_t kAttrSpace = 0x40;

// PtgAttrSpaceType: even types are spaces, odd ones line breaks; 2 and 3
// stand before an opening bracket, 4 and 5 before a closing one.
constexpr std::uint8_t kSpaceBeforeClose = 4;
constexpr std::uint8_t kSpaceBeforeCloseBreak = 5;

// tFuncVar: argument-count bit 7 asks for the command's dialog ("SAVE.AS?"),
// function-number bit 15 marks a command of the command table.
constexpr std::uint8_t kFuncVarPrompt = 0x80;
constexpr std::uint8_t kFuncVarCountMask = 0x7F;
constexpr std::uint16_t kFuncVarCommand = 0x8000;

// Reference fields: BIFF8 keeps the relative flags in the column word,
// BIFF2-7 in the row word with a 14-bit row and an 8-bit column.
constexpr std::uint16_t kRowRelative = 0x8000;
constexpr std::uint16_t kColumnRelative = 0x4000;
constexpr std::uint16_t kBiff8ColumnMask = 0x3FFF;
constexpr std::uint16_t kBiff5RowMask = 0x3FFF;
constexpr std::uint32_t kBiff8Rows = 65536;
constexpr std::uint32_t kBiff5Rows = 16384;
constexpr std::uint32_t kColumns = 256;
constexpr std::uint32_t kLastColumn = kColumns - 1;

// Array constant element types ([MS-XLS] 2.5.198.90 SerAr).
constexpr std::uint8_t kSerNil = 0x00;
constexpr std::uint8_t kSerNum = 0x01;
constexpr std::uint8_t kSerStr = 0x02;
constexpr std::uint8_t kSerBool = 0x04;
constexpr std::uint8_t kSerErr = 0x10;

// No formula Excel can show comes near this; a hostile one stops here.
constexpr std::size_t kMaxTextBytes = std::size_t{256} << 10;

// Binding strength, strongest first; atoms (operands, calls, brackets)
// never need brackets. Excel: reference operators, negation, percent,
// power, multiplication, addition, concatenation, comparison.
constexpr std::uint8_t kPrecAtom = 100;
constexpr std::uint8_t kPrecRange = 90;
constexpr std::uint8_t kPrecIsect = 80;
constexpr std::uint8_t kPrecUnion = 70;
constexpr std::uint8_t kPrecPrefix = 60;
constexpr std::uint8_t kPrecPercent = 50;
constexpr std::uint8_t kPrecPower = 40;
constexpr std::uint8_t kPrecMultiply = 30;
constexpr std::uint8_t kPrecAdd = 20;
constexpr std::uint8_t kPrecConcat = 15;
constexpr std::uint8_t kPrecCompare = 10;

struct TBinaryOperator {
  const char* Symbol;
  std::uint8_t Precedence;
};

// tAdd (0x03) to tRange (0x11).
constexpr TBinaryOperator kBinaryOperators[] = {
    {"+", kPrecAdd},       {"-", kPrecAdd},       {"*", kPrecMultiply}, {"/", kPrecMultiply},
    {"^", kPrecPower},     {"&", kPrecConcat},    {"<", kPrecCompare},  {"<=", kPrecCompare},
    {"=", kPrecCompare},   {">=", kPrecCompare},  {">", kPrecCompare},  {"<>", kPrecCompare},
    {" ", kPrecIsect},     {",", kPrecUnion},     {":", kPrecRange},
};

// Token names for the listing: base tokens by number, classified tokens by
// their reference-class number, each with its class letter.
constexpr const char* kBaseTokenNames[0x20] = {
    nullptr,   "tExp",      "tTbl",     "tAdd",    "tSub",     "tMul",     "tDiv",
    "tPower",  "tConcat",   "tLT",      "tLE",     "tEQ",      "tGE",      "tGT",
    "tNE",     "tIsect",    "tList",    "tRange",  "tUplus",   "tUminus",  "tPercent",
    "tParen",  "tMissArg",  "tStr",     "tExtended", "tAttr",  "tSheet",   "tEndSheet",
    "tErr",    "tBool",     "tInt",     "tNum",
};
constexpr const char* kClassTokenNames[0x20] = {
    "tArray",  "tFunc",     "tFuncVar", "tName",   "tRef",     "tArea",    "tMemArea",
    "tMemErr", "tMemNoMem", "tMemFunc", "tRefErr", "tAreaErr", "tRefN",    "tAreaN",
    "tMemAreaN", "tMemNoMemN", nullptr, nullptr,   nullptr,    nullptr,    nullptr,
    nullptr,   nullptr,     nullptr,    "tFuncCE", "tNameX",   "tRef3d",   "tArea3d",
    "tRefErr3d", "tAreaErr3d", nullptr, nullptr,
};

// Every token number's listing name, built once at compile time ("tRefV").
struct TTokenNames {
  std::array<std::array<char, 16>, 128> Text{};
};

constexpr TTokenNames MakeTokenNames()
{
  TTokenNames names;
  for (std::size_t ptg = 0; ptg < 128; ++ptg) {
    const std::size_t cls = (ptg & kPtgClassMask) >> 5;
    const char* base = cls == 0 ? kBaseTokenNames[ptg & kPtgBaseMask]
                                : kClassTokenNames[ptg & kPtgBaseMask];
    if (base == nullptr)
      continue;
    std::size_t n = 0;
    for (; base[n] != '\0'; ++n)
      names.Text[ptg][n] = base[n];
    if (cls != 0)
      names.Text[ptg][n] = "?RVA"[cls];
  }
  return names;
}

constexpr TTokenNames kTokenNames = MakeTokenNames();

std::string_view TokenName(std::uint8_t ptg)
{
  if (ptg >= 128 || kTokenNames.Text[ptg][0] == '\0')
    return "token";
  return std::string_view(kTokenNames.Text[ptg].data());
}

std::string_view AttrName(std::uint8_t flags)
{
  if (flags & kAttrChoose)
    return "tAttrChoose";
  if (flags & kAttrSum)
    return "tAttrSum";
  if (flags & kAttrSpace)
    return (flags & kAttrVolatile) ? "tAttrSpaceVolatile" : "tAttrSpace";
  if (flags & kAttrIf)
    return "tAttrIf";
  if (flags & kAttrSkip)
    return "tAttrSkip";
  if (flags & kAttrAssign)
    return "tAttrAssign";
  if (flags & kAttrVolatile)
    return "tAttrVolatile";
  return "tAttr";
}

// [MS-XLS] 2.5.198.2 BErr.
const char* ErrorText(std::uint8_t code)
{
  switch (code) {
  case 0x00: return "#NULL!";
  case 0x07: return "#DIV/0!";
  case 0x0F: return "#VALUE!";
  case 0x17: return "#REF!";
  case 0x1D: return "#NAME?";
  case 0x24: return "#NUM!";
  case 0x2A: return "#N/A";
  default: return nullptr;
  }
}

std::string Decimal(std::size_t value)
{
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string Hex2(std::uint8_t value)
{
  static constexpr char kHex[] = "0123456789ABCDEF";
  return std::string{kHex[value >> 4], kHex[value & 0x0F]};
}

void AppendDecimal(std::string& out, std::uint32_t value)
{
  char buffer[12];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

/// Reads a token's fields. A read past the end marks the reader failed and
/// yields zeros, so a token handler reads its fields without a check each
/// and the loop checks once after the token.
class TFieldReader {
public:
  TFieldReader(std::span<const std::uint8_t> bytes, std::size_t pos) : FBytes(bytes), FPos(pos) {}
  std::size_t Pos() const { return FPos; }
  std::size_t Remaining() const { return FFailed ? 0 : FBytes.size() - FPos; }
  bool Failed() const { return FFailed; }
  void Fail() { FFailed = true; }
  std::span<const std::uint8_t> Take(std::size_t n)
  {
    if (FFailed || n > FBytes.size() - FPos) {
      FFailed = true;
      return {};
    }
    FPos += n;
    return FBytes.subspan(FPos - n, n);
  }
  void Skip(std::size_t n) { Take(n); }
  std::uint8_t U8()
  {
    const auto b = Take(1);
    return b.empty() ? 0 : b[0];
  }
  std::uint16_t U16()
  {
    const auto b = Take(2);
    return b.empty() ? 0 : static_cast<std::uint16_t>(b[0] | b[1] << 8);
  }
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  double F64()
  {
    const auto b = Take(8);
    if (b.empty())
      return 0;
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
      bits = bits << 8 | b[static_cast<std::size_t>(i)];
    return std::bit_cast<double>(bits);
  }

private:
  std::span<const std::uint8_t> FBytes;
  std::size_t FPos = 0;
  bool FFailed = false;
};

/// An encoded link target: the directory, the file, the sheet.
/// [MS-XLS] 2.5.277 VirtualPath; BIFF2-7 EXTERNSHEET adds "[file]sheet"
/// and the first-character marks for the own book.
struct TLink {
  bool Self = false;
  std::string Directory;  // ends with a path separator when not empty
  std::string File;
  std::string Sheet;
  bool HasSheet = false;
};

// Length in bytes of the UTF-8 sequence `text` starts with.
std::size_t Utf8Length(std::string_view text)
{
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return n < text.size() ? n : text.size();
}

// The code point `text` starts with (a character of a decoded record
// string, so a count stored as a character may take two bytes here).
std::uint32_t CodePoint(std::string_view text)
{
  const std::size_t n = Utf8Length(text);
  const auto lead = static_cast<unsigned char>(text[0]);
  if (n == 1)
    return lead;
  std::uint32_t value = lead & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i)
    value = value << 6 | (static_cast<unsigned char>(text[i]) & 0x3F);
  return value;
}

constexpr char kUrlEncoded = 0x01;      // first character: an encoded path follows
constexpr char kUrlSelf = 0x02;         // first character: this book (a sheet name may follow)
constexpr char kUrlSelfSheet = 0x03;    // first character: a sheet of this book follows
constexpr char kUrlSelfNoSheet = 0x04;  // first character: this book, no sheet
constexpr char kUrlVolume = 0x01;       // in a path: drive letter follows ('@': UNC "\\")
constexpr char kUrlSameVolume = 0x02;   // the root of the book's own drive
constexpr char kUrlDirectory = 0x03;    // a directory separator
constexpr char kUrlParent = 0x04;       // one directory up
constexpr char kUrlLongVolume = 0x05;   // a length, then a volume or URL of that many characters
constexpr char kUrlStartup = 0x06;      // Excel's start-up directory
constexpr char kUrlAltStartup = 0x07;   // the alternative start-up directory
constexpr char kUrlLibrary = 0x08;      // Excel's library directory

// Fills `link` (its strings keep their capacity from call to call).
void DecodeLink(std::string_view encoded, TLink& link)
{
  link.Self = false;
  link.HasSheet = false;
  link.Directory.clear();
  link.File.clear();
  link.Sheet.clear();
  if (encoded.empty())
    return;
  std::size_t i = 0;
  const char mark = encoded[0];
  if (mark == kUrlSelf || mark == kUrlSelfSheet || mark == kUrlSelfNoSheet) {
    link.Self = true;
    link.Sheet.assign(encoded.substr(1));
    link.HasSheet = !link.Sheet.empty();
    return;
  }
  if (mark == kUrlEncoded || mark == '\0')
    i = 1;
  // The path goes to Directory; a "[file]" moves on to File and Sheet.
  std::string& path = link.Directory;
  bool inFile = false;
  for (; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (inFile) {
      if (c == ']') {
        link.Sheet.assign(encoded.substr(i + 1));
        link.HasSheet = true;
        return;
      }
      link.File += c;
      continue;
    }
    switch (c) {
    case kUrlVolume:
      if (i + 1 < encoded.size()) {
        ++i;
        if (encoded[i] == '@') {
          path += "\\\\";
        } else {
          path += encoded[i];
          path += ":\\";
        }
      }
      break;
    case kUrlSameVolume:
    case kUrlDirectory:
      path += '\\';
      break;
    case kUrlParent:
      path += "..\\";
      break;
    case kUrlLongVolume:
      if (i + 1 < encoded.size()) {
        std::size_t count = CodePoint(encoded.substr(i + 1));
        i += Utf8Length(encoded.substr(i + 1));
        while (count-- > 0 && i + 1 < encoded.size()) {
          const std::size_t n = Utf8Length(encoded.substr(i + 1));
          path.append(encoded.substr(i + 1, n));
          i += n;
        }
      }
      break;
    case kUrlStartup:
    case kUrlAltStartup:
    case kUrlLibrary:
      break;
    case '[':
      inFile = true;
      break;
    default:
      path += c;
    }
  }
  if (inFile)
    return;
  // No brackets: the file is the path's last part.
  const std::size_t slash = path.find_last_of("\\/");
  const std::size_t fileBegin = slash == std::string::npos ? 0 : slash + 1;
  link.File.assign(path, fileBegin);
  path.resize(fileBegin);
}

bool NeedsQuotes(std::string_view text)
{
  return !text.empty() && SheetNameNeedsQuotes(text);
}

// "dir\[file]sheet" (or "dir\[file]first:last"), between apostrophes as
// a whole when any part needs them (a path always does); without a sheet
// part the file stands alone.
void AppendBookPrefix(std::string& out, const TLink& link, std::string_view first,
                      std::string_view last, bool hasSheets)
{
  const bool range = hasSheets && last != first;
  const bool quote = !link.Directory.empty() || NeedsQuotes(link.File) ||
                     (hasSheets && SheetNameNeedsQuotes(first)) ||
                     (range && SheetNameNeedsQuotes(last));
  if (quote)
    out += '\'';
  auto add = [&](std::string_view text) {
    for (const char c : text) {
      if (quote && c == '\'')
        out += '\'';
      out += c;
    }
  };
  add(link.Directory);
  if (hasSheets) {
    out += '[';
    add(link.File);
    out += ']';
    add(first);
    if (range) {
      out += ':';
      add(last);
    }
  } else {
    add(link.File);
  }
  if (quote)
    out += '\'';
}

// A DDE link's "application|topic": the path is "application\x03topic".
void AppendDdePrefix(std::string& out, std::string_view path)
{
  const std::size_t separator = path.find(kUrlDirectory);
  const std::string_view application = path.substr(0, separator);
  out += application;
  out += '|';
  if (separator != std::string_view::npos)
    AppendSheetName(out, path.substr(separator + 1));
}

enum class TNodeKind : std::uint8_t { nkText, nkBinary, nkPrefix, nkPostfix, nkParen, nkFunction };

// One operand or operator of the expression tree pass 1 builds from the
// tokens. Operand texts lie in the scratch text, children are node numbers.
struct TNode {
  TNodeKind Kind = TNodeKind::nkText;
  std::uint8_t Precedence = kPrecAtom;
  bool UserDefined = false;  // a call whose first argument is the function's name
  bool Prompt = false;       // a command with its dialog: "SAVE.AS?()"
  const char* Symbol = nullptr;
  std::uint32_t TextBegin = 0;  // nkText
  std::uint32_t TextSize = 0;
  std::uint32_t First = 0;   // left or only child; a call's first argument in FArgs
  std::uint32_t Second = 0;  // right child; a call's argument count
  std::uint32_t SpaceBegin = 0;  // the tAttrSpace runs before this token, in FSpaces
  std::uint32_t SpaceCount = 0;
};

struct TSpaceRun {
  std::uint8_t Type = 0;
  std::uint8_t Count = 0;
};

enum class TSpacePart : std::uint8_t { spAll, spOpen, spClose };
enum class TTaskKind : std::uint8_t {
  tkVisit,       // write a node
  tkWrapVisit,   // write a node in brackets
  tkSymbol,      // write a fixed text
  tkSpaces,      // write a node's spaces (and a text node's text)
  tkCallee,      // write a user-defined call's name
  tkAssignName,  // write the name of a macro sheet assignment
};

// Pass 2 writes the tree with an explicit stack, so a deep formula cannot
// exhaust the call stack.
struct TTask {
  TTaskKind Kind = TTaskKind::tkVisit;
  TSpacePart Part = TSpacePart::spAll;
  std::uint32_t Node = 0;
  const char* Symbol = nullptr;
};

constexpr std::string_view kFutureFunctionPrefix = "_xlfn.";

}  // namespace

std::string_view BuiltInNameText(std::uint8_t code)
{
  // [MS-XLS] 2.4.150 Lbl: the built-in names by their one-character code.
  static constexpr std::string_view kNames[] = {
      "Consolidate_Area", "Auto_Open",     "Auto_Close",      "Extract",     "Database",
      "Criteria",         "Print_Area",    "Print_Titles",    "Recorder",    "Data_Form",
      "Auto_Activate",    "Auto_Deactivate", "Sheet_Title",   "_FilterDatabase",
  };
  return code < std::size(kNames) ? kNames[code] : std::string_view();
}

class TFormulaDecoder::TState {
public:
  explicit TState(const TFormulaContext& context) : FContext(context) {}

  TFormulaResult Decode(std::span<const std::uint8_t> tokens, std::span<const std::uint8_t> extra,
                        TFormulaCell cell, TFormulaKind kind, std::vector<TFormulaToken>* listing);
  TFormulaResult DecodeCell(std::span<const std::uint8_t> tokens,
                            std::span<const std::uint8_t> extra, TFormulaCell cell,
                            const TSharedFormulaIndex& masters,
                            std::vector<TFormulaToken>* listing);

private:
  // Pass 1: tokens to nodes.
  bool Token(std::uint8_t ptg, TFieldReader& r);
  bool ClassToken(std::uint8_t ptg, std::uint8_t base, TFieldReader& r);
  bool Attr(TFieldReader& r);
  bool String(TFieldReader& r);
  bool Function(std::uint16_t index, std::size_t count, bool command, bool prompt);
  bool Reference(std::uint8_t base, TFieldReader& r);
  bool Name(TFieldReader& r);
  bool NameX(TFieldReader& r);
  bool ArrayConstant();
  bool MemAreaData();
  bool SheetPrefix8(std::uint16_t ixti);
  bool SheetPrefix5(std::int16_t ixals, std::int16_t first, std::int16_t last);
  bool LinkPrefix(const TFormulaExternSheet& entry);
  void SheetRange(std::string_view first, std::string_view last);
  struct TResolved {
    std::uint32_t Row = 0;
    std::uint32_t Column = 0;
    bool RowRelative = false;
    bool ColumnRelative = false;
  };
  TResolved Resolve(std::uint16_t rowField, std::uint16_t columnField, bool offsets) const;
  std::uint32_t RowCount() const { return FBiff == TBiff::bf8 ? kBiff8Rows : kBiff5Rows; }
  void AppendArea(std::uint16_t row1, std::uint16_t row2, std::uint16_t col1, std::uint16_t col2,
                  bool offsets);
  void AppendCell(std::uint16_t rowField, std::uint16_t columnField, bool offsets);
  void AppendNameText(const TFormulaName& name);
  bool AppendLinkName(const TFormulaExternSheet& entry, std::uint16_t index);
  void Append8Bit(std::span<const std::uint8_t> bytes, std::string& out);

  std::uint32_t BeginText() const { return static_cast<std::uint32_t>(FScratch.size()); }
  void PushText(std::uint32_t begin);
  std::uint32_t NewNode(TNodeKind kind, std::uint8_t precedence);
  bool Pop(std::size_t count);
  void Note(std::string_view text);

  bool Fail(const char* message, std::initializer_list<std::string_view> args);
  bool Truncated();
  bool FailHere(const char* message);
  bool FailHere(const char* message, std::string_view first);

  // Pass 2: the tree to text.
  bool Render(std::string& out);
  void PushVisit(std::uint32_t node, bool wrap);
  void PushNodeTasks(std::uint32_t node);
  void EmitSpaces(std::string& out, const TNode& node, TSpacePart part) const;
  std::string_view NodeText(const TNode& node) const
  {
    return std::string_view(FScratch).substr(node.TextBegin, node.TextSize);
  }

  const TFormulaContext& FContext;
  TBiff FBiff = TBiff::bf8;

  // One call's input.
  std::span<const std::uint8_t> FTokens;
  std::span<const std::uint8_t> FExtra;
  std::size_t FExtraPos = 0;
  TFormulaCell FCell;
  TFormulaKind FKind = TFormulaKind::fkCell;
  std::vector<TFormulaToken>* FListing = nullptr;

  // The token being read.
  std::uint8_t FPtg = 0;
  std::size_t FTokenStart = 0;
  std::string_view FTokenName;
  std::string FNote;  // the listing's operand text of a token that makes no operand
  bool FMadeOperand = false;

  // BIFF2-4: the EXTERNSHEET a tSheet token selected for the tokens up to
  // tEndSheet (one-based; 0 for none).
  std::int32_t FSheetRef = 0;
  bool FAssignment = false;
  std::string FError;

  // Scratch reused by every call.
  std::vector<TNode> FNodes;
  std::vector<std::uint32_t> FStack;
  std::vector<std::uint32_t> FArgs;
  std::vector<TSpaceRun> FSpaces;
  std::uint32_t FPendingSpaces = 0;  // FSpaces from here on wait for the next node
  std::string FScratch;
  std::string FText8;  // one decoded string constant
  TLink FLink;         // one decoded link target
  std::vector<TTask> FTasks;
};

bool TFormulaDecoder::TState::Fail(const char* message,
                                   std::initializer_list<std::string_view> args)
{
  FError = FormatFormulaMessage(message, args);
  return false;
}

bool TFormulaDecoder::TState::FailHere(const char* message)
{
  return Fail(message, {FTokenName, Decimal(FTokenStart)});
}

bool TFormulaDecoder::TState::FailHere(const char* message, std::string_view first)
{
  return Fail(message, {first, Decimal(FTokenStart)});
}

bool TFormulaDecoder::TState::Truncated()
{
  return FailHere(kMsgFormulaTruncated);
}

void TFormulaDecoder::TState::Note(std::string_view text)
{
  if (FListing != nullptr)
    FNote.assign(text);
}

std::uint32_t TFormulaDecoder::TState::NewNode(TNodeKind kind, std::uint8_t precedence)
{
  TNode node;
  node.Kind = kind;
  node.Precedence = precedence;
  node.SpaceBegin = FPendingSpaces;
  node.SpaceCount = static_cast<std::uint32_t>(FSpaces.size()) - FPendingSpaces;
  FPendingSpaces = static_cast<std::uint32_t>(FSpaces.size());
  FNodes.push_back(node);
  return static_cast<std::uint32_t>(FNodes.size() - 1);
}

void TFormulaDecoder::TState::PushText(std::uint32_t begin)
{
  const std::uint32_t n = NewNode(TNodeKind::nkText, kPrecAtom);
  FNodes[n].TextBegin = begin;
  FNodes[n].TextSize = static_cast<std::uint32_t>(FScratch.size()) - begin;
  FStack.push_back(n);
  FMadeOperand = true;
}

bool TFormulaDecoder::TState::Pop(std::size_t count)
{
  if (count > FStack.size())
    return FailHere(kMsgFormulaMissingOperand);
  return true;
}

void TFormulaDecoder::TState::Append8Bit(std::span<const std::uint8_t> bytes, std::string& out)
{
  if (FContext.CodePage != nullptr)
    FContext.CodePage->Append(bytes, out);
  else
    AppendLatin1AsUtf8(bytes, out);
}

// Rgce: tokens in reverse Polish order. Each operand token pushes a node,
// each operator pops its operands and pushes itself; tAttrSpace runs wait
// for the next node, control tokens push nothing. A valid formula leaves
// one node, which pass 2 writes out.
TFormulaResult TFormulaDecoder::TState::Decode(std::span<const std::uint8_t> tokens,
                                               std::span<const std::uint8_t> extra,
                                               TFormulaCell cell, TFormulaKind kind,
                                               std::vector<TFormulaToken>* listing)
{
  FBiff = BiffOf(FContext.Version);
  FTokens = tokens;
  FExtra = extra;
  FExtraPos = 0;
  FCell = cell;
  FKind = kind;
  FListing = listing;
  FSheetRef = 0;
  FAssignment = false;
  FError.clear();
  FNodes.clear();
  FStack.clear();
  FArgs.clear();
  FSpaces.clear();
  FPendingSpaces = 0;
  FScratch.clear();
  if (listing != nullptr)
    listing->clear();

  TFormulaResult result;
  std::size_t pos = 0;
  while (pos < tokens.size()) {
    FTokenStart = pos;
    FPtg = tokens[pos];
    FTokenName = TokenName(FPtg);
    FMadeOperand = false;
    FNote.clear();
    // The token's entry goes first, its constant data (listed by the token
    // handler) after it.
    std::size_t entry = 0;
    if (listing != nullptr) {
      entry = listing->size();
      listing->push_back({pos, 0, FTokenName, {}});
    }
    TFieldReader r(tokens, pos + 1);
    const bool ok = Token(FPtg, r);
    if (ok && r.Failed())
      Truncated();
    const bool read = ok && !r.Failed();
    if (listing != nullptr) {
      TFormulaToken& listed = (*listing)[entry];
      listed.Size = (read ? r.Pos() : tokens.size()) - pos;
      listed.Name = FTokenName;
      listed.Operand = FMadeOperand ? std::string(NodeText(FNodes.back())) : FNote;
    }
    if (!read) {
      result.Error = FError;
      return result;
    }
    if (FScratch.size() > kMaxTextBytes) {
      Fail(kMsgFormulaTooLong, {Decimal(kMaxTextBytes)});
      result.Error = FError;
      return result;
    }
    pos = r.Pos();
  }
  if (tokens.empty())
    return result;
  if (FStack.size() != 1) {
    Fail(kMsgFormulaNotOneExpression, {Decimal(FStack.size())});
    result.Error = FError;
    return result;
  }
  if (!Render(result.Text)) {
    result.Text.clear();
    result.Error = FError;
  }
  return result;
}

bool TFormulaDecoder::TState::Token(std::uint8_t ptg, TFieldReader& r)
{
  if (ptg & 0x80)
    return Fail(kMsgFormulaUnknownToken, {Hex2(ptg), Decimal(FTokenStart)});
  if (ptg & kPtgClassMask)
    return ClassToken(ptg, static_cast<std::uint8_t>((ptg & kPtgBaseMask) | kPtgArray), r);

  if (ptg >= kPtgAdd && ptg <= kPtgRange) {
    if (!Pop(2))
      return false;
    const TBinaryOperator& op = kBinaryOperators[ptg - kPtgAdd];
    const std::uint32_t n = NewNode(TNodeKind::nkBinary, op.Precedence);
    FNodes[n].Symbol = op.Symbol;
    FNodes[n].Second = FStack.back();
    FStack.pop_back();
    FNodes[n].First = FStack.back();
    FStack.back() = n;
    return true;
  }
  switch (ptg) {
  case kPtgExp:
  case kPtgTbl: {
    const std::uint16_t row = r.U16();
    const std::uint16_t column = FBiff == TBiff::bf2 ? r.U8() : r.U16();
    if (r.Failed())
      return Truncated();
    return Fail(kMsgFormulaNeedsMaster, {FTokenName, Decimal(FTokenStart), CellName(row, column)});
  }
  case kPtgUplus:
  case kPtgUminus:
  case kPtgPercent: {
    if (!Pop(1))
      return false;
    const bool percent = ptg == kPtgPercent;
    const std::uint32_t n =
        NewNode(percent ? TNodeKind::nkPostfix : TNodeKind::nkPrefix,
                percent ? kPrecPercent : kPrecPrefix);
    FNodes[n].Symbol = percent ? "%" : ptg == kPtgUplus ? "+" : "-";
    FNodes[n].First = FStack.back();
    FStack.back() = n;
    return true;
  }
  case kPtgParen: {
    if (!Pop(1))
      return false;
    const std::uint32_t n = NewNode(TNodeKind::nkParen, kPrecAtom);
    FNodes[n].First = FStack.back();
    FStack.back() = n;
    return true;
  }
  case kPtgMissArg:
    PushText(BeginText());
    return true;
  case kPtgStr:
    return String(r);
  case kPtgAttr:
    return Attr(r);
  case kPtgSheet:
  case kPtgEndSheet: {
    // BIFF2-4 external references: tSheet names the EXTERNSHEET for the
    // tokens up to tEndSheet.
    if (FBiff >= TBiff::bf5)
      break;
    if (ptg == kPtgEndSheet) {
      r.Skip(FBiff == TBiff::bf2 ? 3 : 4);
      FSheetRef = 0;
      return true;
    }
    r.Skip(FBiff == TBiff::bf2 ? 4 : 6);
    FSheetRef = r.I16();
    r.Skip(FBiff == TBiff::bf2 ? 1 : 2);
    if (r.Failed())
      return true;
    if (FSheetRef < 1 || static_cast<std::size_t>(FSheetRef) > FContext.ExternSheets.size())
      return FailHere(kMsgFormulaBadExternSheet, Decimal(static_cast<std::size_t>(
                                                     FSheetRef < 0 ? 0 : FSheetRef)));
    if (FListing != nullptr)
      Note(FContext.ExternSheets[static_cast<std::size_t>(FSheetRef - 1)].Encoded);
    return true;
  }
  case kPtgErr: {
    const std::uint8_t code = r.U8();
    if (r.Failed())
      return true;
    const char* text = ErrorText(code);
    if (text == nullptr)
      return FailHere(kMsgFormulaUnknownError, Hex2(code));
    const std::uint32_t begin = BeginText();
    FScratch += text;
    PushText(begin);
    return true;
  }
  case kPtgBool: {
    const std::uint8_t value = r.U8();
    const std::uint32_t begin = BeginText();
    FScratch += value != 0 ? "TRUE" : "FALSE";
    PushText(begin);
    return true;
  }
  case kPtgInt: {
    const std::uint16_t value = r.U16();
    const std::uint32_t begin = BeginText();
    AppendDecimal(FScratch, value);
    PushText(begin);
    return true;
  }
  case kPtgNum: {
    const double value = r.F64();
    const std::uint32_t begin = BeginText();
    AppendFormulaNumber(FScratch, value);
    PushText(begin);
    return true;
  }
  case kPtgExtended:
    // BIFF8 PtgElf* (natural-language labels of Excel 97) and PtgSxName.
    if (FBiff == TBiff::bf8)
      return FailHere(kMsgFormulaUnsupportedToken);
    break;
  default:
    break;
  }
  return Fail(kMsgFormulaUnknownToken, {Hex2(ptg), Decimal(FTokenStart)});
}

bool TFormulaDecoder::TState::ClassToken(std::uint8_t ptg, std::uint8_t base, TFieldReader& r)
{
  const bool oneByteFunctions = FBiff <= TBiff::bf3;
  switch (base) {
  case kPtgArray:
    r.Skip(FBiff == TBiff::bf2 ? 6 : 7);
    if (r.Failed())
      return true;
    return ArrayConstant();
  case kPtgFunc: {
    const std::uint16_t index = oneByteFunctions ? r.U8() : r.U16();
    if (r.Failed())
      return true;
    const TFunctionInfo* info = FindSheetFunction(index);
    if (info == nullptr || index == kUserDefinedFunction)
      return FailHere(kMsgFormulaUnknownFunction, Decimal(index));
    if (info->FixedArguments < 0)
      return FailHere(kMsgFormulaNoFixedCount, info->Name);
    return Function(index, static_cast<std::size_t>(info->FixedArguments), false, false);
  }
  case kPtgFuncVar: {
    const std::uint8_t count = r.U8();
    const std::uint16_t index = oneByteFunctions ? r.U8() : r.U16();
    if (r.Failed())
      return true;
    const bool command = (index & kFuncVarCommand) != 0 && !oneByteFunctions;
    return Function(command ? static_cast<std::uint16_t>(index & ~kFuncVarCommand) : index,
                    count & kFuncVarCountMask, command, command && (count & kFuncVarPrompt));
  }
  case kPtgFuncCE: {
    if (!oneByteFunctions)
      break;
    const std::uint8_t count = r.U8();
    const std::uint8_t index = r.U8();
    if (r.Failed())
      return true;
    return Function(index, count & kFuncVarCountMask, true, (count & kFuncVarPrompt) != 0);
  }
  case kPtgName:
    return Name(r);
  case kPtgRef:
  case kPtgArea:
  case kPtgRefErr:
  case kPtgAreaErr:
  case kPtgRefN:
  case kPtgAreaN:
    return Reference(base, r);
  case kPtgRef3d:
  case kPtgArea3d:
  case kPtgRefErr3d:
  case kPtgAreaErr3d:
    if (FBiff < TBiff::bf5)
      break;
    return Reference(base, r);
  case kPtgNameX:
    if (FBiff < TBiff::bf5)
      break;
    return NameX(r);
  case kPtgMemArea:
  case kPtgMemErr:
  case kPtgMemNoMem: {
    // A reference subexpression of cce bytes follows; its tokens are read
    // as any others, the Mem token only marks them.
    r.Skip(FBiff == TBiff::bf2 ? 3 : 4);
    const std::size_t cce = FBiff == TBiff::bf2 ? r.U8() : r.U16();
    if (r.Failed())
      return true;
    if (FListing != nullptr)
      Note("subexpression of " + Decimal(cce) + " bytes");
    return base == kPtgMemArea ? MemAreaData() : true;
  }
  case kPtgMemFunc:
  case kPtgMemAreaN:
  case kPtgMemNoMemN: {
    const std::size_t cce = FBiff == TBiff::bf2 ? r.U8() : r.U16();
    if (r.Failed())
      return true;
    if (FListing != nullptr)
      Note("subexpression of " + Decimal(cce) + " bytes");
    return true;
  }
  default:
    break;
  }
  return Fail(kMsgFormulaUnknownToken, {Hex2(ptg), Decimal(FTokenStart)});
}

// tAttr: option flags, then one data field (one byte in BIFF2, two after);
// tAttrChoose adds a jump table of (data + 1) such fields.
bool TFormulaDecoder::TState::Attr(TFieldReader& r)
{
  const std::uint8_t flags = r.U8();
  const bool biff2 = FBiff == TBiff::bf2;
  const std::uint16_t data = biff2 ? r.U8() : r.U16();
  FTokenName = AttrName(flags);
  if (r.Failed())
    return true;
  if (flags & kAttrChoose) {
    const std::size_t entries = std::size_t{data} + 1;
    const std::size_t entrySize = biff2 ? 1 : 2;
    if (entries > r.Remaining() / entrySize)
      return Truncated();
    r.Skip(entries * entrySize);
    if (FListing != nullptr)
      Note(Decimal(data) + " choices");
    return true;
  }
  if (flags & kAttrSum) {
    if (!Pop(1))
      return false;
    const std::uint32_t n = NewNode(TNodeKind::nkFunction, kPrecAtom);
    FNodes[n].Symbol = "SUM";
    FNodes[n].First = static_cast<std::uint32_t>(FArgs.size());
    FNodes[n].Second = 1;
    FArgs.push_back(FStack.back());
    FStack.back() = n;
    Note("SUM, 1 argument");
    return true;
  }
  if (flags & kAttrSpace) {
    // BIFF2 has no space tokens to speak of: its one data byte holds no type.
    if (biff2)
      return true;
    const TSpaceRun run{static_cast<std::uint8_t>(data & 0xFF),
                        static_cast<std::uint8_t>(data >> 8)};
    FSpaces.push_back(run);
    if (FListing != nullptr)
      Note(Decimal(run.Count) + ((run.Type & 1) != 0 ? " line breaks" : " spaces") +
           (run.Type == 2 || run.Type == 3   ? " before (" :
            run.Type == 4 || run.Type == 5   ? " before )" : ""));
    return true;
  }
  if (flags & kAttrAssign)
    FAssignment = true;
  if ((flags & (kAttrIf | kAttrSkip)) && FListing != nullptr)
    Note("jump " + Decimal(data));
  return true;
}

// tStr: an 8-bit length, then the characters; BIFF8 puts an option byte
// before them whose bit 0 makes them UTF-16.
bool TFormulaDecoder::TState::String(TFieldReader& r)
{
  const std::size_t count = r.U8();
  FText8.clear();
  if (FBiff == TBiff::bf8) {
    const bool wide = (r.U8() & 0x01) != 0;
    const auto bytes = r.Take(wide ? count * 2 : count);
    if (wide)
      AppendUtf16LeBytesAsUtf8(bytes, FText8);
    else
      AppendLatin1AsUtf8(bytes, FText8);
  } else {
    Append8Bit(r.Take(count), FText8);
  }
  if (r.Failed())
    return true;
  const std::uint32_t begin = BeginText();
  AppendQuotedText(FScratch, FText8);
  PushText(begin);
  return true;
}

bool TFormulaDecoder::TState::Function(std::uint16_t index, std::size_t count, bool command,
                                       bool prompt)
{
  const TFunctionInfo* info = command ? FindMacroCommand(index) : FindSheetFunction(index);
  if (info == nullptr)
    return FailHere(command ? kMsgFormulaUnknownCommand : kMsgFormulaUnknownFunction,
                    Decimal(index));
  const bool userDefined = !command && index == kUserDefinedFunction;
  if (userDefined && count == 0)
    return FailHere(kMsgFormulaMissingOperand);
  if (!Pop(count))
    return false;
  const std::uint32_t n = NewNode(TNodeKind::nkFunction, kPrecAtom);
  TNode& node = FNodes[n];
  node.Symbol = info->Name;
  node.UserDefined = userDefined;
  node.Prompt = prompt;
  node.First = static_cast<std::uint32_t>(FArgs.size());
  node.Second = static_cast<std::uint32_t>(count);
  FArgs.insert(FArgs.end(), FStack.end() - static_cast<std::ptrdiff_t>(count), FStack.end());
  FStack.resize(FStack.size() - count);
  FStack.push_back(n);
  if (FListing != nullptr) {
    std::string note = userDefined ? "user-defined" : info->Name;
    if (prompt)
      note += '?';
    note += ", " + Decimal(userDefined ? count - 1 : count) +
            ((userDefined ? count - 1 : count) == 1 ? " argument" : " arguments");
    Note(note);
  }
  return true;
}

// One reference field pair resolved. `offsets`: the relative parts are
// offsets from the cell (tRefN, and every reference of a NAME), added to it
// and wrapped around the sheet; otherwise they are the cell itself and the
// flags only decide the "$".
TFormulaDecoder::TState::TResolved TFormulaDecoder::TState::Resolve(std::uint16_t rowField,
                                                                    std::uint16_t columnField,
                                                                    bool offsets) const
{
  const bool biff8 = FBiff == TBiff::bf8;
  const std::uint16_t flags = biff8 ? columnField : rowField;
  TResolved cell;
  cell.RowRelative = (flags & kRowRelative) != 0;
  cell.ColumnRelative = (flags & kColumnRelative) != 0;
  cell.Row = biff8 ? rowField : (rowField & kBiff5RowMask);
  cell.Column = biff8 ? (columnField & kBiff8ColumnMask) : (columnField & 0xFF);
  if (offsets && cell.RowRelative) {
    // BIFF8 rows are 16-bit offsets; BIFF2-7 keep 14 bits, the sign in bit 13.
    const std::int32_t offset = biff8 ? static_cast<std::int16_t>(rowField)
                                      : (static_cast<std::int32_t>(cell.Row ^ 0x2000) - 0x2000);
    cell.Row = static_cast<std::uint32_t>(static_cast<std::int32_t>(FCell.Row) + offset) &
               (RowCount() - 1);
  }
  if (offsets && cell.ColumnRelative) {
    const auto offset = static_cast<std::int8_t>(columnField & 0xFF);
    cell.Column = static_cast<std::uint32_t>(static_cast<std::int32_t>(FCell.Column) + offset) &
                  kLastColumn;
  }
  return cell;
}

void TFormulaDecoder::TState::AppendCell(std::uint16_t rowField, std::uint16_t columnField,
                                         bool offsets)
{
  const TResolved cell = Resolve(rowField, columnField, offsets);
  AppendCellReference(FScratch, cell.Row, cell.Column, cell.RowRelative, cell.ColumnRelative);
}

// An area over every row reads "A:B", one over every column "1:3", as
// Excel writes them; the parts it leaves out must be absolute (Excel stores
// them so: they cannot move), else the area keeps its cells ("A1:A65536").
void TFormulaDecoder::TState::AppendArea(std::uint16_t row1, std::uint16_t row2,
                                         std::uint16_t col1, std::uint16_t col2, bool offsets)
{
  const TResolved first = Resolve(row1, col1, offsets);
  const TResolved last = Resolve(row2, col2, offsets);
  if (first.Row == 0 && last.Row == RowCount() - 1 && !first.RowRelative &&
      !last.RowRelative) {
    for (const TResolved* cell : {&first, &last}) {
      if (cell == &last)
        FScratch += ':';
      if (!cell->ColumnRelative)
        FScratch += '$';
      AppendColumnName(FScratch, cell->Column);
    }
    return;
  }
  if (first.Column == 0 && last.Column == kLastColumn && !first.ColumnRelative &&
      !last.ColumnRelative) {
    for (const TResolved* cell : {&first, &last}) {
      if (cell == &last)
        FScratch += ':';
      if (!cell->RowRelative)
        FScratch += '$';
      AppendDecimal(FScratch, cell->Row + 1);
    }
    return;
  }
  AppendCellReference(FScratch, first.Row, first.Column, first.RowRelative, first.ColumnRelative);
  FScratch += ':';
  AppendCellReference(FScratch, last.Row, last.Column, last.RowRelative, last.ColumnRelative);
}

void TFormulaDecoder::TState::SheetRange(std::string_view first, std::string_view last)
{
  if (first == last) {
    AppendSheetName(FScratch, first);
    return;
  }
  // Excel quotes a range of sheets as a whole: 'Sheet 1:Sheet3'!A1.
  const bool quote = SheetNameNeedsQuotes(first) || SheetNameNeedsQuotes(last);
  if (quote)
    FScratch += '\'';
  for (const std::string_view part : {first, std::string_view(":"), last})
    for (const char c : part) {
      if (quote && c == '\'')
        FScratch += '\'';
      FScratch += c;
    }
  if (quote)
    FScratch += '\'';
}

// The sheet part of a BIFF8 3D reference, without the "!": XTI -> SUPBOOK.
// A deleted sheet reads "#REF!" as Excel writes it ("#REF!A1").
bool TFormulaDecoder::TState::SheetPrefix8(std::uint16_t ixti)
{
  if (ixti >= FContext.Xti.size() || FContext.Xti[ixti].SupBook >= FContext.SupBooks.size())
    return FailHere(kMsgFormulaBadExternSheet, Decimal(ixti));
  const TFormulaXti& xti = FContext.Xti[ixti];
  const TFormulaSupBook& book = FContext.SupBooks[xti.SupBook];
  switch (book.Kind) {
  case TSupBookKind::sbSelf: {
    const auto& names = FContext.SheetNames;
    if (xti.FirstSheet >= names.size() || xti.LastSheet >= names.size()) {
      FScratch += "#REF";
      return true;
    }
    SheetRange(names[xti.FirstSheet], names[std::max(xti.FirstSheet, xti.LastSheet)]);
    return true;
  }
  case TSupBookKind::sbExternal: {
    DecodeLink(book.Path, FLink);
    const auto& names = book.SheetNames;
    if (xti.FirstSheet == kXtiWorkbookLevel) {
      AppendBookPrefix(FScratch, FLink, {}, {}, false);
      return true;
    }
    if (xti.FirstSheet >= names.size() || xti.LastSheet >= names.size()) {
      FScratch += "#REF";
      return true;
    }
    AppendBookPrefix(FScratch, FLink, names[xti.FirstSheet], names[xti.LastSheet], true);
    return true;
  }
  case TSupBookKind::sbOther:
    AppendDdePrefix(FScratch, book.Path);
    return true;
  case TSupBookKind::sbAddIn:
    break;
  }
  FScratch += "#REF";
  return true;
}

// The sheet part of a BIFF5-7 3D reference: a negative EXTERNSHEET number
// is this book, whose sheets the token numbers itself (0xFFFF: deleted);
// a positive one is an entry of the link table naming book and sheet.
bool TFormulaDecoder::TState::SheetPrefix5(std::int16_t ixals, std::int16_t first,
                                           std::int16_t last)
{
  if (ixals < 0) {
    const auto& names = FContext.SheetNames;
    if (first < 0 || last < 0 || static_cast<std::size_t>(first) >= names.size() ||
        static_cast<std::size_t>(last) >= names.size()) {
      FScratch += "#REF";
      return true;
    }
    SheetRange(names[static_cast<std::size_t>(first)],
               names[static_cast<std::size_t>(std::max(first, last))]);
    return true;
  }
  if (ixals == 0 || static_cast<std::size_t>(ixals) > FContext.ExternSheets.size())
    return FailHere(kMsgFormulaBadExternSheet, Decimal(static_cast<std::size_t>(ixals)));
  return LinkPrefix(FContext.ExternSheets[static_cast<std::size_t>(ixals - 1)]);
}

bool TFormulaDecoder::TState::LinkPrefix(const TFormulaExternSheet& entry)
{
  DecodeLink(entry.Encoded, FLink);
  if (FLink.Self) {
    if (FLink.HasSheet)
      AppendSheetName(FScratch, FLink.Sheet);
    else
      FScratch += "#REF";
    return true;
  }
  AppendBookPrefix(FScratch, FLink, FLink.Sheet, FLink.Sheet, FLink.HasSheet);
  return true;
}

bool TFormulaDecoder::TState::Reference(std::uint8_t base, TFieldReader& r)
{
  const bool biff8 = FBiff == TBiff::bf8;
  const bool threeD = base >= kPtgRef3d;
  const bool area = base == kPtgArea || base == kPtgAreaErr || base == kPtgAreaN ||
                    base == kPtgArea3d || base == kPtgAreaErr3d;
  const bool deleted = base == kPtgRefErr || base == kPtgAreaErr || base == kPtgRefErr3d ||
                       base == kPtgAreaErr3d;
  const bool offsets = base == kPtgRefN || base == kPtgAreaN || FKind == TFormulaKind::fkName;

  // 3D: BIFF8 an XTI number; BIFF5 an EXTERNSHEET number, 8 unused bytes,
  // and (own book) the first and last sheet.
  std::uint16_t ixti = 0;
  std::int16_t ixals = 0;
  std::int16_t firstSheet = 0;
  std::int16_t lastSheet = 0;
  if (threeD) {
    if (biff8) {
      ixti = r.U16();
    } else {
      ixals = r.I16();
      r.Skip(8);
      firstSheet = r.I16();
      lastSheet = r.I16();
    }
  }
  std::uint16_t row1 = 0, row2 = 0, col1 = 0, col2 = 0;
  row1 = r.U16();
  if (area)
    row2 = r.U16();
  col1 = biff8 ? r.U16() : r.U8();
  if (area)
    col2 = biff8 ? r.U16() : r.U8();
  if (r.Failed())
    return true;

  const std::uint32_t begin = BeginText();
  bool prefixed = false;
  if (threeD) {
    if (!(biff8 ? SheetPrefix8(ixti) : SheetPrefix5(ixals, firstSheet, lastSheet)))
      return false;
    prefixed = true;
  } else if (FSheetRef > 0) {
    if (!LinkPrefix(FContext.ExternSheets[static_cast<std::size_t>(FSheetRef - 1)]))
      return false;
    prefixed = true;
  }
  if (prefixed)
    FScratch += '!';
  const bool sheetDeleted = prefixed && std::string_view(FScratch).substr(begin) == "#REF!";
  if (deleted) {
    // A deleted cell or area is "#REF!" alone, also on a sheet that went.
    if (sheetDeleted)
      FScratch.resize(begin);
    FScratch += "#REF!";
  } else if (area) {
    AppendArea(row1, row2, col1, col2, offsets);
  } else {
    AppendCell(row1, col1, offsets);
  }
  PushText(begin);
  return true;
}

void TFormulaDecoder::TState::AppendNameText(const TFormulaName& name)
{
  if (name.BuiltIn && name.Name.size() == 1) {
    const std::string_view text = BuiltInNameText(static_cast<std::uint8_t>(name.Name[0]));
    if (!text.empty()) {
      FScratch += text;
      return;
    }
  }
  FScratch += name.Name;
}

// An EXTERNNAME of a BIFF2-7 link table entry: bare for this book and for
// add-ins, "book!name" (or "[book]sheet!name") for another book.
bool TFormulaDecoder::TState::AppendLinkName(const TFormulaExternSheet& entry,
                                             std::uint16_t index)
{
  if (index == 0 || index > entry.Names.size())
    return FailHere(kMsgFormulaBadExternName, Decimal(index));
  DecodeLink(entry.Encoded, FLink);
  if (!FLink.Self && !(FLink.File.empty() && FLink.Directory.empty())) {
    if (entry.Encoded.find(kUrlDirectory) != std::string::npos && entry.Encoded[0] != kUrlEncoded)
      AppendDdePrefix(FScratch, entry.Encoded);
    else
      AppendBookPrefix(FScratch, FLink, FLink.Sheet, FLink.Sheet, FLink.HasSheet);
    FScratch += '!';
  }
  FScratch += entry.Names[index - 1];
  return true;
}

// tName: a one-based NAME number (then unused bytes: BIFF8 2, BIFF5 12,
// BIFF3-4 8, BIFF2 5). Between tSheet and tEndSheet (BIFF2-4) the number
// counts the EXTERNNAMEs of the selected EXTERNSHEET instead.
bool TFormulaDecoder::TState::Name(TFieldReader& r)
{
  const std::uint16_t index = r.U16();
  switch (FBiff) {
  case TBiff::bf8: r.Skip(2); break;
  case TBiff::bf5: r.Skip(12); break;
  case TBiff::bf4:
  case TBiff::bf3: r.Skip(8); break;
  case TBiff::bf2: r.Skip(5); break;
  }
  if (r.Failed())
    return true;
  const std::uint32_t begin = BeginText();
  if (FSheetRef > 0) {
    if (!AppendLinkName(FContext.ExternSheets[static_cast<std::size_t>(FSheetRef - 1)], index))
      return false;
  } else {
    if (index == 0 || index > FContext.Names.size())
      return FailHere(kMsgFormulaBadName, Decimal(index));
    AppendNameText(FContext.Names[index - 1]);
  }
  PushText(begin);
  return true;
}

// tNameX. BIFF8: XTI number, one-based name number, 2 unused bytes; the
// XTI's SUPBOOK says whose name it is. BIFF5: EXTERNSHEET number (negative:
// this book's NAME records), 8 unused bytes, name number, 12 unused bytes.
bool TFormulaDecoder::TState::NameX(TFieldReader& r)
{
  const std::uint32_t begin = BeginText();
  if (FBiff != TBiff::bf8) {
    const std::int16_t ixals = r.I16();
    r.Skip(8);
    const std::uint16_t index = r.U16();
    r.Skip(12);
    if (r.Failed())
      return true;
    if (ixals < 0) {
      if (index == 0 || index > FContext.Names.size())
        return FailHere(kMsgFormulaBadName, Decimal(index));
      AppendNameText(FContext.Names[index - 1]);
    } else {
      if (ixals == 0 || static_cast<std::size_t>(ixals) > FContext.ExternSheets.size())
        return FailHere(kMsgFormulaBadExternSheet, Decimal(static_cast<std::size_t>(ixals)));
      if (!AppendLinkName(FContext.ExternSheets[static_cast<std::size_t>(ixals - 1)], index))
        return false;
    }
    PushText(begin);
    return true;
  }

  const std::uint16_t ixti = r.U16();
  const std::uint16_t index = r.U16();
  r.Skip(2);
  if (r.Failed())
    return true;
  if (ixti >= FContext.Xti.size() || FContext.Xti[ixti].SupBook >= FContext.SupBooks.size())
    return FailHere(kMsgFormulaBadExternSheet, Decimal(ixti));
  const TFormulaXti& xti = FContext.Xti[ixti];
  const TFormulaSupBook& book = FContext.SupBooks[xti.SupBook];
  if (book.Kind == TSupBookKind::sbSelf) {
    if (index == 0 || index > FContext.Names.size())
      return FailHere(kMsgFormulaBadName, Decimal(index));
    // A sheet's own name seen from elsewhere: "Sheet2!Local".
    if (xti.FirstSheet < FContext.SheetNames.size()) {
      AppendSheetName(FScratch, FContext.SheetNames[xti.FirstSheet]);
      FScratch += '!';
    }
    AppendNameText(FContext.Names[index - 1]);
    PushText(begin);
    return true;
  }
  if (index == 0 || index > book.Names.size())
    return FailHere(kMsgFormulaBadExternName, Decimal(index));
  if (book.Kind == TSupBookKind::sbExternal) {
    DecodeLink(book.Path, FLink);
    if (xti.FirstSheet < book.SheetNames.size()) {
      const std::string& sheet = book.SheetNames[xti.FirstSheet];
      AppendBookPrefix(FScratch, FLink, sheet, sheet, true);
    } else {
      AppendBookPrefix(FScratch, FLink, {}, {}, false);
    }
    FScratch += '!';
  } else if (book.Kind == TSupBookKind::sbOther) {
    AppendDdePrefix(FScratch, book.Path);
    FScratch += '!';
  }
  FScratch += book.Names[index - 1];
  PushText(begin);
  return true;
}

// The next array constant of the data after the tokens ([MS-XLS]
// 2.5.198.103 PtgExtraArray): columns (8 bits) and rows (16 bits), both
// one less than the count in BIFF8 and with 0 columns meaning 256 before,
// then the values row by row.
bool TFormulaDecoder::TState::ArrayConstant()
{
  const bool biff8 = FBiff == TBiff::bf8;
  const std::size_t start = FExtraPos;
  TFieldReader x(FExtra, FExtraPos);
  std::size_t columns = x.U8();
  std::size_t rows = x.U16();
  if (biff8) {
    ++columns;
    ++rows;
  } else if (columns == 0) {
    columns = kColumns;
  }
  // Each value takes at least its type byte and a string length; a count
  // the data cannot hold is refused before any of it is read.
  const std::size_t smallest = biff8 ? 4 : 2;
  if (x.Failed() || rows > x.Remaining() / smallest / columns)
    return FailHere(kMsgFormulaMissingArrayData);

  const std::uint32_t begin = BeginText();
  FScratch += '{';
  for (std::size_t row = 0; row < rows; ++row) {
    if (row > 0)
      FScratch += ';';
    for (std::size_t column = 0; column < columns; ++column) {
      if (column > 0)
        FScratch += ',';
      switch (x.U8()) {
      case kSerNil:
        x.Skip(8);
        break;
      case kSerNum:
        AppendFormulaNumber(FScratch, x.F64());
        break;
      case kSerStr: {
        const std::size_t count = biff8 ? x.U16() : x.U8();
        FText8.clear();
        if (biff8) {
          const bool wide = (x.U8() & 0x01) != 0;
          if (count > x.Remaining() / (wide ? 2 : 1)) {
            x.Fail();
            break;
          }
          const auto bytes = x.Take(wide ? count * 2 : count);
          if (wide)
            AppendUtf16LeBytesAsUtf8(bytes, FText8);
          else
            AppendLatin1AsUtf8(bytes, FText8);
        } else {
          Append8Bit(x.Take(count), FText8);
        }
        AppendQuotedText(FScratch, FText8);
        break;
      }
      case kSerBool:
        FScratch += x.U8() != 0 ? "TRUE" : "FALSE";
        x.Skip(7);
        break;
      case kSerErr: {
        const char* text = ErrorText(x.U8());
        x.Skip(7);
        if (text == nullptr)
          x.Fail();
        else
          FScratch += text;
        break;
      }
      default:
        x.Fail();
      }
      if (x.Failed() || FScratch.size() > kMaxTextBytes)
        return FailHere(kMsgFormulaMissingArrayData);
    }
  }
  FScratch += '}';
  FExtraPos = x.Pos();
  PushText(begin);
  if (FListing != nullptr) {
    TFormulaToken entry;
    entry.Offset = FTokens.size() + start;
    entry.Size = FExtraPos - start;
    entry.Name = "array data";
    entry.Operand = Decimal(columns) + (columns == 1 ? " column, " : " columns, ") +
                    Decimal(rows) + (rows == 1 ? " row" : " rows");
    FListing->push_back(std::move(entry));
  }
  return true;
}

// The cell ranges a tMemArea keeps after the tokens ([MS-XLS] 2.5.198.104
// PtgExtraMem): a count, then the ranges (8 bytes each in BIFF8, 6 before).
bool TFormulaDecoder::TState::MemAreaData()
{
  const std::size_t start = FExtraPos;
  TFieldReader x(FExtra, FExtraPos);
  const std::size_t count = x.U16();
  const std::size_t rangeSize = FBiff == TBiff::bf8 ? 8 : 6;
  if (x.Failed() || count > x.Remaining() / rangeSize)
    return FailHere(kMsgFormulaMissingArrayData);
  x.Skip(count * rangeSize);
  FExtraPos = x.Pos();
  if (FListing != nullptr) {
    TFormulaToken entry;
    entry.Offset = FTokens.size() + start;
    entry.Size = FExtraPos - start;
    entry.Name = "tMemArea data";
    entry.Operand = Decimal(count) + (count == 1 ? " range" : " ranges");
    FListing->push_back(std::move(entry));
  }
  return true;
}

void TFormulaDecoder::TState::EmitSpaces(std::string& out, const TNode& node,
                                         TSpacePart part) const
{
  for (std::uint32_t i = 0; i < node.SpaceCount; ++i) {
    const TSpaceRun run = FSpaces[node.SpaceBegin + i];
    const bool closing = run.Type == kSpaceBeforeClose || run.Type == kSpaceBeforeCloseBreak;
    if (part == TSpacePart::spOpen && closing)
      continue;
    if (part == TSpacePart::spClose && !closing)
      continue;
    out.append(run.Count, (run.Type & 1) != 0 ? '\n' : ' ');
  }
}

void TFormulaDecoder::TState::PushVisit(std::uint32_t node, bool wrap)
{
  FTasks.push_back({wrap ? TTaskKind::tkWrapVisit : TTaskKind::tkVisit, TSpacePart::spAll, node,
                    nullptr});
}

// Pushes what writes `node`, last part first (the stack runs backwards).
void TFormulaDecoder::TState::PushNodeTasks(std::uint32_t index)
{
  const TNode& node = FNodes[index];
  auto symbol = [&](const char* text) {
    FTasks.push_back({TTaskKind::tkSymbol, TSpacePart::spAll, 0, text});
  };
  auto spaces = [&](TSpacePart part) {
    FTasks.push_back({TTaskKind::tkSpaces, part, index, nullptr});
  };
  auto needs = [&](std::uint32_t child, std::uint8_t precedence, bool right) {
    const std::uint8_t p = FNodes[child].Precedence;
    return p < precedence || (right && p == precedence);
  };
  switch (node.Kind) {
  case TNodeKind::nkText:
    FTasks.push_back({TTaskKind::tkSpaces, TSpacePart::spAll, index, nullptr});
    break;
  case TNodeKind::nkBinary:
    PushVisit(node.Second, needs(node.Second, node.Precedence, true));
    symbol(node.Symbol);
    spaces(TSpacePart::spAll);
    PushVisit(node.First, needs(node.First, node.Precedence, false));
    break;
  case TNodeKind::nkPrefix:
    PushVisit(node.First, needs(node.First, node.Precedence, false));
    symbol(node.Symbol);
    spaces(TSpacePart::spAll);
    break;
  case TNodeKind::nkPostfix:
    symbol(node.Symbol);
    spaces(TSpacePart::spAll);
    PushVisit(node.First, needs(node.First, node.Precedence, false));
    break;
  case TNodeKind::nkParen:
    symbol(")");
    spaces(TSpacePart::spClose);
    PushVisit(node.First, false);
    symbol("(");
    spaces(TSpacePart::spOpen);
    break;
  case TNodeKind::nkFunction: {
    symbol(")");
    spaces(TSpacePart::spClose);
    const std::uint32_t first = node.UserDefined ? 1 : 0;
    for (std::uint32_t i = node.Second; i > first; --i) {
      const std::uint32_t arg = FArgs[node.First + i - 1];
      // A union as an argument needs its own brackets: SUM((A1,B1)).
      PushVisit(arg, FNodes[arg].Precedence <= kPrecUnion);
      if (i - 1 > first)
        symbol(",");
    }
    symbol("(");
    if (node.Prompt)
      symbol("?");
    if (node.UserDefined)
      FTasks.push_back({TTaskKind::tkCallee, TSpacePart::spAll, FArgs[node.First], nullptr});
    else
      symbol(node.Symbol);
    spaces(TSpacePart::spOpen);
    break;
  }
  }
}

bool TFormulaDecoder::TState::Render(std::string& out)
{
  out.reserve(FScratch.size() + FNodes.size() * 2);
  FTasks.clear();
  const std::uint32_t root = FStack.back();
  const TNode& top = FNodes[root];
  // An assignment-style macro formula is SET.NAME("name", value) in the
  // tokens and "name=value" on the screen.
  if (FAssignment && top.Kind == TNodeKind::nkFunction && !top.UserDefined && top.Second == 2 &&
      std::string_view(top.Symbol) == "SET.NAME" &&
      FNodes[FArgs[top.First]].Kind == TNodeKind::nkText &&
      NodeText(FNodes[FArgs[top.First]]).starts_with('"')) {
    PushVisit(FArgs[top.First + 1], false);
    FTasks.push_back({TTaskKind::tkSymbol, TSpacePart::spAll, 0, "="});
    FTasks.push_back({TTaskKind::tkAssignName, TSpacePart::spAll, FArgs[top.First], nullptr});
  } else {
    PushVisit(root, false);
  }
  while (!FTasks.empty()) {
    const TTask task = FTasks.back();
    FTasks.pop_back();
    switch (task.Kind) {
    case TTaskKind::tkWrapVisit:
      FTasks.push_back({TTaskKind::tkSymbol, TSpacePart::spAll, 0, ")"});
      PushNodeTasks(task.Node);
      FTasks.push_back({TTaskKind::tkSymbol, TSpacePart::spAll, 0, "("});
      break;
    case TTaskKind::tkVisit:
      PushNodeTasks(task.Node);
      break;
    case TTaskKind::tkSymbol:
      out += task.Symbol;
      break;
    case TTaskKind::tkSpaces: {
      const TNode& node = FNodes[task.Node];
      EmitSpaces(out, node, task.Part);
      if (node.Kind == TNodeKind::nkText)
        out += NodeText(node);
      break;
    }
    case TTaskKind::tkCallee: {
      // A user-defined call names its function with its first operand;
      // Excel 2007's new functions are such names with a "_xlfn." prefix
      // it does not show.
      const TNode& node = FNodes[task.Node];
      if (node.Kind != TNodeKind::nkText) {
        PushVisit(task.Node, false);
        break;
      }
      EmitSpaces(out, node, TSpacePart::spAll);
      std::string_view name = NodeText(node);
      if (name.starts_with(kFutureFunctionPrefix))
        name.remove_prefix(kFutureFunctionPrefix.size());
      out += name;
      break;
    }
    case TTaskKind::tkAssignName: {
      const std::string_view quoted = NodeText(FNodes[task.Node]);
      for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        out += quoted[i];
        if (quoted[i] == '"')
          ++i;
      }
      break;
    }
    }
    if (out.size() > kMaxTextBytes)
      return Fail(kMsgFormulaTooLong, {Decimal(kMaxTextBytes)});
  }
  return true;
}

// A cell formula that is a tExp or tTbl token shows its master's formula.
TFormulaResult TFormulaDecoder::TState::DecodeCell(std::span<const std::uint8_t> tokens,
                                                   std::span<const std::uint8_t> extra,
                                                   TFormulaCell cell,
                                                   const TSharedFormulaIndex& masters,
                                                   std::vector<TFormulaToken>* listing)
{
  if (tokens.empty() || (tokens[0] != kPtgExp && tokens[0] != kPtgTbl))
    return Decode(tokens, extra, cell, TFormulaKind::fkCell, listing);

  FBiff = BiffOf(FContext.Version);
  const bool table = tokens[0] == kPtgTbl;
  TFieldReader r(tokens, 1);
  const std::uint16_t row = r.U16();
  const std::uint16_t column = FBiff == TBiff::bf2 ? r.U8() : r.U16();
  const TFormulaCell anchor{row, column};
  if (listing != nullptr) {
    listing->clear();
    TFormulaToken entry;
    entry.Size = r.Failed() ? tokens.size() : r.Pos();
    entry.Name = TokenName(tokens[0]);
    if (!r.Failed())
      entry.Operand = CellName(row, column);
    listing->push_back(std::move(entry));
  }
  TFormulaResult result;
  if (r.Failed()) {
    result.Error = FormatFormulaMessage(kMsgFormulaTruncated, {TokenName(tokens[0]), "0"});
    return result;
  }
  const std::optional<TFormulaMaster> master = masters.Find(anchor, cell);
  if (!master || (master->Kind == TMasterKind::mkTable) != table) {
    result.Error = FormatFormulaMessage(kMsgFormulaMasterMissing, {CellName(row, column)});
    return result;
  }
  switch (master->Kind) {
  case TMasterKind::mkShared:
    return Decode(master->Tokens, master->Extra, cell, TFormulaKind::fkShared, nullptr);
  case TMasterKind::mkArray:
    // Every cell of an array formula shows the same text, seen from its
    // first cell.
    return Decode(master->Tokens, master->Extra, master->First, TFormulaKind::fkCell, nullptr);
  case TMasterKind::mkTable:
    break;
  }
  // {=TABLE(row input, column input)}; a one-input table leaves the other
  // argument empty.
  const std::uint16_t flags = master->TableFlags;
  auto input = [&](const TFormulaCell& at, std::uint16_t deletedFlag) {
    if (flags & deletedFlag)
      result.Text += "#REF!";
    else
      AppendCellReference(result.Text, at.Row, at.Column);
  };
  result.Text = "TABLE(";
  if (flags & kTableTwoInputs) {
    input(master->FirstInput, kTableFirstDeleted);
    result.Text += ',';
    input(master->SecondInput, kTableSecondDeleted);
  } else if (flags & kTableRowInput) {
    input(master->FirstInput, kTableFirstDeleted);
    result.Text += ',';
  } else {
    result.Text += ',';
    input(master->FirstInput, kTableFirstDeleted);
  }
  result.Text += ')';
  return result;
}

TFormulaDecoder::TFormulaDecoder(const TFormulaContext& context)
    : FState(std::make_unique<TState>(context))
{
}

TFormulaDecoder::~TFormulaDecoder() = default;

TFormulaResult TFormulaDecoder::Decode(std::span<const std::uint8_t> tokens,
                                       std::span<const std::uint8_t> extra, TFormulaCell cell,
                                       TFormulaKind kind, std::vector<TFormulaToken>* listing)
{
  return FState->Decode(tokens, extra, cell, kind, listing);
}

TFormulaResult TFormulaDecoder::DecodeCell(std::span<const std::uint8_t> tokens,
                                           std::span<const std::uint8_t> extra,
                                           TFormulaCell cell, const TSharedFormulaIndex& masters,
                                           std::vector<TFormulaToken>* listing)
{
  return FState->DecodeCell(tokens, extra, cell, masters, listing);
}
