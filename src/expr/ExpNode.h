#pragma once

#include "expr/ExpParser.h"
#include "platform/Variant.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class TExpNode;
class TZymParser;

/// Slots of a call's argument array: the written arguments, evaluated, in
/// order, then empty values.
inline constexpr std::size_t kMaxArgs = 11;
using TExpArgs = std::array<TVariant, kMaxArgs>;

/// Deepest node level that building accepts (the root is level 0). Building
/// and evaluation recurse once per level; past this, building fails with
/// kMsgNestedTooDeeply instead of running out of stack.
inline constexpr int kMaxNodeLevel = 400;

/// Who asks an OnEvaluate handler: the component, or a node with its own handler.
using TEvaluateSender = std::variant<const TZymParser*, const TExpNode*>;

/// Answers a name. `value` holds the name's text on entry and receives the
/// result; `done` is false on entry, and a handler sets it to stop further
/// resolution. `args` are always all kMaxArgs slots; `argCount` is kMaxArgs.
using TOnEvaluate = std::function<void(TEvaluateSender sender, const std::string& eval,
                                       const TExpArgs& args, int argCount, TVariant& value,
                                       bool& done)>;

/// The object that resolves the names a tree does not know: a TZymParser or
/// a TZymParserFunction.
class TExpOwner {
public:
  /// `value` holds the name's text on entry; leaving it so means unresolved.
  virtual void ResolveOwnerName(const std::string& name, const TExpArgs& args, TVariant& value) = 0;

protected:
  TExpOwner() = default;
  ~TExpOwner() = default;
  TExpOwner(const TExpOwner&) = default;
  TExpOwner& operator=(const TExpOwner&) = default;
};

/// A node of the syntax tree. Owns its children; keeps pointers to tokens
/// owned by a TExpParser, which must outlive the node. After Build every node
/// holds one token (an operator with [left, right] or, in first position,
/// [operand]; a call with one child per argument; a leaf) or none (the node
/// of "()", an empty operand or argument, an empty expression).
class TExpNode {
public:
  /// Takes the token references; the one token of a one-token list becomes Token().
  TExpNode(TExpOwner* owner, std::vector<TExpToken*> tokens, TExpNode* parent);
  ~TExpNode();
  TExpNode(const TExpNode&) = delete;
  TExpNode& operator=(const TExpNode&) = delete;

  /// Builds the tree from the node's tokens, recursively:
  ///   node = "(" node ")"               stripped while the pair encloses all
  ///        | node? operator node?       split at FindOperator()
  ///        | word "(" args ")"          BuildFunctionCall()
  ///        | token | nothing            a leaf
  /// Throws EBiffLensError with kMsgSyntaxFault, kMsgParenthesisMismatch,
  /// kMsgFunctionParseError, kMsgNestedTooDeeply (level past kMaxNodeLevel) or
  /// kMsgTooManyArguments (a call of more than kMaxArgs arguments). On a throw
  /// the partial tree stays owned by this node.
  void Build();

  /// Deletes enclosing parenthesis pairs: "((a+b))" loses both, "(a)+(b)" none.
  void StripParentheses();
  /// Index of the split operator among the tokens: the smallest table position
  /// at parenthesis depth 0 (unknown operator texts have position 0); among
  /// equals the rightmost for "+", "-", "*", "/" (left to right grouping) and
  /// the leftmost otherwise. Throws kMsgParenthesisMismatch when a ")" closes
  /// more than was opened.
  std::optional<std::size_t> FindOperator() const;
  /// Moves the tokens after `index` into a new first child (built first), the
  /// tokens before it, if any, into a child ahead of that; keeps the operator.
  void SplitAt(std::size_t index);
  /// word "(" ... ")" with at least 4 tokens: the word becomes Token() and
  /// each comma-separated argument a built child. False when the tokens are
  /// no call. Throws kMsgFunctionParseError, kMsgTooManyArguments.
  bool BuildFunctionCall();

  TExpOwner* Owner() const { return FOwner; }
  TExpNode* Parent() const { return FParent; }
  const std::vector<std::unique_ptr<TExpNode>>& Children() const { return FChildren; }
  const std::vector<TExpToken*>& Tokens() const { return FTokens; }
  int Level() const { return FLevel; }
  TExpToken* Token() const { return FToken; }

  /// A handler that a call at this node asks instead of its owner. Building
  /// never sets one, and children do not inherit it.
  TOnEvaluate OnEvaluate;

private:
  std::unique_ptr<TExpNode> MakeChild(std::vector<TExpToken*> tokens);

  TExpOwner* FOwner;
  TExpNode* FParent;
  std::vector<std::unique_ptr<TExpNode>> FChildren;
  std::vector<TExpToken*> FTokens;
  int FLevel;
  TExpToken* FToken = nullptr;
};
