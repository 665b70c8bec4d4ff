#include "expr/ZymParser.h"

#include "platform/text/AsciiText.h"
#include "expr/Evaluate.h"
#include "expr/ExprMessages.h"
#include "platform/Errors.h"

namespace {

TZymParserFunctions*& CurrentRegistry()
{
  static TZymParserFunctions* registry = nullptr;
  return registry;
}

/// Tokenizes, builds and evaluates `text` for `owner`. The parser is declared
/// first so that it outlives the tree built on its tokens.
TVariant EvaluateText(const std::string& text, TExpOwner* owner)
{
  TExpParser parser;
  parser.SetText(text);
  parser.Tokenize();
  TExpNode root(owner, parser.TokenList(), nullptr);
  root.Build();
  return Evaluate(root);
}

bool IsParenthesis(const TExpToken& token)
{
  return token.Kind == TExpTokenKind::etParenthesis;
}

}  // namespace

// ---- TZymParserFunction ----

void TZymParserFunction::SetDefinition(const std::string& text)
{
  FArgNames.clear();
  FDefinition = text;
  FBody.clear();
  FName.clear();
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos)
    return;
  const std::string header = text.substr(0, equals);
  FBody = text.substr(equals + 1);

  TExpParser parser;
  parser.SetText(header);
  const TExpToken* token = parser.FirstToken();
  if (token == nullptr || token->Kind != TExpTokenKind::etWord)
    throw EBiffLensError(FormatExprMessage(kMsgFunctionNotValid, text));
  FName = token->Text;

  token = parser.NextToken();
  if (token == nullptr)
    return;
  bool listOpen = false;
  if (IsParenthesis(*token)) {
    if (token->Text != "(")
      throw EBiffLensError(FormatExprMessage(kMsgFunctionHeaderNotValid, header));
    listOpen = true;
  }
  // Otherwise that token is passed over: a header without parentheses.

  bool nameExpected = true;
  while ((token = parser.NextToken()) != nullptr) {
    if (IsParenthesis(*token)) {
      if (listOpen && token->Text == ")")
        return;  // what follows the list is not read
      throw EBiffLensError(FormatExprMessage(kMsgFunctionHeaderNotValid, header));
    }
    if (!nameExpected) {
      if (token->Kind != TExpTokenKind::etComma)
        throw EBiffLensError(kMsgDelimiterExpected);
      nameExpected = true;
      continue;
    }
    if (token->Kind != TExpTokenKind::etWord)
      continue;  // a number, operator or comma where a name belongs is passed over
    if (FArgNames.size() == kMaxArgs)
      throw EBiffLensError(FormatExprMessage(kMsgTooManyArgumentNames, text));
    FArgNames.push_back(token->Text);
    nameExpected = false;
  }
  if (listOpen)
    throw EBiffLensError(FormatExprMessage(kMsgFunctionHeaderNotValid, header));
}

TVariant TZymParserFunction::Calculate()
{
  return EvaluateText(FBody, this);
}

void TZymParserFunction::ResolveName(const std::string& name, const TExpArgs& args, TVariant& value)
{
  for (std::size_t i = 0; i < FArgNames.size(); ++i) {
    if (EqualsIgnoringAsciiCase(FArgNames[i], name)) {
      value = FArgValues[i];
      return;
    }
  }
  if (FOwner != nullptr)
    FOwner->EvaluateFunction(name, args, value);
}

void TZymParserFunction::ResolveOwnerName(const std::string& name, const TExpArgs& args, TVariant& value)
{
  ResolveName(name, args, value);
}

// ---- TZymParserFunctions ----

TZymParserFunctions::~TZymParserFunctions()
{
  while (!FItems.empty())
    FItems.pop_back();
}

int TZymParserFunctions::Add(const std::string& definition)
{
  auto function = std::make_unique<TZymParserFunction>(nullptr);
  function->SetDefinition(definition);
  FItems.push_back(std::move(function));
  return Count() - 1;
}

void TZymParserFunctions::Delete(int index)
{
  if (index < 0 || index >= Count())
    throw EListError(index);
  FItems.erase(FItems.begin() + index);
}

TZymParserFunction* TZymParserFunctions::Items(int index) const
{
  if (index < 0 || index >= Count())
    return nullptr;
  return FItems[static_cast<std::size_t>(index)].get();
}

TZymParserFunction* TZymParserFunctions::Find(const std::string& name) const
{
  for (const auto& function : FItems)
    if (EqualsIgnoringAsciiCase(function->Name(), name))
      return function.get();
  return nullptr;
}

// ---- Registry lifetime ----

TZymParserFunctions* ParserFunctions()
{
  return CurrentRegistry();
}

TExpressionModule::TExpressionModule()
    : FFunctions(std::make_unique<TZymParserFunctions>()), FPrevious(CurrentRegistry())
{
  FFunctions->Add("SQR(x)=x*x");
  FFunctions->Add("SQRT(x)=x^(1/2)");
  FFunctions->Add("PI=3.14");
  CurrentRegistry() = FFunctions.get();
}

TExpressionModule::~TExpressionModule()
{
  CurrentRegistry() = FPrevious;
}

// ---- TZymParser ----

void TZymParser::EvaluateFunction(const std::string& name, const TExpArgs& args, TVariant& value)
{
  bool done = false;
  if (!FProcessBeforeEvent && OnEvaluate) {
    OnEvaluate(TEvaluateSender(this), name, args, static_cast<int>(kMaxArgs), value, done);
    if (done)
      return;
  } else {
    value = TVariant(name);
  }
  if (TZymParserFunctions* registry = ParserFunctions()) {
    if (TZymParserFunction* function = registry->Find(name)) {
      function->SetArgs(args);
      value = function->Calculate();
      return;
    }
  }
  if (FProcessBeforeEvent && OnEvaluate)
    OnEvaluate(TEvaluateSender(this), name, args, static_cast<int>(kMaxArgs), value, done);
}

TVariant TZymParser::Calculate()
{
  return EvaluateText(FText, this);
}

void TZymParser::ResolveOwnerName(const std::string& name, const TExpArgs& args, TVariant& value)
{
  EvaluateFunction(name, args, value);
}
