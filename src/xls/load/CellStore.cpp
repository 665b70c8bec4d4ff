#include "xls/load/CellStore.h"

#include "platform/Errors.h"
#include "xls/decode/ErrorCodes.h"
#include "xls/decode/PartCursor.h"
#include "xls/decode/SharedStrings.h"

namespace {

// A 1904-system serial plus this is the same day in the 1900 system.
constexpr double kDate1904Offset = 1462.0;

}  // namespace

TCellStore::TCellStore(TSpreadSheetFile& file, TDecodeContext& context)
    : FFile(file), FContext(context), FFormats(&context.Tables->Formats)
{
}

TCellStore::~TCellStore() = default;

void TCellStore::Clear()
{
  FFormats = &FContext.Tables->Formats;
  SheetIndex = -1;
  FSharedStrings = std::make_shared<std::vector<TVariant>>();
  FStringTableOwner = FSharedStrings;
  FInCells = true;
  FPending = {};
  ResetExtent();
}

void TCellStore::EndLoad()
{
  FLabels.reset();
}

void TCellStore::StorePendingText(const TPendingText& pending, std::string&& text)
{
  FFile.CellSink().StoreMovedValue(SheetIndex, pending.Row, pending.Column, TVariant(std::move(text)),
                                   TAlignment::taLeftJustify, 0);
  NoteCellPosition(pending.Row, pending.Column);
}

void TCellStore::StoreErrorCell(const TCellRecord& cell)
{
  // An error code has one text, made the first time a cell has the code and
  // shared by every cell with it after.
  if (!FErrorTexts) {
    FErrorTexts = std::make_shared<std::array<TVariant, 256>>();
    FErrorTextsOwner = FErrorTexts;
  }
  TVariant& text = (*FErrorTexts)[cell.Code & 0xFF];
  if (text.IsEmpty())
    text = TVariant(ErrorCodeText(static_cast<int>(cell.Code)));
  StoreSharedText(cell, text, FErrorTextsOwner);
}

void TCellStore::StoreLabel(const TCellRecord& cell)
{
  const std::span<const std::uint8_t> raw = cell.Text;
  // The key: what the text depends on, the code page included. A label too
  // long to keep is decoded as one of its own.
  if (raw.size() <= TLabelTable::kLongestKey) {
    const bool biff8 = FContext.Biff8();
    const std::uint64_t kind = cell.LabelForm == TLabelForm::lfBiff2 ? (biff8 ? 1 : 0) : (biff8 ? 3 : 2);
    const auto codePage = static_cast<std::uint32_t>(FContext.CodePage);
    const std::uint64_t head = kind | static_cast<std::uint64_t>(cell.Length & 0xFFFF) << 8 |
                               static_cast<std::uint64_t>(codePage) << 24;
    if (!FLabels)
      FLabels = std::make_unique<TLabelTable>();
    const std::uint64_t hash = TLabelTable::Hash(head, raw);
    const TVariant* kept = FLabels->Find(head, raw, hash);
    if (!kept && !FLabels->Full())
      kept = &FLabels->Add(head, raw, hash, TVariant(LabelText(cell, FContext)));
    if (kept) {
      // Cells share the table's text as they share the SST's.
      StoreSharedText(cell, *kept, FLabels->TextOwner());
      return;
    }
  }
  StoreValue(cell, TVariant(LabelText(cell, FContext)));
}

TVariant TCellStore::DateNumber(double value) const
{
  return TVariant::Date(FContext.Date1904 ? value + kDate1904Offset : value);
}

void TCellStore::AddSharedStrings(const TLogicalRecord& record)
{
  TPartCursor parts(record.Parts);
  std::size_t bytes = 0;
  for (const TRecordRef& part : record.Parts)
    bytes += part.Data.size();
  std::vector<TVariant>& table = *FSharedStrings;
  DecodeSst(
      parts,
      [&](std::size_t count) {
        // Every string takes at least 3 bytes, so a damaged count asks for
        // no more than the parts could hold.
        table.reserve(table.size() + std::min(count, bytes / 3));
      },
      [&](std::string&& text) { table.emplace_back(std::move(text)); });
}
