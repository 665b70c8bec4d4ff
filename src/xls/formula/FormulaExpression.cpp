#include "xls/formula/FormulaDecoderState.h"

#include "xls/formula/FormulaMessages.h"

using namespace FormulaDecode;

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

