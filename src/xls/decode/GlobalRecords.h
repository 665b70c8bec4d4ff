#pragma once

// Decoders of the records that describe the workbook and its sheets rather
// than cells: each reads one record through a cursor and hands what it holds
// to `out`, only when the record holds the fields that give it a meaning.

#include "xls/RecordCodes.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/Layout.h"
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

namespace GlobalDecode {

inline constexpr std::uint16_t kRowHeightMask = 0x7FFF;
inline constexpr std::uint16_t kXfIndexMask = 0x0FFF;
inline constexpr std::int32_t kNameBuiltIn = 0x0020;

std::string VisibilityText(std::uint8_t visibility);
std::string SheetTypeText(std::uint8_t type);
std::string BuiltInNameText(const std::string& name);
std::string ColorIndexText(int index);
std::string WeightText(int weight);
std::string EscapementText(int escapement);
std::string UnderlineText(int underline);
std::string FamilyText(int family);
std::string CharSetText(int charSet);

/// The font index field read last: a link to its FONT record.
template <typename C>
void FontLink(C& c, int index)
{
  c.Link(TFieldLinkKind::lkFont);
  c.Meaning([&] { return FontIndexText(index); });
}

// XF attributes after the font and format, by version.

inline std::string HorizontalAlignText(std::int64_t v)
{
  static constexpr TNamedValue kAlign[] = {
      {0, "general"}, {1, "left"}, {2, "centre"}, {3, "right"}, {4, "fill"},
      {5, "justify"}, {6, "centre across selection"}, {7, "distributed"}};
  return NameOf(kAlign, v);
}
inline std::string VerticalAlignText(std::int64_t v)
{
  static constexpr TNamedValue kAlign[] = {
      {0, "top"}, {1, "centre"}, {2, "bottom"}, {3, "justify"}, {4, "distributed"}};
  return NameOf(kAlign, v);
}
inline std::string BorderStyleText(std::int64_t v)
{
  static constexpr TNamedValue kStyles[] = {
      {0, "none"}, {1, "thin"}, {2, "medium"}, {3, "dashed"}, {4, "dotted"}, {5, "thick"},
      {6, "double"}, {7, "hair"}, {8, "medium dashed"}, {9, "dash-dot"}, {10, "medium dash-dot"},
      {11, "dash-dot-dot"}, {12, "medium dash-dot-dot"}, {13, "slanted dash-dot"}};
  return NameOf(kStyles, v);
}

/// The protection and type word of BIFF4 and later: locked, hidden, style
/// XF, and the parent style's XF index.
template <typename C>
void XfTypeWord(C& c)
{
  c.U16("type_protection");
  c.Flag("locked", 0);
  c.Flag("hidden", 1);
  c.Flag("style", 2);
  c.Flag("lotus_prefix", 3);
  c.Bits("parent_xf", 4, 12);
}

/// Which attribute groups the XF sets (for a cell XF) or leaves to its
/// cells (for a style XF): bits 2 to 7 of its byte.
template <typename C>
void XfUsedAttributes(C& c, unsigned first)
{
  c.Flag("number_format", first);
  c.Flag("font", first + 1);
  c.Flag("alignment", first + 2);
  c.Flag("border", first + 3);
  c.Flag("pattern", first + 4);
  c.Flag("protection", first + 5);
}

/// BIFF3 and BIFF4 border word: each side's style (3 bits) and colour (5).
template <typename C>
void XfBorders34(C& c)
{
  c.U32("borders");
  c.Bits("top_style", 0, 3, BorderStyleText);
  c.Bits("top_color", 3, 5);
  c.Bits("left_style", 8, 3, BorderStyleText);
  c.Bits("left_color", 11, 5);
  c.Bits("bottom_style", 16, 3, BorderStyleText);
  c.Bits("bottom_color", 19, 5);
  c.Bits("right_style", 24, 3, BorderStyleText);
  c.Bits("right_color", 27, 5);
}

template <typename C>
void XfArea34(C& c)
{
  c.U16("pattern");
  c.Bits("fill_pattern", 0, 6);
  c.Bits("pattern_color", 6, 5);
  c.Bits("background_color", 11, 5);
}

template <typename C>
void Xf2Attributes(C& c)
{
  c.U8("attributes");
  c.Bits("horizontal_align", 0, 3, HorizontalAlignText);
  c.Flag("left_border", 3);
  c.Flag("right_border", 4);
  c.Flag("top_border", 5);
  c.Flag("bottom_border", 6);
  c.Flag("shaded", 7);
}

template <typename C>
void Xf3Attributes(C& c)
{
  c.U8("type_protection");
  c.Flag("locked", 0);
  c.Flag("hidden", 1);
  c.Flag("style", 2);
  c.U8("used_attributes");
  XfUsedAttributes(c, 2);
  c.U16("alignment");
  c.Bits("horizontal_align", 0, 3, HorizontalAlignText);
  c.Flag("wrap", 3);
  c.Bits("parent_xf", 4, 12);
  XfArea34(c);
  XfBorders34(c);
}

template <typename C>
void Xf4Attributes(C& c)
{
  XfTypeWord(c);
  c.U8("alignment");
  c.Bits("horizontal_align", 0, 3, HorizontalAlignText);
  c.Flag("wrap", 3);
  c.Bits("vertical_align", 4, 2, VerticalAlignText);
  c.Bits("orientation", 6, 2);
  c.U8("used_attributes");
  XfUsedAttributes(c, 2);
  XfArea34(c);
  XfBorders34(c);
}

/// BIFF5 (16 bytes) and BIFF8 (20 bytes) share the type word and the
/// alignment byte; BIFF8 adds rotation, indent and its own border words.
template <typename C>
void Xf5Attributes(C& c)
{
  XfTypeWord(c);
  c.U8("alignment");
  c.Bits("horizontal_align", 0, 3, HorizontalAlignText);
  c.Flag("wrap", 3);
  c.Bits("vertical_align", 4, 3, VerticalAlignText);
  c.Flag("justify_last", 7);
  if (c.Size() < 20) {
    c.U8("orientation_used");
    c.Bits("orientation", 0, 2);
    XfUsedAttributes(c, 2);
    c.U32("pattern_bottom");
    c.Bits("pattern_color", 0, 7);
    c.Bits("background_color", 7, 7);
    c.Bits("fill_pattern", 16, 6);
    c.Bits("bottom_style", 22, 3, BorderStyleText);
    c.Bits("bottom_color", 25, 7);
    c.U32("borders");
    c.Bits("top_style", 0, 3, BorderStyleText);
    c.Bits("left_style", 3, 3, BorderStyleText);
    c.Bits("right_style", 6, 3, BorderStyleText);
    c.Bits("top_color", 9, 7);
    c.Bits("left_color", 16, 7);
    c.Bits("right_color", 23, 7);
    return;
  }
  const std::uint8_t rotation = c.U8("rotation");
  c.Meaning([&] {
    if (rotation == 255)
      return std::string("vertical text");
    return std::to_string(rotation <= 90 ? rotation : 90 - rotation) + " degrees";
  });
  c.U8("indent");
  c.Bits("indent_level", 0, 4);
  c.Flag("shrink_to_fit", 4);
  c.Bits("reading_order", 6, 2);
  c.U8("used_attributes");
  XfUsedAttributes(c, 2);
  c.U32("borders");
  c.Bits("left_style", 0, 4, BorderStyleText);
  c.Bits("right_style", 4, 4, BorderStyleText);
  c.Bits("top_style", 8, 4, BorderStyleText);
  c.Bits("bottom_style", 12, 4, BorderStyleText);
  c.Bits("left_color", 16, 7);
  c.Bits("right_color", 23, 7);
  c.Bits("diagonal", 30, 2);
  c.U32("borders2");
  c.Bits("top_color", 0, 7);
  c.Bits("bottom_color", 7, 7);
  c.Bits("diagonal_color", 14, 7);
  c.Bits("diagonal_style", 21, 4, BorderStyleText);
  c.Flag("has_xf_ext", 25);
  c.Bits("fill_pattern", 26, 6);
  c.U16("colors");
  c.Bits("pattern_color", 0, 7);
  c.Bits("background_color", 7, 7);
  c.Flag("pivot_button", 14);
}

}  // namespace GlobalDecode

/// BOUNDSHEET: the stream offset of a sheet's BOF, its visibility and type,
/// and its name.
struct TBoundSheetDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    TSheetName entry;
    entry.BofOffset = c.U32("position");
    c.Link(TFieldLinkKind::lkStreamOffset);
    c.Meaning([] { return std::string("stream position of the sheet's BOF"); });
    entry.Visibility = c.U8("visibility");
    c.Meaning([&] { return GlobalDecode::VisibilityText(entry.Visibility); });
    entry.Type = c.U8("type");
    c.Meaning([&] { return GlobalDecode::SheetTypeText(entry.Type); });
    const std::size_t length = c.U8("name_length");
    if (c.Short())
      return;
    if (context.Biff8() && (c.PeekU8() & 0x01)) {
      c.U8("options");
      c.Flag("high_byte", 0);
      AppendUtf16LeBytesAsUtf8(c.BytesUpTo("name", 2 * length), entry.Name);
    } else {
      entry.Name = ReadByteCharsAfterZero(c, context, length, "name");
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
      c.Flag("hidden", 1);
      c.Flag("function", 2);
      c.U8("options2");
      c.U8("shortcut");
      nameLength = c.U8("name_length");
      formulaLength = c.U8("formula_size");
    } else {
      name.Options = c.U16("options");
      c.Flag("hidden", 0);
      c.Flag("function", 1);
      c.Flag("visual_basic", 2);
      c.Flag("macro", 3);
      c.Flag("complex", 4);
      c.Flag("built_in", 5);
      c.Bits("function_group", 6, 6);
      c.Flag("published", 13);
      c.Flag("workbook_parameter", 14);
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
    if (name.Options & GlobalDecode::kNameBuiltIn)
      c.Meaning([&] { return GlobalDecode::BuiltInNameText(name.Name); });
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
    const std::uint16_t height = c.U16("height");
    font.Size = height / 20;
    c.Meaning([&] { return TwipsText(height); });
    const std::uint16_t options = c.U16("options");
    font.Italic = options & 0x02;
    font.StrikeOut = options & 0x08;
    const bool biff5 = code != kRecFont3 && context.Version >= TExcelVersion::evExcel5;
    if (!biff5)
      c.Flag("bold", 0);
    c.Flag("italic", 1);
    if (!biff5)
      c.Flag("underline", 2);
    c.Flag("strikeout", 3);
    c.Flag("outline", 4);
    c.Flag("shadow", 5);
    c.Flag("condense", 6);
    c.Flag("extend", 7);
    if (biff5) {
      font.Color = c.U16("color");
      c.Meaning([&] { return GlobalDecode::ColorIndexText(font.Color); });
      const std::uint16_t weight = c.U16("weight");
      font.Bold = weight >= 700;
      c.Meaning([&] { return GlobalDecode::WeightText(weight); });
      const std::uint16_t escapement = c.U16("escapement");
      c.Meaning([&] { return GlobalDecode::EscapementText(escapement); });
      const std::uint8_t underline = c.U8("underline");
      font.Underline = underline != 0;
      c.Meaning([&] { return GlobalDecode::UnderlineText(underline); });
      const std::uint8_t family = c.U8("family");
      c.Meaning([&] { return GlobalDecode::FamilyText(family); });
      font.CharSet = c.U8("charset");
      c.Meaning([&] { return GlobalDecode::CharSetText(font.CharSet); });
      c.U8("reserved");
    } else {
      font.Bold = options & 0x01;
      font.Underline = options & 0x04;
      if (code == kRecFont3) {
        font.Color = c.U16("color");
        c.Meaning([&] { return GlobalDecode::ColorIndexText(font.Color); });
      }
    }
    const std::size_t length = c.U8("name_length");
    if (c.Short())
      return;
    if (context.Biff8() && biff5) {
      font.Name = ReadUnicodeChars(c, length, "name");
    } else {
      Append8Bit(c.BytesUpTo("name", length), context, font.Name);
      c.Value([&] { return font.Name; });
    }
    c.SkipRest("unused");
    out(font);
  }
};

/// XF of every version: the cell format's font and number format, then
/// its protection, alignment, borders and pattern ([MS-XLS] 2.4.353; the
/// BIFF2 to BIFF5 layouts as the older documentation gives them).
struct TXfDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t code, TOut&& out) const
  {
    TXfRecord xf;
    switch (code) {
    case kRecXf2:
      xf.FontIndex = c.U8("font");
      GlobalDecode::FontLink(c, xf.FontIndex);
      c.U8("reserved");
      xf.FormatIndex = c.U8("format") & 0x3F;
      c.Bits("format_index", 0, 6);
      c.Flag("locked", 6);
      c.Flag("hidden", 7);
      c.Link(TFieldLinkKind::lkFormat, xf.FormatIndex);
      break;
    case kRecXf3:
    case kRecXf4:
      xf.FontIndex = c.U8("font");
      GlobalDecode::FontLink(c, xf.FontIndex);
      xf.FormatIndex = c.U8("format");
      c.Link(TFieldLinkKind::lkFormat);
      break;
    default:
      xf.FontIndex = c.U16("font");
      GlobalDecode::FontLink(c, xf.FontIndex);
      xf.FormatIndex = c.U16("format");
      c.Link(TFieldLinkKind::lkFormat);
      break;
    }
    // The load needs the font and the format; the rest is for the eye.
    if (!c.Short())
      out(xf);
    switch (code) {
    case kRecXf2: GlobalDecode::Xf2Attributes(c); break;
    case kRecXf3: GlobalDecode::Xf3Attributes(c); break;
    case kRecXf4: GlobalDecode::Xf4Attributes(c); break;
    default: GlobalDecode::Xf5Attributes(c); break;
    }
    c.SkipRest("unused");
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
      format.Text = ReadByteCharsAfterZero(c, context, length, "text");
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
        format.Text = ReadUnicodeChars(c, length, "text");
      } else {
        const std::size_t length = c.U8("length");
        if (c.Short())
          return;
        format.Text = ReadByteCharsAfterZero(c, context, length, "text");
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
    const std::uint16_t width = c.U16("width");
    w.Width = width / 256;
    c.Meaning([&] { return NumberText(width / 256.0) + " characters"; });
    if (!c.Short())
      out(w);
    if (code == kRecColInfo) {
      c.U16("xf");
      c.Link(TFieldLinkKind::lkXf);
      c.U16("options");
      c.Flag("hidden", 0);
      c.Flag("user_set", 1);
      c.Flag("best_fit", 2);
      c.Flag("phonetic", 3);
      c.Bits("outline_level", 8, 3);
      c.Flag("collapsed", 12);
    }
    c.SkipRest("reserved");
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
    // Twips in the low 15 bits; bit 15 says the row has the default height.
    c.Flag("default_height", 15);
    c.Value([&] { return static_cast<std::int64_t>(row.Height & GlobalDecode::kRowHeightMask); });
    c.Meaning([&] { return TwipsText(row.Height & GlobalDecode::kRowHeightMask); });
    if (!c.Short())
      out(row);
    c.U16("reserved");
    c.U16("unused");
    c.U16("options");
    c.Bits("outline_level", 0, 3);
    c.Flag("collapsed", 4);
    c.Flag("hidden", 5);
    c.Flag("custom_height", 6);
    c.Flag("has_format", 7);
    const std::uint16_t xf = c.U16("xf");
    c.Bits("xf_index", 0, 12);
    c.Flag("extra_ascent", 12);
    c.Flag("extra_descent", 13);
    c.Flag("phonetic", 14);
    c.Link(TFieldLinkKind::lkXf, xf & GlobalDecode::kXfIndexMask);
    c.SkipRest("unused2");
  }
};

/// CODEPAGE: the code page of the workbook's 8-bit text.
struct TCodePageDecoderRecord {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    const int codePage = c.U16("code_page");
    c.Meaning([&] { return NameOf(kCodePages, codePage); });
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
    c.Meaning([&] { return std::string(date1904 ? "1904 date system" : "1900 date system"); });
    c.SkipRest("unused");
    if (!c.Short())
      out(date1904);
  }
};
