#pragma once

#include "expr/ExpNode.h"
#include "platform/Variant.h"

#include <memory>
#include <string>
#include <vector>

class TZymParser;

/// A user-defined function, declared as NAME=body or NAME(a, b, ...)=body.
/// Names in the body resolve to the built-ins, then the function's own
/// arguments (any case), then the owner component, if any; anything else is
/// its own text.
class TZymParserFunction : public TExpOwner {
public:
  /// Keeps `owner` (may be null); the owner must outlive the function.
  explicit TZymParserFunction(TZymParser* owner = nullptr) : FOwner(owner) {}
  virtual ~TZymParserFunction() = default;
  TZymParserFunction(const TZymParserFunction&) = delete;
  TZymParserFunction& operator=(const TZymParserFunction&) = delete;

  /// Reads the definition: the text before the first "=" is the header
  /// (read with the expression tokenizer), the rest the body, untrimmed.
  ///   header = word [ "(" [ name { "," name } ] ")" ]
  /// Numbers, operators and extra commas where a name is expected are passed
  /// over. A text without "=" leaves name and body empty and throws nothing.
  /// Throws EBiffLensError with kMsgFunctionNotValid (the whole definition)
  /// when the header does not start with a word, kMsgFunctionHeaderNotValid
  /// (the header) for a misplaced or missing parenthesis,
  /// kMsgDelimiterExpected for two names without a comma, and
  /// kMsgTooManyArgumentNames (the whole definition) for more than kMaxArgs
  /// names: their values would have no slot. On a throw the fields keep
  /// what was read before it.
  void SetDefinition(const std::string& text);

  /// Copies all kMaxArgs slots of a call's arguments; slot i belongs to ArgNames()[i].
  void SetArgs(const TExpArgs& args) { FArgValues = args; }
  /// Tokenizes, builds and evaluates the body with the current arguments.
  /// The body is read afresh at every call. Failures pass through.
  virtual TVariant Calculate();
  /// Resolves a name of the body: an argument name (any case) gives its
  /// value; otherwise the owner component's EvaluateFunction; otherwise
  /// `value` stays as it is.
  void ResolveName(const std::string& name, const TExpArgs& args, TVariant& value);

  const std::string& Definition() const { return FDefinition; }
  const std::string& Name() const { return FName; }
  const std::string& Body() const { return FBody; }
  TZymParser* Owner() const { return FOwner; }
  int ArgCount() const { return static_cast<int>(FArgNames.size()); }
  const std::vector<std::string>& ArgNames() const { return FArgNames; }
  const TExpArgs& ArgValues() const { return FArgValues; }

private:
  void ResolveOwnerName(const std::string& name, const TExpArgs& args, TVariant& value) override;

  std::string FDefinition;
  std::string FName;
  std::string FBody;
  TZymParser* FOwner;
  std::vector<std::string> FArgNames;
  TExpArgs FArgValues;
};

/// A list of user-defined functions that owns them; they are freed last first.
class TZymParserFunctions {
public:
  TZymParserFunctions() = default;
  ~TZymParserFunctions();
  TZymParserFunctions(const TZymParserFunctions&) = delete;
  TZymParserFunctions& operator=(const TZymParserFunctions&) = delete;

  /// Creates a function without owner from `definition` and appends it;
  /// returns its index. A failing definition adds nothing and its error passes on.
  int Add(const std::string& definition);
  /// Frees the function at `index`; EListError for an index with no entry.
  void Delete(int index);
  /// The function at `index`, or nullptr for an index with no entry.
  TZymParserFunction* Items(int index) const;
  /// The first function whose name equals `name` (a to z folded), or nullptr.
  TZymParserFunction* Find(const std::string& name) const;
  int Count() const { return static_cast<int>(FItems.size()); }

private:
  std::vector<std::unique_ptr<TZymParserFunction>> FItems;
};

/// The process-wide registry that TZymParser consults: the one of the
/// innermost live TExpressionModule, or nullptr when none lives (then no
/// name resolves through the registry).
TZymParserFunctions* ParserFunctions();

/// The evaluator's start-up and shutdown. `main` declares one first, so the
/// registry exists before any window and is freed after all of them. Its
/// construction creates a registry holding "SQR(x)=x*x", "SQRT(x)=x^(1/2)"
/// and "PI=3.14", in this order, and makes it ParserFunctions(); its end
/// frees it and brings back the registry that was current before (so a
/// command or a test can run with a registry of its own). Modules must end
/// in the reverse order of their creation.
class TExpressionModule {
public:
  TExpressionModule();
  ~TExpressionModule();
  TExpressionModule(const TExpressionModule&) = delete;
  TExpressionModule& operator=(const TExpressionModule&) = delete;

  TZymParserFunctions& Functions() { return *FFunctions; }

private:
  std::unique_ptr<TZymParserFunctions> FFunctions;
  TZymParserFunctions* FPrevious;
};

/// The evaluator component: evaluates Text(), answering names through
/// OnEvaluate and the registry.
class TZymParser : public TExpOwner {
public:
  TZymParser() = default;
  virtual ~TZymParser() = default;
  TZymParser(const TZymParser&) = delete;
  TZymParser& operator=(const TZymParser&) = delete;

  /// When true, the registry is asked before OnEvaluate. False at first.
  bool ProcessBeforeEvent() const { return FProcessBeforeEvent; }
  void SetProcessBeforeEvent(bool value) { FProcessBeforeEvent = value; }
  const std::string& Text() const { return FText; }
  void SetText(std::string text) { FText = std::move(text); }

  /// Answers names of trees this component owns (sender: the component).
  TOnEvaluate OnEvaluate;

  /// Resolves `name`. With ProcessBeforeEvent false: OnEvaluate first (if it
  /// sets done, that is the answer), then the registry. With it true: the
  /// registry first, then OnEvaluate. A registered function gets `args` and
  /// its result is the answer. Unresolved, `value` holds the name's text (or
  /// what a handler that did not set done left in it).
  void EvaluateFunction(const std::string& name, const TExpArgs& args, TVariant& value);

  /// Tokenizes, builds and evaluates Text() with this component as owner.
  /// The tree is built afresh at every call (Text may change between calls),
  /// and no node gets a handler of its own. Failures pass through.
  TVariant Calculate();

private:
  void ResolveOwnerName(const std::string& name, const TExpArgs& args, TVariant& value) override;

  bool FProcessBeforeEvent = false;
  std::string FText;
};
