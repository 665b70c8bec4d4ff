#pragma once

// Decoders of the records that describe the workbook and its sheets rather
// than cells: each reads one record through a cursor and hands what it holds
// to `out`, only when the record holds the fields that give it a meaning.

#include "xls/RecordCodes.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/RecordCursor.h"
#include "xls/decode/Strings.h"

#include <cstdint>
#include <string>

struct TXfRecord {
  int FormatIndex = 0;
  int FontIndex = 0;
};

struct TFormatRecord {
  int Index = 0;
  bool ByOrder = false;  // BIFF2 to BIFF4 number their formats by appearance
  std::string Text;
};

struct TDimensionsRecord {
  int FirstRow = 0;
  int LastRow = 0;
  int FirstColumn = 0;
  int LastColumn = 0;
};

struct TColumnWidthRecord {
  int FirstColumn = 0;
  int LastColumn = 0;
  int Width = 0;  // characters
};

struct TRowRecord {
  int Row = 0;
  int Height = 0;  // as stored, flag bit 15 included
};

/// BOUNDSHEET: the stream offset of a sheet's BOF, its visibility and type,
/// and its name.
struct TBoundSheetDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    TSheetName entry;
    entry.BofOffset = c.U32("position");
    c.U8("visibility");
    c.U8("type");
    const std::size_t length = c.U8("name_length");
    if (c.Short())
      return;
    if (context.Biff8() && (c.PeekU8() & 0x01)) {
      c.U8("options");
      AppendUtf16LeBytesAsUtf8(c.BytesUpTo("name", 2 * length), entry.Name);
    } else {
      entry.Name = BytesToString(c.BytesUpTo("name", c.Remaining()), length, true, context);
    }
    c.Value([&] { return entry.Name; });
    out(entry);
  }
};

/// NAME: the name's option flags, its text and its formula bytes.
struct TNameDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t code, TOut&& out) const
  {
    TXLSName name;
    std::size_t nameLength = 0;
    std::size_t formulaLength = 0;
    if (code == kRecName && context.Version < TExcelVersion::evExcel3) {
      // BIFF2: option byte, shortcut, name length, formula size, then the name.
      name.Options = c.U8("options");
      c.U8("options2");
      c.U8("shortcut");
      nameLength = c.U8("name_length");
      formulaLength = c.U8("formula_size");
    } else {
      name.Options = c.U16("options");
      c.U8("shortcut");
      nameLength = c.U8("name_length");
      formulaLength = c.U16("formula_size");
      if (code != kRecName3) {
        c.U16("reserved");
        name.Sheet = c.U16("sheet");
        c.Meaning([&] { return name.Sheet == 0 ? std::string("workbook") : "sheet " + std::to_string(name.Sheet); });
        c.U8("menu_length");
        c.U8("description_length");
        c.U8("help_length");
        c.U8("status_length");
      }
    }
    if (c.Short())
      return;
    if (context.Biff8() && code == kRecName) {
      const bool wide = c.Remaining() > 0 && (c.PeekU8() & 0x01);
      if (c.Remaining() > 0)
        c.U8("name_options");
      const auto chars = c.BytesUpTo("name", wide ? 2 * nameLength : nameLength);
      if (wide)
        AppendUtf16LeBytesAsUtf8(chars, name.Name);
      else
        AppendLatin1AsUtf8(chars, name.Name);
    } else {
      Append8Bit(c.BytesUpTo("name", nameLength), context, name.Name);
    }
    c.Value([&] { return name.Name; });
    const auto definition = c.BytesUpTo("formula", formulaLength);
    name.Definition.assign(definition.begin(), definition.end());
    const auto extra = c.BytesUpTo("after_formula", c.Remaining());
    name.Extra.assign(extra.begin(), extra.end());
    out(name);
  }
};

/// FONT (BIFF2 to BIFF8) and FONT3 (BIFF3, BIFF4).
struct TFontDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t code, TOut&& out) const
  {
    TXLSFont font;
    font.Size = c.U16("height") / 20;
    const std::uint16_t options = c.U16("options");
    font.Italic = options & 0x02;
    font.StrikeOut = options & 0x08;
    const bool biff5 = code != kRecFont3 && context.Version >= TExcelVersion::evExcel5;
    if (biff5) {
      font.Color = c.U16("color");
      font.Bold = c.U16("weight") >= 700;
      c.U16("escapement");
      font.Underline = c.U8("underline") != 0;
      c.U8("family");
      font.CharSet = c.U8("charset");
      c.U8("reserved");
    } else {
      font.Bold = options & 0x01;
      font.Underline = options & 0x04;
      if (code == kRecFont3)
        font.Color = c.U16("color");
    }
    const std::size_t length = c.U8("name_length");
    if (c.Short())
      return;
    if (context.Biff8() && biff5)
      font.Name = UnicodeString(c.BytesUpTo("name", c.Remaining()), length);
    else
      Append8Bit(c.BytesUpTo("name", length), context, font.Name);
    c.Value([&] { return font.Name; });
    c.SkipRest("unused");
    out(font);
  }
};

/// XF of every version: the cell format's font and number format.
struct TXfDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t code, TOut&& out) const
  {
    TXfRecord xf;
    switch (code) {
    case kRecXf2:
      xf.FontIndex = c.U8("font");
      c.U8("reserved");
      xf.FormatIndex = c.U8("format") & 0x3F;
      break;
    case kRecXf3:
    case kRecXf4:
      xf.FontIndex = c.U8("font");
      xf.FormatIndex = c.U8("format");
      break;
    default:
      xf.FontIndex = c.U16("font");
      xf.FormatIndex = c.U16("format");
      break;
    }
    c.SkipRest("attributes");
    if (!c.Short())
      out(xf);
  }
};

/// FORMAT: 0x001E in BIFF2 and BIFF3 (a length byte and the text), 0x041E
/// from BIFF4 on (an index first; BIFF4 leaves it unused).
struct TFormatDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t code, TOut&& out) const
  {
    TFormatRecord format;
    if (code == kRecFormat2) {
      const std::size_t length = c.U8("length");
      if (c.Short())
        return;
      format.ByOrder = true;
      format.Text = BytesToString(c.BytesUpTo("text", length), length, true, context);
    } else {
      if (c.Size() < 3)
        return;  // not even a text length: nothing to set
      format.Index = c.U16("index");
      if (context.Biff8()) {
        if (c.Remaining() < 3) {
          // Too short for the text: the index gets an empty one.
          c.SkipRest("text");
          out(format);
          return;
        }
        const std::size_t length = c.U16("length");
        format.Text = UnicodeString(c.BytesUpTo("text", c.Remaining()), length);
      } else {
        const std::size_t length = c.U8("length");
        if (c.Short())
          return;
        format.Text = BytesToString(c.BytesUpTo("text", length), length, true, context);
        format.ByOrder = context.Version == TExcelVersion::evExcel4;
      }
    }
    c.Value([&] { return format.Text; });
    c.SkipRest("unused");
    out(format);
  }
};

/// DIMENSIONS: the sheet's used range, 32-bit rows from BIFF8 on.
struct TDimensionsDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    TDimensionsRecord d;
    if (context.Biff8()) {
      d.FirstRow = static_cast<int>(c.U32("first_row"));
      d.LastRow = static_cast<int>(c.U32("last_row_plus_1"));
      d.FirstColumn = c.U16("first_col");
      d.LastColumn = c.U16("last_col_plus_1");
    } else {
      c.U16("first_row");
      // The reader's own quirk, kept: the stored last row plus one, plus one.
      d.LastRow = c.U16("last_row_plus_1") + 1;
      c.U16("first_col");
      d.LastColumn = c.U16("last_col_plus_1") + 1;
    }
    c.SkipRest("reserved");
    if (!c.Short())
      out(d);
  }
};

/// COLWIDTH (BIFF2: byte columns) and COLINFO: a width for a range of columns.
struct TColumnWidthDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t code, TOut&& out) const
  {
    TColumnWidthRecord w;
    if (code == kRecColWidth) {
      w.FirstColumn = c.U8("first_col");
      w.LastColumn = c.U8("last_col");
    } else {
      w.FirstColumn = c.U16("first_col");
      w.LastColumn = c.U16("last_col");
    }
    w.Width = c.U16("width") / 256;
    c.SkipRest("options");
    if (!c.Short())
      out(w);
  }
};

/// ROW: a row's height (twips in the low 15 bits; bit 15 a flag).
struct TRowDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    TRowRecord row;
    row.Row = c.U16("row");
    c.U16("first_col");
    c.U16("last_col_plus_1");
    row.Height = c.U16("height");
    c.SkipRest("options");
    if (!c.Short())
      out(row);
  }
};

/// CODEPAGE: the code page of the workbook's 8-bit text.
struct TCodePageDecoderRecord {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    const int codePage = c.U16("code_page");
    c.SkipRest("unused");
    if (!c.Short())
      out(codePage);
  }
};

/// DATEMODE: 1 for the 1904 date system.
struct TDateModeDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    const bool date1904 = c.U16("date_1904") == 1;
    c.SkipRest("unused");
    if (!c.Short())
      out(date1904);
  }
};
