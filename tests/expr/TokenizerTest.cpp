#include "ExprTestSupport.h"

#include "expr/ExprMessages.h"

#include <gtest/gtest.h>

namespace {

class Tokenizer : public exprtest::TExprTest {};

char KindLetter(TExpTokenKind kind)
{
  switch (kind) {
  case TExpTokenKind::etWord: return 'W';
  case TExpTokenKind::etNumber: return 'N';
  case TExpTokenKind::etParenthesis: return 'P';
  case TExpTokenKind::etOperator: return 'O';
  case TExpTokenKind::etComma: return 'C';
  case TExpTokenKind::etNone: return '?';
  }
  return '?';
}

/// Tokens as "W:abc N:12 O:<=" (kind letter, colon, text in braces when it
/// holds a blank).
std::string TokensOf(const std::string& text)
{
  TExpParser parser;
  parser.SetText(text);
  parser.Tokenize();
  std::string out;
  for (const auto& token : parser.Tokens()) {
    if (!out.empty())
      out += ' ';
    out += KindLetter(token->Kind);
    out += ':';
    const bool blank = token->Text.find(' ') != std::string::npos || token->Text.empty();
    out += blank ? "{" + token->Text + "}" : token->Text;
  }
  return out;
}

struct TTokenCase {
  const char* Text;
  const char* Tokens;
};

void ExpectTokens(std::initializer_list<TTokenCase> cases)
{
  for (const TTokenCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(TokensOf(c.Text), c.Tokens);
  }
}

TEST(TokenKinds, KeepTheirFixedValues)
{
  EXPECT_EQ(static_cast<int>(TExpTokenKind::etNone), 0);
  EXPECT_EQ(static_cast<int>(TExpTokenKind::etWord), 1);
  EXPECT_EQ(static_cast<int>(TExpTokenKind::etNumber), 2);
  EXPECT_EQ(static_cast<int>(TExpTokenKind::etParenthesis), 4);
  EXPECT_EQ(static_cast<int>(TExpTokenKind::etOperator), 5);
  EXPECT_EQ(static_cast<int>(TExpTokenKind::etComma), 6);
}

TEST(OperatorTableOrder, BindsWordOperatorsLoosestAndArithmeticTightest)
{
  const char* expected[] = {"OR", "AND", "NOT", "=",  "<", ">", "<=", ">=",
                            "<>", "!=",  "+",   "-",  "*", "/", "^",  "!"};
  ASSERT_EQ(OperatorTable.size(), std::size(expected));
  for (std::size_t i = 0; i < OperatorTable.size(); ++i) {
    EXPECT_EQ(OperatorTable[i].Text, expected[i]);
    EXPECT_EQ(OperatorPosition(expected[i]), static_cast<int>(i) + 1);
  }
  EXPECT_EQ(OperatorOperands("NOT"), 1);
  EXPECT_EQ(OperatorOperands("!"), 1);
  EXPECT_EQ(OperatorOperands("<>"), 2);
  EXPECT_EQ(OperatorPosition("and"), 0);
  EXPECT_EQ(OperatorPosition("=-"), 0);
  EXPECT_EQ(OperatorOperands("=-"), 0);
}

TEST_F(Tokenizer, ClassifyTokenSortsSingleCharacters)
{
  const std::pair<const char*, TExpTokenKind> cases[] = {
      {"(", TExpTokenKind::etParenthesis}, {")", TExpTokenKind::etParenthesis},
      {",", TExpTokenKind::etComma},       {"+", TExpTokenKind::etOperator},
      {"!", TExpTokenKind::etOperator},    {"7", TExpTokenKind::etNumber},
      {".", TExpTokenKind::etNumber},      {"E", TExpTokenKind::etWord},
      {" ", TExpTokenKind::etNone},        {"\t", TExpTokenKind::etWord},
      {"'", TExpTokenKind::etWord},        {"&", TExpTokenKind::etWord},
  };
  for (const auto& [text, kind] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ClassifyToken(text), kind);
  }
}

TEST_F(Tokenizer, IsNumericAcceptsSignsPointsAndExponents)
{
  const std::pair<const char*, bool> cases[] = {
      {"12", true},     {"  -3.5", true}, {".", true},    {".5", true},  {"5.", true},
      {"1e5", true},    {"1E-5", true},   {"+", false},   {"", false},   {"  ", false},
      {"1e", false},    {"1.2.3", false}, {"12a", false}, {"E", false},  {"- 1", false},
  };
  for (const auto& [text, numeric] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(IsNumeric(text), numeric);
  }
}

TEST_F(Tokenizer, IsNumericTakesTheLocaleDecimalSeparator)
{
  Environment.Settings.DecimalSeparator = ',';
  EXPECT_TRUE(IsNumeric("1,5"));
  EXPECT_TRUE(IsNumeric("1.5"));  // "." still reads as the point
  EXPECT_FALSE(IsNumeric("1,5,5"));
  // A decimal comma is still a comma when it stands alone.
  EXPECT_EQ(ClassifyToken(","), TExpTokenKind::etComma);
  EXPECT_EQ(TokensOf("1,5"), "N:1 C:, N:5");
}

TEST_F(Tokenizer, NumbersAndWordsSplitAtTheirClassBoundaries)
{
  ExpectTokens({
      {"3.14", "N:3.14"},
      {".5", "N:.5"},
      {"12ab", "N:12 W:ab"},
      {"x1", "W:x1"},
      {"1E5", "N:1 W:E5"},
      {"1.2.3", "N:1.2.3"},
      {"-5", "O:- N:5"},
      {"SUBSTR(Name, 1, 3)", "W:SUBSTR P:( W:Name C:, N:1 C:, N:3 P:)"},
      {"a\tb", "W:a\tb"},
  });
}

TEST_F(Tokenizer, QuotesMakeOneWordWithoutTheQuotes)
{
  ExpectTokens({
      {"'Hello world'", "W:{Hello world}"},
      {"\"double\"", "W:double"},
      {"'a'b", "W:ab"},
      {"'ab'cd", "W:abcd"},
      {"'mixed\"", "W:mixed"},
      {"'AND' x", "W:AND W:x"},
      {"'unclosed here", "W:{unclosed here}"},
      {"'' + 'x'", "W:{} O:+ W:x"},
      {"'a,b(c)'", "W:a,b(c)"},
  });
}

TEST_F(Tokenizer, OperatorCharactersRunTogether)
{
  ExpectTokens({
      {"a<=b", "W:a O:<= W:b"},
      {"a>=b", "W:a O:>= W:b"},
      {"a<>b", "W:a O:<> W:b"},
      {"a!=b", "W:a O:!= W:b"},
      {"a=-1", "W:a O:=- N:1"},
      {"2^-1", "N:2 O:^- N:1"},
      {"((a))", "P:( P:( W:a P:) P:)"},
      {"F(a,,b)", "W:F P:( W:a C:,, W:b P:)"},
      {"F(a, , b)", "W:F P:( W:a C:, C:, W:b P:)"},
  });
}

TEST_F(Tokenizer, WordOperatorsNeedCapitalsAndMoreTextAfterThem)
{
  ExpectTokens({
      {"x AND y", "W:x O:AND W:y"},
      {"x and y", "W:x W:and W:y"},
      {"NOT x", "O:NOT W:x"},
      {"x OR(y)", "W:x O:OR P:( W:y P:)"},
      {"x AND", "W:x W:AND"},
      {"x OR", "W:x W:OR"},
      {"ANDY", "W:ANDY"},
  });
}

TEST_F(Tokenizer, TextIsTrimmedAndBlanksAreDropped)
{
  TExpParser parser;
  parser.SetText("\t  a  +   b \r\n");
  EXPECT_EQ(parser.Text(), "a  +   b");
  EXPECT_EQ(TokensOf("   "), "");
  EXPECT_EQ(TokensOf(""), "");
}

TEST_F(Tokenizer, TokensRecordTheirPositions)
{
  TExpParser parser;
  parser.SetText("  ab + 'c'");
  parser.Tokenize();
  ASSERT_EQ(parser.Tokens().size(), 3u);
  EXPECT_EQ(parser.Tokens()[0]->Position, 1u);
  EXPECT_EQ(parser.Tokens()[1]->Position, 4u);
  EXPECT_EQ(parser.Tokens()[2]->Position, 6u);
}

TEST_F(Tokenizer, FirstTokenRestartsAndNextTokenEndsWithNothing)
{
  TExpParser parser;
  parser.SetText("a b");
  ASSERT_NE(parser.FirstToken(), nullptr);
  ASSERT_NE(parser.NextToken(), nullptr);
  EXPECT_EQ(parser.NextToken(), nullptr);
  EXPECT_EQ(parser.Tokens().size(), 2u);
  const TExpToken* first = parser.FirstToken();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Text, "a");
  EXPECT_EQ(parser.Tokens().size(), 1u);
  parser.ClearTokens();
  EXPECT_TRUE(parser.Tokens().empty());
}

TEST(ExprMessageFormatting, FillsTextAndNumber)
{
  EXPECT_EQ(FormatExprMessage(kMsgIllegalCharacter, "#", 7),
            "Parse error: illegal character \"#\" at position 7.");
  EXPECT_EQ(FormatExprMessage(kMsgFunctionNotValid, "3(x)=x"), "Function \"3(x)=x\" is not valid.");
}

}  // namespace
