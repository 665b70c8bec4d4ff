#include "xls/formula/FormulaDecoderState.h"

#include "platform/text/CodePage.h"
#include "platform/text/Utf.h"
#include "xls/formula/FormulaMessages.h"
#include "xls/decode/FormulaText.h"
#include "xls/formula/FunctionTable.h"

using namespace FormulaDecode;

void TFormulaDecoder::TState::Append8Bit(std::span<const std::uint8_t> bytes, std::string& out)
{
  if (FContext.CodePage != nullptr)
    FContext.CodePage->Append(bytes, out);
  else
    AppendLatin1AsUtf8(bytes, out);
}

bool TFormulaDecoder::TState::Token(std::uint8_t ptg, TRecordCursor& r)
{
  if (ptg & kPtgUnknownMask)
    return Fail(kMsgFormulaUnknownToken, {HexByte(ptg), Decimal(FTokenStart)});
  if (ptg & kPtgClassMask)
    return ClassToken(ptg, ClassBase(ptg), r);

  if (ptg >= kPtgAdd && ptg <= kPtgRange) {
    if (!Pop(2))
      return false;
    const TBinaryOperator& op = kBinaryOperators[ptg - kPtgAdd];
    PushBinary(op.Symbol, op.Precedence);
    return true;
  }
  switch (ptg) {
  case kPtgExp:
  case kPtgTbl: {
    const std::uint16_t row = r.U16("word");
    const std::uint16_t column = FBiff == TBiff::bf2 ? r.U8("byte") : r.U16("word");
    if (r.Short())
      return Truncated();
    return Fail(kMsgFormulaNeedsMaster,
                {CurrentTokenName(), Decimal(FTokenStart), CellName(row, column)});
  }
  case kPtgUplus:
  case kPtgUminus:
  case kPtgPercent:
    if (!Pop(1))
      return false;
    if (ptg == kPtgPercent)
      PushPostfix("%");
    else
      PushPrefix(ptg == kPtgUplus ? "+" : "-");
    return true;
  case kPtgParen:
    if (!Pop(1))
      return false;
    PushParen();
    return true;
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
      r.Skip("unused", FBiff == TBiff::bf2 ? 3 : 4);
      FSheetRef = 0;
      return true;
    }
    r.Skip("unused", FBiff == TBiff::bf2 ? 4 : 6);
    FSheetRef = r.I16("word");
    r.Skip("unused", FBiff == TBiff::bf2 ? 1 : 2);
    if (r.Short())
      return true;
    if (FSheetRef < 1 || static_cast<std::size_t>(FSheetRef) > FContext.ExternSheets.size())
      return FailHere(kMsgFormulaBadExternSheet, Decimal(static_cast<std::size_t>(
                                                     FSheetRef < 0 ? 0 : FSheetRef)));
    if (FListing != nullptr)
      Note(LinkPath::Text(FContext.ExternSheets[static_cast<std::size_t>(FSheetRef - 1)].Encoded));
    return true;
  }
  case kPtgErr: {
    const std::uint8_t code = r.U8("byte");
    if (r.Short())
      return true;
    const char* text = ErrorCodeName(code);
    if (text == nullptr)
      return FailHere(kMsgFormulaUnknownError, HexByte(code));
    const std::uint32_t begin = BeginText();
    FExpression.Scratch += text;
    PushText(begin);
    return true;
  }
  case kPtgBool: {
    const std::uint8_t value = r.U8("byte");
    const std::uint32_t begin = BeginText();
    FExpression.Scratch += value != 0 ? "TRUE" : "FALSE";
    PushText(begin);
    return true;
  }
  case kPtgInt: {
    TPiece integer;
    integer.Kind = TPieceKind::pkInteger;
    const std::size_t at = r.Position();
    integer.Row1 = r.U16("word");
    PushText(BeginText(), &integer);
    AddSlot(at, 2, TSlotField::sfRow1);
    return true;
  }
  case kPtgNum: {
    const double value = r.F64("number");
    const std::uint32_t begin = BeginText();
    AppendFormulaNumber(FExpression.Scratch, value);
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
  return Fail(kMsgFormulaUnknownToken, {HexByte(ptg), Decimal(FTokenStart)});
}

bool TFormulaDecoder::TState::ClassToken(std::uint8_t ptg, std::uint8_t base, TRecordCursor& r)
{
  const bool oneByteFunctions = FBiff <= TBiff::bf3;
  switch (base) {
  case kPtgArray:
    r.Skip("unused", FBiff == TBiff::bf2 ? 6 : 7);
    if (r.Short())
      return true;
    return ArrayConstant();
  case kPtgFunc: {
    const std::uint16_t index = oneByteFunctions ? r.U8("byte") : r.U16("word");
    if (r.Short())
      return true;
    const TFunctionInfo* info = FindSheetFunction(index);
    if (info == nullptr || index == kUserDefinedFunction)
      return FailHere(kMsgFormulaUnknownFunction, Decimal(index));
    if (info->FixedArguments < 0)
      return FailHere(kMsgFormulaNoFixedCount, info->Name);
    return Function(index, static_cast<std::size_t>(info->FixedArguments), false, false);
  }
  case kPtgFuncVar: {
    const std::uint8_t count = r.U8("byte");
    const std::uint16_t index = oneByteFunctions ? r.U8("byte") : r.U16("word");
    if (r.Short())
      return true;
    const bool command = (index & kFuncVarCommand) != 0 && !oneByteFunctions;
    return Function(command ? static_cast<std::uint16_t>(index & ~kFuncVarCommand) : index,
                    count & kFuncVarCountMask, command, command && (count & kFuncVarPrompt));
  }
  case kPtgFuncCE: {
    if (!oneByteFunctions)
      break;
    const std::uint8_t count = r.U8("byte");
    const std::uint8_t index = r.U8("byte");
    if (r.Short())
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
    r.Skip("unused", FBiff == TBiff::bf2 ? 3 : 4);
    const std::size_t cce = FBiff == TBiff::bf2 ? r.U8("byte") : r.U16("word");
    if (r.Short())
      return true;
    if (FListing != nullptr)
      Note("subexpression of " + Decimal(cce) + " bytes");
    return base == kPtgMemArea ? MemAreaData() : true;
  }
  case kPtgMemFunc:
  case kPtgMemAreaN:
  case kPtgMemNoMemN: {
    const std::size_t cce = FBiff == TBiff::bf2 ? r.U8("byte") : r.U16("word");
    if (r.Short())
      return true;
    if (FListing != nullptr)
      Note("subexpression of " + Decimal(cce) + " bytes");
    return true;
  }
  default:
    break;
  }
  return Fail(kMsgFormulaUnknownToken, {HexByte(ptg), Decimal(FTokenStart)});
}

// tAttr: option flags, then one data field (one byte in BIFF2, two after);
// tAttrChoose adds a jump table of (data + 1) such fields.
bool TFormulaDecoder::TState::Attr(TRecordCursor& r)
{
  const std::uint8_t flags = r.U8("byte");
  const bool biff2 = FBiff == TBiff::bf2;
  const std::uint16_t data = biff2 ? r.U8("byte") : r.U16("word");
  FTokenName = AttrName(flags);
  if (r.Short())
    return true;
  if (flags & kAttrChoose) {
    const std::size_t entries = std::size_t{data} + 1;
    const std::size_t entrySize = biff2 ? 1 : 2;
    if (entries > r.Remaining() / entrySize)
      return Truncated();
    r.Skip("unused", entries * entrySize);
    if (FListing != nullptr)
      Note(Decimal(data) + " choices");
    return true;
  }
  if (flags & kAttrSum) {
    if (!Pop(1))
      return false;
    PushCall("SUM", 1, false, false);
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
bool TFormulaDecoder::TState::String(TRecordCursor& r)
{
  const std::size_t count = r.U8("byte");
  FText8.clear();
  if (FBiff == TBiff::bf8) {
    const bool wide = (r.U8("byte") & 0x01) != 0;
    const auto bytes = r.Bytes("bytes", wide ? count * 2 : count);
    if (wide)
      AppendUtf16LeBytesAsUtf8(bytes, FText8);
    else
      AppendLatin1AsUtf8(bytes, FText8);
  } else {
    Append8Bit(r.Bytes("bytes", count), FText8);
  }
  if (r.Short())
    return true;
  const std::uint32_t begin = BeginText();
  AppendQuotedText(FExpression.Scratch, FText8);
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
  PushCall(info->Name, count, userDefined, prompt);
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

// tName: a one-based NAME number (then unused bytes: BIFF8 2, BIFF5 12,
// BIFF3-4 8, BIFF2 5). Between tSheet and tEndSheet (BIFF2-4) the number
// counts the EXTERNNAMEs of the selected EXTERNSHEET instead.
bool TFormulaDecoder::TState::Name(TRecordCursor& r)
{
  const std::uint16_t index = r.U16("word");
  switch (FBiff) {
  case TBiff::bf8: r.Skip("unused", 2); break;
  case TBiff::bf5: r.Skip("unused", 12); break;
  case TBiff::bf4:
  case TBiff::bf3: r.Skip("unused", 8); break;
  case TBiff::bf2: r.Skip("unused", 5); break;
  }
  if (r.Short())
    return true;
  const std::uint32_t begin = BeginText();
  if (FSheetRef > 0) {
    if (!AppendLinkName(FContext.ExternSheets[static_cast<std::size_t>(FSheetRef - 1)], index))
      return false;
  } else if (!AppendOwnName(index)) {
    return false;
  }
  PushText(begin);
  return true;
}
