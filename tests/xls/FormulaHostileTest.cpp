// Damaged and hostile token arrays: every one gives a text or a message,
// none reads past its bytes (the sanitizer build watches), none makes the
// decoder allocate or loop beyond what its bytes can describe.

#include "FormulaTestSupport.h"

#include "xls/formula/FormulaMessages.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using enum TExcelVersion;
using F = TFormulaBuilder;
using A = TArrayValue;

constexpr std::uint16_t kFnSum = 4;
constexpr std::uint16_t kFnIf = 1;

std::vector<std::pair<TExcelVersion, TBuiltFormula>> ValidFormulas()
{
  return {
      {evExcel8, F().Ref3d(kXtiSheet1, 0, 0).Array(2, 1, {A::Str("ab"), A::Num(2)}).Space(0, 1)
                     .FuncVar(kFnSum, 2).Build()},
      {evExcel8, F().Ref(0, 0).AttrIf(7).Str("x").AttrSkip(3).Name(kNameTotal).FuncVar(kFnIf, 3)
                     .Build()},
      {evExcel8, F().MemArea(9, {0}).Area(0, 0, 1, 1).NameX(kXtiExternalBook, 1).Op(kFbAdd)
                     .Build()},
      {evExcel5, F(evExcel5).Ref3d5(-1, 0, 2, 0, 0).Array(1, 1, {A::Str("q")}).NameX5(2, 1)
                     .Op(kFbConcat).Op(kFbConcat).Build()},
      {evExcel3, F(evExcel3).Sheet(kLinkExternal).Ref(0, 0).EndSheet().Int(2).AttrChoose(1)
                     .Int(1).FuncVar(100, 3).Build()},
      {evExcel2, F(evExcel2).Num(1.5).Array(1, 1, {A::Bool(true)}).FuncVar(kFnSum, 2).Build()},
  };
}

TEST(FormulaHostile, EveryCutInsideATokenOrItsDataGivesAMessage)
{
  for (const auto& [version, f] : ValidFormulas()) {
    const TFormulaContext context = version >= evExcel8 ? Book8Context() : Book5Context(version);
    TFormulaDecoder decoder(context);
    SCOPED_TRACE(ExcelVersionName(version));
    std::vector<TFormulaToken> listing;
    const TFormulaResult whole =
        decoder.Decode(f.Tokens, f.Extra, {}, TFormulaKind::fkCell, &listing);
    ASSERT_TRUE(whole.Ok()) << whole.Error;
    std::vector<bool> boundary(f.Tokens.size() + 1, false);
    for (const TFormulaToken& t : listing)
      if (t.Offset < f.Tokens.size())
        boundary[t.Offset] = true;
    const std::span<const std::uint8_t> tokens(f.Tokens);
    const std::span<const std::uint8_t> extra(f.Extra);
    // Cut inside a token: a message naming it, never a text. Cut between
    // tokens: a shorter formula or a message, as the tokens left say.
    for (std::size_t n = 1; n < tokens.size(); ++n) {
      SCOPED_TRACE(n);
      const TFormulaResult r = decoder.Decode(tokens.first(n), extra, {});
      if (!r.Ok()) {
        EXPECT_EQ(r.Text, "");
      }
      if (!boundary[n]) {
        EXPECT_FALSE(r.Ok());
        EXPECT_NE(r.Error.find("cut short"), std::string::npos) << r.Error;
      }
    }
    for (std::size_t n = 0; n < extra.size(); ++n) {
      SCOPED_TRACE(n);
      EXPECT_FALSE(decoder.Decode(tokens, extra.first(n), {}).Ok());
    }
  }
}

TEST(FormulaHostile, CountsBeyondTheBytesAreRefusedBeforeReading)
{
  const TFormulaContext context = Book8Context();
  // tAttrChoose claiming 65535 choices with no jump table.
  EXPECT_EQ(DecodeText(context, F().Int(1).Attr(0x04, 0xFFFF).Build()),
            "error: Formula is cut short in token tAttrChoose at byte 3");
  // An array constant of 256 x 65536 values in twelve bytes of data.
  EXPECT_EQ(DecodeText(context, F().Raw({0x60, 0, 0, 0, 0, 0, 0, 0})
                                    .RawExtra({0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0, 0})
                                    .Build()),
            "error: Constant data for token tArrayA at byte 0 is missing or cut short");
  // An array string longer than the data.
  EXPECT_EQ(DecodeText(context, F().Raw({0x60, 0, 0, 0, 0, 0, 0, 0})
                                    .RawExtra({0, 0, 0, 2, 0xFF, 0xFF, 1, 'a', 0})
                                    .Build()),
            "error: Constant data for token tArrayA at byte 0 is missing or cut short");
  // tMemArea claiming 65535 ranges.
  EXPECT_EQ(DecodeText(context, F().Raw({0x26, 0, 0, 0, 0, 0, 0}).RawExtra({0xFF, 0xFF}).Int(1)
                                    .Build()),
            "error: Constant data for token tMemAreaR at byte 0 is missing or cut short");
}

TEST(FormulaHostile, DeepNestingNeedsNoDeepCallStack)
{
  const TFormulaContext context = Book8Context();
  TFormulaBuilder b;
  b.Int(1);
  constexpr int kDepth = 30000;
  for (int i = 0; i < kDepth; ++i)
    b.Op(i % 2 == 0 ? kFbParen : kFbUminus);
  const std::string text = DecodeText(context, b.Build());
  EXPECT_EQ(text.size(), static_cast<std::size_t>(1 + kDepth / 2 * 3));
  EXPECT_EQ(text.substr(0, 4), "-(-(");
}

TEST(FormulaHostile, TextHasABoundWhatEverTheNames)
{
  TFormulaContext context = Book8Context();
  context.SupBooks[2].Path = "\x01" + std::string(60000, 'd') + "\x03" "Book2.xls";
  TFormulaBuilder b;
  b.Ref3d(kXtiExternalSheet, 0, 0);
  for (int i = 0; i < 10; ++i)
    b.Ref3d(kXtiExternalSheet, 0, 0).Op(kFbAdd);
  EXPECT_EQ(DecodeText(context, b.Build()), "error: Formula text is longer than 262144 bytes");
}

TEST(FormulaHostile, RandomBytesNeverCrash)
{
  std::mt19937 random(17);
  const TFormulaContext book8 = Book8Context();
  const TFormulaContext book5 = Book5Context(evExcel5);
  const TFormulaContext book3 = Book5Context(evExcel3);
  const TFormulaContext book2 = Book5Context(evExcel2);
  TFormulaDecoder decoders[] = {TFormulaDecoder(book8), TFormulaDecoder(book5),
                                TFormulaDecoder(book3), TFormulaDecoder(book2)};
  TSharedFormulaIndex masters;
  std::vector<std::uint8_t> tokens;
  std::vector<std::uint8_t> extra;
  std::vector<TFormulaToken> listing;
  int decoded = 0;
  for (int round = 0; round < 40000; ++round) {
    tokens.resize(random() % 48);
    extra.resize(random() % 24);
    for (auto& b : tokens)
      b = static_cast<std::uint8_t>(random() % 4 == 0 ? random() % 0x20 : random());
    for (auto& b : extra)
      b = static_cast<std::uint8_t>(random());
    TFormulaDecoder& decoder = decoders[round % 4];
    const TFormulaResult r = round % 3 == 0
        ? decoder.DecodeCell(tokens, extra, {1, 1}, masters, &listing)
        : decoder.Decode(tokens, extra, {65535, 255}, TFormulaKind::fkShared, &listing);
    if (!r.Ok()) {
      EXPECT_EQ(r.Text, "");
    }
    EXPECT_LT(r.Text.size(), std::size_t{1} << 20);
    for (const TFormulaToken& t : listing)
      EXPECT_LE(t.Offset + t.Size, tokens.size() + extra.size());
    decoded += r.Ok();
  }
  // Some random arrays are formulas; the loop must have reached the writer.
  EXPECT_GT(decoded, 100);
}

}  // namespace
