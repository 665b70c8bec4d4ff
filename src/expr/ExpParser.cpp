#include "expr/ExpParser.h"

#include "expr/ExprMessages.h"
#include "platform/Environment.h"
#include "platform/Errors.h"

namespace {

bool IsQuote(char c)
{
  return c == '"' || c == '\'';
}

bool IsDigit(char c)
{
  return c >= '0' && c <= '9';
}

}  // namespace

int OperatorPosition(std::string_view text)
{
  for (std::size_t i = 0; i < OperatorTable.size(); ++i)
    if (OperatorTable[i].Text == text)
      return static_cast<int>(i) + 1;
  return 0;
}

int OperatorOperands(std::string_view text)
{
  const int position = OperatorPosition(text);
  return position == 0 ? 0 : OperatorTable[static_cast<std::size_t>(position) - 1].Operands;
}

bool IsNumeric(std::string_view text)
{
  std::string normal(text);
  const char separator = CurrentLocale().DecimalSeparator;
  if (separator != '.') {
    const std::size_t at = normal.find(separator);
    if (at != std::string::npos)
      normal[at] = '.';
  }
  std::size_t i = 0;
  while (i < normal.size() && normal[i] == ' ')
    ++i;
  if (i < normal.size() && (normal[i] == '+' || normal[i] == '-'))
    ++i;
  if (i == normal.size())
    return false;
  while (i < normal.size() && IsDigit(normal[i]))
    ++i;
  if (i < normal.size() && normal[i] == '.') {
    ++i;
    while (i < normal.size() && IsDigit(normal[i]))
      ++i;
  }
  if (i < normal.size() && (normal[i] == 'E' || normal[i] == 'e')) {
    ++i;
    if (i < normal.size() && (normal[i] == '+' || normal[i] == '-'))
      ++i;
    const std::size_t digitsFrom = i;
    while (i < normal.size() && IsDigit(normal[i]))
      ++i;
    if (i == digitsFrom)
      return false;
  }
  return i == normal.size();
}

TExpTokenKind ClassifyToken(std::string_view text)
{
  if (text == "(" || text == ")")
    return TExpTokenKind::etParenthesis;
  if (text == ",")
    return TExpTokenKind::etComma;
  if (OperatorPosition(text) != 0)
    return TExpTokenKind::etOperator;
  if (IsNumeric(text))
    return TExpTokenKind::etNumber;
  if (text == " ")
    return TExpTokenKind::etNone;
  return TExpTokenKind::etWord;
}

void TExpParser::SetText(std::string_view text)
{
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
    text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
    text.remove_suffix(1);
  FText = text;
}

TExpToken* TExpParser::FirstToken()
{
  ClearTokens();
  FPosition = 1;
  return NextToken();
}

// token = blank* ( "(" | ")" | run ). Positions are 1-based, as in messages.
TExpToken* TExpParser::NextToken()
{
  if (FPosition > FText.size())
    return nullptr;
  char c = 0;
  std::size_t start = 0;
  do {
    start = FPosition;
    c = FText[FPosition - 1];
    ++FPosition;
  } while (c == ' ' && FPosition <= FText.size());

  const TExpTokenKind startKind = ClassifyToken(std::string_view(&c, 1));
  if (startKind == TExpTokenKind::etNone)
    throw EBiffLensError(FormatExprMessage(kMsgIllegalCharacter, std::string(1, c),
                                           static_cast<long long>(start)));
  if (startKind == TExpTokenKind::etParenthesis)
    return AddToken(std::string(1, c), startKind, start);

  std::string buffer(1, c);
  const bool quoted = IsQuote(c);
  bool inQuotes = quoted;
  if (quoted)
    buffer.clear();
  TExpTokenKind current = startKind;
  while (FPosition <= FText.size()) {
    const char d = FText[FPosition - 1];
    if (!inQuotes)
      current = ClassifyToken(std::string_view(&d, 1));
    // A word takes digits (x1); every other change of class ends the run.
    if (current != startKind &&
        !(startKind == TExpTokenKind::etWord && current == TExpTokenKind::etNumber)) {
      const TExpTokenKind kind =
          !quoted && OperatorPosition(buffer) != 0 ? TExpTokenKind::etOperator : startKind;
      return AddToken(std::move(buffer), kind, start);
    }
    if (inQuotes && IsQuote(d))
      inQuotes = false;
    else
      buffer += d;
    ++FPosition;
  }
  // Deliberately no operator lookup here: "AND" as the last token is a word.
  return AddToken(std::move(buffer), startKind, start);
}

void TExpParser::ClearTokens()
{
  while (!FTokens.empty())
    FTokens.pop_back();
}

void TExpParser::Tokenize()
{
  for (TExpToken* token = FirstToken(); token != nullptr; token = NextToken()) {
  }
}

std::vector<TExpToken*> TExpParser::TokenList() const
{
  std::vector<TExpToken*> list;
  list.reserve(FTokens.size());
  for (const auto& token : FTokens)
    list.push_back(token.get());
  return list;
}

TExpToken* TExpParser::AddToken(std::string text, TExpTokenKind kind, std::size_t position)
{
  FTokens.push_back(std::make_unique<TExpToken>(TExpToken{std::move(text), kind, position}));
  return FTokens.back().get();
}

std::string FormatExprMessage(std::string_view pattern, std::string_view text, long long number)
{
  std::string message;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
      message += text;
      ++i;
    } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'd') {
      message += std::to_string(number);
      ++i;
    } else {
      message += pattern[i];
    }
  }
  return message;
}
