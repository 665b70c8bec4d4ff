// The expression the tokens build, and its text. Tokens come in reverse
// Polish order; each operand on the stack is a chain of text pieces, and an
// operator links its operands' chains with pieces of its own in the order
// they are written, so the text of any formula is copied out once, in one
// walk, with no recursion a deep formula could exhaust and no second pass
// over a tree.

#include "xls/formula/FormulaDecoderState.h"

#include "xls/formula/FormulaMessages.h"

#include <algorithm>
#include <cassert>

using namespace FormulaDecode;

namespace {

// PtgAttrSpaceType: even types are spaces, odd ones line breaks; 4 and 5
// stand before a closing bracket, the others before what follows.
bool ClosingSpace(const TSpaceRun& run)
{
  return run.Type == kSpaceBeforeClose || run.Type == kSpaceBeforeCloseBreak;
}

}  // namespace

std::uint32_t TFormulaDecoder::TState::AddPiece(const TPiece& piece)
{
  FExpression.Pieces.push_back(piece);
  return static_cast<std::uint32_t>(FExpression.Pieces.size() - 1);
}

std::uint32_t TFormulaDecoder::TState::AddFixed(std::string_view text)
{
  TPiece& piece = FExpression.Pieces.emplace_back();
  piece.Kind = TPieceKind::pkFixed;
  piece.Fixed = text.data();
  piece.Size = static_cast<std::uint32_t>(text.size());
  return static_cast<std::uint32_t>(FExpression.Pieces.size() - 1);
}

void TFormulaDecoder::TState::Link(TChain& chain, std::uint32_t piece)
{
  std::vector<TPiece>& pieces = FExpression.Pieces;
  if (chain.Head == kNoPiece)
    chain.Head = piece;
  else
    pieces[chain.Tail].Next = piece;
  chain.Tail = piece;
  chain.Size += pieces[piece].Size;
  chain.FromFields += IsWrittenFromFields(pieces[piece]) ? 1 : 0;
}

void TFormulaDecoder::TState::Link(TChain& chain, TChain next)
{
  if (next.Head == kNoPiece)
    return;
  if (chain.Head == kNoPiece)
    chain.Head = next.Head;
  else
    FExpression.Pieces[chain.Tail].Next = next.Head;
  chain.Tail = next.Tail;
  chain.Size += next.Size;
  chain.FromFields += next.FromFields;
}

TChain TFormulaDecoder::TState::Bracketed(const TOperand& operand, bool brackets)
{
  if (!brackets)
    return operand.Text;
  TChain chain;
  Link(chain, AddFixed("("));
  Link(chain, operand.Text);
  Link(chain, AddFixed(")"));
  return chain;
}

// The tAttrSpace runs before a token belong to the operand it makes: to a
// bracket or call split into those before the opening and those before the
// closing bracket, to anything else all before its symbol or text.
TChain TFormulaDecoder::TState::SpacePieces(TSpacePart part)
{
  TChain chain;
  for (const TSpaceRun& run : FSpaces) {
    if (part == TSpacePart::spOpen && ClosingSpace(run))
      continue;
    if (part == TSpacePart::spClose && !ClosingSpace(run))
      continue;
    TPiece& piece = FExpression.Pieces.emplace_back();
    piece.Kind = TPieceKind::pkRun;
    piece.Size = run.Count;
    piece.Run = (run.Type & 1) != 0 ? '\n' : ' ';
    Link(chain, static_cast<std::uint32_t>(FExpression.Pieces.size() - 1));
  }
  return chain;
}

void TFormulaDecoder::TState::PushText(std::uint32_t begin, const TPiece* fromFields)
{
  TOperand& operand = FOperands.emplace_back();
  operand.Text = Spaces(TSpacePart::spAll);
  FSpaces.clear();
  const auto size = static_cast<std::uint32_t>(FExpression.Scratch.size()) - begin;
  // A reference without a sheet (or an integer) is its piece alone.
  if (size > 0 || fromFields == nullptr) {
    TPiece& text = FExpression.Pieces.emplace_back();
    text.Begin = begin;
    text.Size = size;
    operand.Plain = static_cast<std::uint32_t>(FExpression.Pieces.size() - 1);
    Link(operand.Text, operand.Plain);
  }
  if (fromFields != nullptr) {
    const std::uint32_t piece = AddPiece(*fromFields);
    if (operand.Plain == kNoPiece)
      operand.Plain = piece;
    Link(operand.Text, piece);
  }
  FMadeOperand = true;
}

bool TFormulaDecoder::TState::Pop(std::size_t count)
{
  if (count > FOperands.size())
    return FailHere(kMsgFormulaMissingOperand);
  return true;
}

// A weaker operand takes brackets; on the right one of equal strength too,
// as the operators group from the left: A1-(B1-C1).
void TFormulaDecoder::TState::PushBinary(std::string_view symbol, std::uint8_t precedence)
{
  assert(FOperands.size() >= 2 && "Pop(2) comes first");
  const TOperand right = FOperands.back();
  FOperands.pop_back();
  TOperand& left = FOperands.back();
  TChain chain = Bracketed(left, left.Precedence < precedence);
  Link(chain, Spaces(TSpacePart::spAll));
  FSpaces.clear();
  Link(chain, AddFixed(symbol));
  Link(chain, Bracketed(right, right.Precedence <= precedence));
  left = TOperand{chain, kNoPiece, precedence, false};
}

void TFormulaDecoder::TState::PushPrefix(std::string_view symbol)
{
  assert(!FOperands.empty() && "Pop(1) comes first");
  TOperand& operand = FOperands.back();
  TChain chain = Spaces(TSpacePart::spAll);
  FSpaces.clear();
  Link(chain, AddFixed(symbol));
  Link(chain, Bracketed(operand, operand.Precedence < kPrecPrefix));
  operand = TOperand{chain, kNoPiece, kPrecPrefix, false};
}

void TFormulaDecoder::TState::PushPostfix(std::string_view symbol)
{
  assert(!FOperands.empty() && "Pop(1) comes first");
  TOperand& operand = FOperands.back();
  TChain chain = Bracketed(operand, operand.Precedence < kPrecPercent);
  Link(chain, Spaces(TSpacePart::spAll));
  FSpaces.clear();
  Link(chain, AddFixed(symbol));
  operand = TOperand{chain, kNoPiece, kPrecPercent, false};
}

void TFormulaDecoder::TState::PushParen()
{
  assert(!FOperands.empty() && "Pop(1) comes first");
  TOperand& operand = FOperands.back();
  TChain chain = Spaces(TSpacePart::spOpen);
  const TChain closing = Spaces(TSpacePart::spClose);
  FSpaces.clear();
  Link(chain, AddFixed("("));
  Link(chain, operand.Text);
  Link(chain, closing);
  Link(chain, AddFixed(")"));
  operand = TOperand{chain, kNoPiece, kPrecAtom, false};
}

void TFormulaDecoder::TState::PushCall(std::string_view name, std::size_t count,
                                       bool userDefined, bool prompt)
{
  assert(count <= FOperands.size() && "Pop(count) comes first");
  const std::size_t first = FOperands.size() - count;
  TChain chain = Spaces(TSpacePart::spOpen);
  const TChain closing = Spaces(TSpacePart::spClose);
  FSpaces.clear();
  std::vector<TPiece>& pieces = FExpression.Pieces;
  const std::string_view scratch = FExpression.Scratch;
  // A piece of the scratch text that begins with `prefix`.
  auto startsWith = [&](std::uint32_t piece, std::string_view prefix) {
    return piece != kNoPiece && pieces[piece].Kind == TPieceKind::pkScratch &&
           scratch.substr(pieces[piece].Begin, pieces[piece].Size).starts_with(prefix);
  };
  std::size_t argument = first;
  if (userDefined) {
    // A user-defined call names its function with its first operand. A
    // function newer than the format is such a name too, "_xlfn.IFERROR",
    // and keeps its prefix: it is what the file stores and what Excel
    // 97-2003 shows.
    Link(chain, FOperands[argument++].Text);
  } else {
    Link(chain, AddFixed(name));
  }
  if (prompt)
    Link(chain, AddFixed("?"));
  Link(chain, AddFixed("("));
  for (std::size_t i = argument; i < FOperands.size(); ++i) {
    if (i > argument)
      Link(chain, AddFixed(","));
    // A union as an argument needs its own brackets: SUM((A1,B1)).
    Link(chain, Bracketed(FOperands[i], FOperands[i].Precedence == kPrecUnion));
  }
  Link(chain, closing);
  Link(chain, AddFixed(")"));

  // An assignment-style macro formula is SET.NAME("name", value) in the
  // tokens and "name=value" on the screen, when the call is all of it.
  bool setName = false;
  if (!userDefined && count == 2 && name == "SET.NAME" &&
      startsWith(FOperands[first].Plain, "\"")) {
    FSetName.Name = OwnText(FOperands[first]);
    FSetName.Value = FOperands[first + 1].Text;
    setName = true;
  }
  FOperands.resize(first);
  FOperands.push_back(TOperand{chain, kNoPiece, kPrecAtom, setName});
}

void TFormulaDecoder::TState::Finish()
{
  assert(FOperands.size() <= 1 && "one expression is left, or none");
  FExpression.Text = {};
  FExpression.Assignment = false;
  if (FOperands.empty())
    return;
  const TOperand& root = FOperands.back();
  FExpression.Text = root.Text;
  if (FAssignment && root.SetName) {
    FExpression.Assignment = true;
    FExpression.Name = FSetName.Name;
    FExpression.Value = FSetName.Value;
  }
}

char* TFormulaDecoder::TState::WriteChain(char* out, const TExpression& expression,
                                          TChain chain) const
{
  const std::vector<TPiece>& pieces = expression.Pieces;
  for (std::uint32_t p = chain.Head; p != kNoPiece; p = pieces[p].Next) {
    const TPiece& piece = pieces[p];
    switch (piece.Kind) {
    case TPieceKind::pkScratch:
      out = std::copy_n(expression.Scratch.data() + piece.Begin, piece.Size, out);
      break;
    case TPieceKind::pkFixed:
      out = std::copy_n(piece.Fixed, piece.Size, out);
      break;
    case TPieceKind::pkRun:
      out = std::fill_n(out, piece.Size, piece.Run);
      break;
    case TPieceKind::pkCell:
    case TPieceKind::pkArea:
      out = WriteReference(out, piece);
      break;
    case TPieceKind::pkInteger:
      out = WriteWholeNumber(out, piece.Row1);
      break;
    }
    if (p == chain.Tail)
      break;
  }
  return out;
}

void TFormulaDecoder::TState::AppendChain(std::string& out, const TExpression& expression,
                                          TChain chain) const
{
  const std::size_t start = out.size();
  out.resize(start + chain.Bound());
  out.resize(static_cast<std::size_t>(WriteChain(out.data() + start, expression, chain) -
                                      out.data()));
}

TChain TFormulaDecoder::TState::OwnText(const TOperand& operand) const
{
  TChain chain;
  if (operand.Plain == kNoPiece)
    return chain;
  chain.Head = operand.Plain;
  chain.Tail = operand.Text.Tail;
  const std::vector<TPiece>& pieces = FExpression.Pieces;
  for (std::uint32_t p = chain.Head; p != kNoPiece; p = pieces[p].Next) {
    chain.Size += pieces[p].Size;
    chain.FromFields += IsWrittenFromFields(pieces[p]) ? 1 : 0;
    if (p == chain.Tail)
      break;
  }
  return chain;
}

std::string TFormulaDecoder::TState::OperandText(const TOperand& operand) const
{
  std::string text;
  AppendChain(text, FExpression, OwnText(operand));
  return text;
}

// The text goes to a buffer of the decoder first, sized for the longest
// its pieces written from fields can be, and is checked against the bound
// there; the caller's string gets it in one piece (or nothing).
bool TFormulaDecoder::TState::WriteText(const TExpression& expression, std::string& out)
{
  auto tooLong = [&] { return Fail(kMsgFormulaTooLong, {Decimal(kMaxTextBytes)}); };
  if (expression.Assignment) {
    // The name without its quotes, doubled quotes single: myname=1.
    if (expression.Value.Size > kMaxTextBytes)
      return tooLong();
    FNameText.clear();
    AppendChain(FNameText, expression, expression.Name);
    const std::string_view quoted = FNameText;
    FOut.clear();
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
      FOut += quoted[i];
      if (quoted[i] == '"')
        ++i;
    }
    FOut += '=';
    AppendChain(FOut, expression, expression.Value);
    if (FOut.size() > kMaxTextBytes)
      return tooLong();
    out += FOut;
    return true;
  }
  // The text's pieces are a lower bound of its length.
  if (expression.Text.Size > kMaxTextBytes)
    return tooLong();
  const std::size_t bound = expression.Text.Bound();
  if (FOut.size() < bound)
    FOut.resize(bound);
  const std::size_t size =
      static_cast<std::size_t>(WriteChain(FOut.data(), expression, expression.Text) - FOut.data());
  if (size > kMaxTextBytes)
    return tooLong();
  out.append(FOut.data(), size);
  return true;
}
