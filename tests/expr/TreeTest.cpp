#include "ExprTestSupport.h"

#include "expr/ExprMessages.h"

#include <gtest/gtest.h>

namespace {

using exprtest::BuildTree;
class TreeBuilding : public exprtest::TExprTest {};

struct TTreeCase {
  const char* Text;
  const char* Tree;  // bracketed tree, or the build's error message
};

void ExpectTrees(std::initializer_list<TTreeCase> cases)
{
  for (const TTreeCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(BuildTree(c.Text), c.Tree);
  }
}

TEST_F(TreeBuilding, LeavesAndEnclosingParentheses)
{
  ExpectTrees({
      {"5", "5"},
      {"(5)", "5"},
      {"((1+2))", "+[1,2]"},
      {"(1+2)-(3+4)", "-[+[1,2],+[3,4]]"},
      {"(a)+(b)", "+[a,b]"},
      {"()", "[]"},
      {"", "[]"},
  });
}

TEST_F(TreeBuilding, ArithmeticChainsGroupLeftToRight)
{
  ExpectTrees({
      {"10-3-2", "-[-[10,3],2]"},
      {"8/4/2", "/[/[8,4],2]"},
      {"1+2+3", "+[+[1,2],3]"},
      {"2*3*4", "*[*[2,3],4]"},
      {"a-b+c", "+[-[a,b],c]"},
      {"2^3^2", "^[2,^[3,2]]"},
      {"2+3^4", "+[2,^[3,4]]"},
      {"2^3+4", "+[^[2,3],4]"},
      {"a/b*c", "*[/[a,b],c]"},
  });
}

TEST_F(TreeBuilding, ComparisonsBindLooserThanArithmetic)
{
  ExpectTrees({
      {"a + b > c", ">[+[a,b],c]"},
      {"x > 1 AND y > 2", "AND[>[x,1],>[y,2]]"},
      {"a = 1 OR b = 2 AND c", "OR[=[a,1],AND[=[b,2],c]]"},
      {"NOT a = b", "NOT[=[a,b]]"},
      {"x AND NOT y", "AND[x,NOT[y]]"},
      {"a <= b + 1", "<=[a,+[b,1]]"},
  });
}

TEST_F(TreeBuilding, PrefixAndPostfixOperatorsMakeOneOrTwoChildren)
{
  ExpectTrees({
      {"NOT a", "NOT[a]"},
      {"!5", "![5]"},
      {"5!", "![5,[]]"},
      {"-5", "-[5]"},
      {"!5 + 1", "+[![5],1]"},
      {"5 +", "+[5,[]]"},
      {"a=-1", "=-[a,1]"},
      {"1 + 2 =- 3", "=-[+[1,2],3]"},
  });
}

TEST_F(TreeBuilding, FunctionCallsTakeCommaSeparatedArguments)
{
  ExpectTrees({
      {"F(a, (b + c), G(d, e))", "F[a,+[b,c],G[d,e]]"},
      {"F(a)", "F[a]"},
      {"F(a,)", "F[a]"},
      {"F(, a)", "F[[],a]"},
      {"F(a, , b)", "F[a,[],b]"},
      {"F(a,,b)", "F[a,b]"},
      {"F(G(H(1)))", "F[G[H[1]]]"},
      {"SUM(1, 2) * 3", "*[SUM[1,2],3]"},
  });
}

TEST_F(TreeBuilding, MalformedInputFailsWithItsMessage)
{
  ExpectTrees({
      {"x and y", kMsgSyntaxFault},
      {"F()", kMsgSyntaxFault},
      {"1 2", kMsgSyntaxFault},
      {"(a+b))", kMsgParenthesisMismatch},
      {"F(a))", kMsgParenthesisMismatch},
      {")a(", kMsgParenthesisMismatch},
      {"F(a)(b)", kMsgFunctionParseError},
      {"a b c", kMsgSyntaxFault},
  });
}

TEST_F(TreeBuilding, ChildrenKnowParentOwnerAndLevel)
{
  TExpParser parser;
  parser.SetText("1 + F(2)");
  parser.Tokenize();
  TZymParser owner;
  TExpNode root(&owner, parser.TokenList(), nullptr);
  root.Build();
  ASSERT_EQ(root.Children().size(), 2u);
  const TExpNode& call = *root.Children()[1];
  ASSERT_EQ(call.Children().size(), 1u);
  const TExpNode& argument = *call.Children()[0];
  EXPECT_EQ(root.Level(), 0);
  EXPECT_EQ(call.Level(), 1);
  EXPECT_EQ(argument.Level(), 2);
  EXPECT_EQ(argument.Parent(), &call);
  EXPECT_EQ(call.Parent(), &root);
  EXPECT_EQ(argument.Owner(), &owner);
  EXPECT_EQ(argument.Tokens().size(), 1u);
  EXPECT_FALSE(argument.OnEvaluate);
  // Building moves tokens into the nodes; the parser keeps all of them.
  EXPECT_EQ(parser.Tokens().size(), 6u);
}

TEST_F(TreeBuilding, FindOperatorAndSplitAtWorkStepByStep)
{
  TExpParser parser;
  parser.SetText("(1) * 2 + 3");
  parser.Tokenize();
  TExpNode node(nullptr, parser.TokenList(), nullptr);
  const std::optional<std::size_t> split = node.FindOperator();
  ASSERT_TRUE(split.has_value());
  EXPECT_EQ(*split, 5u);
  node.SplitAt(*split);
  EXPECT_EQ(exprtest::TreeString(node), "+[*[1,2],3]");
}

TEST_F(TreeBuilding, CallsWithMoreThanElevenArgumentsAreRefused)
{
  EXPECT_EQ(BuildTree("F(1,2,3,4,5,6,7,8,9,10,11)"), "F[1,2,3,4,5,6,7,8,9,10,11]");
  EXPECT_EQ(BuildTree("F(1,2,3,4,5,6,7,8,9,10,11,12)"),
            FormatExprMessage(kMsgTooManyArguments, "F"));
}

std::string Repeat(const std::string& part, int times)
{
  std::string text;
  for (int i = 0; i < times; ++i)
    text += part;
  return text;
}

TEST_F(TreeBuilding, DeepNestingFailsCleanlyInsteadOfOverflowingTheStack)
{
  // A thousand parentheses around one number are stripped in a loop.
  EXPECT_EQ(BuildTree(Repeat("(", 1000) + "7" + Repeat(")", 1000)), "7");
  // Nested calls and operands recurse once per level: refused past the limit.
  EXPECT_EQ(BuildTree(Repeat("F(", 1000) + "1" + Repeat(")", 1000)), kMsgNestedTooDeeply);
  EXPECT_EQ(BuildTree(Repeat("(1+", 1000) + "1" + Repeat(")", 1000)), kMsgNestedTooDeeply);
  EXPECT_EQ(BuildTree(Repeat("1+", 5000) + "1"), kMsgNestedTooDeeply);
  // Right at the limit still builds and evaluates.
  const int depth = kMaxNodeLevel;
  EXPECT_EQ(exprtest::Describe(exprtest::Eval(Repeat("ABS(", depth) + "2" + Repeat(")", depth))),
            "double:2");
  EXPECT_EQ(BuildTree(Repeat("ABS(", depth + 1) + "2" + Repeat(")", depth + 1)), kMsgNestedTooDeeply);
}

}  // namespace
