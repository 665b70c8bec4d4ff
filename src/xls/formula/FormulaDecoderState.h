#pragma once

// The formula decoder's working parts, shared by its source files and
// private to src/xls/formula: the token numbers and field layouts, the
// field reader, and the decoder's state.

#include "xls/formula/FormulaDecoder.h"

#include "xls/ExcelVersion.h"
#include "xls/formula/FormulaLinks.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace FormulaDecode {

// Token layouts differ between these generations only.
enum class TBiff : std::uint8_t { bf2, bf3, bf4, bf5, bf8 };

inline TBiff BiffOf(TExcelVersion version)
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
inline constexpr std::uint8_t kPtgExp = 0x01;
inline constexpr std::uint8_t kPtgTbl = 0x02;
inline constexpr std::uint8_t kPtgAdd = 0x03;
inline constexpr std::uint8_t kPtgNe = 0x0E;
inline constexpr std::uint8_t kPtgIsect = 0x0F;
inline constexpr std::uint8_t kPtgUnion = 0x10;
inline constexpr std::uint8_t kPtgRange = 0x11;
inline constexpr std::uint8_t kPtgUplus = 0x12;
inline constexpr std::uint8_t kPtgUminus = 0x13;
inline constexpr std::uint8_t kPtgPercent = 0x14;
inline constexpr std::uint8_t kPtgParen = 0x15;
inline constexpr std::uint8_t kPtgMissArg = 0x16;
inline constexpr std::uint8_t kPtgStr = 0x17;
inline constexpr std::uint8_t kPtgExtended = 0x18;
inline constexpr std::uint8_t kPtgAttr = 0x19;
inline constexpr std::uint8_t kPtgSheet = 0x1A;
inline constexpr std::uint8_t kPtgEndSheet = 0x1B;
inline constexpr std::uint8_t kPtgErr = 0x1C;
inline constexpr std::uint8_t kPtgBool = 0x1D;
inline constexpr std::uint8_t kPtgInt = 0x1E;
inline constexpr std::uint8_t kPtgNum = 0x1F;
inline constexpr std::uint8_t kPtgArray = 0x20;
inline constexpr std::uint8_t kPtgFunc = 0x21;
inline constexpr std::uint8_t kPtgFuncVar = 0x22;
inline constexpr std::uint8_t kPtgName = 0x23;
inline constexpr std::uint8_t kPtgRef = 0x24;
inline constexpr std::uint8_t kPtgArea = 0x25;
inline constexpr std::uint8_t kPtgMemArea = 0x26;
inline constexpr std::uint8_t kPtgMemErr = 0x27;
inline constexpr std::uint8_t kPtgMemNoMem = 0x28;
inline constexpr std::uint8_t kPtgMemFunc = 0x29;
inline constexpr std::uint8_t kPtgRefErr = 0x2A;
inline constexpr std::uint8_t kPtgAreaErr = 0x2B;
inline constexpr std::uint8_t kPtgRefN = 0x2C;
inline constexpr std::uint8_t kPtgAreaN = 0x2D;
inline constexpr std::uint8_t kPtgMemAreaN = 0x2E;
inline constexpr std::uint8_t kPtgMemNoMemN = 0x2F;
inline constexpr std::uint8_t kPtgFuncCE = 0x38;
inline constexpr std::uint8_t kPtgNameX = 0x39;
inline constexpr std::uint8_t kPtgRef3d = 0x3A;
inline constexpr std::uint8_t kPtgArea3d = 0x3B;
inline constexpr std::uint8_t kPtgRefErr3d = 0x3C;
inline constexpr std::uint8_t kPtgAreaErr3d = 0x3D;
inline constexpr std::uint8_t kPtgClassMask = 0x60;
inline constexpr std::uint8_t kPtgBaseMask = 0x1F;

// tAttr option bits ([MS-XLS] 2.5.198.30 onwards).
inline constexpr std::uint8_t kAttrVolatile = 0x01;
inline constexpr std::uint8_t kAttrIf = 0x02;
inline constexpr std::uint8_t kAttrChoose = 0x04;
inline constexpr std::uint8_t kAttrSkip = 0x08;
inline constexpr std::uint8_t kAttrSum = 0x10;
inline constexpr std::uint8_t kAttrAssign = 0x20;  // bitBaxcel: "name=value" in a macro sheet
inline constexpr std::uint8_t kAttrSpace = 0x40;

// PtgAttrSpaceType: even types are spaces, odd ones line breaks; 2 and 3
// stand before an opening bracket, 4 and 5 before a closing one.
inline constexpr std::uint8_t kSpaceBeforeClose = 4;
inline constexpr std::uint8_t kSpaceBeforeCloseBreak = 5;

// tFuncVar: argument-count bit 7 asks for the command's dialog ("SAVE.AS?"),
// function-number bit 15 marks a command of the command table.
inline constexpr std::uint8_t kFuncVarPrompt = 0x80;
inline constexpr std::uint8_t kFuncVarCountMask = 0x7F;
inline constexpr std::uint16_t kFuncVarCommand = 0x8000;

// Reference fields: BIFF8 keeps the relative flags in the column word,
// BIFF2-7 in the row word with a 14-bit row and an 8-bit column.
inline constexpr std::uint16_t kRowRelative = 0x8000;
inline constexpr std::uint16_t kColumnRelative = 0x4000;
inline constexpr std::uint16_t kBiff8ColumnMask = 0x3FFF;
inline constexpr std::uint16_t kBiff5RowMask = 0x3FFF;
inline constexpr std::uint32_t kBiff8Rows = 65536;
inline constexpr std::uint32_t kBiff5Rows = 16384;
inline constexpr std::uint32_t kColumns = 256;
inline constexpr std::uint32_t kLastColumn = kColumns - 1;

// Array constant element types ([MS-XLS] 2.5.198.90 SerAr).
inline constexpr std::uint8_t kSerNil = 0x00;
inline constexpr std::uint8_t kSerNum = 0x01;
inline constexpr std::uint8_t kSerStr = 0x02;
inline constexpr std::uint8_t kSerBool = 0x04;
inline constexpr std::uint8_t kSerErr = 0x10;

// No formula Excel can show comes near this; a hostile one stops here.
inline constexpr std::size_t kMaxTextBytes = std::size_t{256} << 10;

// Binding strength, strongest first; atoms (operands, calls, brackets)
// never need brackets. Excel: reference operators, negation, percent,
// power, multiplication, addition, concatenation, comparison.
inline constexpr std::uint8_t kPrecAtom = 100;
inline constexpr std::uint8_t kPrecRange = 90;
inline constexpr std::uint8_t kPrecIsect = 80;
inline constexpr std::uint8_t kPrecUnion = 70;
inline constexpr std::uint8_t kPrecPrefix = 60;
inline constexpr std::uint8_t kPrecPercent = 50;
inline constexpr std::uint8_t kPrecPower = 40;
inline constexpr std::uint8_t kPrecMultiply = 30;
inline constexpr std::uint8_t kPrecAdd = 20;
inline constexpr std::uint8_t kPrecConcat = 15;
inline constexpr std::uint8_t kPrecCompare = 10;

struct TBinaryOperator {
  const char* Symbol;
  std::uint8_t Precedence;
};

// tAdd (0x03) to tRange (0x11).
inline constexpr TBinaryOperator kBinaryOperators[] = {
    {"+", kPrecAdd},       {"-", kPrecAdd},       {"*", kPrecMultiply}, {"/", kPrecMultiply},
    {"^", kPrecPower},     {"&", kPrecConcat},    {"<", kPrecCompare},  {"<=", kPrecCompare},
    {"=", kPrecCompare},   {">=", kPrecCompare},  {">", kPrecCompare},  {"<>", kPrecCompare},
    {" ", kPrecIsect},     {",", kPrecUnion},     {":", kPrecRange},
};

/// The listing name of a token number ("tRefV"); "token" for a number no
/// token has.
std::string_view TokenName(std::uint8_t ptg);
/// The listing name of a tAttr token by its option flags ("tAttrSpace").
std::string_view AttrName(std::uint8_t flags);
/// An error constant's text ([MS-XLS] 2.5.198.2 BErr); nullptr for a code
/// that is none.
const char* ErrorText(std::uint8_t code);
/// Numbers for messages and listings.
std::string Decimal(std::size_t value);
std::string Hex2(std::uint8_t value);
void AppendDecimal(std::string& out, std::uint32_t value);

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

inline constexpr std::string_view kFutureFunctionPrefix = "_xlfn.";

}  // namespace FormulaDecode

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
  bool Token(std::uint8_t ptg, FormulaDecode::TFieldReader& r);
  bool ClassToken(std::uint8_t ptg, std::uint8_t base, FormulaDecode::TFieldReader& r);
  bool Attr(FormulaDecode::TFieldReader& r);
  bool String(FormulaDecode::TFieldReader& r);
  bool Function(std::uint16_t index, std::size_t count, bool command, bool prompt);
  bool Reference(std::uint8_t base, FormulaDecode::TFieldReader& r);
  bool Name(FormulaDecode::TFieldReader& r);
  bool NameX(FormulaDecode::TFieldReader& r);
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
  std::uint32_t RowCount() const
  {
    return FBiff == FormulaDecode::TBiff::bf8 ? FormulaDecode::kBiff8Rows
                                               : FormulaDecode::kBiff5Rows;
  }
  void AppendArea(std::uint16_t row1, std::uint16_t row2, std::uint16_t col1, std::uint16_t col2,
                  bool offsets);
  void AppendCell(std::uint16_t rowField, std::uint16_t columnField, bool offsets);
  void AppendNameText(const TFormulaName& name);
  bool AppendLinkName(const TFormulaExternSheet& entry, std::uint16_t index);
  void Append8Bit(std::span<const std::uint8_t> bytes, std::string& out);

  std::uint32_t BeginText() const { return static_cast<std::uint32_t>(FScratch.size()); }
  void PushText(std::uint32_t begin);
  std::uint32_t NewNode(FormulaDecode::TNodeKind kind, std::uint8_t precedence);
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
  void EmitSpaces(std::string& out, const FormulaDecode::TNode& node,
                  FormulaDecode::TSpacePart part) const;
  std::string_view NodeText(const FormulaDecode::TNode& node) const
  {
    return std::string_view(FScratch).substr(node.TextBegin, node.TextSize);
  }

  const TFormulaContext& FContext;
  FormulaDecode::TBiff FBiff = FormulaDecode::TBiff::bf8;

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
  std::vector<FormulaDecode::TNode> FNodes;
  std::vector<std::uint32_t> FStack;
  std::vector<std::uint32_t> FArgs;
  std::vector<FormulaDecode::TSpaceRun> FSpaces;
  std::uint32_t FPendingSpaces = 0;  // FSpaces from here on wait for the next node
  std::string FScratch;
  std::string FText8;  // one decoded string constant
  FormulaDecode::TLink FLink;         // one decoded link target
  std::vector<FormulaDecode::TTask> FTasks;
};
