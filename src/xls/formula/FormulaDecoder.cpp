#include "xls/formula/FormulaDecoder.h"

#include "xls/formula/FormulaDecoderState.h"
#include "xls/formula/FormulaMessages.h"
#include "xls/formula/FormulaText.h"

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

}  // namespace FormulaDecode

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
