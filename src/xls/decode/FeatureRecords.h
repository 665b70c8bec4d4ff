#pragma once

// Layouts of the "future" records Excel 97 and later add to the BIFF8
// stream (codes 0x0850 on): each opens with a header that repeats its own
// code, so older readers can pass over them. Extended cell formats and
// styles, themes, table styles, feature headers, chart blocks.

#include "xls/RecordCodes.h"
#include "xls/decode/Layout.h"

#include <cstdint>
#include <string>

namespace FeatureLayout {

// [MS-XLS] 2.5.108 ExtProp extType.
inline constexpr TNamedValue kExtPropTypes[] = {
    {0x04, "foreground colour"}, {0x05, "background colour"}, {0x06, "gradient fill"},
    {0x07, "top border colour"}, {0x08, "bottom border colour"}, {0x09, "left border colour"},
    {0x0A, "right border colour"}, {0x0B, "diagonal border colour"}, {0x0D, "text colour"},
    {0x0E, "font scheme"}, {0x0F, "indentation level"},
};
inline constexpr std::uint16_t kExtForeground = 0x04;
inline constexpr std::uint16_t kExtGradient = 0x06;
inline constexpr std::uint16_t kExtTextColor = 0x0D;
inline constexpr std::uint16_t kExtFontScheme = 0x0E;
inline constexpr std::uint16_t kExtIndent = 0x0F;
inline constexpr std::size_t kFullColorSize = 16;
inline constexpr std::uint16_t kColorRgb = 2;
// [MS-XLS] 2.4.326 Theme: the version of the theme Excel's default is.
inline constexpr std::uint32_t kDefaultThemeVersion = 124226;
inline constexpr std::uint16_t kFeatureProtection = 2;
// [MS-XLS] 2.5.155 FullColorExt xclrType.
inline constexpr TNamedValue kColorTypes[] = {
    {0, "automatic"}, {1, "indexed"}, {2, "RGB"}, {3, "theme"}, {4, "not set"}};
inline constexpr TNamedValue kStyleCategories[] = {
    {0, "custom"}, {1, "good, bad, neutral"}, {2, "data model"}, {3, "title and heading"},
    {4, "themed cell style"}, {5, "number format"}};
// [MS-XLS] 2.4.172 FeatHdr isf.
inline constexpr TNamedValue kSharedFeatures[] = {
    {2, "enhanced protection"}, {3, "ignored errors"}, {4, "smart tag"}, {5, "table"}};

}  // namespace FeatureLayout

/// [MS-XLS] 2.5.155 FullColorExt: a colour by kind (index, RGB, theme) and
/// tint.
template <typename C>
void ReadFullColor(C& c, const char* name)
{
  c.Begin(name);
  const std::uint16_t type = c.U16("type");
  c.Meaning([&] { return NameOf(FeatureLayout::kColorTypes, type); });
  const std::int16_t tint = c.I16("tint");
  c.Meaning([&] { return NumberText(tint / 32767.0); });
  const std::uint32_t value = c.U32("value");
  if (type == FeatureLayout::kColorRgb)
    c.Meaning([&] { return RgbText(value); });
  c.U32("reserved1");
  c.U32("reserved2");
  c.End();
}

/// [MS-XLS] 2.5.108 ExtProp: a type, a size (its own 4 bytes included) and
/// the data, a colour for most types.
template <typename C>
void ReadExtProp(C& c)
{
  c.Begin("ext");
  const std::uint16_t type = c.U16("type");
  c.Meaning([&] { return NameOf(FeatureLayout::kExtPropTypes, type); });
  const std::size_t size = c.U16("size");
  const std::size_t data = size >= 4 ? size - 4 : 0;
  using namespace FeatureLayout;
  // Every type from the foreground to the text colour is a colour, but
  // the gradient.
  const bool color = type >= kExtForeground && type <= kExtTextColor && type != kExtGradient && data == kFullColorSize;
  if (color) {
    ReadFullColor(c, "color");
  } else if (type == kExtFontScheme && data == 1) {
    const std::uint8_t scheme = c.U8("font_scheme");
    c.Meaning([&] {
      static constexpr TNamedValue kSchemes[] = {{0, "none"}, {1, "major"}, {2, "minor"}};
      return NameOf(kSchemes, scheme);
    });
  } else if (type == kExtIndent && data == 2) {
    c.U16("indent");
  } else {
    c.BytesUpTo("data", data);
  }
  c.End();
}

/// XFEXT: colours and other extensions of one XF record.
struct TXfExtDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    ReadFrtHeader(c);
    c.U16("reserved1");
    const std::uint16_t xf = c.U16("xf");
    c.Link(TFieldLinkKind::lkXf);
    c.Meaning([&] { return "extends XF " + std::to_string(xf); });
    c.U16("reserved2");
    const std::size_t count = c.U16("count");
    for (std::size_t i = 0; i < count && !c.Short() && c.Remaining() > 0; ++i)
      ReadExtProp(c);
    c.SkipRest("unused");
  }
};

/// STYLEEXT: a style's category, built-in number and name, and its
/// formatting properties.
struct TStyleExtDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    ReadFrtHeader(c);
    c.U8("options");
    c.Flag("built_in", 0);
    c.Flag("hidden", 1);
    c.Flag("custom", 2);
    const std::uint8_t category = c.U8("category");
    c.Meaning([&] { return NameOf(FeatureLayout::kStyleCategories, category); });
    c.U8("built_in_style");
    c.U8("outline_level");
    const std::size_t chars = c.U16("name_length");
    ReadUtf16Chars(c, chars, "name");
    c.Begin("properties");
    c.U16("reserved");
    const std::size_t count = c.U16("count");
    for (std::size_t i = 0; i < count && c.Remaining() >= 4; ++i) {
      c.Begin("property");
      c.U16("type");
      const std::size_t size = c.U16("size");
      c.BytesUpTo("data", size >= 4 ? size - 4 : 0);
      c.End();
    }
    c.End();
    c.SkipRest("unused");
  }
};

/// The future records whose body is a few words or a string: XFCRC, PLV,
/// COMPAT12, TABLESTYLES, TABLESTYLE, TABLESTYLEELEMENT, THEME,
/// MTRSETTINGS, COMPRESSPICTURES, FORCEFULLCALCULATION, BOOKEXT,
/// GUIDTYPELIB, SHEETEXT, HEADERFOOTER, the chart layouts, the XML streams
/// of shapes and text.
struct TFutureRecordDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t code, TOut&&) const
  {
    ReadFrtHeader(c);
    switch (code) {
    case kRecXfCrc:
      c.U16("reserved");
      c.U16("xf_count");
      c.U32("checksum");
      break;
    case kRecPlv: {
      const std::uint16_t zoom = c.U16("zoom");
      c.Meaning([&] { return std::to_string(zoom) + " %"; });
      c.U16("options");
      c.Flag("page_layout_view", 0);
      c.Flag("ruler_visible", 1);
      c.Flag("whitespace_hidden", 2);
      break;
    }
    case kRecCompat12: c.U32("no_compatibility_check"); break;
    case kRecTableStyles: {
      c.U32("styles");
      const std::size_t table = c.U16("default_table_style_length");
      const std::size_t pivot = c.U16("default_pivot_style_length");
      ReadUtf16Chars(c, table, "default_table_style");
      ReadUtf16Chars(c, pivot, "default_pivot_style");
      break;
    }
    case kRecTableStyle: {
      c.U16("options");
      c.Flag("pivot", 1);
      c.Flag("table", 2);
      c.U32("elements");
      const std::size_t chars = c.U16("name_length");
      ReadUtf16Chars(c, chars, "name");
      break;
    }
    case kRecTableStyleElement:
      c.U32("element_type");
      c.U32("size");
      c.U32("dxf");
      break;
    case kRecTheme: {
      const std::uint32_t version = c.U32("version");
      c.Meaning([&] { return std::string(version == FeatureLayout::kDefaultThemeVersion ? "the default theme" : "a theme of its own"); });
      c.SkipRest("theme_data");
      break;
    }
    case kRecMtrSettings:
      c.U32("multithreaded");
      c.U32("user_set_threads");
      c.U32("threads");
      break;
    case kRecCompressPictures: c.U32("auto_compress"); break;
    case kRecForceFullCalculation: c.U32("no_dependencies"); break;
    case kRecBookExt:
      c.U32("size");
      c.U32("options");
      c.Flag("dont_auto_recover", 0);
      c.Flag("hide_pivot_list", 1);
      c.Flag("filter_privacy", 2);
      c.Flag("embed_factoids", 3);
      c.Bits("factoid_display", 4, 2);
      c.Flag("saved_during_recover", 6);
      c.Flag("created_via_minimal_save", 7);
      c.Flag("opened_via_data_recovery", 8);
      c.Flag("opened_via_safe_load", 9);
      if (c.Remaining() > 0)
        c.U8("options2");
      if (c.Remaining() > 0)
        c.U8("options3");
      break;
    case kRecGuidTypeLib: c.Bytes("guid", 16); break;
    case kRecSheetExt:
      c.U32("size");
      c.U32("options");
      c.Bits("tab_color_index", 0, 7);
      c.Flag("dont_show_errors", 7);
      c.Flag("not_a_sheet", 8);
      break;
    case kRecHeaderFooter: {
      c.Bytes("view_guid", 16);
      c.U16("options");
      c.Flag("odd_even_differ", 0);
      c.Flag("first_differs", 1);
      c.Flag("scale_with_document", 2);
      c.Flag("align_margins", 3);
      const std::size_t headerEven = c.U16("even_header_length");
      const std::size_t footerEven = c.U16("even_footer_length");
      const std::size_t headerFirst = c.U16("first_header_length");
      const std::size_t footerFirst = c.U16("first_footer_length");
      if (headerEven > 0)
        ReadUnicodeChars(c, headerEven, "even_header");
      if (footerEven > 0)
        ReadUnicodeChars(c, footerEven, "even_footer");
      if (headerFirst > 0)
        ReadUnicodeChars(c, headerFirst, "first_header");
      if (footerFirst > 0)
        ReadUnicodeChars(c, footerFirst, "first_footer");
      break;
    }
    case kRecCrtLayout12:
    case kRecCrtLayout12A:
      c.U32("checksum");
      c.U16("options");
      if (code == kRecCrtLayout12A) {
        c.Flag("inner_target", 0);
        c.I16("left");
        c.I16("top");
        c.I16("right");
        c.I16("bottom");
      } else {
        c.Bits("auto_layout_type", 1, 4);
      }
      c.U16("x_mode");
      c.U16("y_mode");
      c.U16("width_mode");
      c.U16("height_mode");
      c.F64("x");
      c.F64("y");
      c.F64("width");
      c.F64("height");
      c.U16("reserved");
      break;
    case kRecCrtMlFrt: {
      const std::size_t size = c.U32("xml_size");
      c.BytesUpTo("xml", size);
      break;
    }
    case kRecShapePropsStream:
    case kRecTextPropsStream: {
      if (code == kRecShapePropsStream) {
        c.U16("object_context");
        c.U16("reserved");
      }
      c.U32("checksum");
      const std::size_t size = c.U32("size");
      c.BytesUpTo("xml", size);
      break;
    }
    default: break;
    }
    c.SkipRest("unused");
  }
};

/// FEATHEADR: the kind of shared feature the FEAT records of the sheet
/// hold, and for sheet protection, what users may still do.
struct TFeatHdrDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    ReadFrtHeader(c);
    const std::uint16_t feature = c.U16("feature");
    c.Meaning([&] { return NameOf(FeatureLayout::kSharedFeatures, feature); });
    c.U8("reserved");
    const std::int32_t size = c.I32("header_size");
    if (feature == FeatureLayout::kFeatureProtection && size != 0 && c.Remaining() >= 4) {
      c.U32("allowed");
      c.Flag("objects", 0);
      c.Flag("scenarios", 1);
      c.Flag("format_cells", 2);
      c.Flag("format_columns", 3);
      c.Flag("format_rows", 4);
      c.Flag("insert_columns", 5);
      c.Flag("insert_rows", 6);
      c.Flag("insert_hyperlinks", 7);
      c.Flag("delete_columns", 8);
      c.Flag("delete_rows", 9);
      c.Flag("select_locked_cells", 10);
      c.Flag("sort", 11);
      c.Flag("auto_filter", 12);
      c.Flag("pivot_tables", 13);
      c.Flag("select_unlocked_cells", 14);
    }
    c.SkipRest("header_data");
  }
};

/// The chart future records with the short header: CHARTFRTINFO (versions
/// and the record ranges the writer knew), STARTBLOCK and ENDBLOCK (which
/// object a block of future records belongs to), CATLAB (category labels).
struct TChartFutureDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t code, TOut&&) const
  {
    ReadFrtHeaderOld(c);
    switch (code) {
    case kRecChartFrtInfo: {
      c.U8("originator_version");
      c.U8("writer_version");
      const std::size_t count = c.U16("range_count");
      for (std::size_t i = 0; i < count && !c.Short(); ++i) {
        c.Begin("range");
        c.U16("first");
        c.U16("last");
        c.End();
      }
      break;
    }
    case kRecStartBlock:
      c.U16("object_kind");
      c.U16("object_context");
      c.U16("object_instance1");
      c.U16("object_instance2");
      break;
    case kRecEndBlock:
      c.U16("object_kind");
      c.Skip("reserved", 6);
      break;
    case kRecCatLab:
      c.U16("label_offset");
      c.U16("alignment");
      c.U16("options");
      c.Flag("auto_label", 0);
      c.U16("unused");
      break;
    default: break;
    }
    c.SkipRest("unused");
  }
};
