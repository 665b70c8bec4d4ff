#pragma once

// Decoders of the cell records: each reads one record through a cursor and
// hands every cell it holds to `out` as a TCellRecord, only when the record
// holds all the cell's fields. Text is handed over as stored; the reader
// decodes it (it shares repeated labels), the describing cursor shows it.

#include "model/SpreadSheet.h"
#include "xls/RecordCodes.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/ErrorCodes.h"
#include "xls/decode/Layout.h"
#include "xls/decode/PartCursor.h"
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

/// A FORMULA's cached boolean result (bytes 6-13 of the record; byte 2 of
/// them the value): TRUE only for 1, the one value Excel writes for it.
inline bool FormulaBoolean(std::span<const std::uint8_t> result)
{
  return result[2] == 1;
}

/// The text of a ckLabel cell.
std::string LabelText(const TCellRecord& cell, const TDecodeContext& context);

namespace CellDecode {

/// One BIFF2 horizontal alignment (bits 0-2 of a cell's attribute byte 2):
/// its name and the alignment the model gives the cell. The model has only
/// three, taken from the low two bits: fill and justified are left,
/// centred across the selection is centred.
inline const char* AlignmentName(TAlignment alignment)
{
  switch (alignment) {
  case TAlignment::taRightJustify: return "right-justified";
  case TAlignment::taCenter: return "centred";
  default: return "left-justified";
  }
}

struct TBiff2Alignment {
  const char* Name;
  TAlignment Model;
};
inline constexpr TBiff2Alignment kBiff2Alignments[8] = {
    {"general", TAlignment::taLeftJustify},
    {"left", TAlignment::taLeftJustify},
    {"centred", TAlignment::taCenter},
    {"right", TAlignment::taRightJustify},
    {"fill", TAlignment::taLeftJustify},
    {"justified", TAlignment::taLeftJustify},
    {"centred across the selection", TAlignment::taCenter},
    {"undefined (7)", TAlignment::taRightJustify},
};

/// Row, column and XF index of a BIFF3 to BIFF8 cell.
template <typename C>
TCellRecord Prefix(C& c)
{
  TCellRecord cell;
  cell.Row = c.U16("row");
  cell.Column = c.U16("col");
  c.Meaning([&] { return CellText(static_cast<std::uint32_t>(cell.Row), static_cast<std::uint32_t>(cell.Column)); });
  cell.Xf = c.U16("xf");
  c.Link(TFieldLinkKind::lkXf);
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
  c.Meaning([&] { return CellText(static_cast<std::uint32_t>(cell.Row), static_cast<std::uint32_t>(cell.Column)); });
  const std::uint8_t a0 = c.U8("attributes0");
  cell.Xf = a0 & 0x3F;
  c.Bits("xf", 0, 6);
  c.Flag("locked", 6);
  c.Flag("hidden", 7);
  c.Link(TFieldLinkKind::lkXf, a0 & 0x3F);
  c.Meaning([&] { return "XF " + std::to_string(a0 & 0x3F); });
  c.U8("attributes1");
  c.Bits("format", 0, 6);
  c.Bits("font", 6, 2);
  const std::uint8_t a2 = c.U8("attributes2");
  cell.Alignment = kBiff2Alignments[a2 & 0x07].Model;
  c.Bits("horizontal_align", 0, 3, [](std::int64_t v) {
    const TBiff2Alignment& alignment = kBiff2Alignments[v & 0x07];
    return std::string(alignment.Name) + ", read as " + AlignmentName(alignment.Model);
  });
  c.Flag("left_border", 3);
  c.Flag("right_border", 4);
  c.Flag("top_border", 5);
  c.Flag("bottom_border", 6);
  c.Flag("shaded", 7);
  return cell;
}

/// The last column word that closes MULRK and MULBLANK (and any byte a
/// writer left after it).
template <typename C>
void LastColumn(C& c)
{
  if (c.Remaining() >= 2)
    c.U16("last_col");
  c.SkipRest("unused");
}

/// The meaning of a BOOLERR value: TRUE or FALSE, or the error's text;
/// given to the "is_error" field read last.
template <typename C>
void BoolErrMeaning(C& c, std::uint32_t value, bool isError)
{
  c.Meaning([&] {
    if (isError)
      return "error " + ErrorCodeText(static_cast<int>(value));
    return std::string(value != 0 ? "boolean TRUE" : "boolean FALSE");
  });
}

/// The options of a formula record (FORMULA, ARRAY, SHRFMLA's share) in
/// BIFF3 and later.
template <typename C>
void FormulaOptions(C& c)
{
  c.U16("options");
  c.Flag("always_calc", 0);
  c.Flag("calc_on_load", 1);
  c.Flag("fill", 2);
  c.Flag("shared", 3);
  c.Flag("clear_errors", 5);
}

/// What follows a FORMULA record's result: options, the BIFF5 on cache
/// word, the token bytes and the extra data after them. BIFF2: a recalc
/// byte and an 8-bit size.
template <typename C>
void FormulaTail(C& c, const TDecodeContext& context)
{
  std::size_t size = 0;
  if (context.Version < TExcelVersion::evExcel3) {
    c.U8("recalc");
    size = c.U8("formula_size");
  } else {
    FormulaOptions(c);
    if (context.Version >= TExcelVersion::evExcel5)
      c.U32("chn");
    size = c.U16("formula_size");
  }
  c.Meaning([&] { return std::to_string(size) + " bytes of tokens"; });
  ReadTokens(c, size);
  c.SkipRest("extra");
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
    CellDecode::BoolErrMeaning(c, cell.Code, isError);
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
    CellDecode::BoolErrMeaning(c, cell.Code, isError);
    cell.Kind = isError ? TCellKind::ckError : TCellKind::ckBoolean;
    if (!isError)
      cell.Code = cell.Code != 0;
    if (!c.Short())
      out(cell);
  }
};

/// What string `index` of the shared-string table reads, when the context
/// has the table: `string 5: "text"`.
std::string SharedStringText(const TDecodeContext& context, std::uint32_t index);

struct TLabelSstDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix(c);
    cell.Kind = TCellKind::ckSharedString;
    cell.Code = c.U32("sst_index");
    c.Link(TFieldLinkKind::lkSharedString);
    c.Meaning([&] { return SharedStringText(context, cell.Code); });
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
  c.Flag("divided_by_100", 0);
  c.Flag("integer", 1);
  c.Bits("value", 2, 30);
  c.Meaning([&] { return NumberText(cell.Number); });
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
      c.Link(TFieldLinkKind::lkXf);
      cell.Number = DecodeRk(c.U32("rk"));
      c.Meaning([&] { return NumberText(cell.Number); });
      c.End();
      c.Meaning([&] { return CellText(static_cast<std::uint32_t>(cell.Row), static_cast<std::uint32_t>(cell.Column)); });
      out(cell);
    }
    CellDecode::LastColumn(c);
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
      c.Link(TFieldLinkKind::lkXf);
      c.Meaning([&] { return CellText(static_cast<std::uint32_t>(cell.Row), static_cast<std::uint32_t>(cell.Column)); });
      out(cell);
    }
    CellDecode::LastColumn(c);
  }
};

/// The text of a FORMULA record's cached result (its 8 bytes).
std::string FormulaResultText(std::span<const std::uint8_t> result);

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
    const bool complete = !c.Short();
    if (complete)
      c.Meaning([&] { return FormulaResultText(result); });
    CellDecode::FormulaTail(c, context);
    if (!complete)
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
    case 1: cell.Kind = TCellKind::ckBoolean; cell.Code = FormulaBoolean(result); break;
    case 2: cell.Kind = TCellKind::ckError; cell.Code = result[2]; break;
    // The cached result is the empty text: a value like any other.
    case 3: cell.Kind = TCellKind::ckEmptyText; break;
    default: return;
    }
    out(cell);
  }
};

/// RSTRING: a LABEL whose text has formatting runs after it (BIFF8: a
/// 16-bit run count and 4-byte runs; before, an 8-bit count and 2-byte runs).
struct TRStringDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    TCellRecord cell = CellDecode::Prefix(c);
    cell.Kind = TCellKind::ckLabel;
    cell.Length = c.U16("length");
    if (c.Short())
      return;
    const bool biff8 = context.Biff8();
    cell.LabelForm = biff8 ? TLabelForm::lfUnicode : TLabelForm::lfBytes;
    const std::size_t textBytes = biff8 ? 1 + ((c.PeekU8() & 0x01) ? 2 : 1) * cell.Length : cell.Length;
    cell.Text = c.BytesUpTo("text", textBytes);
    c.Value([&] { return LabelText(cell, context); });
    out(cell);
    const std::size_t runs = biff8 ? c.U16("run_count") : c.U8("run_count");
    for (std::size_t i = 0; i < runs && !c.Short(); ++i) {
      c.Begin("run");
      if (biff8) {
        c.U16("first_char");
        c.U16("font");
      } else {
        c.U8("first_char");
        c.U8("font");
      }
      c.Link(TFieldLinkKind::lkFont);
      c.End();
    }
    c.SkipRest("unused");
  }
};

/// BLANK (BIFF3 on): a cell with a format and no value.
struct TBlankDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    const TCellRecord cell = CellDecode::Prefix(c);
    c.SkipRest("unused");
    if (!c.Short())
      out(cell);
  }
};

/// STRING: the text result of the formula before it. BIFF8: a 16-bit count,
/// the option byte and the characters, going on in CONTINUE records;
/// BIFF3 to BIFF7: a 16-bit count and 8-bit text; BIFF2 (0x0007): an 8-bit
/// count.
struct TStringDecoder {
  template <typename TFields, typename TOut>
  void operator()(TBasicPartCursor<TFields>& parts, const TDecodeContext& context, std::uint16_t code,
                  TOut&& out) const
  {
    auto& c = parts.Current();
    std::string text;
    const std::size_t length = code == kRecString2 ? c.U8("length") : c.U16("length");
    if (!c.Short()) {
      if (context.Biff8() && code == kRecString2) {
        // BIFF2's record in a BIFF8 stream: an option byte, then UTF-16.
        c.U8("options");
        text = ReadUtf16Chars(c, length, "text");
      } else if (!context.Biff8()) {
        // A leading 0 is the option byte of a compressed BIFF8 string that
        // some writers put before 8-bit text: passed over.
        if (c.PeekU8() == 0 && c.Remaining() > 0)
          c.U8("options");
        text = ReadByteChars(c, context, length, "text");
      } else if (c.Remaining() > 0) {
        const bool wide = ReadStringOptions(c);
        text = ReadCharacters(parts, wide ? 2 * length : length, wide, false);
      }
    }
    parts.Current().SkipRest("unused");
    while (parts.NextPart())
      parts.Current().SkipRest("unread");
    out(text);
  }
};

/// SHRFMLA: a formula shared by a range of cells: the range, how many cells
/// use it, its token bytes and their extra data.
struct TSharedFormulaDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    ReadRefU(c, "range");
    c.U8("reserved");
    c.U8("cells");
    const std::size_t size = ReadByteCount16(c, "formula_size");
    ReadTokens(c, size);
    c.SkipRest("extra");
  }
};

/// ARRAY: an array formula over a range: BIFF2 (0x0021) byte-sized options
/// and size; BIFF3 on word options, BIFF5 on a cache word, then the tokens
/// and the constants after them.
struct TArrayDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t code, TOut&&) const
  {
    ReadRefU(c, "range");
    std::size_t size = 0;
    if (code == kRecArray2) {
      c.U8("options");
      c.Flag("always_calc", 0);
      size = c.U8("formula_size");
    } else {
      c.U16("options");
      c.Flag("always_calc", 0);
      c.Flag("calc_on_load", 1);
      if (context.Version >= TExcelVersion::evExcel5)
        c.U32("chn");
      size = c.U16("formula_size");
    }
    ReadTokens(c, size);
    c.SkipRest("extra");
  }
};

/// TABLE: a data table's range, options and input cells (BIFF2, 0x0036:
/// byte options).
struct TTableDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t code, TOut&&) const
  {
    ReadRefU(c, "range");
    if (code == kRecTable2)
      c.U8("options");
    else
      c.U16("options");
    c.Flag("always_calc", 0);
    c.Flag("row_input", 2);
    c.Flag("two_inputs", 3);
    c.Flag("row_input_deleted", 4);
    c.Flag("col_input_deleted", 5);
    const std::uint16_t row = c.U16("row_input_row");
    const std::uint16_t col = c.U16("row_input_col");
    c.Meaning([&] { return CellText(row, col); });
    const std::uint16_t row2 = c.U16("col_input_row");
    const std::uint16_t col2 = c.U16("col_input_col");
    c.Meaning([&] { return CellText(row2, col2); });
    c.SkipRest("unused");
  }
};
