#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// Kind of a token. The values are fixed (3 is unused).
enum class TExpTokenKind : std::uint8_t {
  etNone = 0,         // a blank; no token has this kind
  etWord = 1,         // a name, a quoted text without its quotes, any other run
  etNumber = 2,       // digits and decimal points
  etParenthesis = 4,  // "(" or ")", always one character
  etOperator = 5,     // an operator text, in the table or not
  etComma = 6,        // an argument separator (a run of commas)
};

struct TExpToken {
  std::string Text;
  TExpTokenKind Kind = TExpTokenKind::etNone;
  /// 1-based index of the token's first character in the trimmed text.
  std::size_t Position = 0;
};

struct TOperatorInfo {
  std::string_view Text;
  int Operands;
};

/// The operators, loosest binding first: a token list is split at the
/// operator with the smallest table position (1-based). Word operators bind
/// looser than comparisons, comparisons looser than arithmetic, so
/// a + b > c is (a + b) > c and x > 1 AND y > 2 is (x > 1) AND (y > 2).
/// Texts are matched exactly, case included ("and" is a word).
inline constexpr std::array<TOperatorInfo, 16> OperatorTable{{
    {"OR", 2},  {"AND", 2}, {"NOT", 1}, {"=", 2}, {"<", 2}, {">", 2}, {"<=", 2}, {">=", 2},
    {"<>", 2}, {"!=", 2},  {"+", 2},   {"-", 2}, {"*", 2}, {"/", 2}, {"^", 2},  {"!", 1},
}};

/// 1-based position of `text` in OperatorTable, 0 when it is not there.
int OperatorPosition(std::string_view text);
/// The operand count of `text`, 0 when it is not in OperatorTable.
int OperatorOperands(std::string_view text);

/// True when the text is a number written the locale's way (the first
/// decimal separator of CurrentLocale() stands for "."): optional leading
/// blanks, optional sign, digits, optional "." and digits, optional
/// exponent "E"/"e" with optional sign and at least one digit. Nothing after
/// blanks and sign is not numeric; a lone "." is.
bool IsNumeric(std::string_view text);

/// Kind of a one-character text: parenthesis, comma, operator, number (by
/// IsNumeric), etNone for a blank, etWord for anything else.
TExpTokenKind ClassifyToken(std::string_view text);

/// Splits an expression into tokens. Owns them; the nodes built on them keep
/// pointers, so a parser must outlive every tree built on its tokens.
///
///   token   = blank* ( "(" | ")" | run )
///   run     = a character and the following ones of the same class; a word
///             takes digits too; a quote (' or ") opens text up to the next
///             quote of either kind, quotes dropped
/// A run ending before more text is an operator when its text is in
/// OperatorTable (so "AND" at the very end of the text stays a word).
class TExpParser {
public:
  TExpParser() = default;
  ~TExpParser() { ClearTokens(); }
  TExpParser(const TExpParser&) = delete;
  TExpParser& operator=(const TExpParser&) = delete;

  /// Stores the text without leading and trailing characters of code 32 or below.
  void SetText(std::string_view text);
  const std::string& Text() const { return FText; }
  /// Frees all tokens, restarts at the first character and reads one token.
  TExpToken* FirstToken();
  /// Reads, appends and returns the next token; nullptr at the end of the text.
  /// Throws EBiffLensError(kMsgIllegalCharacter) for a token that would start
  /// with a blank (which a trimmed text cannot produce).
  TExpToken* NextToken();
  /// Frees the tokens, last first.
  void ClearTokens();
  /// FirstToken, then NextToken until the end: the whole text's tokens.
  void Tokenize();

  const std::vector<std::unique_ptr<TExpToken>>& Tokens() const { return FTokens; }
  /// Non-owning pointers to the tokens, in order: the list a root node takes.
  std::vector<TExpToken*> TokenList() const;
  std::size_t Position() const { return FPosition; }

private:
  TExpToken* AddToken(std::string text, TExpTokenKind kind, std::size_t position);

  std::string FText;
  std::vector<std::unique_ptr<TExpToken>> FTokens;
  std::size_t FPosition = 1;
};

/// The message with "%s" and "%d" filled in, in that order of appearance.
std::string FormatExprMessage(std::string_view pattern, std::string_view text, long long number = 0);
