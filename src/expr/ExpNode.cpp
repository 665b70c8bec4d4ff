#include "expr/ExpNode.h"

#include "expr/ExprMessages.h"
#include "platform/Errors.h"

namespace {

bool IsParenthesis(const TExpToken* token, char text)
{
  return token->Kind == TExpTokenKind::etParenthesis && token->Text.size() == 1 &&
         token->Text[0] == text;
}

int DepthChange(const TExpToken* token)
{
  if (IsParenthesis(token, '('))
    return 1;
  if (IsParenthesis(token, ')'))
    return -1;
  return 0;
}

/// "+", "-", "*" and "/" group left to right: 10-3-2 is (10-3)-2, so a chain
/// of them splits at its rightmost member. "^" keeps the leftmost: 2^3^2 is 2^9.
bool GroupsLeftToRight(std::string_view text)
{
  return text == "+" || text == "-" || text == "*" || text == "/";
}

}  // namespace

TExpNode::TExpNode(TExpOwner* owner, std::vector<TExpToken*> tokens, TExpNode* parent)
    : FOwner(owner), FParent(parent), FTokens(std::move(tokens)),
      FLevel(parent == nullptr ? 0 : parent->FLevel + 1)
{
  if (FTokens.size() == 1)
    FToken = FTokens.front();
}

TExpNode::~TExpNode()
{
  // Children go last first.
  while (!FChildren.empty())
    FChildren.pop_back();
}

void TExpNode::Build()
{
  if (FLevel > kMaxNodeLevel)
    throw EBiffLensError(kMsgNestedTooDeeply);
  if (FTokens.size() < 2)
    return;
  StripParentheses();
  if (FTokens.size() < 2) {
    FToken = FTokens.empty() ? nullptr : FTokens.front();
    return;
  }
  if (const std::optional<std::size_t> split = FindOperator()) {
    SplitAt(*split);
    return;
  }
  if (!BuildFunctionCall())
    throw EBiffLensError(kMsgSyntaxFault);
}

void TExpNode::StripParentheses()
{
  while (FTokens.size() >= 2 && IsParenthesis(FTokens.front(), '(') &&
         IsParenthesis(FTokens.back(), ')')) {
    // The first "(" must be closed by the last ")", not earlier: (a)+(b).
    int depth = 0;
    for (std::size_t i = 0; i + 1 < FTokens.size(); ++i) {
      depth += DepthChange(FTokens[i]);
      if (depth == 0)
        return;
    }
    FTokens.pop_back();
    FTokens.erase(FTokens.begin());
  }
}

std::optional<std::size_t> TExpNode::FindOperator() const
{
  std::optional<std::size_t> best;
  int bestPosition = 0;
  int depth = 0;
  for (std::size_t i = 0; i < FTokens.size(); ++i) {
    const TExpToken* token = FTokens[i];
    depth += DepthChange(token);
    if (depth < 0)
      throw EBiffLensError(kMsgParenthesisMismatch);
    if (depth != 0 || token->Kind != TExpTokenKind::etOperator)
      continue;
    const int position = OperatorPosition(token->Text);
    if (!best || position < bestPosition ||
        (position == bestPosition && GroupsLeftToRight(token->Text))) {
      best = i;
      bestPosition = position;
    }
  }
  return best;
}

void TExpNode::SplitAt(std::size_t index)
{
  TExpToken* const op = FTokens[index];
  std::vector<TExpToken*> right(FTokens.begin() + static_cast<std::ptrdiff_t>(index) + 1, FTokens.end());
  std::vector<TExpToken*> left(FTokens.begin(), FTokens.begin() + static_cast<std::ptrdiff_t>(index));
  FTokens.assign(1, op);
  FToken = op;
  // The right operand is made and built first, then put behind the left one.
  FChildren.insert(FChildren.begin(), MakeChild(std::move(right)));
  if (index > 0)
    FChildren.insert(FChildren.begin(), MakeChild(std::move(left)));
}

bool TExpNode::BuildFunctionCall()
{
  if (FTokens.size() < 4 || FTokens[0]->Kind != TExpTokenKind::etWord ||
      FTokens[1]->Kind != TExpTokenKind::etParenthesis ||
      FTokens.back()->Kind != TExpTokenKind::etParenthesis)
    return false;
  TExpToken* const name = FTokens[0];
  FToken = name;
  // Only the name stays; the arguments are read from the rest.
  const std::vector<TExpToken*> rest(FTokens.begin() + 2, FTokens.end() - 1);
  FTokens.assign(1, name);

  std::size_t from = 0;
  while (from < rest.size()) {
    int depth = 0;
    std::size_t end = rest.size();
    std::size_t next = rest.size();
    for (std::size_t i = from; i < rest.size(); ++i) {
      depth += DepthChange(rest[i]);
      if (depth < 0)
        throw EBiffLensError(kMsgFunctionParseError);
      if (depth == 0 && rest[i]->Kind == TExpTokenKind::etComma) {
        end = i;
        next = i + 1;
        break;
      }
    }
    if (FChildren.size() == kMaxArgs)
      throw EBiffLensError(FormatExprMessage(kMsgTooManyArguments, name->Text));
    FChildren.push_back(MakeChild(std::vector<TExpToken*>(
        rest.begin() + static_cast<std::ptrdiff_t>(from), rest.begin() + static_cast<std::ptrdiff_t>(end))));
    from = next;
  }
  return true;
}

std::unique_ptr<TExpNode> TExpNode::MakeChild(std::vector<TExpToken*> tokens)
{
  auto child = std::make_unique<TExpNode>(FOwner, std::move(tokens), this);
  child->Build();
  return child;
}
