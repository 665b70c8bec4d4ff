#include "GeneratedWorkbook.h"

#include "support/BiffBuilder.h"
#include "support/FormulaBuilder.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kColumns = 12;
// Few enough that the SST fits one record of at most 8224 bytes.
constexpr int kSharedStrings = 400;
constexpr std::uint16_t kXfGeneral = 15;
constexpr std::uint16_t kXfDate = 16;

// [MS-XLS] RkNumber: an integer shifted left by 2 with the integer flag.
std::uint32_t RkInteger(int value)
{
  return (static_cast<std::uint32_t>(value) << 2) | 0x02;
}

}  // namespace

std::vector<std::uint8_t> GenerateWorkbook(int sheets, int rows)
{
  TBiffBuilder book;
  book.Bof(TExcelVersion::evExcel8, TBofType::btGlobals).CodePage(1200);
  for (int i = 0; i < 15; ++i)
    book.Xf(0);
  book.Xf(0);   // 15: General
  book.Xf(14);  // 16: m/d/yy
  for (int s = 0; s < sheets; ++s)
    book.BoundSheet("Sheet" + std::to_string(s + 1), s + 1);
  TSstBuilder sst;
  for (int i = 0; i < kSharedStrings; ++i)
    sst.String("text " + std::to_string(i) + (i % 7 == 0 ? " \xC3\xA9t\xC3\xA9" : ""), i % 7 == 0);
  book.Sst(sst).Eof();
  for (int s = 0; s < sheets; ++s) {
    book.Bof(TExcelVersion::evExcel8).Dimensions(0, static_cast<std::uint32_t>(rows), 0, kColumns);
    for (int r = 0; r < rows; ++r) {
      const auto row = static_cast<std::uint16_t>(r);
      book.Row(row, 255);
      book.Number(row, 0, kXfGeneral, r * 1.25 + s);
      book.Rk(row, 1, kXfGeneral, RkInteger(r));
      book.MulRk(row, 2, {{kXfGeneral, RkInteger(r + 1)}, {kXfGeneral, RkInteger(r + 2)}});
      book.LabelSst(row, 4, kXfGeneral, static_cast<std::uint32_t>(r % kSharedStrings));
      book.Number(row, 5, kXfDate, 40000.0 + r % 3650);
      book.FormulaNumber(row, 6, kXfGeneral, r / 3.0);
      book.FormulaSpecial(row, 7, kXfGeneral, 0).String("formula text " + std::to_string(r % 97));
      book.BoolErr(row, 8, kXfGeneral, static_cast<std::uint8_t>(r & 1), false);
      book.BoolErr(row, 9, kXfGeneral, 0x07, true);
      book.LabelSst(row, 10, kXfGeneral, static_cast<std::uint32_t>((r * 7) % kSharedStrings));
      book.Number(row, 11, kXfGeneral, -r * 0.001);
    }
    book.Eof();
  }
  return InCompoundFile(book.Build());
}

std::vector<std::uint8_t> GenerateFormulaWorkbook(int sheets, int rows)
{
  constexpr int kSharedBlock = 16;
  TBiffBuilder book;
  book.Bof(TExcelVersion::evExcel8, TBofType::btGlobals);
  for (int s = 0; s < sheets; ++s)
    book.BoundSheet("Formulas" + std::to_string(s + 1), s + 1);
  book.Eof();
  // Column C of the block shares "A+B" of its own row: offsets 0 rows, -2
  // and -1 columns.
  const auto shared = TFormulaBuilder().RefN(0, -2).RefN(0, -1).Op(kFbAdd).Build().Tokens;
  for (int s = 0; s < sheets; ++s) {
    book.Bof(TExcelVersion::evExcel8).Dimensions(0, static_cast<std::uint32_t>(rows), 0, 3);
    for (int r = 0; r < rows; ++r) {
      const auto row = static_cast<std::uint16_t>(r);
      book.Number(row, 0, 0, r);
      book.FormulaTokens(row, 1, r * 2.0, TFormulaBuilder().Ref(row, 0).Int(2).Op(kFbMul).Build().Tokens);
      const auto first = static_cast<std::uint16_t>(r - r % kSharedBlock);
      book.FormulaTokens(row, 2, r * 3.0, TFormulaBuilder().Exp(first, 2).Build().Tokens);
      if (r % kSharedBlock == 0) {
        const auto last = static_cast<std::uint16_t>(std::min(rows - 1, r + kSharedBlock - 1));
        book.SharedFormula(row, last, 2, 2, shared);
      }
    }
    book.Eof();
  }
  return InCompoundFile(book.Build());
}
