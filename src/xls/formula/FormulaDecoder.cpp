#include "xls/formula/FormulaDecoder.h"

#include "xls/formula/FormulaDecoderState.h"
#include "xls/formula/FormulaMessages.h"
#include "xls/decode/FormulaText.h"

#include <algorithm>
#include <array>
#include <charconv>

using namespace FormulaDecode;

namespace FormulaDecode {

namespace {

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

}  // namespace

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

std::string Decimal(std::size_t value)
{
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace FormulaDecode

std::string_view TFormulaDecoder::TState::CurrentTokenName() const
{
  return FTokenName.empty() ? TokenName(FPtg) : FTokenName;
}

bool TFormulaDecoder::TState::Fail(const char* message,
                                   std::initializer_list<std::string_view> args)
{
  FError = FormatFormulaMessage(message, args);
  return false;
}

bool TFormulaDecoder::TState::FailHere(const char* message)
{
  return Fail(message, {CurrentTokenName(), Decimal(FTokenStart)});
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

// Rgce: tokens in reverse Polish order. Each operand token pushes an
// operand, each operator pops its operands and pushes one made of them;
// tAttrSpace runs wait for the next operand, control tokens push nothing.
// A valid formula leaves one operand.
bool TFormulaDecoder::TState::Parse(std::span<const std::uint8_t> tokens,
                                    std::span<const std::uint8_t> extra, TFormulaKind kind,
                                    std::vector<TFormulaToken>* listing)
{
  FBiff = BiffOf(FContext.Version);
  FTokens = tokens;
  FExtra = extra;
  FExtraPos = 0;
  FKind = kind;
  FListing = listing;
  FSheetRef = 0;
  FAssignment = false;
  FError.clear();
  FOperands.clear();
  FSpaces.clear();
  FExpression.Pieces.clear();
  FExpression.Scratch.clear();
  FExpression.Slots.clear();
  if (listing != nullptr)
    listing->clear();

  // One reader for all tokens: a token that reads past the end fails it,
  // which ends the loop.
  TRecordCursor r(tokens);
  while (r.Remaining() > 0) {
    const std::size_t pos = r.Position();
    FTokenStart = pos;
    FPtg = r.U8("byte");
    FTokenName = {};
    FMadeOperand = false;
    // The token's entry goes first, its constant data (listed by the token
    // handler) after it.
    std::size_t entry = 0;
    if (listing != nullptr) {
      FNote.clear();
      entry = listing->size();
      listing->push_back({pos, 0, {}, {}});
    }
    const bool classified = (FPtg & kPtgClassMask) != 0 && (FPtg & kPtgUnknownMask) == 0;
    const bool ok = classified ? ClassToken(FPtg, ClassBase(FPtg), r) : Token(FPtg, r);
    if (ok && r.Short())
      Truncated();
    const bool read = ok && !r.Short();
    if (listing != nullptr) {
      TFormulaToken& listed = (*listing)[entry];
      listed.Size = (read ? r.Position() : tokens.size()) - pos;
      listed.Name = CurrentTokenName();
      listed.Operand = FMadeOperand ? OperandText(FOperands.back()) : FNote;
    }
    if (!read)
      return false;
    if (FExpression.Scratch.size() > kMaxTextBytes)
      return Fail(kMsgFormulaTooLong, {Decimal(kMaxTextBytes)});
  }
  if (FOperands.size() > 1 || (FOperands.empty() && !tokens.empty()))
    return Fail(kMsgFormulaNotOneExpression, {Decimal(FOperands.size())});
  Finish();
  return true;
}

bool TFormulaDecoder::TState::Decode(std::span<const std::uint8_t> tokens,
                                     std::span<const std::uint8_t> extra, TFormulaCell cell,
                                     TFormulaKind kind, std::string& text, std::string& error,
                                     std::vector<TFormulaToken>* listing)
{
  FCell = cell;
  // A listing needs every token read; a text alone may come from tokens
  // read before.
  const TExpression* expression = nullptr;
  if (listing != nullptr)
    expression = Parse(tokens, extra, kind, listing) ? &FExpression : nullptr;
  else
    expression = KeptExpression(tokens, extra, kind);
  if (expression == nullptr || !WriteText(*expression, text)) {
    error.assign(FError);
    return false;
  }
  error.clear();
  return true;
}

void TFormulaDecoder::TState::AddSlot(std::size_t offset, std::size_t size,
                                      TSlotField field)
{
  FExpression.Slots.push_back({static_cast<std::uint32_t>(offset),
                               static_cast<std::uint32_t>(FExpression.Pieces.size() - 1),
                               static_cast<std::uint8_t>(size), field});
}

bool TFormulaDecoder::TState::EqualButSlots(const TKept& kept,
                                            std::span<const std::uint8_t> tokens) const
{
  // The slots lie in order.
  std::size_t at = 0;
  for (const TFieldSlot& slot : kept.Expression.Slots) {
    if (!std::equal(tokens.begin() + at, tokens.begin() + slot.Offset, kept.Tokens.begin() + at))
      return false;
    at = slot.Offset + slot.Size;
  }
  return std::equal(tokens.begin() + at, tokens.end(), kept.Tokens.begin() + at);
}

// What tokens leave depends on their bytes alone (the cell matters only to
// the references, which are written with the text; the context does not
// change while the decoder is in use), and a field slot's bytes only to
// its piece. So tokens equal to kept ones but in their slots leave the
// kept expression with those pieces' fields set anew.
const TFormulaDecoder::TState::TExpression* TFormulaDecoder::TState::KeptExpression(
    std::span<const std::uint8_t> tokens, std::span<const std::uint8_t> extra, TFormulaKind kind)
{
  FBiff = BiffOf(FContext.Version);
  for (TKept& kept : FKept) {
    if (!kept.Used || kept.Biff != FBiff || kept.Kind != kind ||
        kept.Tokens.size() != tokens.size() || !std::ranges::equal(kept.Extra, extra))
      continue;
    // The same bytes (a shared formula's next cell): the pieces hold them.
    if (std::ranges::equal(kept.Tokens, tokens))
      return &kept.Expression;
    if (!EqualButSlots(kept, tokens))
      continue;
    kept.Tokens.assign(tokens.begin(), tokens.end());
    for (const TFieldSlot& slot : kept.Expression.Slots) {
      auto value = static_cast<std::uint16_t>(tokens[slot.Offset]);
      if (slot.Size == 2)
        value = static_cast<std::uint16_t>(value | tokens[slot.Offset + 1] << 8);
      TPiece& piece = kept.Expression.Pieces[slot.Piece];
      switch (slot.Field) {
      case TSlotField::sfRow1: piece.Row1 = value; break;
      case TSlotField::sfColumn1: piece.Column1 = value; break;
      case TSlotField::sfRow2: piece.Row2 = value; break;
      case TSlotField::sfColumn2: piece.Column2 = value; break;
      }
    }
    return &kept.Expression;
  }
  if (!Parse(tokens, extra, kind, nullptr))
    return nullptr;
  TKept& kept = FKept[FNextKept];
  FNextKept = (FNextKept + 1) % FKept.size();
  kept.Used = true;
  kept.Biff = FBiff;
  kept.Kind = kind;
  kept.Tokens.assign(tokens.begin(), tokens.end());
  kept.Extra.assign(extra.begin(), extra.end());
  // The kept buffers become the next parse's, so neither side allocates
  // once both have grown.
  std::swap(kept.Expression, FExpression);
  return &kept.Expression;
}

// A cell formula that is a tExp or tTbl token shows its master's formula.
bool TFormulaDecoder::TState::DecodeCell(std::span<const std::uint8_t> tokens,
                                         std::span<const std::uint8_t> extra, TFormulaCell cell,
                                         const TSharedFormulaIndex& masters, std::string& text,
                                         std::string& error, std::vector<TFormulaToken>* listing)
{
  if (tokens.empty() || (tokens[0] != kPtgExp && tokens[0] != kPtgTbl))
    return Decode(tokens, extra, cell, TFormulaKind::fkCell, text, error, listing);

  FBiff = BiffOf(FContext.Version);
  const bool table = tokens[0] == kPtgTbl;
  TRecordCursor r(tokens);
  r.Seek(1);
  const std::uint16_t row = r.U16("word");
  const std::uint16_t column = FBiff == TBiff::bf2 ? r.U8("byte") : r.U16("word");
  const TFormulaCell anchor{row, column};
  if (listing != nullptr) {
    listing->clear();
    TFormulaToken entry;
    entry.Size = r.Short() ? tokens.size() : r.Position();
    entry.Name = TokenName(tokens[0]);
    if (!r.Short())
      entry.Operand = CellName(row, column);
    listing->push_back(std::move(entry));
  }
  if (r.Short()) {
    error = FormatFormulaMessage(kMsgFormulaTruncated, {TokenName(tokens[0]), "0"});
    return false;
  }
  const std::optional<TFormulaMaster> master = masters.Find(anchor, cell);
  if (!master || (master->Kind == TMasterKind::mkTable) != table) {
    error = FormatFormulaMessage(kMsgFormulaMasterMissing, {CellName(row, column)});
    return false;
  }
  switch (master->Kind) {
  case TMasterKind::mkShared:
  case TMasterKind::mkArray: {
    // Every cell of an array formula shows the same text, seen from its
    // first cell; a shared formula's references are seen from the cell.
    const bool shared = master->Kind == TMasterKind::mkShared;
    const TExpression* expression = KeptExpression(
        master->Tokens, master->Extra, shared ? TFormulaKind::fkShared : TFormulaKind::fkCell);
    FCell = shared ? cell : master->First;
    if (expression == nullptr || !WriteText(*expression, text)) {
      error.assign(FError);
      return false;
    }
    error.clear();
    return true;
  }
  case TMasterKind::mkTable:
    break;
  }
  // {=TABLE(row input, column input)}; a one-input table leaves the other
  // argument empty.
  const std::uint16_t flags = master->TableFlags;
  auto input = [&](const TFormulaCell& at, std::uint16_t deletedFlag) {
    if (flags & deletedFlag)
      text += "#REF!";
    else
      AppendCellReference(text, at.Row, at.Column);
  };
  text += "TABLE(";
  if (flags & kTableTwoInputs) {
    input(master->FirstInput, kTableFirstDeleted);
    text += ',';
    input(master->SecondInput, kTableSecondDeleted);
  } else if (flags & kTableRowInput) {
    input(master->FirstInput, kTableFirstDeleted);
    text += ',';
  } else {
    text += ',';
    input(master->FirstInput, kTableFirstDeleted);
  }
  text += ')';
  error.clear();
  return true;
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
  TFormulaResult result;
  FState->Decode(tokens, extra, cell, kind, result.Text, result.Error, listing);
  return result;
}

TFormulaResult TFormulaDecoder::DecodeCell(std::span<const std::uint8_t> tokens,
                                           std::span<const std::uint8_t> extra,
                                           TFormulaCell cell, const TSharedFormulaIndex& masters,
                                           std::vector<TFormulaToken>* listing)
{
  TFormulaResult result;
  FState->DecodeCell(tokens, extra, cell, masters, result.Text, result.Error, listing);
  return result;
}

bool TFormulaDecoder::DecodeInto(std::span<const std::uint8_t> tokens,
                                 std::span<const std::uint8_t> extra, TFormulaCell cell,
                                 TFormulaKind kind, std::string& text, std::string& error,
                                 std::vector<TFormulaToken>* listing)
{
  return FState->Decode(tokens, extra, cell, kind, text, error, listing);
}

bool TFormulaDecoder::DecodeCellInto(std::span<const std::uint8_t> tokens,
                                     std::span<const std::uint8_t> extra, TFormulaCell cell,
                                     const TSharedFormulaIndex& masters, std::string& text,
                                     std::string& error, std::vector<TFormulaToken>* listing)
{
  return FState->DecodeCell(tokens, extra, cell, masters, text, error, listing);
}
