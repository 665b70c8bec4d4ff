#include "xls/formula/SharedFormulaIndex.h"

#include "xls/ExcelVersion.h"

namespace {

std::uint16_t U16(std::span<const std::uint8_t> d, std::size_t at)
{
  return static_cast<std::uint16_t>(d[at] | d[at + 1] << 8);
}

// Every master record starts with its range: first and last row (16 bits),
// first and last column (8 bits).
constexpr std::size_t kRangeSize = 6;

TFormulaCell FirstCell(std::span<const std::uint8_t> d)
{
  return {U16(d, 0), d[4]};
}

TFormulaCell LastCell(std::span<const std::uint8_t> d)
{
  return {U16(d, 2), d[5]};
}

bool Holds(TFormulaCell first, TFormulaCell last, TFormulaCell cell)
{
  return cell.Row >= first.Row && cell.Row <= last.Row && cell.Column >= first.Column &&
         cell.Column <= last.Column;
}

}  // namespace

void TSharedFormulaIndex::Clear()
{
  FBytes.clear();
  FEntries.clear();
  FByAnchor.clear();
}

void TSharedFormulaIndex::Store(TEntry entry, std::span<const std::uint8_t> tokens,
                                std::span<const std::uint8_t> extra, const TFormulaCell* host)
{
  entry.TokensBegin = static_cast<std::uint32_t>(FBytes.size());
  entry.TokensSize = static_cast<std::uint32_t>(tokens.size());
  entry.ExtraSize = static_cast<std::uint32_t>(extra.size());
  FBytes.insert(FBytes.end(), tokens.begin(), tokens.end());
  FBytes.insert(FBytes.end(), extra.begin(), extra.end());
  const auto index = static_cast<std::uint32_t>(FEntries.size());
  FEntries.push_back(entry);
  FByAnchor.emplace(Key(entry.First), index);
  if (host != nullptr && !(*host == entry.First))
    FByAnchor.emplace(Key(*host), index);
}

// [MS-XLS] 2.4.260 ShrFmla: range (6 bytes), reserved (1), cUse (1), then
// the formula: cce (2 bytes), the tokens, the data after them.
bool TSharedFormulaIndex::AddSharedFormula(std::span<const std::uint8_t> data,
                                           const TFormulaCell* host)
{
  constexpr std::size_t kTokensAt = 10;
  if (data.size() < kTokensAt)
    return false;
  const std::size_t cce = U16(data, 8);
  if (cce > data.size() - kTokensAt)
    return false;
  TEntry entry;
  entry.Kind = TMasterKind::mkShared;
  entry.First = FirstCell(data);
  entry.Last = LastCell(data);
  Store(entry, data.subspan(kTokensAt, cce), data.subspan(kTokensAt + cce), host);
  return true;
}

// [MS-XLS] 2.4.2 Array: range, flags (2 bytes), reserved (4), cce (2), the
// tokens. BIFF3-4 have only the flags before cce; BIFF2 one flag byte and a
// one-byte cce.
bool TSharedFormulaIndex::AddArray(std::span<const std::uint8_t> data, TExcelVersion version,
                                   const TFormulaCell* host)
{
  std::size_t tokensAt = 14;
  std::size_t cce = 0;
  if (version < TExcelVersion::evExcel3) {
    tokensAt = 8;
    if (data.size() < tokensAt)
      return false;
    cce = data[7];
  } else {
    if (version < TExcelVersion::evExcel5)
      tokensAt = 10;
    if (data.size() < tokensAt)
      return false;
    cce = U16(data, tokensAt - 2);
  }
  if (cce > data.size() - tokensAt)
    return false;
  TEntry entry;
  entry.Kind = TMasterKind::mkArray;
  entry.First = FirstCell(data);
  entry.Last = LastCell(data);
  Store(entry, data.subspan(tokensAt, cce), data.subspan(tokensAt + cce), host);
  return true;
}

// [MS-XLS] 2.4.319 Table: range, flags (2 bytes), then the row and column
// of the first input cell and of the second (2 bytes each).
bool TSharedFormulaIndex::AddTable(std::span<const std::uint8_t> data, const TFormulaCell* host)
{
  constexpr std::size_t kTableSize = kRangeSize + 10;
  if (data.size() < kTableSize)
    return false;
  TEntry entry;
  entry.Kind = TMasterKind::mkTable;
  entry.First = FirstCell(data);
  entry.Last = LastCell(data);
  entry.TableFlags = U16(data, 6);
  entry.FirstInput = {U16(data, 8), U16(data, 10)};
  entry.SecondInput = {U16(data, 12), U16(data, 14)};
  Store(entry, {}, {}, host);
  return true;
}

TFormulaMaster TSharedFormulaIndex::View(const TEntry& entry) const
{
  TFormulaMaster master;
  master.Kind = entry.Kind;
  master.First = entry.First;
  master.Last = entry.Last;
  const std::span<const std::uint8_t> bytes(FBytes);
  master.Tokens = bytes.subspan(entry.TokensBegin, entry.TokensSize);
  master.Extra = bytes.subspan(entry.TokensBegin + entry.TokensSize, entry.ExtraSize);
  master.TableFlags = entry.TableFlags;
  master.FirstInput = entry.FirstInput;
  master.SecondInput = entry.SecondInput;
  return master;
}

std::optional<TFormulaMaster> TSharedFormulaIndex::Find(TFormulaCell anchor,
                                                        TFormulaCell cell) const
{
  // Several masters at one anchor only in a damaged sheet: the one that
  // covers the cell, else the first stored.
  const auto [begin, end] = FByAnchor.equal_range(Key(anchor));
  std::optional<std::uint32_t> first;
  for (auto it = begin; it != end; ++it) {
    const TEntry& entry = FEntries[it->second];
    if (Holds(entry.First, entry.Last, cell))
      return View(entry);
    if (!first || it->second < *first)
      first = it->second;
  }
  if (!first)
    return std::nullopt;
  return View(FEntries[*first]);
}

// [MS-XLS] 2.4.127 Formula: row, column, XF (2 bytes each), the cached
// value (8), flags (2), a reserved field (4), cce (2), the tokens. BIFF3-4
// lack the reserved field; BIFF2 has a 3-byte cell attribute field for the
// XF, one flag byte and a one-byte cce.
std::optional<TFormulaRecord> ReadFormulaRecord(std::span<const std::uint8_t> data,
                                                TExcelVersion version)
{
  std::size_t tokensAt = 22;
  if (version < TExcelVersion::evExcel3)
    tokensAt = 17;
  else if (version < TExcelVersion::evExcel5)
    tokensAt = 18;
  if (data.size() < tokensAt)
    return std::nullopt;
  const std::size_t cce = version < TExcelVersion::evExcel3 ? data[16] : U16(data, tokensAt - 2);
  if (cce > data.size() - tokensAt)
    return std::nullopt;
  TFormulaRecord record;
  record.Cell = {U16(data, 0), U16(data, 2)};
  record.Tokens = data.subspan(tokensAt, cce);
  record.Extra = data.subspan(tokensAt + cce);
  return record;
}
