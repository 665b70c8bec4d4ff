#include "xls/records/RecordFormulas.h"

#include "platform/text/HexText.h"
#include "xls/RecordCodes.h"
#include "xls/records/RecordDirectory.h"

#include <algorithm>

namespace {

// The field a record layout gives its token bytes (ReadTokens), and where a
// record's first cell lies: FORMULA's row and column words, the first row
// word and first column byte of SHRFMLA's and ARRAY's range.
constexpr char kTokensField[] = "formula";
constexpr std::size_t kCellRowAt = 0;
constexpr std::size_t kCellColumnAt = 2;
constexpr std::size_t kRangeRowAt = 0;
constexpr std::size_t kRangeColumnAt = 4;
// A token's value shows its first bytes: the dump shows the rest.
constexpr std::size_t kShownBytes = 32;
constexpr char kRestField[] = "unused";

std::string BytesText(std::span<const std::uint8_t> bytes)
{
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < kShownBytes; ++i) {
    if (i > 0)
      text += ' ';
    text += HexByte(bytes[i]);
  }
  if (bytes.size() > kShownBytes)
    text += " ...";
  return text;
}

std::uint16_t WordAt(std::span<const std::uint8_t> data, std::size_t at)
{
  if (at >= data.size() || data.size() - at < 2)
    return 0;
  return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

std::uint8_t ByteAt(std::span<const std::uint8_t> data, std::size_t at)
{
  return at < data.size() ? data[at] : 0;
}

/// A field holding `data`'s bytes [offset, offset + size), as far as they exist.
TRecordField TokenField(std::span<const std::uint8_t> data, std::string_view name, std::size_t offset,
                        std::size_t size, std::string text)
{
  TRecordField field;
  field.Name = std::string(name);
  field.Offset = offset;
  field.Size = size;
  if (offset < data.size())
    field.Value = BytesText(data.subspan(offset, std::min(size, data.size() - offset)));
  else
    field.Value = std::string();
  field.Text = std::move(text);
  return field;
}

}  // namespace

void AddFormulaTokenFields(std::vector<TRecordField>& fields, std::string_view tokensName,
                           std::span<const std::uint8_t> data, const TFormulaResult& result,
                           const std::vector<TFormulaToken>& listing)
{
  const auto at = std::find_if(fields.begin(), fields.end(), [&](const TRecordField& field) {
    return field.Part == 0 && !field.Missing && field.Name == tokensName;
  });
  if (at == fields.end())
    return;
  TRecordField& tokens = *at;
  tokens.Text = result.Ok() ? "=" + result.Text : result.Error;
  // Constant data lies right after the tokens, in the field that follows.
  TRecordField* after = nullptr;
  if (const auto next = at + 1;
      next != fields.end() && next->Part == 0 && next->Offset == tokens.Offset + tokens.Size && next->Fields.empty())
    after = &*next;
  // The token the decoding stopped in has no operand: it takes the message.
  const std::size_t failed = !result.Ok() && !listing.empty() && listing.back().Operand.empty()
                                 ? listing.size() - 1
                                 : listing.size();
  for (std::size_t i = 0; i < listing.size(); ++i) {
    const TFormulaToken& token = listing[i];
    TRecordField field = TokenField(data, token.Name, tokens.Offset + token.Offset, token.Size,
                                    i == failed ? result.Error : token.Operand);
    if (token.Offset < tokens.Size)
      tokens.Fields.push_back(std::move(field));
    else if (after != nullptr)
      after->Fields.push_back(std::move(field));
  }
  // The data the tokens leave unread keeps a band of its own.
  if (after != nullptr && !after->Fields.empty()) {
    const TRecordField& last = after->Fields.back();
    const std::size_t end = after->Offset + after->Size;
    if (last.Offset + last.Size < end)
      after->Fields.push_back(
          TokenField(data, kRestField, last.Offset + last.Size, end - last.Offset - last.Size, {}));
  }
}

TRecordFormulas::TRecordFormulas(const TRecordDirectory& directory) : FDirectory(directory) {}

TRecordFormulas::~TRecordFormulas() = default;

bool TRecordFormulas::HoldsFormula(std::uint16_t code)
{
  switch (code) {
  case kRecFormula:
  case kRecFormula3:
  case kRecFormula4:
  case kRecSharedFormula:
  case kRecSharedFormula5:
  case kRecArray:
  case kRecArray2:
  case kRecName:
  case kRecName3:
    return true;
  default:
    return false;
  }
}

TFormulaBook& TRecordFormulas::Book()
{
  if (!FBook) {
    auto book = std::make_unique<TFormulaBook>(FDirectory.Start());
    for (std::size_t i = 0; i < FDirectory.Count(); ++i)
      book->Add(FDirectory.Record(i));
    FBook = std::move(book);
  }
  return *FBook;
}

bool TRecordFormulas::Formula(int sheet, int row, int column, TFormulaResult& result)
{
  return Book().Formula(sheet, row, column, result);
}

void TRecordFormulas::AddTokenFields(std::size_t index, std::vector<TRecordField>& fields)
{
  if (index >= FDirectory.Count())
    return;
  const std::uint16_t code = FDirectory.Code(index);
  if (!HoldsFormula(code))
    return;
  const auto field = std::find_if(fields.begin(), fields.end(), [](const TRecordField& f) {
    return f.Part == 0 && !f.Missing && f.Name == kTokensField;
  });
  if (field == fields.end())
    return;
  const std::span<const std::uint8_t> data = FDirectory.Record(index).Data;
  if (field->Offset > data.size() || data.size() - field->Offset < field->Size)
    return;
  const std::span<const std::uint8_t> tokens = data.subspan(field->Offset, field->Size);
  const std::span<const std::uint8_t> extra = data.subspan(field->Offset + field->Size);
  TFormulaBook& book = Book();
  TFormulaResult result;
  switch (code) {
  case kRecName:
  case kRecName3:
    // A name reads as Excel's name dialog shows it from cell A1.
    result = book.Decode(-1, tokens, extra, {}, TFormulaKind::fkName, &FListing);
    break;
  case kRecSharedFormula:
  case kRecSharedFormula5:
    // As the range's first cell reads it.
    result = book.Decode(FDirectory.SheetOf(index), tokens, extra,
                         {WordAt(data, kRangeRowAt), ByteAt(data, kRangeColumnAt)},
                         TFormulaKind::fkShared, &FListing);
    break;
  case kRecArray:
  case kRecArray2:
    result = book.Decode(FDirectory.SheetOf(index), tokens, extra,
                         {WordAt(data, kRangeRowAt), ByteAt(data, kRangeColumnAt)},
                         TFormulaKind::fkCell, &FListing);
    break;
  default:
    result = book.DecodeCell(FDirectory.SheetOf(index), tokens, extra,
                             {WordAt(data, kCellRowAt), WordAt(data, kCellColumnAt)}, &FListing);
    break;
  }
  AddFormulaTokenFields(fields, kTokensField, data, result, FListing);
}
