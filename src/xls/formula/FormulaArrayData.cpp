#include "xls/formula/FormulaDecoderState.h"

#include "platform/text/Utf.h"
#include "xls/formula/FormulaMessages.h"
#include "xls/decode/FormulaText.h"

using namespace FormulaDecode;

// The next array constant of the data after the tokens ([MS-XLS]
// 2.5.198.103 PtgExtraArray): columns (8 bits) and rows (16 bits), both
// one less than the count in BIFF8 and with 0 columns meaning 256 before,
// then the values row by row.
bool TFormulaDecoder::TState::ArrayConstant()
{
  const bool biff8 = FBiff == TBiff::bf8;
  const std::size_t start = FExtraPos;
  TRecordCursor x(FExtra);
  x.Seek(FExtraPos);
  std::size_t columns = x.U8("byte");
  std::size_t rows = x.U16("word");
  if (biff8) {
    ++columns;
    ++rows;
  } else if (columns == 0) {
    columns = kColumns;
  }
  // Each value takes at least its type byte and a string length; a count
  // the data cannot hold is refused before any of it is read.
  const std::size_t smallest = biff8 ? 4 : 2;
  if (x.Short() || rows > x.Remaining() / smallest / columns)
    return FailHere(kMsgFormulaMissingArrayData);

  const std::uint32_t begin = BeginText();
  bool bad = false;
  FExpression.Scratch += '{';
  for (std::size_t row = 0; row < rows; ++row) {
    if (row > 0)
      FExpression.Scratch += ';';
    for (std::size_t column = 0; column < columns; ++column) {
      if (column > 0)
        FExpression.Scratch += ',';
      switch (x.U8("byte")) {
      case kSerNil:
        x.Skip("unused", 8);
        break;
      case kSerNum:
        AppendFormulaNumber(FExpression.Scratch, x.F64("number"));
        break;
      case kSerStr: {
        const std::size_t count = biff8 ? x.U16("word") : x.U8("byte");
        FText8.clear();
        if (biff8) {
          const bool wide = (x.U8("byte") & 0x01) != 0;
          if (count > x.Remaining() / (wide ? 2 : 1)) {
            bad = true;
            break;
          }
          const auto bytes = x.Bytes("bytes", wide ? count * 2 : count);
          if (wide)
            AppendUtf16LeBytesAsUtf8(bytes, FText8);
          else
            AppendLatin1AsUtf8(bytes, FText8);
        } else {
          Append8Bit(x.Bytes("bytes", count), FText8);
        }
        AppendQuotedText(FExpression.Scratch, FText8);
        break;
      }
      case kSerBool:
        FExpression.Scratch += x.U8("byte") != 0 ? "TRUE" : "FALSE";
        x.Skip("unused", 7);
        break;
      case kSerErr: {
        const char* text = ErrorCodeName(x.U8("byte"));
        x.Skip("unused", 7);
        if (text == nullptr)
          bad = true;
        else
          FExpression.Scratch += text;
        break;
      }
      default:
        bad = true;
      }
      if (bad || x.Short() || FExpression.Scratch.size() > kMaxTextBytes)
        return FailHere(kMsgFormulaMissingArrayData);
    }
  }
  FExpression.Scratch += '}';
  FExtraPos = x.Position();
  PushText(begin);
  if (FListing != nullptr) {
    TFormulaToken entry;
    entry.Offset = FTokens.size() + start;
    entry.Size = FExtraPos - start;
    entry.Name = "array data";
    entry.Operand = Decimal(columns) + (columns == 1 ? " column, " : " columns, ") +
                    Decimal(rows) + (rows == 1 ? " row" : " rows");
    FListing->push_back(std::move(entry));
  }
  return true;
}

// The cell ranges a tMemArea keeps after the tokens ([MS-XLS] 2.5.198.104
// PtgExtraMem): a count, then the ranges (8 bytes each in BIFF8, 6 before).
bool TFormulaDecoder::TState::MemAreaData()
{
  const std::size_t start = FExtraPos;
  TRecordCursor x(FExtra);
  x.Seek(FExtraPos);
  const std::size_t count = x.U16("word");
  const std::size_t rangeSize = FBiff == TBiff::bf8 ? 8 : 6;
  if (x.Short() || count > x.Remaining() / rangeSize)
    return FailHere(kMsgFormulaMissingArrayData);
  x.Skip("unused", count * rangeSize);
  FExtraPos = x.Position();
  if (FListing != nullptr) {
    TFormulaToken entry;
    entry.Offset = FTokens.size() + start;
    entry.Size = FExtraPos - start;
    entry.Name = "tMemArea data";
    entry.Operand = Decimal(count) + (count == 1 ? " range" : " ranges");
    FListing->push_back(std::move(entry));
  }
  return true;
}
