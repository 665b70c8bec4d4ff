// Fuzz target: formula token arrays of every version against a context
// with sheets, names, links and add-ins. Input: byte 0 picks the version,
// byte 1 the kind, byte 2 how many of the last bytes are the data after the
// tokens; the rest are tokens and data. The same bytes also go through a
// SHRFMLA record and a tExp cell. Nothing may throw or read past the input.
#include "xls/MSExcel.h"
#include "xls/formula/FormulaDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

TFormulaContext MakeContext(TExcelVersion version)
{
  TFormulaContext c;
  c.Version = version;
  c.SheetNames = {"Sheet1", "My Sheet", "Data"};
  TFormulaSupBook self;
  TFormulaSupBook addIn;
  addIn.Kind = TSupBookKind::sbAddIn;
  addIn.Names = {"F"};
  TFormulaSupBook external;
  external.Kind = TSupBookKind::sbExternal;
  external.Path = "\x01\x01" "C\x05\x03" "abc" "dir\x03[B.xls";
  external.SheetNames = {"S"};
  external.Names = {"N"};
  TFormulaSupBook dde;
  dde.Kind = TSupBookKind::sbOther;
  dde.Path = "App\x03Topic";
  dde.Names = {"I"};
  c.SupBooks = {self, addIn, external, dde};
  c.Xti = {{0, 0, 2}, {0, 0xFFFF, 0xFFFF}, {1, 0xFFFE, 0xFFFE}, {2, 0, 0}, {2, 0xFFFE, 0xFFFE},
           {3, 0xFFFE, 0xFFFE}, {9, 0, 0}, {0, 5, 1}};
  c.ExternSheets = {{"\x03" "Data", {}}, {"\x01\x01" "C[B.xls]S", {"N"}}, {"\x04", {"F"}},
                    {"App\x03Topic", {"I"}}, {"\x05\xFF", {}}, {"", {}}};
  c.Names = {{"A", false, 0}, {"\x06", true, 1}, {"\x7F", true, 0}, {"_xlfn.X", false, 0}};
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 3)
    return 0;
  constexpr TExcelVersion kVersions[] = {TExcelVersion::evExcel2, TExcelVersion::evExcel3,
                                         TExcelVersion::evExcel4, TExcelVersion::evExcel5,
                                         TExcelVersion::evExcel8};
  const TFormulaContext context = MakeContext(kVersions[data[0] % 5]);
  const auto kind = static_cast<TFormulaKind>(data[1] % 3);
  const std::span<const std::uint8_t> rest(data + 3, size - 3);
  const std::size_t extraSize = std::min<std::size_t>(data[2], rest.size());
  const auto tokens = rest.first(rest.size() - extraSize);
  const auto extra = rest.last(extraSize);

  TFormulaDecoder decoder(context);
  std::vector<TFormulaToken> listing;
  const TFormulaResult r = decoder.Decode(tokens, extra, {65535, 255}, kind, &listing);
  if (!r.Ok() && !r.Text.empty())
    __builtin_trap();
  for (const TFormulaToken& t : listing)
    if (t.Offset + t.Size > tokens.size() + extra.size())
      __builtin_trap();

  // The same bytes as a shared formula's record, shown in a cell.
  std::vector<std::uint8_t> record = {0, 0, 0xFF, 0xFF, 0, 0xFF, 0, 1,
                                      static_cast<std::uint8_t>(tokens.size()),
                                      static_cast<std::uint8_t>(tokens.size() >> 8)};
  record.insert(record.end(), rest.begin(), rest.end());
  TSharedFormulaIndex masters;
  masters.AddSharedFormula(record);
  masters.AddArray(record, context.Version);
  masters.AddTable(record);
  const std::uint8_t cell[] = {0x01, 0, 0, 0, 0};
  decoder.DecodeCell(cell, {}, {3, 7}, masters, &listing);
  return 0;
}
