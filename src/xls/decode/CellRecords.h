#pragma once

// Decoders of the cell records: each reads one record through a cursor and
// hands every cell it holds to `out` as a TCellRecord, only when the record
// holds all the cell's fields. Text is handed over as stored; the reader
// decodes it (it shares repeated labels), the describing cursor shows it.

#include "model/SpreadSheet.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/RecordCursor.h"
#include "xls/decode/Strings.h"

#include <bit>
#include <cstdint>
#include <span>
#include <string>

enum class TCellKind : std::uint8_t {
  ckBlank,
  ckInteger,       // Code holds the value
  ckNumber,        // Number; typed by the XF's format when DateRule
  ckBoolean,       // Code holds 0 or 1
  ckError,         // Code holds the error code
  ckEmptyText,
  ckLabel,         // Text and LabelForm; the characters still to decode
  ckSharedString,  // Code holds the SST index
  ckTextFollows,   // a formula whose text result stands in the next STRING record
};

/// How a label's stored bytes become text.
enum class TLabelForm : std::uint8_t {
  lfBiff2,      // 2LABEL: the bytes, 8-bit
  lfBytes,      // LABEL before BIFF8: a leading 0 byte passed over, then 8-bit
  lfUnicode,    // LABEL from BIFF8 on: option byte, then the characters
};

struct TCellRecord {
  int Row = 0;
  int Column = 0;
  int Xf = 0;
  TCellKind Kind = TCellKind::ckBlank;
  TAlignment Alignment = TAlignment::taLeftJustify;
  bool DateRule = true;  // a BIFF2 formula's number is never a date
  double Number = 0;
  std::uint32_t Code = 0;
  TLabelForm LabelForm = TLabelForm::lfBytes;
  std::size_t Length = 0;  // characters the label says it has
  std::span<const std::uint8_t> Text;  // the label's stored bytes
};

/// The text of a ckLabel cell.
std::string LabelText(const TCellRecord& cell, const TDecodeContext& context);

namespace CellDecode {

/// Attribute byte 2 of a BIFF2 cell: bits 0-2 are the horizontal alignment.
inline TAlignment Biff2Alignment(std::uint8_t attribute2)
{
  switch (attribute2 & 0x03) {
  case 3: return TAlignment::taRightJustify;
  case 2: return TAlignment::taCenter;
  default: return TAlignment::taLeftJustify;
  }
}

/// Row, column and XF index of a BIFF3 to BIFF8 cell.
template <typename C>
TCellRecord Prefix(C& c)
{
  TCellRecord cell;
  cell.Row = c.U16("row");
  cell.Column = c.U16("col");
  cell.Xf = c.U16("xf");
  return cell;
}

/// Row, column and the three attribute bytes of a BIFF2 cell; the XF index
/// is attribute byte 0, bits 0-5.
template <typename C>
TCellRecord Prefix2(C& c)
{
  TCellRecord cell;
  cell.Row = c.U16("row");
  cell.Column = c.U16("col");
  const std::uint8_t a0 = c.U8("attributes0");
  cell.Xf = a0 & 0x3F;
  c.Meaning([&] { return "XF " + std::to_string(a0 & 0x3F); });
  c.U8("attributes1");
  cell.Alignment = Biff2Alignment(c.U8("attributes2"));
  return cell;
}

}  // namespace CellDecode

// [MS-XLS] 2.4.20, 2.4.180, 2.4.220 and the BIFF2 cell records.

struct TBlank2Decoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix2(c);
    if (!c.Short())
      out(cell);
  }
};

struct TInteger2Decoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix2(c);
    cell.Kind = TCellKind::ckInteger;
    cell.Code = c.U16("value");
    if (!c.Short())
      out(cell);
  }
};

struct TNumber2Decoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix2(c);
    cell.Kind = TCellKind::ckNumber;
    cell.Number = c.F64("value");
    if (!c.Short())
      out(cell);
  }
};

struct TLabel2Decoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix2(c);
    cell.Kind = TCellKind::ckLabel;
    cell.LabelForm = TLabelForm::lfBiff2;
    const std::size_t length = c.U8("length");
    if (c.Short())
      return;
    cell.Text = c.BytesUpTo("text", length);
    cell.Length = cell.Text.size();
    c.Value([&] { return LabelText(cell, context); });
    out(cell);
  }
};

struct TBoolErr2Decoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix2(c);
    cell.Code = c.U8("value");
    const bool isError = c.U8("is_error") != 0;
    cell.Kind = isError ? TCellKind::ckError : TCellKind::ckBoolean;
    if (!isError)
      cell.Code = cell.Code != 0;
    if (!c.Short())
      out(cell);
  }
};

struct TRkDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const;
};

struct TNumberDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix(c);
    cell.Kind = TCellKind::ckNumber;
    cell.Number = c.F64("value");
    if (!c.Short())
      out(cell);
  }
};

/// LABEL (BIFF3 and later) and RSTRING, a LABEL with formatting runs after
/// the text.
struct TLabelDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix(c);
    cell.Kind = TCellKind::ckLabel;
    cell.Length = c.U16("length");
    if (c.Short())
      return;
    cell.LabelForm = context.Biff8() ? TLabelForm::lfUnicode : TLabelForm::lfBytes;
    cell.Text = c.BytesUpTo("text", c.Remaining());
    c.Value([&] { return LabelText(cell, context); });
    out(cell);
  }
};

struct TBoolErrDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix(c);
    cell.Code = c.U8("value");
    const bool isError = c.U8("is_error") != 0;
    cell.Kind = isError ? TCellKind::ckError : TCellKind::ckBoolean;
    if (!isError)
      cell.Code = cell.Code != 0;
    if (!c.Short())
      out(cell);
  }
};

struct TLabelSstDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix(c);
    cell.Kind = TCellKind::ckSharedString;
    cell.Code = c.U32("sst_index");
    if (!c.Short())
      out(cell);
  }
};

/// [MS-XLS] 2.5.217 RkNumber: the number an RK value stands for.
inline double DecodeRk(std::uint32_t rk)
{
  double value;
  if (rk & 0x02)
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  else
    value = std::bit_cast<double>(static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32);
  // fX100: the value was multiplied by 100. Dividing gives the correctly
  // rounded quotient.
  if (rk & 0x01)
    value /= 100.0;
  return value;
}

template <typename C, typename TOut>
void TRkDecoder::operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
{
  TCellRecord cell = CellDecode::Prefix(c);
  cell.Kind = TCellKind::ckNumber;
  cell.Number = DecodeRk(c.U32("rk"));
  c.Meaning([&] { return std::to_string(cell.Number); });
  if (!c.Short())
    out(cell);
}

/// MULRK: a row of RK cells from a first column on, each with its XF.
struct TMulRkDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    if (c.Size() <= 6)
      return;
    TCellRecord cell;
    cell.Kind = TCellKind::ckNumber;
    cell.Row = c.U16("row");
    const int first = c.U16("first_col");
    const std::size_t count = (c.Size() - 6) / 6;
    for (std::size_t i = 0; i < count; ++i) {
      c.Begin("cell");
      cell.Column = first + static_cast<int>(i);
      cell.Xf = c.U16("xf");
      cell.Number = DecodeRk(c.U32("rk"));
      c.End();
      out(cell);
    }
    c.SkipRest("last_col");
  }
};

/// MULBLANK: a row of blank cells from a first column on.
struct TMulBlankDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    if (c.Size() <= 6)
      return;
    TCellRecord cell;
    cell.Row = c.U16("row");
    const int first = c.U16("first_col");
    const std::size_t count = (c.Size() - 6) / 2;
    for (std::size_t i = 0; i < count; ++i) {
      cell.Column = first + static_cast<int>(i);
      cell.Xf = c.U16("xf");
      out(cell);
    }
    c.SkipRest("last_col");
  }
};

/// FORMULA: the cell's cached result ([MS-XLS] 2.5.133 FormulaValue: 0xFFFF
/// in the top bytes marks a result that is not a number: byte 0 says which,
/// byte 2 holds a boolean or an error code, a text follows in a STRING
/// record). A BIFF2 formula has its result after the attribute bytes, marked
/// the same way, and its number is never typed as a date.
struct TFormulaResultDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    const bool biff2 = context.Version < TExcelVersion::evExcel3;
    TCellRecord cell = biff2 ? CellDecode::Prefix2(c) : CellDecode::Prefix(c);
    const auto result = c.Bytes("result", 8);
    c.SkipRest("formula");
    if (c.Short())
      return;
    if (result[6] != 0xFF || result[7] != 0xFF) {
      TRecordCursor number(result);
      cell.Kind = TCellKind::ckNumber;
      cell.DateRule = !biff2;
      cell.Number = number.F64("value");
      out(cell);
      return;
    }
    switch (result[0]) {
    case 0: cell.Kind = TCellKind::ckTextFollows; break;
    case 1: cell.Kind = TCellKind::ckBoolean; cell.Code = result[2] == 1; break;
    case 2: cell.Kind = TCellKind::ckError; cell.Code = result[2]; break;
    // The cached result is the empty text: a value like any other.
    case 3: cell.Kind = TCellKind::ckEmptyText; break;
    default: return;
    }
    out(cell);
  }
};
