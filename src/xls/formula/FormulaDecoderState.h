#pragma once

// The formula decoder's working parts, shared by its source files and
// private to src/xls/formula: the token numbers and field layouts and
// the decoder's state.

#include "xls/formula/FormulaDecoder.h"

#include "platform/text/HexText.h"
#include "xls/ExcelVersion.h"
#include "xls/decode/BuiltInNames.h"
#include "xls/decode/ErrorCodes.h"
#include "xls/decode/RecordCursor.h"
#include "xls/formula/FormulaLinks.h"
#include "xls/decode/FormulaText.h"

#include <array>
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
inline constexpr std::uint8_t kPtgUnknownMask = 0x80;  // no token has bit 7

/// A classified token's number in the reference class (tRefV -> tRef).
inline std::uint8_t ClassBase(std::uint8_t ptg)
{
  return static_cast<std::uint8_t>((ptg & kPtgBaseMask) | kPtgArray);
}

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
  std::string_view Symbol;
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
/// Numbers for messages and listings.
std::string Decimal(std::size_t value);

struct TSpaceRun {
  std::uint8_t Type = 0;
  std::uint8_t Count = 0;
};

enum class TSpacePart : std::uint8_t { spAll, spOpen, spClose };

inline constexpr std::uint32_t kNoPiece = 0xFFFFFFFF;

enum class TPieceKind : std::uint8_t {
  pkScratch,  // a run of the scratch text (an operand token's text)
  pkFixed,    // a fixed text: an operator, a bracket, a function name
  pkRun,      // one character repeated: spaces or line breaks
  // Written from fields with the text:
  pkCell,     // a cell reference
  pkArea,     // an area reference
  pkInteger,  // a tInt constant
};

/// One piece of a formula's text; the pieces of an operand are chained by
/// Next in the order they are written. References (and integers, the
/// commonest constants) stay fields until the text is written: what the
/// tokens leave does not depend on the cell that shows the formula, and no
/// text is copied twice.
struct TPiece {
  const char* Fixed = nullptr;  // pkFixed
  std::uint32_t Begin = 0;      // pkScratch: the offset in the scratch text
  /// Bytes (pkRun: how many times Run); 0 for a piece written from fields,
  /// whose text is known only then.
  std::uint32_t Size = 0;
  std::uint32_t Next = kNoPiece;
  // pkCell, pkArea: the fields as stored (the first cell, then an area's
  // last), and whether their relative parts are offsets from the cell;
  // pkInteger: the value in Row1.
  std::uint16_t Row1 = 0;
  std::uint16_t Column1 = 0;
  std::uint16_t Row2 = 0;
  std::uint16_t Column2 = 0;
  bool Offsets = false;
  TPieceKind Kind = TPieceKind::pkScratch;
  char Run = ' ';
};

inline bool IsWrittenFromFields(const TPiece& piece)
{
  return piece.Kind >= TPieceKind::pkCell;
}

/// The most characters a piece written from fields takes: an area of two
/// cells and a colon.
inline constexpr std::size_t kLongestFromFields = 2 * kLongestCellReference + 1;

/// The pieces from Head to Tail (both kNoPiece when empty): Size bytes of
/// text and FromFields pieces written from fields. A chain that was linked
/// into a longer one keeps its ends, so it still reads alone.
struct TChain {
  std::uint32_t Head = kNoPiece;
  std::uint32_t Tail = kNoPiece;
  std::size_t Size = 0;
  std::uint32_t FromFields = 0;
  /// Room enough for the chain's text.
  std::size_t Bound() const { return Size + FromFields * kLongestFromFields; }
};

/// One operand of the expression as the tokens build it.
struct TOperand {
  TChain Text;
  /// An operand token's own text (no operator applied), after its spaces:
  /// the first of its pieces; kNoPiece for an expression.
  std::uint32_t Plain = kNoPiece;
  std::uint8_t Precedence = kPrecAtom;
  /// A call SET.NAME("name", value), which an assignment-style macro
  /// formula shows as "name=value"; its parts are TState::FSetName.
  bool SetName = false;
};

enum class TSlotField : std::uint8_t { sfRow1, sfColumn1, sfRow2, sfColumn2 };

/// A field of the tokens that only a piece's field holds (a reference's
/// row or column, an integer's value): tokens that differ in such fields
/// only leave the same expression but for those pieces' fields.
struct TFieldSlot {
  std::uint32_t Offset = 0;  // in the tokens
  std::uint32_t Piece = 0;
  std::uint8_t Size = 0;     // 1 or 2 bytes
  TSlotField Field = TSlotField::sfRow1;
};

/// What the tokens of one formula leave for writing its text.
struct TExpression {
  std::vector<TPiece> Pieces;
  std::string Scratch;  // the text of operand tokens, which pkScratch pieces point into
  TChain Text;          // the expression; empty for no tokens
  /// A macro sheet's "name=value": tAttrAssign was met and the expression
  /// is SET.NAME("name", value).
  bool Assignment = false;
  TChain Name;   // the quoted name
  TChain Value;
  std::vector<TFieldSlot> Slots;  // in the order of their offsets
};

/// How many expressions a decoder keeps: the formulas of the columns of a
/// sheet's table come in turn, row after row.
inline constexpr std::size_t kKeptExpressions = 8;

}  // namespace FormulaDecode

class TFormulaDecoder::TState {
public:
  explicit TState(const TFormulaContext& context) : FContext(context) {}

  /// TFormulaDecoder::DecodeInto and DecodeCellInto.
  bool Decode(std::span<const std::uint8_t> tokens, std::span<const std::uint8_t> extra,
              TFormulaCell cell, TFormulaKind kind, std::string& text, std::string& error,
              std::vector<TFormulaToken>* listing);
  bool DecodeCell(std::span<const std::uint8_t> tokens, std::span<const std::uint8_t> extra,
                  TFormulaCell cell, const TSharedFormulaIndex& masters, std::string& text,
                  std::string& error, std::vector<TFormulaToken>* listing);

private:
  using TBiff = FormulaDecode::TBiff;
  using TChain = FormulaDecode::TChain;
  using TExpression = FormulaDecode::TExpression;
  using TFieldSlot = FormulaDecode::TFieldSlot;
  using TSlotField = FormulaDecode::TSlotField;
  using TOperand = FormulaDecode::TOperand;
  using TPiece = FormulaDecode::TPiece;
  using TSpacePart = FormulaDecode::TSpacePart;

  /// Reads the tokens into FExpression; false, with FError, for tokens
  /// that cannot be read.
  bool Parse(std::span<const std::uint8_t> tokens, std::span<const std::uint8_t> extra,
             TFormulaKind kind, std::vector<TFormulaToken>* listing);
  /// The expression of the tokens, parsed now or kept from earlier tokens
  /// that differ at most in its field slots; nullptr, with FError, when
  /// the tokens cannot be read.
  const TExpression* KeptExpression(std::span<const std::uint8_t> tokens,
                                    std::span<const std::uint8_t> extra, TFormulaKind kind);
  /// Notes that the piece just added holds the field of `size` bytes at
  /// `offset` of the tokens.
  void AddSlot(std::size_t offset, std::size_t size, TSlotField field);

  // Tokens (FormulaTokens.cpp).
  bool Token(std::uint8_t ptg, TRecordCursor& r);
  bool ClassToken(std::uint8_t ptg, std::uint8_t base, TRecordCursor& r);
  bool Attr(TRecordCursor& r);
  bool String(TRecordCursor& r);
  bool Function(std::uint16_t index, std::size_t count, bool command, bool prompt);
  bool Name(TRecordCursor& r);
  void Append8Bit(std::span<const std::uint8_t> bytes, std::string& out);

  // References and names (FormulaReferences.cpp).
  bool Reference(std::uint8_t base, TRecordCursor& r);
  bool NameX(TRecordCursor& r);
  bool SheetPrefix8(std::uint16_t ixti);
  bool SheetPrefix5(std::int16_t ixals, std::int16_t first, std::int16_t last);
  bool BookPrefix8(const TFormulaSupBook& book, const TFormulaXti& xti);
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
    return FBiff == TBiff::bf8 ? FormulaDecode::kBiff8Rows : FormulaDecode::kBiff5Rows;
  }
  /// Writes the text of a pkCell or pkArea piece as seen from FCell at
  /// `out`, which has room for kLongestFromFields characters; returns the
  /// end.
  char* WriteReference(char* out, const TPiece& piece) const;
  void AppendNameText(const TFormulaName& name);
  /// NAME record `index` (one-based); false, with kMsgFormulaBadName, for
  /// one that does not exist.
  bool AppendOwnName(std::uint16_t index);
  bool AppendLinkName(const TFormulaExternSheet& entry, std::uint16_t index);

  // The data after the tokens (FormulaArrayData.cpp).
  bool ArrayConstant();
  bool MemAreaData();

  // The expression (FormulaExpression.cpp). An operand token appends its
  // text to the scratch text and pushes an operand; an operator pops its
  // operands and pushes one that links their pieces with its own (symbol,
  // brackets, spaces). The text is copied out once, at the end.
  std::uint32_t BeginText() const
  {
    return static_cast<std::uint32_t>(FExpression.Scratch.size());
  }
  /// The scratch text from `begin` on, then `fromFields` when given, become
  /// an operand.
  void PushText(std::uint32_t begin, const TPiece* fromFields = nullptr);
  /// False, with kMsgFormulaMissingOperand, when fewer than `count`
  /// operands wait; the Push* below take theirs only after this check.
  bool Pop(std::size_t count);
  void PushBinary(std::string_view symbol, std::uint8_t precedence);
  void PushPrefix(std::string_view symbol);
  void PushPostfix(std::string_view symbol);
  void PushParen();
  /// `name(arguments)` over the last `count` operands; a user-defined call
  /// takes its name from the first of them.
  void PushCall(std::string_view name, std::size_t count, bool userDefined, bool prompt);
  /// Leaves the one operand left (or none, for no tokens) in FExpression.
  void Finish();
  /// Appends the text of `expression` as seen from FCell to `out`; false
  /// (and `out` as it was) when it would be longer than kMaxTextBytes.
  bool WriteText(const TExpression& expression, std::string& out);
  std::uint32_t AddPiece(const TPiece& piece);
  std::uint32_t AddFixed(std::string_view text);
  void Link(TChain& chain, std::uint32_t piece);
  void Link(TChain& chain, TChain next);
  TChain Bracketed(const TOperand& operand, bool brackets);
  /// The waiting tAttrSpace runs of `part` as pieces (the operand they
  /// belong to clears FSpaces once it has taken them).
  TChain Spaces(TSpacePart part) { return FSpaces.empty() ? TChain() : SpacePieces(part); }
  TChain SpacePieces(TSpacePart part);
  /// Writes the chain's text at `out`, which has room for chain.Bound()
  /// characters; returns the end.
  char* WriteChain(char* out, const TExpression& expression, TChain chain) const;
  void AppendChain(std::string& out, const TExpression& expression, TChain chain) const;
  /// An operand token's own text: its pieces after its spaces (empty for
  /// an expression).
  TChain OwnText(const TOperand& operand) const;
  std::string OperandText(const TOperand& operand) const;

  // The token being read and the message of a failure (FormulaDecoder.cpp).
  std::string_view CurrentTokenName() const;
  void Note(std::string_view text);
  bool Fail(const char* message, std::initializer_list<std::string_view> args);
  bool Truncated();
  bool FailHere(const char* message);
  bool FailHere(const char* message, std::string_view first);

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
  std::string_view FTokenName;  // set by a token that names itself (tAttr...), else empty
  std::string FNote;  // the listing's operand text of a token that makes no operand
  bool FMadeOperand = false;

  // BIFF2-4: the EXTERNSHEET a tSheet token selected for the tokens up to
  // tEndSheet (one-based; 0 for none).
  std::int32_t FSheetRef = 0;
  bool FAssignment = false;
  // The parts of the last SET.NAME("name", value) call: the operand left
  // is one only if it was the last made.
  struct TSetName {
    TChain Name;
    TChain Value;
  } FSetName;
  std::string FError;

  // Scratch kept from call to call, so a decoder in use allocates nothing.
  TExpression FExpression;  // what the tokens being read leave
  std::vector<TOperand> FOperands;
  std::vector<FormulaDecode::TSpaceRun> FSpaces;  // the runs waiting for the next operand
  std::string FText8;     // one decoded string constant
  std::string FNameText;  // an assignment's quoted name
  std::string FOut;       // the text being written, grown to the largest yet
  LinkPath::TTarget FLink;  // one decoded link target

  // The expressions of the token arrays read last: every cell of a shared
  // or array formula shows the same expression (its references seen from
  // the cell), and a formula filled down a column differs from the one
  // above only in its references' fields.
  struct TKept {
    bool Used = false;
    TBiff Biff = TBiff::bf8;
    TFormulaKind Kind = TFormulaKind::fkCell;
    std::vector<std::uint8_t> Tokens;  // whose fields the expression's pieces hold
    std::vector<std::uint8_t> Extra;
    TExpression Expression;
  };
  /// True when `tokens` (as long as the kept ones) differ from the kept
  /// ones in field slots only.
  bool EqualButSlots(const TKept& kept, std::span<const std::uint8_t> tokens) const;
  std::array<TKept, FormulaDecode::kKeptExpressions> FKept;
  std::size_t FNextKept = 0;  // the one to replace next
};
